// A transaction of the connection (IConexaoBD): started on first use, ended
// only by Commit / Rollback; every call under the connection's bound.
#pragma once

namespace Firebird {
class ITransaction;
}

class IConexaoBD;

class TTransacao {
public:
    enum class TModo {
        // "read_committed", "rec_version", "nowait", read-write: rows that
        // other transactions have not committed are passed over unseen.
        Normal,
        // Read-only "read_committed" without "rec_version", waiting up to
        // SegundosEsperaPendentes for a lock: a row that another transaction
        // is writing and has not committed yet is waited for instead of
        // passed over, so that a search sees every row written before it
        // (or fails with the lock time-out).
        EsperaPendentes,
    };
    static constexpr int SegundosEsperaPendentes = 5;

    explicit TTransacao(IConexaoBD& conexao, TModo modo = TModo::Normal) : conexao_(conexao), modo_(modo) {}
    ~TTransacao();
    TTransacao(const TTransacao&) = delete;
    TTransacao& operator=(const TTransacao&) = delete;

    bool Ativa() const { return tra_ != nullptr; }
    // The running transaction, started when none is (as its mode says).
    // Throws EErroBD (also without a connection).
    Firebird::ITransaction* Obter();
    // Full commit, told to the connection's observer; throws EErroBD (the
    // transaction then stays active).
    void Commit();
    // Roll back; never throws.
    void Rollback() noexcept;

private:
    IConexaoBD& conexao_;
    TModo modo_;
    Firebird::ITransaction* tra_ = nullptr;
};
