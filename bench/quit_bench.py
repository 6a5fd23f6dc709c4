#!/usr/bin/python3
"""Time from a click on the cross to the end of the player's process, under Xvfb with a
session bus of its own (the player then holds its MPRIS names, as on a desktop) and a
PulseAudio server of its own with a null sink (the sound output of a desktop; SDL's dummy
driver with --dummy): with nothing playing, and with an MP3 playing. Each round first changes
the volume twice, so that the end has state to write, and checks that the state file holds
the last change at the end.

Usage: bench/quit_bench.py BUILD/volnar [--rounds 10] [--dummy]
                           [--slow-fsync BUILD/tests/e2e/slow_fsync.so [--fsync-ms 500]]
"""

import argparse
import os
import select
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))

from harness import PlayerSession, run_inside_private_bus, state_text  # noqa: E402
from sound import make_tone  # noqa: E402

CROSS = (476, 94)  # on the main window
VOLUME_DOT = (139 + 8 * 7 + 2, 100)


def start_pulseaudio(folder):
    """A PulseAudio server of the bench's own; returns it and the environment of its
    clients."""
    socket = os.path.join(folder, "pulse.socket")
    script = os.path.join(folder, "server.pa")
    with open(script, "w") as f:
        f.write(f"load-module module-native-protocol-unix socket={socket} auth-anonymous=1\n"
                "load-module module-null-sink sink_name=bench\nset-default-sink bench\n")
    env = dict(os.environ, HOME=folder, PULSE_RUNTIME_PATH=os.path.join(folder, "pulse"),
               PULSE_STATE_PATH=os.path.join(folder, "pulse-state"))
    server = subprocess.Popen(["/usr/bin/pulseaudio", "-n", "-F", script, "--daemonize=no",
                               "--exit-idle-time=-1"], env=env,
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 10
    while not os.path.exists(socket) and time.time() < deadline:
        time.sleep(0.05)
    return server, {"PULSE_SERVER": "unix:" + socket, "SDL_AUDIODRIVER": "pulseaudio"}


def wait_for_exit(process):
    """The moment the process ended, seen through its pidfd (Popen.wait with a time-out polls
    with sleeps of up to 50 ms)."""
    fd = os.pidfd_open(process.pid)
    try:
        poller = select.poll()
        poller.register(fd, select.POLLIN)
        if not poller.poll(10000):
            raise RuntimeError("the player did not end within 10 s")
        ended = time.monotonic()
    finally:
        os.close(fd)
    process.wait(10)
    return ended


def one_round(binary, folder, track, audio_env, wrapper_env):
    state = os.path.join(folder, "state")
    subprocess.run(["rm", "-rf", state], check=True)
    args = [track] if track else []
    with PlayerSession(binary, cwd=folder, state_home=state, args=args,
                       extra_env=dict(audio_env, **wrapper_env)) as s:
        x0, y0, _, _ = s.geometry(s.wait_window("Плеер"))
        s.click(x0 + VOLUME_DOT[0], y0 + VOLUME_DOT[1])
        time.sleep(1.5 if track else 0.5)  # playing, the refresh and the bus settled
        # A second change within the ten seconds between writes: the end has to write it.
        s.click(x0 + VOLUME_DOT[0] - 8, y0 + VOLUME_DOT[1])
        time.sleep(0.2)
        s.move(x0 + CROSS[0], y0 + CROSS[1])
        # The cross acts on the button's release. xdotool's own "click" waits 100 ms between
        # press and release; the press here goes first, the clock starts at the release.
        subprocess.run(["xdotool", "mousedown", "1"], env=s.env, check=True)
        time.sleep(0.05)
        start = time.monotonic()
        subprocess.run(["xdotool", "mouseup", "1"], env=s.env, check=True)
        took = wait_for_exit(s.player) - start
        written = "volume=70" in state_text(state)  # the second change
    return took * 1000, written


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--rounds", type=int, default=10)
    parser.add_argument("--dummy", action="store_true", help="SDL's dummy audio driver")
    parser.add_argument("--slow-fsync", metavar="LIBRARY",
                        help="build/tests/e2e/slow_fsync.so: a disk whose fsync takes "
                             "--fsync-ms (a busy hard disk)")
    parser.add_argument("--fsync-ms", type=int, default=500)
    options = parser.parse_args()
    run_inside_private_bus()
    wrapper_env = {}
    if options.slow_fsync:
        wrapper_env = {"LD_PRELOAD": os.path.abspath(options.slow_fsync),
                       "VOLNAR_TEST_FSYNC_DELAY_MS": str(options.fsync_ms)}
    with tempfile.TemporaryDirectory(prefix="volnar-quit-") as folder:
        track = os.path.join(folder, "tone.mp3")
        make_tone(track, 440, 60)
        server, audio_env = (None, {"SDL_AUDIODRIVER": "dummy"}) if options.dummy else \
            start_pulseaudio(folder)
        try:
            for name, argument in (("idle", None), ("playing an MP3", track)):
                times, unwritten = [], 0
                for _ in range(options.rounds):
                    took, written = one_round(options.binary, folder, argument, audio_env,
                                               wrapper_env)
                    times.append(took)
                    unwritten += 0 if written else 1
                print(f"quit, {name}: median {statistics.median(times):.0f} ms, "
                      f"min {min(times):.0f}, max {max(times):.0f} ({options.rounds} rounds, "
                      f"{audio_env['SDL_AUDIODRIVER']}"
                      f"{', fsync %d ms' % options.fsync_ms if options.slow_fsync else ''}"
                      f"); last change missing in {unwritten}")
        finally:
            if server:
                server.terminate()
                server.wait(10)


if __name__ == "__main__":
    main()
