"""What the desktop tests share: xdotool and window look-ups on the test's X
server, a close request as a window manager would send it, and a Session
that runs the real program in a folder of its own, with an environment that
keeps it off the network and away from the user's settings, collects what
it prints line by line and drives its windows (clicks, keys, drags from
another program's window).

Each suite subclasses Session for its own workspace and command line.
"""

import argparse
import ctypes
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

SHOTS = None  # screenshots are taken only when a folder is given

MAIN_TITLE = "Corvel Blog Editor"


def parse_arguments(*required):
    """--tarn, --shots and the options named in required; returns them and
    the argument list left for unittest."""
    global SHOTS
    parser = argparse.ArgumentParser()
    parser.add_argument("--tarn", required=True)
    for name in required:
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--shots")
    args, rest = parser.parse_known_args()
    SHOTS = args.shots
    return args, [sys.argv[0]] + rest


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


def move_pointer(x, y):
    """Moves the pointer to (x, y) on the screen, as a hand does: the window
    there sees it arrive even when it was there already (a page that saw it
    leave, under a message box, may ignore a press that no move came
    before). Returns once it is there; mousemove --sync waits for a move, so
    one is always made."""
    out = xdotool("getmouselocation", "--shell")
    at = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    if (int(at["X"]), int(at["Y"])) == (x, y):
        xdotool("mousemove", "--sync", str(x + 1), str(y))
    xdotool("mousemove", "--sync", str(x), str(y))


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
    """Just enough Xlib to send a close request."""

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


_x11 = None


def _display():
    global _x11
    if _x11 is None:
        _x11 = _X11()
    return _x11


def hold_display():
    """Keeps a connection to the test's X server for as long as this
    process runs. An X server resets itself when its last client leaves and
    refuses connections meanwhile: a program started right after the one
    before it ended (or was killed) would find no display to open."""
    if os.environ.get("DISPLAY"):
        _display()


def ask_to_close(window):
    """Asks window to close as a window manager would (WM_DELETE_WINDOW):
    the test display has no window manager."""
    _display().close_window(window)


def _live_processes(pids=None, group=None):
    """Those of pids, or the members of process group group, that have not
    ended. A zombie has ended: it holds no files, sockets or memory any
    more, whenever its parent gets round to reaping it."""
    live = []
    for name in ([str(p) for p in pids] if pids is not None else os.listdir("/proc")):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % name) as f:
                fields = f.read().rsplit(")", 1)[1].split()
        except OSError:
            continue  # gone
        state, pgrp = fields[0], int(fields[2])
        if state not in "ZX" and (group is None or pgrp == group):
            live.append(int(name))
    return live


def _windows_of(pids):
    """The windows, shown or not, that name one of pids as their owner."""
    found = []
    for pid in pids:
        found += xdotool("search", "--pid", str(pid), check=False).split()
    return found


# A window to drag a file from. It says "drag: taken" once the window under
# the pointer has answered that it takes the drop (a button released before
# that drops nothing), and "drag: ended" once the drop is over: the target
# has finished with it, or it failed.
DRAG_SOURCE = r'''
import gi, sys
gi.require_version("Gdk", "3.0"); gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk
uri = GLib.filename_to_uri(sys.argv[1], None)
def say(text):
    print("drag: " + text, flush=True)
def begun(widget, context):
    context.connect("action-changed", lambda c, action: say("taken") if action else None)
window = Gtk.Window(title=sys.argv[2]); window.move(900, 50); window.set_default_size(150, 100)
button = Gtk.Button(label="drag me"); window.add(button)
button.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
button.drag_source_add_uri_targets()
button.connect("drag-data-get", lambda w, c, data, info, t: data.set_uris([uri]))
button.connect("drag-begin", begun)
button.connect("drag-end", lambda w, c: say("ended"))
window.show_all(); Gtk.main()
'''


