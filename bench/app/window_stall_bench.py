#!/usr/bin/python3
"""The longest time the window's thread is away from its events (one event or tick that
does not return), under Xvfb with a session bus of its own, while a user:

  pick      double-clicks a track in the list of a folder of 100,000 files (and, before,
            opens the track panel listing it);
  big mp3   opens a 1 GB MP3 ("volnar FILE" while the player runs, as a file manager's
            "Open with" does), the file's pages first dropped from the page cache with
            posix_fadvise(DONTNEED) (fincore tells how much was left cached);
  slow disk changes the volume three times on a disk whose fsync takes --fsync-ms (1 s;
            the preloaded slow_fsync library): one write at once, one due ten seconds later;
  start     starts the player on a remembered folder of 100,000 files: the time from the
            process's start to its first window's MapNotify, and the longest stall in the
            five seconds after it.

Target: every stall under 50 ms.

How a stall is measured: a probe process of its own asks the player for a property over the
session bus (org.freedesktop.DBus.Properties.Get of MPRIS's Identity) every 5 ms, waiting for
each answer. Qt hands a call to an object's own thread, and the player's objects live on the
window's thread, so an answer waits for that thread to return to its event wait; the longest
wait is the longest stall, give or take the 5 ms between calls and the bus's own latency
(the idle floor, printed with each case). A call's wait is counted only inside its case's
window of time. Before the cases, the probe is checked against a known stall: the player
stopped by SIGSTOP for 200 ms.

    /usr/bin/python3 bench/app/window_stall_bench.py build/volnar [--rounds 3]
        [--slow-fsync build/tests/e2e/slow_fsync.so] [--fsync-ms 1000] [--work DIR]
        [--backtraces]

--work keeps the folder of 100,000 files and the 1 GB file between runs (made on the first).
--backtraces samples the window's thread with gdb during each action and prints where it
was; gdb stops the process to look, so that run's figures are not the player's.
Exit code 1 when a target is missed.
"""

import argparse
import ctypes
import json
import os
import select
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "e2e"))

from harness import PlayerSession, run_inside_private_bus, state_text  # noqa: E402
from sound import make_tone  # noqa: E402

TARGET_MS = 50
PROBE_INTERVAL = 0.005
TRACKS = 100000
REAL_TRACKS = 5  # the first names of the folder are real tones, the rest empty files
BIG_BYTES = 1 << 30
PL_BUTTON = (476, 216)
ROW = (105 + 40, 240, 14)  # the track list's first row (x, top) and row height
VOLUME_DOT = (139 + 2, 100)  # the first of the ten dots, 8 pixels apart

# --- the probe: a process of its own, so that nothing of the bench delays its calls ------


class _DBusError(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("message", ctypes.c_char_p),
                ("bits", ctypes.c_uint), ("padding", ctypes.c_void_p * 4)]


def run_probe():
    """Asks the player every PROBE_INTERVAL until its standard input is closed, then writes
    [sent, waited] of every answered call as JSON. Calls that fail (no player on the bus
    yet) are not answers and are left out."""
    lib = ctypes.CDLL("libdbus-1.so.3")
    lib.dbus_bus_get_private.restype = ctypes.c_void_p
    lib.dbus_message_new_method_call.restype = ctypes.c_void_p
    lib.dbus_connection_send_with_reply_and_block.restype = ctypes.c_void_p
    lib.dbus_connection_send_with_reply_and_block.argtypes = [
        ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int, ctypes.c_void_p]
    lib.dbus_message_unref.argtypes = [ctypes.c_void_p]
    lib.dbus_message_set_auto_start.argtypes = [ctypes.c_void_p, ctypes.c_uint]
    lib.dbus_message_append_args.argtypes = [ctypes.c_void_p, ctypes.c_int]
    lib.dbus_connection_set_exit_on_disconnect.argtypes = [ctypes.c_void_p, ctypes.c_uint]
    error = _DBusError()
    lib.dbus_error_init(ctypes.byref(error))
    connection = lib.dbus_bus_get_private(0, ctypes.byref(error))  # DBUS_BUS_SESSION
    if not connection:
        sys.exit(f"probe: no session bus: {error.message}")
    lib.dbus_connection_set_exit_on_disconnect(connection, 0)
    try:
        os.nice(-5)  # a busy machine delays the probe less than the player
    except OSError:
        pass
    interface = ctypes.c_char_p(b"org.mpris.MediaPlayer2")
    name = ctypes.c_char_p(b"Identity")
    string = ord("s")
    samples = []
    poller = select.poll()
    poller.register(sys.stdin.fileno(), select.POLLIN | select.POLLHUP)
    while not poller.poll(0):
        message = lib.dbus_message_new_method_call(
            b"org.mpris.MediaPlayer2.volnar", b"/org/mpris/MediaPlayer2",
            b"org.freedesktop.DBus.Properties", b"Get")
        lib.dbus_message_append_args(message, string, ctypes.byref(interface), string,
                                     ctypes.byref(name), 0)
        lib.dbus_message_set_auto_start(message, 0)
        sent = time.monotonic()
        reply = lib.dbus_connection_send_with_reply_and_block(connection, message, 60000,
                                                              ctypes.byref(error))
        answered = time.monotonic()
        lib.dbus_message_unref(message)
        if reply:
            lib.dbus_message_unref(reply)
            samples.append((sent, answered - sent))
        else:
            lib.dbus_error_free(ctypes.byref(error))
        pause = sent + PROBE_INTERVAL - time.monotonic()
        if pause > 0:
            time.sleep(pause)
    json.dump(samples, sys.stdout)


