#pragma once

// The parallel face of the simulated observatory: the axis boards, the dome board, the two
// motor latches and the filter latch on the bus behind two parallel ports, and behind them the
// observatory's mount, dome and filter wheel. It is a PortIo like the real backends, so the
// driver cannot tell it from real boards.
//
// Time comes from the observatory's clock: every port access first moves the whole
// observatory to the clock's present.
//
// Which board drives the status lines: the board last addressed while it is in an exchange,
// and until the host has read it ready again (the end of every exchange is a wait for ready,
// which another board's news must not answer); otherwise a board that has a message to show
// (dome first, then Alpha, then Delta); otherwise the board last addressed, ready. An unplugged board leaves the lines to their pull-ups, all
// high (ready, never acknowledging); with the electronics unpowered every line reads low.

#include <cstdint>

#include "interfaces/parallel/port_io.h"
#include "platform/clock.h"
#include "sim/observatory/observatory.h"
#include "sim/parallel/axis_board.h"
#include "sim/parallel/dome_board.h"
#include "sim/parallel/motor_latch.h"

namespace axo::sim {

class SimulatedBus final : public PortIo, public ObservatoryFace {
public:
    static constexpr uint16_t kCommandBase = 0x378;
    static constexpr uint16_t kDataBase = 0x278;

    explicit SimulatedBus(Observatory& observatory, const LatchSpeeds& speeds = {});
    ~SimulatedBus() override;
    SimulatedBus(const SimulatedBus&) = delete;
    SimulatedBus& operator=(const SimulatedBus&) = delete;

    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;
    void GetAddressLPT(uint16_t& commandBase, uint16_t& dataBase) override;
    void ResetLPT() override;

    // Moves the observatory to the clock's present (also done by every port access).
    void Update() { observatory_.Update(); }
    void Advance(double seconds) override;

    // Fault injection: a board (1 dome, 2 Alpha, 3 Delta) unplugged from the bus; the whole
    // electronics without power; the dome jammed (it no longer turns when commanded).
    void Unplug(int board, bool unplugged);
    void PowerOff(bool off) { powerOff_ = off; }
    void JamDome(bool jammed) { TheDome().SetJammed(jammed); }

    Mount& TheMount() { return observatory_.TheMount(); }
    Dome& TheDome() { return observatory_.TheDome(); }
    FilterWheel& Filter() { return observatory_.Filter(); }
    uint8_t AlphaLatch() const { return alphaLatch_.Byte(); }
    uint8_t DeltaLatch() const { return deltaLatch_.Byte(); }
    AxisBoard& AlphaBoard() { return alpha_; }
    AxisBoard& DeltaBoard() { return delta_; }
    DomeBoard& TheDomeBoard() { return domeBoard_; }

    // The input value the host would assemble now.
    uint8_t InputValue();

private:
    uint8_t LineValue() const;
    void CommandWrite(uint8_t value);
    bool Unplugged(int board) const { return unplugged_[board]; }

    Observatory& observatory_;
    MotorLatch alphaLatch_;
    MotorLatch deltaLatch_;
    DomeBoard domeBoard_;
    AxisBoard alpha_;
    AxisBoard delta_;
    uint8_t command_ = 0;
    uint8_t data_ = 0;
    int selected_ = 1;  // the board whose lines the host reads when nobody has news
    bool exchangeOpen_ = false;  // the selected board keeps the lines until read ready
    bool unplugged_[4] = {false, false, false, false};
    bool powerOff_ = false;
};

}  // namespace axo::sim
