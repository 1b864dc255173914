// The synthesis engine: one loaded sample, its frequency list and a note
// plan in, the samples of one note out.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "audio/wave_info.h"
#include "f0/frequency_list.h"
#include "synth/note_plan.h"

namespace kestrand {

struct SynthesisOptions {
    // Tap-by-tap readers at the literal positions and separate inverse
    // transforms instead of the fast kernels; same result up to rounding.
    bool literal = false;
};

struct SynthesizedNote {
    // count + frameSize doubles in sixteen-bit scale; the first `count` are the note.
    std::vector<double> samples;
    std::int32_t count = 0;
    int threadCount = 0;  // worker threads the render used
    double seconds = 0;   // time the synthesis took, from its buffers to its last frame
};

// Notes of at most this many frames are processed on the calling thread alone.
inline constexpr std::int64_t kDriverOnlyFrames = 24;

// The longest note the engine renders, in seconds.
inline constexpr double kMaxNoteSeconds = 3600.0;

// Renders the note. `sample` is a loaded sample with a usable format (frames,
// channels and a rate) and a zero tail of 4 x frameSize frames; `list` is a
// usable list (at least one frame, a positive finite average). Nothing, after
// a message on standard error, when the buffers cannot be had. Prints nothing
// else.
std::optional<SynthesizedNote> synthesizeNote(const LoadedSample& sample, const FrequencyList& list,
                                              const NotePlan& plan, const SynthesisOptions& options = {});

}  // namespace kestrand
