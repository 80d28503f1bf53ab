// zarn-wizard-pages: every page of the wizard renders to a picture of the wizard's size,
// the pages differ from one another, and bad usage is refused.
#include <gtest/gtest.h>

#include <set>

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
  for (const char* page : {"Hello", "License", "Media", "file", "seldir", "confirm", "copy", "exit", "uninst", "delete"}) {
    Result r = Page(page);
    ASSERT_EQ(r.status, 0) << page << r.err;
    std::string png = Read(std::string(page) + ".png");
    ASSERT_GT(png.size(), 24u) << page;
    EXPECT_EQ(png.compare(1, 3, "PNG"), 0) << page;
    // IHDR: the wizard's client area, 497 x 336.
    auto be32 = [&](size_t at) {
      return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
             uint32_t(uint8_t(png[at + 2])) << 8 | uint8_t(png[at + 3]);
    };
    EXPECT_EQ(be32(16), 497u) << page;
    EXPECT_EQ(be32(20), 336u) << page;
    pictures.insert(png);
  }
  EXPECT_EQ(pictures.size(), 10u) << "two pages rendered alike";
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
