// Whether a stored frequency list still belongs to its sample. A render, the
// G flag and the voice-folder tool judge alike: they keep a list that is up
// to date and analyse the sample afresh otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/wave_info.h"
#include "f0/frequency_list.h"

namespace kestrand {

enum class ListFreshness {
    Missing,          // no list file, or one that cannot be read as a list
    OlderThanSample,  // a list without a fingerprint, written before the sample changed
    Stale,            // the list cannot belong to the sample (see judgeFrequencyList)
    UpToDate,
};

struct ListJudgement {
    ListFreshness freshness = ListFreshness::Missing;
    std::optional<FrequencyList> list;  // the stored list when it could be read
    std::string why;                    // for OlderThanSample and Stale: the reason, in a few words
};

// True when the list can be the analysis of a sample of `frames` sound frames
// at `rate` Hz: its sample rate is `rate`, its frame step at least 1 and its
// frame count frames / its step + 1.
bool listFitsSample(const FrequencyList& list, std::uint64_t frames, std::uint32_t rate);

// Judges the list file at listPath for a loaded sample. Missing when the file
// is absent or unreadable. A list that carries a fingerprint (one this
// program wrote) is Stale when the fingerprint is not the sample's or the list
// does not fit the sample, and UpToDate otherwise, whatever the file times
// say (a fresh checkout or a copy sets them in any order). A list without one
// (written by another program) is OlderThanSample when its modification time
// is before that of the file at samplePath (equal times count as up to date;
// an empty samplePath, as for decoder inputs, skips this rule), Stale when it
// does not fit the sample, and UpToDate otherwise. The list that was read
// comes back with the answer.
ListJudgement judgeFrequencyList(const std::wstring& listPath, const std::wstring& samplePath,
                                 const LoadedSample& sample);

}  // namespace kestrand
