"""Scheduled posts end to end, with the clock fixed by TARN_NOW: a post dated
later is on no page, list, feed, sitemap or search index until it is due
(offset-less dates read in the local time zone); `--future` builds the site
as it will be then; `tarn publish --due` against a local bare repository
publishes only what became due, once, and never twice at a time; `tarn
schedule` writes systemd user units that systemd-analyze accepts, whose
command publishes, and prints a crontab line where systemd is not at hand.

Run by ctest: schedule_test.py --tarn BUILD_DIR/tarn.
"""

import argparse
import fcntl
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

ARGS = None

BEFORE = "2026-05-01T00:00:00Z"
LATER_DUE = "2026-06-01T07:00:00Z"  # Later.md's date, written at +02:00
AFTER = "2026-07-01T00:00:00Z"

POSTS = {
    "Early.md": """---
title: Early bird
date: 2026-01-01 08:00:00 +08:00
tags: [lake]
---

Out already.
""",
    "Later.md": """---
title: Lakeside sunrise
date: 2026-06-01T09:00:00+02:00
tags: [lake, sunrise]
---

Not yet. <!-- more --> The rest.
""",
}


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def site_files(public):
    """Every file under public/ (git's folder aside): its path relative to
    public/ and its bytes."""
    for folder, _, names in os.walk(public):
        if ".git" in folder.split(os.sep):
            continue
        for name in names:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                yield os.path.relpath(path, public), f.read()


def mentions(public, text):
    """The files under public/ whose text holds text."""
    return sorted(name for name, data in site_files(public) if text.encode() in data)


def tree(public, built):
    """Every file under public/ with its text, where it says when the site
    was built (the create_time built, the feed's lastBuildDate) left out."""
    def text(data):
        data = data.decode("utf-8", "replace").replace(built, "")
        return re.sub(r"<lastBuildDate>[^<]*</lastBuildDate>", "", data)
    return {name: text(data) for name, data in site_files(public)}


class Blog(unittest.TestCase):
    folder = "blog"

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tarn-schedule-")
        self.ws = os.path.join(self.dir, self.folder)
        self.env = dict(os.environ, TZ="UTC", LC_ALL="C.UTF-8")
        self.tarn("init", self.ws)
        for name, text in POSTS.items():
            write(os.path.join(self.ws, "_posts", name), text)
        base = os.path.join(self.ws, "config", "base.json")
        config = json.loads(read(base))
        config["system"]["url"] = "https://example.github.io"
        write(base, json.dumps(config, ensure_ascii=False))

    def tearDown(self):
        shutil.rmtree(self.dir)

    def run_tarn(self, *args, now=None, env=None):
        run_env = dict(self.env, **(env or {}))
        if now:
            run_env["TARN_NOW"] = now
        return subprocess.run([ARGS.tarn, *args], capture_output=True, text=True,
                              env=run_env, cwd=self.dir)

    def tarn(self, *args, now=None, env=None):
        done = self.run_tarn(*args, now=now, env=env)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return done

    def public(self, *parts):
        return os.path.join(self.ws, "public", *parts)


