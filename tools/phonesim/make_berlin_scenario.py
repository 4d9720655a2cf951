#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Writes scenarios/berlin.json: a drive across Berlin on O2 Germany.

Town centres come from the shared list of German cities; the sites inside
Berlin are given by their own coordinates. Every position is converted from
WGS84 to the Gauss-Krueger grid, zone 4 (EPSG:31468), with PROJ's cs2cs, and
written as the phone broadcasts it: 6 digits easting and 6 digits northing in
units of 10 m.

usage: make_berlin_scenario.py [CITIES_JSON] [OUTPUT]
"""

import json
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CITIES = os.path.join(HERE, "..", "..", "..", "shared", "data", "german-cities.json")


def grid(lat, lon):
    """WGS84 degrees -> (easting, northing) in 10 m units, zone 4."""
    out = subprocess.run(["cs2cs", "-f", "%.2f", "EPSG:4326", "EPSG:31468"],
                         input=f"{lat} {lon}\n", capture_output=True, text=True, check=True)
    northing, easting = (float(v) for v in out.stdout.split()[:2])
    return round(easting / 10), round(northing / 10)


def key(lat, lon):
    e, n = grid(lat, lon)
    return f"{e:06d}{n:06d}"


def main():
    cities_path = sys.argv[1] if len(sys.argv) > 1 else CITIES
    output = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "scenarios", "berlin.json")
    with open(cities_path, encoding="utf-8") as f:
        cities = {c["name"]: (float(c["coords"]["lat"]), float(c["coords"]["lon"])) for c in json.load(f)}
    berlin = cities["Berlin"]
    falkensee = cities["Falkensee"]

    # O2 numbering: location areas in the east start with 2 (decimal), the
    # cell identity is the site number plus 20000 per antenna sector.
    def cell(name, lac, site, sector, lat, lon, ta, broadcast=True, signal=None):
        c = {"name": name, "lac": f"{lac:04X}", "ci": f"{site + 20000 * sector:04X}",
             "operator": "26207", "ta": ta}
        if broadcast:
            c["position"] = key(lat, lon)
        if signal is not None:
            c["signal"] = signal
        return c

    # Telekom broadcasts no site positions. Its cells carry a "site" (the
    # simulator's own position and range, not a real one): the build turns
    # those into the demo's cell database, so that the program knows where
    # they are without a broadcast.
    def telekom_cell(name, lac, ci, lat, lon, cell_range, ta):
        return {"name": name, "lac": f"{lac:04X}", "ci": f"{ci:04X}", "operator": "26201",
                "ta": ta, "site": {"lat": round(lat, 6), "lon": round(lon, 6), "range": cell_range}}

    cells = [
        cell("Falkensee", 21305, 1203, 0, *falkensee, ta=11, signal=12),
        cell("Spandau Altstadt", 21301, 1187, 1, 52.5365, 13.2040, ta=3),
        cell("", 21301, 1142, 2, 52.5209, 13.2957, ta=2),  # Charlottenburg, no name known
        cell("Tiergarten", 21101, 1077, 0, 52.5145, 13.3501, ta=1, broadcast=False),
        cell("Berlin-Mitte", 21101, 1015, 1, *berlin, ta=2, signal=24),
        cell("Prenzlauer Berg", 21102, 1031, 0, 52.5365, 13.4175, ta=1, signal=27),
        cell("", 21102, 1066, 2, 52.5106, 13.4590, ta=4),  # Friedrichshain, no name known
        telekom_cell("Nauen", 40301, 11841, *cities["Nauen"], 2600, ta=5),
        telekom_cell("Ketzin", 40302, 11907, *cities["Ketzin"], 1900, ta=3),
    ]
    home_e, home_n = grid(52.5390, 13.4210)
    city_e, city_n = grid(*berlin)

    def pos_sms_text(lat, lon):
        la, lo = int(lat), int(lon)
        return "$%02d%05d,%03d%05d" % (la, round((lat - la) * 60000), lo, round((lon - lo) * 60000))

    scenario = {
        "phone": {"manufacturer": "SIEMENS", "model": "S45i", "revision": "21",
                  "imei": "350123456789012"},
        "sim": {
            "imsi": "262071234567890",
            "iccid": "89492071234567890123",
            "smsc": "+491760000443",
            "homeZone": {"easting": home_e, "northing": home_n, "radius": 1500, "name": "Home"},
            "cityZone": {"easting": city_e, "northing": city_n, "radius": 15000, "name": "City"},
        },
        "phoneBooks": [
            {"storage": "SM", "capacity": 100, "entries": [
                {"index": 1, "number": "+4917612345678", "name": "Jürgen Müller"},
                {"index": 2, "number": "03012345678", "name": "Büro"},
                {"index": 3, "number": "+493098765432", "name": "Mutti"},
                {"index": 4, "number": "+493044332211", "name": "Bäckerei Weiß"},
                {"index": 7, "number": "+4917698765432", "name": "Über Ärger"},
            ]},
            {"storage": "FD", "capacity": 10, "entries": [
                {"index": 1, "number": "112", "name": "Notruf"},
                {"index": 2, "number": "0304445566", "name": "Zuhause"},
            ]},
            {"storage": "ON", "capacity": 2, "entries": [
                {"index": 1, "number": "+4917600112233", "name": "Eigene Nummer"},
            ]},
        ],
        "sms": {"capacity": 20, "messages": [
            {"index": 1, "status": "read", "sender": "+4917612345678",
             "time": "2026-12-01T18:02:11+01:00",
             "text": "Treffen wir uns um 19 Uhr am Alex? Grüße, Jürgen"},
            {"index": 2, "status": "read", "sender": "+4917698765432",
             "time": "2026-12-02T09:15:40+01:00", "alphabet": "ascii",
             "text": pos_sms_text(*berlin)},
            {"index": 3, "status": "unread", "sender": "+4917698765432",
             "time": "2026-12-02T09:20:05+01:00", "alphabet": "ascii",
             "text": "$SendPosition!"},
        ]},
        "battery": {"charge": 80, "charging": False},
        "signal": 20,
        "networks": [
            {"code": "26207", "name": "o2 - de"},
            {"code": "26201", "name": "T-Mobile D"},
            {"code": "26202", "name": "Vodafone.de", "forbidden": True},
            {"code": "26203", "name": "E-Plus", "forbidden": True},
        ],
        "cells": cells,
        "startCell": "Falkensee",
        "broadcastEvery": 10,
        "operatorScanSeconds": 6,
        "services": {
            "*122#": "Ihr Standort: %CELL%",
            "*100#": "Ihr Guthaben beträgt 12,34 EUR",
        },
        "timeline": [
            {"t": 15, "cell": "Spandau Altstadt"},
            {"t": 40, "cell": 2},
            {"t": 65, "cell": "Tiergarten"},
            {"t": 90, "cell": "Berlin-Mitte"},
            {"t": 95, "ring": "+493098765432", "rings": 4},
            {"t": 120, "cell": "Prenzlauer Berg"},
            {"t": 140, "sms": {"sender": "+4917612345678", "time": "2026-12-07T19:05:00+01:00",
                               "text": "Bin gleich da. Bis später!"}},
            {"t": 170, "network": "lost"},
            {"t": 180, "network": "back"},
            {"t": 200, "cell": 6},
            {"t": 220, "battery": 55, "charging": False},
            {"t": 240, "cell": "Berlin-Mitte"},
            {"t": 270, "cell": 2},
            {"t": 290, "cell": "Falkensee"},
            # Out west, where only Telekom reaches: positions from the
            # cell database.
            {"t": 305, "cell": "Nauen"},
            {"t": 330, "cell": "Ketzin"},
            {"t": 355, "cell": "Falkensee"},
        ],
        "repeatEvery": 370,
    }
    with open(output, "w", encoding="utf-8") as f:
        json.dump(scenario, f, ensure_ascii=False, indent=2)
        f.write("\n")


if __name__ == "__main__":
    main()
