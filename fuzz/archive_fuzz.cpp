// Fuzz target: an archive of its own in memory is opened (directory of any version) and
// every member is extracted and verified. Anything but the program's own errors escaping,
// a crash, a hang or an allocation beyond the bounds is a finding.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "platform/platform.h"
#include "runtime/error.h"

namespace {

zarn::Platform& FuzzPlatform() {
  static std::unique_ptr<zarn::Platform> platform = zarn::CreateHostPlatform();
  return *platform;
}

}  // namespace

// Sample archives the standalone driver starts from (libFuzzer finds its own way in).
std::vector<std::string> FuzzSeeds() {
  using namespace zarn;
  std::vector<std::string> seeds;
  auto build = [&](const std::vector<std::pair<std::string, std::string>>& members, bool separate) {
    TVrFileCollection c(FuzzPlatform());
    for (const auto& m : members) {
      auto src = std::make_unique<TMemoryStream>();
      src->Assign(m.second);
      TVrFile* f = c.AddFile(m.first);
      f->Source = std::move(src);
      f->Separate = separate;
      f->FileDate = 0x5A2B6C3D;
    }
    TQxBigMemoryStream out;
    c.WriteArchive(out);
    std::string bytes(static_cast<size_t>(out.GetSize()), '\0');
    out.MoveTo(0);
    if (!bytes.empty()) out.Read(&bytes[0], static_cast<int64_t>(bytes.size()));
    seeds.push_back(bytes);
  };
  std::string text;
  for (int i = 0; i < 200; ++i) text += "line " + std::to_string(i) + " of the story\r\n";
  build({}, false);
  build({{"install.dat", "is108settings"}, {"bg\\title.brm", text}, {"", ""}}, false);
  build({{"a", "x"}, {"script\\main.txt", text + text}}, true);
  return seeds;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zarn;
  TVrFileCollection c(FuzzPlatform());
  c.MaxInflateToMemory = 1 << 22;
  auto stream = std::make_unique<TQxBigMemoryStream>();
  if (size) stream->Write(data, static_cast<int64_t>(size));
  try {
    c.OpenStream(std::move(stream));
  } catch (const EZarnError&) {
    return 0;
  }
  for (int i = 0; i < c.Count(); ++i) {
    TMemoryStream out;
    try {
      c.ExtractToStream(out, c.Files(i)->Name());
    } catch (const EZarnError&) {
    }
  }
  c.Verify();
  return 0;
}
