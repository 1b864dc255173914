// Whether a stored frequency list still belongs to its sample, so that a tool
// preparing a whole voice folder analyses only the samples that need it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "f0/frequency_list.h"

namespace kestrand {

enum class ListFreshness {
    Missing,          // no list file, or one that cannot be read as a list
    OlderThanSample,  // the sample changed after the list was written
    Stale,            // the list does not fit the sample (see listFitsSample)
    UpToDate,
};

struct ListJudgement {
    ListFreshness freshness = ListFreshness::Missing;
    std::optional<FrequencyList> list;  // the stored list when it could be read
};

// True when the list is what an analysis of a sample of `frames` sound frames
// at `rate` Hz makes: its sample rate is `rate`, its frame step the analysis
// step for that rate, and its frame count frames / step + 1.
bool listFitsSample(const FrequencyList& list, std::uint64_t frames, std::uint32_t rate);

// Judges the list file at listPath for the sample at samplePath, whose sound
// has `frames` frames at `rate` Hz. Missing when the list file is absent or
// unreadable; OlderThanSample when its modification time is before the
// sample's (equal times count as up to date); Stale when it does not fit the
// sample; UpToDate otherwise. The list that was read comes back with the answer.
ListJudgement judgeFrequencyList(const std::wstring& listPath, const std::wstring& samplePath, std::uint64_t frames,
                                 std::uint32_t rate);

}  // namespace kestrand
