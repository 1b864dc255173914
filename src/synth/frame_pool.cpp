#include "synth/frame_pool.h"

#include <thread>

#include "platform/system_info.h"

namespace kestrand {

namespace {

// Spins of the waits below: long enough to cover a frame being finished on
// another processor, short next to a note.
constexpr double kSpinSeconds = 40e-6;

inline void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

bool anyHandedOver(const WorkerPool& pool) {
    for (const auto& slot : pool.slots) {
        if (slot->state.load() == 1) return true;
    }
    return false;
}

void processAndSignal(WorkerSlot& slot, FrameWork& work) {
    processFrame(*slot.shared, slot.request, work);
    slot.state.store(0);
    slot.doneEvent.set();
}

}  // namespace

WorkerSlot* claimOldest(WorkerPool& pool) {
    const std::size_t count = pool.slots.size();
    const std::size_t first = pool.oldest.load();
    for (std::size_t k = 0; k < count; ++k) {
        WorkerSlot& slot = *pool.slots[(first + k) % count];
        int handedOver = 1;
        if (slot.state.compare_exchange_strong(handedOver, 2)) return &slot;
    }
    return nullptr;
}

void workerThreadMain(WorkerSlot& slot) {
    WorkerPool& pool = *slot.pool;
    // Made with the first frame: a thread may start after the render it was
    // started for has finished, and then touches nothing but the pool.
    std::unique_ptr<FrameWork> work;
    // Whoever started or woke this thread counted it as awake.
    for (;;) {
        for (;;) {
            if (WorkerSlot* frame = claimOldest(pool)) {
                if (!work) {
                    work = std::make_unique<FrameWork>();
                    work->prepare(*frame->shared);
                }
                processAndSignal(*frame, *work);
                continue;
            }
            bool found = false;
            const double until = highResolutionSeconds() + kSpinSeconds;
            while (!found && highResolutionSeconds() < until) {
                relax();
                found = anyHandedOver(pool);
            }
            if (found) continue;
            pool.active.fetch_sub(1);
            slot.sleeping.store(true);
            // A frame handed over while this thread still counted as awake
            // woke nobody: look once more, and stay awake unless a waker has
            // claimed this thread in between (it then sets the event).
            if (anyHandedOver(pool) && slot.sleeping.exchange(false)) {
                pool.active.fetch_add(1);
                continue;
            }
            break;
        }
        slot.startEvent.wait();
        slot.startEvent.reset();
        if (slot.state.load() == -1) return;
    }
}

void handOver(const std::shared_ptr<WorkerPool>& pool, std::size_t index) {
    WorkerSlot& slot = *pool->slots[index];
    // Reset before the state says "handed over": whoever takes the frame
    // sets the event after this.
    slot.doneEvent.reset();
    slot.state.store(1);
    if (pool->active.load() >= pool->wantActive) return;
    // Wake a sleeping worker, or start another while there are fewer than
    // the render's thread count.
    for (int t = 0; t < pool->started; ++t) {
        WorkerSlot& worker = *pool->slots[static_cast<std::size_t>(t)];
        if (worker.sleeping.exchange(false)) {
            pool->active.fetch_add(1);
            worker.startEvent.set();
            return;
        }
    }
    if (pool->started < static_cast<int>(pool->slots.size())) {
        const std::size_t t = static_cast<std::size_t>(pool->started++);
        pool->active.fetch_add(1);
        std::thread([pool, t] { workerThreadMain(*pool->owned[t]); }).detach();
    }
}

void finishSlot(WorkerPool& pool, std::size_t next) {
    WorkerSlot& target = *pool.slots[next];
    while (target.state.load() != 0) {
        if (WorkerSlot* frame = claimOldest(pool)) {
            if (!pool.driverWork) {
                pool.driverWork = std::make_unique<FrameWork>();
                pool.driverWork->prepare(*frame->shared);
            }
            processAndSignal(*frame, *pool.driverWork);
            continue;
        }
        // The frame is being processed elsewhere: watch it, then sleep.
        const double until = highResolutionSeconds() + kSpinSeconds;
        while (target.state.load() != 0 && highResolutionSeconds() < until) relax();
        if (target.state.load() != 0) target.doneEvent.wait();
    }
    // Whoever finished the frame sets the event right after it.
    target.doneEvent.wait();
}

}  // namespace kestrand
