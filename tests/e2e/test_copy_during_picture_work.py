#!/usr/bin/python3
"""Copies made while a large picture is being resized win over its result.

The pixel work of the image steps runs beside the window's events, so a copy
made meanwhile gets its own pass at once, inside the older pass's wait. The
older pass must then write nothing: its result is of a picture the clipboard no
longer holds.

With resizing (to at most 1000 x 1000) and add-text ("[" in front) on:
- a 5790 x 5790 picture is copied and, while its resize runs, a text: the
  clipboard ends up holding "[after", and keeps holding it;
- the same picture again, left alone this time: the result, read back as a
  client reads it (image/png and image/bmp), is the resized picture;
- two pictures copied back to back: the second one's result is what stays.

Usage: test_copy_during_picture_work.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import io
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import accessibility as a11y  # noqa: E402
from tallowin_e2e import check, main, run_tool, session, step, wait_for  # noqa: E402

PYTHON = "/usr/bin/python3"  # Debian's interpreter, which has python3-pil

MAKE_PICTURE = """
import sys
from PIL import Image
side = int(sys.argv[2])
picture = Image.effect_noise((side, side), 64).convert("RGB")
picture.paste((255, 0, 0), (0, 0, side // 2, side // 2))  # a red quarter top left
picture.save(sys.argv[1], compress_level=1)
"""

DESCRIBE = """
import sys
from PIL import Image
picture = Image.open(sys.stdin.buffer).convert("RGB")
w, h = picture.size
print(w, h, *picture.getpixel((w // 8, h // 8)), *picture.getpixel((w - 1 - w // 8, h - 1 - h // 8)))
"""


def make_picture(path, side):
    subprocess.run([PYTHON, "-c", MAKE_PICTURE, path, str(side)], check=True, timeout=120)


def copy_picture(clipboard, path):
    child = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i", path],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    clipboard.children.append(child)
    return child


def describe_clipboard(target):
    """Size and two sample pixels of the clipboard's picture as `target`, or None."""
    reader = subprocess.Popen(["xclip", "-selection", "clipboard", "-t", target, "-o"], stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL)
    done = subprocess.run([PYTHON, "-c", DESCRIBE], stdin=reader.stdout, capture_output=True, text=True,
                          timeout=60)
    reader.wait(timeout=60)
    if done.returncode != 0:
        return None
    return [int(v) for v in done.stdout.split()]


def test(executable):
    settings = ["--set", "cb_resizeimg=1", "--set", "act_sizebenutzer_x=1000", "--set", "act_sizebenutzer_y=1000",
                "--set", "act_sizemethode=Bicubic", "--set", "cb_textadd=1", "--set", "act_textadd_vorne=["]
    with session(executable, settings) as (program, clipboard):
        large = os.path.join(program.scratch, "large.png")
        other = os.path.join(program.scratch, "other.png")
        make_picture(large, 5790)
        make_picture(other, 3000)
        program.start()
        program.find_main_window(timeout=20)
        program.wait_for_splash_to_close(timeout=20)

        history = a11y.find(a11y.application(program.proc.pid), "tree", "History")

        step("a text copied while the large picture is resized wins")
        rows_before = len(a11y.rows(history))
        copy_picture(clipboard, large)
        wait_for(lambda: len(a11y.rows(history)) > rows_before, 30, interval=0.02,
                 what="the history row of the picture")
        clipboard.copy("after")
        clipboard.wait_for_write_back("[after", timeout=60)
        clipboard.stays("[after", 3)  # the older picture's result would replace it

        step("the large picture alone: the result read as image/png and image/bmp")
        child = copy_picture(clipboard, large)
        child.wait(timeout=60)  # xclip ends when the program's write-back takes the selection
        for target in ("image/png", "image/bmp"):
            got = describe_clipboard(target)
            check(got is not None and got[:2] == [1000, 1000], f"{target}: the result is {got}, not 1000 x 1000")
            check(got[2] > 200 and got[3] < 60 and got[4] < 60, f"{target}: the red quarter is gone: {got}")
        check(program.running(), "the program ended")

        step("two pictures back to back: the second one's result stays")
        copy_picture(clipboard, large)
        time.sleep(0.2)
        child = copy_picture(clipboard, other)
        child.wait(timeout=60)
        time.sleep(2)  # the first picture's work would end by now
        got = describe_clipboard("image/png")
        check(got is not None and got[:2] == [1000, 1000], f"the result is {got}, not 1000 x 1000")
        check(program.running(), "the program ended")
        status, _ = run_tool(["xclip", "-selection", "clipboard", "-t", "TARGETS", "-o"])
        check(status == 0, "the clipboard does not answer")


if __name__ == "__main__":
    a11y.use_own_bus()
    main(test)
