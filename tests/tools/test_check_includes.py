#!/usr/bin/python3
"""The include check passes on the source tree and fails on an include that points up or
into the engine's inside."""

import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
CHECK = os.path.join(ROOT, "tools", "check_includes.py")


def run(src):
    return subprocess.run([sys.executable, CHECK, src], capture_output=True, text=True)


def with_added_line(path_in_src, line):
    scratch = tempfile.mkdtemp()
    src = os.path.join(scratch, "src")
    shutil.copytree(os.path.join(ROOT, "src"), src,
                    ignore=shutil.ignore_patterns("data"))
    with open(os.path.join(src, path_in_src), "a", encoding="utf-8") as f:
        f.write(line + "\n")
    return scratch, src


def main():
    failures = 0
    result = run(os.path.join(ROOT, "src"))
    if result.returncode != 0:
        print("the source tree fails the check:\n" + result.stdout)
        failures += 1
    for path, line, expected in [
        ("lists/track_names.cpp", '#include "widgets.h"', "lists includes widgets.h of ui"),
        ("core/player_state.h", '#include "refresh_tick.h"', "core includes refresh_tick.h"),
        ("ui/drawing.cpp", '#include "player_state.h"', "ui includes player_state.h"),
        ("control/track_folder.cpp", '#include "stream.h"', "inside the engine"),
    ]:
        scratch, src = with_added_line(path, line)
        try:
            result = run(src)
            if result.returncode == 0 or expected not in result.stdout:
                print(f"{path} + {line}: not caught\n{result.stdout}")
                failures += 1
        finally:
            shutil.rmtree(scratch)
    print(f"{5 - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
