#!/usr/bin/python3
"""The capture pass on a Wayland compositor's clipboard (data-control), end to
end: a headless sway, wl-copy and wl-paste as the other programs, the program
started with WAYLAND_DISPLAY set (its window goes to Xvfb).

- The content present at start is processed with the start-up settings ("pre"
  is not wrapped).
- A copied "a" comes back as "[a]" exactly once: one write-back, no second pass
  over it, one saved file.
- 200 copies back to back, each made as soon as the one before was written
  back, are each processed once: 200 write-backs, 200 files, each "[copy N]".
- An owner that offers text and never writes holds nothing up: a copy made
  right after it, and one made after its read has given up, are processed.
- `tallowin run` with no X display at all captures on the Wayland clipboard
  ("w" comes back as "[w]") and ends with status 0 on SIGTERM.
- A PNG copied as image/png is listed by `tallowin formats` as BITMAP 2, and
  with resizing on it comes back as a smaller PNG, saved as
  "Clipboard Image 1.png" at that size.
- A Wayland display without data-control: the program says so once on standard
  error and in the window's status line, and watches the X11 clipboard instead.

Usage: test_wayland_capture.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import (CheckFailed, check, end_process, main, run_tool, screenshot, session,  # noqa: E402
                          step, wait_for)
from wayland_session import Sway, SelectionWatch, WaylandClipboard  # noqa: E402

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
QUICK_COPIES = int(os.environ.get("TALLOWIN_WAYLAND_COPIES", 200))
LIVENESS = 10


def saved_texts(folder):
    """The saved files by number: {N: content}."""
    texts = {}
    for name in os.listdir(folder) if os.path.isdir(folder) else []:
        if name.startswith("Clipboard Text ") and name.endswith(".txt"):
            with open(os.path.join(folder, name), "rb") as f:
                texts[int(name[len("Clipboard Text "):-4])] = f.read().decode("utf-8", "replace")
    return texts


def png_size(data):
    check(data[:8] == b"\x89PNG\r\n\x1a\n", f"not a PNG: {data[:16]!r}")
    return int.from_bytes(data[16:20], "big"), int.from_bytes(data[20:24], "big")


def text_scenarios(executable, sway, build_dir):
    with session(executable, ADD_BRACKETS) as (program, _x11):
        saved = os.path.join(program.scratch, "saved")
        program.args += ["--set", "cb_savetxt=1", "--set", f"savetxt_ordner={saved}"]
        clipboard = WaylandClipboard(sway.display, build_dir)
        try:
            step("start with \"pre\" on the Wayland clipboard")
            clipboard.copy("pre")
            os.environ["WAYLAND_DISPLAY"] = sway.display
            program.start()
            program.find_main_window(timeout=15)
            program.wait_for_splash_to_close(timeout=LIVENESS)
            clipboard.stays("pre", 1.5)
            check(saved_texts(saved) == {}, f"the start content was saved: {saved_texts(saved)}")
            watch = SelectionWatch(clipboard)
            watch.wait_for_count("foreign", 1)  # the selection present when the watcher connects

            step("a copied \"a\" comes back as \"[a]\" exactly once")
            clipboard.copy("a")
            watch.wait_for_count("ours", 1, timeout=LIVENESS)
            clipboard.wait_for_text("[a]", timeout=LIVENESS)
            clipboard.stays("[a]", 1.0)
            kinds = [k for _, k in watch.poll()]
            check(kinds == ["foreign", "foreign", "ours"], f"selection changes after the copy: {kinds}")
            check(saved_texts(saved) == {1: "[a]"}, f"saved files: {saved_texts(saved)}")
            check(program.running(), "the program ended")

            step(f"{QUICK_COPIES} copies back to back are each processed once")
            started = time.monotonic()
            for i in range(QUICK_COPIES):
                clipboard.copy(f"copy {i}")
                watch.wait_for_count("ours", 2 + i, timeout=LIVENESS)
            print(f"{QUICK_COPIES} copies processed in {time.monotonic() - started:.1f} s", flush=True)
            clipboard.wait_for_text(f"[copy {QUICK_COPIES - 1}]", timeout=LIVENESS)
            wait_for(lambda: len(saved_texts(saved)) >= QUICK_COPIES + 1, LIVENESS, what="every file saved")
            time.sleep(1.0)
            texts = saved_texts(saved)
            expected = {1: "[a]", **{i + 2: f"[copy {i}]" for i in range(QUICK_COPIES)}}
            wrong = {n: t for n, t in texts.items() if expected.get(n) != t}
            check(not wrong and len(texts) == len(expected),
                  f"{len(texts)} files for {len(expected)} copies; not as expected: {dict(list(wrong.items())[:5])}")
            kinds = [k for _, k in watch.poll()]
            check(kinds.count("ours") == QUICK_COPIES + 1,
                  f"{kinds.count('ours')} write-backs for {QUICK_COPIES + 1} copies")

            step("an owner that never writes holds nothing up")
            hung = clipboard.helper("hang", "text/plain;charset=utf-8", "text/plain")
            check(hung.stdout.readline().strip() == b"ready", "the hanging owner did not take the selection")
            clipboard.copy("right after")
            clipboard.wait_for_text("[right after]", timeout=LIVENESS)
            hung = clipboard.helper("hang", "text/plain;charset=utf-8", "text/plain")
            check(hung.stdout.readline().strip() == b"ready", "the hanging owner did not take the selection")
            time.sleep(2.0)  # its read gives up after about a second; nothing was written back
            check(clipboard.read(timeout=1) is None, "the hanging owner's content was replaced")
            began = time.monotonic()
            clipboard.copy("after the hang")
            clipboard.wait_for_text("[after the hang]", timeout=LIVENESS)
            print(f"the copy after the hang was written back within {time.monotonic() - began:.2f} s", flush=True)
            check(program.running(), "the program ended")
            screenshot("wayland-capture-text")
        finally:
            clipboard.close()
            os.environ.pop("WAYLAND_DISPLAY", None)


def windowless_scenario(executable, sway, build_dir):
    with session(executable) as (program, _x11):
        clipboard = WaylandClipboard(sway.display, build_dir)
        saved_display = os.environ.pop("DISPLAY", None)
        try:
            step("tallowin run on Wayland alone (no X display at all)")
            os.environ["WAYLAND_DISPLAY"] = sway.display
            # Started by hand: the harness would pin Qt to xcb, which needs the X display.
            os.makedirs(program.home, exist_ok=True)
            os.makedirs(program.cwd, exist_ok=True)
            env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "QT_QPA_PLATFORM")}
            env["TALLOWIN_HOME"] = program.home
            with open(program.log_path, "wb") as log:
                program.proc = subprocess.Popen([executable, "run"] + ADD_BRACKETS, cwd=program.cwd, env=env,
                                                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
            wait_for(lambda: "capturing" in program.log() or not program.running(), 20,
                     what="the run to start capturing")
            check(program.running(), "the run ended at start")
            clipboard.copy("w")
            clipboard.wait_for_text("[w]", timeout=LIVENESS)
            clipboard.stays("[w]", 1.0)
            program.proc.send_signal(15)
            check(program.proc.wait(timeout=20) == 0, "the run did not end with status 0 on SIGTERM")
        finally:
            if saved_display is not None:
                os.environ["DISPLAY"] = saved_display
            clipboard.close()
            os.environ.pop("WAYLAND_DISPLAY", None)


def image_scenarios(executable, sway, build_dir):
    settings = ["--set", "cb_resizeimg=1", "--set", "act_sizebenutzer_x=40", "--set", "act_sizebenutzer_y=40"]
    with session(executable, settings) as (program, _x11):
        clipboard = WaylandClipboard(sway.display, build_dir)
        try:
            picture = os.path.join(program.scratch, "picture.png")
            subprocess.run(["convert", "-size", "160x80", "xc:#2060c0", picture], check=True, timeout=30)
            with open(picture, "rb") as f:
                png = f.read()

            step("a PNG copied as image/png is listed as BITMAP 2")
            clipboard.copy(png, mime="image/png")
            env_display = {"WAYLAND_DISPLAY": sway.display}
            status, out = run_tool(["env", *[f"{k}={v}" for k, v in env_display.items()], executable, "formats"],
                                   timeout=20)
            check(status == 0 and out == "BITMAP\t2\t\n", f"tallowin formats: status {status}, {out!r}")

            step("with resizing and saving on, a copied picture comes back smaller and is saved")
            images = os.path.join(program.scratch, "images")
            program.args += ["--set", "cb_saveimg=1", "--set", f"saveimg_ordner={images}/",
                             "--set", "saveimg_format=*.png - Portable Network Graphics"]
            os.environ["WAYLAND_DISPLAY"] = sway.display
            program.start()
            program.find_main_window(timeout=15)
            program.wait_for_splash_to_close(timeout=LIVENESS)
            clipboard.copy(png, mime="image/png")
            wait_for(lambda: "image/png" in clipboard.types() and png_size(clipboard.read("image/png")) == (40, 20),
                     LIVENESS, interval=0.2, what="the picture to come back at 40x20")
            status, out = run_tool(["env", f"WAYLAND_DISPLAY={sway.display}", executable, "formats"], timeout=20)
            check(out == "BITMAP\t2\t\n", f"the written-back picture is listed as {out!r}")
            saved = os.path.join(images, "Clipboard Image 1.png")
            wait_for(lambda: os.path.exists(saved), LIVENESS, what=f"{saved} to be written")
            with open(saved, "rb") as f:
                check(png_size(f.read()) == (40, 20), "the saved picture is not 40x20")
            check(os.listdir(images) == ["Clipboard Image 1.png"], f"files saved: {os.listdir(images)}")
            check(program.running(), "the program ended")
        finally:
            clipboard.close()
            os.environ.pop("WAYLAND_DISPLAY", None)


def fallback_scenario(executable, build_dir):
    with session(executable, ADD_BRACKETS) as (program, x11):
        socket = os.path.join(tempfile.mkdtemp(prefix="tallowin-bare-"), "bare-0")
        bare = subprocess.Popen([os.path.join(build_dir, "bare_wayland_compositor"), socket],
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        try:
            check(bare.stdout.readline().strip() == b"ready", "the bare compositor did not start")
            step("without data-control the program says so once and watches X11")
            os.environ["WAYLAND_DISPLAY"] = socket
            program.start()
            window = program.find_main_window(timeout=15)
            program.wait_for_splash_to_close(timeout=LIVENESS)
            x11.copy("a")
            x11.wait_for_write_back("[a]", timeout=LIVENESS)
            notices = [line for line in program.log().splitlines() if "offers no data-control protocol" in line]
            check(len(notices) == 1, f"the fallback was reported {len(notices)} times: {program.log()[-2000:]}")
            screenshot("wayland-fallback-status")
            check(window in program.windows_titled(), "the main window is gone")
        finally:
            os.environ.pop("WAYLAND_DISPLAY", None)
            end_process(bare)


def test(executable):
    build_dir = os.path.dirname(executable)
    sway = Sway()
    try:
        sway.start()
        text_scenarios(executable, sway, build_dir)
        windowless_scenario(executable, sway, build_dir)
        image_scenarios(executable, sway, build_dir)
    except CheckFailed:
        print("---- sway output ----\n" + sway.log(), flush=True)
        raise
    finally:
        sway.stop()
    fallback_scenario(executable, build_dir)


if __name__ == "__main__":
    main(test)
