#pragma once
// The countdown clock of the main window's tool bar: the time of day, a countdown to a time of
// day, or the time since a reference moment, with an action when the countdown ends (play a
// sound file, flash the clock, or nothing), and the rules of its set-up dialog.
//
// Times are days since 1899-12-30 in local time (the integer part a date, the fraction the time
// of day), as stored in the "Timinginfo" record. The clock reads the time through `now`, so tests
// control it. Thread: UI thread only.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "settings/SettingsRecords.h"

namespace fim {

class SoundFilePlayer;

enum class ClockColour { ButtonFace, Yellow };

// "hh:nn:ss" (or "hh:nn") of the time-of-day part of `days`; hours wrap after 24.
std::string FormatClockTime(double days, bool seconds);
// "dd.mm.yyyy hh:nn:ss" of a moment.
std::string FormatClockMoment(double days);
// A time of day "h:nn" or "hh:nn" (blanks and '_' of the edit mask ignored) as a fraction of a
// day; nullopt when it is not a time of day.
std::optional<double> ParseClockTime(std::string_view text);

class CountdownClock {
  public:
    CountdownClock(ClockSettings& settings, std::function<double()> now, SoundFilePlayer* player);

    // One tick of the 700 ms timer: the text for the current mode, the countdown's end, and the
    // alarm's action while the alarm is set.
    void Tick();
    // A click on the clock before its dialog opens: the alarm stops, the colour returns.
    void Click();

    // A countdown of `seconds` from now beside the clock's own mode (the pause between the seats
    // of a seat set): while it runs the text shows the time left; the tick that reaches zero
    // shows 00:00:00 and calls `done` once, and the clock shows its own mode again.
    void StartInterval(double seconds, std::function<void()> done);
    void CancelInterval() { intervalDone_ = nullptr; }
    bool IntervalRunning() const { return static_cast<bool>(intervalDone_); }

    const std::string& Text() const { return text_; }
    ClockColour Colour() const { return colour_; }
    bool Alarm() const { return alarm_; }
    // "Referenz: " and the reference moment.
    std::string Hint() const;
    const ClockSettings& Settings() const { return settings_; }

    // --- the set-up dialog ---
    struct DialogState {
        int mode = 0;
        int action = 1;
        std::string time;       // "hh:nn" for the time field
        std::string soundFile;  // the stored file when it exists, else empty
    };
    // What the dialog shows when it opens: a stored sound file that does not exist turns
    // "play sound" into "flash clock".
    DialogState OpenDialog(const std::function<bool(const std::string&)>& fileExists) const;
    // The action a choice in the dialog leaves: "play sound" needs an existing file.
    static int ChooseAction(int action, bool soundFileExists);
    // OK: mode, reference (count down: the time entered, as a time of day; otherwise now, so
    // count-up counts from OK), action and sound file (up to 255 characters).
    void Accept(int mode, int action, std::string_view time, const std::string& soundFile);

  private:
    void RunAlarm();

    ClockSettings& settings_;
    std::function<double()> now_;
    SoundFilePlayer* player_;
    std::string text_ = "0:00";
    ClockColour colour_ = ClockColour::ButtonFace;
    bool alarm_ = false;
    double intervalEnd_ = 0.0;  // days, like now
    std::function<void()> intervalDone_;
};

}  // namespace fim
