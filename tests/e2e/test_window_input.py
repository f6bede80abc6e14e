#!/usr/bin/python3
"""Input into the main window as people give it, on a real X server, read back
through AT-SPI as a screen reader reads it.

- Keys typed with xdotool into the file name and file format boxes drop the
  nine characters " * / : < > ? \\ |, the margin boxes take only digits; a text
  pasted with Ctrl+V arrives unchanged.
- The Delete key (which X11 delivers with the character U+007F) works in the
  seven number boxes, also in a quality box holding 1000, which takes no
  typed key, backspace included.
- Check boxes switched through the AT-SPI action (not a click) change their
  setting: "Clipboard Text: Add Text" opens its section and wraps the next copy;
  "Case-Sensitive" changes which copy is replaced.
- A two-line search text typed in the window (Return between the lines) finds
  LF text copied with xclip.
- Every focusable control has a non-empty name of its own, in English and in
  German; the footer link is reached with Tab and opened with Return.
- With no xdg-open (nor any other launcher) to be found, a help menu entry
  says in a message box that no browser could be started for its page.
- With saving failing, 50 quick copies leave one message box open that counts
  the repeats.
- The error raised by the regex options dialog (which stays on top) opens in a
  box that is transient for the dialog, so it is shown above it.

Usage: test_window_input.py PATH-TO-TALLOWIN   (runs under its own Xvfb and D-Bus session when needed)
"""
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, main, run_tool, screenshot, session, step, wait_for  # noqa: E402
import accessibility as a11y  # noqa: E402


