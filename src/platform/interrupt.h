// A request to stop from the keyboard (Ctrl-C) or the system, for programs
// that work through many files and want to stop between two of them.
#pragma once

namespace kestrand {

// From now on the first Ctrl-C (or a termination request) only sets the
// flag that interruptRequested() reads; a second one ends the program as usual.
void watchForInterrupt();

// True once a stop was requested after watchForInterrupt().
bool interruptRequested();

}  // namespace kestrand
