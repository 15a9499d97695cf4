// A function key acts once per release: the key preview runs the key's
// command before the focused control sees the release, and the same release,
// travelling on up to the window after the command's modal box was answered,
// never runs it again.
#include <filesystem>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include "ui/UJanelaQt.h"
#include "db/UDM.h"
#include "log/ULog.h"
#include "tests/support/UBancoTeste.h"
#include "ui/UPrincipal.h"

namespace fs = std::filesystem;

namespace {

// The scripted window with real modal boxes: each box is recorded and
// answered from the script, and meanwhile a real QMessageBox is on screen
// over the active window, holding the keyboard focus, until it is answered.
class TJanelaComCaixas : public TJanelaTeste {
public:
    TResposta Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) override {
        const TResposta resposta = TJanelaTeste::Mensagem(texto, icone, botoes);
        QMessageBox caixa(QMessageBox::Information, QStringLiteral("Caixa"), TextoParaQt(texto),
                          QMessageBox::NoButton, QApplication::activeWindow());
        QPushButton* botao = caixa.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        caixa.setDefaultButton(botao);
        // Answered once the box holds the focus, with the key a desktop user
        // would press.
        QTimer::singleShot(0, &caixa, [&caixa] {
            caixa.activateWindow();
            QTest::keyClick(&caixa, Qt::Key_Return);
        });
        caixa.exec();
        return resposta;
    }
};

// Watches the releases a control itself receives, and how many boxes had
// been shown by then.
class TEspiaLiberacoes : public QObject {
public:
    explicit TEspiaLiberacoes(const TJanelaTeste& janela) : janela_(janela) {}
    std::vector<std::size_t> caixasAntes;  // one entry per release received

protected:
    bool eventFilter(QObject*, QEvent* evento) override {
        if (evento->type() == QEvent::KeyRelease) caixasAntes.push_back(janela_.caixas.size());
        return false;
    }

private:
    const TJanelaTeste& janela_;
};

// A test file last written two days ago: settled, and of another day.
void Copiar(const char* dado, const fs::path& destino) {
    fs::copy_file(std::string(QUORVEL_DADOS_TESTE) + "/lista/" + dado, destino,
                  fs::copy_options::overwrite_existing);
    fs::last_write_time(destino, fs::file_time_type::clock::now() - std::chrono::hours(48));
}

}  // namespace

class TesteTeclas : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TDMTeste> base;
    TJanelaComCaixas janela;

    fs::path Caixa() const { return fs::path(base->pasta) / "arquivos"; }

