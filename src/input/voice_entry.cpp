#include "input/voice_entry.h"

#include <cstdio>
#include <string>
#include <string_view>

#include "base/number_text.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kestrand {

namespace {

// A file is read in pieces of at most this many characters; the rest of a
// longer line is read as a line of its own.
constexpr std::size_t kPieceLength = 256;

// Handles one piece of the file: "key=value", the value cut at its first
// carriage return and its first line feed. A piece without "=" is skipped.
void applyLine(VoiceEntry& entry, std::wstring_view line) {
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) return;
    std::wstring_view value = line.substr(equals + 1);
    value = value.substr(0, value.find(L'\r'));
    value = value.substr(0, value.find(L'\n'));
    setVoiceEntryField(entry, std::wstring(line.substr(0, equals)), std::wstring(value));
}

}  // namespace

std::optional<VoiceEntry> readVoiceEntry(const std::wstring& path) {
    const FilePtr file = openFile(path, "rb");
    if (!file) return std::nullopt;
    VoiceEntry entry;
    // Lines are read as bytes in the system's character set (UTF-8) and turned
    // into wide text whole, so that no character is split between two pieces.
    std::string bytes;
    bool atEnd = false;
    while (!atEnd) {
        bytes.clear();
        int c = 0;
        while ((c = std::fgetc(file.get())) != EOF) {
            bytes.push_back(static_cast<char>(c));
            if (c == '\n') break;
        }
        atEnd = c == EOF;
        if (bytes.empty()) break;
        const std::wstring line = widen(bytes);
        for (std::size_t start = 0; start < line.size(); start += kPieceLength) {
            applyLine(entry, std::wstring_view(line).substr(start, kPieceLength));
        }
    }
    return entry;
}

void setVoiceEntryField(VoiceEntry& entry, const std::wstring& key, const std::wstring& value) {
    if (key == L"wave") {
        entry.wave = value;
        return;
    }
    std::int32_t* field = nullptr;
    if (key == L"offset")
        field = &entry.offset;
    else if (key == L"length")
        field = &entry.length;
    else if (key == L"fix1")
        field = &entry.fix1;
    else if (key == L"fix2")
        field = &entry.fix2;
    else if (key == L"overlap")
        field = &entry.overlap;
    else if (key == L"preuttr")
        field = &entry.preuttr;
    if (field != nullptr) *field = parseInteger(value);
}

}  // namespace kestrand
