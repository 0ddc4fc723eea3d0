#!/usr/bin/env python3
"""Site build benchmark: `tarn build` against Hugo on the same posts.

For each post count N the script writes N deterministic posts (about 6 KB of
Markdown each) into a tarn workspace and into a Hugo site with an equivalent
minimal theme (index listing every post, a timeline page, one page per post,
a feed and a JSON index), then measures, for both tools:

  cold   a build into an empty public/ folder
  edit   the build after appending a paragraph to one post

and, as "floor", tarn's cold build of the same posts with a converter that
returns the Markdown unchanged: what a build costs apart from Markdown.

Wall time, CPU time (user + system, all threads) and peak resident memory
come from /usr/bin/time -f "%e %M %U %S"; on a busy machine the CPU time is
the steadier figure. The
figures, the tarn/hugo ratios and tarn's 10x-posts scaling are printed as a
table at the end. Builds that fail, or that do not write one page per post,
stop the run with the tool's output.

    bench/site/run.py --tarn build/tarn --posts 1000,10000 [--keep DIR]

With --baseline OLD (another tarn, for example one built from main before
a change), OLD builds its own copy of the same workspace in every round,
taking turns with tarn, and the report ends with tarn/OLD ratios: how a
change moved the build's cost.

With --corpus small the posts are about 800 bytes with a title in front
matter; tarn builds them with the bundled lake theme and its settings, Hugo
with one template pair, and the tarn/hugo ratios are printed beside the
targets for that corpus (SMALL_TARGETS).
"""

import argparse
import zlib
import datetime
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import posts as postgen  # noqa: E402

TIME = "/usr/bin/time"

# --- tarn workspace ---------------------------------------------------------

TARN_BASE_JSON = """{
  "system": {
    "title": "Bench Blog",
    "description": "A benchmark blog",
    "url": "https://bench.example",
    "author": "Bench",
    "theme": "bench",
    "deployUrl": ""
  }
}
"""

TARN_CONF_INI = "[base]\r\nShowDOS=0\r\nMini=0\r\nAbsoluteUrl=0\r\n"

TARN_INDEX = """<!DOCTYPE html>
<html lang="zh-CN">
<head><meta charset="utf-8"><title>{$system.title}</title>
{$system.head}
<link rel="stylesheet" href="{$assetsPath}/style.css"></head>
<body>
<h1>{$system.title}</h1>
<p>{$system.description}</p>
<ul>
{-volist name="posts" key="p"}<li><a href="{$p.url}">{$p.title}</a> <time>{$p.update_time}</time></li>{-volist/}
</ul>
<p><a href="timeline.html">Timeline</a> <a href="atom.xml">RSS</a></p>
</body>
</html>
"""

# Loops do not nest, so the month headings and the posts are two lists.
TARN_TIMELINE = """<!DOCTYPE html>
<html lang="zh-CN">
<head><meta charset="utf-8"><title>Timeline - {$system.title}</title>
<link rel="stylesheet" href="{$assetsPath}/style.css"></head>
<body>
<h1>Timeline</h1>
<nav>{-volist name="timeline" key="g"}<span>{$g.date}</span> {-volist/}</nav>
<ul>
{-volist name="posts" key="p"}<li><time>{$p.post_time}</time> <a href="{$p.url}">{$p.title}</a></li>{-volist/}
</ul>
</body>
</html>
"""

TARN_POST = """<!DOCTYPE html>
<html lang="zh-CN">
<head><meta charset="utf-8"><title>{$post.title} - {$system.title}</title>
<link rel="stylesheet" href="../assets/style.css"></head>
<body>
<article>
<h1>{$post.title}</h1>
<time>{$post.post_time}</time>
{$post.content}
</article>
<p><a href="../index.html">{$system.title}</a></p>
</body>
</html>
"""

# Used only when no built manager page is found beside the tarn binary: a
# converter this trivial makes tarn look faster than it is.
STAND_IN_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><script>
function markToHtml(md) {
  return md.split(/\\r?\\n\\r?\\n/).map(function (b) {
    return "<p>" + b.replace(/&/g, "&amp;").replace(/</g, "&lt;") + "</p>";
  }).join("\\n");
}
function TplRender(tpl, data) { return tpl; }
</script></head><body></body></html>
"""

STYLE_CSS = "body { font-family: sans-serif; max-width: 48em; margin: auto; }\n"

# The floor: no Markdown work at all, so the build's own costs show alone.
FLOOR_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><script>
function markToHtml(md) { return md; }
function TplRender(tpl, data) { return tpl; }
</script></head><body></body></html>
"""

