"""The Debian package: built with CPack from the build folder given, its dependencies
checked, installed with apt as a user would ("apt-get install ./volnar_*.deb"), started
("volnar --version", then the window under Xvfb with the installed default stations), and
removed again, also when a check fails. Needs root (CI runs as root) or sudo without a
password."""

import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time

from harness import PlayerSession, Results
from imaging import count_foreground, region

ROW_HEIGHT = 14
# Another apt or dpkg run (an unattended upgrade, a parallel job) holds the lock for a while.
APT = ["apt-get", "-o", "DPkg::Lock::Timeout=600", "-y", "-q"]


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=900, **kwargs)


def as_root():
    if os.geteuid() == 0:
        return []
    if run(["sudo", "-n", "true"]).returncode == 0:
        return ["sudo", "-n"]
    raise SystemExit("FAILED: installing the package needs root or sudo without a password")


def main(build):
    r = Results()
    root = as_root()
    top = tempfile.mkdtemp(prefix="volnar-package-")
    installed = False
    try:
        out = run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", top])
        debs = glob.glob(os.path.join(top, "volnar_*.deb"))
        r.check(out.returncode == 0 and len(debs) == 1,
                f"cpack built one package: {debs} {out.stderr.strip()[-400:]}")
        if not debs:
            r.finish()
        deb = debs[0]

        fields = run(["dpkg-deb", "-f", deb, "Package", "Depends", "Recommends"]).stdout
        depends = next((l for l in fields.splitlines() if l.startswith("Depends:")), "")
        for library in ("libqt6widgets6", "libavformat", "libfluidsynth", "libsdl2",
                        "libfftw3-single3", "libpng16-16", "qt6-qpa-plugins"):
            r.check(library in depends, f"depends on {library}")
        r.check("-dev" not in depends and "cmake" not in depends and "gtest" not in depends,
                "no build-only package among the dependencies: " + depends)
        contents = run(["dpkg-deb", "-c", deb]).stdout
        for path in ("./usr/bin/volnar", "./usr/lib/volnar/libvolnar-engine.so",
                     "./usr/share/applications/volnar.desktop",
                     "./usr/share/icons/hicolor/16x16/apps/volnar.png",
                     "./usr/share/man/man1/volnar.1", "./usr/share/volnar/radio.pls"):
            r.check(path in contents, f"package holds {path}")
        r.check("test" not in contents.replace("/usr/share/", ""), "no test program packaged")

        # apt resolves what the package depends on from the configured archives.
        out = run(root + APT + ["install", "--no-install-recommends", "./" + os.path.basename(deb)],
                  cwd=top, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        installed = run(["dpkg-query", "-W", "-f=${Status}", "volnar"]).stdout.endswith(
            " installed")
        r.check(out.returncode == 0 and installed,
                "apt-get install ./" + os.path.basename(deb) + ": " + out.stderr.strip()[-400:])
        if installed:
            out = run(["/usr/bin/volnar", "--version"])
            r.check(out.returncode == 0 and out.stdout.startswith("volnar "),
                    f"volnar --version: {out.stdout.strip()} {out.stderr.strip()}")
            out = run(["desktop-file-validate", "/usr/share/applications/volnar.desktop"])
            r.check(out.returncode == 0 and not out.stdout.strip(), "installed menu entry valid")

            work = os.path.join(top, "work")
            os.makedirs(work)
            env = {"XDG_CONFIG_HOME": os.path.join(top, "config")}
            with PlayerSession("/usr/bin/volnar", cwd=work, extra_env=env) as s:
                win = s.wait_window("Плеер")
                x0, y0, _, _ = s.geometry(win)
                s.click_panel_button(x0, y0, 116, 220)  # FM: the station panel
                shot = s.screenshot()
                rows = [count_foreground(region(shot, x0 + 105, y0 + 240 + i * ROW_HEIGHT, 390,
                                                ROW_HEIGHT)) for i in range(10)]
                r.check(sum(n > 10 for n in rows) == 8,
                        f"the packaged default stations listed (text in rows: {rows})")
                r.check(s.alive(), "packaged player running")
    finally:
        if installed or run(["dpkg-query", "-W", "volnar"]).returncode == 0:
            out = run(root + APT + ["purge", "volnar"],
                      env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
            r.check(out.returncode == 0, "apt-get purge volnar: " + out.stderr.strip()[-300:])
            gone = [p for p in ("/usr/bin/volnar", "/usr/lib/volnar", "/usr/share/volnar",
                                "/usr/share/applications/volnar.desktop")
                    if os.path.exists(p)]
            r.check(not gone, f"package removed without a trace: {gone}")
        shutil.rmtree(top, ignore_errors=True)
    r.finish()


if __name__ == "__main__":
    main(sys.argv[1])
