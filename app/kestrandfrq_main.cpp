// The kestrandfrq program: builds the frequency lists of whole voice folders.
#include <string>
#include <vector>

#include "cli/frq_program.h"
#include "platform/text.h"

#ifdef _WIN32
// Windows hands the arguments over as UTF-16 text.
int wmain(int argc, wchar_t** argv) { return kestrand::kestrandFrqMain(std::vector<std::wstring>(argv, argv + argc)); }
#else
// POSIX arguments are UTF-8 bytes.
int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) args.push_back(kestrand::widen(argv[i]));
    return kestrand::kestrandFrqMain(args);
}
#endif
