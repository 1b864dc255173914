// The kestrandfrq program: builds the frequency lists of whole voice folders
// on every core, with progress, a summary and an optional HTML report.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrand {

struct FrqOptions {
    bool rebuild = false;                // analyse every sample, whatever its list
    bool checkOnly = false;              // analyse nothing; judge the stored lists
    std::optional<std::wstring> report;  // the HTML page to write
    int jobs = 0;                        // samples at once; 0: one per processor
    std::vector<std::wstring> paths;     // folders (or samples)
};

// The options of a command line (args[0] is the program name); nothing, with
// the reason in `error`, when it is not a valid one.
std::optional<FrqOptions> parseFrqOptions(const std::vector<std::wstring>& args, std::string& error);

// The program's body. Returns the exit status: 0 when every sample has a good
// list, 1 when any failed (or, checking only, any list is missing, older than
// its sample or does not fit it), 2 on wrong usage, 130 when interrupted.
int kestrandFrqMain(const std::vector<std::wstring>& args);

}  // namespace kestrand
