#!/usr/bin/python3
"""The desktop program's Render button on a large blog: from the press to
the manager page reloaded with the new post list (the button pressed from
the keyboard), under Xvfb, for a first
render into an empty public/ (no conversion cache) and for renders after
editing one post. `tarn build` after the same kind of edit runs beside it,
so the ratio says what the window adds. The program reports how long each
build took and how late its main loop ran meanwhile (TARN_BUILD_TRACE):
the window stays usable while that lateness stays small.

Posts are bench/site's (about 6 KB of Markdown each), the theme and the
manager page the bundled workspace's.

usage: xvfb-run -a gui_render.py --tarn build/tarn --workspace build
                                 [--posts 1000,10000] [--runs 3]
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests"))
sys.path.insert(0, os.path.join(HERE, "site"))
sys.dont_write_bytecode = True
import gui_harness  # noqa: E402
import posts as postgen  # noqa: E402

# The bundled manager page's Render button is the second one in tab order.
RENDER_KEYS = ("Tab", "Tab", "Return")
PAGE_LOADED = r"^page: loaded .*/template/index\.html$"


class Stop:
    """What the harness calls when a wait fails."""

    def fail(self, message):
        raise SystemExit("bench/gui_render: " + message)


def make_workspace(source, count, root):
    for folder in ("config", "template", "themes"):
        shutil.copytree(os.path.join(source, folder), os.path.join(root, folder),
                        ignore=shutil.ignore_patterns("index.html"))
    folder = os.path.join(root, "_posts")
    os.makedirs(folder)
    for post in postgen.make_posts(count, 20200205):
        with open(os.path.join(folder, post.stem + ".md"), "w", encoding="utf-8",
                  newline="\r\n") as f:
            f.write("----------\n%s|%s|bench\n----------\n\n%s" % (
                post.title, post.date.strftime("%Y-%m-%d"), post.body))


def edit(root, count, round_):
    name = sorted(os.listdir(os.path.join(root, "_posts")))[count // 2]
    with open(os.path.join(root, "_posts", name), "a", encoding="utf-8", newline="\r\n") as f:
        f.write("\nEdited, round %d: one more paragraph and 一些中文。\n" % round_)


def render(session, window):
    """Seconds from the key press to the reloaded manager page, and the
    program's own build line."""
    started = time.perf_counter()
    session.key(window, *RENDER_KEYS)
    # The reloaded page and the message box come in either order.
    wanted = {r"^message: Succeed: 渲染完成$", PAGE_LOADED}
    while wanted:
        line = session.wait_line("|".join("(?:%s)" % w for w in wanted))
        wanted = {w for w in wanted if not re.search(w, line)}
    elapsed = time.perf_counter() - started
    # The box closes by itself; the next click must reach the page.
    session.wait_window("Succeed", visible=False)
    trace = next((line for line in reversed(session.stderr) if line.startswith("build: ")), "")
    return elapsed, trace


def stall_ms(trace):
    m = re.search(r"at most (\d+) ms late", trace)
    return int(m.group(1)) if m else -1


def build_s(trace):
    m = re.search(r"^build: (\d+) ms", trace)
    return int(m.group(1)) / 1000.0 if m else float("nan")


def measure(args, count):
    session = gui_harness.Session(Stop(), prefix="tarn-bench-render-")
    session.wait = 600
    make_workspace(args.workspace, count, session.root)
    session.env["TARN_BUILD_TRACE"] = "1"
    try:
        session.launch([args.tarn, "gui", "-w", session.root])
        window = session.wait_started()
        cold, cold_trace = render(session, window)
        edits = []
        for i in range(args.runs):
            edit(session.root, count, i)
            edits.append(render(session, window))
        # The command line on the same workspace after the same kind of edit.
        edit(session.root, count, args.runs)
        started = time.perf_counter()
        subprocess.run([args.tarn, "build", "-w", session.root], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=session.env)
        cli = time.perf_counter() - started
    finally:
        session.stop()
    edit_median = statistics.median(e for e, _ in edits)
    edit_build = statistics.median(build_s(t) for _, t in edits)
    worst_stall = max([stall_ms(cold_trace)] + [stall_ms(t) for _, t in edits])
    print("%7d  %9.2f %9.2f %9.2f %9.2f %8.2fx %10d" % (
        count, cold, edit_median, edit_build, cli, edit_median / cli, worst_stall))
    sys.stdout.flush()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarn", required=True)
    parser.add_argument("--workspace", required=True, help="a workspace with template/ pages")
    parser.add_argument("--posts", default="1000,10000")
    parser.add_argument("--runs", type=int, default=3, help="edits per post count")
    args = parser.parse_args()
    counts = [int(x) for x in args.posts.split(",") if x.strip()]
    print("gui_render: %d CPUs, load average %.1f" % (os.cpu_count() or 0, os.getloadavg()[0]))
    print("seconds from pressing Render to the reloaded manager page; edit: median of %d"
          % args.runs)
    print("(edit build: the build alone, the rest is the manager page's refresh)")
    print("%7s  %9s %9s %9s %9s %9s %10s" % ("posts", "first", "edit", "edit build", "cli edit",
                                            "edit/cli", "stall ms"))
    for count in counts:
        measure(args, count)
    print("load average at the end: %.1f" % os.getloadavg()[0])


if __name__ == "__main__":
    main()
