#!/usr/bin/python3
"""Smoke test of an installed program (the Debian package), under Xvfb.

- `tallowin --version` answers;
- the menu entry, the AppStream metadata, the icon and the help pages are where
  desktops look for them;
- started the way a menu starts it (no TALLOWIN_HOME), the program keeps its
  files in $XDG_DATA_HOME/tallowin/, not beside the executable: a text saved
  with the default folder lands there;
- a copy made with xclip comes back with the front text added, both in the
  window and in the window-less run, which ends with status 0 on SIGTERM;
- the help menu opens the installed help pages (a stand-in xdg-open records
  what the program asks to open).

Usage: smoke_installed.py [PREFIX]   (PREFIX defaults to /usr)
"""
import os
import signal
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
import accessibility as a11y  # noqa: E402
from tallowin_e2e import Clipboard, Program, check, end_process, ensure_display, step, wait_for  # noqa: E402

APP_ID = "com.brannickmedia.Tallowin"


def installed_files(prefix):
    share = os.path.join(prefix, "share")
    return [os.path.join(prefix, "bin", "tallowin"),
            os.path.join(share, "applications", APP_ID + ".desktop"),
            os.path.join(share, "metainfo", APP_ID + ".metainfo.xml"),
            os.path.join(share, "icons", "hicolor", "scalable", "apps", APP_ID + ".svg"),
            os.path.join(share, "tallowin", "docs", "index.html"),
            os.path.join(share, "tallowin", "docs", "index_de.html"),
            os.path.join(share, "tallowin", "docs", "regex.html")]


def stand_in_opener(scratch):
    """A folder holding an xdg-open that only records its arguments; returns (folder, record file)."""
    folder = os.path.join(scratch, "bin")
    os.makedirs(folder, exist_ok=True)
    record = os.path.join(scratch, "opened.txt")
    script = os.path.join(folder, "xdg-open")
    with open(script, "w") as f:
        f.write(f'#!/bin/sh\necho "$@" >> "{record}"\n')
    os.chmod(script, 0o755)
    return folder, record


def start(program, args, scratch, log_name):
    env = {k: v for k, v in os.environ.items() if k != "TALLOWIN_HOME"}
    env["PATH"] = stand_in_opener(scratch)[0] + os.pathsep + env.get("PATH", "")
    env.update(HOME=os.path.join(scratch, "home"), XDG_DATA_HOME=os.path.join(scratch, "data"),
               QT_QPA_PLATFORM="xcb")
    os.makedirs(env["HOME"], exist_ok=True)
    log = open(os.path.join(scratch, log_name), "wb")
    return subprocess.Popen([program] + args, cwd=env["HOME"], env=env, stdin=subprocess.DEVNULL,
                            stdout=log, stderr=subprocess.STDOUT)


def log_of(scratch, name):
    with open(os.path.join(scratch, name), "rb") as f:
        return f.read().decode("utf-8", "replace")


def test(prefix):
    program = os.path.join(prefix, "bin", "tallowin")
    step("installed files")
    for path in installed_files(prefix):
        check(os.path.isfile(path), f"{path} is missing")
    version = subprocess.run([program, "--version"], stdout=subprocess.PIPE, timeout=30)
    check(version.returncode == 0 and version.stdout.strip(), f"--version failed: {version}")

    scratch = tempfile.mkdtemp(prefix="tallowin-smoke-")
    clipboard = Clipboard(scratch)
    try:
        step("the window: program folder in XDG_DATA_HOME, add-text on a copy")
        clipboard.copy("start")
        proc = start(program, ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=>", "--set", "cb_savetxt=1"],
                     scratch, "window.log")
        try:
            # --set applies when the main window first shows.
            window = Program(program, scratch)
            window.proc = proc
            window.find_main_window(timeout=30)
            window.wait_for_splash_to_close()
            clipboard.copy("a")
            clipboard.wait_for_write_back(">a", timeout=30)
            folder = os.path.join(scratch, "data", "tallowin")
            wait_for(lambda: any(n.endswith(".txt") for n in os.listdir(folder)) if os.path.isdir(folder) else False,
                     10, what=f"a saved text file in {folder}")
            check(proc.poll() is None, "the program ended")

            step("the help menu opens the installed pages")
            record = stand_in_opener(scratch)[1]
            a11y.find(a11y.application(proc.pid), "menu item", "Tallowin Help..").queryAction().doAction(0)
            wait_for(lambda: os.path.exists(record), 10, what="the program to open a help page")
            with open(record) as f:
                opened = f.read().split()
            wanted = "file://" + os.path.join(prefix, "share", "tallowin", "docs", "index.html")
            check(opened == [wanted], f"the help menu opened {opened}, not {wanted}")
        finally:
            end_process(proc)

        step("the window-less run")
        proc = start(program, ["run", "--set", "cb_textadd=1", "--set", "act_textadd_vorne=>"], scratch, "run.log")
        try:
            wait_for(lambda: "capturing" in log_of(scratch, "run.log") or proc.poll() is not None, 20,
                     what="the run to start capturing")
            check(proc.poll() is None, f"the run ended early:\n{log_of(scratch, 'run.log')}")
            clipboard.copy("b")
            clipboard.wait_for_write_back(">b", timeout=30)
            proc.send_signal(signal.SIGTERM)
            status = proc.wait(timeout=20)
            check(status == 0, f"the run ended with status {status} on SIGTERM")
        finally:
            end_process(proc)
    except BaseException:
        for name in ("window.log", "run.log"):
            if os.path.exists(os.path.join(scratch, name)):
                print(f"---- {name} ----\n{log_of(scratch, name)[-3000:]}", flush=True)
        raise
    finally:
        clipboard.close()


if __name__ == "__main__":
    a11y.use_own_bus()
    ensure_display()
    try:
        test(sys.argv[1] if len(sys.argv) > 1 else "/usr")
    except Exception:
        import traceback
        traceback.print_exc()
        print("FAILED", flush=True)
        sys.exit(1)
    print("PASSED", flush=True)
