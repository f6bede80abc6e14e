#!/usr/bin/python3
"""The newest copy of every burst is processed.

Many bursts of twenty xclip copies made without any pause, each xclip taking the
clipboard from the one before. A copy that a newer one replaced before the
program could read it may be skipped; the newest copy of a burst never may: with
search and replace on and brackets added, the clipboard must settle on the newest text of each burst,
wrapped, never on an older one and never unwrapped.

TALLOWIN_BURSTS sets another number of bursts.

Usage: test_copy_bursts.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import re
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, end_process, main, session, shorten, step  # noqa: E402

# Search and replace (matching nothing) and brackets: every pass writes back twice,
# so a newer copy can arrive between a pass's two writes.
SETTINGS = ["--set", "cb_suchenersetzen=1", "--set", "act_ers_text_suchen=nowhere", "--set",
            "act_ers_text_ersetzen=x", "--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set",
            "act_textadd_hinten=]"]
BURSTS = 12
COPIES = 20


def test(executable):
    bursts = int(os.environ.get("TALLOWIN_BURSTS", BURSTS))
    with session(executable, SETTINGS) as (program, clipboard):
        program.start()
        program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=10)

        repeated = 0
        for b in range(bursts):
            step(f"burst {b}: {COPIES} copies without pause")
            for i in range(COPIES):
                clipboard.copy(f"burst {b} copy {i}")
            last = f"burst {b} copy {COPIES - 1}"
            clipboard.wait_until_taken(timeout=15)
            settled = clipboard.settle(quiet=1.0)
            wrapped = re.fullmatch(r"(\[*)(.*?)(\]*)", settled or "")
            check(wrapped and wrapped.group(2) == last,
                  f"burst {b}: the clipboard settled on {shorten(settled)}, not the newest copy {last!r}")
            check(len(wrapped.group(1)) == len(wrapped.group(3)) >= 1,
                  f"burst {b}: the newest copy was never processed: {shorten(settled)}")
            repeated += settled != f"[{last}]"
            for child in clipboard.children:  # the copies of this burst have all lost the clipboard
                end_process(child, grace=1.0)
            clipboard.children = []
        if repeated:
            print(f"note: in {repeated} bursts the newest copy was processed more than once", flush=True)
        check(program.running(), "the program ended")


if __name__ == "__main__":
    main(test)
