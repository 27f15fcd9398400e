#include "ui/serial64xx_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "astro/utils.h"
#include "core/core.h"
#include "interfaces/serial64xx/s64xx_driver.h"
#include "settings/value_text.h"
#include "ui/form_kit.h"

namespace axo::ui {

namespace {

struct TextField {
    const char* control;
    StringKey key;
};

// The text boxes that hold settings texts verbatim, in the order OK stores them.
constexpr TextField kAlphaRamps[] = {{"txt64xxAfTrk", StringKey::S64xx_alpha_f_trk},
                                     {"txt64xxAfCenter", StringKey::S64xx_alpha_f_center},
                                     {"txt64xxAfPoint", StringKey::S64xx_alpha_f_point},
                                     {"txt64xxAfMove", StringKey::S64xx_alpha_f_move}};
constexpr TextField kAlphaRates[] = {{"txt64xxArCenter", StringKey::S64xx_alpha_r_center},
                                     {"txt64xxArPoint", StringKey::S64xx_alpha_r_point},
                                     {"txt64xxArMove", StringKey::S64xx_alpha_r_move}};
constexpr TextField kAlphaSpeeds[] = {{"txt64xxAsSb", StringKey::S64xx_alpha_s_sb},
                                      {"txt64xxAsSh", StringKey::S64xx_alpha_s_sh},
                                      {"txt64xxAsFb", StringKey::S64xx_alpha_s_fb},
                                      {"txt64xxAsFh", StringKey::S64xx_alpha_s_fh}};
constexpr TextField kAlphaSteps[] = {{"txt64xxAStepTrk", StringKey::S64xx_alpha_step_trk},
                                     {"txt64xxAStepS", StringKey::S64xx_alpha_step_s},
                                     {"txt64xxAStepF", StringKey::S64xx_alpha_step_f}};
constexpr TextField kDeltaRamps[] = {{"txt64xxDfShift", StringKey::S64xx_delta_f_shift},
                                     {"txt64xxDfCenter", StringKey::S64xx_delta_f_center},
                                     {"txt64xxDfPoint", StringKey::S64xx_delta_f_point},
                                     {"txt64xxDfMove", StringKey::S64xx_delta_f_move}};
constexpr TextField kDeltaRates[] = {{"txt64xxDrShift", StringKey::S64xx_delta_r_shift},
                                     {"txt64xxDrCenter", StringKey::S64xx_delta_r_center},
                                     {"txt64xxDrPoint", StringKey::S64xx_delta_r_point},
                                     {"txt64xxDrMove", StringKey::S64xx_delta_r_move}};
constexpr TextField kDeltaSpeeds[] = {{"txt64xxDsSb", StringKey::S64xx_delta_s_sb},
                                      {"txt64xxDsSh", StringKey::S64xx_delta_s_sh},
                                      {"txt64xxDsFb", StringKey::S64xx_delta_s_fb},
                                      {"txt64xxDsFh", StringKey::S64xx_delta_s_fh}};
constexpr TextField kDeltaSteps[] = {{"txt64xxDStepShift", StringKey::S64xx_delta_step_shift},
                                     {"txt64xxDStepS", StringKey::S64xx_delta_step_s},
                                     {"txt64xxDStepF", StringKey::S64xx_delta_step_f}};

const char* const kAlphaRateTitles[] = {"Axe Alpha / Vitesse de rotation / Centrage",
                                        "Axe Alpha / Vitesse de rotation / Pointage",
                                        "Axe Alpha / Vitesse de rotation / Déplacement"};
const char* const kDeltaRateTitles[] = {"Axe Delta / Vitesse de rotation / Rattrapage",
                                        "Axe Delta / Vitesse de rotation / Centrage",
                                        "Axe Delta / Vitesse de rotation / Pointage",
                                        "Axe Delta / Vitesse de rotation / Déplacement"};

// The boxes whose change re-issues a running command.
constexpr const char* kRemembered[] = {"txt64xxArTrk",    "txt64xxArCenter", "txt64xxArPoint",  "txt64xxArMove",
                                       "txt64xxAStepTrk", "txt64xxAStepS",   "txt64xxAStepF",   "txt64xxDrShift",
                                       "txt64xxDrCenter", "txt64xxDrPoint",  "txt64xxDrMove",   "txt64xxDStepShift",
                                       "txt64xxDStepS",   "txt64xxDStepF"};

constexpr int kEditWidth = 80;

QLineEdit* Edit(const char* name, QWidget* parent) {
    QLineEdit* e = NamedLineEdit(name, parent);
    e->setMinimumWidth(kEditWidth);
    return e;
}

QComboBox* PortList(const char* name, QWidget* parent) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->addItems({"COM1:", "COM2:", "COM3:", "COM4:"});
    return c;
}

// A frame of labelled text boxes, one row each.
QGroupBox* Column(const char* frame, const QString& title, std::initializer_list<std::pair<const char*, QString>> rows,
                  QWidget* parent) {
    QGroupBox* box = NamedFrame(frame, title, parent);
    auto* grid = new QGridLayout(box);
    int row = 0;
    for (const auto& [name, caption] : rows) {
        AddFieldRow(grid, row, nullptr, caption, name, box)->setMinimumWidth(kEditWidth);
        ++row;
    }
    grid->setRowStretch(row, 1);
    return box;
}

// The base / high speeds: rows "Lent", "Rapide"; columns "Base", "Haute".
QGroupBox* SpeedGrid(const char* frame, const char* const labels[4], const char* const edits[4], QWidget* parent) {
    QGroupBox* box = NamedFrame(frame, "Vitesses base / haute", parent);
    auto* grid = new QGridLayout(box);
    grid->addWidget(NamedLabel(labels[2], "Base", box), 0, 1, Qt::AlignHCenter);
    grid->addWidget(NamedLabel(labels[3], "Haute", box), 0, 2, Qt::AlignHCenter);
    grid->addWidget(NamedLabel(labels[0], "Lent", box), 1, 0);
    grid->addWidget(NamedLabel(labels[1], "Rapide", box), 2, 0);
    grid->addWidget(Edit(edits[0], box), 1, 1);
    grid->addWidget(Edit(edits[1], box), 1, 2);
    grid->addWidget(Edit(edits[2], box), 2, 1);
    grid->addWidget(Edit(edits[3], box), 2, 2);
    grid->setRowStretch(3, 1);
    return box;
}

QString PeriodText(int32_t ms) {
    // General number format: no trailing zeros, the decimal separator of the conversions.
    return QString::fromStdString(DoubleToText(static_cast<double>(ms) / 1000.0));
}

}  // namespace

