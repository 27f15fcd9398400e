#include "core/pointing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "astro/formulas.h"
#include "astro/mathlib.h"
#include "core/core.h"

namespace axo {

namespace {

constexpr int kHa = 0;
constexpr int kDec = 1;
// Ticks the stall watch looks back over, at least.
constexpr double kStallTicks = 10.0;
// A press shorter than this is timed (speed × time held + what the drive adds); a longer one is
// let go on the speed the coders measure, which has settled by then.
constexpr double kPulseS = 2.0;
// How fast the sky carries a target's hour angle, degrees per second.
constexpr double kSkyDegPerS = 360.0 / 86164.0905;

double Wrap24(double hours) {
    double h = std::fmod(hours, 24.0);
    if (h <= -12.0) {
        h += 24.0;
    } else if (h > 12.0) {
        h -= 24.0;
    }
    return h;
}

const char* AxisName(int axis) { return axis == kHa ? "Alpha" : "Delta"; }

}  // namespace

const char* MountStateText(MountState state) {
    switch (state) {
        case MountState::Idle:
            return "à l'arrêt";
        case MountState::Slewing:
            return "en mouvement";
        case MountState::Settling:
            return "stabilisation";
        case MountState::Tracking:
            return "suivi sidéral";
        case MountState::Parking:
            return "parcage en cours";
        case MountState::Parked:
            return "parqué";
    }
    return "";
}

const char* SpeedModeName(int16_t mode) {
    switch (mode) {
        case SPEED_CENTERING:
            return "Centrage";
        case SPEED_POINTING:
            return "Pointage";
        case SPEED_MOVING:
            return "Déplacement";
        default:
            return "";
    }
}

double& AxisSpeeds::Of(int16_t mode) {
    return mode == SPEED_MOVING ? slewing : mode == SPEED_POINTING ? pointing : centring;
}

AxisSpeeds NominalSpeeds(int16_t interfaceNumber, bool hourAngleAxis) {
    if (interfaceNumber == INTERFACE_64XX) {
        // The boxes' built-in rates and step sizes: Alpha 12.5 and 21 times sidereal, slewing
        // about 3.3°/s; Delta 2 and 4 times sidereal, slewing on the fast drive about 0.42°/s.
        return hourAngleAxis ? AxisSpeeds{0.052, 0.087, 3.33} : AxisSpeeds{0.0084, 0.0167, 0.417};
    }
    return AxisSpeeds{};  // the motor electronics of the parallel latches
}

double AxisSpeeds::Of(int16_t mode) const {
    switch (mode) {
        case SPEED_CENTERING:
            return centring;
        case SPEED_POINTING:
            return pointing;
        case SPEED_MOVING:
            return slewing;
        default:
            return 0.0;
    }
}

double Pointing::TickSeconds() const {
    return std::max(1, static_cast<int>(core_.settings().Int(IntKey::timer_value))) / 1000.0;
}

double Pointing::CoderStepDeg(int axis) const {
    // What the coders can tell apart: the position is read to the second of time and to the
    // arc-second, and the encoder card counts in steps of its resolution.
    const Settings& s = core_.settings();
    double haSeconds = 1.0;
    double decArcsec = 1.0;
    if (s.Int(IntKey::interface_coders) == INTERFACE_EIK120) {
        haSeconds = std::max(haSeconds, std::fabs(s.Dbl(DoubleKey::Eik120_alpha_res)));
        decArcsec = std::max(decArcsec, std::fabs(s.Dbl(DoubleKey::Eik120_delta_res)));
    }
    return axis == kHa ? haSeconds * 15.0 / 3600.0 : decArcsec / 3600.0;
}

double Pointing::ToleranceDeg(int axis) const {
    // The release is decided on a reading, and the axis goes on for up to a tick before the
    // next one: one tick (as long as the ticks really last) of Centrage travel.
    return speeds_[axis].centring * std::max(TickSeconds(), tickMeanS_) + 2.0 * CoderStepDeg(axis);
}

double Pointing::AltitudeDeg(double haHours, double decDeg) const {
    return AltitudeAt(core_.state().Site.latitude, haHours, decDeg);
}

std::string Pointing::OutsideLimits(double haHours, double decDeg) const {
    return axo::OutsideLimits(limits_, core_.state().Site.latitude, haHours, decDeg);
}

namespace {
// How far outside the limits a position is, degrees (0 inside).
double Violation(const Pointing& p, const PointingLimits& l, double haDeg, double decDeg) {
    const double ha = haDeg / 15.0;
    double v = std::max(0.0, -l.hourAngleEastH - ha) * 15.0 + std::max(0.0, ha - l.hourAngleWestH) * 15.0;
    v += std::max(0.0, l.declinationMinDeg - decDeg) + std::max(0.0, decDeg - l.declinationMaxDeg);
    v += std::max(0.0, l.minAltitudeDeg - p.AltitudeDeg(ha, decDeg));
    return v;
}
}  // namespace

double Pointing::HourAngleNow(double raRad) const {
    const PcDateTime now = core_.clock().Now();
    const DateTimeRecord when = DateTimeOf(now);
    const double lst = SideralTime(when, core_.state().Site);
    return Wrap24((lst - raRad) * 12.0 / kPi);
}

bool Pointing::ReadPosition(double& haDeg, double& decDeg) const {
    const Position& p = core_.position();
    if (!CodersReadable(core_.drivers(), core_.settings().Int(IntKey::interface_coders)) || p.DeclinationOutOfRange) {
        return false;
    }
    haDeg = Wrap24(HmsToHours(p.HourAngleH, p.HourAngleM, p.HourAngleS)) * 15.0;
    const double dec = DmsToDegrees(p.DeclinationD, p.DeclinationM, p.DeclinationS);
    decDeg = p.DeclinationNegative == 1 ? -dec : dec;
    return true;
}

double Pointing::TargetHaDeg() const {
    return parking_ ? limits_.parkHourAngleH * 15.0 : HourAngleNow(raRad_) * 15.0;
}

namespace {
std::size_t ModeIndex(int16_t mode) {
    return mode == SPEED_MOVING ? 2 : mode == SPEED_POINTING ? 1 : 0;
}
}  // namespace

double Pointing::LookS() const {
    return std::max(TickSeconds(), latencyS_);
}

bool Pointing::TouchHolds(int axis) const {
    return pressCostS_[axis] + releaseCostS_[axis] >= TickSeconds();
}

double Pointing::StoppingDistance(int axis, int16_t mode, double speed) const {
    return std::fabs(speed) * (stopTime_[axis][ModeIndex(mode)] + LookS());
}

int16_t Pointing::ModeFor(int axis, double distance) const {
    // The quickest way there: a faster mode costs a press, a release and a stop more (the
    // finish at a lower speed), and must not carry the axis past the target even when let go
    // at the first look after the press.
    const double look = LookS();
    const double stage = pressCostS_[axis] + releaseCostS_[axis] + TickSeconds();
    int16_t best = SPEED_CENTERING;
    double bestTime = distance / std::max(speeds_[axis].centring, 1e-9);
    for (int16_t mode : {SPEED_POINTING, SPEED_MOVING}) {
        const double v = speeds_[axis].Of(mode);
        // A timed press ends within about a tenth of a second of its travel: at a speed slow
        // enough for that to stay inside the tolerance, it needs no finish.
        const bool finish = v * 0.1 > ToleranceDeg(axis);
        const double time = distance / std::max(v, 1e-9) + (finish ? stage + stopTime_[axis][ModeIndex(mode)] : 0.0);
        const double shortest = v * (look + std::max(0.0, PulseExtraS(axis, mode, look)));
        if (distance > shortest && time < bestTime) {
            best = mode;
            bestTime = time;
        }
    }
    return best;
}

double Pointing::Reach(int axis, int16_t mode) const {
    const double v = speeds_[axis].Of(mode);
    // One more tick, and, while the other axis moves, the time its release may hold the thread;
    // when the boxes' Delta brake is let go before the next look, the time that holds it.
    double held = Moving(1 - axis) ? releaseCostS_[1 - axis] : 0.0;
    if (axis == kHa && BrakeDueS() < 2.0 * LookS()) {
        held = std::max(held, pressCostS_[kDec]);
    }
    return StoppingDistance(axis, mode, v) + v * (TickSeconds() + held);
}

bool Pointing::PathAllowed(int axis, double haDeg, double decDeg, int direction, double reach) const {
    // Both axes go on as they go until they could be stopped: the other one's way counts too.
    const int other = 1 - axis;
    const double now = Violation(*this, limits_, haDeg, decDeg);
    // Outside (the observer left it there), each move must bring it back on its own.
    const double otherWay = axes_[other].direction != 0 && now == 0.0
                                ? axes_[other].direction * Reach(other, axes_[other].mode)
                                : 0.0;
    // The reach is where the axis stops if let go at the next look, the other's hold counted:
    // checked there and half way (a limit is not straight).
    for (double f : {0.5, 1.0}) {
        const double way = direction * reach * f;
        const double ha = haDeg + (axis == kHa ? way : otherWay * f);
        const double dec = decDeg + (axis == kDec ? way : otherWay * f);
        const double then = Violation(*this, limits_, ha, dec);
        // Inside, it must stay inside; outside, it may only come back.
        if (then > 0.0 && then >= now) {
            return false;
        }
    }
    return true;
}

std::string Pointing::CannotStart(bool positionKnown) const {
    const Settings& s = core_.settings();
    const auto moves = [](int16_t i) { return i == INTERFACE_PARALLEL || i == INTERFACE_64XX; };
    if (s.Int(IntKey::manual_mode) != 0) {
        return "la monture est en mode manuel";
    }
    if (s.Int(IntKey::ungear) != 0) {
        return "la monture est débrayée";
    }
    if (!moves(s.Int(IntKey::interface_ra))) {
        return "aucune interface ne déplace l'axe Alpha";
    }
    if (!moves(s.Int(IntKey::interface_de))) {
        return "aucune interface ne déplace l'axe Delta";
    }
    if (!positionKnown) {
        return "position inconnue : les codeurs ne sont pas lus";
    }
    return "";
}

std::string Pointing::GoTo(double raRad, double decRad, const std::string& name, bool trackOnArrival) {
    raRad_ = raRad;
    decRad_ = decRad;
    return Start(name, false, trackOnArrival);
}

std::string Pointing::Park() {
    return Start("position de parcage", true, false);
}

std::string Pointing::Start(const std::string& name, bool parking, bool trackOnArrival) {
    Settings& s = core_.settings();
    double ha = 0.0;
    double dec = 0.0;
    std::string refusal = CannotStart(ReadPosition(ha, dec));
    const std::array<int16_t, 2> interfaces{s.Int(IntKey::interface_ra), s.Int(IntKey::interface_de)};
    if (interfaces != speedsFor_) {
        speeds_ = {NominalSpeeds(interfaces[kHa], true), NominalSpeeds(interfaces[kDec], false)};
        speedsFor_ = interfaces;
        // Until the coders tell: the boxes ramp down in some tenths of a second, the latches'
        // motors stop at once and only the tube's inertia carries on.
        for (int a : {kHa, kDec}) {
            stopTime_[static_cast<std::size_t>(a)].fill(interfaces[static_cast<std::size_t>(a)] == INTERFACE_64XX ? 0.6 : 0.3);
            pulses_[static_cast<std::size_t>(a)] = {};
            stopLearnt_[static_cast<std::size_t>(a)] = {};
            lagS_[static_cast<std::size_t>(a)].fill(-1.0);
        }
    }
    const double targetDec = parking ? limits_.parkDeclinationDeg : R2D(decRad_);
    double targetHa = parking ? limits_.parkHourAngleH : HourAngleNow(raRad_);
    if (refusal.empty()) {
        refusal = OutsideLimits(targetHa, targetDec);
    }
    // The sky turns during the slew: the target must still be inside when the telescope gets there.
    const double haTime = std::fabs(targetHa * 15.0 - ha) / std::max(speeds_[kHa].slewing, 1e-6);
    const double decTime = std::fabs(targetDec - dec) / std::max(speeds_[kDec].slewing, 1e-6);
    const double estimate = std::max(haTime, decTime) + 10.0;
    if (refusal.empty() && !parking) {
        refusal = OutsideLimits(targetHa + estimate * 1.0027 / 3600.0, targetDec);
        if (!refusal.empty()) {
            refusal = "la cible sortira des limites avant l'arrivée (" + refusal + ")";
        }
    }
    if (!refusal.empty()) {
        core_.display().AddErrorMessage("*** Pointage de " + name + " refusé : " + refusal);
        return refusal;
    }
    if (active_) {
        Stop("nouvelle cible", false);
    }
    EventProcessor& events = core_.events();
    wasTracking_ = events.IsEventSet(EVT_TRACKING);
    trackAfter_ = !parking && (trackOnArrival || wasTracking_);
    stopWhileDriving_.clear();
    driving_ = true;
    events.StopTelescopeEvents(true);
    // The slew runs with tracking off: a box that starts a move while it tracks changes its step
    // size at the tracking rate, and the axis jumps before it turns the right way. The
    // hour-angle axis takes up the sky's turn once the declination axis has arrived.
    if (wasTracking_) {
        events.SetEvent(EVT_TRACKING, 0);
    }
    DoneDriving();
    lastTickAt_ = core_.clock().GetTickCount();
    latencyS_ = 0.0;
    active_ = true;
    parking_ = parking;
    parked_ = false;
    settling_ = false;
    name_ = name;
    decRad_ = D2R(targetDec);
    startedAt_ = core_.clock().GetTickCount();
    // Three times what the distance needs at full speed, and time for the finish.
    timeAllowedS_ = 3.0 * estimate + 30.0;
    for (int a : {kHa, kDec}) {
        axes_[a] = Axis{};
        axes_[a].lastPos = a == kHa ? ha : dec;
    }
    const auto number = [](const char* format, double value) {
        char buf[32];
        std::snprintf(buf, sizeof buf, format, value);
        std::string t(buf);
        std::replace(t.begin(), t.end(), '.', ',');  // the French decimal comma
        return t;
    };
    const std::string line = std::string(parking ? "Parcage" : "Pointage") + " vers " + name + " (angle horaire " +
                             number("%+.2f", targetHa) + " h, déclinaison " + number("%+.2f", targetDec) + "°)";
    core_.display().AddMessage(line);
    outcome_.clear();
    if (!stopWhileDriving_.empty()) {
        Stop(std::exchange(stopWhileDriving_, std::string()), false);  // stopped as tracking was let go
        return "";
    }
    Notify();
    return "";
}

void Pointing::Press(int axis, int direction, int16_t mode) {
    Axis& a = axes_[axis];
    const int16_t axisCode = axis == kHa ? CMD_ALPHA_MODE : CMD_DELTA_MODE;
    const IntKey key = axis == kHa ? IntKey::control_mode_alpha : IntKey::control_mode_delta;
    driving_ = true;
    const uint32_t before = core_.clock().GetTickCount();
    if (core_.settings().Int(key) != mode) {
        core_.SetAxisSpeedMode(axisCode, mode);
    }
    const int plus = axis == kHa ? EVT_ALPHA_PLUS : EVT_DELTA_PLUS;
    const int minus = axis == kHa ? EVT_ALPHA_MINUS : EVT_DELTA_MINUS;
    core_.events().SetEvent(direction > 0 ? plus : minus, 1);
    DoneDriving();
    LearnHold(pressCostS_[axis], before);
    a.mode = mode;
    a.direction = direction;
    a.pressedAt = core_.clock().GetTickCount();
    a.pressPos = a.lastPos;
    decLetGo_ = decLetGo_ && axis != kDec;
    a.coasting = false;
    a.historyCount = 0;
    a.seen = 0;
    a.lag = -1.0;
}

void Pointing::Release(int axis) {
    Axis& a = axes_[axis];
    if (a.direction == 0) {
        return;
    }
    driving_ = true;
    const int plus = axis == kHa ? EVT_ALPHA_PLUS : EVT_DELTA_PLUS;
    const int minus = axis == kHa ? EVT_ALPHA_MINUS : EVT_DELTA_MINUS;
    const uint32_t before = core_.clock().GetTickCount();
    core_.events().SetEvent(a.direction > 0 ? plus : minus, 0);
    DoneDriving();
    LearnHold(releaseCostS_[axis], before);
    a.direction = 0;
    a.coasting = true;
    a.releasedAt = core_.clock().GetTickCount();
    if (axis == kDec) {
        decLetGo_ = true;  // kept from one go-to to the next: the brake may be due in the next one
        decLetGoAt_ = a.releasedAt;
    }
    a.releaseStart = before;
    a.releasePos = a.lastPos + a.speed * static_cast<int32_t>(before - readAt_) / 1000.0;  // where it was let go
    a.releaseSpeed = std::fabs(a.speed);
    a.releaseMode = a.mode;
    if (a.lag >= 0.0 && a.lag < 2.0) {
        double& lag = lagS_[axis][ModeIndex(a.mode)];
        lag = lag < 0.0 ? a.lag : 0.5 * lag + 0.5 * a.lag;
    }
}

void Pointing::LearnHold(double& cost, uint32_t since) {
    const double held = (core_.clock().GetTickCount() - since) / 1000.0;
    ownHoldS_ += held;
    // The longest seen, forgotten slowly: a stop a box confirms late must not surprise twice.
    cost = std::max(held, 0.8 * cost + 0.2 * held);
}

double Pointing::SecondsBeforeReading(uint32_t when) const {
    return static_cast<int32_t>(readAt_ - when) / 1000.0;  // negative for after it
}

double Pointing::DistanceNow(int axis) const {
    const Axis& a = axes_[axis];
    const double since = (core_.clock().GetTickCount() - readAt_) / 1000.0;
    return std::fabs(AimDeg(axis) - (a.direction != 0 ? a.speed * since : 0.0));
}

bool Pointing::LandsAhead(int axis) const {
    // The hour-angle axis that arrives while the other one still works is stopped a little
    // ahead of the target: the sky brings the target to it, and it stays inside the tolerance
    // longer. Where each touch of it holds the thread (the boxes), that saves touching it again.
    return axis == kHa && TouchHolds(axis) && !axes_[kDec].done;
}

double Pointing::AimDeg(int axis) const {
    if (axis != kHa) {
        return errorDeg_[axis];
    }
    // The target's hour angle goes on growing until the axis is at rest: from the reading to its
    // release, while the interface confirms it, and through the coast.
    const Axis& a = axes_[axis];
    const double rest = (core_.clock().GetTickCount() - readAt_) / 1000.0 + releaseCostS_[axis] +
                        stopTime_[axis][ModeIndex(a.mode)];
    const double drift = kSkyDegPerS * std::max(rest, 0.0);
    return errorDeg_[axis] + drift + (LandsAhead(axis) ? 0.5 * ToleranceDeg(axis) : 0.0);
}

double Pointing::SecondsToRelease(int axis, bool lookingAhead) const {
    const Axis& a = axes_[axis];
    // In Centrage nothing finer follows: rather short than past, or the axis would swing about
    // the target.
    const double margin = a.mode > SPEED_CENTERING || LandsAhead(axis) ? 0.0 : 0.3 * ToleranceDeg(axis);
    const double held = (core_.clock().GetTickCount() - a.pressedAt) / 1000.0;
    if (held < kPulseS) {
        // Timed: held until what it adds, at the length it will then have been held, brings it
        // there (a press that gets up to speed meanwhile adds more than one let go now).
        const double v = std::max(speeds_[axis].Of(a.mode), 1e-9);
        const double want = (a.direction * (AimDeg(axis) + a.lastPos - a.pressPos) - margin) / v;
        double until = held;
        for (int i = 0; i < 3; ++i) {
            until = want - PulseExtraS(axis, a.mode, until);
        }
        return until - held;
    }
    // Looking ahead, an axis still getting up to speed is taken at the speed it is getting to.
    const double measured = std::fabs(a.speed);
    const double v = std::max(lookingAhead ? std::max(measured, speeds_[axis].Of(a.mode)) : measured, 1e-9);
    const double coast = v * stopTime_[axis][ModeIndex(a.mode)];
    return (DistanceNow(axis) - coast - margin) / v;
}

bool Pointing::ReleaseDue(int axis, double aheadS) const {
    // Let go in this tick (waiting in it for the moment, rather than a look later) or within
    // `aheadS` seconds of it.
    return SecondsToRelease(axis, aheadS > 0.0) <= aheadS + LookS();
}

double Pointing::PulseExtraS(int axis, int16_t mode, double held) const {
    const std::size_t m = ModeIndex(mode);
    // A press that got up to speed adds its stop less its lag (see lagS_), known once longer
    // presses of this axis were seen; one too short to get up to speed ends on its ramp and adds
    // less. Each is taken from the last presses of its kind, of about that length (within some
    // tenths of a second, a drive's ramp).
    double lag = lagS_[axis][m];
    for (double other : lagS_[axis]) {
        lag = lag >= 0.0 ? lag : other;
    }
    const bool known = stopLearnt_[axis][m] && lag > 0.0;
    const bool upToSpeed = known && held >= lag;
    const Pulses& p = pulses_[axis][m];
    double sum = 0.0;
    double weights = 0.0;
    for (std::size_t i = 0; i < p.count; ++i) {
        if (!known || (p.held[i] >= lag) == upToSpeed) {
            const double w = std::exp(-std::fabs(p.held[i] - held) / 0.4);
            sum += w * p.extra[i];
            weights += w;
        }
    }
    if (weights > 1e-6) {
        return sum / weights;
    }
    if (!known) {
        return 0.0;
    }
    // None of its kind yet: at speed, the stop less the lag; on the way up, about in proportion.
    const double atSpeed = stopTime_[axis][m] - lag;
    return upToSpeed ? atSpeed : atSpeed * std::max(held, 0.0) / lag;
}

double Pointing::PressToReleaseS(int axis, int16_t mode, double dist) const {
    const double v = std::max(speeds_[axis].Of(mode), 1e-9);
    const double run = dist / v;
    const double drive = run < kPulseS ? PulseExtraS(axis, mode, run) : stopTime_[axis][ModeIndex(mode)];
    return pressCostS_[axis] + run - drive;
}

bool Pointing::Clash(int axis, double mine, double theirs) const {
    // Letting go of an axis holds the thread while its interface confirms the stop: were one
    // axis due to be let go while the other one's release holds it, it would be let go late and
    // overshoot.
    const int other = 1 - axis;
    const double look = LookS();
    if (releaseCostS_[axis] + releaseCostS_[other] < 2.0 * look) {
        return false;  // nothing worth waiting for (the latches)
    }
    // Two looks of margin: the other's release is itself let go within its tick.
    return mine > theirs - releaseCostS_[axis] - 2.0 * look && mine < theirs + releaseCostS_[other] + 2.0 * look;
}

bool Pointing::ReleasesClash(int axis, int16_t mode, double dist) const {
    // The press waits until its release falls after the other's.
    return Clash(axis, PressToReleaseS(axis, mode, dist), SecondsToRelease(1 - axis, true));
}

double Pointing::BrakeDueS() const {
    // Some seconds after the boxes' Delta stops, unless it is pressed again, its interface lets
    // go of the Delta brake, and that holds the thread about as long as engaging it for a press.
    const double delay = BrakeDelayS();
    if (delay < 0.0 || Moving(kDec) || !decLetGo_) {
        return 1e9;
    }
    // Once due, it is let go before the next look (which forgets it).
    return delay - (core_.clock().GetTickCount() - decLetGoAt_) / 1000.0;
}

double Pointing::BrakeDelayS() const {
    const Settings& s = core_.settings();
    return s.Int(IntKey::interface_de) == INTERFACE_64XX ? s.Int(IntKey::S64xx_delta_brake_timer) : -1.0;
}

int Pointing::PressFirst() const {
    // Both axes are to be pressed: the second press waits if it would hold the thread as the
    // first one falls due, or if its release would clash with the first one's; it then waits for
    // the whole first move. The order that has both let go sooner goes.
    std::array<double, 2> run{};
    for (int a : {kHa, kDec}) {
        const double way = std::fabs(AimDeg(a));
        run[a] = PressToReleaseS(a, ModeFor(a, way), way);
    }
    const auto over = [&](int first) {
        const int second = 1 - first;
        const bool waits = run[first] - pressCostS_[first] <= pressCostS_[second] + TickSeconds() + LookS() ||
                           Clash(second, pressCostS_[first] + run[second], run[first]);
        const double secondFrom = waits ? run[first] + releaseCostS_[first] : pressCostS_[first];
        return std::max(run[first] + releaseCostS_[first], secondFrom + run[second] + releaseCostS_[second]);
    };
    return over(kDec) < over(kHa) ? kDec : kHa;
}

bool Pointing::WorthSpeedingUp(int axis, double ha, double dec) const {
    // An axis pressed slowly near a limit goes on slowly once the way is open (the other axis
    // took it away from the limit): it is let go, to be pressed again faster, when the time
    // saved pays for the stop and the new start.
    const Axis& a = axes_[axis];
    const double dist = DistanceNow(axis);
    const int16_t faster = ModeFor(axis, dist);
    if (faster <= a.mode || !PathAllowed(axis, ha, dec, a.direction, std::min(2.0 * Reach(axis, faster), dist + Reach(axis, faster)))) {
        return false;
    }
    const double saved = dist / std::max(speeds_[axis].Of(a.mode), 1e-9) - dist / speeds_[axis].Of(faster);
    const double cost = 2.0 * (pressCostS_[axis] + releaseCostS_[axis] + stopTime_[axis][ModeIndex(faster)]) + TickSeconds();
    return saved > cost;
}

bool Pointing::Drive(int axis, bool letGo) {
    Axis& a = axes_[axis];
    const double tick = TickSeconds();
    const double pos = a.lastPos;
    const double dist = std::fabs(errorDeg_[axis]);
    const int dir = errorDeg_[axis] >= 0 ? 1 : -1;
    const double tol = ToleranceDeg(axis);
    const double ha = axes_[kHa].lastPos;
    const double dec = axes_[kDec].lastPos;

    if (a.direction != 0) {
        // Judged where it is by now: the other axis's presses and releases held the thread since
        // the reading.
        const double unwatched = std::fabs(a.speed) * (core_.clock().GetTickCount() - readAt_) / 1000.0;
        if (letGo || dir != a.direction || !PathAllowed(axis, ha, dec, a.direction, Reach(axis, a.mode) + unwatched) ||
            WorthSpeedingUp(axis, ha, dec)) {
            Release(axis);
            return true;
        }
        // Due before the next look: the release waits in this tick for its moment, rather than
        // come up to a tick of travel early or late. The wait gives way to the stop-all.
        const double in = SecondsToRelease(axis, false);
        if (in < LookS()) {
            if (in > 0.0) {
                WaitMs(core_.clock(), static_cast<int32_t>(std::lround(in * 1000.0)));
                if (!active_) {
                    return false;  // the stop-all came during the wait and let go of both axes
                }
            }
            Release(axis);
            return true;
        }
        // The stall watch starts once the axis had time to get up to speed.
        // Judged on the reading's time, not the clock's: a transaction of the other axis since the
        // reading is time the coders have not seen.
        if (SecondsBeforeReading(a.pressedAt) > stopTime_[axis][ModeIndex(a.mode)] + 2.0 * tick) {
            // Looked at over long enough for the axis to cross a few coder steps at this speed.
            // A second at least: a tick that holds the thread (a box confirming a stop) must not
            // pass for a whole window.
            const double window =
                std::max({1.0, kStallTicks * tick, 6.0 * CoderStepDeg(axis) / speeds_[axis].Of(a.mode)});
            const double watched = SecondsBeforeReading(a.anchorAt);
            if (a.historyCount == 0) {
                a.anchorDist = dist;
                a.anchorPos = pos;
                a.anchorAt = readAt_;
            } else if (watched >= window) {
                // Not nearer by more than a coder step: the axis does not follow its drive (a
                // brake, a clutch, an obstacle, a wrong sense).
                if (a.anchorDist - dist < CoderStepDeg(axis)) {
                    Stop(std::string("axe ") + AxisName(axis) + " bloqué ? il ne se rapproche pas de la cible", true);
                    return false;
                }
                // The speed this mode really gives, over the whole window: at low speed a tick
                // sees a coder step or none, too coarse to learn from. The next plans use it. An
                // axis far slower than expected is more likely held than slow, and is left to
                // the stall watch.
                double& v = speeds_[axis].Of(a.mode);
                const double measured = std::fabs(pos - a.anchorPos) / watched;
                if (measured > 0.5 * v) {
                    v = 0.7 * v + 0.3 * measured;
                }
                a.anchorDist = dist;
                a.anchorPos = pos;
                a.anchorAt = readAt_;
            }
            ++a.historyCount;
        }
        return false;
    }
    if (a.coasting) {
        const bool still = std::fabs(a.speed) < speeds_[axis].centring * 0.25;
        const double since = SecondsBeforeReading(a.releasedAt);
        double& stopTime = stopTime_[axis][ModeIndex(a.releaseMode)];
        if (!(still && since >= tick) && since < 3.0 * stopTime + 2.0 * tick) {
            return false;
        }
        a.coasting = false;
        const double pressed = static_cast<int32_t>(a.releaseStart - a.pressedAt) / 1000.0;
        const double v = speeds_[axis].Of(a.releaseMode);
        // Still or not: three stop times on, what is left of a coast is within a coder step, and
        // a short press that is never learnt from is never timed better.
        if (pressed < kPulseS && v > 0.0) {
            Pulses& p = pulses_[axis][ModeIndex(a.releaseMode)];
            p.held[p.next] = pressed;
            p.extra[p.next] = std::clamp(std::fabs(pos - a.pressPos) / v - pressed, -2.0, 2.0);
            p.next = (p.next + 1) % p.held.size();
            p.count = std::min(p.count + 1, p.held.size());
        }
        if (pressed >= kPulseS && a.releaseSpeed > speeds_[axis].centring * 0.5) {
            // How long the axis really took to stop, as the coders saw it: the next stop of
            // this speed is planned with it.
            const double learnt = std::clamp(std::fabs(pos - a.releasePos) / a.releaseSpeed, 0.0, 5.0);
            // The first one seen replaces the guess outright.
            bool& known = stopLearnt_[axis][ModeIndex(a.releaseMode)];
            stopTime = known ? 0.5 * stopTime + 0.5 * learnt : learnt;
            known = true;
        }
    }
    // Once there, an axis is taken up again only when the other one has arrived too, or is far
    // enough from its release to run unwatched meanwhile: each touch of it holds the thread while
    // its interface confirms the stop. The hour angle drifts with the sky until then. Where
    // touching it costs nothing (the latches), it is kept there.
    const Axis& other = axes_[1 - axis];
    const double farS = pressCostS_[axis] + releaseCostS_[axis] + 0.5;
    const double otherDueS = other.direction != 0 ? SecondsToRelease(1 - axis, false) : 0.0;
    const bool otherFar = otherDueS > farS;
    const bool otherBusy = TouchHolds(axis) && !otherFar && (other.direction != 0 || other.coasting || !(other.done || other.held));
    // While the other axis is far, an hour angle that the sky will have carried out of the
    // tolerance by the time the other arrives is taken up once more before it does, so that it is
    // inside then.
    bool driftsOut = false;
    bool letDrift = false;
    if (axis == kHa && !parking_ && otherFar && TouchHolds(axis)) {
        // Until both are still: the other's release, its coast, and the ticks that see it still.
        const double untilOther =
            otherDueS + releaseCostS_[1 - axis] + stopTime_[1 - axis][ModeIndex(other.mode)] + 3.0 * TickSeconds();
        const double drift = kSkyDegPerS * untilOther;
        // As late as it can be (the other will be too near for it at the next look): one taking up
        // must last until the other arrives.
        const double way = std::fabs(AimDeg(axis));
        const double takeUp = PressToReleaseS(axis, ModeFor(axis, way), way) + releaseCostS_[axis] + 0.5;
        const bool lastChance = otherDueS - LookS() <= std::max(farS, takeUp);
        driftsOut =
            lastChance && std::fabs(errorDeg_[axis] + drift) > tol && errorDeg_[axis] > 0.0 && drift <= 3.0 * tol;
        // Until then it drifts, up to some tolerances past (a short press to win back): each touch
        // holds the thread and says two lines in the messages, and the one at the last chance
        // does for all.
        letDrift = !lastChance && errorDeg_[axis] > 0.0 && dist <= 6.0 * tol;
    }
    // Where touching it costs nothing (the latches), an hour angle is kept within half the
    // tolerance while the other axis moves: the sky must not carry it out as the other arrives.
    const double keep = axis == kHa && !parking_ && !TouchHolds(axis) && other.direction != 0 ? 0.5 * tol : tol;
    if (((dist <= keep || letDrift) && !driftsOut) || (a.done && otherBusy)) {
        a.done = true;
        a.held = false;
        return false;
    }
    a.done = false;
    // An overshoot is won back like any distance: the presses are timed, so the quickest mode
    // that has room does not swing about the target.
    const double way = std::fabs(AimDeg(axis));  // the same sense as `dir`: the aim stays inside the tolerance
    const int16_t quickest = ModeFor(axis, way);
    int16_t mode = quickest;
    // Near a limit, slower, and only with room to spare: an axis let go at the edge of the
    // allowed region must not be pressed again at once only to be let go a tick later.
    // The look ahead goes past the target by what the axis may go on after a look: an
    // overshoot goes past it.
    while (!PathAllowed(axis, ha, dec, dir, std::min(2.0 * Reach(axis, mode), way + Reach(axis, mode)))) {
        if (mode == SPEED_CENTERING) {
            // A target on the edge of the limits (the park at the pole): Centrage goes only as
            // far as the target itself, let go short of it and, while it moves, before the edge.
            if (PathAllowed(axis, ha, dec, dir, way / 1.5)) {
                break;
            }
            a.held = true;
            return false;
        }
        --mode;
    }
    // Kept from its quickest mode by a limit that the other axis's move takes it away from: it
    // waits for the way to open rather than crawl, when that is sooner there.
    if (mode < quickest && Moving(1 - axis)) {
        const double open = SecondsToRelease(1 - axis, true) + releaseCostS_[1 - axis];
        const double fast =
            open + way / std::max(speeds_[axis].Of(quickest), 1e-9) + stopTime_[axis][ModeIndex(quickest)];
        if (fast < way / std::max(speeds_[axis].Of(mode), 1e-9)) {
            a.held = true;
            return false;
        }
    }
    a.held = false;
    // Where a press holds the thread (the boxes), it waits while the other axis nears its release.
    if (Moving(1 - axis) && TouchHolds(axis) &&
        (ReleaseDue(1 - axis, pressCostS_[axis] + tick) || ReleasesClash(axis, mode, way))) {
        return false;
    }
    // Nor is a press of the hour angle let go while the Delta brake is let go (pressing the Delta
    // itself keeps the brake): it waits until the brake is off, at most as long as it would run.
    // And a Delta press whose brake would be let go as the moving hour angle falls due waits.
    const double brakeHold = pressCostS_[kDec];
    if (axis == kHa) {
        const double brake = BrakeDueS();
        const double mine = PressToReleaseS(axis, mode, way);
        if (mine > brake - LookS() && mine < brake + brakeHold + LookS()) {
            return false;
        }
    } else if (Moving(kHa) && BrakeDelayS() >= 0.0) {
        const double brake = PressToReleaseS(axis, mode, way) + releaseCostS_[kDec] + BrakeDelayS();
        const double theirs = SecondsToRelease(kHa, true);
        if (brake > theirs - brakeHold - LookS() && brake < theirs + releaseCostS_[kHa] + LookS()) {
            return false;
        }
    }
    Press(axis, dir, mode);
    return true;
}

void Pointing::Follow(int axis, double pos, double sinceLast) {
    Axis& x = axes_[axis];
    if (sinceLast > 0.0) {
        // Smoothed: one coder step between two ticks is a large jump at low speed.
        x.speed = 0.5 * x.speed + 0.5 * (pos - x.lastPos) / sinceLast;
    }
    x.lastPos = pos;
    // Once the axis runs at speed, a line through its last readings: a single reading is a coder
    // step out, which at slewing speed is some milliseconds of travel, as much as a release may
    // be off by. Let go of by a line, the axis stops where it was planned within a fraction of a
    // step.
    const double settled = stopTime_[axis][ModeIndex(x.mode)] + 2.0 * TickSeconds();
    if (x.direction == 0 || SecondsBeforeReading(x.pressedAt) <= settled) {
        x.seen = 0;
        return;
    }
    const std::size_t n = x.seenAt.size();
    x.seenAt[x.seen % n] = readAt_;
    x.seenPos[x.seen % n] = pos;
    ++x.seen;
    const std::size_t count = std::min(x.seen, n);
    if (count < 4) {
        return;
    }
    double mt = 0.0;
    double mz = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        mt += -SecondsBeforeReading(x.seenAt[i]);
        mz += x.seenPos[i];
    }
    mt /= static_cast<double>(count);
    mz /= static_cast<double>(count);
    double stt = 0.0;
    double stz = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double t = -SecondsBeforeReading(x.seenAt[i]) - mt;
        stt += t * t;
        stz += t * (x.seenPos[i] - mz);
    }
    if (stt < 0.01 * 0.01) {
        return;
    }
    x.speed = stz / stt;
    x.lastPos = mz - x.speed * mt;  // the line at this reading's time
    if (x.seen == x.seenAt.size() && std::fabs(x.speed) > 1e-9) {
        // Where the first full line meets the place the press started from, after the press
        // (later, a small error in its slope would be drawn out over the whole press).
        x.lag = (x.pressPos - x.lastPos) / x.speed + SecondsBeforeReading(x.pressedAt);
    }
}

