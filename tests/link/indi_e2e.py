#!/usr/bin/env python3
"""A real planetarium client against the program: INDI's own server with its "LX200 Basic"
and "LX200 Classic" drivers, connected over TCP to `axo --simulate` with the position link on.

Checks that the coordinates INDI reads agree to the second with what the main window shows
(the program prints its labels with AXO_LINK_REPORT), also after a refused go-to and a refused
sync, which INDI must report as failures; that the date, time and offset INDI's Standard LX200
reads under a zone an hour from UTC give the right UTC; then, on a link that takes commands,
that a go-to below the horizon is refused as INDI understands it, that go-tos from LX200 Basic
and LX200 Classic bring the telescope to the target (Classic asks :D# whether the slew is over),
that INDI's abort stops a go-to on the way, that a move asked from INDI moves the simulated
telescope and INDI's abort stops it, that a driver disconnecting in the middle of its move stops
it, and that a sync lands on the target; INDI's reading agrees with the window after each.

The INDI server gets a local socket of its own, so that the test runs beside any other.

Usage: indi_e2e.py AXO_BINARY. Exit 77 (skipped) when indi-bin is not installed."""

import datetime
import glob
import html
import math
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(condition, seconds, step=0.2):
    """True as soon as condition() holds; a loaded machine gets the whole time, a quiet one none."""
    end = time.time() + seconds
    while True:
        if condition():
            return True
        if time.time() >= end:
            return False
        time.sleep(step)


def wait_still(run, seconds):
    """Whether the declination shown stopped changing from one second to the next, and its last value."""
    last = [run.shown()[1]]

    def settled():
        time.sleep(1.0)
        now = run.shown()[1]
        same = now == last[0]
        last[0] = now
        return same

    return wait_until(settled, seconds, step=0), last[0]


def wait_port(port, seconds):
    end = time.time() + seconds
    while time.time() < end:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=0.5).close()
            return True
        except OSError:
            time.sleep(0.1)
    return False


