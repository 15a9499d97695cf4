// Rows of the laboratory's lookup tables (materials, groups, insurance plans)
// found by their name and created when missing, so that copies of the program
// on several workstations that meet the same new name at the same moment end
// with one row, which every order and line refers to. The laboratory's tables
// have no unique name to lean on, so the rule is: among the rows with the
// name, the lowest code is the row. A copy that creates one inserts it,
// commits, and searches again, waiting for rows other transactions are still
// writing; when a lower code shows up, its own row goes before anything
// refers to it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "db/UPesquisaBD.h"

class TDM;
class TExecBD;

// The outcome of a search: the lowest code among the rows found, none, or a
// search that failed (the query builder has shown why and noted the
// failure). A failed search says nothing about the row: nothing may be
// created then.
struct TAchadoPorNome {
    bool falhou = false;
    std::optional<std::int32_t> codigo;
};

class TBuscaOuCriacao {
public:
    // `tabela`: the table; `coluna`: its generated code column; `condicao`:
    // the name's condition (the only one). `dm` must outlive the object.
    TBuscaOuCriacao(TDM& dm, std::string tabela, std::string coluna, TCondicao condicao);

    // The lowest `coluna` of the rows that meet the condition ("order by
    // <coluna>"). With `esperarPendentes`, rows other transactions are still
    // writing are waited for (TPesquisaBD::EsperarPendentes). Never throws
    // for a failed search (falhou); other errors reach the caller.
    TAchadoPorNome Buscar(bool esperarPendentes = false);

    // The row's code: the lowest found; when none, `novo` (a writer on the
    // table whose only key column is `coluna`, generated, holding 0) is
    // saved and committed, then the search runs again waiting for pending
    // rows, and the lowest code found is the result; when it is not the
    // row just saved, that row is deleted (nothing refers to it yet).
    // 0 when the first search failed (nothing created), when the save
    // failed (shown and noted by the row writer), or when the second search
    // failed (shown and noted; the row saved stays, and the next import of
    // the name finds the lowest one). Errors other than a failed search or
    // save reach the caller.
    std::int32_t BuscarOuCriar(TExecBD& novo);

private:
    TDM& dm_;
    std::string tabela_;
    std::string coluna_;
    TCondicao condicao_;
};
