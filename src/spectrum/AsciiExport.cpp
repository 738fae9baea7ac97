#include "spectrum/AsciiExport.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace fim {

namespace {

double RoundTo(double x, int decimals) {
    // Above 2^53 every double is whole: scaling could only overflow.
    if (!(std::fabs(x) < 9007199254740992.0)) return x;
    const double scale = std::pow(10.0, decimals);
    const double r = std::nearbyint(x * scale) / scale;
    return r == 0.0 ? 0.0 : r;  // no "-0"
}

// Shortest decimal form in fixed notation, then "." and "0" padding to `width`.
std::string Padded(double value, std::size_t width) {
    char buf[512];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string s(buf, res.ec == std::errc() ? res.ptr : buf);
    if (s.find('.') == std::string::npos && s.size() < width) s += '.';
    while (s.size() < width) s += '0';
    return s;
}

int FrequencyDecimals(double hz) { return hz < 100.0 ? 4 : hz < 1000.0 ? 3 : hz < 10000.0 ? 2 : 1; }
int LevelDecimals(double db) { return db < 10.0 ? 3 : db < 100.0 ? 2 : db < 1000.0 ? 1 : 0; }

double Wrap(double phase) { return std::remainder(phase, 2.0 * std::numbers::pi); }

}  // namespace

std::string FormatFrdFrequency(double hz) {
    if (!std::isfinite(hz)) hz = 0.0;
    return Padded(RoundTo(hz, FrequencyDecimals(hz)), 7);
}

std::string FormatFrdLevel(double db) {
    if (!std::isfinite(db)) db = -80.0;
    return Padded(RoundTo(db, LevelDecimals(db)), 5);
}

std::string FormatFrdLine(double hz, double levelDb, double phaseRad) {
    double deg = std::nearbyint(phaseRad * 180.0 / std::numbers::pi);
    if (!std::isfinite(deg)) deg = 0.0;
    deg = std::clamp(deg, -1e15, 1e15);  // keeps the conversion defined for absurd phases
    const long long d = static_cast<long long>(deg);
    std::string line = FormatFrdFrequency(hz) + "  " + FormatFrdLevel(levelDb);
    line += d >= 0 ? "  " : " ";
    line += std::to_string(d);
    return line;
}

double FrdLevel(double magnitude, double levelReference, double offsetDb) {
    if (!(magnitude > 0.0) || !(levelReference > 0.0)) return -80.0 + offsetDb;
    const double level = 20.0 * std::log10(magnitude / levelReference) + offsetDb;
    return std::isfinite(level) ? level : -80.0 + offsetDb;
}

std::string BuildFrdFft(const SpectrumRecord* display, int fftSize, double sampleRate,
                        double lowestFrequency, double levelReference, double offsetDb) {
    std::string text;
    if (!display || fftSize < 2 || !(sampleRate > 0.0)) return text;
    const double binWidth = sampleRate / fftSize;
    const double first = std::nearbyint(lowestFrequency / binWidth);
    const int k0 =
        std::isfinite(first) ? static_cast<int>(std::clamp(first, 0.0, fftSize / 2.0)) : 0;
    for (int k = k0; k <= fftSize / 2; ++k) {
        text +=
            FormatFrdLine(k * binWidth, FrdLevel(display[k].Magnitude, levelReference, offsetDb),
                          display[k].Phase);
        text += "\r\n";
    }
    return text;
}

std::string BuildFrdSmooth(const SmoothRecord* records, double lowestFrequency,
                           double levelReference, double offsetDb, const MicCorrection* mic) {
    std::string text;
    if (!records) return text;
    int i = 0;
    while (i < kSmoothRecords && records[i].Frequency < lowestFrequency) ++i;
    for (; i < kSmoothRecords && records[i].Frequency <= 20000.0; ++i) {
        double level = FrdLevel(records[i].Magnitude, levelReference, offsetDb);
        double phase = records[i].Phase;
        if (mic && i < static_cast<int>(mic->entries.size())) {
            level -= mic->entries[static_cast<std::size_t>(i)].db;
            phase = Wrap(phase - mic->entries[static_cast<std::size_t>(i)].phase);
        }
        text += FormatFrdLine(records[i].Frequency, level, phase);
        text += "\r\n";
    }
    return text;
}

}  // namespace fim
