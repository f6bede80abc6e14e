#!/usr/bin/python3
"""The interface language, end to end, read through AT-SPI as a screen reader reads it.

- Started in a working folder holding a file "de", the main window, its menus,
  the expression options dialog and the cut-out dialog read German.
- "Einstellungen > Sprache > English" switches every one of them at once, the
  open expression options dialog included; the check mark moves to "English",
  the German help menus give way to the English ones, the file-name template
  becomes the English default and the accessible names follow.
- The image format box reads "JPEG-Image" in English and "JPEG-Bild" in German.
- Screenshots of the main window and of both dialogs in both languages.

Usage: test_language.py PATH-TO-TALLOWIN   (runs under its own Xvfb and D-Bus session when needed)
"""
import os
import struct
import subprocess
import sys
import time
import zlib

sys.dont_write_bytecode = True  # keep the source tree free of caches
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from tallowin_e2e import check, main, run_tool, screenshot, session, step, wait_for  # noqa: E402
import accessibility as a11y  # noqa: E402

# (role, accessible name) that must be there in each language.
MAIN_TEXTS = {
    "de": [("menu item", "Programm"), ("menu item", "Einstellungen"), ("menu item", "Konfiguration"),
           ("menu item", "Hilfe"), ("menu item", "Sprache"), ("menu item", "Clipboard-Erfassung aktiv"),
           ("menu item", "Alle Einstellungen zurücksetzen"), ("menu item", "Nicht speichern"),
           ("label", "  Verlauf"), ("label", "  Aktionen"), ("label", "  Inhalt der Zwischenablage"),
           ("check box", "Texte im Verlauf zeigen"),
           ("check box", "Text in der Zwischenablage: Suchen und Ersetzen"),
           ("check box", "Bilder in der Zwischenablage: Zuschneiden"),
           ("combo box", "Dateiname für Texte")],
    "en": [("menu item", "Program"), ("menu item", "Settings"), ("menu item", "Configuration"),
           ("menu item", "Information"), ("menu item", "Language"), ("menu item", "Clipboard-Exploring active"),
           ("menu item", "Reset all Settings"), ("menu item", "Never"),
           ("label", "  History"), ("label", "  Actions"), ("label", "  Clipboard Content"),
           ("check box", "Add Text to History"),
           ("check box", "Clipboard Text: Search and Replace"),
           ("check box", "Clipboard Images: Cut to Size"),
           ("combo box", "File name for texts")],
}
HISTORY = {"de": ("Verlauf", ["Zeit", "Art", "Inhalt"]), "en": ("History", ["Time", "Type", "Content"])}
TEMPLATE = {"de": "Text aus der Zwischenablage %num%", "en": "Clipboard Text %num%"}
REGEX_DIALOG = {"de": ("Einstellungen für Reguläre Ausdrücke", "Übernehmen", "Modifikatoren"),
                "en": ("Options regarding Regular Expressions", "Assume", "Modifiers")}
REGEX_MENU = {"de": "Optionen für reguläre Ausdrücke..", "en": "Options regarding Regular Expressions.."}
OUTPUT_MENU = {"de": "Optionen für Aktionen und Speicherung..", "en": "Options regarding Actions and Saving.."}
OUTPUT_DIALOG = {"de": ("Einstellungen", "Bildausgabe", "Falls kein Unicode als ANSI speichern, sonst UTF-8"),
                 "en": ("Settings", "Image Output", "If no Unicode, save as ANSI, in other cases UTF-8")}
CUT_DIALOG = {"de": ("Wählen Sie einen Auschnitt des Bildes mit Ihrer Maus", "Abbrechen", "Links"),
              "en": ("Choose the Cutout with your Mouse", "Cancel", "Left")}


def named(app, name):
    """Every object below `app` with this accessible name, as (role, node)."""
    found = []
    for node in a11y.descendants(app):
        try:
            if node.name == name:
                found.append((node.getRoleName(), node))
        except Exception:
            continue
    return found


