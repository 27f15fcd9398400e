// Axo: control program of the observatory telescope.
//
// The windows and the hardware interfaces are not built yet. Until they are, this program
// shows what exists: it reads the settings file, and reports the site and the time the
// telescope would work with.

#include <cstdio>
#include <cmath>
#include <cstring>
#include <string>

#include "astro/mathlib.h"
#include "platform/clock.h"
#include "platform/profile_file.h"
#include "settings/settings.h"

namespace {

void PrintUsage() {
    std::puts("Usage: axo [--simulate] [--help]");
    std::puts("  --simulate  run against the simulated observatory instead of the hardware");
}

std::string Hms(double rad) {
    int16_t h = 0;
    int16_t m = 0;
    double s = 0.0;
    axo::R2Hms(rad, h, m, s);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%04.1f", h, m, s);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    bool simulate = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--simulate") == 0) {
            simulate = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintUsage();
            return 0;
        } else {
            std::fprintf(stderr, "axo: option inconnue : %s\n", argv[i]);
            PrintUsage();
            return 2;
        }
    }

    axo::Settings settings;
    const std::string path = axo::ResolveProfilePath(axo::kSettingsFileName).string();
    const axo::SettingsFileResult read = settings.ReadSettings(axo::kSettingsFileName);
    if (!read.ok) {
        std::fprintf(stderr, "axo: %s (valeurs par défaut utilisées)\n", read.error.c_str());
    }

    using axo::IntKey;
    axo::SiteRecord site;
    site.longitude = axo::Dms2R(settings.Int(IntKey::longitude_east), settings.Int(IntKey::longitude_d),
                                settings.Int(IntKey::longitude_m), settings.Int(IntKey::longitude_s));
    site.latitude = axo::Dms2R(settings.Int(IntKey::latitude_south), settings.Int(IntKey::latitude_d),
                               settings.Int(IntKey::latitude_m), settings.Int(IntKey::latitude_s));

    axo::RealClock clock;
    const axo::PcDateTime now = clock.Now();
    axo::DateTimeRecord when;
    when.day = now.day;
    when.month = now.month;
    when.year = now.year;
    when.hour = now.hour;
    when.minute = now.minute;
    when.second = now.second;
    const double lst = axo::SideralTime(when, site);

    std::printf("Axo Version 0.65b\n");
    std::printf("Fichier de configuration : %s\n", path.c_str());
    std::printf("Site : latitude %.4f°, longitude %.4f° %s\n", axo::R2D(site.latitude),
                std::fabs(axo::R2D(site.longitude)), site.longitude <= 0 ? "Est" : "Ouest");
    std::printf("TU %02d:%02d:%02d  TS %s\n", now.hour, now.minute, now.second, Hms(lst).c_str());
    std::printf("%s\n", simulate ? "Observatoire simulé demandé." : "Matériel réel demandé.");
    std::printf("Note : la fenêtre principale et les interfaces matérielles ne sont pas encore construites ;\n"
                "cette version lit la configuration et calcule le temps sidéral, sans piloter le télescope.\n");

    const axo::SettingsFileResult written = settings.WriteSettings(axo::kSettingsFileName);
    if (!written.ok) {
        std::fprintf(stderr, "axo: %s\n", written.error.c_str());
        return 1;
    }
    return 0;
}
