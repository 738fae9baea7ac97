// fimtool info on every file kind the program reads, and its refusals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../audio/FileTestUtil.h"
#include "audio/TimeFile.h"
#include "audio/WaveFile.h"
#include "base/Catalog.h"
#include "base/FileTexts.h"
#include "spectrum/SpectrumFiles.h"

namespace fim {
namespace {

class InfoTool : public ::testing::Test {
  protected:
    // Runs `fimtool info <path>`; returns the exit status and fills out/err.
    int Info(const std::string& path) {
        const std::string cmd = std::string("\"") + FIMTOOL_PATH + "\" info \"" + path + "\" > \"" +
                                dir.File("out.txt") + "\" 2> \"" + dir.File("err.txt") + "\"";
        const int status = std::system(cmd.c_str());
        out = Slurp(dir.File("out.txt"));
        err = Slurp(dir.File("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream f(path);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    test::TempDir dir;
    std::string out, err;
};

TEST_F(InfoTool, DescribesEveryKind) {
    std::vector<double> ir(4096, 0.0);
    ir[199] = -0.75;
    ir[300] = 0.5;
    ASSERT_TRUE(WriteTimeFile(dir.File("ir.MTF"), 48000, ir.data(), ir.size()));
    ASSERT_EQ(Info(dir.File("ir.MTF")), 0) << err;
    EXPECT_EQ(out,
              "{\"kind\": \"time\", \"sample_rate\": 48000, \"samples\": 4096, "
              "\"duration_ms\": 85.33, \"peak_index\": 200, \"peak_value\": 0.75}\n");

    const int16_t s[4] = {0, -300, 12, 299};
    ASSERT_TRUE(WriteWave16(dir.File("a.wav"), 44100, 1, s, 4));
    ASSERT_EQ(Info(dir.File("a.wav")), 0) << err;
    EXPECT_EQ(out,
              "{\"kind\": \"wave\", \"sample_rate\": 44100, \"channels\": 1, \"samples\": 4, "
              "\"peak_index\": 2, \"peak_value\": 300}\n");

    // Bin 0 lies below the lowest valid frequency and must not count; bin 20 is silent.
    std::vector<SpectrumRecord> bins(64, {1.0, 0.0});
    bins[0].Magnitude = 100.0;
    bins[10].Magnitude = 4.0;
    bins[20].Magnitude = 0.0;
    ASSERT_TRUE(WriteFftSpectrumFile(dir.File("c.cal"), 344.5, 128, 44100, bins.data()));
    ASSERT_EQ(Info(dir.File("c.cal")), 0) << err;
    EXPECT_EQ(out,
              "{\"kind\": \"fft_calibration\", \"version\": 2, \"fft_size\": 128, "
              "\"sample_rate\": 44100, \"lowest_frequency\": 344.5, \"records\": 64, "
              "\"bin_width\": 344.5312, \"highest_frequency\": 21705.47, \"valid_records\": 63, "
              "\"level_reference\": 1.0317460317460319, \"level_min_db\": -0.27, "
              "\"level_max_db\": 11.77, \"peak_frequency\": 3445.31}\n");

    // Records from 10 Hz in 100 Hz steps; the level counts those above 34 Hz and below 23 kHz.
    std::vector<SmoothRecord> r(kSmoothRecords);
    for (std::size_t k = 0; k < r.size(); ++k) r[k] = {10.0 + 100.0 * double(k), 1.0, 0.0};
    r.back().Frequency = 50000.0;
    r[0].Magnitude = 50.0;
    r[250].Magnitude = 80.0;
    r[100].Magnitude = 0.5;
    r[101].Magnitude = 2.0;
    ASSERT_TRUE(WriteSmoothSpectrumFile(dir.File("t.SMR"), 34, 96000, r.data()));
    ASSERT_EQ(Info(dir.File("t.SMR")), 0) << err;
    EXPECT_EQ(out,
              "{\"kind\": \"smooth_spectrum\", \"version\": 2, \"sample_rate\": 96000, "
              "\"lowest_frequency\": 34, \"records\": 295, \"first_frequency\": 10, "
              "\"last_frequency\": 29310, \"valid_records\": 229, "
              "\"level_reference\": 1.002183406113537, \"level_min_db\": -6.04, "
              "\"level_max_db\": 6, \"peak_frequency\": 10110}\n");

    MicCorrection mic;
    mic.sampleRate = 44100;
    ASSERT_TRUE(WriteMicCorrection(dir.File("m.SMC"), mic));
    ASSERT_EQ(Info(dir.File("m.SMC")), 0) << err;
    EXPECT_NE(out.find("{\"kind\": \"mic_correction\", \"sample_rate\": 44100, \"records\": 295, "),
              std::string::npos)
        << out;

    ASSERT_EQ(Info(std::string(FIM_TEST_DATA_DIR) + "/miccal/quoted_sens_tab_crlf.txt"), 0) << err;
    EXPECT_NE(out.find("\"kind\": \"mic_calibration_text\""), std::string::npos);
    EXPECT_NE(out.find("\"sensitivity\": -1.378"), std::string::npos);
}

TEST_F(InfoTool, RefusalsSayWhyOnOneLine) {
    test::WriteBytes(dir.File("st.wav"),
                     test::RiffWave({test::FmtChunk(1, 1, 44100, 8), test::DataChunk({1})}));
    EXPECT_NE(Info(dir.File("st.wav")), 0);
    EXPECT_EQ(err, Msg(19) + ": " + Msg(18) + "\n");
    EXPECT_TRUE(out.empty());
    test::WriteBytes(dir.File("x.mtf"), test::Bytes(12, 0));
    EXPECT_NE(Info(dir.File("x.mtf")), 0);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_NE(Info(dir.File("missing.cal")), 0);
    EXPECT_NE(Info(dir.File("file.xyz")), 0);
}

// Files the program wrote, then damaged: each is refused on one line in the program's words, with
// a failing exit status and nothing on stdout.
TEST_F(InfoTool, DamagedBinaryFilesAreRefused) {
    std::vector<SpectrumRecord> bins(64, {1.0, 0.0});
    ASSERT_TRUE(WriteFftSpectrumFile(dir.File("whole.MFR"), 344.5, 128, 44100, bins.data()));
    std::vector<SmoothRecord> records(kSmoothRecords, {100.0, 1.0, 0.0});
    ASSERT_TRUE(WriteSmoothSpectrumFile(dir.File("whole.CSM"), 34, 44100, records.data()));
    std::vector<double> ir(1024, 0.25);
    ASSERT_TRUE(WriteTimeFile(dir.File("whole.MTF"), 44100, ir.data(), ir.size()));
    const test::Bytes mfr = test::ReadBytes(dir.File("whole.MFR"));
    const test::Bytes csm = test::ReadBytes(dir.File("whole.CSM"));
    const test::Bytes mtf = test::ReadBytes(dir.File("whole.MTF"));
    auto patched = [](test::Bytes b, std::size_t at, double v) {
        std::memcpy(b.data() + at, &v, 8);  // little-endian machines only, as the files are
        return b;
    };
    const std::string damaged = FileMessage(FileText::DamagedFile) + "\n";
    const struct {
        const char* name;
        test::Bytes bytes;
        std::string message;
    } cases[] = {
        {"cut.MFR", test::Bytes(mfr.begin(), mfr.end() - 8), damaged},
        {"short.MFR", test::Bytes(mfr.begin(), mfr.begin() + 20), damaged},
        {"nan.MFR", patched(mfr, 32 + 16 * 5, std::nan("")), damaged},
        {"version.MFR", patched(mfr, 8, 1.0), FileMessage(FileText::WrongVersion) + "\n"},
        {"size.MFR", patched(mfr, 16, 1000.0), ""},
        {"cut.CSM", test::Bytes(csm.begin(), csm.end() - 24), damaged},
        {"inf.CSM", patched(csm, 24 + 24 * 7 + 8, INFINITY), damaged},
        {"empty.CAL", test::Bytes(), damaged},
        {"nan.MTF", patched(mtf, 8 * 100, std::nan("")), damaged},
        {"cut.MTF", test::Bytes(mtf.begin(), mtf.end() - 3), ""},
    };
    for (const auto& c : cases) {
        test::WriteBytes(dir.File(c.name), c.bytes);
        EXPECT_NE(Info(dir.File(c.name)), 0) << c.name;
        EXPECT_TRUE(out.empty()) << c.name << ": " << out;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << c.name << ": " << err;
        if (!c.message.empty()) {
            EXPECT_EQ(err, c.message) << c.name;
        }
        EXPECT_EQ(test::ReadBytes(dir.File(c.name)), c.bytes) << c.name;
    }
}

}  // namespace
}  // namespace fim
