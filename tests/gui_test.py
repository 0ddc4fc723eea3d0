#!/usr/bin/python3
"""The desktop program as a user meets it: the real `tarn gui` on fixture
workspaces under an X server (run through xvfb-run), driven with xdotool
clicks and key presses. The program writes each message box it shows to
standard output ("message: CAPTION: TEXT") and each page load that ends
("page: loaded PATH"); the tests wait on those lines and on windows found by
title, never on fixed sleeps alone.

usage: gui_test.py --tarn PATH [--shots DIR] [unittest options]
"""

import fcntl
import http.server
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)  # the shared harness sits beside this file
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import gui_harness  # noqa: E402
from gui_harness import MAIN_TITLE, ask_to_close, find_windows, geometry, xdotool  # noqa: E402

FIXTURES = os.path.join(HERE, "fixtures", "gui")
TARN = None

CLOSE_PROMPT = "是否关闭？ 【是】关闭窗口【否】置托盘【取消】取消操作"
WAIT = 30  # seconds: generous, the machine may be busy


class Session(gui_harness.Session):
    """One run of `tarn gui` on a copy of a fixture workspace."""

    wait = WAIT
    shot_settle = 3  # a load that has ended is painted a moment later

    def __init__(self, test, fixture="basic", conf=None, edit=None, command=("gui",)):
        super().__init__(test, prefix="tarn-gui-")
        self.command = list(command)
        shutil.copytree(os.path.join(FIXTURES, fixture), self.root)
        if conf is not None:
            gui_harness.write_conf(self.root, conf)
        if edit:
            edit(self.root)

    def start(self):
        return self.launch([TARN, *self.command, "-w", self.root])


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
        s.wait_line(r"^page: loaded \(error page\)$")
        s.wait_line(r"^tarn: .*TplRender.*template broken here", earlier=True)
        s.shot("error_page_tplrender_threw")
        self.assertFalse(os.path.exists(s.path("template", "index.html")))

    def test_a_broken_source_settingsuration_is_reported(self):
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
        # Without the command line's conversion cache, so the window's build
        # converts every post itself.
        shutil.rmtree(s.path(".tarn"))

        window = s.start().wait_started()
        s.click(window, 85, 80)  # "Render"
        s.wait_line(r"^message: Succeed: 渲染完成$")
        for page in pages:
            with open(s.path("public", page), encoding="utf-8") as f:
                self.assertEqual(f.read(), expected[page], page)

    def test_the_window_serves_clicks_while_it_builds_and_refuses_a_second_command(self):
        def more_posts(root):
            for i in range(16):
                with open(os.path.join(root, "_posts", "slow-%d.md" % i), "w") as f:
                    f.write("# Slow %d\n\nOne of the posts the build writes.\n" % i)

        s = Session(self, edit=more_posts)
        self.addCleanup(s.stop)
        # The build waits for the gate file, which is made once the push has
        # been turned down: however fast the machine, the build is under way.
        gate = os.path.join(s.tmp, "build gate")
        s.env["TARN_BUILD_GATE"] = gate
        window = s.start().wait_started()
        s.click(window, 85, 80)  # "Render"
        s.wait_line(r"^build: waiting for %s$" % re.escape(gate))
        s.click(window, 235, 80)  # "Push", while the build runs
        # The push is turned down at once, before the build ends.
        s.wait_line(r"^message: Error: a build is already running; try again when it has "
                    r"finished$")
        with open(gate, "w"):
            pass
        s.wait_line(r"^message: Succeed: 渲染完成$")
        self.assertTrue(os.path.isfile(s.path("public", "articles", "slow-15.html")))

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
        target = ""
        # The shell creates the file before it writes the line: wait for both.
        while time.time() < deadline and not target:
            if os.path.exists(opened):
                with open(opened) as f:
                    target = f.read().strip()
            time.sleep(0.1)
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
        ask_to_close(editor)
        s.answer("是否关闭？", "alt+y")  # the editor asks first
        s.wait_window(MAIN_TITLE)


def clipboard_text():
    import gi
    gi.require_version("Gdk", "3.0")
    gi.require_version("Gtk", "3.0")
    from gi.repository import Gdk, Gtk
    return Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD).wait_for_text() or ""


