#include "render/render_tail.h"

#include <algorithm>
#include <cmath>

#include "base/number_text.h"

namespace kestrand {

bool isQuietJob(const RenderJob& job) {
    return (job.flags && job.flags->find(L'n') != std::wstring::npos) || (job.outFile && *job.outFile == L"-");
}

std::optional<std::int32_t> flagNumber(const std::optional<std::wstring>& flags, wchar_t letter) {
    if (!flags) return std::nullopt;
    const std::size_t at = flags->find(letter);
    if (at == std::wstring::npos) return std::nullopt;
    return truncateToInt32(parseDecimal(std::wstring_view(*flags).substr(at + 1)));
}

double normalizationGain(std::span<const double> samples, const std::optional<std::wstring>& flags) {
    const double strength = std::min(1.0, flagNumber(flags, L'P').value_or(86) / 100.0);
    if (strength <= 0.0) return 1.0;
    double peak = 0.0;
    for (const double s : samples) peak = std::max(peak, std::fabs(s));
    // A silent note has no peak to move; it stays silent.
    if (!(peak > 0.0)) return 1.0;
    return std::pow(16384.0 / peak, strength);
}

FileResult writeWholeNoteFile(const std::wstring& path, std::span<const std::uint8_t> image, DashOutput dash) {
    if (path == L"nul") return {};
    if (path == L"-" && dash == DashOutput::StandardOutput) return writeStandardOutput(image);
    return writeWholeFile(path, image, Durability::Cache);
}

EnvelopeWalk::EnvelopeWalk(const RenderJob& job) {
    endTime_ = job.fileOffset;
    if (!job.volumeEnvelope || job.volumeEnvelope->empty()) return;
    list_ = *job.volumeEnvelope;
    const std::int64_t declared = truncateToInt32(list_[0]);
    const std::int64_t available = static_cast<std::int64_t>(list_.size()) - 1;
    pairs_ = std::max<std::int64_t>(0, std::min(declared, available) / 2);
}

void EnvelopeWalk::advanceTo(double t) {
    while (t > endTime_ && next_ < pairs_) {
        startTime_ = endTime_;
        startLevel_ = endLevel_;
        endTime_ = startTime_ + list_[static_cast<std::size_t>(1 + 2 * next_)];
        endLevel_ = list_[static_cast<std::size_t>(2 + 2 * next_)];
        ++next_;
    }
}

void applyVolumeEnvelope(std::span<double> samples, const RenderJob& job, std::int32_t sampleRate) {
    if (!job.volumeEnvelope || job.volumeEnvelope->empty() || sampleRate <= 0) return;
    EnvelopeWalk walk(job);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) * 1000.0 / sampleRate;
        walk.advanceTo(t);
        double v = 0.0;
        if (walk.endTime() > walk.startTime()) {
            v = walk.startLevel() +
                (walk.endLevel() - walk.startLevel()) * (t - walk.startTime()) / (walk.endTime() - walk.startTime());
        }
        samples[i] = std::clamp(samples[i] * v * 0.01, -32768.0, 32767.0);
    }
}

void applyVolumeEnvelopeInt16(std::span<std::int16_t> samples, const RenderJob& job, std::int32_t sampleRate) {
    if (!job.volumeEnvelope || job.volumeEnvelope->empty() || sampleRate <= 0) return;
    EnvelopeWalk walk(job);
    for (std::size_t j = 0; j < samples.size(); ++j) {
        const double t = static_cast<double>(j) * 1000.0 / sampleRate;
        walk.advanceTo(t);
        double level = 0.0;
        if (walk.endTime() > walk.startTime()) {
            const double lambda = (t - walk.startTime()) / (walk.endTime() - walk.startTime());
            level = (1.0 - lambda) * walk.startLevel() + lambda * walk.endLevel();
        }
        const double shaped = std::clamp(level * 0.01 * samples[j], -32768.0, 32767.0);
        samples[j] = static_cast<std::int16_t>(truncateToInt32(shaped));
    }
}

}  // namespace kestrand
