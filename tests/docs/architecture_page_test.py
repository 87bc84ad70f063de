#!/usr/bin/env python3
"""docs/ARCHITECTURE.md names files and functions in backticks: each must exist, so the page cannot drift.

A name with a slash or a source file's ending must be a file or folder below the repository's root; a C++
name (Class::Member or a plain identifier) must stand as a whole word in the tree's sources, both parts in
one file. Anything else in backticks
(system headers, program names, options) is not checked. Names meant as examples go in italics.
Usage: architecture_page_test.py <repository root>
"""
import os
import re
import sys

SOURCE_ENDINGS = (".cpp", ".h", ".txt", ".md", ".sh", ".py", ".cmake", ".nsi", ".rc")
SOURCE_FOLDERS = ("plugin", "ui", "settings", "filter", "platform", "cli", "host", "tests", "cmake", "fuzz", "bench")
IDENTIFIER = re.compile(r"^[A-Za-z_]\w*(::[A-Za-z_]\w*)?$")


def sources(root):
    texts = {}
    for folder in SOURCE_FOLDERS:
        for base, _, files in os.walk(os.path.join(root, folder)):
            for name in files:
                if name.endswith((".cpp", ".h", ".txt", ".cmake")):
                    path = os.path.join(base, name)
                    with open(path, encoding="utf-8", errors="replace") as f:
                        texts[path] = f.read()
    with open(os.path.join(root, "CMakeLists.txt"), encoding="utf-8") as f:
        texts["CMakeLists.txt"] = f.read()
    return texts


def missing_names(page, root):
    texts = sources(root)
    missing = []
    for number, line in enumerate(page.splitlines(), 1):
        for name in re.findall(r"`([^`]+)`", line):
            if "/" in name or name.endswith(SOURCE_ENDINGS):
                if not os.path.exists(os.path.join(root, name.rstrip("/"))):
                    missing.append((number, name, "no such file or folder"))
            elif IDENTIFIER.match(name):
                words = [re.compile(r"\b%s\b" % re.escape(part)) for part in name.split("::")]
                if not any(all(word.search(text) for word in words) for text in texts.values()):
                    missing.append((number, name, "no such name in the sources"))
    return missing


def main():
    root = sys.argv[1]
    with open(os.path.join(root, "docs", "ARCHITECTURE.md"), encoding="utf-8") as f:
        page = f.read()
    names = len(re.findall(r"`([^`]+)`", page))
    missing = missing_names(page, root)
    for number, name, why in missing:
        print("docs/ARCHITECTURE.md:%d: `%s`: %s" % (number, name, why))
    print("%d names in backticks, %d missing" % (names, len(missing)))
    return 1 if missing or names == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
