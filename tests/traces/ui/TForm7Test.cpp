#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <fstream>

#include "../TraceTestData.h"
#include "settings/MemorySettingsTree.h"
#include "shell/Catalog.h"
#include "shell/ScriptedPrompter.h"
#include "traces/ui/TForm7.h"

namespace fim {
namespace {

using testing::MakeSpectrum;

double Flat(int) { return 2.0; }
double Ramp(int i) { return 1.0 + 0.01 * i; }
double NoPhase(int) { return 0.0; }

QStringList Items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

// The trace manager beside a stand-in for the frequency window: its repaint rebuilds the main
// trace from a live SMOOTH graph and counts, as the window does.
class TForm7Test : public ::testing::Test {
  protected:
    testing::TempDir dir;
    MemorySettingsTree tree;
    ScriptedPrompter prompter;
    SmoothSpectrum live = MakeSpectrum(Ramp, NoPhase);
    int repaints = 0;
    bool closed = false;
    std::unique_ptr<TraceSet> set;
    std::unique_ptr<TForm7> form;

    void Open() {
        form.reset();
        set.reset();
        set = std::make_unique<TraceSet>(&tree, &prompter);
        TForm7Host host;
        host.repaint = [this] {
            ++repaints;
            LiveGraph g;
            g.Smooth = live;
            g.LowestValid = 40.0;
            g.LevelReference = 0.5;
            set->Repaint(g, TracePlotRange{});
        };
        host.liveLevelReference = [] { return 0.5; };
        host.sampleRate = [] { return 48000.0; };
        host.closed = [this] { closed = true; };
        form = std::make_unique<TForm7>(*set, prompter, &tree, host);
    }

