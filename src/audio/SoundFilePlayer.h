#pragma once
// Plays a sound file on the system's default output, in a stream of its own: never through the
// measurement's devices.

#include <string>

namespace fim {

class SoundFilePlayer {
  public:
    virtual ~SoundFilePlayer() = default;
    // Starts playing the WAVE file `path` and returns at once; true when playing started. False
    // while a sound started earlier still plays (it is not interrupted), or when the file or
    // the output cannot be used. UI thread only.
    virtual bool Play(const std::string& path) = 0;
};

}  // namespace fim
