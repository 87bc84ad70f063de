# Sourced by the scripts that run Windows programs: a private Wine prefix under the build tree (32-bit unless
# UVD_WINEARCH=win64), a virtual X display for the dialogs, and a persistent wineserver so that ctest does not
# hang on its pipes.
# uvd_wine_up <prefix-dir>; uvd_wine_down

uvd_wine_up() {
  local prefix
  mkdir -p "$1"
  prefix=$(cd "$1" && pwd)
  export WINEARCH="${UVD_WINEARCH:-win32}"
  export WINEPREFIX="$prefix"
  export UVD_WINEPREFIX="$prefix"
  export WINEDEBUG="${WINEDEBUG:--all,err+module}"
  export WINEDLLOVERRIDES="mscoree,mshtml="

  if [ -z "${DISPLAY:-}" ] || [ -n "${UVD_OWN_XVFB:-}" ]; then
    local n first="${UVD_XVFB_FIRST:-90}"
    # UVD_XVFB_FIRST keeps trees that test side by side on displays of their own.
    for n in $(seq "$first" $((first + 50))); do
      [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ] || break
    done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    UVD_XVFB_PID=$!
    export DISPLAY=":$n"
    export UVD_OWN_XVFB=1
    local i
    for i in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X${n}" ] && break
      sleep 0.1
    done
  fi

  if [ ! -f "$prefix/system.reg" ]; then
    mkdir -p "$prefix"
    wineboot -i </dev/null >/dev/null 2>&1 || true
    # Without a window manager Wine waits on every window close unless windows are unmanaged.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1  || true
    if [ -d /usr/share/wine/fonts ]; then
      mkdir -p "$prefix/drive_c/windows/Fonts"
      cp -n /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
    fi
  fi
  wineserver -p30 </dev/null >/dev/null 2>&1 || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

uvd_wine_down() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${UVD_XVFB_PID:-}" ]; then
    kill "$UVD_XVFB_PID" 2>/dev/null || true
    wait "$UVD_XVFB_PID" 2>/dev/null || true
    # The display is gone with it: the next uvd_wine_up (the win64 stage after win32) starts its own.
    unset UVD_XVFB_PID UVD_OWN_XVFB DISPLAY
  fi
}
