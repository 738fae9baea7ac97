#include "settings/ui/TFEATURES.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <climits>
#include <cstdlib>

#include "base/Catalog.h"
#include "base/Prompter.h"
#include "base/ui/paint/QtBoundary.h"
#include "core/MeasurementState.h"
#include "macros/ui/TFileeingabe.h"

namespace fim {

namespace {

// A label of this program's own controls that the catalog does not hold, in its language.
QString L(const char* english, const char* german) {
    return QString::fromUtf8(ActiveLanguage() == Language::German ? german : english);
}

QString TimeText(int32_t us) { return QString::number(us) + QStringLiteral(" µs"); }

}  // namespace

TFEATURES::TFEATURES(MeasurementState& meas, ProgramSettings& settings, SettingsTree& tree,
                     const WaveDevices& devices, Prompter& prompter, QWidget* parent)
    : QDialog(parent),
      model_(std::make_unique<FeaturesModel>(meas, settings, tree, devices, prompter)),
      prompter_(prompter) {
    // FormCreate: captions, items and hints from the catalog.
    setObjectName(QStringLiteral("FEATURES"));
    setWindowTitle(QStringLiteral("MIV CONFIGURATION"));
    setModal(true);
    model_->host.showTab = [this](FeaturesTab t) {
        const QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(int(t));
        lastTab_ = int(t);
    };
    model_->host.fatalExit = [this](const std::string& text) {
        prompter_.Inform(Msg(44), text, PromptIcon::Stop);
        std::_Exit(EXIT_FAILURE);
    };

    preMenu_ = new QMenu(this);
    preMenu_->setObjectName(QStringLiteral("PrePresets"));
    for (int32_t us : kPrePresets) {
        connect(preMenu_->addAction(TimeText(us)), &QAction::triggered, this, [this, us] {
            model_->ApplyPreset(us, false);
            pushAll();
        });
    }
    postMenu_ = new QMenu(this);
    postMenu_->setObjectName(QStringLiteral("PostPresets"));
    for (int32_t us : kPostPresets) {
        connect(postMenu_->addAction(TimeText(us)), &QAction::triggered, this, [this, us] {
            model_->ApplyPreset(us, true);
            pushAll();
        });
    }

    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("PageControl1"));
    tabs_->setUsesScrollButtons(false);  // all eight tabs in view
    layout->addWidget(tabs_);
    buildDataTab();
    buildUserWindowTab();
    buildSoundTab();
    buildFeaturesTab();
    buildOtherTab();
    buildMacroTab();
    buildFinderTab();
    buildSamplingTab();
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        const int left = lastTab_;
        lastTab_ = index;
        if (left == int(FeaturesTab::UserMacro) && index != left && !loading_) {
            model_->LeaveMacroTab();
            pushMacro();
        }
    });

    // Qt's standard buttons speak the language of the catalog (Qt's own translations).
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setObjectName(QStringLiteral("BitBtn1"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->button(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("BitBtn2"));
    connect(ok, &QPushButton::clicked, this, &TFEATURES::BitBtn1Click);
    connect(cancel, &QPushButton::clicked, this, &TFEATURES::BitBtn2Click);
    layout->addWidget(buttons);
}

TFEATURES::~TFEATURES() = default;

// ---- building blocks ----------------------------------------------------------------------------

QGroupBox* TFEATURES::addRadioGroup(QWidget* parent, const char* name, const QString& title,
                                    const QStringList& items, int* field, bool macro) {
    auto* box = new QGroupBox(title, parent);
    box->setObjectName(QString::fromLatin1(name));
    auto* l = new QVBoxLayout(box);
    auto* group = new QButtonGroup(box);
    group->setObjectName(QString::fromLatin1(name));
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], box);
        group->addButton(b, i);
        l->addWidget(b);
    }
    groups_[QString::fromLatin1(name)] = group;
    if (field == nullptr) return box;
    connect(group, &QButtonGroup::idClicked, this, [this, field, macro](int id) {
        if (loading_) return;
        *field = id;
        macro ? model_->MacroEdited() : model_->Edited();
    });
    return box;
}

