// The emulated machine's registry file: REGEDIT4 text that survives the machine object,
// is shared between machine objects and processes, and reads back what regedit writes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "machine_fixture.h"
#include "platform/posix/machine_state.h"
#include "platform/posix/registry_store.h"
#include "runtime/error.h"

namespace zarn {
namespace {

using posix::RegistryStore;
using posix::RegNode;
using testing::MachineFolder;
using testing::ReadHost;
using testing::WriteHost;

const std::string kNul(1, '\0');

std::string Query(Platform& p, RegRoot root, const std::string& key, const std::string& name, uint32_t* type = nullptr) {
  auto k = p.OpenKey(root, key, false);
  uint32_t t = 0;
  std::string data;
  if (!k || !k->QueryValue(name, t, data)) return "<missing>";
  if (type) *type = t;
  return data;
}

TEST(RegistryText, EveryTypeRoundTrips) {
  RegNode tree;
  std::string text =
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Zarn]\r\n"
      "@=\"default\"\r\n"
      "\"Path\"=\"C:\\\\ゲーム\\\\ソフト\\\\\"\r\n"
      "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
      "\"Count\"=dword:0000002a\r\n"
      "\"Blob\"=hex:00,5c,ff\r\n"
      "\"Expand\"=hex(2):25,00\r\n"
      "\"Multi\"=hex(7):61,00,62,00,00\r\n"
      "\"Empty\"=hex:\r\n"
      "\r\n";
  RegistryStore::Parse(text, tree, "S-1");
  RegNode* key = RegistryStore::Find(tree, {"HKEY_LOCAL_MACHINE", "software", "ZARN"});
  ASSERT_TRUE(key);
  ASSERT_EQ(key->values.size(), 8u);
  EXPECT_EQ(key->Value("")->data, "default" + kNul);
  EXPECT_EQ(key->Value("Path")->data, "C:\\ゲーム\\ソフト\\" + kNul);
  EXPECT_EQ(key->Value("Quote")->data, "say \"hi\"" + kNul);
  EXPECT_EQ(key->Value("Count")->type, regDword);
  EXPECT_EQ(key->Value("Count")->data, std::string("\x2a\0\0\0", 4));
  EXPECT_EQ(key->Value("Blob")->data, std::string("\0\x5c\xff", 3));
  EXPECT_EQ(key->Value("Expand")->type, regExpandSz);
  EXPECT_EQ(key->Value("Multi")->data, std::string("a\0b\0\0", 5));
  EXPECT_EQ(key->Value("Empty")->data, "");
  // Written back, the text is the same.
  EXPECT_EQ(RegistryStore::Serialize(tree),
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n" + text.substr(12));
}

TEST(RegistryText, TextThatCannotBeQuotedIsWrittenAsHex) {
  RegNode tree;
  RegNode* key = tree.AddChild("HKEY_USERS")->AddChild("k");
  key->values.push_back({"Lines", regSz, "a\r\nb" + kNul});
  key->values.push_back({"Inner", regSz, std::string("a\0b\0", 4)});
  key->values.push_back({"Unterminated", regSz, "abc"});
  key->values.push_back({"HalfChar", regSz, "a\x83" + kNul});
  key->values.push_back({"Trail", regSz, "ソ" + kNul});
  key->values.push_back({"ShortDword", regDword, "\x01"});
  std::string text = RegistryStore::Serialize(tree);
  EXPECT_NE(text.find("\"Lines\"=hex(1):61,0d,0a,62,00\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Unterminated\"=hex(1):61,62,63\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"HalfChar\"=hex(1):61,83,00\r\n"), std::string::npos);
  EXPECT_NE(text.find("\"Trail\"=\"ソ\"\r\n"), std::string::npos);  // the trail byte is not escaped
  EXPECT_NE(text.find("\"ShortDword\"=hex(4):01\r\n"), std::string::npos);
  RegNode back;
  RegistryStore::Parse(text, back, "S-1");
  RegNode* k = RegistryStore::Find(back, {"HKEY_USERS", "k"});
  ASSERT_TRUE(k);
  for (const auto& v : key->values) {
    ASSERT_TRUE(k->Value(v.name)) << v.name;
    EXPECT_EQ(k->Value(v.name)->data, v.data) << v.name;
    EXPECT_EQ(k->Value(v.name)->type, v.type) << v.name;
  }
}

TEST(RegistryText, WhatRegeditFilesMayHold) {
  RegNode tree;
  RegistryStore::Parse(
      "\r\nREGEDIT4\n"
      "; a comment\n"
      "[HKEY_CURRENT_USER\\Software\\A]\n"
      "\"Long\"=hex:01,02,\\\n"
      "  03,04\n"
      "\"Gone\"=\"x\"\n"
      "\"Gone\"=-\n"
      "[HKEY_CLASSES_ROOT\\.zarn]\n"
      "@=\"ZarnFile\"\n"
      "[HKEY_LOCAL_MACHINE\\Drop\\Me]\n"
      "[-HKEY_LOCAL_MACHINE\\Drop]\n"
      "[HKEY_NOWHERE\\x]\n"
      "\"Orphan\"=\"skipped\"\n"
      "\"Bad\"=dword:xyz\n"
      "\"Unclosed=\"x\n",
      tree, "S-1");
  RegNode* a = RegistryStore::Find(tree, {"HKEY_USERS", "S-1", "Software", "A"});
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Value("Long")->data, "\x01\x02\x03\x04");
  EXPECT_FALSE(a->Value("Gone"));
  RegNode* cls = RegistryStore::Find(tree, {"HKEY_LOCAL_MACHINE", "Software", "Classes", ".zarn"});
  ASSERT_TRUE(cls);
  EXPECT_EQ(cls->Value("")->data, "ZarnFile" + kNul);
  EXPECT_FALSE(RegistryStore::Find(tree, {"HKEY_LOCAL_MACHINE", "Drop"}));
  EXPECT_THROW(RegistryStore::Parse("Windows Registry Editor Version 5.00\r\n", tree, "S-1"), EFormatError);
  EXPECT_THROW(RegistryStore::Parse("", tree, "S-1"), EFormatError);
}

class RegistryFile : public ::testing::Test {
 protected:
  MachineFolder folder_;
};

TEST_F(RegistryFile, ChangesAreSavedAtOnceAndSeenByOtherMachineObjects) {
  auto first = folder_.Make();
  auto second = folder_.Make();
  auto key = first->OpenKey(RegRoot::CurrentUser, "Software\\メーカー\\ソフト", true);
  ASSERT_TRUE(key);
  ASSERT_TRUE(key->SetValue("InstallPath", regSz, "C:\\Games\\表\\" + kNul));
  EXPECT_EQ(Query(*second, RegRoot::CurrentUser, "software\\メーカー\\ソフト", "installpath"), "C:\\Games\\表\\" + kNul);

  std::string text = ReadHost(folder_.Host("system.reg"));
  EXPECT_EQ(text.compare(0, 10, "REGEDIT4\r\n"), 0);
  // HKEY_CURRENT_USER is the user's branch of HKEY_USERS.
  EXPECT_NE(text.find("[HKEY_USERS\\" + std::string(posix::kUserSid) + "\\Software\\メーカー\\ソフト]\r\n"
                      "\"InstallPath\"=\"C:\\\\Games\\\\表\\\\\"\r\n"),
            std::string::npos)
      << text;

  // A key deleted through one object is gone for the other's open key as well.
  EXPECT_TRUE(second->DeleteKeyTree(RegRoot::CurrentUser, "Software\\メーカー"));
  uint32_t type;
  std::string data;
  EXPECT_FALSE(key->QueryValue("InstallPath", type, data));
  EXPECT_FALSE(key->SetValue("InstallPath", regSz, "x"));
  EXPECT_TRUE(key->SubKeyNames().empty());

  // A new machine object reads the file again.
  ASSERT_TRUE(first->OpenKey(RegRoot::LocalMachine, "Software\\Zarn", true)->SetValue("n", regDword, std::string("\1\0\0\0", 4)));
  first.reset();
  second.reset();
  auto third = folder_.Make();
  EXPECT_EQ(Query(*third, RegRoot::LocalMachine, "Software\\Zarn", "n"), std::string("\1\0\0\0", 4));
  EXPECT_FALSE(third->OpenKey(RegRoot::CurrentUser, "Software\\メーカー", false));
}

TEST_F(RegistryFile, HandEditedFileIsReadAndDamagedOneRefused) {
  folder_.Make();  // a fresh machine writes its registry
  std::string text = ReadHost(folder_.Host("system.reg"));
  WriteHost(folder_.Host("system.reg"), text + "[HKEY_CURRENT_USER\\Software\\Hand]\r\n\"v\"=\"edited\"\r\n");
  auto m = folder_.Make();
  EXPECT_EQ(Query(*m, RegRoot::CurrentUser, "Software\\Hand", "v"), "edited" + kNul);
  // The defaults are not written again over what is there.
  EXPECT_EQ(Query(*m, RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"),
            "C:\\Program Files" + kNul);
  m.reset();
  WriteHost(folder_.Host("system.reg"), "garbage");
  EXPECT_THROW(folder_.Make(), EFormatError);
}

TEST_F(RegistryFile, TwoProcessesWritingKeepEveryValue) {
  auto m = folder_.Make();
  m->OpenKey(RegRoot::CurrentUser, "Software\\Race", true);
  const int kEach = 40;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto own = folder_.Make();
    auto key = own->OpenKey(RegRoot::CurrentUser, "Software\\Race", false);
    bool ok = key != nullptr;
    for (int i = 0; i < kEach && ok; ++i) ok = key->SetValue("child" + std::to_string(i), regSz, "c");
    _exit(ok ? 0 : 1);
  }
  auto key = m->OpenKey(RegRoot::CurrentUser, "Software\\Race", false);
  ASSERT_TRUE(key);
  for (int i = 0; i < kEach; ++i) ASSERT_TRUE(key->SetValue("parent" + std::to_string(i), regSz, "p"));
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(key->ValueNames().size(), static_cast<size_t>(2 * kEach));
}

TEST_F(RegistryFile, FreshMachineHasTheUsersFolders) {
  auto m = folder_.Make();
  auto list = m->OpenKey(RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", false);
  ASSERT_TRUE(list);
  auto users = list->SubKeyNames();
  ASSERT_EQ(users.size(), 1u);
  uint32_t type = 0;
  std::string image = Query(*m, RegRoot::LocalMachine,
                            "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + users[0],
                            "ProfileImagePath", &type);
  EXPECT_EQ(type, regExpandSz);
  ASSERT_EQ(image.compare(0, 13, "%SystemDrive%"), 0);
  std::string profile = "C:" + image.substr(13, image.size() - 14);
  EXPECT_TRUE(m->DirectoryExists(profile)) << profile;
  std::string local = Query(*m, RegRoot::Users,
                            users[0] + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                            "Local AppData", &type);
  EXPECT_EQ(type, regExpandSz);
  ASSERT_EQ(local.compare(0, 13, "%USERPROFILE%"), 0);
  std::string folder = profile + local.substr(13, local.size() - 14);
  EXPECT_TRUE(m->DirectoryExists(folder)) << folder;
  std::string special;
  ASSERT_TRUE(m->SpecialFolder(csidlLocalAppData, special));
  EXPECT_EQ(special, folder);
  EXPECT_EQ(m->EnvironmentVariable("userprofile"), profile);
  EXPECT_EQ(m->EnvironmentVariable("SystemDrive"), "C:");
}

}  // namespace
}  // namespace zarn
