// The row writer: writes one row of any table from a list of columns, each
// with a value and two flags (key, generated). `salvar` looks for a row with
// the same key values under the reading transaction and then inserts or
// updates it under the writing transaction; `deletar` deletes the rows that
// match the key columns. Failures are shown in an error box and answered with
// false; nothing reaches the caller.
#pragma once

#include <string>
#include <vector>

#include <exception>

#include "base/UTipos.h"

class TDM;

// One column of the row: name (written unchanged into the statements; a key
// may be written upper(<column>)), value (null writes NULL), key flag, and
// generated flag (with Chave: on insert the value becomes a new code of the
// table).
class TCampoBD {
public:
    TCampoBD(std::string nome, TVariante valor, bool chave = false, bool gerado = false)
        : Nome(std::move(nome)), Valor(std::move(valor)), Chave(chave), Gerado(gerado) {}

    // Nome without "upper", "(" and ")": the name of the column's parameter.
    std::string nomeParametro() const;

    std::string Nome;
    TVariante Valor;
    bool Chave = false;
    bool Gerado = false;
};

class TExecBD {
public:
    // A writer with no table and no columns, working through `dm`.
    explicit TExecBD(TDM& dm) : dm_(dm) {}

    // The table written; used unchanged in every statement.
    std::string Tabela;
    // The row's columns, in statement order. The writer owns them.
    std::vector<TCampoBD> Campos;
    // When set, a row whose generated key columns all hold the integer 0 is
    // new without an existence test: it is inserted with new codes, so that a
    // stored row with the code 0 is never taken for it and overwritten. Off
    // by default (every key value, 0 included, is looked up first).
    bool ZeroGeradoEhNovo = false;

    // Sets the table and discards every column.
    void definirTabela(const std::string& nome);
    // Appends a column; returns it.
    TCampoBD& adicionar(TCampoBD campo);
    TCampoBD& adicionar(std::string nome, TVariante valor, bool chave = false, bool gerado = false);

    // Inserts the row when no row has its key values (committed rows only),
    // otherwise updates it; generated key columns of a new row receive a new
    // code (kept in the column). Commits the writing transaction when
    // `commit`. True when the row was written; false after the error box
    // "Encontramos um erro ao tentar salvar na tabela <TABELA>.\rErro:\r<msg>".
    bool salvar(bool commit);
    // Deletes the rows matching the key columns; commits when `commit`.
    // Refuses without key columns. False after its error box.
    bool deletar(bool commit);

    // Value of the first column named `nome` (letter case ignored); null when
    // there is none.
    TVariante valorCampo(const std::string& nome) const;
    bool temChave() const;

    // "k1 = :k1 and k2 = :k2" over the key columns.
    std::string montarWhere() const;
    // " insert into T(c1, c2) values (:c1, :c2);"
    std::string montarInsert() const;
    // " update T set c1 = :c1,  c2 = :c2 where <montarWhere>"
    std::string montarUpdate() const;

private:
    // Notes the failure on the data module, with the kind and codes of
    // `causa` (none: an error of the writer's own, which stays), and shows
    // its box.
    void MostrarErro(const std::string& texto, const std::exception* causa);

    TDM& dm_;
};
