#pragma once
// The logic of the file-set dialog TFileeingabe: the calibration, microphone-correction and
// overlay files of one user macro and the flags that use them. Files that no longer exist are
// cleared when the dialog opens; a plain-FFT calibration file is taken only when its FFT size is
// the macro's. OK writes the choices into the macro, Abort leaves it as it was.
//
// Thread: UI thread only.

#include <functional>
#include <string>

#include "macros/UserMacro.h"

namespace fim {

class Prompter;

class FileSetModel {
  public:
    // The longest path the macro record holds.
    static constexpr std::size_t kMaxPath = 255;

    enum class Slot { Calibration, Microphone, Overlay };

    // `fileExists` defaults to std::filesystem.
    FileSetModel(UserMacro& macro, Prompter& prompter,
                 std::function<bool(const std::string&)> fileExists = {});

    // The working copy the controls show.
    std::string calFile, micFile, overlayFile;
    bool useCal = false, useMic = false, useOverlay = false, overlayOption2 = false;

    // Opening: takes the macro's files; a file that no longer exists is cleared here and its
    // flags are cleared in the macro.
    void Load();

    // The caption: the macro's name.
    const std::string& MacroName() const { return macro_.name; }
    // A slot's file name without its folder ("" when none).
    std::string ShownName(Slot slot) const;
    // Whether a slot's check boxes can be used (it names a file).
    bool SlotEnabled(Slot slot) const { return !Path(slot).empty(); }

    // Lets the user choose a slot's file with an open dialog; true when a file was taken.
    bool Choose(Slot slot);

    // OK: writes the three paths and the four flags into the macro.
    void Ok();

  private:
    std::string& Path(Slot slot);
    const std::string& Path(Slot slot) const;
    bool Accept(Slot slot, const std::string& path);

    UserMacro& macro_;
    Prompter& prompter_;
    std::function<bool(const std::string&)> fileExists_;
};

}  // namespace fim
