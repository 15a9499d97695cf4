// What the core needs of a window: modal message boxes, the progress text and
// handling of pending window messages. The Qt main window implements it with
// real message boxes; tests use a scripted double that records every box and
// answers it.
#pragma once

#include <string>

enum class TIcone {
    Nenhum,       // plain box, captioned with the program's title
    Atencao,      // caption "Atenção"
    Erro,         // caption "Erro"
    Informacao,   // caption "Informação"
    Confirmacao,  // caption "Confirme"
};

enum class TBotoes {
    OK,         // "OK"
    SimNao,     // "&Sim", "&Não"
    OKCancela,  // "OK", "Cancela"
};

enum class TResposta { OK, Sim, Nao, Cancela };

class IJanela {
public:
    virtual ~IJanela() = default;

    // Shows a modal box with the text (Windows-1252; "\r" and "\r\n" break
    // lines) and returns the button pressed. Closing the box without a button
    // answers Nao for Sim/Não boxes and Cancela or OK otherwise.
    virtual TResposta Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) = 0;

    // Shows the progress text in the status bar (empty text clears it), then
    // handles pending window messages.
    virtual void MostrarProgresso(const std::string& texto) = 0;

    // Handles pending window messages (painting, input, timer events).
    virtual void ProcessarMensagens() = 0;

    // True once the program was asked to end (the operator closed the main
    // window, the service was told to stop) while work runs. Long work asks
    // between its steps and stops at the next one: the processing driver after
    // the request being imported (that file keeps its status and is not
    // moved), the inbox scan between files. Boxes are still shown and
    // answered by the operator. Stays true until the program ends.
    virtual bool Encerrando() const { return false; }

    // The file and the request that the work under way is on ("Arquivo
    // <name>, protocolo <p>"; empty when none), for a program that shows no
    // boxes: the service puts it in front of the lines it writes for them. A
    // window shows its boxes' texts as they stand and ignores it.
    virtual void DefinirContexto(const std::string& /*contexto*/) {}

    // A line (Windows-1252) for the record of a program that shows no boxes
    // (the service writes it to its journal, standard error); a window has
    // no such record. The caller writes it to the activity log itself.
    virtual void Avisar(const std::string& /*linha*/) {}
};