class Run:
    def __init__(self, axo):
        self.axo_path = axo
        self.tmp = tempfile.mkdtemp(prefix="axo-indi-")
        self.indi = free_port()
        self.link = None
        conf = os.path.join(self.tmp, "axo")
        os.makedirs(conf)
        with open(os.path.join(conf, "Axo.ini"), "w") as f:
            f.write("[Axo]\ndisplay_hangle= 0\n")  # the window shows the right ascension
        # An hour east of Greenwich, for the program and INDI's drivers alike: the local time the
        # link gives must come back to UTC with the offset it gives.
        self.env = dict(os.environ, XDG_CONFIG_HOME=self.tmp, XDG_STATE_HOME=os.path.join(self.tmp, "state"),
                        HOME=self.tmp, QT_QPA_PLATFORM="offscreen", AXO_LINK_REPORT="1", TZ="Europe/Paris")
        self.report = None
        self.axo = None
        self.server = None
        self.watcher = None
        self.said = []

    def start_axo(self, control):
        """The program with a link on a new port, read-only or taking commands."""
        self.link = free_port()
        with open(os.path.join(self.tmp, "axo", "hardware.ini"), "w") as f:
            f.write(f"[link]\nenabled=1\nport={self.link}\ncontrol={1 if control else 0}\n")
        self.report = open(os.path.join(self.tmp, f"axo-{self.link}.err"), "w+")
        self.axo = subprocess.Popen([self.axo_path, "--simulate", "--no-welcome"], env=self.env,
                                    stdout=subprocess.DEVNULL, stderr=self.report, cwd=self.tmp)
        return wait_port(self.link, 30)

    def stop_axo(self):
        self.axo.terminate()
        self.axo.wait(15)

    def start_indi(self):
        # Its own local socket (-u): every indiserver binds /tmp/indiserver otherwise, and the
        # second one on the machine does not start.
        self.server = subprocess.Popen(["indiserver", "-u", os.path.join(self.tmp, "indiserver"), "-p",
                                        str(self.indi), "indi_lx200basic", "indi_lx200classic"],
                                       env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=self.tmp)
        if not wait_port(self.indi, 10):
            raise SystemExit("FAIL: indiserver did not start")
        # What the drivers tell their clients ("Synchronization successful.", errors...).
        self.watcher = socket.create_connection(("127.0.0.1", self.indi), timeout=5)
        self.watcher.sendall(b'<getProperties version="1.7"/>')
        threading.Thread(target=self.listen, daemon=True).start()

    def listen(self):
        self.watcher.settimeout(None)
        data = ""
        while True:
            try:
                chunk = self.watcher.recv(65536)
            except OSError:
                return
            if not chunk:
                return
            data += chunk.decode("utf-8", "replace")
            # Attributes are complete once their element's tag is closed.
            end = data.rfind(">")
            if end < 0:
                continue
            done, data = data[:end + 1], data[end + 1:]
            for m in re.finditer(r'device="([^"]*)"[^>]*?message="([^"]*)"', done):
                self.said.append((m.group(1), html.unescape(m.group(2))))

    def stop(self):
        for p in (self.server, self.axo):
            if p is not None and p.poll() is None:
                p.terminate()
                try:
                    p.wait(10)
                except subprocess.TimeoutExpired:
                    p.kill()
        if self.watcher is not None:
            self.watcher.close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def night_log(self):
        text = ""
        for name in glob.glob(os.path.join(self.tmp, "state", "axo", "*")):
            with open(name, encoding="utf-8", errors="replace") as f:
                text += f.read()
        return text

    def setprop(self, spec):
        subprocess.run(["indi_setprop", "-p", str(self.indi), spec], check=True, env=self.env)

    def getprop(self, spec, timeout=2):
        r = subprocess.run(["indi_getprop", "-1", "-t", str(timeout), "-p", str(self.indi), spec],
                           capture_output=True, text=True, env=self.env)
        return r.stdout.strip() if r.returncode == 0 else None

    def wait_prop(self, spec, value, seconds):
        end = time.time() + seconds
        while time.time() < end:
            if self.getprop(spec, 1) == value:
                return True
            time.sleep(0.3)
        return False

    def shown(self):
        """The main window's last position: ((h, m, s), dec arc-seconds)."""
        self.report.flush()
        with open(self.report.name) as f:
            lines = [l for l in f if l.startswith("axo-shown-position ")]
        if not lines:
            return None
        m = re.match(r"axo-shown-position (\d\d) (\d\d) (\d\d) (-?)\+?(\d\d) (\d\d) (\d\d)", lines[-1])
        if not m:
            return None
        ra = tuple(int(x) for x in m.group(1, 2, 3))
        sign = -1 if m.group(4) == "-" else 1
        dec = sign * (int(m.group(5)) * 3600 + int(m.group(6)) * 60 + int(m.group(7)))
        return ra, dec

    def direct(self, commands):
        """Sends LX200 commands and returns the answers, read until one '#' per command."""
        with socket.create_connection(("127.0.0.1", self.link), timeout=5) as s:
            s.sendall(commands.encode())
            data = b""
            while data.count(b"#") < commands.count("#"):
                chunk = s.recv(256)
                if not chunk:
                    break
                data += chunk
            return data.decode("latin-1")

    def disconnect(self, device):
        self.setprop(f"{device}.CONNECTION.DISCONNECT=On")
        if not self.wait_prop(f"{device}.CONNECTION.CONNECT", "Off", 15):
            raise SystemExit(f"FAIL: {device} did not disconnect")

    def told(self, device, since, seconds):
        """What the driver told its clients after message number `since`, once it said anything."""
        wait_until(lambda: len([1 for d, _ in self.said[since:] if d == device]) > 0, seconds)
        time.sleep(0.5)  # the lines that come with it
        return [m for d, m in self.said[since:] if d == device]

    def connect(self, device):
        self.setprop(f"{device}.CONNECTION_MODE.CONNECTION_TCP=On")
        time.sleep(0.5)
        self.setprop(f"{device}.DEVICE_ADDRESS.ADDRESS;PORT=127.0.0.1;{self.link}")
        time.sleep(0.5)
        self.setprop(f"{device}.CONNECTION.CONNECT=On")
        if not self.wait_prop(f"{device}.CONNECTION.CONNECT", "On", 15):
            raise SystemExit(f"FAIL: {device} did not connect to the link")


def ra_seconds(t):
    return t[0] * 3600 + t[1] * 60 + t[2]


def check(condition, message):
    print(("ok   " if condition else "FAIL ") + message, flush=True)
    if not condition:
        raise SystemExit(1)


