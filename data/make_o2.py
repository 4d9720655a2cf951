#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Writes O2.txt, the region circles of the German cities.

One circle per city of at least 100,000 inhabitants (largest city first),
in the layout the program reads:

    characters 1-4    easting of the centre in whole kilometres
    characters 5-7    "." and the hundreds of metres, a blank (not read)
    characters 8-11   northing of the centre in whole kilometres
    characters 12-14  "." and the hundreds of metres, a blank (not read)
    characters 15-19  radius in whole kilometres, right-aligned
    character  20     a blank
    from character 21 the city's German name

for example "4598.7 5819.9    17 Berlin". Easting and northing are
Gauss-Krueger coordinates on the DHDN datum, in the 3-degree zone of the
city; the easting carries the zone number in its first digit, as the
positions the network broadcasts do. A city whose circle reaches over a zone
border is written once more in the neighbouring zone, so that a position
given in either zone finds it. The radius is that of a circle with the city's
area, rounded up, so it grows with the city's size.

Coordinates are converted with PROJ's cs2cs (Debian package proj-bin). The
file is Windows-1252 with CR LF line ends.

Usage: make_o2.py CITIES.json [-o O2.txt] [--min-population N]
"""

import argparse
import json
import math
import subprocess
import sys

# Gauss-Krueger 3-degree zones on DHDN: zone number -> EPSG code.
ZONE_EPSG = {2: 31466, 3: 31467, 4: 31468, 5: 31469}
# The program shows German names; the source list has English ones for some.
GERMAN_NAMES = {
    "Brunswick": "Braunschweig",
    "Cologne": "Köln",
    "Hanover": "Hannover",
    "Munich": "München",
    "Nuremberg": "Nürnberg",
    "Herne city": "Herne",
}
KM_PER_DEGREE = 111.32
MAX_LINES = 300


def to_grid(zone, points):
    """[(lat, lon)] -> [(easting, northing)] in metres in the given zone."""
    text = "".join(f"{lat:.6f} {lon:.6f}\n" for lat, lon in points)
    try:
        out = subprocess.run(
            ["cs2cs", "-f", "%.2f", "EPSG:4326", f"EPSG:{ZONE_EPSG[zone]}"],
            input=text, capture_output=True, text=True, check=True).stdout
    except FileNotFoundError:
        sys.exit("make_o2: cs2cs not found (Debian package proj-bin)")
    result = []
    for line in out.splitlines():
        # These systems give northing first, then easting.
        northing, easting = (float(v) for v in line.split()[:2])
        result.append((easting, northing))
    if len(result) != len(points):
        sys.exit("make_o2: cs2cs gave an unexpected answer")
    return result


def zones_for(lat, lon, radius_km):
    """The city's own zone, then neighbouring zones its circle reaches."""
    own = int(math.floor(lon / 3 + 0.5))
    zones = [own]
    km_per_lon_degree = KM_PER_DEGREE * math.cos(math.radians(lat))
    west_border = own * 3 - 1.5
    east_border = own * 3 + 1.5
    if (lon - west_border) * km_per_lon_degree < radius_km and own - 1 in ZONE_EPSG:
        zones.append(own - 1)
    if (east_border - lon) * km_per_lon_degree < radius_km and own + 1 in ZONE_EPSG:
        zones.append(own + 1)
    return zones


def region_line(easting, northing, radius_km, name):
    e = int(easting // 100)   # hundreds of metres, truncated like the reader
    n = int(northing // 100)
    return f"{e // 10:4d}.{e % 10} {n // 10:4d}.{n % 10} {radius_km:5d} {name}"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("cities", help="german-cities.json")
    ap.add_argument("-o", "--output", default="O2.txt")
    ap.add_argument("--min-population", type=int, default=100000)
    args = ap.parse_args()

    with open(args.cities, encoding="utf-8") as f:
        cities = json.load(f)
    chosen = []
    for c in cities:
        try:
            population = int(c["population"])
            lat = float(c["coords"]["lat"])
            lon = float(c["coords"]["lon"])
            area = float(c["area"])
        except (KeyError, TypeError, ValueError):
            continue
        if population >= args.min_population:
            name = GERMAN_NAMES.get(c["name"], c["name"])
            radius = max(1, math.ceil(math.sqrt(area / math.pi)))
            chosen.append((population, name, lat, lon, radius))
    chosen.sort(key=lambda c: (-c[0], c[1]))

    # (index of city, zone) for every line, converted zone by zone.
    wanted = [(i, z) for i, c in enumerate(chosen) for z in zones_for(c[2], c[3], c[4])]
    grid = {}
    for zone in ZONE_EPSG:
        items = [i for i, z in wanted if z == zone]
        if items:
            coords = to_grid(zone, [(chosen[i][2], chosen[i][3]) for i in items])
            for i, xy in zip(items, coords):
                grid[(i, zone)] = xy
    lines = []
    for i, zone in wanted:
        easting, northing = grid[(i, zone)]
        lines.append(region_line(easting, northing, chosen[i][4], chosen[i][1]))
    if len(lines) > MAX_LINES:
        sys.exit(f"make_o2: {len(lines)} lines, the program reads only {MAX_LINES}")
    data = "".join(line + "\r\n" for line in lines).encode("cp1252")
    with open(args.output, "wb") as f:
        f.write(data)
    print(f"{args.output}: {len(chosen)} cities, {len(lines)} lines")


if __name__ == "__main__":
    main()
