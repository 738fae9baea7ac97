#include "spectrum/ui/paint/FrequencyPainter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QPolygon>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace fim {

namespace {

QFont PlotFont(const QFont& base, int pixelSize) {
    QFont f = NamedFont(base);
    f.setPixelSize(pixelSize);
    return f;
}

// Wide curves are drawn as several one-pixel polylines side by side (see WidePolyline), which is
// far cheaper than stroking outlines.

void Polyline(QPainter& p, const std::vector<PlotPoint>& pts, std::vector<QPoint>& buf,
              int dy = 0) {
    if (pts.size() < 2) {
        if (pts.size() == 1) p.drawPoint(pts[0].x, pts[0].y + dy);
        return;
    }
    buf.resize(pts.size());
    for (std::size_t i = 0; i < pts.size(); ++i) buf[i] = QPoint(pts[i].x, pts[i].y + dy);
    p.drawPolyline(buf.data(), static_cast<int>(buf.size()));
}

// A curve `width` pixels thick: one-pixel polylines stacked vertically around the points.
void WidePolyline(QPainter& p, uint32_t ref, int width, const std::vector<PlotPoint>& pts,
                  std::vector<QPoint>& buf) {
    p.setPen(Pen(ref));
    width = std::max(1, width);
    const int first = -(width - 1) / 2;
    for (int dy = first; dy < first + width; ++dy) Polyline(p, pts, buf, dy);
}

// A colour `share` of the way from `from` to `to` (0x00BBGGRR).
uint32_t Blend(uint32_t from, uint32_t to, double share) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double a = (from >> shift) & 0xFF, b = (to >> shift) & 0xFF;
        out |= static_cast<uint32_t>(std::lround(a + (b - a) * share)) << shift;
    }
    return out;
}

}  // namespace

void AddNoiseFloor(FrequencyPaintInput& in, const SpectrumComputer* noise, int periods,
                   const CalibrationStore& store, const FrequencyDisplay& view,
                   std::vector<SmoothRecord>& micScratch) {
    in.floorShown = view.noiseFloorShown;
    const bool usable =
        in.valid && noise != nullptr && noise->DataValid() && noise->Mode() == view.mode;
    if (!usable) {
        // Asked for but not there (one period, a loaded file): said, nothing drawn.
        if (view.noiseFloorShown || view.greyNearNoise) in.floorText = "NOISE FLOOR: no estimate";
        return;
    }
    if (view.noiseFloorShown) in.floorText = "NOISE FLOOR (" + std::to_string(periods) + " avg)";
    if (noise->Mode() == AnalysisMode::Fft) {
        in.floorBins = noise->DisplaySpectrum();
        if (view.greyNearNoise) {
            in.nearNoise = NearNoiseRecords(in.bins, in.floorBins, kNearNoiseDb);
        }
        return;
    }
    if (store.MicCorrectionApplies(noise->SampleRate()) &&
        noise->SmoothDisplay().size() == static_cast<std::size_t>(kSmoothRecords)) {
        micScratch = noise->SmoothDisplay();
        ApplyMicCorrection(store.Mic(), micScratch.data());
        in.floorRecords = micScratch;
    } else {
        in.floorRecords = noise->SmoothDisplay();
    }
    if (view.greyNearNoise) {
        in.nearNoise = NearNoiseRecords(in.records, in.floorRecords, kNearNoiseDb);
    }
}

