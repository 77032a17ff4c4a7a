#!/usr/bin/env python3
"""Velmora as AT-SPI shows it to a screen reader: the chat window a frame
named by its caption, the banner a panel, and one text-insert event for one
arrival.
   atspi_check.py FIFO CAPTION   (the stand-in conference's input, to feed the
                                  arrival; the chat window's caption)
"""
import sys

import pyatspi
from gi.repository import GLib


def find(accessible, match, depth=0):
    if accessible is None or depth > 12:
        return None
    if match(accessible):
        return accessible
    for child in accessible:
        found = find(child, match, depth + 1)
        if found is not None:
            return found
    return None


def main():
    desktop = pyatspi.Registry.getDesktop(0)
    app = next((a for a in desktop if a is not None and a.name == "Velmora"), None)
    if app is None:
        print("Velmora is not on the accessibility bus")
        return 1
    failures = []
    caption = sys.argv[2]
    if find(app, lambda a: a.getRole() == pyatspi.ROLE_FRAME and a.name == caption) is None:
        failures.append("no frame named '%s'" % caption)
    banner = find(app, lambda a: a.name == "Faixa com o logotipo")
    if banner is None or banner.getRole() != pyatspi.ROLE_PANEL:
        failures.append("the banner is not a panel: %s" % (banner.getRoleName() if banner else "missing"))

    text = "PY9DDD: uma vez só"
    inserts = []

    def on_insert(event):
        if text in (event.any_data or ""):
            inserts.append(event.detail1)

    def feed():
        with open(sys.argv[1], "w", encoding="utf-8") as fifo:
            fifo.write(text + "\n")
        return False

    pyatspi.Registry.registerEventListener(on_insert, "object:text-changed:insert")
    GLib.timeout_add(500, feed)
    GLib.timeout_add(3500, pyatspi.Registry.stop)
    pyatspi.Registry.start()
    if len(inserts) != 1:
        failures.append("%d text-insert events for one arrival" % len(inserts))
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
