#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Phone-book read speed and GUI responsiveness of Funkor against the simulated phone.

Runs funkor-phonesim at 19200 baud with its answer delay and a SIM phone book
of 200 entries, runs funkor on it (headless, own data folder) through the
first full pass of its command schedule, and prints JSON:

  phonebook.elapsedSeconds  from the first "AT+CPBR=" the phone received to
                            the end of the answer to the last one (the last
                            command's arrival + answer delay + its answer's
                            bytes on the line)
  phonebook.lineSeconds     what the line needs for those bytes at 19200 baud,
                            10 bits per byte (answers with echo, and the
                            commands after the first)
  phonebook.ratio           elapsed / line (target <= 1.3)
  phonebook.ratioWithoutAnswerDelay  the same with the simulator's answer
                            delay per command taken out of the elapsed time
  phonebook.directClientSeconds  the same reads by a bare client that sends each
                            command as soon as the previous "OK" is in, on the
                            same paced line: what the phone itself allows
  phonebook.ratioToDirectClient  elapsed / direct client: Funkor's own share
  stall.firstPassWorstMs    worst lateness of a 10 ms timer on the GUI thread
                            during the first pass (target <= 50)

Usage: bench/phonebook_bench.py [--build DIR] [--entries N] [--delay MS]
"""

import argparse
import datetime
import json
import os
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time
import tty

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BAUD = 19200
BITS_PER_BYTE = 10


def scenario(entries):
    with open(os.path.join(ROOT, "tools/phonesim/scenarios/berlin.json"), encoding="utf-8") as f:
        s = json.load(f)
    s["timeline"] = []
    for book in s["phoneBooks"]:
        if book["storage"] == "SM":
            book["capacity"] = max(250, entries)
            book["entries"] = [
                {"index": i, "number": "+4930%07d" % (1000000 + i), "name": "Kontakt Nr. %03d" % i}
                for i in range(1, entries + 1)
            ]
    return s


def start_sim(sim, scenario_path, link, extra):
    p = subprocess.Popen([sim, "--scenario", scenario_path, "--link", link] + extra,
                         stdout=subprocess.PIPE, text=True)
    device = p.stdout.readline().strip()
    if not device:
        p.kill()
        raise SystemExit("funkor-phonesim did not start")
    return p, device


def stop(p, sig=signal.SIGTERM, timeout=15):
    if p.poll() is None:
        p.send_signal(sig)
        try:
            p.wait(timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def read_directly(sim, scenario_path, tmp, entries, extra):
    """Reads the phone book as a bare client does, one command after the other's
    "OK". Returns the bytes of each "AT+CPBR=n" command and of its whole answer
    (echo included), and the seconds from the first command's arrival to the
    last answer's end."""
    p, device = start_sim(sim, scenario_path, os.path.join(tmp, "probe-phone"), extra)
    fd = os.open(device, os.O_RDWR | os.O_NOCTTY)
    tty.setraw(fd)
    attrs = termios.tcgetattr(fd)
    attrs[4] = attrs[5] = termios.B19200
    termios.tcsetattr(fd, termios.TCSANOW, attrs)

    def ask(command):
        os.write(fd, command)
        got = b""
        deadline = time.monotonic() + 5
        while not (got.endswith(b"OK\r\n") or got.endswith(b"ERROR\r\n")):
            if time.monotonic() > deadline:
                raise SystemExit("no answer to %r" % command)
            r, _, _ = select.select([fd], [], [], 0.5)
            if r:
                got += os.read(fd, 4096)
        return got

    ask(b'AT+CPBS="SM"\r')
    sizes = []
    started = None
    for i in range(1, entries + 1):
        command = b"AT+CPBR=%d\r" % i
        if started is None:
            # The command counts as arrived once its bytes are on the line.
            started = time.monotonic() + len(command) * BITS_PER_BYTE / BAUD
        sizes.append((len(command), len(ask(command))))
    elapsed = time.monotonic() - started
    os.close(fd)
    stop(p)
    return sizes, elapsed


def read_log(path):
    lines = []
    with open(path, encoding="latin-1") as f:
        for raw in f:
            stamp, _, text = raw.rstrip("\n").partition(" ")
            t = datetime.datetime.strptime(stamp, "%Y-%m-%dT%H:%M:%S.%f").timestamp()
            lines.append((t, text))
    return lines


