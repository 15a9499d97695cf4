// Key generators: GEN_<table> created and seeded on first use, then used alone.
#include <gtest/gtest.h>

#include "db/UDM.h"
#include "tests/support/UBancoTeste.h"

namespace {

class Geradores : public ::testing::Test {
protected:
    void SetUp() override {
        t.dm->AoExecutar = [this](const TDM::TRegistro& r) {
            registros.push_back(r.commit ? std::string("<commit>") : r.sql);
        };
    }

    std::string Gerador(const std::string& nome) {
        return t.banco.Valor("select gen_id(" + nome + ", 0) from rdb$database");
    }

    TDMTeste t;
    std::vector<std::string> registros;
};

TEST_F(Geradores, GeradorAusenteComecaDoMaiorCodigo) {
    t.banco.Executar(
        "insert into cnv_convenios (cnv_cod, cnv_nom) values (3, 'A');\n"
        "insert into cnv_convenios (cnv_cod, cnv_nom) values (57, 'B');");
    EXPECT_EQ(t.dm->NovoCodigo("cnv_convenios"), 58);
    EXPECT_EQ(Gerador("GEN_cnv_convenios"), "58");
    registros.clear();
    // From now on only the generator is read, even when the table grows.
    t.banco.Executar("insert into cnv_convenios (cnv_cod, cnv_nom) values (100, 'C');");
    EXPECT_EQ(t.dm->NovoCodigo("cnv_convenios"), 59);
    EXPECT_EQ(registros,
              (std::vector<std::string>{"select gen_id(GEN_cnv_convenios, 1) as codigo from rdb$DataBase"}));
    EXPECT_TRUE(t.janela.caixas.empty());
}

TEST_F(Geradores, TabelaVaziaComecaEmUm) {
    EXPECT_EQ(t.dm->NovoCodigo("grp_grupos"), 1);
    EXPECT_EQ(t.dm->NovoCodigo("grp_grupos"), 2);
}

TEST_F(Geradores, GeradorExistenteIgnoraATabela) {
    t.banco.Executar(
        "CREATE GENERATOR GEN_grp_grupos;\n"
        "SET GENERATOR GEN_grp_grupos TO 10;\n"
        "insert into grp_grupos (grp_cod, grp_dsc) values (40, 'Quarenta');");
    EXPECT_EQ(t.dm->NovoCodigo("grp_grupos"), 11);
}

TEST_F(Geradores, OsQuatroComandosDoGeradorAusente) {
    t.banco.Executar("insert into ped_pedidos (ped_cod) values (120);");
    EXPECT_EQ(t.dm->NovoCodigo("ped_pedidos"), 121);
    EXPECT_EQ(registros, (std::vector<std::string>{
                             "select gen_id(GEN_ped_pedidos, 1) as codigo from rdb$DataBase",
                             "select max(ped_cod) as ultimo from ped_pedidos",
                             "CREATE GENERATOR GEN_ped_pedidos;",
                             "<commit>",
                             "SET GENERATOR GEN_ped_pedidos TO 121;",
                             "<commit>",
                         }));
    EXPECT_FALSE(t.dm->TRIUD().Ativa());
}

TEST_F(Geradores, GeradorQueNaoPodeSerCriadoDevolveOMaiorMaisUm) {
    // "GEN_" + this name is longer than an identifier may be: the generator
    // can never be created, so every call reads the table again.
    const std::string tabela = "cli_tabela_de_nome_comprido_x";
    t.banco.Executar("create table " + tabela + " (cli_cod integer);\ninsert into " + tabela + " values (7);");
    EXPECT_EQ(t.dm->NovoCodigo(tabela), 8);
    EXPECT_EQ(t.dm->NovoCodigo(tabela), 8);
    t.banco.Executar("insert into " + tabela + " values (8);");
    EXPECT_EQ(t.dm->NovoCodigo(tabela), 9);
    EXPECT_TRUE(t.janela.caixas.empty());
}

TEST_F(Geradores, TabelaIlegivelDaUm) {
    EXPECT_EQ(t.dm->NovoCodigo("xyz_nao_existe"), 1);
    EXPECT_EQ(t.dm->NovoCodigo("xyz_nao_existe"), 2);  // its generator was created
}

}  // namespace
