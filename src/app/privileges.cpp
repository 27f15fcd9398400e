#include "app/privileges.h"

#include "settings/settings.h"

#include <dirent.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define AXO_HAVE_PORT_IO 1
#else
#define AXO_HAVE_PORT_IO 0
#endif

namespace axo::app {

namespace {

std::string Hex(unsigned v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

// CAP_SYS_RAWIO from the permitted into the effective set, when the executable was given it.
void RaiseRawIo() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (syscall(SYS_capget, &header, data) != 0) {
        return;
    }
    const unsigned bit = 1U << (CAP_SYS_RAWIO % 32);
    auto& word = data[CAP_SYS_RAWIO / 32];
    if ((word.permitted & bit) != 0 && (word.effective & bit) == 0) {
        word.effective |= bit;
        syscall(SYS_capset, &header, data);
    }
}

IoGrant GrantRange(const IoRange& range) {
    IoGrant grant{range, false, {}};
#if AXO_HAVE_PORT_IO
    if (ioperm(range.first, range.count, 1) == 0) {
        grant.granted = true;
        return grant;
    }
    const int err = errno;
    grant.reason = "Accès direct aux ports " + Hex(range.first) + " refusé";
    grant.reason += err == EPERM ? " : l'exécutable doit avoir la capacité CAP_SYS_RAWIO (setcap cap_sys_rawio+p)"
                                 : " : adresse hors de portée";
#else
    grant.reason = "L'accès direct aux ports n'existe pas sur cette machine : choisissez ppdev";
#endif
    return grant;
}

// The capability fields of one thread's status file that must all be zero.
std::string HeldCapabilities(const std::string& statusPath, bool& readable) {
    std::ifstream in(statusPath);
    readable = static_cast<bool>(in);
    std::string line;
    std::string held;
    int seen = 0;
    while (std::getline(in, line)) {
        for (const char* field : {"CapInh:", "CapPrm:", "CapEff:", "CapAmb:"}) {
            if (line.rfind(field, 0) == 0) {
                ++seen;
                const std::string value = line.substr(std::strlen(field));
                if (value.find_first_not_of("0\t ") != std::string::npos) {
                    held += (held.empty() ? "" : " ") + std::string(field) + value.substr(value.find_first_not_of("\t "));
                }
            }
        }
    }
    // A kernel without ambient capabilities shows three fields; none at all means unreadable.
    readable = readable && seen >= 3;
    return held;
}

}  // namespace

const IoGrant* PrivilegedStart::Grant(uint16_t first) const {
    for (const IoGrant& g : grants) {
        if (g.range.first == first) {
            return &g;
        }
    }
    return nullptr;
}

uint16_t CardBaseFromSettingsFile() {
    Settings settings;
    settings.ReadSettings(kSettingsFileName);
    return static_cast<uint16_t>(settings.Int(IntKey::Eik120_base_addr));
}

std::vector<IoRange> IoRangesToGrant(const HardwareFileResult& file, bool simulate) {
    std::vector<IoRange> ranges;
    if (simulate) {
        return ranges;
    }
    // Direct parallel ports: data, status and control registers of each port.
    if (file.parallel.backend == ParallelBackend::Direct) {
        ranges.push_back({file.parallel.commandBase, 3, "port parallèle de commande"});
        ranges.push_back({file.parallel.dataBase, 3, "port parallèle de données"});
    }
    // The encoder card's six registers, at the base address the settings file holds.
    if (file.eik120.backend == EikBackend::Direct) {
        ranges.push_back({CardBaseFromSettingsFile(), 6, "carte EIK120"});
    }
    return ranges;
}

bool DropAllCapabilities() {
    // Ambient capabilities would come back into the permitted set at an exec; clear them first
    // (a kernel without them answers EINVAL, which is as good).
    prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    // Root gets every capability back at an exec unless the bounding set forbids them: a program
    // started from here (the file manager showing the night log) must get none. Emptying the set
    // needs CAP_SETPCAP, so it comes before the capset below; without it (an ordinary user) the
    // drop fails and nothing is lost, since such a user has no capability to regain. No new
    // privileges either: no set-user-ID or file capability can give one back to a child.
    for (int cap = 0; cap <= 63; ++cap) {
        if (prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0 && errno == EINVAL) {
            break;  // past the last capability this kernel knows
        }
    }
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    return syscall(SYS_capset, &header, data) == 0;
}

int ThreadCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* e = readdir(dir)) {
            if (e->d_name[0] != '.') {
                ++count;
            }
        }
        closedir(dir);
    }
    return count;
}

std::vector<std::string> ThreadsHoldingCapabilities(std::string* error) {
    std::vector<std::string> holders;
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) {
        if (error != nullptr) {
            *error = "/proc/self/task illisible : " + std::string(std::strerror(errno));
        }
        return holders;
    }
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') {
            continue;
        }
        bool readable = false;
        const std::string held = HeldCapabilities("/proc/self/task/" + std::string(e->d_name) + "/status", readable);
        if (!readable) {
            if (error != nullptr) {
                *error = "état du fil " + std::string(e->d_name) + " illisible";
            }
        } else if (!held.empty()) {
            holders.push_back(std::string(e->d_name) + ": " + held);
        }
    }
    closedir(dir);
    return holders;
}

PrivilegedStart RunPrivilegedStart(const std::vector<IoRange>& ranges) {
    PrivilegedStart start;
    start.runningAsRoot = getuid() == 0 || geteuid() == 0;
    if (!ranges.empty()) {
        RaiseRawIo();
    }
    for (const IoRange& range : ranges) {
        start.grants.push_back(GrantRange(range));
    }

    if (!DropAllCapabilities()) {
        start.dropProblem = "capset : " + std::string(std::strerror(errno));
    }
    std::string error;
    const std::vector<std::string> holders = ThreadsHoldingCapabilities(&error);
    if (start.dropProblem.empty() && !error.empty()) {
        start.dropProblem = "vérification impossible (" + error + ")";
    }
    if (!holders.empty()) {
        std::string list;
        for (const std::string& h : holders) {
            list += (list.empty() ? "" : ", ") + h;
        }
        start.dropProblem += (start.dropProblem.empty() ? "" : " ; ") + std::string("capacités encore détenues par ") +
                             list;
    }
    start.capabilitiesDropped = start.dropProblem.empty();
    return start;
}

std::vector<std::string> PrivilegeWarnings(const PrivilegedStart& start) {
    std::vector<std::string> lines;
    if (start.runningAsRoot) {
        lines.push_back("!!! Axo est lancé sous le compte root : il ne doit pas l'être.");
        lines.push_back("!!! Lancez-le sous un compte ordinaire (groupe lp, ou setcap cap_sys_rawio+p pour l'accès direct).");
    }
    if (!start.capabilitiesDropped) {
        lines.push_back("!!! Les privilèges n'ont pas pu être abandonnés.");
        lines.push_back("!!! " + start.dropProblem);
    }
    return lines;
}

}  // namespace axo::app
