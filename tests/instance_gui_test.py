#!/usr/bin/python3
"""One program per workspace, `tarn show`, Alt+B through the desktop portal
and the way back from the tray, as a user meets them: the real tarn on
copies of a fixture workspace under an X server (run through xvfb-run),
each test with a session bus of its own that holds only the stand-in desktop
services the test starts.

usage: instance_gui_test.py --tarn PATH [--shots DIR] [unittest options]
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)  # the shared harness sits beside this file
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
import gui_harness  # noqa: E402
from gui_harness import MAIN_TITLE, ask_to_close, find_windows  # noqa: E402

FIXTURE = os.path.join(HERE, "fixtures", "gui", "basic")
TARN = None
WAIT = 40  # seconds: generous, the machine may be busy
NOTICE = r"^message: Tarn Blog Editor: 主窗口已隐藏"
NEEDS_BINDING = "Alt+B needs a desktop key binding"

# Stand-ins for a desktop's services on the session bus, each asked for on
# the command line: "portal" (the desktop portal's GlobalShortcuts and its
# host registry; with "refuse" the user declines the key) and "tray" (a
# StatusNotifier watcher with a host). What they
# are asked is printed as "portal: ..." and "tray: ..." lines; "ready" once
# their names are on the bus. SIGUSR1 fires every bound shortcut, as the
# desktop does when its key is pressed.
SERVICES = r'''
import signal, sys
from gi.repository import Gio, GLib
XML = """<node>
<interface name="org.freedesktop.portal.GlobalShortcuts">
 <method name="CreateSession"><arg type="a{sv}"/><arg type="o" direction="out"/></method>
 <method name="BindShortcuts"><arg type="o"/><arg type="a(sa{sv})"/><arg type="s"/>
  <arg type="a{sv}"/><arg type="o" direction="out"/></method>
 <property name="version" type="u" access="read"/>
</interface>
<interface name="org.freedesktop.host.portal.Registry">
 <method name="Register"><arg type="s"/><arg type="a{sv}"/></method>
</interface>
<interface name="org.kde.StatusNotifierWatcher">
 <method name="RegisterStatusNotifierItem"><arg type="s"/></method>
 <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
 <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
 <property name="ProtocolVersion" type="i" access="read"/>
