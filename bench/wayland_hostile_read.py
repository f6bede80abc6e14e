#!/usr/bin/python3
"""`tallowin formats` against hostile owners of the Wayland clipboard, on a
headless sway with the build's wayland_test_client as the owner:

  flood N   an owner offering N types that writes into every request as fast
            as the reader takes the bytes, for as long as it reads;
  many N    an owner offering N types, each served at once with a short value.

Prints, per owner, the seconds `tallowin formats --clipboard=wayland` took (its
start-up included), its peak resident size (from wait4), its exit status and
the rows it listed. With --files N the program runs with N as its soft and
hard descriptor limit (prlimit), so it cannot raise it.

Usage: bench/wayland_hostile_read.py PATH-TO-TALLOWIN [--files N] [flood:N | many:N]...
       (default: flood:7 flood:100 flood:1000 many:1000)
"""
import argparse
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from wayland_session import Sway, WaylandClipboard  # noqa: E402

MIB = 1024 * 1024


def measure(executable, display, files):
    args = [executable, "formats", "--clipboard=wayland"]
    if files:
        args = ["prlimit", f"--nofile={files}:{files}", "--"] + args
    started = time.monotonic()
    proc = subprocess.Popen(args, env=dict(os.environ, WAYLAND_DISPLAY=display), stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    rows = proc.stdout.read().count(b"\n")
    _, status, usage = os.wait4(proc.pid, 0)
    proc.stdout.close()
    return time.monotonic() - started, usage.ru_maxrss * 1024, os.waitstatus_to_exitcode(status), rows


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("executable")
    parser.add_argument("--files", type=int, default=0)
    parser.add_argument("owners", nargs="*", default=["flood:7", "flood:100", "flood:1000", "many:1000"])
    options = parser.parse_intermixed_args()
    executable = os.path.abspath(options.executable)
    sway = Sway()
    try:
        sway.start()
        clipboard = WaylandClipboard(sway.display, os.path.dirname(executable))
        try:
            for owner in options.owners:
                kind, count = owner.split(":")
                helper = clipboard.helper(*([kind, count] + (["many"] if kind == "many" else [])))
                if helper.stdout.readline().strip() != b"ready":
                    sys.exit(f"the {owner} owner did not take the selection")
                took, peak, status, rows = measure(executable, sway.display, options.files)
                print(f"{owner:>12}: {took:6.2f} s, peak {peak / MIB:6.0f} MiB, status {status}, {rows} rows",
                      flush=True)
                clipboard.close()
        finally:
            clipboard.close()
    finally:
        sway.stop()


if __name__ == "__main__":
    main()
