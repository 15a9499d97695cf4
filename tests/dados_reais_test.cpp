// Real data on a Brazilian workstation: the process runs in pt_BR.UTF-8
// (decimal comma), amounts come with a decimal comma, materials with
// lower-case accented letters, codes in the forms the validation accepts,
// files that break off partway, rows held by the laboratory's main system, a
// calendar that leaves no business day, prices of more than two decimals and
// a database that cannot be reached. Each case runs the inbox scan and the
// processing driver on a real database.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "base/UErro.h"
#include "db/UExecBD.h"
#include "inbox/UBS.h"
#include "tests/UAmbienteImportacao.h"
#include "tests/support/ULocalidadeTeste.h"

namespace {

using namespace importacao_teste;

#define EXIGIR_PT_BR(l)                                                                    \
    ASSERT_TRUE((l).Ok()) << "locale pt_BR.UTF-8 missing: scripts/instalar.sh generates it"; \
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",")

// ---- conversions, independent of the process locale ----

struct CasoReal {
    const char* texto;
    std::optional<double> valor;
};

TEST(NumerosSemLocalidade, LeituraDeReaisComVirgulaOuPonto) {
    TLocalidade l("pt_BR.UTF-8");
    EXIGIR_PT_BR(l);
    const CasoReal casos[] = {
        {"35,50", 35.5},    {"35.50", 35.5},  {"1.234,56", 1234.56}, {" 2,5 ", 2.5}, {"-3,75", -3.75},
        {"+2,5", 2.5},      {"7", 7.0},       {"0x1F", 31.0},        {"1e3", 1000.0}, {"", std::nullopt},
        {"abc", std::nullopt}, {"1,2,3", std::nullopt}, {"inf", std::nullopt}, {"nan", std::nullopt},
        {"12,5 reais", std::nullopt},
    };
    for (const CasoReal& c : casos) {
        const std::optional<double> r = LerNumeroReal(c.texto);
        ASSERT_EQ(r.has_value(), c.valor.has_value()) << "'" << c.texto << "'";
        if (r) {
            EXPECT_DOUBLE_EQ(*r, *c.valor) << "'" << c.texto << "'";
        }
    }
    EXPECT_EQ(FormatarNumeroReal(40.3), "40,3");
    EXPECT_EQ(VariantParaTexto(TVariante(2.5)), "2,5");
    EXPECT_EQ(FormatarNumeroReal(0.1 + 0.2), "0,3");
}

struct CasoInteiro {
    const char* texto;
    std::optional<std::int32_t> valor;  // none: an error, never a rounded code
};

// One reading for every integer code: what the validation accepts is the
// number written, in every row.
TEST(NumerosSemLocalidade, CodigosInteirosComoAValidacaoAceita) {
    TLocalidade l("pt_BR.UTF-8");
    EXIGIR_PT_BR(l);
    const CasoInteiro casos[] = {
        {"302", 302},           {"0x1F", 31},          {"$1f", 31},          {"x10", 16},
        {"  42", 42},           {"-7", -7},            {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt}, {"301,6", std::nullopt}, {"301.6", std::nullopt},
        {"", std::nullopt},     {"12a", std::nullopt}, {"0x", std::nullopt},
    };
    for (const CasoInteiro& c : casos) {
        EXPECT_EQ(LerInteiro(c.texto), c.valor) << "'" << c.texto << "'";
        EXPECT_EQ(EhInteiro(c.texto), c.valor.has_value()) << "'" << c.texto << "'";
        if (c.valor) {
            EXPECT_EQ(VariantParaInteiro(TVariante(std::string(c.texto))), *c.valor) << "'" << c.texto << "'";
        } else {
            EXPECT_THROW(VariantParaInteiro(TVariante(std::string(c.texto))), EErro) << "'" << c.texto << "'";
        }
    }
    EXPECT_THROW(VariantParaInteiro(TVariante(301.6)), EErro);
    EXPECT_EQ(VariantParaInteiro(TVariante(302.0)), 302);
}