def focus_window(window):
    """Gives `window` the X input focus and waits until the server reports it."""
    def has_focus():
        status, out = run_tool(["xdotool", "getwindowfocus"])
        return status == 0 and out.strip() == str(window)
    if not has_focus():  # `windowfocus --sync` would wait forever for a window that has it
        done = subprocess.run(["xdotool", "windowfocus", str(window)], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
        check(done.returncode == 0, f"could not focus window {window}: {done.stderr.decode(errors='replace')}")
    wait_for(has_focus, 5, what=f"window {window} to have the input focus")
    time.sleep(0.2)  # the program takes the focus event


def focus(node):
    """Gives the keyboard focus to one control (the window must have the X focus)."""
    check(node.queryComponent().grabFocus(), f"{node.getRoleName()} {node.name!r} did not take the focus")
    wait_for(lambda: focused(node), 5, what=f"{node.name!r} to have the focus")


def focused(node):
    if hasattr(node, "clear_cache"):
        node.clear_cache()
    return node.getState().contains(a11y._pyatspi().STATE_FOCUSED)


def keys(*names):
    # --clearmodifiers: a modifier an earlier client left pressed on the shared
    # X server would turn Return into Ctrl+Return, which the field ignores.
    status, _ = run_tool(["xdotool", "key", "--clearmodifiers", "--delay", "40"] + list(names))
    check(status == 0, f"xdotool could not press {names}")


def type_text(text):
    status, _ = run_tool(["xdotool", "type", "--clearmodifiers", "--delay", "40", text], timeout=30)
    check(status == 0, f"xdotool could not type {text!r}")


def edit_of(app, combo_name):
    """The edit box inside the choice box `combo_name`."""
    combo = a11y.find(app, "combo box", combo_name)
    for i in range(combo.childCount):
        child = combo.getChildAtIndex(i)
        if child is not None and child.getRoleName() == "text":
            return combo, child
    check(False, f"the choice box {combo_name!r} has no edit box")


def toggle(node):
    """Runs the check box's own toggle action, as an accessibility client does."""
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    index = names.index("Toggle") if "Toggle" in names else names.index("Press")
    check(action.doAction(index), f"the action {names[index]!r} of {node.name!r} failed")


def checked(node):
    if hasattr(node, "clear_cache"):
        node.clear_cache()
    return node.getState().contains(a11y._pyatspi().STATE_CHECKED)


def test_key_filters_and_paste(executable):
    step("key filters in the choice boxes, a paste passes unchanged")
    with session(executable, ["--set", "cb_savetxt=1"]) as (program, clipboard):
        clipboard.copy("start")
        program.start()
        window = program.find_main_window()
        program.wait_for_splash_to_close()
        app = a11y.application(program.proc.pid)
        focus_window(window)
        for combo_name, typed, kept in [
                ("File name for texts", 'a"b*c/d:e<f>g?h\\i|j', "abcdefghij"),
                ("File format for texts", ".t?x*t", ".txt")]:
            combo, edit = edit_of(app, combo_name)
            focus(combo)
            keys("ctrl+a", "BackSpace")
            type_text(typed)
            wait_for(lambda: a11y.text_of(edit) == kept, 5,
                     what=f"{combo_name!r} to read {kept!r} (it reads {a11y.text_of(edit)!r})")
        combo, edit = edit_of(app, "File name for texts")
        clipboard.copy("x:y")
        focus(combo)
        keys("ctrl+a", "BackSpace", "ctrl+v")
        wait_for(lambda: a11y.text_of(edit) == "x:y", 5,
                 what=f"the pasted 'x:y' in the name box (it reads {a11y.text_of(edit)!r})")

        # The digit boxes sit in the cut section; its switch opens it.
        toggle(a11y.find(app, "check box", "Clipboard Images: Cut to Size"))
        combo, edit = edit_of(app, "Pixels to cut off on the left")
        wait_for(lambda: a11y.showing(combo), 5, what="the margin box to show")
        focus(combo)
        keys("ctrl+a", "BackSpace")
        type_text("a1b2-")
        wait_for(lambda: a11y.text_of(edit) == "12", 5, what=f"the margin to read '12' (it reads {a11y.text_of(edit)!r})")
        screenshot("window_input_filters")
        check(program.running(), "the program ended")


def test_delete_key_in_number_boxes(executable):
    step("the Delete key in the seven number boxes; a quality box holding 1000 is left with it")
    margins = ["Pixels to cut off on the left", "Pixels to cut off on the right",
               "Pixels to cut off above", "Pixels to cut off below"]
    sizes = ["Maximum width in pixels", "Maximum height in pixels"]
    # The slider stands at 100 first, so it does not move and write 100 over the 1000.
    args = ["--set", "ScrollBar1=100", "--set", "out_quality=1000"]
    for key in ("act_zuschlinks", "act_zuschrechts", "act_zuschoben", "act_zuschunten",
                "act_sizebenutzer_x", "act_sizebenutzer_y"):
        args += ["--set", f"{key}=123"]
    with session(executable, args) as (program, clipboard):
        clipboard.copy("start")
        program.start()
        window = program.find_main_window()
        program.wait_for_splash_to_close()
        app = a11y.application(program.proc.pid)

        def delete_in(combo_name):
            combo, edit = edit_of(app, combo_name)
            wait_for(lambda: a11y.showing(combo), 5, what=f"{combo_name!r} to show")
            focus(combo)
            keys("Home", "Delete")
            wait_for(lambda: a11y.text_of(edit) == "23", 5,
                     what=f"Delete at the start of {combo_name!r} to leave '23' (it reads {a11y.text_of(edit)!r})")
            keys("ctrl+a", "Delete")
            wait_for(lambda: a11y.text_of(edit) == "", 5,
                     what=f"Delete of the selection to empty {combo_name!r} (it reads {a11y.text_of(edit)!r})")
            type_text("9")  # no item starts with 9, so nothing is completed
            wait_for(lambda: a11y.text_of(edit) == "9", 5,
                     what=f"a digit typed into the emptied {combo_name!r} (it reads {a11y.text_of(edit)!r})")

        focus_window(window)
        # Each group of boxes sits in a section that its switch opens.
        toggle(a11y.find(app, "check box", "Clipboard Images: Cut to Size"))
        for name in margins:
            delete_in(name)
        toggle(a11y.find(app, "check box", "Clipboard Images: Resize"))
        for name in sizes:
            delete_in(name)

        a11y.find(app, "menu item", "Options regarding Actions and Saving..").queryAction().doAction(0)
        dialog = wait_for(lambda: program.windows_titled("Settings"), 10, what="the output settings dialog")[0]
        focus_window(dialog)
        combo, edit = edit_of(app, "Output quality")
        focus(combo)
        check(a11y.text_of(edit) == "1000", f"the quality box reads {a11y.text_of(edit)!r}, not '1000'")
        keys("End", "BackSpace", "5")
        time.sleep(0.5)
        check(a11y.text_of(edit) == "1000", f"a quality of 1000 took a typed key: {a11y.text_of(edit)!r}")
        keys("ctrl+a", "Delete")
        wait_for(lambda: a11y.text_of(edit) == "", 5,
                 what=f"Delete to empty the quality box holding 1000 (it reads {a11y.text_of(edit)!r})")
        type_text("50")
        wait_for(lambda: a11y.text_of(edit) == "50", 5,
                 what=f"the emptied quality box to take '50' (it reads {a11y.text_of(edit)!r})")
        screenshot("window_input_delete_key")
        check(program.running(), "the program ended")


def test_accessible_toggles_and_lf_search(executable):
    step("check boxes switched through AT-SPI; a typed two-line search finds LF text")
    args = ["--set", "act_textadd_vorne=[", "--set", "act_textadd_hinten=]",
            "--set", "act_ers_text_suchen=a", "--set", "act_ers_text_ersetzen=b"]
    with session(executable, args) as (program, clipboard):
        clipboard.copy("start")
        program.start()
        window = program.find_main_window()
        program.wait_for_splash_to_close()
        app = a11y.application(program.proc.pid)

        add_text = a11y.find(app, "check box", "Clipboard Text: Add Text")
        check(not checked(add_text), "add-text starts switched off")
        toggle(add_text)
        wait_for(lambda: checked(add_text), 5, what="the add-text box to show the tick")
        front = a11y.find(app, "text", "Text in front")
        wait_for(lambda: a11y.showing(front), 5, what="the add-text section to open")
        clipboard.copy("plain")
        clipboard.wait_for_write_back("[plain]")
        toggle(add_text)
        wait_for(lambda: not checked(add_text), 5, what="the add-text box to lose the tick")
        clipboard.copy("plain again")
        clipboard.stays("plain again", 1.0)

        # Search and replace, switched on through its action too; then case-sensitivity.
        toggle(a11y.find(app, "check box", "Clipboard Text: Search and Replace"))
        clipboard.copy("Aa")
        clipboard.wait_for_write_back("Ab")
        case = a11y.find(app, "check box", "Case-Sensitive")
        check(checked(case), "case-sensitivity starts switched on")
        toggle(case)
        wait_for(lambda: not checked(case), 5, what="the case box to lose the tick")
        clipboard.copy("Aa")
        clipboard.wait_for_write_back("bb")

        # A search text typed in two lines matches LF text.
        focus_window(window)
        search = a11y.find(app, "text", "Search for")
        focus(search)
        keys("ctrl+a", "BackSpace")
        # One key at a time, each seen in the field before the next, as a person
        # types while watching; a slow (sanitized) build still takes every key.
        type_text("x")
        wait_for(lambda: a11y.text_of(search) == "x", 5, what="the search field to read 'x'")
        keys("Return")
        wait_for(lambda: a11y.text_of(search) == "x\n", 5,
                 what=f"the search field to read 'x' and a line break (it reads {a11y.text_of(search)!r})")
        type_text("y")
        wait_for(lambda: a11y.text_of(search) == "x\ny", 5,
                 what=f"the search field to read 'x', a line break, 'y' (it reads {a11y.text_of(search)!r})")
        replacement = a11y.find(app, "text", "Replace by")
        focus(replacement)
        keys("ctrl+a", "BackSpace")
        type_text("Z")
        wait_for(lambda: a11y.text_of(replacement) == "Z", 5,
                 what=f"the replacement field to read 'Z' (it reads {a11y.text_of(replacement)!r})")
        clipboard.copy("1x\ny2")
        clipboard.wait_for_write_back("1Z2")
        check(program.running(), "the program ended")


def unnamed_or_repeated(app):
    """Focusable controls without a name, and names given to more than one.
    A tab strip reports the caption of its current tab as its own name (Qt's
    bridge does so), so a tab is not counted against its own strip."""
    pyatspi = a11y._pyatspi()
    names, missing = {}, []
    for node in a11y.descendants(app):
        try:
            state = node.getState()
            role = node.getRoleName()
            name = node.name
            parent = node.parent
            strip = parent is not None and parent.getRoleName() == "page tab list" and parent.name == name
        except Exception:
            continue
        if not state.contains(pyatspi.STATE_FOCUSABLE) or (role == "page tab" and strip):
            continue
        if not name:
            missing.append(role)
        else:
            names.setdefault(name, []).append(role)
    return missing, {n: roles for n, roles in names.items() if len(roles) > 1}


def write_fake_opener(folder, record):
    """An xdg-open that notes what it was asked to open (Qt opens pages through it)."""
    os.makedirs(folder, exist_ok=True)
    path = os.path.join(folder, "xdg-open")
    with open(path, "w") as f:
        f.write(f"#!/bin/sh\nprintf '%s\\n' \"$1\" >> '{record}'\n")
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)


