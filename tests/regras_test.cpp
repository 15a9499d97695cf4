// Laboratory rules: due dates by business days or hours, holidays, exam
// prices for a plan, plan code by name.
#include <gtest/gtest.h>

#include "base/UErro.h"
#include "db/UDM.h"
#include "tests/support/UBancoTeste.h"

namespace {

class Regras : public ::testing::Test {
protected:
    void SetUp() override {
        t.banco.Executar(
            "insert into exa_exames (exa_cod, exa_tpo_prz, exa_dia_ent) values (1, 'D', 2);\n"
            "insert into exa_exames (exa_cod, exa_tpo_prz, exa_dia_ent) values (2, 'H', 36);\n"
            "insert into exa_exames (exa_cod, exa_tpo_prz, exa_dia_ent) values (3, 'd', 36);\n"
            "insert into exa_exames (exa_cod, exa_tpo_prz, exa_dia_ent) values (4, '', 36);\n"
            "insert into exa_exames (exa_cod, exa_tpo_prz, exa_dia_ent) values (5, 'D', 0);\n"
            "insert into exa_exames (exa_cod, exa_tpo_prz, exa_dia_ent) values (6, 'D', -1);\n"
            "insert into exa_exames (exa_cod, exa_tpo_prz, exa_dia_ent) values (7, null, null);\n"
            "insert into exa_exames (exa_cod, exa_tpo_prz, exa_dia_ent) values (8, 'D', 1);");
    }

    // Sets the non-working days (none: no settings row) and the holidays,
    // then starts a new data module: the settings are read once per run of
    // the program, so only a new one reads them afresh.
    void Preparar(const char* naoUteis, const std::string& feriados) {
        t.banco.Executar("delete from cbd_configuracoesbd;\ndelete from FER_FERIADOS;");
        if (naoUteis)
            t.banco.Executar("insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('GER_DiasNaoUteis', '" +
                             std::string(naoUteis) + "');");
        if (!feriados.empty()) t.banco.Executar(feriados);
        t.dm = std::make_unique<TDM>(t.janela, t.pasta);
        ASSERT_TRUE(t.dm->TentarConexao(t.banco.Config()));
    }

    TDMTeste t;
};

std::string Texto(const TVariante& v) {
    if (auto d = std::get_if<TDataHora>(&v)) return d->FormatarDataHora();
    return EhNulo(v) ? "nulo" : "?" + VariantParaTexto(v);
}

TEST_F(Regras, DataDeEntrega) {
    const TDataHora sexta = TDataHora::De(2024, 3, 1, 14, 30);  // a Friday
    const TDataHora domingo = TDataHora::De(2024, 3, 3, 10, 0);
    const std::string segundaFeriado = "insert into FER_FERIADOS (FER_DIA, FER_MES) values (4, 3);";
    struct Caso {
        const char* nome;
        const char* naoUteis;
        std::string feriados;
        int exame;
        TDataHora coleta;
        TDataHora esperado;
    };
    const Caso casos[] = {
        {"sexta + 2 dias uteis", "1,7", "", 1, sexta, TDataHora::De(2024, 3, 5, 14, 30)},
        {"segunda feriado", "1,7", segundaFeriado, 1, sexta, TDataHora::De(2024, 3, 6, 14, 30)},
        {"17 como 1,7", "17", "", 1, sexta, TDataHora::De(2024, 3, 5, 14, 30)},
        {"sem configuracao", nullptr, "", 1, sexta, TDataHora::De(2024, 3, 3, 14, 30)},
        {"sem configuracao, feriado no sabado", nullptr,
         "insert into FER_FERIADOS (FER_DIA, FER_MES) values (2, 3);", 1, sexta, TDataHora::De(2024, 3, 4, 14, 30)},
        {"quantidade 0 no domingo feriado", "1,7", "insert into FER_FERIADOS (FER_DIA, FER_MES) values (3, 3);", 5,
         domingo, domingo},
        {"quantidade negativa", "1,7", "", 6, domingo, domingo},
        {"exame inexistente: 5 dias uteis", "1,7", "", 999, sexta, TDataHora::De(2024, 3, 8, 14, 30)},
        {"horas", "1,7", segundaFeriado, 2, sexta, TDataHora::De(2024, 3, 3, 2, 30)},
        {"d minusculo conta horas", "1,7", "", 3, sexta, TDataHora::De(2024, 3, 3, 2, 30)},
        {"tipo vazio conta horas", "1,7", "", 4, sexta, TDataHora::De(2024, 3, 3, 2, 30)},
        {"tipo e quantidade nulos", "1,7", "", 7, sexta, sexta},
        {"feriado de outro ano vale", "1,7", "insert into FER_FERIADOS (FER_DIA, FER_MES) values (4, 3);", 8,
         TDataHora::De(2031, 3, 3, 8, 0), TDataHora::De(2031, 3, 5, 8, 0)},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nome);
        Preparar(c.naoUteis, c.feriados);
        EXPECT_EQ(Texto(t.dm->CalcularDataEntrega(c.exame, c.coleta)), c.esperado.FormatarDataHora());
    }
}

