#include "servico/UJanelaServico.h"

#include <iostream>

#include "base/UAvisoSistema.h"
#include "base/UTexto.h"
#include "log/ULog.h"

namespace {

std::string SemQuebras(const std::string& texto) {
    std::string r;
    r.reserve(texto.size());
    for (std::size_t i = 0; i < texto.size(); ++i) {
        const char c = texto[i];
        if (c == '\r' && i + 1 < texto.size() && texto[i + 1] == '\n') ++i;
        r += c == '\r' || c == '\n' ? ' ' : c;
    }
    return r;
}

}  // namespace

TJanelaServico::TJanelaServico(const std::atomic<bool>* encerrar, std::ostream* saida)
    : encerrar_(encerrar), saida_(saida) {}

TResposta TJanelaServico::Resposta(TBotoes botoes) {
    switch (botoes) {
        case TBotoes::SimNao: return TResposta::Nao;
        case TBotoes::OKCancela: return TResposta::Cancela;
        case TBotoes::OK: break;
    }
    return TResposta::OK;
}

std::string TJanelaServico::Linha(const std::string& texto, TIcone icone, TBotoes botoes) {
    std::string prefixo;
    switch (icone) {
        case TIcone::Atencao:
        case TIcone::Confirmacao: prefixo = "Aten\xE7\xE3o: "; break;
        case TIcone::Informacao: prefixo = "Informa\xE7\xE3o: "; break;
        case TIcone::Erro:
        case TIcone::Nenhum: prefixo = "Erro: "; break;
    }
    std::string linha = prefixo + SemQuebras(texto);
    switch (Resposta(botoes)) {
        case TResposta::Nao: linha += " (resposta: N\xE3o)"; break;
        case TResposta::Cancela: linha += " (resposta: Cancela)"; break;
        default: break;
    }
    return linha;
}

void TJanelaServico::Avisar(const std::string& linha) {
    try {
        std::ostream& saida = saida_ ? *saida_ : std::cerr;
        saida << Cp1252ParaUtf8(linha) << std::endl;
    } catch (...) {
        // Standard error closed or full: nothing else to tell it to.
    }
}

TResposta TJanelaServico::Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) {
    const std::string linha = Linha(contexto_.empty() ? texto : contexto_ + ": " + texto, icone, botoes);
    Avisar(linha);
    try {
        Log::Gravar(linha);
        Log::Descarregar();  // a flush point: the line goes to log.txt now
    } catch (const std::exception& erro) {
        Avisar(std::string("Erro: ") + erro.what());
    }
    return Resposta(botoes);
}

void TJanelaServico::MostrarProgresso(const std::string&) { AvisoSistema::Vivo(); }

bool TJanelaServico::Encerrando() const { return encerrar_ && encerrar_->load(); }
