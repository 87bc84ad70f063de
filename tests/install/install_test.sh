#!/usr/bin/env bash
# install_test.sh <source root> <win32 tree> <work folder>
# Runs under ctest after scripts/wine-env.sh has started the tree's Wine prefix (UVD_WINEPREFIX).
set -euo pipefail
root="$1" tree="$2" work="$3"
wine_run() { "$root/cmake/wine-run.sh" "$@" </dev/null; }
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
bash "$root/scripts/release.sh" --package "$tree" "$work"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
dll="$tree/plugin/RPX_UVDenoise.dll"

# The zip holds exactly the DLL and the two guides, as a viewer's Notepad reads them.
python3 - "$work/RPX_UVDenoise-$version-win32.zip" "$dll" <<'PY' || fail "zip contents"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.namelist() == ["RPX_UVDenoise.dll", "README-RU.txt", "README-EN.txt"], z.namelist()
assert z.read("RPX_UVDenoise.dll") == open(sys.argv[2], "rb").read(), "the zip's DLL is not the tree's"
for name, codepage, word in [("README-RU.txt", "cp1251", "Plugins"), ("README-EN.txt", "ascii", "Plugins")]:
    text = z.read(name)
    assert text.count(b"\n") == text.count(b"\r\n") > 10, name + ": not CR LF"
    assert word in text.decode(codepage), name
assert "Индивидуальные настройки каналов" in z.read("README-RU.txt").decode("cp1251")
PY
(cd "$work" && sha256sum -c --quiet SHA256SUMS) || fail "SHA256SUMS"

drive_c="$UVD_WINEPREFIX/drive_c"
host_win='C:\uvd-install-test\Kestrova'
host_dir="$drive_c/uvd-install-test/Kestrova"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\RPX_UVDenoise'
rm -rf "$drive_c/uvd-install-test"
wine_run reg delete "$key" /f >/dev/null 2>&1 || true
setup="$work/RPX_UVDenoise-$version-setup.exe"

# Install silently into the host's folder: the DLL lands in Plugins, the uninstaller is registered.
wine_run "$setup" /S "/D=$host_win" || fail "setup exited with $?"
cmp "$dll" "$host_dir/Plugins/RPX_UVDenoise.dll" || fail "installed DLL differs from the tree's"
wine_run reg query "$key" /v DisplayVersion | grep -q "$version" || fail "uninstall entry missing"

# The test host, started from the installed folder, loads the plug-in from Plugins and filters a frame.
# Chroma is constant down each column but for single-row sparkles away from the first and last rows
# (which the window repeats), so a window of 7 gives back the clean frame exactly; luma is a ramp the
# filter must not touch.
cp "$tree/host/kestrova_host.exe" "$host_dir/"
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

# Uninstalling removes the DLL and the uninstall entry and keeps the settings file. With _?= the
# uninstaller runs in place and waits, so it cannot remove its own file.
wine_run "$host_dir/Plugins/RPX_UVDenoise-uninstall.exe" /S "_?=$host_win\\Plugins" || fail "uninstaller exited with $?"
[ ! -e "$host_dir/Plugins/RPX_UVDenoise.dll" ] || fail "uninstalling left the DLL"
cmp "$work/settings-after-run.ini" "$host_dir/Plugins/RPX_UVDenoise.ini" || fail "uninstalling changed the settings"
! wine_run reg query "$key" >/dev/null 2>&1 || fail "uninstalling left the uninstall entry"
[ -e "$host_dir/kestrova_host.exe" ] || fail "uninstalling touched the host's folder"

rm -rf "$drive_c/uvd-install-test"
echo "release install test passed"
