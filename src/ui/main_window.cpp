#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTextEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>

#include "ui/calibration_window.h"
#include "ui/options_dialog.h"
#include "ui/eik120_window.h"
#include "ui/pelaro_window.h"
#include "ui/serial64xx_window.h"
#include "ui/picture_button.h"
#include "ui/small_windows.h"
#include "platform/night_log.h"
#include "ui/night_log.h"
#include "ui/night_vision.h"
#include "ui/status_bar.h"
#include "ui/stop_all.h"
#include "ui/tracking_window.h"

namespace axo::ui {

namespace {

constexpr int kDebugGrowPixels = 1200 / kTwipsPerPixel;

struct SlotLook {
    const char* name;
    Picture picture;
};

// The button and picture of every event slot, 1 to 21.
const SlotLook kSlots[22] = {
    {nullptr, Picture::Play},
    {"picControlTracking", Picture::Play},   {"picControlStop", Picture::Stop},
    {"picAlphaMinus", Picture::ArrowLeft},   {"picAlphaMinusLock", Picture::LockVert},
    {"picAlphaPlus", Picture::ArrowRight},   {"picAlphaPlusLock", Picture::LockVert},
    {"picDeltaMinus", Picture::ArrowDown},   {"picDeltaMinusLock", Picture::LockHori},
    {"picDeltaPlus", Picture::ArrowUp},      {"picDeltaPlusLock", Picture::LockHori},
    {"picDomeTracking", Picture::Play},      {"picDomeStop", Picture::Stop},
    {"picDomeDir1", Picture::ArrowLeft},     {"picDomeDir1Lock", Picture::LockVert},
    {"picDomeDir2", Picture::ArrowRight},    {"picDomeDir2Lock", Picture::LockVert},
    {"picFocusStop", Picture::SmallStop},    {"picFocusDir1", Picture::ArrowUp},
    {"picFocusDir1Lock", Picture::LockHori}, {"picFocusDir2", Picture::ArrowDown},
    {"picFocusDir2Lock", Picture::LockHori},
};

// What each command-pad button does, for the observer who hovers over it.
const char* const kSlotTips[22] = {
    nullptr,
    "Suivi du télescope (Espace ou Stop pour l'arrêter)",
    "Stop : arrête le suivi (et les mouvements, selon les options) — Espace",
    "Alpha − tant que le bouton est enfoncé (flèche gauche)",
    "Verrou : Alpha − continue sans tenir le bouton ; un second clic l'arrête",
    "Alpha + tant que le bouton est enfoncé (flèche droite)",
    "Verrou : Alpha + continue sans tenir le bouton ; un second clic l'arrête",
    "Delta − tant que le bouton est enfoncé (flèche bas)",
    "Verrou : Delta − continue sans tenir le bouton ; un second clic l'arrête",
    "Delta + tant que le bouton est enfoncé (flèche haut)",
    "Verrou : Delta + continue sans tenir le bouton ; un second clic l'arrête",
    "La coupole suit le télescope",
    "Stop coupole : arrête le suivi, la rotation, l'initialisation ou la mise au repos",
    "Rotation de la coupole tant que le bouton est enfoncé",
    "Verrou : la coupole tourne sans tenir le bouton ; un second clic l'arrête",
    "Rotation de la coupole tant que le bouton est enfoncé",
    "Verrou : la coupole tourne sans tenir le bouton ; un second clic l'arrête",
    "Stop focus : arrête le mouvement du focus",
    "Focus tant que le bouton est enfoncé",
    "Verrou : le focus continue sans tenir le bouton ; un second clic l'arrête",
    "Focus tant que le bouton est enfoncé",
    "Verrou : le focus continue sans tenir le bouton ; un second clic l'arrête",
};

QLabel* Label(const char* name, const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QLabel* Digits(const char* name, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    QFont f("DejaVu Sans Mono");
    f.setPointSizeF(20);
    f.setBold(true);
    l->setFont(f);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    l->setMinimumWidth(QFontMetrics(f).horizontalAdvance("+00") + 4);
    return l;
}

QWidget* MinusShape(const char* name, QWidget* parent) {
    auto* shape = new QFrame(parent);
    shape->setObjectName(name);
    shape->setFixedSize(14, 4);
    shape->setStyleSheet("background-color: palette(window-text);");
    return shape;
}

// Hiding the position displays (manual mode, the zero-coder search) must not make the window
// jump: a hidden display keeps its place.
template <typename W>
W* KeepPlaceWhenHidden(W* w) {
    QSizePolicy policy = w->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    w->setSizePolicy(policy);
    return w;
}

QGroupBox* Frame(const char* name, const QString& title, QWidget* parent) {
    auto* g = new QGroupBox(title, parent);
    g->setObjectName(name);
    return g;
}

QPushButton* Button(const char* name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

QRect FitOnScreen(const QRect& wanted, const QRect& available) {
    const QSize size = wanted.size().boundedTo(available.size());
    const int x = std::clamp(wanted.x(), available.left(), available.left() + available.width() - size.width());
    const int y = std::clamp(wanted.y(), available.top(), available.top() + available.height() - size.height());
    return {QPoint(x, y), size};
}

AxoWindow::AxoWindow(Settings& settings, Clock& clock, Operator& op, Options options)
    : settings_(settings),
      options_(std::move(options)),
      core_(settings, CoreSeams{*this, op, *this, *this, clock}) {
    setObjectName("Axo");
    setWindowTitle(options_.simulated ? "Axo — observatoire simulé" : "Axo");

    // The polling tick: see PollingScheduler for why it is not a plain repeating timer.
    tmrSystem_ = new PollingScheduler([this] { core_.SystemTick(); }, "tmrSystem", this);
    tmrClock_ = new QTimer(this);
    tmrClock_->setObjectName("tmrClock");
    tmrClock_->setInterval(1000);
    connect(tmrClock_, &QTimer::timeout, this, [this] { core_.ClockTick(); });

    BuildMenus();
    BuildToolbar();
    ApplyNightEffects(this);

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->addWidget(BuildDisplays(), 0, 0, 1, 3);
    grid->addWidget(BuildControlPad(), 1, 0);
    auto* middle = new QVBoxLayout;
    middle->addWidget(BuildDome());
    middle->addWidget(BuildFilter());
    middle->addStretch();
    grid->addLayout(middle, 1, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(BuildFocus());
    right->addStretch();
    grid->addLayout(right, 1, 2);
    grid->addWidget(BuildMessages(), 2, 0, 1, 3);
    grid->setRowStretch(2, 1);
    setCentralWidget(central);

    cancel_ = new ui::CancelWindow(this);
    cancel_->setWindowFlag(Qt::Tool);
    status_ = new StatusBar(core_, statusBar(), options_.simulated, [this] {
        // The zero-coder search is the one long wait that runs in the cancel window.
        return cancel_->isVisible() ? cancel_->findChild<QLabel*>("lblCancelMessage")->text() : QString();
    });

    // A click on a button or an option does not take the keyboard from the paddle; Tab still
    // reaches every control, which then keeps its own keys. A click on an empty part of the
    // window gives the keyboard back to the paddle.
    for (QAbstractButton* b : central->findChildren<QAbstractButton*>()) {
        b->setFocusPolicy(Qt::TabFocus);
    }
    central->setFocusPolicy(Qt::ClickFocus);

    tmrClock_->start();
    qApp->installEventFilter(this);
}

AxoWindow::~AxoWindow() {
    qApp->removeEventFilter(this);
}

void AxoWindow::BuildMenus() {
    auto addItem = [](QMenu* menu, const char* name, const QString& text) {
        QAction* a = menu->addAction(text);
        a->setObjectName(name);
        return a;
    };
    QMenu* file = menuBar()->addMenu("&Fichier");
    file->setObjectName("FileMenu");
    QAction* open = addItem(file, "FileOpenMenuItem", "&Ouvrir...");
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(open, &QAction::triggered, this, &AxoWindow::FileOpen);
    QAction* save = addItem(file, "FileSaveAsMenuItem", "&Enregistrer sous...");
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(save, &QAction::triggered, this, &AxoWindow::FileSaveAs);
    file->addSeparator()->setObjectName("FileMenuSeparator1");
    QAction* quit = addItem(file, "FileExitMenuItem", "&Quitter");
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = menuBar()->addMenu("&Edition");
    edit->setObjectName("EditMenu");
    QAction* manual = addItem(edit, "EditManualModeMenuItem", "&Mode manuel");
    manual->setCheckable(true);
    // The core sets the check mark; a click only asks for the switch.
    connect(manual, &QAction::triggered, this, [this, manual] {
        manual->setChecked(settings_.Int(IntKey::manual_mode) == 1);
        core_.ManualModeClicked();
    });
    edit->addSeparator()->setObjectName("EditSeparator1");
    connect(addItem(edit, "EditOptionMenuItem", "&Options..."), &QAction::triggered, this, &AxoWindow::ShowOptions);
    connect(addItem(edit, "EditPasswordMenuItem", "Mot de &passe..."), &QAction::triggered, this,
            &AxoWindow::ShowPassword);

    QMenu* view = menuBar()->addMenu("&Vue");
    view->setObjectName("ViewMenu");
    connect(addItem(view, "ViewCalibrateMenuItem", "&Calibration..."), &QAction::triggered, this,
            &AxoWindow::ShowCalibration);
    connect(addItem(view, "ViewTrackMenuItem", "Fenêtre de &suivi..."), &QAction::triggered, this,
            &AxoWindow::ShowTracking);
    view->addSeparator();
    QAction* night = addItem(view, "ViewNightVisionMenuItem", "Vision &nocturne");
    night->setCheckable(true);
    night->setChecked(NightVisionOn());
    night->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    night->setShortcutContext(Qt::ApplicationShortcut);
    night->setToolTip("Toutes les fenêtres en rouge sombre sur noir, pour garder l'adaptation à l'obscurité");
    connect(night, &QAction::toggled, this, [](bool on) { SetNightVision(on); });
    QAction* logFolder = addItem(view, "ViewNightLogMenuItem", "&Journal de la nuit...");
    logFolder->setToolTip("Ouvre le dossier des journaux de nuit");
    connect(logFolder, &QAction::triggered, this, [] { OpenNightLogFolder(); });

    QMenu* config = menuBar()->addMenu("&Configuration");
    config->setObjectName("ConfigMenu");
    connect(addItem(config, "ConfigPelaroMenuItem", "Interface parallèle &Pelaro..."), &QAction::triggered, this,
            &AxoWindow::ShowPelaro);
    connect(addItem(config, "Config6420MenuItem", "Interface sér&ie 6420/6410..."), &QAction::triggered, this,
            &AxoWindow::ShowSerial64xx);
    connect(addItem(config, "ConfigEIK120MenuItem", "Interface codeurs &EIK 120..."), &QAction::triggered, this,
            &AxoWindow::ShowEik120);

    QMenu* help = menuBar()->addMenu("&?");
    help->setObjectName("HelpMenu");
    connect(addItem(help, "AboutHelpMenuItem", "&A Propos de Axo..."), &QAction::triggered, this, &AxoWindow::ShowAbout);
}

void AxoWindow::BuildToolbar() {
    toolbar_ = addToolBar("Outils");
    toolbar_->setObjectName("Toolbar1");
    toolbar_->setMovable(false);
    toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    QStyle* st = style();
    auto add = [this](const char* key, const QIcon& icon, const QString& text, const QString& tip) {
        QAction* a = toolbar_->addAction(icon, text);
        a->setObjectName(key);
        a->setToolTip(tip);
        return a;
    };
    connect(add("OpenFile", st->standardIcon(QStyle::SP_DialogOpenButton), "Ouvrir",
                "Ouverture d'un fichier de configuration"),
            &QAction::triggered, this, &AxoWindow::FileOpen);
    connect(add("SaveFile", st->standardIcon(QStyle::SP_DialogSaveButton), "Enregistrer",
                "Enregistrement d'un fichier de configuration"),
            &QAction::triggered, this, &AxoWindow::FileSaveAs);
    toolbar_->addSeparator();
    connect(add("Options", st->standardIcon(QStyle::SP_FileDialogDetailedView), "Options", "Options du programme"),
            &QAction::triggered, this, &AxoWindow::ShowOptions);
    toolbar_->addSeparator();
    calibrateButton_ = add("Calibrate", st->standardIcon(QStyle::SP_DialogApplyButton), "Calibration", "Fenêtre de calibration");
    calibrateButton_->setCheckable(true);
    connect(calibrateButton_, &QAction::triggered, this, [this] {
        if (calibration_ != nullptr && calibration_->isVisible()) {
            calibration_->CloseAction();
        } else {
            ShowCalibration();
        }
    });
    trackingButton_ = add("Tracking", st->standardIcon(QStyle::SP_ComputerIcon), "Suivi", "Fenêtre de suivi");
    trackingButton_->setCheckable(true);
    connect(trackingButton_, &QAction::triggered, this, [this] {
        if (tracking_ != nullptr && tracking_->isVisible()) {
            tracking_->CloseAction();
        } else {
            ShowTracking();
        }
    });
    toolbar_->addSeparator();
    const std::pair<const char*, const char*> configs[] = {{"ParallelPelaro", "ConfigPelaroMenuItem"},
                                                           {"Serial64xx", "Config6420MenuItem"},
                                                           {"Eik120", "ConfigEIK120MenuItem"}};
    const char* texts[] = {"Pelaro", "64xx", "EIK120"};
    const char* tips[] = {"Port parallèle Pelaro", "Interface série 64xx", "Carte Eik120"};
    for (int i = 0; i < 3; ++i) {
        QAction* a = add(configs[i].first, st->standardIcon(QStyle::SP_DriveHDIcon), texts[i], tips[i]);
        // The toolbar opens the window even when the menu item is disabled.
        const char* item = configs[i].second;
        connect(a, &QAction::triggered, this, [this, item] {
            if (auto* menuItem = findChild<QAction*>(item)) {
                const bool was = menuItem->isEnabled();
                menuItem->setEnabled(true);
                menuItem->trigger();
                menuItem->setEnabled(was);
            }
        });
    }
    // Added last so that it goes first: nothing disables it.
    AddStopAllAction(toolbar_, [this] { core_.StopEverything(); });
}

QWidget* AxoWindow::BuildDisplays() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto triple = [this](const char* frameName, const QString& title, const char* shape, const char* a, const char* ua,
                         const char* b, const char* ub, const char* c, const char* uc) {
        QGroupBox* f = Frame(frameName, title, this);
        auto* l = new QHBoxLayout(f);
        l->addWidget(KeepPlaceWhenHidden(MinusShape(shape, f)), 0, Qt::AlignVCenter);
        for (const auto& [name, unit] : {std::pair{a, ua}, std::pair{b, ub}, std::pair{c, uc}}) {
            l->addWidget(KeepPlaceWhenHidden(Digits(name, f)));
            // The unit goes and comes back with its digits (see SetVisible).
            QLabel* unitLabel = Label((std::string(name) + "Unit").c_str(), unit, f);
            l->addWidget(KeepPlaceWhenHidden(unitLabel), 0, Qt::AlignBottom);
        }
        l->addStretch();
        return f;
    };
    h->addWidget(triple("fraDisplayAlpha", "Angle Horaire", "shpAlphaMinus", "lblDisplayAlphaH", "h", "lblDisplayAlphaM",
                        "m", "lblDisplayAlphaS", "s"));
    h->addWidget(triple("fraDisplayDelta", "Déclinaison", "shpDeltaMinus", "lblDisplayDeltaD", "o", "lblDisplayDeltaM",
                        "m", "lblDisplayDeltaS", "s"));
    QGroupBox* az = Frame("fraDisplayAzimut", "Azimut", this);
    auto* azl = new QGridLayout(az);
    azl->addWidget(Label("lblLegendAzimutTelescop", "Télescope", az), 0, 0);
    azl->addWidget(Label("lblLegendAzimutDome", "Coupole", az), 0, 1);
    QLabel* azT = Digits("lblAzimutTelescope", az);
    QLabel* azD = Digits("lblAzimutDome", az);
    KeepPlaceWhenHidden(azT);
    KeepPlaceWhenHidden(azD);
    azT->setMinimumWidth(QFontMetrics(azT->font()).horizontalAdvance("360°") + 6);
    azD->setMinimumWidth(azT->minimumWidth());
    azl->addWidget(azT, 1, 0);
    azl->addWidget(azD, 1, 1);
    h->addWidget(az);
    QGroupBox* time = Frame("fraDisplayTime", "TU", this);
    auto* tl = new QHBoxLayout(time);
    QLabel* clock = Digits("lblTime", time);
    clock->setMinimumWidth(QFontMetrics(clock->font()).horizontalAdvance("00:00:00") + 6);
    tl->addWidget(clock);
    h->addWidget(time);
    return row;
}

PictureButton* AxoWindow::Pad(int slot, QWidget* parent) {
    auto* b = new PictureButton(kSlots[slot].picture, kSlots[slot].name, parent);
    b->setToolTip(kSlotTips[slot]);
    pads_[static_cast<std::size_t>(slot)] = b;
    switch (slot) {
        case EVT_TRACKING:
            connect(b, &PictureButton::mouseDown, this, [this] { core_.PressTracking(); });
            break;
        case EVT_DOME_TRACKING:
            connect(b, &PictureButton::mouseDown, this, [this] { core_.PressDomeTracking(); });
            break;
        case EVT_STOP:
        case EVT_DOME_STOP:
        case EVT_FOCUS_STOP:
            connect(b, &PictureButton::mouseDown, this, [this, slot] { core_.PressStop(slot); });
            connect(b, &PictureButton::mouseUp, this, [this, slot] { core_.ReleaseStop(slot); });
            break;
        default:
            if (IsLockSlot(slot)) {
                connect(b, &PictureButton::clicked, this, [this, slot] { core_.ClickLock(slot); });
            } else {
                connect(b, &PictureButton::mouseDown, this, [this, slot] { core_.PressDirection(slot); });
                connect(b, &PictureButton::mouseUp, this, [this, slot] { core_.ReleaseDirection(slot); });
            }
            break;
    }
    return b;
}

QWidget* AxoWindow::BuildControlPad() {
    QGroupBox* pad = Frame("fraControl", "Raquette PC", this);
    auto* h = new QHBoxLayout(pad);

    auto* modes = new QVBoxLayout;
    auto modeFrame = [this, pad](const char* name, const QString& title,
                                 std::initializer_list<std::tuple<const char*, const char*, int16_t>> options,
                                 int16_t axis) {
        QGroupBox* f = Frame(name, title, pad);
        auto* l = new QVBoxLayout(f);
        for (const auto& [optName, text, mode] : options) {
            auto* r = new QRadioButton(text, f);
            r->setObjectName(optName);
            // Only a change of option acts: clicking the mode already chosen stops nothing.
            connect(r, &QRadioButton::toggled, this, [this, axis, m = mode](bool on) {
                if (on) {
                    core_.SpeedModeClicked(axis, m);
                }
            });
            l->addWidget(r);
        }
        return f;
    };
    modes->addWidget(modeFrame("fraModeAlpha", "Alpha",
                               {{"optControlCenteringAlpha", "Centrage", SPEED_CENTERING},
                                {"optControlPointingAlpha", "Pointage", SPEED_POINTING},
                                {"optControlMovingAlpha", "Déplacement", SPEED_MOVING}},
                               CMD_ALPHA_MODE));
    modes->addWidget(modeFrame("fraModeDelta", "Delta",
                               {{"optControlMovingDelta", "Déplacement", SPEED_MOVING},
                                {"optControlPointingDelta", "Pointage", SPEED_POINTING},
                                {"optControlCenteringDelta", "Centrage", SPEED_CENTERING}},
                               CMD_DELTA_MODE));
    auto* ungear = new QCheckBox("Débrayage", pad);
    ungear->setObjectName("chkControlUnGear");
    connect(ungear, &QCheckBox::clicked, this, [this] { core_.UnGearClicked(); });
    modes->addWidget(ungear);
    modes->addStretch();
    h->addLayout(modes);

    auto* g = new QGridLayout;
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(2);
    auto caption = [pad](const char* name, const QString& text) {
        QLabel* l = Label(name, text, pad);
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    g->addWidget(Pad(EVT_DELTA_PLUS_LOCK, pad), 0, 1, Qt::AlignRight);
    g->addWidget(Pad(EVT_DELTA_PLUS, pad), 0, 2, Qt::AlignCenter);
    g->addWidget(caption("lblControlDeltaP", "Delta +"), 1, 2);
    g->addWidget(Pad(EVT_ALPHA_MINUS_LOCK, pad), 2, 0, Qt::AlignRight);
    g->addWidget(Pad(EVT_ALPHA_MINUS, pad), 2, 1, Qt::AlignCenter);
    g->addWidget(Pad(EVT_ALPHA_PLUS, pad), 2, 3, Qt::AlignCenter);
    g->addWidget(Pad(EVT_ALPHA_PLUS_LOCK, pad), 2, 4, Qt::AlignLeft);
    g->addWidget(caption("lblControlAlphaM", "Alpha -"), 3, 0, 1, 2);
    g->addWidget(caption("lblControlAlphaP", "Alpha +"), 3, 3, 1, 2);
    g->addWidget(Pad(EVT_DELTA_MINUS_LOCK, pad), 4, 1, Qt::AlignRight);
    g->addWidget(Pad(EVT_DELTA_MINUS, pad), 4, 2, Qt::AlignCenter);
    g->addWidget(caption("lblControlDeltaM", "Delta -"), 5, 2);
    h->addLayout(g);
    // Tracking and stop stand apart from the cross, where a hand finds them without looking.
    auto* side = new QGridLayout;
    side->setVerticalSpacing(2);
    side->addWidget(Pad(EVT_TRACKING, pad), 0, 0, Qt::AlignCenter);
    side->addWidget(caption("lblControlTracking", "Suivi"), 1, 0);
    side->setRowMinimumHeight(2, 16);
    side->addWidget(Pad(EVT_STOP, pad), 3, 0, Qt::AlignCenter);
    side->addWidget(caption("lblControlStop", "Stop"), 4, 0);
    side->setRowStretch(5, 1);
    h->addSpacing(12);
    h->addLayout(side);
    h->addStretch();
    return pad;
}

QWidget* AxoWindow::BuildDome() {
    QGroupBox* dome = Frame("fraDome", "Coupole", this);
    auto* g = new QGridLayout(dome);
    auto* init = Button("cmdDomeInit", "Init", dome);
    auto* rest = Button("cmdDomeRest", "Repos", dome);
    init->setToolTip("Initialisation : la coupole cherche sa position zéro (Arrêt général ou Stop coupole l'interrompt)");
    rest->setToolTip("Mise au repos : la coupole tourne jusqu'à sa position de repos");
    connect(init, &QPushButton::clicked, this, [this] { core_.DomeInitClicked(); });
    connect(rest, &QPushButton::clicked, this, [this] { core_.DomeRestClicked(); });
    g->addWidget(init, 0, 0, 1, 2);
    g->addWidget(rest, 0, 2, 1, 2);
    g->addWidget(Pad(EVT_DOME_DIR1_LOCK, dome), 1, 0);
    g->addWidget(Pad(EVT_DOME_DIR1, dome), 1, 1);
    g->addWidget(Pad(EVT_DOME_DIR2, dome), 1, 2);
    g->addWidget(Pad(EVT_DOME_DIR2_LOCK, dome), 1, 3);
    g->addWidget(Label("lblDomeDir1", "Est", dome), 2, 0, 1, 2, Qt::AlignCenter);
    g->addWidget(Label("lblDomeDir2", "Ouest", dome), 2, 2, 1, 2, Qt::AlignCenter);
    g->addWidget(Pad(EVT_DOME_TRACKING, dome), 3, 0, 1, 2, Qt::AlignCenter);
    g->addWidget(Pad(EVT_DOME_STOP, dome), 3, 2, 1, 2, Qt::AlignCenter);
    g->addWidget(Label("lblDomeTracking", "Suivi", dome), 4, 0, 1, 2, Qt::AlignCenter);
    g->addWidget(Label("lblDomeStop", "Stop", dome), 4, 2, 1, 2, Qt::AlignCenter);
    return dome;
}

QWidget* AxoWindow::BuildFocus() {
    QGroupBox* focus = Frame("fraFocus", "Focus", this);
    auto* g = new QGridLayout(focus);
    g->addWidget(Button("cmdFocusZero", "Zéro", focus), 0, 0, 1, 2);
    QLabel* value = Label("lblFocus", "2143", focus);
    value->setAlignment(Qt::AlignCenter);
    g->addWidget(value, 0, 2, 1, 2);
    g->addWidget(Pad(EVT_FOCUS_DIR1_LOCK, focus), 1, 0);
    g->addWidget(Pad(EVT_FOCUS_DIR1, focus), 1, 1);
    g->addWidget(Pad(EVT_FOCUS_DIR2, focus), 1, 2);
    g->addWidget(Pad(EVT_FOCUS_DIR2_LOCK, focus), 1, 3);
    g->addWidget(Label("lblFocusDir1", "Extra", focus), 2, 0, 1, 2, Qt::AlignCenter);
    g->addWidget(Label("lblFocusDir2", "Intra", focus), 2, 2, 1, 2, Qt::AlignCenter);
    g->addWidget(Pad(EVT_FOCUS_STOP, focus), 3, 1, 1, 2, Qt::AlignCenter);
    g->addWidget(Label("lblFocusStop", "Stop", focus), 4, 1, 1, 2, Qt::AlignCenter);
    return focus;
}

QWidget* AxoWindow::BuildFilter() {
    QGroupBox* filter = Frame("fraFilter", "Filtre", this);
    auto* h = new QHBoxLayout(filter);
    auto* combo = new QComboBox(filter);
    combo->setObjectName("cmbFilterValue");
    combo->addItems({"Rouge", "Vert", "Bleu"});
    combo->setCurrentIndex(-1);
    combo->setPlaceholderText("Couleur");
    combo->setMinimumWidth(90);
    combo->setToolTip("Couleur du filtre à placer");
    auto* validate = Button("cmdFilterValidate", "Valider", filter);
    validate->setToolTip("Tourne la roue jusqu'au filtre choisi ; la barre d'état le dit une fois en place");
    validate->setEnabled(false);
    connect(combo, &QComboBox::activated, this, [this] { core_.FilterListChanged(); });
    connect(validate, &QPushButton::clicked, this, [this] { core_.FilterValidateClicked(); });
    h->addWidget(combo, 1);
    h->addWidget(validate);
    return filter;
}

QWidget* AxoWindow::BuildMessages() {
    messagesFrame_ = Frame("fraMessages", "Messages", this);
    auto* g = new QGridLayout(messagesFrame_);
    messages_ = new QListWidget(messagesFrame_);
    messages_->setObjectName("lstMessages");
    messages_->setMinimumHeight(96);
    // Every line is one line of text: with one size for all, selecting the newest line (each
    // paddle press adds one, before its command goes out) no longer lays out all 64 lines'
    // text, which cost a few milliseconds on the way to the motors.
    messages_->setUniformItemSizes(true);
    g->addWidget(messages_, 0, 0, 3, 1);
    auto* del = Button("cmdMessagesDelete", "Effacer", messagesFrame_);
    auto* clear = Button("cmdMessagesClear", "Tout effacer", messagesFrame_);
    connect(del, &QPushButton::clicked, this, [this] { core_.DeleteMessageClicked(); });
    connect(clear, &QPushButton::clicked, this, [this] { core_.ClearMessagesClicked(); });
    g->addWidget(del, 0, 1);
    g->addWidget(clear, 1, 1);
    auto* debug = new QHBoxLayout;
    for (const char* name : {"txtEik120AlphaDebug", "txtEik120DeltaDebug"}) {
        auto* e = new QLineEdit(messagesFrame_);
        e->setObjectName(name);
        e->setReadOnly(true);
        e->setVisible(false);
        debug->addWidget(e);
    }
    g->addLayout(debug, 3, 0, 1, 2);
    g->setRowStretch(2, 1);
    g->setColumnStretch(0, 1);
    return messagesFrame_;
}

// --- start-up and shut-down ------------------------------------------------------------------

bool AxoWindow::StartUp(bool allowWelcome) {
    starting_ = true;
    const bool started = StartUpSteps(allowWelcome);
    starting_ = false;
    if (closePending_ && !endedWithoutShutdown_) {
        // The end was asked for during start-up (a signal): it runs now, on started interfaces
        // and read settings, like any other end.
        close();
        return false;
    }
    return started;
}

bool AxoWindow::StartUpSteps(bool allowWelcome) {
    calibrHiddenByMinimize_ = false;
    trackHiddenByMinimize_ = false;
    core_.state().StartupDone = false;

    loadWindow_ = new LoadWindow(this);
    loadWindow_->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();

    ScreenMetrics screen;
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        screen.screenWidth = s->size().width() * kTwipsPerPixel;
        screen.screenHeight = s->size().height() * kTwipsPerPixel;
    }
    const QSize design = sizeHint();
    screen.mainWindowWidth = design.width() * kTwipsPerPixel;
    screen.mainWindowHeight = design.height() * kTwipsPerPixel;

    const bool ok = core_.LoadAndInitialise(screen, options_.settingsFile);
    settingsLoaded_ = true;
    QApplication::restoreOverrideCursor();
    if (loadWindow_ != nullptr) {
        loadWindow_->hide();
        loadWindow_->deleteLater();
    }
    if (!ok || closePending_) {
        // Ended by the configuration, by an interface that could not start, or by a signal:
        // nothing more of the start-up runs.
        return false;
    }
    if (!core_.lastRead().ok) {
        core_.display().AddErrorMessage("!!! Lecture du fichier de configuration impossible");
        core_.display().AddErrorMessage("!!! " + core_.lastRead().error + " (valeurs par défaut)");
    }
    for (const std::string& warning : core_.lastRead().warnings) {
        core_.display().AddErrorMessage("!!! " + warning);
    }

    if (allowWelcome && settings_.Int(IntKey::display_welcome) == 1) {
        WelcomeWindow welcome(settings_, this);
        welcome_ = &welcome;
        if (!closePending_) {
            welcome.exec();
        }
        welcome_ = nullptr;
    }

    core_.state().DebugLayoutOn = false;
    core_.state().StartupDone = true;
    resize(sizeHint());
    ApplyDebugLayout();

    // A position saved on another screen, or on a larger one, must not put the window out of
    // reach: it goes onto the screen that holds the position (the primary one when none does)
    // and, on a small screen, shrinks to fit.
    const QPoint pos(settings_.Lng(LongKey::Axo_left) / kTwipsPerPixel, settings_.Lng(LongKey::Axo_top) / kTwipsPerPixel);
    QScreen* screenOfPos = QGuiApplication::screenAt(pos);
    if (screenOfPos == nullptr) {
        screenOfPos = QGuiApplication::primaryScreen();
    }
    const QRect available = screenOfPos != nullptr ? screenOfPos->availableGeometry() : QRect(pos, size());
    const QRect placed = FitOnScreen(QRect(pos, size()), available);
    resize(placed.size());
    move(placed.topLeft());
    show();
    // Once shown, the window has its frame: that too must stay on the screen.
    const QRect frame = frameGeometry();
    const QRect framed = FitOnScreen(frame, available);
    if (framed.topLeft() != frame.topLeft()) {
        move(QWidget::pos() + (framed.topLeft() - frame.topLeft()));
    }
    core_.ClockTick();

    if (settings_.Int(IntKey::calibr_display) == 1) {
        ShowCalibration();
    }
    if (settings_.Int(IntKey::track_display) == 1) {
        ShowTracking();
    }
    return true;
}

void AxoWindow::ShutDown() {
    if (shutDownDone_ || endedWithoutShutdown_) {
        return;
    }
    shutDownDone_ = true;
    tmrSystem_->SetEnabled(false);
    tmrClock_->stop();
    if (!settingsLoaded_) {
        // Ended before the settings file was read: writing now would replace the observer's
        // file with the built-in defaults.
        return;
    }
    const SettingsFileResult saved = core_.Shutdown(this, options_.settingsFile);
    if (!saved.ok) {
        if (endingOnSignal_) {
            // Nobody may be there to answer a box: say it where a session log keeps it.
            core_.display().AddErrorMessage("!!! La configuration n'a pas pu être enregistrée");
            core_.display().AddErrorMessage("!!! " + saved.error);
            std::fprintf(stderr, "axo : La configuration n'a pas pu être enregistrée : %s\n", saved.error.c_str());
        } else {
            core_.op().ShowMessage("Erreur", "La configuration n'a pas pu être enregistrée :\n" + saved.error,
                                   MessageIcon::Exclamation, MessageButtons::Ok);
        }
    }
}

void AxoWindow::SetNightLog(NightLog* log) {
    nightLog_ = log;
    if (log == nullptr) {
        core_.SetCommandLog(nullptr);
        return;
    }
    core_.SetCommandLog([this](int16_t code, int16_t arg) {
        LogLine("Commande " + std::to_string(code) + " (" + std::to_string(arg) + ")");
    });
}

void AxoWindow::LogLine(const std::string& text) {
    if (nightLog_ != nullptr) {
        nightLog_->Write(core_.clock().Now(), text);
    }
}

void AxoWindow::SaveSettingsNow() {
    // Not before the file has been read (it would be replaced by the defaults), nor once the
    // shut-down has written it.
    if (!settingsLoaded_ || shutDownDone_ || endedWithoutShutdown_) {
        return;
    }
    const SettingsFileResult saved = settings_.WriteSettings(options_.settingsFile, this);
    if (!saved.ok) {
        core_.display().AddErrorMessage("!!! La configuration n'a pas pu être enregistrée");
        core_.display().AddErrorMessage("!!! " + saved.error);
    }
}

void AxoWindow::EndOnSignal() {
    endingOnSignal_ = true;
    if (starting_) {
        closePending_ = true;  // the start-up stops at its next step and then closes
        if (welcome_ != nullptr) {
            welcome_->reject();
        }
        return;
    }
    // Closed from the event loop rather than from here: the signal may have arrived inside a
    // box opened in the middle of a polling tick, which must finish before the shut-down.
    QTimer::singleShot(0, this, [this] { close(); });
}

void AxoWindow::closeEvent(QCloseEvent* event) {
    if (starting_) {
        // Not cancelled, only put off until start-up has read the settings and started the
        // interfaces, so that the shut-down stops and saves what is really there.
        closePending_ = true;
        if (welcome_ != nullptr) {
            welcome_->reject();
        }
        event->ignore();
        return;
    }
    // A zero-coder search waits in its own event loop: cancel it, so that it unwinds once the
    // shut-down below has run instead of waiting for a report that can no longer come.
    if (cancel_ != nullptr && cancel_->isVisible()) {
        cancel_->reject();
    }
    // Closing is never cancelled: whatever ends the program stops the moves and saves first.
    ShutDown();
    if (tracking_ != nullptr) {
        tracking_->hide();
    }
    if (calibration_ != nullptr) {
        calibration_->hide();
    }
    event->accept();
    QCoreApplication::quit();
}

void AxoWindow::EndProgramNow() {
    endedWithoutShutdown_ = true;
    tmrSystem_->SetEnabled(false);
    hide();
    QCoreApplication::exit(1);
}

void AxoWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        // A key held when the window loses the keyboard would never see its release.
        ReleasePaddleKeys();
    }
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    if (isMinimized()) {
        if (calibration_ != nullptr && calibration_->isVisible()) {
            calibration_->hide();
            calibrHiddenByMinimize_ = true;
        }
        if (tracking_ != nullptr && tracking_->isVisible()) {
            tracking_->hide();
            trackHiddenByMinimize_ = true;
        }
    } else {
        if (calibrHiddenByMinimize_ && calibration_ != nullptr) {
            calibration_->show();
        }
        if (trackHiddenByMinimize_ && tracking_ != nullptr) {
            tracking_->show();
        }
        calibrHiddenByMinimize_ = false;
        trackHiddenByMinimize_ = false;
    }
}

void AxoWindow::ApplyDebugLayout() {
    RuntimeState& state = core_.state();
    const bool debug = settings_.Int(IntKey::S64xx_debug) == 1 || settings_.Int(IntKey::Eik120_debug) == 1;
    if (debug && !state.DebugLayoutOn) {
        state.DebugLayoutOn = true;
        messages_->setMinimumHeight(messages_->minimumHeight() + kDebugGrowPixels);
        resize(width(), height() + kDebugGrowPixels);
    } else if (!debug && state.DebugLayoutOn) {
        state.DebugLayoutOn = false;
        messages_->setMinimumHeight(messages_->minimumHeight() - kDebugGrowPixels);
        // The window's minimum size must drop before it can shrink: let the layouts recompute.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        resize(width(), height() - kDebugGrowPixels);
    }
    update();
    const bool eik = settings_.Int(IntKey::Eik120_debug) == 1;
    findChild<QLineEdit*>("txtEik120DeltaDebug")->setVisible(eik);
    findChild<QLineEdit*>("txtEik120AlphaDebug")->setVisible(eik);
}

// --- menus -------------------------------------------------------------------------------------

void AxoWindow::FileOpen() {
    const QString path = QFileDialog::getOpenFileName(this, "Ouvrir", QString(),
                                                      "Fichiers d'initialisation (*.ini);;Tous les fichiers (*.*)");
    if (!path.isEmpty()) {
        OpenSettings(path);
    }
}

void AxoWindow::OpenSettings(const QString& path) {
    const SettingsFileResult read = core_.OpenSettingsFile(path.toStdString());
    if (!read.ok) {
        core_.display().AddErrorMessage("!!! Lecture du fichier de configuration impossible");
        core_.display().AddErrorMessage("!!! " + read.error);
    }
    for (const std::string& warning : read.warnings) {
        core_.display().AddErrorMessage("!!! " + warning);
    }
    if (read.ok) {
        core_.display().AddErrorMessage("Configuration lue : " + path.toStdString());
        ShowFileInTitle(path);
    }
    update();
}

void AxoWindow::FileSaveAs() {
    const QString path = QFileDialog::getSaveFileName(this, "Enregistrer sous", QString(),
                                                      "Fichier d'initialisation (*.ini);;Tous les fichiers (*.*)");
    if (!path.isEmpty()) {
        SaveSettingsAs(path);
    }
}

void AxoWindow::SaveSettingsAs(const QString& path) {
    const SettingsFileResult saved = settings_.WriteSettings(path.toStdString(), this);
    if (!saved.ok) {
        core_.op().ShowMessage("Erreur", "La configuration n'a pas pu être enregistrée :\n" + saved.error,
                               MessageIcon::Exclamation, MessageButtons::Ok);
    }
    for (const std::string& warning : saved.warnings) {
        core_.display().AddErrorMessage("!!! " + warning);
    }
    if (saved.ok) {
        core_.display().AddErrorMessage("Configuration enregistrée : " + path.toStdString());
        ShowFileInTitle(path);
    }
}

void AxoWindow::ShowFileInTitle(const QString& path) {
    QString title = "Axo — " + QFileInfo(path).fileName();
    if (options_.simulated) {
        title += " — observatoire simulé";
    }
    setWindowTitle(title);
}

void AxoWindow::ShowCalibration() {
    if (calibration_ == nullptr) {
        calibration_ = new ui::CalibrationWindow(core_, this);
        calibration_->setWindowFlag(Qt::Tool);
        calibration_->onClosed = [this] { CalibrationClosed(); };
        calibration_->onSettingsChanged = [this] { SaveSettingsNow(); };
    }
    calibration_->move(settings_.Lng(LongKey::Calibr_left) / kTwipsPerPixel,
                       settings_.Lng(LongKey::Calibr_top) / kTwipsPerPixel);
    calibration_->show();
    calibrateButton_->setChecked(true);
    settings_.Int(IntKey::calibr_display) = 1;
}

void AxoWindow::CalibrationClosed() {
    calibrateButton_->setChecked(false);
}

void AxoWindow::ShowTracking() {
    if (tracking_ == nullptr) {
        tracking_ = new ui::TrackingWindow(this);
        tracking_->setWindowFlag(Qt::Tool);
        tracking_->onClosed = [this] { TrackingClosed(); };
    }
    tracking_->move(settings_.Lng(LongKey::Track_left) / kTwipsPerPixel, settings_.Lng(LongKey::Track_top) / kTwipsPerPixel);
    tracking_->show();
    trackingButton_->setChecked(true);
    settings_.Int(IntKey::track_display) = 1;
}

void AxoWindow::TrackingClosed() {
    trackingButton_->setChecked(false);
    settings_.Int(IntKey::track_display) = 0;
}

std::unique_ptr<OptionsDialog> AxoWindow::MakeOptionsDialog() {
    auto dialog = std::make_unique<OptionsDialog>(core_, *this, this);
    dialog->onSettingsChanged = [this] { SaveSettingsNow(); };
    dialog->onHourAngleRangeChanged = [this] {
        if (calibration_ != nullptr && calibration_->isVisible()) {
            calibration_->ReloadAlphaFields();
        }
    };
    return dialog;
}

void AxoWindow::ShowOptions() {
    MakeOptionsDialog()->exec();
}

void AxoWindow::ShowPassword() {
    // The same window each time: it keeps the text typed before, selected on focus.
    if (password_ == nullptr) {
        password_ = new PasswordWindow(core_.state(), core_.op(), this);
    }
    password_->exec();
}

void AxoWindow::ShowAbout() {
    AboutWindow about(this);
    about.exec();
}

void AxoWindow::ShowPelaro() {
    if (pelaro_ == nullptr) {
        pelaro_ = new PelaroWindow(core_, this);
        pelaro_->setWindowFlag(Qt::Tool);
        pelaro_->onSettingsChanged = [this] { SaveSettingsNow(); };
    }
    pelaro_->show();
    pelaro_->raise();
    pelaro_->Activate();
}

void AxoWindow::ShowSerial64xx() {
    if (serial64xx_ == nullptr) {
        serial64xx_ = new Serial64xxWindow(core_, s64xxDriver_, [this] { ApplyDebugLayout(); }, this);
        serial64xx_->onSettingsChanged = [this] { SaveSettingsNow(); };
    }
    serial64xx_->show();
    serial64xx_->raise();
}

void AxoWindow::ShowEik120() {
    Eik120Window window(core_, eik_, [this] { ApplyDebugLayout(); }, this);
    window.onSettingsChanged = [this] { SaveSettingsNow(); };
    window.exec();
}

void AxoWindow::ShowProgress(const std::string& text) {
    if (loadWindow_ != nullptr) {
        loadWindow_->SetProgress(QString::fromStdString(text));
    }
}

CancelWindow* AxoWindow::cancelWindow() {
    return cancel_;
}

// --- keyboard paddle -----------------------------------------------------------------------------

namespace {

bool IsArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

// Whether a control does something with this key itself. The keyboard paddle never takes a
// key from such a control: Space presses a focused button or ticks a focused box, the arrows
// move between option buttons, in lists and combos, and text fields take every key.
bool ControlUsesKey(const QWidget* w, int key) {
    if (w == nullptr || qobject_cast<const PictureButton*>(w) != nullptr) {
        return false;
    }
    const bool text = qobject_cast<const QLineEdit*>(w) != nullptr || qobject_cast<const QTextEdit*>(w) != nullptr ||
                      qobject_cast<const QPlainTextEdit*>(w) != nullptr ||
                      qobject_cast<const QAbstractSpinBox*>(w) != nullptr;
    const bool navigates = qobject_cast<const QComboBox*>(w) != nullptr ||
                           qobject_cast<const QAbstractItemView*>(w) != nullptr ||
                           qobject_cast<const QAbstractSlider*>(w) != nullptr || qobject_cast<const QTabBar*>(w) != nullptr;
    if (text || navigates) {
        return true;
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(w)) {
        // Every button uses Space; option buttons also move the choice with the arrows.
        return key == Qt::Key_Space || (IsArrow(key) && button->autoExclusive());
    }
    return false;
}

}  // namespace

bool AxoWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool press = event->type() == QEvent::KeyPress;
        if (!press && !key->isAutoRepeat() && heldKeys_.contains(key->key())) {
            // The release ends the move wherever it lands (a box may have opened meanwhile).
            HandlePaddleKey(key, false);
            return true;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!press || widget == nullptr || widget->window() != this) {
            return QMainWindow::eventFilter(watched, event);
        }
        // A key that a control did not take travels up to its parents, and this filter sees it
        // again there: the decision made for the control stands.
        if (event == declinedKey_ && key->timestamp() == declinedKeyTime_ && declinedBy_ != nullptr &&
            widget != declinedBy_ && widget->isAncestorOf(declinedBy_)) {
            return QMainWindow::eventFilter(watched, event);
        }
        if (key->key() == Qt::Key_Escape && widget != centralWidget() && widget != this) {
            // Escape hands the keyboard back to the paddle.
            centralWidget()->setFocus(Qt::OtherFocusReason);
            return true;
        }
        if (ControlUsesKey(widget, key->key())) {
            declinedKey_ = event;
            declinedKeyTime_ = key->timestamp();
            declinedBy_ = widget;
            return QMainWindow::eventFilter(watched, event);
        }
        if (HandlePaddleKey(key, true)) {
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void AxoWindow::ReleasePaddleKeys() {
    const QSet<int> held = heldKeys_;
    for (int k : held) {
        QKeyEvent release(QEvent::KeyRelease, k, Qt::NoModifier);
        HandlePaddleKey(&release, false);
    }
}

bool AxoWindow::HandlePaddleKey(QKeyEvent* key, bool press) {
    int slot = 0;
    switch (key->key()) {
        case Qt::Key_Left:
            slot = EVT_ALPHA_MINUS;
            break;
        case Qt::Key_Right:
            slot = EVT_ALPHA_PLUS;
            break;
        case Qt::Key_Down:
            slot = EVT_DELTA_MINUS;
            break;
        case Qt::Key_Up:
            slot = EVT_DELTA_PLUS;
            break;
        case Qt::Key_Space:
            slot = EVT_STOP;
            break;
        default:
            return false;
    }
    if (key->isAutoRepeat()) {
        return true;  // holding a key is one press, like holding the button
    }
    if (press) {
        // The keys act only where the mouse could: on an enabled button.
        if (heldKeys_.contains(key->key()) || !pads_[static_cast<std::size_t>(slot)]->isEnabled()) {
            return true;
        }
        heldKeys_.insert(key->key());
    } else if (!heldKeys_.remove(key->key())) {
        return true;
    }
    if (slot == EVT_STOP) {
        press ? core_.PressStop(EVT_STOP) : core_.ReleaseStop(EVT_STOP);
    } else {
        press ? core_.PressDirection(slot) : core_.ReleaseDirection(slot);
    }
    return true;
}

// --- MainView ------------------------------------------------------------------------------------

QObject* AxoWindow::Find(std::string_view name) const {
    const std::string key(name);
    const auto it = lookup_.find(key);
    if (it != lookup_.end()) {
        return it->second;
    }
    const QString qname = QString::fromStdString(key);
    QObject* found = findChild<QObject*>(qname);
    if (found == nullptr && tracking_ != nullptr) {
        found = tracking_->findChild<QObject*>(qname);
    }
    if (found != nullptr) {
        lookup_[key] = found;
    }
    return found;
}

void AxoWindow::ShowButtonPicture(int slot, bool on) {
    if (slot >= 1 && slot <= kEventSlotCount && pads_[static_cast<std::size_t>(slot)] != nullptr) {
        pads_[static_cast<std::size_t>(slot)]->setOn(on);
    }
}

void AxoWindow::SetEnabled(std::string_view control, bool enabled) {
    QObject* o = Find(control);
    if (auto* menu = qobject_cast<QMenu*>(o)) {
        menu->menuAction()->setEnabled(enabled);
    } else if (auto* w = qobject_cast<QWidget*>(o)) {
        w->setEnabled(enabled);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setEnabled(enabled);
    }
}

void AxoWindow::SetVisible(std::string_view control, bool visible) {
    if (auto* w = qobject_cast<QWidget*>(Find(control))) {
        w->setVisible(visible);
    }
    if (control.rfind("lblDisplay", 0) == 0) {
        if (auto* unit = qobject_cast<QWidget*>(Find(std::string(control) + "Unit"))) {
            unit->setVisible(visible);
        }
    }
}

bool AxoWindow::IsVisible(std::string_view control) const {
    auto* w = qobject_cast<QWidget*>(Find(control));
    return w != nullptr && !w->isHidden();
}

std::string AxoWindow::Text(std::string_view control) const {
    QObject* o = Find(control);
    QString text;
    if (auto* l = qobject_cast<QLabel*>(o)) {
        text = l->text();
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        text = g->title();
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        text = b->text();
    } else if (auto* c = qobject_cast<QComboBox*>(o)) {
        text = c->currentText();
    } else if (auto* e = qobject_cast<QLineEdit*>(o)) {
        text = e->text();
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        text = a->text();
    }
    return text.toStdString();
}

void AxoWindow::SetText(std::string_view control, const std::string& value) {
    QObject* o = Find(control);
    const QString text = QString::fromStdString(value);
    if (auto* l = qobject_cast<QLabel*>(o)) {
        l->setText(text);
    } else if (auto* g = qobject_cast<QGroupBox*>(o)) {
        g->setTitle(text);
    } else if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        b->setText(text);
    } else if (auto* e = qobject_cast<QLineEdit*>(o)) {
        e->setText(text);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setText(text);
    }
}

bool AxoWindow::IsChecked(std::string_view control) const {
    QObject* o = Find(control);
    if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        return b->isChecked();
    }
    if (auto* a = qobject_cast<QAction*>(o)) {
        return a->isChecked();
    }
    return false;
}

void AxoWindow::SetChecked(std::string_view control, bool checked) {
    QObject* o = Find(control);
    if (auto* b = qobject_cast<QAbstractButton*>(o)) {
        const QSignalBlocker quiet(b);  // the click action, if any, is the caller's to run
        b->setChecked(checked);
    } else if (auto* a = qobject_cast<QAction*>(o)) {
        a->setChecked(checked);
    }
}

bool AxoWindow::IsTrackingWindowVisible() const {
    return tracking_ != nullptr && tracking_->isVisible();
}

bool AxoWindow::IsCalibrationWindowVisible() const {
    return calibration_ != nullptr && calibration_->isVisible();
}

int AxoWindow::MessageCount() const {
    return messages_->count();
}

std::string AxoWindow::MessageAt(int index) const {
    const QListWidgetItem* item = messages_->item(index);
    return item != nullptr ? item->text().toStdString() : std::string();
}

void AxoWindow::AppendMessage(const std::string& text) {
    messages_->addItem(QString::fromStdString(text));
    LogLine(text);
}

void AxoWindow::RemoveMessage(int index) {
    delete messages_->takeItem(index);
}

void AxoWindow::ClearMessages() {
    messages_->clear();
}

int AxoWindow::SelectedMessage() const {
    const QList<QListWidgetItem*> selected = messages_->selectedItems();
    return selected.isEmpty() ? -1 : messages_->row(selected.first());
}

void AxoWindow::SelectMessage(int index) {
    messages_->setCurrentRow(index);
    if (QListWidgetItem* item = messages_->item(index)) {
        messages_->scrollToItem(item);
    }
}

// --- SystemTimer ---------------------------------------------------------------------------------

void AxoWindow::SetSystemTimerInterval(int milliseconds) {
    tmrSystem_->SetInterval(milliseconds);  // 0: the polling never ticks
}

void AxoWindow::SetSystemTimerEnabled(bool enabled) {
    // After the shut-down nothing polls the interfaces again, whoever asks.
    tmrSystem_->SetEnabled(enabled && !shutDownDone_);
}

// --- WindowPositionSource ------------------------------------------------------------------------

std::optional<WindowPosition> AxoWindow::MainWindowPosition() {
    return WindowPosition{y() * kTwipsPerPixel, x() * kTwipsPerPixel};
}

std::optional<WindowPosition> AxoWindow::CalibrationWindowPosition() {
    if (calibration_ == nullptr || !calibration_->isVisible()) {
        return std::nullopt;
    }
    return WindowPosition{calibration_->y() * kTwipsPerPixel, calibration_->x() * kTwipsPerPixel};
}

std::optional<WindowPosition> AxoWindow::TrackingWindowPosition() {
    if (tracking_ == nullptr || !tracking_->isVisible()) {
        return std::nullopt;
    }
    return WindowPosition{tracking_->y() * kTwipsPerPixel, tracking_->x() * kTwipsPerPixel};
}

}  // namespace axo::ui
