#!/usr/bin/python3
"""The tray icon on a desktop-like X server: a window manager (openbox) and a
system tray host (trayer), on an Xvfb of this test's own.

- The icon appears in the tray once the program runs.
- Its context menu (opened with a right click, walked with the arrow keys as a
  keyboard user would) switches capturing off: a copy stays as copied; and on
  again: the next copy comes back with the front text added.
- "Hide window" hides the main window; a left click on the icon shows it again.
- "Close" ends the program with status 0.
- While the cut-out dialog is open (modal for the main window) the tray stays
  alive: its menu switches capturing; the dialog iconified (with the main
  window) comes back with the main window at a click on the icon; Close from
  the tray ends the program with the dialog still open, status 0.

- The icon is drawn grey while capturing is off, in colour while it is on.

Screenshots: the open tray menu, the main window with the tray, the icon with
capturing off and on.

Usage: test_tray_icon.py PATH-TO-TALLOWIN   (always runs under an Xvfb of its own)
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import (SCREEN, Picture, check, end_process, geometry, main, run_tool, screenshot,  # noqa: E402
                          session, step, wait_for)
from test_image_crop import copy_picture, find_dialog, write_png  # noqa: E402

OWN_SERVER_MARK = "TALLOWIN_TRAY_OWN_X"
TRAY_HEIGHT = 32


def on_own_server():
    """A window manager and a tray would change the desktop of every other suite
    sharing the display: this test always runs on an Xvfb of its own."""
    if os.environ.get(OWN_SERVER_MARK) == "1":
        return
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "XAUTHORITY")}
    env[OWN_SERVER_MARK] = "1"
    args = ["xvfb-run", "-a", "-s", f"-screen 0 {SCREEN}", sys.executable, os.path.abspath(sys.argv[0])]
    sys.exit(subprocess.call(args + sys.argv[1:], env=env))


def desktop_clients():
    for tool in ("openbox", "trayer"):
        check(shutil.which(tool), f"{tool} is missing (scripts/install-deps.sh installs it)")
    # A fresh Xvfb at times refuses the very first client ("Failed to open the
    # display"): start openbox again then. trayer docks itself through the window
    # manager, so it starts once openbox manages the screen. Its strut keeps
    # maximised windows (the cut-out dialog) off the panel, as on a desktop.
    for _ in range(5):
        wm_log = tempfile.TemporaryFile()
        wm = subprocess.Popen(["openbox"], stdout=wm_log, stderr=subprocess.STDOUT)
        wait_for(lambda: "window id #" in run_tool(["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"])[1]
                 or wm.poll() is not None, 20, what="openbox to manage the screen")
        if wm.poll() is None:
            break
        wm_log.seek(0)
        print(f"openbox ended with status {wm.poll()}: {wm_log.read().decode(errors='replace').strip()}", flush=True)
        time.sleep(0.5)
    check(wm.poll() is None, "openbox did not start")
    # trayer, too, at times ends at once or never shows its panel on a busy
    # machine: start it again then, and say why when it never comes up.
    for attempt in range(3):
        tray_log = tempfile.TemporaryFile()
        tray = subprocess.Popen(["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                                 "--height", str(TRAY_HEIGHT), "--SetDockType", "true", "--SetPartialStrut", "true",
                                 "--transparent", "false", "--tint", "0xdddddd"],
                                stdout=tray_log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 15
        while time.monotonic() < deadline and tray.poll() is None and panel_box() is None:
            time.sleep(0.2)
        if tray.poll() is None and panel_box() is not None:
            return [wm, tray]
        end_process(tray)
        tray_log.seek(0)
        print(f"trayer attempt {attempt + 1}: status {tray.poll()}, no panel: "
              f"{tray_log.read().decode(errors='replace').strip()}", flush=True)
    wm.terminate()
    check(False, "trayer did not show its panel")


def panel_box():
    """(x, y, width, height) of trayer's panel (its widest window), or None."""
    status, out = run_tool(["xdotool", "search", "--onlyvisible", "--class", "trayer"])
    if status != 0:
        return None
    boxes = [geometry(int(w)) for w in out.split()]
    boxes = [b for b in boxes if b[3] >= TRAY_HEIGHT - 2]
    return max(boxes, key=lambda b: b[2]) if boxes else None


def tray_area():
    """(x, y, width, height) of trayer's panel."""
    return wait_for(panel_box, 20, what="trayer's panel")


