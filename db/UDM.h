// The data module: the one connection to the laboratory database (DB), the
// reading transaction TRSEL and the writing transaction TRIUD, the settings
// query QCBD, and the data module's operations. One file per role:
//   UDM.cpp              transactions, query factory, commit, failures, the
//                        bound of calls, the statements' observer (benchmark)
//   UDMConexao.cpp       the connection
//   UDMConfig.cpp        config.xml beside the executable
//   UDMConfiguracoes.cpp the laboratory's settings rows
//   UDMGeradores.cpp     key generators
//   UDMRegras.cpp        laboratory rules
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "base/UErro.h"
#include "base/UJanela.h"
#include "base/UTipos.h"
#include "db/UFalhaBD.h"
#include "db/ULimiteBanco.h"
#include "db/UConexaoBD.h"
#include "db/UQuery.h"
#include "db/UTransacao.h"

namespace Firebird {
class IAttachment;
class ITransaction;
class IMaster;
}  // namespace Firebird

// Connection settings.
struct TConfigBD {
    std::string Servidor;
    std::string Banco;
    std::string Usuario;
    std::string Senha;
    friend bool operator==(const TConfigBD&, const TConfigBD&) = default;
};

// No day of the due-date count could be counted (the laboratory's
// non-working days and holidays leave none).
class EErroDataEntrega : public EErro {
public:
    using EErro::EErro;
};

// Price data of one exam for one insurance plan.
struct TExameConvenio {
    bool Encontrado = false;
    std::string Codigo;
    double Valor = 0;
    double ValorCmp = 0;
};

// The connection recovery's dialog: shows the settings, returns what the
// operator confirmed (Servidor in upper case) or four empty fields on cancel.
class IDialogoConexao {
public:
    virtual ~IDialogoConexao() = default;
    virtual TConfigBD Executar(const TConfigBD& atual) = 0;
};

class TDM : public IConexaoBD {
public:
    // `pasta`: the executable's folder, ending with a separator; config.xml
    // lives there. `janela` shows the data module's messages.
    TDM(IJanela& janela, std::string pasta);
    ~TDM() override;
    TDM(const TDM&) = delete;
    TDM& operator=(const TDM&) = delete;

    IJanela& Janela() { return janela_; }
    const std::string& Pasta() const { return pasta_; }

    // ---- connection (DB) ----
    // The database name server ":" path and the parameter lines of DB.
    const std::string& NomeBanco() const { return nomeBanco_; }
    const std::vector<std::string>& Parametros() const { return parametros_; }
    bool Conectado() const { return att_ != nullptr; }
    // Reads config.xml, attempts a connection, runs the recovery dialog once
    // when that fails and stores the dialog's settings when the second attempt
    // connects. Shows nothing and logs nothing.
    bool ConectarBD(IDialogoConexao& dialogo);
    // One connection attempt with the settings; NomeBanco becomes Servidor ":"
    // Banco, always with the colon, but without a server the client is given
    // Banco alone (as the dialog's test). An unreachable server is given up
    // after about 10 seconds. Makes them the settings in force. False on any
    // error.
    bool TentarConexao(const TConfigBD& cfg);
    const TConfigBD& ConfigEmUso() const { return config_; }
    // Opens and closes a test connection to `nomeBanco` (used by the dialog),
    // giving an unreachable server, or a detach that hangs, up after about
    // 10 seconds.
    static bool TestarConexao(const std::string& nomeBanco, const std::string& usuario,
                              const std::string& senha);
    void Desconectar() noexcept;
    // Whether the connection answers a round trip to the server (false when
    // there is none, or when the server was stopped or cut it). Never throws.
    bool ConexaoAtiva() noexcept;
    // Makes sure the connection answers: a connection that no longer does is
    // replaced by a new one with the settings in force (open transactions of
    // the old one are lost; the settings rows already read are kept). True when
    // connected; false, showing nothing, when there never was a connection or
    // the server cannot be reached. Never throws.
    bool VerificarConexao() noexcept;

