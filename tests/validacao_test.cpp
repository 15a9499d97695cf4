// The check of a file's requests: the six rules with their exact lines, the
// order of the requests, the cut of the error text, and the files that are
// refused without lines. Settings come from a real laboratory database.
#include "inbox/UValidacao.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/UBancoTeste.h"

namespace {

struct TPedido {
    std::string protocolo = "1234";
    std::string data = "05/03/2009";
    std::string horario = "10:00";
    std::string codigo = "123";
    std::string nome = "MARIA";
    std::string sexo = "F";
    std::string nascimento = "05/03/1990";
    std::string idade = "";
    std::string grupo = "ROTINA";
    bool medico = true;
};

void Adicionar(TTabelasPedido& tp, const TPedido& p) {
    TTabela& t = tp.cdsPedidos;
    t.Inserir();
    t.DefinirTexto("data", p.data);
    t.DefinirTexto("horario", p.horario);
    t.DefinirTexto("protocolo", p.protocolo);
    t.DefinirTexto("paciente", p.codigo);
    t.DefinirTexto("idade_paciente", p.idade);
    t.DefinirTexto("medico", p.medico ? "M" + p.protocolo : "");
    t.DefinirTexto("grupo", p.grupo);
    t.Gravar();
    tp.cdsPacientes.Inserir();
    tp.cdsPacientes.DefinirTexto("codigo", p.codigo);
    tp.cdsPacientes.DefinirTexto("nome", p.nome);
    tp.cdsPacientes.DefinirTexto("sexo", p.sexo);
    tp.cdsPacientes.DefinirTexto("data_nascimento", p.nascimento);
    tp.cdsPacientes.Gravar();
    if (p.medico) {
        tp.cdsMedicos.Inserir();
        tp.cdsMedicos.DefinirTexto("codigo", "M" + p.protocolo);
        tp.cdsMedicos.Gravar();
    }
}

// The file's row, current in the file list as the scan leaves it.
void AdicionarArquivo(TTabelasPedido& tp) {
    tp.cdsArquivos.Inserir();
    tp.cdsArquivos.DefinirTexto("nome_arquivo", "/in/a.xml");
    tp.cdsArquivos.Definir("status", 0);
    tp.cdsArquivos.DefinirTexto("erros", "");
    tp.cdsArquivos.Gravar();
}

const std::string kCodigo = "C\xF3" "digo inv\xE1lido para paciente no protocolo \"";
const std::string kIdade = "Idade inv\xE1lida para paciente";
const std::string kMedico = "M\xE9" "dico n\xE3o informado! O sistema est\xE1 configurado para informar o m\xE9"
                            "dico obrigatoriamente.";
const std::string kGrupo = "Grupo inv\xE1lido! Nenhum grupo informado e nenhum grupo padr\xE3o definido no sistema.";

std::string Juntar(const std::vector<std::string>& linhas) {
    std::string r;
    for (const auto& l : linhas) r += l + "\r\n";
    return r;
}

class ValidacaoTeste : public ::testing::Test {
protected:
    // A data module that reads the settings afresh (the settings are read
    // once per data module).
    std::unique_ptr<TDM> NovoDM() {
        auto dm = std::make_unique<TDM>(ambiente.janela, ambiente.pasta);
        EXPECT_TRUE(dm->TentarConexao(ambiente.banco.Config()));
        return dm;
    }
    void Configurar(const std::string& nome, const char* valor) {
        ambiente.banco.Executar("delete from cbd_configuracoesbd where cbd_dsc = '" + nome + "'");
        if (valor)
            ambiente.banco.Executar("insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('" + nome + "', '" +
                                    valor + "')");
    }
    // Runs the check on the requests; returns the result, erros and status.
    struct TResultado {
        bool ok;
        std::string erros;
        int status;
    };
    TResultado Validar(const std::vector<TPedido>& pedidos) {
        TTabelasPedido tp;
        AdicionarArquivo(tp);
        for (const auto& p : pedidos) Adicionar(tp, p);
        auto dm = NovoDM();
        TValidacao v(tp, *dm, ambiente.janela);
        const bool ok = v.ValidarArquivo();
        return {ok, tp.cdsArquivos.Texto("erros"), tp.cdsArquivos.Inteiro("status")};
    }
    // One database for the whole suite.
    static void SetUpTestSuite() { ambiente_ = std::make_unique<TDMTeste>(); }
    static void TearDownTestSuite() { ambiente_.reset(); }
    static std::unique_ptr<TDMTeste> ambiente_;
    TDMTeste& ambiente = *ambiente_;
};

std::unique_ptr<TDMTeste> ValidacaoTeste::ambiente_;

}  // namespace

