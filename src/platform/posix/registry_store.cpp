#include "platform/posix/registry_store.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/error.h"
#include "runtime/sjis.h"

namespace zarn {
namespace posix {

namespace {

const char kLocalMachine[] = "HKEY_LOCAL_MACHINE";
const char kUsers[] = "HKEY_USERS";

bool IsValidKeyName(const std::string& name) {
  if (name.empty() || name.size() > 255) return false;
  for (unsigned char c : name)
    if (c < 0x20) return false;
  return true;
}

// Text of a REG_SZ-like value when its data can be written as a quoted string: text with
// no NUL, CR or LF, ending on a whole character, followed by exactly one NUL.
bool AsText(const std::string& data, std::string& text) {
  if (data.empty() || data.back() != '\0') return false;
  text.assign(data, 0, data.size() - 1);
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0 || c == '\r' || c == '\n') return false;
    if (IsLeadByte(c)) {
      if (i + 1 >= text.size() || text[i + 1] == '\0' || text[i + 1] == '\r' || text[i + 1] == '\n') return false;
      ++i;
    }
  }
  return true;
}

std::string Quote(const std::string& text) {
  std::string r = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (IsLeadByte(c) && i + 1 < text.size()) {
      r += text[i];
      r += text[++i];
      continue;
    }
    if (c == '\\' || c == '"') r += '\\';
    r += text[i];
  }
  return r + "\"";
}

// Reads a quoted string at `pos` (which holds the opening quote); `pos` ends after the
// closing quote. False when unterminated.
bool Unquote(const std::string& line, size_t& pos, std::string& out) {
  out.clear();
  for (size_t i = pos + 1; i < line.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(line[i]);
    if (IsLeadByte(c) && i + 1 < line.size()) {
      out += line[i];
      out += line[++i];
    } else if (c == '\\' && i + 1 < line.size()) {
      out += line[++i];
    } else if (c == '"') {
      pos = i + 1;
      return true;
    } else {
      out += line[i];
    }
  }
  return false;
}

std::string Hex(const std::string& data) {
  static const char kDigits[] = "0123456789abcdef";
  std::string r;
  for (size_t i = 0; i < data.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(data[i]);
    if (i) r += ',';
    r += kDigits[c >> 4];
    r += kDigits[c & 15];
  }
  return r;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHex(const std::string& s, std::string& out) {
  out.clear();
  size_t i = 0;
  auto skip = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  };
  skip();
  if (i == s.size()) return true;
  for (;;) {
    skip();
    int hi = i < s.size() ? HexDigit(s[i]) : -1;
    int lo = i + 1 < s.size() ? HexDigit(s[i + 1]) : -1;
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
    skip();
    if (i == s.size()) return true;
    if (s[i] != ',') return false;
    ++i;
  }
}

void SerializeNode(const RegNode& node, const std::string& path, std::string& out) {
  out += "[" + path + "]\r\n";
  for (const RegValue& v : node.values) {
    out += v.name.empty() ? "@" : Quote(v.name);
    out += '=';
    std::string text;
    if (v.type == regSz && AsText(v.data, text)) {
      out += Quote(text);
    } else if (v.type == regDword && v.data.size() == 4) {
      uint32_t d = 0;
      for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.data[i]);
      char buf[16];
      std::snprintf(buf, sizeof buf, "dword:%08x", d);
      out += buf;
    } else if (v.type == regBinary) {
      out += "hex:" + Hex(v.data);
    } else {
      char buf[24];
      std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
      out += buf + Hex(v.data);
    }
    out += "\r\n";
  }
  out += "\r\n";
  for (const auto& child : node.children) SerializeNode(*child.second, path + "\\" + child.second->name, out);
}

// Splits the text into logical lines (CR LF, LF or CR), joining hex data continued with a
// trailing backslash.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  bool continued = false;
  auto finish = [&] {
    std::string line = cur;
    cur.clear();
    if (continued) {
      size_t start = line.find_first_not_of(" \t");
      lines.back() += start == std::string::npos ? "" : line.substr(start);
    } else {
      lines.push_back(line);
    }
    std::string& last = lines.back();
    size_t eq = last.find("=hex");
    continued = eq != std::string::npos && !last.empty() && last.back() == '\\' && last[0] != '[';
    if (continued) last.pop_back();
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' || text[i] == '\n') {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      finish();
    } else {
      cur += text[i];
    }
  }
  if (!cur.empty()) finish();
  return lines;
}

}  // namespace

