// The note's positional arguments into a RenderJob.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "render/render_job.h"

namespace kestrand {

// The longest input text (argument 1 after the loadmodule prefix and the
// extension cuts) that is accepted; a longer one is refused, never truncated.
inline constexpr std::size_t kMaxInputTextLength = 2047;

// Fills the job from args (args[0] is the program name) and returns the
// argument count; 1 when there are fewer than two arguments or when the input
// text is refused. The caller renders only when the result is above 2.
int parseCommandLine(RenderJob& job, const std::vector<std::wstring>& args);

// "A4" 440 Hz, "C#4" 277.18 Hz, "A4+50" (cents) 452.89 Hz; C4 is note 60.
float noteNameToFrequency(const std::wstring& name);

// "10,100,20,80" -> {4, 10, 100, 20, 80}: element 0 is the count. An absent
// text gives {0}. One leading double quote is skipped; any one character
// separates the numbers.
std::vector<float> parseNumberList(const std::optional<std::wstring>& text);

}  // namespace kestrand
