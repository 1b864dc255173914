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

}  // namespace kestrand
