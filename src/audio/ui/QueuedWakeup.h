#pragma once
// Wakes the GUI thread from an audio thread: posts one queued call that drains the device event
// rings. Wake-ups that come while a call is already waiting are folded into it.

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <functional>

#include "audio/DeviceNotifier.h"

namespace fim {

class QueuedWakeup : public UiWakeup {
  public:
    QueuedWakeup(QObject* receiver, std::function<void()> drain)
        : receiver_(receiver), drain_(std::move(drain)) {}

    // Thread: any audio thread. Posts at most one call at a time; never blocks.
    void Wake() noexcept override {
        if (pending_.exchange(true, std::memory_order_acq_rel)) return;
        QMetaObject::invokeMethod(
            receiver_,
            [this] {
                pending_.store(false, std::memory_order_release);
                drain_();
            },
            Qt::QueuedConnection);
    }

  private:
    QObject* receiver_;
    std::function<void()> drain_;
    std::atomic<bool> pending_{false};
};

}  // namespace fim
