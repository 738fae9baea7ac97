// Time-synchronised recovery on recordings made the way a run makes them: silence, then the two
// played periods through a reverberant room, the reference looped back on the left with latency.
// The result must be the room's steady-state response (its response aliased to the period).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "audio/PartitionedConvolver.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "core/Recovery.h"
#include "core/RunView.h"
#include "shell/ScriptedPrompter.h"

namespace fim {
namespace {

constexpr double kRate = 44100.0;
constexpr double kAmplitude = 3000.0;
constexpr std::size_t kDirect = 130;  // the loudspeaker's distance, in samples

struct QuietView : RunView {
    void SetStatusPanel(int, const std::string&) override {}
    void RedrawImpulse() override {}
};

std::vector<double> Sequence(int order) {
    ScriptedPrompter prompter;
    std::vector<int8_t> m((std::size_t{1} << order) - 1);
    EXPECT_TRUE(GenerateMls(order, m.data(), prompter));
    return {m.begin(), m.end()};
}

// A room: the direct sound after kDirect samples, then a diffuse tail of noise that decays by
// 60 dB over `t60` seconds and ends there; the tail carries as much energy as the direct sound.
std::vector<double> Room(double t60, uint32_t seed) {
    const auto tail = static_cast<std::size_t>(t60 * kRate);
    std::vector<double> h(kDirect + tail, 0.0);
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const double decay = 6.907755278982137 / (t60 * kRate);
    const double level = std::sqrt(2.0 * decay);
    h[kDirect] = 1.0;
    for (std::size_t j = 1; j < tail; ++j)
        h[kDirect + j] = level * gauss(rng) * std::exp(-decay * j);
    return h;
}

std::vector<double> Convolve(const std::vector<double>& h, const std::vector<double>& x) {
    PartitionedConvolver conv(1024);
    conv.SetResponse(h);
    std::vector<double> y(x.size());
    conv.Process(x.data(), y.data(), x.size());
    return y;
}

double EnergyDb(const std::vector<double>& a, const std::vector<double>& b, std::size_t count) {
    double diff = 0, ref = 0;
    for (std::size_t k = 0; k < count; ++k) {
        diff += (a[k] - b[k]) * (a[k] - b[k]);
        ref += b[k] * b[k];
    }
    return 10.0 * std::log10(std::max(diff, 1e-300) / ref);
}

class SteadyStateRecovery : public ::testing::Test {
  protected:
    void Init(int order) {
        n = std::size_t{1} << order;
        length = n - 1;
        m = Sequence(order);
        s.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        s.MlsOrder = static_cast<uint8_t>(order);
        s.RecomputeDerived();
        s.IgnoreFirst = false;
        s.FirstSamplePending = false;
        s.SyncMode = 1;
        s.SyncTime = 5;
    }

    // The room's answer to the endlessly repeated sequence over one period: output position i
    // of the recording's steady state (latency removed).
    std::vector<double> SteadyState(const std::vector<double>& h) const {
        const std::size_t periods = (h.size() + length - 1) / length + 1;
        std::vector<double> x(periods * length);
        for (std::size_t f = 0; f < x.size(); ++f) x[f] = kAmplitude * m[f % length];
        const std::vector<double> y = Convolve(h, x);
        return {y.end() - static_cast<std::ptrdiff_t>(length), y.end()};
    }

    // What a run records of one period pair: 2N frames from the moment the output starts; the
    // output plays both periods and two silent frames. Left: the output `latency` frames late.
    // Right: the output through the room, as late, plus noise; both rounded to integers.
    std::vector<int32_t> Record(const std::vector<double>& h, std::size_t latency,
                                uint32_t seed) const {
        std::vector<double> out(2 * n, 0.0);
        for (std::size_t f = 0; f < 2 * length; ++f) out[f] = kAmplitude * m[f % length];
        const std::vector<double> y = Convolve(h, out);
        std::mt19937 rng(seed);
        std::normal_distribution<double> noise(0.0, 1.0);
        std::vector<int32_t> rec(4 * n);
        for (std::size_t f = 0; f < 2 * n; ++f) {
            const bool arrived = f >= latency;
            rec[2 * f] = arrived ? static_cast<int32_t>(out[f - latency]) : 0;
            const double right = (arrived ? y[f - latency] : 0.0) + noise(rng);
            rec[2 * f + 1] = static_cast<int32_t>(std::nearbyint(right));
        }
        return rec;
    }

