#!/usr/bin/env bash
# Configures and builds the project into build/ (or $QUORVEL_BUILD).
set -euo pipefail
RAIZ="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QUORVEL_BUILD:-$RAIZ/build}"
cmake -S "$RAIZ" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$BUILD" -j "$(nproc)"
