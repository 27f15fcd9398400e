// What the main window's controls do. The window only forwards its events here, so the rules
// (guards, confirmations, mode switches) are the same for the mouse, the keyboard and tests.

#include "core/core.h"

namespace axo {

namespace {

const char* SpeedOptionName(int16_t axisCode, int16_t mode) {
    const bool alpha = axisCode == CMD_ALPHA_MODE;
    switch (mode) {
        case SPEED_CENTERING:
            return alpha ? "optControlCenteringAlpha" : "optControlCenteringDelta";
        case SPEED_POINTING:
            return alpha ? "optControlPointingAlpha" : "optControlPointingDelta";
        case SPEED_MOVING:
            return alpha ? "optControlMovingAlpha" : "optControlMovingDelta";
        default:
            return nullptr;
    }
}

bool IsSpeedMode(int16_t mode) {
    return mode == SPEED_CENTERING || mode == SPEED_POINTING || mode == SPEED_MOVING;
}

}  // namespace

bool Core::GuardTelescope() {
    if (events_.Requested(EVT_TRACKING) != 0 && settings_.Int(IntKey::disable_move_when_tracking) != 0) {
        seams_.op.Beep();
        return false;
    }
    return true;
}

bool Core::GuardDome() {
    if ((events_.Requested(EVT_DOME_TRACKING) != 0 && settings_.Int(IntKey::disable_dome) != 0) ||
        state_.DomeInitRunning || state_.DomeRestRunning) {
        seams_.op.Beep();
        return false;
    }
    return true;
}

bool Core::GuardDomeTracking() {
    if (state_.DomeInitRunning || state_.DomeRestRunning) {
        seams_.op.Beep();
        return false;
    }
    return true;
}

void Core::TelescopeTakenOver(const char* why) {
    pointing_.Abort(why);
    pointing_.ClearParked();
}

void Core::PressTracking() {
    TelescopeTakenOver("suivi demandé");
    events_.SetEvent(EVT_TRACKING, 1);
}

void Core::PressDomeTracking() {
    if (GuardDomeTracking()) {
        events_.SetEvent(EVT_DOME_TRACKING, 1);
    }
}

void Core::PressStop(int stopSlot) {
    if (stopSlot != EVT_STOP && stopSlot != EVT_DOME_STOP && stopSlot != EVT_FOCUS_STOP) {
        return;
    }
    if (stopSlot == EVT_STOP) {
        pointing_.Abort("Stop");
    }
    display_.SetButtonImage(stopSlot, kTrue);
    events_.SetEvent(stopSlot, 1);
}

void Core::ReleaseStop(int stopSlot) {
    if (stopSlot != EVT_STOP && stopSlot != EVT_DOME_STOP && stopSlot != EVT_FOCUS_STOP) {
        return;
    }
    display_.SetButtonImage(stopSlot, kFalse);
}

namespace {
bool IsTelescopeSlot(int slot) {
    return slot >= EVT_ALPHA_MINUS && slot <= EVT_DELTA_PLUS_LOCK;
}
bool IsDomeSlot(int slot) {
    return slot >= EVT_DOME_DIR1 && slot <= EVT_DOME_DIR2_LOCK;
}
bool IsFocusSlot(int slot) {
    return slot >= EVT_FOCUS_DIR1 && slot <= EVT_FOCUS_DIR2_LOCK;
}
}  // namespace

void Core::PressDirection(int slot) {
    if (IsLockSlot(slot)) {
        return;
    }
    if (IsTelescopeSlot(slot)) {
        TelescopeTakenOver("commande manuelle");
        if (!GuardTelescope()) {
            return;
        }
    } else if (IsDomeSlot(slot)) {
        if (!GuardDome()) {
            return;
        }
    } else if (!IsFocusSlot(slot)) {
        return;
    }
    events_.SetEvent(slot, 1);
}

void Core::ReleaseDirection(int slot) {
    if (IsLockSlot(slot) || !(IsTelescopeSlot(slot) || IsDomeSlot(slot) || IsFocusSlot(slot))) {
        return;
    }
    events_.SetEvent(slot, 0);
}

void Core::ClickLock(int slot) {
    if (!IsLockSlot(slot)) {
        return;
    }
    if (IsTelescopeSlot(slot)) {
        TelescopeTakenOver("commande manuelle");
        if (!GuardTelescope()) {
            return;
        }
    }
    if (IsDomeSlot(slot) && !GuardDome()) {
        return;
    }
    events_.ToggleEvent(slot);
}

void Core::SelectSpeedOption(int16_t axisCode, int16_t mode) {
    const char* option = SpeedOptionName(axisCode, mode);
    // Selecting the option already selected does nothing, as a click on it would not.
    if (option == nullptr || seams_.view.IsChecked(option)) {
        return;
    }
    seams_.view.SetChecked(option, true);
    SpeedModeClicked(axisCode, mode);
}

void Core::SpeedModeClicked(int16_t axisCode, int16_t mode) {
    pointing_.Abort("changement de vitesse");
    ApplySpeedMode(axisCode, mode, true);
}

void Core::SetAxisSpeedMode(int16_t axisCode, int16_t mode) {
    ApplySpeedMode(axisCode, mode, false);
}

void Core::ApplySpeedMode(int16_t axisCode, int16_t mode, bool stopMoves) {
    const bool alpha = axisCode == CMD_ALPHA_MODE;
    settings_.Int(alpha ? IntKey::control_mode_alpha : IntKey::control_mode_delta) = mode;
    if (const char* option = SpeedOptionName(axisCode, mode)) {
        seams_.view.SetChecked(option, true);
    }
    if (settings_.Int(IntKey::ungear) != 0) {
        return;
    }
    if (stopMoves) {
        events_.StopTelescopeEvents(true);
    }
    Command(alpha ? CMD_ALPHA_MODE : CMD_DELTA_MODE, mode);
    std::string modeName;
    switch (mode) {
        case SPEED_CENTERING:
            modeName = "Centrage";
            break;
        case SPEED_POINTING:
            modeName = "Pointage";
            break;
        case SPEED_MOVING:
            modeName = "Déplacement";
            break;
        default:
            return;
    }
    display_.AddMessage(std::string("Mouvement ") + (alpha ? "Alpha" : "Delta") + " en mode " + modeName);
}

void Core::ApplyControlModeCommands() {
    const int16_t alphaMode = settings_.Int(IntKey::control_mode_alpha);
    const int16_t deltaMode = settings_.Int(IntKey::control_mode_delta);
    if (IsSpeedMode(alphaMode)) {
        Command(CMD_ALPHA_MODE, alphaMode);
    }
    if (IsSpeedMode(deltaMode)) {
        Command(CMD_DELTA_MODE, deltaMode);
    }
}

void Core::UnGearClicked() {
    pointing_.Abort("monture débrayée");
    if (settings_.Int(IntKey::ungear) == 1) {
        display_.DisableControlPad(false);
        settings_.Int(IntKey::ungear) = 0;
        ApplyControlModeCommands();
    } else {
        display_.DisableControlPad(true);
        settings_.Int(IntKey::ungear) = 1;
        events_.StopTelescopeEvents(false);
    }
}

void Core::ManualModeClicked() {
    pointing_.Abort("mode manuel");
    MainView& view = seams_.view;
    if (settings_.Int(IntKey::manual_mode) == 0) {
        events_.StopAllEvents();
        settings_.Int(IntKey::manual_mode) = 1;
        view.SetChecked("EditManualModeMenuItem", true);
        view.SetEnabled("chkControlUnGear", false);
        display_.DisableCommandGroups(true);
        display_.EnableSystemTimer(false);
        Command(CMD_CONTROL_MODE, 2);
    } else {
        settings_.Int(IntKey::manual_mode) = 0;
        view.SetChecked("EditManualModeMenuItem", false);
        view.SetEnabled("chkControlUnGear", true);
        display_.DisableCommandGroups(false);
        if (settings_.Int(IntKey::probe_enable) == 1) {
            display_.EnableSystemTimer(true);
        }
        Command(CMD_CONTROL_MODE, 1);
        ApplyControlModeCommands();
    }
}

bool Core::ConfirmDome(const std::string& title, const std::string& question) {
    if (!GuardDome()) {
        return false;
    }
    const MessageAnswer answer =
        seams_.op.ShowMessage(title, question + "\nde la coupole", MessageIcon::Question, MessageButtons::OkCancel);
    if (answer != MessageAnswer::Ok) {
        return false;
    }
    // Dome tracking and every dome move stop first.
    events_.SetEvent(EVT_DOME_STOP, 1);
    return true;
}

void Core::DomeInitClicked() {
    if (ConfirmDome("Initialisation de la coupole", "Confirmez l'initialisation")) {
        Command(CMD_DOME_INIT, 0);
    }
}

void Core::DomeRestClicked() {
    if (ConfirmDome("Mise au repos de la coupole", "Confirmez la mise au repos")) {
        Command(CMD_DOME_REST, 0);
    }
}

void Core::FilterListChanged() {
    seams_.view.SetEnabled("cmdFilterValidate", !seams_.view.Text("cmbFilterValue").empty());
}

void Core::FilterValidateClicked() {
    Command(CMD_FILTER, 0);
}

void Core::StopEverything() {
    display_.AddMessage("Arrêt général");
    pointing_.Abort("Arrêt général");
    // No guard here: stopping is always allowed, and the guards only refuse starts.
    events_.StopTelescopeEvents(false);
    // The dome stop clears follow and both directions, then code 106 ends an Init or a rest.
    events_.SetEvent(EVT_DOME_STOP, 1);
    events_.SetEvent(EVT_FOCUS_STOP, 1);
}

void Core::RequestStopAll() {
    if (stopping_) {
        return;
    }
    stopping_ = true;
    StopEverything();
    stopping_ = false;
    if (drivers_.Busy()) {
        waitsEnded_ = true;
    }
}

bool Core::EndWaits() {
    if (stopping_) {
        return false;  // the stop's own waits (a box confirming its stop) run to their end
    }
    if (waitsEnded_) {
        return true;
    }
    if (!stopWatcher_) {
        return false;
    }
    // Looking costs a round trip to the window system: a few times per slice of a wait at most.
    const uint32_t now = seams_.clock.GetTickCount();
    if (watcherAsked_ && now - watcherAskedTick_ < static_cast<uint32_t>(Clock::kInterruptSliceMs)) {
        return false;
    }
    watcherAsked_ = true;
    watcherAskedTick_ = now;
    if (!stopWatcher_()) {
        return false;
    }
    RequestStopAll();
    return waitsEnded_;
}

void Core::DeleteMessageClicked() {
    MainView& view = seams_.view;
    const int selected = view.SelectedMessage();
    if (selected >= 0 && selected < view.MessageCount()) {
        view.RemoveMessage(selected);
    }
    if (view.MessageCount() > 0) {
        view.SelectMessage(view.MessageCount() - 1);
    }
}

void Core::ClearMessagesClicked() {
    seams_.view.ClearMessages();
}

}  // namespace axo
