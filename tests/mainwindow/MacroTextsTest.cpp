#include "mainwindow/MacroTexts.h"

#include <gtest/gtest.h>

#include "shell/Catalog.h"

namespace fim {
namespace {

TEST(MacroTexts, SummaryOfTheFactorySpeakerInRoomMacro) {
    const UserMacro m = FactoryUserMacros()[0];
    EXPECT_EQ(MacroSummaryText(m),
              "MLS SIZE: 32768\rSMOOTH FFT\rAVERAGING: 8\rSMOOTHING: 1\r\r"
              "Pre: 0.6 msec\rPost: 60 msec\r\r"
              "ATC: ON\rREPEAT: OFF\rPink: OFF\r");
}

TEST(MacroTexts, PlainFftFilesAndCaptions) {
    UserMacro m = DefaultUserMacro(3);
    m.mlsOrder = 13;
    m.fftCode = 2;
    m.repeat = true;
    m.atc = false;
    m.pinkMls = true;
    m.useCal = true;
    m.calFile = "/cal/a.cal";
    m.micFile = "/mic/unused.smc";  // its flag is off: no line
    m.useOverlay = true;
    m.overlayFile = "/ov/b.mfr";
    m.window.timeBefore = 250;   // 2.5 tenths: half to even
    m.window.timeAfter = 19350;  // 193.5 tenths
    EXPECT_EQ(MacroSummaryText(m),
              "MLS SIZE: 8192\rFFT SIZE: 8192\rAVERAGING: 1\rSMOOTHING: 0\r\r"
              "Pre: 0.2 msec\rPost: 19.4 msec\r\r"
              "ATC: OFF\rREPEAT: ON\rPink: ON\r\rCal: /cal/a.cal\rOver: /ov/b.mfr");
    m.fftCode = 5;  // not a size: shown as the smoothed FFT
    EXPECT_NE(MacroSummaryText(m).find("\rSMOOTH FFT\r"), std::string::npos);
    EXPECT_EQ(MacroMillisecondsText(-250), "-0.2");
    EXPECT_EQ(MacroMillisecondsText(10000), "10");

    EXPECT_EQ(MacroMenuCaption(m), "Macro: User 1");
    EXPECT_EQ(MacroButtonHint(DefaultUserMacro(12)), "Use Macro: User 10");
    SelectLanguage(true);
    const std::string german = MacroSummaryText(FactoryUserMacros()[1]);
    EXPECT_EQ(german.rfind("MLS GRÖSSE: 8192\rFFT GRÖSSE: 16384\r", 0), 0u);
    SelectLanguage(false);
}

}  // namespace
}  // namespace fim
