// Shell services of the emulated machine: shortcuts are written as real .lnk files, and
// the shell's file operation is carried out through the platform's own file calls.
#include <algorithm>

#include "platform/posix/emulated_machine.h"
#include "platform/lnk_file.h"
#include "runtime/sjis.h"

namespace zarn {

ShellLinkResult EmulatedMachine::CreateShellLink(const std::string& linkPath, const ShellLinkData& link) {
  std::string bytes = EncodeShellLink(*this, link);
  auto file = OpenFile(linkPath, FileAccess::Write, FileShare::None, FileCreate::CreateAlways);
  if (!file) return ShellLinkResult::NotSaved;
  int64_t written = file->Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  return written == static_cast<int64_t>(bytes.size()) ? ShellLinkResult::Saved : ShellLinkResult::NotSaved;
}

namespace {

// Result codes as the shell gives them.
enum : int { kNotFound = 2, kBadRequest = 0x7C, kFailed = 0x402 };

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at < list.size()) {
    size_t end = list.find('\0', at);
    if (end == std::string::npos) end = list.size();
    if (end == at) break;  // the empty name that ends the list
    names.push_back(list.substr(at, end - at));
    at = end + 1;
  }
  return names;
}

// '*' and '?' against a name, ASCII case ignored, a double-byte character matching '?'.
bool WildMatch(const std::string& pattern, size_t p, const std::string& name, size_t n) {
  while (p < pattern.size()) {
    char c = pattern[p];
    if (c == '*') {
      for (size_t k = n; k <= name.size(); ++k)
        if (WildMatch(pattern, p + 1, name, k)) return true;
      return false;
    }
    if (n >= name.size()) return false;
    size_t nl = IsLeadByte(static_cast<unsigned char>(name[n])) && n + 1 < name.size() ? 2 : 1;
    size_t pl = IsLeadByte(static_cast<unsigned char>(c)) && p + 1 < pattern.size() ? 2 : 1;
    if (c != '?' && !SameText(pattern.substr(p, pl), name.substr(n, nl))) return false;
    p += pl;
    n += nl;
  }
  return n == name.size();
}

std::string FolderOf(const std::string& path) {
  size_t slash = LastBackslash(path);
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}
std::string NameOf(const std::string& path) {
  size_t slash = LastBackslash(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
std::string Join(const std::string& folder, const std::string& name) {
  return EndsWithDelimiter(folder, '\\') ? folder + name : folder + "\\" + name;
}

class FileOperation {
 public:
  FileOperation(Platform& p, uint16_t flags) : p_(p), flags_(flags) {}

  // Sources with wildcards expanded; false when a plain name does not exist.
  bool Expand(const std::vector<std::string>& names, std::vector<std::string>& out) {
    for (const std::string& name : names) {
      std::string last = NameOf(name);
      if (last.find_first_of("*?") == std::string::npos) {
        if (p_.GetFileAttributes(name) == faInvalid) return false;
        out.push_back(name);
        continue;
      }
      std::vector<DirEntry> entries;
      std::string folder = FolderOf(name);
      if (!p_.ListDirectory(folder.empty() ? "." : folder, entries)) continue;
      for (const DirEntry& e : entries) {
        if ((flags_ & kShellFofFilesOnly) && (e.attributes & faDirectory)) continue;
        if (WildMatch(last, 0, e.name, 0)) out.push_back(folder + e.name);
      }
    }
    return true;
  }

  bool DeleteTree(const std::string& path) {
    uint32_t a = p_.GetFileAttributes(path);
    if (a == faInvalid) return false;
    if (a & faReadOnly) p_.SetFileAttributes(path, a & ~faReadOnly);
    if (!(a & faDirectory)) return p_.DeleteFile(path);
    bool ok = true;
    std::vector<DirEntry> entries;
    if (p_.ListDirectory(path, entries))
      for (const DirEntry& e : entries) ok = DeleteTree(Join(path, e.name)) && ok;
    return p_.RemoveDirectory(path) && ok;
  }

  bool CopyTree(const std::string& from, const std::string& to) {
    uint32_t a = p_.GetFileAttributes(from);
    if (a == faInvalid) return false;
    if (!(a & faDirectory)) return p_.CopyFile(from, to, false);
    if (!p_.DirectoryExists(to) && !p_.CreateDirectory(to)) return false;
    bool ok = true;
    std::vector<DirEntry> entries;
    if (p_.ListDirectory(from, entries))
      for (const DirEntry& e : entries) ok = CopyTree(Join(from, e.name), Join(to, e.name)) && ok;
    return ok;
  }

  // A free name beside an existing one ("コピー ～ name", then numbered).
  std::string FreeName(const std::string& target) {
    if (!(flags_ & kShellFofRenameOnCollision) || p_.GetFileAttributes(target) == faInvalid) return target;
    std::string folder = FolderOf(target), name = NameOf(target);
    for (int i = 1;; ++i) {
      std::string candidate = folder + (i == 1 ? "コピー ～ " : "コピー (" + IntToStr(i) + ") ～ ") + name;
      if (p_.GetFileAttributes(candidate) == faInvalid) return candidate;
    }
  }

  // The folder of a bare name is the current one, there already.
  bool MakeFolders(const std::string& folder) { return folder.empty() || ForceDirectories(p_, folder); }

 private:
  Platform& p_;
  uint16_t flags_;
};

}  // namespace

int EmulatedMachine::ShellFileOperation(const ShellFileRequest& request, bool& aborted) {
  aborted = false;  // the emulated machine has no one to cancel
  FileOperation op(*this, request.flags);
  std::vector<std::string> sources;
  std::vector<std::string> targets = SplitList(request.to);
  if (SplitList(request.from).empty()) return kBadRequest;
  if (!op.Expand(SplitList(request.from), sources)) return kNotFound;
  bool ok = true;
  switch (request.operation) {
    case kShellFoDelete:
      for (const std::string& s : sources) ok = op.DeleteTree(s) && ok;
      break;
    case kShellFoRename:
      if (sources.size() != 1 || targets.size() != 1) return kBadRequest;
      ok = MoveFile(sources[0], targets[0]);
      break;
    case kShellFoCopy:
    case kShellFoMove: {
      if (targets.empty()) return kBadRequest;
      bool pairwise = (request.flags & kShellFofMultiDestFiles) && targets.size() == sources.size();
      bool intoFolder = !pairwise && (sources.size() > 1 || DirectoryExists(targets[0]));
      if (intoFolder && !op.MakeFolders(targets[0])) return kFailed;
      for (size_t i = 0; i < sources.size(); ++i) {
        std::string target = pairwise ? targets[i] : intoFolder ? Join(targets[0], NameOf(sources[i])) : targets[0];
        if (SameText(target, sources[i]) && request.operation == kShellFoMove) continue;  // already there
        target = op.FreeName(target);
        if (SameText(target, sources[i])) {  // a copy onto itself would destroy it
          ok = false;
          continue;
        }
        if (!op.MakeFolders(FolderOf(target))) {
          ok = false;
          continue;
        }
        bool done;
        if (request.operation == kShellFoMove) {
          done = MoveFile(sources[i], target) || (op.CopyTree(sources[i], target) && op.DeleteTree(sources[i]));
        } else {
          done = op.CopyTree(sources[i], target);
        }
        ok = done && ok;
      }
      break;
    }
    default:
      return kBadRequest;
  }
  return ok ? 0 : kFailed;
}

}  // namespace zarn
