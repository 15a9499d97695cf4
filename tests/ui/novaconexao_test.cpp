// The connection settings dialog against the real Firebird server: the
// enabling of "Confirmar", the checks of Validar in their order, the test
// connection and what Executar returns.
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QElapsedTimer>
#include <QtTest>

#include "ui/UNovaConexao.h"
#include "base/UTexto.h"
#include "tests/support/UBancoTeste.h"
#include "tests/support/UJanelaTeste.h"
#include "tests/ui/USilencioso.h"

namespace {

std::string Cp(const char* utf8) { return Utf8ParaCp1252(utf8); }

const char* const kPerguntaServidor = "Você não especificou o servidor.\r\nDeseja continuar assim mesmo?";
const char* const kSemCaminho = "Você deve informar o caminho do banco de dados.";
const char* const kSemUsuario = "Você deve informar o nome do usuario.";
const char* const kFalhaTeste = "Não foi possível conectar no banco de dados com os dados informados!";

void Preencher(TFNovaConexao& d, const QString& servidor, const QString& caminho, const QString& usuario,
               const QString& senha) {
    d.Servidor->setText(servidor);
    d.Caminho->setText(caminho);
    d.Usuario->setText(usuario);
    d.Senha->setText(senha);
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Runs `acao` on the modal dialog once it is shown; each try that finds no
// dialog yet schedules the next one (no closure that keeps itself alive).
void TentarDialogo(const std::function<void(TFNovaConexao&)>& acao) {
    if (auto* d = qobject_cast<TFNovaConexao*>(QApplication::activeModalWidget())) {
        acao(*d);
    } else {
        QTimer::singleShot(10, [acao] { TentarDialogo(acao); });
    }
}

void AoAbrirDialogo(std::function<void(TFNovaConexao&)> acao) {
    QTimer::singleShot(0, [acao] { TentarDialogo(acao); });
}

}  // namespace

class TesteNovaConexao : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TBancoTeste> banco;

    QString Caminho() const { return Q(banco->Caminho()); }
    QString Usuario() const { return Q(banco->Config().Usuario); }
    QString Senha() const { return Q(banco->Config().Senha); }
    QString Host() const { return Q(banco->Config().Servidor); }

private slots:
    void initTestCase() { banco = std::make_unique<TBancoTeste>(); }
    void cleanupTestCase() { banco.reset(); }

