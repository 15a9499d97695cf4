// The in-memory table engine and the request tables built on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/UErro.h"
#include "inbox/UTabela.h"
#include "inbox/UTabelasPedido.h"

namespace {

// The values of one column over the visible set, in order.
std::vector<std::string> Coluna(const TTabela& t, const std::string& coluna) {
    std::vector<std::string> r;
    for (int i = 0; i < t.Contar(); ++i) r.push_back(t.TextoExibicaoEm(i, coluna));
    return r;
}

void AdicionarArquivo(TTabela& t, const std::string& nome, int status) {
    t.Inserir();
    t.DefinirTexto("nome_arquivo", nome);
    t.Definir("status", status);
    t.Gravar();
}

void AdicionarPedido(TTabelasPedido& tp, const std::string& protocolo, const std::string& paciente,
                     const std::string& data, const std::string& hora, const std::string& medico = "") {
    tp.cdsPedidos.Inserir();
    tp.cdsPedidos.DefinirTexto("data", data);
    tp.cdsPedidos.DefinirTexto("horario", hora);
    tp.cdsPedidos.DefinirTexto("protocolo", protocolo);
    tp.cdsPedidos.DefinirTexto("paciente", paciente);
    tp.cdsPedidos.DefinirTexto("medico", medico);
    tp.cdsPedidos.Gravar();
}

void AdicionarLinha(TTabela& t, std::vector<std::pair<std::string, std::string>> valores) {
    t.Inserir();
    for (const auto& [c, v] : valores) t.DefinirTexto(c, v);
    t.Gravar();
}

}  // namespace

TEST(TabelaOrdem, EmpatesMantemOrdemDeInclusao) {
    TTabela t("t");
    t.ColunaTexto("grupo", 5);
    t.ColunaInteiro("n");
    t.DefinirOrdem("i", {{"grupo", false}});
    for (auto [g, n] : std::vector<std::pair<const char*, int>>{{"b", 1}, {"a", 2}, {"b", 3}, {"a", 4}, {"", 5}}) {
        t.Inserir();
        t.DefinirTexto("grupo", g);
        t.Definir("n", n);
        t.Gravar();
    }
    // Nulls before values, the empty text is a value like any other.
    t.Inserir();
    t.Definir("n", 6);
    t.Gravar();
    EXPECT_EQ(Coluna(t, "n"), (std::vector<std::string>{"6", "5", "2", "4", "1", "3"}));

    // Descending keeps ties in insertion order too.
    t.DefinirOrdem("j", {{"grupo", true}});
    EXPECT_EQ(Coluna(t, "n"), (std::vector<std::string>{"1", "3", "2", "4", "5", "6"}));
}

TEST(TabelaOrdem, ArquivosPorStatusDescendenteDepoisPorCaminhoExato) {
    TTabelasPedido tp;
    AdicionarArquivo(tp.cdsArquivos, "/in/b.xml", -1);
    AdicionarArquivo(tp.cdsArquivos, "/in/c.xml", 0);
    AdicionarArquivo(tp.cdsArquivos, "/in/a.xml", -1);
    AdicionarArquivo(tp.cdsArquivos, "/in/z.xml", 1);
    AdicionarArquivo(tp.cdsArquivos, "/in/B.xml", 0);
    EXPECT_EQ(Coluna(tp.cdsArquivos, "nome_arquivo"),
              (std::vector<std::string>{"/in/z.xml", "/in/B.xml", "/in/c.xml", "/in/a.xml", "/in/b.xml"}));
    EXPECT_EQ(Coluna(tp.cdsArquivos, "status"),
              (std::vector<std::string>{"Finalizado", "Pendente", "Pendente", "Com erro", "Com erro"}));
}

TEST(TabelaOrdem, PedidosPorDataEHora) {
    TTabelasPedido tp;
    AdicionarPedido(tp, "1", "p", "05/03/2009", "14:00");
    AdicionarPedido(tp, "2", "p", "05/03/2009", "09:30");
    AdicionarPedido(tp, "3", "p", "04/03/2009", "23:59");
    AdicionarPedido(tp, "4", "p", "05/03/2009", "09:30");
    EXPECT_EQ(Coluna(tp.cdsPedidos, "protocolo"), (std::vector<std::string>{"3", "2", "4", "1"}));
    // The last saved row is current, wherever it landed.
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "4");
    EXPECT_EQ(tp.cdsPedidos.IndiceAtual(), 2);
}

