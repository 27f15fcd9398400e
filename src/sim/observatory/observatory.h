#pragma once

// The one simulated observatory: the mount, the dome and the filter wheel, and the faces
// through which the program's interfaces reach them (the parallel bus and its boards, the
// 6420 boxes on serial lines, ...). Each face lives in its own folder beside this one and
// registers here, so that one clock moves everything together: the mount a 6420 box turns is
// the mount the parallel boards' coders read.
//
// Time comes from the injected clock: the faces call Update() on every access, which moves the
// simulation to the clock's present in short steps, so it runs on the virtual clock in tests
// and on the real clock in the program. One thread only.

#include <cstdint>
#include <vector>

#include "platform/clock.h"
#include "sim/observatory/dome.h"
#include "sim/observatory/filter_wheel.h"
#include "sim/observatory/mount.h"

namespace axo::sim {

struct ObservatoryStart {
    double hourAngleHours = 1.0;
    double declinationDeg = 30.0;
    double domeAzimuthDeg = 180.0;  // on the dome board's zero, where a fresh NIC of 0 puts it
    double domeDegPerSec = 3.0;
};

// A face's own state that moves with time (boards, ramps of the boxes).
class ObservatoryFace {
public:
    virtual ~ObservatoryFace() = default;
    virtual void Advance(double seconds) = 0;
};

class Observatory {
public:
    explicit Observatory(Clock& clock, const ObservatoryStart& start = {});
    Observatory(const Observatory&) = delete;
    Observatory& operator=(const Observatory&) = delete;

    // Moves the simulation to the clock's present.
    void Update();

    // The face must outlive its registration.
    void AddFace(ObservatoryFace* face) { faces_.push_back(face); }
    void RemoveFace(ObservatoryFace* face);

    Mount& TheMount() { return mount_; }
    Dome& TheDome() { return dome_; }
    FilterWheel& Filter() { return filter_; }
    Clock& TheClock() { return clock_; }

private:
    void Step(double seconds);

    Clock& clock_;
    uint32_t lastTick_;
    Mount mount_;
    Dome dome_;
    FilterWheel filter_;
    std::vector<ObservatoryFace*> faces_;
};

}  // namespace axo::sim
