// libFuzzer target: list files of any content must load or be refused
// without reading outside a buffer, and a loaded list must be consistent.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "f0/frequency_list.h"
#include "fuzz_support.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = kestrand::fuzz::scratchPath("fuzz_frequency_list", ".frq");
    if (!kestrand::fuzz::writeScratch(path, data, size)) return 0;

    const auto list = kestrand::loadFrequencyList(kestrand::widen(path));
    if (list) {
        const auto count = static_cast<std::size_t>(list->listSize);
        if (list->listSize < 1 || list->frequencies.size() != count + 1 || list->amplitudes.size() != count + 1 ||
            size < 40 + 16 * count)
            std::abort();
    }
    return 0;
}
