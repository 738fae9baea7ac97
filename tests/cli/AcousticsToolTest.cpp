// fimtool acoustics: the same numbers as the analysis gives in the program, as a table and as
// JSON, and its refusals.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "../audio/FileTestUtil.h"
#include "acoustics/RoomAcoustics.h"
#include "audio/TimeFile.h"
#include "base/FileTexts.h"

namespace fim {
namespace {

class AcousticsTool : public ::testing::Test {
  protected:
    int Tool(const std::string& args) {
        const std::string cmd = std::string("\"") + FIMTOOL_PATH + "\" acoustics " + args +
                                " > \"" + dir.File("out.txt") + "\" 2> \"" + dir.File("err.txt") +
                                "\"";
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
    // The number after `"key": ` in the object that starts at `from`.
    double Value(std::size_t from, const std::string& key) const {
        const std::size_t at = out.find("\"" + key + "\": ", from);
        EXPECT_NE(at, std::string::npos) << key;
        return std::strtod(out.c_str() + at + key.size() + 4, nullptr);
    }
    test::TempDir dir;
    std::string out, err;
};

// White noise decaying by 60 dB in 0.5 s, 200 samples in, over a floor 70 dB down.
std::vector<double> Response() {
    std::mt19937 rng(4);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<double> ir(32768, 0.0);
    for (std::size_t k = 0; k < ir.size(); ++k) {
        ir[k] = 3e-4 * gauss(rng);
        if (k >= 200) ir[k] += gauss(rng) * std::exp(-6.9078 * double(k - 200) / (0.5 * 48000));
    }
    return ir;
}

TEST_F(AcousticsTool, TableAndJsonCarryTheProgramsNumbers) {
    const std::vector<double> ir = Response();
    ASSERT_TRUE(WriteTimeFile(dir.File("ir.mtf"), 48000, ir.data(), ir.size()));
    // Loading takes the samples of a measurement: all but the last, which a saved one holds as 0.
    const AcousticsResult r = AnalyseRoom(ir.data(), ir.size() - 1, 48000);

    ASSERT_EQ(Tool("--in \"" + dir.File("ir.mtf") + "\""), 0) << err;
    EXPECT_EQ(out, AcousticsTable(r, '\t'));

    ASSERT_EQ(Tool("--in \"" + dir.File("ir.mtf") + "\" --json"), 0) << err;
    EXPECT_NE(out.find("\"sample_rate\": 48000, \"samples\": 32767, \"bands_kind\": \"octave\""),
              std::string::npos)
        << out;
    const std::size_t k1 = out.find("{\"band\": \"1k\"");
    ASSERT_NE(k1, std::string::npos) << out;
    const BandAcoustics& b = r.bands[4];
    ASSERT_EQ(b.band.label, "1k");
    ASSERT_TRUE(b.t30.valid && b.clarityValid);
    EXPECT_NEAR(b.t30.seconds, 0.5, 0.03);
    EXPECT_EQ(Value(k1, "t30"), b.t30.seconds);
    EXPECT_EQ(Value(k1, "edt"), b.edt.seconds);
    EXPECT_EQ(Value(k1, "c80"), b.c80);
    EXPECT_EQ(Value(k1, "ts"), b.ts);
    const std::size_t wide = out.find("\"broadband\": {\"band\": \"Z\"");
    ASSERT_NE(wide, std::string::npos) << out;
    EXPECT_EQ(Value(wide, "t20"), r.broadband.t20.seconds);

    // Third octaves, and the A-weighted broadband line.
    ASSERT_EQ(Tool("--in \"" + dir.File("ir.mtf") + "\" --bands third --weighting a --json"), 0);
    std::size_t bands = 0;
    for (std::size_t at = out.find("{\"band\""); at != std::string::npos;
         at = out.find("{\"band\"", at + 1)) {
        ++bands;
    }
    EXPECT_EQ(bands, 24u + 1u);
    EXPECT_NE(out.find("\"broadband\": {\"band\": \"A\""), std::string::npos);
}

TEST_F(AcousticsTool, ShortResponseSaysSoAndBadInputIsRefused) {
    // 0.1 s of a 0.5 s decay: 12 dB, too little for any reverberation time.
    std::vector<double> ir = Response();
    ir.resize(4800);
    ASSERT_TRUE(WriteTimeFile(dir.File("short.mtf"), 48000, ir.data(), ir.size()));
    ASSERT_EQ(Tool("--in \"" + dir.File("short.mtf") + "\" --json"), 0) << err;
    const std::size_t k1 = out.find("{\"band\": \"1k\"");
    ASSERT_NE(k1, std::string::npos);
    EXPECT_EQ(out.substr(out.find("\"t30\": ", k1), 33), "\"t30\": \"not enough dynamic range\"");

    EXPECT_NE(Tool("--in \"" + dir.File("missing.mtf") + "\""), 0);
    EXPECT_NE(err.find("missing.mtf"), std::string::npos) << err;
    EXPECT_NE(Tool("--in \"" + dir.File("short.mtf") + "\" --bands sixth"), 0);
    EXPECT_NE(err.find("--bands sixth"), std::string::npos) << err;
    ir[100] = std::numeric_limits<double>::infinity();
    ASSERT_TRUE(WriteTimeFile(dir.File("bad.mtf"), 48000, ir.data(), ir.size()));
    // A time file with a sample that is no number is refused as damaged when it is read.
    EXPECT_NE(Tool("--in \"" + dir.File("bad.mtf") + "\""), 0);
    EXPECT_NE(err.find(FileMessage(FileText::DamagedFile)), std::string::npos) << err;
    EXPECT_NE(Tool("--bands octave"), 0);
    EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace fim
