#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/SoundFilePlayer.h"
#include "mainwindow/CountdownClock.h"
#include "settings/SettingsRecords.h"

namespace fim {
namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kDay = 46000.0;  // 2025-12-09

double At(int h, int m, double s = 0.0) { return kDay + (h * 3600 + m * 60 + s) * kSecond; }

// Records what the clock asked to play; answers from a script (true once it "plays").
class ScriptedPlayer : public SoundFilePlayer {
  public:
    bool Play(const std::string& path) override {
        played.push_back(path);
        if (answers.empty()) return true;
        const bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    std::vector<bool> answers;
    std::vector<std::string> played;
};

class ClockTest : public ::testing::Test {
  protected:
    ClockSettings settings = DefaultClockSettings(At(8, 0));
    double now = At(8, 0);
    ScriptedPlayer player;
    CountdownClock clock{settings, [this] { return now; }, &player};
};

TEST_F(ClockTest, SystemTimeShowsHoursAndMinutes) {
    now = At(9, 5, 59.6);
    clock.Tick();
    EXPECT_EQ(clock.Text(), "09:05");
    now = At(9, 5, 59.9996);
    clock.Tick();
    EXPECT_EQ(clock.Text(), "09:06");  // whole milliseconds first, then the minute
    now = At(23, 59, 59.0);
    clock.Tick();
    EXPECT_EQ(clock.Text(), "23:59");
    EXPECT_FALSE(clock.Alarm());
}

TEST_F(ClockTest, CountdownToATimeOfDayAlreadyPastAlarmsOnTheFirstTick) {
    now = At(15, 0);
    clock.Accept(1, 1, "14:30", "");
    EXPECT_EQ(settings.mode, 1);
    EXPECT_DOUBLE_EQ(settings.reference, (14 * 60 + 30) / 1440.0);  // no date
    now = At(15, 0, 0.7);
    clock.Tick();
    EXPECT_TRUE(clock.Alarm());
    EXPECT_EQ(settings.mode, 0);
    EXPECT_EQ(clock.Text(), "00:00:00");
    EXPECT_EQ(clock.Colour(), ClockColour::Yellow);
    clock.Tick();
    EXPECT_EQ(clock.Text(), "15:00");  // system time from now on
}

TEST_F(ClockTest, CountdownEndsWithinASecondAndFlashesUntilClicked) {
    now = At(10, 0);
    clock.Accept(1, 1, "10:02", "");
    clock.Tick();
    EXPECT_EQ(clock.Text(), "00:02:00");
    now = At(10, 1, 1.0);
    clock.Tick();
    EXPECT_EQ(clock.Text(), "00:00:59");
    now = At(10, 1, 59.0);
    clock.Tick();
    EXPECT_FALSE(clock.Alarm());  // one second left
    EXPECT_EQ(clock.Text(), "00:00:01");
    now = At(10, 1, 59.2);  // 0.8 s left: within the end margin
    clock.Tick();
    ASSERT_TRUE(clock.Alarm());
    EXPECT_EQ(clock.Text(), "00:00:00");
    // Flashing goes on, tick after tick, until the click; nothing is played.
    ClockColour last = clock.Colour();
    for (int i = 0; i < 50; ++i) {
        now += 0.7 * kSecond;
        clock.Tick();
        ASSERT_NE(clock.Colour(), last) << i;
        last = clock.Colour();
    }
    EXPECT_TRUE(clock.Alarm());
    clock.Click();
    EXPECT_FALSE(clock.Alarm());
    EXPECT_EQ(clock.Colour(), ClockColour::ButtonFace);
    clock.Tick();
    clock.Tick();
    EXPECT_EQ(clock.Colour(), ClockColour::ButtonFace);
    EXPECT_TRUE(player.played.empty());
}

TEST_F(ClockTest, CountUpStartsAtOkAndWrapsAfterADay) {
    now = At(12, 0, 30.0);
    clock.Accept(2, 1, "__:__", "");
    EXPECT_DOUBLE_EQ(settings.reference, now);
    clock.Tick();
    EXPECT_EQ(clock.Text(), "00:00:00");
    now += (3600 + 2 * 60 + 3) * kSecond;
    clock.Tick();
    EXPECT_EQ(clock.Text(), "01:02:03");
    now = settings.reference + (23 * 3600 + 59 * 60 + 59) * kSecond;
    clock.Tick();
    EXPECT_EQ(clock.Text(), "23:59:59");
    now = settings.reference + 1.0 + 5 * kSecond;
    clock.Tick();
    EXPECT_EQ(clock.Text(), "00:00:05");
    EXPECT_FALSE(clock.Alarm());
}

TEST_F(ClockTest, PlaySoundRetriesUntilPlayingStarted) {
    now = At(10, 0);
    clock.Accept(1, 0, "09:00", "/sounds/gong.wav");
    player.answers = {false, false, true};  // busy twice (a sound still playing), then starts
    clock.Tick();
    EXPECT_TRUE(clock.Alarm());
    clock.Tick();
    EXPECT_TRUE(clock.Alarm());
    clock.Tick();
    EXPECT_FALSE(clock.Alarm());
    clock.Tick();
    EXPECT_EQ(player.played, std::vector<std::string>(3, "/sounds/gong.wav"));
    EXPECT_EQ(clock.Colour(), ClockColour::ButtonFace);
}

TEST_F(ClockTest, DoNothingClearsTheAlarm) {
    now = At(10, 0);
    clock.Accept(1, 2, "09:00", "");
    clock.Tick();
    EXPECT_FALSE(clock.Alarm());
    EXPECT_EQ(clock.Colour(), ClockColour::ButtonFace);
    EXPECT_TRUE(player.played.empty());
}

TEST_F(ClockTest, DialogTurnsPlaySoundIntoFlashWithoutAnExistingFile) {
    settings.action = 0;
    settings.soundFile = "/gone/alarm.wav";
    settings.mode = 0;
    now = At(7, 45, 10.0);
    auto exists = [](const std::string& p) { return p == "/here/alarm.wav"; };
    CountdownClock::DialogState d = clock.OpenDialog(exists);
    EXPECT_EQ(d.action, 1);
    EXPECT_TRUE(d.soundFile.empty());
    EXPECT_EQ(d.time, "07:45");     // system time: the current time
    EXPECT_EQ(settings.action, 0);  // only OK stores

    settings.soundFile = "/here/alarm.wav";
    settings.mode = 1;
    settings.reference = 3.0 + (18 * 60 + 5) / 1440.0;
    d = clock.OpenDialog(exists);
    EXPECT_EQ(d.action, 0);
    EXPECT_EQ(d.soundFile, "/here/alarm.wav");
    EXPECT_EQ(d.time, "18:05");  // the reference's time of day
    EXPECT_EQ(d.mode, 1);

    EXPECT_EQ(CountdownClock::ChooseAction(0, false), 1);
    EXPECT_EQ(CountdownClock::ChooseAction(0, true), 0);
    EXPECT_EQ(CountdownClock::ChooseAction(2, false), 2);
}

TEST_F(ClockTest, UnreadableCountdownTimeEndsOnTheNextTick) {
    now = At(10, 0);
    clock.Accept(1, 1, "25:00", std::string(300, 'x'));
    EXPECT_DOUBLE_EQ(settings.reference, now);
    EXPECT_EQ(settings.soundFile.size(), 255u);
    now += 0.7 * kSecond;
    clock.Tick();
    EXPECT_TRUE(clock.Alarm());
}

TEST_F(ClockTest, CountdownResumesAfterARestart) {
    now = At(20, 0);
    clock.Accept(1, 1, "20:30", "");
    const std::vector<uint8_t> stored = EncodeClockSettings(settings);
    ClockSettings reloaded = DecodeClockSettings(stored, At(20, 10) + 1.0);  // the next day
    double later = At(20, 10) + 1.0;
    CountdownClock restarted(
        reloaded, [&later] { return later; }, nullptr);
    restarted.Tick();
    EXPECT_EQ(restarted.Text(), "00:20:00");
}

TEST(ClockTexts, ParseAndFormat) {
    EXPECT_DOUBLE_EQ(*ParseClockTime("9:05"), (9 * 60 + 5) / 1440.0);
    EXPECT_DOUBLE_EQ(*ParseClockTime("_9:05"), (9 * 60 + 5) / 1440.0);
    EXPECT_DOUBLE_EQ(*ParseClockTime("23:59"), (23 * 60 + 59) / 1440.0);
    for (const char* bad : {"24:00", "12:60", "12:5_", "", "__:__", "1205", "1:2:3", "a1:00"}) {
        EXPECT_FALSE(ParseClockTime(bad)) << bad;
    }
    EXPECT_EQ(FormatClockMoment(0.0), "30.12.1899 00:00:00");
    EXPECT_EQ(FormatClockMoment(45000.75), "15.03.2023 18:00:00");
    EXPECT_EQ(FormatClockMoment(45000.0 - 1e-9), "15.03.2023 00:00:00");  // rounds to the ms
    ClockSettings s = DefaultClockSettings(45000.75);
    CountdownClock c(
        s, [] { return 0.0; }, nullptr);
    EXPECT_EQ(c.Hint(), "Referenz: 15.03.2023 18:00:00");
}

TEST_F(ClockTest, IntervalCountsDownAcrossMidnightThenCallsItsEndOnce) {
    settings.mode = 2;  // count up: its own text returns after the interval
    now = At(23, 59, 50);
    settings.reference = now;
    int ends = 0;
    clock.StartInterval(20.0, [&] { ++ends; });
    clock.Tick();
    EXPECT_EQ(clock.Text(), "00:00:20");
    now += 15 * kSecond;  // past midnight: the interval counts real time, not the time of day
    clock.Tick();
    EXPECT_EQ(clock.Text(), "00:00:05");
    EXPECT_TRUE(clock.IntervalRunning());
    now += 5 * kSecond;
    clock.Tick();
    EXPECT_EQ(clock.Text(), "00:00:00");
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(clock.IntervalRunning());
    clock.Tick();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(clock.Text(), "00:00:20");  // counting up again
    EXPECT_EQ(settings.mode, 2);

    // A cancelled interval never calls its end.
    clock.StartInterval(1.0, [&] { ++ends; });
    clock.CancelInterval();
    now += 2 * kSecond;
    clock.Tick();
    EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace fim
