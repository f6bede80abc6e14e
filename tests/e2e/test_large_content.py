#!/usr/bin/python3
"""Multi-megabyte copies: the write-back is exact and the window keeps working.

- A 20 MB text on one line and a 20 MB text in lines of 100 characters come
  back whole, wrapped in "[" and "]".
- Right after each, the next small copy is processed within the usual waiting
  time (a window still busy laying out the large text would miss it).
- After a 3000 x 2000 PNG, the next copy is processed within the usual waiting time.
- The screenshot shows the text page with the note that only the text's
  beginning is in the view.

Usage: test_large_content.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import struct
import subprocess
import sys
import time
import zlib

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, main, run_tool, screenshot, session, step  # noqa: E402

PNG_SIZE = (3000, 2000)
ARGS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]


def text_of(size, line):
    body = "".join(chr(ord("a") + k % 26) for k in range(60)) + " Grüße € "
    if line:
        unit = body[: line - 1] + "\n"
        return (unit * (size // len(unit) + 1))[:size]
    return (body * (size // len(body) + 1))[:size]


def png_of(width, height):
    rows = [b"\x00" + bytes((x ^ y) & 0xFF for x in range(width * 3)) for y in range(height)]
    raw = b"".join(rows)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(raw, 1)) + chunk(b"IEND", b""))


def png_size_on_clipboard():
    data = subprocess.run(["xclip", "-selection", "clipboard", "-o", "-t", "image/png"], stdout=subprocess.PIPE,
                          timeout=60).stdout
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    return struct.unpack(">II", data[16:24])


def test(executable):
    with session(executable, ARGS) as (program, clipboard):
        program.start()
        program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=10)

        for name, text in (("20 MB on one line", text_of(20_000_000, 0)),
                           ("20 MB in lines of 100", text_of(20_000_000, 100))):
            step(f"a text of {name} comes back whole")
            clipboard.copy(text)
            clipboard.wait_until_taken(timeout=60)
            status, out = run_tool(["xclip", "-selection", "clipboard", "-o"], timeout=60)
            check(status == 0 and out == "[" + text + "]",
                  f"the write-back of {name} is not the wrapped text ({len(out or '')} characters read)")
            del out
            step("the next small copy is processed as usual")
            clipboard.copy(f"after {name}")
            clipboard.wait_for_write_back(f"[after {name}]", timeout=10)

        step("the text view holds the beginning of a large text and says so")
        clipboard.copy(text_of(200_000, 0))
        clipboard.wait_until_taken(timeout=30)
        screenshot("large-text-view")

        step(f"a {PNG_SIZE[0]} x {PNG_SIZE[1]} PNG is taken, and the next copy after it processed")
        path = os.path.join(program.scratch, "big.png")
        with open(path, "wb") as f:
            f.write(png_of(*PNG_SIZE))
        before = clipboard.owner()
        with open(path, "rb") as source:
            child = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i"],
                                     stdin=source, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        clipboard.children.append(child)
        deadline = time.monotonic() + 10
        while clipboard.owner() == before and time.monotonic() < deadline:
            time.sleep(0.02)
        check(clipboard.owner() != before, "xclip did not take the clipboard with the picture")
        # The program reads the picture from xclip; the clipboard still offers it unchanged.
        size = png_size_on_clipboard()
        check(size == PNG_SIZE, f"the clipboard's picture is {size}, not {PNG_SIZE}")
        clipboard.copy("after the picture")
        clipboard.wait_for_write_back("[after the picture]", timeout=10)
        check(program.running(), "the program ended")


if __name__ == "__main__":
    main(test)
