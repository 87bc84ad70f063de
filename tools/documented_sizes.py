#!/usr/bin/env python3
"""The release's sizes as docs/release.md states them, between its two size markers.

  documented_sizes.py write <page> LABEL=VALUE ...   rewrites the table (scripts/release.sh, after a release)
  documented_sizes.py check <page> LABEL=VALUE ...   exits 1 naming each label whose stated value differs

A value is a whole number: bytes, or kilobytes for a label that ends in "KB". The page shows bytes with
thousands separators; the tests that build the same files check them, so the page cannot drift from the build.
"""
import re
import sys

BEGIN = "<!-- sizes: written by scripts/release.sh, checked by the tests that build the same files -->"
END = "<!-- end of sizes -->"


def parse_pairs(args):
    pairs = []
    for arg in args:
        label, _, value = arg.rpartition("=")
        if not label or not value.isdigit():
            sys.exit(f"documented_sizes: not LABEL=VALUE: {arg}")
        pairs.append((label, int(value)))
    return pairs


def block_of(text, page):
    start, end = text.find(BEGIN), text.find(END)
    if start < 0 or end < start:
        sys.exit(f"documented_sizes: {page} has no size markers")
    return start + len(BEGIN), end


def stated(text, page):
    start, end = block_of(text, page)
    values = {}
    for row in re.finditer(r"^\| (.+?) \| ([\d,]+) \|$", text[start:end], re.M):
        values[row.group(1)] = int(row.group(2).replace(",", ""))
    return values


def write(page, pairs):
    text = open(page, encoding="utf-8").read()
    start, end = block_of(text, page)
    rows = ["", "| file | size |", "|---|---:|"] + [f"| {label} | {value:,} |" for label, value in pairs] + [""]
    open(page, "w", encoding="utf-8").write(text[:start] + "\n".join(rows) + text[end:])


def check(page, pairs):
    values = stated(open(page, encoding="utf-8").read(), page)
    wrong = [f"{label}: the page says {values.get(label, 'nothing')}, the build gives {value:,}"
             for label, value in pairs if values.get(label) != value]
    for line in wrong:
        print(f"documented_sizes: {line} (scripts/release.sh rewrites {page})", file=sys.stderr)
    return 1 if wrong else 0


if __name__ == "__main__":
    if len(sys.argv) < 4 or sys.argv[1] not in ("write", "check"):
        sys.exit(__doc__)
    pairs = parse_pairs(sys.argv[3:])
    if sys.argv[1] == "write":
        write(sys.argv[2], pairs)
    else:
        sys.exit(check(sys.argv[2], pairs))
