#!/usr/bin/env python3
"""Fails when an #include in src/ points the wrong way between folders.

Each folder of src/ is a room; a room may include its own headers and those
of the rooms listed for it below, nothing else of ours. The table is the
layer table of CONTRIBUTING.md; change both together. Only src/app may
include GTK, WebKit or the desktop's own libraries.

    scripts/check_layers.py [SRC_DIR]     (default: src/ beside this script)

Prints every include that breaks the rule, as FILE:LINE: what, and exits 1;
exits 0 when there is none.
"""

import os
import re
import sys

# Which rooms each room may include, besides itself.
BELOW = {
    "data": [],
    "script": ["data"],
    "workspace": ["data"],
    "content": ["data", "workspace"],
    "template": ["data"],
    "convert": ["data", "script"],
    "image": ["data"],
    "render": ["data", "script", "workspace", "content", "template", "convert", "image"],
    "preview": ["data", "script", "workspace", "content", "template", "convert", "image", "render"],
    "import": ["data", "workspace", "content"],
    "deploy": ["data", "script", "workspace", "content", "template", "convert", "image", "render"],
    "net": ["data"],
    "check": ["data", "script", "workspace", "content", "template", "convert", "render", "net"],
    "worker": ["data", "script"],
}
ALL_BUT_CLI = sorted(set(BELOW) - {"worker"})
BELOW["app"] = ALL_BUT_CLI
BELOW["cli"] = ALL_BUT_CLI + ["app"]

# System headers that belong to the desktop program alone.
DESKTOP_HEADERS = re.compile(r"^(gtk/|gdk/|webkit2/|libnotify/|keybinder|libayatana-appindicator/)")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def problems_in(path, room, rooms):
    found = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            kind, name = m.groups()
            where = f"{path}:{number}"
            if kind == "<":
                if DESKTOP_HEADERS.match(name) and room != "app":
                    found.append(f"{where}: <{name}> is the desktop program's; only src/app "
                                 "includes it")
                continue
            target = name.split("/", 1)[0]
            if "/" not in name or target not in rooms:
                continue  # a test's support code, gtest, or a file beside it
            if target != room and target not in BELOW.get(room, []):
                allowed = ", ".join(BELOW.get(room, [])) or "nothing of ours"
                found.append(f'{where}: "{name}": src/{room} may include {allowed}')
    return found


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "src")
    rooms = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    found = [f"src/{room}/: a folder the layer table does not know"
             for room in rooms if room not in BELOW]
    for room in rooms:
        for dirpath, _, names in os.walk(os.path.join(src, room)):
            for name in sorted(names):
                if name.endswith((".h", ".cc")):
                    found += problems_in(os.path.join(dirpath, name), room, rooms)
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) point the wrong way (see CONTRIBUTING.md, Layers)")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