class Probe:
    """The probe process on the session bus of `env`."""

    def __init__(self, env):
        self.process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "--probe"],
                                        env=env, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE)

    def wait_answering(self, player, timeout=30):
        """Returns once the player has answered calls for a while (its start is over);
        the probe's answers are read only at the end, so this asks the bus itself."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            out = subprocess.run(["gdbus", "call", "--session", "--dest",
                                  "org.mpris.MediaPlayer2.volnar", "--object-path",
                                  "/org/mpris/MediaPlayer2", "--method",
                                  "org.freedesktop.DBus.Peer.Ping"],
                                 env=player.env, capture_output=True, timeout=30)
            if out.returncode == 0:
                return
            time.sleep(0.1)
        raise RuntimeError("the player is not on the bus")

    def finish(self):
        out, _ = self.process.communicate(b"", timeout=120)
        if self.process.returncode != 0:
            raise RuntimeError("the probe failed")
        return json.loads(out)


def stalls_within(samples, start, end):
    """How long each call waited inside [start, end] (the part of its wait there), longest
    first, as (ms, moment the wait began in it)."""
    found = []
    for sent, waited in samples:
        begin, finish = max(sent, start), min(sent + waited, end)
        if finish > begin:
            found.append(((finish - begin) * 1000, begin))
    found.sort(reverse=True)
    return found


def coverage_gap(samples, start, end):
    """The longest time within [start, end] that no call was waiting for an answer (the probe
    itself held up); a few ms when the probe kept up."""
    moments = sorted((s, s + w) for s, w in samples if s + w > start and s < end)
    gap, at = 0.0, start
    for sent, answered in moments:
        gap = max(gap, sent - at)
        at = max(at, answered)
    return max(gap, end - at) * 1000


# --- what the cases need --------------------------------------------------------------


def make_folder(work):
    """The folder of 100,000 tracks: empty files, but the first few names real tones."""
    folder = os.path.join(work, "music 100000")
    os.makedirs(folder, exist_ok=True)
    names = [f"Track {i:06d}.mp3" for i in range(TRACKS)]
    tone = os.path.join(folder, names[0])
    if not os.path.exists(tone) or os.path.getsize(tone) == 0:
        make_tone(tone, 440, 120)
    for name in names[1:REAL_TRACKS]:
        path = os.path.join(folder, name)
        if not os.path.exists(path) or os.path.getsize(path) == 0:
            shutil.copyfile(tone, path)
    if len(os.listdir(folder)) < TRACKS:
        for name in names[REAL_TRACKS:]:
            open(os.path.join(folder, name), "ab").close()
    return folder, tone


def make_big_mp3(work):
    """A 1 GB MP3: a minute of 320 kbit/s tone (no tags, no Xing header) over and over, a
    plain stream of frames of seven and a half hours."""
    path = os.path.join(work, "big 1 GB.mp3")
    if os.path.exists(path) and os.path.getsize(path) >= BIG_BYTES:
        return path
    piece = os.path.join(work, "piece.mp3")
    make_tone(piece, 330, 60, extra=("-b:a", "320k", "-write_xing", "0",
                                     "-id3v2_version", "0"))
    with open(piece, "rb") as f:
        block = f.read()
    with open(path + ".part", "wb") as f:
        written = 0
        while written < BIG_BYTES:
            f.write(block)
            written += len(block)
        f.flush()
        os.fsync(f.fileno())
    os.replace(path + ".part", path)
    os.remove(piece)
    return path


def drop_from_cache(path):
    """Drops the file's pages from the page cache (they are clean: it was synced); returns
    how many bytes fincore still finds cached."""
    fd = os.open(path, os.O_RDONLY)
    try:
        os.fsync(fd)
        os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    finally:
        os.close(fd)
    return cached_bytes(path)


def cached_bytes(path):
    out = subprocess.run(["fincore", "--bytes", "--noheadings", "--output", "RES", path],
                         capture_output=True, text=True)
    return int(out.stdout.split()[0]) if out.returncode == 0 and out.stdout.strip() else -1


class MapWatch:
    """The first MapNotify of a top-level window on the session's X server (Xvfb runs no
    window manager: a top-level window is a child of the root)."""

    def __init__(self, env):
        self.x11 = x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
        x11.XOpenDisplay.restype = ctypes.c_void_p
        x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
        for f in ("XDefaultRootWindow",):
            getattr(x11, f).restype = ctypes.c_ulong
            getattr(x11, f).argtypes = [ctypes.c_void_p]
        x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x11.XPending.argtypes = [ctypes.c_void_p]
        x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = x11.XOpenDisplay(env["DISPLAY"].encode())
        if not self.display:
            raise RuntimeError("cannot open the X display")
        x11.XSelectInput(self.display, x11.XDefaultRootWindow(self.display), 1 << 19)
        x11.XSync(self.display, 1)

    def wait(self, player, timeout=60):
        event = (ctypes.c_long * 24)()
        fd = self.x11.XConnectionNumber(self.display)
        deadline = time.monotonic() + timeout
        try:
            while time.monotonic() < deadline:
                while self.x11.XPending(self.display):
                    self.x11.XNextEvent(self.display, event)
                    if ctypes.c_int.from_buffer(event).value == 19:  # MapNotify
                        return time.monotonic()
                if player.poll() is not None:
                    raise RuntimeError(f"the player ended with {player.returncode}")
                select.select([fd], [], [], 0.05)
            raise RuntimeError("no window was mapped")
        finally:
            self.x11.XCloseDisplay(self.display)


class Backtraces:
    """With --backtraces: gdb looks at the window's thread (the process's first) again and
    again while an action runs. With --perf DIR: perf records that thread's time on the CPU
    meanwhile (DIR/N.data, for perf report), which leaves the figures nearly as they are."""

    recordings = 0

    def __init__(self, options, pid):
        self.enabled, self.pid, self.samples = options.backtraces, pid, []
        self.perf_dir, self.perf = options.perf, None
        self.stop = threading.Event()

    def __enter__(self):
        if self.enabled:
            self.thread = threading.Thread(target=self._sample, daemon=True)
            self.thread.start()
        if self.perf_dir:
            Backtraces.recordings += 1
            self.perf_file = os.path.join(self.perf_dir, f"{Backtraces.recordings}.data")
            self.perf = subprocess.Popen(["perf", "record", "-q", "-F", "997", "-g",
                                          "--call-graph", "dwarf,16384", "-t", str(self.pid),
                                          "-o", self.perf_file],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(0.3)  # perf has attached
        return self

    def _sample(self):
        while not self.stop.is_set():
            at = time.monotonic()
            out = subprocess.run(["gdb", "-p", str(self.pid), "-batch", "-nx",
                                  "-ex", "set pagination off", "-ex", "thread apply 1 bt 30"],
                                 capture_output=True, text=True, timeout=60).stdout
            frames = [line for line in out.splitlines() if line.startswith("#")]
            self.samples.append((at, frames))

    def __exit__(self, *exc):
        if self.enabled:
            self.stop.set()
            self.thread.join(120)
        if self.perf:
            self.perf.send_signal(signal.SIGINT)
            self.perf.wait(60)

    def show(self, since):
        if self.perf:
            print(f"    perf record of the window's thread: {self.perf_file}")
        for at, frames in self.samples:
            print(f"    gdb at +{(at - since) * 1000:.0f} ms, the window's thread:")
            for line in frames[:18]:
                print("      " + line[:200])


# --- the cases ------------------------------------------------------------------------


class Case:
    """One round's figures: the phases' windows of time, judged from the probe's samples."""

    def __init__(self, name):
        self.name = name
        self.phases = []  # (label, start, end, its name in the summary: None, not judged)
        self.notes = []

    def phase(self, label, start, end, summary=None):
        self.phases.append((label, start, end, summary))

    def report(self, samples, floor_from, floor_to):
        floor = stalls_within(samples, floor_from, floor_to)
        floor_ms = floor[0][0] if floor else float("nan")
        longest_of = {}
        for label, start, end, summary in self.phases:
            found = stalls_within(samples, start, end)
            longest = found[0][0] if found else float("nan")
            judged = summary is not None
            if judged:
                longest_of[summary] = max(longest_of.get(summary, 0.0), longest)
            over = [f"{ms:.0f} ms at +{(at - start) * 1000:.0f}" for ms, at in found[:4]
                    if ms >= TARGET_MS]
            verdict = ("met" if longest < TARGET_MS else "MISSED") if judged else "not judged"
            print(f"  {label}: longest {longest:.0f} ms ({verdict}); "
                  f"over {TARGET_MS} ms: {', '.join(over) or 'none'}; "
                  f"{len(found)} answers, probe gap {coverage_gap(samples, start, end):.0f} ms")
        print(f"  idle floor before it: longest answer {floor_ms:.1f} ms")
        for note in self.notes:
            print("  " + note)
        return longest_of


