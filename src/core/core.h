#pragma once

// The control core: the runtime state, the event table, the command processor and the system
// sequences, shared by one object. The windows own one Core and implement its seams; the
// hardware interfaces register their driver entries with it.

#include <functional>
#include <string>

#include "core/codes.h"
#include "core/command_processor.h"
#include "core/display.h"
#include "core/driver.h"
#include "core/event_processor.h"
#include "core/pointing.h"
#include "core/seams.h"
#include "core/state.h"
#include "platform/clock.h"
#include "platform/operator.h"
#include "settings/settings.h"

namespace axo {

struct CoreSeams {
    MainView& view;
    Operator& op;
    SystemTimer& timer;
    ProgramControl& program;
    Clock& clock;
};

class Core final : public WaitInterrupt {
public:
    Core(Settings& settings, const CoreSeams& seams);
    ~Core() override;
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    // --- System sequences -------------------------------------------------------------------

    // Start-up up to the end of InitSystem: defaults, the settings file over them, every button
    // off, the event table cleared, InitSystem. Returns false when the configuration was fatal
    // and the program has been ended. The read result is kept for the window to report.
    bool LoadAndInitialise(const ScreenMetrics& screen, const std::string& settingsFile = kSettingsFileName);

    // In-use flags, the RS485 check, interface start, mode, speed options, captions, site,
    // polling timer. Returns false when the RS485 configuration ended the program.
    bool InitSystem();

    // Code 1102 to each interface in use, in start order.
    void CloseSystem();

    // Every move stopped, the interfaces stopped, the settings written. Closing is never
    // cancelled; a failed write is returned for the window to report.
    // `evenWithoutSection`: the observer agreed to write into a file whose [Axo] section is lost.
    SettingsFileResult Shutdown(WindowPositionSource* windows, const std::string& settingsFile = kSettingsFileName,
                                bool evenWithoutSection = false);

    // One tick of tmrSystem: boards, Alpha, Delta, 64xx step, dome, telescope azimuth, then the
    // dome steps that are running.
    void SystemTick();

    // One tick of tmrClock: date and time record, sidereal time, time displays.
    void ClockTick();

    // File > Open: every move stopped, the chosen settings read, InitSystem again.
    SettingsFileResult OpenSettingsFile(const std::string& path);

    // --- Main-window actions (guards, pad, modes, dome, filter, messages) --------------------

    // Guards of the pad: false means refused (the caller has beeped through these).
    bool GuardTelescope();  // T
    bool GuardDome();       // D
    bool GuardDomeTracking();  // D0

    void PressTracking();
    void PressDomeTracking();
    void PressStop(int stopSlot);    // slot 2, 12 or 17: picture on, slot to 1
    void ReleaseStop(int stopSlot);  // picture off
    void PressDirection(int slot);   // 3, 5, 7, 9, 13, 15, 18, 20
    void ReleaseDirection(int slot);
    void ClickLock(int slot);        // 4, 6, 8, 10, 14, 16, 19, 21

    // Speed-mode option clicked (axis: CMD_ALPHA_MODE or CMD_DELTA_MODE).
    void SpeedModeClicked(int16_t axisCode, int16_t mode);
    // The go-to's own change of one axis's speed mode, while that axis is still: the other axis
    // keeps moving.
    void SetAxisSpeedMode(int16_t axisCode, int16_t mode);
    void UnGearClicked();
    void ManualModeClicked();
    void DomeInitClicked();
    void DomeRestClicked();
    void FilterListChanged();
    void FilterValidateClicked();
    // "Arrêt général": every telescope move and tracking, the dome (follow, rotation, Init,
    // rest) and the focuser stopped through the event table, whatever the guards of the pad
    // would refuse, so each interface in use gets its usual stop commands in the usual order.
    void StopEverything();
    // The observer asked for "Arrêt général" (the key or the button, from any window, a modal
    // one included, or during a wait). The stops go out at once to every driver that is free;
    // a driver busy with a transaction (the caller is inside it, in a box it showed or in one
    // of its waits) ends its waits at once and gets its stops as soon as it returns.
    void RequestStopAll();
    // Tells, without running any window event, whether the observer has just asked for the
    // stop-all; the long waits ask it every few milliseconds. The windows provide it.
    void SetStopWatcher(std::function<bool()> watcher) { stopWatcher_ = std::move(watcher); }
    bool EndWaits() override;
    void DeleteMessageClicked();
    void ClearMessagesClicked();

    // --- Shared pieces -------------------------------------------------------------------------
    void Command(int16_t code, int16_t arg) {
        if (commandObserver_) {
            commandObserver_(code, arg);
        }
        if (commandLog_ && !IsPollingCode(code)) {
            commandLog_(code, arg);
        }
        commands_.Command(code, arg);
    }
    // Sees every Command(code, arg) before it runs (the trace file, tests).
    void SetCommandObserver(std::function<void(int16_t, int16_t)> observer) { commandObserver_ = std::move(observer); }
    // Sees the commands that someone gave (not the polling timer's): the night log.
    void SetCommandLog(std::function<void(int16_t, int16_t)> log) { commandLog_ = std::move(log); }
    static bool IsPollingCode(int16_t code) {
        return code == CMD_POLL_BOARDS || code == CMD_POLL_64XX || (code >= CMD_READ_ALPHA && code <= CMD_DOME_TRACK_STEP);
    }
    void StopAllEvents() { events_.StopAllEvents(); }

    Settings& settings() { return settings_; }
    RuntimeState& state() { return state_; }
    Position& position() { return position_; }
    DriverRegistry& drivers() { return drivers_; }
    Display& display() { return display_; }
    EventProcessor& events() { return events_; }
    Pointing& pointing() { return pointing_; }
    Operator& op() { return seams_.op; }
    Clock& clock() { return seams_.clock; }
    const SettingsFileResult& lastRead() const { return lastRead_; }

private:
    void SendToInterfacesInUse(int16_t code);
    void SelectSpeedOption(int16_t axisCode, int16_t mode);
    void ApplySpeedMode(int16_t axisCode, int16_t mode, bool stopMoves);
    // The observer (or a planetarium client) acted on the telescope: a go-to gives way.
    void TelescopeTakenOver(const char* why);
    void ApplyControlModeCommands();
    bool ConfirmDome(const std::string& title, const std::string& question);

    Settings& settings_;
    CoreSeams seams_;
    RuntimeState state_;
    Position position_;
    DriverRegistry drivers_;
    Display display_;
    CommandProcessor commands_;
    EventProcessor events_;
    Pointing pointing_{*this};
    SettingsFileResult lastRead_;
    std::function<void(int16_t, int16_t)> commandObserver_;
    std::function<void(int16_t, int16_t)> commandLog_;
    std::function<bool()> stopWatcher_;
    bool stopping_ = false;     // the stop-all's own commands are going out
    bool waitsEnded_ = false;   // until the driver calls in progress have returned
    bool watcherAsked_ = false;
    uint32_t watcherAskedTick_ = 0;
};

}  // namespace axo
