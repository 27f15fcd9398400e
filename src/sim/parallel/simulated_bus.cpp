#include "sim/parallel/simulated_bus.h"


#include "interfaces/parallel/input_value.h"

namespace axo::sim {

namespace {
// Unwired status bits 0-2 of the command port read high on the usual port hardware.
constexpr uint8_t kUnwiredBits = 0x07;
constexpr uint8_t kPullUps = 0x2F;
}  // namespace

SimulatedBus::SimulatedBus(Observatory& observatory, const LatchSpeeds& speeds)
    : observatory_(observatory),
      alphaLatch_(MountAxis::HourAngle, speeds),
      deltaLatch_(MountAxis::Declination, speeds),
      domeBoard_(observatory.TheDome()),
      alpha_(Axis::Alpha, observatory.TheMount()),
      delta_(Axis::Delta, observatory.TheMount()) {
    observatory_.TheMount().Attach(MountAxis::HourAngle, &alphaLatch_);
    observatory_.TheMount().Attach(MountAxis::Declination, &deltaLatch_);
    observatory_.AddFace(this);
}

SimulatedBus::~SimulatedBus() {
    observatory_.RemoveFace(this);
    observatory_.TheMount().Detach(&alphaLatch_);
    observatory_.TheMount().Detach(&deltaLatch_);
}

void SimulatedBus::Advance(double seconds) {
    domeBoard_.Advance(seconds);
    observatory_.Filter().Advance(seconds);
    alpha_.Advance();
    delta_.Advance();
}

void SimulatedBus::Unplug(int board, bool unplugged) {
    if (board < 1 || board > 3) {
        return;
    }
    unplugged_[board] = unplugged;
    // Plugged back, a board starts afresh.
    if (board == 1) {
        domeBoard_.Reset();
    } else if (board == 2) {
        alpha_.Reset();
    } else {
        delta_.Reset();
    }
}

uint8_t SimulatedBus::LineValue() const {
    if (powerOff_) {
        return 0;
    }
    const auto busy = [this](int board) {
        switch (board) {
            case 1:
                return domeBoard_.InTransfer();
            case 2:
                return alpha_.InTransfer();
            default:
                return delta_.InTransfer();
        }
    };
    const auto output = [this](int board) -> uint8_t {
        if (unplugged_[board]) {
            return kPullUps;
        }
        switch (board) {
            case 1:
                return domeBoard_.Output();
            case 2:
                return alpha_.Output();
            default:
                return delta_.Output();
        }
    };
    if (!unplugged_[selected_] && (busy(selected_) || exchangeOpen_)) {
        return output(selected_);
    }
    if (!unplugged_[1] && domeBoard_.HasMessage()) {
        return domeBoard_.Output();
    }
    if (!unplugged_[2] && alpha_.HasMessage()) {
        return alpha_.Output();
    }
    if (!unplugged_[3] && delta_.HasMessage()) {
        return delta_.Output();
    }
    return output(selected_);
}

uint8_t SimulatedBus::InputValue() {
    Update();
    uint8_t commandStatus = 0;
    uint8_t dataStatus = 0;
    StatusForInput(LineValue(), commandStatus, dataStatus, kUnwiredBits, Filter().StatusBits());
    return AssembleInputValue(commandStatus, dataStatus);
}

uint8_t SimulatedBus::In(uint16_t port) {
    Update();
    uint8_t commandStatus = 0;
    uint8_t dataStatus = 0;
    if (powerOff_) {
        // Every line low: BUSY reads high through the port's inversion.
        commandStatus = 0x80;
        dataStatus = 0x80;
    } else {
        StatusForInput(LineValue(), commandStatus, dataStatus, kUnwiredBits, Filter().StatusBits());
    }
    if (port == kDataBase + 1 && exchangeOpen_ && (LineValue() & 0x20) != 0) {
        // The second half of the host's reading of the lines: it has seen the board ready,
        // the exchange is over and the bus is free for the others' news.
        exchangeOpen_ = false;
    }
    switch (port) {
        case kCommandBase:
            return command_;
        case kCommandBase + 1:
            return commandStatus;
        case kDataBase:
            return data_;
        case kDataBase + 1:
            return dataStatus;
        default:
            return 0xFF;
    }
}

void SimulatedBus::CommandWrite(uint8_t value) {
    const uint8_t before = command_;
    command_ = value;
    if (powerOff_) {
        return;
    }
    const uint8_t address = value & 0x0F;
    const auto dibit = static_cast<uint8_t>((value >> 4) & 3);
    if ((value & 0x80) != 0) {
        // The reset line with a board's reset code (16 minus its address).
        const int board = 16 - address;
        if (address >= 13 && !Unplugged(board)) {
            if (board == 1) {
                domeBoard_.Reset();
            } else if (board == 2) {
                alpha_.Reset();
            } else {
                delta_.Reset();
            }
        }
        return;
    }
    // A device takes a strobe when its address appears on the lines.
    if (address != (before & 0x0F) || (before & 0x80) != 0) {
        switch (address) {
            case 1:
            case 2:
            case 3:
                selected_ = address;
                exchangeOpen_ = true;
                if (!Unplugged(address)) {
                    if (address == 1) {
                        domeBoard_.Strobe(dibit);
                    } else if (address == 2) {
                        alpha_.Strobe(dibit);
                    } else {
                        delta_.Strobe(dibit);
                    }
                }
                break;
            case 4:
                alphaLatch_.Set(data_);
                break;
            case 5:
                deltaLatch_.Set(data_);
                break;
            case 6:
                Filter().Latch(data_);
                break;
            default:
                break;
        }
    }
    if (!Unplugged(1)) {
        domeBoard_.OnLines(dibit);
    }
}

void SimulatedBus::Out(uint16_t port, uint8_t value) {
    Update();
    if (port == kCommandBase) {
        CommandWrite(value);
    } else if (port == kDataBase) {
        data_ = value;
    }
}

void SimulatedBus::GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) {
    commandBase = kCommandBase;
    dataBase = kDataBase;
}

void SimulatedBus::ResetLPT() {
    Update();
    command_ = 0;
    data_ = 0;
}

}  // namespace axo::sim
