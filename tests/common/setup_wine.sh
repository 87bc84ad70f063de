# Sourced by the setup program's tests: Windows programs in the tree's Wine prefix, the installed-programs
# entry, and failing with a message. Needs $root (the source root); the prefix is scripts/wine-env.sh's.
wine_run() { "$root/cmake/wine-run.sh" "$@" </dev/null; }
fail() { echo "FAIL: $*" >&2; exit 1; }
drive_c="$UVD_WINEPREFIX/drive_c"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\RPX_UVDenoise'
# entry <value>: a value of the entry, as reg prints it (DWORDs as 0x...).
entry() { wine_run reg query "$key" /v "$1" | tr -d '\r' | sed -n "s/^ *$1 *REG_[A-Z]* *//p"; }
no_entry() { ! wine_run reg query "$key" >/dev/null 2>&1; }
