#!/usr/bin/env bash
# Runs a Windows program under the build tree's private Wine prefix (32-bit unless UVD_WINEARCH=win64).
# UVD_WINEPREFIX names the prefix; scripts/wine-env.sh creates it and starts wineserver.
set -u
export WINEARCH="${UVD_WINEARCH:-win32}"
export WINEPREFIX="${UVD_WINEPREFIX:?set UVD_WINEPREFIX (scripts/wine-env.sh)}"
export WINEDEBUG="${WINEDEBUG:--all,err+module}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"
