#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "shell/Catalog.h"
#include "shell/ui/QtPrompter.h"

namespace fim {
namespace {

TEST(QtPrompter, CarriageReturnsBecomeLineBreaksAndUtf8Survives) {
    EXPECT_EQ(QtPrompter::DisplayText("a\rb\r\nc\n\rd"), QString("a\nb\nc\n\nd"));
    // Message 8 in German: an umlaut and the "\r" before the appended peak level.
    const QString de = QtPrompter::DisplayText(CatalogText(Language::German, 8) + "-3 dB");
    EXPECT_EQ(de, QString::fromUtf8("EINGANG \xC3\x9C"
                                    "BERSTEUERT, BITTE DEN PEGEL REDUZIEREN\n"
                                    "SPITZENPEGEL: -3 dB"));
    EXPECT_EQ(de.at(8), QChar(0x00DC));
}

TEST(QtPrompter, BoxCarriesCaptionTextIconAndButtons) {
    auto box = QtPrompter::MakeBox("Alloc AVL", CatalogText(Language::English, 25),
                                   PromptButtons::Ok, PromptIcon::Stop, nullptr);
    EXPECT_EQ(box->windowTitle(), "Alloc AVL");
    EXPECT_TRUE(box->text().startsWith("Sorry to report a serious memory error.\nPlease"));
    EXPECT_FALSE(box->text().contains('\r'));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);

    auto question =
        QtPrompter::MakeBox("c", "t", PromptButtons::YesNoCancel, PromptIcon::Question, nullptr);
    EXPECT_EQ(question->standardButtons(),
              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(question->icon(), QMessageBox::Question);
    EXPECT_EQ(question->escapeButton(), question->button(QMessageBox::Cancel));

    auto yesNo = QtPrompter::MakeBox("c", "t", PromptButtons::YesNo, PromptIcon::Warning, nullptr);
    EXPECT_EQ(yesNo->escapeButton(), yesNo->button(QMessageBox::No));
    auto retry =
        QtPrompter::MakeBox("c", "t", PromptButtons::RetryCancel, PromptIcon::Stop, nullptr);
    EXPECT_EQ(retry->standardButtons(), QMessageBox::Retry | QMessageBox::Cancel);
}

// Presses `button` in the next application-modal box that opens.
void PressInNextBox(QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(button)->click();
    });
}

TEST(QtPrompter, AskReturnsThePressedButton) {
    QtPrompter prompter;
    PressInNextBox(QMessageBox::No);
    EXPECT_EQ(
        prompter.Ask("Changing MLS Size", "voids data", PromptButtons::YesNo, PromptIcon::Question),
        PromptAnswer::No);
    PressInNextBox(QMessageBox::Retry);
    EXPECT_EQ(prompter.Ask("waveOutOpen", "busy", PromptButtons::RetryCancel, PromptIcon::Stop),
              PromptAnswer::Retry);
    PressInNextBox(QMessageBox::Ignore);
    EXPECT_EQ(prompter.Ask("x", "y", PromptButtons::AbortRetryIgnore, PromptIcon::Stop),
              PromptAnswer::Ignore);
    // A box closed without a button (Escape, window manager) answers with the harmless choice.
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(prompter.Ask("x", "y", PromptButtons::YesNo, PromptIcon::Question), PromptAnswer::No);
}

TEST(QtPrompter, DefaultExtensionOnlyWhenTheNameHasNone) {
    EXPECT_EQ(QtPrompter::WithDefaultExtension("/data/hall", "MTF"), "/data/hall.MTF");
    EXPECT_EQ(QtPrompter::WithDefaultExtension("/data/hall.wav", "MTF"), "/data/hall.wav");
    EXPECT_EQ(QtPrompter::WithDefaultExtension("/data/hall.", "MTF"), "/data/hall.MTF");
    EXPECT_EQ(QtPrompter::WithDefaultExtension("/data/v1.2/hall", ".mtf"), "/data/v1.2/hall.mtf");
    EXPECT_EQ(QtPrompter::WithDefaultExtension("C:\\v1.2\\hall", "mtf"), "C:\\v1.2\\hall.mtf");
    EXPECT_EQ(QtPrompter::WithDefaultExtension("/home/u/.hidden", "mtf"), "/home/u/.hidden.mtf");
    EXPECT_EQ(QtPrompter::WithDefaultExtension("/data/hall", ""), "/data/hall");
}

// Types `name` into the next file dialog and accepts it.
void AcceptNextFileDialog(const QString& name, QString* title = nullptr) {
    QTimer::singleShot(0, [name, title] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (title != nullptr) *title = dialog->windowTitle();
        dialog->selectFile(name);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

TEST(QtPrompter, SaveDialogAppendsTheDefaultExtension) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtPrompter prompter;
    FileDialogRequest request;
    request.title = "Save time trace as:";
    request.filter = "MIV time trace (*.MTF)";
    request.initialDir = dir.path().toStdString();
    request.defaultExtension = "MTF";
    QString title;
    AcceptNextFileDialog(dir.filePath("stage left"), &title);
    const auto chosen = prompter.ChooseSaveFile(request);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.filePath("stage left.MTF").toStdString());
    EXPECT_EQ(title, "Save time trace as:");
}

TEST(QtPrompter, TheChosenFilterGivesABareNameItsExtension) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtPrompter prompter;
    FileDialogRequest request;
    request.filter = "MIV time trace (*.MTF *.mtf);;PCM Wave data (*.WAV *.wav)";
    request.initialDir = dir.path().toStdString();
    request.defaultExtension = "MTF";
    int chosen = -1;
    request.chosenFilter = &chosen;
    for (int filter : {1, 0}) {
        QTimer::singleShot(0, [&dir, filter] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->selectNameFilter(dialog->nameFilters().at(filter));
            dialog->selectFile(dir.filePath("hall"));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        const auto name = prompter.ChooseSaveFile(request);
        ASSERT_TRUE(name.has_value());
        EXPECT_EQ(*name, dir.filePath(filter == 1 ? "hall.WAV" : "hall.MTF").toStdString());
        EXPECT_EQ(chosen, filter);
    }
    // The preselected filter is the one asked for.
    request.initialFilter = 1;
    QString selected;
    QTimer::singleShot(0, [&selected] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        selected = dialog->selectedNameFilter();
        dialog->reject();
    });
    EXPECT_FALSE(prompter.ChooseOpenFile(request).has_value());
    EXPECT_EQ(selected, QStringLiteral("PCM Wave data (*.WAV *.wav)"));
}

TEST(QtPrompter, CancelledDialogGivesNothing) {
    QtPrompter prompter;
    FileDialogRequest request;
    request.title = "Load time trace from:";
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_FALSE(prompter.ChooseOpenFile(request).has_value());
}

}  // namespace
}  // namespace fim
