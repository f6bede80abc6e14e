#!/usr/bin/python3
"""On a Wayland clipboard the pass runs once the text is read, not once every
offered type is: the values of the others reach the details list afterwards.

A helper owner offers "late!" under wl-copy's five text types and one more type,
text/x-slow, which it serves one byte every 0.4 s from a process of its own
(as wl-copy serves every type). With add-text on:
- "[late!]" is written back while text/x-slow is still being served;
- the details list then shows the content as it arrived, text/x-slow with its
  value "late!" included, although the write-back has replaced that content.
An owner whose UTF-8 types are empty and whose text/plain holds "ansi" gets
"[ansi]": the pass then waits for the 8-bit text.

Usage: test_wayland_details.py PATH-TO-TALLOWIN   (runs under its own Xvfb and D-Bus session when needed)
"""
import os
import select
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import CheckFailed, check, main, screenshot, session, step, wait_for  # noqa: E402
import accessibility as a11y  # noqa: E402
from wayland_session import Sway, WaylandClipboard  # noqa: E402

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
TEXT = "late!"
SLOW = "text/x-slow"


def lines_ready(pipe):
    """The lines the helper has printed so far, without waiting."""
    out = b""
    while select.select([pipe], [], [], 0)[0]:
        chunk = os.read(pipe.fileno(), 4096)
        if not chunk:
            break
        out += chunk
    return out.decode().splitlines()


def show_details(program):
    """Clicks the "Details" tab: a list not on screen may report no rows."""
    app = a11y.application(program.proc.pid)
    strips = [n for n in a11y.descendants(app) if n.getRoleName() == "page tab list"]
    check(len(strips) == 1, f"expected one tab strip, found {len(strips)}")
    tabs = [strips[0].getChildAtIndex(i) for i in range(strips[0].childCount)]
    tabs = [t for t in tabs if t is not None and t.getRoleName() == "page tab"]
    check(len(tabs) == 2 and tabs[1].name == "Details", f"tabs: {[t.name for t in tabs]}")
    a11y.click_on(tabs[1])


def test(executable):
    build_dir = os.path.dirname(executable)
    sway = Sway()
    try:
        sway.start()
        with session(executable, ADD_BRACKETS) as (program, _x11):
            clipboard = WaylandClipboard(sway.display, build_dir)
            try:
                os.environ["WAYLAND_DISPLAY"] = sway.display
                program.start()
                program.find_main_window(timeout=15)
                program.wait_for_splash_to_close(timeout=10)
                details = a11y.find(a11y.application(program.proc.pid), "tree", "Clipboard formats")

                step("the write-back does not wait for a slowly served type")
                owner = clipboard.helper("copy", TEXT, SLOW)
                check(owner.stdout.readline().strip() == b"ready", "the helper did not take the selection")
                clipboard.wait_for_text(f"[{TEXT}]", timeout=10)
                served = lines_ready(owner.stdout)
                check(f"served {SLOW}" not in served, f"the write-back came only after {SLOW} was served")

                step("the details list gains the slow type's value")
                def finished():
                    served.extend(lines_ready(owner.stdout))
                    return f"served {SLOW}" in served

                wait_for(finished, 10, what=f"the helper to finish serving {SLOW}")
                show_details(program)
                wait_for(lambda: a11y.showing(details), 5, what="the details list to show")

                def slow_row():
                    rows = a11y.rows(details)
                    found = [r for r in rows if r and r[0] == SLOW]
                    return rows if found and found[0][-1] == TEXT else None

                try:
                    rows = wait_for(slow_row, 10, what=f"the {SLOW} row to show {TEXT!r}")
                except CheckFailed:
                    print(f"details rows: {a11y.rows(details)}", flush=True)
                    raise
                print(f"details rows: {rows}", flush=True)
                check(rows[0][:2] == ("UNICODETEXT", "13") and rows[0][-1] == TEXT,
                      f"the first row is not the copied text: {rows[0]}")
                # text/plain and STRING are both the 8-bit text, format 1, listed once.
                check(len(rows) == 5, f"expected five formats for the six offered types, found {len(rows)} rows")
                screenshot("wayland-details")

                step("empty UTF-8 text: the pass takes the 8-bit text")
                clipboard.close()
                owner = clipboard.helper("copy-8bit", "ansi")
                check(owner.stdout.readline().strip() == b"ready", "the helper did not take the selection")
                clipboard.wait_for_text("[ansi]", timeout=10)
                check(program.running(), "the program ended")
            finally:
                clipboard.close()
                os.environ.pop("WAYLAND_DISPLAY", None)
    except CheckFailed:
        print("---- sway output ----\n" + sway.log(), flush=True)
        raise
    finally:
        sway.stop()


if __name__ == "__main__":
    a11y.use_own_bus()
    main(test)