# --- Hugo site --------------------------------------------------------------

HUGO_CONFIG = """baseURL = "https://bench.example/"
title = "Bench Blog"
languageCode = "zh-CN"
uglyURLs = true
disableKinds = ["taxonomy", "term", "section", "sitemap", "robotsTXT", "404"]

[outputs]
home = ["HTML", "RSS", "JSON"]

[services.rss]
limit = -1

[markup.highlight]
codeFences = false
"""

HUGO_INDEX = """<!DOCTYPE html>
<html lang="zh-CN">
<head><meta charset="utf-8"><title>{{ site.Title }}</title>
<meta name="generator" content="Hugo">
<link rel="stylesheet" href="{{ "assets/style.css" | relURL }}"></head>
<body>
<h1>{{ site.Title }}</h1>
<p>A benchmark blog</p>
<ul>
{{ range where site.RegularPages "Section" "posts" }}<li><a href="{{ .RelPermalink }}">{{ .Title }}</a> <time>{{ .Lastmod.Format "2006-01-02 15:04:05" }}</time></li>
{{ end }}</ul>
<p><a href="timeline.html">Timeline</a> <a href="index.xml">RSS</a></p>
</body>
</html>
"""

HUGO_INDEX_JSON = """[{{ range $i, $p := where site.RegularPages "Section" "posts" }}{{ if $i }},{{ end }}{{ dict "title" $p.Title "url" $p.Permalink "content" $p.RawContent "post_time" ($p.Date.Format "2006-01-02 15:04:05") | jsonify }}{{ end }}]
"""

HUGO_TIMELINE = """<!DOCTYPE html>
<html lang="zh-CN">
<head><meta charset="utf-8"><title>Timeline - {{ site.Title }}</title>
<link rel="stylesheet" href="{{ "assets/style.css" | relURL }}"></head>
<body>
<h1>Timeline</h1>
{{ range (where site.RegularPages "Section" "posts").GroupByDate "2006-01" }}<h2>{{ .Key }}</h2>
<ul>
{{ range .Pages }}<li><time>{{ .Date.Format "2006-01-02 15:04:05" }}</time> <a href="{{ .RelPermalink }}">{{ .Title }}</a></li>
{{ end }}</ul>
{{ end }}</body>
</html>
"""

HUGO_SINGLE = """<!DOCTYPE html>
<html lang="zh-CN">
<head><meta charset="utf-8"><title>{{ .Title }} - {{ site.Title }}</title>
<link rel="stylesheet" href="{{ "assets/style.css" | relURL }}"></head>
<body>
<article>
<h1>{{ .Title }}</h1>
<time>{{ .Date.Format "2006-01-02 15:04:05" }}</time>
{{ .Content }}
</article>
<p><a href="{{ "index.html" | relURL }}">{{ site.Title }}</a></p>
</body>
</html>
"""

HUGO_TIMELINE_PAGE = "---\ntitle: Timeline\nlayout: timeline\nurl: /timeline.html\n---\n"


def write(path, text, newline="\n"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline=newline) as f:
        f.write(text)


def timestamp(date):
    return time.mktime(date.timetuple())


def tarn_post_text(post):
    # The header block between two lines of ten dashes, then the Markdown.
    header = "----------\n%s|%s|bench\n----------\n\n" % (post.title, post.date.strftime("%Y-%m-%d"))
    return header + post.body