TEST_F(Regras, ColetaNulaNaoLeNada) {
    int comandos = 0;
    t.dm->AoExecutar = [&](const TDM::TRegistro&) { ++comandos; };
    EXPECT_TRUE(EhNulo(t.dm->CalcularDataEntrega(1, TNulo{})));
    EXPECT_EQ(comandos, 0);
}

TEST_F(Regras, ComandosDaDataDeEntregaEDoFeriado) {
    Preparar("1,7", "");
    std::vector<std::string> comandos;
    t.dm->AoExecutar = [&](const TDM::TRegistro& r) { comandos.push_back(r.sql); };
    t.dm->CalcularDataEntrega(8, TDataHora::De(2024, 3, 4, 9, 0));  // Monday + 1
    ASSERT_EQ(comandos.size(), 3u);
    EXPECT_EQ(comandos[0], " select   exa.exa_tpo_prz,   exa.exa_dia_ent from   exa_exames exa where   exa.exa_cod = 8");
    EXPECT_EQ(comandos[2], "SELECT FER_DIA\r\nFROM FER_FERIADOS\r\nWHERE FER_DIA = 05\r\n  AND FER_MES = 03\r\n");
}

TEST_F(Regras, Feriado) {
    Preparar("1,7", "insert into FER_FERIADOS (FER_DIA, FER_MES) values (25, 12);");
    EXPECT_TRUE(t.dm->EhFeriado(TDataHora::De(2024, 12, 25, 23, 59)));
    EXPECT_TRUE(t.dm->EhFeriado(TDataHora::De(1999, 12, 25)));
    EXPECT_FALSE(t.dm->EhFeriado(TDataHora::De(2024, 12, 24)));
    EXPECT_FALSE(t.dm->EhFeriado(TDataHora::De(2024, 11, 25)));
}

TEST_F(Regras, SemDiaUtilAContagemTermina) {
    Preparar("1,2,3,4,5,6,7", "");
    EXPECT_THROW(t.dm->CalcularDataEntrega(1, TDataHora::De(2024, 3, 1)), EErro);

    // Only Sundays work, and every date of the year is a holiday.
    std::string feriados;
    for (int mes = 1; mes <= 12; ++mes)
        for (int dia = 1; TDataHora::DataValida(2024, mes, dia); ++dia)
            feriados += "insert into FER_FERIADOS (FER_DIA, FER_MES) values (" + std::to_string(dia) + ", " +
                        std::to_string(mes) + ");\n";
    Preparar("234567", feriados);
    try {
        t.dm->CalcularDataEntrega(1, TDataHora::De(2024, 3, 1));
        FAIL() << "the count did not stop";
    } catch (const EErroBD&) {
        FAIL() << "database error";
    } catch (const EErro& e) {
        EXPECT_NE(std::string(e.what()).find("data de entrega do exame 1"), std::string::npos) << e.what();
    }
    // One working day is enough.
    t.banco.Executar("delete from FER_FERIADOS where FER_DIA = 10 and FER_MES = 3;");
    ASSERT_TRUE(t.dm->TentarConexao(t.banco.Config()));
    EXPECT_EQ(Texto(t.dm->CalcularDataEntrega(8, TDataHora::De(2024, 3, 1))), "10/03/2024 00:00:00");
}

TEST_F(Regras, ErroDoBancoChegaAoChamador) {
    Preparar("1,7", "");
    t.banco.Executar("drop table FER_FERIADOS;");
    EXPECT_THROW(t.dm->CalcularDataEntrega(1, TDataHora::De(2024, 3, 1)), EErroBD);
    EXPECT_TRUE(t.janela.caixas.empty());
}

