#!/usr/bin/env python3
"""Writes stars.txt from the Bright Star Catalogue extract that Debian's xplanet package ships.

    python3 make_stars.py /usr/share/xplanet/stars/BSC > stars.txt

The extract keeps, for every star of the Yale Bright Star Catalogue, 5th revised edition, its
J2000 declination (degrees), right ascension (hours) and V magnitude to the precision of the
catalogue's own sexagesimal columns, with its name field and HR, HD and SAO numbers. The stars
below are picked by HR number; the script refuses to write anything if a picked line's BSC
name does not carry the Bayer or Flamsteed designation expected, so a mistyped HR number cannot
put the wrong star under a name.

The extract has no proper motions. The ones below (Hipparcos values, mas/yr, the right
ascension one multiplied by cos dec) are typed from general knowledge for the stars that move
enough to matter over decades, and were checked against the FK5 values of the 57 navigational
stars in astronomical-almanac 5.6's star.cat (check_stars.py); the others are left empty.
"""
import sys

# id, French display name, HR, BSC name must contain, pmRA* and pmDec in mas/yr (None: unknown)
PICKS = [
    ("sirius", "Sirius (α CMa)", 2491, "Alp CMa", -546.0, -1223.1),
    ("canopus", "Canopus (α Car)", 2326, "Alp Car", 19.9, 23.2),
    ("arcturus", "Arcturus (α Boo)", 5340, "Alp Boo", -1093.4, -1999.4),
    ("rigil-kentaurus", "Rigil Kentaurus (α Cen)", 5459, "Alp1Cen", -3679.3, 473.7),
    ("vega", "Véga (α Lyr)", 7001, "Alp Lyr", 200.9, 286.2),
    ("capella", "Capella (α Aur)", 1708, "Alp Aur", 75.5, -427.1),
    ("rigel", "Rigel (β Ori)", 1713, "Bet Ori", 1.9, -0.6),
    ("procyon", "Procyon (α CMi)", 2943, "Alp CMi", -716.6, -1034.6),
    ("achernar", "Achernar (α Eri)", 472, "Alp Eri", 88.0, -40.1),
    ("betelgeuse", "Bételgeuse (α Ori)", 2061, "Alp Ori", 27.3, 10.9),
    ("hadar", "Hadar (β Cen)", 5267, "Bet Cen", -33.3, -23.2),
    ("altair", "Altaïr (α Aql)", 7557, "Alp Aql", 536.8, 385.5),
    ("aldebaran", "Aldébaran (α Tau)", 1457, "Alp Tau", 62.8, -189.4),
    ("antares", "Antarès (α Sco)", 6134, "Alp Sco", -10.2, -23.2),
    ("spica", "l'Épi (α Vir)", 5056, "Alp Vir", -42.5, -31.7),
    ("pollux", "Pollux (β Gem)", 2990, "Bet Gem", -625.7, -45.9),
    ("fomalhaut", "Fomalhaut (α PsA)", 8728, "Alp PsA", 329.2, -164.2),
    ("deneb", "Deneb (α Cyg)", 7924, "Alp Cyg", 2.0, 1.9),
    ("mimosa", "Mimosa (β Cru)", 4853, "Bet Cru", -48.2, -12.8),
    ("acrux", "Acrux (α Cru)", 4730, "Alp1Cru", -35.4, -14.7),
    ("regulus", "Régulus (α Leo)", 3982, "Alp Leo", -249.4, 4.9),
    ("adhara", "Adhara (ε CMa)", 2618, "Eps CMa", 2.6, 2.3),
    ("shaula", "Shaula (λ Sco)", 6527, "Lam Sco", -8.9, -29.9),
    ("gacrux", "Gacrux (γ Cru)", 4763, "Gam Cru", 27.9, -264.3),
    ("bellatrix", "Bellatrix (γ Ori)", 1790, "Gam Ori", -8.8, -13.3),
    ("elnath", "Elnath (β Tau)", 1791, "Bet Tau", 23.3, -174.2),
    ("miaplacidus", "Miaplacidus (β Car)", 3685, "Bet Car", -157.7, 108.9),
    ("alnilam", "Alnilam (ε Ori)", 1903, "Eps Ori", 1.5, -1.1),
    ("alnair", "Alnaïr (α Gru)", 8425, "Alp Gru", 127.6, -147.9),
    ("alioth", "Alioth (ε UMa)", 4905, "Eps UMa", 111.7, -8.2),
    ("regor", "Régor (γ² Vel)", 3207, "Gam2Vel", None, None),
    ("mirfak", "Mirfak (α Per)", 1017, "Alp Per", 24.1, -26.2),
    ("dubhe", "Dubhe (α UMa)", 4301, "Alp UMa", -136.5, -35.3),
    ("wezen", "Wezen (δ CMa)", 2693, "Del CMa", -2.8, 3.3),
    ("kaus-australis", "Kaus Australis (ε Sgr)", 6879, "Eps Sgr", -39.6, -124.2),
    ("alkaid", "Alkaïd (η UMa)", 5191, "Eta UMa", -121.2, -15.0),
    ("avior", "Avior (ε Car)", 3307, "Eps Car", -25.5, 22.7),
    ("sargas", "Sargas (θ Sco)", 6553, "The Sco", 6.1, -0.9),
    ("menkalinan", "Menkalinan (β Aur)", 2088, "Bet Aur", -56.4, -0.9),
    ("atria", "Atria (α TrA)", 6217, "Alp TrA", 17.9, -32.9),
    ("alhena", "Alhena (γ Gem)", 2421, "Gam Gem", -2.0, -66.9),
    ("peacock", "Peacock (α Pav)", 7790, "Alp Pav", 7.7, -86.2),
    ("alsephina", "Alsephina (δ Vel)", 3485, "Del Vel", None, None),
    ("alphard", "Alphard (α Hya)", 3748, "Alp Hya", -14.5, 33.3),
    ("castor", "Castor (α Gem)", 2891, "Alp Gem", -191.5, -145.2),
    ("mirzam", "Mirzam (β CMa)", 2294, "Bet CMa", -3.5, -0.5),
    ("hamal", "Hamal (α Ari)", 617, "Alp Ari", 190.7, -145.8),
    ("polaris", "étoile Polaire (α UMi)", 424, "Alp UMi", 44.2, -11.7),
    ("nunki", "Nunki (σ Sgr)", 7121, "Sig Sgr", 13.9, -52.7),
    ("diphda", "Diphda (β Cet)", 188, "Bet Cet", 232.8, 32.7),
    ("alnitak", "Alnitak (ζ Ori)", 1948, "Zet Ori", 3.2, 2.0),
    ("saiph", "Saïph (κ Ori)", 2004, "Kap Ori", 1.6, -1.2),
    ("alpheratz", "Alphératz (α And)", 15, "Alp And", 135.7, -163.0),
    ("mirach", "Mirach (β And)", 337, "Bet And", 175.6, -112.2),
    ("menkent", "Menkent (θ Cen)", 5288, "The Cen", -519.3, -517.9),
    ("rasalhague", "Rasalhague (α Oph)", 6556, "Alp Oph", 110.1, -222.6),
    ("kochab", "Kochab (β UMi)", 5563, "Bet UMi", -32.3, 11.9),
    ("denebola", "Denebola (β Leo)", 4534, "Bet Leo", -499.0, -113.8),
    ("algol", "Algol (β Per)", 936, "Bet Per", 2.4, -1.4),
    ("schedar", "Schedar (α Cas)", 168, "Alp Cas", 50.4, -32.1),
    ("caph", "Caph (β Cas)", 21, "Bet Cas", 523.4, -180.4),
    ("mintaka", "Mintaka (δ Ori)", 1852, "Del Ori", 1.7, -0.6),
    ("alphecca", "Alphecca (α CrB)", 5793, "Alp CrB", 120.4, -89.6),
    ("eltanin", "Eltanin (γ Dra)", 6705, "Gam Dra", -8.5, -23.1),
    ("sadr", "Sadr (γ Cyg)", 7796, "Gam Cyg", 2.4, -0.9),
    ("mizar", "Mizar (ζ UMa)", 5054, "Zet UMa", 121.2, -22.0),
    ("enif", "Enif (ε Peg)", 8308, "Eps Peg", 30.0, 1.4),
    ("markab", "Markab (α Peg)", 8781, "Alp Peg", 61.1, -42.6),
    ("zubenelgenubi", "Zubenelgenubi (α² Lib)", 5531, "Alp2Lib", -105.7, -69.0),
    ("mira", "Mira (ο Cet)", 681, "Omi Cet", 10.3, -239.5),
    ("albireo", "Albireo (β Cyg)", 7417, "Bet1Cyg", -7.1, -5.6),
    ("thuban", "Thuban (α Dra)", 5291, "Alp Dra", -56.5, 17.2),
    ("alcor", "Alcor (80 UMa)", 5062, "80    UMa", 120.4, -16.0),
]


