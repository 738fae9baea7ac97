#pragma once
// The sound device layer: one input and one output device chosen by name, PCM formats, and wave
// headers that are prepared, queued, filled or played and handed back with a done flag. Back ends:
// PortAudioDevices (real sound cards) and VirtualRoom (the built-in simulated room).
//
// Threads: every WaveDevices call is made on the UI thread. A back end runs its own audio thread;
// it reports finished headers through WaveCallback on that thread.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fim {

// Results of device calls. 0 is success; the other values keep the classic multimedia numbering
// so error texts and stored diagnostics stay comparable.
enum WaveResult : int {
    kWaveOk = 0,
    kWaveError = 1,
    kWaveBadDeviceId = 2,
    kWaveAllocated = 4,
    kWaveInvalidHandle = 5,
    kWaveNoDriver = 6,
    kWaveNoMem = 7,
    kWaveInvalidParam = 11,
    kWaveBadFormat = 32,
    kWaveStillPlaying = 33,
    kWaveUnprepared = 34,
};

// Default text for a result; back ends may give more precise texts through ErrorText.
std::string WaveResultText(int result);

// The PCM format a device is opened with (format tag 1).
struct DeviceFormat {
    uint16_t formatTag = 1;
    uint16_t channels = 2;
    uint32_t samplesPerSec = 44100;
    uint32_t avgBytesPerSec = 176400;
    uint16_t blockAlign = 4;
    uint16_t bitsPerSample = 16;
};

// PCM format: block align = BytesPerSample(bits) · channels, bytes per second = align · rate.
DeviceFormat MakePcmFormat(int channels, uint32_t rate, int bits);

// Header flags.
constexpr uint32_t kWhdrDone = 0x01;
constexpr uint32_t kWhdrPrepared = 0x02;
constexpr uint32_t kWhdrInQueue = 0x10;

// A wave header: a buffer with its length, the recorded-byte count, a user value and flags.
// Ownership: the UI thread owns a header except while kWhdrInQueue is set; then the device thread
// owns `data` and `bytesRecorded` and gives the header back by setting kWhdrDone and clearing
// kWhdrInQueue with release order (read `flags` with acquire before touching the data).
struct WaveHeader {
    std::byte* data = nullptr;
    uint32_t bufferLength = 0;  // bytes
    std::atomic<uint32_t> bytesRecorded{0};
    uint32_t user = 0;
    std::atomic<uint32_t> flags{0};
    uint32_t loops = 0;

    WaveHeader() = default;
    WaveHeader(const WaveHeader&) = delete;
    WaveHeader& operator=(const WaveHeader&) = delete;

    // Points the header at a buffer; flags, loop count and recorded bytes are cleared.
    void Setup(std::byte* buffer, uint32_t length, uint32_t userValue);
    bool Done() const { return (flags.load(std::memory_order_acquire) & kWhdrDone) != 0; }
    bool Queued() const { return (flags.load(std::memory_order_acquire) & kWhdrInQueue) != 0; }
};

enum class WaveEventKind : uint8_t {
    OutputDone,  // an output header was played completely
    InputDone,   // an input header was filled (or handed back by a stop/reset)
    DeviceLost,  // the device stopped working (unplugged, server gone); `result` says why
};

// Receiver of device notifications.
class WaveCallback {
  public:
    virtual ~WaveCallback() = default;
    // Thread: the back end's audio thread. Must not lock, allocate, wait or touch engine state:
    // count, copy into a queue and wake the UI thread. `header` is null for DeviceLost.
    virtual void OnWaveEvent(WaveEventKind kind, WaveHeader* header, int result) noexcept = 0;
};

class WaveDevices {
  public:
    virtual ~WaveDevices() = default;

    // Enumeration: names as the user chooses them (stored as "INCARD"/"OUTCARD").
    virtual int InputCount() const = 0;
    virtual std::string InputName(int index) const = 0;
    virtual int OutputCount() const = 0;
    virtual std::string OutputName(int index) const = 0;
    // The system's default devices, or -1 when the back end has none.
    virtual int DefaultInput() const { return -1; }
    virtual int DefaultOutput() const { return -1; }
    // Whether a device takes a format (for the features dialog's list of usable formats).
    virtual bool InputSupports(int index, const DeviceFormat& format) const = 0;
    virtual bool OutputSupports(int index, const DeviceFormat& format) const = 0;

    // Input. `callback` may be null: the caller then watches the headers' flags and counts.
    virtual int OpenInput(int index, const DeviceFormat& format, WaveCallback* callback) = 0;
    virtual int AddInputBuffer(WaveHeader& header) = 0;
    virtual int StartInput() = 0;
    // Stops recording; the header being filled is handed back with what it holds.
    virtual int StopInput() = 0;
    // Stops recording and hands every queued header back (done, without notifications).
    virtual int ResetInput() = 0;
    virtual int CloseInput() = 0;

    // Output. Headers play in the order written; silence when none is queued.
    virtual int OpenOutput(int index, const DeviceFormat& format, WaveCallback* callback) = 0;
    virtual int WriteOutput(WaveHeader& header) = 0;
    virtual int PauseOutput() = 0;
    virtual int RestartOutput() = 0;
    // Stops playing and hands every queued header back (done, without notifications).
    virtual int ResetOutput() = 0;
    virtual int CloseOutput() = 0;

    virtual bool InputOpen() const = 0;
    virtual bool OutputOpen() const = 0;

    // Frames lost since the back end was created: recorded while no input header was queued, and
    // played as silence while the output ran with nothing queued. A gapless stream compares them
    // between two points to know that it kept its phase. Back ends that cannot tell report 0.
    virtual uint64_t InputFramesDropped() const { return 0; }
    virtual uint64_t OutputFramesStarved() const { return 0; }

    virtual std::string ErrorText(int result) const { return WaveResultText(result); }

    // Header preparation is the same for every back end: a prepared header may be queued, a queued
    // one may not be unprepared.
    int PrepareInput(WaveHeader& header) { return Prepare(header); }
    int UnprepareInput(WaveHeader& header) { return Unprepare(header); }
    int PrepareOutput(WaveHeader& header) { return Prepare(header); }
    int UnprepareOutput(WaveHeader& header) { return Unprepare(header); }

  protected:
    static int Prepare(WaveHeader& header);
    static int Unprepare(WaveHeader& header);
    // Checks a header for queuing and marks it queued (clears done and, for input, the count).
    static int MarkQueued(WaveHeader& header, bool input);
    // Device thread: hands a header back.
    static void MarkDone(WaveHeader& header) noexcept;
};

// Index of the device whose name equals `name` exactly (case-sensitive); when several match the
// highest index wins. -1 when none matches.
int FindInputDevice(const WaveDevices& devices, const std::string& name);
int FindOutputDevice(const WaveDevices& devices, const std::string& name);

}  // namespace fim
