#include "import/UImportarMedico.h"

#include <exception>
#include <string>

#include "base/UTipos.h"
#include "db/UDM.h"
#include "db/UExecBD.h"
#include "inbox/UBS.h"

namespace {

TVariante Texto(const std::string& s) { return TVariante(s); }
// The text, or NULL when it is empty.
TVariante TextoOuNulo(const std::string& s) { return s.empty() ? TVariante() : TVariante(s); }

}  // namespace

std::int32_t TImportadorMedico::ImportarMedico() {
    std::int32_t resultado = 0;
    TTabela& med = tabelas_.cdsMedicos;
    if (med.Vazia()) return 0;
    try {
        const std::string codigo = med.Texto("codigo");
        const std::string nascimento = med.Texto("data_nascimento");
        TExecBD exec(dm_);

        exec.definirTabela("med_medicos");
        exec.adicionar("med_cod", Texto(codigo), true, false);
        exec.adicionar("cpr_cod", Texto(med.Texto("conselho_sigla")), false, false);
        exec.adicionar("med_num_cpr", Texto(med.Texto("conselho_numero")), false, false);
        exec.adicionar("med_cpr_uf", TextoOuNulo(med.Texto("conselho_uf")), false, false);
        exec.adicionar("med_nom", Texto(med.Texto("nome")), false, false);
        exec.adicionar("med_lgr", Texto(med.Texto("logradouro")), false, false);
        exec.adicionar("med_num", Texto(med.Texto("numero")), false, false);
        exec.adicionar("med_cmp", Texto(med.Texto("complemento")), false, false);
        exec.adicionar("med_bai", Texto(med.Texto("bairro")), false, false);
        exec.adicionar("med_cid", Texto(med.Texto("cidade")), false, false);
        exec.adicionar("est_sig", TextoOuNulo(med.Texto("estado")), false, false);
        exec.adicionar("med_cep", Texto(FormatarCEP(med.Texto("cep"))), false, false);
        exec.adicionar("med_ema", Texto(med.Texto("email")), false, false);
        exec.adicionar("med_obs", Texto(med.Texto("observacao")), false, false);
        exec.adicionar("med_rg", Texto(med.Texto("rg")), false, false);
        exec.adicionar("med_cpf", Texto(FormatarCPF(med.Texto("cpf"))), false, false);
        exec.adicionar("med_dta_nas", EhData(nascimento) ? Texto(nascimento) : TVariante(), false, false);
        exec.adicionar("cbo_cod", Texto(med.Texto("especialidade_cbos")), false, false);
        if (!exec.salvar(true)) return 0;
        resultado = VariantParaInteiro(exec.valorCampo("med_cod"));

        // Phones: the stored ones go (committed, so that the saves below see
        // them gone), then the request's are inserted.
        exec.definirTabela("tfm_telefonemedico");
        exec.adicionar("med_cod", Texto(codigo), true, false);
        if (!exec.deletar(true)) return resultado;
        TTabela& tel = tabelas_.cdsTelefonesMedicos;
        for (tel.Primeiro(); !tel.Fim(); tel.Proximo()) {
            exec.definirTabela("tfm_telefonemedico");
            exec.adicionar("med_cod", TVariante(resultado), true, false);
            exec.adicionar("tfm_dsc", PrimeiroPreenchido({tel.Texto("descricao"), "Telefone"}), false, false);
            exec.adicionar("tfm_num", Texto(tel.Texto("numero")), true, false);
            exec.salvar(true);
        }
    } catch (const std::exception& e) {
        // Ends the import; the code read back so far stands, and the file
        // keeps the failure (it is not finished).
        dm_.RegistrarFalha(e.what(), e);
    }
    return resultado;
}
