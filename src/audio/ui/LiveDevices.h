#pragma once
// The sound-card side of a window that shows the devices live (the level monitor, the feedback
// finder): its model holds the devices while the window shows, the display timer (about 30 frames
// a second) runs only while they are held, and the settings dialog gets them free meanwhile.

#include <functional>

class QTimer;
class QWidget;

namespace fim {

class LiveDevices {
  public:
    struct Hooks {
        std::function<bool()> open;   // takes the devices; false when they cannot be set up
        std::function<void()> close;  // lets them go (nothing when they are not held)
        std::function<void()> fill;   // fills the window from the model after an open
        std::function<void()> frame;  // the display timer's work
    };
    // `window` owns the display timer and is hidden when the devices cannot be taken.
    LiveDevices(QWidget* window, Hooks hooks);
    ~LiveDevices();
    LiveDevices(const LiveDevices&) = delete;
    LiveDevices& operator=(const LiveDevices&) = delete;

    // Takes the devices, fills the window and starts the display; false (window hidden) when
    // the devices could not be set up.
    bool Take();
    // Stops the display and lets the devices go.
    void Release();
    // Lets the devices go while `openSettings` runs (it may change device, format or level) and
    // takes them again with the new settings.
    void AroundSettings(const std::function<void()>& openSettings);

  private:
    QWidget* window_;
    Hooks hooks_;
    QTimer* display_;
};

}  // namespace fim
