// A small mutation driver for builds without libFuzzer (GCC with the sanitizers): it
// starts from the target's sample inputs and any files given, and feeds the target
// mutated inputs until the time or run limit. Usage:
//   zarn_fuzz_archive [-max_total_time=SECONDS] [-runs=N] [-seed=N] [FILE...]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
std::vector<std::string> FuzzSeeds();

namespace {

std::string Mutate(std::string s, std::mt19937& rng, const std::vector<std::string>& pool) {
  static const uint32_t kInteresting[] = {0, 1, 2, 100, 101, 102, 0x7F, 0x80, 0xFF, 0x7FFF, 0x8000, 0xFFFF,
                                          0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFFEu, 1u << 20, 65536};
  int steps = 1 + static_cast<int>(rng() % 4);
  for (int k = 0; k < steps; ++k) {
    size_t n = s.size();
    switch (rng() % 8) {
      case 0:  // flip a bit
        if (n) s[rng() % n] ^= static_cast<char>(1u << (rng() % 8));
        break;
      case 1:  // set a byte
        if (n) s[rng() % n] = static_cast<char>(rng());
        break;
      case 2:  // an interesting 32-bit value
        if (n >= 4) {
          uint32_t v = kInteresting[rng() % (sizeof kInteresting / sizeof kInteresting[0])];
          size_t at = rng() % (n - 3);
          for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
        }
        break;
      case 3:  // truncate
        if (n) s.resize(rng() % n);
        break;
      case 4:  // delete a run
        if (n) {
          size_t at = rng() % n;
          s.erase(at, 1 + rng() % std::min<size_t>(16, n - at));
        }
        break;
      case 5:  // insert random bytes
      {
        size_t at = n ? rng() % (n + 1) : 0;
        std::string ins(1 + rng() % 8, '\0');
        for (char& c : ins) c = static_cast<char>(rng());
        s.insert(at, ins);
        break;
      }
      case 6:  // splice with another input
        if (!pool.empty()) {
          const std::string& o = pool[rng() % pool.size()];
          if (!o.empty()) s = s.substr(0, n ? rng() % n : 0) + o.substr(rng() % o.size());
        }
        break;
      default:  // duplicate a run
        if (n) {
          size_t at = rng() % n, len = 1 + rng() % std::min<size_t>(64, n - at);
          s.insert(rng() % (n + 1), s.substr(at, len));
        }
        break;
    }
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  double maxSeconds = 10;
  long long runs = -1;
  unsigned seed = std::random_device{}();
  std::vector<std::string> pool = FuzzSeeds();
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("-max_total_time=", 0) == 0) maxSeconds = std::atof(a.c_str() + 16);
    else if (a.rfind("-runs=", 0) == 0) runs = std::atoll(a.c_str() + 6);
    else if (a.rfind("-seed=", 0) == 0) seed = static_cast<unsigned>(std::strtoul(a.c_str() + 6, nullptr, 10));
    else if (a == "-help=1" || a == "--help") {
      std::printf("usage: %s [-max_total_time=SECONDS] [-runs=N] [-seed=N] [FILE...]\n", argv[0]);
      return 0;
    } else {
      std::ifstream f(a, std::ios::binary);
      if (!f) {
        std::fprintf(stderr, "cannot read %s\n", a.c_str());
        return 2;
      }
      std::stringstream ss;
      ss << f.rdbuf();
      pool.push_back(ss.str());
    }
  }
  std::printf("fuzzing with seed %u for %.0f s\n", seed, maxSeconds);
  std::mt19937 rng(seed);
  for (const std::string& s : pool) LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  auto start = std::chrono::steady_clock::now();
  long long done = 0;
  for (;; ++done) {
    if (runs >= 0 && done >= runs) break;
    if ((done & 63) == 0 &&
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= maxSeconds)
      break;
    std::string input = Mutate(pool[rng() % pool.size()], rng, pool);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    // Keep some mutants as new starting points.
    if (rng() % 64 == 0 && pool.size() < 256) pool.push_back(input);
  }
  std::printf("%lld inputs without a finding\n", done);
  return 0;
}
