#!/usr/bin/python3
"""Capture latency on the real X11 clipboard.

Starts the program with add-text on ("[" in front, "]" behind), then copies a
1 KB text with xclip 50 times (each text different) and measures, per copy:

  owner to owner    from the moment xclip owns CLIPBOARD to the moment the
                    program owns it with its write-back: the two XFixes
                    owner-change events, timed when this script receives them
                    (sub-millisecond, but a busy machine can delay the first
                    receipt and shorten the figure) and by the X server's own
                    event times (whole milliseconds, not affected by that);
  copy to readable  from starting xclip to the end of the `xclip -o` that reads
                    the written-back text (two tool start-ups included).

Every write-back is read and checked ("[" + text + "]"). Prints the median,
minimum and maximum of both, in milliseconds. One copy before the measured
ones warms the program up and is not counted.

With --wayland the same is measured on a headless sway (the program's
data-control backend), with wl-copy copying and wl-paste reading back:

  owner to owner    from the selection change that wl-copy's copy makes to the
                    one the program's write-back makes, both as a data-control
                    client of the build (wayland_test_client watch) receives
                    them;
  copy to readable  from starting wl-copy to the end of the wl-paste that reads
                    the written-back text.

With --owner=client the copies are made by `wayland_test_client copy`, which
offers the same five text types as wl-copy but serves every request in its
own process: wl-copy starts a process per request. The pass waits only for the
text type it reads (the other four values reach the details list after it), so
one of those start-ups is in the wl-copy figure.

Usage: bench/capture_latency.py PATH-TO-TALLOWIN [--copies N] [--bytes N] [--wayland [--owner=client]]
Without DISPLAY it starts its own Xvfb (or run it under `xvfb-run -a`).
"""
import argparse
import os
import select
import statistics
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from tallowin_e2e import Program, end_process, run_tool  # noqa: E402
from owner_watch import OwnerWatch  # noqa: E402

TIMEOUT = 10


def start_xvfb():
    """Starts Xvfb on a free display and sets DISPLAY; returns the process."""
    read_end, write_end = os.pipe()
    # -noreset: the short-lived xdotool and xclip clients must not make the
    # server reset under the program each time the last of them disconnects.
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                               "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,),
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    # The server writes the number and a line break once it accepts clients;
    # the pipe stays open until both have arrived, or the write fails the server.
    number = b""
    deadline = time.monotonic() + TIMEOUT
    while not number.endswith(b"\n") and time.monotonic() < deadline:
        ready, _, _ = select.select([read_end], [], [], max(0.0, deadline - time.monotonic()))
        chunk = os.read(read_end, 64) if ready else b""
        if not chunk:
            break
        number += chunk
    os.close(read_end)
    if not number.strip() or server.poll() is not None:
        end_process(server)
        sys.exit("Xvfb did not start")
    os.environ["DISPLAY"] = ":" + number.decode().strip()
    return server


def one_copy(watch, scratch, text):
    """Copies `text`; returns (owner-to-owner ms as received, owner-to-owner ms
    by the server's clock, copy-to-readable ms, the window that wrote back)."""
    path = os.path.join(scratch, "copy.txt")
    with open(path, "wb") as f:
        f.write(text.encode("utf-8"))
    watch.drain()
    with open(path, "rb") as source:
        started = time.monotonic()
        child = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], stdin=source,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        copied, copier, copied_server = watch.next_change(TIMEOUT)
        written_back, writer, written_back_server = watch.next_change(TIMEOUT)
        if writer in (0, copier):
            raise RuntimeError("the owner change after the copy is not a write-back")
        status, out = run_tool(["xclip", "-selection", "clipboard", "-o"], timeout=TIMEOUT)
        readable = time.monotonic()
        if status != 0 or out != "[" + text + "]":
            raise RuntimeError(f"the write-back reads {out[:40]!r}... (status {status}), not the wrapped text")
    finally:
        end_process(child, grace=1.0)
    server_ms = (written_back_server - copied_server) % (1 << 32)
    return (written_back - copied) * 1e3, server_ms, (readable - started) * 1e3, writer


