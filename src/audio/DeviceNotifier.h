#pragma once
// How device notifications reach the UI thread: the audio thread copies an event into a
// single-producer/single-consumer ring and wakes the UI thread, which drains the ring in order.
// The GUI wakes its event loop with a queued call; fimtool and tests wait on a semaphore.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <semaphore>

#include "audio/SpscRing.h"
#include "audio/WaveDevices.h"

namespace fim {

// Wakes the UI thread so that it drains the event rings.
class UiWakeup {
  public:
    virtual ~UiWakeup() = default;
    // Thread: any audio thread. Must not block or allocate; wake-ups may be coalesced.
    virtual void Wake() noexcept = 0;
};

// A wake-up that a plain loop waits on (fimtool, tests).
class SemaphoreWakeup : public UiWakeup {
  public:
    void Wake() noexcept override;
    // UI thread: waits until woken or the timeout passes; true when woken.
    bool WaitFor(std::chrono::milliseconds timeout);

  private:
    std::atomic<bool> pending_{false};
    std::counting_semaphore<1> semaphore_{0};
};

// One notification as the UI thread sees it.
struct DeviceEvent {
    WaveEventKind kind = WaveEventKind::OutputDone;
    WaveHeader* header = nullptr;  // the finished header (null for DeviceLost)
    uint32_t user = 0;             // the header's user value at the time of the event
    int result = 0;                // DeviceLost: the device's error
};

using DeviceEventRing = SpscRing<DeviceEvent, 64>;

// Forwards every notification of one device direction to the UI thread: the level setup and the
// feedback finder receive their input and output notifications this way.
class QueuedWaveCallback : public WaveCallback {
  public:
    explicit QueuedWaveCallback(UiWakeup* wakeup) : wakeup_(wakeup) {}
    // Thread: audio thread. Copies the event and wakes the UI thread; drops it when the ring is
    // full (64 unconsumed events mean the UI thread is not draining anyway).
    void OnWaveEvent(WaveEventKind kind, WaveHeader* header, int result) noexcept override;
    // UI thread.
    bool Next(DeviceEvent& event) noexcept { return ring_.Pop(event); }
    void Discard() noexcept;

  private:
    UiWakeup* wakeup_;
    DeviceEventRing ring_;
};

// The output callback of an MLS measurement: counts finished output headers and, after every
// second one, posts one "period done" event carrying the second header, unless a stop is pending.
// A lost device is always posted.
class OutputDone : public WaveCallback {
  public:
    OutputDone(UiWakeup* wakeup, const std::atomic<bool>* stopRequested)
        : wakeup_(wakeup), stopRequested_(stopRequested) {}

    // Thread: the output device's audio thread. Touches only the counter, reads the stop flag,
    // copies into the ring and wakes the UI thread.
    void OnWaveEvent(WaveEventKind kind, WaveHeader* header, int result) noexcept override;

    // UI thread: before every start of the output.
    void ResetCount() noexcept { OutDoneCount.store(0, std::memory_order_relaxed); }
    // UI thread: the next posted event (kind OutputDone = a period is done, or DeviceLost).
    bool Next(DeviceEvent& event) noexcept { return ring_.Pop(event); }
    // UI thread: whether events are waiting.
    bool Pending() const noexcept { return !ring_.Empty(); }
    // UI thread: drops every posted event (used after the devices were reset).
    void Discard() noexcept;

    std::atomic<int> OutDoneCount{0};

  private:
    UiWakeup* wakeup_;
    const std::atomic<bool>* stopRequested_;
    DeviceEventRing ring_;
};

}  // namespace fim
