// The query builder: the statement line by line, parameters of the
// conditions, the chosen ordering, the result table and the error box.
#include <gtest/gtest.h>

#include "base/UErro.h"
#include "db/UPesquisaBD.h"
#include "tests/support/UBancoTeste.h"

namespace {

class PesquisaBD : public ::testing::Test {
protected:
    void SetUp() override {
        t.banco.Executar(
            "insert into exa_exames (exa_cod, exa_cod_vis, exa_dia_ent) values (12, 'HEM', 1);\n"
            "insert into exa_exames (exa_cod, exa_cod_vis, exa_dia_ent) values (13, 'GLI', 2);\n"
            "insert into exa_exames (exa_cod, exa_cod_vis, exa_dia_ent) values (14, 'URO', 3);\n"
            "insert into ped_pedidos (ped_cod, ped_dat) values (1, '2024-03-01');\n"
            "insert into ped_pedidos (ped_cod, ped_dat) values (2, '2024-03-10');\n"
            "insert into ped_pedidos (ped_cod, ped_dat) values (3, '2024-03-20');");
        t.dm->AoExecutar = [this](const TDM::TRegistro& r) { registros.push_back(r); };
    }

    std::vector<int> Codigos(const std::string& coluna) {
        std::vector<int> r;
        for (p.Resultado.Primeiro(); !p.Resultado.Fim(); p.Resultado.Proximo())
            r.push_back(VariantParaInteiro(p.Resultado.Campo(coluna)));
        p.Resultado.Primeiro();
        return r;
    }

