// The benchmark: the tool's own path (scan, validation, silent processing of
// all files) on generated request files against a fresh laboratory database,
// with every statement and commit of the data module recorded; then the same
// record replayed through the bare client interface against a second fresh
// database (the files go in by groups, each group run by both in turn, so
// that the shared disk's busy spells weigh on both alike). Prints requests per second of both, their ratio, files per second
// of the scan; the import rate of the same files with a 50 MB log.txt already
// beside the program against the rate with an empty one (the log's ratio);
// the time to read files of 250, 1000 and 4000 requests into the request
// tables; and the cost of one rewrite of a log of 1, 10 and 50 MB.
//
//   quorvel_bench [--arquivos N] [--solicitacoes N] [--exames N] [--semente N]
//                 [--escrita-sincrona] [--sem-log-grande] [--sem-leitura] [--so-leitura]

#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/UTexto.h"
#include "bench/UGerador.h"
#include "bench/UReplay.h"
#include "db/UDM.h"
#include "import/UProcessamento.h"
#include "inbox/UBSXML.h"
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

// Fills `caminho` with about `megas` MB of old log lines.
void CriarLog(const std::string& caminho, std::size_t megas) {
    std::ofstream f(caminho, std::ios::binary | std::ios::trunc);
    const std::string linha = "10/12/2026 08:00:00\tLendo solicita\xE7\xE3o 123456 do arquivo de exemplo\r\n";
    for (std::size_t escrito = 0; escrito < megas * 1024 * 1024; escrito += linha.size()) f << linha;
}

// One line written through to disk (gathered, handed over, rewritten whole,
// flushed) on a log of `megas` MB: the cost of one rewrite. Best of three.
double TempoReescrita(const std::string& pasta, std::size_t megas) {
    const std::string caminho = pasta + "/log_" + std::to_string(megas) + "mb.txt";
    CriarLog(caminho, megas);
    Log::DefinirArquivo(caminho);
    double melhor = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = Relogio::now();
        Log::Gravar("cli_cod = 12345");
        Log::Concluir();
        melhor = std::min(melhor, Segundos(t0, Relogio::now()));
    }
    Log::DefinirArquivo(pasta + "/log.txt");
    fs::remove(caminho);
    return melhor;
}

// What the automatic cycle does with the inbox folder `caixa`: scan it
// (list, read, validate every file), then process every pending file with
// the boxes answered at once. Records the data module's statements.
struct TCiclo {
    double Scan = 0;
    double Processamento = 0;
    int Caixas = 0;
    std::vector<TDM::TRegistro> Registro;
};

TCiclo RodarCiclo(const TBancoTeste& banco, const std::string& pasta, const std::string& caixa) {
    TCiclo r;
    TJanelaAutomatica janela;
    TDM dm(janela, pasta + "/");
    if (!dm.TentarConexao(banco.Config())) throw std::runtime_error("Sem conexão com o banco de teste");
    dm.AoExecutar = [&](const TDM::TRegistro& x) { r.Registro.push_back(x); };

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
    r.Scan = Segundos(t0, t1);
    r.Processamento = Segundos(t1, t2);
    r.Caixas = janela.caixas;
    dm.AoExecutar = nullptr;
    dm.Desconectar();
    return r;
}

void DesligarEscritaForcada(const TBancoTeste& b) {
    const TConfigBD c = b.Config();
    const std::string cmd = "gfix -write async -user '" + c.Usuario + "' -password '" + c.Senha + "' '" +
                            c.Servidor + ":" + c.Banco + "'";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "gfix falhou: escrita síncrona mantida\n");
}

// Processor time of the calling thread, in seconds (the machine may be busy
// with other work: wall time alone then says little).
double CpuDestaThread() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

