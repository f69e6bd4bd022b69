// A small stand-in for libFuzzer's driver, for compilers without
// -fsanitize=fuzzer: runs every seed of a corpus folder through
// LLVMFuzzerTestOneInput, then mutated seeds (bit flips, byte sets,
// truncations, duplicated spans, splices) for a bounded time.
//   fuzz_x <corpus folder> [seconds] [seed]
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <corpus folder> [seconds] [seed]\n", argv[0]);
    return 2;
  }
  const double seconds = argc > 2 ? std::atof(argv[2]) : 10.0;
  std::mt19937 rng(argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1u);
  std::vector<std::vector<uint8_t>> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
    std::ifstream in(entry.path(), std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (seeds.empty()) seeds.emplace_back();
  for (const auto& s : seeds) LLVMFuzzerTestOneInput(s.data(), s.size());

  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  size_t runs = 0;
  std::vector<uint8_t> buf;
  while (std::chrono::steady_clock::now() < end) {
    buf = seeds[rng() % seeds.size()];
    const int edits = 1 + static_cast<int>(rng() % 8);
    for (int k = 0; k < edits; ++k) {
      const size_t n = buf.size();
      switch (rng() % 6) {
        case 0:
          if (n) buf[rng() % n] ^= static_cast<uint8_t>(1u << (rng() % 8));
          break;
        case 1:
          if (n) buf[rng() % n] = static_cast<uint8_t>(rng() % 2 ? 0xFF : rng());
          break;
        case 2:
          if (n) buf.resize(rng() % n);
          break;
        case 3:
          if (n) {
            size_t a = rng() % n, len = 1 + rng() % (n - a);
            std::vector<uint8_t> span(buf.begin() + a, buf.begin() + a + len);
            buf.insert(buf.begin() + rng() % (n + 1), span.begin(), span.end());
          }
          break;
        case 4: {
          const auto& other = seeds[rng() % seeds.size()];
          if (!other.empty()) {
            size_t a = rng() % other.size();
            buf.insert(buf.begin() + (n ? rng() % n : 0), other.begin() + a, other.end());
          }
          break;
        }
        default:
          if (n >= 4) {  // a 16- or 32-bit field set to an edge value
            static const uint32_t edges[] = {0, 1, 0x7F, 0xFF, 0xFFFF, 0x7FFFFFFF, 0xFFFFFFFF, 0x80000000};
            uint32_t v = edges[rng() % 8];
            size_t at = rng() % (n - 3);
            for (int b = 0; b < (rng() % 2 ? 2 : 4); ++b) buf[at + b] = static_cast<uint8_t>(v >> (8 * b));
          }
      }
      if (buf.size() > 1 << 20) buf.resize(1 << 20);
    }
    LLVMFuzzerTestOneInput(buf.data(), buf.size());
    ++runs;
  }
  std::printf("%zu seeds, %zu mutated runs, no failure\n", seeds.size(), runs);
  return 0;
}
