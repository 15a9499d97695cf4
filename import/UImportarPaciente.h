// The patient of the request being processed: the client row, its natural- or
// legal-person row, its phones and its insurance link, under the code the
// request file carries (a patient code is never generated here).
#pragma once

#include <cstdint>

#include "inbox/UTabelasPedido.h"

class TDM;

class TImportadorPaciente {
public:
    // Reads the current rows of tabelas.cdsPacientes, cdsTelefones and
    // cdsConvenios (the patient of the current request). Both objects are the
    // caller's and must outlive the importer.
    TImportadorPaciente(TDM& dm, TTabelasPedido& tabelas) : dm_(dm), tabelas_(tabelas) {}

    // Writes, each row committed on its own:
    // 1. cli_clientes (key cli_cod = codigo), inserted or updated in every
    //    column, cli_dta_cad = today;
    // 2. cpf_clientepessoafisica when tipo_pessoa is exactly "F",
    //    cpj_clientepessoajuridica when exactly "J", nothing otherwise;
    // 3. tcl_telefonecliente: the patient's stored phones are deleted, then
    //    the request's phones inserted ("Telefone" for an empty description);
    // 4. cnc_convenioscliente: the patient's link is deleted, then each plan
    //    of the request (created in cnv_convenios when no plan has its name)
    //    is saved in turn on the one link row keyed by cli_cod, which ends
    //    holding the last plan. A plan that can be neither found nor created
    //    writes no link.
    // Returns the patient's cli_cod; 0 when the client row was not saved or
    // an error came before its code was read back. Failed writes are shown
    // by the row writer; every other error ends the import silently. Never
    // throws.
    std::int32_t ImportarPaciente();

private:
    TDM& dm_;
    TTabelasPedido& tabelas_;
};
