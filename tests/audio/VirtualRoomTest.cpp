#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "audio/DeviceNotifier.h"
#include "audio/VirtualRoom.h"
#include "base/MemorySettingsTree.h"

namespace fim {
namespace {

RoomParameters Quiet() {
    RoomParameters p;
    p.noiseDb = -140.0;
    p.realTime = false;
    return p;
}

std::size_t ArgMaxAbs(const std::vector<int16_t>& v, int channels, int channel) {
    std::size_t best = 0;
    int bestValue = -1;
    for (std::size_t i = channel; i < v.size(); i += channels) {
        if (std::abs(v[i]) > bestValue) {
            bestValue = std::abs(v[i]);
            best = i / channels;
        }
    }
    return best;
}

TEST(RoomParameters, ParsesKeyValueAndRefusesNonsense) {
    RoomParameters p;
    EXPECT_FALSE(p.Set("distance=7.5"));
    EXPECT_DOUBLE_EQ(p.distance, 7.5);
    EXPECT_FALSE(p.Set("seed=42"));
    EXPECT_EQ(p.seed, 42u);
    EXPECT_FALSE(p.Set("latency=0"));
    EXPECT_EQ(p.LatencySamples(48000), 0);
    EXPECT_TRUE(p.Set("distance=0"));    // out of range
    EXPECT_TRUE(p.Set("distance=abc"));  // not a number
    EXPECT_TRUE(p.Set("distance=3m"));   // trailing garbage
    EXPECT_TRUE(p.Set("reverb"));        // no value
    EXPECT_TRUE(p.Set("colour=blue"));   // unknown key
    EXPECT_TRUE(p.Set("seed=-1"));
    EXPECT_TRUE(p.Set("seed=1.5"));
    EXPECT_TRUE(p.Set("noise=nan"));
    EXPECT_DOUBLE_EQ(p.distance, 7.5);  // refused values changed nothing
    p.latencyMs = 30;
    EXPECT_EQ(p.LatencySamples(44100), 1323);
}

TEST(RoomParameters, SeatsMoveAwayByTheStepEachWithASeedOfItsOwn) {
    RoomParameters p;
    EXPECT_FALSE(p.Set("distance=2"));
    EXPECT_FALSE(p.Set("seed=7"));
    EXPECT_FALSE(p.Set("seat_step=1.5"));
    EXPECT_TRUE(p.Set("seat_step=-1"));
    EXPECT_EQ(p.ForSeat(0).distance, 2.0);
    EXPECT_EQ(p.ForSeat(0).seed, 7u);
    EXPECT_DOUBLE_EQ(p.ForSeat(3).distance, 6.5);
    EXPECT_EQ(p.ForSeat(3).seed, 10u);
    EXPECT_EQ(p.ForSeat(3).reverbTime, p.reverbTime);
    p.distance = 90.0;
    EXPECT_EQ(p.ForSeat(15).distance, 100.0);  // never past the room's range
    // The step is kept with the other parameters.
    MemorySettingsTree tree;
    p.Store(tree);
    RoomParameters q;
    q.Load(tree);
    EXPECT_EQ(q.seatStep, 1.5);
}

// An impulse played once: the reference input is the output delayed by exactly the latency, the
// microphone hears the direct sound where distance and speed of sound put it.
TEST(RoomSimulator, ReferenceAndDirectSoundLandWhereTheGeometrySays) {
    for (const uint32_t rate : {44100u, 48000u}) {
        RoomParameters p = Quiet();
        p.distance = 5.0;
        p.latencyMs = 10.0;
        RoomSimulator room(p, rate);
        const std::size_t frames = rate / 2;
        std::vector<int16_t> out(2 * frames, 0), in(2 * frames, 0);
        out[0] = out[1] = 20000;
        room.Process(out.data(), 2, in.data(), 2, frames);
        const int latency = p.LatencySamples(rate);
        EXPECT_EQ(in[2 * latency], 20000);
        for (std::size_t f = 0; f < frames; ++f) {
            if (f != std::size_t(latency)) {
                ASSERT_EQ(in[2 * f], 0) << f;
            }
        }
        const double expected = latency + 5.0 / p.SoundSpeed() * rate;
        EXPECT_NEAR(double(ArgMaxAbs(in, 2, 1)), expected, 1.5) << rate;
        EXPECT_EQ(room.Ticks(), frames);
    }
}

TEST(RoomSimulator, SameSeedSameRecordingWhateverTheChunks) {
    RoomParameters p;
    p.realTime = false;
    const std::size_t frames = 20000;
    std::vector<int16_t> out(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        out[2 * i] = out[2 * i + 1] = int16_t((i * 7919) % 2 ? 8000 : -8000);
    }
    auto record = [&](uint32_t seed, std::size_t chunk) {
        RoomParameters q = p;
        q.seed = seed;
        RoomSimulator room(q, 44100);
        std::vector<int16_t> in(2 * frames);
        for (std::size_t at = 0; at < frames; at += chunk) {
            const std::size_t n = std::min(chunk, frames - at);
            room.Process(out.data() + 2 * at, 2, in.data() + 2 * at, 2, n);
        }
        return in;
    };
    const auto a = record(5, frames);
    EXPECT_EQ(a, record(5, 333));
    EXPECT_NE(a, record(6, frames));
}

TEST(RoomSimulator, GainClipsAndSilencesTheInput) {
    RoomParameters loud = Quiet();
    loud.gainDb = 40.0;
    RoomSimulator room(loud, 44100);
    std::vector<int16_t> out(2 * 4000, 16000), in(2 * 4000);
    room.Process(out.data(), 2, in.data(), 2, 4000);
    EXPECT_EQ(in[2 * 3999], 32767);  // the reference, 100 times too loud, sticks at full scale

    RoomParameters soft = Quiet();
    soft.gainDb = -80.0;
    RoomSimulator quiet(soft, 44100);
    quiet.Process(out.data(), 2, in.data(), 2, 4000);
    for (int16_t v : in) EXPECT_LE(std::abs(v), 2);
}

struct Recorder {
    SemaphoreWakeup wake;
    QueuedWaveCallback in{&wake};
    QueuedWaveCallback out{&wake};
    std::vector<DeviceEvent> events;

