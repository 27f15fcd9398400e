#include "ui/options_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "astro/mathlib.h"
#include "astro/utils.h"
#include "core/core.h"
#include "settings/options_rules.h"
#include "ui/form_kit.h"

namespace axo::ui {

namespace {

QLineEdit* Edit(const char* name, QWidget* parent, int width = 0) {
    QLineEdit* e = NamedLineEdit(name, parent);
    if (width > 0) {
        e->setFixedWidth(width);
    }
    return e;
}

int16_t ToInt16(int32_t v) {
    // Fields are not range-checked, but a value must still fit its 16-bit setting.
    return static_cast<int16_t>(std::clamp(v, -32768, 32767));
}

// Main-window captions of the eight label fields, in the order of the fields.
const char* const kCaptions[] = {"lblControlAlphaP", "lblControlAlphaM", "lblControlDeltaP", "lblControlDeltaM",
                                 "lblFocusDir1",     "lblFocusDir2",     "lblDomeDir1",      "lblDomeDir2"};
const StringKey kLabelKeys[] = {StringKey::label_alpha_plus, StringKey::label_alpha_minus, StringKey::label_delta_plus,
                                StringKey::label_delta_minus, StringKey::label_focus_dir1, StringKey::label_focus_dir2,
                                StringKey::label_dome_dir1,   StringKey::label_dome_dir2};
const IntKey kSiteKeys[] = {IntKey::longitude_d, IntKey::longitude_m, IntKey::longitude_s, IntKey::latitude_d,
                            IntKey::latitude_m,  IntKey::latitude_s,  IntKey::altitude};

}  // namespace

QCheckBox* OptionsDialog::Box(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QCheckBox(text, parent);
    b->setObjectName(name);
    boxes_.push_back(b);
    connect(b, &QCheckBox::clicked, this, [this, b] { CheckBoxAction(b); });
    return b;
}

OptionsDialog::OptionsDialog(Core& core, SystemTimer& timer, QWidget* parent)
    : QDialog(parent), core_(core), timer_(timer) {
    setObjectName("Options");
    setWindowTitle("Options");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("SSTabOptions");
    layout->addWidget(tabs_);

    // Commandes
    auto* commands = new QWidget;
    auto* cl = new QVBoxLayout(commands);
    QGroupBox* revert = NamedFrame("fraOptionsCommandsRevert", "Inversion", commands);
    auto* rl = new QVBoxLayout(revert);
    boxSetting_[Box("chkOptionsInvAlpha", "Inverser les commandes Alpha", revert)] = static_cast<int>(IntKey::reverse_alpha);
    boxSetting_[Box("chkOptionsInvDelta", "Inverser les commandes Delta", revert)] = static_cast<int>(IntKey::reverse_delta);
    boxSetting_[Box("chkOptionsInvDome", "Inverser les commandes coupole", revert)] = static_cast<int>(IntKey::reverse_dome);
    boxSetting_[Box("chkOptionsInvFocus", "Inverser les commandes focus", revert)] = static_cast<int>(IntKey::reverse_focus);
    for (int i = 0; i < 4; ++i) {
        rl->addWidget(boxes_[static_cast<std::size_t>(i)]);
    }
    cl->addWidget(revert);
    QGroupBox* track = NamedFrame("fraOptionsCommandsTrackBehavior", "Comportement Raquette PC", commands);
    auto* tl = new QVBoxLayout(track);
    tl->addWidget(Box("chkOptionsBehaviorCtrl", "Ne pas permettre les déplacements du télescope lors du suivi", track));
    QCheckBox* stopBox = Box("chkOptionsBehaviorCtrlStop",
                             "Bouton \"Stop\" de la raquette PC uniquement applicable au suivi", track);
    boxSetting_[stopBox] = static_cast<int>(IntKey::ctrl_stop_only_for_tracking);
    tl->addWidget(stopBox);
    tl->addWidget(Box("chkOptionsBehaviorCtrlTrkStop",
                      "Arrêter les déplacements du télescope lors de l'enclenchement du suivi", track));
    cl->addWidget(track);
    QGroupBox* dome = NamedFrame("fraOptionsCommandsDomeBehavior", "Comportement Coupole", commands);
    auto* dl = new QGridLayout(dome);
    QCheckBox* domeBox = Box("chkOptionsBehaviorDome", "Désactiver les déplacements de la coupole lors des suivis coupole", dome);
    boxSetting_[domeBox] = static_cast<int>(IntKey::disable_dome);
    dl->addWidget(domeBox, 0, 0, 1, 2);
    auto* restLabel = new QLabel("Azimut de la position repos de la coupole :", dome);
    restLabel->setObjectName("lblOptionsRestPos");
    dl->addWidget(restLabel, 1, 0);
    restAzimuth_ = Edit("txtOptionsDomeRestPos", dome, 60);
    dl->addWidget(restAzimuth_, 1, 1);
    cl->addWidget(dome);
    cl->addStretch();
    tabs_->addTab(commands, "&Commandes");

    // Labels
    auto* labels = new QWidget;
    auto* ll = new QVBoxLayout(labels);
    const std::tuple<const char*, const char*, std::vector<std::pair<const char*, const char*>>> groups[] = {
        {"fraOptionsControl", "Raquette",
         {{"txtOptionsAlphaP", "Alpha +"}, {"txtOptionsAlphaM", "Alpha -"}, {"txtOptionsDeltaP", "Delta +"},
          {"txtOptionsDeltaM", "Delta -"}}},
        {"fraOptionsFocus", "Focus", {{"txtOptionsFocusDir1", "Direction 1"}, {"txtOptionsFocusDir2", "Direction 2"}}},
        {"fraOptionsDome", "Coupole", {{"txtOptionsDomeDir1", "Direction 1"}, {"txtOptionsDomeDir2", "Direction 2"}}},
    };
    for (const auto& [name, title, fields] : groups) {
        QGroupBox* g = NamedFrame(name, title, labels);
        auto* gl = new QGridLayout(g);
        int row = 0;
        for (const auto& [fieldName, role] : fields) {
            gl->addWidget(new QLabel(role, g), row, 0);
            QLineEdit* e = Edit(fieldName, g, 120);
            e->setMaxLength(7);  // what the settings file keeps of a caption
            gl->addWidget(e, row, 1);
            labels_.push_back(e);
            ++row;
        }
        gl->setColumnStretch(2, 1);
        ll->addWidget(g);
    }
    ll->addStretch();
    tabs_->addTab(labels, "&Labels");

    // Affichage
    auto* display = new QWidget;
    auto* al = new QVBoxLayout(display);
    QGroupBox* msgs = NamedFrame("fraOptionsGeneralMessages", "Messages", display);
    auto* ml = new QVBoxLayout(msgs);
    QCheckBox* b1 = Box("chkOptionsErrorStop", "Les erreurs de communication interrompent le cours du programme", msgs);
    QCheckBox* b2 = Box("chkOptionsExitErrorInit", "Sortie en cas de problème de communication à l'initialisation", msgs);
    QCheckBox* b3 = Box("chkOptionsGUIinfoDisplay", "Afficher les messages d'action sur l'interface", msgs);
    boxSetting_[b1] = static_cast<int>(IntKey::error_stop);
    boxSetting_[b2] = static_cast<int>(IntKey::exit_error_init);
    boxSetting_[b3] = static_cast<int>(IntKey::gui_messages);
    for (QCheckBox* b : {b1, b2, b3}) {
        ml->addWidget(b);
    }
    al->addWidget(msgs);
    QGroupBox* ha = NamedFrame("fraOptionsHA", "Angle Horaire / Ascension Droite", display);
    auto* hl = new QVBoxLayout(ha);
    hl->addWidget(Box("chkOptionsDisplayHAngle", "Afficher les angles horaires plutôt que les ascensions droites", ha));
    hl->addWidget(Box("chkOptionsHAngle12", "Angle Horaire dans l'intervalle -12 Heures / +12 Heures", ha));
    al->addWidget(ha);
    QGroupBox* time = NamedFrame("fraOptionsTime", "Heure", display);
    auto* timel = new QVBoxLayout(time);
    timel->addWidget(
        Box("chkOptionsDisplayTU", "Afficher le Temps Sidéral plutôt que l'Heure TU dans la fenêtre principale", time));
    al->addWidget(time);
    al->addStretch();
    tabs_->addTab(display, "&Affichage");

    // Lieu
    auto* place = new QWidget;
    auto* pl = new QVBoxLayout(place);
    auto* prow = new QHBoxLayout;
    auto* predefLabel = new QLabel("Lieux pré-définis", place);
    predefLabel->setObjectName("Label1");
    predef_ = new QComboBox(place);
    predef_->setObjectName("cmbPredefLoc");
    for (const PredefinedSite& site : kPredefinedSites) {
        predef_->addItem(QString::fromUtf8(site.name));
    }
    prow->addWidget(predefLabel);
    prow->addWidget(predef_, 1);
    pl->addLayout(prow);
    auto siteGroup = [&](const char* name, const QString& title, const char* d, const char* m, const char* s,
                         const char* optName, const QString& first, const QString& second, QRadioButton*& a,
                         QRadioButton*& b) {
        QGroupBox* g = NamedFrame(name, title, place);
        auto* gl = new QHBoxLayout(g);
        for (const auto& [fieldName, unit] : {std::pair{d, "°"}, std::pair{m, "'"}, std::pair{s, "\""}}) {
            QLineEdit* e = Edit(fieldName, g, 52);
            site_.push_back(e);
            gl->addWidget(e);
            gl->addWidget(new QLabel(unit, g));
        }
        a = new QRadioButton(first, g);
        b = new QRadioButton(second, g);
        a->setObjectName(QString(optName) + "0");
        b->setObjectName(QString(optName) + "1");
        auto* group = new QButtonGroup(g);
        group->addButton(a);
        group->addButton(b);
        gl->addSpacing(12);
        gl->addWidget(a);
        gl->addWidget(b);
        gl->addStretch();
        pl->addWidget(g);
        for (QRadioButton* r : {a, b}) {
            connect(r, &QRadioButton::clicked, this, [this] { predef_->setCurrentIndex(0); });
        }
    };
    siteGroup("FraLongitude", "Longitude", "txtLonD", "txtLonM", "txtLonS", "OptLonEastWest", "Est", "Ouest", east_, west_);
    siteGroup("FraLatitude", "Latitude", "txtLatD", "txtLatM", "txtLatS", "OptLatSouthNorth", "Sud", "Nord", south_, north_);
    QGroupBox* altitude = NamedFrame("FraAltitude", "Altitude", place);
    auto* altl = new QHBoxLayout(altitude);
    QLineEdit* alt = Edit("txtAltitude", altitude, 70);
    site_.push_back(alt);
    auto* altUnit = new QLabel("mètres", altitude);
    altUnit->setObjectName("lblAltitude");
    altl->addWidget(alt);
    altl->addWidget(altUnit);
    altl->addStretch();
    pl->addWidget(altitude);
    pl->addStretch();
    tabs_->addTab(place, "L&ieu");
    for (QLineEdit* e : site_) {
        connect(e, &QLineEdit::textChanged, this, [this] {
            if (!filling_) {
                predef_->setCurrentIndex(0);
            }
        });
    }
    connect(predef_, &QComboBox::activated, this, &OptionsDialog::ChooseSite);

    // Système
    auto* system = new QWidget;
    auto* sl = new QVBoxLayout(system);
    QGroupBox* timerBox = NamedFrame("fraOptionsTimer", "Timer", system);
    auto* tml = new QHBoxLayout(timerBox);
    auto* intervalLabel = new QLabel("Intervalle d'interogation des interfaces (en ms) :", timerBox);
    intervalLabel->setObjectName("lblOptionsTimerValue");
    interval_ = Edit("txtOptionsTimerValue", timerBox, 70);
    tml->addWidget(intervalLabel);
    tml->addWidget(interval_);
    tml->addStretch();
    sl->addWidget(timerBox);
    sl->addStretch();
    tabs_->addTab(system, "&Système");

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("cmdOptionsOK");
    auto* cancel = new QPushButton("Annuler", this);
    cancel->setObjectName("cmdOptionsCancel");
    ok->setDefault(true);
    AddButtonRow(layout, {ok, cancel});
    connect(ok, &QPushButton::clicked, this, &OptionsDialog::Ok);
    connect(cancel, &QPushButton::clicked, this, &OptionsDialog::CancelAction);
    connect(tabs_, &QTabWidget::currentChanged, this, [ok] { ok->setFocus(); });

    Fill();
}

void OptionsDialog::Fill() {
    filling_ = true;
    const Settings& s = core_.settings();
    for (QCheckBox* b : boxes_) {
        const auto it = boxSetting_.find(b);
        if (it != boxSetting_.end()) {
            b->setChecked(s.Int(static_cast<IntKey>(it->second)) != 0);
        }
    }
    findChild<QCheckBox*>("chkOptionsBehaviorCtrl")->setChecked(s.Int(IntKey::disable_move_when_tracking) != 0);
    findChild<QCheckBox*>("chkOptionsBehaviorCtrlTrkStop")->setChecked(s.Int(IntKey::ctrl_stop_move_when_tracking) != 0);
    findChild<QCheckBox*>("chkOptionsHAngle12")->setChecked(s.Int(IntKey::alpha_12) == 1);
    findChild<QCheckBox*>("chkOptionsDisplayHAngle")->setChecked(s.Int(IntKey::display_hangle) == 1);
    findChild<QCheckBox*>("chkOptionsDisplayTU")->setChecked(s.Int(IntKey::display_tu) != 1);

    for (std::size_t i = 0; i < labels_.size(); ++i) {
        labels_[i]->setText(QString::fromStdString(s.Str(kLabelKeys[i])));
    }
    for (std::size_t i = 0; i < site_.size(); ++i) {
        site_[i]->setText(QString::number(s.Int(kSiteKeys[i])));
    }
    (s.Int(IntKey::longitude_east) == 1 ? east_ : west_)->setChecked(true);
    (s.Int(IntKey::latitude_south) == 1 ? south_ : north_)->setChecked(true);
    const int predef = s.Int(IntKey::predef_loc);
    predef_->setCurrentIndex(predef >= 0 && predef < predef_->count() ? predef : 0);
    interval_->setText(QString::number(s.Int(IntKey::timer_value)));
    restAzimuth_->setText(QString::number(s.Int(IntKey::dome_rest_pos)));
    filling_ = false;

    TakeSnapshot();

    if (s.Int(IntKey::disable_move_when_tracking) == 1) {
        QCheckBox* trkStop = findChild<QCheckBox*>("chkOptionsBehaviorCtrlTrkStop");
        trkStop->setChecked(true);
        trkStop->setEnabled(false);
        core_.settings().Int(IntKey::ctrl_stop_move_when_tracking) = 1;
    }
}

void OptionsDialog::TakeSnapshot() {
    for (QCheckBox* b : boxes_) {
        boxSnapshot_[b] = b->isChecked();
    }
    for (QLineEdit* e : labels_) {
        textSnapshot_[e] = e->text();
    }
    for (QLineEdit* e : site_) {
        textSnapshot_[e] = e->text();
    }
    textSnapshot_[interval_] = interval_->text();
    textSnapshot_[restAzimuth_] = restAzimuth_->text();
    eastSnapshot_ = east_->isChecked();
    southSnapshot_ = south_->isChecked();
    predefSnapshot_ = predef_->currentIndex();
}

void OptionsDialog::CheckBoxAction(QCheckBox* box) {
    Settings& s = core_.settings();
    MainView& view = core_.display().View();
    const bool on = box->isChecked();
    const QString name = box->objectName();
    if (name == "chkOptionsDisplayHAngle") {
        s.Int(IntKey::display_hangle) = on ? 1 : 0;
        view.SetText("fraDisplayAlpha", on ? "Angle horaire" : "Ascension droite");
    } else if (name == "chkOptionsDisplayTU") {
        s.Int(IntKey::display_tu) = on ? 0 : 1;
        view.SetText("fraDisplayTime", on ? "TS" : "TU");
    } else if (name == "chkOptionsBehaviorCtrl") {
        // Moves refused during tracking always come with moves stopped when tracking starts.
        QCheckBox* trkStop = findChild<QCheckBox*>("chkOptionsBehaviorCtrlTrkStop");
        if (on) {
            s.Int(IntKey::disable_move_when_tracking) = 1;
            trkStop->setChecked(true);
            trkStop->setEnabled(false);
            s.Int(IntKey::ctrl_stop_move_when_tracking) = 1;
        } else {
            s.Int(IntKey::disable_move_when_tracking) = 0;
            trkStop->setEnabled(true);
            s.Int(IntKey::ctrl_stop_move_when_tracking) = s.Int(IntKey::ctrl_stop_move_when_tracking_user);
            trkStop->setChecked(s.Int(IntKey::ctrl_stop_move_when_tracking) == 1);
        }
    } else if (name == "chkOptionsBehaviorCtrlTrkStop") {
        s.Int(IntKey::ctrl_stop_move_when_tracking) = on ? 1 : 0;
        s.Int(IntKey::ctrl_stop_move_when_tracking_user) = on ? 1 : 0;
    } else if (name == "chkOptionsHAngle12") {
        s.Int(IntKey::alpha_12) = on ? 1 : 0;
        ApplyHourAngleRangeToCalibrationTexts(s);
        if (onHourAngleRangeChanged) {
            onHourAngleRangeChanged();
        }
    } else {
        const auto it = boxSetting_.find(box);
        if (it != boxSetting_.end()) {
            s.Int(static_cast<IntKey>(it->second)) = on ? 1 : 0;
        }
    }
}

void OptionsDialog::ChooseSite(int index) {
    if (index < 0 || index >= static_cast<int>(kPredefinedSites.size()) || !kPredefinedSites[static_cast<std::size_t>(index)].hasValues) {
        return;
    }
    const PredefinedSite& site = kPredefinedSites[static_cast<std::size_t>(index)];
    (site.longitudeEast == 1 ? east_ : west_)->setChecked(true);
    (site.latitudeSouth == 1 ? south_ : north_)->setChecked(true);
    const int values[] = {site.lonD, site.lonM, site.lonS, site.latD, site.latM, site.latS, site.altitude};
    for (std::size_t i = 0; i < site_.size(); ++i) {
        site_[i]->setText(QString::number(values[i]));  // each change puts the list back on item 0
    }
    predef_->setCurrentIndex(index);
}

void OptionsDialog::ApplyTextsToSettings(bool withSite) {
    Settings& s = core_.settings();
    MainView& view = core_.display().View();
    for (std::size_t i = 0; i < labels_.size(); ++i) {
        const std::string text = labels_[i]->text().toStdString();
        s.Str(kLabelKeys[i]) = text;
        view.SetText(kCaptions[i], text);
    }
    if (withSite) {
        for (std::size_t i = 0; i < site_.size(); ++i) {
            s.Int(kSiteKeys[i]) = ToInt16(WholeNumberOf(site_[i]->text().toStdString()));
        }
        s.Int(IntKey::longitude_east) = east_->isChecked() ? 1 : 0;
        s.Int(IntKey::latitude_south) = south_->isChecked() ? 1 : 0;
        s.Int(IntKey::predef_loc) = static_cast<int16_t>(predef_->currentIndex());
    }
}

bool OptionsDialog::Refuse(const std::string& error, std::initializer_list<QLineEdit*> fields) {
    AlertBox(core_.op(), "Erreur", error, kAlertExclamation);
    filling_ = true;  // putting a value back is not typing a new site
    for (QLineEdit* f : fields) {
        f->setText(textSnapshot_[f]);
    }
    filling_ = false;
    if (firstRefused_ == nullptr) {
        firstRefused_ = *fields.begin();
    }
    return false;
}

void OptionsDialog::Ok() {
    // Every field is checked before anything is applied. A refused one says so and shows its
    // value from the opening again; the dialog stays open for the observer to correct it.
    firstRefused_ = nullptr;
    const auto text = [](const QLineEdit* e) { return e->text().toStdString(); };
    const FieldCheck interval = CheckPollingInterval(text(interval_));
    const FieldCheck rest = CheckRestAzimuth(text(restAzimuth_));
    const std::string longitude = CheckSiteAngle(text(site_[0]), text(site_[1]), text(site_[2]), 180, "la longitude");
    const std::string latitude = CheckSiteAngle(text(site_[3]), text(site_[4]), text(site_[5]), 90, "la latitude");
    const FieldCheck altitude = CheckAltitude(text(site_[6]));
    bool ok = interval.ok || Refuse(interval.error, {interval_});
    ok = (rest.ok || Refuse(rest.error, {restAzimuth_})) && ok;
    ok = (longitude.empty() || Refuse(longitude, {site_[0], site_[1], site_[2]})) && ok;
    ok = (latitude.empty() || Refuse(latitude, {site_[3], site_[4], site_[5]})) && ok;
    ok = (altitude.ok || Refuse(altitude.error, {site_[6]})) && ok;
    if (!ok) {
        for (int i = 0; i < tabs_->count(); ++i) {
            if (tabs_->widget(i)->isAncestorOf(firstRefused_)) {
                tabs_->setCurrentIndex(i);
            }
        }
        firstRefused_->setFocus();
        firstRefused_->selectAll();
        return;
    }

    hide();
    ApplyTextsToSettings(true);
    Settings& s = core_.settings();
    RuntimeState& state = core_.state();
    state.Site.longitude = Dms2R(s.Int(IntKey::longitude_east), s.Int(IntKey::longitude_d), s.Int(IntKey::longitude_m),
                                 s.Int(IntKey::longitude_s));
    state.Site.latitude = Dms2R(s.Int(IntKey::latitude_south), s.Int(IntKey::latitude_d), s.Int(IntKey::latitude_m),
                                s.Int(IntKey::latitude_s));
    s.Int(IntKey::timer_value) = interval.value;
    timer_.SetSystemTimerInterval(interval.value);
    s.Int(IntKey::dome_rest_pos) = rest.value;
    if (onSettingsChanged) {
        onSettingsChanged();
    }
    accept();
}

void OptionsDialog::CancelAction() {
    for (QCheckBox* b : boxes_) {
        if (b->isChecked() != boxSnapshot_[b]) {
            b->setChecked(boxSnapshot_[b]);
            const QString name = b->objectName();
            // Only the display boxes act again; the others' settings keep their changes.
            if (name == "chkOptionsHAngle12" || name == "chkOptionsDisplayHAngle" || name == "chkOptionsDisplayTU") {
                CheckBoxAction(b);
            }
        }
    }
    filling_ = true;
    for (auto& [edit, text] : textSnapshot_) {
        if (edit->text() != text) {
            edit->setText(text);
        }
    }
    predef_->setCurrentIndex(predefSnapshot_);
    filling_ = false;
    Settings& s = core_.settings();
    s.Int(IntKey::dome_rest_pos) = ToInt16(WholeNumberOf(restAzimuth_->text().toStdString()));
    const int16_t interval = ToInt16(WholeNumberOf(interval_->text().toStdString()));
    s.Int(IntKey::timer_value) = interval;
    timer_.SetSystemTimerInterval(interval);
    if (east_->isChecked() != eastSnapshot_) {
        (eastSnapshot_ ? east_ : west_)->setChecked(true);
    }
    if (south_->isChecked() != southSnapshot_) {
        (southSnapshot_ ? south_ : north_)->setChecked(true);
    }
    ApplyTextsToSettings(true);
    QDialog::reject();
}

}  // namespace axo::ui
