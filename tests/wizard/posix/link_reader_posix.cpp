#include "platform/lnk_file.h"
#include "runtime/streams.h"
#include "wizard/link_reader.h"

namespace zarn {
namespace testing {

bool ReadShortcut(Platform& platform, const std::string& path, ShellLinkData& link, std::string& error) {
  auto file = platform.OpenFile(path, FileAccess::Read, FileShare::Read, FileCreate::OpenExisting);
  if (!file) return error = "cannot open " + path, false;
  std::string bytes;
  char buffer[4096];
  for (int64_t n; (n = file->Read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, static_cast<size_t>(n));
  return DecodeShellLink(platform, bytes, link, error);
}

}  // namespace testing
}  // namespace zarn
