"""Runs every recipe of the expression help pages (the table under "Recipes"
in regex.html and regex_de.html) with `tallowin apply` on Linux text (LF line
breaks) and on text a Windows program copied (CR LF), and compares the result
with what the recipe's task promises.

A recipe row gives the search expression (<code>), the replacement (<code>, or
"a blank" / "(empty)", or a typed line break, which the program stores as LF)
and whether the replacement is a template. Every documented recipe must have
cases here, keyed by its task as the page names it.

Usage: regex_recipe_checks.py PATH-TO-TALLOWIN DOCS-FOLDER
Prints one line per failure; exits 1 when any check failed.
"""
import os
import subprocess
import sys
from html.parser import HTMLParser


def both(text, expected):
    """The case on LF text and the same text with CR LF line breaks."""
    return [(text, expected), (text.replace("\n", "\r\n"), expected.replace("\n", "\r\n"))]


# Task as the page names it -> [(input, expected output)].
CASES = {}
for tasks, cases in [
        (("Squeeze runs of blanks and tabs into one blank", "Folgen von Leerzeichen und Tabulatoren zu einem Leerzeichen"),
         both("a  \t b\nc\t d", "a b\nc d")),
        (("Remove blanks at line ends", "Leerzeichen am Zeilenende entfernen"),
         both("one  \ntwo\t\nthree \t", "one\ntwo\nthree")),
        (("Join all lines into one", "Alle Zeilen zu einer verbinden"),
         both("one\ntwo\nthree", "one two three")),
        (("Collapse blank lines", "Leerzeilen entfernen"),
         both("one\n\n\ntwo\nthree\n\nfour", "one\ntwo\nthree\nfour")),
        (("Strip HTML tags", "HTML-Tags entfernen"),
         both("<p>one</p>\n<b>two</b>", "one\ntwo")),
        (("Remove a doubled word", "Doppeltes Wort entfernen"),
         both("the the cat\nsat sat", "the cat\nsat")),
        (("ISO date to German order", "ISO-Datum in deutsche Reihenfolge"),
         both("2010-10-14\n1999-01-02", "14.10.2010\n02.01.1999")),
        (("“Last, First” to “First Last”", "„Nachname, Vorname“ zu „Vorname Nachname“"),
         both("Doe, John\nRoe, Jane", "John Doe\nJane Roe")),
        (("Any spelling of a word",), both("Colour\ncolor", "hue\nhue")),
        (("Jede Schreibweise eines Wortes",), both("email\ne-mail\nEMail", "E-Mail\nE-Mail\nE-Mail")),
]:
    for task in tasks:
        CASES[task] = cases

BLANK = ("a blank", "ein Leerzeichen")
EMPTY = ("(empty)", "(leer)")
LINE_BREAK = ("line break", "Zeilenumbruch")
YES, NO = ("yes", "ja"), ("no", "nein")


class RecipeTable(HTMLParser):
    """The rows of the table after <h2 id="recipes">: per cell its text and the
    text of its <code>, if any."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.state = "before"  # before, heading, table, done
        self.rows, self.row, self.cell, self.in_code = [], None, None, False

    def handle_starttag(self, tag, attrs):
        if tag == "h2" and dict(attrs).get("id") == "recipes" and self.state == "before":
            self.state = "heading"
        elif tag == "table" and self.state == "heading":
            self.state = "table"
        elif self.state != "table":
            return
        elif tag == "tr":
            self.row = []
        elif tag == "td" and self.row is not None:
            self.cell = {"text": "", "code": None}
        elif tag == "code" and self.cell is not None:
            self.in_code = True
            self.cell["code"] = ""

    def handle_endtag(self, tag):
        if self.state != "table":
            return
        if tag == "code":
            self.in_code = False
        elif tag == "td" and self.cell is not None:
            self.row.append(self.cell)
            self.cell = None
        elif tag == "tr" and self.row is not None:
            if self.row:  # the header row has no <td>
                self.rows.append(self.row)
            self.row = None
        elif tag == "table":
            self.state = "done"

    def handle_data(self, data):
        if self.cell is not None:
            self.cell["text"] += data
            if self.in_code:
                self.cell["code"] += data


def recipes(page):
    """(task, search, replacement, template) of each recipe row of `page`."""
    table = RecipeTable()
    with open(page, encoding="utf-8") as f:
        table.feed(f.read())
    found = []
    for cells in table.rows:
        if len(cells) != 4 or cells[1]["code"] is None:
            raise ValueError(f"a recipe row that is not task, <code>search</code>, replacement, template: {cells}")
        task = " ".join(cells[0]["text"].split())
        replace_cell = cells[2]
        text = " ".join(replace_cell["text"].split())
        if replace_cell["code"] is not None:
            replacement = replace_cell["code"]
        elif text in BLANK:
            replacement = " "
        elif text in EMPTY:
            replacement = ""
        elif any(word in text for word in LINE_BREAK):
            replacement = "\n"  # a line break typed into the field is stored as LF
        else:
            raise ValueError(f"{task}: cannot read the replacement {text!r}")
        flag = cells[3]["text"].strip()
        if flag not in YES + NO:
            raise ValueError(f"{task}: the template column reads {flag!r}")
        found.append((task, cells[1]["code"], replacement, flag in YES))
    return found


def apply(tallowin, search, replacement, template, text):
    args = [tallowin, "apply", "--set", "cb_suchenersetzen=1", "--set", "act_ers_text_suchen_regex=1",
            "--set", f"act_ers_text_ersetzen_regex={1 if template else 0}",
            "--set", f"act_ers_text_suchen={search}", "--set", f"act_ers_text_ersetzen={replacement}"]
    done = subprocess.run(args, input=text.encode(), stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
    if done.returncode != 0:
        return f"(exit status {done.returncode}: {done.stderr.decode(errors='replace').strip()})"
    return done.stdout.decode()


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    tallowin, docs = sys.argv[1], sys.argv[2]
    failures, runs = 0, 0
    for page in ("regex.html", "regex_de.html"):
        try:
            rows = recipes(os.path.join(docs, page))
        except (OSError, ValueError) as e:
            print(f"FAIL {page}: {e}")
            failures += 1
            continue
        if not rows:
            print(f"FAIL {page}: no recipes found")
            failures += 1
        for task, search, replacement, template in rows:
            if task not in CASES:
                print(f"FAIL {page}: the recipe {task!r} has no cases in {os.path.basename(__file__)}")
                failures += 1
                continue
            for text, expected in CASES[task]:
                runs += 1
                got = apply(tallowin, search, replacement, template, text)
                if got != expected:
                    failures += 1
                    print(f"FAIL {page}: {task!r}: {search!r} -> {replacement!r} (template: {template}) "
                          f"on {text!r} gives {got!r}, not {expected!r}")
    print(f"{runs} recipe runs, {failures} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
