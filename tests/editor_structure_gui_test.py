#!/usr/bin/python3
"""The post editor's preview, outline and front matter as a writer meets
them: the real `tarn gui` on a copy of the bundled workspace under an X
server (run through xvfb-run), driven with xdotool. What the page shows is
read from the page itself (gui_harness's evaluate), never from pixels.

usage: editor_structure_gui_test.py --tarn PATH --workspace DIR [--shots DIR]
       [unittest options]
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # the shared harness
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import editor_gui_test  # noqa: E402

PREVIEW = "document.querySelector('.editor-preview-active-side')"
CM = "tarnEditor.codemirror"


class Session(editor_gui_test.Session):
    def __init__(self, test, **kwargs):
        super().__init__(test, **kwargs)
        self.watch_page()

    def open_text(self, name, text):
        """Writes a post named name and opens it in the editor; returns the
        editor's window once the page has its text."""
        path = self.path("_posts", name)
        editor_gui_test.write(path, text)
        return self.open_post(path)


class StructureTest(unittest.TestCase):
    def session(self):
        s = Session(self)
        self.addCleanup(s.stop)
        s.start()
        s.wait_started()
        return s


class PreviewTest(StructureTest):
    def test_the_welcome_posts_theme_image_shows_in_the_preview(self):
        s = self.session()
        s.open_post(s.path("_posts", "Hello Tarn.md"))
        src = s.wait_page(
            "(function () { var i = %s.querySelector('img[alt^=\"A mountain lake\"]');"
            " return i && i.complete && i.naturalWidth > 0 && i.getAttribute('src'); })()"
            % PREVIEW, "the lake image loaded")
        self.assertEqual(src, "../themes/lake/assets/img/lake.svg")
        s.shot("preview_welcome_post")

    def test_fenced_code_is_highlighted_in_the_preview(self):
        s = self.session()
        s.open_text("code.md", "# Code\n\n```js\nlet a = 1; // one\n```\n")
        classes = s.wait_page(
            "(function () { var k = %s.querySelector('pre code .hljs-keyword');"
            " return k && [k.parentNode.className, k.textContent]; })()" % PREVIEW,
            "a highlighted keyword")
        self.assertEqual(classes, ["hljs language-js", "let"])

    def test_the_preview_follows_the_source_to_the_end_of_a_long_post(self):
        s = self.session()
        lines = ["# Long", ""]
        for i in range(1, 150):
            lines += ["Paragraph %d of a long post, long enough to wrap in the pane." % i, ""]
        editor = s.open_text("long.md", "\n".join(lines))
        s.wait_page("%s.scrollHeight > 3 * %s.clientHeight" % (PREVIEW, PREVIEW),
                    "a preview taller than its pane")
        s.click(editor, 150, 300)  # into the source
        s.key(editor, "ctrl+End")
        s.wait_page("%s.getScrollInfo().top > 0" % CM, "the source scrolled")
        s.wait_page("(function (p) { return p.scrollTop + p.clientHeight > 0.95 * p.scrollHeight; })"
                    "(%s)" % PREVIEW, "the preview at its end")
        s.key(editor, "ctrl+Home")
        s.wait_page("%s.scrollTop < 0.05 * %s.scrollHeight" % (PREVIEW, PREVIEW),
                    "the preview back at its start")


# Front matter with a comment, a list and, right above the closing fence,
# a line that Markdown would take for a setext heading's text.
FRONT = ("---\ntitle: Lake notes  # a comment\ntags:\n  - lake\n"
         "description: A morning by the water\n---\n\n# Lake notes\n\nText.\n")
TOML = "+++\ntitle = \"Lake\"\ndescription = \"Water\"\n+++\n\nText\n---\n"

# The classes of the source pane's line starting with a text:
LINE_CLASSES = ("(function (start) { var found = null; %s.getWrapperElement()"
                ".querySelectorAll('.CodeMirror-line').forEach(function (l) {"
                " if (!found && l.textContent.indexOf(start) === 0) found = Array.prototype.map.call("
                "l.querySelectorAll('[class]'), function (e) { return e.className; }).join(' '); });"
                " return found; })" % CM)


