#include "render/wresamp.h"

#include <algorithm>
#include <cmath>

#include "audio/wave_append.h"
#include "audio/wave_reader.h"
#include "audio/wave_writer.h"
#include "base/number_text.h"
#include "render/output_settings.h"
#include "render/render_stage.h"  // applyOutputSettings
#include "cli/parameter_job.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"
#include "synth/synthesize_note.h"

namespace kestrand {

namespace {

constexpr const char* kUsageLines =
    "引数：1入力wav 2出力wav 3出力の長さ 4音程 5音量 6mod 7gen 8bre 9alpha\n"
    "10voice-offset 11voice-length 12voice-fixed1 13voice-fixed2 14velocity1 15velocity2 16reverse\n";

// The most 16-bit samples a WAV file's 32-bit size fields can describe.
constexpr std::int64_t kMaxWaveSamples = (0xFFFFFFFFLL - 36) / 2;

// The number after the first occurrence of a flag letter, truncated toward
// zero; nothing when the letter (or the flags text) is absent.
std::optional<std::int32_t> flagNumber(const std::optional<std::wstring>& flags, wchar_t letter) {
    if (!flags) return std::nullopt;
    const std::size_t at = flags->find(letter);
    if (at == std::wstring::npos) return std::nullopt;
    return truncateToInt32(parseDecimal(std::wstring_view(*flags).substr(at + 1)));
}

// Reads the two output variables as the render stage does, but keeps the
// frame size: this path does not derive it from the rate.
void applyRateAndDepth() {
    RenderSettings& settings = renderSettings();
    const std::int32_t frameSize = settings.frameSize;
    const std::int32_t hopSize = settings.hopSize;
    applyOutputSettings();
    settings.frameSize = frameSize;
    settings.hopSize = hopSize;
}

std::vector<std::uint8_t> littleEndianBytes(std::span<const std::int16_t> samples) {
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto v = static_cast<std::uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<std::uint8_t>(v & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return bytes;
}

std::vector<std::int16_t> samplesOfBytes(std::span<const std::uint8_t> bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    }
    return samples;
}

// Writes the note as a 16-bit mono file; a real file is written under a
// temporary name and renamed into place so that no one sees half a file.
bool writeNoteFile(const std::wstring& path, std::span<const std::int16_t> samples, std::int32_t rate) {
    const std::vector<std::uint8_t> bytes = littleEndianBytes(samples);
    if (path == L"-" || path == L"nul") return writeWaveBytes(path, bytes, 16, 1, rate) == 0;
    const std::wstring temporary = temporarySiblingPath(path);
    if (writeWaveBytes(temporary, bytes, 16, 1, rate) == 0 && replaceFile(temporary, path)) return true;
    removeFile(temporary);
    return false;
}

// Synthesises the note and writes it; the note (with its silent tail) in
// `out`, its length in `count`. False when nothing was synthesised or the
// note is too long for a file.
bool renderToOutFile(const RenderJob& job, std::int32_t rate, std::int32_t tail, std::int32_t& count,
                     std::vector<std::int16_t>& out) {
    const std::int32_t threads = flagNumber(job.flags, L'S').value_or(0);
    const std::optional<std::vector<double>> samples = synthesizeNote(job, count, threads);
    if (!samples) return false;
    count = std::clamp<std::int32_t>(count, 0, static_cast<std::int32_t>(std::min<std::size_t>(samples->size(), INT32_MAX)));
    const std::int64_t total = static_cast<std::int64_t>(count) + tail;
    if (total > kMaxWaveSamples) {
        printErr("wresamp: the note is too long for a WAV file.\n");
        return false;
    }
    out.assign(static_cast<std::size_t>(total), 0);
    const std::span<const double> note(samples->data(), static_cast<std::size_t>(count));
    scaleToInt16(note, int16NormalizationGain(note, job.flags), out);
    if (writeNoteFile(*job.outFile, out, rate)) {
        printOut("Output : %s\n", narrow(*job.outFile).c_str());
    } else {
        printErr("wresamp: cannot write the output file %s\n", narrow(*job.outFile).c_str());
    }
    return true;
}

// The cached note as 16-bit samples followed by `tail` zero frames; silence
// of `count` samples when the file cannot be read. The file's rate and depth
// are not adopted.
std::vector<std::int16_t> readCachedNote(const std::wstring& path, std::int32_t tail, std::int32_t& count) {
    const std::optional<LoadedSample> loaded = readWaveBytes(path, tail);
    if (loaded && loaded->info.blockAlign > 0) {
        std::vector<std::int16_t> note = samplesOfBytes(loaded->bytes);
        const std::uint32_t frames = loaded->dataBytes / loaded->info.blockAlign;
        count = static_cast<std::int32_t>(std::min<std::size_t>({frames, note.size(), INT32_MAX}));
        return note;
    }
    count = std::max<std::int32_t>(count, 0);
    return std::vector<std::int16_t>(static_cast<std::size_t>(count), 0);
}

}  // namespace

double int16NormalizationGain(std::span<const double> samples, const std::optional<std::wstring>& flags) {
    const double strength = std::min(1.0, flagNumber(flags, L'P').value_or(86) / 100.0);
    if (strength <= 0.0) return 1.0;
    double peak = 0.0;
    for (const double s : samples) peak = std::max(peak, std::fabs(s));
    // A silent note has no peak to move; it is written as zeros.
    if (!(peak > 0.0)) return 1.0;
    return std::pow(16384.0 / peak, strength);
}

void scaleToInt16(std::span<const double> samples, double gain, std::span<std::int16_t> out) {
    const std::size_t n = std::min(samples.size(), out.size());
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<std::int16_t>(truncateToInt32(std::clamp(gain * samples[i], -32768.0, 32767.0)));
    }
}

