#include "interfaces/serial64xx/s64xx_driver.h"

#include <cmath>

#include "astro/utils.h"
#include "settings/value_text.h"

namespace axo {

namespace {
constexpr int16_t kEngage = 1;      // Delta output: the drive is engaged
constexpr int16_t kSlowShift = 2;   // Delta output: centring or pointing
constexpr int16_t kDriveA = 4;      // Delta outputs: the two drive selections
constexpr int16_t kDriveB = 8;
constexpr int16_t kAlphaOn = 4;
constexpr int16_t kEngagePauseMs = 500;
constexpr int16_t kPollPauseMs = 100;
constexpr float kStopWaitSeconds = 2.0f;
constexpr float kSecondsPerDay = 86400.0f;
}  // namespace

S64xxDriver::S64xxDriver(Core& core, SerialLibrary& sio, IntervalTimer& brakeTimer, LoadProgress* progress)
    : core_(core),
      lines_(sio, core.clock(), core.settings(), core.display(), core.op()),
      brake_(brakeTimer),
      progress_(progress) {
    brake_.SetHandler([this] { ReleaseDelta(); });
}

S64xxDriver::~S64xxDriver() {
    brake_.SetEnabled(false);
    brake_.SetHandler(nullptr);
}

void S64xxDriver::RegisterWith(Core& core) {
    core.drivers().Register(InterfaceId::S64xx, [this](int16_t code, DriverParam& p) { return Handle(code, p); });
}

int16_t S64xxDriver::Handle(int16_t code, DriverParam& param) {
    switch (code) {
        case CMD_TRACKING:
            return Tracking(param);
        case CMD_DELTA_PLUS:
        case CMD_DELTA_MINUS:
            return DeltaMove(code, param);
        case CMD_ALPHA_PLUS:
        case CMD_ALPHA_MINUS:
            return AlphaMove(code, param);
        case CMD_POLL_64XX:
            Poll();
            return 1;
        case CMD_START_INTERFACE: {
            const int16_t status = Start();
            core_.drivers().SetLink(InterfaceId::S64xx, status != 0 ? LinkState::Answering : LinkState::Unreachable);
            return status;
        }
        case CMD_STOP_INTERFACE:
            return Stop();
        default:
            return 1;
    }
}

void S64xxDriver::Announce(const std::string& text) {
    core_.display().AddMessage(text);
    if (progress_ != nullptr) {
        progress_->ShowProgress(text);
    }
}

std::string S64xxDriver::AlphaSign(bool positive) const {
    const bool reversed = core_.settings().Int(IntKey::S64xx_alpha_reverse) == 1;
    return positive != reversed ? "R " : "R-";
}

std::string S64xxDriver::DeltaSign(bool positive) const {
    const bool reversed = core_.settings().Int(IntKey::S64xx_delta_reverse) == 1;
    return positive != reversed ? "R " : "R-";
}

void S64xxDriver::ApplyBrakeDelay() {
    brake_.SetInterval(static_cast<int32_t>(core_.settings().Int(IntKey::S64xx_delta_brake_timer)) * 1000);
}

int16_t S64xxDriver::Start() {
    const Settings& s = core_.settings();
    lines_.SetPorts(s.Int(IntKey::S64xx_com_port_alpha) + 1, s.Int(IntKey::S64xx_com_port_delta) + 1);
    const bool bus = s.Int(IntKey::S64xx_RS485) == 1;
    if (bus) {
        Announce("Initialisation interface RS 485");
        lines_.OpenBoxes(3);
        if (!lines_.AlphaPortOpen() || !lines_.DeltaPortOpen()) {
            return 0;
        }
    }
    if (Is64xx(IntKey::interface_ra)) {
        Announce("Initialisation interface Alpha");
        if (!bus) {
            lines_.OpenBoxes(1);
            if (!lines_.AlphaPortOpen()) {
                return 0;
            }
        }
        alphaOutputs_ = kAlphaOn;
        SendAlpha("Y " + std::to_string(alphaOutputs_));
        PrepareTrackingRate();
    }
    if (Is64xx(IntKey::interface_de)) {
        Announce("Initialisation interface Delta");
        if (!bus) {
            lines_.OpenBoxes(2);
            if (!lines_.DeltaPortOpen()) {
                return 0;
            }
        }
        deltaOutputs_ = 0;
        SendDeltaOutputs();
        ApplyBrakeDelay();
        brake_.SetEnabled(false);
    }
    if (Is64xx(IntKey::interface_dome)) {
        Announce("Initialisation interface Coupole");
        Announce("Calibration coupole");
    }
    if (Is64xx(IntKey::interface_ra)) {
        Announce("Calibration Alpha");
    }
    if (Is64xx(IntKey::interface_de)) {
        Announce("Calibration Delta");
    }
    if (progress_ != nullptr) {
        progress_->ShowProgress("Initialisation de l'interface 64xx terminée");
    }
    return 1;
}

int16_t S64xxDriver::Stop() {
    const bool bus = core_.settings().Int(IntKey::S64xx_RS485) == 1;
    // The outputs go to 0 below: a brake delay still running would write to a closed line.
    brake_.SetEnabled(false);
    if (Is64xx(IntKey::interface_ra)) {
        if (!lines_.AlphaPortOpen()) {
            return 0;
        }
        alphaOutputs_ = 0;
        SendAlpha("Y 0");
        if (!bus) {
            lines_.CloseBoxes(1);
        }
    }
    if (Is64xx(IntKey::interface_de)) {
        if (!lines_.DeltaPortOpen()) {
            return 0;
        }
        deltaOutputs_ = 0;
        SendDelta("Y 0");
        if (!bus) {
            lines_.CloseBoxes(2);
        }
    }
    if (bus) {
        lines_.CloseBoxes(3);
    }
    return 1;
}

int16_t S64xxDriver::Tracking(const DriverParam& param) {
    if (!lines_.AlphaPortOpen()) {
        return 0;
    }
    if (param.Action == kStart) {
        SendAlpha(Text(StringKey::S64xx_alpha_step_trk));
        SendAlpha(Text(StringKey::S64xx_alpha_f_trk));
        SendAlpha(Text(StringKey::S64xx_alpha_s_sb));
        SendAlpha(Text(StringKey::S64xx_alpha_s_sh));
        if (ditherActive_) {
            StartRateDither();
            SendAlpha(AlphaSign(true) + ditherLow_);
        } else {
            SendAlpha(AlphaSign(true) + Text(StringKey::S64xx_alpha_r_trk));
        }
    } else {
        SendAlpha("S");
        WaitAxisStopped(1);
    }
    return 1;
}

int16_t S64xxDriver::AlphaMove(int16_t code, const DriverParam& param) {
    if (!lines_.AlphaPortOpen()) {
        return 0;
    }
    if (param.Action != kStart) {
        SendAlpha("S");
        WaitAxisStopped(1);
        return 1;
    }
    const std::string sign = AlphaSign(code == CMD_ALPHA_PLUS);
    switch (param.Mode) {
        case SPEED_CENTERING:
            SendAlpha(Text(StringKey::S64xx_alpha_step_s));
            SendAlpha(Text(StringKey::S64xx_alpha_f_center));
            SendAlpha(sign + Text(StringKey::S64xx_alpha_r_center));
            break;
        case SPEED_POINTING:
            SendAlpha(Text(StringKey::S64xx_alpha_step_s));
            SendAlpha(Text(StringKey::S64xx_alpha_f_point));
            SendAlpha(sign + Text(StringKey::S64xx_alpha_r_point));
            break;
        case SPEED_MOVING:
            SendAlpha(Text(StringKey::S64xx_alpha_step_f));
            SendAlpha(Text(StringKey::S64xx_alpha_f_move));
            SendAlpha(sign + Text(StringKey::S64xx_alpha_r_move));
            break;
        default:
            break;
    }
    return 1;
}

int16_t S64xxDriver::DeltaMove(int16_t code, const DriverParam& param) {
    if (!lines_.DeltaPortOpen()) {
        return 0;
    }
    if (param.Action != kStart) {
        SendDelta("S");
        WaitAxisStopped(2);
        brake_.SetEnabled(true);
        return 1;
    }
    const std::string sign = DeltaSign(code == CMD_DELTA_PLUS);
    switch (param.Mode) {
        case SPEED_CENTERING:
            SelectDeltaSlowDrive();
            SendDelta(Text(StringKey::S64xx_delta_step_s));
            SendDelta(Text(StringKey::S64xx_delta_f_center));
            EngageDelta(false);
            SendDelta(sign + Text(StringKey::S64xx_delta_r_center));
            break;
        case SPEED_POINTING:
            SelectDeltaSlowDrive();
            SendDelta(Text(StringKey::S64xx_delta_step_s));
            SendDelta(Text(StringKey::S64xx_delta_f_point));
            EngageDelta(false);
            SendDelta(sign + Text(StringKey::S64xx_delta_r_point));
            break;
        case SPEED_MOVING:
            SelectDeltaFastDrive();
            SendDelta(Text(StringKey::S64xx_delta_step_f));
            SendDelta(Text(StringKey::S64xx_delta_f_move));
            EngageDelta(true);
            SendDelta(sign + Text(StringKey::S64xx_delta_r_move));
            break;
        default:
            break;
    }
    return 1;
}

void S64xxDriver::SendDeltaOutputs() {
    SendDelta("Y " + std::to_string(deltaOutputs_));
}

void S64xxDriver::SelectDeltaSlowDrive() {
    const bool fastOnSlave = core_.settings().Int(IntKey::S64xx_delta_fast_on_slave) == 1;
    deltaOutputs_ = static_cast<int16_t>(deltaOutputs_ | (fastOnSlave ? kDriveA : kDriveB));
    SendDeltaOutputs();
    SendDelta(fastOnSlave ? "T 1" : "T 0");
}

void S64xxDriver::SelectDeltaFastDrive() {
    const bool fastOnSlave = core_.settings().Int(IntKey::S64xx_delta_fast_on_slave) == 1;
    deltaOutputs_ = static_cast<int16_t>(deltaOutputs_ | (fastOnSlave ? kDriveB : kDriveA));
    SendDeltaOutputs();
    SendDelta(fastOnSlave ? "T 0" : "T 1");
}

void S64xxDriver::EngageDelta(bool slewing) {
    brake_.SetEnabled(false);
    if (slewing) {
        deltaOutputs_ = static_cast<int16_t>(deltaOutputs_ & ~kSlowShift);
    } else {
        deltaOutputs_ = static_cast<int16_t>(deltaOutputs_ | kSlowShift);
    }
    deltaOutputs_ = static_cast<int16_t>(deltaOutputs_ | kEngage);
    SendDeltaOutputs();
    lines_.PauseDelta(kEngagePauseMs);
}

void S64xxDriver::ReleaseDelta() {
    brake_.SetEnabled(false);
    deltaOutputs_ = static_cast<int16_t>(deltaOutputs_ & ~kEngage);
    SendDeltaOutputs();
    lines_.PauseDelta(kEngagePauseMs);
    deltaOutputs_ = static_cast<int16_t>(deltaOutputs_ & ~kSlowShift);
    SendDeltaOutputs();
    deltaOutputs_ = static_cast<int16_t>(deltaOutputs_ & ~(kDriveA | kDriveB));
    SendDeltaOutputs();
}

void S64xxDriver::WaitAxisStopped(int16_t axis) {
    if (axis != 1 && axis != 2) {
        return;
    }
    const bool alpha = axis == 1;
    Clock& clock = core_.clock();
    std::string previous = " ";
    const float start = clock.SecondsSinceMidnight();
    for (;;) {
        if (alpha) {
            lines_.FlushAlpha();
            lines_.SendAlpha("C", true);
            lines_.ReadAlpha();
            lines_.PauseAlpha(kPollPauseMs);
        } else {
            lines_.FlushDelta();
            lines_.SendDelta("C", true);
            lines_.ReadDelta();
            lines_.PauseDelta(kPollPauseMs);
        }
        const std::string reply = CutAtCr(lines_.ReplyBuffer());
        if (reply == previous) {
            return;  // two equal answers: the axis no longer moves
        }
        previous = reply;
        // The time of day goes back to 0 at midnight; counted across it, a box that never
        // repeats its answer still gives the program back after 2 seconds.
        float elapsed = clock.SecondsSinceMidnight() - start;
        if (elapsed < 0) {
            elapsed += kSecondsPerDay;
        }
        if (elapsed > kStopWaitSeconds) {
            return;
        }
    }
}

void S64xxDriver::PrepareTrackingRate() {
    std::string& text = core_.settings().Str(StringKey::S64xx_alpha_r_trk);
    if (IsDigits(text)) {
        ditherActive_ = false;
        return;
    }
    const std::optional<double> rate = ParseNumberText(text);
    if (!rate || std::fabs(*rate) > 2e9) {
        // Only a hand-edited settings file gets here; the text goes to the box as it is.
        ditherActive_ = false;
        core_.display().AddErrorMessage("!!! Vitesse de suivi Alpha incorrecte : " + text);
        return;
    }
    const double whole = std::floor(*rate);
    ditherFraction_ = *rate - whole;
    const auto low = static_cast<long long>(whole);
    if (ditherFraction_ == 0.0) {
        text = std::to_string(low);
        ditherActive_ = false;
        return;
    }
    ditherLow_ = std::to_string(low);
    ditherHigh_ = std::to_string(low + 1);
    ditherActive_ = true;
}

uint32_t S64xxDriver::AdvanceSwitch(double byMs) const {
    // A 32-bit tick count that wraps: the sum is taken modulo 2^32.
    const double next = RoundHalfEven(static_cast<double>(ditherNext_) + byMs);
    return static_cast<uint32_t>(static_cast<int64_t>(next) & 0xFFFFFFFF);
}

void S64xxDriver::StartRateDither() {
    ditherPhase_ = 1;
    const double period = static_cast<double>(core_.settings().Lng(LongKey::alpha_track_period));
    const double first = RoundHalfEven(period * ditherFraction_);
    ditherNext_ = core_.clock().GetTickCount() + static_cast<uint32_t>(static_cast<int64_t>(first) & 0xFFFFFFFF);
}

void S64xxDriver::RateDitherStep() {
    const double period = static_cast<double>(core_.settings().Lng(LongKey::alpha_track_period));
    if (ditherPhase_ == 1) {
        lines_.SendAlpha(AlphaSign(true) + ditherHigh_, false);
        ditherPhase_ = 2;
        ditherNext_ = AdvanceSwitch(period * ditherFraction_);
    } else {
        lines_.SendAlpha(AlphaSign(true) + ditherLow_, false);
        ditherPhase_ = 1;
        ditherNext_ = AdvanceSwitch(period * (1.0 - ditherFraction_));
    }
}

void S64xxDriver::Poll() {
    const EventProcessor& events = core_.events();
    if (!events.IsEventSet(EVT_TRACKING) || !ditherActive_ || events.IsEventSet(EVT_ALPHA_MINUS) ||
        events.IsEventSet(EVT_ALPHA_PLUS)) {
        return;
    }
    // Compared as a signed difference, so that the wrap of the tick count does not stop it.
    if (static_cast<int32_t>(core_.clock().GetTickCount() - ditherNext_) >= 0) {
        RateDitherStep();
    }
}

}  // namespace axo
