// Helpers of the launcher tests: an emulated machine with a medium in drive D:, settings
// records and archives written onto it, program files carrying an archive, and one run
// of the launch sequence with a scripted user and a wizard that only records its call.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "common/layered_image_writer.h"
#include "launcher/launcher.h"
#include "launcher/splash_window.h"
#include "support/program_image.h"
#include "common/resource_writer.h"
#include "platform/posix/emulated_machine.h"
#include "platform/posix/machine_fixture.h"
#include "settings/install_settings.h"
#include "settings/paths.h"
#include "toolkit/headless/headless.h"

namespace zarn {
namespace testing {

// What the wizard was handed when the launcher ran it.
struct WizardCall {
  bool installed = false;
  bool hasArchive = false;
  int members = 0;
  std::string parameter;
  std::string splashName, splashCaption;
  bool splashShowing = false;
  bool titleMutexHeld = false;
};

// One process: the application with its scripted user, and the launcher.
struct LaunchRun {
  TScriptedUser user;
  HeadlessBackend backend{user};
  TApplication app;
  std::vector<WizardCall> wizardCalls;
  TLauncher launcher;
  int exitCode = -1;

  LaunchRun(Platform& platform, std::vector<std::string> params)
      : app(platform, backend), launcher(app, std::move(params), [this](TRunContext& run, TForm& splash) {
          WizardCall call;
          call.installed = run.settings.Installed;
          call.hasArchive = run.archive != nullptr;
          call.members = run.archive ? run.archive->MemberCount() : 0;
          call.parameter = run.parameter;
          call.splashName = splash.Name();
          call.splashCaption = splash.Caption();
          call.splashShowing = splash.Visible();
          call.titleMutexHeld = MutexExists(run.app.platform(), run.settings.Title);
          wizardCalls.push_back(call);
        }) {}
  int Go() { return exitCode = launcher.Run(); }
};

class LaunchTest : public ::testing::Test {
 protected:
  static constexpr const char* kTitle = "物語";
  static constexpr const char* kKey = "Maker\\Story";

  LaunchTest() {
    mkdir(folder.Host("medium").c_str(), 0755);
    Boot("D:\\setup.exe");
    Put(p(), "D:\\setup.exe", "setup program");
  }

  // A new process on the same machine, running `programFile`.
  EmulatedMachine& Boot(const std::string& programFile, bool administrator = true) {
    MachineOptions o = folder.Options();
    o.drives.push_back({'D', folder.Host("medium"), dtCDROM, "STORY"});
    o.programFile = programFile;
    o.administrator = administrator;
    machine = std::make_unique<EmulatedMachine>(o);
    return *machine;
  }
  Platform& p() { return *machine; }

  // A settings record of the product with the given flags.
  static TZarnInstallSet Settings() {
    TZarnInstallSet s;
    s.Title = kTitle;
    s.RegistryKey = kKey;
    s.ProgramFile = "story.exe";
    s.SplashText = "Zarn Demo";
    s.DefaultDir = "<ProgramFiles>\\Maker\\Story";
    return s;
  }
  static std::string SettingsBytes(const TZarnInstallSet& s) {
    TMemoryStream m;
    s.SaveToStream(m);
    return m.ToString();
  }
  void PutSettings(const std::string& path, const TZarnInstallSet& s) { Put(p(), path, SettingsBytes(s)); }

  // An archive file's bytes holding the members (name, content).
  std::string Archive(const std::vector<std::pair<std::string, std::string>>& members) {
    TVrFileCollection c(p());
    for (const auto& m : members) {
      auto source = std::make_unique<TMemoryStream>();
      source->WriteBuffer(m.second.data(), static_cast<int64_t>(m.second.size()));
      c.AddFile(m.first)->Source = std::move(source);
    }
    TQxBigMemoryStream out;
    EXPECT_TRUE(c.WriteArchive(out));
    return out.Memory().ToString();
  }

  // A program file with the archive appended after it.
  void PutProgramWithArchive(const std::string& path, const std::string& archive) {
    Put(p(), path, TestProgram());
    Put(p(), "C:\\arc.tmp", archive);
    AppendArchive(p(), path, "C:\\arc.tmp");
    p().DeleteFile("C:\\arc.tmp");
  }
  // A program file with the archive as its resource "DUMMY" of type "BINTYPE".
  void PutProgramWithResource(const std::string& path, const std::string& archive) {
    Put(p(), path, AddPeResource(TestProgram(), "DUMMY", "BINTYPE", archive));
  }

  std::string RegValue(const std::string& name) { return ProductKeyReadString(p(), kKey, name, "<none>"); }
  std::vector<ShellRequest> Started() { return machine->ShellLog(); }
  std::string TempDir() { return AddBackslash(p().TempPath()); }

  MachineFolder folder;
  std::unique_ptr<EmulatedMachine> machine;
};

}  // namespace testing
}  // namespace zarn
