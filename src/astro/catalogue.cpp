#include "astro/catalogue.h"

#include <erfa.h>
#include <erfam.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

#include "astro/catalogue_data.h"

namespace axo {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::string_view> Split(std::string_view line, char sep) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (;;) {
        const size_t bar = line.find(sep, start);
        fields.push_back(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        if (bar == std::string_view::npos) {
            return fields;
        }
        start = bar + 1;
    }
}

// A damaged line must stop the program's tests, not vanish from the list: every reader
// below throws with the file and line it could not read.
[[noreturn]] void Damaged(const char* file, int lineNo, const std::string& why) {
    throw std::runtime_error(std::string("catalogue ") + file + ", line " + std::to_string(lineNo) + ": " + why);
}

double Number(std::string_view text, const char* file, int lineNo, const char* what) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        Damaged(file, lineNo, std::string(what) + " '" + std::string(text) + "' is not a number");
    }
    return value;
}

// "hh mm.m" or "±dd mm" (the sign of the first field applies to the whole angle).
double Sexagesimal(std::string_view text, const char* file, int lineNo, const char* what) {
    const auto parts = Split(text, ' ');
    if (parts.size() != 2) {
        Damaged(file, lineNo, std::string(what) + " '" + std::string(text) + "' is not two fields");
    }
    const double whole = Number(parts[0], file, lineNo, what);
    const double minutes = Number(parts[1], file, lineNo, what);
    if (minutes < 0 || minutes >= 60) {
        Damaged(file, lineNo, std::string(what) + " has minutes out of range");
    }
    const bool negative = !parts[0].empty() && parts[0].front() == '-';
    return (negative ? -1.0 : 1.0) * (std::fabs(whole) + minutes / 60.0);
}

void CheckPlace(double raHours, double decDeg, const char* file, int lineNo) {
    if (raHours < 0 || raHours >= 24 || decDeg < -90 || decDeg > 90) {
        Damaged(file, lineNo, "position out of range");
    }
}

template <typename ReadLine>
void ReadFile(const char* text, ReadLine readLine) {
    int lineNo = 0;
    for (std::string_view line : Split(text, '\n')) {
        ++lineNo;
        if (line.empty() || line.front() == '#') {
            continue;
        }
        readLine(line, lineNo);
    }
}

void ReadStars(const char* text, std::vector<CatalogueEntry>& out) {
    ReadFile(text, [&](std::string_view line, int n) {
        const auto f = Split(line, '|');
        if (f.size() != 8 || f[0].empty() || f[1].empty()) {
            Damaged("stars.txt", n, "expected 8 fields: id|name|HR|RA h|Dec deg|mag|pmRA|pmDec");
        }
        CatalogueEntry e;
        e.id = f[0];
        e.name = f[1];
        e.kind = TargetKind::Star;
        const double raHours = Number(f[3], "stars.txt", n, "RA");
        const double decDeg = Number(f[4], "stars.txt", n, "Dec");
        CheckPlace(raHours, decDeg, "stars.txt", n);
        e.raJ2000Rad = raHours * 15.0 * ERFA_DD2R;
        e.decJ2000Rad = decDeg * ERFA_DD2R;
        e.magnitude = Number(f[5], "stars.txt", n, "magnitude");
        if (f[6].empty() != f[7].empty()) {
            Damaged("stars.txt", n, "proper motion given on one axis only");
        }
        if (!f[6].empty()) {
            e.pmRaMasPerYear = Number(f[6], "stars.txt", n, "pmRA");
            e.pmDecMasPerYear = Number(f[7], "stars.txt", n, "pmDec");
        }
        out.push_back(std::move(e));
    });
}

