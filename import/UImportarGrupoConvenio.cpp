#include "import/UImportarGrupoConvenio.h"

#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "base/UTipos.h"
#include "db/UDM.h"
#include "db/UExecBD.h"
#include "db/UPesquisaBD.h"
#include "import/UBuscaOuCriacao.h"
#include "inbox/UBS.h"

std::int32_t TImportadorGrupoConvenio::ImportarGrupo() {
    const std::string grupo = tabelas_.cdsPedidos.Texto("grupo");
    if (grupo.empty())
        return LerInteiro(dm_.BuscarGrupoPadrao()).value_or(0);
    try {
        TBuscaOuCriacao busca(dm_, "grp_grupos", "grp_cod", TCondicao("grp_dsc", "=", TVariante(grupo)));
        TExecBD exec(dm_);
        exec.definirTabela("grp_grupos");
        exec.adicionar("grp_cod", std::int32_t{0}, true, true);
        exec.adicionar("grp_cod_vis", SiglaGrupo(grupo), false, false);
        exec.adicionar("grp_dsc", grupo, false, false);
        return busca.BuscarOuCriar(exec);
    } catch (const std::exception& e) {
        // Nothing is returned for a group not settled; the file keeps the
        // failure.
        dm_.RegistrarFalha(e.what(), e);
        return 0;
    }
}

std::int32_t TImportadorGrupoConvenio::ImportarConvenio() {
    return BuscarOuCriarConvenio(dm_, tabelas_.cdsPedidos.Texto("convenio_nome"));
}

std::int32_t TImportadorGrupoConvenio::BuscarOuCriarConvenio(TDM& dm, const std::string& nome) {
    try {
        TBuscaOuCriacao busca(dm, "cnv_convenios", "cnv_cod", TCondicao("cnv_nom", "=", TVariante(nome)));
        TExecBD exec(dm);
        exec.definirTabela("cnv_convenios");
        exec.adicionar("cnv_cod", std::int32_t{0}, true, true);
        exec.adicionar("cnv_nom", nome, false, false);
        exec.adicionar("cnv_usa_fat", std::string("N"), false, false);
        exec.adicionar("cnv_usa_tiss", std::string("N"), false, false);
        exec.adicionar("cnv_atv", std::string("S"), false, false);
        return busca.BuscarOuCriar(exec);
    } catch (const std::exception& e) {
        // Nothing is returned for a plan not settled; the file keeps the
        // failure.
        dm.RegistrarFalha(e.what(), e);
        return 0;
    }
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