void applyVolumeEnvelopeInt16(std::span<std::int16_t> samples, const RenderJob& job, std::int32_t sampleRate) {
    if (!job.volumeEnvelope || job.volumeEnvelope->empty() || sampleRate <= 0) return;
    const std::vector<float>& list = *job.volumeEnvelope;
    // Whole pairs only: an unpaired last element is ignored.
    const std::int64_t declared = truncateToInt32(list[0]);
    const std::int64_t pairs = std::max<std::int64_t>(0, std::min<std::int64_t>(declared, list.size() - 1) / 2);
    // The previous breakpoint (f, g) and the current one (d, e): first the
    // silent lead-in from (0, 0) to (fileOffset, 0).
    double f = 0.0, g = 0.0;
    double d = job.fileOffset, e = 0.0;
    std::int64_t nextPair = 0;
    for (std::size_t j = 0; j < samples.size(); ++j) {
        const double t = static_cast<double>(j) * 1000.0 / sampleRate;
        while (t > d && nextPair < pairs) {
            f = d;
            g = e;
            d = f + list[static_cast<std::size_t>(1 + 2 * nextPair)];
            e = list[static_cast<std::size_t>(2 + 2 * nextPair)];
            ++nextPair;
        }
        double level = 0.0;
        if (d > f) {
            const double lambda = (t - f) / (d - f);
            level = (1.0 - lambda) * g + lambda * e;
        }
        const double shaped = std::clamp(level * 0.01 * samples[j], -32768.0, 32767.0);
        samples[j] = static_cast<std::int16_t>(truncateToInt32(shaped));
    }
}

void wresamp(const RenderJob& job) {
    applyRateAndDepth();
    const std::int32_t rate = renderSettings().outputSampleRate;
    printOut("SAMPLES=%d\n", rate);
    std::int32_t count = truncateToInt32(static_cast<double>(job.fileOffset + job.length) * (rate * 0.001));
    // Silence kept behind the note: the lead-in plus 3 ms.
    const std::int32_t tail = std::max(0, truncateToInt32((job.fileOffset + 3.0f) * 0.001 * rate));

    std::vector<std::int16_t> out;
    if (job.outFile) {
        if (!renderToOutFile(job, rate, tail, count, out)) return;
    } else if (job.cacheFile) {
        out = readCachedNote(*job.cacheFile, tail, count);
    } else {
        writeOut("wresamp: Zu wenig Argumente.\n");
        writeOut(kUsageLines);
        return;
    }

    applyVolumeEnvelopeInt16(std::span<std::int16_t>(out.data(), static_cast<std::size_t>(count)), job, rate);

    if (job.targetFile) {
        const std::int32_t lead = truncateToInt32(rate * 0.001 * job.fileOffset);
        const std::size_t from = static_cast<std::size_t>(std::clamp<std::int64_t>(lead, 0, static_cast<std::int64_t>(out.size())));
        const std::int32_t noteCount =
            truncateToInt32(static_cast<double>(static_cast<float>(rate) * job.length) * 0.001);
        mixIntoWaveInt16(*job.targetFile, std::span<std::int16_t>(out).subspan(from), noteCount, job.overlap,
                         job.endPos);
    }
}

void wresampMain(const std::vector<std::wstring>& args) {
    std::unique_ptr<RenderJob> job = parseParameterArgs(args);
    wresamp(*job);
    freeRenderJob(std::move(job));
}

}  // namespace kestrand
