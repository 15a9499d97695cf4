#include "db/USinalCliente.h"

#include <ibase.h>

namespace {

// Shutdown confirmation: a non-zero answer to a shutdown for a signal cancels
// it; any other shutdown (program end) goes ahead.
int Confirmar(const int motivo, const int, void* arg) {
    if (motivo != fb_shutrsn_signal) return 0;
    if (arg) reinterpret_cast<void (*)()>(arg)();
    return 1;
}

}  // namespace

bool RecusarEncerramentoDoClientePorSinal(void (*aoSinal)()) noexcept {
    ISC_STATUS_ARRAY status{};
    fb_shutdown_callback(status, Confirmar, fb_shut_confirmation, reinterpret_cast<void*>(aoSinal));
    return !(status[0] == 1 && status[1] != 0);
}
