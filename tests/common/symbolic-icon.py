#!/usr/bin/env python3
# Draws a symbolic icon as GTK does for a panel (GNOME, XFCE, MATE): in the
# panel's text colour. Prints, for white and for black, how many of the drawn
# pixels took that colour and how many were drawn.
# Usage: symbolic-icon.py SVG
import os, shutil, sys, tempfile  # noqa: E401
import gi
gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

themes = tempfile.mkdtemp()
os.makedirs(themes + "/hicolor/symbolic/apps")
shutil.copy("/usr/share/icons/hicolor/index.theme", themes + "/hicolor/")
shutil.copy(sys.argv[1], themes + "/hicolor/symbolic/apps/probe-symbolic.svg")
theme = Gtk.IconTheme()
theme.set_search_path([themes])
for colour, value in (("white", 255), ("black", 0)):
    info = theme.lookup_icon("probe-symbolic", 64, Gtk.IconLookupFlags.FORCE_SYMBOLIC | Gtk.IconLookupFlags.FORCE_SIZE)
    image = info.load_symbolic(Gdk.RGBA(value / 255, value / 255, value / 255, 1), None, None, None)[0]
    data, step, stride = image.get_pixels(), image.get_n_channels(), image.get_rowstride()
    drawn = [data[y * stride + x * step:][:4] for y in range(image.get_height()) for x in range(image.get_width())]
    drawn = [pixel for pixel in drawn if pixel[3] > 200]
    print(colour, sum(all(abs(c - value) < 40 for c in pixel[:3]) for pixel in drawn), len(drawn))
shutil.rmtree(themes)
