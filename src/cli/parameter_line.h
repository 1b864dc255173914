// One piece of a parameter line, applied to a job.
#pragma once

#include <string_view>

#include "render/render_job.h"

namespace kestrand {

// Splits "key=value" at the first "=" (the piece ends at its first zero
// character), cuts the value at its first carriage return and line feed,
// removes one pair of enclosing double quotes and sets the key. A piece
// without "=" does nothing.
void applyParameterLine(RenderJob& job, std::wstring_view piece);

}  // namespace kestrand
