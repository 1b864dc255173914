#include "render/wresamp.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/wave_append.h"
#include "audio/wave_reader.h"
#include "audio/wave_writer.h"
#include "base/little_endian.h"
#include "base/number_text.h"
#include "platform/console.h"
#include "platform/text.h"
#include "render/job_note.h"
#include "render/output_settings.h"
#include "render/render_tail.h"

namespace kestrand {

namespace {

// The most 16-bit samples a WAV file's 32-bit size fields can describe.
constexpr std::int64_t kMaxWaveSamples = (0xFFFFFFFFLL - 36) / 2;

std::vector<std::uint8_t> littleEndianBytes(std::span<const std::int16_t> samples) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (const std::int16_t sample : samples) appendU16(bytes, static_cast<std::uint16_t>(sample));
    return bytes;
}

std::vector<std::int16_t> samplesOfBytes(std::span<const std::uint8_t> bytes) {
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = loadS16(bytes.data() + 2 * i);
    return samples;
}

// Synthesises the note and writes it as a 16-bit file (here "-" is a file
// name like any other); the note (with its silent tail) in `out`, its length
// in `count`. False when nothing was synthesised or the note is too long for
// a file.
bool renderToOutFile(const RenderJob& job, const OutputSettings& settings, std::int32_t tail, std::int32_t& count,
                     std::vector<std::int16_t>& out) {
    const std::int32_t threads = flagNumber(job.flags, L'S').value_or(0);
    const std::optional<SynthesizedNote> note = synthesizeJobNote(job, settings, threads);
    if (!note) return false;
    count = std::clamp<std::int32_t>(note->count, 0,
                                     static_cast<std::int32_t>(std::min<std::size_t>(note->samples.size(), INT32_MAX)));
    const std::int64_t total = static_cast<std::int64_t>(count) + tail;
    if (total > kMaxWaveSamples) {
        printErr("wresamp: the note is too long for a WAV file.\n");
        return false;
    }
    out.assign(static_cast<std::size_t>(total), 0);
    const std::span<const double> values(note->samples.data(), static_cast<std::size_t>(count));
    scaleToInt16(values, normalizationGain(values, job.flags), out);
    const std::vector<std::uint8_t> image = waveBytesImage(littleEndianBytes(out), 16, 1, settings.sampleRate);
    const FileResult written = writeWholeNoteFile(*job.outFile, image, DashOutput::FileNamedDash);
    if (written) {
        printOut("Output : %s\n", narrow(*job.outFile).c_str());
    } else {
        printErr("wresamp: cannot write the output file %s: %s. No file was changed.\n", narrow(*job.outFile).c_str(),
                 written.problem.c_str());
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

void scaleToInt16(std::span<const double> samples, double gain, std::span<std::int16_t> out) {
    const std::size_t n = std::min(samples.size(), out.size());
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<std::int16_t>(truncateToInt32(std::clamp(gain * samples[i], -32768.0, 32767.0)));
    }
}

void wresamp(const RenderJob& job) {
    // The rate and depth as the note program reads them, but the frame size
    // of the program's start: this path does not derive it from the rate.
    OutputSettings settings = readOutputSettings();
    settings.frameSize = OutputSettings{}.frameSize;
    settings.hopSize = OutputSettings{}.hopSize;
    const std::int32_t rate = settings.sampleRate;
    printOut("SAMPLES=%d\n", rate);
    std::int32_t count = truncateToInt32(static_cast<double>(job.fileOffset + job.length) * (rate * 0.001));
    // Silence kept behind the note: the lead-in plus 3 ms.
    const std::int32_t tail = std::max(0, truncateToInt32((job.fileOffset + 3.0f) * 0.001 * rate));

    std::vector<std::int16_t> out;
    if (job.outFile) {
        if (!renderToOutFile(job, settings, tail, count, out)) return;
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
        const std::size_t from =
            static_cast<std::size_t>(std::clamp<std::int64_t>(lead, 0, static_cast<std::int64_t>(out.size())));
        const std::int32_t noteCount =
            truncateToInt32(static_cast<double>(static_cast<float>(rate) * job.length) * 0.001);
        mixIntoWaveInt16(*job.targetFile, std::span<std::int16_t>(out).subspan(from), noteCount, job.overlap,
                         job.endPos, rate, false);
    }
}

}  // namespace kestrand
