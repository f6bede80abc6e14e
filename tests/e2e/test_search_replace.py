#!/usr/bin/python3
"""Search and replace with expressions on the real X11 clipboard, end to end.

- A template replacement in the search-and-replace fields ("[0-9]+" -> "<$0>")
  applies to a real copy: "a12b3" comes back as "a<12>b<3>".
- An expression that cannot be compiled ("a(") leaves the copy unchanged and
  shows the engine's message beside the search field in dark red; the
  screenshot must contain that colour.

Usage: test_search_replace.py PATH-TO-TALLOWIN   (runs under its own Xvfb when DISPLAY is unset)
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import Picture, check, geometry, main, screenshot, session, step  # noqa: E402

ERROR_RED = (127, 28, 23)
EXPRESSIONS = ["--set", "cb_suchenersetzen=1", "--set", "act_ers_text_suchen_regex=1",
               "--set", "act_ers_text_ersetzen_regex=1"]


def count_colour(picture, box, colour):
    return sum(1 for p in picture.region(*box) if p == colour)


def test(executable):
    step("template replacement")
    with session(executable, EXPRESSIONS + ["--set", "act_ers_text_suchen=[0-9]+",
                                            "--set", "act_ers_text_ersetzen=<$0>"]) as (program, clipboard):
        clipboard.copy("start")
        program.start()
        window = program.find_main_window()
        program.wait_for_splash_to_close()
        clipboard.copy("a12b3")
        clipboard.wait_for_text("a<12>b<3>")
        clipboard.copy("no digits")
        clipboard.stays("no digits", 1.0)
        screenshot("search_replace_template")
        check(program.running(), "the program ended")

    step("invalid expression")
    with session(executable, EXPRESSIONS + ["--set", "act_ers_text_suchen=a("]) as (program, clipboard):
        clipboard.copy("start")
        program.start()
        window = program.find_main_window()
        program.wait_for_splash_to_close()
        clipboard.copy("abc")
        clipboard.stays("abc", 1.5)
        picture = Picture(screenshot("search_replace_error"))
        x, y, width, height = geometry(window)
        # The mark stands beside the search field in the lower half of the window.
        reds = count_colour(picture, (x, y + height // 2, width, height // 2), ERROR_RED)
        check(reds >= 10, f"expected the dark red error mark in the actions area, found {reds} pixels of it")
        check(program.running(), "the program ended")


if __name__ == "__main__":
    main(test)
