// The steps that finish a synthesised note, shared by the two render paths
// (the note program's render and the 16-bit render of parameter jobs): flag
// numbers, the usage text, quietness, the normalisation gain, writing the
// note file whole, and the volume envelope.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/whole_file.h"
#include "render/render_job.h"

namespace kestrand {

// The usage text both render paths print when a job has neither an output
// nor a cache file.
inline constexpr const char* kUsageLines =
    "引数：1入力wav 2出力wav 3出力の長さ 4音程 5音量 6mod 7gen 8bre 9alpha\n"
    "10voice-offset 11voice-length 12voice-fixed1 13voice-fixed2 14velocity1 15velocity2 16reverse\n";

// True when the job prints nothing: flags contain "n" or the output is "-".
bool isQuietJob(const RenderJob& job);

// The number after the first occurrence of a flag letter, truncated toward
// zero; nothing when the letter (or the flags text) is absent.
std::optional<std::int32_t> flagNumber(const std::optional<std::wstring>& flags, wchar_t letter);

// The gain that moves the note's peak toward 16384 by the P flag's strength
// (the number after the first "P", 86 when there is none) in percent, taken
// as at most 100; 1 for a strength of 0 or less or a silent note.
double normalizationGain(std::span<const double> samples, const std::optional<std::wstring>& flags);

// Where "-" as an output name sends a note.
enum class DashOutput { StandardOutput, FileNamedDash };

// Writes a finished note file (its whole WAV image) so that a host never sees
// half a file and an older note survives any failure byte for byte: a real
// file is written whole under a temporary name in the same folder and renamed
// over `path` when complete (writeWholeFile); "nul" writes nothing; "-" goes
// to standard output or is a file name, as `dash` says. Notes are cache
// files: they are not forced to stable storage. When it fails, the result
// says why.
FileResult writeWholeNoteFile(const std::wstring& path, std::span<const std::uint8_t> image, DashOutput dash);

// The breakpoints of a job's volume envelope, walked in time: (0, 0), then
// (fileOffset, 0), then one breakpoint per (duration ms, level %) pair after
// the previous one. An unpaired last element is ignored.
class EnvelopeWalk {
public:
    explicit EnvelopeWalk(const RenderJob& job);

    // Moves on while t (ms) lies beyond the current breakpoint and pairs remain.
    void advanceTo(double t);

    double startTime() const { return startTime_; }
    double startLevel() const { return startLevel_; }
    double endTime() const { return endTime_; }
    double endLevel() const { return endLevel_; }

private:
    std::span<const float> list_;
    std::int64_t pairs_ = 0;
    std::int64_t next_ = 0;
    double startTime_ = 0.0, startLevel_ = 0.0;
    double endTime_ = 0.0, endLevel_ = 0.0;
};

// Shapes samples with the job's volume envelope (nothing without one): each
// sample times the level on the line through the segment's breakpoints,
// times 0.01, limited to the 16-bit range. Levels before the first segment
// with a length are 0.
void applyVolumeEnvelope(std::span<double> samples, const RenderJob& job, std::int32_t sampleRate);

// The same for 16-bit samples as parameter jobs render them: the level is
// (1 - lambda) x start + lambda x end, and each result is limited to the
// 16-bit range and truncated toward zero.
void applyVolumeEnvelopeInt16(std::span<std::int16_t> samples, const RenderJob& job, std::int32_t sampleRate);

}  // namespace kestrand
