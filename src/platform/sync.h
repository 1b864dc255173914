// Thread synchronisation: a manual-reset event whose set, reset and checks
// are plain atomic operations, so that handing work between threads costs no
// system call unless a thread has really gone to sleep.
#pragma once

#include <atomic>

#ifndef _WIN32
#include <condition_variable>
#include <mutex>
#endif

namespace kestrand {

// An event that stays signalled until it is reset, releasing every waiter.
class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled = false) : signalled_(signalled) {}
    ManualResetEvent(const ManualResetEvent&) = delete;
    ManualResetEvent& operator=(const ManualResetEvent&) = delete;

    // Signals the event; wakes sleeping waiters, and only then asks the
    // system for anything.
    void set();
    // Clears the event (an atomic store).
    void reset() { signalled_.store(false); }
    // True while the event is signalled.
    bool isSet() const { return signalled_.load(); }
    // Returns once the event is signalled: at once when it already is,
    // otherwise after sleeping until another thread sets it. Callers that
    // expect the event soon watch isSet() for a while first.
    void wait();

private:
    std::atomic<bool> signalled_;
    std::atomic<int> sleepers_{0};  // threads inside the sleeping part of wait()
#ifdef _WIN32
    void* lock_ = nullptr;       // an SRWLOCK (one pointer, zero when unlocked)
    void* condition_ = nullptr;  // a CONDITION_VARIABLE (one pointer, zero when unused)
#else
    std::mutex mutex_;
    std::condition_variable condition_;
#endif
};

}  // namespace kestrand
