// In-place real FFT with a packed spectrum: place k holds Re X_k for
// 0 <= k <= n/2, place n-k holds -Im X_k for 0 < k < n/2. No scaling forward;
// the inverse returns n/2 times the signal.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kestrand {

struct Twiddle {
    double c;  // cos(2 pi i / n)
    double s;  // sin(2 pi i / n)
};

// The two tables of one transform size, built once and read by many threads.
struct FftTables {
    int n = 0;
    std::vector<Twiddle> twiddleTable;
    std::vector<std::int32_t> bitReverseTable;
};

// Builds both tables for n (a power of two, 2 .. 65536): the twiddles from the
// full-precision pi, and the bit-reversed values of the first indices (entry
// 0 = 0, then each pass appends the earlier entries plus half the previous
// step while the entry count, doubled, stays below that step; 32 entries for
// n = 1024). Any other n gives empty tables with n = 0, which the transforms
// ignore.
FftTables makeFftTables(int n);

// Reorders the first n values into bit-reversed index order. Data shorter than
// tables.n is left as it is, by this and by both transforms.
void bitReversePermute(std::span<double> data, const FftTables& tables);
// Forward transform of tables.n values in place.
void realFft(std::span<double> data, const FftTables& tables);
// Inverse transform in place, scaled by n / 2.
void inverseRealFft(std::span<double> data, const FftTables& tables);

}  // namespace kestrand
