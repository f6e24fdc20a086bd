#!/usr/bin/env python3
"""Strict check of a report: every tag closed in order, valid entities, no script, and the
rows of the table. Prints the table as tab-separated lines, one row a line."""
import html.parser
import sys

VOID = {"meta", "br"}


class Strict(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=False)
        self.stack, self.rows, self.cell, self.errors = [], [], None, []

    def handle_starttag(self, tag, attrs):
        if tag == "script":
            self.errors.append("script element")
        if tag not in VOID:
            self.stack.append(tag)
        if tag == "tr":
            self.rows.append([])
        if tag == "td":
            self.cell = ""

    def handle_endtag(self, tag):
        if not self.stack or self.stack[-1] != tag:
            self.errors.append(f"</{tag}> closes {self.stack[-1] if self.stack else 'nothing'}")
            return
        self.stack.pop()
        if tag == "td":
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data

    def handle_entityref(self, name):
        if name not in ("amp", "lt", "gt", "quot"):
            self.errors.append(f"unknown entity &{name};")
        if self.cell is not None:
            self.cell += {"amp": "&", "lt": "<", "gt": ">", "quot": '"'}.get(name, "?")

    def handle_charref(self, name):
        if self.cell is not None:
            self.cell += chr(int(name[1:], 16) if name.lower().startswith("x") else int(name))


text = open(sys.argv[1], encoding="utf-8", errors="strict").read()
parser = Strict()
parser.feed(text)
parser.close()
if parser.stack:
    parser.errors.append("unclosed: " + " ".join(parser.stack))
if 'charset="utf-8"' not in text:
    parser.errors.append("no charset declaration")
for error in parser.errors:
    print("error\t" + error)
for row in parser.rows:
    print("\t".join(row))
sys.exit(1 if parser.errors else 0)
