#pragma once
// The arithmetic of the time-trace and overview paints: the time grid, and the reduction of a
// response to about one polyline vertex per pixel column. The point writers are templates so
// the painters write straight into the shared point buffer in the drawing library's own point
// type, and tests use a plain struct; nothing here allocates.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace fim {

// The impulse response as the display reads it: sample k (1-based) is element k − 1. Samples
// outside the buffer read as 0, so a view or marker beyond the data never reads past it.
struct ResponseView {
    const double* data = nullptr;
    std::size_t count = 0;

    double At(int64_t k) const {
        return (k >= 1 && static_cast<uint64_t>(k) <= count) ? data[k - 1] : 0.0;
    }
};

// The time grid of the trace: decade step d (divisions per second), spacing s in pixels, and
// the label drawn at the top left.
struct TimeGrid {
    double d = 1.0;
    double spacing = 0.0;
    std::string label;
};
TimeGrid ComputeTimeGrid(double sampleRate, double pixelsPerSample, int width);

// Round half to even, as std::nearbyint in the default rounding mode, but without a library
// call: it runs for every sample of every paint. Adding and removing 1.5·2^52 leaves no
// fraction bits, so the FPU's own round-to-nearest-even does the rounding. Pixel coordinates
// are kept well inside int range whatever the sample values are.
inline int PixelRound(double v) {
    constexpr double kLimit = 1 << 24;
    if (!(v > -kLimit)) return -static_cast<int>(kLimit);  // also NaN
    if (v > kLimit) return static_cast<int>(kLimit);
    // Not folded: (v + C) − C ≠ v in IEEE arithmetic, and the build uses no fast-math.
    const double shifted = v + 6755399441055744.0;
    return static_cast<int>(shifted - 6755399441055744.0);
}

// Vertical scale of the linear displays: height / (2·A), or 1 when A ≤ 0.
inline double LinearScale(int height, double peak) {
    return peak > 0.0 ? height / (2.0 * peak) : 1.0;
}

// The last index c in i..last whose pixel column round(c·pps) is still x. Samples in between
// are skipped by the linear paints instead of being rounded one by one.
inline int64_t ColumnEnd(int64_t i, int x, double pps, int64_t last) {
    if (pps >= 1.0 || pps <= 0.0) return i;  // one column per sample (or no scale at all)
    int64_t c = static_cast<int64_t>((x + 0.5) / pps);
    if (c < i) c = i;
    if (c > last) c = last;
    while (c > i && PixelRound(static_cast<double>(c) * pps) > x) --c;
    while (c < last && PixelRound(static_cast<double>(c + 1) * pps) == x) ++c;
    return c;
}

// Where a time display draws: sample k at x = round((k − viewStart) · pixelsPerSample), and a
// linear value v at y = round(height / 2 − v · height / (2A)). The trace points, the markers and
// the time grid all place themselves through it, so they cannot drift apart.
struct TimeMapper {
    int32_t viewStart = 1;
    double pixelsPerSample = 1.0;
    int height = 0;
    double scale = 1.0;  // LinearScale(height, A)

    static TimeMapper For(int32_t viewStart, double pixelsPerSample, int height, double peak) {
        return {viewStart, pixelsPerSample, height, LinearScale(height, peak)};
    }
    int X(int64_t sample) const {
        return PixelRound(static_cast<double>(sample - viewStart) * pixelsPerSample);
    }
    int Y(double value) const { return PixelRound(height / 2.0 - value * scale); }
    TimeGrid Grid(double sampleRate, int width) const {
        return ComputeTimeGrid(sampleRate, pixelsPerSample, width);
    }
};

struct TraceParams {
    int32_t viewStart = 1;
    int32_t viewEnd = 1024;
    double pixelsPerSample = 1.0;
    int height = 0;
    double peakValue = 1.0;  // A
    int32_t peakIndex = 0;   // P, 1-based
    bool db = false;

    TimeMapper Mapper() const {
        return TimeMapper::For(viewStart, pixelsPerSample, height, peakValue);
    }
};

