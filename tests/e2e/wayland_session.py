"""A headless sway for the Wayland end-to-end tests and benchmark, with
wl-copy and wl-paste as the other programs.

sway refuses to run as root, so under root it runs as the unprivileged user
WAYLAND_USER (made here when missing) with an XDG_RUNTIME_DIR of its own; root
reaches its socket by the socket's absolute path in WAYLAND_DISPLAY. The
program's window still goes to the X server of DISPLAY (Xvfb): the clipboard is
the compositor's.
"""
import os
import pwd
import shutil
import subprocess
import tempfile

from tallowin_e2e import CheckFailed, end_process, run_tool, stays_reading, wait_for, wait_for_reading

WAYLAND_USER = "tallowin-wl"


def ensure_user():
    try:
        return pwd.getpwnam(WAYLAND_USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", WAYLAND_USER],
                       check=True, timeout=30)
        return pwd.getpwnam(WAYLAND_USER)


class Sway:
    """sway on the headless backend; `display` is its socket path."""

    def __init__(self):
        self.runtime = tempfile.mkdtemp(prefix="tallowin-wl-")
        self.proc = None
        self.display = None

    def start(self):
        config = os.path.join(self.runtime, "config")
        with open(config, "w") as f:
            f.write("xwayland disable\n")
        env = {"PATH": "/usr/bin:/bin", "XDG_RUNTIME_DIR": self.runtime, "WLR_BACKENDS": "headless",
               "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman", "HOME": self.runtime}
        command = ["sway", "-c", config]
        if os.geteuid() == 0:
            user = ensure_user()
            os.chown(self.runtime, user.pw_uid, user.pw_gid)
            os.chown(config, user.pw_uid, user.pw_gid)
            command = ["setpriv", f"--reuid={user.pw_uid}", f"--regid={user.pw_gid}", "--clear-groups"] + command
        os.chmod(self.runtime, 0o700)
        self.log_path = os.path.join(tempfile.gettempdir(), os.path.basename(self.runtime) + ".log")
        with open(self.log_path, "wb") as log:
            self.proc = subprocess.Popen(command, env=env, cwd="/", stdin=subprocess.DEVNULL, stdout=log,
                                         stderr=subprocess.STDOUT)

        def socket():
            if self.proc.poll() is not None:
                raise CheckFailed(f"sway ended at start:\n{self.log()}")
            names = [n for n in os.listdir(self.runtime) if n.startswith("wayland-") and not n.endswith(".lock")]
            return os.path.join(self.runtime, names[0]) if names else None
        self.display = wait_for(socket, 15, what="sway's Wayland socket")
        return self

    def log(self):
        try:
            with open(self.log_path, "rb") as f:
                return f.read().decode("utf-8", "replace")[-3000:]
        except OSError:
            return ""

    def stop(self):
        end_process(self.proc)
        shutil.rmtree(self.runtime, ignore_errors=True)
        try:
            os.unlink(self.log_path)
        except OSError:
            pass


class WaylandClipboard:
    """Copies with wl-copy and reads with wl-paste on `display`; watches the
    selection with the build's wayland_test_client."""

    def __init__(self, display, build_dir):
        self.env = dict(os.environ, WAYLAND_DISPLAY=display)
        self.build_dir = build_dir
        self.children = []

    def copy(self, data, mime=None):
        """Puts `data` (text or bytes) on the clipboard; returns once wl-copy owns the selection."""
        # A type given: without one, wl-copy spends about a second guessing it.
        args = ["wl-copy", "--type", mime or "text/plain;charset=utf-8"]
        payload = data.encode("utf-8") if isinstance(data, str) else data
        # wl-copy leaves a child behind that serves the copy: no pipe may wait for its end.
        with tempfile.TemporaryFile() as source:
            source.write(payload)
            source.seek(0)
            status = subprocess.run(args, stdin=source, env=self.env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL, timeout=10).returncode
        if status != 0:
            raise CheckFailed(f"wl-copy failed with status {status}")

    def read(self, mime=None, timeout=3):
        args = ["wl-paste", "--no-newline"] + (["--type", mime] if mime else [])
        try:
            done = subprocess.run(args, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.DEVNULL, timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        if done.returncode != 0:
            return None
        return done.stdout if mime else done.stdout.decode("utf-8", "replace")

    def types(self):
        status, out = run_tool(["env", f"WAYLAND_DISPLAY={self.env['WAYLAND_DISPLAY']}", "wl-paste",
                                "--list-types"])
        return out.split("\n")[:-1] if status == 0 else []

    def wait_for_text(self, expected, timeout=10):
        wait_for_reading(self.read, expected, timeout, "the Wayland clipboard")

    def stays(self, expected, seconds):
        stays_reading(self.read, expected, seconds)

    def helper(self, *args):
        """Starts the build's wayland_test_client with `args`; its output is a pipe."""
        child = subprocess.Popen([os.path.join(self.build_dir, "wayland_test_client")] + list(args), env=self.env,
                                 stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.children.append(child)
        return child

    def close(self):
        for child in self.children:
            end_process(child, grace=1.0)
        self.children = []


class SelectionWatch:
    """The selection changes as wayland_test_client reports them: (time, "ours"|"foreign")."""

    def __init__(self, clipboard):
        self.child = clipboard.helper("watch")
        os.set_blocking(self.child.stdout.fileno(), False)
        self.buffer = b""
        self.events = []

    def poll(self):
        chunk = self.child.stdout.read()
        if chunk:
            self.buffer += chunk
            *lines, self.buffer = self.buffer.split(b"\n")
            for line in lines:
                stamp, kind = line.decode().split()
                self.events.append((float(stamp), kind))
        return self.events

    def wait_for_count(self, kind, count, timeout=10):
        wait_for(lambda: sum(1 for _, k in self.poll() if k == kind) >= count, timeout, interval=0.005,
                 what=f"{count} selection changes of kind {kind!r}")
