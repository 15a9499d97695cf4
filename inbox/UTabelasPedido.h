// The eight in-memory tables of the request inbox, defined once: the seven
// request tables that hold the requests of one request file, linked master to
// detail, and the file list of the inbox folder.
//
// Request tables (columns, sizes, captions as the grids show them):
// - cdsPedidos (order cdsPedidosIndex1: data, horario ascending): data (date),
//   horario (time), protocolo(20) "Protocolo", codigo_acesso(10),
//   paciente(10), idade_paciente(10), medico(10), grupo(150) "Grupo",
//   convenio_nome(100) "Convênio", convenio_cobertura(15),
//   convenio_desconto(15), convenio_matricula(50), convenio_vencimento(7),
//   valor_total_exames(20), valor_cobrar_paciente(20),
//   valor_desconto_paciente(20), valor_total_paciente(20),
//   valor_pago_paciente(20), observacao_protocolo(100), observacao_laudo(50),
//   imprimir_rg(1), imprimir_cpf(1), nome_paciente(100) "Paciente",
//   nome_medico(100) "Medico", data_horario (calculated, 20) "Pedido em":
//   data + horario as "dd/mm/yyyy hh:nn" (seconds dropped; empty text when
//   data is absent; absent horario counts as 00:00).
// - cdsPacientes (detail of cdsPedidos: codigo = paciente).
// - cdsTelefones (detail of cdsPacientes: paciente = codigo).
// - cdsConvenios (detail of cdsPacientes: paciente = codigo).
// - cdsMedicos (detail of cdsPedidos: codigo = medico).
// - cdsTelefonesMedicos (detail of cdsMedicos: medico = codigo).
// - cdsExames (detail of cdsPedidos: protocolo = protocolo): protocolo(20),
//   codigo(20) "Código", nome(150) "Descrição", material(70) "Material",
//   coleta_data (date), coleta_horario (time), coleta_data_horario
//   (calculated, 20) "Coletado em": empty text when coleta_data is absent,
//   else as data_horario.
// Each detail table is ordered by its detail column, equal values in the
// order the rows were added.
//
// File list:
// - cdsArquivos (order cdsArquivosIndex1: status descending, then
//   nome_arquivo ascending by byte comparison): nome_arquivo(4096) "Arquivo"
//   (the path as the file system has it, UTF-8; display text in
//   Windows-1252), erros(500), status (integer, display text from
//   TextoStatus),
//   data_horario (date-time) "Criado em".
//
// Texts in the core are Windows-1252.
#pragma once

#include <string>

#include "inbox/UTabela.h"

class TTabelasPedido {
public:
    TTabelasPedido();
    TTabelasPedido(const TTabelasPedido&) = delete;
    TTabelasPedido& operator=(const TTabelasPedido&) = delete;

    // Masters are declared before their details (and so outlive them).
    TTabela cdsPedidos{"cdsPedidos"};
    TTabela cdsPacientes{"cdsPacientes"};
    TTabela cdsTelefones{"cdsTelefones"};
    TTabela cdsConvenios{"cdsConvenios"};
    TTabela cdsMedicos{"cdsMedicos"};
    TTabela cdsTelefonesMedicos{"cdsTelefonesMedicos"};
    TTabela cdsExames{"cdsExames"};
    TTabela cdsArquivos{"cdsArquivos"};

    // Display text of a file-list status: 0 "Pendente", -1 "Com erro",
    // 1 "Finalizado", anything else (null included) the empty text. Installed
    // as the display hook of cdsArquivos.status, so
    // cdsArquivos.TextoExibicao("status") is the empty text on an empty list.
    static std::string TextoStatus(const TVariante& status);
    // The display text of the current file-list row's status (the empty text
    // when the list is empty).
    std::string cdsArquivosstatusGetText() const { return cdsArquivos.TextoExibicao("status"); }

    // Empties the seven request tables (not the file list) and clears
    // LeituraInterrompida.
    void LimparTabelas();

    // Why the last reading of a file stopped before the file's end (the
    // request and the field where it stopped), as a line of the file's
    // errors; empty when the file was read through. Set by the request file
    // reader: a file read only in part is never imported.
    std::string LeituraInterrompida;
};
