#pragma once
// Real sound cards through PortAudio. Names are "<host API>: <device>" as PortAudio reports them.
// Input and output are separate streams (they may be different cards). The streams run while a
// device is in use; queued headers are handed from the UI thread to the audio callbacks through
// lock-free rings, and the callbacks report finished headers through WaveCallback.

#include <atomic>
#include <string>
#include <vector>

#include "audio/SpscRing.h"
#include "audio/WaveDevices.h"

namespace fim {

class PortAudioDevices : public WaveDevices {
  public:
    PortAudioDevices();
    // Starts PortAudio on a helper thread. Its start probes every host API and card, which takes
    // a few hundred milliseconds, so the program starts it early and builds its windows
    // meanwhile; the first PortAudioDevices then only waits for what is left.
    static void BeginStartUp();
    ~PortAudioDevices() override;
    PortAudioDevices(const PortAudioDevices&) = delete;
    PortAudioDevices& operator=(const PortAudioDevices&) = delete;

    // False when PortAudio could not start (then there are no devices).
    bool Available() const { return initialised_; }

    int InputCount() const override { return static_cast<int>(inputs_.size()); }
    std::string InputName(int index) const override;
    int OutputCount() const override { return static_cast<int>(outputs_.size()); }
    std::string OutputName(int index) const override;
    int DefaultInput() const override { return defaultInput_; }
    int DefaultOutput() const override { return defaultOutput_; }
    bool InputSupports(int index, const DeviceFormat& format) const override;
    bool OutputSupports(int index, const DeviceFormat& format) const override;

    int OpenInput(int index, const DeviceFormat& format, WaveCallback* callback) override;
    int AddInputBuffer(WaveHeader& header) override;
    int StartInput() override;
    int StopInput() override;
    int ResetInput() override;
    int CloseInput() override;

    int OpenOutput(int index, const DeviceFormat& format, WaveCallback* callback) override;
    int WriteOutput(WaveHeader& header) override;
    int PauseOutput() override;
    int RestartOutput() override;
    int ResetOutput() override;
    int CloseOutput() override;

    bool InputOpen() const override { return in_.stream != nullptr; }
    bool OutputOpen() const override { return out_.stream != nullptr; }
    uint64_t InputFramesDropped() const override {
        return in_.lostFrames.load(std::memory_order_relaxed);
    }
    uint64_t OutputFramesStarved() const override {
        return out_.lostFrames.load(std::memory_order_relaxed);
    }

    std::string ErrorText(int result) const override;

    // One direction's stream and the state its callback owns. Public only for the C callbacks.
    struct Direction {
        void* stream = nullptr;  // PaStream*
        DeviceFormat format;
        WaveCallback* callback = nullptr;
        bool input = false;
        SpscRing<WaveHeader*, 16> queue;  // UI thread → callback
        // Owned by the callback while the stream runs, by the UI thread while it is stopped.
        WaveHeader* current = nullptr;
        uint32_t position = 0;
        struct Played {
            WaveHeader* header;
            double dacTime;  // stream time at which its last frame leaves the converter
        };
        Played played[16] = {};
        int playedCount = 0;
        std::atomic<bool> active{false};    // recording (input) / not paused (output)
        std::atomic<bool> stopping{false};  // the UI thread is stopping the stream on purpose
        double rate = 44100.0;
        // Output: extra time before a played header is reported, so that the input has
        // delivered what came back of it (the input stream's latency). Set by the UI thread while
        // the output stream is stopped.
        std::atomic<double> echoDelay{0.0};
        // Frames recorded with no header queued (input) or played as silence while active with
        // nothing queued (output). Written by the callback, read by the UI thread.
        std::atomic<uint64_t> lostFrames{0};
    };

  private:
    int Open(Direction& d, int index, const DeviceFormat& format, WaveCallback* callback,
             bool input);
    int EnsureRunning(Direction& d);
    void Halt(Direction& d);
    void HandBackAll(Direction& d, bool keepQueued);
    int Close(Direction& d);
    int Translate(int paError) const;

    bool initialised_ = false;
    std::vector<int> inputs_, outputs_;  // PortAudio device indices
    std::vector<std::string> inputNames_, outputNames_;
    int defaultInput_ = -1, defaultOutput_ = -1;
    Direction in_, out_;
    mutable int lastPaError_ = 0;
};

}  // namespace fim
