// The import of a request file into a real laboratory database: one file that
// goes through the whole chain (patient, doctor, group, plans, exams,
// materials, order lines, prices, due dates), checked row by row in every
// table it touches, then imported a second time; and the short code of a new
// group.
#include "import/UProcessamento.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/UExecBD.h"
#include "import/UImportarGrupoConvenio.h"
#include "tests/UAmbienteImportacao.h"

namespace {

// The laboratory's catalogue for the request file pedido_completo.xml, and
// one row with the code 0 in each table whose new rows get generated codes:
// an import must never overwrite those.
const char* const kCatalogo = R"(
insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('GER_DiasNaoUteis', '1,7');
insert into cbd_configuracoesbd (cbd_dsc, cbd_vlr) values ('PED_GRUPOPADRAO', '1');
insert into FER_FERIADOS (FER_DIA, FER_MES) values (16, 3);
insert into grp_grupos (grp_cod, grp_cod_vis, grp_dsc) values (0, 'Zer', 'Grupo zero');
insert into grp_grupos (grp_cod, grp_cod_vis, grp_dsc) values (1, 'Rot', 'Rotina');
insert into exa_exames (exa_cod, exa_cod_vis, exa_tpo_prz, exa_dia_ent) values (10, 'HEMO', 'D', 2);
insert into exa_exames (exa_cod, exa_cod_vis, exa_tpo_prz, exa_dia_ent) values (11, 'GLI', 'H', 6);
insert into exa_exames (exa_cod, exa_cod_vis, exa_tpo_prz, exa_dia_ent) values (12, 'URI', 'D', 1);
insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp, cnv_usa_fat, cnv_usa_tiss, cnv_atv)
  values (0, 'Plano zero', 1, 'R', 0, 'N', 'S', 'S', 'S');
insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp, cnv_usa_fat, cnv_usa_tiss, cnv_atv)
  values (1, 'Particular', 1, 'R', 0, 'S', 'S', 'S', 'S');
insert into cnv_convenios (cnv_cod, cnv_nom, tab_cod, cnv_tvl, cnv_vch, cnv_usa_vlr_cmp, cnv_usa_fat, cnv_usa_tiss, cnv_atv)
  values (2, 'Unidades', 2, 'C', 0.5, 'N', 'S', 'S', 'S');
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 10, 18.50, 2.00, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 11, 9.80, 1.00, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (1, 12, 12.00, 1.50, 0);
insert into eta_examestabela (tab_cod, exa_cod, eta_vlr, eta_vlr_cmp, eta_qch) values (2, 10, 1, 3.00, 30);
insert into cnvexa (exa_cod, cnv_cod, ce_cod_vis) values (10, 1, '40304361');
insert into mat_material (mat_cod, mat_dsc) values (0, 'Material zero');
insert into mat_material (mat_cod, mat_dsc) values (1, 'SANGUE');
insert into mat_material (mat_cod, mat_dsc) values (2, 'Soro');
insert into mat_material (mat_cod, mat_dsc) values (3, 'Urina');
insert into mla_modelolaudo (mla_cod, exa_cod, mla_pri) values (1, 12, 1);
insert into mla_modelolaudo (mla_cod, exa_cod, mla_pri) values (2, 12, 0);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (1, 3, 1);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (1, 2, 2);
insert into mla_mat (mla_cod, mat_cod, mm_mat_pri) values (2, 1, 9);
insert into ped_pedidos (ped_cod, ped_cod_vis, ped_orc) values (0, 'ZERO', 'S');
insert into exp_examespedidos (exp_cod, ped_cod, exa_cod, mat_cod, exp_sta) values (0, 0, 10, 1, '9');
insert into cli_clientes (cli_cod, cli_tpo, cli_nom, cli_dta_cad) values (6001, 'J', 'Velho nome', '2020-01-01');
insert into tcl_telefonecliente (cli_cod, tcl_dsc, tcl_num) values (6001, 'Antigo', '111');
insert into cnc_convenioscliente (cli_cod, cnv_cod, cnc_mat) values (6001, 1, 'velha');
)";

