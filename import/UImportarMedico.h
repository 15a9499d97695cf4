// The requesting doctor of the request being processed: the doctor row and
// the doctor's phones, under the code the request file carries (a doctor code
// is never generated here).
#pragma once

#include <cstdint>

#include "inbox/UTabelasPedido.h"

class TDM;

class TImportadorMedico {
public:
    // Reads the current rows of tabelas.cdsMedicos and cdsTelefonesMedicos
    // (the doctor of the current request). Both objects are the caller's and
    // must outlive the importer.
    TImportadorMedico(TDM& dm, TTabelasPedido& tabelas) : dm_(dm), tabelas_(tabelas) {}

    // Without a doctor row: writes nothing, returns 0.
    // Otherwise writes, each row committed on its own:
    // 1. med_medicos (key med_cod = codigo), inserted or updated in every
    //    column; med_cpr_uf and est_sig NULL when empty, med_dta_nas the text
    //    when it is a date (EhData), NULL otherwise;
    // 2. tfm_telefonemedico: the doctor's stored phones are deleted, then the
    //    request's phones inserted ("Telefone" for an empty description).
    // Returns the doctor's med_cod; 0 when the doctor row was not saved or an
    // error came before its code was read back. Failed writes are shown by
    // the row writer; every other error ends the import silently. Never
    // throws.
    std::int32_t ImportarMedico();

private:
    TDM& dm_;
    TTabelasPedido& tabelas_;
};