    // ---- the bound of every call to the server ----
    // Every call of the connection (TQuery, TTransacao, ping, detach) runs
    // under this bound (segundos_limite_banco; TLimiteBanco::kPadrao until
    // set).
    TLimiteBanco& Limite() { return limite_; }
    // Runs `f(chamada)`, a call on the connection, under the bound. When the
    // bound ran out (the call was cancelled, and its connection closed when
    // the cancel did not bring it back), the connection is dropped (as by
    // Desconectar: Conectado() becomes false, VerificarConexao makes a new
    // one) and EErroBD ErroLimite() is thrown, whatever f returned or threw,
    // with the codes isc_cancelled and isc_lost_db_connection (a failure
    // that passes).
    // Otherwise f's result or error. Without a connection f runs unbounded
    // (it has nothing to wait for).
    template <class F>
    auto ComLimite(F&& f) -> decltype(f(std::declval<TLimiteBanco::TChamada&>()));
    // "O banco de dados não respondeu em <n> segundos; a conexão com o banco
    // de dados foi desfeita."
    std::string ErroLimite() const;

    // ---- configuration file (config.xml beside the executable) ----
    std::string LerConfigXML(const std::string& secao, const std::string& chave,
                             const std::string& padrao);
    void GravarConfigXML(const std::string& secao, const std::string& chave, const std::string& valor);
    TConfigBD LerConfigBD();
    void GravarConfigBD(const TConfigBD& cfg);

    // ---- services ----
    // A new query on TRSEL (leitura) or TRIUD; the caller owns it.
    std::unique_ptr<TQuery> NovaQuery(bool leitura);
    // A new query on TRPEND, the transaction that waits for rows other
    // transactions are writing (TTransacao::TModo::EsperaPendentes); the
    // caller owns it and ends TRPEND when done (TRPEND().Commit()).
    std::unique_ptr<TQuery> NovaQueryPendentes();
    // Commits TRIUD when active; on failure rolls back and shows
    // "Erro ao tentar efetuar operação de commit.". Never throws.
    void Commit() noexcept;
    // Reads the settings rows (QCBD) when they have not been read yet in
    // this run; they then answer every lookup until the program ends, across
    // reconnections too. Throws EErroBD when they cannot be read.
    void CarregarConfiguracoes();
    bool ConfiguracoesCarregadas() const { return qcbd_.has_value(); }
    std::string BuscarConfiguracao(const std::string& nome, const std::string& padrao);
    std::string BuscarGrupoPadrao() noexcept;

    // ---- key generators ----
    // A new code for `tabela` from its generator GEN_<tabela>. A missing
    // generator is created already seeded with the table's highest code
    // (<first three letters>_cod) m, and m + 1 (or the next value, when other
    // connections draw at the same moment) is returned. A generator never
    // moves backwards: when another connection created it meanwhile, the
    // code comes from it, and a value not above m raises it by a positive
    // step (gen_id with a delta) to above m. A generator is drawn from only
    // once its creation is seen committed (until then the server may still
    // put it back to its starting value). Without a generator (no right to
    // create one), m + 1. Never throws.
    std::int32_t NovoCodigo(const std::string& tabela) noexcept;

    // ---- laboratory rules ----
    // cnv_cod of the plan named `nome`; -1 when none or on any error (a
    // statement error has been shown by the query builder). Never throws.
    std::int32_t BuscarCodigoConvenio(const std::string& nome) noexcept;
    // The due date of the exam collected at `dataColeta` (null gives null,
    // reading nothing): exa_dia_ent business days after it (kind "D"; days
    // listed in the setting "GER_DiasNaoUteis" and holidays skipped), or that
    // many hours after it (any other kind); an unknown exam counts 5 business
    // days. Throws EErroBD on database errors, and EErro when no day can be
    // counted within MaxDiasEntrega days (every weekday non-working, or
    // holidays covering every working day).
    TVariante CalcularDataEntrega(std::int32_t exame, const TVariante& dataColeta);
    static constexpr int MaxDiasEntrega = 3660;
    // Whether FER_FERIADOS holds the day and month of `data`. Throws EErroBD.
    bool EhFeriado(const TDataHora& data);
    // Price data of the exam for the plan; Encontrado false and zero values
    // when the plan's price table has no row for it. Throws EErroBD when the
    // statement fails.
    TExameConvenio BuscarValorExame(std::int32_t exame, std::int32_t convenio);

