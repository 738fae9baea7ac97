#pragma once
// Clock drift between the input and the output device. With both on one clock the recorded
// periods repeat exactly; with the input clock fast by ε, each period takes L·(1 + ε) recorded
// samples, so an impulse recovered from the second period lies ε·L samples behind the one
// recovered from the first. Drift is given in ppm, positive when the input clock is fast.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace fim {

// Delay of `b` against `a` in samples (sub-sample), both `count` values of one impulse response:
// the integer lag of the largest cross-correlation near the peak of `a` (within ±64 samples),
// refined by the phase slope of the cross spectrum of a 64-sample span around the peak.
// nullopt when `a` shows no clear peak (its peak not 10 times its RMS).
std::optional<double> RelativeDelay(const double* a, const double* b, std::size_t count);

// The drift in ppm seen in one recording of 2·N stereo frames (left sample first) of an MLS of
// `order`: the impulse of the left (reference) or right channel recovered from the first and from
// the second period. nullopt when the channel shows no clear impulse. Uses per-thread work arrays
// that grow once per order.
std::optional<double> MeasureRecordingDrift(const int32_t* recording, int order, bool leftChannel);

// The drift of a run: the mean of the recordings' measurements.
class DriftTracker {
  public:
    void Reset() { sum_ = 0.0, count_ = 0; }
    void Add(double ppm) { sum_ += ppm, ++count_; }
    int Count() const { return count_; }
    std::optional<double> Ppm() const {
        if (count_ == 0) return std::nullopt;
        return sum_ / count_;
    }

  private:
    double sum_ = 0.0;
    int count_ = 0;
};

// Measures each recording of a run and, when asked, resamples it onto the run's time base before
// recovery: the drift inside the recording is undone by the run's mean ratio, and the recording is
// shifted (sub-sample) so its reference impulse lands where the first recording's did, so the
// averaged response stays sharp.
//
// Continuous averaging hands over one recorded period at a time (frames N … N + L − 1 of the
// recording; the other frames repeat it). Both halves are then the same samples and show no
// drift; instead the drift shows across periods: the reference impulse of each period lies ε·L
// samples behind the one before. The period before is kept, so a period can be resampled with
// the stream's own continuation at its edges.
class DriftCorrector {
  public:
    // Run set-up (allocates; not on the audio path): recordings of an MLS of `order`.
    void Prepare(int order);
    // Measures one recording of 2·N stereo frames (left = reference when `leftChannel`) and adds
    // its drift to Tracker(); with `correct` rewrites the recording in place. Returns whether
    // the recording was measured.
    bool Process(int32_t* recording, bool leftChannel, bool correct);

    // How a period of a continuous stream is used.
    enum class StreamUse {
        Anchor,    // not averaged (the settling period, a skipped one): only followed
        Averaged,  // averaged: its drift against the period before counts, `correct` applies
    };
    // Takes the next period of the stream (the recording laid out as described above). Returns
    // whether a drift figure was added.
    bool ProcessStreamPeriod(int32_t* recording, bool leftChannel, StreamUse use, bool correct);
    // The stream started again (or a period went by untaken): the next period has no predecessor.
    void StreamInterrupted() { havePrevious_ = false; }

    const DriftTracker& Tracker() const { return tracker_; }
    // Recordings resampled since Prepare.
    int Corrected() const { return corrected_; }

  private:
    int order_ = 0;
    std::size_t length_ = 0;
    bool haveReference_ = false;
    std::vector<double> reference_, first_, second_;
    std::vector<int32_t> copy_;
    DriftTracker tracker_;
    int corrected_ = 0;
    // Continuous streams: the predecessor's impulse (second_), the predecessor and the current
    // period as recorded (stream_, 2·L stereo frames), and the position of the last period's
    // impulse against reference_.
    std::vector<int32_t> stream_;
    bool havePrevious_ = false;
    bool haveOffset_ = false;
    double offset_ = 0.0;
};

// The status text of a measured drift, e.g. "Clock drift 12.3 ppm"; with `warn` (its magnitude
// above the threshold) "Clock drift 12.3 ppm - check clocks".
std::string DriftText(double ppm, double thresholdPpm);
// A measurement's drift with its correction state, e.g. "12.3 ppm, corrected".
std::string DriftStateText(double ppm, bool corrected);

}  // namespace fim
