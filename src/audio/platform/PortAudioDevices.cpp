#include "audio/platform/PortAudioDevices.h"

#include <portaudio.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <future>
#include <mutex>

#include "audio/platform/SoundSystemLog.h"
#include "core/MeasurementState.h"
namespace fim {

namespace {

PaSampleFormat SampleFormat(const DeviceFormat& f) {
    switch (f.bitsPerSample) {
        case 8:
            return paUInt8;
        case 16:
            return paInt16;
        case 20:
        case 24:
            return paInt32;  // 4-byte containers
        default:
            return 0;
    }
}

bool MakeParameters(int device, const DeviceFormat& f, bool input, PaStreamParameters& p) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr || SampleFormat(f) == 0 || f.formatTag != 1) return false;
    std::memset(&p, 0, sizeof p);
    p.device = device;
    p.channelCount = f.channels;
    p.sampleFormat = SampleFormat(f);
    // Generous buffering: a measurement must never lose a sample; the latency itself is measured.
    p.suggestedLatency = input ? info->defaultHighInputLatency : info->defaultHighOutputLatency;
    return true;
}

// Thread: PortAudio's input callback thread. No locks, no allocation: copies the captured frames
// into the queued headers and reports each filled one.
int InputCallback(const void* input, void*, unsigned long frames, const PaStreamCallbackTimeInfo*,
                  PaStreamCallbackFlags, void* user) {
    auto& d = *static_cast<PortAudioDevices::Direction*>(user);
    if (input == nullptr || !d.active.load(std::memory_order_acquire)) return paContinue;
    const auto* src = static_cast<const std::byte*>(input);
    std::size_t bytes = frames * d.format.blockAlign;
    while (bytes > 0) {
        if (d.current == nullptr && !d.queue.Pop(d.current)) {  // nothing queued: lost
            d.lostFrames.fetch_add(bytes / d.format.blockAlign, std::memory_order_relaxed);
            break;
        }
        WaveHeader& h = *d.current;
        const std::size_t n = std::min<std::size_t>(bytes, h.bufferLength - d.position);
        std::memcpy(h.data + d.position, src, n);
        d.position += static_cast<uint32_t>(n);
        h.bytesRecorded.store(d.position, std::memory_order_release);
        src += n;
        bytes -= n;
        if (d.position >= h.bufferLength) {
            d.current = nullptr;
            d.position = 0;
            uint32_t f = h.flags.load(std::memory_order_relaxed);
            while (!h.flags.compare_exchange_weak(f, (f & ~kWhdrInQueue) | kWhdrDone,
                                                  std::memory_order_release)) {
            }
            if (d.callback != nullptr) d.callback->OnWaveEvent(WaveEventKind::InputDone, &h, 0);
        }
    }
    return paContinue;
}

void HandBack(PortAudioDevices::Direction& d, WaveHeader& h) {
    uint32_t f = h.flags.load(std::memory_order_relaxed);
    while (!h.flags.compare_exchange_weak(f, (f & ~kWhdrInQueue) | kWhdrDone,
                                          std::memory_order_release)) {
    }
    if (d.callback != nullptr) d.callback->OnWaveEvent(WaveEventKind::OutputDone, &h, 0);
}

