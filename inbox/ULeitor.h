// The request file reader: loads one request file into the request tables.
//
// File format: root "solicitacoes", one child "solicitacao" per request, each
// value the text (or CDATA) of an element reached by a path of names below
// the request or below a repeated element (phone, card, exam). Repeated
// elements are read as a run: from the first child of that name through the
// following siblings while each is an element of that name (a comment or an
// element of another name ends the run).
//
// Progress and problems of the reading go to the activity log (Log::Gravar):
//   "Iniciando processo de leitura do arquivo <caminho>"
//   "Lendo solicitação <protocolo>"           once per request, file order
//   "Erro lendo "<path>".<CR>Erro: ..."       failed value lookups
//   "Erro: <description>"                      a failure that ends the reading
//   "Finalizando processo de leitura do arquivo <caminho>"
// A log that cannot be written does not change what is read.
#pragma once

#include <string>

#include "base/UTipos.h"
#include "inbox/UTabelasPedido.h"

class TLeitorPedidos {
public:
    // The tables are the caller's and must outlive the reader.
    explicit TLeitorPedidos(TTabelasPedido& tabelas) : tabelas_(tabelas) {}

    // Empties the request tables, then reads the file at `caminho` into them.
    // - A file that cannot be read or is not well-formed XML (also one that
    //   declares entities or an external DTD): throws EErroXML with the
    //   parser's description; nothing is logged and the tables stay empty.
    // - Otherwise the call ends normally. A failure while reading (no root
    //   "solicitacoes", a request without "paciente" or "exames", a date or
    //   time that cannot be converted - "Valor inválido para o campo '...'")
    //   ends the reading there and is logged as "Erro: ..."; the requests
    //   read before it stay in the tables, the row that was being filled is
    //   dropped, and tabelas.LeituraInterrompida says where the reading
    //   stopped and why (the validation turns it into one of the file's
    //   errors, so that a file read in part is never imported).
    // - Afterwards the first request (in the table's order: date, time) is
    //   current, and the first exam of that request.
    void CarregarArquivo(const std::string& caminho);

    // Empties the seven request tables.
    void LimparTabelas();

    // The patient's age in whole days from `dataNascimento` (text
    // "dd/mm/yyyy", converted as the file's dates) to `dataPedido`, the
    // fraction dropped; negative for a birth after the request. 0 (born on
    // the request date) and a text that is no date give 1.
    static int CalcularIdade(const TDataHora& dataPedido, const std::string& dataNascimento);

private:
    TTabelasPedido& tabelas_;
};
