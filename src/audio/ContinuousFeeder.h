#pragma once
// Continuous averaging: the output plays the MLS period after period without a gap, and the
// input is cut into periods of L = N − 1 frames, each handed on as if it were the second half of
// a two-period recording.
//
// Phase: a two-period recording holds at frame N + i what was recorded N + i frames after the
// input started. The stream's first input slot is therefore N frames long (the room's settling
// period and one frame more) and every later slot L frames, so recorded frame 1 + pL + i of
// period p lands at frame N + i of Sampleresult. The other frames of Sampleresult get the value
// the period holds for their phase (frame j: frame N + ((j − 1) mod L)), so whatever reads the
// recording sees the room in steady state.
//
// Thread: UI thread only. The device threads touch only the headers, as WaveHeader describes.

#include <array>
#include <cstdint>
#include <functional>

#include "audio/WaveDevices.h"

namespace fim {

struct MeasurementState;

class ContinuousFeeder {
  public:
    static constexpr int kInputSlots = 4;         // ILP1 and ILP2 hold two slots of N frames each
    static constexpr int kMaxOutputHeaders = 12;  // the back ends queue up to 16 headers

    explicit ContinuousFeeder(WaveDevices& devices) : devices_(devices) {}
    ContinuousFeeder(const ContinuousFeeder&) = delete;
    ContinuousFeeder& operator=(const ContinuousFeeder&) = delete;

    // Resets both directions, points the headers at the buffers of `state` (input slots in ILP1
    // and ILP2; output headers on the second MLS period of OLP, which continues the first without
    // a seam), queues them, starts the input, runs `pause` and writes the output. The next period
    // taken is the settling period. Returns the first failed device call's result, or kWaveOk.
    int Start(const MeasurementState& state, const std::function<void()>& pause);

    // Whether the next input slot has been handed back by the device.
    bool Ready() const;

    enum class Take {
        None,      // nothing recorded yet
        Settling,  // the period the room needed to reach steady state: not to be averaged (its
                   // last L frames are in Sampleresult all the same, to follow the stream)
        Period,    // a period is in Sampleresult; `complete` says whether it was recorded whole
        Broken,    // the device lost or starved frames: the stream's phase is gone, start again
    };
    // Takes the next recorded period: converts it into Sampleresult and queues its slot again.
    Take TakeNext(MeasurementState& state, bool& complete);

    // Queues again every output header that has been played. Returns the device's result.
    int Refill();

    // Periods taken since the last Start, the settling period included.
    int PeriodsTaken() const { return taken_; }
    int OutputHeaders() const { return outputs_; }

  private:
    int QueueSlot(int slot, uint32_t frames);

    WaveDevices& devices_;
    std::array<WaveHeader, kInputSlots> in_;
    std::array<WaveHeader, kMaxOutputHeaders> out_;
    int outputs_ = 0;
    int next_ = 0;  // the slot that completes next
    int taken_ = 0;
    std::size_t n_ = 0;
    uint32_t blockAlign_ = 0;
    int bits_ = 16;
    uint64_t droppedAtStart_ = 0, starvedAtStart_ = 0;
};

}  // namespace fim
