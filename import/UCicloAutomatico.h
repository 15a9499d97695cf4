// The automatic mode's cycle, the same for the main window and for the
// unattended service: stop the timer, scan the inbox folder, process every
// pending file without asking, re-arm the timer with the period and announce
// the next check. The period (the timer's tag: milliseconds, the stored
// frequency times 60000) counts from the end of one cycle to the start of the
// next. The timer itself belongs to whoever runs the cycle (a window timer, a
// wait between cycles) and is reached through ITemporizador.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "base/UJanela.h"
#include "base/UTipos.h"

class TListaArquivos;
class TProcessamento;

// The timer of automatic mode as the cycle sees it.
class ITemporizador {
public:
    virtual ~ITemporizador() = default;
    // No further timer event until the next Iniciar. Never throws.
    virtual void Parar() = 0;
    // The next timer event comes `intervaloMs` milliseconds from now. Never
    // throws.
    virtual void Iniciar(std::int64_t intervaloMs) = 0;
};

class TCicloAutomatico {
public:
    static constexpr std::int64_t kMsPorMinuto = 60000;

    // The work of one cycle: the scan, then the silent processing of every
    // pending file. An error it lets escape is handed to the cycle's
    // `aoFalhar`.
    using TTrabalho = std::function<void()>;

    // `temporizador` and `janela` must outlive the object; once
    // janela.Encerrando() is true (the program was asked to end) no cycle
    // re-arms the timer.
    TCicloAutomatico(ITemporizador& temporizador, const IJanela& janela, TTrabalho trabalho);

    // The work of the automatic mode on a scan and a driver: lista.AtualizarLista,
    // then proc.ProcessarTodos(true). Both must outlive the work.
    static TTrabalho ListarEProcessar(TListaArquivos& lista, TProcessamento& proc);

    // The stored frequency as whole minutes. Throws EErro "'<texto>' não é um
    // valor inteiro válido" when the text is no whole number.
    static std::int32_t ConverterFrequencia(const std::string& texto);

    // The period (the timer's tag), 60000 until set. A new period applies
    // from the next cycle on: a timer already running keeps its interval.
    std::int64_t Periodo() const { return periodo_; }
    void DefinirPeriodo(std::int64_t ms) { periodo_ = ms; }
    // The period of `minutos` minutes.
    void DefinirFrequencia(std::int32_t minutos) { periodo_ = std::int64_t{minutos} * kMsPorMinuto; }

    // The shortest interval the timer is re-armed with; a period below it
    // (0 or negative from a stored frequency) would run cycle after cycle
    // without a pause. One minute unless set (the service's test hook sets
    // it lower).
    std::int64_t IntervaloMinimo() const { return minimo_; }
    void DefinirIntervaloMinimo(std::int64_t ms) { minimo_ = ms; }
    // The interval of the next re-arming: the period held between the
    // minimum and the largest interval a timer takes (INT_MAX milliseconds).
    std::int64_t Intervalo() const;

    // An earlier next check: asked when the timer is re-armed, it may give a
    // shorter wait than Intervalo() (at least one second), or none for the
    // period. Files still being written settle within seconds and need not
    // wait for a whole period.
    using TEsperaAntecipada = std::function<std::optional<std::int64_t>()>;
    void DefinirEsperaAntecipada(TEsperaAntecipada espera) { antecipada_ = std::move(espera); }
    // The earlier check for the files `lista` held back as still being
    // written: a second after the first of them may have settled
    // (TGuardaGravacao::EsperaAteAssentar, on the monotonic clock), so at
    // most N + 1 seconds whatever the system clock does. `lista` must
    // outlive the cycle.
    static TEsperaAntecipada AteAssentarem(TListaArquivos& lista);

    // One cycle: stops the timer, runs the work, hands an error that escaped
    // it to `aoFalhar` (so that the cycle goes on once it was shown or
    // logged), re-arms the timer with Intervalo() (or the earlier wait) and
    // sets the next-check time to now plus that interval. With `aoFalhar` empty, an escaped error
    // is dropped. Errors of `aoFalhar` itself go to the caller, with the
    // timer re-armed all the same. When the program is ending the timer is
    // left stopped: before the work, nothing is run; after it, there is no
    // next check (ProximaVerificacao keeps the last one announced).
    void Executar(const std::function<void(const std::exception&)>& aoFalhar = {});

    // True while Executar runs.
    bool EmCiclo() const { return emCiclo_; }

    // Local time of the next cycle, announced at the end of the last one;
    // none before the first cycle.
    const std::optional<TDataHora>& ProximaVerificacao() const { return proxima_; }
    // "(próxima verificação às hh:nn)" for ProximaVerificacao (Windows-1252),
    // empty before the first cycle.
    std::string TextoProximaVerificacao() const;

private:
    ITemporizador& temporizador_;
    const IJanela& janela_;
    TTrabalho trabalho_;
    std::int64_t periodo_ = kMsPorMinuto;
    std::int64_t minimo_ = kMsPorMinuto;
    bool emCiclo_ = false;
    std::optional<TDataHora> proxima_;
    TEsperaAntecipada antecipada_;
};
