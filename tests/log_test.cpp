// The activity log: newest line first, time stamp format, Windows-1252 bytes,
// and a failed write that leaves the lines already there.
#include "log/ULog.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "base/UErro.h"
#include "base/UTipos.h"

namespace fs = std::filesystem;

namespace {

std::string Ler(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void Escrever(const fs::path& p, const std::string& conteudo) {
    std::ofstream f(p, std::ios::binary);
    f << conteudo;
}

// The lines of the file, split at CR LF; every line must end in CR LF.
std::vector<std::string> Linhas(const std::string& conteudo) {
    std::vector<std::string> linhas;
    std::size_t inicio = 0;
    while (inicio < conteudo.size()) {
        const std::size_t fim = conteudo.find("\r\n", inicio);
        EXPECT_NE(fim, std::string::npos) << "line without CR LF at the end of the file";
        if (fim == std::string::npos) break;
        linhas.push_back(conteudo.substr(inicio, fim - inicio));
        inicio = fim + 2;
    }
    return linhas;
}

class LogTeste : public ::testing::Test {
protected:
    void SetUp() override {
        char modelo[] = "/tmp/log_test_XXXXXX";
        ASSERT_NE(mkdtemp(modelo), nullptr);
        pasta_ = modelo;
        arquivo_ = pasta_ / "log.txt";
        Log::DefinirArquivo(arquivo_.string());
    }
    void TearDown() override {
        Log::DefinirArquivo("");
        Log::DefinirSegundoPlano(false);
        Log::DefinirRelogio({});
        fs::remove_all(pasta_);
    }

    // Checks "dd/mm/yyyy hh:nn:ss" TAB message, with a time between the two
    // instants (whole seconds).
    void ConferirLinha(const std::string& linha, const std::string& mensagem, TDataHora antes,
                       TDataHora depois) {
        static const std::regex formato(R"((\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)\t([\s\S]*))");
        std::smatch m;
        ASSERT_TRUE(std::regex_match(linha, m, formato)) << linha;
        EXPECT_EQ(m[2].str(), mensagem);
        const auto quando = LerDataHora(m[1].str());
        ASSERT_TRUE(quando.has_value());
        EXPECT_GE(*quando, antes.MaisMs(-antes.Milissegundos()));
        EXPECT_LE(*quando, depois);
    }

    std::size_t ArquivosNaPasta() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(pasta_), fs::directory_iterator()));
    }

    fs::path pasta_;
    fs::path arquivo_;
};

TEST_F(LogTeste, PrimeiraChamadaCriaOArquivoComUmaLinha) {
    const TDataHora antes = TDataHora::Agora();
    Log::Gravar("Iniciando processo de leitura do arquivo /lab/arquivos/p1.xml");
    const TDataHora depois = TDataHora::Agora();
    EXPECT_FALSE(fs::exists(arquivo_)) << "the line waits for the flush point";
    Log::Descarregar();

    const auto linhas = Linhas(Ler(arquivo_));
    ASSERT_EQ(linhas.size(), 1u);
    ConferirLinha(linhas[0], "Iniciando processo de leitura do arquivo /lab/arquivos/p1.xml", antes, depois);
    EXPECT_EQ(ArquivosNaPasta(), 1u) << "no temporary file may be left behind";
}

TEST_F(LogTeste, NovaLinhaFicaNoTopoEAsAnterioresSeguemIntactas) {
    const TDataHora antes = TDataHora::Agora();
    Log::Gravar("primeira");
    Log::Gravar("segunda");
    Log::Gravar("terceira");
    const TDataHora depois = TDataHora::Agora();
    Log::Descarregar();

    const auto linhas = Linhas(Ler(arquivo_));
    ASSERT_EQ(linhas.size(), 3u);
    ConferirLinha(linhas[0], "terceira", antes, depois);
    ConferirLinha(linhas[1], "segunda", antes, depois);
    ConferirLinha(linhas[2], "primeira", antes, depois);
    EXPECT_GE(linhas[0].substr(0, 19), linhas[2].substr(0, 19));
}

