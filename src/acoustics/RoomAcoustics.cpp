#include "acoustics/RoomAcoustics.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace fim {

namespace {

double Db(double power) { return 10.0 * std::log10(std::max(power, 1e-300)); }

// Least-squares line y = a + b·x through the points; r is the correlation coefficient.
struct Line {
    double a = 0, b = 0, r = 0;
    bool ok = false;
};

template <class Point>
Line FitLine(std::size_t count, Point point) {
    Line line;
    if (count < 2) return line;
    // Centred sums keep the precision when x is large against its spread.
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto [x, y] = point(i);
        mx += x;
        my += y;
    }
    mx /= static_cast<double>(count);
    my /= static_cast<double>(count);
    double sxx = 0, syy = 0, sxy = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto [x, y] = point(i);
        sxx += (x - mx) * (x - mx);
        syy += (y - my) * (y - my);
        sxy += (x - mx) * (y - my);
    }
    if (sxx <= 0) return line;
    line.b = sxy / sxx;
    line.a = my - line.b * mx;
    line.r = syy > 0 ? sxy / std::sqrt(sxx * syy) : 0.0;
    line.ok = true;
    return line;
}

// Mean power of the squared response over consecutive intervals of `width` samples, in dB; the
// point of interval i lies at sample (i + ½)·width − ½.
std::vector<double> Envelope(const std::vector<double>& e, std::size_t width) {
    std::vector<double> level(e.size() / width);
    for (std::size_t i = 0; i < level.size(); ++i) {
        double sum = 0;
        for (std::size_t k = i * width; k < (i + 1) * width; ++k) sum += e[k];
        level[i] = Db(sum / static_cast<double>(width));
    }
    return level;
}

double MeanFrom(const std::vector<double>& e, std::size_t from) {
    from = std::min(from, e.size() - 1);
    double sum = 0;
    for (std::size_t k = from; k < e.size(); ++k) sum += e[k];
    return sum / static_cast<double>(e.size() - from);
}

struct CrossPoint {
    double at = 0;      // samples after the onset
    double slope = 0;   // late decay, dB per sample (0: none found)
    double power = 0;   // the late decay line's power at the cross point
    double noise = 0;   // noise power
    double peakDb = 0;  // the first envelope's peak
};

// Where the decay meets the noise: an envelope of 10 ms intervals gives a first noise estimate
// (the last tenth of the response) and a first slope (from the peak down to 10 dB above the
// noise); then, with intervals of a fifth of the time the decay takes to fall 10 dB, the noise is
// taken from 5 dB of decay past the cross point, the late slope from 25 dB down to 5 dB above the
// noise, and the cross point moved, until it stays put (at most five rounds).
CrossPoint FindCrossPoint(const std::vector<double>& e, double sampleRate) {
    const std::size_t m = e.size();
    const std::size_t tenth = std::max<std::size_t>(1, m / 10);
    CrossPoint cp;
    cp.at = static_cast<double>(m);
    const double peakPower = *std::max_element(e.begin(), e.end());
    // A response that ends in exact zeros still has a noise level to meet, far below the peak.
    auto noiseOf = [&](std::size_t from) { return std::max(MeanFrom(e, from), peakPower * 1e-30); };
    cp.noise = noiseOf(m - tenth);
    cp.peakDb = Db(cp.noise);

    std::size_t width = std::max<std::size_t>(1, static_cast<std::size_t>(0.01 * sampleRate));
    if (m / width < 4) width = std::max<std::size_t>(1, m / 4);
    auto fit = [&](const std::vector<double>& level, double top, double bottom) {
        const std::size_t peak =
            static_cast<std::size_t>(std::max_element(level.begin(), level.end()) - level.begin());
        std::size_t from = peak;
        while (from < level.size() && level[from] > top) ++from;
        if (from == level.size()) from = peak;
        std::size_t to = from + 1;
        while (to < level.size() && level[to] > bottom) ++to;
        const double w = static_cast<double>(width);
        return FitLine(to - from, [&](std::size_t i) {
            return std::pair{(static_cast<double>(from + i) + 0.5) * w - 0.5, level[from + i]};
        });
    };

    std::vector<double> level = Envelope(e, width);
    if (level.size() < 2) return cp;
    cp.peakDb = *std::max_element(level.begin(), level.end());
    double noiseDb = Db(cp.noise);
    Line line = fit(level, std::numeric_limits<double>::infinity(), noiseDb + 10.0);
    if (!line.ok || line.b >= 0) return cp;
    auto crossing = [&](const Line& l, double db) {
        return std::clamp((db - l.a) / l.b, 0.0, static_cast<double>(m));
    };
    double at = crossing(line, noiseDb);
    for (int round = 0; round < 5; ++round) {
        const double tenDb = -10.0 / line.b;  // samples for 10 dB of decay
        width = std::clamp<std::size_t>(static_cast<std::size_t>(tenDb / 5.0), 1, tenth);
        const double noiseStart = std::min(at + tenDb / 2.0, static_cast<double>(m - tenth));
        const double noise = noiseOf(static_cast<std::size_t>(noiseStart));
        level = Envelope(e, width);
        const Line late = fit(level, Db(noise) + 25.0, Db(noise) + 5.0);
        if (!late.ok || late.b >= 0) break;
        line = late;
        cp.noise = noise;
        noiseDb = Db(noise);
        const double next = crossing(line, noiseDb);
        const bool settled = std::fabs(next - at) < static_cast<double>(width);
        at = next;
        if (settled) break;
    }
    cp.at = at;
    cp.slope = line.b;
    cp.power = std::pow(10.0, (line.a + line.b * at) / 10.0);
    return cp;
}

}  // namespace