class FrontMatterTest(StructureTest):
    def test_the_front_matter_is_drawn_as_front_matter_and_folds(self):
        s = self.session()
        editor = s.open_text("front.md", FRONT)
        classes = s.wait_page(LINE_CLASSES + "('description:')", "the description line")
        self.assertNotIn("cm-header", classes)
        self.assertIn("cm-fm-key", classes)
        self.assertIn("cm-header", s.evaluate(LINE_CLASSES + "('# Lake notes')"))
        self.assertIn("cm-fm-comment", s.evaluate(LINE_CLASSES + "('title:')"))
        s.shot("front_matter_highlighted")
        # The control folds the block into one line; a click opens it.
        s.wait_page("document.querySelector('.fm-fold') !== null", "the fold control")
        s.evaluate("document.querySelector('.fm-fold').dispatchEvent("
                   "new MouseEvent('mousedown', {bubbles: true}))")
        s.wait_page("document.querySelector('.fm-folded') !== null", "the folded block")
        self.assertIsNone(s.evaluate(LINE_CLASSES + "('description:')"))
        s.shot("front_matter_folded")
        s.evaluate("document.querySelector('.fm-folded').dispatchEvent("
                   "new MouseEvent('mousedown', {bubbles: true}))")
        s.wait_page(LINE_CLASSES + "('description:')", "the block open again")
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")
        self.assertEqual(editor_gui_test.read(s.path("_posts", "front.md")), FRONT)

    def test_toml_front_matter_too(self):
        s = self.session()
        s.open_text("toml.md", TOML)
        classes = s.wait_page(LINE_CLASSES + "('description =')", "the description line")
        self.assertNotIn("cm-header", classes)
        self.assertIn("cm-fm-key", classes)
        # After the block, Markdown again: "Text" above "---" is a heading.
        self.assertIn("cm-header", s.evaluate(LINE_CLASSES + "('Text')"))


# Where the heading the cursor is on shows in the source, and where the
# preview's heading of that text shows in the preview (0: at the top).
SOURCE_LINE = "%s.getCursor().line" % CM
PREVIEW_TOP = ("(function (text) { var p = %s; var h = Array.prototype.filter.call("
               "p.querySelectorAll('h1, h2, h3'), function (e) { return e.textContent === text; })[0];"
               " return Math.round(h.getBoundingClientRect().top - p.getBoundingClientRect().top); })"
               % PREVIEW)


def long_post(sections):
    lines = ["---", "title: Long", "description: many sections", "---", ""]
    for n in range(1, sections + 1):
        lines += ["## Section %d" % n, ""]
        lines += ["Line %d of section %d, long enough to wrap in a narrow pane." % (i, n)
                  for i in range(12)]
        lines += ["", "```", "# not a heading %d" % n, "```", ""]
    return "\n".join(lines)


class OutlineTest(StructureTest):
    def click_at(self, s, editor, selector):
        s.click(editor, *s.centre_of(selector))

    def test_a_click_in_the_outline_jumps_in_both_panes_and_it_follows_edits(self):
        s = self.session()
        editor = s.open_text("sections.md", long_post(12))
        self.click_at(s, editor, ".editor-toolbar button.outline")
        items = s.wait_page("document.querySelector('#outline').hidden === false &&"
                            " Array.prototype.map.call(document.querySelectorAll('.outline-item'),"
                            " function (e) { return e.textContent; })", "the outline")
        self.assertEqual(items, ["Section %d" % n for n in range(1, 13)])
        # Outline, source and preview side by side, in one row.
        boxes = s.evaluate("['#outline', '.CodeMirror', '.editor-preview-active-side'].map(function (q) {"
                           " var r = document.querySelector(q).getBoundingClientRect();"
                           " return [r.left, r.right, r.top]; })")
        self.assertLessEqual(boxes[0][1], boxes[1][0] + 1)
        self.assertLessEqual(boxes[1][1], boxes[2][0] + 1)
        self.assertEqual(boxes[1][2], boxes[2][2])
        s.shot("outline_panel")
        self.click_at(s, editor, ".outline-item:nth-child(9)")
        line = s.wait_page("%s === 5 + 8 * 19 && %s" % (SOURCE_LINE, SOURCE_LINE), "the cursor on Section 9")
        # The heading is at the top of the source and of the preview.
        s.wait_page("Math.abs(%s.charCoords({line: %d, ch: 0}, 'local').top - %s.getScrollInfo().top) < 30"
                    % (CM, line, CM), "Section 9 at the top of the source")
        s.wait_page("Math.abs(%s('Section 9')) < 30" % PREVIEW_TOP, "Section 9 at the top of the preview")
        s.shot("outline_jumped")
        # Back up: the preview follows too.
        self.click_at(s, editor, ".outline-item:nth-child(2)")
        s.wait_page("%s === 5 + 19" % SOURCE_LINE, "the cursor on Section 2")
        s.wait_page("Math.abs(%s('Section 2')) < 30" % PREVIEW_TOP, "Section 2 at the top of the preview")
        # A heading typed in shows in the list.
        s.key(editor, "ctrl+End")
        s.type_text(editor, "\n# Added\n")
        s.wait_page("document.querySelector('.outline-item:last-child').textContent === 'Added'",
                    "the new heading in the outline")
        self.click_at(s, editor, ".editor-toolbar button.outline")
        s.wait_page("document.querySelector('#outline').hidden", "the outline closed")


