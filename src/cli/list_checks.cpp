#include "cli/list_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrand {

namespace {

double semitonesBetween(double a, double b) { return 12.0 * std::fabs(std::log2(a / b)); }

std::string formatted(const char* format, double a, double b = 0.0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::size_t frameCount(const FrequencyList& list) {
    const auto size = static_cast<std::size_t>(std::max(list.listSize, 0));
    return std::min({size, list.frequencies.size(), list.amplitudes.size()});
}

}  // namespace

bool hasPitch(const FrequencyList& list) {
    const std::size_t count = frameCount(list);
    return std::any_of(list.frequencies.begin(), list.frequencies.begin() + static_cast<std::ptrdiff_t>(count),
                       [](double f) { return f > 0.0; });
}

std::optional<double> medianOf(std::vector<double> values) {
    if (values.empty()) return std::nullopt;
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 == 1 ? values[half] : 0.5 * (values[half - 1] + values[half]);
}

ListReview reviewList(const FrequencyList& list, bool fitsSample, std::optional<double> folderMedian) {
    ListReview review;
    if (!fitsSample) {
        review.flags.push_back(
            {ListConcern::DoesNotFitSample, "the list does not fit its sample (length, rate or step)"});
        review.score += 1000.0;
    }
    const std::size_t count = frameCount(list);
    const auto& f = list.frequencies;
    const auto& amp = list.amplitudes;
    if (!hasPitch(list)) {
        review.flags.push_back({ListConcern::NoPitch, "no frame has a pitch"});
        review.score += 500.0;
        return review;
    }

    // Loud stretches without pitch: the longest one is reported. A stray
    // voiced frame or two (the analysis finds pitch in noise now and then)
    // does not end a stretch.
    const double loudest =
        count == 0 ? 0.0 : *std::max_element(amp.begin(), amp.begin() + static_cast<std::ptrdiff_t>(count));
    const double msPerFrame = list.sampleRate > 0 ? 1000.0 * list.frameStep / list.sampleRate : 0.0;
    std::int32_t runStart = -1;
    std::int32_t runEnd = -1;
    const auto closeRun = [&] {
        if (runStart >= 0 && (review.loudFirst < 0 || runEnd - runStart > review.loudLast - review.loudFirst)) {
            review.loudFirst = runStart;
            review.loudLast = runEnd;
        }
    };
    for (std::size_t k = 0; k < count; ++k) {
        if (!(loudest > 0.0 && amp[k] >= kLoudShare * loudest && !(f[k] > 0.0))) continue;
        const auto at = static_cast<std::int32_t>(k);
        if (runStart >= 0 && at - runEnd <= kBridgedFrames + 1) {
            runEnd = at;
        } else {
            closeRun();
            runStart = runEnd = at;
        }
    }
    closeRun();
    if (review.loudFirst >= 0) {
        const double ms = (review.loudLast - review.loudFirst + 1) * msPerFrame;
        if (ms >= kLoudStretchMs) {
            review.flags.push_back(
                {ListConcern::LoudWithoutPitch,
                 formatted("a loud stretch of %.0f ms without pitch at %.0f ms", ms, review.loudFirst * msPerFrame)});
            review.score += 100.0 + ms / 10.0;
        } else {
            review.loudFirst = review.loudLast = -1;
        }
    }

    // Octave jumps between neighbouring voiced frames that can be heard.
    const double audible = kAudibleShare * loudest;
    for (std::size_t k = 1; k < count; ++k) {
        if (f[k] > 0.0 && f[k - 1] > 0.0 && amp[k] >= audible && amp[k - 1] >= audible &&
            semitonesBetween(f[k], f[k - 1]) >= kJumpSemitones)
            review.jumpFrames.push_back(static_cast<std::int32_t>(k));
    }
    if (!review.jumpFrames.empty()) {
        const auto jumps = static_cast<double>(review.jumpFrames.size());
        review.flags.push_back(
            {ListConcern::OctaveJumps, formatted(jumps == 1 ? "%.0f octave jump between neighbouring frames"
                                                            : "%.0f octave jumps between neighbouring frames",
                                                 jumps)});
        review.score += 50.0 + 10.0 * std::min(jumps, 20.0);
    }

    if (folderMedian && *folderMedian > 0.0 && list.freqAvg > 0.0) {
        const double distance = semitonesBetween(list.freqAvg, *folderMedian);
        if (distance >= kFarSemitones) {
            review.flags.push_back(
                {ListConcern::AverageFarFromMedian,
                 formatted("average %.1f Hz is %.1f semitones from the folder's median", list.freqAvg, distance)});
            review.score += 50.0 + 5.0 * std::min(distance, 36.0);
        }
    }
    return review;
}

}  // namespace kestrand
