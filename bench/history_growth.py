#!/usr/bin/python3
"""History growth on the real X11 clipboard: does the capture pass stay as fast
and the memory stay in proportion when the history holds thousands of texts?

Starts the program with add-text on ("[" in front, "]" behind) and copies N
different texts of B bytes (ASCII, so B characters) one after the other. The
copies come from a CLIPBOARD owner inside this script (python-xlib, serving
UTF8_STRING), so no process is started per copy. Each copy is one capture pass:
the program reads the text, adds a history entry (storing the text) and writes
the wrapped text back. Per copy it measures

  copy to write-back   from asking the X server to make our window the owner
                       to receiving the XFixes event that the program's window
                       owns CLIPBOARD, i.e. the whole pass up to its write-back;
                       also by the X server's own event times (whole ms).

  copy to readable     from the same start until the program has answered a
                       read of the written-back text, which it does only after
                       its pass has returned; every write-back is read and
                       checked this way ("[" + text + "]"), and the next copy
                       starts only then.

and reads the program's resident memory (VmRSS from /proc/PID/status) before
the first copy, every thousand copies and after the last.

It prints the median, 90th percentile and maximum of the first and the last
thousand copies, the memory figures against the stored text (N x B characters
x 2 bytes, as UTF-16) and whether the goals are met: the last thousand's median
(copy to readable) no more than 1.5 times the first thousand's (flat time), and memory growth no
more than twice the stored text.

With --no-history the same run keeps text history off, which shows how much
of the time and memory the history accounts for.

Usage: bench/history_growth.py PATH-TO-TALLOWIN [--copies N] [--bytes B] [--no-history]
Without DISPLAY it starts its own Xvfb (or run it under `xvfb-run -a`).
"""
import argparse
import os
import shutil
import statistics
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from capture_latency import start_xvfb  # noqa: E402
from owner_watch import OwnerWatch  # noqa: E402
from selection_owner import SelectionOwner, SelectionReader  # noqa: E402
from tallowin_e2e import Program, end_process  # noqa: E402

TIMEOUT = 10
BLOCK = 1000
TIME_GOAL = 1.5     # last block's median at most this times the first block's
MEMORY_GOAL = 2.0   # growth at most this times the stored text


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise RuntimeError("no VmRSS line")


def text_number(i, size):
    head = f"copy {i:05d} "
    return head + "".join(chr(ord("a") + (i + k) % 26) for k in range(size - len(head)))


def one_copy(watch, owner, reader, text):
    """Offers `text` and waits until the program's write-back is readable and reads
    "[" + text + "]". Returns (copy to write-back ms as received, the same by the
    server's clock, copy to readable ms, the window that wrote back)."""
    watch.drain()
    started = time.monotonic()
    owner.offer([("UTF8_STRING", text.encode("ascii"))])
    taken_server = None
    while True:
        received, writer, server_time = watch.next_change(TIMEOUT)
        if writer == owner.window.id:
            taken_server = server_time
            continue
        if taken_server is None:
            raise RuntimeError("another client took CLIPBOARD before our copy was seen")
        break
    # The program answers a read only after its pass has returned: the pass,
    # write-back included, is over once this read is answered.
    content = reader.read("UTF8_STRING", TIMEOUT)
    readable = time.monotonic()
    expected = ("[" + text + "]").encode("ascii")
    if content != expected:
        shown = content[:40] if content is not None else None
        raise RuntimeError(f"the write-back reads {shown!r}..., not {expected[:40]!r}...")
    return ((received - started) * 1e3, (server_time - taken_server) % (1 << 32), (readable - started) * 1e3,
            writer)


