#include "import/UBuscasExame.h"

#include "base/UTexto.h"
#include "base/UTipos.h"
#include "db/UDM.h"
#include "db/UExecBD.h"
#include "db/UPesquisaBD.h"
#include "import/UBuscaOuCriacao.h"

namespace {

// The first row's value of `coluna` as an integer, or 0 when the search
// failed or found nothing.
std::int32_t PrimeiroCodigo(TPesquisaBD& pesquisa, const std::string& coluna) {
    if (pesquisa.pesquisar() && !pesquisa.Resultado.Vazio())
        return VariantParaInteiro(pesquisa.Resultado.Campo(coluna));
    return 0;
}

}  // namespace

std::int32_t TBuscasExame::BuscarExame(const std::string& codigo) {
    TPesquisaBD pesquisa(dm_);
    pesquisa.Tabela = "exa_exames";
    pesquisa.Campos.push_back("exa_cod");
    pesquisa.Condicoes.emplace_back("exa_cod_vis", "=", TVariante(codigo));
    return PrimeiroCodigo(pesquisa, "exa_cod");
}

std::int32_t TBuscasExame::BuscarMaterial(std::int32_t exame, const std::string& material) {
    if (!material.empty()) {
        // The database's upper() on both sides, so that accented letters
        // match in any case; the text goes as a parameter. The blanks around
        // mat_dsc give the parameter the name mat_dsc1. Among the rows that
        // compare equal the lowest code is always the one taken, so that a
        // retry finds the line it wrote before.
        TCondicao condicao("upper( mat_dsc )", "=", TVariante(material));
        condicao.MaiusculasNoBanco = true;
        TBuscaOuCriacao busca(dm_, "mat_material", "mat_cod", condicao);
        TExecBD exec(dm_);
        exec.definirTabela("mat_material");
        exec.adicionar("mat_cod", std::int32_t{0}, true, true);
        exec.adicionar("mat_dsc", TVariante(material), false, false);
        return busca.BuscarOuCriar(exec);
    }
    TPesquisaBD pesquisa(dm_);
    pesquisa.Tabela = "mla_modelolaudo mla   inner join mla_mat mm on mm.mla_cod = mla.mla_cod";
    pesquisa.Campos.push_back("mm.mat_cod");
    pesquisa.Condicoes.emplace_back("mla.exa_cod = " + std::to_string(exame));
    pesquisa.Condicoes.emplace_back("mla.mla_pri = 1");
    const std::string ordem = "mm.mm_mat_pri desc";
    pesquisa.Ordens.push_back(TOrdem{ordem, ordem, false});
    pesquisa.Ordem = ordem;
    return PrimeiroCodigo(pesquisa, "mat_cod");
}

std::int32_t TBuscasExame::BuscarExamePedido(std::int32_t pedido, std::int32_t exame, std::int32_t material) {
    TPesquisaBD pesquisa(dm_);
    pesquisa.Tabela = "exp_examespedidos";
    pesquisa.Campos.push_back("exp_cod");
    pesquisa.Condicoes.emplace_back("ped_cod", "=", TVariante(pedido));
    pesquisa.Condicoes.emplace_back("exa_cod", "=", TVariante(exame));
    pesquisa.Condicoes.emplace_back("mat_cod", "=", TVariante(material));
    // Always the same line when there are several: the lowest code.
    pesquisa.Ordens.push_back(TOrdem{"exp_cod", "exp_cod", false});
    pesquisa.Ordem = "exp_cod";
    return PrimeiroCodigo(pesquisa, "exp_cod");
}
