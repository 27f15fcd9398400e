#include "link/lx200.h"

#include <gtest/gtest.h>

#include <random>

namespace axo::link {
namespace {

TEST(Lx200Format, RightAscensionBothPrecisions) {
    struct Case {
        int h, m, s;
        const char* high;
        const char* low;
    };
    const Case cases[] = {
        {0, 0, 0, "00:00:00#", "00:00.0#"},
        {23, 59, 59, "23:59:59#", "23:59.9#"},  // tenths truncated: never past what is shown
        {5, 7, 5, "05:07:05#", "05:07.0#"},
        {12, 30, 6, "12:30:06#", "12:30.1#"},
        {1, 2, 54, "01:02:54#", "01:02.9#"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatRa(c.h, c.m, c.s, true), c.high) << c.high;
        EXPECT_EQ(FormatRa(c.h, c.m, c.s, false), c.low) << c.high;
    }
}

TEST(Lx200Format, DeclinationSignsAndPoles) {
    EXPECT_EQ(FormatDec(false, 90, 0, 0, true), "+90*00:00#");
    EXPECT_EQ(FormatDec(true, 90, 0, 0, true), "-90*00:00#");
    EXPECT_EQ(FormatDec(true, 0, 30, 0, true), "-00*30:00#");  // south within a degree
    EXPECT_EQ(FormatDec(true, 0, 30, 0, false), "-00*30#");
    EXPECT_EQ(FormatDec(false, 0, 0, 0, false), "+00*00#");
    EXPECT_EQ(FormatDec(false, 5, 3, 59, false), "+05*03#");
    EXPECT_EQ(FormatDec(false, 5, 3, 2, true), "+05*03:02#");
}

TEST(Lx200Format, SiteAnglesRoundToTheMinuteWithCarry) {
    EXPECT_EQ(FormatSiteAngle(42 * 3600 + 56 * 60 + 20, 2), "+42*56#");
    EXPECT_EQ(FormatSiteAngle(42 * 3600 + 59 * 60 + 30, 2), "+43*00#");  // 59.5' carries into degrees
    EXPECT_EQ(FormatSiteAngle(-(33 * 3600 + 52 * 60), 2), "-33*52#");
    EXPECT_EQ(FormatSiteAngle(-9 * 60 - 5, 3), "-000*09#");
    EXPECT_EQ(FormatSiteAngle(122 * 3600 + 25 * 60, 3), "+122*25#");
}

TEST(Lx200Format, AltitudeAndAzimuth) {
    EXPECT_EQ(FormatAltitude(-(5 * 3600 + 7 * 60 + 9), true), "-05*07:09#");
    EXPECT_EQ(FormatAltitude(89 * 3600 + 59 * 60 + 59, false), "+89*59#");
    EXPECT_EQ(FormatAzimuth(7 * 3600 + 5, true), "007*00:05#");
    EXPECT_EQ(FormatAzimuth(359 * 3600 + 59 * 60 + 59, false), "359*59#");
    EXPECT_EQ(FormatAzimuth(360 * 3600, true), "000*00:00#");
}

TEST(Lx200Parse, TargetRightAscension) {
    Hms v;
    ASSERT_TRUE(ParseRa("10:30:00", v));
    EXPECT_EQ(v.h * 10000 + v.m * 100 + v.s, 103000);
    ASSERT_TRUE(ParseRa(" 23:59:59", v));
    EXPECT_EQ(v.h * 10000 + v.m * 100 + v.s, 235959);
    ASSERT_TRUE(ParseRa("05:07.5", v));  // low precision: tenths of a minute
    EXPECT_EQ(v.h * 10000 + v.m * 100 + v.s, 50730);
    ASSERT_TRUE(ParseRa("00:00:00", v));
    EXPECT_EQ(v.h + v.m + v.s, 0);
    for (const char* bad : {"24:00:00", "10:60:00", "10:00:60", "", "10", "10:3:00", "aa:bb:cc", "10:30:00x",
                            "10:30.", "-1:00:00", "123:00:00"}) {
        EXPECT_FALSE(ParseRa(bad, v)) << bad;
    }
}

TEST(Lx200Parse, TargetDeclination) {
    Dms v;
    ASSERT_TRUE(ParseDec("-00*30:00", v));
    EXPECT_TRUE(v.negative);
    EXPECT_EQ(v.d * 10000 + v.m * 100 + v.s, 3000);
    ASSERT_TRUE(ParseDec("+90*00:00", v));
    EXPECT_FALSE(v.negative);
    EXPECT_EQ(v.d, 90);
    ASSERT_TRUE(ParseDec("-45\xDF" "12", v));  // the degree sign of the hand boxes, low precision
    EXPECT_TRUE(v.negative);
    EXPECT_EQ(v.d * 100 + v.m, 4512);
    ASSERT_TRUE(ParseDec("-00*00:00", v));
    EXPECT_FALSE(v.negative);  // no negative zero
    ASSERT_TRUE(ParseDec("12:34:56", v));
    EXPECT_EQ(v.d * 10000 + v.m * 100 + v.s, 123456);
    for (const char* bad : {"+90*00:01", "+91*00:00", "+10*60:00", "+10*00:60", "", "+", "+10", "++10*00",
                            "+10*00:00:00", "+10*0"}) {
        EXPECT_FALSE(ParseDec(bad, v)) << bad;
    }
}

Snapshot Sample() {
    Snapshot s;
    s.positionKnown = true;
    s.raH = 15;
    s.raM = 11;
    s.raS = 21;
    s.decNegative = true;
    s.decD = 0;
    s.decM = 30;
    s.decS = 7;
    s.azimuthArcsec = 213 * 3600 + 4 * 60 + 5;
    s.altitudeArcsec = -(12 * 3600 + 30 * 60 + 1);
    s.lstH = 16;
    s.lstM = 11;
    s.lstS = 23;
    s.latitudeArcsec = 42 * 3600 + 56 * 60;
    s.longitudeArcsec = -(9 * 60);
    s.year = 2026;
    s.month = 12;
    s.day = 6;
    s.hour = 21;
    s.minute = 5;
    s.second = 9;
    s.utcOffsetHours = -1.0;
    return s;
}

struct Talk {
    explicit Talk(bool control) : session(control) {}
    std::string Send(std::string_view bytes) {
        std::string out;
        result = session.Feed(bytes, snap, out, requests);
        return out;
    }
    Session session;
    Snapshot snap = Sample();
    std::vector<Request> requests;
    FeedResult result = FeedResult::Ok;
};

TEST(Lx200Session, QueriesAnswerFromTheSnapshot) {
    Talk t(false);
    const std::pair<const char*, const char*> table[] = {
        {":GR#", "15:11:21#"},      {":GD#", "-00*30:07#"},  {":GS#", "16:11:23#"},
        {":Gt#", "+42*56#"},        {":Gg#", "-000*09#"},    {":GL#", "21:05:09#"},
        {":Ga#", "09:05:09#"},      {":GA#", "-12*30:01#"},  {":GZ#", "213*04:05#"},
        {":GC#", "12/06/26#"},      {":GG#", "-01.0#"},      {"\x06", "P"},
        {":Gc#", "(24)#"},          {":D#", "#"},            {":GVP#", "Axo link#"},
        {":U#:GR#", "15:11.3#"},    {":GD#", "-00*30#"},     {":U#:GD#", "-00*30:07#"},
        {":GR#:GD#", "15:11:21#-00*30:07#"},
        {"#:GR#", "15:11:21#"},     // a leading '#' (some programs clear the line with it)
        {":G", ""},                 // a command split over two reads
        {"R#", "15:11:21#"},
        {":Xy#", ""},               // unknown: no answer, as on a mount without the feature
        {":MS#", "1"},              // the digit alone: INDI reads one byte
        {":SC12/24/26#", "0"},      // the date and site stay the computer's and the settings'
        {":St+10*00#", "0"},
    };
    for (const auto& [in, answer] : table) {
        EXPECT_EQ(t.Send(in), answer) << in;
        EXPECT_EQ(t.result, FeedResult::Ok) << in;
    }
    t.snap.hour = 0;
    EXPECT_EQ(t.Send(":Ga#"), "12:05:09#");
    t.snap.positionKnown = false;  // the window shows "--": no position to give, nor any
    EXPECT_EQ(t.Send(":GR#:GD#:Gr#:Gd#:GA#:GZ#"), "");  // computed from it
    ASSERT_EQ(t.requests.size(), 1u);  // the go-to, refused: the message list says so
    EXPECT_EQ(t.requests[0].kind, RequestKind::Refused);
    EXPECT_EQ(t.requests[0].refusal, kReadOnly);
}

// A refusal must read as one to the client: the target's "0", which INDI's drivers take as a
// failure, and no answer to the sync (any answer ending in '#' reads as done).
TEST(Lx200Session, ReadOnlyRefusesEveryControlCommand) {
    Talk t(false);
    EXPECT_EQ(t.Send(":Sr10:30:00#"), "0");
    EXPECT_EQ(t.Send(":Sd-00*30:00#"), "0");
    EXPECT_EQ(t.Send(":CM#"), "");
    EXPECT_EQ(t.Send(":Q#:Mn#:Qn#:Me#:Qe#:Ms#:Mw#:RS#:RG#"), "");
    EXPECT_EQ(t.session.refusedCount(), 12);
    ASSERT_EQ(t.requests.size(), 12u);
    for (const Request& r : t.requests) {
        EXPECT_EQ(r.kind, RequestKind::Refused) << r.command;
        EXPECT_EQ(r.refusal, kReadOnly) << r.command;
    }
    EXPECT_EQ(t.requests[2].command, ":CM#");
    EXPECT_EQ(t.Send(":Gr#:Gd#"), "15:11:21#-00*30:07#");  // no target: where it points
}

TEST(Lx200Session, ControlCommandsBecomeRequests) {
    Talk t(true);
    EXPECT_EQ(t.Send(":Q#:Mn#:Qn#:Me#:Qw#:Ms#:Qs#:RM#:RS#:RC#:RG#"), "");
    ASSERT_EQ(t.requests.size(), 11u);
    EXPECT_EQ(t.requests[0].kind, RequestKind::Abort);
    EXPECT_EQ(t.requests[1].kind, RequestKind::MoveStart);
    EXPECT_EQ(t.requests[1].direction, Direction::North);
    EXPECT_EQ(t.requests[2].kind, RequestKind::MoveStop);
    EXPECT_EQ(t.requests[2].direction, Direction::North);
    EXPECT_EQ(t.requests[3].direction, Direction::East);
    EXPECT_EQ(t.requests[4].direction, Direction::West);
    EXPECT_EQ(t.requests[4].kind, RequestKind::MoveStop);
    EXPECT_EQ(t.requests[5].direction, Direction::South);
    EXPECT_EQ(t.requests[7].speed, Speed::Find);
    EXPECT_EQ(t.requests[8].speed, Speed::Slew);
    EXPECT_EQ(t.requests[9].speed, Speed::Centering);
    EXPECT_EQ(t.requests[10].speed, Speed::Guide);
    EXPECT_EQ(t.requests[3].command, ":Me#");
    EXPECT_EQ(t.session.refusedCount(), 0);
    EXPECT_EQ(t.Send(":MS#"), "1");  // no target yet
    EXPECT_EQ(t.requests.back().refusal, kNoTarget);
}

// :MS# is answered at once, so the session itself refuses what the snapshot shows cannot be
// reached: the digit alone either way, as INDI's drivers read one byte.
TEST(Lx200Session, GoToAnswersFromTheLimitsAndTheMountsOwnRefusal) {
    struct Case {
        bool control;
        const char* ra;
        const char* dec;
        const char* mountRefusal;
        int lstH;  // sidereal time hh:11:23
        const char* answer;
        std::string refusal;  // "" when started
    };
    const Case cases[] = {
        {true, "15:11:23", "+40*00:00", "", 16, "0", ""},  // an hour west, high in the sky
        {true, "23:11:23", "+40*00:00", "", 0, "0", ""},   // the same across 0 h of sidereal time
        {true, "09:11:23", "+40*00:00", "", 16, "1", "angle horaire à plus de 6 h à l'ouest"},
        {true, "22:41:23", "+40*00:00", "", 16, "1", "angle horaire à plus de 6 h à l'est"},
        {true, "16:11:23", "-50*00:00", "", 16, "1", "hauteur -2,9° sous la limite de 10°"},
        {true, "16:11:23", "+75*00:00", "", 16, "1", "déclinaison au-dessus de 70°"},
        {true, "16:11:23", "+40*00:00", "la monture est en mode manuel", 16, "1", "la monture est en mode manuel"},
        {false, "16:11:23", "+40*00:00", "", 16, "1", kReadOnly},
    };
    for (const Case& c : cases) {
        Talk t(c.control);
        t.snap.lstH = c.lstH;
        t.snap.limits.declinationMaxDeg = 70.0;
        t.snap.gotoRefusal = c.mountRefusal;
        t.Send(std::string(":Sr") + c.ra + "#:Sd" + c.dec + "#");
        t.requests.clear();
        EXPECT_EQ(t.Send(":MS#"), c.answer) << c.ra << " " << c.dec;
        ASSERT_EQ(t.requests.size(), 1u) << c.ra;
        const Request& r = t.requests[0];
        if (c.refusal.empty()) {
            EXPECT_EQ(r.kind, RequestKind::GoTo);
        } else {
            EXPECT_EQ(r.kind, RequestKind::Refused);
            EXPECT_EQ(r.refusal, c.refusal) << c.ra << " " << c.dec;
        }
    }
    // The target is carried of date, as sent.
    Talk t(true);
    t.Send(":Sr15:11:24#:Sd-10*30:00#:MS#");
    ASSERT_EQ(t.requests.back().kind, RequestKind::GoTo);
    EXPECT_NEAR(t.requests.back().raRad, (15 + 11 / 60.0 + 24 / 3600.0) * 3.14159265358979 / 12, 1e-9);
    EXPECT_NEAR(t.requests.back().decRad, -10.5 * 3.14159265358979 / 180, 1e-9);
}

// :D# reads the one mount state, and says "slewing" for a go-to just answered "0" until the
// interface thread has carried it out: a client polling at once must not see it over.
TEST(Lx200Session, SlewingReadsTheMountStateAndThePendingGoTo) {
    const std::pair<MountState, const char*> table[] = {
        {MountState::Idle, kNotSlewing},      {MountState::Tracking, kNotSlewing}, {MountState::Parked, kNotSlewing},
        {MountState::Slewing, kSlewing},      {MountState::Settling, kSlewing},    {MountState::Parking, kSlewing},
    };
    for (const auto& [state, answer] : table) {
        Talk t(false);
        t.snap.mount = state;
        EXPECT_EQ(t.Send(":D#"), answer) << static_cast<int>(state);
    }
    Talk t(true);
    t.Send(":Sr16:11:23#:Sd+40*00:00#:MS#");
    ASSERT_EQ(t.requests.back().kind, RequestKind::GoTo);
    t.snap.gotoSerial = t.requests.back().serial - 1;  // another client's, carried out
    EXPECT_EQ(t.Send(":D#"), kSlewing);
    t.snap.gotoSerial = t.requests.back().serial;  // carried out, and refused there: still idle
    EXPECT_EQ(t.Send(":D#:D#"), std::string(kNotSlewing) + kNotSlewing);
    t.requests.clear();
    EXPECT_EQ(t.Send(":hP#:Q#"), "");  // park and stop: requests, no answer
    ASSERT_EQ(t.requests.size(), 2u);
    EXPECT_EQ(t.requests[0].kind, RequestKind::Park);
    EXPECT_EQ(t.requests[1].kind, RequestKind::Abort);
    Talk ro(false);
    EXPECT_EQ(ro.Send(":hP#"), "");
    ASSERT_EQ(ro.requests.size(), 1u);
    EXPECT_EQ(ro.requests[0].refusal, kReadOnly);
}

TEST(Lx200Session, SyncNeedsBothTargetsAndCarriesTheFieldTexts) {
    Talk t(true);
    EXPECT_EQ(t.Send(":CM#"), "");
    EXPECT_EQ(t.Send(":Sr10:30:00#"), "1");
    EXPECT_EQ(t.Send(":CM#"), "");
    ASSERT_EQ(t.requests.size(), 2u);
    EXPECT_EQ(t.requests[1].refusal, kNoTarget);
    t.requests.clear();
    EXPECT_EQ(t.Send(":Sd-00*30:00#"), "1");
    EXPECT_EQ(t.Send(":Gr#:Gd#"), "10:30:00#-00*30:00#");
    EXPECT_EQ(t.Send(":Sd+91*00:00#"), "0");  // refused: the last good target stays
    EXPECT_EQ(t.Send(":CM#"), kSyncAnswer);
    ASSERT_EQ(t.requests.size(), 1u);
    const Request& r = t.requests[0];
    EXPECT_EQ(r.kind, RequestKind::Sync);
    EXPECT_EQ((std::vector<std::string>{r.raText[0], r.raText[1], r.raText[2]}),
              (std::vector<std::string>{"10", "30", "0"}));
    EXPECT_EQ((std::vector<std::string>{r.decText[0], r.decText[1], r.decText[2]}),
              (std::vector<std::string>{"-0", "30", "0"}));
    EXPECT_EQ(t.Send(":Sd+45*10#:CM#"), std::string("1") + kSyncAnswer);
    EXPECT_EQ(t.requests.back().decText[0], "45");
    EXPECT_EQ(t.requests.back().decText[2], "0");
}

TEST(Lx200Session, GarbageAndOverlongCommandsDropTheClient) {
    {
        Talk t(false);
        EXPECT_EQ(t.Send("hello\r\n:GR#"), "15:11:21#");  // stray text between commands is skipped
        EXPECT_EQ(t.result, FeedResult::Ok);
    }
    {
        Talk t(false);
        t.Send(":" + std::string(kMaxCommandLength, 'G'));
        EXPECT_EQ(t.result, FeedResult::Ok);  // exactly the limit still fits
        t.Send("G");
        EXPECT_EQ(t.result, FeedResult::Drop);
        EXPECT_EQ(t.session.dropReason(), "commande trop longue");
    }
    for (const std::string& bad : {std::string("\x01\x02"), std::string(":GR\x00#", 5), std::string("\xff\xfe"),
                                  std::string(":G\x80#")}) {
        Talk t(true);
        EXPECT_EQ(t.Send(bad), "");
        EXPECT_EQ(t.result, FeedResult::Drop);
        EXPECT_TRUE(t.requests.empty());
    }
}

// Random bytes, biased towards the protocol's own characters, must never crash, never grow the
// pending command past its bound, and every answer must be one the protocol knows.
TEST(Lx200Session, BoundedRandomInput) {
    std::mt19937 rng(20261206);
    const std::string alphabet = ":#GRDSrdCMQUPnsewt0123456789*+-.\x06\xDF";
    for (int round = 0; round < 2000; ++round) {
        Talk t(round % 2 == 0);
        const int length = static_cast<int>(rng() % 400);
        std::string input;
        for (int i = 0; i < length; ++i) {
            input.push_back(rng() % 10 == 0 ? static_cast<char>(rng() % 256) : alphabet[rng() % alphabet.size()]);
        }
        std::string out;
        for (std::size_t pos = 0; pos < input.size();) {
            const std::size_t chunk = 1 + rng() % 16;
            std::string part;
            t.result = t.session.Feed(std::string_view(input).substr(pos, chunk), t.snap, part, t.requests);
            out += part;
            pos += chunk;
            if (t.result == FeedResult::Drop) {
                break;
            }
        }
        EXPECT_LE(out.size(), input.size() * 40);  // answers stay proportional to the commands
        for (const Request& r : t.requests) {
            EXPECT_TRUE(round % 2 == 0 || r.kind == RequestKind::Refused)
                << "a read-only session produced a request";
            EXPECT_FALSE(r.command.empty());
        }
    }
}

}  // namespace
}  // namespace axo::link