def one_wayland_copy(watch, clipboard, text, owner_client=False):
    """Copies `text` with wl-copy; returns (owner-to-owner ms, copy-to-readable ms)."""
    foreign = sum(1 for _, kind in watch.poll() if kind == "foreign")
    ours = sum(1 for _, kind in watch.poll() if kind == "ours")
    started = time.monotonic()
    if owner_client:
        child = clipboard.helper("copy", text)
        if child.stdout.readline().strip() != b"ready":
            raise RuntimeError("wayland_test_client did not take the selection")
    else:
        clipboard.copy(text)
    watch.wait_for_count("ours", ours + 1, timeout=TIMEOUT)
    out = clipboard.read(timeout=TIMEOUT)
    readable = time.monotonic()
    if out != "[" + text + "]":
        raise RuntimeError(f"the write-back reads {str(out)[:40]!r}..., not the wrapped text")
    events = watch.poll()
    copied = [t for t, kind in events if kind == "foreign"][foreign]
    written_back = [t for t, kind in events if kind == "ours"][ours]
    return (written_back - copied) * 1e3, (readable - started) * 1e3


def measure_wayland(args, program):
    from wayland_session import Sway, SelectionWatch, WaylandClipboard
    sway = Sway().start()
    clipboard = WaylandClipboard(sway.display, os.path.dirname(os.path.abspath(args.program)))
    try:
        os.environ["WAYLAND_DISPLAY"] = sway.display
        program.start()
        program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=TIMEOUT)
        watch = SelectionWatch(clipboard)
        client = args.owner == "client"
        one_wayland_copy(watch, clipboard, "warm-up", client)
        owner, readable = [], []
        for text in texts(args.copies, args.bytes):
            a, b = one_wayland_copy(watch, clipboard, text, client)
            owner.append(a)
            readable.append(b)
        return (("owner to owner, as received", owner), ("copy to readable", readable))
    finally:
        program.stop()
        clipboard.close()
        sway.stop()


def texts(count, size):
    for i in range(count):
        head = f"copy {i:03d} "
        yield head + "".join(chr(ord("a") + (i + k) % 26) for k in range(size - len(head)))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--copies", type=int, default=50)
    parser.add_argument("--bytes", type=int, default=1024)
    parser.add_argument("--wayland", action="store_true", help="measure on a headless sway with wl-copy")
    parser.add_argument("--owner", choices=("wl-copy", "client"), default="wl-copy",
                        help="with --wayland: who copies")
    args = parser.parse_args()

    server = start_xvfb() if not os.environ.get("DISPLAY") else None
    scratch = tempfile.mkdtemp(prefix="tallowin-latency-")
    program = Program(os.path.abspath(args.program), scratch,
                      ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"])
    try:
        if args.wayland:
            rows = measure_wayland(args, program)
            print(f"Wayland capture latency, {args.copies} copies of {args.bytes} bytes by {args.owner}, "
                  "add-text on (ms):")
            print(f"  {'':<29} {'median':>8} {'min':>8} {'max':>8}")
            for name, values in rows:
                print(f"  {name:<29} {statistics.median(values):8.2f} {min(values):8.2f} {max(values):8.2f}")
            return
        watch = OwnerWatch()
        program.start()
        program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=TIMEOUT)
        *_, program_window = one_copy(watch, scratch, "warm-up")
        received, by_server, readable = [], [], []
        for text in texts(args.copies, args.bytes):
            a, b, c, writer = one_copy(watch, scratch, text)
            if writer != program_window:
                raise RuntimeError(f"window {writer:#x} wrote back, not the program's {program_window:#x}")
            received.append(a)
            by_server.append(b)
            readable.append(c)
    finally:
        program.stop()
        end_process(server)
        subprocess.run(["rm", "-rf", scratch])

    print(f"capture latency, {args.copies} copies of {args.bytes} bytes with add-text on (ms):")
    print(f"  {'':<29} {'median':>8} {'min':>8} {'max':>8}")
    for name, values in (("owner to owner, as received", received),
                         ("owner to owner, server clock", by_server),
                         ("copy to readable", readable)):
        print(f"  {name:<29} {statistics.median(values):8.2f} {min(values):8.2f} {max(values):8.2f}")


if __name__ == "__main__":
    main()
