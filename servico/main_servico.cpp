// quorvelcad-servico: the automatic import without a window, for a machine
// nobody watches. Reads no arguments; works in the executable's folder
// (config.xml, arquivos/, log.txt) like the window, and never beside a
// running window or another service in the same folder (the one-instance
// lock). While the folder is in use it says so once on standard error (the
// window's box "O Quorvel CAD já está em execução nesta pasta: ...") and tries
// again every minute (the test hook's interval, when set), without touching
// the folder. SIGTERM, SIGINT or SIGHUP end it after the request under way
// (at once while it waits for the lock), with exit status 0. Exit status 1:
// the folder's lock cannot be taken (not merely in use), or config.xml
// cannot be read. System texts follow the environment's locale (LANG,
// LC_ALL), as the window's do.

#include <atomic>
#include <chrono>
#include <clocale>
#include <csignal>
#include <memory>
#include <string>
#include <thread>

#include "base/UArquivoSeguro.h"
#include "base/UAvisoSistema.h"
#include "base/UInstanciaUnica.h"
#include "servico/UJanelaServico.h"
#include "base/UPastaPrograma.h"
#include "servico/UServico.h"
#include "base/UTexto.h"
#include "db/USinalCliente.h"
#include "log/ULog.h"

namespace {

// Set by the signal handlers and the database client's shutdown thread, read
// by the service's thread.
std::atomic<bool> g_encerrar{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");
void AoSinalEncerrar(int) { g_encerrar.store(true); }

void InstalarSinais() {
    struct sigaction acao {};
    acao.sa_handler = AoSinalEncerrar;
    sigemptyset(&acao.sa_mask);
    // System calls under way (the database client's, the file copies) go on
    // as if nothing happened; the flag is looked at between steps.
    acao.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &acao, nullptr);
    sigaction(SIGINT, &acao, nullptr);
    // A terminal that closes ends the service as SIGTERM does, after the
    // request under way.
    sigaction(SIGHUP, &acao, nullptr);
    // Without this the database client would cut every connection on the
    // signal, in the middle of the request under way.
    RecusarEncerramentoDoClientePorSinal([] { g_encerrar.store(true); });
}

// The folder's lock, waited for while another instance holds it: null when
// told to end meanwhile or when the lock cannot be taken at all (said on
// standard error).
std::unique_ptr<TInstanciaUnica> AguardarTrava(const std::string& pasta, TJanelaServico& janela) {
    using namespace std::chrono;
    const milliseconds intervalo(TServico::IntervaloDeTeste().value_or(60000));
    bool avisou = false;
    for (;;) {
        std::string erro;
        auto trava = TInstanciaUnica::Adquirir(pasta, &erro);
        if (trava) return trava;
        if (!erro.empty()) {
            janela.Avisar(TJanelaServico::Linha(erro, TIcone::Erro, TBotoes::OK));
            return nullptr;
        }
        // The window's box, as a line, once; nothing is written to the
        // folder's log, which belongs to the instance that holds the lock.
        if (!avisou)
            janela.Avisar(TJanelaServico::Linha(
                Utf8ParaCp1252("O Quorvel CAD já está em execução nesta pasta:\r" + pasta +
                               "\rO serviço tenta de novo a cada minuto."),
                TIcone::Informacao, TBotoes::OK));
        avisou = true;
        const auto fim = steady_clock::now() + intervalo;
        while (steady_clock::now() < fim) {
            if (g_encerrar) return nullptr;
            AvisoSistema::Vivo();
            std::this_thread::sleep_for(std::min<steady_clock::duration>(fim - steady_clock::now(), milliseconds(200)));
        }
    }
}

}  // namespace

int main(int, char** argv) {
    // System error texts (strerror, the client library's) in the
    // operators' language.
    std::setlocale(LC_ALL, "");
    InstalarSinais();
    const std::string pasta = PastaExecutavel(argv[0]);
    TJanelaServico janela(&g_encerrar);
    AvisoSistema::Pronto();

    const auto trava = AguardarTrava(pasta, janela);
    if (!trava) {
        AvisoSistema::Encerrando();
        return g_encerrar ? 0 : 1;
    }
    // Hidden temporary files a crash left (a rewrite of log.txt or
    // config.xml, a move), removed before this run writes any of its own.
    RemoverTemporariosAbandonados(pasta);
    Log::DefinirArquivo(pasta + "log.txt");
    // As in the window: flush points hand the lines to the log's writer.
    Log::DefinirSegundoPlano(true);
    const int resultado = TServico(janela, pasta).Executar();
    AvisoSistema::Encerrando();
    try {
        Log::Concluir();  // every line on disk before the service ends
    } catch (const std::exception& falha) {
        janela.Avisar(std::string("Erro: ") + falha.what());
    }
    return resultado;
}
