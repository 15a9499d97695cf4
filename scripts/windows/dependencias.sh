#!/usr/bin/env bash
# Prepares a Debian machine for the Windows cross build of the core and the service.
#
#   sudo bash scripts/windows/dependencias.sh <folder>
#
# Installs from Debian what is missing (mingw-w64 g++ with posix threads, Wine, the
# GoogleTest sources, dpkg-dev), adds a source entry for Debian's archive when there
# is none, and builds into <folder>/prefix, never into the system:
#   - libxml2 (Debian's own source, static, without python, iconv, zlib, lzma, http, ftp)
#   - GoogleTest (from /usr/src/googletest)
#   - the database client's headers, copied from firebird-dev, and an import library
#     for its fbclient.dll
# Each step leaves a stamp in <folder>/marcas; a second run skips what is done and
# redoes a step only when its inputs changed (package version, toolchain file).
# Then: cmake -DCMAKE_TOOLCHAIN_FILE=<repo>/cmake/mingw-w64.cmake -DQUORVEL_TERCEIROS=<folder>
set -euo pipefail

if [[ $# -ne 1 ]]; then
    echo "uso: $0 <pasta>" >&2
    exit 2
fi
if [[ $(id -u) -ne 0 ]]; then
    echo "$0: precisa ser executado como root (instala pacotes do Debian)" >&2
    exit 2
fi

RAIZ="$(cd "$(dirname "$0")/../.." && pwd)"
TOOLCHAIN="$RAIZ/cmake/mingw-w64.cmake"
mkdir -p "$1"
PASTA="$(cd "$1" && pwd)"
PREFIXO="$PASTA/prefix"
MARCAS="$PASTA/marcas"
mkdir -p "$PREFIXO" "$MARCAS" "$PASTA/src" "$PASTA/obj"
JOBS="$(nproc)"
export DEBIAN_FRONTEND=noninteractive

passo() { echo "== $*"; }

# A stamp holds the fingerprint of the inputs of a step; the step is done when the
# stamp exists with the same fingerprint.
feito() { [[ -f "$MARCAS/$1" && "$(cat "$MARCAS/$1")" == "$2" ]]; }
marcar() { printf '%s' "$2" >"$MARCAS/$1"; }

# --- Debian packages -------------------------------------------------------------
PACOTES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
         wine64 googletest dpkg-dev cmake ninja-build firebird-dev)
FALTAM=()
for p in "${PACOTES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        FALTAM+=("$p")
    fi
done

# A source entry for Debian's own archive, written like the binary entries.
tem_fontes() {
    grep -rqsE '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list /etc/apt/sources.list.d/*.list && return 0
    grep -rqsE '^[[:space:]]*Types:.*deb-src' /etc/apt/sources.list.d/*.sources && return 0
    return 1
}
ATUALIZAR=0
if ! tem_fontes; then
    passo "adicionando entrada deb-src do arquivo do Debian"
    NOVO=""
    # deb822: every stanza that points at Debian's archive, with Types: deb-src.
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -f "$f" ]] || continue
        NOVO+="$(awk -v RS= -v ORS='\n\n' '
            /(^|\n)URIs:[^\n]*debian\.org/ && /(^|\n)Types:[^\n]*deb/ && !/(^|\n)Enabled: *no/ {
                sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f")"
    done
    if [[ -n "$NOVO" ]]; then
        printf '%s\n' "$NOVO" >/etc/apt/sources.list.d/quorvel-fontes.sources
    else
        # One-line format.
        grep -hsE '^[[:space:]]*deb[[:space:]].*debian\.org' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
            | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' >/etc/apt/sources.list.d/quorvel-fontes.list || true
        if [[ ! -s /etc/apt/sources.list.d/quorvel-fontes.list ]]; then
            rm -f /etc/apt/sources.list.d/quorvel-fontes.list
            echo "$0: nenhuma entrada do arquivo do Debian em /etc/apt; não sei onde buscar os fontes" >&2
            exit 1
        fi
    fi
    ATUALIZAR=1
fi

if [[ ${#FALTAM[@]} -gt 0 || $ATUALIZAR -eq 1 ]]; then
    passo "apt-get update"
    apt-get update -qq
fi
if [[ ${#FALTAM[@]} -gt 0 ]]; then
    passo "instalando: ${FALTAM[*]}"
    apt-get install -y -qq --no-install-recommends "${FALTAM[@]}" >/dev/null
fi

CMAKE_COMUM=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DQUORVEL_TERCEIROS="$PASTA"
             -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIXO")

# construir <name> <source> [cmake options...]: a CMake project built afresh
# with the cross toolchain and installed into the prefix.
construir() {
    local nome="$1" fonte="$2"
    shift 2
    rm -rf "$PASTA/obj/$nome"
    cmake -S "$fonte" -B "$PASTA/obj/$nome" "${CMAKE_COMUM[@]}" "$@" >/dev/null
    cmake --build "$PASTA/obj/$nome" -j "$JOBS" >/dev/null
    cmake --install "$PASTA/obj/$nome" >/dev/null
}
IMPRESSAO_TOOLCHAIN="$(sha256sum "$TOOLCHAIN" | cut -c1-16) $(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)"

# --- libxml2 ---------------------------------------------------------------------
# The same source version as the Linux build's libxml2.
VERSAO_XML="$(apt-cache policy libxml2 | awk '/Candidate:/ {print $2}')"
if ! feito libxml2-fonte "$VERSAO_XML"; then
    passo "apt-get source libxml2=$VERSAO_XML"
    rm -rf "$PASTA/src/libxml2" && mkdir -p "$PASTA/src/libxml2"
    (cd "$PASTA/src/libxml2" && apt-get source -qq "libxml2=$VERSAO_XML" >/dev/null 2>&1) || {
        echo "$0: apt-get source libxml2 falhou" >&2; exit 1; }
    marcar libxml2-fonte "$VERSAO_XML"
fi
FONTE_XML="$(find "$PASTA/src/libxml2" -mindepth 1 -maxdepth 1 -type d -name 'libxml2-*' | head -n1)"
if ! feito libxml2 "$VERSAO_XML $IMPRESSAO_TOOLCHAIN"; then
    passo "compilando libxml2 para Windows"
    construir libxml2 "$FONTE_XML" \
        -DBUILD_SHARED_LIBS=OFF \
        -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF \
        -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_LZMA=OFF \
        -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF \
        -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF
    marcar libxml2 "$VERSAO_XML $IMPRESSAO_TOOLCHAIN"
fi

# --- GoogleTest --------------------------------------------------------------------
VERSAO_GTEST="$(dpkg-query -W -f='${Version}' googletest)"
if ! feito googletest "$VERSAO_GTEST $IMPRESSAO_TOOLCHAIN"; then
    passo "compilando GoogleTest para Windows"
    construir googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF
    marcar googletest "$VERSAO_GTEST $IMPRESSAO_TOOLCHAIN"
fi

# --- The database client's headers -----------------------------------------------
# Only the headers: adding /usr/include to a cross build would bring the Linux C
# library's headers with them. firebird/Interface.h includes "ibase.h" from the
# include folder itself.
VERSAO_FB="$(dpkg-query -W -f='${Version}' firebird-dev)"
if ! feito firebird "$VERSAO_FB"; then
    passo "copiando os cabeçalhos do cliente do Firebird"
    rm -rf "$PREFIXO/include/firebird"
    mkdir -p "$PREFIXO/include"
    cp -r /usr/include/firebird "$PREFIXO/include/"
    cp /usr/include/ibase.h /usr/include/iberror.h /usr/include/ib_util.h "$PREFIXO/include/"
    marcar firebird "$VERSAO_FB"
fi

# An import library for fbclient.dll, made from the functions the client's headers
# declare, so that find_library(fbclient) and the link work as on Linux. A program
# linked with it does not start where fbclient.dll is missing (the DLL belongs to the
# laboratory's Firebird install, never to this build). Named libfbclient.a, like
# mingw's own import libraries: with -static the linker's -l looks for no .dll.a.
if ! feito fbclient "$VERSAO_FB $IMPRESSAO_TOOLCHAIN"; then
    passo "gerando a biblioteca de importação de fbclient.dll"
    mkdir -p "$PREFIXO/lib"
    {
        echo "LIBRARY fbclient.dll"
        echo "EXPORTS"
        cat "$PREFIXO/include/ibase.h" "$PREFIXO/include/firebird/Interface.h" | tr '\n' ' ' \
            | grep -oE 'ISC_EXPORT[_A-Z]*[[:space:]]+[*[:space:]]*[A-Za-z_][A-Za-z_0-9]*[[:space:]]*\(' \
            | sed -E 's/.*[[:space:]*]([A-Za-z_][A-Za-z_0-9]*)[[:space:]]*\($/\1/' | sort -u
    } >"$PASTA/obj/fbclient.def"
    x86_64-w64-mingw32-dlltool -d "$PASTA/obj/fbclient.def" -D fbclient.dll -l "$PREFIXO/lib/libfbclient.a"
    marcar fbclient "$VERSAO_FB $IMPRESSAO_TOOLCHAIN"
fi

passo "pronto: $PREFIXO"