QCheckBox* TFEATURES::addCheck(QWidget* parent, const char* name, const QString& caption,
                               bool* field, bool macro) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(name));
    checks_[c] = field;
    connect(c, &QCheckBox::toggled, this, [this, field, macro](bool on) {
        if (loading_) return;
        *field = on;
        macro ? model_->MacroEdited() : model_->Edited();
    });
    return c;
}

QSpinBox* TFEATURES::addSpin(QWidget* parent, const char* name, SpinRange range, int* field,
                             bool macro) {
    auto* s = new QSpinBox(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(range.low, range.high);
    spins_[s] = field;
    connect(s, &QSpinBox::valueChanged, this, [this, field, macro](int value) {
        if (loading_) return;
        *field = value;
        macro ? model_->MacroEdited() : model_->Edited();
    });
    return s;
}

void TFEATURES::addPresetMenu(QSpinBox* spin, int32_t tag, bool post) {
    // The right button on the field's text opens the preset menu for this field.
    auto* edit = spin->findChild<QLineEdit*>();
    QWidget* target = edit ? static_cast<QWidget*>(edit) : spin;
    target->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(target, &QWidget::customContextMenuRequested, this,
            [this, target, tag, post](const QPoint& at) {
                model_->RememberPresetTarget(tag);
                (post ? postMenu_ : preMenu_)->popup(target->mapToGlobal(at));
            });
}

QButtonGroup* TFEATURES::radioGroup(const QString& name) const {
    const auto it = groups_.find(name);
    return it == groups_.end() ? nullptr : it->second;
}

// ---- tabs -----------------------------------------------------------------------------------

void TFEATURES::buildDataTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("DataPage"));
    auto* l = new QGridLayout(page);
    FeaturesValues& v = model_->v;
    l->addWidget(addRadioGroup(page, "RadioGroup1", M(106),
                               {"4 kByte", "8 kByte", "16 kByte", "32 kByte", "64 kByte",
                                "128 kByte", "256 kByte"},
                               &v.mlsIndex),
                 0, 0, 2, 1);
    l->addWidget(
        addRadioGroup(page, "RadioGroup2", M(107),
                      {"2 kByte", "4 kByte", "8 kByte", "16 kByte", "32 kByte"}, &v.fftIndex),
        0, 1);
    auto* box = new QWidget(page);
    auto* bl = new QVBoxLayout(box);
    bl->addWidget(addCheck(box, "CheckBox9", QStringLiteral("ATC MODE"), &v.atc));
    bl->addWidget(addCheck(box, "CheckBox18", L("Continuous averaging", "Fortlaufende Mittelung"),
                           &v.continuous));
    bl->addWidget(addCheck(box, "CheckBox13", QStringLiteral("PINK MLS"), &v.pink));
    bl->addWidget(addCheck(box, "DriftCorrectionBox",
                           L("Correct clock drift", "Taktdrift korrigieren"), &v.driftCorrection));
    bl->addStretch();
    l->addWidget(box, 1, 1);
    if (auto* grid = qobject_cast<QGridLayout*>(page->layout())) {
        grid->setRowStretch(grid->rowCount(), 1);
    }
    tabs_->addTab(page, M(53));
}

