#!/usr/bin/python3
"""The help pages the program opens hang together:

- every link to a page of docs/ names a file that exists, and every #anchor an
  id on that page;
- every page has its other-language twin (NAME.html and NAME_de.html);
- every page can be reached from the start pages index.html and index_de.html,
  which the help menus open.

Usage: test_docs_links.py DOCS-FOLDER
"""
import os
import sys
from html.parser import HTMLParser
from urllib.parse import urldefrag


class Page(HTMLParser):
    def __init__(self):
        super().__init__()
        self.links = []
        self.ids = set()

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        if tag == "a" and "href" in attrs:
            self.links.append(attrs["href"])


def read(folder, name):
    page = Page()
    with open(os.path.join(folder, name), encoding="utf-8") as f:
        page.feed(f.read())
    return page


def twin(name):
    stem = name[:-len(".html")]
    return stem[:-3] + ".html" if stem.endswith("_de") else stem + "_de.html"


def main(folder):
    names = sorted(n for n in os.listdir(folder) if n.endswith(".html"))
    pages = {n: read(folder, n) for n in names}
    faults = []
    for name, page in pages.items():
        for href in page.links:
            if "://" in href or href.startswith("mailto:"):
                faults.append(f"{name}: external link {href} (the help pages are shipped with the program)")
                continue
            target, anchor = urldefrag(href)
            target = target or name
            if target not in pages:
                faults.append(f"{name}: link to missing page {target}")
            elif anchor and anchor not in pages[target].ids:
                faults.append(f"{name}: link to missing anchor {target}#{anchor}")
        if twin(name) not in pages:
            faults.append(f"{name}: no other-language page {twin(name)}")
    reached, todo = set(), ["index.html", "index_de.html"]
    while todo:
        name = todo.pop()
        if name in reached or name not in pages:
            continue
        reached.add(name)
        todo.extend(urldefrag(h)[0] or name for h in pages[name].links)
    faults.extend(f"{name}: not reachable from the start pages" for name in names if name not in reached)
    for fault in faults:
        print(fault)
    print("FAILED" if faults else "PASSED")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
