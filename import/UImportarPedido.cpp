#include "import/UImportarPedido.h"

#include <cmath>
#include <exception>
#include <memory>
#include <random>
#include <string>
#include <utility>

#include "base/UTipos.h"
#include "db/UDM.h"
#include "db/UExecBD.h"
#include "db/UPesquisaBD.h"
#include "import/UBuscasExame.h"
#include "inbox/UBS.h"

namespace {

TVariante Texto(const std::string& s) { return TVariante(s); }

TImportadorPedido::TSorteio SorteioPadrao() {
    auto gerador = std::make_shared<std::mt19937>(std::random_device{}());
    return [gerador]() { return std::uniform_int_distribution<int>(0, 999)(*gerador); };
}

// A price rounded to cents, as the NUMERIC(15,2) columns store it.
double EmCentavos(double valor) { return std::round(valor * 100.0) / 100.0; }

// The value of a date or time column as a date-time; a missing one reads as
// zero.
TDataHora DataOuZero(const TTabela& tabela, const std::string& coluna) {
    return tabela.Nulo(coluna) ? TDataHora() : tabela.Data(coluna);
}

}  // namespace

TImportadorPedido::TImportadorPedido(TDM& dm, TTabelasPedido& tabelas, const TConfig& config, TSorteio sorteio)
    : dm_(dm), tabelas_(tabelas), config_(config), sorteio_(sorteio ? std::move(sorteio) : SorteioPadrao()) {}

