// The job program: one note described by named parameters.
#pragma once

#include <string>
#include <vector>

namespace kestrand {

// The program's body (args[0] is the program name): builds the job with
// parseParameterArgs and renders it with the 16-bit render of parameter jobs.
// "--help" or "--version" as the only argument prints that text instead.
void wresampMain(const std::vector<std::wstring>& args);

}  // namespace kestrand
