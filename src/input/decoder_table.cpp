#include "input/decoder_table.h"

#include <array>

#include "audio/wave_reader.h"
#include "input/input_text.h"
#include "input/loaders.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/text.h"

namespace kestrand {

namespace {

constexpr std::wstring_view kFlacTemplate = L"\"%s\" --decode --stdout \"%s\"";
constexpr std::wstring_view kMp3Template = L"\"%s\" --decode --mp3input \"%s\" -";
constexpr std::wstring_view kOggTemplate = L"\"%s\" --stdout \"%s\"";
constexpr std::wstring_view kFaadTemplate = L"\"%s\" -w \"%s\"";
constexpr std::wstring_view kNeroTemplate = L"\"%s\" -if \"%s\" -of -";

constexpr std::array<DecoderRow, 7> kRows{{
    {L".flac", L"flacpath", kFlacTemplate},
    {L".mp3", L"lamepath", kMp3Template},
    {L".ogg", L"oggdecpath", kOggTemplate},
    {L".aac", L"faadpath", kFaadTemplate},
    {L".m4a", L"faadpath", kFaadTemplate},
    {L".aac", L"nerodecpath", kNeroTemplate},
    {L".m4a", L"nerodecpath", kNeroTemplate},
}};

// One decoder row on its own: nothing when its variable is unset.
std::optional<LoadedSample> decodeWithVariable(std::wstring_view variable, std::wstring_view commandTemplate,
                                               const std::wstring& path, std::int32_t slack) {
    const auto program = getEnvironment(std::wstring(variable));
    if (!program) return std::nullopt;
    return runDecoderTemplate(commandTemplate, *program, path, slack);
}

}  // namespace

std::span<const DecoderRow> decoderRows() { return kRows; }

std::wstring formatCommandTemplate(std::wstring_view commandTemplate, std::wstring_view program,
                                   std::wstring_view path) {
    std::wstring out;
    int used = 0;
    for (std::size_t i = 0; i < commandTemplate.size(); ++i) {
        if (commandTemplate.substr(i, 2) == L"%s" && used < 2) {
            out += used == 0 ? program : path;
            ++used;
            ++i;
        } else {
            out += commandTemplate[i];
        }
    }
    return out;
}

std::vector<std::wstring> commandTemplateArguments(std::wstring_view commandTemplate, std::wstring_view program,
                                                   std::wstring_view path) {
    std::vector<std::wstring> arguments;
    int used = 0;
    std::size_t start = 0;
    while (start <= commandTemplate.size()) {
        std::size_t end = commandTemplate.find(L' ', start);
        if (end == std::wstring_view::npos) end = commandTemplate.size();
        const std::wstring_view token = commandTemplate.substr(start, end - start);
        if ((token == L"\"%s\"" || token == L"%s") && used < 2) {
            arguments.emplace_back(used == 0 ? program : path);
            ++used;
        } else if (!token.empty()) {
            arguments.emplace_back(token);
        }
        start = end + 1;
    }
    return arguments;
}

std::optional<LoadedSample> runDecoderTemplate(std::wstring_view commandTemplate, const std::wstring& program,
                                               const std::wstring& path, std::int32_t tailFrames) {
    if (characterCount(path) > kMaxPathLength || characterCount(program) > kMaxPathLength) {
        printErr("Input path or decoder path longer than %zu characters; not decoded.\n", kMaxPathLength);
        return std::nullopt;
    }
    const std::wstring commandText = formatCommandTemplate(commandTemplate, program, path);
    if (characterCount(commandText) > kMaxCommandLength) {
        printErr("Decoder command of %zu characters is longer than %zu; not started: %s\n", characterCount(commandText),
                 kMaxCommandLength, narrow(commandText).c_str());
        return std::nullopt;
    }
    return loadProgramOutput(commandTemplateArguments(commandTemplate, program, path), tailFrames);
}

std::optional<LoadedSample> loadByExtension(const std::wstring& path, std::int32_t slack) {
    const auto extension = lastExtension(path);
    if (!extension) return std::nullopt;
    if (equalsIgnoringCase(*extension, L".wav")) return readWaveBytes(path, slack);
    for (const DecoderRow& row : kRows) {
        if (!equalsIgnoringCase(*extension, row.extension)) continue;
        const auto program = getEnvironment(std::wstring(row.variable));
        if (!program) continue;
        return runDecoderTemplate(row.commandTemplate, *program, path, slack);
    }
    return std::nullopt;
}

std::optional<LoadedSample> decodeMp3File(const std::wstring& path, std::int32_t slack) {
    return decodeWithVariable(L"lamepath", kMp3Template, path, slack);
}

std::optional<LoadedSample> decodeFlacFile(const std::wstring& path, std::int32_t slack) {
    return decodeWithVariable(L"flacpath", kFlacTemplate, path, slack);
}

}  // namespace kestrand
