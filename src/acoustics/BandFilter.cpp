#include "acoustics/BandFilter.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace fim {

namespace {

using cd = std::complex<double>;

// Base-ten band steps: octave ratio G = 10^0.3.
constexpr double kOctaveRatio = 1.9952623149688795;

struct Nominal {
    double frequency;
    const char* label;
};

// Nominal mid-band frequencies of the third-octave series 50 Hz … 10 kHz; every third one, from
// 63 Hz, is an octave band.
constexpr std::array<Nominal, 24> kThirds = {{
    {50, "50"},      {63, "63"},   {80, "80"},      {100, "100"},   {125, "125"}, {160, "160"},
    {200, "200"},    {250, "250"}, {315, "315"},    {400, "400"},   {500, "500"}, {630, "630"},
    {800, "800"},    {1000, "1k"}, {1250, "1.25k"}, {1600, "1.6k"}, {2000, "2k"}, {2500, "2.5k"},
    {3150, "3.15k"}, {4000, "4k"}, {5000, "5k"},    {6300, "6.3k"}, {8000, "8k"}, {10000, "10k"},
}};
constexpr int kThirdOf1k = 13;  // index of 1 kHz in kThirds

cd SectionResponse(const Biquad& q, double omega) {
    const cd z1 = std::polar(1.0, -omega);
    const cd z2 = z1 * z1;
    return (q.b0 + q.b1 * z1 + q.b2 * z2) / (1.0 + q.a1 * z1 + q.a2 * z2);
}

}  // namespace

std::vector<BandSpec> Bands(BandSet set, double sampleRate) {
    const bool octave = set == BandSet::Octave;
    const double edge = std::pow(kOctaveRatio, octave ? 0.5 : 0.5 / 3.0);
    std::vector<BandSpec> bands;
    for (int i = octave ? 1 : 0; i < static_cast<int>(kThirds.size()); i += octave ? 3 : 1) {
        BandSpec band;
        band.nominal = kThirds[i].frequency;
        band.label = kThirds[i].label;
        band.centre = 1000.0 * std::pow(kOctaveRatio, (i - kThirdOf1k) / 3.0);
        band.lower = band.centre / edge;
        band.upper = band.centre * edge;
        if (band.upper < 0.45 * sampleRate) bands.push_back(band);
    }
    return bands;
}

BandFilter::BandFilter(const BandSpec& band, double sampleRate) : sampleRate_(sampleRate) {
    const double k = 2.0 * sampleRate;
    const double pi = std::numbers::pi;
    const double w1 = k * std::tan(pi * band.lower / sampleRate);
    const double w2 = k * std::tan(pi * band.upper / sampleRate);
    const double w0sq = w1 * w2;
    // A third-order Butterworth prototype is 1/(1 + Ω⁶) in power at Ω; at the nominal edge the
    // two passes together should give 1/√2, so the edge sits at Ω⁶ = √2 − 1.
    const double width = (w2 - w1) / std::pow(std::numbers::sqrt2 - 1.0, 1.0 / 6.0);

    // Each prototype pole p gives two band-pass poles, the roots of s² − p·B·s + ω0² = 0. The
    // poles of 120° and 240° are conjugates, so their roots pair up as conjugates; the real pole
    // gives a pair of its own.
    auto roots = [&](cd p) {
        const cd pb = p * width;
        const cd d = std::sqrt(pb * pb - 4.0 * w0sq);
        return std::array<cd, 2>{(pb + d) / 2.0, (pb - d) / 2.0};
    };
    auto toZ = [&](cd s) { return (k + s) / (k - s); };
    const std::array<cd, 2> upper = roots(std::polar(1.0, 2.0 * pi / 3.0));
    const std::array<cd, 2> real = roots(cd(-1.0, 0.0));
    const double centre = 2.0 * std::atan(std::sqrt(w0sq) / k);
    double slowest = 0;
    for (int i = 0; i < 3; ++i) {
        Biquad& q = sections_[i];
        if (i < 2) {
            const cd z = toZ(upper[i]);
            q.a1 = -2.0 * z.real();
            q.a2 = std::norm(z);
            slowest = std::max(slowest, std::abs(z));
        } else {
            const cd za = toZ(real[0]), zb = toZ(real[1]);
            q.a1 = -(za + zb).real();
            q.a2 = (za * zb).real();
            slowest = std::max({slowest, std::abs(za), std::abs(zb)});
        }
        // Zeros at z = 1 and z = −1 (the band-pass's zeros at s = 0 and s = ∞); unit gain at
        // the centre.
        q.b0 = 1.0;
        q.b2 = -1.0;
        const double g = 1.0 / std::abs(SectionResponse(q, centre));
        q.b0 = g;
        q.b2 = -g;
    }
    // Three sections with nearly equal poles ring longer than one: a margin of a half.
    const double perSample = std::log(std::min(slowest, 1.0 - 1e-12));
    ring_ = static_cast<std::size_t>(std::ceil(1.5 * std::log(1e-8) / perSample)) + 16;
    ring_ = std::min<std::size_t>(ring_, static_cast<std::size_t>(20.0 * sampleRate));
}

