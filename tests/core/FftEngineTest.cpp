#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

#include "core/FftEngine.h"

namespace fim {
namespace {

constexpr double kPi = std::numbers::pi;

// A literal stage-by-stage radix-2 transform in long double that reads the cut twiddles in table
// order, exactly as the transform is defined. Permutes both arrays so complex input works too.
void ReferenceTransform(std::vector<long double>& re, std::vector<long double>& im, int n,
                        bool inverse) {
    const FftTables& t = SharedFftTables();
    int bits = 0;
    while ((1 << bits) < n) ++bits;
    for (int i = 1; i < n; ++i) {
        int r = 0;
        for (int b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
        if (i < r) {
            std::swap(re[i], re[r]);
            std::swap(im[i], im[r]);
        }
    }
    // Any table that holds the stages will do: the largest one.
    FftTables::SizeTables tab = t.Lookup(65536);
    int pos = 0;
    for (int h = 1; h < n; h *= 2) {
        for (int j = 0; j < h; ++j, ++pos) {
            long double wr = tab.cosine[pos], wi = tab.sine[pos];
            for (int i = j; i < n; i += 2 * h) {
                int p = i + h;
                long double tr, ti;
                if (!inverse) {
                    tr = wr * re[p] - wi * im[p];
                    ti = wr * im[p] + wi * re[p];
                } else {
                    tr = wr * re[p] + wi * im[p];
                    ti = wr * im[p] - wi * re[p];
                }
                re[p] = re[i] - tr;
                im[p] = im[i] - ti;
                re[i] += tr;
                im[i] += ti;
            }
        }
    }
}

std::vector<double> RandomSignal(int n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    std::vector<double> x(n);
    for (double& v : x) v = d(gen);
    return x;
}

double MaxMagnitude(const std::vector<long double>& re, const std::vector<long double>& im) {
    long double m = 0;
    for (std::size_t i = 0; i < re.size(); ++i) m = std::max(m, std::hypot(re[i], im[i]));
    return static_cast<double>(m);
}

TEST(FftTablesTest, StageLayoutAndExactZeros) {
    const FftTables& t = SharedFftTables();
    for (int n = 128; n <= 65536; n *= 2) {
        FftTables::SizeTables tab = t.Lookup(n);
        ASSERT_NE(tab.cosine, nullptr);
        int bits = 0;
        while ((1 << bits) < n) ++bits;
        EXPECT_EQ(tab.lastStage, bits - 1);
        int pos = 0;
        for (int h = 1; h < n; h *= 2) {
            for (int j = 0; j < h; ++j, ++pos) {
                double angle = -j * kPi / h;
                ASSERT_NEAR(tab.cosine[pos], std::cos(angle), 1e-15) << n << " " << h << " " << j;
                ASSERT_NEAR(tab.sine[pos], std::sin(angle), 1e-15);
                // Below the cut only exact zeros may be stored.
                if (std::fabs(tab.cosine[pos]) < 1e-5) {
                    ASSERT_EQ(tab.cosine[pos], 0.0);
                }
                if (std::fabs(tab.sine[pos]) < 1e-5) {
                    ASSERT_EQ(tab.sine[pos], 0.0);
                }
            }
        }
    }
    // cos(−π/2) of the stage with h = 2, and cos(−π/2) at j = h/2 of the largest stage.
    const double* c = t.Lookup(128).cosine;
    EXPECT_EQ(c[2], 0.0);
    EXPECT_EQ(t.StageCos(32768)[16384], 0.0);
    EXPECT_EQ(t.StageSin(32768)[0], 0.0);
    EXPECT_EQ(t.StageSin(2)[1], -1.0);

    for (int bad : {0, 64, 100, 131072, -128}) {
        EXPECT_EQ(t.Lookup(bad).cosine, nullptr) << bad;
        EXPECT_EQ(t.Lookup(bad).lastStage, 0);
    }
}

TEST(FftTablesTest, AllocationFailureNamesTheTableAndStops) {
    const std::vector<std::string> expected = {
        "Init FFT Memory (SIN128)",    "Init FFT Memory (SIN128)",    "Init FFT Memory (COS 256)",
        "Init FFT Memory (SIN 256)",   "Init FFT Memory (COS 512)",   "Init FFT Memory (SIN 512)",
        "Init FFT Memory (COS 1024)",  "Init FFT Memory (SIN 1024)",  "Init FFT Memory (COS 2048)",
        "Init FFT Memory (SIN 2048)",  "Init FFT Memory (COS 4096)",  "Init FFT Memory (SIN 4096)",
        "Init FFT Memory (COS 8192)",  "Init FFT Memory (SIN 8192)",  "Init FFT Memory (COS 16384)",
        "Init FFT Memory (SIN 16384)", "Init FFT Memory (COS 32768)", "Init FFT Memory (SIN 32k",
        "Init FFT Memory (COS 64k)",   "Init FFT Memory (SIN 64k)"};
    for (std::size_t failAt = 0; failAt < expected.size(); ++failAt) {
        std::size_t calls = 0;
        std::vector<std::string> reported;
        FftAllocator alloc = [&](std::size_t bytes, const std::string&) -> void* {
            return calls++ == failAt ? nullptr : std::malloc(bytes);
        };
        FftFatalHandler fatal = [&](const std::string& caption, const std::string&) {
            reported.push_back(caption);
        };
        EXPECT_EQ(FftTables::Create(alloc, fatal), nullptr);
        ASSERT_EQ(reported.size(), 1u);
        EXPECT_EQ(reported[0], expected[failAt]);
        EXPECT_EQ(calls, failAt + 1) << "no allocation after the failed one";
    }

    // The two buffers of the engine.
    for (int failAt : {2, 3}) {
        int calls = 0;
        std::string caption;
        auto engine = FftEngine::Create(
            SharedFftTables(),
            [&](std::size_t bytes, const std::string&) -> void* {
                return calls++ == failAt ? nullptr : std::malloc(bytes);
            },
            [&](const std::string& c, const std::string&) { caption = c; });
        EXPECT_EQ(engine, nullptr);
        EXPECT_EQ(caption, failAt == 2 ? "Init Smooth FFT Memory 2 failed."
                                       : "Init Memory for Windowing failed.");
    }

    std::string caption, text;
    EXPECT_FALSE(FftTables::CheckTableSize(131072, [&](const std::string& c, const std::string& t) {
        caption = c;
        text = t;
    }));
    EXPECT_EQ(caption, "FFT CREATION ERROR");
    EXPECT_EQ(text, "ILLEGAL FFT SIZE");
}

TEST(FftMagnitudePhaseTest, ImpulsesAndPhaseRules) {
    FftEngine fft;
    const int n = 1024;
    std::vector<double> x(n, 0.0);
    std::vector<SpectrumRecord> out(n / 2 + 2);
    x[0] = 1.0;
    out.back() = {-7.0, -7.0};  // sentinel past the N/2 + 1 records
    ASSERT_TRUE(fft.FftMagnitudePhase(x.data(), out.data(), n, false));
    for (int k = 0; k <= n / 2; ++k) {
        EXPECT_NEAR(out[k].Magnitude, 1.0, 1e-14);
        EXPECT_NEAR(out[k].Phase, 0.0, 1e-14);
    }
    EXPECT_EQ(out.back().Magnitude, -7.0);

    x[0] = 0.0;
    x[1] = 1.0;  // delayed by one sample: phase −2πk/N
    ASSERT_TRUE(fft.FftMagnitudePhase(x.data(), out.data(), n, false));
    for (int k = 1; k < n / 2; ++k) {
        double expected = std::remainder(-2.0 * kPi * k / n, 2.0 * kPi);
        EXPECT_NEAR(out[k].Magnitude, 1.0, 1e-13);
        EXPECT_NEAR(out[k].Phase, expected, 1e-12) << k;
    }
    // The inverse transform of the delayed impulse turns the other way.
    ASSERT_TRUE(fft.FftMagnitudePhase(x.data(), out.data(), n, true));
    EXPECT_NEAR(out[n / 8].Phase, kPi / 4, 1e-12);

    // Bins with re = 0: ±π/2 exactly, −π/2 when im is 0 as well.
    EXPECT_EQ(MagnitudePhase(0.0, 2.0).Phase, kPi / 2);
    EXPECT_EQ(MagnitudePhase(0.0, -2.0).Phase, -kPi / 2);
    EXPECT_EQ(MagnitudePhase(0.0, 0.0).Phase, -kPi / 2);
    for (double re : {0.0, -0.0}) {  // both signs of zero
        EXPECT_EQ(MagnitudePhase(re, -0.0).Phase, -kPi / 2);
        EXPECT_EQ(MagnitudePhase(re, 0.0).Phase, -kPi / 2);
        EXPECT_EQ(MagnitudePhase(re, 1e-300).Phase, kPi / 2);
        EXPECT_EQ(MagnitudePhase(re, -5e-324).Phase, -kPi / 2);
    }
    EXPECT_EQ(MagnitudePhase(0.0, 0.0).Magnitude, 0.0);
    EXPECT_EQ(MagnitudePhase(-3.0, 4.0).Magnitude, 5.0);
    EXPECT_EQ(MagnitudePhase(-3.0, 0.0).Magnitude, 3.0);
    // Elsewhere the phase is atan2's, in every quadrant, on both sides of the reduction borders
    // (multiples of π/8 and π/4), for tiny parts and over the whole exponent range, where the
    // magnitude must neither overflow nor lose digits.
    std::mt19937 gen(9);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const double tanPi8 = std::tan(kPi / 8);
    for (int i = 0; i < 400000; ++i) {
        double re = u(gen), im = u(gen);
        switch (i % 8) {
            case 1:
                im = re * (1.0 + 1e-9 * u(gen));
                break;
            case 2:
                im = re * tanPi8 * (1.0 + 1e-9 * u(gen));
                break;
            case 3:
                re = im * tanPi8 * (1.0 + 1e-9 * u(gen));
                break;
            case 4:
                im *= 1e-12;
                break;
            case 5:
                re *= 1e-12;
                break;
            case 6: {
                const double scale = std::ldexp(1.0, static_cast<int>(1030 * u(gen)) - 30);
                re *= scale;
                im *= scale;
                break;
            }
            case 7:
                re *= std::ldexp(1.0, static_cast<int>(1020 * u(gen)));
                break;
        }
        const SpectrumRecord r = MagnitudePhase(re, im);
        ASSERT_NEAR(r.Phase, std::atan2(im, re), 1e-15) << re << " " << im;
        const double h = std::hypot(re, im);
        ASSERT_NEAR(r.Magnitude, h, 4e-16 * h + 1e-323) << re << " " << im;
    }
    EXPECT_DOUBLE_EQ(MagnitudePhase(3e200, 4e200).Magnitude, 5e200);
    EXPECT_DOUBLE_EQ(MagnitudePhase(-3e-200, 4e-200).Magnitude, 5e-200);
    EXPECT_EQ(MagnitudePhase(0.0, -1e-310).Magnitude, 1e-310);
    EXPECT_EQ(MagnitudePhase(1e-310, 1e-310).Phase, kPi / 4);
    EXPECT_EQ(MagnitudePhase(-2.0, -0.0).Phase, -kPi);
    EXPECT_EQ(MagnitudePhase(-2.0, 0.0).Phase, kPi);
    EXPECT_EQ(MagnitudePhase(1.0, 1.0).Phase, kPi / 4);
    // A real input of alternating signs: bin N/2 = N, re only; bin N/4 = 0, phase −π/2.
    for (int i = 0; i < n; ++i) x[i] = (i % 2) ? -1.0 : 1.0;
    ASSERT_TRUE(fft.FftMagnitudePhase(x.data(), out.data(), n, false));
    EXPECT_NEAR(out[n / 2].Magnitude, n, 1e-9);
    EXPECT_EQ(out[n / 2].Phase, 0.0);
    EXPECT_NEAR(out[0].Magnitude, 0.0, 1e-12);

    EXPECT_FALSE(fft.FftMagnitudePhase(x.data(), out.data(), 1000, false));
    EXPECT_FALSE(fft.FftMagnitudePhase(x.data(), out.data(), 64, false));
}

// Every front end against the literal definition, every table size, both directions.
TEST(FftFastPathTest, MatchesLiteralTransformAtEverySize) {
    FftEngine fft;
    for (int n = 128; n <= 65536; n *= 2) {
        std::vector<double> x = RandomSignal(n, static_cast<unsigned>(n));
        x[3] = 40.0;  // a dominant value, so the tolerance is about the largest magnitude
        for (bool inverse : {false, true}) {
            std::vector<long double> rr(x.begin(), x.end()), ri(n, 0.0L);
            ReferenceTransform(rr, ri, n, inverse);
            const double tol = 1e-12 * MaxMagnitude(rr, ri);

            std::vector<SpectrumRecord> out(n / 2 + 1);
            ASSERT_TRUE(fft.FftMagnitudePhase(x.data(), out.data(), n, inverse));
            // The work arrays keep the forward bins (the inverse's are their conjugates).
            const double sign = inverse ? -1.0 : 1.0;
            double worst = 0.0;
            for (int k = 0; k <= n / 2; ++k) {
                worst = std::max(worst, std::fabs(fft.Re()[k] - static_cast<double>(rr[k])));
                worst = std::max(worst, std::fabs(sign * fft.Im()[k] - static_cast<double>(ri[k])));
            }
            EXPECT_LE(worst, tol) << "n=" << n << " inverse=" << inverse;
            for (int k = 0; k <= n / 2; ++k) {
                double mag = static_cast<double>(std::hypot(rr[k], ri[k]));
                ASSERT_NEAR(out[k].Magnitude, mag, tol) << n << " bin " << k;
                // A phase is only meaningful where the bin stands above the rounding noise.
                if (mag > 1e-3 * tol / 1e-12) {
                    double ph = std::atan2(static_cast<double>(ri[k]), static_cast<double>(rr[k]));
                    double d = std::remainder(out[k].Phase - ph, 2 * kPi);
                    ASSERT_NEAR(d, 0.0, 1e-9) << n << " bin " << k;
                }
            }

            std::vector<std::complex<double>> first(FftEngine::kFirstBins + 1, {-9.0, -9.0});
            ASSERT_TRUE(fft.FftFirstBins(x.data(), first.data(), n, inverse));
            for (int k = 0; k < FftEngine::kFirstBins; ++k) {
                ASSERT_NEAR(first[k].real(), static_cast<double>(rr[k]), tol);
                ASSERT_NEAR(first[k].imag(), static_cast<double>(ri[k]), tol);
            }
            EXPECT_EQ(first.back(), std::complex<double>(-9.0, -9.0));

            // The in-place transform of the work arrays, with real data in Re and Im cleared.
            std::copy(x.begin(), x.end(), fft.Re());
            std::fill(fft.Im(), fft.Im() + n, 0.0);
            ASSERT_TRUE(fft.FftTransform(n, inverse));
            worst = 0.0;
            for (int k = 0; k < n; ++k) {
                worst = std::max(worst, std::fabs(fft.Re()[k] - static_cast<double>(rr[k])));
                worst = std::max(worst, std::fabs(fft.Im()[k] - static_cast<double>(ri[k])));
            }
            EXPECT_LE(worst, tol) << "FftTransform n=" << n;
        }
    }
}

// Processors without AVX2 take the two-lane path; both paths must give bit-identical results, and
// the whole-spectrum magnitude and phase must equal the per-bin MagnitudePhase().
TEST(FftFastPathTest, TwoAndFourLanePathsAgreeBitForBit) {
    FftEngine fft;
    auto same = [](const auto& a, const auto& b) {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), sizeof a[0] * a.size()) == 0;
    };
    for (int n : {128, 256, 2048, 4096, 65536}) {
        std::vector<double> x = RandomSignal(n, 3u + n);
        std::fill(x.begin() + n / 2, x.begin() + n / 2 + 7, 0.0);
        std::vector<SpectrumRecord> spectrum[2][2];
        std::vector<double> bins[2][2], complexOut[2][2];
        for (int narrow = 0; narrow < 2; ++narrow) {
            SetFftWideVectors(narrow == 0);
            for (int inverse = 0; inverse < 2; ++inverse) {
                auto& out = spectrum[narrow][inverse];
                out.resize(n / 2 + 1);
                ASSERT_TRUE(fft.FftMagnitudePhase(x.data(), out.data(), n, inverse != 0));
                bins[narrow][inverse].assign(fft.Re(), fft.Re() + n / 2 + 1);
                bins[narrow][inverse].insert(bins[narrow][inverse].end(), fft.Im(),
                                             fft.Im() + n / 2 + 1);
                for (int k = 0; k <= n / 2; ++k) {
                    const double im = inverse ? -fft.Im()[k] : fft.Im()[k];
                    const SpectrumRecord one = MagnitudePhase(fft.Re()[k], im);
                    ASSERT_EQ(std::memcmp(&one, &out[k], sizeof one), 0) << n << " bin " << k;
                }
                std::vector<double> re = x, im = RandomSignal(n, 5u + n);
                ASSERT_TRUE(FftEngine::TransformComplex(re.data(), im.data(), n, inverse != 0));
                complexOut[narrow][inverse] = re;
                complexOut[narrow][inverse].insert(complexOut[narrow][inverse].end(), im.begin(),
                                                   im.end());
            }
        }
        SetFftWideVectors(true);
        for (int inverse = 0; inverse < 2; ++inverse) {
            EXPECT_TRUE(same(spectrum[0][inverse], spectrum[1][inverse])) << n << " " << inverse;
            EXPECT_TRUE(same(bins[0][inverse], bins[1][inverse])) << n << " " << inverse;
            EXPECT_TRUE(same(complexOut[0][inverse], complexOut[1][inverse])) << n;
        }
    }
}

TEST(FftFastPathTest, ComplexTransformOnCallerArrays) {
    // Every power of two, forward against the literal definition, then back: n times the input.
    for (int n = 1; n <= 65536; n *= 2) {
        std::vector<double> re = RandomSignal(n, 7u + n), im = RandomSignal(n, 11u + n);
        std::vector<long double> rr(re.begin(), re.end()), ri(im.begin(), im.end());
        ReferenceTransform(rr, ri, n, false);
        const double tol = 1e-12 * std::max(1.0, MaxMagnitude(rr, ri));
        std::vector<double> fr = re, fi = im;
        ASSERT_TRUE(FftEngine::TransformComplex(fr.data(), fi.data(), n, false));
        for (int k = 0; k < n; ++k) {
            ASSERT_NEAR(fr[k], static_cast<double>(rr[k]), tol) << n << " " << k;
            ASSERT_NEAR(fi[k], static_cast<double>(ri[k]), tol) << n << " " << k;
        }
        ASSERT_TRUE(FftEngine::TransformComplex(fr.data(), fi.data(), n, true));
        for (int k = 0; k < n; ++k) {
            ASSERT_NEAR(fr[k], n * re[k], 1e-9 * n) << n;
            ASSERT_NEAR(fi[k], n * im[k], 1e-9 * n) << n;
        }
    }
    std::vector<double> re(12, 1.0), im(12, 2.0);
    EXPECT_FALSE(FftEngine::TransformComplex(re.data(), im.data(), 12, false));
    EXPECT_FALSE(FftEngine::TransformComplex(re.data(), im.data(), 0, false));
    EXPECT_EQ(re, std::vector<double>(12, 1.0));
}

TEST(FftPeakBinTest, FindsStrongestLineAboveBinOne) {
    FftEngine fft;
    const int n = 4096;
    std::vector<double> x(n);
    for (int i = 0; i < n; ++i) {
        x[i] = 5.0 + 0.3 * std::cos(2 * kPi * 1 * i / n) + std::sin(2 * kPi * 300 * i / n) +
               0.5 * std::sin(2 * kPi * 900 * i / n);
    }
    EXPECT_EQ(fft.FftPeakBin(x.data(), n), 300);  // DC and bin 1 are not candidates
    std::fill(x.begin(), x.end(), 0.0);
    EXPECT_EQ(fft.FftPeakBin(x.data(), n), 1);
    for (int i = 0; i < n; ++i) x[i] = (i % 2) ? -1.0 : 1.0;
    EXPECT_EQ(fft.FftPeakBin(x.data(), n), n / 2);
}

TEST(DecimateByTwoTest, FiltersAndKeepsEverySecondSampleTimesTwo) {
    const int count = 1000;
    std::vector<double> x = RandomSignal(count, 5);
    // Independent run of the recursion into a separate output array.
    std::vector<double> y(count);
    for (int i = 0; i < count; ++i) {
        double xm1 = i >= 1 ? x[i - 1] : 0.0, xm2 = i >= 2 ? x[i - 2] : 0.0;
        double ym1 = i >= 1 ? y[i - 1] : 0.0, ym2 = i >= 2 ? y[i - 2] : 0.0;
        y[i] = 0.0332 * x[i] + 0.0664 * xm1 + 0.0332 * xm2 + 1.445 * ym1 - 0.5773 * ym2;
    }
    std::vector<double> buf = x;
    buf.push_back(123.0);  // sentinel
    FftEngine::DecimateByTwo(buf.data(), count);
    for (int i = 0; i < count / 2; ++i) ASSERT_NEAR(buf[i], 2.0 * y[2 * i], 1e-15) << i;
    for (int i = count / 2; i < count; ++i) ASSERT_EQ(buf[i], x[i]) << "beyond the output";
    EXPECT_EQ(buf[count], 123.0);

    // A DC input settles at twice the filter's DC gain (b0 + b1 + b2) / (1 + a1 + a2).
    std::vector<double> dc(4000, 1.0);
    FftEngine::DecimateByTwo(dc.data(), 4000);
    EXPECT_NEAR(dc[1999], 2.0 * 0.1328 / (1.0 - 1.445 + 0.5773), 1e-9);
}

TEST(SmoothAnalysisTest, RecordLayoutAndSineLandsOnItsRecord) {
    FftEngine fft;
    const double rate = 48000.0;
    std::vector<SmoothRecord> out(kSmoothRecords + 1);
    out.back() = {-1.0, -1.0, -1.0};
    // A cosine that completes 40 periods in 1024 samples: record k = 40 of the 1024-point block.
    std::vector<double> x(32768);
    for (int i = 0; i < 32768; ++i) x[i] = std::cos(2 * kPi * 40 * i / 1024.0);
    const std::vector<double> input = x;
    fft.SmoothAnalysis(x.data(), out.data(), rate);
    EXPECT_EQ(x, input) << "the caller's samples stay as they were";
    EXPECT_EQ(out.back().Frequency, -1.0);

    EXPECT_EQ(out[294].Frequency, 50000.0);
    EXPECT_EQ(out[294].Magnitude, 0.0);
    EXPECT_NEAR(out[0].Frequency, rate * 26 / 32768, 1e-12);
    EXPECT_NEAR(out[293].Frequency, rate * 63 / 128, 1e-12);
    for (int i = 1; i < 295; ++i) ASSERT_GT(out[i].Frequency, out[i - 1].Frequency) << i;
    // 32 records per octave above the lowest band: record i and i + 32 an octave apart.
    EXPECT_NEAR(out[100].Frequency * 2, out[132].Frequency, 1e-9);

    int peak = static_cast<int>(std::max_element(out.begin(), out.end() - 2,
                                                 [](const SmoothRecord& a, const SmoothRecord& b) {
                                                     return a.Magnitude < b.Magnitude;
                                                 }) -
                                out.begin());
    EXPECT_NEAR(out[peak].Frequency, rate * 40 / 1024, 1e-9);
    EXPECT_NEAR(out[peak].Magnitude, 512.0, 1e-9);
    EXPECT_NEAR(out[peak].Phase, 0.0, 1e-9);

    // A low sine is found through the decimated blocks (bin 40 of the 8× decimated block).
    for (int i = 0; i < 32768; ++i) x[i] = std::sin(2 * kPi * 40 * i / 32768.0);
    fft.SmoothAnalysis(x.data(), out.data(), rate);
    peak = static_cast<int>(std::max_element(out.begin(), out.end() - 2,
                                             [](const SmoothRecord& a, const SmoothRecord& b) {
                                                 return a.Magnitude < b.Magnitude;
                                             }) -
                            out.begin());
    EXPECT_NEAR(out[peak].Frequency, rate * 40 / 32768, 1e-9);
    EXPECT_EQ(peak, 40 - 26);
}

TEST(SharedFftTest, OneSharedInstanceWithFullWorkArrays) {
    FftEngine& a = SharedFft();
    EXPECT_EQ(&a, &SharedFft());
    FftEngine own;
    EXPECT_NE(own.Re(), a.Re());
    a.Re()[FftEngine::kWorkSize - 1] = 1.0;  // the whole length is addressable
    own.Im()[FftEngine::kWorkSize - 1] = 1.0;
    EXPECT_TRUE(InitFft());
}

}  // namespace
}  // namespace fim