// One file of 250, 1000 and 4000 requests read into the request tables
// (what every scan, selection and import does), best of three.
void MedirLeitura(const std::string& pasta, const TOpcoesGerador& opcoes) {
    for (int n : {250, 1000, 4000}) {
        const std::string pastaLeitura = pasta + "/leitura_" + std::to_string(n);
        fs::create_directories(pastaLeitura);
        TOpcoesGerador um = opcoes;
        um.Arquivos = 1;
        um.Solicitacoes = n;
        um.ExamesPorSolicitacao = 5;
        um.Compacto = true;  // 4000 requests must stay below the 10 MB a request file may have
        const std::string arquivo = GerarArquivos(pastaLeitura, um).front();
        TTabelasPedido tabelas;
        TLeitorPedidos leitor(tabelas);
        double melhor = 1e9, cpu = 0;
        try {
            for (int i = 0; i < 3; ++i) {
                const double c0 = CpuDestaThread();
                const auto t0 = Relogio::now();
                leitor.CarregarArquivo(arquivo);
                const double tempo = Segundos(t0, Relogio::now());
                if (tempo < melhor) {
                    melhor = tempo;
                    cpu = CpuDestaThread() - c0;
                }
            }
            Log::Concluir();
        } catch (const std::exception& e) {
            std::printf("Leitura de um arquivo de %d solicitações (%.1f MB): %s\n", n,
                        fs::file_size(arquivo) / 1048576.0, Cp1252ParaUtf8(e.what()).c_str());
            continue;
        }
        // Of which the XML parser alone (the document is built and freed).
        double analise = 1e9;
        for (int i = 0; i < 3; ++i) {
            const double c0 = CpuDestaThread();
            { const TDocumentoXML documento(arquivo); }
            analise = std::min(analise, CpuDestaThread() - c0);
        }
        std::printf("Leitura de um arquivo de %d solicitações (%.1f MB, %d exames): %.3f s "
                    "(processador: %.3f s, dos quais análise do XML %.3f s)\n",
                    n, fs::file_size(arquivo) / 1048576.0, tabelas.cdsExames.ContarTodas(), melhor, cpu, analise);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    TOpcoesGerador opcoes;
    opcoes.Arquivos = Argumento(argc, argv, "--arquivos", 200);
    opcoes.Solicitacoes = Argumento(argc, argv, "--solicitacoes", 500);
    opcoes.ExamesPorSolicitacao = Argumento(argc, argv, "--exames", 5);
    opcoes.Semente = static_cast<std::uint32_t>(Argumento(argc, argv, "--semente", 20261210));
    const bool sincrona = Opcao(argc, argv, "--escrita-sincrona");
    const bool comLogGrande = !Opcao(argc, argv, "--sem-log-grande");
    const bool comLeitura = !Opcao(argc, argv, "--sem-leitura");
    const bool soLeitura = Opcao(argc, argv, "--so-leitura");

    char modelo[] = "/tmp/quorvel-bench-XXXXXX";
    if (!::mkdtemp(modelo)) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string pasta = modelo;
    Log::DefinirSegundoPlano(true);
    if (soLeitura) {
        Log::DefinirArquivo(pasta + "/log.txt");
        MedirLeitura(pasta, opcoes);
        Log::DefinirArquivo("");
        fs::remove_all(pasta);
        return 0;
    }
    const std::string caixa = pasta + "/arquivos/";
    const std::string pastaGrande = pasta + "/grande";
    const std::string caixaGrande = pastaGrande + "/arquivos/";
    fs::create_directories(caixa);
    fs::create_directories(caixaGrande);
    const std::string gerados = pasta + "/gerados/";
    fs::create_directories(gerados);
    const auto arquivos = GerarArquivos(gerados, opcoes);
    std::printf("Arquivos: %zu, solicitações: %d, exames por solicitação: %d (semente %u)\n", arquivos.size(),
                opcoes.Solicitacoes, opcoes.ExamesPorSolicitacao, opcoes.Semente);

    const std::string catalogo = CatalogoDemo();
    TBancoTeste bancoAquecimento, bancoFerramenta, bancoReplay;
    std::unique_ptr<TBancoTeste> bancoGrande;
    if (comLogGrande) bancoGrande = std::make_unique<TBancoTeste>();
    std::vector<const TBancoTeste*> bancos{&bancoAquecimento, &bancoFerramenta, &bancoReplay};
    if (bancoGrande) bancos.push_back(bancoGrande.get());
    for (const TBancoTeste* b : bancos) b->Executar(catalogo);
    // Each row is committed on its own, so with the server's forced writes
    // the run measures the disk's flushes more than either client. The
    // databases write asynchronously unless --escrita-sincrona is given.
    if (!sincrona)
        for (const TBancoTeste* b : bancos) DesligarEscritaForcada(*b);
    std::printf("Escrita do servidor: %s\n", sincrona ? "síncrona (forced writes)" : "assíncrona");

    // As the program runs it: flush points hand the lines to the log's
    // writer and go on.
    Log::DefinirSegundoPlano(true);
    TCiclo ferramenta, grande;
    double tempoReplay = 0;
    TResultadoReplay replay;
    const int rodadas = static_cast<int>(std::min<std::size_t>(10, arquivos.size()));
    try {
        // Not measured: the first cycle after the databases were made pays
        // for the server's and the client's start (about a tenth more).
        const std::string pastaAquecimento = pasta + "/aquecimento";
        fs::create_directories(pastaAquecimento + "/arquivos");
        TOpcoesGerador poucos = opcoes;
        poucos.Arquivos = std::min(opcoes.Arquivos, 10);
        poucos.Solicitacoes = std::min(opcoes.Solicitacoes, 25);
        poucos.Semente = opcoes.Semente + 1;
        GerarArquivos(pastaAquecimento + "/arquivos/", poucos);
        Log::DefinirArquivo(pastaAquecimento + "/log.txt");
        RodarCiclo(bancoAquecimento, pastaAquecimento, pastaAquecimento + "/arquivos/");

        // The files go in by groups, and each group is run at once by the
        // tool, replayed, and run by the tool beside the 50 MB log: the
        // machine's disk is shared, and a busy spell then weighs on all
        // three alike instead of on whichever ran during it.
        if (bancoGrande) CriarLog(pastaGrande + "/log.txt", 50);
        const TConfigBD cfg = bancoReplay.Config();
        for (int r = 0; r < rodadas; ++r) {
            const std::size_t de = arquivos.size() * static_cast<std::size_t>(r) / static_cast<std::size_t>(rodadas);
            const std::size_t ate =
                arquivos.size() * static_cast<std::size_t>(r + 1) / static_cast<std::size_t>(rodadas);
            auto colocar = [&](const std::string& destino) {
                for (std::size_t i = de; i < ate; ++i)
                    fs::copy_file(arquivos[i], destino + fs::path(arquivos[i]).filename().string());
            };
            colocar(caixa);
            Log::DefinirArquivo(pasta + "/log.txt");
            TCiclo c = RodarCiclo(bancoFerramenta, pasta, caixa);
            ferramenta.Scan += c.Scan;
            ferramenta.Processamento += c.Processamento;
            ferramenta.Caixas += c.Caixas;
            const auto t = Relogio::now();
            const TResultadoReplay rr = Reproduzir(c.Registro, cfg.Servidor + ":" + cfg.Banco, cfg.Usuario, cfg.Senha);
            tempoReplay += Segundos(t, Relogio::now());
            replay.Instrucoes += rr.Instrucoes;
            replay.Commits += rr.Commits;
            replay.Erros += rr.Erros;
            if (bancoGrande) {
                colocar(caixaGrande);
                Log::DefinirArquivo(pastaGrande + "/log.txt");
                const TCiclo g = RodarCiclo(*bancoGrande, pastaGrande, caixaGrande);
                grande.Scan += g.Scan;
                grande.Processamento += g.Processamento;
            }
        }
        Log::Concluir();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const int processados = static_cast<int>(
        std::distance(fs::directory_iterator(caixa + "processados"), fs::directory_iterator{}));
    const std::string pedidos = bancoFerramenta.Valor("select count(*) from ped_pedidos");
    const std::string linhas = bancoFerramenta.Valor("select count(*) from exp_examespedidos");
    const std::uintmax_t tamanhoLog = fs::file_size(pasta + "/log.txt");

    const double tempoFerramenta = ferramenta.Processamento;
    const double porSegFerramenta = opcoes.Solicitacoes / tempoFerramenta;
    const double porSegReplay = opcoes.Solicitacoes / tempoReplay;
    std::printf("Rodadas (grupos de arquivos, ferramenta e replay alternados): %d\n", rodadas);
    std::printf("Arquivos movidos para processados: %d de %zu; pedidos gravados: %s; linhas de exame: %s\n",
                processados, arquivos.size(), pedidos.c_str(), linhas.c_str());
    std::printf("Caixas de mensagem mostradas: %d\n", ferramenta.Caixas);
    std::printf("Instruções gravadas: %d, commits: %d (erros no replay: %d)\n", replay.Instrucoes, replay.Commits,
                replay.Erros);
    std::printf("Leitura da pasta (scan + validação): %.2f s, %.1f arquivos/s\n", ferramenta.Scan,
                arquivos.size() / ferramenta.Scan);
    std::printf("Ferramenta (processar todos): %.2f s, %.1f solicitações/s (log.txt ao fim: %.1f MB)\n",
                tempoFerramenta, porSegFerramenta, tamanhoLog / 1048576.0);
    std::printf("Replay no cliente puro:       %.2f s, %.1f solicitações/s\n", tempoReplay, porSegReplay);
    std::printf("Razão ferramenta / replay (tempo): %.2f\n", tempoFerramenta / tempoReplay);

    if (bancoGrande) {
        // The same files on their own database, with months of log beside
        // the program: rate of the whole cycle (scan and import) against the
        // tool's with an empty log.
        const double vazio = ferramenta.Scan + ferramenta.Processamento;
        const double cheio = grande.Scan + grande.Processamento;
        std::printf("Ciclo (scan + processar todos), log.txt vazio:    %.2f s, %.1f solicitações/s\n", vazio,
                    opcoes.Solicitacoes / vazio);
        std::printf("Ciclo (scan + processar todos), log.txt de 50 MB: %.2f s, %.1f solicitações/s\n", cheio,
                    opcoes.Solicitacoes / cheio);
        std::printf("Razão do log (taxa com 50 MB / taxa com log vazio): %.2f\n", vazio / cheio);
        std::printf("Pedidos gravados com log de 50 MB: %s; log.txt ao fim: %.1f MB\n",
                    bancoGrande->Valor("select count(*) from ped_pedidos").c_str(),
                    fs::file_size(pastaGrande + "/log.txt") / 1048576.0);
        Log::DefinirArquivo(pasta + "/log.txt");
        fs::remove(pastaGrande + "/log.txt");
    }

    if (comLeitura) MedirLeitura(pasta, opcoes);

    for (std::size_t mb : {1, 10, 50})
        std::printf("Uma reescrita do log.txt de %zu MB (uma linha até o disco): %.1f ms\n", mb,
                    TempoReescrita(pasta, mb) * 1000);

    Log::DefinirArquivo("");
    fs::remove_all(pasta);
    return 0;
}
