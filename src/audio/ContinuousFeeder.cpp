#include "audio/ContinuousFeeder.h"

#include <algorithm>
#include <cmath>

#include "core/MeasurementState.h"
#include "core/SampleFormat.h"

namespace fim {

int ContinuousFeeder::Start(const MeasurementState& s, const std::function<void()>& pause) {
    devices_.ResetInput();
    devices_.ResetOutput();
    n_ = static_cast<std::size_t>(s.MlsSize);
    const std::size_t l = n_ - 1;
    bits_ = s.SampleBits;
    blockAlign_ = static_cast<uint32_t>(2 * BytesPerSample(s.SampleBits));
    next_ = 0;
    taken_ = 0;

    std::byte* slots[kInputSlots] = {s.buffers.ILP1b(), s.buffers.ILP1b() + n_ * blockAlign_,
                                     s.buffers.ILP2b(), s.buffers.ILP2b() + n_ * blockAlign_};
    int r = kWaveOk;
    for (int i = 0; i < kInputSlots; ++i) {
        in_[i].Setup(slots[i], static_cast<uint32_t>(n_ * blockAlign_),
                     static_cast<uint32_t>(i + 1));
        devices_.PrepareInput(in_[i]);
    }
    if (r == kWaveOk) r = QueueSlot(0, static_cast<uint32_t>(n_));
    for (int i = 1; i < kInputSlots && r == kWaveOk; ++i) {
        r = QueueSlot(i, static_cast<uint32_t>(l));
    }

    // About a second of output queued ahead (at least four periods): a sound server reports a
    // header played only when its end has left the converter and come back through the input.
    const double seconds = static_cast<double>(l) / std::max<uint32_t>(s.SampleRate, 1);
    outputs_ = std::clamp(static_cast<int>(std::ceil(1.0 / seconds)), 4, kMaxOutputHeaders);
    std::byte* second = s.buffers.OLPb() + l * blockAlign_;
    for (int k = 0; k < outputs_; ++k) {
        out_[k].Setup(second, static_cast<uint32_t>(l * blockAlign_), static_cast<uint32_t>(k + 1));
        devices_.PrepareOutput(out_[k]);
    }
    if (r == kWaveOk) r = devices_.StartInput();
    if (pause) pause();
    for (int k = 0; k < outputs_ && r == kWaveOk; ++k) r = devices_.WriteOutput(out_[k]);
    droppedAtStart_ = devices_.InputFramesDropped();
    starvedAtStart_ = devices_.OutputFramesStarved();
    return r;
}

int ContinuousFeeder::QueueSlot(int slot, uint32_t frames) {
    WaveHeader& h = in_[slot];
    h.bufferLength = frames * blockAlign_;
    return devices_.AddInputBuffer(h);
}

bool ContinuousFeeder::Ready() const { return n_ > 0 && in_[next_].Done(); }

ContinuousFeeder::Take ContinuousFeeder::TakeNext(MeasurementState& s, bool& complete) {
    complete = false;
    if (!Ready()) return Take::None;
    // A frame lost on either side shifts every later period against the signal.
    if (devices_.InputFramesDropped() != droppedAtStart_ ||
        devices_.OutputFramesStarved() != starvedAtStart_) {
        return Take::Broken;
    }
    WaveHeader& h = in_[next_];
    complete = h.bytesRecorded.load(std::memory_order_acquire) == h.bufferLength;
    const bool settling = taken_ == 0;
    // The period at frames N … N + L − 1, then the same values for the other frames' phases. The
    // settling slot's last L frames lead into the first period without a gap: laid out the same
    // way, they let the clock drift be followed from the first averaged period on.
    const std::size_t skip = settling ? blockAlign_ : 0;
    ConvertRecording(h.data + skip, s.buffers.SampleresultI() + 2 * n_, bits_, 2 * (n_ - 1));
    RepeatStreamPeriod(s.buffers.SampleresultI(), n_);
    ++taken_;
    const int slot = next_;
    next_ = (next_ + 1) % kInputSlots;
    if (QueueSlot(slot, static_cast<uint32_t>(n_ - 1)) != kWaveOk) return Take::Broken;
    return settling ? Take::Settling : Take::Period;
}

int ContinuousFeeder::Refill() {
    for (int k = 0; k < outputs_; ++k) {
        if (!out_[k].Done()) continue;
        if (const int r = devices_.WriteOutput(out_[k]); r != kWaveOk) return r;
    }
    return kWaveOk;
}

}  // namespace fim
