#include "interfaces/parallel/hardware_config.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <optional>
#include <tuple>

#include "platform/profile_file.h"

namespace axo {

namespace {

constexpr const char* kSection = "parallel";

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// An I/O address: 0x... hexadecimal or decimal, 1..0xFFFD (the status register is base + 1).
std::optional<uint16_t> ParseAddress(const std::string& text) {
    std::string digits = Lower(text);
    int base = 10;
    if (digits.rfind("0x", 0) == 0) {
        digits = digits.substr(2);
        base = 16;
    }
    if (digits.empty() || digits.size() > 6) {
        return std::nullopt;
    }
    unsigned long value = 0;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        }
        if (d < 0) {
            return std::nullopt;
        }
        value = value * static_cast<unsigned long>(base) + static_cast<unsigned long>(d);
    }
    if (value == 0 || value > 0xFFFD) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

void ReadSerialSection(const ProfileDocument& doc, const std::filesystem::path& file, HardwareFileResult& result) {
    constexpr const char* kSerial = "serial";
    SerialHardware& hw = result.serial;
    if (const auto backend = doc.Get(kSerial, "backend")) {
        const std::string b = Lower(*backend);
        if (b == "termios") {
            hw.backend = SerialBackend::Termios;
        } else if (b == "simulated") {
            hw.backend = SerialBackend::Simulated;
        } else {
            result.problems.push_back("backend série inconnu dans " + file.string() + " : " + *backend);
        }
    }
    for (std::size_t i = 0; i < hw.ports.size(); ++i) {
        if (const auto dev = doc.Get(kSerial, "port" + std::to_string(i + 1)); dev && !dev->empty()) {
            hw.ports[i] = *dev;
        }
    }
}

void ReadEikSection(const ProfileDocument& doc, const std::filesystem::path& file, HardwareFileResult& result) {
    constexpr const char* kEik = "eik120";
    EikHardware& hw = result.eik120;
    if (const auto backend = doc.Get(kEik, "backend")) {
        const std::string b = Lower(*backend);
        if (b == "direct") {
            hw.backend = EikBackend::Direct;
        } else if (b == "simulated") {
            hw.backend = EikBackend::Simulated;
        } else if (b == "none") {
            hw.backend = EikBackend::None;
        } else {
            result.problems.push_back("backend inconnu pour la carte EIK120 dans " + file.string() + " : " + *backend);
        }
    }
    if (const auto dev = doc.Get(kEik, "uio_device")) {
        hw.uioDevice = *dev;
    }
}

// 0 or 1; anything else is reported and leaves the default.
void ReadFlag(const ProfileDocument& doc, const char* section, const char* key, const std::filesystem::path& file,
              HardwareFileResult& result, bool& flag) {
    if (const auto text = doc.Get(section, key)) {
        if (*text == "0" || *text == "1") {
            flag = *text == "1";
        } else {
            result.problems.push_back(std::string("Valeur ") + key + " incorrecte dans " + file.string() + " : " + *text);
        }
    }
}

void ReadLinkSection(const ProfileDocument& doc, const std::filesystem::path& file, HardwareFileResult& result) {
    constexpr const char* kLink = "link";
    LinkHardware& hw = result.link;
    ReadFlag(doc, kLink, "enabled", file, result, hw.enabled);
    ReadFlag(doc, kLink, "control", file, result, hw.control);
    if (const auto address = doc.Get(kLink, "address"); address && !address->empty()) {
        hw.address = *address;
    }
    // A whole number of at most five digits within [low, high], or nothing.
    const auto number = [](const std::string& text, unsigned long low, unsigned long high) -> std::optional<unsigned long> {
        unsigned long value = 0;
        bool ok = !text.empty() && text.size() <= 5;
        for (char c : text) {
            ok = ok && c >= '0' && c <= '9';
            if (ok) {
                value = value * 10 + static_cast<unsigned long>(c - '0');
            }
        }
        return ok && value >= low && value <= high ? std::optional<unsigned long>(value) : std::nullopt;
    };
    if (const auto text = doc.Get(kLink, "port")) {
        if (const auto value = number(*text, 1, 65535)) {
            hw.port = static_cast<uint16_t>(*value);
        } else {
            result.problems.push_back("Port du lien incorrect dans " + file.string() + " : " + *text);
        }
    }
    if (const auto text = doc.Get(kLink, "idle_timeout")) {
        if (const auto value = number(*text, 0, 86400)) {
            hw.idleTimeoutS = static_cast<uint32_t>(*value);
        } else {
            result.problems.push_back("Délai d'inactivité du lien incorrect dans " + file.string() + " : " + *text);
        }
    }
}

std::string Shown(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

// A decimal number within [low, high] ("." or "," as the decimal mark), or nothing.
std::optional<double> ParseDecimal(std::string text, double low, double high) {
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        }
    }
    if (text.empty() || text.size() > 24) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(value >= low && value <= high)) {
        return std::nullopt;
    }
    return value;
}

