#include "sim/observatory/observatory.h"

#include <algorithm>

namespace axo::sim {

namespace {
// The simulation moves in steps short enough for the dome and the zero searches to stop where
// they should, even after the clock jumped ahead.
constexpr uint32_t kMaxStepMs = 20;
}  // namespace

Observatory::Observatory(Clock& clock, const ObservatoryStart& start)
    : clock_(clock),
      lastTick_(clock.GetTickCount()),
      mount_(start.hourAngleHours, start.declinationDeg),
      dome_(start.domeAzimuthDeg, start.domeDegPerSec) {}

void Observatory::RemoveFace(ObservatoryFace* face) {
    faces_.erase(std::remove(faces_.begin(), faces_.end(), face), faces_.end());
}

void Observatory::Step(double seconds) {
    mount_.Advance(seconds);
    for (ObservatoryFace* face : faces_) {
        face->Advance(seconds);
    }
}

void Observatory::Update() {
    const uint32_t now = clock_.GetTickCount();
    uint32_t elapsed = now - lastTick_;  // modulo 2^32: a wrap of the counter is harmless
    lastTick_ = now;
    while (elapsed > 0) {
        const uint32_t step = std::min(elapsed, kMaxStepMs);
        Step(step / 1000.0);
        elapsed -= step;
    }
}

}  // namespace axo::sim
