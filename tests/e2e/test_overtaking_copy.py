#!/usr/bin/python3
"""A copy that overtakes the program's write-back is processed, never overwritten.

Clipboard managers take CLIPBOARD the moment another client has taken it; so
does this test. With add-text on ("[" in front, "]" behind), each round copies
text A, waits for the program's write-back of it (the XFixes owner change to
the program's window), takes the selection back at once with text B, waits for
the next write-back and reads it: it must be "[B]". Wrong outcomes seen:
"[A]" again (B lost, the old result written over it) or A wrapped more than
once (the old result captured as a new copy).

The window for this is short, so the test makes many rounds (1500 by default,
about half a minute) and stops at the first wrong one. The copies come from an
owner inside this script (python-xlib), so they are served at once.

TALLOWIN_OVERTAKE_ROUNDS sets another number of rounds.

Usage: test_overtaking_copy.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, main, session, shorten, step  # noqa: E402
from selection_owner import SelectionOwner, SelectionReader  # noqa: E402
from owner_watch import OwnerWatch  # noqa: E402

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
ROUNDS = 1500
TIMEOUT = 10


def test(executable):
    rounds = int(os.environ.get("TALLOWIN_OVERTAKE_ROUNDS", ROUNDS))
    with session(executable, ADD_BRACKETS) as (program, _clipboard):
        changes, owner, reader = OwnerWatch(), SelectionOwner(), SelectionReader()
        try:
            program.start()
            program.find_main_window(timeout=15)
            program.wait_for_splash_to_close(timeout=10)

            step("warm-up copy")
            owner.offer([("UTF8_STRING", b"warm-up")])
            writer = changes.next_other_than(owner.window.id)
            check(reader.read() == b"[warm-up]", "the warm-up copy was not written back wrapped")

            step(f"{rounds} rounds: A, its write-back, B taken over it at once, B's write-back")
            started = time.monotonic()
            for i in range(rounds):
                a = f"A {i:05d} " + "x" * 200
                b = f"B {i:05d} " + "y" * 200
                changes.drain()
                owner.offer([("UTF8_STRING", a.encode())])
                check(changes.next_other_than(owner.window.id) == writer,
                      f"round {i}: another window wrote A back")
                owner.offer([("UTF8_STRING", b.encode())])
                changes.next_other_than(owner.window.id)
                got = reader.read()
                got = got.decode("utf-8", "replace") if got is not None else None
                check(got == f"[{b}]",
                      f"round {i}: after B was taken over the write-back of A, the clipboard reads "
                      f"{shorten(got)}, not {shorten('[' + b + ']')} (B was lost)")
            print(f"{rounds} rounds in {time.monotonic() - started:.1f} s", flush=True)
            check(program.running(), "the program ended during the test")
        finally:
            owner.close()
            reader.close()
            changes.close()


if __name__ == "__main__":
    main(test)
