// The program's entry: names the activity log, creates the application
// object, connects to the laboratory database (the connection settings dialog
// at most once) and runs the main window. Without a connection the program
// ends without a word.
//
// For pictures of the window: with QUORVEL_CAPTURA set to a file path the
// main window, once shown (and its first scan done), is saved there as PNG;
// with QUORVEL_SAIR_APOS_CAPTURA=1 as well, message boxes are answered at once
// as if closed and the program ends after the picture.

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QCoreApplication>
#include <QTimer>

#include "app/UJanelaQt.h"
#include "app/UNovaConexao.h"
#include "log/ULog.h"
#include "ui/UAplicacao.h"
#include "ui/UInicio.h"

namespace {

// The executable's folder, ending with a separator.
std::string PastaExecutavel(const char* argv0) {
    std::error_code erro;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", erro);
    if (erro) exe = std::filesystem::absolute(argv0, erro);
    std::string pasta = exe.parent_path().string();
    if (pasta.empty() || pasta.back() != '/') pasta += '/';
    return pasta;
}

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

// Saves the picture when asked; true when the program should then end.
bool Capturar(QWidget& janela) {
    const char* arquivo = ArquivoCaptura();
    if (!arquivo) return false;
    // The window as the operator sees it: active, the file list focused.
    janela.activateWindow();
    QCoreApplication::processEvents();
    janela.repaint();
    janela.grab().save(QString::fromLocal8Bit(arquivo), "PNG");
    return SairAposCaptura();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string pasta = PastaExecutavel(argv[0]);
    Log::DefinirArquivo(pasta + "log.txt");

    TAplicacao aplicacao(argc, argv);
    aplicacao.setApplicationName(TituloPrograma());
    aplicacao.setQuitOnLastWindowClosed(true);
    TJanelaQt janela;
    // A picture taken without anyone at the screen must not wait for answers.
    janela.RespostaAutomatica = SairAposCaptura();
    aplicacao.Janela = &janela;

    TPrograma programa(janela, pasta);
    TDialogoConexaoQt dialogo(janela);
    if (!programa.Iniciar(dialogo)) return 0;

    TFPrincipal& principal = *programa.Principal();
    principal.show();
    if (Capturar(principal)) return 0;
    std::signal(SIGTERM, AoSinalEncerrar);
    QTimer vigia;
    QObject::connect(&vigia, &QTimer::timeout, [&principal] {
        if (g_encerrar) principal.close();
    });
    vigia.start(200);
    const int resultado = aplicacao.exec();
    aplicacao.Janela = nullptr;
    return resultado;
}
