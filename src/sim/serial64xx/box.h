#pragma once

// One simulated 6420 stepper-controller box. It takes command lines (without their carriage
// return) and answers some of them; its motor runs at the rate of the last "R" command,
// ramping to it, and drives one axis of the mount.
//
// Rate model. "R n" runs the motor at n steps a second in the positive sense, "R-n" in the
// negative sense; the step-size command "\k" sets the fraction of a full step each step
// makes, and one step turns the axis by
//       (sidereal rate / 1541) x 4^(8 - k) degrees,
// so "\8" with the default tracking rate 1541 turns the hour-angle axis at the sidereal rate.
// With the built-in settings: Alpha centring "\5" 300 is 12.5 x sidereal (0.05 deg/s),
// pointing "\5" 500 is 21 x sidereal, slewing "\3" 1200 about 3.3 deg/s. The Delta box has
// two drives, its own motor and the 6410 slave's, one of them geared 64 times faster (by
// default the slave's): Delta centring "\6" 200 is 2 x sidereal, pointing 4 x, slewing on
// the fast drive "\6" 150 about 0.42 deg/s.
//
// The motor ramps to a new rate in 0.3 s and stops on "S" in 0.4 s, so the position that
// "C" returns keeps changing for a moment after a stop and then repeats.
//
// Output lines ("Y n"): the Alpha box turns its axis only while output 4 is on (the power
// stage). The Delta box turns its axis only while it is engaged (output 1) and the drive
// chosen with "T n" has its clutch on: "T 0" the slave's drive, clutch output 8; "T 1" its
// own drive, clutch output 4. A wrong output sequence shows as a Delta that does not move.
//
// The probe: after ETX, a lone space makes the box give its name (more than two bytes).

#include <cstdint>
#include <string>

#include "sim/observatory/mount.h"

namespace axo::sim {

enum class BoxAxis { Alpha, Delta };

// How a box misbehaves, for tests of the program's failure handling.
enum class BoxFault {
    None,
    Silent,    // answers nothing
    TwoBytes,  // every answer cut to its first two bytes
    Garbage,   // every answer replaced by bytes that never repeat
    HangsOnStop,  // "S" hangs it: the motor keeps its rate and nothing is answered any more
};

class Box6420 final : public AxisDrive {
public:
    static constexpr double kRampSeconds = 0.3;
    static constexpr double kStopSeconds = 0.4;
    static constexpr double kFastGear = 64.0;
    // Degrees of axis per step at the finest step size "\8".
    static constexpr double kDegPerStep = kSiderealDegPerSec / 1541.0;

    explicit Box6420(BoxAxis axis, bool fastOnSlave = true) : axis_(axis), fastOnSlave_(fastOnSlave) {}

    // A received line, without its carriage return; returns the answer ("" for none).
    std::string Execute(const std::string& line);
    // The answer to the probe (ETX then a space).
    std::string ProbeAnswer() const;
    // Applies the fault to an answer.
    std::string Deliver(const std::string& answer);

    void Advance(double seconds);
    double RateDegPerSec() const override;

    void SetFault(BoxFault fault) {
        fault_ = fault;
        hung_ = hung_ && fault == BoxFault::HangsOnStop;
    }
    bool Hung() const { return hung_; }
    void SetFastOnSlave(bool fastOnSlave) { fastOnSlave_ = fastOnSlave; }

    double StepsPerSecond() const { return speed_; }
    double TargetStepsPerSecond() const { return target_; }
    double Position() const { return position_; }
    int Outputs() const { return outputs_; }
    int Drive() const { return drive_; }
    int StepSize() const { return stepSize_; }
    // True when the motor's turning reaches the axis.
    bool Coupled() const;
    int Commands() const { return commands_; }

private:
    void RampTo(double target, double seconds);
    double SpeedAt(double t) const;

    BoxAxis axis_;
    bool fastOnSlave_;
    BoxFault fault_ = BoxFault::None;
    double position_ = 0.0;  // steps
    double speed_ = 0.0;     // steps per second now
    double rampFrom_ = 0.0;
    double target_ = 0.0;
    double rampLength_ = 0.0;
    double rampTime_ = 0.0;
    int stepSize_ = 8;
    int outputs_ = 0;
    int drive_ = 1;
    int commands_ = 0;
    unsigned garbage_ = 0;
    bool hung_ = false;
};

}  // namespace axo::sim
