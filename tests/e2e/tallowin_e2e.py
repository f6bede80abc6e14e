"""Shared pieces of the end-to-end tests: the real program on a real X server,
driven with xclip and xdotool.

Every wait polls with a deadline; every process started here is ended by the
context managers, also when a check fails. A test file calls `main(test)`;
without DISPLAY it runs itself again under `xvfb-run -a` first.

Screenshots go to the folder named by TALLOWIN_SCREENSHOTS, else to a new
temporary folder; their paths are printed.
"""
import contextlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import traceback

from Xlib import X, display as xdisplay

MAIN_TITLE = "Tallowin - Brannick Media"
SCREEN = "1280x1024x24"
TESTS_DIR = os.path.dirname(os.path.abspath(__file__))
TOOLS_DIR = os.path.join(os.path.dirname(TESTS_DIR), "tools")


class CheckFailed(AssertionError):
    pass


# How a sanitizer report begins ("==123==ERROR: AddressSanitizer: ...",
# "file.cpp:12:3: runtime error: ...", "SUMMARY: UndefinedBehaviorSanitizer: ...").
SANITIZER_REPORT = re.compile(r"ERROR: (Address|Leak|Memory|Thread)Sanitizer|: runtime error: |"
                              r"SUMMARY: (Address|UndefinedBehavior)Sanitizer")


def check(condition, message):
    if not condition:
        raise CheckFailed(message)


def step(text):
    print(f"-- {text}", flush=True)


