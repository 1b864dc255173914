#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/console.h"
#include "platform/text.h"

namespace kestrand {

namespace {

// A console shows UTF-16 text through WriteConsoleW (so Japanese and German
// messages print whatever the console's code page is); a redirected stream
// gets the UTF-8 bytes.
void writeStream(std::FILE* stream, DWORD handleId, std::string_view utf8) {
    std::fflush(stream);
    HANDLE handle = ::GetStdHandle(handleId);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode)) {
        const std::wstring wide = widen(utf8);
        DWORD written = 0;
        ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

}  // namespace

void writeOut(std::string_view utf8) { writeStream(stdout, STD_OUTPUT_HANDLE, utf8); }

void writeErr(std::string_view utf8) {
    if (captureStderr(utf8)) return;
    writeStream(stderr, STD_ERROR_HANDLE, utf8);
}

bool stderrIsTerminal() { return !stderrCaptured() && _isatty(_fileno(stderr)) != 0; }

bool stdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

void setStdoutBinary() {
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace kestrand