void Pointing::Tick() {
    if (!active_) {
        Notify();
        return;
    }
    Settings& s = core_.settings();
    if (s.Int(IntKey::manual_mode) != 0) {
        Stop("mode manuel", false);
        return;
    }
    if (s.Int(IntKey::ungear) != 0) {
        Stop("monture débrayée", false);
        return;
    }
    for (const auto& [key, name] : {std::pair{IntKey::interface_ra, "Alpha"}, std::pair{IntKey::interface_de, "Delta"}}) {
        const int16_t n = s.Int(key);
        const InterfaceId id = n == INTERFACE_64XX ? InterfaceId::S64xx : InterfaceId::Parallel;
        const LinkState link = core_.drivers().Link(id).state;
        if (link == LinkState::Unreachable || link == LinkState::Failing) {
            Stop(std::string("l'interface de l'axe ") + name + " ne répond plus", true);
            return;
        }
    }
    double ha = 0.0;
    double dec = 0.0;
    if (!ReadPosition(ha, dec)) {
        Stop("codeurs illisibles, position inconnue", true);
        return;
    }
    const uint32_t now = core_.clock().GetTickCount();
    const double sinceLast = (now - lastTickAt_) / 1000.0;
    lastTickAt_ = now;
    readAt_ = now;
    // Our own presses and releases are counted where they happen, and the Delta brake once it
    // fell due (the first long gap after that is its own); what is left is the polling's.
    const double gap = std::max(sinceLast - ownHoldS_, 0.0);
    const double brake = BrakeDueS();
    const bool braked = brake <= 0.0 && gap > 2.0 * TickSeconds();
    if (braked || brake < -(pressCostS_[kDec] + 2.0 * TickSeconds())) {
        decLetGo_ = false;
    }
    if (!braked) {
        latencyS_ = std::max(gap, latencyS_ * 0.95);
    }
    ownHoldS_ = 0.0;
    tickMeanS_ = tickMeanS_ <= 0.0 ? sinceLast : 0.95 * tickMeanS_ + 0.05 * sinceLast;
    const double before = Violation(*this, limits_, axes_[kHa].lastPos, axes_[kDec].lastPos);
    const double violation = Violation(*this, limits_, ha, dec);
    for (int a : {kHa, kDec}) {
        Follow(a, a == kHa ? ha : dec, sinceLast);
    }
    if (violation > 0.0 && violation > before + 1e-9) {
        Stop("hors limites : " + OutsideLimits(ha / 15.0, dec), true);
        return;
    }
    const double targetHa = TargetHaDeg();
    lastTargetHaDeg_ = targetHa;
    const double targetDec = R2D(decRad_);
    if (!parking_) {
        const std::string out = OutsideLimits(targetHa / 15.0, targetDec);
        if (!out.empty()) {
            Stop("la cible est sortie des limites (" + out + ")", true);
            return;
        }
    }
    if ((now - startedAt_) / 1000.0 > timeAllowedS_) {
        char text[64];
        std::snprintf(text, sizeof text, "délai de %.0f s dépassé", timeAllowedS_);
        Stop(text, true);
        return;
    }
    errorDeg_ = {targetHa - axes_[kHa].lastPos, targetDec - axes_[kDec].lastPos};
    // Letting go of an axis holds the thread while its interface confirms the stop: a moving axis
    // that would pass its own release point meanwhile is let go in the same tick, and the one
    // whose overshoot would take longer to win back goes first.
    std::array<bool, 2> letGo{false, false};
    const std::array<bool, 2> due{Moving(kHa) && ReleaseDue(kHa, 0.0), Moving(kDec) && ReleaseDue(kDec, 0.0)};
    for (int a : {kHa, kDec}) {
        const int o = 1 - a;
        if (due[a] && !due[o] && Moving(o) && ReleaseDue(o, releaseCostS_[a])) {
            letGo[o] = true;
        }
    }
    const auto overshootIfSecond = [&](int a) {
        const Axis& x = axes_[a];
        const double room = DistanceNow(a) - StoppingDistance(a, x.mode, x.speed) - 0.3 * ToleranceDeg(a);
        return std::max(0.0, std::fabs(x.speed) * releaseCostS_[1 - a] - room) / speeds_[a].slewing;
    };
    const auto toPress = [&](int a) {
        return !Moving(a) && !axes_[a].coasting && std::fabs(errorDeg_[a]) > ToleranceDeg(a);
    };
    const int first = toPress(kHa) && toPress(kDec) ? PressFirst()
                      : overshootIfSecond(kDec) > overshootIfSecond(kHa) ? kDec
                                                                         : kHa;
    const int second = 1 - first;
    Drive(first, letGo[first]);
    if (!active_) {
        return;
    }
    // The second is judged after the first one's release, where it is by then.
    const bool secondActed = Drive(second, false);
    if (!active_) {
        return;
    }
    if (secondActed && Moving(first)) {
        Drive(first, false);  // again, after the time the other held the thread
        if (!active_) {
            return;
        }
    }
    const bool haStill = axes_[kHa].direction == 0 && !axes_[kHa].coasting;
    const bool decStill = axes_[kDec].direction == 0 && !axes_[kDec].coasting;
    // Every axis that still has a way to go is held by the limits, and nothing moves that could
    // open the way: waiting would not help.
    const bool stuck = (axes_[kHa].done || axes_[kHa].held) && (axes_[kDec].done || axes_[kDec].held) &&
                       (axes_[kHa].held || axes_[kDec].held);
    if (haStill && decStill && stuck) {
        Stop("pas de chemin dans les limites vers la cible", true);
        return;
    }
    if (axes_[kHa].done && axes_[kDec].done) {
        if (!settling_) {
            settling_ = true;
            settleSince_ = now;
        } else if ((now - settleSince_) / 1000.0 >= TickSeconds()) {  // two readings in a row
            Finish();
            return;
        }
    } else {
        settling_ = false;
    }
    Notify();
}

