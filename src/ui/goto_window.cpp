#include "ui/goto_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStringListModel>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

#include "astro/catalogue.h"
#include "astro/mathlib.h"
#include "core/core.h"
#include "ui/form_kit.h"

namespace axo::ui {

namespace {

constexpr double kPi = 3.14159265358979323846;

QString Comma(double value, int decimals) {
    return QString::number(value, 'f', decimals).replace('.', ',');
}

// "1h 23m 45s" of a number of hours (its sign left to the caller).
QString Hms(double hours) {
    long total = std::lround(std::fabs(hours) * 3600.0);
    const long h = total / 3600;
    total %= 3600;
    return QString("%1h %2m %3s").arg(h).arg(total / 60, 2, 10, QChar('0')).arg(total % 60, 2, 10, QChar('0'));
}

QString Dms(double degrees) {
    long total = std::lround(std::fabs(degrees) * 3600.0);
    const long d = total / 3600;
    total %= 3600;
    return QString("%1%2° %3' %4\"")
        .arg(degrees < 0 && std::lround(std::fabs(degrees) * 3600.0) != 0 ? "−" : "+")
        .arg(d)
        .arg(total / 60, 2, 10, QChar('0'))
        .arg(total % 60, 2, 10, QChar('0'));
}

QString Duration(double seconds) {
    const long s = std::lround(std::max(0.0, seconds));
    return s < 60 ? QString("%1 s").arg(s) : QString("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

// Air mass of a line of sight at `altitudeDeg` (Kasten and Young): 1 at the zenith, about 38
// at the horizon.
double AirMass(double altitudeDeg) {
    return 1.0 / (std::sin(D2R(altitudeDeg)) + 0.50572 * std::pow(altitudeDeg + 6.07995, -1.6364));
}

const char* GroupTitle(TargetKind kind) {
    switch (kind) {
        case TargetKind::Star:
            return "— Étoiles —";
        case TargetKind::Messier:
            return "— Objets de Messier —";
        case TargetKind::Planet:
        case TargetKind::Moon:
            return "— Planètes et Lune —";
    }
    return "";
}

double JulianDateNow(Core& core) {
    const PcDateTime now = core.clock().Now();
    const DateTimeRecord when = DateTimeOf(now);
    return JulianDateUtc(when);
}

// A field as a number: a comma is a decimal point; blank is 0; anything else is no number.
std::optional<double> Number(const QLineEdit* field) {
    QString text = field->text().trimmed();
    text.replace(',', '.');
    text.replace(QString("−"), "-");
    if (text.isEmpty()) {
        return 0.0;
    }
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

}  // namespace

// --- TargetList ---

TargetList::TargetList(const char* name, QWidget* parent) : QComboBox(parent) {
    setObjectName(name);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(20);
    setMinimumContentsLength(22);
    auto* model = new QStandardItemModel(this);
    QStringList names;
    const char* group = nullptr;
    for (const CatalogueEntry& e : Catalogue()) {
        if (GroupTitle(e.kind) != group) {
            group = GroupTitle(e.kind);
            // A group title cannot be chosen.
            auto* title = new QStandardItem(QString::fromUtf8(group));
            title->setFlags(Qt::NoItemFlags);
            QFont bold = title->font();
            bold.setBold(true);
            title->setFont(bold);
            model->appendRow(title);
        }
        auto* item = new QStandardItem(QString::fromStdString(e.name));
        item->setData(QString::fromStdString(e.id), Qt::UserRole);
        model->appendRow(item);
        names << QString::fromStdString(e.name);
    }
    setModel(model);
    setCurrentIndex(-1);
    lineEdit()->setPlaceholderText("Nom de l'objet (Véga, M 31, Jupiter...)");
    auto* completer = new QCompleter(new QStringListModel(names, this), this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    setCompleter(completer);
    connect(completer, qOverload<const QString&>(&QCompleter::activated), this, [this](const QString& text) {
        Choose(text);
    });
    connect(this, &QComboBox::activated, this, [this](int index) {
        Choose(itemData(index, Qt::UserRole).toString());
    });
    connect(lineEdit(), &QLineEdit::editingFinished, this, &TargetList::TakeText);
}

void TargetList::TakeText() {
    const QString text = currentText().trimmed();
    if (chosen_ != nullptr && text == QString::fromStdString(chosen_->name)) {
        return;
    }
    Choose(text);
}

bool TargetList::Choose(const QString& idOrName) {
    chosen_ = FindTarget(idOrName.trimmed().toStdString());
    if (chosen_ != nullptr) {
        const int index = findData(QString::fromStdString(chosen_->id), Qt::UserRole);
        setCurrentIndex(index);
        setEditText(QString::fromStdString(chosen_->name));
    }
    emit targetChosen();
    return chosen_ != nullptr;
}

// --- GotoWindow ---

GotoWindow::GotoWindow(Core& core, QWidget* parent) : QDialog(parent), core_(core) {
    setObjectName("Goto");
    setWindowTitle("Pointer un objet");
    setModal(false);
    auto* layout = new QVBoxLayout(this);

    QGroupBox* target = NamedFrame("fraGotoTarget", "Cible", this);
    auto* tg = new QGridLayout(target);
    byName_ = new QRadioButton("Par son nom", target);
    byName_->setObjectName("optGotoByName");
    byName_->setToolTip("Une étoile brillante, un objet de Messier, une planète ou la Lune");
    byName_->setChecked(true);
    list_ = new TargetList("cmbGotoTarget", target);
    list_->setToolTip("Tapez une partie du nom, puis choisissez dans la liste");
    tg->addWidget(byName_, 0, 0);
    tg->addWidget(list_, 0, 1, 1, 8);
    byCoordinates_ = new QRadioButton("Coordonnées", target);
    byCoordinates_->setObjectName("optGotoByCoordinates");
    byCoordinates_->setToolTip("Ascension droite et déclinaison tapées");
    tg->addWidget(byCoordinates_, 1, 0, 2, 1);
    const std::array<std::pair<const char*, const char*>, 6> fieldSpecs{{{"txtGotoRaH", "h"},
                                                                         {"txtGotoRaM", "m"},
                                                                         {"txtGotoRaS", "s"},
                                                                         {"txtGotoDecD", "°"},
                                                                         {"txtGotoDecM", "'"},
                                                                         {"txtGotoDecS", "\""}}};
    tg->addWidget(NamedLabel(nullptr, "AD", target), 1, 1);
    tg->addWidget(NamedLabel(nullptr, "Déc", target), 2, 1);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        fields_[i] = NamedLineEdit(fieldSpecs[i].first, target);
        fields_[i]->setFixedWidth(52);
        fields_[i]->setAlignment(Qt::AlignRight);
        fields_[i]->setToolTip(i < 3 ? "Ascension droite : heures, minutes, secondes"
                                     : "Déclinaison : degrés (avec son signe), minutes, secondes");
        const int row = i < 3 ? 1 : 2;
        const int column = 2 + 2 * static_cast<int>(i % 3);
        tg->addWidget(fields_[i], row, column);
        tg->addWidget(NamedLabel(nullptr, QString::fromUtf8(fieldSpecs[i].second), target), row, column + 1);
        connect(fields_[i], &QLineEdit::textEdited, this, [this] {
            byCoordinates_->setChecked(true);
            ShowTarget();
        });
    }
    equinox_ = new QComboBox(target);
    equinox_->setObjectName("cmbGotoEquinox");
    equinox_->addItems({"J2000", "de la date"});
    equinox_->setToolTip("J2000 : coordonnées des catalogues et des cartes ; de la date : précession faite");
    tg->addWidget(equinox_, 1, 8, 2, 1, Qt::AlignVCenter);
    tg->setColumnStretch(9, 1);
    layout->addWidget(target);

    QGroupBox* place = NamedFrame("fraGotoPlace", "Position de la cible maintenant", this);
    auto* pg = new QGridLayout(place);
    auto value = [place](const char* name) {
        QLabel* l = NamedLabel(name, "—", place);
        l->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return l;
    };
    hourAngle_ = value("lblGotoHourAngle");
    altitude_ = value("lblGotoAltitude");
    azimuth_ = value("lblGotoAzimuth");
    airMass_ = value("lblGotoAirMass");
    equatorial_ = value("lblGotoEquatorial");
    limits_ = value("lblGotoLimits");
    limits_->setWordWrap(true);
    // The hour angle and the coordinates are long: each has a row of its own.
    pg->addWidget(NamedLabel(nullptr, "Angle horaire :", place), 0, 0);
    pg->addWidget(hourAngle_, 0, 1, 1, 3);
    pg->addWidget(NamedLabel(nullptr, "Hauteur :", place), 1, 0);
    pg->addWidget(altitude_, 1, 1);
    pg->addWidget(NamedLabel(nullptr, "Azimut :", place), 1, 2);
    pg->addWidget(azimuth_, 1, 3);
    pg->addWidget(NamedLabel(nullptr, "Masse d'air :", place), 2, 0);
    pg->addWidget(airMass_, 2, 1);
    pg->addWidget(NamedLabel(nullptr, "De la date :", place), 3, 0);
    pg->addWidget(equatorial_, 3, 1, 1, 3);
    pg->addWidget(limits_, 4, 0, 1, 4);
    pg->setColumnStretch(1, 1);
    pg->setColumnStretch(3, 1);
    azimuth_->setToolTip("Compté depuis le nord, vers l'est");
    equatorial_->setToolTip("Ascension droite et déclinaison de la date (équateur et équinoxe du jour)");
    airMass_->setToolTip("Épaisseur d'atmosphère traversée : 1 au zénith");
    limits_->setToolTip("Hauteur minimale, angles horaires et déclinaisons permis (hardware.ini, section [pointing])");
    layout->addWidget(place);

    QGroupBox* progress = NamedFrame("fraGotoProgress", "Pointage", this);
    auto* rg = new QGridLayout(progress);
    state_ = NamedLabel("lblGotoState", "", progress);
    // Two lines, the state and where the go-to goes, kept from the start so nothing jumps.
    state_->setMinimumHeight(2 * state_->fontMetrics().lineSpacing());
    rg->addWidget(state_, 0, 0, 1, 3);
    rg->addWidget(NamedLabel(nullptr, "Alpha :", progress), 1, 0);
    rg->addWidget(NamedLabel(nullptr, "Delta :", progress), 2, 0);
    const char* leftNames[] = {"lblGotoAlphaLeft", "lblGotoDeltaLeft"};
    const char* speedNames[] = {"lblGotoAlphaSpeed", "lblGotoDeltaSpeed"};
    for (int a = 0; a < 2; ++a) {
        left_[a] = NamedLabel(leftNames[a], "—", progress);
        speed_[a] = NamedLabel(speedNames[a], "", progress);
        left_[a]->setToolTip("Distance qui reste à parcourir sur l'axe");
        speed_[a]->setToolTip("Vitesse de l'axe en ce moment");
        rg->addWidget(left_[a], 1 + a, 1);
        rg->addWidget(speed_[a], 1 + a, 2);
    }
    rg->addWidget(NamedLabel(nullptr, "Temps restant :", progress), 3, 0);
    timeLeft_ = NamedLabel("lblGotoTimeLeft", "—", progress);
    rg->addWidget(timeLeft_, 3, 1, 1, 2);
    result_ = NamedLabel("lblGotoResult", "", progress);
    result_->setWordWrap(true);
    rg->addWidget(result_, 4, 0, 1, 3);
    rg->setColumnStretch(1, 1);
    rg->setColumnStretch(2, 1);
    layout->addWidget(progress);

    track_ = NamedCheckBox("chkGotoTrack", "Suivre à l'arrivée", this);
    track_->setToolTip("Le suivi sidéral reprend sur la cible une fois atteinte (il reprend de toute façon s'il marchait)");
    track_->setChecked(true);
    start_ = NamedButton("cmdGotoStart", "&Pointer", this);
    start_->setToolTip("Envoie le télescope sur la cible ; Arrêt général (F12), Stop ou la raquette l'arrêtent");
    park_ = NamedButton("cmdGotoPark", "P&arquer", this);
    park_->setToolTip("Envoie le télescope à sa position de parcage");
    stop_ = NamedButton("cmdGotoStop", "A&rrêter", this);
    stop_->setToolTip("Arrête le pointage en cours");
    QPushButton* close = NamedButton("cmdGotoClose", "&Fermer", this);
    close->setToolTip("Ferme la fenêtre ; un pointage en cours est arrêté");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(track_);
    buttons->addStretch();
    for (QPushButton* b : {start_, park_, stop_, close}) {
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    connect(list_, &TargetList::targetChosen, this, [this] {
        byName_->setChecked(true);
        ShowTarget();
    });
    connect(byName_, &QRadioButton::toggled, this, [this] { ShowTarget(); });
    connect(equinox_, &QComboBox::currentIndexChanged, this, [this] {
        byCoordinates_->setChecked(true);
        ShowTarget();
    });
    connect(start_, &QPushButton::clicked, this, &GotoWindow::StartGoto);
    connect(park_, &QPushButton::clicked, this, &GotoWindow::StartPark);
    connect(stop_, &QPushButton::clicked, this, &GotoWindow::StopGoto);
    connect(close, &QPushButton::clicked, this, &GotoWindow::CloseAction);

    refresh_ = new QTimer(this);
    refresh_->setObjectName("tmrGoto");
    refresh_->setInterval(1000);
    connect(refresh_, &QTimer::timeout, this, &GotoWindow::Refresh);
    Refresh();
}

// The sky turns: what the window says of the target is read again every second while it is seen.
void GotoWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Refresh();
    refresh_->start();
}

void GotoWindow::hideEvent(QHideEvent* event) {
    refresh_->stop();
    QDialog::hideEvent(event);
}

bool GotoWindow::ReadTarget(std::string& name, double& raRad, double& decRad, std::string& problem) const {
    const double jd = JulianDateNow(core_);
    if (byName_->isChecked()) {
        const CatalogueEntry* e = list_->Chosen();
        if (e == nullptr) {
            // A name being typed is part of some names: the list offers them, it is not unknown.
            const QString text = list_->currentText().trimmed();
            const int matching = CountTargetsContaining(text.toStdString());
            if (text.isEmpty()) {
                problem = "choisissez un objet";
            } else if (matching > 0) {
                problem = "choisissez dans la liste (" + std::to_string(matching) +
                          (matching > 1 ? " noms contiennent « " : " nom contient « ") + text.toStdString() + " »)";
            } else {
                problem = "objet inconnu : " + text.toStdString();
            }
            return false;
        }
        const EquatorialOfDate p = PositionOfDate(*e, jd, core_.state().Site);
        name = e->name;
        raRad = p.raRad;
        decRad = p.decRad;
        return true;
    }
    std::array<double, 6> v{};
    const char* what[] = {"heures", "minutes", "secondes", "degrés", "minutes", "secondes"};
    const double high[] = {24, 60, 60, 90, 60, 60};
    for (std::size_t i = 0; i < v.size(); ++i) {
        const std::optional<double> n = Number(fields_[i]);
        const double low = i == 3 ? -90.0 : 0.0;
        if (!n || *n < low || *n >= high[i] + (i == 3 ? 1e-9 : 0.0)) {
            problem = std::string(i < 3 ? "ascension droite" : "déclinaison") + " : " + what[i] + " incorrectes";
            if (i == 3) {
                problem = "déclinaison : degrés incorrects (de -90 à 90)";
            }
            return false;
        }
        v[i] = *n;
    }
    const bool south = fields_[3]->text().trimmed().startsWith('-') || fields_[3]->text().trimmed().startsWith("−");
    const double raH = v[0] + v[1] / 60.0 + v[2] / 3600.0;
    const double decDeg = (std::fabs(v[3]) + v[4] / 60.0 + v[5] / 3600.0) * (south ? -1.0 : 1.0);
    if (std::fabs(decDeg) > 90.0) {
        problem = "déclinaison au-delà de 90°";
        return false;
    }
    raRad = raH * kPi / 12.0;
    decRad = D2R(decDeg);
    const bool j2000 = equinox_->currentIndex() == 0;
    if (j2000) {
        const EquatorialOfDate p = J2000ToOfDate(raRad, decRad, jd);
        raRad = p.raRad;
        decRad = p.decRad;
    }
    name = QString("AD %1 Déc %2 %3").arg(Hms(raH), Dms(decDeg), j2000 ? "J2000" : "de la date").toStdString();
    return true;
}

TargetPlace GotoWindow::PlaceOf(double raRad, double decRad) const {
    Pointing& pointing = core_.pointing();
    TargetPlace t;
    t.raRad = raRad;
    t.decRad = decRad;
    t.hourAngleH = pointing.HourAngleNow(raRad);
    const double decDeg = R2D(decRad);
    t.altitudeDeg = pointing.AltitudeDeg(t.hourAngleH, decDeg);
    double az = 0.0;
    double alt = 0.0;
    // At sidereal time = right ascension + hour angle.
    Equa2Horiz(0.0, decRad, t.hourAngleH * kPi / 12.0, core_.state().Site, az, alt);
    t.azimuthDeg = R2D(az);
    t.outside = pointing.OutsideLimits(t.hourAngleH, decDeg);
    return t;
}

void GotoWindow::ShowTarget() {
    std::string name;
    std::string problem;
    double ra = 0.0;
    double dec = 0.0;
    if (!ReadTarget(name, ra, dec, problem)) {
        for (QLabel* l : {hourAngle_, altitude_, azimuth_, airMass_, equatorial_}) {
            l->setText("—");
        }
        limits_->setText(QString::fromStdString(problem.empty() ? "" : "Cible : " + problem));
        return;
    }
    const TargetPlace t = PlaceOf(ra, dec);
    hourAngle_->setText(std::fabs(t.hourAngleH) < 0.5 / 3600.0
                            ? "0h 00m 00s (au méridien)"
                            : Hms(t.hourAngleH) + (t.hourAngleH < 0 ? " à l'est" : " à l'ouest"));
    altitude_->setText(Comma(t.altitudeDeg, 1) + "°");
    azimuth_->setText(Comma(t.azimuthDeg, 1) + "°");
    airMass_->setText(t.altitudeDeg > 0.0 ? Comma(AirMass(t.altitudeDeg), 2) : QString("sous l'horizon"));
    const double raH = ra * 12.0 / kPi;
    equatorial_->setText("AD " + Hms(raH - 24.0 * std::floor(raH / 24.0)) + ", Déc " + Dms(R2D(dec)));
    limits_->setText(t.outside.empty() ? QString("Dans les limites de pointage")
                                       : "Hors limites : " + QString::fromStdString(t.outside));
}

void GotoWindow::ShowProgress() {
    Pointing& pointing = core_.pointing();
    const GotoProgress p = pointing.Progress();
    QString state = "Télescope : " + QString::fromUtf8(MountStateText(p.state));
    if (p.active) {
        state += p.parking ? QString("\nvers la position de parcage") : "\nvers " + QString::fromStdString(p.target);
    }
    state_->setText(state);
    const double left[] = {p.haLeftDeg, p.decLeftDeg};
    const int16_t modes[] = {p.haMode, p.decMode};
    for (int a = 0; a < 2; ++a) {
        left_[a]->setText(p.active ? Dms(left[a]) : QString("—"));
        const char* mode = SpeedModeName(modes[a]);
        speed_[a]->setText(!p.active ? QString() : *mode != '\0' ? QString::fromUtf8(mode) : QString("arrêté"));
    }
    timeLeft_->setText(p.active ? Duration(p.secondsLeft) : QString("—"));
    stop_->setEnabled(p.active);
    // Once it has ended, "commencé" would tell the observer a stopped go-to still runs.
    if (!p.active && awaitingOutcome_) {
        awaitingOutcome_ = false;
        result_->setText(QString::fromStdString(pointing.Outcome()));
    }
}

void GotoWindow::Refresh() {
    ShowTarget();
    ShowProgress();
}

void GotoWindow::ShowRefusal(const std::string& what, const std::string& reason) {
    result_->setText(QString::fromStdString(what + " refusé : " + reason));
}

void GotoWindow::StartGoto() {
    std::string name;
    std::string problem;
    double ra = 0.0;
    double dec = 0.0;
    if (!ReadTarget(name, ra, dec, problem)) {
        ShowRefusal("Pointage", problem);
    } else if (const std::string refusal = core_.pointing().GoTo(ra, dec, name, track_->isChecked()); !refusal.empty()) {
        ShowRefusal("Pointage de " + name, refusal);
    } else {
        result_->setText(QString::fromStdString("Pointage de " + name + " commencé"));
        awaitingOutcome_ = true;
    }
    Refresh();
}

void GotoWindow::StartPark() {
    if (const std::string refusal = core_.pointing().Park(); !refusal.empty()) {
        ShowRefusal("Parcage", refusal);
    } else {
        result_->setText("Parcage commencé");
        awaitingOutcome_ = true;
    }
    Refresh();
}

void GotoWindow::StopGoto() {
    core_.pointing().Abort("Arrêt demandé");
    Refresh();
}

void GotoWindow::CloseAction() {
    // Nobody would see the go-to any more: it stops with its window.
    core_.pointing().Abort("fenêtre de pointage fermée");
    hide();
    if (onClosed) {
        onClosed();
    }
}

void GotoWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    CloseAction();
}

}  // namespace axo::ui
