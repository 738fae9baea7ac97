#include "core/FftKernels.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>

namespace fim::fft {

namespace {

// --- The fast transform ------------------------------------------------------------------------
// Split arrays (re[], im[]) in bit-reversed order, then decimation-in-time stages taken two at a
// time (radix 4). The factors come from the stage tables, so the results agree with the stage-by-
// stage radix-2 definition up to rounding. Vectors of two doubles (SSE2 on x86-64, NEON on ARM)
// carry two butterflies at once, vectors of four where the processor has AVX2 (chosen once at
// run time). Both do the same arithmetic without fused multiply-add, so every processor gives
// identical results.

using V2 = double __attribute__((vector_size(16)));
using V2i = long long __attribute__((vector_size(16)));

#if defined(__x86_64__) && defined(__GNUC__)
#define FIM_FFT_AVX2 1
// The four-lane code is inlined whole into functions compiled for AVX2, so the ABI of passing
// such vectors between functions never matters.
#pragma GCC diagnostic ignored "-Wpsabi"
using V4 = double __attribute__((vector_size(32)));
using V4i = long long __attribute__((vector_size(32)));
#endif

template <typename V>
__attribute__((always_inline)) inline V Load(const double* p) {
    V v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename V>
__attribute__((always_inline)) inline void Store(double* p, V v) {
    std::memcpy(p, &v, sizeof v);
}

__attribute__((always_inline)) inline V2 Reverse(V2 v) {
    return __builtin_shufflevector(v, v, 1, 0);
}

inline V2 Sqrt(V2 v) {
#if defined(__x86_64__) && defined(__GNUC__)
    return __builtin_ia32_sqrtpd(v);
#else
    return V2{std::sqrt(v[0]), std::sqrt(v[1])};
#endif
}

#if FIM_FFT_AVX2
__attribute__((always_inline)) inline V4 Reverse(V4 v) {
    return __builtin_shufflevector(v, v, 3, 2, 1, 0);
}
#if defined(__clang__)
__attribute__((always_inline)) inline V4 Sqrt(V4 v) {
    for (int i = 0; i < 4; ++i) v[i] = __builtin_sqrt(v[i]);
    return v;
}
#else
__attribute__((target("avx2"))) inline V4 Sqrt(V4 v) { return __builtin_ia32_sqrtpd256(v); }
#endif
#endif

// Whether any lane of a comparison result is set.
inline bool AnyLane(V2i v) {
#if defined(__x86_64__) && defined(__GNUC__)
    return __builtin_ia32_movmskpd((V2)v) != 0;
#else
    return (v[0] | v[1]) != 0;
#endif
}
#if FIM_FFT_AVX2
#if defined(__clang__)
__attribute__((always_inline)) inline bool AnyLane(V4i v) {
    return (v[0] | v[1] | v[2] | v[3]) != 0;
}
#else
__attribute__((target("avx2"))) inline bool AnyLane(V4i v) {
    return __builtin_ia32_movmskpd256((V4)v) != 0;
}
#endif
#endif

// The first two stages (half-lengths 1 and 2) on four values in bit-reversed order, each a
// vector {re, im}: all factors are ±1, ∓i. Writes re[0 … 3] and im[0 … 3].
template <bool Inverse>
__attribute__((always_inline)) inline void Butterfly4(double* re, double* im, V2 a, V2 b, V2 c,
                                                      V2 d) {
    const V2 a1 = a + b, b1 = a - b, c1 = c + d, d1 = c - d;
    // Second stage: (a1, c1) with factor 1, (b1, d1) with −i (forward) or +i; −i·(x + iy) is
    // y − ix.
    const V2 swapped = __builtin_shufflevector(d1, d1, 1, 0);
    const V2 t = Inverse ? swapped * V2{-1.0, 1.0} : swapped * V2{1.0, -1.0};
    const V2 o0 = a1 + c1, o1 = b1 + t, o2 = a1 - c1, o3 = b1 - t;
    Store(re, __builtin_shufflevector(o0, o1, 0, 2));
    Store(im, __builtin_shufflevector(o0, o1, 1, 3));
    Store(re + 2, __builtin_shufflevector(o2, o3, 0, 2));
    Store(im + 2, __builtin_shufflevector(o2, o3, 1, 3));
}

// The first two stages in place on data already in bit-reversed order.
template <bool Inverse>
struct InPlaceFirst {
    double* re;
    double* im;
    __attribute__((always_inline)) void operator()(int b, int count) const {
        double* r = re + b;
        double* i = im + b;
        for (int g = 0; g < count; g += 4) {
            Butterfly4<Inverse>(r + g, i + g, V2{r[g], i[g]}, V2{r[g + 1], i[g + 1]},
                                V2{r[g + 2], i[g + 2]}, V2{r[g + 3], i[g + 3]});
        }
    }
};

// The first two stages of the half-size transform of real samples: position p of the m-point
// sequence z[j] = in[2j] + i·in[2j + 1] in bit-reversed order is gathered straight into the
// butterflies, so the permutation costs no pass of its own. `shift` turns the 16-bit reversal
// table into the reversal over log2(m) bits.
struct GatherFirst {
    const double* in;
    double* re;
    double* im;
    const uint16_t* rev;
    int shift;
    __attribute__((always_inline)) void operator()(int b, int count) const {
        for (int g = b; g < b + count; g += 4) {
            Butterfly4<false>(re + g, im + g, Load<V2>(in + 2 * (rev[g] >> shift)),
                              Load<V2>(in + 2 * (rev[g + 1] >> shift)),
                              Load<V2>(in + 2 * (rev[g + 2] >> shift)),
                              Load<V2>(in + 2 * (rev[g + 3] >> shift)));
        }
    }
};

// The stage with half-length h alone, lanes butterflies at a time.
template <typename V, bool Inverse>
__attribute__((always_inline)) inline void Radix2Pass(double* __restrict re, double* __restrict im,
                                                      int n, int h, const FftTables& tables) {
    constexpr int kLanes = sizeof(V) / sizeof(double);
    if constexpr (kLanes > 2) {
        if (h < kLanes) {
            Radix2Pass<V2, Inverse>(re, im, n, h, tables);
            return;
        }
    }
    const double* ct = tables.StageCos(h);
    const double* st = tables.StageSin(h);
    for (int b = 0; b < n; b += 2 * h) {
        for (int j = 0; j < h; j += kLanes) {
            const V wr = Load<V>(ct + j);
            const V wi = Inverse ? -Load<V>(st + j) : Load<V>(st + j);
            const V ar = Load<V>(re + b + j), ai = Load<V>(im + b + j);
            const V br = Load<V>(re + b + j + h), bi = Load<V>(im + b + j + h);
            const V tr = wr * br - wi * bi, ti = wr * bi + wi * br;
            Store(re + b + j, ar + tr);
            Store(im + b + j, ai + ti);
            Store(re + b + j + h, ar - tr);
            Store(im + b + j + h, ai - ti);
        }
    }
}

// Stages with half-lengths h and 2h together (h ≥ 2), lanes butterflies at a time.
template <typename V, bool Inverse>
__attribute__((always_inline)) inline void Radix4Pass(double* __restrict re, double* __restrict im,
                                                      int n, int h, const FftTables& tables) {
    constexpr int kLanes = sizeof(V) / sizeof(double);
    if constexpr (kLanes > 2) {
        if (h < kLanes) {
            Radix4Pass<V2, Inverse>(re, im, n, h, tables);
            return;
        }
    }
    const double* c1t = tables.StageCos(h);
    const double* s1t = tables.StageSin(h);
    const double* c2t = tables.StageCos(2 * h);
    const double* s2t = tables.StageSin(2 * h);
    for (int b = 0; b < n; b += 4 * h) {
        double* r0 = re + b;
        double* i0 = im + b;
        for (int j = 0; j < h; j += kLanes) {
            V w1r = Load<V>(c1t + j), w1i = Load<V>(s1t + j);
            V w2r = Load<V>(c2t + j), w2i = Load<V>(s2t + j);
            if constexpr (Inverse) {
                w1i = -w1i;
                w2i = -w2i;
            }
            V ar = Load<V>(r0 + j), ai = Load<V>(i0 + j);
            V br = Load<V>(r0 + j + h), bi = Load<V>(i0 + j + h);
            V cr = Load<V>(r0 + j + 2 * h), ci = Load<V>(i0 + j + 2 * h);
            V dr = Load<V>(r0 + j + 3 * h), di = Load<V>(i0 + j + 3 * h);
            // Stage h: (a, b) and (c, d) with w1.
            V tr = w1r * br - w1i * bi, ti = w1r * bi + w1i * br;
            V a1r = ar + tr, a1i = ai + ti, b1r = ar - tr, b1i = ai - ti;
            tr = w1r * dr - w1i * di;
            ti = w1r * di + w1i * dr;
            V c1r = cr + tr, c1i = ci + ti, d1r = cr - tr, d1i = ci - ti;
            // Stage 2h: (a1, c1) with w2, (b1, d1) with w2·(−i) (forward) or w2·(+i).
            tr = w2r * c1r - w2i * c1i;
            ti = w2r * c1i + w2i * c1r;
            Store(r0 + j, a1r + tr);
            Store(i0 + j, a1i + ti);
            Store(r0 + j + 2 * h, a1r - tr);
            Store(i0 + j + 2 * h, a1i - ti);
            V ur = w2r * d1r - w2i * d1i, ui = w2r * d1i + w2i * d1r;
            if constexpr (Inverse) {
                tr = -ui;
                ti = ur;
            } else {
                tr = ui;
                ti = -ur;
            }
            Store(r0 + j + h, b1r + tr);
            Store(i0 + j + h, b1i + ti);
            Store(r0 + j + 3 * h, b1r - tr);
            Store(i0 + j + 3 * h, b1i - ti);
        }
    }
}

// The stages of an n-point transform (n ≥ 4); `first` does the first two stages on a block (and
// brings the data into bit-reversed order if it is not already), radix-4 passes follow, and a
// radix-2 pass ends an odd number of stages. The early stages work on blocks of kBlock points that
// stay in the first-level cache, block after block; only the stages whose butterflies span more
// than a block sweep the whole array.
constexpr int kBlock = 2048;

template <typename V, bool Inverse, typename First>
__attribute__((always_inline)) inline bool Stages(double* re, double* im, int n,
                                                  const FftTables& tables, const First& first,
                                                  bool leaveLastRadix2 = false) {
    const int block = std::min(n, kBlock);
    for (int b = 0; b < n; b += block) {
        first(b, block);
        for (int h = 4; 4 * h <= block; h *= 4) {
            Radix4Pass<V, Inverse>(re + b, im + b, block, h, tables);
        }
    }
    int h = 4;
    while (4 * h <= block) h *= 4;
    for (; 4 * h <= n; h *= 4) Radix4Pass<V, Inverse>(re, im, n, h, tables);
    if (h == n) return false;
    if (leaveLastRadix2) return true;  // the caller does the last stage
    Radix2Pass<V, Inverse>(re, im, n, h, tables);
    return false;
}

// Bin k of a real n-point transform from bins k and M − k of the half-size transform Z of the
// even/odd pairs (M = n/2): X[k] = E + W^k·O with E = (Z[k] + conj Z[M−k])/2,
// O = (Z[k] − conj Z[M−k])/(2i), W = e^(−2πi/n). Also gives conj(E − W^k·O) = X[M − k].
// Lane by lane on vectors of bins k … and their mirror images M − k … (in the same lane order).
template <typename V>
__attribute__((always_inline)) inline void Split(V zr, V zi, V mr, V mi, V wr, V wi, V& xr, V& xi,
                                                 V& yr, V& yi) {
    V er = 0.5 * (zr + mr), ei = 0.5 * (zi - mi);
    V orr = 0.5 * (zi + mi), oi = -0.5 * (zr - mr);
    V tr = wr * orr - wi * oi, ti = wr * oi + wi * orr;
    xr = er + tr;
    xi = ei + ti;
    yr = er - tr;
    yi = ti - ei;
}

// The forward butterfly of one radix-2 stage: p = a + w·b, q = a − w·b.
template <typename V>
__attribute__((always_inline)) inline void Butterfly2(V ar, V ai, V br, V bi, V wr, V wi, V& pr,
                                                      V& pi, V& qr, V& qi) {
    const V tr = wr * br - wi * bi, ti = wr * bi + wi * br;
    pr = ar + tr;
    pi = ai + ti;
    qr = ar - tr;
    qi = ai - ti;
}

// The last stage of the half-size transform (half-length h = m/2) done together with the split:
// the butterflies j and h − j give Z at j, j + h, h − j and m − j, which are exactly the split
// pairs (j, m − j) and (h − j, h + j), so the data is swept once instead of twice.
template <typename V>
__attribute__((always_inline)) inline void LastStageAndSplit(double* re, double* im, int m,
                                                             const FftTables& tables) {
    constexpr int kLanes = sizeof(V) / sizeof(double);
    const int h = m / 2;
    const double* c2 = tables.StageCos(h);
    const double* s2 = tables.StageSin(h);
    const double* wc = tables.StageCos(m);
    const double* ws = tables.StageSin(m);
    // j = 0 (factor 1): Z[0] and Z[h].
    const double z0r = re[0] + re[h], z0i = im[0] + im[h];
    const double zhr = re[0] - re[h], zhi = im[0] - im[h];
    int j = 1;
    for (; 2 * (j + kLanes - 1) < h; j += kLanes) {
        const int q = h - j - (kLanes - 1);  // the block of h − j, ascending
        V zjr, zji, zjhr, zjhi, zqr, zqi, zqhr, zqhi;
        Butterfly2<V>(Load<V>(re + j), Load<V>(im + j), Load<V>(re + j + h), Load<V>(im + j + h),
                      Load<V>(c2 + j), Load<V>(s2 + j), zjr, zji, zjhr, zjhi);
        Butterfly2<V>(Reverse(Load<V>(re + q)), Reverse(Load<V>(im + q)),
                      Reverse(Load<V>(re + q + h)), Reverse(Load<V>(im + q + h)),
                      Reverse(Load<V>(c2 + q)), Reverse(Load<V>(s2 + q)), zqr, zqi, zqhr, zqhi);
        V xr, xi, yr, yi;
        // Bins j and m − j.
        Split<V>(zjr, zji, zqhr, zqhi, Load<V>(wc + j), Load<V>(ws + j), xr, xi, yr, yi);
        Store(re + j, xr);
        Store(im + j, xi);
        Store(re + q + h, Reverse(yr));
        Store(im + q + h, Reverse(yi));
        // Bins h − j and h + j.
        Split<V>(zqr, zqi, zjhr, zjhi, Reverse(Load<V>(wc + q)), Reverse(Load<V>(ws + q)), xr, xi,
                 yr, yi);
        Store(re + q, Reverse(xr));
        Store(im + q, Reverse(xi));
        Store(re + j + h, yr);
        Store(im + j + h, yi);
    }
    for (; j <= h - j; ++j) {
        const int q = h - j;
        V2 zjr, zji, zjhr, zjhi, zqr, zqi, zqhr, zqhi, xr, xi, yr, yi;
        Butterfly2<V2>(V2{re[j]}, V2{im[j]}, V2{re[j + h]}, V2{im[j + h]}, V2{c2[j]}, V2{s2[j]},
                       zjr, zji, zjhr, zjhi);
        if (q == j) {  // j = h/2 pairs with itself: bins h/2 and m − h/2 = h + j
            Split<V2>(zjr, zji, zjhr, zjhi, V2{wc[j]}, V2{ws[j]}, xr, xi, yr, yi);
            re[j] = xr[0];
            im[j] = xi[0];
            re[j + h] = yr[0];
            im[j + h] = yi[0];
            break;
        }
        Butterfly2<V2>(V2{re[q]}, V2{im[q]}, V2{re[q + h]}, V2{im[q + h]}, V2{c2[q]}, V2{s2[q]},
                       zqr, zqi, zqhr, zqhi);
        Split<V2>(zjr, zji, zqhr, zqhi, V2{wc[j]}, V2{ws[j]}, xr, xi, yr, yi);
        re[j] = xr[0];
        im[j] = xi[0];
        re[q + h] = yr[0];
        im[q + h] = yi[0];
        Split<V2>(zqr, zqi, zjhr, zjhi, V2{wc[q]}, V2{ws[q]}, xr, xi, yr, yi);
        re[q] = xr[0];
        im[q] = xi[0];
        re[j + h] = yr[0];
        im[j + h] = yi[0];
    }
    // Bin h = m/2: W^(m/2) = −i, so X = conj Z[h]; bins 0 and m from Z[0].
    re[h] = zhr;
    im[h] = -zhi;
    re[0] = z0r + z0i;
    im[0] = 0.0;
    re[m] = z0r - z0i;
    im[m] = 0.0;
}

// Forward transform of n = 2m real samples into re/im[0 … m].
template <typename V>
__attribute__((always_inline)) inline void RealForwardCore(const double* in, double* re, double* im,
                                                           int n, const FftTables& tables) {
    constexpr int kLanes = sizeof(V) / sizeof(double);
    const int m = n / 2;
    const GatherFirst first{in, re, im, tables.BitReverse16(), FftTables::kMaxLog2 - Log2Of(m)};
    if (Stages<V, false>(re, im, m, tables, first, true)) {
        LastStageAndSplit<V>(re, im, m, tables);
        return;
    }

    const double* wc = tables.StageCos(m);  // e^(−2πik/n) = cos/sin(−kπ/m)
    const double* ws = tables.StageSin(m);
    const double z0r = re[0], z0i = im[0];
    // Bins k and m − k come from the same pair of half-size bins and the same factor.
    int k = 1;
    for (; 2 * (k + kLanes - 1) < m; k += kLanes) {
        const int q = m - k - (kLanes - 1);  // the mirror block, ascending
        V xr, xi, yr, yi;
        Split<V>(Load<V>(re + k), Load<V>(im + k), Reverse(Load<V>(re + q)),
                 Reverse(Load<V>(im + q)), Load<V>(wc + k), Load<V>(ws + k), xr, xi, yr, yi);
        Store(re + k, xr);
        Store(im + k, xi);
        Store(re + q, Reverse(yr));
        Store(im + q, Reverse(yi));
    }
    for (; k < m - k; ++k) {
        V2 xr, xi, yr, yi;
        Split<V2>(V2{re[k]}, V2{im[k]}, V2{re[m - k]}, V2{im[m - k]}, V2{wc[k]}, V2{ws[k]}, xr, xi,
                  yr, yi);
        re[k] = xr[0];
        im[k] = xi[0];
        re[m - k] = yr[0];
        im[m - k] = yi[0];
    }
    // Bin m/2: W^(m/2) = −i, so X = conj Z[m/2].
    im[m / 2] = -im[m / 2];
    re[0] = z0r + z0i;
    im[0] = 0.0;
    re[m] = z0r - z0i;
    im[m] = 0.0;
}

// In-place complex transform of n ≥ 4 values.
template <typename V>
__attribute__((always_inline)) inline void ComplexCore(double* re, double* im, int n, bool inverse,
                                                       const FftTables& tables) {
    const uint16_t* rev = tables.BitReverse16();
    const int shift = FftTables::kMaxLog2 - Log2Of(n);
    for (int i = 1; i < n - 1; ++i) {
        int r = rev[i] >> shift;
        if (i < r) {
            std::swap(re[i], re[r]);
            std::swap(im[i], im[r]);
        }
    }
    if (inverse) {
        Stages<V, true>(re, im, n, tables, InPlaceFirst<true>{re, im});
    } else {
        Stages<V, false>(re, im, n, tables, InPlaceFirst<false>{re, im});
    }
}

#if FIM_FFT_AVX2
__attribute__((target("avx2"), flatten)) void RealForwardAvx2(const double* in, double* re,
                                                              double* im, int n,
                                                              const FftTables& tables) {
    RealForwardCore<V4>(in, re, im, n, tables);
}
__attribute__((target("avx2"), flatten)) void ComplexAvx2(double* re, double* im, int n,
                                                          bool inverse, const FftTables& tables) {
    ComplexCore<V4>(re, im, n, inverse, tables);
}
#endif

std::atomic<bool> wideVectorsAllowed{true};

bool HaveAvx2() {
#if FIM_FFT_AVX2
    static const bool avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    return avx2 && wideVectorsAllowed.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

void RealForwardTransform(const double* in, double* re, double* im, int n,
                          const FftTables& tables) {
#if FIM_FFT_AVX2
    if (HaveAvx2()) return RealForwardAvx2(in, re, im, n, tables);
#endif
    RealForwardCore<V2>(in, re, im, n, tables);
}

void ComplexTransform(double* re, double* im, int n, bool inverse, const FftTables& tables) {
#if FIM_FFT_AVX2
    if (HaveAvx2()) return ComplexAvx2(re, im, n, inverse, tables);
#endif
    ComplexCore<V2>(re, im, n, inverse, tables);
}

// Magnitude and phase of a vector of bins (two or four lanes).
//
// Magnitude: √(re² + im²) in one vector square root. Where the larger part lies outside
// 1e-150 … 1e150 the squares could overflow or lose digits below the normal range, and those
// lanes take the scaled form m·√(1 + (s/m)²) instead.
//
// Phase: the angle of (|re|, |im|) in 0 … π/2 is split into three sectors around 0, π/4 and π/2,
// each reduced by one division to atan(x) with |x| ≤ tan(π/8); a polynomial in x² then gives
// atan(x) to about one unit in the last place, so the whole phase stays within a few units of
// the last place of π of atan2(im, re). The signs fold it into the right quadrant as atan2 does
// (−0.0 counts as negative), and re = 0 gives ±π/2 (−π/2 when im ≤ 0).
// atan(x)/x − 1 over x², for x² in 0 … tan²(π/8): Chebyshev fit, relative error below 1e-17.
constexpr double kAtanPoly[] = {-0.01917688711906226,  0.039231658295587189,  -0.050854497379402598,
                                0.0585814891280221,    -0.066645114473819475, 0.076921831908260865,
                                -0.090909045781239026, 0.11111111015256361,   -0.14285714284666542,
                                0.19999999999995521,   -0.33333333333333331};
constexpr double kTanPi8 = 0.41421356237309503;
// π/4 as a double and the rest below it; π/2 as a double.
constexpr double kPi4Hi = 0.7853981633974483, kPi4Lo = 3.061616997868383e-17;
constexpr double kPi2Hi = 1.5707963267948966;

template <typename V, typename Vi>
__attribute__((always_inline)) inline void MagnitudePhaseV(V re, V im, V& magnitude, V& phase) {
    const Vi signBit = Vi{} + static_cast<long long>(0x8000000000000000ULL);
    const V zero = V{};
    V ax = (V)((Vi)re & ~signBit), ay = (V)((Vi)im & ~signBit);

    const V squares = re * re + im * im;
    magnitude = Sqrt(squares);
    const Vi wild = (squares > 1e300) | (squares < 1e-300);
    if (AnyLane(wild)) {  // also taken for zero bins, which the scaled form handles too
        const V m = ay > ax ? ay : ax;
        const V s = ay > ax ? ax : ay;
        const V t = s / (m == zero ? V{} + 1.0 : m);
        magnitude = wild ? m * Sqrt(1.0 + t * t) : magnitude;
        // The phase below needs parts well inside the normal range: scale by a power of two.
        const V scale = wild ? (m < 1.0 ? V{} + 0x1p600 : V{} + 0x1p-600) : V{} + 1.0;
        ax *= scale;
        ay *= scale;
    }

    // Sector 0: |im| ≤ tan(π/8)·|re|; sector 2: |re| < tan(π/8)·|im|; sector 1 between.
    const Vi sector0 = ay <= kTanPi8 * ax;
    const Vi sector2 = ax < kTanPi8 * ay;
    const V num = sector0 ? ay : (sector2 ? -ax : ay - ax);
    const V den = sector0 ? ax : (sector2 ? ay : ay + ax);
    const V x = num / den;  // 0/0 (NaN) only when both parts are 0
    const V z = x * x;
    // Estrin's scheme: a short dependency chain, so that the bins of several loop iterations
    // are in flight at once.
    const auto& c = kAtanPoly;  // highest power first
    const V z2 = z * z, z4 = z2 * z2, z8 = z4 * z4;
    const V p10 = c[9] * z + c[10], p32 = c[7] * z + c[8], p54 = c[5] * z + c[6];
    const V p76 = c[3] * z + c[4], p98 = c[1] * z + c[2];
    const V p30 = p32 * z2 + p10, p74 = p76 * z2 + p54, p10to8 = c[0] * z2 + p98;
    const V q = (p10to8 * z8 + (p74 * z4 + p30));
    const V a = x + x * (z * q);
    // First quadrant: k·π/4 + a with k = 0, 1, 2 for the sectors; with re < 0 (sign bit, so −0.0
    // counts): (4 − k)·π/4 − a. k·π/4 is exact in the double kPi4Hi times k ≤ 4 plus k·kPi4Lo.
    const Vi one = (Vi)(V{} + 1.0);
    V k = (V)(one & ~sector0) + (V)(one & sector2);
    const Vi reSign = (Vi)re & signBit;
    k = reSign != 0 ? 4.0 - k : k;
    V angle = k * kPi4Hi + ((V)((Vi)a ^ reSign) + k * kPi4Lo);
    angle = (V)((Vi)angle ^ ((Vi)im & signBit));
    // re = 0: the sectors give exactly +π/2 when im > 0 and −π/2 when im < 0; with both parts 0
    // the angle is NaN, and the phase is −π/2.
    phase = angle == angle ? angle : V{} - kPi2Hi;
}

inline void MagnitudePhase2(V2 re, V2 im, V2& magnitude, V2& phase) {
    MagnitudePhaseV<V2, V2i>(re, im, magnitude, phase);
}

// Stores lane i of m and ph as record i.
__attribute__((always_inline)) inline void StoreRecords(SpectrumRecord* out, V2 m, V2 ph) {
    const V2 r0 = __builtin_shufflevector(m, ph, 0, 2), r1 = __builtin_shufflevector(m, ph, 1, 3);
    std::memcpy(static_cast<void*>(out), &r0, sizeof r0);
    std::memcpy(static_cast<void*>(out + 1), &r1, sizeof r1);
}
#if FIM_FFT_AVX2
__attribute__((always_inline)) inline void StoreRecords(SpectrumRecord* out, V4 m, V4 ph) {
    const V4 r01 = __builtin_shufflevector(m, ph, 0, 4, 1, 5);
    const V4 r23 = __builtin_shufflevector(m, ph, 2, 6, 3, 7);
    std::memcpy(static_cast<void*>(out), &r01, sizeof r01);
    std::memcpy(static_cast<void*>(out + 2), &r23, sizeof r23);
}
#endif

// Magnitude and phase of bins 0 … count − 1 of split arrays into records; `Conjugate` takes the
// bins as conjugated (the inverse transform of real data).
template <typename V, typename Vi, bool Conjugate>
__attribute__((always_inline)) inline void MagnitudePhaseLoop(const double* re, const double* im,
                                                              SpectrumRecord* out, int count) {
    static_assert(sizeof(SpectrumRecord) == 2 * sizeof(double));
    constexpr int kLanes = sizeof(V) / sizeof(double);
    int k = 0;
    for (; k + kLanes <= count; k += kLanes) {
        V m, ph;
        const V vi = Load<V>(im + k);
        MagnitudePhaseV<V, Vi>(Load<V>(re + k), Conjugate ? -vi : vi, m, ph);
        StoreRecords(out + k, m, ph);
    }
    for (; k < count; ++k) {
        V2 m, ph;
        MagnitudePhase2(V2{re[k], 0.0}, V2{Conjugate ? -im[k] : im[k], 0.0}, m, ph);
        out[k] = {m[0], ph[0]};
    }
}

template <typename V, typename Vi>
__attribute__((always_inline)) inline void MagnitudePhaseLoop(const double* re, const double* im,
                                                              SpectrumRecord* out, int count,
                                                              bool conjugate) {
    if (conjugate) {
        MagnitudePhaseLoop<V, Vi, true>(re, im, out, count);
    } else {
        MagnitudePhaseLoop<V, Vi, false>(re, im, out, count);
    }
}

#if FIM_FFT_AVX2
// The AVX2 path does the same arithmetic, without fused multiply-add, so both paths give
// identical results.
__attribute__((target("avx2"), flatten)) void MagnitudePhaseAvx2(const double* re, const double* im,
                                                                 SpectrumRecord* out, int count,
                                                                 bool conjugate) {
    MagnitudePhaseLoop<V4, V4i>(re, im, out, count, conjugate);
}

void MagnitudePhaseBlock(const double* re, const double* im, SpectrumRecord* out, int count,
                         bool conjugate) {
    if (HaveAvx2()) {
        MagnitudePhaseAvx2(re, im, out, count, conjugate);
    } else {
        MagnitudePhaseLoop<V2, V2i>(re, im, out, count, conjugate);
    }
}
#else
void MagnitudePhaseBlock(const double* re, const double* im, SpectrumRecord* out, int count,
                         bool conjugate) {
    MagnitudePhaseLoop<V2, V2i>(re, im, out, count, conjugate);
}
#endif

}  // namespace

void RealForward(const double* in, double* re, double* im, int n, const FftTables& tables) {
    RealForwardTransform(in, re, im, n, tables);
}

void Complex(double* re, double* im, int n, bool inverse, const FftTables& tables) {
    ComplexTransform(re, im, n, inverse, tables);
}

void MagnitudePhases(const double* re, const double* im, SpectrumRecord* out, int count,
                     bool conjugate) {
    MagnitudePhaseBlock(re, im, out, count, conjugate);
}

SpectrumRecord MagnitudePhaseOf(double re, double im) {
    V2 m, ph;
    MagnitudePhase2(V2{re, 0.0}, V2{im, 0.0}, m, ph);
    return {m[0], ph[0]};
}

bool AllowWideVectors(bool allowed) {
    wideVectorsAllowed.store(allowed, std::memory_order_relaxed);
    return HaveAvx2();
}

}  // namespace fim::fft