def case_probe_check(binary, work):
    """The probe against a known stall: the whole player stopped for 200 ms."""
    case = Case("probe check")
    with PlayerSession(binary, cwd=work, state_home=os.path.join(work, "state-check")) as s:
        probe = Probe(s.env)
        probe.wait_answering(s)
        time.sleep(1.0)
        idle = time.monotonic()
        time.sleep(1.0)
        start = time.monotonic()
        s.player.send_signal(signal.SIGSTOP)
        time.sleep(0.2)
        s.player.send_signal(signal.SIGCONT)
        time.sleep(1.0)
        end = time.monotonic()
        samples = probe.finish()
    case.phase("SIGSTOP for 200 ms (expected: about 200)", start, end)
    case.report(samples, idle, start)


def case_pick(binary, work, folder, tone, options):
    state = os.path.join(work, "state-pick")
    shutil.rmtree(state, ignore_errors=True)
    case = Case("pick")
    with PlayerSession(binary, cwd=work, args=[tone], state_home=state) as s:
        x0, y0, _, _ = s.geometry(s.wait_window("Плеер"))
        probe = Probe(s.env)
        probe.wait_answering(s)
        time.sleep(2.0)  # the folder listed, the first track playing
        idle = time.monotonic()
        time.sleep(1.0)
        opened = time.monotonic()
        with Backtraces(options, s.player.pid) as panel_traces:
            slid = s.click_panel_button(x0, y0, *PL_BUTTON)
            time.sleep(0.5)
        panel_end = time.monotonic()
        time.sleep(1.0)
        picked = time.monotonic()
        with Backtraces(options, s.player.pid) as pick_traces:
            s.click(x0 + ROW[0], y0 + ROW[1] + 2 * ROW[2] + ROW[2] // 2, repeat=2)
            time.sleep(4.0)
        end = time.monotonic()
        # The same folder's fourth track from a file manager's "Open with" (the player
        # running): the folder is listed again.
        with Backtraces(options, s.player.pid) as hand_traces:
            subprocess.run([s.binary, tone.replace("000000", "000003")], env=s.env, cwd=work,
                           capture_output=True, timeout=60)
            time.sleep(4.0)
        hand_end = time.monotonic()
        samples = probe.finish()
        alive = s.alive()
    remembered = "Track 000003.mp3" in state_text(state)
    case.phase("opening the track panel", opened, panel_end,
               "100,000-file folder: opening the track panel")
    case.phase("double-click on the third track and 4 s after", picked, end,
               "100,000-file folder: double-click on a track")
    case.phase("\"volnar FILE\" of the fourth track and 4 s after", end, hand_end,
               "100,000-file folder: \"volnar FILE\" of a track")
    case.notes.append(f"panel slid: {slid}; player ran on: {alive}; the fourth track "
                      f"remembered as the last picked: {remembered}")
    longest = case.report(samples, idle, opened)
    panel_traces.show(opened)
    pick_traces.show(picked)
    hand_traces.show(end)
    return longest


def case_big_mp3(binary, work, big, options):
    state = os.path.join(work, "state-big")
    shutil.rmtree(state, ignore_errors=True)
    case = Case("big mp3")
    with PlayerSession(binary, cwd=work, state_home=state) as s:
        s.wait_window("Плеер")
        probe = Probe(s.env)
        probe.wait_answering(s)
        time.sleep(1.0)
        cached = drop_from_cache(big)
        idle = time.monotonic()
        time.sleep(1.0)
        start = time.monotonic()
        with Backtraces(options, s.player.pid) as traces:
            handed = subprocess.run([s.binary, big], env=s.env, cwd=work,
                                    capture_output=True, timeout=60)
            handed_at = time.monotonic()
            time.sleep(6.0)
        end = time.monotonic()
        # Once more: the file's pages now cached and the engine loaded, what is left is the
        # opening's own work.
        warm = cached_bytes(big)
        with Backtraces(options, s.player.pid) as warm_traces:
            subprocess.run([s.binary, big], env=s.env, cwd=work, capture_output=True,
                           timeout=60)
            time.sleep(6.0)
        warm_end = time.monotonic()
        samples = probe.finish()
        status = subprocess.run(["playerctl", "-p", "volnar", "status"], env=s.env,
                                capture_output=True, text=True, timeout=10).stdout.strip()
    case.phase("\"volnar FILE\" of the 1 GB MP3 and 6 s after", start, end,
               "1 GB MP3: opened, cold")
    case.phase("the same again, its pages cached", end, warm_end, "1 GB MP3: again, cached")
    case.notes.append(f"cached before: {cached} bytes of {os.path.getsize(big)} "
                      f"(posix_fadvise DONTNEED); the second start ended with "
                      f"{handed.returncode} after {(handed_at - start) * 1000:.0f} ms; "
                      f"cached before the second: {warm} bytes; "
                      f"status after: {status or '?'}")
    longest = case.report(samples, idle, start)
    traces.show(start)
    warm_traces.show(end)
    return longest


def case_slow_disk(binary, work, options):
    state = os.path.join(work, "state-slow")
    shutil.rmtree(state, ignore_errors=True)
    case = Case("slow disk")
    env = {"LD_PRELOAD": os.path.abspath(options.slow_fsync),
           "VOLNAR_TEST_FSYNC_DELAY_MS": str(options.fsync_ms)}
    with PlayerSession(binary, cwd=work, state_home=state, extra_env=env) as s:
        x0, y0, _, _ = s.geometry(s.wait_window("Плеер"))
        probe = Probe(s.env)
        probe.wait_answering(s)
        time.sleep(1.0)
        idle = time.monotonic()
        time.sleep(1.0)
        start = time.monotonic()
        with Backtraces(options, s.player.pid) as traces:
            for dot in (5, 7, 6):  # 60 % written at once, 80 % and 70 % due 10 s later
                s.click(x0 + VOLUME_DOT[0] + 8 * dot, y0 + VOLUME_DOT[1])
                time.sleep(0.3)
            first_end = time.monotonic()
            time.sleep(max(0.0, start + 12.0 - time.monotonic()))
        end = time.monotonic()
        samples = probe.finish()
        written = state_text(state)
    case.phase(f"three volume changes, the first write's fsync {options.fsync_ms} ms",
               start, first_end + 1.5, f"fsync {options.fsync_ms} ms: saving the state")
    case.phase("until the write due 10 s later and its fsync", first_end + 1.5, end,
               f"fsync {options.fsync_ms} ms: saving the state")
    case.notes.append("the state file holds the last change: " +
                      str("volume=70" in written))
    longest = case.report(samples, idle, start)
    traces.show(start)
    return longest


def case_start(binary, work, options):
    """Needs the state the pick case left: its folder of 100,000 files remembered."""
    state = os.path.join(work, "state-start")
    shutil.rmtree(state, ignore_errors=True)
    shutil.copytree(os.path.join(work, "state-pick"), state)
    case = Case("start")
    s = PlayerSession(binary, cwd=work, state_home=state)
    try:
        s.start_xvfb()
        watch = MapWatch(s.env)
        probe = Probe(s.env)
        time.sleep(0.5)
        started = time.monotonic()
        s.start_player(wait_title=None)
        mapped = watch.wait(s.player)
        with Backtraces(options, s.player.pid) as traces:
            time.sleep(max(0.0, mapped + 5.0 - time.monotonic()))
        end = time.monotonic()
        samples = probe.finish()
        alive = s.alive()
    finally:
        s.stop()
        shutil.rmtree(s.tmp, ignore_errors=True)
    first = min((sent + waited for sent, waited in samples), default=float("nan"))
    case.phase("from the first window to 5 s after", mapped, end,
               "start on the 100,000-file folder: after the window")
    case.notes.append(f"first window after {(mapped - started) * 1000:.0f} ms; first answer "
                      f"on the bus {(first - started) * 1000:.0f} ms after the start; "
                      f"ran on: {alive}")
    # No idle time before a start: the floor is the answers of the last two seconds.
    longest = case.report(samples, end - 2.0, end)
    traces.show(mapped)
    return longest, (mapped - started) * 1000


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--probe":
        run_probe()
        return 0
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--slow-fsync", metavar="LIBRARY",
                        help="the slow-fsync library (default: next to the binary, "
                             "tests/e2e/slow_fsync.so)")
    parser.add_argument("--fsync-ms", type=int, default=1000)
    parser.add_argument("--work", help="a folder that keeps the big files between runs")
    parser.add_argument("--backtraces", action="store_true",
                        help="sample the window's thread with gdb (distorts the figures)")
    parser.add_argument("--perf", metavar="DIR",
                        help="record the window's thread with perf during each action")
    parser.add_argument("--cases", default="pick,big,slow,start")
    options = parser.parse_args()
    options.slow_fsync = options.slow_fsync or os.path.join(
        os.path.dirname(os.path.abspath(options.binary)), "tests", "e2e", "slow_fsync.so")
    cases = options.cases.split(",")
    if options.perf:
        options.perf = os.path.abspath(options.perf)
        os.makedirs(options.perf, exist_ok=True)
    if "slow" in cases and not os.path.isfile(options.slow_fsync):
        sys.exit(f"no slow-fsync library at {options.slow_fsync} (build the tests)")
    run_inside_private_bus()

    work = os.path.abspath(options.work) if options.work else tempfile.mkdtemp(
        prefix="volnar-stall-")
    os.makedirs(work, exist_ok=True)
    stalls, shown = {}, []

    def add(longest_of):
        for name, ms in longest_of.items():
            stalls.setdefault(name, []).append(ms)

    try:
        folder, tone = make_folder(work)
        big = make_big_mp3(work) if "big" in cases else None
        print(f"load average at the start: {os.getloadavg()[0]:.2f}", flush=True)
        print("probe check:")
        case_probe_check(options.binary, work)
        for n in range(options.rounds):
            print(f"\nround {n + 1}", flush=True)
            if "pick" in cases or "start" in cases:
                print("pick, a folder of 100,000 files:")
                add(case_pick(options.binary, work, folder, tone, options))
            if "big" in cases:
                print("big mp3, cold:")
                add(case_big_mp3(options.binary, work, big, options))
            if "slow" in cases:
                print(f"slow disk, fsync {options.fsync_ms} ms:")
                add(case_slow_disk(options.binary, work, options))
            if "start" in cases:
                print("start on a remembered folder of 100,000 files:")
                longest_of, ms = case_start(options.binary, work, options)
                add(longest_of)
                shown.append(ms)
            sys.stdout.flush()
    finally:
        if not options.work:
            shutil.rmtree(work, ignore_errors=True)

    print(f"\nlongest stall per round, ms (target under {TARGET_MS}); "
          f"load average now {os.getloadavg()[0]:.2f}"
          + ("; gdb was sampling: not the player's figures" if options.backtraces else ""))
    met = True
    for name, values in stalls.items():
        ok = max(values) < TARGET_MS
        met &= ok
        print(f"  {name:52s} " + " ".join(f"{v:6.0f}" for v in values) +
              f"   median {statistics.median(values):4.0f}  {'met' if ok else 'MISSED'}")
    if shown:
        print(f"  {'start on the 100,000-file folder: first window':52s} " +
              " ".join(f"{v:6.0f}" for v in shown) + f"   median {statistics.median(shown):4.0f}")
    return 0 if met else 1


if __name__ == "__main__":
    sys.exit(main())
