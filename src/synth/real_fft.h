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

// Builds both tables for n (a power of two, 4 .. 65536).
FftTables makeFftTables(int n);

// Reorders data (size n) into bit-reversed index order.
void bitReversePermute(std::span<double> data, const FftTables& tables);
// Forward transform of tables.n values in place.
void realFft(std::span<double> data, const FftTables& tables);
// Inverse transform in place, scaled by n / 2.
void inverseRealFft(std::span<double> data, const FftTables& tables);

}  // namespace kestrand