def write_conf(root, conf):
    """The workspace's config/conf.ini with the [base] keys in conf."""
    with open(os.path.join(root, "config", "conf.ini"), "w") as f:
        f.write("[base]\n" + "".join("%s=%s\n" % kv for kv in conf.items()))


def session_environment(home):
    """The program's environment for a test whose own folder is home."""
    env = dict(os.environ)
    # No update check leaves the machine: a closed local port, unless a
    # test serves a manifest.
    env["TARN_UPDATE_URL"] = "http://127.0.0.1:9/update.json"
    env["NO_AT_BRIDGE"] = "1"
    # git commits in public/ need an identity; none from the machine.
    env["HOME"] = home
    env["GIT_CONFIG_NOSYSTEM"] = "1"
    for who in ("AUTHOR", "COMMITTER"):
        env["GIT_%s_NAME" % who] = "Tarn Test"
        env["GIT_%s_EMAIL" % who] = "test@example.org"
    # Keep WebKit's caches and the desktop's "open folder" choice inside
    # the test's own folder.
    for name in ("XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"):
        path = os.path.join(home, name.lower())
        os.makedirs(path, exist_ok=True)
        env[name] = path
    return env


# A session bus with nothing to start on demand: only what a test puts on it
# is there, whatever the machine has installed.
BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=%s</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""


