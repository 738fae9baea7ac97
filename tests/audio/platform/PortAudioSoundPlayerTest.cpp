// The clock's alarm player on the system's default output. scripts/test.sh starts a sound
// server; without one (no default output) the playing part skips, except in CI.

#include <gtest/gtest.h>
#include <portaudio.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/WaveFile.h"
#include "audio/platform/PortAudioSoundPlayer.h"

namespace fim {
namespace {

bool InCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

bool HasDefaultOutput() {
    if (Pa_Initialize() != paNoError) return false;
    const bool has = Pa_GetDefaultOutputDevice() != paNoDevice;
    Pa_Terminate();
    return has;
}

std::string TempPath(const char* name) {
    return (std::filesystem::temp_directory_path() /
            (std::string("fim-player-") + std::to_string(::getpid()) + "-" + name))
        .string();
}

TEST(PortAudioSoundPlayer, RefusesWhatItCannotPlay) {
    PortAudioSoundPlayer player;
    EXPECT_FALSE(player.Play(TempPath("missing.wav")));
    const std::string text = TempPath("text.wav");
    FILE* f = std::fopen(text.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("not a wave file", f);
    std::fclose(f);
    EXPECT_FALSE(player.Play(text));
    std::remove(text.c_str());
    EXPECT_FALSE(player.Playing());
}

TEST(PortAudioSoundPlayer, PlaysToTheEndWithoutBeingInterrupted) {
    if (!HasDefaultOutput()) {
        if (InCi()) FAIL() << "no default sound output";
        GTEST_SKIP() << "no default sound output (scripts/test.sh starts a sound server)";
    }
    const std::string wav = TempPath("tone.wav");
    std::vector<int16_t> tone(48000 * 3 / 10);  // 0.3 s
    for (std::size_t i = 0; i < tone.size(); ++i) {
        tone[i] = static_cast<int16_t>(6000 * std::sin(0.05 * static_cast<double>(i)));
    }
    ASSERT_TRUE(WriteWave16(wav, 48000, 1, tone.data(), tone.size()));
    PortAudioSoundPlayer player;
    ASSERT_TRUE(player.Play(wav));
    EXPECT_TRUE(player.Playing());
    EXPECT_FALSE(player.Play(wav));  // the sound still playing is not cut off
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (player.Playing() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(player.Playing());
    EXPECT_TRUE(player.Play(wav));  // once through, the next alarm plays
    std::remove(wav.c_str());
}

}  // namespace
}  // namespace fim
