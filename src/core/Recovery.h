#pragma once
// Impulse-response recovery from recorded MLS periods, and the averaging of the periods of a run.
//
// The cross-correlation with the MLS is a fast Hadamard transform framed by two permutations
// derived from the MLS feedback taps. The permutations are built once per order and cached; the
// transform runs block by block so that it stays in the processor caches.
//
// Thread: the recovery functions may run on any thread (the permutation cache is locked, work
// arrays are per thread). ProcessPeriod and FindImpulsePeak change the measurement state and run
// on the UI thread while the caller holds MeasurementState::InputMutex.

#include <cstddef>
#include <cstdint>

namespace fim {

struct MeasurementState;
class RunView;

// Recovers the impulse response of order `order` (2 … 24) from L = 2^order − 1 recorded samples
// read `stride` elements apart, into L doubles. Sums are exact (64-bit), so full-scale 32-bit
// input cannot overflow at any order. A recorded copy of the ±A sequence delayed by d samples
// yields A at output position d.
void RecoverImpulseInt(int order, int stride, const int32_t* input, double* output);
// The same for L consecutive doubles; the transform runs in double precision.
void RecoverImpulseFloat(int order, const double* input, double* output);

// Builds the L right-channel samples that a steady state gives at frames X … X + L − 1 of a
// recorded period pair (2·N stereo frames, left sample first), reading them from the second
// period, where the room has settled: sample k is frame N + ((X + k − 1) mod L), since the
// sequence repeats every L frames. On a recording periodic from its first frame they equal frames
// X … X + L − 1. X is a start frame 0 … N; `samples` takes L values.
void SteadyStateSamples(const int32_t* recording, int order, std::size_t startFrame,
                        int32_t* samples);

// Asked when a period's impulse peak lies elsewhere than the reference peak and the sync mode is
// "Ask user". The main window answers with its peak question dialog.
class PeakQuestion {
  public:
    enum class Answer { Correct, Discard };
    virtual ~PeakQuestion() = default;
    // Peaks are 1-based sample positions.
    virtual Answer AskPeakMismatch(int referencePeak, int peak) = 0;
};

// Processes the recorded period in Sampleresult (2·N converted stereo frames, accepted by the
// level checks): averages raw samples, or with time synchronisation aligns the period on the
// coarse timing peak and, with peak sync, on the impulse peak. Status texts go to panel 6 (peak
// sync) and panel 1 (period count / "DONE") of `view`. With sync mode "Ask user" a mismatching
// period is put to `question`; without one it is ignored as in mode 0. Returns true when the run
// is complete; the averaged impulse response is then in RLP (L values).
bool ProcessPeriod(MeasurementState& state, RunView& view, PeakQuestion* question = nullptr);

// Sets ImpulsePeakValue (magnitude) and ImpulsePeakIndex (1-based, first maximum) from the first
// MlsSize − 1 entries of RLP, and sets ImpulseValid.
void FindImpulsePeak(MeasurementState& state);

}  // namespace fim
