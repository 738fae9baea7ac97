// Clock drift, its correction and the noise floor, measured on the Virtual Room as a run records
// it: the sequence played without a gap, recordings of two periods taken back to back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "audio/RunView.h"
#include "audio/VirtualRoom.h"
#include "base/MemorySettingsTree.h"
#include "base/ScriptedPrompter.h"
#include "core/ClockDrift.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "core/NoiseFloor.h"
#include "core/Recovery.h"
#include "core/Resampler.h"
#include "core/SampleFormat.h"
#include "spectrum/FrequencyWindowModel.h"

namespace fim {
namespace {

constexpr uint32_t kRate = 44100;

// Plays the sequence of `order` continuously into a room and hands out recordings of 2·N frames.
class RoomRecorder {
  public:
    RoomRecorder(int order, const RoomParameters& p)
        : room_(p, kRate), n_(std::size_t{1} << order) {
        ScriptedPrompter prompter;
        std::vector<int8_t> m(n_ - 1);
        EXPECT_TRUE(GenerateMls(order, m.data(), prompter));
        mls_.assign(m.begin(), m.end());
    }
    // The sequence's phase at the first frame of the next recording.
    std::size_t Phase() const { return phase_; }
    // The next 2·N frames as 32-bit stereo samples.
    std::vector<int32_t> Next() { return Frames(2 * n_); }
    // The next `frames` frames as 32-bit stereo samples.
    std::vector<int32_t> Frames(std::size_t frames) {
        std::vector<int16_t> out(2 * frames), in(2 * frames);
        for (std::size_t f = 0; f < frames; ++f) {
            const int16_t v = static_cast<int16_t>(16000 * mls_[phase_]);
            out[2 * f] = out[2 * f + 1] = v;
            phase_ = (phase_ + 1) % mls_.size();
        }
        room_.Process(out.data(), 2, in.data(), 2, frames);
        return {in.begin(), in.end()};
    }

  private:
    RoomSimulator room_;
    std::size_t n_;
    std::vector<int> mls_;
    std::size_t phase_ = 0;
};

RoomParameters QuietRoom(double ppm) {
    RoomParameters p;
    p.clockPpm = ppm;
    p.noiseDb = -80.0;
    p.realTime = false;
    return p;
}

TEST(ClockDrift, RoomOffsetsAreMeasuredWithinOnePpm) {
    for (double ppm : {0.0, 10.0, -10.0, 50.0, -50.0}) {
        RoomRecorder recorder(16, QuietRoom(ppm));
        DriftTracker tracker;
        for (int i = 0; i < 8; ++i) {
            const auto rec = recorder.Next();
            const auto measured = MeasureRecordingDrift(rec.data(), 16, true);
            ASSERT_TRUE(measured.has_value()) << ppm;
            tracker.Add(*measured);
        }
        EXPECT_NEAR(*tracker.Ppm(), ppm, 1.0) << ppm;
    }
}

TEST(ClockDrift, NoClearReferenceGivesNoFigure) {
    std::vector<int32_t> noise(4 * 4096);
    uint32_t r = 7;
    for (auto& v : noise) v = static_cast<int32_t>((r = r * 1664525u + 1013904223u) >> 20) - 2048;
    EXPECT_FALSE(MeasureRecordingDrift(noise.data(), 12, true).has_value());
    std::vector<int32_t> silence(4 * 4096, 0);
    EXPECT_FALSE(MeasureRecordingDrift(silence.data(), 12, true).has_value());
}

TEST(ClockDrift, WarningNamesTheDriftAboveTheThreshold) {
    EXPECT_EQ(DriftText(3.04, 5.0), "Clock drift 3.0 ppm");
    EXPECT_EQ(DriftText(-12.26, 5.0), "Clock drift -12.3 ppm - check clocks");
}

// Continuous averaging's recordings: the settling slot of N frames, then slots of L frames
// without a gap, each laid out in 2·N frames as the run hands them over.
class StreamRecorder {
  public:
    StreamRecorder(int order, const RoomParameters& p)
        : rec_(order, p), n_(std::size_t{1} << order), recording_(4 * n_) {}
    // The next period (the first call: the settling one) laid out in the recording.
    int32_t* Next() {
        const auto slot = rec_.Frames(first_ ? n_ : n_ - 1);
        std::copy(slot.end() - 2 * std::ptrdiff_t(n_ - 1), slot.end(), recording_.begin() + 2 * n_);
        RepeatStreamPeriod(recording_.data(), n_);
        first_ = false;
        return recording_.data();
    }

