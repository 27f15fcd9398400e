#include "platform/clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace axo {
namespace {

// A clock whose counter moves by a fixed step at every reading and ignores Pause: it behaves
// like a busy wait on a fast machine, and shows that WaitMs never relies on Pause being exact.
class SteppingClock final : public Clock {
public:
    SteppingClock(uint32_t start, uint32_t step) : tick_(start), step_(step) {}
    uint32_t GetTickCount() override {
        const uint32_t t = tick_;
        tick_ += step_;
        ++reads;
        return t;
    }
    float SecondsSinceMidnight() override { return 0.0F; }
    PcDateTime Now() override { return {}; }
    void Pause(uint32_t ms) override { pauses.push_back(ms); }

    int reads = 0;
    std::vector<uint32_t> pauses;

private:
    uint32_t tick_;
    uint32_t step_;
};

TEST(WaitMs, WaitsTheRequestedTimeAcrossTheCounterWrap) {
    // Start 5 ms before the 32-bit counter wraps; a signed or naive comparison would either
    // return at once or never return.
    VirtualClock clock({}, 0xFFFFFFFFu - 4);
    WaitMs(clock, 20);
    EXPECT_EQ(clock.ElapsedMs(), 20u);
    EXPECT_EQ(clock.GetTickCount(), 15u);

    // The same wrap seen through a busy-waiting counter: it ends, and not before n ms.
    SteppingClock stepping(0x7FFFFFFFu - 3, 3);  // also crosses the signed wrap
    WaitMs(stepping, 10);
    EXPECT_EQ(stepping.reads, 5);  // 0, 3, 6, 9 are short of 10; 12 is enough

    SteppingClock nearTop(0xFFFFFFF0u, 7);
    WaitMs(nearTop, 30);
    EXPECT_EQ(nearTop.reads, 6);
}

TEST(WaitMs, NonPositiveDurationReturnsAfterOneReading) {
    SteppingClock clock(100, 1);
    WaitMs(clock, 0);
    WaitMs(clock, -5);
    EXPECT_EQ(clock.reads, 2);
    EXPECT_TRUE(clock.pauses.empty());
}

TEST(WaitMs, RealClockWaitsAtLeastTheRequestedTime) {
    RealClock clock;
    const uint32_t start = clock.GetTickCount();
    WaitMs(clock, 15);
    EXPECT_GE(clock.GetTickCount() - start, 15u);
    // Waits chained back to back absorb each other's lateness, but each one still lets the tick
    // counter advance by its full count.
    for (int i = 0; i < 50; ++i) {
        const uint32_t t0 = clock.GetTickCount();
        WaitMs(clock, 1 + i % 3);
        ASSERT_GE(clock.GetTickCount() - t0, static_cast<uint32_t>(1 + i % 3)) << i;
    }
}

TEST(RealClock, DateAndTimeAreUniversalWhateverTheTimeZone) {
    const char* saved = std::getenv("TZ");
    const std::string savedTz = saved != nullptr ? saved : "";
    RealClock clock;
    for (const char* zone : {"CET-1CEST,M3.5.0,M10.5.0/3", "PST8PDT,M3.2.0,M11.1.0", "IST-5:30", "UTC0"}) {
        setenv("TZ", zone, 1);
        tzset();
        const std::time_t before = std::time(nullptr);
        const PcDateTime now = clock.Now();
        const float seconds = clock.SecondsSinceMidnight();
        std::tm utc{};
        gmtime_r(&before, &utc);
        // A second may tick between the two readings; the hour of a zone offset may not.
        const int got = now.hour * 3600 + now.minute * 60 + now.second;
        const int want = utc.tm_hour * 3600 + utc.tm_min * 60 + utc.tm_sec;
        EXPECT_LE((got - want + 86400) % 86400, 2) << zone;
        if (want < 86398) {  // the date may turn between the readings only at midnight
            EXPECT_EQ(now.day, utc.tm_mday) << zone;
        }
        const double drift = std::fmod(static_cast<double>(seconds) - want + 86400.0, 86400.0);
        EXPECT_TRUE(drift <= 3.0 || drift >= 86397.0) << zone << " " << seconds;
    }
    if (saved != nullptr) {
        setenv("TZ", savedTz.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST(VirtualClock, TimeOfDayWrapsAtMidnightAndTheDateFollows) {
    VirtualClock clock(PcDateTime{2023, 12, 31, 23, 59, 59, 900});
    EXPECT_NEAR(clock.SecondsSinceMidnight(), 86399.9F, 0.01F);
    clock.Advance(200);
    EXPECT_NEAR(clock.SecondsSinceMidnight(), 0.1F, 0.001F);
    const PcDateTime t = clock.Now();
    EXPECT_EQ(t.year, 2024);
    EXPECT_EQ(t.month, 1);
    EXPECT_EQ(t.day, 1);
    EXPECT_EQ(t.hour, 0);
    EXPECT_EQ(t.millisecond, 100);

    // A leap day, and a whole day later the same time.
    clock.SetDateTime(PcDateTime{2024, 2, 28, 12, 0, 0, 0});
    clock.Advance(86400000);
    EXPECT_EQ(clock.Now().month, 2);
    EXPECT_EQ(clock.Now().day, 29);
    clock.Advance(86400000);
    EXPECT_EQ(clock.Now().month, 3);
    EXPECT_EQ(clock.Now().day, 1);
    EXPECT_EQ(clock.Now().hour, 12);
}

TEST(VirtualClock, SettingTheDateDoesNotMoveTheTickCounter) {
    VirtualClock clock({}, 1000);
    clock.Advance(500);
    clock.SetDateTime(PcDateTime{2030, 6, 15, 3, 4, 5, 0});
    EXPECT_EQ(clock.GetTickCount(), 1500u);
    EXPECT_EQ(clock.Now().hour, 3);
    EXPECT_EQ(clock.Now().second, 5);
}

TEST(CivilDays, RoundTripsOverCenturies) {
    EXPECT_EQ(DaysFromCivil(1970, 1, 1), 0);
    EXPECT_EQ(DaysFromCivil(2000, 3, 1), 11017);
    for (int64_t z = -800000; z <= 800000; z += 997) {
        int64_t y = 0;
        unsigned m = 0;
        unsigned d = 0;
        CivilFromDays(z, y, m, d);
        ASSERT_EQ(DaysFromCivil(y, m, d), z);
    }
}

}  // namespace
}  // namespace axo