    // Runs `periods` recordings through ProcessPeriod; returns the response (L values).
    std::vector<double> Run(const std::vector<std::vector<int32_t>>& periods, bool atc, bool sync) {
        s.AtcMode = atc ? 1 : 0;
        s.PeakSync = sync;
        s.AveragesTarget = static_cast<int32_t>(periods.size());
        s.AveragesDone = 0;
        bool done = false;
        for (const auto& rec : periods) {
            EXPECT_FALSE(done);
            std::copy(rec.begin(), rec.end(), s.buffers.SampleresultI());
            done = ProcessPeriod(s, view);
        }
        EXPECT_TRUE(done);
        const double* rlp = s.buffers.RLPd();
        return {rlp, rlp + length};
    }

    // The recovery of the steady state read from start frame X, with the reference `latency`
    // frames late: the response a settled room gives at that position.
    std::vector<double> Expected(const std::vector<double>& steady, std::size_t latency,
                                 std::size_t start) const {
        std::vector<double> y(length);
        for (std::size_t k = 0; k < length; ++k) {
            y[k] = steady[(start + k + length - latency % length) % length];
        }
        std::vector<double> r(length);
        RecoverImpulseFloat(static_cast<int>(s.MlsOrder), y.data(), r.data());
        return r;
    }

    // Start frame of the time alignment: the reference, correlated from frame 5 on, peaks at
    // 1-based p = ((latency − 5) mod L) + 1; the data is read from 210 frames before that.
    std::size_t AtcStart(std::size_t latency) const {
        const std::size_t p = (latency + length - 5) % length + 1;
        return p > 210 ? p - 210 : 0;
    }

