#include "ui/UAplicacao.h"

#include <exception>

bool TAplicacao::notify(QObject* receptor, QEvent* evento) {
    try {
        return QApplication::notify(receptor, evento);
    } catch (const std::exception& erro) {
        if (Janela) Janela->Mensagem(erro.what(), TIcone::Erro, TBotoes::OK);
    }
    return false;
}
