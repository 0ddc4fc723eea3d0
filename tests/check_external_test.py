"""`tarn check --external` against a server on 127.0.0.1: a page that links
to an address answering 200, one redirecting (301), one gone (404), one that
answers only after the check has given up on it, and one that refuses HEAD
(405) but answers GET. The slow address waits on an event the test sets once
the check has reported the timeout, so nothing depends on the machine's
speed. A second check asks again only for what had no answer.

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
        if self.path == "/slow":
            self.server.release.wait()
        if self.path == "/nohead" and self.command == "HEAD":
            return self.answer(405)
        status = {"/ok": 200, "/moved": 301, "/gone": 404, "/slow": 200, "/nohead": 200}
        location = self.server.url("/ok") if self.path == "/moved" else None
        self.answer(status.get(self.path, 404), location)

    do_HEAD = respond
    do_GET = respond


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self):
        super().__init__(("127.0.0.1", 0), Handler)
        self.asked = collections.Counter()
        self.release = threading.Event()

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
        links = " ".join('<a href="%s">%s</a>' % (self.server.url("/" + p), p)
                         for p in ("ok", "moved", "gone", "slow", "nohead"))
        with open(os.path.join(posts, "links.md"), "w", encoding="utf-8") as f:
            f.write("---\ntitle: Links\ndescription: links out\n---\n" + links + "\n")

    def tearDown(self):
        self.server.release.set()
        self.server.shutdown()
        self.server.server_close()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def check(self):
        env = dict(os.environ, TARN_CHECK_TIMEOUT_MS="1000")
        run = subprocess.run([ARGS.tarn, "-w", self.ws, "check", "--external", "--json"],
                             capture_output=True, text=True, env=env)
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


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarn", required=True)
    parser.add_argument("--fixture", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest)