def summary(values):
    ordered = sorted(values)
    p90 = ordered[min(len(ordered) - 1, int(0.9 * len(ordered)))]
    return statistics.median(values), p90, max(values)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--copies", type=int, default=10000)
    parser.add_argument("--bytes", type=int, default=1024)
    parser.add_argument("--no-history", action="store_true",
                        help="run with text history off, to tell the history's share from the rest")
    args = parser.parse_args()
    if args.copies < 2 * BLOCK:
        sys.exit(f"--copies must be at least {2 * BLOCK}")

    server = start_xvfb() if not os.environ.get("DISPLAY") else None
    scratch = tempfile.mkdtemp(prefix="tallowin-history-growth-")
    settings = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
    if args.no_history:
        settings += ["--set", "cb_history_txt=0"]
    program = Program(os.path.abspath(args.program), scratch, settings)
    owner = None
    received, by_server, readable, memory = [], [], [], []
    try:
        watch = OwnerWatch()
        owner = SelectionOwner()
        program.start()
        program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=TIMEOUT)
        reader = SelectionReader()
        *_, program_window = one_copy(watch, owner, reader, "warm-up")
        time.sleep(0.5)
        pid = program.proc.pid
        memory.append((0, resident_kib(pid)))
        started = time.monotonic()
        for i in range(args.copies):
            text = text_number(i, args.bytes)
            a, b, c, writer = one_copy(watch, owner, reader, text)
            if writer != program_window:
                raise RuntimeError(f"window {writer:#x} wrote back, not the program's {program_window:#x}")
            received.append(a)
            by_server.append(b)
            readable.append(c)
            if (i + 1) % BLOCK == 0:
                memory.append((i + 1, resident_kib(pid)))
                print(f"  {i + 1:6d} copies, {time.monotonic() - started:6.1f} s, "
                      f"median of the last {BLOCK} {statistics.median(readable[-BLOCK:]):6.2f} ms, "
                      f"VmRSS {memory[-1][1] / 1024:7.1f} MiB", flush=True)
        time.sleep(1.0)
        memory.append((args.copies, resident_kib(pid)))
        if not program.running():
            raise RuntimeError("the program ended during the run")
    except BaseException:
        print("---- program output ----\n" + program.log()[-4000:] + "\n------------------------", flush=True)
        raise
    finally:
        if owner:
            owner.close()
        program.stop()
        end_process(server)
        shutil.rmtree(scratch, ignore_errors=True)

    print(f"\nhistory growth: {args.copies} copies of {args.bytes} bytes, add-text on"
          + (", text history OFF (comparison run)" if args.no_history else ""))
    print(f"  (ms)                                                   {'median':>8} {'p90':>8} {'max':>8}")
    first, last = slice(0, BLOCK), slice(len(received) - BLOCK, len(received))
    last_name = f"{args.copies - BLOCK + 1}-{args.copies}"
    for name, values in ((f"copy to readable write-back, copies 1-{BLOCK}", readable[first]),
                         (f"copy to readable write-back, copies {last_name}", readable[last]),
                         (f"copy to write-back owner, copies 1-{BLOCK}", received[first]),
                         (f"copy to write-back owner, copies {last_name}", received[last]),
                         (f"the same by the server clock, copies 1-{BLOCK}", by_server[first]),
                         (f"the same by the server clock, copies {last_name}", by_server[last])):
        median, p90, top = summary(values)
        print(f"  {name:<54} {median:8.2f} {p90:8.2f} {top:8.2f}")
    ratio = statistics.median(readable[last]) / statistics.median(readable[first])

    start_kib, end_kib = memory[0][1], memory[-1][1]
    stored = args.copies * args.bytes * 2
    growth = (end_kib - start_kib) * 1024
    print(f"  resident memory: start {start_kib / 1024:.1f} MiB, end {end_kib / 1024:.1f} MiB, "
          f"growth {growth / 2**20:.1f} MiB")
    print(f"  stored text: {args.copies} x {args.bytes} characters x 2 bytes = {stored / 2**20:.1f} MiB; "
          f"growth / stored text = {growth / stored:.2f}")
    print("  VmRSS by copies: " + ", ".join(f"{n}: {kib / 1024:.1f}" for n, kib in memory) + " (MiB)")
    time_ok = ratio <= TIME_GOAL
    memory_ok = growth <= MEMORY_GOAL * stored
    print(f"  goal flat time (last/first median <= {TIME_GOAL}): {ratio:.2f} -> {'met' if time_ok else 'MISSED'}")
    print(f"  goal memory growth <= {MEMORY_GOAL:.0f} x stored text: {growth / stored:.2f} x -> "
          f"{'met' if memory_ok else 'MISSED'}")


if __name__ == "__main__":
    main()