// The same conversions when the values are bound to the database's columns.
TEST(NumerosSemLocalidade, ParametrosDoBancoEmPtBr) {
    TLocalidade l("pt_BR.UTF-8");
    EXIGIR_PT_BR(l);
    TDMTeste t;
    auto ler = [&](const std::string& sql, const TVariante& v) {
        auto q = t.dm->NovaQuery(true);
        q->DefinirSQL(sql);
        q->Preparar();
        q->Parametro("v", v);
        q->Abrir();
        return VariantParaTexto(q->Campo(std::size_t{0}));
    };
    const std::string numerico = "select cast(:v as numeric(15,2)) from rdb$database";
    EXPECT_EQ(ler(numerico, std::string("35,50")), "35,5");
    EXPECT_EQ(ler(numerico, std::string("35.50")), "35,5");
    EXPECT_EQ(ler(numerico, std::string("1.234,56")), "1234,56");
    const std::string inteiro = "select cast(:v as integer) from rdb$database";
    EXPECT_EQ(ler(inteiro, std::string("0x1F")), "31");
    EXPECT_THROW(ler(inteiro, std::string("301,6")), EErro);
    EXPECT_THROW(ler(inteiro, TVariante(301.6)), EErro);
}

// ---- imports ----

std::string Substituir(std::string texto, const std::string& de, const std::string& para) {
    const std::size_t p = texto.find(de);
    if (p == std::string::npos) throw std::runtime_error("not in the template: " + de);
    return texto.replace(p, de.size(), para);
}

// One request of the template (protocol 8002, patient 5001 "Ana", doctor 301,
// one exam HEMO on "Sangue") with the replacements applied, in order.
std::string Solicitacao(const std::vector<std::pair<std::string, std::string>>& trocas) {
    const std::string um = LerArquivo(kDados + "processar_8002.xml");
    const std::size_t ini = um.find("<solicitacao>");
    const std::size_t fim = um.find("</solicitacoes>");
    std::string r = um.substr(ini, fim - ini);
    for (const auto& [de, para] : trocas) r = Substituir(r, de, para);
    return r;
}

std::string Arquivo(const std::vector<std::string>& solicitacoes) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<solicitacoes>\n";
    for (const std::string& r : solicitacoes) s += r;
    return s + "</solicitacoes>\n";
}

std::pair<std::string, std::string> Protocolo(const std::string& p) {
    return {"<protocolo>8002</protocolo>", "<protocolo>" + p + "</protocolo>"};
}

const std::string kExameHemo =
    "<exame>\n        <codigo>HEMO</codigo>\n        <nome>Hemograma</nome>\n        <material>Sangue</material>";

class DadosReais : public AmbienteImportacao {
protected:
    DadosReais()
        : AmbienteImportacao(std::string(kCatalogoMinimo) +
                             "insert into exa_exames (exa_cod, exa_cod_vis, exa_tpo_prz, exa_dia_ent) values (11, "
                             "'URINA', 'D', 2);\n"
                             "insert into exa_exames (exa_cod, exa_cod_vis, exa_tpo_prz, exa_dia_ent) values (12, "
                             "'LIQ', 'D', 2);\n"
                             "insert into mat_material (mat_cod, mat_dsc) values (2, '" +
                             Cp("LÍQUOR") + "');\n") {}

    void SetUp() override {
        AmbienteImportacao::SetUp();
        ASSERT_TRUE(localidade.Ok()) << "locale pt_BR.UTF-8 missing";
    }

    // The row's erros, by file name.
    std::string Erros(const std::string& nome) {
        const int i = Indice(nome);
        return i < 0 ? "<not listed>" : VariantParaTexto(tp.cdsArquivos.ValorEm(i, "erros"));
    }
    std::string Juntas() const {
        std::string r;
        for (const std::string& c : Caixas()) r += c + "\n---\n";
        return r;
    }

    // The operators' locale, whatever the environment of the test run says.
    TLocalidade localidade{"pt_BR.UTF-8"};
};

