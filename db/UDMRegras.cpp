// The laboratory's rules read from its database: insurance plan by name, due
// date of an exam, holidays, price of an exam for a plan.
#include "db/UDM.h"

#include <cstdio>

#include "base/UErro.h"
#include "db/UPesquisaBD.h"

std::int32_t TDM::BuscarCodigoConvenio(const std::string& nome) noexcept {
    try {
        TPesquisaBD p(*this);
        p.Tabela = "cnv_convenios";
        p.Campos.push_back("cnv_cod");
        p.Condicoes.emplace_back("cnv_nom", "=", nome);
        // A name stored twice: always the lowest code.
        p.Ordens.push_back(TOrdem{"cnv_cod", "cnv_cod", false});
        p.Ordem = "cnv_cod";
        if (!p.pesquisar()) return -1;
        // No row: reading the value fails, which also gives -1.
        return VariantParaInteiro(p.Resultado.Campo("cnv_cod"));
    } catch (...) {
        return -1;
    }
}

TVariante TDM::CalcularDataEntrega(std::int32_t exame, const TVariante& dataColeta) {
    if (EhNulo(dataColeta)) return TNulo{};
    // An exam that is not found counts five business days.
    std::string tipo = "D";
    std::int32_t quantidade = 5;
    {
        auto q = NovaQuery(true);
        q->DefinirSQL(" select   exa.exa_tpo_prz,   exa.exa_dia_ent from   exa_exames exa where   exa.exa_cod = " +
                      std::to_string(exame));
        q->Abrir();
        if (!q->Fim()) {
            tipo = VariantParaTexto(q->Campo("exa_tpo_prz"));
            const TVariante dias = q->Campo("exa_dia_ent");
            quantidade = EhNulo(dias) ? 0 : VariantParaInteiro(dias);
        }
    }
    const TDataHora coleta = VariantParaDataHora(dataColeta);
    if (tipo != "D") return coleta.MaisDias(quantidade / 24.0);

    // Business days after the collection day: a weekday listed in
    // GER_DiasNaoUteis (1 = Sunday ... 7 = Saturday) or a holiday does not
    // count. A calendar in which no day counts would never end the count, so
    // it stops after MaxDiasEntrega days in a row without a counted day.
    TDataHora d = coleta;
    int diasSemContar = 0;
    while (quantidade > 0) {
        d = d.MaisDias(1);
        const std::string naoUteis = BuscarConfiguracao("GER_DiasNaoUteis", "");
        const char diaDaSemana = static_cast<char>('0' + d.DiaDaSemana());
        if (naoUteis.find(diaDaSemana) == std::string::npos && !EhFeriado(d)) {
            --quantidade;
            diasSemContar = 0;
        } else if (++diasSemContar >= MaxDiasEntrega) {
            throw EErroDataEntrega("N\xE3o foi poss\xEDvel calcular a data de entrega do exame " + std::to_string(exame) +
                        ": nenhum dia \xFAtil em " + std::to_string(MaxDiasEntrega) + " dias ap\xF3s " +
                        coleta.FormatarData() +
                        ". Verifique a configura\xE7\xE3o GER_DiasNaoUteis e a tabela FER_FERIADOS.");
        }
    }
    return d;
}

bool TDM::EhFeriado(const TDataHora& data) {
    char dia[8], mes[8];
    std::snprintf(dia, sizeof dia, "%02d", data.Dia());
    std::snprintf(mes, sizeof mes, "%02d", data.Mes());
    auto q = NovaQuery(true);
    q->DefinirSQL(std::string("SELECT FER_DIA\r\nFROM FER_FERIADOS\r\nWHERE FER_DIA = ") + dia +
                  "\r\n  AND FER_MES = " + mes + "\r\n");
    q->Abrir();
    return !q->Fim();
}

namespace {

double RealOuZero(const TVariante& v) { return EhNulo(v) ? 0 : VariantParaReal(v); }

}  // namespace

TExameConvenio TDM::BuscarValorExame(std::int32_t exame, std::int32_t convenio) {
    TExameConvenio r;
    auto q = NovaQuery(true);
    q->DefinirSQL(
        " select   cnv.cnv_tvl, cnv.cnv_vch, cnv.cnv_usa_vlr_cmp,   eta.eta_vlr, eta.eta_vlr_cmp, eta.eta_qch,   "
        "ce.ce_cod_vis,  exa.exa_cod_vis from   cnv_convenios cnv   inner join eta_examestabela eta on "
        "eta.tab_cod = cnv.tab_cod   inner join exa_exames exa on exa.exa_cod = eta.exa_cod   left outer join "
        "cnvexa ce on (ce.exa_cod = eta.exa_cod)                             and (ce.cnv_cod = cnv.cnv_cod) "
        "where   cnv.cnv_cod = " +
        std::to_string(convenio) + "   and eta.exa_cod = " + std::to_string(exame));
    q->Abrir();
    if (q->Fim()) return r;
    r.Encontrado = true;
    try {
        const std::string codigoPlano = VariantParaTexto(q->Campo("ce_cod_vis"));
        r.Codigo = !codigoPlano.empty() ? codigoPlano : VariantParaTexto(q->Campo("exa_cod_vis"));
        if (VariantParaTexto(q->Campo("cnv_tvl")) == "R")
            r.Valor = RealOuZero(q->Campo("eta_vlr"));
        else
            r.Valor = RealOuZero(q->Campo("eta_qch")) * RealOuZero(q->Campo("cnv_vch"));
        if (VariantParaTexto(q->Campo("cnv_usa_vlr_cmp")) == "S") r.ValorCmp = RealOuZero(q->Campo("eta_vlr_cmp"));
    } catch (...) {
        // What was read stays; the exam counts as found.
    }
    return r;
}
