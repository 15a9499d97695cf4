#!/usr/bin/env bash
# Installs, as root on Debian, only the packages that are missing.
set -euo pipefail

PACOTES=(firebird3.0-server firebird3.0-utils firebird-dev libfbclient2
         qt6-base-dev libxml2-dev cmake ninja-build g++ googletest libgtest-dev
         xvfb xauth fonts-dejavu-core locales qt6-translations-l10n
         libsystemd-dev)

FALTAM=()
for p in "${PACOTES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        FALTAM+=("$p")
    fi
done

if [ ${#FALTAM[@]} -gt 0 ]; then
    echo "Instalando: ${FALTAM[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # The server package must not try to start a service (there is no systemd).
    apt-get install -y -qq --no-install-recommends "${FALTAM[@]}"
fi

# The operators' locale: the tests run under it, so that a conversion that
# follows the process locale (a decimal comma) fails a test.
if ! locale -a 2>/dev/null | grep -qiE '^pt_BR\.utf-?8$'; then
    sed -i -E 's/^#\s*(pt_BR\.UTF-8 UTF-8)/\1/' /etc/locale.gen
    grep -qE '^pt_BR\.UTF-8 UTF-8' /etc/locale.gen || echo 'pt_BR.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
