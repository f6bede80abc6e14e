#!/usr/bin/python3
"""Wayland clipboard owners that try to stop capture, and a compositor that goes
away: a headless sway, the build's wayland_test_client as the owner, wl-copy for
the genuine copies.

- Descriptors: every face raises its soft descriptor limit to the hard one at
  start (`tallowin run` and the window, started under 1024:4096).
- An owner offering 1000 types, the program held to 1024 descriptors (soft and
  hard, so it cannot raise them): `tallowin formats` lists all 1000 with their
  values, and the window and `tallowin run` (also at 1023) process that copy
  ("[many]" comes back) and the genuine copies after it.
- An owner that writes endlessly into each of 100 types: `tallowin formats`
  ends within the whole read's 5 seconds (plus a margin) with a bounded peak
  resident size, and `tallowin run` stays under the same peak and gives the
  memory back once the owner is gone.
- The compositor ends while `tallowin run` watches its clipboard: the run says
  so on standard error, costs next to no CPU while it is gone, connects again
  once it is back, and processes the copies made there.

Usage: test_wayland_hostile_owners.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import CheckFailed, check, end_process, main, run_tool, session, step, wait_for  # noqa: E402
from wayland_session import Sway, WaylandClipboard  # noqa: E402

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
LIVENESS = 15
MANY_TYPES = 1000
FLOOD_TYPES = 100
MIB = 1024 * 1024
# The whole read's bound, and a generous margin for a sanitized program.
READ_LIMIT = 5
FORMATS_WITHIN = READ_LIMIT + 3
# All values of one read together are held up to 256 MiB. Above what the program takes against an owner of
# small values, its peak may grow by that and half as much again: a sanitized program's allocator puts red
# zones around each block and rounds it up to its size classes.
PEAK_GROWTH_WITHIN = (256 + 128) * MIB
# What a read may leave behind once the owner is gone and the next copy is processed.
KEPT_WITHIN = 64 * MIB
# A sanitized program keeps freed memory in quarantine (256 MiB by default) and would count it as resident.
SMALL_QUARANTINE = {"ASAN_OPTIONS": ":".join(filter(None, [os.environ.get("ASAN_OPTIONS"), "quarantine_size_mb=16"]))}


def tight_limit(files):
    """A prefix that runs a command with `files` as its soft and hard descriptor limit: it cannot raise it."""
    return ["prlimit", f"--nofile={files}:{files}", "--"]


def descriptor_limits(pid):
    """(soft, hard) limit on open files of a running process."""
    with open(f"/proc/{pid}/limits") as f:
        for line in f:
            if line.startswith("Max open files"):
                soft, hard = line.split()[3:5]
                return int(soft), int(hard)
    raise CheckFailed(f"no open-files limit in /proc/{pid}/limits")


def cpu_seconds(pid):
    """User and system CPU time a process has used so far."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def memory(pid):
    """(peak, current) resident size of a running process in bytes."""
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            key, _, value = line.partition(":")
            fields[key] = value.strip()
    return int(fields["VmHWM"].split()[0]) * 1024, int(fields["VmRSS"].split()[0]) * 1024


def sanitized(pid):
    """Whether a running program uses AddressSanitizer's allocator (which keeps freed blocks of its own,
    where glibc's gives pages back on malloc_trim)."""
    with open(f"/proc/{pid}/maps") as f:
        return any("libasan" in line for line in f)


