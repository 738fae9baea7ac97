#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "base/ScriptedPrompter.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"

namespace fim {
namespace {

std::vector<int8_t> Mls(int order) {
    ScriptedPrompter prompter;
    std::vector<int8_t> v((std::size_t{1} << order) - 1);
    EXPECT_TRUE(GenerateMls(order, v.data(), prompter));
    EXPECT_TRUE(prompter.shown.empty());
    return v;
}

// Checks the sequence as a cyclic sequence: the feedback rule holds across the wrap (so it repeats
// after L values) and every n-value window is different (so it repeats after no fewer).
TEST(Mls, EveryOrderHasFullPeriodAndBalance) {
    for (int order = kMinMlsOrder; order <= kMaxMlsOrder; ++order) {
        SCOPED_TRACE(order);
        const std::vector<int8_t> m = Mls(order);
        const std::size_t length = m.size();
        ASSERT_EQ(length, (std::size_t{1} << order) - 1);
        std::size_t plus = 0, minus = 0;
        for (int8_t v : m) (v == 1 ? plus : minus) += (v == 1 || v == -1) ? 1 : 0;
        EXPECT_EQ(plus, std::size_t{1} << (order - 1));
        EXPECT_EQ(minus, (std::size_t{1} << (order - 1)) - 1);

        const MlsTapRecord taps = MlsTaps(order);
        ASSERT_GT(taps.count, 0);
        EXPECT_EQ(taps.taps[taps.count - 1], order);
        for (std::size_t k = 0; k < static_cast<std::size_t>(order); ++k) {
            int odd = 0;
            for (int i = 0; i < taps.count; ++i) {
                odd ^= m[(k + length - taps.taps[i]) % length] == 1;
            }
            ASSERT_EQ(m[k], odd ? 1 : -1) << "feedback breaks at the wrap, k=" << k;
        }
        std::vector<bool> seen(std::size_t{1} << order, false);
        uint32_t window = 0;
        const uint32_t mask = (1u << order) - 1;
        for (std::size_t k = 0; k < length + order - 1; ++k) {
            window = ((window << 1) | (m[k % length] == 1)) & mask;
            if (k + 1 < static_cast<std::size_t>(order)) continue;
            ASSERT_FALSE(seen[window]) << "window repeats at " << k;
            seen[window] = true;
        }
    }
}

TEST(Mls, StartsFromTheAllOnesRegister) {
    const std::vector<int8_t> expected = {-1, -1, -1, 1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1};
    EXPECT_EQ(Mls(4), expected);
    EXPECT_EQ(Mls(2), (std::vector<int8_t>{-1, 1, 1}));
}

TEST(Mls, OrdersOutsideTheTableAreRefusedWithABox) {
    ScriptedPrompter prompter;
    std::vector<int8_t> sentinel(8, 42);
    EXPECT_FALSE(GenerateMls(25, sentinel.data(), prompter));
    EXPECT_FALSE(GenerateMls(1, sentinel.data(), prompter));
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].caption, "MLS Unit");
    EXPECT_EQ(prompter.shown[0].text, "MLS zu lang");
    EXPECT_EQ(prompter.shown[0].icon, PromptIcon::Stop);
    EXPECT_EQ(prompter.shown[1].text, "MLS zu kurz");
    EXPECT_EQ(sentinel, std::vector<int8_t>(8, 42));
    EXPECT_EQ(MlsTaps(25).count, 0);
    EXPECT_EQ(MlsTaps(1).count, 0);
}

using Cplx = std::complex<long double>;

Cplx SectionResponse(const PinkSection& s, double f, double fs) {
    const long double w = 2 * 3.14159265358979323846L * f / fs;
    const Cplx z1 = std::polar(1.0L, -w);
    const Cplx num = Cplx(s.b0) + Cplx(s.b1) * z1 + Cplx(s.b2) * z1 * z1;
    const Cplx den = Cplx(1) - Cplx(s.c1) * z1 - Cplx(s.c2) * z1 * z1;
    return num / den;
}

double CascadeGainDb(const PinkFilter& filter, double f, double fs) {
    Cplx h = 1;
    for (const PinkSection& s : filter.sections) h *= SectionResponse(s, f, fs);
    return static_cast<double>(20 * std::log10(std::abs(h)));
}

TEST(PinkFilter, CascadeFallsAboutThreeDbPerOctave) {
    PinkFilter filter;
    filter.DesignPinkFilter(44100);
    EXPECT_NEAR(CascadeGainDb(filter, 20, 44100), 3.9, 0.1);
    EXPECT_NEAR(CascadeGainDb(filter, 100, 44100), -2.2, 0.1);
    EXPECT_NEAR(CascadeGainDb(filter, 1000, 44100), -14.5, 0.1);
    EXPECT_NEAR(CascadeGainDb(filter, 10000, 44100), -23.6, 0.1);
    EXPECT_NEAR(CascadeGainDb(filter, 20000, 44100), -32.7, 0.1);
}

TEST(PinkFilter, SectionsAboveHalfTheRateStayStable) {
    // At the usual rates section 12 (40960 Hz) lies above fs/2 and is used as designed.
    for (double fs : {44100.0, 48000.0}) {
        PinkFilter filter;
        filter.DesignPinkFilter(fs);
        EXPECT_NE(filter.sections[11].b1, 0.0) << fs;
        EXPECT_NE(filter.sections[11].c1, 0.0) << fs;
    }
    // At low rates several designs come out unstable; none may reach the cascade.
    for (double fs : {8000.0, 11025.0, 22050.0, 44100.0, 48000.0, 65535.0}) {
        PinkFilter filter;
        filter.DesignPinkFilter(fs);
        double largest = 0;
        for (int k = 0; k < 200000; ++k) {
            largest = std::max(largest, std::fabs(filter.PinkFilterSample(k % 3 ? 1.0 : -1.0)));
        }
        EXPECT_LT(largest, 100.0) << fs;
        for (const PinkSection& s : filter.sections) {
            // Poles of z² − c1 z − c2.
            const Cplx disc = std::sqrt(Cplx(s.c1 * s.c1 + 4 * s.c2));
            EXPECT_LT(std::abs((Cplx(s.c1) + disc) / 2.0L), 1.0L) << fs;
            EXPECT_LT(std::abs((Cplx(s.c1) - disc) / 2.0L), 1.0L) << fs;
        }
    }
}