# A post whose front matter the form edits: comments, a quoted key, a
# folded description and keys the form does not know stay byte for byte.
FORM_POST = ("---\n# Written by hand\ntitle: Lake   # the title\ndate: 2020-01-02 08:00:00\n"
             "tags: [lake, morning]\n\"weather\": calm  # was windy\ndescription: >\n"
             "  A morning\n  by the water\nlayout: wide\n---\n\n# Lake\n\nText.\n")
FORM_SAVED = ("---\n# Written by hand\ntitle: Lake   # the title\ndate: 2020-01-02 08:00:00\n"
              "tags:\n  - \"lake\"\n  - \"湖边\"\n\"weather\": calm  # was windy\ndescription: >\n"
              "  A morning\n  by the water\nlayout: wide\ndraft: true\n---\n\n# Lake\n\nText.\n")


class FormTest(StructureTest):
    def test_the_form_sets_tags_from_the_blogs_and_draft_keeping_every_other_line(self):
        s = self.session()
        editor_gui_test.write(s.path("_posts", "other.md"), "---\ntitle: Other\ntags: [湖边]\n---\nB\n")
        path = s.path("_posts", "form.md")
        editor = s.open_text("form.md", FORM_POST)
        OutlineTest.click_at(None, s, editor, ".editor-toolbar button.front-matter")
        s.wait_line(r"^editor: listed \d+ tags$")
        known = s.evaluate("Array.prototype.map.call(document.querySelectorAll('#fm-tags-list option'),"
                           " function (o) { return o.value; })")
        self.assertIn("湖边", known)  # from the other post
        self.assertEqual(s.evaluate("[document.querySelector('#fm-form [name=title]').value,"
                                    " document.querySelector('#fm-form [name=date]').value,"
                                    " document.querySelector('#fm-form [name=description]').value]"),
                         ["Lake", "2020-01-02T08:00", "A morning by the water"])
        # The preview's box shows the title without its comment.
        self.assertEqual(s.evaluate("%s.querySelector('.front-matter strong').textContent" % PREVIEW),
                         "Lake")
        s.shot("front_matter_form")
        # Remove "morning", add the suggested tag, tick draft.
        OutlineTest.click_at(None, s, editor, ".fm-chip[data-value=morning] button")
        s.wait_line(r"^editor: front matter set$")
        OutlineTest.click_at(None, s, editor, "#fm-form [name=tags]")
        s.type_text(editor, "湖边")
        s.key(editor, "Return")
        s.wait_line(r"^editor: front matter set$")
        OutlineTest.click_at(None, s, editor, "#fm-form [name=draft]")
        s.wait_line(r"^editor: front matter set$")
        s.wait_page("%s.getValue().indexOf('draft: true') > 0" % CM, "draft in the text")
        s.shot("front_matter_form_set")
        s.key(editor, "Escape")
        s.wait_page("document.querySelector('#fm-form').hidden", "the form closed")
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")
        self.assertEqual(editor_gui_test.read(path), FORM_SAVED)
        # Each change is one step that undo takes back.
        for _ in range(3):
            s.key(editor, "ctrl+z")
        s.wait_page("%s.getValue() === %r" % (CM, FORM_POST), "the text as it was")

    def test_toml_front_matter_is_shown_not_edited(self):
        s = self.session()
        editor = s.open_text("toml.md", TOML)
        OutlineTest.click_at(None, s, editor, ".editor-toolbar button.front-matter")
        self.assertEqual(s.wait_page(
            "!document.querySelector('.fm-note').hidden &&"
            " [document.querySelector('#fm-form [name=title]').value,"
            " document.querySelector('#fm-form [name=title]').disabled]", "the read-only form"),
            ["Lake", True])


if __name__ == "__main__":
    editor_gui_test.main()  # runs this file's tests with the editor suite's arguments