// Thread: PortAudio's output callback thread. No locks, no allocation. A header counts as done
// when its last frame has left the converter (as a sound card reports it), not when it was
// copied into the stream's buffer, so the recording of the same period is complete by then.
int OutputCallback(const void*, void* output, unsigned long frames,
                   const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* user) {
    auto& d = *static_cast<PortAudioDevices::Direction*>(user);
    auto* dst = static_cast<std::byte*>(output);
    const std::size_t total = frames * d.format.blockAlign;
    const double now = time != nullptr ? time->currentTime : 0.0;
    const double dac = time != nullptr ? time->outputBufferDacTime : 0.0;

    // Report what has been played by now.
    int kept = 0;
    for (int i = 0; i < d.playedCount; ++i) {
        if (d.played[i].dacTime <= now) {
            HandBack(d, *d.played[i].header);
        } else {
            d.played[kept++] = d.played[i];
        }
    }
    d.playedCount = kept;

    const uint8_t silence = d.format.bitsPerSample == 8 ? 0x80 : 0x00;
    std::size_t done = 0;
    if (d.active.load(std::memory_order_acquire)) {
        while (done < total) {
            if (d.current == nullptr && !d.queue.Pop(d.current)) break;
            WaveHeader& h = *d.current;
            const std::size_t n = std::min<std::size_t>(total - done, h.bufferLength - d.position);
            std::memcpy(dst + done, h.data + d.position, n);
            d.position += static_cast<uint32_t>(n);
            done += n;
            if (d.position >= h.bufferLength) {
                d.current = nullptr;
                d.position = 0;
                const auto frames = done / d.format.blockAlign;  // whole frames played
                const double end =
                    dac + double(frames) / d.rate + d.echoDelay.load(std::memory_order_relaxed);
                if (dac <= 0.0 || d.playedCount == 16) {
                    HandBack(d, h);  // no timing from the host: report at once
                } else {
                    d.played[d.playedCount++] = {&h, end};
                }
            }
        }
        if (done < total) {
            d.lostFrames.fetch_add((total - done) / d.format.blockAlign, std::memory_order_relaxed);
        }
    }
    std::memset(dst + done, silence, total - done);
    return paContinue;
}

// Thread: PortAudio's thread, when a stream ends. A stream that ends without being asked to has
// lost its device.
void StreamFinished(void* user) {
    auto& d = *static_cast<PortAudioDevices::Direction*>(user);
    if (d.stopping.load(std::memory_order_acquire)) return;
    if (d.callback != nullptr) {
        d.callback->OnWaveEvent(WaveEventKind::DeviceLost, nullptr, kWaveNoDriver);
    }
}

}  // namespace

namespace {

std::mutex startUpMutex;
std::future<PaError> startUp;  // PortAudio's start, begun by BeginStartUp and not yet taken

// PortAudio's start probes every host API and card: their libraries' complaints go to the log.
PaError StartPortAudio() {
    RouteSoundSystemMessages();
    return Pa_Initialize();
}

// Pa_Initialize, or the result of the start BeginStartUp began.
PaError Initialise() {
    std::unique_lock lock(startUpMutex);
    if (startUp.valid()) {
        std::future<PaError> started = std::move(startUp);
        lock.unlock();
        return started.get();
    }
    lock.unlock();
    return StartPortAudio();
}

}  // namespace

void PortAudioDevices::BeginStartUp() {
    std::lock_guard lock(startUpMutex);
    if (!startUp.valid()) startUp = std::async(std::launch::async, StartPortAudio);
}

PortAudioDevices::PortAudioDevices() {
    in_.input = true;
    if (Initialise() != paNoError) return;
    initialised_ = true;
    const int count = Pa_GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info == nullptr) continue;
        const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
        const std::string name = std::string(api != nullptr ? api->name : "?") + ": " + info->name;
        if (info->maxInputChannels > 0) {
            if (i == Pa_GetDefaultInputDevice()) defaultInput_ = static_cast<int>(inputs_.size());
            inputs_.push_back(i);
            inputNames_.push_back(name);
        }
        if (info->maxOutputChannels > 0) {
            if (i == Pa_GetDefaultOutputDevice()) {
                defaultOutput_ = static_cast<int>(outputs_.size());
            }
            outputs_.push_back(i);
            outputNames_.push_back(name);
        }
    }
}

PortAudioDevices::~PortAudioDevices() {
    if (!initialised_) return;
    Close(in_);
    Close(out_);
    Pa_Terminate();
}

std::string PortAudioDevices::InputName(int index) const {
    return index >= 0 && index < InputCount() ? inputNames_[index] : std::string();
}
std::string PortAudioDevices::OutputName(int index) const {
    return index >= 0 && index < OutputCount() ? outputNames_[index] : std::string();
}

