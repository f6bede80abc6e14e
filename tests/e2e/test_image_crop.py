#!/usr/bin/python3
"""Cropping captured pictures on the real X11 clipboard, end to end.

- Fixed margins: a 300x200 PNG copied with `xclip -t image/png` comes back as
  the inner 250x160 block (left 10, right 40, top 15, bottom 25), pixel for pixel.
- Marquee: with the marquee mode the cut-out dialog opens for the copy; a drag
  scripted with xdotool from picture point (140, 130) to (40, 30) and OK
  crop the picture to those 100x100 pixels.
- The pointer stays inside the picture while dragging: a drag that runs far past
  the picture's bottom-right corner ends on its last pixel, so one column and
  one row stay cut off there.
- Escape, typed with the real key, cancels: after a drag the picture stays whole.
- A second picture copied with xclip while the dialog is open takes the dialog
  over: the dialog shows it, the drag made then crops it, and each copy is
  processed once (one history entry each, one saved file: the newer picture's
  cut-out; the older one is never written over the newer).

Usage: test_image_crop.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import struct
import subprocess
import sys
import time
import zlib

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import (Picture, check, main, run_tool, screenshot, session, step,  # noqa: E402
                          wait_for)

DIALOG_TITLE = "Choose the Cutout with your Mouse"
WIDTH, HEIGHT = 300, 200


def source_pixel(x, y):
    """The colour of the test picture at (x, y): unique for every pixel."""
    return (x % 256, y % 256, (x // 256) * 64 + (y // 256) * 16 + 8)


def other_pixel(x, y):
    """The colour of the second test picture: unlike every pixel of the first."""
    return (255 - x % 256, 128 + y % 64, 200)


def write_png(path, width=WIDTH, height=HEIGHT, pixel=source_pixel):
    rows = b"".join(b"\0" + bytes(v for x in range(width) for v in pixel(x, y)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def copy_picture(clipboard, path):
    """Copies the PNG with a foreground xclip, which ends once another client
    (the program's write-back) takes the selection; returns that xclip."""
    with open(path, "rb") as source:
        child = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i"],
                                 stdin=source, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    clipboard.children.append(child)
    return child


def read_picture(copier, scratch, name):
    """The clipboard's picture once the program has written its result back."""
    wait_for(lambda: copier.poll() is not None, 30, what="the program's write-back to replace the copied picture")
    path = os.path.join(scratch, name + ".png")

    def probe():
        with open(path, "wb") as out:
            status = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"], stdout=out,
                                    stderr=subprocess.DEVNULL, timeout=10).returncode
        return status == 0 and os.path.getsize(path) > 0

    wait_for(probe, 10, what="the clipboard to hand out a PNG")
    return Picture(path)


