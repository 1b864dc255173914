// The pitch contour of a voice sample and its ".frq" file (magic "FREQ0003").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrand {

struct FrequencyList {
    std::int32_t frameStep = 0;   // sample frames between list frames
    std::int32_t sampleRate = 0;  // rate of the analysed sample, Hz
    std::int32_t listSize = 0;    // number of frames n
    double freqAvg = 0;           // average fundamental frequency, Hz
    std::vector<double> frequencies;  // n + 1 entries; entry n repeats entry n - 1; 0 = no pitch
    std::vector<double> amplitudes;   // n + 1 entries, sixteen-bit scale
};

// The list file name for a base name: base + ".frq"; a base already ending in
// ".frq" is used as it is; ".wav.frq" becomes "_wav.frq".
std::wstring frequencyListFileName(const std::wstring& baseName);

// Loads a list file; nothing when it is missing or unusable.
std::optional<FrequencyList> loadFrequencyList(const std::wstring& name);

// Saves the list under the name completed by the rule above; 1 written, 0 not.
int saveFrequencyList(const std::wstring& name, const FrequencyList& list);

}  // namespace kestrand
