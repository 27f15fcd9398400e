// Finding the zero of an axis coder: the axis is driven slowly in the + direction from a little
// before the zero until the board reports the coder's index, then the position zero is loaded.

#include "interfaces/parallel/input_value.h"
#include "interfaces/parallel/parallel_driver.h"

namespace axo {

bool ParallelDriver::WaitInputOrCancel(uint8_t mask, uint8_t expected, const std::string& message) {
    CancelWindow* cancel = windows_.cancel;
    if (cancel == nullptr) {
        return false;  // a search nobody could stop is never started
    }
    cancel->Open(message);
    bool found = false;
    for (;;) {
        if ((link_.ReadInput() & mask) == expected) {
            found = true;
            break;
        }
        core_.op().ProcessPendingEvents();
        // "Arrêt général" (seen while the events ran) ends the search like Cancel; its stops for
        // this interface follow as soon as the search has returned.
        if (cancel->CancelRequested() || core_.clock().Interrupted()) {
            break;
        }
        // No time-out, but no need to read the lines faster than the board changes them.
        core_.clock().Pause(1);
    }
    if (cancel->IsVisible()) {
        cancel->Hide();
    }
    return found;
}

void ParallelDriver::ZeroCoderAlpha() {
    ZeroCoder(true);
}

void ParallelDriver::ZeroCoderDelta() {
    ZeroCoder(false);
}

void ParallelDriver::ZeroCoder(bool alpha) {
    Display& display = core_.display();
    Settings& s = core_.settings();
    const uint8_t board = alpha ? kAlphaBoard : kDeltaBoard;
    const auto resumePolling = [&] {
        if (s.Int(IntKey::probe_enable) == 1) {
            display.EnableSystemTimer(true);
        }
    };

    display.EnableSystemTimer(false);
    core_.events().StopTelescopeEvents(false);
    const std::string prompt = std::string("Mettez le Telescope un peu avant\n") +
                               (alpha ? "0h 0m 0s (moins de 2 minutes)" : "0° 0' 0\" (moins de 2')");
    const MessageAnswer answer = core_.op().ShowMessage(alpha ? "Zéro codeur Alpha" : "Zéro codeur Delta", prompt,
                                                        MessageIcon::Information, MessageButtons::OkCancel);
    if (answer != MessageAnswer::Ok) {
        resumePolling();
        return;
    }

    // Dibits 1 then 0: search the zero.
    link_.Strobe(board, 1);
    link_.Strobe(board, 0);
    if (!link_.WaitReadyClear()) {
        resumePolling();
        return;
    }

    // Both axes at centring speed, then the + lock of the axis searched, as the observer would.
    if (s.Int(IntKey::control_mode_alpha) != SPEED_CENTERING) {
        core_.SpeedModeClicked(CMD_ALPHA_MODE, SPEED_CENTERING);
    }
    if (s.Int(IntKey::control_mode_delta) != SPEED_CENTERING) {
        core_.SpeedModeClicked(CMD_DELTA_MODE, SPEED_CENTERING);
    }
    core_.ClickLock(alpha ? EVT_ALPHA_PLUS_LOCK : EVT_DELTA_PLUS_LOCK);
    display.DisableCommandGroups(true);
    display.DisableFileEditMenus(true);

    // The board raises all four data lines at the coder's index.
    const bool found = WaitInputOrCancel(kInputNibble, kInputNibble,
                                         alpha ? "Zéro codeur Alpha en cours..." : "Zéro codeur Delta en cours...");
    if (!found) {
        link_.Strobe(board, 1);  // abort the search
        link_.Strobe(board, 0);
    }
    display.DisableCommandGroups(false);
    display.DisableFileEditMenus(false);
    core_.events().StopTelescopeEvents(false);
    WaitMs(core_.clock(), 1);
    if (found) {
        link_.Strobe(board, 0);
        CheckBoardMessages();
        WaitMs(core_.clock(), 1);
        if (alpha) {
            SendAlphaCoordinates(0, 0, 0);
        } else {
            SendDeltaCoordinates(0, 0, 0, 0);
        }
    }
    resumePolling();
}

}  // namespace axo
