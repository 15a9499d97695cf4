// The data module itself: its transactions, the query factory, the commit of
// the writing transaction, the failures noted during an import, the bound of
// its calls, and the observer of its statements (the benchmark's hook).
#include "db/UDM.h"

#include "base/UErro.h"
#include "base/UTexto.h"
#include "db/UFirebird.h"

#include <ibase.h>

#include <utility>

using namespace Firebird;

// ---- TDM ----

TDM::TDM(IJanela& janela, std::string pasta)
    : janela_(janela),
      pasta_(std::move(pasta)),
      nomeBanco_("localhost:d:\\quorvel\\dados\\dados.fdb"),
      parametros_{"user_name=sysdba", "password=brickmoss"} {}

TDM::~TDM() { Desconectar(); }

IMaster* TDM::Master() { return fb::Mestre(); }

std::string TDM::ErroLimite() const {
    return "O banco de dados n\xE3o respondeu em " + std::to_string(limite_.Segundos()) +
           " segundos; a conex\xE3o com o banco de dados foi desfeita.";
}

void TDM::Expirou() {
    const std::string erro = ErroLimite();
    // A rollback or the detach of a drop under way whose own bound runs out
    // comes back here: that drop finishes the work.
    if (!descartando_) Desconectar();
    // Codes of a cancelled call and a lost connection: a failure that passes.
    throw EErroBD(erro, {isc_cancelled, isc_lost_db_connection});
}

void TDM::Registrar(const TTransacao& transacao, TRegistroBD registro) {
    if (!AoExecutar) return;
    if (registro.commit && &transacao != &triud_) return;
    registro.leitura = !registro.commit && &transacao == &trsel_;
    AoExecutar(registro);
}

std::unique_ptr<TQuery> TDM::NovaQuery(bool leitura) {
    return std::unique_ptr<TQuery>(new TQuery(*this, leitura ? trsel_ : triud_));
}

std::unique_ptr<TQuery> TDM::NovaQueryPendentes() { return std::unique_ptr<TQuery>(new TQuery(*this, trpend_)); }

void TDM::Commit() noexcept {
    if (!triud_.Ativa()) return;
    try {
        triud_.Commit();
    } catch (const std::exception& e) {
        triud_.Rollback();
        RegistrarFalha("Erro ao tentar efetuar opera\xE7\xE3o de commit.", e);
        try {
            janela_.Mensagem("Erro ao tentar efetuar opera\xE7\xE3o de commit.", TIcone::Erro, TBotoes::OK);
        } catch (...) {
        }
    } catch (...) {
        triud_.Rollback();
        RegistrarFalha("Erro ao tentar efetuar opera\xE7\xE3o de commit.");
        try {
            janela_.Mensagem("Erro ao tentar efetuar opera\xE7\xE3o de commit.", TIcone::Erro, TBotoes::OK);
        } catch (...) {
        }
    }
}
