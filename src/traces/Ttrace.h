#pragma once
// A stored trace: a SMOOTH frequency response loaded from a trace file, drawn over the live
// response for comparison. Five numbered traces exist; their file, colour and loaded state
// survive restarts as the settings value "Trace n". The trace manager window mirrors its
// three toggle buttons of a row in ShowDown, CentreDown and AverageDown.
//
// Thread: UI thread only. The settings tree and the prompter must outlive the trace.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "traces/TraceFile.h"

namespace fim {

class Prompter;
class SettingsTree;

constexpr std::size_t kTraceSettingsBytes = 212;
constexpr std::size_t kTraceNameBytes = 200;

// The 212-byte settings value of a numbered trace.
struct TraceSettingsBlock {
    std::string FileName;  // meaningful only when Loaded
    int32_t Colour = 0;
    bool Loaded = false;
};

// Layout: 0 name length (0 … 200), 1 … 200 name bytes (zero-filled), 201 padding,
// 204 colour (signed 32-bit LE), 208 loaded flag, 209 padding. A name longer than 200 bytes
// cannot be stored whole, so such a trace is stored as not loaded (a cut path would name
// another file).
std::vector<uint8_t> EncodeTraceSettings(const TraceSettingsBlock& block);
// A damaged name length (above 200) reads as "not loaded"; the colour is kept.
TraceSettingsBlock DecodeTraceSettings(std::span<const uint8_t> bytes);

class Ttrace {
  public:
    // Create: sets the defaults, then restores colour and loaded file from "Trace <number>"
    // when that value exists (a failed reload is reported and leaves the trace unloaded).
    Ttrace(int number, SettingsTree* settings, Prompter* prompter, uint32_t defaultColour);
    // Destroy: writes the settings value.
    virtual ~Ttrace();

    Ttrace(const Ttrace&) = delete;
    Ttrace& operator=(const Ttrace&) = delete;

    // Loads a trace file. A refused or unreadable file is reported through the prompter and
    // changes nothing. Returns whether the trace now holds the file.
    bool LoadFromFile(const std::string& path);

    void SetColour(uint32_t colour) { Colour = colour; }
    // Clear: level reference of the live spectrum; set: the trace's own level reference.
    void SetCentred(bool flag, double liveReference);
    // The name label's text: file name without folder and extension, or message 228.
    std::string GetName() const;
    double GetLowFrequencyLimit() const { return LowFrequencyLimit; }
    // OwnReference when the average toggle is down, else 0 (not part of the main trace).
    double GetAverageReference() const { return AverageDown ? OwnReference : 0.0; }
    // The record block; empty when its allocation failed.
    std::span<const SmoothRecord> GetRecords() const;
    // The toggle buttons are enabled exactly when a file is loaded.
    bool ButtonsEnabled() const { return Loaded; }

    // Drawing decision: when the trace is to be drawn (show toggle down and loaded) sets
    // DisplayReference (own level when centred, else the live one) and returns true.
    bool PrepareDraw(double liveReference);

    // Writes this trace's settings value (what Destroy writes).
    virtual void SaveSettings();

    std::string FileName;
    uint32_t Colour = 0;
    bool Loaded = false;
    bool Centred = false;
    double DisplayReference = 0.0;
    double OwnReference = 0.0;
    double LowFrequencyLimit = 50.0;
    int Number = 0;  // 1 … 5; 0 for the main trace

    bool ShowDown = false;
    bool CentreDown = false;
    bool AverageDown = false;

  protected:
    // The main trace's constructor: no numbered settings value.
    Ttrace(SettingsTree* settings, Prompter* prompter, uint32_t defaultColour);

    SmoothRecord* Block() { return records_.get(); }
    void WriteNumberedSettings();

    SettingsTree* settings_ = nullptr;
    Prompter* prompter_ = nullptr;

  private:
    void AllocateBlock();
    std::unique_ptr<SmoothRecord[]> records_;  // 300 records, 295 used
};

// File name without directory (either separator) and without its last four characters.
std::string TraceLabelFromPath(const std::string& path);

}  // namespace fim