    void layout() {
        TJanelaTeste janela;
        TFNovaConexao d(janela);
        d.show();
        QCOMPARE(d.size(), QSize(395, 190));
        QCOMPARE(d.windowTitle(), QStringLiteral("Dados para registro do banco de dados"));
        QCOMPARE(d.Titulo->font().bold(), true);
        QCOMPARE(d.Servidor->geometry(), QRect(10, 65, 278, 21));
        QCOMPARE(d.Caminho->geometry(), QRect(10, 112, 278, 21));
        QCOMPARE(d.Usuario->geometry(), QRect(10, 159, 121, 21));
        QCOMPARE(d.Senha->geometry(), QRect(136, 159, 121, 21));
        QCOMPARE(d.btnConfirmar->text(), QStringLiteral("&Confirmar"));
        QCOMPARE(d.btnCancelar->text(), QStringLiteral("Ca&ncelar"));
        QCOMPARE(d.btnConfirmar->size(), QSize(94, 35));
        QCOMPARE(d.btnConfirmar->focusPolicy(), Qt::NoFocus);
        QCOMPARE(d.btnCancelar->focusPolicy(), Qt::NoFocus);
        QCOMPARE(d.btnConfirmar->mapTo(&d, QPoint(0, 0)), QPoint(395 - 102 + 6, 39 + 12));
        QCOMPARE(d.btnCancelar->mapTo(&d, QPoint(0, 0)), QPoint(395 - 102 + 6, 39 + 47));
        // The password shows one filled circle per character.
        QCOMPARE(d.Senha->echoMode(), QLineEdit::Password);
        QCOMPARE(d.Senha->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, d.Senha), 0x25CF);
    }

    void habilitacaoConfirmar_data() {
        QTest::addColumn<QString>("servidor");
        QTest::addColumn<QString>("caminho");
        QTest::addColumn<QString>("usuario");
        QTest::addColumn<QString>("senha");
        QTest::addColumn<bool>("habilitado");
        QTest::newRow("tudo") << "SRV" << "/b.fdb" << "sysdba" << "x" << true;
        QTest::newRow("sem servidor") << "" << "/b.fdb" << "sysdba" << "x" << true;
        QTest::newRow("sem caminho") << "SRV" << "" << "sysdba" << "x" << false;
        QTest::newRow("sem usuario") << "SRV" << "/b.fdb" << "" << "x" << false;
        QTest::newRow("sem senha") << "SRV" << "/b.fdb" << "sysdba" << "" << false;
        QTest::newRow("vazio") << "" << "" << "" << "" << false;
    }

    void habilitacaoConfirmar() {
        QFETCH(QString, servidor);
        QFETCH(QString, caminho);
        QFETCH(QString, usuario);
        QFETCH(QString, senha);
        QFETCH(bool, habilitado);
        TJanelaTeste janela;
        TFNovaConexao d(janela);
        // Any field's change re-checks, whatever the order of typing.
        Preencher(d, "x", "x", "x", "x");
        Preencher(d, servidor, caminho, usuario, senha);
        QCOMPARE(d.btnConfirmar->isEnabled(), habilitado);
    }

    void preencherDesabilitaSemCaminho() {
        TJanelaTeste janela;
        TFNovaConexao d(janela);
        QVERIFY(!d.btnConfirmar->isEnabled());
        d.Preencher(TConfigBD{"", "", "sysdba", "brickmoss"});
        QVERIFY(!d.btnConfirmar->isEnabled());
        QTest::keyClicks(d.Caminho, "/x.fdb");
        QVERIFY(d.btnConfirmar->isEnabled());
    }

    void servidorVazioRespondidoNao() {
        TJanelaTeste janela;
        janela.Responder(TResposta::Nao);
        TFNovaConexao d(janela);
        Preencher(d, "", Caminho(), Usuario(), Senha());
        QVERIFY(!d.Validar());
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QCOMPARE(janela.caixas[0].texto, Cp(kPerguntaServidor));
        QVERIFY(janela.caixas[0].icone == TIcone::Confirmacao);
        QVERIFY(janela.caixas[0].botoes == TBotoes::SimNao);
    }

    void servidorVazioRespondidoSimTestaSoOCaminho() {
        // The path alone names no server: the test connection goes to the
        // path as a local name, so an unknown file fails after the question.
        TJanelaTeste janela;
        janela.Responder(TResposta::Sim);
        TFNovaConexao d(janela);
        Preencher(d, "", "/tmp/quorvel-testes/nao-existe.fdb", Usuario(), Senha());
        QVERIFY(!d.Validar());
        QCOMPARE(janela.caixas.size(), std::size_t{2});
        QCOMPARE(janela.caixas[0].texto, Cp(kPerguntaServidor));
        QCOMPARE(janela.caixas[1].texto, Cp(kFalhaTeste));

        // A path that carries the server in it connects with no server typed.
        janela.Limpar();
        janela.Responder(TResposta::Sim);
        Preencher(d, "", Host() + ":" + Caminho(), Usuario(), Senha());
        QVERIFY(d.Validar());
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QCOMPARE(d.Resultado().Servidor, std::string());
    }

    void caminhoVazio() {
        TJanelaTeste janela;
        TFNovaConexao d(janela);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        Preencher(d, Host(), "", Usuario(), Senha());
        d.Servidor->setFocus();
        QVERIFY(!d.Validar());
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QCOMPARE(janela.caixas[0].texto, Cp(kSemCaminho));
        QVERIFY(janela.caixas[0].icone == TIcone::Erro);
        QVERIFY(janela.caixas[0].botoes == TBotoes::OK);
        QCOMPARE(d.focusWidget(), d.Caminho);
    }

    void usuarioVazio() {
        TJanelaTeste janela;
        TFNovaConexao d(janela);
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        Preencher(d, Host(), Caminho(), "", Senha());
        d.Servidor->setFocus();
        QVERIFY(!d.Validar());
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QCOMPARE(janela.caixas[0].texto, Cp(kSemUsuario));
        QVERIFY(janela.caixas[0].icone == TIcone::Erro);
        QCOMPARE(d.focusWidget(), d.Usuario);
    }

    void testeDeConexaoFalha_data() {
        QTest::addColumn<QString>("caminho");
        QTest::addColumn<QString>("senha");
        QTest::newRow("senha errada") << QString() << "errada";
        QTest::newRow("banco inexistente") << "/tmp/quorvel-testes/nao-existe.fdb" << QString();
    }

    void testeDeConexaoFalha() {
        QFETCH(QString, caminho);
        QFETCH(QString, senha);
        TJanelaTeste janela;
        TFNovaConexao d(janela);
        Preencher(d, Host(), caminho.isEmpty() ? Caminho() : caminho, Usuario(), senha.isEmpty() ? Senha() : senha);
        QVERIFY(!d.Validar());
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QCOMPARE(janela.caixas[0].texto, Cp(kFalhaTeste));
        QVERIFY(janela.caixas[0].icone == TIcone::Confirmacao);
        QVERIFY(janela.caixas[0].botoes == TBotoes::OK);
    }

    // A server that takes the connection and never answers: the test gives
    // up (after about 10 seconds, not the client's minutes) with its message.
    void servidorQueNaoRespondeDesisteComAMensagem() {
        TServidorSilencioso mudo;
        TJanelaTeste janela;
        TFNovaConexao d(janela);
        Preencher(d, Q(mudo.Servidor()), Caminho(), Usuario(), Senha());
        QElapsedTimer relogio;
        relogio.start();
        QVERIFY(!d.TestarConexao());
        qInfo("test connection to a silent server gave up after %lld ms", relogio.elapsed());
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QCOMPARE(janela.caixas[0].texto, Cp(kFalhaTeste));
    }

    void validarComDadosBons() {
        TJanelaTeste janela;
        TFNovaConexao d(janela);
        Preencher(d, "localhost", Caminho(), Usuario(), Senha());
        QVERIFY(d.Validar());
        QVERIFY(janela.caixas.empty());
    }

    void executarConfirmadoDevolveServidorEmMaiusculas() {
        TJanelaTeste janela;
        AoAbrirDialogo([&](TFNovaConexao& d) {
            d.Servidor->setText("localhost");
            QTest::mouseClick(d.btnConfirmar, Qt::LeftButton);
        });
        const TConfigBD cfg =
            TFNovaConexao::Executar(janela, TConfigBD{"", banco->Caminho(), banco->Config().Usuario, banco->Config().Senha});
        QCOMPARE(cfg.Servidor, std::string("LOCALHOST"));
        QCOMPARE(cfg.Banco, banco->Caminho());
        QCOMPARE(cfg.Usuario, banco->Config().Usuario);
        QCOMPARE(cfg.Senha, banco->Config().Senha);
        QVERIFY(janela.caixas.empty());
    }

    void executarCanceladoAposFalhaDevolveVazio() {
        TJanelaTeste janela;
        AoAbrirDialogo([&](TFNovaConexao& d) {
            d.Senha->setText("errada");
            QTest::mouseClick(d.btnConfirmar, Qt::LeftButton);  // fails, stays open
            QVERIFY(d.isVisible());
            QTest::keyClick(&d, Qt::Key_Escape);  // no action of its own
            QTest::keyClick(d.Senha, Qt::Key_Return);
            QVERIFY(d.isVisible());
            QTest::mouseClick(d.btnCancelar, Qt::LeftButton);
        });
        const TConfigBD cfg = TFNovaConexao::Executar(janela, banco->Config());
        QVERIFY(cfg == TConfigBD{});
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QCOMPARE(janela.caixas[0].texto, Cp(kFalhaTeste));
    }

    void fecharPelaBarraDeTituloCancela() {
        TJanelaTeste janela;
        AoAbrirDialogo([](TFNovaConexao& d) { d.close(); });
        QVERIFY(TFNovaConexao::Executar(janela, banco->Config()) == TConfigBD{});
    }
};

QTEST_MAIN(TesteNovaConexao)
#include "novaconexao_test.moc"