void TFEATURES::buildUserWindowTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("UserWindowPage"));
    auto* l = new QHBoxLayout(page);
    FeaturesValues& v = model_->v;
    auto window = [&](int title, const char* editName, QLineEdit*& edit, std::string* name,
                      const char* preName, int* pre, SpinRange preRange, const char* postName,
                      int* post, SpinRange postRange, int32_t tag) {
        auto* box = new QGroupBox(M(title), page);
        auto* f = new QFormLayout(box);
        edit = new QLineEdit(box);
        edit->setObjectName(QString::fromLatin1(editName));
        edit->setMaxLength(int(TimeWindow::kMaxName));
        connect(edit, &QLineEdit::textEdited, this, [this, name](const QString& t) {
            *name = t.toStdString();
            model_->Edited();
        });
        f->addRow(QStringLiteral("Name"), edit);
        QSpinBox* preSpin = addSpin(box, preName, preRange, pre);
        preSpin->setSuffix(QStringLiteral(" µs"));
        preSpin->setToolTip(M(109));
        addPresetMenu(preSpin, tag, false);
        f->addRow(QStringLiteral("Pre"), preSpin);
        QSpinBox* postSpin = addSpin(box, postName, postRange, post);
        postSpin->setSuffix(QStringLiteral(" µs"));
        postSpin->setToolTip(M(110));
        addPresetMenu(postSpin, tag, true);
        f->addRow(QStringLiteral("Post"), postSpin);
        l->addWidget(box, 0, Qt::AlignTop);
    };
    window(116, "Edit4", name1_, &v.name1, "SpinEdit3", &v.pre1, kPre1Range, "SpinEdit2", &v.post1,
           kPost1Range, kPresetUser1);
    window(117, "Edit1", name2_, &v.name2, "SpinEdit4", &v.pre2, kUser2Range, "SpinEdit5", &v.post2,
           kUser2Range, kPresetUser2);
    if (auto* grid = qobject_cast<QGridLayout*>(page->layout())) {
        grid->setRowStretch(grid->rowCount(), 1);
    }
    tabs_->addTab(page, QStringLiteral("USER WINDOW"));
}

void TFEATURES::buildSoundTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("SoundPage"));
    auto* l = new QVBoxLayout(page);
    auto combo = [&](int title, const char* name) {
        auto* box = new QGroupBox(title > 0 ? M(title) : QString(), page);
        auto* bl = new QVBoxLayout(box);
        auto* c = new QComboBox(box);
        c->setObjectName(QString::fromLatin1(name));
        bl->addWidget(c);
        l->addWidget(box);
        return c;
    };
    cbsoundin_ = combo(98, "cbsoundin");
    cbSoundOut_ = combo(99, "cbSoundOut");
    cbsample_ = combo(0, "cbsample");
    static_cast<QGroupBox*>(cbsample_->parentWidget())->setTitle(QStringLiteral("SAMPLE FORMAT"));
    auto deviceChanged = [this] {
        if (loading_) return;
        model_->v.input = cbsoundin_->currentIndex();
        model_->v.output = cbSoundOut_->currentIndex();
        model_->DeviceChanged();
        pushFormats();
        showRoomGroup();
    };
    connect(cbsoundin_, &QComboBox::currentIndexChanged, this, deviceChanged);
    connect(cbSoundOut_, &QComboBox::currentIndexChanged, this, deviceChanged);
    connect(cbsample_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (loading_) return;
        model_->v.sample = i;
        model_->Edited();
    });

    // The Virtual Room's parameters, shown while it is chosen.
    roomGroup_ = new QGroupBox(QString::fromLatin1(kVirtualRoomName), page);
    roomGroup_->setObjectName(QStringLiteral("VirtualRoomGroup"));
    auto* f = new QFormLayout(roomGroup_);
    RoomParameters& r = model_->v.room;
    auto number = [&](const char* name, const QString& label, double* field, double low,
                      double high, int decimals, const QString& suffix) {
        auto* s = new QDoubleSpinBox(roomGroup_);
        s->setObjectName(QString::fromLatin1(name));
        s->setRange(low, high);
        s->setDecimals(decimals);
        s->setSuffix(suffix);
        roomSpins_[s] = field;
        connect(s, &QDoubleSpinBox::valueChanged, this, [this, field](double value) {
            if (loading_) return;
            *field = value;
            model_->Edited();
        });
        f->addRow(label, s);
    };
    number("RoomDistance", L("Distance", "Abstand"), &r.distance, 0.1, 100.0, 2,
           QStringLiteral(" m"));
    number("RoomReverb", L("Reverberation", "Nachhallzeit"), &r.reverbTime, 0.05, 3.0, 2,
           QStringLiteral(" s"));
    number("RoomNoise", L("Noise floor", "Grundrauschen"), &r.noiseDb, -140.0, 0.0, 1,
           QStringLiteral(" dB"));
    number("RoomGain", L("Input gain", "Eingangsverstärkung"), &r.gainDb, -100.0, 60.0, 1,
           QStringLiteral(" dB"));
    number("RoomLatency", L("Latency", "Latenz"), &r.latencyMs, 0.0, 500.0, 1,
           QStringLiteral(" ms"));
    number("RoomTemperature", L("Air temperature", "Lufttemperatur"), &r.temperature, -40.0, 60.0,
           1, QStringLiteral(" °C"));
    number("RoomClockPpm", L("Clock offset", "Taktabweichung"), &r.clockPpm, -1000.0, 1000.0, 1,
           QStringLiteral(" ppm"));
    roomSeed_ = new QSpinBox(roomGroup_);
    roomSeed_->setObjectName(QStringLiteral("RoomSeed"));
    roomSeed_->setRange(0, INT_MAX);
    connect(roomSeed_, &QSpinBox::valueChanged, this, [this](int value) {
        if (loading_) return;
        model_->v.room.seed = static_cast<uint32_t>(value);
        model_->Edited();
    });
    f->addRow(L("Noise seed", "Rauschstartwert"), roomSeed_);
    // The feedback tone, for trying the feedback finder without a PA system.
    roomFeedback_ = new QCheckBox(L("Feedback tone", "Rückkopplungston"), roomGroup_);
    roomFeedback_->setObjectName(QStringLiteral("RoomFeedback"));
    connect(roomFeedback_, &QCheckBox::toggled, this, [this](bool on) {
        if (loading_) return;
        model_->v.room.feedback = on;
        model_->Edited();
    });
    f->addRow(roomFeedback_);
    number("RoomFeedbackFrequency", L("Feedback frequency", "Rückkopplungsfrequenz"),
           &r.feedbackFrequency, 20.0, 20000.0, 1, QStringLiteral(" Hz"));
    number("RoomFeedbackLevel", L("Feedback level", "Rückkopplungspegel"), &r.feedbackLevel, -100.0,
           0.0, 1, QStringLiteral(" dB"));
    number("RoomFeedbackDelay", L("Feedback swells for", "Rückkopplung schwillt an über"),
           &r.feedbackDelay, 0.0, 600.0, 1, QStringLiteral(" s"));
    number("RoomFeedbackLength", L("Feedback lasts (0: on)", "Rückkopplung dauert (0: an)"),
           &r.feedbackLength, 0.0, 3600.0, 1, QStringLiteral(" s"));
    number("RoomSeatStep", L("Seat set: each seat farther by", "Sitzreihe: jeder Platz weiter um"),
           &r.seatStep, 0.0, 20.0, 2, QStringLiteral(" m"));
    l->addWidget(roomGroup_);
    l->addStretch();
    if (auto* grid = qobject_cast<QGridLayout*>(page->layout())) {
        grid->setRowStretch(grid->rowCount(), 1);
    }
    tabs_->addTab(page, M(100));
}

