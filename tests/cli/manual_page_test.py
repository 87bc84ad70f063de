"""The manual page against the program: the options its OPTIONS section describes are the ones --help
lists, both ways, and groff reads the page without a warning.
    manual_page_test.py <uvdenoise> <uvdenoise.1>"""
import re
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])(--?[A-Za-z][\w-]*)")


def help_options(program):
    text = subprocess.run([program, "--help"], capture_output=True, text=True, check=True).stdout
    # The example lines carry ffmpeg's options, not ours.
    return {o for line in text.splitlines() if "ffmpeg" not in line for o in OPTION.findall(line)}


def manual_options(page):
    lines = open(page, encoding="utf-8").read().splitlines()
    start = lines.index(".SH OPTIONS")
    end = next(i for i in range(start + 1, len(lines)) if lines[i].startswith(".SH "))
    tags = [lines[i + 1] for i in range(start, end) if lines[i] == ".TP"]
    return {o for tag in tags for o in OPTION.findall(tag.replace("\\-", "-"))}


def main():
    program, page = sys.argv[1:]
    failures = []
    from_help, from_page = help_options(program), manual_options(page)
    if not from_page:
        failures.append("no options found in the manual page's OPTIONS section")
    if from_help - from_page:
        failures.append("--help lists, the manual page lacks: " + " ".join(sorted(from_help - from_page)))
    if from_page - from_help:
        failures.append("the manual page describes, --help lacks: " + " ".join(sorted(from_page - from_help)))
    groff = subprocess.run(["groff", "-man", "-ww", "-z", page], capture_output=True, text=True)
    if groff.returncode != 0 or groff.stderr:
        failures.append("groff -man -ww -z: " + groff.stderr.strip())
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


main()
