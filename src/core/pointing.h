#pragma once

// The go-to: sends the telescope to a right ascension and declination of date (or to its park
// position) and stops it there, by the same event-table presses and releases as the hand
// paddle, so the reverse flags, the speed modes of each interface, the guards and the message
// list behave as for the observer. It reads where the telescope is from the coders on every
// polling tick, and never lets the telescope leave the pointing limits.
//
// Each axis is driven on its own: Déplacement while far, Pointage closer, Centrage at the end;
// it lets go of an axis early enough for the axis to coast to the target (a short press is timed:
// its speed has not settled), looks again once the axis has stopped, and corrects an overshoot. The target's hour angle is
// recomputed on every tick, as the sky turns during the slew.
//
// It stops itself (both axes, and says why in the message list and the night log) on anything
// that makes its picture of the mount wrong: the observer's own commands, a coder that cannot be
// read, an interface that stops answering, an axis that does not get nearer (a stall), a slew
// that lasts far longer than its distance allows, or the telescope leaving the limits.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/pointing_limits.h"

namespace axo {

class Core;

// What the telescope is doing, as the window, the status bar, the night log and the link see it.
enum class MountState { Idle, Slewing, Settling, Tracking, Parking, Parked };

// "à l'arrêt", "en mouvement", ...
const char* MountStateText(MountState state);
// "Centrage", "Pointage", "Déplacement"; "" for anything else.
const char* SpeedModeName(int16_t mode);

// Speeds of one axis in degrees of axis rotation per second, Centrage, Pointage, Déplacement.
struct AxisSpeeds {
    double centring = 0.0667;
    double pointing = 0.5;
    double slewing = 2.0;
    double Of(int16_t mode) const;
    double& Of(int16_t mode);
};

// What the drives of an interface give with the built-in settings, until the coders tell.
AxisSpeeds NominalSpeeds(int16_t interfaceNumber, bool hourAngleAxis);

// What the go-to is doing now, for its window and the status bar.
struct GotoProgress {
    bool active = false;
    bool parking = false;
    std::string target;
    // Signed distance still to go on each axis, degrees of axis (hour angle, declination).
    double haLeftDeg = 0.0;
    double decLeftDeg = 0.0;
    int16_t haMode = 0;  // the speed mode in use (0: the axis is still)
    int16_t decMode = 0;
    double secondsLeft = 0.0;
    MountState state = MountState::Idle;
};

class Pointing {
public:
    explicit Pointing(Core& core) : core_(core) {}

    void SetLimits(const PointingLimits& limits) { limits_ = limits; }
    const PointingLimits& Limits() const { return limits_; }
    // Starts a go-to to a position of date. Returns "" when started, else why it was refused
    // (nothing has moved then).
    std::string GoTo(double raRad, double decRad, const std::string& name, bool trackOnArrival);
    std::string Park();
    // Why no go-to can start now, whatever the target (manual mode, declutched, no interface
    // to move an axis, no position): "" when one can. The link answers a planetarium with it
    // before the interface thread sees the request.
    std::string CannotStart(bool positionKnown) const;

    // Every polling tick, after the coders were read.
    void Tick();

    // Stops a go-to in progress: both axes let go, the reason in the message list. Nothing when
    // no go-to runs.
    void Abort(const std::string& reason);

    bool Active() const { return active_; }
    // How the last go-to or park ended ("Véga atteint en 42 s", "Pointage de Véga arrêté : ..."),
    // "" while one runs or before the first.
    const std::string& Outcome() const { return outcome_; }
    MountState State() const;
    GotoProgress Progress() const;
    // The tolerance of each axis, degrees: one polling tick (as long as the ticks really take)
    // of Centrage travel, plus two coder steps.
    double ToleranceDeg(int axis) const;
    // The smallest change of an axis the coders can show, degrees.
    double CoderStepDeg(int axis) const;

    // Checks a position against the limits: "" inside, else why not (in French). Hour angle
    // in signed hours, east negative.
    std::string OutsideLimits(double haHours, double decDeg) const;
    // Altitude in degrees of a position at the site.
    double AltitudeDeg(double haHours, double decDeg) const;
    // Hour angle of date (signed hours) of a right ascension now.
    double HourAngleNow(double raRad) const;

