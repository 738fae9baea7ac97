#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "audio/RunController.h"
#include "audio/RunView.h"
#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "core/Recovery.h"

namespace fim {
namespace {

std::vector<double> MlsValues(int order) {
    ScriptedPrompter prompter;
    std::vector<int8_t> m((std::size_t{1} << order) - 1);
    EXPECT_TRUE(GenerateMls(order, m.data(), prompter));
    return {m.begin(), m.end()};
}

// A recording of the periodic sequence through a room: y[k] = Σ_j h[j]·m[(k − delay − j) mod L].
std::vector<double> RoomRecording(const std::vector<double>& m, const std::vector<double>& h,
                                  std::size_t delay) {
    const std::size_t length = m.size();
    std::vector<double> y(length, 0.0);
    for (std::size_t j = 0; j < h.size(); ++j) {
        for (std::size_t k = 0; k < length; ++k) {
            y[(k + delay + j) % length] += h[j] * m[k];
        }
    }
    return y;
}

// Direct circular cross-correlation with the sequence, normalised by L.
std::vector<double> DirectCorrelation(const std::vector<double>& m, const std::vector<double>& y) {
    const std::size_t length = m.size();
    std::vector<double> r(length);
    for (std::size_t tau = 0; tau < length; ++tau) {
        long double sum = 0;
        for (std::size_t k = 0; k < length; ++k) sum += y[k] * m[(k + length - tau) % length];
        r[tau] = static_cast<double>(sum / length);
    }
    return r;
}

double MaxAbs(const std::vector<double>& v) {
    double m = 0;
    for (double x : v) m = std::max(m, std::fabs(x));
    return m;
}

// The recovery written out step by step in extended precision, with the permutations computed bit
// by bit: the reference for the table-driven, double-precision implementation.
std::vector<double> LiteralRecovery(int order, const std::vector<double>& input) {
    const MlsTapRecord rec = MlsTaps(order);
    const std::size_t n = std::size_t{1} << order;
    const std::size_t length = n - 1;
    const std::size_t mask = n - 1;
    std::vector<long double> work(n, 0.0L);
    std::size_t s = mask;
    for (std::size_t k = 0; k < length; ++k) {
        int count = 0;
        for (int i = 0; i < rec.count; ++i)
            count += (s & (std::size_t{1} << (rec.taps[i] - 1))) != 0;
        s = ((2 * s) | static_cast<std::size_t>(count & 1)) & mask;
        work[s] = input[k];
    }
    for (std::size_t b = 2; b <= n; b *= 2) {
        for (std::size_t start = 0; start < n; start += b) {
            for (std::size_t j = 0; j < b / 2; ++j) {
                const long double u = work[start + j], v = work[start + j + b / 2];
                work[start + j] = u + v;
                work[start + j + b / 2] = u - v;
            }
        }
    }
    std::vector<std::size_t> c(order);
    for (int i = 0; i < order; ++i) c[i] = std::size_t{1} << i;
    std::vector<int> taps(rec.taps.begin(), rec.taps.begin() + rec.count);
    std::vector<double> out(length);
    for (std::size_t k = 0; k < length; ++k) {
        std::size_t x = 0;
        for (int t : taps) x ^= c[t - 1];
        c[taps.back() - 1] = x;
        for (int& t : taps) t = t < 2 ? order : t - 1;
        out[length - 1 - k] = static_cast<double>(-work[x] / static_cast<long double>(length));
    }
    return out;
}

TEST(Recovery, SequenceItselfGivesAUnitImpulse) {
    const std::vector<double> m = MlsValues(4);
    std::vector<double> out(16, 99.0);
    RecoverImpulseFloat(4, m.data(), out.data());
    EXPECT_NEAR(out[0], 1.0, 1e-15);
    for (std::size_t k = 1; k < 15; ++k) EXPECT_NEAR(out[k], -1.0 / 15, 1e-15) << k;
    EXPECT_EQ(out[15], 99.0) << "wrote past L outputs";

    for (std::size_t d : {1u, 7u, 14u}) {
        const std::vector<double> y = RoomRecording(m, {1.0}, d);
        RecoverImpulseFloat(4, y.data(), out.data());
        EXPECT_NEAR(out[d], 1.0, 1e-15) << d;
        EXPECT_NEAR(out[(d + 1) % 15], -1.0 / 15, 1e-15) << d;
    }
}

// Dense random rooms at every order up to 12 against the direct correlation; both transforms, the
// integer one reading every second element of an interleaved buffer.
TEST(Recovery, MatchesDirectCorrelationForRandomRooms) {
    std::mt19937 rng(12345);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int order = 4; order <= 12; ++order) {
        SCOPED_TRACE(order);
        const std::vector<double> m = MlsValues(order);
        const std::size_t length = m.size();
        std::vector<double> h(std::min<std::size_t>(length / 2, 60));
        for (std::size_t j = 0; j < h.size(); ++j) h[j] = gauss(rng) * std::exp(-0.1 * j);
        const std::size_t delay = rng() % length;
        std::vector<double> y = RoomRecording(m, h, delay);
        // Integer input: scale to a recorded level and round so both paths see the same values.
        std::vector<int32_t> interleaved(2 * length + 2, std::numeric_limits<int32_t>::min());
        for (std::size_t k = 0; k < length; ++k) {
            y[k] = std::nearbyint(y[k] * 3000.0);
            interleaved[2 * k + 1] = static_cast<int32_t>(y[k]);
        }
        const std::vector<double> expected = DirectCorrelation(m, y);
        const double tol = 1e-9 * MaxAbs(expected);
        std::vector<double> fromFloat(length + 1, 7.0), fromInt(length + 1, 7.0);
        RecoverImpulseFloat(order, y.data(), fromFloat.data());
        RecoverImpulseInt(order, 2, interleaved.data() + 1, fromInt.data());
        for (std::size_t k = 0; k < length; ++k) {
            ASSERT_NEAR(fromFloat[k], expected[k], tol) << k;
            ASSERT_NEAR(fromInt[k], expected[k], tol) << k;
        }
        EXPECT_EQ(fromFloat[length], 7.0);
        EXPECT_EQ(fromInt[length], 7.0);
    }
}

// Double precision against the extended-precision literal form at every order, noisy non-integer
// input for the floating transform and its rounded values for the integer one.
TEST(Recovery, DoublePrecisionAgreesWithExtendedPrecisionAtEveryOrder) {
    std::mt19937 rng(99);
    std::normal_distribution<double> gauss(0.0, 1.0);
    for (int order = 2; order <= 18; ++order) {
        SCOPED_TRACE(order);
        const std::vector<double> m = MlsValues(order);
        const std::size_t length = m.size();
        std::vector<double> y(length);
        const std::size_t delay = length / 3;
        for (std::size_t k = 0; k < length; ++k) {
            y[(k + delay) % length] += 0.7 * m[k];
            y[(k + delay + 1) % length] -= 0.2 * m[k];
            y[k] += 0.05 * gauss(rng);
        }
        const std::vector<double> expected = LiteralRecovery(order, y);
        std::vector<double> got(length);
        RecoverImpulseFloat(order, y.data(), got.data());
        double worst = 0;
        for (std::size_t k = 0; k < length; ++k)
            worst = std::max(worst, std::fabs(got[k] - expected[k]));
        EXPECT_LE(worst, 1e-9 * MaxAbs(expected));

        std::vector<int32_t> counts(length);
        for (std::size_t k = 0; k < length; ++k) {
            counts[k] = static_cast<int32_t>(std::nearbyint(y[k] * 10000));
            y[k] = counts[k];
        }
        const std::vector<double> exact = LiteralRecovery(order, y);
        RecoverImpulseInt(order, 1, counts.data(), got.data());
        worst = 0;
        for (std::size_t k = 0; k < length; ++k)
            worst = std::max(worst, std::fabs(got[k] - exact[k]));
        EXPECT_LE(worst, 1e-9 * MaxAbs(exact));
    }
}

TEST(Recovery, FullScale32BitInputDoesNotOverflowAtOrder18) {
    const int order = 18;
    const std::vector<double> m = MlsValues(order);
    const std::size_t length = m.size();
    const std::size_t delay = 1234;
    std::vector<int32_t> stereo(2 * length);
    for (std::size_t k = 0; k < length; ++k) {
        const int32_t v =
            m[k] > 0 ? std::numeric_limits<int32_t>::max() : -std::numeric_limits<int32_t>::max();
        stereo[2 * ((k + delay) % length)] = v;
        stereo[2 * k + 1] = std::numeric_limits<int32_t>::min();  // the other channel
    }
    std::vector<double> out(length);
    RecoverImpulseInt(order, 2, stereo.data(), out.data());
    const double a = std::numeric_limits<int32_t>::max();
    EXPECT_NEAR(out[delay], a, 1e-6);
    EXPECT_NEAR(out[0], -a / length, 1e-6);
    EXPECT_NEAR(out[length - 1], -a / length, 1e-6);
}

// ---------------------------------------------------------------------------------------------
// Averaging of recorded periods.

struct RecordingView : RunView {
    std::vector<std::pair<int, std::string>> texts;
    int redraws = 0;
    void SetStatusPanel(int panel, const std::string& text) override {
        texts.emplace_back(panel, text);
    }
    void RedrawImpulse() override { ++redraws; }
    std::string Last(int panel) const {
        for (auto it = texts.rbegin(); it != texts.rend(); ++it) {
            if (it->first == panel) return it->second;
        }
        return "";
    }
};

// A period processed and shown as the run controller shows it; true when the run is complete.
bool Process(MeasurementState& s, RunView& view, PeakQuestion* question = nullptr) {
    const PeriodOutcome outcome = ProcessPeriod(s, question);
    ShowPeriodOutcome(outcome, view);
    return outcome.complete;
}

struct ScriptedQuestion : PeakQuestion {
    Answer answer = Answer::Correct;
    std::vector<std::pair<int, int>> asked;
    Answer AskPeakMismatch(int reference, int peak) override {
        asked.emplace_back(reference, peak);
        return answer;
    }
};

class Averaging : public ::testing::Test {
  protected:
    static constexpr int kOrder = 10;
    static constexpr std::size_t kN = 1024;
    static constexpr std::size_t kL = 1023;

