// The benchmark: the tool's own path (scan, validation, silent processing of
// all files) on generated request files against a fresh laboratory database,
// with every statement and commit of the data module recorded; then the same
// record replayed through the bare client interface against a second fresh
// database. Prints requests per second of both, their ratio, files per second
// of the scan, and the time of one log write on logs of 1, 10 and 50 MB.
//
//   quorvel_bench [--arquivos N] [--solicitacoes N] [--exames N] [--semente N]
//                 [--escrita-sincrona]

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/UTexto.h"
#include "bench/UGerador.h"
#include "bench/UReplay.h"
#include "db/UDM.h"
#include "import/UProcessamento.h"
#include "inbox/ULeitor.h"
#include "inbox/UListaArquivos.h"
#include "inbox/UTabelasPedido.h"
#include "inbox/UValidacao.h"
#include "log/ULog.h"
#include "tests/support/UBancoTeste.h"

namespace fs = std::filesystem;
using Relogio = std::chrono::steady_clock;

namespace {

// Answers every box at once (Yes / OK) and counts them.
class TJanelaAutomatica : public IJanela {
public:
    TResposta Mensagem(const std::string& texto, TIcone, TBotoes botoes) override {
        ++caixas;
        if (caixas <= 5) std::fprintf(stderr, "  caixa: %s\n", Cp1252ParaUtf8(texto).c_str());
        return botoes == TBotoes::SimNao ? TResposta::Sim : TResposta::OK;
    }
    void MostrarProgresso(const std::string&) override {}
    void ProcessarMensagens() override {}
    int caixas = 0;
};

double Segundos(Relogio::time_point a, Relogio::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

int Argumento(int argc, char** argv, const char* nome, int padrao) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], nome) == 0) return std::atoi(argv[i + 1]);
    return padrao;
}

bool Opcao(int argc, char** argv, const char* nome) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], nome) == 0) return true;
    return false;
}

double TempoLog(const std::string& pasta, std::size_t megas) {
    const std::string caminho = pasta + "/log_" + std::to_string(megas) + "mb.txt";
    {
        std::ofstream f(caminho, std::ios::binary);
        const std::string linha = "10/12/2026 08:00:00\tLendo solicita\xE7\xE3o 123456 do arquivo de exemplo\r\n";
        for (std::size_t escrito = 0; escrito < megas * 1024 * 1024; escrito += linha.size()) f << linha;
    }
    Log::DefinirArquivo(caminho);
    double melhor = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Relogio::now();
        Log::Gravar("cli_cod = 12345");
        melhor = std::min(melhor, Segundos(t0, Relogio::now()));
    }
    fs::remove(caminho);
    return melhor;
}

}  // namespace

