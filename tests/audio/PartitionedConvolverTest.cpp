#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "audio/PartitionedConvolver.h"

namespace fim {
namespace {

std::vector<double> Noise(std::size_t n, uint32_t seed) {
    std::vector<double> v(n);
    uint32_t s = seed;
    for (auto& x : v) {
        s = s * 1664525u + 1013904223u;
        x = double(s >> 8) / double(1u << 24) - 0.5;
    }
    return v;
}

std::vector<double> DirectConvolution(const std::vector<double>& x, const std::vector<double>& h) {
    std::vector<double> y(x.size(), 0.0);
    for (std::size_t i = 0; i < x.size(); ++i) {
        for (std::size_t k = 0; k < h.size() && k <= i; ++k) y[i] += h[k] * x[i - k];
    }
    return y;
}

// The streamed result must equal the plain convolution sum whatever the chunk lengths are: whole
// blocks, single samples, and chunks that straddle block borders.
TEST(PartitionedConvolver, MatchesDirectConvolutionForAnyChunking) {
    const auto h = Noise(300, 7);  // 300 taps over blocks of 64: five partitions, the last partial
    const auto x = Noise(1000, 11);
    const auto expected = DirectConvolution(x, h);
    for (const std::size_t chunk :
         {std::size_t{1}, std::size_t{64}, std::size_t{37}, std::size_t{200}, std::size_t{1000}}) {
        PartitionedConvolver c(64);
        c.SetResponse(h);
        EXPECT_EQ(c.Partitions(), 5u);
        std::vector<double> y(x.size() + 1, 12345.0);  // sentinel past the end
        for (std::size_t at = 0; at < x.size(); at += chunk) {
            const std::size_t n = std::min(chunk, x.size() - at);
            c.Process(x.data() + at, y.data() + at, n);
        }
        for (std::size_t i = 0; i < x.size(); ++i) {
            ASSERT_NEAR(y[i], expected[i], 1e-9) << "chunk " << chunk << " sample " << i;
        }
        EXPECT_EQ(y[x.size()], 12345.0);
    }
}

TEST(PartitionedConvolver, DelayedImpulseAndReset) {
    PartitionedConvolver c(16);
    std::vector<double> h(40, 0.0);
    h[37] = 0.5;  // a pure delay in the third partition
    c.SetResponse(h);
    std::vector<double> x(100, 0.0), y(100);
    x[3] = 2.0;
    c.Process(x.data(), y.data(), x.size());
    for (std::size_t i = 0; i < y.size(); ++i) EXPECT_NEAR(y[i], i == 40 ? 1.0 : 0.0, 1e-12) << i;

    // After Reset nothing of the earlier input rings on.
    c.Process(x.data(), y.data(), 20);
    c.Reset();
    std::vector<double> silence(100, 0.0);
    c.Process(silence.data(), y.data(), silence.size());
    for (double v : y) EXPECT_NEAR(v, 0.0, 1e-12);
}

}  // namespace
}  // namespace fim
