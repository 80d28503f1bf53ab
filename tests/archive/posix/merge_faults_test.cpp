// Merging into a data file on a disk that fills up or fails: the merge reports the error,
// and the directory on disk always describes bytes that are there.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "archive/archive_support.h"
#include "archive/split_file_stream.h"
#include "archive/archive_reader.h"
#include "platform/posix/emulated_machine.h"
#include "runtime/error.h"
#include "settings/paths.h"
#include "support/test_machine.h"

namespace zarn {
namespace {

using testing::AssembleArchive;
using testing::Crc;
using testing::PutFile;
using testing::RawMember;

std::string Content(int i) { return std::string(300 + i * 50, static_cast<char>('a' + i)); }

class MergeFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<RawMember> v1, v2;
    for (int i = 0; i < 4; ++i) v1.push_back({"m" + std::to_string(i), Content(i), true, 10, Crc(Content(i)), false});
    for (int i = 2; i < 7; ++i) v2.push_back({"m" + std::to_string(i), Content(i + 10), true, 20, Crc(Content(i + 10)), false});
    PutFile(p, m.Scratch() + "v1.arc", AssembleArchive(102, v1));
    PutFile(p, m.Scratch() + "v2.arc", AssembleArchive(102, v2));
  }
  void Merge(const char* archive) {
    TVrFileCollection src(p), data(p);
    data.PartSize = 512;
    src.Open(m.Scratch() + archive);
    data.OpenPath(m.Scratch() + "game.dat", true);
    data.MergeFrom(src);
  }
  // The data file as its directory describes it: every member verifies and extracts.
  void ExpectSound(int members) {
    TVrFileCollection data(p);
    data.PartSize = 512;
    data.Open(m.Scratch() + "game.dat");
    EXPECT_EQ(data.MemberCount(), members);
    EXPECT_TRUE(data.Verify()) << data.BadMember();
  }
  testing::TestMachine m;
  Platform& p = m.platform();
  MachineFaults& faults = dynamic_cast<EmulatedMachine&>(p).Faults();
};

TEST_F(MergeFaults, AFailingWriteAtAnyPointLeavesTheOldDirectory) {
  Merge("v1.arc");
  ExpectSound(4);
  std::string ext = testing::GetFile(p, m.Scratch() + "game.ext");
  for (int fail = 0;; ++fail) {
    faults.writesBeforeFailure = fail;
    bool threw = false;
    try {
      Merge("v2.arc");
    } catch (const EZarnError&) {
      threw = true;
    }
    faults.writesBeforeFailure = -1;
    if (!threw) break;  // enough writes allowed to finish
    SCOPED_TRACE(fail);
    EXPECT_EQ(testing::GetFile(p, m.Scratch() + "game.ext"), ext);
    ExpectSound(4);
    ASSERT_LT(fail, 100);
  }
  ExpectSound(9);  // four, five newer or new ones
}

TEST_F(MergeFaults, AFullDiskIsAnErrorNotAShortFile) {
  Merge("v1.arc");
  faults.diskFreeBytes = 700;  // room for part of the new members
  EXPECT_THROW(Merge("v2.arc"), EWriteError);
  faults.diskFreeBytes = -1;
  ExpectSound(4);
  Merge("v2.arc");
  ExpectSound(9);
}

// A full disk is reported with the file it happened to and the system's own reason,
// whichever writer met it.
TEST_F(MergeFaults, AFullDiskNamesTheFileAndTheSystemsReason) {
  Merge("v1.arc");
  const std::string reason = std::strerror(ENOSPC);
  const std::string big(4000, 'x');
  const struct {
    const char* file;
    std::function<void()> write;
  } writers[] = {
      {"game.", [&] { Merge("v2.arc"); }},
      {"plain.bin",
       [&] {
         TFileStream f(p, m.Scratch() + "plain.bin", fmCreate);
         f.WriteBuffer(big.data(), static_cast<int64_t>(big.size()));
       }},
      {"whole.bin", [&] { WriteFileReplacing(p, m.Scratch() + "whole.bin", big.data(), int64_t(big.size())); }},
  };
  for (const auto& w : writers) {
    SCOPED_TRACE(w.file);
    faults.diskFreeBytes = 700;
    try {
      w.write();
      ADD_FAILURE() << "no error on a full disk";
    } catch (const EZarnError& e) {
      EXPECT_NE(std::string(e.what()).find(w.file), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
    faults.diskFreeBytes = -1;
  }
}

// A merge that fails takes back what it appended: the data file has the size it had, in
// the parts it had, whichever write failed.
TEST_F(MergeFaults, AFailedMergeReturnsTheDataFileToItsOldSize) {
  Merge("v1.arc");
  auto size = [&] {
    TQxBigFileStream s(p, m.Scratch() + "game.dat", fmOpenRead | fmShareDenyWrite, 512);
    return std::make_pair(s.GetSize(), s.PartCount());
  };
  const auto old = size();
  for (int64_t room : {int64_t(0), int64_t(100), int64_t(700), int64_t(1500)}) {
    faults.diskFreeBytes = room;
    EXPECT_THROW(Merge("v2.arc"), EZarnError) << room;
    faults.diskFreeBytes = -1;
    EXPECT_EQ(size(), old) << room;
  }
  for (int fail = 0;; ++fail) {
    faults.writesBeforeFailure = fail;
    bool threw = false;
    try {
      Merge("v2.arc");
    } catch (const EZarnError&) {
      threw = true;
    }
    faults.writesBeforeFailure = -1;
    if (!threw) break;  // enough writes allowed to finish
    EXPECT_EQ(size(), old) << fail;
    ASSERT_LT(fail, 100);
  }
  ExpectSound(9);
}

}  // namespace
}  // namespace zarn
