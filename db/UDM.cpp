#include "db/UDM.h"

#include "app/UErro.h"
#include "app/UTexto.h"
#include "db/UFirebird.h"

using namespace Firebird;

// ---- TTransacao ----

TTransacao::~TTransacao() { Rollback(); }

namespace {

// Read-only, read committed without record versions, waiting a bounded time
// for rows that other transactions hold.
ITransaction* IniciarEsperaPendentes(IAttachment* att) {
    return fb::Chamar([&](ThrowStatusWrapper* st) {
        fb::TXpb tpb(fb::Util()->getXpbBuilder(st, IXpbBuilder::TPB, nullptr, 0));
        tpb->insertTag(st, isc_tpb_read_committed);
        tpb->insertTag(st, isc_tpb_no_rec_version);
        tpb->insertTag(st, isc_tpb_wait);
        tpb->insertInt(st, isc_tpb_lock_timeout, TTransacao::SegundosEsperaPendentes);
        tpb->insertTag(st, isc_tpb_read);
        return att->startTransaction(st, tpb->getBufferLength(st), tpb->getBuffer(st));
    });
}

}  // namespace

ITransaction* TTransacao::Obter() {
    if (!tra_) {
        IAttachment* att = dm_.Attachment();
        if (!att) throw ErroSemConexao();
        tra_ = modo_ == TModo::EsperaPendentes ? IniciarEsperaPendentes(att) : fb::IniciarTransacao(att).release();
    }
    return tra_;
}

void TTransacao::Commit() {
    if (!tra_) return;
    if (this == &dm_.TRIUD() && dm_.AoExecutar) {
        TDM::TRegistro r;
        r.commit = true;
        dm_.AoExecutar(r);
    }
    fb::Chamar([&](ThrowStatusWrapper* st) { tra_->commit(st); });
    tra_ = nullptr;  // the commit released it
}

void TTransacao::Rollback() noexcept {
    if (!tra_) return;
    try {
        fb::Chamar([&](ThrowStatusWrapper* st) { tra_->rollback(st); });
    } catch (...) {
        tra_->release();
    }
    tra_ = nullptr;
}

// ---- TDM ----

TDM::TDM(IJanela& janela, std::string pasta)
    : janela_(janela),
      pasta_(std::move(pasta)),
      nomeBanco_("localhost:d:\\quorvel\\dados\\dados.fdb"),
      parametros_{"user_name=sysdba", "password=brickmoss"} {}

TDM::~TDM() { Desconectar(); }

IMaster* TDM::Master() { return fb::Mestre(); }

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

namespace {

const char* const SQL_QCBD =
    "select\r\n"
    "  cbd.cbd_dsc,\r\n"
    "  cbd.cbd_vlr,\r\n"
    "  cbd.cbd_vlr_blb\r\n"
    "from\r\n"
    "  cbd_configuracoesbd cbd\r\n"
    "order by\r\n"
    "  cbd.cbd_dsc\r\n";

}  // namespace

void TDM::CarregarConfiguracoes() {
    if (qcbd_) return;
    // QCBD is read once; its rows answer every lookup of the run.
    auto q = NovaQuery(true);
    q->DefinirSQL(SQL_QCBD);
    q->Abrir();
    std::vector<TLinhaCBD> linhas;
    for (q->Primeiro(); !q->Fim(); q->Proximo())
        linhas.push_back({VariantParaTexto(q->Campo(0)), q->Campo(1), q->Campo(2)});
    qcbd_ = std::move(linhas);
}

std::string TDM::BuscarConfiguracao(const std::string& nome, const std::string& padrao) {
    CarregarConfiguracoes();
    for (const TLinhaCBD& linha : *qcbd_) {
        if (!IguaisSemCaixa(linha.dsc, nome)) continue;
        if (EhNulo(linha.vlr))
            throw EErro("N\xE3o foi poss\xEDvel converter o valor nulo da configura\xE7\xE3o '" + linha.dsc +
                        "' em texto.");
        const std::string valor = VariantParaTexto(linha.vlr);
        if (valor == "Usar BLOB") return VariantParaTexto(linha.vlrBlb);
        return valor;
    }
    return padrao;
}

std::string TDM::BuscarGrupoPadrao() noexcept {
    try {
        return BuscarConfiguracao("PED_GRUPOPADRAO", "");
    } catch (...) {
        return "";
    }
}
