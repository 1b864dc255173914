// The table of outside decoder programs and the command templates that start them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/wave_info.h"

namespace kestrand {

// One way to decode files of one extension: the environment variable that
// names the decoder program and the command line that makes it write a WAV
// stream to its standard output. In the template the first "%s" is the
// program, the second the input file.
struct DecoderRow {
    std::wstring_view extension;
    std::wstring_view variable;
    std::wstring_view commandTemplate;
};

// The rows, searched from the top; the first row with its variable set wins.
std::span<const DecoderRow> decoderRows();

// Longest formatted decoder command (inside the quotes the command processor
// adds) and longest file path the loaders accept; longer ones are refused.
inline constexpr std::size_t kMaxCommandLength = 525;
inline constexpr std::size_t kMaxPathLength = 1023;

// The template as one command line: "%s" replaced by program, then path.
std::wstring formatCommandTemplate(std::wstring_view commandTemplate, std::wstring_view program,
                                   std::wstring_view path);

// The same command as an argument vector: the template split at blanks, each
// "%s" (quoted or not) replaced by the next value as one whole argument.
std::vector<std::wstring> commandTemplateArguments(std::wstring_view commandTemplate, std::wstring_view program,
                                                   std::wstring_view path);

// Starts the program with the template's arguments and reads its output as a
// canonical WAV stream with tailFrames zero frames behind it. Refuses, with a
// message on standard error, paths and commands longer than the limits above.
std::optional<LoadedSample> runDecoderTemplate(std::wstring_view commandTemplate, const std::wstring& program,
                                               const std::wstring& path, std::int32_t tailFrames);

// Starts the program (arguments[0]) directly and reads its standard output as
// a canonical WAV stream; nothing, silently, when it cannot be started.
std::optional<LoadedSample> loadProgramOutput(const std::vector<std::wstring>& arguments, std::int32_t tailFrames);

}  // namespace kestrand
