#include "ui/eik120_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "astro/utils.h"
#include "core/core.h"
#include "interfaces/eik120/eik_config_rules.h"
#include "interfaces/eik120/eik_driver.h"
#include "settings/value_text.h"
#include "ui/form_kit.h"

namespace axo::ui {

namespace {

constexpr int kFieldWidth = 110;

QLineEdit* Field(const char* name, QWidget* parent) {
    QLineEdit* e = NamedLineEdit(name, parent);
    e->setFixedWidth(kFieldWidth);
    return e;
}

// A labelled text box, as wide as the others, in `row` of `grid`.
QLineEdit* FieldRow(QGridLayout* grid, int row, const char* labelName, const QString& caption, const char* fieldName,
                    QWidget* parent) {
    QLineEdit* e = AddFieldRow(grid, row, labelName, caption, fieldName, parent);
    e->setFixedWidth(kFieldWidth);
    return e;
}

}  // namespace

Eik120Window::Eik120Window(Core& core, EikDriver* driver, std::function<void()> applySettings, QWidget* parent)
    : QDialog(parent), core_(core), driver_(driver), apply_(std::move(applySettings)) {
    setObjectName("Eik120");
    setWindowTitle("Interface codeurs EIK120");
    setModal(true);
    auto* layout = new QVBoxLayout(this);

    QGroupBox* irqFrame = NamedFrame("fraEik120Irq", "Configuration de l'IRQ", this);
    auto* il = new QGridLayout(irqFrame);
    useIrq_ = NamedCheckBox("chkEik120UseIrq", "Utiliser les interruptions de la carte EIK 120", irqFrame);
    irqLabel_ = NamedLabel("lblEik120Irq", "Numéro de l'interruption :", irqFrame);
    irq_ = new QComboBox(irqFrame);
    irq_->setObjectName("cmbEik120Irq");
    irq_->addItems({"4", "5", "9", "10", "11", "12", "15"});
    irq_->setCurrentIndex(-1);  // until an activation finds the setting among the items
    irq_->setFixedWidth(kFieldWidth);
    timerLabel_ = NamedLabel("lblEik120TimerValue", "Intervalle d'interrogation (ms) :", irqFrame);
    timer_ = Field("txtEik120TimerValue", irqFrame);
    il->addWidget(useIrq_, 0, 0, 1, 2);
    il->addWidget(irqLabel_, 1, 0);
    il->addWidget(irq_, 1, 1);
    il->addWidget(timerLabel_, 2, 0);
    il->addWidget(timer_, 2, 1);
    layout->addWidget(irqFrame);

    QGroupBox* baseFrame = NamedFrame("fraEik120BaseAddress", "Configuration de l'adresse de base", this);
    auto* bl = new QGridLayout(baseFrame);
    base_ = FieldRow(bl, 0, "lblEik120BaseAddress", "Adresse de base (hexadécimal) :", "txtEik120BaseAddress", baseFrame);
    layout->addWidget(baseFrame);

    QGroupBox* axisFrame = NamedFrame("fraEik120Axis", "Affectation des codeurs", this);
    auto* al = new QGridLayout(axisFrame);
    al->addWidget(NamedLabel("lblEik120Axis", "Le codeur de l'axe Alpha correspond à :", axisFrame), 0, 0);
    axis1_ = new QRadioButton("Axe 1", axisFrame);
    axis1_->setObjectName("optEik120Axis0");
    axis2_ = new QRadioButton("Axe 2", axisFrame);
    axis2_->setObjectName("optEik120Axis1");
    auto* axes = new QHBoxLayout;
    axes->addWidget(axis1_);
    axes->addWidget(axis2_);
    al->addLayout(axes, 0, 1);
    layout->addWidget(axisFrame);

    QGroupBox* resFrame = NamedFrame("fraEik120Resolution", "Résolution des codeurs", this);
    auto* rl = new QGridLayout(resFrame);
    alphaRes_ = FieldRow(rl, 0, "lblEik120AlphaRes", "Axe Alpha (en \"/pas) :", "txtEik120AlphaResolution", resFrame);
    deltaRes_ = FieldRow(rl, 1, "lblEik120DeltaRes", "Axe Delta (en \"/pas) :", "txtEik120DeltaResolution", resFrame);
    layout->addWidget(resFrame);

    QGroupBox* toFrame = NamedFrame("fraEik120TimeOut", "Time out", this);
    auto* tl = new QGridLayout(toFrame);
    timeoutInit_ =
        FieldRow(tl, 0, "lblEik120TimeOut", "Time out sur l'initialisation (en s) :", "txtEik120TimeOutInit", toFrame);
    timeoutRead_ = FieldRow(tl, 1, "Label1", "Time out sur la lecture (en s) :", "txtEik120TimeOutRead", toFrame);
    layout->addWidget(toFrame);

    QGroupBox* debugFrame = NamedFrame("fraEik120Debug", "Debug", this);
    auto* dl = new QHBoxLayout(debugFrame);
    debug_ = NamedCheckBox("chkEik120Debug", "Mode Debug", debugFrame);
    dl->addWidget(debug_);
    layout->addWidget(debugFrame);

    // The labels line up across the frames.
    for (QGridLayout* g : {il, bl, al, rl, tl}) {
        g->setColumnMinimumWidth(0, 250);
        g->setColumnStretch(2, 1);
    }

    QPushButton* ok = NamedButton("cmdEik120Ok", "Ok", this);
    QPushButton* cancel = NamedButton("cmdEik120Cancel", "Annuler", this);
    AddButtonRow(layout, {ok, cancel});

    connect(useIrq_, &QCheckBox::clicked, this, &Eik120Window::UseIrqClicked);
    connect(ok, &QPushButton::clicked, this, &Eik120Window::OkClicked);
    connect(cancel, &QPushButton::clicked, this, &Eik120Window::CancelClicked);
}

void Eik120Window::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Activate();
}

