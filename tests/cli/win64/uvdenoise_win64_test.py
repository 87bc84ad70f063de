#!/usr/bin/env python3
"""The 64-bit Windows program as it ships: it imports exactly the system DLLs docs/release.md names, and
--version names the Debian source versions of the FFmpeg and x264 built into it (Wine)."""
import re
import subprocess
import sys

exe, objdump, release_page, versions_file, wine_run = sys.argv[1:6]
failures = []

dump = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, check=True).stdout
imported = {name.lower() for name in re.findall(r"DLL Name: (\S+)", dump)}
documented_line = next((line for line in open(release_page, encoding="utf-8")
                        if line.startswith("`uvdenoise.exe` imports only")), "")
documented = {name.lower() for name in re.findall(r"`([^`]+\.dll)`", documented_line, re.IGNORECASE)}
if not documented:
    failures.append(f"{release_page} has no line starting \"`uvdenoise.exe` imports only\"")
elif imported != documented:
    failures.append(f"imports {sorted(imported)}, {release_page} says {sorted(documented)}")

version = subprocess.run([wine_run, exe, "--version"], capture_output=True, text=True).stdout
for line in open(versions_file, encoding="utf-8"):
    package, source_version = line.split()
    if f"{package} {source_version}" not in version:
        failures.append(f"--version does not name {package} {source_version}: {version!r}")

for failure in failures:
    print("FAIL:", failure)
sys.exit(1 if failures else 0)
