#pragma once

// A recording PortIo for byte-exact tests of the parallel interface. It keeps every write, lets
// the test set the input value the host reads, and calls the test back when a device's address
// appears on the command port (a strobe), so a test can play a board's part in a few lines.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/parallel/input_value.h"
#include "interfaces/parallel/port_io.h"

namespace axo::test {

class FakePortIo final : public PortIo {
public:
    static constexpr uint16_t kCommand = 0x378;
    static constexpr uint16_t kData = 0x278;

    struct Write {
        uint16_t port;
        uint8_t value;
        bool operator==(const Write&) const = default;
    };

    uint8_t In(uint16_t port) override {
        if (beforeRead) {
            beforeRead(port);
        }
        ++reads;
        if (port == kCommand + 1) {
            return commandStatus;
        }
        if (port == kData + 1) {
            return dataStatus;
        }
        return 0xFF;
    }

    void Out(uint16_t port, uint8_t value) override {
        writes.push_back({port, value});
        if (port == kData) {
            data = value;
            return;
        }
        if (port != kCommand) {
            return;
        }
        const uint8_t before = command;
        command = value;
        const uint8_t address = value & 0x0F;
        if ((value & 0x80) == 0 && address != 0 && (address != (before & 0x0F) || (before & 0x80) != 0)) {
            strobes.emplace_back(address, static_cast<uint8_t>((value >> 4) & 3));
            if (onStrobe) {
                onStrobe(address, static_cast<uint8_t>((value >> 4) & 3));
            }
        }
        if (onCommand) {
            onCommand(value);
        }
    }

    void GetAddressLPT(uint16_t& a, uint16_t& b) override {
        a = kCommand;
        b = kData;
    }
    void ResetLPT() override { ++resets; }
    bool EnsureOpen() override {
        ++openCalls;
        return unavailable.empty();
    }
    std::string UnavailableReason() const override { return unavailable; }
    void Note(const std::string& text) override { notes.push_back(text); }

    // The host will read `value` until told otherwise.
    void SetInput(uint8_t value) { StatusForInput(value, commandStatus, dataStatus, 0x05, dataOtherBits); }

    // Dibits strobed to one address, in order.
    std::vector<uint8_t> Dibits(uint8_t address) const {
        std::vector<uint8_t> out;
        for (const auto& [a, d] : strobes) {
            if (a == address) {
                out.push_back(d);
            }
        }
        return out;
    }
    std::vector<uint8_t> CommandWrites() const {
        std::vector<uint8_t> out;
        for (const Write& w : writes) {
            if (w.port == kCommand) {
                out.push_back(w.value);
            }
        }
        return out;
    }
    void ClearRecord() {
        writes.clear();
        strobes.clear();
    }

    std::vector<Write> writes;
    std::vector<std::pair<uint8_t, uint8_t>> strobes;  // (address, dibit)
    std::vector<std::string> notes;
    std::function<void(uint8_t address, uint8_t dibit)> onStrobe;
    std::function<void(uint8_t value)> onCommand;
    std::function<void(uint16_t port)> beforeRead;
    uint8_t commandStatus = 0x05;  // ready (0x20) until a test says otherwise
    uint8_t dataStatus = 0x10;
    uint8_t dataOtherBits = 0;
    uint8_t command = 0;
    uint8_t data = 0;
    int reads = 0;
    int resets = 0;
    int openCalls = 0;
    std::string unavailable;  // set: the ports cannot be opened, for this reason
};

// A write transfer partner: after the command strobe it leaves ready with the acknowledge at
// `initialAck`, then toggles the acknowledge at every strobe and goes back to ready after
// `length` data dibits. `failAt` (1-based data dibit) freezes the acknowledge from there on.
struct WritingBoard {
    FakePortIo& io;
    uint8_t address;
    bool initialAck;  // the level right after the command strobe
    std::size_t length;
    std::size_t failAt = 0;

    void Attach() {
        io.onStrobe = [this](uint8_t a, uint8_t) {
            if (a != address) {
                return;
            }
            if (!started) {
                started = true;
                ack = initialAck;
            } else if (++received == length) {
                io.SetInput(0x20);
                return;
            } else if (failAt == 0 || received < failAt) {
                ack = !ack;
            }
            io.SetInput(ack ? 0x10 : 0x00);
        };
    }
    bool started = false;
    bool ack = false;
    std::size_t received = 0;
};

}  // namespace axo::test
