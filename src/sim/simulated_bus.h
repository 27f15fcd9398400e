#pragma once

// The simulated observatory behind two parallel ports: the axis boards, the dome board, the
// two motor latches and the filter latch on the bus, and behind them the mount, the dome and
// the filter wheel. It is a PortIo like the real backends, so the driver cannot tell it from
// real boards.
//
// Time comes from the injected clock: every port access first moves the simulation to the
// clock's present, so it runs on the virtual clock in tests and on the real clock in the app.
//
// Which board drives the status lines: the board last addressed while it is in an exchange,
// and until the host has read it ready again (the end of every exchange is a wait for ready,
// which another board's news must not answer); otherwise a board that has a message to show
// (dome first, then Alpha, then Delta); otherwise the board last addressed, ready. An unplugged board leaves the lines to their pull-ups, all
// high (ready, never acknowledging); with the electronics unpowered every line reads low.

#include <cstdint>

#include "interfaces/parallel/port_io.h"
#include "platform/clock.h"
#include "sim/axis_board.h"
#include "sim/dome.h"
#include "sim/dome_board.h"
#include "sim/filter_wheel.h"
#include "sim/mount.h"

namespace axo::sim {

struct ObservatoryStart {
    double hourAngleHours = 1.0;
    double declinationDeg = 30.0;
    double domeAzimuthDeg = 180.0;  // on the dome board's zero, where a fresh NIC of 0 puts it
    MountRates rates;
    double domeDegPerSec = 3.0;
};

class SimulatedBus final : public PortIo {
public:
    static constexpr uint16_t kCommandBase = 0x378;
    static constexpr uint16_t kDataBase = 0x278;

    explicit SimulatedBus(Clock& clock, const ObservatoryStart& start = {});

    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;
    void GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) override;
    void ResetLPT() override;

    // Moves the simulation to the clock's present (also done by every port access).
    void Update();

    // Fault injection: a board (1 dome, 2 Alpha, 3 Delta) unplugged from the bus; the whole
    // electronics without power; the dome jammed (it no longer turns when commanded).
    void Unplug(int board, bool unplugged);
    void PowerOff(bool off) { powerOff_ = off; }
    void JamDome(bool jammed) { dome_.SetJammed(jammed); }

    Mount& TheMount() { return mount_; }
    Dome& TheDome() { return dome_; }
    FilterWheel& Filter() { return filter_; }
    AxisBoard& AlphaBoard() { return alpha_; }
    AxisBoard& DeltaBoard() { return delta_; }
    DomeBoard& TheDomeBoard() { return domeBoard_; }

    // The input value the host would assemble now.
    uint8_t InputValue();

private:
    uint8_t LineValue() const;
    void CommandWrite(uint8_t value);
    void Step(double seconds);
    bool Unplugged(int board) const { return unplugged_[board]; }

    Clock& clock_;
    uint32_t lastTick_;
    Mount mount_;
    Dome dome_;
    DomeBoard domeBoard_;
    AxisBoard alpha_;
    AxisBoard delta_;
    FilterWheel filter_;
    uint8_t command_ = 0;
    uint8_t data_ = 0;
    int selected_ = 1;  // the board whose lines the host reads when nobody has news
    bool exchangeOpen_ = false;  // the selected board keeps the lines until read ready
    bool unplugged_[4] = {false, false, false, false};
    bool powerOff_ = false;
};

}  // namespace axo::sim