// Amounts with a decimal comma import as they do in the C locale.
TEST_F(DadosReais, ValoresComVirgulaDecimal) {
    Escrever("virgula.xml", Arquivo({Solicitacao({{"<valorCobrarPaciente>0</valorCobrarPaciente>",
                                                   "<valorCobrarPaciente>35,50</valorCobrarPaciente>"},
                                                  {"<valorPagoPaciente>0</valorPagoPaciente>",
                                                   "<valorPagoPaciente>1.234,56</valorPagoPaciente>"},
                                                  {"<valorDescontoPaciente>0</valorDescontoPaciente>",
                                                   "<valorDescontoPaciente>2.5</valorDescontoPaciente>"}})}));
    Ciclo();
    EXPECT_TRUE(Caixas().empty()) << Juntas();
    EXPECT_EQ(Linhas("select ped_vlr_cob_cli, ped_vlr_pgo, ped_vlr_des_cli, ped_vlr_tot_exa from ped_pedidos"),
              std::vector<std::string>{"35,5|1234,56|2,5|18,5"});
    EXPECT_EQ(Arquivos(entrada / "processados"), std::vector<std::string>{"virgula.xml"});
}

// Lower-case accented materials find the stored one in any letter case, and
// a second import writes nothing new.
TEST_F(DadosReais, MaterialAcentuadoEmMinusculasImportadoDuasVezes) {
    const std::string bytes = Arquivo({Solicitacao(
        {{"<material>Sangue</material>",
          "<material>Secre\xC3\xA7\xC3\xA3o</material>\n      </exame>\n      <exame>\n        "
          "<codigo>LIQ</codigo>\n        <nome>Liquor</nome>\n        <material>l\xC3\xADquor</material>"}})});
    Escrever("acentos.xml", bytes);
    Ciclo();
    ASSERT_TRUE(Caixas().empty()) << Juntas();
    const auto materiais = Linhas("select mat_cod, mat_dsc from mat_material order by mat_cod");
    const auto linhas = Linhas("select exa_cod, mat_cod from exp_examespedidos order by exa_cod");
    ASSERT_EQ(materiais.size(), 3u);  // Sangue, LÍQUOR and the new Secreção
    EXPECT_EQ(materiais[2].substr(materiais[2].find('|') + 1), Cp("Secreção"));
    EXPECT_EQ(linhas[1], "12|2");  // líquor is LÍQUOR

    Escrever("acentos.xml", bytes);
    Ciclo();
    EXPECT_TRUE(Caixas().empty()) << Juntas();
    EXPECT_EQ(Linhas("select mat_cod, mat_dsc from mat_material order by mat_cod"), materiais);
    EXPECT_EQ(Linhas("select exa_cod, mat_cod from exp_examespedidos order by exa_cod"), linhas);
}

// A file whose reading stops at its second request is not imported at all:
// it gets "Com erro" with the place and the reason, and stays in the inbox.
TEST_F(DadosReais, ArquivoLidoEmParteNaoEImportado) {
    Escrever("tres.xml",
             Arquivo({Solicitacao({Protocolo("7001")}),
                      Solicitacao({Protocolo("7002"), {"<data>10/03/2026</data>", "<data>31/02/2026</data>"}}),
                      Solicitacao({Protocolo("7003")})}));
    lista.AtualizarLista();
    ASSERT_EQ(Lista(), std::vector<std::string>{"tres.xml Com erro"});
    EXPECT_NE(Erros("tres.xml").find("Protocolo 7002: a leitura do arquivo parou nesta solicita\xE7\xE3o"),
              std::string::npos)
        << Erros("tres.xml");
    EXPECT_NE(Erros("tres.xml").find("'data'"), std::string::npos) << Erros("tres.xml");

    t.janela.ResponderSempre(TResposta::OK);
    proc.ProcessarTodos(true);
    lista.AtualizarLista();  // listed pending again by a scan, it is refused again
    proc.ProcessarTodos(true);
    EXPECT_EQ(Valor("select count(*) from ped_pedidos"), "0");
    EXPECT_EQ(Valor("select count(*) from cli_clientes"), "0");
    EXPECT_EQ(Arquivos(entrada), std::vector<std::string>{"tres.xml"});
    EXPECT_EQ(Lista(), std::vector<std::string>{"tres.xml Com erro"});
}