    TDMTeste t;
    TPesquisaBD p{*t.dm};
    std::vector<TDM::TRegistro> registros;
};

TEST(Condicao, TextoEBaseDoParametro) {
    EXPECT_EQ(TCondicao("exa.exa_cod", "=", 12).textoSQL(), "exa.exa_cod = :exa_cod1");
    EXPECT_EQ(TCondicao("cnv_nom", "=", "x").textoSQL(), "cnv_nom = :cnv_nom1");
    EXPECT_EQ(TCondicao("ped_dat", "Between", 1).textoSQL(), "ped_dat between :ped_dat1 and :ped_dat2");
    EXPECT_EQ(TCondicao("p.ped_cod", ">=", 1).textoSQL(), "p.ped_cod >= :ped_cod1");
    EXPECT_EQ(TCondicao("mla.mla_pri = 1").textoSQL(), "mla.mla_pri = 1");
}

TEST_F(PesquisaBD, LinhasDoComando) {
    p.Tabela = "t";
    p.Campos = {"a", "b"};
    EXPECT_EQ(p.montarSQL(), " select\r\n a\r\n,\r\n b\r\n\r\n from\r\nt\r\n");

    TPesquisaBD c(*t.dm);
    c.Tabela = "cnv_convenios";
    c.Campos = {"cnv_cod"};
    c.Condicoes.emplace_back("cnv_nom", "=", "Unimed");
    c.Condicoes.emplace_back("mla.mla_pri = 1");
    EXPECT_EQ(c.montarSQL(),
              " select\r\n cnv_cod\r\n\r\n from\r\ncnv_convenios\r\n where\r\n\r\ncnv_nom = :cnv_nom1\r\n and \r\n"
              "mla.mla_pri = 1\r\n");
    EXPECT_TRUE(t.janela.caixas.empty());
}

TEST_F(PesquisaBD, OrdemEscolhida) {
    p.Tabela = "exa_exames";
    p.Campos = {"exa_cod"};
    p.Ordem = "por codigo";
    EXPECT_EQ(p.ordemEscolhida(), nullptr);
    EXPECT_EQ(p.montarSQL().find("order by"), std::string::npos);

    p.Ordens.push_back({"por visivel", "exa_cod_vis", true});
    p.Ordens.push_back({"por codigo", "exa_cod desc", false});
    ASSERT_NE(p.ordemEscolhida(), nullptr);
    EXPECT_EQ(p.ordemEscolhida()->Texto, "exa_cod desc");
    EXPECT_EQ(p.montarSQL(), " select\r\n exa_cod\r\n\r\n from\r\nexa_exames\r\n order by \r\nexa_cod desc\r\n");
    ASSERT_TRUE(p.pesquisar());
    EXPECT_EQ(Codigos("exa_cod"), (std::vector<int>{14, 13, 12}));

    p.Ordem = "";
    EXPECT_EQ(p.ordemEscolhida()->Nome, "por visivel");
    p.Ordem = "POR CODIGO";  // names are compared exactly
    EXPECT_EQ(p.ordemEscolhida(), nullptr);
}

TEST_F(PesquisaBD, CondicaoLigaSeuParametro) {
    p.Tabela = "exa_exames exa";
    p.Campos = {"exa.exa_cod", "exa.exa_cod_vis"};
    p.Condicoes.emplace_back("exa.exa_cod", "=", 12);
    ASSERT_TRUE(p.pesquisar());
    ASSERT_EQ(p.Resultado.NumeroLinhas(), 1);
    EXPECT_EQ(p.Resultado.Campo("EXA_COD_VIS"), TVariante(std::string("HEM")));
    ASSERT_EQ(registros.size(), 1u);
    EXPECT_TRUE(registros[0].leitura);
    ASSERT_EQ(registros[0].parametros.size(), 1u);
    EXPECT_EQ(registros[0].parametros[0].first, "exa_cod1");
    EXPECT_EQ(registros[0].parametros[0].second, TVariante(12));
}

TEST_F(PesquisaBD, BetweenLigaDoisParametros) {
    p.Tabela = "ped_pedidos";
    p.Campos = {"ped_cod"};
    p.Ordens.push_back({"cod", "ped_cod", true});
    TCondicao& c = p.Condicoes.emplace_back("ped_dat", "between", TDataHora::De(2024, 3, 5));
    c.Valor2 = std::string("20/03/2024");
    ASSERT_TRUE(p.pesquisar());
    EXPECT_EQ(Codigos("ped_cod"), (std::vector<int>{2, 3}));
    ASSERT_EQ(registros.size(), 1u);
    EXPECT_NE(registros[0].sql.find("ped_dat between :ped_dat1 and :ped_dat2"), std::string::npos);
    ASSERT_EQ(registros[0].parametros.size(), 2u);
    EXPECT_EQ(registros[0].parametros[1].second, TVariante(std::string("20/03/2024")));
}

TEST_F(PesquisaBD, ExpressaoProntaNaoLigaNada) {
    p.Tabela = "exa_exames";
    p.Campos = {"exa_cod"};
    p.Condicoes.emplace_back("exa_dia_ent >= 2");
    p.Condicoes.emplace_back("exa_cod_vis", "=", "URO");
    ASSERT_TRUE(p.pesquisar());
    EXPECT_EQ(Codigos("exa_cod"), (std::vector<int>{14}));
    ASSERT_EQ(registros[0].parametros.size(), 1u);
    EXPECT_EQ(registros[0].parametros[0].first, "exa_cod_vis1");
}

TEST_F(PesquisaBD, SemCondicaoTrazTudoETresLinhasFicamNaPrimeira) {
    p.Tabela = "exa_exames";
    p.Campos = {"exa_cod", "exa_cod_vis as visivel"};
    p.Ordens.push_back({"cod", "exa_cod", true});
    ASSERT_TRUE(p.pesquisar());
    EXPECT_EQ(registros[0].sql.find("where"), std::string::npos);
    EXPECT_TRUE(registros[0].parametros.empty());
    ASSERT_EQ(p.Resultado.NumeroLinhas(), 3);
    EXPECT_EQ(p.Resultado.Linha(), 0);
    EXPECT_EQ(p.Resultado.Campo("exa_cod"), TVariante(12));
    EXPECT_EQ(p.Resultado.Campo("VISIVEL"), TVariante(std::string("HEM")));
    ASSERT_EQ(p.Resultado.Campos().size(), 2u);
    EXPECT_EQ(p.Resultado.Campos()[0].Nome, "EXA_COD");
    EXPECT_EQ(p.Resultado.Campos()[0].Tipo, TTipoCampo::Inteiro);
    EXPECT_EQ(p.Resultado.Campos()[1].Tipo, TTipoCampo::Texto);
    EXPECT_EQ(p.Resultado.Campos()[1].Tamanho, 20);
    EXPECT_THROW(p.Resultado.Campo("exa_dsc"), EErro);
}

TEST_F(PesquisaBD, NenhumaLinhaEhSucessoComResultadoVazio) {
    p.Tabela = "exa_exames";
    p.Campos = {"exa_cod"};
    p.Condicoes.emplace_back("exa_cod_vis", "=", "NAO");
    ASSERT_TRUE(p.pesquisar());
    EXPECT_TRUE(p.Resultado.Vazio());
    EXPECT_TRUE(p.Resultado.Fim());
    EXPECT_THROW(p.Resultado.Campo("exa_cod"), EErro);
    EXPECT_TRUE(t.janela.caixas.empty());
}

TEST_F(PesquisaBD, ErroMostraOComandoEAMensagem) {
    p.Tabela = "exa_exames";
    p.Campos = {"exa_cod"};
    ASSERT_TRUE(p.pesquisar());
    p.Campos = {"coluna_que_nao_existe"};
    EXPECT_FALSE(p.pesquisar());
    const std::string sql = p.montarSQL();
    std::string servidor;
    try {
        auto q = t.dm->NovaQuery(true);
        q->DefinirSQL(sql);
        q->Abrir();
    } catch (const EErroBD& e) {
        servidor = e.what();
    }
    ASSERT_FALSE(servidor.empty());
    ASSERT_EQ(t.janela.caixas.size(), 1u);
    EXPECT_EQ(t.janela.caixas[0].texto, "Foi encontrado um erro durante a pesquisa.\rSQL: " + sql + "\rErro: " + servidor);
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Erro);
    EXPECT_EQ(t.janela.caixas[0].botoes, TBotoes::OK);
    // The result of the last successful search stays.
    EXPECT_EQ(p.Resultado.NumeroLinhas(), 3);
}

