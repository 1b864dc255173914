#include "render/render_stage.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/wave_append.h"
#include "audio/wave_reader.h"
#include "audio/wave_writer.h"
#include "base/number_text.h"
#include "render/output_settings.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/text.h"
#include "synth/synthesize_note.h"

namespace kestrand {

namespace {

// The number after the first occurrence of a flag letter, truncated toward
// zero; nothing when the letter does not occur.
std::optional<std::int32_t> flagInteger(const RenderJob& job, wchar_t letter) {
    if (!job.flags) return std::nullopt;
    const std::size_t at = job.flags->find(letter);
    if (at == std::wstring::npos) return std::nullopt;
    return truncateToInt32(parseDecimal(std::wstring_view(*job.flags).substr(at + 1)));
}

std::int32_t frameSizeForRate(std::int32_t rate) {
    if (rate >= 64000) return 2048;
    if (rate >= 32000) return 1024;
    if (rate >= 16000) return 512;
    return 256;
}

// Reads one setting: an unset variable keeps the current value; a value
// outside [low, high] (or no number) gives the fallback.
void readSetting(const wchar_t* name, std::int32_t low, std::int32_t high, std::int32_t fallback,
                 std::int32_t& value) {
    const auto text = getEnvironment(name);
    if (!text) return;
    const std::int32_t parsed = parseInteger(*text);
    value = parsed >= low && parsed <= high ? parsed : fallback;
}

// Writes the note so that a host never sees half a file: a real file is
// written under a temporary name in the same folder and renamed over the
// output name when complete. Standard output ("-") and the null device
// ("nul") are written directly.
void writeNoteFile(const std::wstring& path, std::span<const double> note, const RenderSettings& settings) {
    const int bits = settings.outputBitsPerSample;
    const int tag = bits < 32 ? 1 : 3;
    if (path == L"-" || path == L"nul") {
        writeWaveSamples(path, note, bits, 1, settings.outputSampleRate, tag);
        return;
    }
    const std::wstring temporary = temporarySiblingPath(path);
    if (writeWaveSamples(temporary, note, bits, 1, settings.outputSampleRate, tag) < 0) {
        removeFile(temporary);
        printErr("kestrand: cannot write the output file %s\n", narrow(path).c_str());
        return;
    }
    if (!replaceFile(temporary, path)) {
        removeFile(temporary);
        printErr("kestrand: cannot write the output file %s\n", narrow(path).c_str());
    }
}

constexpr const char* kUsageLines =
    "引数：1入力wav 2出力wav 3出力の長さ 4音程 5音量 6mod 7gen 8bre 9alpha\n"
    "10voice-offset 11voice-length 12voice-fixed1 13voice-fixed2 14velocity1 15velocity2 16reverse\n";

}  // namespace

bool isQuietJob(const RenderJob& job) {
    return (job.flags && job.flags->find(L'n') != std::wstring::npos) || (job.outFile && *job.outFile == L"-");
}

void applyOutputSettings() {
    RenderSettings& settings = renderSettings();
    readSetting(L"OUTPUT_SAMPLES_PER_SEC", 4000, 384000, 44100, settings.outputSampleRate);
    readSetting(L"OUTPUT_BITS_PER_SAMPLE", 8, 64, 16, settings.outputBitsPerSample);
    settings.frameSize = frameSizeForRate(settings.outputSampleRate);
    settings.hopSize = settings.frameSize / 4;
}

void normalizeAndScale(std::span<double> samples, const RenderJob& job) {
    if (samples.empty()) return;
    const double volume = std::clamp(static_cast<double>(job.volume) * 0.01, 0.0, 2.0);
    double peak = 0.0;
    for (const double s : samples) peak = std::max(peak, std::fabs(s));
    const double strength = flagInteger(job, L'P').value_or(86) / 100.0;
    double gain = 1.0;
    if (strength >= 0.0) {
        const double g = std::min(strength, 1.0);
        // A silent note has no peak to move; it stays silent.
        if (g > 0.0 && peak > 0.0) gain = std::pow(16384.0 / peak, g);
    }
    gain *= volume;
    for (double& s : samples) s = std::clamp(s * gain, -32768.0, 32767.0);
}

void applyVolumeEnvelope(std::span<double> samples, const RenderJob& job, std::int32_t sampleRate) {
    if (!job.volumeEnvelope || job.volumeEnvelope->empty() || sampleRate <= 0) return;
    const std::vector<float>& list = *job.volumeEnvelope;
    // Pairs of (duration, volume); an unpaired last element is ignored.
    const std::int32_t declared = truncateToInt32(list[0]);
    const std::int32_t available = static_cast<std::int32_t>(list.size()) - 1;
    std::int32_t k = std::min(declared, available);
    if (k % 2 != 0) --k;
    double startTime = 0.0, startVolume = 0.0;
    double endTime = job.fileOffset, endVolume = 0.0;
    std::int32_t next = 1;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) * 1000.0 / sampleRate;
        while (t > endTime && next + 1 <= k) {
            startTime = endTime;
            startVolume = endVolume;
            endTime = startTime + list[static_cast<std::size_t>(next)];
            endVolume = list[static_cast<std::size_t>(next) + 1];
            next += 2;
        }
        double v = 0.0;
        if (endTime > startTime) v = startVolume + (endVolume - startVolume) * (t - startTime) / (endTime - startTime);
        samples[i] = std::clamp(samples[i] * v * 0.01, -32768.0, 32767.0);
    }
}