  private:
    RoomRecorder rec_;
    std::size_t n_;
    std::vector<int32_t> recording_;
    bool first_ = true;
};

TEST(ClockDrift, StreamOffsetsAreMeasuredAcrossPeriods) {
    for (double ppm : {0.0, 10.0, -10.0, 50.0, -50.0}) {
        StreamRecorder stream(16, QuietRoom(ppm));
        DriftCorrector corrector;
        corrector.Prepare(16);
        // The settling period only leads in: it adds no figure.
        EXPECT_FALSE(corrector.ProcessStreamPeriod(stream.Next(), true,
                                                   DriftCorrector::StreamUse::Anchor, false));
        for (int i = 0; i < 8; ++i) {
            EXPECT_TRUE(corrector.ProcessStreamPeriod(stream.Next(), true,
                                                      DriftCorrector::StreamUse::Averaged, false));
        }
        ASSERT_EQ(corrector.Tracker().Count(), 8);
        EXPECT_NEAR(*corrector.Tracker().Ppm(), ppm, 1.0) << ppm;
        EXPECT_EQ(corrector.Corrected(), 0);
        // After a gap the next period has no predecessor to measure against.
        corrector.StreamInterrupted();
        EXPECT_FALSE(corrector.ProcessStreamPeriod(stream.Next(), true,
                                                   DriftCorrector::StreamUse::Averaged, false));
    }
}

// Averages 8 periods of the room through the run's recovery (reference timing and peak sync),
// as two-period recordings or as a continuous stream; returns the averaged response's peak
// magnitude.
double AveragedPeak(double ppm, bool correct, MeasurementState& s, bool stream = false) {
    constexpr int kOrder = 16;
    s.MlsOrder = kOrder;
    s.RecomputeDerived();
    s.AveragesTarget = 8;
    s.AveragesDone = 0;
    s.AtcMode = 1;
    s.PeakSync = true;
    s.SyncMode = 1;
    s.SyncTime = 20;
    s.IgnoreFirst = false;
    s.FirstSamplePending = false;
    RoomRecorder recorder(kOrder, QuietRoom(ppm));
    StreamRecorder periods(kOrder, QuietRoom(ppm));
    DriftCorrector corrector;
    corrector.Prepare(kOrder);
    if (stream) {
        corrector.ProcessStreamPeriod(periods.Next(), true, DriftCorrector::StreamUse::Anchor,
                                      correct);
    }
    const std::size_t frames = 2 * (std::size_t{1} << kOrder);
    for (int i = 0; i < 40; ++i) {
        if (stream) {
            int32_t* rec = periods.Next();
            const std::vector<int32_t> before(rec, rec + 2 * frames);
            corrector.ProcessStreamPeriod(rec, true, DriftCorrector::StreamUse::Averaged, correct);
            // Without the correction the recording is not touched.
            if (!correct) {
                EXPECT_TRUE(std::equal(before.begin(), before.end(), rec));
            }
            std::copy(rec, rec + 2 * frames, s.buffers.SampleresultI());
        } else {
            auto rec = recorder.Next();
            const auto before = rec;
            corrector.Process(rec.data(), true, correct);
            if (!correct) {
                EXPECT_EQ(rec, before);
            }
            std::copy(rec.begin(), rec.end(), s.buffers.SampleresultI());
        }
        if (ProcessPeriod(s).complete) {
            FindImpulsePeak(s);
            EXPECT_EQ(corrector.Corrected() > 0, correct) << ppm;
            return s.ImpulsePeakValue;
        }
    }
    ADD_FAILURE() << "run did not complete";
    return 0.0;
}

TEST(ClockDrift, CorrectionKeepsTheAveragedPeak) {
    MeasurementState s;
    s.buffers.Allocate({}, [](const std::string&) { FAIL(); });
    for (const bool stream : {false, true}) {
        const double reference = AveragedPeak(0.0, false, s, stream);
        const double drifting = AveragedPeak(50.0, false, s, stream);
        const double corrected = AveragedPeak(50.0, true, s, stream);
        const double lossDb = 20 * std::log10(reference / drifting);
        const double correctedDb = 20 * std::log10(reference / corrected);
        RecordProperty(stream ? "stream_loss_without_correction_db" : "loss_without_correction_db",
                       std::to_string(lossDb));
        std::printf("%s: 50 ppm loses %.2f dB, %.3f dB with the correction\n",
                    stream ? "continuous" : "two-period", lossDb, correctedDb);
        EXPECT_GT(lossDb, 1.0) << stream;
        EXPECT_LT(std::abs(correctedDb), 0.5) << stream;
        // At 0 ppm the correction finds nothing to undo.
        EXPECT_NEAR(AveragedPeak(0.0, true, s, stream), reference, reference * 0.01) << stream;
    }
}

TEST(Resampler, ReadsBandLimitedSignalsBetweenSamples) {
    // A sine well below the band edge, read at fractional positions, matches its formula.
    std::vector<double> x(400);
    for (std::size_t k = 0; k < x.size(); ++k) x[k] = std::sin(0.3 * double(k));
    FractionalReader reader;
    for (double pos : {100.0, 100.25, 150.5, 199.999, 250.75}) {
        EXPECT_NEAR(reader.At(x.data(), 400, 1, pos), std::sin(0.3 * pos), 1e-4) << pos;
    }
    // Outside the samples the signal counts as silence.
    EXPECT_EQ(reader.At(x.data(), 400, 1, -40.0), 0.0);
}

TEST(Resampler, RecordingRatioOneIsACopyAndPeriodicTailIsRebuilt) {
    const std::size_t frames = 1000;
    std::vector<int32_t> in(2 * frames), out(2 * frames);
    const double period = 50.0;
    for (std::size_t k = 0; k < frames; ++k) {
        in[2 * k] = static_cast<int32_t>(k) - 500;
        in[2 * k + 1] = static_cast<int32_t>(std::nearbyint(1e5 * std::sin(2 * M_PI * k / period)));
    }
    ResampleRecording(in.data(), frames, 1.0, period, 0.0, out.data());
    EXPECT_EQ(std::vector<int32_t>(out.begin() + 40, out.end() - 40),
              std::vector<int32_t>(in.begin() + 40, in.end() - 40));
    // Read 1 % slower, the periodic right channel continues past the end instead of fading out.
    ResampleRecording(in.data(), frames, 1.01, period, 0.0, out.data());
    for (std::size_t k = 900; k < frames; ++k) {
        EXPECT_NEAR(out[2 * k + 1], 1e5 * std::sin(2 * M_PI * 1.01 * double(k) / period), 30) << k;
    }
}

TEST(VirtualRoomClock, ZeroOffsetIsTheRoomAsBeforeAndOffsetAccumulatesAcrossRestarts) {
    RoomParameters p = QuietRoom(0.0);
    RoomSimulator a(p, kRate), b(p, kRate, 300.0);
    std::vector<int16_t> out(2 * 2000), inA(2 * 2000), inB(2 * 2000);
    for (std::size_t k = 0; k < out.size(); ++k)
        out[k] = static_cast<int16_t>((k * 7919) % 20000) - 10000;
    a.Process(out.data(), 2, inA.data(), 2, 2000);
    b.Process(out.data(), 2, inB.data(), 2, 2000);
    EXPECT_EQ(inA, inB);  // without an offset the stored clock delay plays no part

    p.clockPpm = 100.0;
    RoomSimulator first(p, kRate);
    const double start = first.ClockDelay();
    first.Process(out.data(), 2, inA.data(), 2, 2000);
    EXPECT_NEAR(first.ClockDelay() - start, 0.2, 1e-9);
    RoomSimulator second(p, kRate, first.ClockDelay());
    second.Process(out.data(), 2, inA.data(), 2, 2000);
    EXPECT_NEAR(second.ClockDelay() - start, 0.4, 1e-9);

    RoomParameters q;
    EXPECT_FALSE(q.Set("ppm=-20").has_value());
    EXPECT_EQ(q.clockPpm, -20.0);
    EXPECT_TRUE(q.Set("ppm=5000").has_value());
}

// What the room's own noise gives: one period's recovered noise per sample is σ²·L/(L+1)²
// (input noise plus the 16-bit rounding), n periods divide it by n, and over a window of W
// samples each bin of the rectangular transform holds W times it. The band's signal is the
// averaged response's own power there.
double RoomBandSnr(const double* mean, std::size_t start, std::size_t count, double noiseDb,
                   std::size_t length, int periods, double centre) {
    const double sigma = std::pow(10.0, noiseDb / 20.0) * 32767.0;
    const double perSample =
        (sigma * sigma + 1.0 / 12.0) * length / ((length + 1.0) * (length + 1.0)) / periods;
    std::size_t size = 0;
    const auto signal = PowerSpectrum(mean + start, count, size);
    double s = 0.0;
    int bins = 0;
    for (std::size_t k = 1; k < signal.size(); ++k) {
        const double hz = double(k) * kRate / double(size);
        if (hz >= centre / std::sqrt(2.0) && hz < centre * std::sqrt(2.0)) s += signal[k], ++bins;
    }
    return 10 * std::log10(s / (bins * double(count) * perSample));
}

// SNR per octave band of the averaged response against what the room's noise level gives.
TEST(NoiseFloor, OctaveSnrMatchesTheRoomsNoise) {
    constexpr int kOrder = 15;
    constexpr std::size_t kL = (std::size_t{1} << kOrder) - 1;
    constexpr int kPeriods = 8;
    RoomParameters p = QuietRoom(0.0);
    p.noiseDb = -45.0;
    RoomRecorder recorder(kOrder, p);
    NoiseTracker tracker;
    tracker.Prepare(kL);
    std::vector<double> sum(kL, 0.0), period(kL);
    std::vector<int32_t> samples(kL);
    recorder.Next();  // the room settles
    for (int i = 0; i < kPeriods; ++i) {
        // Read every period from the same phase of the sequence.
        const std::size_t start = (2 * kL + 1 - (recorder.Phase() + kL + 1) % kL) % kL;
        const auto rec = recorder.Next();
        SteadyStateSamples(rec.data(), kOrder, start, samples.data());
        RecoverImpulseInt(kOrder, 1, samples.data(), period.data());
        tracker.Add(period.data(), sum.data(), i, kL);
        for (std::size_t k = 0; k < kL; ++k) sum[k] += period[k];
    }
    ASSERT_EQ(tracker.Periods(), kPeriods);
    std::vector<double> mean(kL);
    for (std::size_t k = 0; k < kL; ++k) mean[k] = sum[k] / kPeriods;
    const auto noise = tracker.Noise();
    ASSERT_EQ(noise.size(), kL);

    const std::size_t start = 1000, count = 16384;
    for (const auto& b : OctaveSnr(mean.data(), noise.data(), start, count, kRate)) {
        if (b.centre < 125 || b.centre > 8000) continue;
        ASSERT_TRUE(b.valid);
        EXPECT_NEAR(b.snrDb,
                    RoomBandSnr(mean.data(), start, count, p.noiseDb, kL, kPeriods, b.centre), 2.0)
            << b.centre << " Hz";
    }
}

// The same through a run as the program makes it (reference timing, peak sync) and the
// frequency window: the response and noise estimate the run leaves in the measurement state,
// transformed by the window, give per band the floor-to-curve distance the room's noise gives.
TEST(NoiseFloor, WindowFloorAfterARunMatchesTheRoomsNoise) {
    constexpr int kOrder = 15;
    constexpr std::size_t kL = (std::size_t{1} << kOrder) - 1;
    constexpr int kPeriods = 8;
    MeasurementState s;
    s.buffers.Allocate({}, [](const std::string&) { FAIL(); });
    s.MlsOrder = kOrder;
    s.RecomputeDerived();
    s.AveragesTarget = kPeriods;
    s.AtcMode = 1;
    s.PeakSync = true;
    s.SyncMode = 1;
    s.SyncTime = 20;
    s.IgnoreFirst = false;
    s.FirstSamplePending = false;
    s.AveragesDone = 0;
    s.Noise.Prepare(kL);
    RoomParameters p = QuietRoom(0.0);
    p.noiseDb = -45.0;
    RoomRecorder recorder(kOrder, p);
    bool complete = false;
    for (int i = 0; i < 3 * kPeriods && !complete; ++i) {
        const auto rec = recorder.Next();
        std::copy(rec.begin(), rec.end(), s.buffers.SampleresultI());
        complete = ProcessPeriod(s).complete;
        // Mid-run there is no estimate for the window.
        if (!complete) {
            ASSERT_FALSE(s.Noise.Ready());
        }
    }
    ASSERT_TRUE(complete);
    FindImpulsePeak(s);
    ASSERT_TRUE(s.Noise.Ready());
    ASSERT_EQ(s.Noise.EstimatePeriods(), kPeriods);

    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    int32_t smoothing = 1;
    std::string mic;
    bool warn = false;
    FrequencyWindowModel window(tree, prompter, {smoothing, mic, warn});
    SpectrumInput in;
    in.impulse = s.buffers.RLPd();
    in.impulseCount = kL;
    const std::size_t start = static_cast<std::size_t>(s.ImpulsePeakIndex) - 1 - 44;
    const std::size_t count = 16384;
    in.viewStart = static_cast<int64_t>(start) + 1;
    in.viewEnd = in.viewStart + static_cast<int64_t>(count);
    in.fftSize = static_cast<int>(count);
    in.sampleRate = kRate;
    in.noise = s.Noise.Estimate().data();
    in.noisePeriods = s.Noise.EstimatePeriods();
    ASSERT_TRUE(window.ShowSpectrum(in, AnalysisMode::Fft));
    ASSERT_TRUE(window.HasNoiseFloor());
    const auto& curve = window.computer.DisplaySpectrum();
    const auto& floor = window.NoiseComputer().DisplaySpectrum();
    const double binWidth = window.computer.BinWidth();
    for (const double centre : kOctaveCentres) {
        if (centre < 125 || centre > 8000) continue;
        double c = 0.0, f = 0.0;
        for (std::size_t k = 1; k < curve.size(); ++k) {
            const double hz = double(k) * binWidth;
            if (hz < centre / std::sqrt(2.0) || hz >= centre * std::sqrt(2.0)) continue;
            c += curve[k].Magnitude * curve[k].Magnitude;
            f += floor[k].Magnitude * floor[k].Magnitude;
        }
        EXPECT_NEAR(10 * std::log10(c / f),
                    RoomBandSnr(s.buffers.RLPd(), start, count, p.noiseDb, kL, kPeriods, centre),
                    2.0)
            << centre << " Hz";
    }
}

// A single response's noise from its late tail: known white noise under a decaying response.
TEST(NoiseFloor, TailEstimateMatchesKnownNoiseAndSaysWhyWhenThereIsNone) {
    constexpr std::size_t kL = 32767;
    std::vector<double> ir(kL);
    uint32_t r = 11;
    auto uniform = [&r] { return ((r = r * 1664525u + 1013904223u) >> 8) / double(1 << 24) - 0.5; };
    const double sigma = 1e-3;  // uniform noise of this RMS
    for (std::size_t k = 0; k < kL; ++k) {
        const double t = double(k) - 200.0;
        const double decay = k >= 200 ? std::exp(-t / 400.0) * (k == 200 ? 1.0 : uniform()) : 0.0;
        ir[k] = decay + sigma * std::sqrt(12.0) * uniform();
    }
    const std::size_t start = 156, count = 16000;
    const TailSnr snr = TailNoiseSnr(ir.data(), kL, start, count, kRate);
    ASSERT_TRUE(snr.reason.empty()) << snr.reason;
    EXPECT_EQ(snr.noiseStart, kL - count);
    std::size_t size = 0;
    const auto signal = PowerSpectrum(ir.data() + start, count, size);
    for (const BandSnr& b : snr.bands) {
        if (b.centre < 125 || b.centre > 8000) continue;
        double sum = 0.0;
        int bins = 0;
        for (std::size_t k = 1; k < signal.size(); ++k) {
            const double hz = double(k) * kRate / double(size);
            if (hz >= b.centre / std::sqrt(2.0) && hz < b.centre * std::sqrt(2.0))
                sum += signal[k], ++bins;
        }
        EXPECT_NEAR(b.snrDb, 10 * std::log10(sum / (bins * count * sigma * sigma)), 2.0)
            << b.centre << " Hz";
    }

    // No estimate: a tail that would overlap the signal, a silent tail, a room still ringing.
    EXPECT_FALSE(TailNoiseSnr(ir.data(), kL, start, 20000, kRate).reason.empty());
    std::vector<double> silent(kL, 0.0);
    silent[200] = 1.0;
    EXPECT_EQ(TailNoiseSnr(silent.data(), kL, start, count, kRate).reason,
              "the response's tail is silent");
    std::vector<double> ringing(kL);
    for (std::size_t k = 0; k < kL; ++k) ringing[k] = std::exp(-double(k) / 8000.0) * uniform();
    EXPECT_EQ(TailNoiseSnr(ringing.data(), kL, start, count, kRate).reason,
              "the response still decays at its end");
}

TEST(NoiseFloor, NeedsTwoPeriodsAndScalesTheLastDifference) {
    NoiseTracker t;
    t.Prepare(3);
    const double a[] = {1, 2, 3}, b[] = {3, 2, 1}, zero[] = {0, 0, 0};
    t.Add(a, zero, 0, 3);
    EXPECT_TRUE(t.Noise().empty());
    t.Add(b, a, 1, 3);
    // n = 2: (b − a)·√1/2.
    EXPECT_EQ(t.Noise(), (std::vector<double>{1, 0, -1}));
    // A period longer than prepared is not tracked (and never written past the buffer).
    const double longer[5] = {};
    t.Add(longer, longer, 2, 5);
    EXPECT_EQ(t.Periods(), 2);
}

TEST(NoiseFloor, EstimateIsKeptFromFinishUntilTheNextRunOrAReset) {
    NoiseTracker t;
    t.Prepare(3);
    const double a[] = {1, 2, 3}, b[] = {3, 2, 1}, zero[] = {0, 0, 0};
    t.Add(a, zero, 0, 3);
    t.Finish(2);
    EXPECT_FALSE(t.Ready()) << "one period has no spread";
    t.Add(b, a, 1, 3);
    EXPECT_FALSE(t.Ready()) << "not before the response is complete";
    t.Finish(2);
    ASSERT_TRUE(t.Ready());
    EXPECT_EQ(std::vector<double>(t.Estimate().begin(), t.Estimate().end()),
              (std::vector<double>{1, 0, -1}));
    // A continuous run's next periods leave the finished estimate alone.
    t.Add(a, zero, 0, 3);
    EXPECT_EQ(t.EstimatePeriods(), 2);
    EXPECT_EQ(t.Estimate()[0], 1.0);
    t.Reset();  // a loaded file
    EXPECT_FALSE(t.Ready());
    EXPECT_TRUE(t.Estimate().empty());
}

}  // namespace
}  // namespace fim
