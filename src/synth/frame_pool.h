// The frames of one render as a pool: the driver hands frames over to worker
// threads through slots and adds the finished frames into the note in
// hand-over order, so the result does not depend on the thread count.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/sync.h"
#include "synth/frame.h"

namespace kestrand {

struct WorkerSlot;

// The slots of a render as one pool of frames: any thread may take any frame
// that was handed over and not started (state 1 -> 2), oldest first; the
// driver adds the finished frames into the note in hand-over order. The
// worker threads share ownership of the pool and end by themselves after the
// render, so nothing waits for them.
struct WorkerPool {
    std::vector<std::unique_ptr<WorkerSlot>> owned;
    std::span<const std::unique_ptr<WorkerSlot>> slots;  // = owned
    std::atomic<std::size_t> oldest{0};                  // the slot handed over longest ago (the driver's next)
    std::atomic<int> active{0};                          // worker threads awake and looking for frames
    int wantActive = 1;                                  // wake a sleeping worker while fewer are awake
    int started = 0;                                     // worker threads started so far (by the driver)
    std::unique_ptr<FrameWork> driverWork;               // the driver's, made when it first takes a frame
};

// One worker thread's frame record.
struct WorkerSlot {
    int index = 0;
    const SynthesisShared* shared = nullptr;
    WorkerPool* pool = nullptr;
    std::atomic<bool> sleeping{false};  // this slot's thread waits on startEvent, claimable by a waker
    FrameRequest request;               // written by the driver while the slot is idle
    std::atomic<int> state{0};          // 1 handed over, 2 running, 0 done, -1 end the thread
    bool pending = false;               // driver: frame not yet added into the note
    ManualResetEvent startEvent{false};
    ManualResetEvent doneEvent{true};
};

// Takes the oldest frame handed over and not started, moving its slot from
// state 1 to 2 in one atomic step, so that of several threads asking at once
// exactly one gets each frame. Null when there is none.
WorkerSlot* claimOldest(WorkerPool& pool);

// Body of a worker thread (one per slot, started when first needed): while
// there are frames handed over and not started in the pool, it takes the
// oldest, processes it and signals that slot done, looking a little longer
// before it sleeps on its slot's start event. Ends when woken with its slot's
// state at -1.
void workerThreadMain(WorkerSlot& slot);

// Hands the frame written into slot `index` over to the pool; while fewer
// workers than wanted are awake, wakes a sleeping one or starts another (up
// to one per slot).
void handOver(const std::shared_ptr<WorkerPool>& pool, std::size_t index);

// Waits until slot `next` has finished its frame. Rather than wait idle, the
// calling thread takes frames that were handed over but not started yet,
// oldest first, and processes them itself; then it watches the slot for a
// short while before it sleeps on the slot's done event.
void finishSlot(WorkerPool& pool, std::size_t next);

}  // namespace kestrand
