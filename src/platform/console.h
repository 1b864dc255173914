// Console output. All text of the program goes through these helpers: one per
// stream, each writing bytes (UTF-8 text on POSIX), so that wide and narrow
// stdio calls are never mixed on one stream. Numbers are formatted with "."
// as the decimal point whatever the user's locale (the program never changes
// the numeric locale).
#pragma once

#include <string>
#include <string_view>

#if defined(__MINGW32__)
#define KESTRAND_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define KESTRAND_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

namespace kestrand {

// Writes UTF-8 text to standard output / standard error as it stands.
void writeOut(std::string_view utf8);
void writeErr(std::string_view utf8);

// printf-style formatting into the same helpers.
void printOut(const char* format, ...) KESTRAND_PRINTF_FORMAT(1, 2);
void printErr(const char* format, ...) KESTRAND_PRINTF_FORMAT(1, 2);

// True when standard error is a terminal (progress lines are only for a person
// watching). False on a thread whose standard error is being collected.
bool stderrIsTerminal();

// True when standard output is a terminal.
bool stdoutIsTerminal();

// While it lives, what this thread writes to standard error is collected
// here instead of printed (a worker that reports each file's problems in a
// summary of its own). Other threads print as before. Captures do not nest.
class StderrCapture {
public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

// For the stream writers: true when the text went to this thread's capture.
bool captureStderr(std::string_view utf8);
bool stderrCaptured();

// Switches standard output to binary mode (a no-op on POSIX) before WAV bytes go there.
void setStdoutBinary();

}  // namespace kestrand
