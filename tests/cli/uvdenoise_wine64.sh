#!/bin/sh
# uvdenoise.exe (UVD_WIN64_EXE) as a command, in the 64-bit Wine prefix the test command made (UVD_WINEPREFIX);
# a UTF-8 locale, so that Wine hands any file name over as it is.
export LC_ALL=C.UTF-8 WINEARCH=win64 WINEPREFIX="${UVD_WINEPREFIX:?set by scripts/wine-env.sh}" WINEDEBUG=-all
exec wine "${UVD_WIN64_EXE:?}" "$@"
