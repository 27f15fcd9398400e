#pragma once

// A recording EIK120 card for byte-exact tests of the card protocol: it keeps every register
// write and read (as offsets from the base), stays busy for a given number of status readings
// after each command, and answers a read command with the count bytes the test gave its
// channel.

#include <array>
#include <climits>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "interfaces/parallel/port_io.h"

namespace axo::test {

class FakeEikCard final : public PortIo {
public:
    struct Access {
        char kind;  // 'w' write, 'r' read
        int offset;
        int value;
        bool operator==(const Access&) const = default;
    };

    uint8_t In(uint16_t port) override {
        const int offset = port - base;
        accesses.push_back({'r', offset, -1});
        switch (offset) {
            case 0:
                if (busyLeft > 0) {
                    --busyLeft;
                    return 0x80;
                }
                return 0x00;
            case 1:
                return readStatus;
            case 2:
            case 3:
            case 4:
            case 5:
                return regs[static_cast<std::size_t>(offset - 2)];
            default:
                return 0xFF;
        }
    }

    void Out(uint16_t port, uint8_t value) override {
        const int offset = port - base;
        accesses.push_back({'w', offset, value});
        if (offset != 0) {
            return;
        }
        commands.push_back(value);
        busyLeft = neverReady.count(value) != 0 ? INT_MAX : busyReadings;
        if (value == 130) {
            regs = channel[0];
        } else if (value == 162) {
            regs = channel[1];
        }
    }

    void GetAddressLPT(uint16_t& a, uint16_t& b) override { a = b = 0; }
    void ResetLPT() override {}
    std::string UnavailableReason() const override { return unavailable; }

    void SetCount(int ch, int32_t count) {
        const auto u = static_cast<uint32_t>(count);
        channel[static_cast<std::size_t>(ch - 1)] = {static_cast<uint8_t>(u >> 24), static_cast<uint8_t>(u >> 16),
                                                     static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u)};
    }
    // Channel 1 counts `count` and the card has latched it, as before its interrupt.
    void LatchChannel1(int32_t count) {
        SetCount(1, count);
        regs = channel[0];
    }
    // Writes only, as (offset, value).
    std::vector<std::pair<int, int>> Writes() const {
        std::vector<std::pair<int, int>> out;
        for (const Access& a : accesses) {
            if (a.kind == 'w') {
                out.emplace_back(a.offset, a.value);
            }
        }
        return out;
    }
    void Clear() {
        accesses.clear();
        commands.clear();
    }

    uint16_t base = 856;
    int busyReadings = 2;
    int busyLeft = 0;
    std::set<uint8_t> neverReady;  // commands after which the card stays busy
    uint8_t readStatus = 1;
    std::array<std::array<uint8_t, 4>, 2> channel{};
    std::array<uint8_t, 4> regs{};
    std::vector<Access> accesses;
    std::vector<uint8_t> commands;
    std::string unavailable;
};

}  // namespace axo::test