// The rows with the code 0, as the catalogue wrote them.
const std::vector<std::string> kLinhasZero = {
    "0|Zer|Grupo zero", "0|Plano zero|S|S|S", "0|Material zero", "0|ZERO|S|<null>", "0|0|10|1|9"};

using namespace importacao_teste;

class Importacao : public AmbienteImportacao {
protected:
    Importacao() : AmbienteImportacao(kCatalogo) {}

    void SetUp() override {
        AmbienteImportacao::SetUp();
        t.dm->AoExecutar = [this](const TDM::TRegistro& r) {
            if (!r.commit) comandos.push_back(r.sql);
        };
        Copiar("pedido_completo.xml", "pedido_completo.xml");
    }

    std::vector<std::string> LinhasZero() {
        return {Linhas("select grp_cod, grp_cod_vis, grp_dsc from grp_grupos where grp_cod = 0")[0],
                Linhas("select cnv_cod, cnv_nom, cnv_usa_fat, cnv_usa_tiss, cnv_atv from cnv_convenios"
                       " where cnv_cod = 0")[0],
                Linhas("select mat_cod, mat_dsc from mat_material where mat_cod = 0")[0],
                Linhas("select ped_cod, ped_cod_vis, ped_orc, cli_cod from ped_pedidos where ped_cod = 0")[0],
                Linhas("select exp_cod, ped_cod, exa_cod, mat_cod, exp_sta from exp_examespedidos"
                       " where exp_cod = 0")[0]};
    }

    // Scans the inbox and imports its one file as the operator does (F8),
    // keeping the file in the list.
    void ImportarSelecionado() {
        lista.AtualizarLista();
        ASSERT_EQ(tp.cdsArquivos.Contar(), 1);
        ASSERT_EQ(tp.cdsArquivosstatusGetText(), "Pendente");
        t.janela.Limpar();
        t.janela.Responder(TResposta::Nao);
        proc.btnProcessarSelecionadoClick();
        std::string textos;
        for (const auto& c : t.janela.caixas) textos += c.texto + "\n";
        ASSERT_EQ(t.janela.caixas.size(), 1u) << textos;
        EXPECT_EQ(t.janela.caixas[0].texto, Cp("Arquivo processado com sucesso.\rDeseja removê-lo da lista?"));
        EXPECT_EQ(t.janela.caixas[0].icone, TIcone::Confirmacao);
        EXPECT_EQ(tp.cdsArquivosstatusGetText(), "Finalizado");
    }

    std::vector<std::string> comandos;
};