    std::size_t n = 0, length = 0;
    std::vector<double> m;
    MeasurementState s;
    QuietView view;
};

TEST(SteadyStateSamples, ReadsTheSecondPeriodCircularly) {
    constexpr int order = 6;
    constexpr std::size_t n = 64, length = 63;
    std::vector<int32_t> rec(4 * n);
    for (std::size_t f = 0; f < 2 * n; ++f) {
        rec[2 * f] = -1;
        rec[2 * f + 1] = static_cast<int32_t>(f);
    }
    std::vector<int32_t> got(length + 1, 12345);
    for (std::size_t x : {std::size_t{0}, std::size_t{1}, std::size_t{40}, n - 1, n}) {
        SteadyStateSamples(rec.data(), order, x, got.data());
        for (std::size_t k = 0; k < length; ++k) {
            ASSERT_EQ(got[k], static_cast<int32_t>(n + (x + k + length - 1) % length))
                << x << " " << k;
        }
        EXPECT_EQ(got[length], 12345) << "wrote past L samples";
    }

    // On a recording periodic from its first frame the samples are frames X … X + L − 1.
    for (std::size_t f = 0; f < 2 * n; ++f)
        rec[2 * f + 1] = static_cast<int32_t>(f % length) * 3 - 7;
    for (std::size_t x : {std::size_t{0}, std::size_t{17}, n}) {
        SteadyStateSamples(rec.data(), order, x, got.data());
        for (std::size_t k = 0; k < length; ++k)
            ASSERT_EQ(got[k], rec[2 * (x + k) + 1]) << x << " " << k;
    }
}

// A recording periodic from its first frame keeps the result it always had: the recovery of
// frames S … S + L − 1, read straight from the recording.
TEST_F(SteadyStateRecovery, PeriodicRecordingsKeepTheirResults) {
    Init(12);
    const std::vector<double> h = Room(0.03, 7);
    const std::vector<double> steady = SteadyState(h);
    std::vector<int32_t> rec(4 * n);
    const std::size_t latency = 900;
    for (std::size_t f = 0; f < 2 * n; ++f) {
        rec[2 * f] = static_cast<int32_t>(kAmplitude * m[(f + length - latency) % length]);
        rec[2 * f + 1] =
            static_cast<int32_t>(std::nearbyint(steady[(f + length - latency) % length]));
    }
    const std::size_t start = AtcStart(latency);
    std::vector<double> old(length);
    RecoverImpulseInt(12, 2, rec.data() + 2 * start + 1, old.data());
    const double peak = *std::max_element(old.begin(), old.end());
    for (bool sync : {false, true}) {
        const std::vector<double> got = Run({rec}, true, sync);
        for (std::size_t k = 0; k < length; ++k) ASSERT_NEAR(got[k], old[k], 1e-12 * peak) << k;
    }
}

// Decaying rooms at two orders and three latencies, one and four averages, time alignment with
// and without peak synchronisation: the response is the steady-state one at the alignment's
// position, as clean as the second period read without alignment.
TEST_F(SteadyStateRecovery, ReverberantRoomsFromSilenceGiveTheSteadyStateResponse) {
    for (int order : {14, 16}) {
        Init(order);
        for (double t60 : {0.1, 0.25, 0.5}) {
            const std::vector<double> h = Room(t60, static_cast<uint32_t>(order * 10 + t60 * 100));
            const std::vector<double> steady = SteadyState(h);
            for (std::size_t latency : {std::size_t{0}, std::size_t{300}, std::size_t{5000}}) {
                SCOPED_TRACE("order " + std::to_string(order) + ", T60 " + std::to_string(t60) +
                             " s, latency " + std::to_string(latency));
                std::vector<std::vector<int32_t>> periods;
                for (uint32_t i = 0; i < 4; ++i) periods.push_back(Record(h, latency, 100 + i));
                const std::vector<double> atOff = Expected(steady, latency, n);
                const std::vector<double> atAtc = Expected(steady, latency, AtcStart(latency));
                const bool fits = latency + h.size() < n;
                for (std::size_t averages : {1u, 4u}) {
                    const std::vector<std::vector<int32_t>> use(periods.begin(),
                                                                periods.begin() + averages);
                    const double off = EnergyDb(Run(use, false, false), atOff, length);
                    if (fits) {
                        EXPECT_LT(off, -50.0) << averages;
                    }
                    for (bool sync : {false, true}) {
                        const double on = EnergyDb(Run(use, true, sync), atAtc, length);
                        EXPECT_LT(on, off + 1.0)
                            << "peak sync " << sync << ", averages " << averages;
                        if (fits) {
                            EXPECT_LT(on, -50.0)
                                << "peak sync " << sync << ", averages " << averages;
                        }
                    }
                }
            }
        }
    }
}

// A readjusted period (the direct sound two samples later, the reference where it was) is read
// from S + d in the same steady-state way and lines up with the reference period.
TEST_F(SteadyStateRecovery, ReadjustedPeriodIsReadInSteadyStateToo) {
    Init(14);
    const std::vector<double> h = Room(0.25, 3);
    std::vector<double> later(h.size() + 2, 0.0);
    std::copy(h.begin(), h.end(), later.begin() + 2);
    const std::size_t latency = 300;
    const std::vector<std::vector<int32_t>> periods = {Record(h, latency, 1),
                                                       Record(later, latency, 2)};
    const std::vector<double> got = Run(periods, true, true);
    EXPECT_EQ(s.AveragesDone, 0) << "both periods counted";
    EXPECT_LT(EnergyDb(got, Expected(SteadyState(h), latency, AtcStart(latency)), length), -50.0);
}

}  // namespace
}  // namespace fim
