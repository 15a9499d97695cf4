// What the unattended service tells the service manager (systemd, through
// sd_notify of libsystemd): that it is up, that its work goes on, that it is
// ending. The unit's watchdog (WatchdogSec) restarts a service that stops
// telling that its work goes on, so Vivo is called only from the places
// that prove it - the wait between cycles, the wait for the folder's lock,
// each file read and each request imported - and never from a thread that
// would stay alive while the work is stuck. Without a service manager (no
// NOTIFY_SOCKET in the environment: a terminal, the tests) every call does
// nothing. None of them throws.
#pragma once

namespace AvisoSistema {

// "READY=1": started (the unit's Type=notify waits for it).
void Pronto() noexcept;
// "WATCHDOG=1": the work goes on.
void Vivo() noexcept;
// "STOPPING=1": ending after the request under way.
void Encerrando() noexcept;

}  // namespace AvisoSistema
