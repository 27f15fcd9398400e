#include "platform/night_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

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

}  // namespace

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
