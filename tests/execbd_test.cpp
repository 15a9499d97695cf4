// The row writer: statement texts, insert or update by the existence test,
// generated keys, NULL, deletes and the error boxes.
#include <gtest/gtest.h>

#include "base/UErro.h"
#include "db/UExecBD.h"
#include "tests/support/UBancoTeste.h"

namespace {

TEST(CampoBD, NomeDoParametroSemUpperNemParenteses) {
    EXPECT_EQ(TCampoBD("cli_cod", 1).nomeParametro(), "cli_cod");
    EXPECT_EQ(TCampoBD("upper(mat_dsc)", "x").nomeParametro(), "mat_dsc");
    EXPECT_EQ(TCampoBD("UPPER(mat_dsc)", "x").nomeParametro(), "UPPERmat_dsc");
}

class ExecBD : public ::testing::Test {
protected:
    void SetUp() override {
        t.dm->AoExecutar = [this](const TDM::TRegistro& r) {
            if (!r.commit) comandos.push_back(r.sql);
        };
    }

    // The message of the statement run directly, as the server words it.
    std::string ErroDe(const std::string& sql, const std::vector<std::pair<std::string, TVariante>>& parametros = {}) {
        try {
            auto q = t.dm->NovaQuery(false);
            q->DefinirSQL(sql);
            for (const auto& [nome, valor] : parametros) q->Parametro(nome, valor);
            q->Executar();
        } catch (const EErroBD& e) {
            t.dm->TRIUD().Rollback();
            return e.what();
        }
        ADD_FAILURE() << "no error: " << sql;
        return "";
    }