def set_system(root, key, value):
    """Sets system.KEY in the workspace's base.json."""
    path = os.path.join(root, "config", "base.json")
    with open(path, encoding="utf-8") as f:
        data = json.load(f)
    data["system"][key] = value
    with open(path, "w", encoding="utf-8") as f:
        json.dump(data, f)


def set_deploy_url(root, url):
    set_system(root, "deployUrl", url)


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

    def earlier_site(self, s):
        """A bare remote whose master holds a site published from elsewhere;
        returns it and its tip."""
        remote = self.bare(s)
        other = os.path.join(s.tmp, "elsewhere")
        subprocess.run(["git", "clone", "-q", remote, other], check=True, env=s.env,
                       capture_output=True)
        with open(os.path.join(other, "index.html"), "w") as f:
            f.write("<p>the old blog</p>\n")
        for args in (["add", "index.html"], ["commit", "-q", "-m", "old site"],
                     ["push", "-q", "origin", "HEAD:master"]):
            subprocess.run(["git", *args], cwd=other, check=True, env=s.env, capture_output=True)
        return remote, git("rev-parse", "master", cwd=remote)

    def test_an_earlier_site_is_replaced_only_after_yes(self):
        s = Session(self)
        self.addCleanup(s.stop)
        remote, old_tip = self.earlier_site(s)
        set_deploy_url(s.root, remote)
        window = s.start().wait_started()

        s.click(window, 385, 80)  # "Render and push"
        s.wait_line(r"^message: 替换已发布的站点: .*tarn init DIR --from URL")
        s.shot("replace_site_question")
        s.answer("替换已发布的站点", "alt+n")
        s.wait_window("替换已发布的站点", visible=False)
        self.assertEqual(git("rev-parse", "master", cwd=remote), old_tip)

        s.click(window, 235, 80)  # "Push": asks again
        s.wait_line(r"^message: 替换已发布的站点: ")
        s.answer("替换已发布的站点", "alt+y")
        s.wait_line(r"^message: Succeed: 推送成功$")
        subprocess.run(["git", "merge-base", "--is-ancestor", old_tip.strip(), "master"],
                       cwd=remote, check=True)
        files = git("ls-tree", "-r", "--name-only", "master", cwd=remote).split()
        self.assertIn("articles/second.html", files)
        self.assertNotEqual(git("show", "master:index.html", cwd=remote),
                            "<p>the old blog</p>\n")
        # Nothing answered "no" showed an outcome box of its own.
        self.assertFalse([line for line in s.seen if line.startswith("message: Error")])

    def test_render_and_push_goes_to_each_target_and_asks_before_replacing_a_folder(self):
        s = Session(self, conf={"ShowDOS": "1", "Mini": "0"})
        self.addCleanup(s.stop)
        folders = {name: os.path.join(s.tmp, "srv", name) for name in ("a", "b")}
        os.makedirs(folders["a"])
        with open(os.path.join(folders["a"], "index.html"), "w") as f:
            f.write("<p>someone's site</p>\n")
        set_system(s.root, "deploy", [{"type": "rsync", "name": name, "target": folder + "/"}
                                      for name, folder in folders.items()])
        window = s.start().wait_started()
        console = s.wait_window("Dos View")
        s.click(window, 385, 80)  # "Render and push"
        s.wait_line(r"^message: 替换已发布的站点: 有发布目标的文件夹.*"
                    r"a \(rsync .*\): stopped: .* b \(rsync .*\): published")
        s.answer("替换已发布的站点", "alt+y")
        s.wait_line(r"^message: Succeed: a \(rsync .*\): published b \(rsync .*\): published "
                    r"渲染完成并已经自动推送$")
        for folder in folders.values():
            self.assertTrue(os.path.exists(os.path.join(folder, ".tarn-site")))
            self.assertTrue(os.path.exists(os.path.join(folder, "articles", "second.html")))
            self.assertFalse(os.path.exists(os.path.join(folder, ".git")))
        # Each target's progress is in the console (raised above the main
        # window, which the clicks brought up), once the modal box is gone.
        s.wait_window("Succeed")
        s.wait_window("Succeed", visible=False)
        xdotool("windowraise", str(console))
        s.shot("targets_console")
        text = ConsoleTest.console_text(self, s, console)
        self.assertIn("Publishing to b (rsync %s/)" % folders["b"], text)
        self.assertRegex(text, r">f\+* articles/second\.html")


    def test_a_broken_link_is_shown_before_the_push_and_answered_both_ways(self):
        def broken_post(root):
            with open(os.path.join(root, "_posts", "broken.md"), "w", encoding="utf-8") as f:
                f.write("[gone](gone.html)\n")

        s = Session(self, edit=broken_post)
        self.addCleanup(s.stop)
        remote = self.bare(s)
        set_deploy_url(s.root, remote)
        window = s.start().wait_started()

        s.click(window, 385, 80)  # "Render and push"
        s.wait_line(r'^message: 发布前检查: 发布前的检查发现 1 个错误.*public/articles/broken.html'
                    r' \(from _posts/broken.md\).*the link "gone.html"')
        s.shot("check_before_publishing")
        s.answer("发布前检查", "alt+n")
        s.wait_window("发布前检查", visible=False)
        self.assertEqual(git("rev-list", "--all", cwd=remote), "")

        s.click(window, 385, 80)  # asks again; "yes" publishes
        s.wait_line(r"^message: 发布前检查: ")
        s.answer("发布前检查", "alt+y")
        s.wait_line(r"^message: Succeed: 渲染完成并已经自动推送$")
        files = git("ls-tree", "-r", "--name-only", "master", cwd=remote).split()
        self.assertIn("articles/broken.html", files)
        # "No" showed no outcome box of its own.
        self.assertFalse([line for line in s.seen if line.startswith("message: Error")])