def sm_reads(log):
    """Arrival times and indexes of the read commands of the first "SM" book."""
    reads, inside = [], False
    for t, text in log:
        if text.startswith('AT+CPBS="SM"'):
            if reads:
                break
            inside = True
        elif inside and text.startswith("AT+CPBS="):
            break
        elif inside and text.startswith("AT+CPBR="):
            reads.append((t, int(text[len("AT+CPBR="):] or 0)))
    return reads


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.environ.get("FUNKOR_BUILD_DIR", os.path.join(ROOT, "build")))
    ap.add_argument("--entries", type=int, default=200)
    ap.add_argument("--delay", type=float, default=40, help="answer delay per command, ms")
    ap.add_argument("--timeout", type=float, default=300)
    args = ap.parse_args()
    sim = os.path.join(args.build, "tools/phonesim/funkor-phonesim")
    funkor = os.path.join(args.build, "app/funkor")
    for exe in (sim, funkor):
        if not os.access(exe, os.X_OK):
            raise SystemExit("not built: %s" % exe)

    with tempfile.TemporaryDirectory(prefix="funkor-bench-") as tmp:
        scenario_path = os.path.join(tmp, "scenario.json")
        with open(scenario_path, "w", encoding="utf-8") as f:
            json.dump(scenario(args.entries), f, ensure_ascii=False)
        sizes, _ = read_directly(sim, scenario_path, tmp, args.entries,
                                 ["--baud", "off", "--delay", "0"])
        _, direct_s = read_directly(sim, scenario_path, tmp, args.entries,
                                    ["--baud", str(BAUD), "--delay", str(args.delay)])

        link = os.path.join(tmp, "phone")
        log_path = os.path.join(tmp, "phone.log")
        probe_path = os.path.join(tmp, "stall.json")
        with open(os.path.join(tmp, "Funkor.ini"), "w") as f:
            f.write("[Devices]\nCOM1=%s\n[Ports]\nGSM=1\nBaud=0\n" % link)
        sim_p, _ = start_sim(sim, scenario_path, link,
                             ["--baud", str(BAUD), "--delay", str(args.delay), "--log", log_path])
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", FUNKOR_STALL_PROBE=probe_path)
        env.pop("FUNKOR_HOME", None)
        started = time.monotonic()
        prog = subprocess.Popen([funkor, "--data-dir", tmp, "--quit-after", str(args.timeout)],
                                env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        first_pass_done = False
        while time.monotonic() - started < args.timeout and prog.poll() is None:
            time.sleep(0.5)
            try:
                with open(probe_path) as f:
                    first_pass_done = json.load(f).get("firstPassDone", False)
            except (OSError, ValueError):
                pass
            if first_pass_done:
                break
        wall = time.monotonic() - started
        stop(prog)
        stop(sim_p)
        with open(probe_path) as f:
            probe = json.load(f)
        reads = sm_reads(read_log(log_path))

    result = {
        "baud": BAUD,
        "answerDelayMs": args.delay,
        "firstPassDone": first_pass_done,
        "firstPassSeconds": round(probe.get("firstPassSeconds", 0), 2),
        "runSeconds": round(wall, 1),
        "stall": {
            "firstPassWorstMs": round(probe.get("firstPassWorstStallMs", 0), 1),
            "worstMs": round(probe.get("worstStallMs", 0), 1),
            "targetMs": 50,
        },
    }
    indexes = [i for _, i in reads]
    complete = indexes == list(range(1, args.entries + 1))
    pb = {"entries": args.entries, "readCommands": len(reads), "complete": complete}
    if reads:
        last_cmd, last_answer = sizes[min(indexes[-1], len(sizes)) - 1]
        line_bytes = sum(a for _, a in sizes[: len(reads)]) + sum(c for c, _ in sizes[1: len(reads)])
        line_s = line_bytes * BITS_PER_BYTE / BAUD
        elapsed = (reads[-1][0] - reads[0][0]) + args.delay / 1000 + last_answer * BITS_PER_BYTE / BAUD
        without_delay = elapsed - len(reads) * args.delay / 1000
        pb.update({
            "lineBytes": line_bytes,
            "lineSeconds": round(line_s, 3),
            "elapsedSeconds": round(elapsed, 3),
            "perEntryMs": round(elapsed / len(reads) * 1000, 1),
            "ratio": round(elapsed / line_s, 3),
            "ratioWithoutAnswerDelay": round(without_delay / line_s, 3),
            "directClientSeconds": round(direct_s, 3),
            "ratioToDirectClient": round(elapsed / direct_s, 3),
            "targetRatio": 1.3,
        })
    result["phonebook"] = pb
    json.dump(result, sys.stdout, indent=2)
    sys.stdout.write("\n")
    return 0 if reads and first_pass_done else 1


if __name__ == "__main__":
    sys.exit(main())