    void SetUp() override {
        s.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        s.MlsOrder = kOrder;
        s.RecomputeDerived();
        s.AveragesTarget = 1;
        s.AtcMode = 1;
        s.PeakSync = true;
        s.SyncMode = 1;
        s.SyncTime = 5;
        s.IgnoreFirst = false;
        s.FirstSamplePending = false;
        m = MlsValues(kOrder);
    }

    // Fills Sampleresult with 2N frames: the left channel carries the sequence delayed by
    // `refDelay` frames (the timing cable), the right one `gain` × the sequence delayed by
    // `roomDelay` frames (a room with one reflection of a quarter of the direct sound, 3 later).
    void Record(std::size_t refDelay, std::size_t roomDelay, double gain) {
        int32_t* r = s.buffers.SampleresultI();
        for (std::size_t f = 0; f < 2 * kN; ++f) {
            r[2 * f] = static_cast<int32_t>(8000 * m[(f + kL - refDelay % kL) % kL]);
            const double direct = m[(f + kL - roomDelay % kL) % kL];
            const double reflection = m[(f + kL - (roomDelay + 3) % kL) % kL];
            r[2 * f + 1] =
                static_cast<int32_t>(std::nearbyint(gain * (direct + 0.25 * reflection)));
        }
    }

    // What a period of `gain` leaves at the direct sound and at the reflection: each path also
    // leaks −1/L of itself into every other position.
    static double Direct(double gain) { return gain - 0.25 * gain / kL; }
    static double Reflection(double gain) { return 0.25 * gain - gain / kL; }