def run_measured(args, env, timeout):
    """Runs a command to its end: (exit status, stdout text, seconds taken, peak resident bytes).
    Killed after `timeout` seconds."""
    started = time.monotonic()
    proc = subprocess.Popen(args, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    watchdog = threading.Timer(timeout, proc.kill)
    watchdog.start()
    try:
        out = proc.stdout.read()
        # wait4 rather than wait: the child's own resource usage, its peak resident size among it.
        _, status, usage = os.wait4(proc.pid, 0)
    finally:
        watchdog.cancel()
        proc.stdout.close()
    proc.returncode = os.waitstatus_to_exitcode(status)
    return proc.returncode, out.decode("utf-8", "replace"), time.monotonic() - started, usage.ru_maxrss * 1024


def start_run(program, executable, args, env_add=None):
    """`tallowin run ARGS` on the Wayland clipboard with no X display, output to the program log."""
    os.makedirs(program.home, exist_ok=True)
    os.makedirs(program.cwd, exist_ok=True)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "QT_QPA_PLATFORM")}
    env["TALLOWIN_HOME"] = program.home
    env.update(env_add or {})
    with open(program.log_path, "wb") as log:
        program.proc = subprocess.Popen(program.prefix + [executable, "run"] + args, cwd=program.cwd, env=env,
                                        stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
    wait_for(lambda: "capturing" in program.log() or not program.running(), 20, what="the run to start capturing")
    check(program.running(), "the run ended at start")


def test_descriptor_limit_is_raised(executable):
    step("each face raises its soft descriptor limit to the hard one")
    with session(executable) as (program, _x11):
        program.prefix = ["prlimit", "--nofile=1024:4096", "--"]
        program.start()
        program.find_main_window(timeout=LIVENESS)
        limits = descriptor_limits(program.proc.pid)
        check(limits == (4096, 4096), f"the window runs with the descriptor limits {limits}")
    with session(executable) as (program, _x11):
        program.prefix = ["prlimit", "--nofile=1024:4096", "--"]
        start_run(program, executable, [], {"DISPLAY": os.environ["DISPLAY"]})
        limits = descriptor_limits(program.proc.pid)
        check(limits == (4096, 4096), f"tallowin run runs with the descriptor limits {limits}")


def processes_many_types_and_later_copies(program, clipboard):
    """An owner of MANY_TYPES types, twice, each followed by two genuine copies: all come back bracketed."""
    for attempt in range(2):
        owner = clipboard.helper("many", str(MANY_TYPES), "many")
        check(owner.stdout.readline().strip() == b"ready", "the owner of many types did not take the selection")
        clipboard.wait_for_text("[many]", timeout=LIVENESS)
        for text in ("after", "and after"):
            clipboard.copy(f"{text} {attempt}")
            clipboard.wait_for_text(f"[{text} {attempt}]", timeout=LIVENESS)
    check(program.running(), "the program ended")
    check("Too many open files" not in program.log(), "the program ran out of descriptors")


def test_owner_of_many_types(executable, sway, build_dir):
    clipboard = WaylandClipboard(sway.display, build_dir)
    try:
        step(f"tallowin formats lists an owner's {MANY_TYPES} types with their values, held to 1024 descriptors")
        owner = clipboard.helper("many", str(MANY_TYPES), "many")
        check(owner.stdout.readline().strip() == b"ready", "the owner of many types did not take the selection")
        status, out = run_tool(["env", f"WAYLAND_DISPLAY={sway.display}", *tight_limit(1024), executable, "formats",
                                "--clipboard=wayland"], timeout=LIVENESS)
        rows = [line.split("\t") for line in out.splitlines()]
        check(status == 0 and len(rows) == MANY_TYPES, f"tallowin formats: status {status}, {len(rows)} rows")
        check(rows[0] == ["UNICODETEXT", "13", "many"], f"the text row reads {rows[0]}")
        # Format 49159 shows its value as UTF-16, as format 13 does.
        value = lambda name, number: name.encode().decode("utf-16-le") if number == "49159" else name  # noqa: E731
        wrong = [row for row in rows[1:] if len(row) != 3 or row[2] != value(row[0], row[1])]
        check(not wrong, f"{len(wrong)} types without their value, such as {wrong[:3]}")

        with session(executable, ADD_BRACKETS) as (program, _x11):
            step(f"the window, held to 1024 descriptors, processes a copy of {MANY_TYPES} types and the copies after it")
            os.environ["WAYLAND_DISPLAY"] = sway.display
            program.prefix = tight_limit(1024)
            program.start()
            program.find_main_window(timeout=LIVENESS)
            program.wait_for_splash_to_close(timeout=LIVENESS)
            check(descriptor_limits(program.proc.pid) == (1024, 1024), "the window is not held to 1024 descriptors")
            processes_many_types_and_later_copies(program, clipboard)

        # Whether the limit is met making a pipe or making the duplicate that
        # libwayland sends depends on how many descriptors the program holds
        # already: one limit of each parity meets both.
        for limit in (1023, 1024):
            with session(executable) as (program, _x11):
                step(f"tallowin run, held to {limit} descriptors, does the same")
                program.prefix = tight_limit(limit)
                start_run(program, executable, ADD_BRACKETS, {"WAYLAND_DISPLAY": sway.display})
                processes_many_types_and_later_copies(program, clipboard)
    finally:
        clipboard.close()
        os.environ.pop("WAYLAND_DISPLAY", None)


def test_flooding_owner(executable, sway, build_dir):
    clipboard = WaylandClipboard(sway.display, build_dir)
    try:
        step(f"tallowin formats against an owner flooding {FLOOD_TYPES} types ends within its bound and memory")
        env = dict(os.environ, WAYLAND_DISPLAY=sway.display, **SMALL_QUARANTINE)
        formats = [executable, "formats", "--clipboard=wayland"]
        owner = clipboard.helper("many", str(FLOOD_TYPES), "small")
        check(owner.stdout.readline().strip() == b"ready", "the owner of small values did not take the selection")
        _, _, _, usual = run_measured(formats, env, LIVENESS)
        owner = clipboard.helper("flood", str(FLOOD_TYPES))
        check(owner.stdout.readline().strip() == b"ready", "the flooding owner did not take the selection")
        status, out, took, peak = run_measured(formats, env, 4 * LIVENESS)
        print(f"formats took {took:.2f} s, peak resident size {peak / MIB:.0f} MiB "
              f"({usual / MIB:.0f} MiB against {FLOOD_TYPES} small values)", flush=True)
        rows = [line.split("\t") for line in out.splitlines()]
        check(status == 0 and len(rows) == FLOOD_TYPES, f"tallowin formats: status {status}, {len(rows)} rows")
        check(all(len(row) == 3 and row[2] == "" for row in rows), "a flooded value was listed")
        check(took < FORMATS_WITHIN, f"tallowin formats took {took:.2f} s")
        check(peak - usual < PEAK_GROWTH_WITHIN,
              f"tallowin formats peaked at {peak / MIB:.0f} MiB, {usual / MIB:.0f} MiB against small values")
        clipboard.close()  # the run must not start with the flood on the clipboard

        with session(executable) as (program, _x11):
            step("tallowin run under the same flood: bounded at its peak, and gives the memory back afterwards")
            start_run(program, executable, ADD_BRACKETS, {"WAYLAND_DISPLAY": sway.display, **SMALL_QUARANTINE})
            clipboard.copy("before")
            clipboard.wait_for_text("[before]", timeout=LIVENESS)
            peak_before, kept_before = memory(program.proc.pid)
            owner = clipboard.helper("flood", str(FLOOD_TYPES))
            check(owner.stdout.readline().strip() == b"ready", "the flooding owner did not take the selection")
            time.sleep(READ_LIMIT + 1)  # the read is over, one way or the other
            clipboard.close()  # the owner leaves
            clipboard.copy("after")
            clipboard.wait_for_text("[after]", timeout=LIVENESS)
            peak, kept = memory(program.proc.pid)
            print(f"run: peak {peak_before / MIB:.0f} MiB before the flood, {peak / MIB:.0f} MiB after it; "
                  f"resident {kept_before / MIB:.0f} MiB before, {kept / MIB:.0f} MiB after", flush=True)
            check(peak - peak_before < PEAK_GROWTH_WITHIN,
                  f"tallowin run peaked at {peak / MIB:.0f} MiB, {peak_before / MIB:.0f} MiB before the flood")
            if sanitized(program.proc.pid):
                print("the sanitizer's allocator keeps what it freed: what is kept is not checked", flush=True)
            else:
                check(kept - kept_before < KEPT_WITHIN,
                      f"tallowin run keeps {(kept - kept_before) / MIB:.0f} MiB more after the flood")
    finally:
        clipboard.close()


def test_compositor_restart(executable, sway, build_dir):
    with session(executable) as (program, _x11):
        clipboard = WaylandClipboard(sway.display, build_dir)
        try:
            step("tallowin run watches the Wayland clipboard")
            start_run(program, executable, ADD_BRACKETS, {"WAYLAND_DISPLAY": sway.display})
            clipboard.copy("before")
            clipboard.wait_for_text("[before]", timeout=LIVENESS)

            step("the compositor ends: the run says so and waits without spinning")
            display = sway.display
            end_process(sway.proc)
            wait_for(lambda: "the connection to the Wayland compositor failed" in program.log(), LIVENESS,
                     what="the run to report the lost connection")
            used = cpu_seconds(program.proc.pid)
            time.sleep(3)
            used = cpu_seconds(program.proc.pid) - used
            print(f"CPU used in 3 s without a compositor: {used:.2f} s", flush=True)
            check(used < 0.5, f"the run used {used:.2f} s of CPU in 3 s without a compositor")
            check(program.running(), "the run ended without its compositor")

            step("the compositor is back: the run connects again and processes the copies made there")
            sway.start()
            check(sway.display == display, f"sway came back at {sway.display}, not at {display}")
            wait_for(lambda: "connected to the Wayland compositor again" in program.log(), LIVENESS,
                     what="the run to connect again")
            for text in ("back", "back again"):
                clipboard.copy(text)
                clipboard.wait_for_text(f"[{text}]", timeout=LIVENESS)
            check(program.log().count("the connection to the Wayland compositor failed") == 1,
                  f"the failure was reported more than once:\n{program.log()[-2000:]}")
            program.proc.send_signal(15)
            check(program.proc.wait(timeout=20) == 0, "the run did not end with status 0 on SIGTERM")
        finally:
            clipboard.close()


def test(executable):
    build_dir = os.path.dirname(executable)
    test_descriptor_limit_is_raised(executable)
    sway = Sway()
    try:
        sway.start()
        test_owner_of_many_types(executable, sway, build_dir)
        test_flooding_owner(executable, sway, build_dir)
        test_compositor_restart(executable, sway, build_dir)
    except CheckFailed:
        print("---- sway output ----\n" + sway.log(), flush=True)
        raise
    finally:
        sway.stop()


if __name__ == "__main__":
    main(test)