TEST_F(Importacao, ArquivoCompletoGravadoEmTodasAsTabelasEImportadoDeNovo) {
    const std::string hoje = TDataHora::Hoje().FormatarData();
    const std::string idade = std::to_string(
        (TDataHora::De(2026, 3, 13).Ms() - TDataHora::De(1990, 3, 5).Ms()) / TDataHora::MsPorDia);

    // ---- first import: collection dates of the exams ----
    config.DataColetaComDataPedido = false;
    ImportarSelecionado();

    // Requests in date and time order: 7001 (09:15) before 7002 (10:00).
    EXPECT_EQ(LinhasDoProcessamento(),
              (std::vector<std::string>{"cli_cod = 5001", "med_cod = 301", "grp_cod = 2", "cnv_cod = 1",
                                        "ped_cod = 1", "cli_cod = 6001", "med_cod = 0", "grp_cod = 1",
                                        "cnv_cod = 2", "ped_cod = 2"}));

    // Patients: a natural person inserted, a legal person updated.
    const std::string sqlClientes =
        "select cli_cod, cli_tpo, cli_nom, cli_rsp, cli_ema, cli_lgr, cli_num, cli_cmp, cli_bro, cli_cid,"
        " est_sig, cli_cep, cli_obs, cli_dta_cad from cli_clientes order by cli_cod";
    const std::vector<std::string> clientes = {
        Cp("5001|F|Ana Conceição||ana@exemplo.com.br|Rua das Acácias|145|Apto 32|Centro|Taubaté|SP|12245-520|"
           "Alérgica|") + hoje,
        Cp("6001|J|Construtora Vale Ltda|Carlos|rh@vale.com.br|Av. Brasil|500||Industrial|Jacareí||-||") + hoje};
    EXPECT_EQ(Linhas(sqlClientes), clientes);
    EXPECT_EQ(Linhas("select count(*) from cli_clientes where est_sig is null"), std::vector<std::string>{"0"});
    const std::string sqlPessoas =
        "select cli_cod, cpf_sex, cpf_dta_nas, cpf_cpf, cpf_rg, cpf_car_nac_sau from cpf_clientepessoafisica";
    const std::vector<std::string> pessoas = {"5001|F|05/03/1990|123.456.789-09|23.456.789-0|898001160660007"};
    EXPECT_EQ(Linhas(sqlPessoas), pessoas);
    const std::string sqlJuridicas = "select cli_cod, cpj_raz_soc, cpj_cnp from cpj_clientepessoajuridica";
    const std::vector<std::string> juridicas = {"6001|Construtora Vale Ltda|12345678000199"};
    EXPECT_EQ(Linhas(sqlJuridicas), juridicas);

    // Phones and plan link exactly those of the request: the stored phone
    // and link of 6001 are gone; 5001 holds the second of its two new plans.
    const std::string sqlTelefones =
        "select cli_cod, tcl_dsc, tcl_num from tcl_telefonecliente order by cli_cod, tcl_num";
    const std::vector<std::string> telefones = {"5001|Telefone|(12) 3921-0055", "5001|Celular|(12) 98811-4477"};
    EXPECT_EQ(Linhas(sqlTelefones), telefones);
    const std::string sqlVinculos = "select cli_cod, cnv_cod, cnc_mat from cnc_convenioscliente order by cli_cod";
    const std::vector<std::string> vinculos = {"5001|4|B-2"};
    EXPECT_EQ(Linhas(sqlVinculos), vinculos);
    const std::string sqlPlanos =
        "select cnv_cod, cnv_nom, tab_cod, cnv_usa_fat, cnv_usa_tiss, cnv_atv from cnv_convenios"
        " where cnv_cod > 2 order by cnv_cod";
    const std::vector<std::string> planos = {"3|Plano Novo A|<null>|N|N|S", "4|Plano Novo B|<null>|N|N|S"};
    EXPECT_EQ(Linhas(sqlPlanos), planos);

    // The doctor: empty state written as NULL, his one phone.
    const std::string sqlMedicos =
        "select med_cod, cpr_cod, med_num_cpr, med_cpr_uf, med_nom, med_lgr, med_num, med_cmp, med_bai, med_cid,"
        " est_sig, med_cep, med_ema, med_obs, med_rg, med_cpf, med_dta_nas, cbo_cod from med_medicos";
    const std::vector<std::string> medicos = {
        Cp("301|CRM|104522|SP|Dr. João Simões|Av. Nove de Julho|1200|Sala 4|Vila Adyana|São José dos Campos|"
           "<null>|12243-000|consultorio@exemplo.com.br|Plantão|11.222.333|987.654.321-00|17/08/1971|225125")};
    EXPECT_EQ(Linhas(sqlMedicos), medicos);
    const std::string sqlTelefonesMedico = "select med_cod, tfm_dsc, tfm_num from tfm_telefonemedico";
    const std::vector<std::string> telefonesMedico = {Cp("301|Consultório|(12) 3922-1100")};
    EXPECT_EQ(Linhas(sqlTelefonesMedico), telefonesMedico);

    // The new group with its short code; the other request took the default
    // group 1.
    const std::string sqlGrupos = "select grp_cod, grp_cod_vis, grp_dsc from grp_grupos where grp_cod > 0 order by 1";
    const std::vector<std::string> grupos = {"1|Rot|Rotina", "2|HoSaCa|Hospital Santa Casa"};
    EXPECT_EQ(Linhas(sqlGrupos), grupos);

    // Materials: "sangue" found as SANGUE, the text with a quote and a
    // semicolon created as given, the empty one taken from the report model.
    const std::string sqlMateriais = "select mat_cod, mat_dsc from mat_material where mat_cod > 3";
    const std::vector<std::string> materiais = {Cp("4|Saliva 'Ácida'; drop")};
    EXPECT_EQ(Linhas(sqlMateriais), materiais);

    // Orders.
    const std::string sqlPedidos =
        "select ped_cod, ped_cod_vis, ped_dat, ped_hor, ped_ida, ped_orc, cli_cod, ped_vlr_tot_exa,"
        " ped_vlr_cob_cli, ped_vlr_des_cli, ped_vlr_tot_cli, ped_vlr_pgo, cnv_cod, grp_cod, ped_mat_cnv,"
        " ped_vnc_cnv, med_cod, ped_obs, ped_fat, ped_cod_ace, ped_obs_lau, ped_cnv_cob, ped_cnv_des,"
        " ped_num_prn, ped_vlr_tot_cmp, ped_pub_web, ped_opc_lau_imp_rg, ped_opc_lau_imp_cpf"
        " from ped_pedidos where ped_cod > 0 order by ped_cod";
    EXPECT_EQ(Linhas(sqlPedidos),
              (std::vector<std::string>{
                  "1|7001|13/03/2026|09:15:00|" + idade +
                      "|N|5001|40,3|10,5|1,5|9|9|1|2|M-77|12/2027|301|Jejum de 12 horas|N|0007|Urgente|0|0||4,5|N|S|N",
                  "2|7002|13/03/2026|10:00:00|40|N|6001|15|0|0|0|0|2|1|U-9|01/2028|<null>||N|ABC123||80|5||0|N|N|S"}));

    // Order lines: HEMO at the plan's own code with the second value, GLI
    // collected at midnight (no collection, no due date), the unknown exam
    // left out, URI without collection; HEMO by units (30 x 0.5) on 7002.
    // Due dates count business days past the weekend and the holiday of
    // 16/03, or hours.
    const std::string sqlLinhas =
        "select exp_cod, ped_cod, exa_cod, mat_cod, exp_cod_tab, exp_vlr, exp_vlr_cmp, exp_mat, exp_col_dat,"
        " exp_col_hor, exp_dat_ent, exp_sta, exp_imp_mtr, exp_lib from exp_examespedidos where exp_cod > 0"
        " order by exp_cod";
    EXPECT_EQ(Linhas(sqlLinhas),
              (std::vector<std::string>{
                  "1|1|10|1|40304361|18,5|2|S|13/03/2026|07:30:00|18/03/2026 07:30:00|2|N|N",
                  "2|1|11|4|GLI|9,8|1|S|<null>|<null>|<null>|2|N|N",
                  "3|1|12|2|URI|12|1,5|S|<null>|<null>|<null>|2|N|N",
                  "4|2|10|1|HEMO|15|0|S|13/03/2026|10:20:00|18/03/2026 10:20:00|2|N|N"}));
    EXPECT_EQ(LinhasZero(), kLinhasZero);

    // The material text travelled as a parameter, never in a statement.
    for (const std::string& sql : comandos) EXPECT_EQ(sql.find("Saliva"), std::string::npos) << sql;

    // ---- second import: collection dates of the request ----
    config.DataColetaComDataPedido = true;
    sorteado = 42;
    ImportarSelecionado();

    // Same codes, no new group, plan, material, order or line.
    const std::vector<std::string> log = LinhasDoProcessamento();
    ASSERT_EQ(log.size(), 20u);
    EXPECT_EQ(std::vector<std::string>(log.begin() + 10, log.end()),
              (std::vector<std::string>{"cli_cod = 5001", "med_cod = 301", "grp_cod = 2", "cnv_cod = 1",
                                        "ped_cod = 1", "cli_cod = 6001", "med_cod = 0", "grp_cod = 1",
                                        "cnv_cod = 2", "ped_cod = 2"}));
    EXPECT_EQ(Linhas(sqlClientes), clientes);
    EXPECT_EQ(Linhas(sqlPessoas), pessoas);
    EXPECT_EQ(Linhas(sqlJuridicas), juridicas);
    EXPECT_EQ(Linhas(sqlTelefones), telefones);
    EXPECT_EQ(Linhas(sqlVinculos), vinculos);
    EXPECT_EQ(Linhas(sqlPlanos), planos);
    EXPECT_EQ(Linhas(sqlMedicos), medicos);
    EXPECT_EQ(Linhas(sqlTelefonesMedico), telefonesMedico);
    EXPECT_EQ(Linhas(sqlGrupos), grupos);
    EXPECT_EQ(Linhas(sqlMateriais), materiais);
    EXPECT_EQ(Linhas("select count(*) from cnv_convenios"), std::vector<std::string>{"5"});
    EXPECT_EQ(Linhas("select count(*) from ped_pedidos"), std::vector<std::string>{"3"});
    // The order whose request gives no access code keeps the one drawn at
    // its first import (handed to the patient): none is drawn again.
    EXPECT_EQ(Linhas("select ped_cod_ace from ped_pedidos where ped_cod > 0 order by ped_cod"),
              (std::vector<std::string>{"0007", "ABC123"}));
    // Every line now collected at the request's date and time.
    EXPECT_EQ(Linhas(sqlLinhas),
              (std::vector<std::string>{
                  "1|1|10|1|40304361|18,5|2|S|13/03/2026|09:15:00|18/03/2026 09:15:00|2|N|N",
                  "2|1|11|4|GLI|9,8|1|S|13/03/2026|09:15:00|13/03/2026 15:15:00|2|N|N",
                  "3|1|12|2|URI|12|1,5|S|13/03/2026|09:15:00|17/03/2026 09:15:00|2|N|N",
                  "4|2|10|1|HEMO|15|0|S|13/03/2026|10:00:00|18/03/2026 10:00:00|2|N|N"}));
    EXPECT_EQ(Linhas("select ped_vlr_tot_exa, ped_vlr_tot_cmp from ped_pedidos where ped_cod > 0 order by 1"),
              (std::vector<std::string>{"15|0", "40,3|4,5"}));
    EXPECT_EQ(LinhasZero(), kLinhasZero);
}

