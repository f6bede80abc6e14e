"""Reading the program's window the way a screen reader does: through AT-SPI.

Qt publishes its widgets on the accessibility bus when the program runs with
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 and a D-Bus session bus is there, from which
at-spi-bus-launcher (package at-spi2-core) starts the accessibility bus and
its registry on demand. pyatspi (package python3-pyatspi) reads that bus.

`use_own_bus()` runs the calling script again inside a private session bus
(dbus-run-session), so a test never talks to a desktop's bus and every bus
process ends with the test. Call it first, before `tallowin_e2e.main`.

Also here: copies with xclip of raw bytes under one chosen target
(`copy_bytes`), and pointer clicks with xdotool.
"""
import os
import shutil
import subprocess
import sys
import time

from tallowin_e2e import check, run_tool, shorten, wait_for

OWN_BUS_MARK = "TALLOWIN_E2E_PRIVATE_BUS"
PROGRAM_ENVIRONMENT = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}


def _has_pyatspi(python):
    return subprocess.call([python, "-c", "import pyatspi"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL) == 0


def use_own_bus():
    """Runs this script again under dbus-run-session (once) with an interpreter
    that has pyatspi, and exits with its status; in the run under the private bus
    it returns at once. Also makes programs started afterwards publish their
    widgets (PROGRAM_ENVIRONMENT goes into os.environ)."""
    if os.environ.get(OWN_BUS_MARK) == "1":
        os.environ.update(PROGRAM_ENVIRONMENT)
        return
    runner = shutil.which("dbus-run-session")
    if not runner:
        print("dbus-run-session is missing (Debian package dbus-bin)", file=sys.stderr)
        sys.exit(1)
    python = sys.executable
    if not _has_pyatspi(python):
        # A python of its own in PATH may lack the system's pyatspi.
        python = "/usr/bin/python3"
        if not _has_pyatspi(python):
            print("pyatspi is missing (Debian package python3-pyatspi)", file=sys.stderr)
            sys.exit(1)
    env = {k: v for k, v in os.environ.items() if k != "DBUS_SESSION_BUS_ADDRESS"}
    env[OWN_BUS_MARK] = "1"
    sys.exit(subprocess.call([runner, "--", python, os.path.abspath(sys.argv[0])] + sys.argv[1:], env=env))


def _pyatspi():
    import pyatspi  # only inside the private bus
    return pyatspi


# --- Finding things -----------------------------------------------------------------------

def application(pid, timeout=20):
    """The accessible application object of the process `pid`."""
    desktop = _pyatspi().Registry.getDesktop(0)

    def probe():
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:  # an application that went away while we looked
                continue
        return None

    return wait_for(probe, timeout, interval=0.2,
                    what=f"process {pid} on the accessibility bus (QT_LINUX_ACCESSIBILITY_ALWAYS_ON set?)")


def descendants(root, limit=5000):
    """Every object below `root`, depth first, at most `limit`; table cells are
    left out (read them through `rows`)."""
    found, stack = [], [root]
    while stack and len(found) < limit:
        node = stack.pop()
        found.append(node)
        try:
            role = node.getRoleName()
            count = node.childCount
        except Exception:
            continue
        if role in ("tree", "tree table", "table", "list"):
            continue
        children = []
        for i in range(count):
            try:
                child = node.getChildAtIndex(i)
            except Exception:
                child = None
            if child is not None:
                children.append(child)
        stack.extend(reversed(children))
    return found


def find(root, role, name, timeout=10):
    """The first object below `root` with this role name and accessible name."""
    def probe():
        for node in descendants(root):
            try:
                if node.getRoleName() == role and node.name == name:
                    return node
            except Exception:
                continue
        return None
    return wait_for(probe, timeout, interval=0.3, what=f"a {role} named {name!r}")


def children_named(node):
    """(role name, accessible name) of each child."""
    return [(c.getRoleName(), c.name) for c in (node.getChildAtIndex(i) for i in range(node.childCount))
            if c is not None]


# --- Reading -------------------------------------------------------------------------------

def rows(table):
    """The cells of a list or table, row by row, as texts. A view that is not on
    screen may report no rows (Qt lays out hidden item views lazily)."""
    if hasattr(table, "clear_cache"):
        table.clear_cache()
    t = table.queryTable()
    return [tuple(t.getAccessibleAt(r, c).name for c in range(t.nColumns)) for r in range(t.nRows)]


def selected_rows(table):
    t = table.queryTable()
    return [r for r in range(t.nRows) if t.isRowSelected(r)]


def column_headers(table):
    t = table.queryTable()
    return [t.getColumnDescription(c) for c in range(t.nColumns)]


def column_header(table, column):
    """The header of one column (the first children of a Qt item view are its headers)."""
    header = table.getChildAtIndex(column)
    check(header is not None and header.getRoleName() == "table column header",
          f"child {column} of {table.name!r} is not a column header")
    return header


def column_widths(table):
    """Widths in pixels of the column headers (the first children of a Qt item view)."""
    t = table.queryTable()
    headers = [table.getChildAtIndex(i) for i in range(t.nColumns)]
    check(all(h is not None and h.getRoleName() == "table column header" for h in headers),
          f"the first children of {table.name!r} are not its column headers")
    return [extents(h)[2] for h in headers]


def text_of(node):
    text = node.queryText()
    return text.getText(0, -1)


def extents(node):
    """(x, y, width, height) on the screen."""
    box = node.queryComponent().getExtents(_pyatspi().DESKTOP_COORDS)
    return box.x, box.y, box.width, box.height


def cell_centre(table, row, column):
    """Screen position of the middle of one cell."""
    cell = table.queryTable().getAccessibleAt(row, column)
    x, y, width, height = extents(cell)
    check(width > 0 and height > 0, f"cell {row},{column} has no area on the screen ({width}x{height})")
    return x + width // 2, y + height // 2


def showing(node):
    if hasattr(node, "clear_cache"):
        node.clear_cache()
    return node.getState().contains(_pyatspi().STATE_SHOWING)


# --- Acting ---------------------------------------------------------------------------------

def pointer():
    """(x, y) of the pointer on the screen."""
    status, out = run_tool(["xdotool", "getmouselocation", "--shell"])
    check(status == 0, "xdotool could not read the pointer position")
    fields = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(fields["X"]), int(fields["Y"])


_last_click = [0.0]
DOUBLE_CLICK_GAP = 0.6  # above Qt's default double-click interval (400 ms)


def click(x, y, count=1):
    """Moves the pointer to (x, y) and clicks the left button `count` times
    (two make a double click). Clicks made one after the other are spaced so
    that two of them never make a double click."""
    wait = _last_click[0] + DOUBLE_CLICK_GAP - time.monotonic()
    if wait > 0:
        time.sleep(wait)
    # Not `mousemove --sync`: that waits for a motion and so hangs when the
    # pointer is already there.
    status, _ = run_tool(["xdotool", "mousemove", str(x), str(y)])
    check(status == 0, f"xdotool could not move the pointer to {x},{y}")
    wait_for(lambda: pointer() == (x, y), 5, interval=0.05, what=f"the pointer to reach {x},{y}")
    status, _ = run_tool(["xdotool", "click", "--repeat", str(count), "--delay", "60", "1"])
    _last_click[0] = time.monotonic()
    check(status == 0, "xdotool could not click")


def click_on(node, count=1):
    x, y, width, height = extents(node)
    check(width > 0 and height > 0, f"{node.getRoleName()} {node.name!r} has no area on the screen")
    click(x + width // 2, y + height // 2, count)


# --- Copies of one target ----------------------------------------------------------------------

def copy_bytes(clipboard, data, target):
    """Like Clipboard.copy, for raw bytes offered by xclip under the single target
    `target` (e.g. text/html, image/png). The xclip is ended with the clipboard."""
    clipboard.count += 1
    path = os.path.join(clipboard.scratch, f"copy-{clipboard.count}.bin")
    with open(path, "wb") as f:
        f.write(data)
    before = clipboard.owner()
    child = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", target, "-i", path],
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    clipboard.children.append(child)
    wait_for(lambda: clipboard.owner() != before or child.poll() is not None, 10,
             what=f"xclip to take CLIPBOARD with {target} {shorten(data)}")
    clipboard.copier = clipboard.owner() if child.poll() is None else 0
    clipboard.copier_child = child
    return child
