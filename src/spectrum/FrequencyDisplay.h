#pragma once
// The view of the frequency-response window, without any drawing: the mapping of frequency and
// level to pixels, the frequency and level grids, the curves as pixel points, the marker and its
// read-out, zooming, the fit commands and the bottom value editor with its seven modes. The
// window and the painter (and fimtool's PNG) work from this; tests drive it directly.
//
// Thread: UI thread only.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/SpectrumTypes.h"
#include "spectrum/CalibrationStore.h"

namespace fim {

class SettingsTree;
class SpectrumComputer;

// Maps frequency (log axis) and level to pixel positions inside a plot of width × height.
class FrequencyMapper {
  public:
    FrequencyMapper() = default;
    // `fmin` is the effective lower limit. A span that is not positive (fmax ≤ fmin) would divide
    // by zero; it is widened to one octave above fmin.
    FrequencyMapper(int width, int height, double fmin, double fmax, int rangeDb);

    int Width() const { return width_; }
    int Height() const { return height_; }
    double Fmin() const { return fmin_; }
    double Fmax() const { return fmax_; }
    int Range() const { return range_; }
    // x = Round((ln f − ln fmin) · W / ln(fmax / fmin)).
    int X(double hz) const;
    double XExact(double hz) const;
    // f = fmin · (fmax / fmin)^(x / W).
    double FrequencyAt(int x) const;
    // y of a level in dB: H/(2·range) pixels per dB, 0 dB on the centre line.
    int Y(double db) const;
    // y of a phase in radians: H/2π pixels per radian around the centre line.
    int YPhase(double radians) const;

  private:
    int width_ = 1, height_ = 1;
    double fmin_ = 20.0, fmax_ = 20000.0;
    double lnMin_ = 0.0, lnSpan_ = 1.0;
    int range_ = 20;
};

struct PlotPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PlotPoint&) const = default;
};

// A curve in frequency and dB, mapped when painted: how stored traces reach the painter.
struct CurvePoint {
    double frequency = 0.0;
    double db = 0.0;
};
struct DrawableCurve {
    uint32_t colour = 0;  // 0x00BBGGRR
    int penWidth = 1;
    std::vector<CurvePoint> points;  // ascending frequency
};

// A mean curve drawn with a band around it (a seat set: mean ± spread), and optionally one
// member curve singled out (its farthest seat), with legend lines for the plot's corner.
struct BandCurve {
    uint32_t colour = 0;  // 0x00BBGGRR, of the mean; the band is a lighter fill of it
    int penWidth = 2;
    std::vector<CurvePoint> mean, lower, upper;  // the same frequencies, ascending
    DrawableCurve flagged;                       // no points: none
    std::vector<std::string> legend;
};

// Level of a magnitude against a reference; nullopt-like NaN is never returned: callers skip
// magnitudes of 0 or less before asking.
double LevelDb(double magnitude, double reference, double offsetDb);

// The curve of SMOOTH records relative to `reference` plus `offsetDb`, from the first record
// above `lowest` (and below 23000 Hz); records with magnitude 0 or less are skipped. `invert`
// mirrors the levels around 0 dB. Used for overlays and stored traces.
DrawableCurve SmoothCurve(std::span<const SmoothRecord> records, double reference, double offsetDb,
                          double lowest, bool invert, uint32_t colour, int penWidth);

// The overlay as a curve: level = 20·log10(magnitude / its level reference) + overlay gain, from
// its lowest frequency on; inverted overlays are mirrored around 0 dB before the gain.
DrawableCurve OverlayCurve(const CalibrationStore::Overlay& overlay, double sampleRate, int gainDb,
                           uint32_t colour, int penWidth);

// Main curve, FFT mode: bins k ≥ firstBin of `bins` whose frequency k · binWidth lies inside the
// mapper's span. A point on the same pixel as the one before is skipped; from FFT size 4096 on
// only the first bin of each pixel column is kept. Magnitudes of 0 or less give no point.
// `records`, when given, receives the bin of each point.
void FftCurvePoints(const FrequencyMapper& map, std::span<const SpectrumRecord> bins, int firstBin,
                    double binWidth, int fftSize, double reference, double offsetDb, bool invert,
                    std::vector<PlotPoint>& out, std::vector<int>* records = nullptr);