    TDMTeste t;
    TExecBD w{*t.dm};
    std::vector<std::string> comandos;
};

TEST_F(ExecBD, TextosDosComandos) {
    w.definirTabela("cli_clientes");
    w.adicionar("cli_cod", 1, true);
    w.adicionar("cli_tpo", "F");
    w.adicionar("cli_nom", "Ana");
    EXPECT_EQ(w.montarWhere(), "cli_cod = :cli_cod");
    EXPECT_EQ(w.montarInsert(),
              " insert into cli_clientes(cli_cod, cli_tpo, cli_nom) values (:cli_cod, :cli_tpo, :cli_nom);");
    EXPECT_EQ(w.montarUpdate(), " update cli_clientes set cli_tpo = :cli_tpo,  cli_nom = :cli_nom where cli_cod = :cli_cod");

    ASSERT_TRUE(w.salvar(true));
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(comandos, (std::vector<std::string>{
                            " select 1 from cli_clientes where cli_cod = :cli_cod",
                            w.montarInsert(),
                            " select 1 from cli_clientes where cli_cod = :cli_cod",
                            w.montarUpdate(),
                        }));

    w.definirTabela("tcl_telefonecliente");
    w.adicionar("cli_cod", 1, true);
    w.adicionar("tcl_dsc", "Casa");
    w.adicionar("tcl_num", "5555", true);
    EXPECT_EQ(w.montarWhere(), "cli_cod = :cli_cod and tcl_num = :tcl_num");
    EXPECT_EQ(w.montarUpdate(), " update tcl_telefonecliente set tcl_dsc = :tcl_dsc where cli_cod = :cli_cod and tcl_num = :tcl_num");

    w.definirTabela("mat_material");
    w.adicionar("upper(mat_dsc)", "SANGUE", true);
    EXPECT_EQ(w.montarWhere(), "upper(mat_dsc) = :mat_dsc");
}

TEST_F(ExecBD, ValorCampoIgnoraACaixa) {
    w.definirTabela("cli_clientes");
    w.adicionar("cli_cod", std::string("12"), true);
    EXPECT_EQ(w.valorCampo("CLI_COD"), TVariante(std::string("12")));
    EXPECT_TRUE(EhNulo(w.valorCampo("cli_nom")));
    EXPECT_TRUE(w.temChave());
    w.definirTabela("cli_clientes");
    EXPECT_TRUE(w.Campos.empty());
    EXPECT_FALSE(w.temChave());
}

TEST_F(ExecBD, ChaveGeradaZeroInsereComCodigoNovo) {
    t.banco.Executar("insert into cnv_convenios (cnv_cod, cnv_nom) values (57, 'Antigo');");
    w.definirTabela("cnv_convenios");
    w.adicionar("cnv_cod", 0, true, true);
    w.adicionar("cnv_nom", "Novo");
    w.adicionar("cnv_usa_fat", "N");
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(w.valorCampo("cnv_cod"), TVariante(58));
    EXPECT_FALSE(t.dm->TRIUD().Ativa());
    EXPECT_EQ(t.banco.Valor("select cnv_nom from cnv_convenios where cnv_cod = 58"), "Novo");
    // The same list saved again finds the row and updates it.
    w.Campos[1].Valor = std::string("Renomeado");
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(w.valorCampo("cnv_cod"), TVariante(58));
    EXPECT_EQ(t.banco.Valor("select cnv_nom from cnv_convenios where cnv_cod = 58"), "Renomeado");
    EXPECT_EQ(t.banco.Valor("select count(*) from cnv_convenios"), "2");
}

TEST_F(ExecBD, ChaveExistenteAtualizaSemGerarCodigo) {
    t.banco.Executar("insert into grp_grupos (grp_cod, grp_cod_vis, grp_dsc) values (5, 'X', 'Velho');");
    w.definirTabela("grp_grupos");
    w.adicionar("grp_cod", 5, true, true);
    w.adicionar("grp_dsc", "Novo");
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(w.valorCampo("grp_cod"), TVariante(5));
    EXPECT_EQ(t.banco.Valor("select grp_dsc || grp_cod_vis from grp_grupos where grp_cod = 5"), "NovoX");
    EXPECT_EQ(t.banco.Valor("select count(*) from rdb$generators where rdb$generator_name = 'GEN_GRP_GRUPOS'"), "0");
    for (const std::string& c : comandos) EXPECT_EQ(c.find("gen_id"), std::string::npos) << c;
}

TEST_F(ExecBD, NuloETextoConvertidoNaInsercaoENaAtualizacao) {
    w.definirTabela("cpf_clientepessoafisica");
    w.adicionar("cli_cod", std::string("123"), true);
    w.adicionar("cpf_sex", TNulo{});
    w.adicionar("cpf_dta_nas", std::string("05/03/1990"));
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(t.banco.Valor("select coalesce(cpf_sex, 'nulo') from cpf_clientepessoafisica where cli_cod = 123"), "nulo");
    EXPECT_EQ(t.banco.Valor("select cpf_dta_nas from cpf_clientepessoafisica where cli_cod = 123"), "05/03/1990");

    w.Campos[1].Valor = std::string("M");
    w.Campos[2].Valor = std::string("");
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(t.banco.Valor("select cpf_sex from cpf_clientepessoafisica where cli_cod = 123"), "M");
    EXPECT_EQ(t.banco.Valor("select coalesce(cast(cpf_dta_nas as varchar(10)), 'nulo') from cpf_clientepessoafisica"), "nulo");

    w.Campos[1].Valor = TNulo{};
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(t.banco.Valor("select coalesce(cpf_sex, 'nulo') from cpf_clientepessoafisica"), "nulo");
    EXPECT_TRUE(t.janela.caixas.empty());
}

TEST_F(ExecBD, SemCommitAEscritaFicaPendente) {
    w.definirTabela("grp_grupos");
    w.adicionar("grp_cod", 1, true);
    w.adicionar("grp_dsc", "Um");
    ASSERT_TRUE(w.salvar(false));
    EXPECT_TRUE(t.dm->TRIUD().Ativa());
    EXPECT_EQ(t.banco.Valor("select count(*) from grp_grupos"), "0");
    t.dm->Commit();
    EXPECT_EQ(t.banco.Valor("select count(*) from grp_grupos"), "1");
}

TEST_F(ExecBD, FalhaAoSalvarMostraATabelaEmMaiusculas) {
    w.definirTabela("ped_pedidos");
    w.adicionar("ped_cod", 0, true, true);
    w.adicionar("ped_cod_vis", std::string(25, '9'));  // longer than the column
    EXPECT_FALSE(w.salvar(true));
    const std::string servidor = ErroDe("insert into ped_pedidos (ped_cod, ped_cod_vis) values (2, :v)",
                                        {{"v", std::string(25, '9')}});
    ASSERT_EQ(t.janela.caixas.size(), 1u);
    EXPECT_EQ(t.janela.caixas[0].texto,
              "Encontramos um erro ao tentar salvar na tabela PED_PEDIDOS.\rErro:\r" + servidor);
    EXPECT_NE(servidor.find("string right truncation"), std::string::npos);
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Erro);
    EXPECT_EQ(t.janela.caixas[0].botoes, TBotoes::OK);
}