void TFEATURES::buildFeaturesTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("FeaturesPage"));
    auto* l = new QGridLayout(page);
    FeaturesValues& v = model_->v;
    auto* left = new QWidget(page);
    auto* ll = new QVBoxLayout(left);
    ll->addWidget(addCheck(left, "CheckBox1", M(141), &v.quickDelay));
    ll->addWidget(addCheck(left, "CheckBox2", M(137), &v.autoReset));
    ll->addWidget(addCheck(left, "CheckBox3", M(139), &v.quickDraw));
    ll->addWidget(addCheck(left, "CheckBox4", M(144), &v.autoLineGap));
    ll->addWidget(addCheck(left, "CheckBox10", M(146), &v.autoMinimize));
    QGroupBox* units =
        addRadioGroup(left, "RadioGroup3", M(92),
                      {QStringLiteral("ISO   (m,°C)"), QStringLiteral("USA  (ft,°F)")}, nullptr);
    // The units also change how the temperature reads.
    connect(radioGroup(QStringLiteral("RadioGroup3")), &QButtonGroup::idClicked, this,
            [this](int id) {
                if (loading_) return;
                model_->UnitsChanged(id);
                pushTemperature();
            });
    ll->addWidget(units);
    ll->addStretch();
    l->addWidget(left, 0, 0, 2, 1);

    auto* warnings = new QGroupBox(M(93), page);
    auto* wl = new QVBoxLayout(warnings);
    wl->addWidget(addCheck(warnings, "CheckBox5", M(94), &v.warnMls));
    wl->addWidget(addCheck(warnings, "CheckBox6", M(95), &v.warnRate));
    wl->addWidget(addCheck(warnings, "CheckBox7", M(96), &v.warnAveraging));
    wl->addWidget(addCheck(warnings, "CheckBox8", M(97), &v.warnCal));
    l->addWidget(warnings, 0, 1);

    auto* temp = new QGroupBox(M(91), page);
    auto* tl = new QHBoxLayout(temp);
    temperature_ = new QSpinBox(temp);
    temperature_->setObjectName(QStringLiteral("SpinEdit1"));
    temperatureUnit_ = new QLabel(temp);
    temperatureUnit_->setObjectName(QStringLiteral("TemperatureUnit"));
    connect(temperature_, &QSpinBox::textChanged, this, [this] {
        if (loading_) return;
        model_->v.temperature = temperature_->cleanText().toStdString();
        model_->Edited();
    });
    tl->addWidget(temperature_);
    tl->addWidget(temperatureUnit_);
    tl->addStretch();
    l->addWidget(temp, 1, 1);
    if (auto* grid = qobject_cast<QGridLayout*>(page->layout())) {
        grid->setRowStretch(grid->rowCount(), 1);
    }
    tabs_->addTab(page, M(101));
}

