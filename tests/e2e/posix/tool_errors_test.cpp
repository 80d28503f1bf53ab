// Every tool's errors reach the terminal as UTF-8: each tool is fed a damaged input that
// raises one of the program's own (Shift-JIS) messages, and what it prints on standard
// error must be valid UTF-8 that still holds the Japanese text.
#include <gtest/gtest.h>

#include <string>

#include "support/posix/tool_fixture.h"

namespace zarn {
namespace {

// Whether `s` is well-formed UTF-8 (no stray bytes, no overlong or cut sequences).
bool ValidUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const unsigned char c = s[i];
    const int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size() || (n == 2 && c < 0xC2)) return false;
    for (int k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n;
  }
  return true;
}

class ToolErrors : public testing::ToolTest {
 protected:
  ToolErrors() : ToolTest("zarn-arc") {}
};

TEST_F(ToolErrors, JapaneseMessagesArePrintedAsUtf8) {
  Write("bad.dat", "garbage bytes, not an archive");
  Write("install.dat", "garbage");
  Write("bad.brm", "garbage");
  Write("root/system.reg", "not a registry file\n");
  // A machine whose registry file is damaged: every tool that makes its platform must
  // report that, in UTF-8, rather than end on an uncaught exception.
  const std::string damaged = "ZARN_ROOT=root ";
  const struct {
    const char* tool;
    std::string env;
    const char* args;
  } cases[] = {
      {"zarn-arc", "", "list bad.dat"},
      {"zarn-arc", "", "verify bad.dat"},
      {"zarn-instdat", "", "dump install.dat"},
      {"zarn-brm", "", "info bad.brm"},
      {"zarn-setup", "", "--root root --program 'C:\\setup.exe' --auto"},
      {"zarn-arc", damaged, "list bad.dat"},
      {"zarn-instdat", damaged, "dump install.dat"},
      {"zarn-medium", damaged, "build -o out"},
      {"zarn-wizard-pages", damaged, "Hello --png page.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.env + c.tool + " " + c.args);
    environment_ = c.env;
    Result r = Run(c.tool, c.args);
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(ValidUtf8(r.err)) << r.err;
    // Japanese text survived the conversion: some character above U+3000.
    EXPECT_NE(r.err.find("\xE3"), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace zarn
