#include "core/Recovery.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/MeasurementState.h"
#include "core/Mls.h"

namespace fim {

namespace {

// Both permutations of an order as index tables.
struct RecoveryPlan {
    // source[i]: the input sample that lands at work index i (index 0 receives none and is 0).
    std::vector<uint32_t> source;
    // target[j]: the work index whose value becomes output j.
    std::vector<uint32_t> target;
};

std::unique_ptr<RecoveryPlan> BuildPlan(int order) {
    const MlsTapRecord rec = MlsTaps(order);
    const uint32_t n = 1u << order;
    const uint32_t mask = n - 1;
    const uint32_t length = n - 1;
    auto plan = std::make_unique<RecoveryPlan>();

    // Input: the work index of sample k is the shift-register state after k + 1 steps from the
    // all-ones state. The states run through every non-zero index exactly once.
    uint32_t tapMask = 0;
    for (int i = 0; i < rec.count; ++i) tapMask |= 1u << (rec.taps[i] - 1);
    plan->source.assign(n, 0);
    uint32_t s = mask;
    for (uint32_t k = 0; k < length; ++k) {
        const uint32_t bit = static_cast<uint32_t>(std::popcount(s & tapMask)) & 1u;
        s = ((s << 1) | bit) & mask;
        plan->source[s] = k;
    }

    // Output: a register of n cells, each a bit pattern, with taps that move down one cell per
    // step; the pattern read at the taps is the work index, filled from the last output back.
    std::vector<uint32_t> cell(order);
    for (int i = 0; i < order; ++i) cell[i] = 1u << i;
    std::array<int, 4> pos{};
    for (int i = 0; i < rec.count; ++i) pos[i] = rec.taps[i];
    plan->target.assign(length, 0);
    for (uint32_t k = 0; k < length; ++k) {
        uint32_t x = 0;
        for (int i = 0; i < rec.count; ++i) x ^= cell[pos[i] - 1];
        cell[pos[rec.count - 1] - 1] = x;
        for (int i = 0; i < rec.count; ++i) pos[i] = pos[i] < 2 ? order : pos[i] - 1;
        plan->target[length - 1 - k] = x;
    }
    return plan;
}

const RecoveryPlan& PlanFor(int order) {
    static std::mutex lock;
    static std::array<std::unique_ptr<RecoveryPlan>, kMaxMlsOrder + 1> plans;
    std::lock_guard<std::mutex> guard(lock);
    if (!plans[order]) plans[order] = BuildPlan(order);
    return *plans[order];
}

// Work arrays are kept per thread between calls: allocating and faulting in megabytes on every
// period would cost more than the transform itself.
template <class T>
T* WorkArray(std::size_t n) {
    thread_local std::vector<T> work;
    if (work.size() < n) work.assign(n, T{});
    return work.data();
}

// Block length of the cache-resident part of the transform (32 KiB of 8-byte values).
constexpr std::size_t kBlock = std::size_t{1} << 12;
// Columns handled together in the stages that combine blocks (two cache lines).
constexpr std::size_t kStrip = 16;

// Hadamard transform of one contiguous block of `len` values (a power of two).
template <class T>
void TransformBlock(T* a, std::size_t len) {
    std::size_t h = 1;
    if (len >= 4) {
        for (std::size_t i = 0; i < len; i += 4) {
            const T s01 = a[i] + a[i + 1], d01 = a[i] - a[i + 1];
            const T s23 = a[i + 2] + a[i + 3], d23 = a[i + 2] - a[i + 3];
            a[i] = s01 + s23;
            a[i + 1] = d01 + d23;
            a[i + 2] = s01 - s23;
            a[i + 3] = d01 - d23;
        }
        h = 4;
    }
    for (; h * 4 <= len; h *= 4) {
        for (std::size_t i = 0; i < len; i += 4 * h) {
            T* p0 = a + i;
            T* p1 = p0 + h;
            T* p2 = p1 + h;
            T* p3 = p2 + h;
            for (std::size_t j = 0; j < h; ++j) {
                const T s01 = p0[j] + p1[j], d01 = p0[j] - p1[j];
                const T s23 = p2[j] + p3[j], d23 = p2[j] - p3[j];
                p0[j] = s01 + s23;
                p1[j] = d01 + d23;
                p2[j] = s01 - s23;
                p3[j] = d01 - d23;
            }
        }
    }
    if (h < len) {
        T* p0 = a;
        T* p1 = a + h;
        for (std::size_t j = 0; j < h; ++j) {
            const T u = p0[j], v = p1[j];
            p0[j] = u + v;
            p1[j] = u - v;
        }
    }
}

// The stages that combine blocks: a Hadamard transform down each column of the array seen as
// `rows` rows of `cols` values, done for a strip of columns at a time so the strip stays cached.
template <class T>
void TransformColumns(T* a, std::size_t rows, std::size_t cols) {
    for (std::size_t c0 = 0; c0 < cols; c0 += kStrip) {
        T* strip = a + c0;
        std::size_t h = 1;
        for (; h * 4 <= rows; h *= 4) {
            for (std::size_t r = 0; r < rows; r += 4 * h) {
                T* p0 = strip + r * cols;
                T* p1 = p0 + h * cols;
                T* p2 = p1 + h * cols;
                T* p3 = p2 + h * cols;
                for (std::size_t hr = 0; hr < h; ++hr) {
                    const std::size_t o = hr * cols;
                    for (std::size_t j = 0; j < kStrip; ++j) {
                        const T s01 = p0[o + j] + p1[o + j], d01 = p0[o + j] - p1[o + j];
                        const T s23 = p2[o + j] + p3[o + j], d23 = p2[o + j] - p3[o + j];
                        p0[o + j] = s01 + s23;
                        p1[o + j] = d01 + d23;
                        p2[o + j] = s01 - s23;
                        p3[o + j] = d01 - d23;
                    }
                }
            }
        }
        if (h < rows) {
            for (std::size_t hr = 0; hr < h; ++hr) {
                T* p0 = strip + hr * cols;
                T* p1 = p0 + h * cols;
                for (std::size_t j = 0; j < kStrip; ++j) {
                    const T u = p0[j], v = p1[j];
                    p0[j] = u + v;
                    p1[j] = u - v;
                }
            }
        }
    }
}

// Permutes the input into the work array block by block, transforming each block while it is
// still cached, then combines the blocks and reads the output through the second permutation.
// Returns the 1-based position of the first largest output magnitude (0 when all are 0).
template <class T, class Load>
int32_t Recover(int order, Load load, double* output) {
    const std::size_t n = std::size_t{1} << order;
    const std::size_t length = n - 1;
    const RecoveryPlan& plan = PlanFor(order);
    T* work = WorkArray<T>(n);
    const uint32_t* source = plan.source.data();
    const std::size_t block = std::min(n, kBlock);
    for (std::size_t b = 0; b < n; b += block) {
        T* w = work + b;
        const uint32_t* src = source + b;
        for (std::size_t i = 0; i < block; ++i) w[i] = load(src[i]);
        if (b == 0) work[0] = T{};
        TransformBlock(w, block);
    }
    if (n > block) TransformColumns(work, n / block, block);
    const double scale = -1.0 / static_cast<double>(length);
    const uint32_t* target = plan.target.data();
    // The peak is tracked here rather than in a second pass over the output.
    double best = 0;
    std::size_t at = 0;
    for (std::size_t j = 0; j < length; ++j) {
        const double v = static_cast<double>(work[target[j]]) * scale;
        output[j] = v;
        if (std::fabs(v) > best) {
            best = std::fabs(v);
            at = j + 1;
        }
    }
    return static_cast<int32_t>(at);
}

int32_t RecoverInt(int order, int stride, const int32_t* input, double* output) {
    const auto step = static_cast<std::ptrdiff_t>(stride);
    return Recover<int64_t>(
        order,
        [input, step](uint32_t k) { return int64_t{input[static_cast<std::ptrdiff_t>(k) * step]}; },
        output);
}

bool OrderSupported(int order) { return order >= kMinMlsOrder && order <= kMaxMlsOrder; }

// 1-based position of the first largest magnitude among `count` values; 0 when all are 0. Each
// chunk's maximum is taken with independent running maxima first; only a chunk that beats the
// best so far is scanned for its first position.
int32_t PeakPosition(const double* v, std::size_t count) {
    constexpr std::size_t kChunk = 512;
    double best = 0;
    std::size_t at = 0;
    for (std::size_t c = 0; c < count; c += kChunk) {
        const std::size_t end = std::min(count, c + kChunk);
        double m0 = 0, m1 = 0, m2 = 0, m3 = 0;
        std::size_t i = c;
        for (; i + 4 <= end; i += 4) {
            m0 = std::max(m0, std::fabs(v[i]));
            m1 = std::max(m1, std::fabs(v[i + 1]));
            m2 = std::max(m2, std::fabs(v[i + 2]));
            m3 = std::max(m3, std::fabs(v[i + 3]));
        }
        for (; i < end; ++i) m0 = std::max(m0, std::fabs(v[i]));
        if (std::max(std::max(m0, m1), std::max(m2, m3)) <= best) continue;
        for (i = c; i < end; ++i) {
            const double m = std::fabs(v[i]);
            if (m > best) {
                best = m;
                at = i + 1;
            }
        }
    }
    return static_cast<int32_t>(at);
}

// Right-channel samples of `length` frames from `frame` on, stored into or added to `dest`.
void TakeSamples(const int32_t* recording, std::size_t frame, std::size_t length, double* dest,
                 bool add) {
    const int32_t* right = recording + 2 * frame + 1;
    if (add) {
        for (std::size_t k = 0; k < length; ++k) dest[k] += right[2 * k];
    } else {
        for (std::size_t k = 0; k < length; ++k) dest[k] = right[2 * k];
    }
}

// Scratch for one period's steady-state samples, kept per thread like the work arrays.
int32_t* PeriodScratch(std::size_t length) {
    thread_local std::vector<int32_t> scratch;
    if (scratch.size() < length) scratch.assign(length, 0);
    return scratch.data();
}

}  // namespace

void SteadyStateSamples(const int32_t* recording, int order, std::size_t startFrame,
                        int32_t* samples) {
    const std::size_t n = std::size_t{1} << order;
    const std::size_t length = n - 1;
    // Sample k is frame N + ((X + k − 1) mod L): the L frames from N + first on, wrapping back
    // to frame N after frame N + L − 1.
    const std::size_t first = (startFrame % length + length - 1) % length;
    const int32_t* right = recording + 2 * n + 1;
    const std::size_t head = length - first;
    for (std::size_t k = 0; k < head; ++k) samples[k] = right[2 * (first + k)];
    for (std::size_t k = head; k < length; ++k) samples[k] = right[2 * (k - head)];
}

void RecoverImpulseInt(int order, int stride, const int32_t* input, double* output) {
    if (!OrderSupported(order)) return;
    RecoverInt(order, stride, input, output);
}

void RecoverImpulseFloat(int order, const double* input, double* output) {
    if (!OrderSupported(order)) return;
    Recover<double>(
        order, [input](uint32_t k) { return input[k]; }, output);
}

PeriodOutcome ProcessPeriod(MeasurementState& state, PeakQuestion* question) {
    PeriodOutcome out;
    const int order = state.MlsOrder;
    if (order < kMinMlsOrder || order > kMaxBufferedMlsOrder) return out;
    const std::size_t n = std::size_t{1} << order;
    const std::size_t length = n - 1;
    const int32_t* recording = state.buffers.SampleresultI();
    double* avl = state.buffers.AVLd();
    double* rlp = state.buffers.RLPd();
    double* atcres = state.buffers.atcresd();
    // A stored 0 means 1; guarding here keeps a bad value from dividing by zero or never ending.
    const int32_t target = std::max(state.AveragesTarget, int32_t{1});
    const bool ignoreThis = state.FirstSamplePending && state.IgnoreFirst;
    const auto count = [&] {
        if (!ignoreThis) ++state.AveragesDone;
    };
    const auto redraw = [&] {
        if (state.ShowIntermediate && state.AveragesDone != target) {
            FindImpulsePeak(state);
            out.intermediate = true;
        }
    };
    const auto addToSum = [&] {
        for (std::size_t k = 0; k < length; ++k) rlp[k] += avl[k];
    };
    using Sync = PeriodOutcome::Sync;

    if (state.AtcMode < 1) {
        count();
        if (!ignoreThis) {
            state.Noise.Add(recording + 2 * n + 1, avl, state.AveragesDone - 1, length, 2);
        }
        TakeSamples(recording, n, length, avl, state.AveragesDone > 1);
    } else {
        // Coarse timing from the reference channel; the period is read from 210 samples before
        // its peak so the direct sound keeps the same place in every period.
        // The data is read as the room answers in steady state (from the second period), so
        // nothing recorded before the room settled, or before the signal arrived, enters it.
        const std::ptrdiff_t p = RecoverInt(order, 2, recording + 2 * 5, atcres);
        std::ptrdiff_t start = std::max<std::ptrdiff_t>(p - 210, 0);
        int32_t* period = PeriodScratch(length);
        SteadyStateSamples(recording, order, static_cast<std::size_t>(start), period);
        if (!state.PeakSync) {
            if (!ignoreThis) state.Noise.Add(period, avl, state.AveragesDone, length);
            if (state.AveragesDone != 0) {
                for (std::size_t k = 0; k < length; ++k) avl[k] += period[k];
            } else {
                for (std::size_t k = 0; k < length; ++k) avl[k] = period[k];
            }
            count();
        } else {
            const bool first = state.AveragesDone == 0;
            double* dest = first ? rlp : avl;
            const int32_t q = RecoverInt(order, 1, period, dest);
            if (first) {
                state.ReferencePeak = q;
                if (ignoreThis) {
                    out.sync = Sync::FirstIgnored;
                } else {
                    count();
                    state.Noise.Add(rlp, rlp, 0, length);
                    out.sync = Sync::Reference;
                }
                redraw();
            } else if (q == state.ReferencePeak) {
                count();
                state.Noise.Add(avl, rlp, state.AveragesDone - 1, length);
                addToSum();
                out.sync = Sync::Valid;
                redraw();
            } else {
                bool readjust = state.SyncMode == 1;
                if (state.SyncMode == 2 && question != nullptr) {
                    readjust = question->AskPeakMismatch(state.ReferencePeak, q) ==
                               PeakQuestion::Answer::Correct;
                }
                const std::ptrdiff_t d = q - state.ReferencePeak;
                const std::ptrdiff_t moved = start + d;
                if (!readjust) {
                    out.sync = Sync::Ignored;
                } else if (std::abs(d) > state.SyncTime || moved < 0 ||
                           moved > static_cast<std::ptrdiff_t>(n)) {
                    // Never read before the first or past the last recorded frame.
                    out.sync = Sync::OutOfLimit;
                    out.offset = d;
                } else {
                    start = moved;
                    SteadyStateSamples(recording, order, static_cast<std::size_t>(start), period);
                    RecoverInt(order, 1, period, avl);
                    ++state.AveragesDone;
                    state.Noise.Add(avl, rlp, state.AveragesDone - 1, length);
                    addToSum();
                    redraw();
                    out.sync = Sync::Corrected;
                    out.offset = d;
                }
            }
        }
    }

    if (state.FirstSamplePending && state.IgnoreFirst) state.FirstSamplePending = false;

    out.target = target;
    if (state.AveragesDone == target) {
        out.complete = true;
        state.AveragesDone = 0;
        const double divisor = static_cast<double>(target);
        // The response has L values; the N-th entry, which is saved with it, holds no sample.
        rlp[length] = 0;
        if (state.AtcMode >= 1 && state.PeakSync) {
            for (std::size_t k = 0; k < length; ++k) rlp[k] /= divisor;
        } else {
            for (std::size_t k = 0; k < length; ++k) avl[k] /= divisor;
            RecoverImpulseFloat(order, avl, rlp);
        }
        state.Noise.Finish(order);
        return out;
    }
    out.done = state.AveragesDone;
    return out;
}

void FindImpulsePeak(MeasurementState& state) {
    state.ImpulsePeakValue = 0;
    state.ImpulsePeakIndex = 0;
    const double* rlp = state.buffers.RLPd();
    const std::size_t count = std::min<std::size_t>(state.MlsSize > 1 ? state.MlsSize - 1 : 0,
                                                    SharedBuffers::kRlpDoubles);
    if (rlp != nullptr) {
        state.ImpulsePeakIndex = PeakPosition(rlp, count);
        if (state.ImpulsePeakIndex > 0) {
            state.ImpulsePeakValue = std::fabs(rlp[state.ImpulsePeakIndex - 1]);
        }
    }
    state.ImpulseValid = true;
}

}  // namespace fim
