// One job in, the samples of one note out.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "render/render_job.h"

namespace kestrand {

// Renders the job's note. On success `count` receives the note length in
// output samples and the result holds count + frameSize doubles in
// sixteen-bit scale, of which the first `count` are the note. Nothing (after
// a message) when the input cannot be loaded; `count` is then unchanged.
std::optional<std::vector<double>> synthesizeNote(const RenderJob& job, std::int32_t& count,
                                                  std::int32_t threadRequest);

}  // namespace kestrand