TEST_F(ValidacaoTeste, RegrasDoPacienteEDaIdade) {
    struct Caso {
        const char* nome;
        TPedido pedido;
        std::vector<std::string> linhas;
    };
    auto com = [](auto f) {
        TPedido p;
        f(p);
        return p;
    };
    const std::string pre = "Protocolo 1234: ";
    const Caso casos[] = {
        {"tudo presente", TPedido{}, {}},
        {"codigo hexadecimal", com([](TPedido& p) { p.codigo = "$1F"; }), {}},
        {"codigo vazio", com([](TPedido& p) { p.codigo = ""; }), {pre + kCodigo + "1234\". Dado = ''"}},
        {"codigo 12a e sexo vazio", com([](TPedido& p) { p.codigo = "12a"; p.sexo = ""; }),
         {pre + kCodigo + "1234\". Dado = '12a'", pre + "Sexo inv\xE1lido para pacienteMARIA"}},
        {"nome vazio", com([](TPedido& p) { p.nome = ""; }), {pre + "Nome inv\xE1lido para paciente"}},
        {"nascimento 31/02/2009", com([](TPedido& p) { p.nascimento = "31/02/2009"; p.idade = "35"; }),
         {pre + kIdade + "MARIA"}},
        {"nascimento vazio e idade 35", com([](TPedido& p) { p.nascimento = ""; p.idade = "35"; }), {}},
        {"nascimento e idade vazios", com([](TPedido& p) { p.nascimento = ""; }), {pre + kIdade + "MARIA"}},
        {"todas as regras do paciente",
         com([](TPedido& p) { p.codigo = "x"; p.nome = ""; p.sexo = ""; p.nascimento = "abc"; }),
         {pre + kCodigo + "1234\". Dado = 'x'", pre + "Nome inv\xE1lido para paciente",
          pre + "Sexo inv\xE1lido para paciente", pre + "Idade inv\xE1lida para paciente"}},
        // Every "%" of a message is replaced by the tested value, the
        // protocol's own included.
        {"porcento no protocolo", com([](TPedido& p) { p.protocolo = "7%"; p.codigo = "a"; }),
         {"Protocolo 7%: " + kCodigo + "7a\". Dado = 'a'"}},
    };
    Configurar("PED_PreencherNomeMedico", nullptr);
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        const auto r = Validar({c.pedido});
        EXPECT_EQ(r.ok, c.linhas.empty());
        EXPECT_EQ(r.erros, Juntar(c.linhas));
        EXPECT_EQ(r.status, c.linhas.empty() ? 0 : -1);
    }
}