TEST(TabelaValores, TextoCortadoNoTamanhoEVazioNaoENulo) {
    TTabelasPedido tp;
    tp.cdsPedidos.Inserir();
    tp.cdsPedidos.DefinirTexto("paciente", "123456789012");
    tp.cdsPedidos.DefinirTexto("grupo", "");
    tp.cdsPedidos.Gravar();
    EXPECT_EQ(tp.cdsPedidos.Texto("paciente"), "1234567890");
    EXPECT_FALSE(tp.cdsPedidos.Nulo("grupo"));
    EXPECT_EQ(tp.cdsPedidos.Valor("grupo"), TVariante(std::string()));
    EXPECT_TRUE(tp.cdsPedidos.Nulo("medico"));
    EXPECT_EQ(tp.cdsPedidos.Texto("medico"), "");
}

TEST(TabelaValores, ConversaoDeDataEHora) {
    struct Caso {
        const char* coluna;
        const char* texto;
        const char* lido;  // nullptr: refused
    };
    const Caso casos[] = {
        {"coleta_data", "05/03/2009", "05/03/2009"},
        {"coleta_data", "5/3/2009", "05/03/2009"},
        {"coleta_data", "05/03/2009 10:11", "05/03/2009"},
        {"coleta_data", "31/02/2009", nullptr},
        {"coleta_data", "", nullptr},
        {"coleta_data", "2009-03-05", nullptr},
        {"coleta_horario", "14:07", "14:07:00"},
        {"coleta_horario", "14:07:59", "14:07:59"},
        {"coleta_horario", "24:00", nullptr},
        {"coleta_horario", "", nullptr},
        {"coleta_horario", "abc", nullptr},
        {"coleta_horario", "05/03/2009", nullptr},
        {"coleta_horario", "05/03/2009 10:11", "10:11:00"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(std::string(c.coluna) + " <- '" + c.texto + "'");
        TTabelasPedido tp;
        tp.cdsExames.Inserir();
        if (c.lido) {
            tp.cdsExames.DefinirTexto(c.coluna, c.texto);
            EXPECT_EQ(tp.cdsExames.Texto(c.coluna), c.lido);
        } else {
            try {
                tp.cdsExames.DefinirTexto(c.coluna, c.texto);
                ADD_FAILURE() << "accepted";
            } catch (const EErro& e) {
                EXPECT_EQ(std::string(e.what()), std::string("Valor inv\xE1lido para o campo '") + c.coluna + "'");
            }
            EXPECT_TRUE(tp.cdsExames.Nulo(c.coluna));
        }
    }
}

TEST(TabelaValores, ColunasCalculadas) {
    TTabelasPedido tp;
    AdicionarPedido(tp, "1", "p", "05/03/2009", "14:07:59");
    EXPECT_EQ(tp.cdsPedidos.Texto("data_horario"), "05/03/2009 14:07");

    AdicionarLinha(tp.cdsExames, {{"protocolo", "1"}, {"codigo", "HEM"}});
    EXPECT_EQ(tp.cdsExames.Texto("coleta_data_horario"), "");
    AdicionarLinha(tp.cdsExames, {{"protocolo", "1"}, {"codigo", "GLI"}, {"coleta_data", "06/03/2009"}});
    EXPECT_EQ(tp.cdsExames.Texto("coleta_data_horario"), "06/03/2009 00:00");
    AdicionarLinha(tp.cdsExames,
                   {{"protocolo", "1"}, {"codigo", "URE"}, {"coleta_data", "06/03/2009"}, {"coleta_horario", "23:59:59"}});
    EXPECT_EQ(tp.cdsExames.Texto("coleta_data_horario"), "06/03/2009 23:59");
    EXPECT_EQ(Coluna(tp.cdsExames, "coleta_data_horario"),
              (std::vector<std::string>{"", "06/03/2009 00:00", "06/03/2009 23:59"}));
}

TEST(TabelaValores, StatusSemLinhaEValoresDesconhecidos) {
    TTabelasPedido tp;
    EXPECT_EQ(tp.cdsArquivosstatusGetText(), "");
    AdicionarArquivo(tp.cdsArquivos, "x", 7);
    EXPECT_EQ(tp.cdsArquivosstatusGetText(), "");
    tp.cdsArquivos.Editar();
    tp.cdsArquivos.Definir("status", -1);
    tp.cdsArquivos.Gravar();
    EXPECT_EQ(tp.cdsArquivosstatusGetText(), "Com erro");
    EXPECT_EQ(TTabelasPedido::TextoStatus(TVariante{}), "");
}

// Two requests share patient 7; a third has patient 8 and a doctor.
class TabelaMestreDetalhe : public ::testing::Test {
protected:
    void SetUp() override {
        AdicionarPedido(tp, "A", "7", "01/01/2020", "10:00");
        AdicionarLinha(tp.cdsPacientes, {{"codigo", "7"}, {"nome", "ANA"}});
        AdicionarLinha(tp.cdsTelefones, {{"paciente", "7"}, {"numero", "111"}});
        AdicionarLinha(tp.cdsExames, {{"protocolo", "A"}, {"codigo", "HEM"}});
        AdicionarPedido(tp, "B", "8", "01/01/2020", "09:00", "M1");
        AdicionarLinha(tp.cdsPacientes, {{"codigo", "8"}, {"nome", "BIA"}});
        AdicionarLinha(tp.cdsTelefones, {{"paciente", "8"}, {"numero", "222"}});
        AdicionarLinha(tp.cdsTelefones, {{"paciente", "8"}, {"numero", "333"}});
        AdicionarLinha(tp.cdsMedicos, {{"codigo", "M1"}, {"nome", "DR"}});
        AdicionarLinha(tp.cdsTelefonesMedicos, {{"medico", "M1"}, {"numero", "999"}});
        AdicionarLinha(tp.cdsExames, {{"protocolo", "B"}, {"codigo", "GLI"}});
        AdicionarLinha(tp.cdsExames, {{"protocolo", "B"}, {"codigo", "URE"}});
        AdicionarPedido(tp, "C", "7", "02/01/2020", "08:00");
        AdicionarLinha(tp.cdsPacientes, {{"codigo", "7"}, {"nome", "ANA MARIA"}});
        AdicionarLinha(tp.cdsTelefones, {{"paciente", "7"}, {"numero", "444"}});
    }
    TTabelasPedido tp;
};

TEST_F(TabelaMestreDetalhe, DetalhesEmTresNiveisSeguemOPedidoAtual) {
    ASSERT_EQ(Coluna(tp.cdsPedidos, "protocolo"), (std::vector<std::string>{"B", "A", "C"}));
    tp.cdsPedidos.Primeiro();  // B
    EXPECT_EQ(Coluna(tp.cdsPacientes, "nome"), (std::vector<std::string>{"BIA"}));
    EXPECT_EQ(Coluna(tp.cdsTelefones, "numero"), (std::vector<std::string>{"222", "333"}));
    EXPECT_EQ(Coluna(tp.cdsTelefonesMedicos, "numero"), (std::vector<std::string>{"999"}));
    EXPECT_EQ(Coluna(tp.cdsExames, "codigo"), (std::vector<std::string>{"GLI", "URE"}));
    EXPECT_EQ(tp.cdsExames.IndiceAtual(), 0);

    // Walks and counts of a detail cover its set only.
    int n = 0;
    for (tp.cdsTelefones.Primeiro(); !tp.cdsTelefones.Fim(); tp.cdsTelefones.Proximo()) ++n;
    EXPECT_EQ(n, 2);

    tp.cdsPedidos.Proximo();  // A: patient 7 is shared with C
    EXPECT_EQ(tp.cdsPacientes.Contar(), 2);
    EXPECT_EQ(tp.cdsPacientes.Texto("nome"), "ANA");
    EXPECT_EQ(Coluna(tp.cdsTelefones, "numero"), (std::vector<std::string>{"111", "444"}));
    EXPECT_EQ(tp.cdsMedicos.Contar(), 0);
    EXPECT_EQ(tp.cdsTelefonesMedicos.Contar(), 0) << "the third level follows the second";
    EXPECT_TRUE(tp.cdsTelefonesMedicos.Fim());
    EXPECT_EQ(Coluna(tp.cdsExames, "codigo"), (std::vector<std::string>{"HEM"}));

    tp.cdsPedidos.Proximo();  // C
    EXPECT_EQ(Coluna(tp.cdsPacientes, "nome"), (std::vector<std::string>{"ANA", "ANA MARIA"}));
    EXPECT_EQ(tp.cdsExames.Contar(), 0);
    tp.cdsPedidos.Proximo();
    EXPECT_TRUE(tp.cdsPedidos.Fim());
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "C") << "the cursor stays on the last row";
}

