#pragma once
// A fixed-capacity single-producer/single-consumer ring of trivially copyable values, the only
// channel between an audio thread and the UI thread. No locks, no allocation after construction.

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

namespace fim {

template <typename T, std::size_t Capacity>
class SpscRing {
    static_assert(std::is_trivially_copyable_v<T>);
    static_assert((Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

  public:
    // Producer thread only. False when full (the value is not stored).
    bool Push(const T& value) noexcept {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        // Acquire pairs with the consumer's release of tail_: the slot we are about to overwrite
        // has been read completely.
        if (head - tail_.load(std::memory_order_acquire) == Capacity) return false;
        slots_[head & (Capacity - 1)] = value;
        // Release: the slot's contents are visible before the consumer sees the new head.
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    // Consumer thread only. False when empty.
    bool Pop(T& value) noexcept {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        // Acquire pairs with the producer's release of head_: the slot is fully written.
        if (head_.load(std::memory_order_acquire) == tail) return false;
        value = slots_[tail & (Capacity - 1)];
        // Release: the slot may be reused only after we have copied it out.
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer thread only: the next value without removing it.
    bool Peek(T& value) const noexcept {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (head_.load(std::memory_order_acquire) == tail) return false;
        value = slots_[tail & (Capacity - 1)];
        return true;
    }

    bool Empty() const noexcept {
        return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
    }

  private:
    std::array<T, Capacity> slots_{};
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
};

}  // namespace fim
