#include "import/UImportarPaciente.h"

#include <exception>
#include <string>

#include "base/UTipos.h"
#include "db/UDM.h"
#include "db/UExecBD.h"
#include "import/UImportarGrupoConvenio.h"
#include "inbox/UBS.h"

namespace {

TVariante Texto(const std::string& s) { return TVariante(s); }

}  // namespace

std::int32_t TImportadorPaciente::ImportarPaciente() {
    std::int32_t resultado = 0;
    try {
        TTabela& pac = tabelas_.cdsPacientes;
        const std::string codigo = pac.Texto("codigo");
        TExecBD exec(dm_);
        exec.ZeroGeradoEhNovo = true;  // a stored row with the code 0 is never taken for a new one

        // 1. The client row.
        exec.definirTabela("cli_clientes");
        exec.adicionar("cli_cod", Texto(codigo), true, false);
        exec.adicionar("cli_tpo", Texto(pac.Texto("tipo_pessoa")), false, false);
        exec.adicionar("cli_nom", Texto(pac.Texto("nome")), false, false);
        exec.adicionar("cli_rsp", Texto(pac.Texto("responsavel")), false, false);
        exec.adicionar("cli_ema", Texto(pac.Texto("email")), false, false);
        exec.adicionar("cli_lgr", Texto(pac.Texto("logradouro")), false, false);
        exec.adicionar("cli_num", Texto(pac.Texto("numero")), false, false);
        exec.adicionar("cli_cmp", Texto(pac.Texto("complemento")), false, false);
        exec.adicionar("cli_bro", Texto(pac.Texto("bairro")), false, false);
        exec.adicionar("cli_cid", Texto(pac.Texto("cidade")), false, false);
        exec.adicionar("est_sig", Texto(pac.Texto("estado")), false, false);
        exec.adicionar("cli_cep", Texto(FormatarCEP(pac.Texto("cep"))), false, false);
        exec.adicionar("cli_obs", Texto(pac.Texto("observacao")), false, false);
        exec.adicionar("cli_dta_cad", TVariante(TDataHora::Hoje()), false, false);
        if (!exec.salvar(true)) return 0;
        resultado = VariantParaInteiro(exec.valorCampo("cli_cod"));

        // 2. The person row; its outcome does not change what follows.
        const std::string tipo = pac.Texto("tipo_pessoa");
        if (tipo == "F") {
            exec.definirTabela("cpf_clientepessoafisica");
            exec.adicionar("cli_cod", Texto(codigo), true, false);
            exec.adicionar("cpf_sex", Texto(pac.Texto("sexo")), false, false);
            exec.adicionar("cpf_dta_nas", Texto(pac.Texto("data_nascimento")), false, false);
            exec.adicionar("cpf_cpf", Texto(FormatarCPF(pac.Texto("cpf_cnpj"))), false, false);
            exec.adicionar("cpf_rg", Texto(pac.Texto("rg")), false, false);
            exec.adicionar("cpf_car_nac_sau", Texto(pac.Texto("cartao_nacional_saude")), false, false);
            exec.salvar(true);
        } else if (tipo == "J") {
            exec.definirTabela("cpj_clientepessoajuridica");
            exec.adicionar("cli_cod", Texto(codigo), true, false);
            exec.adicionar("cpj_raz_soc", Texto(pac.Texto("nome")), false, false);
            exec.adicionar("cpj_cnp", Texto(pac.Texto("cpf_cnpj")), false, false);
            exec.salvar(true);
        }

        // 3. Phones: the stored ones go (committed, so that the saves below
        // see them gone), then the request's are inserted.
        exec.definirTabela("tcl_telefonecliente");
        exec.adicionar("cli_cod", Texto(codigo), true, false);
        if (exec.deletar(true)) {
            TTabela& tel = tabelas_.cdsTelefones;
            for (tel.Primeiro(); !tel.Fim(); tel.Proximo()) {
                exec.definirTabela("tcl_telefonecliente");
                exec.adicionar("cli_cod", Texto(codigo), true, false);
                exec.adicionar("tcl_dsc", PrimeiroPreenchido({tel.Texto("descricao"), "Telefone"}), false, false);
                exec.adicionar("tcl_num", Texto(tel.Texto("numero")), true, false);
                exec.salvar(true);
            }
        }

        // 4. The insurance link, one row per patient: each plan of the request
        // replaces the one saved before it.
        exec.definirTabela("cnc_convenioscliente");
        exec.adicionar("cli_cod", Texto(codigo), true, false);
        if (!exec.deletar(true)) return resultado;
        TTabela& cnv = tabelas_.cdsConvenios;
        for (cnv.Primeiro(); !cnv.Fim(); cnv.Proximo()) {
            const std::string nome = cnv.Texto("nome");
            // Found or created as by the request's own plan, so that
            // workstations creating it at once end with one row.
            const std::int32_t plano = TImportadorGrupoConvenio::BuscarOuCriarConvenio(dm_, nome);
            // A code below 1 names no plan: no link to a plan that does not exist.
            if (plano < 1) continue;
            exec.definirTabela("cnc_convenioscliente");
            exec.adicionar("cli_cod", Texto(codigo), true, false);
            exec.adicionar("cnv_cod", TVariante(plano), false, false);
            exec.adicionar("cnc_mat", Texto(cnv.Texto("matricula")), false, false);
            exec.salvar(true);
        }
    } catch (const std::exception& e) {
        // Ends the import; the code read back so far stands, and the file
        // keeps the failure (it is not finished).
        dm_.RegistrarFalha(e.what(), e);
    }
    return resultado;
}