// A doctor code that is no whole number is never rounded into another
// doctor's code; a patient code in hexadecimal is written as the number the
// validation accepted, in every row.
TEST_F(DadosReais, CodigosNuncaArredondadosEHexadecimalEmTodasAsLinhas) {
    t.banco.Executar("insert into med_medicos (med_cod, med_nom) values (302, 'Dra. Outra');");
    Escrever("medico.xml", Arquivo({Solicitacao({{"<codigo>301</codigo>", "<codigo>301,6</codigo>"}})}));
    Escrever("paciente.xml",
             Arquivo({Solicitacao({Protocolo("7010"),
                                   {"<codigo>5001</codigo>", "<codigo>0x1F</codigo>"},
                                   {"<cpf_cnpj></cpf_cnpj>", "<cpf_cnpj>12345678901</cpf_cnpj>"},
                                   {"<paciente>",
                                    "<paciente>\n      <telefones><telefone><descricao>Casa</descricao>"
                                    "<numero>1133334444</numero></telefone></telefones>\n      <convenios>"
                                    "<convenio><nome>Particular</nome><matricula>99</matricula></convenio>"
                                    "</convenios>"}})}));
    Ciclo();
    EXPECT_EQ(Valor("select med_nom from med_medicos where med_cod = 302"), "Dra. Outra");
    EXPECT_EQ(Lista(), std::vector<std::string>{"medico.xml Com erro"}) << Juntas();
    EXPECT_NE(Erros("medico.xml").find("MED_MEDICOS"), std::string::npos) << Erros("medico.xml");

    EXPECT_EQ(Valor("select cli_nom from cli_clientes where cli_cod = 31"), "Ana");
    EXPECT_EQ(Valor("select cpf_cpf from cpf_clientepessoafisica where cli_cod = 31"), "123.456.789-01");
    EXPECT_EQ(Valor("select tcl_num from tcl_telefonecliente where cli_cod = 31"), "1133334444");
    EXPECT_EQ(Valor("select cnv_cod || '|' || cnc_mat from cnc_convenioscliente where cli_cod = 31"), "1|99");
    EXPECT_EQ(Valor("select cli_cod from ped_pedidos where ped_cod_vis = '7010'"), "31");
    EXPECT_EQ(Arquivos(entrada / "processados"), std::vector<std::string>{"paciente.xml"});
}

// A patient row held by the laboratory's main system: the file is not
// finished but kept with the save error; once the row is free the next cycle
// completes it in place, nothing doubled.
TEST_F(DadosReais, LinhaPresaDeixaOArquivoComErroEOCicloSeguinteCompleta) {
    t.banco.Executar("insert into cli_clientes (cli_cod, cli_nom) values (5001, 'Antes');");
    TTravaDeOutroPrograma trava(t.banco, "update cli_clientes set cli_nom = 'Outro programa' where cli_cod = 5001");

    Escrever("preso.xml", Arquivo({Solicitacao({})}));
    Ciclo();
    EXPECT_EQ(Lista(), std::vector<std::string>{"preso.xml Com erro"});
    EXPECT_EQ(Erros("preso.xml").rfind("Protocolo 8002: Encontramos um erro ao tentar salvar na tabela CLI_CLIENTES.", 0),
              0u)
        << Erros("preso.xml");
    EXPECT_EQ(Arquivos(entrada), std::vector<std::string>{"preso.xml"});

    trava.Soltar();
    t.janela.Limpar();
    Ciclo();
    EXPECT_TRUE(Caixas().empty()) << Juntas();
    EXPECT_EQ(Valor("select cli_nom from cli_clientes where cli_cod = 5001"), "Ana");
    EXPECT_EQ(Linhas("select ped_cod_vis, cli_cod from ped_pedidos"), std::vector<std::string>{"8002|5001"});
    EXPECT_EQ(Valor("select count(*) from exp_examespedidos"), "1");
    EXPECT_EQ(Arquivos(entrada / "processados"), std::vector<std::string>{"preso.xml"});
}

// A calendar without a business day: one box for the run, every file kept
// "Com erro" with the reason.
TEST_F(DadosReais, DataDeEntregaImpossivelAvisaUmaVezPorExecucao) {
    t.banco.Executar("insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('GER_DiasNaoUteis', '1234567');");
    const std::string urina = "<codigo>URINA</codigo>";
    Escrever("a.xml", Arquivo({Solicitacao({Protocolo("7101"), {"<codigo>HEMO</codigo>", urina}})}));
    Escrever("b.xml", Arquivo({Solicitacao({Protocolo("7102"), {"<codigo>HEMO</codigo>", urina}})}));
    Ciclo();
    int caixas = 0;
    for (const std::string& c : Caixas()) caixas += c.rfind("N\xE3o foi poss\xEDvel calcular a data de entrega", 0) == 0;
    EXPECT_EQ(caixas, 1) << Juntas();
    EXPECT_EQ(Lista(), (std::vector<std::string>{"a.xml Com erro", "b.xml Com erro"}));
    EXPECT_NE(Erros("b.xml").find("Protocolo 7102: N\xE3o foi poss\xEDvel calcular a data de entrega"),
              std::string::npos)
        << Erros("b.xml");
    EXPECT_EQ(Valor("select count(*) from exp_examespedidos"), "0");
}