void Pointing::Finish() {
    active_ = false;
    settling_ = false;
    char text[200];
    std::snprintf(text, sizeof text, "%s atteint%s en %.0f s", parking_ ? "Position de parcage" : name_.c_str(),
                  parking_ ? "e" : "", (core_.clock().GetTickCount() - startedAt_) / 1000.0);
    core_.display().AddMessage(text);
    outcome_ = text;
    if (parking_) {
        parked_ = true;
    } else if (trackAfter_) {
        driving_ = true;
        core_.events().SetEvent(EVT_TRACKING, 1);
        DoneDriving();
    }
    stopWhileDriving_.clear();  // nothing left to stop
    parking_ = false;
    Notify();
}

void Pointing::Stop(const std::string& reason, bool error) {
    if (!active_) {
        return;
    }
    active_ = false;  // before the releases: a stop that comes during them has nothing more to end
    stopWhileDriving_.clear();
    for (int a : {kHa, kDec}) {
        Release(a);
    }
    const std::string line =
        (parking_ ? std::string("Parcage") : "Pointage de " + name_) + " arrêté : " + reason;
    settling_ = false;
    parking_ = false;
    outcome_ = line;
    if (error) {
        core_.display().AddErrorMessage("!!! " + line);
    } else {
        core_.display().AddMessage(line);
    }
    Notify();
}

