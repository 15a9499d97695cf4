// The writers that replace a file or move one: the owner, group and mode of
// a replaced file; which folders each rename and move forces to disk (seen
// through the folder-forcing observer); and the names of the hidden
// temporary files that the start-up removes as a crash's leftovers.
#include "base/UArquivoSeguro.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "inbox/UListaArquivos.h"
#include "log/ULog.h"
#include "tests/support/UBancoTeste.h"

namespace fs = std::filesystem;

namespace {

void Escrever(const fs::path& p, const std::string& conteudo) { std::ofstream(p, std::ios::binary) << conteudo; }

class Pasta : public ::testing::Test {
protected:
    void SetUp() override {
        char modelo[] = "/tmp/arquivo_seguro_test_XXXXXX";
        ASSERT_NE(mkdtemp(modelo), nullptr);
        pasta_ = modelo;
    }
    void TearDown() override {
        DefinirObservadorPastas({});
        Log::DefinirArquivo("");
        fs::remove_all(pasta_);
    }
    std::set<std::string> Nomes(const fs::path& p) const {
        std::set<std::string> r;
        for (const auto& e : fs::directory_iterator(p)) r.insert(e.path().filename().string());
        return r;
    }
    fs::path pasta_;
};

// The two ways of replacing a file: config.xml's and the log's rewrite.
struct TSubstituicao {
    const char* nome;
    std::function<void(const fs::path&)> substituir;
};

const std::vector<TSubstituicao>& Substituicoes() {
    static const std::vector<TSubstituicao> s{
        {"GravarArquivoSeguro", [](const fs::path& p) { GravarArquivoSeguro(p.string(), "novo\r\n"); }},
        {"reescrita do log",
         [](const fs::path& p) {
             Log::DefinirArquivo(p.string());
             Log::Gravar("nova");
             Log::Concluir();
         }},
    };
    return s;
}

// The window (the operator's account) and the service (its own) take turns
// in one folder: a replaced file keeps the owner and group it had, and its
// mode, so that the other one can still write it.
TEST_F(Pasta, SubstituirMantemDonoGrupoEModo) {
    if (geteuid() != 0) GTEST_SKIP() << "giving a file to another owner needs root";
    for (const TSubstituicao& s : Substituicoes()) {
        SCOPED_TRACE(s.nome);
        const fs::path arquivo = pasta_ / (std::string(s.nome) + ".txt");
        Escrever(arquivo, "velho\r\n");
        ASSERT_EQ(chown(arquivo.c_str(), 12345, 23456), 0);
        ASSERT_EQ(chmod(arquivo.c_str(), 0660), 0);
        s.substituir(arquivo);
        struct stat info {};
        ASSERT_EQ(stat(arquivo.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 12345u);
        EXPECT_EQ(info.st_gid, 23456u);
        EXPECT_EQ(info.st_mode & 07777, 0660u);
        EXPECT_NE(LerArquivoTeste(arquivo).find("nov"), std::string::npos) << "not replaced";
    }
}

// A process that may not give the file its owner (not root) still replaces
// it: the refusal (EPERM) is not a failure; the mode is kept.
TEST_F(Pasta, SubstituirSemPoderDarODonoAindaSubstitui) {
    if (geteuid() != 0) GTEST_SKIP() << "the other owner is made by root";
    ASSERT_EQ(chmod(pasta_.c_str(), 0777), 0);
    for (const TSubstituicao& s : Substituicoes()) {
        SCOPED_TRACE(s.nome);
        const fs::path arquivo = pasta_ / (std::string(s.nome) + ".txt");
        Escrever(arquivo, "velho\r\n");
        ASSERT_EQ(chown(arquivo.c_str(), 12345, 23456), 0);
        ASSERT_EQ(chmod(arquivo.c_str(), 0666), 0);
        const pid_t filho = fork();
        ASSERT_GE(filho, 0);
        if (filho == 0) {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(10);
            try {
                s.substituir(arquivo);
            } catch (...) {
                _exit(11);
            }
            _exit(0);
        }
        int estado = 0;
        waitpid(filho, &estado, 0);
        ASSERT_TRUE(WIFEXITED(estado));
        EXPECT_EQ(WEXITSTATUS(estado), 0) << "10: no such user, 11: the replacement failed";
        struct stat info {};
        ASSERT_EQ(stat(arquivo.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 65534u) << "the new file is the writer's own";
        EXPECT_EQ(info.st_mode & 07777, 0666u);
        EXPECT_NE(LerArquivoTeste(arquivo).find("nov"), std::string::npos);
    }
}

// ---- folders forced to disk ----

std::string Normal(const fs::path& p) {
    std::string s = p.lexically_normal().string();
    if (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// What the observer of ForcarPastaAoDisco saw, with what the folders held at
// that moment.
class TEspiaoPastas {
public:
    explicit TEspiaoPastas(std::function<std::string()> estado = {}) : estado_(std::move(estado)) {
        DefinirObservadorPastas([this](const std::string& pasta) {
            std::lock_guard t(m_);
            forcadas_.push_back({Normal(pasta), estado_ ? estado_() : ""});
        });
    }
    ~TEspiaoPastas() { DefinirObservadorPastas({}); }
    struct TVista {
        std::string pasta, estado;
        bool operator==(const TVista&) const = default;
        friend void PrintTo(const TVista& v, std::ostream* os) { *os << v.pasta << " (" << v.estado << ")"; }
    };
    std::vector<TVista> Forcadas() {
        std::lock_guard t(m_);
        return forcadas_;
    }

private:
    std::function<std::string()> estado_;
    std::mutex m_;
    std::vector<TVista> forcadas_;
};

TEST_F(Pasta, CadaSubstituicaoForcaAPastaDoArquivo) {
    for (const TSubstituicao& s : Substituicoes()) {
        SCOPED_TRACE(s.nome);
        const fs::path arquivo = pasta_ / (std::string(s.nome) + ".txt");
        Escrever(arquivo, "velho\r\n");
        // At the forcing the new content is in place (after the rename).
        TEspiaoPastas espiao([&] { return LerArquivoTeste(arquivo).rfind("velho", 0) == 0 ? "velho" : "novo"; });
        s.substituir(arquivo);
        const std::vector<TEspiaoPastas::TVista> esperado{{Normal(pasta_), "novo"}};
        EXPECT_EQ(espiao.Forcadas(), esperado);
    }
}

// A move forces the processed folder after the copy was renamed into it, then
// the inbox folder after the file left it; a processed folder made by the
// move is forced with the inbox folder first.
TEST_F(Pasta, MoverForcaAsDuasPastas) {
    const fs::path entrada = pasta_ / "arquivos";
    const fs::path processados = entrada / "processados";
    fs::create_directories(entrada);
    const fs::path origem = entrada / "p1.xml";
    const fs::path destino = processados / "p1.xml";
    auto estado = [&] {
        return std::string(fs::exists(processados) ? "pasta" : "sem pasta") + (fs::exists(destino) ? ", copia" : "") +
               (fs::exists(origem) ? ", origem" : "");
    };
    struct Caso {
        const char* nome;
        bool pastaExiste;
        std::vector<TEspiaoPastas::TVista> esperado;
    };
    const std::string e = Normal(entrada), p = Normal(processados);
    for (const Caso& c : {Caso{"processados/ criada pela movimentação", false,
                               {{e, "pasta, origem"}, {p, "pasta, copia, origem"}, {e, "pasta, copia"}}},
                          Caso{"processados/ já existente", true, {{p, "pasta, copia, origem"}, {e, "pasta, copia"}}}}) {
        SCOPED_TRACE(c.nome);
        fs::remove_all(processados);
        if (c.pastaExiste) fs::create_directories(processados);
        Escrever(origem, "<solicitacoes/>");
        TEspiaoPastas espiao(estado);
        ASSERT_TRUE(TListaArquivos::MoverParaProcessados(origem.string()));
        EXPECT_EQ(espiao.Forcadas(), c.esperado);
    }
}

// ---- leftovers of a crash ----

TEST(TemporariosAbandonados, SoOsNomesDosModelosDoPrograma) {
    struct Caso {
        const char* nome;
        bool doLog, doConfig, deMovimento;
    };
    const std::vector<Caso> casos{
        {".log.txt.AbC123", true, false, false},
        {".log.txt.zzzzzz", true, false, false},
        {".config.xml.0a9Z1x", false, true, true},  // a request file may be called config.xml
        {".qv-Xy12Ab", false, false, true},
        {".p1.xml.q1W2e3", false, false, true},
        {".Pedido 7.XML.abcdef", false, false, true},
        // Not the program's own.
        {"log.txt", false, false, false},
        {"config.xml", false, false, false},
        {".log.txt", false, false, false},
        {".log.txt.AbC12", false, false, false},     // five
        {".log.txt.AbC1234", false, false, false},   // seven
        {".log.txt.AbC-12", false, false, false},    // not a letter or digit
        {".log.txt.AbC12.", false, false, false},
        {"x.log.txt.AbC123", false, false, false},
        {".log.txt.bak.AbC123", false, false, false},
        {".LOG.TXT.AbC123", false, false, false},
        {".config.xml.", false, false, false},
        {".qv-Xy12A", false, false, false},
        {".qv-Xy12Ab7", false, false, false},
        {"qv-Xy12Ab", false, false, false},
        {".quorvelcad-relogio", false, false, false},
        {".quorvelcad-relogio.AbC123", false, false, false},
        {".p1.txt.q1W2e3", false, false, false},
        {".xml.q1W2e3", false, false, false},
        {"p1.xml", false, false, false},
        {".p1.xml", false, false, false},
        {".p1.xml.backup~", false, false, false},
        {"quorvelcad.trava", false, false, false},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        EXPECT_EQ(EhTemporarioDoModelo(c.nome, ".log.txt.XXXXXX"), c.doLog);
        EXPECT_EQ(EhTemporarioDoModelo(c.nome, ".config.xml.XXXXXX"), c.doConfig);
        EXPECT_EQ(EhTemporarioDeMovimento(c.nome), c.deMovimento);
    }
    // The templates are the writers' own.
    EXPECT_EQ(fs::path(ModeloTemporario("/lab/log.txt")).filename(), ".log.txt.XXXXXX");
    EXPECT_EQ(fs::path(ModeloTemporarioCurto("/lab/arquivos/processados/")).filename(), ".qv-XXXXXX");
}

// In a program folder: only the leftovers beside log.txt and config.xml and
// in processados/ go; the same names elsewhere, other hidden files, folders
// and links stay.
TEST_F(Pasta, RemoverSoOsTemporariosDoProgramaNasSuasPastas) {
    const fs::path entrada = pasta_ / "arquivos";
    const fs::path processados = entrada / "processados";
    fs::create_directories(processados);
    const std::string pasta = pasta_.string() + "/";
    const std::vector<fs::path> somem{pasta_ / ".log.txt.AbC123", pasta_ / ".log.txt.x9Y8z7",
                                      pasta_ / ".config.xml.QwErTy", processados / ".qv-Ab12Cd",
                                      processados / ".p1.xml.Zz9Zz9"};
    const std::vector<fs::path> ficam{pasta_ / "log.txt",
                                      pasta_ / "config.xml",
                                      pasta_ / ".qv-Ab12Cd",  // no move writes here
                                      pasta_ / ".bashrc",
                                      entrada / ".qv-Ab12Cd",  // nor here
                                      entrada / ".log.txt.AbC123",
                                      entrada / ".quorvelcad-relogio",
                                      processados / "p1.xml",
                                      processados / ".quorvelcad-relogio",
                                      processados / ".log.txt.AbC123",
                                      processados / ".qv-Ab12Cd.xml"};
    for (const auto& p : somem) Escrever(p, "sobra");
    for (const auto& p : ficam) Escrever(p, "fica");
    fs::create_directory(pasta_ / ".log.txt.D1r3ct");                     // a folder
    fs::create_symlink(pasta_ / "log.txt", processados / ".qv-L1nk00");  // a link

    EXPECT_EQ(RemoverTemporariosAbandonados(pasta), static_cast<int>(somem.size()));
    for (const auto& p : somem) EXPECT_FALSE(fs::exists(fs::symlink_status(p))) << p;
    for (const auto& p : ficam) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_TRUE(fs::is_directory(pasta_ / ".log.txt.D1r3ct"));
    EXPECT_TRUE(fs::is_symlink(processados / ".qv-L1nk00"));
    EXPECT_EQ(RemoverTemporariosAbandonados(pasta), 0);
    // A program folder without arquivos/ at all.
    fs::remove_all(entrada);
    EXPECT_EQ(RemoverTemporariosAbandonados(pasta), 0);
}

// log.txt as a symbolic link: its rewrites make their temporary files beside
// the file it names, and that is where they are looked for.
TEST_F(Pasta, RemoverSegueOLinkDoLog) {
    const fs::path real = pasta_ / "dados";
    fs::create_directories(real);
    Escrever(real / "log.txt", "");
    fs::create_symlink(real / "log.txt", pasta_ / "log.txt");
    Escrever(real / ".log.txt.AbC123", "sobra");
    Escrever(real / ".outro.txt.AbC123", "fica");
    EXPECT_EQ(RemoverTemporariosAbandonados(pasta_.string() + "/"), 1);
    EXPECT_EQ(Nomes(real), (std::set<std::string>{"log.txt", ".outro.txt.AbC123"}));
}

}  // namespace