def icon_centre(before_width):
    """The centre of our icon: trayer grows by one icon when it is docked, and
    lays icons out from its left edge in the order they arrived (ours is the only one)."""
    def probe():
        x, y, w, h = tray_area()
        return (x + w // 2, y + h // 2) if w > before_width else None
    return wait_for(probe, 15, what="the icon to dock in the tray")


ACCENT = (0xB3, 0x82, 0x0F)  # the icon's clip and letter while capturing


def accent_pixels(icon, name):
    """Pixels near the accent colour in the icon's square, on a screenshot named `name`."""
    x, y = icon
    region = Picture(screenshot(name)).region(x - 12, y - 12, 24, 24)
    return sum(1 for p in region if all(abs(a - b) <= 24 for a, b in zip(p, ACCENT)))


def click(x, y, button):
    # --sync waits for the pointer to move, so it first leaves the point.
    run_tool(["xdotool", "mousemove", "--sync", str(x // 2), str(y + 200)])
    status, _ = run_tool(["xdotool", "mousemove", "--sync", str(x), str(y), "click", str(button)])
    check(status == 0, f"xdotool could not click button {button} at {x},{y}")


def keys(*names):
    for name in names:
        status, _ = run_tool(["xdotool", "key", name])
        check(status == 0, f"xdotool could not type {name}")
        time.sleep(0.15)


def menu_open_below(x, y):
    """Whether a light menu now stands below the point: the root window under Xvfb is black."""
    picture = Picture(screenshot("tray_probe"))
    region = picture.region(x - 200, y + TRAY_HEIGHT // 2 + 4, 200, 60)
    light = sum(1 for p in region if min(p) > 200)
    return light > len(region) // 2


def choose(icon, *path):
    """Opens the icon's menu with a right click and walks it with the keys `path`."""
    x, y = icon
    click(x, y, 3)
    wait_for(lambda: menu_open_below(x, y), 10, what="the tray menu to open")
    keys(*path)


def test(executable):
    helpers = desktop_clients()
    try:
        before_width = tray_area()[2]
        with session(executable, ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=>"]) as (program, clipboard):
            clipboard.copy("start")
            program.start()
            program.find_main_window(timeout=20)
            program.wait_for_splash_to_close()
            icon = icon_centre(before_width)
            clipboard.copy("a")
            clipboard.wait_for_write_back(">a")
            screenshot("tray_main_window")

            step("the menu switches capturing off and on")
            x, y = icon
            click(x, y, 3)
            wait_for(lambda: menu_open_below(x, y), 10, what="the tray menu to open")
            screenshot("tray_menu")
            keys("Down", "Return")  # the capture switch
            clipboard.copy("off")
            clipboard.stays("off", 1.5)
            grey = accent_pixels(icon, "tray_capture_off")
            check(grey == 0, f"the icon keeps {grey} pixels of its accent colour while capturing is off")
            choose(icon, "Down", "Return")
            clipboard.copy("on")
            clipboard.wait_for_write_back(">on")
            coloured = accent_pixels(icon, "tray_capture_on")
            check(coloured >= 10, f"the icon shows only {coloured} pixels of its accent colour while capturing")

            step("hide and show the window")
            choose(icon, "Down", "Down", "Return")  # "Hide window"
            wait_for(lambda: not program.windows_titled(), 10, what="the main window to hide")
            check(program.running(), "hiding the window ended the program")
            clipboard.copy("hidden")
            clipboard.wait_for_write_back(">hidden")
            click(x, y, 1)
            program.find_main_window(timeout=10)

            step("Close ends the program")
            choose(icon, "Up", "Return")  # the last entry
            wait_for(lambda: program.proc.poll() is not None, 15, what="the program to end after Close")
            status = program.proc.poll()
            check(status == 0, f"the program ended with status {status}")

        marquee = ["--set", "cb_cutimg=1", "--set", "rb_cutimg_auswahl=1"]
        with session(executable, marquee) as (program, clipboard):
            picture = os.path.join(program.scratch, "picture.png")
            write_png(picture)
            program.start()
            main_window = program.find_main_window(timeout=20)
            program.wait_for_splash_to_close()
            icon = icon_centre(before_width)
            x, y = icon
            copy_picture(clipboard, picture)
            dialog = find_dialog(program)

            step("the tray menu works while the cut-out dialog is open")
            for capturing in (False, True):
                click(x, y, 3)
                wait_for(lambda: menu_open_below(x, y), 10, what="the tray menu to open")
                click(x - 150, y + TRAY_HEIGHT // 2 + 10, 1)  # its first entry: the capture switch
                name = "tray_dialog_capture_" + ("on" if capturing else "off")
                wait_for(lambda: (accent_pixels(icon, name) >= 10) == capturing, 10,
                         what=f"the icon to show capturing {'on' if capturing else 'off'} while the dialog is open")

            step("the iconified dialog and window come back with a click on the icon")
            status, _ = run_tool(["xdotool", "windowminimize", "--sync", str(dialog)])
            check(status == 0, "xdotool could not iconify the dialog")
            viewable = lambda w: "IsViewable" in run_tool(["xwininfo", "-id", str(w)])[1]  # noqa: E731
            wait_for(lambda: not viewable(dialog), 10, what="the dialog to be iconified")
            click(x, y, 1)
            wait_for(lambda: viewable(dialog) and viewable(main_window), 10,
                     what="the dialog and the main window to be shown again")
            screenshot("tray_dialog_back")

            step("Close from the tray ends the program while the dialog is open")
            click(x, y, 3)
            wait_for(lambda: menu_open_below(x, y), 10, what="the tray menu to open")
            screenshot("tray_dialog_menu")
            click(x - 150, y + TRAY_HEIGHT // 2 + 56, 1)  # its last entry, Close
            wait_for(lambda: program.proc.poll() is not None, 15, what="the program to end after Close")
            status = program.proc.poll()
            check(status == 0, f"the program ended with status {status}")
    finally:
        for helper in helpers:
            end_process(helper, grace=1.0)


if __name__ == "__main__":
    on_own_server()
    main(test)