int main(int argc, char** argv) {
    TOpcoesGerador opcoes;
    opcoes.Arquivos = Argumento(argc, argv, "--arquivos", 200);
    opcoes.Solicitacoes = Argumento(argc, argv, "--solicitacoes", 500);
    opcoes.ExamesPorSolicitacao = Argumento(argc, argv, "--exames", 5);
    opcoes.Semente = static_cast<std::uint32_t>(Argumento(argc, argv, "--semente", 20261210));

    char modelo[] = "/tmp/quorvel-bench-XXXXXX";
    if (!::mkdtemp(modelo)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string pasta = modelo;
    const std::string caixa = pasta + "/arquivos/";
    fs::create_directories(caixa);
    const auto arquivos = GerarArquivos(caixa, opcoes);
    std::printf("Arquivos: %zu, solicitações: %d, exames por solicitação: %d (semente %u)\n", arquivos.size(),
                opcoes.Solicitacoes, opcoes.ExamesPorSolicitacao, opcoes.Semente);

    const std::string catalogo = CatalogoDemo();
    TBancoTeste bancoFerramenta, bancoReplay;
    bancoFerramenta.Executar(catalogo);
    bancoReplay.Executar(catalogo);
    // Each row is committed on its own, so with the server's forced writes
    // the run measures the disk's flushes more than either client. Both
    // databases write asynchronously unless --escrita-sincrona is given.
    const bool sincrona = Opcao(argc, argv, "--escrita-sincrona");
    if (!sincrona) {
        for (const TBancoTeste* b : {&bancoFerramenta, &bancoReplay}) {
            const TConfigBD c = b->Config();
            const std::string cmd = "gfix -write async -user '" + c.Usuario + "' -password '" + c.Senha + "' '" +
                                    c.Servidor + ":" + c.Banco + "'";
            if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "gfix falhou: escrita síncrona mantida\n");
        }
    }
    std::printf("Escrita do servidor: %s\n", sincrona ? "síncrona (forced writes)" : "assíncrona");

    Log::DefinirArquivo(pasta + "/log.txt");
    TJanelaAutomatica janela;
    TDM dm(janela, pasta + "/");
    if (!dm.TentarConexao(bancoFerramenta.Config())) {
        std::fprintf(stderr, "Sem conexão com o banco de teste\n");
        return 1;
    }
    std::vector<TDM::TRegistro> registro;
    dm.AoExecutar = [&](const TDM::TRegistro& r) { registro.push_back(r); };

    TTabelasPedido tabelas;
    TConfig config;
    config.Diretorio = caixa;
    config.DataColetaComDataPedido = false;
    TLeitorPedidos leitor(tabelas);
    TValidacao validacao(tabelas, dm, janela);
    TListaArquivos lista(tabelas, leitor, validacao, janela, caixa);
    TProcessamento processamento(dm, tabelas, config, janela, lista);

    const auto t0 = Relogio::now();
    lista.AtualizarLista();
    const auto t1 = Relogio::now();
    processamento.ProcessarTodos(true);
    const auto t2 = Relogio::now();

    const int processados = static_cast<int>(
        std::distance(fs::directory_iterator(caixa + "processados"), fs::directory_iterator{}));
    const double tempoScan = Segundos(t0, t1);
    const double tempoFerramenta = Segundos(t1, t2);
    const std::string pedidos = bancoFerramenta.Valor("select count(*) from ped_pedidos");
    const std::string linhas = bancoFerramenta.Valor("select count(*) from exp_examespedidos");
    dm.AoExecutar = nullptr;
    dm.Desconectar();

    const TConfigBD cfg = bancoReplay.Config();
    const auto t3 = Relogio::now();
    const TResultadoReplay replay = Reproduzir(registro, cfg.Servidor + ":" + cfg.Banco, cfg.Usuario, cfg.Senha);
    const double tempoReplay = Segundos(t3, Relogio::now());

    const double porSegFerramenta = opcoes.Solicitacoes / tempoFerramenta;
    const double porSegReplay = opcoes.Solicitacoes / tempoReplay;
    std::printf("Arquivos movidos para processados: %d de %zu; pedidos gravados: %s; linhas de exame: %s\n",
                processados, arquivos.size(), pedidos.c_str(), linhas.c_str());
    std::printf("Caixas de mensagem mostradas: %d\n", janela.caixas);
    std::printf("Instruções gravadas: %d, commits: %d (erros no replay: %d)\n", replay.Instrucoes, replay.Commits,
                replay.Erros);
    std::printf("Leitura da pasta (scan + validação): %.2f s, %.1f arquivos/s\n", tempoScan,
                arquivos.size() / tempoScan);
    std::printf("Ferramenta (processar todos): %.2f s, %.1f solicitações/s\n", tempoFerramenta, porSegFerramenta);
    std::printf("Replay no cliente puro:       %.2f s, %.1f solicitações/s\n", tempoReplay, porSegReplay);
    std::printf("Razão ferramenta / replay (tempo): %.2f\n", tempoFerramenta / tempoReplay);
    for (std::size_t mb : {1, 10, 50})
        std::printf("Log.Gravar com log.txt de %zu MB: %.1f ms\n", mb, TempoLog(pasta, mb) * 1000);

    fs::remove_all(pasta);
    return 0;
}
