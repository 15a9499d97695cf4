// What a query and a transaction need of the connection they run on: its
// attachment, the bound of every call, and the observer of the statements.
// The data module (TDM) is the one implementation; TQuery and TTransacao
// reach the connection only through this, so they sit below the data module.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/UTipos.h"
#include "db/ULimiteBanco.h"

namespace Firebird {
class IAttachment;
}

class TTransacao;

// One statement about to run, or one commit of the writing transaction, as
// the connection's observer sees it (TDM::AoExecutar).
struct TRegistroBD {
    std::string sql;
    std::vector<std::pair<std::string, TVariante>> parametros;
    bool leitura = false;  // run on the reading transaction
    bool commit = false;   // a commit of the writing transaction, no statement
};

class IConexaoBD {
public:
    virtual ~IConexaoBD() = default;
    // The open attachment; null when not connected.
    virtual Firebird::IAttachment* Attachment() = 0;
    // Runs `chamada`, a call on the connection, under the bound of its calls
    // (TDM::ComLimite: when the bound runs out, the connection is dropped and
    // EErroBD thrown); otherwise its own error goes to the caller.
    virtual void ChamarComLimite(const std::function<void(TLimiteBanco::TChamada&)>& chamada) = 0;
    // Whether an observer wants the records (building one costs a copy).
    virtual bool Observada() const = 0;
    // Hands `registro`, run on `transacao`, to the observer: a statement
    // (leitura filled in here), or a commit, told only for the writing
    // transaction. Nothing without an observer.
    virtual void Registrar(const TTransacao& transacao, TRegistroBD registro) = 0;
};
