#include "core/Mls.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "base/Prompter.h"
#include "core/MeasurementState.h"

namespace fim {

namespace {

// Register bit t − 1 holds cell t; a set bit is +1.
void GenerateMlsUnchecked(int order, int8_t* destination) {
    const MlsTapRecord rec = MlsTaps(order);
    uint32_t tapMask = 0;
    for (int i = 0; i < rec.count; ++i) tapMask |= 1u << (rec.taps[i] - 1);
    const uint32_t mask = (1u << order) - 1;
    uint32_t reg = mask;
    const uint32_t length = mask;
    for (uint32_t k = 0; k < length; ++k) {
        const uint32_t bit = static_cast<uint32_t>(std::popcount(reg & tapMask)) & 1u;
        reg = ((reg << 1) | bit) & mask;
        destination[k] = bit ? int8_t{1} : int8_t{-1};
    }
}

void PutSample(std::byte* out, std::size_t frame, int bytes, int32_t value) {
    std::byte* p = out + frame * 2 * static_cast<std::size_t>(bytes);
    if (bytes == 2) {
        const auto v = static_cast<int16_t>(value);
        std::memcpy(p, &v, 2);
        std::memcpy(p + 2, &v, 2);
    } else {
        std::memcpy(p, &value, 4);
        std::memcpy(p + 4, &value, 4);
    }
}

}  // namespace

MlsTapRecord MlsTaps(int order) {
    switch (order) {
        case 2:
            return {2, {1, 2, 0, 0}};
        case 3:
            return {2, {2, 3, 0, 0}};
        case 4:
            return {2, {3, 4, 0, 0}};
        case 5:
            return {2, {3, 5, 0, 0}};
        case 6:
            return {2, {5, 6, 0, 0}};
        case 7:
            return {2, {6, 7, 0, 0}};
        case 8:
            return {4, {2, 3, 5, 8}};
        case 9:
            return {2, {5, 9, 0, 0}};
        case 10:
            return {2, {7, 10, 0, 0}};
        case 11:
            return {2, {9, 11, 0, 0}};
        case 12:
            return {4, {6, 8, 11, 12}};
        case 13:
            return {4, {9, 10, 12, 13}};
        case 14:
            return {4, {4, 8, 13, 14}};
        case 15:
            return {2, {14, 15, 0, 0}};
        case 16:
            return {4, {4, 13, 15, 16}};
        case 17:
            return {2, {14, 17, 0, 0}};
        case 18:
            return {2, {11, 18, 0, 0}};
        case 19:
            return {4, {14, 17, 18, 19}};
        case 20:
            return {2, {17, 20, 0, 0}};
        case 21:
            return {2, {19, 21, 0, 0}};
        case 22:
            return {2, {21, 22, 0, 0}};
        case 23:
            return {2, {18, 23, 0, 0}};
        case 24:
            return {4, {17, 22, 23, 24}};
        default:
            return {};
    }
}

bool GenerateMls(int order, int8_t* destination, Prompter& prompter) {
    if (order > kMaxMlsOrder) {
        prompter.Inform("MLS Unit", "MLS zu lang", PromptIcon::Stop);
        return false;
    }
    if (order < kMinMlsOrder) {
        prompter.Inform("MLS Unit", "MLS zu kurz", PromptIcon::Stop);
        return false;
    }
    GenerateMlsUnchecked(order, destination);
    return true;
}

const std::array<PinkSectionSpec, 13> kPinkSectionSpecs = {{
    {3, 20, 3, 1.0},
    {3, 40, 2, 1.0},
    {3, 80, 1, 1.0},
    {3, 160, 0, 1.0},
    {3, 320, -1, 1.0},
    {3, 640, -2, 1.0},
    {3, 1280, -3, 1.0},
    {3, 2560, -4, 1.0},
    {3, 5120, -5, 1.0},
    {3, 10240, -6, 1.0},
    {3, 20480, -7, 1.0},
    {3, 40960, -8, 1.0},
    {2, 20000, -30, 1.0},
}};

void PinkFilter::DesignPinkFilter(double sampleRate) {
    using LD = long double;
    const LD pi = 3.14159265358979323846264338327950288L;
    const LD fs = sampleRate;
    const LD T = 1.0L / fs;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const PinkSectionSpec& row = kPinkSectionSpecs[i];
        const LD f = row.frequency;
        const LD gain = row.gainDb;
        const LD V = std::pow(10.0L, std::fabs(gain) / 20.0L);
        const LD Vb = std::pow(10.0L, (std::fabs(gain) / 20.0L) / std::sqrt(2.0L));
        // Above fs/2 the tangent turns negative; such a section is used as computed.
        const LD W = (fs / pi) * std::tan(pi * f / fs);
        const LD omega = 2.0L * pi * W;
        LD p0, p1, p2, q0, q1, q2;
        if (row.type == 3) {
            const LD half = f / (2.0L * row.q);
            const LD fLo = std::sqrt(f * f + half * half) - half;
            const LD WLo = (fs / pi) * std::tan(pi * fLo / fs);
            const LD B = (W * W / WLo - WLo) / W;
            const LD c = gain == 0 ? std::sqrt(2.0L) : std::sqrt((Vb * Vb - 1) / (V * V - Vb * Vb));
            p2 = q2 = 1;
            p0 = q0 = omega * omega;
            if (gain > 0) {
                p1 = c * V * B * omega;
                q1 = c * B * omega;
            } else {
                p1 = c * B * omega;
                q1 = c * V * B * omega;
            }
        } else {
            p0 = q0 = omega * omega;
            const LD steep = 2.0L * std::sqrt(V) * omega;
            const LD gentle = (V + 1) * omega / Vb;
            if (gain >= 0) {
                p2 = V, p1 = steep, q2 = 1, q1 = gentle;
            } else {
                p2 = 1, p1 = gentle, q2 = V, q1 = steep;
            }
        }
        const LD a0 = q0 * T * T + 2 * q1 * T + 4 * q2;
        const LD a1 = 2 * q0 * T * T - 8 * q2;
        const LD a2 = q0 * T * T - 2 * q1 * T + 4 * q2;
        const LD b0 = p0 * T * T + 2 * p1 * T + 4 * p2;
        const LD b1 = 2 * p0 * T * T - 8 * p2;
        const LD b2 = p0 * T * T - 2 * p1 * T + 4 * p2;
        PinkSection& s = sections[i];
        // Denominator 1 + (a1/a0) z^-1 + (a2/a0) z^-2: its poles lie inside the unit circle
        // exactly when |a2/a0| < 1 and |a1/a0| < 1 + a2/a0. At low sample rates several sections
        // lie above fs/2 and their design can come out unstable; such a section would make the
        // signal grow without bound, so it is left out of the cascade (passes the signal).
        const LD r1 = a1 / a0, r2 = a2 / a0;
        if (!(std::fabs(r2) < 1 && std::fabs(r1) < 1 + r2)) {
            s = PinkSection{};
            continue;
        }
        s.b0 = static_cast<double>(b0 / a0);
        s.b1 = static_cast<double>(b1 / a0);
        s.b2 = static_cast<double>(b2 / a0);
        s.c1 = static_cast<double>(-a1 / a0);
        s.c2 = static_cast<double>(-a2 / a0);
    }
    for (PinkSection& s : sections) s.x0 = s.x1 = s.x2 = s.y0 = s.y1 = s.y2 = 0;
}