def position_agrees(run):
    """INDI's reading against the window's labels, to the second."""
    for _ in range(5):
        before = run.shown()
        ra = run.getprop("LX200 Basic.EQUATORIAL_EOD_COORD.RA")
        dec = run.getprop("LX200 Basic.EQUATORIAL_EOD_COORD.DEC")
        after = run.shown()
        if ra is None or dec is None or before is None or after is None:
            continue
        ra_s = round(float(ra) * 3600)
        dec_s = round(float(dec) * 3600)
        print(f"     INDI {ra_s} s {dec_s}\", window {before} .. {after}")
        # The right ascension moves by a second per second when the telescope stands
        # still: the value INDI holds was shown at some moment of the reading.
        # (Differences taken round the clock: 23:59:59 and 00:00:00 are a second apart.)
        lag = (ra_seconds(after[0]) - ra_s) % 86400
        span = (ra_seconds(after[0]) - ra_seconds(before[0])) % 86400
        if lag <= span + 1 and dec_s in (before[1], after[1]):
            return True
        time.sleep(0.5)
    return False


def refused(run, mode, what, target="10.5;20"):
    """A go-to or a sync from INDI's LX200 Basic that the link refuses: INDI must say it failed."""
    run.setprop(f"LX200 Basic.ON_COORD_SET.{mode}=On")
    time.sleep(0.3)
    since = len(run.said)
    run.setprop(f"LX200 Basic.EQUATORIAL_EOD_COORD.RA;DEC={target}")
    told = run.told("LX200 Basic", since, 10)
    print(f"     INDI: {told}")
    check(told and not any("successful" in m or m.startswith("Slewing to") for m in told)
          and any("rror" in m or "failed" in m for m in told), f"INDI reports the refused {what} as a failure")
    # Its next readings are answers to its own questions again.
    time.sleep(1.0)
    check(position_agrees(run), f"after the refused {what}, INDI's position agrees with the window to the second")


def sexa(text):
    """Hours or degrees of an LX200 answer (HH:MM:SS#, sDD*MM:SS# or sDD*MM#)."""
    m = re.match(r"([+-]?)(\d+)[:*](\d\d)(?::(\d\d))?#", text)
    value = int(m.group(2)) + int(m.group(3)) / 60 + int(m.group(4) or 0) / 3600
    return -value if m.group(1) == "-" else value


def near_target(run, device, ra, dec):
    """Arc-minutes from INDI's reading to the target (right ascension counted on the hour-angle
    axis, as the go-to's tolerance is), or None without a reading."""
    r = run.getprop(f"{device}.EQUATORIAL_EOD_COORD.RA", 1)
    d = run.getprop(f"{device}.EQUATORIAL_EOD_COORD.DEC", 1)
    if r is None or d is None:
        return None
    dra = ((float(r) - ra + 12) % 24 - 12) * 15 * 60
    return max(abs(dra), abs(float(d) - dec) * 60)


