#!/usr/bin/env python3
# Draws a symbolic icon as GTK does for a panel (GNOME, XFCE, MATE): in the
# panel's text colour. Prints, for white and for black, how many of the drawn
# pixels took that colour and how many were drawn.
# Usage: symbolic-icon.py SVG
import os
import shutil
import sys
import tempfile
import gi
gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

theme_dir = tempfile.mkdtemp()
os.makedirs(theme_dir + "/hicolor/symbolic/apps")
shutil.copy("/usr/share/icons/hicolor/index.theme", theme_dir + "/hicolor/")
shutil.copy(sys.argv[1], theme_dir + "/hicolor/symbolic/apps/probe-symbolic.svg")
theme = Gtk.IconTheme()
theme.set_search_path([theme_dir])
theme.set_custom_theme("hicolor")
for colour, value in (("white", 255), ("black", 0)):
    rgba = Gdk.RGBA()
    rgba.parse(colour)
    flags = Gtk.IconLookupFlags.FORCE_SYMBOLIC | Gtk.IconLookupFlags.FORCE_SIZE
    pixbuf, _ = theme.lookup_icon("probe-symbolic", 64, flags).load_symbolic(rgba, None, None, None)
    data, step, stride = pixbuf.get_pixels(), pixbuf.get_n_channels(), pixbuf.get_rowstride()
    drawn = [data[y * stride + x * step:][:4] for y in range(pixbuf.get_height()) for x in range(pixbuf.get_width())]
    drawn = [p for p in drawn if p[3] > 200]
    print(colour, sum(all(abs(c - value) < 40 for c in p[:3]) for p in drawn), len(drawn))
shutil.rmtree(theme_dir)
