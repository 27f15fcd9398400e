#include "platform/night_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "core/codes.h"
#include "platform/write_all.h"

namespace axo {

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

// The day number of the noon that began the night of `utc`.
long NightDay(const PcDateTime& utc) {
    const long day = DaysFromCivil(utc.year, utc.month, utc.day);
    return utc.hour < 12 ? day - 1 : day;
}

std::string NameOfNight(long night) {
    int y = 0;
    int m = 0;
    int d = 0;
    CivilFromDays(night, y, m, d);
    char name[64];
    std::snprintf(name, sizeof name, "axo-%04d-%02d-%02d.log", y, m, d);
    return name;
}

// The night of a file name of ours, or false for any other file.
bool ParseNightName(const std::string& name, long& night) {
    int y = 0;
    int m = 0;
    int d = 0;
    char tail = 0;
    if (name.size() != 18 || std::sscanf(name.c_str(), "axo-%4d-%2d-%2d.lo%c", &y, &m, &d, &tail) != 4 || tail != 'g') {
        return false;
    }
    if (m < 1 || m > 12 || d < 1 || d > 31) {
        return false;
    }
    night = DaysFromCivil(y, m, d);
    return true;
}

// How a command's argument reads.
enum class ArgKind {
    Move,     // 1 start, 2 stop
    OnOff,    // 1 on, 2 off
    Speed,    // the speed mode
    Control,  // 1 command mode, 2 manual mode
    Detail,   // the meaning comes with the call
    None,     // the code says it all
};

struct CommandName {
    int16_t code;
    const char* name;
    ArgKind kind;
};

// Every code of the command space, polling ones included so that a trace reads the same.
constexpr CommandName kCommandNames[] = {
    {CMD_TRACKING, "Suivi", ArgKind::OnOff},
    {CMD_DELTA_PLUS, "Delta +", ArgKind::Move},
    {CMD_DELTA_MINUS, "Delta -", ArgKind::Move},
    {CMD_ALPHA_PLUS, "Alpha +", ArgKind::Move},
    {CMD_ALPHA_MINUS, "Alpha -", ArgKind::Move},
    {CMD_ALPHA_MODE, "Vitesse Alpha", ArgKind::Speed},
    {CMD_DELTA_MODE, "Vitesse Delta", ArgKind::Speed},
    {CMD_POLL_64XX, "Relève des boîtiers 6420", ArgKind::None},
    {CMD_DOME_TRACKING, "Suivi coupole", ArgKind::OnOff},
    {CMD_DOME_DIR1, "Coupole sens 1", ArgKind::Move},
    {CMD_DOME_DIR2, "Coupole sens 2", ArgKind::Move},
    {CMD_DOME_REST, "Coupole : mise au repos", ArgKind::None},
    {CMD_DOME_INIT, "Coupole : initialisation", ArgKind::None},
    {CMD_DOME_INIT_STOP, "Coupole : arrêt", ArgKind::None},
    {CMD_FOCUS_DIR1, "Focus sens 1", ArgKind::Move},
    {CMD_FOCUS_DIR2, "Focus sens 2", ArgKind::Move},
    {CMD_READ_ALPHA, "Lecture codeur Alpha", ArgKind::None},
    {CMD_READ_DELTA, "Lecture codeur Delta", ArgKind::None},
    {CMD_READ_DOME, "Lecture azimut coupole", ArgKind::None},
    {CMD_TELESCOPE_AZIMUTH, "Azimut télescope", ArgKind::None},
    {CMD_DOME_REST_STEP, "Coupole : pas vers le repos", ArgKind::None},
    {CMD_DOME_TRACK_STEP, "Coupole : pas de suivi", ArgKind::None},
    {CMD_CONTROL_MODE, "Mode", ArgKind::Control},
    {CMD_POLL_BOARDS, "Relève des cartes", ArgKind::None},
    {CMD_CALIBRATE_ALPHA, "Calibration Alpha", ArgKind::None},
    {CMD_CALIBRATE_DELTA, "Calibration Delta", ArgKind::None},
    {CMD_START_INTERFACE, "Démarrage de l'interface", ArgKind::None},
    {CMD_STOP_INTERFACE, "Arrêt de l'interface", ArgKind::None},
    {CMD_SEND_COUNT_ALPHA, "Envoi de la variable de comptage Alpha", ArgKind::None},
    {CMD_SEND_COUNT_DELTA, "Envoi de la variable de comptage Delta", ArgKind::None},
    {CMD_ZERO_CODER_ALPHA, "Recherche du zéro codeur Alpha", ArgKind::None},
    {CMD_ZERO_CODER_DELTA, "Recherche du zéro codeur Delta", ArgKind::None},
    {CMD_RESET_ALPHA, "Remise à zéro Alpha", ArgKind::None},
    {CMD_RESET_DELTA, "Remise à zéro Delta", ArgKind::None},
    {CMD_RESET_DOME, "Remise à zéro coupole", ArgKind::None},
    {CMD_FILTER, "Filtre", ArgKind::Detail},
};

// The word for an argument, or null when the argument is not one this kind expects.
const char* ArgWord(ArgKind kind, int16_t arg) {
    switch (kind) {
        case ArgKind::Move:
            return arg == kStart ? "départ" : arg == kStop ? "arrêt" : nullptr;
        case ArgKind::OnOff:
            return arg == kStart ? "marche" : arg == kStop ? "arrêt" : nullptr;
        case ArgKind::Speed:
            return arg == SPEED_CENTERING ? "centrage"
                   : arg == SPEED_POINTING ? "pointage"
                   : arg == SPEED_MOVING   ? "déplacement"
                                           : nullptr;
        case ArgKind::Control:
            return arg == 1 ? "commande" : arg == 2 ? "manuel" : nullptr;
        default:
            return nullptr;
    }
}

}  // namespace

