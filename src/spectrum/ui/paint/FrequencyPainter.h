#pragma once
// Painting of the frequency-response plot: grids, main curve, phase, overlay, stored traces, the
// "OVL:" and "CAL:" texts, the marker read-out and the zoom band. It takes a QPainter, the
// rectangle to fill and a mapper, so the same code paints the window, the printer page, a PNG of
// fimtool and the test images.
//
// Stored traces reach the painter as ready curves (frequency, dB, colour, pen width): whoever
// owns them rebuilds the list before each paint (TFFTDISPLAY::beforePaint).

#include <QColor>
#include <QRect>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/ui/paint/QtBoundary.h"
#include "core/SpectrumTypes.h"
#include "settings/SettingsRecords.h"
#include "spectrum/CalibrationStore.h"
#include "spectrum/FrequencyDisplay.h"
#include "spectrum/SpectrumComputer.h"

class QPainter;

namespace fim {

// Colour entries of the ten-colour set the plot uses (0x00BBGGRR each).
enum FrequencyColour : std::size_t {
    kFreqBackground = 0,
    kFreqGrid = 2,
    kFreqText = 3,
    kFreqCurve = 4,
    kFreqPhase = 5,
    kFreqOverlay = 7,
    kFreqMarker = 8,
    kFreqStatus = 9,
};

// Everything the plot shows besides the view state of FrequencyDisplay.
struct FrequencyPaintInput {
    bool valid = false;  // a spectrum is present
    // Main curve: FFT mode the display bins (N/2 + 1 records), SMOOTH mode the 295 records
    // (with the microphone correction already applied when it applies).
    std::span<const SpectrumRecord> bins;
    std::span<const SmoothRecord> records;
    int fftSize = 4096;
    double levelReference = 1.0;

    // Overlay (already relative to its own reference, with gain and inversion), or none.
    bool overlayShown = false;
    DrawableCurve overlay;
    std::string overlayText;      // "OVL: name" (+ " (INV)"), empty when none
    std::string calibrationText;  // "CAL: name", empty when none

    std::vector<DrawableCurve> traces;
    // Mean curves with their bands (a seat set), drawn on every paint like the traces.
    std::vector<BandCurve> bands;

    // The run's noise floor: the noise's display spectrum (FFT bins or SMOOTH records, as the
    // curve's), levelled against the curve's reference and drawn as a shaded band under it when
    // `floorShown`; `nearNoise` (one flag per record, empty for none) greys the curve where it
    // stands less than kNearNoiseDb above the floor. `floorText` names the floor in the plot.
    bool floorShown = false;
    std::span<const SpectrumRecord> floorBins;
    std::span<const SmoothRecord> floorRecords;
    std::vector<uint8_t> nearNoise;
    std::string floorText;

    ColorTable colours = ColorTable::Default();
    bool paintBackground = true;  // false on a colour printout
    std::string header;           // printout header line, empty on screen
};

// What the window (and fimtool's PNG) paints from the spectrum step and the file state: the
// display curve (SMOOTH: with the microphone correction when it applies, written into
// `micScratch`), the overlay and the "OVL:"/"CAL:" texts.
FrequencyPaintInput PaintInputFor(const SpectrumComputer& computer, const CalibrationStore& store,
                                  const FrequencyDisplay& view, const ColorTable& colours,
                                  std::vector<SmoothRecord>& micScratch);

// Adds the noise floor to `in` as the view asks for it: `noise` is the spectrum of the run's noise
// computed with the curve's input (null when there is no estimate), `periods` the periods it
// comes from. SMOOTH floors get the microphone correction the curve got (into `micScratch`).
void AddNoiseFloor(FrequencyPaintInput& in, const SpectrumComputer* noise, int periods,
                   const CalibrationStore& store, const FrequencyDisplay& view,
                   std::vector<SmoothRecord>& micScratch);

// Paints the plot into `rect`. `view` provides range, grids, marker and zoom band.
void PaintFrequencyPlot(QPainter& painter, const QRect& rect, const FrequencyDisplay& view,
                        const FrequencyPaintInput& in);

// The marker read-out of the current marker, or empty when none is set.
std::string MarkerText(const FrequencyDisplay& view, const FrequencyPaintInput& in);

}  // namespace fim
