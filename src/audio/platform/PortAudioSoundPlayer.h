#pragma once
// Plays a 16-bit PCM WAVE file (mono or stereo) on the system's default output through a
// PortAudio stream of its own, beside whatever the measurement devices do. Playing is
// asynchronous; a sound still playing is never interrupted.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/SoundFilePlayer.h"

namespace fim {

class PortAudioSoundPlayer : public SoundFilePlayer {
  public:
    PortAudioSoundPlayer() = default;
    ~PortAudioSoundPlayer() override;
    PortAudioSoundPlayer(const PortAudioSoundPlayer&) = delete;
    PortAudioSoundPlayer& operator=(const PortAudioSoundPlayer&) = delete;

    bool Play(const std::string& path) override;
    // Whether a sound started by Play is still playing.
    bool Playing() const;

    // What the stream plays. Written before the stream starts; then the audio thread owns
    // `position` and sets `finished`, the UI thread only reads `finished`.
    struct Sound {
        std::vector<int16_t> samples;  // interleaved
        int channels = 1;
        std::size_t position = 0;  // in samples
        std::atomic<bool> finished{false};
    };

  private:
    void CloseStream();

    bool initialised_ = false;
    void* stream_ = nullptr;  // PaStream
    std::unique_ptr<Sound> sound_;
};

}  // namespace fim