double PinkFilter::PinkFilterSample(double x) {
    using LD = long double;
    double in = x;
    for (PinkSection& s : sections) {
        s.x2 = s.x1;
        s.x1 = s.x0;
        s.y2 = s.y1;
        s.y1 = s.y0;
        s.x0 = in;
        const LD y =
            LD{s.b0} * s.x0 + LD{s.b1} * s.x1 + LD{s.b2} * s.x2 + LD{s.c1} * s.y1 + LD{s.c2} * s.y2;
        s.y0 = static_cast<double>(y);
        in = s.y0;
    }
    return in;
}

bool BuildOutputSignal(MeasurementState& state, const PinkIndicator& indicator) {
    const int order = state.MlsOrder;
    const int bytes = BytesPerSample(state.SampleBits);
    if (order < kMinMlsOrder || order > kMaxBufferedMlsOrder) return false;
    if (bytes != 2 && bytes != 4) return false;
    const std::size_t n = std::size_t{1} << order;
    const std::size_t length = n - 1;
    if (2 * n * 2 * static_cast<std::size_t>(bytes) > SharedBuffers::Size(SharedBuffers::OLP)) {
        return false;
    }
    std::byte* olp = state.buffers.OLPb();
    auto* mls = reinterpret_cast<int8_t*>(state.buffers.ILP1b());
    if (olp == nullptr || mls == nullptr) return false;

    if (!state.PinkMls) {
        GenerateMlsUnchecked(order, mls);
        const int32_t a = state.OutputAmplitude;
        for (std::size_t pass = 0; pass < 2; ++pass) {
            for (std::size_t k = 0; k < length; ++k) {
                PutSample(olp, pass * length + k, bytes, mls[k] > 0 ? a : -a);
            }
        }
        PutSample(olp, 2 * length, bytes, 0);
        PutSample(olp, 2 * length + 1, bytes, 0);
        return true;
    }

    std::unique_ptr<double[]> signal(new (std::nothrow) double[2 * n]);
    if (!signal) return false;
    if (indicator) indicator(true);
    GenerateMlsUnchecked(order, mls);
    PinkFilter filter;
    filter.DesignPinkFilter(state.SampleRate);
    double largest = 0;
    for (std::size_t pass = 0; pass < 2; ++pass) {
        for (std::size_t k = 0; k < length; ++k) {
            const double y = filter.PinkFilterSample(mls[k]);
            signal[pass * length + k] = y;
            if (std::fabs(y) > largest) largest = std::fabs(y);
        }
    }
    signal[2 * length] = 0;
    signal[2 * length + 1] = 0;
    const double scale = largest > 0 ? state.OutputAmplitude / largest : 0.0;
    for (std::size_t k = 0; k < 2 * n; ++k) {
        PutSample(olp, k, bytes, static_cast<int32_t>(std::nearbyint(scale * signal[k])));
    }
    if (indicator) indicator(false);
    return true;
}

}  // namespace fim
