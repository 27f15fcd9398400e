#pragma once

// The simulated dome: it turns at a steady speed in either direction. Direction 1 turns towards
// decreasing azimuth, direction 2 towards increasing azimuth. A jammed dome does not move.

namespace axo::sim {

class Dome {
public:
    explicit Dome(double azimuthDeg = 180.0, double degPerSec = 3.0) : angle_(azimuthDeg), speed_(degPerSec) {}

    // -1 (direction 1), +1 (direction 2) or 0.
    void Turn(int direction) { direction_ = direction; }
    int Direction() const { return direction_; }

    void Advance(double seconds);

    double Azimuth() const;              // 0 to 360
    double Unwrapped() const { return angle_; }
    void SetAzimuth(double deg) { angle_ = deg; }

    void SetJammed(bool jammed) { jammed_ = jammed; }
    bool Jammed() const { return jammed_; }

private:
    double angle_;
    double speed_;
    int direction_ = 0;
    bool jammed_ = false;
};

}  // namespace axo::sim
