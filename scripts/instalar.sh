#!/usr/bin/env bash
# Installs, as root on Debian, only the packages that are missing.
set -euo pipefail

PACOTES=(firebird3.0-server firebird3.0-utils firebird-dev libfbclient2
         qt6-base-dev libxml2-dev cmake ninja-build g++ googletest libgtest-dev
         xvfb xauth fonts-dejavu-core)

FALTAM=()
for p in "${PACOTES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        FALTAM+=("$p")
    fi
done

if [ ${#FALTAM[@]} -eq 0 ]; then
    exit 0
fi

echo "Instalando: ${FALTAM[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# The server package must not try to start a service (there is no systemd).
apt-get install -y -qq --no-install-recommends "${FALTAM[@]}"
