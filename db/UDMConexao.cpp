// The data module's connection: the start-up attempt with the stored
// settings, the one recovery through the settings dialog, the dialog's test
// connection.
#include "db/UDM.h"

#include "db/UFirebird.h"

#include <utility>

namespace {

// An unreachable server (machine off, address wrong, port filtered) is given
// up after this many seconds instead of the client's minutes, at start-up and
// in the settings dialog's test.
constexpr int kEsperaConexao = 10;

}  // namespace

bool TDM::ConectarBD(IDialogoConexao& dialogo) {
    config_ = LerConfigBD();
    if (TentarConexao(config_)) return true;
    // One chance to correct the settings; stored only when they connect.
    const TConfigBD novas = dialogo.Executar(config_);
    if (TentarConexao(novas)) {
        GravarConfigBD(config_);
        return true;
    }
    return false;
}

bool TDM::TentarConexao(const TConfigBD& cfg) {
    Desconectar();
    geradoresConfirmados_.clear();  // perhaps another database
    config_ = cfg;
    nomeBanco_ = cfg.Servidor + ":" + cfg.Banco;
    parametros_ = {"user_name=" + cfg.Usuario, "password=" + cfg.Senha};
    // Without a server the client is given the path alone, as the settings
    // dialog's test does: ":" followed by a path is the Windows client's
    // notation for the local server, which this client cannot open.
    const std::string nomeConexao = cfg.Servidor.empty() ? cfg.Banco : nomeBanco_;
    try {
        att_ = fb::Conectar(nomeConexao, cfg.Usuario, cfg.Senha, kEsperaConexao).release();
        conectou_ = true;
        return true;
    } catch (...) {
        return false;
    }
}

bool TDM::TestarConexao(const std::string& nomeBanco, const std::string& usuario, const std::string& senha) {
    try {
        fb::TRef<Firebird::IAttachment> att = fb::Conectar(nomeBanco, usuario, senha, kEsperaConexao);
        // The detach of a server that hung just then returns within the
        // connection's own wait, its client side closed.
        TLimiteBanco limite(kEsperaConexao);
        TLimiteBanco::TChamada chamada(limite, att.get());
        fb::Chamar([&](Firebird::ThrowStatusWrapper* st) { att->detach(st); });
        att.release();  // the detach released it
        return !chamada.Encerrar();
    } catch (...) {
        return false;
    }
}

void TDM::Desconectar() noexcept {
    // A rollback or detach whose bound runs out does not start this again.
    const bool antes = std::exchange(descartando_, true);
    trsel_.Rollback();
    triud_.Rollback();
    trpend_.Rollback();
    // The settings rows stay: they are read once for the program's run.
    if (!att_) {
        descartando_ = antes;
        return;
    }
    fb::TRef<Firebird::IAttachment> att(att_);
    // The detach under the bound too; att_ goes only after it, so that the
    // bound reaches this attachment.
    try {
        ComLimite([&](TLimiteBanco::TChamada&) {
            fb::Chamar([&](Firebird::ThrowStatusWrapper* st) { att->detach(st); });
            att.release();  // the detach released it
        });
    } catch (...) {
    }
    att_ = nullptr;
    att.reset();
    descartando_ = antes;
}

bool TDM::ConexaoAtiva() noexcept {
    if (!att_) return false;
    try {
        ComLimite([&](TLimiteBanco::TChamada&) {
            fb::Chamar([&](Firebird::ThrowStatusWrapper* st) { att_->ping(st); });
        });
        return true;
    } catch (...) {
        return false;
    }
}

bool TDM::VerificarConexao() noexcept {
    if (ConexaoAtiva()) return true;
    if (!conectou_) return false;
    return TentarConexao(config_);
}