TEST_F(LogTeste, MensagemVaziaGravaLinhaVaziaSemData) {
    Log::Gravar("antes");
    Log::Descarregar();
    Log::Gravar("");
    Log::Descarregar();
    const std::string conteudo = Ler(arquivo_);
    ASSERT_EQ(conteudo.substr(0, 2), "\r\n");
    const auto linhas = Linhas(conteudo);
    ASSERT_EQ(linhas.size(), 2u);
    EXPECT_EQ(linhas[0], "");
    EXPECT_NE(linhas[1].find("\tantes"), std::string::npos);
}

TEST_F(LogTeste, AcentosUmBytePorLetra) {
    const std::string mensagem = "Lendo solicita\xE7\xE3o 12345";  // Windows-1252
    Log::Gravar(mensagem);
    Log::Descarregar();
    const std::string conteudo = Ler(arquivo_);
    EXPECT_EQ(conteudo.size(), 19 + 1 + mensagem.size() + 2);
    EXPECT_NE(conteudo.find("solicita\xE7\xE3o 12345\r\n"), std::string::npos);
}

TEST_F(LogTeste, QuebrasDeLinhaNaMensagemViramLinhasProprias) {
    const TDataHora antes = TDataHora::Agora();
    Log::Gravar("erro ao ler:\r\nlinha 2\nlinha 3");
    const TDataHora depois = TDataHora::Agora();
    Log::Descarregar();
    const auto linhas = Linhas(Ler(arquivo_));
    ASSERT_EQ(linhas.size(), 3u);
    ConferirLinha(linhas[0], "erro ao ler:", antes, depois);
    EXPECT_EQ(linhas[1], "linha 2");
    EXPECT_EQ(linhas[2], "linha 3");
}

// A failed value lookup logs "Erro lendo ...".\rErro: ..." with a lone CR:
// its second part is a line of its own, in the new line and in the old ones.
TEST_F(LogTeste, CRSozinhoTambemQuebraALinha) {
    Escrever(arquivo_, "velha 1\rvelha 2\r\n");
    const TDataHora antes = TDataHora::Agora();
    Log::Gravar("Erro lendo \"/lab/p1.xml\".\rErro: medico/codigo");
    const TDataHora depois = TDataHora::Agora();
    Log::Descarregar();
    const auto linhas = Linhas(Ler(arquivo_));
    ASSERT_EQ(linhas.size(), 4u);
    ConferirLinha(linhas[0], "Erro lendo \"/lab/p1.xml\".", antes, depois);
    EXPECT_EQ(linhas[1], "Erro: medico/codigo");
    EXPECT_EQ(linhas[2], "velha 1");
    EXPECT_EQ(linhas[3], "velha 2");
}

TEST_F(LogTeste, ArquivoExistenteComLFEhReescritoComCRLF) {
    Escrever(arquivo_, "velha 1\nvelha 2\r\nvelha 3");
    Log::Gravar("nova");
    Log::Descarregar();
    const auto linhas = Linhas(Ler(arquivo_));
    ASSERT_EQ(linhas.size(), 4u);
    EXPECT_NE(linhas[0].find("\tnova"), std::string::npos);
    EXPECT_EQ(linhas[1], "velha 1");
    EXPECT_EQ(linhas[2], "velha 2");
    EXPECT_EQ(linhas[3], "velha 3");
}

