#!/usr/bin/env bash
# Starts the Firebird 3 server on 127.0.0.1 as the firebird user, once.
# The SYSDBA password is set to $QUORVEL_FB_SENHA (default below), so that the
# tests and the demo know the login. Safe to run again: a running server is
# left alone.
set -euo pipefail

SENHA="${QUORVEL_FB_SENHA:-quorvel}"
CONF=/etc/firebird/3.0/firebird.conf
SEGURANCA=/var/lib/firebird/3.0/system/security3.fdb

servidor_ativo() {
    # The server answers on its port only when it is up.
    (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null
}

MARCA=/var/lib/firebird/3.0/system/.quorvel-senha
if servidor_ativo; then
    if [ -f "$MARCA" ] && [ "$(cat "$MARCA")" = "$SENHA" ]; then
        exit 0
    fi
    # A server started by the package, with a password we do not know: stop it
    # so that the password can be set.
    pkill -x fbguard 2>/dev/null || true
    pkill -x firebird 2>/dev/null || true
    for _ in $(seq 1 50); do servidor_ativo || break; sleep 0.2; done
fi

# Listen on the loopback address only.
if grep -qE '^\s*RemoteBindAddress' "$CONF"; then
    sed -i -E 's/^\s*RemoteBindAddress.*/RemoteBindAddress = 127.0.0.1/' "$CONF"
else
    echo 'RemoteBindAddress = 127.0.0.1' >> "$CONF"
fi

# Set the SYSDBA password with the embedded engine while no server runs.
if [ ! -f "$MARCA" ] || [ "$(cat "$MARCA")" != "$SENHA" ]; then
    printf "create or alter user SYSDBA password '%s';\ncommit;\n" "$SENHA" \
        | isql-fb -q -user SYSDBA "$SEGURANCA" >/dev/null
    chown firebird:firebird "$SEGURANCA"
    echo "$SENHA" > "$MARCA"
    chmod 600 "$MARCA"
    sed -i -E "s/^ISC_PASSWORD=.*/ISC_PASSWORD=\"$SENHA\"/" /etc/firebird/3.0/SYSDBA.password || true
fi

mkdir -p /run/firebird3.0
chown firebird:firebird /run/firebird3.0
# Lock files of the embedded use above belong to root; the server needs them.
chown -R firebird:firebird /tmp/firebird 2>/dev/null || true

su -s /bin/sh firebird -c '/usr/sbin/fbguard -daemon -forever'

for _ in $(seq 1 50); do
    if servidor_ativo; then
        exit 0
    fi
    sleep 0.2
done
echo "O servidor Firebird não respondeu em 127.0.0.1:3050" >&2
exit 1
