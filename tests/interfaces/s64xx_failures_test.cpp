#include <gtest/gtest.h>

#include "interfaces/s64xx_rig.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;
using test::S64xxRig;

const LinkStatus& Link(S64xxRig& t) {
    return t.r.core.drivers().Link(InterfaceId::S64xx);
}

TEST(S64xxFailures, EachAxisStartsOnItsOwnLineAndTheStatusNamesTheOneThatDidNot) {
    struct Case {
        int16_t alphaIndex, deltaIndex;  // port settings, 0-based
        int failingOpen;                 // port whose open fails, 0 none
        bool alphaUp, deltaUp;
        std::string failing;
    };
    const Case cases[] = {
        {0, 1, 1, false, true, "boîtier Alpha"},
        {0, 1, 2, true, false, "boîtier Delta"},
        {2, 2, 0, true, false, "boîtier Delta"},  // one port for both axes: Delta refused
    };
    for (const Case& c : cases) {
        S64xxRig t;
        t.r.settings.Int(IntKey::S64xx_com_port_alpha) = c.alphaIndex;
        t.r.settings.Int(IntKey::S64xx_com_port_delta) = c.deltaIndex;
        if (c.failingOpen != 0) {
            t.sio.Fail("open", c.failingOpen, SIO_BADPORT);
        }
        EXPECT_EQ(t.Code(CMD_START_INTERFACE), 0);
        EXPECT_EQ(t.r.log.Only({"box "}).size(), 1u) << c.failing;
        EXPECT_EQ(t.driver.Lines().AlphaPortOpen(), c.alphaUp);
        EXPECT_EQ(t.driver.Lines().DeltaPortOpen(), c.deltaUp);
        EXPECT_EQ(Link(t).state, LinkState::Failing);
        EXPECT_EQ(Link(t).detail, c.failing);
        EXPECT_NE(t.progress.texts.back(), "Initialisation de l'interface 64xx terminée");
        // The axis that started takes commands on its own line; the other one none, with status 0,
        // while the codes that touch no line still answer 1.
        const std::string up = std::to_string((c.alphaUp ? c.alphaIndex : c.deltaIndex) + 1);
        t.sio.calls.clear();
        EXPECT_EQ(t.Code(CMD_TRACKING, kStart), c.alphaUp ? 1 : 0);
        EXPECT_EQ(t.Code(CMD_ALPHA_MODE), 1);
        EXPECT_EQ(t.Code(CMD_CONTROL_MODE, 1), 1);
        if (!c.alphaUp) {
            EXPECT_TRUE(t.sio.calls.empty());
        }
        EXPECT_EQ(t.Code(c.alphaUp ? CMD_ALPHA_PLUS : CMD_DELTA_PLUS, kStart, SPEED_CENTERING), 1);
        EXPECT_EQ(t.Code(c.alphaUp ? CMD_DELTA_PLUS : CMD_ALPHA_PLUS, kStart, SPEED_CENTERING), 0);
        ASSERT_FALSE(t.sio.Writes().empty());
        EXPECT_EQ(t.sio.Writes().back(), up + (c.alphaUp ? " R 300<CR>" : " R 200<CR>"));
        for (const std::string& w : t.sio.Writes()) {
            EXPECT_EQ(w.substr(0, 2), up + " ") << w;
        }
        // The stop of the interface still puts the started box to rest.
        t.sio.calls.clear();
        EXPECT_EQ(t.Code(CMD_STOP_INTERFACE), 0);
        EXPECT_EQ(t.sio.Writes(), (Lines{up + " Y 0<CR>"}));
    }
}

TEST(S64xxFailures, AFailingLineIsToldOncePerActionAndTheStatusFollowsTheLatestExchange) {
    S64xxRig t;
    t.Started();
    EXPECT_EQ(Link(t).state, LinkState::Answering);
    // Every write on the Alpha line fails: a press makes three writes, one box.
    t.sio.Fail("write", 1, SIO_NODATA);
    t.Code(CMD_ALPHA_PLUS, kStart, SPEED_MOVING);
    EXPECT_EQ(t.r.log.Only({"box "}), (Lines{"box Erreur | Erreur de communication.\nPas de données à lire ou à écrire"}));
    EXPECT_EQ(Link(t).state, LinkState::Failing);
    EXPECT_EQ(Link(t).detail, "boîtier Alpha");
    // A Delta move that goes well leaves the Alpha box named.
    t.Code(CMD_DELTA_PLUS, kStart, SPEED_CENTERING);
    EXPECT_EQ(Link(t).detail, "boîtier Alpha");
    // The line works again: the next exchange brings the status back.
    t.sio.Heal();
    t.r.log.Clear();
    t.Code(CMD_ALPHA_PLUS, kStart, SPEED_MOVING);
    EXPECT_TRUE(t.r.log.Only({"box "}).empty());
    EXPECT_EQ(Link(t).state, LinkState::Answering);
}

TEST(S64xxFailures, ABoxThatFallsSilentAfterTheStopIsNotTakenAsStopped) {
    struct Case {
        int16_t code;
        std::string port, axis;
        int16_t errorStop;  // 1: the report is a box
    };
    for (const Case& c : {Case{CMD_ALPHA_PLUS, "1", "Alpha", 0}, Case{CMD_DELTA_MINUS, "2", "Delta", 1}}) {
        S64xxRig t;
        t.r.settings.Int(IntKey::error_stop) = c.errorStop;
        t.Started();
        // One answer, then nothing: the old answer is still in the reply buffer.
        t.sio.replies[std::stoi(c.port)] = {"+500\r"};
        EXPECT_EQ(t.Code(c.code, kStop, SPEED_MOVING), 0);
        Lines stops;
        for (const std::string& w : t.sio.Writes()) {
            if (w == c.port + " S<CR>") {
                stops.push_back(w);
            }
        }
        EXPECT_EQ(stops.size(), 2u) << c.axis;  // sent once more
        const std::string what = "Arrêt " + c.axis + " non confirmé, ordre d'arrêt renvoyé";
        const std::string why = "le boîtier " + c.axis + " ne confirme pas l'arrêt";
        const Lines told = c.errorStop == 1 ? Lines{"box Erreur | " + what + "\n" + why}
                                            : Lines{"msg !!! " + what, "msg !!! " + why};
        EXPECT_EQ(t.r.log.Only({"msg !!!", "box "}), told);
        EXPECT_EQ(Link(t).state, LinkState::Failing);
        EXPECT_EQ(Link(t).detail, "boîtier " + c.axis);
    }
}

TEST(S64xxFailures, TheStopAllEndsAStopCheckWithoutAVerdict) {
    S64xxRig t;
    t.Started();
    for (int i = 0; i < 100; ++i) {
        t.sio.replies[1].push_back("+" + std::to_string(i) + "\r");  // still moving
    }
    int asked = 0;
    t.r.core.SetStopWatcher([&] { return ++asked == 2; });
    DriverParam p{kStop, SPEED_MOVING};
    const uint64_t t0 = t.r.clock.ElapsedMs();
    EXPECT_EQ(t.r.core.drivers().S64xxDriver(CMD_ALPHA_PLUS, p), 0);
    EXPECT_LT(t.r.clock.ElapsedMs() - t0, 500u);
    EXPECT_TRUE(t.r.log.Only({"msg !!!", "box "}).empty());
}

}  // namespace
}  // namespace axo
