#!/usr/bin/python3
"""History list, content views and details list of the real program, read
through AT-SPI as a screen reader reads them, driven with xclip and xdotool.

The column widths are checked (history 63/44/100, details 100/70/250; the last
column may stretch).

The program runs with add-text on ("[" in front, "]" behind), so every
processed text comes back wrapped. Then:
- a text copy adds a "Text" row to the history (time HH:MM:SS, the preview on
  one line), fills the text view, gives the tabs "Text" and "Details" and lists
  UNICODETEXT 13 in the details list;
- a text of 248 characters is cut to 245 plus "..." in the history, one of 247
  is shown whole;
- a text/html-only copy refills the details list (its registered number, its
  value on one line: line breaks and other control characters as \\xNN) and
  empties the text view, but adds no history row and is not written back;
- an owner offering text and HTML: both rows, the HTML number kept from before,
  a new registered target numbered next;
- a PNG adds an "Image" row "W x H", shows the picture at its natural size on
  the image page (the screenshot's pixels are checked), tabs "Image", "Details",
  and lists BITMAP 2 with an empty value;
- double-clicking the first text row puts its text back on the clipboard, the
  capture pass processes it (it comes back wrapped) and no row is added;
- double-clicking the image row shows the information box and copies nothing;
- a click on another row moves the selection there (downwards and upwards);
- deleting two rows with the Delete key keeps the others' texts reachable:
  double-clicking a later row copies that row's own text;
- column clicks sort both lists with one shared sort state (a repeated column
  toggles the direction, a new one sorts ascending), and a sorted history row
  still copies its own text.

Faults after which the later steps still mean something (column widths,
selection, sorting) are collected and reported together at the end; the steps
after the selection check start from an empty selection so they do not depend
on it.

Screenshots of the main window after the text and after the image capture are
saved (see tallowin_e2e.screenshot).

Usage: test_history_views.py PATH-TO-TALLOWIN   (runs under its own Xvfb and D-Bus session when needed)
"""
import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import (CheckFailed, Picture, check, ensure_display, geometry, main, run_tool, screenshot,  # noqa: E402
                          screenshot_folder, session, shorten, step, wait_for)
import accessibility as a11y  # noqa: E402
from selection_owner import SelectionOwner  # noqa: E402

ADD_BRACKETS = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]"]
TIME = re.compile(r"^\d\d:\d\d:\d\d$")
IMAGE_SIZE = (37, 23)
# The picture copied: left part red, right part blue, so the screenshot shows
# whether the image view draws it unscaled at its top-left corner.
RED, BLUE = (230, 20, 20), (20, 40, 230)
RED_WIDTH = 15