void TFEATURES::buildOtherTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("OtherPage"));
    auto* l = new QGridLayout(page);
    FeaturesValues& v = model_->v;
    const QStringList widths = {M(275), M(276), M(277), M(278)};
    l->addWidget(addRadioGroup(page, "RadioGroup6", M(103),
                               {"0 dB", "- 3 dB", "- 6 dB", "-10 dB", "- 20 dB"}, &v.levelIndex),
                 0, 0, 2, 1);
    l->addWidget(addRadioGroup(page, "RadioGroup5", M(104), widths, &v.traceIndex), 0, 1);
    l->addWidget(addRadioGroup(page, "RadioGroup11", M(274), widths, &v.overlayIndex), 0, 2);
    auto* ascii = new QGroupBox(QStringLiteral("ASCII Offset"), page);
    auto* al = new QVBoxLayout(ascii);
    QSpinBox* offset = addSpin(ascii, "SpinEdit11", kAsciiRange, &v.asciiOffset);
    offset->setSuffix(QStringLiteral(" dB"));
    al->addWidget(offset);
    al->addWidget(addCheck(ascii, "CheckBox16", M(143), &v.useGain));
    l->addWidget(ascii, 1, 1);
    auto* files = new QWidget(page);
    auto* fl = new QVBoxLayout(files);
    fl->addWidget(addCheck(files, "CheckBox14", M(247), &v.overwritePrompt));
    fl->addWidget(addCheck(files, "StampExportsBox", L("Stamp exports", "Exporte kennzeichnen"),
                           &v.stampExports));
    fl->addStretch();
    l->addWidget(files, 1, 2);
    if (auto* grid = qobject_cast<QGridLayout*>(page->layout())) {
        grid->setRowStretch(grid->rowCount(), 1);
    }
    tabs_->addTab(page, M(102));
}

