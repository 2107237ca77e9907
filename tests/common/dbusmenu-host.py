#!/usr/bin/env python3
# Reads and clicks an exported menu through libdbusmenu-glib, the library with
# which XFCE's panel and waybar draw a StatusNotifierItem's menu: the real client,
# so a click travels as EventGroup whenever the exporter's Version is 3.
#
# Usage: dbusmenu-host.py SERVICE PATH [LABEL]
# Prints the labels one per line (separators as ---, submenu items indented,
# "*" after those with an icon),
# then clicks the item labelled LABEL, if given.
import sys
import gi
gi.require_version("Dbusmenu", "0.4")
from gi.repository import Dbusmenu, GLib  # noqa: E402

service, path = sys.argv[1], sys.argv[2]
wanted = sys.argv[3] if len(sys.argv) > 3 else None
client = Dbusmenu.Client.new(service, path)
loop = GLib.MainLoop()


def items(parent, depth):
    for child in parent.get_children():
        icon = "*" if child.property_exist("icon-data") else ""
        yield "  " * depth + (child.property_get("label") or "---") + icon, child
        yield from items(child, depth + 1)


def show_and_click():
    lines = list(items(client.get_root(), 0)) if client.get_root() else []
    if not lines:
        return  # not read yet: the next layout-updated comes
    print("\n".join(text for text, _ in lines), flush=True)
    for item in (item for text, item in lines if text.strip().rstrip("*") == wanted):
        item.handle_event("clicked", GLib.Variant("i", 0), 0)
    GLib.timeout_add(500, loop.quit)  # time for the event to go out


# Each item's other properties (its icon) come in a moment after the layout.
client.connect("layout-updated", lambda _client: GLib.timeout_add(300, show_and_click))
GLib.timeout_add(15000, loop.quit)
loop.run()