def test_names_and_footer_link(executable):
    for language, footer_start in (("en", "Do you like Tallowin?"), ("de", "Gefällt Ihnen Tallowin?")):
        step(f"accessible names ({language}) and the footer link from the keyboard")
        with session(executable) as (program, clipboard):
            os.makedirs(program.cwd, exist_ok=True)
            if language == "de":
                open(os.path.join(program.cwd, "de"), "w").close()
            bin_folder = os.path.join(program.scratch, "bin")
            record = os.path.join(program.scratch, "opened.txt")
            write_fake_opener(bin_folder, record)
            old_path = os.environ.get("PATH", "")
            os.environ["PATH"] = bin_folder + os.pathsep + old_path
            try:
                clipboard.copy("start")
                program.start()
            finally:
                os.environ["PATH"] = old_path
            window = program.find_main_window()
            program.wait_for_splash_to_close()
            app = a11y.application(program.proc.pid)
            screenshot(f"window_{language}")
            missing, repeated = unnamed_or_repeated(app)
            check(not missing and not repeated,
                  f"focusable controls without a name: {missing}; names used more than once: {repeated}")

            link = wait_for(lambda: next((n for n in a11y.descendants(app)
                                          if (n.name or "").startswith(footer_start)), None), 10,
                            what=f"the footer link {footer_start!r}")
            focus_window(window)
            for _ in range(60):
                if focused(link):
                    break
                keys("Tab")
                time.sleep(0.25)  # one step at a time, also for a slow (sanitized) program
            check(focused(link), "Tab never reached the footer link")
            keys("Return")
            page = "donate_de.html" if language == "de" else "donate.html"
            wait_for(lambda: os.path.exists(record) and page in open(record).read(), 10,
                     what=f"the footer link to open {page}")
            check(program.running(), "the program ended")


