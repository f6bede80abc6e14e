#!/usr/bin/python3
"""How long the window stops answering while it processes a large picture.

The program runs with resizing on (largest size 1000 x 1000). A helper asks the
main window for its position over the accessibility bus (AT-SPI) every 5 ms;
the program answers such a call on its GUI thread, so the longest call is the
longest time the window could not repaint or take a key. Each round copies one
picture with xclip (image/png) and waits until the program has written back
the resized picture, which is read back and checked for its size; then a
client reads image/png of the result, as a clipboard manager would.

Two pictures per round, interleaved round by round: "large" is 5790 x 5790
(the largest side a step accepts at 1 GiB) of grey noise, "small" 600 x 600
(left as it is by the rules). Prints, per picture, the longest stall of each
round (min/median/max over the rounds) and the ratio large/small, which says
what a large picture adds to what any pass costs the window. One warm-up round
of each picture is not counted.

Requires xclip, python3-pil, python3-pyatspi and dbus-run-session; runs under
its own Xvfb when DISPLAY is unset.

Usage: bench/window_stall.py PATH-TO-TALLOWIN [--runs N]   (N >= 5, default 5)
"""
import argparse
import os
import statistics
import struct
import subprocess
import sys
import threading
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import accessibility as a11y  # noqa: E402

LIMIT = 1000
SIDES = {"large": 5790, "small": 600}


def make_picture(path, side):
    """Grey noise: it compresses to about 50 MB at 5790 x 5790, within what the
    program reads of one type (64 MiB), yet decodes and scales like a photo."""
    from PIL import Image
    Image.effect_noise((side, side), 64).convert("RGB").save(path, compress_level=1)


def png_size(data):
    if len(data) < 24 or data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", data[16:24])


def read_png():
    done = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"],
                          capture_output=True, timeout=60)
    return done.stdout if done.returncode == 0 else b""


class Prober:
    """Calls the window over AT-SPI without pause and keeps the longest call."""

    def __init__(self, component):
        self.component = component
        self.longest = 0.0
        self.running = True
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def run(self):
        while self.running:
            started = time.monotonic()
            self.component.getExtents(0)
            self.longest = max(self.longest, time.monotonic() - started)
            time.sleep(0.005)

    def take(self):
        longest, self.longest = self.longest, 0.0
        return longest

    def stop(self):
        self.running = False
        self.thread.join()


def one_round(clipboard, prober, path, side):
    expected = (side, side) if side <= LIMIT else (LIMIT, LIMIT)
    prober.take()
    child = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i", path],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    clipboard.children.append(child)
    # xclip ends when it loses the selection: to the program's write-back.
    try:
        child.wait(timeout=120)
    except subprocess.TimeoutExpired:
        raise SystemExit(f"no write-back of the {side} x {side} picture within 120 s")
    got = png_size(read_png())
    if got != expected:
        raise SystemExit(f"the {side} x {side} picture came back as {got}, expected {expected}")
    time.sleep(0.3)  # what the write-back leaves to do on the window's thread
    return prober.take()


def bench(executable, runs):
    from tallowin_e2e import session
    args = ["--set", "cb_resizeimg=1", "--set", f"act_sizebenutzer_x={LIMIT}",
            "--set", f"act_sizebenutzer_y={LIMIT}", "--set", "act_sizekleiner=0"]
    stalls = {name: [] for name in SIDES}
    with session(executable, args) as (program, clipboard):
        paths = {}
        for name, side in SIDES.items():
            paths[name] = os.path.join(program.scratch, f"{name}.png")
            make_picture(paths[name], side)
        program.start()
        program.find_main_window(timeout=20)
        program.wait_for_splash_to_close(timeout=20)
        app = a11y.application(program.proc.pid)
        prober = Prober(app.getChildAtIndex(0).queryComponent())
        try:
            for round_number in range(runs + 1):
                for name, side in SIDES.items():
                    stall = one_round(clipboard, prober, paths[name], side)
                    if round_number > 0:
                        stalls[name].append(stall)
        finally:
            prober.stop()
    return stalls


def describe(values, unit=1000.0, suffix=" ms"):
    return (f"min {min(values) * unit:8.1f}{suffix}  median {statistics.median(values) * unit:8.1f}{suffix}"
            f"  max {max(values) * unit:8.1f}{suffix}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("executable")
    parser.add_argument("--runs", type=int, default=5)
    options = parser.parse_args()
    if options.runs < 5:
        parser.error("--runs must be at least 5")
    a11y.use_own_bus()
    from tallowin_e2e import ensure_display
    ensure_display()
    stalls = bench(os.path.abspath(options.executable), options.runs)
    print(f"longest stall of the window per pass ({options.runs} rounds, after one warm-up round)")
    for name, side in SIDES.items():
        print(f"  {name:5} {side} x {side}: {describe(stalls[name])}")
    ratios = [large / small for large, small in zip(stalls["large"], stalls["small"]) if small > 0]
    if ratios:
        print(f"  ratio large/small:   {describe(ratios, 1.0, '')}")


if __name__ == "__main__":
    main()
