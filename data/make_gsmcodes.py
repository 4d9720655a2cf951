#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Writes GSMcodes.txt, the country of every mobile country code.

One line per mobile country code, sorted by code:

    characters 1-3   the three-digit mobile country code
    character  4     a blank
    characters 5-7   the ISO 3166 two-letter country code, padded with blanks
    from character 8 the German name of the country

for example "262 DE Deutschland". The country of each code comes from
Debian's mobile-broadband-provider-info (where a code is used by several
countries, the one with the most networks on it); the German names come
from iso-codes and its German translation. The file is Windows-1252 with
CR LF line ends, as the program reads it.

Usage: make_gsmcodes.py [-o GSMcodes.txt] [--providers FILE] [--iso FILE]
                        [--localedir DIR]
"""

import argparse
import collections
import gettext
import json
import sys
import xml.etree.ElementTree as ET

PROVIDERS = "/usr/share/mobile-broadband-provider-info/serviceproviders.xml"
ISO_JSON = "/usr/share/iso-codes/json/iso_3166-1.json"
LOCALEDIR = "/usr/share/locale"
# Codes in use that ISO 3166 has not (yet) assigned.
EXTRA_NAMES = {"XK": "Kosovo"}


def countries_by_mcc(providers_path):
    """Mobile country code -> lower-case two-letter country code."""
    counts = collections.defaultdict(collections.Counter)
    root = ET.parse(providers_path).getroot()
    for country in root.findall("country"):
        code = (country.get("code") or "").strip().lower()
        if len(code) != 2:
            continue
        for net in country.iter("network-id"):
            mcc = (net.get("mcc") or "").strip()
            if len(mcc) == 3 and mcc.isdigit():
                counts[mcc][code] += 1
    # Most networks first; on a tie the alphabetically first country, so the
    # output does not depend on the order of the source file.
    return {
        mcc: sorted(c.items(), key=lambda kv: (-kv[1], kv[0]))[0][0]
        for mcc, c in counts.items()
    }


def german_names(iso_path, localedir):
    """Upper-case two-letter code -> German country name."""
    with open(iso_path, encoding="utf-8") as f:
        entries = json.load(f)["3166-1"]
    try:
        tr = gettext.translation("iso_3166-1", localedir=localedir, languages=["de"])
    except OSError:
        sys.exit("make_gsmcodes: no German translation of iso_3166-1 in " + localedir)
    names = dict(EXTRA_NAMES)
    for e in entries:
        # The short common name ("Bolivien") reads better in a label than the
        # official one ("Bolivien, Plurinationaler Staat").
        name = e.get("common_name") or e["name"]
        names[e["alpha_2"]] = tr.gettext(name)
    return names


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("-o", "--output", default="GSMcodes.txt")
    ap.add_argument("--providers", default=PROVIDERS)
    ap.add_argument("--iso", default=ISO_JSON)
    ap.add_argument("--localedir", default=LOCALEDIR)
    args = ap.parse_args()

    mccs = countries_by_mcc(args.providers)
    names = german_names(args.iso, args.localedir)
    lines = []
    for mcc in sorted(mccs, key=int):
        alpha2 = mccs[mcc].upper()
        name = names.get(alpha2)
        if name is None:
            print(f"make_gsmcodes: no name for {alpha2} ({mcc}), skipped", file=sys.stderr)
            continue
        lines.append(f"{mcc} {alpha2:<3}{name}")
    data = "".join(line + "\r\n" for line in lines).encode("cp1252")
    with open(args.output, "wb") as f:
        f.write(data)
    print(f"{args.output}: {len(lines)} codes")


if __name__ == "__main__":
    main()
