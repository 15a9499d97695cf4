// Value operations of the validation and the importers, and the inbox folder
// listing.
#include "inbox/UBS.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <utime.h>

#include "base/UErro.h"
#include "base/UTexto.h"

namespace fs = std::filesystem;

namespace {

// ---- EhInteiro / LerInteiro ----

struct TCasoInteiro {
    std::string texto;
    std::optional<std::int32_t> valor;
};

class InteiroTeste : public ::testing::TestWithParam<TCasoInteiro> {};

TEST_P(InteiroTeste, LerInteiroEEhInteiro) {
    const auto& c = GetParam();
    EXPECT_EQ(LerInteiro(c.texto), c.valor) << "'" << c.texto << "'";
    EXPECT_EQ(EhInteiro(c.texto), c.valor.has_value()) << "'" << c.texto << "'";
}

INSTANTIATE_TEST_SUITE_P(
    Casos, InteiroTeste,
    ::testing::Values(
        TCasoInteiro{"123", 123}, TCasoInteiro{"0", 0}, TCasoInteiro{"000123", 123},
        TCasoInteiro{"+5", 5}, TCasoInteiro{"-42", -42}, TCasoInteiro{"   7", 7}, TCasoInteiro{"  -7", -7},
        TCasoInteiro{"$1F", 31}, TCasoInteiro{"0x1F", 31}, TCasoInteiro{"0X1f", 31}, TCasoInteiro{"x1F", 31},
        TCasoInteiro{"X1f", 31}, TCasoInteiro{"-$10", -16}, TCasoInteiro{"$7FFFFFFF", 2147483647},
        TCasoInteiro{"2147483647", 2147483647}, TCasoInteiro{"-2147483648", INT32_MIN},
        // Not numbers.
        TCasoInteiro{"", std::nullopt}, TCasoInteiro{"   ", std::nullopt}, TCasoInteiro{"-", std::nullopt},
        TCasoInteiro{"+", std::nullopt}, TCasoInteiro{"$", std::nullopt}, TCasoInteiro{"0x", std::nullopt},
        TCasoInteiro{"x", std::nullopt}, TCasoInteiro{"12a", std::nullopt}, TCasoInteiro{"1F", std::nullopt},
        TCasoInteiro{"7 ", std::nullopt}, TCasoInteiro{"- 7", std::nullopt}, TCasoInteiro{"1.5", std::nullopt},
        TCasoInteiro{"1,5", std::nullopt}, TCasoInteiro{"\t7", std::nullopt}, TCasoInteiro{"--7", std::nullopt},
        TCasoInteiro{"$G", std::nullopt}, TCasoInteiro{"2147483648", std::nullopt},
        TCasoInteiro{"-2147483649", std::nullopt}, TCasoInteiro{"99999999999999999999", std::nullopt},
        TCasoInteiro{"$80000000", std::nullopt}, TCasoInteiro{"$FFFFFFFF", std::nullopt}));

// ---- EhData ----

TEST(EhData, Casos) {
    struct TCaso {
        const char* texto;
        bool data;
    };
    const TCaso casos[] = {
        {"05/03/1990", true}, {"1/2/2009", true},   {"29/02/2008", true}, {"31/12/2009", true},
        {"31/02/2009", false}, {"29/02/2009", false}, {"00/01/2009", false}, {"1/13/2009", false},
        {"", false},           {"05/03", false},      {"05-03-1990", false}, {"05/03/1990x", false},
        {"abc", false},        {"05/03/1990 10:00", false},
    };
    for (const TCaso& c : casos) EXPECT_EQ(EhData(c.texto), c.data) << c.texto;
}

// ---- formats ----

TEST(Formatar, CEP) {
    const std::pair<std::string, std::string> casos[] = {
        {"12345678", "12345-678"}, {"12345-678", "12345-678"}, {"1234", "1234-"}, {"", "-"},
        {"123456", "12345-6"},     {"1234567890", "12345-678"}, {"abcdefghi", "abcdefghi"},
    };
    for (const auto& [entrada, saida] : casos) EXPECT_EQ(FormatarCEP(entrada), saida) << entrada;
}

TEST(Formatar, CPF) {
    const std::pair<std::string, std::string> casos[] = {
        {"12345678901", "123.456.789-01"}, {"123.456.789-01", "123.456.789-01"}, {"", "..-"},
        {"1234", "123.4.-"},               {"1234567890", "123.456.789-0"},       {"123456789012", "123.456.789-01"},
    };
    for (const auto& [entrada, saida] : casos) EXPECT_EQ(FormatarCPF(entrada), saida) << entrada;
}

TEST(Formatar, CompletarEsquerda) {
    EXPECT_EQ(CompletarEsquerda("7", 3, '0'), "007");
    EXPECT_EQ(CompletarEsquerda("", 2, ' '), "  ");
    EXPECT_EQ(CompletarEsquerda("123", 3, '0'), "123");
    EXPECT_EQ(CompletarEsquerda("12345", 3, '0'), "12345");
    EXPECT_EQ(CompletarEsquerda("ab", 0, '0'), "ab");
}

// ---- values ----

TEST(Valores, PrimeiroPreenchido) {
    EXPECT_EQ(PrimeiroPreenchido({"", "b", "c"}), TVariante(std::string("b")));
    EXPECT_EQ(PrimeiroPreenchido({"a", ""}), TVariante(std::string("a")));
    EXPECT_EQ(PrimeiroPreenchido({" ", "b"}), TVariante(std::string(" ")));
    EXPECT_TRUE(EhNulo(PrimeiroPreenchido({"", ""})));
    EXPECT_TRUE(EhNulo(PrimeiroPreenchido({})));
}

TEST(Valores, Escolher) {
    EXPECT_EQ(Escolher(true, TVariante(std::int32_t{1}), TVariante(std::string("x"))), TVariante(std::int32_t{1}));
    EXPECT_EQ(Escolher(false, TVariante(std::int32_t{1}), TVariante(std::string("x"))),
              TVariante(std::string("x")));
    EXPECT_TRUE(EhNulo(Escolher(false, TVariante(2.5), TVariante(TNulo{}))));
}

// ---- folder listing ----

TEST(Mascara, Casos) {
    struct TCaso {
        const char* nome;
        const char* mascara;
        bool combina;
    };
    const TCaso casos[] = {
        {"a.xml", "*.xml", true},   {"B.XML", "*.xml", true},    {".oculto.xml", "*.xml", true},
        {"c.txt", "*.xml", false},  {"a.xml.bak", "*.xml", false}, {"axml", "*.xml", false},
        {"a.b.xml", "*.xml", true}, {"p1.xml", "p?.xml", true},  {"p10.xml", "p?.xml", false},
        {"qualquer", "*", true},    {"", "*", true},             {"[a].xml", "[a].xml", true},
    };
    for (const TCaso& c : casos) EXPECT_EQ(CombinaMascara(c.nome, c.mascara), c.combina) << c.nome << " " << c.mascara;
}

class ListarArquivosTeste : public ::testing::Test {
protected:
    void SetUp() override {
        char modelo[] = "/tmp/ubs_test_XXXXXX";
        ASSERT_NE(mkdtemp(modelo), nullptr);
        pasta_ = modelo;
    }
    void TearDown() override { fs::remove_all(pasta_); }