Serial64xxWindow::Serial64xxWindow(Core& core, S64xxDriver* driver, std::function<void()> applyLayout,
                                   QWidget* parent)
    : QDialog(parent), core_(core), driver_(driver), applyLayout_(std::move(applyLayout)) {
    setObjectName("Serial64xx");
    setWindowTitle("Interface série 6420/6410");
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("SSTab64xx");
    tabs_->addTab(BuildAlphaTab(), "Axe Alpha");
    tabs_->addTab(BuildDeltaTab(), "Axe Delta");
    tabs_->addTab(BuildMiscTab(), "Divers");
    layout->addWidget(tabs_);

    auto* ok = new QPushButton("Ok", this);
    ok->setObjectName("cmdSerial64xxOk");
    ok->setDefault(true);
    QPushButton* cancel = NamedButton("cmdSerial64xxCancel", "Annuler", this);
    AddButtonRow(layout, {ok, cancel});

    connect(ok, &QPushButton::clicked, this, &Serial64xxWindow::OkAction);
    connect(cancel, &QPushButton::clicked, this, &Serial64xxWindow::CancelAction);
    // A new tab: the focus goes to OK; Qt's tab chain already skips the hidden tabs' boxes.
    connect(tabs_, &QTabWidget::currentChanged, ok, [ok] { ok->setFocus(); });
    connect(Check("chk64xxRS485"), &QCheckBox::clicked, this, &Serial64xxWindow::RS485Clicked);
}