// Main curve, SMOOTH mode: records 0 … end − 1 inside the span, point by point.
void SmoothCurvePoints(const FrequencyMapper& map, std::span<const SmoothRecord> records, int end,
                       double reference, double offsetDb, bool invert, std::vector<PlotPoint>& out,
                       std::vector<int>* indices = nullptr);

// How far above its noise floor a curve must stand to count as measured rather than noise.
inline constexpr double kNearNoiseDb = 10.0;
// Per display record: 1 where the curve stands less than `marginDb` above the noise floor (or
// below it), 0 elsewhere and where either has no level (magnitude 0 or less). Both spectra come
// out of the same transform, so their magnitudes compare directly.
std::vector<uint8_t> NearNoiseRecords(std::span<const SpectrumRecord> curve,
                                      std::span<const SpectrumRecord> floor, double marginDb);
std::vector<uint8_t> NearNoiseRecords(std::span<const SmoothRecord> curve,
                                      std::span<const SmoothRecord> floor, double marginDb);
// A frequency/dB curve inside the span.
void CurvePoints(const FrequencyMapper& map, const std::vector<CurvePoint>& curve,
                 std::vector<PlotPoint>& out);
// Phase curves (radians wrapped to −π … π).
void FftPhasePoints(const FrequencyMapper& map, std::span<const SpectrumRecord> bins, int firstBin,
                    double binWidth, std::vector<PlotPoint>& out);
void SmoothPhasePoints(const FrequencyMapper& map, std::span<const SmoothRecord> records, int end,
                       std::vector<PlotPoint>& out);
double WrapPhase(double radians);

// Grids.
struct GridLine {
    double frequency = 0.0;
    std::string label;  // empty: a line without label
};
// Decade lines above `lowerLimit` with the labels the lower limit chooses.
std::vector<GridLine> DecadeGrid(double lowerLimit);
// The 33 one-third-octave centre frequencies 16 Hz … 25 kHz.
const std::vector<double>& EqCentres();
// EQ style: borders √(f(i−1)·f(i)) for bands i = 1 … 31 above `lowerLimit` (no label), and the
// band labels at the centres f(1) … f(31) (no line). `borders` and `labels` are separate.
void EqGrid(double lowerLimit, std::vector<double>& borders, std::vector<GridLine>& labels);
struct LevelLine {
    int db = 0;
    std::string label;
};
// Lines every `gap` dB from the centre line out to ±range; a gap below 1 counts as 1.
std::vector<LevelLine> LevelGrid(int rangeDb, int gapDb);

// Marker read-out.
std::string MarkerFrequencyText(double hz);
// "<frequency text> <level, one decimal>  dB", or in phase mode "<frequency text> <degrees>°".
std::string MarkerReadout(double hz, double levelDb, double phaseRad, bool phaseMode);

enum class EditorMode { Left, Right, Scale, LinesGap, Gain, OverlayGain, Smoothing };

struct EditorSetup {
    int labelMessage = 0;  // catalog message of the label (Smoothing: 160)
    int minimum = 0;
    int maximum = 0;
    int step = 1;
};

// A popup entry: a value preset (written into the editor) or a command.
struct PopupEntry {
    enum class Kind { Value, FitIn, OptiFit, Auto, AutoGain, Color, Mode };
    std::string caption;
    Kind kind = Kind::Value;
    int value = 0;                       // Value
    EditorMode mode = EditorMode::Left;  // Mode: switch the editor to this mode
};

// The gaps PTEILUNG offers at a range: Round(range / d) for d = 15, 10, 7, 5, 4, 3, 2, a value
// equal to the one before left out, and gaps below 1 (no grid) never offered.
std::vector<int> GapChoices(int rangeDb);

struct FrequencyViewSettings {
    bool eqStyle = false;
    int range = 20;
    int gap = 5;
    int gain = 0;
    int overlayGain = 0;
    bool overlayShown = false;
    bool calibrationInUse = false;
    bool overlayInverted = false;
    bool phaseShown = false;
    bool noiseFloorShown = false;  // "NOISE FLOOR"
    bool greyNearNoise = false;    // "NOISE GREY"
    int width = 1000, height = 640, left = 180, top = 140;
    std::string overlayFile;
    bool hasOverlayFile = false;
    std::vector<uint8_t> printoutColors;  // 40 bytes, empty when not stored
};
// Reads the window's values; out-of-range numbers keep their defaults.
FrequencyViewSettings ReadFrequencyViewSettings(const SettingsTree& tree);
void WriteFrequencyViewSettings(SettingsTree& tree, const FrequencyViewSettings& s);

