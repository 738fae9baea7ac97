#include <gtest/gtest.h>

#include <QLabel>
#include <QTemporaryDir>
#include <cmath>
#include <fstream>
#include <vector>

#include "audio/TimeFile.h"
#include "core/MeasurementState.h"
#include "mainwindow/ui/BareMainWindow.h"
#include "mainwindow/ui/TimeTraceView.h"
#include "shell/ScriptedPrompter.h"

namespace fim {
namespace {

class BareMainWindowTest : public ::testing::Test {
  protected:
    BareMainWindowTest() {
        meas.buffers.Allocate({}, [](const std::string&) { FAIL(); });
        auto p = std::make_unique<ScriptedPrompter>();
        prompter = p.get();
        owned = std::move(p);
    }
    std::string WriteResponse(const char* name, int n, int peak) {
        std::vector<double> r(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i) r[i] = 0.001 * std::sin(i * 0.5);
        r[peak - 1] = -0.75;
        const std::string path = dir.filePath(name).toStdString();
        EXPECT_TRUE(WriteTimeFile(path, 48000.0, r.data(), r.size()));
        return path;
    }

    QTemporaryDir dir;
    MeasurementState meas;
    ScriptedPrompter* prompter = nullptr;
    std::unique_ptr<Prompter> owned;
};

TEST_F(BareMainWindowTest, ATimeFileOnTheCommandLineIsShownAtOnce) {
    const std::string path = WriteResponse("room.mtf", 8192, 777);
    auto w = BuildBareMainWindow(meas, std::move(owned),
                                 {QStringLiteral("fim"), QString::fromStdString(path)});
    EXPECT_TRUE(meas.ImpulseValid);
    EXPECT_EQ(meas.SampleRate, 48000);
    EXPECT_EQ(meas.MlsSize, 8192);
    EXPECT_EQ(meas.ImpulsePeakIndex, 777);
    EXPECT_DOUBLE_EQ(meas.ImpulsePeakValue, 0.75);
    EXPECT_DOUBLE_EQ(meas.buffers.RLPd()[776], -0.75);
    EXPECT_TRUE(w->view()->model().measured);
    EXPECT_EQ(w->statusPanel(5)->text(), QStringLiteral("room.mtf"));
    EXPECT_TRUE(prompter->shown.empty());
}

TEST_F(BareMainWindowTest, TwoArgumentsLoadNothingAndADamagedFileChangesNothing) {
    const std::string path = WriteResponse("room.mtf", 4096, 100);
    auto w = BuildBareMainWindow(
        meas, std::move(owned),
        {QStringLiteral("fim"), QString::fromStdString(path), QString::fromStdString(path)});
    EXPECT_FALSE(meas.ImpulseValid);

    ASSERT_TRUE(w->loadTimeFile(path));
    const std::string bad = dir.filePath("bad.mtf").toStdString();
    std::ofstream(bad, std::ios::binary) << "12345";  // not whole records
    EXPECT_FALSE(w->loadTimeFile(bad));
    ASSERT_EQ(prompter->shown.size(), 1u);
    EXPECT_EQ(prompter->shown[0].caption, "bad.mtf");
    EXPECT_EQ(meas.MlsSize, 4096);
    EXPECT_EQ(meas.ImpulsePeakIndex, 100);
}

}  // namespace
}  // namespace fim
