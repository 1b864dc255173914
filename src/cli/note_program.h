// The process entry: banner, command line, G flag, render.
#pragma once

#include <string>
#include <vector>

namespace kestrand {

// args[0] is the program name. Returns the exit status: 1 without any
// argument (after the banner), otherwise 0. "--help" or "--version" as the
// only argument prints that text and renders nothing.
int kestrandMain(const std::vector<std::wstring>& args);

// The two banner lines.
void printBanner();

}  // namespace kestrand
