#pragma once

// The LX200 command subset that planetarium programs (INDI's "LX200 Basic", SkySafari,
// AstroPlanner) use to show where a telescope points and to send it a stop, a move or a sync.
// Nothing here touches the core or a driver: a session answers from a published snapshot and
// turns control commands into requests that the interface thread carries out.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/pointing_limits.h"

#include "core/pointing.h"

namespace axo::link {

// What the main window shows, published by the interface thread on each polling tick.
struct Snapshot {
    bool positionKnown = false;  // false: no coder reading (the window shows "--")
    // Right ascension as the main window computes it: whole seconds, carried.
    int raH = 0;
    int raM = 0;
    int raS = 0;
    bool decNegative = false;
    int decD = 0;
    int decM = 0;
    int decS = 0;
    // Where the tracking window puts it: azimuth from north through east (0 to 360 degrees)
    // and altitude, both in whole arc-seconds.
    int azimuthArcsec = 0;
    int altitudeArcsec = 0;
    // Local sidereal time, whole seconds.
    int lstH = 0;
    int lstM = 0;
    int lstS = 0;
    // Site in arc-seconds: latitude north positive, longitude west positive (the LX200 sense).
    int latitudeArcsec = 0;
    int longitudeArcsec = 0;
    // The computer's local date and time (the clock's UTC moment in the machine's zone), and the
    // hours to add to it to get UTC, as the protocol means them.
    int year = 2000;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    double utcOffsetHours = 0.0;

    // What the telescope is doing: the one state the window and the status bar show too.
    MountState mount = MountState::Idle;
    // Why no go-to can start now (manual mode, declutched, coders not read...), "" when one can.
    std::string gotoRefusal;
    PointingLimits limits;  // to refuse a target before anything moves
    // The last go-to request of the link that the interface thread has carried out (started or
    // refused), so that a session knows when the state above includes its own.
    uint64_t gotoSerial = 0;

    bool operator==(const Snapshot&) const = default;
};

// Refused: nothing to carry out, only the message list to tell (`refusal` says why).
enum class RequestKind { Abort, MoveStart, MoveStop, SpeedMode, Sync, GoTo, Park, Refused };
enum class Direction { North, South, East, West, All };
enum class Speed { Guide, Centering, Find, Slew };

// A control command, to be carried out on the interface thread.
struct Request {
    RequestKind kind = RequestKind::Abort;
    Direction direction = Direction::All;
    Speed speed = Speed::Centering;
    // Sync target as the calibration fields would hold it: right ascension h, m, s and
    // declination degrees ("-0" south of the equator within a degree), minutes, seconds.
    std::string raText[3];
    std::string decText[3];
    // GoTo target, of date (the classic protocol's coordinates are of date), and the request's
    // number among the link's go-tos, increasing.
    double raRad = 0.0;
    double decRad = 0.0;
    uint64_t serial = 0;
    std::string command;  // the command as received, for the message list
    std::string refusal;  // why a Refused command was not carried out
};

// Formats, each with its closing '#'.
std::string FormatRa(int h, int m, int s, bool high);                 // HH:MM:SS# or HH:MM.T#
std::string FormatDec(bool negative, int d, int m, int s, bool high);  // sDD*MM:SS# or sDD*MM#
std::string FormatSiteAngle(int arcsec, int degreeDigits);             // sDD*MM# / sDDD*MM#
std::string FormatAltitude(int arcsec, bool high);                     // sDD*MM:SS# or sDD*MM#
std::string FormatAzimuth(int arcsec, bool high);                      // DDD*MM:SS# or DDD*MM#

// Parsers of the set-target arguments; false when malformed or out of range.
struct Hms {
    int h = 0;
    int m = 0;
    int s = 0;
};
bool ParseRa(std::string_view text, Hms& out);
struct Dms {
    bool negative = false;
    int d = 0;
    int m = 0;
    int s = 0;
};
bool ParseDec(std::string_view text, Dms& out);

inline constexpr std::size_t kMaxCommandLength = 128;

inline constexpr const char* kSyncAnswer = "Coordinates     matched.        #";
// The go-to's "not possible" is the digit alone: INDI's LX200 drivers read one byte after
// :MS# and nothing more (they flush the rest, which a TCP socket does not do), so a message
// after it would be read as the answer to their next question, and every later one shifted.
inline constexpr const char* kSlewRefused = "1";
inline constexpr const char* kSlewStarted = "0";
// :D# while the telescope moves: anything but '#' or blanks before the '#' (INDI's drivers look
// at the first characters); the classic answer is a bar graph of the distance left.
inline constexpr const char* kSlewing = "|#";
inline constexpr const char* kNotSlewing = "#";

// Why the message list says a command was refused.
inline constexpr const char* kReadOnly = "lien en lecture seule";
inline constexpr const char* kNoTarget = "pas de cible";

enum class FeedResult { Ok, Drop };

// One client's conversation. Bytes come in as they arrive; whole commands are answered into
// `out` and control commands become `requests`. A command that never ends within
// kMaxCommandLength bytes, or carries control bytes, ends the conversation (Drop).
class Session {
public:
    explicit Session(bool control) : control_(control) {}

    FeedResult Feed(std::string_view bytes, const Snapshot& snapshot, std::string& out,
                    std::vector<Request>& requests);

    // Why the last Drop happened, for the log.
    const std::string& dropReason() const { return dropReason_; }
    bool highPrecision() const { return high_; }
    int refusedCount() const { return refused_; }

private:
    void Execute(std::string_view command, const Snapshot& snapshot, std::string& out,
                 std::vector<Request>& requests);
    bool Control(std::string_view command, std::vector<Request>& requests);
    void Refuse(std::string_view command, std::string reason, std::vector<Request>& requests);
    void GoTo(std::string_view command, const Snapshot& snapshot, std::string& out, std::vector<Request>& requests);

    bool control_;
    bool high_ = true;
    bool inCommand_ = false;
    std::string pending_;
    std::string dropReason_;
    bool targetRaSet_ = false;
    bool targetDecSet_ = false;
    Hms targetRa_;
    Dms targetDec_;
    int refused_ = 0;
    // The go-to this session started and the interface thread has not carried out yet: until
    // then the snapshot's state does not include it, and :D# must not say it is over.
    uint64_t pendingGoto_ = 0;
};

// Why a target of date cannot be reached from the snapshot's sidereal time and site ("" when it
// can): outside the hour-angle or declination limits, or too low.
std::string TargetOutsideLimits(const Snapshot& snapshot, const Hms& ra, const Dms& dec);

}  // namespace axo::link
