#!/usr/bin/env bash
# install_test.sh <source root> <win32 tree> <work folder>
# Runs under ctest after scripts/wine-env.sh has started the tree's Wine prefix (UVD_WINEPREFIX).
set -euo pipefail
root="$1" tree="$2" work="$3"
# shellcheck source=../common/setup_wine.sh
source "$root/tests/common/setup_wine.sh"

rm -rf "$work"
bash "$root/scripts/release.sh" --package "$tree" "$work"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
dll="$tree/plugin/RPX_UVDenoise.dll"

# The zips hold exactly their files, as a viewer's Notepad reads them: the licence is the source's in
# CR LF, and each guide holds the finish page's words on turning the filter on and on the settings, as
# the setup script has them.
python3 - "$work" "$version" "$dll" "$root" <<'PY' || fail "zip contents"
import os, re, sys, zipfile
work, version, dll, root = sys.argv[1:]
z = zipfile.ZipFile("%s/RPX_UVDenoise-%s-win32.zip" % (work, version))
assert z.namelist() == ["RPX_UVDenoise.dll", "README-RU.txt", "README-EN.txt", "LICENSE.txt"], z.namelist()
assert z.read("RPX_UVDenoise.dll") == open(dll, "rb").read(), "the zip's DLL is not the tree's"
licence = open(root + "/LICENSE", "rb").read().replace(b"\n", b"\r\n")
assert b"MIT" in licence and z.read("LICENSE.txt") == licence, "LICENSE.txt is not the licence in CR LF"
cli_zip = "%s/uvdenoise-%s-win32.zip" % (work, version)
if os.path.exists(cli_zip):
    assert zipfile.ZipFile(cli_zip).read("LICENSE.txt") == licence, "uvdenoise's zip: LICENSE.txt"
script = open(root + "/release/setup.nsi", encoding="utf-8").read()
flat = lambda text: " ".join(text.split())
for name, codepage, language in [("README-RU.txt", "cp1251", "RUSSIAN"), ("README-EN.txt", "utf-8-sig", "ENGLISH")]:
    raw = z.read(name)
    assert raw.count(b"\n") == raw.count(b"\r\n") > 10, name + ": not CR LF"
    text = flat(raw.decode(codepage))
    assert "Индивидуальные настройки каналов" in text, name
    for string in ["FinishTurnOn", "FinishSettings"]:
        words = re.search(r'^LangString %s \$\{LANG_%s\} "(.*)"$' % (string, language), script, re.M).group(1)
        words = flat(words.replace('$\\"', '"').replace("$\\r$\\n", " "))
        assert words in text, "%s lacks the finish page's words: %s" % (name, words)
