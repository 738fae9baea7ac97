#include <gtest/gtest.h>

#include "finder/FinderSettings.h"

namespace fim {
namespace {

TEST(FinderSettings, TwentyByteBlockFieldByField) {
    FinderSettings f;
    f.DisplayMode = 3;
    f.TriggerThreshold = -15;
    f.Resolution = 2;
    f.AutoRestart = 0;
    f.RestartStep = 0;
    const std::vector<uint8_t> b = EncodeFinderSettings(f);
    ASSERT_EQ(b.size(), 20u);
    EXPECT_EQ(b[0], 3);
    EXPECT_EQ(b[4], 0xF1);  // −15, little-endian
    EXPECT_EQ(b[7], 0xFF);
    EXPECT_EQ(b[8], 2);
    EXPECT_EQ(b[12], 0);
    EXPECT_EQ(b[13] | b[14] | b[15], 0);
    EXPECT_EQ(DecodeFinderSettings(b), f);
}

TEST(FinderSettings, AThresholdTheDialogCannotShowReadsAsMinus20) {
    for (int32_t stored : {2, 0, -4, -100, 20}) {
        FinderSettings f;
        f.TriggerThreshold = stored;
        EXPECT_EQ(DecodeFinderSettings(EncodeFinderSettings(f)).TriggerThreshold, -20) << stored;
    }
    for (int32_t stored : {-3, -6, -10, -15, -20}) {
        FinderSettings f;
        f.TriggerThreshold = stored;
        EXPECT_EQ(DecodeFinderSettings(EncodeFinderSettings(f)).TriggerThreshold, stored);
    }
    // A short block: the fields past its end read as zeros, the threshold as −20.
    const FinderSettings s = DecodeFinderSettings({2, 0, 0, 0});
    EXPECT_EQ(s.DisplayMode, 2);
    EXPECT_EQ(s.TriggerThreshold, -20);
    EXPECT_EQ(s.Resolution, 0);
}

}  // namespace
}  // namespace fim