def check_block(picture, left, top, width, height, pixel=source_pixel):
    check((picture.width, picture.height) == (width, height),
          f"the clipboard picture is {picture.width}x{picture.height}, expected {width}x{height}")
    for x, y in [(0, 0), (width - 1, 0), (0, height - 1), (width - 1, height - 1), (width // 2, height // 3)]:
        got, expected = picture.pixel(x, y), pixel(left + x, top + y)
        check(got == expected, f"pixel {x},{y} is {got}, expected source pixel {left + x},{top + y} = {expected}")


def find_dialog(program):
    """The cut-out dialog. After a drag its title keeps the drag's readout
    ("x:y h:v 0:range") until the language texts are applied again."""
    pattern = f"^({DIALOG_TITLE}|[0-9]+:[0-9]+ [0-9]+:[0-9]+ 0:[0-9]+)$"

    def probe():
        check(program.running(), "the program ended")
        status, out = run_tool(["xdotool", "search", "--onlyvisible", "--name", pattern])
        return int(out.split()[0]) if status == 0 and out.split() else None
    return wait_for(probe, 20, interval=0.2, what="the cut-out dialog to open")


def picture_origin(dialog, width=WIDTH, height=HEIGHT, timeout=0):
    """The screen position of the dialog's picture: its child window of the picture's size."""
    def probe():
        status, out = run_tool(["xwininfo", "-tree", "-id", str(dialog)])
        check(status == 0, "xwininfo -tree failed on the dialog")
        for line in out.splitlines():
            if f" {width}x{height}+" in line:
                absolute = line.strip().split()[-1]  # +X+Y
                x, y = absolute.lstrip("+").split("+")
                return int(x), int(y)
        check(timeout, f"no {width}x{height} child window in the dialog:\n{out}")
        return None
    return probe() if not timeout else wait_for(probe, timeout, what=f"the dialog to show a {width}x{height} picture")


def xdotool(*args):
    status, out = run_tool(["xdotool", *map(str, args)])
    check(status == 0, f"xdotool {' '.join(map(str, args))} failed: {out}")


def drag(origin, start, end, shot=None):
    ox, oy = origin
    xdotool("mousemove", "--sync", ox + start[0], oy + start[1])
    xdotool("mousedown", 1)
    for f in (0.25, 0.5, 0.75, 1.0):
        xdotool("mousemove", ox + start[0] + int((end[0] - start[0]) * f), oy + start[1] + int((end[1] - start[1]) * f))
        run_tool(["sleep", "0.1"])
    if shot:
        screenshot(shot)
    xdotool("mouseup", 1)


def click_ok(dialog):
    """Clicks OK: the rightmost of the dialog's child windows (the picture makes
    its siblings native windows too)."""
    status, out = run_tool(["xwininfo", "-children", "-id", str(dialog)])
    check(status == 0, "xwininfo -children failed on the dialog")
    buttons = []
    for line in out.splitlines():
        fields = line.split()
        if len(fields) >= 2 and fields[-2].count("+") == 2 and "x" in fields[-2]:
            size, ax, ay = fields[-2].split("+")[0], *fields[-1].lstrip("+").split("+")
            w, h = map(int, size.split("x"))
            buttons.append((int(ax) + w, int(ax) + w // 2, int(ay) + h // 2))
    check(buttons, f"no child windows in the dialog:\n{out}")
    _, x, y = max(buttons)
    xdotool("mousemove", "--sync", x, y)
    xdotool("click", 1)


def test(executable):
    fixed = ["--set", "cb_cutimg=1", "--set", "rb_cutimg_direkt=1", "--set", "act_zuschlinks=10",
             "--set", "act_zuschrechts=40", "--set", "act_zuschoben=15", "--set", "act_zuschunten=25"]
    with session(executable, fixed) as (program, clipboard):
        source = os.path.join(program.scratch, "source.png")
        write_png(source)
        program.start()
        program.find_main_window(timeout=20)

        step("fixed margins crop a copied picture")
        copier = copy_picture(clipboard, source)
        check_block(read_picture(copier, program.scratch, "fixed"), 10, 15, 250, 160)

    with session(executable, ["--set", "cb_cutimg=1", "--set", "rb_cutimg_auswahl=1"]) as (program, clipboard):
        source = os.path.join(program.scratch, "source.png")
        write_png(source)
        program.start()
        program.find_main_window(timeout=20)
        # The start form raises the main window on every splash tick until shortly
        # after the splash closes; the dialog must not be covered by it.
        program.wait_for_splash_to_close(timeout=20)
        time.sleep(1.5)

        step("a drag in the cut-out dialog crops to the dragged rectangle")
        copier = copy_picture(clipboard, source)
        dialog = find_dialog(program)
        origin = picture_origin(dialog)
        drag(origin, (140, 130), (40, 30), shot="image-crop-marquee-drag")
        screenshot("image-crop-marquee-released")
        click_ok(dialog)
        check_block(read_picture(copier, program.scratch, "marquee"), 40, 30, 100, 100)

        step("the pointer cannot leave the picture while dragging")
        copier = copy_picture(clipboard, source)
        dialog = find_dialog(program)
        origin = picture_origin(dialog)
        drag(origin, (50, 60), (WIDTH + 400, HEIGHT + 400))
        click_ok(dialog)
        check_block(read_picture(copier, program.scratch, "confined"), 50, 60, WIDTH - 1 - 50, HEIGHT - 1 - 60)

        step("Escape cancels the cut-out: the picture stays whole")
        copier = copy_picture(clipboard, source)
        dialog = find_dialog(program)
        drag(picture_origin(dialog), (20, 20), (120, 90))
        xdotool("windowfocus", "--sync", dialog)
        xdotool("key", "Escape")
        check_block(read_picture(copier, program.scratch, "escape"), 0, 0, WIDTH, HEIGHT)

    saved = ["--set", "cb_saveimg=1", "--set", "saveimg_format=*.png - Portable Network Graphics"]
    with session(executable, ["--set", "cb_cutimg=1", "--set", "rb_cutimg_auswahl=1", *saved]) as (program, clipboard):
        older, newer = os.path.join(program.scratch, "older.png"), os.path.join(program.scratch, "newer.png")
        write_png(older)
        write_png(newer, 240, 160, other_pixel)
        program.start()
        program.find_main_window(timeout=20)
        program.wait_for_splash_to_close(timeout=20)
        time.sleep(1.5)

        step("a picture copied while the dialog is open takes the dialog over")
        copy_picture(clipboard, older)
        dialog = find_dialog(program)
        drag(picture_origin(dialog), (10, 10), (200, 150))
        copier = copy_picture(clipboard, newer)
        origin = picture_origin(dialog, 240, 160, timeout=15)
        screenshot("image-crop-newer-picture")
        drag(origin, (30, 20), (130, 100))
        click_ok(dialog)
        check_block(read_picture(copier, program.scratch, "newer"), 30, 20, 100, 80, other_pixel)
        time.sleep(2)  # a second pass for the newer copy would open the dialog again
        status, out = run_tool(["xdotool", "search", "--onlyvisible", "--name", f"^{DIALOG_TITLE}$|^[0-9]+:"])
        check(status != 0 or not out.split(), "the dialog opened again after OK")
        files = sorted(f for f in os.listdir(program.home) if f.endswith(".png"))
        check(len(files) == 1, f"one picture saved, not {files}")
        check_block(Picture(os.path.join(program.home, files[0])), 30, 20, 100, 80, other_pixel)


if __name__ == "__main__":
    main(test)
