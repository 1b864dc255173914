// Jobs given as named parameters: key=value lines in UTF-8 files or on
// standard input, key=value and key:value options on a command line, or up to
// sixteen positional values in a fixed order.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "render/render_job.h"

namespace kestrand {

// A new job with the parameter path's defaults, which differ from the command
// line's: volume 100, both velocities 100, breathy 40, alpha 0, no flags;
// every other field zero or absent.
RenderJob newRenderJob();

// Sets the field named by `key` from `value`. Keys are compared without regard
// to case, except the one-letter aliases and "lo", which must match exactly
// ("t" tone, "T" tempo, "v" volume, "l" length, "lo" length_require, "G"
// gender, "N" noformant, "S" samples). True when the key is recognised
// (otherwise nothing changes).
bool setJobParameter(RenderJob& job, std::wstring_view key, std::wstring_view value);

// Reads key=value lines (UTF-8; a byte-order mark at the start is skipped)
// from the stream and sets each at once, so a later line overrides an earlier
// one. Lines are read in pieces of at most 4095 characters (a longer line
// continues as the next piece); a piece without "=" is skipped; the key is the
// text before the first "=" as written, the value the text after it up to the
// first carriage return or line feed, with one pair of enclosing double quotes
// removed. A null stream reads nothing.
void readParameterLines(RenderJob& job, std::FILE* stream);

// Builds a job from a command line (args[0] is the program name): "-as" reads
// parameter lines from standard input, "-af <file>" from a file, "-noformant"
// / "-N" and "-reverse" / "-rev" set their switches, "-key=value" and
// "-key:value" set a key whose name is a run of letters and digits, any other
// "-text" takes the next argument as the value of the key "text". Arguments
// not starting with "-" (or starting with "-" and a digit) are the positional
// keys voicefile, outfile, length, tone, volume, modulation, gender, breathy,
// alpha, voiceoffset, voicelength, voicefixed1, voicefixed2, velocity1,
// velocity2, reverse, in that order; further ones are ignored.
RenderJob parseParameterArgs(const std::vector<std::wstring>& args);

}  // namespace kestrand
