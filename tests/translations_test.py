#!/usr/bin/python3
"""The message catalogues in po/: each language's catalogue passes
`msgfmt --check`, holds every message of tarn.pot translated (none missing,
none fuzzy or empty) with its placeholders (printf's %s/%d, the pages' {})
and line breaks intact, and tarn.pot holds what the sources mark with _()
and N_() (xgettext over POTFILES).

usage: translations_test.py --source SOURCE_DIR [unittest options]
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import unittest

SOURCE = None
PLACEHOLDER = re.compile(r"%[sd%]|\{\}")


def run(args):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def unquote(lines):
    text = "".join(re.findall(r'"(.*)"', "\n".join(lines)))
    return re.sub(r'\\(.)', lambda m: {"n": "\n", "t": "\t"}.get(m.group(1), m.group(1)), text)


def entries(path):
    """The catalogue's messages: (msgid, msgstr, flags), the header left out."""
    with open(path, encoding="utf-8") as f:
        blocks = f.read().split("\n\n")
    found = []
    for block in blocks:
        lines = block.strip().splitlines()
        if not lines:
            continue
        flags = " ".join(l[2:] for l in lines if l.startswith("#,"))
        body = [l for l in lines if not l.startswith("#")]
        at = next(i for i, l in enumerate(body) if l.startswith("msgstr"))
        msgid = unquote([body[0][len("msgid "):]] + body[1:at])
        msgstr = unquote([body[at][len("msgstr "):]] + body[at + 1:])
        if msgid:
            found.append((msgid, msgstr, flags))
    return found


def languages():
    with open(os.path.join(SOURCE, "po", "LINGUAS")) as f:
        return [l.strip() for l in f if l.strip() and not l.startswith("#")]


class Catalogues(unittest.TestCase):
    def test_every_catalogue_compiles_with_checks(self):
        for lang in languages():
            with self.subTest(lang=lang):
                po = os.path.join(SOURCE, "po", lang + ".po")
                checked = run(["msgfmt", "--check", "-o", os.devnull, po])
                self.assertEqual(checked.returncode, 0, checked.stderr)

    def test_every_message_is_translated_with_its_placeholders(self):
        wanted = [msgid for msgid, _, _ in entries(os.path.join(SOURCE, "po", "tarn.pot"))]
        for lang in languages():
            translated = {m: (s, f) for m, s, f in entries(os.path.join(SOURCE, "po", lang + ".po"))}
            for msgid in wanted:
                with self.subTest(lang=lang, msgid=msgid):
                    self.assertIn(msgid, translated)
                    msgstr, flags = translated[msgid]
                    self.assertNotEqual(msgstr, "")
                    self.assertNotIn("fuzzy", flags)
                    self.assertEqual(PLACEHOLDER.findall(msgstr), PLACEHOLDER.findall(msgid))
                    self.assertEqual(msgstr.count("\n"), msgid.count("\n"))

    def test_the_template_holds_what_the_sources_mark(self):
        with tempfile.TemporaryDirectory() as tmp:
            fresh = os.path.join(tmp, "tarn.pot")
            made = run(["xgettext", "--from-code=UTF-8", "--language=C++", "--keyword=_",
                        "--keyword=N_", "-D", SOURCE, "-f", os.path.join(SOURCE, "po", "POTFILES"),
                        "-o", fresh])
            self.assertEqual(made.returncode, 0, made.stderr)
            kept = {m for m, _, _ in entries(os.path.join(SOURCE, "po", "tarn.pot"))}
            marked = {m for m, _, _ in entries(fresh)}
        self.assertEqual(marked - kept, set(), "run: cmake --build build --target pot")
        self.assertEqual(kept - marked, set(), "run: cmake --build build --target pot")

    def test_potfiles_lists_every_source_with_marked_messages(self):
        with open(os.path.join(SOURCE, "po", "POTFILES")) as f:
            listed = {l.strip() for l in f if l.strip()}
        marking = set()
        for folder, _, files in os.walk(os.path.join(SOURCE, "src")):
            for name in files:
                if not name.endswith((".cc", ".h")) or name.endswith("_test.cc"):
                    continue
                path = os.path.join(folder, name)
                with open(path, encoding="utf-8") as f:
                    if re.search(r'\bN?_\("', f.read()):
                        marking.add(os.path.relpath(path, SOURCE))
        self.assertEqual(marking - listed, set())


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    args, rest = parser.parse_known_args()
    SOURCE = os.path.abspath(args.source)
    unittest.main(argv=[sys.argv[0]] + rest)
