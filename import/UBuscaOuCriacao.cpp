#include "import/UBuscaOuCriacao.h"

#include "base/UTexto.h"
#include "base/UTipos.h"
#include "db/UDM.h"
#include "db/UExecBD.h"

TBuscaOuCriacao::TBuscaOuCriacao(TDM& dm, std::string tabela, std::string coluna, TCondicao condicao)
    : dm_(dm), tabela_(std::move(tabela)), coluna_(std::move(coluna)), condicao_(std::move(condicao)) {}

TAchadoPorNome TBuscaOuCriacao::Buscar(bool esperarPendentes) {
    TPesquisaBD pesquisa(dm_);
    pesquisa.Tabela = tabela_;
    pesquisa.Campos.push_back(coluna_);
    pesquisa.Condicoes.push_back(condicao_);
    // Rows that compare equal: always the same one, the lowest code.
    pesquisa.Ordens.push_back(TOrdem{coluna_, coluna_, false});
    pesquisa.Ordem = coluna_;
    pesquisa.EsperarPendentes = esperarPendentes;
    if (!pesquisa.pesquisar()) return {true, std::nullopt};
    if (pesquisa.Resultado.Vazio()) return {};
    return {false, VariantParaInteiro(pesquisa.Resultado.Campo(coluna_))};
}

std::int32_t TBuscaOuCriacao::BuscarOuCriar(TExecBD& novo) {
    const TAchadoPorNome antes = Buscar();
    if (antes.falhou) return 0;
    if (antes.codigo) return *antes.codigo;

    novo.ZeroGeradoEhNovo = true;  // a stored row with the code 0 is never taken for a new one
    if (!novo.salvar(true)) return 0;
    const std::int32_t proprio = VariantParaInteiro(novo.valorCampo(coluna_));

    // Committed: every other copy that searches from now on sees this row.
    // The search waits for the rows other copies are still writing, so that
    // a lower code inserted a moment before is seen too.
    const TAchadoPorNome depois = Buscar(true);
    if (depois.falhou) return 0;
    if (!depois.codigo || *depois.codigo >= proprio) return proprio;

    // Another copy's row comes first: this one goes before anything refers
    // to it.
    novo.definirTabela(tabela_);
    novo.adicionar(coluna_, TVariante(proprio), true, false);
    novo.deletar(true);
    return *depois.codigo;
}