    std::string WriteTrace(const std::string& name, double (*mag)(int)) {
        const std::string path = dir.File(name);
        EXPECT_TRUE(WriteTraceFile(path, 50.0, 48000.0, MakeSpectrum(mag, NoPhase)));
        return path;
    }
};

TEST_F(TForm7Test, RowsWakeUpWhenLoadedAndLoadingGoesThroughTheDialog) {
    Open();
    EXPECT_EQ(form->windowTitle(), "TRACEMANGER");
    EXPECT_EQ(form->nameLabel(2)->text().toStdString(), Msg(228));
    EXPECT_EQ(form->findChild<QToolButton*>("SpeedButton7"), form->centreToggle(2));
    EXPECT_EQ(form->averageToggle(5)->objectName(), "SpeedButton18");
    EXPECT_EQ(form->colourButton(2)->objectName(), "BitBtn3");
    EXPECT_EQ(form->flipToggle()->toolTip().toStdString(), Msg(223));
    for (QToolButton* b : {form->centreToggle(2), form->showToggle(2), form->averageToggle(2)}) {
        EXPECT_FALSE(b->isEnabled());
        EXPECT_TRUE(b->isCheckable());
    }
    EXPECT_FALSE(form->mainShowToggle()->isEnabled());
    EXPECT_FALSE(form->saveButton()->isEnabled());

    // Cancelled dialog: nothing changes, no repaint.
    QTest::mouseClick(form->nameLabel(2), Qt::LeftButton);
    ASSERT_EQ(prompter.fileRequests.size(), 1u);
    EXPECT_EQ(prompter.fileRequests[0].title, Msg(226));
    EXPECT_NE(prompter.fileRequests[0].filter.find(Msg(195)), std::string::npos);
    EXPECT_NE(prompter.fileRequests[0].filter.find("*.smr"), std::string::npos);
    EXPECT_EQ(repaints, 0);

    // The label opens the dialog like the load button; a loaded file wakes the row up.
    prompter.files.push_back(WriteTrace("hall.smr", Flat));
    QTest::mouseClick(form->nameLabel(2), Qt::LeftButton);
    EXPECT_EQ(form->nameLabel(2)->text(), "hall");
    EXPECT_TRUE(form->showToggle(2)->isEnabled());
    EXPECT_FALSE(form->showToggle(1)->isEnabled());
    EXPECT_EQ(repaints, 1);

    // A damaged file is refused and the row keeps its trace.
    const std::string bad = dir.File("bad.smr");
    { std::ofstream(bad) << "short"; }
    prompter.files.push_back(bad);
    form->loadButton(2)->click();
    EXPECT_EQ(form->nameLabel(2)->text(), "hall");
    ASSERT_NE(prompter.Last(), nullptr);
    EXPECT_EQ(prompter.Last()->caption, Msg(216));
}

TEST_F(TForm7Test, TogglesBuildTheMainTraceAndItsList) {
    Open();
    prompter.files = {WriteTrace("flat.smr", Flat), WriteTrace("ramp.smr", Ramp)};
    form->loadButton(1)->click();
    form->loadButton(3)->click();

    form->averageToggle(3)->click();
    form->averageToggle(1)->click();
    EXPECT_EQ(Items(form->list()), QStringList({"flat", "ramp"}));
    EXPECT_EQ(set->Main().AverageCount, 2);
    EXPECT_TRUE(form->mainShowToggle()->isEnabled());
    EXPECT_TRUE(form->saveButton()->isEnabled());

    // Trace 1 (flat) starts the average; the ramp joins as the geometric mean of the average and
    // the ramp moved to the average's level, record by record.
    const double refFlat = 2.0;
    const double refRamp = set->Trace(3).OwnReference;
    const int i = 150;
    EXPECT_NEAR(set->Main().GetRecords()[i].Magnitude, std::sqrt(2.0 * Ramp(i) * refFlat / refRamp),
                1e-12);

    form->addGraphToggle()->click();
    EXPECT_EQ(Items(form->list()),
              QStringList({"flat", "ramp", QString::fromStdString(Msg(230))}));
    EXPECT_EQ(set->Main().AverageCount, 3);

    // Saved main trace: the dialog's texts, and a file that loads back as a trace.
    const std::string saved = dir.File("main.smr");
    prompter.files.push_back(saved);
    form->saveButton()->click();
    EXPECT_EQ(prompter.fileRequests.back().title, Msg(221));
    EXPECT_EQ(prompter.fileRequests.back().defaultExtension, "SMR");
    ASSERT_TRUE(set->Trace(5).LoadFromFile(saved));
    EXPECT_EQ(set->Trace(5).GetRecords()[i].Magnitude, set->Main().GetRecords()[i].Magnitude);

    // Every member released: empty list, and the repaint clears the main trace.
    form->averageToggle(1)->click();
    form->averageToggle(3)->click();
    form->addGraphToggle()->click();
    EXPECT_EQ(form->list()->count(), 0);
    EXPECT_EQ(set->Main().AverageCount, 0);
    EXPECT_FALSE(form->mainShowToggle()->isEnabled());
    EXPECT_FALSE(form->saveButton()->isEnabled());

    // The toggles mirror into the trace objects and release on a second click.
    form->showToggle(1)->click();
    form->centreToggle(1)->click();
    EXPECT_TRUE(set->Trace(1).ShowDown);
    EXPECT_TRUE(set->Trace(1).CentreDown);
    EXPECT_EQ(set->Trace(1).DisplayReference, set->Trace(1).OwnReference);
    form->centreToggle(1)->click();
    EXPECT_EQ(set->Trace(1).DisplayReference, 0.5);
    EXPECT_TRUE(form->showToggle(1)->isChecked());
}

TEST_F(TForm7Test, ColourDialogPositionAndClose) {
    tree.WriteInteger("TMX", 40);   // top
    tree.WriteInteger("TMY", 120);  // left
    Open();
    EXPECT_EQ(form->pos(), QPoint(120, 40));

    // Cancelled: the colour stays, the window repaints all the same.
    form->colourButton(4)->click();
    EXPECT_EQ(prompter.colourRequests.back(), kTraceDefaultColours[3]);
    EXPECT_EQ(set->Trace(4).Colour, kTraceDefaultColours[3]);
    EXPECT_EQ(repaints, 1);
    prompter.colours.push_back(0x00112233);
    form->mainColourButton()->click();
    EXPECT_EQ(set->Main().Colour, 0x00112233u);
    EXPECT_EQ(tree.ReadInteger("MainTrace"), 0x00112233);  // kept at once, not only at exit
    EXPECT_TRUE(form->mainLabel()->styleSheet().contains("#332211"));
    EXPECT_EQ(repaints, 2);

    // Closing hides, releases the frequency window's button and keeps the position.
    form->show();
    form->move(200, 90);
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(closed);
    EXPECT_EQ(tree.ReadInteger("TMX"), 90);
    EXPECT_EQ(tree.ReadInteger("TMY"), 200);

    // A position on no screen is ignored.
    tree.WriteInteger("TMY", -50000);
    Open();
    EXPECT_NE(form->pos().x(), -50000);
}

}  // namespace
}  // namespace fim
