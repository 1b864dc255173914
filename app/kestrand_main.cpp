// The kestrand program: one note per run, as a vocal-synthesis host starts it.
#include <string>
#include <vector>

#include "cli/note_program.h"
#include "platform/text.h"

#ifdef _WIN32
// Windows hands the arguments over as UTF-16 text.
int wmain(int argc, wchar_t** argv) { return kestrand::kestrandMain(std::vector<std::wstring>(argv, argv + argc)); }
#else
// POSIX arguments are UTF-8 bytes.
int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) args.push_back(kestrand::widen(argv[i]));
    return kestrand::kestrandMain(args);
}
#endif
