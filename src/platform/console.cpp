#include "platform/console.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace kestrand {

namespace {

thread_local std::string* capturedErr = nullptr;

std::string formatArgs(const char* format, std::va_list args) {
    std::va_list copy;
    va_copy(copy, args);
    char small[512];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) return {};
    if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, static_cast<std::size_t>(needed));
    std::string big(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    big.resize(static_cast<std::size_t>(needed));
    return big;
}

}  // namespace

StderrCapture::StderrCapture() { capturedErr = &text_; }

StderrCapture::~StderrCapture() { capturedErr = nullptr; }

bool captureStderr(std::string_view utf8) {
    if (capturedErr == nullptr) return false;
    capturedErr->append(utf8);
    return true;
}

bool stderrCaptured() { return capturedErr != nullptr; }

void printOut(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::string text = formatArgs(format, args);
    va_end(args);
    writeOut(text);
}

void printErr(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    const std::string text = formatArgs(format, args);
    va_end(args);
    writeErr(text);
}

}  // namespace kestrand