class Session:
    """One run of the program in a temporary folder of its own; the
    workspace is its "blog" folder, which a subclass fills."""

    wait = 30  # seconds a wait lasts unless told otherwise
    shot_settle = 1  # seconds between a shot's request and its taking

    def __init__(self, test, prefix):
        self.test = test
        self.tmp = tempfile.mkdtemp(prefix=prefix)
        self.root = os.path.join(self.tmp, "blog")
        self.env = session_environment(self.tmp)
        self.lines = queue.Queue()
        self.seen = []
        self.stderr = []  # standard error's lines, which are in lines too
        self.helpers = []  # other programs' processes, ended with the session
        self.proc = None
        self.own_group = False
        self.bus = None  # the session bus of start_bus, ended last
        self.stopped = False
        hold_display()

    def start_bus(self):
        """Starts a session bus of this session's own and points the
        program's environment at it; returns its address. Other sessions
        join it by taking that address into their environment."""
        config = os.path.join(self.tmp, "bus.conf")
        with open(config, "w") as f:
            f.write(BUS_CONFIG % self.tmp)
        self.bus = subprocess.Popen(["dbus-daemon", "--config-file=" + config, "--nofork",
                                     "--print-address=1"], stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, text=True)
        address = self.bus.stdout.readline().strip()
        if not address:
            raise AssertionError("the session bus did not start")
        self.env["DBUS_SESSION_BUS_ADDRESS"] = address
        return address

    def launch(self, argv, own_group=False):
        """Starts argv; with own_group, in a process group of its own that
        stop ends whole."""
        self.own_group = own_group
        self.proc = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                     env=self.env, text=True, start_new_session=own_group)
        self.pumps = [threading.Thread(target=self._pump, args=(stream, keep), daemon=True)
                      for stream, keep in ((self.proc.stdout, None),
                                           (self.proc.stderr, self.stderr))]
        for pump in self.pumps:
            pump.start()
        return self

    def _pump(self, stream, keep):
        for line in stream:
            line = line.rstrip("\n")
            if keep is not None:
                keep.append(line)
            self.lines.put(line)

    def wait_line(self, pattern, timeout=None, earlier=False):
        """The first output line after the last one returned that matches
        pattern; with earlier, lines passed over before count too.
        Standard output and standard error are read by two threads, so the
        order between a line of one and a line of the other is not kept:
        wait for a line of the other stream than the last one with earlier."""
        regex = re.compile(pattern)
        if earlier:
            for line in self.seen:
                if regex.search(line):
                    return line
        deadline = time.time() + (self.wait if timeout is None else timeout)
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
        ended = self.proc.poll()
        state = "still running" if ended is None else "ended with status %s" % ended
        self.test.fail("no output line matching %r (the program is %s); seen:\n%s"
                       % (pattern, state, "\n".join(self.seen)))

    def wait_window(self, title, visible=True, timeout=None):
        deadline = time.time() + (self.wait if timeout is None else timeout)
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
        move_pointer(g["X"] + x, g["Y"] + y)
        xdotool("click", "1")

    def focus(self, window):
        xdotool("windowfocus", "--sync", str(window))

    def key(self, window, *keys):
        """Key presses with the focus in window."""
        self.focus(window)
        xdotool("key", "--clearmodifiers", *keys)

    def answer(self, title, key):
        """Presses key in the dialog titled title."""
        self.key(self.wait_window(title), key)

    def drag(self, path, onto_x=400, onto_y=250):
        """Drags path from another program's window and drops it at
        (onto_x, onto_y) on the screen, once the window there has said it
        takes it; returns the source's window once the drop is over."""
        title = "drag source %d" % len(self.helpers)
        source = subprocess.Popen(["/usr/bin/python3", "-c", DRAG_SOURCE, path, title],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                  env=self.env, text=True)
        self.helpers.append(source)
        said = queue.Queue()
        threading.Thread(target=lambda: [said.put(line.strip()) for line in source.stdout],
                         daemon=True).start()
        button = self.wait_window(title)
        g = geometry(button)
        move_pointer(g["X"] + 75, g["Y"] + 50)
        xdotool("mousedown", "1")
        for x in (850, 800, 700, 600, onto_x + 50, onto_x):
            move_pointer(x, onto_y)
        self._hear(said, "drag: taken", "the window at (%d, %d) never took the drag"
                   % (onto_x, onto_y))
        xdotool("mouseup", "1")
        self._hear(said, "drag: ended", "the drop never ended")
        return button

    def _hear(self, said, expected, failure):
        deadline = time.time() + self.wait
        while time.time() < deadline:
            try:
                if said.get(timeout=0.2) == expected:
                    return
            except queue.Empty:
                pass
        self.test.fail(failure)

    def drain(self, settle=2):
        """The lines printed within settle seconds from now. Only for a check
        that nothing follows an act whose effects, had it any, would come in
        their own time (a page's event handlers, a task in the background):
        settle bounds how long a fault has to show, and cannot fail a test
        that holds."""
        time.sleep(settle)
        out = []
        while not self.lines.empty():
            out.append(self.lines.get())
        self.seen.extend(out)
        return out

    def wait_box_gone(self, caption):
        """Until the message box titled caption has been shown and has gone
        again (such boxes close by themselves). A box is shown a moment
        after its "message:" line, and takes all input while it is up: a
        click sent before it has come and gone is lost."""
        self.wait_window(caption)
        self.wait_window(caption, visible=False)

    def round_trip(self, main_window):
        """Asks the main window, shown or hidden, to close and cancels the
        question. The program takes its input in order: once the question
        has come and gone, all input sent to it before has been handled, and
        the lines it printed for that input are in self.seen. (The lines of
        earlier close questions must have been waited for.)"""
        ask_to_close(main_window)
        self.wait_line(r"^message: 提示: ")
        self.answer("提示", "Escape")
        self.wait_window("提示", visible=False)

    def watch_page(self):
        """Lets evaluate look into the program's page (TARN_PAGE_PROBE);
        call before start."""
        self.probe_dir = os.path.join(self.tmp, "probe")
        os.makedirs(self.probe_dir)
        self.env["TARN_PAGE_PROBE"] = self.probe_dir
        self.probes = 0

    def evaluate(self, expression):
        """The value of a JavaScript expression in the program's page, as
        JSON.stringify gives it back, decoded; fails the test when the
        expression throws."""
        self.probes += 1
        name = "p%d" % self.probes
        staged = os.path.join(self.tmp, name)
        with open(staged, "w") as f:
            f.write("JSON.stringify(%s)" % expression)
        os.rename(staged, os.path.join(self.probe_dir, name))  # whole, at once
        line = self.wait_line(r"^probe: %s " % name)
        value = line[len("probe: %s " % name):]
        if value.startswith("error: "):
            self.test.fail("%s: %s" % (expression, value))
        return json.loads(value) if value != "undefined" else None

    def centre_of(self, selector):
        """Where in the page's window the element selector finds is
        centred, for a click."""
        return self.evaluate("(function (e) { var r = e.getBoundingClientRect();"
                             " return [Math.round(r.left + r.width / 2),"
                             " Math.round(r.top + r.height / 2)]; })"
                             "(document.querySelector(%r))" % selector)

    def wait_page(self, expression, what=None):
        """Until the expression is true in the page; returns its value."""
        deadline = time.time() + self.wait
        while time.time() < deadline:
            value = self.evaluate(expression)
            if value:
                return value
            time.sleep(0.1)
        self.test.fail("the page never showed %s" % (what or expression))

    def shot(self, name):
        """A screenshot for a person to look at; nothing is compared."""
        if SHOTS:
            time.sleep(self.shot_settle)  # what has changed is painted a moment later
            os.makedirs(SHOTS, exist_ok=True)
            subprocess.run(["import", "-window", "root", os.path.join(SHOTS, name + ".png")],
                           check=False)

    def path(self, *parts):
        return os.path.join(self.root, *parts)

    def _signal(self, sig):
        if self.own_group:
            try:
                os.killpg(self.proc.pid, sig)
            except ProcessLookupError:
                pass  # every process of the group has ended
        else:
            self.proc.send_signal(sig)

    def _processes(self):
        """The program's processes that may own windows: its own, or with
        own_group every one in its group; and the helpers'."""
        pids = [helper.pid for helper in self.helpers]
        if self.proc:
            pids.append(self.proc.pid)
            if self.own_group:
                pids += _live_processes(group=self.proc.pid)
        return pids

    def _gone(self, pids, timeout):
        """Until pids (and the program's process group) have ended and the
        X server has dropped their windows, which it does in its own time
        once a program's connection has closed; a later start must not
        meet them. False when they have not within timeout seconds."""
        group = self.proc.pid if self.proc and self.own_group else None
        deadline = time.time() + timeout
        while time.time() < deadline:
            if group is not None:
                pids = sorted(set(pids) | set(_live_processes(group=group)))
            if not _live_processes(pids) and not _windows_of(pids):
                return True
            time.sleep(0.1)
        return False

    def kill(self):
        """Ends the program at once, as a crash or a power cut would, and
        returns once nothing of it is left (as _gone)."""
        pids = self._processes()
        self._signal(signal.SIGKILL)
        self.proc.wait()
        if not self._gone(pids, self.wait):
            self.test.fail("the killed program's processes or windows stayed")

    def stop(self):
        """Ends the program, the helpers and the bus, and removes the folder;
        once only (a test may stop a session before its cleanup does)."""
        if self.stopped:
            return
        self.stopped = True
        pids = self._processes()
        for helper in self.helpers:
            helper.kill()
            helper.wait()
        if self.proc and self.proc.poll() is None:
            self._signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._signal(signal.SIGKILL)
                self.proc.wait()
        if not self._gone(pids, 10):
            if self.proc and self.own_group:
                self._signal(signal.SIGKILL)
            if not self._gone(pids, self.wait):
                raise AssertionError("the program's processes or windows stayed after it ended")
        if self.proc:
            for pump in self.pumps:
                pump.join(timeout=5)
            self.proc.stdout.close()
            self.proc.stderr.close()
        if self.bus:
            self.bus.terminate()
            self.bus.wait()
            self.bus.stdout.close()
        shutil.rmtree(self.tmp, ignore_errors=True)
