#!/usr/bin/python3
"""Large clipboard content on the real X11 clipboard: write-back time, window
freezes and memory.

Starts the program with add-text on ("[" in front, "]" behind), then copies
with xclip, for each kind:

  text 100 KB, 1 MB, 5 MB, 50 MB   lines of 100 characters
  text 50 MB one line              no line break at all
  PNG 4000 x 3000                  a picture with colour gradients and noise

and measures, per copy:

  write-back  from the moment xclip owns CLIPBOARD to the moment the program
              owns it with its write-back, by the X server's event times; for
              the picture, which no step writes back unchanged, to the moment
              its history entry can be read over AT-SPI;
  freeze      the longest time the main window did not answer: an AT-SPI
              query (the window's extents) goes to the program every 50 ms, and
              Qt answers it only while its GUI thread runs; the figure is the
              largest time from sending a query to receiving its answer, over
              the copy until the write-back and the quiet second after it.
              (Qt 6.4 under Xvfb without a window manager answered no
              _NET_WM_PING here, so the accessibility bus stands in for it; the
              script runs itself again inside a private D-Bus session);
  peak        the program's VmHWM during the copy (the peak is reset before
              each copy through /proc/PID/clear_refs);
  kept        the program's VmRSS one second after the write-back (the
              history keeps every copied text, so this grows copy by copy);
  peak - before  the peak less the RSS before the copy: what the copy cost.

Every write-back is read and checked ("[" + text + "]"; for the picture, its
history entry "Image", "4000 x 3000").
One copy of each kind warms up and is not counted; then --runs copies (at least
5) of each kind are measured. Prints median, minimum and maximum.

Usage: bench/large_content.py PATH-TO-TALLOWIN [--runs N] [--kinds 100k,1m,5m,50m,50m1,png]
Without DISPLAY it starts its own Xvfb (or run it under `xvfb-run -a`).
"""
import argparse
import bisect
import os
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import accessibility  # noqa: E402
from capture_latency import start_xvfb  # noqa: E402
from owner_watch import OwnerWatch  # noqa: E402
from tallowin_e2e import Program, end_process, run_tool  # noqa: E402

TIMEOUT = 120
PNG_SIZE = (4000, 3000)
KINDS = {
    "100k": ("text 100 KB", 100_000, 100),
    "1m": ("text 1 MB", 1_000_000, 100),
    "5m": ("text 5 MB", 5_000_000, 100),
    "50m": ("text 50 MB", 50_000_000, 100),
    "50m1": ("text 50 MB, one line", 50_000_000, 0),
    "png": (f"PNG {PNG_SIZE[0]} x {PNG_SIZE[1]}", 0, 0),
}


