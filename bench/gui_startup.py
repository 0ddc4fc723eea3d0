#!/usr/bin/python3
"""Start-up time of the desktop program: from starting `tarn gui` to the
rendered manager page loaded in the main window and showing its list of
posts, on a demo workspace of 1,000 posts (--posts), under Xvfb. The floor it is compared with is a bare GTK window
with a WebKitGTK view loading the same rendered page (bench/webkit_floor.cc:
process start, the web process, one page load), so the ratio says what the
program's own start-up adds.

usage: xvfb-run -a gui_startup.py --tarn build/tarn --floor build/bench/webkit_floor
                                  --workspace build [--runs 5]
"""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time



# The manager page has loaded and shows the posts.
LISTED = r"^manager: listed \d+ posts$"


def make_workspace(source, posts, root):
    for folder in ("config", "template", "themes"):
        shutil.copytree(os.path.join(source, folder), os.path.join(root, folder),
                        ignore=shutil.ignore_patterns("index.html"))
    os.makedirs(os.path.join(root, "_posts"))
    for i in range(posts):
        with open(os.path.join(root, "_posts", "post-%04d.md" % i), "w") as f:
            f.write("----------\nPost %d|2024-01-01|demo\n----------\n# Post %d\n\n" % (i, i))
            f.write(("Some *text* of post %d, with a [link](https://example.org/).\n\n" % i) * 20)


def timed(argv, pattern, env, trace=None):
    start = time.perf_counter()
    proc = subprocess.Popen(argv, stdout=subprocess.PIPE,
                            stderr=trace if trace else subprocess.DEVNULL, text=True, env=env)
    regex = re.compile(pattern)
    for line in proc.stdout:
        if regex.search(line):
            elapsed = time.perf_counter() - start
            break
    else:
        raise SystemExit("%s ended before the page loaded" % argv[0])
    proc.terminate()
    proc.wait()
    proc.stdout.close()
    return elapsed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarn", required=True)
    parser.add_argument("--floor", required=True)
    parser.add_argument("--workspace", required=True, help="a workspace with template/ pages")
    parser.add_argument("--posts", type=int, default=1000)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(ignore_cleanup_errors=True) as tmp:
        root = os.path.join(tmp, "blog")
        make_workspace(args.workspace, args.posts, root)
        env = dict(os.environ, XDG_CACHE_HOME=os.path.join(tmp, "cache"),
                   TARN_UPDATE_URL="http://127.0.0.1:9/", NO_AT_BRIDGE="1")
        # One run first, so that both measure a warm file cache.
        timed([args.tarn, "gui", "-w", root], LISTED, env)
        ours = [timed([args.tarn, "gui", "-w", root], LISTED, env) for _ in range(args.runs)]
        # One more, with the program's own account of its steps.
        trace_path = os.path.join(tmp, "trace")
        with open(trace_path, "w") as trace:
            timed([args.tarn, "gui", "-w", root], LISTED, dict(env, TARN_STARTUP_TRACE="1"), trace)
        with open(trace_path) as f:
            steps = [line.rstrip() for line in f if line.startswith("startup:")]
        page = os.path.join(root, "template", "index.html")
        floor = [timed([args.floor, page], r"^page: loaded", env)
                 for _ in range(args.runs)]

    ours_median = statistics.median(ours)
    floor_median = statistics.median(floor)
    print("posts: %d, runs: %d" % (args.posts, args.runs))
    print("tarn gui to manager page with list: median %.3f s (min %.3f, max %.3f)"
          % (ours_median, min(ours), max(ours)))
    print("bare WebKitGTK window, one page:   median %.3f s (min %.3f, max %.3f)"
          % (floor_median, min(floor), max(floor)))
    print("ratio tarn / bare WebKitGTK: %.2f" % (ours_median / floor_median))
    print("steps of one more run (ms since the window was created):")
    for step in steps:
        print("  " + step)


if __name__ == "__main__":
    main()