TEST(PinkFilter, ZeroDbSectionPassesTheSignalUnchanged) {
    PinkFilter filter;
    filter.DesignPinkFilter(44100);
    ASSERT_EQ(kPinkSectionSpecs[3].gainDb, 0);
    PinkFilter only;
    only.sections = {};
    only.sections[0] = filter.sections[3];
    for (std::size_t i = 1; i < only.sections.size(); ++i) only.sections[i] = PinkSection{};
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int k = 0; k < 2000; ++k) {
        const double x = u(rng);
        ASSERT_NEAR(only.PinkFilterSample(x), x, 1e-12) << k;
    }
}

class OutputSignal : public ::testing::Test {
  protected:
    void SetUp() override {
        state.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        state.SampleRate = 44100;
        state.OutputLevelDb = -6;
    }
    void Configure(int order, int bits, bool pink) {
        state.MlsOrder = static_cast<uint8_t>(order);
        state.SampleBits = bits;
        state.PinkMls = pink;
        state.RecomputeDerived();
    }
    int32_t Sample(std::size_t frame, int channel) const {
        const std::byte* p = state.buffers.OLPb();
        if (BytesPerSample(state.SampleBits) == 2) {
            int16_t v;
            std::memcpy(&v, p + frame * 4 + channel * 2, 2);
            return v;
        }
        int32_t v;
        std::memcpy(&v, p + frame * 8 + channel * 4, 4);
        return v;
    }
    void FillOlp(unsigned char value) {
        std::memset(state.buffers.OLPb(), value, SharedBuffers::Size(SharedBuffers::OLP));
    }
    MeasurementState state;
};

TEST_F(OutputSignal, PlainMlsIsTwoPeriodsAndTwoSilentFrames) {
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        Configure(10, bits, false);
        FillOlp(0x5A);
        ASSERT_TRUE(BuildOutputSignal(state));
        const std::vector<int8_t> m = Mls(10);
        const std::size_t length = m.size();
        const int32_t a = state.OutputAmplitude;
        for (std::size_t f = 0; f < 2 * length; ++f) {
            ASSERT_EQ(Sample(f, 0), m[f % length] * a) << f;
            ASSERT_EQ(Sample(f, 1), Sample(f, 0)) << f;
        }
        EXPECT_EQ(Sample(2 * length, 0), 0);
        EXPECT_EQ(Sample(2 * length + 1, 1), 0);
        // Nothing is written past the 2·N frames.
        const int bytes = BytesPerSample(bits);
        EXPECT_EQ(state.buffers.OLPb()[2 * 1024 * 2 * bytes], std::byte{0x5A});
        // 4-byte output reaches the same level in dBFS as 2-byte output.
        EXPECT_NEAR(20 * std::log10(std::abs(Sample(0, 0)) / double(state.FullScale)),
                    20 * std::log10(16422 / 32767.0), 0.001);
    }
}

TEST_F(OutputSignal, PinkSignalPeaksAtTheAmplitudeAndRepeatsInSteadyState) {
    for (int bits : {16, 24}) {
        SCOPED_TRACE(bits);
        Configure(12, bits, true);
        std::vector<bool> indicator;
        ASSERT_TRUE(BuildOutputSignal(state, [&](bool on) { indicator.push_back(on); }));
        EXPECT_EQ(indicator, (std::vector<bool>{true, false}));
        const std::size_t length = 4095;
        int32_t largest = 0;
        for (std::size_t f = 0; f < 2 * length; ++f) {
            largest = std::max(largest, std::abs(Sample(f, 0)));
            ASSERT_EQ(Sample(f, 1), Sample(f, 0));
        }
        EXPECT_EQ(largest, state.OutputAmplitude);
        EXPECT_EQ(Sample(2 * length, 0), 0);
        EXPECT_EQ(Sample(2 * length + 1, 0), 0);
        // The filter is not reset between the periods: the second period is the filter's steady
        // state, so its tail matches the first period's tail while its start differs.
        EXPECT_NEAR(Sample(length - 1, 0), Sample(2 * length - 1, 0), 1e-3 * state.OutputAmplitude);
        int differing = 0;
        for (std::size_t f = 0; f < 20; ++f) differing += Sample(f, 0) != Sample(length + f, 0);
        EXPECT_GT(differing, 0);
    }
}

TEST_F(OutputSignal, OrdersAndWidthsTheBuffersCannotHoldChangeNothing) {
    FillOlp(0x11);
    Configure(19, 16, false);
    EXPECT_FALSE(BuildOutputSignal(state));
    Configure(10, 8, false);
    EXPECT_FALSE(BuildOutputSignal(state));
    EXPECT_EQ(state.buffers.OLPb()[0], std::byte{0x11});
    // Order 18 at 16 bits fills exactly 2 MiB.
    Configure(18, 16, false);
    ASSERT_TRUE(BuildOutputSignal(state));
    EXPECT_EQ(state.buffers.OLPb()[2 * 1024 * 1024], std::byte{0x11});
    EXPECT_NE(state.buffers.OLPb()[2 * 1024 * 1024 - 8 - 1], std::byte{0x11});
}

}  // namespace
}  // namespace fim
