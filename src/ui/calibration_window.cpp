#include "ui/calibration_window.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cctype>
#include <cmath>

#include "astro/catalogue.h"
#include "astro/utils.h"
#include "core/calibration.h"
#include "core/core.h"
#include "ui/form_kit.h"
#include "ui/goto_window.h"

namespace axo::ui {

namespace {

QLineEdit* Field(const QString& name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFixedWidth(52);
    e->setAlignment(Qt::AlignRight);
    return e;
}

const std::array<StringKey, 6> kTextKeys{StringKey::calibr_alpha_text_h, StringKey::calibr_alpha_text_m,
                                         StringKey::calibr_alpha_text_s, StringKey::calibr_delta_text_d,
                                         StringKey::calibr_delta_text_m, StringKey::calibr_delta_text_s};

// Whether a field reads as a number: it starts with one ("12", "-0", "12h", ".5") or holds
// nothing at all (an empty field reads 0). Blanks count for nothing, as when it is read.
bool ReadsAsNumber(const std::string& text) {
    std::string t;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') {
            t.push_back(c);
        }
    }
    if (t.empty()) {
        return true;
    }
    std::size_t i = t[0] == '+' || t[0] == '-' ? 1 : 0;
    if (i < t.size() && t[i] == '.') {
        ++i;
    }
    return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])) != 0;
}

// What the checks say of each field, in the order of the fields.
const std::array<const char*, 6> kFieldErrors{
    "Valeur des Heures Alpha incorrecte", "Valeur des Minutes Alpha incorrecte", "Valeur des Secondes Alpha incorrecte",
    "Valeur des degrés Delta incorrecte", "Valeur des minutes Delta incorrecte", "Valeur des secondes Delta incorrecte"};

}  // namespace

CalibrationWindow::CalibrationWindow(Core& core, QWidget* parent) : QDialog(parent), core_(core) {
    setObjectName("Calibr");
    setWindowTitle("Calibration");
    setModal(false);
    auto* layout = new QVBoxLayout(this);

    QGroupBox* star = NamedFrame("fraCalibrStar", "Étoile", this);
    auto* sl = new QHBoxLayout(star);
    targets_ = new TargetList("cmbCalibrStar", star);
    targets_->setMinimumContentsLength(16);
    targets_->setToolTip("L'objet centré : ses coordonnées de maintenant remplissent Alpha et Delta");
    sl->addWidget(targets_);
    layout->addWidget(star);
    connect(targets_, &TargetList::targetChosen, this, &CalibrationWindow::FillFromList);

    QGroupBox* alpha = NamedFrame("fraCalibrCoordinates", "Alpha", this);
    auto* ag = new QGridLayout(alpha);
    hourAngle_ = new QRadioButton("Angle horaire", alpha);
    hourAngle_->setObjectName("optCalibrAlpha0");
    rightAscension_ = new QRadioButton("Ascension droite", alpha);
    rightAscension_->setObjectName("optCalibrAlpha1");
    ag->addWidget(hourAngle_, 0, 0, 1, 3);
    ag->addWidget(rightAscension_, 0, 3, 1, 3);
    QPushButton* calAlpha = FieldRow(ag, 1, 0, {"txtCalibrRAh", "lblCalibrRAh", "h"}, {"txtCalibrRAm", "lblCalibrRAm", "m"},
                                     {"txtCalibrRAs", "lblCalibrRAs", "s"}, "cmdCalibrAlpha", "Calibrer Alpha", alpha);
    layout->addWidget(alpha);

    QGroupBox* delta = NamedFrame("Frame1", "Delta", this);
    auto* dg = new QGridLayout(delta);
    QPushButton* calDelta = FieldRow(dg, 0, 3, {"txtCalibrDEd", "lblCalibrDEd", "°"}, {"txtCalibrDEm", "lblCalibrDEm", "m"},
                                     {"txtCalibrDEs", "lblCalibrDEs", "s"}, "cmdCalibrDelta", "Calibrer Delta", delta);
    layout->addWidget(delta);

    auto* close = new QPushButton("Fermer", this);
    close->setObjectName("cmdCalibrClose");
    AddButtonRow(layout, {close});

    for (QPushButton* b : {calAlpha, calDelta, close}) {
        b->setAutoDefault(false);
    }
    for (QLineEdit* f : fields_) {
        f->installEventFilter(this);
    }
    connect(calAlpha, &QPushButton::clicked, this, &CalibrationWindow::CalibrateAlpha);
    connect(calDelta, &QPushButton::clicked, this, &CalibrationWindow::CalibrateDelta);
    connect(close, &QPushButton::clicked, this, &CalibrationWindow::CloseAction);
    connect(hourAngle_, &QRadioButton::clicked, this, [this] { core_.settings().Int(IntKey::calibr_alpha_ra) = 0; });
    connect(rightAscension_, &QRadioButton::clicked, this,
            [this] { core_.settings().Int(IntKey::calibr_alpha_ra) = 1; });
}

QPushButton* CalibrationWindow::FieldRow(QGridLayout* grid, int row, std::size_t first, const FieldSpec& a,
                                         const FieldSpec& b, const FieldSpec& c, const char* buttonName,
                                         const QString& buttonText, QWidget* parent) {
    int column = 0;
    std::size_t index = first;
    for (const FieldSpec* spec : {&a, &b, &c}) {
        fields_[index] = Field(spec->field, parent);
        grid->addWidget(fields_[index], row, column++);
        grid->addWidget(NamedLabel(spec->unitName, QString::fromUtf8(spec->unit), parent), row, column++);
        ++index;
    }
    auto* button = new QPushButton(buttonText, parent);
    button->setObjectName(buttonName);
    grid->addWidget(button, row + 1, 0, 1, 6);
    return button;
}

void CalibrationWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Activate();
}

void CalibrationWindow::Activate() {
    ApplyHourAngleRange();
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        accepted_[i] = QString::fromStdString(core_.settings().Str(kTextKeys[i]));
        fields_[i]->setText(accepted_[i]);
    }
    (core_.settings().Int(IntKey::calibr_alpha_ra) == 0 ? hourAngle_ : rightAscension_)->setChecked(true);
}

void CalibrationWindow::FillFromList() {
    const CatalogueEntry* e = targets_->Chosen();
    if (e == nullptr) {
        return;
    }
    const PcDateTime now = core_.clock().Now();
    const DateTimeRecord when = DateTimeOf(now);
    // The calibration is made on the star where it is tonight: its place of date, not J2000.
    const EquatorialOfDate p = PositionOfDate(*e, JulianDateUtc(when), core_.state().Site);
    // The checks take whole seconds: rounded here, carried into the minutes and hours.
    long ra = std::lround(p.raRad * 43200.0 / 3.14159265358979323846) % 86400;
    long dec = std::lround(std::fabs(p.decRad) * 648000.0 / 3.14159265358979323846);
    const bool south = p.decRad < 0 && dec != 0;
    const std::array<QString, 6> texts{QString::number(ra / 3600),
                                       QString::number(ra / 60 % 60),
                                       QString::number(ra % 60),
                                       (south ? "-" : "") + QString::number(dec / 3600),
                                       QString::number(dec / 60 % 60),
                                       QString::number(dec % 60)};
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i]->setText(texts[i]);
    }
    // A right ascension, not an hour angle: the fields stay right while the observer centres.
    rightAscension_->setChecked(true);
    core_.settings().Int(IntKey::calibr_alpha_ra) = 1;
}

void CalibrationWindow::ApplyHourAngleRange() {
    fields_[0]->setMaxLength(core_.settings().Int(IntKey::alpha_12) == 1 ? 3 : 2);
}

void CalibrationWindow::ReloadAlphaFields() {
    ApplyHourAngleRange();
    for (std::size_t i = 0; i < 3; ++i) {
        fields_[i]->setText(QString::fromStdString(core_.settings().Str(kTextKeys[i])));
    }
}

void CalibrationWindow::Restore(int first) {
    for (int i = first; i < first + 3; ++i) {
        fields_[static_cast<std::size_t>(i)]->setText(accepted_[static_cast<std::size_t>(i)]);
    }
}

void CalibrationWindow::CalibrateAlpha() {
    Calibrate(0, axo::CalibrateAlpha);
}

void CalibrationWindow::CalibrateDelta() {
    Calibrate(3, axo::CalibrateDelta);
}

std::string CalibrationWindow::RangeOf(std::size_t field) const {
    switch (field) {
        case 0: {
            const Settings& s = core_.settings();
            const bool twelve = s.Int(IntKey::calibr_alpha_ra) == 0 && s.Int(IntKey::alpha_12) == 1;
            return twelve ? "de -12 à 12" : "de 0 à 23";
        }
        case 3:
            return "de -90 à 90";
        default:
            return "de 0 à 59";
    }
}

void CalibrationWindow::Calibrate(std::size_t first, CalibrateFn calibrate) {
    // Letters (or a lone sign) read 0, which every check takes: the calibration would be made
    // on 0 h. Such a field stands in the checks as a value none of them accepts, so that it is
    // refused in its turn, and its message says what the field takes.
    constexpr const char* kNoValue = "999999";
    std::array<std::string, 3> texts;
    std::array<bool, 3> noNumber{};
    for (std::size_t i = 0; i < 3; ++i) {
        texts[i] = fields_[first + i]->text().toStdString();
        noNumber[i] = !ReadsAsNumber(texts[i]);
        if (noNumber[i]) {
            texts[i] = kNoValue;
        }
    }
    const CalibrationCheck check = calibrate(core_, texts[0], texts[1], texts[2]);
    if (!check.ok) {
        std::string error = check.error;
        for (std::size_t i = 0; i < 3; ++i) {
            if (noNumber[i] && error == kFieldErrors[first + i]) {
                error += "\nentrez un nombre " + RangeOf(first + i);
            }
        }
        AlertBox(core_.op(), "Erreur", error, kAlertExclamation);
        Restore(static_cast<int>(first));
        return;
    }
    for (std::size_t i = first; i < first + 3; ++i) {
        accepted_[i] = fields_[i]->text();
    }
    if (onSettingsChanged) {
        onSettingsChanged();
    }
}

void CalibrationWindow::CloseAction() {
    hide();
    Restore(0);
    Restore(3);
    core_.settings().Int(IntKey::calibr_display) = 0;
    if (onClosed) {
        onClosed();
    }
}

void CalibrationWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    CloseAction();
}

bool CalibrationWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field != nullptr) {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                focusNextChild();  // Enter moves on, like Tab, without a sound or a character
                return true;
            }
        } else if (event->type() == QEvent::FocusIn) {
            field->selectAll();
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace axo::ui