    void Criar(const std::string& nome) { std::ofstream(pasta_ / nome) << "<x/>"; }

    static std::vector<std::string> Caminhos(const std::vector<TFile>& arquivos) {
        std::vector<std::string> r;
        for (const TFile& f : arquivos) r.push_back(f.Caminho);
        std::sort(r.begin(), r.end());
        return r;
    }

    fs::path pasta_;
};

TEST_F(ListarArquivosTeste, SoArquivosXmlDaPropriaPastaSemDiferencaDeCaixa) {
    Criar("a.xml");
    Criar("B.XML");
    Criar(".c.xml");
    Criar("c.txt");
    fs::create_directory(pasta_ / "pasta.xml");
    fs::create_directory(pasta_ / "processados");
    std::ofstream(pasta_ / "processados" / "velho.xml") << "<x/>";

    const std::string p = pasta_.string();
    const auto esperado = std::vector<std::string>{p + "/.c.xml", p + "/B.XML", p + "/a.xml"};
    EXPECT_EQ(Caminhos(ListarArquivos(p, "*.xml")), esperado);
    EXPECT_EQ(Caminhos(ListarArquivos(p + "/", "*.xml")), esperado) << "one separator between folder and name";
}

TEST_F(ListarArquivosTeste, PastaInexistenteOuVaziaDaListaVazia) {
    EXPECT_TRUE(ListarArquivos((pasta_ / "nao_existe").string(), "*.xml").empty());
    EXPECT_TRUE(ListarArquivos(pasta_.string(), "*.xml").empty());
}

TEST_F(ListarArquivosTeste, DataHoraEhAUltimaGravacaoEmHoraLocal) {
    Criar("a.xml");
    // 09/03/2009 14:07:12 local time.
    std::tm local{};
    local.tm_year = 2009 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 9;
    local.tm_hour = 14;
    local.tm_min = 7;
    local.tm_sec = 12;
    local.tm_isdst = -1;
    const time_t quando = mktime(&local);
    utimbuf t{quando, quando};
    ASSERT_EQ(utime((pasta_ / "a.xml").c_str(), &t), 0);

    const auto arquivos = ListarArquivos(pasta_.string(), "*.XML");
    ASSERT_EQ(arquivos.size(), 1u);
    EXPECT_EQ(arquivos[0].DataHora, TDataHora::De(2009, 3, 9, 14, 7, 12));
    EXPECT_EQ(DataArquivo((pasta_ / "a.xml").string()), TDataHora::De(2009, 3, 9, 14, 7, 12));
}

TEST_F(ListarArquivosTeste, DataArquivoDeArquivoInexistenteDaErroComODoSistema) {
    const std::string caminho = (pasta_ / "sumiu.xml").string();
    try {
        DataArquivo(caminho);
        FAIL() << "expected EErro";
    } catch (const EErro& e) {
        const std::string msg = e.what();
        EXPECT_NE(msg.find(caminho), std::string::npos) << msg;
        // In the locale's language, Windows-1252 ("Arquivo ou diretório
        // inexistente" under pt_BR).
        EXPECT_NE(msg.find(": " + DescricaoErroSistema(ENOENT)), std::string::npos) << msg;
    }
}

}  // namespace
