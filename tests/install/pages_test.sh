#!/usr/bin/env bash
# pages_test.sh <source root> <win32 tree> <setup_driver.exe> <work folder>
# The setup clicked through as a viewer does, in English and in Russian: started without /S, its pages
# driven by their controls (tests/install/setup_driver.cpp), and after each run the test looks where the
# plug-in landed and what is left elsewhere. Runs under ctest after scripts/wine-env.sh has started the
# tree's Wine prefix and display.
set -euo pipefail
root="$1" tree="$2" driver="$3" work="$4"
# shellcheck source=../common/setup_wine.sh
source "$root/tests/common/setup_wine.sh"

rm -rf "$work"
bash "$root/scripts/release.sh" --package "$tree" "$work"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$tree/CMakeCache.txt")
setup="$work/RPX_UVDenoise-$version-setup.exe"
dll="$tree/plugin/RPX_UVDenoise.dll"
# Wine takes the setup's language from the locale: C.UTF-8 gives English, and Russian is compiled here, as
# Debian ships no other locale.
mkdir -p "$work/locale"
localedef -i ru_RU -f UTF-8 "$work/locale/ru_RU.UTF-8"
export LOCPATH="$work/locale"
windows_path() { local path="Z:$1"; echo "${path//\//\\}"; }

# clicks <locale> <program> <arguments> <step>...: the driver's lines, which end with the setup's exit.
clicks() {
  local locale="$1" program="$2" arguments="$3"
  shift 3
  LC_ALL="$locale" wine_run "$driver" "$(windows_path "$program")" "$arguments" "$@" | tr -d '\r'
}
# finished <driver's lines> <case>: the setup ran to its end and exited with 0 (the driver's last line).
finished() { [ "$(tail -n1 <<<"$1")" = "exit 0" ] || fail "$2: the setup did not finish: $1"; }

