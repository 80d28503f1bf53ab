// Real-game scale benchmark (not a test): archives of many small members with Japanese
// names in many folders, and a medium of many plain files, timed in one run:
//   pack, list, verify, merge (into a new data file and into one holding every member) and
//   extract of zarn-arc at each size, with the growth from the smallest to the largest
//   size (linear is the size ratio; the target is 1.2 times that);
//   extract against unzip of the same files (zip -1), at each size (target 2x), and the
//   growth of both side by side: creating files grows faster than linear on most hosts,
//   and what unzip's growth shows of that is the host's, not ours.
// Each operation runs at every size in turn, in rounds, until it has taken --budget
// seconds per size (at least one round), and the median run of each size counts: a run
// of a few hundredths of a second is then measured many times over instead of once, and
// a load that comes and goes falls on both sizes alike. The cost of starting a process
// is shown too (zarn-arc --help), as it weighs on the small runs alone.
//   a whole install on the emulated machine (zarn-setup --auto) of a medium with many
//   plain files in nested folders, against cp -r of the same medium (target 3x).
// Times are wall-clock; the processor time of the child (user + system) is shown beside
// them, as it varies less on a busy machine.
// Usage: zarn_bench_scale [--dir FOLDER] [--sizes N,N,...] [--plain N] [--budget SECONDS] [--keep]
// (--sizes 0 skips the archives, --plain 0 the install.)
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "common/host_path.h"
#include "platform/platform.h"
#include "runtime/sjis.h"
#include "settings/install_settings.h"

namespace fs = std::filesystem;
using namespace zarn;
using namespace zarn::bench;