TEST_F(LogTeste, ArquivoExistenteMantemSuasPermissoes) {
    Escrever(arquivo_, "velha\r\n");
    ASSERT_EQ(chmod(arquivo_.c_str(), 0640), 0);
    Log::Gravar("nova");
    Log::Descarregar();
    struct stat info {};
    ASSERT_EQ(stat(arquivo_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// A new log takes the process's umask, which the writer learns without
// changing it (the umask is the whole process's: another thread may be
// creating a file at that moment).
TEST_F(LogTeste, ArquivoNovoSegueAUmaskSemMudaLa) {
    const mode_t anterior = ::umask(027);
    Log::Gravar("nova");
    Log::Descarregar();
    const mode_t depois = ::umask(anterior);
    EXPECT_EQ(depois, 027u);
    struct stat info {};
    ASSERT_EQ(stat(arquivo_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// ---- failures: an error to the caller, the lines already there kept ----

TEST_F(LogTeste, PastaInexistenteDaErroENaoCriaNada) {
    Log::DefinirArquivo((pasta_ / "nao_existe" / "log.txt").string());
    EXPECT_THROW(Log::Gravar("x"), EErro);
    EXPECT_FALSE(fs::exists(pasta_ / "nao_existe"));
}

TEST_F(LogTeste, ArquivoSomenteLeituraDaErroEFicaIntacto) {
    Escrever(arquivo_, "linha antiga\r\n");
    ASSERT_EQ(chmod(arquivo_.c_str(), 0444), 0);
    try {
        Log::Gravar("nova");
        FAIL() << "expected EErro";
    } catch (const EErro& e) {
        EXPECT_NE(std::string(e.what()).find(arquivo_.string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(Ler(arquivo_), "linha antiga\r\n");
    EXPECT_EQ(ArquivosNaPasta(), 1u);
}

TEST_F(LogTeste, CaminhoQueEhPastaDaErro) {
    fs::create_directory(arquivo_);
    EXPECT_THROW(Log::Gravar("x"), EErro);
    EXPECT_TRUE(fs::is_directory(arquivo_));
}

TEST_F(LogTeste, SemArquivoDefinidoDaErro) {
    Log::DefinirArquivo("");
    EXPECT_THROW(Log::Gravar("x"), EErro);
}

// A write that fails half-way (here: the process may not write more than a
// few bytes to any file, as on a full disk) must not cut the existing log.
TEST_F(LogTeste, FalhaNoMeioDaGravacaoNaoPerdeAsLinhasExistentes) {
    std::string antigo;
    for (int i = 0; i < 200; ++i) antigo += "01/01/2009 10:00:00\tlinha antiga " + std::to_string(i) + "\r\n";
    Escrever(arquivo_, antigo);

    rlimit original{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    const auto sinalAnterior = std::signal(SIGXFSZ, SIG_IGN);
    rlimit pequeno = original;
    pequeno.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &pequeno), 0);
    bool falhou = false;
    try {
        Log::Gravar("nova");
    } catch (const EErro&) {
        falhou = true;
    }
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, sinalAnterior);

    EXPECT_TRUE(falhou);
    EXPECT_EQ(Ler(arquivo_), antigo);
    EXPECT_EQ(ArquivosNaPasta(), 1u) << "the temporary file must be removed";
}

// ---- lines gathered and written together ----

// A clock that gives one second more at each reading, so every line of a run
// has a time stamp of its own and two runs give the same stamps.
std::function<TDataHora()> RelogioDeTeste() {
    auto segundos = std::make_shared<int>(0);
    return [segundos] { return TDataHora::De(2026, 12, 10, 8, 0, 0).MaisMs(1000LL * (*segundos)++); };
}

const std::vector<std::string>& MensagensVariadas() {
    static const std::vector<std::string> m = [] {
        std::vector<std::string> r;
        for (int i = 0; i < 300; ++i) {
            switch (i % 6) {
                case 0: r.push_back("Lendo solicita\xE7\xE3o " + std::to_string(100000 + i)); break;
                case 1: r.push_back(""); break;
                case 2: r.push_back("Erro lendo \"medico/codigo\".\rErro: " + std::to_string(i)); break;
                case 3: r.push_back("quebra\r\nno meio\nda mensagem " + std::to_string(i) + "\n"); break;
                case 4: r.push_back("cli_cod = " + std::to_string(i)); break;
                default: r.push_back("\t acentua\xE7\xE3o \xC1\xC9\xCD\xD3\xDA " + std::to_string(i)); break;
            }
        }
        return r;
    }();
    return m;
}

// However the lines are gathered (flush points every few lines, in the
// background, none at all until the end), the file holds byte for byte what
// writing and flushing each line on its own gives - from an old file with
// LF and lone CR line ends as well.
TEST_F(LogTeste, MuitasLinhasReunidasDaoOMesmoArquivoQueUmaAUma) {
    const std::string antigo = "velha 1\nvelha 2\rvelha 3\r\n\r\nvelha 5";

    auto gravar = [&](const fs::path& arquivo, bool segundoPlano, int descargaACada) {
        Escrever(arquivo, antigo);
        Log::DefinirArquivo(arquivo.string());
        Log::DefinirSegundoPlano(segundoPlano);
        Log::DefinirRelogio(RelogioDeTeste());
        int n = 0;
        for (const std::string& m : MensagensVariadas()) {
            Log::Gravar(m);
            if (descargaACada > 0 && ++n % descargaACada == 0) Log::Descarregar();
        }
        Log::Concluir();
        return Ler(arquivo);
    };

    const std::string umaAUma = gravar(pasta_ / "uma_a_uma.txt", false, 1);
    // The reference itself: newest first, stamps one second apart.
    const auto linhas = Linhas(umaAUma);
    ASSERT_GT(linhas.size(), MensagensVariadas().size());
    EXPECT_EQ(linhas[0].substr(0, 20), "10/12/2026 08:04:09\t");  // 250 messages with a time stamp
    EXPECT_EQ(linhas.back(), "velha 5");

    struct Caso {
        const char* nome;
        bool segundoPlano;
        int descargaACada;
    };
    for (const Caso& c : {Caso{"a cada 5, esperando", false, 5}, Caso{"a cada 3, em segundo plano", true, 3},
                          Caso{"a cada 1, em segundo plano", true, 1}, Caso{"so no fim", true, 0}}) {
        SCOPED_TRACE(c.nome);
        const std::string reunidas = gravar(pasta_ / (std::string("reunidas_") + std::to_string(c.descargaACada) + ".txt"),
                                            c.segundoPlano, c.descargaACada);
        EXPECT_TRUE(reunidas == umaAUma) << "the gathered log differs from one line at a time";
    }
}

// The time stamp is the moment of Gravar, not of the write.
TEST_F(LogTeste, DataEHoraSaoAsDaChamadaNaoAsDaGravacao) {
    TDataHora agora = TDataHora::De(2026, 12, 10, 8, 0, 0);
    Log::DefinirRelogio([&] { return agora; });
    Log::Gravar("primeira");
    agora = TDataHora::De(2026, 12, 10, 9, 30, 15);
    Log::Gravar("segunda");
    agora = TDataHora::De(2026, 12, 11, 0, 0, 0);
    Log::Descarregar();
    EXPECT_EQ(Ler(arquivo_), "10/12/2026 09:30:15\tsegunda\r\n10/12/2026 08:00:00\tprimeira\r\n");
}

// Without a flush point the lines still reach the file, about a second after
// the first of them.
TEST_F(LogTeste, LinhasSemPontoDeDescargaChegamSozinhas) {
    Log::Gravar("sozinha 1");
    Log::Gravar("sozinha 2");
    std::string conteudo;
    for (int i = 0; i < 200 && conteudo.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (fs::exists(arquivo_)) conteudo = Ler(arquivo_);
    }
    const auto linhas = Linhas(conteudo);
    ASSERT_EQ(linhas.size(), 2u) << "nothing written 10 s after the lines were gathered";
    EXPECT_NE(linhas[0].find("\tsozinha 2"), std::string::npos);
}

// The content is kept in memory between writes; a change made to the file by
// someone else in between (lines added, file replaced, file removed) is not
// lost by the next write.
TEST_F(LogTeste, MudancaDeOutroProgramaEntreGravacoesEhMantida) {
    Log::DefinirRelogio([] { return TDataHora::De(2026, 12, 10, 8, 0, 0); });
    const std::string a = "10/12/2026 08:00:00\ta\r\n";
    Log::Gravar("a");
    Log::Descarregar();
    ASSERT_EQ(Ler(arquivo_), a);

    // Rewritten in place with another line on top.
    Escrever(arquivo_, "externa 1\n" + a);
    Log::Gravar("b");
    Log::Descarregar();
    EXPECT_EQ(Ler(arquivo_), "10/12/2026 08:00:00\tb\r\nexterna 1\r\n" + a);

    // Replaced by another file of the same size.
    const std::string antes = Ler(arquivo_);
    std::string trocado(antes.size() - 2, 'x');
    trocado += "\r\n";
    Escrever(pasta_ / "outro.txt", trocado);
    fs::rename(pasta_ / "outro.txt", arquivo_);
    Log::Gravar("c");
    Log::Descarregar();
    EXPECT_EQ(Ler(arquivo_), "10/12/2026 08:00:00\tc\r\n" + trocado);

    // Removed: the next line starts a new file.
    fs::remove(arquivo_);
    Log::Gravar("d");
    Log::Descarregar();
    EXPECT_EQ(Ler(arquivo_), "10/12/2026 08:00:00\td\r\n");
}

TEST_F(LogTeste, TrocarDeArquivoGravaAntesAsLinhasDoAnterior) {
    Log::Gravar("do primeiro");
    const fs::path segundo = pasta_ / "segundo.txt";
    Log::DefinirArquivo(segundo.string());
    Log::Gravar("do segundo");
    Log::Descarregar();
    EXPECT_NE(Ler(arquivo_).find("\tdo primeiro\r\n"), std::string::npos);
    EXPECT_EQ(Ler(arquivo_).find("do segundo"), std::string::npos);
    EXPECT_NE(Ler(segundo).find("\tdo segundo\r\n"), std::string::npos);
}

// A log of many megabytes goes to the disk piece by piece: the file holds
// the new lines and every byte of the old content, twice over (the second
// rewrite from the content kept in memory).
TEST_F(LogTeste, LogDeMuitosMegabytesReescritoInteiro) {
    std::string antigo;
    for (int i = 0; antigo.size() < 20u * 1024 * 1024; ++i)
        antigo += "01/01/2009 10:00:00\thist\xF3rico " + std::to_string(i) + "\r\n";
    Escrever(arquivo_, antigo);
    Log::DefinirRelogio([] { return TDataHora::De(2026, 12, 10, 8, 0, 0); });
    Log::Gravar("primeira");
    Log::Concluir();
    Log::Gravar("segunda");
    Log::Concluir();
    EXPECT_TRUE(Ler(arquivo_) == "10/12/2026 08:00:00\tsegunda\r\n10/12/2026 08:00:00\tprimeira\r\n" + antigo);
    EXPECT_EQ(ArquivosNaPasta(), 1u);
}

// The process's file size limit, lowered for a while: rewrites of a log
// larger than that fail after their lines were taken (as when the disk fills
// up in between).
class TLimiteDeTamanho {
public:
    TLimiteDeTamanho() {
        getrlimit(RLIMIT_FSIZE, &original_);
        sinal_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~TLimiteDeTamanho() {
        Soltar();
        std::signal(SIGXFSZ, sinal_);
    }
    void Apertar(rlim_t bytes) {
        rlimit pequeno = original_;
        pequeno.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &pequeno);
    }
    void Soltar() { setrlimit(RLIMIT_FSIZE, &original_); }

private:
    rlimit original_{};
    void (*sinal_)(int) = SIG_DFL;
};

// A rewrite that fails after its lines were taken keeps them: the next flush
// point tries them again, with the lines handed over since, and the file then
// holds every line in its order with its own time stamp. Each failure is
// reported once, naming the flush points whose lines that rewrite held for
// the first time - the reading's (no name), request A's, then request B's,
// never A again - and nothing is thrown at any flush point.
TEST_F(LogTeste, ReescritaQueFalhaGuardaAsLinhasEAsGravaNaProximaTentativa) {
    std::string antigo;
    for (int i = 0; i < 200; ++i) antigo += "01/01/2009 10:00:00\tlinha antiga " + std::to_string(i) + "\r\n";
    const std::string aviso = "N\xE3o foi poss\xEDvel gravar o arquivo ";
    const std::string guardadas = " ficam guardadas para a pr\xF3xima tentativa.";

    for (const bool segundoPlano : {false, true}) {
        SCOPED_TRACE(segundoPlano ? "em segundo plano" : "esperando");
        Escrever(arquivo_, antigo);
        Log::DefinirArquivo(arquivo_.string());
        Log::DefinirSegundoPlano(segundoPlano);
        Log::DefinirRelogio(RelogioDeTeste());
        TLimiteDeTamanho limite;

        // Each line is taken while the file can be written; the flush points
        // then meet a rewrite that fails.
        auto falhando = [&](const std::function<void()>& descarga) {
            limite.Apertar(1024);
            EXPECT_NO_THROW(descarga());
            EXPECT_THROW(Log::Concluir(), EErro) << "lines not on disk after the last attempt";
            limite.Soltar();
        };
        Log::Gravar("lendo p1.xml");
        falhando([] { Log::Entregar(); });
        Log::Gravar("cli_cod = 1");
        Log::Gravar("ped_cod = 10");
        Log::Gravar("lendo p2.xml");
        falhando([] { Log::Descarregar("pedido A"); });
        Log::Gravar("cli_cod = 2");
        falhando([] { Log::Descarregar("pedido B"); });
        EXPECT_EQ(Ler(arquivo_), antigo) << "a failed rewrite leaves the file as it was";
        EXPECT_EQ(ArquivosNaPasta(), 1u) << "the temporary file must be removed";

        const std::vector<std::string> falhas = Log::RetirarFalhas();
        ASSERT_EQ(falhas.size(), 3u);
        const std::string inicio = aviso + arquivo_.string() + ": ";
        for (const std::string& f : falhas) EXPECT_EQ(f.rfind(inicio, 0), 0u) << f;
        EXPECT_NE(falhas[0].find("\rAs linhas" + guardadas), std::string::npos) << falhas[0];
        EXPECT_NE(falhas[1].find("\rAs linhas de pedido A" + guardadas), std::string::npos) << falhas[1];
        EXPECT_NE(falhas[2].find("\rAs linhas de pedido B" + guardadas), std::string::npos) << falhas[2];
        EXPECT_TRUE(Log::RetirarFalhas().empty()) << "each failure is reported once";

        // The next flush point writes them all.
        Log::Gravar("ped_cod = 20");
        EXPECT_NO_THROW(Log::Descarregar("pedido C"));
        EXPECT_NO_THROW(Log::Concluir());
        EXPECT_TRUE(Log::RetirarFalhas().empty());
        EXPECT_EQ(Ler(arquivo_), "10/12/2026 08:00:05\tped_cod = 20\r\n"
                                 "10/12/2026 08:00:04\tcli_cod = 2\r\n"
                                 "10/12/2026 08:00:03\tlendo p2.xml\r\n"
                                 "10/12/2026 08:00:02\tped_cod = 10\r\n"
                                 "10/12/2026 08:00:01\tcli_cod = 1\r\n"
                                 "10/12/2026 08:00:00\tlendo p1.xml\r\n" +
                                     antigo);
        EXPECT_EQ(ArquivosNaPasta(), 1u);
    }
}

// log.txt writable but its folder not (a hardened install): the rewrite's
// temporary file cannot be made there, so Gravar refuses the line at once
// instead of taking it for a rewrite that must fail. Run as an unprivileged
// user (root may write anywhere).
TEST_F(LogTeste, PastaQueNaoAceitaOTemporarioRecusaALinhaNaHora) {
    Escrever(arquivo_, "antiga\r\n");
    ASSERT_EQ(chmod(arquivo_.c_str(), 0666), 0);
    ASSERT_EQ(chmod(pasta_.c_str(), 0555), 0);
    const pid_t filho = fork();
    ASSERT_GE(filho, 0);
    if (filho == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
        Log::DefinirArquivo(arquivo_.string());
        try {
            Log::Gravar("nova");
        } catch (const EErro& e) {
            const std::string texto = e.what();
            const bool certo = texto.rfind("N\xE3o foi poss\xEDvel gravar o arquivo " + arquivo_.string(), 0) == 0 &&
                               texto.find("n\xE3o aceita o arquivo tempor\xE1rio") != std::string::npos;
            _exit(certo ? 0 : 11);
        }
        _exit(12);  // taken
    }
    int estado = 0;
    waitpid(filho, &estado, 0);
    chmod(pasta_.c_str(), 0700);
    ASSERT_TRUE(WIFEXITED(estado));
    EXPECT_EQ(WEXITSTATUS(estado), 0) << "10: no such user, 11: wrong message, 12: the line was taken";
    EXPECT_EQ(Ler(arquivo_), "antiga\r\n");
}

// Background rewrites are spaced by their own cost: each starts no sooner
// than the larger of 0.3 s and nine times the previous one's duration after
// it ended. The observer sees every rewrite's start and end as the writer
// measured them; it also makes some rewrites slower (a fake cost inside the
// rewrite), so that nine times the duration passes 0.3 s. A flush point that
// waits starts its rewrite at once, spacing or not.
TEST_F(LogTeste, ReescritasEmSegundoPlanoEspacadasPeloProprioCusto) {
    using namespace std::chrono;
    EXPECT_EQ(Log::Espaco(milliseconds(1)), milliseconds(300));
    EXPECT_EQ(Log::Espaco(milliseconds(100)), milliseconds(900));

    std::mutex m;
    std::vector<Log::TReescrita> vistas;  // ended rewrites
    std::vector<steady_clock::time_point> inicios;
    std::atomic<int> lentidaoMs{0};
    Log::DefinirObservador([&](const Log::TReescrita& r) {
        if (!r.fim) {
            std::this_thread::sleep_for(milliseconds(lentidaoMs.load()));  // the fake cost
            std::lock_guard t(m);
            inicios.push_back(r.inicio);
            return;
        }
        std::lock_guard t(m);
        vistas.push_back(r);
    });
    Log::DefinirSegundoPlano(true);
    auto contar = [&] {
        std::lock_guard t(m);
        return vistas.size();
    };

    // Flush points much more often than rewrites may start: each rewrite is
    // due as soon as the spacing allows.
    for (const int custo : {0, 60, 0}) {
        lentidaoMs = custo;
        const std::size_t antes = contar();
        const auto limite = steady_clock::now() + seconds(30);
        while (contar() < antes + 3 && steady_clock::now() < limite) {
            Log::Gravar("linha");
            Log::Descarregar();
            std::this_thread::sleep_for(milliseconds(5));
        }
        ASSERT_GE(contar(), antes + 3) << "rewrites of cost " << custo << " ms did not happen";
    }
    {
        std::lock_guard t(m);
        ASSERT_EQ(inicios.size(), vistas.size());
        for (std::size_t i = 1; i < vistas.size(); ++i) {
            const auto duracao = *vistas[i - 1].fim - vistas[i - 1].inicio;
            const auto folga = vistas[i].inicio - *vistas[i - 1].fim;
            EXPECT_GE(folga, std::max<steady_clock::duration>(milliseconds(300), 9 * duracao))
                << "rewrite " << i << " started " << duration_cast<milliseconds>(folga).count()
                << " ms after one of " << duration_cast<milliseconds>(duracao).count() << " ms";
        }
    }

    // A slow rewrite, then a waiting flush point: it does not wait out the
    // nine times.
    lentidaoMs = 200;
    Log::Gravar("lenta");
    Log::Concluir();
    lentidaoMs = 0;
    Log::Gravar("esperada");
    Log::Concluir();
    Log::DefinirObservador({});
    std::lock_guard t(m);
    ASSERT_GE(vistas.size(), 2u);
    const Log::TReescrita& lenta = vistas[vistas.size() - 2];
    const Log::TReescrita& esperada = vistas.back();
    EXPECT_LT(esperada.inicio - *lenta.fim, 9 * (*lenta.fim - lenta.inicio)) << "the waiting flush point was spaced";
    EXPECT_NE(Ler(arquivo_).find("\tesperada\r\n"), std::string::npos);
}

// A crash (SIGKILL) at any moment - while lines are gathered, handed over or
// being written - leaves a whole log: the old content with the newest lines
// on top, as many as were written, at least all those whose write was
// waited for, never a part of a line or an empty file.
TEST_F(LogTeste, ProcessoMortoNoMeioNuncaDeixaOLogPelaMetade) {
    std::string conteudo;
    for (int i = 0; i < 40000; ++i) conteudo += "01/01/2009 10:00:00\thist\xF3rico " + std::to_string(i) + "\r\n";
    Escrever(arquivo_, conteudo);
    const std::string carimbo = "10/12/2026 08:00:00\t";

    for (int rodada = 0; rodada < 4; ++rodada) {
        SCOPED_TRACE("rodada " + std::to_string(rodada));
        int canal[2];
        ASSERT_EQ(pipe(canal), 0);
        const pid_t filho = fork();
        ASSERT_GE(filho, 0);
        if (filho == 0) {
            close(canal[0]);
            Log::DefinirSegundoPlano(true);
            Log::DefinirRelogio([] { return TDataHora::De(2026, 12, 10, 8, 0, 0); });
            for (int i = 0;; ++i) {
                Log::Gravar("r" + std::to_string(rodada) + " linha " + std::to_string(i));
                if (i % 3 == 2) Log::Descarregar();
                if (i % 10 == 9) {
                    // Lines 0..i are on disk now: tell the parent.
                    Log::Concluir();
                    const int feitas = i + 1;
                    if (write(canal[1], &feitas, sizeof feitas) != static_cast<ssize_t>(sizeof feitas)) _exit(1);
                }
            }
        }
        close(canal[1]);
        // Let it run for a while, then kill it wherever it is.
        int garantidas = 0, lido = 0;
        const int alvo = 3 + rodada * 7;
        for (int n = 0; n < alvo && read(canal[0], &lido, sizeof lido) == static_cast<ssize_t>(sizeof lido); ++n) garantidas = lido;
        std::this_thread::sleep_for(std::chrono::milliseconds(3 * rodada));
        kill(filho, SIGKILL);
        int estado = 0;
        waitpid(filho, &estado, 0);
        close(canal[0]);
        ASSERT_TRUE(WIFSIGNALED(estado));
        ASSERT_GT(garantidas, 0);

        // What lies on disk is the old content with lines r.. 0..k-1 on top.
        const std::string agora = Ler(arquivo_);
        ASSERT_GE(agora.size(), conteudo.size());
        ASSERT_TRUE(agora.compare(agora.size() - conteudo.size(), conteudo.size(), conteudo) == 0)
            << "the history before the last write was not kept";
        const auto novas = Linhas(agora.substr(0, agora.size() - conteudo.size()));
        const int k = static_cast<int>(novas.size());
        EXPECT_GE(k, garantidas) << "lines whose write was waited for are lost";
        for (int i = 0; i < k; ++i)
            ASSERT_EQ(novas[static_cast<std::size_t>(i)],
                      carimbo + "r" + std::to_string(rodada) + " linha " + std::to_string(k - 1 - i));
        conteudo = agora;
        // A killed writer may leave its temporary file; it is not the log.
        for (const auto& e : fs::directory_iterator(pasta_))
            if (e.path() != arquivo_) fs::remove(e.path());
    }
}

// The program ends with lines still in memory - normally (exit), or by an
// error nothing caught (std::terminate): they are in the file all the same.
TEST_F(LogTeste, LinhasEmMemoriaChegamAoArquivoQuandoOProgramaTermina) {
    for (const bool porErro : {false, true}) {
        SCOPED_TRACE(porErro ? "std::terminate" : "exit");
        fs::remove(arquivo_);
        const pid_t filho = fork();
        ASSERT_GE(filho, 0);
        if (filho == 0) {
            Log::DefinirSegundoPlano(true);
            Log::Gravar("entregue");
            Log::Descarregar();
            Log::Gravar("reunida");
            if (porErro) std::terminate();
            std::exit(0);
        }
        int estado = 0;
        waitpid(filho, &estado, 0);
        EXPECT_EQ(WIFSIGNALED(estado), porErro);
        const auto linhas = Linhas(Ler(arquivo_));
        ASSERT_EQ(linhas.size(), 2u);
        EXPECT_NE(linhas[0].find("\treunida"), std::string::npos);
        EXPECT_NE(linhas[1].find("\tentregue"), std::string::npos);
    }
}

}  // namespace
