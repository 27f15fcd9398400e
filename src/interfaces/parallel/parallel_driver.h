#pragma once

// The parallel micro-controller interface: two axis boards that count the coders, a dome board,
// two motor latches and a filter latch, all on the bus of ParallelLink. Handle() is the
// interface's one entry, registered with the core as the Parallel driver.

#include <array>
#include <cstdint>
#include <string>

#include "core/core.h"
#include "interfaces/parallel/parallel_link.h"
#include "interfaces/parallel/parallel_windows.h"
#include "settings/settings.h"

namespace axo {

class ParallelDriver final : public SettingsCopyHolder {
public:
    ParallelDriver(Core& core, PortIo& io, ParallelWindows windows = {});
    ~ParallelDriver() override;
    ParallelDriver(const ParallelDriver&) = delete;
    ParallelDriver& operator=(const ParallelDriver&) = delete;

    // The driver entry: 1 done, 0 when the start sequence found the dome board not answering.
    int16_t Handle(int16_t code, DriverParam& param);

    // Registers Handle() as the core's Parallel driver.
    void RegisterWith(Core& core);

    // The dome position count (NIC) is kept here, given to and taken from the settings table
    // around every read and write of the settings file.
    void TakeSettingsCopies(const Settings& settings) override;
    void ReturnSettingsCopies(Settings& settings) override;

    // --- Transfers, public for the maintenance window's tests and the benchmarks -------------
    void SendAlphaCoordinates(int h, int m, int s);
    void SendDeltaCoordinates(int d, int m, int s, int negZero);
    void SendCountAlpha(double value);
    void SendCountDelta(double value);
    void ReadAlphaCoordinates();
    void ReadDeltaCoordinates();
    void SetFilter(int16_t filter);
    void ResetBoard(int board);
    void CheckBoardMessages();
    void BoardMessage(uint8_t code);
    void ZeroCoderAlpha();
    void ZeroCoderDelta();

    // Dome board.
    void DomeStop();
    void DomeRotate(int16_t direction);
    void DomeInit();
    void DomeToRest();
    void DomeRestStep();
    void DomeFollowStep();
    void ReadDomeAzimuth();
    int16_t SendDomePosition();  // 0 done, 1 failed

    ParallelLink& Link() { return link_; }
    uint8_t DomeCount() const { return domeCount_; }

    // What the last failure report said.
    const std::string& ErrorLine1() const { return errorLine1_; }
    const std::string& ErrorLine2() const { return errorLine2_; }

private:
    struct ReadCounters {
        int16_t failures = 0;
        int16_t reports = 0;
    };
    struct WriteStep {
        uint8_t dibit;
        int ack;  // 1 set, 0 clear, -1 no acknowledge awaited
    };

    int16_t StartSequence();
    // The end of a start whose dome calibration failed: the program stops when exit_error_init is 1.
    // The failed dome calibration of the start; true when the program is to end.
    bool FailedDomeCalibration();
    void MotorLatch(uint8_t address, uint8_t byte) { link_.Latch(address, byte); }
    void AxisMove(int16_t code, const DriverParam& param);
    bool WriteTransfer(uint8_t address, uint8_t commandDibit, const WriteStep* steps, std::size_t count);
    struct NibblePair {
        int tens = 0;
        int units = 0;
    };
    bool ReadAxisNibblePair(uint8_t address, NibblePair& pair);
    // Which boards last failed to answer, published for the status bar.
    void BoardAnswered(int board, bool answered);
    // A filter asked for and not yet seen in place (6, 7, 8; 0 none), and the look for it.
    int16_t filterWanted_ = 0;
    void CheckFilterArrival();
    void CountFailedPoll(int board, ReadCounters& counters);
    void ReportTransmissionFailure(const std::string& line1, const std::string& line2);
    void ReportReceptionFailure(int board, ReadCounters& counters);
    void ShowErrorBox(const std::string& line1, const std::string& line2);
    void ZeroCoder(bool alpha);
    bool WaitInputOrCancel(uint8_t mask, uint8_t expected, const std::string& message);
    void Acknowledge(uint8_t address);
    void Progress(const std::string& text);
    void RotateTowards(int16_t from, int16_t to);
    bool AtRest() const;

    bool PollingCode(int16_t code) const;

    Core& core_;
    // Kept apart from the core: the driver unregisters from the settings when it goes, whether
    // or not the core (and the windows that own it) are still there.
    Settings& settings_;
    ParallelLink link_;
    ParallelWindows windows_;
    ReadCounters alpha_;
    std::array<bool, 4> failingBoards_{};  // by bus address
    ReadCounters delta_;
    ReadCounters dome_;
    uint8_t domeCount_ = 0;
    // False once a start found the ports unusable: polling them would only report failures.
    bool portsUsable_ = true;
    std::string errorLine1_;
    std::string errorLine2_;
};

}  // namespace axo
