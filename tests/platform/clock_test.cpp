#include "platform/clock.h"

#include <gtest/gtest.h>

#include <array>
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
    // Start 5 ms before the 32-bit counter wraps.
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

    // A duration of zero or less returns after one reading.
    SteppingClock clock1(100, 1);
    WaitMs(clock1, 0);
    WaitMs(clock1, -5);
    EXPECT_EQ(clock1.reads, 2);
    EXPECT_TRUE(clock1.pauses.empty());
}

TEST(RealClock, WaitsAtLeastTheRequestedTimeAndGivesUniversalTime) {
    RealClock clock;
    const uint32_t start = clock.GetTickCount();
    WaitMs(clock, 15);
    EXPECT_GE(clock.GetTickCount() - start, 15u);
    // Chained waits absorb each other's lateness, yet each lets the counter advance in full.
    for (int i = 0; i < 50; ++i) {
        const uint32_t t0 = clock.GetTickCount();
        WaitMs(clock, 1 + i % 3);
        ASSERT_GE(clock.GetTickCount() - t0, static_cast<uint32_t>(1 + i % 3)) << i;
    }

    // Date and time are universal whatever the time zone.
    const char* saved = std::getenv("TZ");
    const std::string savedTz = saved != nullptr ? saved : "";
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

TEST(Calendar, VirtualTimeWrapsAtMidnightTheDateFollowsAndCivilDaysRoundTrip) {
    VirtualClock clock(PcDateTime{2023, 12, 31, 23, 59, 59, 900});
    EXPECT_NEAR(clock.SecondsSinceMidnight(), 86399.9F, 0.01F);
    clock.Advance(200);
    EXPECT_NEAR(clock.SecondsSinceMidnight(), 0.1F, 0.001F);
    const PcDateTime t = clock.Now();
    EXPECT_EQ((std::array{t.year, t.month, t.day, t.hour, t.millisecond}), (std::array<int16_t, 5>{2024, 1, 1, 0, 100}));

    // A leap day, and a whole day later the same time.
    clock.SetDateTime(PcDateTime{2024, 2, 28, 12, 0, 0, 0});
    clock.Advance(86400000);
    EXPECT_EQ((std::array{clock.Now().month, clock.Now().day}), (std::array<int16_t, 2>{2, 29}));
    clock.Advance(86400000);
    EXPECT_EQ((std::array{clock.Now().month, clock.Now().day, clock.Now().hour}), (std::array<int16_t, 3>{3, 1, 12}));

    // Setting the date does not move the tick counter.
    VirtualClock ticks({}, 1000);
    ticks.Advance(500);
    ticks.SetDateTime(PcDateTime{2030, 6, 15, 3, 4, 5, 0});
    EXPECT_EQ(ticks.GetTickCount(), 1500u);
    EXPECT_EQ((std::array{ticks.Now().hour, ticks.Now().second}), (std::array<int16_t, 2>{3, 5}));

    // Civil days round-trip over centuries.
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
