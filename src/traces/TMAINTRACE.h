#pragma once
// The main trace: a running average of the live SMOOTH response and of the stored traces the
// user marks, built again on every repaint of the frequency-response window. Each addition is
// the geometric mean of the average so far and the new spectrum rescaled to the average's
// level, so every addition weighs as much as everything before it (in dB).
//
// Thread: UI thread only.

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "traces/Ttrace.h"

namespace fim {

class TMAINTRACE : public Ttrace {
  public:
    // Create: reads the colour from "MainTrace"; the average is empty.
    TMAINTRACE(SettingsTree* settings, Prompter* prompter, uint32_t defaultColour);
    // Destroy: writes "MainTrace".
    ~TMAINTRACE() override;

    // Starts the average with spectrum S (295 records) valid from `lowest` Hz: copies the
    // records from the first at or above `lowest` up to and including the first at or above
    // 23000 Hz. Returns false (and leaves the average empty) when no record lies at or above
    // `lowest`.
    bool StartAverage(std::span<const SmoothRecord> S, double lowest);
    // Adds S with level reference R (nothing happens for R ≤ 0, a trace not marked for the
    // average); starts the average when it is empty.
    void AddToAverage(std::span<const SmoothRecord> S, double R, double lowest);
    void ClearAverage();
    // Applies a microphone correction (record 0: sample rate in the frequency field; record
    // k + 1 corrects main record k by −dB and −phase) when it was made for `sampleRate`.
    // Returns whether it was applied.
    bool ApplyCorrection(std::span<const SmoothRecord> C, double sampleRate);
    // Writes the trace file (complete, then renamed over the target). A failure is reported
    // through the prompter and leaves the target untouched.
    bool SaveToFile(const std::string& path, double sampleRate);

    // Drawing decision for the main trace: show toggle down and an average present.
    bool PrepareDrawMain() const { return ShowDown && AverageCount > 0; }
    // The show button is enabled while an average exists.
    bool ShowEnabled() const { return showEnabled_; }
    // The flip toggle ("invert main trace") is CentreDown.
    bool Flipped() const { return CentreDown; }

    void SaveSettings() override;

    int32_t AverageCount = 0;
    double MaxLowest = 0.0;

  private:
    bool showEnabled_ = false;
};

// Rebuilds the main trace as the frequency-response window does before drawing: started from
// the live SMOOTH display spectrum when "Add current graph" is down (and corrected with the
// microphone correction when `correction` is given), else cleared; then traces 1 … 5 are added
// with their average references.
void RebuildMainTrace(TMAINTRACE& main, std::span<Ttrace* const> traces, bool addCurrentGraph,
                      std::span<const SmoothRecord> live, double liveLowest,
                      std::span<const SmoothRecord> correction, double sampleRate);

}  // namespace fim
