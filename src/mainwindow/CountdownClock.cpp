#include "mainwindow/CountdownClock.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "audio/SoundFilePlayer.h"

namespace fim {

namespace {

// A countdown ends within this much of zero (0.864 s): the 700 ms timer never steps over it.
constexpr double kCountdownEnd = 0.00001;
constexpr int64_t kMsPerDay = 86400000;

double TimeOfDay(double days) { return days - std::floor(days); }

std::string TwoDigits(int64_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d", static_cast<int>(v));
    return buf;
}

}  // namespace

std::string FormatClockTime(double days, bool seconds) {
    if (!std::isfinite(days)) days = 0.0;
    // Whole milliseconds first, so 0.99999 s past a second does not show the second before.
    int64_t ms = static_cast<int64_t>(std::nearbyint(TimeOfDay(days) * kMsPerDay)) % kMsPerDay;
    const int64_t h = ms / 3600000;
    const int64_t n = ms / 60000 % 60;
    const int64_t s = ms / 1000 % 60;
    std::string t = TwoDigits(h) + ":" + TwoDigits(n);
    if (seconds) t += ":" + TwoDigits(s);
    return t;
}

std::string FormatClockMoment(double days) {
    if (!std::isfinite(days)) days = 0.0;
    // Calendar date of the day number (days since 1899-12-30 = 25569 days before 1970-01-01).
    int64_t ms = static_cast<int64_t>(std::nearbyint(days * kMsPerDay));
    int64_t day = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    const double fraction = static_cast<double>(ms - day * kMsPerDay) / kMsPerDay;
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    int64_t z = day - 25569 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t d = doy - (153 * mp + 2) / 5 + 1;
    const int64_t m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    return TwoDigits(d) + "." + TwoDigits(m) + "." + std::to_string(y) + " " +
           FormatClockTime(fraction, true);
}

std::optional<double> ParseClockTime(std::string_view text) {
    std::string t;
    for (char c : text) {
        if (c != ' ' && c != '_') t += c;
    }
    const auto colon = t.find(':');
    if (colon == std::string::npos || colon == 0 || colon > 2 || t.size() != colon + 3) {
        return std::nullopt;
    }
    int h = 0;
    int m = 0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (i == colon) continue;
        if (t[i] < '0' || t[i] > '9') return std::nullopt;
        int& v = i < colon ? h : m;
        v = v * 10 + (t[i] - '0');
    }
    if (h > 23 || m > 59) return std::nullopt;
    return (h * 60 + m) / 1440.0;
}

CountdownClock::CountdownClock(ClockSettings& settings, std::function<double()> now,
                               SoundFilePlayer* player)
    : settings_(settings), now_(std::move(now)), player_(player) {}

void CountdownClock::Tick() {
    const double now = now_();
    switch (settings_.mode) {
        case 1: {
            // Only times of day count: a time already past today ends the countdown at once.
            double remaining = TimeOfDay(settings_.reference) - TimeOfDay(now);
            if (remaining < kCountdownEnd) {
                alarm_ = true;
                settings_.mode = 0;
                remaining = 0.0;  // the ending tick shows 00:00:00, not the time overshot
            }
            text_ = FormatClockTime(remaining, true);
            break;
        }
        case 2:
            text_ = FormatClockTime(now - settings_.reference, true);
            break;
        default:
            text_ = FormatClockTime(now, false);
            break;
    }
    if (alarm_) RunAlarm();
    if (intervalDone_) {
        double remaining = intervalEnd_ - now;
        if (remaining < kCountdownEnd) {
            text_ = FormatClockTime(0.0, true);
            // Cleared before the call: `done` may start the next interval.
            std::function<void()> done = std::move(intervalDone_);
            intervalDone_ = nullptr;
            done();
            return;
        }
        text_ = FormatClockTime(remaining, true);
    }
}

void CountdownClock::StartInterval(double seconds, std::function<void()> done) {
    intervalEnd_ = now_() + std::max(0.0, seconds) / 86400.0;
    intervalDone_ = std::move(done);
}

void CountdownClock::RunAlarm() {
    switch (settings_.action) {
        case 0:
            // A sound that cannot start now is tried again on the next tick.
            if (player_ && player_->Play(settings_.soundFile)) alarm_ = false;
            break;
        case 1:
            colour_ =
                colour_ == ClockColour::Yellow ? ClockColour::ButtonFace : ClockColour::Yellow;
            break;
        default:
            alarm_ = false;
            break;
    }
}

void CountdownClock::Click() {
    alarm_ = false;
    colour_ = ClockColour::ButtonFace;
}

std::string CountdownClock::Hint() const {
    return "Referenz: " + FormatClockMoment(settings_.reference);
}

CountdownClock::DialogState CountdownClock::OpenDialog(
    const std::function<bool(const std::string&)>& fileExists) const {
    DialogState d;
    d.mode = settings_.mode;
    d.time = FormatClockTime(settings_.mode == 0 ? now_() : settings_.reference, false);
    const bool exists =
        !settings_.soundFile.empty() && fileExists && fileExists(settings_.soundFile);
    if (exists) d.soundFile = settings_.soundFile;
    d.action = ChooseAction(settings_.action, exists);
    return d;
}

int CountdownClock::ChooseAction(int action, bool soundFileExists) {
    if (action < 0 || action > 2) return 1;
    return action == 0 && !soundFileExists ? 1 : action;
}

void CountdownClock::Accept(int mode, int action, std::string_view time,
                            const std::string& soundFile) {
    settings_.mode = static_cast<uint16_t>(mode >= 0 && mode <= 2 ? mode : 0);
    if (settings_.mode == 1) {
        // A time of day without a date; an unreadable entry ends the countdown on the next tick.
        settings_.reference = ParseClockTime(time).value_or(now_());
    } else {
        settings_.reference = now_();
    }
    settings_.action = action >= 0 && action <= 2 ? action : 1;
    settings_.soundFile = soundFile.substr(0, 255);
}

}  // namespace fim