    // The state changed (for the night log and the status bar).
    void SetStateObserver(std::function<void(MountState)> observer) { observer_ = std::move(observer); }
    // The observer or a client moved the telescope by hand: it is no longer parked.
    void ClearParked();

private:
    struct Axis {
        int16_t mode = 0;      // 0: let go
        int direction = 0;     // +1 / -1 while pressed
        uint32_t pressedAt = 0;
        uint32_t releasedAt = 0;
        uint32_t releaseStart = 0;  // when the release went out (its confirmation may hold the thread)
        double pressPos = 0.0;      // where the axis stood when pressed
        bool coasting = false;  // let go, not yet seen still
        double releasePos = 0.0;
        double releaseSpeed = 0.0;
        int16_t releaseMode = 0;
        bool done = false;
        bool held = false;      // still, because moving would leave the limits
        // Stall watch: the distance at the start of the window.
        double anchorDist = 0.0;
        double anchorPos = 0.0;
        uint32_t anchorAt = 0;
        int historyCount = 0;
        double lastPos = 0.0;
        double speed = 0.0;  // measured, degrees per second, signed
        // The last readings of a press at speed, from which position and speed are fitted.
        std::array<uint32_t, 8> seenAt{};
        std::array<double, 8> seenPos{};
        std::size_t seen = 0;
        // How much later than the press the axis seems to have started at full speed (the
        // drive's ramp and the interface's delays), from that line; unknown below 0.
        double lag = -1.0;
    };

    std::string Start(const std::string& name, bool parking, bool trackOnArrival);
    bool ReadPosition(double& haDeg, double& decDeg) const;
    double TargetHaDeg() const;
    // Drives an axis from this tick's reading (`letGo`: let go of it with the other one). Returns
    // true when it pressed or let go (the thread was held meanwhile).
    bool Drive(int axis, bool letGo);
    void Press(int axis, int direction, int16_t mode);
    void Release(int axis);
    // Counts how long a press or release held the thread (learnt into `cost`).
    void LearnHold(double& cost, uint32_t since);
    // Where a moving axis is by now, from this tick's reading and its speed: how far it still is.
    double DistanceNow(int axis) const;
    // The signed distance to aim at on an axis from this tick's reading, degrees.
    double AimDeg(int axis) const;
    // Whether the hour angle is stopped a little ahead of the target, for the sky to bring it.
    bool LandsAhead(int axis) const;
    // How long before this tick's reading a clock time was (negative: after it).
    double SecondsBeforeReading(uint32_t when) const;
    bool WorthSpeedingUp(int axis, double haDeg, double decDeg) const;
    // Whether pressing this axis now would have it due to be let go while the other one's
    // release holds the thread, or the other way round.
    bool ReleasesClash(int axis, int16_t mode, double dist) const;
    // Whether an axis due to be let go `mine` seconds from now would be while the other one's
    // release, due `theirs` seconds from now, holds the thread (or the other way round).
    bool Clash(int axis, double mine, double theirs) const;
    // From pressing an axis in this mode to letting go of it `dist` degrees on, seconds.
    double PressToReleaseS(int axis, int16_t mode, double dist) const;
    // In how many seconds the interface is due to let go of the stopped Delta's brake, which
    // holds the thread (very large: not due).
    double BrakeDueS() const;
    // How long after a Delta stop its brake is let go, seconds (below 0: not on the boxes).
    double BrakeDelayS() const;
    // Which axis to press first when both are to be pressed.
    int PressFirst() const;
    // What a press of this axis and mode held `held` seconds adds, seconds of its speed.
    double PulseExtraS(int axis, int16_t mode, double held) const;
    bool Moving(int axis) const { return axes_[axis].direction != 0; }
    // Where an axis is and how fast it goes, from this tick's reading `pos` (a line through the
    // last readings once it runs at speed).
    void Follow(int axis, double pos, double sinceLast);
    // How long before a moving axis must be let go to stop on the target (negative: overdue).
    double SecondsToRelease(int axis, bool lookingAhead) const;
    // Whether a moving axis will be let go in this tick, or within `aheadS` seconds after it.
    bool ReleaseDue(int axis, double aheadS) const;
    void Finish();
    void Stop(const std::string& reason, bool error);
    double StoppingDistance(int axis, int16_t mode, double speed) const;
    // When the coders will next be read, at the latest, seconds from now.
    double LookS() const;
    // Whether pressing and letting go of an axis hold the thread longer than a tick (a box's
    // transactions; not the latches).
    bool TouchHolds(int axis) const;
    int16_t ModeFor(int axis, double distance) const;
    double TickSeconds() const;
    bool PathAllowed(int axis, double haDeg, double decDeg, int direction, double reach) const;
    // How far an axis may still go at this mode's speed before it can be stopped.
    double Reach(int axis, int16_t mode) const;
    void Notify();

