# SPDX-FileCopyrightText: The Funkor developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Funkor on the simulated phone, with its outputs read and its process watched.

Shared by bench/soak and bench/replug. A rig is one data folder with:

- funkor-phonesim on a scenario, linked at DIR/phone, its command log in
  DIR/sim.log (SIGUSR1 unplugs it, see --replug-after);
- optionally a GPS receiver played from here on a pseudo-terminal linked at
  DIR/gps (RMC and GGA once a second; it can be unplugged and plugged in
  again);
- funkor headless on that folder, the phone on COM 1, the GPS on COM 3,
  logging every new position, the NMEA output either to the LAN (a client
  here reads it) or to COM 2, a pseudo-terminal read here;
- a checker for every NMEA line that arrives: a whole sentence with a
  valid checksum, or it is counted as bad.
"""

import json
import os
import pty
import random
import select
import shutil
import signal
import socket
import subprocess
import termios
import time
import tty

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def free_port():
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port


def nmea_checksum(body):
    c = 0
    for ch in body.encode("latin-1"):
        c ^= ch
    return "%02X" % c


def nmea_valid(line):
    """A whole sentence: "$", body without "$" or "*", "*", two hex digits."""
    if len(line) < 4 or not line.startswith("$") or line[-3] != "*":
        return False
    body = line[1:-3]
    if "$" in body or "*" in body:
        return False
    return nmea_checksum(body) == line[-2:].upper()


class NmeaChecker:
    """Frames received bytes into lines (CR LF) and judges every line."""

    def __init__(self):
        self.buffer = b""
        self.good = 0
        self.bad = []
        self.last_good_at = None
        self.first_good_at = None
        self.rmc_times = []  # (arrival, time field) of each RMC
        self.bytes = 0
        self.max_gap = 0.0  # longest time between two good sentences

    def feed(self, data, now):
        self.bytes += len(data)
        self.buffer += data
        while b"\n" in self.buffer:
            raw, _, self.buffer = self.buffer.partition(b"\n")
            line = raw.rstrip(b"\r").decode("latin-1")
            if not line:
                continue
            if nmea_valid(line):
                self.good += 1
                if self.last_good_at is not None:
                    self.max_gap = max(self.max_gap, now - self.last_good_at)
                self.last_good_at = now
                if self.first_good_at is None:
                    self.first_good_at = now
                if line.startswith("$GPRMC"):
                    fields = line.split(",")
                    self.rmc_times.append((now, fields[1] if len(fields) > 1 else ""))
                    del self.rmc_times[:-200]
            elif len(self.bad) < 20:
                self.bad.append(line[:120])
            else:
                self.bad.append(None)
        if len(self.buffer) > 4096:
            # No line end for 4 KB: that is no NMEA stream.
            self.bad.append(self.buffer[:120].decode("latin-1"))
            self.buffer = b""

    def end_of_stream(self):
        """The sender closed: a partial line left over is a torn sentence."""
        if self.buffer.strip():
            self.bad.append("(torn) " + self.buffer[:120].decode("latin-1"))
        self.buffer = b""

    def bad_count(self):
        return len(self.bad)


class LanClient:
    """Reads the program's LAN output; connects again when dropped."""

    def __init__(self, port):
        self.port = port
        self.sock = None
        self.checker = NmeaChecker()
        self.connects = 0

    def fileno(self):
        return self.sock.fileno()

    def poll_connect(self):
        if self.sock is not None:
            return
        try:
            self.sock = socket.create_connection(("127.0.0.1", self.port), timeout=0.2)
            self.sock.setblocking(False)
            self.connects += 1
        except OSError:
            self.sock = None

    def on_readable(self, now):
        try:
            data = self.sock.recv(65536)
        except BlockingIOError:
            return
        except OSError:
            data = b""
        if not data:
            self.checker.end_of_stream()
            self.sock.close()
            self.sock = None
            return
        self.checker.feed(data, now)

    def close(self):
        if self.sock is not None:
            self.sock.close()
            self.sock = None


