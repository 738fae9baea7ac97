#pragma once
// Saving the impulse response (RLP) as a time file or a 16-bit mono WAVE, and loading either back
// into RLP, with the program's refusals shown through the Prompter. A refused file changes
// nothing: the current response, rate and peak stay as they were.
//
// The window side (dialogs' hourglass, display range, repaint, status panels) belongs to the main
// window; it calls these and acts on the result.

#include <string>

#include "base/Prompter.h"
#include "base/RecentList.h"
#include "core/MeasurementState.h"

namespace fim {

class ImpulseFiles {
  public:
    // Filter indices of the time-file dialogs ("MIV Time File|*.MTF|WAVE File|*.WAV").
    static constexpr int kTimeFile = 1;
    static constexpr int kWaveFile = 2;

    ImpulseFiles(MeasurementState& state, Prompter& prompter)
        : state_(state), prompter_(prompter) {}

    // Writes the response: time file (filter 1) or WAVE (filter 2). The MlsSize samples are
    // written as they are (a measurement's last one is already 0; a loaded file's is data). A WAVE
    // is normalised so that the peak becomes ±32766; with a peak of 0 there is nothing to normalise
    // and the export is refused. False when refused or the write failed (both shown).
    bool SaveImpulse(const std::string& path, int filterIndex);

    // Loads a time file (filter 1) or a WAVE (filter 2) into RLP. On success MlsSize, the peak,
    // ImpulseValid and possibly SampleRate change and PinkMls is cleared. A missing file does
    // nothing (false, no message); refusals show their box and return false.
    bool LoadImpulse(const std::string& path, int filterIndex);

    // The two menu commands: dialog (remembered folder and filter), then save/load; a loaded file
    // joins the recent list. In the save dialog the chosen filter decides the format and the
    // extension of a bare name, a typed ".MTF" or ".WAV" decides over it. False when cancelled
    // or refused.
    bool SaveTimeFileCommand();
    bool LoadTimeFileCommand();
    // A recent-file item: ".WAV"/".wav" names load as WAVE, everything else as time file.
    bool LoadRecentFile(const std::string& path);
    static int FilterIndexForName(const std::string& path);

    // AddRecentFile: a name not yet listed goes first, the others shift down.
    void AddRecentFile(const std::string& path) { recent.Add(path); }

    RecentList recent{4, RecentList::Policy::KeepExisting};
    int filterIndex = kWaveFile;  // preselected in the dialogs ("FILEMODE")
    std::string folder;           // last folder chosen ("FILES")
    std::string loadedName;       // file name (without folder) of the last loaded file

  private:
    FileDialogRequest DialogRequest(int title) const;
    bool Refuse(const std::string& caption, const std::string& text);
    bool LoadTime(const std::string& path);
    bool LoadWave(const std::string& path);
    // Copies `count` samples into RLP, sets MlsSize, the peak and ImpulseValid.
    template <typename T>
    void Install(const T* samples, std::size_t count);

    MeasurementState& state_;
    Prompter& prompter_;
};

}  // namespace fim
