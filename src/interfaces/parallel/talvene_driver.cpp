#include "interfaces/parallel/talvene_driver.h"

namespace axo {

void TalveneDriver::RegisterWith(Core& core) {
    core.drivers().Register(InterfaceId::Talvene, [this](int16_t code, DriverParam& p) { return Handle(code, p); });
    // It reads no coder: with it chosen, the displays say there is no position.
    core.drivers().SetReadingsAvailable(InterfaceId::Talvene, false);
}

void TalveneDriver::Progress(const std::string& text) {
    if (progress_ != nullptr) {
        progress_->ShowProgress(text);
    }
}

int16_t TalveneDriver::Handle(int16_t code, DriverParam& /*param*/) {
    const bool selected = core_.settings().Int(IntKey::interface_coders) == INTERFACE_TALVENE;
    switch (code) {
        case CMD_CALIBRATE_ALPHA:
            core_.display().AddMessage("Calibration Alpha");
            break;
        case CMD_CALIBRATE_DELTA:
            core_.display().AddMessage("Calibration Delta");
            break;
        case CMD_START_INTERFACE:
            if (selected) {
                core_.display().AddMessage("Initialisation interface Talvene");
                Progress("Initialisation interface Talvene");
            }
            Progress("Initialisation de l'interface Talvene terminée");
            break;
        case CMD_STOP_INTERFACE:
            if (selected) {
                core_.display().AddMessage("Arrêt interface TALVENE");
            }
            break;
        default:
            break;
    }
    return 1;
}

}  // namespace axo
