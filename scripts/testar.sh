#!/usr/bin/env bash
# Installs what is missing, builds, starts the Firebird server and runs every
# test. Run as root on Debian.
#   --sanitizers  builds into build-asan/ (or $QUORVEL_BUILD_ASAN) with
#                 AddressSanitizer and UndefinedBehaviorSanitizer and runs the
#                 whole suite there. Leaks are reported, except those of the
#                 Firebird client library (tests/sanitizers/lsan.supp).
set -euo pipefail
RAIZ="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QUORVEL_BUILD:-$RAIZ/build}"
OPCOES=()
if [ "${1:-}" = "--sanitizers" ]; then
    BUILD="${QUORVEL_BUILD_ASAN:-$RAIZ/build-asan}"
    OPCOES=(-DQUORVEL_SANITIZE=ON)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
    export LSAN_OPTIONS="suppressions=$RAIZ/tests/sanitizers/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

bash "$RAIZ/scripts/instalar.sh"
bash "$RAIZ/scripts/firebird.sh"
QUORVEL_BUILD="$BUILD" bash "$RAIZ/scripts/compilar.sh" "${OPCOES[@]}"
cd "$BUILD"
# The whole suite runs in the laboratories' locale (decimal comma, UTF-8).
export LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
