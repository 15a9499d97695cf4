// The program's last net: an error that escapes an event handler is shown in
// an error box with its text, and the program goes on delivering events.
#include <QtTest>

#include "base/UErro.h"
#include "base/UTexto.h"
#include "tests/support/UJanelaTeste.h"
#include "ui/UAplicacao.h"

namespace {

class TObjetoQueFalha : public QObject {
public:
    int recebidos = 0;

protected:
    bool event(QEvent* evento) override {
        if (evento->type() != QEvent::User) return QObject::event(evento);
        ++recebidos;
        throw EErro(Utf8ParaCp1252("Falha no evento nº ") + std::to_string(recebidos));
    }
};

}  // namespace

class TesteAplicacao : public QObject {
    Q_OBJECT

private slots:
    void erroDeUmEventoViraCaixaDeErro() {
        auto* aplicacao = static_cast<TAplicacao*>(QCoreApplication::instance());
        TJanelaTeste janela;
        aplicacao->Janela = &janela;
        TObjetoQueFalha objeto;

        QEvent direto(QEvent::User);
        QVERIFY(!QCoreApplication::sendEvent(&objeto, &direto));
        QCoreApplication::postEvent(&objeto, new QEvent(QEvent::User));
        QCoreApplication::processEvents();

        QCOMPARE(objeto.recebidos, 2);
        QCOMPARE(janela.caixas.size(), std::size_t{2});
        QCOMPARE(janela.caixas[0].texto, Utf8ParaCp1252("Falha no evento nº 1"));
        QCOMPARE(janela.caixas[1].texto, Utf8ParaCp1252("Falha no evento nº 2"));
        QVERIFY(janela.caixas[0].icone == TIcone::Erro);
        QVERIFY(janela.caixas[0].botoes == TBotoes::OK);
        aplicacao->Janela = nullptr;
    }
};

int main(int argc, char** argv) {
    TAplicacao aplicacao(argc, argv);
    TesteAplicacao teste;
    return QTest::qExec(&teste, argc, argv);
}

#include "aplicacao_test.moc"
