// Position read-out: the polling steps that turn what the coder and dome interfaces read into
// the main window's displays, the tracking window's labels and the telescope azimuth the dome
// follows.

#include <cmath>
#include <cstdio>
#include <string>

#include "astro/formulas.h"
#include "astro/mathlib.h"
#include "astro/utils.h"
#include "core/codes.h"
#include "core/command_processor.h"
#include "core/display.h"

namespace axo {

namespace {

constexpr char kDQ = '"';

// Air mass as the tracking window shows it, with the decimal comma of the French display.
std::string AirMassText(double altitude) {
    if (altitude <= 0.000001) {
        return "";
    }
    const double airMass = 1.0 / std::cos(kHalfPi - altitude);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", airMass);
    std::string s(buf);
    for (char& c : s) {
        if (c == '.') {
            c = ',';
        }
    }
    return s;
}

std::string DmsText(int16_t negative, int16_t d, int16_t m, double s) {
    return std::string(negative == 1 ? "-" : "") + Fmt2(d) + "°" + Fmt2(m) + "'" + Fmt2(s) + kDQ;
}

}  // namespace

void CommandProcessor::CallCoders(int16_t code) {
    DriverParam p{0, 0};
    switch (settings_.Int(IntKey::interface_coders)) {
        case INTERFACE_PARALLEL:
            drivers_.ParallelDriver(code, p);
            break;
        case INTERFACE_EIK120:
            drivers_.EikDriver(code, p);
            break;
        case INTERFACE_TALVENE:
            drivers_.TalveneDriver(code, p);
            break;
        default:
            break;  // no coders: the position keeps its last values
    }
}

// A display whose interface gives no reading (no driver for it in this build, a device that
// could not be opened, an interface that reads nothing) shows this instead of numbers.
constexpr const char* kNoReading = "--";

bool CodersReadable(const DriverRegistry& drivers, int16_t interfaceCoders, int axis) {
    InterfaceId id{};
    switch (interfaceCoders) {
        case INTERFACE_PARALLEL:
            id = InterfaceId::Parallel;
            break;
        case INTERFACE_EIK120:
            id = InterfaceId::Eik;
            break;
        case INTERFACE_TALVENE:
            id = InterfaceId::Talvene;
            break;
        default:
            return false;
    }
    if (axis == 0) {
        return drivers.AxisReadingAvailable(id, 1) && drivers.AxisReadingAvailable(id, 2);
    }
    return drivers.AxisReadingAvailable(id, axis);
}

bool CommandProcessor::CodersReadable(int axis) const {
    return axo::CodersReadable(drivers_, settings_.Int(IntKey::interface_coders), axis);
}

bool CommandProcessor::DomeReadable() const {
    // Only the parallel dome board reports an azimuth.
    return settings_.Int(IntKey::interface_dome) == INTERFACE_PARALLEL &&
           drivers_.ReadingsAvailable(InterfaceId::Parallel);
}

void CommandProcessor::ReadAlpha() {
    CallCoders(CMD_READ_ALPHA);
    MainView& view = View();
    const bool visible = view.IsTrackingWindowVisible();
    if (!CodersReadable(1)) {
        display_.SetVisibleIfChanged("shpAlphaMinus", false);
        for (const char* label : {"lblDisplayAlphaH", "lblDisplayAlphaM", "lblDisplayAlphaS"}) {
            display_.SetTextIfChanged(label, kNoReading);
        }
        if (visible) {
            view.SetText("lblTrkHa", kNoReading);
            view.SetText("lblTrkRa", kNoReading);
        }
        return;
    }
    const bool showHourAngle = settings_.Int(IntKey::display_hangle) == 1;
    const bool twelve = settings_.Int(IntKey::alpha_12) == 1;
    bool sign = false;
    std::string th;
    std::string tm;
    std::string ts;
    const int16_t h = pos_.HourAngleH;
    const int16_t m = pos_.HourAngleM;
    const int16_t s = pos_.HourAngleS;

    if (visible || showHourAngle) {
        if (twelve && (h > 12 || (h == 12 && (m > 0 || s > 0)))) {
            // Past 12 h the hour angle is shown as the negative angle to go to the meridian.
            int16_t h2 = 0;
            int16_t m2 = 0;
            int16_t s2 = 0;
            HoursToHms(24.0 - HmsToHours(h, m, s), h2, m2, s2);
            if (showHourAngle) {
                sign = true;
                th = Fmt2(h2);
                tm = Fmt2(m2);
                ts = Fmt2(s2);
            }
            if (visible) {
                view.SetText("lblTrkHa", "-" + Fmt2(h2) + "h" + Fmt2(m2) + "m" + Fmt2(s2) + "s");
            }
        } else {
            if (showHourAngle) {
                sign = false;
                th = (twelve ? "+" : "") + Fmt2(h);
                tm = Fmt2(m);
                ts = Fmt2(s);
            }
            if (visible) {
                view.SetText("lblTrkHa", std::string(twelve ? "+" : "") + Fmt2(h) + "h" + Fmt2(m) + "m" + Fmt2(s) + "s");
            }
        }
    }

    if (visible || !showHourAngle) {
        pos_.RightAscensionRad = state_.SiderealTimeRad - Hms2R(h, m, s);
        int16_t rh = 0;
        int16_t rm = 0;
        int16_t rs = 0;
        R2HmsRounded(pos_.RightAscensionRad, rh, rm, rs);
        if (!showHourAngle) {
            sign = false;
            th = Fmt2(rh);
            tm = Fmt2(rm);
            ts = Fmt2(rs);
        }
        if (visible) {
            view.SetText("lblTrkRa", Fmt2(rh) + "h" + Fmt2(rm) + "m" + Fmt2(rs) + "s");
        }
    }

    display_.SetVisibleIfChanged("shpAlphaMinus", sign);
    display_.SetTextIfChanged("lblDisplayAlphaH", th);
    display_.SetTextIfChanged("lblDisplayAlphaM", tm);
    display_.SetTextIfChanged("lblDisplayAlphaS", ts);
}

void CommandProcessor::ReadDelta() {
    CallCoders(CMD_READ_DELTA);
    const bool readable = CodersReadable(2);
    bool sign = false;
    std::string td;
    std::string tm;
    std::string ts;
    if (!readable || pos_.DeclinationOutOfRange) {
        td = tm = ts = "--";
    } else {
        if (pos_.DeclinationNegative == 0) {
            td = "+" + Fmt2(pos_.DeclinationD);
        } else {
            sign = true;
            td = Fmt2(pos_.DeclinationD);
        }
        tm = Fmt2(pos_.DeclinationM);
        ts = Fmt2(pos_.DeclinationS);
    }
    display_.SetVisibleIfChanged("shpDeltaMinus", sign);
    display_.SetTextIfChanged("lblDisplayDeltaD", td);
    display_.SetTextIfChanged("lblDisplayDeltaM", tm);
    display_.SetTextIfChanged("lblDisplayDeltaS", ts);

    MainView& view = View();
    if (!view.IsTrackingWindowVisible()) {
        return;
    }
    if (!readable) {
        for (const char* label : {"lblTrkDe", "lblTrkAz", "lblTrkHe"}) {
            view.SetText(label, kNoReading);
        }
        view.SetText("lblTrkAm", "");
        return;
    }
    view.SetText("lblTrkDe", std::string(sign ? "-" : "") + td + "°" + tm + "'" + ts + kDQ);
    pos_.DeclinationRad = Dms2R(pos_.DeclinationNegative, pos_.DeclinationD, pos_.DeclinationM, pos_.DeclinationS);
    double az = 0.0;
    double alt = 0.0;
    Equa2Horiz(pos_.RightAscensionRad, pos_.DeclinationRad, state_.SiderealTimeRad, state_.Site, az, alt);
    int16_t d = 0;
    int16_t m = 0;
    double s = 0.0;
    int16_t negative = R2Dms(az, 1, d, m, s);
    view.SetText("lblTrkAz", DmsText(negative, d, m, s));
    negative = R2Dms(alt, 0, d, m, s);
    view.SetText("lblTrkHe", DmsText(negative, d, m, s));
    view.SetText("lblTrkAm", AirMassText(alt));
}

void CommandProcessor::ReadDome() {
    if (settings_.Int(IntKey::interface_dome) == INTERFACE_PARALLEL) {
        Parallel(CMD_READ_DOME, 0);
    }
    display_.SetTextIfChanged("lblAzimutDome", DomeReadable() ? std::to_string(pos_.DomeAzimuth) + "°" : kNoReading);
}

void CommandProcessor::TelescopeAzimuth() {
    if (!CodersReadable()) {
        // Computed again from the first real reading.
        pos_.LastHourAngle.fill(-100);
        pos_.TelescopeAzimuthKnown = false;
        display_.SetTextIfChanged("lblAzimutTelescope", kNoReading);
        return;
    }
    const auto now = pos_.Current();
    if (now == pos_.LastHourAngle) {
        return;
    }
    pos_.LastHourAngle = now;
    const double hourAngle = HoursToRadians(HmsToHours(pos_.HourAngleH, pos_.HourAngleM, pos_.HourAngleS));
    double dec = D2R(DmsToDegrees(pos_.DeclinationD, pos_.DeclinationM, pos_.DeclinationS));
    if (pos_.DeclinationNegative == 1) {
        dec = -dec;
    }
    double a = 0.0;
    double alt = 0.0;
    EquatorialToHorizontal(hourAngle, dec, a, alt);
    // Halves go to the even neighbour; 359.6 degrees shows as 360.
    pos_.TelescopeAzimuth = static_cast<int16_t>(RoundHalfEven(R2D(a)));
    pos_.TelescopeAzimuthKnown = true;
    display_.SetTextIfChanged("lblAzimutTelescope", std::to_string(pos_.TelescopeAzimuth) + "°");
}

}  // namespace axo
