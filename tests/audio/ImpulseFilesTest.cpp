#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "FileTestUtil.h"
#include "audio/ImpulseFiles.h"
#include "audio/TimeFile.h"
#include "audio/WaveFile.h"
#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "base/ScriptedPrompter.h"

namespace fim {
namespace {

using test::Bytes;

// Little-endian doubles, written without the writer under test.
Bytes Doubles(const std::vector<double>& v) {
    Bytes b(8 * v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        uint64_t u;
        std::memcpy(&u, &v[i], 8);
        for (int k = 0; k < 8; ++k) b[8 * i + k] = static_cast<unsigned char>(u >> (8 * k));
    }
    return b;
}

class ImpulseFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state.buffers.Allocate({}, [](const std::string&) { std::abort(); });
        rlp = state.buffers.RLPd();
    }
    // A measured response of order 12: 4095 valid samples and a stale value behind them.
    void FillMeasurement() {
        state.MlsSize = 4096;
        state.SampleRate = 44100;
        for (int k = 0; k < 4095; ++k) rlp[k] = 0.25 * std::sin(0.37 * k) * std::exp(-k / 500.0);
        rlp[200] = -0.5;
        rlp[4095] = 0.0;  // a run leaves the entry behind the response at 0
        state.ImpulsePeakValue = 0.5;
        state.ImpulsePeakIndex = 201;
        state.ImpulseValid = true;
    }
    // Snapshot of everything a refused load must leave alone.
    struct Snapshot {
        int32_t mlsSize;
        uint16_t rate;
        double peak;
        int32_t peakIndex;
        bool valid;
        std::vector<double> head;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take() const {
        return {state.MlsSize,          state.SampleRate,   state.ImpulsePeakValue,
                state.ImpulsePeakIndex, state.ImpulseValid, std::vector<double>(rlp, rlp + 4100)};
    }

