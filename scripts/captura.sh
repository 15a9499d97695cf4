#!/usr/bin/env bash
# Takes the README's pictures of the program, run under Xvfb as an operator
# would see it, on a fresh laboratory database with the demo's request files:
#   janela-principal.png   main window after the first scan, manual mode, a
#                          file with errors (red "Com erro") in view;
#   pagina-automatico.png  automatic mode after its first cycle, with the time
#                          of the next check;
#   dialogo-conexao.png    the connection settings dialog, shown because the
#                          stored password is wrong.
# Needs a build (scripts/compilar.sh) and the Firebird server
# (scripts/firebird.sh).
#
#   bash scripts/captura.sh [folder]     (default: docs/)
set -euo pipefail
RAIZ="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QUORVEL_BUILD:-$RAIZ/build}"
SAIDA="$(realpath -m "${1:-$RAIZ/docs}")"
SENHA="${QUORVEL_FB_SENHA:-quorvel}"
PROGRAMA="$BUILD/quorvelcad"
[ -x "$PROGRAMA" ] || { echo "Programa não encontrado: $PROGRAMA (compile antes)" >&2; exit 1; }
mkdir -p "$SAIDA"

# A folder the server (firebird user) can write for the database.
PASTA_BANCO="$(mktemp -d /tmp/quorvel-captura-banco.XXXXXX)"
PASTAS=("$PASTA_BANCO")
trap 'rm -rf "${PASTAS[@]}"' EXIT
chmod 0777 "$PASTA_BANCO"
BANCO="$PASTA_BANCO/captura.fdb"
{
    echo "create database '127.0.0.1:$BANCO' user 'SYSDBA' password '$SENHA' default character set WIN1252;"
    cat "$RAIZ/db/esquema.sql"
    echo "commit;"
    cat "$RAIZ/scripts/demo/catalogo.sql"
} | isql-fb -q -ch UTF8 -bail >/dev/null

# Runs the program in a folder of its own with the given mode and password
# and the given demo request files (written today, so that the scan asks
# nothing about files of earlier days, and settled); the picture goes to
# $SAIDA/$1.
capturar() {
    local figura="$1" modo="$2" senha="$3"
    shift 3
    local pasta
    pasta="$(mktemp -d /tmp/quorvel-captura.XXXXXX)"
    PASTAS+=("$pasta")
    cp "$PROGRAMA" "$pasta/"
    cat > "$pasta/config.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Configuration>
  <DB servidor="127.0.0.1" banco="$BANCO" usuario="SYSDBA" senha="$senha"/>
  <aplicacao modo_processamento="$modo" frequencia="5" data_coleta_com_data_pedido="sim"/>
</Configuration>
XML
    mkdir -p "$pasta/arquivos"
    local f
    for f in "$@"; do cp "$RAIZ/scripts/demo/arquivos/$f" "$pasta/arquivos/"; done
    # Already settled (a file written in the last seconds waits as one still
    # being written): a minute ago, or at midnight when a minute ago was
    # yesterday.
    local quando="1 minute ago"
    [ "$(date -d "$quando" +%F)" = "$(date +%F)" ] || quando="$(date +%F) 00:00:00"
    touch -d "$quando" "$pasta"/arquivos/*.xml 2>/dev/null || true
    rm -f "$SAIDA/$figura"
    (cd "$pasta" && LANG=pt_BR.UTF-8 LC_ALL=pt_BR.UTF-8 QT_QPA_PLATFORM=xcb \
        QUORVEL_CAPTURA="$SAIDA/$figura" QUORVEL_SAIR_APOS_CAPTURA=1 \
        timeout 120 xvfb-run -a -s "-screen 0 1024x768x24" ./quorvelcad)
    [ -f "$SAIDA/$figura" ] || { echo "A captura $figura não foi gerada" >&2; exit 1; }
    echo "Captura: $SAIDA/$figura"
}

# Two files to import and one that the validation refuses: three rows, the
# red one last (rows with errors sort below the pending ones).
capturar janela-principal.png manual "$SENHA" \
    lote_manha_100240.xml pedido_100231.xml pedido_com_erros_100260.xml
# The first cycle imports the good files and moves them to processados/.
capturar pagina-automatico.png automatico "$SENHA" \
    lote_manha_100240.xml pedido_100231.xml pedido_latin1_100250.xml pedido_com_erros_100260.xml
capturar dialogo-conexao.png manual errada
