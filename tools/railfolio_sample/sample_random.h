#pragma once
// The generator's only source of chance. The standard distributions differ between standard
// libraries, so the same seed would make different collections on different systems; these
// draws use nothing but the raw 64-bit output of the Mersenne twister, which the C++ standard
// fixes bit for bit.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace rf::sample {

class SampleRandom {
 public:
  explicit SampleRandom(std::uint64_t seed) : engine_(seed) {}

  // 0 <= result < n (n > 0). The modulo bias is far below anything a sample could show.
  std::uint64_t below(std::uint64_t n) { return engine_() % n; }
  // lo <= result <= hi.
  int between(int lo, int hi) {
    return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo) + 1));
  }
  // 0 <= result < 1.
  double unit() { return static_cast<double>(engine_() >> 11) * 0x1.0p-53; }
  double between(double lo, double hi) { return lo + (hi - lo) * unit(); }
  bool chance(double p) { return unit() < p; }

  template <class T>
  const T& pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(below(items.size()))];
  }
  // An index into `weights`, each chosen in proportion to its weight (all >= 0, sum > 0).
  std::size_t weighted(const std::vector<double>& weights) {
    double total = 0;
    for (double w : weights) total += w;
    double x = unit() * total;
    for (std::size_t i = 0; i < weights.size(); ++i) {
      if (x < weights[i]) return i;
      x -= weights[i];
    }
    return weights.size() - 1;
  }

 private:
  std::mt19937_64 engine_;
};

}  // namespace rf::sample