    MeasurementState state;
    double* rlp = nullptr;
    ScriptedPrompter prompter;
    ImpulseFiles files{state, prompter};
    test::TempDir dir;
};

TEST_F(ImpulseFilesTest, TimeFileRoundTripOfOrderTwelve) {
    FillMeasurement();
    const std::string path = dir.File("m.MTF");
    ASSERT_TRUE(files.SaveImpulse(path, ImpulseFiles::kTimeFile));
    EXPECT_EQ(std::filesystem::file_size(path), 32776u);
    const std::vector<double> saved(rlp, rlp + 4095);

    std::fill(rlp, rlp + 5000, 9.0);
    state.SampleRate = 48000;
    state.MlsSize = 65536;
    state.PinkMls = true;
    // What a run before left: its drift and noise estimate are not the loaded response's.
    state.DriftMeasured = true;
    state.LastRun = {true, 8, true, true};
    state.Noise.Prepare(4095);
    state.Noise.Add(rlp, rlp, 1, 4095);
    state.Noise.Finish(12);
    ASSERT_TRUE(state.Noise.Ready());
    ASSERT_TRUE(files.LoadImpulse(path, ImpulseFiles::kTimeFile));
    EXPECT_FALSE(state.Noise.Ready());
    EXPECT_FALSE(state.DriftMeasured);
    EXPECT_FALSE(state.LastRun.known);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(state.MlsSize, 4096);
    EXPECT_EQ(state.SampleRate, 44100);
    EXPECT_EQ(std::vector<double>(rlp, rlp + 4095), saved);
    EXPECT_EQ(rlp[4095], 0.0);
    EXPECT_EQ(rlp[4096], 9.0) << "loaded past the file's samples";
    EXPECT_EQ(state.ImpulsePeakValue, 0.5);
    EXPECT_EQ(state.ImpulsePeakIndex, 201);
    EXPECT_TRUE(state.ImpulseValid);
    EXPECT_FALSE(state.PinkMls);
    EXPECT_EQ(files.loadedName, "m.MTF");
}

TEST_F(ImpulseFilesTest, LoadedFilesSaveBackBitIdentically) {
    // A time file written elsewhere: its last sample is data like any other.
    std::vector<double> v = {48000.0};
    for (int k = 0; k < 3000; ++k) v.push_back(std::cos(0.1 * k) / (k + 1.5));
    v.back() = -0.123456789;
    const std::string original = dir.File("other.mtf");
    test::WriteBytes(original, Doubles(v));
    ASSERT_TRUE(files.LoadImpulse(original, ImpulseFiles::kTimeFile));
    const std::string copy = dir.File("copy.mtf");
    ASSERT_TRUE(files.SaveImpulse(copy, ImpulseFiles::kTimeFile));
    EXPECT_EQ(test::ReadBytes(copy), test::ReadBytes(original));

    // A WAVE whose peak is already ±32766: the export's normalisation keeps every sample.
    std::vector<int16_t> s(5000);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>((i * 7919) % 20001 - 10000);
    s[17] = -32766;
    s.back() = 1234;
    const std::string wav = dir.File("other.wav");
    test::WriteBytes(wav, test::RiffWave({test::FmtChunk(1, 1, 44100, 16), test::DataChunk(s)}));
    ASSERT_TRUE(files.LoadImpulse(wav, ImpulseFiles::kWaveFile));
    const std::string wavCopy = dir.File("copy.wav");
    ASSERT_TRUE(files.SaveImpulse(wavCopy, ImpulseFiles::kWaveFile));
    WaveData w;
    ASSERT_EQ(ReadWave16(wavCopy, w), WaveStatus::Ok);
    EXPECT_EQ(w.samples, s);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(ImpulseFilesTest, SaveCommandTakesTheChosenFilterUnlessAKnownExtensionIsTyped) {
    FillMeasurement();
    // Filter 0 is the time file, 1 the WAVE; a bare name gets the filter's extension.
    prompter.files = {dir.File("bare"), dir.File("sound"), dir.File("typed.wav"),
                      dir.File("other.dat")};
    prompter.filters = {0, 1, 0, 1};
    ASSERT_TRUE(files.SaveTimeFileCommand());
    EXPECT_EQ(std::filesystem::file_size(dir.File("bare.MTF")), 32776u);
    EXPECT_EQ(files.filterIndex, ImpulseFiles::kTimeFile);
    ASSERT_TRUE(files.SaveTimeFileCommand());
    WaveData w;
    EXPECT_EQ(ReadWave16(dir.File("sound.WAV"), w), WaveStatus::Ok);
    ASSERT_TRUE(files.SaveTimeFileCommand());
    EXPECT_EQ(ReadWave16(dir.File("typed.wav"), w), WaveStatus::Ok);
    ASSERT_TRUE(files.SaveTimeFileCommand());
    EXPECT_EQ(ReadWave16(dir.File("other.dat"), w), WaveStatus::Ok);
    EXPECT_EQ(files.filterIndex, ImpulseFiles::kWaveFile);

    // The dialogs' texts come from the catalog, and the remembered filter is preselected.
    ASSERT_EQ(prompter.fileRequests.size(), 4u);
    EXPECT_EQ(prompter.fileRequests[0].title, Msg(209));
    EXPECT_EQ(prompter.fileRequests[0].filter,
              Msg(207) + " (*.MTF *.mtf);;" + Msg(208) + " (*.WAV *.wav)");
    EXPECT_EQ(prompter.fileRequests[0].initialFilter, 1);  // WAVE at first use
    EXPECT_EQ(prompter.fileRequests[1].initialFilter, 0);
    prompter.files = {""};
    EXPECT_FALSE(files.LoadTimeFileCommand());
    EXPECT_EQ(prompter.fileRequests.back().title, Msg(206));
    EXPECT_EQ(prompter.fileRequests.back().initialFilter, 1);
}

TEST_F(ImpulseFilesTest, WaveExportNormalisesThePeakAndRefusesASilentResponse) {
    FillMeasurement();
    const std::string path = dir.File("ir.wav");
    ASSERT_TRUE(files.SaveImpulse(path, ImpulseFiles::kWaveFile));
    WaveData w;
    ASSERT_EQ(ReadWave16(path, w), WaveStatus::Ok);
    ASSERT_EQ(w.samples.size(), 4096u);
    EXPECT_EQ(w.format.sampleRate, 44100u);
    EXPECT_EQ(w.samples[200], -32766);
    EXPECT_EQ(w.samples[4095], 0);
    // Round half to even: 0.25 · sin(0.37 · 1) · e^(−1/500) · 65532, checked independently.
    EXPECT_EQ(w.samples[1], static_cast<int16_t>(std::nearbyint(rlp[1] * 32766.0 / 0.5)));

    const Bytes before = test::ReadBytes(path);
    state.ImpulsePeakValue = 0.0;
    EXPECT_FALSE(files.SaveImpulse(path, ImpulseFiles::kWaveFile));
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, FileMessage(FileText::NoResponse));
    EXPECT_EQ(test::ReadBytes(path), before) << "a refused export touched the old file";
    EXPECT_FALSE(files.SaveImpulse(dir.File("new.wav"), ImpulseFiles::kWaveFile));
    EXPECT_FALSE(std::filesystem::exists(dir.File("new.wav")));
}

TEST_F(ImpulseFilesTest, WaveImportTakesRateAndCutsLongFiles) {
    std::vector<int16_t> s(300000);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<int16_t>((i * 37) % 20000 - 10000);
    s[262143] = -32768;  // the peak sits on the last sample kept
    s[262144] = 32767;   // a larger one past the cut must not count
    const std::string path = dir.File("long.WAV");
    test::WriteBytes(path, test::RiffWave({test::FmtChunk(1, 1, 48000, 16), test::DataChunk(s)}));
    state.SampleRate = 44100;
    ASSERT_TRUE(files.LoadImpulse(path, ImpulseFiles::kWaveFile));
    EXPECT_EQ(state.SampleRate, 48000);
    EXPECT_EQ(state.MlsSize, 262144);
    EXPECT_EQ(rlp[0], -10000.0);
    EXPECT_EQ(rlp[262143], -32768.0);
    EXPECT_EQ(state.ImpulsePeakValue, 32768.0);
    EXPECT_EQ(state.ImpulsePeakIndex, 262144);
}

TEST_F(ImpulseFilesTest, RefusedWavesShowTheirBoxAndChangeNothing) {
    const std::vector<int16_t> s = {1, 2, 3, 4};
    struct Case {
        const char* name;
        Bytes file;
        int caption;  // catalog index; -1 = own caption
        int text;     // catalog index; -1 = not checked
    };
    const Case cases[] = {
        {"stereo", test::RiffWave({test::FmtChunk(1, 2, 44100, 16), test::DataChunk(s)}), 15, 14},
        {"compressed", test::RiffWave({test::FmtChunk(2, 1, 44100, 16), test::DataChunk(s)}), 17,
         16},
        {"8 bit", test::RiffWave({test::FmtChunk(1, 1, 44100, 8), test::DataChunk(s)}), 19, 18},
        {"no fmt", test::RiffWave({test::DataChunk(s)}), 27, -1},
        {"no data", test::RiffWave({test::FmtChunk(1, 1, 44100, 16)}), 28, -1},
        {"not RIFF", Bytes(64, 'x'), 26, -1},
        {"rate too high", test::RiffWave({test::FmtChunk(1, 1, 96000, 16), test::DataChunk(s)}), -1,
         -1},
        {"no samples", test::RiffWave({test::FmtChunk(1, 1, 44100, 16), test::DataChunk({})}), -1,
         -1},
    };
    FillMeasurement();
    const Snapshot before = Take();
    for (const auto& c : cases) {
        prompter.shown.clear();
        const std::string path = dir.File("bad.wav");
        test::WriteBytes(path, c.file);
        EXPECT_FALSE(files.LoadImpulse(path, ImpulseFiles::kWaveFile)) << c.name;
        ASSERT_EQ(prompter.shown.size(), 1u) << c.name;
        if (c.caption >= 0) {
            EXPECT_EQ(prompter.shown[0].caption, Msg(c.caption)) << c.name;
        }
        if (c.text >= 0) {
            EXPECT_EQ(prompter.shown[0].text, Msg(c.text)) << c.name;
        }
        EXPECT_EQ(prompter.shown[0].buttons, PromptButtons::Ok) << c.name;
        EXPECT_TRUE(Take() == before) << c.name << " changed the loaded response";
    }
}

TEST_F(ImpulseFilesTest, RefusedTimeFilesChangeNothingAndMissingFilesSayNothing) {
    FillMeasurement();
    const Snapshot before = Take();
    auto doubles = [](std::vector<double> v) {
        Bytes b(v.size() * 8);
        for (std::size_t i = 0; i < v.size(); ++i) std::memcpy(&b[8 * i], &v[i], 8);
        return b;
    };
    const Bytes bad[] = {doubles({44100}),           Bytes(20, 0),        doubles({NAN, 1, 2}),
                         doubles({999.4, 1}),        doubles({70000, 1}), doubles({44100, 1, NAN}),
                         doubles({44100, -INFINITY})};
    for (const auto& b : bad) {
        test::WriteBytes(dir.File("bad.mtf"), b);
        EXPECT_FALSE(files.LoadImpulse(dir.File("bad.mtf"), ImpulseFiles::kTimeFile));
        EXPECT_TRUE(Take() == before);
    }
    EXPECT_EQ(prompter.shown.size(), 7u);
    prompter.shown.clear();
    EXPECT_FALSE(files.LoadImpulse(dir.File("gone.mtf"), ImpulseFiles::kTimeFile));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(ImpulseFilesTest, LoadCommandRemembersFolderAndKindAndFillsTheRecentList) {
    FillMeasurement();
    const std::string wav = dir.File("a.wav");
    const std::string mtf = dir.File("b.mtf");
    ASSERT_TRUE(files.SaveImpulse(wav, ImpulseFiles::kWaveFile));
    ASSERT_TRUE(files.SaveImpulse(mtf, ImpulseFiles::kTimeFile));
    prompter.files = {wav, mtf, wav, ""};
    EXPECT_TRUE(files.LoadTimeFileCommand());
    EXPECT_EQ(files.filterIndex, ImpulseFiles::kWaveFile);
    EXPECT_EQ(rlp[200], -32766.0) << "a WAVE loads unscaled samples";
    EXPECT_TRUE(files.LoadTimeFileCommand());
    EXPECT_EQ(files.filterIndex, ImpulseFiles::kTimeFile);
    EXPECT_EQ(files.folder, dir.Path().string());
    EXPECT_TRUE(files.LoadTimeFileCommand());
    EXPECT_FALSE(files.LoadTimeFileCommand());  // cancelled
    ASSERT_EQ(files.recent.Entries().size(), 2u);
    // Loading a listed name again does not reorder the menu.
    EXPECT_EQ(files.recent.Entries()[0].path, mtf);
    EXPECT_EQ(files.recent.Entries()[1].path, wav);
    EXPECT_EQ(ImpulseFiles::FilterIndexForName("x.Wav"), ImpulseFiles::kWaveFile);
    EXPECT_EQ(ImpulseFiles::FilterIndexForName("x.dat"), ImpulseFiles::kTimeFile);
}

}  // namespace
}  // namespace fim
