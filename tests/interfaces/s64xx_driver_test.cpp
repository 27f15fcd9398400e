#include <gtest/gtest.h>

#include <algorithm>

#include "astro/utils.h"
#include "interfaces/s64xx_rig.h"

namespace axo {
namespace {

using test::Lines;
using test::S64xxRig;

// Commands as written to one line, each closed by its carriage return.
Lines OnLine(const std::string& port, const Lines& commands) {
    Lines out;
    for (const std::string& c : commands) {
        out.push_back(port + " " + c + "<CR>");
    }
    return out;
}

TEST(S64xxDriver, StartOpensProbesAndSetsTheOutputsThenAnnouncesItsEnd) {
    S64xxRig t;
    t.r.settings.Int(IntKey::interface_dome) = INTERFACE_64XX;
    t.r.settings.Int(IntKey::S64xx_com_port_alpha) = 2;
    t.r.settings.Int(IntKey::S64xx_com_port_delta) = 0;
    t.sio.replies[3] = {"6420\r"};
    t.sio.replies[1] = {"6420\r"};
    EXPECT_EQ(t.Code(CMD_START_INTERFACE), 1);
    EXPECT_EQ(t.sio.Writes(), (Lines{"3  ", "3 Y 4<CR>", "1  ", "1 Y 0<CR>"}));
    EXPECT_EQ(t.r.log.Only({"msg "}),
              (Lines{"msg Initialisation interface Alpha", "msg Initialisation interface Delta",
                     "msg Initialisation interface Coupole", "msg Calibration coupole", "msg Calibration Alpha",
                     "msg Calibration Delta"}));
    EXPECT_EQ(t.progress.texts.back(), "Initialisation de l'interface 64xx terminée");
    EXPECT_EQ(t.driver.AlphaOutputs(), 4);
    EXPECT_EQ(t.driver.DeltaOutputs(), 0);
    EXPECT_EQ(t.brake.Interval(), 2000);
    EXPECT_FALSE(t.brake.Enabled());
}

TEST(S64xxDriver, StopPutsTheOutputsToZeroAndClosesTheLines) {
    for (const bool bus : {false, true}) {
        S64xxRig t;
        t.r.settings.Int(IntKey::S64xx_RS485) = bus ? 1 : 0;
        t.Started();
        EXPECT_EQ(t.Code(CMD_STOP_INTERFACE), 1);
        EXPECT_EQ(t.Calls(), (bus ? Lines{"write 4 a", "write 4 Y 0<CR>", "write 4 b", "write 4 Y 0<CR>", "close 4"}
                                  : Lines{"write 1 Y 0<CR>", "close 1", "write 2 Y 0<CR>", "close 2"}))
            << bus;
    }
}

TEST(S64xxDriver, MovesSendTheirTextsWithTheSignOfTheReverseSettingAndDeltaEngagesItsDrive) {
    // Delta: drive ("Y 8" slave, "Y 4" master), engage ("T"), step, ramp, outputs, rate; fastOnSlave slews.
    const struct { int16_t code, mode, reverse, fastOnSlave; Lines writes; int16_t outputs; } cases[] = {  // outputs: Delta's
        {CMD_TRACKING, 0, 0, 0, {"\\8", "M 5 5", "F10", "V200", "R 1541"}, 0},
        {CMD_TRACKING, 0, 1, 0, {"\\8", "M 5 5", "F10", "V200", "R-1541"}, 0},
        {CMD_ALPHA_PLUS, SPEED_CENTERING, 0, 0, {"\\5", "M 10 5", "R 300"}, 0},
        {CMD_ALPHA_MINUS, SPEED_POINTING, 0, 0, {"\\5", "M 30 20", "R-500"}, 0},
        {CMD_ALPHA_MINUS, SPEED_MOVING, 0, 0, {"\\3", "M 60 40", "R-1200"}, 0},
        {CMD_ALPHA_PLUS, SPEED_CENTERING, 1, 0, {"\\5", "M 10 5", "R-300"}, 0},
        {CMD_ALPHA_MINUS, SPEED_MOVING, 1, 0, {"\\3", "M 60 40", "R 1200"}, 0},
        {CMD_ALPHA_PLUS, 9, 0, 0, {}, 0},
        {CMD_DELTA_PLUS, SPEED_MOVING, 0, 1, {"Y 8", "T 0", "\\6", "M 60 40", "Y 9", "R 150"}, 9},
        {CMD_DELTA_PLUS, SPEED_MOVING, 0, 0, {"Y 4", "T 1", "\\6", "M 60 40", "Y 5", "R 150"}, 5},
        {CMD_DELTA_MINUS, SPEED_CENTERING, 0, 1, {"Y 4", "T 1", "\\6", "M 10 5", "Y 7", "R-200"}, 7},
        {CMD_DELTA_MINUS, SPEED_POINTING, 0, 0, {"Y 8", "T 0", "\\6", "M 30 20", "Y 11", "R-400"}, 11},
        {CMD_DELTA_PLUS, SPEED_POINTING, 1, 1, {"Y 4", "T 1", "\\6", "M 30 20", "Y 7", "R-400"}, 7},
        {CMD_DELTA_MINUS, SPEED_MOVING, 1, 1, {"Y 8", "T 0", "\\6", "M 60 40", "Y 9", "R 150"}, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.code << " " << c.mode << " " << c.reverse << " " << c.fastOnSlave);
        const bool delta = c.code == CMD_DELTA_PLUS || c.code == CMD_DELTA_MINUS;
        S64xxRig t;
        t.r.settings.Int(delta ? IntKey::S64xx_delta_reverse : IntKey::S64xx_alpha_reverse) = c.reverse;
        t.r.settings.Int(IntKey::S64xx_delta_fast_on_slave) = c.fastOnSlave;
        t.Started();
        const uint64_t before = t.r.clock.ElapsedMs();
        EXPECT_EQ(t.Code(c.code, kStart, c.mode), 1);
        EXPECT_EQ(t.sio.Writes(), OnLine(delta ? "2" : "1", c.writes));
        EXPECT_EQ(t.driver.DeltaOutputs(), c.outputs);
        // Each write with its 50 ms pause, and the engagement's 500 ms.
        EXPECT_EQ(t.r.clock.ElapsedMs() - before, 50 * c.writes.size() + (delta ? 500u : 0u));
    }
}

TEST(S64xxDriver, AStopWaitsForTwoEqualPositionRepliesAtMostTwoSecondsOrUntilTheStopAll) {
    S64xxRig t;
    t.Started();
    t.sio.replies[1] = {"+100\r", "+180\r", "+200\r", "+200\r", "+200\r"};
    const uint64_t before = t.r.clock.ElapsedMs();
    t.Code(CMD_ALPHA_PLUS, kStop, SPEED_MOVING);
    Lines expected = {"write 1 S<CR>"};
    for (int i = 0; i < 4; ++i) {
        expected.insert(expected.end(), {"flush 1 0", "write 1 C<CR>", "read 1"});
    }
    EXPECT_EQ(t.Calls(), expected);
    EXPECT_EQ(t.r.clock.ElapsedMs() - before, 50u + 4 * 150u);

    // A box whose answer never repeats: the wait gives up after 2 s, also across midnight.
    for (const PcDateTime start : {PcDateTime{2026, 12, 6, 21, 0, 0, 0}, PcDateTime{2026, 12, 6, 23, 59, 59, 500}}) {
        S64xxRig u;
        u.r.clock.SetDateTime(start);
        u.Started();
        u.StillMoving(1);
        const uint64_t t0 = u.r.clock.ElapsedMs();
        u.driver.WaitAxisStopped(1);
        EXPECT_GT(u.r.clock.ElapsedMs() - t0, 2000u) << start.hour;
        EXPECT_LE(u.r.clock.ElapsedMs() - t0, 2200u) << start.hour;
    }
    // Any other axis returns at once.
    t.sio.calls.clear();
    t.driver.WaitAxisStopped(3);
    EXPECT_TRUE(t.sio.calls.empty());

    // The stop-all ends the check without a verdict.
    S64xxRig a;
    a.Started();
    a.StillMoving(1);
    int asked = 0;
    a.r.core.SetStopWatcher([&] { return ++asked == 2; });
    DriverParam p{kStop, SPEED_MOVING};
    const uint64_t t0 = a.r.clock.ElapsedMs();
    EXPECT_EQ(a.r.core.drivers().S64xxDriver(CMD_ALPHA_PLUS, p), 0);
    EXPECT_LT(a.r.clock.ElapsedMs() - t0, 500u);
    EXPECT_TRUE(a.r.log.Only({"msg !!!", "box "}).empty());
}

TEST(S64xxDriver, TheBrakeDelayReleasesTheDeltaUnlessANewMoveStartsFirst) {
    S64xxRig t;
    t.Started();
    t.Code(CMD_DELTA_PLUS, kStart, SPEED_MOVING);
    t.Code(CMD_DELTA_PLUS, kStop, SPEED_MOVING);
    EXPECT_TRUE(t.brake.Enabled());
    t.sio.calls.clear();
    t.r.clock.Advance(1000);
    EXPECT_FALSE(t.brake.Poll());
    // A new start inside the delay: engaged again, and the release never comes.
    t.Code(CMD_DELTA_MINUS, kStart, SPEED_CENTERING);
    EXPECT_FALSE(t.brake.Enabled());
    t.r.clock.Advance(5000);
    EXPECT_FALSE(t.brake.Poll());
    EXPECT_EQ(t.sio.Writes(), OnLine("2", {"Y 13", "T 1", "\\6", "M 10 5", "Y 15", "R-200"}));

    // Stopped and left alone: 2 s later the outputs go to 0 in three steps.
    t.Code(CMD_DELTA_MINUS, kStop, SPEED_CENTERING);
    t.sio.calls.clear();
    t.r.clock.Advance(1999);
    EXPECT_FALSE(t.brake.Poll());
    t.r.clock.Advance(1);
    EXPECT_TRUE(t.brake.Poll());
    EXPECT_EQ(t.sio.Writes(), OnLine("2", {"Y 14", "Y 12", "Y 0"}));
    EXPECT_EQ(t.driver.DeltaOutputs(), 0);
    EXPECT_FALSE(t.brake.Enabled());
    t.r.clock.Advance(10000);
    EXPECT_FALSE(t.brake.Poll());

    // After a slewing move on the slave: 8, 8, 0.
    t.Code(CMD_DELTA_PLUS, kStart, SPEED_MOVING);
    t.Code(CMD_DELTA_PLUS, kStop, SPEED_MOVING);
    t.sio.calls.clear();
    t.r.clock.Advance(2000);
    EXPECT_TRUE(t.brake.Poll());
    EXPECT_EQ(t.sio.Writes(), OnLine("2", {"Y 8", "Y 8", "Y 0"}));
}

TEST(S64xxDriver, AFractionalTrackingRateAlternatesOnASteadySchedule) {
    S64xxRig t;
    t.r.settings.Str(StringKey::S64xx_alpha_r_trk) = "1541.25";
    t.r.settings.Lng(LongKey::alpha_track_period) = 10000;
    t.Started();
    EXPECT_TRUE(t.driver.DitherActive());
    EXPECT_EQ(t.driver.DitherRateLow(), "1541");
    EXPECT_EQ(t.driver.DitherRateHigh(), "1542");
    EXPECT_DOUBLE_EQ(t.driver.DitherFraction(), 0.25);

    t.r.core.events().SetEvent(EVT_TRACKING, 1);  // through the command processor
    ASSERT_EQ(t.sio.Writes().back(), "1 R 1541<CR>");
    const uint32_t t0 = t.sio.calls.back().first;
    EXPECT_EQ(t.driver.DitherNextSwitch(), t0 + 2500);
    t.sio.calls.clear();
    // Polls every 50 ms, as the system timer gives them, for 25 s.
    const uint32_t end = t0 + 25000;
    while (t.r.clock.GetTickCount() < end) {
        t.Tick();
    }
    EXPECT_EQ(t.sio.calls, (std::vector<std::pair<uint32_t, std::string>>{
                               {t0 + 2500, "write 1 R 1542<CR>"}, {t0 + 5000, "write 1 R 1541<CR>"},
                               {t0 + 12500, "write 1 R 1542<CR>"}, {t0 + 15000, "write 1 R 1541<CR>"},
                               {t0 + 22500, "write 1 R 1542<CR>"}, {t0 + 25000, "write 1 R 1541<CR>"}}));
    // The switches send without the 50 ms pause.
    EXPECT_EQ(t.r.clock.GetTickCount(), end);
    EXPECT_EQ(t.driver.DitherNextSwitch(), t0 + 32500);

    // A late poll switches late, but the next switch keeps its time.
    t.sio.calls.clear();
    t.Tick(8000);  // due at t0 + 32500, polled at t0 + 33000
    EXPECT_EQ(t.sio.Writes(), (Lines{"1 R 1542<CR>"}));
    EXPECT_EQ(t.driver.DitherNextSwitch(), t0 + 35000);
    t.Tick(1950);
    EXPECT_EQ(t.sio.Writes(), (Lines{"1 R 1542<CR>"}));
    t.Tick();
    EXPECT_EQ(t.sio.Writes(), (Lines{"1 R 1542<CR>", "1 R 1541<CR>"}));

    // Held Alpha buttons and a stopped tracking pause the alternation.
    t.r.core.events().SetEvent(EVT_ALPHA_PLUS, 1);
    t.sio.calls.clear();
    t.Tick(20000);
    EXPECT_TRUE(t.sio.calls.empty());
}

TEST(S64xxDriver, AWholeTrackingRateNeverAlternates) {
    for (const std::string rate : {"1541", "1541,0", "1541.000"}) {
        S64xxRig t;
        t.r.settings.Str(StringKey::S64xx_alpha_r_trk) = rate;
        t.Started();
        EXPECT_FALSE(t.driver.DitherActive()) << rate;
        EXPECT_EQ(t.r.settings.Str(StringKey::S64xx_alpha_r_trk), "1541");
        t.r.core.events().SetEvent(EVT_TRACKING, 1);
        EXPECT_EQ(t.sio.Writes().back(), "1 R 1541<CR>");
        t.sio.calls.clear();
        for (int i = 0; i < 1200; ++i) {
            t.Tick();
        }
        EXPECT_TRUE(t.sio.calls.empty()) << rate;
    }
    // A rate that is no number is sent as it is, and said so.
    S64xxRig t;
    t.r.settings.Str(StringKey::S64xx_alpha_r_trk) = "12a";
    t.Started();
    EXPECT_FALSE(t.driver.DitherActive());
    t.Code(CMD_TRACKING, kStart);
    EXPECT_EQ(t.sio.Writes().back(), "1 R 12a<CR>");
}

TEST(S64xxFailures, EachAxisStartsOnItsOwnLineAndTheStatusNamesTheOneThatDidNot) {
    // Port settings 0-based; failingOpen: the port whose open fails, 0 none.
    const struct { int16_t alphaIndex, deltaIndex; int failingOpen; bool alphaUp, deltaUp; std::string failing; }
        cases[] = {
        {0, 1, 1, false, true, "boîtier Alpha"},
        {0, 1, 2, true, false, "boîtier Delta"},
        {2, 2, 0, true, false, "boîtier Delta"},  // one port for both axes: Delta refused
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.failingOpen);
        S64xxRig t;
        t.r.settings.Int(IntKey::S64xx_com_port_alpha) = c.alphaIndex;
        t.r.settings.Int(IntKey::S64xx_com_port_delta) = c.deltaIndex;
        if (c.failingOpen != 0) {
            t.sio.Fail("open", c.failingOpen, SIO_BADPORT);
        }
        EXPECT_EQ(t.Code(CMD_START_INTERFACE), 0);
        EXPECT_EQ(t.r.log.Only({"box "}).size(), 1u);
        EXPECT_EQ(t.driver.Lines().AlphaPortOpen(), c.alphaUp);
        EXPECT_EQ(t.driver.Lines().DeltaPortOpen(), c.deltaUp);
        EXPECT_EQ(t.Link().state, LinkState::Failing);
        EXPECT_EQ(t.Link().detail, c.failing);
        EXPECT_NE(t.progress.texts.back(), "Initialisation de l'interface 64xx terminée");
        // The started axis on its own line; the other none, status 0; codes that touch no line answer 1.
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
    EXPECT_EQ(t.Link().state, LinkState::Answering);
    // Every write on the Alpha line fails: a press makes three writes, one box.
    t.sio.Fail("write", 1, SIO_NODATA);
    t.Code(CMD_ALPHA_PLUS, kStart, SPEED_MOVING);
    EXPECT_EQ(t.r.log.Only({"box "}), (Lines{"box Erreur | Erreur de communication.\nPas de données à lire ou à écrire"}));
    EXPECT_EQ(t.Link().state, LinkState::Failing);
    EXPECT_EQ(t.Link().detail, "boîtier Alpha");
    // A Delta move that goes well leaves the Alpha box named.
    t.Code(CMD_DELTA_PLUS, kStart, SPEED_CENTERING);
    EXPECT_EQ(t.Link().detail, "boîtier Alpha");
    // The line works again: the next exchange brings the status back.
    t.sio.Heal();
    t.r.log.Clear();
    t.Code(CMD_ALPHA_PLUS, kStart, SPEED_MOVING);
    EXPECT_TRUE(t.r.log.Only({"box "}).empty());
    EXPECT_EQ(t.Link().state, LinkState::Answering);
}

TEST(S64xxFailures, ABoxThatFallsSilentAfterTheStopIsNotTakenAsStopped) {
    struct Case { int16_t code; std::string port, axis; int16_t errorStop; };  // errorStop 1: the report is a box
    for (const Case& c : {Case{CMD_ALPHA_PLUS, "1", "Alpha", 0}, Case{CMD_DELTA_MINUS, "2", "Delta", 1}}) {
        SCOPED_TRACE(c.axis);
        S64xxRig t;
        t.r.settings.Int(IntKey::error_stop) = c.errorStop;
        t.Started();
        // One answer, then nothing: the old answer is still in the reply buffer.
        t.sio.replies[std::stoi(c.port)] = {"+500\r"};
        EXPECT_EQ(t.Code(c.code, kStop, SPEED_MOVING), 0);
        const Lines writes = t.sio.Writes();
        EXPECT_EQ(std::count(writes.begin(), writes.end(), c.port + " S<CR>"), 2);  // sent once more
        const std::string what = "Arrêt " + c.axis + " non confirmé, ordre d'arrêt renvoyé";
        const std::string why = "le boîtier " + c.axis + " ne confirme pas l'arrêt";
        const Lines told = c.errorStop == 1 ? Lines{"box Erreur | " + what + "\n" + why}
                                            : Lines{"msg !!! " + what, "msg !!! " + why};
        EXPECT_EQ(t.r.log.Only({"msg !!!", "box "}), told);
        EXPECT_EQ(t.Link().state, LinkState::Failing);
        EXPECT_EQ(t.Link().detail, "boîtier " + c.axis);
    }
}

TEST(S64xxLines, DebugLinesSurroundThePauseAfterACommand) {
    S64xxRig t;
    t.r.settings.Int(IntKey::S64xx_debug) = 1;
    t.driver.Lines().SetPorts(1, 2);
    t.driver.Lines().SendAlpha("S", true);
    EXPECT_EQ(t.r.log.Only({"msg ", "sio "}),
              (Lines{"msg Axe alpha ********** S", "sio write 1 S<CR>", "msg Axe alpha ********** pause de 50 ms"}));
    EXPECT_EQ(t.r.clock.ElapsedMs(), 50u);

    // Without the debug setting and without the pause flag: the write alone, no time spent.
    t.r.log.Clear();
    t.r.settings.Int(IntKey::S64xx_debug) = 0;
    t.driver.Lines().SendDelta("C", false);
    t.driver.Lines().PauseDelta(100);
    EXPECT_EQ(t.r.log.Only({"msg ", "sio "}), (Lines{"sio write 2 C<CR>"}));
    EXPECT_EQ(t.r.clock.ElapsedMs(), 150u);
}

TEST(S64xxLines, MoxaErrorBoxesCarryTheTextOfTheirCode) {
    const std::pair<int32_t, std::string> cases[] = {
        {-1, "Port non ouvert ou inexistant"}, {-2, "Contrôle de la carte MOXA impossible"},
        {-3, ""}, {-4, "Pas de données à lire ou à écrire"}, {-5, ""}, {-6, ""}, {-7, "Paramètre incorrect"},
        {-8, "L'appel au système a échoué"}, {-9, "Pas de carte MOXA"}, {-42, ""}};
    for (const auto& [code, text] : cases) {
        test::Log log;
        test::FakeOperator op(log);
        ShowMoxaError(op, code);
        EXPECT_EQ(log.lines, (Lines{"box Erreur | Erreur de communication.\n" + text})) << code;
    }
}

TEST(S64xxLines, AProbeOfTwoBytesIsSilenceAndThreeAnAnswer) {
    for (const auto& [reply, silent] : std::vector<std::pair<std::string, bool>>{
             {"", true}, {"6", true}, {"64", true}, {"642", false}, {"6420 V2\r\n", false}}) {
        SCOPED_TRACE(reply);
        S64xxRig t;
        t.sio.replies[1] = {reply};
        t.driver.Lines().SetPorts(1, 2);
        t.driver.Lines().OpenBoxes(1);
        EXPECT_EQ(t.r.log.Only({"sio ", "box "}).front(), "sio open 1");
        const Lines boxes = t.r.log.Only({"box "});
        EXPECT_EQ(boxes, silent ? Lines{"box Erreur | Le boitier 6420 Alpha ne répond pas."} : Lines{});
        // A silent box keeps its line open: later commands are still written to it.
        EXPECT_TRUE(t.driver.Lines().AlphaPortOpen());
    }
    // The exchange itself: ETX, 300 ms, one space, 300 ms, one read.
    S64xxRig t;
    t.driver.Lines().SetPorts(1, 2);
    t.driver.Lines().OpenBoxes(2);
    const std::vector<std::pair<uint32_t, std::string>> expected = {
        {0, "open 2"}, {0, "ioctl 2 12 3"}, {0, "putch 2 <ETX>"}, {300, "write 2  "}, {600, "read 2"}};
    EXPECT_EQ(t.sio.calls, expected);
}

TEST(S64xxLines, OnTheBusEachBoxIsCalledByItsAddressInAWriteOfItsOwn) {
    S64xxRig t;
    t.r.settings.Int(IntKey::S64xx_RS485) = 1;
    t.r.settings.Int(IntKey::S64xx_RS485_com_port) = 1;
    t.sio.replies[2] = {"ab", "6420 V2\r\n"};  // Alpha silent, Delta answers
    t.driver.Lines().OpenBoxes(3);
    EXPECT_EQ(t.r.log.Only({"sio ", "box "}),
              (Lines{"sio open 2", "sio ioctl 2 12 3", "sio write 2 a <CR><LF>", "sio putch 2 <ETX>", "sio write 2  ",
                     "sio read 2", "box Erreur | Le boitier 6420 Alpha ne répond pas.", "sio write 2 b",
                     "sio putch 2 <ETX>", "sio write 2  ", "sio read 2"}));
    EXPECT_TRUE(t.driver.Lines().AlphaPortOpen());
    EXPECT_TRUE(t.driver.Lines().DeltaPortOpen());

    // The address in its own write first; one that cannot be written stops there, with one box.
    t.sio.calls.clear();
    t.driver.Lines().SendDelta("Y 0", false);
    t.driver.Lines().SendAlpha("S", false);
    EXPECT_EQ(t.sio.Writes(), (Lines{"2 b", "2 Y 0<CR>", "2 a", "2 S<CR>"}));
    t.r.log.Clear();
    t.sio.Fail("write", 2, SIO_NODATA);
    t.driver.Lines().SendAlpha("S", true);
    EXPECT_EQ(t.r.log.Only({"sio ", "box "}),
              (Lines{"sio write 2 a -> -4", "box Erreur | Erreur de communication.\nPas de données à lire ou à écrire"}));

    // A bus that cannot be configured clears both flags.
    S64xxRig u;
    u.r.settings.Int(IntKey::S64xx_RS485) = 1;
    u.sio.Fail("ioctl", 4, SIO_BADPARM);
    u.driver.Lines().OpenBoxes(3);
    EXPECT_FALSE(u.driver.Lines().AlphaPortOpen());
    EXPECT_FALSE(u.driver.Lines().DeltaPortOpen());
    EXPECT_EQ(u.r.log.Only({"box "}), (Lines{"box Erreur | Erreur de communication.\nParamètre incorrect"}));
}

TEST(S64xxLines, CloseBoxesClosesOnlyLinesThatWereOpened) {
    S64xxRig t;
    t.driver.Lines().SetPorts(1, 2);
    t.sio.Fail("open", 1, SIO_BADPORT);
    t.driver.Lines().OpenBoxes(1);
    t.driver.Lines().OpenBoxes(2);
    ASSERT_FALSE(t.driver.Lines().AlphaPortOpen());
    ASSERT_TRUE(t.driver.Lines().DeltaPortOpen());
    t.r.log.Clear();
    for (const int16_t which : std::initializer_list<int16_t>{3, 1, 7, 2}) {  // 3 with one flag clear: nothing
        t.driver.Lines().CloseBoxes(which);
    }
    EXPECT_EQ(t.r.log.Only({"sio "}), Lines{"sio close 2"});
    EXPECT_TRUE(t.driver.Lines().DeltaPortOpen());  // the flags stay as they were

    t.sio.Heal();
    t.driver.Lines().OpenBoxes(1);
    t.r.log.Clear();
    t.r.settings.Int(IntKey::S64xx_RS485_com_port) = 2;  // both flags set: 3 closes the bus port
    t.driver.Lines().CloseBoxes(3);
    EXPECT_EQ(t.r.log.Only({"sio "}), Lines{"sio close 3"});
}

TEST(S64xxLines, AReadKeepsTheTailOfEarlierRepliesAndAFailedReadKeepsEverything) {
    S64xxRig t;
    t.driver.Lines().SetPorts(1, 2);
    t.sio.replies[1] = {"+12345\r", "+9\r"};
    t.driver.Lines().ReadAlpha();
    t.driver.Lines().ReadAlpha();
    const std::string& buffer = t.driver.Lines().ReplyBuffer();
    EXPECT_EQ(buffer.size(), 256u);
    EXPECT_EQ(buffer.substr(0, 8), std::string("+9\r345\r") + '\0');
    EXPECT_EQ(CutAtCr(buffer), "+9");
    t.sio.Fail("read", 1, SIO_BADPORT);
    t.sio.replies[1] = {"xyz"};
    t.driver.Lines().ReadAlpha();
    EXPECT_EQ(CutAtCr(t.driver.Lines().ReplyBuffer()), "+9");
    EXPECT_EQ(t.r.log.Only({"box "}), (Lines{"box Erreur | Erreur de communication.\nPort non ouvert ou inexistant"}));
}

}  // namespace
}  // namespace axo
