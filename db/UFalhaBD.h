// The two kinds of failure of a database call, told apart by the server's
// error codes (EErroBD::Codigos, the isc_* codes of the status vector).
//
// A failure PASSES when it says nothing about the data being written: the
// same statement, run again later, is expected to go through. Codes that
// pass (iberror.h names and numbers):
//   rows held by another transaction
//     isc_lock_conflict          335544345  lock conflict on no wait transaction
//     isc_lock_timeout           335544510  lock time-out on wait transaction
//     isc_deadlock               335544336  deadlock
//     isc_update_conflict        335544451  update conflicts with concurrent update
//     isc_concurrent_transaction 335544878  concurrent transaction number is ...
//   a duplicate key: another workstation inserted the same row after the
//   existence test (the next try finds it and updates it)
//     isc_unique_key_violation   335544665  violation of PRIMARY or UNIQUE KEY
//     isc_no_dup                 335544349  attempt to store duplicate value
//   the connection lost, refused or never made
//     isc_network_error          335544721  unable to complete network request
//     isc_net_read_err           335544726  error reading data from the connection
//     isc_net_write_err          335544727  error writing data to the connection
//     isc_net_connect_err        335544722  failed to establish a connection
//     isc_net_lookup_err         335544704  error while looking up the host
//     isc_net_server_shutdown    335544971  the server is shutting down
//     isc_conn_lost              335544648  connection lost to database
//     isc_lost_db_connection     335544741  connection lost to database
//     isc_connect_reject         335544421  connection rejected by remote interface
//     isc_unavailable            335544375  unavailable database
//     isc_bad_db_handle          335544324  invalid database handle (no active
//                                           connection; also this program's
//                                           own "Banco de dados não conectado.")
//     isc_login                  335544472  user name and password not defined
//                                           (a refused login: the file is not
//                                           at fault)
//     isc_login_error            335545106  login error
//   the database shut down, or the call cancelled
//     isc_shutdown               335544528  database shutdown
//     isc_shutinprog             335544506  database shutdown in progress
//     isc_att_shutdown           335544856  connection shutdown
//     isc_cancelled              335544794  operation was cancelled
// A failure with one of these codes anywhere in its status vector passes.
//
// Every other failure STAYS: a value the column does not take (a doctor
// code "12a" for an integer column, a text too long), a check, foreign key
// or not null constraint, a missing table or column, an error of this
// program's own (no server codes): running it again gives the same error
// until the data changes.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "base/UErro.h"

enum class TTipoFalha {
    Passageira,  // tried again later, unchanged
    Permanente,  // stays until the data changes
};

// One failure noted during an import (TDM::RegistrarFalha): the text shown
// to the operator, its kind and, when the server raised it, the server's
// error codes.
struct TFalha {
    std::string Texto;
    TTipoFalha Tipo = TTipoFalha::Permanente;
    std::vector<std::int64_t> Codigos;
};

// Whether the code is one of those listed above.
bool EhCodigoPassageiro(std::int64_t codigo);
// Passageira when one of the error's codes passes.
bool EhFalhaPassageira(const EErroBD& erro);
// The kind of any error: an EErroBD by its codes; everything else stays.
TTipoFalha TipoDaFalha(const std::exception& erro);
// The failure `texto` caused by `causa`: its kind and codes from the error.
TFalha FalhaDe(const std::string& texto, const std::exception& causa);
// True when every failure of the list passes (an empty list included).
bool SoPassageiras(const std::vector<TFalha>& falhas);

// The error of a call made without a connection ("Banco de dados não
// conectado."), with the code the client gives for it (isc_bad_db_handle).
EErroBD ErroSemConexao();
