"""The installed tarn: `cmake --install` into a temporary prefix; the files a
desktop reads, validated with the desktop's own tools; the installed copy
making and building a blog with the source tree out of reach; the order in
which it finds the blog; and its first start with no blog (under Xvfb).

Run by ctest: install_test.py --build BUILD_DIR --source SOURCE_DIR.
"""

import argparse
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import zlib
import tempfile
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gui_harness  # noqa: E402

APP_ID = "org.tarnblog.Tarn"
ARGS = None


def write_png(path, width, height):
    """A grey RGB PNG of that size, made without an image library."""
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))
    rows = b"".join(b"\0" + b"\x80" * (3 * width) for _ in range(height))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height,
                                                                    8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def run(argv, env=None, **kwargs):
    return subprocess.run(argv, capture_output=True, text=True, env=env, **kwargs)


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


def as_nobody():
    """The command prefix that runs a program as a user who owns nothing
    here; [] when this test is not root (then file modes are enough)."""
    return ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] if os.getuid() == 0 else []


class Installed(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="tarn-install-")
        os.chmod(cls.tmp, 0o755)  # another user runs the installed copy too
        cls.prefix = os.path.join(cls.tmp, "prefix")
        done = run(["cmake", "--install", ARGS.build, "--prefix", cls.prefix])
        if done.returncode != 0:
            raise AssertionError("cmake --install failed:\n" + done.stdout + done.stderr)
        cls.exe = os.path.join(cls.prefix, "bin", "tarn")
        cls.share = os.path.join(cls.prefix, "share")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def home(self, name):
        """A user's home of its own for one test, and the environment that
        points there (settings, documents folder, git identity)."""
        home = os.path.join(self.tmp, name)
        os.makedirs(os.path.join(home, ".config"))
        os.chmod(home, 0o755)
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   TARN_UPDATE_URL="http://127.0.0.1:9/update.json", GIT_CONFIG_NOSYSTEM="1")
        with open(os.path.join(home, ".config", "user-dirs.dirs"), "w") as f:
            f.write('XDG_DOCUMENTS_DIR="$HOME/Docs"\n')
        return home, env

    def tarn(self, env, *args, tarn=None, check=None):
        result = run([tarn or self.exe, *args], env=env)
        if check is not None:
            self.assertEqual(result.returncode, check, result.stdout + result.stderr)
        return result

    def test_the_desktop_files_validate(self):
        apps = os.path.join(self.share, "applications", APP_ID + ".desktop")
        checked = run(["desktop-file-validate", apps])
        self.assertEqual((checked.returncode, checked.stdout), (0, ""), checked.stderr)
        with open(apps) as f:
            entry = f.read()
        self.assertIn("Icon=%s\n" % APP_ID, entry)
        self.assertIn("Exec=tarn gui\n", entry)
        # English and Chinese names and summaries.
        for key in ("Name", "GenericName", "Comment"):
            self.assertRegex(entry, r"\n%s=[^\n]+\n" % key)
            self.assertRegex(entry, r"\n%s\[zh_CN\]=[^\n]+\n" % key)
        metainfo = os.path.join(self.share, "metainfo", APP_ID + ".metainfo.xml")
        checked = run(["appstreamcli", "validate", "--no-net", metainfo])
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        with open(metainfo, encoding="utf-8") as f:
            info = f.read()
        for element in ("name", "summary", "p"):
            self.assertIn("<%s xml:lang=\"zh-CN\">" % element, info)
        icons = os.path.join(self.share, "icons", "hicolor")
        self.assertTrue(os.path.isfile(os.path.join(icons, "scalable", "apps", APP_ID + ".svg")))
        for size in (48, 128, 256):
            png = os.path.join(icons, "%dx%d" % (size, size), "apps", APP_ID + ".png")
            self.assertEqual(png_size(png), (size, size))

    def commands(self):
        """The commands `tarn --help` lists, but the internal one."""
        text = self.tarn(None, "--help", check=0).stdout
        listed = text.split("commands:\n", 1)[1].split("\n\n", 1)[0]
        names = {line.split()[0] for line in listed.splitlines() if line.strip()}
        names.discard("convert-worker")
        self.assertIn("init", names)
        return names

    def test_man_page_and_completion_know_every_command(self):
        page = os.path.join(self.share, "man", "man1", "tarn.1")
        shown = run(["man", "--warnings", "-l", page],
                    env=dict(os.environ, MANWIDTH="100"))
        self.assertEqual((shown.returncode, shown.stderr), (0, ""))
        text = shown.stdout
        section = text.split("COMMANDS", 1)[1].split("FILES", 1)[0]
        headings = {line.split()[0] for line in section.splitlines()
                    if line.startswith("       ") and not line.startswith("        ")
                    and line.strip()}
        self.assertEqual(self.commands() - headings, set(), "commands without a man section")

        completion = os.path.join(self.share, "bash-completion", "completions", "tarn")
        framework = "/usr/share/bash-completion/bash_completion"
        if not os.path.exists(framework):
            self.skipTest("bash-completion is not installed")
        script = ('source %s; source %s; PATH=%s:$PATH\n'
                  'COMP_WORDS=(tarn ""); COMP_CWORD=1; COMP_LINE="tarn "; COMP_POINT=5\n'
                  '_tarn; printf "%%s\\n" "${COMPREPLY[@]}"\n'
                  % (framework, completion, os.path.dirname(self.exe)))
        offered = run(["bash", "-c", script])
        self.assertEqual(set(offered.stdout.split()), self.commands(), offered.stderr)

    def snapshot(self, folder):
        return {os.path.join(d, n): os.lstat(os.path.join(d, n)).st_mtime_ns
                for d, dirs, files in os.walk(folder) for n in dirs + files}

    def test_init_and_build_from_the_install_alone(self):
        home, env = self.home("alone")
        blog = os.path.join(home, "blog")
        before = self.snapshot(self.prefix)
        # The source and build trees are covered by empty folders in a mount
        # namespace of this command's own, where the system allows one.
        hide = " ".join("mount -t tmpfs none '%s';" % d for d in {ARGS.source, ARGS.build})
        # A photo, which the installed image module (not the build tree's)
        # must process.
        photo = os.path.join(home, "photo.png")
        write_png(photo, 8, 6)
        script = ("%s '%s' init '%s' && mkdir -p '%s/static' && cp '%s' '%s/static/' && "
                  "'%s' -w '%s' build" % (hide, self.exe, blog, blog, photo, blog, self.exe, blog))
        unshare = ["unshare", "--mount", "--propagation", "private"]
        if os.getuid() != 0:
            unshare.insert(1, "--map-root-user")
        if run(unshare + ["true"]).returncode == 0:
            built = run(unshare + ["sh", "-c", script], env=env)
        else:
            print("no mount namespace here: the source tree stays in reach", file=sys.stderr)
            built = run(["sh", "-c", script.split(";")[-1]], env=env)
        self.assertEqual(built.returncode, 0, built.stdout + built.stderr)
        self.assertIn("渲染完成", built.stdout)
        for made in ("public/index.html", "public/articles/Hello Tarn.html", "public/atom.xml",
                     "template/vendor/markdown-it.min.js", ".gitignore", "config/conf.ini",
                     "public/photo.png", "public/photo.8.webp"):
            self.assertTrue(os.path.isfile(os.path.join(blog, made)), made)
        self.assertEqual([n for n in os.listdir(home) if n.startswith(".tarn-init")], [])
        for beside in ("tarn-convert-worker", "tarn-desktop"):
            self.assertTrue(os.access(os.path.join(self.prefix, "bin", beside), os.X_OK), beside)
        # The command line loads the core libraries alone: the desktop
        # program's are tarn-desktop's.
        needed = run(["readelf", "-d", os.path.join(self.prefix, "bin", "tarn")]).stdout
        for desktop_only in ("libgtk-3", "libwebkit2gtk", "libgdk-3", "libnotify", "libkeybinder"):
            self.assertNotIn(desktop_only, needed)
        self.assertEqual(self.snapshot(self.prefix), before, "the install folders changed")

    def test_init_in_the_systems_language_from_the_install(self):
        home, env = self.home("english")
        env = {k: v for k, v in env.items() if not k.startswith("LC_")}
        for lang, language in (("en_GB.UTF-8", '"language": "en-GB"'), ("C.UTF-8", None)):
            blog = os.path.join(home, lang)
            self.tarn(dict(env, LANG=lang), "init", blog, check=0)
            with open(os.path.join(blog, "config", "base.json"), encoding="utf-8") as f:
                settings = f.read()
            if language:
                self.assertIn(language, settings)
            else:
                self.assertNotIn('"language"', settings)

    def test_the_installed_catalogue_speaks_english(self):
        listed = run(["locale", "-a"]).stdout.split()
        if "en_US.utf8" not in listed:
            self.skipTest("the locale en_US.UTF-8 is not generated on this machine "
                          "(scripts/setup.sh test generates it)")
        self.assertTrue(os.path.isfile(os.path.join(self.share, "locale", "en", "LC_MESSAGES",
                                                    "tarn.mo")))
        home, env = self.home("catalogue")
        env = {k: v for k, v in env.items() if not k.startswith("LC_") and k != "LANGUAGE"}
        blog = os.path.join(home, "blog")
        self.tarn(env, "init", blog, check=0)
        for lang, said in (("en_US.UTF-8", "Build complete"), ("C.UTF-8", "渲染完成")):
            built = self.tarn(dict(env, LANG=lang), "-w", blog, "build", check=0)
            self.assertEqual(built.stdout.splitlines()[-1], said)

    def test_init_refuses_a_blog_and_a_folder_it_cannot_write(self):
        home, env = self.home("refusals")
        blog = os.path.join(home, "blog")
        self.tarn(env, "init", blog, check=0)
        with open(os.path.join(blog, "config", "base.json"), "rb") as f:
            config = f.read()
        again = self.tarn(env, "init", blog, check=1)
        self.assertIn(blog + ": already holds a blog", again.stderr)
        with open(os.path.join(blog, "config", "base.json"), "rb") as f:
            self.assertEqual(f.read(), config)

        locked = os.path.join(home, "locked")
        os.makedirs(locked)
        os.chmod(locked, 0o555)
        refused = run(as_nobody() + [self.exe, "init", os.path.join(locked, "blog")], env=env)
        self.assertEqual(refused.returncode, 1, refused.stdout)
        self.assertIn(locked + ": cannot create a folder there: Permission denied", refused.stderr)
        self.assertEqual(os.listdir(locked), [])

        usage = self.tarn(env, "init", "a", "b", check=2)
        self.assertIn("usage: tarn init", usage.stderr)

    def test_the_blog_is_found_in_order(self):
        home, env = self.home("order")
        default = os.path.join(home, "Docs", "Tarn Blog")
        settings = os.path.join(home, ".config", "tarn", "settings.ini")

        def built(folder):
            index = os.path.join(folder, "public", "index.html")
            found = os.path.exists(index)
            shutil.rmtree(os.path.join(folder, "public"), ignore_errors=True)
            return found

        # Nothing yet: the default folder is named, with the command to run.
        missing = self.tarn(env, "build", check=1)
        self.assertIn(default + ": no blog here", missing.stderr)
        self.assertIn("tarn init '%s'" % default, missing.stderr)
        moved = self.tarn(dict(env, XDG_DOCUMENTS_DIR=home + "/Elsewhere"), "build", check=1)
        self.assertIn(home + "/Elsewhere/Tarn Blog: no blog here", moved.stderr)

        # The default folder, once it holds a blog.
        os.makedirs(os.path.dirname(default))
        self.tarn(env, "init", default, check=0)
        os.remove(settings)
        self.tarn(env, "build", check=0)
        self.assertTrue(built(default))

        # The first blog made is remembered and wins over the default; a
        # second one is not, and -w beats both.
        first, second = os.path.join(home, "first"), os.path.join(home, "second")
        self.tarn(env, "init", first, check=0)
        self.tarn(env, "init", second, check=0)
        self.tarn(env, "build", check=0)
        self.assertEqual((built(first), built(second), built(default)), (True, False, False))
        self.tarn(env, "-w", second, "build", check=0)
        self.assertEqual((built(first), built(second)), (False, True))

        # A copy of tarn in a folder that holds a blog takes that folder.
        portable = os.path.join(home, "portable")
        self.tarn(env, "init", portable, check=0)
        shutil.copy2(self.exe, os.path.join(portable, "tarn"))
        self.tarn(env, "build", tarn=os.path.join(portable, "tarn"), check=0)
        self.assertEqual((built(portable), built(first)), (True, False))

        # A remembered blog that is gone gives way to the default.
        shutil.rmtree(first)
        self.tarn(env, "build", check=0)
        self.assertTrue(built(default))

        # A blog the user cannot write is reported, not half built.
        os.chmod(second, 0o555)
        denied = run(as_nobody() + [self.exe, "-w", second, "build"], env=env)
        self.assertEqual(denied.returncode, 1, denied.stdout)
        self.assertIn(second + ": cannot write in this workspace: Permission denied",
                      denied.stderr)
        self.assertFalse(os.path.exists(os.path.join(second, "public")))


