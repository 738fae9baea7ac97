#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../audio/RunTestRig.h"
#include "macros/MacroReplay.h"
#include "macros/UserMacro.h"

namespace fim {
namespace {

using namespace fim::test;

// The controller with a macro replay registered on it.
class MacroReplayTest : public RunControllerTest {
  protected:
    void Use(WaveDevices& d, const std::string& name) {
        RunControllerTest::Use(d, name);
        replay = std::make_unique<MacroReplay>(*controller, s, prompter, view, host);
        replay->SetMacros(&macros);
    }
    UserMacroBlock macros = FactoryUserMacros();
    std::unique_ptr<MacroReplay> replay;
};

TEST_F(MacroReplayTest, SpeakerInRoomMacroSetsUpItsRunAndShowsItsSpectrum) {
    ScriptedCard card;
    Use(card, "Test Card");
    controller->REPEAT1Click();  // the macro's REPEAT (off) replaces the tick
    replay->RunMacro(1);
    Pump();
    ASSERT_TRUE(s.ImpulseValid);
    EXPECT_FALSE(controller->Repeat);
    EXPECT_EQ(s.AtcMode, 1);
    EXPECT_EQ(view.panels[5], "Speaker in Room");
    // Averaging 8: the menu and the pass counter are left at 8 passes.
    EXPECT_EQ(card.periods, 8);
    EXPECT_EQ(view.averagingCount, 8);
    std::vector<std::string> passes;
    for (const auto& [panel, text] : view.history) {
        if (panel == 1) passes.push_back(text);
    }
    EXPECT_EQ(std::vector<std::string>(passes.end() - 2, passes.end()),
              (std::vector<std::string>{"8/8", "DONE"}));
    // The analysis is chosen with the macro's FFT size and order in place; the spectrum is shown
    // at the end as run kind 11, and AGAIN repeats the macro.
    EXPECT_EQ(host.choice.mode, AnalysisMode::Smooth);
    EXPECT_EQ(host.choice.smoothingWidth, 3);
    EXPECT_EQ(host.atChoice, (std::vector<int>{32768, 15, 0}));
    controller->AGAIN1Click();
    Pump();
    EXPECT_EQ(host.shownKinds, (std::vector<int>{11, 11}));
    // The spectrum is asked for in the macro's mode over its window around the found peak.
    ASSERT_TRUE(host.shownModes.back().has_value());
    EXPECT_EQ(*host.shownModes.back(), AnalysisMode::Smooth);
    ASSERT_TRUE(host.shownWindows.back().has_value());
    EXPECT_EQ(*host.shownWindows.back(),
              MacroWindow(macros[0], s.ImpulsePeakIndex, s.SampleRate, 32768, s.MlsSize - 1));
}

TEST_F(MacroReplayTest, MacroPinkLastsForItsRunOnlyAndCodeFiveKeepsTheSize) {
    ScriptedCard card;
    card.micGain = 1.0;  // at 0 dB output the first macro's periods clip
    Use(card, "Test Card");
    macros[2].pinkMls = true;
    macros[2].fftCode = 5;
    macros[2].useMic = true;
    macros[3].averaging = 1;
    s.OutputLevelDb = 0;
    s.FftSize = 4096;
    prompter.answers = {PromptAnswer::Ok, PromptAnswer::Cancel};
    replay->RunMacro(3);
    Pump();
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].text, "ffticall using id5");
    EXPECT_EQ(host.atChoice, (std::vector<int>{4096, 13, 1}));
    EXPECT_EQ(host.choice.mode, AnalysisMode::Fft);
    EXPECT_FALSE(host.choice.useMicCorrection);  // a correction of the smoothed curve only
    // Rejected and stopped: the user's plain signal is the setting again, so the next macro
    // remembers that and not the pink one.
    EXPECT_FALSE(s.PinkMls);
    card.micGain = 0.5;
    replay->RunMacro(4);
    Pump();
    EXPECT_EQ(host.shownKinds, std::vector<int>{14});
    EXPECT_FALSE(s.PinkMls);
    // MLS ONLY drops what a macro chose for its spectrum.
    EXPECT_EQ(host.choicesCleared, 0);
    controller->NORMALClick();
    Pump();
    EXPECT_EQ(host.choicesCleared, 1);

    macros[0].useMic = true;
    EXPECT_TRUE(MacroAnalysisChoice(macros[0]).useMicCorrection);
}

TEST(MacroWindow, CutAroundThePeakThenLimitedToFftSizeAndPeriod) {
    UserMacro m;
    m.window.timeBefore = 400;   // 17.64 samples at 44.1 kHz
    m.window.timeAfter = 10000;  // 441 samples
    EXPECT_EQ(MacroWindow(m, 1000, 44100.0, 4096, 4095), (AnalysisWindow{982, 1441}));
    // Never before sample 1, never wider than the FFT, never past the period.
    EXPECT_EQ(MacroWindow(m, 10, 44100.0, 4096, 4095), (AnalysisWindow{1, 451}));
    EXPECT_EQ(MacroWindow(m, 1000, 44100.0, 256, 4095), (AnalysisWindow{982, 1238}));
    EXPECT_EQ(MacroWindow(m, 1000, 44100.0, 4096, 1200), (AnalysisWindow{982, 1200}));
    // A negative time before starts the window after the peak; it keeps one sample at least.
    m.window.timeBefore = -500;  // −22 samples
    m.window.timeAfter = 0;
    EXPECT_EQ(MacroWindow(m, 1000, 44100.0, 4096, 4095), (AnalysisWindow{1022, 1023}));
}

}  // namespace
}  // namespace fim
