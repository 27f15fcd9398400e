#pragma once

// The main window "Axo": the operator's console. It forwards every action to the core and
// implements the core's seams (the view, the polling timer, the end of the program); it
// holds no control logic of its own.

#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <array>
#include <memory>
#include <string>
#include <unordered_map>

#include "core/core.h"
#include "core/seams.h"
#include "interfaces/parallel/parallel_windows.h"
#include "settings/settings.h"
#include "ui/polling_scheduler.h"

class QAction;
class QDialog;
class QListWidget;
class QComboBox;
class QGridLayout;
class QLabel;
class QGroupBox;
class QTextEdit;
class QToolBar;

namespace axo {
class NightLog;
class S64xxDriver;
class EikDriver;
}

namespace axo::ui {

// Where a window of `wanted` geometry goes so that it lies wholly inside `available`: moved
// in, and shrunk when it is larger.
QRect FitOnScreen(const QRect& wanted, const QRect& available);
// Where a tool window of `wanted` geometry goes so that it does not hide the pad (`pad`, in the
// main window `main`): where it was if that leaves the pad free, else beside the main window,
// below the pad or beside it, the first that fits in `available`; where it was when none does.
QRect ClearOfThePad(const QRect& wanted, const QRect& pad, const QRect& main, const QRect& available);

class PictureButton;
class TrackingWindow;
class CalibrationWindow;
class GotoWindow;
class LoadWindow;
class CancelWindow;
class PasswordWindow;
class PelaroWindow;
class Serial64xxWindow;
class OptionsDialog;
class StatusBar;
class StopAllWatcher;
class BlockedButtonWatch;

class AxoWindow final : public QMainWindow,
                        public MainView,
                        public SystemTimer,
                        public ProgramControl,
                        public WindowPositionSource,
                        public LoadProgress,
                        public MainWindowCloser {
    Q_OBJECT
public:
    struct Options {
        std::string settingsFile = kSettingsFileName;
        // The simulated observatory stands in for the hardware: said in the title and the
        // status bar, so that nobody believes a simulated move happened.
        bool simulated = false;
    };

    AxoWindow(Settings& settings, Clock& clock, Operator& op, Options options);
    AxoWindow(Settings& settings, Clock& clock, Operator& op) : AxoWindow(settings, clock, op, Options{}) {}
    ~AxoWindow() override;

    Core& core() { return core_; }

    // The start-up sequence, up to a shown main window. False: the configuration ended the
    // program (nothing was started or saved).
    bool StartUp(bool allowWelcome = true);
    // The shut-down sequence; runs once, whatever ends the program.
    void ShutDown();
    // A dialog's OK changed settings: the settings file is written at once, as at exit, so a
    // power cut loses nothing.
    void SaveSettingsNow();
    bool ShutDownDone() const { return shutDownDone_; }
    bool EndedWithoutShutdown() const { return endedWithoutShutdown_; }

    void ApplyDebugLayout();
    void OpenSettings(const QString& path);   // File > Open once a file is chosen
    void SaveSettingsAs(const QString& path); // File > Save as once a name is chosen

    void ShowCalibration();
    void ShowTracking();
    // Vue > Pointer un objet: the go-to window, non-modal.
    void ShowGoto();
    GotoWindow* gotoWindow() { return goto_; }
    void ShowOptions();
    std::unique_ptr<OptionsDialog> MakeOptionsDialog();  // wired to the calibration window
    void ShowPassword();
    void ShowAbout();
    void ShowPelaro();
    // Configuration > 6420/6410, modal; `driver` is the 6420 interface the window applies to.
    void ShowSerial64xx();
    void SetSerial64xxDriver(S64xxDriver* driver) { s64xxDriver_ = driver; }
    Serial64xxWindow* serial64xxWindow() { return serial64xx_; }
    void ShowEik120();  // modal
    // The encoder card's driver, whose working copies the EIK120 window edits (null: none).
    void SetEikDriver(EikDriver* driver) { eik_ = driver; }
    // Every message-list line and every command given goes to the night log from now on.
    void SetNightLog(NightLog* log);
    // One line of the night log, stamped with the clock's UTC time (nothing without a log).
    void LogLine(const std::string& text);

    // --- LoadProgress, MainWindowCloser (the interfaces' reach into the windows) ---
    void ShowProgress(const std::string& text) override;
    void UnloadMainWindow() override { close(); }

    CancelWindow* cancelWindow();
    TrackingWindow* trackingWindow() { return tracking_; }
    CalibrationWindow* calibrationWindow() { return calibration_; }
    StatusBar* statusBarModel() { return status_; }
    StopAllWatcher* stopAllWatcher() { return stopWatch_.get(); }
    // Another reason for a protocol wait to end early (a termination signal): the stops go
    // out, then the event loop handles the reason.
    void AlsoEndWaitsWhen(std::function<bool()> reason);

    // --- MainView ---
    void ShowButtonPicture(int slot, bool on) override;
    void SetEnabled(std::string_view control, bool enabled) override;
    void SetVisible(std::string_view control, bool visible) override;
    bool IsVisible(std::string_view control) const override;
    std::string Text(std::string_view control) const override;
    void SetText(std::string_view control, const std::string& text) override;
    bool IsChecked(std::string_view control) const override;
    void SetChecked(std::string_view control, bool checked) override;
    bool IsTrackingWindowVisible() const override;
    bool IsCalibrationWindowVisible() const override;
    int MessageCount() const override;
    std::string MessageAt(int index) const override;
    void AppendMessage(const std::string& text) override;
    void RemoveMessage(int index) override;
    void ClearMessages() override;
    int SelectedMessage() const override;
    void SelectMessage(int index) override;

    // --- SystemTimer ---
    void SetSystemTimerInterval(int milliseconds) override;
    void SetSystemTimerEnabled(bool enabled) override;
    // Polling is on: enabled, with an interval above 0.
    bool SystemTimerRunning() const { return tmrSystem_->Running(); }
    PollingScheduler* systemPolling() { return tmrSystem_; }

    // --- ProgramControl ---
    void EndProgramNow() override;
    bool EndRequested() const override { return closePending_ || shutDownDone_ || endedWithoutShutdown_; }

    // A termination signal: the program ends promptly whatever is open. The caller has made
    // the operator quiet (open boxes dismissed, later ones reported on standard error).
    void EndOnSignal();

    // --- WindowPositionSource ---
    std::optional<WindowPosition> MainWindowPosition() override;
    std::optional<WindowPosition> CalibrationWindowPosition() override;
    std::optional<WindowPosition> TrackingWindowPosition() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    void BuildToolbar();
    QWidget* BuildDisplays();
    QWidget* BuildControlPad();
    QWidget* BuildDome();
    QWidget* BuildFocus();
    QWidget* BuildFilter();
    QWidget* BuildMessages();
    // The picture button of an event slot, wired to the core as the slot's kind wants.
    PictureButton* Pad(int slot, QWidget* parent);
    struct Caption {
        const char* name;
        const char* text;
    };
    // A motor's four direction buttons (lock, direction 1, direction 2, lock) in row 1 of `g`,
    // each direction's caption under its pair.
    void AddDirectionPads(QGridLayout* g, const std::array<int, 4>& padSlots, const Caption& dir1, const Caption& dir2,
                          QWidget* parent);
    QObject* Find(std::string_view name) const;
    void FileOpen();
    void FileSaveAs();
    void ShowFileInTitle(const QString& path);
    bool HandlePaddleKey(QKeyEvent* event, bool press);
    void PaddleKeyReleased(QKeyEvent* key);
    // Whether the settings may be written into a file whose [Axo] section is lost.
    bool MayWriteWithoutSection();
    // F12 from any window of the program, a modal one included.
    bool HandleStopKey(QEvent* event);
    void ReleasePaddleKeys();
    void CalibrationClosed();
    void TrackingClosed();
    // The mount's state changed: the night log, the status bar and the go-to window hear it.
    void MountStateChanged(MountState state);

    Settings& settings_;
    Options options_;
    Core core_;
    PollingScheduler* tmrSystem_;
    QTimer* tmrClock_;
    std::array<PictureButton*, 22> pads_{};
    QListWidget* messages_ = nullptr;
    QGroupBox* messagesFrame_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    StatusBar* status_ = nullptr;
    QAction* calibrateButton_ = nullptr;
    QAction* trackingButton_ = nullptr;
    QAction* gotoButton_ = nullptr;
    QPointer<LoadWindow> loadWindow_;
    TrackingWindow* tracking_ = nullptr;
    CalibrationWindow* calibration_ = nullptr;
    GotoWindow* goto_ = nullptr;
    CancelWindow* cancel_ = nullptr;
    PelaroWindow* pelaro_ = nullptr;
    Serial64xxWindow* serial64xx_ = nullptr;
    S64xxDriver* s64xxDriver_ = nullptr;
    EikDriver* eik_ = nullptr;
    NightLog* nightLog_ = nullptr;
    PasswordWindow* password_ = nullptr;
    bool calibrHiddenByMinimize_ = false;
    bool trackHiddenByMinimize_ = false;
    bool StartUpSteps(bool allowWelcome);

    bool starting_ = false;
    bool closePending_ = false;
    bool endingOnSignal_ = false;
    QDialog* welcome_ = nullptr;
    bool shutDownDone_ = false;
    bool settingsLoaded_ = false;
    bool endedWithoutShutdown_ = false;
    mutable std::unordered_map<std::string, QObject*> lookup_;
    QSet<int> heldKeys_;
    std::unique_ptr<StopAllWatcher> stopWatch_;
    bool askedWithoutSection_ = false;
    bool writeWithoutSection_ = false;
    std::unique_ptr<BlockedButtonWatch> blockedStop_;
    const QEvent* declinedKey_ = nullptr;  // a key left to the control that has it
    quint64 declinedKeyTime_ = 0;
    QPointer<QWidget> declinedBy_;
};

}  // namespace axo::ui
