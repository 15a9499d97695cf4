// The group and the insurance plan of the request being processed: found by
// their descriptions in grp_grupos and cnv_convenios, created when missing.
// Neither importer ever changes a stored row.
#pragma once

#include <cstdint>
#include <string>

#include "inbox/UTabelasPedido.h"

class TDM;

class TImportadorGrupoConvenio {
public:
    // Reads the current row of tabelas.cdsPedidos; both objects are the
    // caller's and must outlive the importer.
    TImportadorGrupoConvenio(TDM& dm, TTabelasPedido& tabelas) : dm_(dm), tabelas_(tabelas) {}

    // The request's grp_cod.
    // - `grupo` empty: the setting "PED_GRUPOPADRAO" as a whole number, 0 when
    //   it is missing or not a whole number; nothing is looked up or written.
    // - Otherwise the grp_grupos row with the lowest grp_cod among those
    //   whose grp_dsc equals `grupo` (unchanged: no trimming, letter case
    //   significant); when there is none, a new group (grp_cod generated,
    //   grp_cod_vis = SiglaGrupo(grupo), grp_dsc = grupo), created so that
    //   other workstations creating it at once end with the same one row
    //   (TBuscaOuCriacao).
    // - 0 when the search failed (the query builder has shown it; nothing is
    //   created, since the group may well exist) or the group could not be
    //   created (the row writer showed why). Failures are noted on the data
    //   module (TDM::RegistrarFalha).
    // Never throws.
    std::int32_t ImportarGrupo();

    // The request's cnv_cod: BuscarOuCriarConvenio of `convenio_nome`.
    std::int32_t ImportarConvenio();

    // The cnv_cod of the plan `nome`: the lowest cnv_cod among the
    // cnv_convenios rows whose cnv_nom equals it (the empty name included),
    // else a new plan with the flags cnv_usa_fat "N", cnv_usa_tiss "N",
    // cnv_atv "S", created so that other workstations creating it at once
    // end with the same one row (TBuscaOuCriacao). 0 when a search failed
    // (nothing is created then) or the plan could not be created; the
    // failure is noted on the data module. Never throws. Also the patient
    // import's plans.
    static std::int32_t BuscarOuCriarConvenio(TDM& dm, const std::string& nome);

    // The short code of a new group: with one word, the first three
    // characters of `descricao` itself; with several, the first two
    // characters of every word, joined. Words are separated by runs of
    // characters not above the blank; a part in double quotes is one word
    // (a doubled quote inside stands for one quote). "Hospital Santa Casa" ->
    // "HoSaCa", "Particular" -> "Par", "" -> "".
    static std::string SiglaGrupo(const std::string& descricao);

private:
    TDM& dm_;
    TTabelasPedido& tabelas_;
};