def make_text(size, line, run):
    """`size` ASCII characters; lines of `line` characters (0: one line). The
    first line names the run, so no two copies are the same."""
    head = f"run {run:04d} "
    body = "".join(chr(ord("a") + k % 26) for k in range(97)) + " é"
    if line:
        unit = (body[: line - 1] + "\n")
        text = head + unit * (size // len(unit) + 1)
    else:
        text = head + body * (size // len(body) + 1)
    return text[:size]


def make_png(path, width, height, run):
    """An RGB PNG with gradients and a little noise (so it does not compress to nothing)."""
    rows = []
    seed = 12345 + run
    noise = bytes((seed * 1103515245 + k * 2654435761) >> 16 & 15 for k in range(4096))
    for y in range(height):
        g = (y * 255 // height) & 0xFF
        row = bytearray(b"\x00")
        base = bytes(((x * 255 // width) & 0xF0) | noise[(x + y * 7) & 4095] for x in range(width))
        line = bytearray(width * 3)
        line[0::3] = base
        line[1::3] = bytes([g]) * width
        line[2::3] = base[::-1]
        row += line
        rows.append(bytes(row))
    raw = b"".join(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


class Prober(threading.Thread):
    """Asks the program's main window for its extents over AT-SPI every 50 ms
    and records (sent, answered) times per query. Qt answers accessibility calls
    on its GUI thread, so a query sent while that thread is busy is answered
    when it is free again."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        app = accessibility.application(pid, timeout=30)
        frames = [app.getChildAtIndex(i) for i in range(app.childCount)]
        self.component = next(f for f in frames if f is not None and f.name.startswith("Tallowin")).queryComponent()
        self.history = accessibility.find(app, "tree", "History", timeout=30)
        self.lock = threading.Lock()
        self.sent = {}
        self.answered = {}
        self.stop_flag = False

    def run(self):
        serial = 0
        next_send = time.monotonic()
        while not self.stop_flag:
            delay = next_send - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            serial += 1
            sent = time.monotonic()
            with self.lock:
                self.sent[serial] = sent
            try:
                self.component.getExtents(0)
            except Exception:
                # The bus gives up on a call after a short timeout (under a
                # second); the program has not answered it. The next call goes
                # out at once, and its answer ends the wait of this one.
                continue
            with self.lock:
                self.answered[serial] = time.monotonic()
            next_send = max(sent + 0.05, time.monotonic())

    def longest_wait(self, start, end):
        """The longest time from sending a query in [start, end] to the first
        answer the program gave after it (to its own or a later query, as one
        that timed out on the bus has none); without one yet, up to now."""
        now = time.monotonic()
        with self.lock:
            answers = sorted(self.answered.values())
            sent = [t for t in self.sent.values() if start <= t <= end]
        waits = []
        for t in sent:
            i = bisect.bisect_left(answers, t)
            waits.append((answers[i] if i < len(answers) else now) - t)
        return max(waits) if waits else 0.0

    def history_rows(self):
        """The number of history entries (read on the main thread; the queries of
        run() are not disturbed)."""
        if hasattr(self.history, "clear_cache"):
            self.history.clear_cache()
        return self.history.queryTable().nRows

    def all_answered_since(self, start):
        """Whether an answer came after the last query sent since `start`."""
        with self.lock:
            last_sent = max((t for t in self.sent.values() if t >= start), default=None)
            return last_sent is None or any(a >= last_sent for a in self.answered.values())


def proc_status(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1]) * 1024
    raise RuntimeError(f"no {key} for {pid}")


def one_copy(kind, run, watch, prober, pid, scratch):
    name, size, line = KINDS[kind]
    if kind == "png":
        path = os.path.join(scratch, "copy.png")
        make_png(path, *PNG_SIZE, run)
        command = ["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i"]
        text = None
    else:
        text = make_text(size, line, run)
        path = os.path.join(scratch, "copy.txt")
        with open(path, "wb") as f:
            f.write(text.encode("utf-8"))
        command = ["xclip", "-quiet", "-selection", "clipboard", "-i"]
    before = proc_status(pid, "VmRSS")
    with open(f"/proc/{pid}/clear_refs", "w") as f:
        f.write("5")  # resets VmHWM to the current RSS
    watch.drain()
    with open(path, "rb") as source:
        started = time.monotonic()
        child = subprocess.Popen(command, stdin=source, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    rows_before = prober.history_rows() if text is None else 0
    try:
        _, copier, copied_server = watch.next_change(TIMEOUT)
        copied = time.monotonic()
        if text is None:
            # No image step writes a picture back unchanged, so a picture's pass
            # ends where its history entry appears.
            deadline = time.monotonic() + TIMEOUT
            while prober.history_rows() == rows_before:
                if time.monotonic() > deadline:
                    raise RuntimeError(f"{name}: no history entry appeared")
                time.sleep(0.02)
            written = time.monotonic()
            server_ms = (written - copied) * 1e3
        else:
            _, writer, written_server = watch.next_change(TIMEOUT)
            if writer in (0, copier):
                raise RuntimeError("the owner change after the copy is not a write-back")
            written = time.monotonic()
            server_ms = (written_server - copied_server) % (1 << 32)
        time.sleep(1.0)
        deadline = time.monotonic() + TIMEOUT
        while not prober.all_answered_since(started) and time.monotonic() < deadline:
            time.sleep(0.05)
        freeze = prober.longest_wait(started, time.monotonic())
        peak = proc_status(pid, "VmHWM")
        kept = proc_status(pid, "VmRSS")
        if text is not None:
            status, out = run_tool(["xclip", "-selection", "clipboard", "-o"], timeout=TIMEOUT)
            if status != 0 or out != "[" + text + "]":
                raise RuntimeError(f"{name}: the write-back reads {out[:40]!r}... (status {status})")
        else:
            entry = accessibility.rows(prober.history)[-1]
            if entry[1:] != ("Image", f"{PNG_SIZE[0]} x {PNG_SIZE[1]}"):
                raise RuntimeError(f"{name}: the history entry reads {entry}")
    finally:
        end_process(child, grace=1.0)
    del text
    return server_ms / 1e3, freeze, peak, kept, before


def main():
    global TIMEOUT
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--kinds", default=",".join(KINDS))
    parser.add_argument("--timeout", type=float, default=TIMEOUT,
                        help="seconds to wait for a write-back (default %(default)s)")
    args = parser.parse_args()
    accessibility.use_own_bus()
    TIMEOUT = args.timeout
    kinds = args.kinds.split(",")
    for kind in kinds:
        if kind not in KINDS:
            sys.exit(f"unknown kind {kind!r}; known: {', '.join(KINDS)}")

    server = start_xvfb() if not os.environ.get("DISPLAY") else None
    scratch = tempfile.mkdtemp(prefix="tallowin-large-")
    program = Program(os.path.abspath(args.program), scratch,
                      ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"])
    results = {}
    failures = {}
    prober = None
    try:
        watch = OwnerWatch()
        program.start()
        program.find_main_window(timeout=30)
        program.wait_for_splash_to_close(timeout=30)
        pid = program.proc.pid
        prober = Prober(pid)
        prober.start()
        for kind in kinds:
            try:
                one_copy(kind, 0, watch, prober, pid, scratch)  # warm-up
                results[kind] = [one_copy(kind, run, watch, prober, pid, scratch) for run in range(1, args.runs + 1)]
            except (RuntimeError, TimeoutError) as e:
                # A copy that is not written back within the timeout ends this
                # kind; the others are still measured (the program keeps running).
                failures[kind] = repr(e)
                print(f"failed: {KINDS[kind][0]}: {e!r}", file=sys.stderr, flush=True)
                if not program.running():
                    break
                time.sleep(5)
                continue
            print(f"done: {KINDS[kind][0]}: {results[kind]}", file=sys.stderr, flush=True)
    finally:
        if prober:
            prober.stop_flag = True
        program.stop()
        end_process(server)
        subprocess.run(["rm", "-rf", scratch])

    print(f"large content, {args.runs} copies of each after one warm-up (median [min .. max]):")
    print(f"  {'content':<22} {'write-back s':>24} {'freeze s':>24} {'peak MB':>22} {'kept MB':>22}"
          f" {'peak - before MB':>22}")

    def cell(values, scale, digits):
        values = [v * scale for v in values]
        return f"{statistics.median(values):.{digits}f} [{min(values):.{digits}f} .. {max(values):.{digits}f}]"

    for kind, reason in failures.items():
        print(f"  {KINDS[kind][0]:<22} not measured: {reason}")
    for kind in results:
        rows = results[kind]
        print(f"  {KINDS[kind][0]:<22} {cell([r[0] for r in rows], 1, 3):>24} {cell([r[1] for r in rows], 1, 3):>24}"
              f" {cell([r[2] for r in rows], 1e-6, 0):>22} {cell([r[3] for r in rows], 1e-6, 0):>22}"
              f" {cell([r[2] - r[4] for r in rows], 1e-6, 0):>22}")
    for kind in results:
        name, size, _ = KINDS[kind]
        if size:
            utf16 = 2 * size
            ratios = [r[2] / utf16 for r in results[kind]]
            growth = [(r[2] - r[4]) / utf16 for r in results[kind]]
            print(f"  {name}: peak / UTF-16 size of the text: {statistics.median(ratios):.2f} "
                  f"[{min(ratios):.2f} .. {max(ratios):.2f}]; (peak - RSS before the copy) / UTF-16 size: "
                  f"{statistics.median(growth):.2f} [{min(growth):.2f} .. {max(growth):.2f}]")


if __name__ == "__main__":
    main()