FrequencyPaintInput PaintInputFor(const SpectrumComputer& c, const CalibrationStore& store,
                                  const FrequencyDisplay& view, const ColorTable& colours,
                                  std::vector<SmoothRecord>& micScratch) {
    FrequencyPaintInput in;
    in.colours = colours;
    in.valid = c.DataValid();
    in.fftSize = c.FftSize();
    in.levelReference = c.LevelReference();
    if (c.Mode() == AnalysisMode::Fft) {
        in.bins = c.DisplaySpectrum();
    } else if (store.MicCorrectionApplies(c.SampleRate()) &&
               c.SmoothDisplay().size() == static_cast<std::size_t>(kSmoothRecords)) {
        micScratch = c.SmoothDisplay();
        ApplyMicCorrection(store.Mic(), micScratch.data());
        in.records = micScratch;
    } else {
        in.records = c.SmoothDisplay();
    }
    const CalibrationStore::Overlay& o = store.CurrentOverlay();
    in.overlayShown = o.loaded && o.shown;
    if (in.overlayShown) {
        in.overlay =
            OverlayCurve(o, c.SampleRate() > 0.0 ? c.SampleRate() : view.sampleRate,
                         view.overlayGain, colours.entries[kFreqOverlay], view.overlayPenWidth);
        in.overlayText = "OVL: " + o.name + (o.inverted ? " (INV)" : "");
    }
    if (store.CalibrationInUse(c.Mode())) {
        in.calibrationText = "CAL: " + store.CalibrationName(c.Mode());
    }
    return in;
}

std::string MarkerText(const FrequencyDisplay& v, const FrequencyPaintInput& in) {
    if (!v.markerSet || !in.valid) return {};
    const int i = v.markerIndex;
    double mag = 0.0, phase = 0.0, f = 0.0;
    if (v.mode == AnalysisMode::Fft) {
        if (i < 0 || static_cast<std::size_t>(i) >= in.bins.size()) return {};
        mag = in.bins[static_cast<std::size_t>(i)].Magnitude;
        phase = in.bins[static_cast<std::size_t>(i)].Phase;
        f = i * v.binWidth;
    } else {
        if (i < 0 || static_cast<std::size_t>(i) >= in.records.size()) return {};
        const SmoothRecord& r = in.records[static_cast<std::size_t>(i)];
        mag = r.Magnitude;
        phase = r.Phase;
        f = r.Frequency;
    }
    const double level = mag > 0.0 && in.levelReference > 0.0
                             ? LevelDb(mag, in.levelReference, v.gain)
                             : -80.0 + v.gain;
    return MarkerReadout(f, level, phase, v.phaseShown);
}

