// The kestrandjob program: renders one note described by named parameters,
// given as options, in parameter files (-af) or on standard input (-as), and
// can mix it into a growing output file.
#include <string>
#include <vector>

#include "cli/job_program.h"
#include "platform/text.h"

#ifdef _WIN32
// Windows hands the arguments over as UTF-16 text.
int wmain(int argc, wchar_t** argv) {
    kestrand::wresampMain(std::vector<std::wstring>(argv, argv + argc));
    return 0;
}
#else
// POSIX arguments are UTF-8 bytes.
int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) args.push_back(kestrand::widen(argv[i]));
    kestrand::wresampMain(args);
    return 0;
}
#endif
