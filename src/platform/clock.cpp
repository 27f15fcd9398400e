#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace axo {

void WaitMs(Clock& clock, int32_t n) {
    const uint32_t start = clock.GetTickCount();
    if (n <= 0) {
        return;
    }
    const uint32_t wanted = static_cast<uint32_t>(n);
    for (;;) {
        // Unsigned subtraction gives the true elapsed time across a wrap of the counter.
        const uint32_t elapsed = clock.GetTickCount() - start;
        if (elapsed >= wanted) {
            return;
        }
        clock.Pause(wanted - elapsed);
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
struct LocalNow {
    std::tm tm{};
    int ms = 0;
};

LocalNow ReadLocalNow() {
    const auto now = std::chrono::system_clock::now();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
    const std::time_t secs = static_cast<std::time_t>(ms / 1000);
    LocalNow out;
    localtime_r(&secs, &out.tm);
    out.ms = static_cast<int>(ms % 1000);
    return out;
}
}  // namespace

float RealClock::SecondsSinceMidnight() {
    const LocalNow now = ReadLocalNow();
    const double s = now.tm.tm_hour * 3600.0 + now.tm.tm_min * 60.0 + now.tm.tm_sec + now.ms / 1000.0;
    return static_cast<float>(s);
}

PcDateTime RealClock::Now() {
    const LocalNow now = ReadLocalNow();
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
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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
