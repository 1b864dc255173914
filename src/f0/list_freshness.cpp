#include "f0/list_freshness.h"

#include "f0/pitch_analysis.h"
#include "platform/files.h"

namespace kestrand {

bool listFitsSample(const FrequencyList& list, std::uint64_t frames, std::uint32_t rate) {
    const AnalysisSize size = analysisSizeForRate(rate);
    if (list.sampleRate < 0 || static_cast<std::uint32_t>(list.sampleRate) != rate) return false;
    if (list.frameStep != size.frameStep) return false;
    return list.listSize >= 1 &&
           static_cast<std::uint64_t>(list.listSize) == frames / static_cast<std::uint64_t>(size.frameStep) + 1;
}

ListJudgement judgeFrequencyList(const std::wstring& listPath, const std::wstring& samplePath, std::uint64_t frames,
                                 std::uint32_t rate) {
    ListJudgement judgement;
    const auto listTime = fileModifiedTime(listPath);
    if (!listTime) return judgement;
    judgement.list = loadFrequencyList(listPath);
    if (!judgement.list) return judgement;
    const auto sampleTime = fileModifiedTime(samplePath);
    if (sampleTime && *listTime < *sampleTime) {
        judgement.freshness = ListFreshness::OlderThanSample;
    } else if (!listFitsSample(*judgement.list, frames, rate)) {
        judgement.freshness = ListFreshness::Stale;
    } else {
        judgement.freshness = ListFreshness::UpToDate;
    }
    return judgement;
}

}  // namespace kestrand
