// The pitch contour of a voice sample and its ".frq" file (magic "FREQ0003").
// Little-endian layout: "FREQ0003", int32 frameStep, float64 freqAvg, int32
// sampleRate, 12 zero bytes, int32 listSize, then per frame float64
// frequency and float64 amplitude. Lists are plain values: they release
// their arrays themselves.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrand {

struct FrequencyList {
    std::int32_t frameStep = 0;       // sample frames between list frames
    std::int32_t sampleRate = 0;      // rate of the analysed sample, Hz
    std::int32_t listSize = 0;        // number of frames n
    double freqAvg = 0;               // average fundamental frequency, Hz
    std::vector<double> frequencies;  // n + 1 entries; entry n repeats entry n - 1; 0 = no pitch
    std::vector<double> amplitudes;   // n + 1 entries, sixteen-bit scale
};

// The list file name for a base name: base + ".frq"; a base already ending in
// ".frq" is used as it is; ".wav.frq" becomes "_wav.frq".
std::wstring frequencyListFileName(const std::wstring& baseName);

// Loads a list file (name completed by the rule above). Nothing, without a
// message, when the file is missing, its magic does not start with "FREQ000"
// (the version digit is not examined), its frame count is below 1, or it ends
// before its last pair. The arrays grow with the pairs actually read, never
// from the count alone. The guard entries repeat the last pair.
std::optional<FrequencyList> loadFrequencyList(const std::wstring& name);

// Saves the list under the name completed by the rule above (at most 511
// characters): written to a temporary file beside it and renamed into place,
// so that readers never see a half-written list. 1 when every byte was
// written and the rename succeeded, 0 otherwise (no message).
int saveFrequencyList(const std::wstring& name, const FrequencyList& list);

}  // namespace kestrand
