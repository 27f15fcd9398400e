#include "sim/observatory/dome.h"

#include <cmath>

namespace axo::sim {

void Dome::Advance(double seconds) {
    if (!jammed_ && seconds > 0) {
        angle_ += direction_ * speed_ * seconds;
    }
}

double Dome::Azimuth() const {
    double a = std::fmod(angle_, 360.0);
    return a < 0 ? a + 360.0 : a;
}

}  // namespace axo::sim