class ScheduledPostsTest(Blog):
    def test_a_post_is_on_no_page_until_it_is_due(self):
        # Offset-less dates are read in the local time zone: 09:00 in
        # Shanghai is 01:00Z, in New York (summer) 13:00Z.
        write(os.path.join(self.ws, "_posts", "Local.md"),
              "---\ntitle: Local dawn\ndate: 2026-06-01 09:00:00\ntags: [lake]\n---\n\nx\n")
        cases = [
            (BEFORE, "UTC", []),
            ("2026-06-01T06:59:59Z", "UTC", []),
            (LATER_DUE, "UTC", ["Lakeside sunrise"]),
            ("2026-06-01T05:00:00Z", "Asia/Shanghai", ["Local dawn"]),
            ("2026-06-01T05:00:00Z", "America/New_York", []),
            (AFTER, "UTC", ["Lakeside sunrise", "Local dawn"]),
        ]
        others = len(os.listdir(os.path.join(self.ws, "_posts"))) - 2
        for now, zone, shown in cases:
            with self.subTest(now=now, zone=zone):
                self.tarn("-w", self.ws, "build", now=now, env={"TZ": zone})
                for title in ("Lakeside sunrise", "Local dawn"):
                    found = mentions(self.public(), title)
                    if title not in shown:
                        self.assertEqual(found, [], title)
                        continue
                    # The article, the home page, the feed, the search
                    # index, database.json and the tag page all have it.
                    for page in ("index.html", "atom.xml", "search.json", "database.json"):
                        self.assertIn(page, found, title)
                    self.assertTrue(any(p.startswith("articles/") for p in found), found)
                    self.assertTrue(any(p.startswith("tags/") for p in found), found)
                articles = sorted(os.listdir(self.public("articles")))
                self.assertEqual(len(articles), others + len(shown), articles)
                sitemap = read(self.public("sitemap.xml"))
                self.assertEqual(sitemap.count("/articles/"), others + len(shown))
                self.assertEqual(os.path.isdir(self.public("tags", "sunrise")),
                                 "Lakeside sunrise" in shown)
                database = json.loads(read(self.public("database.json")))
                self.assertEqual(len(database["posts"]), others + len(shown))

    def test_future_builds_the_site_as_it_will_be_when_due(self):
        self.tarn("-w", self.ws, "build", "--future", now=BEFORE)
        early = tree(self.public(), "2026-5-1 00:00:00")
        self.assertIn("Lakeside sunrise", read(self.public("atom.xml")))
        shutil.rmtree(self.public())
        self.tarn("-w", self.ws, "build", now=AFTER)
        due = tree(self.public(), "2026-7-1 00:00:00")
        self.assertEqual(sorted(early), sorted(due))
        for name in early:
            self.assertEqual(early[name], due[name], name)

    def test_a_post_without_a_date_is_never_scheduled(self):
        path = os.path.join(self.ws, "_posts", "Undated.md")
        write(path, "---\ntitle: Undated note\n---\n\nx\n")
        os.utime(path, (4102444800, 4102444800))  # the file says 2100
        self.tarn("-w", self.ws, "build", now=BEFORE)
        self.assertIn("articles/Undated.html", mentions(self.public(), "Undated note"))


class PublishingBlog(Blog):
    """A blog whose deployUrl is a local bare repository, with a git
    configuration and a home of the test's own."""

    def setUp(self):
        super().setUp()
        home = os.path.join(self.dir, "home")
        os.makedirs(home)
        write(os.path.join(home, ".gitconfig"),
              "[user]\n\tname = Test\n\temail = test@example.invalid\n"
              "[init]\n\tdefaultBranch = main\n")
        self.env.update(HOME=home, GIT_CONFIG_NOSYSTEM="1", XDG_CONFIG_HOME=os.path.join(home, ".config"))
        self.remote = os.path.join(self.dir, "site.git")
        subprocess.run(["git", "init", "-q", "--bare", self.remote], check=True, env=self.env)
        base = os.path.join(self.ws, "config", "base.json")
        config = json.loads(read(base))
        config["system"]["deployUrl"] = self.remote
        write(base, json.dumps(config, ensure_ascii=False))

    def remote_refs(self):
        return subprocess.run(["git", "-C", self.remote, "for-each-ref"], capture_output=True,
                              text=True, check=True, env=self.env).stdout

    def remote_files(self):
        return subprocess.run(["git", "-C", self.remote, "ls-tree", "-r", "--name-only",
                               "master"], capture_output=True, text=True, check=True,
                              env=self.env).stdout.split("\n")

    def public_state(self):
        state = {}
        for folder, _, names in os.walk(self.public()):
            for name in names:
                path = os.path.join(folder, name)
                info = os.stat(path)
                state[path] = (info.st_mtime_ns, info.st_size)
        return state

    def log_outcomes(self):
        lines = read(os.path.join(self.ws, ".tarn", "publish-due.log")).splitlines()
        return [line.split("\t")[1] for line in lines]



