#pragma once
// The features dialog "MIV CONFIGURATION": eight tabs of settings over FeaturesModel. The
// controls mirror the model's fields; OK and Cancel go through the model, and the window refuses
// to close by its frame until OK or a confirmed Cancel.

#include <QDialog>
#include <QString>
#include <map>
#include <memory>
#include <optional>

#include "settings/FeaturesModel.h"

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QSpinBox;
class QTabWidget;

namespace fim {

class TFEATURES : public QDialog {
    Q_OBJECT
  public:
    TFEATURES(MeasurementState& meas, ProgramSettings& settings, SettingsTree& tree,
              const WaveDevices& devices, Prompter& prompter, QWidget* parent = nullptr);
    ~TFEATURES() override;

    FeaturesModel& model() { return *model_; }
    QTabWidget* tabs() const { return tabs_; }
    // A radio group's buttons by the group's name ("RadioGroup1" …).
    QButtonGroup* radioGroup(const QString& name) const;
    // The right-click menus of the time fields.
    QMenu* preMenu() const { return preMenu_; }
    QMenu* postMenu() const { return postMenu_; }

    // Shows the dialog modally on `tab` (the tab last closed on when none is named); returns
    // when it closes: true after OK.
    bool ShowOn(std::optional<FeaturesTab> tab = std::nullopt);

    // FormActivate: the tab to show, every control from the settings, the device lists.
    void FormActivate();
    void BitBtn1Click();  // OK
    void BitBtn2Click();  // Cancel

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void buildDataTab();
    void buildUserWindowTab();
    void buildSoundTab();
    void buildFeaturesTab();
    void buildOtherTab();
    void buildMacroTab();
    void buildFinderTab();
    void buildSamplingTab();
    QGroupBox* addRadioGroup(QWidget* parent, const char* name, const QString& title,
                             const QStringList& items, int* field, bool macro = false);
    QCheckBox* addCheck(QWidget* parent, const char* name, const QString& caption, bool* field,
                        bool macro = false);
    QSpinBox* addSpin(QWidget* parent, const char* name, SpinRange range, int* field,
                      bool macro = false);
    void addPresetMenu(QSpinBox* spin, int32_t tag, bool post);
    void pushAll();  // model → controls
    void pushMacro();
    void pushFormats();
    void pushTemperature();
    void showRoomGroup();
    void finish(int result);

    std::unique_ptr<FeaturesModel> model_;
    Prompter& prompter_;
    QTabWidget* tabs_ = nullptr;
    int lastTab_ = 0;
    bool loading_ = false;
    std::map<QString, QButtonGroup*> groups_;
    QComboBox* cbsoundin_ = nullptr;
    QComboBox* cbSoundOut_ = nullptr;
    QComboBox* cbsample_ = nullptr;
    QGroupBox* roomGroup_ = nullptr;
    QSpinBox* temperature_ = nullptr;
    QLabel* temperatureUnit_ = nullptr;
    QMenu* preMenu_ = nullptr;
    QMenu* postMenu_ = nullptr;
    QLineEdit* name1_ = nullptr;
    QLineEdit* name2_ = nullptr;
    QLineEdit* macroName_ = nullptr;
    QSpinBox* macroNumber_ = nullptr;
    QComboBox* macroMls_ = nullptr;
    QComboBox* macroAvg_ = nullptr;
    QComboBox* macroFft_ = nullptr;
    QComboBox* finderDisplay_ = nullptr;
    QWidget* syncControls_ = nullptr;
    // Controls whose values are pushed from a field of the model.
    std::map<QCheckBox*, bool*> checks_;
    std::map<QSpinBox*, int*> spins_;
    std::map<QDoubleSpinBox*, double*> roomSpins_;
    QSpinBox* roomSeed_ = nullptr;
    QCheckBox* roomFeedback_ = nullptr;
};

}  // namespace fim