def test_help_without_a_browser(executable):
    step("a help menu entry with no browser to start says so")
    with session(executable) as (program, clipboard):
        # A PATH of one empty folder: Qt finds neither xdg-open nor a desktop's launcher.
        empty = os.path.join(program.scratch, "empty-bin")
        os.makedirs(empty)
        program.env = {"PATH": empty, "BROWSER": "", "XDG_CURRENT_DESKTOP": "", "DESKTOP_SESSION": "",
                       "KDE_FULL_SESSION": "", "GNOME_DESKTOP_SESSION_ID": ""}
        clipboard.copy("start")
        program.start()
        program.find_main_window()
        program.wait_for_splash_to_close()
        app = a11y.application(program.proc.pid)
        # With the pointer: an accessibility action would wait for the box to close.
        a11y.click_on(a11y.find(app, "menu item", "Information"))
        entry = a11y.find(app, "menu item", "Tallowin Help..")
        wait_for(lambda: a11y.showing(entry), 5, what="the Information menu to open")
        a11y.click_on(entry)
        boxes = wait_for(lambda: message_boxes(app), 10, what="a message box saying that no browser started")
        text = box_text(boxes[0])
        check("No web browser could be started to show the page" in text and "index.html" in text,
              f"the box reads {text!r}")
        time.sleep(0.5)  # the box drawn for the screenshot
        screenshot("window_help_without_browser")
        check(program.running(), "the program ended")


