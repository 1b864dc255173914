#include "audio/wave_stream.h"
#include "input/decoder_table.h"
#include "input/decoder_trust.h"
#include "input/loaders.h"
#include "platform/command_words.h"
#include "platform/process.h"

namespace kestrand {

namespace {

// The argument vector for a command line in the input text, or nothing when
// it names no program or one that is not allowed.
std::optional<std::vector<std::wstring>> commandArguments(const std::wstring& commandText) {
    if (const auto prefix = loadmodulePrefix(commandText)) {
        // The user's own loadmodule command, with the sample's file name as
        // one argument whatever it holds.
        std::vector<std::wstring> arguments = splitCommandLine(prefix->value);
        if (arguments.empty()) return std::nullopt;
        arguments.push_back(prefix->rest);
        return arguments;
    }
    std::vector<std::wstring> arguments = splitCommandLine(commandText);
    if (arguments.empty()) return std::nullopt;
    auto program = allowedNamedFile(arguments[0], NamedCode::Program);
    if (!program) return std::nullopt;
    arguments[0] = std::move(*program);
    return arguments;
}

}  // namespace

std::optional<LoadedSample> loadCommandOutput(const std::wstring& commandText, std::int32_t slack) {
    const auto arguments = commandArguments(commandText);
    if (!arguments) return std::nullopt;
    return loadProgramOutput(*arguments, slack);
}

std::optional<LoadedSample> loadProgramOutput(const std::vector<std::wstring>& arguments, std::int32_t tailFrames) {
    PipePtr pipe = startProgramForReading(arguments);
    if (!pipe) return std::nullopt;
    return readCanonicalWaveStream(pipe.get(), tailFrames);
}

}  // namespace kestrand