void Pointing::Abort(const std::string& reason) {
    // An operator's stop that comes while one of our own presses is going out (a box transaction
    // waits, and lets the stop-all through) is kept for the moment the press is out: dropped, the
    // go-to would press again after Arrêt général.
    if (driving_) {
        if (stopWhileDriving_.empty()) {
            stopWhileDriving_ = reason;
        }
        return;
    }
    if (active_) {
        Stop(reason, false);
    }
}

void Pointing::DoneDriving() {
    driving_ = false;
    if (active_ && !stopWhileDriving_.empty()) {
        Stop(std::exchange(stopWhileDriving_, std::string()), false);
    }
}

void Pointing::ClearParked() {
    if (!driving_) {
        parked_ = false;
    }
}

MountState Pointing::State() const {
    if (active_) {
        if (settling_) {
            return MountState::Settling;
        }
        return parking_ ? MountState::Parking : MountState::Slewing;
    }
    const EventProcessor& events = core_.events();
    for (int slot : {EVT_ALPHA_MINUS, EVT_ALPHA_PLUS, EVT_DELTA_MINUS, EVT_DELTA_PLUS}) {
        if (events.IsEventSet(slot)) {
            return MountState::Slewing;
        }
    }
    if (events.IsEventSet(EVT_TRACKING)) {
        return MountState::Tracking;
    }
    return parked_ ? MountState::Parked : MountState::Idle;
}

GotoProgress Pointing::Progress() const {
    GotoProgress p;
    p.active = active_;
    p.parking = parking_;
    p.target = name_;
    p.state = State();
    if (!active_) {
        return p;
    }
    p.haLeftDeg = lastTargetHaDeg_ - axes_[kHa].lastPos;
    p.decLeftDeg = R2D(decRad_) - axes_[kDec].lastPos;
    p.haMode = axes_[kHa].direction != 0 ? axes_[kHa].mode : int16_t{0};
    p.decMode = axes_[kDec].direction != 0 ? axes_[kDec].mode : int16_t{0};
    p.secondsLeft = std::max(std::fabs(p.haLeftDeg) / std::max(speeds_[kHa].slewing, 1e-6),
                             std::fabs(p.decLeftDeg) / std::max(speeds_[kDec].slewing, 1e-6));
    return p;
}

void Pointing::Notify() {
    const MountState now = State();
    if (now != lastState_) {
        lastState_ = now;
        if (observer_) {
            observer_(now);
        }
    }
}

}  // namespace axo