class PtyReader:
    """A pseudo-terminal standing in for the serial port of the NMEA output.

    Both ends stay open here, so that the program opening and closing the
    port on every tick hangs nothing up."""

    def __init__(self):
        self.master, self.slave = pty.openpty()
        tty.setraw(self.master)
        tty.setraw(self.slave)
        os.set_blocking(self.master, False)
        self.path = os.ttyname(self.slave)
        self.checker = NmeaChecker()

    def fileno(self):
        return self.master

    def on_readable(self, now):
        try:
            data = os.read(self.master, 65536)
        except (BlockingIOError, OSError):
            return
        self.checker.feed(data, now)

    def close(self):
        os.close(self.master)
        os.close(self.slave)


class GpsReceiver:
    """A GPS receiver on a pseudo-terminal linked at `link`.

    Once a second it sends an RMC and a GGA sentence whose UTC time counts
    up, so that an output sentence tells which second it came from. It can
    be unplugged (the terminal closes, the link goes) and plugged in again
    under the same link."""

    def __init__(self, link, lat=52.5200, lon=13.4050):
        self.link = link
        self.lat, self.lon = lat, lon
        self.master = None
        self.seq = 0
        self.next_at = 0.0
        self.plugged_at = None
        self.opened_at = None  # when the program opened the replugged port
        self.plug_in()

    def plug_in(self):
        master, slave = pty.openpty()
        # The line settings of the slave, set from here: raw, so that nothing
        # is echoed before the program sets its own.
        tty.setraw(master)
        os.set_blocking(master, False)
        path = os.ttyname(slave)
        os.close(slave)
        if os.path.islink(self.link):
            os.unlink(self.link)
        os.symlink(path, self.link)
        self.master = master
        self.plugged_at = time.monotonic()
        self.opened_at = None

    def unplug(self, torn=True):
        """Pulls the plug, by choice in the middle of a sentence."""
        if self.master is None:
            return
        if torn and self.program_listens():
            half = self.sentences()[0]
            try:
                os.write(self.master, half[: random.randint(3, len(half) - 4)])
            except OSError:
                pass
        os.close(self.master)
        self.master = None
        if os.path.islink(self.link):
            os.unlink(self.link)

    def program_listens(self):
        """Whether a program holds the port open (no hang-up on the master)."""
        if self.master is None:
            return False
        p = select.poll()
        p.register(self.master, select.POLLIN)
        for _, ev in p.poll(0):
            if ev & select.POLLHUP:
                return False
        return True

    def utc(self, seq):
        t = 12 * 3600 + seq
        return "%02d%02d%02d.00" % (t // 3600 % 24, t // 60 % 60, t % 60)

    def sentences(self):
        seq = self.seq
        lat = self.lat + seq * 1e-5
        lon = self.lon + seq * 1e-5

        def dm(v, width):
            d = int(v)
            return "%0*d%07.4f" % (width, d, (v - d) * 60)

        rmc = "GPRMC,%s,A,%s,N,%s,E,012.5,045.0,081226,,,A" % (self.utc(seq), dm(lat, 2),
                                                              dm(lon, 3))
        gga = "GPGGA,%s,%s,N,%s,E,1,08,1.0,40.0,M,44.0,M,," % (self.utc(seq), dm(lat, 2),
                                                              dm(lon, 3))
        return [("$%s*%s\r\n" % (s, nmea_checksum(s))).encode() for s in (rmc, gga)]

    def utc_of(self, seq):
        return self.utc(seq)

    def step(self, now):
        if self.master is None:
            return
        if self.opened_at is None and self.program_listens():
            self.opened_at = now
        if now < self.next_at:
            return
        self.next_at = now + 1.0
        # A receiver talks whether anyone listens or not; nobody keeps its
        # words while the port is closed.
        if self.program_listens():
            try:
                os.write(self.master, b"".join(self.sentences()))
            except OSError:
                pass
        self.seq += 1

    def close(self):
        self.unplug(torn=False)


def proc_sample(pid):
    """RSS in kB, CPU seconds (user + system) and open descriptors of `pid`."""
    with open("/proc/%d/status" % pid) as f:
        rss = next(int(l.split()[1]) for l in f if l.startswith("VmRSS:"))
    with open("/proc/%d/stat" % pid) as f:
        stat = f.read()
    fields = stat[stat.rindex(")") + 2:].split()
    ticks = os.sysconf("SC_CLK_TCK")
    cpu = (int(fields[11]) + int(fields[12])) / ticks
    fds = len(os.listdir("/proc/%d/fd" % pid))
    return rss, cpu, fds


def berlin_scenario():
    with open(os.path.join(ROOT, "tools/phonesim/scenarios/berlin.json"), encoding="utf-8") as f:
        return json.load(f)


def with_periodic_sms(scenario, every, text="Soak %d: Bin gleich da."):
    """The scenario with an incoming SMS every `every` seconds of its time
    line, and room on the SIM for all that a long run brings."""
    s = json.loads(json.dumps(scenario))
    period = s.get("repeatEvery") or 300
    t = every / 2.0
    n = 0
    while t < period:
        n += 1
        s["timeline"].append({"t": round(t, 1), "sms": {
            "sender": "+4917612345678", "time": "2026-12-08T08:00:00+01:00", "text": text % n}})
        t += every
    s["timeline"].sort(key=lambda e: e["t"])
    s.setdefault("sms", {})
    if isinstance(s["sms"], dict):
        s["sms"]["capacity"] = 250
    return s


class Rig:
    def __init__(self, build, folder, scenario, output="LAN", gps=False, autosend=0,
                 sim_args=(), replug_ms=1000, quit_after=None,
                 recipient="Mutti : +493098765432"):
        self.build = build
        self.folder = folder
        self.output = output
        os.makedirs(folder, exist_ok=True)
        self.phone_link = os.path.join(folder, "phone")
        self.sim_log = os.path.join(folder, "sim.log")
        self.snapshot = os.path.join(folder, "snapshot.json")
        scenario_path = os.path.join(folder, "scenario.json")
        with open(scenario_path, "w", encoding="utf-8") as f:
            json.dump(scenario, f)
        self.sim = subprocess.Popen(
            [os.path.join(build, "tools/phonesim/funkor-phonesim"), "--scenario", scenario_path,
             "--link", self.phone_link, "--log", self.sim_log, "--replug-after",
             str(replug_ms)] + list(sim_args), stdout=subprocess.PIPE, text=True)
        if not self.sim.stdout.readline().strip():
            raise SystemExit("funkor-phonesim did not start")
        self.gps = GpsReceiver(os.path.join(folder, "gps")) if gps else None
        self.pty_out = PtyReader() if output == "COM2" else None
        self.lan_port = free_port()
        self.lan = LanClient(self.lan_port) if output == "LAN" else None
        sources = "GSM=1\nGPS=1\nSMS=1\nMULTI=1\n" if gps else "GSM=1\n"
        with open(os.path.join(folder, "Funkor.ini"), "w") as f:
            f.write("[Devices]\nCOM1=%s\nCOM2=%s\nCOM3=%s\n"
                    "[Ports]\nGSM=1\nBaud=0\nNMEA=%d\nGPS=%d\n"
                    "[LAN]\nPort=%d\nAddress=127.0.0.1\n[Map]\nPort=%d\n"
                    "[Trace]\non=1\nnew=0\n"
                    "[Sources]\n%sAutoSend=%d\n"
                    % (self.phone_link, self.pty_out.path if self.pty_out else "/dev/null",
                       os.path.join(folder, "gps"), 20 if output == "LAN" else 2,
                       3 if gps else 0, self.lan_port, free_port(), sources, autosend))
        for name in ("GSMcodes.txt", "O2.txt"):
            src = os.path.join(build, "app", name)
            if os.path.exists(src):
                shutil.copy(src, folder)
        for name in ("Funkor.clf", "Funkor.txt"):
            src = os.path.join(ROOT, "data/demo", name)
            if os.path.exists(src):
                shutil.copy(src, folder)
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen", FUNKOR_SPRELO4CNTRL="none")
        args = [os.path.join(build, "app/funkor"), "--data-dir", folder, "--snapshot",
                self.snapshot]
        if quit_after:
            args += ["--quit-after", str(quit_after)]
        # The automatic position SMS goes only to an entry the user chose:
        # here, one of the scenario's SIM book named at start.
        if recipient:
            args += ["--recipient", recipient]
        self.stderr = open(os.path.join(folder, "funkor.err"), "w")
        self.funkor = subprocess.Popen(args, env=env, stdout=subprocess.DEVNULL,
                                       stderr=self.stderr)
        self.log_path = os.path.join(folder, "Funkor.log")

    def readers(self):
        r = []
        if self.lan is not None:
            self.lan.poll_connect()
            if self.lan.sock is not None:
                r.append(self.lan)
        if self.pty_out is not None:
            r.append(self.pty_out)
        return r

    def checker(self):
        return self.lan.checker if self.lan is not None else self.pty_out.checker

    def pump(self, seconds):
        """Reads the outputs and plays the GPS receiver for `seconds`."""
        end = time.monotonic() + seconds
        while True:
            now = time.monotonic()
            if self.gps is not None:
                self.gps.step(now)
            left = end - now
            if left <= 0:
                return
            rs = self.readers()
            ready, _, _ = select.select(rs, [], [], min(left, 0.1)) if rs else ([], [], [])
            if not rs:
                time.sleep(min(left, 0.1))
            now = time.monotonic()
            for r in ready:
                r.on_readable(now)

    def alive(self):
        return self.funkor.poll() is None

    def log_size(self):
        try:
            return os.path.getsize(self.log_path)
        except OSError:
            return 0

    def sim_log_lines(self):
        try:
            with open(self.sim_log, encoding="latin-1") as f:
                return f.read().splitlines()
        except OSError:
            return []

    def unplug_phone(self):
        self.sim.send_signal(signal.SIGUSR1)

    def stop(self, timeout=20):
        """Ends funkor as Ctrl+C does; its exit code (None: it hung)."""
        code = None
        if self.funkor.poll() is None:
            self.funkor.send_signal(signal.SIGINT)
        try:
            code = self.funkor.wait(timeout)
        except subprocess.TimeoutExpired:
            self.funkor.kill()
            self.funkor.wait()
        else:
            code = self.funkor.returncode
        self.stderr.close()
        return code

    def close(self):
        if self.funkor.poll() is None:
            self.funkor.kill()
            self.funkor.wait()
        if self.sim.poll() is None:
            self.sim.terminate()
            try:
                self.sim.wait(5)
            except subprocess.TimeoutExpired:
                self.sim.kill()
        if self.lan is not None:
            self.lan.close()
        if self.pty_out is not None:
            self.pty_out.close()
        if self.gps is not None:
            self.gps.close()


def phone_contents(link, timeout=10):
    """What the simulated phone holds, asked on its port as any AT client
    would: the entries of the books SM, FD, ON and the stored SMS as
    {index: "length:PDU"}."""
    fd = os.open(link, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
    tty.setraw(fd)
    termios.tcsetattr(fd, termios.TCSANOW, termios.tcgetattr(fd))

    def ask(command):
        os.write(fd, command.encode("latin-1") + b"\r")
        got = b""
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            r, _, _ = select.select([fd], [], [], 0.2)
            if r:
                try:
                    got += os.read(fd, 65536)
                except BlockingIOError:
                    pass
            lines = got.decode("latin-1").replace("\r", "\n").split("\n")
            if any(l.strip() in ("OK", "ERROR") or l.startswith("+CME ERROR") or
                   l.startswith("+CMS ERROR") for l in lines):
                return [l for l in lines if l.strip()]
        raise RuntimeError("no answer to " + command)

    try:
        ask("ATE0")
        books = {}
        for book in ("SM", "FD", "ON"):
            status = [l for l in ask('AT+CPBS="%s";+CPBS?' % book) if l.startswith("+CPBS:")]
            total = int(status[0].split(",")[2]) if status else 0
            entries = []
            if total:
                for l in ask("AT+CPBR=1,%d" % total):
                    if l.startswith("+CPBR:"):
                        entries.append(l)
            books[book] = entries
        sms = {}
        lines = ask("AT+CMGL=4")
        for i, l in enumerate(lines):
            if l.startswith("+CMGL:") and i + 1 < len(lines):
                head = l[6:].split(",")
                sms[int(head[0])] = "%s:%s" % (head[-1].strip(), lines[i + 1].strip())
        return books, sms
    finally:
        os.close(fd)
