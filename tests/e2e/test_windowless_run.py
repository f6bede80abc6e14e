#!/usr/bin/python3
"""`tallowin run`: capture on the real clipboard with no window, end to end.

- With add-text on (">" in front), an xclip copy "a" comes back as ">a", with
  no window of the program on the screen; SIGTERM and SIGINT each end the run
  with status 0.
- Texts are saved with the same naming and counters as in the window: two
  copies make "Clipboard Text 1.txt" and "... 2.txt" in the program folder.
- An error the window would show in its message box (a text file that cannot
  be created because a folder has its name) goes to standard error with the
  message text, and the run goes on to process the next copy.
- Configuration files load as in the window: the --config ones in order (a
  missing one named on standard error and skipped), else Auto.twk of the
  program folder; the --set values come after them.
- A copy a password manager marks as secret is passed over here too.
- A run shows no window and so never connects to the session bus (the
  accessibility bridge would, and without a bus it forked a launcher that could
  hang the run before it captured anything).
- A run keeps no history nobody could see: six copies of 8 MiB each leave its
  resident size about where one left it.
- Cropping by marquee is impossible without the window: a run with it on says
  so at start and still processes text.
- A display that cannot be reached ends the run with status 1 and a message.
- Bad usage (an unknown option, a --set without value or with an unknown key)
  ends with status 2 before anything is captured.

Usage: test_windowless_run.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import contextlib
import os
import signal
import socket
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from selection_owner import SelectionOwner  # noqa: E402
from tallowin_e2e import check, main, run_tool, session, step, wait_for  # noqa: E402

ADD = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=>"]


MIB = 1024 * 1024


def resident(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    raise AssertionError("no VmRSS")


@contextlib.contextmanager
def freed_memory_returned(executable):
    """AddressSanitizer keeps freed blocks in a quarantine of 256 MiB: a sanitized
    program's resident size would grow by what it freed. Programs started inside
    this block free at once (use after free is still caught when the block is
    not handed out again)."""
    status, out = run_tool(["ldd", executable])
    saved = os.environ.get("ASAN_OPTIONS")
    if status == 0 and "libasan" in out:
        os.environ["ASAN_OPTIONS"] = (saved + ":" if saved else "") + "quarantine_size_mb=0"
    try:
        yield
    finally:
        if saved is None:
            os.environ.pop("ASAN_OPTIONS", None)
        else:
            os.environ["ASAN_OPTIONS"] = saved


def start_run(program, args):
    program.args = ["run"] + args
    program.start()
    wait_for(lambda: "capturing" in program.log() or not program.running(), 20, what="the run to start capturing")
    check(program.running(), "the run ended at start")


def stop_with(program, signum):
    program.proc.send_signal(signum)
    status = program.proc.wait(timeout=20)
    check(status == 0, f"the run ended with status {status} on signal {signum}")
    check("stopped" in program.log(), "the run did not say it stopped")


def program_windows(program):
    status, out = run_tool(["xdotool", "search", "--onlyvisible", "--pid", str(program.proc.pid)])
    return out.split() if status == 0 else []


def test(executable):
    for signum in (signal.SIGTERM, signal.SIGINT):
        step(f"add-text on a copy, then {signal.Signals(signum).name}")
        with session(executable) as (program, clipboard):
            clipboard.copy("before")
            start_run(program, ADD)
            clipboard.copy("a")
            clipboard.wait_for_write_back(">a")
            check(program_windows(program) == [], f"the run shows windows: {program_windows(program)}")
            check(clipboard.settle() == ">a", "the write-back was processed again")
            stop_with(program, signum)

    step("no connection to the session bus")
    with session(executable) as (program, clipboard):
        bus_path = os.path.join(program.scratch, "bus")
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as bus:
            bus.bind(bus_path)
            bus.listen(4)
            bus.settimeout(0)
            program.env["DBUS_SESSION_BUS_ADDRESS"] = f"unix:path={bus_path}"
            start_run(program, ADD)
            clipboard.copy("bus")
            clipboard.wait_for_write_back(">bus")
            try:
                bus.accept()[0].close()
                connected = True
            except BlockingIOError:
                connected = False
            check(not connected, "the run connected to the session bus")
            stop_with(program, signal.SIGTERM)

    step("saving with the window's naming and counters; an error goes to standard error")
    with session(executable) as (program, clipboard):
        start_run(program, ["--set", "cb_savetxt=1"])
        for text in ("one", "two"):
            clipboard.copy(text)
            wait_for(lambda: len([n for n in os.listdir(program.home) if n.endswith(".txt")]) == ("one", "two").index(text) + 1,
                     10, what=f"the file for {text}")
        for number, text in ((1, "one"), (2, "two")):
            with open(os.path.join(program.home, f"Clipboard Text {number}.txt"), "rb") as f:
                check(f.read() == text.encode(), f"Clipboard Text {number}.txt does not hold {text}")
        program.stop()

    with session(executable) as (program, clipboard):
        blocked = os.path.join(program.scratch, "blocked")
        os.makedirs(os.path.join(blocked, "name.txt"))
        start_run(program, ["--set", "cb_savetxt=1", "--set", f"savetxt_ordner={blocked}/",
                            "--set", "savetxt_name=name"] + ADD)
        clipboard.copy("x")
        expected = f'Cannot create file "{blocked}/name.txt". Is a directory.'
        wait_for(lambda: expected in program.log(), 10, what=f"the message {expected} on standard error")
        clipboard.wait_for_write_back(">x")
        clipboard.copy("y")
        clipboard.wait_for_write_back(">y")
        check(program.running(), "the run ended after the error")
        stop_with(program, signal.SIGTERM)

    step("configurations: the named ones in order, else Auto.twk; --set after them")
    with session(executable) as (program, clipboard):
        os.makedirs(program.home, exist_ok=True)
        with open(os.path.join(program.home, "Auto.twk"), "wb") as f:
            f.write(b"[PBCH]\r\ncb_textadd=1\r\n[PBME]\r\nact_textadd_vorne=auto:\r\n")
        start_run(program, [])
        clipboard.copy("a")
        clipboard.wait_for_write_back("auto:a")
        stop_with(program, signal.SIGTERM)
    with session(executable) as (program, clipboard):
        first = os.path.join(program.scratch, "first.twk")
        second = os.path.join(program.scratch, "second.twk")
        with open(first, "wb") as f:
            f.write(b"[PBCH]\r\ncb_textadd=1\r\n[PBME]\r\nact_textadd_vorne=<\r\nact_textadd_hinten=>\r\n")
        with open(second, "wb") as f:
            f.write(b"[pbme]\r\nACT_TEXTADD_VORNE=(\r\n")
        missing = os.path.join(program.scratch, "missing.twk")
        start_run(program, ["--config", first, "--config", missing, "--config", second,
                            "--set", "act_textadd_hinten=]"])
        check(f"configuration {missing} not found" in program.log(), "no word about the missing configuration")
        clipboard.copy("b")
        clipboard.wait_for_write_back("(b]")
        check(not os.path.exists(missing), "loading a missing configuration created it")
        stop_with(program, signal.SIGTERM)

    step("a copy marked secret is passed over")
    with session(executable) as (program, clipboard):
        start_run(program, ["--set", "cb_savetxt=1"] + ADD)
        owner = SelectionOwner()
        try:
            owner.offer([("UTF8_STRING", b"hunter2"), ("x-kde-passwordManagerHint", b"secret")])
            wait_for(lambda: "x-kde-passwordManagerHint" in owner.requested(), 10, what="the run to read the hint")
            clipboard.stays("hunter2", 1.5)
            check(owner.owns(), "the run took the clipboard from the password owner")
        finally:
            owner.close()
        clipboard.copy("z")
        clipboard.wait_for_write_back(">z")
        saved = sorted(n for n in os.listdir(program.home) if n.endswith(".txt"))
        check(saved == ["Clipboard Text 1.txt"], f"expected only the file of the ordinary copy, found {saved}")
        stop_with(program, signal.SIGTERM)

    step("large copies do not pile up in memory")
    with session(executable) as (program, clipboard), freed_memory_returned(executable):
        start_run(program, ADD)
        sizes = []
        for i in range(6):
            text = chr(ord("a") + i) * (8 * MIB)
            clipboard.copy(text)
            clipboard.wait_until_taken(30)
            sizes.append(resident(program.proc.pid))
        growth = sizes[-1] - sizes[0]
        check(growth < 40 * MIB, f"the resident size grew by {growth // MIB} MiB over five more 8 MiB copies "
                                 f"({[s // MIB for s in sizes]} MiB)")
        stop_with(program, signal.SIGTERM)

    step("cropping by marquee is skipped with a warning")
    with session(executable) as (program, clipboard):
        start_run(program, ["--set", "cb_cutimg=1"] + ADD)
        check("warning" in program.log() and "rb_cutimg_auswahl" in program.log(),
              "no warning about the marquee crop at start")
        clipboard.copy("t")
        clipboard.wait_for_write_back(">t")
        stop_with(program, signal.SIGTERM)

    step("an X display that cannot be reached")
    result = subprocess.run([executable, "run"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, timeout=30, env=dict(os.environ, DISPLAY=":987"))
    check(result.returncode == 1, f"a run without a reachable display ended with {result.returncode}, not 1")
    check(b"cannot connect" in result.stderr, f"no message about the display: {result.stderr!r}")

    step("bad usage")
    for args in (["run", "--bogus"], ["run", "--set"], ["run", "--set", "no_such_setting=1"]):
        result = subprocess.run([executable] + args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=30)
        check(result.returncode == 2, f"{args} ended with {result.returncode}, not 2")
        check(result.stderr, f"{args} printed no message")


if __name__ == "__main__":
    main(test)
