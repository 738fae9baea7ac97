#include "core/FftEngine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <numbers>
#include <vector>

#include "base/Catalog.h"
#include "base/MessageIds.h"
#include "core/FftKernels.h"

namespace fim {

namespace {

constexpr int kSizeCount = 10;  // 128 … 65536
constexpr double kTwiddleCut = 1e-5;

// Anti-alias low-pass of the decimation (direct form, a1 and a2 with the sign of the recursion
// y = … − a1·y[n−1] − a2·y[n−2]).
constexpr double kB0 = 0.0332, kB1 = 0.0664, kB2 = 0.0332, kA1 = -1.445, kA2 = 0.5773;

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
        std::string text = Msg(kMsgMemoryError);
        if (onFatal) {
            onFatal(caption, text);
        } else {
            DefaultFatal(caption, text);
        }
    }
    return p;
}

}  // namespace

bool SetFftWideVectors(bool allowed) { return fft::AllowWideVectors(allowed); }

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
    std::vector<double> topCos(static_cast<std::size_t>(top)),
        topSin(static_cast<std::size_t>(top));
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
    int i = fft::Log2Of(n) - 7;
    return {sin_[i], cos_[i], fft::Log2Of(n) - 1};
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
    if (n == 2) {
        const double r0 = re[0], i0 = im[0];
        re[0] = r0 + re[1];
        im[0] = i0 + im[1];
        re[1] = r0 - re[1];
        im[1] = i0 - im[1];
        return true;
    }
    fft::Complex(re, im, n, inverse, tables);
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

void FftEngine::RealForward(const double* in, int n) { fft::RealForward(in, re_, im_, n, tables_); }

double BinMagnitude(double re, double im) { return fft::MagnitudePhaseOf(re, im).Magnitude; }

SpectrumRecord MagnitudePhase(double re, double im) { return fft::MagnitudePhaseOf(re, im); }

bool FftEngine::FftMagnitudePhase(const double* in, SpectrumRecord* out, int n, bool inverse) {
    if (!IsTableSize(n)) return false;
    RealForward(in, n);
    // The inverse transform of real data is the conjugate of the forward one.
    fft::MagnitudePhases(re_, im_, out, n / 2 + 1, inverse);
    return true;
}

bool FftEngine::FftFirstBins(const double* in, std::complex<double>* out65, int n, bool inverse) {
    if (!IsTableSize(n)) return false;
    RealForward(in, n);
    const double sign = inverse ? -1.0 : 1.0;
    for (int k = 0; k < kFirstBins; ++k) out65[k] = {re_[k], sign * im_[k]};
    return true;
}

int FftEngine::FftPeakBin(const double* in, int n) {
    if (!IsTableSize(n)) return 1;
    RealForward(in, n);
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
