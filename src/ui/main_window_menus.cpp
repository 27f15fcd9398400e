// The main window's menus and toolbar, and the windows they open.

#include "ui/main_window.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <filesystem>

#include "platform/profile_file.h"
#include "ui/calibration_window.h"
#include "ui/eik120_window.h"
#include "ui/goto_window.h"
#include "ui/night_log.h"
#include "ui/night_vision.h"
#include "ui/options_dialog.h"
#include "ui/pelaro_window.h"
#include "ui/serial64xx_window.h"
#include "ui/small_windows.h"
#include "ui/status_bar.h"
#include "ui/stop_all.h"
#include "ui/tracking_window.h"

namespace axo::ui {

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
    QAction* gotoItem = addItem(view, "ViewGotoMenuItem", "&Pointer un objet...");
    gotoItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    gotoItem->setShortcutContext(Qt::ApplicationShortcut);
    gotoItem->setToolTip("Envoie le télescope sur une étoile, un objet de Messier, une planète ou des coordonnées");
    connect(gotoItem, &QAction::triggered, this, &AxoWindow::ShowGoto);
    view->addSeparator();
    QAction* night = addItem(view, "ViewNightVisionMenuItem", "Vision &nocturne");
    night->setCheckable(true);
    night->setChecked(NightVisionOn());
    night->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    night->setShortcutContext(Qt::ApplicationShortcut);
    night->setToolTip("Toutes les fenêtres en rouge sombre sur noir, pour garder l'adaptation à l'obscurité");
    connect(night, &QAction::toggled, this, [](bool on) { SetNightVision(on); });
    QAction* nightLog = addItem(view, "ViewNightLogMenuItem", "&Journal de la nuit...");
    nightLog->setToolTip("Le journal de cette nuit, suivi à mesure qu'il s'écrit");
    connect(nightLog, &QAction::triggered, this, [this] {
        ShowNightLogWindow(this, [this] { return TonightsLogFile(nightLog_, core_.clock().Now()); });
    });

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
    gotoButton_ = add("Goto", st->standardIcon(QStyle::SP_ArrowForward), "Pointer", "Pointer un objet (Ctrl+G)");
    gotoButton_->setCheckable(true);
    connect(gotoButton_, &QAction::triggered, this, [this] {
        if (goto_ != nullptr && goto_->isVisible()) {
            goto_->CloseAction();
        } else {
            ShowGoto();
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
    QAction* stopAll = AddStopAllAction(toolbar_, [this] {
        if (!stopWatch_->AlreadyActedOn()) {
            core_.RequestStopAll();
        }
    });
    stopWatch_ = std::make_unique<StopAllWatcher>(X11Probe::Open(), toolbar_->widgetForAction(stopAll));
    AlsoEndWaitsWhen(nullptr);
}

void AxoWindow::AlsoEndWaitsWhen(std::function<bool()> reason) {
    core_.SetStopWatcher([this, reason = std::move(reason)] { return stopWatch_->Poll() || (reason && reason()); });
}

// The settings files live in the settings folder: the file dialogs open there.
static QString SettingsFolder() {
    const std::filesystem::path dir = ProfileDirectory();
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);  // else the dialog starts wherever it likes
    return QString::fromStdString(dir.string());
}

// The toolkit's own dialog (when the desktop offers none) cuts its size, type and date
// columns: they take the width of what they show, the name the rest.
static void GiveRoom(QFileDialog& dialog) {
    dialog.resize(dialog.size().expandedTo(QSize(720, 420)));
    if (auto* details = dialog.findChild<QTreeView*>("treeView")) {
        details->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
        details->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    }
}

void AxoWindow::FileOpen() {
    QFileDialog dialog(this, "Ouvrir", SettingsFolder(), "Fichiers d'initialisation (*.ini);;Tous les fichiers (*.*)");
    dialog.setObjectName("dlgFileOpen");
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    GiveRoom(dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        OpenSettings(dialog.selectedFiles().first());
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
        // From now on the settings are this file's: every later save goes to it.
        options_.settingsFile = path.toStdString();
        ShowFileInTitle(path);
    }
    update();
}

void AxoWindow::FileSaveAs() {
    QFileDialog dialog(this, "Enregistrer sous", SettingsFolder(),
                       "Fichier d'initialisation (*.ini);;Tous les fichiers (*.*)");
    dialog.setObjectName("dlgFileSaveAs");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix("ini");
    GiveRoom(dialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        SaveSettingsAs(dialog.selectedFiles().first());
    }
}

void AxoWindow::SaveSettingsAs(const QString& path) {
    // A name typed without an extension gets the one "Ouvrir" lists.
    QString file = path;
    if (QFileInfo(file).suffix().isEmpty()) {
        file += file.endsWith('.') ? "ini" : ".ini";
    }
    // The file dialog has asked before replacing a file: whatever it holds may be written into.
    const SettingsFileResult saved = settings_.WriteSettings(file.toStdString(), this, true);
    if (!saved.ok) {
        core_.op().ShowMessage("Erreur", "La configuration n'a pas pu être enregistrée :\n" + saved.error,
                               MessageIcon::Exclamation, MessageButtons::Ok);
    }
    for (const std::string& warning : saved.warnings) {
        core_.display().AddErrorMessage("!!! " + warning);
    }
    if (saved.ok) {
        core_.display().AddErrorMessage("Configuration enregistrée : " + file.toStdString());
        // The title names the file in use, and the later saves (an OK, the exit) write it.
        options_.settingsFile = file.toStdString();
        ShowFileInTitle(file);
    }
}

void AxoWindow::ShowFileInTitle(const QString& path) {
    // A file of the settings folder by its name; one from elsewhere by its whole path, so that
    // an "Axo.ini" of another folder is not taken for the usual one.
    const QFileInfo file(QString::fromStdString(ResolveProfilePath(path.toStdString()).string()));
    const bool inFolder = file.absoluteDir() == QDir(SettingsFolder());
    QString title = "Axo — " + (inFolder ? file.fileName() : file.absoluteFilePath());
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
    // The observer keeps a hand on the pad while calibrating: the window never opens over it.
    const QPoint saved(settings_.Lng(LongKey::Calibr_left) / kTwipsPerPixel,
                       settings_.Lng(LongKey::Calibr_top) / kTwipsPerPixel);
    QRect place(saved, calibration_->isVisible() ? calibration_->size() : calibration_->sizeHint());
    if (isVisible()) {
        if (const QWidget* pad = findChild<QWidget*>("fraControl"); pad != nullptr && screen() != nullptr) {
            place = ClearOfThePad(place, QRect(pad->mapToGlobal(QPoint(0, 0)), pad->size()), frameGeometry(),
                                  screen()->availableGeometry());
        }
    }
    calibration_->move(place.topLeft());
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

void AxoWindow::ShowGoto() {
    if (goto_ == nullptr) {
        goto_ = new GotoWindow(core_, this);
        goto_->setWindowFlag(Qt::Tool);
        goto_->onClosed = [this] { gotoButton_->setChecked(false); };
        // Where the pad stays free, as for the calibration window.
        if (isVisible() && screen() != nullptr) {
            if (const QWidget* pad = findChild<QWidget*>("fraControl")) {
                const QRect place = ClearOfThePad(QRect(frameGeometry().topRight(), goto_->sizeHint()),
                                                  QRect(pad->mapToGlobal(QPoint(0, 0)), pad->size()), frameGeometry(),
                                                  screen()->availableGeometry());
                goto_->move(place.topLeft());
            }
        }
    }
    goto_->show();
    goto_->raise();
    gotoButton_->setChecked(true);
}

void AxoWindow::MountStateChanged(MountState state) {
    std::string line = std::string("Télescope : ") + MountStateText(state);
    const GotoProgress progress = core_.pointing().Progress();
    if (progress.active && !progress.parking) {
        line += ", pointage de " + progress.target;
    }
    LogLine(line);
    status_->Refresh();
    if (goto_ != nullptr && goto_->isVisible()) {
        goto_->Refresh();
    }
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

}  // namespace axo::ui
