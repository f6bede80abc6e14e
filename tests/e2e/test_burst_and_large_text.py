#!/usr/bin/python3
"""Copies that come faster than one at a time, and a text too large for one
X11 transfer.

- A burst of copies, each xclip taking the clipboard from the one before: the
  newest copy is never replaced by an older text, it ends up processed, and
  afterwards the next copy is processed exactly once (the count of the
  program's own pending writes is balanced again).
- A 2 MB text reaches the program through an incremental transfer and comes
  back whole, wrapped, through one again.

Usage: test_burst_and_large_text.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import re
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, main, session, shorten, step  # noqa: E402

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
BURST = 20


def large_text(megabytes=2):
    lines = []
    size = 0
    number = 0
    while size < megabytes * 1000 * 1000:
        line = f"line {number:06d} " + "abcdefghijklmnopqrstuvwxyz0123456789 Grüße € " * 2
        lines.append(line)
        size += len(line.encode("utf-8")) + 1
        number += 1
    return "\n".join(lines)


def test(executable):
    with session(executable, ADD_BRACKETS) as (program, clipboard):
        program.start()
        program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=10)

        step(f"a burst of {BURST} copies")
        for i in range(BURST):
            clipboard.copy(f"burst {i}")
        last = f"burst {BURST - 1}"
        clipboard.wait_until_taken(timeout=15)
        settled = clipboard.settle()
        wrapped = re.fullmatch(r"(\[*)(.*?)(\]*)", settled or "")
        check(wrapped and wrapped.group(2) == last,
              f"after the burst the clipboard reads {shorten(settled)}, not the newest copy {last!r}")
        check(len(wrapped.group(1)) == len(wrapped.group(3)) >= 1,
              f"the newest copy was not processed: {shorten(settled)}")
        if settled != f"[{last}]":
            print(f"note: the newest copy was processed more than once: {settled!r}", flush=True)

        step("after the burst, a copy is processed exactly once")
        clipboard.copy("after the burst")
        clipboard.wait_for_write_back("[after the burst]", timeout=10)
        clipboard.stays("[after the burst]", 1.5)

        step("a 2 MB text comes back whole")
        text = large_text()
        clipboard.copy(text)
        clipboard.wait_for_write_back("[" + text + "]", timeout=30)
        clipboard.stays("[" + text + "]", 1.0)
        check(program.running(), "the program ended")


if __name__ == "__main__":
    main(test)
