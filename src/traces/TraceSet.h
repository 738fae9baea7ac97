#pragma once
// The six trace objects of the frequency-response window (traces 1 … 5 and the main trace) and
// what the window does with them on every repaint: rebuild the main trace from the live graph and
// the marked traces, then turn every shown trace into a curve of (frequency, level) points that
// the plot maps to pixels like its own curve.
//
// Thread: UI thread only. The settings tree and the prompter must outlive the set.

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "spectrum/FrequencyDisplay.h"
#include "traces/TMAINTRACE.h"
#include "traces/Ttrace.h"

namespace fim {

constexpr int kNumberedTraces = 5;
// Default colours 0x00BBGGRR: red, lime, yellow, blue, white; the main trace green.
constexpr std::array<uint32_t, kNumberedTraces> kTraceDefaultColours = {
    0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFFFFFF};
constexpr uint32_t kMainTraceDefaultColour = 0x008000;

// What the live graph contributes to the main trace and to the traces' level reference.
struct LiveGraph {
    // The live SMOOTH display spectrum (295 records); empty in FFT mode, where there is no
    // SMOOTH graph to average.
    std::span<const SmoothRecord> Smooth;
    double LowestValid = 0.0;     // Hz
    double LevelReference = 1.0;  // the live spectrum's level reference
    // The active microphone correction (record 0 holds its sample rate); empty when the
    // window's correction toggle is up.
    std::span<const SmoothRecord> Correction;
    double SampleRate = 44100.0;
};

// The plot the curves are drawn into.
struct TracePlotRange {
    double LowerLimit = 20.0;  // the effective lower display limit, Hz
    double UpperLimit = 20000.0;
    double GainOffset = 0.0;  // dB, added to every level as for the main curve
    int PenWidth = 1;
};

// Appends the points of a SMOOTH spectrum to `out`: the records from `from` Hz up to `to` Hz,
// each at 20·log10(magnitude / reference) + gain dB (negated before the gain when `invert`).
// Records with magnitude 0 or below are skipped; nothing is drawn for a reference that is not
// positive and finite.
void AppendSmoothCurve(std::span<const SmoothRecord> records, double reference, double from,
                       double to, double gain, bool invert, std::vector<CurvePoint>& out);

class TraceSet {
  public:
    // Creates the six objects; numbered traces restore colour and file from "Trace n", the main
    // trace its colour from "MainTrace".
    TraceSet(SettingsTree* settings, Prompter* prompter);
    // Destroys them; each writes its settings value.
    ~TraceSet();

    TraceSet(const TraceSet&) = delete;
    TraceSet& operator=(const TraceSet&) = delete;

    // Trace `number` (1 … 5).
    Ttrace& Trace(int number);
    const Ttrace& Trace(int number) const;
    TMAINTRACE& Main() { return *main_; }
    const TMAINTRACE& Main() const { return *main_; }
    std::span<Ttrace* const> Numbered() const { return numbered_; }

    // The trace manager's "Add current graph" toggle.
    bool AddCurrentGraph = false;

    // The names making up the main trace, as the trace manager lists them: the marked traces in
    // order, then message 230 when the current graph is added.
    std::vector<std::string> MainTraceMembers() const;

    // The repaint: rebuilds the main trace, then returns the curves to draw (shown traces 1 … 5
    // in order, then the main trace). The returned curves live until the next call.
    std::span<const DrawableCurve> Repaint(const LiveGraph& live, const TracePlotRange& plot);

    // Writes every trace's settings value (what destruction writes).
    void SaveSettings();

  private:
    std::array<std::unique_ptr<Ttrace>, kNumberedTraces> traces_;
    std::array<Ttrace*, kNumberedTraces> numbered_{};
    std::unique_ptr<TMAINTRACE> main_;
    // Reused from repaint to repaint, so painting allocates nothing once warmed up.
    std::array<DrawableCurve, kNumberedTraces + 1> curves_;
};

}  // namespace fim