void ReadDecimals(const ProfileDocument& doc, const char* section,
                  std::initializer_list<std::tuple<const char*, double*, double, double>> keys,
                  const std::filesystem::path& file, HardwareFileResult& result) {
    for (const auto& [key, target, low, high] : keys) {
        if (const auto text = doc.Get(section, key)) {
            if (const auto value = ParseDecimal(*text, low, high)) {
                *target = *value;
            } else {
                result.problems.push_back(std::string("Valeur ") + key + " incorrecte dans " + file.string() + " : " +
                                          *text + " (de " + Shown(low) + " à " + Shown(high) + ")");
            }
        }
    }
}

void ReadPointingSection(const ProfileDocument& doc, const std::filesystem::path& file, HardwareFileResult& result) {
    PointingLimits& p = result.pointing;
    ReadDecimals(doc, "pointing",
                 {{"min_altitude", &p.minAltitudeDeg, -10.0, 80.0},
                  {"hour_angle_east", &p.hourAngleEastH, 0.0, 12.0},
                  {"hour_angle_west", &p.hourAngleWestH, 0.0, 12.0},
                  {"declination_min", &p.declinationMinDeg, -90.0, 90.0},
                  {"declination_max", &p.declinationMaxDeg, -90.0, 90.0},
                  {"park_hour_angle", &p.parkHourAngleH, -12.0, 12.0},
                  {"park_declination", &p.parkDeclinationDeg, -90.0, 90.0}},
                 file, result);
    if (p.declinationMinDeg >= p.declinationMaxDeg) {
        result.problems.push_back("declination_min n'est pas sous declination_max dans " + file.string() +
                                  " : limites de déclinaison par défaut");
        p.declinationMinDeg = PointingLimits{}.declinationMinDeg;
        p.declinationMaxDeg = PointingLimits{}.declinationMaxDeg;
    }
    ReadDecimals(doc, "simulation", {{"coast", &result.simulation.coastSeconds, 0.0, 5.0}}, file, result);
}

// Keys the reader does not know are most often typing errors: the setting meant is not in force.
void ReportUnknownKeys(const ProfileDocument& doc, const std::filesystem::path& file, HardwareFileResult& result) {
    constexpr std::size_t kShown = 3;
    std::size_t unknown = 0;
    for (const ProfileKeyLine& k : doc.KeyLines()) {
        const auto damaged = [](const std::string& t) {
            return std::any_of(t.begin(), t.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        };
        if (k.section.empty() || damaged(k.section) || damaged(k.key)) {
            continue;  // reported with the damage
        }
        bool known = false;
        for (const HardwareKey& h : HardwareFileKeys()) {
            known = known || (Lower(k.section) == h.section && Lower(k.key) == h.key);
        }
        if (!known && ++unknown <= kShown) {
            result.problems.push_back("Clé inconnue [" + k.section + "] " + k.key + " dans " + file.string() +
                                      " (ligne " + std::to_string(k.line) + "), ignorée");
        }
    }
    if (unknown > kShown) {
        result.problems.push_back(std::to_string(unknown - kShown) + " autres clés inconnues dans " + file.string());
    }
}

// A line of the file as it can be shown: control characters as '?', at most 40 characters.
std::string Excerpt(const std::string& text) {
    std::string out = CutToChars(text, 40);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return out.size() < text.size() ? out + "…" : out;
}

// What the reader skips without a key of its own to blame: damage, lines that are not
// key=value, keys before any [section]. None of them may go unnoticed: a setting the operator
// believes in force would silently not be.
void ReportDamage(const ProfileDocument& doc, const std::filesystem::path& file, HardwareFileResult& result) {
    const ProfileDamage damage = doc.Inspect();
    if (damage.nulChars + damage.controlChars > 0) {
        result.problems.push_back("Fichier " + file.string() + " endommagé : " +
                                  std::to_string(damage.nulChars + damage.controlChars) +
                                  " caractères nuls ou de contrôle");
    }
    if (damage.oddUtf16) {
        result.problems.push_back("Fichier " + file.string() + " tronqué : UTF-16 de longueur impaire");
    }
    constexpr std::size_t kShown = 3;
    const std::vector<std::size_t>& bad = damage.unreadableLines;
    for (std::size_t i = 0; i < bad.size() && i < kShown; ++i) {
        result.problems.push_back("Ligne " + std::to_string(bad[i]) + " incompréhensible dans " + file.string() +
                                  ", ignorée : " + Excerpt(doc.LineText(bad[i])));
    }
    if (bad.size() > kShown) {
        result.problems.push_back(std::to_string(bad.size() - kShown) + " autres lignes incompréhensibles dans " +
                                  file.string());
    }
    std::size_t outside = 0;
    for (const ProfileKeyLine& k : doc.KeyLines()) {
        if (k.section.empty() && ++outside <= kShown) {
            result.problems.push_back("Clé " + k.key + " hors de toute section dans " + file.string() + " (ligne " +
                                      std::to_string(k.line) + "), ignorée");
        }
    }
    if (outside > kShown) {
        result.problems.push_back(std::to_string(outside - kShown) + " autres clés hors de toute section dans " +
                                  file.string());
    }
}

}  // namespace