def showing_named(app, role, name):
    return [n for r, n in named(app, name) if r == role and a11y.showing(n)]


def press(node):
    action = node.queryAction()
    check(action.nActions > 0 and action.doAction(0), f"{node.getRoleName()} {node.name!r} did not act")


def checked(node):
    if hasattr(node, "clear_cache"):
        node.clear_cache()
    return node.getState().contains(a11y._pyatspi().STATE_CHECKED)


def write_png(path, width=320, height=200):
    rows = b"".join(b"\0" + b"".join(bytes((x % 256, y % 256, 90)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def format_text(app, combo_name):
    combo = a11y.find(app, "combo box", combo_name)
    edits = [combo.getChildAtIndex(i) for i in range(combo.childCount)]
    edits = [c for c in edits if c is not None and c.getRoleName() == "text"]
    check(edits, f"the choice box {combo_name!r} has no edit box")
    return a11y.text_of(edits[0])


def check_main_window(app, language):
    for role, name in MAIN_TEXTS[language]:
        wait_for(lambda: any(r == role for r, _ in named(app, name)), 10, interval=0.3,
                 what=f"a {role} named {name!r} ({language})")
    other = "en" if language == "de" else "de"
    for role, name in MAIN_TEXTS[other]:
        stale = [n for r, n in named(app, name) if r == role and name not in dict(MAIN_TEXTS[language]).values()]
        # The help menus of the other language exist but are hidden.
        stale = [n for n in stale if a11y.showing(n)]
        check(not stale, f"{role} {name!r} of the other language is still shown under {language}")
    list_name, headers = HISTORY[language]
    history = a11y.find(app, "tree", list_name)
    check(a11y.column_headers(history) == headers,
          f"history columns {a11y.column_headers(history)} instead of {headers}")
    template = format_text(app, MAIN_TEXTS[language][-1][1])
    check(template == TEMPLATE[language], f"the text file name reads {template!r}, not {TEMPLATE[language]!r}")


def check_regex_dialog(program, app, language):
    title, apply_button, group = REGEX_DIALOG[language]
    wait_for(lambda: program.windows_titled(title), 10, what=f"the expression options dialog titled {title!r}")
    a11y.find(app, "push button", apply_button)
    wait_for(lambda: named(app, group), 10, what=f"the group {group!r}")
    return program.windows_titled(title)[0]


def check_output_dialog(program, app, language):
    """The dialog's title, a group and a radio button in `language`, looked up
    below the dialog's own frame (the main window alone holds thousands of
    accessible objects)."""
    title, group, encoding = OUTPUT_DIALOG[language]
    dialog = wait_for(lambda: program.windows_titled(title), 10, what=f"the output settings dialog titled {title!r}")[0]

    def frame():
        for i in range(app.childCount):
            child = app.getChildAtIndex(i)
            if child is not None and child.name == title:
                return child
        return None

    root = wait_for(frame, 10, what=f"the accessible frame {title!r}")
    wait_for(lambda: [n for _, n in named(root, group) if a11y.showing(n)], 10, what=f"the group {group!r}")
    # Qt's bridge reports these radio buttons with the role "check box".
    wait_for(lambda: [n for _, n in named(root, encoding) if a11y.showing(n)], 10,
             what=f"the encoding button {encoding!r}")
    time.sleep(0.5)
    return dialog


def check_cut_dialog(program, app, clipboard, language, source):
    title, cancel, left = CUT_DIALOG[language]
    with open(source, "rb") as picture:
        child = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-t", "image/png", "-i"],
                                 stdin=picture, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    clipboard.children.append(child)
    dialog = wait_for(lambda: program.windows_titled(title), 20, interval=0.2,
                      what=f"the cut-out dialog titled {title!r}")[0]
    button = a11y.find(app, "push button", cancel)
    a11y.find(app, "label", left)
    time.sleep(0.5)
    screenshot(f"language-{language}-cut-dialog")
    press(button)
    wait_for(lambda: not program.windows_titled(title), 10, what="the cut-out dialog to close")
    return dialog


def test(executable):
    with session(executable, ["--set", "cb_cutimg=1", "--set", "rb_cutimg_auswahl=1"]) as (program, clipboard):
        source = os.path.join(program.scratch, "picture.png")
        write_png(source)
        os.makedirs(program.cwd, exist_ok=True)
        open(os.path.join(program.cwd, "de"), "w").close()
        open(os.path.join(program.cwd, "en"), "w").close()  # "de" wins
        program.start()
        program.find_splash(timeout=20)
        screenshot("language-de-splash")
        program.find_main_window(timeout=20)
        program.wait_for_splash_to_close(timeout=20)
        time.sleep(1.0)
        app = a11y.application(program.proc.pid)

        step("started beside a file 'de': the main window reads German")
        check_main_window(app, "de")
        check(checked(a11y.find(app, "menu item", "Deutsch")), "'Deutsch' carries no check mark")
        check(not checked(a11y.find(app, "menu item", "English")), "'English' carries a check mark")
        screenshot("language-de-main")

        step("the cut-out dialog reads German")
        check_cut_dialog(program, app, clipboard, "de", source)

        step("the expression options dialog reads German")
        press(a11y.find(app, "menu item", REGEX_MENU["de"]))
        check_regex_dialog(program, app, "de")
        screenshot("language-de-regex-dialog")

        step("English from the menu: every window switches at once")
        press(a11y.find(app, "menu item", "English"))
        check_regex_dialog(program, app, "en")  # the open dialog follows
        screenshot("language-en-regex-dialog")
        check_main_window(app, "en")
        check(checked(a11y.find(app, "menu item", "English")), "'English' carries no check mark after the switch")
        check(not checked(a11y.find(app, "menu item", "Deutsch")), "'Deutsch' kept its check mark")
        status, _ = run_tool(["xdotool", "search", "--onlyvisible", "--name", "^Einstellungen für Reguläre Ausdrücke$"])
        check(status != 0, "a window still carries the German dialog title")
        ok = wait_for(lambda: showing_named(app, "push button", "OK"), 10, what="the dialog's OK button")
        press(ok[0])
        wait_for(lambda: not program.windows_titled(REGEX_DIALOG["en"][0]), 10, what="the dialog to close")
        # The image saving section holds the longest captions of both languages.
        press(a11y.find(app, "check box", "Clipboard Images: Save automatically"))
        check(format_text(app, "File format for images") == "*.jpg - JPEG-Image",
              f"the image format reads {format_text(app, 'File format for images')!r} in English")
        time.sleep(0.5)
        screenshot("language-en-main")

        step("the cut-out dialog reads English")
        check_cut_dialog(program, app, clipboard, "en", source)

        step("and back to German")
        press(a11y.find(app, "menu item", "Deutsch"))
        check_main_window(app, "de")
        check(format_text(app, "Dateiformat für Bilder") == "*.jpg - JPEG-Bild",
              f"the image format reads {format_text(app, 'Dateiformat für Bilder')!r} in German")
        time.sleep(0.5)
        screenshot("language-de-main-image-saving")
        press(a11y.find(app, "menu item", REGEX_MENU["de"]))
        check_regex_dialog(program, app, "de")
        ok = wait_for(lambda: showing_named(app, "push button", "OK"), 10, what="the dialog's OK button")
        press(ok[0])
        wait_for(lambda: not program.windows_titled(REGEX_DIALOG["de"][0]), 10, what="the dialog to close")

        step("the output settings dialog reads German, and English once switched")
        press(a11y.find(app, "menu item", OUTPUT_MENU["de"]))
        check_output_dialog(program, app, "de")
        screenshot("language-de-output-dialog")
        press(a11y.find(app, "menu item", "English"))
        dialog = check_output_dialog(program, app, "en")  # the open dialog follows
        screenshot("language-en-output-dialog")
        run_tool(["xdotool", "windowclose", str(dialog)])
        check(program.running(), "the program ended")


if __name__ == "__main__":
    a11y.use_own_bus()
    main(test)
