// Command lines as text and as argument vectors. A command line that the
// program is given in its input text is split into the program and its
// arguments here and then started directly, never through a shell or the
// Windows command processor, so that no character in it has any meaning
// beyond what these rules give it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrand {

// Splits a command line by the program's own rules, the same for every word:
// words are separated by blanks (space or tab); a double quote starts or ends
// a quoted stretch in which blanks belong to the word; the quotes themselves
// are dropped, and an unclosed quote runs to the end of the text. Nothing
// else is special: backslashes, single quotes, ";", "&", "|", "$", "`", "<"
// and ">" are ordinary characters. «"/my dir/dec.exe" -x "a b.wav"» gives
// «/my dir/dec.exe», «-x», «a b.wav»; «""» gives one empty word. A word
// cannot hold a double quote.
std::vector<std::wstring> splitCommandWords(std::wstring_view text);

// Splits a command line by the rules of the Windows C runtime: the program
// name (the first word) as above; in the other words a double quote preceded
// by an odd number of backslashes is a literal quote, by an even number a
// delimiter (each pair of backslashes gives one), backslashes not followed
// by a quote are literal, and two quotes inside a quoted stretch give one
// literal quote.
std::vector<std::wstring> splitWindowsCommandLine(std::wstring_view text);

// The system's rules: splitWindowsCommandLine on Windows, splitCommandWords
// elsewhere.
std::vector<std::wstring> splitCommandLine(std::wstring_view text);

// The command line that splitWindowsCommandLine (and the C runtime of the
// started program) splits into exactly these arguments: every argument in
// double quotes; in all but the first, quotes and the backslashes before them
// escaped. The first argument, the program, must not hold a double quote.
std::wstring joinWindowsCommandLine(const std::vector<std::wstring>& arguments);

}  // namespace kestrand
