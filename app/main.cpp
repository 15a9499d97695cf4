// The program's entry: names the activity log, creates the application
// object, connects to the laboratory database (the connection settings dialog
// at most once) and runs the main window. Without a connection the program
// ends without a word.
//
// For pictures of the window: with QUORVEL_CAPTURA set to a file path the
// main window, once shown (and its first scan done), is saved there as PNG;
// with QUORVEL_SAIR_APOS_CAPTURA=1 the program then ends.

#include <cstdlib>
#include <filesystem>
#include <string>

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

bool Capturar(QWidget& janela) {
    const char* arquivo = std::getenv("QUORVEL_CAPTURA");
    if (!arquivo || !*arquivo) return false;
    janela.repaint();
    janela.grab().save(QString::fromLocal8Bit(arquivo), "PNG");
    const char* sair = std::getenv("QUORVEL_SAIR_APOS_CAPTURA");
    return sair && std::string(sair) == "1";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string pasta = PastaExecutavel(argv[0]);
    Log::DefinirArquivo(pasta + "log.txt");

    TAplicacao aplicacao(argc, argv);
    aplicacao.setApplicationName(TituloPrograma());
    aplicacao.setQuitOnLastWindowClosed(true);
    TJanelaQt janela;
    aplicacao.Janela = &janela;

    TPrograma programa(janela, pasta);
    TDialogoConexaoQt dialogo(janela);
    if (!programa.Iniciar(dialogo)) return 0;

    TFPrincipal& principal = *programa.Principal();
    janela.AoMostrarProgresso = [&principal](const QString& texto) { principal.DefinirTextoProgresso(texto); };
    principal.show();
    if (Capturar(principal)) return 0;
    const int resultado = aplicacao.exec();
    janela.AoMostrarProgresso = nullptr;
    aplicacao.Janela = nullptr;
    return resultado;
}
