// The Virtual Room's feedback tone: parameters, settings and what the microphone input hears.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/VirtualRoom.h"
#include "settings/MemorySettingsTree.h"

namespace fim {
namespace {

TEST(RoomFeedback, KeysInSnakeCaseWithTheirRanges) {
    RoomParameters p;
    EXPECT_FALSE(p.feedback);
    EXPECT_FALSE(p.Set("feedback=1"));
    EXPECT_FALSE(p.Set("feedback_frequency=2500"));
    EXPECT_FALSE(p.Set("feedback_level=-12"));
    EXPECT_FALSE(p.Set("feedback_delay=1.5"));
    EXPECT_FALSE(p.Set("feedback_length=4"));
    EXPECT_TRUE(p.feedback);
    EXPECT_DOUBLE_EQ(p.feedbackFrequency, 2500);
    EXPECT_DOUBLE_EQ(p.feedbackLevel, -12);
    EXPECT_DOUBLE_EQ(p.feedbackDelay, 1.5);
    EXPECT_DOUBLE_EQ(p.feedbackLength, 4);
    const RoomParameters before = p;
    EXPECT_TRUE(p.Set("feedback=2"));
    EXPECT_TRUE(p.Set("feedback_level=3"));  // above full scale
    EXPECT_TRUE(p.Set("feedback_frequency=5"));
    EXPECT_TRUE(p.Set("feedback_delay=-1"));
    EXPECT_TRUE(p.Set("feedbackdelay=1"));
    EXPECT_TRUE(p.feedback);
    EXPECT_DOUBLE_EQ(p.feedbackLevel, before.feedbackLevel);
    EXPECT_DOUBLE_EQ(p.feedbackFrequency, before.feedbackFrequency);

    MemorySettingsTree tree;
    p.Store(tree);
    RoomParameters q;
    q.Load(tree);
    EXPECT_TRUE(q.feedback);
    EXPECT_DOUBLE_EQ(q.feedbackFrequency, 2500);
    EXPECT_DOUBLE_EQ(q.feedbackLevel, -12);
    EXPECT_DOUBLE_EQ(q.feedbackDelay, 1.5);
    EXPECT_DOUBLE_EQ(q.feedbackLength, 4);
}

TEST(RoomFeedback, SwellsFromSilenceHoldsAndStops) {
    RoomParameters p;
    p.feedback = true;
    p.feedbackLevel = -6;
    p.feedbackDelay = 2;
    p.feedbackLength = 1;
    const double full = std::pow(10.0, -6 / 20.0) * 32767;
    EXPECT_LT(p.FeedbackAmplitude(0), 0.5) << "silence at the start";
    EXPECT_NEAR(p.FeedbackAmplitude(1), std::pow(10.0, -53 / 20.0) * 32767, 1e-6);
    EXPECT_LT(p.FeedbackAmplitude(1.9), full);
    EXPECT_NEAR(p.FeedbackAmplitude(2), full, 1e-9);
    EXPECT_NEAR(p.FeedbackAmplitude(2.99), full, 1e-9);
    EXPECT_EQ(p.FeedbackAmplitude(3), 0.0);
    p.feedbackLength = 0;
    EXPECT_NEAR(p.FeedbackAmplitude(1000), full, 1e-9) << "length 0: sounds on";
    p.feedbackDelay = 0;
    EXPECT_NEAR(p.FeedbackAmplitude(0), full, 1e-9);
    p.feedback = false;
    EXPECT_EQ(p.FeedbackAmplitude(5), 0.0);
}

TEST(RoomFeedback, TheMicrophoneHearsTheToneTheReferenceDoesNot) {
    RoomParameters p;
    p.noiseDb = -140;
    p.realTime = false;
    p.feedback = true;
    p.feedbackFrequency = 1000;
    p.feedbackLevel = -6;
    p.feedbackDelay = 0.5;
    constexpr uint32_t kRate = 44100;
    RoomSimulator room(p, kRate);
    // One second of silence played, recorded in stereo in uneven pieces.
    std::vector<int16_t> in(2 * kRate);
    for (std::size_t at = 0; at < kRate;) {
        const std::size_t n = std::min<std::size_t>(777, kRate - at);
        room.Process(nullptr, 2, in.data() + 2 * at, 2, n);
        at += n;
    }
    auto peak = [&](int channel, std::size_t from, std::size_t to) {
        int m = 0;
        for (std::size_t f = from; f < to; ++f) m = std::max(m, std::abs(int(in[2 * f + channel])));
        return m;
    };
    EXPECT_EQ(peak(0, 0, kRate), 0) << "the reference cable carries no howl";
    EXPECT_LT(peak(1, 0, kRate / 20), 2) << "silence at first";
    EXPECT_NEAR(peak(1, kRate * 6 / 10, kRate), std::lround(std::pow(10.0, -6 / 20.0) * 32767), 3);
    // Its frequency: 1000 Hz is 1000 rising zero crossings a second.
    int crossings = 0;
    for (std::size_t f = kRate / 2 + 1; f < kRate; ++f) {
        if (in[2 * (f - 1) + 1] < 0 && in[2 * f + 1] >= 0) ++crossings;
    }
    EXPECT_NEAR(crossings, 500, 1);
}

}  // namespace
}  // namespace fim