// Vertices of the trace for samples viewStart..viewEnd. Linear: the first sample of each pixel
// column; dB: the column's samples averaged into the next column's first vertex. The peak
// sample is always a vertex of its own. Returns the number of points written (at most `cap`).
template <class Point>
std::size_t BuildTracePoints(const ResponseView& r, const TraceParams& p, Point* out,
                             std::size_t cap) {
    std::size_t n = 0;
    const int64_t last = static_cast<int64_t>(p.viewEnd) - p.viewStart;
    if (last < 0 || cap == 0) return 0;
    const TimeMapper map = p.Mapper();
    const double scale = p.db ? p.height / 80.0 : map.scale;
    const double logA = p.peakValue > 0.0 ? std::log10(p.peakValue) : 0.0;
    int lastX = 0;
    double sum = 0.0;
    int count = 0;
    for (int64_t i = 0; i <= last; ++i) {
        const int64_t k = p.viewStart + i;
        const double v = r.At(k);
        const int x = map.X(k);
        const bool isPeak = k == p.peakIndex;
        if (!p.db) {
            // The first sample of each column, then the peak when it lies further in.
            if (n == cap) break;
            out[n++] = Point(x, map.Y(v));
            lastX = x;
            const int64_t end = ColumnEnd(i, x, p.pixelsPerSample, last);
            const int64_t peakAt = static_cast<int64_t>(p.peakIndex) - p.viewStart;
            if (peakAt > i && peakAt <= end) {
                if (n == cap) break;
                out[n++] = Point(x, map.Y(r.At(p.peakIndex)));
            }
            i = end;
            continue;
        }
        int y = p.height - 1;
        if (v != 0.0) {
            y = std::abs(PixelRound((std::log10(std::fabs(v)) - logA) * 20.0 * scale));
            if (y > p.height - 1) y = p.height - 1;
        }
        if (isPeak) {
            sum = 0.0;
            count = 0;
        }
        if (n == 0 || x != lastX || isPeak) {
            if (n == cap) break;
            out[n++] = Point(x, PixelRound((y + sum) / (count + 1)));
            lastX = x;
            sum = 0.0;
            count = 0;
        } else {
            sum += y;
            ++count;
        }
    }
    return n;
}

// The overview's vertices for samples 1..N and where the analysis window starts (a) and ends
// (b) among them: points [0, a) and [b, count) lie outside the window, [a, b) inside.
struct OverviewPoints {
    std::size_t count = 0;
    std::size_t a = 0;
    std::size_t b = 0;
};

struct OverviewParams {
    int32_t n = 0;  // samples in the response; 0 is read as 20
    int width = 0;
    int height = 0;
    double peakValue = 1.0;
    int32_t peakIndex = 0;
    int32_t viewStart = 1;
    int32_t viewEnd = 1024;

    // Index i (sample i + 1) at x = round(i · width / n).
    TimeMapper Mapper() const {
        return TimeMapper::For(0, static_cast<double>(width) / (n > 0 ? n : 20), height, peakValue);
    }
};

template <class Point>
OverviewPoints BuildOverviewPoints(const ResponseView& r, const OverviewParams& p, Point* out,
                                   std::size_t cap) {
    OverviewPoints o;
    if (cap == 0) return o;
    const int32_t n = p.n > 0 ? p.n : 20;
    const TimeMapper map = p.Mapper();
    const double hs = map.pixelsPerSample;
    bool haveA = false;
    bool haveB = false;
    out[o.count++] = Point(0, map.Y(r.At(1)));
    // Index i is sample i + 1. Column by column: the column's first index adds a point unless it
    // continues the column of index 0; the peak index adds one wherever it lies; the window
    // edges record how many points were added before them.
    const int64_t last = n - 1;
    const int64_t peakAt = static_cast<int64_t>(p.peakIndex) - 1;
    int lastX = 0;
    for (int64_t i = 1; i <= last; ++i) {
        const int x = map.X(i);
        const int64_t end = ColumnEnd(i, x, hs, last);
        const bool firstAdds = x != lastX || i == peakAt;
        const auto edge = [&](int64_t at, std::size_t& slot, bool& have) {
            if (at < i || at > end) return;
            // Points added before index `at`: this column's first (unless at is the first)
            // and the peak when it comes earlier in the column.
            std::size_t before = o.count;
            if (at > i && firstAdds) ++before;
            if (peakAt > i && peakAt < at) ++before;
            slot = before;
            have = true;
        };
        edge(p.viewStart, o.a, haveA);
        edge(p.viewEnd, o.b, haveB);
        if (firstAdds) {
            if (o.count == cap) break;
            out[o.count++] = Point(x, map.Y(r.At(i + 1)));
        }
        if (peakAt > i && peakAt <= end) {
            if (o.count == cap) break;
            out[o.count++] = Point(x, map.Y(r.At(peakAt + 1)));
        }
        lastX = x;
        i = end;
    }
    // A window edge outside 1..N−1 lies before the first or after the last point.
    if (!haveA) o.a = p.viewStart < 1 ? 0 : o.count;
    if (!haveB) o.b = p.viewEnd < 1 ? 0 : o.count;
    if (o.b < o.a) o.b = o.a;
    return o;
}

}  // namespace fim