bool PortAudioDevices::InputSupports(int index, const DeviceFormat& f) const {
    PaStreamParameters p;
    if (index < 0 || index >= InputCount() || !MakeParameters(inputs_[index], f, true, p)) {
        return false;
    }
    return Pa_IsFormatSupported(&p, nullptr, f.samplesPerSec) == paFormatIsSupported;
}

bool PortAudioDevices::OutputSupports(int index, const DeviceFormat& f) const {
    PaStreamParameters p;
    if (index < 0 || index >= OutputCount() || !MakeParameters(outputs_[index], f, false, p)) {
        return false;
    }
    return Pa_IsFormatSupported(nullptr, &p, f.samplesPerSec) == paFormatIsSupported;
}

int PortAudioDevices::Translate(int e) const {
    lastPaError_ = e;
    switch (e) {
        case paNoError:
            return kWaveOk;
        case paInvalidDevice:
            return kWaveBadDeviceId;
        case paInvalidChannelCount:
        case paInvalidSampleRate:
        case paSampleFormatNotSupported:
        case paBadIODeviceCombination:
            return kWaveBadFormat;
        case paDeviceUnavailable:
            return kWaveAllocated;
        case paInsufficientMemory:
            return kWaveNoMem;
        case paNotInitialized:
        case paBadStreamPtr:
            return kWaveInvalidHandle;
        default:
            return kWaveError;
    }
}

std::string PortAudioDevices::ErrorText(int result) const {
    std::string text = WaveResultText(result);
    if (lastPaError_ != paNoError) text += "\r(" + std::string(Pa_GetErrorText(lastPaError_)) + ")";
    return text;
}

int PortAudioDevices::Open(Direction& d, int index, const DeviceFormat& format,
                           WaveCallback* callback, bool input) {
    if (!initialised_) return kWaveNoDriver;
    const std::vector<int>& list = input ? inputs_ : outputs_;
    if (index < 0 || index >= static_cast<int>(list.size())) return kWaveBadDeviceId;
    if (d.stream != nullptr) return kWaveAllocated;
    PaStreamParameters p;
    if (!MakeParameters(list[index], format, input, p)) return kWaveBadFormat;
    d.format = format;
    d.callback = callback;
    d.rate = format.samplesPerSec;
    d.current = nullptr;
    d.position = 0;
    d.playedCount = 0;
    d.active.store(!input);
    d.stopping.store(false);
    PaStream* stream = nullptr;
    const PaError e = Pa_OpenStream(&stream, input ? &p : nullptr, input ? nullptr : &p,
                                    format.samplesPerSec, paFramesPerBufferUnspecified, paClipOff,
                                    input ? InputCallback : OutputCallback, &d);
    if (e != paNoError) return Translate(e);
    Pa_SetStreamFinishedCallback(stream, StreamFinished);
    d.stream = stream;
    if (input) {
        // What the input adds between a sound at the converter and its samples in our buffers.
        const PaStreamInfo* info = Pa_GetStreamInfo(stream);
        out_.echoDelay.store(info != nullptr ? info->inputLatency + 0.010 : 0.0);
    }
    return kWaveOk;
}

int PortAudioDevices::EnsureRunning(Direction& d) {
    auto* s = static_cast<PaStream*>(d.stream);
    if (Pa_IsStreamActive(s) == 1) return kWaveOk;
    d.stopping.store(false, std::memory_order_release);
    return Translate(Pa_StartStream(s));
}

// Stops the stream at once; afterwards the callback no longer runs and the UI thread owns the
// callback's state.
void PortAudioDevices::Halt(Direction& d) {
    auto* s = static_cast<PaStream*>(d.stream);
    d.stopping.store(true, std::memory_order_release);
    if (Pa_IsStreamStopped(s) == 0) Pa_AbortStream(s);
}

