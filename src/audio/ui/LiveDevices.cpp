#include "audio/ui/LiveDevices.h"

#include <QTimer>
#include <QWidget>

namespace fim {

LiveDevices::LiveDevices(QWidget* window, Hooks hooks)
    : window_(window), hooks_(std::move(hooks)), display_(new QTimer(window)) {
    display_->setInterval(33);
    QObject::connect(display_, &QTimer::timeout, window, [this] { hooks_.frame(); });
}

// The timer's handler refers to this object: it goes with it.
LiveDevices::~LiveDevices() { delete display_; }

bool LiveDevices::Take() {
    if (!hooks_.open()) {
        window_->hide();
        return false;
    }
    hooks_.fill();
    display_->start();
    return true;
}

void LiveDevices::Release() {
    display_->stop();
    hooks_.close();
}

void LiveDevices::AroundSettings(const std::function<void()>& openSettings) {
    Release();
    openSettings();
    Take();
}

}  // namespace fim
