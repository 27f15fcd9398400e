#include "core/command_processor.h"

#include <cmath>

#include "core/codes.h"
#include "core/display.h"

namespace axo {

std::string ModeText(int16_t mode) {
    switch (mode) {
        case SPEED_CENTERING:
            return "Centrage ";
        case SPEED_POINTING:
            return "Pointage ";
        case SPEED_MOVING:
            return "Déplacement ";
        default:
            return "";
    }
}

std::string Fmt2(int value) {
    const std::string digits = std::to_string(value < 0 ? -static_cast<long>(value) : value);
    return (value < 0 ? "-" : "") + (digits.size() < 2 ? "0" + digits : digits);
}

std::string Fmt2(double value) {
    // Number patterns round halves away from zero.
    return Fmt2(static_cast<int>(std::round(value)));
}

MainView& CommandProcessor::View() {
    return display_.View();
}

int16_t CommandProcessor::Parallel(int16_t code, int16_t action, int16_t mode) {
    DriverParam p{action, mode};
    return drivers_.ParallelDriver(code, p);
}

void CommandProcessor::Command(int16_t code, int16_t arg) {
    switch (code) {
        case CMD_TRACKING:
            Tracking(arg);
            break;
        case CMD_DELTA_PLUS:
        case CMD_DELTA_MINUS:
        case CMD_ALPHA_PLUS:
        case CMD_ALPHA_MINUS:
            AxisMotion(code, arg);
            break;
        case CMD_POLL_64XX:
            if (settings_.Int(IntKey::interface_ra) == INTERFACE_64XX) {
                DriverParam p{arg, 0};
                drivers_.S64xxDriver(CMD_POLL_64XX, p);
            }
            break;
        case CMD_DOME_TRACKING:
            DomeTracking(arg);
            break;
        case CMD_DOME_DIR1:
        case CMD_DOME_DIR2:
            DomeRotation(code, arg);
            break;
        case CMD_DOME_REST:
            state_.DomeOperationInterrupted = false;
            display_.AddMessage("Mise au repos de la coupole");
            if (settings_.Int(IntKey::interface_dome) == INTERFACE_PARALLEL) {
                Parallel(CMD_DOME_REST, 0);
            }
            break;
        case CMD_DOME_INIT:
            state_.DomeOperationInterrupted = false;
            display_.AddMessage("Initialisation de la coupole");
            if (settings_.Int(IntKey::interface_dome) == INTERFACE_PARALLEL) {
                Parallel(CMD_DOME_INIT, 0);
            }
            break;
        case CMD_DOME_INIT_STOP:
            DomeInitStop(arg);
            break;
        case CMD_FOCUS_DIR1:
        case CMD_FOCUS_DIR2:
            Focus(code, arg);
            break;
        case CMD_READ_ALPHA:
            ReadAlpha();
            break;
        case CMD_READ_DELTA:
            ReadDelta();
            break;
        case CMD_READ_DOME:
            ReadDome();
            break;
        case CMD_TELESCOPE_AZIMUTH:
            TelescopeAzimuth();
            break;
        case CMD_DOME_REST_STEP:
        case CMD_DOME_TRACK_STEP:
            // Issued only while a flag that only the parallel dome board sets is up.
            Parallel(code, 0);
            break;
        case CMD_CONTROL_MODE:
            ControlMode(arg);
            break;
        case CMD_POLL_BOARDS:
            Parallel(CMD_POLL_BOARDS, 0);
            break;
        case CMD_FILTER:
            Filter();
            break;
        default:
            // The speed-mode codes 6 and 7 are accepted and need nothing here; other codes
            // are not commands of this processor.
            break;
    }
}

void CommandProcessor::AxisMotion(int16_t code, int16_t arg) {
    const bool delta = code == CMD_DELTA_PLUS || code == CMD_DELTA_MINUS;
    const char* label = nullptr;
    switch (code) {
        case CMD_DELTA_PLUS:
            label = "lblControlDeltaP";
            break;
        case CMD_DELTA_MINUS:
            label = "lblControlDeltaM";
            break;
        case CMD_ALPHA_PLUS:
            label = "lblControlAlphaP";
            break;
        default:
            label = "lblControlAlphaM";
            break;
    }
    const int16_t mode = settings_.Int(delta ? IntKey::control_mode_delta : IntKey::control_mode_alpha);
    // The message names the button that was pressed, never the swapped direction.
    const std::string text = ModeText(mode) + View().Text(label);
    if (arg == kStart) {
        display_.AddMessage(text);
    }

    const bool reversed = settings_.Int(delta ? IntKey::reverse_delta : IntKey::reverse_alpha) == 1;
    int16_t driverCode = code;
    if (reversed) {
        driverCode = delta ? (code == CMD_DELTA_PLUS ? CMD_DELTA_MINUS : CMD_DELTA_PLUS)
                           : (code == CMD_ALPHA_PLUS ? CMD_ALPHA_MINUS : CMD_ALPHA_PLUS);
    }
    DriverParam p{arg, mode};
    int16_t status = 1;
    switch (settings_.Int(delta ? IntKey::interface_de : IntKey::interface_ra)) {
        case INTERFACE_PARALLEL:
            status = drivers_.ParallelDriver(driverCode, p);
            break;
        case INTERFACE_64XX:
            status = drivers_.S64xxDriver(driverCode, p);
            break;
        default:
            break;
    }
    // A stop is said done only when the interface says so: a box that did not confirm it has
    // reported why, and a driver busy with another transaction stops the axis once that is over.
    if (arg == kStop && status == 1) {
        display_.AddMessage("Arret " + text);
    }
}

void CommandProcessor::Tracking(int16_t arg) {
    if (arg == kStart) {
        display_.AddMessage("Suivi Raquette");
    }
    DriverParam p{arg, 0};
    int16_t status = 1;
    switch (settings_.Int(IntKey::interface_ra)) {
        case INTERFACE_PARALLEL:
            status = drivers_.ParallelDriver(CMD_TRACKING, p);
            break;
        case INTERFACE_64XX:
            status = drivers_.S64xxDriver(CMD_TRACKING, p);
            break;
        default:
            break;
    }
    // As for the moves: said done only once the interface has done it.
    if (arg == kStop && status == 1) {
        display_.AddMessage("Arret Suivi Raquette");
    }
}

void CommandProcessor::ControlMode(int16_t arg) {
    if (arg == 1) {
        display_.AddMessage("Passage en mode commande");
    } else if (arg == 2) {
        display_.AddMessage("Passage en mode manuel");
    }
    if (state_.ParallelInUse) {
        DriverParam p{arg, 0};
        drivers_.ParallelDriver(CMD_CONTROL_MODE, p);
    }
    if (state_.S64xxInUse) {
        DriverParam p{arg, 0};
        drivers_.S64xxDriver(CMD_CONTROL_MODE, p);
    }
}

void CommandProcessor::DomeTracking(int16_t arg) {
    if (arg == kStart) {
        display_.AddMessage("Suivi Coupole");
    } else if (arg == kStop) {
        display_.AddMessage("Arret Suivi Coupole");
    }
    if (settings_.Int(IntKey::interface_dome) == INTERFACE_PARALLEL) {
        Parallel(CMD_DOME_TRACKING, arg);
    }
}

void CommandProcessor::DomeRotation(int16_t code, int16_t arg) {
    const std::string caption = View().Text(code == CMD_DOME_DIR1 ? "lblDomeDir1" : "lblDomeDir2");
    if (arg == kStart) {
        display_.AddMessage("Mouvement Coupole " + caption);
    } else if (arg == kStop) {
        display_.AddMessage("Arret Mouvement Coupole " + caption);
    }
    if (settings_.Int(IntKey::interface_dome) == INTERFACE_PARALLEL) {
        int16_t driverCode = code;
        if (settings_.Int(IntKey::reverse_dome) == 1) {
            driverCode = code == CMD_DOME_DIR1 ? CMD_DOME_DIR2 : CMD_DOME_DIR1;
        }
        Parallel(driverCode, arg);
    }
}

void CommandProcessor::DomeInitStop(int16_t arg) {
    if (arg != kStop) {
        return;
    }
    if (state_.DomeInitRunning) {
        display_.AddMessage("Arret Initialisation Coupole");
    } else if (state_.DomeRestRunning) {
        display_.AddMessage("Arret mise au repos de la Coupole");
    } else {
        return;
    }
    state_.DomeOperationInterrupted = true;
    if (settings_.Int(IntKey::interface_dome) == INTERFACE_PARALLEL) {
        // Stopping dome tracking stops the dome board, whatever it was doing.
        Parallel(CMD_DOME_TRACKING, kStop);
    }
}

void CommandProcessor::Focus(int16_t code, int16_t arg) {
    const std::string caption = View().Text(code == CMD_FOCUS_DIR1 ? "lblFocusDir1" : "lblFocusDir2");
    if (arg == kStart) {
        display_.AddMessage("Focus " + caption);
    } else if (arg == kStop) {
        display_.AddMessage("Arret Focus " + caption);
    }
    int16_t driverCode = code;
    if (settings_.Int(IntKey::reverse_focus) == 1) {
        driverCode = code == CMD_FOCUS_DIR1 ? CMD_FOCUS_DIR2 : CMD_FOCUS_DIR1;
    }
    Parallel(driverCode, arg);
}

void CommandProcessor::Filter() {
    const std::string colour = View().Text("cmbFilterValue");
    int16_t number = 0;
    if (colour == "Rouge") {
        number = 6;
        display_.AddMessage("Filtre rouge");
    } else if (colour == "Vert") {
        number = 7;
        display_.AddMessage("Filtre vert");
    } else if (colour == "Bleu") {
        number = 8;
        display_.AddMessage("Filtre bleu");
    }
    Parallel(CMD_FILTER, number);
}

}  // namespace axo
