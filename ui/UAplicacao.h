// The application object of the program: a QApplication whose event delivery
// shows an error that escaped an event handler in an error box (the error's
// text), after which the program goes on. The window's own handlers catch
// their errors already; this is the last net.
#pragma once

#include <QApplication>

#include "base/UJanela.h"

class TAplicacao : public QApplication {
public:
    TAplicacao(int& argc, char** argv) : QApplication(argc, argv) {}

    // Where the error boxes go; null: errors are swallowed.
    IJanela* Janela = nullptr;

    bool notify(QObject* receptor, QEvent* evento) override;
};