TEST_F(TabelaMestreDetalhe, EsvaziarOMestreEsvaziaOsConjuntos) {
    tp.cdsPedidos.Primeiro();
    tp.cdsPedidos.Esvaziar();
    EXPECT_EQ(tp.cdsPacientes.Contar(), 0);
    EXPECT_EQ(tp.cdsTelefones.Contar(), 0);
    EXPECT_EQ(tp.cdsExames.Contar(), 0);
    EXPECT_TRUE(tp.cdsPacientes.Nulo("nome"));
    // The detail rows are still there: a new master row with the code shows them.
    AdicionarPedido(tp, "Z", "8", "01/01/2020", "09:00");
    EXPECT_EQ(Coluna(tp.cdsTelefones, "numero"), (std::vector<std::string>{"222", "333"}));
    tp.LimparTabelas();
    EXPECT_TRUE(tp.cdsPedidos.Vazia());
    AdicionarPedido(tp, "Z", "8", "01/01/2020", "09:00");
    EXPECT_TRUE(tp.cdsTelefones.Vazia());
}

TEST_F(TabelaMestreDetalhe, DetalhesVaziosDuranteInclusaoDoMestre) {
    tp.cdsPedidos.Primeiro();
    tp.cdsPedidos.Inserir();
    EXPECT_EQ(tp.cdsPacientes.Contar(), 0);
    tp.cdsPedidos.Cancelar();
    EXPECT_EQ(tp.cdsPedidos.Texto("protocolo"), "B");
    EXPECT_EQ(tp.cdsPacientes.Texto("nome"), "BIA");
}

