#include "link/lx200.h"

#include <gtest/gtest.h>

namespace axo::link {
namespace {

TEST(Lx200Format, EveryFieldInBothPrecisions) {
    const std::pair<std::string, const char*> table[] = {
        {FormatRa(0, 0, 0, true), "00:00:00#"},     {FormatRa(0, 0, 0, false), "00:00.0#"},
        {FormatRa(23, 59, 59, true), "23:59:59#"},  {FormatRa(23, 59, 59, false), "23:59.9#"},  // tenths truncated
        {FormatRa(5, 7, 5, true), "05:07:05#"},     {FormatRa(5, 7, 5, false), "05:07.0#"},
        {FormatRa(12, 30, 6, false), "12:30.1#"},   {FormatRa(1, 2, 54, false), "01:02.9#"},
        {FormatDec(false, 90, 0, 0, true), "+90*00:00#"},  {FormatDec(true, 90, 0, 0, true), "-90*00:00#"},
        {FormatDec(true, 0, 30, 0, true), "-00*30:00#"},   {FormatDec(true, 0, 30, 0, false), "-00*30#"},  // -0°
        {FormatDec(false, 0, 0, 0, false), "+00*00#"},     {FormatDec(false, 5, 3, 59, false), "+05*03#"},
        {FormatDec(false, 5, 3, 2, true), "+05*03:02#"},
        {FormatSiteAngle(42 * 3600 + 56 * 60 + 20, 2), "+42*56#"},
        {FormatSiteAngle(42 * 3600 + 59 * 60 + 30, 2), "+43*00#"},  // 59.5' carries into degrees
        {FormatSiteAngle(-(33 * 3600 + 52 * 60), 2), "-33*52#"},  {FormatSiteAngle(-9 * 60 - 5, 3), "-000*09#"},
        {FormatSiteAngle(122 * 3600 + 25 * 60, 3), "+122*25#"},
        {FormatAltitude(-(5 * 3600 + 7 * 60 + 9), true), "-05*07:09#"},
        {FormatAltitude(89 * 3600 + 59 * 60 + 59, false), "+89*59#"},
        {FormatAzimuth(7 * 3600 + 5, true), "007*00:05#"},  {FormatAzimuth(360 * 3600, true), "000*00:00#"},
        {FormatAzimuth(359 * 3600 + 59 * 60 + 59, false), "359*59#"},
    };
    for (const auto& [got, want] : table) {
        EXPECT_EQ(got, want);
    }
}

TEST(Lx200Parse, TargetRightAscensionAndDeclination) {
    const std::pair<const char*, int> ras[] = {
        {"10:30:00", 103000}, {" 23:59:59", 235959}, {"05:07.5", 50730} /* tenths of a minute */, {"00:00:00", 0}};
    for (const auto& [text, hms] : ras) {
        Hms v{9, 9, 9};
        ASSERT_TRUE(ParseRa(text, v)) << text;
        EXPECT_EQ(v.h * 10000 + v.m * 100 + v.s, hms) << text;
    }
    const std::tuple<const char*, bool, int> decs[] = {
        {"-00*30:00", true, 3000},  {"+90*00:00", false, 900000},
        {"-45\xDF" "12", true, 451200},  // the degree sign of the hand boxes, low precision
        {"-00*00:00", false, 0},    // no negative zero
        {"12:34:56", false, 123456},
    };
    for (const auto& [text, negative, dms] : decs) {
        Dms v{!negative, 9, 9, 9};
        ASSERT_TRUE(ParseDec(text, v)) << text;
        EXPECT_EQ(v.negative, negative) << text;
        EXPECT_EQ(v.d * 10000 + v.m * 100 + v.s, dms) << text;
    }
    Hms h;
    for (const char* bad : {"24:00:00", "10:60:00", "10:00:60", "", "10", "10:3:00", "aa:bb:cc", "10:30:00x",
                            "10:30.", "-1:00:00", "123:00:00"}) {
        EXPECT_FALSE(ParseRa(bad, h)) << bad;
    }
    Dms d;
    for (const char* bad : {"+90*00:01", "+91*00:00", "+10*60:00", "+10*00:60", "", "+", "+10", "++10*00",
                            "+10*00:00:00", "+10*0"}) {
        EXPECT_FALSE(ParseDec(bad, d)) << bad;
    }
}

Snapshot Sample() {
    return Snapshot{.positionKnown = true, .raH = 15, .raM = 11, .raS = 21,
                    .decNegative = true, .decD = 0, .decM = 30, .decS = 7,
                    .azimuthArcsec = 213 * 3600 + 4 * 60 + 5, .altitudeArcsec = -(12 * 3600 + 30 * 60 + 1),
                    .lstH = 16, .lstM = 11, .lstS = 23,
                    .latitudeArcsec = 42 * 3600 + 56 * 60, .longitudeArcsec = -(9 * 60),
                    .year = 2026, .month = 12, .day = 6, .hour = 21, .minute = 5, .second = 9,
                    .utcOffsetHours = -1.0, .gotoRefusal = "", .limits = {}};
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

// Refusals read as such to INDI: "0" to a target, nothing to the sync (an answer ending in '#' is done).
TEST(Lx200Session, ReadOnlyRefusesEveryControlCommand) {
    Talk t(false);
    EXPECT_EQ(t.Send(":Sr10:30:00#"), "0");
    EXPECT_EQ(t.Send(":Sd-00*30:00#"), "0");
    EXPECT_EQ(t.Send(":CM#"), "");
    EXPECT_EQ(t.Send(":Q#:Mn#:Qn#:Me#:Qe#:Ms#:Mw#:RS#:RG#:hP#"), "");
    EXPECT_EQ(t.session.refusedCount(), 13);
    ASSERT_EQ(t.requests.size(), 13u);
    for (const Request& r : t.requests) {
        EXPECT_EQ(r.kind, RequestKind::Refused) << r.command;
        EXPECT_EQ(r.refusal, kReadOnly) << r.command;
    }
    EXPECT_EQ(t.requests[2].command, ":CM#");
    EXPECT_EQ(t.Send(":Gr#:Gd#"), "15:11:21#-00*30:07#");  // no target: where it points
}

TEST(Lx200Session, ControlCommandsBecomeRequests) {
    Talk t(true);
    EXPECT_EQ(t.Send(":Q#:Mn#:Qn#:Me#:Qw#:Ms#:Qs#:RM#:RS#:RC#:RG#:hP#"), "");
    using K = RequestKind;
    const std::tuple<K, Direction, Speed> want[] = {
        {K::Abort, Direction::All, Speed::Centering},       {K::MoveStart, Direction::North, Speed::Centering},
        {K::MoveStop, Direction::North, Speed::Centering},  {K::MoveStart, Direction::East, Speed::Centering},
        {K::MoveStop, Direction::West, Speed::Centering},   {K::MoveStart, Direction::South, Speed::Centering},
        {K::MoveStop, Direction::South, Speed::Centering},  {K::SpeedMode, Direction::All, Speed::Find},
        {K::SpeedMode, Direction::All, Speed::Slew},        {K::SpeedMode, Direction::All, Speed::Centering},
        {K::SpeedMode, Direction::All, Speed::Guide},       {K::Park, Direction::All, Speed::Centering},
    };
    ASSERT_EQ(t.requests.size(), std::size(want));
    for (std::size_t i = 0; i < std::size(want); ++i) {
        const auto& [kind, direction, speed] = want[i];
        EXPECT_EQ(t.requests[i].kind, kind) << i;
        if (kind == K::MoveStart || kind == K::MoveStop) {
            EXPECT_EQ(t.requests[i].direction, direction) << i;
        }
        if (kind == K::SpeedMode) {
            EXPECT_EQ(t.requests[i].speed, speed) << i;
        }
    }
    EXPECT_EQ(t.requests[3].command, ":Me#");
    EXPECT_EQ(t.session.refusedCount(), 0);
    EXPECT_EQ(t.Send(":MS#"), "1");  // no target yet
    EXPECT_EQ(t.requests.back().refusal, kNoTarget);
}

// :MS# is answered at once, so the session refuses what the snapshot shows out of reach.
TEST(Lx200Session, GoToAnswersFromTheLimitsAndTheMountsOwnRefusal) {
    // lstH: sidereal time lstH:11:23; refusal "" when the go-to starts.
    struct Case { bool control; const char *ra, *dec, *mountRefusal; int lstH; const char* answer; std::string refusal; };
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
        SCOPED_TRACE(std::string(c.ra) + " " + c.dec);
        Talk t(c.control);
        t.snap.lstH = c.lstH;
        t.snap.limits.declinationMaxDeg = 70.0;
        t.snap.gotoRefusal = c.mountRefusal;
        t.Send(std::string(":Sr") + c.ra + "#:Sd" + c.dec + "#");
        t.requests.clear();
        EXPECT_EQ(t.Send(":MS#"), c.answer);
        ASSERT_EQ(t.requests.size(), 1u);
        EXPECT_EQ(t.requests[0].kind, c.refusal.empty() ? RequestKind::GoTo : RequestKind::Refused);
        EXPECT_EQ(t.requests[0].refusal, c.refusal);
    }
    // The target is carried of date, as sent.
    Talk t(true);
    t.Send(":Sr15:11:24#:Sd-10*30:00#:MS#");
    ASSERT_EQ(t.requests.back().kind, RequestKind::GoTo);
    EXPECT_NEAR(t.requests.back().raRad, (15 + 11 / 60.0 + 24 / 3600.0) * 3.14159265358979 / 12, 1e-9);
    EXPECT_NEAR(t.requests.back().decRad, -10.5 * 3.14159265358979 / 180, 1e-9);
}

// :D# says "slewing" for a go-to just accepted until it is carried out, so that it never looks over.
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
    Talk stray(false);
    EXPECT_EQ(stray.Send("hello\r\n:GR#"), "15:11:21#");  // stray text between commands is skipped
    EXPECT_EQ(stray.result, FeedResult::Ok);
    Talk t(false);
    t.Send(":" + std::string(kMaxCommandLength, 'G'));
    EXPECT_EQ(t.result, FeedResult::Ok);  // exactly the limit still fits
    t.Send("G");
    EXPECT_EQ(t.result, FeedResult::Drop);
    EXPECT_EQ(t.session.dropReason(), "commande trop longue");
    for (const std::string& bad : {std::string("\x01\x02"), std::string(":GR\x00#", 5), std::string("\xff\xfe"),
                                  std::string(":G\x80#")}) {
        Talk b(true);
        EXPECT_EQ(b.Send(bad), "");
        EXPECT_EQ(b.result, FeedResult::Drop);
        EXPECT_TRUE(b.requests.empty());
    }
}

}  // namespace
}  // namespace axo::link
