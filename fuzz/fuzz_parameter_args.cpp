// libFuzzer target: the command line of a parameter job. The input is split
// at NUL bytes into up to 20 arguments (UTF-8, after the program name).
// "-af" names a file: the argument after it is written to a scratch file
// whose name takes its place, so the file reader sees fuzzed content too;
// "-as" (standard input) becomes "-af" the same way, so that nothing waits
// on the fuzzer's own input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/parameter_job.h"
#include "fuzz_support.h"
#include "platform/text.h"

namespace {

constexpr std::size_t kMaxArguments = 20;

const std::string& scratchPath() { return kestrand::fuzz::scratchPath("fuzz_parameter_args", ".txt"); }

std::vector<std::wstring> buildArguments(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> pieces = kestrand::fuzz::splitAtNul(data, size, kMaxArguments);
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
            if (!kestrand::fuzz::writeScratch(scratchPath(), pieces[i + 1].data(), pieces[i + 1].size())) break;
        }
        args.push_back(kestrand::widen(scratchPath()));
        ++i;
    }
    return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::wstring> args = buildArguments(data, size);
    const kestrand::RenderJob job = kestrand::parseParameterArgs(args);
    std::remove(scratchPath().c_str());
    kestrand::fuzz::checkCurves(job);
    if (job.volumeEnvelope) kestrand::fuzz::checkNumberList(*job.volumeEnvelope);
    return 0;
}
