// The benchmark: the tool's own path (scan, validation, silent processing of
// all files) on generated request files against a fresh laboratory database,
// with every statement and commit of the data module recorded; then the same
// record replayed through the bare client interface against a second fresh
// database (the files go in by groups, each group run by both in turn, so
// that the shared disk's busy spells weigh on both alike). Prints requests
// per second of both, their ratio, files per second of the scan; the import
// rate of the same files beside a log.txt of 50 MB and of 200 MB against the
// rate beside an empty one (the log's ratios), with the log's share of each
// cycle's wall time (each size in a worker process of its own: the same
// program started with --trabalhador); the time to read files of 250, 1000
// and 4000 requests into the request tables; and the cost of one rewrite of a
// log of 1, 10, 50 and 200 MB.
//
//   quorvel_bench [--arquivos N] [--solicitacoes N] [--exames N] [--semente N]
//                 [--escrita-sincrona] [--sem-log-grande] [--sem-leitura] [--so-leitura]

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
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
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/UTexto.h"
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

extern char** environ;
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

TCiclo RodarCiclo(const TConfigBD& banco, const std::string& pasta, const std::string& caixa) {
    TCiclo r;
    TJanelaAutomatica janela;
    TDM dm(janela, pasta + "/");
    if (!dm.TentarConexao(banco)) throw std::runtime_error("Sem conexão com o banco de teste");
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


// The time the log's writer spent in rewrites, summed at each rewrite's end.
struct TTempoLog {
    std::mutex m;
    double segundos = 0;
    int reescritas = 0;
    void Zerar() {
        std::lock_guard t(m);
        segundos = 0;
        reescritas = 0;
    }
};

void ObservarLog(TTempoLog& tempo) {
    Log::DefinirObservador([&tempo](const Log::TReescrita& r) {
        if (!r.fim) return;
        std::lock_guard t(tempo.m);
        tempo.segundos += Segundos(r.inicio, *r.fim);
        ++tempo.reescritas;
    });
}

// One automatic cycle beside a log of some size, in a process of its own (so
// that each size keeps its own log, as the program does): the figures of the
// cycle and of the rewrites.
struct TPerna {
    double Scan = 0, Processamento = 0;
    double LogNoCiclo = 0;  // rewrite time that ended within the cycle
    int Reescritas = 0;
    double Drenagem = 0;  // after the cycle, until its last lines were on disk
    int Caixas = 0;
    double Ciclo() const { return Scan + Processamento; }
    TPerna& operator+=(const TPerna& o) {
        Scan += o.Scan;
        Processamento += o.Processamento;
        LogNoCiclo += o.LogNoCiclo;
        Reescritas += o.Reescritas;
        Drenagem += o.Drenagem;
        Caixas += o.Caixas;
        return *this;
    }
};

// The worker's side: `--trabalhador pasta servidor banco usuario senha megas`.
// Makes a log.txt of `megas` MB in `pasta` (none for 0) and writes it twice
// through (the first rewrite of a run reads the file, as the program's first
// rewrite after its start does); then, for each line "ciclo" on standard
// input, runs one automatic cycle on pasta/arquivos/ and answers one line of
// figures. The lines still in memory at the cycle's end are written before
// the answer and timed apart: in the program they reach the disk between two
// cycles, and here no other run may pay for them.
int Trabalhador(char** argv) {
    const std::string pasta = argv[0];
    TConfigBD cfg;
    cfg.Servidor = argv[1];
    cfg.Banco = argv[2];
    cfg.Usuario = argv[3];
    cfg.Senha = argv[4];
    const std::size_t megas = static_cast<std::size_t>(std::atoi(argv[5]));
    Log::DefinirSegundoPlano(true);
    if (megas > 0) CriarLog(pasta + "/log.txt", megas);
    Log::DefinirArquivo(pasta + "/log.txt");
    TTempoLog tempo;
    try {
        for (int i = 0; i < 2; ++i) {
            Log::Gravar("aquecimento");
            Log::Concluir();
        }
        ObservarLog(tempo);
        std::printf("pronto\n");
        std::fflush(stdout);
        char linha[64];
        while (std::fgets(linha, sizeof linha, stdin) && std::strncmp(linha, "ciclo", 5) == 0) {
            tempo.Zerar();
            const TCiclo c = RodarCiclo(cfg, pasta, pasta + "/arquivos/");
            TPerna p;
            p.Scan = c.Scan;
            p.Processamento = c.Processamento;
            p.Caixas = c.Caixas;
            {
                std::lock_guard t(tempo.m);
                p.LogNoCiclo = tempo.segundos;
                p.Reescritas = tempo.reescritas;
            }
            const auto t0 = Relogio::now();
            Log::Concluir();
            p.Drenagem = Segundos(t0, Relogio::now());
            std::printf("%.6f %.6f %.6f %d %.6f %d\n", p.Scan, p.Processamento, p.LogNoCiclo, p.Reescritas, p.Drenagem,
                        p.Caixas);
            std::fflush(stdout);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trabalhador: %s\n", Cp1252ParaUtf8(e.what()).c_str());
        return 1;
    }
    Log::DefinirObservador({});
    Log::DefinirArquivo("");
    return 0;
}

// The parent's side of a worker: its folder, and the pipes to it.
class TTrabalhador {
public:
    TTrabalhador(const std::string& pasta, const TConfigBD& cfg, std::size_t megas) : pasta_(pasta) {
        fs::create_directories(pasta + "/arquivos");
        int ida[2], volta[2];
        // Close-on-exec: a worker started later must not keep this one's
        // input open (it would never see its end).
        if (::pipe2(ida, O_CLOEXEC) != 0 || ::pipe2(volta, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        posix_spawn_file_actions_t acoes;
        posix_spawn_file_actions_init(&acoes);
        posix_spawn_file_actions_adddup2(&acoes, ida[0], 0);
        posix_spawn_file_actions_adddup2(&acoes, volta[1], 1);
        posix_spawn_file_actions_addclose(&acoes, ida[1]);
        posix_spawn_file_actions_addclose(&acoes, volta[0]);
        std::vector<std::string> args{"/proc/self/exe", "--trabalhador", pasta, cfg.Servidor, cfg.Banco,
                                      cfg.Usuario, cfg.Senha, std::to_string(megas)};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int erro = posix_spawn(&pid_, "/proc/self/exe", &acoes, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&acoes);
        ::close(ida[0]);
        ::close(volta[1]);
        if (erro != 0) throw std::runtime_error("posix_spawn");
        para_ = ::fdopen(ida[1], "w");
        de_ = ::fdopen(volta[0], "r");
        char linha[64];
        if (!std::fgets(linha, sizeof linha, de_) || std::strncmp(linha, "pronto", 6) != 0)
            throw std::runtime_error("o trabalhador não iniciou");
    }
    ~TTrabalhador() {
        if (para_) std::fclose(para_);
        if (de_) std::fclose(de_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    const std::string& Pasta() const { return pasta_; }
    TPerna Ciclo() {
        std::fputs("ciclo\n", para_);
        std::fflush(para_);
        TPerna p;
        if (std::fscanf(de_, "%lf %lf %lf %d %lf %d", &p.Scan, &p.Processamento, &p.LogNoCiclo, &p.Reescritas,
                        &p.Drenagem, &p.Caixas) != 6)
            throw std::runtime_error("o trabalhador parou");
        return p;
    }

private:
    std::string pasta_;
    pid_t pid_ = -1;
    FILE* para_ = nullptr;
    FILE* de_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 8 && std::strcmp(argv[1], "--trabalhador") == 0) return Trabalhador(argv + 2);
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
    fs::create_directories(caixa);
    const std::string gerados = pasta + "/gerados/";
    fs::create_directories(gerados);
    const auto arquivos = GerarArquivos(gerados, opcoes);
    std::printf("Arquivos: %zu, solicitações: %d, exames por solicitação: %d (semente %u)\n", arquivos.size(),
                opcoes.Solicitacoes, opcoes.ExamesPorSolicitacao, opcoes.Semente);

    const std::string catalogo = CatalogoDemo();
    TBancoTeste bancoAquecimento, bancoFerramenta, bancoReplay;
    // The log's runs: one database for each size of log.txt.
    const std::vector<std::size_t> tamanhosLog{0, 50, 200};
    std::vector<std::unique_ptr<TBancoTeste>> bancosLog;
    if (comLogGrande)
        for (std::size_t i = 0; i < tamanhosLog.size(); ++i) bancosLog.push_back(std::make_unique<TBancoTeste>());
    std::vector<const TBancoTeste*> bancos{&bancoAquecimento, &bancoFerramenta, &bancoReplay};
    for (const auto& b : bancosLog) bancos.push_back(b.get());
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
    TCiclo ferramenta;
    std::vector<TPerna> pernas(tamanhosLog.size());
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
        RodarCiclo(bancoAquecimento.Config(), pastaAquecimento, pastaAquecimento + "/arquivos/");

        // The files go in by groups, and each group is run at once by the
        // tool and replayed: the machine's disk is shared, and a busy spell
        // then weighs on both alike instead of on whichever ran during it.
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
            TCiclo c = RodarCiclo(bancoFerramenta.Config(), pasta, caixa);
            ferramenta.Scan += c.Scan;
            ferramenta.Processamento += c.Processamento;
            ferramenta.Caixas += c.Caixas;
            const auto t = Relogio::now();
            const TResultadoReplay rr = Reproduzir(c.Registro, cfg.Servidor + ":" + cfg.Banco, cfg.Usuario, cfg.Senha);
            tempoReplay += Segundos(t, Relogio::now());
            replay.Instrucoes += rr.Instrucoes;
            replay.Commits += rr.Commits;
            replay.Erros += rr.Erros;
        }
        Log::Concluir();

        // The log's cost: one worker process for each size of log.txt (each
        // keeps its one log, as the program does), each importing every file
        // in two automatic cycles of half the files, in the order empty,
        // 50 MB, 200 MB and then back, so that the disk's busy spells weigh
        // on all sizes alike.
        if (comLogGrande) {
            std::vector<std::unique_ptr<TTrabalhador>> trabalhadores;
            for (std::size_t i = 0; i < tamanhosLog.size(); ++i)
                trabalhadores.push_back(std::make_unique<TTrabalhador>(
                    pasta + "/log_" + std::to_string(tamanhosLog[i]) + "mb", bancosLog[i]->Config(), tamanhosLog[i]));
            const std::size_t meio = arquivos.size() / 2;
            for (int metade = 0; metade < 2; ++metade) {
                for (std::size_t k = 0; k < tamanhosLog.size(); ++k) {
                    const std::size_t i = metade == 0 ? k : tamanhosLog.size() - 1 - k;
                    const std::size_t de = metade == 0 ? 0 : meio, ate = metade == 0 ? meio : arquivos.size();
                    for (std::size_t f = de; f < ate; ++f)
                        fs::copy_file(arquivos[f], trabalhadores[i]->Pasta() + "/arquivos/" +
                                                       fs::path(arquivos[f]).filename().string());
                    pernas[i] += trabalhadores[i]->Ciclo();
                }
            }
        }
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

    if (comLogGrande) {
        // The same files on databases of their own, beside an empty log.txt
        // and beside months of log: rate of the whole cycle (scan and
        // import) against the rate with the empty one, and the log's share
        // of the cycle's wall time (the rewrites that ended within it).
        const TPerna& vazio = pernas[0];
        for (std::size_t i = 0; i < tamanhosLog.size(); ++i) {
            const TPerna& p = pernas[i];
            std::printf("Ciclo (scan + processar todos), log.txt %s: %.2f s, %.1f solicitações/s; "
                        "reescritas do log no ciclo: %d, %.2f s (%.1f%% do tempo do ciclo); "
                        "linhas restantes até o disco após o ciclo: %.2f s\n",
                        tamanhosLog[i] == 0 ? "vazio" : (std::to_string(tamanhosLog[i]) + " MB").c_str(), p.Ciclo(),
                        opcoes.Solicitacoes / p.Ciclo(), p.Reescritas, p.LogNoCiclo, 100 * p.LogNoCiclo / p.Ciclo(),
                        p.Drenagem);
            if (i > 0)
                std::printf("Razão do log de %zu MB (taxa com %zu MB / taxa com log vazio): %.2f\n", tamanhosLog[i],
                            tamanhosLog[i], vazio.Ciclo() / p.Ciclo());
            std::printf("  pedidos gravados: %s, caixas: %d, log.txt ao fim: %.1f MB\n",
                        bancosLog[i]->Valor("select count(*) from ped_pedidos").c_str(), p.Caixas,
                        fs::file_size(pasta + "/log_" + std::to_string(tamanhosLog[i]) + "mb/log.txt") / 1048576.0);
        }
    }

    if (comLeitura) MedirLeitura(pasta, opcoes);

    for (std::size_t mb : {1, 10, 50, 200})
        std::printf("Uma reescrita do log.txt de %zu MB (uma linha até o disco): %.1f ms\n", mb,
                    TempoReescrita(pasta, mb) * 1000);

    Log::DefinirArquivo("");
    fs::remove_all(pasta);
    return 0;
}