void ReadMessier(const char* text, std::vector<CatalogueEntry>& out) {
    ReadFile(text, [&](std::string_view line, int n) {
        const auto f = Split(line, '|');
        if (f.size() != 5 || f[0].empty() || f[1].empty()) {
            Damaged("messier.txt", n, "expected 5 fields: id|name|RA h min|Dec deg min|mag");
        }
        CatalogueEntry e;
        e.id = f[0];
        e.name = f[1];
        e.kind = TargetKind::Messier;
        const double raHours = Sexagesimal(f[2], "messier.txt", n, "RA");
        const double decDeg = Sexagesimal(f[3], "messier.txt", n, "Dec");
        CheckPlace(raHours, decDeg, "messier.txt", n);
        e.raJ2000Rad = raHours * 15.0 * ERFA_DD2R;
        e.decJ2000Rad = decDeg * ERFA_DD2R;
        e.magnitude = f[4].empty() ? kNaN : Number(f[4], "messier.txt", n, "magnitude");
        out.push_back(std::move(e));
    });
}

// ERFA's planet numbers (3 is the Earth-Moon barycentre, not a target).
struct Planet {
    const char* id;
    const char* name;
    int erfaNumber;
};
constexpr Planet kPlanets[] = {
    {"mercury", "Mercure", 1}, {"venus", "Vénus", 2},   {"mars", "Mars", 4},       {"jupiter", "Jupiter", 5},
    {"saturn", "Saturne", 6},  {"uranus", "Uranus", 7}, {"neptune", "Neptune", 8},
};

}  // namespace

std::vector<CatalogueEntry> ParseCatalogue(const char* starsText, const char* messierText) {
    std::vector<CatalogueEntry> all;
    ReadStars(starsText, all);
    ReadMessier(messierText, all);
    for (const Planet& p : kPlanets) {
        all.push_back({p.id, p.name, TargetKind::Planet, 0, 0, 0, 0, kNaN});
    }
    all.push_back({"moon", "Lune", TargetKind::Moon, 0, 0, 0, 0, kNaN});
    return all;
}

