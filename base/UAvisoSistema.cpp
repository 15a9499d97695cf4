#include "base/UAvisoSistema.h"

#include <systemd/sd-daemon.h>

namespace AvisoSistema {

void Pronto() noexcept { sd_notify(0, "READY=1"); }

void Vivo() noexcept { sd_notify(0, "WATCHDOG=1"); }

void Encerrando() noexcept { sd_notify(0, "STOPPING=1"); }

}  // namespace AvisoSistema
