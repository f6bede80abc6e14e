#!/usr/bin/python3
"""Takes ownership of the CLIPBOARD selection and never answers a request.

Stands in for a frozen application: readers must give up on their own.
Prints "ready" once it owns the selection, then stays until killed.
Needs python3-xlib and DISPLAY.
"""
import sys
import time

from Xlib import X, display


def main():
    d = display.Display()
    window = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    clipboard = d.intern_atom("CLIPBOARD")
    window.set_selection_owner(clipboard, X.CurrentTime)
    d.sync()
    if d.get_selection_owner(clipboard) != window:
        print("could not take CLIPBOARD", file=sys.stderr)
        return 1
    print("ready", flush=True)
    # Never read the connection again: SelectionRequest events pile up unanswered.
    while True:
        time.sleep(3600)


if __name__ == "__main__":
    sys.exit(main())
