"""The manual page against the program: the options its OPTIONS section describes are the ones --help
lists, both ways, with the same ranges and defaults, which the program keeps; groff reads the page
without a warning.
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
    return set(manual_entries(page))


def manual_entries(page):
    """Each option of the OPTIONS section with the text that describes it."""
    lines = open(page, encoding="utf-8").read().replace("\\-", "-").splitlines()
    start = lines.index(".SH OPTIONS")
    end = next(i for i in range(start + 1, len(lines)) if lines[i].startswith(".SH "))
    entries, current = {}, []
    for i in range(start, end):
        if lines[i] == ".TP":
            current = OPTION.findall(lines[i + 1])
            for option in current:
                entries[option] = ""
        else:
            for option in current:
                entries[option] += " " + lines[i]
    return entries


RANGE = re.compile(r"^  (--?[\w-]+)[^\n]*?(\d+)\.\.(\d+)(?:, default (\d+))?", re.M)


def ranges_agree(program, page, failures):
    """Every range and default --help states is the manual page's too, and the program's."""
    text = subprocess.run([program, "--help"], capture_output=True, text=True, check=True).stdout
    entries = manual_entries(page)
    found = RANGE.findall(text)
    if not found:
        failures.append("no ranges found in --help")
    for option, low, high, default in found:
        entry = entries.get(option, "")
        if f"{low} to {high}" not in entry:
            failures.append(f"{option}: --help says {low}..{high}, the manual page does not")
        if default and f"default {default}" not in entry:
            failures.append(f"{option}: --help says default {default}, the manual page does not")
        for value, accepted in ((low, True), (high, True), (int(low) - 1, False), (int(high) + 1, False)):
            run = subprocess.run([program, f"{option}={value}", "--quiet", "-", "-"], input=b"YUV4MPEG2 W2 H2\n",
                                 capture_output=True)
            if (run.returncode == 0) != accepted:
                failures.append(f"{option}={value}: exit code {run.returncode}")


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
    ranges_agree(program, page, failures)
    groff = subprocess.run(["groff", "-man", "-ww", "-z", page], capture_output=True, text=True)
    if groff.returncode != 0 or groff.stderr:
        failures.append("groff -man -ww -z: " + groff.stderr.strip())
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures else 0)


main()
