"""`tarn check --external` against a server on 127.0.0.1: a page that links
to an address answering 200, one redirecting (301), one gone (404), one that
answers only after the check has given up on it, and one that refuses HEAD
(405) but answers GET. The slow address waits on an event the test sets once
the check has reported the timeout, so nothing depends on the machine's
speed. A second check asks again only for what had no answer or an answer
older than a day; no more than two requests go to one host at once.

Run by ctest: check_external_test.py --tarn BUILD_DIR/tarn --fixture DIR.
"""

import argparse
import collections
import http.server
import json
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

ARGS = None


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, location=None):
        self.send_response(status)
        if location:
            self.send_header("Location", location)
        self.send_header("Content-Length", "2")
        self.end_headers()
        if self.command == "GET":
            self.wfile.write(b"ok")

    def respond(self):
        self.server.asked[self.command + " " + self.path] += 1
        if self.path.startswith("/held/"):
            return self.held()
        if self.path == "/slow":
            self.server.release.wait()
        if self.path == "/nohead" and self.command == "HEAD":
            return self.answer(405)
        status = {"/ok": 200, "/moved": 301, "/gone": 404, "/slow": 200, "/nohead": 200}
        location = self.server.url("/ok") if self.path == "/moved" else None
        self.answer(status.get(self.path, 404), location)

    def held(self):
        """Answers once the test lets one more request go, counting how many
        are waiting at once."""
        with self.server.turn:
            self.server.waiting += 1
            self.server.most = max(self.server.most, self.server.waiting)
            self.server.turn.notify_all()
            self.server.turn.wait_for(lambda: self.server.passes > 0)
            self.server.passes -= 1
            self.server.waiting -= 1
        self.answer(200)

    do_HEAD = respond
    do_GET = respond


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), Handler)
        self.asked = collections.Counter()
        self.release = threading.Event()
        self.turn = threading.Condition()
        self.waiting = 0  # /held/ requests waiting for their turn
        self.most = 0
        self.passes = 0

    def url(self, path):
        return "http://127.0.0.1:%d%s" % (self.server_address[1], path)


class ExternalCheckTest(unittest.TestCase):
    def setUp(self):
        self.server = Server()
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.tmp = tempfile.mkdtemp(prefix="tarn-check-external-")
        self.ws = os.path.join(self.tmp, "ws")
        shutil.copytree(ARGS.fixture, self.ws)
        posts = os.path.join(self.ws, "_posts")
        shutil.rmtree(posts)
        os.makedirs(posts)
        shutil.rmtree(os.path.join(self.ws, "_pages"))
        self.write_post(("ok", "moved", "gone", "slow", "nohead"))

    def tearDown(self):
        self.server.release.set()
        self.server.shutdown()
        self.server.server_close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def write_post(self, paths):
        links = " ".join('<a href="%s">%s</a>' % (self.server.url("/" + p), p) for p in paths)
        with open(os.path.join(self.ws, "_posts", "links.md"), "w", encoding="utf-8") as f:
            f.write("---\ntitle: Links\ndescription: links out\n---\n" + links + "\n")

    def check(self, timeout_ms=1000, run_in=None):
        env = dict(os.environ, TARN_CHECK_TIMEOUT_MS=str(timeout_ms))
        command = [ARGS.tarn, "-w", self.ws, "check", "--external", "--json"]
        if run_in:
            process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True, env=env)
            run_in()
            stdout = process.communicate()[0]
            return process.returncode, json.loads(stdout)
        run = subprocess.run(command, capture_output=True, text=True, env=env)
        report = json.loads(run.stdout)
        problems = {}
        for page in report["pages"]:
            for p in page["problems"]:
                problems[p["target"]] = (page["path"], p["severity"], p["kind"], p["message"])
        return run.returncode, problems

    def test_answers_redirects_refused_head_timeout_and_the_cache(self):
        status, problems = self.check()
        # The check gave up on /slow; now it may answer.
        self.server.release.set()
        self.assertEqual(status, 1, problems)
        page = "public/articles/links.html"
        self.assertEqual(problems[self.server.url("/gone")][:3], (page, "error", "broken-external"))
        moved = problems[self.server.url("/moved")]
        self.assertEqual(moved[:3], (page, "warning", "redirect"))
        self.assertIn("(HTTP 301) to " + self.server.url("/ok"), moved[3])
        slow = problems[self.server.url("/slow")]
        self.assertEqual(slow[:3], (page, "warning", "external-unreachable"))
        self.assertIn("no answer within 1000 ms", slow[3])
        self.assertNotIn(self.server.url("/ok"), problems)
        self.assertNotIn(self.server.url("/nohead"), problems)
        self.assertEqual(self.server.asked["HEAD /nohead"], 1)
        self.assertEqual(self.server.asked["GET /nohead"], 1)
        self.assertEqual(self.server.asked["GET /ok"], 0)

        # Answers are kept for a day: only the address that gave none is
        # asked again, and answers now.
        before = collections.Counter(self.server.asked)
        status, problems = self.check()
        asked = self.server.asked - before
        self.assertEqual(dict(asked), {"HEAD /slow": 1})
        self.assertNotIn(self.server.url("/slow"), problems)
        self.assertIn(self.server.url("/gone"), problems)
        self.assertEqual(status, 1)

        # An answer older than a day is asked again.
        cache_file = os.path.join(self.ws, ".tarn", "external-links.json")
        with open(cache_file, encoding="utf-8") as f:
            cache = json.load(f)
        for entry in cache:
            if entry["url"] == self.server.url("/gone"):
                entry["checked"] -= 2 * 24 * 60 * 60
        with open(cache_file, "w", encoding="utf-8") as f:
            json.dump(cache, f)
        before = collections.Counter(self.server.asked)
        self.check()
        self.assertEqual(dict(self.server.asked - before), {"HEAD /gone": 1})

    def test_at_most_two_requests_to_one_host(self):
        held = ["held/%d" % i for i in range(5)]
        self.write_post(held)

        def let_them_through():
            # Each time two wait (or all that are left), one may go.
            with self.server.turn:
                for left in range(len(held), 0, -1):
                    self.server.turn.wait_for(lambda: self.server.waiting >= min(2, left))
                    self.server.passes += 1
                    self.server.turn.notify_all()

        status, report = self.check(timeout_ms=60000, run_in=let_them_through)
        self.assertEqual(status, 0, report)
        self.assertEqual(self.server.most, 2)
        self.assertEqual(sum(self.server.asked["HEAD /" + p] for p in held), 5)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarn", required=True)
    parser.add_argument("--fixture", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
