// The breath noise source: a linear congruential generator that always starts
// from seed 1, so every render draws the same noise.
#pragma once

#include <cstdint>

namespace kestrand {

class NoiseGenerator {
public:
    // The next integer 0 .. 32767: seed = seed * 214013 + 2531011 (mod 2^32),
    // value = (seed >> 16) & 0x7FFF.
    int next() {
        seed_ = seed_ * 214013u + 2531011u;
        return static_cast<int>((seed_ >> 16) & 0x7FFFu);
    }
    // A small value r / 32767 - 0.5 in -0.5 .. 0.5.
    double nextSmall() { return next() / 32767.0 - 0.5; }
    // A loud value 32768 r / 32767 - 16384 in -16384 .. 16384.
    double nextLoud() { return 32768.0 * next() / 32767.0 - 16384.0; }

private:
    std::uint32_t seed_ = 1;
};

}  // namespace kestrand