void PaintFrequencyPlot(QPainter& p, const QRect& rect, const FrequencyDisplay& v,
                        const FrequencyPaintInput& in) {
    const ColorTable& c = in.colours;
    p.save();
    p.setClipRect(rect);
    p.translate(rect.topLeft());
    p.setRenderHint(QPainter::Antialiasing, false);

    const QFont font = PlotFont(p.font(), std::clamp(rect.height() / 36, 10, 14));
    p.setFont(font);
    const QFontMetrics fm(font);

    int top = 0;
    if (!in.header.empty()) {
        p.setPen(ToQColor(c.entries[kFreqText]));
        p.drawText(4, fm.ascent() + 2, QString::fromStdString(in.header));
        top = fm.height() + 8;
    }
    const int W = rect.width();
    const int H = std::max(1, rect.height() - top);
    p.translate(0, top);
    if (in.paintBackground) p.fillRect(0, 0, W, H, ToQColor(c.entries[kFreqBackground]));

    const FrequencyMapper map = v.Mapper(W, H);
    const double lower = v.EffectiveLower();

    // Frequency grid.
    p.setPen(Pen(c.entries[kFreqGrid]));
    const int labelY = H - fm.descent() - 2;
    // Labels centred on their line; one that would run into the label before it is left out,
    // so a narrow plot keeps readable labels.
    int labelEnd = INT32_MIN;
    auto label = [&](double f, const std::string& text) {
        const QString t = QString::fromStdString(text);
        const int w = fm.horizontalAdvance(t);
        const int left = map.X(f) - w / 2;
        if (left < labelEnd + 4) return;
        labelEnd = left + w;
        p.setPen(ToQColor(c.entries[kFreqText]));
        p.drawText(left, labelY, t);
    };
    if (v.eqStyle) {
        std::vector<double> borders;
        std::vector<GridLine> labels;
        EqGrid(lower, borders, labels);
        p.setPen(Pen(c.entries[kFreqGrid]));
        for (double f : borders) p.drawLine(map.X(f), 0, map.X(f), H - 1);
        for (const GridLine& g : labels) label(g.frequency, g.label);
    } else {
        const std::vector<GridLine> grid = DecadeGrid(lower);
        p.setPen(Pen(c.entries[kFreqGrid]));
        for (const GridLine& g : grid) p.drawLine(map.X(g.frequency), 0, map.X(g.frequency), H - 1);
        for (const GridLine& g : grid) {
            if (!g.label.empty()) label(g.frequency, g.label);
        }
    }

    // Level grid.
    for (const LevelLine& l : LevelGrid(v.range, v.gap)) {
        const int y = map.Y(l.db);
        p.setPen(Pen(c.entries[kFreqGrid], l.db == 0 ? Qt::SolidLine : Qt::DotLine));
        p.drawLine(0, y, W - 1, y);
        // Centred on its line, kept clear of the top edge and the frequency labels.
        p.setPen(ToQColor(c.entries[kFreqText]));
        const int textY = std::clamp(y + fm.ascent() / 2 - 1, fm.ascent(), H - fm.height() - 2);
        p.drawText(3, textY, QString::fromStdString(l.label));
    }

    std::vector<PlotPoint> pts;
    std::vector<QPoint> buf;

    // Bands first, under every line: the region between each band's upper and lower curve.
    for (const BandCurve& b : in.bands) {
        if (b.upper.empty() || b.upper.size() != b.lower.size()) continue;
        QPolygon area;
        const auto add = [&](const CurvePoint& cp) {
            if (!std::isfinite(cp.db)) return;
            // Far outside the plot a level would overflow the pixel type.
            area << QPoint(map.X(std::clamp(cp.frequency, map.Fmin(), map.Fmax())),
                           std::clamp(map.Y(cp.db), -4 * H, 5 * H));
        };
        for (const CurvePoint& cp : b.upper) add(cp);
        for (auto it = b.lower.rbegin(); it != b.lower.rend(); ++it) add(*it);
        QColor fill = ToQColor(b.colour);
        fill.setAlpha(70);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawPolygon(area);
        p.setBrush(Qt::NoBrush);
    }

    // Stored traces under the live curve.
    for (const DrawableCurve& t : in.traces) {
        CurvePoints(map, t.points, pts);
        WidePolyline(p, t.colour, t.penWidth, pts, buf);
    }

    for (const BandCurve& b : in.bands) {
        if (!b.flagged.points.empty()) {
            CurvePoints(map, b.flagged.points, pts);
            p.setPen(Pen(b.flagged.colour, Qt::DashLine));
            Polyline(p, pts, buf);
        }
        CurvePoints(map, b.mean, pts);
        WidePolyline(p, b.colour, b.penWidth, pts, buf);
    }

    if (in.overlayShown) {
        CurvePoints(map, in.overlay.points, pts);
        WidePolyline(p, in.overlay.colour, in.overlay.penWidth, pts, buf);
    }

    if (in.valid) {
        if (v.phaseShown) {
            if (v.mode == AnalysisMode::Fft) {
                FftPhasePoints(map, in.bins, v.firstBin, v.binWidth, pts);
            } else {
                SmoothPhasePoints(map, in.records, v.smoothEnd, pts);
            }
            WidePolyline(p, c.entries[kFreqPhase], 1, pts, buf);
        }
        const bool fft = v.mode == AnalysisMode::Fft;
        const bool floor =
            in.floorShown && (fft ? !in.floorBins.empty() : !in.floorRecords.empty());
        if (floor) {
            // The floor as a shaded band from its line down to the bottom edge, with the line.
            if (fft) {
                FftCurvePoints(map, in.floorBins, v.firstBin, v.binWidth, in.fftSize,
                               in.levelReference, v.gain, false, pts);
            } else {
                SmoothCurvePoints(map, in.floorRecords, v.smoothEnd, in.levelReference, v.gain,
                                  false, pts);
            }
            if (!pts.empty()) {
                QPolygon band;
                band.reserve(static_cast<int>(pts.size()) + 2);
                for (const PlotPoint& pt : pts) band << QPoint(pt.x, pt.y);
                band << QPoint(pts.back().x, H) << QPoint(pts.front().x, H);
                QColor fill = ToQColor(c.entries[kFreqText]);
                fill.setAlpha(70);
                p.setPen(Qt::NoPen);
                p.setBrush(fill);
                p.drawPolygon(band);
                p.setBrush(Qt::NoBrush);
                WidePolyline(p, c.entries[kFreqText], 1, pts, buf);
            }
        }
        std::vector<int> records;
        if (fft) {
            FftCurvePoints(map, in.bins, v.firstBin, v.binWidth, in.fftSize, in.levelReference,
                           v.gain, false, pts, &records);
        } else {
            SmoothCurvePoints(map, in.records, v.smoothEnd, in.levelReference, v.gain, false, pts,
                              &records);
        }
        if (in.nearNoise.empty()) {
            WidePolyline(p, c.entries[kFreqCurve], v.penWidth, pts, buf);
        } else {
            // Runs of points on the same side of the 10 dB line, each drawn in its colour; a run
            // starts at the last point of the one before, so the curve stays joined.
            const uint32_t grey =
                Blend(c.entries[kFreqCurve],
                      in.paintBackground ? c.entries[kFreqBackground] : 0xFFFFFFu, 0.65);
            auto nearAt = [&](std::size_t i) {
                const auto r = static_cast<std::size_t>(records[i]);
                return r < in.nearNoise.size() && in.nearNoise[r] != 0;
            };
            std::vector<PlotPoint> run;
            std::size_t i = 0;
            while (i < pts.size()) {
                const bool near = nearAt(i);
                run.assign(1, pts[i > 0 ? i - 1 : 0]);
                if (i == 0) run.clear();
                std::size_t j = i;
                while (j < pts.size() && nearAt(j) == near) run.push_back(pts[j++]);
                WidePolyline(p, near ? grey : c.entries[kFreqCurve], v.penWidth, run, buf);
                i = j;
            }
        }
    }

    // Texts: marker read-out top left, overlay and calibration top right.
    const std::string marker = MarkerText(v, in);
    if (!marker.empty()) {
        // The column follows the record's frequency, so zooms and resizes keep it in place.
        const int mx = map.X(v.RecordFrequency(v.markerIndex, in.records));
        p.setPen(Pen(c.entries[kFreqMarker]));
        p.drawLine(mx, 0, mx, H - 1);
        p.setPen(ToQColor(c.entries[kFreqMarker]));
        p.drawText(40, fm.ascent() + 4, QString::fromUtf8(marker.c_str()));
    }
    int textY = fm.ascent() + 4;
    for (const std::string* s : {&in.overlayText, &in.calibrationText, &in.floorText}) {
        if (s->empty()) continue;
        const QString t = QString::fromStdString(*s);
        p.setPen(s == &in.overlayText ? ToQColor(in.overlay.colour)
                 : s == &in.floorText ? ToQColor(c.entries[kFreqText])
                                      : ToQColor(c.entries[kFreqStatus]));
        p.drawText(W - fm.horizontalAdvance(t) - 6, textY, t);
        textY += fm.height();
    }
    for (const BandCurve& b : in.bands) {
        for (std::size_t i = 0; i < b.legend.size(); ++i) {
            const QString t = QString::fromUtf8(b.legend[i].c_str());
            p.setPen(ToQColor(i == 0 ? b.colour : b.flagged.colour));
            p.drawText(W - fm.horizontalAdvance(t) - 6, textY, t);
            textY += fm.height();
        }
    }

    if (v.zooming && v.zoomEnd != v.zoomStart) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        const int x0 = std::min(v.zoomStart, v.zoomEnd);
        p.fillRect(x0, 0, std::abs(v.zoomEnd - v.zoomStart), H, Qt::white);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    p.restore();
}

}  // namespace fim