std::int32_t TImportadorPedido::ImportarPedido(std::int32_t cliente, std::int32_t medico, std::int32_t grupo,
                                               std::int32_t convenio) {
    std::int32_t resultado = 0;
    try {
        TTabela& ped = tabelas_.cdsPedidos;
        const std::string protocolo = ped.Texto("protocolo");

        // 1. The order, found by its visible code.
        std::int32_t achado = 0;
        std::string acessoGuardado;  // the found order's access code
        {
            TPesquisaBD pesquisa(dm_);
            pesquisa.Tabela = "ped_pedidos";
            pesquisa.Campos.push_back("ped_cod");
            pesquisa.Campos.push_back("ped_cod_ace");
            pesquisa.Condicoes.emplace_back("ped_cod_vis", "=", Texto(protocolo));
            // A search that failed says nothing about the order: inserting
            // one would make a second order with the same protocol. The
            // request's import stops here (the failure is noted).
            if (!pesquisa.pesquisar()) return 0;
            if (!pesquisa.Resultado.Vazio()) {
                achado = VariantParaInteiro(pesquisa.Resultado.Campo("ped_cod"));
                const TVariante acesso = pesquisa.Resultado.Campo("ped_cod_ace");
                if (!EhNulo(acesso)) acessoGuardado = VariantParaTexto(acesso);
            }
        }
        resultado = achado;
        const bool existe = achado > 0;

        // 2. The order row. An order written before keeps what was handed
        // out or done with it since: its access code (printed for the
        // patient) unless the request gives one, and the laboratory's flags
        // ped_fat (billed) and ped_pub_web (published).
        const std::string acessoDoArquivo = ped.Texto("codigo_acesso");
        const bool manterAcesso = existe && acessoDoArquivo.empty() && !acessoGuardado.empty();
        const TVariante codigoAcesso =
            manterAcesso ? TVariante()
                         : PrimeiroPreenchido({acessoDoArquivo, CompletarEsquerda(std::to_string(sorteio_()), 4, '0')});
        auto textoOuZero = [&](const std::string& coluna) {
            const std::string t = ped.Texto(coluna);
            return Texto(t.empty() ? std::string("0") : t);
        };
        auto simNao = [&](const std::string& coluna) { return Texto(ped.Texto(coluna) == "S" ? "S" : "N"); };

        TExecBD exec(dm_);

        exec.ZeroGeradoEhNovo = true;  // a stored row with the code 0 is never taken for a new one
        exec.definirTabela("ped_pedidos");
        exec.adicionar("ped_cod", TVariante(achado), true, true);
        exec.adicionar("ped_cod_vis", Texto(protocolo), false, false);
        exec.adicionar("ped_dat", ped.Nulo("data") ? TVariante() : TVariante(ped.Data("data")), false, false);
        exec.adicionar("ped_hor", ped.Nulo("horario") ? TVariante() : TVariante(ped.Data("horario")), false,
                            false);
        exec.adicionar("ped_ida", Texto(ped.Texto("idade_paciente")), false, false);
        exec.adicionar("ped_orc", Texto("N"), false, false);
        exec.adicionar("cli_cod", TVariante(cliente), false, false);
        exec.adicionar("ped_vlr_tot_exa", Texto(ped.Texto("valor_total_exames")), false, false);
        exec.adicionar("ped_vlr_cob_cli", Texto(ped.Texto("valor_cobrar_paciente")), false, false);
        exec.adicionar("ped_vlr_des_cli", Texto(ped.Texto("valor_desconto_paciente")), false, false);
        exec.adicionar("ped_vlr_tot_cli", Texto(ped.Texto("valor_total_paciente")), false, false);
        exec.adicionar("ped_vlr_pgo", Texto(ped.Texto("valor_pago_paciente")), false, false);
        exec.adicionar("cnv_cod", TVariante(convenio), false, false);
        exec.adicionar("grp_cod", TVariante(grupo), false, false);
        exec.adicionar("ped_mat_cnv", Texto(ped.Texto("convenio_matricula")), false, false);
        exec.adicionar("ped_vnc_cnv", Texto(ped.Texto("convenio_vencimento")), false, false);
        exec.adicionar("med_cod", medico > 0 ? TVariante(medico) : TVariante(), false, false);
        exec.adicionar("ped_obs", Texto(ped.Texto("observacao_protocolo")), false, false);
        if (!existe) exec.adicionar("ped_fat", Texto("N"), false, false);
        if (!manterAcesso) exec.adicionar("ped_cod_ace", codigoAcesso, false, false);
        exec.adicionar("ped_obs_lau", Texto(ped.Texto("observacao_laudo")), false, false);
        exec.adicionar("ped_cnv_cob", textoOuZero("convenio_cobertura"), false, false);
        exec.adicionar("ped_cnv_des", textoOuZero("convenio_desconto"), false, false);
        exec.adicionar("ped_num_prn", Texto(""), false, false);
        exec.adicionar("ped_vlr_tot_cmp", TVariante(std::int32_t{0}), false, false);
        if (!existe) exec.adicionar("ped_pub_web", Texto("N"), false, false);
        exec.adicionar("ped_opc_lau_imp_rg", simNao("imprimir_rg"), false, false);
        exec.adicionar("ped_opc_lau_imp_cpf", simNao("imprimir_cpf"), false, false);
        if (!exec.salvar(true)) return achado;

        // 3. The order's code.
        resultado = VariantParaInteiro(exec.valorCampo("ped_cod"));
        double totalExames = 0;
        double totalCmp = 0;

        // 4. One line per exam the laboratory knows.
        TBuscasExame buscas(dm_);
        TTabela& exa = tabelas_.cdsExames;
        const bool dataDoPedido = config_.DataColetaComDataPedido;
        for (exa.Primeiro(); !exa.Fim(); exa.Proximo()) {
            const std::int32_t exame = buscas.BuscarExame(exa.Texto("codigo"));
            const TExameConvenio preco = dm_.BuscarValorExame(exame, convenio);
            if (exame <= 0) continue;
            const std::size_t falhasAntes = dm_.Falhas().size();
            const std::int32_t material = buscas.BuscarMaterial(exame, exa.Texto("material"));
            // A material that could not be looked up or created gets no line:
            // one written with the material 0 would sit beside the line that
            // the retry writes with the material found.
            if (dm_.Falhas().size() > falhasAntes) continue;
            const std::int32_t linha = buscas.BuscarExamePedido(resultado, exame, material);

            const TDataHora data = dataDoPedido ? DataOuZero(ped, "data") : DataOuZero(exa, "coleta_data");
            const TDataHora hora = dataDoPedido ? DataOuZero(ped, "horario") : DataOuZero(exa, "coleta_horario");
            TVariante dataColeta;
            TVariante horaColeta;
            TVariante dataHoraColeta;
            if (data.Ms() != 0 && hora.Ms() != 0) {
                dataColeta = data.ParteData();
                horaColeta = hora.ParteHora();
                dataHoraColeta = data.ParteData().MaisMs(hora.ParteHora().Ms());
            }
            const TVariante entrega = dm_.CalcularDataEntrega(exame, dataHoraColeta);
            // The line stores cents; the totals add the values as stored.
            const double valor = EmCentavos(preco.Valor);
            const double valorCmp = EmCentavos(preco.ValorCmp);

            exec.definirTabela("exp_examespedidos");
            exec.adicionar("ped_cod", TVariante(resultado), true, false);
            exec.adicionar("exp_cod", TVariante(linha), true, true);
            exec.adicionar("exa_cod", TVariante(exame), true, false);
            exec.adicionar("mat_cod", TVariante(material), true, false);
            exec.adicionar("exp_cod_tab", Texto(preco.Codigo), false, false);
            exec.adicionar("exp_vlr", TVariante(valor), false, false);
            exec.adicionar("exp_vlr_cmp", TVariante(valorCmp), false, false);
            exec.adicionar("exp_mat", Texto("S"), false, false);
            exec.adicionar("exp_col_dat", dataColeta, false, false);
            exec.adicionar("exp_col_hor", horaColeta, false, false);
            exec.adicionar("exp_dat_ent", entrega, false, false);
            // A line written before keeps the laboratory's progress on it:
            // its status, whether its label was printed and whether its
            // result was released.
            if (linha <= 0) {
                exec.adicionar("exp_sta", Texto("2"), false, false);
                exec.adicionar("exp_imp_mtr", Texto("N"), false, false);
                exec.adicionar("exp_lib", Texto("N"), false, false);
            }
            if (exec.salvar(true)) {
                totalExames += valor;
                totalCmp += valorCmp;
            }
        }

        // 5. The totals of the lines saved now.
        exec.definirTabela("ped_pedidos");
        exec.adicionar("ped_cod", TVariante(resultado), true, false);
        exec.adicionar("ped_vlr_tot_exa", TVariante(EmCentavos(totalExames)), false, false);
        exec.adicionar("ped_vlr_tot_cmp", TVariante(EmCentavos(totalCmp)), false, false);
        exec.salvar(true);
    } catch (const EErroDataEntrega& e) {
        // The laboratory's calendar leaves no day to count: every order would
        // end here, so the operator is told once per run.
        dm_.RegistrarFalha(e.what(), e);
        if (!avisouDataEntrega_) {
            avisouDataEntrega_ = true;
            dm_.Janela().Mensagem(e.what(), TIcone::Erro, TBotoes::OK);
        }
    } catch (const std::exception& e) {
        // Ends the import of this order; the code set so far stands, and the
        // file keeps the failure (it is not finished).
        dm_.RegistrarFalha(e.what(), e);
    }
    return resultado;
}

void TImportadorPedido::NovaExecucao() { avisouDataEntrega_ = false; }
