// Reading key=value lines of a parameter job.
#include <string>

#include "cli/parameter_job.h"
#include "cli/parameter_line.h"
#include "platform/text.h"

namespace kestrand {

namespace {

// The longest piece of a line handled at once; a longer line continues as
// the next piece.
constexpr std::size_t kPieceLength = 4095;

// Reads one line's bytes, its line feed included; false at the end of the stream.
bool readLineBytes(std::FILE* stream, std::string& line) {
    line.clear();
    int c = 0;
    while ((c = std::fgetc(stream)) != EOF) {
        line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return !line.empty();
}

}  // namespace

void applyParameterLine(RenderJob& job, std::wstring_view piece) {
    // A piece is text up to its first zero character, as a C string would be.
    const std::size_t terminator = piece.find(L'\0');
    if (terminator != std::wstring_view::npos) piece = piece.substr(0, terminator);
    const std::size_t equals = piece.find(L'=');
    if (equals == std::wstring_view::npos) return;
    const std::wstring_view key = piece.substr(0, equals);
    std::wstring_view value = piece.substr(equals + 1);
    value = value.substr(0, value.find(L'\r'));
    value = value.substr(0, value.find(L'\n'));
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"') value = value.substr(1, value.size() - 2);
    setJobParameter(job, key, value);
}

void readParameterLines(RenderJob& job, std::FILE* stream) {
    if (stream == nullptr) return;
    std::string bytes;
    bool first = true;
    while (readLineBytes(stream, bytes)) {
        std::wstring line = widen(bytes);
        if (first && !line.empty() && line.front() == L'\xFEFF') line.erase(0, 1);
        first = false;
        const std::wstring_view view(line);
        for (std::size_t at = 0; at < view.size(); at += kPieceLength) {
            applyParameterLine(job, view.substr(at, kPieceLength));
        }
    }
}

}  // namespace kestrand
