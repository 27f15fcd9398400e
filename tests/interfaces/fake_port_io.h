#pragma once

// A recording PortIo: writes kept, input as set, a callback at each strobe so that a test plays a board.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/parallel/input_value.h"
#include "interfaces/parallel/port_io.h"

namespace axo::test {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

class FakePortIo final : public PortIo {
public:
    static constexpr uint16_t kCommand = 0x378;
    static constexpr uint16_t kData = 0x278;

    struct Write { uint16_t port; uint8_t value; bool operator==(const Write&) const = default; };

    uint8_t In(uint16_t port) override {
        if (beforeRead) {
            beforeRead(port);
        }
        ++reads;
        return port == kCommand + 1 ? commandStatus : port == kData + 1 ? dataStatus : 0xFF;
    }

    void Out(uint16_t port, uint8_t value) override {
        writes.push_back({port, value});
        if (port == kData) {
            data = value;
        }
        if (port != kCommand) {
            return;
        }
        const uint8_t before = command;
        command = value;
        const uint8_t address = value & 0x0F;
        const auto dibit = static_cast<uint8_t>((value >> 4) & 3);
        if ((value & 0x80) == 0 && address != 0 && (address != (before & 0x0F) || (before & 0x80) != 0)) {
            strobes.emplace_back(address, dibit);
            if (onStrobe) {
                onStrobe(address, dibit);
            }
        }
        if (onCommand) {
            onCommand(value);
        }
    }

    void GetAddressLPT(uint16_t& a, uint16_t& b) override { a = kCommand, b = kData; }
    void ResetLPT() override { ++resets; }
    bool EnsureOpen() override { return ++openCalls, unavailable.empty(); }
    std::string UnavailableReason() const override { return unavailable; }
    void Note(const std::string& text) override { notes.push_back(text); }

    // The host will read `value` until told otherwise.
    void SetInput(uint8_t value) { StatusForInput(value, commandStatus, dataStatus, 0x05, dataOtherBits); }

    // Dibits strobed to one address, in order.
    Bytes Dibits(uint8_t address) const {
        Bytes out;
        for (const auto& [a, d] : strobes) {
            if (a == address) {
                out.push_back(d);
            }
        }
        return out;
    }
    Bytes CommandWrites() const {
        Bytes out;
        for (const Write& w : writes) {
            if (w.port == kCommand) {
                out.push_back(w.value);
            }
        }
        return out;
    }
    void ClearRecord() { writes.clear(), strobes.clear(); }

    std::vector<Write> writes;
    std::vector<std::pair<uint8_t, uint8_t>> strobes;  // (address, dibit)
    Lines notes;
    std::function<void(uint8_t address, uint8_t dibit)> onStrobe;
    std::function<void(uint8_t value)> onCommand;
    std::function<void(uint16_t port)> beforeRead;
    uint8_t commandStatus = 0x05;
    uint8_t dataStatus = 0x10;
    uint8_t dataOtherBits = 0;
    uint8_t command = 0, data = 0;  // the last bytes put on each port
    int reads = 0, resets = 0, openCalls = 0;
    std::string unavailable;  // set: the ports cannot be opened, for this reason
};

// A write partner: acknowledge `initialAck`, toggled per strobe, frozen from dibit `failAt`, ready after `length`.
struct WritingBoard {
    FakePortIo& io;
    uint8_t address;
    bool initialAck;
    std::size_t length;
    std::size_t failAt = 0;
    bool started = false, ack = false;
    std::size_t received = 0;

    void Attach() {
        io.onStrobe = [this](uint8_t a, uint8_t) {
            if (a != address) {
                return;
            }
            if (!started) {
                started = true;
                ack = initialAck;
            } else if (++received == length) {
                return io.SetInput(0x20);
            } else if (failAt == 0 || received < failAt) {
                ack = !ack;
            }
            io.SetInput(ack ? 0x10 : 0x00);
        };
    }
};

}  // namespace axo::test
