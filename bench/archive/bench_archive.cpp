// Archive benchmark (not a test): builds a medium of about 1 GiB and times, in one run,
// the archive operations against the usual tools on the same bytes:
//   merge   MergeFrom into an empty data file        vs  cp + sync
//   verify  Verify of the data file                  vs  reading the file + CRC-32
// (these two in five alternating rounds, medians)
//   extract zarn-arc extract of every member         vs  unzip -o -q and 7z x (zip -1)
//   write   1 MiB writes through to the disk          vs  cached writes + one flush
// Usage: zarn_bench_archive [--dir FOLDER] [--size MIB] [--keep]
// The folder (default: a new one under $TMPDIR or /tmp) needs about 5 times the size free.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "archive/archive_reader.h"
#include "bench_support.h"
#include "common/host_path.h"
#include "platform/platform.h"

namespace fs = std::filesystem;
using namespace zarn;
using namespace zarn::bench;

namespace {

double Seconds(const std::function<void()>& fn) {
  auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Text like a game's scripts: words from a small vocabulary, lines and numbers.
std::string TextLike(std::mt19937& rng, size_t n) {
  static const char* kWords[] = {"の", "は", "物語", "彼女", "そして", "光", "scene", "bgm", "wait", "say",
                                 "chara", "face", "move", "\"", "。", "、", "「", "」", "1", "20"};
  std::string s;
  while (s.size() < n) {
    s += kWords[rng() % 20];
    if (rng() % 9 == 0) s += "\r\n";
    else if (rng() % 3 == 0) s += " ";
  }
  s.resize(n);
  return s;
}

// Pictures with gradients and some noise: deflate to roughly a third.
std::string ImageLike(std::mt19937& rng, size_t n) {
  std::string s(n, '\0');
  int w = 256 * 3;
  for (size_t i = 0; i < n; ++i) {
    int x = static_cast<int>(i % w), y = static_cast<int>(i / w);
    s[i] = static_cast<char>((x / 3 + y) + ((rng() & 7) == 0 ? rng() & 31 : 0));
  }
  return s;
}

std::string Noise(std::mt19937& rng, size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i + 4 <= n; i += 4) {
    uint32_t v = rng();
    std::memcpy(&s[i], &v, 4);
  }
  return s;
}

// Reads every part of the data file and takes the CRC-32 of the bytes: "cat + CRC".
double ReadAndCrc(const std::vector<fs::path>& files) {
  return Seconds([&] {
    std::vector<char> buf(1 << 20);
    uLong crc = 0;
    for (const auto& f : files) {
      int fd = open(f.c_str(), O_RDONLY);
      ssize_t n;
      while ((n = read(fd, buf.data(), buf.size())) > 0) crc = crc32(crc, reinterpret_cast<Bytef*>(buf.data()), n);
      close(fd);
    }
    if (crc == 1) std::printf(" ");
  });
}

// Runs `ours` and `base` in turn, `rounds` times, each after its untimed `before`, so that
// a load that comes and goes falls on both; the median of each.
std::pair<double, double> Alternated(int rounds, const std::function<void()>& beforeOurs,
                                     const std::function<void()>& ours, const std::function<void()>& beforeBase,
                                     const std::function<double()>& base) {
  std::vector<double> a, b;
  for (int i = 0; i < rounds; ++i) {
    beforeOurs();
    a.push_back(Seconds(ours));
    beforeBase();
    b.push_back(base());
  }
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return {a[a.size() / 2], b[b.size() / 2]};
}

void Report(const char* what, double ours, const char* baseName, double base, double target) {
  double ratio = ours / base;
  std::printf("%-8s ours %7.2f s   %-22s %7.2f s   ratio %.2f (target %s %.2f)%s\n", what, ours, baseName, base, ratio,
              target >= 1 ? "<=" : "<=", target, ratio <= target ? "" : "   MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is measured
  std::string dirArg;
  int64_t sizeMiB = 1024;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--dir" && i + 1 < argc) dirArg = argv[++i];
    else if (a == "--size" && i + 1 < argc) sizeMiB = std::atoll(argv[++i]);
    else if (a == "--keep") keep = true;
    else {
      std::printf("usage: %s [--dir FOLDER] [--size MIB] [--keep]\n", argv[0]);
      return a == "--help" ? 0 : 2;
    }
  }
  const fs::path dir = WorkFolder(dirArg, "zarn-bench");
  if (dir.empty()) {
    std::fprintf(stderr, "cannot make a work folder under $TMPDIR or /tmp\n");
    return 2;
  }
  const fs::path tools = ToolsFolder(argv[0]);
  std::string arc = (tools / "zarn-arc").string();
  if (!fs::exists(arc)) {
    std::fprintf(stderr, "zarn-arc not found at %s\n", arc.c_str());
    return 2;
  }
  std::unique_ptr<Platform> platform = CreateHostPlatform();
  Platform& p = *platform;
  auto win = [&](const fs::path& host) { return HostPathToWindows(p, host.string()); };

  // ---- the medium: large stored movies, many small scripts and pictures in folders
  std::mt19937 rng(20240611);
  fs::path src = dir / "src";
  int64_t total = sizeMiB << 20, made = 0;
  int64_t big = total * 55 / 100, text = total * 20 / 100;
  int files = 0;
  for (int i = 0; made < big; ++i, ++files) {
    int64_t n = std::min<int64_t>(big - made, 96 << 20);
    WriteFile(src / "movie" / ("op" + std::to_string(i) + ".mpg"), Noise(rng, static_cast<size_t>(n)));
    made += n;
  }
  for (int i = 0; made < big + text; ++i, ++files) {
    size_t n = 2000 + rng() % 14000;
    WriteFile(src / "scenario" / ("s" + std::to_string(i / 200)) / ("s" + std::to_string(i) + ".txt"), TextLike(rng, n));
    made += static_cast<int64_t>(n);
  }
  for (int i = 0; made < total; ++i, ++files) {
    size_t n = 30000 + rng() % 120000;
    WriteFile(src / "image" / ("i" + std::to_string(i / 200)) / ("i" + std::to_string(i) + ".bmp"), ImageLike(rng, n));
    made += static_cast<int64_t>(n);
  }
  std::printf("medium: %d files, %.0f MiB in %s\n", files, made / 1048576.0, dir.c_str());

  double packTime = Seconds([&] { Shell(Q(arc) + " pack " + Q(src.string()) + " -o " + Q((dir / "medium.arc").string())); });
  std::printf("pack     %.2f s, archive %.0f MiB\n", packTime, fs::file_size(dir / "medium.arc") / 1048576.0);
  Shell("cd " + Q(src.string()) + " && zip -1 -q -r " + Q((dir / "medium.zip").string()) + " .");
  Shell("sync");

  // ---- merge vs cp + sync
  // Five rounds, each into an empty game folder; the last leaves the data file to verify.
  const int kRounds = 5;
  auto [merge, cp] = Alternated(
      kRounds,
      [&] {
        fs::remove_all(dir / "game");
        fs::create_directories(dir / "game");
        Shell("sync");
      },
      [&] {
        TVrFileCollection medium(p), data(p);
        medium.Open(win(dir / "medium.arc"));
        data.OpenPath(win(dir / "game" / "game.dat"), true);
        if (!data.MergeFrom(medium)) std::exit(3);
      },
      [&] {
        fs::remove(dir / "copy.arc");
        Shell("sync");
      },
      [&] {
        return Seconds(
            [&] { Shell("cp " + Q((dir / "medium.arc").string()) + " " + Q((dir / "copy.arc").string()) + " && sync"); });
      });
  fs::remove(dir / "copy.arc");
  Report("merge", merge, "cp + sync", cp, 1.25);

  // ---- verify vs read + CRC
  std::vector<fs::path> parts;
  for (const auto& e : fs::directory_iterator(dir / "game"))
    if (e.path().extension() != ".ext") parts.push_back(e.path());
  auto [verify, readCrc] = Alternated(
      kRounds, [] {},
      [&] {
        TVrFileCollection data(p);
        data.Open(win(dir / "game" / "game.dat"));
        if (!data.Verify()) std::exit(3);
      },
      [] {}, [&] { return ReadAndCrc(parts); });
  Report("verify", verify, "read + CRC-32", readCrc, 1.2);

  // ---- extract vs unzip and 7z
  auto clean = [&](const char* name) {
    fs::remove_all(dir / name);
    Shell("sync");
  };
  clean("x-arc");
  double ours = Seconds([&] { Shell(Q(arc) + " extract " + Q((dir / "medium.arc").string()) + " -o " + Q((dir / "x-arc").string())); });
  clean("x-unzip");
  double unzipTime = -1, sevenTime = -1;
  if (Have("unzip")) unzipTime = Seconds([&] { Shell("unzip -o -q " + Q((dir / "medium.zip").string()) + " -d " + Q((dir / "x-unzip").string())); });
  clean("x-7z");
  if (Have("7z")) sevenTime = Seconds([&] { Shell("7z x -y -bd -o" + Q((dir / "x-7z").string()) + " " + Q((dir / "medium.zip").string()) + " >/dev/null"); });
  if (unzipTime > 0) Report("extract", ours, "unzip -o -q", unzipTime, 1.0);
  if (sevenTime > 0) Report("extract", ours, "7z x", sevenTime, 1.0);
  if (sevenTime < 0) std::printf("extract  ours %7.2f s   (7z is not installed)\n", ours);
  Shell("diff -r -q " + Q(src.string()) + " " + Q((dir / "x-arc").string()));

  // ---- write-through against cached writes and one flush, 256 MiB in 1 MiB writes
  std::string block = Noise(rng, 1 << 20);
  auto writeFile = [&](const char* name, bool through) {
    return Seconds([&] {
      auto h = p.OpenFile(win(dir / name), FileAccess::ReadWrite, FileShare::None, FileCreate::CreateAlways, through);
      for (int i = 0; i < 256; ++i) h->Write(block.data(), static_cast<int64_t>(block.size()));
      h->Flush();
    });
  };
  Shell("sync");
  double through = writeFile("through.bin", true);
  Shell("sync");
  double cached = writeFile("cached.bin", false);
  std::printf("write    through %.2f s   cached + flush %.2f s   ratio %.2f\n", through, cached, through / cached);

  if (!keep) fs::remove_all(dir);
  return 0;
}