private slots:
    void initTestCase() {
        base = std::make_unique<TDMTeste>();
        Log::DefinirArquivo(base->pasta + "log.txt");
    }
    void cleanupTestCase() { base.reset(); }

    void umaLiberacaoUmComando_data() {
        QTest::addColumn<int>("tecla");
        QTest::addColumn<QStringList>("arquivos");  // test files put in the inbox folder
        QTest::addColumn<QList<int>>("respostas");  // TResposta of each box, in order
        QTest::addColumn<QByteArrayList>("caixas");  // the boxes of one run of the command (their start)

        QTest::newRow("F5, a file of another day, answered Nao")
            << int(Qt::Key_F5) << QStringList{"valido.xml"} << QList<int>{int(TResposta::Nao)}
            << QByteArrayList{"Existe(m) arquivos n\xE3o processados de outros dias."};
        QTest::newRow("F8 on a pending file, answered Nao")
            << int(Qt::Key_F8) << QStringList{"valido.xml"} << QList<int>{int(TResposta::Nao)}
            << QByteArrayList{"Arquivo processado com sucesso.\rDeseja remov\xEA-lo da lista?"};
        QTest::newRow("F8 on a refused file")
            << int(Qt::Key_F8) << QStringList{"sem_sexo.xml"} << QList<int>{int(TResposta::Sim)}
            << QByteArrayList{"Arquivo j\xE1 processado e com erros encontrados.\rDeseja exibir o(s) erro(s) "
                           "encontrado(s)?",
                           ""};
        QTest::newRow("F9 with nothing pending")
            << int(Qt::Key_F9) << QStringList{"sem_sexo.xml"} << QList<int>{}
            << QByteArrayList{"Nenhum arquivo pendente encontrado."};
    }

    // The key is pressed and released in the file grid; the command's box
    // takes the focus while it is open and gives it back when answered, and
    // then the release goes on up to the window.
    void umaLiberacaoUmComando() {
        QFETCH(int, tecla);
        QFETCH(QStringList, arquivos);
        QFETCH(QList<int>, respostas);
        QFETCH(QByteArrayList, caixas);

        fs::remove_all(Caixa());
        fs::create_directories(Caixa());
        janela.Limpar();
        janela.ResponderSempre(TResposta::OK);
        TFPrincipal f(*base->dm, janela);
        f.show();
        QTRY_VERIFY(f.Exibida());

        // F8 and F9 act on the files listed; F5 lists them itself.
        for (const QString& nome : arquivos) Copiar(qPrintable(nome), Caixa() / nome.toStdString());
        if (tecla != Qt::Key_F5) f.btnAtualizarClick();
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.grideArquivos->setFocus();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(f.grideArquivos));

        janela.Limpar();
        for (int r : respostas) janela.Responder(static_cast<TResposta>(r));
        TEspiaLiberacoes espia(janela);
        f.grideArquivos->installEventFilter(&espia);
        QTest::keyPress(f.grideArquivos, static_cast<Qt::Key>(tecla));
        QTest::keyRelease(f.grideArquivos, static_cast<Qt::Key>(tecla));
        QCoreApplication::processEvents();

        QByteArrayList mostradas;
        for (const auto& c : janela.caixas) mostradas << QByteArray::fromStdString(c.texto);
        QVERIFY2(mostradas.size() == caixas.size(), mostradas.join(" | ").constData());
        for (int i = 0; i < caixas.size(); ++i)
            QVERIFY2(mostradas[i].startsWith(caixas[i]), mostradas.join(" | ").constData());
        // The grid got the release once, after the window's command.
        QCOMPARE(espia.caixasAntes, std::vector<std::size_t>{std::size_t(caixas.size())});
        fs::remove_all(Caixa());
    }

    // The command destroys the control that had the focus when the key was
    // released: the release is not handed to it, and the command ran once.
    void controleDestruidoPeloComando() {
        fs::remove_all(Caixa());
        fs::create_directories(Caixa());
        janela.Limpar();
        janela.ResponderSempre(TResposta::Nao);
        TFPrincipal f(*base->dm, janela);
        f.show();
        QTRY_VERIFY(f.Exibida());
        Copiar("valido.xml", Caixa() / "valido.xml");  // the F5 scan asks about it once
        auto* campo = new QLineEdit(&f);
        campo->show();
        QObject::connect(f.btnAtualizar, &QPushButton::clicked, campo, [campo] { delete campo; });
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        campo->setFocus();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(campo));
        const QPointer<QLineEdit> vivo(campo);

        janela.Limpar();
        QTest::keyPress(campo, Qt::Key_F5);
        QTest::keyRelease(campo, Qt::Key_F5);
        QCoreApplication::processEvents();
        QVERIFY(!vivo);
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        fs::remove_all(Caixa());
    }

    // Automatic mode: the keys start nothing, and the control still gets its
    // release once.
    void modoAutomaticoTeclasNaoAgem() {
        fs::remove_all(Caixa());
        fs::create_directories(Caixa());
        base->dm->GravarConfigXML("aplicacao", "modo_processamento", "automatico");
        janela.Limpar();
        janela.ResponderSempre(TResposta::OK);
        TFPrincipal f(*base->dm, janela);
        f.show();
        QTRY_VERIFY(f.Exibida());
        Copiar("sem_sexo.xml", Caixa() / "sem_sexo.xml");
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.grideArquivos->setFocus();
        TEspiaLiberacoes espia(janela);
        f.grideArquivos->installEventFilter(&espia);

        janela.Limpar();
        for (Qt::Key tecla : {Qt::Key_F5, Qt::Key_F8, Qt::Key_F9}) {
            QTest::keyPress(f.grideArquivos, tecla);
            QTest::keyRelease(f.grideArquivos, tecla);
        }
        QCoreApplication::processEvents();
        QVERIFY(janela.caixas.empty());
        QCOMPARE(espia.caixasAntes, (std::vector<std::size_t>{0, 0, 0}));
        QCOMPARE(f.grideArquivos->model()->rowCount(), 0);  // no scan either
        f.SelecionarModo(0);
        base->dm->GravarConfigXML("aplicacao", "modo_processamento", "manual");
        fs::remove_all(Caixa());
    }
};

QTEST_MAIN(TesteTeclas)
#include "teclas_test.moc"
