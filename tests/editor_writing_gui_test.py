#!/usr/bin/python3
"""The post editor's writing tools as a writer meets them: find and replace,
focus mode and the keyboard map, in the real `tarn gui` on a copy of the
bundled workspace under an X server (run through xvfb-run), driven with
xdotool key presses. The program runs with TARN_PAGE_TRACE, so the editor
page says what its tools show ("page: find 3 ok", "page: focus on",
"page: preview hidden", "page: keymap shown: KEYS"); the window's full-screen state is the
program's own line ("editor: full screen on"). The tests wait on those lines
and on the files a save writes.

usage: editor_writing_gui_test.py --tarn PATH --workspace DIR [--shots DIR]
       [unittest options]
"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # the shared harness
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import editor_gui_test  # noqa: E402
from editor_gui_test import read, write  # noqa: E402
from gui_harness import geometry, xdotool  # noqa: E402

# The same word as a word, inside other words, in another case and beside
# Chinese; the post has front matter and CR LF line ends that must survive.
POST = ("---\r\ntitle: Cats\r\ntags: [cat]\r\n---\r\n\r\n"
        "The cat sat. A cat! Concat cat_s.\r\n\r\nCat 猫 cat\r\n")


class Session(editor_gui_test.Session):
    def __init__(self, test, **kwargs):
        super().__init__(test, **kwargs)
        self.env["TARN_PAGE_TRACE"] = "1"
        self.watch_page()


def start_window_manager(s):
    """Starts openbox on the test's display, as the session's helper, and
    returns once it manages windows: full screen is the window manager's
    to grant (the display has none of its own)."""
    s.helpers.append(subprocess.Popen(["openbox", "--sm-disable"], env=s.env,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
    deadline = time.time() + s.wait
    while time.time() < deadline:
        check = subprocess.run(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"],
                               capture_output=True, text=True).stdout
        if "window id" in check:
            return
        time.sleep(0.1)
    s.test.fail("openbox did not start")


def wait_managed(s, window):
    """Returns once the window manager has taken window in (its frame is
    set) and shows it again: taking in a window that exists unmaps and maps
    it, and focus cannot go to it meanwhile."""
    deadline = time.time() + s.wait
    while time.time() < deadline:
        frame = subprocess.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"],
                               capture_output=True, text=True).stdout
        state = subprocess.run(["xwininfo", "-id", str(window)],
                               capture_output=True, text=True).stdout
        if "=" in frame and "IsViewable" in state:
            return
        time.sleep(0.05)
    s.test.fail("openbox did not take in the editor window")


class WritingCase(unittest.TestCase):
    def open(self, text=POST, name="cats.md"):
        s = Session(self)
        self.addCleanup(s.stop)
        s.start()
        s.wait_started()
        path = s.path("_posts", name)
        write(path, text)
        return s, path, s.open_post(path)

    def save(self, s, editor):
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")


class WritingTest(WritingCase):
    def test_replace_all_changes_every_match_and_one_undo_restores_it(self):
        s, path, editor = self.open()
        s.key(editor, "ctrl+h")
        s.wait_line(r"^page: find 0 ok$")
        s.type_text(editor, "cat")
        s.wait_line(r"^page: find 8 ok$")   # in any case, inside words too
        s.key(editor, "alt+w")
        s.wait_line(r"^page: find 5 ok$")   # not in "Cats", "Concat" nor "cat_s"
        s.key(editor, "alt+c")
        s.wait_line(r"^page: find 4 ok$")   # nor "Cat"; the tag is a match
        s.shot("find_and_replace")
        s.key(editor, "ctrl+h")             # to the replace box
        s.type_text(editor, "dog")
        s.key(editor, "ctrl+Return")
        s.wait_line(r"^page: replaced 4$")
        self.save(s, editor)
        self.assertEqual(read(path), POST.replace("[cat]", "[dog]")
                         .replace("The cat", "The dog").replace("A cat", "A dog")
                         .replace("猫 cat", "猫 dog"))
        # The panel closes, and one undo takes every replacement back.
        s.key(editor, "Escape")
        s.key(editor, "ctrl+z")
        self.save(s, editor)
        self.assertEqual(read(path), POST)

    def test_a_faulty_regular_expression_is_named_in_the_panel(self):
        s, path, editor = self.open()
        s.key(editor, "ctrl+f")
        s.wait_line(r"^page: find 0 ok$")
        s.key(editor, "alt+r")
        s.type_text(editor, "c(a|o)t$")
        s.wait_line(r"^page: find 1 ok$")   # the last line's end
        s.type_text(editor, "(")
        s.wait_line(r"^page: find 0 error$")
        s.shot("find_bad_regular_expression")
        # Enter with a faulty expression moves nothing and changes nothing.
        s.key(editor, "Return")
        s.wait_line(r"^page: find 0 error$")
        self.save(s, editor)
        self.assertEqual(read(path), POST)

    def test_f11_focus_mode_is_full_screen_without_the_preview_and_esc_leaves(self):
        s, path, editor = self.open()
        start_window_manager(s)
        wait_managed(s, editor)
        before = geometry(editor)
        for _ in range(2):   # in and out twice: the layout comes back each time
            s.key(editor, "F11")
            s.wait_line(r"^page: focus on$")
            s.wait_line(r"^page: preview hidden$")
            s.wait_line(r"^editor: full screen on$", earlier=True)
            screen = xdotool("getdisplaygeometry").split()
            g = geometry(editor)
            self.assertEqual([str(g["WIDTH"]), str(g["HEIGHT"])], screen)
            s.shot("focus_mode")
            s.key(editor, "Escape")
            s.wait_line(r"^page: focus off$")
            s.wait_line(r"^page: preview shown$")
            s.wait_line(r"^editor: full screen off$", earlier=True)
        # Typing in focus mode edits the post as ever.
        s.type_text(editor, "Hi ")
        self.save(s, editor)
        self.assertEqual(read(path), "Hi " + POST)
        self.assertEqual(geometry(editor)["WIDTH"], before["WIDTH"])

    def test_f1_lists_every_key_and_esc_closes_it(self):
        s, path, editor = self.open()
        s.key(editor, "F1")
        line = s.wait_line(r"^page: keymap shown: ")
        keys = line.split(": ", 2)[2].split(", ")
        for key in ("Ctrl+F", "Ctrl+H", "F11", "F1", "Ctrl+B", "Ctrl+Alt+H", "F9", "Ctrl+P"):
            self.assertIn(key, keys)
        # Ctrl+H is replace alone: the heading command has moved.
        self.assertEqual(keys.count("Ctrl+H"), 1)
        s.shot("keyboard_map")
        s.key(editor, "Escape")
        s.wait_line(r"^page: keymap hidden$")


class SpellingTest(WritingCase):
    # The post's language is English; the blog's and the system's have no
    # dictionary (the test locale is C.UTF-8, the demo blog names none).
    POST = ("---\ntitle: Speling\nlang: en\n---\n\n"
            "Helo wrold\n\n水光潋滟晴方好\n\n`codde` http://exampel.com/wrold\n")

    def menu_of_selection(self, s, editor, line, right, select):
        """The context menu's spelling items for the text selected with the
        keys select, right characters into the line numbered line, opened
        with the keyboard's menu key as a writer without a mouse does."""
        s.key(editor, "ctrl+Home", *(["Down"] * line), "Home", *(["Right"] * right), select)
        s.key(editor, "Menu")
        items = s.wait_line(r"^editor: context menu: ").split(": ", 2)[2].split(", ")
        s.key(editor, "Escape")
        return [item for item in items if item != "other"]

    def test_a_misspelt_english_word_has_suggestions_and_the_rest_is_not_checked(self):
        s, path, editor = self.open(self.POST, "spelling.md")
        s.wait_line(r"^editor: spelling en_US$", earlier=True)
        s.wait_line(r"^page: spelling on$", earlier=True)
        word = "ctrl+shift+Right"
        items = self.menu_of_selection(s, editor, 5, 0, word)
        self.assertIn("guess Hello", items)
        self.assertIn("learn spelling", items)
        # Front matter, Chinese, code and an address offer no spelling.
        for line, right, select, what in ((1, 7, word, "Speling"),
                                          (7, 0, "shift+End", "水光潋滟晴方好"),
                                          (9, 1, word, "codde"),
                                          (9, 15, word, "exampel")):
            self.assertEqual(self.menu_of_selection(s, editor, line, right, select), [], what)
        # WebKit underlines a misspelt word once the caret has passed it
        # (typed or walked over), which the screenshot shows: here the
        # words of lines 5 and 9.
        s.key(editor, "ctrl+Home", *(["Down"] * 5), "End")
        s.type_text(editor, " a sentance 湖水")
        s.key(editor, "Home", *(["ctrl+Right"] * 6), "ctrl+End", "Up",
              *(["ctrl+Right"] * 8), "Up")
        s.shot("spelling_underline")
        # The context menu on a misspelt word offers its corrections.
        s.key(editor, "ctrl+Home", *(["Down"] * 5), "Home", word, "Menu")
        s.wait_line(r"^editor: context menu: guess ")
        s.shot("spelling_suggestions")
        # "Learn Spelling" (its mnemonic, L) adds the word to the user's
        # own dictionary, which enchant keeps; it is then no misspelling.
        s.key(editor, "l")
        learnt = os.path.join(s.env["XDG_CONFIG_HOME"], "enchant", "en_US.dic")
        deadline = time.time() + s.wait
        while time.time() < deadline and not (os.path.exists(learnt)
                                               and "Helo" in read(learnt).split()):
            time.sleep(0.2)
        self.assertIn("Helo", read(learnt).split())
        self.assertEqual(self.menu_of_selection(s, editor, 5, 0, word), [])

    # The toolbar's spell-check switch, the third button from the right.
    def test_the_toolbar_switch_turns_checking_off_and_on(self):
        s, path, editor = self.open(self.POST, "spelling.md")
        s.wait_line(r"^page: spelling on$", earlier=True)
        for state, offered in (("off", []), ("on", ["Help", "Hello"])):
            s.click(editor, *s.centre_of(".editor-toolbar button.spelling"))
            s.wait_line(r"^page: spelling %s$" % state)
            items = self.menu_of_selection(s, editor, 5, 0, "ctrl+shift+Right")
            for guess in offered:
                self.assertIn("guess " + guess, items)
            if not offered:
                self.assertEqual(items, [])

    def test_a_post_in_a_language_without_a_dictionary_is_not_checked(self):
        s, path, editor = self.open(self.POST.replace("lang: en", "lang: zh-CN"), "zh.md")
        s.wait_line(r"^editor: spelling off$", earlier=True)


if __name__ == "__main__":
    editor_gui_test.main()  # runs this file's tests with the editor suite's arguments
