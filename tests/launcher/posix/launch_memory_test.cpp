// Peak memory of the launch: a settings member that inflates far beyond any settings
// record is refused once it passes what a record can hold, not after filling memory.
#include <gtest/gtest.h>
#include <zlib.h>

#include "archive/archive_support.h"
#include "launch_support.h"
#include "support/posix/memory_limit.h"

namespace zarn {
namespace {

using testing::WithMemoryLimit;

// A zlib stream of `size` zero bytes, made without holding them.
std::string DeflatedZeros(int64_t size) {
  z_stream z{};
  deflateInit(&z, 1);
  std::string zeros(1 << 20, '\0'), out;
  char buffer[1 << 16];
  for (int64_t left = size;;) {
    uInt n = static_cast<uInt>(std::min<int64_t>(left, static_cast<int64_t>(zeros.size())));
    left -= n;
    z.next_in = reinterpret_cast<Bytef*>(&zeros[0]);
    z.avail_in = n;
    int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
    int rc;
    do {
      z.next_out = reinterpret_cast<Bytef*>(buffer);
      z.avail_out = sizeof buffer;
      rc = deflate(&z, flush);
      out.append(buffer, sizeof buffer - z.avail_out);
    } while (z.avail_out == 0);
    if (rc == Z_STREAM_END || left == 0) break;
  }
  deflateEnd(&z);
  return out;
}

class LaunchMemory : public testing::LaunchTest {};

TEST_F(LaunchMemory, ASettingsMemberOfAGigabyteIsRefusedEarly) {
  if (!testing::kMemoryLimitsWork) GTEST_SKIP() << "no address-space limit under the sanitizers";
  testing::RawMember settings;
  settings.name = "install.dat";
  settings.bytes = DeflatedZeros(int64_t(1) << 30);
  settings.stored = false;
  PutProgramWithArchive("D:\\setup.exe", testing::AssembleArchive(102, {settings}));
  std::string got = WithMemoryLimit(int64_t(320) << 20, [&] {
    testing::LaunchRun run(p(), {});
    run.user.AcceptError("展開後のデータが大きすぎます");
    int code = run.Go();
    if (!run.user.Failures().empty()) return "unexpected: " + run.user.Failures()[0];
    if (!run.user.Finished()) return std::string("no error shown");
    return std::string("ended with ") + std::to_string(code);
  });
  EXPECT_EQ(got, "ended with 1");
}

}  // namespace
}  // namespace zarn