std::size_t FindOnset(const double* response, std::size_t count) {
    double peak = 0;
    for (std::size_t k = 0; k < count; ++k) peak = std::max(peak, response[k] * response[k]);
    std::size_t k = 0;
    while (k < count && !(response[k] * response[k] >= 0.01 * peak)) ++k;
    return peak > 0 ? k : count;
}

BandAcoustics AnalyseDecay(const std::vector<double>& filtered, double sampleRate,
                           const BandSpec& band, std::size_t onset, std::size_t curvePoints) {
    BandAcoustics r;
    r.band = band;
    r.onset = static_cast<double>(onset) / sampleRate;
    if (onset >= filtered.size()) return r;
    std::vector<double> e(filtered.size() - onset);
    for (std::size_t k = 0; k < e.size(); ++k) e[k] = filtered[onset + k] * filtered[onset + k];
    const double peak = *std::max_element(e.begin(), e.end());
    if (!(peak > 0) || !std::isfinite(peak)) return r;
    const std::size_t m = e.size();
    if (m < 8) return r;

    const CrossPoint cp = FindCrossPoint(e, sampleRate);
    r.noiseDb = Db(cp.noise) - Db(peak);
    const std::size_t end = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(cp.at)));
    r.crossPoint = static_cast<double>(end) / sampleRate;

    // The energy the decay would have had beyond the cross point at its late slope.
    double tail = 0, tailMoment = 0;
    if (cp.slope < 0) {
        const double ratio = std::pow(10.0, cp.slope / 10.0);  // power ratio per sample
        tail = cp.power / (1.0 - ratio);
        tailMoment = cp.power * (static_cast<double>(end) / (1.0 - ratio) +
                                 ratio / ((1.0 - ratio) * (1.0 - ratio)));
    }

    // Backward integration of the energy less the noise's share, in dB relative to its start.
    // Near the cross point the noise estimate may exceed what is left; the curve then stays at
    // the compensation's level rather than turning negative.
    for (std::size_t k = 0; k < end; ++k) e[k] -= cp.noise;
    std::vector<double> level(end);
    double sum = tail;
    const double least = std::max(tail, peak * 1e-30);
    for (std::size_t k = end; k-- > 0;) {
        sum += e[k];
        level[k] = std::max(sum, least);
    }
    const double total = level[0];
    for (double& v : level) v = Db(v) - Db(total);
    // How far the decay can be followed: down to the cross point, and no further than the
    // envelope's peak lies above the noise (a response cut off before it decays much has its
    // "noise" estimated from the decay itself).
    r.dynamicRange = std::min(-level[end - 1], cp.peakDb - Db(cp.noise));

    auto decay = [&](double top, double bottom) {
        DecayFit f;
        if (r.dynamicRange < -bottom + 10.0) return f;
        std::size_t from = 0;
        while (from < end && level[from] > top) ++from;
        std::size_t to = from;
        while (to < end && level[to] > bottom) ++to;
        if (to >= end || to - from < 2) return f;
        const Line line = FitLine(to - from + 1, [&](std::size_t i) {
            return std::pair{static_cast<double>(from + i) / sampleRate, level[from + i]};
        });
        if (!line.ok || line.b >= 0) return f;
        f.valid = true;
        f.slope = line.b;
        f.intercept = line.a;
        f.seconds = -60.0 / line.b;
        f.correlation = -line.r;
        f.from = static_cast<double>(from) / sampleRate;
        f.to = static_cast<double>(to) / sampleRate;
        return f;
    };
    r.edt = decay(0.0, -10.0);
    r.t20 = decay(-5.0, -25.0);
    r.t30 = decay(-5.0, -35.0);

    if (r.dynamicRange >= 20.0) {
        auto early = [&](double seconds) {
            const std::size_t n =
                std::min(end, static_cast<std::size_t>(std::lround(seconds * sampleRate)));
            double s = 0;
            for (std::size_t k = 0; k < n; ++k) s += e[k];
            return s;
        };
        const double e50 = early(0.05), e80 = early(0.08);
        double moment = tailMoment;
        for (std::size_t k = 0; k < end; ++k) moment += static_cast<double>(k) * e[k];
        if (e80 < total && e50 > 0) {
            r.clarityValid = true;
            r.c50 = Db(e50) - Db(total - e50);
            r.c80 = Db(e80) - Db(total - e80);
            r.d50 = e50 / total;
            r.ts = moment / total / sampleRate;
        }
    }

    const DecayFit* best = r.t30.valid   ? &r.t30
                           : r.t20.valid ? &r.t20
                           : r.edt.valid ? &r.edt
                                         : nullptr;
    r.longerThanResponse = best != nullptr && best->seconds > static_cast<double>(m) / sampleRate;

    const std::size_t step =
        std::max<std::size_t>(1, (end + curvePoints - 1) / std::max<std::size_t>(1, curvePoints));
    r.curveStep = static_cast<double>(step) / sampleRate;
    for (std::size_t k = 0; k < end; k += step) r.curve.push_back(static_cast<float>(level[k]));
    return r;
}