TEST(TabelaNotificacao, EstadoInformadoAoManipulador) {
    TTabelasPedido tp;
    std::vector<std::string> eventos;
    tp.cdsArquivos.AposRolar = [&](TTabela& t) {
        const char* e = t.Estado() == TEstadoTabela::Repouso ? "repouso" : (t.Estado() == TEstadoTabela::Inserindo ? "inserindo" : "editando");
        eventos.push_back(std::string(e) + ":" + t.Texto("nome_arquivo"));
    };
    tp.cdsArquivos.Primeiro();  // fires on an empty table too
    AdicionarArquivo(tp.cdsArquivos, "a", 0);
    tp.cdsArquivos.Editar();
    tp.cdsArquivos.DefinirTexto("nome_arquivo", "b");
    tp.cdsArquivos.Gravar();
    tp.cdsArquivos.Proximo();  // no next row: no notification
    AdicionarArquivo(tp.cdsArquivos, "c", 0);
    tp.cdsArquivos.Primeiro();
    tp.cdsArquivos.Localizar("nome_arquivo", std::string("c"));
    EXPECT_FALSE(tp.cdsArquivos.Localizar("status", 5));
    tp.cdsArquivos.Excluir();
    tp.cdsArquivos.Esvaziar();
    EXPECT_EQ(eventos, (std::vector<std::string>{"repouso:", "inserindo:", "repouso:a", "repouso:b", "inserindo:",
                                                 "repouso:c", "repouso:b", "repouso:c", "repouso:b", "repouso:"}));
}