TEST_F(ExecBD, SemColunasOuSemChaveFalhaComAMensagemDeSalvar) {
    w.definirTabela("grp_grupos");
    EXPECT_FALSE(w.salvar(true));
    w.adicionar("grp_dsc", "Sem chave");
    EXPECT_FALSE(w.salvar(true));
    ASSERT_EQ(t.janela.caixas.size(), 2u);
    for (const auto& c : t.janela.caixas)
        EXPECT_EQ(c.texto.rfind("Encontramos um erro ao tentar salvar na tabela GRP_GRUPOS.\rErro:\r", 0), 0u)
            << c.texto;
    EXPECT_EQ(t.banco.Valor("select count(*) from grp_grupos"), "0");
}

TEST_F(ExecBD, LinhaPresaPorOutraConexaoFalhaNaHora) {
    t.banco.Executar("insert into cli_clientes (cli_cod, cli_nom) values (1, 'Ana');");
    TTravaDeOutroPrograma trava(t.banco, "update cli_clientes set cli_nom = 'Bia' where cli_cod = 1");

    w.definirTabela("cli_clientes");
    w.adicionar("cli_cod", 1, true);
    w.adicionar("cli_nom", "Carla");
    EXPECT_FALSE(w.salvar(true));
    ASSERT_EQ(t.janela.caixas.size(), 1u);
    const std::string& texto = t.janela.caixas[0].texto;
    EXPECT_EQ(texto.rfind("Encontramos um erro ao tentar salvar na tabela CLI_CLIENTES.\rErro:\r", 0), 0u);
    EXPECT_NE(texto.find("update conflicts with concurrent update"), std::string::npos) << texto;
    trava.Soltar();
}

TEST_F(ExecBD, DeletarSemChaveRecusa) {
    w.definirTabela("tcl_telefonecliente");
    w.adicionar("tcl_dsc", "Casa");
    EXPECT_FALSE(w.deletar(true));
    ASSERT_EQ(t.janela.caixas.size(), 1u);
    EXPECT_EQ(t.janela.caixas[0].texto,
              "ExecBD.deletar(tcl_telefonecliente) -> Erro: Nenhum campo chave definido.");
    EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Erro);
    EXPECT_TRUE(comandos.empty());
}

TEST_F(ExecBD, DeletarApagaAsLinhasDaChaveEConfirma) {
    t.banco.Executar(
        "insert into tcl_telefonecliente (cli_cod, tcl_num) values (1, '111');\n"
        "insert into tcl_telefonecliente (cli_cod, tcl_num) values (1, '222');\n"
        "insert into tcl_telefonecliente (cli_cod, tcl_num) values (2, '333');\n"
        "insert into mat_material (mat_cod, mat_dsc) values (1, 'sangue');");
    w.definirTabela("tcl_telefonecliente");
    w.adicionar("cli_cod", 1, true);
    ASSERT_TRUE(w.deletar(true));
    EXPECT_EQ(comandos.back(), " delete from tcl_telefonecliente where cli_cod = :cli_cod");
    EXPECT_EQ(t.banco.Valor("select count(*) from tcl_telefonecliente"), "1");
    // The row writer's existence test now sees the deletion.
    w.definirTabela("tcl_telefonecliente");
    w.adicionar("cli_cod", 1, true);
    w.adicionar("tcl_num", "111", true);
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(comandos.back().rfind(" insert", 0), 0u);

    w.definirTabela("mat_material");
    w.adicionar("upper(mat_dsc)", "SANGUE", true);
    ASSERT_TRUE(w.deletar(true));
    EXPECT_EQ(t.banco.Valor("select count(*) from mat_material"), "0");
}

TEST_F(ExecBD, DeletarQueFalhaMostraAMensagemSemATabela) {
    w.definirTabela("tabela_que_nao_existe");
    w.adicionar("x_cod", 1, true);
    EXPECT_FALSE(w.deletar(true));
    const std::string servidor = ErroDe(" delete from tabela_que_nao_existe where x_cod = 1");
    ASSERT_EQ(t.janela.caixas.size(), 1u);
    EXPECT_EQ(t.janela.caixas[0].texto, "ExecBD.deletar() -> " + servidor);
}

}  // namespace
