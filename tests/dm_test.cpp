// The data module's services: the reading and writing transactions, the
// commit, the database settings and the default group.
#include <gtest/gtest.h>

#include "base/UErro.h"
#include "db/UDM.h"
#include "tests/support/UBancoTeste.h"

namespace {

class DM : public ::testing::Test {
protected:
    TDM& dm() { return *t.dm; }

    int Contar(bool leitura, const std::string& tabela) {
        auto q = dm().NovaQuery(leitura);
        q->DefinirSQL("select count(*) as n from " + tabela);
        q->Abrir();
        return VariantParaInteiro(q->Campo("n"));
    }

    void InserirGrupo(int cod, const std::string& dsc) {
        auto q = dm().NovaQuery(false);
        q->DefinirSQL("insert into grp_grupos (grp_cod, grp_dsc) values (:cod, :dsc)");
        q->Parametro("cod", cod);
        q->Parametro("dsc", dsc);
        q->Executar();
    }

    TDMTeste t;
};

TEST_F(DM, ConsultasDeLeituraEDeEscritaUsamSuasTransacoes) {
    auto leitura = dm().NovaQuery(true);
    auto escrita = dm().NovaQuery(false);
    EXPECT_EQ(&leitura->Transacao(), &dm().TRSEL());
    EXPECT_EQ(&escrita->Transacao(), &dm().TRIUD());
    EXPECT_TRUE(leitura->SQL().empty());
    EXPECT_FALSE(dm().TRSEL().Ativa());
    EXPECT_FALSE(dm().TRIUD().Ativa());
}

TEST_F(DM, CommitDaEscritaEhVistoPelaLeituraSeguinte) {
    EXPECT_EQ(Contar(true, "grp_grupos"), 0);
    ASSERT_TRUE(dm().TRSEL().Ativa());
    InserirGrupo(1, "Um");
    InserirGrupo(2, "Dois");
    // Both writes wait in the same writing transaction; the reading one does
    // not see them before the commit.
    EXPECT_EQ(Contar(false, "grp_grupos"), 2);
    EXPECT_EQ(Contar(true, "grp_grupos"), 0);
    dm().Commit();
    EXPECT_FALSE(dm().TRIUD().Ativa());
    EXPECT_TRUE(dm().TRSEL().Ativa());  // never ended
    EXPECT_EQ(Contar(true, "grp_grupos"), 2);
    EXPECT_TRUE(t.janela.caixas.empty());
}

TEST_F(DM, CommitSemTransacaoAtivaNaoFazNada) {
    dm().Commit();
    EXPECT_FALSE(dm().TRIUD().Ativa());
    EXPECT_TRUE(t.janela.caixas.empty());
}

TEST_F(DM, CommitQueFalhaDesfazEAvisa) {
    // A commit trigger that fails when the transaction asks for it.
    t.banco.Executar(
        "CREATE EXCEPTION ex_commit 'commit recusado';\n"
        "CREATE TRIGGER trg_commit ON TRANSACTION COMMIT AS BEGIN IF (rdb$get_context('USER_TRANSACTION', "
        "'falhar') = '1') THEN EXCEPTION ex_commit; END;");
    // Database triggers are loaded when a connection opens.
    ASSERT_TRUE(dm().TentarConexao(t.banco.Config()));
    InserirGrupo(1, "Um");
    auto q = dm().NovaQuery(false);
    q->DefinirSQL("select rdb$set_context('USER_TRANSACTION', 'falhar', '1') from rdb$database");
    q->Abrir();

    dm().Commit();

    ASSERT_EQ(t.janela.caixas.size(), 1u);
    EXPECT_EQ(t.janela.caixas[0].texto, "Erro ao tentar efetuar opera\xE7\xE3o de commit.");
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Erro);
    EXPECT_EQ(t.janela.caixas[0].botoes, TBotoes::OK);
    EXPECT_FALSE(dm().TRIUD().Ativa());
    EXPECT_EQ(t.banco.Valor("select count(*) from grp_grupos"), "0");
    // The next write starts a new transaction.
    InserirGrupo(2, "Dois");
    dm().Commit();
    EXPECT_EQ(t.banco.Valor("select count(*) from grp_grupos"), "1");
}

TEST_F(DM, LinhaPresaPorOutraConexaoFalhaNaHora) {
    t.banco.Executar("insert into grp_grupos (grp_cod, grp_dsc) values (1, 'Um');");
    TTravaDeOutroPrograma trava(t.banco, "update grp_grupos set grp_dsc = 'Outro' where grp_cod = 1");

    auto q = dm().NovaQuery(false);
    q->DefinirSQL("update grp_grupos set grp_dsc = :dsc where grp_cod = 1");
    q->Parametro("dsc", std::string("Meu"));
    try {
        q->Executar();
        FAIL() << "update did not fail";
    } catch (const EErroBD& e) {
        EXPECT_NE(std::string(e.what()).find("update conflicts with concurrent update"), std::string::npos)
            << e.what();
    }
    trava.Soltar();
}

