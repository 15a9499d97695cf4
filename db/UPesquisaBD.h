// The query builder: a select assembled line by line from the columns, the
// table text, the conditions and a named ordering that the caller fills in,
// run under the reading transaction; every row is copied into the in-memory
// result `Resultado`, which the caller reads by column name.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/UTipos.h"
#include "db/UQuery.h"

class TDM;

// The rows of a search, with the statement's columns (names, types, sizes).
class TResultadoBD {
public:
    const std::vector<TInfoCampo>& Campos() const { return campos_; }
    int NumeroLinhas() const { return static_cast<int>(linhas_.size()); }
    bool Vazio() const { return linhas_.empty(); }

    // Position: the current row, from 0; Fim after the last row.
    bool Fim() const { return atual_ >= linhas_.size(); }
    int Linha() const { return static_cast<int>(atual_); }
    void Primeiro() { atual_ = 0; }
    void Proximo() { if (!Fim()) ++atual_; }

    // Value of a column of the current row by name (letter case ignored) or
    // by position. Throws EErro when the column does not exist or there is no
    // current row.
    TVariante Campo(const std::string& nome) const;
    TVariante Campo(std::size_t indice) const;

    // Replaces the columns and empties the rows.
    void Definir(std::vector<TInfoCampo> campos);
    // Appends a row (one value per column) and stands on it.
    void Acrescentar(std::vector<TVariante> linha);

private:
    std::vector<TInfoCampo> campos_;
    std::vector<std::vector<TVariante>> linhas_;
    std::size_t atual_ = 0;
};

// One condition: `Campo Operador :<base>1` (or `Campo between :<base>1 and
// :<base>2` when Operador is BETWEEN in any case), or, when `Expressao` is not
// empty, that ready text, which binds nothing.
class TCondicao {
public:
    TCondicao(std::string campo, std::string operador, TVariante valor)
        : Campo(std::move(campo)), Operador(std::move(operador)), Valor(std::move(valor)) {}
    explicit TCondicao(std::string expressao) : Expressao(std::move(expressao)) {}

    std::string Campo;
    std::string Operador;
    TVariante Valor;
    TVariante Valor2;  // second value of a BETWEEN condition
    std::string Expressao;
    // The parameter is raised to upper case by the database as well:
    // `Campo Operador upper(cast(:<base>1 as varchar(1000) character set
    // win1252))`, so that both sides follow the database's rules for
    // accented letters.
    bool MaiusculasNoBanco = false;

    // The condition as written in the statement.
    std::string textoSQL() const;
    // The parameter base name: the second piece of Campo cut at "." and
    // blanks when there are two or more pieces, else Campo.
    std::string parametroBase() const;
    bool EhEntre() const;
};

// A named ordering: what follows "order by".
struct TOrdem {
    std::string Nome;
    std::string Texto;
    bool Padrao = false;
};

class TPesquisaBD {
public:
    explicit TPesquisaBD(TDM& dm) : dm_(dm) {}

    std::string Tabela;                  // everything after "from"
    std::vector<std::string> Campos;     // the selected expressions
    std::vector<TCondicao> Condicoes;    // joined with " and "
    std::vector<TOrdem> Ordens;
    std::string Ordem;                   // chosen ordering; empty: the first Padrao
    TResultadoBD Resultado;
    bool MostrarSQL = false;             // show each statement built in a plain box
    // Run on the transaction that waits for rows other transactions are
    // writing (TDM::NovaQueryPendentes), ended right after: the search sees
    // every row written before it, committed meanwhile, or fails with the
    // lock time-out. Off by default (committed rows only, never waiting).
    bool EsperarPendentes = false;

    // Runs the search: true with the rows in Resultado, standing on the first;
    // false after the error box "Foi encontrado um erro durante a
    // pesquisa.\rSQL: <statement>\rErro: <message>" (Resultado then keeps what
    // it held when the statement failed before opening).
    bool pesquisar();
    // The statement, each line followed by "\r\n".
    std::string montarSQL();
    // The chosen ordering, or none.
    const TOrdem* ordemEscolhida() const;

private:
    TDM& dm_;
};
