// The check of a request file's requests before anything is imported: fixed
// rules on the patient, the doctor and the group of each request, one message
// per broken rule, recorded on the file's row of the file list.
#pragma once

#include <string>

#include "base/UJanela.h"
#include "inbox/UTabelasPedido.h"

class TDM;

class TValidacao {
public:
    // All three must outlive the object. `dm` answers the database settings
    // "PED_PreencherNomeMedico" and "PED_GRUPOPADRAO"; `janela` shows the
    // progress text.
    TValidacao(TTabelasPedido& tabelas, TDM& dm, IJanela& janela) : tabelas_(tabelas), dm_(dm), janela_(janela) {}

    // Checks every request of cdsPedidos, in the table's order, with the
    // request's patient, doctor rows and group (the linked tables follow the
    // current request). Shows "Validando dados para protocolo <protocolo>"
    // per request and clears the progress text at the end.
    //
    // Rules, each adding the line "Protocolo <protocolo>: " + message, with
    // every "%" of the message replaced by the value the rule tests:
    //  1. patient codigo not an integer (EhInteiro):
    //     Código inválido para paciente no protocolo "<protocolo>". Dado = '%'
    //  2. patient nome empty: "Nome inválido para paciente" + nome
    //  3. patient sexo empty: "Sexo inválido para paciente" + nome
    //  4. birth date given and not a date (EhData), or birth date empty and
    //     the request's idade_paciente empty: "Idade inválida para paciente" + nome
    //  5. no doctor row and the setting "PED_PreencherNomeMedico" is exactly
    //     "Sim": "Médico não informado! O sistema está configurado para
    //     informar o médico obrigatoriamente."
    //  6. grupo empty and the default group is not an integer: "Grupo
    //     inválido! Nenhum grupo informado e nenhum grupo padrão definido no
    //     sistema."
    //
    // A reading that stopped before the file's end
    // (TTabelasPedido::LeituraInterrompida) is the first line.
    //
    // The settings come from the rows the data module read once for the run
    // (TDM::CarregarConfiguracoes): no connection is attempted here, and once
    // they are read the check does not need the database at all.
    //
    // Result: true when no rule is broken (the file-list row is untouched).
    // False when lines were gathered: the current cdsArquivos row is edited
    // to status -1 and erros = the lines, each followed by CR LF (cut at 500
    // characters), and saved - which makes the file list read the file again;
    // a failure of that reading goes on to the caller. False, with nothing
    // recorded, when cdsPedidos is empty (and the reading did not stop
    // partway), or when a failure stops the check (the settings cannot be
    // read from the database, ...): then Interrupcao() tells why, the file is
    // not to be taken as wrong, and the failure is neither shown nor logged.
    // cdsPedidos is left after its last request.
    bool ValidarArquivo();

    // Why the last ValidarArquivo could not check the file; empty when it
    // did (whatever it found).
    const std::string& Interrupcao() const { return interrupcao_; }

private:
    TTabelasPedido& tabelas_;
    TDM& dm_;
    IJanela& janela_;
    std::string interrupcao_;
};
