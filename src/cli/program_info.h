// What the programs answer to "--help" and "--version" given as their only
// argument. Hosts never start a program that way, so what they see is unchanged.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrand {

enum class ProgramKind { Note, Job, Pitch, Frq };

// The name of the vector path this run of the program uses: "AVX2+FMA" where
// the build carries processor-specific clones and the processor has AVX2 and
// fused multiply-add, otherwise the build's baseline ("SSE2" on x86, "scalar"
// elsewhere).
std::string vectorPathInUse();

// One line: the program, the version, the word size and the vector path.
std::string versionText(ProgramKind program);

// The English help text of a program.
std::string_view helpText(ProgramKind program);

// When args is exactly the program name and "--help" or "--version", prints
// that text to standard output and returns true.
bool answerHelpOrVersion(ProgramKind program, const std::vector<std::wstring>& args);

}  // namespace kestrand
