#include <gtest/gtest.h>

#include "macros/MacroTexts.h"

namespace fim {
namespace {

TEST(MacroTexts, SummaryLines) {
    UserMacro m = FactoryUserMacros()[0];
    EXPECT_EQ(MacroSummaryText(m),
              "MLS SIZE: 32768\rSMOOTH FFT\rAVERAGING: 8\rSMOOTHING: 1\r\r"
              "Pre: 0.6 msec\rPost: 60 msec\r\rATC: ON\rREPEAT: OFF\rPink: OFF\r");
    // A plain FFT, times rounded half to even, and only the files whose flag is on.
    m.fftCode = 2;
    m.window = {"", 250, 19350, 0, 0};
    m.useCal = true;
    m.calFile = "/cal/a.cal";
    m.micFile = "/mic/unused.smc";
    m.useOverlay = true;
    m.overlayFile = "/ov/b.mfr";
    EXPECT_EQ(MacroSummaryText(m),
              "MLS SIZE: 32768\rFFT SIZE: 8192\rAVERAGING: 8\rSMOOTHING: 1\r\r"
              "Pre: 0.2 msec\rPost: 19.4 msec\r\rATC: ON\rREPEAT: OFF\rPink: OFF\r\r"
              "Cal: /cal/a.cal\rOver: /ov/b.mfr");
}

}  // namespace
}  // namespace fim
