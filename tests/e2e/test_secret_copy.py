#!/usr/bin/python3
"""A copy a password manager marks as secret is passed over by the real program.

The owner offers the text as UTF8_STRING together with the target
x-kde-passwordManagerHint holding "secret", as KeePassXC does. With add-text and
text saving on, the program must read the hint (the owner sees the request) and
then leave the copy alone: the clipboard keeps the owner's text, no file is
saved and the history (read through AT-SPI) gains no row. Copies before and
after it are processed as usual, so the program was capturing all along.

Usage: test_secret_copy.py PATH-TO-TALLOWIN   (runs under its own Xvfb and D-Bus session when needed)
"""
import os
import sys

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import accessibility as a11y  # noqa: E402
from selection_owner import SelectionOwner  # noqa: E402
from tallowin_e2e import check, main, screenshot, session, step, wait_for  # noqa: E402

HINT = "x-kde-passwordManagerHint"
PASSWORD = "correct horse battery staple"


def saved_files(folder):
    return sorted(os.listdir(folder)) if os.path.isdir(folder) else []


def test(executable):
    with session(executable) as (program, clipboard):
        out = os.path.join(program.scratch, "out")
        program.args = ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=>",
                        "--set", "cb_savetxt=1", "--set", f"savetxt_ordner={out}/"]
        clipboard.copy("start")
        program.start()
        program.find_main_window()
        program.wait_for_splash_to_close()
        history = a11y.find(a11y.application(program.proc.pid), "tree", "History")

        def history_rows():
            return a11y.rows(history)

        step("an ordinary copy is processed")
        wait_for(lambda: len(history_rows()) == 1, 10, what="the start copy in the history")
        clipboard.copy("plain")
        clipboard.wait_for_write_back(">plain")
        wait_for(lambda: len(history_rows()) == 2, 10, what="the ordinary copy in the history")
        check(len(saved_files(out)) == 1, f"expected one saved file, found {saved_files(out)}")

        step("a copy marked secret is passed over")
        owner = SelectionOwner()
        try:
            owner.offer([("UTF8_STRING", PASSWORD.encode()), (HINT, b"secret")])
            wait_for(lambda: HINT in owner.requested(), 10, what="the program to read the hint target")
            clipboard.stays(PASSWORD, 2.0)
            check(owner.owns(), "the program took the clipboard from the password owner")
            screenshot("secret_copy_passed_over")
            rows = history_rows()
            check(len(rows) == 2, f"the history gained a row for the secret copy: {rows}")
            check(not any(PASSWORD in cell for row in rows for cell in row), f"the password is in the history: {rows}")
            check(len(saved_files(out)) == 1, f"a file was saved for the secret copy: {saved_files(out)}")
        finally:
            owner.close()

        step("the next ordinary copy is processed again")
        clipboard.copy("after")
        clipboard.wait_for_write_back(">after")
        wait_for(lambda: len(history_rows()) == 3, 10, what="the copy after the secret one in the history")
        files = saved_files(out)
        check(len(files) == 2, f"expected two saved files, found {files}")
        for name in files:
            with open(os.path.join(out, name), "rb") as f:
                check(PASSWORD.encode() not in f.read(), f"{name} holds the password")
        check(program.running(), "the program ended")


if __name__ == "__main__":
    a11y.use_own_bus()
    main(test)