class Window:
    """The accessible objects of the main window that this test reads."""

    def __init__(self, program):
        self.app = a11y.application(program.proc.pid)
        self.history = a11y.find(self.app, "tree", "History")
        self.details = a11y.find(self.app, "tree", "Clipboard formats")
        self.text_view = a11y.find(self.app, "text", "Clipboard text")
        self.image_view = a11y.find(self.app, "label", "Clipboard image")
        tab_lists = [n for n in a11y.descendants(self.app) if n.getRoleName() == "page tab list"]
        check(len(tab_lists) == 1, f"expected one tab strip, found {len(tab_lists)}")
        self.tabs = tab_lists[0]

    def tab_texts(self):
        return [name for role, name in a11y.children_named(self.tabs) if role == "page tab"]

    def tab(self, index):
        tabs = [self.tabs.getChildAtIndex(i) for i in range(self.tabs.childCount)]
        return [t for t in tabs if t is not None and t.getRoleName() == "page tab"][index]

    def history_rows(self):
        return a11y.rows(self.history)

    def wait_for_history(self, count, timeout=10):
        rows = wait_for(lambda: (lambda r: r if len(r) == count else None)(self.history_rows()), timeout,
                        what=f"{count} history rows (now {len(self.history_rows())})")
        return rows

    def show_details(self):
        """Clicks the "Details" tab; returns once the details list is on screen."""
        a11y.click_on(self.tab(1))
        wait_for(lambda: a11y.showing(self.details), 5, what="the details list to show")

    def show_content(self):
        a11y.click_on(self.tab(0))
        wait_for(lambda: not a11y.showing(self.details), 5, what="the details list to hide")

    def clear_selection(self):
        """Clicks the empty part of the history list below its rows."""
        x, y, width, height = a11y.extents(self.history)
        # One click should do; while a selection change that touches several rows
        # can leave some of them selected, the next click takes the next one away.
        for _ in range(len(a11y.selected_rows(self.history)) + 1):
            a11y.click(x + width // 2, y + height - 25)
            try:
                wait_for(lambda: a11y.selected_rows(self.history) == [], 1, what="an empty history selection")
                return
            except CheckFailed:
                pass
        check(False, f"clicks below the rows leave the rows {a11y.selected_rows(self.history)} selected")

    def details_rows(self):
        return a11y.rows(self.details)


def history_stays(window, count, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        n = len(window.history_rows())
        check(n == count, f"the history should keep {count} rows but has {n}")
        time.sleep(0.2)


def check_text_row(row, preview):
    check(TIME.match(row[0]) is not None, f"the time cell {row[0]!r} is not HH:MM:SS")
    check(row[1] == "Text", f"the type cell reads {row[1]!r}, not 'Text'")
    check(row[2] == preview, f"the content cell reads {shorten(row[2])}, expected {shorten(preview)}")


def text_view_holds(window, text):
    # The view holds the text and one line break (which Qt's text widget reports as "\n").
    content = a11y.text_of(window.text_view)
    return content in (text + "\n", text + "\r\n", text + "\u2029")


def save_window_shot(window_id, name):
    x, y, width, height = geometry(window_id)
    shot = screenshot(name + "-screen")
    cropped = os.path.join(screenshot_folder(), name + ".png")
    subprocess.run(["convert", shot, "-crop", f"{width}x{height}+{x}+{y}", "+repage", cropped],
                   check=True, timeout=30)
    print(f"screenshot: {cropped}", flush=True)
    return shot


def make_png(scratch):
    path = os.path.join(scratch, "picture.png")
    width, height = IMAGE_SIZE
    red = "#%02x%02x%02x" % RED
    blue = "#%02x%02x%02x" % BLUE
    subprocess.run(["convert", "-size", f"{width}x{height}", f"xc:{blue}", "-fill", red, "-draw",
                    f"rectangle 0,0 {RED_WIDTH - 1},{height - 1}", path], check=True, timeout=30)
    with open(path, "rb") as f:
        return f.read()


def close_information_box(timeout=10):
    """Waits for the information box, presses Return in it and waits until it is gone."""
    def boxes():
        status, out = run_tool(["xdotool", "search", "--onlyvisible", "--name", "^Information$"])
        return [int(w) for w in out.split()] if status == 0 else []
    try:
        box = wait_for(boxes, timeout, what="a window titled 'Information'")[0]
    except CheckFailed:
        screenshot("history-views-no-information-box")
        raise
    run_tool(["xdotool", "windowfocus", "--sync", str(box)])
    run_tool(["xdotool", "key", "--window", str(box), "Return"])
    wait_for(lambda: not boxes(), timeout, what="the information box to close")


def test(executable):
    with session(executable, ADD_BRACKETS) as (program, clipboard):
        program.start()
        main_window = program.find_main_window(timeout=15)
        program.wait_for_splash_to_close(timeout=10)

        step("the lists, views and tab strip are on the accessibility bus")
        window = Window(program)
        check(a11y.column_headers(window.history) == ["Time", "Type", "Content"],
              f"history columns: {a11y.column_headers(window.history)}")
        check(a11y.column_headers(window.details) == ["Format", "Number", "Value"],
              f"details columns: {a11y.column_headers(window.details)}")
        faults = []  # faults that leave the later steps meaningful; reported at the end

        def expect(condition, message):
            if not condition:
                faults.append(message)
                print(f"FAULT: {message}", flush=True)

        widths = a11y.column_widths(window.history)
        # The last column may stretch to the list's edge, never shrink below its width.
        expect(widths[:2] == [63, 44] and widths[2] >= 100,
               f"the history columns are {widths} pixels wide, not 63, 44 and at least 100")
        # Whatever was on the clipboard at start may have made a row already.
        base = len(window.history_rows())
        print(f"history rows at start: {base}", flush=True)

        step("a text copy: a history row, the text view, the tabs and UNICODETEXT 13")
        first = "alpha\ntwo"
        clipboard.copy(first)
        clipboard.wait_for_write_back("[alpha\ntwo]")
        rows = window.wait_for_history(base + 1)
        check_text_row(rows[base], "alpha two")  # line breaks are drawn as blanks on one line
        check(text_view_holds(window, first), f"the text view holds {a11y.text_of(window.text_view)!r}")
        check(window.tab_texts() == ["Text", "Details"], f"tabs: {window.tab_texts()}")
        check(a11y.showing(window.text_view) and not a11y.showing(window.image_view),
              "the text page is not the one shown")
        save_window_shot(main_window, "history-views-after-text")
        window.show_details()
        details = window.details_rows()
        # The details cell shows the line break as an escape, on one line too.
        check(details == [("UNICODETEXT", "13", "alpha\\x0Atwo")], f"details after the text copy: {details}")
        widths = a11y.column_widths(window.details)
        expect(widths[:2] == [100, 70] and widths[2] >= 250,
               f"the details columns are {widths} pixels wide, not 100, 70 and at least 250")
        window.show_content()
        check(a11y.showing(window.text_view), "the first tab does not bring the text back")

        step("previews: 248 characters are cut to 245 and '...', 247 are shown whole")
        long_text = "".join(chr(ord("a") + i % 26) for i in range(248))
        clipboard.copy(long_text)
        clipboard.wait_for_write_back("[" + long_text + "]")
        rows = window.wait_for_history(base + 2)
        check_text_row(rows[base + 1], long_text[:245] + "...")
        clipboard.copy(long_text[:247])
        clipboard.wait_for_write_back("[" + long_text[:247] + "]")
        rows = window.wait_for_history(base + 3)
        check_text_row(rows[base + 2], long_text[:247])

        step("text/html alone: details only, an emptied text view, no history row, no write-back")
        window.show_details()
        copier = a11y.copy_bytes(clipboard, b"<p>hi</p>\r\n<p>\x01</p>\n", "text/html")
        details = wait_for(lambda: (lambda d: d if d and d[0][0] == "text/html" else None)(window.details_rows()),
                           10, what="the details list to show the text/html copy")
        check(len(details) == 1, f"details after the HTML copy: {details}")
        name, number, value = details[0]
        check(number.isdigit() and int(number) >= 49152, f"text/html has the number {number}")
        check(value == "<p>hi</p>\\x0D\\x0A<p>\\x01</p>\\x0A", f"the text/html value is {value!r}")
        html_number = number
        check(a11y.text_of(window.text_view) == "", f"the text view still holds {a11y.text_of(window.text_view)!r}")
        check(window.tab_texts() == ["Text", "Details"] and a11y.showing(window.details),
              "the tabs or the page changed for a copy without text or image")
        history_stays(window, base + 3, 1.5)
        check(clipboard.owner() == clipboard.copier and copier.poll() is None,
              "something took the clipboard from the text/html copy")

        step("text and HTML from one owner: both rows; registered numbers live as long as the program")
        owner = SelectionOwner()
        try:
            owner.offer([("UTF8_STRING", b"mixed"), ("application/x-later", b"z"), ("text/html", b"<i>mixed</i>")])
            clipboard.copier = owner.window.id
            clipboard.copier_child = None
            clipboard.wait_for_write_back("[mixed]")
            details = wait_for(lambda: (lambda d: d if len(d) == 3 else None)(window.details_rows()), 10,
                               what="three rows in the details list")
            expected = [("UNICODETEXT", "13", "mixed"), ("application/x-later", str(int(html_number) + 1), "z"),
                        ("text/html", html_number, "<i>mixed</i>")]
            check(details == expected, f"details: {details}, expected {expected}")
            rows = window.wait_for_history(base + 4)
            check_text_row(rows[base + 3], "mixed")
        finally:
            owner.close()

        step("sorting the details list: Number up, Number down, then Format up ignoring case")
        # The sort state starts at column 0, ascending, and is shared with the history.
        window.show_details()
        later, html = ("application/x-later", str(int(html_number) + 1), "z"), ("text/html", html_number, "<i>mixed</i>")
        text_row = ("UNICODETEXT", "13", "mixed")
        for column, wanted, what in ((1, [text_row, html, later], "ascending by number"),
                                     (1, [later, html, text_row], "descending by number"),
                                     (0, [later, html, text_row], "ascending by name, ignoring case")):
            a11y.click_on(a11y.column_header(window.details, column))
            try:
                wait_for(lambda: window.details_rows() == wanted, 3, what=f"the details list {what}")
            except CheckFailed:
                expect(False, f"after a click on details column {column} the rows are {window.details_rows()}, "
                              f"not {what}: {wanted}")

        step("a PNG: an image row, the picture at natural size, tabs Image/Details, BITMAP 2")
        window.show_content()
        a11y.copy_bytes(clipboard, make_png(program.scratch), "image/png")
        rows = window.wait_for_history(base + 5)
        row = rows[base + 4]
        check(TIME.match(row[0]) and row[1] == "Image" and row[2] == "%d x %d" % IMAGE_SIZE,
              f"the image row reads {row}")
        wait_for(lambda: window.tab_texts() == ["Image", "Details"], 5, what="the tabs Image and Details")
        wait_for(lambda: a11y.showing(window.image_view) and not a11y.showing(window.text_view), 5,
                 what="the image page to show")
        x, y, width, height = a11y.extents(window.image_view)
        check((width, height) == IMAGE_SIZE, f"the image view is {width}x{height}, not {IMAGE_SIZE}")
        shot = save_window_shot(main_window, "history-views-after-image")
        picture = Picture(shot)
        left = picture.region(x + 2, y + 2, RED_WIDTH - 4, height - 4)
        right = picture.region(x + RED_WIDTH + 2, y + 2, width - RED_WIDTH - 4, height - 4)
        near = lambda p, c: all(abs(p[i] - c[i]) <= 8 for i in range(3))  # noqa: E731
        check(left and all(near(p, RED) for p in left), f"the left of the image view is not red: {set(left)}")
        check(right and all(near(p, BLUE) for p in right), f"the right of the image view is not blue: {set(right)}")
        check(clipboard.owner() == clipboard.copier, "an image copy was written back (nothing is on for images)")
        window.show_details()
        check(window.details_rows() == [("BITMAP", "2", "")], f"details after the PNG: {window.details_rows()}")
        window.show_content()
        wait_for(lambda: a11y.showing(window.image_view), 5, what="the first tab to bring the image back")

        count = base + 5

        step("a click on another row moves the selection there")
        for before, row in ((base + 1, base + 3), (base + 3, base + 1)):
            window.clear_selection()
            a11y.click(*a11y.cell_centre(window.history, before, 2))
            wait_for(lambda: a11y.selected_rows(window.history) == [before], 3,
                     what=f"row {before} alone to be selected")
            a11y.click(*a11y.cell_centre(window.history, row, 2))
            try:
                wait_for(lambda: a11y.selected_rows(window.history) == [row], 3,
                         what=f"row {row} alone to be selected")
            except CheckFailed:
                expect(False, f"with history row {before} selected, a click on row {row} leaves the rows "
                              f"{a11y.selected_rows(window.history)} selected, not [{row}]")
        # The steps below start from an empty selection, so they do not depend on the above.

        step("double-clicking the first text row copies it again; the capture pass wraps it, no row is added")
        window.clear_selection()
        a11y.click(*a11y.cell_centre(window.history, base, 2), count=2)
        clipboard.wait_for_text("[alpha\ntwo]", timeout=10)
        clipboard.stays("[alpha\ntwo]", 1.0)
        history_stays(window, count, 1.0)
        check(text_view_holds(window, first), f"the text view holds {a11y.text_of(window.text_view)!r}")
        check(window.tab_texts() == ["Text", "Details"], f"tabs after the re-copy: {window.tab_texts()}")

        step("double-clicking the image row shows the information box and copies nothing")
        window.clear_selection()
        a11y.click(*a11y.cell_centre(window.history, base + 4, 2), count=2)
        close_information_box()
        clipboard.stays("[alpha\ntwo]", 1.0)
        history_stays(window, count, 0.5)

        step("Delete removes the selected rows; a later row still copies its own text")
        window.clear_selection()
        a11y.click(*a11y.cell_centre(window.history, base + 1, 2))
        run_tool(["xdotool", "keydown", "shift"])
        try:
            a11y.click(*a11y.cell_centre(window.history, base + 2, 2))
        finally:
            run_tool(["xdotool", "keyup", "shift"])
        wait_for(lambda: a11y.selected_rows(window.history) == [base + 1, base + 2], 3,
                 what=f"rows {base + 1} and {base + 2} to be selected")
        run_tool(["xdotool", "key", "Delete"])
        rows = window.wait_for_history(count - 2)
        check([r[2] for r in rows[base:]] == ["alpha two", "mixed", "%d x %d" % IMAGE_SIZE],
              f"rows after deleting the two long texts: {[shorten(r[2]) for r in rows[base:]]}")
        window.clear_selection()
        a11y.click(*a11y.cell_centre(window.history, base + 1, 2), count=2)
        clipboard.wait_for_text("[mixed]", timeout=10)
        history_stays(window, count - 2, 1.0)

        step("sorting the history: Type up (shared state: a new column), then Time up and down")
        window.clear_selection()
        a11y.click_on(a11y.column_header(window.history, 1))
        types = lambda: [r[1] for r in window.history_rows()]  # noqa: E731
        try:
            wait_for(lambda: types()[0] == "Image" and types() == sorted(types()), 3, what="the image row first")
        except CheckFailed:
            expect(False, f"sorting the history by Type gives {types()}")
        rows = window.history_rows()
        a11y.click(*a11y.cell_centre(window.history, [r[2] for r in rows].index("mixed"), 2), count=2)
        clipboard.wait_for_text("[mixed]", timeout=10)  # a sorted row still copies its own text
        times = lambda: [r[0].replace(":", "") for r in window.history_rows()]  # noqa: E731
        for descending in (False, True):
            a11y.click_on(a11y.column_header(window.history, 0))
            try:
                wait_for(lambda: times() == sorted(times(), reverse=descending), 3, what="sorted times")
            except CheckFailed:
                expect(False, f"after a click on Time the times read {times()}, "
                              f"not {'descending' if descending else 'ascending'}")

        check(not faults, "; ".join(faults))
        check(program.running(), "the program ended during the test")


if __name__ == "__main__":
    ensure_display()  # first, so that the bus processes know the display too
    a11y.use_own_bus()
    main(test)
