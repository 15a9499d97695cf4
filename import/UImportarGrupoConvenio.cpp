#include "import/UImportarGrupoConvenio.h"

#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "app/UTipos.h"
#include "db/UDM.h"
#include "db/UExecBD.h"
#include "db/UPesquisaBD.h"
#include "inbox/UBS.h"

namespace {

// The outcome of a one-column search on `tabela` where `campo` equals
// `valor`: the first row's code, none when nothing was found, or a failed
// search (the query builder has shown why and noted the failure). A search
// that failed says nothing about the row: nothing may be created then, or a
// second row with the same name would be.
struct TBusca {
    bool falhou = false;
    std::optional<std::int32_t> codigo;
};

TBusca BuscarCodigo(TDM& dm, const std::string& tabela, const std::string& coluna, const std::string& campo,
                    const std::string& valor) {
    TPesquisaBD pesquisa(dm);
    pesquisa.Tabela = tabela;
    pesquisa.Campos.push_back(coluna);
    pesquisa.Condicoes.emplace_back(campo, "=", TVariante(valor));
    if (!pesquisa.pesquisar()) return {true, std::nullopt};
    if (pesquisa.Resultado.Vazio()) return {};
    return {false, VariantParaInteiro(pesquisa.Resultado.Campo(coluna))};
}

}  // namespace

std::int32_t TImportadorGrupoConvenio::ImportarGrupo() {
    std::int32_t resultado = 0;
    const std::string grupo = tabelas_.cdsPedidos.Texto("grupo");
    if (grupo.empty())
        return LerInteiro(dm_.BuscarGrupoPadrao()).value_or(0);
    try {
        const TBusca achado = BuscarCodigo(dm_, "grp_grupos", "grp_cod", "grp_dsc", grupo);
        if (achado.falhou) return 0;
        if (achado.codigo) return *achado.codigo;
        TExecBD exec(dm_);
        exec.ZeroGeradoEhNovo = true;  // a stored row with the code 0 is never taken for a new one
        exec.definirTabela("grp_grupos");
        exec.adicionar("grp_cod", std::int32_t{0}, true, true);
        exec.adicionar("grp_cod_vis", SiglaGrupo(grupo), false, false);
        exec.adicionar("grp_dsc", grupo, false, false);
        if (exec.salvar(true)) resultado = VariantParaInteiro(exec.valorCampo("grp_cod"));
    } catch (const std::exception& e) {
        // The code set so far stands; the file keeps the failure.
        dm_.RegistrarFalha(e.what(), e);
    }
    return resultado;
}

std::int32_t TImportadorGrupoConvenio::ImportarConvenio() {
    std::int32_t resultado = 0;
    const std::string nome = tabelas_.cdsPedidos.Texto("convenio_nome");
    try {
        const TBusca achado = BuscarCodigo(dm_, "cnv_convenios", "cnv_cod", "cnv_nom", nome);
        if (achado.falhou) return 0;
        if (achado.codigo) return *achado.codigo;
        TExecBD exec(dm_);
        exec.ZeroGeradoEhNovo = true;  // a stored row with the code 0 is never taken for a new one
        exec.definirTabela("cnv_convenios");
        exec.adicionar("cnv_cod", std::int32_t{0}, true, true);
        exec.adicionar("cnv_nom", nome, false, false);
        exec.adicionar("cnv_usa_fat", std::string("N"), false, false);
        exec.adicionar("cnv_usa_tiss", std::string("N"), false, false);
        exec.adicionar("cnv_atv", std::string("S"), false, false);
        if (exec.salvar(true)) resultado = VariantParaInteiro(exec.valorCampo("cnv_cod"));
    } catch (const std::exception& e) {
        // The code set so far stands; the file keeps the failure.
        dm_.RegistrarFalha(e.what(), e);
    }
    return resultado;
}

std::string TImportadorGrupoConvenio::SiglaGrupo(const std::string& descricao) {
    auto separador = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::vector<std::string> palavras;
    std::size_t i = 0;
    const std::size_t n = descricao.size();
    while (true) {
        while (i < n && separador(descricao[i])) ++i;
        if (i >= n) break;
        std::string palavra;
        if (descricao[i] == '"') {
            // A quoted part, up to the closing quote; "" inside is one quote.
            ++i;
            while (i < n) {
                if (descricao[i] == '"') {
                    if (i + 1 < n && descricao[i + 1] == '"') {
                        palavra += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                palavra += descricao[i++];
            }
        } else {
            while (i < n && !separador(descricao[i])) palavra += descricao[i++];
        }
        palavras.push_back(std::move(palavra));
    }
    if (palavras.size() == 1) return descricao.substr(0, 3);
    std::string sigla;
    for (const auto& p : palavras) sigla += p.substr(0, 2);
    return sigla;
}
