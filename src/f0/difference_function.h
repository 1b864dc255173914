// The windowed squared-difference function of a frame signal: for every lag
// j, the sum over i = 0 .. terms - 1 of (x[s + i] - x[s + i + j])^2 x w[i],
// with s = origin - (j >> 1), each sum added in that order.
#pragma once

namespace kestrand {

struct DifferenceInput {
    const double* signal = nullptr;    // x, span entries
    const double* reversed = nullptr;  // x backwards: reversed[t] = x[span - 1 - t]
    int span = 0;
    const double* weights = nullptr;  // w, terms entries
    int terms = 0;
    int origin = 0;  // where the sum of lag 0 starts
};

// Writes the value of every lag lowest .. highest to difference[lag]. Every
// index read must lie inside the signal: origin - (highest >> 1) >= 0 and
// origin + (highest + 1) / 2 + terms <= span.
void computeDifferenceFunction(const DifferenceInput& input, int lowestLag, int highestLag, double* difference);

// The values of the lags lags[0 .. count - 1] into out[0 .. count - 1], each
// exactly as computeDifferenceFunction gives it (the same index condition).
void differencesAt(const DifferenceInput& input, const int* lags, int count, double* out);

// The energy that the difference of one lag compares: the sum over i of
// (x[s + i]^2 + x[s + i + lag]^2) x w[i], s as above. The difference over
// it is 0 for a lag the signal repeats after, about 1 for an unrelated one.
double differenceEnergy(const DifferenceInput& input, int lag);

// differenceEnergy of the lags lags[0 .. count - 1] into out[0 .. count - 1],
// each exactly as differenceEnergy gives it.
void differenceEnergies(const DifferenceInput& input, const int* lags, int count, double* out);

}  // namespace kestrand
