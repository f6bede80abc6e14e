#!/usr/bin/python3
"""The capture pass on the real X11 clipboard, end to end.

Start-up: a borderless 380x235 splash, then the main window, both centred.

The program runs with add-text on ("[" in front, "]" behind), set from the
command line, which takes effect when the main window first shows. Then:
- the content present at start is processed with the start-up settings, so
  "pre" is not wrapped;
- a copy of "abc" comes back as "[abc]", and the program's own write-back is not
  captured again ("[x]", never "[[x]]");
- F3 switches capturing off (a copy stays as it was) and on again;
- text saving, also switched on from the command line, saves each processed
  copy (as written back) and nothing for the start content or while capturing
  is off.

Usage: test_capture_spine.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import (CheckFailed, Picture, check, geometry, main, screen_size,  # noqa: E402
                          screenshot, screenshot_folder, session, step, wait_for)

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]


def distinct_colours(picture, box):
    return len(set(picture.region(*box)))


def check_centred(name, window, expected_size=None):
    x, y, width, height = geometry(window)
    print(f"{name} {window}: {width}x{height} at {x},{y}", flush=True)
    if expected_size:
        check((width, height) == expected_size, f"the {name} is {width}x{height}, not {expected_size}")
    screen_width, screen_height = screen_size()
    check(abs(x - (screen_width - width) / 2) <= 1 and abs(y - (screen_height - height) / 2) <= 1,
          f"the {name} at {x},{y} ({width}x{height}) is not centred on the {screen_width}x{screen_height} screen")


def saved_files(folder):
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def wait_for_saved(folder, number, expected_bytes):
    path = os.path.join(folder, f"Clipboard Text {number}.txt")

    def complete():
        try:
            with open(path, "rb") as f:
                return f.read() == expected_bytes
        except OSError:
            return False

    try:
        wait_for(complete, 10, what=f"{path} to hold {expected_bytes!r}")
    except CheckFailed:
        content = open(path, "rb").read() if os.path.exists(path) else None
        raise CheckFailed(f"Clipboard Text {number}.txt holds {content!r}, expected {expected_bytes!r}; "
                          f"files: {saved_files(folder)}") from None


def test(executable):
    with session(executable, ADD_BRACKETS) as (program, clipboard):
        saved = os.path.join(program.scratch, "saved")
        program.args += ["--set", "cb_savetxt=1", "--set", f"savetxt_ordner={saved}"]

        step("start with \"pre\" on the clipboard")
        clipboard.copy("pre")
        program.start()
        started = time.monotonic()

        step("the splash first, then the main window, both centred")
        splash = program.find_splash(timeout=10)
        check_centred("splash", splash, expected_size=(380, 235))
        screenshot("capture-spine-splash")
        window = program.find_main_window(timeout=15)
        print(f"main window visible {time.monotonic() - started:.1f} s after start", flush=True)
        check_centred("main window", window)
        program.wait_for_splash_to_close(timeout=10)
        # The pass over the start content ran with add-text still off; nothing
        # may wrap it later either.
        clipboard.stays("pre", 2.0)
        check(saved_files(saved) == [], f"the start content was saved: {saved_files(saved)}")

        step("screenshot of the main window")
        x, y, width, height = geometry(window)
        shot = screenshot("capture-spine-main-window")
        cropped = os.path.join(screenshot_folder(), "capture-spine-main-window-only.png")
        subprocess.run(["convert", shot, "-crop", f"{width}x{height}+{x}+{y}", "+repage", cropped],
                       check=True, timeout=30)
        print(f"screenshot: {cropped}", flush=True)
        picture = Picture(shot)
        check(distinct_colours(picture, (x, y, width, height)) >= 8,
              "the main window shows (almost) no drawing in the screenshot")

        step("a foreign copy is wrapped once")
        clipboard.copy("abc")
        clipboard.wait_for_write_back("[abc]", timeout=10)
        clipboard.stays("[abc]", 1.0)
        wait_for_saved(saved, 1, b"[abc]")  # Latin-1 only: one byte per character

        step("the write-back is not captured again")
        clipboard.copy("x")
        clipboard.wait_for_write_back("[x]", timeout=10)
        clipboard.stays("[x]", 1.0)
        wait_for_saved(saved, 2, b"[x]")

        step("text beyond ASCII and line breaks survive the round trip")
        clipboard.copy("Grüße €\n𝄞 zwei")
        clipboard.wait_for_write_back("[Grüße €\n𝄞 zwei]", timeout=10)
        wait_for_saved(saved, 3, b"\xef\xbb\xbf" + "[Grüße €\n𝄞 zwei]".encode("utf-8"))

        step("F3 switches capturing off")
        program.press(window, "F3")
        clipboard.copy("off")
        clipboard.wait_for_text("off", timeout=10)
        clipboard.stays("off", 2.0)
        check(len(saved_files(saved)) == 3, f"a file was saved while capturing was off: {saved_files(saved)}")

        step("F3 again switches it back on")
        program.press(window, "F3")
        clipboard.copy("on")
        clipboard.wait_for_write_back("[on]", timeout=10)
        clipboard.stays("[on]", 1.0)
        wait_for_saved(saved, 4, b"[on]")
        check(len(saved_files(saved)) == 4, f"unexpected files: {saved_files(saved)}")

        check(program.running(), "the program ended during the test")
        screenshot("capture-spine-end")


if __name__ == "__main__":
    main(test)
