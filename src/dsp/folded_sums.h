// Smoothing of a power spectrum around every bin with the envelope kernel:
// sum over i = -L .. L of envelopeKernel(i r) P[|j + i|], folded at bin 0
// only (a neighbour past bin H is left out), terms added in order of
// increasing i.
#pragma once

#include <span>
#include <vector>

namespace kestrand {

// The envelope kernel, the smoothing weight of the sums:
// (q - 4)(q - 1)(q - 2.25)^2 / 20.25 with q = x^2.
double envelopeKernel(double x);

// Reusable work space of foldedSums, so a frame allocates nothing: room for
// the widest sums is reserved once, and only the part a sum needs is used
// (and so touched).
struct FoldScratch {
    std::vector<double> padded;   // P mirrored at 0 and zero past H
    std::vector<double> weights;  // kernel weight per offset, four copies each
    void reserve(int half) {
        padded.reserve(static_cast<std::size_t>(5 * half + 1));
        weights.reserve(static_cast<std::size_t>(4 * (4 * half + 1)));
    }
};

// The neighbourhood half-width floor(spacing) as used by the sums, limited to
// 0 .. 2H (no term further out can reach a bin 0 .. H); 0 for a spacing that
// is not a number.
int foldWidth(double spacing, int half);

// out[j] for j = 0 .. H, with H = power.size() - 1 and L limited as above.
// Same terms in the same order as the literal loop; where the processor
// fuses a multiply with the add that follows it, the product is not rounded
// on its own, so the sums may differ from the literal ones in the last bits.
void foldedSums(std::span<const double> power, int width, double r, std::span<double> out, FoldScratch& scratch);

// The literal sum for one bin, term by term (reference for tests).
double foldedSumLiteral(std::span<const double> power, int j, int width, double r);

}  // namespace kestrand
