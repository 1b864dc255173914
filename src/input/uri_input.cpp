#include <string>

#include "audio/wave_reader.h"
#include "input/decoder_table.h"
#include "input/input_text.h"
#include "input/loaders.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"
#include "platform/whole_file.h"

namespace kestrand {

namespace {

// The longest first line of a .uri file, its line break included.
constexpr std::size_t kMaxUriLineLength = 1023;

constexpr std::wstring_view kDownloadTemplate = L"\"%s\" \"%s\"";

// The first line of a text file, its line break kept when there is one.
// Nothing when the file cannot be opened; a line longer than the limit is
// refused with a message rather than cut, since a cut line would end in a
// different extension.
std::optional<std::wstring> readFirstLine(const std::wstring& path) {
    FilePtr file = openFile(path, "rb");
    if (!file) return std::nullopt;
    std::string line;
    std::size_t characters = 0;
    int c = 0;
    while ((c = std::fgetc(file.get())) != EOF) {
        const bool starts = (c & 0xC0) != 0x80;
        if (starts && characters == kMaxUriLineLength) {
            printErr("The first line of %s is longer than %zu characters; not used.\n", narrow(path).c_str(),
                     kMaxUriLineLength);
            return std::nullopt;
        }
        line.push_back(static_cast<char>(c));
        characters += starts ? 1 : 0;
        if (c == '\n') break;
    }
    return widen(line);
}

bool pathTooLong(const std::wstring& path) {
    if (characterCount(path) <= kMaxPathLength) return false;
    printErr("Path longer than %zu characters; not loaded.\n", kMaxPathLength);
    return true;
}

// Runs the downloader of webgetpath for the .uri file into the local copy.
// An empty result is removed again so that a failed download is retried on
// the next render instead of being taken for the recording.
void downloadRecording(const std::wstring& downloader, const std::wstring& uriPath, const std::wstring& localCopy) {
    if (characterCount(downloader) > kMaxPathLength) {
        printErr("Downloader path longer than %zu characters; not started.\n", kMaxPathLength);
        return;
    }
    const std::wstring commandText = formatCommandTemplate(kDownloadTemplate, downloader, uriPath);
    if (characterCount(commandText) > kMaxCommandLength) {
        printErr("Download command of %zu characters is longer than %zu; not started.\n", characterCount(commandText),
                 kMaxCommandLength);
        return;
    }
    if (downloadToFile(commandTemplateArguments(kDownloadTemplate, downloader, uriPath), localCopy) == 0) {
        removeFile(localCopy);
    }
}

}  // namespace

std::uint64_t downloadToFile(const std::vector<std::wstring>& arguments, const std::wstring& target) {
    PipePtr pipe = startProgramForReading(arguments);
    if (!pipe) return 0;
    // Written whole or not at all: a recording cut off by a full disk or a
    // kill would otherwise be taken for the whole one on every later render.
    std::uint64_t copied = 0;
    bool created = false;
    const FileResult written = writeWholeFileWith(
        target,
        [&](std::FILE* out) {
            created = true;
            std::uint8_t block[8192];
            std::size_t got = 0;
            while ((got = std::fread(block, 1, sizeof block, pipe.get())) > 0) {
                if (!writeAllBytes(out, std::span<const std::uint8_t>(block, got))) return false;
                copied += got;
            }
            return copied > 0;
        },
        Durability::Cache);
    if (!created) writeOut("失敗\n");
    return written ? copied : 0;
}

std::optional<LoadedSample> loadUriInput(const std::wstring& path, std::int32_t slack) {
    if (pathTooLong(path)) return std::nullopt;
    const std::size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos) return std::nullopt;
    const std::wstring localCopy = path.substr(0, dot) + L".uob";

    if (!openFile(localCopy, "rb")) {
        if (const auto downloader = getEnvironment(L"webgetpath")) downloadRecording(*downloader, path, localCopy);
    }

    const auto url = readFirstLine(path);
    if (!url) return std::nullopt;
    // The line is compared as read: a URL followed by a line break matches none.
    if (endsWithIgnoringCase(*url, L".mp3")) return decodeMp3File(localCopy, slack);
    if (endsWithIgnoringCase(*url, L".flac")) return decodeFlacFile(localCopy, slack);
    if (endsWithIgnoringCase(*url, L".wav")) return readWaveBytes(localCopy, slack);
    return std::nullopt;
}

std::optional<std::wstring> uriLocalName(const std::wstring& uriPath) {
    auto url = readFirstLine(uriPath);
    if (!url) return std::nullopt;
    const std::size_t pathDot = uriPath.rfind(L'.');
    if (pathDot == std::wstring::npos) {
        writeErr("loadFromUri2() : Filename Error.\n");
        return std::nullopt;
    }
    while (!url->empty() && (url->back() == L'\n' || url->back() == L'\r')) url->pop_back();
    const std::size_t urlDot = url->rfind(L'.');
    if (urlDot == std::wstring::npos) {
        writeErr("loadFromUri2() : URL Error.\n");
        return std::nullopt;
    }
    return uriPath.substr(0, pathDot + 1) + url->substr(urlDot + 1);
}

}  // namespace kestrand