class FirstStart(unittest.TestCase):
    """The installed desktop program with no blog yet, and switching blogs
    (under an X server; skipped without one)."""

    @classmethod
    def setUpClass(cls):
        if not os.environ.get("DISPLAY"):
            raise unittest.SkipTest("no X display")
        Installed.setUpClass()
        cls.exe = Installed.exe

    @classmethod
    def tearDownClass(cls):
        Installed.tearDownClass()

    def session(self):
        s = gui_harness.Session(self, "tarn-first-")
        self.addCleanup(s.stop)
        s.env["XDG_DOCUMENTS_DIR"] = os.path.join(s.tmp, "Docs")
        return s

    def remembered(self, s):
        with open(os.path.join(s.env["XDG_CONFIG_HOME"], "tarn", "settings.ini")) as f:
            return f.read()

    def ask_to_restore(self, s):
        """Starts the program with no blog and picks 从备份恢复; returns the
        question's window, focused on the URL's box."""
        s.launch([self.exe])
        s.wait_line(r"^dialog: Tarn Blog Editor: ")
        # From "Create here", the default, back past "Choose another folder…".
        s.key(s.wait_window("Tarn Blog Editor"), "shift+Tab", "shift+Tab", "Return")
        s.wait_line(r"^restore: asking for the backup's URL$")
        ask = s.wait_window("从备份恢复")
        s.focus(ask)  # the URL's box has the dialog's focus
        return ask

    def test_the_first_start_makes_a_blog_in_the_documents_folder(self):
        s = self.session()
        blog = os.path.join(s.tmp, "Docs", "Tarn Blog")
        s.launch([self.exe])
        s.wait_line(r"^dialog: Tarn Blog Editor: no blog in %s$" % re.escape(blog))
        s.answer("Tarn Blog Editor", "Return")  # "Create here" is the default
        s.wait_started()
        for made in ("config/base.json", "template/vendor/markdown-it.min.js",
                     "template/index.html", "_posts/Hello Tarn.md"):
            self.assertTrue(os.path.isfile(os.path.join(blog, made)), made)
        self.assertIn('last="%s"' % blog, self.remembered(s))
        with open(os.path.join(blog, "config", "base.json")) as f:
            self.assertNotIn('"language"', f.read())  # the Chinese demo, as tarn init makes it

    def test_on_an_english_desktop_the_first_blog_is_english(self):
        s = self.session()
        s.env.update(LANG="en_GB.UTF-8", LC_ALL="", LC_MESSAGES="")
        blog = os.path.join(s.tmp, "Docs", "Tarn Blog")
        s.launch([self.exe])
        s.wait_line(r"^dialog: Tarn Blog Editor: no blog in %s$" % re.escape(blog))
        s.answer("Tarn Blog Editor", "Return")
        s.wait_started()
        with open(os.path.join(blog, "config", "base.json")) as f:
            self.assertIn('"language": "en-GB"', f.read())

    def test_quit_makes_nothing(self):
        s = self.session()
        s.launch([self.exe, "gui"])
        s.wait_line(r"^dialog: ")
        dialog = s.wait_window("Tarn Blog Editor")
        s.key(dialog, "Escape")
        self.assertEqual(s.proc.wait(timeout=30), 0)
        self.assertFalse(os.path.exists(os.path.join(s.tmp, "Docs")))

    def test_the_first_start_restores_a_backup_and_a_failed_one_leaves_nothing(self):
        s = self.session()
        remote = os.path.join(s.tmp, "source.git")
        original = os.path.join(s.tmp, "original")
        self.assertEqual(run(["git", "init", "-q", "--bare", "-b", "main", remote]).returncode, 0)
        # Made elsewhere: this user's settings remember no blog.
        elsewhere = dict(s.env, XDG_CONFIG_HOME=os.path.join(s.tmp, "elsewhere"))
        self.assertEqual(run([self.exe, "init", original], env=elsewhere).returncode, 0)
        with open(os.path.join(original, "_posts", "Kept.md"), "w", encoding="utf-8") as f:
            f.write("# Kept\n\nwritten on the old computer\n")
        backup = run([self.exe, "-w", original, "backup"], env=s.env)
        self.assertEqual(backup.returncode, 0, backup.stdout + backup.stderr)
        pushed = run(["git", "-C", original, "push", "-q", remote, "main"], env=s.env)
        self.assertEqual(pushed.returncode, 0, pushed.stderr)

        blog = os.path.join(s.tmp, "Docs", "Tarn Blog")
        ask = self.ask_to_restore(s)
        gui_harness.xdotool("type", "--delay", "20", os.path.join(s.tmp, "none.git"))
        s.shot("restore_dialog")
        s.key(ask, "Return")
        s.wait_line(r"^message: Error: Cannot restore the blog: cannot restore from ")
        s.answer("Error", "Return")
        s.wait_line(r"^restore: asking for the backup's URL$")
        self.assertFalse(os.path.exists(os.path.join(s.tmp, "Docs")))

        ask = s.wait_window("从备份恢复")
        s.key(ask, "ctrl+a")  # the URL typed before is offered again
        gui_harness.xdotool("type", "--delay", "20", remote)
        s.key(ask, "Return")
        s.wait_line(r"^restore: restored %s$" % re.escape(blog))
        s.wait_started()
        with open(os.path.join(blog, "_posts", "Kept.md"), encoding="utf-8") as f:
            self.assertIn("written on the old computer", f.read())
        self.assertTrue(os.path.isfile(os.path.join(blog, "template", "index.html")))
        self.assertIn('last="%s"' % blog, self.remembered(s))

    def silent_server(self):
        """An http URL on 127.0.0.1 whose server takes connections and
        never answers; the count of connections taken is in the list."""
        server = socket.socket()
        server.bind(("127.0.0.1", 0))
        server.listen(8)
        taken = []

        def accept():
            try:
                while True:
                    taken.append(server.accept()[0])
            except OSError:
                pass  # closed by the cleanup

        threading.Thread(target=accept, daemon=True).start()

        def close():
            server.shutdown(socket.SHUT_RDWR)
            server.close()
            for connection in taken:
                connection.close()

        self.addCleanup(close)
        return "http://127.0.0.1:%d/blog.git" % server.getsockname()[1], taken

    def test_a_restore_from_a_silent_remote_is_cancelled_and_leaves_nothing(self):
        s = self.session()
        url, taken = self.silent_server()
        blog = os.path.join(s.tmp, "Docs", "Tarn Blog")
        ask = self.ask_to_restore(s)
        gui_harness.xdotool("type", "--delay", "20", url)
        s.key(ask, "Return")
        s.wait_line(r"^restore: restoring http://127\.0\.0\.1:\d+/blog\.git into %s$"
                    % re.escape(blog))
        deadline = time.time() + 30
        while not taken and time.time() < deadline:
            time.sleep(0.1)
        self.assertTrue(taken, "git never reached the server")
        progress = s.wait_window("从备份恢复")
        s.shot("restore_progress")
        # The Cancel button in the window's bottom right corner.
        g = gui_harness.geometry(progress)
        s.click(progress, g["WIDTH"] - 45, g["HEIGHT"] - 28)
        s.wait_line(r"^restore: cancelling$")
        s.wait_line(r"^restore: cancelled$")
        s.wait_line(r"^restore: asking for the backup's URL$")
        self.assertFalse(os.path.exists(os.path.join(s.tmp, "Docs")))
        # git's helper that held the connection ended with git.
        for connection in taken:
            connection.settimeout(10)
            while connection.recv(4096):  # the request git sent, then the end
                pass

        # Closing the progress window cancels as well; the URL is offered
        # again, and the program still answers afterwards.
        s.key(s.wait_window("从备份恢复"), "Return")
        s.wait_line(r"^restore: restoring ")
        gui_harness.ask_to_close(s.wait_window("从备份恢复"))
        s.wait_line(r"^restore: cancelled$")
        s.wait_line(r"^restore: asking for the backup's URL$")
        self.assertFalse(os.path.exists(os.path.join(s.tmp, "Docs")))
        s.answer("从备份恢复", "Escape")
        s.wait_line(r"^dialog: Tarn Blog Editor: ")
        self.assertFalse(os.path.exists(os.path.join(s.tmp, "Docs")))

    def test_open_another_blog_switches_and_is_remembered(self):
        s = self.session()
        first, second = os.path.join(s.tmp, "first"), os.path.join(s.tmp, "second")
        for blog in (first, second):
            made = run([self.exe, "init", blog], env=s.env)
            self.assertEqual(made.returncode, 0, made.stderr)
        s.launch([self.exe, "gui", "-w", first])
        window = s.wait_started()
        s.key(window, "ctrl+o")
        chooser = s.wait_window("Open a blog")
        s.key(chooser, "ctrl+l")
        gui_harness.xdotool("type", "--delay", "20", second)
        # The "Open" button in the chooser's bottom right corner: the dialog
        # takes the click after the keys typed before it.
        g = gui_harness.geometry(chooser)
        s.click(chooser, g["WIDTH"] - 45, g["HEIGHT"] - 23)
        s.wait_line(r"^open: %s$" % re.escape(second))
        s.wait_line(r"^page: loaded %s/template/index\.html$" % re.escape(second))
        self.assertIn('last="%s"' % second, self.remembered(s))


