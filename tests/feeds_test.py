"""The feeds a real `tarn build` writes, read as feed readers read them: every
RSS and Atom file parsed with feedparser, every JSON Feed checked against the
JSON Feed 1.1 schema, every address a valid URI that leads to a file the build
wrote; full content with absolute addresses; a feed per tag and category;
drafts and scheduled posts in no feed; and a blog without the theme's feed
settings keeping atom.xml alone.

Run by ctest: feeds_test.py --tarn BUILD_DIR/tarn.
"""

import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import urllib.parse

import feedparser

ARGS = None
SITE = "https://example.github.io"

# A URI as RFC 3986 writes it: a scheme, then only the characters a URI may
# hold, every "%" starting an escape.
URI = re.compile(r"^[A-Za-z][A-Za-z0-9+.-]*:([A-Za-z0-9\-._~:/?#\[\]@!$&'()*+,;=]|%[0-9A-Fa-f]{2})*$")
RFC3339 = re.compile(r"^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d+)?(Z|[+-]\d{2}:\d{2})$")

POSTS = {
    # Relative addresses of every kind a post writes: the article's own
    # folder, the site's root, a fragment; a title and tag outside ASCII.
    "湖边 notes.md": """---
title: 湖边 notes
date: 2024-06-01 08:00:00 +0800
tags: [湖边, notes]
categories: [日记]
description: By the lake.
---

![lake](../assets/img/lake.svg) and [hello](Hello%20Tarn.html),
[about](/about.html), [top](#top), [mail](mailto:a@example.com).
""",
    "Draft.md": """---
title: Draft
date: 2024-06-02 08:00:00 +0800
tags: [notes]
draft: true
---

Not yet.
""",
    "Later.md": """---
title: Later
date: 2099-01-01 08:00:00 +0800
tags: [notes]
categories: [日记]
---

Written for the future.
""",
}

FEED_SETTINGS = {"feeds": ["rss", "atom", "json"], "feed": {"content": "full"}, "tagFeeds": True}


def check_json_feed(test, feed):
    """JSON Feed 1.1 (https://jsonfeed.org/version/1.1): the members the
    schema requires and the types of those it knows."""
    test.assertEqual(feed["version"], "https://jsonfeed.org/version/1.1")
    test.assertIsInstance(feed["title"], str)
    for key in feed:
        test.assertIn(key, {"version", "title", "home_page_url", "feed_url", "description",
                            "user_comment", "next_url", "icon", "favicon", "authors",
                            "language", "expired", "hubs", "items"})
    for key in ("home_page_url", "feed_url"):
        if key in feed:
            test.assertRegex(feed[key], URI)
    for author in feed.get("authors", []):
        test.assertTrue(set(author) & {"name", "url", "avatar"})
    test.assertIsInstance(feed["items"], list)
    for item in feed["items"]:
        test.assertIsInstance(item["id"], str)
        test.assertTrue("content_html" in item or "content_text" in item, item)
        for key in ("url", "external_url"):
            if key in item:
                test.assertRegex(item[key], URI)
        for key in ("date_published", "date_modified"):
            if key in item:
                test.assertRegex(item[key], RFC3339)
        test.assertTrue(all(isinstance(tag, str) for tag in item.get("tags", [])))


def feed_addresses(path):
    """Every address a feed names: its links, ids that are addresses, and
    the href and src attributes of the HTML it carries."""
    text = read(path)
    if path.endswith(".json"):
        feed = json.loads(text)
        found = [feed.get("home_page_url"), feed.get("feed_url")]
        html = []
        for item in feed["items"]:
            found += [item.get("url"), item["id"]]
            html.append(item.get("content_html", ""))
    else:
        parsed = feedparser.parse(path)
        found = [parsed.feed.get("link")] + [link.href for link in parsed.feed.get("links", [])]
        html = []
        for entry in parsed.entries:
            found += [entry.get("link"), entry.get("id")]
            html += [content.value for content in entry.get("content", [])]
    for fragment in html:
        found += re.findall(r'(?:href|src)="([^"]*)"', fragment)
    return [address for address in found if address]


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


class FeedsTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tarn-feeds-")
        self.ws = os.path.join(self.dir, "blog")
        self.tarn("init", self.ws)
        for name, text in POSTS.items():
            with open(os.path.join(self.ws, "_posts", name), "w", encoding="utf-8") as f:
                f.write(text)
        # lake has no category pages; the blog's copy gets them from its
        # tag page, so that categories have feeds beside them.
        theme = os.path.join(self.ws, "themes", "lake")
        with open(os.path.join(theme, "tag.mtpl"), encoding="utf-8") as f:
            tag = f.read()
        with open(os.path.join(theme, "category.mtpl"), "w", encoding="utf-8") as f:
            f.write(tag.replace("$tag.", "$category.").replace('"tag.', '"category.'))

    def tearDown(self):
        shutil.rmtree(self.dir)

    def tarn(self, *args):
        done = subprocess.run([ARGS.tarn, *args], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        return done

    def build(self, settings=None, url=SITE):
        conf = os.path.join(self.ws, "themes", "lake", "_conf.json")
        with open(conf, encoding="utf-8") as f:
            theme = json.load(f)
        for key in FEED_SETTINGS:
            theme.pop(key, None)
        theme.update(settings or {})
        with open(conf, "w", encoding="utf-8") as f:
            json.dump(theme, f, ensure_ascii=False)
        base = os.path.join(self.ws, "config", "base.json")
        with open(base, encoding="utf-8") as f:
            config = json.load(f)
        config["system"]["url"] = url
        with open(base, "w", encoding="utf-8") as f:
            json.dump(config, f, ensure_ascii=False)
        self.tarn("-w", self.ws, "build", "--drafts")

    def public(self, *parts):
        return os.path.join(self.ws, "public", *parts)

    def feeds(self):
        found = []
        for name in ("atom.xml", "feed.atom", "feed.json"):
            found += glob.glob(self.public("**", name), recursive=True)
        return sorted(found)

    def term_folder(self, kind, name):
        for page in glob.glob(self.public(kind, "*", "index.html")):
            if f"<title>{name}" in read(page) or \
                    os.path.basename(os.path.dirname(page)) == name:
                return os.path.dirname(page)
        self.fail(f"no page of {kind} {name}")

    def test_every_feed_parses_and_every_address_leads_to_a_written_file(self):
        self.build(FEED_SETTINGS)
        feeds = self.feeds()
        # The site's three, and three beside each tag's (湖边, notes, the
        # demo's two) and category's (日记) page.
        self.assertEqual(len(feeds), 3 * (1 + 4 + 1), feeds)
        for path in feeds:
            with self.subTest(feed=os.path.relpath(path, self.public())):
                if path.endswith(".json"):
                    check_json_feed(self, json.loads(read(path)))
                else:
                    parsed = feedparser.parse(path)
                    self.assertFalse(parsed.bozo, parsed.get("bozo_exception"))
                    self.assertEqual(parsed.version,
                                     "atom10" if path.endswith(".atom") else "rss20")
                for address in feed_addresses(path):
                    self.assertRegex(address, URI)
                    # Links out of the site (the demo's, mailto:) need only be URIs.
                    if address != SITE and not address.startswith(SITE + "/"):
                        continue
                    target = urllib.parse.unquote(urllib.parse.urlsplit(address).path)
                    target = target.lstrip("/") or "index.html"
                    self.assertTrue(os.path.isfile(self.public(target)), address)

    def test_every_page_links_feeds_the_build_wrote(self):
        self.build(FEED_SETTINGS)
        pages = glob.glob(self.public("**", "*.html"), recursive=True)
        self.assertGreater(len(pages), 10)
        for page in pages:
            links = re.findall(r'<link rel="alternate" type="[^"]*" title="[^"]*" href="([^"]*)">',
                               read(page))
            self.assertGreaterEqual(len(links), 3, page)
            for link in links:
                target = os.path.normpath(os.path.join(os.path.dirname(page), link))
                self.assertTrue(os.path.isfile(target), f"{page} links to {link}")

    def test_full_content_carries_the_article_with_absolute_addresses(self):
        self.build(FEED_SETTINGS)
        entry = next(e for e in feedparser.parse(self.public("feed.atom")).entries
                     if e.title == "湖边 notes")
        rss = next(e for e in feedparser.parse(self.public("atom.xml")).entries
                   if e.title == "湖边 notes")
        self.assertEqual(rss.summary, "By the lake.")
        with open(self.public("feed.json"), encoding="utf-8") as f:
            item = next(i for i in json.load(f)["items"] if i["title"] == "湖边 notes")
        for html in (entry.content[0].value, rss.content[0].value, item["content_html"]):
            self.assertIn(f'src="{SITE}/assets/img/lake.svg"', html)
            self.assertIn(f'href="{SITE}/articles/Hello%20Tarn.html"', html)
            self.assertIn(f'href="{SITE}/about.html"', html)
            self.assertIn(f'href="{SITE}/articles/%E6%B9%96%E8%BE%B9%20notes.html#top"', html)
            self.assertIn('href="mailto:a@example.com"', html)

    def test_a_tag_feed_holds_the_tags_posts_and_the_tag_page_links_it(self):
        self.build(FEED_SETTINGS)
        folder = self.term_folder("tags", "湖边")
        for name in ("atom.xml", "feed.atom"):
            parsed = feedparser.parse(os.path.join(folder, name))
            self.assertEqual([e.title for e in parsed.entries], ["湖边 notes"])
            self.assertTrue(parsed.feed.title.endswith("· 湖边"))
        page = read(os.path.join(folder, "index.html"))
        link = os.path.basename(folder)
        for name in ("atom.xml", "feed.atom", "feed.json"):
            self.assertIn(f'href="../../tags/{link}/{name}"', page)
        home = read(self.public("index.html"))
        for kind, name in (("rss+xml", "atom.xml"), ("atom+xml", "feed.atom"),
                           ("feed+json", "feed.json")):
            self.assertIn(f'<link rel="alternate" type="application/{kind}"', home)
            self.assertIn(f'href="./{name}">', home)
        category = self.term_folder("categories", "日记")
        self.assertEqual([e.title for e in feedparser.parse(
            os.path.join(category, "feed.atom")).entries], ["湖边 notes"])

    def test_drafts_and_scheduled_posts_are_in_no_feed(self):
        for settings in (None, FEED_SETTINGS):
            with self.subTest(settings=settings):
                self.build(settings)
                # The build took drafts; a post dated later waits for its
                # date (or --future) to be on the site at all.
                self.assertTrue(os.path.isfile(self.public("articles", "Draft.html")))
                self.assertFalse(os.path.isfile(self.public("articles", "Later.html")))
                for path in self.feeds():
                    titles = [e.title for e in feedparser.parse(path).entries] \
                        if not path.endswith(".json") else \
                        [i["title"] for i in json.loads(read(path))["items"]]
                    self.assertNotIn("Draft", titles, path)
                    self.assertNotIn("Later", titles, path)

    def test_without_the_settings_atom_xml_is_alone_and_earlier_feeds_go(self):
        self.build(FEED_SETTINGS)
        self.build()
        self.assertEqual([os.path.relpath(p, self.public()) for p in self.feeds()], ["atom.xml"])
        feed = read(self.public("atom.xml"))
        self.assertNotIn("content:encoded", feed)
        self.assertIn(f'<atom:link href="{SITE}/atom.xml" rel="self"', feed)
        home = read(self.public("index.html"))
        self.assertEqual(home.count('rel="alternate"'), 1)
        self.assertIn('<link rel="alternate" type="application/rss+xml" title="RSS" '
                      'href="./atom.xml">\n', home)
        # Without system.url the feed has no address of its own to give.
        self.build(url="")
        feed = read(self.public("atom.xml"))
        self.assertNotIn("atom:link", feed)
        self.assertFalse(feedparser.parse(self.public("atom.xml")).bozo)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarn", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