    // Collects events until `count` arrived (or gives up after a generous wait).
    void WaitFor(std::size_t count) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (events.size() < count && std::chrono::steady_clock::now() < until) {
            wake.WaitFor(std::chrono::milliseconds(50));
            DeviceEvent e;
            while (in.Next(e)) events.push_back(e);
            while (out.Next(e)) events.push_back(e);
        }
    }
};

TEST(VirtualRoomDevice, FastModeRecordsWhatItPlays) {
    RoomParameters p = Quiet();
    p.latencyMs = 1.0;  // 44 samples
    VirtualRoom room(p);
    Recorder rec;
    const DeviceFormat f = MakePcmFormat(2, 44100, 16);
    ASSERT_EQ(room.OpenInput(0, f, &rec.in), kWaveOk);
    ASSERT_EQ(room.OpenOutput(0, f, &rec.out), kWaveOk);

    constexpr std::size_t kFrames = 3000;
    std::vector<int16_t> play(2 * kFrames);
    for (std::size_t i = 0; i < kFrames; ++i) play[2 * i] = play[2 * i + 1] = int16_t(i);
    std::vector<int16_t> captured(2 * kFrames + 8, 0x5A5A);  // sentinel after the two headers
    WaveHeader o1, o2, i1, i2;
    const uint32_t half = kFrames * 2;  // bytes of kFrames/2 stereo frames
    o1.Setup(reinterpret_cast<std::byte*>(play.data()), half, 1);
    o2.Setup(reinterpret_cast<std::byte*>(play.data()) + half, half, 2);
    i1.Setup(reinterpret_cast<std::byte*>(captured.data()), half, 1);
    i2.Setup(reinterpret_cast<std::byte*>(captured.data()) + half, half, 2);
    for (WaveHeader* h : {&o1, &o2, &i1, &i2}) ASSERT_EQ(room.PrepareInput(*h), kWaveOk);

    EXPECT_EQ(room.AddInputBuffer(i1), kWaveOk);
    EXPECT_EQ(room.AddInputBuffer(i1), kWaveStillPlaying);  // already queued
    EXPECT_EQ(room.UnprepareInput(i1), kWaveStillPlaying);
    EXPECT_EQ(room.AddInputBuffer(i2), kWaveOk);
    EXPECT_EQ(room.StartInput(), kWaveOk);
    EXPECT_EQ(room.WriteOutput(o1), kWaveOk);
    EXPECT_EQ(room.WriteOutput(o2), kWaveOk);
    rec.WaitFor(4);

    ASSERT_EQ(rec.events.size(), 4u);
    for (WaveHeader* h : {&o1, &o2, &i1, &i2}) EXPECT_TRUE(h->Done());
    EXPECT_EQ(i2.bytesRecorded.load(), half);
    // The reference channel is the output 44 frames later; before that silence.
    for (std::size_t f = 0; f < kFrames / 2; ++f) {
        const int expected = f < 44 ? 0 : int(f - 44);
        ASSERT_EQ(captured[2 * f], expected) << f;
    }
    EXPECT_EQ(captured[2 * kFrames], 0x5A5A);

    // The clock stopped with the output: nothing more is recorded into a new header.
    WaveHeader i3;
    std::vector<int16_t> more(100, 7);
    i3.Setup(reinterpret_cast<std::byte*>(more.data()), 200, 1);
    room.PrepareInput(i3);
    room.AddInputBuffer(i3);
    EXPECT_FALSE(i3.Done());
    EXPECT_EQ(room.CloseInput(), kWaveStillPlaying);
    EXPECT_EQ(room.ResetInput(), kWaveOk);
    EXPECT_TRUE(i3.Done());
    EXPECT_EQ(room.CloseInput(), kWaveOk);
    EXPECT_EQ(room.CloseOutput(), kWaveOk);
}

TEST(VirtualRoomDevice, WideSamplesTravelInFourByteContainers) {
    RoomParameters p = Quiet();
    p.latencyMs = 1.0;
    VirtualRoom room(p);
    Recorder rec;
    const DeviceFormat f = MakePcmFormat(2, 48000, 24);
    ASSERT_TRUE(room.InputSupports(0, f));
    ASSERT_EQ(room.OpenInput(0, f, &rec.in), kWaveOk);
    ASSERT_EQ(room.OpenOutput(0, f, &rec.out), kWaveOk);
    constexpr std::size_t kFrames = 400;
    std::vector<int32_t> play(2 * kFrames);
    // The room hears the top 16 bits; the low bits below them are dropped.
    for (std::size_t i = 0; i < kFrames; ++i) {
        play[2 * i] = play[2 * i + 1] = -int32_t(i) * 65536 + 0x7FFF;
    }
    std::vector<int32_t> captured(2 * kFrames + 2, 0x5A5A5A5A);
    WaveHeader o, in;
    o.Setup(reinterpret_cast<std::byte*>(play.data()), kFrames * 8, 1);
    in.Setup(reinterpret_cast<std::byte*>(captured.data()), kFrames * 8, 1);
    ASSERT_EQ(room.PrepareOutput(o), kWaveOk);
    ASSERT_EQ(room.PrepareInput(in), kWaveOk);
    ASSERT_EQ(room.AddInputBuffer(in), kWaveOk);
    ASSERT_EQ(room.StartInput(), kWaveOk);
    ASSERT_EQ(room.WriteOutput(o), kWaveOk);
    rec.WaitFor(2);
    ASSERT_TRUE(in.Done());
    for (std::size_t i = 0; i < kFrames; ++i) {
        const int32_t expected = i < 48 ? 0 : -int32_t(i - 48) * 65536;  // 1 ms at 48 kHz
        ASSERT_EQ(captured[2 * i], expected) << i;
    }
    EXPECT_EQ(captured[2 * kFrames], 0x5A5A5A5A);
    room.ResetInput();
    EXPECT_EQ(room.CloseInput(), kWaveOk);
    EXPECT_EQ(room.CloseOutput(), kWaveOk);
}

TEST(VirtualRoomDevice, RefusesWhatASoundCardWould) {
    VirtualRoom room(Quiet());
    WaveHeader h;
    EXPECT_EQ(room.OpenInput(1, MakePcmFormat(2, 44100, 16), nullptr), kWaveBadDeviceId);
    EXPECT_EQ(room.OpenInput(0, MakePcmFormat(2, 44100, 8), nullptr), kWaveBadFormat);
    EXPECT_EQ(room.OpenInput(0, MakePcmFormat(2, 44100, 16), nullptr), kWaveOk);
    EXPECT_EQ(room.OpenInput(0, MakePcmFormat(2, 44100, 16), nullptr), kWaveAllocated);
    EXPECT_EQ(room.OpenOutput(0, MakePcmFormat(2, 48000, 16), nullptr), kWaveBadFormat);
    EXPECT_EQ(room.WriteOutput(h), kWaveInvalidHandle);  // output not open
    int16_t buffer[8] = {};
    h.Setup(reinterpret_cast<std::byte*>(buffer), sizeof buffer, 1);
    EXPECT_EQ(room.AddInputBuffer(h), kWaveUnprepared);
    EXPECT_EQ(room.PrepareInput(h), kWaveOk);
    EXPECT_EQ(room.AddInputBuffer(h), kWaveOk);
    EXPECT_EQ(room.ResetInput(), kWaveOk);
    EXPECT_EQ(room.CloseInput(), kWaveOk);
    EXPECT_TRUE(room.InputSupports(0, MakePcmFormat(1, 8000, 16)));
    EXPECT_FALSE(room.OutputSupports(0, MakePcmFormat(2, 44100, 8)));
    DeviceFormat packed = MakePcmFormat(2, 44100, 24);
    packed.blockAlign = 6;  // 24 bits are taken in 4-byte containers only
    packed.avgBytesPerSec = 6 * 44100;
    EXPECT_FALSE(room.InputSupports(0, packed));
}

TEST(VirtualRoomDevice, UnpluggedDeviceReportsAndRefuses) {
    VirtualRoom room(Quiet());
    Recorder rec;
    const DeviceFormat f = MakePcmFormat(2, 44100, 16);
    ASSERT_EQ(room.OpenInput(0, f, &rec.in), kWaveOk);
    ASSERT_EQ(room.OpenOutput(0, f, &rec.out), kWaveOk);
    room.Disconnect();
    rec.WaitFor(2);
    ASSERT_EQ(rec.events.size(), 2u);
    for (const auto& e : rec.events) {
        EXPECT_EQ(e.kind, WaveEventKind::DeviceLost);
        EXPECT_EQ(e.result, kWaveNoDriver);
    }
    WaveHeader h;
    int16_t buffer[8] = {};
    h.Setup(reinterpret_cast<std::byte*>(buffer), sizeof buffer, 1);
    room.PrepareOutput(h);
    EXPECT_EQ(room.WriteOutput(h), kWaveNoDriver);
    EXPECT_EQ(room.StartInput(), kWaveNoDriver);
    // Cleaning up still works, and after reconnecting the device opens again.
    EXPECT_EQ(room.CloseInput(), kWaveOk);
    EXPECT_EQ(room.CloseOutput(), kWaveOk);
    EXPECT_EQ(room.OpenInput(0, f, nullptr), kWaveNoDriver);
    room.Reconnect();
    EXPECT_EQ(room.OpenInput(0, f, nullptr), kWaveOk);
    EXPECT_EQ(room.CloseInput(), kWaveOk);
}

// Real-time mode with input only (the finder's mono capture): the clock runs by itself.
TEST(VirtualRoomDevice, RealTimeInputOnlyFillsHeaders) {
    RoomParameters p = Quiet();
    p.realTime = true;
    VirtualRoom room(p);
    Recorder rec;
    ASSERT_EQ(room.OpenInput(0, MakePcmFormat(1, 44100, 16), &rec.in), kWaveOk);
    std::vector<int16_t> a(2048), b(2048);
    WaveHeader h1, h2;
    h1.Setup(reinterpret_cast<std::byte*>(a.data()), 4096, 4);
    h2.Setup(reinterpret_cast<std::byte*>(b.data()), 4096, 4);
    room.PrepareInput(h1);
    room.PrepareInput(h2);
    room.AddInputBuffer(h1);
    room.AddInputBuffer(h2);
    room.StartInput();
    rec.WaitFor(2);
    ASSERT_EQ(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[0].header, &h1);
    EXPECT_EQ(rec.events[1].header, &h2);
    EXPECT_EQ(rec.events[1].user, 4u);
    room.ResetInput();
    room.CloseInput();
}

}  // namespace
}  // namespace fim
