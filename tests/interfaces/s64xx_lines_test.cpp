#include <gtest/gtest.h>

#include "astro/utils.h"
#include "interfaces/s64xx_rig.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;
using test::S64xxRig;

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

TEST(S64xxLines, OnTheBusTheAddressGoesInItsOwnWriteBeforeTheCommand) {
    S64xxRig t;
    t.r.settings.Int(IntKey::S64xx_RS485) = 1;
    t.r.settings.Int(IntKey::S64xx_RS485_com_port) = 3;  // MOXA port 4
    t.driver.Lines().SendDelta("Y 0", false);
    t.driver.Lines().SendAlpha("S", false);
    EXPECT_EQ(t.sio.Writes(), (Lines{"4 b", "4 Y 0<CR>", "4 a", "4 S<CR>"}));

    // An address that cannot be written stops there: one box, no command on the bus.
    t.r.log.Clear();
    t.sio.Fail("write", 4, SIO_NODATA);
    t.driver.Lines().SendAlpha("S", true);
    EXPECT_EQ(t.r.log.Only({"sio ", "box "}),
              (Lines{"sio write 4 a -> -4", "box Erreur | Erreur de communication.\nPas de données à lire ou à écrire"}));
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

TEST(S64xxLines, TheBusProbeCallsEachBoxByItsAddress) {
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
