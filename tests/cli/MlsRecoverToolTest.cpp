// fimtool mls and recover, run as a user runs them: the played signal goes through a simulated
// room into a recording, and the recovered impulse shows the room's delay.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "audio/DeviceNotifier.h"
#include "audio/RunController.h"
#include "audio/TimeFile.h"
#include "audio/VirtualRoom.h"
#include "audio/WaveFile.h"
#include "core/MeasurementState.h"
#include "core/Mls.h"
#include "settings/MemorySettingsTree.h"
#include "shell/ScriptedPrompter.h"

namespace fim {
namespace {

namespace fs = std::filesystem;

class MlsRecoverTool : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("fim_mls_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    // Runs fimtool with `args`; stdout goes to `stdoutFile` when given.
    int Tool(const std::string& args, const std::string& stdoutFile = {}) const {
        std::string cmd = std::string("\"") + FIMTOOL_PATH + "\" " + args;
        cmd += stdoutFile.empty() ? " > /dev/null" : " > \"" + stdoutFile + "\"";
        cmd += " 2> \"" + Path("stderr.txt") + "\"";
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // A recording of `blocks` 2N-frame blocks while the played signal loops: the left input is the
    // signal `latency` frames late (timing cable), the right one half the signal `delay` frames
    // late plus a reflection of a quarter, 7 frames after that.
    void Record(const WaveData& played, std::size_t blocks, std::size_t latency, std::size_t delay,
                const std::string& path) const {
        const std::size_t frames = played.Frames();
        const auto at = [&](std::ptrdiff_t f) {
            const auto n = static_cast<std::ptrdiff_t>(frames);
            return static_cast<double>(played.samples[2 * (((f % n) + n) % n)]);
        };
        std::vector<int16_t> rec(2 * frames * blocks);
        for (std::size_t f = 0; f < frames * blocks; ++f) {
            const auto p = static_cast<std::ptrdiff_t>(f);
            rec[2 * f] = static_cast<int16_t>(at(p - static_cast<std::ptrdiff_t>(latency)));
            const double right = 0.5 * at(p - static_cast<std::ptrdiff_t>(delay)) +
                                 0.25 * at(p - static_cast<std::ptrdiff_t>(delay) - 7);
            rec[2 * f + 1] = static_cast<int16_t>(std::nearbyint(right));
        }
        ASSERT_TRUE(WriteWave16(path, played.format.sampleRate, 2, rec.data(), frames * blocks));
    }

    std::string Stderr() const {
        std::ifstream in(Path("stderr.txt"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir;
};

TEST_F(MlsRecoverTool, PrintsThePlainSequence) {
    ASSERT_EQ(Tool("mls --order 5 --print", Path("seq.txt")), 0);
    std::ifstream in(Path("seq.txt"));
    std::vector<int8_t> printed;
    for (int v; in >> v;) printed.push_back(static_cast<int8_t>(v));
    ScriptedPrompter prompter;
    std::vector<int8_t> expected(31);
    ASSERT_TRUE(GenerateMls(5, expected.data(), prompter));
    EXPECT_EQ(printed, expected);

    EXPECT_NE(Tool("mls --order 25 --print"), 0);
    EXPECT_NE(Stderr().find("MLS zu lang"), std::string::npos);
}

TEST_F(MlsRecoverTool, RecoveredImpulseShowsTheRoomDelay) {
    ASSERT_EQ(Tool("mls --order 10 --rate 48000 --wav \"" + Path("m.wav") + "\""), 0);
    WaveData played;
    ASSERT_EQ(ReadWave16(Path("m.wav"), played), WaveStatus::Ok);
    ASSERT_EQ(played.format.channels, 2);
    ASSERT_EQ(played.Frames(), 2048u);
    EXPECT_EQ(std::abs(played.samples[0]), 16422);
    Record(played, 3, 20, 100, Path("rec.wav"));

    // Raw averaging reads the second half of each block: the direct sound lands at delay − 1.
    ASSERT_EQ(Tool("recover --order 10 --in \"" + Path("rec.wav") +
                   "\" --averages 2 --ignore-first --out \"" + Path("ir.mtf") + "\""),
              0)
        << Stderr();
    TimeFileData ir;
    ASSERT_EQ(ReadTimeFile(Path("ir.mtf"), ir), TimeFileStatus::Ok);
    EXPECT_EQ(ir.sampleRate, 48000);
    ASSERT_EQ(ir.samples.size(), 1024u);
    const auto peak =
        std::max_element(ir.samples.begin(), ir.samples.end(),
                         [](double x, double y) { return std::fabs(x) < std::fabs(y); });
    EXPECT_EQ(peak - ir.samples.begin(), 99);
    EXPECT_NEAR(*peak, 0.5 * 16422, 20);
    EXPECT_NEAR(ir.samples[106], 0.25 * 16422, 20);

    // Time-synchronised, peak-aligned averaging reads from frame 0: the direct sound at delay.
    ASSERT_EQ(
        Tool("recover --order 10 --in \"" + Path("rec.wav") +
             "\" --averages 3 --atc --peaksync --syncmode 1 --out \"" + Path("ir.wav") + "\""),
        0)
        << Stderr();
    WaveData exported;
    ASSERT_EQ(ReadWave16(Path("ir.wav"), exported), WaveStatus::Ok);
    ASSERT_EQ(exported.format.channels, 1);
    ASSERT_EQ(exported.Frames(), 1024u);
    EXPECT_EQ(exported.samples[100], 32766);
    // The period is read as the settled room answers it: the reflection is half the direct
    // sound, apart from the −1/L that each path leaks into every other position.
    const double ratio = (0.25 - 0.5 / 1023) / (0.5 - 0.25 / 1023);
    EXPECT_NEAR(exported.samples[107], 32766 * ratio, 2);
}

class QuietRunView : public RunView {
  public:
    explicit QuietRunView(const MeasurementState& s) : s_(s) {}
    void SetStatusPanel(int, const std::string&) override {}
    // Shown between the periods of a run: the period just processed is still in Sampleresult.
    void RedrawImpulse() override { Keep(); }
    void Keep() {
        const int32_t* r = s_.buffers.SampleresultI();
        for (std::size_t i = 0; i < 4 * static_cast<std::size_t>(s_.MlsSize); ++i) {
            recording.push_back(static_cast<int16_t>(r[i]));
        }
    }
    std::vector<int16_t> recording;

  private:
    const MeasurementState& s_;
};

class NoHost : public RunHost {
  public:
    void OpenSoundSettings() override {}
    void Terminate() override {}
};

// A live run in a one-second Virtual Room, time-aligned, two peak-synchronised periods: its
// recorded blocks, recovered by fimtool, give the live run's response.
TEST_F(MlsRecoverTool, RecoveryOfALiveRecordingMatchesTheLiveRun) {
    MeasurementState s;
    s.buffers.Allocate({}, [](const std::string&) { FAIL(); });
    s.MlsOrder = 16;
    s.AveragesTarget = 2;
    s.AtcMode = 1;
    s.PeakSync = true;
    s.SyncMode = 1;
    s.IgnoreFirst = false;
    s.ShowIntermediate = true;
    RoomParameters p;
    p.realTime = false;
    p.reverbTime = 1.0;
    VirtualRoom room(p);
    MemorySettingsTree settings;
    settings.WriteString("INCARD", kVirtualRoomName);
    settings.WriteString("OUTCARD", kVirtualRoomName);
    ScriptedPrompter prompter;
    QuietRunView view(s);
    NoHost host;
    SemaphoreWakeup wake;
    {
        RunController c(s, room, settings, prompter, view, host, &wake);
        c.NORMALClick();
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (s.RunActive && std::chrono::steady_clock::now() < until) {
            if (wake.WaitFor(std::chrono::milliseconds(50))) c.DispatchDeviceEvents();
        }
        ASSERT_FALSE(s.RunActive);
        view.Keep();  // the completing period
        s.DevicesClosed = true;
        c.MIR1Click();
    }
    ASSERT_TRUE(prompter.shown.empty()) << prompter.shown[0].text;
    const std::size_t length = 65535;
    ASSERT_EQ(view.recording.size(), 2 * 4 * (length + 1));
    const std::vector<double> live(s.buffers.RLPd(), s.buffers.RLPd() + length);
    ASSERT_TRUE(WriteWave16(Path("live.wav"), s.SampleRate, 2, view.recording.data(),
                            view.recording.size() / 2));
    ASSERT_EQ(
        Tool("recover --order 16 --in \"" + Path("live.wav") +
             "\" --averages 2 --atc --peaksync --syncmode 1 --out \"" + Path("ir.mtf") + "\""),
        0)
        << Stderr();
    TimeFileData ir;
    ASSERT_EQ(ReadTimeFile(Path("ir.mtf"), ir), TimeFileStatus::Ok);
    ASSERT_GE(ir.samples.size(), length);
    const double peak = s.ImpulsePeakValue;
    ASSERT_GT(peak, 1000.0);
    for (std::size_t k = 0; k < length; ++k) ASSERT_NEAR(ir.samples[k], live[k], 1e-9 * peak) << k;
}

TEST_F(MlsRecoverTool, RefusedInputLeavesTheOutputAlone) {
    ASSERT_EQ(Tool("mls --order 10 --wav \"" + Path("m.wav") + "\""), 0);
    WaveData played;
    ASSERT_EQ(ReadWave16(Path("m.wav"), played), WaveStatus::Ok);
    Record(played, 2, 20, 100, Path("rec.wav"));
    {
        std::ofstream old(Path("ir.mtf"));
        old << "old";
    }
    // Two blocks, the first ignored: one period short of two averages.
    EXPECT_NE(Tool("recover --order 10 --in \"" + Path("rec.wav") +
                   "\" --averages 2 --ignore-first --out \"" + Path("ir.mtf") + "\""),
              0);
    EXPECT_NE(Stderr().find("did not complete"), std::string::npos) << Stderr();
    EXPECT_EQ(fs::file_size(Path("ir.mtf")), 3u);
    // A mono file is not a recording of both inputs.
    std::vector<int16_t> mono(4096, 0);
    ASSERT_TRUE(WriteWave16(Path("mono.wav"), 44100, 1, mono.data(), mono.size()));
    EXPECT_NE(Tool("recover --order 10 --in \"" + Path("mono.wav") + "\" --out \"" +
                   Path("ir.mtf") + "\""),
              0);
    EXPECT_NE(Tool("recover --order 10 --in \"" + Path("rec.wav") + "\" --out \"" + Path("ir.txt") +
                   "\""),
              0);
    EXPECT_NE(Tool("recover --order 19 --in \"" + Path("rec.wav") + "\" --out \"" + Path("ir.mtf") +
                   "\""),
              0);
    EXPECT_EQ(fs::file_size(Path("ir.mtf")), 3u);
    EXPECT_FALSE(fs::exists(Path("ir.txt")));
}

TEST_F(MlsRecoverTool, LevelChecksOfALiveRunRefuseSilentAndClippedBlocks) {
    // Two blocks of order 10 (2 · 2048 frames): silence is too low, full scale clips.
    for (const int16_t level : {int16_t{0}, int16_t{32767}}) {
        std::vector<int16_t> rec(2 * 2 * 2048, level);
        ASSERT_TRUE(WriteWave16(Path("level.wav"), 44100, 2, rec.data(), rec.size() / 2));
        EXPECT_NE(Tool("recover --order 10 --in \"" + Path("level.wav") + "\" --out \"" +
                       Path("level.mtf") + "\""),
                  0);
        const std::string expected = level == 0 ? "INPUT TO LOW" : "INPUT CLIPPING";
        EXPECT_NE(Stderr().find(expected), std::string::npos) << Stderr();
        EXPECT_NE(Stderr().find("block 1"), std::string::npos) << Stderr();
        EXPECT_FALSE(fs::exists(Path("level.mtf")));
    }
}

}  // namespace
}  // namespace fim
