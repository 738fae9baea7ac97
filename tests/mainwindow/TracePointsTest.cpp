#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "mainwindow/TracePoints.h"

namespace fim {
namespace {

struct Pt {
    Pt() = default;
    Pt(int x_, int y_) : x(x_), y(y_) {}
    int x = -999;
    int y = -999;
};

TEST(TracePointsTest, GridStepsByDecadesBelowASixthOfTheWidth) {
    // 1..1024 on 759 px at 44100 Hz: 10 ms would be 327 px, 1 ms is 32.7 px.
    const TimeGrid g = ComputeTimeGrid(44100.0, 759.0 / 1023.0, 759);
    EXPECT_EQ(g.d, 1000.0);
    EXPECT_NEAR(g.spacing, 32.72, 0.01);
    EXPECT_EQ(g.label, "Teilung: 1 ms");
    EXPECT_EQ(ComputeTimeGrid(44100.0, 100.0, 800).label, "Teilung: 10 us");
    EXPECT_EQ(ComputeTimeGrid(44100.0, 0.001, 800).label, "Teilung: 100 ms");
    EXPECT_EQ(ComputeTimeGrid(44100.0, 0.0, 0).label, "Teilung: 100 ms");  // terminates
}

TEST(TracePointsTest, DbTraceAveragesColumnsAndPutsZerosAtTheBottom) {
    std::vector<double> r = {1.0, 0.1, 0.1, 0.0, 0.01};
    std::vector<Pt> out(8);
    TraceParams p;
    p.viewStart = 1;
    p.viewEnd = 5;
    p.pixelsPerSample = 0.5;
    p.height = 80;  // 1 px per dB
    p.peakValue = 1.0;
    p.peakIndex = 1;
    p.db = true;
    const std::size_t n =
        BuildTracePoints(ResponseView{r.data(), r.size()}, p, out.data(), out.size());
    // x = round(i/2): 0, 0, 1, 2, 2 (half to even). Peak at 0 dB; sample 2 (−20 dB) joins column
    // 0; sample 3 starts column 1 with (20 + 20) / 2; sample 4 (zero) starts column 2 at the
    // bottom; sample 5 (−40 dB) joins it.
    ASSERT_EQ(n, 3u);
    EXPECT_EQ(out[0].y, 0);
    EXPECT_EQ(out[1].x, 1);
    EXPECT_EQ(out[1].y, 20);
    EXPECT_EQ(out[2].x, 2);
    EXPECT_EQ(out[2].y, 79);
}

TEST(TracePointsTest, ReadsOutsideTheResponseAreZeroAndCapacityIsKept) {
    std::vector<double> r = {0.5, 0.5};
    std::vector<Pt> out(3);
    TraceParams p;
    p.viewStart = 0;  // before the first sample
    p.viewEnd = 6;    // past the last
    p.pixelsPerSample = 10.0;
    p.height = 100;
    p.peakValue = 0.5;
    const std::size_t n = BuildTracePoints(ResponseView{r.data(), r.size()}, p, out.data(), 2);
    ASSERT_EQ(n, 2u);
    EXPECT_EQ(out[0].y, 50);  // sample 0 reads as 0
    EXPECT_EQ(out[1].y, 0);   // sample 1 is the peak value: top edge
    EXPECT_EQ(out[2].x, -999);
}

// Sample-by-sample forms of the reductions, as plain as they can be written, to check the
// column-skipping versions against.
std::vector<Pt> ReferenceTrace(const std::vector<double>& r, const TraceParams& p) {
    std::vector<Pt> out;
    const double scale = LinearScale(p.height, p.peakValue);
    for (int64_t i = 0; i <= p.viewEnd - p.viewStart; ++i) {
        const int64_t k = p.viewStart + i;
        const int x = static_cast<int>(std::nearbyint(i * p.pixelsPerSample));
        if (out.empty() || x != out.back().x || k == p.peakIndex) {
            const double v = (k >= 1 && k <= static_cast<int64_t>(r.size())) ? r[k - 1] : 0.0;
            out.emplace_back(x, static_cast<int>(std::nearbyint(p.height / 2.0 - v * scale)));
        }
    }
    return out;
}

std::vector<Pt> ReferenceOverview(const std::vector<double>& r, const OverviewParams& p,
                                  std::size_t& a, std::size_t& b) {
    std::vector<Pt> out;
    const double hs = static_cast<double>(p.width) / p.n;
    const double scale = LinearScale(p.height, p.peakValue);
    out.emplace_back(0, static_cast<int>(std::nearbyint(p.height / 2.0 - r[0] * scale)));
    a = b = 0;
    for (int32_t k = 2; k <= p.n; ++k) {
        const int32_t i = k - 1;
        if (i == p.viewStart) a = out.size();
        if (i == p.viewEnd) b = out.size();
        const int x = static_cast<int>(std::nearbyint(i * hs));
        if (x != out.back().x || i == p.peakIndex - 1) {
            out.emplace_back(x,
                             static_cast<int>(std::nearbyint(p.height / 2.0 - r[k - 1] * scale)));
        }
    }
    return out;
}

TEST(TracePointsTest, ColumnSkippingMatchesTheSampleBySampleReduction) {
    std::vector<double> r(20000);
    for (std::size_t i = 0; i < r.size(); ++i) r[i] = std::sin(i * 0.013) * std::cos(i * 0.0007);
    std::vector<Pt> out(40000);
    for (int width : {97, 640, 759, 1600, 7, 25000}) {
        for (int32_t peak : {1, 2, 3, 137, 5000, 12345, 19999, 20000}) {
            for (auto [s, e] : {std::pair{1, 20000}, std::pair{17, 1033}, std::pair{5000, 5003},
                                std::pair{12340, 12350}}) {
                TraceParams p;
                p.viewStart = s;
                p.viewEnd = e;
                p.pixelsPerSample = static_cast<double>(width) / (e - s);
                p.height = 300;
                p.peakValue = 1.0;
                p.peakIndex = peak;
                const auto ref = ReferenceTrace(r, p);
                const std::size_t n =
                    BuildTracePoints(ResponseView{r.data(), r.size()}, p, out.data(), out.size());
                ASSERT_EQ(n, ref.size()) << width << " " << peak << " " << s;
                for (std::size_t i = 0; i < n; ++i) {
                    ASSERT_EQ(out[i].x, ref[i].x) << i;
                    ASSERT_EQ(out[i].y, ref[i].y) << i;
                }

                OverviewParams o;
                o.n = 20000;
                o.width = width;
                o.height = 51;
                o.peakValue = 1.0;
                o.peakIndex = peak;
                o.viewStart = s;
                o.viewEnd = e;
                std::size_t ra = 0, rb = 0;
                const auto oref = ReferenceOverview(r, o, ra, rb);
                const OverviewPoints got = BuildOverviewPoints(ResponseView{r.data(), r.size()}, o,
                                                               out.data(), out.size());
                ASSERT_EQ(got.count, oref.size()) << width << " " << peak << " " << s;
                if (e < 20000) {
                    EXPECT_EQ(got.b, rb) << width << " " << peak << " " << s;
                }
                EXPECT_EQ(got.a, ra) << width << " " << peak << " " << s;
                for (std::size_t i = 0; i < got.count; ++i) {
                    ASSERT_EQ(out[i].x, oref[i].x) << i;
                    ASSERT_EQ(out[i].y, oref[i].y) << i;
                }
            }
        }
    }
}

}  // namespace
}  // namespace fim
