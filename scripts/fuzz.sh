#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UBSan) and runs each
# one, one after the other, for the given number of seconds (default 60).
#   bash scripts/fuzz.sh [segundos] [alvo...]      alvos: leitor config
# Build folder: $QUORVEL_BUILD_FUZZ (default build-fuzz beside the repo).
# Corpus and findings live outside the repository, in $QUORVEL_FUZZ_DIR
# (default /tmp/quorvel-fuzz): corpus-<alvo>/ grows from run to run (seeded
# from the test fixtures), crash-/leak-/timeout- files land in achados-<alvo>/,
# each run's output in <alvo>.log. Exits non-zero when a target found a fault.
set -euo pipefail
RAIZ="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QUORVEL_BUILD_FUZZ:-$(dirname "$RAIZ")/build-fuzz}"
SAIDA="${QUORVEL_FUZZ_DIR:-/tmp/quorvel-fuzz}"
SEGUNDOS="${1:-60}"
shift || true
ALVOS=("$@")
[ ${#ALVOS[@]} -gt 0 ] || ALVOS=(leitor config)

if ! command -v clang++ >/dev/null; then
    echo "O fuzzing precisa do clang com a libFuzzer: apt-get install clang libclang-rt-dev" >&2
    exit 2
fi
CC=clang CXX=clang++ cmake -S "$RAIZ" -B "$BUILD" -G Ninja -DQUORVEL_FUZZ=ON -DQUORVEL_JANELA=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j 2 --target "${ALVOS[@]/#/fuzz_}"

mkdir -p "$SAIDA"
semear() {  # alvo
    local corpus="$SAIDA/corpus-$1"
    mkdir -p "$corpus"
    case "$1" in
        leitor)
            find "$RAIZ/tests/data" "$RAIZ/scripts/demo/arquivos" -name '*.xml' -size -64k \
                -exec cp -n {} "$corpus/" \; ;;
        config)
            cp -n "$RAIZ"/tests/fuzz/sementes/config/*.xml "$corpus/" ;;
    esac
    # Earlier crashers are seeds as well: a fixed fault must stay fixed.
    if [ -d "$RAIZ/tests/data/regressao/$1" ]; then
        cp -n "$RAIZ/tests/data/regressao/$1"/* "$corpus/" 2>/dev/null || true
    fi
}

falhou=0
for alvo in "${ALVOS[@]}"; do
    semear "$alvo"
    mkdir -p "$SAIDA/achados-$alvo"
    achadosAntes=$(find "$SAIDA/achados-$alvo" -type f | wc -l)
    echo "== fuzz_$alvo por $SEGUNDOS s (corpus $SAIDA/corpus-$alvo)"
    # Qt and the database client are not part of these targets; leaks are
    # reported (detect_leaks=1) because everything here is our own code and
    # libxml2.
    if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:symbolize=1" \
         UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
         "$BUILD/tests/fuzz/fuzz_$alvo" "$SAIDA/corpus-$alvo" \
            -dict="$RAIZ/tests/fuzz/xml.dict" \
            -max_total_time="$SEGUNDOS" -timeout=10 -rss_limit_mb=2048 -max_len=16384 \
            -artifact_prefix="$SAIDA/achados-$alvo/" -print_final_stats=1 \
            >"$SAIDA/$alvo.log" 2>&1; then
        falhou=1
        echo "!! fuzz_$alvo encontrou uma falha: veja $SAIDA/$alvo.log e $SAIDA/achados-$alvo/"
    fi
    grep -E '^stat::(number_of_executed_units|new_units_added|peak_rss_mb)|^Done' "$SAIDA/$alvo.log" || true
    # One line per run in resumo.txt: when, target, seconds, executions,
    # corpus size, faults found by this run (new artifacts).
    execucoes=$(sed -n 's/^stat::number_of_executed_units: *//p' "$SAIDA/$alvo.log" | tail -1)
    printf '%s\t%s\t%s s\t%s execucoes\t%s entradas no corpus\t%s achados\n' \
        "$(date '+%d/%m/%Y %H:%M:%S')" "$alvo" "$SEGUNDOS" "${execucoes:-?}" \
        "$(find "$SAIDA/corpus-$alvo" -type f | wc -l)" \
        "$(( $(find "$SAIDA/achados-$alvo" -type f | wc -l) - achadosAntes ))" \
        >>"$SAIDA/resumo.txt"
done
exit $falhou
