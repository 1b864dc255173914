#include "platform/sync.h"

namespace kestrand {

// The setter stores the flag before it looks for sleepers, and a sleeper
// counts itself before it looks at the flag (both sequentially consistent),
// so either the setter sees the sleeper or the sleeper sees the flag. The
// notification goes out under the lock, so it cannot fall between a
// sleeper's last look and its sleep.
void ManualResetEvent::set() {
    signalled_.store(true);
    if (sleepers_.load() == 0) return;
    { std::lock_guard lock(mutex_); }
    condition_.notify_all();
}

void ManualResetEvent::wait() {
    if (signalled_.load()) return;
    std::unique_lock lock(mutex_);
    sleepers_.fetch_add(1);
    while (!signalled_.load()) condition_.wait(lock);
    sleepers_.fetch_sub(1);
}

}  // namespace kestrand
