// Case-insensitive lookups through the per-folder index: they follow what this machine,
// another machine object and the host itself do to a folder, and short names come out as a
// plain numbering of the folder would give them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "machine_fixture.h"
#include "platform/posix/folder_index.h"
#include "platform/posix/host_text.h"
#include "platform/posix/win_path.h"
#include "runtime/sjis.h"

namespace zarn {
namespace {

using testing::Get;
using testing::HostExists;
using testing::MachineFolder;
using testing::Put;
using testing::WriteHost;

class FolderIndexTest : public ::testing::Test {
 protected:
  MachineFolder folder_;
  std::unique_ptr<EmulatedMachine> m_ = folder_.Make();
  std::string Host(const std::string& rel) { return folder_.Host("drive_c/" + rel); }
};

TEST_F(FolderIndexTest, LookupsFollowChangesMadeFromEverySide) {
  ASSERT_TRUE(m_->CreateDirectory("C:\\Data"));
  for (int i = 0; i < 200; ++i) Put(*m_, "C:\\Data\\File" + std::to_string(i) + ".txt", std::to_string(i));
  // Misses and hits in another case, answered from the index.
  EXPECT_EQ(Get(*m_, "C:\\DATA\\FILE7.TXT"), "7");
  EXPECT_FALSE(m_->FileExists("C:\\data\\file200.txt"));

  auto other = folder_.Make();  // another machine object: its changes come from outside
  struct Step {
    const char* what;
    std::function<void()> change;
    const char* lookup;
    const char* expect;  // content, or "<missing>"
  };
  const std::vector<Step> steps = {
      {"made by this machine", [&] { Put(*m_, "C:\\Data\\New.txt", "new"); }, "C:\\data\\NEW.TXT", "new"},
      {"made on the host", [&] { WriteHost(Host("Data/Host.TXT"), "host"); }, "C:\\data\\host.txt", "host"},
      {"made by another machine", [&] { Put(*other, "C:\\Data\\Other.txt", "o"); }, "C:\\DATA\\OTHER.txt", "o"},
      {"removed by this machine", [&] { ASSERT_TRUE(m_->DeleteFile("C:\\Data\\File3.txt")); }, "C:\\data\\file3.TXT",
       "<missing>"},
      {"removed on the host", [&] { unlink(Host("Data/File4.txt").c_str()); }, "C:\\data\\FILE4.txt", "<missing>"},
      {"renamed on the host", [&] { rename(Host("Data/File5.txt").c_str(), Host("Data/Moved.txt").c_str()); },
       "C:\\data\\MOVED.TXT", "5"},
      {"renamed away on the host", [] {}, "C:\\data\\file5.txt", "<missing>"},
      {"renamed by another machine", [&] { ASSERT_TRUE(other->MoveFile("C:\\Data\\File6.txt", "C:\\Data\\Six.txt")); },
       "C:\\data\\SIX.txt", "6"},
      {"case changed by this machine", [&] { ASSERT_TRUE(m_->MoveFile("C:\\Data\\File8.txt", "C:\\Data\\FILE8.TXT")); },
       "C:\\data\\file8.txt", "8"},
      {"folder replaced on the host",
       [&] {
         ASSERT_EQ(std::system(("rm -rf '" + Host("Data") + "' && mkdir '" + Host("Data") + "'").c_str()), 0);
         WriteHost(Host("Data/Fresh.TXT"), "fresh");
       },
       "C:\\data\\fresh.txt", "fresh"},
      {"old names gone with the folder", [] {}, "C:\\data\\file9.txt", "<missing>"},
      {"folder renamed over on the host",
       [&] {
         ASSERT_EQ(mkdir(Host("Swap").c_str(), 0777), 0);
         WriteHost(Host("Swap/Swapped.TXT"), "swapped");
         ASSERT_EQ(std::system(("rm -rf '" + Host("Data") + "'").c_str()), 0);
         ASSERT_EQ(rename(Host("Swap").c_str(), Host("Data").c_str()), 0);
       },
       "C:\\data\\SWAPPED.txt", "swapped"},
      {"and the name before it is gone", [] {}, "C:\\DATA\\fresh.txt", "<missing>"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.change();
    EXPECT_EQ(Get(*m_, s.lookup), s.expect);
  }
}

TEST_F(FolderIndexTest, FolderMadeAndRemovedByTheMachineResolveInAnyCase) {
  ASSERT_TRUE(m_->CreateDirectory("C:\\Game"));
  ASSERT_TRUE(m_->CreateDirectory("C:\\GAME\\Voice"));
  Put(*m_, "C:\\game\\voice\\a.ogg", "a");
  EXPECT_TRUE(HostExists(Host("Game/Voice/a.ogg")));  // made in the existing folders' case
  ASSERT_TRUE(m_->DeleteFile("C:\\GAME\\VOICE\\A.OGG"));
  ASSERT_TRUE(m_->RemoveDirectory("C:\\game\\VOICE"));
  EXPECT_FALSE(m_->DirectoryExists("C:\\Game\\Voice"));
  ASSERT_TRUE(m_->CreateDirectory("C:\\game\\VOICE"));
  EXPECT_TRUE(HostExists(Host("Game/VOICE")));
  EXPECT_TRUE(m_->DirectoryExists("C:\\GAME\\voice"));
}

TEST_F(FolderIndexTest, NamesDifferingInCaseOnlyOnTheHost) {
  ASSERT_EQ(mkdir(Host("Twins").c_str(), 0777), 0);
  WriteHost(Host("Twins/Name.txt"), "first");
  EXPECT_EQ(Get(*m_, "C:\\Twins\\NAME.TXT"), "first");
  WriteHost(Host("Twins/NAME.txt"), "second");
  EXPECT_EQ(Get(*m_, "C:\\Twins\\NAME.txt"), "second");  // the exact name first
  EXPECT_EQ(Get(*m_, "C:\\Twins\\name.TXT"), "first");
  unlink(Host("Twins/Name.txt").c_str());
  EXPECT_EQ(Get(*m_, "C:\\Twins\\name.TXT"), "second");  // the one left
  unlink(Host("Twins/NAME.txt").c_str());
  EXPECT_EQ(Get(*m_, "C:\\Twins\\name.TXT"), "<missing>");
}

TEST_F(FolderIndexTest, AForkedChildLeavesTheParentsIndexRight) {
  ASSERT_TRUE(m_->CreateDirectory("C:\\Data"));
  EXPECT_FALSE(m_->FileExists("C:\\data\\child.txt"));  // the folder is indexed now
  pid_t child = fork();
  if (child == 0) {
    // The child works through the parent's machine object, as a forked program would.
    WriteHost(Host("Data/Child.TXT"), "c");
    _exit(Get(*m_, "C:\\DATA\\child.txt") == "c" ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Get(*m_, "C:\\data\\CHILD.txt"), "c");
}

TEST_F(FolderIndexTest, ShortNamesFollowTheFolder) {
  ASSERT_TRUE(m_->CreateDirectory("C:\\S"));
  Put(*m_, "C:\\S\\long name b.txt", "b");
  EXPECT_EQ(m_->ShortPath("C:\\S\\long name b.txt"), "C:\\S\\LONGNA~1.TXT");
  Put(*m_, "C:\\S\\long name a.txt", "a");  // sorts first: numbers move, as a fresh numbering has them
  EXPECT_EQ(m_->ShortPath("C:\\S\\long name b.txt"), "C:\\S\\LONGNA~2.TXT");
  EXPECT_EQ(Get(*m_, "C:\\S\\longna~1.txt"), "a");
  WriteHost(Host("S/LONGNA~3.TXT"), "8.3");
  Put(*m_, "C:\\S\\long name c.txt", "c");
  EXPECT_EQ(m_->ShortPath("C:\\S\\long name c.txt"), "C:\\S\\LONGNA~4.TXT");
  EXPECT_EQ(Get(*m_, "C:\\S\\LONGNA~3.TXT"), "8.3");
}

// The numbering a plain loop over every candidate gives.
std::vector<std::pair<std::string, std::string>> PlainShortNames(const std::vector<std::string>& hostNames) {
  std::vector<std::pair<std::string, std::string>> longNames;
  std::set<std::string> used;
  for (const std::string& host : hostNames) {
    std::string name = posix::Utf8ToSjisLossy(host);
    if (posix::IsShortName(name))
      used.insert(UpperCase(name));
    else
      longNames.emplace_back(name, host);
  }
  std::sort(longNames.begin(), longNames.end());
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& l : longNames) {
    std::string candidate;
    for (int n = 1; n < 1000000; ++n) {
      candidate = posix::MakeShortName(l.first, n);
      if (!used.count(UpperCase(candidate))) break;
    }
    used.insert(UpperCase(candidate));
    out.emplace_back(l.second, candidate);
  }
  return out;
}

TEST(ShortNameNumbering, SameAsNumberingEveryCandidate) {
  // Groups that share a first candidate, groups that share only the shorter stems of
  // numbers past 9 and 99, real 8.3 names in the way, Japanese stems and odd characters.
  std::vector<std::string> names;
  for (int i = 0; i < 150; ++i) names.push_back("background" + std::to_string(i) + ".png");
  for (int i = 0; i < 40; ++i) names.push_back("backgrxund" + std::to_string(i) + ".png");
  for (int i = 0; i < 30; ++i) names.push_back("backgXYZ" + std::to_string(i) + ".png");
  for (int i = 0; i < 120; ++i) names.push_back("背景画像" + std::to_string(i) + ".bmp");
  for (const char* n : {"BACKGR~2.PNG", "backg~12.png", "BACK~105.PNG", "a b.txt", "x+y.dat", "...", "readme.txt"})
    names.push_back(n);
  std::vector<std::string> shuffled = names;
  std::reverse(shuffled.begin(), shuffled.end());
  auto made = posix::MakeShortNames(shuffled);
  auto plain = PlainShortNames(names);
  ASSERT_EQ(made.size(), plain.size());
  for (size_t i = 0; i < made.size(); ++i) {
    EXPECT_EQ(made[i].first, plain[i].first);
    EXPECT_EQ(made[i].second, plain[i].second) << made[i].first;
  }
}

}  // namespace
}  // namespace zarn