namespace {

// Lower-case ASCII with the accents of French names dropped; spaces, hyphens, apostrophes
// and dots removed, so "l'Épi", "L EPI" and "lepi" are one key. Other bytes (Greek letters)
// are kept as they are.
std::string Fold(std::string_view s) {
    static const std::pair<std::string_view, std::string_view> kAccents[] = {
        {"é", "e"}, {"è", "e"}, {"ê", "e"}, {"ë", "e"}, {"É", "e"}, {"È", "e"}, {"Ê", "e"}, {"à", "a"},
        {"â", "a"}, {"ä", "a"}, {"À", "a"}, {"Â", "a"}, {"î", "i"}, {"ï", "i"}, {"Î", "i"}, {"Ï", "i"},
        {"ô", "o"}, {"ö", "o"}, {"Ô", "o"}, {"ù", "u"}, {"û", "u"}, {"ü", "u"}, {"Û", "u"}, {"ç", "c"},
        {"Ç", "c"}, {"œ", "oe"}, {"Œ", "oe"}, {"’", ""},
    };
    std::string out;
    size_t i = 0;
    while (i < s.size()) {
        bool replaced = false;
        for (const auto& [from, to] : kAccents) {
            if (s.substr(i, from.size()) == from) {
                out += to;
                i += from.size();
                replaced = true;
                break;
            }
        }
        if (replaced) {
            continue;
        }
        const char c = s[i++];
        if (c == ' ' || c == '-' || c == '\'' || c == '.' || c == '_') {
            continue;
        }
        out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return out;
}

// The ways an observer may type an entry: its id, its whole name, the name without its
// designation ("Véga"), without its article ("Épi", "Polaire"), and for a Messier object
// its usual name alone ("nébuleuse du Crabe").
std::vector<std::string> Keys(const CatalogueEntry& e) {
    std::vector<std::string> keys{Fold(e.id), Fold(e.name)};
    std::string_view name = e.name;
    const size_t dash = name.find(" — ");
    if (dash != std::string_view::npos) {
        keys.push_back(Fold(name.substr(dash + std::string_view(" — ").size())));
        name = name.substr(0, dash);
    }
    const size_t bracket = name.find(" (");
    if (bracket != std::string_view::npos) {
        name = name.substr(0, bracket);
    }
    keys.push_back(Fold(name));
    for (std::string_view article : {"l'", "étoile "}) {
        if (name.substr(0, article.size()) == article) {
            keys.push_back(Fold(name.substr(article.size())));
        }
    }
    return keys;
}

struct Times {
    double ut1a, ut1b, tta, ttb;
};

Times TimesOf(double jdUtc) {
    Times t{ERFA_DJM0, jdUtc - ERFA_DJM0, ERFA_DJM0, 0};
    // TAI-UTC from ERFA's leap-second table; past its end it keeps the last value, which is
    // what we want for a clock running after the library was built.
    double taiMinusUtc = 37.0;
    int iy = 0, im = 0, id = 0;
    double fd = 0;
    if (eraJd2cal(t.ut1a, t.ut1b, &iy, &im, &id, &fd) == 0) {
        eraDat(iy, im, id, fd, &taiMinusUtc);
    }
    t.ttb = t.ut1b + (taiMinusUtc + 32.184) / ERFA_DAYSEC;
    return t;
}

EquatorialOfDate ToRaDec(double p[3]) {
    double ra = 0, dec = 0;
    eraC2s(p, &ra, &dec);
    return {eraAnp(ra), dec};
}

// Light deflection by the Sun and annual aberration for a direction p (unit vector, GCRS),
// then the rotation to the true equator and equinox of date.
EquatorialOfDate Apparent(double p[3], const Times& t, bool deflect) {
    double pvh[2][3], pvb[2][3];
    eraEpv00(t.tta, t.ttb, pvh, pvb);
    double sunToEarth[3];
    double sunDistance = 0;
    eraPn(pvh[0], &sunDistance, sunToEarth);
    double v[3];
    eraSxp(ERFA_AULT / ERFA_DAYSEC, pvb[1], v);
    const double bm1 = std::sqrt(1.0 - eraPdp(v, v));
    double deflected[3], aberrated[3], ofDate[3];
    if (deflect) {
        eraLdsun(p, sunToEarth, sunDistance, deflected);
    } else {
        eraCp(p, deflected);
    }
    eraAb(deflected, v, sunDistance, bm1, aberrated);
    double rnpb[3][3];
    eraPnm06a(t.tta, t.ttb, rnpb);
    eraRxp(rnpb, aberrated, ofDate);
    return ToRaDec(ofDate);
}

EquatorialOfDate FixedObject(const CatalogueEntry& e, const Times& t) {
    double ra = e.raJ2000Rad;
    double dec = e.decJ2000Rad;
    if (e.pmRaMasPerYear != 0 || e.pmDecMasPerYear != 0) {
        // ERFA wants the rate of right ascension itself, not its projection on the sky.
        const double pmRa = e.pmRaMasPerYear * ERFA_DMAS2R / std::cos(e.decJ2000Rad);
        const double pmDec = e.pmDecMasPerYear * ERFA_DMAS2R;
        double pmr = 0, pmd = 0, px = 0, rv = 0;
        eraPmsafe(e.raJ2000Rad, e.decJ2000Rad, pmRa, pmDec, 0.0, 0.0, ERFA_DJ00, 0.0, t.tta, t.ttb, &ra, &dec, &pmr,
                  &pmd, &px, &rv);
    }
    double p[3];
    eraS2c(ra, dec, p);
    return Apparent(p, t, true);
}

EquatorialOfDate PlanetOfDate(int erfaNumber, const Times& t) {
    double pvh[2][3], pvb[2][3];
    eraEpv00(t.tta, t.ttb, pvh, pvb);
    // The planet where it was when the light we see left it: three rounds settle the light
    // time far below a second.
    double lightTimeDays = 0;
    double p[3] = {1, 0, 0};
    for (int round = 0; round < 3; ++round) {
        double pv[2][3];
        eraPlan94(t.tta, t.ttb - lightTimeDays, erfaNumber, pv);
        eraPmp(pv[0], pvh[0], p);
        lightTimeDays = eraPm(p) * ERFA_AULT / ERFA_DAYSEC;
    }
    double unit[3];
    double distance = 0;
    eraPn(p, &distance, unit);
    return Apparent(unit, t, false);
}

EquatorialOfDate MoonOfDate(const Times& t, const SiteRecord& site) {
    double pv[2][3];
    eraMoon98(t.tta, t.ttb, pv);
    double rnpb[3][3];
    eraPnm06a(t.tta, t.ttb, rnpb);
    double geocentric[3];
    eraRxp(rnpb, pv[0], geocentric);
    // The observer in the same frame: its terrestrial place turned by the apparent sidereal
    // time (polar motion is a few metres, nothing at the Moon's distance).
    double xyz[3];
    if (eraGd2gc(ERFA_WGS84, -site.longitude, site.latitude, 0.0, xyz) != 0) {
        return ToRaDec(geocentric);
    }
    const double gast = eraGst06(t.ut1a, t.ut1b, t.tta, t.ttb, rnpb);
    double observer[3] = {
        (xyz[0] * std::cos(gast) - xyz[1] * std::sin(gast)) / ERFA_DAU,
        (xyz[0] * std::sin(gast) + xyz[1] * std::cos(gast)) / ERFA_DAU,
        xyz[2] / ERFA_DAU,
    };
    double topocentric[3];
    eraPmp(geocentric, observer, topocentric);
    return ToRaDec(topocentric);
}

}  // namespace

const std::vector<CatalogueEntry>& Catalogue() {
    static const std::vector<CatalogueEntry> all = ParseCatalogue(catalogue_data::kStars, catalogue_data::kMessier);
    return all;
}

const CatalogueEntry* FindTarget(std::string_view idOrName) {
    const std::string wanted = Fold(idOrName);
    if (wanted.empty()) {
        return nullptr;
    }
    for (const CatalogueEntry& e : Catalogue()) {
        for (const std::string& key : Keys(e)) {
            if (key == wanted) {
                return &e;
            }
        }
    }
    return nullptr;
}

int CountTargetsContaining(std::string_view part) {
    const std::string wanted = Fold(part);
    if (wanted.empty()) {
        return 0;
    }
    int count = 0;
    for (const CatalogueEntry& e : Catalogue()) {
        const std::vector<std::string> keys = Keys(e);
        count += std::any_of(keys.begin(), keys.end(),
                             [&](const std::string& key) { return key.find(wanted) != std::string::npos; })
                     ? 1
                     : 0;
    }
    return count;
}

EquatorialOfDate PositionOfDate(const CatalogueEntry& e, double jdUtc, const SiteRecord& site) {
    const Times t = TimesOf(jdUtc);
    switch (e.kind) {
        case TargetKind::Star:
        case TargetKind::Messier:
            return FixedObject(e, t);
        case TargetKind::Planet:
            for (const Planet& p : kPlanets) {
                if (e.id == p.id) {
                    return PlanetOfDate(p.erfaNumber, t);
                }
            }
            break;
        case TargetKind::Moon:
            return MoonOfDate(t, site);
    }
    return {kNaN, kNaN};
}

EquatorialOfDate J2000ToOfDate(double raJ2000Rad, double decJ2000Rad, double jdUtc) {
    const Times t = TimesOf(jdUtc);
    double p[3], ofDate[3], rnpb[3][3];
    eraS2c(raJ2000Rad, decJ2000Rad, p);
    eraPnm06a(t.tta, t.ttb, rnpb);
    eraRxp(rnpb, p, ofDate);
    return ToRaDec(ofDate);
}

double JulianDateUtc(const DateTimeRecord& when) {
    double jd0 = 0, jd1 = 0;
    if (eraCal2jd(when.year, when.month, when.day, &jd0, &jd1) != 0) {
        return kNaN;  // a day the month does not have, a month 13...
    }
    return jd0 + jd1 + (when.hour * 3600.0 + when.minute * 60.0 + when.second) / ERFA_DAYSEC;
}

}  // namespace axo
