#include "audio/platform/PortAudioSoundPlayer.h"

#include <portaudio.h>

#include <algorithm>
#include <cstring>

#include "audio/WaveFile.h"

namespace fim {

namespace {
// Longer files are cut: an alarm needs no more, and the whole sound is held in memory.
constexpr uint64_t kMaxSeconds = 600;

// Audio thread (PortAudio's callback): copies the next frames, silence after the end, and ends
// the stream once the sound is through. It never allocates, locks or waits.
int PlayCallback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                 PaStreamCallbackFlags, void* user) {
    auto* sound = static_cast<PortAudioSoundPlayer::Sound*>(user);
    auto* out = static_cast<int16_t*>(output);
    const std::size_t wanted = frames * static_cast<std::size_t>(sound->channels);
    const std::size_t left = sound->samples.size() - sound->position;
    const std::size_t n = std::min(wanted, left);
    std::memcpy(out, sound->samples.data() + sound->position, n * sizeof(int16_t));
    std::fill(out + n, out + wanted, int16_t{0});
    sound->position += n;
    if (sound->position < sound->samples.size()) return paContinue;
    sound->finished.store(true, std::memory_order_release);
    return paComplete;
}

}  // namespace

PortAudioSoundPlayer::~PortAudioSoundPlayer() {
    CloseStream();
    if (initialised_) Pa_Terminate();
}

bool PortAudioSoundPlayer::Playing() const {
    return stream_ != nullptr && sound_ && !sound_->finished.load(std::memory_order_acquire) &&
           Pa_IsStreamActive(static_cast<PaStream*>(stream_)) == 1;
}

void PortAudioSoundPlayer::CloseStream() {
    if (stream_ == nullptr) return;
    auto* s = static_cast<PaStream*>(stream_);
    Pa_AbortStream(s);
    Pa_CloseStream(s);
    stream_ = nullptr;
    sound_.reset();
}

bool PortAudioSoundPlayer::Play(const std::string& path) {
    if (Playing()) return false;
    CloseStream();

    WaveData wave;
    if (ReadWave16(path, wave) != WaveStatus::Ok) return false;
    const int channels = wave.format.channels;
    const uint32_t rate = wave.format.sampleRate;
    if (channels < 1 || channels > 2 || rate == 0 || wave.Frames() == 0) return false;
    auto sound = std::make_unique<Sound>();
    sound->channels = channels;
    sound->samples = std::move(wave.samples);
    const std::size_t limit = static_cast<std::size_t>(rate * kMaxSeconds) * channels;
    if (sound->samples.size() > limit) sound->samples.resize(limit);

    if (!initialised_) {
        if (Pa_Initialize() != paNoError) return false;
        initialised_ = true;
    }
    PaStream* stream = nullptr;
    if (Pa_OpenDefaultStream(&stream, 0, channels, paInt16, rate, paFramesPerBufferUnspecified,
                             &PlayCallback, sound.get()) != paNoError) {
        return false;
    }
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return false;
    }
    stream_ = stream;
    sound_ = std::move(sound);
    return true;
}

}  // namespace fim
