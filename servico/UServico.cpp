#include "servico/UServico.h"

#include <cstdlib>
#include <exception>
#include <thread>

#include "base/UAvisoSistema.h"
#include "servico/UJanelaServico.h"
#include "config/UConfig.h"
#include "db/UDM.h"
#include "import/UProcessamento.h"
#include "inbox/UBS.h"
#include "inbox/ULeitor.h"
#include "inbox/UListaArquivos.h"
#include "inbox/UTabelasPedido.h"
#include "inbox/UValidacao.h"

std::optional<std::int64_t> TServico::IntervaloDeTeste() {
    const char* valor = std::getenv(kIntervaloTeste);
    if (!valor) return std::nullopt;
    const auto ms = LerInteiro(valor);
    if (!ms || *ms <= 0) return std::nullopt;
    return *ms;
}

TServico::TServico(TJanelaServico& janela, std::string pasta) : janela_(janela), pasta_(std::move(pasta)) {}

TServico::~TServico() = default;

void TServico::Iniciar(std::int64_t intervaloMs) {
    proximo_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(intervaloMs);
}

void TServico::Esperar() {
    using namespace std::chrono;
    while (proximo_ && !janela_.Encerrando()) {
        const auto agora = steady_clock::now();
        if (agora >= *proximo_) return;
        AvisoSistema::Vivo();
        // Short naps: a signal sets the flag and the wait ends within one.
        std::this_thread::sleep_for(std::min<steady_clock::duration>(*proximo_ - agora, milliseconds(200)));
    }
}

bool TServico::Conectar(TDM& dm) {
    const bool ok = conectou_ ? dm.VerificarConexao() : dm.TentarConexao(configBD_);
    if (ok) {
        if (semConexao_)
            janela_.Mensagem("Conex\xE3o com o banco de dados " + dm.NomeBanco() + " restabelecida.",
                             TIcone::Informacao, TBotoes::OK);
        conectou_ = true;
        semConexao_ = false;
        return true;
    }
    if (!semConexao_)
        janela_.Mensagem("Sem conex\xE3o com o banco de dados " + dm.NomeBanco() +
                             ".\rOs arquivos continuam na pasta de entrada e ser\xE3o processados quando a "
                             "conex\xE3o voltar.",
                         TIcone::Erro, TBotoes::OK);
    semConexao_ = true;
    return false;
}

int TServico::Executar() {
    TDM dm(janela_, pasta_);
    TConfig config;
    config.Diretorio = pasta_ + "arquivos/";
    std::int32_t frequencia = 1;
    try {
        LerConfigAplicacao(dm, config);
        frequencia = TCicloAutomatico::ConverterFrequencia(config.Frequencia);
        // The connection settings of every attempt of the run.
        configBD_ = dm.LerConfigBD();
    } catch (const std::exception& erro) {
        janela_.Mensagem(erro.what(), TIcone::Erro, TBotoes::OK);
        return 1;
    }

    // Wired as the main window wires its scan and driver.
    TTabelasPedido tabelas;
    TLeitorPedidos leitor(tabelas);
    TValidacao validacao(tabelas, dm, janela_);
    TListaArquivos lista(tabelas, leitor, validacao, janela_, config.Diretorio);
    lista.Gravacao().DefinirSegundos(config.SegundosArquivoEstavel);
    TProcessamento processamento(dm, tabelas, config, janela_, lista);
    const TCicloAutomatico::TTrabalho listarEProcessar = TCicloAutomatico::ListarEProcessar(lista, processamento);

    TCicloAutomatico ciclo(*this, janela_, [&] {
        if (Conectar(dm)) listarEProcessar();
    });
    ciclo.DefinirFrequencia(frequencia);
    ciclo.DefinirEsperaAntecipada(TCicloAutomatico::AteAssentarem(lista));
    if (const auto teste = IntervaloDeTeste()) {
        ciclo.DefinirPeriodo(*teste);
        ciclo.DefinirIntervaloMinimo(*teste);
    }

    const auto registrar = [this](const std::exception& erro) {
        janela_.Mensagem(erro.what(), TIcone::Erro, TBotoes::OK);
    };
    while (!janela_.Encerrando()) {
        ciclo.Executar(registrar);
        Esperar();
    }
    return 0;
}
