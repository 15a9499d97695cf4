// The laboratory's settings rows (cbd_configuracoesbd, QCBD): read once a
// run, then every lookup answered from them.
#include "db/UDM.h"

#include "base/UErro.h"
#include "base/UTexto.h"

namespace {

const char* const SQL_QCBD =
    "select\r\n"
    "  cbd.cbd_dsc,\r\n"
    "  cbd.cbd_vlr,\r\n"
    "  cbd.cbd_vlr_blb\r\n"
    "from\r\n"
    "  cbd_configuracoesbd cbd\r\n"
    "order by\r\n"
    "  cbd.cbd_dsc\r\n";

}  // namespace

void TDM::CarregarConfiguracoes() {
    if (qcbd_) return;
    // QCBD is read once; its rows answer every lookup of the run.
    auto q = NovaQuery(true);
    q->DefinirSQL(SQL_QCBD);
    q->Abrir();
    std::vector<TLinhaCBD> linhas;
    for (q->Primeiro(); !q->Fim(); q->Proximo())
        linhas.push_back({VariantParaTexto(q->Campo(0)), q->Campo(1), q->Campo(2)});
    qcbd_ = std::move(linhas);
}

std::string TDM::BuscarConfiguracao(const std::string& nome, const std::string& padrao) {
    CarregarConfiguracoes();
    for (const TLinhaCBD& linha : *qcbd_) {
        if (!IguaisSemCaixa(linha.dsc, nome)) continue;
        if (EhNulo(linha.vlr))
            throw EErro("N\xE3o foi poss\xEDvel converter o valor nulo da configura\xE7\xE3o '" + linha.dsc +
                        "' em texto.");
        const std::string valor = VariantParaTexto(linha.vlr);
        if (valor == "Usar BLOB") return VariantParaTexto(linha.vlrBlb);
        return valor;
    }
    return padrao;
}

std::string TDM::BuscarGrupoPadrao() noexcept {
    try {
        return BuscarConfiguracao("PED_GRUPOPADRAO", "");
    } catch (...) {
        return "";
    }
}
