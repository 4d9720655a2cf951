#!/usr/bin/env python3
# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Position output figures of Funkor, printed as JSON.

latency        funkor on the simulated phone's Berlin drive, its phone line
               relayed through a pseudo-terminal here so that every "+CBM:"
               broadcast page is timed as it leaves for the program, and its
               LAN output read by a client here: the time from a page with a
               new position to the first RMC sentence with a new position on
               the client (target: one output tick, 2 s, plus 50 ms).
               (The first position after start is left out: the program is
               still reading the SIM then.)
ticks, hardwarePort, lanFlood
               from build/bench/funkor-output-bench: the LAN output's period
               as a client sees it over 100 ticks (target 2000 +-20 ms), and
               the worst stall of the window's thread while the hardware-port
               output paces its bytes to a file and while a LAN client floods
               the program (target <= 16 ms each).

Usage: bench/position_output_bench.py [--build DIR] [--seconds S] [--ticks N]
       [--stall-seconds S] [--skip-inprocess]
"""

import argparse
import json
import os
import pty
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import tty

from funkor_rig import free_port

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def rmc_position(line):
    """Latitude and longitude fields of an RMC sentence."""
    f = line.split(",")
    return (f[3], f[5]) if len(f) > 6 else None


def measure_latency(build, seconds):
    sim_bin = os.path.join(build, "tools/phonesim/funkor-phonesim")
    funkor_bin = os.path.join(build, "app/funkor")
    scenario = os.path.join(ROOT, "tools/phonesim/scenarios/berlin.json")
    tmp = tempfile.mkdtemp(prefix="funkor-output-bench-")
    procs = []
    try:
        sim = subprocess.Popen([sim_bin, "--scenario", scenario, "--link",
                                os.path.join(tmp, "phone"), "--baud", "off", "--delay", "40"],
                               stdout=subprocess.PIPE, text=True)
        procs.append(sim)
        device = sim.stdout.readline().strip()
        if not device:
            raise SystemExit("funkor-phonesim did not start")
        sim_fd = os.open(device, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(sim_fd)
        # The program's side of the relay. The slave stays open here as well,
        # so that the program closing and opening it hangs nothing up.
        master_fd, slave_fd = pty.openpty()
        tty.setraw(master_fd)
        tty.setraw(slave_fd)
        os.set_blocking(master_fd, False)
        relay_path = os.ttyname(slave_fd)

        lan_port = free_port()
        data = os.path.join(tmp, "data")
        os.makedirs(data)
        with open(os.path.join(data, "Funkor.ini"), "w") as f:
            f.write("[Devices]\nCOM1=%s\n[Ports]\nGSM=1\nBaud=0\nNMEA=20\n"
                    "[LAN]\nPort=%d\nAddress=127.0.0.1\n[Sources]\nGSM=1\n" % (relay_path, lan_port))
        for name in ("GSMcodes.txt", "O2.txt"):
            src = os.path.join(build, "app", name)
            if os.path.exists(src):
                shutil.copy(src, data)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", FUNKOR_SPRELO4CNTRL="none")
        funkor = subprocess.Popen([funkor_bin, "--data-dir", data, "--quit-after", str(seconds)],
                                  env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        procs.append(funkor)

        pages = []      # (time, hex) of pages with a new text, as they left
        last_page = None
        page_next = False
        from_phone = b""
        client = None
        lan = b""
        last_position = None
        samples = []
        first_seen = False
        end = time.monotonic() + seconds
        while time.monotonic() < end and funkor.poll() is None:
            if client is None:
                try:
                    client = socket.create_connection(("127.0.0.1", lan_port), timeout=0.2)
                    client.setblocking(False)
                except OSError:
                    client = None
            fds = [sim_fd, master_fd] + ([client] if client else [])
            ready, _, _ = select.select(fds, [], [], 0.1)
            if sim_fd in ready:
                try:
                    chunk = os.read(sim_fd, 4096)
                except BlockingIOError:
                    chunk = b""
                from_phone += chunk
                # Whole lines go on one by one, each timed as it is written.
                while b"\r" in from_phone:
                    line, _, from_phone = from_phone.partition(b"\r")
                    os.write(master_fd, line + b"\r")
                    now = time.monotonic()
                    text = line.strip().decode("latin-1")
                    # The line after a "+CBM:" header is the page.
                    if page_next and text:
                        if text != last_page:
                            pages.append((now, text))
                        last_page = text
                    if text:
                        page_next = text.startswith("+CBM:")
                # A prompt without CR ("> ") goes on at once.
                if from_phone.endswith(b"> "):
                    os.write(master_fd, from_phone)
                    from_phone = b""
            if master_fd in ready:
                try:
                    os.write(sim_fd, os.read(master_fd, 4096))
                except (BlockingIOError, OSError):
                    pass
            if client and client in ready:
                try:
                    chunk = client.recv(65536)
                except BlockingIOError:
                    chunk = b""
                if not chunk:
                    client.close()
                    client = None
                    continue
                now = time.monotonic()
                lan += chunk
                while b"\r\n" in lan:
                    line, _, lan = lan.partition(b"\r\n")
                    text = line.decode("latin-1")
                    if not text.startswith("$GPRMC"):
                        continue
                    position = rmc_position(text)
                    if position != last_position:
                        if first_seen:
                            before = [t for t, _ in pages if t <= now]
                            if before:
                                samples.append((now - before[-1]) * 1000)
                        first_seen = True
                        last_position = position
        os.close(sim_fd)
        os.close(master_fd)
        os.close(slave_fd)
    finally:
        for p in reversed(procs):
            if p.poll() is None:
                p.send_signal(signal.SIGTERM)
                try:
                    p.wait(15)
                except subprocess.TimeoutExpired:
                    p.kill()
        shutil.rmtree(tmp, ignore_errors=True)
    result = {"samples": len(samples), "targetMs": 2050}
    if samples:
        result.update(worstMs=round(max(samples), 1), meanMs=round(sum(samples) / len(samples), 1),
                      allMs=[round(s, 1) for s in samples],
                      withinTarget=max(samples) <= 2050)
    return result


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--seconds", type=int, default=150)
    ap.add_argument("--ticks", type=int, default=100)
    ap.add_argument("--stall-seconds", type=int, default=20)
    ap.add_argument("--skip-inprocess", action="store_true")
    a = ap.parse_args()
    subprocess.check_call(["cmake", "--build", a.build, "--target", "funkor-output-bench"],
                          stdout=sys.stderr)
    out = {"latency": measure_latency(a.build, a.seconds)}
    if not a.skip_inprocess:
        r = subprocess.run([os.path.join(a.build, "bench/funkor-output-bench"), "--ticks",
                            str(a.ticks), "--stall-seconds", str(a.stall_seconds)],
                           env=dict(os.environ, QT_QPA_PLATFORM="offscreen"),
                           capture_output=True, text=True, check=True)
        out.update(json.loads(r.stdout))
    json.dump(out, sys.stdout, indent=2)
    print()


if __name__ == "__main__":
    main()
