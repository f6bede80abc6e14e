#!/usr/bin/python3
"""Clipboard owners that try to hold the program's reads or its memory.

- An owner that sends its text through INCR one byte at a time, each piece
  just before the per-piece timeout, must not stop capture: a copy made while
  it trickles is processed promptly (well before the whole-read limit of 5 s),
  and `tallowin formats` against it returns within that limit too.
- An owner whose TARGETS list holds eight million atoms nobody named (sent
  through INCR) must neither drive the program's memory up (peak and kept
  resident size, from /proc/PID/status) nor stop the next copy.

Usage: test_hostile_owners.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import CheckFailed, check, end_process, main, session, step, wait_for  # noqa: E402

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
SCRIPTED_OWNER = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "x11",
                              "scripted_clipboard_owner.py")
# Prompt, and clearly below the 5 s whole-read limit the program would otherwise wait for.
PROMPTLY = 3.5
LIVENESS = 15
MIB = 1024 * 1024


class ScriptedOwner:
    """tests/x11/scripted_clipboard_owner.py as a child; `lines()` gives what it printed so far."""

    def __init__(self, args):
        self.proc = subprocess.Popen([sys.executable, SCRIPTED_OWNER] + args, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        os.set_blocking(self.proc.stdout.fileno(), False)
        self.pending = b""
        self.seen = []
        wait_for(lambda: "ready" in self.lines(), LIVENESS, what="the scripted owner to take CLIPBOARD")

    def lines(self):
        while True:
            try:
                chunk = os.read(self.proc.stdout.fileno(), 65536)
            except BlockingIOError:
                break
            if not chunk:
                break
            self.pending += chunk
        *complete, self.pending = self.pending.split(b"\n")
        self.seen.extend(line.decode().strip() for line in complete)
        return self.seen

    def close(self):
        end_process(self.proc, grace=1.0)


def memory(pid):
    """(peak, current) resident size of a process in bytes."""
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            fields[key] = value.strip()
    kib = lambda key: int(fields[key].split()[0]) * 1024  # noqa: E731
    return kib("VmHWM"), kib("VmRSS")


def test_formats_against_trickling_owner(executable):
    """Runs before the program starts: this owner serves one reader at a time."""
    step("tallowin formats against a trickling owner returns within the read limit")
    owner = ScriptedOwner(["--trickle", "UTF8_STRING:200:0.9", "UTF8_STRING", "text/x-after"])
    try:
        started = time.monotonic()
        try:
            done = subprocess.run([executable, "formats"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, timeout=LIVENESS)
        except subprocess.TimeoutExpired:
            raise CheckFailed(f"tallowin formats still ran after {LIVENESS} s") from None
        took = time.monotonic() - started
        out = done.stdout.decode()
        print(f"formats took {took:.2f} s and printed {out!r}", flush=True)
        check(done.returncode == 0, f"tallowin formats ended with {done.returncode}")
        rows = [line.split("\t") for line in out.splitlines()]
        check(rows and rows[0] == ["UNICODETEXT", "13", ""],
              f"the trickled text is not listed as UNICODETEXT 13 with an empty value: {rows}")
    finally:
        owner.close()


def test_trickling_owner(program, clipboard):
    step("an owner trickles its text, one byte every 0.9 s")
    owner = ScriptedOwner(["--trickle", "UTF8_STRING:200:0.9", "UTF8_STRING"])
    try:
        wait_for(lambda: "request UTF8_STRING" in owner.lines(), LIVENESS,
                 what="the program to ask the trickling owner for its text")

        step("a copy made meanwhile is processed promptly")
        started = time.monotonic()
        clipboard.copy("after the trickle")
        clipboard.wait_for_write_back("[after the trickle]", timeout=PROMPTLY)
        print(f"written back {time.monotonic() - started:.2f} s after the copy", flush=True)
    finally:
        owner.close()

    check(program.running(), "the program ended")


def test_huge_target_list(program, clipboard):
    pid = program.proc.pid
    peak_before, kept_before = memory(pid)
    print(f"before: peak {peak_before / MIB:.1f} MiB, resident {kept_before / MIB:.1f} MiB", flush=True)

    step("an owner lists eight million unnamed atoms as its targets")
    owner = ScriptedOwner(["--junk-targets", "8000000", "UTF8_STRING"])
    try:
        wait_for(lambda: "request TARGETS" in owner.lines(), LIVENESS,
                 what="the program to ask the owner for its targets")
        time.sleep(6)  # past the whole-read limit: the read is over, one way or the other

        step("the next copy is processed")
        clipboard.copy("after the long list")
        clipboard.wait_for_write_back("[after the long list]", timeout=LIVENESS)
    finally:
        owner.close()

    peak, kept = memory(pid)
    print(f"after: peak {peak / MIB:.1f} MiB, resident {kept / MIB:.1f} MiB", flush=True)
    check(peak - peak_before < 48 * MIB,
          f"the peak resident size grew by {(peak - peak_before) / MIB:.1f} MiB reading one target list")
    check(kept - kept_before < 24 * MIB,
          f"the program keeps {(kept - kept_before) / MIB:.1f} MiB more after reading one target list")
    check(program.running(), "the program ended")


def test(executable):
    with session(executable, ADD_BRACKETS) as (program, clipboard):
        test_formats_against_trickling_owner(executable)
        program.start()
        program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=10)
        step("a normal copy is processed")
        clipboard.copy("before")
        clipboard.wait_for_write_back("[before]", timeout=LIVENESS)

        test_trickling_owner(program, clipboard)
        test_huge_target_list(program, clipboard)


if __name__ == "__main__":
    main(test)
