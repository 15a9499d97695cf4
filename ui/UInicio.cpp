#include "ui/UInicio.h"

#include <exception>

TPrograma::TPrograma(IJanela& janela, std::string pasta) : janela_(janela), pasta_(std::move(pasta)) {}

TPrograma::~TPrograma() {
    principal_.reset();
    dm_.reset();
}

bool TPrograma::Iniciar(IDialogoConexao& dialogo) {
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
