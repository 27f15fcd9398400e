#include <gtest/gtest.h>

#include <array>

#include "interfaces/parallel_rig.h"

namespace axo {
namespace {

using test::ParallelRig;
using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;

TEST(BoardMessages, EveryCodeGivesItsLinesAcknowledgesToItsBoardAndTheDomesEndItsProcedures) {
    const std::string system = "msg *** Message du SYSTEME";
    const std::string dome = "msg *** Message du Micro-Controleur COUPOLE";
    const std::string alpha = "msg *** Message du Micro-Controleur ALPHA";
    const std::string delta = "msg *** Message du Micro-Controleur DELTA";
    const Bytes none;
    const Bytes ackDome{0x01, 0x00, 0x11, 0x10};  // the acknowledge, then the dome's stop dibit
    const Bytes ackAlpha{0x02, 0x00};
    const Bytes ackDelta{0x03, 0x00};
    const struct {
        uint8_t code;
        Bytes writes;  // command port
        Lines reports;
    } cases[] = {
        {0, none, {system, "msg *** L'électronique n'est pas alimentée"}},
        {1, ackDome, {dome, "msg *** La Coupole est ARRETEE sur sa Position ZERO"}},
        {2, ackDome, {dome, "msg *** La Procédure Init COUPOLE a été ARRETEE"}},
        {3, ackDome, {dome, "msg *** PROBLEME lors de la ROTATION : COUPOLE ARRETEE"}},
        {4, ackDome, {dome, "msg *** COUPOLE ARRETEE : ROTATION TROP LONGUE"}},
        {5, ackAlpha, {alpha, "msg *** La Position Alpha du Télescope est Réinitialisée"}},
        {6, ackAlpha, {alpha, "msg *** La Procédure ZERO-CODEUR a été ARRETEE"}},
        {7, ackAlpha, {alpha, "msg *** Procédure ZERO-CODEUR ARRETEE", "msg *** Prépositionnement trop éloigné du zéro"}},
        {8, none, {"msg *** Message N° 8"}},
        {9, none, {}},
        {10, ackDelta, {delta, "msg *** La Position Delta du Télescope est Réinitialisée"}},
        {11, ackDelta, {delta, "msg *** La Procédure ZERO-CODEUR a été ARRETEE"}},
        {12, ackDelta, {delta, "msg *** Procédure ZERO-CODEUR ARRETEE", "msg *** Prépositionnement trop éloigné du zéro"}},
        {13, none, {}},
        {14, none, {}},
        {15, none, {}},
        {16, none, {system, "msg *** La Coupole est à sa position Repos"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int{c.code});
        ParallelRig t;
        RuntimeState& s = t.r.core.state();
        s.DomeRestRunning = s.DomeInitRunning = s.DomeTrackingOn = s.DomeFollowMoving = true;
        t.driver.BoardMessage(c.code);
        EXPECT_EQ(t.io.CommandWrites(), c.writes);
        EXPECT_EQ(t.Reports(), c.reports);
        // A message that says something leaves one trace line.
        EXPECT_EQ(t.io.notes.size(), c.reports.empty() ? 0U : 1U);
        // The dome's own messages end every dome procedure; the others leave them running.
        const bool running = c.writes != ackDome;
        EXPECT_EQ((std::array<bool, 4>{s.DomeRestRunning, s.DomeInitRunning, s.DomeTrackingOn, s.DomeFollowMoving}),
                  (std::array<bool, 4>{running, running, running, running}));
    }
    ParallelRig t;
    t.driver.BoardMessage(7);
    EXPECT_EQ(t.io.notes, (Lines{"message 7 Procédure ZERO-CODEUR ARRETEE"}));
}

TEST(BoardMessages, UnpoweredBoardsReadAsMessageZeroAtEveryCheck) {
    ParallelRig t;
    t.io.commandStatus = 0x80;  // every line low
    t.io.dataStatus = 0x00;
    t.Code(CMD_POLL_BOARDS);
    t.Code(CMD_POLL_BOARDS);
    EXPECT_EQ(t.Reports(), (Lines{"msg *** Message du SYSTEME", "msg *** L'électronique n'est pas alimentée",
                                  "msg *** Message du SYSTEME", "msg *** L'électronique n'est pas alimentée"}));
    // A ready bus has no news.
    t.r.log.Clear();
    t.io.SetInput(0x20);
    t.Code(CMD_POLL_BOARDS);
    EXPECT_TRUE(t.Reports().empty());
}

}  // namespace
}  // namespace axo