def goto_and_abort(run):
    """Go-tos from INDI to a target a few degrees away, inside the limits now: LX200 Basic sees
    the telescope arrive (it compares the position with its target), LX200 Classic too (it asks
    :D#, which must not say "over" before the telescope is there); INDI's abort stops one in
    progress, and the reads that follow are answers to their own questions."""
    answer = run.direct(":GS#:Gt#:GR#:GD#")
    lst, lat, ra_now, dec_now = (sexa(a + "#") for a in answer.split("#")[:4])
    ha_now = (lst - ra_now + 12) % 24 - 12

    def inside(ha, dec):
        alt = math.degrees(math.asin(math.sin(math.radians(lat)) * math.sin(math.radians(dec)) +
                                     math.cos(math.radians(lat)) * math.cos(math.radians(dec)) *
                                     math.cos(math.radians(ha * 15))))
        return abs(ha) < 5 and -80 < dec < 80 and alt > 20

    def target(dha_deg, ddec):
        for sign in (1, -1):
            ha, dec = ha_now + sign * dha_deg / 15, dec_now + sign * ddec
            if inside(ha, dec):
                # Where that hour angle will be a few seconds from now, as the sky turns.
                return (lst - ha) % 24, dec
        raise SystemExit(f"FAIL: no target near HA {ha_now:.2f} h, dec {dec_now:.2f}")

    for device, (dha, ddec) in (("LX200 Basic", (3, 3)), ("LX200 Classic", (-2, -2))):
        ra, dec = target(dha, ddec)
        run.setprop(f"{device}.ON_COORD_SET.TRACK=On")
        time.sleep(0.3)
        since = len(run.said)
        arrivals = run.night_log().count("cible du planétarium atteint")
        started = time.time()
        run.setprop(f"{device}.EQUATORIAL_EOD_COORD.RA;DEC={ra:.6f};{dec:.6f}")
        done = wait_until(lambda: any("Slew is complete" in m for d, m in run.said[since:] if d == device), 90)
        told = [m for d, m in run.said[since:] if d == device]
        if device == "LX200 Basic":
            # It calls the slew complete within its own accuracy (3'), the go-to goes on to its
            # tolerance; LX200 Classic asks :D#, which says "over" only once the go-to is.
            wait_until(lambda: run.night_log().count("cible du planétarium atteint") > arrivals, 30)
        off = near_target(run, device, ra, dec)
        print(f"     {device}: {told}, {off} arc-minutes off after {time.time() - started:.0f} s")
        if not done or off is None or off > 1.5:
            # What the go-to said, for whoever reads the failure.
            lines = [l for l in run.night_log().splitlines() if "ointage" in l or "arrêt" in l]
            print("     night log:\n       " + "\n       ".join(lines[-15:]))
        check(done and not any("rror" in m for m in told), f"{device}'s go-to is taken and completes")
        check(off is not None and off <= 1.5, f"{device} reads the target back within 1.5' ({off})")
        check(run.night_log().count("cible du planétarium atteint") > arrivals, "the message list tells the arrival")
        ha_now, dec_now = (lst - ra + 12) % 24 - 12, dec
        answer = run.direct(":GS#")
        lst = sexa(answer)
    check(position_agrees(run), "after the go-tos, INDI's position agrees with the window to the second")

    # Abort: a longer go-to, stopped as soon as the telescope moves.
    ra, dec = target(8, 6)
    start = run.shown()[1]
    run.setprop("LX200 Basic.EQUATORIAL_EOD_COORD.RA;DEC=%.6f;%.6f" % (ra, dec))
    check(wait_until(lambda: abs(run.shown()[1] - start) > 60, 30), "the longer go-to moves the telescope")
    run.setprop("LX200 Basic.TELESCOPE_ABORT_MOTION.ABORT=On")
    check(wait_still(run, 15)[0], "INDI's abort stops the go-to")
    time.sleep(1.5)
    off = abs(run.shown()[1] - dec * 3600) / 60
    check(off > 30, f"stopped on the way, {off:.0f}' short of the target's declination")
    check("arrêté : arrêt demandé par le lien LX200" in run.night_log(), "the message list tells why it stopped")
    check(position_agrees(run), "after the abort, INDI's position agrees with the window to the second")