class Package(unittest.TestCase):
    """The .deb that `make package` makes, built into a folder of its own."""

    def test_the_deb_holds_the_install_and_depends_on_runtime_packages_only(self):
        out = tempfile.mkdtemp(prefix="tarn-package-")
        self.addCleanup(shutil.rmtree, out, ignore_errors=True)
        made = run(["cpack", "-G", "DEB", "--config",
                    os.path.join(ARGS.build, "CPackConfig.cmake"), "-B", out])
        self.assertEqual(made.returncode, 0, made.stdout + made.stderr)
        debs = [n for n in os.listdir(out) if n.endswith(".deb")]
        self.assertEqual(len(debs), 1, os.listdir(out))
        self.assertRegex(debs[0], r"^tarn_[0-9.]+_[a-z0-9]+\.deb$")
        deb = os.path.join(out, debs[0])

        info = run(["dpkg-deb", "-I", deb])
        self.assertEqual(info.returncode, 0, info.stderr)
        depends = [line for line in info.stdout.splitlines()
                   if line.strip().startswith("Depends:")][0]
        names = {d.split()[0] for d in depends.split(":", 1)[1].split(",")}
        for needed in ("git", "xdg-utils", "libwebkit2gtk-4.1-0", "libgtk-3-0", "libc6"):
            self.assertIn(needed, names)
        for build_only in ("hugo", "chromium", "npm", "nodejs", "xvfb", "googletest",
                           "libgtest-dev", "cmake", "build-essential", "librsvg2-bin"):
            self.assertNotIn(build_only, names)
        self.assertNotIn("-dev", depends)

        listing = run(["dpkg-deb", "-c", deb])
        files = {line.split(None, 5)[5] for line in listing.stdout.splitlines()}
        self.assertTrue(any(f.startswith("./usr/lib/") and f.endswith("/tarn/tarn-images.so")
                            for f in files), "no image module in the package")
        for path in ("./usr/bin/tarn", "./usr/bin/tarn-convert-worker", "./usr/bin/tarn-desktop",
                     "./usr/share/applications/%s.desktop" % APP_ID,
                     "./usr/share/metainfo/%s.metainfo.xml" % APP_ID,
                     "./usr/share/icons/hicolor/scalable/apps/%s.svg" % APP_ID,
                     "./usr/share/icons/hicolor/256x256/apps/%s.png" % APP_ID,
                     "./usr/share/man/man1/tarn.1",
                     "./usr/share/bash-completion/completions/tarn",
                     "./usr/share/tarn/skeleton/.gitignore",
                     "./usr/share/tarn/skeleton-en/config/base.json",
                     "./usr/share/tarn/skeleton/template/index copy.html",
                     "./usr/share/tarn/skeleton/template/vendor/markdown-it.min.js"):
            self.assertIn(path, files)
        self.assertEqual([f for f in files if not f.startswith("./usr/")], [])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--shots")  # a folder for the screenshots of the desktop tests
    ARGS, rest = parser.parse_known_args()
    gui_harness.SHOTS = ARGS.shots
    unittest.main(argv=[sys.argv[0]] + rest)
