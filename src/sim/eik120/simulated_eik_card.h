#pragma once

// The simulated EIK120 card: the face of the simulated observatory that the encoder card
// driver talks to. It is a PortIo on the card's six registers, and it offers the card's
// interrupt line (EikInterruptLine), so the driver cannot tell it from a real card.
//
// Channels: channel 1 carries the hour-angle axis and channel 2 the declination axis (the
// default wiring; SetAlphaOnChannel1(false) swaps them). Each coder counts 131072 per turn
// and never wraps, so the built-in resolutions give true angles.
// The zero: a coder reads 65000 with its axis at 0 (hour angle 0 h, declination 0 degrees),
// which is exactly the built-in calibration (65000 counts at 0), so a fresh configuration shows
// the mount's true position before any calibration. The hour-angle count grows towards the
// west (Alpha +), the declination count towards the north.
//
// Timing: after each command the busy bit stays set for a few status readings (or until the
// next timer tick of the interrupt operation). A count read on command stays in the registers
// until the program has read its last byte: no interrupt overwrites it meanwhile. The card
// samples the mount when the program writes a command (the program's thread); the interrupt
// latches the last sample. Interrupts come at the programmed timer interval either from
// ServiceInterrupts() (tests on the virtual clock call it on their own thread) or from a
// thread of the card (StartInterruptThread(), real time, as in axo --simulate).
//
// Faults: no card at all (every register reads all ones, so the card is never ready); a coder
// unplugged from a channel (a read of that channel never completes); the card stuck busy; the
// interrupt timer firing at the worst moment of a read of channel 2 (the real card's timer
// does not wait for the program to take its count).

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "interfaces/eik120/eik_interrupts.h"
#include "interfaces/parallel/port_io.h"
#include "platform/clock.h"
#include "sim/observatory/mount.h"

namespace axo::sim {

class SimulatedEikCard final : public PortIo {
public:
    static constexpr double kCountsPerTurn = 131072.0;
    static constexpr int32_t kZeroCount = 65000;

    SimulatedEikCard(Clock& clock, const Mount& mount, uint16_t base = 856, int line = 9);
    ~SimulatedEikCard() override;
    SimulatedEikCard(const SimulatedEikCard&) = delete;
    SimulatedEikCard& operator=(const SimulatedEikCard&) = delete;

    uint8_t In(uint16_t port) override;
    void Out(uint16_t port, uint8_t value) override;
    void GetAddressLPT(uint16_t& a, uint16_t& b) override { a = b = 0; }
    void ResetLPT() override {}

    // Called before the card samples the mount, to bring the observatory to the present.
    void SetBeforeSample(std::function<void()> update) { beforeSample_ = std::move(update); }
    void SetAlphaOnChannel1(bool on) { alphaOnChannel1_ = on; }
    void SetBusyReadings(int n) { busyReadings_ = n; }

    // Faults.
    void RemoveCard(bool removed) { removed_ = removed; }
    void UnplugCoder(int channel, bool unplugged);
    void StickBusy(bool stuck) { stuckBusy_ = stuck; }
    // The nth read of channel 2 from now (1: the next one) has channel 1's count latched over
    // its result just as the card turns ready, before the program takes the four bytes.
    void LatchChannel1AtRead(int nth);

    EikInterruptLine& Interrupts() { return line_; }

    // Raises the interrupt if the timer interval has passed on the clock (at most one per call,
    // as pending interrupts of one line merge). Runs the handler on the caller's thread.
    void ServiceInterrupts();
    // Real-time interrupts from a thread of the card.
    void StartInterruptThread();
    void StopInterruptThread();

    // The count a coder gives now for the last sample (channel 1 or 2).
    int32_t CountOf(int channel) const;
    bool InterruptOperation() const { return interruptsOn_.load(); }
    uint64_t InterruptsRaised() const { return raised_.load(); }

private:
    class Line final : public EikInterruptLine {
    public:
        explicit Line(SimulatedEikCard& card) : card_(card) {}
        void SetIrq(int line, std::function<void()> handler) override;
        bool IsIrqSet() const override;
        void Unmask() override { unmasked_ = true; }
        void Mask() override { unmasked_ = false; }
        void Destroy() override;
        // Calls the handler if one is installed on the card's line and unmasked.
        void Raise();

    private:
        SimulatedEikCard& card_;
        mutable std::mutex mutex_;  // held while the handler runs, so Destroy waits for it
        std::function<void()> handler_;
        int line_ = 0;
        std::atomic<bool> unmasked_{false};
    };

    void Sample();
    // With the register lock held: the four count registers.
    void PutCount(int32_t count);
    int32_t Channel1CountLocked() const;
    // Latches channel 1 for an interrupt; false when the card is busy or stopped.
    bool LatchForInterrupt();
    void Interrupt();

    Clock& clock_;
    const Mount& mount_;
    const uint16_t base_;
    const int cardLine_;
    std::function<void()> beforeSample_;
    Line line_;

    mutable std::mutex mutex_;  // the registers, between the program and the interrupt thread
    uint8_t params_[6] = {};
    uint8_t counts_[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    uint8_t readStatus_ = 0;
    int busyLeft_ = 0;
    bool busyForever_ = false;
    bool resultPending_ = false;  // a count read on command, not yet taken by the program
    double haDeg_ = 0.0;
    double decDeg_ = 0.0;
    bool unplugged_[2] = {false, false};
    std::atomic<bool> removed_{false};
    std::atomic<bool> stuckBusy_{false};
    bool alphaOnChannel1_ = true;
    int busyReadings_ = 2;
    int latchAtRead_ = 0;     // reads of channel 2 to go before the ill-timed latch
    bool latchWhenReady_ = false;

    std::atomic<bool> interruptsOn_{false};
    std::atomic<int> timerMs_{0};
    uint32_t lastInterruptTick_ = 0;
    std::atomic<uint64_t> raised_{0};

    std::thread thread_;
    std::mutex threadMutex_;
    std::condition_variable wake_;
    bool stopThread_ = false;
};

}  // namespace axo::sim
