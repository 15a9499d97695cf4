#!/usr/bin/env bash
# Sets everything up and runs Quorvel CAD on a demo laboratory database with
# sample request files. Run as root on Debian. Safe to run again: the demo
# database is created once and sample files are put back only when the inbox
# holds no request file.
set -euo pipefail
RAIZ="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${QUORVEL_BUILD:-$RAIZ/build}"
SENHA="${QUORVEL_FB_SENHA:-quorvel}"
PASTA_BANCO=/var/lib/quorvel
BANCO="$PASTA_BANCO/demo.fdb"

bash "$RAIZ/scripts/instalar.sh"
bash "$RAIZ/scripts/firebird.sh"
QUORVEL_BUILD="$BUILD" bash "$RAIZ/scripts/compilar.sh"

# The demo laboratory database, once.
mkdir -p "$PASTA_BANCO"
chown firebird:firebird "$PASTA_BANCO"
if [ ! -f "$BANCO" ]; then
    echo "Criando o banco de demonstração em $BANCO"
    {
        echo "create database '127.0.0.1:$BANCO' user 'SYSDBA' password '$SENHA' default character set WIN1252;"
        cat "$RAIZ/db/esquema.sql"
        echo "commit;"
        cat "$RAIZ/scripts/demo/catalogo.sql"
    } | isql-fb -q -ch UTF8 -bail >/dev/null || { rm -f "$BANCO"; echo "Falha ao criar o banco de demonstração" >&2; exit 1; }
fi

# config.xml beside the program, so that it connects at once.
CONFIG="$BUILD/config.xml"
if [ ! -f "$CONFIG" ]; then
    umask 077
    cat > "$CONFIG" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<Configuration>
  <DB servidor="127.0.0.1" banco="$BANCO" usuario="SYSDBA" senha="$SENHA"/>
  <aplicacao modo_processamento="manual" frequencia="1" data_coleta_com_data_pedido="nao"/>
</Configuration>
XML
    umask 022
fi

# Sample request files, when the inbox is empty. They are placed already
# settled: last written a minute ago (at midnight when a minute ago was
# yesterday), so that the first scan lists them at once instead of waiting
# for them as files still being written, and asks nothing about files of
# other days.
CAIXA="$BUILD/arquivos"
mkdir -p "$CAIXA"
if ! ls "$CAIXA"/*.xml >/dev/null 2>&1; then
    cp "$RAIZ"/scripts/demo/arquivos/*.xml "$CAIXA"/
    QUANDO="1 minute ago"
    [ "$(date -d "$QUANDO" +%F)" = "$(date +%F)" ] || QUANDO="$(date +%F) 00:00:00"
    touch -d "$QUANDO" "$CAIXA"/*.xml
fi

cd "$BUILD"
if [ -n "${DISPLAY:-}" ]; then
    exec ./quorvelcad
fi

CAPTURA="${QUORVEL_CAPTURA:-$BUILD/quorvelcad-demo.png}"
echo "Nenhuma tela disponível (DISPLAY vazio): executando a janela no Xvfb."
QUORVEL_CAPTURA="$CAPTURA" QUORVEL_SAIR_APOS_CAPTURA=1 xvfb-run -a -s "-screen 0 1024x768x24" ./quorvelcad
echo "Captura da janela após a primeira leitura da pasta: $CAPTURA"
