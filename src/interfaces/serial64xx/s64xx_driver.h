#pragma once

// The 6420 boxes' interface: the Alpha box tracks and moves the hour-angle axis, the Delta box
// moves the declination axis and drives the output lines that select its drive, engage it and
// hold its brake. Handle() is the interface's one entry, registered with the core as the
// S64xx driver. Everything goes through the line layer; time through the core's clock; the
// brake delay is a timer of the user-interface thread given by the program.

#include <cstdint>
#include <string>

#include "core/core.h"
#include "core/interval_timer.h"
#include "interfaces/parallel/parallel_windows.h"
#include "interfaces/serial64xx/serial_lines.h"
#include "platform/serial_library.h"

namespace axo {

class S64xxDriver {
public:
    S64xxDriver(Core& core, SerialLibrary& sio, IntervalTimer& brakeTimer, LoadProgress* progress = nullptr);
    ~S64xxDriver();
    S64xxDriver(const S64xxDriver&) = delete;
    S64xxDriver& operator=(const S64xxDriver&) = delete;

    // The driver entry: 1 done (also for codes this interface does not serve), 0 when the
    // axis' box is not open or the start could not open a line.
    int16_t Handle(int16_t code, DriverParam& param);
    void RegisterWith(Core& core);

    // The fractional tracking rate, after a change of S64xx_alpha_r_trk.
    void PrepareTrackingRate();
    // The brake delay from S64xx_delta_brake_timer (seconds), as the configuration's OK sets it.
    void ApplyBrakeDelay();

    // --- Procedures, public for the configuration window, the tests and the benchmarks -----
    // True only when the box said so: two equal position replies in a row. Silence, replies
    // that keep changing for 2 s, a line that went away or the stop-all are no confirmation.
    bool WaitAxisStopped(int16_t axis);
    void SelectDeltaSlowDrive();
    void SelectDeltaFastDrive();
    void EngageDelta(bool slewing);
    void ReleaseDelta();
    void StartRateDither();
    void RateDitherStep();

    S64xxLines& Lines() { return lines_; }
    IntervalTimer& BrakeTimer() { return brake_; }
    int16_t AlphaOutputs() const { return alphaOutputs_; }
    int16_t DeltaOutputs() const { return deltaOutputs_; }
    bool DitherActive() const { return ditherActive_; }
    const std::string& DitherRateLow() const { return ditherLow_; }
    const std::string& DitherRateHigh() const { return ditherHigh_; }
    double DitherFraction() const { return ditherFraction_; }
    int16_t DitherPhase() const { return ditherPhase_; }
    uint32_t DitherNextSwitch() const { return ditherNext_; }

private:
    int16_t Dispatch(int16_t code, DriverParam& param);
    int16_t Start();
    // "S" and the wait for the box to confirm it; an axis that does not confirm is told and
    // gets the stop once more. 1 when confirmed.
    int16_t StopAxis(bool alpha);
    void ReportNotStopped(bool alpha);
    // The interface status from what the last action found on each axis.
    void FollowLink(const LineActivity& activity, bool start, int16_t status);
    int16_t Stop();
    int16_t Tracking(const DriverParam& param);
    int16_t AlphaMove(int16_t code, const DriverParam& param);
    int16_t DeltaMove(int16_t code, const DriverParam& param);
    void Poll();
    void Announce(const std::string& text);
    std::string AlphaSign(bool positive) const;
    std::string DeltaSign(bool positive) const;
    void SendAlpha(const std::string& command) { lines_.SendAlpha(command, true); }
    void SendDelta(const std::string& command) { lines_.SendDelta(command, true); }
    void Send(bool alpha, const std::string& command) { alpha ? SendAlpha(command) : SendDelta(command); }
    void SendDeltaOutputs();
    const std::string& Text(StringKey key) const { return core_.settings().Str(key); }
    bool Is64xx(IntKey key) const { return core_.settings().Int(key) == INTERFACE_64XX; }
    uint32_t AdvanceSwitch(double byMs) const;

    Core& core_;
    S64xxLines lines_;
    IntervalTimer& brake_;
    LoadProgress* progress_;
    int16_t alphaOutputs_ = 0;
    int16_t deltaOutputs_ = 0;
    bool ditherActive_ = false;
    std::string ditherLow_;
    std::string ditherHigh_;
    double ditherFraction_ = 0.0;
    int16_t ditherPhase_ = 1;
    uint32_t ditherNext_ = 0;
    bool alphaFailing_ = false;
    bool deltaFailing_ = false;
};

}  // namespace axo
