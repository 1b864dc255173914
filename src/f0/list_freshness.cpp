#include "f0/list_freshness.h"

#include "f0/sample_fingerprint.h"
#include "platform/files.h"

namespace kestrand {

namespace {

// Why the list does not fit, or nothing when it does.
std::optional<std::string> misfit(const FrequencyList& list, std::uint64_t frames, std::uint32_t rate) {
    if (list.sampleRate < 0 || static_cast<std::uint32_t>(list.sampleRate) != rate)
        return "was made at " + std::to_string(list.sampleRate) + " Hz, the sample has " + std::to_string(rate) + " Hz";
    if (list.frameStep < 1) return "has a frame step of " + std::to_string(list.frameStep);
    const std::uint64_t needed = frames / static_cast<std::uint64_t>(list.frameStep) + 1;
    if (list.listSize < 1 || static_cast<std::uint64_t>(list.listSize) != needed)
        return "has " + std::to_string(list.listSize) + " frames where the sample needs " + std::to_string(needed);
    return std::nullopt;
}

}  // namespace

bool listFitsSample(const FrequencyList& list, std::uint64_t frames, std::uint32_t rate) {
    return !misfit(list, frames, rate);
}

ListJudgement judgeFrequencyList(const std::wstring& listPath, const std::wstring& samplePath,
                                 const LoadedSample& sample) {
    ListJudgement judgement;
    const auto listTime = fileModifiedTime(listPath);
    if (!listTime) return judgement;
    judgement.list = loadFrequencyList(listPath);
    if (!judgement.list) return judgement;
    const std::uint64_t frames = sample.info.blockAlign == 0 ? 0 : sample.dataBytes / sample.info.blockAlign;
    const auto wrong = misfit(*judgement.list, frames, sample.info.samplesPerSec);
    // A list that carries a fingerprint is judged by it; one without (made by
    // another program) by its time against the sample's.
    const auto& fingerprint = judgement.list->fingerprint;
    const bool otherRecording = fingerprint && *fingerprint != sampleFingerprint(sample);
    bool older = false;
    if (!fingerprint && !samplePath.empty()) {
        const auto sampleTime = fileModifiedTime(samplePath);
        older = sampleTime && *listTime < *sampleTime;
    }
    if (otherRecording) {
        judgement.freshness = ListFreshness::Stale;
        judgement.why = "was made from another recording";
    } else if (older) {
        judgement.freshness = ListFreshness::OlderThanSample;
        judgement.why = "is older than its sample";
    } else if (wrong) {
        judgement.freshness = ListFreshness::Stale;
        judgement.why = *wrong;
    } else {
        judgement.freshness = ListFreshness::UpToDate;
    }
    return judgement;
}

}  // namespace kestrand