def read_bsc(path):
    stars = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if not line.strip() or line.startswith("#"):
                continue
            quoted = line.split('"')
            dec, ra, mag = (float(v) for v in quoted[0].split())
            hr = int(quoted[2].split()[0])
            stars[hr] = (ra, dec, mag, quoted[1])
    return stars


def main():
    bsc = read_bsc(sys.argv[1])
    rows = []
    ids = set()
    for ident, name, hr, bayer, pmra, pmdec in PICKS:
        ra, dec, mag, bscname = bsc[hr]
        if bayer not in bscname:
            sys.exit(f"HR {hr} is '{bscname}', not {bayer}")
        if ident in ids:
            sys.exit(f"{ident} twice")
        ids.add(ident)
        pm = ("", "") if pmra is None else (f"{pmra:.1f}", f"{pmdec:.1f}")
        rows.append((mag, f"{ident}|{name}|HR {hr}|{ra:.4f}|{dec:+.4f}|{mag:.2f}|{pm[0]}|{pm[1]}"))
    rows.sort(key=lambda r: r[0])
    print(HEADER.rstrip())
    for _, row in rows:
        print(row)


HEADER = """\
# Bright named stars for the go-to, brightest first.
#
# Source: the Yale Bright Star Catalogue, 5th revised edition (Hoffleit & Warren 1991,
# catalogue V/50 of the astronomical data centres), which is in the public domain. The numbers
# were taken from the extract of it that Debian's xplanet 1.3.1 package ships as
# /usr/share/xplanet/stars/BSC (its header: "From the Bright Star Catalogue, 5th Revised Ed.,
# available online through VizieR"): J2000 declination in degrees and right ascension in hours
# to 4 decimals, V magnitude. That extract is a column subset of the catalogue; the xplanet
# package's copyright file puts the whole package under GPL-2+, but these are the catalogue's
# own numbers, carried unchanged.
# Made with: python3 make_stars.py /usr/share/xplanet/stars/BSC > stars.txt
#
# Proper motions are NOT in that extract: the values here (Hipparcos, mas/yr, the first one
# multiplied by cos dec) are typed from general knowledge, and checked against the FK5 proper
# motions of astronomical-almanac 5.6's star.cat where it has the star (check_stars.py). An
# empty field means unknown (taken as zero). French names are the usual ones.
#
# id|French name|HR number|RA J2000 (h)|Dec J2000 (deg)|V mag|pmRA*cos(dec) (mas/yr)|pmDec (mas/yr)
"""

if __name__ == "__main__":
    main()
