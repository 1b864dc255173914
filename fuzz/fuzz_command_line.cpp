// libFuzzer target: the note's command line. The input is split at NUL bytes
// into up to 20 arguments (UTF-8, after the program name); parsing must never
// read outside a buffer, and the job it fills must be consistent.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.h"
#include "fuzz_support.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kMaxArguments = 20;

std::vector<std::wstring> splitArguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::wstring> args{L"kestrand"};
    for (const std::string_view piece : kestrand::fuzz::splitAtNul(data, size, kMaxArguments))
        args.push_back(kestrand::widen(piece));
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
    kestrand::fuzz::checkCurves(job);
    // The number lists that hosts send in other arguments.
    kestrand::fuzz::checkNumberList(kestrand::parseNumberList(args.back()));
    volatile float sink = kestrand::noteNameToFrequency(args.back());
    (void)sink;
    return 0;
}