TEST_F(ValidacaoTeste, RegrasDoMedicoEDoGrupoPelasConfiguracoes) {
    struct Caso {
        const char* nome;
        const char* preencherMedico;  // nullptr: setting missing
        const char* grupoPadrao;
        bool comMedico;
        const char* grupo;
        std::vector<std::string> linhas;
    };
    const std::string pre = "Protocolo 1234: ";
    const Caso casos[] = {
        {"sem medico, Sim", "Sim", "7", false, "G", {pre + kMedico}},
        {"sem medico, sem configuracao", nullptr, "7", false, "G", {}},
        {"sem medico, sim", "sim", "7", false, "G", {}},
        {"sem medico, SIM", "SIM", "7", false, "G", {}},
        {"com medico, Sim", "Sim", "7", true, "G", {}},
        {"grupo vazio, padrao 7", nullptr, "7", true, "", {}},
        {"grupo vazio, sem padrao", nullptr, nullptr, true, "", {pre + kGrupo}},
        {"grupo vazio, padrao vazio", nullptr, "", true, "", {pre + kGrupo}},
        {"grupo vazio, padrao ROTINA", nullptr, "ROTINA", true, "", {pre + kGrupo}},
        {"grupo informado, padrao ROTINA", nullptr, "ROTINA", true, "X", {}},
        {"as duas", "Sim", nullptr, false, "", {pre + kMedico, pre + kGrupo}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nome);
        Configurar("PED_PreencherNomeMedico", c.preencherMedico);
        Configurar("PED_GRUPOPADRAO", c.grupoPadrao);
        TPedido p;
        p.medico = c.comMedico;
        p.grupo = c.grupo;
        const auto r = Validar({p});
        EXPECT_EQ(r.ok, c.linhas.empty());
        EXPECT_EQ(r.erros, Juntar(c.linhas));
    }
}

TEST_F(ValidacaoTeste, PedidosNaOrdemDeDataEHora) {
    Configurar("PED_PreencherNomeMedico", nullptr);
    TPedido dez;
    dez.protocolo = "10";
    dez.horario = "11:00";
    dez.codigo = "a10";
    dez.sexo = "";
    TPedido onze = dez;
    onze.protocolo = "11";
    onze.horario = "09:00";
    onze.codigo = "a11";
    const auto r = Validar({dez, onze});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erros, Juntar({"Protocolo 11: " + kCodigo + "11\". Dado = 'a11'",
                               "Protocolo 11: Sexo inv\xE1lido para pacienteMARIA",
                               "Protocolo 10: " + kCodigo + "10\". Dado = 'a10'",
                               "Protocolo 10: Sexo inv\xE1lido para pacienteMARIA"}));
    // The progress text named each request and was cleared at the end.
    const auto& prog = ambiente.janela.progressos;
    ASSERT_GE(prog.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(prog.end() - 3, prog.end()),
              (std::vector<std::string>{"Validando dados para protocolo 11", "Validando dados para protocolo 10", ""}));
}

TEST_F(ValidacaoTeste, ErrosCortadosEm500Caracteres) {
    Configurar("PED_PreencherNomeMedico", nullptr);
    std::vector<TPedido> pedidos;
    std::vector<std::string> linhas;
    for (int i = 0; i < 8; ++i) {
        TPedido p;
        p.protocolo = "P" + std::to_string(i);
        p.horario = "10:0" + std::to_string(i);
        p.codigo = "";
        p.nome = "";
        pedidos.push_back(p);
        linhas.push_back("Protocolo " + p.protocolo + ": " + kCodigo + p.protocolo + "\". Dado = ''");
        linhas.push_back("Protocolo " + p.protocolo + ": Nome inv\xE1lido para paciente");
    }
    const std::string tudo = Juntar(linhas);
    ASSERT_GT(tudo.size(), 500u);
    const auto r = Validar(pedidos);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erros, tudo.substr(0, 500));
}

TEST_F(ValidacaoTeste, SemPedidosOuComFalhaNadaERegistrado) {
    auto r = Validar({});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erros, "");
    EXPECT_EQ(r.status, 0);

    // A setting that cannot be read stops the check: no line is recorded,
    // not even those of the rules before it, and nothing is shown.
    ambiente.banco.Executar("delete from cbd_configuracoesbd where cbd_dsc = 'PED_PreencherNomeMedico'");
    ambiente.banco.Executar("insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('PED_PreencherNomeMedico', null)");
    ambiente.janela.Limpar();
    TPedido p;
    p.codigo = "x";
    p.medico = false;
    r = Validar({p});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.erros, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(ambiente.janela.caixas.empty());
    EXPECT_EQ(ambiente.janela.progressoAtual, "");
}
