// Materials, groups and plans found by name and created when missing, with
// other workstations writing the same names into the same database: among
// rows that compare equal the lowest code is always taken; a copy that
// creates a row and then meets another copy's row with a lower code (already
// committed, or committed while it searches again) keeps that one and
// deletes its own; a search that fails creates nothing.
#include "import/UBuscaOuCriacao.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "base/UTexto.h"
#include "db/UExecBD.h"
#include "import/UBuscasExame.h"
#include "import/UImportarGrupoConvenio.h"
#include "tests/UAmbienteImportacao.h"
#include "tests/support/UBancoTeste.h"

namespace {

std::string Cp(const std::string& utf8) { return Utf8ParaCp1252(utf8); }

// One of the three lookups, through the importers' own code.
struct TEntidade {
    const char* tabela;
    const char* coluna;
    const char* colunaNome;
    std::function<std::int32_t(TDM&, const std::string&)> buscarOuCriar;
};

std::int32_t Material(TDM& dm, const std::string& nome) { return TBuscasExame(dm).BuscarMaterial(10, nome); }
std::int32_t Convenio(TDM& dm, const std::string& nome) {
    return TImportadorGrupoConvenio::BuscarOuCriarConvenio(dm, nome);
}
std::int32_t Grupo(TDM& dm, const std::string& nome) {
    TBuscaOuCriacao busca(dm, "grp_grupos", "grp_cod", TCondicao("grp_dsc", "=", TVariante(nome)));
    TExecBD exec(dm);
    exec.definirTabela("grp_grupos");
    exec.adicionar("grp_cod", std::int32_t{0}, true, true);
    exec.adicionar("grp_cod_vis", std::string("X"), false, false);
    exec.adicionar("grp_dsc", TVariante(nome), false, false);
    return busca.BuscarOuCriar(exec);
}

const TEntidade kEntidades[] = {
    {"mat_material", "mat_cod", "mat_dsc", Material},
    {"grp_grupos", "grp_cod", "grp_dsc", Grupo},
    {"cnv_convenios", "cnv_cod", "cnv_nom", Convenio},
};

std::string Inserir(const TEntidade& e, int codigo, const std::string& nome) {
    return std::string("insert into ") + e.tabela + " (" + e.coluna + ", " + e.colunaNome + ") values (" +
           std::to_string(codigo) + ", '" + nome + "');";
}

class BuscaOuCriacao : public ::testing::Test {
protected:
    std::string Valor(const std::string& sql) { return t.banco.Valor(sql); }
    std::string Contar(const TEntidade& e, const std::string& nome) {
        return Valor(std::string("select count(*) from ") + e.tabela + " where upper(" + e.colunaNome +
                     ") = upper('" + nome + "')");
    }
    TDMTeste t;
};

// A name stored twice (the higher code first in the table): the lowest code,
// every time, whatever the row order on disk; the material in any letter
// case, accented letters included.
TEST_F(BuscaOuCriacao, NomeRepetidoDaSempreOMenorCodigo) {
    for (const TEntidade& e : kEntidades) {
        SCOPED_TRACE(e.tabela);
        t.banco.Executar(Inserir(e, 9, Cp("Punção nasal")) + "\n" + Inserir(e, 4, Cp("Punção nasal")));
        for (int i = 0; i < 3; ++i) EXPECT_EQ(e.buscarOuCriar(*t.dm, Cp("Punção nasal")), 4);
    }
    EXPECT_EQ(Material(*t.dm, Cp("PUNÇÃO NASAL")), 4);
    EXPECT_EQ(t.dm->BuscarCodigoConvenio(Cp("Punção nasal")), 4);
    EXPECT_EQ(Valor("select count(*) from mat_material"), "2");
    EXPECT_TRUE(t.janela.caixas.empty());
}

// The order's line for an exam and material when the order holds two: the
// lowest, so that a retry always updates the same one.
TEST_F(BuscaOuCriacao, LinhaDoPedidoDaSempreAMenor) {
    t.banco.Executar(
        "insert into exp_examespedidos (exp_cod, ped_cod, exa_cod, mat_cod) values (30, 5, 10, 2);\n"
        "insert into exp_examespedidos (exp_cod, ped_cod, exa_cod, mat_cod) values (12, 5, 10, 2);\n"
        "insert into exp_examespedidos (exp_cod, ped_cod, exa_cod, mat_cod) values (7, 5, 10, 3);");
    EXPECT_EQ(TBuscasExame(*t.dm).BuscarExamePedido(5, 10, 2), 12);
}

// Another copy creates the same name while this one does: its row is
// committed right after this copy's insert. With a lower code it is the
// row, and this copy's own goes; with a higher code this copy's own stays
// (the other copy deletes its own when it searches again).
TEST_F(BuscaOuCriacao, OutraCopiaCriaOMesmoNomeAoMesmoTempo) {
    struct TCaso {
        const char* nome;
        int codigoDaOutra;  // this copy's generator gives 51
        std::int32_t esperado;
        const char* linhas;
    };
    const TCaso casos[] = {
        {"c\xF3" "digo menor", 20, 20, "20"},
        {"c\xF3" "digo maior", 90, 51, "51,90"},
    };
    for (const TEntidade& e : kEntidades)
        for (const TCaso& caso : casos) {
            SCOPED_TRACE(std::string(e.tabela) + " " + caso.nome);
            TDMTeste local;
            local.banco.Executar(std::string("CREATE GENERATOR GEN_") + e.tabela + " START WITH 50;");
            const std::string nome = Cp("Secreção ocular ") + caso.nome;
            bool inseriu = false;
            local.dm->AoExecutar = [&](const TDM::TRegistro& r) {
                if (r.sql.rfind(std::string(" insert into ") + e.tabela, 0) == 0) inseriu = true;
                if (r.commit && inseriu) {
                    inseriu = false;
                    local.banco.Executar(Inserir(e, caso.codigoDaOutra, nome));
                }
            };
            EXPECT_EQ(e.buscarOuCriar(*local.dm, nome), caso.esperado);
            local.dm->AoExecutar = nullptr;
            auto q = local.dm->NovaQuery(true);
            q->DefinirSQL(std::string("select list(") + e.coluna + ") from (select " + e.coluna + " from " +
                          e.tabela + " order by " + e.coluna + ")");
            q->Abrir();
            EXPECT_EQ(VariantParaTexto(q->Campo(std::size_t{0})), caso.linhas);
            EXPECT_TRUE(local.janela.caixas.empty());
        }
}

// The other copy's row with a lower code is not committed yet when this copy
// searches again: the search waits for it instead of passing over it, so
// this copy still ends on the lower row and deletes its own.
TEST_F(BuscaOuCriacao, LinhaAindaNaoConfirmadaDeOutraCopiaEhEsperada) {
    for (const TEntidade& e : kEntidades) {
        SCOPED_TRACE(e.tabela);
        TDMTeste local;
        local.banco.Executar(std::string("CREATE GENERATOR GEN_") + e.tabela + " START WITH 50;");
        const std::string nome = Cp("SECREÇÃO OCULAR");
        TJanelaTeste janelaOutra;
        TDM outra(janelaOutra, local.pasta);
        ASSERT_TRUE(outra.TentarConexao(local.banco.Config()));
        std::thread confirma;
        bool inseriu = false;
        local.dm->AoExecutar = [&](const TDM::TRegistro& r) {
            if (r.sql.rfind(std::string(" insert into ") + e.tabela, 0) == 0) inseriu = true;
            if (!(r.commit && inseriu) || confirma.joinable()) return;
            // The other copy's insert, written and held uncommitted; it
            // commits a moment later, while this copy waits in its search.
            auto q = outra.NovaQuery(false);
            q->DefinirSQL(Inserir(e, 20, nome));
            q->Executar();
            confirma = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                outra.TRIUD().Commit();
            });
        };
        EXPECT_EQ(e.buscarOuCriar(*local.dm, nome), 20);
        ASSERT_TRUE(confirma.joinable());
        confirma.join();
        local.dm->AoExecutar = nullptr;
        EXPECT_EQ(local.banco.Valor(std::string("select list(") + e.coluna + ") from " + e.tabela), "20");
        EXPECT_TRUE(local.janela.caixas.empty());
    }
}

