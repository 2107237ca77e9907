#!/usr/bin/env python3
"""A desktop's GlobalShortcuts backend for xdg-desktop-portal, for tests.

It binds whatever it is asked to and reports a trigger of its own; it prints
"session PATH", "bind ID TRIGGER DESCRIPTION" and "closed PATH" as they happen.
A line "activate ID" on standard input makes it send Activated for the last
session and print "activated ID", or "no session" when there is none.
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

IMPL = "org.freedesktop.impl.portal.GlobalShortcuts"
TRIGGER = "Ctrl+Alt+S (test desktop)"

DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
sessions = []


def say(*words):
    print(*words, flush=True)


class Session(dbus.service.Object):
    def __init__(self, path):
        super().__init__(bus, path)
        self.path = path

    @dbus.service.method("org.freedesktop.impl.portal.Session", in_signature="", out_signature="")
    def Close(self):
        say("closed", self.path)
        sessions.remove(self)
        self.remove_from_connection()


class Backend(dbus.service.Object):
    @dbus.service.method(IMPL, in_signature="oosa{sv}", out_signature="ua{sv}")
    def CreateSession(self, handle, session_handle, app_id, options):
        sessions.append(Session(session_handle))
        say("session", session_handle)
        return 0, {"session_handle": session_handle}

    @dbus.service.method(IMPL, in_signature="ooa(sa{sv})sa{sv}", out_signature="ua{sv}")
    def BindShortcuts(self, handle, session_handle, shortcuts, parent_window, options):
        bound = []
        for shortcut_id, properties in shortcuts:
            say("bind", shortcut_id, properties.get("preferred_trigger", ""), properties.get("description", ""))
            bound.append((shortcut_id, {"description": properties.get("description", ""),
                                        "trigger_description": TRIGGER}))
        return 0, {"shortcuts": dbus.Array(bound, signature="(sa{sv})")}

    @dbus.service.method(IMPL, in_signature="oo", out_signature="ua{sv}")
    def ListShortcuts(self, handle, session_handle):
        return 0, {"shortcuts": dbus.Array([], signature="(sa{sv})")}

    @dbus.service.signal(IMPL, signature="osta{sv}")
    def Activated(self, session_handle, shortcut_id, timestamp, options):
        pass


backend = Backend(bus, "/org/freedesktop/portal/desktop")
name = dbus.service.BusName(sys.argv[1], bus)
say("ready")


def on_input(source, condition):
    line = sys.stdin.readline()
    if not line:
        GLib.MainLoop().quit()
        sys.exit(0)
    words = line.split()
    if words[:1] == ["activate"]:
        if sessions:
            backend.Activated(sessions[-1].path, words[1], dbus.UInt64(0), dbus.Dictionary({}, signature="sv"))
            say("activated", words[1])
        else:
            say("no session")
    return True


GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, on_input)
GLib.MainLoop().run()