class PublishDueTest(PublishingBlog):
    def test_publishes_what_became_due_once(self):
        first = self.tarn("-w", self.ws, "publish", "--due", now=BEFORE)
        self.assertIn("nothing was published yet", first.stdout)
        self.assertIn("articles/Early.html", self.remote_files())
        self.assertNotIn("articles/Later.html", self.remote_files())
        refs, public = self.remote_refs(), self.public_state()
        for now in (BEFORE, "2026-06-01T06:59:59Z"):
            idle = self.tarn("-w", self.ws, "publish", "--due", now=now)
            self.assertEqual(idle.stdout, "nothing is due\n")
            self.assertEqual(self.remote_refs(), refs)
            self.assertEqual(self.public_state(), public)
        due = self.tarn("-w", self.ws, "publish", "--due", now=LATER_DUE)
        self.assertIn("due: Later.md\n", due.stdout)
        self.assertIn("articles/Later.html", self.remote_files())
        refs = self.remote_refs()
        again = self.tarn("-w", self.ws, "publish", "--due", now=AFTER)
        self.assertEqual(again.stdout, "nothing is due\n")
        self.assertEqual(self.remote_refs(), refs)
        self.assertEqual(self.log_outcomes(),
                         ["published", "nothing due", "nothing due", "published", "nothing due"])
        status = self.tarn("-w", self.ws, "schedule", "status", now=AFTER)
        self.assertIn("schedule: off\n", status.stdout)
        self.assertIn("next due post: none\n", status.stdout)
        self.assertRegex(status.stdout, r"last run: 2026-07-01T00:00:00\+00:00 nothing due")

    def test_a_damaged_record_publishes_again(self):
        self.tarn("-w", self.ws, "publish", "--due", now=BEFORE)
        write(os.path.join(self.ws, ".tarn", "publish-due"), "garbage\n")
        again = self.tarn("-w", self.ws, "publish", "--due", now=BEFORE)
        self.assertIn("nothing was published yet", again.stdout)
        self.assertEqual(self.tarn("-w", self.ws, "publish", "--due", now=BEFORE).stdout,
                         "nothing is due\n")

    def test_a_failed_publish_is_logged_and_tried_again(self):
        base = os.path.join(self.ws, "config", "base.json")
        config = json.loads(read(base))
        config["system"]["deployUrl"] = os.path.join(self.dir, "missing.git")
        write(base, json.dumps(config, ensure_ascii=False))
        failed = self.run_tarn("-w", self.ws, "publish", "--due", now=BEFORE)
        self.assertEqual(failed.returncode, 1, failed.stdout)
        # Not recorded: the next run tries again, and succeeds.
        config["system"]["deployUrl"] = self.remote
        write(base, json.dumps(config, ensure_ascii=False))
        self.assertIn("nothing was published yet",
                      self.tarn("-w", self.ws, "publish", "--due", now=BEFORE).stdout)
        self.assertEqual(self.log_outcomes(), ["failed", "published"])
        log = read(os.path.join(self.ws, ".tarn", "publish-due.log")).splitlines()
        self.assertEqual(log[0].split("\t")[2], "渲染完成，但推送失败，请查看控制台输出")

    def test_a_publish_by_hand_counts_as_the_last_publish(self):
        self.tarn("-w", self.ws, "publish", now=BEFORE)
        self.assertEqual(self.tarn("-w", self.ws, "publish", "--due", now=BEFORE).stdout,
                         "nothing is due\n")

    def test_a_blog_being_published_is_left_alone(self):
        os.makedirs(os.path.join(self.ws, ".tarn"), exist_ok=True)
        with open(os.path.join(self.ws, ".tarn", "publish.lock"), "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            lock.write(f"{os.getpid()}\n")
            lock.flush()
            due = self.run_tarn("-w", self.ws, "publish", "--due", now=BEFORE)
            self.assertEqual(due.returncode, 0, due.stderr)
            self.assertIn(f"the blog is busy: another run (PID {os.getpid()})", due.stderr)
            by_hand = self.run_tarn("-w", self.ws, "publish", now=BEFORE)
            self.assertEqual(by_hand.returncode, 1)
            self.assertIn("the blog is busy", by_hand.stderr)
            self.assertEqual(self.remote_refs(), "")
        # The kernel let go of the lock with the file: the next run publishes.
        self.tarn("-w", self.ws, "publish", "--due", now=BEFORE)
        self.assertIn("articles/Early.html", self.remote_files())
        self.assertEqual(self.log_outcomes(), ["busy", "published"])

    def test_next_due_post(self):
        status = self.tarn("-w", self.ws, "schedule", "status", now=BEFORE)
        self.assertIn("next due post: Lakeside sunrise (Later.md) at 2026-06-01 07:00:00\n",
                      status.stdout)
        self.assertIn("last run: none\n", status.stdout)


class ScheduleUnitsTest(PublishingBlog):
    # What a unit's command line and a crontab line must quote.
    folder = "my blog at 100% \"$HOME\""

    def setUp(self):
        super().setUp()
        self.bin = os.path.join(self.dir, "bin")
        os.makedirs(self.bin)
        self.calls = os.path.join(self.dir, "systemctl.calls")

    def fake_systemctl(self, status):
        path = os.path.join(self.bin, "systemctl")
        write(path, f'#!/bin/sh\necho "$@" >> "{self.calls}"\nexit {status}\n')
        os.chmod(path, 0o755)
        return {"PATH": self.bin + os.pathsep + os.environ["PATH"]}

    def units(self):
        folder = os.path.join(self.env["XDG_CONFIG_HOME"], "systemd", "user")
        return sorted(os.listdir(folder)) if os.path.isdir(folder) else []

    def test_on_installs_units_whose_command_publishes_and_off_removes_them(self):
        env = self.fake_systemctl(0)
        on = self.tarn("-w", self.ws, "schedule", "on", env=env)
        units = self.units()
        self.assertEqual(len(units), 2, units)
        name = units[0].rsplit(".", 1)[0]
        self.assertRegex(name, r"^tarn-publish-[0-9a-f]{12}$")
        self.assertEqual(units, [name + ".service", name + ".timer"])
        self.assertIn(name + ".timer", on.stdout)
        self.assertEqual(read(self.calls).splitlines(),
                         ["--user daemon-reload", f"--user enable --now {name}.timer"])
        folder = os.path.join(self.env["XDG_CONFIG_HOME"], "systemd", "user")
        timer = read(os.path.join(folder, name + ".timer"))
        for line in ("OnCalendar=*:0/15", "Persistent=true", "WantedBy=timers.target"):
            self.assertIn(line + "\n", timer)
        service = read(os.path.join(folder, name + ".service"))
        exec_start = re.search(r"^ExecStart=(.*)$", service, re.M).group(1)
        # systemd reads "%%" as "%" and "$$" as "$"; the rest as a shell would.
        argv = [a.replace("%%", "%").replace("$$", "$") for a in shlex.split(exec_start)]
        self.assertEqual(argv[1:4], ["publish", "--due", "-w"])
        self.assertEqual(argv[4], os.path.realpath(self.ws))
        self.assertTrue(os.path.isabs(argv[0]))
        verify = shutil.which("systemd-analyze")
        if verify:
            runtime = os.path.join(self.dir, "runtime")
            os.makedirs(runtime, mode=0o700)
            done = subprocess.run([verify, "verify", "--user",
                                   os.path.join(folder, name + ".service"),
                                   os.path.join(folder, name + ".timer")],
                                  capture_output=True, text=True,
                                  env=dict(self.env, XDG_RUNTIME_DIR=runtime))
            self.assertEqual((done.returncode, done.stdout + done.stderr), (0, ""))
        # The service's command, run by hand, publishes.
        run = subprocess.run(argv, capture_output=True, text=True,
                             env=dict(self.env, TARN_NOW=BEFORE))
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("articles/Early.html", self.remote_files())
        self.assertIn("schedule: on (", self.tarn("-w", self.ws, "schedule", "status").stdout)

        off = self.tarn("-w", self.ws, "schedule", "off", env=env)
        self.assertIn("removed", off.stdout)
        self.assertEqual(self.units(), [])
        self.assertIn(f"--user disable --now {name}.timer", read(self.calls))
        self.assertIn("schedule: off\n", self.tarn("-w", self.ws, "schedule", "status").stdout)

    def test_without_systemd_a_crontab_line(self):
        for env in (self.fake_systemctl(1), {"PATH": self.bin}):
            if "PATH" in env and env["PATH"] == self.bin:
                os.remove(os.path.join(self.bin, "systemctl"))
            with self.subTest(path=env["PATH"]):
                done = self.run_tarn("-w", self.ws, "schedule", "on", env=env)
                self.assertEqual(done.returncode, 1)
                self.assertIn("systemd's user manager is not at hand", done.stderr)
                # cron reads "\%" as "%"; the rest is for the shell.
                fields = shlex.split(done.stdout.replace("\\%", "%"))
                self.assertEqual(fields[:5], ["*/15", "*", "*", "*", "*"])
                self.assertEqual(fields[6:], ["publish", "--due", "-w",
                                              os.path.realpath(self.ws)])
                self.assertEqual(self.units(), [])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarn", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
