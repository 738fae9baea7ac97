#include "audio/DeviceNotifier.h"

namespace fim {

void SemaphoreWakeup::Wake() noexcept {
    // Only one release may be outstanding (the semaphore counts to 1).
    if (!pending_.exchange(true, std::memory_order_acq_rel)) semaphore_.release();
}

bool SemaphoreWakeup::WaitFor(std::chrono::milliseconds timeout) {
    if (!semaphore_.try_acquire_for(timeout)) return false;
    // Cleared after the acquire so a wake that arrives while the caller drains releases again.
    pending_.store(false, std::memory_order_release);
    return true;
}

void QueuedWaveCallback::OnWaveEvent(WaveEventKind kind, WaveHeader* header, int result) noexcept {
    DeviceEvent e{kind, header, header != nullptr ? header->user : 0u, result};
    if (ring_.Push(e) && wakeup_ != nullptr) wakeup_->Wake();
}

void QueuedWaveCallback::Discard() noexcept {
    DeviceEvent e;
    while (ring_.Pop(e)) {
    }
}

void OutputDone::OnWaveEvent(WaveEventKind kind, WaveHeader* header, int result) noexcept {
    if (kind == WaveEventKind::DeviceLost) {
        if (ring_.Push(DeviceEvent{kind, nullptr, 0, result}) && wakeup_ != nullptr) {
            wakeup_->Wake();
        }
        return;
    }
    if (kind != WaveEventKind::OutputDone) return;
    const int count = OutDoneCount.fetch_add(1, std::memory_order_relaxed) + 1;
    if (count < 2) return;
    if (stopRequested_ != nullptr && stopRequested_->load(std::memory_order_acquire)) return;
    OutDoneCount.store(0, std::memory_order_relaxed);
    DeviceEvent e{kind, header, header != nullptr ? header->user : 0u, 0};
    if (ring_.Push(e) && wakeup_ != nullptr) wakeup_->Wake();
}

void OutputDone::Discard() noexcept {
    DeviceEvent e;
    while (ring_.Pop(e)) {
    }
}

}  // namespace fim
