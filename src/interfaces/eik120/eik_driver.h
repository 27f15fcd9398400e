#pragma once

// The EIK120 encoder card: two SSI channels read through six byte registers at the card's base
// address. Handle() is the interface's one entry, registered with the core as the Eik driver:
// read-out (301, 302), calibration (1001, 1002), start (1101) and stop (1102).
//
// Registers (base + offset): 0 command / status (bit 7 = busy), 1 to 5 parameters on write,
// 2 to 5 the count on read (most significant byte first), 1 the read status (1 after a coder
// read).
//
// Threads: everything runs on the user-interface thread except InterruptHandler(), which the
// interrupt backend calls on its own thread. The two share the card through one lock: the
// handler only tries it and gives up its interrupt when the program is talking to the card,
// so it never waits; the counts it stores are atomics.
//
// Interrupt mode: the card interrupts at its timer and the handler keeps the count of channel
// 1 fresh. The axis on channel 2 is read on demand at every poll, exactly as without
// interrupts (otherwise it would freeze and keep showing an old position as if it were valid);
// after such a read the driver asks the card for channel 1 again, so that what the handler
// next finds in the count registers is channel 1's. When the interrupt could not be set up,
// both axes are read on demand, and so is channel 1 whenever its interrupts stop coming (a
// handler installed on a line the card does not use, a card that stopped interrupting).
// The card's timer may latch channel 1 into the count registers between the read of channel 2
// and the taking of its bytes: channel 2 is read until two reads in a row agree.
//
// A coder that stops answering while polled: its first time-out shows its box and holds the
// program for the whole time-out, as at the start. From then on it is read again only after a
// growing pause (5 s, doubling up to a minute, counted from the last time-out of any coder so
// that two failing coders do not take turns at holding every tick), with the same command and
// time-out, while the other axis goes on at every tick; the interface reads as failing, and when neither axis has
// a fresh reading the displays show "--". The coder's first answer brings back reading at
// every tick and says so in the message list. A wait ended by the observer's stop-all is no
// coder failure: it leaves quietly and keeps the count.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "core/core.h"
#include "interfaces/eik120/eik_interrupts.h"
#include "interfaces/parallel/parallel_windows.h"
#include "interfaces/parallel/port_io.h"
#include "settings/settings.h"

namespace axo {

// Command bytes of the card (bit 7 always set; bit 5 selects channel 2).
namespace eik {
constexpr uint8_t kInitCard = 128;
constexpr uint8_t kInitChannel1 = 138;
constexpr uint8_t kInitChannel2 = 170;
constexpr uint8_t kClockFrequency = 140;
constexpr uint8_t kSsiFormat1 = 139;
constexpr uint8_t kSsiFormat2 = 171;
constexpr uint8_t kReadChannel1 = 130;
constexpr uint8_t kReadChannel2 = 162;
constexpr uint8_t kInterruptTimer = 141;
constexpr uint8_t kStartInterrupts = 129;
constexpr uint8_t kBusy = 0x80;
// The count an axis reads when its coder did not answer at start.
constexpr double kNoCoderCount = 65000.0;
}  // namespace eik

// The interrupt lines the card's jumpers offer.
bool IsEikInterruptLine(int line);

// The signed 32-bit count of the four count bytes, most significant first.
int32_t EikCountFromBytes(uint8_t b3, uint8_t b2, uint8_t b1, uint8_t b0);

// The module's own copies of the card's settings and of the calibration; the settings table
// gets them back before every write of the settings file.
struct EikWorkingCopies {
    int16_t BaseAddress = 856;
    int16_t AlphaOnChannel1 = 1;
    int16_t UseIrq = 0;
    int16_t Irq = 9;
    double AlphaCoderRef = 65000.0;
    double DeltaCoderRef = 65000.0;
    double AlphaPositionRef = 0.0;
    double DeltaPositionRef = 0.0;
};

class EikDriver final : public SettingsCopyHolder {
public:
    // `interrupts` may be null: the machine cannot deliver the card's interrupt.
    EikDriver(Core& core, PortIo& io, EikInterruptLine* interrupts = nullptr, LoadProgress* progress = nullptr);
    ~EikDriver() override;
    EikDriver(const EikDriver&) = delete;
    EikDriver& operator=(const EikDriver&) = delete;

    // The driver entry: 1 done, 0 when the start or the stop failed.
    int16_t Handle(int16_t code, DriverParam& param);
    void RegisterWith(Core& core);

