#!/usr/bin/python3
"""The desktop program's backups of the workspace's sources as a user meets
them: the real `tarn gui` on copies of the gui fixture under an X server
(run through xvfb-run), with real git and local bare repositories standing
in for the private backup remote. The program writes each backup's outcome
("backup: TEXT" or "backup: failed: TEXT"), each save ("editor: saved
PATH") and each message box ("message: CAPTION: TEXT"); the tests wait on
those lines.

usage: backup_gui_test.py --tarn PATH [--shots DIR] [unittest options]
"""

import json
import os
import shutil
import subprocess
import sys
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)  # the shared harness sits beside this file
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import gui_harness  # noqa: E402
from gui_harness import xdotool  # noqa: E402

FIXTURE = os.path.join(HERE, "fixtures", "gui", "basic")
TARN = None
WAIT = 40  # seconds: generous, the machine may be busy
EDITOR_TITLE = "second.md - Tarn Blog Editor - 编辑"

# The fixture's manager page gets a "Backup" button beside its others, at a
# fixed place a click can find.
BACKUP_BUTTON = ('<button id="backup" style="left: 20px; top: 110px" onclick="Backup()">Backup</button>'
                 "\n</nav>")
BACKUP_AT = (85, 130)
PUBLISH_AT = (385, 80)


def git(*args, cwd=None):
    return subprocess.run(["git", *args], cwd=cwd, capture_output=True, text=True, check=True,
                          env=dict(os.environ, GIT_CONFIG_NOSYSTEM="1")).stdout


class Session(gui_harness.Session):
    """One run of `tarn gui` on a copy of the fixture, with conf.ini's
    [base] keys in conf and a bare repository as system.sourceUrl."""

    wait = WAIT

    def __init__(self, test, conf):
        super().__init__(test, prefix="tarn-backup-")
        shutil.copytree(FIXTURE, self.root)
        gui_harness.write_conf(self.root, conf)
        page = self.path("template", "index copy.html")
        with open(page, encoding="utf-8") as f:
            text = f.read().replace("</nav>", BACKUP_BUTTON)
        with open(page, "w", encoding="utf-8") as f:
            f.write(text)
        self.remote = os.path.join(self.tmp, "source.git")
        git("init", "--bare", "-q", "-b", "main", self.remote)
        base = self.path("config", "base.json")
        with open(base, encoding="utf-8") as f:
            data = json.load(f)
        data["system"]["sourceUrl"] = self.remote
        with open(base, "w", encoding="utf-8") as f:
            json.dump(data, f)

    def start(self):
        self.launch([TARN, "gui", "-w", self.root])
        return self.wait_started()

    def edit_and_save(self, text):
        """Opens _posts/second.md in the editor (dropped on the manager),
        types text at its start and saves with Ctrl+S."""
        if not gui_harness.find_windows(EDITOR_TITLE):
            self.drag(self.path("_posts", "second.md"))
        editor = self.wait_window(EDITOR_TITLE)
        time.sleep(1)  # the text is put in right after the page's load
        self.click(editor, 100, 100)
        xdotool("key", "--clearmodifiers", "ctrl+Home")
        xdotool("type", "--delay", "30", text)
        self.key(editor, "ctrl+s")
        self.wait_line(r"^editor: saved .*/_posts/second\.md$")

    def commits(self, ref="HEAD"):
        return git("log", "--format=%s", ref, cwd=self.root).splitlines()

    def remote_refs(self):
        return git("for-each-ref", cwd=self.remote)


class BackupGuiTest(unittest.TestCase):
    def session(self, **conf):
        s = Session(self, conf)
        self.addCleanup(s.stop)
        return s

    def test_a_save_commits_locally_and_pushes_nothing(self):
        s = self.session(AutoBackup="1")
        s.start()
        s.edit_and_save("First ")
        s.wait_line(r"^backup: backed up: 2 posts added; \d+ other files added$")
        s.edit_and_save("Second ")
        s.wait_line(r"^backup: backed up: 1 post changed$")
        self.assertEqual(len(s.commits()), 2)
        with open(s.path("_posts", "second.md"), encoding="utf-8") as f:
            saved = f.read()
        self.assertEqual(git("show", "HEAD:_posts/second.md", cwd=s.root), saved)
        self.assertEqual(s.remote_refs(), "")  # typing never waits on the network
        s.shot("backup_after_save")

    def test_without_autobackup_a_save_commits_nothing(self):
        s = self.session(AutoBackup="0")
        s.start()
        s.edit_and_save("Edited ")
        # Nothing is to follow the save; give it the chance to.
        time.sleep(2)
        self.assertFalse([line for line in s.seen if line.startswith("backup:")])
        while not s.lines.empty():
            self.assertFalse(s.lines.get().startswith("backup:"))
        self.assertFalse(os.path.exists(s.path(".git")))

    def test_the_backup_button_commits_and_pushes(self):
        s = self.session()
        window = s.start()
        s.click(window, *BACKUP_AT)
        s.wait_line(r"^message: Succeed: backed up: .*; pushed to ")
        self.assertEqual(len(s.commits()), 1)
        self.assertEqual(git("rev-parse", "main", cwd=s.remote),
                         git("rev-parse", "HEAD", cwd=s.root))
        files = git("ls-tree", "-r", "--name-only", "main", cwd=s.remote).split()
        self.assertIn("_posts/second.md", files)
        self.assertNotIn("template/index.html", files)  # the generated page is left out
        s.wait_window("Succeed", visible=False)

        # A failed push says so: the remote has gone.
        shutil.rmtree(s.remote)
        with open(s.path("_posts", "hello.md"), "a", encoding="utf-8") as f:
            f.write("\nmore\n")
        s.click(window, *BACKUP_AT)
        s.wait_line(r"^message: Error: backup committed but the push to .* failed")

    def test_a_publish_backs_up_and_pushes_with_autobackup(self):
        s = self.session(AutoBackup="1")
        window = s.start()
        s.click(window, *PUBLISH_AT)
        s.wait_line(r"^message: Succeed: 渲染完成$")
        s.wait_line(r"^backup: backed up: .*; pushed to ")
        self.assertEqual(git("rev-parse", "main", cwd=s.remote),
                         git("rev-parse", "HEAD", cwd=s.root))


def main():
    global TARN
    args, argv = gui_harness.parse_arguments()
    TARN = os.path.abspath(args.tarn)
    unittest.main(argv=argv, verbosity=2, warnings="ignore")


if __name__ == "__main__":
    main()
