// The scripted window of the tests: records every message box and progress
// text, and answers each box from a queue of answers (or a default).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "base/UJanela.h"

class TJanelaTeste : public IJanela {
public:
    struct TCaixa {
        std::string texto;  // Windows-1252, as the core passed it
        TIcone icone;
        TBotoes botoes;
        TResposta resposta;
    };

    // Answers for the next boxes, in order. When the queue is empty a box is
    // answered with `padrao` when set, else Sim for Sim/Não boxes and OK.
    void Responder(TResposta r) { respostas_.push_back(r); }
    void ResponderSempre(TResposta r) { padrao_ = r; temPadrao_ = true; }

    TResposta Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) override;
    void MostrarProgresso(const std::string& texto) override;
    void ProcessarMensagens() override;
    bool Encerrando() const override { return encerrando; }

    // What Encerrando answers (a test sets it to end the work under way).
    bool encerrando = false;

    // Runs during ProcessarMensagens (a test can start work there, as the
    // window's event loop would).
    std::function<void()> AoProcessarMensagens;

    std::vector<TCaixa> caixas;
    std::vector<std::string> progressos;
    std::string progressoAtual;
    int mensagensProcessadas = 0;

    void Limpar() { caixas.clear(); progressos.clear(); respostas_.clear(); }

private:
    std::deque<TResposta> respostas_;
    TResposta padrao_ = TResposta::OK;
    bool temPadrao_ = false;
};