def message_boxes(app):
    found = []
    for node in a11y.descendants(app):
        try:
            if node.getRoleName() in ("alert", "dialog") and a11y.showing(node):
                found.append(node)
        except Exception:
            continue
    return found


def box_text(box):
    texts = []
    for node in a11y.descendants(box):
        try:
            if node.getRoleName() == "label" and node.name:
                texts.append(node.name)
        except Exception:
            continue
    return "\n".join(texts)


def test_error_boxes_do_not_pile_up(executable):
    step("50 quick copies with saving failing: one box that counts the repeats")
    # A folder stands where the file should be, so it cannot be created (root
    # may write anywhere else); without %num% every copy raises the same message.
    blocked = tempfile.mkdtemp(prefix="tallowin-blocked-")
    os.mkdir(os.path.join(blocked, "x.txt"))
    with session(executable, ["--set", "cb_savetxt=1", "--set", f"savetxt_ordner={blocked}",
                              "--set", "savetxt_name=x"]) as (program, clipboard):
        clipboard.copy("start")
        program.start()
        program.find_main_window()
        program.wait_for_splash_to_close()
        app = a11y.application(program.proc.pid)
        for i in range(50):
            clipboard.copy(f"copy {i}")
        repeats = re.compile(r"\(repeated (\d+) times\)")

        def counted():
            boxes = message_boxes(app)
            if len(boxes) != 1:
                return None
            found = repeats.search(box_text(boxes[0]))
            return (boxes, int(found.group(1))) if found else None

        boxes, count = wait_for(counted, 30, interval=0.5, what="one message box counting repeats")
        time.sleep(1.0)
        boxes = message_boxes(app)
        check(len(boxes) == 1, f"{len(boxes)} message boxes are open")
        text = box_text(boxes[0])
        check("Cannot create file" in text, f"the box reads {text!r}")
        count = int(repeats.search(text).group(1))
        check(1 <= count <= 50, f"the box counts {count} repeats")
        screenshot("window_error_repeats")
        check(program.running(), "the program ended")
    shutil.rmtree(blocked, ignore_errors=True)


def transient_for(window):
    """The window id that `window` names in WM_TRANSIENT_FOR, or None."""
    status, out = run_tool(["xprop", "-id", str(window), "WM_TRANSIENT_FOR"])
    found = re.search(r"window id # (0x[0-9a-fA-F]+)", out) if status == 0 else None
    return int(found.group(1), 16) if found else None


def test_dialog_error_shows_over_the_dialog(executable):
    step("the regex options dialog's error box stands over the dialog")
    with session(executable) as (program, clipboard):
        clipboard.copy("start")
        program.start()
        program.find_main_window()
        program.wait_for_splash_to_close()
        app = a11y.application(program.proc.pid)
        item = a11y.find(app, "menu item", "Options regarding Regular Expressions..")
        item.queryAction().doAction(0)
        dialog = wait_for(lambda: program.windows_titled("Options regarding Regular Expressions"), 10,
                          what="the regex options dialog")[0]

        space = a11y.find(app, "text", "Space \\s:")
        check(space.queryEditableText().setTextContents("$zz"), "could not put '$zz' into the Space box")
        # Pressed from the keyboard: without a window manager nothing keeps the
        # dialog above the main window, which the splash timer raises.
        focus_window(dialog)
        focus(a11y.find(app, "push button", "Assume"))
        keys("space")
        box = wait_for(lambda: [w for w in program.windows_titled() if transient_for(w) == dialog], 10,
                       what="a message box transient for the dialog")[0]
        screenshot("window_dialog_error")
        check(program.running(), "the program ended")


def test(executable):
    test_dialog_error_shows_over_the_dialog(executable)
    test_key_filters_and_paste(executable)
    test_delete_key_in_number_boxes(executable)
    test_accessible_toggles_and_lf_search(executable)
    test_names_and_footer_link(executable)
    test_help_without_a_browser(executable)
    test_error_boxes_do_not_pile_up(executable)


if __name__ == "__main__":
    a11y.use_own_bus()
    main(test)
