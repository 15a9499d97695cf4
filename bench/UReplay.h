// Replays a record of the data module's statements and commits through the
// bare Firebird client interface: no query object, no named-parameter
// binding by name, no result copying beyond fetching. The benchmark's
// baseline for what the tool's own layers cost.
#pragma once

#include <string>
#include <vector>

#include "db/UDM.h"

struct TResultadoReplay {
    int Instrucoes = 0;
    int Commits = 0;
    int Erros = 0;  // statements the server refused (as in the recorded run)
};

// Connects to `nomeBanco`, runs every record in order (selects fetch all
// rows; writes on a writing transaction committed where the record commits)
// and detaches. Throws EErroBD when the connection fails.
TResultadoReplay Reproduzir(const std::vector<TDM::TRegistro>& registros, const std::string& nomeBanco,
                            const std::string& usuario, const std::string& senha);
