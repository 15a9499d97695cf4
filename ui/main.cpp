// The program's entry: names the activity log, creates the application
// object (with Qt's own texts in Brazilian Portuguese), takes the program
// folder's one-instance lock, connects to the laboratory database (the
// connection settings dialog at most once) and runs the main window. A second
// start in the same folder shows an information box and ends; without a
// connection the program ends without a word.
//
// For pictures of the window: with QUORVEL_CAPTURA set to a file path the
// first window shown is saved there as PNG: the connection settings dialog
// when the stored settings do not connect, otherwise the main window once its
// first showing's work (the scan, or the first automatic cycle) is done. With
// QUORVEL_SAIR_APOS_CAPTURA=1 as well, message boxes are answered at once as
// if closed, the dialog is cancelled and the program ends after the picture.

#include <csignal>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QCoreApplication>
#include <QTimer>
#include <QWindow>

#include "base/UArquivoSeguro.h"
#include "ui/UJanelaQt.h"
#include "ui/UNovaConexao.h"
#include "base/UPastaPrograma.h"
#include "db/USinalCliente.h"
#include "log/ULog.h"
#include "ui/UAplicacao.h"
#include "ui/UInicio.h"
#include "ui/UTraducao.h"

namespace {

const char* ArquivoCaptura() {
    const char* arquivo = std::getenv("QUORVEL_CAPTURA");
    return arquivo && *arquivo ? arquivo : nullptr;
}

bool SairAposCaptura() {
    const char* sair = std::getenv("QUORVEL_SAIR_APOS_CAPTURA");
    return ArquivoCaptura() && sair && std::string(sair) == "1";
}

// SIGTERM (a service manager, a test) closes the main window like its close
// button, so the program ends normally after the work under way.
volatile std::sig_atomic_t g_encerrar = 0;
void AoSinalEncerrar(int) { g_encerrar = 1; }

// Saves the picture of the window (as the operator sees it: active).
void Capturar(QWidget& janela) {
    janela.activateWindow();
    QCoreApplication::processEvents();
    janela.repaint();
    janela.grab().save(QString::fromLocal8Bit(ArquivoCaptura()), "PNG");
}

// While the start-up waits in the connection settings dialog: its picture,
// once it is on screen, and then, when asked, its cancel.
void CapturarDialogo(QTimer& procura) {
    procura.setInterval(100);
    QObject::connect(&procura, &QTimer::timeout, [&procura] {
        QWidget* dialogo = QApplication::activeModalWidget();
        if (!dialogo || dialogo->objectName() != QStringLiteral("FNovaConexao") || !dialogo->windowHandle() ||
            !dialogo->windowHandle()->isExposed())
            return;
        procura.stop();
        Capturar(*dialogo);
        if (SairAposCaptura()) QMetaObject::invokeMethod(dialogo, "reject", Qt::QueuedConnection);
    });
    procura.start();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string pasta = PastaExecutavel(argv[0]);
    Log::DefinirArquivo(pasta + "log.txt");
    // A rewrite of months of log costs more than a request's import: flush
    // points hand the lines to the log's writer and the work goes on.
    Log::DefinirSegundoPlano(true);

    TAplicacao aplicacao(argc, argv);
    aplicacao.setApplicationName(TituloPrograma());
    aplicacao.setQuitOnLastWindowClosed(true);
    CarregarTraducaoQt(aplicacao);  // without the translations Qt's texts stay in English
    TJanelaQt janela;
    // A picture taken without anyone at the screen must not wait for answers.
    janela.RespostaAutomatica = SairAposCaptura();
    aplicacao.Janela = &janela;

    // The database client would shut every connection down on SIGTERM or
    // SIGINT, in the middle of the request being imported: the window ends
    // on its own, after that request.
    RecusarEncerramentoDoClientePorSinal([] { g_encerrar = 1; });

    TPrograma programa(janela, pasta);
    TDialogoConexaoQt dialogo(janela);
    QTimer procuraDialogo;
    if (ArquivoCaptura()) CapturarDialogo(procuraDialogo);
    const bool iniciou = programa.Iniciar(dialogo);
    // The dialog was shown and pictured: that was the picture asked for.
    const bool dialogoCapturado = ArquivoCaptura() && !procuraDialogo.isActive();
    procuraDialogo.stop();
    if (!iniciou || (dialogoCapturado && SairAposCaptura())) return 0;

    // The folder's lock is held now, and nothing has been logged yet: hidden
    // temporary files a crash left (a rewrite of log.txt or config.xml, a
    // move) go before the window writes any of its own.
    RemoverTemporariosAbandonados(pasta);
    TFPrincipal& principal = *programa.Principal();
    if (ArquivoCaptura() && !dialogoCapturado) {
        QObject::connect(&principal, &TFPrincipal::PrimeiraExibicaoConcluida, &principal, [&principal] {
            Capturar(principal);
            if (SairAposCaptura()) QCoreApplication::exit(0);
        });
    }
    principal.show();
    std::signal(SIGTERM, AoSinalEncerrar);
    QTimer vigia;
    QObject::connect(&vigia, &QTimer::timeout, [&principal] {
        // Like the close button. Work under way ends first (the window
        // closes when it has returned); a box shown outside any work is left
        // to the operator, and the close is tried again after it.
        if (g_encerrar && (principal.Ocupado() || !QApplication::activeModalWidget())) principal.close();
    });
    vigia.start(200);
    const int resultado = aplicacao.exec();
    aplicacao.Janela = nullptr;
    return resultado;
}
