#!/usr/bin/python3
"""The desktop program as a user meets it: the real `tarn gui` on fixture
workspaces under an X server (run through xvfb-run), driven with xdotool
clicks and key presses. The program writes each message box it shows to
standard output ("message: CAPTION: TEXT") and each page load that ends
("page: loaded PATH"); the tests wait on those lines and on windows found by
title, never on fixed sleeps alone.

usage: gui_test.py --tarn PATH [--shots DIR] [unittest options]
"""

import argparse
import ctypes
import http.server
import json
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "fixtures", "gui")
TARN = None
SHOTS = None  # screenshots are taken only when a folder is given

MAIN_TITLE = "Corvel Blog Editor"
CLOSE_PROMPT = "是否关闭？ 【是】关闭窗口【否】置托盘【取消】取消操作"
WAIT = 30  # seconds: generous, the machine may be busy


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *args], capture_output=True, text=True)
    if check and result.returncode != 0:
        raise AssertionError("xdotool %s failed: %s" % (" ".join(args), result.stderr))
    return result.stdout.strip()


def find_windows(title, visible_only=True):
    args = ["search"]
    if visible_only:
        args.append("--onlyvisible")
    args += ["--name", "^%s$" % re.escape(title)]
    out = xdotool(*args, check=False)
    return [int(w) for w in out.split()]


def geometry(window):
    out = xdotool("getwindowgeometry", "--shell", str(window))
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    return {k: int(v) for k, v in values.items() if k in ("X", "Y", "WIDTH", "HEIGHT")}


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