void Eik120Window::Activate() {
    const Settings& s = core_.settings();
    EikWorkingCopies copies;
    if (driver_ != nullptr) {
        copies = driver_->Copies();
    } else {
        copies.BaseAddress = s.Int(IntKey::Eik120_base_addr);
        copies.AlphaOnChannel1 = s.Int(IntKey::Eik120_alpha_axis1);
        copies.UseIrq = s.Int(IntKey::Eik120_use_irq);
        copies.Irq = s.Int(IntKey::Eik120_irq);
    }
    const int found = irq_->findText(QString::number(copies.Irq));
    if (found >= 0) {
        irq_->setCurrentIndex(found);
    }
    useIrq_->setChecked(copies.UseIrq == 1);
    timer_->setText(QString::number(s.Int(IntKey::Eik120_timer_irq)));
    base_->setText(QString::fromStdString(EikBaseAddressText(copies.BaseAddress)));
    (copies.AlphaOnChannel1 == 1 ? axis1_ : axis2_)->setChecked(true);
    alphaRes_->setText(QString::fromStdString(DoubleToText(s.Dbl(DoubleKey::Eik120_alpha_res))));
    deltaRes_->setText(QString::fromStdString(DoubleToText(s.Dbl(DoubleKey::Eik120_delta_res))));
    UseIrqClicked();
    timeoutInit_->setText(QString::number(s.Int(IntKey::Eik120_timeout_init)));
    timeoutRead_->setText(QString::number(s.Int(IntKey::Eik120_timeout_read)));
    debug_->setChecked(s.Int(IntKey::Eik120_debug) == 1);
    for (QLineEdit* e : {alphaRes_, deltaRes_, timeoutInit_, timeoutRead_}) {
        shown_[e] = e->text();
    }
}

void Eik120Window::UseIrqClicked() {
    const bool on = useIrq_->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{irq_, timer_, irqLabel_, timerLabel_}) {
        w->setEnabled(on);
    }
}

void Eik120Window::Error(const std::string& text) {
    AlertBox(core_.op(), "Erreur", text, kAlertExclamation);
}

