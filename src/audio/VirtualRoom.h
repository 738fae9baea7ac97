#pragma once
// The Virtual Room: a built-in input/output device pair that loops the output back through a
// simulated room, so the program measures on any machine and tests have a repeatable room.
//   left input  = output delayed by the converter latency (the timing reference cable)
//   right input = output through a loudspeaker (band-pass) at a distance in a room: direct sound,
//                 early reflections and an exponentially decaying diffuse tail, plus a noise floor
// Both inputs pass the input gain and are rounded and clipped to 16 bits. The same parameters and
// seed give the same recording.
//
// The device runs in real time (a thread paced to the sample clock) or fast: then the clock runs
// only while the output has queued data and a recording input has a header to fill (or, with no
// output open, while the input records), as fast as the consumer queues headers.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio/PartitionedConvolver.h"
#include "audio/WaveDevices.h"
#include "core/Resampler.h"

namespace fim {

class SettingsTree;

// The lowest noise floor the room offers; at this setting it adds no noise at all.
inline constexpr double kRoomNoiseOffDb = -140.0;

struct RoomParameters {
    double distance = 3.0;    // m, loudspeaker to microphone
    double reverbTime = 0.4;  // s, decay time (−60 dB) of the diffuse tail; also the room length
    double noiseDb = -70.0;   // RMS noise floor, dB re full scale (kRoomNoiseOffDb: none)
    double gainDb = 0.0;      // input gain, dB
    double latencyMs = 30.0;  // converter latency, output to input
    double temperature = 20.0;  // air temperature, °C
    double clockPpm = 0.0;      // input clock against the output clock, ppm (fast when > 0)
    uint32_t seed = 1;
    bool realTime = true;
    // A feedback howl at the microphone input (right channel; the mono input), on top of the
    // room's noise: a tone that swells from silence (−100 dBFS, steadily in dB) from the moment
    // the devices open until it reaches its level after the delay, holds that level for the
    // length (0: until the devices close) and then stops.
    bool feedback = false;
    double feedbackFrequency = 1000.0;  // Hz
    double feedbackLevel = -6.0;        // peak level at the input, dB re full scale
    double feedbackDelay = 2.0;         // s
    double feedbackLength = 0.0;        // s
    // Seat sets: seat k (0-based) of a set hears the room from distance + k · seatStep metres
    // (at most 100 m) with seed + k, so every seat has a room of its own.
    double seatStep = 0.0;  // m

    // The parameters of seat `seat` (0-based) of a seat set.
    RoomParameters ForSeat(int seat) const;

    double SoundSpeed() const { return 0.6 * temperature + 331.3; }
    // The feedback tone's peak amplitude (16-bit sample units) `seconds` after the devices opened;
    // 0 when the feedback option is off or the tone has stopped.
    double FeedbackAmplitude(double seconds) const;
    // Latency in samples: Round(latencyMs · rate / 1000).
    int LatencySamples(uint32_t rate) const;
    // Delay of the direct sound behind the reference, in (fractional) samples.
    double DirectDelaySamples(uint32_t rate) const { return distance / SoundSpeed() * rate; }

    // Sets one parameter from "key=value" (keys: distance, reverb, noise, gain, latency,
    // temperature, ppm, seed, feedback (0 or 1), feedback_frequency, feedback_level,
    // feedback_delay, feedback_length, seat_step). Returns an error text, or nullopt when taken.
    std::optional<std::string> Set(const std::string& keyValue);
    // Takes the values present in the settings tree ("VirtualRoom Distance", "… Reverb",
    // "… Noise", "… Gain", "… Latency", "… Temperature", "… ClockPpm", "… Seed", "… Feedback",
    // "… Feedback Frequency", "… Feedback Level", "… Feedback Delay", "… Feedback Length",
    // "… Seat Step");
    // values out of range are ignored.
    void Load(const SettingsTree& tree);
    // Writes every parameter under the names Load reads.
    void Store(SettingsTree& tree) const;
};

// The room's response from the loudspeaker input to the microphone, without the latency: direct
// sound at DirectDelaySamples, reflections, tail, band-passed. Scaled so that the direct sound at
// 1 m has the amplitude 0.35.
std::vector<double> BuildRoomResponse(const RoomParameters& p, uint32_t rate);

// The arithmetic of the room: output frames in, input frames out, one frame per sample clock tick.
// With a clock offset the input is the room's sound read at the input clock's instants: input
// tick j reads the output-clock signal at j − delay, the delay growing by ppm·10⁻⁶ per tick and
// slipping by whole blocks, as a device's buffer does, when it leaves its range.
class RoomSimulator {
  public:
    // `clockDelay` is the delay of the input clock reached before (kept across device restarts).
    RoomSimulator(const RoomParameters& p, uint32_t rate, double clockDelay = -1.0);

