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
    brake_.SetHandler([this] {
        lines_.BeginAction();
        ReleaseDelta();
        FollowLink(lines_.EndAction(), false, 1);
    });
}

S64xxDriver::~S64xxDriver() {
    brake_.SetEnabled(false);
    brake_.SetHandler(nullptr);
}

void S64xxDriver::RegisterWith(Core& core) {
    core.drivers().Register(InterfaceId::S64xx, [this](int16_t code, DriverParam& p) { return Handle(code, p); });
}

int16_t S64xxDriver::Handle(int16_t code, DriverParam& param) {
    lines_.BeginAction();
    const int16_t status = Dispatch(code, param);
    FollowLink(lines_.EndAction(), code == CMD_START_INTERFACE, status);
    return status;
}

void S64xxDriver::FollowLink(const LineActivity& activity, bool start, int16_t status) {
    if (start) {
        alphaFailing_ = deltaFailing_ = false;
    }
    if (activity.alpha.used) {
        alphaFailing_ = activity.alpha.failed;
    }
    if (activity.delta.used) {
        deltaFailing_ = activity.delta.failed;
    }
    DriverRegistry& drivers = core_.drivers();
    if (start && status == 0 && !lines_.AlphaPortOpen() && !lines_.DeltaPortOpen()) {
        drivers.SetLink(InterfaceId::S64xx, LinkState::Unreachable);
    } else if (alphaFailing_ || deltaFailing_) {
        drivers.SetLink(InterfaceId::S64xx, LinkState::Failing,
                        alphaFailing_ && deltaFailing_ ? "boîtiers Alpha et Delta"
                                                       : (alphaFailing_ ? "boîtier Alpha" : "boîtier Delta"));
    } else if (start || activity.alpha.used || activity.delta.used) {
        drivers.SetLink(InterfaceId::S64xx, LinkState::Answering);
    }
}

int16_t S64xxDriver::Dispatch(int16_t code, DriverParam& param) {
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
        case CMD_START_INTERFACE:
            return Start();
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
    // A start over a running interface (a settings file opened) takes the lines afresh.
    lines_.ReleaseHeld();
    lines_.SetPorts(s.Int(IntKey::S64xx_com_port_alpha) + 1, s.Int(IntKey::S64xx_com_port_delta) + 1);
    const bool bus = s.Int(IntKey::S64xx_RS485) == 1;
    if (bus) {
        Announce("Initialisation interface RS 485");
        lines_.OpenBoxes(3);
        if (!lines_.AlphaPortOpen() || !lines_.DeltaPortOpen()) {
            return 0;
        }
    }
    // Each axis starts if its own line opens: a missing Alpha line does not keep the Delta box
    // from serving. The line that failed said so in its box.
    bool complete = true;
    bool alphaStarted = false;
    bool deltaStarted = false;
    if (Is64xx(IntKey::interface_ra)) {
        Announce("Initialisation interface Alpha");
        if (!bus) {
            lines_.OpenBoxes(1);
        }
        alphaStarted = lines_.AlphaPortOpen();
        complete = complete && alphaStarted;
        if (alphaStarted) {
            alphaOutputs_ = kAlphaOn;
            SendAlpha("Y " + std::to_string(alphaOutputs_));
            PrepareTrackingRate();
        }
    }
    if (Is64xx(IntKey::interface_de)) {
        Announce("Initialisation interface Delta");
        if (!bus) {
            lines_.OpenBoxes(2);
        }
        deltaStarted = lines_.DeltaPortOpen();
        complete = complete && deltaStarted;
        if (deltaStarted) {
            deltaOutputs_ = 0;
            SendDeltaOutputs();
            ApplyBrakeDelay();
            brake_.SetEnabled(false);
        }
    }
    if (Is64xx(IntKey::interface_dome)) {
        Announce("Initialisation interface Coupole");
        Announce("Calibration coupole");
    }
    if (alphaStarted) {
        Announce("Calibration Alpha");
    }
    if (deltaStarted) {
        Announce("Calibration Delta");
    }
    if (!complete) {
        return 0;
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
    // An axis whose line never opened is skipped; the other one is still put to rest.
    int16_t status = 1;
    if (Is64xx(IntKey::interface_ra)) {
        if (lines_.AlphaPortOpen()) {
            alphaOutputs_ = 0;
            SendAlpha("Y 0");
            if (!bus) {
                lines_.CloseBoxes(1);
            }
        } else {
            status = 0;
        }
    }
    if (Is64xx(IntKey::interface_de)) {
        if (lines_.DeltaPortOpen()) {
            deltaOutputs_ = 0;
            SendDelta("Y 0");
            if (!bus) {
                lines_.CloseBoxes(2);
            }
        } else {
            status = 0;
        }
    }
    if (bus) {
        lines_.CloseBoxes(3);
    }
    return status;
}

int16_t S64xxDriver::StopAxis(bool alpha) {
    Send(alpha, "S");
    if (WaitAxisStopped(alpha ? 1 : 2)) {
        return 1;
    }
    if (core_.clock().Interrupted()) {
        return 0;  // the stop-all's own stops follow at once
    }
    if (!lines_.LineLost(alpha)) {
        Send(alpha, "S");
    }
    ReportNotStopped(alpha);
    return 0;
}

void S64xxDriver::ReportNotStopped(bool alpha) {
    if (!lines_.TakeReport(alpha)) {
        return;  // the line's own failure has been told in this action
    }
    const std::string axis = alpha ? "Alpha" : "Delta";
    const std::string what = "Arrêt " + axis + " non confirmé, ordre d'arrêt renvoyé";
    const std::string why = "le boîtier " + axis + " ne confirme pas l'arrêt";
    core_.op().Beep();
    if (core_.settings().Int(IntKey::error_stop) != 1 && core_.state().StartupDone) {
        core_.display().AddErrorMessage("!!! " + what);
        core_.display().AddErrorMessage("!!! " + why);
    } else {
        core_.op().ShowMessage("Erreur", what + "\n" + why, MessageIcon::Exclamation, MessageButtons::Ok);
    }
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
        return StopAxis(true);
    }
    return 1;
}

