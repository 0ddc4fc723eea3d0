#!/usr/bin/python3
"""The post editor, the notification-area mode and Alt+B as a user meets
them: the real `tarn gui` on a copy of the bundled workspace under an X
server (run through xvfb-run), driven with xdotool key presses and real
drags from another program's window. The program writes each message box to
standard output ("message: CAPTION: TEXT"), each page load that ends
("page: loaded PATH"), each text the editor takes in ("editor: editing
PATH") and each save ("editor: saved PATH"); the tests wait on those lines,
on windows found by title and on what the screen shows.

Every session runs inside a D-Bus session of its own (dbus-run-session)
with no notification-area host and no notification service, as on a bare
X server.

usage: editor_gui_test.py --tarn PATH --workspace DIR [--shots DIR]
       [unittest options]
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))  # the shared harness
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import gui_harness  # noqa: E402
from gui_harness import MAIN_TITLE, ask_to_close, find_windows, geometry, xdotool  # noqa: E402

TARN = None
WORKSPACE = None  # the built workspace: build/{config,template,themes,_posts}

EDITOR_TITLE = "Tarn Blog Editor - 编辑"
SAVE_TITLE = "选择文件保存位置"
CLOSE_CAPTION = "是否关闭？"
WAIT = 40  # seconds: generous, the machine may be busy

# A post that exercises what a lossy reader would change: Chinese, "%41"
# (which must not turn into "A"), CR LF line ends, a tab and an emoji.
POST = ("----------\r\n游记|西湖\r\n\r\n----------\r\n\r\n"
        "# 西湖游记\r\n\r\n水光潋滟晴方好，%41 不是 A。\r\n\r\n"
        "- 苏堤\t春晓\r\n- 断桥 🌸\r\n")

# A stand-in for a desktop's panel and notification daemon on the session
# bus: it takes notifications and StatusNotifier items, reports them as
# "desktop: ..." lines, and starts the command given after it once its names
# are on the bus. SIGUSR1 makes it activate the item, as a middle click on a
# panel icon does.
FAKE_DESKTOP = r'''
import os, signal, subprocess, sys, threading
from gi.repository import Gio, GLib
XML = """<node>
<interface name="org.freedesktop.Notifications">
 <method name="Notify"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/>
  <arg type="s"/><arg type="as"/><arg type="a{sv}"/><arg type="i"/>
  <arg type="u" direction="out"/></method>
 <method name="GetCapabilities"><arg type="as" direction="out"/></method>
 <method name="GetServerInformation"><arg type="s" direction="out"/><arg type="s" direction="out"/>
  <arg type="s" direction="out"/><arg type="s" direction="out"/></method>
 <method name="CloseNotification"><arg type="u"/></method>
</interface>
<interface name="org.kde.StatusNotifierWatcher">
 <method name="RegisterStatusNotifierItem"><arg type="s"/></method>
 <method name="RegisterStatusNotifierHost"><arg type="s"/></method>
 <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
 <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
 <property name="ProtocolVersion" type="i" access="read"/>
