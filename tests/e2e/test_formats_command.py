#!/usr/bin/python3
"""`tallowin formats` against real X11 clipboard owners.

The command prints one row per clipboard format: name, number and value,
separated by tabs, control characters as \\xNN and a backslash doubled.

- xclip with plain text: exactly the row UNICODETEXT 13 with the text;
- xclip with text/html: the target's own name, a registered number (49152 or
  more) and the raw bytes read as Windows-1252, line break and all;
- xclip with a PNG: one BITMAP 2 row with an empty value;
- no owner at all: no rows;
- an owner of our own that offers many targets in a chosen order, meta targets
  among them: the rows follow the owner's order, meta targets are neither
  listed nor asked for, all image targets make one BITMAP row where the first
  of them stands (PIXMAP, a server-side handle, is a registered format whose
  bytes are not read), STRING is TEXT 1 (Latin-1, with the
  zero byte that ends an 8-bit text block), registered numbers count up from
  49152 in order of first sight, the one numbered 49159 is read as UTF-16 (all
  of it: a selection target carries its length, so a zero unit is text), and
  other registered formats keep embedded zero bytes.

Usage: test_formats_command.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import Clipboard, check, main, step, wait_for  # noqa: E402
from accessibility import copy_bytes  # noqa: E402
from selection_owner import SelectionOwner  # noqa: E402

META_TARGETS = {"TARGETS", "MULTIPLE", "TIMESTAMP", "DELETE", "INCR", "SAVE_TARGETS"}


def formats(executable, timeout=20):
    """The rows `tallowin formats` prints, as (name, number, value) tuples."""
    done = subprocess.run([executable, "formats"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=timeout)
    out = done.stdout.decode("utf-8")
    check(done.returncode == 0, f"tallowin formats ended with {done.returncode}: {done.stderr.decode()!r}")
    check(out == "" or out.endswith("\n"), f"the output does not end with a line break: {out!r}")
    rows = [tuple(line.split("\t")) for line in out.splitlines()]
    for row in rows:
        check(len(row) == 3, f"a row without exactly three tab-separated fields: {row!r}")
    print(f"rows: {rows}", flush=True)
    return rows


def png(scratch, size="5x3"):
    path = os.path.join(scratch, "picture.png")
    subprocess.run(["convert", "-size", size, "xc:#2060c0", path], check=True, timeout=30)
    with open(path, "rb") as f:
        return f.read()


def test_xclip_copies(executable, clipboard, scratch):
    step("plain text from xclip")
    clipboard.copy("hi")
    check(formats(executable) == [("UNICODETEXT", "13", "hi")], "plain text is not listed as UNICODETEXT 13 \"hi\"")

    step("text beyond ASCII keeps its characters, a line break shows as \\x0A")
    clipboard.copy("Grüße €\nzwei")
    check(formats(executable) == [("UNICODETEXT", "13", "Grüße €\\x0Azwei")],
          "UTF-8 text is not decoded to the same characters")

    step("text/html from xclip: its name, a registered number and the raw bytes")
    html = b"<b>\xe2\x82\xac \\ x\x81</b>\n"
    copy_bytes(clipboard, html, "text/html")
    rows = formats(executable)
    check(len(rows) == 1 and rows[0][0] == "text/html", f"expected one text/html row, got {rows}")
    name, number, value = rows[0]
    check(number.isdigit() and int(number) >= 49152, f"text/html has the number {number}, not one from 49152 up")
    # Each byte is one Windows-1252 character: the UTF-8 euro sign becomes three,
    # 0x81 stays U+0081 (a control character), the line break stays a line break.
    check(value == "<b>\u00e2\u201a\u00ac \\\\ x\\x81</b>\\x0A",
          f"the value is {value!r}, not the bytes read one by one as Windows-1252")

    step("a PNG from xclip: one BITMAP row with an empty value")
    copy_bytes(clipboard, png(scratch), "image/png")
    check(formats(executable) == [("BITMAP", "2", "")], "a PNG is not listed as BITMAP 2 with an empty value")


def test_many_targets(executable, scratch):
    offers = [
        ("text/html", b"<p>x</p>"),
        ("UTF8_STRING", "grüße\n".encode("utf-8")),
        ("image/png", png(scratch)),
        ("TIMESTAMP", b"\x01\x00\x00\x00"),
        ("application/x-a", b"a"),
        ("image/bmp", b"BM-not-really"),
        ("STRING", b"gr\xfc\xdfe"),
        ("MULTIPLE", b""),
        ("x-b", b"b"),
        ("x-c", b"c"),
        ("x-d", b"d"),
        ("x-e", b"e"),
        ("SAVE_TARGETS", b""),
        ("x-f", b"f"),
        ("x-utf16", "hé".encode("utf-16-le") + b"\0\0" + "zz".encode("utf-16-le")),
        ("x-zero", b"a\x00b"),
        ("PIXMAP", b"\0\0\0\0"),
    ]
    expected = [
        ("text/html", "49152", "<p>x</p>"),
        ("UNICODETEXT", "13", "grüße\\x0A"),
        ("BITMAP", "2", ""),
        ("application/x-a", "49153", "a"),
        ("TEXT", "1", "grüße\\x00"),  # an 8-bit text block ends in its zero byte, shown too
        ("x-b", "49154", "b"),
        ("x-c", "49155", "c"),
        ("x-d", "49156", "d"),
        ("x-e", "49157", "e"),
        ("x-f", "49158", "f"),
        ("x-utf16", "49159", "hé\\x00zz"),
        ("x-zero", "49160", "a\\x00b"),
        ("PIXMAP", "49161", ""),  # a server-side handle, not a picture's bytes: never read
    ]
    owner = SelectionOwner()
    try:
        step("an owner offering seventeen targets, meta targets among them")
        owner.offer(offers)
        wait_for(owner.owns, 5, what="our owner to hold CLIPBOARD")
        rows = formats(executable)
        for i, (got, want) in enumerate(zip(rows, expected)):
            check(got == want, f"row {i} is {got}, expected {want}")
        check(len(rows) == len(expected), f"{len(rows)} rows listed, expected {len(expected)}")
        asked = owner.requested()
        print(f"targets asked for: {asked}", flush=True)
        check("TARGETS" in asked, "the command never asked for TARGETS")
        check(not META_TARGETS.intersection(asked) - {"TARGETS"},
              f"the command asked the owner for meta targets: {sorted(META_TARGETS.intersection(asked))}")
    finally:
        owner.close()

    step("no owner: no rows")
    # Closing our connection destroyed the owner window, which leaves CLIPBOARD without owner.
    clipboard = Clipboard(scratch)
    try:
        wait_for(lambda: clipboard.owner() == 0, 5, what="CLIPBOARD to have no owner")
        check(formats(executable) == [], "a clipboard without owner lists formats")
    finally:
        clipboard.close()


def test(executable):
    scratch = tempfile.mkdtemp(prefix="tallowin-formats-")
    clipboard = Clipboard(scratch)
    try:
        test_xclip_copies(executable, clipboard, scratch)
    finally:
        clipboard.close()
        shutil.rmtree(scratch, ignore_errors=True)
    scratch = tempfile.mkdtemp(prefix="tallowin-formats-")
    try:
        test_many_targets(executable, scratch)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)


if __name__ == "__main__":
    main(test)
