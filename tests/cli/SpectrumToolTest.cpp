// fimtool spectrum on responses whose spectrum is known by hand.

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../audio/FileTestUtil.h"
#include "audio/TimeFile.h"
#include "settings/SettingsRecords.h"
#include "spectrum/Provenance.h"
#include "spectrum/SpectrumFiles.h"

namespace fim {
namespace {

class SpectrumTool : public ::testing::Test {
  protected:
    void SetUp() override {
        // A unit impulse at sample 300: its spectrum is flat at magnitude 1.
        std::vector<double> ir(4096, 0.0);
        ir[299] = 1.0;
        ASSERT_TRUE(WriteTimeFile(dir.File("ir.mtf"), 48000, ir.data(), ir.size()));
    }
    int Run(const std::string& options) {
        const std::string cmd = std::string("\"") + FIMTOOL_PATH + "\" spectrum --in \"" +
                                dir.File("ir.mtf") + "\" " + options + " > \"" +
                                dir.File("out.txt") + "\" 2> \"" + dir.File("err.txt") + "\"";
        const int status = std::system(cmd.c_str());
        out = Slurp(dir.File("out.txt"));
        err = Slurp(dir.File("err.txt"));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // The number after "key": in the JSON summary.
    double Number(const std::string& key) const {
        const auto at = out.find("\"" + key + "\": ");
        if (at == std::string::npos) return -1e9;
        return std::strtod(out.c_str() + at + key.size() + 4, nullptr);
    }
    static std::string Slurp(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    test::TempDir dir;
    std::string out, err;
};

TEST_F(SpectrumTool, FlatImpulseReadsZeroDbInTheTenMillisecondWindow) {
    ASSERT_EQ(Run("--frd \"" + dir.File("a.frd") + "\" --spectrum \"" + dir.File("a.mfr") + "\""),
              0)
        << err;
    // 400 µs before and 9600 µs after the peak at 48000 Hz: samples 281 … 760.
    EXPECT_NE(out.find("\"start\": 281, \"end\": 761"), std::string::npos) << out;
    EXPECT_NE(out.find("\"lowest_frequency\": 100,"), std::string::npos) << out;
    // The level reference is the mean magnitude (its divisor leaves out one bin of the range).
    EXPECT_NEAR(Number("peak_level"), 0.0, 0.01) << out;

    // Every exported line sits at the ASCII offset of 80 dB, "." as decimal separator, CR LF.
    const std::string frd = Slurp(dir.File("a.frd"));
    std::istringstream lines(frd);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        if (line[0] == '*') continue;  // what produced the file
        EXPECT_EQ(line.substr(9, 5), "80.00") << line;
        ++count;
    }
    // Bins Round(100 / 11.71875) = 9 … 2048.
    EXPECT_EQ(count, 2048 - 9 + 1);

    FftSpectrumFile file;
    ASSERT_EQ(ReadFftSpectrum(dir.File("a.mfr"), file), SpectrumFileStatus::Ok);
    EXPECT_EQ(file.fftSize, 4096);
    EXPECT_NEAR(file.bins[1000].Magnitude, 1.0, 1e-12);
}

TEST_F(SpectrumTool, SmoothModeAndCalibrationWithTheSameMeasurement) {
    ASSERT_EQ(Run("--mode smooth --spectrum \"" + dir.File("s.smr") + "\""), 0) << err;
    EXPECT_NE(out.find("\"fft_size\": 32768"), std::string::npos) << out;
    ASSERT_EQ(Run("--mode smooth --cal \"" + dir.File("s.smr") + "\""), 0) << err;
    EXPECT_NE(out.find("\"level_reference\": 1,"), std::string::npos) << out;
    EXPECT_NEAR(Number("peak_level"), 0.0, 0.01) << out;
}

// The reader a loudspeaker designer's tool uses: "*" lines skipped, every other line exactly
// three numbers. Returns the comment lines; fails the test on any other line.
std::vector<std::string> StrictFrdComments(const std::string& text, int& points) {
    std::vector<std::string> comments;
    std::istringstream lines(text);
    std::string line;
    points = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '*') {
            comments.push_back(line);
            continue;
        }
        std::istringstream fields(line);
        double f = 0, level = 0, phase = 0;
        std::string rest;
        EXPECT_TRUE(fields >> f >> level >> phase) << line;
        EXPECT_FALSE(fields >> rest) << line;
        ++points;
    }
    return comments;
}

TEST_F(SpectrumTool, StampedFrdNamesCalibrationAndMicrophoneWithTheirHashes) {
    ASSERT_EQ(Run("--mode smooth --spectrum \"" + dir.File("cal.smr") + "\""), 0) << err;
    const std::string mic = std::string(FIM_TEST_DATA_DIR) + "/miccal/star_sens_normalised.txt";
    ASSERT_EQ(Run("--mode smooth --cal \"" + dir.File("cal.smr") + "\" --mic \"" + mic +
                  "\" --frd \"" + dir.File("s.frd") + "\""),
              0)
        << err;
    int points = 0;
    const auto comments = StrictFrdComments(Slurp(dir.File("s.frd")), points);
    EXPECT_GT(points, 100);
    std::string all;
    for (const auto& c : comments) all += c + "\n";
    EXPECT_NE(all.find("* Calibration: cal.smr #" + FileHash(dir.File("cal.smr"))),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("* Microphone: star_sens_normalised.txt #" + FileHash(mic)),
              std::string::npos)
        << all;
    EXPECT_NE(all.find("* Sample rate: 48000 Hz"), std::string::npos) << all;
    EXPECT_NE(all.find("* Mode: SMOOTH"), std::string::npos) << all;
    EXPECT_NE(out.find("\"provenance\": {"), std::string::npos) << out;

    // Unstamped, the file is the plain export: the same points and no comment at all.
    ASSERT_EQ(Run("--mode smooth --cal \"" + dir.File("cal.smr") + "\" --mic \"" + mic +
                  "\" --no-stamp --frd \"" + dir.File("plain.frd") + "\""),
              0)
        << err;
    int plainPoints = 0;
    EXPECT_TRUE(StrictFrdComments(Slurp(dir.File("plain.frd")), plainPoints).empty());
    EXPECT_EQ(plainPoints, points);
}

TEST_F(SpectrumTool, RefusedInputWritesNothing) {
    // An FFT spectrum cannot be written as a SMOOTH file, and a calibration of another FFT size
    // does not fit: both refuse before anything is written.
    EXPECT_NE(Run("--spectrum \"" + dir.File("x.smr") + "\""), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.smr")));
    ASSERT_EQ(Run("--fft-size 8192 --spectrum \"" + dir.File("big.mfr") + "\""), 0) << err;
    EXPECT_NE(Run("--cal \"" + dir.File("big.mfr") + "\" --frd \"" + dir.File("c.frd") + "\""), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("c.frd")));
    EXPECT_NE(Run("--start 500 --end 400"), 0);
    EXPECT_NE(Run("--mode loud"), 0);
}

TEST_F(SpectrumTool, PngPaintsTheFlatResponseOnTheCentreLineWithItsOverlay) {
    ASSERT_EQ(Run("--mode smooth --spectrum \"" + dir.File("s.smr") + "\""), 0) << err;
    const std::string png = dir.File("plot.png");
    ASSERT_EQ(Run("--mode smooth --overlay \"" + dir.File("s.smr") + "\" --png \"" + png +
                  "\" --width 640 --height 360"),
              0)
        << err;
    QImage img(QString::fromStdString(png));
    ASSERT_EQ(img.size(), QSize(640, 360));
    // The curve is drawn last, on the centre line (0 dB) across the plot.
    const ColorTable colours = ColorTable::Default();
    const uint32_t ref = colours.entries[4];
    const QRgb curve = qRgb(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF);
    int onCentre = 0;
    for (int x = 100; x < 600; ++x) onCentre += img.pixel(x, 180) == curve;
    EXPECT_GT(onCentre, 450);

    // An overlay that is no spectrum file refuses the command and writes nothing.
    EXPECT_NE(Run("--overlay \"" + dir.File("ir.mtf") + "\" --png \"" + dir.File("n.png") +
                  "\" --frd \"" + dir.File("n.frd") + "\""),
              0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("n.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("n.frd")));
    EXPECT_NE(Run("--png \"" + dir.File("n.jpg") + "\""), 0);
}

// A time file holds no spread between periods: the SNR comes from the response's late tail, and
// the JSON says so, or says why there is none.
TEST_F(SpectrumTool, SnrFromTheLateTailOrAReasonWhyNot) {
    ASSERT_EQ(Run(""), 0) << err;
    EXPECT_NE(out.find("\"snr_source\": \"none\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"snr_reason\": \"the response's tail is silent\""), std::string::npos);
    EXPECT_EQ(out.find("snr_octaves"), std::string::npos);

    // A unit impulse over white noise 60 dB below it.
    std::vector<double> ir(32768);
    uint32_t r = 3;
    for (double& v : ir) {
        r = r * 1664525u + 1013904223u;
        v = 0.001 * std::sqrt(12.0) * ((r >> 8) / double(1 << 24) - 0.5);
    }
    ir[999] = 1.0;
    ASSERT_TRUE(WriteTimeFile(dir.File("ir.mtf"), 48000, ir.data(), ir.size()));
    ASSERT_EQ(Run(""), 0) << err;
    EXPECT_NE(out.find("\"snr_source\": \"late_tail\""), std::string::npos) << out;
    // From 1 ms before the peak (sample 952); the tail is the last 15908 samples.
    EXPECT_EQ(Number("snr_start"), 952);
    EXPECT_EQ(Number("snr_end"), 952 + 15908 - 1);
    EXPECT_EQ(Number("snr_noise_start"), 32767 - 15908 + 1);
    EXPECT_EQ(Number("snr_noise_end"), 32767);
    // The bands' figures are the engine's (tested there); here they are all present.
    int bands = 0;
    for (auto at = out.find("\"snr_db\": "); at != std::string::npos;
         at = out.find("\"snr_db\": ", at + 1))
        ++bands;
    EXPECT_EQ(bands, 10);
}

}  // namespace
}  // namespace fim
