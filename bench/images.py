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

CPU time (user + system, all threads) and wall time come from
/usr/bin/time; warm figures are the best of --rounds runs. The report gives
the cold cost per photo and how much the warm build adds to the plain one
(the target: at most 5%).

    bench/images.py --tarn build/tarn --workspace build [--photos 200]
                    [--megapixels 12] [--rounds 3] [--keep DIR]
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

TIME = "/usr/bin/time"
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
    """CPU seconds (user + system) and wall seconds of one tarn build."""
    result = subprocess.run([TIME, "-f", "%e %U %S", tarn, "-w", workspace, "build"],
                            capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"tarn build failed:\n{result.stdout}{result.stderr}")
    wall, user, system = (float(x) for x in result.stderr.strip().splitlines()[-1].split())
    return user + system, wall, result.stderr


def best(tarn, workspace, rounds):
    runs = [build(tarn, workspace) for _ in range(rounds)]
    return min(r[0] for r in runs), min(r[1] for r in runs), runs[-1][2]


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--tarn", required=True)
    parser.add_argument("--workspace", required=True, help="a ready workspace (build/)")
    parser.add_argument("--photos", type=int, default=200)
    parser.add_argument("--megapixels", type=float, default=12)
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--keep", help="make the workspaces here and leave them")
    args = parser.parse_args()
    tarn = os.path.abspath(args.tarn)
    root = args.keep or tempfile.mkdtemp(prefix="tarn-bench-images-")
    try:
        plain = os.path.join(root, "plain")
        photos = os.path.join(root, "photos")
        make_workspace(args.workspace, plain, args.photos)
        make_workspace(args.workspace, photos, args.photos)
        width, height = make_photos(photos, args.photos, args.megapixels)

        build(tarn, plain)  # the Markdown cache warm
        plain_cpu, plain_wall, _ = best(tarn, plain, args.rounds)
        build(tarn, photos)  # the Markdown cache warm, then the photos cold
        shutil.rmtree(os.path.join(photos, "public"))
        shutil.rmtree(os.path.join(photos, ".tarn", "images"))
        cold_cpu, cold_wall, cold_log = build(tarn, photos)
        if f"{args.photos} images processed" not in cold_log:
            sys.exit("the cold build did not process every photo:\n" + cold_log)
        warm_cpu, warm_wall, warm_log = best(tarn, photos, args.rounds)
        if "images processed" in warm_log:
            sys.exit("the warm build decoded photos:\n" + warm_log)
    finally:
        if not args.keep:
            shutil.rmtree(root, ignore_errors=True)

    per_photo = (cold_cpu - plain_cpu) / args.photos
    added = (warm_cpu - plain_cpu) / plain_cpu if plain_cpu > 0 else 0.0
    print(f"{args.photos} posts, one {width}x{height} photo each ({args.megapixels:g} MP), "
          f"{os.cpu_count()} processors")
    print(f"{'build':<8}{'CPU s':>10}{'wall s':>10}")
    for name, cpu, wall in (("plain", plain_cpu, plain_wall), ("cold", cold_cpu, cold_wall),
                            ("warm", warm_cpu, warm_wall)):
        print(f"{name:<8}{cpu:>10.2f}{wall:>10.2f}")
    print(f"cold: {per_photo:.3f} CPU s per photo")
    verdict = "within" if added <= WARM_TARGET else "OVER"
    print(f"warm: {added * 100:+.1f}% CPU over plain ({verdict} the {WARM_TARGET * 100:.0f}% target)")


if __name__ == "__main__":
    main()
