#pragma once

// The 6420 driver, both axes on the boxes, on a recording serial library and the virtual clock.

#include "core/interval_timer.h"
#include "interfaces/fake_serial.h"
#include "interfaces/parallel_rig.h"
#include "interfaces/serial64xx/s64xx_driver.h"

namespace axo::test {

struct S64xxRig {
    S64xxRig() : sio(r.log, r.clock), brake(r.clock), driver(r.core, sio, brake, &progress) {
        driver.RegisterWith(r.core);
        r.settings.Int(IntKey::interface_ra) = INTERFACE_64XX;
        r.settings.Int(IntKey::interface_de) = INTERFACE_64XX;
        r.core.state().StartupDone = true;
        // Every probe answers.
        for (int port = 1; port <= 4; ++port) {
            sio.replies[port].push_back("6420 V2\r\n");
            sio.replies[port].push_back("6420 V2\r\n");
        }
    }
    int16_t Code(int16_t code, int16_t action = 0, int16_t mode = 0) {
        DriverParam p{action, mode};
        return driver.Handle(code, p);
    }
    // The serial calls without their ticks.
    Lines Calls() const {
        Lines out;
        for (const auto& [tick, call] : sio.calls) {
            out.push_back(call);
        }
        return out;
    }
    // Replies that never repeat: a box still moving.
    void StillMoving(int port) {
        for (int i = 0; i < 100; ++i) {
            sio.replies[port].push_back("+" + std::to_string(i) + "\r");
        }
    }
    const LinkStatus& Link() { return r.core.drivers().Link(InterfaceId::S64xx); }
    // The system timer's poll, `ms` later.
    void Tick(uint64_t ms = 50) {
        r.clock.Advance(ms);
        r.core.Command(CMD_POLL_64XX, 0);
    }
    // Starts the interface and forgets what it logged.
    void Started() {
        ASSERT_EQ(Code(CMD_START_INTERFACE), 1);
        r.log.Clear();
        sio.calls.clear();
        for (auto& [port, queue] : sio.replies) {
            queue.clear();
        }
    }

    CoreRig r;
    FakeSerial sio;
    ClockTimer brake;
    FakeLoadProgress progress;
    S64xxDriver driver;
};

}  // namespace axo::test
