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

#include "app/UErro.h"
#include "app/UTipos.h"

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

    const auto linhas = Linhas(Ler(arquivo_));
    ASSERT_EQ(linhas.size(), 3u);
    ConferirLinha(linhas[0], "terceira", antes, depois);
    ConferirLinha(linhas[1], "segunda", antes, depois);
    ConferirLinha(linhas[2], "primeira", antes, depois);
    EXPECT_GE(linhas[0].substr(0, 19), linhas[2].substr(0, 19));
}

TEST_F(LogTeste, MensagemVaziaGravaLinhaVaziaSemData) {
    Log::Gravar("antes");
    Log::Gravar("");
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
    const std::string conteudo = Ler(arquivo_);
    EXPECT_EQ(conteudo.size(), 19 + 1 + mensagem.size() + 2);
    EXPECT_NE(conteudo.find("solicita\xE7\xE3o 12345\r\n"), std::string::npos);
}

TEST_F(LogTeste, QuebrasDeLinhaNaMensagemViramLinhasProprias) {
    const TDataHora antes = TDataHora::Agora();
    Log::Gravar("erro ao ler:\r\nlinha 2\nlinha 3");
    const TDataHora depois = TDataHora::Agora();
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

}  // namespace