TEST_F(PesquisaBD, ValorQueNaoConverteEhErroDaPesquisa) {
    p.Tabela = "exa_exames";
    p.Campos = {"exa_cod"};
    p.Condicoes.emplace_back("exa_cod", "=", "doze");
    EXPECT_FALSE(p.pesquisar());
    ASSERT_EQ(t.janela.caixas.size(), 1u);
    EXPECT_EQ(t.janela.caixas[0].texto.rfind("Foi encontrado um erro durante a pesquisa.\rSQL:  select\r\n", 0), 0u);
}

TEST_F(PesquisaBD, SemCamposOServidorRecusa) {
    p.Tabela = "exa_exames";
    EXPECT_EQ(p.montarSQL(), " select\r\n from\r\nexa_exames\r\n");
    EXPECT_FALSE(p.pesquisar());
    EXPECT_EQ(t.janela.caixas.size(), 1u);
}

TEST_F(PesquisaBD, MostrarSQLAntesDeRodar) {
    p.Tabela = "exa_exames";
    p.Campos = {"exa_cod"};
    p.MostrarSQL = true;
    ASSERT_TRUE(p.pesquisar());
    ASSERT_EQ(t.janela.caixas.size(), 1u);
    EXPECT_EQ(t.janela.caixas[0].texto, " select\r\n exa_cod\r\n\r\n from\r\nexa_exames\r\n");
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Nenhum);
    EXPECT_EQ(t.janela.caixas[0].botoes, TBotoes::OK);
}

}  // namespace
