// libFuzzer target: the note's command line. The input is split at NUL bytes
// into up to 20 arguments (UTF-8, after the program name); parsing must never
// read outside a buffer, and the job it fills must be consistent.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bend/pitch_curve.h"
#include "cli/command_line.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kMaxArguments = 20;

std::vector<std::wstring> splitArguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> args{L"kestrand"};
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (args.size() <= kMaxArguments && start <= all.size()) {
        const std::size_t end = std::min(all.find('\0', start), all.size());
        args.push_back(kestrand::widen(all.substr(start, end - start)));
        start = end + 1;
    }
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> args = splitArguments(data, size);
    kestrand::RenderJob job;
    const int count = kestrand::parseCommandLine(job, args);
    if (count != 1 && count != static_cast<int>(args.size())) __builtin_trap();
    if (count > 1) {
        // An accepted input text is never longer than the limit.
        if (!job.voiceFile || job.voiceFile->size() > kestrand::kMaxInputTextLength) __builtin_trap();
        if (count > 2 && (!job.outFile || *job.outFile != args[2])) __builtin_trap();
    }
    for (const auto* curve : {&job.pitchBend, &job.intensity}) {
        if (*curve && (*curve)->values.size() > kestrand::kMaxPitchCurveValues) __builtin_trap();
    }
    // The number lists that hosts send in other arguments.
    const auto list = kestrand::parseNumberList(args.back());
    if (list.empty() || static_cast<std::size_t>(list[0]) != list.size() - 1) __builtin_trap();
    volatile float sink = kestrand::noteNameToFrequency(args.back());
    (void)sink;
    return 0;
}
