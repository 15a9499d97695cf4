#include "db/UFalhaBD.h"

#include <algorithm>
#include <ibase.h>

bool EhCodigoPassageiro(std::int64_t codigo) {
    static constexpr std::int64_t kPassageiros[] = {
        isc_lock_conflict,     isc_lock_timeout,       isc_deadlock,           isc_update_conflict,
        isc_concurrent_transaction,
        isc_unique_key_violation, isc_no_dup,
        isc_network_error,     isc_net_read_err,       isc_net_write_err,      isc_net_connect_err,
        isc_net_lookup_err,    isc_net_server_shutdown, isc_conn_lost,         isc_lost_db_connection,
        isc_connect_reject,    isc_unavailable,        isc_bad_db_handle,      isc_login,
        isc_login_error,
        isc_shutdown,          isc_shutinprog,         isc_att_shutdown,       isc_cancelled,
    };
    return std::find(std::begin(kPassageiros), std::end(kPassageiros), codigo) != std::end(kPassageiros);
}

bool EhFalhaPassageira(const EErroBD& erro) {
    const auto& c = erro.Codigos();
    return std::any_of(c.begin(), c.end(), EhCodigoPassageiro);
}

TTipoFalha TipoDaFalha(const std::exception& erro) {
    const auto* bd = dynamic_cast<const EErroBD*>(&erro);
    return bd && EhFalhaPassageira(*bd) ? TTipoFalha::Passageira : TTipoFalha::Permanente;
}

TFalha FalhaDe(const std::string& texto, const std::exception& causa) {
    TFalha falha{texto, TipoDaFalha(causa), {}};
    if (const auto* bd = dynamic_cast<const EErroBD*>(&causa)) falha.Codigos = bd->Codigos();
    return falha;
}

bool SoPassageiras(const std::vector<TFalha>& falhas) {
    return std::all_of(falhas.begin(), falhas.end(),
                       [](const TFalha& f) { return f.Tipo == TTipoFalha::Passageira; });
}

EErroBD ErroSemConexao() { return EErroBD("Banco de dados n\xE3o conectado.", {isc_bad_db_handle}); }