TEST_F(DM, ObservadorRegistraComandosECommits) {
    std::vector<TDM::TRegistro> registros;
    dm().AoExecutar = [&](const TDM::TRegistro& r) { registros.push_back(r); };
    InserirGrupo(1, "Um");
    dm().Commit();
    Contar(true, "grp_grupos");
    ASSERT_EQ(registros.size(), 3u);
    EXPECT_EQ(registros[0].sql, "insert into grp_grupos (grp_cod, grp_dsc) values (:cod, :dsc)");
    EXPECT_FALSE(registros[0].leitura);
    ASSERT_EQ(registros[0].parametros.size(), 2u);
    EXPECT_EQ(registros[0].parametros[0].first, "cod");
    EXPECT_EQ(registros[0].parametros[0].second, TVariante(1));
    EXPECT_EQ(registros[0].parametros[1].second, TVariante(std::string("Um")));
    EXPECT_TRUE(registros[1].commit);
    EXPECT_TRUE(registros[2].leitura);
    EXPECT_FALSE(registros[2].commit);
}

class Configuracao : public DM {
protected:
    void SetUp() override {
        t.banco.Executar(
            "insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('ger_diasnaouteis', '1,7');\n"
            "insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr, cbd_vlr_blb) values ('TEXTO_LONGO', 'Usar BLOB', "
            "'valor longo');\n"
            "insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr, cbd_vlr_blb) values ('BLOB_NULO', 'Usar BLOB', "
            "null);\n"
            "insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr, cbd_vlr_blb) values ('OUTRA_CAIXA', 'usar blob', "
            "'nao');\n"
            "insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('NULA', null);\n"
            "insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('Cora\xE7\xE3o', 'sim');");
    }
};

TEST_F(Configuracao, BuscaPeloNomeSemCaixa) {
    struct Caso {
        std::string nome;
        std::string esperado;
    };
    const Caso casos[] = {
        {"GER_DiasNaoUteis", "1,7"},
        {"ger_diasnaouteis", "1,7"},
        {"GER_DiasNaoUtei", "padrao"},  // the whole name must match
        {"TEXTO_LONGO", "valor longo"},
        {"BLOB_NULO", ""},
        {"OUTRA_CAIXA", "usar blob"},
        {"CORA\xC7\xC3O", "sim"},
        {"NAO_EXISTE", "padrao"},
    };
    for (const Caso& c : casos) EXPECT_EQ(dm().BuscarConfiguracao(c.nome, "padrao"), c.esperado) << c.nome;
    EXPECT_EQ(dm().BuscarConfiguracao("NAO_EXISTE", ""), "");
}

TEST_F(Configuracao, ValorNuloNaoViraTexto) {
    EXPECT_THROW(dm().BuscarConfiguracao("NULA", "x"), EErro);
}

TEST_F(Configuracao, PrimeiraLeituraValeParaToda_aExecucao) {
    std::vector<std::string> comandos;
    dm().AoExecutar = [&](const TDM::TRegistro& r) { comandos.push_back(r.sql); };
    EXPECT_EQ(dm().BuscarConfiguracao("GER_DiasNaoUteis", ""), "1,7");
    t.banco.Executar(
        "update cbd_configuracoesbd set cbd_vlr = '1' where cbd_dsc = 'ger_diasnaouteis';\n"
        "insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('NOVA', 'x');");
    EXPECT_EQ(dm().BuscarConfiguracao("GER_DiasNaoUteis", ""), "1,7");
    EXPECT_EQ(dm().BuscarConfiguracao("NOVA", "ausente"), "ausente");
    ASSERT_EQ(comandos.size(), 1u);
    EXPECT_EQ(comandos[0],
              "select\r\n  cbd.cbd_dsc,\r\n  cbd.cbd_vlr,\r\n  cbd.cbd_vlr_blb\r\nfrom\r\n"
              "  cbd_configuracoesbd cbd\r\norder by\r\n  cbd.cbd_dsc\r\n");
}

TEST_F(DM, ConfiguracaoSemTabelaChegaAoChamador) {
    t.banco.Executar("drop table cbd_configuracoesbd;");
    EXPECT_THROW(dm().BuscarConfiguracao("X", ""), EErroBD);
    EXPECT_EQ(dm().BuscarGrupoPadrao(), "");
}

TEST_F(DM, GrupoPadrao) {
    struct Caso {
        std::string linha;  // the settings row, or none
        std::string esperado;
    };
    const Caso casos[] = {
        {"", ""},
        {"('PED_GRUPOPADRAO', '12')", "12"},
        {"('ped_grupopadrao', 'abc')", "abc"},
        {"('PED_GRUPOPADRAO', null)", ""},
    };
    for (const Caso& c : casos) {
        TDMTeste outro;
        if (!c.linha.empty())
            outro.banco.Executar("insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values " + c.linha + ";");
        EXPECT_EQ(outro.dm->BuscarGrupoPadrao(), c.esperado) << c.linha;
        EXPECT_TRUE(outro.janela.caixas.empty());
    }
}

}  // namespace
