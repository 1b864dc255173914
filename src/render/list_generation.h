// Where a frequency list comes from: a stored file or a fresh analysis.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/wave_info.h"
#include "f0/frequency_list.h"

namespace kestrand {

// For a render: loads the stored list of the input (plain sample or decoder
// text), or analyses the loaded sample and stores the result.
std::optional<FrequencyList> obtainFrequencyList(const std::wstring& inputText, const LoadedSample& sample);

// For the G flag: loads the sample itself (with a zero tail of `tailFrames`
// frames), analyses it and writes its list. True when a list was built, false
// when the sample could not be read or analysed.
bool generateFrequencyList(const std::wstring& samplePath, std::int32_t tailFrames);

// The G flag's work on a sample already loaded from samplePath (loaded as the
// G flag loads it, with a tail of 4 x the initial frame size, it gives the G
// flag's list byte for byte): analyses it
// with `threadCount` first-pass threads (0: one per processor; the list does
// not depend on the count) and writes its list where the G flag writes it.
// The list, or nothing when the analysis failed; `saved` tells whether the
// file was written.
struct GeneratedList {
    std::optional<FrequencyList> list;
    bool saved = false;
};
GeneratedList generateFrequencyListFor(const std::wstring& samplePath, const LoadedSample& sample, int threadCount);

// The list file that generateFrequencyList writes for a sample path.
std::wstring generatedListPath(const std::wstring& samplePath);

}  // namespace kestrand