def main():
    if shutil.which("indiserver") is None or shutil.which("indi_lx200basic") is None:
        print("SKIPPED: indi-bin is not installed (scripts/install-deps installs it)")
        return SKIP
    run = Run(os.path.abspath(sys.argv[1]))
    try:
        # A read-only link first.
        check(run.start_axo(control=False), "the link listens")
        run.start_indi()
        run.connect("LX200 Basic")
        run.setprop("LX200 Basic.POLLING_PERIOD.PERIOD_MS=200")
        time.sleep(1.5)
        check(position_agrees(run), "INDI's EQUATORIAL_EOD_COORD agrees with the main window to the second")
        refused(run, "TRACK", "go-to")
        refused(run, "SYNC", "sync")
        check("refusé (lien en lecture seule)" in run.night_log(), "the message list tells the refusals")

        # Local date and time with their offset: back to UTC, by hand and by INDI.
        answer = run.direct(":GC#:GL#:GG#")
        m = re.match(r"(\d\d)/(\d\d)/(\d\d)#(\d\d):(\d\d):(\d\d)#([+-]\d\d\.\d)#", answer)
        check(m is not None, f":GC#:GL#:GG# is well formed ({answer!r})")
        local = datetime.datetime(2000 + int(m.group(3)), int(m.group(1)), int(m.group(2)),
                                  int(m.group(4)), int(m.group(5)), int(m.group(6)), tzinfo=datetime.timezone.utc)
        utc = local + datetime.timedelta(hours=float(m.group(7)))
        now = datetime.datetime.now(datetime.timezone.utc)
        check(abs((utc - now).total_seconds()) <= 3, f"local time {answer!r} plus its offset is UTC ({now:%H:%M:%S})")
        run.connect("LX200 Classic")
        indi_utc = None
        if wait_until(lambda: run.getprop("LX200 Classic.TIME_UTC.UTC", 1), 10):
            indi_utc = datetime.datetime.fromisoformat(run.getprop("LX200 Classic.TIME_UTC.UTC")).replace(
                tzinfo=datetime.timezone.utc)
        now = datetime.datetime.now(datetime.timezone.utc)
        check(indi_utc is not None and abs((indi_utc - now).total_seconds()) <= 15,
              f"INDI's Standard LX200 takes UTC {indi_utc} from the link ({now:%H:%M:%S})")

        # Then a link that takes commands.
        run.disconnect("LX200 Basic")
        run.disconnect("LX200 Classic")
        run.stop_axo()
        check(run.start_axo(control=True), "the link taking commands listens")
        run.connect("LX200 Basic")
        run.connect("LX200 Classic")
        time.sleep(1.5)
        refused(run, "TRACK", "go-to below the horizon", "10.5;-80")
        goto_and_abort(run)
        direct = run.direct(":GR#:GD#")
        now = run.shown()
        m = re.match(r"(\d\d):(\d\d):(\d\d)#([+-])(\d\d)\*(\d\d):(\d\d)#", direct)
        check(m is not None, f"direct :GR#:GD# is well formed ({direct!r})")
        direct_ra = int(m.group(1)) * 3600 + int(m.group(2)) * 60 + int(m.group(3))
        direct_dec = (-1 if m.group(4) == "-" else 1) * (int(m.group(5)) * 3600 + int(m.group(6)) * 60 + int(m.group(7)))
        check(min((direct_ra - ra_seconds(now[0])) % 86400, (ra_seconds(now[0]) - direct_ra) % 86400) <= 1
              and direct_dec == now[1],
              f"direct read {direct!r} matches the window {now}")

        # Control: a move north from the LX200 Classic driver, then INDI's abort.
        start = run.shown()[1]
        run.setprop("LX200 Classic.TELESCOPE_MOTION_NS.MOTION_NORTH=On")
        wait_until(lambda: run.shown()[1] > start + 5, 15)
        moved = run.shown()[1]
        check(moved > start, f"a move north from INDI moves the telescope ({start}\" -> {moved}\")")
        run.setprop("LX200 Basic.TELESCOPE_ABORT_MOTION.ABORT=On")
        # Stopped: the declination no longer changes from one second to the next.
        still, stopped = wait_still(run, 15)
        check(still, "INDI's abort stops the move")
        time.sleep(1.5)
        check(run.shown()[1] == stopped, f"INDI's abort stops it (declination stays at {stopped}\")")

        # A driver that disconnects in the middle of its move (INDI sends no stop then): the
        # link stops the move that client started. For INDI the first move is still on.
        run.setprop("LX200 Classic.TELESCOPE_MOTION_NS.MOTION_NORTH;MOTION_SOUTH=Off;Off")
        time.sleep(0.5)
        start = run.shown()[1]
        run.setprop("LX200 Classic.TELESCOPE_MOTION_NS.MOTION_NORTH=On")
        wait_until(lambda: run.shown()[1] > start + 5, 15)
        run.setprop("LX200 Classic.CONNECTION.DISCONNECT=On")
        still, stopped = wait_still(run, 15)
        check(still, "a driver that disconnects stops its own move")
        time.sleep(1.5)
        check(stopped > start and run.shown()[1] == stopped,
              f"moved north then stopped on the departure ({start}\" -> {stopped}\")")

        # Sync: a calibration on the target; the window then shows the target.
        run.setprop("LX200 Basic.ON_COORD_SET.SYNC=On")
        time.sleep(0.3)
        run.setprop("LX200 Basic.EQUATORIAL_EOD_COORD.RA;DEC=10.5;-0.5")
        wait_until(lambda: run.shown()[1] == -1800, 15)
        ra_after, dec_after = run.shown()
        check(dec_after == -1800, f"after a sync on -00*30:00 the window shows {dec_after}\"")
        check(abs(ra_seconds(ra_after) - 37800) <= 3,
              f"after a sync on 10:30:00 the window shows {ra_after}")
        check(run.axo.poll() is None, "the program is still running")
        return 0
    finally:
        run.stop()


if __name__ == "__main__":
    sys.exit(main())