TEST(TabelaNotificacao, FalhaDoManipuladorChegaAQuemGravouComALinhaGravada) {
    TTabelasPedido tp;
    tp.cdsArquivos.AposRolar = [](TTabela& t) {
        if (t.EmRepouso() && t.Texto("nome_arquivo") == "ruim") throw EErroXML("quebrado");
    };
    tp.cdsArquivos.Inserir();
    tp.cdsArquivos.DefinirTexto("nome_arquivo", "ruim");
    tp.cdsArquivos.Definir("status", 0);
    EXPECT_THROW(tp.cdsArquivos.Gravar(), EErroXML);
    EXPECT_TRUE(tp.cdsArquivos.EmRepouso());
    EXPECT_EQ(tp.cdsArquivos.Contar(), 1);
    EXPECT_EQ(tp.cdsArquivos.Texto("status"), "0");
}

TEST(TabelaNotificacao, CongelarSeguraAAlteracaoAteODescongelar) {
    TTabelasPedido tp;
    int alteracoes = 0, rolagens = 0;
    tp.cdsArquivos.AoAlterar = [&](TTabela&) { ++alteracoes; };
    tp.cdsArquivos.AposRolar = [&](TTabela&) { ++rolagens; };
    tp.cdsArquivos.Congelar();
    AdicionarArquivo(tp.cdsArquivos, "a", 0);
    AdicionarArquivo(tp.cdsArquivos, "b", 0);
    tp.cdsArquivos.Primeiro();
    EXPECT_EQ(alteracoes, 0);
    EXPECT_EQ(rolagens, 5);
    tp.cdsArquivos.Descongelar();
    EXPECT_EQ(alteracoes, 1);
    tp.cdsArquivos.Proximo();
    EXPECT_EQ(alteracoes, 2);
}

// The walk of "process all": every pending row is set to 1 while the walk
// goes on; the saved row moves up into the finished group and the walk must
// go on from its new place, reaching every pending row exactly once.
TEST(TabelaPercurso, LinhaGravadaLevaOCursorConsigo) {
    struct Caso {
        std::vector<std::pair<std::string, int>> linhas;
    };
    const Caso casos[] = {
        {{{"a", 0}, {"b", 0}, {"c", 0}}},
        {{{"c", 0}, {"b", 0}, {"a", 0}, {"d", -1}}},
        {{{"z", 1}, {"a", 0}, {"m", 1}, {"b", 0}, {"y", 0}, {"e", -1}}},
        {{{"a", 1}, {"b", 0}}},
    };
    for (const auto& caso : casos) {
        TTabelasPedido tp;
        int pendentes = 0;
        for (const auto& [nome, status] : caso.linhas) {
            AdicionarArquivo(tp.cdsArquivos, nome, status);
            pendentes += status == 0;
        }
        std::vector<std::string> processados;
        int visitas = 0;
        for (tp.cdsArquivos.Primeiro(); !tp.cdsArquivos.Fim(); tp.cdsArquivos.Proximo()) {
            ASSERT_LT(++visitas, 20) << "the walk does not end";
            if (tp.cdsArquivos.Inteiro("status") == 0) {
                processados.push_back(tp.cdsArquivos.Texto("nome_arquivo"));
                tp.cdsArquivos.Editar();
                tp.cdsArquivos.Definir("status", 1);
                tp.cdsArquivos.Gravar();
            }
        }
        EXPECT_EQ(static_cast<int>(processados.size()), pendentes);
        std::sort(processados.begin(), processados.end());
        EXPECT_EQ(std::unique(processados.begin(), processados.end()), processados.end());
        EXPECT_FALSE(tp.cdsArquivos.Localizar("status", 0));
    }
}

TEST(TabelaPercurso, ExcluirPassaParaALinhaSeguinte) {
    TTabelasPedido tp;
    for (const char* n : {"a", "b", "c"}) AdicionarArquivo(tp.cdsArquivos, n, 1);
    ASSERT_TRUE(tp.cdsArquivos.Localizar("nome_arquivo", std::string("b")));
    tp.cdsArquivos.Excluir();
    EXPECT_EQ(tp.cdsArquivos.Texto("nome_arquivo"), "c");
    tp.cdsArquivos.Excluir();
    EXPECT_EQ(tp.cdsArquivos.Texto("nome_arquivo"), "a");
    tp.cdsArquivos.Excluir();
    EXPECT_TRUE(tp.cdsArquivos.Vazia());
    EXPECT_TRUE(tp.cdsArquivos.Fim());
    EXPECT_THROW(tp.cdsArquivos.Excluir(), EErro);
    EXPECT_THROW(tp.cdsArquivos.Editar(), EErro);
}

