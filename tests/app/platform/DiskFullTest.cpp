// A full disk while saving each kind of file the program writes: the save is refused with the
// program's "File Save Error" (or, for the settings, reported as failed), the old file stays as
// it was, and no temporary file is left beside it. The disk fills up through RLIMIT_FSIZE: a
// write beyond the limit fails with EFBIG as a full disk fails with ENOSPC.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QTemporaryDir>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "audio/ImpulseFiles.h"
#include "core/MeasurementState.h"
#include "settings/platform/QSettingsTree.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"
#include "spectrum/CalibrationStore.h"
#include "traces/TMAINTRACE.h"

namespace fim {
namespace {

namespace fs = std::filesystem;

std::vector<char> Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// While it lives, no file of this process may grow beyond `bytes` (as if the disk were full
// there). The signal a process gets for that is ignored, so the write itself fails.
class FullDisk {
  public:
    explicit FullDisk(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit full = old_;
        full.rlim_cur = bytes;
        EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &full), 0);
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &old_);
        signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

class DiskFull : public ::testing::Test {
  protected:
    // Saves once on a roomy disk, then again with different data on a full one.
    template <typename Save>
    void Check(const std::string& name, Save save) {
        SCOPED_TRACE(name);
        const fs::path file = fs::path(dir_.path().toStdString()) / name;
        ASSERT_TRUE(save(file.string(), 1));
        const std::vector<char> old = Bytes(file);
        ASSERT_GT(old.size(), 2048u);
        prompter_.shown.clear();
        {
            FullDisk full(1024);
            EXPECT_FALSE(save(file.string(), 2));
        }
        EXPECT_EQ(Bytes(file), old);
        EXPECT_EQ(Names(file.parent_path()), std::vector<std::string>{name});
        fs::remove(file);
    }

    void ExpectSaveErrorBox() {
        ASSERT_EQ(prompter_.shown.size(), 1u);
        EXPECT_EQ(prompter_.shown[0].caption, Msg(39));
    }

    QTemporaryDir dir_;
    ScriptedPrompter prompter_;
};

TEST_F(DiskFull, TimeFile) {
    MeasurementState s;
    s.buffers.Allocate({}, [](const std::string&) { FAIL(); });
    s.MlsOrder = 12;
    s.MlsSize = 4096;
    s.SampleRate = 44100;
    ImpulseFiles files(s, prompter_);
    Check("room.mtf", [&](const std::string& path, int version) {
        for (int k = 0; k < 4096; ++k) s.buffers.RLPd()[k] = version * std::sin(0.01 * k);
        return files.SaveImpulse(path, 1);
    });
    ExpectSaveErrorBox();
}

TEST_F(DiskFull, SpectrumAndCalibrationFilesOfBothModes) {
    CalibrationStore store(prompter_);
    std::vector<SpectrumRecord> bins(2048);
    std::vector<SmoothRecord> records(295);
    auto fill = [&](int version) {
        for (std::size_t k = 0; k < bins.size(); ++k) bins[k] = {version + 0.001 * k, 0.5};
        for (std::size_t k = 0; k < records.size(); ++k) {
            records[k] = {20.0 + 70.0 * k, version * 0.1, 0.0};
        }
        records.back() = {50000.0, 0.0, 0.0};
    };
    auto fft = [&](const std::string& path, int version, bool asCal) {
        fill(version);
        DisplaySpectrum d{AnalysisMode::Fft, 20.0, 4096, 44100.0, bins.data(), nullptr};
        return asCal ? store.SaveAsCalibration(path, d) : store.SaveSpectrum(path, d);
    };
    auto smooth = [&](const std::string& path, int version, bool asCal) {
        fill(version);
        DisplaySpectrum d{AnalysisMode::Smooth, 20.0, 0, 44100.0, nullptr, records.data()};
        return asCal ? store.SaveAsCalibration(path, d) : store.SaveSpectrum(path, d);
    };
    Check("spectrum.mfr", [&](const std::string& p, int v) { return fft(p, v, false); });
    ExpectSaveErrorBox();
    Check("spectrum.smr", [&](const std::string& p, int v) { return smooth(p, v, false); });
    ExpectSaveErrorBox();
    Check("chain.cal", [&](const std::string& p, int v) { return fft(p, v, true); });
    ExpectSaveErrorBox();
    Check("chain.csm", [&](const std::string& p, int v) { return smooth(p, v, true); });
    ExpectSaveErrorBox();
}

TEST_F(DiskFull, Trace) {
    TMAINTRACE trace(nullptr, &prompter_, 0);
    Check("main.trc", [&](const std::string& path, int version) {
        SmoothSpectrum s{};
        for (int i = 0; i < kSmoothRecords - 1; ++i) {
            s[static_cast<std::size_t>(i)] = {20.0 * std::pow(2.0, i / 28.0), 0.1 * version, 0.0};
        }
        s[kSmoothRecords - 1] = {50000.0, 0.0, 0.0};
        trace.StartAverage(s, 20.0);
        return trace.SaveToFile(path, 44100.0);
    });
    ExpectSaveErrorBox();
}

TEST_F(DiskFull, Settings) {
    Check("Field Impulse Meter.conf", [&](const std::string& path, int version) {
        QSettingsTree tree(QString::fromStdString(path));
        for (int i = 0; i < 100; ++i) {
            tree.WriteString("Value " + std::to_string(i), std::string(40, char('a' + version)));
        }
        return tree.Flush();
    });
}

}  // namespace
}  // namespace fim