void PortAudioDevices::HandBackAll(Direction& d, bool keepQueued) {
    if (d.current != nullptr && (!keepQueued || d.position > 0)) {
        WaveDevices::MarkDone(*d.current);
        d.current = nullptr;
        d.position = 0;
    }
    for (int i = 0; i < d.playedCount; ++i) WaveDevices::MarkDone(*d.played[i].header);
    d.playedCount = 0;
    if (keepQueued) return;
    WaveHeader* h = nullptr;
    while (d.queue.Pop(h)) WaveDevices::MarkDone(*h);
}

int PortAudioDevices::Close(Direction& d) {
    if (d.stream == nullptr) return kWaveInvalidHandle;
    if (d.input) out_.echoDelay.store(0.0);
    Halt(d);
    HandBackAll(d, false);
    const PaError e = Pa_CloseStream(static_cast<PaStream*>(d.stream));
    d.stream = nullptr;
    d.callback = nullptr;
    return Translate(e);
}

int PortAudioDevices::OpenInput(int index, const DeviceFormat& format, WaveCallback* callback) {
    return Open(in_, index, format, callback, true);
}

int PortAudioDevices::AddInputBuffer(WaveHeader& header) {
    if (in_.stream == nullptr) return kWaveInvalidHandle;
    if (const int r = MarkQueued(header, true); r != kWaveOk) return r;
    if (!in_.queue.Push(&header)) {
        header.flags.fetch_and(~kWhdrInQueue);
        return kWaveNoMem;
    }
    return kWaveOk;
}

int PortAudioDevices::StartInput() {
    if (in_.stream == nullptr) return kWaveInvalidHandle;
    in_.active.store(true, std::memory_order_release);
    return EnsureRunning(in_);
}

int PortAudioDevices::StopInput() {
    if (in_.stream == nullptr) return kWaveInvalidHandle;
    in_.active.store(false, std::memory_order_release);
    Halt(in_);
    // The header being filled is handed back with what it holds; empty ones stay queued.
    WaveHeader* partial = in_.position > 0 ? in_.current : nullptr;
    HandBackAll(in_, true);
    if (partial != nullptr && in_.callback != nullptr) {
        in_.callback->OnWaveEvent(WaveEventKind::InputDone, partial, 0);
    }
    return kWaveOk;
}

int PortAudioDevices::ResetInput() {
    if (in_.stream == nullptr) return kWaveInvalidHandle;
    in_.active.store(false, std::memory_order_release);
    Halt(in_);
    HandBackAll(in_, false);
    return kWaveOk;
}

int PortAudioDevices::CloseInput() { return Close(in_); }

int PortAudioDevices::OpenOutput(int index, const DeviceFormat& format, WaveCallback* callback) {
    return Open(out_, index, format, callback, false);
}

int PortAudioDevices::WriteOutput(WaveHeader& header) {
    if (out_.stream == nullptr) return kWaveInvalidHandle;
    if (const int r = MarkQueued(header, false); r != kWaveOk) return r;
    if (!out_.queue.Push(&header)) {
        header.flags.fetch_and(~kWhdrInQueue);
        return kWaveNoMem;
    }
    return EnsureRunning(out_);
}

int PortAudioDevices::PauseOutput() {
    if (out_.stream == nullptr) return kWaveInvalidHandle;
    out_.active.store(false, std::memory_order_release);
    return kWaveOk;
}

int PortAudioDevices::RestartOutput() {
    if (out_.stream == nullptr) return kWaveInvalidHandle;
    out_.active.store(true, std::memory_order_release);
    return kWaveOk;
}

int PortAudioDevices::ResetOutput() {
    if (out_.stream == nullptr) return kWaveInvalidHandle;
    Halt(out_);
    HandBackAll(out_, false);
    out_.active.store(true, std::memory_order_release);
    return kWaveOk;
}

int PortAudioDevices::CloseOutput() { return Close(out_); }

}  // namespace fim
