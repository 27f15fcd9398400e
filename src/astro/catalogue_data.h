#pragma once

// The text of the catalogue files, built into the program (generated from
// src/astro/catalogue/stars.txt and messier.txt).

namespace axo::catalogue_data {
extern const char* const kStars;
extern const char* const kMessier;
}  // namespace axo::catalogue_data
