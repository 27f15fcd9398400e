#pragma once

#include <cstdint>

namespace axo {

// What a long protocol wait asks, every few milliseconds, so that the observer's "Arrêt
// général" ends it: the program runs on one thread and cannot handle a key while a wait holds
// it. The core implements it; it looks at the keyboard and the stop button without running any
// window event, and sends the stop commands itself.
class WaitInterrupt {
public:
    virtual ~WaitInterrupt() = default;
    // True: the wait in progress ends now, and so does every later one of the same transaction.
    virtual bool EndWaits() = 0;
};

// The PC's calendar date and time of day, as the clock timer reads them.
struct PcDateTime {
    int16_t year = 2000;
    int16_t month = 1;
    int16_t day = 1;
    int16_t hour = 0;
    int16_t minute = 0;
    int16_t second = 0;
    int16_t millisecond = 0;
};

// Every piece of control logic reads time through this interface, never from the system
// directly, so that tests can run the protocol's waits on a virtual clock in microseconds.
class Clock {
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary origin, on 32 bits: it wraps after about 49.7 days,
    // like the tick counter the protocols were written against.
    virtual uint32_t GetTickCount() = 0;

    // Seconds since midnight UT, in single precision: the protocol's 0.1 s time-outs are
    // computed on this value and must cope with it going back to 0 at midnight.
    virtual float SecondsSinceMidnight() = 0;

    // The PC's date and time in Universal Time.
    virtual PcDateTime Now() = 0;

    // Lets at least `ms` milliseconds pass without running anything else on this thread.
    // The real clock sleeps; the virtual clock advances its time at once.
    virtual void Pause(uint32_t ms) = 0;

    // WaitMs: returns once the tick counter has advanced by at least n since entry, or earlier
    // when the observer asked for the stop-all (see Interrupted). The default polls the counter
    // and pauses; the real clock sleeps to a deadline instead.
    virtual void WaitTicks(int32_t n);

    // The stop-all as every wait sees it. Waits longer than kInterruptibleMs look at it every
    // kInterruptSliceMs; loops that wait for hardware in small steps ask Interrupted() and
    // give up when it is true.
    void SetInterrupt(WaitInterrupt* interrupt) { interrupt_ = interrupt; }
    bool Interrupted() { return interrupt_ != nullptr && interrupt_->EndWaits(); }

    static constexpr int32_t kInterruptibleMs = 20;
    static constexpr int32_t kInterruptSliceMs = 5;

protected:
    // One uninterrupted wait of n ms (n > 0) on this clock's own terms.
    virtual void WaitTicksUninterrupted(int32_t n);

private:
    WaitInterrupt* interrupt_ = nullptr;
};

// Returns when the tick counter has advanced by at least n milliseconds since entry.
// Elapsed time is computed modulo 2^32, so a wrap of the counter during the wait is harmless;
// a non-positive n returns after one reading of the counter.
inline void WaitMs(Clock& clock, int32_t n) {
    clock.WaitTicks(n);
}

// The system's clock: monotonic tick count, the date and time in UTC (the system clock of a
// Linux machine is UTC; the time zone is only a display matter), sleeping waits.
class RealClock final : public Clock {
public:
    uint32_t GetTickCount() override;
    float SecondsSinceMidnight() override;
    PcDateTime Now() override;
    void Pause(uint32_t ms) override;

protected:
    void WaitTicksUninterrupted(int32_t n) override;
};

// A clock for tests and for the simulated observatory under test: time only moves when
// something waits on it or when the test advances it.
class VirtualClock final : public Clock {
public:
    // `startTick` lets a test place the 32-bit counter just before its wrap.
    explicit VirtualClock(PcDateTime start = {}, uint32_t startTick = 0);

    uint32_t GetTickCount() override;
    float SecondsSinceMidnight() override;
    PcDateTime Now() override;
    void Pause(uint32_t ms) override;

    void Advance(uint64_t ms) { elapsedMs_ += ms; }
    uint64_t ElapsedMs() const { return elapsedMs_; }
    void SetDateTime(PcDateTime when);

private:
    int64_t startMsOfDay_ = 0;   // wall time of day at the origin, ms
    int64_t startDayNumber_ = 0; // days since 1970-01-01 at the origin
    uint32_t startTick_ = 0;
    uint64_t elapsedMs_ = 0;
};

// Day-number helpers shared by the clocks (proleptic Gregorian calendar, 1970-01-01 = 0).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d);
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d);

}  // namespace axo