void TFEATURES::buildMacroTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("MacroPage"));
    auto* l = new QGridLayout(page);
    MacroFields& m = model_->v.macro;

    auto* head = new QHBoxLayout;
    macroNumber_ = new QSpinBox(page);
    macroNumber_->setObjectName(QStringLiteral("UpDown1"));
    macroNumber_->setRange(1, kUserMacroCount);
    macroNumber_->setKeyboardTracking(false);  // "12" typed selects macro 12, not 1 first
    connect(macroNumber_, &QSpinBox::valueChanged, this, [this](int n) {
        if (loading_) return;
        model_->SelectMacro(n);
        pushMacro();
    });
    macroName_ = new QLineEdit(page);
    macroName_->setObjectName(QStringLiteral("Edit2"));
    macroName_->setMaxLength(30);
    connect(macroName_, &QLineEdit::textEdited, this, [this](const QString& t) {
        model_->v.macro.name = t.toStdString();
        model_->MacroEdited();
    });
    head->addWidget(macroNumber_);
    head->addWidget(macroName_, 1);
    l->addLayout(head, 0, 0, 1, 2);

    auto* form = new QFormLayout;
    auto combo = [&](const char* name, const QStringList& items, int* field) {
        auto* c = new QComboBox(page);
        c->setObjectName(QString::fromLatin1(name));
        c->addItems(items);
        connect(c, &QComboBox::currentIndexChanged, this, [this, field](int i) {
            if (loading_ || i < 0) return;
            *field = i;
            model_->MacroEdited();
        });
        return c;
    };
    macroMls_ =
        combo("ComboBox3", {"4 k", "8 k", "16 k", "32 k", "64 k", "128 k", "256 k"}, &m.mlsIndex);
    macroAvg_ = combo("ComboBox4",
                      {"NO", "2 SAMPLES", "4 SAMPLES", "8 SAMPLES", "16 SAMPLES", "32 SAMPLES",
                       "64 SAMPLES", "128 SAMPLES"},
                      &m.avgIndex);
    macroFft_ = combo("ComboBox6", {"2 k", "4 k", "8 k", "16 k", "32 k", "SMOOTH"}, &m.fftIndex);
    form->addRow(M(106), macroMls_);
    form->addRow(M(63), macroAvg_);
    form->addRow(M(107), macroFft_);
    form->addRow(M(160), addSpin(page, "SpinEdit10", kSmoothingRange, &m.smoothing, true));
    QSpinBox* pre = addSpin(page, "SpinEdit6", kMacroPreRange, &m.pre, true);
    pre->setSuffix(QStringLiteral(" µs"));
    pre->setToolTip(M(109));
    addPresetMenu(pre, kPresetMacro, false);
    QSpinBox* post = addSpin(page, "SpinEdit7", kMacroPostRange, &m.post, true);
    post->setSuffix(QStringLiteral(" µs"));
    post->setToolTip(M(110));
    addPresetMenu(post, kPresetMacro, true);
    form->addRow(QStringLiteral("Pre"), pre);
    form->addRow(QStringLiteral("Post"), post);
    l->addLayout(form, 1, 0);

    auto* side = new QVBoxLayout;
    side->addWidget(addCheck(page, "CheckBox12", QStringLiteral("ATC"), &m.atc, true));
    side->addWidget(addCheck(page, "CheckBox11", M(70), &m.repeat, true));
    side->addWidget(addCheck(page, "CheckBox17", QStringLiteral("PINK"), &m.pink, true));
    auto* copy1 = new QPushButton(M(112), page);
    copy1->setObjectName(QStringLiteral("SpeedButton5"));
    auto* copy2 = new QPushButton(M(113), page);
    copy2->setObjectName(QStringLiteral("SpeedButton6"));
    connect(copy1, &QPushButton::clicked, this, [this] {
        model_->CopyUserWindow(1);
        pushMacro();
    });
    connect(copy2, &QPushButton::clicked, this, [this] {
        model_->CopyUserWindow(2);
        pushMacro();
    });
    auto* filesButton = new QPushButton(QStringLiteral("FILES"), page);
    filesButton->setObjectName(QStringLiteral("FilesButton"));
    connect(filesButton, &QPushButton::clicked, this, [this] {
        TFileeingabe files(model_->CurrentMacro(), prompter_, this);
        files.exec();
    });
    auto* save = new QPushButton(M(108), page);
    save->setObjectName(QStringLiteral("BitBtn7"));
    connect(save, &QPushButton::clicked, this, [this] {
        model_->SaveMacro();
        pushMacro();
    });
    side->addWidget(copy1);
    side->addWidget(copy2);
    side->addWidget(filesButton);
    side->addStretch();
    side->addWidget(save);
    l->addLayout(side, 1, 1);
    if (auto* grid = qobject_cast<QGridLayout*>(page->layout())) {
        grid->setRowStretch(grid->rowCount(), 1);
    }
    tabs_->addTab(page, M(105));
}

