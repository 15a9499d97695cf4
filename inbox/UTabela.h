// The in-memory table engine behind the request tables and the file list:
// typed columns with sizes, one order per table, master/detail links,
// calculated columns, display-text hooks, a cursor with walks over the
// visible set, an edit buffer, and the notifications a window needs.
//
// Model
// - A table holds rows; each row has one value (TVariante) per stored column.
//   A column never set in its row is null (absent). The empty text is a value
//   of its own, not null.
// - The rows are kept in the table's order (DefinirOrdem). Rows that compare
//   equal on every column of the order keep the order in which they were
//   first saved (a stable order).
// - The visible set: every row for a table without master; for a detail
//   table (LigarMestre) only the rows whose detail column equals the master
//   column of the master's current row (null equals nothing; a master without
//   a current row gives an empty set). Walks, counts, grid access and
//   Localizar cover the visible set only.
// - The cursor: at most one current row, always a row of the visible set (or
//   none when the set is empty). It is tied to the row, not to a position:
//   when the current row is saved and moves to a new place in the order, the
//   cursor moves WITH the row, and Proximo then goes to the row that follows
//   the row's new place. (A walk that sets a column of the order on every row
//   it visits thereby reaches every row that was ahead of it exactly once.)
// - States: Repouso (at rest), Inserindo (a new row is being filled in the
//   edit buffer) and Editando (the current row is being changed in the edit
//   buffer). Values read while not at rest come from the edit buffer.
// - Links chain: whenever the current row of a master changes (a move, a
//   saved or cancelled row, a deletion, emptying, the start of an insertion)
//   every detail table works out its visible set again and stands on its
//   first row, which in turn updates the detail's own details, and so on.
//
// Notifications (each a plain std::function, empty by default)
// - AposRolar(tabela): after the current row changed (Primeiro - always, also
//   on an empty table -, Proximo/Anterior/MoverPara when they moved,
//   Localizar when found, Excluir, Esvaziar, Inserir (state Inserindo),
//   Cancelar, the re-positioning of a detail table) and after a row was saved
//   (Gravar, state Repouso again). Handlers test Estado() to know whether the
//   table is at rest. It runs after the detail tables were brought up to date.
//   An exception thrown by the handler goes to whoever moved or saved the
//   row; the table itself is consistent by then (the row is saved).
// - AoAlterar(tabela): something a view shows changed (rows, order, values,
//   current row). Not fired while the display is frozen (Congelar); fired
//   once by the Descongelar that ends the freeze.
//
// Errors: every failure is an EErro with a Portuguese text:
// unknown column, a value that a date/time/integer column cannot take
// ("Valor inválido para o campo '<coluna>'"), setting a value while at rest,
// editing or deleting without a current row, defining columns on a table that
// holds rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/UTipos.h"

enum class TTipoColuna {
    Texto,     // Windows-1252 text of at most Tamanho characters
    Data,      // a date without time of day (TDataHora, whole days)
    Hora,      // a time of day without date (TDataHora below one day)
    DataHora,  // a date with time of day
    Inteiro,   // signed 32-bit (std::int32_t)
    Calculada  // text computed from the other columns each time it is read
};

enum class TEstadoTabela { Repouso, Inserindo, Editando };

class TTabela;

// Read-only view of one row, handed to the calculation of a calculated
// column. Valor throws EErro for an unknown column; asking a calculated
// column from another calculation is allowed (no cycles, please).
class TRegistro {
public:
    TRegistro(const TTabela& tabela, const std::vector<TVariante>& valores)
        : tabela_(tabela), valores_(valores) {}
    TVariante Valor(const std::string& coluna) const;

private:
    const TTabela& tabela_;
    const std::vector<TVariante>& valores_;
};

struct TColuna {
    std::string Nome;
    TTipoColuna Tipo = TTipoColuna::Texto;
    int Tamanho = 0;     // characters (Texto and Calculada); 0 = no limit
    std::string Titulo;  // caption for grids; empty = not shown by default
    // Calculada only: the column's value from the row (text or null); the
    // result is cut to Tamanho.
    std::function<TVariante(const TRegistro&)> Calculo;
    // Optional display text of a value (e.g. status 0 -> "Pendente"). Without
    // it the display text is the default text of the value (see Texto).
    std::function<std::string(const TVariante&)> Exibicao;
};

struct TCampoOrdem {
    std::string Coluna;
    bool Descendente = false;
};

class TTabela {
public:
    explicit TTabela(std::string nome);
    // Unlinks from its master and its details.
    ~TTabela();
    TTabela(const TTabela&) = delete;
    TTabela& operator=(const TTabela&) = delete;

    const std::string& Nome() const { return nome_; }

