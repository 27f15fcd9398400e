// Messages that the boards put on the input lines when they have something to say, and the
// dome-at-rest notice, turned into "*** " lines of the message list.

#include <string>

#include "interfaces/parallel/input_value.h"
#include "interfaces/parallel/parallel_driver.h"

namespace axo {

namespace {
constexpr const char* kSystem = "Message du SYSTEME";
constexpr const char* kDome = "Message du Micro-Controleur COUPOLE";
constexpr const char* kAlpha = "Message du Micro-Controleur ALPHA";
constexpr const char* kDelta = "Message du Micro-Controleur DELTA";
}  // namespace

void ParallelDriver::CheckBoardMessages() {
    // Neither ready nor acknowledging: a board is showing a message code.
    if (link_.ReadInput() <= kInputNibble) {
        BoardMessage(link_.InputValue());
    }
}

void ParallelDriver::Acknowledge(uint8_t address) {
    link_.Strobe(address, 0);
    WaitMs(core_.clock(), 1);
}

void ParallelDriver::BoardMessage(uint8_t code) {
    std::string title;
    std::string line1;
    std::string line2;
    const auto domeEnded = [this] {
        Acknowledge(kDomeBoard);
        core_.state().DomeInitRunning = false;
        core_.state().DomeRestRunning = false;
        DomeStop();
    };
    switch (code) {
        case 0:
            title = kSystem;
            line1 = "L'électronique n'est pas alimentée";
            break;
        case 1:
            domeEnded();
            title = kDome;
            line1 = "La Coupole est ARRETEE sur sa Position ZERO";
            break;
        case 2:
            domeEnded();
            title = kDome;
            line1 = "La Procédure Init COUPOLE a été ARRETEE";
            break;
        case 3:
            domeEnded();
            title = kDome;
            line1 = "PROBLEME lors de la ROTATION : COUPOLE ARRETEE";
            break;
        case 4:
            domeEnded();
            title = kDome;
            line1 = "COUPOLE ARRETEE : ROTATION TROP LONGUE";
            break;
        case 5:
            Acknowledge(kAlphaBoard);
            title = kAlpha;
            line1 = "La Position Alpha du Télescope est Réinitialisée";
            break;
        case 6:
            Acknowledge(kAlphaBoard);
            title = kAlpha;
            line1 = "La Procédure ZERO-CODEUR a été ARRETEE";
            break;
        case 7:
            Acknowledge(kAlphaBoard);
            title = kAlpha;
            line1 = "Procédure ZERO-CODEUR ARRETEE";
            line2 = "Prépositionnement trop éloigné du zéro";
            break;
        case 8:
            line1 = "Message N° 8";
            break;
        case 10:
            Acknowledge(kDeltaBoard);
            title = kDelta;
            line1 = "La Position Delta du Télescope est Réinitialisée";
            break;
        case 11:
            Acknowledge(kDeltaBoard);
            title = kDelta;
            line1 = "La Procédure ZERO-CODEUR a été ARRETEE";
            break;
        case 12:
            Acknowledge(kDeltaBoard);
            title = kDelta;
            line1 = "Procédure ZERO-CODEUR ARRETEE";
            line2 = "Prépositionnement trop éloigné du zéro";
            break;
        case 16:
            title = kSystem;
            line1 = "La Coupole est à sa position Repos";
            break;
        default:
            return;  // 9, 13, 14, 15: nothing to acknowledge, nothing to say
    }
    link_.Io().Note("message " + std::to_string(code) + (line1.empty() ? "" : " " + line1));
    for (const std::string* text : {&title, &line1, &line2}) {
        if (!text->empty()) {
            core_.display().AddErrorMessage("*** " + *text);
        }
    }
}

}  // namespace axo
