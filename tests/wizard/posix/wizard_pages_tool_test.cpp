// zarn-wizard-pages: every page of the wizard renders to a picture of the wizard's window
// size, the start menu and every message box to pictures of their own, all different
// from one another, and bad usage is refused.
#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "support/posix/tool_fixture.h"

namespace zarn {
namespace {

class WizardPagesTool : public testing::ToolTest {
 protected:
  WizardPagesTool() : ToolTest("zarn-wizard-pages") {}
  void SetUp() override {
    ToolTest::SetUp();
    environment_ = "ZARN_ROOT=" + Quote(Path("machine")) + " ";
  }
  Result Page(const std::string& page) { return Run(page + " --png " + Quote(Path(page + ".png"))); }
};

TEST_F(WizardPagesTool, EveryPageRendersItsOwnPicture) {
  std::set<std::string> pictures;
  const std::set<std::string> wizardPages = {"Hello", "License", "Media", "file", "seldir",
                                             "confirm", "copy", "exit", "uninst", "delete"};
  const char* const others[] = {"start", "disc", "abort", "abort-uninst", "bad-folder", "drive-folder", "no-space",
                                "no-folder", "damaged", "build-error", "admin", "no-settings", "no-copy", "no-run",
                                "error-report"};
  std::vector<std::string> all(wizardPages.begin(), wizardPages.end());
  all.insert(all.end(), std::begin(others), std::end(others));
  for (const std::string& page : all) {
    Result r = Page(page);
    ASSERT_EQ(r.status, 0) << page << r.err;
    std::string png = Read(page + ".png");
    ASSERT_GT(png.size(), 24u) << page;
    EXPECT_EQ(png.compare(1, 3, "PNG"), 0) << page;
    // IHDR: the wizard's window, its client area of 497 x 336 in a frame 3 pixels wide
    // under a title bar of 19.
    auto be32 = [&](size_t at) {
      return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
             uint32_t(uint8_t(png[at + 2])) << 8 | uint8_t(png[at + 3]);
    };
    if (wizardPages.count(page)) {
      EXPECT_EQ(be32(16), 497u + 6) << page;
      EXPECT_EQ(be32(20), 336u + 25) << page;
    }
    pictures.insert(png);
  }
  EXPECT_EQ(pictures.size(), all.size()) << "two pages rendered alike";
}

TEST_F(WizardPagesTool, BadUsageIsRefused) {
  EXPECT_EQ(Run("--help").status, 0);
  EXPECT_EQ(Run("").status, 2);
  Result r = Run("Welcome --png x.png");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("unknown page"), std::string::npos) << r.err;
  EXPECT_EQ(Run("Hello").status, 2) << "the Linux build needs --png";
}

}  // namespace
}  // namespace zarn
