#pragma once
// The FFT engine: twiddle tables shared by every user, and engine objects that each own their work
// arrays.
//
// Transform convention: forward X[k] = Σ x[n]·e^(−2πi·kn/N), inverse with e^(+2πi·kn/N); neither
// direction is scaled (an inverse after a forward multiplies the data by N).
//
// Twiddle factors are never computed during a transform. The tables hold, for every stage with
// half-length h = 1, 2, 4, … 32768, the h factors cos(−jπ/h) and sin(−jπ/h), j = 0 … h − 1,
// computed in extended precision; any value whose magnitude is below 1e-5 is stored as exactly 0
// (for these sizes that only zeroes values that are mathematically zero, e.g. cos(π/2)).
//
// Threads: the tables are built once and never change afterwards, so any thread may read them. An
// FftEngine is not re-entrant: one engine object must not be used by two threads at once, and the
// front ends overwrite its work arrays Re/Im. Give a second thread its own engine object.

#include <complex>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/SpectrumTypes.h"

namespace fim {

// Allocation hook for the tables and engine buffers: returns memory for `bytes` bytes (released
// with std::free) or nullptr. `caption` names the buffer. An empty hook uses std::malloc.
using FftAllocator = std::function<void*(std::size_t bytes, const std::string& caption)>;
// Called when an allocation fails, with the buffer's caption and the text of message 25. It is
// meant not to return (it shows the box and ends the program). If it does return, the failed
// object is not created. An empty handler writes both to stderr and ends the process.
using FftFatalHandler = std::function<void(const std::string& caption, const std::string& text)>;

// The twiddle tables for the sizes 128 … 65536 (one cosine and one sine table of N doubles per
// size, stage after stage) and the bit-reversal table. Immutable after construction.
class FftTables {
  public:
    static constexpr int kMinSize = 128;
    static constexpr int kMaxSize = 65536;
    static constexpr int kMaxLog2 = 16;

    // Builds every table size by size, 128 first. A failed allocation calls `onFatal` with the
    // table's caption ("Init FFT Memory (SIN128)", … "Init FFT Memory (SIN 64k)") and returns
    // nullptr if the handler returns.
    static std::unique_ptr<FftTables> Create(const FftAllocator& alloc = {},
                                             const FftFatalHandler& onFatal = {});
    // "ILLEGAL FFT SIZE" / "FFT CREATION ERROR" through `onFatal` when `size` is above 65536;
    // returns whether the size may be tabulated.
    static bool CheckTableSize(int size, const FftFatalHandler& onFatal = {});
    // The caption of a failed allocation of the cosine or sine table of `size`.
    static std::string TableCaption(int size, bool sine);

    ~FftTables();
    FftTables(const FftTables&) = delete;
    FftTables& operator=(const FftTables&) = delete;

    // The tables of one size: for N in 128 … 65536 (powers of two) its sine and cosine tables and
    // log2(N) − 1; any other N yields null tables and 0.
    struct SizeTables {
        const double* sine = nullptr;
        const double* cosine = nullptr;
        int lastStage = 0;
    };
    SizeTables Lookup(int n) const;

    // The h factors of the stage with half-length h (a power of two, 1 … 32768).
    const double* StageCos(int h) const { return cos_[kMaxLog2 - 7] + (h - 1); }
    const double* StageSin(int h) const { return sin_[kMaxLog2 - 7] + (h - 1); }
    // Bit reversal of i over 16 bits; shift right by 16 − log2(n) for size n.
    const uint16_t* BitReverse16() const { return bitrev_; }

  private:
    FftTables() = default;
    double* cos_[10] = {};
    double* sin_[10] = {};
    uint16_t* bitrev_ = nullptr;
};

// The program's shared tables (built on first use, with the handler given to InitFft if it ran).
const FftTables& SharedFftTables();

class FftEngine {
  public:
    static constexpr int kWorkSize = 65536;
    static constexpr int kSmoothInput = 32768;  // samples SmoothAnalysis reads
    static constexpr int kFirstBins = 65;       // bins FftFirstBins delivers

    // An engine with its own work arrays (plain allocation; throws std::bad_alloc on failure).
    explicit FftEngine(const FftTables& tables = SharedFftTables());
    // The same through the allocation hook: the smoothing buffer and the windowing buffer fail
    // with "Init Smooth FFT Memory 2 failed." and "Init Memory for Windowing failed.". Returns
    // nullptr when the fatal handler returns.
    static std::unique_ptr<FftEngine> Create(const FftTables& tables, const FftAllocator& alloc,
                                             const FftFatalHandler& onFatal);
    ~FftEngine();
    FftEngine(const FftEngine&) = delete;
    FftEngine& operator=(const FftEngine&) = delete;