class BackupTest(GuiTest):
    """The workspace's own backups: AutoBackup after a save and after a
    publish, the manager page's Backup command, with a local bare repository
    as system.sourceUrl. Each outcome is printed as "backup: TEXT" (or
    "backup: failed: TEXT")."""

    EDITOR_TITLE = "second.md - Tarn Blog Editor - 编辑"
    # The fixture's page gets a Backup button at a place a click can find.
    BACKUP_BUTTON = ('<button id="backup" style="left: 20px; top: 110px" '
                     'onclick="Backup()">Backup</button>\n</nav>')
    BACKUP_AT = (85, 130)
    PUBLISH_AT = (385, 80)

    def backup_session(self, **conf):
        s = Session(self, conf=conf)
        self.addCleanup(s.stop)
        page = s.path("template", "index copy.html")
        with open(page, encoding="utf-8") as f:
            text = f.read().replace("</nav>", self.BACKUP_BUTTON)
        with open(page, "w", encoding="utf-8") as f:
            f.write(text)
        s.remote = os.path.join(s.tmp, "source.git")
        git("init", "--bare", "-q", "-b", "main", s.remote)
        set_system(s.root, "sourceUrl", s.remote)
        return s

    def edit_and_save(self, s, text):
        """Opens _posts/second.md in the editor (dropped on the manager),
        types text at its start and saves with Ctrl+S."""
        if not find_windows(self.EDITOR_TITLE):
            s.drag(s.path("_posts", "second.md"))
            s.wait_line(r"^editor: editing .*/_posts/second\.md$")  # the text is in
        editor = s.wait_window(self.EDITOR_TITLE)
        s.click(editor, 100, 100)
        xdotool("key", "--clearmodifiers", "ctrl+Home")
        xdotool("type", "--delay", "30", text)
        s.key(editor, "ctrl+s")
        s.wait_line(r"^editor: saved .*/_posts/second\.md$")

    def test_a_save_commits_locally_and_pushes_nothing(self):
        s = self.backup_session(AutoBackup="1")
        s.start().wait_started()
        self.edit_and_save(s, "First ")
        s.wait_line(r"^backup: backed up: 2 posts added; \d+ other files added$")
        self.edit_and_save(s, "Second ")
        s.wait_line(r"^backup: backed up: 1 post changed$")
        self.assertEqual(len(git("log", "--format=%s", cwd=s.root).splitlines()), 2)
        # Saves in quick succession: the last one is in the history once
        # the commits have run, whether or not they overlapped.
        self.edit_and_save(s, "Third ")
        self.edit_and_save(s, "Fourth ")
        while sum(line.startswith("backup: ") for line in s.seen) < 4:
            s.wait_line(r"^backup: ")
        with open(s.path("_posts", "second.md"), encoding="utf-8") as f:
            self.assertEqual(git("show", "HEAD:_posts/second.md", cwd=s.root), f.read())
        self.assertEqual(git("for-each-ref", cwd=s.remote), "")  # nothing waits on the network

    def test_without_autobackup_a_save_commits_nothing(self):
        s = self.backup_session(AutoBackup="0")
        s.start().wait_started()
        self.edit_and_save(s, "Edited ")
        # Nothing is to follow the save; a backup would run in the background
        # and say so in its own time, so the check gives it a while.
        s.drain()
        self.assertFalse([line for line in s.seen if line.startswith("backup:")])
        self.assertFalse(os.path.exists(s.path(".git")))

    def test_the_backup_button_commits_and_pushes_and_a_failed_push_says_so(self):
        s = self.backup_session()
        window = s.start().wait_started()
        s.click(window, *self.BACKUP_AT)
        s.wait_line(r"^message: Succeed: backed up: .*; pushed to ")
        self.assertEqual(git("rev-parse", "main", cwd=s.remote),
                         git("rev-parse", "HEAD", cwd=s.root))
        files = git("ls-tree", "-r", "--name-only", "main", cwd=s.remote).split()
        self.assertIn("_posts/second.md", files)
        self.assertNotIn("template/index.html", files)  # the generated page is left out
        s.wait_box_gone("Succeed")

        shutil.rmtree(s.remote)
        with open(s.path("_posts", "hello.md"), "a", encoding="utf-8") as f:
            f.write("\nmore\n")
        s.click(window, *self.BACKUP_AT)
        s.wait_line(r"^message: Error: backup committed but the push to .* failed")

    def test_a_publish_backs_up_and_pushes_with_autobackup(self):
        s = self.backup_session(AutoBackup="1")
        window = s.start().wait_started()
        s.click(window, *self.PUBLISH_AT)
        s.wait_line(r"^message: Succeed: 渲染完成$")
        s.wait_line(r"^backup: backed up: .*; pushed to ")
        self.assertEqual(git("rev-parse", "main", cwd=s.remote),
                         git("rev-parse", "HEAD", cwd=s.root))


