#include "ui/UInicio.h"

#include <exception>

#include "base/UTexto.h"

TPrograma::TPrograma(IJanela& janela, std::string pasta) : janela_(janela), pasta_(std::move(pasta)) {}

TPrograma::~TPrograma() {
    principal_.reset();
    dm_.reset();
    instancia_.reset();
}

std::string TPrograma::TextoJaEmExecucao(const std::string& pasta) {
    return Utf8ParaCp1252("O Quorvel CAD já está em execução nesta pasta:\r" + pasta);
}

bool TPrograma::Iniciar(IDialogoConexao& dialogo) {
    std::string erro;
    instancia_ = TInstanciaUnica::Adquirir(pasta_, &erro);
    if (!instancia_) {
        if (erro.empty()) {
            janela_.Mensagem(TextoJaEmExecucao(pasta_), TIcone::Informacao, TBotoes::OK);
        } else {
            janela_.Mensagem(erro, TIcone::Erro, TBotoes::OK);
        }
        return false;
    }
    try {
        dm_ = std::make_unique<TDM>(janela_, pasta_);
        if (!dm_->ConectarBD(dialogo)) return false;
        principal_ = std::make_unique<TFPrincipal>(*dm_, janela_);
        return true;
    } catch (const std::exception& erro) {
        principal_.reset();
        janela_.Mensagem(erro.what(), TIcone::Erro, TBotoes::OK);
        return false;
    }
}
