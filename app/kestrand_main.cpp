// The kestrand program: one note per run, as a vocal-synthesis host starts it.
#include <string>
#include <vector>

#include "entry/program.h"
#include "platform/text.h"

int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    args.reserve(static_cast<std::size_t>(argc));
    for (int i = 0; i < argc; ++i) args.push_back(kestrand::widen(argv[i]));
    return kestrand::kestrandMain(args);
}