void TFEATURES::buildFinderTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("FinderPage"));
    auto* l = new QGridLayout(page);
    FeaturesValues& v = model_->v;
    auto* display = new QGroupBox(M(260), page);
    auto* dl = new QVBoxLayout(display);
    finderDisplay_ = new QComboBox(display);
    finderDisplay_->setObjectName(QStringLiteral("ComboBox5"));
    finderDisplay_->addItems({M(262), M(265), M(266), M(261)});
    connect(finderDisplay_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (loading_ || i < 0) return;
        model_->v.displayMode = i;
        model_->Edited();
    });
    dl->addWidget(finderDisplay_);
    dl->addWidget(addCheck(display, "CheckBox15", M(263), &v.autoRestart));
    l->addWidget(display, 0, 0);
    l->addWidget(addRadioGroup(page, "RadioGroup10", M(259),
                               {"-3 dB", "-6 dB", "-10 dB", "-15 dB", "-20 dB"}, &v.thresholdIndex),
                 0, 1, 2, 1);
    l->addWidget(
        addRadioGroup(page, "RadioGroup9", M(255), {M(256), M(257), M(258)}, &v.resolution), 0, 2);
    l->addWidget(addRadioGroup(page, "RadioGroup12", M(264), {"-10 dB", "-20 dB"}, &v.restartStep),
                 1, 0);
    if (auto* grid = qobject_cast<QGridLayout*>(page->layout())) {
        grid->setRowStretch(grid->rowCount(), 1);
    }
    tabs_->addTab(page, M(254));
}

void TFEATURES::buildSamplingTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("SamplingPage"));
    auto* outer = new QVBoxLayout(page);
    auto* box = new QGroupBox(M(323), page);
    auto* l = new QGridLayout(box);
    FeaturesValues& v = model_->v;
    QCheckBox* cbra = addCheck(box, "cbra", M(316), &v.peakSync);
    l->addWidget(cbra, 0, 0);
    syncControls_ = new QWidget(box);
    auto* sl = new QHBoxLayout(syncControls_);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->addWidget(
        addRadioGroup(syncControls_, "RadioGroup4", M(317), {M(318), M(319), M(320)}, &v.syncMode));
    QCheckBox* cbdq = addCheck(syncControls_, "cbdq", M(300), &v.quality);
    sl->addWidget(cbdq, 0, Qt::AlignTop);
    l->addWidget(syncControls_, 1, 0, 1, 2);
    auto* range = new QGroupBox(M(322), box);
    auto* rl = new QHBoxLayout(range);
    rl->addWidget(addSpin(range, "SpinEdit13", kSyncTimeRange, &v.syncTime));
    l->addWidget(range, 2, 0);
    l->addWidget(addCheck(box, "cbIgnorefirst", M(321), &v.ignoreFirst), 3, 0);
    l->addWidget(addCheck(box, "cbshowze", M(324), &v.showIntermediate), 4, 0);
    // The time sync check enables what it drives.
    connect(cbra, &QCheckBox::toggled, syncControls_, &QWidget::setEnabled);
    outer->addWidget(box);
    outer->addStretch();
    if (auto* grid = qobject_cast<QGridLayout*>(page->layout())) {
        grid->setRowStretch(grid->rowCount(), 1);
    }
    tabs_->addTab(page, QStringLiteral("SAMPLING"));
}

// ---- model ↔ controls -----------------------------------------------------------------------

void TFEATURES::pushAll() {
    const bool was = loading_;
    loading_ = true;
    const FeaturesValues& v = model_->v;
    auto select = [this](const char* name, int id) {
        if (QAbstractButton* b = radioGroup(QString::fromLatin1(name))->button(id)) {
            b->setChecked(true);
        }
    };
    select("RadioGroup1", v.mlsIndex);
    select("RadioGroup2", v.fftIndex);
    select("RadioGroup3", v.units);
    select("RadioGroup6", v.levelIndex);
    select("RadioGroup5", v.traceIndex);
    select("RadioGroup11", v.overlayIndex);
    select("RadioGroup10", v.thresholdIndex);
    select("RadioGroup9", v.resolution);
    select("RadioGroup12", v.restartStep);
    select("RadioGroup4", v.syncMode);
    for (auto& [box, field] : checks_) box->setChecked(*field);
    for (auto& [spin, field] : spins_) spin->setValue(*field);
    for (auto& [spin, field] : roomSpins_) spin->setValue(*field);
    roomSeed_->setValue(int(std::min<uint32_t>(v.room.seed, INT_MAX)));
    roomFeedback_->setChecked(v.room.feedback);
    name1_->setText(Q(v.name1));
    name2_->setText(Q(v.name2));
    finderDisplay_->setCurrentIndex(v.displayMode);
    syncControls_->setEnabled(v.peakSync);
    pushMacro();
    loading_ = was;
}

