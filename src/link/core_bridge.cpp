#include "link/core_bridge.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "astro/mathlib.h"
#include "core/calibration.h"
#include "core/core.h"

namespace axo::link {

namespace {

// Hours, minutes and whole seconds of an angle in radians, rounded and carried as the main
// window rounds its right ascension (60 s into the minute, 60 min into the hour, 24 h to 0).
void ShownHms(double rad, int& h, int& m, int& s) {
    int16_t hh = 0;
    int16_t mm = 0;
    int16_t ss = 0;
    R2HmsRounded(rad, hh, mm, ss);
    h = hh;
    m = mm;
    s = ss;
}

int Arcsec(double rad) {
    return static_cast<int>(std::lround(R2D(rad) * 3600.0));
}

// The clock's record is UTC; the protocol's date and time are local, with the hours that
// bring them back to UTC beside them.
void LocalDateTime(const DateTimeRecord& utc, double utcOffsetHours, Snapshot& s) {
    std::tm t{};
    t.tm_year = utc.year - 1900;
    t.tm_mon = utc.month - 1;
    t.tm_mday = utc.day;
    t.tm_hour = utc.hour;
    t.tm_min = utc.minute;
    t.tm_sec = static_cast<int>(utc.second);
    const std::time_t local = ::timegm(&t) - static_cast<std::time_t>(std::lround(utcOffsetHours * 3600.0));
    std::tm l{};
    ::gmtime_r(&local, &l);
    s.year = l.tm_year + 1900;
    s.month = l.tm_mon + 1;
    s.day = l.tm_mday;
    s.hour = l.tm_hour;
    s.minute = l.tm_min;
    s.second = l.tm_sec;
    s.utcOffsetHours = utcOffsetHours;
}

const char* SpeedName(Speed speed) {
    switch (speed) {
        case Speed::Guide:
        case Speed::Centering:
            return "centrage";
        case Speed::Find:
            return "pointage";
        case Speed::Slew:
            return "déplacement";
    }
    return "";
}

const char* SlotName(int slot) {
    switch (slot) {
        case EVT_ALPHA_MINUS:
            return "Alpha -";
        case EVT_ALPHA_PLUS:
            return "Alpha +";
        case EVT_DELTA_MINUS:
            return "Delta -";
        case EVT_DELTA_PLUS:
            return "Delta +";
        default:
            return "";
    }
}

// A pad direction that a client of the link pressed and that is still its own. Only the
// interface thread reads or writes these.
struct Claim {
    const Core* core;
    uint64_t client;
    int slot;
};
std::vector<Claim> claims;

// The last go-to request carried out (interface thread only).
uint64_t gotoSerial = 0;

// A claim ends with its move (released, stopped, cancelled by the opposite direction) or when
// the operator latches the direction's lock: the move is then the operator's.
void ForgetEndedMoves(Core& core) {
    const EventProcessor& events = core.events();
    std::erase_if(claims, [&](const Claim& c) {
        return c.core == &core && (!events.IsEventSet(c.slot) || events.IsEventSet(c.slot + 1));
    });
}

// Releases the directions still held for a client that has gone; their names, or "" if none.
std::string StopMovesOf(Core& core, uint64_t client) {
    ForgetEndedMoves(core);
    std::vector<int> slots;
    std::erase_if(claims, [&](const Claim& c) {
        if (c.core != &core || c.client != client) {
            return false;
        }
        slots.push_back(c.slot);
        return true;
    });
    std::string names;
    for (int slot : slots) {
        core.ReleaseDirection(slot);
        names += (names.empty() ? "" : ", ") + std::string(SlotName(slot));
    }
    return names;
}

}  // namespace

Snapshot TakeSnapshot(Core& core, double utcOffsetHours) {
    ForgetEndedMoves(core);
    Snapshot s;
    const Position& p = core.position();
    const RuntimeState& st = core.state();
    s.positionKnown = CodersReadable(core.drivers(), core.settings().Int(IntKey::interface_coders)) &&
                      !p.DeclinationOutOfRange;
    const double ra = st.SiderealTimeRad - Hms2R(p.HourAngleH, p.HourAngleM, p.HourAngleS);
    ShownHms(ra, s.raH, s.raM, s.raS);
    // Azimuth and altitude as the tracking window computes them.
    double az = 0.0;
    double alt = 0.0;
    Equa2Horiz(ra, Dms2R(p.DeclinationNegative, p.DeclinationD, p.DeclinationM, p.DeclinationS),
               st.SiderealTimeRad, st.Site, az, alt);
    s.azimuthArcsec = Arcsec(az) % (360 * 3600);
    s.altitudeArcsec = Arcsec(alt);
    s.decNegative = p.DeclinationNegative == 1;
    s.decD = p.DeclinationD;
    s.decM = p.DeclinationM;
    s.decS = p.DeclinationS;
    ShownHms(st.SiderealTimeRad, s.lstH, s.lstM, s.lstS);
    s.latitudeArcsec = Arcsec(st.Site.latitude);
    s.longitudeArcsec = Arcsec(st.Site.longitude);
    LocalDateTime(st.DateTime, utcOffsetHours, s);
    Pointing& pointing = core.pointing();
    s.mount = pointing.State();
    s.gotoRefusal = core.pointing().CannotStart(s.positionKnown);
    s.limits = pointing.Limits();
    s.gotoSerial = gotoSerial;
    return s;
}

int DirectionSlot(Direction direction) {
    switch (direction) {
        case Direction::North:
            return EVT_DELTA_PLUS;
        case Direction::South:
            return EVT_DELTA_MINUS;
        case Direction::East:
            return EVT_ALPHA_MINUS;
        case Direction::West:
            return EVT_ALPHA_PLUS;
        case Direction::All:
            break;
    }
    return 0;
}

void Execute(Core& core, const Request& r, uint64_t client) {
    Display& log = core.display();
    switch (r.kind) {
        case RequestKind::Abort:
            // The planetarium's stop stops everything that moves: a go-to, tracking, the
            // telescope, the dome and the focus.
            core.pointing().Abort("arrêt demandé par le lien LX200");
            core.StopAllEvents();
            core.PressStop(EVT_FOCUS_STOP);
            core.ReleaseStop(EVT_FOCUS_STOP);
            log.AddMessage("Lien LX200 : arrêt de tous les mouvements (" + r.command + ")");
            return;
        case RequestKind::MoveStart:
        case RequestKind::MoveStop: {
            const int slot = DirectionSlot(r.direction);
            if (slot == 0) {
                return;
            }
            log.AddMessage("Lien LX200 : " + r.command);
            if (r.kind == RequestKind::MoveStart) {
                // A direction already moving stays whoever's it was (the operator's held
                // button, another client's move).
                const bool wasMoving = core.events().IsEventSet(slot);
                core.PressDirection(slot);
                if (!wasMoving && core.events().IsEventSet(slot)) {
                    claims.push_back(Claim{&core, client, slot});
                }
            } else {
                core.ReleaseDirection(slot);
            }
            return;
        }
        case RequestKind::SpeedMode: {
            const int16_t mode = r.speed == Speed::Slew    ? SPEED_MOVING
                                 : r.speed == Speed::Find ? SPEED_POINTING
                                                          : SPEED_CENTERING;
            log.AddMessage("Lien LX200 : vitesse " + std::string(SpeedName(r.speed)) + " (" + r.command + ")");
            core.SpeedModeClicked(CMD_ALPHA_MODE, mode);
            core.SpeedModeClicked(CMD_DELTA_MODE, mode);
            return;
        }
        case RequestKind::GoTo: {
            int16_t h = 0;
            int16_t m = 0;
            int16_t sec = 0;
            R2HmsRounded(r.raRad, h, m, sec);
            const int dec = Arcsec(std::fabs(r.decRad));
            char text[96];
            std::snprintf(text, sizeof text, "%02dh%02dm%02ds %c%02d°%02d'%02d\"", h, m, sec, r.decRad < 0 ? '-' : '+',
                          dec / 3600, dec / 60 % 60, dec % 60);
            log.AddMessage("Lien LX200 : pointage demandé sur " + std::string(text) + " (" + r.command + ")");
            // Tracking on arrival: a planetarium's target is to stay in the field. A refusal
            // here is told by the go-to itself.
            core.pointing().GoTo(r.raRad, r.decRad, "cible du planétarium", true);
            gotoSerial = std::max(gotoSerial, r.serial);
            return;
        }
        case RequestKind::Park:
            log.AddMessage("Lien LX200 : parcage demandé (" + r.command + ")");
            core.pointing().Park();
            return;
        case RequestKind::Refused:
            log.AddMessage("Lien LX200 : " + r.command + " refusé (" + r.refusal + ")");
            return;
        case RequestKind::Sync: {
            // As an operator would in the calibration window: a right ascension, then Alpha and
            // Delta calibrated in turn.
            core.settings().Int(IntKey::calibr_alpha_ra) = 1;
            log.AddMessage("Lien LX200 : calibration sur " + r.raText[0] + "h" + r.raText[1] + "m" + r.raText[2] +
                           "s " + r.decText[0] + "°" + r.decText[1] + "'" + r.decText[2] + "\"");
            const CalibrationCheck alpha = CalibrateAlpha(core, r.raText[0], r.raText[1], r.raText[2]);
            if (!alpha.ok) {
                log.AddErrorMessage("Lien LX200 : " + alpha.error);
                return;
            }
            const CalibrationCheck delta = CalibrateDelta(core, r.decText[0], r.decText[1], r.decText[2]);
            if (!delta.ok) {
                log.AddErrorMessage("Lien LX200 : " + delta.error);
            }
            return;
        }
    }
}

void Handle(Core& core, const Event& e) {
    Display& log = core.display();
    ForgetEndedMoves(core);
    switch (e.kind) {
        case Event::Kind::Connected:
            if (e.logged) {
                log.AddMessage("Lien LX200 : client " + e.peer + " connecté");
            }
            return;
        case Event::Kind::Disconnected:
        case Event::Kind::Dropped: {
            const bool dropped = e.kind == Event::Kind::Dropped;
            if (e.logged && dropped) {
                log.AddErrorMessage("Lien LX200 : client " + e.peer + " coupé (" + e.reason + ")");
            }
            const std::string stopped = StopMovesOf(core, e.client);
            if (!stopped.empty()) {
                // Always said, budget or not: the operator sees the telescope stop.
                log.AddMessage("Lien LX200 : client " + e.peer + " parti, arrêt de ses mouvements (" + stopped + ")");
            } else if (e.logged && !dropped) {
                log.AddMessage("Lien LX200 : client " + e.peer + " déconnecté");
            }
            return;
        }
        case Event::Kind::Rejected:
            log.AddErrorMessage("Lien LX200 : client " + e.peer + " refusé (" + e.reason + ")");
            return;
        case Event::Kind::Unlogged:
            log.AddMessage("Lien LX200 : " + std::to_string(e.count) +
                           " autres connexions ou départs de clients, non détaillés");
            return;
        case Event::Kind::Request:
            Execute(core, e.request, e.client);
            return;
    }
}

}  // namespace axo::link