    void TakeSettingsCopies(const Settings& settings) override;
    void ReturnSettingsCopies(Settings& settings) override;
    EikWorkingCopies& Copies() { return copies_; }

    // Whether the backend can reach the registers at a base address (empty: it can; otherwise
    // why not, in French). Direct port I/O can only reach what was granted at launch.
    void SetReachCheck(std::function<std::string(uint16_t base)> check) { reach_ = std::move(check); }

    // --- The card's procedures, public for the tests and the benchmarks --------------------
    bool InitCard(int16_t target);
    bool ConfigureChannel(int16_t channel);
    bool ReadCoder(int16_t axis);
    void InterruptHandler();

    double AlphaCount() const { return alphaCount_.load(); }
    double DeltaCount() const { return deltaCount_.load(); }
    bool AlphaCoderOK() const { return alphaCoderOk_; }
    bool DeltaCoderOK() const { return deltaCoderOk_; }
    // The handler is installed and the card interrupts: channel 1 needs no polling.
    bool InterruptsRunning() const { return interruptsRunning_; }
    // Interrupts whose count the handler stored.
    uint64_t InterruptCounts() const { return interruptCounts_.load(); }

private:
    int16_t Start();
    int16_t Stop();
    void ReadAlpha();
    void ReadDelta();
    void CalibrateAlpha();
    void CalibrateDelta();
    void RemoveInterrupt();
    // Polls the card unless the interrupt keeps this axis fresh (`paced`: see PollCoder).
    void RefreshAxis(int16_t axis, bool paced);
    bool AxisOnChannel1(int16_t axis) const;
    std::atomic<double>& CountOf(int16_t axis) { return axis == 1 ? alphaCount_ : deltaCount_; }
    void ShowDebug(int16_t axis);

    enum class CardWait { Ready, TimedOut, Interrupted };
    // Skipped: a failing coder not yet due for its next attempt.
    enum class CoderRead { Read, Skipped, TimedOut, Interrupted };
    // `paced`: a failing coder is only read when its pause is over (polling); otherwise at once.
    CoderRead PollCoder(int16_t axis, bool paced);
    // One read of the axis's channel (and the hand-back of channel 1 in interrupt operation);
    // `otherTimedOut` tells that the channel 1 read for the handler timed out.
    CoderRead ReadFromCard(int16_t axis, bool& otherTimedOut);
    void CoderFailed(int16_t axis);
    void CoderAnswered(int16_t axis);
    bool CoderFailing(int16_t axis) const { return failing_[axis - 1].failing; }
    // Readings and link state as the latest exchanges with the coders left them.
    void ShowCoderHealth();

    // With the card lock held.
    CardWait WaitReady();
    CardWait CommandAndWait(uint8_t command);
    double ReadCountRegisters();

    uint16_t Port(int offset) const { return static_cast<uint16_t>(static_cast<uint16_t>(copies_.BaseAddress) + offset); }
    void Box(const std::string& text);
    void Progress(const std::string& text);

    Core& core_;
    // Kept apart from the core: a program (or a test rig) may destroy its windows, and the core
    // with them, before the hardware; the destructor must not reach through a dead core.
    Settings& settings_;
    PortIo& io_;
    EikInterruptLine* interrupts_;
    LoadProgress* progress_;
    std::function<std::string(uint16_t)> reach_;
    EikWorkingCopies copies_;
    bool alphaCoderOk_ = false;
    bool deltaCoderOk_ = false;
    bool interruptsRunning_ = false;
    bool interruptInstalled_ = false;
    // A coder that timed out while polled, per axis (Alpha, Delta).
    struct Failing {
        bool failing = false;
        uint32_t sinceTick = 0;  // end of the last failed attempt
        uint32_t pauseMs = 0;    // before the next attempt
    };
    Failing failing_[2];

    std::mutex card_;  // the program and the interrupt handler never talk to the card at once
    std::atomic<double> alphaCount_{0.0};
    std::atomic<double> deltaCount_{0.0};
    // What the handler needs, fixed before the line is unmasked.
    std::atomic<uint16_t> irqBase_{0};
    std::atomic<bool> irqFeedsAlpha_{true};
    std::atomic<uint64_t> interruptCounts_{0};
    // When the read-out last saw the handler's count move (tick count, ms).
    uint64_t seenInterruptCount_ = 0;
    uint32_t seenInterruptTick_ = 0;
};

}  // namespace axo