class Precos : public ::testing::Test {
protected:
    void SetUp() override {
        t.banco.Executar(
            "insert into exa_exames (exa_cod, exa_cod_vis) values (1, 'HEM');\n"
            "insert into exa_exames (exa_cod, exa_cod_vis) values (2, 'GLI');\n"
            "insert into exa_exames (exa_cod, exa_cod_vis) values (3, 'URO');\n"
            "insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp) values (1, 'Real', 10, 'R', 10.0, 'S');\n"
            "insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp) values (2, 'Unidades', 20, 'C', 10.0, 'N');\n"
            "insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp) values (3, 'Vazio', 20, '', 10.0, 'S');\n"
            "insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (10, 1, 30.5, 4.0, 2.5);\n"
            "insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (20, 1, 99.0, 7.0, 2.5);\n"
            "insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (20, 3, 99.0, null, null);\n"
            "insert into cnvexa (exa_cod, cnv_cod, ce_cod_vis) values (1, 1, 'H-01');\n"
            "insert into cnvexa (exa_cod, cnv_cod, ce_cod_vis) values (1, 2, '');");
    }
    TDMTeste t;
};

TEST_F(Precos, ValorDoExameNoConvenio) {
    struct Caso {
        int exame, convenio;
        TExameConvenio esperado;
    };
    const Caso casos[] = {
        {1, 1, {true, "H-01", 30.5, 4.0}},  // money from the table, own code, second value
        {1, 2, {true, "HEM", 25.0, 0}},     // 2.5 units x 10.0; "N": no second value
        {1, 3, {true, "HEM", 25.0, 7.0}},   // empty kind also counts units
        {3, 3, {true, "URO", 0, 0}},        // null numbers read as 0
        {2, 1, {false, "", 0, 0}},          // not in the plan's table
        {1, 99, {false, "", 0, 0}},         // no such plan
    };
    for (const Caso& c : casos) {
        const TExameConvenio r = t.dm->BuscarValorExame(c.exame, c.convenio);
        SCOPED_TRACE("exame " + std::to_string(c.exame) + " convenio " + std::to_string(c.convenio));
        EXPECT_EQ(r.Encontrado, c.esperado.Encontrado);
        EXPECT_EQ(r.Codigo, c.esperado.Codigo);
        EXPECT_DOUBLE_EQ(r.Valor, c.esperado.Valor);
        EXPECT_DOUBLE_EQ(r.ValorCmp, c.esperado.ValorCmp);
    }
}

TEST_F(Precos, ComandoDoPreco) {
    std::vector<std::string> comandos;
    t.dm->AoExecutar = [&](const TDM::TRegistro& r) { comandos.push_back(r.sql); };
    t.dm->BuscarValorExame(12, 34);
    ASSERT_EQ(comandos.size(), 1u);
    EXPECT_EQ(comandos[0],
              " select   cnv.cnv_tvl, cnv.cnv_vch, cnv.cnv_usa_vlr_cmp,   eta.eta_vlr, eta.eta_vlr_cmp, eta.eta_qch,   "
              "ce.ce_cod_vis,  exa.exa_cod_vis from   cnv_convenios cnv   inner join eta_examestabela eta on "
              "eta.tab_cod = cnv.tab_cod   inner join exa_exames exa on exa.exa_cod = eta.exa_cod   left outer "
              "join cnvexa ce on (ce.exa_cod = eta.exa_cod)" + std::string(29, ' ') +
                  "and (ce.cnv_cod = cnv.cnv_cod) where   cnv.cnv_cod = 34   and eta.exa_cod = 12");
}

TEST_F(Precos, ErroDoComandoChegaAoChamador) {
    t.banco.Executar("drop table cnvexa;");
    EXPECT_THROW(t.dm->BuscarValorExame(1, 1), EErroBD);
}

TEST_F(Precos, CodigoDoConvenioPeloNome) {
    EXPECT_EQ(t.dm->BuscarCodigoConvenio("Unidades"), 2);
    EXPECT_EQ(t.dm->BuscarCodigoConvenio("unidades"), -1);
    EXPECT_EQ(t.dm->BuscarCodigoConvenio("Nenhum"), -1);
    EXPECT_TRUE(t.janela.caixas.empty());
    t.dm->Desconectar();  // the table is in use while this connection has read it
    t.banco.Executar("drop table cnvexa;\ndrop table cnv_convenios;");
    ASSERT_TRUE(t.dm->TentarConexao(t.banco.Config()));
    EXPECT_EQ(t.dm->BuscarCodigoConvenio("Unidades"), -1);
    ASSERT_EQ(t.janela.caixas.size(), 1u);
    EXPECT_EQ(t.janela.caixas[0].texto.rfind("Foi encontrado um erro durante a pesquisa.\r", 0), 0u);
}

}  // namespace
