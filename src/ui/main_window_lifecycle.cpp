// The main window's life: start-up, shut-down and every way the program ends, the night log,
// and what follows the window when it is minimised.

#include "ui/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "platform/night_log.h"
#include "ui/calibration_window.h"
#include "ui/night_log.h"
#include "ui/small_windows.h"
#include "ui/tracking_window.h"

namespace axo::ui {

QRect FitOnScreen(const QRect& wanted, const QRect& available) {
    const QSize size = wanted.size().boundedTo(available.size());
    const int x = std::clamp(wanted.x(), available.left(), available.left() + available.width() - size.width());
    const int y = std::clamp(wanted.y(), available.top(), available.top() + available.height() - size.height());
    return {QPoint(x, y), size};
}

QRect ClearOfThePad(const QRect& wanted, const QRect& pad, const QRect& main, const QRect& available) {
    const QRect where = FitOnScreen(wanted, available);
    if (!where.intersects(pad)) {
        return where;
    }
    const QSize size = wanted.size();
    for (const QPoint corner : {QPoint(main.right() + 1, main.top()), QPoint(main.left() - size.width(), main.top()),
                                QPoint(pad.left(), pad.bottom() + 1), QPoint(pad.right() + 1, pad.top())}) {
        const QRect candidate(corner, size);
        if (available.contains(candidate) && !candidate.intersects(pad)) {
            return candidate;
        }
    }
    return where;
}

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
    // The position kept is the inside of the window, below its title bar, and it is given back
    // as such: placing the frame there instead would raise the window by its title bar at
    // every start under a window manager that adds one.
    setGeometry(placed);
    show();
    // The keyboard paddle is live at once: the first control in the tab order (a speed option)
    // would otherwise take the arrows.
    centralWidget()->setFocus(Qt::OtherFocusReason);
    activateWindow();
    // Once shown, the window has its frame: that too must stay on the screen, title bar
    // included. A window manager adds the frame a moment after the window is shown, so it is
    // checked again then.
    auto fitFrame = [this, available] {
        const QRect frame = frameGeometry();
        const QSize excess = frame.size() - available.size();
        if (excess.width() > 0 || excess.height() > 0) {
            resize(width() - std::max(0, excess.width()), height() - std::max(0, excess.height()));
        }
        const QRect now = frameGeometry();
        const QRect framed = FitOnScreen(now, available);
        if (framed.topLeft() != now.topLeft()) {
            move(QWidget::pos() + (framed.topLeft() - now.topLeft()));
        }
    };
    fitFrame();
    QTimer::singleShot(300, this, fitFrame);
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
    SettingsFileResult saved = core_.Shutdown(this, options_.settingsFile, writeWithoutSection_);
    if (!saved.ok && saved.sectionMissing && !endingOnSignal_ && MayWriteWithoutSection()) {
        saved = settings_.WriteSettings(options_.settingsFile, this, true);
    }
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
    // What the log follows besides the core's commands hangs on this object: a second call
    // replaces it rather than logging twice.
    delete findChild<QObject*>("nightLogHooks", Qt::FindDirectChildrenOnly);
    if (log == nullptr) {
        core_.SetCommandLog(nullptr);
        return;
    }
    core_.SetCommandLog([this](int16_t code, int16_t arg) {
        std::string text = CommandLogText(code, arg, code == CMD_FILTER ? Text("cmbFilterValue") : std::string());
        // Where a move or tracking ended is where the telescope was left: the morning's question.
        if (arg == kStop && code >= CMD_TRACKING && code <= CMD_ALPHA_MINUS) {
            text += " à " + PositionLogText(core_);
        }
        LogLine(text);
    });
    auto* hooks = new QObject(this);
    hooks->setObjectName("nightLogHooks");
    if (auto* ungear = findChild<QAbstractButton*>("chkControlUnGear")) {
        // After the window's own handler: the setting already holds the new state.
        connect(ungear, &QAbstractButton::clicked, hooks, [this] {
            LogLine(settings_.Int(IntKey::ungear) == 1 ? "Débrayage : marche" : "Débrayage : arrêt");
        });
    }
}

void AxoWindow::LogLine(const std::string& text) {
    if (nightLog_ != nullptr) {
        nightLog_->Write(core_.clock().Now(), text);
    }
}

bool AxoWindow::MayWriteWithoutSection() {
    // Asked once: the file holds something else than a configuration (or a damaged one), and
    // only the observer can tell whether it may be written into.
    if (!askedWithoutSection_) {
        askedWithoutSection_ = true;
        writeWithoutSection_ =
            core_.op().ShowMessage("Fichier de configuration",
                                   "Le fichier " + options_.settingsFile +
                                       " ne contient pas de section [Axo] lisible (fichier endommagé ?).\n"
                                       "Y enregistrer la configuration actuelle ? Le reste de son contenu est conservé.",
                                   MessageIcon::Question, MessageButtons::OkCancel) == MessageAnswer::Ok;
    }
    return writeWithoutSection_;
}

void AxoWindow::SaveSettingsNow() {
    // Not before the file has been read (it would be replaced by the defaults), nor once the
    // shut-down has written it.
    if (!settingsLoaded_ || shutDownDone_ || endedWithoutShutdown_) {
        return;
    }
    SettingsFileResult saved = settings_.WriteSettings(options_.settingsFile, this, writeWithoutSection_);
    if (!saved.ok && saved.sectionMissing && MayWriteWithoutSection()) {
        saved = settings_.WriteSettings(options_.settingsFile, this, true);
    }
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

}  // namespace axo::ui