QWidget* Serial64xxWindow::BuildAlphaTab() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    auto* top = new QHBoxLayout;
    top->addWidget(NamedLabel("lblPortAlpha", "Port :", page));
    top->addWidget(PortList("cmbPortAlpha", page));
    top->addSpacing(24);
    top->addWidget(NamedCheckBox("chk64xxAlphaReverse", "Inverser les rotations Alpha", page));
    top->addStretch();
    grid->addLayout(top, 0, 0, 1, 2);
    grid->addWidget(Column("fra64xxAlphaRampes", "Rampes",
                           {{"txt64xxAfTrk", "Suivi"}, {"txt64xxAfCenter", "Centrage"}, {"txt64xxAfPoint", "Pointage"},
                            {"txt64xxAfMove", "Déplacement"}},
                           page),
                    1, 0);
    const char* const labels[] = {"lbl64xxAsS", "lbl64xxAsF", "lbl64xxAsB", "lbl64xxAsH"};
    const char* const edits[] = {"txt64xxAsSb", "txt64xxAsSh", "txt64xxAsFb", "txt64xxAsFh"};
    grid->addWidget(SpeedGrid("fra64xxAlphaVitesses", labels, edits, page), 1, 1);
    grid->addWidget(Column("fra64xxAlphaVitessesRotation", "Vitesse de rotation",
                           {{"txt64xxArTrk", "Suivi"}, {"txt64xxArCenter", "Centrage"}, {"txt64xxArPoint", "Pointage"},
                            {"txt64xxArMove", "Déplacement"}},
                           page),
                    2, 0);
    grid->addWidget(Column("fra64xxAlphaPas", "Taille du pas",
                           {{"txt64xxAStepTrk", "Suivi"}, {"txt64xxAStepS", "Lent"}, {"txt64xxAStepF", "Rapide"}}, page),
                    2, 1);
    auto* period = new QHBoxLayout;
    period->addWidget(
        NamedLabel("lbl64xxAlphaTrackTime", "Période de temps pour le rattrapage fin du suivi alpha (en s) :", page));
    period->addWidget(Edit("txt64xxAlphaTrackPeriod", page));
    period->addStretch();
    grid->addLayout(period, 3, 0, 1, 2);
    return page;
}

