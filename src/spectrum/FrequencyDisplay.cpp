#include "spectrum/FrequencyDisplay.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "base/SettingsTree.h"
#include "spectrum/SpectrumComputer.h"

namespace fim {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kSmoothTop = 23000.0;

int RoundInt(double v) { return static_cast<int>(std::nearbyint(v)); }

// Shortest decimal form of a value already rounded to a few decimals.
std::string Shortest(double v) {
    if (v == 0.0) v = 0.0;  // no "-0"
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

void AddPoint(std::vector<PlotPoint>& out, int x, int y) { out.push_back({x, y}); }

}  // namespace

// ---------------------------------------------------------------- mapper

FrequencyMapper::FrequencyMapper(int width, int height, double fmin, double fmax, int rangeDb)
    : width_(std::max(1, width)),
      height_(std::max(1, height)),
      fmin_(fmin > 0.0 ? fmin : 1.0),
      fmax_(fmax),
      range_(std::max(1, rangeDb)) {
    if (!(fmax_ > fmin_)) fmax_ = 2.0 * fmin_;
    lnMin_ = std::log(fmin_);
    lnSpan_ = std::log(fmax_ / fmin_);
}

double FrequencyMapper::XExact(double hz) const {
    return (std::log(hz) - lnMin_) * width_ / lnSpan_;
}

int FrequencyMapper::X(double hz) const { return RoundInt(XExact(hz)); }

double FrequencyMapper::FrequencyAt(int x) const {
    return fmin_ * std::pow(fmax_ / fmin_, static_cast<double>(x) / width_);
}

int FrequencyMapper::Y(double db) const {
    return RoundInt(height_ / 2.0 - db * height_ / (2.0 * range_));
}

int FrequencyMapper::YPhase(double radians) const {
    return RoundInt(height_ / 2.0 - radians * height_ / kTwoPi);
}

// ---------------------------------------------------------------- curves

double LevelDb(double magnitude, double reference, double offsetDb) {
    return 20.0 * std::log10(magnitude / reference) + offsetDb;
}

double WrapPhase(double radians) {
    if (!std::isfinite(radians)) return 0.0;
    double r = std::remainder(radians, kTwoPi);  // −π … π
    return r;
}

DrawableCurve SmoothCurve(std::span<const SmoothRecord> records, double reference, double offsetDb,
                          double lowest, bool invert, uint32_t colour, int penWidth) {
    DrawableCurve c;
    c.colour = colour;
    c.penWidth = penWidth;
    if (!(reference > 0.0)) return c;
    for (const SmoothRecord& r : records) {
        if (r.Frequency <= lowest) continue;
        if (r.Frequency >= kSmoothTop) break;
        if (!(r.Magnitude > 0.0)) continue;
        const double db = LevelDb(r.Magnitude, reference, 0.0);
        c.points.push_back({r.Frequency, (invert ? -db : db) + offsetDb});
    }
    return c;
}

DrawableCurve OverlayCurve(const CalibrationStore::Overlay& o, double sampleRate, int gainDb,
                           uint32_t colour, int penWidth) {
    if (o.kind == 1) {
        // Drawn from the lowest frequency on, a record at it included.
        return SmoothCurve(o.records, o.levelReference, gainDb,
                           std::nextafter(o.lowestFrequency, 0.0), o.inverted, colour, penWidth);
    }
    DrawableCurve c;
    c.colour = colour;
    c.penWidth = penWidth;
    if (!(o.levelReference > 0.0) || o.fftSize <= 0 || !(sampleRate > 0.0)) return c;
    const double width = sampleRate / o.fftSize;
    c.points.reserve(o.bins.size());
    for (std::size_t k = 1; k < o.bins.size(); ++k) {
        const double f = static_cast<double>(k) * width;
        if (f < o.lowestFrequency) continue;
        const double m = o.bins[k].Magnitude;
        if (!(m > 0.0)) continue;
        const double db = LevelDb(m, o.levelReference, 0.0);
        c.points.push_back({f, (o.inverted ? -db : db) + gainDb});
    }
    return c;
}

void FftCurvePoints(const FrequencyMapper& map, std::span<const SpectrumRecord> bins, int firstBin,
                    double binWidth, int fftSize, double reference, double offsetDb, bool invert,
                    std::vector<PlotPoint>& out, std::vector<int>* records) {
    out.clear();
    if (records) records->clear();
    if (!(reference > 0.0) || !(binWidth > 0.0) || bins.empty()) return;
    const bool onePerColumn = fftSize >= 4096;
    const int n = static_cast<int>(bins.size());
    int k = std::max({firstBin, 1, static_cast<int>(std::ceil(map.Fmin() / binWidth - 1e-9))});
    const int kEnd = std::min(n - 1, static_cast<int>(std::floor(map.Fmax() / binWidth + 1e-9)));
    int lastX = INT32_MIN, lastY = INT32_MIN;
    for (; k <= kEnd; ++k) {
        const double m = bins[static_cast<std::size_t>(k)].Magnitude;
        if (!(m > 0.0)) continue;
        const int x = map.X(k * binWidth);
        if (onePerColumn && x == lastX) continue;
        const double db = LevelDb(m, reference, 0.0);
        const int y = map.Y((invert ? -db : db) + offsetDb);
        if (x == lastX && y == lastY) continue;
        AddPoint(out, x, y);
        if (records) records->push_back(k);
        lastX = x;
        lastY = y;
    }
}

void SmoothCurvePoints(const FrequencyMapper& map, std::span<const SmoothRecord> records, int end,
                       double reference, double offsetDb, bool invert, std::vector<PlotPoint>& out,
                       std::vector<int>* indices) {
    out.clear();
    if (indices) indices->clear();
    if (!(reference > 0.0)) return;
    end = std::min(end, static_cast<int>(records.size()));
    for (int i = 0; i < end; ++i) {
        const SmoothRecord& r = records[static_cast<std::size_t>(i)];
        if (r.Frequency < map.Fmin() || r.Frequency > map.Fmax()) continue;
        if (!(r.Magnitude > 0.0)) continue;
        const double db = LevelDb(r.Magnitude, reference, 0.0);
        AddPoint(out, map.X(r.Frequency), map.Y((invert ? -db : db) + offsetDb));
        if (indices) indices->push_back(i);
    }
}

namespace {
template <class Record>
std::vector<uint8_t> NearNoise(std::span<const Record> curve, std::span<const Record> floor,
                               double marginDb) {
    std::vector<uint8_t> near(curve.size(), 0);
    const double ratio = std::pow(10.0, marginDb / 20.0);
    for (std::size_t i = 0; i < std::min(curve.size(), floor.size()); ++i) {
        const double c = curve[i].Magnitude, f = floor[i].Magnitude;
        if (c > 0.0 && f > 0.0 && c < f * ratio) near[i] = 1;
    }
    return near;
}
}  // namespace

std::vector<uint8_t> NearNoiseRecords(std::span<const SpectrumRecord> curve,
                                      std::span<const SpectrumRecord> floor, double marginDb) {
    return NearNoise(curve, floor, marginDb);
}
std::vector<uint8_t> NearNoiseRecords(std::span<const SmoothRecord> curve,
                                      std::span<const SmoothRecord> floor, double marginDb) {
    return NearNoise(curve, floor, marginDb);
}

void CurvePoints(const FrequencyMapper& map, const std::vector<CurvePoint>& curve,
                 std::vector<PlotPoint>& out) {
    out.clear();
    int lastX = INT32_MIN, lastY = INT32_MIN;
    for (const CurvePoint& p : curve) {
        if (p.frequency < map.Fmin() || p.frequency > map.Fmax()) continue;
        if (!std::isfinite(p.db)) continue;
        const int x = map.X(p.frequency), y = map.Y(p.db);
        if (x == lastX && y == lastY) continue;
        AddPoint(out, x, y);
        lastX = x;
        lastY = y;
    }
}

void FftPhasePoints(const FrequencyMapper& map, std::span<const SpectrumRecord> bins, int firstBin,
                    double binWidth, std::vector<PlotPoint>& out) {
    out.clear();
    if (!(binWidth > 0.0) || bins.empty()) return;
    const int n = static_cast<int>(bins.size());
    int k = std::max({firstBin, 1, static_cast<int>(std::ceil(map.Fmin() / binWidth - 1e-9))});
    const int kEnd = std::min(n - 1, static_cast<int>(std::floor(map.Fmax() / binWidth + 1e-9)));
    int lastX = INT32_MIN;
    for (; k <= kEnd; ++k) {
        const int x = map.X(k * binWidth);
        if (x == lastX) continue;
        AddPoint(out, x, map.YPhase(WrapPhase(bins[static_cast<std::size_t>(k)].Phase)));
        lastX = x;
    }
}

void SmoothPhasePoints(const FrequencyMapper& map, std::span<const SmoothRecord> records, int end,
                       std::vector<PlotPoint>& out) {
    out.clear();
    end = std::min(end, static_cast<int>(records.size()));
    for (int i = 0; i < end; ++i) {
        const SmoothRecord& r = records[static_cast<std::size_t>(i)];
        if (r.Frequency < map.Fmin() || r.Frequency > map.Fmax()) continue;
        AddPoint(out, map.X(r.Frequency), map.YPhase(WrapPhase(r.Phase)));
    }
}

// ---------------------------------------------------------------- grids

std::vector<GridLine> DecadeGrid(double lowerLimit) {
    // Every line of the table with its label text.
    std::vector<GridLine> all;
    for (int f = 20; f < 100; f += 10) all.push_back({double(f), std::to_string(f)});
    for (int f = 100; f < 1000; f += 100) all.push_back({double(f), std::to_string(f)});
    for (int k = 1; k <= 20; ++k) all.push_back({1000.0 * k, std::to_string(k) + "k"});

    auto in = [](double f, std::initializer_list<int> set) {
        return std::find(set.begin(), set.end(), RoundInt(f)) != set.end();
    };
    std::vector<GridLine> out;
    const bool allLines = lowerLimit >= 300.0;
    for (GridLine g : all) {
        if (g.frequency <= lowerLimit) continue;
        const double f = g.frequency;
        if (!allLines) {
            // Below 300 Hz the plot spans many decades: 60 … 90 Hz and 11 … 20 kHz (but
            // 15 kHz) are left out.
            const bool drawn = (f <= 50.0 || f >= 100.0) && (f <= 10000.0 || f == 15000.0);
            if (!drawn) continue;
            bool labelled;
            if (lowerLimit < 70.0) {
                labelled = in(f, {20, 50, 100, 500, 1000, 5000, 10000, 15000});
            } else if (lowerLimit < 180.0) {
                labelled =
                    in(f, {20, 30, 50, 100, 300, 500, 700, 1000, 3000, 5000, 7000, 10000, 15000});
            } else {
                labelled = true;
            }
            if (!labelled) g.label.clear();
        } else if (f >= 600.0 && f <= 900.0) {
            g.label.clear();
        }
        out.push_back(std::move(g));
    }
    return out;
}

const std::vector<double>& EqCentres() {
    static const std::vector<double> centres = {
        16,   20,   25,   31.5, 40,   50,   63,    80,    100,   125,   160,
        200,  250,  315,  400,  500,  630,  800,   1000,  1250,  1600,  2000,
        2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000, 25000};
    return centres;
}

void EqGrid(double lowerLimit, std::vector<double>& borders, std::vector<GridLine>& labels) {
    static const char* const kLabels[] = {
        "16 Hz",  "20 Hz",  "25 Hz",   "32 Hz",    "40 Hz",   "50 Hz",    "63 Hz",   "80 Hz",
        "100 Hz", "125 Hz", "160 Hz",  "200 Hz",   "250 Hz",  "315 Hz",   "400 Hz",  "500 Hz",
        "630 Hz", "800 Hz", "1 kHz",   "1.25 kHz", "1.6 kHz", "2 kHz",    "2.5 kHz", "3.15 kHz",
        "4 kHz",  "5 kHz",  "6.3 kHz", "8 kHz",    "10 kHz",  "12.5 kHz", "16 kHz",  "20 kHz"};
    const auto& f = EqCentres();
    borders.clear();
    labels.clear();
    for (std::size_t i = 1; i <= 31; ++i) {
        const double border = std::sqrt(f[i - 1] * f[i]);
        if (border > lowerLimit) borders.push_back(border);
        if (f[i] > lowerLimit) labels.push_back({f[i], kLabels[i]});
    }
}

std::vector<LevelLine> LevelGrid(int rangeDb, int gapDb) {
    std::vector<LevelLine> out;
    const int gap = std::max(1, gapDb);
    for (int db = 0; db <= rangeDb; db += gap) {
        out.push_back({db, db == 0 ? "0 dB" : "+" + std::to_string(db)});
        if (db > 0) out.push_back({-db, std::to_string(-db)});
    }
    return out;
}

// ---------------------------------------------------------------- read-out

std::string MarkerFrequencyText(double hz) {
    if (hz < 100.0) return Shortest(std::nearbyint(hz * 100.0) / 100.0) + " Hz";
    if (hz < 1000.0) return Shortest(std::nearbyint(hz * 10.0) / 10.0) + " Hz";
    if (hz < 10000.0) return Shortest(std::nearbyint(hz) / 1000.0) + " kHz";
    return Shortest(std::nearbyint(hz / 10.0) / 100.0) + " kHz";
}

std::string MarkerReadout(double hz, double levelDb, double phaseRad, bool phaseMode) {
    std::string s = MarkerFrequencyText(hz) + " ";
    if (phaseMode) {
        const double deg = std::nearbyint(WrapPhase(phaseRad) * 180.0 / std::numbers::pi);
        return s + Shortest(deg) + "\xC2\xB0";
    }
    char buf[32];
    const double level = std::nearbyint(levelDb * 10.0) / 10.0;
    const auto r = std::to_chars(buf, buf + sizeof buf, level == 0.0 ? 0.0 : level,
                                 std::chars_format::fixed, 1);
    return s + std::string(buf, r.ptr) + "  dB";
}

// ---------------------------------------------------------------- settings

FrequencyViewSettings ReadFrequencyViewSettings(const SettingsTree& t) {
    FrequencyViewSettings s;
    auto readInt = [&](const char* name, int lo, int hi, int& field) {
        if (auto v = t.ReadInteger(name); v && *v >= lo && *v <= hi) field = *v;
    };
    auto readBool = [&](const char* name, bool& field) {
        if (auto v = t.ReadBool(name)) field = *v;
    };
    readBool("EQ STYLE", s.eqStyle);
    readInt("RANGE", 1, 40, s.range);
    readInt("Gap", 1, 40, s.gap);
    readInt("Gain", -40, 40, s.gain);
    readInt("OVERLAY GAIN", -40, 40, s.overlayGain);
    readBool("OVERLAY AN", s.overlayShown);
    readBool("CAL AN", s.calibrationInUse);
    readBool("FLIP", s.overlayInverted);
    readBool("PHASE AN", s.phaseShown);
    readBool("NOISE FLOOR", s.noiseFloorShown);
    readBool("NOISE GREY", s.greyNearNoise);
    readInt("FFT BREITE", 200, 10000, s.width);
    readInt("FFT H\xC3\x96HE", 150, 10000, s.height);
    readInt("FFT LINKS", -10000, 10000, s.left);
    readInt("FFT OBEN", -10000, 10000, s.top);
    if (auto v = t.ReadString("OVERLAY FILE")) {
        s.overlayFile = *v;
        s.hasOverlayFile = true;
    }
    if (auto v = t.ReadBlock("Printout Color", 40)) s.printoutColors = *v;
    return s;
}

void WriteFrequencyViewSettings(SettingsTree& t, const FrequencyViewSettings& s) {
    if (s.printoutColors.size() == 40) t.WriteBinary("Printout Color", s.printoutColors);
    t.WriteBool("EQ STYLE", s.eqStyle);
    t.WriteInteger("Range", s.range);
    t.WriteInteger("Gap", s.gap);
    t.WriteInteger("Gain", s.gain);
    t.WriteInteger("OVERLAY GAIN", s.overlayGain);
    t.WriteBool("OVERLAY AN", s.overlayShown);
    t.WriteBool("CAL AN", s.calibrationInUse);
    t.WriteBool("FLIP", s.overlayInverted);
    t.WriteBool("PHASE AN", s.phaseShown);
    t.WriteBool("NOISE FLOOR", s.noiseFloorShown);
    t.WriteBool("NOISE GREY", s.greyNearNoise);
    t.WriteInteger("FFT BREITE", s.width);
    t.WriteInteger("FFT H\xC3\x96HE", s.height);
    t.WriteInteger("FFT LINKS", s.left);
    t.WriteInteger("FFT OBEN", s.top);
    t.WriteString("OVERLAY FILE", s.overlayFile);
}

// ---------------------------------------------------------------- display

std::vector<int> GapChoices(int rangeDb) {
    std::vector<int> out;
    for (int d : {15, 10, 7, 5, 4, 3, 2}) {
        const int g = RoundInt(static_cast<double>(rangeDb) / d);
        if (g < 1) continue;
        if (!out.empty() && out.back() == g) continue;
        out.push_back(g);
    }
    return out;
}

void FrequencyDisplay::TakeSpectrum(const SpectrumComputer& c) {
    // A marker is a record index: it means nothing in the other mode's records.
    if (c.Mode() != mode) markerSet = false;
    mode = c.Mode();
    sampleRate = c.SampleRate();
    lowestValid = c.LowestValidFrequency();
    binWidth = c.BinWidth();
    binCount = c.BinCount();
    firstBin = c.FirstBin();
    smoothEnd = c.SmoothRangeEnd();
    smoothRecords = c.SmoothDisplay();
    if (markerSet) {
        const int last = mode == AnalysisMode::Fft ? binCount : smoothEnd - 1;
        markerIndex = std::clamp(markerIndex, 0, std::max(0, last));
    }
}

double FrequencyDisplay::EffectiveLower() const {
    double f = std::max(lowerLimit, lowestValid);
    if (calibrationInUse) f = std::max(f, calibrationLowest);
    return f;
}

FrequencyMapper FrequencyDisplay::Mapper(int width, int height) const {
    return FrequencyMapper(width, height, EffectiveLower(), upperLimit, range);
}

void FrequencyDisplay::Default() {
    gain = 0;
    SetRange(20);
    gap = 5;
    lowerLimit = lowestValid;
}

void FrequencyDisplay::Fit() {
    lowerLimit = lowestValid;
    upperLimit = std::min(sampleRate / 2.0, 20000.0);
}

void FrequencyDisplay::OptiFit(double peakLevelDb) {
    SetRange(std::clamp(std::abs(RoundInt(peakLevelDb / 0.65)), 2, 40));
}

void FrequencyDisplay::SetRange(int db) {
    range = std::clamp(db, 1, 40);
    if (autoGap) gap = RoundInt(range / 5.0 + 1.0);
}

void FrequencyDisplay::SetAutoGap(bool on) {
    autoGap = on;
    if (on) gap = RoundInt(range / 5.0 + 1.0);
}

int FrequencyDisplay::StepPenWidth(int width) {
    switch (width) {
        case 1:
            return 2;
        case 2:
            return 4;
        case 4:
            return 8;
        default:
            return 1;
    }
}

void FrequencyDisplay::ZoomPress(int x) {
    zooming = true;
    zoomStart = zoomEnd = x;
}

void FrequencyDisplay::ZoomMove(int x) {
    if (zooming) zoomEnd = x;
}

bool FrequencyDisplay::ZoomRelease(int x, int width, int height) {
    if (!zooming) return false;
    zooming = false;
    zoomEnd = x;
    if (std::abs(zoomEnd - zoomStart) <= 30) return false;
    const FrequencyMapper map = Mapper(width, height);
    const double f0 = map.FrequencyAt(std::min(zoomStart, zoomEnd));
    const double f1 = map.FrequencyAt(std::max(zoomStart, zoomEnd));
    if (f1 - f0 < 100.0) return false;
    lowerLimit = f0;
    upperLimit = f1;
    return true;
}

double FrequencyDisplay::RecordFrequency(int index, std::span<const SmoothRecord> smooth) const {
    if (mode == AnalysisMode::Fft) return index * binWidth;
    if (index < 0 || static_cast<std::size_t>(index) >= smooth.size()) return 0.0;
    return smooth[static_cast<std::size_t>(index)].Frequency;
}

void FrequencyDisplay::EdgeRecords(const FrequencyMapper& map, std::span<const SmoothRecord> smooth,
                                   int& first, int& last) const {
    if (mode == AnalysisMode::Fft) {
        first = std::max({firstBin, 1, static_cast<int>(std::ceil(map.Fmin() / binWidth - 1e-9))});
        last = std::min(binCount, static_cast<int>(std::floor(map.Fmax() / binWidth + 1e-9)));
        return;
    }
    const int end = std::min(smoothEnd, static_cast<int>(smooth.size()));
    first = 0;
    while (first < end && smooth[static_cast<std::size_t>(first)].Frequency < map.Fmin()) ++first;
    last = end - 1;
    while (last >= first && smooth[static_cast<std::size_t>(last)].Frequency > map.Fmax()) --last;
}

bool FrequencyDisplay::SetMarkerAt(int x, int width, int height) {
    const FrequencyMapper map = Mapper(width, height);
    const double f = map.FrequencyAt(x);
    int index;
    if (mode == AnalysisMode::Fft) {
        if (!(binWidth > 0.0)) return false;
        index = std::clamp(RoundInt(f / binWidth), std::max(firstBin, 1), binCount);
    } else {
        const int end = std::min(smoothEnd, static_cast<int>(smoothRecords.size()));
        if (end <= 0) return false;
        index = 0;
        while (index < end - 1 && smoothRecords[static_cast<std::size_t>(index)].Frequency < f) {
            ++index;
        }
    }
    markerSet = true;
    markerIndex = index;
    markerX = map.X(RecordFrequency(index, smoothRecords));
    return true;
}

bool FrequencyDisplay::MoveMarker(int records, int width, int height) {
    if (!markerSet) return false;
    const FrequencyMapper map = Mapper(width, height);
    int first = 0, last = -1;
    EdgeRecords(map, smoothRecords, first, last);
    if (last < first) return false;
    markerIndex = std::clamp(markerIndex + records, first, last);
    markerX = map.X(RecordFrequency(markerIndex, smoothRecords));
    return true;
}

EditorSetup FrequencyDisplay::Setup(EditorMode m) const {
    switch (m) {
        case EditorMode::Left:
            return {231, RoundInt(lowestValid), RoundInt(sampleRate / 2.2), 20};
        case EditorMode::Right:
            return {232, RoundInt(lowestValid + 200.0), 20000, 100};
        case EditorMode::Scale:
            return {159, 1, 40, 1};
        // The gap never reaches 0 (a grid without spacing) nor exceeds the range.
        case EditorMode::LinesGap:
            return {161, 1, 40, 1};
        case EditorMode::Gain:
            return {158, -40, 40, 1};
        case EditorMode::OverlayGain:
            return {162, -40, 40, 1};
        case EditorMode::Smoothing:
            return {160, 0, 10, 1};
    }
    return {};
}

std::vector<PopupEntry> FrequencyDisplay::Popup(EditorMode m) const {
    using K = PopupEntry::Kind;
    auto v = [](const char* c, int value) { return PopupEntry{c, K::Value, value, {}}; };
    auto mode = [](const char* c, EditorMode to) { return PopupEntry{c, K::Mode, 0, to}; };
    switch (m) {
        case EditorMode::Left:
            return {v("10 Hz", 10),
                    v("40 Hz", 40),
                    v("100 Hz", 100),
                    {"FIT IN", K::FitIn, 0, {}},
                    mode("RIGHT", EditorMode::Right)};
        case EditorMode::Right:
            return {v("20 kHz", 20000),
                    v("15 kHz", 15000),
                    v("10 kHz", 10000),
                    v("5 kHz", 5000),
                    v("2 kHz", 2000),
                    v("1 kHz", 1000),
                    {"FIT IN", K::FitIn, 0, {}},
                    mode("LEFT", EditorMode::Left)};
        case EditorMode::Scale:
            return {v("+/- 5 dB", 5),
                    v("+/- 10 dB", 10),
                    v("+/- 20 dB", 20),
                    v("+/- 40 dB", 40),
                    {"OPTI FIT", K::OptiFit, 0, {}},
                    mode("LINES GAP", EditorMode::LinesGap)};
        case EditorMode::LinesGap: {
            std::vector<PopupEntry> out;
            for (int g : GapChoices(range)) {
                out.push_back({std::to_string(g) + " dB", K::Value, g, {}});
            }
            out.push_back(mode("SCALE", EditorMode::Scale));
            out.push_back({"AUTO", K::Auto, 0, {}});
            return out;
        }
        case EditorMode::Gain:
            return {v("0 dB", 0),
                    {"AUTO GAIN SET", K::AutoGain, 0, {}},
                    mode("SMOOTHING", EditorMode::Smoothing)};
        case EditorMode::OverlayGain:
            return {v("0 dB", 0), v("+ 20 dB", 20), v("- 20 dB", -20), {"COLOR", K::Color, 0, {}}};
        case EditorMode::Smoothing:
            return {v("NO", 0), v("LOW", 1), v("MID", 4), v("HIGH", 6), v("ULTRA", 10)};
    }
    return {};
}

int FrequencyDisplay::EditorValue(EditorMode m) const {
    switch (m) {
        case EditorMode::Left:
            return RoundInt(lowerLimit);
        case EditorMode::Right:
            return RoundInt(upperLimit);
        case EditorMode::Scale:
            return range;
        case EditorMode::LinesGap:
            return gap;
        case EditorMode::Gain:
            return gain;
        case EditorMode::OverlayGain:
            return overlayGain;
        case EditorMode::Smoothing:
            return smoothingValue;
    }
    return 0;
}

void FrequencyDisplay::SetEditorValue(EditorMode m, int value) {
    const EditorSetup s = Setup(m);
    value = std::clamp(value, s.minimum, std::max(s.minimum, s.maximum));
    switch (m) {
        case EditorMode::Left:
            lowerLimit = value;
            break;
        case EditorMode::Right:
            upperLimit = value;
            break;
        case EditorMode::Scale:
            SetRange(value);
            break;
        case EditorMode::LinesGap:
            gap = value;
            break;
        case EditorMode::Gain:
            gain = value;
            break;
        case EditorMode::OverlayGain:
            overlayGain = value;
            break;
        case EditorMode::Smoothing:
            smoothingValue = value;
            break;
    }
}

}  // namespace fim
