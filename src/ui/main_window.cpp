// The main window's construction: its widgets and their layout, each control wired to the
// core. The rest of AxoWindow lives beside it: main_window_menus.cpp (menus, toolbar and the
// windows they open), main_window_lifecycle.cpp (start-up, shut-down, window state),
// main_window_paddle.cpp (the keyboard paddle) and main_window_view.cpp (the seams the core
// calls).

#include "ui/main_window.h"
#include <QToolBar>

#include "ui/stop_all.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/form_kit.h"
#include "ui/night_vision.h"
#include "ui/picture_button.h"
#include "ui/small_windows.h"
#include "ui/status_bar.h"

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

}  // namespace

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
    status_->SetPollingRunning([this] { return SystemTimerRunning(); });
    core_.pointing().SetStateObserver([this](MountState state) { MountStateChanged(state); });

    // A click on a button or an option does not take the keyboard from the paddle; Tab still
    // reaches every control, which then keeps its own keys. A click on an empty part of the
    // window gives the keyboard back to the paddle.
    for (QAbstractButton* b : central->findChildren<QAbstractButton*>()) {
        b->setFocusPolicy(Qt::TabFocus);
    }
    central->setFocusPolicy(Qt::ClickFocus);

    tmrClock_->start();
    qApp->installEventFilter(this);

    // A modal window blocks every click on this one, the stop button's too.
    blockedStop_ = std::make_unique<BlockedButtonWatch>(toolbar_->widgetForAction(findChild<QAction*>("StopAll")),
                                                        [this] { core_.RequestStopAll(); });
}

AxoWindow::~AxoWindow() {
    qApp->removeEventFilter(this);
}

