#!/usr/bin/env bash
# Configures and builds the project into build/ (or $QUORVEL_BUILD).
set -euo pipefail
RAIZ="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QUORVEL_BUILD:-$RAIZ/build}"
# A compiler cache, where one is installed, makes rebuilds of other work
# trees of the same sources cheap.
LANCADOR=()
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$RAIZ")}"
    LANCADOR=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$RAIZ" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${LANCADOR[@]}" "$@" >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