void renderJob(const RenderJob& job) {
    applyOutputSettings();
    RenderSettings& settings = renderSettings();
    const bool quiet = isQuietJob(job);
    std::int32_t count = truncateToInt32((static_cast<double>(job.fileOffset) + job.length) *
                                         settings.outputSampleRate * 0.001);
    std::optional<std::vector<double>> samples;

    if (job.outFile) {
        const std::int32_t threadRequest = flagInteger(job, L'S').value_or(0);
        samples = synthesizeNote(job, count, threadRequest);
        if (samples) {
            count = std::clamp<std::int32_t>(count, 0, static_cast<std::int32_t>(samples->size()));
            const std::span<double> note(samples->data(), static_cast<std::size_t>(count));
            normalizeAndScale(note, job);
            if (!quiet) {
                printOut("Output : %lld bytes\n",
                         static_cast<long long>(count) * settings.outputBitsPerSample / 8 + 44);
            }
            writeNoteFile(*job.outFile, note, settings);
        }
    } else {
        if (!job.cacheFile) {
            writeErr("Zu wenig Argumente.\n");
            writeErr(kUsageLines);
            return;
        }
        WaveInfo info;
        std::uint32_t frames = 0;
        samples = readWaveSamples(*job.cacheFile, info, frames, 2048);
        if (samples && frames > 0 && frames <= static_cast<std::uint32_t>(INT32_MAX)) {
            count = static_cast<std::int32_t>(frames);
            settings.outputSampleRate = static_cast<std::int32_t>(info.samplesPerSec);
            settings.outputBitsPerSample = info.bitsPerSample;
        } else {
            samples = std::vector<double>(static_cast<std::size_t>(std::max<std::int32_t>(count, 0)), 0.0);
        }
    }
    if (!samples) return;
    count = std::clamp<std::int32_t>(count, 0, static_cast<std::int32_t>(samples->size()));

    applyVolumeEnvelope(std::span<double>(samples->data(), static_cast<std::size_t>(count)), job,
                        settings.outputSampleRate);

    if (job.targetFile) {
        const std::int32_t lead =
            std::max<std::int32_t>(0, truncateToInt32(settings.outputSampleRate * 0.001 * job.fileOffset));
        samples->resize(static_cast<std::size_t>(count));
        samples->resize(static_cast<std::size_t>(count) + static_cast<std::size_t>(lead) + 1, 0.0);
        const std::int32_t noteCount = truncateToInt32(settings.outputSampleRate * job.length * 0.001);
        mixIntoWaveSamples(*job.targetFile, std::span<double>(*samples).subspan(static_cast<std::size_t>(lead)),
                           noteCount, job.overlap, job.endPos, quiet);
    }
}

}  // namespace kestrand
