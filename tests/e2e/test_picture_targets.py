#!/usr/bin/python3
"""Only pictures the program can decode count as a picture.

- An owner offering image/svg+xml (which Qt here does not decode) and text: no
  error box, the text steps run (brackets added), and `tallowin formats` lists
  the SVG under its own name with its bytes, not as BITMAP.
- A WebP copy (decoded by Qt's extra image format plugins) is BITMAP 2 and
  decodes: the history (read through AT-SPI) gets an image row with the
  picture's size, and no error box comes up.

Usage: test_picture_targets.py PATH-TO-TALLOWIN   (runs under its own Xvfb and D-Bus session when needed)
"""
import os
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, ensure_display, main, run_tool, screenshot, session, step, wait_for  # noqa: E402
import accessibility as a11y  # noqa: E402
from selection_owner import SelectionOwner, SelectionReader  # noqa: E402

SETTINGS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
SVG = b'<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width="4" height="4"/></svg>'


def webp(scratch):
    path = os.path.join(scratch, "picture.webp")
    subprocess.run(["convert", "-size", "9x7", "xc:#2060c0", "-define", "webp:lossless=true", path],
                   check=True, timeout=30)
    with open(path, "rb") as f:
        return f.read()


def check_formats(executable, owner, scratch):
    """`tallowin formats`, before the program runs (its write-backs would replace the copies)."""
    step("formats lists an SVG under its own name, with its bytes")
    owner.offer([("image/svg+xml", SVG), ("UTF8_STRING", b"vector")])
    status, out = run_tool([executable, "formats"], timeout=20)
    check(status == 0, f"tallowin formats ended with {status}")
    rows = [line.split("\t") for line in out.splitlines()]
    check(rows and rows[0][0] == "image/svg+xml" and int(rows[0][1]) >= 49152 and rows[0][2] == SVG.decode(),
          f"the SVG is not a registered format with its bytes: {rows}")
    check(not any(r[1] == "2" for r in rows), f"an SVG copy lists BITMAP 2: {rows}")

    step("formats lists a WebP picture as BITMAP 2")
    owner.offer([("image/webp", webp(scratch))])
    status, out = run_tool([executable, "formats"], timeout=20)
    check(out == "BITMAP\t2\t\n", f"a WebP copy is not listed as BITMAP 2: {out!r}")


def test(executable):
    with session(executable, SETTINGS) as (program, _clipboard):
        owner, reader = SelectionOwner(), SelectionReader()
        try:
            with tempfile.TemporaryDirectory() as scratch:
                check_formats(executable, owner, scratch)
            program.start()
            main_window = program.find_main_window(timeout=15)
            program.wait_for_splash_to_close(timeout=10)

            step("an SVG picture with text: the text steps run, no error box")
            owner.offer([("image/svg+xml", SVG), ("UTF8_STRING", b"vector")])
            wait_for(lambda: not owner.owns(), 10, what="the program's write-back to take CLIPBOARD")
            check(reader.read() == b"[vector]", "the text of the SVG copy was not written back wrapped")
            time.sleep(0.5)  # an error box would be up by now
            others = [w for w in program.windows_titled() if w != main_window]
            if others:
                screenshot("svg-copy-error-box")
            check(not others, f"a window besides the main window came up (an error box?): {others}")

            step("a WebP picture is BITMAP 2 and decodes")
            history = a11y.find(a11y.application(program.proc.pid), "tree", "History")
            rows_before = len(a11y.rows(history))
            with tempfile.TemporaryDirectory() as scratch:
                owner.offer([("image/webp", webp(scratch))])
            rows = wait_for(lambda: (lambda r: r if len(r) > rows_before else None)(a11y.rows(history)), 10,
                            what="a new history row for the WebP copy")
            check(rows[-1][1:] == ("Image", "9 x 7"), f"the WebP copy's history row is {rows[-1]}, not a 9 x 7 image")
            others = [w for w in program.windows_titled() if w != main_window]
            check(not others, f"a window besides the main window came up (an error box?): {others}")
            check(program.running(), "the program ended")
        finally:
            owner.close()
            reader.close()


if __name__ == "__main__":
    ensure_display()  # first, so that the bus processes know the display too
    a11y.use_own_bus()
    main(test)