bool Eik120Window::OkClicked() {
    const std::optional<int16_t> base = ParseEikBaseAddress(base_->text().toStdString());
    if (!base) {
        Error("Valeur de l'adresse de base incorrecte");
        return false;
    }
    if (!EikTimerAccepted(timer_->text().toStdString())) {
        Error("Valeur de l'intervalle d'interrogation incorrecte");
        return false;
    }
    // Numbers the card cannot work with are refused before it is stopped: the window stays
    // open and the field shows its value again.
    const auto text = [](const QLineEdit* e) { return e->text().toStdString(); };
    const std::string timeouts = " doit être compris entre " + std::to_string(kEikTimeoutMin) + " et " +
                                 std::to_string(kEikTimeoutMax) + " s";
    const auto resolution = [](const char* axis, int turn) {
        return std::string("La résolution ") + axis + " doit être de plus de 0 et d'au plus " + std::to_string(turn) +
               " \"/pas";
    };
    const struct {
        QLineEdit* field;
        bool outOfRange;
        std::string error;
    } ranges[] = {
        {alphaRes_, EikResolutionOutOfRange(text(alphaRes_), kEikAlphaTurn), resolution("Alpha", kEikAlphaTurn)},
        {deltaRes_, EikResolutionOutOfRange(text(deltaRes_), kEikDeltaTurn), resolution("Delta", kEikDeltaTurn)},
        {timeoutInit_, EikTimeoutOutOfRange(text(timeoutInit_)), "Le time out sur initialisation" + timeouts},
        {timeoutRead_, EikTimeoutOutOfRange(text(timeoutRead_)), "Le time out sur lecture" + timeouts},
    };
    for (const auto& r : ranges) {
        if (r.outOfRange) {
            Error(r.error);
            r.field->setText(shown_[r.field]);
            r.field->setFocus();
            r.field->selectAll();
            return false;
        }
    }

    hide();
    DriverParam p{0, 0};
    core_.drivers().EikDriver(CMD_STOP_INTERFACE, p);

    Settings& s = core_.settings();
    EikWorkingCopies fallback;
    EikWorkingCopies& copies = driver_ != nullptr ? driver_->Copies() : fallback;
    const auto store = [&s](IntKey key, int16_t& copy, int16_t value) {
        copy = value;
        s.Int(key) = value;
    };
    store(IntKey::Eik120_use_irq, copies.UseIrq, useIrq_->isChecked() ? 1 : 0);
    if (irq_->currentIndex() >= 0) {  // no item chosen: the line stays as it was
        store(IntKey::Eik120_irq, copies.Irq, static_cast<int16_t>(irq_->currentText().toInt()));
    }
    // A field that does not read says so and keeps its setting.
    const auto storeInt = [this, &s](IntKey key, const QLineEdit* field, const char* error) {
        if (const auto value = TextToInteger(field->text().toStdString())) {
            s.Int(key) = *value;
        } else {
            Error(error);
        }
    };
    const auto storeDouble = [this, &s](DoubleKey key, const QLineEdit* field, const char* error) {
        if (const auto value = TextToDouble(field->text().toStdString())) {
            s.Dbl(key) = *value;
        } else {
            Error(error);
        }
    };
    storeInt(IntKey::Eik120_timer_irq, timer_, "Valeur du timer incorrecte");
    store(IntKey::Eik120_base_addr, copies.BaseAddress, *base);
    store(IntKey::Eik120_alpha_axis1, copies.AlphaOnChannel1, axis1_->isChecked() ? 1 : 0);
    storeDouble(DoubleKey::Eik120_alpha_res, alphaRes_, "Valeur de la résolution Alpha incorrecte");
    storeDouble(DoubleKey::Eik120_delta_res, deltaRes_, "Valeur de la résolution Delta incorrecte");
    storeInt(IntKey::Eik120_timeout_init, timeoutInit_, "Valeur du time out sur initialisation incorrect");
    storeInt(IntKey::Eik120_timeout_read, timeoutRead_, "Valeur du time out sur lecture incorrect");
    s.Int(IntKey::Eik120_debug) = debug_->isChecked() ? 1 : 0;

    if (apply_) {
        apply_();
    }
    core_.drivers().EikDriver(CMD_START_INTERFACE, p);
    if (onSettingsChanged) {
        onSettingsChanged();
    }
    accept();
    return true;
}

void Eik120Window::CancelClicked() {
    hide();
    QDialog::reject();
}

}  // namespace axo::ui