assert z.read("README-EN.txt").startswith(b"\xef\xbb\xbf"), "README-EN.txt: no byte order mark for Notepad"
PY
(cd "$work" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS"
# ...and it lists every other file of the release, the debug information too.
[ "$(cut -d' ' -f3- "$work/SHA256SUMS" | LC_ALL=C sort)" = "$(ls -A "$work" | grep -vx SHA256SUMS | LC_ALL=C sort)" ] ||
  fail "SHA256SUMS lists $(cut -d' ' -f3- "$work/SHA256SUMS" | tr '\n' ' '), the release holds $(ls -A "$work" | tr '\n' ' ')"
# The release builds these same bytes; the page that states their sizes must say what this tree gives.
python3 "$root/tools/documented_sizes.py" check "$root/docs/release.md" \
  "RPX_UVDenoise.dll, stripped=$(stat -c %s "$dll")" \
  "the plug-in's zip=$(stat -c %s "$work/RPX_UVDenoise-$version-win32.zip")" \
  "uvdenoise.exe=$(stat -c %s "$tree/cli/uvdenoise.exe")" \
  "uvdenoise's zip=$(stat -c %s "$work/uvdenoise-$version-win32.zip")" || fail "docs/release.md's sizes"

host_win='C:\uvd-install-test\Kestrova'
host_dir="$drive_c/uvd-install-test/Kestrova"
rm -rf "$drive_c/uvd-install-test"
wine_run reg delete "$key" /f >/dev/null 2>&1 || true
setup="$work/RPX_UVDenoise-$version-setup.exe"
installed=(RPX_UVDenoise.dll RPX_UVDenoise-README-RU.txt RPX_UVDenoise-README-EN.txt RPX_UVDenoise-LICENSE.txt
  RPX_UVDenoise-uninstall.exe)

# A folder with neither a Plugins folder nor a program is refused by a silent install: exit code 2,
# nothing written, no entry.
mkdir -p "$drive_c/uvd-install-test/Videos"
code=0
wine_run "$setup" /S '/D=C:\uvd-install-test\Videos' || code=$?
[ "$code" -eq 2 ] || fail "a folder without Kestrova: setup exited with $code, not 2"
[ -z "$(ls -A "$drive_c/uvd-install-test/Videos")" ] || fail "a folder without Kestrova got files"
no_entry || fail "a refused install left an entry"

# Kestrova's Plugins folder chosen in place of Kestrova's own: the DLL lands in it, not in Plugins\Plugins,
# and the entry names Kestrova's folder and the plug-in, with a publisher, an icon, the size of every file
# installed, and the mark that the setup created the Plugins folder.
mkdir -p "$host_dir"
cp "$tree/host/kestrova_host.exe" "$host_dir/"
wine_run "$setup" /S "/D=$host_win\\Plugins" || fail "setup exited with $?"
cmp "$dll" "$host_dir/Plugins/RPX_UVDenoise.dll" || fail "installed DLL differs from the tree's"
[ ! -e "$host_dir/Plugins/Plugins" ] || fail "the setup made Plugins\\Plugins"
for file in "${installed[@]}"; do [ -f "$host_dir/Plugins/$file" ] || fail "not installed: $file"; done
[ "$(entry DisplayVersion)" = "$version" ] || fail "DisplayVersion: $(entry DisplayVersion)"
[ "$(entry InstallLocation)" = "$host_win" ] || fail "InstallLocation: $(entry InstallLocation)"
[ -n "$(entry Publisher)" ] || fail "no Publisher"
[[ "$(entry DisplayName)" == RPX_UVDenoise*Kestrova ]] || fail "DisplayName: $(entry DisplayName)"
[ "$(entry PluginsFolderCreated)" = 0x1 ] || fail "PluginsFolderCreated: $(entry PluginsFolderCreated)"
cmp "$root/LICENSE" <(tr -d '\r' <"$host_dir/Plugins/RPX_UVDenoise-LICENSE.txt") || fail "the installed licence"
[ "$(entry DisplayIcon)" = "$host_win\\Plugins\\RPX_UVDenoise-uninstall.exe" ] || fail "DisplayIcon: $(entry DisplayIcon)"
kilobytes=$(( ($(cd "$host_dir/Plugins" && cat "${installed[@]}" | wc -c) + 1023) / 1024 ))
[ "$(( $(entry EstimatedSize) ))" -eq "$kilobytes" ] || fail "EstimatedSize $(entry EstimatedSize) for $kilobytes KB of files"

# The test host, started from the installed folder, loads the plug-in from Plugins and filters a frame.
# Chroma is constant down each column but for single-row sparkles away from the first and last rows
# (which the window repeats), so a window of 7 gives back the clean frame exactly; luma is a ramp the
# filter must not touch.
printf '[SETTINGS]\r\nCommon=1\r\n[COMMON]\r\nMedianWndSize=7\r\nProcEnable=1\r\n' >"$host_dir/Plugins/RPX_UVDenoise.ini"
python3 - "$host_dir" <<'PY'
import sys
width, height = 32, 12
clean, noisy = bytearray(), bytearray()
for row in range(height):
    for pair in range(width // 2):
        clean += bytes([(row * 16 + pair * 2) % 256, 40 + pair * 9, (row * 16 + pair * 2 + 1) % 256, 220 - pair * 7])
noisy[:] = clean
for row, pair, channel, value in [(2, 0, 1, 255), (3, 5, 3, 0), (5, 9, 1, 250), (9, 15, 3, 1), (7, 2, 1, 200), (7, 2, 3, 10)]:
    noisy[(row * width // 2 + pair) * 4 + channel] = value
open(sys.argv[1] + "/clean.yuy2", "wb").write(clean)
open(sys.argv[1] + "/noisy.yuy2", "wb").write(noisy)
PY
wine_run "$host_dir/kestrova_host.exe" --format yuy2 --size 32x12 --in "$host_win\\noisy.yuy2" \
  --out "$host_win\\filtered.yuy2" --dll "$host_win\\Plugins\\RPX_UVDenoise.dll" >/dev/null ||
  fail "the host exited with $?"
cmp "$host_dir/clean.yuy2" "$host_dir/filtered.yuy2" || fail "the installed plug-in's frame is not the clean one"
grep -q 'MedianWndSize=7' "$host_dir/Plugins/RPX_UVDenoise.ini" || fail "the settings file lost the window size"
cp "$host_dir/Plugins/RPX_UVDenoise.ini" "$work/settings-after-run.ini"

# Installing again over it keeps the viewer's settings file.
wine_run "$setup" /S "/D=$host_win" || fail "second setup exited with $?"
cmp "$work/settings-after-run.ini" "$host_dir/Plugins/RPX_UVDenoise.ini" || fail "reinstalling changed the settings"
cmp "$dll" "$host_dir/Plugins/RPX_UVDenoise.dll" || fail "reinstalled DLL differs"

# Installing into another Kestrova (one with a Plugins folder and no program) removes the first copy,
# keeping its settings file, and the one entry names the new folder, whose Plugins folder it did not make.
other_win='C:\uvd-install-test\Kestrova2'
other_dir="$drive_c/uvd-install-test/Kestrova2"
mkdir -p "$other_dir/Plugins"
wine_run "$setup" /S "/D=$other_win" || fail "setup into a second folder exited with $?"
cmp "$dll" "$other_dir/Plugins/RPX_UVDenoise.dll" || fail "the second folder's DLL differs"
for file in "${installed[@]}"; do [ ! -e "$host_dir/Plugins/$file" ] || fail "the first copy kept $file"; done
cmp "$work/settings-after-run.ini" "$host_dir/Plugins/RPX_UVDenoise.ini" || fail "moving changed the first settings"
[ "$(entry InstallLocation)" = "$other_win" ] || fail "InstallLocation after moving: $(entry InstallLocation)"
[ "$(entry PluginsFolderCreated)" = 0x0 ] || fail "PluginsFolderCreated over Kestrova's own Plugins folder"

# The entry's quiet uninstall, run as Windows' tools run it, removes every file of the plug-in and the entry
# without asking, and leaves Kestrova's Plugins folder even when that is empty now. The uninstaller
# copies itself elsewhere and returns at once, so the test waits for the entry to go.
quiet=$(entry QuietUninstallString)
program=$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$quiet")
read -ra switches <<<"${quiet#\"$program\"}"
wine_run "$program" "${switches[@]}" || fail "the quiet uninstall ($quiet) exited with $?"
for _ in $(seq 1 100); do no_entry && [ ! -e "$other_dir/Plugins/RPX_UVDenoise-uninstall.exe" ] && break; sleep 0.1; done
no_entry || fail "the quiet uninstall ($quiet) left the entry"
for file in "${installed[@]}"; do [ ! -e "$other_dir/Plugins/$file" ] || fail "uninstalling left $file"; done
[ -d "$other_dir/Plugins" ] || fail "uninstalling removed a Plugins folder the setup did not create"
[ -e "$host_dir/kestrova_host.exe" ] || fail "uninstalling touched the host's folder"

# A Kestrova without a Plugins folder, installed into twice: the second install finds the Plugins folder the
# first made and keeps the mark that the setup created it, so removing the plug-in removes the folder too.
fresh_win='C:\uvd-install-test\Kestrova3'
fresh_dir="$drive_c/uvd-install-test/Kestrova3"
mkdir -p "$fresh_dir"
cp "$tree/host/kestrova_host.exe" "$fresh_dir/"
for run in first second; do
  wine_run "$setup" /S "/D=$fresh_win" || fail "the $run install into a fresh folder exited with $?"
  [ "$(entry PluginsFolderCreated)" = 0x1 ] || fail "PluginsFolderCreated after the $run install: $(entry PluginsFolderCreated)"
done
wine_run "$fresh_dir/Plugins/RPX_UVDenoise-uninstall.exe" /S || fail "uninstalling from the fresh folder exited with $?"
for _ in $(seq 1 100); do no_entry && [ ! -e "$fresh_dir/Plugins" ] && break; sleep 0.1; done
[ ! -e "$fresh_dir/Plugins" ] || fail "uninstalling left the Plugins folder the setup made: $(ls -A "$fresh_dir/Plugins")"
[ -e "$fresh_dir/kestrova_host.exe" ] || fail "uninstalling touched the fresh folder's host"

rm -rf "$drive_c/uvd-install-test"
echo "release install test passed"
