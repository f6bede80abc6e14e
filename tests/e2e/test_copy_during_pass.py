#!/usr/bin/python3
"""A copy made while a pass runs is never written over by that pass's result.

Toolkits take CLIPBOARD with the time of the event that made the copy, which
may equal the time of the copy before it (same millisecond, or a key event
older than the last owner change); the server takes such a request. The
program's write-back then carries a time no older than that copy's, so the
server would let it take the selection from the newer copy too: that copy
would be gone, and Qt, seeing an owner change no newer than its own write,
reports none. The program must see that the selection has a new owner before
it writes back.

Each round, with add-text on ("[" in front, "]" behind): xclip copies a text
of several megabytes (so the pass takes a while); after a delay that grows
from round to round, a second owner takes CLIPBOARD with text B and the very
timestamp of xclip's copy. When the server gave B the selection, the clipboard
must end up reading "[B]" (also when B came just after the write-back, whose
time may equal B's: Qt reports no change then, the program must see it all the
same). Rounds whose B the server refused show nothing and are only counted;
the test fails if too few rounds had B take the selection to show anything.

Usage: test_copy_during_pass.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, main, session, shorten, step, wait_for  # noqa: E402
from selection_owner import SelectionOwner, SelectionReader  # noqa: E402
from owner_watch import OwnerWatch  # noqa: E402

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
BIG_LINES = 60000  # lines of 100 characters: about 6 MB
DELAYS = [i * 0.03 for i in range(30)]
TIMEOUT = 15


def test(executable):
    with session(executable, ADD_BRACKETS) as (program, clipboard):
        changes, owner, reader = OwnerWatch(), SelectionOwner(), SelectionReader()
        try:
            program.start()
            program.find_main_window(timeout=15)
            program.wait_for_splash_to_close(timeout=10)
            step("warm-up copy")
            clipboard.copy("warm-up")
            clipboard.wait_for_write_back("[warm-up]")

            shown = 0
            for i, delay in enumerate(DELAYS):
                step(f"round {i}: B taken {delay:.2f} s after the large copy, with its timestamp")
                big = "".join(f"A{i:02d} line {n:07d} " + "x" * 84 + "\n" for n in range(BIG_LINES))
                b = f"B {i:02d}"
                changes.drain()
                xclip = clipboard.copy(big)
                copier, copied_at = changes.next_selection(TIMEOUT)
                time.sleep(delay)
                owner.offer([("UTF8_STRING", b.encode())], when=copied_at)
                if not owner.owns():
                    # The write-back came first and is newer than B's timestamp.
                    wait_for(lambda: xclip.poll() is not None, TIMEOUT, what="xclip to end")
                    continue
                shown += 1
                got = None

                def wrapped():
                    nonlocal got
                    if owner.owns():
                        return False
                    got = reader.read()
                    return got is not None and got.startswith(b"[")
                try:
                    wait_for(wrapped, TIMEOUT, interval=0.05, what="a write-back after B")
                except AssertionError:
                    pass
                text = got.decode("utf-8", "replace") if got is not None else None
                check(text == f"[{b}]",
                      f"round {i}: B took CLIPBOARD {delay:.2f} s after the large copy, yet the clipboard "
                      f"reads {shorten(text)}, not {shorten('[' + b + ']')} (B was written over)")
                wait_for(lambda: xclip.poll() is not None, TIMEOUT, what="xclip to end")
            print(f"{shown} of {len(DELAYS)} rounds had B take CLIPBOARD", flush=True)
            check(shown >= 3, f"only {shown} rounds had B take CLIPBOARD: the test showed nothing")
            check(program.running(), "the program ended during the test")
        finally:
            owner.close()
            reader.close()
            changes.close()


if __name__ == "__main__":
    main(test)