namespace {

// Seconds; cpu: user + system time of the children; user: their own work alone. Creating
// and deleting files is system time, which on a disk that passes deletes to the device
// varies severalfold from run to run: the user time's growth shows ours apart from it.
struct Timing {
  double wall = 0, cpu = 0, user = 0;
};

double Seconds(const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; }

Timing ChildCpu() {
  struct rusage u;
  getrusage(RUSAGE_CHILDREN, &u);
  Timing t;
  t.user = Seconds(u.ru_utime);
  t.cpu = t.user + Seconds(u.ru_stime);
  return t;
}

Timing Timed(const std::string& cmd) {
  Shell("sync");
  const Timing before = ChildCpu();
  auto start = std::chrono::steady_clock::now();
  Shell(cmd);
  Timing t = ChildCpu();
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  t.cpu -= before.cpu;
  t.user -= before.user;
  return t;
}

// The median of each figure on its own: the run of median wall time may have had an
// unusually slow disk, and its user time would then not be the typical one.
Timing Median(std::vector<Timing> all) {
  Timing m;
  for (double Timing::*f : {&Timing::wall, &Timing::cpu, &Timing::user}) {
    std::nth_element(all.begin(), all.begin() + all.size() / 2, all.end(),
                     [f](const Timing& a, const Timing& b) { return a.*f < b.*f; });
    m.*f = all[all.size() / 2].*f;
  }
  return m;
}

// Runs `cmd` until the runs have taken `budget` seconds, at least once and at most 500
// times, with `before` (untimed) ahead of each; the medians, and in `runs` how many runs
// there were.
Timing Repeated(const std::string& cmd, double budget, int& runs, const std::function<void()>& before = {}) {
  std::vector<Timing> all;
  double spent = 0;
  do {
    if (before) before();
    all.push_back(Timed(cmd));
    spent += all.back().wall;
  } while (spent < budget && all.size() < 500);
  runs = static_cast<int>(all.size());
  return Median(all);
}

// Small files like a game's voices, pictures and scripts: `count` files under `root` in
// folders of at most 500, with Japanese names.
void MakeFiles(const fs::path& root, int count, std::mt19937& rng, bool nested) {
  static const char* kKinds[] = {u8"音声", u8"背景", u8"立ち絵", u8"シナリオ"};
  static const char* kExt[] = {".ogg", ".png", ".png", ".txt"};
  for (int i = 0; i < count; ++i) {
    int kind = i % 4, folder = i / 500;
    fs::path dir = root / kKinds[kind] / (u8"第" + std::to_string(folder / 10) + u8"章");
    if (nested) dir /= u8"場面" + std::to_string(folder % 10);
    else dir /= u8"組" + std::to_string(folder % 10);
    if (i % 500 < 4) fs::create_directories(dir);
    std::string body(64 + rng() % 448, '\0');
    for (char& c : body) c = static_cast<char>('a' + rng() % 16);
    WriteFile(dir / (std::string(kKinds[kind]) + u8"素材" + std::to_string(i) + kExt[kind]), body);
  }
}

void Line(const char* what, const Timing& ours, const char* baseName, const Timing& base, double target) {
  double ratio = ours.wall / base.wall;
  std::printf("  %-12s %8.3f s (cpu %6.3f, user %6.3f)   %-8s %8.3f s (cpu %6.3f, user %6.3f)   ratio %5.2f "
              "(target <= %.2f)%s\n",
              what, ours.wall, ours.cpu, ours.user, baseName, base.wall, base.cpu, base.user, ratio, target,
              ratio <= target ? "" : "   MISSED");
}

void Single(const char* what, const Timing& t, int runs) {
  std::printf("  %-12s %8.3f s (cpu %6.3f, user %6.3f)   median of %d\n", what, t.wall, t.cpu, t.user, runs);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is measured
  std::string dirArg;
  std::vector<int> sizes = {10000, 100000};
  int plain = 20000;
  double budget = 2.0;
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--dir" && i + 1 < argc) {
      dirArg = argv[++i];
    } else if (a == "--sizes" && i + 1 < argc) {
      sizes.clear();
      for (const std::string& n : SplitDelimited(argv[++i], ','))
        if (std::atoi(n.c_str()) > 0) sizes.push_back(std::atoi(n.c_str()));  // "0": no archives
    } else if (a == "--plain" && i + 1 < argc) {
      plain = std::atoi(argv[++i]);
    } else if (a == "--budget" && i + 1 < argc) {
      budget = std::atof(argv[++i]);
    } else if (a == "--keep") {
      keep = true;
    } else {
      std::printf("usage: %s [--dir FOLDER] [--sizes N,N,...] [--plain N] [--budget SECONDS] [--keep]\n", argv[0]);
      return a == "--help" ? 0 : 2;
    }
  }
  const fs::path dir = WorkFolder(dirArg, "zarn-scale");
  if (dir.empty()) {
    std::fprintf(stderr, "cannot make a work folder under $TMPDIR or /tmp\n");
    return 2;
  }
  const fs::path tools = ToolsFolder(argv[0]);
  std::string arc = (tools / "zarn-arc").string();
  for (const char* t : {"zarn-arc", "zarn-medium", "zarn-setup"}) {
    if (!fs::exists(tools / t)) {
      std::fprintf(stderr, "%s not found in %s (build the native preset)\n", t, tools.c_str());
      return 2;
    }
  }
  const bool zip = Have("zip") && Have("unzip");
  std::mt19937 rng(20261209);
  if (!sizes.empty()) {
    int runs = 0;
    Timing start = Repeated(Q(arc) + " --help >/dev/null", budget / 4, runs);
    std::printf("starting zarn-arc (--help): %.4f s (cpu %.4f), median of %d; each figure below includes it\n",
                start.wall, start.cpu, runs);
  }

  // ---- archives of each size
  struct Row {
    int n;
    fs::path src, arcFile, data, out, zipFile;
    Timing pack, list, verify, mergeNew, mergeAgain, extract, unzip;
    int packRuns = 0, listRuns = 0, verifyRuns = 0, mergeNewRuns = 0, mergeAgainRuns = 0, extractRuns = 0,
        unzipRuns = 0;
  };
  std::vector<Row> rows;
  for (int n : sizes) {
    Row row;
    row.n = n;
    std::string tag = std::to_string(n);
    row.src = dir / ("src" + tag);
    row.arcFile = dir / ("a" + tag + ".arc");
    row.data = dir / ("data" + tag);
    row.out = dir / ("x" + tag);
    row.zipFile = dir / ("a" + tag + ".zip");
    MakeFiles(row.src, n, rng, false);
    if (zip) Shell("cd " + Q(row.src.string()) + " && zip -1 -q -r " + Q(row.zipFile.string()) + " .");
    rows.push_back(row);
  }
  // Every operation runs at every size in turn, in rounds until the rounds have taken the
  // budget once per size: a load that comes and goes on a shared machine then falls on
  // the small and the large runs alike. A round runs a smaller size as many times more
  // as it is smaller (at most 50), so that each size gets a like share of the time.
  auto measure = [&](const char* what, Timing Row::*field, int Row::*runs, const std::function<Timing(Row&)>& once) {
    std::vector<std::vector<Timing>> all(rows.size());
    double spent = 0;
    do {
      for (size_t i = 0; i < rows.size(); ++i) {
        int reps = std::max(1, std::min(50, static_cast<int>(double(rows.back().n) / rows[i].n + 0.5)));
        for (int k = 0; k < reps; ++k) {
          all[i].push_back(once(rows[i]));
          spent += all[i].back().wall;
        }
      }
    } while (spent < budget * double(rows.size()) && all.front().size() < 500);
    for (size_t i = 0; i < rows.size(); ++i) {
      rows[i].*field = Median(all[i]);
      rows[i].*runs = static_cast<int>(all[i].size());
    }
    std::fprintf(stderr, "  %s measured\n", what);
  };
  auto arcOf = [](Row& r) { return Q(r.arcFile.string()); };
  measure("pack", &Row::pack, &Row::packRuns, [&](Row& r) {
    return Timed(Q(arc) + " pack " + Q(r.src.string()) + " -o " + arcOf(r));
  });
  measure("list", &Row::list, &Row::listRuns, [&](Row& r) { return Timed(Q(arc) + " list " + arcOf(r) + " >/dev/null"); });
  measure("verify", &Row::verify, &Row::verifyRuns, [&](Row& r) { return Timed(Q(arc) + " verify " + arcOf(r)); });
  auto mergeInto = [&](Row& r) { return Q(arc) + " merge " + Q((r.data / "game.dat").string()) + " " + arcOf(r) + " 2>/dev/null"; };
  // Each merge into a new data file starts from an empty folder; the last one leaves the
  // data file that the merges again find holding every member.
  measure("merge new", &Row::mergeNew, &Row::mergeNewRuns, [&](Row& r) {
    fs::remove_all(r.data);
    fs::create_directories(r.data);
    return Timed(mergeInto(r));
  });
  measure("merge again", &Row::mergeAgain, &Row::mergeAgainRuns, [&](Row& r) { return Timed(mergeInto(r)); });
  measure("extract", &Row::extract, &Row::extractRuns, [&](Row& r) {
    fs::remove_all(r.out);
    return Timed(Q(arc) + " extract " + arcOf(r) + " -o " + Q(r.out.string()));
  });
  for (Row& r : rows) {
    Shell("diff -r -q " + Q(r.src.string()) + " " + Q(r.out.string()));
    fs::remove_all(r.out);
  }
  if (zip) {
    measure("unzip", &Row::unzip, &Row::unzipRuns, [&](Row& r) {
      fs::remove_all(r.out);
      return Timed("unzip -q " + Q(r.zipFile.string()) + " -d " + Q(r.out.string()));
    });
  }
  for (Row& row : rows) {
    std::printf("%d members: pack %.3f s (cpu %.3f), median of %d, archive %.1f MiB\n", row.n, row.pack.wall,
                row.pack.cpu, row.packRuns, fs::file_size(row.arcFile) / 1048576.0);
    Single("list", row.list, row.listRuns);
    Single("verify", row.verify, row.verifyRuns);
    Single("merge new", row.mergeNew, row.mergeNewRuns);
    Single("merge again", row.mergeAgain, row.mergeAgainRuns);
    if (zip) {
      Line("extract", row.extract, "unzip", row.unzip, 2.0);
      std::printf("  %-12s medians of %d (extract) and %d (unzip)\n", "", row.extractRuns, row.unzipRuns);
    } else {
      std::printf("  %-12s %8.3f s (cpu %6.3f)   median of %d (zip or unzip is not installed)\n", "extract",
                  row.extract.wall, row.extract.cpu, row.extractRuns);
    }
    fs::remove_all(row.src);
    fs::remove_all(row.data);
    fs::remove_all(row.out);
    fs::remove(row.arcFile);
    fs::remove(row.zipFile);
  }
  if (rows.size() >= 2) {
    const Row &a = rows.front(), &b = rows.back();
    double linear = double(b.n) / a.n, target = linear * 1.2;
    std::printf("growth %d -> %d members (linear %.0fx, target <= %.0fx):\n", a.n, b.n, linear, target);
    auto growth = [&](const char* what, const Timing& x, const Timing& y) {
      double g = y.wall / x.wall, c = x.cpu > 0 ? y.cpu / x.cpu : 0, u = x.user > 0 ? y.user / x.user : 0;
      std::printf("  %-12s %6.1fx (cpu %6.1fx, user %6.1fx)%s\n", what, g, c, u, g <= target ? "" : "   MISSED");
    };
    growth("pack", a.pack, b.pack);
    growth("list", a.list, b.list);
    growth("verify", a.verify, b.verify);
    growth("merge new", a.mergeNew, b.mergeNew);
    growth("merge again", a.mergeAgain, b.mergeAgain);
    growth("extract", a.extract, b.extract);
    if (zip) {
      // The same files made by unzip: the host's own growth for creating them.
      double g = b.extract.wall / a.extract.wall, u = b.unzip.wall / a.unzip.wall;
      double uc = a.unzip.cpu > 0 ? b.unzip.cpu / a.unzip.cpu : 0;
      double uu = a.unzip.user > 0 ? b.unzip.user / a.unzip.user : 0;
      std::printf("  %-12s %6.1fx (cpu %6.1fx, user %6.1fx)   the host's growth for the same files; extract grows "
                  "%.2f times as much\n",
                  "unzip", u, uc, uu, g / u);
    }
  }

  // ---- a whole install of a medium with many plain files
  if (plain > 0) {
    fs::path medium = dir / "medium", machine = dir / "machine";
    Shell(Q((tools / "zarn-medium").string()) + " build -o " + Q(medium.string()) + " --form files >/dev/null");
    MakeFiles(medium / u8"素材", plain, rng, true);
    // The settings record lists every plain file as one to copy.
    std::unique_ptr<Platform> platform = CreateHostPlatform();
    Platform& p = *platform;
    std::string record = HostPathToWindows(p, (medium / "install.dat").string());
    TZarnInstallSet s;
    s.LoadFromFile(p, record);
    int64_t bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(medium / u8"素材")) {
      if (!e.is_regular_file()) continue;
      std::string rel = fs::relative(e.path(), medium).string();
      s.DiscFiles.Add(LowerCase(ReplaceDelimiter(p.Utf8ToSjis(rel), '/', '\\')));
      bytes += int64_t(e.file_size());
    }
    s.ProgramSize += bytes;
    s.DiscProgramSizes[0] += bytes;
    {
      TMemoryStream m;
      s.SaveToStream(m);
      WriteFile(medium / "install.dat", m.ToString());
    }
    std::printf("install: medium of %d plain files in nested folders\n", plain);
    // Two rounds in turn, each keeping its best: a file system that has just freed many
    // inodes makes the next creations dearer, and that must not fall on one side alone.
    Timing install, cp;
    int copied = 0;
    for (int round = 0; round < 2; ++round) {
      fs::path target = machine.string() + std::to_string(round), copy = dir / ("medium-copy" + std::to_string(round));
      Timing c = Timed("cp -r " + Q(medium.string()) + " " + Q(copy.string()));
      Timing i = Timed(Q((tools / "zarn-setup").string()) + " --root " + Q(target.string()) + " --drive " +
                       Q("D=" + medium.string()) + " --program 'D:\\setup.exe' --auto --max-runs 3 >/dev/null");
      if (round == 0 || c.wall < cp.wall) cp = c;
      if (round == 0 || i.wall < install.wall) install = i;
      copied = 0;
      for (const auto& e : fs::recursive_directory_iterator(target / "drive_c"))
        if (e.is_regular_file() && e.path().extension() != ".reg") ++copied;
      fs::remove_all(copy);
      fs::remove_all(target);
    }
    Line("install", install, "cp -r", cp, 3.0);
    std::printf("  files on the machine's C: after the install: %d\n", copied);
  }

  if (!keep) fs::remove_all(dir);
  return 0;
}