// The guard the importers rely on: with ZeroGeradoEhNovo a generated key of 0
// inserts a new row even though a row with the code 0 exists; the code drawn
// stays in the column, so saving again updates the new row.
TEST(LinhaDeCodigoZero, ChaveGeradaZeroInsereSemTocarNaLinhaZero) {
    TDMTeste t;
    t.banco.Executar("insert into grp_grupos (grp_cod, grp_cod_vis, grp_dsc) values (0, 'Zer', 'Grupo zero');");
    TExecBD w(*t.dm);
    w.ZeroGeradoEhNovo = true;
    w.definirTabela("grp_grupos");
    w.adicionar("grp_cod", 0, true, true);
    w.adicionar("grp_cod_vis", "Nov");
    w.adicionar("grp_dsc", "Novo");
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(w.valorCampo("grp_cod"), TVariante(1));
    w.Campos[2].Valor = "Novo outra vez";
    ASSERT_TRUE(w.salvar(true));
    EXPECT_EQ(t.banco.Valor("select list(grp_cod || ':' || grp_dsc, ',')"
                            " from (select * from grp_grupos order by grp_cod)"),
              "0:Grupo zero,1:Novo outra vez");
    EXPECT_TRUE(t.janela.caixas.empty());
}

// Short codes of new groups.
TEST(SiglaGrupo, PrimeirasLetrasDasPalavras) {
    const struct {
        const char* descricao;
        const char* sigla;
    } casos[] = {
        {"Hospital Santa Casa", "HoSaCa"},
        {"Particular", "Par"},
        {"RX", "RX"},
        {"", ""},
        {"   ", ""},
        {"  Posto\t de  Saude ", "PodeSa"},  // runs of blanks and tabs are one separator
        {"Clinica A", "ClA"},                 // a one-letter word gives its letter
        {"\"Santa Casa\" Hospital", "SaHo"},  // a quoted part is one word
        {" Central", " Ce"},                  // one word: the description's own first three
    };
    for (const auto& c : casos)
        EXPECT_EQ(TImportadorGrupoConvenio::SiglaGrupo(c.descricao), c.sigla) << "[" << c.descricao << "]";
}

}  // namespace
