#!/usr/bin/python3
"""Text with NUL characters keeps every character on X11.

An X11 text carries its length, so a NUL inside it is text like any other. With
search and replace on (a search that matches nothing) and brackets added, a
copy of "abc\\0def" must come back as exactly "[abc\\0def]", and one that starts
with a NUL must still run the text steps. `tallowin formats` then shows the
whole written-back text in the UNICODETEXT row.

Usage: test_text_with_zeros.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, main, run_tool, session, shorten, step, wait_for  # noqa: E402

SETTINGS = ["--set", "cb_suchenersetzen=1", "--set", "act_ers_text_suchen=nowhere", "--set",
            "act_ers_text_ersetzen=x", "--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set",
            "act_textadd_hinten=]"]


def copy_with_printf(clipboard, printf_format):
    """Copies the bytes printf makes of `printf_format` with xclip, the way a shell user would."""
    before = clipboard.owner()
    child = subprocess.Popen(["sh", "-c", f"printf '{printf_format}' | exec xclip -quiet -selection clipboard -i"],
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    clipboard.children.append(child)
    wait_for(lambda: clipboard.owner() != before or child.poll() is not None, 10,
             what=f"xclip to take CLIPBOARD with {printf_format!r}")
    # The owner now, unless a write-back has already replaced xclip (which then ends).
    clipboard.copier = clipboard.owner() if child.poll() is None else 0
    clipboard.copier_child = child


def raw_clipboard_bytes():
    done = subprocess.run(["xclip", "-selection", "clipboard", "-o"], stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=5)
    return done.stdout if done.returncode == 0 else None


def expect_write_back(clipboard, expected):
    clipboard.wait_until_taken(timeout=10)
    seen = []

    def probe():
        now = raw_clipboard_bytes()
        seen.append(now)
        return now == expected

    try:
        wait_for(probe, 10, what=f"the clipboard to hold exactly {expected!r}")
    except Exception:
        print(f"it held, in order: {[shorten(s) for s in dict.fromkeys(seen)]}", flush=True)
        raise


def test(executable):
    with session(executable, SETTINGS) as (program, clipboard):
        program.start()
        program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=10)

        step("abc NUL def comes back whole")
        copy_with_printf(clipboard, "abc\\000def")
        expect_write_back(clipboard, b"[abc\x00def]")

        step("the details of the written-back text show it whole")
        status, out = run_tool([executable, "formats"], timeout=20)
        check(status == 0, f"tallowin formats ended with {status}")
        check("UNICODETEXT\t13\t[abc\\x00def]\n" in out, f"no whole UNICODETEXT row in {out!r}")

        step("a text that starts with NUL still runs the text steps")
        copy_with_printf(clipboard, "\\000lead")
        expect_write_back(clipboard, b"[\x00lead]")
        check(program.running(), "the program ended")


if __name__ == "__main__":
    main(test)
