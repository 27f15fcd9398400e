#include <gtest/gtest.h>

#include <memory>

#include "interfaces/parallel_rig.h"

namespace axo {
namespace {

using test::Bytes;
using test::Lines;
using test::ParallelRig;

// Plays the dome board's side of a count read: the high nibble with the acknowledge after the
// strobe, the low nibble once 0x30 is on the port, ready again at 0x00.
void AnswerCountRead(test::FakePortIo& io, uint8_t count) {
    auto phase = std::make_shared<int>(0);
    io.SetInput(0x20);
    io.onStrobe = [&io, count, phase](uint8_t a, uint8_t dibit) {
        if (a == 1 && dibit == 0) {
            *phase = 1;
            io.SetInput(static_cast<uint8_t>(0x10 | (count >> 4)));
        }
    };
    io.onCommand = [&io, count, phase](uint8_t value) {
        if (*phase == 1 && value == 0x30) {
            *phase = 2;
            io.SetInput(count & 0x0F);
        } else if (*phase == 2 && value == 0x00) {
            *phase = 0;
            io.SetInput(0x20);
        }
    };
}

TEST(DomeBoard, TheCountGivesTheAzimuthIsKeptForTheSettingsFileAndNeedsItsAcknowledge) {
    for (const auto& [count, azimuth] : std::vector<std::pair<uint8_t, int16_t>>{
             {0, 180}, {10, 194}, {249, 178}, {125, 0}, {200, 108}}) {
        SCOPED_TRACE(int{count});
        ParallelRig t;
        AnswerCountRead(t.io, count);
        t.driver.ReadDomeAzimuth();
        EXPECT_EQ(t.r.core.position().DomeAzimuth, azimuth);
        EXPECT_EQ(t.r.settings.Int(IntKey::NIC), count);
        EXPECT_EQ(t.driver.DomeCount(), count);
        // The read exchange: dibit 0 strobed, 0x30 then 0x00 put on the port directly.
        EXPECT_EQ(t.io.CommandWrites(), (Bytes{0x01, 0x00, 0x30, 0x00}));
        EXPECT_TRUE(t.Reports().empty());
    }

    // The settings file gets the last count back at every write, and a re-read gives it anew.
    ParallelRig t;
    AnswerCountRead(t.io, 42);
    t.driver.ReadDomeAzimuth();
    t.r.settings.Int(IntKey::NIC) = 7;
    t.driver.ReturnSettingsCopies(t.r.settings);
    EXPECT_EQ(t.r.settings.Int(IntKey::NIC), 42);
    t.r.settings.Int(IntKey::NIC) = 99;
    t.driver.TakeSettingsCopies(t.r.settings);
    EXPECT_EQ(t.driver.DomeCount(), 99);

    // Left ready but without the acknowledge: not a count, a reception failure.
    ParallelRig f;
    f.r.core.position().DomeAzimuth = 33;
    f.AnswerOnceThenSilent(1, 0x05, 0x8F);
    f.driver.ReadDomeAzimuth();
    EXPECT_EQ(f.r.core.position().DomeAzimuth, 33);
    EXPECT_EQ(f.r.log.Only({"msg !!!", "msg Reset"}),
              (Lines{"msg !!! Réception du nombre d'impulsion coupole impossible.",
                     "msg !!! La platine coupole ne répond pas et va être réinitialisée",
                     "msg Reset micro-contrôleur Coupole"}));
}

TEST(DomeBoard, TheFollowStepTurnsTheShortWayStopsInsideTheDeadBandAndHoldsWithoutCoders) {
    // known: the coders gave the telescope's azimuth; dibits: strobed to the dome board.
    const struct { int16_t dome, telescope; bool known, movingBefore; Bytes dibits; bool movingAfter; } cases[] = {
        {355, 5, true, false, {1, 2, 2}, true},   // through north, towards increasing azimuth
        {12, 10, true, true, {1}, false},         // 2 degrees past: stop
        {10, 10, true, false, {1, 2, 2}, true},   // on target: run on to 1-5 degrees past
        {2, 359, true, true, {1}, false},         // 3 degrees past, across north
        {4, 359, true, true, {1}, false},         // 5 degrees past
        {5, 359, true, false, {1, 2, 1}, true},   // 6 degrees past: turn back, decreasing azimuth
        {0, 360, true, false, {1, 2, 2}, true},   // a telescope azimuth rounded to 360 is north
        {100, 300, true, true, {}, true},         // already turning: nothing more
        {303, 302, true, false, {}, false},       // inside the band and stopped: nothing
        {100, 300, false, true, {1}, false},  // coders unreadable while turning: stop
        {100, 300, false, false, {}, false},  // coders unreadable, stopped: stay
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.dome << " " << c.telescope);
        ParallelRig t;
        t.io.SetInput(0x20);
        t.io.onStrobe = [&](uint8_t a, uint8_t dibit) {
            if (a == 1) {
                t.io.SetInput(dibit == 2 && t.io.Dibits(1).size() == 2 ? 0x10 : 0x20);
            }
        };
        RuntimeState& s = t.r.core.state();
        s.DomeTrackingOn = true;
        s.DomeFollowMoving = c.movingBefore;
        t.r.core.position().DomeAzimuth = c.dome;
        t.r.core.position().TelescopeAzimuth = c.telescope;
        t.r.core.position().TelescopeAzimuthKnown = c.known;
        t.Code(CMD_DOME_TRACK_STEP);
        EXPECT_EQ(t.io.Dibits(1), c.dibits);
        EXPECT_EQ(s.DomeFollowMoving, c.movingAfter);
        EXPECT_TRUE(s.DomeTrackingOn);  // the follow step never ends dome tracking
        EXPECT_TRUE(t.Reports().empty());
    }
}

TEST(DomeBoard, RestInitAndRotationFailures) {
    // Rest at 90 with the dome at 95: already there.
    ParallelRig at;
    at.r.settings.Int(IntKey::dome_rest_pos) = 90;
    at.r.core.position().DomeAzimuth = 95;
    at.driver.DomeToRest();
    EXPECT_TRUE(at.io.writes.empty());
    EXPECT_FALSE(at.r.core.state().DomeRestRunning);
    EXPECT_EQ(at.Reports().back(), "msg *** La Coupole est à sa position Repos");

    // Far from rest with a board that never leaves ready: one box, the rest travel ends.
    ParallelRig far;
    far.r.settings.Int(IntKey::dome_rest_pos) = 15;
    far.r.core.position().DomeAzimuth = 200;
    far.io.SetInput(0x20);
    far.driver.DomeToRest();
    EXPECT_EQ(far.io.Dibits(1), (Bytes{1, 2}));
    EXPECT_FALSE(far.r.core.state().DomeRestRunning);
    EXPECT_EQ(far.Reports(), (Lines{"beep", "box Erreur | Rotation de la coupole impossible.\n"
                                            "La platine coupole ne répond pas."}));

    // The direction taken but ready never comes back.
    ParallelRig turn;
    turn.io.SetInput(0x20);
    turn.io.onStrobe = [&](uint8_t, uint8_t dibit) { dibit == 2 ? turn.io.SetInput(0x10) : void(); };
    turn.driver.DomeRotate(CMD_DOME_DIR1);
    EXPECT_EQ(turn.io.Dibits(1), (Bytes{1, 2, 1}));
    EXPECT_EQ(turn.Reports(), (Lines{"beep", "box Erreur | Problème avec la rotation de la coupole.\n"
                                             "La platine coupole ne répond pas."}));

    // Init: dibit 3 answered with exactly 0x10, then 3 again; refused, a transmission failure
    // (after start-up, error_stop 0: two lines).
    for (const bool answers : {true, false}) {
        ParallelRig t;
        t.io.SetInput(0x20);
        t.io.onStrobe = [&](uint8_t, uint8_t dibit) { t.io.SetInput(answers && dibit == 3 ? 0x10 : 0x20); };
        t.driver.DomeInit();
        EXPECT_EQ(t.r.core.state().DomeInitRunning, answers);
        if (answers) {
            EXPECT_EQ(t.io.Dibits(1), (Bytes{1, 3, 3}));
        } else {
            EXPECT_EQ(t.r.log.Only({"msg !!!"}), (Lines{"msg !!! Initialisation de la coupole impossible.",
                                                       "msg !!! La platine Coupole ne répond pas."}));
        }
    }
}

TEST(DomeBoard, ThePositionLoadSendsTheCountAndItsExactAnswers) {
    ParallelRig t;
    t.r.settings.Int(IntKey::NIC) = 0xB4;
    t.driver.TakeSettingsCopies(t.r.settings);
    // The board answers 0x10 to dibit 3, then 0x11 and 0x10 in turn.
    const uint8_t answers[] = {0x10, 0x11, 0x10, 0x11, 0x10, 0x11};
    std::size_t n = 0;
    t.io.onStrobe = [&](uint8_t a, uint8_t dibit) {
        if (a != 1 || (n == 0 && dibit != 3)) {
            return;  // the stop dibit comes first
        }
        t.io.SetInput(n < 6 ? answers[n] : 0x20);
        ++n;
    };
    EXPECT_EQ(t.driver.SendDomePosition(), 0);
    EXPECT_EQ(t.io.Dibits(1), (Bytes{1, 3, 0, 2, 3, 1, 0, 0}));
    EXPECT_TRUE(t.Reports().empty());

    // A wrong answer: report, 200 ms, reset of the dome board, status 1.
    ParallelRig f;
    f.io.SetInput(0x20);
    f.io.onStrobe = [&](uint8_t, uint8_t dibit) {
        if (dibit == 3) {
            f.io.SetInput(0x11);
        }
    };
    EXPECT_EQ(f.driver.SendDomePosition(), 1);
    EXPECT_EQ(f.r.log.Only({"msg !!!", "msg Reset"}),
              (Lines{"msg !!! Transmission du nombre d'impulsion coupole impossible.",
                     "msg !!! La platine coupole ne répond pas.", "msg Reset micro-contrôleur Coupole"}));
}

}  // namespace
}  // namespace axo
