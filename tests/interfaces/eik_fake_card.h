#pragma once

// A recording EIK120 card: register accesses kept, busy a while after each command, counts as set.

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
    struct Access { char kind; int offset, value; bool operator==(const Access&) const = default; };  // kind 'w' or 'r'

    uint8_t In(uint16_t port) override {
        const int offset = port - base;
        accesses.push_back({'r', offset, -1});
        if (offset == 0) {
            return busyLeft > 0 && busyLeft-- > 0 ? 0x80 : 0x00;
        }
        return offset == 1 ? readStatus : offset >= 2 && offset <= 5 ? regs[static_cast<std::size_t>(offset - 2)] : 0xFF;
    }

    void Out(uint16_t port, uint8_t value) override {
        const int offset = port - base;
        accesses.push_back({'w', offset, value});
        if (offset != 0) {
            return;
        }
        commands.push_back(value);
        busyLeft = neverReady.count(value) != 0 ? INT_MAX : 2;  // two busy status readings
        if (value == 130 || value == 162) {
            regs = channel[value == 130 ? 0 : 1];
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
    void LatchChannel1(int32_t count) { SetCount(1, count), regs = channel[0]; }
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
    void Clear() { accesses.clear(), commands.clear(); }

    uint16_t base = 856;
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
