#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

#include "interfaces/parallel_rig.h"

namespace axo {
namespace {

using test::Bytes;
using test::Lines;
using test::ParallelRig;
using test::WritingBoard;

// Dibits of bytes, most significant first: `width` 8 the full form, 6 the six-bit form and its closing zero.
Bytes Dibits(std::initializer_list<unsigned> bytes, int width = 8, Bytes head = {}) {
    for (unsigned b : bytes) {
        for (int s = width - 2; s >= 0; s -= 2) {
            head.push_back(static_cast<uint8_t>((b >> s) & 3));
        }
        if (width == 6) {
            head.push_back(0);
        }
    }
    return head;
}

TEST(AxisBoardWrites, CountVariablesAndCoordinatesWithTheDeclinationFlags) {
    // Delta: count's whole part six-bit; sign in the degrees' bit 7 (set: positive), "-0" in the minutes'.
    const struct { const char* what; std::function<void(ParallelDriver&)> send; uint8_t address; bool initialAck;
                   Bytes dibits; } cases[] = {
        {"count 0.995", [](ParallelDriver& d) { d.SendCountAlpha(0.995); }, 2, true, Dibits({0, 99, 50, 0}, 8, {3})},
        {"count 1.15", [](ParallelDriver& d) { d.SendCountAlpha(1.15); }, 2, true, Dibits({1, 15, 0, 0}, 8, {3})},
        {"count 24.5", [](ParallelDriver& d) { d.SendCountAlpha(24.5); }, 2, true, Dibits({24, 50, 0, 0}, 8, {3})},
        {"count 255", [](ParallelDriver& d) { d.SendCountAlpha(255); }, 2, true, Dibits({255, 0, 0, 0}, 8, {3})},
        {"delta count", [](ParallelDriver& d) { d.SendCountDelta(24.5); }, 3, true,
         Dibits({50, 0, 0}, 8, Dibits({0, 24}, 6, {3}))},
        {"alpha", [](ParallelDriver& d) { d.SendAlphaCoordinates(23, 59, 58); }, 2, false, Dibits({23, 59, 58}, 6, {2})},
        {"-5", [](ParallelDriver& d) { d.SendDeltaCoordinates(-5, 30, 0, 0); }, 3, true,
         Dibits({0}, 6, Dibits({5, 158}, 8, {2}))},
        {"-0", [](ParallelDriver& d) { d.SendDeltaCoordinates(0, 30, 0, 1); }, 3, true,
         Dibits({0}, 6, Dibits({0, 30}, 8, {2}))},
        {"12", [](ParallelDriver& d) { d.SendDeltaCoordinates(12, 0, 7, 0); }, 3, true,
         Dibits({7}, 6, Dibits({140, 0}, 8, {2}))},
        {"0", [](ParallelDriver& d) { d.SendDeltaCoordinates(0, 0, 0, 0); }, 3, true,
         Dibits({0}, 6, Dibits({128, 0}, 8, {2}))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ParallelRig t;
        WritingBoard board{t.io, c.address, c.initialAck, c.dibits.size() - 1};
        board.Attach();
        c.send(t.driver);
        EXPECT_EQ(t.io.Dibits(c.address), c.dibits);
        EXPECT_TRUE(t.Reports().empty());
    }
}

TEST(AxisBoardWrites, AMissingAcknowledgeIsReportedByStartupStateAndErrorStop) {
    // After start-up with error_stop 0: two "!!! " lines; it stops at the frozen dibit.
    ParallelRig a;
    WritingBoard frozen{a.io, 2, false, 12, 5};
    frozen.Attach();
    a.driver.SendAlphaCoordinates(1, 2, 3);
    EXPECT_EQ(a.io.Dibits(2).size(), 6U);  // the command and dibits 1..5
    EXPECT_EQ(a.Reports(), (Lines{"beep", "msg !!! Transmission des coordonnées Alpha impossible.",
                                  "msg !!! La platine Alpha ne répond pas."}));
    // error_stop 1, or before the end of start-up: one box.
    for (const bool startupDone : {true, false}) {
        ParallelRig t;
        t.r.core.state().StartupDone = startupDone;
        t.r.settings.Int(IntKey::error_stop) = startupDone ? 1 : 0;
        WritingBoard board{t.io, 3, true, 20, 2};
        board.Attach();
        t.driver.SendCountDelta(3.0);
        EXPECT_EQ(t.Reports(), (Lines{"beep", "box Erreur | Transmission du nombre d'impulsion Delta impossible.\n"
                                              "La platine Delta ne répond pas."}));
    }
    // A board that does not leave ready after the command is skipped without a word.
    ParallelRig t;
    t.io.SetInput(0x20);
    t.driver.SendCountAlpha(1.0);
    EXPECT_EQ(t.io.Dibits(2), (Bytes{3}));
    EXPECT_TRUE(t.Reports().empty());
}

// An axis board's read answer: six nibbles, tens with the acknowledge clear, units with it set, then ready.
void AnswerRead(test::FakePortIo& io, uint8_t address, Bytes nibbles) {
    io.SetInput(0x20);
    io.onStrobe = [&io, address, nibbles, step = std::size_t{0}](uint8_t a, uint8_t) mutable {
        if (a == address) {
            io.SetInput(step == 6 ? 0x20 : static_cast<uint8_t>((step % 2 == 1 ? 0x10 : 0x00) | nibbles[step]));
            step = (step + 1) % 7;
        }
    };
}

TEST(AxisBoardReads, PositionsAndTheDeclinationSignNibble) {
    ParallelRig t;
    AnswerRead(t.io, 2, {2, 3, 5, 9, 0, 7});
    t.driver.ReadAlphaCoordinates();
    const Position& p = t.r.core.position();
    EXPECT_EQ((std::array<int16_t, 3>{p.HourAngleH, p.HourAngleM, p.HourAngleS}), (std::array<int16_t, 3>{23, 59, 7}));
    EXPECT_EQ(t.io.Dibits(2), (Bytes{0, 0, 0, 0, 0, 0, 0}));

    // Minutes' tens 0x0B: positive, 3; seconds' tens: bits 0-2 only; negative 0 0' 0" stored positive.
    const struct { Bytes nibbles; std::array<int16_t, 4> negativeDms; } deltas[] = {
        {{4, 5, 0x0B, 2, 0x0D, 1}, {0, 45, 32, 51}}, {{1, 2, 0x03, 0, 0x00, 9}, {1, 12, 30, 9}},
        {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0}}};
    for (const auto& c : deltas) {
        AnswerRead(t.io, 3, c.nibbles);
        t.driver.ReadDeltaCoordinates();
        EXPECT_EQ((std::array<int16_t, 4>{p.DeclinationNegative, p.DeclinationD, p.DeclinationM, p.DeclinationS}),
                  c.negativeDms);
    }
    EXPECT_TRUE(t.Reports().empty());
}

TEST(AxisBoardReads, TwentyFailedPollsAreSilentTheTwentyFirstReportsAndResetsAMissingAcknowledgeAtOnce) {
    ParallelRig t;
    const auto poll = [&t](int times) {
        for (int i = 0; i < times; ++i) {
            t.driver.ReadAlphaCoordinates();
        }
    };
    t.io.SetInput(0x20);  // ready, but it never leaves ready when asked for its position
    poll(20);
    EXPECT_TRUE(t.Reports().empty());
    EXPECT_EQ(t.io.Dibits(2).size(), 20U);

    t.io.ClearRecord();
    poll(1);
    EXPECT_EQ(t.Reports(), (Lines{"beep", "msg !!! Réception des coordonnées Alpha impossible",
                                  "msg !!! La platine Alpha ne répond pas et va être réinitialisée",
                                  "msg Reset micro-contrôleur Alpha"}));
    // The poll, the reset pulse, the count command the board ignores, the common tail.
    EXPECT_EQ(t.io.CommandWrites(), (Bytes{0x02, 0x00, 0x8E, 0x0E, 0x32, 0x30, 0x80, 0x00}));

    // A second round of 21 reports once more; after that only silence.
    t.r.log.Clear();
    poll(21);
    EXPECT_EQ(t.r.log.Only({"beep"}).size(), 1U);
    t.r.log.Clear();
    poll(63);
    EXPECT_TRUE(t.Reports().empty());

    // A good read re-arms the reports; error_stop 1 makes the next one a box.
    AnswerRead(t.io, 2, {0, 1, 0, 2, 0, 3});
    poll(1);
    EXPECT_EQ(t.r.core.position().HourAngleS, 3);
    t.io.onStrobe = nullptr;
    t.io.SetInput(0x20);
    t.r.settings.Int(IntKey::error_stop) = 1;
    poll(21);
    EXPECT_EQ(t.r.log.Only({"box "}), (Lines{"box Erreur | Réception des coordonnées Alpha impossible\n"
                                             "La platine Alpha ne répond pas et va être réinitialisée"}));

    // An acknowledge missing inside the read is reported at once.
    ParallelRig d;
    d.AnswerOnceThenSilent(3, 0x04, 0x8D);  // the degrees' tens, then nothing
    d.r.core.position().DeclinationD = 77;
    d.driver.ReadDeltaCoordinates();
    EXPECT_EQ(d.r.core.position().DeclinationD, 77);
    EXPECT_EQ(d.r.log.Only({"msg !!!"}), (Lines{"msg !!! Réception des coordonnées Delta impossible.",
                                               "msg !!! La platine Delta ne répond pas et va être réinitialisée"}));
    // So is one missing at the seconds, the last pair of the read.
    ParallelRig s;
    s.io.SetInput(0x20);
    s.io.onStrobe = [&s, step = 0](uint8_t a, uint8_t) mutable {
        const uint8_t degreesAndMinutes[] = {0x04, 0x15, 0x0B, 0x12};
        if (a == 3 && step < 4) {
            s.io.SetInput(degreesAndMinutes[step++]);
        }
    };
    s.driver.ReadDeltaCoordinates();
    EXPECT_EQ(s.r.log.Only({"msg !!! Réception"}), (Lines{"msg !!! Réception des coordonnées Delta impossible."}));
}

// Zero command 1, 0; index after `searchReads` readings, acknowledged by 0; 1, 0 again aborts; 2 loads.
struct ZeroBoard {
    test::FakePortIo& io;
    uint8_t address;
    int searchReads;
    enum { Idle, Searching, Found, Loading } state = Idle;
    bool prefix = false, ack = false;
    int reads = 0, loaded = 0;

