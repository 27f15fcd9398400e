#include "interfaces/parallel/parallel_link.h"

#include "interfaces/parallel/input_value.h"

namespace axo {

void ParallelLink::DetectPorts() {
    io_.GetAddressLPT(commandPort_, dataPort_);
    commandStatusPort_ = static_cast<uint16_t>(commandPort_ + 1);
    dataStatusPort_ = static_cast<uint16_t>(dataPort_ + 1);
}

void ParallelLink::ResetPorts() {
    io_.ResetLPT();
}

void ParallelLink::WriteCommand(uint8_t byte) {
    io_.Out(commandPort_, byte);
}

void ParallelLink::PortSend(int16_t mode, uint8_t address, uint8_t bits, uint8_t data) {
    switch (mode) {
        case kSendStrobe:
            io_.Out(commandPort_, static_cast<uint8_t>(bits | address));
            WaitMs(clock_, 2);
            // The address goes, the bits stay on the lines until the next write.
            io_.Out(commandPort_, bits);
            WaitMs(clock_, 2);
            break;
        case kSendData:
            io_.Out(dataPort_, data);
            break;
        case kSendLatch:
            io_.Out(dataPort_, data);
            WaitMs(clock_, 2);
            io_.Out(commandPort_, static_cast<uint8_t>(bits | address));
            WaitMs(clock_, 2);
            io_.Out(commandPort_, bits);
            WaitMs(clock_, 2);
            break;
        default:
            break;
    }
}

namespace {
uint8_t ReadInputFrom(PortIo& io, uint16_t commandStatusPort, uint16_t dataStatusPort) {
    const uint8_t commandStatus = io.In(commandStatusPort);
    const uint8_t dataStatus = io.In(dataStatusPort);
    return AssembleInputValue(commandStatus, dataStatus);
}
}  // namespace

uint8_t ParallelLink::ReadInput() {
    inputValue_ = ReadInputFrom(io_, commandStatusPort_, dataStatusPort_);
    return inputValue_;
}

bool ParallelLink::IsReady() {
    return (ReadInput() & kInputReady) != 0;
}

uint8_t ParallelLink::ReadDataStatus() {
    return io_.In(dataStatusPort_);
}

template <typename Condition>
bool ParallelLink::TimedWait(Condition holds) {
    constexpr float kSecondsPerDay = 86400.0F;
    float t0 = clock_.SecondsSinceMidnight();
    while (clock_.SecondsSinceMidnight() - t0 < kAckTimeoutSeconds) {
        ReadInput();
        if (holds(inputValue_)) {
            return true;
        }
        // A reading at every millisecond of the tick counter is as fast as the boards answer;
        // sleeping between them keeps a core free and lets a virtual clock move on.
        WaitMs(clock_, 1);
        if (clock_.SecondsSinceMidnight() < t0) {
            t0 -= kSecondsPerDay;  // midnight passed: keep the 0.1 s limit
        }
    }
    return false;
}

bool ParallelLink::WaitInputEqual(uint8_t expected) {
    return TimedWait([expected](uint8_t v) { return v == expected; });
}

bool ParallelLink::WaitInputMasked(uint8_t mask, uint8_t expected) {
    return TimedWait([mask, expected](uint8_t v) { return (v & mask) == expected; });
}

bool ParallelLink::WaitReadyClear() {
    return TimedWait([](uint8_t v) { return (v & kInputReady) == 0; });
}

bool ParallelLink::WaitReadySet() {
    return TimedWait([](uint8_t v) { return (v & kInputReady) != 0; });
}

}  // namespace axo
