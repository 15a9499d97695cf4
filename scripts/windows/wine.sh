#!/usr/bin/env bash
# Runs a Windows console program under Wine, headless:
#
#   WINEPREFIX=<build>/wineprefix scripts/windows/wine.sh programa.exe [argumentos...]
#
# The cross toolchain (cmake/mingw-w64.cmake) uses it as the emulator of the test
# programs. Without WINEPREFIX the prefix is ./wineprefix. The prefix is created on
# the first run (under a lock, so that tests started in parallel wait for it instead
# of creating it twice).
# The ANSI code page (GetACP) follows the language of the Unix locale: pt_BR.UTF-8
# and C both give 1252; Wine ignores the registry value for it.
# No display is used: console programs need none, and DISPLAY is cleared so that
# Wine never tries an X server that CI does not have.
set -euo pipefail

WINE="$(command -v wine64 || true)"
[[ -n "$WINE" ]] || WINE=/usr/lib/wine/wine64   # Debian 12 keeps it out of PATH
if [[ ! -x "$WINE" ]]; then
    echo "$0: wine64 não encontrado (scripts/windows/dependencias.sh instala)" >&2
    exit 127
fi
WINESERVER="$(dirname "$WINE")/wineserver"

WINEPREFIX="${WINEPREFIX:-$PWD/wineprefix}"
[[ "$WINEPREFIX" == /* ]] || WINEPREFIX="$PWD/$WINEPREFIX"   # Wine takes only absolute ones
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko: without them Wine would offer to download them on the first run.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=}"
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY

if [[ ! -f "$WINEPREFIX/.quorvel-pronto" ]]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    exec 9>"$WINEPREFIX.lock"
    flock -w 300 9 || { echo "$0: prefixo do Wine ocupado: $WINEPREFIX" >&2; exit 1; }
    if [[ ! -f "$WINEPREFIX/.quorvel-pronto" ]]; then
        rm -rf "$WINEPREFIX"
        "$WINE" wineboot --init </dev/null >/dev/null 2>&1
        "$WINESERVER" -w
        touch "$WINEPREFIX/.quorvel-pronto"
    fi
    exec 9>&-
fi

# Do not keep a persistent wineserver (wineserver -p) around a ctest run: Wine's helper
# processes, started by the first test of a session, keep that test's output open
# while the wineserver lives, and ctest waits for them.
exec "$WINE" "$@"
