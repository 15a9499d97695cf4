// The window services of the unattended service (quorvelcad-servico): no
// screen and nobody to answer. Every box becomes one line, written to the
// activity log and to standard error (which the service manager keeps in its
// journal), and is answered as a box closed without a button. There is no
// progress text and there are no window messages to handle; the progress
// (one call per file read and per request imported) tells the service
// manager that the work goes on (AvisoSistema::Vivo).
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>

#include "base/UJanela.h"

class TJanelaServico : public IJanela {
public:
    // `encerrar`, when given, is the flag the service's signal handler sets
    // when it is told to stop (read by Encerrando); it must outlive the
    // object. Lines for standard error go to `saida` (std::cerr when null).
    explicit TJanelaServico(const std::atomic<bool>* encerrar = nullptr, std::ostream* saida = nullptr);

    // The line of a box: the kind's prefix ("Erro: " for error and plain
    // boxes, "Atenção: " for warnings and questions, "Informação: " for
    // information), then the text with every line break (CR LF, LF or a lone
    // CR) turned into one blank; a question ends with " (resposta: Não)" or
    // " (resposta: Cancela)". Windows-1252, as the core passes texts.
    static std::string Linha(const std::string& texto, TIcone icone, TBotoes botoes);

    // The answer of a box closed without a button: Nao for Sim/Não boxes,
    // Cancela for OK/Cancela, OK for OK. So the old files of other days are
    // not moved unimported by the scan (the silent processing imports and
    // moves them like every pending file), and nothing else is asked on the
    // automatic path.
    static TResposta Resposta(TBotoes botoes);

    // Writes Linha(...) to standard error (UTF-8) and to the activity log
    // (Log::Gravar, then Log::Descarregar), then returns Resposta(botoes).
    // While a context is set (DefinirContexto) the text is preceded by it
    // and ": ", so that every line of a failed import names its file and
    // request. A
    // log that cannot be written (now, or at an earlier rewrite) adds a
    // second line about it to standard error; never throws.
    TResposta Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) override;
    // Nothing to show or to handle; the progress is told to the service
    // manager's watchdog.
    void MostrarProgresso(const std::string&) override;
    void ProcessarMensagens() override {}
    // True once the flag is set.
    bool Encerrando() const override;

    // The context of the next lines; empty for none.
    void DefinirContexto(const std::string& contexto) override { contexto_ = contexto; }

    // Writes one line (Windows-1252) to standard error as UTF-8. Never throws.
    void Avisar(const std::string& linha) override;

private:
    const std::atomic<bool>* encerrar_;
    std::ostream* saida_;
    std::string contexto_;
};