    void Go(decltype(state) next, uint8_t input) {
        state = next;
        io.SetInput(input);
    }
    void Attach() {
        io.SetInput(0x20);
        io.beforeRead = [this](uint16_t) {
            if (state == Searching && ++reads >= 2 * searchReads) {
                Go(Found, 0x0F);
            }
        };
        io.onStrobe = [this](uint8_t a, uint8_t dibit) {
            if (a != address) {
                return;
            }
            const bool zeroCommand = prefix && dibit == 0;
            prefix = (state == Idle || state == Searching) && dibit == 1;
            if (state == Idle && zeroCommand) {
                Go(Searching, 0x10);
            } else if (state == Idle && dibit == 2) {
                ack = address == 3;
                loaded = 0;
                Go(Loading, ack ? 0x10 : 0x00);
            } else if ((state == Searching && zeroCommand) || state == Found) {
                Go(Idle, 0x20);
            } else if (state == Loading) {
                ack = !ack;
                ++loaded == 12 ? Go(Idle, 0x20) : io.SetInput(ack ? 0x10 : 0x00);
            }
        };
    }
};

struct ZeroRig : ParallelRig {
    ZeroRig() {
        driver.RegisterWith(r.core);
        r.Init();
        io.ClearRecord();
        r.log.Clear();
    }
};

TEST(ZeroCoder, CancelInTheFirstBoxTouchesNoPort) {
    for (const int probe : {1, 0}) {
        ZeroRig t;
        t.r.settings.Int(IntKey::probe_enable) = static_cast<int16_t>(probe);
        t.r.core.PressTracking();
        t.io.ClearRecord();
        t.r.log.Clear();
        t.r.op.answer = MessageAnswer::Cancel;
        t.Code(CMD_ZERO_CODER_ALPHA);
        // Tracking stopped (latch 0xFE) before the box; nothing after it.
        EXPECT_EQ(t.io.Dibits(2), Bytes{});
        EXPECT_EQ(t.io.data, 0xFE);
        EXPECT_EQ(t.r.core.events().Requested(EVT_TRACKING), 0);
        EXPECT_EQ(t.r.log.Only({"timer"}), (probe == 1 ? Lines{"timer off", "timer on"} : Lines{"timer off"}));
        EXPECT_EQ(t.r.log.Only({"box "}), (Lines{"box Zéro codeur Alpha | Mettez le Telescope un peu avant\n"
                                                 "0h 0m 0s (moins de 2 minutes)"}));
        EXPECT_EQ(t.cancel.opened, 0);
    }
}

TEST(ZeroCoder, ABoardAlreadyOnItsZeroEndsTheWaitAtTheFirstReading) {
    ZeroRig t;
    t.r.settings.Int(IntKey::control_mode_alpha) = SPEED_CENTERING;
    t.r.view.SetChecked("optControlCenteringAlpha", false);  // so that a click would show
    t.r.settings.Int(IntKey::control_mode_delta) = SPEED_MOVING;
    ZeroBoard board{t.io, 3, 0};
    board.Attach();
    t.Code(CMD_ZERO_CODER_DELTA);
    EXPECT_EQ(t.cancel.opened, 1);
    EXPECT_EQ(t.cancel.label, "Zéro codeur Delta en cours...");
    EXPECT_FALSE(t.cancel.visible);
    // Zero command, acknowledge of the index, then the load of 0 0' 0" (positive flag set).
    EXPECT_EQ(t.io.Dibits(3), (Bytes{1, 0, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(board.loaded, 12);
    // Both axes were put on centring; the Delta + lock moved the axis, and was released.
    EXPECT_EQ(t.r.settings.Int(IntKey::control_mode_delta), SPEED_CENTERING);
    EXPECT_TRUE(t.r.view.IsChecked("optControlCenteringDelta"));
    EXPECT_FALSE(t.r.view.IsChecked("optControlCenteringAlpha"));
    EXPECT_EQ(t.r.core.events().Requested(EVT_DELTA_PLUS_LOCK), 0);
    EXPECT_EQ(t.r.log.Only({"msg Centrage", "msg Arret Centrage"}).size(), 2U);
    EXPECT_TRUE(t.r.log.Only({"msg !!!"}).empty());
    EXPECT_EQ(t.r.log.Only({"timer"}), (Lines{"timer off", "timer on"}));
    EXPECT_TRUE(t.r.view.Enabled("FileMenu"));
}

TEST(ZeroCoder, CancellingASearchAbortsItAndASecondSearchRunsToItsOwnEnd) {
    ZeroRig t;
    ZeroBoard board{t.io, 2, 1000000};
    board.Attach();
    int polls = 0;
    t.io.beforeRead = [&](uint16_t) {
        if (board.state == ZeroBoard::Searching && ++polls == 50) {
            t.cancel.requested = true;
            t.cancel.visible = false;  // the Cancel button hides its window
        }
    };
    t.Code(CMD_ZERO_CODER_ALPHA);
    EXPECT_EQ(t.io.Dibits(2), (Bytes{1, 0, 1, 0}));  // zero command, then the abort
    EXPECT_EQ(board.state, ZeroBoard::Idle);
    EXPECT_EQ(board.loaded, 0);
    EXPECT_TRUE(t.r.view.Enabled("picAlphaPlus"));

    // The second search clears the old cancel request and waits for its own index.
    t.io.ClearRecord();
    ZeroBoard second{t.io, 2, 300};
    second.Attach();
    t.Code(CMD_ZERO_CODER_ALPHA);
    EXPECT_EQ(t.cancel.opened, 2);
    EXPECT_EQ(second.loaded, 12);
    EXPECT_EQ(t.io.Dibits(2), (Bytes{1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    // "Arrêt général" (seen while the cancel window's events run) ends a search like Cancel.
    t.io.ClearRecord();
    t.cancel.visible = true;
    ZeroBoard third{t.io, 2, 1000000};
    third.Attach();
    polls = 0;
    t.io.beforeRead = [&](uint16_t) {
        if (third.state == ZeroBoard::Searching && ++polls == 50) {
            t.r.core.RequestStopAll();
        }
    };
    t.r.log.Clear();
    DriverParam none;
    t.r.core.drivers().ParallelDriver(CMD_ZERO_CODER_ALPHA, none);
    EXPECT_EQ(third.state, ZeroBoard::Idle);
    EXPECT_EQ(third.loaded, 0);
    EXPECT_FALSE(t.r.log.Only({"msg Arrêt général"}).empty());
}

TEST(ZeroCoder, ABoardThatDoesNotLeaveReadyEndsItSilently) {
    ZeroRig t;
    t.r.settings.Int(IntKey::control_mode_alpha) = SPEED_POINTING;
    t.io.SetInput(0x20);
    t.Code(CMD_ZERO_CODER_ALPHA);
    EXPECT_EQ(t.io.Dibits(2), (Bytes{1, 0}));
    EXPECT_EQ(t.r.settings.Int(IntKey::control_mode_alpha), SPEED_POINTING);
    EXPECT_EQ(t.cancel.opened, 0);
    EXPECT_TRUE(t.r.log.Only({"msg !!!", "beep"}).empty());
}

// The dome board's count read: high nibble and acknowledge at the strobe, low at 0x30, ready at 0x00.
void AnswerCountRead(test::FakePortIo& io, uint8_t count) {
    auto phase = std::make_shared<int>(0);
    const auto go = [&io, phase](int next, uint8_t input) { *phase = next, io.SetInput(input); };
    io.SetInput(0x20);
    io.onStrobe = [go, count](uint8_t a, uint8_t dibit) {
        if (a == 1 && dibit == 0) {
            go(1, static_cast<uint8_t>(0x10 | (count >> 4)));
        }
    };
    io.onCommand = [go, count, phase](uint8_t value) {
        if (*phase == 1 && value == 0x30) {
            go(2, count & 0x0F);
        } else if (*phase == 2 && value == 0x00) {
            go(0, 0x20);
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

    // Init: dibit 3 answered with exactly 0x10, then 3 again; refused: a transmission failure, two lines.
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
    f.io.onStrobe = [&](uint8_t, uint8_t dibit) { dibit == 3 ? f.io.SetInput(0x11) : void(); };
    EXPECT_EQ(f.driver.SendDomePosition(), 1);
    EXPECT_EQ(f.r.log.Only({"msg !!!", "msg Reset"}),
              (Lines{"msg !!! Transmission du nombre d'impulsion coupole impossible.",
                     "msg !!! La platine coupole ne répond pas.", "msg Reset micro-contrôleur Coupole"}));
}

}  // namespace
}  // namespace axo
