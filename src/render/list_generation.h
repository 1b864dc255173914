// Where a frequency list comes from: a stored file or a fresh analysis.
//
// A render, the G flag and the voice-folder tool judge a stored list alike
// (judgeFrequencyList): an up-to-date list is used; a missing, damaged or
// stale one (older than its sample, made from another recording, or not
// fitting the sample's length) is replaced by a fresh analysis, and a stale
// list is announced in one line on standard error. A list file that a fresh
// one replaces is kept under its backup name (previousListPath) unless it
// holds the same bytes. Processes that need the same list coordinate through
// a lock on the file the list is made from: one analyses and stores, the
// others wait (at most 30 s plus a quarter of the sample's duration; a
// holder that died lets go at once) and then load its list. When a list
// cannot be stored, one line on standard error says why, and the render goes
// on with the list in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/wave_info.h"
#include "f0/frequency_list.h"

namespace kestrand {

// For a render: the up-to-date stored list of the input (plain sample or
// decoder text), or a fresh analysis of the loaded sample, stored for next
// time. Nothing when the sample cannot be analysed.
std::optional<FrequencyList> obtainFrequencyList(const std::wstring& inputText, const LoadedSample& sample);

// For the G flag: loads the sample itself (with a zero tail of `tailFrames`
// frames), analyses it and writes its list. True when a list was built, false
// when the sample could not be read or analysed.
bool generateFrequencyList(const std::wstring& samplePath, std::int32_t tailFrames);

// The G flag's work on a sample already loaded from samplePath (loaded as the
// G flag loads it, with a tail of 4 x the initial frame size, it gives the G
// flag's list byte for byte): analyses it with `threadCount` first-pass
// threads (0: one per processor; the list does not depend on the count) and
// writes its list where the G flag writes it. When another process was
// making the same list at the time, the list it stored is taken instead of a
// second analysis. The list, or nothing when the analysis failed; `saved`
// tells whether the file holds it, `failure` why not.
struct GeneratedList {
    std::optional<FrequencyList> list;
    bool saved = false;
    std::string failure;
};
GeneratedList generateFrequencyListFor(const std::wstring& samplePath, const LoadedSample& sample, int threadCount);

// The list file that generateFrequencyList writes for a sample path.
std::wstring generatedListPath(const std::wstring& samplePath);

}  // namespace kestrand
