// libFuzzer target: the command line of a parameter job. The input is split
// at NUL bytes into up to 20 arguments (UTF-8, after the program name).
// "-af" names a file: the argument after it is written to a scratch file
// whose name takes its place, so the file reader sees fuzzed content too;
// "-as" (standard input) becomes "-af" the same way, so that nothing waits
// on the fuzzer's own input.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bend/pitch_curve.h"
#include "cli/parameter_job.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kMaxArguments = 20;

const std::string& scratchPath() {
    static const std::string path = [] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder != nullptr ? folder : "/tmp") + "/fuzz_parameter_args_" + std::to_string(::getpid()) +
               ".txt";
    }();
    return path;
}

std::vector<std::wstring> buildArguments(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> pieces;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (pieces.size() < kMaxArguments && start <= all.size()) {
        const std::size_t end = std::min(all.find('\0', start), all.size());
        pieces.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::wstring> args{L"kestrand"};
    int files = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i] != "-af" && pieces[i] != "-as") {
            args.push_back(kestrand::widen(pieces[i]));
            continue;
        }
        args.push_back(L"-af");
        if (i + 1 >= pieces.size()) break;
        // One scratch file per run is enough: later "-af" read the same one.
        if (files++ == 0) {
            std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
            if (file == nullptr) break;
            std::fwrite(pieces[i + 1].data(), 1, pieces[i + 1].size(), file);
            std::fclose(file);
        }
        args.push_back(kestrand::widen(scratchPath()));
        ++i;
    }
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> args = buildArguments(data, size);
    auto job = kestrand::parseParameterArgs(args);
    std::remove(scratchPath().c_str());
    if (!job) __builtin_trap();
    for (const auto* curve : {&job.pitchBend, &job.intensity}) {
        if (*curve && (*curve)->values.size() > kestrand::kMaxPitchCurveValues) __builtin_trap();
    }
    if (job.volumeEnvelope) {
        const auto& list = *job.volumeEnvelope;
        if (list.empty() || static_cast<std::size_t>(list[0]) != list.size() - 1) __builtin_trap();
    }
    return 0;
}
