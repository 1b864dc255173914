#include <windows.h>

#include <atomic>

#include "platform/interrupt.h"

namespace kestrand {

namespace {

std::atomic<bool> requested{false};

// The first Ctrl-C or Ctrl-Break is taken; a second goes on to the default
// handler, which ends the program.
BOOL WINAPI onControl(DWORD kind) {
    if (kind != CTRL_C_EVENT && kind != CTRL_BREAK_EVENT) return FALSE;
    return requested.exchange(true) ? FALSE : TRUE;
}

}  // namespace

void watchForInterrupt() { ::SetConsoleCtrlHandler(onControl, TRUE); }

bool interruptRequested() { return requested.load(); }

}  // namespace kestrand