QWidget* Serial64xxWindow::BuildDeltaTab() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    auto* top = new QHBoxLayout;
    top->addWidget(NamedLabel("lblPortDelta", "Port :", page));
    top->addWidget(PortList("cmbPortDelta", page));
    top->addSpacing(24);
    top->addWidget(NamedCheckBox("chk64xxDeltaReverse", "Inverser les rotations Delta", page));
    top->addSpacing(12);
    top->addWidget(NamedCheckBox("chk64xxDeltaFastOnSlave", "Axe rapide sur 6410 esclave", page));
    top->addStretch();
    grid->addLayout(top, 0, 0, 1, 3);
    grid->addWidget(Column("fra64xxDeltaRampes", "Rampes",
                           {{"txt64xxDfShift", "Rattrapage"}, {"txt64xxDfCenter", "Centrage"},
                            {"txt64xxDfPoint", "Pointage"}, {"txt64xxDfMove", "Déplacement"}},
                           page),
                    1, 0);
    const char* const labels[] = {"lbl64xxS", "lbl64xxF", "lbl64xxB", "lbl64xxH"};
    const char* const edits[] = {"txt64xxDsSb", "txt64xxDsSh", "txt64xxDsFb", "txt64xxDsFh"};
    grid->addWidget(SpeedGrid("fra64xxDeltaVitesses", labels, edits, page), 1, 1);
    grid->addWidget(Column("fra64xxDeltaVitessesRotation", "Vitesse de rotation",
                           {{"txt64xxDrShift", "Rattrapage"}, {"txt64xxDrCenter", "Centrage"},
                            {"txt64xxDrPoint", "Pointage"}, {"txt64xxDrMove", "Déplacement"}},
                           page),
                    2, 0);
    grid->addWidget(Column("fra64xxDeltaPas", "Taille du pas",
                           {{"txt64xxDStepShift", "Rattrap."}, {"txt64xxDStepS", "Lent"}, {"txt64xxDStepF", "Rapide"}},
                           page),
                    2, 1);
    QGroupBox* brake = NamedFrame("fra64xxDeltaBrake", "Frein et rattrapage lent axe Delta", page);
    auto* bl = new QGridLayout(brake);
    AddFieldRow(bl, 0, "lblDeltaBrake", "Retard (en s) :", "txt64xxDeltaBrake", brake)->setMinimumWidth(kEditWidth);
    bl->addWidget(NamedCheckBox("chk64xxDeltaDrift", "Effectuer le rattrapage lent", brake), 1, 0, 1, 2);
    bl->addWidget(NamedCheckBox("chk64xxDeltaBrake", "Serrer le frein et débrayer", brake), 2, 0, 1, 2);
    bl->addWidget(NamedButton("cmd64xxDeltaDriftZero", "Zéro Delta lent", brake), 3, 0);
    bl->addWidget(NamedButton("cmd64xxDeltaDriftBackZero", "Retour zéro", brake), 3, 1);
    bl->setRowStretch(4, 1);
    grid->addWidget(brake, 1, 2, 2, 1);
    return page;
}

QWidget* Serial64xxWindow::BuildMiscTab() {
    auto* page = new QWidget(this);
    auto* v = new QVBoxLayout(page);
    QGroupBox* debug = NamedFrame("fra64xxDebug", "Debug", page);
    auto* dl = new QHBoxLayout(debug);
    dl->addWidget(NamedCheckBox("chk64xxDebug", "Mode Debug", debug));
    dl->addStretch();
    v->addWidget(debug);
    QGroupBox* rs = NamedFrame("fra64xxRS485", "RS 485", page);
    auto* rl = new QGridLayout(rs);
    rl->addWidget(NamedCheckBox("chk64xxRS485", "RS 485", rs), 0, 0, 1, 2);
    rl->addWidget(NamedLabel("lbl64xxRS485Port", "Port :", rs), 1, 0);
    rl->addWidget(PortList("cmb64xxRS485Port", rs), 1, 1);
    AddFieldRow(rl, 2, "lbl64xxRS485Alpha", "Alpha", "txt64xxRS485Alpha", rs)->setMinimumWidth(kEditWidth);
    AddFieldRow(rl, 3, "lbl64xxRS485Delta", "Delta", "txt64xxRS485Delta", rs)->setMinimumWidth(kEditWidth);
    rl->setColumnStretch(2, 1);
    v->addWidget(rs);
    v->addStretch();
    return page;
}

QLineEdit* Serial64xxWindow::Text(const char* name) const {
    return findChild<QLineEdit*>(name);
}

QCheckBox* Serial64xxWindow::Check(const char* name) const {
    return findChild<QCheckBox*>(name);
}

QComboBox* Serial64xxWindow::Combo(const char* name) const {
    return findChild<QComboBox*>(name);
}

std::string Serial64xxWindow::Field(const char* name) const {
    return Text(name)->text().toStdString();
}

void Serial64xxWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Activate();
}

