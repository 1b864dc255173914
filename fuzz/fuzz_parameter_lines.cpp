// libFuzzer target: parameter lines of any content, and any value for every
// key with a value form of its own, must build a consistent job without
// reading outside a buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "cli/parameter_job.h"
#include "fuzz_support.h"
#include "platform/text.h"

namespace {

// Keys whose values are more than a number or a copied text.
constexpr std::wstring_view kKeys[] = {L"pitchbend", L"intensity", L"envelope",  L"tone",    L"flags",
                                       L"samples",   L"velocity",  L"voicefile", L"overlap", L"x"};

void checkJob(const kestrand::RenderJob& job) {
    kestrand::fuzz::checkCurves(job);
    if (job.volumeEnvelope) kestrand::fuzz::checkNumberList(*job.volumeEnvelope);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto job = kestrand::newRenderJob();
    if (size > 0) {
        std::FILE* stream = kestrand::fuzz::memoryStream(data, size);
        if (stream == nullptr) return 0;
        kestrand::readParameterLines(job, stream);
        std::fclose(stream);
        checkJob(job);

        // The first byte picks a key, the rest is its value.
        const std::wstring_view key = kKeys[data[0] % std::size(kKeys)];
        const std::wstring value = kestrand::widen(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
        const bool known = kestrand::setJobParameter(job, key, value);
        if (known != (key != L"x")) __builtin_trap();
        checkJob(job);
    }
    return 0;
}