std::string CommandLogText(int16_t code, int16_t arg, std::string_view detail) {
    for (const CommandName& c : kCommandNames) {
        if (c.code != code) {
            continue;
        }
        std::string text = c.name;
        if (c.kind == ArgKind::None) {
            return text;
        }
        if (c.kind == ArgKind::Detail) {
            return detail.empty() ? text : text + " : " + std::string(detail);
        }
        if (const char* word = ArgWord(c.kind, arg)) {
            return text + " : " + word;
        }
        return text + " (" + std::to_string(arg) + ")";
    }
    return "Commande " + std::to_string(code) + " (" + std::to_string(arg) + ")";
}

NightLog::NightLog(std::filesystem::path dir, int retentionDays) : dir_(std::move(dir)), retentionDays_(retentionDays) {}

NightLog::~NightLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::filesystem::path NightLog::DefaultDir() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::filesystem::path(state) / "axo";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "/tmp") / ".local" / "state" / "axo";
}

std::string NightLog::NightFileName(const PcDateTime& utc) {
    return NameOfNight(NightDay(utc));
}

bool NightLog::OpenNight(const PcDateTime& utc) {
    const std::string name = NightFileName(utc);
    if (fd_ >= 0 && name == currentName_) {
        return true;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir_, ec);
    currentPath_ = dir_ / name;
    currentName_ = name;
    fd_ = ::open(currentPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        return false;
    }
    // A new night is the moment to forget the old ones.
    RemoveOldNights(utc);
    return true;
}

bool NightLog::Write(const PcDateTime& utc, std::string_view text) {
    if (!OpenNight(utc)) {
        if (!failureSaid_) {
            failureSaid_ = true;
            std::fprintf(stderr, "axo : journal de la nuit impossible à écrire (%s) : %s\n", currentPath_.c_str(),
                         std::strerror(errno));
        }
        return false;
    }
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d  ", utc.year, utc.month, utc.day, utc.hour,
                  utc.minute, utc.second);
    std::string line = stamp;
    // One entry is one line: a box's several lines are joined.
    for (char c : text) {
        line += (c == '\n' || c == '\r') ? ' ' : c;
    }
    line += '\n';
    // The whole line straight to the kernel: nothing waits in a buffer of ours.
    return WriteAll(fd_, line);
}

int NightLog::RemoveOldNights(const PcDateTime& utc) {
    const long oldest = NightDay(utc) - retentionDays_;
    int removed = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir_, ec)) {
        long night = 0;
        if (entry.is_regular_file(ec) && ParseNightName(entry.path().filename().string(), night) && night < oldest) {
            removed += std::filesystem::remove(entry.path(), ec) ? 1 : 0;
        }
    }
    return removed;
}

}  // namespace axo