int16_t S64xxDriver::AlphaMove(int16_t code, const DriverParam& param) {
    if (!lines_.AlphaPortOpen()) {
        return 0;
    }
    if (param.Action != kStart) {
        return StopAxis(true);
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
        const int16_t stopped = StopAxis(false);
        brake_.SetEnabled(true);
        return stopped;
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

bool S64xxDriver::WaitAxisStopped(int16_t axis) {
    if (axis != 1 && axis != 2) {
        return false;
    }
    const bool alpha = axis == 1;
    Clock& clock = core_.clock();
    std::string previous = " ";
    const float start = clock.SecondsSinceMidnight();
    for (;;) {
        // A line that went away answers nothing more in this call; the stop-all ends the wait
        // without a verdict.
        if (clock.Interrupted() || lines_.LineLost(alpha)) {
            return false;
        }
        if (alpha) {
            lines_.FlushAlpha();
            lines_.SendAlpha("C", true);
            lines_.ReadAlpha();
        } else {
            lines_.FlushDelta();
            lines_.SendDelta("C", true);
            lines_.ReadDelta();
        }
        const int32_t count = lines_.LastReadCount();
        if (alpha) {
            lines_.PauseAlpha(kPollPauseMs);
        } else {
            lines_.PauseDelta(kPollPauseMs);
        }
        if (clock.Interrupted()) {
            return false;
        }
        // Only what this read brought counts: the buffer's older bytes are another time's
        // answer, and a box that says nothing has not said it stopped.
        if (count > 0) {
            const std::string reply = CutAtCr(lines_.ReplyBuffer().substr(0, static_cast<std::size_t>(count)));
            if (reply == previous) {
                return true;  // two equal answers: the axis no longer moves
            }
            previous = reply;
        }
        // The time of day goes back to 0 at midnight; counted across it, a box that never
        // repeats its answer still gives the program back after 2 seconds.
        float elapsed = clock.SecondsSinceMidnight() - start;
        if (elapsed < 0) {
            elapsed += kSecondsPerDay;
        }
        if (elapsed > kStopWaitSeconds) {
            return false;
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