    // ---- definition ----
    // Adds a column (only while the table holds no row). Throws EErro for a
    // duplicate name or a Calculada column without Calculo.
    void AdicionarColuna(TColuna coluna);
    // Shorthands for AdicionarColuna.
    void ColunaTexto(const std::string& nome, int tamanho, const std::string& titulo = "");
    void ColunaData(const std::string& nome, const std::string& titulo = "");
    void ColunaHora(const std::string& nome, const std::string& titulo = "");
    void ColunaDataHora(const std::string& nome, const std::string& titulo = "");
    void ColunaInteiro(const std::string& nome, const std::string& titulo = "");
    void ColunaCalculada(const std::string& nome, int tamanho, const std::string& titulo,
                         std::function<TVariante(const TRegistro&)> calculo);
    // Sets the display-text hook of a column (see TColuna::Exibicao).
    void DefinirExibicao(const std::string& coluna, std::function<std::string(const TVariante&)> exibicao);
    // The table's one order: rows sorted by the columns in turn (null before
    // any value; text by byte comparison, letter case significant; dates and
    // integers by value), ties in order of first saving. Re-sorts the rows;
    // the current row stays current. An empty list = order of saving.
    void DefinirOrdem(const std::string& nomeIndice, std::vector<TCampoOrdem> campos);
    const std::string& NomeOrdem() const { return nomeOrdem_; }
    // Makes this table a detail of `mestre`: visible rows are those whose
    // `colunaDetalhe` equals the master current row's `colunaMestre`. The
    // master must not be this table or one of its details. A table has at
    // most one master (a second call replaces the first link).
    void LigarMestre(TTabela& mestre, const std::string& colunaMestre, const std::string& colunaDetalhe);

    const std::vector<TColuna>& Colunas() const { return colunas_; }
    // Index of the column, or -1.
    int IndiceColuna(const std::string& nome) const;
    const TColuna& Coluna(const std::string& nome) const;  // throws EErro when unknown

    // ---- editing ----
    TEstadoTabela Estado() const { return estado_; }
    bool EmRepouso() const { return estado_ == TEstadoTabela::Repouso; }
    // Starts a new row (all columns null) in the edit buffer; a pending edit
    // or insertion is saved first. The detail tables show empty sets while
    // the new row is being filled. Fires AposRolar (state Inserindo).
    void Inserir();
    // Starts editing the current row. Throws EErro when there is no current
    // row. No-op when already inserting or editing.
    void Editar();
    // Sets a column of the row being inserted or edited. Texto: the text of
    // the value (numbers in decimal, dates as "dd/mm/yyyy") cut to the
    // column's size without message. Data/Hora/DataHora: a TDataHora (the
    // date part, the time part, or both) or a text converted as DefinirTexto;
    // Inteiro: an integer or a text holding one. Null sets null. Throws EErro
    // "Valor inválido para o campo '<coluna>'" when the value cannot be
    // converted (the column then keeps its previous value), EErro when the
    // table is at rest or the column is unknown or calculated.
    void Definir(const std::string& coluna, const TVariante& valor);
    // Sets a column from text. Data: "dd/mm/yyyy" (one-digit day and month
    // accepted; a date followed by a time keeps the date). Hora: "hh:nn" or
    // "hh:nn:ss" on the 24-hour clock (a date followed by a time keeps the
    // time). DataHora: "dd/mm/yyyy[ hh:nn[:ss]]". Inteiro: decimal. The empty
    // text is not a date, time or integer. Texto: cut to size; "" stays "".
    void DefinirTexto(const std::string& coluna, const std::string& texto);
    // Saves the row being inserted or edited: it takes its place in the order
    // and becomes the current row (the cursor follows it). When the row falls
    // outside the visible set (a detail row of another master row) the first
    // visible row becomes current. Updates the details, then fires AposRolar
    // (state Repouso) and AoAlterar. No-op at rest.
    void Gravar();
    // Drops the edit buffer; the row that was current before stays current.
    // Fires AposRolar. No-op at rest.
    void Cancelar();
    // Deletes the current row (a pending edit is dropped first); the row that
    // followed it becomes current, or the new last row when it was the last.
    // Throws EErro when there is no current row. Fires AposRolar.
    void Excluir();
    // Deletes every row (of the whole table, not only the visible set); a
    // pending edit is dropped. Fires AposRolar (no current row).
    void Esvaziar();

    // ---- walks over the visible set ----
    // Moves to the first row; Fim() is then true only when the set is empty.
    // Always fires AposRolar. A pending edit or insertion is saved first
    // (this holds for every move).
    void Primeiro();
    // Moves to the next row. At the last row it does not move and Fim()
    // becomes true.
    void Proximo();
    void Anterior();
    // True when the set is empty, or after Proximo found no next row. Any
    // other move or a saved row clears it.
    bool Fim() const;
    int Contar() const { return static_cast<int>(visiveis_.size()); }
    // Rows of the whole table, whatever the master shows.
    int ContarTodas() const { return static_cast<int>(linhas_.size()); }
    bool Vazia() const { return visiveis_.empty(); }
    // Makes the first row of the visible set (in the order) whose column
    // equals `valor` (converted as Definir would) current; fires AposRolar.
    // False (cursor unchanged, nothing fired) when none is found.
    bool Localizar(const std::string& coluna, const TVariante& valor);