</interface></node>"""
PORTAL = "/org/freedesktop/portal/desktop"
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
node = Gio.DBusNodeInfo.new_for_xml(XML)
bound = []  # (sender, session, shortcut id)
def say(text):
    print(text, flush=True)
def handle(sender, kind, token):
    return "%s/%s/%s/%s" % (PORTAL, kind, sender[1:].replace(".", "_"), token)
def respond(sender, path, results, answer=0):
    bus.emit_signal(sender, path, "org.freedesktop.portal.Request", "Response",
                    GLib.Variant("(ua{sv})", (answer, results)))
    return False
def call(conn, sender, path, iface, method, params, inv):
    if method == "Register":
        say("portal: registered %s" % params[0])
        inv.return_value(None)
    elif method == "CreateSession":
        request = handle(sender, "request", params[0]["handle_token"])
        session = handle(sender, "session", params[0]["session_handle_token"])
        say("portal: session")
        inv.return_value(GLib.Variant("(o)", (request,)))
        GLib.idle_add(respond, sender, request,
                      {"session_handle": GLib.Variant("s", session)})
    elif method == "BindShortcuts":
        session, shortcuts, parent, options = params
        request = handle(sender, "request", options["handle_token"])
        for name, info in shortcuts:
            say("portal: bind %s %s: %s" % (name, info.get("preferred_trigger"),
                                            info.get("description")))
            bound.append((sender, session, name))
        inv.return_value(GLib.Variant("(o)", (request,)))
        GLib.idle_add(respond, sender, request, {}, 1 if "refuse" in sys.argv else 0)
    elif method == "RegisterStatusNotifierItem":
        where = params[0] if params[0].startswith("/") else "/StatusNotifierItem"
        icon = bus.call_sync(sender, where, "org.freedesktop.DBus.Properties", "Get",
                             GLib.Variant("(ss)", ("org.kde.StatusNotifierItem", "IconName")),
                             None, 0, 5000, None).unpack()[0]
        say("tray: icon %s" % icon)
        inv.return_value(None)
def prop(conn, sender, path, iface, name):
    return {"version": GLib.Variant("u", 1), "RegisteredStatusNotifierItems":
            GLib.Variant("as", []), "IsStatusNotifierHostRegistered": GLib.Variant("b", True),
            "ProtocolVersion": GLib.Variant("i", 0)}[name]
names = []
if "portal" in sys.argv:
    for iface in node.interfaces[:2]:
        bus.register_object(PORTAL, iface, call, prop, None)
    names.append("org.freedesktop.portal.Desktop")
if "tray" in sys.argv:
    bus.register_object("/StatusNotifierWatcher", node.interfaces[2], call, prop, None)
    names.append("org.kde.StatusNotifierWatcher")
for name in names:
    bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                  "RequestName", GLib.Variant("(su)", (name, 4)), None, 0, 5000, None)
def fire():
    for sender, session, name in bound:
        bus.emit_signal(sender, PORTAL, "org.freedesktop.portal.GlobalShortcuts", "Activated",
                        GLib.Variant("(osta{sv})", (session, name, 0, {})))
    return True
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, fire)
say("ready")
GLib.MainLoop().run()
'''


class Session(gui_harness.Session):
    """`tarn` on a copy of the fixture workspace, on a session bus of its
    own unless given another session's bus to join."""

    wait = WAIT

    def __init__(self, test, command=("gui",), conf=None, join=None):
        super().__init__(test, prefix="tarn-instance-")
        shutil.copytree(FIXTURE, self.root)
        self.command = list(command)
        if conf:
            gui_harness.write_conf(self.root, conf)
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("XDG_SESSION_TYPE", None)
        if join:
            self.env["DBUS_SESSION_BUS_ADDRESS"] = join.env["DBUS_SESSION_BUS_ADDRESS"]
        else:
            self.start_bus()

    def start(self):
        return self.launch([TARN, *self.command, "-w", self.root])

    def services(self, *which):
        """Starts the stand-in desktop services named and returns their
        process once they are on the bus; their lines join self.lines."""
        proc = subprocess.Popen(["/usr/bin/python3", "-c", SERVICES, *which],
                                stdout=subprocess.PIPE, text=True, env=self.env)
        self.helpers.append(proc)
        ready = threading.Event()

        def pump():
            for line in proc.stdout:
                line = line.rstrip("\n")
                if line == "ready":
                    ready.set()
                else:
                    self.lines.put(line)
        threading.Thread(target=pump, daemon=True).start()
        if not ready.wait(WAIT):
            self.test.fail("the stand-in desktop services did not start")
        return proc

    def run_tarn(self, *args, workspace=None):
        """Runs tarn to its end on this session's bus; returns the result."""
        return subprocess.run([TARN, *args, "-w", workspace or self.root], env=self.env,
                              capture_output=True, text=True, timeout=WAIT)

    def hide(self, window):
        """Answers No to the close prompt: the window goes to the tray."""
        ask_to_close(window)
        self.wait_line(r"^message: 提示: ")
        self.answer("提示", "alt+n")
        deadline = time.time() + WAIT
        while window in find_windows(MAIN_TITLE) and time.time() < deadline:
            time.sleep(0.1)
        self.test.assertNotIn(window, find_windows(MAIN_TITLE))

    def said(self, text):
        return [line for line in self.stderr if text in line]