def wait_for(probe, timeout, interval=0.1, what="condition"):
    """Calls probe() until it returns something true and returns that value;
    raises CheckFailed after `timeout` seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise CheckFailed(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


def shorten(text, limit=60):
    """repr() of a text, long ones cut in the middle, with their length."""
    if not isinstance(text, str) or len(text) <= limit:
        return repr(text)
    return f"{text[:limit // 2]!r}...{text[-limit // 2:]!r} ({len(text)} characters)"


def run_tool(args, timeout=10):
    """Runs a short command; returns (exit status, stdout text). A command still
    running after `timeout` seconds is killed and reported with status None."""
    try:
        done = subprocess.run(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, ""
    return done.returncode, done.stdout.decode("utf-8", "replace")


def end_process(proc, grace=3.0):
    """Ends one child started here: SIGTERM, then SIGKILL after `grace` seconds."""
    if proc is None or proc.poll() is not None:
        return
    proc.terminate()
    try:
        proc.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait(timeout=grace)


def wait_for_reading(read, expected, timeout, what):
    """Waits until read() returns `expected`; a failure lists what it read, in order."""
    seen = []

    def probe():
        now = read()
        if not seen or seen[-1] != now:
            seen.append(now)
        return now == expected

    try:
        wait_for(probe, timeout, what=f"{what} to read {shorten(expected)}")
    except CheckFailed as e:
        raise CheckFailed(f"{e}; it read, in order: {', '.join(shorten(v) for v in seen)}") from None


def stays_reading(read, expected, seconds):
    """Calls read() for `seconds` and fails at the first answer that is not `expected`."""
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        now = read()
        check(now == expected, f"the clipboard should stay {shorten(expected)} but read {shorten(now)}")
        time.sleep(0.1)


# --- Clipboard ------------------------------------------------------------------------

class Clipboard:
    """Copies with xclip, one foreground xclip per copy, which stays the owner
    until another client takes the selection; reads with `xclip -o`.
    close() ends every xclip started here that still runs.

    xclip serves one request at a time, so a read of ours while the program
    reads the same copy can spoil the program's read. To expect a write-back,
    use wait_for_write_back(): it waits until the program has taken the
    selection from xclip before it reads."""

    def __init__(self, scratch):
        self.scratch = scratch
        self.children = []
        self.count = 0
        self.copier = 0
        self.copier_child = None
        self.x = xdisplay.Display()
        self.atom = self.x.intern_atom("CLIPBOARD")

    def owner(self):
        """The id of the window owning CLIPBOARD, 0 for none. The server answers
        this itself, so it works whatever the owner does."""
        owner = self.x.get_selection_owner(self.atom)
        return 0 if owner == X.NONE else owner.id

    def copy(self, text):
        """Puts `text` on the clipboard from a new xclip and returns once xclip
        owns the selection (or has already lost it to a faster client)."""
        self.count += 1
        path = os.path.join(self.scratch, f"copy-{self.count}.txt")
        with open(path, "wb") as f:
            f.write(text.encode("utf-8"))
        before = self.owner()
        with open(path, "rb") as source:
            child = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], stdin=source,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.children.append(child)
        wait_for(lambda: self.owner() != before or child.poll() is not None, 10,
                 what=f"xclip to take CLIPBOARD with {shorten(text)}")
        # The owner now, unless a write-back has already replaced xclip. Between
        # the check above and this read the program may already have written
        # back, so this can name the program's window: xclip's exit tells then.
        self.copier = self.owner() if child.poll() is None else 0
        self.copier_child = child
        return child

    def wait_until_taken(self, timeout=10):
        """Waits until another client (the program's write-back) has taken the
        selection from the xclip of the last copy. xclip ends when it loses the
        selection, so its exit counts as well as a new owner."""
        copier, child = self.copier, self.copier_child
        if copier:
            wait_for(lambda: self.owner() != copier or (child is not None and child.poll() is not None),
                     timeout, interval=0.02,
                     what="the program to take CLIPBOARD from the last copy (its write-back)")

    def wait_for_write_back(self, expected, timeout=10):
        """Waits for the program's write-back of the last copy, then for it to read `expected`."""
        deadline = time.monotonic() + timeout
        self.wait_until_taken(timeout)
        self.wait_for_text(expected, max(1.0, deadline - time.monotonic()))

    def read(self, timeout=3):
        """The clipboard's text; None when there is none or the owner does not answer in time."""
        status, out = run_tool(["xclip", "-selection", "clipboard", "-o"], timeout=timeout)
        return out if status == 0 else None

    def wait_for_text(self, expected, timeout=10):
        wait_for_reading(self.read, expected, timeout, "the clipboard")

    def settle(self, quiet=1.5, timeout=15):
        """Waits until the clipboard reads the same for `quiet` seconds; returns that text."""
        last, since = object(), time.monotonic()
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            now = self.read()
            if now != last:
                last, since = now, time.monotonic()
            elif time.monotonic() - since >= quiet:
                return now
            time.sleep(0.1)
        raise CheckFailed(f"the clipboard kept changing for {timeout} s (last: {shorten(last)})")

    def stays(self, expected, seconds):
        """Reads for `seconds` and fails at the first read that is not `expected`."""
        stays_reading(self.read, expected, seconds)

    def close(self):
        for child in self.children:
            end_process(child, grace=1.0)
        self.children = []
        self.x.close()


# --- The program ------------------------------------------------------------------------

class Program:
    """The real program with its own program folder (TALLOWIN_HOME) and working
    folder inside `scratch`; its output goes to a log that failures print."""

    def __init__(self, executable, scratch, args=()):
        self.executable = executable
        self.scratch = scratch
        self.args = list(args)
        self.home = os.path.join(scratch, "home") + "/"
        self.cwd = os.path.join(scratch, "cwd")
        self.log_path = os.path.join(scratch, "program.log")
        self.env = {}  # added to the environment the program starts with
        self.prefix = []  # a command the program runs under, such as prlimit (it must exec the program)
        self.proc = None

    def start(self):
        os.makedirs(self.home, exist_ok=True)
        os.makedirs(self.cwd, exist_ok=True)
        env = dict(os.environ, TALLOWIN_HOME=self.home, QT_QPA_PLATFORM="xcb")
        # Without a session bus, the window's accessibility bridge has libdbus fork
        # a bus launcher; in a sanitized program that child can hang on a lock held
        # by another thread at the fork, and the window's event loop with it. A bus
        # address that does not exist fails at once instead. (The accessibility
        # tests run under a bus of their own and keep its address.)
        env.setdefault("DBUS_SESSION_BUS_ADDRESS", f"unix:path={self.scratch}/no-session-bus")
        env.update(self.env)
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen(self.prefix + [self.executable] + self.args, cwd=self.cwd, env=env,
                                         stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        return self

    def stop(self):
        end_process(self.proc)

    def sanitizer_findings(self):
        """The lines of the program's output in which AddressSanitizer or
        UndefinedBehaviorSanitizer reported a fault (a sanitizer build writes them
        to standard error, which goes to the log)."""
        return [line for line in self.log().splitlines() if SANITIZER_REPORT.search(line)]

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def log(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read().decode("utf-8", "replace")
        except OSError:
            return ""

    def windows_titled(self, title=MAIN_TITLE):
        """Ids of the visible windows whose title is exactly `title` (the splash and
        a message box carry the program's title too)."""
        status, out = run_tool(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"])
        return [int(w) for w in out.split()] if status == 0 else []

    def find_main_window(self, timeout=10):
        """The id of the main window: the one visible window with the program's
        title that has a border (the splash has none)."""
        def probe():
            check(self.running(), f"the program ended (exit status {self.proc.poll()})")
            framed = [w for w in self.windows_titled() if not is_borderless(w)]
            return framed[0] if len(framed) == 1 else None
        return wait_for(probe, timeout, interval=0.2, what=f"a visible framed window titled {MAIN_TITLE!r}")

    def find_splash(self, timeout=10):
        """The id of the splash: the one visible borderless window with the program's title."""
        def probe():
            check(self.running(), f"the program ended (exit status {self.proc.poll()})")
            borderless = [w for w in self.windows_titled() if is_borderless(w)]
            return borderless[0] if len(borderless) == 1 else None
        return wait_for(probe, timeout, interval=0.1, what=f"a visible borderless window titled {MAIN_TITLE!r}")

    def wait_for_splash_to_close(self, timeout=10):
        wait_for(lambda: not [w for w in self.windows_titled() if is_borderless(w)], timeout, interval=0.2,
                 what="the borderless splash window to close")

    def press(self, window, key):
        """Gives `window` the keyboard focus and types `key` into it."""
        status, _ = run_tool(["xdotool", "windowfocus", "--sync", str(window)])
        check(status == 0, f"could not focus window {window}")
        status, _ = run_tool(["xdotool", "key", "--window", str(window), key])
        check(status == 0, f"xdotool could not send {key}")


def geometry(window, timeout=10):
    """(x, y, width, height) of a window, from xwininfo; fails when xwininfo gives no answer in time."""
    status, out = run_tool(["xwininfo", "-id", str(window)], timeout=timeout)
    check(status == 0, f"xwininfo gave no answer for window {window} within {timeout} s")
    fields = {}
    for line in out.splitlines():
        key, _, value = line.strip().partition(":")
        fields[key] = value.strip()
    return (int(fields["Absolute upper-left X"]), int(fields["Absolute upper-left Y"]),
            int(fields["Width"]), int(fields["Height"]))


def is_borderless(window):
    """Whether the window asks the window manager for no decorations: a splash
    window (which window managers draw without a frame and keep off the taskbar)
    or one whose Motif hints turn the decorations off."""
    status, out = run_tool(["xprop", "-id", str(window), "_NET_WM_WINDOW_TYPE"])
    if status == 0 and "=" in out and out.split("=", 1)[1].split(",")[0].strip() == "_NET_WM_WINDOW_TYPE_SPLASH":
        return True
    status, out = run_tool(["xprop", "-id", str(window), "_MOTIF_WM_HINTS"])
    if status != 0 or "=" not in out:
        return False
    values = [int(v.strip(), 16) for v in out.split("=", 1)[1].split(",")]
    flags, decorations = values[0], values[2]
    return bool(flags & 2) and decorations == 0


# --- Screenshots ------------------------------------------------------------------------

def screenshot_folder():
    folder = os.environ.get("TALLOWIN_SCREENSHOTS")
    if not folder:
        folder = tempfile.mkdtemp(prefix="tallowin-screens-")
        os.environ["TALLOWIN_SCREENSHOTS"] = folder
    os.makedirs(folder, exist_ok=True)
    return folder


def screenshot(name):
    """The whole screen as PNG; returns its path."""
    path = os.path.join(screenshot_folder(), name + ".png")
    status, _ = run_tool(["import", "-window", "root", path], timeout=30)
    check(status == 0, f"import could not take the screenshot {path}")
    print(f"screenshot: {path}", flush=True)
    return path


class Picture:
    """An RGB picture read from an image file (through ImageMagick's PPM output)."""

    def __init__(self, path):
        data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], stdout=subprocess.PIPE,
                              check=True, timeout=30).stdout
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            start = pos
            while not data[pos:pos + 1].isspace():
                pos += 1
            fields.append(data[start:pos])
        check(fields[0] == b"P6" and fields[3] == b"255", f"unexpected PPM header {fields}")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def region(self, x, y, width, height):
        """The pixels of a rectangle, clipped to the picture, row by row."""
        x0, y0 = max(0, x), max(0, y)
        x1, y1 = min(self.width, x + width), min(self.height, y + height)
        return [self.pixel(px, py) for py in range(y0, y1) for px in range(x0, x1)]


# --- Running a test file ------------------------------------------------------------------

def screen_size():
    x = xdisplay.Display()
    try:
        screen = x.screen()
        return screen.width_in_pixels, screen.height_in_pixels
    finally:
        x.close()


def ensure_display():
    """Without DISPLAY, or on a screen too small for the main window to grow
    (an Xvfb started with a small -screen), runs this script again under its own Xvfb
    and exits with its status."""
    if os.environ.get("DISPLAY"):
        width, height = screen_size()
        if width >= 1024 and height >= 768:
            return
        print(f"the screen is {width}x{height}; running again on an Xvfb screen of {SCREEN}", flush=True)
    xvfb_run = shutil.which("xvfb-run")
    if not xvfb_run:
        print("xvfb-run is missing", file=sys.stderr)
        sys.exit(1)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XAUTHORITY")}
    args = [xvfb_run, "-a", "-s", f"-screen 0 {SCREEN}", sys.executable, os.path.abspath(sys.argv[0])]
    sys.exit(subprocess.call(args + sys.argv[1:], env=env))


@contextlib.contextmanager
def session(executable, args=()):
    """A scratch folder, a clipboard and a not yet started program; all ended afterwards."""
    scratch = tempfile.mkdtemp(prefix="tallowin-e2e-")
    clipboard = Clipboard(scratch)
    program = Program(executable, scratch, args)
    try:
        yield program, clipboard
        # A sanitizer build reports faults on standard error and may go on (or
        # end the program); either way the session fails.
        program.stop()
        findings = program.sanitizer_findings()
        check(not findings, "the program reported sanitizer findings:\n" + "\n".join(findings[:20]))
    except BaseException:
        log = program.log()
        print("---- program output ----\n" + (log[-4000:] if log else "(none)") + "\n------------------------",
              flush=True)
        raise
    finally:
        program.stop()
        clipboard.close()
        shutil.rmtree(scratch, ignore_errors=True)


def main(test):
    """Runs test(executable) with the program path from argv[1]; exit 0 only on success."""
    if len(sys.argv) != 2:
        print(f"usage: {sys.argv[0]} PATH-TO-TALLOWIN", file=sys.stderr)
        sys.exit(2)
    ensure_display()
    executable = os.path.abspath(sys.argv[1])
    try:
        test(executable)
    except Exception:
        traceback.print_exc()
        print("FAILED", flush=True)
        sys.exit(1)
    print("PASSED", flush=True)
    sys.exit(0)
