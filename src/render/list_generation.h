// Where a frequency list comes from: a stored file or a fresh analysis.
#pragma once

#include <optional>
#include <string>

#include "audio/wave_info.h"
#include "f0/frequency_list.h"

namespace kestrand {

// For a render: loads the stored list of the input (plain sample or decoder
// text), or analyses the loaded sample and stores the result.
std::optional<FrequencyList> obtainFrequencyList(const std::wstring& inputText, const LoadedSample& sample);

// For the G flag: loads the sample itself, analyses it and writes its list.
// 1 when a list was built, 0 when the sample could not be read or analysed.
int generateFrequencyList(const std::wstring& samplePath);

}  // namespace kestrand