class FrequencyDisplay {
  public:
    // --- view state ---
    double lowerLimit = 20.0;
    double upperLimit = 20000.0;
    int gain = 0;
    int range = 20;
    int gap = 5;
    bool autoGap = false;  // "ALGS"
    int overlayGain = 0;
    bool eqStyle = false;
    bool phaseShown = false;
    // The run's noise floor under the curve, and the curve greyed where it stands less than
    // kNearNoiseDb above it (both need a noise estimate).
    bool noiseFloorShown = false;
    bool greyNearNoise = false;
    int penWidth = 2;
    int overlayPenWidth = 1;

    // What the spectrum step published.
    AnalysisMode mode = AnalysisMode::Fft;
    double sampleRate = 44100.0;
    double lowestValid = 20.0;
    double binWidth = 44100.0 / 4096.0;
    int binCount = 2048;  // FFT mode: display bins 0 … binCount (N/2 + 1 records)
    int firstBin = 0;
    int smoothEnd = 0;  // SMOOTH mode: display records 0 … smoothEnd − 1
    // With calibration in use the plot never goes below the calibration's lowest frequency.
    bool calibrationInUse = false;
    double calibrationLowest = 0.0;

    // Marker.
    bool markerSet = false;
    int markerIndex = 0;
    int markerX = 0;

    // Zoom band.
    bool zooming = false;
    int zoomStart = 0;
    int zoomEnd = 0;

    // Takes what a spectrum computation published (mode, rate, bins, display range).
    void TakeSpectrum(const SpectrumComputer& c);
    double EffectiveLower() const;
    FrequencyMapper Mapper(int width, int height) const;

    // Commands.
    void Default();  // gain 0, range 20, gap 5, lower limit = lowest valid frequency
    void Fit();      // lower limit = lowest valid, upper = sample rate / 2 but at most 20000
    // OPTI FIT: range = |Round(peak level / 0.65)| within 2 … 40.
    void OptiFit(double peakLevelDb);
    // Changes the range; with auto gap also the gap.
    void SetRange(int db);
    // Turns auto gap on or off; switching it on sets the gap at once.
    void SetAutoGap(bool on);
    static int StepPenWidth(int width);  // 1 → 2 → 4 → 8 → 1

    // Zoom: press starts a band, release ends it. A band wider than 30 pixels becomes the new
    // limits unless their span is below 100 Hz. Returns whether the limits changed.
    void ZoomPress(int x);
    void ZoomMove(int x);
    bool ZoomRelease(int x, int width, int height);

    // Marker: record index nearest to the clicked frequency; false when there is no record.
    bool SetMarkerAt(int x, int width, int height);
    // Moves the marker by `records` (±1, ±10) between the records at the plot's edges.
    bool MoveMarker(int records, int width, int height);
    // Frequency of a display record (FFT: bin × bin width; SMOOTH: the record's frequency).
    double RecordFrequency(int index, std::span<const SmoothRecord> smooth) const;
    // Records at the plot's edges: [first, last] inside the mapper's span.
    void EdgeRecords(const FrequencyMapper& map, std::span<const SmoothRecord> smooth, int& first,
                     int& last) const;
    // The SMOOTH records, for the marker's frequency lookups.
    std::span<const SmoothRecord> smoothRecords;

    // --- the value editor ---
    EditorMode editorMode = EditorMode::Left;
    int smoothingValue = 0;  // the smoothing value v (0 … 10)
    EditorSetup Setup(EditorMode m) const;
    std::vector<PopupEntry> Popup(EditorMode m) const;
    // The field of the mode, as the editor shows it.
    int EditorValue(EditorMode m) const;
    // Stores a value (clamped to the mode's limits) into the mode's field.
    void SetEditorValue(EditorMode m, int value);
};

}  // namespace fim