const std::vector<HardwareKey>& HardwareFileKeys() {
    static const std::vector<HardwareKey> keys = {
        {"parallel", "backend"},         {"parallel", "command_device"},   {"parallel", "data_device"},
        {"parallel", "command_base"},    {"parallel", "data_base"},        {"serial", "backend"},
        {"serial", "port1"},             {"serial", "port2"},              {"serial", "port3"},
        {"serial", "port4"},             {"eik120", "backend"},            {"eik120", "uio_device"},
        {"link", "enabled"},             {"link", "address"},              {"link", "port"},
        {"link", "control"},             {"link", "idle_timeout"},         {"pointing", "min_altitude"},
        {"pointing", "hour_angle_east"}, {"pointing", "hour_angle_west"},  {"pointing", "declination_min"},
        {"pointing", "declination_max"}, {"pointing", "park_hour_angle"},  {"pointing", "park_declination"},
        {"simulation", "coast"},
    };
    return keys;
}

HardwareFileResult ReadHardwareFile(const std::filesystem::path& path) {
    HardwareFileResult result;
    const std::filesystem::path file = path.empty() ? ProfileDirectory() / kHardwareFileName : path;
    ProfileDocument doc;
    std::string error;
    if (!doc.Load(file, &error)) {
        result.problems.push_back("Fichier " + file.string() + " illisible : " + error);
        return result;
    }
    ReportDamage(doc, file, result);
    ParallelHardware& hw = result.parallel;
    if (const auto backend = doc.Get(kSection, "backend")) {
        const std::string b = Lower(*backend);
        if (b == "ppdev") {
            hw.backend = ParallelBackend::Ppdev;
        } else if (b == "direct") {
            hw.backend = ParallelBackend::Direct;
        } else if (b == "simulated") {
            hw.backend = ParallelBackend::Simulated;
        } else if (b == "none") {
            hw.backend = ParallelBackend::None;
        } else {
            result.problems.push_back("backend inconnu dans " + file.string() + " : " + *backend);
        }
    }
    if (const auto dev = doc.Get(kSection, "command_device"); dev && !dev->empty()) {
        hw.commandDevice = *dev;
    }
    if (const auto dev = doc.Get(kSection, "data_device"); dev && !dev->empty()) {
        hw.dataDevice = *dev;
    }
    for (const auto& [key, target] : {std::pair<const char*, uint16_t*>{"command_base", &hw.commandBase},
                                      std::pair<const char*, uint16_t*>{"data_base", &hw.dataBase}}) {
        if (const auto text = doc.Get(kSection, key)) {
            if (const auto address = ParseAddress(*text)) {
                *target = *address;
            } else {
                result.problems.push_back(std::string("Adresse ") + key + " incorrecte dans " + file.string() + " : " +
                                          *text);
            }
        }
    }
    ReadSerialSection(doc, file, result);
    ReadEikSection(doc, file, result);
    ReadLinkSection(doc, file, result);
    ReadPointingSection(doc, file, result);
    ReportUnknownKeys(doc, file, result);
    return result;
}

}  // namespace axo
