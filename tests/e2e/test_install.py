"""The installed player: "cmake --install" into a temporary prefix, the installed files
checked (desktop entry, metadata, icons, manual page, default stations), the installed
binary started with the build folder hidden from it and no radio.pls around: it plays a
track given on its command line and lists the installed default stations. Then the
uninstall target leaves nothing behind.

Arguments: the build folder. Hiding the build folder takes a private mount namespace
(root, as in CI)."""

import os
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import Image

from harness import PlayerSession, Results, wait_until
from imaging import count_foreground, region
from sound import disk_env, dominant_frequency, make_tone, recent_samples

REPO = os.path.normpath(os.path.join(os.path.dirname(__file__), "..", ".."))
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
ROW_HEIGHT = 14


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=300, **kwargs)


def hidden_build(build):
    """A command prefix that runs a program with an empty folder mounted over the build."""
    return ["unshare", "--mount", "--propagation", "private", "sh", "-c",
            'mount -t tmpfs volnar-build-hidden "$0" && shift && exec "$@"', build, "--"]


def installed_files(prefix):
    found = []
    for folder, _, files in os.walk(prefix):
        found += [os.path.join(folder, f) for f in files]
    return found


def check_icons(r, share):
    for size in ICON_SIZES:
        path = os.path.join(share, "icons", "hicolor", f"{size}x{size}", "apps", "volnar.png")
        if not os.path.exists(path):
            r.check(False, f"icon {size} px installed")
            continue
        image = Image.open(path)
        r.check(image.size == (size, size) and image.mode == "RGBA",
                f"icon {size} px: {image.size}, {image.mode}")
        same = open(path, "rb").read() == open(
            os.path.join(REPO, "data", "icons", f"volnar-{size}.png"), "rb").read()
        r.check(same, f"icon {size} px is the generated one")
    svg = os.path.join(share, "icons", "hicolor", "scalable", "apps", "volnar.svg")
    r.check(os.path.exists(svg) and "<svg" in open(svg, encoding="utf-8").read(),
            "scalable icon installed")


def main(build):
    r = Results()
    build = os.path.abspath(build)
    top = tempfile.mkdtemp(prefix="volnar-install-")
    try:
        prefix = os.path.join(top, "prefix")
        out = run(["cmake", "--install", build, "--prefix", prefix])
        r.check(out.returncode == 0, "cmake --install: " + out.stderr.strip()[-300:])
        share = os.path.join(prefix, "share")
        binary = os.path.join(prefix, "bin", "volnar")
        for path in ("bin/volnar", "lib/volnar/libvolnar-engine.so",
                     "share/applications/volnar.desktop",
                     "share/metainfo/org.example.volnar.metainfo.xml",
                     "share/man/man1/volnar.1", "share/volnar/radio.pls"):
            r.check(os.path.isfile(os.path.join(prefix, path)), f"{path} installed")
        check_icons(r, share)

        out = run(["desktop-file-validate", os.path.join(share, "applications", "volnar.desktop")])
        r.check(out.returncode == 0 and not out.stdout.strip(),
                "desktop-file-validate: " + out.stdout.strip())
        out = run(["appstreamcli", "validate", "--no-net", "--pedantic",
                   os.path.join(share, "metainfo", "org.example.volnar.metainfo.xml")])
        r.check(out.returncode == 0, "appstreamcli validate: " + out.stdout.strip())
        out = run(["man", "--warnings", "-l", os.path.join(share, "man", "man1", "volnar.1")],
                  env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"))
        r.check(out.returncode == 0 and "STATION LIST" in out.stdout and not out.stderr.strip(),
                "manual page formats without warnings: " + out.stderr.strip()[:200])

        # One version everywhere: the executable, the metadata's latest release, the manual.
        version = run([binary, "--version"]).stdout.split()[-1] if os.path.exists(binary) else ""
        metainfo = open(os.path.join(share, "metainfo", "org.example.volnar.metainfo.xml"),
                        encoding="utf-8").read()
        manual = open(os.path.join(share, "man", "man1", "volnar.1"), encoding="utf-8").read()
        r.check(version and f'<release version="{version}"' in metainfo
                and f'"volnar {version}"' in manual,
                f"version {version!r} in the metadata's release and the manual page")

        # No build-time path survives in the installed executable's search for its engine.
        out = run(hidden_build(build) + [binary, "--version"])
        r.check(out.returncode == 0 and out.stdout.startswith("volnar "),
                f"installed volnar --version with the build hidden: {out.returncode} "
                f"{out.stdout!r} {out.stderr.strip()}")

        work = os.path.join(top, "work")  # no radio.pls here
        music = os.path.join(top, "music")
        os.makedirs(work)
        os.makedirs(music)
        make_tone(os.path.join(music, "tone.mp3"), 660, 30)
        sound = os.path.join(top, "sound.raw")
        env = disk_env(sound)
        # No station list of this machine's user; data folders without one: the installed
        # default is found from the executable's own place.
        env.update({"XDG_CONFIG_HOME": os.path.join(top, "config"),
                    "XDG_DATA_DIRS": os.path.join(top, "no-data")})
        with PlayerSession(binary, cwd=work, extra_env=env,
                           args=[os.path.join(music, "tone.mp3")],
                           wrapper=hidden_build(build)) as s:
            win = s.wait_window("Плеер")
            r.check(wait_until(lambda: abs(dominant_frequency(recent_samples(sound)) - 660) < 8,
                               timeout=10, step=0.2), "track from the command line heard")
            wm_class = s.window_property(win, "WM_CLASS")
            r.check('"volnar"' in wm_class, "window class: " + wm_class.strip())
            r.check("_NET_WM_ICON(CARDINAL)" in s.window_property(win, "_NET_WM_ICON"),
                    "main window carries an icon")
            x0, y0, _, _ = s.geometry(win)
            s.click_panel_button(x0, y0, 116, 220)  # FM: the station panel
            shot = s.screenshot()
            rows = [count_foreground(region(shot, x0 + 105, y0 + 240 + i * ROW_HEIGHT, 390,
                                            ROW_HEIGHT)) for i in range(10)]
            r.check(sum(n > 10 for n in rows) == 8,
                    f"the eight installed default stations listed (text in rows: {rows})")
            s.click(x0 + 300, y0 + 60, button=3)
            mini = s.wait_window("мини")
            r.check("_NET_WM_ICON(CARDINAL)" in s.window_property(mini, "_NET_WM_ICON"),
                    "mini window carries an icon")
            r.check(s.alive(), "installed player still running")

        out = run(["cmake", "--build", build, "--target", "uninstall"])
        r.check(out.returncode == 0, "uninstall target: " + out.stderr.strip()[-300:])
        left = installed_files(prefix)
        r.check(not left, f"nothing left after uninstalling: {left[:5]}")
        folders = sorted(os.path.relpath(os.path.join(d, n), prefix)
                         for d, names, _ in os.walk(prefix) for n in names)
        r.check(set(folders) <= {"bin", "lib", "share", "share/man"},
                f"only the prefix's top folders stay: {folders}")
    finally:
        shutil.rmtree(top, ignore_errors=True)
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
