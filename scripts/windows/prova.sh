#!/usr/bin/env bash
# From nothing to the check of the Windows cross build, run under Wine:
#
#   sudo bash scripts/windows/prova.sh [pasta]     (default: build-windows/ in the repository)
#
# Installs and builds the third-party libraries (scripts/windows/dependencias.sh into
# <pasta>/terceiros), configures scripts/windows/prova with the cross toolchain into
# <pasta>/prova, builds it and runs its tests with ctest; the Wine prefix is created
# inside <pasta>/prova. Prints the time of each step.
set -euo pipefail
RAIZ="$(cd "$(dirname "$0")/../.." && pwd)"
PASTA="${1:-$RAIZ/build-windows}"
mkdir -p "$PASTA"
PASTA="$(cd "$PASTA" && pwd)"

cronometrar() {
    local rotulo="$1"; shift
    local inicio=$SECONDS
    "$@"
    echo "-- $rotulo: $((SECONDS - inicio)) s" >&2
}

cronometrar "dependencias" bash "$RAIZ/scripts/windows/dependencias.sh" "$PASTA/terceiros"
rm -rf "$PASTA/prova"
cronometrar "configurar" cmake -S "$RAIZ/scripts/windows/prova" -B "$PASTA/prova" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$RAIZ/cmake/mingw-w64.cmake" -DQUORVEL_TERCEIROS="$PASTA/terceiros" >/dev/null
cronometrar "compilar" cmake --build "$PASTA/prova" -j "$(nproc)"
# The suite runs under pt_BR.UTF-8; the Windows side must see code page 1252 anyway.
cd "$PASTA/prova"
export LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8
cronometrar "primeiro ctest (cria o prefixo do Wine)" ctest --output-on-failure -j "$(nproc)"
cronometrar "segundo ctest" ctest --output-on-failure -j "$(nproc)"
