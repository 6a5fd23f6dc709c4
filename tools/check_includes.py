#!/usr/bin/python3
"""Fails when a module of src/ includes a header of a module above it.

The modules stand in one order, from the bottom up; a module may include its own headers and
those of the modules it names below. Above the engine, the player sees the engine only
through its call interface, audio_engine.h. Headers are found by their file name, which is
unique across src/, as every module puts its own folder on the include path.

Usage: check_includes.py [SRC_FOLDER]   (default: src/ next to tools/)
"""

import os
import re
import sys

# Each module and the modules below it that it may include.
ALLOWED = {
    "core": set(),
    "text": set(),
    "desktop_bus": set(),
    "saved_state": set(),
    "engine": set(),
    "engine_loader": {"engine"},
    "track_tags": {"text", "saved_state"},
    "ui": {"text"},
    "skin": {"ui", "core"},
    "lists": {"text", "core"},
    "control": {"engine", "lists", "ui", "core", "track_tags"},
    "display": {"engine", "ui", "core"},
    "app": {"core", "text", "desktop_bus", "saved_state", "engine", "engine_loader", "ui",
            "skin", "lists", "control", "display", "track_tags"},
}
# The only engine header that modules above the engine may include.
ENGINE_INTERFACE = "audio_engine.h"

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def headers_by_name(src):
    owner = {}
    for module in os.listdir(src):
        folder = os.path.join(src, module)
        if not os.path.isdir(folder):
            continue
        for root, _, files in os.walk(folder):
            for name in files:
                if name.endswith(".h"):
                    owner.setdefault(name, module)
    return owner


def check(src):
    owner = headers_by_name(src)
    problems = []
    for module in sorted(os.listdir(src)):
        folder = os.path.join(src, module)
        if not os.path.isdir(folder):
            continue
        if module not in ALLOWED:
            problems.append(f"{module}: a module the include rule does not know")
            continue
        for root, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for header in INCLUDE.findall(text):
                    target = owner.get(os.path.basename(header))
                    if target is None or target == module:
                        continue
                    where = os.path.relpath(path, os.path.dirname(src))
                    if target not in ALLOWED[module]:
                        problems.append(f"{where}: {module} includes {header} of {target}")
                    elif target == "engine" and header != ENGINE_INTERFACE \
                            and module != "engine_loader":
                        problems.append(
                            f"{where}: {module} includes {header}, inside the engine")
    return problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src")
    problems = check(os.path.abspath(src))
    for line in problems:
        print(line)
    if problems:
        print(f"include check: {len(problems)} include(s) against the module order")
        return 1
    print("include check: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