void TFEATURES::pushMacro() {
    const bool was = loading_;
    loading_ = true;
    const FeaturesValues& v = model_->v;
    macroNumber_->setValue(v.macroNumber);
    macroName_->setText(Q(v.macro.name));
    macroName_->setReadOnly(!model_->MacroNameEditable());
    macroMls_->setCurrentIndex(v.macro.mlsIndex);
    macroAvg_->setCurrentIndex(v.macro.avgIndex);
    macroFft_->setCurrentIndex(v.macro.fftIndex);
    for (auto& [box, field] : checks_) box->setChecked(*field);
    for (auto& [spin, field] : spins_) spin->setValue(*field);
    loading_ = was;
}

void TFEATURES::pushFormats() {
    const bool was = loading_;
    loading_ = true;
    cbsample_->clear();
    for (const auto& t : model_->rateTexts) cbsample_->addItem(Q(t));
    cbsample_->setCurrentIndex(model_->v.sample);
    loading_ = was;
}

void TFEATURES::pushTemperature() {
    const bool was = loading_;
    loading_ = true;
    const SpinRange r = model_->TemperatureRange();
    temperature_->setRange(r.low, r.high);
    temperature_->setValue(QString::fromStdString(model_->v.temperature).toInt());
    temperatureUnit_->setText(Q(model_->TemperatureUnit()));
    // The field shows what the model holds, even where the range clamps the value.
    model_->v.temperature = temperature_->cleanText().toStdString();
    loading_ = was;
}

void TFEATURES::showRoomGroup() { roomGroup_->setVisible(model_->RoomSelected()); }

// ---- events -----------------------------------------------------------------------------------

bool TFEATURES::ShowOn(std::optional<FeaturesTab> tab) {
    if (tab) model_->PageToShow = *tab;
    model_->Show();
    FormActivate();
    return exec() == QDialog::Accepted;
}

void TFEATURES::FormActivate() {
    loading_ = true;
    tabs_->setCurrentIndex(int(model_->PageToShow));
    lastTab_ = int(model_->PageToShow);
    const bool ok = model_->Activate();
    loading_ = false;
    if (!ok) return;
    loading_ = true;
    cbsoundin_->clear();
    for (const auto& n : model_->inputNames) cbsoundin_->addItem(Q(n));
    cbSoundOut_->clear();
    for (const auto& n : model_->outputNames) cbSoundOut_->addItem(Q(n));
    cbsoundin_->setCurrentIndex(model_->v.input);
    cbSoundOut_->setCurrentIndex(model_->v.output);
    cbsoundin_->setEnabled(model_->inputEnabled);
    cbSoundOut_->setEnabled(model_->outputEnabled);
    loading_ = false;
    pushFormats();
    pushAll();
    pushTemperature();
    showRoomGroup();
}

void TFEATURES::finish(int result) {
    model_->Closed(FeaturesTab(tabs_->currentIndex()));
    done(result);
}

void TFEATURES::BitBtn1Click() {
    // The field's text as it stands, also when it is no number at all.
    model_->v.temperature = temperature_->cleanText().toStdString();
    if (model_->Ok()) {
        finish(QDialog::Accepted);
    } else {
        pushMacro();  // the macro question may have reloaded the macro
    }
}

void TFEATURES::BitBtn2Click() {
    if (model_->Cancel()) finish(QDialog::Rejected);
}

void TFEATURES::reject() { BitBtn2Click(); }

void TFEATURES::closeEvent(QCloseEvent* event) {
    // FormCloseQuery: only after OK or a confirmed Cancel; then the frame's close is a Cancel.
    event->ignore();
    if (model_->CanClose()) BitBtn2Click();
}

}  // namespace fim