// Totals add the lines as stored (cents), not the unrounded prices.
TEST_F(DadosReais, TotaisSaoASomaDasLinhasGravadas) {
    t.banco.Executar(
        "update eta_examestabela set eta_vlr = 0.125 where exa_cod = 10;\n"
        "insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 11, 0.125, 0, 0);");
    Escrever("centavos.xml",
             Arquivo({Solicitacao({{"<material>Sangue</material>",
                                    "<material>Sangue</material>\n      </exame>\n      <exame>\n        "
                                    "<codigo>URINA</codigo>\n        <nome>Urina</nome>\n        "
                                    "<material>Urina</material>"}})}));
    Ciclo();
    ASSERT_TRUE(Caixas().empty()) << Juntas();
    EXPECT_EQ(Linhas("select exp_vlr from exp_examespedidos order by exa_cod"),
              (std::vector<std::string>{"0,13", "0,13"}));
    EXPECT_EQ(Valor("select ped_vlr_tot_exa from ped_pedidos"),
              Valor("select sum(exp_vlr) from exp_examespedidos"));
}

// The database cannot be reached before the settings were read: the scan
// marks nothing "Com erro", and the run stops at one box, files pending.
TEST_F(DadosReais, BancoInacessivelNaoMarcaArquivoComErro) {
    Escrever("a.xml", Arquivo({Solicitacao({Protocolo("7201")})}));
    Escrever("b.xml", Arquivo({Solicitacao({Protocolo("7202")})}));
    // The connection goes, and a new one cannot be made.
    const std::string banco = t.dm->ConfigEmUso().Banco;
    TConfigBD inacessivel = t.dm->ConfigEmUso();
    inacessivel.Banco = banco + ".nao-existe";
    ASSERT_FALSE(t.dm->TentarConexao(inacessivel));

    t.janela.ResponderSempre(TResposta::OK);
    lista.AtualizarLista();
    EXPECT_EQ(Lista(), (std::vector<std::string>{"a.xml Pendente", "b.xml Pendente"})) << Juntas();
    proc.ProcessarTodos(true);
    int semConexao = 0;
    for (const std::string& c : Caixas()) semConexao += c.rfind("Sem conex\xE3o com o banco de dados ", 0) == 0;
    EXPECT_EQ(semConexao, 1) << Juntas();
    EXPECT_EQ(Lista(), (std::vector<std::string>{"a.xml Pendente", "b.xml Pendente"}));

    // Back: the settings are read once and the files import.
    inacessivel.Banco = banco;
    ASSERT_TRUE(t.dm->TentarConexao(inacessivel));
    t.janela.Limpar();
    Ciclo();
    EXPECT_TRUE(Caixas().empty()) << Juntas();
    EXPECT_EQ(Arquivos(entrada / "processados"), (std::vector<std::string>{"a.xml", "b.xml"}));
}

// Once read, the settings serve the whole run: a connection lost later does
// not turn valid files into "Com erro" (no false "Grupo inválido!").
TEST_F(DadosReais, ConfiguracoesLidasValemAposPerderAConexao) {
    Escrever("a.xml", Arquivo({Solicitacao({Protocolo("7301"), {"<grupo>Rotina</grupo>", "<grupo></grupo>"}})}));
    lista.AtualizarLista();
    ASSERT_EQ(Lista(), std::vector<std::string>{"a.xml Pendente"});
    TConfigBD inacessivel = t.dm->ConfigEmUso();
    inacessivel.Banco += ".nao-existe";
    ASSERT_FALSE(t.dm->TentarConexao(inacessivel));
    lista.AtualizarLista();
    EXPECT_EQ(Lista(), std::vector<std::string>{"a.xml Pendente"}) << Erros("a.xml");
}

}  // namespace
