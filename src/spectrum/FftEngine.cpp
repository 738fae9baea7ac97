#include "spectrum/FftEngine.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <numbers>
#include <vector>

#include "shell/Catalog.h"

namespace fim {

namespace {

constexpr int kSizeCount = 10;  // 128 … 65536
constexpr double kTwiddleCut = 1e-5;

// Anti-alias low-pass of the decimation (direct form, a1 and a2 with the sign of the recursion
// y = … − a1·y[n−1] − a2·y[n−2]).
constexpr double kB0 = 0.0332, kB1 = 0.0664, kB2 = 0.0332, kA1 = -1.445, kA2 = 0.5773;

int Log2Of(int n) {
    int l = 0;
    while ((1 << l) < n) ++l;
    return l;
}

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

void* DefaultAlloc(std::size_t bytes) { return std::malloc(bytes); }

void DefaultFatal(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s\n%s\nMEMORY ERROR\n", caption.c_str(), text.c_str());
    std::_Exit(EXIT_FAILURE);
}

void* AllocOrFail(std::size_t bytes, const std::string& caption, const FftAllocator& alloc,
                  const FftFatalHandler& onFatal) {
    void* p = alloc ? alloc(bytes, caption) : DefaultAlloc(bytes);
    if (!p) {
        std::string text = Msg(25);
        if (onFatal) {
            onFatal(caption, text);
        } else {
            DefaultFatal(caption, text);
        }
    }
    return p;
}

// --- The fast transform ------------------------------------------------------------------------
// Split arrays (re[], im[]) in bit-reversed order, then decimation-in-time stages taken two at a
// time (radix 4). The factors come from the stage tables, so the results agree with the stage-by-
// stage radix-2 definition up to rounding. Vectors of two doubles (SSE2 on x86-64, NEON on ARM)
// carry two butterflies at once.

using V2 = double __attribute__((vector_size(16)));

inline V2 Load(const double* p) {
    V2 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline void Store(double* p, V2 v) { std::memcpy(p, &v, sizeof v); }

// First two stages (half-lengths 1 and 2) on groups of four: all factors are ±1, ∓i.
template <bool Inverse>
void FirstRadix4(double* __restrict re, double* __restrict im, int n) {
    for (int b = 0; b < n; b += 4) {
        double a1r = re[b] + re[b + 1], a1i = im[b] + im[b + 1];
        double b1r = re[b] - re[b + 1], b1i = im[b] - im[b + 1];
        double c1r = re[b + 2] + re[b + 3], c1i = im[b + 2] + im[b + 3];
        double d1r = re[b + 2] - re[b + 3], d1i = im[b + 2] - im[b + 3];
        // Second stage: (a1, c1) with factor 1, (b1, d1) with factor −i (forward) or +i.
        double tr = Inverse ? -d1i : d1i;
        double ti = Inverse ? d1r : -d1r;
        re[b] = a1r + c1r;
        im[b] = a1i + c1i;
        re[b + 2] = a1r - c1r;
        im[b + 2] = a1i - c1i;
        re[b + 1] = b1r + tr;
        im[b + 1] = b1i + ti;
        re[b + 3] = b1r - tr;
        im[b + 3] = b1i - ti;
    }
}

// The first stage alone (half-length 1), used when log2(n) is odd.
void FirstRadix2(double* __restrict re, double* __restrict im, int n) {
    for (int b = 0; b < n; b += 2) {
        double ar = re[b], ai = im[b];
        re[b] = ar + re[b + 1];
        im[b] = ai + im[b + 1];
        re[b + 1] = ar - re[b + 1];
        im[b + 1] = ai - im[b + 1];
    }
}

// Stages with half-lengths h and 2h together (h ≥ 2).
template <bool Inverse>
void Radix4Pass(double* __restrict re, double* __restrict im, int n, int h,
                const FftTables& tables) {
    const double* c1t = tables.StageCos(h);
    const double* s1t = tables.StageSin(h);
    const double* c2t = tables.StageCos(2 * h);
    const double* s2t = tables.StageSin(2 * h);
    for (int b = 0; b < n; b += 4 * h) {
        double* r0 = re + b;
        double* i0 = im + b;
        for (int j = 0; j < h; j += 2) {
            V2 w1r = Load(c1t + j), w1i = Load(s1t + j);
            V2 w2r = Load(c2t + j), w2i = Load(s2t + j);
            if constexpr (Inverse) {
                w1i = -w1i;
                w2i = -w2i;
            }
            V2 ar = Load(r0 + j), ai = Load(i0 + j);
            V2 br = Load(r0 + j + h), bi = Load(i0 + j + h);
            V2 cr = Load(r0 + j + 2 * h), ci = Load(i0 + j + 2 * h);
            V2 dr = Load(r0 + j + 3 * h), di = Load(i0 + j + 3 * h);
            // Stage h: (a, b) and (c, d) with w1.
            V2 tr = w1r * br - w1i * bi, ti = w1r * bi + w1i * br;
            V2 a1r = ar + tr, a1i = ai + ti, b1r = ar - tr, b1i = ai - ti;
            tr = w1r * dr - w1i * di;
            ti = w1r * di + w1i * dr;
            V2 c1r = cr + tr, c1i = ci + ti, d1r = cr - tr, d1i = ci - ti;
            // Stage 2h: (a1, c1) with w2, (b1, d1) with w2·(−i) (forward) or w2·(+i).
            tr = w2r * c1r - w2i * c1i;
            ti = w2r * c1i + w2i * c1r;
            Store(r0 + j, a1r + tr);
            Store(i0 + j, a1i + ti);
            Store(r0 + j + 2 * h, a1r - tr);
            Store(i0 + j + 2 * h, a1i - ti);
            V2 ur = w2r * d1r - w2i * d1i, ui = w2r * d1i + w2i * d1r;
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

// The stages of an n-point transform on data already in bit-reversed order. The early stages
// work on blocks of kBlock points that stay in the first-level cache, block after block; only
// the stages whose butterflies span more than a block sweep the whole array.
constexpr int kBlock = 2048;

template <bool Inverse>
void Stages(double* re, double* im, int n, const FftTables& tables) {
    if (n < 2) return;
    const bool oddLog = (Log2Of(n) & 1) != 0;
    const int block = std::min(n, kBlock);
    int h = oddLog ? 2 : 4;
    for (int b = 0; b < n; b += block) {
        if (oddLog) {
            FirstRadix2(re + b, im + b, block);
        } else {
            FirstRadix4<Inverse>(re + b, im + b, block);
        }
        for (int hb = h; 4 * hb <= block; hb *= 4)
            Radix4Pass<Inverse>(re + b, im + b, block, hb, tables);
    }
    while (4 * h <= block) h *= 4;
    for (; h < n; h *= 4) Radix4Pass<Inverse>(re, im, n, h, tables);
}

void RunStages(double* re, double* im, int n, bool inverse, const FftTables& tables) {
    if (inverse) {
        Stages<true>(re, im, n, tables);
    } else {
        Stages<false>(re, im, n, tables);
    }
}

void BitReversePermute(double* re, double* im, int n, const FftTables& tables) {
    if (n < 4) return;
    const uint16_t* rev = tables.BitReverse16();
    int shift = FftTables::kMaxLog2 - Log2Of(n);
    for (int i = 1; i < n - 1; ++i) {
        int r = rev[i] >> shift;
        if (i < r) {
            std::swap(re[i], re[r]);
            std::swap(im[i], im[r]);
        }
    }
}

// Bin k of a real n-point transform from bins k and M − k of the half-size transform Z of the
// even/odd pairs (M = n/2): X[k] = E + W^k·O with E = (Z[k] + conj Z[M−k])/2,
// O = (Z[k] − conj Z[M−k])/(2i), W = e^(−2πi/n). Also returns conj(E − W^k·O) = X[M − k].
struct SplitPair {
    double xr, xi, yr, yi;
};
inline SplitPair Split(double zr, double zi, double mr, double mi, double wr, double wi) {
    double er = 0.5 * (zr + mr), ei = 0.5 * (zi - mi);
    double orr = 0.5 * (zi + mi), oi = -0.5 * (zr - mr);
    double tr = wr * orr - wi * oi, ti = wr * oi + wi * orr;
    return {er + tr, ei + ti, er - tr, ti - ei};
}

// Magnitude and phase of a vector of bins (two or four lanes), with the same arithmetic as
// BinMagnitude and MagnitudePhase: magnitude m·√(1 + t²) with t = s/m, phase from t by a rational
// arctangent approximation (error within a few units in the last place of π), folded into the
// right octant and quadrant by the signs as atan2 does, and ±π/2 where re is 0.
using V2i = long long __attribute__((vector_size(16)));

template <typename V, typename Vi>
__attribute__((always_inline)) inline void MagnitudePhaseV(V re, V im, V& magnitude, V& phase) {
    constexpr double kPiD = std::numbers::pi;
    constexpr int kLanes = sizeof(V) / sizeof(double);
    const Vi absMask = Vi{} + 0x7fffffffffffffffLL;
    const V zero = V{} + 0.0, one = V{} + 1.0;
    const V ax = (V)((Vi)re & absMask), ay = (V)((Vi)im & absMask);
    const Vi swap = ay > ax;
    const V m = swap ? ay : ax;  // the larger absolute value
    const V s = swap ? ax : ay;
    const V den = m == zero ? one : m;
    const V t = s / den;  // 0 … 1
    const V r = 1.0 + t * t;
    V root;
    for (int i = 0; i < kLanes; ++i) root[i] = std::sqrt(r[i]);
    magnitude = m * root;

    // atan(t): below 0.66 directly, above through atan(t) = π/4 + atan((s − m)/(s + m)).
    const Vi big = t > 0.66;
    const V x = big ? (s - m) / (s + m) : t;
    const V z = x * x;
    const V p = ((((-8.750608600031904122785E-1 * z) - 1.615753718733365076637E1) * z -
                  7.500855792314704667340E1) *
                     z -
                 1.228866684490136173410E2) *
                    z -
                6.485021904942025371773E1;
    const V q = ((((z + 2.485846490142306297962E1) * z + 1.650270098316988542046E2) * z +
                  4.328810604912902668951E2) *
                     z +
                 4.853903996359136964868E2) *
                    z +
                1.945506571482613964425E2;
    V a = x * (z * p / q) + x;
    a = big ? ((V{} + kPiD / 4) + (a + 0.5 * 6.123233995736765886130E-17)) : a;
    a = swap ? ((V{} + kPiD / 2) - a) : a;
    a = (Vi)re < 0 ? ((V{} + kPiD) - a) : a;  // sign bits, so −0.0 counts as negative
    a = (Vi)im < 0 ? -a : a;
    const V rightAngle = im > zero ? V{} + kPiD / 2 : V{} - kPiD / 2;
    phase = re == zero ? rightAngle : a;
}

inline void MagnitudePhase2(V2 re, V2 im, V2& magnitude, V2& phase) {
    MagnitudePhaseV<V2, V2i>(re, im, magnitude, phase);
}

// Magnitude and phase of bins 0 … count − 1 of split arrays into records.
template <typename V, typename Vi>
__attribute__((always_inline)) inline void MagnitudePhaseLoop(const double* re, const double* im,
                                                              SpectrumRecord* out, int count) {
    constexpr int kLanes = sizeof(V) / sizeof(double);
    int k = 0;
    for (; k + kLanes <= count; k += kLanes) {
        V vr, vi, m, ph;
        std::memcpy(&vr, re + k, sizeof vr);
        std::memcpy(&vi, im + k, sizeof vi);
        MagnitudePhaseV<V, Vi>(vr, vi, m, ph);
        for (int i = 0; i < kLanes; ++i) out[k + i] = {m[i], ph[i]};
    }
    for (; k < count; ++k) {
        V2 m, ph;
        MagnitudePhase2(V2{re[k], 0.0}, V2{im[k], 0.0}, m, ph);
        out[k] = {m[0], ph[0]};
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Four lanes where the processor has AVX2 (chosen once at run time); the arithmetic is the
// same, without fused multiply-add, so both paths give identical results.
using V4 = double __attribute__((vector_size(32)));
using V4i = long long __attribute__((vector_size(32)));

__attribute__((target("avx2"))) void MagnitudePhaseAvx2(const double* re, const double* im,
                                                        SpectrumRecord* out, int count) {
    MagnitudePhaseLoop<V4, V4i>(re, im, out, count);
}

void MagnitudePhaseBlock(const double* re, const double* im, SpectrumRecord* out, int count) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        MagnitudePhaseAvx2(re, im, out, count);
    } else {
        MagnitudePhaseLoop<V2, V2i>(re, im, out, count);
    }
}
#else
void MagnitudePhaseBlock(const double* re, const double* im, SpectrumRecord* out, int count) {
    MagnitudePhaseLoop<V2, V2i>(re, im, out, count);
}
#endif

}  // namespace

// --- Tables ------------------------------------------------------------------------------------

std::string FftTables::TableCaption(int size, bool sine) {
    if (size == 128) return "Init FFT Memory (SIN128)";
    if (size == 32768) return sine ? "Init FFT Memory (SIN 32k" : "Init FFT Memory (COS 32768)";
    if (size == 65536) return sine ? "Init FFT Memory (SIN 64k)" : "Init FFT Memory (COS 64k)";
    return std::string(sine ? "Init FFT Memory (SIN " : "Init FFT Memory (COS ") +
           std::to_string(size) + ")";
}

bool FftTables::CheckTableSize(int size, const FftFatalHandler& onFatal) {
    if (size <= kMaxSize) return true;
    if (onFatal) {
        onFatal("FFT CREATION ERROR", "ILLEGAL FFT SIZE");
    } else {
        std::fprintf(stderr, "FFT CREATION ERROR\nILLEGAL FFT SIZE\n");
        std::_Exit(EXIT_FAILURE);
    }
    return false;
}

std::unique_ptr<FftTables> FftTables::Create(const FftAllocator& alloc,
                                             const FftFatalHandler& onFatal) {
    std::unique_ptr<FftTables> t(new FftTables());
    for (int i = 0; i < kSizeCount; ++i) {
        int size = kMinSize << i;
        if (!CheckTableSize(size, onFatal)) return nullptr;
        t->cos_[i] = static_cast<double*>(
            AllocOrFail(size * sizeof(double), TableCaption(size, false), alloc, onFatal));
        if (!t->cos_[i]) return nullptr;
        t->sin_[i] = static_cast<double*>(
            AllocOrFail(size * sizeof(double), TableCaption(size, true), alloc, onFatal));
        if (!t->sin_[i]) return nullptr;
    }
    t->bitrev_ = static_cast<uint16_t*>(
        AllocOrFail(kMaxSize * sizeof(uint16_t), "Init FFT Memory (BITREV)", alloc, onFatal));
    if (!t->bitrev_) return nullptr;

    // Stage s (half-length h = 2^s) contributes h entries, angle −j·π/h, one stage after another.
    // Every stage's angles are angles of the largest stage: −j·π/h = −(j·H/h)·π/H with H/h a
    // power of two, and scaling by powers of two is exact, so the largest stage is evaluated once
    // and every table is filled from it with the very same values.
    const int top = kMaxSize / 2;
    std::vector<double> topCos(static_cast<std::size_t>(top)), topSin(static_cast<std::size_t>(top));
    const long double step = std::numbers::pi_v<long double> / top;
    for (int j = 0; j < top; ++j) {
        long double angle = -static_cast<long double>(j) * step;
        double c = static_cast<double>(std::cos(angle));
        double s = static_cast<double>(std::sin(angle));
        topCos[static_cast<std::size_t>(j)] = std::fabs(c) < kTwiddleCut ? 0.0 : c;
        topSin[static_cast<std::size_t>(j)] = std::fabs(s) < kTwiddleCut ? 0.0 : s;
    }
    for (int i = 0; i < kSizeCount; ++i) {
        int size = kMinSize << i;
        int pos = 0;
        for (int h = 1; h < size; h *= 2) {
            const int stride = top / h;
            for (int j = 0; j < h; ++j, ++pos) {
                t->cos_[i][pos] = topCos[static_cast<std::size_t>(j * stride)];
                t->sin_[i][pos] = topSin[static_cast<std::size_t>(j * stride)];
            }
        }
        t->cos_[i][size - 1] = 0.0;  // the stages use N − 1 entries; the last is unused
        t->sin_[i][size - 1] = 0.0;
    }
    for (int i = 0; i < kMaxSize; ++i) {
        unsigned r = 0;
        for (int b = 0; b < kMaxLog2; ++b) r |= ((static_cast<unsigned>(i) >> b) & 1u) << (15 - b);
        t->bitrev_[i] = static_cast<uint16_t>(r);
    }
    return t;
}

FftTables::~FftTables() {
    for (int i = 0; i < kSizeCount; ++i) {
        std::free(cos_[i]);
        std::free(sin_[i]);
    }
    std::free(bitrev_);
}

FftTables::SizeTables FftTables::Lookup(int n) const {
    if (!FftEngine::IsTableSize(n)) return {};
    int i = Log2Of(n) - 7;
    return {sin_[i], cos_[i], Log2Of(n) - 1};
}

// --- Engine ------------------------------------------------------------------------------------

FftEngine::FftEngine(const FftTables& tables, double* re, double* im, double* smooth,
                     double* window, bool mallocOwned)
    : tables_(tables),
      re_(re),
      im_(im),
      smooth_(smooth),
      window_(window),
      mallocOwned_(mallocOwned) {
    std::fill(re_, re_ + kWorkSize, 0.0);
    std::fill(im_, im_ + kWorkSize, 0.0);
}

FftEngine::FftEngine(const FftTables& tables)
    : FftEngine(tables, new double[kWorkSize], new double[kWorkSize], new double[kWorkSize],
                new double[kWorkSize](), false) {}

std::unique_ptr<FftEngine> FftEngine::Create(const FftTables& tables, const FftAllocator& alloc,
                                             const FftFatalHandler& onFatal) {
    const std::size_t bytes = kWorkSize * sizeof(double);
    void* re = AllocOrFail(bytes, "Init FFT Memory (Re)", alloc, onFatal);
    void* im = re ? AllocOrFail(bytes, "Init FFT Memory (Im)", alloc, onFatal) : nullptr;
    void* smooth =
        im ? AllocOrFail(bytes, "Init Smooth FFT Memory 2 failed.", alloc, onFatal) : nullptr;
    void* window =
        smooth ? AllocOrFail(bytes, "Init Memory for Windowing failed.", alloc, onFatal) : nullptr;
    if (!window) {
        std::free(re);
        std::free(im);
        std::free(smooth);
        return nullptr;
    }
    std::memset(window, 0, bytes);
    return std::unique_ptr<FftEngine>(
        new FftEngine(tables, static_cast<double*>(re), static_cast<double*>(im),
                      static_cast<double*>(smooth), static_cast<double*>(window), true));
}

FftEngine::~FftEngine() {
    if (mallocOwned_) {
        std::free(re_);
        std::free(im_);
        std::free(smooth_);
        std::free(window_);
    } else {
        delete[] re_;
        delete[] im_;
        delete[] smooth_;
        delete[] window_;
    }
}

bool FftEngine::IsTableSize(int n) {
    return n >= FftTables::kMinSize && n <= FftTables::kMaxSize && IsPowerOfTwo(n);
}

bool FftEngine::TransformComplex(double* re, double* im, int n, bool inverse,
                                 const FftTables& tables) {
    if (!IsPowerOfTwo(n) || n > FftTables::kMaxSize) return false;
    if (n == 1) return true;
    BitReversePermute(re, im, n, tables);
    RunStages(re, im, n, inverse, tables);
    return true;
}

bool FftEngine::FftTransform(int n, bool inverse) {
    if (!IsTableSize(n)) return false;
    return TransformComplex(re_, im_, n, inverse, tables_);
}

bool FftEngine::FftPartialTransform(int n, bool inverse) {
    // The full transform: the butterflies a partial last stage would skip are cheap next to the
    // permutation, and every bin stays valid.
    return FftTransform(n, inverse);
}

void FftEngine::RealForward(const double* in, int n, bool fullSpectrum) {
    const int m = n / 2;
    const uint16_t* rev = tables_.BitReverse16();
    const int shift = FftTables::kMaxLog2 - Log2Of(m);
    // Even samples become the real, odd samples the imaginary parts of an m-point sequence in
    // bit-reversed order. Gathering (sequential writes, each read pair in one cache line) is
    // cheaper than scattering the writes.
    for (int r = 0; r < m; ++r) {
        const int i = rev[r] >> shift;
        re_[r] = in[2 * i];
        im_[r] = in[2 * i + 1];
    }
    RunStages(re_, im_, m, false, tables_);

    const double* wc = tables_.StageCos(m);  // e^(−2πik/n) = cos/sin(−kπ/m)
    const double* ws = tables_.StageSin(m);
    const double z0r = re_[0], z0i = im_[0];
    for (int k = 1; k < m - k; ++k) {
        // Bins k and m − k come from the same pair of half-size bins and the same factor.
        SplitPair p = Split(re_[k], im_[k], re_[m - k], im_[m - k], wc[k], ws[k]);
        re_[k] = p.xr;
        im_[k] = p.xi;
        re_[m - k] = p.yr;
        im_[m - k] = p.yi;
    }
    if (m >= 2) {
        // Bin m/2: W^(m/2) = −i, so X = conj Z[m/2].
        im_[m / 2] = -im_[m / 2];
    }
    re_[0] = z0r + z0i;
    im_[0] = 0.0;
    re_[m] = z0r - z0i;
    im_[m] = 0.0;
    if (fullSpectrum) {
        for (int k = 1; k < m; ++k) {
            re_[n - k] = re_[k];
            im_[n - k] = -im_[k];
        }
    }
}

double BinMagnitude(double re, double im) {
    V2 m, ph;
    MagnitudePhase2(V2{re, 0.0}, V2{im, 0.0}, m, ph);
    return m[0];
}

SpectrumRecord MagnitudePhase(double re, double im) {
    V2 m, ph;
    MagnitudePhase2(V2{re, 0.0}, V2{im, 0.0}, m, ph);
    return {m[0], ph[0]};
}

bool FftEngine::FftMagnitudePhase(const double* in, SpectrumRecord* out, int n, bool inverse) {
    if (!IsTableSize(n)) return false;
    RealForward(in, n, true);
    if (inverse) {
        // The inverse transform of real data is the conjugate of the forward one.
        for (int k = 0; k < n; ++k) im_[k] = -im_[k];
    }
    MagnitudePhaseBlock(re_, im_, out, n / 2 + 1);
    return true;
}

bool FftEngine::FftFirstBins(const double* in, std::complex<double>* out65, int n, bool inverse) {
    if (!IsTableSize(n)) return false;
    RealForward(in, n, false);
    const double sign = inverse ? -1.0 : 1.0;
    for (int k = 0; k < kFirstBins; ++k) out65[k] = {re_[k], sign * im_[k]};
    return true;
}

int FftEngine::FftPeakBin(const double* in, int n) {
    if (!IsTableSize(n)) return 1;
    RealForward(in, n, true);
    int best = 1;
    double bestMag = 0.0;
    for (int k = 2; k <= n / 2; ++k) {
        double m = BinMagnitude(re_[k], im_[k]);
        if (m > bestMag) {
            bestMag = m;
            best = k;
        }
    }
    return best;
}

void FftEngine::DecimateByTwo(double* buf, int count) {
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    const int half = count / 2;
    for (int i = 0; i < count; ++i) {
        double x = buf[i];
        double y = kB0 * x + kB1 * x1 + kB2 * x2 - kA1 * y1 - kA2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        // Output index i/2 ≤ i, and x[i] is already read: working in place is safe.
        if ((i & 1) == 0 && i / 2 < half) buf[i / 2] = 2.0 * y;
    }
}

void FftEngine::SmoothAnalysis(const double* in, SmoothRecord* out, double sampleRate) {
    std::copy(in, in + kSmoothInput, smooth_);
    std::complex<double> bins[kFirstBins];
    out[kSmoothRecords - 1] = {50000.0, 0.0, 0.0};
    int idx = kSmoothRecords - 2;
    auto emit = [&](int size, double frequencyDivisor, int lowestBin) {
        FftFirstBins(smooth_, bins, size, false);
        for (int k = 63; k >= lowestBin; --k) {
            SpectrumRecord r = MagnitudePhase(bins[k].real(), bins[k].imag());
            out[idx--] = {sampleRate * k / frequencyDivisor, r.Magnitude, r.Phase};
        }
    };
    for (int size = 128; size <= 4096; size *= 2) emit(size, size, 32);
    DecimateByTwo(smooth_, 32768);
    emit(4096, 8192, 32);
    DecimateByTwo(smooth_, 16384);
    emit(4096, 16384, 32);
    DecimateByTwo(smooth_, 8192);
    emit(4096, 32768, 26);
}

// --- Shared instance ---------------------------------------------------------------------------

namespace {

struct SharedFftState {
    std::mutex mutex;
    FftFatalHandler fatal;
    std::unique_ptr<FftTables> tables;
    std::unique_ptr<FftEngine> engine;
};

SharedFftState& Shared() {
    static SharedFftState state;
    return state;
}

bool InitLocked(SharedFftState& s, const FftAllocator& alloc) {
    if (!s.tables) s.tables = FftTables::Create(alloc, s.fatal);
    if (!s.tables) return false;
    if (!s.engine) s.engine = FftEngine::Create(*s.tables, alloc, s.fatal);
    return s.engine != nullptr;
}

}  // namespace

void SetFftFatalHandler(FftFatalHandler handler) {
    std::lock_guard lock(Shared().mutex);
    Shared().fatal = std::move(handler);
}

bool InitFft(const FftAllocator& alloc) {
    SharedFftState& s = Shared();
    std::lock_guard lock(s.mutex);
    return InitLocked(s, alloc);
}

const FftTables& SharedFftTables() {
    SharedFftState& s = Shared();
    std::lock_guard lock(s.mutex);
    if (!s.tables) s.tables = FftTables::Create({}, s.fatal);
    if (!s.tables) std::abort();  // the fatal handler returned; nothing can run without tables
    return *s.tables;
}

FftEngine& SharedFft() {
    SharedFftState& s = Shared();
    std::lock_guard lock(s.mutex);
    if (!InitLocked(s, {})) std::abort();
    return *s.engine;
}

}  // namespace fim