TEST(TabelaPercurso, EdicaoLeDoBufferEMovimentoGravaOPendente) {
    TTabelasPedido tp;
    AdicionarArquivo(tp.cdsArquivos, "a", 0);
    tp.cdsArquivos.Editar();
    tp.cdsArquivos.Definir("status", -1);
    EXPECT_EQ(tp.cdsArquivos.Inteiro("status"), -1);
    EXPECT_EQ(tp.cdsArquivos.ValorEm(0, "status"), TVariante(std::int32_t{0})) << "the stored row is unchanged";
    tp.cdsArquivos.Cancelar();
    EXPECT_EQ(tp.cdsArquivos.Inteiro("status"), 0);
    EXPECT_THROW(tp.cdsArquivos.Definir("status", 1), EErro) << "at rest";
    tp.cdsArquivos.Editar();
    tp.cdsArquivos.Definir("status", 1);
    tp.cdsArquivos.Primeiro();
    EXPECT_TRUE(tp.cdsArquivos.EmRepouso());
    EXPECT_EQ(tp.cdsArquivos.Inteiro("status"), 1);
    EXPECT_THROW(tp.cdsArquivos.Valor("nao_existe"), EErro);
}

// A file of thousands of requests: patients and protocols shared by several
// requests, rows edited (moving in the order and from one master to another)
// and deleted. At every request the detail sets are exactly the rows a
// filter over all rows gives, in the order of adding; the requests stay in
// date and time order with ties in the order of adding; a saved row is
// current wherever it landed.
TEST(TabelaGrande, ConjuntosIguaisAoFiltroDeTodasAsLinhas) {
    struct TPedido {
        std::string protocolo, paciente, data, hora;
        int seq;
    };
    struct TExame {
        std::string protocolo, codigo;
    };
    std::mt19937 rng(20261210);
    auto sorteio = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto dois = [](int v) { return (v < 10 ? "0" : "") + std::to_string(v); };

    TTabelasPedido tp;
    std::vector<TPedido> pedidos;
    std::vector<TExame> exames;
    std::vector<std::pair<std::string, std::string>> pacientes;  // code, name
    std::vector<std::pair<std::string, std::string>> telefones;  // patient, number
    for (int i = 0; i < 3000; ++i) {
        TPedido p{std::to_string(700000 + i - (i % 97 == 5 ? 1 : 0)),  // a few protocols shared
                  std::to_string(10000 + sorteio(400)), dois(1 + sorteio(28)) + "/" + dois(1 + sorteio(12)) + "/2026",
                  dois(sorteio(24)) + ":" + dois(sorteio(4) * 15), i};
        AdicionarLinha(tp.cdsPedidos, {{"data", p.data},
                                       {"horario", p.hora},
                                       {"protocolo", p.protocolo},
                                       {"paciente", p.paciente},
                                       {"codigo_acesso", std::to_string(i)}});
        ASSERT_EQ(tp.cdsPedidos.Texto("codigo_acesso"), std::to_string(i)) << "the saved row is current";
        pedidos.push_back(p);
        pacientes.emplace_back(p.paciente, "P" + std::to_string(i));
        AdicionarLinha(tp.cdsPacientes, {{"codigo", p.paciente}, {"nome", "P" + std::to_string(i)}});
        telefones.emplace_back(p.paciente, std::to_string(i));
        AdicionarLinha(tp.cdsTelefones, {{"paciente", p.paciente}, {"numero", std::to_string(i)}});
        for (int e = 0; e < 3; ++e) {
            exames.push_back({p.protocolo, "E" + std::to_string(i) + "_" + std::to_string(e)});
            AdicionarLinha(tp.cdsExames, {{"protocolo", p.protocolo}, {"codigo", exames.back().codigo}});
        }
    }

    auto conferir = [&] {
        std::vector<TPedido> ordem = pedidos;
        auto chave = [](const TPedido& p) {
            return p.data.substr(6, 4) + p.data.substr(3, 2) + p.data.substr(0, 2) + p.hora;
        };
        std::stable_sort(ordem.begin(), ordem.end(),
                         [&](const TPedido& a, const TPedido& b) { return chave(a) < chave(b); });
        std::vector<std::string> esperados;
        for (const auto& p : ordem) esperados.push_back(std::to_string(p.seq));
        ASSERT_EQ(Coluna(tp.cdsPedidos, "codigo_acesso"), esperados);
        int i = 0;
        for (tp.cdsPedidos.Primeiro(); !tp.cdsPedidos.Fim(); tp.cdsPedidos.Proximo(), ++i) {
            const TPedido& p = ordem[static_cast<std::size_t>(i)];
            ASSERT_EQ(tp.cdsPedidos.IndiceAtual(), i);
            std::vector<std::string> exp, pac, tel;
            for (const auto& e : exames)
                if (e.protocolo == p.protocolo) exp.push_back(e.codigo);
            for (const auto& [codigo, nome] : pacientes)
                if (codigo == p.paciente) pac.push_back(nome);
            for (const auto& [paciente, numero] : telefones)
                if (paciente == p.paciente) tel.push_back(numero);
            ASSERT_EQ(Coluna(tp.cdsExames, "codigo"), exp) << "request " << p.protocolo;
            ASSERT_EQ(Coluna(tp.cdsPacientes, "nome"), pac) << "request " << p.protocolo;
            ASSERT_EQ(Coluna(tp.cdsTelefones, "numero"), tel) << "request " << p.protocolo;
            ASSERT_EQ(tp.cdsExames.IndiceAtual(), exp.empty() ? -1 : 0);
        }
        EXPECT_EQ(i, static_cast<int>(pedidos.size()));
    };
    conferir();

    // Requests moved to another date; exams moved to another request.
    for (int n = 0; n < 200; ++n) {
        const int i = sorteio(static_cast<int>(pedidos.size()));
        TPedido& p = pedidos[static_cast<std::size_t>(i)];
        ASSERT_TRUE(tp.cdsPedidos.Localizar("codigo_acesso", std::to_string(p.seq)));
        p.data = dois(1 + sorteio(28)) + "/01/2026";
        tp.cdsPedidos.Editar();
        tp.cdsPedidos.DefinirTexto("data", p.data);
        tp.cdsPedidos.Gravar();
        ASSERT_EQ(tp.cdsPedidos.Texto("codigo_acesso"), std::to_string(p.seq)) << "the cursor moves with the saved row";

        // Its first exam goes to the request of another protocol (it is then
        // outside the visible set: the first visible exam becomes current).
        if (tp.cdsExames.Vazia()) continue;
        const std::string codigo = tp.cdsExames.Texto("codigo");
        const std::string outro = pedidos[static_cast<std::size_t>(sorteio(static_cast<int>(pedidos.size())))].protocolo;
        tp.cdsExames.Editar();
        tp.cdsExames.DefinirTexto("protocolo", outro);
        tp.cdsExames.Gravar();
        // The exam keeps its first place among the rows of equal protocol.
        auto e = std::find_if(exames.begin(), exames.end(), [&](const TExame& x) { return x.codigo == codigo; });
        e->protocolo = outro;
    }
    // Some exams and requests deleted.
    for (int n = 0; n < 100; ++n) {
        const int seq = pedidos[static_cast<std::size_t>(sorteio(static_cast<int>(pedidos.size())))].seq;
        ASSERT_TRUE(tp.cdsPedidos.Localizar("codigo_acesso", std::to_string(seq)));
        if (!tp.cdsExames.Vazia()) {
            const std::string codigo = tp.cdsExames.Texto("codigo");
            tp.cdsExames.Excluir();
            std::erase_if(exames, [&](const TExame& x) { return x.codigo == codigo; });
        }
        if (n % 4 == 0) {
            tp.cdsPedidos.Excluir();
            std::erase_if(pedidos, [&](const TPedido& p) { return p.seq == seq; });
        }
    }
    conferir();
}
