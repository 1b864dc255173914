#include "synth/synthesize_note.h"

namespace kestrand {

std::optional<std::vector<double>> synthesizeNote(const RenderJob&, std::int32_t&, std::int32_t) {
    return std::nullopt;
}

}  // namespace kestrand
