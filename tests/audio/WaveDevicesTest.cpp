#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "audio/DeviceNotifier.h"
#include "audio/DeviceSet.h"
#include "audio/SpscRing.h"
#include "audio/VirtualRoom.h"

namespace fim {
namespace {

// A back end that only has names: enough for lookup and for the set's index arithmetic.
class NamedDevices : public WaveDevices {
  public:
    NamedDevices(std::vector<std::string> in, std::vector<std::string> out, int def = -1)
        : in_(std::move(in)), out_(std::move(out)), default_(def) {}
    int InputCount() const override { return int(in_.size()); }
    std::string InputName(int i) const override { return in_.at(i); }
    int OutputCount() const override { return int(out_.size()); }
    std::string OutputName(int i) const override { return out_.at(i); }
    int DefaultInput() const override { return default_; }
    int DefaultOutput() const override { return default_; }
    bool InputSupports(int, const DeviceFormat&) const override { return true; }
    bool OutputSupports(int, const DeviceFormat&) const override { return true; }
    int OpenInput(int i, const DeviceFormat&, WaveCallback*) override {
        lastOpened = i;
        open = true;
        return 0;
    }
    int AddInputBuffer(WaveHeader&) override { return 0; }
    int StartInput() override { return 0; }
    int StopInput() override { return 0; }
    int ResetInput() override { return 0; }
    int CloseInput() override {
        open = false;
        return 0;
    }
    int OpenOutput(int i, const DeviceFormat&, WaveCallback*) override {
        lastOpened = i;
        return 0;
    }
    int WriteOutput(WaveHeader&) override { return 0; }
    int PauseOutput() override { return 0; }
    int RestartOutput() override { return 0; }
    int ResetOutput() override { return 0; }
    int CloseOutput() override { return 0; }
    bool InputOpen() const override { return open; }
    bool OutputOpen() const override { return false; }
    int lastOpened = -1;
    bool open = false;

