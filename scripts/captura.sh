#!/usr/bin/env bash
# Opens the main window on the test fixtures (a fresh laboratory database and
# request files in the inbox folder) without a screen and saves a PNG picture
# of it once its first scan is done. Needs a build (scripts/compilar.sh) and
# the Firebird server (scripts/firebird.sh).
#
#   bash scripts/captura.sh [picture.png]     (default: build/quorvelcad.png)
set -euo pipefail
RAIZ="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QUORVEL_BUILD:-$RAIZ/build}"
SAIDA="$(realpath -m "${1:-$BUILD/quorvelcad.png}")"
SENHA="${QUORVEL_FB_SENHA:-quorvel}"
PROGRAMA="$BUILD/quorvelcad"
[ -x "$PROGRAMA" ] || { echo "Programa não encontrado: $PROGRAMA (compile antes)" >&2; exit 1; }

# A folder the server (firebird user) can write for the database, and one for
# the program with its config.xml and inbox.
PASTA_BANCO="$(mktemp -d /tmp/quorvel-captura-banco.XXXXXX)"
PASTA="$(mktemp -d /tmp/quorvel-captura.XXXXXX)"
BANCO="$PASTA_BANCO/captura.fdb"
trap 'rm -rf "$PASTA" "$PASTA_BANCO"' EXIT
chmod 0777 "$PASTA_BANCO"

{
    echo "create database '127.0.0.1:$BANCO' user 'SYSDBA' password '$SENHA' default character set WIN1252;"
    cat "$RAIZ/db/esquema.sql"
    echo "commit;"
    [ -f "$RAIZ/scripts/demo/catalogo.sql" ] && cat "$RAIZ/scripts/demo/catalogo.sql"
} | isql-fb -q -ch UTF8 -bail >/dev/null

cp "$PROGRAMA" "$PASTA/"
cat > "$PASTA/config.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Configuration>
  <DB servidor="127.0.0.1" banco="$BANCO" usuario="SYSDBA" senha="$SENHA"/>
  <aplicacao modo_processamento="manual" frequencia="5" data_coleta_com_data_pedido="sim"/>
</Configuration>
XML

# Request files: a valid one, one the validation refuses, and the demo's
# samples that are well-formed (a file that cannot be parsed would stop the
# scan with a message box). All written today, so that the scan asks nothing
# about files of earlier days.
mkdir -p "$PASTA/arquivos"
for f in "$RAIZ"/tests/data/lista/valido.xml "$RAIZ"/tests/data/lista/sem_sexo.xml \
         "$RAIZ"/scripts/demo/arquivos/*.xml; do
    [ -f "$f" ] || continue
    python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$f" 2>/dev/null || continue
    cp "$f" "$PASTA/arquivos/"
done
touch "$PASTA"/arquivos/*.xml 2>/dev/null || true

cd "$PASTA"
QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" QUORVEL_CAPTURA="$SAIDA" QUORVEL_SAIR_APOS_CAPTURA=1 \
    timeout 120 ./quorvelcad
[ -f "$SAIDA" ] || { echo "A captura não foi gerada" >&2; exit 1; }
echo "Captura da janela: $SAIDA"