class ScheduledPublishTest(GuiTest):
    """What the desktop program does about tarn publish --due on a timer."""

    FAILED = ("2026-05-01T00:15:00+00:00\tfailed\t"
              "渲染完成，但推送失败，请查看控制台输出\n")

    def test_a_failed_scheduled_publish_is_shown_at_the_next_start_once(self):
        s = Session(self)
        self.addCleanup(s.stop)
        os.makedirs(os.path.join(s.root, ".tarn"))
        with open(os.path.join(s.root, ".tarn", "publish-due.log"), "w") as f:
            f.write("2026-05-01T00:00:00+00:00\tpublished\tthe first publish\n" + self.FAILED +
                    "2026-05-01T00:30:00+00:00\tnothing due\t\n")
        s.start().wait_started()
        s.wait_line(r"^message: Error: The scheduled publish at 2026-05-01T00:15:00\+00:00 "
                    r"failed: 渲染完成，但推送失败，请查看控制台输出 ", earlier=True)
        s.kill()

        again = Session(self)
        shutil.rmtree(again.tmp)
        again.root, again.tmp, again.env = s.root, s.tmp, s.env
        self.addCleanup(again.stop)
        again.start().wait_started()
        # Said instead of the box: the failure was shown once.
        again.wait_line(r"^schedule: no failed publish to show$", earlier=True)

    def test_render_and_push_waits_for_a_publish_in_another_process(self):
        s = Session(self)
        self.addCleanup(s.stop)
        remote = DeployTest.bare(self, s)
        set_deploy_url(s.root, remote)
        os.makedirs(os.path.join(s.root, ".tarn"))
        window = s.start().wait_started()
        with open(os.path.join(s.root, ".tarn", "publish.lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            lock.write("%d\n" % os.getpid())
            lock.flush()
            s.click(window, 385, 80)  # "Render and push"
            s.wait_line(r"^message: Error: .*publish\.lock: the blog is busy: another run "
                        r"\(PID %d\) is publishing it" % os.getpid())
            s.wait_window("Error", visible=False)
        self.assertEqual(git("for-each-ref", cwd=remote), "")
        s.click(window, 385, 80)
        s.wait_line(r"^message: Succeed: 渲染完成并已经自动推送$")
        # Recorded for tarn publish --due: nothing is due after it.
        self.assertTrue(os.path.isfile(os.path.join(s.root, ".tarn", "publish-due")))


class ScheduleSettingTest(GuiTest):
    """Schedule=1 or 0 in config/conf.ini: the blog's publishing timer kept
    installed or removed at start, with systemctl a fake on PATH."""

    def start(self, s, schedule, status):
        gui_harness.write_conf(s.root, {"Schedule": schedule})
        bin_dir = os.path.join(s.tmp, "bin")
        os.makedirs(bin_dir, exist_ok=True)
        with open(os.path.join(bin_dir, "systemctl"), "w") as f:
            f.write('#!/bin/sh\necho "$@" >> "%s/systemctl.calls"\nexit %d\n' % (s.tmp, status))
        os.chmod(os.path.join(bin_dir, "systemctl"), 0o755)
        s.env["PATH"] = bin_dir + os.pathsep + os.environ["PATH"]
        s.start().wait_started()

    def units(self, s):
        folder = os.path.join(s.env["XDG_CONFIG_HOME"], "systemd", "user")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def test_schedule_1_installs_the_timer_and_0_removes_it(self):
        s = Session(self)
        self.addCleanup(s.stop)
        self.start(s, "1", 0)
        s.wait_line(r"^schedule: schedule on: .*/tarn-publish-[0-9a-f]{12}\.timer runs", earlier=True)
        self.assertEqual(len(self.units(s)), 2)
        s.kill()

        again = Session(self)
        shutil.rmtree(again.tmp)
        again.root, again.tmp, again.env = s.root, s.tmp, s.env
        self.addCleanup(again.stop)
        self.start(again, "0", 0)
        again.wait_line(r"^schedule: schedule off: ", earlier=True)
        self.assertEqual(self.units(again), [])
        with open(os.path.join(s.tmp, "systemctl.calls")) as f:
            calls = [line.split()[1] for line in f]
        self.assertEqual(calls, ["daemon-reload", "enable", "disable", "daemon-reload"])

    def test_without_systemd_the_crontab_line_is_shown(self):
        s = Session(self)
        self.addCleanup(s.stop)
        self.start(s, "1", 1)
        s.wait_line(r"^message: Error: .*conf\.ini \(Schedule=1\): systemd's user manager is "
                    r"not at hand.* \*/15 \* \* \* \* .* publish --due -w ", earlier=True)
        self.assertEqual(self.units(s), [])


class DropTest(GuiTest):
    def test_a_dropped_post_opens_in_the_editor(self):
        s = self.session()
        s.wait_started()
        s.drag(s.path("_posts", "second.md"))
        # The editor's title names the post it opened.
        editor = s.wait_window("second.md - Tarn Blog Editor - 编辑")
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
        # Neither a file of another kind nor one that merely has ".md" in
        # its name (a backup copy) is a post.
        backup = s.path("_posts", "Hello.md.bak")
        with open(backup, "w", encoding="utf-8") as f:
            f.write("# old copy\n")
        for path in (s.path("themes", "plain", "_conf.json"), backup):
            s.drag(path)  # returns once the program has finished with the drop
            # No editor window, whatever post it would name.
            editors = xdotool("search", "--onlyvisible", "--name", "Tarn Blog Editor - 编辑$",
                              check=False).split()
            self.assertEqual(editors, [], path)
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

        ask_to_close(window)
        s.wait_line("^message: 提示: %s$" % re.escape(CLOSE_PROMPT))
        s.wait_window("提示")
        s.shot("close_prompt")
        s.answer("提示", "Escape")
        s.wait_window("提示", visible=False)
        self.assertEqual(find_windows(MAIN_TITLE), [window])

        ask_to_close(window)
        s.wait_line("^message: 提示: ")
        s.answer("提示", "alt+n")
        s.wait_window(MAIN_TITLE, visible=False)
        self.assertIsNone(s.proc.poll())

        ask_to_close(window)  # the hidden window still takes the request
        s.wait_line("^message: 提示: ")
        s.answer("提示", "alt+y")
        self.assertEqual(s.proc.wait(timeout=WAIT), 0)


def main():
    global TARN
    args, argv = gui_harness.parse_arguments()
    TARN = os.path.abspath(args.tarn)
    unittest.main(argv=argv, verbosity=2, warnings="ignore")


if __name__ == "__main__":
    main()
