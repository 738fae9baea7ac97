#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "../audio/RunTestRig.h"
#include "audio/VirtualRoom.h"
#include "macros/SeatRun.h"
#include "spectrum/SpectrumComputer.h"
#include "spectrum/SpectrumFiles.h"

namespace fim {
namespace {

namespace fs = std::filesystem;
using namespace fim::test;

// Seat sets measured through the real run controller on the Virtual Room (fast mode), with a
// host that computes each seat's SMOOTH spectrum as the frequency window does and records the
// countdowns and cues the window would run.
class SeatRunTest : public RunControllerTest, public SeatRunHost {
  protected:
    void SetUp() override {
        RunControllerTest::SetUp();
        base.realTime = false;
        base.distance = 2.0;
        base.seed = 11;
        room = std::make_unique<VirtualRoom>(base);
        Use(*room, kVirtualRoomName);
        replay = std::make_unique<MacroReplay>(*controller, s, prompter, view, host);
        // A quick SMOOTH macro: order 14, two averages; Direct Electric stays a plain FFT one.
        macros[2].fftCode = UserMacro::kSmoothFftCode;
        macros[2].mlsOrder = 14;
        macros[2].averaging = 2;
        macros[2].window.timeAfter = 40000;
        replay->SetMacros(&macros);
        seats = std::make_unique<SeatRun>(*replay, *controller, s, prompter, *this);
        seats->SetMacros(&macros);
        view.onComplete = [this] { seats->SeatMeasured(); };
        dir = fs::temp_directory_path() /
              ("seatrun-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
    }
    void TearDown() override {
        seats.reset();
        replay.reset();
        s.DevicesClosed = true;  // releasing closes them, before their room goes
        controller->MIR1Click();
        controller.reset();
        fs::remove_all(dir);
    }

    // --- SeatRunHost ---
    void PrepareSeat(int seat) override {
        prepared.push_back(seat);
        RoomParameters p = base;
        if (seat == oddSeat) {
            p.distance = 20.0;
            p.reverbTime = 2.5;
        }
        MoveVirtualSeat(*controller, s, *room, p, seat);
    }
    std::optional<SeatSpectrum> MeasuredSpectrum() override {
        if (host.shownWindows.empty() || !host.shownWindows.back()) return std::nullopt;
        SpectrumInput in;
        in.impulse = s.buffers.RLPd();
        in.impulseCount = static_cast<std::size_t>(s.MlsPeriod());
        in.viewStart = host.shownWindows.back()->start;
        in.viewEnd = host.shownWindows.back()->end;
        in.mode = AnalysisMode::Smooth;
        in.sampleRate = s.SampleRate;
        in.smoothingWidth = host.choice.smoothingWidth;
        if (!computer.ComputeSpectrum(in, nullptr)) return std::nullopt;
        SeatSpectrum seat;
        seat.lowestFrequency = computer.LowestValidFrequency();
        seat.sampleRate = computer.SampleRate();
        std::copy_n(computer.SmoothDisplay().begin(), kSmoothRecords, seat.records.begin());
        return seat;
    }
    void StartCountdown(int seconds) override { countdowns.push_back(seconds); }
    void CancelCountdown() override { ++cancelled; }
    void Cue(SeatCue cue) override { cues.push_back(cue); }

    SeatRunPlan Plan(int n) {
        SeatRunPlan plan;
        plan.macro = 3;
        plan.seats = n;
        plan.moveSeconds = 5;
        plan.folder = (dir / "Stalls").string();
        return plan;
    }
    // Measures the seat that is due and lets its countdown run out.
    void MeasureAndMove() {
        Pump();
        ASSERT_FALSE(s.RunActive);
        for (const auto& box : prompter.shown) ADD_FAILURE() << box.caption << ": " << box.text;
        seats->CountdownFinished();
    }
    std::vector<fs::path> SeatFiles() const {
        std::vector<fs::path> out;
        if (!fs::exists(dir / "Stalls")) return out;
        for (const auto& e : fs::directory_iterator(dir / "Stalls")) {
            if (e.path().filename().string().find(" seat ") != std::string::npos)
                out.push_back(e.path());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    RoomParameters base;
    std::unique_ptr<VirtualRoom> room;
    UserMacroBlock macros = FactoryUserMacros();
    std::unique_ptr<MacroReplay> replay;
    std::unique_ptr<SeatRun> seats;
    SpectrumComputer computer;
    fs::path dir;
    int oddSeat = -1;
    std::vector<int> prepared, countdowns;
    std::vector<SeatCue> cues;
    int cancelled = 0;
};

TEST_F(SeatRunTest, FourSeatsGiveTheEqualWeightMeanOfTheirSavedFiles) {
    base.seatStep = 2.0;  // seats at 2, 4, 6 and 8 m
    ASSERT_TRUE(seats->Start(Plan(4)));
    for (int k = 0; k < 4; ++k) MeasureAndMove();
    EXPECT_EQ(seats->phase(), SeatRun::Phase::Finished);
    EXPECT_EQ(prepared, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(countdowns, (std::vector<int>{5, 5, 5}));
    EXPECT_EQ(cues, (std::vector<SeatCue>{SeatCue::NextSeat, SeatCue::NextSeat, SeatCue::NextSeat,
                                          SeatCue::SetDone}));
    EXPECT_FALSE(controller->Repeat);
    EXPECT_EQ(room->Parameters().distance, 8.0);

    const auto files = SeatFiles();
    ASSERT_EQ(files.size(), 4u);
    std::vector<SmoothSpectrumFile> read(4);
    for (std::size_t k = 0; k < 4; ++k)
        ASSERT_EQ(ReadSmoothSpectrum(files[k].string(), read[k]), SpectrumFileStatus::Ok);
    SmoothSpectrumFile meanFile;
    ASSERT_EQ(ReadSmoothSpectrum((dir / "Stalls" / "Stalls mean.SMR").string(), meanFile),
              SpectrumFileStatus::Ok);
    EXPECT_TRUE(fs::exists(dir / "Stalls" / "Stalls.txt"));

    const SeatStatistics stats = seats->Set().Compute();
    int compared = 0;
    for (std::size_t i = 0; i + 1 < static_cast<std::size_t>(kSmoothRecords); ++i) {
        double sum = 0.0;
        for (const auto& f : read) sum += 20.0 * std::log10(f.records[i].Magnitude);
        if (!std::isfinite(sum)) continue;
        EXPECT_NEAR(stats.meanDb[i], sum / 4.0, 1e-9) << "record " << i;
        EXPECT_NEAR(20.0 * std::log10(meanFile.records[i].Magnitude), sum / 4.0, 1e-9);
        ++compared;
    }
    EXPECT_GT(compared, 250);
    // The seats really differ: farther seats hear less at 1 kHz.
    std::size_t k1 = 0;
    while (read[0].records[k1].Frequency < 1000.0) ++k1;
    EXPECT_GT(read[0].records[k1].Magnitude, 2.0 * read[3].records[k1].Magnitude);
}

TEST_F(SeatRunTest, TheSeatInAnotherRoomIsTheFlaggedOne) {
    oddSeat = 1;
    ASSERT_TRUE(seats->Start(Plan(3)));
    for (int k = 0; k < 3; ++k) MeasureAndMove();
    ASSERT_EQ(seats->Set().size(), 3u);
    EXPECT_EQ(seats->Set().Compute().farthest, 1);
}

TEST_F(SeatRunTest, StopKeepsTheSeatsMeasuredAndTheirMean) {
    ASSERT_TRUE(seats->Start(Plan(4)));
    MeasureAndMove();
    Pump();
    ASSERT_EQ(seats->phase(), SeatRun::Phase::CountingDown);
    seats->Stop();
    EXPECT_EQ(cancelled, 1);
    EXPECT_EQ(seats->phase(), SeatRun::Phase::Finished);
    // A countdown that still arrives measures nothing more.
    seats->CountdownFinished();
    EXPECT_FALSE(s.RunActive);
    EXPECT_EQ(prepared.size(), 2u);

    ASSERT_EQ(SeatFiles().size(), 2u);
    const SeatStatistics stats = seats->Set().Compute();
    SmoothSpectrumFile a, b;
    ASSERT_EQ(ReadSmoothSpectrum(SeatFiles()[0].string(), a), SpectrumFileStatus::Ok);
    ASSERT_EQ(ReadSmoothSpectrum(SeatFiles()[1].string(), b), SpectrumFileStatus::Ok);
    std::size_t k1 = 0;
    while (a.records[k1].Frequency < 1000.0) ++k1;
    EXPECT_NEAR(stats.meanDb[k1],
                10.0 * std::log10(a.records[k1].Magnitude * b.records[k1].Magnitude), 1e-9);
}

TEST_F(SeatRunTest, ARunStartedDuringTheCountdownDelaysTheNextSeat) {
    ASSERT_TRUE(seats->Start(Plan(2)));
    Pump();
    controller->NORMALClick();  // MLS ONLY while the microphone is carried
    ASSERT_TRUE(s.RunActive);
    seats->CountdownFinished();
    EXPECT_EQ(countdowns, (std::vector<int>{5, 1}));
    EXPECT_EQ(prepared.size(), 1u);
    Pump();
    EXPECT_EQ(seats->Set().size(), 1u);  // that run is no seat
    seats->CountdownFinished();
    Pump();
    EXPECT_EQ(seats->Set().size(), 2u);
    EXPECT_EQ(seats->phase(), SeatRun::Phase::Finished);
}

TEST_F(SeatRunTest, ASeatRunStoppedFromTheMainWindowEndsTheSet) {
    ASSERT_TRUE(seats->Start(Plan(3)));
    MeasureAndMove();
    ASSERT_TRUE(s.RunActive);   // seat 2 is being measured
    controller->AGAIN1Click();  // the main window's STOP
    Pump();
    seats->CheckRun();
    EXPECT_EQ(seats->phase(), SeatRun::Phase::Finished);
    EXPECT_EQ(seats->Set().size(), 1u);
    EXPECT_EQ(SeatFiles().size(), 1u);
}

TEST_F(SeatRunTest, PlansThatCannotBeMeasuredAreRefusedAndMeasureNothing) {
    SeatRunPlan plain = Plan(4);
    plain.macro = 2;  // Direct Electric: a plain FFT of 16384
    std::string refusal;
    SeatRunPlan one = Plan(1), many = Plan(17), unnamed = Plan(2), slow = Plan(2);
    unnamed.folder = "";
    slow.moveSeconds = SeatRunPlan::kMaxMoveSeconds + 1;
    for (const SeatRunPlan& p : {plain, one, many, unnamed, slow}) {
        prompter.shown.clear();
        EXPECT_FALSE(seats->Start(p));
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.shown[0].caption, kSeatSetCaption);
        if (p.macro == 2) refusal = prompter.shown[0].text;
    }
    EXPECT_EQ(refusal,
              "Seat sets are measured with SMOOTH FFT.\r"
              "Macro \"Direct Electric\" uses FFT SIZE: 16384.");
    EXPECT_EQ(seats->phase(), SeatRun::Phase::Idle);
    EXPECT_FALSE(s.RunActive);
    EXPECT_TRUE(prepared.empty());
    EXPECT_FALSE(room->InputOpen());
    EXPECT_FALSE(fs::exists(dir));

    // A folder holding an earlier set's seats is not mixed with a new one.
    fs::create_directories(dir / "Stalls");
    { std::ofstream(dir / "Stalls" / "Stalls seat 05.SMR") << "x"; }
    prompter.shown.clear();
    EXPECT_FALSE(seats->Start(Plan(4)));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(SeatFiles().size(), 1u);
    EXPECT_FALSE(s.RunActive);
}

TEST_F(SeatRunTest, ASeatWhoseDevicesDoNotOpenEndsTheSetWithNothingSaved) {
    room->Disconnect();
    seats->Start(Plan(3));
    EXPECT_FALSE(s.RunActive);
    EXPECT_EQ(seats->phase(), SeatRun::Phase::Finished);
    EXPECT_FALSE(prompter.shown.empty());  // the device box said why
    EXPECT_TRUE(SeatFiles().empty());
    EXPECT_TRUE(countdowns.empty());
}

TEST_F(SeatRunTest, ASetThatCannotBeSavedStopsWithAMessage) {
    fs::create_directories(dir);
    { std::ofstream(dir / "Stalls") << "a file where the folder should go"; }
    ASSERT_TRUE(seats->Start(Plan(2)));
    Pump();
    EXPECT_EQ(seats->phase(), SeatRun::Phase::Finished);
    ASSERT_NE(prompter.Last(), nullptr);
    EXPECT_EQ(prompter.Last()->caption, "File Save Error");
    EXPECT_TRUE(countdowns.empty());
}

}  // namespace
}  // namespace fim
