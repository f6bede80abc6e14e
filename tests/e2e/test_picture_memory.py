#!/usr/bin/python3
"""Pictures beyond the memory left or the picture budget never end the window.

- A 1x1 PNG copied with a resize to 22500x22500 (2 GB of pixels, beyond the 1 GiB
  a step may make): the step fails at once, the clipboard keeps the picture.
- The same picture resized to 16000x16000 (within the budget) while the program
  runs under an address-space limit of 3 GB (prlimit on its process): the memory
  for the picture runs out somewhere on the way; the step fails, the program
  goes on, and the next text copy is processed.

Under a sanitizer build the address-space limit cannot be used (its shadow
memory alone is larger), so the second part is skipped there.

Usage: test_picture_memory.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import struct
import subprocess
import sys
import time
import zlib

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, main, run_tool, session, step, wait_for  # noqa: E402


def one_pixel_png(path):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 1, 1, 8, 6, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(b"\0\xff\0\0\xff")) + chunk(b"IEND", b""))


def sanitized(executable):
    """Whether the program is built with AddressSanitizer (its runtime linked
    in or loaded: either way the program names the runtime's entry point)."""
    with open(executable, "rb") as f:
        return b"__asan_init" in f.read()


def copy_picture(clipboard, path):
    with open(path, "rb") as source:
        child = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i"],
                                 stdin=source, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    clipboard.children.append(child)
    return child


def clipboard_picture_size():
    status, out = run_tool(["sh", "-c", "xclip -selection clipboard -t image/png -o | head -c 24 | tail -c 8 | od -An -tu1"])
    values = [int(v) for v in out.split()] if status == 0 else []
    if len(values) != 8:
        return None
    return (values[2] << 8 | values[3], values[6] << 8 | values[7])


def test(executable):
    settings = ["--set", "cb_resizeimg=1", "--set", "cb_textadd=1", "--set", "act_textadd_vorne=>"]
    for side, limited in ((22500, False), (16000, True)):
        if limited and sanitized(executable):
            print("SKIP the address-space limit: a sanitizer build cannot run under it", flush=True)
            continue
        size = ["--set", f"act_sizebenutzer_x={side}", "--set", f"act_sizebenutzer_y={side}"]
        with session(executable, settings + size) as (program, clipboard):
            picture = os.path.join(program.scratch, "one.png")
            one_pixel_png(picture)
            program.start()
            program.find_main_window(timeout=20)
            program.wait_for_splash_to_close(timeout=20)
            if limited:
                status, out = run_tool(["prlimit", f"--pid={program.proc.pid}", f"--as={3 * 1000 ** 3}"])
                check(status == 0, f"prlimit failed: {out}")

            step(f"a 1x1 picture resized to {side}x{side}" + (" under a 3 GB address-space limit" if limited else ""))
            started = time.monotonic()
            copy_picture(clipboard, picture)
            time.sleep(0.5)
            if not limited:
                check(clipboard_picture_size() == (1, 1), "the clipboard does not hold the 1x1 picture")

            step("the next copy is processed: the pass over the picture has ended, the program goes on")
            clipboard.copy("after")
            clipboard.wait_for_write_back(">after", timeout=60)
            took = time.monotonic() - started
            check(program.running(), "the program ended")
            if not limited:
                check(took < 10, f"the resize beyond the budget took {took:.1f} s to fail")


if __name__ == "__main__":
    main(test)
