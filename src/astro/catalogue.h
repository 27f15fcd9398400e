#pragma once

// The targets the observer can pick by name for a go-to (bright stars, the Messier objects,
// the planets and the Moon) and the astronomy that gives each one's place of date.
//
// "Of date" means the true equator and equinox of the date, the frame in which the program's
// hour angle (local apparent sidereal time minus right ascension) and declination are read.
// Stars and Messier objects: proper motion (stars), light deflection by the Sun, annual
// aberration, then precession-nutation (IAU 2006/2000A). Planets: geocentric apparent place
// with light time, annual aberration and precession-nutation. The Moon: topocentric for the
// site (its parallax reaches a degree), geometric (its aberration is under an arc second).
// Diurnal aberration and refraction are left out. Times are UTC with UT1 taken equal to UTC.

#include <string>
#include <string_view>
#include <vector>

#include "astro/mathlib.h"

namespace axo {

enum class TargetKind { Star, Messier, Planet, Moon };

struct CatalogueEntry {
    std::string id;    // "vega", "M31", "jupiter": stable, ASCII, unique
    std::string name;  // French display name
    TargetKind kind = TargetKind::Star;
    double raJ2000Rad = 0, decJ2000Rad = 0;          // stars and Messier objects (ICRS)
    double pmRaMasPerYear = 0, pmDecMasPerYear = 0;  // right ascension one times cos(dec); 0 if unknown
    double magnitude = 0;                            // NaN if unknown
};

// Stars (brightest first), Messier objects (M 1 to M 110), planets, the Moon. Read from the
// built-in files at the first call; a damaged line throws std::runtime_error naming it.
const std::vector<CatalogueEntry>& Catalogue();

// The entry whose id or display name is idOrName, ignoring case, accents, spaces, hyphens and
// apostrophes; the name may be given without its designation in brackets ("vega", "Épi",
// "Polaire", "m 31", "Lune"). nullptr when nothing matches.
const CatalogueEntry* FindTarget(std::string_view idOrName);

// How many entries have an id or name that contains `part`, compared as FindTarget compares
// ("veg" is part of "Véga (α Lyr)"). 0 for an empty part.
int CountTargetsContaining(std::string_view part);

struct EquatorialOfDate {
    double raRad;   // 0..2 pi
    double decRad;
};

// Place of date of a catalogue entry at the given UTC Julian date, seen from the site
// (latitude and west-positive longitude in radians; only the Moon depends on it).
EquatorialOfDate PositionOfDate(const CatalogueEntry& e, double jdUtc, const SiteRecord& site);

// J2000 (ICRS) coordinates to the true equator and equinox of date: precession and nutation
// only, as for coordinates a planetarium sends (no proper motion, no aberration).
EquatorialOfDate J2000ToOfDate(double raJ2000Rad, double decJ2000Rad, double jdUtc);

// The reading of the built-in files, open to tests: the entries of the given texts (formats
// as in src/astro/catalogue/*.txt) followed by the planets and the Moon; throws
// std::runtime_error naming the file and line of the first damaged line.
std::vector<CatalogueEntry> ParseCatalogue(const char* starsText, const char* messierText);

// Julian date of the PC clock (taken as UTC); NaN for a date that does not exist.
double JulianDateUtc(const DateTimeRecord& when);

}  // namespace axo
