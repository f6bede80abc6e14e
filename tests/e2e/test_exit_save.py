"""The exit save: with "Save all" chosen in the configuration menu, closing the
main window through its close box (the WM_DELETE_WINDOW message a window
manager sends for it) writes Auto.twk into the program folder, and the next
start loads it; ending the program through "Close" in its menu writes nothing.
An Auto.twk that is a link into a dotfiles folder stays a link, and the private
file it leads to gets the content and stays private."""
import os
import time

from Xlib import X, display as xdisplay, protocol

import accessibility as a11y
from tallowin_e2e import check, main, screenshot, session, step, wait_for


def press_close_box(window):
    """Sends `window` the WM_DELETE_WINDOW message, as its close box does."""
    d = xdisplay.Display()
    target = d.create_resource_object("window", window)
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=target, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    target.send_event(event, event_mask=X.NoEventMask)
    d.flush()
    d.close()


def start_and_choose_save_all(program, args_note):
    program.start()
    program.find_main_window()
    program.wait_for_splash_to_close()
    app = a11y.application(program.proc.pid)
    save_all = a11y.find(app, "menu item", "Save all")
    save_all.queryAction().doAction(0)
    wait_for(lambda: save_all.getState().contains(a11y._pyatspi().STATE_CHECKED), 10,
             what=f"'Save all' checked ({args_note})")
    return app


def test(executable):
    with session(executable, ["--set", "cb_textadd=1", "--set", "act_textadd_vorne=<"]) as (program, clipboard):
        auto = os.path.join(program.home, "Auto.twk")
        step("closing the window with its close box writes Auto.twk")
        start_and_choose_save_all(program, "first start")
        press_close_box(program.find_main_window())
        wait_for(lambda: not program.running(), 15, what="the program to end after the close box")
        check(os.path.exists(auto), "Auto.twk was not written")
        with open(auto, "rb") as f:
            data = f.read()
        check(data[:2] == b"\xff\xfe", "Auto.twk is not UTF-16LE with its mark")
        text = data[2:].decode("utf-16-le")
        for line in ("act_textadd_vorne=<", "cb_textadd=1", "A=1", "N=0"):
            check(f"\r\n{line}\r\n" in text, f"Auto.twk lacks {line!r}")

        step("the next start loads Auto.twk")
        program.args = []
        program.start()
        program.find_main_window()
        clipboard.copy("x")
        clipboard.wait_for_write_back("<x")
        screenshot("exit_save_next_start")

    with session(executable) as (program, clipboard):
        step("\"Close\" in the program menu writes nothing")
        app = start_and_choose_save_all(program, "Close")
        a11y.find(app, "menu item", "Close").queryAction().doAction(0)
        wait_for(lambda: not program.running(), 15, what="the program to end after Close")
        check(not os.path.exists(os.path.join(program.home, "Auto.twk")), "Close wrote Auto.twk")

    with session(executable, ["--set", "cb_textadd=1"]) as (program, clipboard):
        step("an Auto.twk linked from a dotfiles folder stays linked and private")
        dotfiles = os.path.join(program.scratch, "dotfiles")
        os.makedirs(dotfiles)
        os.makedirs(program.home, exist_ok=True)
        real = os.path.join(dotfiles, "Auto.twk")
        with open(real, "wb") as f:
            f.write("\ufeff[Mine]\r\nkeep=1\r\n".encode("utf-16-le"))
        os.chmod(real, 0o600)
        auto = os.path.join(program.home, "Auto.twk")
        os.symlink("../dotfiles/Auto.twk", auto)
        start_and_choose_save_all(program, "linked Auto.twk")
        press_close_box(program.find_main_window())
        wait_for(lambda: not program.running(), 15, what="the program to end after the close box")
        check(os.path.islink(auto) and os.readlink(auto) == "../dotfiles/Auto.twk",
              "the exit save replaced the link Auto.twk")
        with open(real, "rb") as f:
            text = f.read()[2:].decode("utf-16-le")
        for line in ("keep=1", "cb_textadd=1", "A=1"):
            check(f"\r\n{line}\r\n" in text, f"the linked file lacks {line!r}")
        mode = os.stat(real).st_mode & 0o7777
        check(mode == 0o600, f"the linked file's mode became {mode:o}")
        check(not [n for n in os.listdir(dotfiles) + os.listdir(program.home) if n.endswith(".tmp")],
              "a temporary file was left behind")


if __name__ == "__main__":
    a11y.use_own_bus()
    main(test)