def tarn_front_matter_text(post, many_tags=False):
    # The same post with YAML front matter instead of the ten-dash header;
    # many_tags: three tags out of 200 instead of two out of eight.
    date = post.date.strftime("%Y-%m-%d %H:%M:%S")
    if many_tags:
        seed = zlib.crc32(post.stem.encode("utf-8"))
        tags = "t%d, t%d, t%d" % (seed % 200, (seed // 200) % 200, (seed // 40000) % 200)
    else:
        tags = "bench, t%d" % (len(post.stem) % 7)
    front = ("---\ntitle: \"%s\"\ndate: %s\nupdated: %s\ntags: [%s]\n"
             "categories: [notes]\ndescription: \"A post of the benchmark\"\n---\n\n"
             % (post.title.replace('"', "'"), date, date, tags))
    return front + post.body


def hugo_post_text(post):
    date = post.date.strftime("%Y-%m-%dT%H:%M:%S")
    return "---\ntitle: %s\ndate: %s\nlastmod: %s\n---\n\n%s" % (post.stem, date, date, post.body)


def find_manager_page(tarn):
    """The template/ folder beside the tarn binary when it holds the manager
    page (the Markdown converter the real workspace uses); None otherwise."""
    folder = os.path.join(os.path.dirname(os.path.abspath(tarn)), "template")
    if os.path.isfile(os.path.join(folder, "index copy.html")):
        return folder
    return None


# What --navigation adds to the theme: ten posts a page with a pager, a
# page per tag and a tag list, and the search index.
TARN_NAV_CONF = '{"pages": [], "paginate": 10, "search": true}\n'
TARN_TAG = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{$tag.name}</title>
<link rel="stylesheet" href="{$rootPath}/assets/style.css"></head>
<body><h1>{$tag.name} ({$tag.count})</h1>
<ul>{-volist name="tag.posts" key="p"}<li><a href="{$p.url}">{$p.title}</a></li>{-volist/}</ul>
</body></html>
"""
TARN_TAGS = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Tags</title></head>
<body><ul>{-volist name="tags" key="t"}<li><a href="{$t.url}">{$t.name}</a> {$t.count}</li>{-volist/}</ul>
</body></html>
"""
TARN_PAGER = """<p>{-if name="pager.prev_url"}<a href="{$pager.prev_url}">newer</a>{-if/}
{$pager.current} / {$pager.total}
{-if name="pager.next_url"}<a href="{$pager.next_url}">older</a>{-if/}</p>
</body>"""


def install_manager_page(root, template_folder, page=None):
    """Gives the workspace at root its template/: page when given, else a copy
    of template_folder, else the stand-in converter."""
    if page:
        write(os.path.join(root, "template", "index copy.html"), page)
    elif template_folder:
        shutil.copytree(template_folder, os.path.join(root, "template"))
    else:
        write(os.path.join(root, "template", "index copy.html"), STAND_IN_PAGE)


def make_tarn_workspace(root, posts, template_folder, page=None, front_matter=False, many_tags=False,
                        navigation=False):
    write(os.path.join(root, "config", "base.json"), TARN_BASE_JSON)
    write(os.path.join(root, "config", "conf.ini"), TARN_CONF_INI, newline="")
    theme = os.path.join(root, "themes", "bench")
    write(os.path.join(theme, "index.mtpl"),
          TARN_INDEX.replace("</body>", TARN_PAGER) if navigation else TARN_INDEX)
    write(os.path.join(theme, "timeline.mtpl"), TARN_TIMELINE)
    write(os.path.join(theme, "post.mtpl"), TARN_POST)
    write(os.path.join(theme, "_conf.json"), TARN_NAV_CONF if navigation else '{"pages": []}\n')
    if navigation:
        write(os.path.join(theme, "tag.mtpl"), TARN_TAG)
        write(os.path.join(theme, "tags.mtpl"), TARN_TAGS)
    write(os.path.join(theme, "assets", "style.css"), STYLE_CSS)
    install_manager_page(root, template_folder, page)
    # Posts written on Windows editors carry CR LF; the header needs it.
    write_tarn_posts(root, posts, lambda post: tarn_front_matter_text(post, many_tags)
                     if front_matter else tarn_post_text(post), "\r\n")


def write_tarn_posts(root, posts, text_of, newline):
    """Writes each post's text_of(post) into root/_posts, dated by its mtime."""
    folder = os.path.join(root, "_posts")
    os.makedirs(folder)
    for post in posts:
        path = os.path.join(folder, post.stem + ".md")
        write(path, text_of(post), newline=newline)
        os.utime(path, (timestamp(post.date), timestamp(post.date)))


def make_hugo_site(root, posts):
    write(os.path.join(root, "config.toml"), HUGO_CONFIG)
    write(os.path.join(root, "layouts", "index.html"), HUGO_INDEX)
    write(os.path.join(root, "layouts", "index.json"), HUGO_INDEX_JSON)
    write(os.path.join(root, "layouts", "_default", "single.html"), HUGO_SINGLE)
    write(os.path.join(root, "layouts", "_default", "timeline.html"), HUGO_TIMELINE)
    write(os.path.join(root, "static", "assets", "style.css"), STYLE_CSS)
    write(os.path.join(root, "content", "timeline.md"), HUGO_TIMELINE_PAGE)
    folder = os.path.join(root, "content", "posts")
    os.makedirs(folder)
    for post in posts:
        write(os.path.join(folder, post.stem + ".md"), hugo_post_text(post))


# --- the small-posts corpus ------------------------------------------------
# About 800 bytes of Markdown a post with only a title in front matter. tarn
# builds it with the bundled lake theme and the bundled workspace's settings,
# as a real blog has them; Hugo with one template pair and its defaults.

BUNDLED_WORKSPACE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                 "workspace")

HUGO_SMALL_CONFIG = 'baseURL = "https://bench.example/"\ntitle = "Bench Blog"\nuglyURLs = true\n'

HUGO_SMALL_SINGLE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{{ .Title }}</title></head>
<body><h1>{{ .Title }}</h1>
{{ .Content }}
</body></html>
"""

HUGO_SMALL_LIST = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>{{ .Title }}</title></head>
<body><ul>
{{ range .Pages }}<li><a href="{{ .RelPermalink }}">{{ .Title }}</a></li>
{{ end }}</ul>
</body></html>
"""

# What each corpus's Hugo site must write besides one page per post.
HUGO_OUTPUTS = ("index.html", "timeline.html", "index.xml", "index.json")
HUGO_SMALL_OUTPUTS = ("index.html", "index.xml")

# tarn/hugo ratios the small corpus is held to, by post count: wall and CPU
# time of each kind of build, and peak memory where given.
SMALL_TARGETS = {
    250: {"cold": 0.6, "edit": 0.4},
    1000: {"cold": 0.6, "edit": 0.3},
    4000: {"cold": 0.5, "edit": 0.2, "memory": 0.5},
    10000: {"cold": 0.5, "edit": 0.2, "memory": 0.5},
}


def small_post_text(post):
    return '---\ntitle: "%s"\n---\n\n%s' % (post.title, post.body)


def make_small_tarn_workspace(root, posts, template_folder):
    for part in ("config", os.path.join("themes", "lake")):
        shutil.copytree(os.path.join(BUNDLED_WORKSPACE, part), os.path.join(root, part))
    install_manager_page(root, template_folder)
    write_tarn_posts(root, posts, small_post_text, "\n")


def make_small_hugo_site(root, posts):
    write(os.path.join(root, "config.toml"), HUGO_SMALL_CONFIG)
    write(os.path.join(root, "layouts", "_default", "single.html"), HUGO_SMALL_SINGLE)
    write(os.path.join(root, "layouts", "_default", "list.html"), HUGO_SMALL_LIST)
    for post in posts:
        write(os.path.join(root, "content", "posts", post.stem + ".md"), small_post_text(post))


def make_small_sites(site, posts, tools, template_folder):
    """The small corpus's workspaces under site, one per tool of tools."""
    for tool in ("tarn", "tarn-base"):
        if tool in tools:
            make_small_tarn_workspace(os.path.join(site, tool), posts, template_folder)
    if "hugo" in tools:
        make_small_hugo_site(os.path.join(site, "hugo"), posts)


def edit_post(path, newline):
    """Appends a paragraph, as a blogger fixing a post would."""
    with open(path, "a", encoding="utf-8", newline=newline) as f:
        f.write("\nEdited: one more paragraph with a [link](https://example.com/edit) "
                "and 一些中文。\n")
    now = time.time()
    os.utime(path, (now, now))


class Measurement:
    def __init__(self, tool, posts, kind, wall, cpu, peak_kb):
        self.tool = tool
        self.posts = posts
        self.kind = kind
        self.wall = wall
        self.cpu = cpu
        self.peak_kb = peak_kb


def run_measured(command, cwd, log_path):
    """Runs command under /usr/bin/time; (wall s, CPU s, peak RSS KB, exit code)."""
    fd, time_path = tempfile.mkstemp(prefix="bench-time-")
    os.close(fd)
    try:
        with open(log_path, "w") as log:
            start = time.monotonic()
            code = subprocess.call([TIME, "-f", "%e %M %U %S", "-o", time_path] + command, cwd=cwd,
                                   stdout=log, stderr=subprocess.STDOUT)
            wall = time.monotonic() - start
        with open(time_path) as f:
            lines = [line for line in f.read().splitlines() if line.strip()]
        # A non-zero exit makes time(1) add a "Command exited..." line first.
        fields = lines[-1].split() if lines else []
        if len(fields) != 4:
            return wall, 0.0, 0, code
        return wall, float(fields[2]) + float(fields[3]), int(fields[1]), code
    finally:
        os.remove(time_path)


def fail(message, log_path):
    sys.stderr.write("bench/site: %s\n" % message)
    if log_path and os.path.exists(log_path):
        with open(log_path, errors="replace") as f:
            tail = f.read()[-4000:]
        sys.stderr.write("--- %s (last lines) ---\n%s\n" % (log_path, tail))
    sys.exit(1)


def count_files(folder, suffix):
    if not os.path.isdir(folder):
        return 0
    return sum(1 for name in os.listdir(folder) if name.endswith(suffix))


def set_aside(path, trash):
    """Moves an earlier build's output out of the way, to delete after the run.

    Deleting thousands of files right before a build slows that build's file
    creation down for minutes (ext4 skips recently freed inodes), so nothing
    is deleted while builds are being timed.
    """
    if os.path.lexists(path):
        os.makedirs(trash, exist_ok=True)
        os.rename(path, tempfile.mkdtemp(dir=trash) + "/" + os.path.basename(path))


def build_tarn(tarn, root, count, kind, logs, trash, tool="tarn"):
    if kind == "cold":
        # Cold means no output and no Markdown cache from an earlier build.
        set_aside(os.path.join(root, "public"), trash)
        set_aside(os.path.join(root, ".tarn"), trash)
    log = os.path.join(logs, "%s-%d-%s.log" % (tool, count, kind))
    os.sync()  # the previous build's writeback must not land on this one
    wall, cpu, peak, code = run_measured([os.path.abspath(tarn), "build", "-w", root], root, log)
    if code != 0:
        fail("tarn build exited with %d (%d posts, %s)" % (code, count, kind), log)
    public = os.path.join(root, "public")
    for name in ("index.html", "timeline.html", "atom.xml", "database.json"):
        if not os.path.isfile(os.path.join(public, name)):
            fail("tarn build wrote no public/%s" % name, log)
    pages = count_files(os.path.join(public, "articles"), ".html")
    if pages != count:
        fail("tarn build wrote %d article pages for %d posts" % (pages, count), log)
    return Measurement(tool, count, kind, wall, cpu, peak)


def build_hugo(hugo, root, count, kind, logs, trash, outputs=HUGO_OUTPUTS):
    if kind == "cold":
        for name in ("public", "resources", ".hugo_build.lock"):
            set_aside(os.path.join(root, name), trash)
    log = os.path.join(logs, "hugo-%d-%s.log" % (count, kind))
    os.sync()
    wall, cpu, peak, code = run_measured([hugo, "--quiet", "--source", root], root, log)
    if code != 0:
        fail("hugo exited with %d (%d posts, %s)" % (code, count, kind), log)
    public = os.path.join(root, "public")
    for name in outputs:
        if not os.path.isfile(os.path.join(public, name)):
            fail("hugo wrote no public/%s" % name, log)
    pages = count_files(os.path.join(public, "posts"), ".html")
    if pages != count:
        fail("hugo wrote %d post pages for %d posts" % (pages, count), log)
    return Measurement("hugo", count, kind, wall, cpu, peak)


def tool_version(command):
    try:
        out = subprocess.run(command, capture_output=True, text=True, timeout=30)
        return (out.stdout or out.stderr).strip().splitlines()[0]
    except (OSError, IndexError, subprocess.SubprocessError):
        return "unknown"


def ratio(a, b):
    return a / b if b else float("nan")


SHARE_ROW = "%7d  %-5s wall %6.3fx  cpu %6.3fx  memory %6.3fx"


def print_ratios(by_key, counts, title, top, bottom, row, header=None):
    """Prints top's wall, cpu and memory over bottom's, per post count and kind of build."""
    print()
    print(title)
    if header:
        print(header)
    for count in counts:
        for kind in ("cold", "edit"):
            a, b = by_key.get((top, count, kind)), by_key.get((bottom, count, kind))
            if a and b:
                print(row % (count, kind, ratio(a.wall, b.wall), ratio(a.cpu, b.cpu),
                             ratio(a.peak_kb, b.peak_kb)))


def median_round(rounds, per_field):
    """The round with the median wall time; with per_field, a round made of
    the medians of wall time, CPU time and peak memory, each taken alone."""
    middle = sorted(rounds, key=lambda m: m.wall)[len(rounds) // 2]
    if not per_field:
        return middle

    def median(field):
        return sorted(getattr(m, field) for m in rounds)[len(rounds) // 2]

    return Measurement(middle.tool, middle.posts, middle.kind, median("wall"), median("cpu"),
                       median("peak_kb"))


def print_small_targets(by_key, counts):
    """The tarn/hugo ratios of the small corpus beside the targets it is held to."""
    print()
    print("tarn / hugo, small posts (CPU time is the figure to trust on a shared machine)")
    print("%7s  %-5s %9s %9s %10s   %-36s %s" % ("posts", "build", "wall", "cpu", "memory",
                                                 "target", "met"))
    for count in counts:
        for kind in ("cold", "edit"):
            t, h = by_key.get(("tarn", count, kind)), by_key.get(("hugo", count, kind))
            if not (t and h):
                continue
            wall, cpu, memory = ratio(t.wall, h.wall), ratio(t.cpu, h.cpu), ratio(t.peak_kb,
                                                                                   h.peak_kb)
            limits = SMALL_TARGETS.get(count, {})
            time_limit, memory_limit = limits.get(kind), limits.get("memory")
            target, met = "none at this count", "-"
            if time_limit:
                target = "wall and cpu <= %.1fx" % time_limit
                met = max(wall, cpu) <= time_limit
                if memory_limit:
                    target += ", memory <= %.1fx" % memory_limit
                    met = met and memory <= memory_limit
                met = "yes" if met else "NO"
            print("%7d  %-5s %8.2fx %8.2fx %9.2fx   %-36s %s" % (count, kind, wall, cpu, memory,
                                                                target, met))


def report(results, tools, counts, small=False):
    print()
    print("%7s  %-9s %-5s %9s %9s %10s" % ("posts", "tool", "build", "wall s", "cpu s",
                                           "peak MB"))
    for m in results:
        print("%7d  %-9s %-5s %9.2f %9.2f %10.1f" % (m.posts, m.tool, m.kind, m.wall, m.cpu,
                                                     m.peak_kb / 1024))

    by_key = {(m.tool, m.posts, m.kind): m for m in results}
    if "tarn" in tools and "hugo" in tools and small:
        print_small_targets(by_key, counts)
    elif "tarn" in tools and "hugo" in tools:
        print_ratios(by_key, counts, "tarn / hugo", "tarn", "hugo",
                     "%7d  %-5s %8.2fx %8.2fx %9.2fx",
                     "%7s  %-5s %9s %9s %10s" % ("posts", "build", "wall", "cpu", "memory"))
    if "tarn-nav" in tools:
        print_ratios(by_key, counts,
                     "tarn with pagination, tag pages and search / the same site without "
                     "(goal: within 15%)", "tarn-nav", "tarn-tags", SHARE_ROW)
    if "tarn-fm" in tools:
        print_ratios(by_key, counts, "tarn with front matter / tarn without (goal: within 5%)",
                     "tarn-fm", "tarn", SHARE_ROW)
    if "tarn-base" in tools:
        print_ratios(by_key, counts, "tarn / the baseline tarn, same workspace, paired rounds",
                     "tarn", "tarn-base", SHARE_ROW)
    if len(counts) >= 2:
        small, large = counts[0], counts[-1]
        print()
        print("scaling %d -> %d posts (%.0fx the posts)" % (small, large, large / small))
        for tool in tools:
            for kind in ("cold", "edit"):
                a, b = by_key.get((tool, small, kind)), by_key.get((tool, large, kind))
                if a and b:
                    print("  %-5s %-5s wall %6.2fx  cpu %6.2fx  memory %6.2fx" % (
                        tool, kind, ratio(b.wall, a.wall), ratio(b.cpu, a.cpu),
                        ratio(b.peak_kb, a.peak_kb)))

    if not small:
        print_goals(by_key, counts)


def print_goals(by_key, counts):
    """The goals the 6 KB corpus holds tarn to, on the runs with both tools."""
    large, small = counts[-1], counts[0]
    t, h = by_key.get(("tarn", large, "cold")), by_key.get(("hugo", large, "cold"))
    if t and h:
        print()
        print("goals at %d posts:" % large)
        goal("cold build time <= 0.35x hugo's", t.wall, 0.35 * h.wall, h.wall)
        te, he = by_key.get(("tarn", large, "edit")), by_key.get(("hugo", large, "edit"))
        if te and he:
            goal("edit rebuild time <= 0.05x hugo's", te.wall, 0.05 * he.wall, he.wall)
        goal("peak memory <= 0.2x hugo's", t.peak_kb, 0.2 * h.peak_kb, h.peak_kb)
        f = by_key.get(("floor", large, "cold"))
        if f:
            print("  %-36s %-3s (%.2f s)" % ("floor build <= 2 s wall:",
                                             "yes" if f.wall <= 2 else "NO", f.wall))
    ts, hs = by_key.get(("tarn", small, "cold")), by_key.get(("hugo", small, "cold"))
    if ts and hs and small != large:
        print("goals at %d posts:" % small)
        goal("cold build time <= 0.5x hugo's", ts.wall, 0.5 * hs.wall, hs.wall)


def goal(text, value, limit, base):
    print("  %-36s %-3s (%.2fx)" % (text + ":", "yes" if value <= limit else "NO",
                                    ratio(value, base)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--tarn", help="the tarn executable (omit to run Hugo only)")
    parser.add_argument("--hugo", default="hugo", help="the hugo executable (default: hugo)")
    parser.add_argument("--baseline", metavar="TARN",
                        help="another tarn that builds the same posts in the same rounds "
                             "(tool tarn-base), for tarn/baseline ratios")
    parser.add_argument("--posts", default="1000,10000",
                        help="comma-separated post counts (default: 1000,10000)")
    parser.add_argument("--keep", metavar="DIR",
                        help="write the sites into DIR and keep them (default: a temporary "
                             "folder, removed afterwards)")
    parser.add_argument("--seed", type=int, default=20200205, help="post generator seed")
    parser.add_argument("--corpus", choices=("6k", "small"), default="6k",
                        help="6k: about 6 KB of Markdown a post, a minimal theme (default); "
                             "small: about 800 bytes a post with a title in front matter, "
                             "tarn with the bundled lake theme, Hugo with one template pair")
    parser.add_argument("--skip-hugo", action="store_true", help="run tarn only")
    parser.add_argument("--front-matter", action="store_true",
                        help="also build the posts with YAML front matter (tool tarn-fm)")
    parser.add_argument("--navigation", action="store_true",
                        help="also build front-matter posts with three tags each out of 200, "
                             "without (tarn-tags) and with (tarn-nav) pagination, tag pages "
                             "and search")
    parser.add_argument("--skip-floor", action="store_true",
                        help="no floor build (tarn with a converter that does nothing)")
    parser.add_argument("--repeat", type=int, default=3,
                        help="rounds of each build per tool; the median is reported (default: 3)")
    args = parser.parse_args()

    try:
        counts = [int(x) for x in args.posts.split(",") if x.strip()]
    except ValueError:
        parser.error("--posts takes numbers separated by commas")
    if not counts or min(counts) <= 0:
        parser.error("--posts needs at least one positive count")
    if args.repeat < 1:
        parser.error("--repeat needs at least 1")
    small = args.corpus == "small"
    if small and (args.front_matter or args.navigation):
        parser.error("--front-matter and --navigation build the 6k corpus only")
    if not os.access(TIME, os.X_OK):
        sys.exit("bench/site: %s is missing (Debian package: time)" % TIME)

    tools = []
    if args.tarn:
        if not os.access(args.tarn, os.X_OK):
            sys.exit("bench/site: %s is not an executable" % args.tarn)
        tools.append("tarn")
        if args.baseline:
            if not os.access(args.baseline, os.X_OK):
                sys.exit("bench/site: %s is not an executable" % args.baseline)
            tools.append("tarn-base")
        if args.front_matter:
            tools.append("tarn-fm")
        if args.navigation:
            tools += ["tarn-tags", "tarn-nav"]
        if not args.skip_floor and not small:
            tools.append("floor")
    if not args.skip_hugo:
        if shutil.which(args.hugo) is None:
            sys.exit("bench/site: %s not found (Debian package: hugo)" % args.hugo)
        tools.append("hugo")
    if not tools:
        parser.error("nothing to run: give --tarn, or drop --skip-hugo")

    if args.keep:
        base = os.path.abspath(args.keep)
        os.makedirs(base, exist_ok=True)
    else:
        base = tempfile.mkdtemp(prefix="tarn-bench-site-")
    logs = os.path.join(base, "logs")
    os.makedirs(logs, exist_ok=True)
    trash = os.path.join(base, "set-aside")

    template_folder = find_manager_page(args.tarn) if args.tarn else None
    print("bench/site: %s" % datetime.datetime.now().strftime("%Y-%m-%d %H:%M"))
    print("  machine: %d CPUs, %s, load average %.1f (other work skews wall times)" % (
        os.cpu_count() or 0, os.uname().machine, os.getloadavg()[0]))
    print("  corpus: %s" % args.corpus)
    if "tarn" in tools:
        print("  tarn: %s (%s)" % (tool_version([args.tarn, "--version"]), args.tarn))
        if args.baseline:
            print("  baseline: %s (%s)" % (tool_version([args.baseline, "--version"]),
                                           args.baseline))
        if template_folder:
            print("  tarn markdown: the manager page in %s" % template_folder)
        else:
            print("  tarn markdown: STAND-IN converter (no template/index copy.html beside "
                  "tarn); tarn's times are too low")
    if "hugo" in tools:
        print("  hugo: %s" % tool_version([args.hugo, "version"]))
    print("  sites: %s" % base)

    results = []
    try:
        for count in counts:
            site = os.path.join(base, "posts-%d" % count)
            set_aside(site, trash)
            started = time.monotonic()
            posts = (postgen.make_small_posts if small else postgen.make_posts)(count, args.seed)
            size = sum(len(p.body.encode("utf-8")) for p in posts)
            tarn_root = os.path.join(site, "tarn")
            floor_root = os.path.join(site, "floor")
            hugo_root = os.path.join(site, "hugo")
            if small:
                make_small_sites(site, posts, tools, template_folder)
            elif "tarn" in tools:
                make_tarn_workspace(tarn_root, posts, template_folder)
            baseline_root = os.path.join(site, "tarn-base")
            if "tarn-base" in tools and not small:
                make_tarn_workspace(baseline_root, posts, template_folder)
            fm_root = os.path.join(site, "tarn-fm")
            if "tarn-fm" in tools:
                make_tarn_workspace(fm_root, posts, template_folder, front_matter=True)
            extra_roots = {tool: os.path.join(site, tool) for tool in ("tarn-tags", "tarn-nav")
                           if tool in tools}
            for tool, root in extra_roots.items():
                make_tarn_workspace(root, posts, template_folder, front_matter=True,
                                    many_tags=True, navigation=tool == "tarn-nav")
            if "floor" in tools:
                make_tarn_workspace(floor_root, posts, None, FLOOR_PAGE)
            if "hugo" in tools and not small:
                make_hugo_site(hugo_root, posts)
            print("  %d posts, %.1f MB of Markdown, written in %.1f s" % (
                count, size / 1e6, time.monotonic() - started))
            sys.stdout.flush()

            edited = posts[count // 2].stem + ".md"
            tarn_newline = "\n" if small else "\r\n"
            hugo_outputs = HUGO_SMALL_OUTPUTS if small else HUGO_OUTPUTS
            for kind in ("cold", "edit"):
                # The tools take turns, round after round, so that a change in
                # the machine's load falls on both; each keeps its median.
                # The floor shows fixed costs; one kind of build is enough.
                turn = [tool for tool in tools if tool != "floor" or kind == "cold"]
                rounds = {tool: [] for tool in turn}
                for _ in range(args.repeat):
                    if kind == "edit":
                        if "tarn" in tools:
                            edit_post(os.path.join(tarn_root, "_posts", edited), tarn_newline)
                        if "tarn-base" in tools:
                            edit_post(os.path.join(baseline_root, "_posts", edited), tarn_newline)
                        if "tarn-fm" in tools:
                            edit_post(os.path.join(fm_root, "_posts", edited), "\r\n")
                        for root in extra_roots.values():
                            edit_post(os.path.join(root, "_posts", edited), "\r\n")
                        if "hugo" in tools:
                            edit_post(os.path.join(hugo_root, "content", "posts", edited), "\n")
                    if "tarn" in tools:
                        rounds["tarn"].append(build_tarn(args.tarn, tarn_root, count, kind, logs, trash))
                    if "tarn-base" in tools:
                        rounds["tarn-base"].append(build_tarn(args.baseline, baseline_root, count,
                                                              kind, logs, trash, "tarn-base"))
                    if "tarn-fm" in tools:
                        rounds["tarn-fm"].append(build_tarn(args.tarn, fm_root, count, kind, logs,
                                                            trash, "tarn-fm"))
                    for tool, root in extra_roots.items():
                        rounds[tool].append(build_tarn(args.tarn, root, count, kind, logs, trash,
                                                       tool))
                    if "hugo" in tools:
                        rounds["hugo"].append(build_hugo(args.hugo, hugo_root, count, kind, logs,
                                                         trash, hugo_outputs))
                    if "floor" in turn:
                        rounds["floor"].append(build_tarn(args.tarn, floor_root, count, kind, logs,
                                                          trash, tool="floor"))
                    for tool in turn:
                        m = rounds[tool][-1]
                        print("    %-7s %-5s %7.2f s wall %7.2f s cpu %8.1f MB" % (
                            m.tool, m.kind, m.wall, m.cpu, m.peak_kb / 1024))
                    sys.stdout.flush()
                for tool in turn:
                    results.append(median_round(rounds[tool], small))
            if not args.keep:
                set_aside(site, trash)
        print("\nmedians of %d round%s per tool and build:" % (args.repeat, "s" if args.repeat > 1 else ""))
        report(results, tools, counts, small)
        print("\nload average at the end: %.1f" % os.getloadavg()[0])
    finally:
        shutil.rmtree(trash, ignore_errors=True)
        if not args.keep:
            shutil.rmtree(base, ignore_errors=True)


if __name__ == "__main__":
    main()
