#!/usr/bin/python3
"""Decodes every "<name>.cp<value>" file in a folder with Python's own codecs and
writes the text as UTF-16 LE (lone surrogates kept) to "<name>.cp<value>.decoded",
or the decoder's complaint to "<name>.cp<value>.error". Signatures are not
stripped: the caller expects them as U+FEFF at the start of the text."""

import pathlib
import sys

CODECS = {
    0: "cp1252",
    65000: "utf-7",
    64999: "utf-7",
    65001: "utf-8",
    1200: "utf-16-le",
    1201: "utf-16-be",
    65005: "utf-32-le",
    65006: "utf-32-be",
}


def main(folder):
    for path in sorted(pathlib.Path(folder).glob("*.cp*")):
        if path.suffix in (".decoded", ".error"):
            continue
        codec = CODECS[int(path.suffix[3:])]
        try:
            text = path.read_bytes().decode(codec)
        except UnicodeDecodeError as e:
            path.with_name(path.name + ".error").write_text(f"{codec}: {e}")
            continue
        path.with_name(path.name + ".decoded").write_bytes(text.encode("utf-16-le", "surrogatepass"))


if __name__ == "__main__":
    main(sys.argv[1])
