#!/usr/bin/env python3
"""Compares stars.txt with the FK5 positions and proper motions of astronomical-almanac 5.6's
star.cat (python3 check_stars.py stars.txt /usr/share/aa/star.cat): positions within 1 arc
minute; proper motions close enough that the two positions stay within 15 arc seconds after 50
years (300 mas/yr: a sign or digit typed wrong shows, the binaries' orbital part does not).
Exit 1 if any star is off."""
import math
import sys


def fk5(path):
    out = {}
    for line in open(path):
        f = line.split()
        if len(f) < 13 or f[0] != "2000" or "(" not in f[12]:
            continue
        name = f[12].split("(")[1].rstrip(")").lower()
        ra = (float(f[1]) + float(f[2]) / 60 + float(f[3]) / 3600) * 15
        sign = -1 if f[4].startswith("-") else 1
        dec = sign * (abs(float(f[4])) + float(f[5]) / 60 + float(f[6]) / 3600)
        pmra = float(f[7]) * 15 * 10 * math.cos(math.radians(dec))  # s/century -> mas/yr, *cos dec
        pmdec = float(f[8]) * 10  # "/century -> mas/yr
        out[name] = (ra, dec, pmra, pmdec)
    return out


ALIASES = {"aldebara": "aldebaran", "rigil": "rigil-kentaurus", "al_na'ir": "alnair",
           "kaus_aust.": "kaus-australis", "zubenelgen": "zubenelgenubi", "suhail": None}


def main():
    ref = {ALIASES.get(k, k): v for k, v in fk5(sys.argv[2]).items()}
    bad = 0
    compared = 0
    for line in open(sys.argv[1], encoding="utf-8"):
        if line.startswith("#") or not line.strip():
            continue
        f = line.rstrip("\n").split("|")
        if f[0] not in ref:
            continue
        compared += 1
        ra, dec = float(f[3]) * 15, float(f[4])
        r = ref[f[0]]
        sep = math.hypot((ra - r[0]) * math.cos(math.radians(dec)), dec - r[1]) * 60
        msg = f"{f[0]:16} position {sep:5.2f}'"
        if sep > 1:
            bad += 1
            msg += "  OFF"
        if f[6]:
            dra, ddec = float(f[6]) - r[2], float(f[7]) - r[3]
            msg += f"  pm diff {dra:7.1f} {ddec:7.1f} mas/yr"
            if math.hypot(dra, ddec) > 300:
                bad += 1
                msg += "  OFF"
        print(msg)
    print(f"{compared} stars compared, {bad} off")
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