    // Renders `frames` ticks. `output` holds the played frames (outChannels interleaved, may be
    // null for silence); `input` receives inChannels interleaved 16-bit samples (may be null when
    // nothing records; the room still advances). Mono input carries the microphone.
    void Process(const int16_t* output, int outChannels, int16_t* input, int inChannels,
                 std::size_t frames);

    std::size_t Ticks() const { return ticks_; }
    // The input clock's current delay behind the output clock, in samples.
    double ClockDelay() const { return clockDelay_; }

    static constexpr double kMinClockDelay = 20.0;
    static constexpr double kClockSlip = 4096.0;

  private:
    static constexpr std::size_t kChunk = 1024;
    static constexpr std::size_t kHistory =
        8192;  // power of two, > kMinClockDelay + kClockSlip + 16
    // The two input channels before the noise, as the input clock reads them.
    void ReadDrifted(double left, double right, double& outLeft, double& outRight);
    double NextNoise();
    double NextFeedback();

    uint32_t rate_;
    int latency_;
    double gain_;
    double noiseAmplitude_;
    uint64_t noiseState_;
    PartitionedConvolver convolver_;
    std::vector<double> delayLine_;  // last latency_ output samples (the reference cable)
    std::size_t delayPos_ = 0;
    std::vector<double> x_, y_;
    std::size_t ticks_ = 0;
    double clockStep_ = 0.0;  // delay growth per tick
    double clockDelay_ = 0.0;
    std::vector<double> history_;  // last kHistory (left, right) pairs on the output clock
    std::size_t historyPos_ = 0;
    FractionalReader readerLeft_, readerRight_;
    RoomParameters params_;
    double feedbackPhase_ = 0.0;  // radians, kept within one turn
};

// The device pair. Index 0 is the only input and the only output, named kVirtualRoomName.
class VirtualRoom : public WaveDevices {
  public:
    explicit VirtualRoom(const RoomParameters& p = {});
    ~VirtualRoom() override;

    // UI thread, devices closed: parameters for the next open.
    void SetParameters(const RoomParameters& p);
    const RoomParameters& Parameters() const { return params_; }

    // Pulls the virtual cable: the running device reports DeviceLost and every later call fails
    // with kWaveNoDriver until Reconnect.
    void Disconnect();
    void Reconnect();
    // A fault switch for tests: the cable is pulled (as by Disconnect) once `buffers` more
    // recorded buffers have completed. 0 turns the switch off. Any thread.
    void DisconnectAfterBuffers(int buffers);

    int InputCount() const override { return 1; }
    std::string InputName(int index) const override;
    int OutputCount() const override { return 1; }
    int DefaultInput() const override { return 0; }
    int DefaultOutput() const override { return 0; }
    std::string OutputName(int index) const override;
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

    bool InputOpen() const override;
    bool OutputOpen() const override;
    uint64_t InputFramesDropped() const override;
    uint64_t OutputFramesStarved() const override;

  private:
    static constexpr int kQueueSize = 16;
    struct Queue {
        WaveHeader* items[kQueueSize] = {};
        int head = 0;
        int count = 0;
        std::size_t position = 0;  // bytes used of the head header
        bool Push(WaveHeader* h);
        WaveHeader* Front() const { return count > 0 ? items[head] : nullptr; }
        void PopFront();
    };
    struct Direction {
        bool open = false;
        DeviceFormat format;
        WaveCallback* callback = nullptr;
        Queue queue;
    };

    bool Supports(const DeviceFormat& format) const;
    int Open(Direction& d, int index, const DeviceFormat& format, WaveCallback* callback);
    void ResetQueue(Queue& q);
    // Drops the room when both directions are closed, keeping its input clock's delay.
    void CloseRoom();
    void Run();
    bool HasWork() const;
    // Renders up to `maxFrames`; returns the frames rendered. Called with the lock held.
    std::size_t RenderLocked(std::size_t maxFrames);

    RoomParameters params_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    Direction in_, out_;
    bool recording_ = false;
    bool paused_ = false;
    bool disconnected_ = false;
    bool lostReported_ = false;
    int disconnectAfter_ = 0;  // recorded buffers left before the fault switch pulls the cable
    // Written by the render thread under the lock; read without it.
    std::atomic<uint64_t> inDropped_{0}, outStarved_{0};
    bool quit_ = false;
    std::unique_ptr<RoomSimulator> room_;
    double clockDelay_ = -1.0;  // input clock delay at the last close; < 0 before the first open
    std::vector<int16_t> playBuffer_, recordBuffer_;
    std::thread thread_;
};

inline constexpr const char* kVirtualRoomName = "Virtual Room";

}  // namespace fim
