#include <gtest/gtest.h>

#include "interfaces/parallel_rig.h"

namespace axo {
namespace {

using test::ParallelRig;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

TEST(BoardMessages, LinesAndAcknowledgesOfTheMessageCodes) {
    ParallelRig t;
    t.driver.BoardMessage(0);
    EXPECT_EQ(t.Reports(), (Lines{"msg *** Message du SYSTEME", "msg *** L'électronique n'est pas alimentée"}));
    EXPECT_TRUE(t.io.writes.empty());

    t.r.log.Clear();
    t.driver.BoardMessage(7);
    EXPECT_EQ(t.io.CommandWrites(), (Bytes{0x02, 0x00}));  // Alpha acknowledge, dibit 0
    EXPECT_EQ(t.Reports(), (Lines{"msg *** Message du Micro-Controleur ALPHA", "msg *** Procédure ZERO-CODEUR ARRETEE",
                                  "msg *** Prépositionnement trop éloigné du zéro"}));

    t.io.ClearRecord();
    t.r.log.Clear();
    t.driver.BoardMessage(12);
    EXPECT_EQ(t.io.CommandWrites(), (Bytes{0x03, 0x00}));
    EXPECT_EQ(t.Reports().front(), "msg *** Message du Micro-Controleur DELTA");

    t.io.ClearRecord();
    t.r.log.Clear();
    t.driver.BoardMessage(8);
    EXPECT_EQ(t.Reports(), (Lines{"msg *** Message N° 8"}));
    for (const uint8_t silent : {uint8_t{9}, uint8_t{13}, uint8_t{14}, uint8_t{15}}) {
        t.driver.BoardMessage(silent);
    }
    EXPECT_TRUE(t.io.writes.empty());
    EXPECT_EQ(t.Reports().size(), 1U);

    t.r.log.Clear();
    t.driver.BoardMessage(16);
    EXPECT_EQ(t.Reports(), (Lines{"msg *** Message du SYSTEME", "msg *** La Coupole est à sa position Repos"}));
    EXPECT_TRUE(t.io.writes.empty());

    // Every message that says something leaves one trace line.
    EXPECT_EQ(t.io.notes.size(), 5U);
    EXPECT_EQ(t.io.notes[1], "message 7 Procédure ZERO-CODEUR ARRETEE");
}

TEST(BoardMessages, ADomeMessageEndsTheDomeProcedures) {
    ParallelRig t;
    RuntimeState& s = t.r.core.state();
    s.DomeRestRunning = true;
    s.DomeInitRunning = true;
    s.DomeTrackingOn = true;
    s.DomeFollowMoving = true;
    t.driver.BoardMessage(1);
    EXPECT_FALSE(s.DomeRestRunning);
    EXPECT_FALSE(s.DomeInitRunning);
    EXPECT_FALSE(s.DomeTrackingOn);
    EXPECT_FALSE(s.DomeFollowMoving);
    // The acknowledge first, then the stop dibit.
    EXPECT_EQ(t.io.CommandWrites(), (Bytes{0x01, 0x00, 0x11, 0x10}));
    EXPECT_EQ(t.Reports(), (Lines{"msg *** Message du Micro-Controleur COUPOLE",
                                  "msg *** La Coupole est ARRETEE sur sa Position ZERO"}));

}

TEST(BoardMessages, UnpoweredBoardsReadAsMessageZeroAtEveryCheck) {
    ParallelRig t;
    t.io.commandStatus = 0x80;  // every line low
    t.io.dataStatus = 0x00;
    DriverParam p{0, 0};
    t.driver.Handle(CMD_POLL_BOARDS, p);
    t.driver.Handle(CMD_POLL_BOARDS, p);
    EXPECT_EQ(t.Reports(), (Lines{"msg *** Message du SYSTEME", "msg *** L'électronique n'est pas alimentée",
                                  "msg *** Message du SYSTEME", "msg *** L'électronique n'est pas alimentée"}));
    // A ready bus has no news.
    t.r.log.Clear();
    t.io.SetInput(0x20);
    t.driver.Handle(CMD_POLL_BOARDS, p);
    EXPECT_TRUE(t.Reports().empty());
}

}  // namespace
}  // namespace axo
