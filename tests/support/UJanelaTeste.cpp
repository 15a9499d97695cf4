#include "tests/support/UJanelaTeste.h"

TResposta TJanelaTeste::Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) {
    TResposta r;
    if (!respostas_.empty()) {
        r = respostas_.front();
        respostas_.pop_front();
    } else if (temPadrao_) {
        r = padrao_;
    } else {
        r = botoes == TBotoes::SimNao ? TResposta::Sim : TResposta::OK;
    }
    caixas.push_back({texto, icone, botoes, r});
    return r;
}

void TJanelaTeste::MostrarProgresso(const std::string& texto) {
    progressoAtual = texto;
    progressos.push_back(texto);
    ProcessarMensagens();
}

void TJanelaTeste::ProcessarMensagens() {
    ++mensagensProcessadas;
    if (AoProcessarMensagens) AoProcessarMensagens();
}
