#include "sim/eik120/simulated_eik_card.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace axo::sim {

namespace {

int32_t CountForAngle(double degrees) {
    const double counts = SimulatedEikCard::kZeroCount + std::round(degrees / 360.0 * SimulatedEikCard::kCountsPerTurn);
    return static_cast<int32_t>(std::clamp(counts, -2147483648.0, 2147483647.0));
}

}  // namespace

SimulatedEikCard::SimulatedEikCard(Clock& clock, const Mount& mount, uint16_t base, int line)
    : clock_(clock), mount_(mount), base_(base), cardLine_(line), line_(*this) {}

SimulatedEikCard::~SimulatedEikCard() {
    StopInterruptThread();
}

void SimulatedEikCard::UnplugCoder(int channel, bool unplugged) {
    if (channel == 1 || channel == 2) {
        std::lock_guard lock(mutex_);
        unplugged_[channel - 1] = unplugged;
    }
}

void SimulatedEikCard::LatchChannel1AtRead(int nth) {
    std::lock_guard lock(mutex_);
    latchAtRead_ = nth;
}

void SimulatedEikCard::PutCount(int32_t count) {
    const auto u = static_cast<uint32_t>(count);
    counts_[0] = static_cast<uint8_t>(u >> 24);
    counts_[1] = static_cast<uint8_t>(u >> 16);
    counts_[2] = static_cast<uint8_t>(u >> 8);
    counts_[3] = static_cast<uint8_t>(u);
}

int32_t SimulatedEikCard::Channel1CountLocked() const {
    return CountForAngle(alphaOnChannel1_ ? haDeg_ : decDeg_);
}

void SimulatedEikCard::Sample() {
    if (beforeSample_) {
        beforeSample_();
    }
    std::lock_guard lock(mutex_);
    haDeg_ = mount_.HourAngleAxisDeg();
    decDeg_ = mount_.DeclinationDeg();
}

int32_t SimulatedEikCard::CountOf(int channel) const {
    std::lock_guard lock(mutex_);
    const bool hourAngle = (channel == 1) == alphaOnChannel1_;
    return CountForAngle(hourAngle ? haDeg_ : decDeg_);
}

uint8_t SimulatedEikCard::In(uint16_t port) {
    if (removed_.load() || port < base_ || port > base_ + 5) {
        return 0xFF;
    }
    const int offset = port - base_;
    std::lock_guard lock(mutex_);
    switch (offset) {
        case 0:
            if (stuckBusy_.load() || busyForever_) {
                return 0x80;
            }
            if (busyLeft_ > 0) {
                --busyLeft_;
                return 0x80;
            }
            if (latchWhenReady_) {
                // The timer fires now: the program's count is gone before it could take it.
                latchWhenReady_ = false;
                PutCount(Channel1CountLocked());
                resultPending_ = false;
            }
            return 0x00;
        case 1:
            return readStatus_;
        case 5:
            resultPending_ = false;  // the last byte of a count: the registers are free again
            return counts_[3];
        default:
            return counts_[offset - 2];
    }
}

void SimulatedEikCard::Out(uint16_t port, uint8_t value) {
    if (removed_.load() || port < base_ || port > base_ + 5) {
        return;
    }
    const int offset = port - base_;
    if (offset != 0) {
        std::lock_guard lock(mutex_);
        params_[offset] = value;
        return;
    }
    Sample();
    std::lock_guard lock(mutex_);
    busyLeft_ = busyReadings_;
    busyForever_ = false;
    latchWhenReady_ = false;
    switch (value) {
        case 128:  // the whole card: interrupts stop
            interruptsOn_.store(false);
            break;
        case 130:
        case 162: {
            const int channel = value == 130 ? 1 : 2;
            if (unplugged_[channel - 1]) {
                // No SSI frame comes back: the read never completes.
                busyForever_ = true;
                readStatus_ = 0;
                break;
            }
            const bool hourAngle = (channel == 1) == alphaOnChannel1_;
            PutCount(CountForAngle(hourAngle ? haDeg_ : decDeg_));
            readStatus_ = 1;
            resultPending_ = true;
            if (channel == 2 && latchAtRead_ > 0 && --latchAtRead_ == 0) {
                latchWhenReady_ = true;
            }
            break;
        }
        case 141:
            timerMs_.store(params_[2]);
            break;
        case 129:
            if (params_[1] == 14) {
                lastInterruptTick_ = clock_.GetTickCount();
                interruptsOn_.store(true);
            }
            break;
        default:
            break;  // channel initialisation, clock and SSI format: accepted as they come
    }
}

bool SimulatedEikCard::LatchForInterrupt() {
    std::lock_guard lock(mutex_);
    // A timer interval is far longer than any command: whatever the card was doing is done.
    busyLeft_ = 0;
    // The card does not overwrite a count the program has asked for and not read yet.
    if (removed_.load() || !interruptsOn_.load() || stuckBusy_.load() || busyForever_ || resultPending_) {
        return false;
    }
    if (unplugged_[0]) {
        return false;
    }
    // The interrupt always reports channel 1.
    PutCount(Channel1CountLocked());
    readStatus_ = 1;
    return true;
}

void SimulatedEikCard::Interrupt() {
    if (LatchForInterrupt()) {
        raised_.fetch_add(1);
        line_.Raise();
    }
}

void SimulatedEikCard::ServiceInterrupts() {
    if (!interruptsOn_.load()) {
        return;
    }
    Sample();
    const uint32_t now = clock_.GetTickCount();
    const auto interval = static_cast<uint32_t>(std::max(1, timerMs_.load()));
    if (now - lastInterruptTick_ >= interval) {
        lastInterruptTick_ = now;
        Interrupt();
    }
}

void SimulatedEikCard::StartInterruptThread() {
    if (thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(threadMutex_);
        stopThread_ = false;
    }
    thread_ = std::thread([this] {
        std::unique_lock lock(threadMutex_);
        for (;;) {
            const int ms = interruptsOn_.load() ? std::max(1, timerMs_.load()) : 10;
            if (wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopThread_; })) {
                return;
            }
            if (interruptsOn_.load()) {
                lock.unlock();
                Interrupt();
                lock.lock();
            }
        }
    });
}

void SimulatedEikCard::StopInterruptThread() {
    if (!thread_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(threadMutex_);
        stopThread_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

// --- the interrupt line --------------------------------------------------------------------------

void SimulatedEikCard::Line::SetIrq(int line, std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    line_ = line;
    handler_ = std::move(handler);
}

bool SimulatedEikCard::Line::IsIrqSet() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(handler_);
}

void SimulatedEikCard::Line::Destroy() {
    std::lock_guard lock(mutex_);
    handler_ = nullptr;
    unmasked_.store(false);
}

void SimulatedEikCard::Line::Raise() {
    std::lock_guard lock(mutex_);
    // A handler on another line than the card's jumper never hears from it.
    if (handler_ && unmasked_.load() && line_ == card_.cardLine_) {
        handler_();
    }
}

}  // namespace axo::sim
