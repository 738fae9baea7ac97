#pragma once
// The process-wide measurement state: the settings that shape a measurement, the values derived
// from them, the run state shared by recovery and the run controller, and the large sample buffers
// that are allocated once at start-up and never resized.
//
// Thread: UI thread only. Audio back ends never touch it; they only copy into device headers.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "core/NoiseFloor.h"
#include "core/SampleFormat.h"

namespace fim {

class Prompter;

// One of the shared buffers: its tag (as in the start-up failure caption), size and memory.
struct SharedBuffer {
    const char* tag = "";
    std::size_t bytes = 0;
    std::byte* data = nullptr;
};

// The shared buffers, in allocation order. Typed views are provided for the ones with a fixed
// element type.
class SharedBuffers {
  public:
    enum Id {
        PLI,
        PLO,
        OSD,
        PLCR,
        PLR,
        PLD,
        MCD,
        DAPT,
        PSC,
        SCF,
        POI,
        atcres,
        ATCDATA,
        AVL,
        ILP1,
        OLP,
        RLP,
        ILP2,
        Sampleresult,
        Count
    };

    // Allocation hook: returns zero-filled memory from malloc/calloc (released with free) or
    // nullptr. Tests replace it to inject a failure; an empty hook uses calloc.
    using Allocator = std::function<void*(std::size_t bytes, const char* tag)>;
    // Called when an allocation fails, with the caption "Alloc <tag>" (note "Alloc PLD " has a
    // trailing blank). It must not return: it shows message 25 and ends the process.
    using FatalHandler = std::function<void(const std::string& caption)>;

    SharedBuffers() = default;
    SharedBuffers(const SharedBuffers&) = delete;
    SharedBuffers& operator=(const SharedBuffers&) = delete;
    ~SharedBuffers();

    // Allocates every buffer in table order, zero-filled. A failure calls `onFatal` (which ends the
    // process); no later buffer is attempted.
    void Allocate(const Allocator& alloc, const FatalHandler& onFatal);
    bool Allocated() const { return buffers_[0].data != nullptr; }

    const SharedBuffer& operator[](Id id) const { return buffers_[id]; }
    static const char* Tag(Id id);
    static std::size_t Size(Id id);
    static std::string AllocCaption(Id id);

    double* RLPd() const { return reinterpret_cast<double*>(buffers_[RLP].data); }
    double* AVLd() const { return reinterpret_cast<double*>(buffers_[AVL].data); }
    double* atcresd() const { return reinterpret_cast<double*>(buffers_[atcres].data); }
    int32_t* SampleresultI() const {
        return reinterpret_cast<int32_t*>(buffers_[Sampleresult].data);
    }
    int32_t* DAPTi() const { return reinterpret_cast<int32_t*>(buffers_[DAPT].data); }
    std::byte* ILP1b() const { return buffers_[ILP1].data; }
    std::byte* ILP2b() const { return buffers_[ILP2].data; }
    std::byte* OLPb() const { return buffers_[OLP].data; }
    std::byte* MCDb() const { return buffers_[MCD].data; }

    // Capacities in elements.
    static constexpr std::size_t kRlpDoubles = 262144;  // 2 MiB of doubles
    static constexpr std::size_t kFrameBufferBytes = 4194304;

  private:
    SharedBuffer buffers_[Count];
    void (*free_)(void*) = nullptr;
};

// FFT length for a size menu index: 0 → 2048 … 4 → 32768, 100 (the smoothed analysis) → 32768.
// Index 5 is refused with a message box; any other index leaves `size` unchanged.
void SelectFftSize(int index, int32_t& size, Prompter& prompter);
// The menu index of an FFT length: 2048 → 0 … 32768 → 4, 65536 → 5, anything else → 0.
int FftSizeIndex(int size);

struct MeasurementState {
    // Settings (persisted; defaults are the settings tree's defaults).
    uint16_t SampleRate = 44100;
    int32_t SampleBits = 16;
    uint8_t MlsOrder = 12;
    int32_t FftSize = 4096;
    int32_t OutputLevelDb = -6;
    bool PinkMls = false;
    int32_t AveragesTarget = 1;
    bool AutoReset = false;
    int32_t AtcMode = 1;
    bool PeakSync = true;
    int32_t SyncMode = 0;
    int32_t SyncTime = 20;
    bool IgnoreFirst = true;
    bool QualityCheck = true;
    bool ShowIntermediate = false;
    // Play the MLS without a gap for the whole run and average every recorded period.
    bool ContinuousAveraging = false;
    double Temperature = 20.0;

    // Derived values, recomputed by RecomputeDerived() whenever the devices are set up.
    int32_t MlsSize = 4096;
    int32_t FullScale = 32767;
    // Peak output sample value. Held at 32-bit width so 4-byte output reaches the same dBFS as
    // 2-byte output.
    int32_t OutputAmplitude = 16422;
    int32_t LowLevelThreshold = 328;
    double SoundSpeed = 343.3;

    // Run state shared by recovery and the run controller.
    int32_t AveragesDone = 0;
    int32_t ReferencePeak = 0;
    bool FirstSamplePending = false;
    bool BufferSetToggle = true;
    bool DevicesClosed = true;
    bool RunActive = false;
    double ImpulsePeakValue = 0.0;
    int32_t ImpulsePeakIndex = 0;  // 1-based
    bool ImpulseValid = false;
    // The clock drift of the run that produced RLP (the run controller sets it when a run
    // completes; a loaded file has none): the mean ppm, and whether the recordings were resampled.
    bool DriftMeasured = false;
    double DriftPpm = 0.0;
    bool DriftCorrected = false;
    // How the run that produced RLP was made, taken when it completes: the settings may change
    // before the response is exported. A loaded file leaves `known` false.
    struct ResponseRun {
        bool known = false;
        int32_t averages = 0;
        bool atc = false;
        bool pink = false;
    } LastRun;

    // The spread between the periods of the run (prepared by the run controller); after a run
    // of two or more periods Noise.Estimate() holds the averaged response's noise.
    NoiseTracker Noise;

    // Serialises the processing of a recorded period against stopping a run.
    std::mutex InputMutex;

    SharedBuffers buffers;

    // Accessors the rest of the program uses by name.
    int GetMlsOrder() const { return MlsOrder; }
    void SetMlsOrder(int order) { MlsOrder = static_cast<uint8_t>(order); }
    int GetFftSize() const { return FftSize; }
    void SetFftSize(int size) { FftSize = size; }
    double GetTemperature() const { return Temperature; }
    void SetTemperature(double degrees);

    // Sets FftSize from a size menu index (see fim::SelectFftSize).
    void SelectFftSize(int index, Prompter& prompter) {
        fim::SelectFftSize(index, FftSize, prompter);
    }

    // Recomputes, in this order: FullScale, OutputAmplitude, LowLevelThreshold, MlsSize.
    // OutputAmplitude is limited to FullScale, so a level above 0 dB cannot wrap the samples.
    void RecomputeDerived();
    int MlsPeriod() const { return MlsSize - 1; }
};

// The one process-wide instance (created on first use; buffers are allocated by
// InitMeasurementState at start-up).
MeasurementState& Meas();

// Start-up of the measurement core: allocates the shared buffers of Meas() in table order (an
// empty allocator uses calloc). A failed allocation calls `onFatal`, which does not return.
void InitMeasurementState(const SharedBuffers::Allocator& alloc,
                          const SharedBuffers::FatalHandler& onFatal);

}  // namespace fim
