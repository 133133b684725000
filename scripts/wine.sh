# The Wine environment of the build's own prefix, with no installer dialogs,
# and quiet unless the caller asked for a debug channel. Sourced by the
# scripts; run as `wine.sh PROGRAM ARGUMENTS...` (as the build runs its
# shader tool) it runs the program under Wine in that environment.
: "${BUILD_DIR:?BUILD_DIR must name the build folder}"
export WINEPREFIX="${WINEPREFIX:-$BUILD_DIR/wineprefix}"
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG="${WINEDEBUG:--all}"

prepare_wine_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
}

# Ends the prefix's Wine session and waits until its processes are gone. A
# session that began without a display (the build's shader steps start one)
# shows no windows to the programs started in it later, display or not, so
# whatever opens a window starts a session of its own after this.
end_wine_session() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  exec wine "$@"
fi