std::vector<double> BandFilter::ZeroPhase(const double* x, std::size_t count) const {
    std::vector<double> y(count + ring_, 0.0);
    std::copy(x, x + count, y.begin());
    // Transposed direct form II, the three sections one after the other for each sample.
    double s1[3] = {0, 0, 0}, s2[3] = {0, 0, 0};
    const Biquad q0 = sections_[0], q1 = sections_[1], q2 = sections_[2];
    auto step = [&](double v) {
        double o = q0.b0 * v + s1[0];
        s1[0] = s2[0] - q0.a1 * o;
        s2[0] = q0.b2 * v - q0.a2 * o;
        v = o;
        o = q1.b0 * v + s1[1];
        s1[1] = s2[1] - q1.a1 * o;
        s2[1] = q1.b2 * v - q1.a2 * o;
        v = o;
        o = q2.b0 * v + s1[2];
        s1[2] = s2[2] - q2.a1 * o;
        s2[2] = q2.b2 * v - q2.a2 * o;
        return o;
    };
    for (double& v : y) v = step(v);
    std::fill(std::begin(s1), std::end(s1), 0.0);
    std::fill(std::begin(s2), std::end(s2), 0.0);
    for (std::size_t i = y.size(); i-- > 0;) y[i] = step(y[i]);
    y.resize(count);
    return y;
}

double BandFilter::SquaredResponse(double frequency) const {
    const double omega = 2.0 * std::numbers::pi * frequency / sampleRate_;
    double m = 1.0;
    for (const Biquad& q : sections_) m *= std::abs(SectionResponse(q, omega));
    return m * m;
}

AWeighting::AWeighting(double sampleRate) : sampleRate_(sampleRate) {
    // The weighting's corner frequencies: two at 20.6 Hz, 107.7 Hz and 737.9 Hz (high-pass), two
    // at 12194 Hz (low-pass). Plain bilinear transform: prewarping the high corners would lift
    // the response between 2 and 8 kHz instead of lowering it near 10 kHz.
    const double k = 2.0 * sampleRate;
    const double corners[6] = {20.598997, 20.598997, 107.65265, 737.86223, 12194.217, 12194.217};
    for (int i = 0; i < 6; ++i) {
        FirstOrder& f = sections_[i];
        const bool highPass = i < 4;
        if (!highPass && corners[i] > 0.45 * sampleRate) {
            f = {1.0, 0.0, 0.0};  // above what the rate carries: no low-pass corner
            continue;
        }
        const double w = 2.0 * std::numbers::pi * corners[i];
        f.a1 = (w - k) / (k + w);
        f.b0 = highPass ? k / (k + w) : w / (k + w);
        f.b1 = highPass ? -f.b0 : f.b0;
    }
    gain_ = 1.0;
    gain_ = 1.0 / Response(1000.0);
}

void AWeighting::Apply(std::vector<double>& x) const {
    for (const FirstOrder& f : sections_) {
        double xPrev = 0, yPrev = 0;
        for (double& v : x) {
            const double y = f.b0 * v + f.b1 * xPrev - f.a1 * yPrev;
            xPrev = v;
            yPrev = y;
            v = y;
        }
    }
    for (double& v : x) v *= gain_;
}

double AWeighting::Response(double frequency) const {
    const cd z1 = std::polar(1.0, -2.0 * std::numbers::pi * frequency / sampleRate_);
    cd h = gain_;
    for (const FirstOrder& f : sections_) h *= (f.b0 + f.b1 * z1) / (1.0 + f.a1 * z1);
    return std::abs(h);
}

}  // namespace fim
