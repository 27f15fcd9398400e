#include "sim/parallel/dome_board.h"

#include <cmath>

namespace axo::sim {

namespace {
constexpr int kCountsPerTurn = 250;
constexpr double kDegPerCount = 360.0 / kCountsPerTurn;
constexpr double kIndexAzimuth = 180.0;

int Mod(int a, int n) {
    const int r = a % n;
    return r < 0 ? r + n : r;
}
}  // namespace

int DomeBoard::PhysicalCount() const {
    double fromIndex = std::fmod(dome_.Azimuth() - kIndexAzimuth, 360.0);
    if (fromIndex < 0) {
        fromIndex += 360.0;
    }
    return Mod(static_cast<int>(std::floor(fromIndex / kDegPerCount)), kCountsPerTurn);
}

int DomeBoard::Count() const {
    return Mod(PhysicalCount() + offset_, kCountsPerTurn);
}

uint8_t DomeBoard::Output() const {
    switch (state_) {
        case State::Idle:
            return 0x20;
        case State::RotatePending:
        case State::Setup:
            return 0x10;
        case State::Load:
        case State::LoadEnd:
            // 0x11 after the setup pair and after every second data dibit, 0x10 otherwise.
            return loadDibits_ % 2 == 0 ? 0x11 : 0x10;
        case State::ReadHigh:
            return static_cast<uint8_t>(0x10 | (readCount_ >> 4));
        case State::ReadLow:
            return static_cast<uint8_t>(readCount_ & 0x0F);
        case State::Message:
            return message_;
    }
    return 0x20;
}

void DomeBoard::Post(uint8_t code) {
    if (InTransfer()) {
        deferred_ = code;  // said as soon as the host's exchange is over
        return;
    }
    state_ = State::Message;
    message_ = code;
}

void DomeBoard::ToIdle() {
    state_ = State::Idle;
    if (deferred_ != 0) {
        const uint8_t code = deferred_;
        deferred_ = 0;
        Post(code);
    }
}

void DomeBoard::StartRotation(int direction) {
    dome_.Turn(direction);
    rotatingFor_ = 0.0;
    stalledFor_ = 0.0;
}

void DomeBoard::StopRotation() {
    dome_.Turn(0);
    initialising_ = false;
}

void DomeBoard::Reset() {
    StopRotation();
    deferred_ = 0;
    state_ = State::Idle;
}

void DomeBoard::Strobe(uint8_t dibit) {
    switch (state_) {
        case State::Idle:
            switch (dibit) {
                case 0:
                    readCount_ = static_cast<uint8_t>(Count());
                    state_ = State::ReadHigh;
                    break;
                case 1: {
                    const bool wasInitialising = initialising_;
                    StopRotation();
                    if (wasInitialising) {
                        Post(2);
                    }
                    break;
                }
                case 2:
                    state_ = State::RotatePending;
                    break;
                default:
                    state_ = State::Setup;
                    break;
            }
            return;
        case State::RotatePending:
            ToIdle();
            if (dibit == 1 || dibit == 2) {
                initialising_ = false;
                StartRotation(dibit == 1 ? -1 : +1);
            }
            return;
        case State::Setup:
            if (dibit == 3) {
                ToIdle();
                initialising_ = true;
                StartRotation(+1);
            } else if (dibit == 0) {
                state_ = State::Load;
                loadByte_ = 0;
                loadDibits_ = 0;
            } else {
                ToIdle();
            }
            return;
        case State::Load:
            loadByte_ = static_cast<uint8_t>((loadByte_ << 2) | (dibit & 3));
            if (++loadDibits_ == 4) {
                state_ = State::LoadEnd;
            }
            return;
        case State::LoadEnd:
            if (dibit == 0) {
                offset_ = Mod(loadByte_ - PhysicalCount(), kCountsPerTurn);
            }
            ToIdle();
            return;
        case State::ReadHigh:
        case State::ReadLow:
            return;  // the read exchange runs on the dibit lines alone
        case State::Message:
            if (dibit == 0) {
                ToIdle();
            } else if (dibit == 1) {
                StopRotation();
            }
            return;
    }
}

void DomeBoard::OnLines(uint8_t dibit) {
    if (state_ == State::ReadHigh && dibit == 3) {
        state_ = State::ReadLow;
    } else if (state_ == State::ReadLow && dibit == 0) {
        ToIdle();
    }
}

void DomeBoard::Advance(double seconds) {
    if (dome_.Direction() == 0 || seconds <= 0) {
        return;
    }
    const double before = dome_.Unwrapped();
    dome_.Advance(seconds);
    const double after = dome_.Unwrapped();
    rotatingFor_ += seconds;
    stalledFor_ = after == before ? stalledFor_ + seconds : 0.0;

    if (initialising_) {
        // Crossing the index mark (azimuth 180 modulo a turn) going up.
        const double k = std::floor((after - kIndexAzimuth) / 360.0);
        const double index = kIndexAzimuth + k * 360.0;
        if (before < index && after >= index) {
            dome_.SetAzimuth(index);
            StopRotation();
            offset_ = 0;
            Post(1);
            return;
        }
    }
    if (stalledFor_ >= kStallSeconds) {
        StopRotation();
        Post(3);
    } else if (rotatingFor_ >= kMaxRotationSeconds) {
        StopRotation();
        Post(4);
    }
}

}  // namespace axo::sim
