// A job's note: loading the sample, obtaining its frequency list, turning the
// job's fields into a note plan, and running the synthesis engine on it.
#pragma once

#include <cstdint>
#include <optional>

#include "audio/wave_info.h"
#include "f0/frequency_list.h"
#include "render/output_settings.h"
#include "render/render_job.h"
#include "synth/note_plan.h"
#include "synth/synthesize_note.h"

namespace kestrand {

// The sample, its list and the plan of one note, ready for the engine.
struct PreparedNote {
    LoadedSample sample;  // with a zero tail of 4 x frameSize frames
    FrequencyList list;   // usable; freqAvg limited to 1 .. half the input rate
    NotePlan plan;
};

// Loads the job's input, obtains its frequency list (stored or analysed and
// stored), and fixes the note: region, length, pitch and voice parameters,
// each limited to values the engine handles. Unless the job is quiet, prints
// the input's format and the note's parameters on standard output. Nothing,
// after a message on standard error, when there is no input, it cannot be
// loaded or has an unusable format, the note would be longer than an hour,
// or no usable list can be had.
std::optional<PreparedNote> prepareNote(const RenderJob& job, const OutputSettings& settings,
                                        std::int32_t threadRequest);

// prepareNote, then the engine; unless the job is quiet, prints how long the
// synthesis took and with how many threads.
std::optional<SynthesizedNote> synthesizeJobNote(const RenderJob& job, const OutputSettings& settings,
                                                 std::int32_t threadRequest, const SynthesisOptions& options = {});

}  // namespace kestrand
