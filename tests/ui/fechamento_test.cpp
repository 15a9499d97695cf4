// Closing the main window while a run shows a box, with real message boxes
// and the application's event loop running as in the program: the box waits
// for the operator, the work gets the operator's answer (never one the
// program gives itself), and the program ends only after the work returned.
#include <functional>
#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "ui/UJanelaQt.h"
#include "log/ULog.h"
#include "tests/support/UBancoTeste.h"
#include "ui/UPrincipal.h"

namespace {

// The window whose run is the test's: the first showing lists nothing.
class TFPrincipalRoteiro : public TFPrincipal {
public:
    using TFPrincipal::TFPrincipal;
    std::function<void()> execucao;

protected:
    void AtualizarLista() override {}
    void ProcessarTodos(bool) override {
        if (execucao) execucao();
    }
};

// The operator at the screen: looks at the event loop every 50 ms; once a
// message box has stayed open for `voltas` looks, presses its button
// `botao`. `aoVerCaixa` runs at the first look that finds the box.
class TOperador {
public:
    TOperador(QString botao, int voltas, std::function<void()> aoVerCaixa)
        : botao_(std::move(botao)), voltas_(voltas), aoVerCaixa_(std::move(aoVerCaixa)) {
        QObject::connect(&relogio_, &QTimer::timeout, [this] { Olhar(); });
        relogio_.start(50);
    }
    int vezesVista = 0;
    bool apertou = false;

private:
    void Olhar() {
        auto* caixa = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!caixa || !caixa->isVisible()) return;
        if (vezesVista++ == 0 && aoVerCaixa_) aoVerCaixa_();
        if (vezesVista < voltas_) return;
        for (QAbstractButton* b : caixa->buttons()) {
            if (b->text() == botao_) {
                apertou = true;
                b->click();
                return;
            }
        }
    }
    QString botao_;
    int voltas_;
    std::function<void()> aoVerCaixa_;
    QTimer relogio_;
};

}  // namespace

class TesteFechamento : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TDMTeste> base;

private slots:
    void initTestCase() {
        base = std::make_unique<TDMTeste>();
        Log::DefinirArquivo(base->pasta + "log.txt");
        QApplication::setQuitOnLastWindowClosed(true);
    }
    void cleanupTestCase() { base.reset(); }

    void fecharDuranteUmaExecucaoComCaixa_data() {
        QTest::addColumn<bool>("comACaixaAberta");
        QTest::newRow("closed before the box") << false;
        QTest::newRow("closed while the box is open") << true;
    }
    void fecharDuranteUmaExecucaoComCaixa() {
        QFETCH(bool, comACaixaAberta);
        TJanelaQt janela;
        TFPrincipalRoteiro f(*base->dm, janela);
        f.show();
        QTRY_VERIFY(f.Exibida());

        TResposta resposta = TResposta::OK;
        bool respondida = false;
        bool encerrandoDepois = false;
        f.execucao = [&] {
            if (!comACaixaAberta) f.close();  // the close button, handled while the run hands messages over
            resposta = janela.Mensagem("Deseja continuar?", TIcone::Confirmacao, TBotoes::SimNao);
            respondida = true;
            encerrandoDepois = f.Encerrando();
        };
        TOperador operador(QString::fromUtf8("&Sim"), 4, [&] {
            if (comACaixaAberta) f.close();  // as the program's SIGTERM watch does
        });
        bool fimAntesDaResposta = false;
        const auto fim = connect(qApp, &QGuiApplication::lastWindowClosed, this,
                                 [&] { fimAntesDaResposta = !respondida; });
        bool travou = false;
        QTimer::singleShot(30000, this, [&] {
            travou = true;
            if (QWidget* caixa = QApplication::activeModalWidget()) caixa->close();
            QCoreApplication::exit(1);
        });
        QTimer::singleShot(0, &f, [&] { f.btnProcessarTodos->click(); });
        const int fimDoLaco = QApplication::exec();
        disconnect(fim);

        QVERIFY(!travou);
        QCOMPARE(fimDoLaco, 0);
        QVERIFY(operador.apertou);
        QVERIFY(operador.vezesVista >= 4);  // the box stayed up until answered
        QVERIFY(respondida);
        QVERIFY(resposta == TResposta::Sim);
        QVERIFY(encerrandoDepois);
        QVERIFY(!fimAntesDaResposta);
        QVERIFY(!f.isVisible());
        QVERIFY(!f.Ocupado());
    }
};

QTEST_MAIN(TesteFechamento)
#include "fechamento_test.moc"