// The table `tabela` of the test database made into a view that fails on
// every read while writes go through to the rows, kept in <tabela>_dados:
// a lookup that fails while the database still takes writes.
std::string LeituraQueFalha(const std::string& tabela) {
    const std::string esquema = LerArquivoTeste(QUORVEL_ESQUEMA);
    const std::size_t ini = esquema.find("CREATE TABLE " + tabela + " (");
    const std::size_t fim = esquema.find(");", ini);
    if (ini == std::string::npos || fim == std::string::npos) throw std::runtime_error("sem tabela " + tabela);
    std::string criar = esquema.substr(ini, fim + 2 - ini);
    for (std::size_t p = criar.find(tabela); p != std::string::npos; p = criar.find(tabela, p + tabela.size() + 6))
        criar.replace(p, tabela.size(), tabela + "_dados");
    return "create exception e_leitura_falhou 'leitura recusada';\n"
           "create function f_leitura returns integer as begin if (1 = 1) then exception e_leitura_falhou; return 1; end;\n" +
           criar + "\ninsert into " + tabela + "_dados select * from " + tabela + ";\ndrop table " + tabela +
           ";\ncreate view " + tabela + " as select * from " + tabela + "_dados where f_leitura() = 1;";
}

class LeituraFalha : public importacao_teste::AmbienteImportacao {
protected:
    LeituraFalha()
        : AmbienteImportacao(std::string(importacao_teste::kCatalogoMinimo) +
                             "insert into ped_pedidos (ped_cod, ped_cod_vis) values (100, '8002');\n") {}
};

