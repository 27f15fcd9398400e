// The driver entry, the motor latches, the start sequence, board resets and failure reports.

#include "interfaces/parallel/parallel_driver.h"

#include "interfaces/parallel/input_value.h"

namespace axo {

namespace {

// Motor latch bytes, active low: bit 0 manual mode, bits 3/4 + and - directions, bit 5
// pointing, bit 6 slewing (neither: centring), bit 7 sidereal tracking (Alpha only).
constexpr uint8_t kLatchCommandMode = 0xFE;
constexpr uint8_t kLatchManualMode = 0xFF;
constexpr uint8_t kLatchTracking = 0x7E;

// Latch byte of a move, or 0 when the speed mode is not one of the three.
uint8_t MoveByte(bool alpha, bool plus, int16_t mode) {
    uint8_t speedBits = 0;
    switch (mode) {
        case SPEED_CENTERING:
            speedBits = 0x60;
            break;
        case SPEED_POINTING:
            speedBits = 0x40;
            break;
        case SPEED_MOVING:
            speedBits = 0x20;
            break;
        default:
            return 0;
    }
    const uint8_t direction = plus ? 0x10 : 0x08;  // the other direction's bit stays high
    // Alpha moves keep sidereal tracking on (bit 7 low); the Delta latch has no tracking.
    const uint8_t tracking = alpha ? 0x00 : 0x80;
    return static_cast<uint8_t>(tracking | speedBits | direction | 0x06);
}

}  // namespace

ParallelDriver::ParallelDriver(Core& core, PortIo& io, ParallelWindows windows)
    : core_(core), settings_(core.settings()), link_(io, core.clock()), windows_(windows) {
    TakeSettingsCopies(settings_);
    settings_.RegisterCopyHolder(this);
}

ParallelDriver::~ParallelDriver() {
    settings_.UnregisterCopyHolder(this);
}

void ParallelDriver::RegisterWith(Core& core) {
    core.drivers().Register(InterfaceId::Parallel, [this](int16_t code, DriverParam& p) { return Handle(code, p); });
}

void ParallelDriver::TakeSettingsCopies(const Settings& settings) {
    domeCount_ = static_cast<uint8_t>(settings.Int(IntKey::NIC) & 0xFF);
}

void ParallelDriver::ReturnSettingsCopies(Settings& settings) {
    settings.Int(IntKey::NIC) = domeCount_;
}

void ParallelDriver::AxisMove(int16_t code, const DriverParam& param) {
    const bool alpha = code == CMD_ALPHA_PLUS || code == CMD_ALPHA_MINUS;
    const bool plus = code == CMD_ALPHA_PLUS || code == CMD_DELTA_PLUS;
    const uint8_t latch = alpha ? kAlphaLatch : kDeltaLatch;
    if (param.Action != kStart) {
        // 0xFE also takes the Alpha latch out of sidereal tracking; the core resumes it.
        MotorLatch(latch, kLatchCommandMode);
        return;
    }
    const uint8_t byte = MoveByte(alpha, plus, param.Mode);
    if (byte != 0) {
        MotorLatch(latch, byte);
    }
}

bool ParallelDriver::PollingCode(int16_t code) const {
    switch (code) {
        case CMD_POLL_BOARDS:
        case CMD_READ_ALPHA:
        case CMD_READ_DELTA:
        case CMD_READ_DOME:
        case CMD_DOME_REST_STEP:
        case CMD_DOME_TRACK_STEP:
            return true;
        default:
            return false;
    }
}

int16_t ParallelDriver::Handle(int16_t code, DriverParam& param) {
    Settings& s = core_.settings();
    Display& display = core_.display();
    if (!portsUsable_ && PollingCode(code)) {
        return 1;  // reported once at the start; the read-out shows that nothing is read
    }
    switch (code) {
        case CMD_TRACKING:
            MotorLatch(kAlphaLatch, param.Action == kStart ? kLatchTracking : kLatchCommandMode);
            break;
        case CMD_DELTA_PLUS:
        case CMD_DELTA_MINUS:
        case CMD_ALPHA_PLUS:
        case CMD_ALPHA_MINUS:
            AxisMove(code, param);
            break;
        case CMD_DOME_TRACKING:
            if (param.Action == kStart) {
                core_.state().DomeTrackingOn = true;
            } else {
                DomeStop();
            }
            break;
        case CMD_DOME_DIR1:
        case CMD_DOME_DIR2:
            if (param.Action == kStart) {
                DomeRotate(code);
            } else {
                DomeStop();
            }
            break;
        case CMD_DOME_REST:
            DomeToRest();
            break;
        case CMD_DOME_INIT:
            DomeInit();
            break;
        case CMD_READ_ALPHA:
            ReadAlphaCoordinates();
            break;
        case CMD_READ_DELTA:
            ReadDeltaCoordinates();
            break;
        case CMD_READ_DOME:
            ReadDomeAzimuth();
            break;
        case CMD_DOME_REST_STEP:
            DomeRestStep();
            break;
        case CMD_DOME_TRACK_STEP:
            DomeFollowStep();
            break;
        case CMD_CONTROL_MODE: {
            const uint8_t byte = param.Action == 1 ? kLatchCommandMode : kLatchManualMode;
            MotorLatch(kAlphaLatch, byte);
            MotorLatch(kDeltaLatch, byte);
            break;
        }
        case CMD_POLL_BOARDS:
            CheckBoardMessages();
            CheckFilterArrival();
            break;
        case CMD_CALIBRATE_ALPHA:
            display.AddMessage("Calibration Alpha");
            SendAlphaCoordinates(s.Int(IntKey::calibr_alpha_h), s.Int(IntKey::calibr_alpha_m),
                                 s.Int(IntKey::calibr_alpha_s));
            break;
        case CMD_CALIBRATE_DELTA:
            display.AddMessage("Calibration Delta");
            SendDeltaCoordinates(s.Int(IntKey::calibr_delta_d), s.Int(IntKey::calibr_delta_m),
                                 s.Int(IntKey::calibr_delta_s), s.Int(IntKey::calibr_delta_neg_zero));
            break;
        case CMD_START_INTERFACE:
            return StartSequence();
        case CMD_STOP_INTERFACE:
            // The hand paddles get the motors back; the boards, dome and filter are left alone.
            MotorLatch(kAlphaLatch, kLatchManualMode);
            MotorLatch(kDeltaLatch, kLatchManualMode);
            break;
        case CMD_SEND_COUNT_ALPHA:
            display.AddMessage("Envoi Variable de comptage Alpha");
            SendCountAlpha(s.Dbl(DoubleKey::count_alpha));
            break;
        case CMD_SEND_COUNT_DELTA:
            display.AddMessage("Envoi Variable de comptage Delta");
            SendCountDelta(s.Dbl(DoubleKey::count_delta));
            break;
        case CMD_ZERO_CODER_ALPHA:
            display.AddMessage("Zéro codeur Alpha");
            ZeroCoderAlpha();
            break;
        case CMD_ZERO_CODER_DELTA:
            display.AddMessage("Zéro codeur Delta");
            ZeroCoderDelta();
            break;
        case CMD_RESET_ALPHA:
            ResetBoard(kAlphaBoard);
            break;
        case CMD_RESET_DELTA:
            ResetBoard(kDeltaBoard);
            break;
        case CMD_RESET_DOME:
            ResetBoard(kDomeBoard);
            break;
        case CMD_FILTER:
            SetFilter(param.Action);
            break;
        default:
            break;  // focus and the other codes need nothing from these boards
    }
    return 1;
}

void ParallelDriver::Progress(const std::string& text) {
    if (windows_.progress != nullptr) {
        windows_.progress->ShowProgress(text);
    }
}

int16_t ParallelDriver::StartSequence() {
    Settings& s = core_.settings();
    Display& display = core_.display();
    Operator& op = core_.op();
    int16_t status = 1;

    Progress("Détection des adresses des ports");
    // The first moment the ports are needed: they are opened here, never earlier, so that a
    // fatal configuration ends the program before any hardware is touched.
    portsUsable_ = link_.Io().EnsureOpen();
    core_.drivers().SetReadingsAvailable(InterfaceId::Parallel, portsUsable_);
    failingBoards_ = {};
    core_.drivers().SetLink(InterfaceId::Parallel, portsUsable_ ? LinkState::Answering : LinkState::Unreachable,
                            portsUsable_ ? std::string() : link_.Io().UnavailableReason());
    if (!portsUsable_) {
        // Said once; no reset, calibration or poll is run against ports that are not there.
        ReportTransmissionFailure("Ports parallèles inaccessibles.", link_.Io().UnavailableReason());
        if (s.Int(IntKey::interface_dome) == INTERFACE_PARALLEL) {
            // The dome board cannot have been calibrated: the same end as its failed calibration.
            FailedDomeCalibration();
        }
        Progress("Initialisation de l'interface // terminée");
        return 0;
    }
    link_.DetectPorts();
    op.ProcessPendingEvents();

    display.AddMessage("Reset des ports parallèles");
    Progress("Reset des ports parallèles");
    link_.ResetPorts();
    op.ProcessPendingEvents();

    const bool alpha = s.Int(IntKey::interface_ra) == INTERFACE_PARALLEL;
    const bool delta = s.Int(IntKey::interface_de) == INTERFACE_PARALLEL;
    const bool dome = s.Int(IntKey::interface_dome) == INTERFACE_PARALLEL;
    Clock& clock = core_.clock();
    if (alpha) {
        Progress("Reset Micro-Contrôleur Alpha");
        WaitMs(clock, 200);
        ResetBoard(kAlphaBoard);
        op.ProcessPendingEvents();
        alpha_ = {};
    }
    if (delta) {
        Progress("Reset Micro-Contrôleur Delta");
        WaitMs(clock, 200);
        ResetBoard(kDeltaBoard);
        op.ProcessPendingEvents();
        delta_ = {};
    }
    if (dome) {
        Progress("Reset Micro-Contrôleur Coupole");
        WaitMs(clock, 200);
        ResetBoard(kDomeBoard);
        op.ProcessPendingEvents();
        dome_ = {};

        display.AddMessage("Calibration coupole");
        Progress("Calibration coupole");
        if (SendDomePosition() != 0) {
            status = 0;
            if (FailedDomeCalibration()) {
                // The program ends: nothing more is sent to boards that could not be set up.
                return status;
            }
        }
    }
    if (alpha) {
        display.AddMessage("Calibration Alpha");
        Progress("Calibration Alpha");
        SendAlphaCoordinates(s.Int(IntKey::calibr_alpha_h), s.Int(IntKey::calibr_alpha_m),
                             s.Int(IntKey::calibr_alpha_s));
    }
    if (delta) {
        display.AddMessage("Calibration Delta");
        Progress("Calibration Delta");
        SendDeltaCoordinates(s.Int(IntKey::calibr_delta_d), s.Int(IntKey::calibr_delta_m),
                             s.Int(IntKey::calibr_delta_s), s.Int(IntKey::calibr_delta_neg_zero));
    }
    Progress("Initialisation de l'interface // terminée");
    return status;
}

bool ParallelDriver::FailedDomeCalibration() {
    if (core_.settings().Int(IntKey::exit_error_init) != 1) {
        return false;
    }
    core_.op().ShowMessage("Erreur", "Le programme va être arrêté. Relancez le\naprès avoir résolu le problème",
                           MessageIcon::Critical, MessageButtons::Ok);
    if (windows_.closer != nullptr) {
        windows_.closer->UnloadMainWindow();
    }
    return true;
}

void ParallelDriver::ResetBoard(int board) {
    Clock& clock = core_.clock();
    const char* name = nullptr;
    switch (board) {
        case kDomeBoard:
            name = "Coupole";
            break;
        case kAlphaBoard:
            name = "Alpha";
            break;
        case kDeltaBoard:
            name = "Delta";
            break;
        default:
            break;
    }
    if (name != nullptr) {
        core_.display().AddMessage(std::string("Reset micro-contrôleur ") + name);
        // The reset code of a board is 16 minus its bus address.
        const auto resetCode = static_cast<uint8_t>(16 - board);
        link_.WriteCommand(static_cast<uint8_t>(0x80 | resetCode));
        WaitMs(clock, 2);
        link_.WriteCommand(resetCode);
        WaitMs(clock, 65);
    }
    if (board == kAlphaBoard) {
        SendCountAlpha(core_.settings().Dbl(DoubleKey::count_alpha));
    } else if (board == kDeltaBoard) {
        SendCountDelta(core_.settings().Dbl(DoubleKey::count_delta));
    }
    link_.WriteCommand(0x80);
    link_.WriteCommand(0x00);
    WaitMs(clock, 65);
}

void ParallelDriver::ShowErrorBox(const std::string& line1, const std::string& line2) {
    core_.op().ShowMessage("Erreur", line1 + "\n" + line2, MessageIcon::Exclamation, MessageButtons::Ok);
}

void ParallelDriver::ReportTransmissionFailure(const std::string& line1, const std::string& line2) {
    core_.op().Beep();
    errorLine1_ = line1;
    errorLine2_ = line2;
    if (core_.settings().Int(IntKey::error_stop) != 1 && core_.state().StartupDone) {
        core_.display().AddErrorMessage("!!! " + line1);
        core_.display().AddErrorMessage("!!! " + line2);
    } else {
        ShowErrorBox(line1, line2);
    }
}

void ParallelDriver::ReportReceptionFailure(int board, ReadCounters& counters) {
    counters.failures = 0;
    if (counters.reports >= 2) {
        return;  // the board was reset twice already; say nothing more until it answers
    }
    ++counters.reports;
    BoardAnswered(board, false);
    core_.op().Beep();
    switch (board) {
        case kAlphaBoard:
            errorLine1_ = "Réception des coordonnées Alpha impossible";
            errorLine2_ = "La platine Alpha ne répond pas et va être réinitialisée";
            break;
        case kDeltaBoard:
            errorLine1_ = "Réception des coordonnées Delta impossible.";
            errorLine2_ = "La platine Delta ne répond pas et va être réinitialisée";
            break;
        default:
            errorLine1_ = "Réception du nombre d'impulsion coupole impossible.";
            errorLine2_ = "La platine coupole ne répond pas et va être réinitialisée";
            break;
    }
    if (core_.settings().Int(IntKey::error_stop) != 1) {
        core_.display().AddErrorMessage("!!! " + errorLine1_);
        core_.display().AddErrorMessage("!!! " + errorLine2_);
    } else {
        ShowErrorBox(errorLine1_, errorLine2_);
    }
    WaitMs(core_.clock(), 200);
    ResetBoard(board);
    link_.WaitReadySet();
}

void ParallelDriver::BoardAnswered(int board, bool answered) {
    if (board < 0 || board >= static_cast<int>(failingBoards_.size())) {
        return;
    }
    failingBoards_[static_cast<std::size_t>(board)] = !answered;
    std::string failing;
    const std::pair<int, const char*> names[] = {{kAlphaBoard, "platine Alpha"}, {kDeltaBoard, "platine Delta"},
                                                 {kDomeBoard, "platine coupole"}};
    for (const auto& [b, name] : names) {
        if (failingBoards_[static_cast<std::size_t>(b)]) {
            failing += (failing.empty() ? "" : ", ") + std::string(name);
        }
    }
    core_.drivers().SetLink(InterfaceId::Parallel, failing.empty() ? LinkState::Answering : LinkState::Failing, failing);
}

void ParallelDriver::CountFailedPoll(int board, ReadCounters& counters) {
    ++counters.failures;
    if (counters.failures > 20) {
        ReportReceptionFailure(board, counters);
    }
}

}  // namespace axo
