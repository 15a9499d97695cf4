#!/usr/bin/env bash
# Installs what is missing, builds, starts the Firebird server and runs every
# test. Run as root on Debian.
set -euo pipefail
RAIZ="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QUORVEL_BUILD:-$RAIZ/build}"

bash "$RAIZ/scripts/instalar.sh"
bash "$RAIZ/scripts/firebird.sh"
QUORVEL_BUILD="$BUILD" bash "$RAIZ/scripts/compilar.sh"
cd "$BUILD"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