void Serial64xxWindow::RS485Clicked() {
    const bool bus = Check("chk64xxRS485")->isChecked();
    Combo("cmbPortAlpha")->setEnabled(!bus);
    Combo("cmbPortDelta")->setEnabled(!bus);
    Combo("cmb64xxRS485Port")->setEnabled(bus);
    Text("txt64xxRS485Alpha")->setEnabled(bus);
    Text("txt64xxRS485Delta")->setEnabled(bus);
}

void Serial64xxWindow::Activate() {
    const Settings& s = core_.settings();
    // The window keeps the tab it was left on; the focus starts on OK.
    findChild<QPushButton*>("cmdSerial64xxOk")->setFocus();
    // The bus needs both axes on the boxes; once refused, the frame stays off for the run.
    if (s.Int(IntKey::interface_ra) != INTERFACE_64XX || s.Int(IntKey::interface_de) != INTERFACE_64XX) {
        rs485Locked_ = true;
    }
    findChild<QGroupBox*>("fra64xxRS485")->setEnabled(!rs485Locked_);

    for (const auto* group : {&kAlphaRamps, &kDeltaRamps}) {
        for (const TextField& f : *group) {
            Text(f.control)->setText(QString::fromStdString(s.Str(f.key)));
        }
    }
    for (const auto& f : kAlphaRates) {
        Text(f.control)->setText(QString::fromStdString(s.Str(f.key)));
    }
    Text("txt64xxArTrk")->setText(QString::fromStdString(s.Str(StringKey::S64xx_alpha_r_trk)));
    for (const auto* group : {&kAlphaSpeeds, &kDeltaSpeeds}) {
        for (const TextField& f : *group) {
            Text(f.control)->setText(QString::fromStdString(s.Str(f.key)));
        }
    }
    for (const auto& f : kAlphaSteps) {
        Text(f.control)->setText(QString::fromStdString(s.Str(f.key)));
    }
    for (const auto& f : kDeltaRates) {
        Text(f.control)->setText(QString::fromStdString(s.Str(f.key)));
    }
    for (const auto& f : kDeltaSteps) {
        Text(f.control)->setText(QString::fromStdString(s.Str(f.key)));
    }
    remembered_.clear();
    for (const char* name : kRemembered) {
        remembered_[name] = Field(name);  // read back: what the box made of the text
    }
    Text("txt64xxDeltaBrake")->setText(QString::number(s.Int(IntKey::S64xx_delta_brake_timer)));
    Text("txt64xxAlphaTrackPeriod")->setText(PeriodText(s.Lng(LongKey::alpha_track_period)));

    auto index = [](int16_t v) { return v >= 0 && v < 4 ? static_cast<int>(v) : -1; };
    Combo("cmbPortAlpha")->setCurrentIndex(index(s.Int(IntKey::S64xx_com_port_alpha)));
    Combo("cmbPortDelta")->setCurrentIndex(index(s.Int(IntKey::S64xx_com_port_delta)));
    Combo("cmb64xxRS485Port")->setCurrentIndex(index(s.Int(IntKey::S64xx_RS485_com_port)));
    Check("chk64xxAlphaReverse")->setChecked(s.Int(IntKey::S64xx_alpha_reverse) == 1);
    Check("chk64xxDeltaReverse")->setChecked(s.Int(IntKey::S64xx_delta_reverse) == 1);
    Check("chk64xxDeltaFastOnSlave")->setChecked(s.Int(IntKey::S64xx_delta_fast_on_slave) == 1);
    alphaReverse_ = Check("chk64xxAlphaReverse")->isChecked();
    deltaReverse_ = Check("chk64xxDeltaReverse")->isChecked();
    fastOnSlave_ = Check("chk64xxDeltaFastOnSlave")->isChecked();
    Check("chk64xxRS485")->setChecked(s.Int(IntKey::S64xx_RS485) == 1);
    Text("txt64xxRS485Alpha")->setText(QString::fromStdString(s.Str(StringKey::S64xx_RS485_alpha)));
    Text("txt64xxRS485Delta")->setText(QString::fromStdString(s.Str(StringKey::S64xx_RS485_delta)));
    Check("chk64xxDebug")->setChecked(s.Int(IntKey::S64xx_debug) == 1);
    RS485Clicked();
}

