// Small helpers over the Firebird client library's C++ interface, shared by
// the database layer: ownership of interfaces, the status of a call turned
// into EErroBD, connections, the transaction parameters and the conversion
// between the server's date and time values and TDataHora.
#pragma once

#include <firebird/Interface.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/UErro.h"
#include "base/UTipos.h"

namespace fb {

// Owns one reference of a reference-counted interface (statement, metadata,
// attachment...): released when the owner goes away. Operations that release
// the interface themselves on success (free, close, commit, detach) are
// followed by `release()` of the unique_ptr so that it is not released twice.
struct TLibera {
    template <class T>
    void operator()(T* p) const { p->release(); }
};
struct TDescarta {
    template <class T>
    void operator()(T* p) const { p->dispose(); }
};
template <class T>
using TRef = std::unique_ptr<T, TLibera>;
using TXpb = std::unique_ptr<Firebird::IXpbBuilder, TDescarta>;

Firebird::IMaster* Mestre();
Firebird::IUtil* Util();

// The server's message of a failed call: each line of the status vector, as
// the client library words it, joined with "\r\n".
std::string Mensagem(const Firebird::IStatus* status);
// The error codes (isc_arg_gds entries) of a failed call's status vector, in
// the vector's order.
std::vector<std::int64_t> Codigos(const Firebird::IStatus* status);

// A status for a sequence of calls; the client's exceptions become EErroBD.
class TStatus {
public:
    TStatus() : status_(Mestre()->getStatus()), wrapper_(status_) {}
    ~TStatus() { status_->dispose(); }
    TStatus(const TStatus&) = delete;
    TStatus& operator=(const TStatus&) = delete;
    Firebird::ThrowStatusWrapper* operator&() { return &wrapper_; }

private:
    Firebird::IStatus* status_;
    Firebird::ThrowStatusWrapper wrapper_;
};

// Runs `f(status)`; a Firebird error leaves as EErroBD with the server's
// message and the status vector's error codes. Other exceptions pass
// unchanged.
template <class F>
auto Chamar(F&& f) -> decltype(f(std::declval<Firebird::ThrowStatusWrapper*>())) {
    TStatus st;
    try {
        return f(&st);
    } catch (const Firebird::FbException& e) {
        throw EErroBD(Mensagem(e.getStatus()), Codigos(e.getStatus()));
    }
}

// Opens a connection to `nome` (server ":" path, or a path), exchanging text
// as Windows-1252. The caller owns the attachment. Throws EErroBD.
// `segundosEspera` > 0 bounds the wait for an unreachable server to about
// that many seconds (the client's own limit otherwise, minutes).
TRef<Firebird::IAttachment> Conectar(const std::string& nome, const std::string& usuario,
                                     const std::string& senha, int segundosEspera = 0);
// Creates a new database (dialect 3, default character set WIN1252) and
// returns the connection to it. Throws EErroBD.
TRef<Firebird::IAttachment> CriarBanco(const std::string& nome, const std::string& usuario,
                                       const std::string& senha);
// Detaches; the attachment is released in every case. Never throws.
void Desconectar(TRef<Firebird::IAttachment>& att) noexcept;

// Starts a transaction "read_committed", "rec_version", "nowait", read-write.
// The caller owns it. Throws EErroBD.
TRef<Firebird::ITransaction> IniciarTransacao(Firebird::IAttachment* att);

// Dates and times of the server (days from 17/11/1858; ten-thousandths of a
// second from midnight) and TDataHora.
constexpr int DiasAte1899 = 15018;  // 17/11/1858 .. 30/12/1899
TDataHora DeData(ISC_DATE data);
TDataHora DeHora(ISC_TIME hora);
TDataHora DeDataHora(const ISC_TIMESTAMP& ts);
ISC_DATE ParaData(const TDataHora& d);  // the date part
ISC_TIME ParaHora(const TDataHora& d);  // the time-of-day part
ISC_TIMESTAMP ParaDataHora(const TDataHora& d);

}  // namespace fb
