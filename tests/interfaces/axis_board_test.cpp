#include <gtest/gtest.h>

#include <array>

#include "interfaces/parallel_rig.h"

namespace axo {
namespace {

using test::ParallelRig;
using test::WritingBoard;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

// Dibits of bytes, most significant first (full form) or six-bit form with its closing zero.
Bytes Full(std::initializer_list<unsigned> bytes) {
    Bytes out;
    for (unsigned b : bytes) {
        for (int s = 6; s >= 0; s -= 2) {
            out.push_back(static_cast<uint8_t>((b >> s) & 3));
        }
    }
    return out;
}
Bytes Six(std::initializer_list<unsigned> bytes) {
    Bytes out;
    for (unsigned b : bytes) {
        for (int s = 4; s >= 0; s -= 2) {
            out.push_back(static_cast<uint8_t>((b >> s) & 3));
        }
        out.push_back(0);
    }
    return out;
}
Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes Command(uint8_t c, const Bytes& data) {
    return Cat(Bytes{c}, data);
}

TEST(AxisBoardWrites, CountVariablesGoOutAsWholePartAndPairsOfDecimals) {
    for (const auto& [value, bytes] : std::vector<std::pair<double, Bytes>>{
             {0.995, {0, 99, 50, 0}}, {1.15, {1, 15, 0, 0}}, {24.5, {24, 50, 0, 0}}, {255, {255, 0, 0, 0}}}) {
        ParallelRig t;
        WritingBoard board{t.io, 2, true, 16};
        board.Attach();
        t.driver.SendCountAlpha(value);
        EXPECT_EQ(t.io.Dibits(2), Command(3, Full({bytes[0], bytes[1], bytes[2], bytes[3]}))) << value;
        EXPECT_TRUE(t.Reports().empty()) << value;
    }

    // Delta: a zero byte and the whole part in six-bit form, the decimals in full form.
    ParallelRig t;
    WritingBoard board{t.io, 3, true, 20};
    board.Attach();
    t.driver.SendCountDelta(24.5);
    EXPECT_EQ(t.io.Dibits(3), Command(3, Cat(Six({0, 24}), Full({50, 0, 0}))));
    EXPECT_TRUE(t.Reports().empty());
    // The board got every dibit it expected and went back to ready.
    EXPECT_EQ(board.received, 20U);
}

TEST(AxisBoardWrites, CoordinatesWithTheDeclinationFlags) {
    {
        ParallelRig t;
        WritingBoard board{t.io, 2, false, 12};
        board.Attach();
        t.driver.SendAlphaCoordinates(23, 59, 58);
        EXPECT_EQ(t.io.Dibits(2), Command(2, Six({23, 59, 58})));
        EXPECT_TRUE(t.Reports().empty());
    }
    struct Case {
        int d, m, s, negZero;
        unsigned D, M;
    };
    for (const Case& c : {Case{-5, 30, 0, 0, 5, 158}, Case{0, 30, 0, 1, 0, 30}, Case{12, 0, 0, 0, 140, 0},
                          Case{0, 0, 0, 0, 128, 0}}) {
        ParallelRig t;
        WritingBoard board{t.io, 3, true, 12};
        board.Attach();
        t.driver.SendDeltaCoordinates(c.d, c.m, c.s, c.negZero);
        EXPECT_EQ(t.io.Dibits(3), Command(2, Cat(Full({c.D, c.M}), Six({static_cast<unsigned>(c.s)})))) << c.d;
        EXPECT_TRUE(t.Reports().empty()) << c.d;
    }
}

TEST(AxisBoardWrites, AMissingAcknowledgeIsReportedByStartupStateAndErrorStop) {
    // After start-up, error_stop 0: two "!!! " lines.
    {
        ParallelRig t;
        WritingBoard board{t.io, 2, false, 12, 5};
        board.Attach();
        t.driver.SendAlphaCoordinates(1, 2, 3);
        EXPECT_EQ(t.io.Dibits(2).size(), 6U);  // the command and dibits 1..5: it stops there
        EXPECT_EQ(t.Reports(), (Lines{"beep", "msg !!! Transmission des coordonnées Alpha impossible.",
                                      "msg !!! La platine Alpha ne répond pas."}));
    }
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

// Plays an axis board answering a position read: six nibbles, tens with the acknowledge clear
// and units with it set, then ready again.
struct ReadingBoard {
    test::FakePortIo& io;
    uint8_t address;
    std::vector<uint8_t> nibbles;
    int step = -1;
    void Attach() {
        io.SetInput(0x20);
        io.onStrobe = [this](uint8_t a, uint8_t) {
            if (a != address) {
                return;
            }
            ++step;
            if (step >= 6) {
                io.SetInput(0x20);
                step = -1;
                return;
            }
            io.SetInput(static_cast<uint8_t>((step % 2 == 1 ? 0x10 : 0x00) | nibbles[static_cast<std::size_t>(step)]));
        };
    }
};

TEST(AxisBoardReads, PositionsAndTheDeclinationSignNibble) {
    ParallelRig t;
    ReadingBoard alpha{t.io, 2, {2, 3, 5, 9, 0, 7}};
    alpha.Attach();
    t.driver.ReadAlphaCoordinates();
    const Position& p = t.r.core.position();
    EXPECT_EQ(p.HourAngleH, 23);
    EXPECT_EQ(p.HourAngleM, 59);
    EXPECT_EQ(p.HourAngleS, 7);
    EXPECT_EQ(t.io.Dibits(2), (Bytes{0, 0, 0, 0, 0, 0, 0}));

    // Minutes' tens 0x0B: positive, 3; seconds' tens: only bits 0-2 count. Negative 0 0' 0"
    // is the equator, stored positive.
    const struct {
        std::vector<uint8_t> nibbles;
        std::array<int16_t, 4> negativeDms;
    } deltas[] = {{{4, 5, 0x0B, 2, 0x0D, 1}, {0, 45, 32, 51}},
                  {{1, 2, 0x03, 0, 0x00, 9}, {1, 12, 30, 9}},
                  {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0}}};
    for (const auto& c : deltas) {
        ReadingBoard delta{t.io, 3, c.nibbles};
        delta.Attach();
        t.driver.ReadDeltaCoordinates();
        EXPECT_EQ((std::array<int16_t, 4>{p.DeclinationNegative, p.DeclinationD, p.DeclinationM, p.DeclinationS}),
                  c.negativeDms);
    }
    EXPECT_TRUE(t.Reports().empty());
}

TEST(AxisBoardReads, TwentyFailedPollsAreSilentTheTwentyFirstReportsAndResets) {
    ParallelRig t;
    t.io.SetInput(0x20);  // ready, but it never leaves ready when asked for its position
    for (int i = 0; i < 20; ++i) {
        t.driver.ReadAlphaCoordinates();
    }
    EXPECT_TRUE(t.Reports().empty());
    EXPECT_EQ(t.io.Dibits(2).size(), 20U);

    t.io.ClearRecord();
    t.driver.ReadAlphaCoordinates();
    EXPECT_EQ(t.Reports(), (Lines{"beep", "msg !!! Réception des coordonnées Alpha impossible",
                                  "msg !!! La platine Alpha ne répond pas et va être réinitialisée",
                                  "msg Reset micro-contrôleur Alpha"}));
    // The poll, the reset pulse, the count command the board ignores, the common tail.
    EXPECT_EQ(t.io.CommandWrites(), (Bytes{0x02, 0x00, 0x8E, 0x0E, 0x32, 0x30, 0x80, 0x00}));

    // A second round of 21 reports once more; after that only silence.
    t.r.log.Clear();
    for (int i = 0; i < 21; ++i) {
        t.driver.ReadAlphaCoordinates();
    }
    EXPECT_EQ(t.r.log.Only({"beep"}).size(), 1U);
    t.r.log.Clear();
    for (int i = 0; i < 63; ++i) {
        t.driver.ReadAlphaCoordinates();
    }
    EXPECT_TRUE(t.Reports().empty());

    // A good read re-arms the reports; error_stop 1 makes the next one a box.
    ReadingBoard alpha{t.io, 2, {0, 1, 0, 2, 0, 3}};
    alpha.Attach();
    t.driver.ReadAlphaCoordinates();
    EXPECT_EQ(t.r.core.position().HourAngleS, 3);
    t.io.onStrobe = nullptr;
    t.io.SetInput(0x20);
    t.r.settings.Int(IntKey::error_stop) = 1;
    for (int i = 0; i < 21; ++i) {
        t.driver.ReadAlphaCoordinates();
    }
    EXPECT_EQ(t.r.log.Only({"box "}), (Lines{"box Erreur | Réception des coordonnées Alpha impossible\n"
                                             "La platine Alpha ne répond pas et va être réinitialisée"}));
}

TEST(AxisBoardReads, AnAcknowledgeMissingInsideTheReadIsReportedAtOnce) {
    ParallelRig t;
    // The Delta board starts the read, shows the degrees' tens and then stays silent.
    t.io.SetInput(0x20);
    bool answered = false;
    t.io.onStrobe = [&](uint8_t a, uint8_t) {
        if (a == 3 && !answered) {
            answered = true;
            t.io.SetInput(0x04);
        }
    };
    t.io.onCommand = [&](uint8_t value) {
        if (value == 0x8D) {
            t.io.SetInput(0x20);  // the reset brings it back to ready
        }
    };
    t.r.core.position().DeclinationD = 77;
    t.driver.ReadDeltaCoordinates();
    EXPECT_EQ(t.r.core.position().DeclinationD, 77);
    EXPECT_EQ(t.r.log.Only({"msg !!!"}), (Lines{"msg !!! Réception des coordonnées Delta impossible.",
                                               "msg !!! La platine Delta ne répond pas et va être réinitialisée"}));
}

}  // namespace
}  // namespace axo