</interface></node>"""
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
node = Gio.DBusNodeInfo.new_for_xml(XML)
items = []
def say(text):
    print("desktop: " + text, flush=True)
def call(conn, sender, path, iface, method, params, inv):
    if method == "Notify":
        say("notification: %s: %s" % (params[3], params[4]))
        inv.return_value(GLib.Variant("(u)", (1,)))
    elif method == "GetCapabilities":
        inv.return_value(GLib.Variant("(as)", (["body"],)))
    elif method == "GetServerInformation":
        inv.return_value(GLib.Variant("(ssss)", ("fake", "tarn", "1", "1.2")))
    elif method == "RegisterStatusNotifierItem":
        where = params[0] if params[0].startswith("/") else "/StatusNotifierItem"
        items.append((sender, where))
        title = bus.call_sync(sender, where, "org.freedesktop.DBus.Properties", "Get",
                              GLib.Variant("(ss)", ("org.kde.StatusNotifierItem", "Title")),
                              None, 0, 5000, None).unpack()[0]
        say("tray item: " + title)
        bus.signal_subscribe(sender, "org.kde.StatusNotifierItem", "NewStatus", where, None, 0,
                             lambda *a: say("tray status: " + a[5].unpack()[0]))
        inv.return_value(None)
    else:
        inv.return_value(None)
def prop(conn, sender, path, iface, name):
    return {"RegisteredStatusNotifierItems": GLib.Variant("as", [p for _, p in items]),
            "IsStatusNotifierHostRegistered": GLib.Variant("b", True),
            "ProtocolVersion": GLib.Variant("i", 0)}[name]
for iface, path in ((node.interfaces[0], "/org/freedesktop/Notifications"),
                    (node.interfaces[1], "/StatusNotifierWatcher")):
    bus.register_object(path, iface, call, prop, None)
for name in ("org.freedesktop.Notifications", "org.kde.StatusNotifierWatcher"):
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", GLib.Variant("(su)", (name, 4)), None, 0, 5000, None)
def activate():
    for sender, where in items:
        bus.call_sync(sender, where, "org.kde.StatusNotifierItem", "SecondaryActivate",
                      GLib.Variant("(ii)", (0, 0)), None, 0, 5000, None)
    return False
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, activate)
child = subprocess.Popen(sys.argv[1:])
def ended(pid, status):  # what the program said last is still on its way
    GLib.timeout_add(1000, lambda: os._exit(0))
GLib.child_watch_add(GLib.PRIORITY_DEFAULT, child.pid, ended)
signal.signal(signal.SIGTERM, lambda *a: (child.terminate(), child.wait(), os._exit(0)))
say("pid %d" % os.getpid())
GLib.MainLoop().run()
'''


def read(path):
    with open(path, "rb") as f:
        return f.read().decode("utf-8")


def write(path, text):
    with open(path, "wb") as f:
        f.write(text.encode("utf-8"))


class Session(gui_harness.Session):
    """One run of `tarn gui` on a fresh copy of the bundled workspace."""

    wait = WAIT

    def __init__(self, test, conf=None, desktop=False):
        super().__init__(test, prefix="tarn-editor-")
        os.makedirs(self.root)
        for name in ("config", "template", "themes", "_posts"):
            shutil.copytree(os.path.join(WORKSPACE, name), os.path.join(self.root, name))
        gui_harness.write_conf(self.root, conf or {})
        self.env["GTK_A11Y"] = "none"
        # Pages are painted into the screenshots only without compositing.
        self.env["WEBKIT_DISABLE_COMPOSITING_MODE"] = "1"
        self.desktop = desktop

    def start(self):
        command = [TARN, "gui", "-w", self.root]
        if self.desktop:
            command = ["/usr/bin/python3", "-c", FAKE_DESKTOP] + command
        # Its own process group: stop ends the D-Bus session and all in it.
        return self.launch(["dbus-run-session", "--"] + command, own_group=True)

    def type_text(self, window, text):
        self.focus(window)
        xdotool("type", "--delay", "40", text)

    def open_post(self, path):
        """Drops path on the manager page and waits for the editor to have
        its text (the page's cursor is then at the very start)."""
        self.drag(path)
        # The title names the post.
        editor = self.wait_window(editor_title(os.path.basename(path)))
        self.wait_editing(os.path.basename(path))
        return editor

    def wait_editing(self, name=None):
        """Until the editor has the text of the post named name (None: of a
        new post): keys typed from then on edit it."""
        self.wait_line(r"^editor: editing %s$" % (
            "a new post" if name is None else ".*/" + re.escape(name)))

    def until_window(self, title, act, visible=True):
        """Repeats act until the window titled title is shown (or gone): a
        key pressed while a page or dialog is still setting up may be lost,
        and the act is safe to repeat."""
        deadline = time.time() + WAIT
        while time.time() < deadline:
            act()
            try:
                return self.wait_window(title, visible=visible, timeout=3)
            except AssertionError:
                pass
        self.test.fail("window %r %s" % (title, "never appeared" if visible else "stayed"))

    def name_file(self, name):
        """Types name into the save dialog's name box and saves."""
        dialog = self.wait_window(SAVE_TITLE)
        # A click puts the focus into the name box, wherever the dialog put
        # it while it was still setting up.
        self.click(dialog, geometry(dialog)["WIDTH"] // 2, 25)
        # The box holds a suggested name; the typed one replaces it.
        self.key(dialog, "ctrl+a")
        self.type_text(dialog, name)
        # The Save button becomes usable a moment after the name is typed.
        self.until_window(SAVE_TITLE, lambda: self.key(dialog, "alt+s"), visible=False)

    def new_post(self, main_window, title=EDITOR_TITLE):
        """Opens the editor (its window titled title) on a new post with the
        manager page's Write button, the first control of the page (reached
        with Tab, wherever the page's layout puts it)."""
        def press_write():
            self.click(main_window, 5, 5)
            self.key(main_window, "Tab")
            self.key(main_window, "Return")
        editor = self.until_window(title, press_write)
        self.wait_editing()
        return editor


class EditorTest(unittest.TestCase):
    def session(self, **kwargs):
        s = Session(self, **kwargs)
        self.addCleanup(s.stop)
        return s.start()

    def post(self, s, name="西湖游记.md", text=POST):
        path = s.path("_posts", name)
        write(path, text)
        return path


class SaveTest(EditorTest):
    def test_ctrl_s_writes_exactly_the_editors_text_into_the_dropped_post(self):
        s = self.session()
        s.wait_started()
        path = self.post(s)
        editor = s.open_post(path)
        s.wait_window(MAIN_TITLE, visible=False)
        s.shot("editor_with_a_chinese_post")
        # What is typed lands before the post's first line (the cursor is at
        # the start); the rest of the post, "%41" and CR LF included, is
        # written back as it came.
        s.type_text(editor, "Edited ")
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved .*/_posts/西湖游记\.md$")
        self.assertEqual(read(path), "Edited " + POST)
        # Saving again without a change writes the same bytes.
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")
        self.assertEqual(read(path), "Edited " + POST)
        self.assertFalse([n for n in os.listdir(s.path("_posts")) if n.startswith(".")],
                         "a temporary file was left behind")

    def test_ctrl_s_in_another_window_leaves_the_post_alone(self):
        s = self.session()
        s.wait_started()
        path = self.post(s)
        editor = s.open_post(path)
        s.type_text(editor, "unsaved ")
        # Another program's window has the focus: the key is its own.
        other = s.wait_window("drag source 0")
        before = len(s.seen)
        s.key(other, "ctrl+s")
        # The editor still has the typed text, and saves it, with what is
        # typed next, when it has the focus again. The editor takes keys in
        # order: had the first Ctrl+S reached it, its save (or failure) would
        # have been said first, and without the later text.
        s.type_text(editor, "more ")
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")
        self.assertEqual([l for l in s.seen[before:] if l.startswith(("editor:", "message:"))],
                         [s.seen[-1]])
        self.assertEqual(read(path), "unsaved more " + POST)

    def test_a_failed_save_says_so_and_keeps_the_text(self):
        s = self.session()
        s.wait_started()
        path = self.post(s)
        editor = s.open_post(path)
        s.type_text(editor, "kept ")
        # _posts becomes a file: the post cannot be written (a read-only
        # folder would not stop the tests, which may run as root).
        posts = s.path("_posts")
        shutil.move(posts, posts + ".away")
        write(posts, "not a folder")
        s.key(editor, "ctrl+s")
        line = s.wait_line(r"^message: Error: ")
        self.assertIn("保存失败", line)
        self.assertIn("_posts/西湖游记.md", line)
        self.assertNotIn("保存成功", "\n".join(s.seen))
        s.wait_window("Error")
        s.shot("editor_after_a_failed_save")
        # Once the folder is back, the same text is saved: nothing was lost.
        s.wait_window("Error", visible=False)  # the box closes by itself
        os.remove(posts)
        shutil.move(posts + ".away", posts)
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")
        self.assertEqual(read(path), "kept " + POST)


    def test_a_new_post_asks_where_to_save_every_time(self):
        s = self.session()
        editor = s.new_post(s.wait_started())
        # A new post starts with front matter; the typed text replaces it.
        s.key(editor, "ctrl+a")
        s.type_text(editor, "# First post")
        s.key(editor, "ctrl+s")
        s.wait_window(SAVE_TITLE)
        s.shot("save_dialog")
        s.name_file("first")
        # Saved into _posts, with the default extension.
        s.wait_line(r"^editor: saved .*/_posts/first\.md$")
        # A new post starts with front matter; what is typed goes below it.
        saved = read(s.path("_posts", "first.md"))
        self.assertRegex(saved, r"\A(---\ntitle:\ndate: \S+\ntags: \[\]\n---\n\n)?# First post\Z")
        # The path is not remembered: the next save asks again, and a
        # cancelled dialog renders the manager page again.
        s.type_text(editor, " again")
        s.key(editor, "ctrl+s")
        s.answer(SAVE_TITLE, "Escape")
        s.wait_line(r"^page: loaded .*/template/index\.html$")
        self.assertEqual(read(s.path("_posts", "first.md")), saved)

    def test_a_new_post_without_a_posts_folder_creates_it(self):
        s = self.session()
        shutil.rmtree(s.path("_posts"))
        editor = s.new_post(s.wait_started())
        s.type_text(editor, "text")
        s.key(editor, "ctrl+s")
        s.wait_window(SAVE_TITLE)
        self.assertTrue(os.path.isdir(s.path("_posts")))
        s.name_file("made.md")
        s.wait_line(r"^editor: saved .*/_posts/made\.md$")


class CloseTest(EditorTest):
    def test_closing_asks_first_and_brings_back_the_manager(self):
        s = self.session()
        editor = s.new_post(s.wait_started())
        s.wait_window(MAIN_TITLE, visible=False)
        ask_to_close(editor)
        s.wait_line(r"^message: 是否关闭？: 窗口即将关闭，是否已保存文件？ 【是】关闭 【否】不关闭$")
        s.answer(CLOSE_CAPTION, "alt+n")
        s.wait_window(CLOSE_CAPTION, visible=False)
        self.assertTrue(find_windows(EDITOR_TITLE))
        self.assertEqual(find_windows(MAIN_TITLE), [])
        ask_to_close(editor)
        s.answer(CLOSE_CAPTION, "alt+y")
        s.wait_window(EDITOR_TITLE, visible=False)
        s.wait_window(MAIN_TITLE)


class TrayModeTest(EditorTest):
    def hide_main_window(self, s):
        """Answers No to the main window's close prompt, which hides it;
        returns the window."""
        window = s.wait_started()
        ask_to_close(window)
        s.wait_line(r"^message: 提示: ")
        s.answer("提示", "alt+n")
        s.wait_window(MAIN_TITLE, visible=False)
        return window

    def test_alt_b_shows_the_hidden_main_window(self):
        s = self.session(conf={"Mini": "1"})
        self.hide_main_window(s)
        xdotool("key", "--clearmodifiers", "alt+b")
        s.wait_window(MAIN_TITLE)
        # Again, with the editor open and focused: the key is system-wide.
        editor = s.new_post(s.wait_window(MAIN_TITLE))
        s.wait_window(MAIN_TITLE, visible=False)
        s.key(editor, "alt+b")
        s.wait_window(MAIN_TITLE)
        # No notification area and no notification service on this bus: the
        # program says so once each (at the start) and carries on.
        s.wait_line(r"^tarn: no notification area", earlier=True)
        s.wait_line(r"^tarn: no desktop notification service", earlier=True)
        area = [l for l in s.stderr if "no notification area" in l]
        service = [l for l in s.stderr if "no desktop notification service" in l]
        self.assertEqual((len(area), len(service)), (1, 1), "\n".join(s.stderr))
        self.assertIsNone(s.proc.poll())

    def test_with_a_panel_and_a_notification_daemon(self):
        s = self.session(conf={"Mini": "1"}, desktop=True)
        desktop = int(s.wait_line(r"^desktop: pid \d+$").split()[-1])
        s.wait_line(r"^desktop: notification: 提示: Alt\+B可以快速呼出编写界面哦$")
        s.wait_line(r"^desktop: tray item: TarnBE$")
        # The icon brings the hidden window back.
        self.hide_main_window(s)
        os.kill(desktop, signal.SIGUSR1)
        window = s.wait_window(MAIN_TITLE)
        self.assertFalse([l for l in s.stderr if "notification" in l], "\n".join(s.stderr))
        # The icon goes with the main window.
        ask_to_close(window)
        s.answer("提示", "alt+y")
        s.wait_line(r"^desktop: tray status: Passive$")

    def test_without_mini_alt_b_is_left_to_other_programs(self):
        s = self.session(conf={"Mini": "0"})
        window = self.hide_main_window(s)
        xdotool("key", "--clearmodifiers", "alt+b")
        # Had the key reached the program, the window would be back once
        # the program has handled what came after it.
        s.round_trip(window)
        self.assertEqual(find_windows(MAIN_TITLE), [])
        self.assertFalse([l for l in s.stderr if "notification" in l])


class DropTest(EditorTest):
    def test_a_dropped_text_file_is_ignored(self):
        s = self.session()
        s.wait_started()
        path = s.path("notes.txt")
        write(path, "just notes\n")
        s.drag(path)  # returns once the program has finished with the drop
        # The manager page was not replaced by the file: no other page loaded
        # (a page loads in its own time, so the check gives it a while).
        self.assertFalse([l for l in s.drain() if l.startswith("page: loaded")])
        self.assertEqual(find_windows(EDITOR_TITLE), [])
        self.assertTrue(find_windows(MAIN_TITLE))


# Where things are in the manager's window (780 x 510): the filter box,
# the first row of the post list, and a row's rename and delete buttons;
# the "Render" button.
FILTER_AT = (660, 32)
FIRST_ROW_AT = (330, 77)
RENAME_AT, DELETE_AT = (712, 77), (740, 77)
RENDER_AT = (68, 249)
# Where the first and second rows of the list have their icon and title
# (x, y, width, height): blank when the list has no such row.
FIRST_ROW_BAND = (275, 68, 300, 20)
SECOND_ROW_BAND = (275, 108, 300, 20)


def blank(x, y, width, height):
    """Whether nothing but backgrounds is painted in the screen's rectangle
    now: along each of its lines the colour stays within a few steps of
    where the line starts (a shadow shades a background; an icon or a word
    stands out from it). The pages are painted into the X server, as there
    is no compositing."""
    import gi
    gi.require_version("Gdk", "3.0")
    gi.require_version("Gtk", "3.0")
    from gi.repository import Gdk, Gtk  # noqa: F401 (Gtk opens the display)
    shot = Gdk.pixbuf_get_from_window(Gdk.get_default_root_window(), x, y, width, height)
    pixels, stride, size = shot.get_pixels(), shot.get_rowstride(), shot.get_n_channels()
    for i in range(height):
        line = pixels[i * stride:i * stride + width * size]
        for channel in range(3):
            values = line[channel::size]
            if max(values) - min(values) > 24:
                return False
    return True

# A clipboard owner: puts a 40 x 30 red PNG image on the clipboard and
# keeps it there.
CLIPBOARD_IMAGE = r'''
import gi, sys
gi.require_version("Gdk", "3.0"); gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GdkPixbuf, Gtk
pixbuf = GdkPixbuf.Pixbuf.new(GdkPixbuf.Colorspace.RGB, False, 8, 40, 30)
pixbuf.fill(0xcc2222ff)
Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD).set_image(pixbuf)
print("clipboard: ready", flush=True)
Gtk.main()
'''

# A 2 x 2 PNG image file.
PNG = bytes.fromhex("89504e470d0a1a0a0000000d4948445200000002000000020802000000fdd49a73"
                    "0000001649444154789c63f8cfc0f09f81e13f03c37f0606060600290c05fd"
                    "d6d8a1480000000049454e44ae426082")


def editor_title(name):
    return "%s - %s" % (name, EDITOR_TITLE)


class ListSession(Session):
    def wait_listed(self):
        """Until the manager page shows the list of posts; returns the
        manager's window."""
        window = self.wait_started()
        self.wait_line(r"^manager: listed \d+ posts$", earlier=True)
        return window

    def filter_list(self, main_window, filter_text):
        """Types filter_text into the manager's filter box and waits until
        the list shows the one post it matches. The list follows the box a
        moment after the last key, and keys may reach the page before the
        click that puts the focus into the box: each step is repeated until
        the list shows what it is to show. Emptying the box first (the list
        then shows more than one post) makes sure that a single post shown
        afterwards is the one matched by what was typed, or by a part of it
        that reached the box, which matches it too."""
        def empty_box():
            self.click(main_window, *FILTER_AT)
            self.key(main_window, "ctrl+a", "BackSpace")

        def fill_box():
            self.click(main_window, *FILTER_AT)
            self.key(main_window, "ctrl+a")
            self.type_text(main_window, filter_text)
        self.until_list(main_window, empty_box, single=False)
        self.until_list(main_window, fill_box, single=True)

    def until_list(self, main_window, act, single):
        """Repeats act until the list shows one post (single) or more than
        one, as painted on the screen."""
        def rows_painted(band):
            g = geometry(main_window)
            x, y, width, height = band
            return not blank(g["X"] + x, g["Y"] + y, width, height)

        def shown():
            more = rows_painted(SECOND_ROW_BAND)
            return rows_painted(FIRST_ROW_BAND) and not more if single else more
        deadline = time.time() + WAIT
        while time.time() < deadline:
            act()
            tried = time.time() + 3
            while time.time() < tried:
                if shown():
                    return
                time.sleep(0.1)
        self.test.fail("the post list never showed %s" % ("one post" if single else "all posts"))

    def open_from_list(self, main_window, filter_text):
        """Filters the manager's list down to the one post filter_text
        matches and clicks it."""
        self.filter_list(main_window, filter_text)
        self.click(main_window, *FIRST_ROW_AT)

    def open_listed(self, main_window, filter_text, name):
        """Opens the post named name from the list and waits until the
        editor has its text."""
        self.open_from_list(main_window, filter_text)
        editor = self.wait_window(editor_title(name))
        self.wait_editing(name)
        return editor

    def row_action(self, main_window, filter_text, where):
        """Clicks the button at where of the one post filter_text matches."""
        self.filter_list(main_window, filter_text)
        # The row's buttons show while the pointer is over the row; the page
        # takes pointer events in order, so the click finds them shown.
        g = geometry(main_window)
        gui_harness.move_pointer(g["X"] + FIRST_ROW_AT[0], g["Y"] + FIRST_ROW_AT[1])
        self.shot("manager_row_buttons")
        self.click(main_window, *where)

    def wait_copy(self, name, check):
        """Until the autosave copy of the post named name passes check (a
        text it must equal, or a function of its text): the editor has taken
        in what was typed or put in, as the page has it."""
        if isinstance(check, str):
            expected, check = check, lambda text: text == expected
        copy = self.path(".tarn", "autosave", "posts", name)
        deadline = time.time() + WAIT
        while time.time() < deadline:
            if os.path.exists(copy) and check(read(copy)):
                return
            time.sleep(0.2)
        self.test.fail("the autosaved copy of %s is %r" % (
            name, read(copy) if os.path.exists(copy) else None))


class ListTest(EditorTest):
    def session(self, **kwargs):
        s = ListSession(self, **kwargs)
        self.addCleanup(s.stop)
        return s.start()


class PostListTest(ListTest):
    def test_the_list_opens_a_post_whose_ctrl_s_saves_it_in_place(self):
        s = self.session()
        path = self.post(s)
        main = s.wait_listed()
        s.shot("manager_list")
        editor = s.open_listed(main, "西湖", "西湖游记.md")
        s.wait_window(MAIN_TITLE, visible=False)
        s.type_text(editor, "Listed ")
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved .*/_posts/西湖游记\.md$")
        self.assertEqual(read(path), "Listed " + POST)
        # The list is sent again after the save.
        s.wait_line(r"^manager: listed 5 posts$")

    def test_opening_another_post_over_unsaved_changes_asks(self):
        s = self.session(conf={"Mini": "1"})
        first = self.post(s, "first.md", "first\n")
        self.post(s, "second.md", "second\n")
        main = s.wait_listed()
        editor = s.open_listed(main, "first", "first.md")
        s.type_text(editor, "changed ")
        xdotool("key", "--clearmodifiers", "alt+b")  # the manager comes back
        main = s.wait_window(MAIN_TITLE)
        s.open_from_list(main, "second")
        s.wait_line(r"^message: 未保存的修改: 「first\.md」有未保存的修改")
        s.answer("未保存的修改", "Escape")  # cancel: stay on the first post
        s.wait_window("未保存的修改", visible=False)
        self.assertTrue(find_windows(editor_title("first.md")))
        # The editor came to the front; Alt+B brings the manager over it.
        xdotool("key", "--clearmodifiers", "alt+b")
        s.open_from_list(s.wait_window(MAIN_TITLE), "second")
        s.answer("未保存的修改", "alt+y")  # save first, then open the other
        s.wait_line(r"^editor: saved .*/_posts/first\.md$")
        self.assertEqual(read(first), "changed first\n")
        s.wait_window(editor_title("second.md"))

    def test_a_new_post_suggests_its_title_and_enter_saves(self):
        s = self.session()
        editor = s.new_post(s.wait_listed())
        # The new post's front matter has an empty title on its second line.
        s.key(editor, "ctrl+Home", "Down", "End")
        s.type_text(editor, " Lake Notes")
        s.key(editor, "ctrl+s")
        dialog = s.wait_window(SAVE_TITLE)
        # Return saves under the suggested name once the dialog has set up.
        s.until_window(SAVE_TITLE, lambda: s.key(dialog, "Return"), visible=False)
        s.wait_line(r"^editor: saved .*/_posts/Lake Notes\.md$")
        self.assertIn("title: Lake Notes\n", read(s.path("_posts", "Lake Notes.md")))

    def test_delete_goes_to_the_trash_and_rename_stays_in_posts(self):
        s = self.session()
        self.post(s, "victim.md", "---\ntitle: V\n---\nbody\n")
        self.post(s, "keeper.md", "---\ntitle: K\n---\nkept\n")
        main = s.wait_listed()
        s.until_window("删除文章", lambda: s.row_action(main, "victim", DELETE_AT))
        s.wait_line(r"^message: 删除文章: 把「victim\.md」移到回收站？$", earlier=True)
        s.answer("删除文章", "alt+y")
        s.wait_line(r"^manager: trashed .*/_posts/victim\.md$")
        self.assertFalse(os.path.exists(s.path("_posts", "victim.md")))
        trash = os.path.join(s.env["XDG_DATA_HOME"], "Trash", "files", "victim.md")
        self.assertTrue(os.path.exists(trash))
        s.wait_line(r"^manager: listed 5 posts$")

        dialog = s.until_window("重命名文章", lambda: s.row_action(main, "keeper", RENAME_AT))
        s.key(dialog, "ctrl+a")
        s.type_text(dialog, "../renamed")
        s.key(dialog, "Return")
        s.wait_line(r"^message: Error: 重命名失败")
        self.assertTrue(os.path.exists(s.path("_posts", "keeper.md")))
        s.wait_box_gone("Error")
        dialog = s.until_window("重命名文章", lambda: s.row_action(main, "keeper", RENAME_AT))
        s.key(dialog, "ctrl+a")
        s.type_text(dialog, "renamed")
        s.key(dialog, "Return")
        s.wait_line(r"^manager: renamed .*/_posts/keeper\.md to .*/_posts/renamed\.md$")
        self.assertEqual(read(s.path("_posts", "renamed.md")), "---\ntitle: K\n---\nkept\n")

    def manager_over_editor(self, s):
        """Brings the manager back over the editor (Alt+B, tray mode)."""
        xdotool("key", "--clearmodifiers", "alt+b")
        return s.wait_window(MAIN_TITLE)

    def test_deleting_the_post_open_in_the_editor_never_brings_it_back(self):
        s = self.session(conf={"Mini": "1"})
        path = self.post(s, "gone.md", "gone\n")
        self.post(s, "other.md", "other\n")
        editor = s.open_listed(s.wait_listed(), "gone", "gone.md")
        main = self.manager_over_editor(s)
        s.until_window("删除文章", lambda: s.row_action(main, "gone", DELETE_AT))
        s.answer("删除文章", "alt+y")
        s.wait_line(r"^manager: trashed .*/_posts/gone\.md$")
        s.wait_window(EDITOR_TITLE)  # the title names no post any more
        s.type_text(editor, "typed ")
        s.key(editor, "ctrl+s")
        # Saved like a new post: the dialog asks, and a cancel writes nothing.
        s.answer(SAVE_TITLE, "Escape")
        s.wait_line(r"^page: loaded .*/template/index\.html$")
        self.assertFalse(os.path.exists(path))
        # Having unsaved text, the editor asks before another post replaces
        # it; its answer "save" keeps all of the text, in a file named anew.
        s.open_from_list(self.manager_over_editor(s), "other")
        s.answer("未保存的修改", "alt+y")
        s.name_file("kept")
        s.wait_line(r"^editor: saved .*/_posts/kept\.md$")
        self.assertEqual(read(s.path("_posts", "kept.md")), "typed gone\n")
        self.assertFalse(os.path.exists(path))

    def test_the_editor_follows_a_rename_of_its_post_however_it_was_opened(self):
        s = self.session(conf={"Mini": "1"})
        old = self.post(s, "before.md", "text\n")
        main = s.wait_listed()
        # Opened through a link to the workspace: another spelling of the file.
        alias = os.path.join(s.tmp, "alias")
        os.symlink(s.root, alias)
        editor = s.open_post(os.path.join(alias, "_posts", "before.md"))
        main = self.manager_over_editor(s)
        dialog = s.until_window("重命名文章", lambda: s.row_action(main, "before", RENAME_AT))
        s.key(dialog, "ctrl+a")
        s.type_text(dialog, "after")
        s.key(dialog, "Return")
        s.wait_line(r"^manager: renamed .*/_posts/before\.md to .*/_posts/after\.md$")
        s.type_text(editor, "new ")
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved .*/_posts/after\.md$")
        self.assertEqual(read(s.path("_posts", "after.md")), "new text\n")
        self.assertFalse(os.path.exists(old))

    def test_a_post_that_leads_out_of_posts_is_refused(self):
        s = self.session()
        write(s.path("secret.md"), "secret\n")
        os.symlink(s.path("secret.md"), s.path("_posts", "out.md"))
        main = s.wait_listed()
        s.open_from_list(main, "out")
        line = s.wait_line(r"^message: Error: 无法打开文章")
        self.assertIn("leads outside", line)
        self.assertEqual(find_windows(EDITOR_TITLE), [])

    def test_a_posts_html_cannot_call_the_program(self):
        s = self.session()
        calls = ("showEditor('victim.md');Rendering();Push();RenderingAndPush();showList();"
                 "deletePost('victim.md');renamePost('victim.md');listPosts();"
                 "tarnSavePost();tarnPreviewPost();tarnPasteImage();tarnListHistory();"
                 "tarnRestoreVersion('0000')")
        post = ("# Hostile\n\n<img src=\"nowhere.png\" onerror=\"%s\">\n\n"
                "<script>%s</script>\n\n<a href=\"javascript:%s\" id=\"x\">x</a>\n\n"
                "<iframe srcdoc=\"<script>window.webkit.messageHandlers.tarn.postMessage("
                "['', 'Rendering'])</script>\"></iframe>\n"
                "<svg><animate onbegin=\"%s\" attributeName=\"x\" dur=\"1s\"/></svg>\n"
                % (calls, calls, calls, calls))
        path = self.post(s, "hostile.md", post)
        self.post(s, "victim.md", "victim\n")
        main = s.wait_listed()
        s.open_from_list(main, "Hostile".lower())
        s.wait_window(editor_title("hostile.md"))
        s.wait_editing("hostile.md")  # the side-by-side preview has the post
        s.shot("editor_with_a_hostile_post")
        # Its handlers, had they run, would call the program in their own
        # time (an image's error, a frame's load): the check gives them a while.
        quiet = [l for l in s.drain()
                 if l.startswith(("message:", "editor:", "manager:")) and "listed" not in l]
        self.assertEqual(quiet, [])
        self.assertEqual(read(path), post)
        self.assertTrue(os.path.exists(s.path("_posts", "victim.md")))
        self.assertFalse(os.path.exists(s.path("public", "index.html")))


class ImageTest(ListTest):
    def test_pasted_and_dropped_images_are_stored_and_linked(self):
        s = self.session()
        path = self.post(s, "photos.md", "Photos\n")
        main = s.wait_listed()
        editor = s.open_listed(main, "photos", "photos.md")
        owner = subprocess.Popen(["/usr/bin/python3", "-c", CLIPBOARD_IMAGE],
                                 stdout=subprocess.PIPE, text=True, env=s.env)
        s.helpers.append(owner)
        self.addCleanup(owner.stdout.close)
        self.assertEqual(owner.stdout.readline().strip(), "clipboard: ready")
        s.key(editor, "ctrl+v")
        pasted = s.wait_line(r"^editor: image saved .*/static/images/\d{4}-\d\d-\d\d-\w{8}\.png$")
        pasted = pasted.split("/")[-1]
        image = s.path("drop me.png")
        with open(image, "wb") as f:
            f.write(PNG)
        g = geometry(editor)
        s.drag(image, g["X"] + 300, g["Y"] + 300)
        dropped = s.wait_line(r"^editor: image saved .*/static/images/\d{4}-\d\d-\d\d-drop-me\.png$")
        dropped = dropped.split("/")[-1]
        s.wait_copy("photos.md", lambda text: "(../images/%s)" % pasted in text
                    and "(../images/%s)" % dropped in text)
        s.shot("editor_with_images")
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")
        text = read(path)
        self.assertIn("![](../images/%s)" % pasted, text)
        self.assertIn("![drop me](../images/%s)" % dropped, text)
        with open(s.path("static", "images", dropped), "rb") as f:
            self.assertEqual(f.read(), PNG)
        # The build copies the images beside the article pages, whose links
        # find them.
        subprocess.run([TARN, "build", "-w", s.root], check=True, env=s.env,
                       stdout=subprocess.DEVNULL)
        page = read(s.path("public", "articles", "photos.html"))
        for name in (pasted, dropped):
            self.assertIn('src="../images/%s"' % name, page)
            self.assertTrue(os.path.exists(s.path("public", "images", name)))


    def test_a_large_dropped_photo_is_stored_smaller_upright_and_without_metadata(self):
        s = self.session()
        self.post(s, "trip.md", "Trip\n")
        main = s.wait_listed()
        editor = s.open_listed(main, "trip", "trip.md")
        # A phone's photo: 4000x3000, turned (Orientation 6), with a GPS
        # position and the camera's serial.
        plain, photo = s.path("plain.jpg"), s.path("lake.jpg")
        subprocess.run(["convert", "-size", "4000x3000", "gradient:skyblue-navy", plain], check=True)
        subprocess.run(["vips", "icc_transform", plain, photo, "srgb", "--input-profile", "srgb"],
                       check=True)
        subprocess.run(["exiftool", "-q", "-overwrite_original", "-GPSLatitude=48.8584",
                        "-GPSLatitudeRef=N", "-Orientation#=6", "-SerialNumber=CAM-1", photo],
                       check=True)
        g = geometry(editor)
        s.drag(photo, g["X"] + 300, g["Y"] + 300)
        saved = s.wait_line(r"^editor: image scaled \d{4}-\d\d-\d\d-lake\.jpg "
                            r"\(4000x3000 -> 1920x2560, metadata removed\)$")
        stored = s.path("static", "images", saved.split()[3])
        size = [subprocess.run(["vipsheader", "-f", f, stored], capture_output=True, text=True,
                               check=True).stdout.split()[-1] for f in ("width", "height")]
        self.assertEqual(size, ["1920", "2560"])
        tags = subprocess.run(["exiftool", "-s", "-GPSLatitude", "-SerialNumber",
                               "-ProfileDescription", stored], capture_output=True, text=True,
                              check=True).stdout
        self.assertNotIn("GPSLatitude", tags)
        self.assertNotIn("SerialNumber", tags)
        self.assertIn("sRGB", tags)
        s.wait_copy("trip.md", lambda text: "![lake](../images/%s)" % saved.split()[3] in text)

    def test_an_inserted_image_asks_for_its_alt_text(self):
        s = self.session()
        path = self.post(s, "pets.md", "Pets\n")
        main = s.wait_listed()
        editor = s.open_listed(main, "pets", "pets.md")
        names = []
        # Enter puts the text typed into the link; Esc keeps the link as it
        # was put in. Either way the keys that follow go to the text.
        for stem, keys, alt, after in (("cat", "A [grey] cat", "A \\[grey\\] cat", "purrs"),
                                       ("dog", None, "dog", "barks")):
            image = s.path(stem + ".png")
            with open(image, "wb") as f:
                f.write(PNG)
            g = geometry(editor)
            s.drag(image, g["X"] + 300, g["Y"] + 300)
            name = s.wait_line(r"^editor: image saved .*/static/images/\d{4}-\d\d-\d\d-%s\.png$"
                               % stem).split("/")[-1]
            names.append(name)
            # The link is in: the prompt, opened with it, has the keys.
            s.wait_copy("pets.md", lambda text: "![%s](../images/%s)" % (stem, name) in text)
            if keys:
                s.type_text(editor, keys)
                s.key(editor, "Return")
            else:
                s.key(editor, "Escape")
            s.type_text(editor, after)
            s.wait_copy("pets.md", lambda text: "![%s](../images/%s)%s" % (alt, name, after)
                        in text)
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")
        text = read(path)
        self.assertIn("![A \\[grey\\] cat](../images/%s)purrs" % names[0], text)
        self.assertIn("![dog](../images/%s)barks" % names[1], text)

    # The toolbar's image button, after the link button.
    IMAGE_BUTTON_AT = (387, 20)

    def test_the_toolbars_image_asks_for_its_alt_text_too(self):
        s = self.session()
        path = self.post(s, "birds.md", "Birds\n")
        main = s.wait_listed()
        editor = s.open_listed(main, "birds", "birds.md")
        s.click(editor, *self.IMAGE_BUTTON_AT)
        s.wait_copy("birds.md", lambda text: "![](https://)" in text)
        s.shot("editor_toolbar_image_alt")
        s.type_text(editor, "A heron")
        s.key(editor, "Return")
        s.wait_copy("birds.md", lambda text: "![A heron](https://)" in text)
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")
        self.assertIn("![A heron](https://)", read(path))

    # The image notice's button, first in the notice below the toolbar.
    KEEP_ORIGINAL_AT = (40, 62)

    def test_the_original_of_a_scaled_photo_can_be_kept_instead(self):
        s = self.session()
        self.post(s, "peak.md", "Peak\n")
        main = s.wait_listed()
        editor = s.open_listed(main, "peak", "peak.md")
        photo = s.path("peak.jpg")
        subprocess.run(["convert", "-size", "3000x2000", "gradient:white-navy", photo], check=True)
        with open(photo, "rb") as f:
            original = f.read()
        g = geometry(editor)
        s.drag(photo, g["X"] + 300, g["Y"] + 300)
        name = s.wait_line(r"^editor: image scaled \S+ ").split()[3]
        stored = s.path("static", "images", name)
        with open(stored, "rb") as f:
            self.assertNotEqual(f.read(), original)
        with open(s.path(".tarn", "originals", name), "rb") as f:
            self.assertEqual(f.read(), original)
        s.wait_copy("peak.md", lambda text: "](../images/%s)" % name in text)
        s.shot("editor_image_notice")
        s.key(editor, "Escape")
        s.click(editor, *self.KEEP_ORIGINAL_AT)
        s.wait_line(r"^editor: image original kept %s$" % re.escape(name))
        with open(stored, "rb") as f:
            self.assertEqual(f.read(), original)
        self.assertFalse(os.path.exists(s.path(".tarn", "originals", name)))


READER_POST = "---\ntitle: For Readers\nslug: for-readers\n---\nHello\n"


class ReaderPreviewTest(ListTest):
    # The editor's toolbar button that saves, builds and opens the browser.
    READER_BUTTON_AT = (492, 20)

    def test_the_reader_preview_builds_and_opens_the_article_page(self):
        s = self.session()
        # The desktop's browser: a stand-in that writes down what it opens,
        # into a file of its own that it then renames, so that the file
        # holds the address once it is there.
        opened = os.path.join(s.tmp, "opened.txt")
        apps = os.path.join(s.env["XDG_DATA_HOME"], "applications")
        os.makedirs(apps, exist_ok=True)
        with open(os.path.join(apps, "fake-browser.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Fake browser\n"
                    "MimeType=text/html;\nExec=/bin/sh -c 'echo \"$1\" > %s.part && "
                    "mv %s.part %s' sh %%u\n" % (opened, opened, opened))
        with open(os.path.join(s.env["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\ntext/html=fake-browser.desktop\n")
        self.post(s, "reader.md", READER_POST)
        main = s.wait_listed()
        editor = s.open_listed(main, "readers", "reader.md")
        s.key(editor, "ctrl+End")  # below the front matter
        s.type_text(editor, "Dear reader")
        # A click may reach the page before keys typed ahead of it: the
        # page has the text once its autosaved copy does.
        s.wait_copy("reader.md", READER_POST + "Dear reader")
        s.click(editor, *self.READER_BUTTON_AT)
        s.wait_line(r"^editor: saved .*/_posts/reader\.md$")
        s.wait_line(r"^editor: opened file://.*/public/articles/for-readers\.html$")
        deadline = time.time() + WAIT
        while time.time() < deadline and not os.path.exists(opened):
            time.sleep(0.2)
        self.assertTrue(read(opened).strip().endswith("/public/articles/for-readers.html"))
        self.assertIn("Dear reader", read(s.path("public", "articles", "for-readers.html")))

    def test_the_reader_preview_of_a_draft_opens_no_page(self):
        # The build leaves drafts out, and the preview says so rather than
        # open a page the build did not write.
        s = self.session()
        self.post(s, "unfinished.md", "---\ntitle: Unfinished\ndraft: true\n---\nHello\n")
        main = s.wait_listed()
        editor = s.open_listed(main, "unfinished", "unfinished.md")
        s.click(editor, *self.READER_BUTTON_AT)
        s.wait_line(r"^editor: saved .*/_posts/unfinished\.md$")
        s.wait_line(r"^message: Error: 草稿不会被渲染： .*/_posts/unfinished\.md$")
        self.assertFalse([line for line in s.seen if line.startswith("editor: opened")])
        self.assertFalse(os.path.exists(s.path("public", "articles", "Unfinished.html")))

    def test_the_reader_preview_waits_for_a_build_the_manager_runs(self):
        # The manager's build runs on a thread of its own while the editor
        # stays usable; a preview then must not build the same site beside it.
        s = ListSession(self, conf={"Mini": "1"})
        self.addCleanup(s.stop)
        # The build waits for the gate file, which is made once the preview
        # has been turned down: however fast the machine, it is under way.
        gate = os.path.join(s.tmp, "build gate")
        s.env["TARN_BUILD_GATE"] = gate
        for i in range(3):
            self.post(s, "slow-%d.md" % i, "# Slow %d\n\nOne of the posts the build writes.\n" % i)
        self.post(s, "reader.md", READER_POST)
        s.start()
        main = s.wait_listed()
        editor = s.open_listed(main, "readers", "reader.md")
        xdotool("key", "--clearmodifiers", "alt+b")  # the manager comes back
        main = s.wait_window(MAIN_TITLE)
        s.click(main, *RENDER_AT)
        s.wait_line(r"^build: waiting for %s$" % re.escape(gate))
        xdotool("windowraise", str(editor))
        s.click(editor, *self.READER_BUTTON_AT)
        s.wait_line(r"^editor: saved .*/_posts/reader\.md$")
        s.wait_line(r"^message: Error: a build is already running; try again when it has "
                    r"finished$")
        write(gate, "")
        s.wait_line(r"^message: Succeed: 渲染完成$")
        self.assertFalse([line for line in s.seen if line.startswith("editor: opened")])
        self.assertTrue(os.path.isfile(s.path("public", "articles", "slow-2.html")))
        self.assertTrue(os.path.isfile(s.path("public", "articles", "for-readers.html")))


class HistoryTest(ListTest):
    # The editor's toolbar button that lists the post's earlier versions,
    # the one after the reader preview's.
    HISTORY_BUTTON_AT = (523, 20)

    # The older version has CR LF line ends, the post now LF, which it
    # keeps.
    OLD = "---\r\ntitle: Lake\r\n---\r\n第一稿 %41\r\n"
    OLD_AS_NOW = OLD.replace("\r\n", "\n")
    NEW = "---\ntitle: Lake\n---\n第二稿，改过了\n"

    def backup(self, s):
        subprocess.run([TARN, "backup", "-w", s.root], check=True, env=s.env,
                       stdout=subprocess.DEVNULL)

    def test_an_earlier_version_goes_into_the_editor_unsaved(self):
        s = self.session()
        path = self.post(s, "lake.md", self.OLD)
        self.backup(s)
        write(path, self.NEW)
        self.backup(s)
        main = s.wait_listed()
        editor = s.open_listed(main, "lake", "lake.md")
        s.click(editor, *self.HISTORY_BUTTON_AT)
        s.wait_line(r"^editor: history of .*/_posts/lake\.md: 2 versions$")
        s.shot("editor_history_list")
        # Newest first, the first entry has the focus: the second is the
        # older version.
        s.key(editor, "Down", "Return")
        s.wait_line(r"^editor: restored [0-9a-f]{40} of .*/_posts/lake\.md$")
        s.shot("editor_with_an_earlier_version")
        # The editor holds the older text as an unsaved change (the
        # autosave copy has it); the post on disk is as it was.
        s.wait_copy("lake.md", self.OLD_AS_NOW)
        self.assertEqual(read(path), self.NEW)
        # Saving writes the older version back.
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved .*/_posts/lake\.md$")
        self.assertEqual(read(path), self.OLD_AS_NOW)


def locale_generated(name):
    """Whether the machine has generated the locale name (en_US.UTF-8)."""
    listed = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    return name.replace("UTF-8", "utf8") in listed or name in listed


class LanguageTest(EditorTest):
    """The program in the system's language: the English catalogue's texts
    under en_US.UTF-8, in the windows, the message boxes and the pages (the
    program gives them their texts); the program's own texts under C.UTF-8.
    The screenshots (--shots) show the pages' buttons and tooltips."""

    PUSH_AT = (176, 249)
    BOLD_AT = (22, 20)
    CASES = (
        ("en_US.UTF-8", "Error: No deploy address is set (system.deployUrl); nothing was pushed",
         "Tarn Blog Editor - Edit"),
        ("C.UTF-8", "Error: 推送地址未设置，无法推送", EDITOR_TITLE),
    )

    def test_the_windows_and_pages_speak_the_systems_language(self):
        for lang, message, editor_title in self.CASES:
            with self.subTest(lang=lang):
                if not locale_generated(lang):
                    self.skipTest("the locale %s is not generated on this machine "
                                  "(scripts/setup.sh test generates it)" % lang)
                s = Session(self)
                s.env.update(LANG=lang, LC_ALL="", LC_MESSAGES="", LANGUAGE="")
                self.addCleanup(s.stop)
                main = s.start().wait_started()
                tag = lang.split(".")[0]
                s.shot("language_manager_" + tag)
                s.click(main, *self.PUSH_AT)
                s.wait_line(r"^message: %s$" % re.escape(message))
                s.wait_window("Error")
                s.shot("language_message_box_" + tag)
                s.answer("Error", "Return")
                s.wait_window("Error", visible=False)
                editor = s.new_post(main, editor_title)
                g = geometry(editor)
                gui_harness.move_pointer(g["X"] + self.BOLD_AT[0], g["Y"] + self.BOLD_AT[1])
                s.shot("language_editor_" + tag)
                s.stop()


class AutosaveTest(ListTest):
    def test_the_autosaved_copy_is_offered_after_a_crash(self):
        s = self.session()
        path = self.post(s, "diary.md", "Dear diary\n")
        main = s.wait_listed()
        editor = s.open_listed(main, "diary", "diary.md")
        s.type_text(editor, "Unsaved ")
        s.wait_copy("diary.md", "Unsaved Dear diary\n")
        copy = s.path(".tarn", "autosave", "posts", "diary.md")
        s.kill()  # returns once nothing of the program is left

        # The same workspace and settings, started again.
        s2 = ListSession(self)
        shutil.rmtree(s2.tmp)
        s2.root, s2.tmp, s2.env = s.root, s.tmp, s.env
        self.addCleanup(s2.stop)
        s2.start()
        main = s2.wait_listed()
        s2.open_from_list(main, "diary")
        s2.wait_line(r"^message: 恢复未保存的内容: 发现上次没有保存的内容")
        s2.answer("恢复未保存的内容", "alt+y")
        editor = s2.wait_window(editor_title("diary.md"))
        s2.wait_editing("diary.md")  # with the copy taken in
        s2.key(editor, "ctrl+s")
        s2.wait_line(r"^editor: saved ")
        self.assertEqual(read(path), "Unsaved Dear diary\n")
        self.assertFalse(os.path.exists(copy))


def main():
    """Runs the tests of the script started (this one, or an editor suite
    that builds on it) with the program and workspace its arguments name."""
    global TARN, WORKSPACE
    args, argv = gui_harness.parse_arguments("workspace")
    TARN, WORKSPACE = args.tarn, args.workspace
    unittest.main(argv=argv, verbosity=2, warnings="ignore")


if __name__ == "__main__":
    main()
