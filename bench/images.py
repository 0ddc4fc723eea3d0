#!/usr/bin/env python3
"""Photo benchmark: what responsive images cost `tarn build`.

The script makes a workspace from a ready one (the bundled lake theme, which
asks for "images": {"responsive": true}) holding N posts, each showing one
photo of M megapixels in static/images/ (made once with ImageMagick, then
copied, each copy given its own comment with exiftool so that every photo
has bytes of its own), and measures:

  plain  the same posts without the photos, the cache warm: the floor
  cold   the build with the photos, nothing in public/ or .tarn/images/
  warm   the build again, nothing changed: no photo is decoded

CPU time (user + system, all threads, from the kernel's accounting of the
child, to the microsecond) and wall time of each build; plain and warm are
run in pairs (plain, warm, plain, warm, ...) and their medians compared,
since a warm build takes a tenth of a second and the machine's noise is of
that order. The report gives the cold cost per photo and how much the warm
build adds to the plain one (the target: at most 5%). --warm-only takes the
workspaces an earlier run left in --keep DIR and measures plain and warm
again, without the cold build's minutes.

    bench/images.py --tarn build/tarn --workspace build [--photos 200]
                    [--megapixels 12] [--rounds 15] [--keep DIR [--warm-only]]
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

WARM_TARGET = 0.05  # the warm build adds at most 5% CPU to the plain one


def run(argv, **kwargs):
    result = subprocess.run(argv, capture_output=True, text=True, **kwargs)
    if result.returncode != 0:
        sys.exit(f"{argv[0]} failed ({result.returncode}):\n{result.stdout}{result.stderr}")
    return result


def make_workspace(source, folder, photos):
    """A workspace at folder with source's settings, theme and pages, one
    post per photo; photos == 0 gives the posts without their photos."""
    os.makedirs(folder)
    for part in ("config", "template", "themes"):
        shutil.copytree(os.path.join(source, part), os.path.join(folder, part), symlinks=True)
    posts = os.path.join(folder, "_posts")
    os.makedirs(posts)
    count = max(photos, 1)
    for i in range(count):
        with open(os.path.join(posts, f"photo-{i:04d}.md"), "w", encoding="utf-8") as f:
            f.write(f"---\ntitle: Photo {i}\ndate: 2026-01-01 10:{i // 60 % 60:02d}:{i % 60:02d}\n"
                    f"---\n\nA walk by the lake, day {i}.\n\n"
                    f"![The lake on day {i}](../images/photo-{i:04d}.jpg)\n")
    return posts


def make_photos(folder, photos, megapixels):
    images = os.path.join(folder, "static", "images")
    os.makedirs(images)
    width = int((megapixels * 1e6 * 4 / 3) ** 0.5)
    height = width * 3 // 4
    base = os.path.join(folder, "base.jpg")
    run(["convert", "-size", f"{width}x{height}", "plasma:fractal", "-quality", "90", base])
    names = []
    for i in range(photos):
        name = os.path.join(images, f"photo-{i:04d}.jpg")
        shutil.copyfile(base, name)
        names.append(name)
    os.remove(base)
    # One exiftool for all: each photo's comment is its own name.
    run(["exiftool", "-q", "-overwrite_original", "-Comment<FileName", "-GPSLatitude=48.85",
         "-GPSLatitudeRef=N", "-Orientation#=1"] + names)
    return width, height


def build(tarn, workspace):
    """CPU seconds (user + system) and wall seconds of one tarn build, and
    what it printed."""
    with tempfile.TemporaryFile() as log:
        start = time.monotonic()
        child = subprocess.Popen([tarn, "-w", workspace, "build"], stdout=log,
                                 stderr=subprocess.STDOUT)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.monotonic() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        log.seek(0)
        output = log.read().decode("utf-8", "replace")
    if child.returncode != 0:
        sys.exit(f"tarn build failed:\n{output}")
    return usage.ru_utime + usage.ru_stime, wall, output


def paired(tarn, plain, photos, rounds):
    """Medians (CPU, wall) of plain and of warm builds run in turn, and the
    last warm build's output."""
    runs = {plain: [], photos: []}
    for _ in range(rounds):
        for workspace in (plain, photos):
            runs[workspace].append(build(tarn, workspace))
    def median(workspace, i):
        return statistics.median(r[i] for r in runs[workspace])
    return ((median(plain, 0), median(plain, 1)), (median(photos, 0), median(photos, 1)),
            runs[photos][-1][2])


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tarn", required=True)
    parser.add_argument("--workspace", required=True, help="a ready workspace (build/)")
    parser.add_argument("--photos", type=int, default=200)
    parser.add_argument("--megapixels", type=float, default=12)
    parser.add_argument("--rounds", type=int, default=15,
                        help="pairs of plain and warm builds (default: 15)")
    parser.add_argument("--keep", help="make the workspaces here and leave them")
    parser.add_argument("--warm-only", action="store_true",
                        help="measure plain and warm again in the workspaces --keep holds")
    args = parser.parse_args()
    if args.warm_only and not args.keep:
        parser.error("--warm-only needs --keep DIR from an earlier run")
    tarn = os.path.abspath(args.tarn)
    root = args.keep or tempfile.mkdtemp(prefix="tarn-bench-images-")
    plain = os.path.join(root, "plain")
    photos = os.path.join(root, "photos")
    cold = None
    try:
        if not args.warm_only:
            make_workspace(args.workspace, plain, args.photos)
            make_workspace(args.workspace, photos, args.photos)
            make_photos(photos, args.photos, args.megapixels)
            build(tarn, plain)  # the Markdown cache warm
            build(tarn, photos)  # the Markdown cache warm, then the photos cold
            shutil.rmtree(os.path.join(photos, "public"))
            shutil.rmtree(os.path.join(photos, ".tarn", "images"))
            cold_cpu, cold_wall, cold_log = build(tarn, photos)
            if f"{args.photos} images processed" not in cold_log:
                sys.exit("the cold build did not process every photo:\n" + cold_log)
            cold = (cold_cpu, cold_wall)
        for workspace in (plain, photos):
            build(tarn, workspace)  # what a change of tarn itself makes it rebuild
        (plain_cpu, plain_wall), (warm_cpu, warm_wall), warm_log = paired(
            tarn, plain, photos, args.rounds)
        if "images processed" in warm_log:
            sys.exit("the warm build decoded photos:\n" + warm_log)
        count = len(os.listdir(os.path.join(photos, "static", "images")))
    finally:
        if not args.keep:
            shutil.rmtree(root, ignore_errors=True)

    added = (warm_cpu - plain_cpu) / plain_cpu if plain_cpu > 0 else 0.0
    print(f"{count} posts, one photo each, {os.cpu_count()} processors; plain and warm: "
          f"medians of {args.rounds} paired runs")
    print(f"{'build':<8}{'CPU s':>10}{'wall s':>10}")
    rows = [("plain", plain_cpu, plain_wall)]
    if cold:
        rows.append(("cold", cold[0], cold[1]))
    rows.append(("warm", warm_cpu, warm_wall))
    for name, cpu, wall in rows:
        print(f"{name:<8}{cpu:>10.3f}{wall:>10.3f}")
    if cold:
        print(f"cold: {(cold[0] - plain_cpu) / count:.3f} CPU s per photo")
    verdict = "within" if added <= WARM_TARGET else "OVER"
    print(f"warm: {added * 100:+.1f}% CPU over plain ({verdict} the {WARM_TARGET * 100:.0f}% target)")


if __name__ == "__main__":
    main()