RegNode* RegNode::Child(const std::string& name) const {
  auto it = children.find(UpperCase(name));
  return it == children.end() ? nullptr : it->second.get();
}

RegNode* RegNode::AddChild(const std::string& name) {
  auto& slot = children[UpperCase(name)];
  if (!slot) {
    slot = std::make_unique<RegNode>();
    slot->name = name;
  }
  return slot.get();
}

RegValue* RegNode::Value(const std::string& name) {
  for (RegValue& v : values)
    if (SameText(v.name, name)) return &v;
  return nullptr;
}

RegistryStore::RegistryStore(std::string file, std::string userKey)
    : file_(std::move(file)), userKey_(std::move(userKey)) {
  if (file_.empty()) return;
  existed_ = access(file_.c_str(), F_OK) == 0;
  std::string lockFile = file_ + ".lock";
  lockFd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lockFd_ < 0) throw EOSError(Format("レジストリファイル %s を開けません", file_));
}

RegistryStore::~RegistryStore() {
  if (lockFd_ >= 0) close(lockFd_);
}

bool RegistryStore::KeyPath(RegRoot root, const std::string& path, std::vector<std::string>& out) const {
  out.clear();
  switch (root) {
    case RegRoot::LocalMachine: out = {kLocalMachine}; break;
    case RegRoot::Users: out = {kUsers}; break;
    case RegRoot::CurrentUser: out = {kUsers, userKey_}; break;
    case RegRoot::ClassesRoot: out = {kLocalMachine, "Software", "Classes"}; break;
  }
  return SplitKey(path, out);
}

bool RegistryStore::SplitKey(const std::string& path, std::vector<std::string>& out) {
  if (path.empty()) return true;
  std::vector<std::string> parts = SplitDelimited(path, '\\');
  if (parts.size() > 1 && parts.back().empty()) parts.pop_back();  // one trailing backslash is fine
  for (const std::string& p : parts) {
    if (!IsValidKeyName(p)) return false;
    out.push_back(p);
  }
  return true;
}

RegNode* RegistryStore::Find(RegNode& tree, const std::vector<std::string>& path) {
  RegNode* node = &tree;
  for (const std::string& p : path) {
    node = node->Child(p);
    if (!node) return nullptr;
  }
  return node;
}

bool RegistryStore::Update(bool write, const std::function<bool(RegNode& tree)>& fn) {
  if (lockFd_ < 0) return fn(tree_);
  while (flock(lockFd_, write ? LOCK_EX : LOCK_SH) != 0)
    if (errno != EINTR) return false;
  struct Unlock {
    int fd;
    ~Unlock() { flock(fd, LOCK_UN); }
  } unlock{lockFd_};
  Reload();
  bool changed = fn(tree_);
  if (changed && write) Save();
  return changed;
}

bool RegistryStore::Reload() {
  struct stat st;
  if (::stat(file_.c_str(), &st) != 0) return false;
  int64_t mtime = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (st.st_ino == ino_ && static_cast<uint64_t>(st.st_size) == size_ && mtime == mtimeNs_) return true;
  FILE* f = std::fopen(file_.c_str(), "rb");
  if (!f) return false;
  std::string text;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fclose(f);
  RegNode tree;
  Parse(text, tree, userKey_);
  tree_ = std::move(tree);
  ino_ = st.st_ino;
  size_ = static_cast<uint64_t>(st.st_size);
  mtimeNs_ = mtime;
  return true;
}

bool RegistryStore::Save() {
  std::string text = Serialize(tree_);
  std::string temp = file_ + ".new";  // written only under the exclusive lock
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), file_.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  struct stat st;
  if (::stat(file_.c_str(), &st) == 0) {
    ino_ = st.st_ino;
    size_ = static_cast<uint64_t>(st.st_size);
    mtimeNs_ = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  }
  return true;
}

std::string RegistryStore::Serialize(const RegNode& tree) {
  std::string out = "REGEDIT4\r\n\r\n";
  for (const auto& root : tree.children) SerializeNode(*root.second, root.second->name, out);
  return out;
}

