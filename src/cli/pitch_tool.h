// The kestrandpitch tool: turns lists of pitch values into pitch texts and
// back, in the standard two-character form or one of the codecs enc, cmp and
// hff, for people who write host plug-ins and for checking texts by hand.
//
//   kestrandpitch encode MODE ORDER        numbers on standard input -> text
//   kestrandpitch decode MODE ORDER TEXT   text -> numbers on standard output
//
// MODE is std, enc, cmp or hff; ORDER is the order of differencing of the
// codecs (0 to 3; larger orders act as 3, negative ones as 0; the enc encoder
// refuses orders above 4) and is not looked at for std.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace kestrand {

// What one run of the tool prints and its exit status: 0 done, 1 bad input
// numbers or an order the encoder refuses (the codec prints its own message
// on standard error), 2 wrong usage.
struct PitchToolResult {
    int exitCode = 0;
    std::string out;  // UTF-8 text for standard output
    std::string err;  // UTF-8 text for standard error
};

// Runs the tool on its arguments (args[0] is the program name). `input` is
// read to its end only by "encode"; it may be null for "decode". Every input
// number must be a whole decimal number (a fraction is rounded to the nearest
// integer, halves upward) within -32768..32767, and there may be at most
// 32767 of them. Encoding warns on standard error when the text cannot carry
// every value exactly (std keeps values modulo 4096, enc and cmp clamp
// differences to -2048..2047; hff carries every 16-bit difference).
PitchToolResult runPitchTool(const std::vector<std::wstring>& args, std::FILE* input);

// The program's entry: runs the tool on standard input, prints its text
// through the console helpers and returns the exit status.
int kestrandPitchMain(const std::vector<std::wstring>& args);

}  // namespace kestrand