    // ---- values of the current row (the edit buffer while not at rest) ----
    // Throw EErro for an unknown column. Without a current row every column
    // reads as null.
    TVariante Valor(const std::string& coluna) const;
    bool Nulo(const std::string& coluna) const;
    // Default text: texts as stored, dates "dd/mm/yyyy", times "hh:nn:ss",
    // date-times "dd/mm/yyyy hh:nn:ss", integers in decimal, null "".
    std::string Texto(const std::string& coluna) const;
    // Null gives the zero date-time (30/12/1899 00:00); test Nulo first.
    // Throws EErro for a text or integer column.
    TDataHora Data(const std::string& coluna) const;
    TDataHora DataHora(const std::string& coluna) const { return Data(coluna); }
    // Null gives 0. Throws EErro when the value is not a whole number.
    std::int32_t Inteiro(const std::string& coluna) const;
    // The column's display text (its Exibicao hook, else Texto); the empty
    // text when there is no current row.
    std::string TextoExibicao(const std::string& coluna) const;

    // ---- what a grid needs (visible set, by index 0..Contar()-1) ----
    // Index of the current row in the visible set, -1 when none. While a row
    // is being inserted it is the row that was current before.
    int IndiceAtual() const;
    // Value / display text at index i. Throw EErro when i is out of range.
    TVariante ValorEm(int i, const std::string& coluna) const;
    std::string TextoExibicaoEm(int i, const std::string& coluna) const;
    // Makes row i current (a pending edit is saved first); fires AposRolar
    // when the current row changed. Throws EErro when i is out of range.
    void MoverPara(int i);
    // Freezing the display: AoAlterar is held back until the matching
    // Descongelar (nested calls count). Notifications AposRolar and the
    // detail links go on as usual.
    void Congelar();
    void Descongelar();
    bool Congelada() const { return congelamentos_ > 0; }

    std::function<void(TTabela&)> AposRolar;
    std::function<void(TTabela&)> AoAlterar;

private:
    struct TLinha {
        std::uint64_t seq = 0;
        std::vector<TVariante> valores;
    };
    // Orders the keys of the detail index: by kind, then by value (the
    // equality of two keys is that of the master/detail link).
    struct TMenorChave {
        bool operator()(const TVariante& a, const TVariante& b) const;
    };
    using TIndiceDetalhe = std::map<TVariante, std::vector<TLinha*>, TMenorChave>;

    friend class TRegistro;

    const TColuna& ColunaExistente(const std::string& nome, int& indice) const;
    TVariante Converter(int indice, const TVariante& valor) const;
    TVariante ValorLinha(const std::vector<TVariante>& valores, int indice) const;
    const std::vector<TVariante>* ValoresAtuais() const;
    bool Menor(const TLinha& a, const TLinha& b) const;
    void Ordenar();
    // Position of `linha` in a vector kept in the table's order (`linhas_`,
    // `visiveis_` or an index bucket); the vector's end when it is not there.
    template <typename V>
    typename V::const_iterator Posicao(const V& v, const TLinha* linha) const;
    // Where a row with these values goes in the table's order.
    template <typename V>
    std::size_t Lugar(const V& v, const TLinha& linha) const;
    // The detail index: the rows of each value of the detail column, in the
    // table's order (only for a detail table; null values are left out, as
    // null equals nothing).
    void RefazerIndice();
    void IndexarLinha(TLinha* linha);
    void DesindexarLinha(TLinha* linha);
    // Works out the visible set again; keeps `preferida` current when visible,
    // else the first row.
    void RecalcularVisiveis(TLinha* preferida);
    void ConfirmarPendente();
    void DescartarPendente();
    // After the current row changed: details follow, then AposRolar and
    // AoAlterar.
    void CursorMudou();
    void AtualizarDetalhes();
    void AoMudarMestre();
    void Alterou();

    std::string nome_;
    std::vector<TColuna> colunas_;
    std::string nomeOrdem_;
    std::vector<std::pair<int, bool>> ordem_;  // column index, descending
    std::vector<std::unique_ptr<TLinha>> linhas_;  // in the table's order
    // The visible set, in the table's order; for a table without master the
    // same rows as linhas_.
    std::vector<TLinha*> visiveis_;
    TLinha* atual_ = nullptr;
    bool fim_ = false;
    std::uint64_t proximaSeq_ = 1;

    TEstadoTabela estado_ = TEstadoTabela::Repouso;
    std::vector<TVariante> buffer_;

    TTabela* mestre_ = nullptr;
    int colunaMestre_ = -1;   // index in the master
    int colunaDetalhe_ = -1;  // index here
    std::vector<TTabela*> detalhes_;
    TIndiceDetalhe indice_;

    int congelamentos_ = 0;
    bool alteradoCongelado_ = false;
};
