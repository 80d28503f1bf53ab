// The helpers' branches for the two Windows families, on emulated machines set up as a
// Windows 9x system or as an NT system whose user is no administrator.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/posix/emulated_machine.h"
#include "runtime/sjis.h"
#include "settings/paths.h"

namespace zarn {
namespace {

class Machine {
 public:
  Machine(bool win9x, bool administrator) {
    const char* tmp = getenv("TMPDIR");
    std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/zarn-family-XXXXXX";
    if (!mkdtemp(&templ[0])) throw std::runtime_error("no temporary folder");
    root_ = templ;
    MachineOptions options;
    options.root = root_;
    options.win9x = win9x;
    options.administrator = administrator;
    options.currentDirectory = "C:\\";
    machine_ = std::make_unique<EmulatedMachine>(options);
  }
  ~Machine() {
    machine_.reset();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  EmulatedMachine& operator*() { return *machine_; }
  EmulatedMachine* operator->() { return machine_.get(); }

  void WriteFile(const std::string& path, const std::string& bytes) {
    TFileStream f(*machine_, path, fmCreate);
    f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
  std::string ReadFile(const std::string& path) {
    TMemoryStream m;
    LoadFileToStream(*machine_, path, m);
    return m.ToString();
  }

 private:
  std::string root_;
  std::unique_ptr<EmulatedMachine> machine_;
};

TEST(SettingsFamilies, AdministratorCheck) {
  EXPECT_TRUE(CheckAdminRights(*Machine(false, true)));
  EXPECT_FALSE(CheckAdminRights(*Machine(false, false)));
  // Windows 9x has no such thing: everyone may install.
  EXPECT_TRUE(CheckAdminRights(*Machine(true, false)));
}

TEST(SettingsFamilies, NoProfilesOn9x) {
  Machine m(true, true);
  ASSERT_EQ(m->Version().platformId, 1u);
  TStringList list;
  list.Add("kept");
  EXPECT_EQ(UserAppDataDirs(*m, "物語", list), 0);
  EXPECT_EQ(list.Count(), 1);
}

TEST(SettingsFamilies, DeleteOnRebootOnNT) {
  Machine m(false, true);
  m.WriteFile("C:\\~zinstall.exe", "MZ");
  DeleteOnReboot(*m, "C:\\~zinstall.exe");
  ASSERT_EQ(m->PendingDeletes().size(), 1u);
  EXPECT_TRUE(SameText(m->PendingDeletes()[0], "C:\\~zinstall.exe"));
  m->Restart();
  EXPECT_FALSE(m->FileExists("C:\\~zinstall.exe"));
}

// Every request is kept: WININIT runs all NUL= lines of [rename], and a second request
// must not replace the first.
TEST(SettingsFamilies, DeleteOnRebootOn9xKeepsEveryRequest) {
  Machine m(true, true);
  const std::string ini = AddBackslash(m->WindowsDirectory()) + "wininit.ini";
  m.WriteFile(ini, "[other]\r\nx=1\r\n[rename]\r\nC:\\NEW.TXT=C:\\OLD.TXT\r\n\r\n[last]\r\ny=2");
  m.WriteFile("C:\\~ZINST.EXE", "MZ");
  m.WriteFile("C:\\~ZINST1.EXE", "MZ");
  DeleteOnReboot(*m, "C:\\~ZINST.EXE");
  DeleteOnReboot(*m, "C:\\~ZINST1.EXE");
  DeleteOnReboot(*m, "C:\\missing.exe");  // no short name: nothing to schedule

  const std::string text = m.ReadFile(ini);
  const std::string first = "NUL=" + m->ShortPath("C:\\~ZINST.EXE") + "\r\n";
  const std::string second = "NUL=" + m->ShortPath("C:\\~ZINST1.EXE") + "\r\n";
  EXPECT_EQ(text, "[other]\r\nx=1\r\n[rename]\r\nC:\\NEW.TXT=C:\\OLD.TXT\r\n" + first + second +
                      "\r\n[last]\r\ny=2");
  EXPECT_EQ(m->PendingDeletes().size(), 2u);
  m->Restart();
  EXPECT_FALSE(m->FileExists("C:\\~ZINST.EXE"));
  EXPECT_FALSE(m->FileExists("C:\\~ZINST1.EXE"));
}

TEST(SettingsFamilies, DeleteOnRebootOn9xStartsTheFile) {
  Machine m(true, true);
  const std::string ini = AddBackslash(m->WindowsDirectory()) + "wininit.ini";
  m->DeleteFile(ini);
  m.WriteFile("C:\\a.exe", "MZ");
  DeleteOnReboot(*m, "C:\\a.exe");
  const std::string line = "NUL=" + m->ShortPath("C:\\a.exe") + "\r\n";
  EXPECT_EQ(m.ReadFile(ini), "[rename]\r\n" + line);

  // A section at the very end without a final line break.
  m.WriteFile(ini, "[Rename]\r\nNUL=C:\\B.EXE");
  DeleteOnReboot(*m, "C:\\a.exe");
  EXPECT_EQ(m.ReadFile(ini), "[Rename]\r\nNUL=C:\\B.EXE\r\n" + line);

  // A disk that fills up while the file is rewritten leaves the requests already there.
  const std::string before = m.ReadFile(ini);
  m->Faults().diskFreeBytes = 10;
  DeleteOnReboot(*m, "C:\\a.exe");
  m->Faults().diskFreeBytes = -1;
  EXPECT_EQ(m.ReadFile(ini), before);
}

}  // namespace
}  // namespace zarn
