#include "import/UCicloAutomatico.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <utility>

#include "base/UErro.h"
#include "import/UProcessamento.h"
#include "inbox/UBS.h"
#include "inbox/UListaArquivos.h"

TCicloAutomatico::TCicloAutomatico(ITemporizador& temporizador, const IJanela& janela, TTrabalho trabalho)
    : temporizador_(temporizador), janela_(janela), trabalho_(std::move(trabalho)) {}

TCicloAutomatico::TTrabalho TCicloAutomatico::ListarEProcessar(TListaArquivos& lista, TProcessamento& proc) {
    return [&lista, &proc] {
        lista.AtualizarLista();
        proc.ProcessarTodos(true);
    };
}

TCicloAutomatico::TEsperaAntecipada TCicloAutomatico::AteAssentarem(TListaArquivos& lista) {
    return [&lista]() -> std::optional<std::int64_t> {
        if (lista.EmGravacao() <= 0) return std::nullopt;
        const auto espera = lista.Gravacao().EsperaAteAssentar();
        if (!espera) return std::nullopt;
        return espera->count() + 1000;
    };
}

std::int32_t TCicloAutomatico::ConverterFrequencia(const std::string& texto) {
    if (const auto valor = LerInteiro(texto)) return *valor;
    throw EErro("'" + texto + "' n\xE3o \xE9 um valor inteiro v\xE1lido");
}

std::int64_t TCicloAutomatico::Intervalo() const {
    const std::int64_t minimo = std::clamp<std::int64_t>(minimo_, 1, INT_MAX);
    return std::clamp<std::int64_t>(periodo_, minimo, INT_MAX);
}

void TCicloAutomatico::Executar(const std::function<void(const std::exception&)>& aoFalhar) {
    temporizador_.Parar();
    if (janela_.Encerrando()) return;
    // Re-armed whatever happens below, so that automatic mode goes on.
    struct TRearmar {
        TCicloAutomatico& ciclo;
        ~TRearmar() {
            ciclo.emCiclo_ = false;
            if (ciclo.janela_.Encerrando()) return;
            std::int64_t intervalo = ciclo.Intervalo();
            if (ciclo.antecipada_)
                if (const auto antes = ciclo.antecipada_())
                    intervalo = std::clamp<std::int64_t>(*antes, std::min<std::int64_t>(1000, intervalo), intervalo);
            ciclo.temporizador_.Iniciar(intervalo);
            ciclo.proxima_ = TDataHora::Agora().MaisMs(intervalo);
        }
    } rearmar{*this};
    emCiclo_ = true;
    std::exception_ptr falha;
    try {
        if (trabalho_) trabalho_();
    } catch (...) {
        falha = std::current_exception();
    }
    if (!falha || !aoFalhar) return;
    try {
        std::rethrow_exception(falha);
    } catch (const std::exception& erro) {
        aoFalhar(erro);
    } catch (...) {
        aoFalhar(EErro("Erro desconhecido no ciclo autom\xE1tico."));
    }
}

std::string TCicloAutomatico::TextoProximaVerificacao() const {
    if (!proxima_) return "";
    char hora[8];
    std::snprintf(hora, sizeof hora, "%02d:%02d", proxima_->Horas() % 100, proxima_->Minutos() % 100);
    return std::string("(pr\xF3xima verifica\xE7\xE3o \xE0s ") + hora + ")";
}
