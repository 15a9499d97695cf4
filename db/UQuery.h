// A query on the laboratory database through the Firebird client library's
// C++ interface: statement text with named parameters (":name"), prepare,
// bind by name, open (all rows fetched, with row count and column access by
// name) or execute. Made only by TDM::NovaQuery; the caller owns it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "base/UTipos.h"

class IConexaoBD;
class TTransacao;

// Kind of a result column, as the in-memory result table needs it.
enum class TTipoCampo { Texto, Inteiro, Real, Data, Hora, DataHora, Blob };

struct TInfoCampo {
    std::string Nome;  // the column's alias as the server reports it (upper case unless quoted)
    TTipoCampo Tipo = TTipoCampo::Texto;
    int Tamanho = 0;   // characters for text, 0 otherwise
};

class TQuery {
public:
    ~TQuery();
    TQuery(const TQuery&) = delete;
    TQuery& operator=(const TQuery&) = delete;

    // Statement text. Named parameters are ":name" outside string literals and
    // comments; the same name may occur several times. Setting the text
    // closes and unprepares the query.
    void DefinirSQL(const std::string& texto);
    const std::string& SQL() const { return sql_; }

    // Prepares the statement on the query's transaction (started when not
    // active). Throws EErroBD with the server's message.
    void Preparar();

    // Binds every occurrence of parameter `nome` (letter case ignored) to the
    // value. Prepares first when needed. Null binds SQL NULL; text into a
    // numeric column is converted ("123", "2,5"), text "dd/mm/yyyy[ hh:nn[:ss]]"
    // into a date, time or timestamp; the empty text into a numeric, date or
    // time column binds NULL. Throws EErro when the name is unknown or the
    // value cannot be converted.
    void Parametro(const std::string& nome, const TVariante& valor);

    // Runs a select and fetches every row; the query then stands on the first.
    // Prepares first when needed; the statement runs with the values bound
    // (NULL for a parameter never bound). Throws EErroBD with the server's
    // message.
    void Abrir();
    // Runs a statement that returns no rows (insert, update, delete, DDL).
    // A select given here is opened as by Abrir.
    void Executar();
    // Closes the result; the preparation stays.
    void Fechar();
    bool Aberta() const { return aberta_; }

    // Rows of the open result.
    int NumeroLinhas() const { return static_cast<int>(linhas_.size()); }
    bool Fim() const { return linhaAtual_ >= linhas_.size(); }
    void Primeiro() { linhaAtual_ = 0; }
    void Proximo() { if (!Fim()) ++linhaAtual_; }

    // Columns of the open result, in order.
    const std::vector<TInfoCampo>& Campos() const { return campos_; }
    // Value of a column of the current row by name (letter case ignored) or
    // by position. Throws EErro when the column does not exist or there is no
    // current row.
    TVariante Campo(const std::string& nome) const;
    TVariante Campo(std::size_t indice) const;

    // The transaction this query runs on.
    TTransacao& Transacao() { return transacao_; }

private:
    friend class TDM;
    TQuery(IConexaoBD& conexao, TTransacao& transacao);
    // Tells the connection's observer about the statement about to run.
    void Registrar();
    // Runs the statement, fetching every row a select returns.
    void Rodar();

    struct TImpl;
    IConexaoBD& conexao_;
    TTransacao& transacao_;
    std::string sql_;
    std::unique_ptr<TImpl> impl_;
    std::vector<TInfoCampo> campos_;
    std::vector<std::vector<TVariante>> linhas_;
    std::size_t linhaAtual_ = 0;
    bool aberta_ = false;
};

// Named parameters of a statement text in order of appearance (names as
// written), and the text with each ":name" replaced by "?". Colons inside
// '...' literals, "..." identifiers, -- and /* */ comments are left alone.
struct TSQLConvertido {
    std::string Texto;
    std::vector<std::string> Parametros;
};
TSQLConvertido ConverterParametros(const std::string& sql);
