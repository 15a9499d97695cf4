#include "db/UTransacao.h"

#include <ibase.h>

#include <utility>

#include "db/UConexaoBD.h"
#include "db/UFalhaBD.h"
#include "db/UFirebird.h"

using namespace Firebird;

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
        IAttachment* att = conexao_.Attachment();
        if (!att) throw ErroSemConexao();
        fb::TRef<ITransaction> nova;
        conexao_.ChamarComLimite([&](TLimiteBanco::TChamada&) {
            nova = modo_ == TModo::EsperaPendentes ? fb::TRef<ITransaction>(IniciarEsperaPendentes(att))
                                                   : fb::IniciarTransacao(att);
        });
        tra_ = nova.release();
    }
    return tra_;
}

void TTransacao::Commit() {
    if (!tra_) return;
    if (conexao_.Observada()) {
        TRegistroBD r;
        r.commit = true;
        conexao_.Registrar(*this, std::move(r));
    }
    conexao_.ChamarComLimite([&](TLimiteBanco::TChamada&) {
        fb::Chamar([&](ThrowStatusWrapper* st) { tra_->commit(st); });
        tra_ = nullptr;  // the commit released it (also when its bound ran out meanwhile)
    });
}

void TTransacao::Rollback() noexcept {
    if (!tra_) return;
    // Taken first: a rollback whose bound runs out drops the connection,
    // which rolls this transaction back again.
    ITransaction* tra = std::exchange(tra_, nullptr);
    bool liberada = false;  // the rollback released it (also when its bound ran out meanwhile)
    try {
        conexao_.ChamarComLimite([&](TLimiteBanco::TChamada&) {
            fb::Chamar([&](ThrowStatusWrapper* st) { tra->rollback(st); });
            liberada = true;
        });
    } catch (...) {
        if (!liberada) tra->release();
    }
}
