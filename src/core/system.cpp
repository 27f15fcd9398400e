// Start-up, shut-down, the polling tick and the clock tick.

#include <cstdio>

#include "astro/mathlib.h"
#include "core/core.h"

namespace axo {

Core::Core(Settings& settings, const CoreSeams& seams)
    : settings_(settings),
      seams_(seams),
      display_(seams.view, seams.timer, settings),
      commands_(settings, state_, position_, drivers_, display_),
      events_(settings, display_, [this](int16_t code, int16_t arg) { Command(code, arg); }) {
    seams_.clock.SetInterrupt(this);
    // Once the busy driver has returned, the waits of the stops kept for it (and of everything
    // after) run to their end again.
    drivers_.SetTransactionOverHook([this] { waitsEnded_ = false; });
    // An action on hardware that could not be reached does nothing: the observer is told, so
    // that a green button is not taken for a move. Polling, start and stop are not actions.
    drivers_.SetUnreachableHook([this](InterfaceId id, int16_t code, const DriverParam& p) {
        const bool action = (code >= CMD_TRACKING && code <= CMD_ALPHA_MINUS) ||
                            (code >= CMD_DOME_TRACKING && code <= CMD_DOME_INIT) || code == CMD_FOCUS_DIR1 ||
                            code == CMD_FOCUS_DIR2 || code == CMD_FILTER;
        if (!action || p.Action == kStop) {
            return;
        }
        static constexpr const char* kNames[] = {"Pelaro", "6420", "EIK120", "Talvene"};
        display_.AddErrorMessage(std::string("!!! Interface ") + kNames[static_cast<int>(id)] +
                                 " injoignable : commande " + std::to_string(code) + " sans effet");
    });
}

Core::~Core() {
    seams_.clock.SetInterrupt(nullptr);
}

bool Core::LoadAndInitialise(const ScreenMetrics& screen, const std::string& settingsFile) {
    state_.StartupDone = false;
    settings_.BuildSettingsTable(screen);
    lastRead_ = settings_.ReadSettings(settingsFile);
    display_.ResetButtonImages();
    events_.ClearEventTable();
    return InitSystem();
}

bool Core::InitSystem() {
    using K = IntKey;
    const auto is = [this](K key, int16_t value) { return settings_.Int(key) == value; };

    state_.PasswordGranted = false;
    state_.ParallelInUse = false;
    for (K key : {K::interface_ra, K::interface_de, K::interface_dome, K::interface_coders, K::interface_focus,
                  K::interface_filter}) {
        state_.ParallelInUse = state_.ParallelInUse || is(key, INTERFACE_PARALLEL);
    }
    seams_.view.SetEnabled("ConfigPelaroMenuItem", state_.ParallelInUse);
    // The coders are never read through a 64xx box, so interface_coders does not count here.
    state_.S64xxInUse = false;
    for (K key : {K::interface_ra, K::interface_de, K::interface_dome, K::interface_focus, K::interface_filter}) {
        state_.S64xxInUse = state_.S64xxInUse || is(key, INTERFACE_64XX);
    }

    // Both boxes share the RS485 line, so it needs both axes on the 64xx boxes. Nothing has
    // been started yet: the program ends here, before any hardware is touched or anything saved.
    if (is(K::S64xx_RS485, 1) && !(is(K::interface_ra, INTERFACE_64XX) && is(K::interface_de, INTERFACE_64XX))) {
        seams_.op.ShowMessage("Erreur fatale", "Le mode RS485 n'est possible qu'avec l'ALPHA\net le DELTA en mode 64xx",
                              MessageIcon::Critical, MessageButtons::Ok);
        seams_.program.EndProgramNow();
        return false;
    }

    state_.Eik120InUse = is(K::interface_coders, INTERFACE_EIK120);
    state_.TalveneInUse = is(K::interface_coders, INTERFACE_TALVENE);
    state_.DomeInitRunning = false;
    state_.DomeRestRunning = false;
    state_.DomeTrackingOn = false;
    state_.DomeFollowMoving = false;

    SendToInterfacesInUse(CMD_START_INTERFACE);

    MainView& view = seams_.view;
    if (is(K::manual_mode, 0)) {
        view.SetChecked("EditManualModeMenuItem", false);
        view.SetEnabled("chkControlUnGear", true);
        display_.HidePositionDisplays(false);
        display_.DisableDomeGroup(false);
        display_.DisableFocusGroup(false);
        display_.DisableFilterGroup(false);
        if (is(K::ungear, 0)) {
            view.SetChecked("chkControlUnGear", false);
            display_.DisableControlPad(false);
        } else {
            view.SetChecked("chkControlUnGear", true);
            display_.DisableControlPad(true);
        }
        Command(CMD_CONTROL_MODE, 1);
    } else {
        view.SetChecked("EditManualModeMenuItem", true);
        view.SetEnabled("chkControlUnGear", false);
        display_.DisableCommandGroups(true);
        Command(CMD_CONTROL_MODE, 2);
    }

    view.SetVisible("shpDeltaMinus", false);
    view.SetVisible("shpAlphaMinus", false);

    SelectSpeedOption(CMD_ALPHA_MODE, settings_.Int(K::control_mode_alpha));
    SelectSpeedOption(CMD_DELTA_MODE, settings_.Int(K::control_mode_delta));

    view.SetText("fraDisplayAlpha", is(K::display_hangle, 1) ? "Angle horaire" : "Ascension droite");
    view.SetText("fraDisplayTime", is(K::display_tu, 1) ? "TU" : "TS");

    view.SetText("lblControlAlphaP", settings_.Str(StringKey::label_alpha_plus));
    view.SetText("lblControlAlphaM", settings_.Str(StringKey::label_alpha_minus));
    view.SetText("lblControlDeltaP", settings_.Str(StringKey::label_delta_plus));
    view.SetText("lblControlDeltaM", settings_.Str(StringKey::label_delta_minus));
    view.SetText("lblFocusDir1", settings_.Str(StringKey::label_focus_dir1));
    view.SetText("lblFocusDir2", settings_.Str(StringKey::label_focus_dir2));
    view.SetText("lblDomeDir1", settings_.Str(StringKey::label_dome_dir1));
    view.SetText("lblDomeDir2", settings_.Str(StringKey::label_dome_dir2));

    state_.Site.longitude = Dms2R(settings_.Int(K::longitude_east), settings_.Int(K::longitude_d),
                                  settings_.Int(K::longitude_m), settings_.Int(K::longitude_s));
    state_.Site.latitude = Dms2R(settings_.Int(K::latitude_south), settings_.Int(K::latitude_d),
                                 settings_.Int(K::latitude_m), settings_.Int(K::latitude_s));

    seams_.timer.SetSystemTimerInterval(settings_.Int(K::timer_value));
    display_.EnableSystemTimer(is(K::manual_mode, 0) && is(K::probe_enable, 1));

    position_.DeclinationOutOfRange = false;
    position_.LastHourAngle.fill(-100);  // the first tick computes the telescope azimuth
    return true;
}

void Core::SendToInterfacesInUse(int16_t code) {
    // The fixed order of start and stop: parallel, 64xx, encoder card, Talvene.
    const std::pair<bool, InterfaceId> order[] = {{state_.ParallelInUse, InterfaceId::Parallel},
                                                  {state_.S64xxInUse, InterfaceId::S64xx},
                                                  {state_.Eik120InUse, InterfaceId::Eik},
                                                  {state_.TalveneInUse, InterfaceId::Talvene}};
    for (const auto& [inUse, id] : order) {
        // An interface whose start asked for the end of the program, or a signal, ends the
        // start-up here: the shut-down then stops what was started.
        if (code == CMD_START_INTERFACE && seams_.program.EndRequested()) {
            return;
        }
        if (inUse) {
            DriverParam p{0, 0};
            drivers_.Call(id, code, p);
        }
    }
}

void Core::CloseSystem() {
    SendToInterfacesInUse(CMD_STOP_INTERFACE);
}

SettingsFileResult Core::Shutdown(WindowPositionSource* windows, const std::string& settingsFile,
                                  bool evenWithoutSection) {
    pointing_.Abort("fermeture du programme");
    events_.StopAllEvents();
    CloseSystem();
    return settings_.WriteSettings(settingsFile, windows, evenWithoutSection);
}

void Core::SystemTick() {
    for (int16_t code : {CMD_POLL_BOARDS, CMD_READ_ALPHA, CMD_READ_DELTA, CMD_POLL_64XX, CMD_READ_DOME,
                         CMD_TELESCOPE_AZIMUTH}) {
        Command(code, 0);
    }
    if (state_.DomeRestRunning) {
        Command(CMD_DOME_REST_STEP, 0);
    }
    if (state_.DomeTrackingOn) {
        Command(CMD_DOME_TRACK_STEP, 0);
    }
    pointing_.Tick();
}

void Core::ClockTick() {
    const PcDateTime now = seams_.clock.Now();
    char timeText[32];
    std::snprintf(timeText, sizeof timeText, "%02d:%02d:%02d", now.hour, now.minute, now.second);
    char dateText[32];
    std::snprintf(dateText, sizeof dateText, "%02d/%02d/%04d", now.day, now.month, now.year);

    state_.DateTime.hour = now.hour;
    state_.DateTime.minute = now.minute;
    state_.DateTime.second = now.second;
    state_.DateTime.year = now.year;
    state_.DateTime.month = now.month;
    state_.DateTime.day = now.day;
    state_.SiderealTimeRad = SideralTime(state_.DateTime, state_.Site);

    MainView& view = seams_.view;
    const bool tu = settings_.Int(IntKey::display_tu) == 1;
    if (tu) {
        view.SetText("lblTime", timeText);
    }
    const bool trackingVisible = view.IsTrackingWindowVisible();
    if (trackingVisible || !tu) {
        int16_t h = 0;
        int16_t m = 0;
        int16_t s = 0;
        R2HmsRounded(state_.SiderealTimeRad, h, m, s);
        char lst[32];
        std::snprintf(lst, sizeof lst, "%02d:%02d:%02d", h, m, s);
        if (trackingVisible) {
            view.SetText("lblTrkDate", dateText);
            view.SetText("lblTrkTU", timeText);
            view.SetText("lblTrkTS", lst);
        }
        if (!tu) {
            view.SetText("lblTime", lst);
        }
    }
}

SettingsFileResult Core::OpenSettingsFile(const std::string& path) {
    pointing_.Abort("autre fichier de configuration");
    events_.StopAllEvents();
    lastRead_ = settings_.ReadSettings(path);
    display_.ResetButtonImages();
    events_.ClearEventTable();
    InitSystem();
    return lastRead_;
}

}  // namespace axo
