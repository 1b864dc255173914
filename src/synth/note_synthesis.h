// The synthesis driver with its evaluation choice exposed, for checks that
// compare the fast evaluation with the literal one.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "render/render_job.h"

namespace kestrand {

struct SynthesisOptions {
    // Tap-by-tap readers at the literal positions and separate inverse
    // transforms instead of the fast kernels; same result up to rounding.
    bool literal = false;
};

// synthesizeNote with options (synthesizeNote uses the defaults).
std::optional<std::vector<double>> synthesizeNoteWithOptions(const RenderJob& job, std::int32_t& count,
                                                             std::int32_t threadRequest,
                                                             const SynthesisOptions& options);

// The longest note the driver renders, in seconds.
inline constexpr double kMaxNoteSeconds = 3600.0;

}  // namespace kestrand
