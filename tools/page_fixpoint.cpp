// Runs the configuration model's fixpoint check (load, store, load shows the same values; a
// second store writes the same bytes; no load marks the configuration
// modified) on random images: page_fixpoint [COUNT [SEED]]. Prints how many
// images it checked and how many failed, and the first failures.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "fixpoint/Fixpoint.h"
#include "config/ImageMap.h"

int main(int argc, char** argv) {
  const long count = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
  const unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 1;
  std::mt19937 random(seed);
  Configuration config;
  std::vector<std::uint8_t> image(kImageSize);
  long failed = 0;
  const auto start = std::chrono::steady_clock::now();
  for (long n = 0; n < count; ++n) {
    for (auto& b : image) b = static_cast<std::uint8_t>(random());
    const std::string failure = CheckFixpoint(config, image.data());
    if (!failure.empty() && ++failed <= 5) std::printf("image %ld: %s\n", n, failure.c_str());
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%ld images checked, %ld failed, %.1f s\n", count, failed, seconds);
  return failed == 0 ? 0 : 1;
}
