#include "link/core_bridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "astro/mathlib.h"
#include "support/core_fakes.h"

namespace axo::link {
namespace {

using Lines = std::vector<std::string>;

struct LinkRig : test::CoreRig {
    LinkRig() { Init(); }
    void ReadBoth() {
        core.Command(CMD_READ_ALPHA, 0);
        core.Command(CMD_READ_DELTA, 0);
    }
    bool AnyMessageHas(const std::string& text) const {
        return std::any_of(view.messages.begin(), view.messages.end(),
                           [&](const std::string& m) { return m.find(text) != std::string::npos; });
    }
    bool LastMessageHas(const std::string& text) const {
        return !view.messages.empty() && view.messages.back().find(text) != std::string::npos;
    }
};

Request Req(RequestKind kind, const char* command, Direction direction = Direction::All) {
    Request r;
    r.kind = kind;
    r.command = command;
    r.direction = direction;
    return r;
}

// The requests a session of this mode makes of `bytes`.
std::vector<Request> Feed(bool control, const char* bytes) {
    Session session(control);
    std::string out;
    std::vector<Request> requests;
    session.Feed(bytes, Snapshot{}, out, requests);
    return requests;
}

std::string Two(int v) {
    return (v < 10 ? "0" : "") + std::to_string(v);
}

// The planetarium must read what the main window shows: the same rounding and carries.
TEST(LinkSnapshot, RightAscensionAsTheMainWindowShowsIt) {
    LinkRig r;
    r.settings.Int(IntKey::display_hangle) = 0;
    struct Case { double lstSeconds; int16_t h, m, s; };  // sidereal time in seconds, the coders' hour angle
    const Case cases[] = {
        {16 * 3600 + 11 * 60 + 23.0, 1, 0, 0},
        {59.6, 0, 0, 0},                     // seconds round to 60: carried into the minute
        {3599.7, 0, 0, 0},                   // and into the hour
        {86399.6, 0, 0, 0},                  // 24 h wraps to 0
        {0.0, 0, 0, 1},                      // just below 24 h
        {12 * 3600.0, 23, 59, 59},
    };
    for (const Case& c : cases) {
        r.core.state().SiderealTimeRad = c.lstSeconds / 86400.0 * 2.0 * 3.14159265358979;
        Position& p = r.core.position();
        std::tie(p.HourAngleH, p.HourAngleM, p.HourAngleS) = std::tuple(c.h, c.m, c.s);
        r.core.Command(CMD_READ_ALPHA, 0);
        const Snapshot s = TakeSnapshot(r.core, 0.0);
        ASSERT_TRUE(s.positionKnown);
        EXPECT_EQ((Lines{Two(s.raH), Two(s.raM), Two(s.raS)}),
                  (Lines{r.view.Text("lblDisplayAlphaH"), r.view.Text("lblDisplayAlphaM"),
                         r.view.Text("lblDisplayAlphaS")}))
            << c.lstSeconds;
        EXPECT_LT(s.raH, 24);
    }
}

// Horizontal position as shown; local time so that :GL# and :GG# give UTC back; no position behind "--".
TEST(LinkSnapshot, DeclinationHorizontalPositionSiteLocalTimeAndUnknownPosition) {
    LinkRig r;
    r.view.trackingVisible = true;
    r.core.state().Site.latitude = D2R(43.75);
    r.core.state().SiderealTimeRad = Hms2R(3, 0, 0.0);
    Position& p = r.core.position();
    std::tie(p.HourAngleH, p.HourAngleM, p.HourAngleS, p.DeclinationD, p.DeclinationM) = std::tuple(2, 10, 5, 20, 7);
    r.ReadBoth();
    DateTimeRecord& utc = r.core.state().DateTime;
    utc = DateTimeRecord{31, 12, 2026, 23, 30, 15.7};
    const Snapshot s = TakeSnapshot(r.core, -1.0);
    auto shown = [](int arcsec) {
        const int a = std::abs(arcsec);
        return std::string(arcsec < 0 ? "-" : "") + Two(a / 3600) + "°" + Two(a / 60 % 60) + "'" + Two(a % 60) + "\"";
    };
    EXPECT_EQ(shown(s.azimuthArcsec), r.view.Text("lblTrkAz"));
    EXPECT_EQ(shown(s.altitudeArcsec), r.view.Text("lblTrkHe"));
    EXPECT_EQ((std::vector<int>{s.year, s.month, s.day, s.hour, s.minute, s.second}),
              (std::vector<int>{2027, 1, 1, 0, 30, 15}));
    EXPECT_EQ(s.utcOffsetHours, -1.0);
    EXPECT_EQ(TakeSnapshot(r.core, 5.5).hour, 18);  // west of Greenwich, half hours

    std::tie(p.DeclinationNegative, p.DeclinationD, p.DeclinationM, p.DeclinationS) = std::tuple(1, 0, 30, 0);
    r.core.state().Site.latitude = D2R(42.5);
    r.core.state().Site.longitude = D2R(-2.25);  // east of Greenwich: negative, as LX200 wants
    Snapshot t = TakeSnapshot(r.core, 1.0);
    EXPECT_EQ(FormatDec(t.decNegative, t.decD, t.decM, t.decS, true), "-00*30:00#");
    EXPECT_EQ(FormatSiteAngle(t.latitudeArcsec, 2), "+42*30#");
    EXPECT_EQ(FormatSiteAngle(t.longitudeArcsec, 3), "-002*15#");
    EXPECT_TRUE(t.positionKnown);
    p.DeclinationOutOfRange = true;
    EXPECT_FALSE(TakeSnapshot(r.core, 0.0).positionKnown);
    p.DeclinationOutOfRange = false;
    r.core.drivers().SetReadingsAvailable(InterfaceId::Parallel, false);
    EXPECT_FALSE(TakeSnapshot(r.core, 0.0).positionKnown);
}

TEST(LinkExecute, MovesAndSpeedsGoThroughThePadAndItsGuards) {
    LinkRig r;
    Execute(r.core, Req(RequestKind::MoveStart, ":Mw#", Direction::West));
    EXPECT_EQ(r.core.events().Requested(EVT_ALPHA_PLUS), 1);
    EXPECT_TRUE(r.AnyMessageHas("Lien LX200 : :Mw#"));
    Execute(r.core, Req(RequestKind::MoveStart, ":Mn#", Direction::North));
    EXPECT_EQ(r.core.events().Requested(EVT_DELTA_PLUS), 1);
    Execute(r.core, Req(RequestKind::MoveStop, ":Qn#", Direction::North));
    EXPECT_EQ(r.core.events().Requested(EVT_DELTA_PLUS), 0);
    EXPECT_EQ(r.core.events().Requested(EVT_ALPHA_PLUS), 1);

    // Abort: everything stops, tracking included.
    r.core.PressTracking();
    Execute(r.core, Req(RequestKind::Abort, ":Q#"));
    for (int slot : {EVT_TRACKING, EVT_ALPHA_PLUS, EVT_ALPHA_MINUS, EVT_DELTA_PLUS, EVT_DELTA_MINUS}) {
        EXPECT_EQ(r.core.events().Requested(slot), 0) << slot;
    }
    EXPECT_TRUE(r.LastMessageHas("Lien LX200 : arrêt de tous les mouvements (:Q#)"));

    // The operator's guard holds for the planetarium too: no move while tracking if so set.
    r.settings.Int(IntKey::disable_move_when_tracking) = 1;
    r.core.PressTracking();
    r.log.Clear();
    Execute(r.core, Req(RequestKind::MoveStart, ":Me#", Direction::East));
    EXPECT_EQ(r.core.events().Requested(EVT_ALPHA_MINUS), 0);
    EXPECT_EQ(r.log.Only({"beep"}).size(), 1u);

    // A speed sets both axes.
    for (const auto& [speed, mode] : {std::pair{Speed::Slew, SPEED_MOVING}, std::pair{Speed::Guide, SPEED_CENTERING},
                                      std::pair{Speed::Find, SPEED_POINTING}}) {
        Request req = Req(RequestKind::SpeedMode, ":R#");
        req.speed = speed;
        Execute(r.core, req);
        EXPECT_EQ(r.settings.Int(IntKey::control_mode_alpha), mode) << mode;
        EXPECT_EQ(r.settings.Int(IntKey::control_mode_delta), mode) << mode;
    }
}

TEST(LinkExecute, SyncIsACalibrationOnTheTarget) {
    LinkRig r;
    r.settings.Int(IntKey::calibr_alpha_ra) = 0;
    r.core.state().SiderealTimeRad = Hms2R(12, 0, 0.0);
    const std::vector<Request> requests = Feed(true, ":Sr10:30:00#:Sd-00*30:00#:CM#");
    ASSERT_EQ(requests.size(), 1u);
    r.log.Clear();
    Execute(r.core, requests[0]);
    EXPECT_EQ(r.Drivers(), (Lines{"P 1001 (0,0)", "P 1002 (0,0)"}));
    // Hour angle 12 h - 10 h 30 m.
    EXPECT_EQ((std::vector<int>{r.settings.Int(IntKey::calibr_alpha_ra), r.settings.Int(IntKey::calibr_alpha_h),
                                r.settings.Int(IntKey::calibr_alpha_m), r.settings.Int(IntKey::calibr_alpha_s),
                                r.settings.Int(IntKey::calibr_delta_d), r.settings.Int(IntKey::calibr_delta_m),
                                r.settings.Int(IntKey::calibr_delta_neg_zero)}),
              (std::vector<int>{1, 1, 30, 0, 0, 30, 1}));
    EXPECT_EQ(r.settings.Str(StringKey::calibr_alpha_text_h), "10");
    EXPECT_EQ(r.settings.Str(StringKey::calibr_delta_text_d), "-0");

    // The coders of the EIK120 card get it when they are the ones in use.
    r.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
    r.log.Clear();
    Execute(r.core, requests[0]);
    EXPECT_EQ(r.Drivers(), (Lines{"E 1001 (0,0)", "E 1002 (0,0)"}));
}

// A planetarium's go-to is the core's: the snapshot shows its state and the mount's own refusal.
TEST(LinkExecute, GoToParkAndAbortDriveTheOneMountState) {
    LinkRig r;
    r.core.position().HourAngleH = 0;
    r.core.position().DeclinationD = 40;
    r.ReadBoth();
    Snapshot s = TakeSnapshot(r.core, 0.0);
    EXPECT_EQ(s.gotoRefusal, "");
    EXPECT_EQ(s.limits.minAltitudeDeg, r.core.pointing().Limits().minAltitudeDeg);
    Request go = Req(RequestKind::GoTo, ":MS#");
    go.raRad = D2R(std::fmod(r.core.pointing().HourAngleNow(0.0) - 1.0 + 24.0, 24.0) * 15.0);  // an hour west
    go.decRad = D2R(40.0);
    go.serial = 41;
    Execute(r.core, go);
    EXPECT_TRUE(r.AnyMessageHas("Lien LX200 : pointage demandé sur"));
    ASSERT_TRUE(r.core.pointing().Active());
    s = TakeSnapshot(r.core, 0.0);
    EXPECT_EQ(s.mount, MountState::Slewing);
    EXPECT_EQ(s.gotoSerial, 41u);

    const Request abort = Req(RequestKind::Abort, ":Q#");
    Execute(r.core, abort);
    EXPECT_FALSE(r.core.pointing().Active());
    EXPECT_TRUE(r.AnyMessageHas("arrêté : arrêt demandé par le lien LX200"));
    EXPECT_EQ(TakeSnapshot(r.core, 0.0).mount, MountState::Idle);

    Execute(r.core, Req(RequestKind::Park, ":hP#"));
    EXPECT_EQ(TakeSnapshot(r.core, 0.0).mount, MountState::Parking);
    Execute(r.core, abort);

    // Manual mode: in the snapshot; a request that comes anyway is refused and said.
    r.settings.Int(IntKey::manual_mode) = 1;
    EXPECT_EQ(TakeSnapshot(r.core, 0.0).gotoRefusal, "la monture est en mode manuel");
    go.serial = 42;
    Execute(r.core, go);
    EXPECT_FALSE(r.core.pointing().Active());
    EXPECT_TRUE(r.LastMessageHas("refusé"));
    EXPECT_EQ(TakeSnapshot(r.core, 0.0).gotoSerial, 42u);
}

TEST(LinkHandle, ConnectionsAndDropsReachTheMessageList) {
    LinkRig r;
    Event e;  // the connections' lines are in server_test.cpp's ReconnectLinesAreRateLimited
    e.kind = Event::Kind::Dropped;
    e.peer = "127.0.0.1:5000";
    e.reason = "commande trop longue";
    Handle(r.core, e);
    EXPECT_TRUE(r.LastMessageHas("Lien LX200 : client 127.0.0.1:5000 coupé (commande trop longue)"));

    // A refused command is told, and nothing is carried out.
    const std::vector<Request> requests = Feed(false, ":CM#");
    ASSERT_EQ(requests.size(), 1u);
    r.log.Clear();
    e.kind = Event::Kind::Request;
    e.request = requests[0];
    Handle(r.core, e);
    EXPECT_TRUE(r.LastMessageHas("Lien LX200 : :CM# refusé (lien en lecture seule)"));
    EXPECT_TRUE(r.Drivers().empty());
}

}  // namespace
}  // namespace axo::link
