#include "platform/clock.h"

#include <sys/prctl.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>

namespace axo {

void Clock::WaitTicks(int32_t n) {
    if (n <= 0) {
        GetTickCount();
        return;
    }
    if (interrupt_ == nullptr || n < kInterruptibleMs) {
        WaitTicksUninterrupted(n);
        return;
    }
    // A long wait is a chain of short ones with a look at the stop-all between them; the chain
    // keeps the deadline of one wait (each short wait counts from the end of the last).
    const uint32_t start = GetTickCount();
    const auto wanted = static_cast<uint32_t>(n);
    for (;;) {
        if (Interrupted()) {
            return;
        }
        const uint32_t elapsed = GetTickCount() - start;
        if (elapsed >= wanted) {
            return;
        }
        WaitTicksUninterrupted(static_cast<int32_t>(std::min<uint32_t>(wanted - elapsed, kInterruptSliceMs)));
    }
}

void Clock::WaitTicksUninterrupted(int32_t n) {
    const uint32_t start = GetTickCount();
    const uint32_t wanted = static_cast<uint32_t>(n);
    for (;;) {
        // Unsigned subtraction gives the true elapsed time across a wrap of the counter.
        const uint32_t elapsed = GetTickCount() - start;
        if (elapsed >= wanted) {
            return;
        }
        Pause(wanted - elapsed);
    }
}

// Howard Hinnant's days-from-civil algorithm.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? static_cast<unsigned>(-3) : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2 ? 1 : 0;
}

uint32_t RealClock::GetTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

namespace {
struct UtcNow {
    std::tm tm{};
    int ms = 0;
};

// The time of day and the date are taken in UTC: "TU" on the display and the sidereal time are
// computed from them, and a machine set to a local zone must not shift them by its offset.
UtcNow ReadUtcNow() {
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    UtcNow out;
    gmtime_r(&secs, &out.tm);
    out.ms = static_cast<int>(ms % 1000);
    return out;
}

using Steady = std::chrono::steady_clock;

// The end of the last wait of this thread (each thread that waits has its own chain).
thread_local Steady::time_point lastDeadline{};

void SleepUntil(Steady::time_point deadline) {
    // A polling tick is a chain of short waits; the kernel's default timer slack (50 us) on
    // each of them adds up to several percent of the tick, so a waiting thread asks once for
    // a tighter wake-up.
    static thread_local const bool tightSlack = prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL) == 0;
    (void)tightSlack;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.time_since_epoch()).count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}
}  // namespace

float RealClock::SecondsSinceMidnight() {
    const UtcNow now = ReadUtcNow();
    const double s = now.tm.tm_hour * 3600.0 + now.tm.tm_min * 60.0 + now.tm.tm_sec + now.ms / 1000.0;
    return static_cast<float>(s);
}

PcDateTime RealClock::Now() {
    const UtcNow now = ReadUtcNow();
    PcDateTime t;
    t.year = static_cast<int16_t>(now.tm.tm_year + 1900);
    t.month = static_cast<int16_t>(now.tm.tm_mon + 1);
    t.day = static_cast<int16_t>(now.tm.tm_mday);
    t.hour = static_cast<int16_t>(now.tm.tm_hour);
    t.minute = static_cast<int16_t>(now.tm.tm_min);
    t.second = static_cast<int16_t>(now.tm.tm_sec);
    t.millisecond = static_cast<int16_t>(now.ms);
    return t;
}

void RealClock::Pause(uint32_t ms) {
    // Sleeping keeps the observable behaviour of a busy wait (this thread runs nothing else)
    // without burning a core for the whole night.
    SleepUntil(Steady::now() + std::chrono::milliseconds(ms));
}

void RealClock::WaitTicksUninterrupted(int32_t n) {
    const Steady::time_point now = Steady::now();
    const auto wanted = std::chrono::milliseconds(n);
    // A busy wait on the tick counter ends when the counter has gone up by n: at the n-th
    // millisecond boundary after entry. Sleeping to exactly that moment keeps the guarantee.
    const auto tickDeadline = std::chrono::floor<std::chrono::milliseconds>(now) + wanted;
    // Every wake-up comes a little late (about 0.1 ms here). A wait that follows the previous
    // one straight away counts from that one's deadline, so that the lateness of a chain of
    // waits (a polling tick holds dozens) does not add up; it is never shorter than the tick
    // counter allows.
    Steady::time_point start = now;
    if (now >= lastDeadline && now - lastDeadline < std::chrono::milliseconds(1)) {
        start = lastDeadline;
    }
    const Steady::time_point deadline = std::max(start + wanted, Steady::time_point(tickDeadline));
    SleepUntil(deadline);
    lastDeadline = deadline;
}

VirtualClock::VirtualClock(PcDateTime start, uint32_t startTick) : startTick_(startTick) {
    SetDateTime(start);
}

void VirtualClock::SetDateTime(PcDateTime when) {
    startDayNumber_ = DaysFromCivil(when.year, static_cast<unsigned>(when.month), static_cast<unsigned>(when.day));
    startMsOfDay_ = ((when.hour * 60LL + when.minute) * 60LL + when.second) * 1000LL + when.millisecond;
    // The tick counter keeps running; only the wall time is re-based.
    startMsOfDay_ -= static_cast<int64_t>(elapsedMs_);
}

uint32_t VirtualClock::GetTickCount() {
    return static_cast<uint32_t>(startTick_ + elapsedMs_);
}

float VirtualClock::SecondsSinceMidnight() {
    constexpr int64_t kDayMs = 86400000;
    int64_t msOfDay = (startMsOfDay_ + static_cast<int64_t>(elapsedMs_)) % kDayMs;
    if (msOfDay < 0) {
        msOfDay += kDayMs;
    }
    return static_cast<float>(static_cast<double>(msOfDay) / 1000.0);
}

PcDateTime VirtualClock::Now() {
    constexpr int64_t kDayMs = 86400000;
    const int64_t total = startDayNumber_ * kDayMs + startMsOfDay_ + static_cast<int64_t>(elapsedMs_);
    int64_t days = total / kDayMs;
    int64_t msOfDay = total % kDayMs;
    if (msOfDay < 0) {
        msOfDay += kDayMs;
        --days;
    }
    int64_t y = 0;
    unsigned m = 0;
    unsigned d = 0;
    CivilFromDays(days, y, m, d);
    PcDateTime t;
    t.year = static_cast<int16_t>(y);
    t.month = static_cast<int16_t>(m);
    t.day = static_cast<int16_t>(d);
    t.hour = static_cast<int16_t>(msOfDay / 3600000);
    t.minute = static_cast<int16_t>(msOfDay / 60000 % 60);
    t.second = static_cast<int16_t>(msOfDay / 1000 % 60);
    t.millisecond = static_cast<int16_t>(msOfDay % 1000);
    return t;
}

void VirtualClock::Pause(uint32_t ms) {
    elapsedMs_ += ms;
}

}  // namespace axo