class _X11:
    """Just enough Xlib to ask a window to close as a window manager would
    (WM_DELETE_WINDOW); the test display has no window manager."""

    def __init__(self):
        lib = ctypes.CDLL("libX11.so.6")
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XInternAtom.restype = ctypes.c_ulong
        lib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        lib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                   ctypes.c_void_p]
        lib.XFlush.argtypes = [ctypes.c_void_p]
        self.lib = lib
        self.display = lib.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("cannot open the X display")

    def close_window(self, window):
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = self.lib.XInternAtom(self.display, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = self.lib.XInternAtom(self.display, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        self.lib.XSendEvent(self.display, window, 0, 0, ctypes.byref(event))
        self.lib.XFlush(self.display)


X11 = None


class Session:
    """One run of `tarn gui` on a copy of a fixture workspace."""

    def __init__(self, test, fixture="basic", conf=None, edit=None, command=("gui",)):
        self.test = test
        self.command = list(command)
        self.tmp = tempfile.mkdtemp(prefix="tarn-gui-")
        self.root = os.path.join(self.tmp, "blog")
        shutil.copytree(os.path.join(FIXTURES, fixture), self.root)
        if conf is not None:
            with open(os.path.join(self.root, "config", "conf.ini"), "w") as f:
                f.write("[base]\n" + "".join("%s=%s\n" % kv for kv in conf.items()))
        if edit:
            edit(self.root)
        self.env = dict(os.environ)
        # No update check leaves the machine: a closed local port, unless a
        # test serves a manifest.
        self.env["TARN_UPDATE_URL"] = "http://127.0.0.1:9/update.json"
        self.env["NO_AT_BRIDGE"] = "1"
        # git commits in public/ need an identity; none from the machine.
        self.env["HOME"] = self.tmp
        self.env["GIT_CONFIG_NOSYSTEM"] = "1"
        for who in ("AUTHOR", "COMMITTER"):
            self.env["GIT_%s_NAME" % who] = "Tarn Test"
            self.env["GIT_%s_EMAIL" % who] = "test@example.org"
        # Keep WebKit's caches and the desktop's "open folder" choice inside
        # the test's own folder.
        for name in ("XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"):
            path = os.path.join(self.tmp, name.lower())
            os.makedirs(path, exist_ok=True)
            self.env[name] = path
        self.lines = queue.Queue()
        self.seen = []
        self.proc = None

    def start(self):
        self.proc = subprocess.Popen([TARN, *self.command, "-w", self.root],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=self.env, text=True)
        self.pumps = [threading.Thread(target=self._pump, args=(stream,), daemon=True)
                      for stream in (self.proc.stdout, self.proc.stderr)]
        for pump in self.pumps:
            pump.start()
        return self

    def _pump(self, stream):
        for line in stream:
            self.lines.put(line.rstrip("\n"))

    def wait_line(self, pattern, timeout=WAIT, earlier=False):
        """The first output line after the last one returned that matches
        pattern; with earlier, lines passed over before count too."""
        regex = re.compile(pattern)
        if earlier:
            for line in self.seen:
                if regex.search(line):
                    return line
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                line = self.lines.get(timeout=0.2)
            except queue.Empty:
                if self.proc.poll() is not None and self.lines.empty():
                    break
                continue
            self.seen.append(line)
            if regex.search(line):
                return line
        self.test.fail("no output line matching %r; seen:\n%s" % (pattern, "\n".join(self.seen)))

    def wait_window(self, title, visible=True, timeout=WAIT):
        deadline = time.time() + timeout
        while time.time() < deadline:
            found = find_windows(title)
            if visible and found:
                return found[0]
            if not visible and not found:
                return None
            time.sleep(0.1)
        self.test.fail("window %r %s" % (title, "never appeared" if visible else "stayed"))

    def wait_started(self, earlier=False):
        """Until the rendered manager page has loaded."""
        window = self.wait_window(MAIN_TITLE)
        self.wait_line(r"^page: loaded .*/template/index\.html$", earlier=earlier)
        return window

    def click(self, window, x, y):
        """A left click at (x, y) inside window."""
        g = geometry(window)
        xdotool("mousemove", "--sync", str(g["X"] + x), str(g["Y"] + y))
        xdotool("click", "1")

    def answer(self, title, key):
        """Presses key in the dialog titled title."""
        dialog = self.wait_window(title)
        xdotool("windowfocus", "--sync", str(dialog))
        xdotool("key", "--clearmodifiers", key)

    def shot(self, name):
        """A screenshot for a person to look at; nothing is compared."""
        if SHOTS:
            time.sleep(3)  # a load that has ended is painted a moment later
            os.makedirs(SHOTS, exist_ok=True)
            subprocess.run(["import", "-window", "root", os.path.join(SHOTS, name + ".png")],
                           check=False)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        if self.proc:
            for pump in self.pumps:
                pump.join(timeout=5)
            self.proc.stdout.close()
            self.proc.stderr.close()
        shutil.rmtree(self.tmp, ignore_errors=True)


class GuiTest(unittest.TestCase):
    def session(self, env=None, **kwargs):
        s = Session(self, **kwargs)
        s.env.update(env or {})
        self.addCleanup(s.stop)
        return s.start()


class StartUpTest(GuiTest):
    def test_window_folders_and_rendered_manager_page(self):
        def prune(root):
            shutil.rmtree(os.path.join(root, "_posts"))
            shutil.rmtree(os.path.join(root, "themes"))
        s = self.session(edit=prune)
        window = s.wait_started()
        g = geometry(window)
        self.assertEqual((g["WIDTH"], g["HEIGHT"]), (780, 510))
        s.shot("main_window")
        # The page's own TplRender made index.html from the template and the
        # site data: the title comes from base.json.
        with open(s.path("template", "index.html"), encoding="utf-8") as f:
            page = f.read()
        self.assertIn("<title>Fixture Blog - manager</title>", page)
        self.assertIn('<body data-state="rendered">', page)
        self.assertIn("function markToHtml", page)
        for folder in ("config", "public", "themes"):
            self.assertTrue(os.path.isdir(s.path(folder)), folder)
        self.assertFalse(os.path.exists(s.path("_posts")))

    def test_missing_manager_template_shows_an_error_page(self):
        s = self.session(edit=lambda root: os.remove(os.path.join(root, "template",
                                                                  "index copy.html")))
        s.wait_window(MAIN_TITLE)
        s.wait_line(r"^page: loaded \(error page\)$")
        s.shot("error_page_missing_template")
        self.assertFalse(os.path.exists(s.path("template", "index.html")))
        self.assertIsNone(s.proc.poll())

    def test_template_without_tplrender_shows_an_error_page(self):
        def strip(root):
            path = os.path.join(root, "template", "index copy.html")
            with open(path, encoding="utf-8") as f:
                text = f.read()
            with open(path, "w", encoding="utf-8") as f:
                f.write(text.replace("function TplRender(", "function NotTplRender("))
        s = self.session(edit=strip)
        s.wait_line(r"^page: loaded .*/template/index copy\.html$")
        s.wait_line(r"^page: loaded \(error page\)$")
        self.assertFalse(os.path.exists(s.path("template", "index.html")))

    def test_a_throwing_tplrender_shows_its_message(self):
        def throw(root):
            path = os.path.join(root, "template", "index copy.html")
            with open(path, encoding="utf-8") as f:
                text = f.read()
            with open(path, "w", encoding="utf-8") as f:
                f.write(text.replace("var data = JSON.parse(siteJson);",
                                     "throw new Error('template broken here');"))
        s = self.session(edit=throw)
        s.wait_line(r"^tarn: .*TplRender.*template broken here")
        s.wait_line(r"^page: loaded \(error page\)$")
        s.shot("error_page_tplrender_threw")
        self.assertFalse(os.path.exists(s.path("template", "index.html")))

    def test_a_broken_site_configuration_is_reported(self):
        def break_config(root):
            with open(os.path.join(root, "config", "base.json"), "w") as f:
                f.write('{"system": {"title": "x",')
        s = self.session(edit=break_config)
        s.wait_line(r"^message: Error: .*base\.json")
        self.assertIsNone(s.proc.poll())

    def test_no_display_or_no_workspace_exits_with_a_clear_message(self):
        no_display = {k: v for k, v in os.environ.items()
                      if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        with tempfile.TemporaryDirectory() as root:
            cases = [(root, no_display, "cannot open a display"),
                     (os.path.join(root, "missing"), dict(os.environ), "does not exist")]
            for workspace, env, says in cases:
                with self.subTest(says):
                    result = subprocess.run([TARN, "gui", "-w", workspace], env=env,
                                            capture_output=True, text=True, timeout=WAIT)
                    self.assertEqual(result.returncode, 1)
                    self.assertIn(says, result.stderr)
                    self.assertEqual(os.listdir(root), [])  # nothing made up


class ConsoleTest(GuiTest):
    def console_text(self, s, window):
        """The console's text, copied out as a user would (select all, copy)."""
        s.click(window, 100, 100)
        xdotool("key", "--clearmodifiers", "ctrl+a")
        xdotool("key", "--clearmodifiers", "ctrl+c")
        return clipboard_text()

    def test_showdos_1_opens_the_console_with_git_output(self):
        s = self.session(conf={"ShowDOS": "1", "Mini": "0"})
        s.wait_started()
        console = s.wait_window("Dos View")
        g = geometry(console)
        self.assertEqual((g["WIDTH"], g["HEIGHT"]), (380, 250))
        s.shot("console_window")
        text = self.console_text(s, console)
        self.assertTrue(text.startswith("Welcome use TarnBlogEditor!"), text)
        # git init ran in public/ and its output is stamped hh:mm:ss.
        self.assertTrue(os.path.isdir(s.path("public", ".git")))
        self.assertRegex(text, r"\d\d:\d\d:\d\d : .*Initiali[sz]ed empty Git repository")

    def test_only_the_exact_text_1_opens_the_console(self):
        for value in ("true", "01", ""):
            with self.subTest(ShowDOS=value):
                s = self.session(conf={"ShowDOS": value})
                s.wait_started()
                self.assertEqual(find_windows("Dos View", visible_only=False), [])
                s.stop()


class CommandTest(GuiTest):
    def test_rendering_button_writes_public_and_reports(self):
        s = self.session()
        window = s.wait_started()
        s.click(window, 85, 80)  # "Render"
        s.wait_line(r"^message: Succeed: 渲染完成$")
        s.wait_window("Succeed")
        s.shot("message_box")
        self.assertTrue(os.path.isfile(s.path("public", "index.html")))
        # The box goes by itself.
        s.wait_window("Succeed", visible=False)

    def test_rendering_in_the_window_writes_what_tarn_build_writes(self):
        s = Session(self)
        self.addCleanup(s.stop)
        built = subprocess.run([TARN, "build", "-w", s.root], capture_output=True, text=True,
                               env=s.env, timeout=WAIT)
        self.assertEqual(built.returncode, 0, built.stderr)
        pages = ["index.html", "timeline.html", os.path.join("articles", "hello.html"),
                 os.path.join("articles", "second.html")]
        expected = {}
        for page in pages:
            with open(s.path("public", page), encoding="utf-8") as f:
                expected[page] = f.read()
            os.remove(s.path("public", page))
        self.assertIn("<strong>bold</strong>", expected[os.path.join("articles", "second.html")])

        window = s.start().wait_started()
        s.click(window, 85, 80)  # "Render"
        s.wait_line(r"^message: Succeed: 渲染完成$")
        for page in pages:
            with open(s.path("public", page), encoding="utf-8") as f:
                self.assertEqual(f.read(), expected[page], page)

    def test_a_failed_rendering_says_why(self):
        s = self.session(edit=lambda root: os.remove(
            os.path.join(root, "themes", "plain", "index.mtpl")))
        window = s.wait_started()
        s.click(window, 85, 80)  # "Render"
        s.wait_line(r"^message: Error: 渲染出错 .*index\.mtpl")

    def test_posts_button_opens_the_posts_folder_in_the_file_manager(self):
        s = self.session()
        # A stand-in file manager, made the desktop's default for folders.
        opened = os.path.join(s.tmp, "opened")
        script = os.path.join(s.tmp, "files.sh")
        with open(script, "w") as f:
            f.write('#!/bin/sh\necho "$1" > "%s"\n' % opened)
        os.chmod(script, 0o755)
        apps = os.path.join(s.env["XDG_DATA_HOME"], "applications")
        os.makedirs(apps)
        with open(os.path.join(apps, "tarn-test-files.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=Files\nExec=%s %%u\n"
                    "MimeType=inode/directory;\n" % script)
        with open(os.path.join(s.env["XDG_CONFIG_HOME"], "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\ninode/directory=tarn-test-files.desktop\n")
        window = s.wait_started()
        s.click(window, 685, 80)  # "Posts"
        deadline = time.time() + WAIT
        while time.time() < deadline and not os.path.exists(opened):
            time.sleep(0.1)
        with open(opened) as f:
            target = f.read().strip()
        target = target[len("file://"):] if target.startswith("file://") else target
        self.assertEqual(target.rstrip("/"), s.path("_posts"))

    def test_posts_button_without_a_posts_folder_says_so(self):
        s = self.session(edit=lambda root: shutil.rmtree(os.path.join(root, "_posts")))
        window = s.wait_started()
        s.click(window, 685, 80)  # "Posts"
        s.wait_line(r"^message: Error: .*/_posts")

    def test_write_button_opens_the_editor_and_its_close_brings_back_the_manager(self):
        s = self.session()
        window = s.wait_started()
        s.click(window, 535, 80)  # "Write"
        editor = s.wait_window("Tarn Blog Editor - 编辑")
        s.wait_window(MAIN_TITLE, visible=False)
        X11.close_window(editor)
        s.wait_window(MAIN_TITLE)


DRAG_SOURCE = r'''
import gi, sys
gi.require_version("Gdk", "3.0"); gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk
uri = GLib.filename_to_uri(sys.argv[1], None)
window = Gtk.Window(title="drag source"); window.move(900, 50); window.set_default_size(150, 100)
button = Gtk.Button(label="drag me"); window.add(button)
button.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
button.drag_source_add_uri_targets()
button.connect("drag-data-get", lambda w, c, data, info, t: data.set_uris([uri]))
window.show_all(); Gtk.main()
'''


def clipboard_text():
    import gi
    gi.require_version("Gdk", "3.0")
    gi.require_version("Gtk", "3.0")
    from gi.repository import Gdk, Gtk
    return Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD).wait_for_text() or ""


def set_deploy_url(root, url):
    path = os.path.join(root, "config", "base.json")
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    data["system"]["deployUrl"] = url
    with open(path, "w", encoding="utf-8") as f:
        json.dump(data, f)


def git(*args, cwd=None):
    return subprocess.run(["git", *args], cwd=cwd, capture_output=True, text=True, check=True,
                          env=dict(os.environ, GIT_CONFIG_NOSYSTEM="1")).stdout


class DeployTest(GuiTest):
    """Push and Render-and-push against a local bare repository."""

    def bare(self, s):
        remote = os.path.join(s.tmp, "remote.git")
        git("init", "--bare", "-q", "-b", "master", remote)
        return remote

    def test_push_without_a_deploy_url_commits_and_says_so(self):
        s = self.session()
        window = s.wait_started()
        s.click(window, 235, 80)  # "Push"
        s.wait_line(r"^message: Error: 推送地址未设置，无法推送$")

    def test_render_and_push_delivers_the_site(self):
        s = Session(self)
        self.addCleanup(s.stop)
        remote = self.bare(s)
        set_deploy_url(s.root, remote)
        window = s.start().wait_started()
        s.click(window, 385, 80)  # "Render and push"
        s.wait_line(r"^message: Succeed: 渲染完成并已经自动推送$")
        files = git("ls-tree", "-r", "--name-only", "master", cwd=remote).split()
        self.assertIn("index.html", files)
        self.assertIn("README.md", files)
        self.assertIn("articles/second.html", files)

    def test_a_failed_push_is_reported_as_an_error(self):
        s = Session(self)
        self.addCleanup(s.stop)
        set_deploy_url(s.root, os.path.join(s.tmp, "no-such-remote.git"))
        window = s.start().wait_started()
        s.click(window, 235, 80)  # "Push"
        s.wait_line(r"^message: Error: 推送失败，请查看控制台输出$")
        s.wait_window("Error")
        s.wait_window("Error", visible=False)  # the box is modal until it goes
        s.click(window, 385, 80)  # "Render and push"
        s.wait_line(r"^message: Error: 渲染完成，但推送失败，请查看控制台输出$")


class DropTest(GuiTest):
    def drag_file(self, path):
        """Drags path from another program's window onto the manager page."""
        source = subprocess.Popen(["/usr/bin/python3", "-c", DRAG_SOURCE, path],
                                  stderr=subprocess.DEVNULL)
        self.addCleanup(source.wait)
        self.addCleanup(source.kill)
        button = None
        deadline = time.time() + WAIT
        while button is None and time.time() < deadline:
            button = (find_windows("drag source") or [None])[0]
            time.sleep(0.1)
        g = geometry(button)
        xdotool("mousemove", "--sync", str(g["X"] + 75), str(g["Y"] + 50))
        xdotool("mousedown", "1")
        for x in (850, 800, 700, 600, 500, 400):
            xdotool("mousemove", "--sync", str(x), "250")
            time.sleep(0.1)
        time.sleep(0.3)
        xdotool("mouseup", "1")

    def test_a_dropped_post_opens_in_the_editor(self):
        s = self.session()
        s.wait_started()
        self.drag_file(s.path("_posts", "second.md"))
        editor = s.wait_window("Tarn Blog Editor - 编辑")
        s.wait_window(MAIN_TITLE, visible=False)
        s.shot("editor_after_drop")
        # The text reached the page exactly: copy it out of the editor (once
        # the page has it).
        with open(s.path("_posts", "second.md"), encoding="utf-8") as f:
            expected = f.read()
        copied = ""
        deadline = time.time() + WAIT
        while copied != expected and time.time() < deadline:
            s.click(editor, 200, 200)
            xdotool("key", "--clearmodifiers", "ctrl+a")
            xdotool("key", "--clearmodifiers", "ctrl+c")
            copied = clipboard_text()
            time.sleep(0.2)
        self.assertEqual(copied, expected)

    def test_a_dropped_file_that_is_no_post_is_ignored(self):
        s = self.session()
        window = s.wait_started()
        self.drag_file(s.path("themes", "plain", "_conf.json"))
        time.sleep(1)  # nothing is to happen; give it the chance to
        self.assertEqual(find_windows("Tarn Blog Editor - 编辑"), [])
        # The manager page is still shown (the view did not open the file):
        # its "Write" button still works.
        s.click(window, 535, 80)
        s.wait_window("Tarn Blog Editor - 编辑")


class UpdateCheckTest(GuiTest):
    def serve(self, manifest):
        """An update manifest on 127.0.0.1; returns its address."""
        body = json.dumps(manifest, ensure_ascii=False).encode("utf-8")

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                self.send_response(200)
                self.send_header("Content-Type", "application/json")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        return "http://127.0.0.1:%d/update.json" % server.server_address[1]

    def test_a_newer_build_is_offered_from_the_main_loop(self):
        url = self.serve({"versionList": [{"version": 9, "order": 4, "update": "更快了"}]})
        s = self.session(env={"TARN_UPDATE_URL": url})
        s.wait_line("^message: 检测到新版本: 检测到新版本，版本号：9。是否更新？ +更新内容 +更快了$")
        s.wait_window("检测到新版本")
        s.shot("update_question")
        s.answer("检测到新版本", "alt+n")
        s.wait_window("检测到新版本", visible=False)
        s.wait_started(earlier=True)  # start-up went on meanwhile
        self.assertIsNone(s.proc.poll())

    def test_the_same_build_asks_nothing(self):
        url = self.serve({"versionList": [{"version": 3, "order": 3, "update": "x"}]})
        s = self.session(env={"TARN_UPDATE_URL": url})
        s.wait_started()
        # Render, so that a question, had one come, would be seen first.
        s.click(s.wait_window(MAIN_TITLE), 85, 80)
        line = s.wait_line(r"^message: ")
        self.assertEqual(line, "message: Succeed: 渲染完成")


class ClosePromptTest(GuiTest):
    def test_cancel_keeps_no_hides_yes_ends(self):
        s = self.session(command=())  # no command: the desktop program too
        window = s.wait_started()

        X11.close_window(window)
        s.wait_line("^message: 提示: %s$" % re.escape(CLOSE_PROMPT))
        s.wait_window("提示")
        s.shot("close_prompt")
        s.answer("提示", "Escape")
        s.wait_window("提示", visible=False)
        self.assertEqual(find_windows(MAIN_TITLE), [window])

        X11.close_window(window)
        s.wait_line("^message: 提示: ")
        s.answer("提示", "alt+n")
        s.wait_window(MAIN_TITLE, visible=False)
        self.assertIsNone(s.proc.poll())

        X11.close_window(window)  # the hidden window still takes the request
        s.wait_line("^message: 提示: ")
        s.answer("提示", "alt+y")
        self.assertEqual(s.proc.wait(timeout=WAIT), 0)


def main():
    global TARN, SHOTS, X11
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarn", required=True)
    parser.add_argument("--shots")
    args, rest = parser.parse_known_args()
    TARN = os.path.abspath(args.tarn)
    SHOTS = args.shots
    X11 = _X11()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2, warnings="ignore")


if __name__ == "__main__":
    main()
