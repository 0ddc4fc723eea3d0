#!/usr/bin/python3
"""The post editor, the notification-area mode and Alt+B as a user meets
them: the real `tarn gui` on a copy of the bundled workspace under an X
server (run through xvfb-run), driven with xdotool key presses and real
drags from another program's window. The program writes each message box to
standard output ("message: CAPTION: TEXT"), each page load that ends
("page: loaded PATH") and each save ("editor: saved PATH"); the tests wait
on those lines and on windows found by title.

Every session runs inside a D-Bus session of its own (dbus-run-session)
with no notification-area host and no notification service, as on a bare
X server.

usage: editor_gui_test.py --tarn PATH --workspace DIR [--shots DIR]
       [unittest options]
"""

import os
import shutil
import signal
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

    def drain(self, settle=1.0):
        """The lines printed within settle seconds from now."""
        time.sleep(settle)
        out = []
        while not self.lines.empty():
            out.append(self.lines.get())
        self.seen.extend(out)
        return out

    def type_text(self, window, text):
        self.focus(window)
        xdotool("type", "--delay", "40", text)

    def open_post(self, path):
        """Drops path on the manager page and waits for the editor to have
        its text (the page's cursor is then at the very start)."""
        self.drag(path)
        editor = self.wait_window(EDITOR_TITLE)
        self.wait_line(r"^page: loaded .*/template/editor\.html$")
        # The text is put in right after the load; give the page a moment.
        time.sleep(1)
        return editor

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
        self.type_text(dialog, name)
        # The Save button becomes usable a moment after the name is typed.
        self.until_window(SAVE_TITLE, lambda: self.key(dialog, "alt+s"), visible=False)

    def new_post(self, main_window):
        """Opens the editor on a new post with the manager page's Write
        button, the first control of the page (reached with Tab, wherever
        the page's layout puts it)."""
        def press_write():
            self.click(main_window, 5, 5)
            self.key(main_window, "Tab")
            self.key(main_window, "Return")
        editor = self.until_window(EDITOR_TITLE, press_write)
        self.wait_line(r"^page: loaded .*/template/editor\.html$")
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
        s.key(other, "ctrl+s")
        self.assertFalse([l for l in s.drain(2) if l.startswith(("editor:", "message:"))])
        self.assertEqual(read(path), POST)
        # The editor still has the typed text, and saves it when it has the
        # focus again.
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved ")
        self.assertEqual(read(path), "unsaved " + POST)

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
        """Answers No to the main window's close prompt, which hides it."""
        ask_to_close(s.wait_started())
        s.answer("提示", "alt+n")
        s.wait_window(MAIN_TITLE, visible=False)

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
        # program says so once each and carries on.
        s.drain()
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
        self.hide_main_window(s)
        xdotool("key", "--clearmodifiers", "alt+b")
        time.sleep(2)  # nothing is to happen; give it the chance to
        self.assertEqual(find_windows(MAIN_TITLE), [])
        self.assertFalse([l for l in s.stderr if "notification" in l])


class DropTest(EditorTest):
    def test_a_dropped_text_file_is_ignored(self):
        s = self.session()
        s.wait_started()
        path = s.path("notes.txt")
        write(path, "just notes\n")
        s.drag(path)
        time.sleep(2)  # nothing is to happen; give it the chance to
        self.assertEqual(find_windows(EDITOR_TITLE), [])
        self.assertTrue(find_windows(MAIN_TITLE))
        # The manager page was not replaced by the file: no other page loaded.
        self.assertFalse([l for l in s.drain() if l.startswith("page: loaded")])


def main():
    global TARN, WORKSPACE
    args, argv = gui_harness.parse_arguments("workspace")
    TARN, WORKSPACE = args.tarn, args.workspace
    unittest.main(argv=argv, verbosity=2)


if __name__ == "__main__":
    main()
