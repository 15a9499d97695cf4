// Key generators: GEN_<table> created and seeded on first use, then used alone;
// never moved backwards, also with several connections creating it at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <set>
#include <thread>

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

TEST_F(Geradores, OsComandosDoGeradorAusente) {
    t.banco.Executar("insert into ped_pedidos (ped_cod) values (120);");
    EXPECT_EQ(t.dm->NovoCodigo("ped_pedidos"), 121);
    EXPECT_EQ(registros, (std::vector<std::string>{
                             "select 1 from rdb$generators where rdb$generator_name = 'GEN_PED_PEDIDOS'",
                             "select max(ped_cod) as ultimo from ped_pedidos",
                             "CREATE GENERATOR GEN_ped_pedidos START WITH 120;",
                             "<commit>",
                             "select gen_id(GEN_ped_pedidos, 1) as codigo from rdb$DataBase",
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

// Another copy of the program created the missing generator between this
// one's reading of the highest code (40) and its own CREATE: the code comes
// from that generator, and one that is behind the table is raised by a
// positive step, never set back below what the other copy drew.
TEST_F(Geradores, GeradorCriadoPorOutraCopiaNuncaVoltaAtras) {
    struct TCaso {
        const char* nome;
        std::string criacaoDaOutra;  // what the other copy ran
        std::int32_t esperado;
    };
    const TCaso casos[] = {
        {"criado sem valor, atr\xE1s da tabela", "CREATE GENERATOR GEN_grp_grupos;", 41},
        {"criado e j\xE1 usado at\xE9 50",
         "CREATE GENERATOR GEN_grp_grupos;\nSET GENERATOR GEN_grp_grupos TO 50;", 51},
    };
    for (const TCaso& caso : casos) {
        SCOPED_TRACE(caso.nome);
        TDMTeste local;
        local.banco.Executar("insert into grp_grupos (grp_cod, grp_dsc) values (40, 'Quarenta');");
        bool criou = false;
        local.dm->AoExecutar = [&](const TDM::TRegistro& r) {
            if (!criou && r.sql.rfind("select max(", 0) == 0) {
                criou = true;
                local.banco.Executar(caso.criacaoDaOutra);
            }
        };
        EXPECT_EQ(local.dm->NovoCodigo("grp_grupos"), caso.esperado);
        EXPECT_TRUE(criou);
        EXPECT_EQ(local.banco.Valor("select gen_id(GEN_grp_grupos, 0) from rdb$database"),
                  std::to_string(caso.esperado));
        EXPECT_EQ(local.dm->NovoCodigo("grp_grupos"), caso.esperado + 1);
        EXPECT_TRUE(local.janela.caixas.empty());
    }
}

// Two connections (two workstations) find the same generator missing at the
// same moment and create it at once: every code handed out is above the
// table's highest one and none is handed out twice. Each round uses a table
// of its own, so that its generator is missing again.
TEST_F(Geradores, DuasConexoesCriandoOMesmoGeradorNuncaRepetemUmCodigo) {
    TJanelaTeste outraJanela;
    TDM outro(outraJanela, t.pasta);
    ASSERT_TRUE(outro.TentarConexao(t.banco.Config()));
    TDM* const conexoes[] = {t.dm.get(), &outro};
    t.dm->AoExecutar = nullptr;
    constexpr int Rodadas = 4;
    constexpr int CodigosPorConexao = 3;
    for (int rodada = 0; rodada < Rodadas; ++rodada) {
        const std::string tabela = "grc_r" + std::to_string(rodada);
        t.banco.Executar("create table " + tabela + " (grc_cod integer not null primary key);\ninsert into " +
                         tabela + " values (" + std::to_string(100 + rodada) + ");");
        std::barrier largada(2);
        std::vector<std::int32_t> codigos[2];
        std::vector<std::thread> fios;
        for (int i = 0; i < 2; ++i)
            fios.emplace_back([&, i] {
                largada.arrive_and_wait();
                for (int n = 0; n < CodigosPorConexao; ++n) codigos[i].push_back(conexoes[i]->NovoCodigo(tabela));
            });
        for (auto& f : fios) f.join();
        std::multiset<std::int32_t> todos(codigos[0].begin(), codigos[0].end());
        todos.insert(codigos[1].begin(), codigos[1].end());
        SCOPED_TRACE(tabela);
        EXPECT_EQ(std::set<std::int32_t>(todos.begin(), todos.end()).size(), todos.size());
        EXPECT_GT(*todos.begin(), 100 + rodada);
        // Each connection's own codes rise.
        for (const auto& c : codigos) EXPECT_TRUE(std::is_sorted(c.begin(), c.end()));
    }
    EXPECT_TRUE(t.janela.caixas.empty());
}

}  // namespace
