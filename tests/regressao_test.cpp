// Replays every input the fuzz targets found faults with
// (tests/data/regressao/<alvo>/), through the same steps as the targets, and
// pins each fault down with a readable case of its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "base/UXMLConfig.h"
#include "tests/fuzz/UAlvosFuzz.h"

namespace fs = std::filesystem;

namespace {

const fs::path kRegressao = fs::path(QUORVEL_DADOS_TESTE) / "regressao";

std::string Ler(const fs::path& p) {
    std::ifstream e(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(e), {});
}

class Regressao : public ::testing::Test {
protected:
    void SetUp() override { pasta_ = pastaFuzz_.Caminho(); }

    std::vector<fs::path> Entradas(const std::string& alvo) const {
        std::vector<fs::path> r;
        if (fs::is_directory(kRegressao / alvo))
            for (const auto& e : fs::directory_iterator(kRegressao / alvo)) r.push_back(e.path());
        return r;
    }

    TPastaFuzz pastaFuzz_{"regressao"};
    std::string pasta_;
};

TEST_F(Regressao, EntradasDoLeitorSaoTratadas) {
    for (const fs::path& p : Entradas("leitor")) {
        const std::string bytes = Ler(p);
        EXPECT_EQ(ExercitarLeitor(pasta_, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
            << p.filename();
    }
}

TEST_F(Regressao, EntradasDoConfigSaoTratadas) {
    const auto entradas = Entradas("config");
    ASSERT_FALSE(entradas.empty());
    for (const fs::path& p : entradas) {
        const std::string bytes = Ler(p);
        EXPECT_EQ(ExercitarConfig(pasta_, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), "")
            << p.filename();
    }
}

// A new section under a root with a namespace prefix was created with the
// root's prefix ("c:aplicacao"): the value written was never found again,
// and every later write added one more element.
TEST_F(Regressao, SecaoNovaSobRaizComPrefixoGuardaOValor) {
    const std::string arquivo = pasta_ + "/config.xml";
    std::ofstream(arquivo) << "<c:Configuration xmlns:c=\"urn:c\"><DB servidor=\"S\"/></c:Configuration>\n";
    {
        TXMLConfig config(arquivo);
        config.WriteString("aplicacao", "frequencia", "5");
        EXPECT_EQ(config.ReadString("aplicacao", "frequencia", "1"), "5");
        config.WriteString("aplicacao", "modo_processamento", "automatico");
        config.Save();
    }
    TXMLConfig config(arquivo);
    EXPECT_EQ(config.ReadString("aplicacao", "frequencia", "1"), "5");
    EXPECT_EQ(config.ReadString("aplicacao", "modo_processamento", "manual"), "automatico");
    EXPECT_EQ(config.ReadString("DB", "servidor", ""), "S");
    const std::string texto = Ler(arquivo);
    EXPECT_EQ(texto.find("c:aplicacao"), std::string::npos) << texto;
    EXPECT_EQ(texto.find("<aplicacao"), texto.rfind("<aplicacao")) << "uma se\xE7\xE3o s\xF3: " << texto;
}

}  // namespace
