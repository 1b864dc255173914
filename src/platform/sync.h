// Thread synchronisation helpers: a manual-reset event and a mutex.
#pragma once

#include <condition_variable>
#include <mutex>

namespace kestrand {

using Mutex = std::mutex;

// An event that stays signalled until it is reset, releasing every waiter.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled = false) : signalled_(signalled) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    void set() {
        {
            std::lock_guard lock(mutex_);
            signalled_ = true;
        }
        condition_.notify_all();
    }
    void reset() {
        std::lock_guard lock(mutex_);
        signalled_ = false;
    }
    // Waits without a time-out until the event is signalled.
    void wait() {
        std::unique_lock lock(mutex_);
        condition_.wait(lock, [this] { return signalled_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable condition_;
    bool signalled_;
};

}  // namespace kestrand
