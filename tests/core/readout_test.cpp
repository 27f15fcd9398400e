#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "astro/formulas.h"
#include "astro/mathlib.h"
#include "support/core_fakes.h"

namespace axo {
namespace {

using Lines = std::vector<std::string>;

struct ReadoutRig : test::CoreRig {
    ReadoutRig() {
        // A recording coder interface that leaves the position as the test writes it.
        settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
        Init();
    }
    void HourAngle(int16_t h, int16_t m, int16_t s) {
        core.position().HourAngleH = h;
        core.position().HourAngleM = m;
        core.position().HourAngleS = s;
    }
    void Declination(int16_t negative, int16_t d, int16_t m, int16_t s) {
        core.position().DeclinationNegative = negative;
        core.position().DeclinationD = d;
        core.position().DeclinationM = m;
        core.position().DeclinationS = s;
    }
    Lines Alpha() const {
        return {view.Text("lblDisplayAlphaH"), view.Text("lblDisplayAlphaM"), view.Text("lblDisplayAlphaS")};
    }
    Lines Delta() const {
        return {view.Text("lblDisplayDeltaD"), view.Text("lblDisplayDeltaM"), view.Text("lblDisplayDeltaS")};
    }
};

// Each position as the main window and the tracking window show it.
TEST(Readout, HourAngleWithinTwelveHoursAndDeclinationSigns) {
    ReadoutRig r;
    r.view.trackingVisible = true;
    const struct {
        int16_t alpha12, h, m, s;
        Lines shown;
        bool minus;
        const char* tracking;
    } angles[] = {{1, 12, 0, 1, {"11", "59", "59"}, true, "-11h59m59s"},
                  {1, 12, 0, 0, {"+12", "00", "00"}, false, "+12h00m00s"},
                  {0, 15, 4, 9, {"15", "04", "09"}, false, "15h04m09s"}};
    for (const auto& c : angles) {
        r.settings.Int(IntKey::alpha_12) = c.alpha12;
        r.HourAngle(c.h, c.m, c.s);
        r.core.Command(CMD_READ_ALPHA, 0);
        EXPECT_EQ(r.Alpha(), c.shown);
        EXPECT_EQ(r.view.IsVisible("shpAlphaMinus"), c.minus) << c.tracking;
        EXPECT_EQ(r.view.Text("lblTrkHa"), c.tracking);
    }
    const struct {
        int16_t negative;
        bool beyondThePole;
        Lines shown;
        bool minus;
        const char* tracking;  // nullptr: not checked
    } declinations[] = {{0, false, {"+05", "03", "02"}, false, "+05°03'02\""},
                        {1, false, {"05", "03", "02"}, true, "-05°03'02\""},
                        {1, true, {"--", "--", "--"}, false, nullptr}};
    for (const auto& c : declinations) {
        r.Declination(c.negative, 5, 3, 2);
        r.core.position().DeclinationOutOfRange = c.beyondThePole;
        r.core.Command(CMD_READ_DELTA, 0);
        EXPECT_EQ(r.Delta(), c.shown);
        EXPECT_EQ(r.view.IsVisible("shpDeltaMinus"), c.minus) << c.beyondThePole;
        if (c.tracking != nullptr) {
            EXPECT_EQ(r.view.Text("lblTrkDe"), c.tracking);
        }
    }
}

TEST(Readout, LabelsWrittenOnChangeAndRightAscensionCarriedUpToTheDay) {
    ReadoutRig r;
    r.HourAngle(3, 4, 5);
    for (int i = 0; i < 3; ++i) {
        r.core.Command(CMD_READ_ALPHA, 0);
    }
    EXPECT_EQ(r.view.textWrites["lblDisplayAlphaH"], 1);
    r.HourAngle(3, 4, 6);
    r.core.Command(CMD_READ_ALPHA, 0);
    EXPECT_EQ(r.view.textWrites["lblDisplayAlphaH"], 1);
    EXPECT_EQ(r.view.textWrites["lblDisplayAlphaS"], 2);

    r.settings.Int(IntKey::display_hangle) = 0;
    r.view.visible["shpAlphaMinus"] = true;
    r.HourAngle(1, 0, 0);
    // Sidereal time 0 h 59 m 59.6 s: right ascension 23 h 59 m 59.6 s, shown as 00 00 00.
    r.core.state().SiderealTimeRad = Hms2R(0, 59, 59.6);
    r.core.Command(CMD_READ_ALPHA, 0);
    EXPECT_EQ(r.Alpha(), (Lines{"00", "00", "00"}));
    EXPECT_FALSE(r.view.IsVisible("shpAlphaMinus"));

    r.core.state().SiderealTimeRad = Hms2R(6, 30, 14.4);
    r.core.Command(CMD_READ_ALPHA, 0);
    EXPECT_EQ(r.Alpha(), (Lines{"05", "30", "14"}));
    EXPECT_EQ(r.view.Text("lblTrkRa"), "");  // tracking window closed: not written
}

TEST(Readout, TrackingWindowAzimuthAltitudeAirMassAndTelescopeAzimuth) {
    ReadoutRig r;
    r.view.trackingVisible = true;
    // On the meridian one second of arc south of the zenith (latitude 42 56 13): air mass 1.
    r.HourAngle(0, 0, 0);
    r.Declination(0, 42, 56, 12);
    r.core.state().SiderealTimeRad = 1.0;
    r.core.Command(CMD_READ_ALPHA, 0);
    r.core.Command(CMD_READ_DELTA, 0);
    EXPECT_EQ(r.view.Text("lblTrkHe"), "89°59'59\"");
    EXPECT_EQ(r.view.Text("lblTrkAm"), "1,000");

    // 60 degrees from the zenith on the meridian, to the south: altitude 30, air mass 2.
    r.Declination(1, 17, 3, 47);
    r.core.Command(CMD_READ_DELTA, 0);
    EXPECT_EQ(r.view.Text("lblTrkAz"), "180°00'00\"");
    EXPECT_EQ(r.view.Text("lblTrkHe"), "30°00'00\"");
    EXPECT_EQ(r.view.Text("lblTrkAm"), "2,000");

    // Below the horizon: no air mass.
    r.HourAngle(12, 0, 0);
    r.core.Command(CMD_READ_ALPHA, 0);
    r.core.Command(CMD_READ_DELTA, 0);
    EXPECT_EQ(r.view.Text("lblTrkHe").front(), '-');
    EXPECT_EQ(r.view.Text("lblTrkAm"), "");

    // The telescope azimuth is computed once per position.
    r.HourAngle(0, 0, 0);
    r.Declination(0, 0, 0, 0);
    r.core.Command(CMD_TELESCOPE_AZIMUTH, 0);
    EXPECT_EQ(r.core.position().TelescopeAzimuth, 180);
    EXPECT_EQ(r.view.Text("lblAzimutTelescope"), "180°");
    r.core.position().TelescopeAzimuth = -1;  // a second call with the same position computes nothing
    r.core.Command(CMD_TELESCOPE_AZIMUTH, 0);
    EXPECT_EQ(r.core.position().TelescopeAzimuth, -1);

    // Six hours west on the equator: setting due west.
    r.HourAngle(6, 0, 0);
    r.core.Command(CMD_TELESCOPE_AZIMUTH, 0);
    EXPECT_EQ(r.core.position().TelescopeAzimuth, 270);
}

TEST(Readout, DisplaysWithoutAWorkingSourceShowDashesNotNumbers) {
    struct Case {
        const char* what;
        int16_t coders;
        std::function<void(DriverRegistry&)> arrange;
    };
    const Case cases[] = {
        {"no coder interface", 0, [](DriverRegistry&) {}},
        {"the 64xx boxes read no coder", INTERFACE_64XX, [](DriverRegistry&) {}},
        {"encoder card without a driver in this build", INTERFACE_EIK120,
         [](DriverRegistry& d) { d.Unregister(InterfaceId::Eik); }},
        {"parallel ports that could not be opened", INTERFACE_PARALLEL,
         [](DriverRegistry& d) { d.SetReadingsAvailable(InterfaceId::Parallel, false); }},
        {"an interface that reads nothing", INTERFACE_TALVENE,
         [](DriverRegistry& d) { d.SetReadingsAvailable(InterfaceId::Talvene, false); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ReadoutRig r;
        r.settings.Int(IntKey::interface_coders) = c.coders;
        c.arrange(r.core.drivers());
        r.view.trackingVisible = true;
        r.view.visible["shpAlphaMinus"] = true;
        r.view.visible["shpDeltaMinus"] = true;
        r.HourAngle(13, 0, 0);  // what a reading would have left: not shown
        r.Declination(1, 5, 0, 0);
        r.core.SystemTick();
        EXPECT_EQ(r.Alpha(), (Lines{"--", "--", "--"}));
        EXPECT_EQ(r.Delta(), (Lines{"--", "--", "--"}));
        EXPECT_FALSE(r.view.IsVisible("shpAlphaMinus"));
        EXPECT_FALSE(r.view.IsVisible("shpDeltaMinus"));
        EXPECT_EQ(r.view.Text("lblAzimutTelescope"), "--");
        for (const char* label : {"lblTrkHa", "lblTrkRa", "lblTrkDe", "lblTrkAz", "lblTrkHe"}) {
            EXPECT_EQ(r.view.Text(label), "--") << label;
        }
        EXPECT_EQ(r.view.Text("lblTrkAm"), "");
    }

    // Readings that come back (the ports found at a later start) are shown, the telescope
    // azimuth computed again even for the position it was last computed for.
    ReadoutRig r;
    r.settings.Int(IntKey::interface_coders) = INTERFACE_PARALLEL;
    r.HourAngle(0, 0, 0);
    r.Declination(0, 0, 0, 0);
    EXPECT_FALSE(r.core.position().TelescopeAzimuthKnown);
    r.core.Command(CMD_TELESCOPE_AZIMUTH, 0);
    EXPECT_EQ(r.view.Text("lblAzimutTelescope"), "180°");
    EXPECT_TRUE(r.core.position().TelescopeAzimuthKnown);
    r.core.drivers().SetReadingsAvailable(InterfaceId::Parallel, false);
    r.core.SystemTick();
    EXPECT_EQ(r.view.Text("lblAzimutTelescope"), "--");
    EXPECT_FALSE(r.core.position().TelescopeAzimuthKnown);  // the dome follow holds on this
    r.core.drivers().SetReadingsAvailable(InterfaceId::Parallel, true);
    r.core.SystemTick();
    EXPECT_EQ(r.Alpha(), (Lines{"00", "00", "00"}));
    EXPECT_EQ(r.view.Text("lblAzimutTelescope"), "180°");
    EXPECT_TRUE(r.core.position().TelescopeAzimuthKnown);
}

TEST(Readout, CodersAndDomeAreReadThroughTheirInterfacesAndTheAzimuthNeedsTheDomeBoard) {
    struct Case { int16_t dome; bool portsOpen; const char* shown; };
    const Case cases[] = {
        {INTERFACE_PARALLEL, true, "194°"},
        {INTERFACE_PARALLEL, false, "--"},
        {INTERFACE_64XX, true, "--"},  // the 64xx boxes turn the dome but report no azimuth
        {5, true, "--"},               // no interface (the built-in default)
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dome);
        ReadoutRig r;
        r.settings.Int(IntKey::interface_dome) = c.dome;
        r.core.drivers().SetReadingsAvailable(InterfaceId::Parallel, c.portsOpen);
        r.core.position().DomeAzimuth = 194;
        r.core.Command(CMD_READ_DOME, 0);
        EXPECT_EQ(r.view.Text("lblAzimutDome"), c.shown);
    }

    // Coders and dome are read through their interfaces.
    ReadoutRig r;
    r.settings.Int(IntKey::interface_coders) = INTERFACE_EIK120;
    r.core.Command(CMD_READ_ALPHA, 0);
    r.settings.Int(IntKey::interface_coders) = INTERFACE_TALVENE;
    r.core.Command(CMD_READ_DELTA, 0);
    r.settings.Int(IntKey::interface_coders) = INTERFACE_PARALLEL;
    r.core.Command(CMD_READ_ALPHA, 0);
    r.core.Command(CMD_READ_DOME, 0);
    EXPECT_EQ(r.Drivers(), (Lines{"E 301 (0,0)", "T 302 (0,0)", "P 301 (0,0)", "P 303 (0,0)"}));
}

}  // namespace
}  // namespace axo
