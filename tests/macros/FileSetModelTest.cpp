#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "../audio/FileTestUtil.h"
#include "base/Catalog.h"
#include "base/ScriptedPrompter.h"
#include "macros/FileSetModel.h"
#include "spectrum/SpectrumFiles.h"

namespace fim {
namespace {

std::string CalFile(const test::TempDir& dir, const char* name, int fftSize) {
    std::vector<SpectrumRecord> bins(std::size_t(fftSize / 2), SpectrumRecord{1.0, 0.0});
    const std::string path = dir.File(name);
    EXPECT_TRUE(WriteFftSpectrumFile(path, 20.0, fftSize, 44100.0, bins.data()));
    return path;
}

TEST(FileSetModelTest, MissingFilesAreClearedWithTheirFlags) {
    test::TempDir dir;
    UserMacro m = DefaultUserMacro(3);
    m.calFile = dir.File("gone.cal");
    m.micFile = dir.File("mic.SMC");
    std::ofstream(m.micFile) << "x";
    m.overlayFile = dir.File("gone.MFR");
    m.useCal = m.useMic = m.useOverlay = m.overlayOption2 = true;
    ScriptedPrompter prompter;
    FileSetModel f(m, prompter);
    f.Load();
    EXPECT_EQ(f.calFile, "");
    EXPECT_FALSE(f.SlotEnabled(FileSetModel::Slot::Calibration));
    EXPECT_FALSE(m.useCal);
    EXPECT_FALSE(m.useOverlay);
    EXPECT_FALSE(m.overlayOption2);
    // A file that is still there keeps its flag, shown by name only.
    EXPECT_TRUE(m.useMic);
    EXPECT_TRUE(f.useMic);
    EXPECT_EQ(f.ShownName(FileSetModel::Slot::Microphone), "mic.SMC");
    // The cleared names reach the macro only with OK.
    EXPECT_EQ(m.calFile, dir.File("gone.cal"));
    f.Ok();
    EXPECT_EQ(m.calFile, "");
    EXPECT_EQ(m.micFile, dir.File("mic.SMC"));
}

TEST(FileSetModelTest, PlainFftCalibrationMustHaveTheMacrosSize) {
    test::TempDir dir;
    UserMacro m = DefaultUserMacro(3);
    m.fftCode = 2;  // 8192
    const UserMacro before = m;
    ScriptedPrompter prompter;
    prompter.files = {CalFile(dir, "a.cal", 4096), dir.File("broken.cal"),
                      CalFile(dir, "b.cal", 8192)};
    std::ofstream(dir.File("broken.cal")) << "not a calibration";
    FileSetModel f(m, prompter);
    f.Load();
    EXPECT_FALSE(f.Choose(FileSetModel::Slot::Calibration));
    EXPECT_EQ(prompter.Last()->text, Msg(35));
    EXPECT_EQ(prompter.fileRequests[0].title, Msg(200));
    EXPECT_NE(prompter.fileRequests[0].filter.find("*.cal"), std::string::npos);
    EXPECT_FALSE(f.Choose(FileSetModel::Slot::Calibration));
    EXPECT_EQ(prompter.Last()->text, Msg(34));
    EXPECT_EQ(f.calFile, "");
    EXPECT_TRUE(f.Choose(FileSetModel::Slot::Calibration));
    EXPECT_EQ(f.ShownName(FileSetModel::Slot::Calibration), "b.cal");
    EXPECT_TRUE(f.useCal);
    EXPECT_EQ(m, before);  // Abort: nothing written
    f.Ok();
    EXPECT_EQ(m.calFile, dir.File("b.cal"));
    EXPECT_TRUE(m.useCal);

    // A path longer than the record holds is refused rather than stored cut.
    prompter.files = {"/" + std::string(FileSetModel::kMaxPath, 'p') + ".MFR"};
    EXPECT_FALSE(f.Choose(FileSetModel::Slot::Overlay));
    EXPECT_EQ(f.overlayFile, "");
}

}  // namespace
}  // namespace fim
