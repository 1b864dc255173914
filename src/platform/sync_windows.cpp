#include <windows.h>

#include "platform/sync.h"

namespace kestrand {

// Slim reader/writer locks and condition variables wait on addresses inside
// the process, so waking a thread takes no round trip through event objects
// (which under Wine go through its server). Ordering as in the POSIX version.
static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*));

namespace {

SRWLOCK* asLock(void*& storage) { return reinterpret_cast<SRWLOCK*>(&storage); }
CONDITION_VARIABLE* asCondition(void*& storage) { return reinterpret_cast<CONDITION_VARIABLE*>(&storage); }

}  // namespace

void ManualResetEvent::set() {
    signalled_.store(true);
    if (sleepers_.load() == 0) return;
    AcquireSRWLockExclusive(asLock(lock_));
    ReleaseSRWLockExclusive(asLock(lock_));
    WakeAllConditionVariable(asCondition(condition_));
}

void ManualResetEvent::wait() {
    if (signalled_.load()) return;
    AcquireSRWLockExclusive(asLock(lock_));
    sleepers_.fetch_add(1);
    while (!signalled_.load()) SleepConditionVariableSRW(asCondition(condition_), asLock(lock_), INFINITE, 0);
    sleepers_.fetch_sub(1);
    ReleaseSRWLockExclusive(asLock(lock_));
}

}  // namespace kestrand