QWidget* AxoWindow::BuildDisplays() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    auto triple = [this](const char* frameName, const QString& title, const char* shape, const char* a, const char* ua,
                         const char* b, const char* ub, const char* c, const char* uc) {
        QGroupBox* f = NamedFrame(frameName, title, this);
        auto* l = new QHBoxLayout(f);
        l->addWidget(KeepPlaceWhenHidden(MinusShape(shape, f)), 0, Qt::AlignVCenter);
        for (const auto& [name, unit] : {std::pair{a, ua}, std::pair{b, ub}, std::pair{c, uc}}) {
            l->addWidget(KeepPlaceWhenHidden(Digits(name, f)));
            // The unit goes and comes back with its digits (see SetVisible).
            QLabel* unitLabel = NamedLabel((std::string(name) + "Unit").c_str(), unit, f);
            l->addWidget(KeepPlaceWhenHidden(unitLabel), 0, Qt::AlignBottom);
        }
        l->addStretch();
        return f;
    };
    h->addWidget(triple("fraDisplayAlpha", "Angle Horaire", "shpAlphaMinus", "lblDisplayAlphaH", "h", "lblDisplayAlphaM",
                        "m", "lblDisplayAlphaS", "s"));
    h->addWidget(triple("fraDisplayDelta", "Déclinaison", "shpDeltaMinus", "lblDisplayDeltaD", "o", "lblDisplayDeltaM",
                        "m", "lblDisplayDeltaS", "s"));
    QGroupBox* az = NamedFrame("fraDisplayAzimut", "Azimut", this);
    auto* azl = new QGridLayout(az);
    azl->addWidget(NamedLabel("lblLegendAzimutTelescop", "Télescope", az), 0, 0);
    azl->addWidget(NamedLabel("lblLegendAzimutDome", "Coupole", az), 0, 1);
    QLabel* azT = Digits("lblAzimutTelescope", az);
    QLabel* azD = Digits("lblAzimutDome", az);
    KeepPlaceWhenHidden(azT);
    KeepPlaceWhenHidden(azD);
    azT->setMinimumWidth(QFontMetrics(azT->font()).horizontalAdvance("360°") + 6);
    azD->setMinimumWidth(azT->minimumWidth());
    azl->addWidget(azT, 1, 0);
    azl->addWidget(azD, 1, 1);
    h->addWidget(az);
    QGroupBox* time = NamedFrame("fraDisplayTime", "TU", this);
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
    QGroupBox* pad = NamedFrame("fraControl", "Raquette PC", this);
    auto* h = new QHBoxLayout(pad);

    auto* modes = new QVBoxLayout;
    auto modeFrame = [this, pad](const char* name, const QString& title,
                                 std::initializer_list<std::tuple<const char*, const char*, int16_t>> options,
                                 int16_t axis) {
        QGroupBox* f = NamedFrame(name, title, pad);
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
        QLabel* l = NamedLabel(name, text, pad);
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

void AxoWindow::AddDirectionPads(QGridLayout* g, const std::array<int, 4>& padSlots, const Caption& dir1,
                                 const Caption& dir2, QWidget* parent) {
    for (std::size_t i = 0; i < padSlots.size(); ++i) {
        g->addWidget(Pad(padSlots[i], parent), 1, static_cast<int>(i));
    }
    g->addWidget(NamedLabel(dir1.name, dir1.text, parent), 2, 0, 1, 2, Qt::AlignCenter);
    g->addWidget(NamedLabel(dir2.name, dir2.text, parent), 2, 2, 1, 2, Qt::AlignCenter);
}

QWidget* AxoWindow::BuildDome() {
    QGroupBox* dome = NamedFrame("fraDome", "Coupole", this);
    auto* g = new QGridLayout(dome);
    auto* init = NamedButton("cmdDomeInit", "Init", dome);
    auto* rest = NamedButton("cmdDomeRest", "Repos", dome);
    init->setToolTip("Initialisation : la coupole cherche sa position zéro (Arrêt général ou Stop coupole l'interrompt)");
    rest->setToolTip("Mise au repos : la coupole tourne jusqu'à sa position de repos");
    connect(init, &QPushButton::clicked, this, [this] { core_.DomeInitClicked(); });
    connect(rest, &QPushButton::clicked, this, [this] { core_.DomeRestClicked(); });
    g->addWidget(init, 0, 0, 1, 2);
    g->addWidget(rest, 0, 2, 1, 2);
    AddDirectionPads(g, {EVT_DOME_DIR1_LOCK, EVT_DOME_DIR1, EVT_DOME_DIR2, EVT_DOME_DIR2_LOCK}, {"lblDomeDir1", "Est"},
                     {"lblDomeDir2", "Ouest"}, dome);
    g->addWidget(Pad(EVT_DOME_TRACKING, dome), 3, 0, 1, 2, Qt::AlignCenter);
    g->addWidget(Pad(EVT_DOME_STOP, dome), 3, 2, 1, 2, Qt::AlignCenter);
    g->addWidget(NamedLabel("lblDomeTracking", "Suivi", dome), 4, 0, 1, 2, Qt::AlignCenter);
    g->addWidget(NamedLabel("lblDomeStop", "Stop", dome), 4, 2, 1, 2, Qt::AlignCenter);
    return dome;
}

QWidget* AxoWindow::BuildFocus() {
    QGroupBox* focus = NamedFrame("fraFocus", "Focus", this);
    auto* g = new QGridLayout(focus);
    g->addWidget(NamedButton("cmdFocusZero", "Zéro", focus), 0, 0, 1, 2);
    QLabel* value = NamedLabel("lblFocus", "2143", focus);
    value->setAlignment(Qt::AlignCenter);
    g->addWidget(value, 0, 2, 1, 2);
    AddDirectionPads(g, {EVT_FOCUS_DIR1_LOCK, EVT_FOCUS_DIR1, EVT_FOCUS_DIR2, EVT_FOCUS_DIR2_LOCK},
                     {"lblFocusDir1", "Extra"}, {"lblFocusDir2", "Intra"}, focus);
    g->addWidget(Pad(EVT_FOCUS_STOP, focus), 3, 1, 1, 2, Qt::AlignCenter);
    g->addWidget(NamedLabel("lblFocusStop", "Stop", focus), 4, 1, 1, 2, Qt::AlignCenter);
    return focus;
}

QWidget* AxoWindow::BuildFilter() {
    QGroupBox* filter = NamedFrame("fraFilter", "Filtre", this);
    auto* h = new QHBoxLayout(filter);
    auto* combo = new QComboBox(filter);
    combo->setObjectName("cmbFilterValue");
    combo->addItems({"Rouge", "Vert", "Bleu"});
    combo->setCurrentIndex(-1);
    combo->setPlaceholderText("Couleur");
    combo->setMinimumWidth(90);
    combo->setToolTip("Couleur du filtre à placer");
    auto* validate = NamedButton("cmdFilterValidate", "Valider", filter);
    validate->setToolTip("Tourne la roue jusqu'au filtre choisi ; la barre d'état le dit une fois en place");
    validate->setEnabled(false);
    connect(combo, &QComboBox::activated, this, [this] { core_.FilterListChanged(); });
    connect(validate, &QPushButton::clicked, this, [this] { core_.FilterValidateClicked(); });
    h->addWidget(combo, 1);
    h->addWidget(validate);
    return filter;
}

QWidget* AxoWindow::BuildMessages() {
    messagesFrame_ = NamedFrame("fraMessages", "Messages", this);
    auto* g = new QGridLayout(messagesFrame_);
    messages_ = new QListWidget(messagesFrame_);
    messages_->setObjectName("lstMessages");
    messages_->setMinimumHeight(96);
    // Every line is one line of text: with one size for all, selecting the newest line (each
    // paddle press adds one, before its command goes out) no longer lays out all 64 lines'
    // text, which cost a few milliseconds on the way to the motors.
    messages_->setUniformItemSizes(true);
    g->addWidget(messages_, 0, 0, 3, 1);
    auto* del = NamedButton("cmdMessagesDelete", "Effacer", messagesFrame_);
    auto* clear = NamedButton("cmdMessagesClear", "Tout effacer", messagesFrame_);
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

}  // namespace axo::ui