    Core& core_;
    PointingLimits limits_;
    std::array<AxisSpeeds, 2> speeds_{};
    std::array<int16_t, 2> speedsFor_{0, 0};  // the interfaces the speeds were learnt on
    // Per axis and speed mode (Centrage, Pointage, Déplacement).
    std::array<std::array<double, 3>, 2> stopTime_{{{1.0, 1.0, 1.0}, {1.0, 1.0, 1.0}}};
    std::array<std::array<bool, 3>, 2> stopLearnt_{};  // whether the coders have shown it yet
    // Per axis and mode, how late a press gets to full speed (see Axis::lag); below 0 unknown.
    std::array<std::array<double, 3>, 2> lagS_{{{-1.0, -1.0, -1.0}, {-1.0, -1.0, -1.0}}};
    // A short press, from rest to rest, carries an axis its mode's speed times the time it was
    // held plus a little (the drive's ramps and the interface's delays; less for a press too short
    // to get up to speed). Learnt from the coders over the last short presses of each axis and
    // mode; from it a short press is timed rather than judged on a speed that has not settled.
    struct Pulses {
        std::array<double, 8> held{};   // how long each of the last presses was held, seconds
        std::array<double, 8> extra{};  // and what it added
        std::size_t next = 0;
        std::size_t count = 0;
    };
    std::array<std::array<Pulses, 3>, 2> pulses_{};
    // The longest recent time between two ticks: a transaction that holds the thread (a box
    // confirming its stop) delays the next look at the coders.
    double latencyS_ = 0.0;
    uint32_t lastTickAt_ = 0;
    // What a polling tick really lasts while the go-to runs (the boxes' transactions hold the
    // thread): the finest step the closed loop can make is one such tick of Centrage.
    double tickMeanS_ = 0.0;
    // How long pressing and letting go of each axis hold the thread (a box's commands and
    // pauses, a box confirming its stop): the other axis runs unwatched meanwhile. Learnt; kept
    // from one go-to to the next.
    std::array<double, 2> pressCostS_{0.0, 0.0};
    std::array<double, 2> releaseCostS_{0.0, 0.0};
    // When this tick's coder reading was taken, and how long our own presses and releases held
    // the thread since the last tick (the latency of the polling itself leaves them out: they
    // are counted where they happen).
    uint32_t readAt_ = 0;
    double ownHoldS_ = 0.0;
    std::array<double, 2> errorDeg_{0.0, 0.0};  // this tick's signed distance to go per axis
    bool active_ = false;
    bool parking_ = false;
    bool parked_ = false;
    bool settling_ = false;
    uint32_t settleSince_ = 0;
    bool trackAfter_ = false;
    bool wasTracking_ = false;
    std::string name_;
    std::string outcome_;
    double raRad_ = 0.0;
    double decRad_ = 0.0;
    uint32_t startedAt_ = 0;
    double timeAllowedS_ = 0.0;
    std::array<Axis, 2> axes_{};
    bool decLetGo_ = false;  // the Delta was last let go by the go-to, at `decLetGoAt_`
    uint32_t decLetGoAt_ = 0;
    double lastTargetHaDeg_ = 0.0;
    MountState lastState_ = MountState::Idle;
    std::function<void(MountState)> observer_;
    bool driving_ = false;  // our own presses are going out
    std::string stopWhileDriving_;  // why the operator stopped it meanwhile (empty: not stopped)
    // Our presses are out: a stop that came meanwhile now ends the go-to.
    void DoneDriving();
    friend class Core;
};

}  // namespace axo
