// libFuzzer target: splitting command lines from the input text. The input is
// UTF-8 text; both splitters must stay inside it, the program's own words
// never hold a double quote, and the Windows command line built from the
// Windows split splits back into the same arguments.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/command_words.h"
#include "platform/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = kestrand::widen(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const std::wstring& word : kestrand::splitCommandWords(text)) {
        if (word.find(L'"') != std::wstring::npos) __builtin_trap();
    }
    const auto arguments = kestrand::splitWindowsCommandLine(text);
    if (!arguments.empty() &&
        kestrand::splitWindowsCommandLine(kestrand::joinWindowsCommandLine(arguments)) != arguments) {
        __builtin_trap();
    }
    return 0;
}
