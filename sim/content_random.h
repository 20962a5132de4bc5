#pragma once

#include <cstdint>

namespace devsim::content {

// A small pseudo-random generator (splitmix64) of our own: generated device contents must come
// out byte for byte the same from a seed on every standard library, which the standard
// distributions do not promise.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // lo..hi, both included; lo <= hi. The modulo bias is far below anything a reader could see.
  int between(int lo, int hi) {
    const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo + 1);
    return static_cast<int>(lo + static_cast<std::int64_t>(next() % span));
  }

  // [lo, hi)
  double uniform(double lo, double hi) {
    return lo + (hi - lo) * static_cast<double>(next() >> 11) * 0x1.0p-53;
  }

  bool chance(double probability) { return uniform(0.0, 1.0) < probability; }

  // An independent stream for one part of the contents, so that adding a draw in one cycle does
  // not shift every cycle after it.
  Rng fork(std::uint64_t salt) const {
    Rng mixer(state_ ^ (salt * 0xD1B54A32D192ED03ull));
    return Rng(mixer.next());
  }

 private:
  std::uint64_t state_;
};

}  // namespace devsim::content
