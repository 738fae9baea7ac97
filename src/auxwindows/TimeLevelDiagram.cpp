#include "auxwindows/TimeLevelDiagram.h"

#include <algorithm>
#include <cmath>

#include "finder/WindowTable.h"
#include "spectrum/FftEngine.h"

namespace fim {

bool TflSettingsValid(const TflSettings& s) {
    const bool lengthOk = s.BlockLength == 128 || s.BlockLength == 256 || s.BlockLength == 512 ||
                          s.BlockLength == 1024;
    return lengthOk && s.DataPercent > 0 && s.DataPercent <= 100 && s.OverlapPercent >= 0 &&
           s.OverlapPercent <= s.DataPercent && s.WindowType <= WindowTable::kMaxType;
}

bool ComputeLevels(const TflSettings& settings, std::span<const double> impulse, int64_t start,
                   WindowTable& window, FftEngine& engine, LevelMatrix& out) {
    if (!TflSettingsValid(settings)) return false;
    const int B = settings.BlockLength;
    const int D = settings.DataPercent;
    const int O = settings.OverlapPercent;
    const auto W = static_cast<uint16_t>(std::nearbyint(B * D / 100.0));
    if (!window.MakeWindow(W, static_cast<uint16_t>(B), settings.WindowType)) return false;

    LevelMatrix m;
    m.BlockLength = B;
    m.Values.assign(static_cast<std::size_t>(LevelMatrix::kColumns * m.Rows()), 0.0);
    std::vector<double> block(static_cast<std::size_t>(B));
    std::vector<double> tapered(static_cast<std::size_t>(B));
    std::vector<SpectrumRecord> spectrum(static_cast<std::size_t>(B / 2 + 1));
    const auto size = static_cast<int64_t>(impulse.size());
    double max = 0.0;
    for (int c = 0; c < LevelMatrix::kColumns; ++c) {
        // Element index of the block's first sample (sample s is element s − 1).
        const int64_t first =
            start - 1 + static_cast<int64_t>(std::nearbyint(c * B * (D - O) / 100.0));
        for (int i = 0; i < B; ++i) {
            const int64_t e = first + i;
            block[static_cast<std::size_t>(i)] =
                e >= 0 && e < size ? impulse[static_cast<std::size_t>(e)] : 0.0;
        }
        window.ApplyWindowReal(block, tapered);
        engine.FftMagnitudePhase(tapered.data(), spectrum.data(), B, false);
        double* col = m.Values.data() + static_cast<std::ptrdiff_t>(c) * m.Rows();
        int pos = 0;
        for (int k = 1; k <= B / 2; ++k) {
            const double mag = spectrum[static_cast<std::size_t>(k - 1)].Magnitude;
            const double L = mag > 0.0 ? 10.0 * std::log(mag) : 0.0;
            // Only bins below the column number take part in the normalising maximum.
            if (L > max && k < c) max = L;
            // Bin 0 (k = 1) is overwritten by bin 1: each column keeps bins 1 … B/2 − 1.
            if (k > 1) col[pos++] = L;
        }
    }
    m.Max = max;
    for (double& v : m.Values) v = max > 0.0 ? v * 255.0 / max : 0.0;
    out = std::move(m);
    return true;
}

const std::array<uint32_t, 256>& LevelColourMap() {
    static const std::array<uint32_t, 256> map = [] {
        std::array<uint32_t, 256> a{};
        auto rgb = [](double r, double g, double b) {
            auto byte = [](double x) {
                return static_cast<uint32_t>(std::nearbyint(std::clamp(x, 0.0, 255.0)));
            };
            return byte(r) | byte(g) << 8 | byte(b) << 16;
        };
        for (int i = 0; i < 256; ++i) {
            if (i < 128) {  // dark blue (0, 0, 96) to red
                const double t = i / 127.0;
                a[static_cast<std::size_t>(i)] = rgb(255.0 * t, 0.0, 96.0 * (1.0 - t));
            } else if (i < 192) {  // red to yellow
                const double t = (i - 127) / 64.0;
                a[static_cast<std::size_t>(i)] = rgb(255.0, 255.0 * t, 0.0);
            } else {  // yellow to white
                const double t = (i - 191) / 64.0;
                a[static_cast<std::size_t>(i)] = rgb(255.0, 255.0, 255.0 * t);
            }
        }
        return a;
    }();
    return map;
}

uint32_t LevelColour(double v) {
    if (std::isnan(v)) v = 0.0;
    const double idx = std::clamp(std::nearbyint(v), 0.0, 255.0);
    return LevelColourMap()[static_cast<std::size_t>(idx)];
}

std::vector<LegendMark> LevelLegendMarks(double max) {
    if (!(max > 0.0) || !std::isfinite(max)) return {};
    // Index i holds 10·ln m = i·max/255, that is 20·log10 m = i·max/255 · 2/ln 10.
    const double range = max * 2.0 / std::log(10.0);
    // 10, 20, 50, 100, 200, 500 … dB: the smallest step that leaves at most eight marks.
    int step = 10;
    for (int i = 0; range / step > 7.0 + 1e-9 && step < 100000000; ++i) {
        step = i % 3 == 1 ? step * 5 / 2 : step * 2;
    }
    std::vector<LegendMark> marks;
    for (int db = 0; db <= range + 1e-9; db += step) {
        const int index = static_cast<int>(std::nearbyint(255.0 * (1.0 - db / range)));
        marks.push_back({index, -db});
    }
    return marks;
}

std::vector<uint32_t> RenderLevels(const LevelMatrix& m, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    std::vector<uint32_t> img(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                              LevelColourMap()[0]);
    const int B = m.BlockLength;
    if (B < 4 || m.Values.size() != static_cast<std::size_t>(LevelMatrix::kColumns * m.Rows())) {
        return img;
    }
    const double cw = width / 100.0;
    const double ch = 2.0 * height / B;
    const int H = height;
    auto fill = [&](int x0, int x1, int y0, int y1, uint32_t colour) {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, width);
        y1 = std::min(y1, height);
        for (int y = y0; y < y1; ++y) {
            std::fill(img.begin() + static_cast<std::ptrdiff_t>(y) * width + x0,
                      img.begin() + static_cast<std::ptrdiff_t>(y) * width + x1, colour);
        }
    };
    for (int c = 0; c < LevelMatrix::kColumns; ++c) {
        const int x0 = static_cast<int>(std::nearbyint(c * cw));
        const int x1 = static_cast<int>(std::nearbyint((c + 1) * cw));
        int pos = 0;
        for (int k = 1; k <= B / 2; ++k) {
            const double v = m.Values[static_cast<std::size_t>(c * m.Rows() + pos)];
            const int y0 = H - static_cast<int>(std::nearbyint((k + 1) * ch));
            const int y1 = H - static_cast<int>(std::nearbyint(k * ch));
            fill(x0, x1, y0, y1, LevelColour(v));
            if (k > 1 && pos < m.Rows() - 1) ++pos;
        }
    }
    return img;
}

}  // namespace fim
