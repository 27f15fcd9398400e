#include "link/lx200.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace axo::link {

namespace {

// Two digits at least, as "%02d" writes them; the fields of a snapshot always fit in two, and
// answering them costs no formatting call.
std::string Two(int v) {
    if (v >= 0 && v < 100) {
        return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads exactly `count` digits at `pos`.
bool Digits(std::string_view text, std::size_t& pos, std::size_t count, int& value) {
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (pos >= text.size() || !IsDigit(text[pos])) {
            return false;
        }
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return true;
}

// Reads one to `most` digits at `pos`.
bool SomeDigits(std::string_view text, std::size_t& pos, std::size_t most, int& value) {
    const std::size_t start = pos;
    value = 0;
    while (pos < text.size() && IsDigit(text[pos]) && pos - start < most) {
        value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    return pos > start;
}

bool Separator(std::string_view text, std::size_t& pos) {
    if (pos < text.size() && (text[pos] == ':' || text[pos] == '*' || text[pos] == '\xDF' || text[pos] == '\'')) {
        ++pos;
        return true;
    }
    return false;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

constexpr double kPi = 3.14159265358979323846;


// Numbers the go-tos of every session of the program, so that the interface thread's "carried
// out up to here" means the same to all of them.
std::atomic<uint64_t> nextGoto{1};

}  // namespace

std::string TargetOutsideLimits(const Snapshot& snap, const Hms& ra, const Dms& dec) {
    const double lst = snap.lstH + snap.lstM / 60.0 + snap.lstS / 3600.0;
    double ha = std::fmod(lst - (ra.h + ra.m / 60.0 + ra.s / 3600.0) + 48.0, 24.0);
    if (ha > 12.0) {
        ha -= 24.0;  // east negative
    }
    const double d = (dec.d + dec.m / 60.0 + dec.s / 3600.0) * (dec.negative ? -1.0 : 1.0);
    return OutsideLimits(snap.limits, snap.latitudeArcsec / 3600.0 * kPi / 180.0, ha, d);
}

std::string FormatRa(int h, int m, int s, bool high) {
    if (high) {
        return Two(h) + ":" + Two(m) + ":" + Two(s) + "#";
    }
    // Tenths of a minute, truncated: never ahead of what the window shows.
    return Two(h) + ":" + Two(m) + "." + std::to_string(s / 6) + "#";
}

std::string FormatDec(bool negative, int d, int m, int s, bool high) {
    const std::string head = std::string(negative ? "-" : "+") + Two(d) + "*" + Two(m);
    return high ? head + ":" + Two(s) + "#" : head + "#";
}

std::string FormatSiteAngle(int arcsec, int degreeDigits) {
    const bool negative = arcsec < 0;
    const int minutes = (std::abs(arcsec) + 30) / 60;  // nearest minute, carried into degrees
    char buf[24];
    std::snprintf(buf, sizeof buf, "%c%0*d*%02d#", negative ? '-' : '+', degreeDigits, minutes / 60, minutes % 60);
    return buf;
}

std::string FormatAltitude(int arcsec, bool high) {
    const int a = std::abs(arcsec);
    return FormatDec(arcsec < 0, a / 3600, a / 60 % 60, a % 60, high);
}

std::string FormatAzimuth(int arcsec, bool high) {
    const int a = ((arcsec % 1296000) + 1296000) % 1296000;
    char buf[24];
    if (high) {
        std::snprintf(buf, sizeof buf, "%03d*%02d:%02d#", a / 3600, a / 60 % 60, a % 60);
    } else {
        std::snprintf(buf, sizeof buf, "%03d*%02d#", a / 3600, a / 60 % 60);
    }
    return buf;
}

bool ParseRa(std::string_view text, Hms& out) {
    text = Trim(text);
    std::size_t pos = 0;
    Hms v;
    if (!SomeDigits(text, pos, 2, v.h) || !Separator(text, pos) || !Digits(text, pos, 2, v.m)) {
        return false;
    }
    if (pos < text.size() && text[pos] == '.') {
        // Low precision: HH:MM.T, tenths of a minute.
        ++pos;
        int tenths = 0;
        if (!Digits(text, pos, 1, tenths)) {
            return false;
        }
        v.s = tenths * 6;
    } else if (Separator(text, pos)) {
        if (!Digits(text, pos, 2, v.s)) {
            return false;
        }
    }
    if (pos != text.size() || v.h > 23 || v.m > 59 || v.s > 59) {
        return false;
    }
    out = v;
    return true;
}

bool ParseDec(std::string_view text, Dms& out) {
    text = Trim(text);
    std::size_t pos = 0;
    Dms v;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        v.negative = text[pos] == '-';
        ++pos;
    }
    if (!SomeDigits(text, pos, 2, v.d) || !Separator(text, pos) || !Digits(text, pos, 2, v.m)) {
        return false;
    }
    if (Separator(text, pos) && !Digits(text, pos, 2, v.s)) {
        return false;
    }
    if (pos != text.size() || v.d > 90 || v.m > 59 || v.s > 59 || (v.d == 90 && (v.m > 0 || v.s > 0))) {
        return false;
    }
    if (v.d == 0 && v.m == 0 && v.s == 0) {
        v.negative = false;
    }
    out = v;
    return true;
}

FeedResult Session::Feed(std::string_view bytes, const Snapshot& snapshot, std::string& out,
                         std::vector<Request>& requests) {
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (!inCommand_) {
            if (c == ':') {
                inCommand_ = true;
                pending_.clear();
            } else if (u == 0x06) {
                out += "P";  // the mount is polar (equatorial)
            } else if (u < 0x20 && c != '\r' && c != '\n' && c != '\t') {
                dropReason_ = "octets de contrôle";
                return FeedResult::Drop;
            } else if (u >= 0x80) {
                dropReason_ = "octets non ASCII";
                return FeedResult::Drop;
            }
            // Anything else between commands ('#', blanks, stray text) is skipped.
            continue;
        }
        if (c == '#') {
            inCommand_ = false;
            Execute(pending_, snapshot, out, requests);
            pending_.clear();
            continue;
        }
        if (c == ':' && (pending_.empty() || pending_[0] != 'S')) {
            // A command cut short: the next one starts here. Set commands carry colons in
            // their argument (:Sr10:30:00#).
            pending_.clear();
            continue;
        }
        if ((u < 0x20 || u >= 0x80) && u != 0xDF) {
            dropReason_ = u < 0x20 ? "octets de contrôle" : "octets non ASCII";
            return FeedResult::Drop;
        }
        if (pending_.size() >= kMaxCommandLength) {
            dropReason_ = "commande trop longue";
            return FeedResult::Drop;
        }
        pending_.push_back(c);
    }
    return FeedResult::Ok;
}

void Session::Refuse(std::string_view cmd, std::string reason, std::vector<Request>& requests) {
    ++refused_;
    Request r;
    r.kind = RequestKind::Refused;
    r.command = ":" + std::string(cmd) + "#";
    r.refusal = std::move(reason);
    requests.push_back(std::move(r));
}

// The go-to's refusal must be known when :MS# is answered, and the session answers at once from
// the snapshot: what the snapshot carries (the mount's own reason, the limits, the site and the
// sidereal time) decides it here. A refusal that only the interface thread can see (the target
// leaving the limits before the telescope gets there) goes to the message list alone.
void Session::GoTo(std::string_view cmd, const Snapshot& snap, std::string& out, std::vector<Request>& requests) {
    std::string why;
    if (!control_) {
        why = kReadOnly;
    } else if (!targetRaSet_ || !targetDecSet_) {
        why = kNoTarget;
    } else if (!snap.gotoRefusal.empty()) {
        why = snap.gotoRefusal;
    } else {
        why = TargetOutsideLimits(snap, targetRa_, targetDec_);
    }
    if (!why.empty()) {
        Refuse(cmd, std::move(why), requests);
        out += kSlewRefused;
        return;
    }
    Request r;
    r.kind = RequestKind::GoTo;
    r.command = ":" + std::string(cmd) + "#";
    r.raRad = (targetRa_.h + targetRa_.m / 60.0 + targetRa_.s / 3600.0) * kPi / 12.0;
    r.decRad = (targetDec_.d + targetDec_.m / 60.0 + targetDec_.s / 3600.0) * kPi / 180.0 * (targetDec_.negative ? -1 : 1);
    r.serial = nextGoto++;
    pendingGoto_ = r.serial;
    requests.push_back(std::move(r));
    out += kSlewStarted;
}

bool Session::Control(std::string_view cmd, std::vector<Request>& requests) {
    if (!control_) {
        Refuse(cmd, kReadOnly, requests);
        return false;
    }
    return true;
}

void Session::Execute(std::string_view cmd, const Snapshot& snap, std::string& out, std::vector<Request>& requests) {
    // The command as received, built only for the requests that carry it.
    auto full = [cmd] { return ":" + std::string(cmd) + "#"; };
    auto request = [&](RequestKind kind, Direction dir = Direction::All, Speed speed = Speed::Centering) {
        if (!Control(cmd, requests)) {
            return;
        }
        Request r;
        r.kind = kind;
        r.direction = dir;
        r.speed = speed;
        r.command = full();
        requests.push_back(std::move(r));
    };

    // While the window shows "--" the position questions get no answer: the client's time-out
    // says there is no reading, where any number would be a position nobody read.
    if (cmd == "GR" || (cmd == "Gr" && !targetRaSet_)) {
        out += snap.positionKnown ? FormatRa(snap.raH, snap.raM, snap.raS, high_) : "";
        return;
    }
    if (cmd == "GD" || (cmd == "Gd" && !targetDecSet_)) {
        out += snap.positionKnown ? FormatDec(snap.decNegative, snap.decD, snap.decM, snap.decS, high_) : "";
        return;
    }
    if (cmd == "Gr") {
        out += FormatRa(targetRa_.h, targetRa_.m, targetRa_.s, high_);
        return;
    }
    if (cmd == "Gd") {
        out += FormatDec(targetDec_.negative, targetDec_.d, targetDec_.m, targetDec_.s, high_);
        return;
    }
    if (cmd == "GA") {
        out += snap.positionKnown ? FormatAltitude(snap.altitudeArcsec, high_) : "";
        return;
    }
    if (cmd == "GZ") {
        out += snap.positionKnown ? FormatAzimuth(snap.azimuthArcsec, high_) : "";
        return;
    }
    if (cmd == "U") {
        high_ = !high_;
        return;
    }
    if (cmd == "P") {
        high_ = !high_;
        out += high_ ? "HIGH PRECISION" : "LOW PRECISION";
        return;
    }
    if (cmd == "GS") {
        out += FormatRa(snap.lstH, snap.lstM, snap.lstS, true);
        return;
    }
    if (cmd == "Gt") {
        out += FormatSiteAngle(snap.latitudeArcsec, 2);
        return;
    }
    if (cmd == "Gg") {
        out += FormatSiteAngle(snap.longitudeArcsec, 3);
        return;
    }
    if (cmd == "GL") {
        out += Two(snap.hour) + ":" + Two(snap.minute) + ":" + Two(snap.second) + "#";
        return;
    }
    if (cmd == "Ga") {
        // The 12-hour clock: noon and midnight are 12.
        const int h12 = snap.hour % 12 == 0 ? 12 : snap.hour % 12;
        out += Two(h12) + ":" + Two(snap.minute) + ":" + Two(snap.second) + "#";
        return;
    }
    if (cmd == "GC") {
        out += Two(snap.month) + "/" + Two(snap.day) + "/" + Two(((snap.year % 100) + 100) % 100) + "#";
        return;
    }
    if (cmd == "GG") {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%+05.1f#", snap.utcOffsetHours);
        out += buf;
        return;
    }
    if (cmd == "Gc") {
        out += "(24)#";
        return;
    }
    if (cmd == "GM" || cmd == "GN" || cmd == "GO" || cmd == "GP") {
        out += "Axo#";
        return;
    }
    if (cmd == "GT") {
        out += "60.0#";
        return;
    }
    if (cmd == "GVP") {
        out += "Axo link#";
        return;
    }
    if (cmd == "GVN") {
        out += "1.0#";
        return;
    }
    if (cmd == "GVD") {
        out += "Dec 06 2026#";
        return;
    }
    if (cmd == "GVT") {
        out += "12:00:00#";
        return;
    }
    if (cmd == "GVF") {
        out += "Axo LX200 position link 1.0#";
        return;
    }
    if (cmd == "D") {
        if (pendingGoto_ != 0 && snap.gotoSerial >= pendingGoto_) {
            pendingGoto_ = 0;
        }
        const bool moving = snap.mount == MountState::Slewing || snap.mount == MountState::Settling ||
                            snap.mount == MountState::Parking;
        out += moving || pendingGoto_ != 0 ? kSlewing : kNotSlewing;
        return;
    }
    if (!control_ && (cmd.substr(0, 2) == "Sr" || cmd.substr(0, 2) == "Sd")) {
        // A target serves only a go-to or a sync, both refused here: saying so at once lets
        // the client report the failure (INDI's drivers stop at this "0").
        Refuse(cmd, kReadOnly, requests);
        out += "0";
        return;
    }
    if (cmd.substr(0, 2) == "Sr") {
        Hms v;
        const bool ok = ParseRa(cmd.substr(2), v);
        if (ok) {
            targetRa_ = v;
            targetRaSet_ = true;
        }
        out += ok ? "1" : "0";
        return;
    }
    if (cmd.substr(0, 2) == "Sd") {
        Dms v;
        const bool ok = ParseDec(cmd.substr(2), v);
        if (ok) {
            targetDec_ = v;
            targetDecSet_ = true;
        }
        out += ok ? "1" : "0";
        return;
    }
    if (cmd.size() >= 2 && cmd[0] == 'S') {
        // Date, time, site and limits come from the computer and the settings, not the chart.
        out += "0";
        return;
    }
    if (cmd == "MS") {
        GoTo(cmd, snap, out, requests);
        return;
    }
    if (cmd == "hP") {
        request(RequestKind::Park);  // no answer, as the protocol has none
        return;
    }
    if (cmd == "CM" || cmd == "CS") {
        // The protocol has no "sync failed": whatever ends with '#' reads as done. A refused
        // sync is answered by silence, which the client's time-out turns into a failure.
        if (!Control(cmd, requests)) {
            return;
        }
        if (!targetRaSet_ || !targetDecSet_) {
            Refuse(cmd, kNoTarget, requests);
            return;
        }
        Request r;
        r.kind = RequestKind::Sync;
        r.command = full();
        r.raText[0] = std::to_string(targetRa_.h);
        r.raText[1] = std::to_string(targetRa_.m);
        r.raText[2] = std::to_string(targetRa_.s);
        r.decText[0] = (targetDec_.negative ? "-" : "") + std::to_string(targetDec_.d);
        r.decText[1] = std::to_string(targetDec_.m);
        r.decText[2] = std::to_string(targetDec_.s);
        requests.push_back(std::move(r));
        if (cmd == "CM") {
            out += kSyncAnswer;
        }
        return;
    }
    if (cmd == "Q") {
        request(RequestKind::Abort);
        return;
    }
    if (cmd.size() == 2 && (cmd[0] == 'M' || cmd[0] == 'Q')) {
        Direction dir;
        switch (cmd[1]) {
            case 'n': dir = Direction::North; break;
            case 's': dir = Direction::South; break;
            case 'e': dir = Direction::East; break;
            case 'w': dir = Direction::West; break;
            default: return;
        }
        request(cmd[0] == 'M' ? RequestKind::MoveStart : RequestKind::MoveStop, dir);
        return;
    }
    if (cmd.size() == 2 && cmd[0] == 'R') {
        switch (cmd[1]) {
            case 'G': request(RequestKind::SpeedMode, Direction::All, Speed::Guide); break;
            case 'C': request(RequestKind::SpeedMode, Direction::All, Speed::Centering); break;
            case 'M': request(RequestKind::SpeedMode, Direction::All, Speed::Find); break;
            case 'S': request(RequestKind::SpeedMode, Direction::All, Speed::Slew); break;
            default: break;
        }
        return;
    }
    // Anything else (focuser, reticule, ...) has no answer, as on a mount without it.
}

}  // namespace axo::link