  private:
    std::vector<std::string> in_, out_;
    int default_;
};

TEST(DeviceLookup, ExactNameAndLastMatchWins) {
    NamedDevices d({"USB Audio", "Line In", "USB Audio", "usb audio"}, {"Speakers"});
    EXPECT_EQ(FindInputDevice(d, "USB Audio"), 2);  // two with this name: the higher index
    EXPECT_EQ(FindInputDevice(d, "Line In"), 1);
    EXPECT_EQ(FindInputDevice(d, "LINE IN"), -1);  // case matters
    EXPECT_EQ(FindInputDevice(d, "Line"), -1);     // no prefix match
    EXPECT_EQ(FindOutputDevice(d, "Speakers"), 0);
    EXPECT_EQ(FindOutputDevice(d, "USB Audio"), -1);
}

TEST(DeviceSet, ConcatenatesBackEndsAndRoutesCalls) {
    NamedDevices cards({"ALSA: a", "ALSA: b"}, {"ALSA: a"});
    VirtualRoom room;
    DeviceSet set({&cards, &room});
    ASSERT_EQ(set.InputCount(), 3);
    EXPECT_EQ(set.InputName(2), kVirtualRoomName);
    EXPECT_EQ(set.OutputName(1), kVirtualRoomName);
    EXPECT_EQ(set.InputName(3), "");
    // No card has a default: the Virtual Room is the default.
    EXPECT_EQ(set.DefaultInput(), 2);
    EXPECT_EQ(set.DefaultOutput(), 1);

    EXPECT_EQ(set.OpenInput(1, MakePcmFormat(2, 44100, 16), nullptr), kWaveOk);
    EXPECT_EQ(cards.lastOpened, 1);
    EXPECT_TRUE(set.InputOpen());
    EXPECT_EQ(set.OpenInput(2, MakePcmFormat(2, 44100, 16), nullptr), kWaveAllocated);
    EXPECT_EQ(set.CloseInput(), kWaveOk);
    EXPECT_EQ(set.OpenInput(2, MakePcmFormat(2, 44100, 16), nullptr), kWaveOk);
    EXPECT_TRUE(room.InputOpen());
    EXPECT_EQ(set.OpenOutput(7, MakePcmFormat(2, 44100, 16), nullptr), kWaveBadDeviceId);
    EXPECT_EQ(set.CloseInput(), kWaveOk);

    NamedDevices withDefault({"x", "y"}, {"x", "y"}, 1);
    DeviceSet set2({&withDefault, &room});
    EXPECT_EQ(set2.DefaultInput(), 1);
}

TEST(DeviceFormat, PcmArithmetic) {
    const DeviceFormat f = MakePcmFormat(2, 48000, 16);
    EXPECT_EQ(f.formatTag, 1);
    EXPECT_EQ(f.blockAlign, 4);
    EXPECT_EQ(f.avgBytesPerSec, 192000u);
    const DeviceFormat mono24 = MakePcmFormat(1, 44100, 24);
    EXPECT_EQ(mono24.blockAlign, 4);  // 4-byte container
    EXPECT_EQ(mono24.avgBytesPerSec, 176400u);
    EXPECT_NE(WaveResultText(kWaveBadFormat), WaveResultText(kWaveNoDriver));
}

class CountingWakeup : public UiWakeup {
  public:
    void Wake() noexcept override { ++wakes; }
    int wakes = 0;
};

TEST(OutputDone, PostsAfterEverySecondHeaderUnlessStopping) {
    CountingWakeup wake;
    std::atomic<bool> stop{false};
    OutputDone cb(&wake, &stop);
    WaveHeader a1, a2, b1, b2;
    a1.user = 1;
    a2.user = 2;
    b1.user = 4;
    b2.user = 5;
    DeviceEvent e;

    cb.OnWaveEvent(WaveEventKind::OutputDone, &a1, 0);
    EXPECT_FALSE(cb.Next(e));
    cb.OnWaveEvent(WaveEventKind::InputDone, &a1, 0);  // not an output notification: ignored
    EXPECT_FALSE(cb.Next(e));
    cb.OnWaveEvent(WaveEventKind::OutputDone, &a2, 0);
    ASSERT_TRUE(cb.Next(e));
    EXPECT_EQ(e.user, 2u);
    EXPECT_EQ(e.header, &a2);
    EXPECT_EQ(cb.OutDoneCount.load(), 0);
    EXPECT_EQ(wake.wakes, 1);

    // A stop is pending: the count reaches 2 and nothing is posted.
    stop = true;
    cb.OnWaveEvent(WaveEventKind::OutputDone, &b1, 0);
    cb.OnWaveEvent(WaveEventKind::OutputDone, &b2, 0);
    EXPECT_FALSE(cb.Next(e));
    EXPECT_EQ(wake.wakes, 1);

    // A lost device is reported even while stopping.
    cb.OnWaveEvent(WaveEventKind::DeviceLost, nullptr, kWaveNoDriver);
    ASSERT_TRUE(cb.Next(e));
    EXPECT_EQ(e.kind, WaveEventKind::DeviceLost);
    EXPECT_EQ(e.result, kWaveNoDriver);

    stop = false;
    cb.ResetCount();
    cb.OnWaveEvent(WaveEventKind::OutputDone, &b1, 0);
    cb.OnWaveEvent(WaveEventKind::OutputDone, &b2, 0);
    cb.Discard();
    EXPECT_FALSE(cb.Next(e));
}

// Producer and consumer on two threads: every value arrives once and in order.
TEST(SpscRing, TransfersInOrderAcrossThreads) {
    SpscRing<uint32_t, 8> ring;
    constexpr uint32_t kCount = 20000;
    std::thread producer([&] {
        for (uint32_t i = 0; i < kCount;) {
            if (ring.Push(i)) ++i;
        }
    });
    uint32_t expected = 0;
    while (expected < kCount) {
        uint32_t v;
        if (ring.Pop(v)) {
            ASSERT_EQ(v, expected);
            ++expected;
        }
    }
    producer.join();
    EXPECT_TRUE(ring.Empty());

    SpscRing<int, 4> small;
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(small.Push(i));
    EXPECT_FALSE(small.Push(99));  // full: refused, nothing overwritten
    int v = -1;
    EXPECT_TRUE(small.Peek(v));
    EXPECT_EQ(v, 0);
}

}  // namespace
}  // namespace fim