// Each lookup table in turn cannot be read while writes go through: the
// request's import creates nothing in it (no second material, group, plan or
// order), and the file is not taken as finished.
TEST(LeituraQueFalhaNaoCriaNada, MaterialGrupoPlanoEPedido) {
    struct TCaso {
        const char* tabela;
        const char* contagem;  // rows of the name, read from <tabela>_dados
    };
    const TCaso casos[] = {
        {"mat_material", "select count(*) from mat_material_dados where upper(mat_dsc) = 'SANGUE'"},
        {"grp_grupos", "select count(*) from grp_grupos_dados where grp_dsc = 'Rotina'"},
        {"cnv_convenios", "select count(*) from cnv_convenios_dados where cnv_nom = 'Particular'"},
        {"ped_pedidos", "select count(*) from ped_pedidos_dados where ped_cod_vis = '8002'"},
    };
    for (const TCaso& caso : casos) {
        SCOPED_TRACE(caso.tabela);
        struct TAmbiente : LeituraFalha {
            void TestBody() override {}
            using AmbienteImportacao::Ciclo;
            using AmbienteImportacao::Copiar;
            using AmbienteImportacao::entrada;
            using AmbienteImportacao::t;
            using AmbienteImportacao::SetUp;
            using AmbienteImportacao::TearDown;
        } ambiente;
        ambiente.SetUp();
        ambiente.t.banco.Executar(LeituraQueFalha(caso.tabela));
        ambiente.Copiar("processar_8002.xml", "processar_8002.xml");
        ambiente.Ciclo();
        EXPECT_EQ(ambiente.t.banco.Valor(caso.contagem), "1");
        // No line stands for a material that was not settled.
        EXPECT_EQ(ambiente.t.banco.Valor("select count(*) from exp_examespedidos where mat_cod = 0"), "0");
        EXPECT_TRUE(std::filesystem::exists(ambiente.entrada / "processar_8002.xml"));
        ambiente.TearDown();
    }
}

}  // namespace
