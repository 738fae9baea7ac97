#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "../audio/DeviceRunRig.h"
#include "acoustics/BandFilter.h"
#include "acoustics/RoomAcoustics.h"
#include "audio/VirtualRoom.h"

namespace fim {
namespace {

constexpr double kRate = 44100.0;
const std::string kMissing = "not enough dynamic range";

// --- the band filters ------------------------------------------------------------------------

double AttenuationDb(const BandFilter& f, double frequency) {
    return -20.0 * std::log10(f.SquaredResponse(frequency));
}

// The class 1 tolerance at the octave breakpoints G^x (x = 0, ±¼, ±⅜, ±½, ±1 … ±4): lowest and
// highest relative attenuation. Fractional-octave breakpoints are the octave ones mapped by
// Ω_b = 1 + (G^(1/2b) − 1)/(G^(1/2) − 1) · (Ω − 1) above the centre, mirrored below it.
struct MaskPoint {
    double x, low, high;
};
constexpr MaskPoint kMask[] = {{0, -0.4, 0.4},  {0.25, -0.4, 0.7}, {0.375, -0.4, 1.4},
                               {0.5, 1.2, 5.3}, {1, 16.6, 1e9},    {2, 40.5, 1e9},
                               {3, 60.0, 1e9},  {4, 70.0, 1e9}};

TEST(BandFilter, SquaredResponseMeetsClassOneInEveryBand) {
    const double g = std::pow(10.0, 0.3);
    for (double rate : {44100.0, 48000.0}) {
        for (BandSet set : {BandSet::Octave, BandSet::Third}) {
            const int b = set == BandSet::Octave ? 1 : 3;
            const std::vector<BandSpec> bands = Bands(set, rate);
            EXPECT_EQ(bands.size(), b == 1 ? 8u : 24u);
            for (const BandSpec& band : bands) {
                SCOPED_TRACE(band.label + " at " + std::to_string(rate));
                const BandFilter f(band, rate);
                for (const MaskPoint& p : kMask) {
                    const double above = 1.0 + (std::pow(g, 0.5 / b) - 1.0) / (std::sqrt(g) - 1.0) *
                                                   (std::pow(g, p.x) - 1.0);
                    for (double omega : {above, 1.0 / above}) {
                        const double hz = band.centre * omega;
                        if (hz >= 0.5 * rate) continue;
                        const double a = AttenuationDb(f, hz);
                        EXPECT_GE(a, p.low) << hz << " Hz";
                        EXPECT_LE(a, p.high) << hz << " Hz";
                    }
                }
                // The squared response is 3 dB down at the nominal edges.
                EXPECT_NEAR(AttenuationDb(f, band.lower), 3.0, 0.05);
                EXPECT_NEAR(AttenuationDb(f, band.upper), 3.0, 0.05);
            }
        }
    }
}

// The filter as it runs: an impulse through both passes has the designed squared response and
// is symmetric about the impulse (no phase shift, so no energy moves in time).
TEST(BandFilter, RunsForwardAndBackwardWithoutPhase) {
    for (const BandSpec& band : Bands(BandSet::Octave, kRate)) {
        SCOPED_TRACE(band.label);
        const BandFilter f(band, kRate);
        const std::size_t n = 1 << 16, at = n / 2;
        std::vector<double> x(n, 0.0);
        x[at] = 1.0;
        const std::vector<double> y = f.ZeroPhase(x.data(), n);
        ASSERT_EQ(y.size(), n);
        const double peak = y[at];
        for (std::size_t k = 1; k < 2000; ++k) ASSERT_NEAR(y[at + k], y[at - k], 1e-9 * peak) << k;
        for (double omega : {0.5, 0.8, 1.0, 1.3, 2.0}) {
            const double w = 2.0 * std::numbers::pi * band.centre * omega / kRate;
            double re = 0, im = 0;
            for (std::size_t k = 0; k < n; ++k) {
                re += y[k] * std::cos(w * (double(k) - double(at)));
                im += y[k] * std::sin(w * (double(k) - double(at)));
            }
            EXPECT_NEAR(re, f.SquaredResponse(band.centre * omega), 1e-6) << omega;
            EXPECT_NEAR(im, 0.0, 1e-6) << omega;
        }
    }
}

TEST(AWeighting, FollowsTheStandardCurve) {
    const AWeighting a(kRate);
    // Frequency, weighting, and the class 1 tolerance of a sound level meter.
    const double points[][4] = {{31.5, -39.4, -1.5, 1.5}, {100, -19.1, -1.0, 1.0},
                                {250, -8.6, -1.0, 1.0},   {1000, 0.0, -0.1, 0.1},
                                {4000, 1.0, -1.0, 1.0},   {8000, -1.1, -2.5, 1.5}};
    for (const auto& p : points) {
        const double db = 20.0 * std::log10(a.Response(p[0]));
        EXPECT_GE(db, p[1] + p[2]) << p[0];
        EXPECT_LE(db, p[1] + p[3]) << p[0];
    }
}

// --- decays of known rates -------------------------------------------------------------------

// Decay times per octave: 1.2 s at 125 Hz falling to 0.6 s at 4 kHz.
double DecayTime(double nominal) { return 1.2 * std::pow(2.0, -std::log2(nominal / 125.0) / 5.0); }

// Unit-power band-limited noise round `centre`, `count` samples: a tone whose frequency wanders
// at random within a sixth of an octave either side. Its envelope is constant, so the energy of
// every stretch is known, which band-filtered white noise would only give on average.
std::vector<double> BandNoise(double centre, std::size_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> uniform(0.0, 2.0 * std::numbers::pi);
    const double a = uniform(rng), b = uniform(rng), c = uniform(rng);
    std::vector<double> y(count);
    double phase = uniform(rng);
    for (std::size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double u = 0.5 * std::sin(2.0 * std::numbers::pi * 1.7 * t + a) +
                         0.3 * std::sin(2.0 * std::numbers::pi * 4.1 * t + b) +
                         0.2 * std::sin(2.0 * std::numbers::pi * 9.3 * t + c);
        phase += 2.0 * std::numbers::pi * centre * std::pow(2.0, u / 6.0) / kRate;
        y[i] = std::numbers::sqrt2 * std::sin(phase);
    }
    return y;
}

// Unit-power Gaussian noise in the octave round `centre`: a steady noise floor.
std::vector<double> FloorNoise(double centre, std::size_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    BandSpec band;
    band.centre = centre;
    band.lower = centre / std::pow(10.0, 0.15);
    band.upper = centre * std::pow(10.0, 0.15);
    const BandFilter filter(band, kRate);
    // Filtered with a lead-in, so the noise is steady from its first sample.
    const std::size_t margin = filter.RingLength();
    std::vector<double> w(count + margin);
    for (double& v : w) v = gauss(rng);
    std::vector<double> y = filter.ZeroPhase(w.data(), w.size());
    y.erase(y.begin(), y.begin() + static_cast<std::ptrdiff_t>(margin));
    double power = 0;
    for (double v : y) power += v * v;
    const double scale = 1.0 / std::sqrt(power / static_cast<double>(count));
    for (double& v : y) v *= scale;
    return y;
}

constexpr double kOnset = 0.01;  // s of silence before the sound starts

// Band-limited noise at each octave 125 Hz … 4 kHz, each decaying at its own rate from the onset
// with early level 1, over `seconds`; plus steady band noise `noiseDb` below each band's early
// level (none for 0), from the first sample on.
std::vector<double> Decays(double seconds, double noiseDb) {
    const std::size_t count = static_cast<std::size_t>(seconds * kRate);
    const std::size_t onset = static_cast<std::size_t>(kOnset * kRate);
    std::vector<double> x(count, 0.0);
    uint32_t seed = 1;
    for (double nominal : {125.0, 250.0, 500.0, 1000.0, 2000.0, 4000.0}) {
        const double centre = 1000.0 * std::pow(10.0, 0.3 * std::log2(nominal / 1000.0));
        const std::vector<double> tone = BandNoise(centre, count, seed++);
        const double k = 6.907755278982137 / DecayTime(nominal);  // amplitude, per s
        for (std::size_t i = onset; i < count; ++i) {
            x[i] += tone[i] * std::exp(-k * static_cast<double>(i - onset) / kRate);
        }
        if (noiseDb != 0.0) {
            const std::vector<double> floor = FloorNoise(centre, count, 1000 + seed);
            const double a = std::pow(10.0, noiseDb / 20.0);
            for (std::size_t i = 0; i < count; ++i) x[i] += a * floor[i];
        }
    }
    return x;
}

// C80 of an exponential decay of time T that starts at the onset.
double ExpectedC80(double t) {
    const double late = std::exp(-13.815510557964274 * 0.08 / t);
    return 10.0 * std::log10((1.0 - late) / late);
}

const BandAcoustics& BandAt(const AcousticsResult& r, double nominal) {
    for (const BandAcoustics& b : r.bands) {
        if (b.band.nominal == nominal) return b;
    }
    static BandAcoustics none;
    ADD_FAILURE() << "no band " << nominal;
    return none;
}

// Clean, with a floor 60 dB down (T30 must hold) and 45 dB down (T20 must hold).
TEST(RoomAcoustics, KnownDecaysPerBandCleanAndInNoise) {
    for (double noiseDb : {0.0, -60.0, -45.0}) {
        SCOPED_TRACE("noise " + std::to_string(noiseDb));
        const std::vector<double> x = Decays(2.5, noiseDb);
        const AcousticsResult r = AnalyseRoom(x.data(), x.size(), kRate);
        ASSERT_EQ(r.bands.size(), 8u);
        EXPECT_FALSE(r.longerThanResponse);
        for (double nominal : {125.0, 250.0, 500.0, 1000.0, 2000.0, 4000.0}) {
            SCOPED_TRACE(nominal);
            const BandAcoustics& b = BandAt(r, nominal);
            const double t = DecayTime(nominal);
            ASSERT_TRUE(b.t20.valid);
            EXPECT_NEAR(b.t20.seconds, t, 0.03 * t);
            EXPECT_GT(b.t20.correlation, 0.99);
            if (noiseDb > -45.0 - 1e-9 && noiseDb < 0) continue;
            ASSERT_TRUE(b.t30.valid);
            EXPECT_NEAR(b.t30.seconds, t, 0.03 * t);
            ASSERT_TRUE(b.edt.valid);
            EXPECT_NEAR(b.edt.seconds, t, 0.05 * t);
            ASSERT_TRUE(b.clarityValid);
            EXPECT_NEAR(b.c80, ExpectedC80(t), 0.3);
            EXPECT_NEAR(b.onset, kOnset, 0.005);
            // Centre time of an exponential energy decay: T / 13.8.
            EXPECT_NEAR(b.ts, t / 13.815510557964274, 0.05 * t / 13.8);
            EXPECT_NEAR(b.c50, 10.0 * std::log10(b.d50 / (1.0 - b.d50)), 1e-9);
            EXPECT_LT(b.c50, b.c80);
        }
    }
}

// Too noisy for T30 and T20, or cut off before the decay has fallen far enough: those bands say
// so, in the values and in the table, and never give a number.
TEST(RoomAcoustics, TooShortOrTooNoisyHasNotEnoughDynamicRange) {
    const std::vector<double> noisy = Decays(2.5, -30.0);
    const AcousticsResult r = AnalyseRoom(noisy.data(), noisy.size(), kRate);
    const BandAcoustics& b = BandAt(r, 1000.0);
    EXPECT_FALSE(b.t30.valid);
    EXPECT_FALSE(b.t20.valid);
    ASSERT_TRUE(b.edt.valid);
    EXPECT_NEAR(b.edt.seconds, DecayTime(1000.0), 0.1 * DecayTime(1000.0));
    EXPECT_LT(b.dynamicRange, 35.0);

    // 0.2 s of a decay of 0.8 … 1.2 s: about 15 dB.
    const std::vector<double> shortOne = Decays(0.2, 0.0);
    const AcousticsResult s = AnalyseRoom(shortOne.data(), shortOne.size(), kRate);
    for (double nominal : {125.0, 250.0, 500.0, 1000.0}) {
        const BandAcoustics& c = BandAt(s, nominal);
        EXPECT_FALSE(c.t30.valid) << nominal;
        EXPECT_FALSE(c.t20.valid) << nominal;
    }
    const std::string table = AcousticsTable(s, ',');
    const std::size_t row = table.find("\n1k,");
    ASSERT_NE(row, std::string::npos) << table;
    const std::string line = table.substr(row + 1, table.find('\n', row + 1) - row - 1);
    // Band, EDT and r, T20 and r, T30 and r, C50, C80, D50, Ts, dynamic range.
    int fields = 1;
    for (char ch : line) fields += ch == ',';
    EXPECT_EQ(fields, 12) << line;
    EXPECT_NE(line.find("," + kMissing + "," + kMissing + "," + kMissing + "," + kMissing),
              std::string::npos)
        << line;
}

// Silence, a few samples, nothing, and a response damaged by a sample that is not a number.
TEST(RoomAcoustics, SilenceTinyAndDamagedResponsesGiveNoFigures) {
    std::vector<double> silent(44100, 0.0);
    std::vector<double> damaged = Decays(0.5, 0.0);
    damaged[3000] = std::numeric_limits<double>::quiet_NaN();
    for (const std::vector<double>& x :
         {silent, std::vector<double>{1.0, 0.5, 0.25}, std::vector<double>{}, damaged}) {
        const AcousticsResult r = AnalyseRoom(x.data(), x.size(), kRate);
        EXPECT_EQ(r.nonFinite, x.size() == damaged.size());
        for (const BandAcoustics& b : r.bands) {
            EXPECT_FALSE(b.edt.valid || b.t20.valid || b.t30.valid || b.clarityValid)
                << b.band.label;
        }
        EXPECT_FALSE(r.broadband.t30.valid);
        const std::string table = AcousticsTable(r, '\t');
        EXPECT_EQ(table.find("nan"), std::string::npos) << table;
        EXPECT_EQ(table.find("inf"), std::string::npos) << table;
    }
}

// --- the Virtual Room, measured ----------------------------------------------------------------

// Measures the Virtual Room (time-aligned, fast) at `order`; returns the response.
std::vector<double> MeasureRoom(double reverb, int order) {
    RoomParameters p;
    p.realTime = false;
    p.reverbTime = reverb;
    VirtualRoom room(p);
    testing::DeviceRunRig rig(room, kVirtualRoomName, [](const std::string&) { FAIL(); });
    MeasurementState& s = rig.s;
    s.MlsOrder = static_cast<uint8_t>(order);
    s.AveragesTarget = 1;
    s.AtcMode = 1;
    s.PeakSync = false;
    s.IgnoreFirst = false;
    RunController& c = rig.controller;
    c.NORMALClick();
    rig.Pump(std::chrono::seconds(60), std::chrono::milliseconds(50));
    EXPECT_TRUE(s.ImpulseValid);
    EXPECT_TRUE(rig.prompter.shown.empty());
    s.DevicesClosed = true;
    c.MIR1Click();
    const std::size_t length = (std::size_t{1} << order) - 1;
    return {s.buffers.RLPd(), s.buffers.RLPd() + length};
}

// The room's reverberation setting is its −60 dB time: at order 16 the period is longer than the
// room and T30 at 1 kHz finds it; at order 14 the period is shorter and the result says so.
TEST(RoomAcoustics, VirtualRoomReverberationAndAPeriodTooShort) {
    const std::vector<double> ir = MeasureRoom(1.0, 16);
    const AcousticsResult r = AnalyseRoom(ir.data(), ir.size(), kRate);
    const BandAcoustics& k1 = BandAt(r, 1000.0);
    ASSERT_TRUE(k1.t30.valid);
    EXPECT_NEAR(k1.t30.seconds, 1.0, 0.05);
    EXPECT_FALSE(r.longerThanResponse);
    EXPECT_TRUE(r.broadband.t30.valid);

    const std::vector<double> wrapped = MeasureRoom(1.0, 14);
    EXPECT_TRUE(AnalyseRoom(wrapped.data(), wrapped.size(), kRate).longerThanResponse);
}

}  // namespace
}  // namespace fim
