#pragma once
// A run controller's view and host that show and ask nothing, for benchmarks that drive the
// controller or a window model over it.

#include <string>

#include "audio/RunController.h"
#include "core/RunView.h"

namespace fim::bench {

class NullView : public RunView {
  public:
    void SetStatusPanel(int, const std::string&) override {}
    void RedrawImpulse() override {}
};

class NullHost : public RunHost {
  public:
    void OpenSoundSettings() override {}
    void Terminate() override {}
    void Pause(int) override {}
};

}  // namespace fim::bench