base='C:\uvd-pages'
base_dir="$drive_c/uvd-pages"
for locale in C.UTF-8 ru_RU.UTF-8; do
  rm -rf "$base_dir"
  wine_run reg delete "$key" /f >/dev/null 2>&1 || true
  mkdir -p "$base_dir/Kestrova" "$base_dir/Videos" "$base_dir/Videos2"
  cp "$tree/host/kestrova_host.exe" "$base_dir/Kestrova/"
  plugins="$base_dir/Kestrova/Plugins"

  # Kestrova's Plugins folder typed on a first install (the folder is not there yet): the licence comes
  # first, the box starts at Program Files without a trailing backslash, and the plug-in lands in Plugins.
  out=$(clicks "$locale" "$setup" "" wait:1000 texts click:1 wait:1019 text:1019 "set:1019:$base\\Kestrova\\Plugins" \
    click:1 wait:1202 texts click:1 exit)
  finished "$out" "Plugins typed ($locale)"
  grep -q '^MIT License$' <<<"$out" || fail "no licence page before the folder page ($locale)"
  agree='I &Agree'
  [ "$locale" = C.UTF-8 ] || agree='Принимаю'
  grep -q "$agree" <<<"$out" || fail "the pages are not in the language of $locale: $out"
  grep -qx 'C:\\Program Files\\Kestrova' <<<"$out" || fail "the box did not start at Kestrova's usual folder: $out"
  grep -qFx "$base\\Kestrova\\Plugins" <<<"$out" || fail "the finish page does not name the Plugins folder: $out"
  cmp "$dll" "$plugins/RPX_UVDenoise.dll" || fail "Plugins typed: the DLL is not in Kestrova's Plugins ($locale)"
  [ ! -e "$plugins/Plugins" ] || fail "Plugins typed: the setup made Plugins\\Plugins ($locale)"
  [ -f "$plugins/RPX_UVDenoise-LICENSE.txt" ] || fail "the licence was not installed ($locale)"

  # Over that install, Kestrova's Plugins folder picked through Browse: the folder dialog asks for Kestrova's
  # folder, hands back the folder picked with nothing appended, and the viewer's settings file stays.
  printf '[COMMON]\r\nMedianWndSize=7\r\n' >"$plugins/RPX_UVDenoise.ini"
  out=$(clicks "$locale" "$setup" "" click:1 wait:1019 text:1019 "set:1019:$base\\Kestrova\\Plugins" browse:6 \
    texts click:1 wait:1019 text:1019 click:1 wait:1202 click:1 exit)
  finished "$out" "Browse ($locale)"
  [ "$(sed -n 1p <<<"$out")" = "$base\\Kestrova" ] || fail "the box did not start at the earlier install: $out"
  grep -q 'Kestrova.*Plugins' <<<"$(sed '1d' <<<"$out" | head -n -2)" || fail "the folder dialog does not ask for Kestrova's folder: $out"
  picked=$(tail -n2 <<<"$out" | head -n1)
  [ "${picked%\\}" = "$base\\Kestrova\\Plugins" ] || fail "Browse put $picked into the box ($locale)"
  [ "$(entry InstallLocation)" = "$base\\Kestrova" ] || fail "Browse: InstallLocation $(entry InstallLocation)"
  # The Plugins folder is the one the first run made: the mark that lets the uninstaller remove it stays.
  [ "$(entry PluginsFolderCreated)" = 0x1 ] || fail "Browse: PluginsFolderCreated $(entry PluginsFolderCreated) ($locale)"
  [ ! -e "$plugins/Plugins" ] || fail "Browse: the setup made Plugins\\Plugins ($locale)"
  grep -q 'MedianWndSize=7' "$plugins/RPX_UVDenoise.ini" || fail "reinstalling lost the settings ($locale)"

  # A folder without Kestrova, typed as its Plugins folder: the warning names the folder itself, "No" leaves
  # the viewer on the page with that folder written back into the box, and nothing is written; "Yes" for another one installs there and keeps the working copy in Kestrova's Plugins folder,
  # and the finish page says so.
  out=$(clicks "$locale" "$setup" "" click:1 "set:1019:$base\\Videos\\Plugins" click:1 wait:7 texts click:7 wait:1019 \
    text:1019 "set:1019:$base\\Videos2" click:1 click:6 wait:1202 texts click:1 exit)
  finished "$out" "No, then Yes ($locale)"
  [ "$(grep -cFx "$base\\Videos" <<<"$out")" -eq 2 ] || fail "the warning or the box after No lost the folder: $out"
  grep -qFx "$base\\Kestrova\\Plugins" <<<"$out" || fail "the finish page does not name the earlier copy: $out"
  [ -z "$(ls -A "$base_dir/Videos")" ] || fail "No: the folder got files ($locale)"
  cmp "$dll" "$base_dir/Videos2/Plugins/RPX_UVDenoise.dll" || fail "Yes: not installed in the folder chosen"
  cmp "$dll" "$plugins/RPX_UVDenoise.dll" || fail "Yes: the working copy in Kestrova's Plugins folder is gone ($locale)"
  [ -f "$plugins/RPX_UVDenoise-uninstall.exe" ] || fail "Yes: the working copy lost its uninstaller ($locale)"

  # Kestrova's folder typed: the copy in the folder without Kestrova goes, with the Plugins folder the setup
  # made there, and the entry is Kestrova's again.
  out=$(clicks "$locale" "$setup" "" click:1 "set:1019:$base\\Kestrova" click:1 wait:1202 click:1 exit)
  finished "$out" "Kestrova's folder typed ($locale)"
  cmp "$dll" "$plugins/RPX_UVDenoise.dll" || fail "Kestrova typed: the DLL is not in Kestrova's Plugins ($locale)"
  [ ! -e "$base_dir/Videos2/Plugins" ] || fail "the copy outside Kestrova, or the Plugins folder made for it, stayed"
  [ "$(entry InstallLocation)" = "$base\\Kestrova" ] || fail "InstallLocation $(entry InstallLocation)"

  # The uninstaller's pages, started as Windows starts it from the temporary copy it makes of itself (with
  # a trailing backslash): the folder shown without one; every file of the plug-in goes,
  # the settings file stays.
  out=$(clicks "$locale" "$plugins/RPX_UVDenoise-uninstall.exe" "_?=$base\\Kestrova\\Plugins\\" wait:1000 text:1000 \
    click:1 wait:msctls_progress32 click:1 exit)
  finished "$out" "uninstall ($locale)"
  [ "$(head -n1 <<<"$out")" = "$base\\Kestrova\\Plugins" ] || fail "the uninstaller shows the folder as $out"
  for file in RPX_UVDenoise.dll RPX_UVDenoise-README-RU.txt RPX_UVDenoise-README-EN.txt RPX_UVDenoise-LICENSE.txt; do
    [ ! -e "$plugins/$file" ] || fail "uninstalling left $file ($locale)"
  done
  grep -q 'MedianWndSize=7' "$plugins/RPX_UVDenoise.ini" || fail "uninstalling lost the settings ($locale)"
  no_entry || fail "uninstalling left the entry ($locale)"
done
rm -rf "$base_dir"
echo "release pages test passed"
