#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""A geosubmit v2 server for the upload test.

    geosubmit_server.py PORT_FILE LOG_FILE [--plan drop,503,...] [--refuse TIMESTAMP,...]

Listens on 127.0.0.1 (a free port, written to PORT_FILE) and checks every
POST against the geosubmit v2 schema (gzip body, the documented fields and
units, no others). The first requests are answered as --plan says ("drop":
the connection is closed without an answer; a number: that HTTP status),
the later ones 200, unless a report carries one of the --refuse timestamps:
then the whole request gets 400, as a server does with a batch it cannot
take. Every report taken goes to LOG_FILE as one JSON line; a request that
breaks the schema goes there as {"schema_error": ...} and gets 400.
"""
import gzip
import http.server
import json
import os
import sys

RADIO = {"gsm", "wcdma", "lte"}
POSITION = {"latitude", "longitude", "accuracy", "age", "altitude", "altitudeAccuracy",
            "heading", "pressure", "speed", "source"}
TOWER = {"radioType", "mobileCountryCode", "mobileNetworkCode", "locationAreaCode", "cellId",
         "age", "asu", "primaryScramblingCode", "serving", "signalStrength", "timingAdvance"}


def is_int(v):
    return isinstance(v, int) and not isinstance(v, bool)


def is_number(v):
    return (isinstance(v, (int, float))) and not isinstance(v, bool)


def schema_problem(doc):
    """None for a valid request, else what is wrong."""
    if not isinstance(doc, dict) or set(doc) != {"items"} or not isinstance(doc["items"], list):
        return "top level must be {\"items\": [...]}"
    if not doc["items"]:
        return "no items"
    for item in doc["items"]:
        if not is_int(item.get("timestamp")) or item["timestamp"] <= 0:
            return "timestamp must be milliseconds"
        if set(item) - {"timestamp", "position", "cellTowers"}:
            return "unknown item field"
        p = item.get("position")
        if not isinstance(p, dict) or set(p) - POSITION:
            return "position fields"
        if not is_number(p.get("latitude")) or not -90 <= p["latitude"] <= 90:
            return "latitude"
        if not is_number(p.get("longitude")) or not -180 <= p["longitude"] <= 180:
            return "longitude"
        if "accuracy" in p and (not is_number(p["accuracy"]) or p["accuracy"] <= 0):
            return "accuracy"
        if "speed" in p and (not is_number(p["speed"]) or p["speed"] < 0):
            return "speed"
        if "heading" in p and (not is_number(p["heading"]) or not 0 <= p["heading"] < 360):
            return "heading"
        if p.get("source") != "gps":
            return "source"
        towers = item.get("cellTowers")
        if not isinstance(towers, list) or not towers:
            return "a report needs a cell"
        for t in towers:
            if not isinstance(t, dict) or set(t) - TOWER:
                return "tower fields"
            if t.get("radioType") not in RADIO:
                return "radioType"
            for key, lo, hi in (("mobileCountryCode", 1, 999), ("mobileNetworkCode", 0, 999),
                                ("locationAreaCode", 0, 2**32), ("cellId", 0, 2**32)):
                if not is_int(t.get(key)) or not lo <= t[key] <= hi:
                    return key
            if "signalStrength" in t and (not is_int(t["signalStrength"])
                                          or not -150 <= t["signalStrength"] <= -20):
                return "signalStrength"
            if "primaryScramblingCode" in t and not is_int(t["primaryScramblingCode"]):
                return "primaryScramblingCode"
            if "timingAdvance" in t and (not is_int(t["timingAdvance"]) or t["timingAdvance"] < 0):
                return "timingAdvance"
            if t.get("serving") not in (0, 1):
                return "serving"
    return None


def main():
    port_file, log_file = sys.argv[1], sys.argv[2]
    plan, refuse = [], set()
    args = sys.argv[3:]
    for flag, value in zip(args[::2], args[1::2]):
        if flag == "--plan":
            plan = [p for p in value.split(",") if p]
        elif flag == "--refuse":
            refuse = {int(t) for t in value.split(",") if t}

    def log(entry):
        with open(log_file, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")

    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def answer(self, status, body=b"{}"):
            self.send_response(status)
            self.send_header("Content-Type", "application/json")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def do_POST(self):
            length = int(self.headers.get("Content-Length", "0"))
            raw = self.rfile.read(length)
            step = plan.pop(0) if plan else "ok"
            if step == "drop":
                self.close_connection = True
                self.connection.close()
                return
            if step != "ok":
                self.answer(int(step))
                return
            if self.headers.get("Content-Encoding") != "gzip":
                log({"schema_error": "body not gzip"})
                self.answer(400)
                return
            try:
                doc = json.loads(gzip.decompress(raw))
            except (OSError, ValueError) as e:
                log({"schema_error": "unreadable: %s" % e})
                self.answer(400)
                return
            problem = schema_problem(doc)
            if problem:
                log({"schema_error": problem})
                self.answer(400)
                return
            if any(item["timestamp"] in refuse for item in doc["items"]):
                self.answer(400, b'{"error": "refused"}')
                return
            for item in doc["items"]:
                log({"timestamp": item["timestamp"],
                     "cells": sorted(t["cellId"] for t in item["cellTowers"])})
            self.answer(200)

    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    with open(port_file + ".tmp", "w", encoding="utf-8") as f:
        f.write(str(server.server_address[1]))
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
