// The real message boxes: caption by kind, button texts, the answer of each
// button and of closing the box, line breaks and accented text.
#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "ui/UJanelaQt.h"
#include "base/UTexto.h"

namespace {

struct TVisto {
    QString legenda;
    QString texto;
    QStringList botoes;
    QMessageBox::Icon icone = QMessageBox::NoIcon;
};

// Waits for the modal box, records it and presses the button with the given
// text (an empty text closes the box from its title bar). Each try that finds
// no box yet schedules the next one (no closure that keeps itself alive).
void TentarCaixa(TVisto& visto, const QString& botao) {
    auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!caixa) {
        QTimer::singleShot(10, [&visto, botao] { TentarCaixa(visto, botao); });
        return;
    }
    visto.legenda = caixa->windowTitle();
    visto.texto = caixa->text();
    visto.icone = caixa->icon();
    for (QAbstractButton* b : caixa->buttons()) visto.botoes << b->text();
    if (botao.isEmpty()) {
        caixa->close();
        return;
    }
    for (QAbstractButton* b : caixa->buttons()) {
        if (b->text() == botao) b->click();
    }
}

void AoAbrirCaixa(TVisto& visto, const QString& botao) {
    QTimer::singleShot(0, [&visto, botao] { TentarCaixa(visto, botao); });
}

}  // namespace

Q_DECLARE_METATYPE(TIcone)
Q_DECLARE_METATYPE(TBotoes)
Q_DECLARE_METATYPE(TResposta)

class TesteJanelaQt : public QObject {
    Q_OBJECT

private slots:
    void caixas_data() {
        QTest::addColumn<TIcone>("icone");
        QTest::addColumn<TBotoes>("botoes");
        QTest::addColumn<QString>("pressionar");
        QTest::addColumn<QString>("legenda");
        QTest::addColumn<QStringList>("textos");
        QTest::addColumn<QMessageBox::Icon>("iconeQt");
        QTest::addColumn<TResposta>("resposta");
        const QStringList simNao{"&Sim", "&Não"};
        const QStringList ok{"OK"};
        const QStringList okCancela{"OK", "Cancela"};
        QTest::newRow("confirme sim") << TIcone::Confirmacao << TBotoes::SimNao << "&Sim" << "Confirme" << simNao
                                      << QMessageBox::Question << TResposta::Sim;
        QTest::newRow("confirme nao") << TIcone::Confirmacao << TBotoes::SimNao << "&Não" << "Confirme" << simNao
                                      << QMessageBox::Question << TResposta::Nao;
        QTest::newRow("sim/nao fechada") << TIcone::Erro << TBotoes::SimNao << "" << "Erro" << simNao
                                         << QMessageBox::Critical << TResposta::Nao;
        QTest::newRow("erro ok") << TIcone::Erro << TBotoes::OK << "OK" << "Erro" << ok << QMessageBox::Critical
                                 << TResposta::OK;
        QTest::newRow("atencao fechada") << TIcone::Atencao << TBotoes::OK << "" << "Atenção" << ok
                                         << QMessageBox::Warning << TResposta::OK;
        QTest::newRow("informacao cancela") << TIcone::Informacao << TBotoes::OKCancela << "Cancela"
                                            << "Informação" << okCancela << QMessageBox::Information
                                            << TResposta::Cancela;
        QTest::newRow("ok/cancela fechada") << TIcone::Informacao << TBotoes::OKCancela << "" << "Informação"
                                            << okCancela << QMessageBox::Information << TResposta::Cancela;
        QTest::newRow("simples ok") << TIcone::Nenhum << TBotoes::OKCancela << "OK" << TituloPrograma()
                                    << okCancela << QMessageBox::NoIcon << TResposta::OK;
    }

    void caixas() {
        QFETCH(TIcone, icone);
        QFETCH(TBotoes, botoes);
        QFETCH(QString, pressionar);
        QFETCH(QString, legenda);
        QFETCH(QStringList, textos);
        QFETCH(QMessageBox::Icon, iconeQt);
        QFETCH(TResposta, resposta);
        TJanelaQt janela;
        TVisto visto;
        AoAbrirCaixa(visto, pressionar);
        QVERIFY(janela.Mensagem("texto", icone, botoes) == resposta);
        QCOMPARE(visto.legenda, legenda);
        QCOMPARE(visto.botoes, textos);
        QCOMPARE(visto.icone, iconeQt);
    }

    void quebrasDeLinhaEAcentos() {
        TJanelaQt janela;
        TVisto visto;
        AoAbrirCaixa(visto, "OK");
        janela.Mensagem(Utf8ParaCp1252("Arquivo: a.xml\rlinha 2\r\nDeseja movê-los?"), TIcone::Erro, TBotoes::OK);
        QCOMPARE(visto.texto, QStringLiteral("Arquivo: a.xml\nlinha 2\nDeseja movê-los?"));
    }

    void progressoVaiParaABarraEProcessaMensagens() {
        TJanelaQt janela;
        QString painel = "antes";
        janela.AoMostrarProgresso = [&](const QString& t) { painel = t; };
        bool atendida = false;
        QTimer::singleShot(0, [&] { atendida = true; });
        janela.MostrarProgresso(Utf8ParaCp1252("Lendo arquivo pedido_ç.xml"));
        QCOMPARE(painel, QStringLiteral("Lendo arquivo pedido_ç.xml"));
        QVERIFY(atendida);
        janela.MostrarProgresso("");
        QCOMPARE(painel, QString());
    }
};

QTEST_MAIN(TesteJanelaQt)
#include "janelaqt_test.moc"