    // ---- failures of the import ----
    // The row writer, the query builder, Commit and the importers note here
    // every failure they met (a row not written, a search that failed), with
    // its text and its kind (db/UFalhaBD.h), so that the processing driver
    // can keep a file whose rows were not all written out of "Finalizado",
    // and tell a file to try again at the next cycle from one held until it
    // changes. The list holds what was noted since the last LimparFalhas.
    void RegistrarFalha(const std::string& texto, TTipoFalha tipo = TTipoFalha::Permanente) {
        falhas_.push_back({texto, tipo, {}});
    }
    // The kind and the server's codes taken from the error that caused the
    // failure (FalhaDe).
    void RegistrarFalha(const std::string& texto, const std::exception& causa) {
        falhas_.push_back(FalhaDe(texto, causa));
    }
    const std::vector<TFalha>& Falhas() const { return falhas_; }
    void LimparFalhas() { falhas_.clear(); }

    TTransacao& TRSEL() { return trsel_; }
    TTransacao& TRIUD() { return triud_; }
    TTransacao& TRPEND() { return trpend_; }
    Firebird::IAttachment* Attachment() override { return att_; }
    static Firebird::IMaster* Master();

    // Observer of every statement run and every commit of TRIUD (the
    // benchmark records them). Null by default.
    using TRegistro = TRegistroBD;
    std::function<void(const TRegistro&)> AoExecutar;

    // What queries and transactions reach of the connection (IConexaoBD).
    void ChamarComLimite(const std::function<void(TLimiteBanco::TChamada&)>& chamada) override {
        ComLimite(chamada);
    }
    bool Observada() const override { return static_cast<bool>(AoExecutar); }
    // A statement: leitura when on TRSEL. A commit: told only for TRIUD.
    void Registrar(const TTransacao& transacao, TRegistroBD registro) override;

private:
    // The bound ran out: drops the connection, throws EErroBD ErroLimite().
    [[noreturn]] void Expirou();

    // Operations of NovoCodigo, each with its own query; errors stay inside.
    // The generator's value after adding `passo` (a positive step), -1 when
    // it cannot be read.
    std::int32_t IncrementarGenerator(const std::string& tabela, std::int32_t passo = 1) noexcept;
    // The table's highest code, 0 when empty or unreadable.
    std::int32_t UltimoCodigo(const std::string& tabela) noexcept;
    // CREATE GENERATOR ... START WITH `inicio`, committed on its own.
    // EmUsoPorOutro: another connection may have created it or be creating
    // it (any failure but a missing right).
    enum class TCriacaoGerador { Criado, EmUsoPorOutro, Falhou };
    TCriacaoGerador CriarGenerator(const std::string& tabela, std::int32_t inicio) noexcept;
    // Whether GEN_<tabela> has a committed row in RDB$GENERATORS (its
    // creation ended, so its value no longer jumps back); remembered in
    // geradoresConfirmados_ once true. False on any error.
    bool GeradorConfirmado(const std::string& tabela) noexcept;

    IJanela& janela_;
    std::string pasta_;
    std::string nomeBanco_;
    std::vector<std::string> parametros_;
    TConfigBD config_;
    // Before the transactions: they end under it.
    TLimiteBanco limite_;
    bool descartando_ = false;  // Expirou is dropping the connection
    Firebird::IAttachment* att_ = nullptr;
    bool conectou_ = false;  // some connection attempt succeeded (VerificarConexao)
    TTransacao trsel_{*this};
    TTransacao triud_{*this};
    TTransacao trpend_{*this, TTransacao::TModo::EsperaPendentes};
    // QCBD: the settings rows of the first reading, kept for the run.
    struct TLinhaCBD {
        std::string dsc;
        TVariante vlr;
        TVariante vlrBlb;
    };
    std::optional<std::vector<TLinhaCBD>> qcbd_;
    std::vector<TFalha> falhas_;
    // Tables whose generator this connection has seen committed.
    std::set<std::string> geradoresConfirmados_;
};

template <class F>
auto TDM::ComLimite(F&& f) -> decltype(f(std::declval<TLimiteBanco::TChamada&>())) {
    using R = decltype(f(std::declval<TLimiteBanco::TChamada&>()));
    TLimiteBanco::TChamada chamada(limite_, att_);
    if constexpr (std::is_void_v<R>) {
        try {
            f(chamada);
        } catch (...) {
            if (!chamada.Encerrar()) throw;
        }
        if (chamada.Encerrar()) Expirou();
    } else {
        std::optional<R> r;
        try {
            r.emplace(f(chamada));
        } catch (...) {
            if (!chamada.Encerrar()) throw;
        }
        if (chamada.Encerrar()) Expirou();
        return std::move(*r);
    }
}
