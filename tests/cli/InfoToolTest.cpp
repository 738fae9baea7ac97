// fimtool info on every file kind the program reads, and its refusals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../audio/FileTestUtil.h"
#include "audio/TimeFile.h"
#include "audio/WaveFile.h"
#include "base/Catalog.h"
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
              "\"peak_index\": 200, \"peak_value\": 0.75}\n");

    const int16_t s[4] = {0, -300, 12, 299};
    ASSERT_TRUE(WriteWave16(dir.File("a.wav"), 44100, 1, s, 4));
    ASSERT_EQ(Info(dir.File("a.wav")), 0) << err;
    EXPECT_EQ(out,
              "{\"kind\": \"wave\", \"sample_rate\": 44100, \"channels\": 1, \"samples\": 4, "
              "\"peak_index\": 2, \"peak_value\": 300}\n");

    std::vector<SpectrumRecord> bins(64, {1.0, 0.0});
    ASSERT_TRUE(WriteFftSpectrumFile(dir.File("c.cal"), 344.5, 128, 44100, bins.data()));
    ASSERT_EQ(Info(dir.File("c.cal")), 0) << err;
    EXPECT_EQ(out,
              "{\"kind\": \"fft_calibration\", \"version\": 2, \"fft_size\": 128, "
              "\"sample_rate\": 44100, \"lowest_frequency\": 344.5, \"records\": 64}\n");

    std::vector<SmoothRecord> r(kSmoothRecords, {100.0, 1.0, 0.0});
    ASSERT_TRUE(WriteSmoothSpectrumFile(dir.File("t.SMR"), 34, 96000, r.data()));
    ASSERT_EQ(Info(dir.File("t.SMR")), 0) << err;
    EXPECT_EQ(out,
              "{\"kind\": \"smooth_spectrum\", \"version\": 2, \"sample_rate\": 96000, "
              "\"lowest_frequency\": 34, \"records\": 295}\n");

    MicCorrection mic;
    mic.sampleRate = 44100;
    ASSERT_TRUE(WriteMicCorrection(dir.File("m.SMC"), mic));
    ASSERT_EQ(Info(dir.File("m.SMC")), 0) << err;
    EXPECT_EQ(out, "{\"kind\": \"mic_correction\", \"sample_rate\": 44100, \"records\": 295}\n");

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

}  // namespace
}  // namespace fim
