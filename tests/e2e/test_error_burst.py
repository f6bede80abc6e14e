#!/usr/bin/python3
"""A burst of failing saves asks for one OK, not one per copy.

Text saving is on, and every file name the counter gives is taken by a folder,
so each copy's save fails with its own message ("Cannot create file .../xN.txt").
Thirty copies made one after another, while the first message box waits for OK,
open no second box: the one box counts the others, and capturing goes on (every
copy is still written back with its brackets).

Usage: test_error_burst.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, main, screenshot, session, step, wait_for  # noqa: E402

COPIES = 30


def test(executable):
    with session(executable) as (program, clipboard):
        out = os.path.join(program.scratch, "out")
        for n in range(1, COPIES + 10):
            os.makedirs(os.path.join(out, f"x{n}.txt"))
        program.args = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]",
                        "--set", "cb_savetxt=1", "--set", f"savetxt_ordner={out}", "--set", "savetxt_name=x%num%"]
        program.start()
        main_window = program.find_main_window(timeout=20)
        program.wait_for_splash_to_close(timeout=20)
        time.sleep(1.5)  # the start form raises the main window until shortly after the splash closes

        def boxes():
            return [w for w in program.windows_titled() if w != main_window]

        step("the first failing save opens a box")
        clipboard.copy("copy 0")
        clipboard.wait_for_write_back("[copy 0]")
        wait_for(lambda: boxes(), 10, what="the message box of the failed save")

        step(f"{COPIES} more failing saves while it waits: still one box, capturing goes on")
        for i in range(1, COPIES + 1):
            clipboard.copy(f"copy {i}")
            clipboard.wait_for_write_back(f"[copy {i}]")
        time.sleep(1)
        shot = screenshot("error-burst-one-box")
        check(len(boxes()) == 1, f"{len(boxes())} message boxes are open, not one (see {shot})")

        check(program.running(), "the program ended")

if __name__ == "__main__":
    main(test)
