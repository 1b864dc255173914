// The frame pool's claim: of several threads asking for frames at once,
// exactly one gets each frame handed over.
#include "synth/frame_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace kestrand {
namespace {

// Waits until the condition holds: spinning first, so that threads let loose
// together really run together, then giving the processor away, so that a
// busy machine does not stall.
template <typename Condition>
void waitFor(Condition condition) {
    for (int spins = 0; !condition(); ++spins) {
        if (spins > 100000) std::this_thread::yield();
    }
}

TEST(FramePool, EveryFrameHandedOverIsClaimedExactlyOnce) {
    // Few slots and threads that spin rather than sleep, so that the threads
    // reach the same slot at the same moment as often as possible.
    constexpr int kSlots = 64;
    constexpr int kThreads = 2;
    constexpr int kRounds = 20000;
    // At most this long: enough rounds for two threads on two processors to
    // meet on one slot many times over.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    WorkerPool pool;
    for (int i = 0; i < kSlots; ++i) {
        pool.owned.push_back(std::make_unique<WorkerSlot>());
        pool.owned.back()->index = i;
    }
    pool.slots = pool.owned;

    std::vector<std::atomic<int>> claims(kSlots);
    std::atomic<int> ready{0};
    std::atomic<int> round{-1};
    std::atomic<int> finished{0};
    std::atomic<int> rounds{kRounds};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int r = 0; r < rounds.load(); ++r) {
                ready.fetch_add(1);
                waitFor([&] { return round.load() >= r; });
                while (WorkerSlot* slot = claimOldest(pool)) claims[static_cast<std::size_t>(slot->index)].fetch_add(1);
                finished.fetch_add(1);
            }
        });
    }
    int doubled = 0, missed = 0;
    for (int r = 0; r < rounds.load(); ++r) {
        // Every slot handed over, then all threads let loose on them at once.
        waitFor([&] { return ready.load() >= kThreads * (r + 1); });
        for (auto& count : claims) count.store(0);
        for (const auto& slot : pool.owned) slot->state.store(1);
        pool.oldest.store(static_cast<std::size_t>(r % kSlots));
        round.store(r);
        waitFor([&] { return finished.load() >= kThreads * (r + 1); });
        for (const auto& count : claims) {
            doubled += count.load() > 1;
            missed += count.load() == 0;
        }
        // Past the deadline the threads finish the round after this one.
        if (r + 2 < kRounds && rounds.load() == kRounds && std::chrono::steady_clock::now() > deadline)
            rounds.store(r + 2);
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(doubled, 0);
    EXPECT_EQ(missed, 0);
}

}  // namespace
}  // namespace kestrand
