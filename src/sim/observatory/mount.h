#pragma once

// The simulated equatorial mount: an hour-angle axis and a declination axis. The mount itself
// has no motors of its own: each hardware face that can turn an axis (the motor latches of the
// parallel boards, the 6420 boxes) attaches an AxisDrive, and an axis turns at the sum of the
// rates its drives give. Only one face drives an axis in a real installation; the others stay
// at rest and add nothing.
//
// Directions: a positive hour-angle rate turns the axis towards increasing hour angle (the
// telescope goes west, the right ascension it points at decreases). A positive declination
// rate goes towards the north pole. With no drive turning, the axes stand still on the ground:
// the hour angle holds and the right ascension drifts with the sky.

#include <vector>

namespace axo::sim {

// The sidereal rate of the hour angle: 360 degrees per sidereal day of 86164.0905 s.
constexpr double kSiderealDegPerSec = 360.0 / 86164.0905;

enum class MountAxis { HourAngle, Declination };

// What a face gives an axis: its rate now, in degrees of axis rotation per second.
class AxisDrive {
public:
    virtual ~AxisDrive() = default;
    virtual double RateDegPerSec() const = 0;
};

class Mount {
public:
    explicit Mount(double hourAngleHours = 1.0, double declinationDeg = 30.0);

    // The drive must outlive its attachment.
    void Attach(MountAxis axis, const AxisDrive* drive);
    void Detach(const AxisDrive* drive);

    void Advance(double seconds);

    // Axis angles as the coders see them, unwrapped (degrees of axis rotation since the start).
    double HourAngleAxisDeg() const { return haDeg_; }
    double DeclinationDeg() const { return decDeg_; }

    // The hour angle, 0 to 24 hours.
    double HourAngleHours() const;

    // Rates in degrees per second that the attached drives give now.
    double HourAngleRate() const { return Sum(haDrives_); }
    double DeclinationRate() const { return Sum(decDrives_); }

    // The mass of the tube: each axis follows its drives' rate with this time constant, so it
    // keeps turning for a moment after a stop (about rate x coast degrees). 0: no inertia.
    void SetCoastSeconds(double seconds) { coast_ = seconds > 0.0 ? seconds : 0.0; }

    // A brake left on, an obstacle: the axis no longer turns, whatever its drives do.
    void Jam(MountAxis axis, bool jammed) { (axis == MountAxis::HourAngle ? haJammed_ : decJammed_) = jammed; }

    void SetHourAngleHours(double h) { haDeg_ = h * 15.0; }
    void SetDeclinationDeg(double d) { decDeg_ = d; }

private:
    static double Sum(const std::vector<const AxisDrive*>& drives);

    double haDeg_;
    double decDeg_;
    double coast_ = 0.0;
    double haRate_ = 0.0;  // what the axes really turn at, behind their drives by the coast
    double decRate_ = 0.0;
    bool haJammed_ = false;
    bool decJammed_ = false;
    std::vector<const AxisDrive*> haDrives_;
    std::vector<const AxisDrive*> decDrives_;
};

}  // namespace axo::sim
