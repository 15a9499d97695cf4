// The window services of the real program: modal Qt message boxes, the
// progress text in the main window's status bar and the handling of pending
// window messages. Also the text conversion between the core (Windows-1252)
// and Qt.
#pragma once

#include <functional>
#include <string>

#include <QString>

#include "base/UJanela.h"

// The program's title: the caption of plain message boxes.
QString TituloPrograma();

// Core text (Windows-1252) for display; "\r\n" and a lone "\r" become line
// breaks.
QString TextoParaQt(const std::string& cp1252);
// Text typed in the window for the core (Windows-1252; characters it cannot
// hold become "?").
std::string TextoDoQt(const QString& texto);

class TJanelaQt : public IJanela {
public:
    // Shows a modal QMessageBox over the active window: caption by the icon
    // ("Atenção", "Erro", "Informação", "Confirme", the program's title for a
    // plain box), buttons "&Sim"/"&Não", "OK" or "OK"/"Cancela". Closing the
    // box from its title bar answers Nao, Cancela or OK.
    TResposta Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) override;

    // Hands the text to AoMostrarProgresso when set, then handles pending
    // window messages. (The main window puts its progress texts in its
    // status bar itself and then calls this.)
    void MostrarProgresso(const std::string& texto) override;

    // Handles all pending window messages (painting, input, timers).
    void ProcessarMensagens() override;

    // Optional display of the progress text; empty by default.
    std::function<void(const QString&)> AoMostrarProgresso;

    // For unattended runs (pictures of the window without a screen): each box
    // is answered at once as if closed from its title bar (Nao, Cancela or
    // OK) instead of waiting for the operator.
    bool RespostaAutomatica = false;
};
