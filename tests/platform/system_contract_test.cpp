// What every backend must do for mutexes, the shell, modules, text and the clock.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "runtime/error.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::TestMachine;

class SystemContract : public ::testing::Test {
 protected:
  Platform& p() { return machine_.platform(); }
  TestMachine machine_;
};

TEST_F(SystemContract, MutexIsHeldUntilEveryHandleIsGone) {
  // The name a game's install folder gives: backslashes replaced, trail bytes 0x5C kept.
  const std::string name = "C:-GAMES-ソフト表-" + machine_.ScratchKey();
  EXPECT_FALSE(p().MutexExists(name));
  bool existed = true;
  auto first = p().CreateMutex(name, existed);
  ASSERT_TRUE(first);
  EXPECT_FALSE(existed);
  EXPECT_TRUE(p().MutexExists(name));
  EXPECT_FALSE(p().MutexExists(name + "x"));
  auto second = p().CreateMutex(name, existed);
  ASSERT_TRUE(second);
  EXPECT_TRUE(existed);
  first.reset();
  EXPECT_TRUE(p().MutexExists(name));
  second.reset();
  EXPECT_FALSE(p().MutexExists(name));
  // Free again: the next creator is the first.
  auto third = p().CreateMutex(name, existed);
  ASSERT_TRUE(third);
  EXPECT_FALSE(existed);
}

TEST_F(SystemContract, MutexNamesWithABackslashAreRefused) {
  bool existed = true;
  EXPECT_FALSE(p().CreateMutex("C:\\GAMES\\" + machine_.ScratchKey(), existed));
  EXPECT_FALSE(existed);
  EXPECT_FALSE(p().MutexExists("C:\\GAMES\\" + machine_.ScratchKey()));
}

TEST_F(SystemContract, ShellExecuteOfAMissingFileFails) {
  intptr_t r = p().ShellExecute("open", machine_.Scratch() + "none.exe", "", "", 1);
  EXPECT_LE(r, 32);
  EXPECT_GT(r, 0);
}

TEST_F(SystemContract, ProgramFileAndModules) {
  const std::string exe = p().ProgramFile();
  ASSERT_GT(exe.size(), 3u);
  EXPECT_EQ(exe.substr(1, 2), ":\\");
  EXPECT_TRUE(p().FileExists(exe)) << exe;
  EXPECT_TRUE(p().OwnModule());
  EXPECT_FALSE(p().LoadModule(machine_.Scratch() + "none.exe"));
  const std::string text = machine_.Scratch() + "plain.txt";
  auto f = p().OpenFile(text, FileAccess::Write, FileShare::None, FileCreate::CreateNew);
  ASSERT_TRUE(f);
  f->Write("MZ not a program at all, not even close to one.........................", 72);
  f.reset();
  EXPECT_FALSE(p().LoadModule(text));
}

TEST_F(SystemContract, VersionEnvironmentAndClock) {
  VersionInfo v = p().Version();
  EXPECT_EQ(v.platformId, 2u);
  EXPECT_GE(v.major, 5u);
  EXPECT_EQ(p().EnvironmentVariable("SystemDrive"), "C:");
  EXPECT_FALSE(p().EnvironmentVariable("TEMP").empty());
  EXPECT_EQ(p().EnvironmentVariable("ZARN_NO_SUCH_VARIABLE"), "");
  // The tick count moves on with a sleep (coarse clocks tick in 10-16 ms steps).
  uint32_t start = p().TickCount();
  p().Sleep(100);
  uint32_t elapsed = p().TickCount() - start;
  EXPECT_GE(elapsed, 50u);
  EXPECT_LT(elapsed, 60000u);
}

TEST_F(SystemContract, TextConversionIsCodePage932) {
  // ソ (0x83 0x5C) is U+30BD; 表 (0x95 0x5C) is U+8868; half-width ｱ is one byte.
  EXPECT_EQ(p().SjisToUtf8("ソ表\\a"), "\xE3\x82\xBD\xE8\xA1\xA8\\a");
  EXPECT_EQ(p().Utf8ToSjis("\xE3\x82\xBD\xE8\xA1\xA8\\a"), "ソ表\\a");
  EXPECT_EQ(p().SjisToUtf8("\xB1"), "\xEF\xBD\xB1");
  EXPECT_EQ(p().Utf8ToSjis("\xEF\xBD\xB1"), "\xB1");
  EXPECT_EQ(p().SjisToUtf8(""), "");
  // Characters the code page lacks become "?"; broken input never stops the conversion.
  EXPECT_EQ(p().Utf8ToSjis("a\xC3\xA9z"), "a?z");
  std::string broken = p().SjisToUtf8("a\x83");
  EXPECT_EQ(broken.substr(0, 1), "a");
  EXPECT_FALSE(p().SjisToUtf8("\x81\x20z").empty());
}

}  // namespace
}  // namespace zarn
