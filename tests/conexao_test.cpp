// The data module's connection: one attempt with given settings, the start-up
// with stored settings and the one recovery through the settings dialog.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "db/UDM.h"
#include "tests/support/UBancoTeste.h"

namespace {

class Conexao : public ::testing::Test {
protected:
    Conexao() {
        char modelo[] = "/tmp/quorvel-conexao-XXXXXX";
        pasta = std::string(::mkdtemp(modelo)) + "/";
        dm = std::make_unique<TDM>(janela, pasta);
    }
    ~Conexao() override {
        dm.reset();
        std::filesystem::remove_all(pasta);
    }

    std::string pasta;
    TBancoTeste banco;
    TJanelaTeste janela;
    std::unique_ptr<TDM> dm;
};

TEST_F(Conexao, AntesDeConectarGuardaOsDadosIniciais) {
    EXPECT_FALSE(dm->Conectado());
    EXPECT_EQ(dm->NomeBanco(), "localhost:d:\\quorvel\\dados\\dados.fdb");
    EXPECT_EQ(dm->Parametros(), (std::vector<std::string>{"user_name=sysdba", "password=brickmoss"}));
}

TEST_F(Conexao, TentativaComDadosBonsConecta) {
    const TConfigBD cfg = banco.Config();
    ASSERT_TRUE(dm->TentarConexao(cfg));
    EXPECT_TRUE(dm->Conectado());
    EXPECT_EQ(dm->NomeBanco(), cfg.Servidor + ":" + banco.Caminho());
    EXPECT_EQ(dm->Parametros(),
              (std::vector<std::string>{"user_name=" + cfg.Usuario, "password=" + cfg.Senha}));
    EXPECT_EQ(dm->ConfigEmUso(), cfg);
    auto q = dm->NovaQuery(true);
    q->DefinirSQL("select count(*) as n from rdb$database");
    q->Abrir();
    EXPECT_EQ(q->Campo("n"), TVariante(1));
}

TEST_F(Conexao, TentativaComDadosRuinsFalhaEmSilencio) {
    const TConfigBD boa = banco.Config();
    struct Caso {
        const char* nome;
        TConfigBD cfg;
    };
    const Caso casos[] = {
        {"senha errada", {boa.Servidor, boa.Banco, boa.Usuario, boa.Senha + "x"}},
        {"banco inexistente", {boa.Servidor, boa.Banco + ".nao", boa.Usuario, boa.Senha}},
        {"servidor inexistente", {"servidor.invalid", boa.Banco, boa.Usuario, boa.Senha}},
        {"tudo vazio", {"", "", "", ""}},
    };
    for (const Caso& c : casos) {
        EXPECT_FALSE(dm->TentarConexao(c.cfg)) << c.nome;
        EXPECT_FALSE(dm->Conectado()) << c.nome;
        EXPECT_EQ(dm->NomeBanco(), c.cfg.Servidor + ":" + c.cfg.Banco) << c.nome;
        EXPECT_EQ(dm->ConfigEmUso(), c.cfg) << c.nome;
    }
    EXPECT_EQ(dm->NomeBanco(), ":");
    EXPECT_TRUE(janela.caixas.empty());
}

TEST_F(Conexao, ServidorVazioConectaComOCaminhoEMantemOsDoisPontosNoNome) {
    TConfigBD cfg = banco.Config();
    cfg.Servidor = "";
    // This client takes ":" + path for a file name, which does not exist: it
    // is given the path alone, as the dialog's test does. The name keeps the
    // colon (nothing before it: no server to show).
    EXPECT_TRUE(dm->TentarConexao(cfg));
    EXPECT_EQ(dm->NomeBanco(), ":" + banco.Caminho());
    EXPECT_TRUE(janela.caixas.empty());
}

TEST_F(Conexao, ConexaoDeTeste) {
    const TConfigBD cfg = banco.Config();
    EXPECT_TRUE(TDM::TestarConexao(cfg.Servidor + ":" + cfg.Banco, cfg.Usuario, cfg.Senha));
    EXPECT_FALSE(TDM::TestarConexao(cfg.Servidor + ":" + cfg.Banco, cfg.Usuario, "errada"));
    EXPECT_FALSE(TDM::TestarConexao(cfg.Servidor + ":" + cfg.Banco + ".nao", cfg.Usuario, cfg.Senha));
    EXPECT_FALSE(dm->Conectado());
}

// The dialog double: records what it was shown and answers with fixed settings.
class TDialogoTeste : public IDialogoConexao {
public:
    explicit TDialogoTeste(TConfigBD resposta) : resposta_(std::move(resposta)) {}
    TConfigBD Executar(const TConfigBD& atual) override {
        mostrados.push_back(atual);
        return resposta_;
    }
    std::vector<TConfigBD> mostrados;

private:
    TConfigBD resposta_;
};

std::string Conteudo(const std::string& caminho) {
    std::ifstream in(caminho, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(Conexao, DadosGravadosQueConectamDispensamODialogo) {
    dm->GravarConfigBD(banco.Config());
    const std::string antes = Conteudo(pasta + "config.xml");
    TDialogoTeste dialogo({"", "", "", ""});
    EXPECT_TRUE(dm->ConectarBD(dialogo));
    EXPECT_TRUE(dialogo.mostrados.empty());
    EXPECT_EQ(dm->ConfigEmUso(), banco.Config());
    EXPECT_EQ(Conteudo(pasta + "config.xml"), antes);
}

TEST_F(Conexao, SemArquivoODialogoCorrigeEOsDadosSaoGravados) {
    TDialogoTeste dialogo(banco.Config());
    EXPECT_TRUE(dm->ConectarBD(dialogo));
    ASSERT_EQ(dialogo.mostrados.size(), 1u);
    EXPECT_EQ(dialogo.mostrados[0], (TConfigBD{"", "", "sysdba", "brickmoss"}));
    EXPECT_TRUE(dm->Conectado());
    EXPECT_EQ(dm->LerConfigBD(), banco.Config());
    EXPECT_TRUE(janela.caixas.empty());
}

TEST_F(Conexao, DialogoCanceladoOuDadosQueFalhamNaoGravamNada) {
    TConfigBD ruim = banco.Config();
    ruim.Senha = "errada";
    const TConfigBD respostas[] = {{"", "", "", ""}, ruim};
    for (const TConfigBD& resposta : respostas) {
        TDialogoTeste dialogo(resposta);
        EXPECT_FALSE(dm->ConectarBD(dialogo));
        EXPECT_EQ(dialogo.mostrados.size(), 1u);
        EXPECT_FALSE(dm->Conectado());
        EXPECT_EQ(dm->ConfigEmUso(), resposta);
        EXPECT_FALSE(std::filesystem::exists(pasta + "config.xml"));
    }
    EXPECT_TRUE(janela.caixas.empty());
}

}  // namespace
