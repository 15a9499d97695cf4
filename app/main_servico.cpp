// quorvelcad-servico: the automatic import without a window, for a machine
// nobody watches. Reads no arguments; works in the executable's folder
// (config.xml, arquivos/, log.txt) like the window, and never beside a
// running window or another service in the same folder (the one-instance
// lock; the line on standard error is the window's box "O Quorvel CAD já
// está em execução nesta pasta: ..."). SIGTERM or SIGINT end it after the
// request under way, with exit status 0. Exit status 1: the folder is in use
// by another instance, its lock cannot be taken, or config.xml cannot be
// read.

#include <csignal>
#include <string>

#include "app/UArquivoSeguro.h"
#include "app/UInstanciaUnica.h"
#include "app/UJanelaServico.h"
#include "app/UPastaPrograma.h"
#include "app/UServico.h"
#include "app/UTexto.h"
#include "db/USinalCliente.h"
#include "log/ULog.h"

namespace {

volatile std::sig_atomic_t g_encerrar = 0;
void AoSinalEncerrar(int) { g_encerrar = 1; }

void InstalarSinais() {
    struct sigaction acao {};
    acao.sa_handler = AoSinalEncerrar;
    sigemptyset(&acao.sa_mask);
    // System calls under way (the database client's, the file copies) go on
    // as if nothing happened; the flag is looked at between steps.
    acao.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &acao, nullptr);
    sigaction(SIGINT, &acao, nullptr);
    // Without this the database client would cut every connection on the
    // signal, in the middle of the request under way.
    RecusarEncerramentoDoClientePorSinal([] { g_encerrar = 1; });
}

}  // namespace

int main(int, char** argv) {
    InstalarSinais();
    const std::string pasta = PastaExecutavel(argv[0]);
    TJanelaServico janela(&g_encerrar);

    std::string erro;
    const auto trava = TInstanciaUnica::Adquirir(pasta, &erro);
    if (!trava) {
        // The window's box, as a line; nothing is written to the folder's
        // log, which belongs to the instance that holds the lock.
        const std::string emUso = Utf8ParaCp1252("O Quorvel CAD já está em execução nesta pasta:\r" + pasta);
        janela.Avisar(erro.empty() ? TJanelaServico::Linha(emUso, TIcone::Informacao, TBotoes::OK)
                                   : TJanelaServico::Linha(erro, TIcone::Erro, TBotoes::OK));
        return 1;
    }
    // Hidden temporary files a crash left (a rewrite of log.txt or
    // config.xml, a move), removed before this run writes any of its own.
    RemoverTemporariosAbandonados(pasta);
    Log::DefinirArquivo(pasta + "log.txt");
    // As in the window: flush points hand the lines to the log's writer.
    Log::DefinirSegundoPlano(true);
    const int resultado = TServico(janela, pasta).Executar();
    try {
        Log::Concluir();  // every line on disk before the service ends
    } catch (const std::exception& falha) {
        janela.Avisar(std::string("Erro: ") + falha.what());
    }
    return resultado;
}