AcousticsResult AnalyseRoom(const double* response, std::size_t count, double sampleRate,
                            const AcousticsOptions& options) {
    AcousticsResult result;
    result.sampleRate = sampleRate;
    if (count == 0 || !(sampleRate > 0)) return result;
    if (!std::all_of(response, response + count, [](double v) { return std::isfinite(v); })) {
        result.nonFinite = true;
        return result;
    }
    result.samples = count;
    const std::size_t onset = FindOnset(response, count);
    for (const BandSpec& band : Bands(options.bands, sampleRate)) {
        const BandFilter filter(band, sampleRate);
        result.bands.push_back(AnalyseDecay(filter.ZeroPhase(response, count), sampleRate, band,
                                            onset, options.curvePoints));
        result.longerThanResponse |= result.bands.back().longerThanResponse;
    }
    std::vector<double> wide(response, response + count);
    BandSpec broadband;
    broadband.label = "Z";
    if (options.broadband == Weighting::A) {
        AWeighting(sampleRate).Apply(wide);
        broadband.label = "A";
    }
    result.broadband = AnalyseDecay(wide, sampleRate, broadband, onset, options.curvePoints);
    result.longerThanResponse |= result.broadband.longerThanResponse;
    return result;
}

namespace {

std::string Fixed(double v, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

}  // namespace

std::string AcousticsTable(const AcousticsResult& r, char separator) {
    const std::string missing = kNotEnoughDynamicRange;
    const std::string sep(1, separator);
    std::string out = "Band (Hz)" + sep + "EDT (s)" + sep + "r EDT" + sep + "T20 (s)" + sep +
                      "r T20" + sep + "T30 (s)" + sep + "r T30" + sep + "C50 (dB)" + sep +
                      "C80 (dB)" + sep + "D50 (%)" + sep + "Ts (ms)" + sep + "Dynamic range (dB)\n";
    auto line = [&](const BandAcoustics& b) {
        std::string s = b.band.label;
        for (const DecayFit* f : {&b.edt, &b.t20, &b.t30}) {
            s += sep + (f->valid ? Fixed(f->seconds, 2) : missing);
            s += sep + (f->valid ? Fixed(f->correlation, 3) : missing);
        }
        s += sep + (b.clarityValid ? Fixed(b.c50, 1) : missing);
        s += sep + (b.clarityValid ? Fixed(b.c80, 1) : missing);
        s += sep + (b.clarityValid ? Fixed(100.0 * b.d50, 1) : missing);
        s += sep + (b.clarityValid ? Fixed(1000.0 * b.ts, 0) : missing);
        s += sep + Fixed(b.dynamicRange, 1) + "\n";
        return s;
    };
    for (const BandAcoustics& b : r.bands) out += line(b);
    out += line(r.broadband);
    return out;
}

}  // namespace fim
