#!/usr/bin/python3
"""A clipboard owner that never answers must not freeze the program.

While a hung owner holds CLIPBOARD, the main window keeps answering: it can be
found and resized, xwininfo answers for it, and it repaints itself at its new
size. (A frozen program leaves the newly uncovered area showing whatever was
behind it.) Once the hung owner is gone, a normal copy is processed again.
Every check has a liveness bound of 10 s; none measures speed.

Usage: test_hung_owner.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import selectors
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import (TOOLS_DIR, CheckFailed, Picture, check, end_process, geometry,  # noqa: E402
                          main, run_tool, screenshot, session, step, wait_for)

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
LIVENESS = 10
GROW_WIDTH, GROW_HEIGHT = 200, 100


def start_hung_owner():
    owner = subprocess.Popen([sys.executable, os.path.join(TOOLS_DIR, "hung_clipboard_owner.py")],
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    with selectors.DefaultSelector() as selector:
        selector.register(owner.stdout, selectors.EVENT_READ)
        ready = selector.select(timeout=LIVENESS) and owner.stdout.readline().strip() == b"ready"
    if not ready:
        end_process(owner)
        raise CheckFailed(f"the hung owner did not take CLIPBOARD: {owner.stderr.read1().decode(errors='replace')}")
    return owner


def repainted(before, shot_name, box):
    """Takes a screenshot; true when `box` shows window drawing that was not there before."""
    now = Picture(screenshot(shot_name))
    pixels = now.region(*box)
    return pixels != before.region(*box) and len(set(pixels)) >= 8


def test(executable):
    with session(executable, ADD_BRACKETS) as (program, clipboard):
        program.start()
        window = program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=LIVENESS)

        step("a normal copy is processed")
        clipboard.copy("before")
        clipboard.wait_for_write_back("[before]", timeout=LIVENESS)

        step("a hung owner takes the clipboard")
        hung = start_hung_owner()
        try:
            check(clipboard.read(timeout=2) is None, "the hung owner answered a request; it must not")

            step("the main window can still be found")
            wait_for(lambda: window in program.windows_titled(), LIVENESS, interval=0.2,
                     what="xdotool to find the main window")

            step("xwininfo answers, the window takes a new size")
            x, y, width, height = geometry(window, timeout=LIVENESS)
            before = Picture(screenshot("hung-owner-before-resize"))
            status, _ = run_tool(["xdotool", "windowsize", str(window), str(width + GROW_WIDTH),
                                  str(height + GROW_HEIGHT)], timeout=LIVENESS)
            check(status == 0, "xdotool could not resize the main window")
            wait_for(lambda: geometry(window, timeout=LIVENESS)[2:] == (width + GROW_WIDTH, height + GROW_HEIGHT),
                     LIVENESS, interval=0.2, what="xwininfo to report the new size")

            step("the window repaints itself at the new size")
            grown = (x + width, y, GROW_WIDTH, height + GROW_HEIGHT)  # the strip uncovered on the right
            shots = iter(range(1000))
            wait_for(lambda: repainted(before, f"hung-owner-after-resize-{next(shots)}", grown), LIVENESS,
                     interval=0.3, what="the newly uncovered strip to be painted by the program")
            check(program.running(), "the program ended while the hung owner held the clipboard")
        finally:
            end_process(hung)

        step("after the hung owner is gone, a normal copy is processed again")
        wait_for(lambda: clipboard.owner() == 0, LIVENESS, what="CLIPBOARD to have no owner")
        clipboard.copy("abc")
        clipboard.wait_for_write_back("[abc]", timeout=LIVENESS)
        others = [w for w in program.windows_titled() if w != window]
        if others:
            print(f"note: other visible windows with the program's title: {others}", flush=True)
        check(program.running(), "the program ended")


if __name__ == "__main__":
    main(test)