class InstanceTest(unittest.TestCase):
    def session(self, **kwargs):
        s = Session(self, **kwargs)
        self.addCleanup(s.stop)
        return s

    def test_a_second_start_shows_the_first_window_and_ends(self):
        s = self.session()
        window = s.start().wait_started()
        s.hide(window)
        # No tray icon can bring it back: the program says how.
        s.wait_line(NOTICE)
        self.assertTrue(s.said("tarn show"), "\n".join(s.stderr))
        second = s.run_tarn()  # no command: the desktop program
        self.assertEqual(second.returncode, 0, second.stderr)
        self.assertIn("already running", second.stderr)
        self.assertEqual(s.wait_window(MAIN_TITLE), window)
        self.assertEqual(find_windows(MAIN_TITLE), [window])
        self.assertIsNone(s.proc.poll())

    def test_another_workspace_runs_beside_it(self):
        first = self.session()
        first.start().wait_started()
        second = self.session(join=first)
        second.start().wait_started()
        self.assertEqual(len(find_windows(MAIN_TITLE)), 2)
        self.assertIsNone(first.proc.poll())
        self.assertIsNone(second.proc.poll())
        # Each start is told apart by its workspace's real path: a link to
        # the second one reaches the second program.
        link = os.path.join(first.tmp, "link")
        os.symlink(second.root, link)
        second.hide(find_windows(MAIN_TITLE)[-1])
        self.assertEqual(len(find_windows(MAIN_TITLE)), 1)
        shown = first.run_tarn("show", workspace=link)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        deadline = time.time() + WAIT
        while len(find_windows(MAIN_TITLE)) < 2 and time.time() < deadline:
            time.sleep(0.1)
        self.assertEqual(len(find_windows(MAIN_TITLE)), 2)

    def test_tarn_show_starts_the_program_then_shows_its_hidden_window(self):
        s = self.session(command=("show",))
        window = s.start().wait_started()
        for attempt in range(2):  # hidden twice: the way back works again
            s.hide(window)
            shown = s.run_tarn("show")
            self.assertEqual(shown.returncode, 0, shown.stderr)
            self.assertEqual(shown.stderr, "")
            s.wait_window(MAIN_TITLE)
        self.assertIsNone(s.proc.poll())
        # The program still ends as before, and gives its name back: a
        # later start is a program of its own again.
        ask_to_close(window)
        s.answer("提示", "alt+y")
        self.assertEqual(s.proc.wait(timeout=WAIT), 0)
        with subprocess.Popen([TARN, "show", "-w", s.root], env=s.env, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL) as again:
            try:
                self.assertTrue(s.wait_window(MAIN_TITLE))
            finally:
                again.terminate()
                again.wait(timeout=WAIT)


class ShortcutTest(unittest.TestCase):
    """Mini=1 in a Wayland session: Alt+B is asked of the desktop portal."""

    def session(self, **kwargs):
        s = Session(self, conf={"Mini": "1"}, **kwargs)
        s.env["XDG_SESSION_TYPE"] = "wayland"
        self.addCleanup(s.stop)
        return s

    def test_the_portal_binds_alt_b_and_its_activation_shows_the_window(self):
        s = self.session()
        portal = s.services("portal")
        window = s.start().wait_started()
        s.wait_line(r"^portal: registered org\.tarnblog\.Tarn$", earlier=True)
        s.wait_line(r"^portal: bind show-main-window ALT\+b: .+", earlier=True)
        s.hide(window)
        portal.send_signal(signal.SIGUSR1)
        s.wait_window(MAIN_TITLE)
        self.assertFalse(s.said(NEEDS_BINDING), "\n".join(s.stderr))

    def test_without_a_portal_or_the_key_it_says_so_once_and_the_rest_works(self):
        for services in ((), ("portal", "refuse")):
            with self.subTest(services=services):
                s = self.session()
                if services:
                    s.services(*services)
                window = s.start().wait_started()
                s.wait_line("^tarn: " + re.escape(NEEDS_BINDING) + r".*tarn show",
                            earlier=True)
                s.hide(window)
                shown = s.run_tarn("show")
                self.assertEqual(shown.returncode, 0, shown.stderr)
                s.wait_window(MAIN_TITLE)
                self.assertEqual(len(s.said(NEEDS_BINDING)), 1, "\n".join(s.stderr))
                self.assertIsNone(s.proc.poll())
                s.stop()


class TrayTest(unittest.TestCase):
    def test_the_icon_comes_from_the_theme_and_no_notice_with_a_tray(self):
        s = Session(self, conf={"Mini": "1"})
        self.addCleanup(s.stop)
        # The program's icon, installed in the user's icon theme.
        apps = os.path.join(s.env["XDG_DATA_HOME"], "icons", "hicolor", "scalable", "apps")
        os.makedirs(apps)
        with open(os.path.join(apps, "org.tarnblog.Tarn.svg"), "w") as f:
            f.write('<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16"/>\n')
        s.services("tray")
        window = s.start().wait_started()
        s.wait_line(r"^tray: icon org\.tarnblog\.Tarn$", earlier=True)
        s.hide(window)
        # A notice would be shown as the window hides, before the program
        # takes the next request.
        s.round_trip(window)
        self.assertFalse([l for l in s.seen if l.startswith("message: Tarn Blog Editor")])


def main():
    global TARN
    args, argv = gui_harness.parse_arguments()
    TARN = os.path.abspath(args.tarn)
    unittest.main(argv=argv, verbosity=2, warnings="ignore")


if __name__ == "__main__":
    main()