void Serial64xxWindow::Refuse(const std::string& title, bool integer) {
    AlertBox2(core_.op(), "Erreur", "Le champ '" + title + "'",
              integer ? "doit être de type entier" : "doit être de type double", kAlertExclamation);
}

bool Serial64xxWindow::Changed(std::initializer_list<const char*> names) const {
    for (const char* name : names) {
        const auto it = remembered_.find(name);
        if (it == remembered_.end() || it->second != Field(name)) {
            return true;
        }
    }
    return false;
}

void Serial64xxWindow::CancelAction() {
    hide();
}

void Serial64xxWindow::OkAction() {
    hide();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Settings& s = core_.settings();
    EventProcessor& events = core_.events();

    const bool restart = Check("chk64xxAlphaReverse")->isChecked() != alphaReverse_ ||
                         Check("chk64xxDeltaFastOnSlave")->isChecked() != fastOnSlave_ ||
                         Check("chk64xxDeltaReverse")->isChecked() != deltaReverse_;
    if (restart) {
        events.StopTelescopeEvents(false);
        DriverParam p{0, 0};
        core_.drivers().S64xxDriver(CMD_STOP_INTERFACE, p);
    }

    auto store = [&](const TextField& f) { s.Str(f.key) = Field(f.control); };
    for (const auto& f : kAlphaRamps) {
        store(f);
    }
    if (ParseNumberText(Field("txt64xxArTrk"))) {
        s.Str(StringKey::S64xx_alpha_r_trk) = Field("txt64xxArTrk");
        if (driver_ != nullptr) {
            driver_->PrepareTrackingRate();
        }
    } else {
        Refuse("Axe Alpha / Vitesse de rotation / Suivi", false);
    }
    for (std::size_t i = 0; i < std::size(kAlphaRates); ++i) {
        if (IsDigits(Field(kAlphaRates[i].control))) {
            store(kAlphaRates[i]);
        } else {
            Refuse(kAlphaRateTitles[i], true);
        }
    }
    for (const auto& f : kAlphaSpeeds) {
        store(f);
    }
    for (const auto& f : kAlphaSteps) {
        store(f);
    }
    for (const auto& f : kDeltaRamps) {
        store(f);
    }
    for (std::size_t i = 0; i < std::size(kDeltaRates); ++i) {
        if (IsDigits(Field(kDeltaRates[i].control))) {
            store(kDeltaRates[i]);
        } else {
            Refuse(kDeltaRateTitles[i], true);
        }
    }
    for (const auto& f : kDeltaSpeeds) {
        store(f);
    }
    for (const auto& f : kDeltaSteps) {
        store(f);
    }
    {
        // Whole seconds that fit the setting's 16 bits; a bigger delay is refused like a
        // wrong one.
        const std::string text = Field("txt64xxDeltaBrake");
        const std::optional<double> value = ParseNumberText(text);
        if (IsDigits(text) && value && *value <= std::numeric_limits<int16_t>::max()) {
            s.Int(IntKey::S64xx_delta_brake_timer) = static_cast<int16_t>(*value);
        } else {
            Refuse("Retard de serrage frein Delta", true);
        }
    }
    {
        const std::optional<double> seconds = ParseNumberText(Field("txt64xxAlphaTrackPeriod"));
        const double ms = seconds ? RoundHalfEven(*seconds * 1000.0) : 0.0;
        if (seconds && ms >= std::numeric_limits<int32_t>::min() && ms <= std::numeric_limits<int32_t>::max()) {
            s.Lng(LongKey::alpha_track_period) = static_cast<int32_t>(ms);
        } else {
            Refuse("Période de temps", false);
        }
    }
    auto port = [this](const char* name, IntKey key, Settings& st) {
        const int index = Combo(name)->currentIndex();
        if (index >= 0) {
            st.Int(key) = static_cast<int16_t>(index);
        }
    };
    // Two boxes on one point-to-point line would both take every command: Delta's moves would
    // turn the Alpha box. Only the RS485 line, with its addresses, carries both.
    if (!Check("chk64xxRS485")->isChecked() &&
        Combo("cmbPortAlpha")->currentIndex() == Combo("cmbPortDelta")->currentIndex()) {
        AlertBox2(core_.op(), "Erreur", "Les axes Alpha et Delta ne peuvent pas partager le port " +
                                            Combo("cmbPortAlpha")->currentText().toStdString(),
                  "(deux boîtiers sur un port : seulement par la ligne RS 485)", kAlertExclamation);
    } else {
        port("cmbPortAlpha", IntKey::S64xx_com_port_alpha, s);
        port("cmbPortDelta", IntKey::S64xx_com_port_delta, s);
    }
    s.Int(IntKey::S64xx_delta_fast_on_slave) = Check("chk64xxDeltaFastOnSlave")->isChecked() ? 1 : 0;
    s.Int(IntKey::S64xx_alpha_reverse) = Check("chk64xxAlphaReverse")->isChecked() ? 1 : 0;
    s.Int(IntKey::S64xx_delta_reverse) = Check("chk64xxDeltaReverse")->isChecked() ? 1 : 0;
    s.Int(IntKey::S64xx_RS485) = Check("chk64xxRS485")->isChecked() ? 1 : 0;
    s.Str(StringKey::S64xx_RS485_alpha) = Field("txt64xxRS485Alpha");
    s.Str(StringKey::S64xx_RS485_delta) = Field("txt64xxRS485Delta");
    port("cmb64xxRS485Port", IntKey::S64xx_RS485_com_port, s);
    s.Int(IntKey::S64xx_debug) = Check("chk64xxDebug")->isChecked() ? 1 : 0;

    if (applyLayout_) {
        applyLayout_();
    }

    if (restart) {
        DriverParam p{0, 0};
        core_.drivers().S64xxDriver(CMD_START_INTERFACE, p);
    } else {
        if (Changed({"txt64xxArTrk", "txt64xxAStepTrk"}) && events.IsEventSet(EVT_TRACKING) &&
            !events.IsEventSet(EVT_ALPHA_MINUS_LOCK) && !events.IsEventSet(EVT_ALPHA_PLUS_LOCK)) {
            core_.Command(CMD_TRACKING, kStart);
        }
        if (Changed({"txt64xxArCenter", "txt64xxArPoint", "txt64xxArMove", "txt64xxAStepS", "txt64xxAStepF"})) {
            if (events.IsEventSet(EVT_ALPHA_MINUS_LOCK)) {
                core_.Command(CMD_ALPHA_MINUS, kStart);
            }
            if (events.IsEventSet(EVT_ALPHA_PLUS_LOCK)) {
                core_.Command(CMD_ALPHA_PLUS, kStart);
            }
        }
        if (Changed({"txt64xxDrShift", "txt64xxDrCenter", "txt64xxDrPoint", "txt64xxDrMove", "txt64xxDStepShift",
                     "txt64xxDStepS", "txt64xxDStepF"})) {
            if (events.IsEventSet(EVT_DELTA_MINUS_LOCK)) {
                core_.Command(CMD_DELTA_MINUS, kStart);
            }
            if (events.IsEventSet(EVT_DELTA_PLUS_LOCK)) {
                core_.Command(CMD_DELTA_PLUS, kStart);
            }
        }
    }
    if (driver_ != nullptr) {
        driver_->ApplyBrakeDelay();
    }
    if (onSettingsChanged) {
        onSettingsChanged();
    }
    QApplication::restoreOverrideCursor();
}

}  // namespace axo::ui