void RegistryStore::Parse(const std::string& text, RegNode& tree, const std::string& userKey) {
  std::vector<std::string> lines = Lines(text);
  size_t first = 0;
  while (first < lines.size() && lines[first].find_first_not_of(" \t") == std::string::npos) ++first;
  if (first == lines.size() || lines[first] != "REGEDIT4") throw EFormatError("レジストリファイルが壊れています");
  RegNode* key = nullptr;
  for (size_t i = first + 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      key = nullptr;
      size_t close = line.rfind(']');
      if (close == std::string::npos) continue;
      bool remove = line.size() > 1 && line[1] == '-';
      std::vector<std::string> parts = SplitDelimited(line.substr(remove ? 2 : 1, close - (remove ? 2 : 1)), '\\');
      if (parts.empty()) continue;
      std::string root = UpperCase(parts[0]);
      std::vector<std::string> path;
      if (root == kLocalMachine || root == "HKLM") {
        path = {kLocalMachine};
      } else if (root == kUsers || root == "HKU") {
        path = {kUsers};
      } else if (root == "HKEY_CURRENT_USER" || root == "HKCU") {
        path = {kUsers, userKey};
      } else if (root == "HKEY_CLASSES_ROOT" || root == "HKCR") {
        path = {kLocalMachine, "Software", "Classes"};
      } else {
        continue;
      }
      bool valid = true;
      for (size_t p = 1; p < parts.size(); ++p) {
        valid = valid && IsValidKeyName(parts[p]);
        path.push_back(parts[p]);
      }
      if (!valid) continue;
      if (remove) {
        RegNode* parent = path.size() > 1 ? Find(tree, {path.begin(), path.end() - 1}) : nullptr;
        if (parent) parent->children.erase(UpperCase(path.back()));
        continue;
      }
      key = &tree;
      for (const std::string& p : path) key = key->AddChild(p);
      continue;
    }
    if (!key) continue;
    std::string name;
    size_t pos = 0;
    if (line[0] == '@') {
      pos = 1;
    } else if (line[0] == '"') {
      if (!Unquote(line, pos, name)) continue;
    } else {
      continue;
    }
    if (pos >= line.size() || line[pos] != '=') continue;
    std::string rest = line.substr(pos + 1);
    RegValue value;
    value.name = name;
    if (rest == "-") {
      for (size_t v = 0; v < key->values.size(); ++v)
        if (SameText(key->values[v].name, name)) key->values.erase(key->values.begin() + v);
      continue;
    }
    if (!rest.empty() && rest[0] == '"') {
      size_t p = 0;
      std::string text;
      if (!Unquote(rest, p, text)) continue;
      value.type = regSz;
      value.data = text + '\0';
    } else if (rest.compare(0, 6, "dword:") == 0) {
      std::string digits = rest.substr(6);
      if (digits.empty() || digits.size() > 8) continue;
      uint32_t d = 0;
      bool ok = true;
      for (char c : digits) {
        int h = HexDigit(c);
        ok = ok && h >= 0;
        d = d * 16 + static_cast<uint32_t>(h < 0 ? 0 : h);
      }
      if (!ok) continue;
      value.type = regDword;
      for (int b = 0; b < 4; ++b) value.data += static_cast<char>((d >> (8 * b)) & 0xFF);
    } else if (rest.compare(0, 4, "hex:") == 0) {
      if (!ParseHex(rest.substr(4), value.data)) continue;
      value.type = regBinary;
    } else if (rest.compare(0, 4, "hex(") == 0) {
      size_t close = rest.find("):");
      if (close == std::string::npos || close == 4 || close > 12) continue;
      uint32_t type = 0;
      bool ok = true;
      for (size_t c = 4; c < close; ++c) {
        int h = HexDigit(rest[c]);
        ok = ok && h >= 0;
        type = type * 16 + static_cast<uint32_t>(h < 0 ? 0 : h);
      }
      if (!ok || !ParseHex(rest.substr(close + 2), value.data)) continue;
      value.type = type;
    } else {
      continue;
    }
    if (RegValue* existing = key->Value(name)) {
      existing->type = value.type;
      existing->data = value.data;
    } else {
      key->values.push_back(value);
    }
  }
}

}  // namespace posix
}  // namespace zarn