    // 1-based position of the largest |RLP| value.
    int PeakOfResult() {
        FindImpulsePeak(s);
        return s.ImpulsePeakIndex;
    }

    MeasurementState s;
    RecordingView view;
    std::vector<double> m;
};

TEST_F(Averaging, WithoutAtcAveragesRawSamplesOfTheSecondPeriod) {
    s.AtcMode = 0;
    s.AveragesTarget = 2;
    s.buffers.RLPd()[kL] = 77.0;  // left over from an earlier run
    Record(0, 100, 1000);
    EXPECT_FALSE(Process(s, view));
    EXPECT_EQ(view.Last(1), "2/2");
    Record(0, 100, 3000);
    EXPECT_TRUE(Process(s, view));
    EXPECT_EQ(view.Last(1), "DONE");
    EXPECT_EQ(s.AveragesDone, 0);
    // Frame N of the recording is sequence position N − delay, so the impulse shows at delay − 1.
    EXPECT_EQ(PeakOfResult(), 100);
    EXPECT_NEAR(s.buffers.RLPd()[99], Direct(2000.0), 1e-6);
    EXPECT_NEAR(s.buffers.RLPd()[102], Reflection(2000.0), 1e-6);
    EXPECT_EQ(s.buffers.RLPd()[kL], 0.0);
}

TEST_F(Averaging, IgnoreFirstSkipsOnlyTheFirstPeriodAfterOpening) {
    s.AtcMode = 0;
    s.AveragesTarget = 2;
    s.IgnoreFirst = true;
    s.FirstSamplePending = true;
    Record(0, 50, 9000);  // would spoil the average if it were counted
    EXPECT_FALSE(Process(s, view));
    EXPECT_EQ(s.AveragesDone, 0);
    EXPECT_FALSE(s.FirstSamplePending);
    EXPECT_EQ(view.Last(1), "1/2");
    Record(0, 50, 1000);
    EXPECT_FALSE(Process(s, view));
    Record(0, 50, 2000);
    EXPECT_TRUE(Process(s, view));
    EXPECT_NEAR(s.buffers.RLPd()[49], Direct(1500.0), 1e-6);
}

TEST_F(Averaging, AtcAlignsOnTheTimingPeakWithoutPeakSync) {
    s.PeakSync = false;
    s.AveragesTarget = 2;
    // Coarse peak p = 600 − 5 + 1 = 596, start frame 386: the impulse lands 386 earlier.
    Record(600, 700, 1000);
    EXPECT_FALSE(Process(s, view));
    // A period recorded with a different latency is aligned on its own timing peak.
    Record(650, 750, 1000);
    EXPECT_TRUE(Process(s, view));
    EXPECT_EQ(PeakOfResult(), 700 - 386 + 1);
    EXPECT_NEAR(s.ImpulsePeakValue, Direct(1000.0), 1e-6);
    EXPECT_TRUE(view.Last(6).empty());
}

TEST_F(Averaging, EarlyTimingPeakStartsAtFrameZeroAndSingleRunsAlwaysComplete) {
    s.PeakSync = false;
    for (int i = 0; i < 2; ++i) {
        Record(100, 300, 1000);  // p = 96 ≤ 210
        EXPECT_TRUE(Process(s, view));
        EXPECT_EQ(view.Last(1), "DONE");
        EXPECT_EQ(PeakOfResult(), 301);
    }
}

TEST_F(Averaging, PeakSyncAddsPeriodsWithTheReferencePeak) {
    s.AveragesTarget = 3;
    s.ShowIntermediate = true;
    s.buffers.AVLd()[kL] = 55.0;  // stale values past the period must not reach the result
    s.buffers.RLPd()[kL] = 77.0;
    Record(600, 700, 1000);
    EXPECT_FALSE(Process(s, view));
    EXPECT_EQ(view.Last(6), "Referenz Sample");
    EXPECT_EQ(s.ReferencePeak, 700 - 386 + 1);
    Record(600, 700, 2000);
    EXPECT_FALSE(Process(s, view));
    EXPECT_EQ(view.Last(6), "Sample valid");
    EXPECT_EQ(view.redraws, 2);
    Record(600, 700, 3000);
    EXPECT_TRUE(Process(s, view));
    EXPECT_EQ(view.redraws, 2) << "no intermediate redraw for the completing period";
    EXPECT_EQ(PeakOfResult(), 315);
    EXPECT_NEAR(s.ImpulsePeakValue, Direct(2000.0), 1e-6);
    EXPECT_NEAR(s.buffers.RLPd()[314 + 3], Reflection(2000.0), 1e-6);
    EXPECT_EQ(s.buffers.RLPd()[kL], 0.0);
}

TEST_F(Averaging, ReadjustCorrectsUpToSyncTimeAndNoFurther) {
    s.AveragesTarget = 3;
    Record(600, 700, 1000);
    Process(s, view);
    Record(600, 705, 1000);  // d = SyncTime
    EXPECT_FALSE(Process(s, view));
    EXPECT_EQ(view.Last(6), "Corrected : 5");
    EXPECT_EQ(s.AveragesDone, 2);
    Record(600, 694, 1000);  // d = −(SyncTime + 1)
    EXPECT_FALSE(Process(s, view));
    EXPECT_EQ(view.Last(6), "Out of limit: -6");
    EXPECT_EQ(s.AveragesDone, 2);
    EXPECT_EQ(view.Last(1), "3/3");
    Record(600, 696, 1000);  // d = −4
    EXPECT_TRUE(Process(s, view));
    EXPECT_EQ(view.Last(6), "Corrected : -4");
    // All three counted periods line up on the reference peak.
    EXPECT_EQ(PeakOfResult(), 315);
    EXPECT_NEAR(s.ImpulsePeakValue, Direct(1000.0), 1e-6);
}

TEST_F(Averaging, ReadjustNeverReadsBeforeTheFirstFrame) {
    s.AveragesTarget = 2;
    s.SyncTime = 20;
    Record(100, 10, 1000);  // start frame 0, reference peak 11
    Process(s, view);
    EXPECT_EQ(s.ReferencePeak, 11);
    Record(100, 7, 1000);  // d = −3 would start at frame −3
    EXPECT_FALSE(Process(s, view));
    EXPECT_EQ(view.Last(6), "Out of limit: -3");
    EXPECT_EQ(s.AveragesDone, 1);
}

TEST_F(Averaging, IgnoreModeAndUnansweredQuestionDropThePeriod) {
    for (int mode : {0, 2}) {
        SCOPED_TRACE(mode);
        s.SyncMode = mode;
        s.AveragesDone = 0;
        s.AveragesTarget = 2;
        Record(600, 700, 1000);
        Process(s, view);
        Record(600, 702, 1000);
        EXPECT_FALSE(Process(s, view));
        EXPECT_EQ(view.Last(6), "Sample ignored");
        EXPECT_EQ(s.AveragesDone, 1);
    }
}

TEST_F(Averaging, AskUserCorrectsOrDiscardsAsAnswered) {
    s.SyncMode = 2;
    s.AveragesTarget = 3;
    ScriptedQuestion question;
    Record(600, 700, 1000);
    Process(s, view, &question);
    Record(600, 702, 1000);
    question.answer = PeakQuestion::Answer::Discard;
    Process(s, view, &question);
    EXPECT_EQ(view.Last(6), "Sample ignored");
    question.answer = PeakQuestion::Answer::Correct;
    Process(s, view, &question);
    EXPECT_EQ(view.Last(6), "Corrected : 2");
    ASSERT_EQ(question.asked.size(), 2u);
    EXPECT_EQ(question.asked[0], std::make_pair(315, 317));
    EXPECT_EQ(s.AveragesDone, 2);
}

TEST_F(Averaging, IgnoredFirstPeriodDoesNotBecomeTheReference) {
    s.AveragesTarget = 2;
    s.IgnoreFirst = true;
    s.FirstSamplePending = true;
    Record(600, 720, 1000);
    EXPECT_FALSE(Process(s, view));
    EXPECT_EQ(view.Last(6), "First Sample ignored");
    EXPECT_EQ(s.AveragesDone, 0);
    Record(600, 700, 1000);
    EXPECT_FALSE(Process(s, view));
    EXPECT_EQ(view.Last(6), "Referenz Sample");
    EXPECT_EQ(s.ReferencePeak, 315);
    Record(600, 700, 1000);
    EXPECT_TRUE(Process(s, view));
    EXPECT_EQ(PeakOfResult(), 315);
}

TEST(FindImpulsePeak, TakesTheFirstLargestMagnitude) {
    MeasurementState s;
    s.buffers.Allocate({}, [](const std::string&) { FAIL(); });
    s.MlsSize = 8;
    double* rlp = s.buffers.RLPd();
    rlp[2] = -5.0;
    rlp[4] = 5.0;
    rlp[7] = 9.0;  // beyond the N − 1 valid entries
    for (int i = 0; i < 3000; ++i) s.buffers.RLPd()[8 + i] = 100.0;
    FindImpulsePeak(s);
    EXPECT_EQ(s.ImpulsePeakIndex, 3);
    EXPECT_EQ(s.ImpulsePeakValue, 5.0);
    EXPECT_TRUE(s.ImpulseValid);
    // Long responses: the first of equal maxima, across the scan's internal chunks.
    rlp[1000] = -200.0;
    rlp[1700] = 200.0;
    s.MlsSize = 4096;
    FindImpulsePeak(s);
    EXPECT_EQ(s.ImpulsePeakIndex, 1001);
    EXPECT_EQ(s.ImpulsePeakValue, 200.0);
    s.MlsSize = 1;
    FindImpulsePeak(s);
    EXPECT_EQ(s.ImpulsePeakIndex, 0);
    EXPECT_EQ(s.ImpulsePeakValue, 0.0);
}

}  // namespace
}  // namespace fim
