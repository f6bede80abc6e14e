#!/usr/bin/python3
"""The byte examples of the text encodings page are what the program writes.

Every table row of encodings.html and encodings_de.html that names its
encoding button (data-setting) gives, in its first <code> of the last cell, the
bytes of the text "a€" saved with that button. Each is checked by saving "a€"
with `tallowin apply` and that button, and comparing the file.

Usage: test_docs_encodings.py PATH-TO-TALLOWIN DOCS-FOLDER
"""
import os
import shutil
import subprocess
import sys
import tempfile
from html.parser import HTMLParser

SAMPLE = "a€"


class Rows(HTMLParser):
    """(setting, hex text) of every row with data-setting."""

    def __init__(self):
        super().__init__()
        self.rows = []
        self.setting = None
        self.cell = 0
        self.codes = []
        self.in_code = False

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "tr":
            self.setting, self.cell, self.codes = attrs.get("data-setting"), 0, []
        elif tag == "td":
            self.cell += 1
        elif tag == "code" and self.setting and self.cell == 3:
            self.in_code = True
            self.codes.append("")

    def handle_endtag(self, tag):
        if tag == "code":
            self.in_code = False
        elif tag == "tr" and self.setting:
            self.rows.append((self.setting, self.codes[0] if self.codes else None))
            self.setting = None

    def handle_data(self, data):
        if self.in_code:
            self.codes[-1] += data


def saved_bytes(tallowin, setting, folder):
    name = setting
    args = [tallowin, "apply", "--set", "cb_savetxt=1", "--set", f"{setting}=1",
            "--set", f"savetxt_ordner={folder}/", "--set", f"savetxt_name={name}", "--set", "savetxt_format=.txt"]
    subprocess.run(args, input=SAMPLE.encode(), stdout=subprocess.DEVNULL, check=True, timeout=60,
                   env=dict(os.environ, TALLOWIN_HOME=folder + "/"))
    with open(os.path.join(folder, name + ".txt"), "rb") as f:
        return f.read()


def main(tallowin, docs):
    folder = tempfile.mkdtemp(prefix="tallowin-docs-")
    faults, checked = [], 0
    try:
        for page in ("encodings.html", "encodings_de.html"):
            parser = Rows()
            with open(os.path.join(docs, page), encoding="utf-8") as f:
                parser.feed(f.read())
            if len(parser.rows) != 9:
                faults.append(f"{page}: expected the nine encoding choices, found {len(parser.rows)} rows")
            for setting, shown in parser.rows:
                written = saved_bytes(tallowin, setting, folder)
                try:
                    documented = bytes.fromhex(shown or "")
                except ValueError:
                    faults.append(f"{page} {setting}: {shown!r} is not a list of hexadecimal bytes")
                    continue
                checked += 1
                if written != documented:
                    faults.append(f"{page} {setting}: the page says {documented.hex(' ').upper()}, "
                                  f"the program writes {written.hex(' ').upper()}")
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    for fault in faults:
        print(fault)
    print("FAILED" if faults or not checked else "PASSED")
    return 1 if faults or not checked else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