    // The work arrays, kWorkSize doubles each.
    double* Re() { return re_; }
    double* Im() { return im_; }
    // A kWorkSize scratch buffer for a caller's tapered copy of its input (finder, time-level
    // diagram); the engine itself never touches it.
    double* WindowBuffer() { return window_; }

    // Whether n is a size the front ends and FftTransform accept: a power of two, 128 … 65536.
    static bool IsTableSize(int n);

    // In-place transform of Re/Im[0 … n). Both arrays are permuted, so complex input works too
    // (callers that clear Im get the transform of real data). Returns false, leaving the arrays
    // unchanged, when n is not a table size.
    bool FftTransform(int n, bool inverse);
    // The same; only bins 0 … 64 (and their mirror images) are promised to callers.
    bool FftPartialTransform(int n, bool inverse);

    // Transform of n real samples `in`; `out` receives n/2 + 1 records (bin 0 … Nyquist) with
    // the magnitude m·√(1 + (s/m)²) and the phase of MagnitudePhase(). Afterwards Re/Im[0 … n/2]
    // hold bins 0 … n/2 of the forward transform (the inverse's are their conjugates). False
    // (nothing written) when n is not a table size.
    bool FftMagnitudePhase(const double* in, SpectrumRecord* out, int n, bool inverse);
    // Bins 0 … 64 of the transform of n real samples (n a table size).
    bool FftFirstBins(const double* in, std::complex<double>* out65, int n, bool inverse);
    // Forward transform of n real samples; the bin k in 2 … n/2 with the largest magnitude (the
    // first of equal ones); 1 when no magnitude exceeds 0 or n is not a table size.
    int FftPeakBin(const double* in, int n);

    // The multi-resolution analysis: 32768 samples of `in` (left unchanged; the engine works on
    // its own copy) to 295 records in ascending frequency, the last the end marker
    // {50000, 0, 0}. Nine transforms without taper: 128 … 4096 points on the full rate, then
    // three 4096-point transforms after 2×, 4× and 8× decimation, 32 records per octave.
    void SmoothAnalysis(const double* in, SmoothRecord* out, double sampleRate);
    // Low-pass biquad (fresh state) over `count` samples, keeping every second output times 2 at
    // the start of `buf` (count/2 values).
    static void DecimateByTwo(double* buf, int count);

    // General complex transform on caller-owned split arrays re/im of n values, n a power of two
    // from 1 to 65536; unscaled in both directions. Returns false (arrays unchanged) for other n.
    // Uses only the shared tables, so it may run on any thread with the caller's own arrays.
    static bool TransformComplex(double* re, double* im, int n, bool inverse,
                                 const FftTables& tables = SharedFftTables());

  private:
    FftEngine(const FftTables& tables, double* re, double* im, double* smooth, double* window,
              bool ownedByMalloc);
    // Forward transform of n real samples into Re/Im[0 … n/2] (the upper half, its mirror image,
    // is not written).
    void RealForward(const double* in, int n);

    const FftTables& tables_;
    double* re_;
    double* im_;
    double* smooth_;
    double* window_;
    bool mallocOwned_;
};

// Magnitude and phase of one bin: magnitude m·√(1 + (s/m)²) with m the larger and s the smaller
// of |re|, |im| (m itself when s is 0), evaluated as √(re² + im²) wherever the squares neither
// overflow nor fall out of the normal range (the two agree to rounding); phase +π/2 when re is 0
// and im > 0, −π/2 when re is 0 and im ≤ 0, else atan2(im, re) (evaluated by range reduction and a
// polynomial within a few units in the last place of the library function, so that whole spectra
// vectorise).
SpectrumRecord MagnitudePhase(double re, double im);
double BinMagnitude(double re, double im);

// Whether the transforms may use vectors of four doubles where the processor has them (the
// default); with false they use two lanes, as on processors without. Both give identical results;
// this lets tests compare them. Not to be switched while another thread transforms. Returns
// whether four lanes are in use now.
bool SetFftWideVectors(bool allowed);

// Sets the handler InitFft and SharedFft use for a failed start-up allocation.
void SetFftFatalHandler(FftFatalHandler handler);
// Builds the shared tables and the shared engine at start-up through the hooks (idempotent).
// Returns false when an allocation failed and the handler returned.
bool InitFft(const FftAllocator& alloc = {});
// The program's shared engine (created on first use if InitFft did not run).
FftEngine& SharedFft();

}  // namespace fim
