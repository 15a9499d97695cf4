// The program's start-up with a scripted connection dialog: stored settings
// that connect, none at all, a cancelled dialog, confirmed settings, settings
// that fail again, a config.xml that is not well-formed, stored settings
// without a server, and a second start in a folder where the program runs
// already (held by another process).
#include <filesystem>
#include <fstream>
#include <optional>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QtTest>

#include "base/UTexto.h"
#include "tests/support/UBancoTeste.h"
#include "tests/support/UJanelaTeste.h"
#include "ui/UInicio.h"
#include "tests/ui/USilencioso.h"
#include "ui/UPrincipal.h"

namespace {

// The recovery's dialog: records what it was shown, answers as told.
class TDialogoRoteiro : public IDialogoConexao {
public:
    explicit TDialogoRoteiro(TConfigBD resposta) : resposta_(std::move(resposta)) {}
    TConfigBD Executar(const TConfigBD& atual) override {
        mostrados.push_back(atual);
        return resposta_;
    }
    std::vector<TConfigBD> mostrados;

private:
    TConfigBD resposta_;
};

class TPastaTemporaria {
public:
    TPastaTemporaria() {
        char modelo[] = "/tmp/quorvel-inicio-XXXXXX";
        caminho = std::string(::mkdtemp(modelo)) + "/";
    }
    ~TPastaTemporaria() {
        std::error_code ec;
        std::filesystem::remove_all(caminho, ec);
    }
    std::string Config() const { return caminho + "config.xml"; }
    std::optional<std::string> LerConfig() const {
        std::ifstream in(Config(), std::ios::binary);
        if (!in) return std::nullopt;
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void GravarConfig(const std::string& conteudo) const { std::ofstream(Config(), std::ios::binary) << conteudo; }
    std::string caminho;
};

TConfigBD ConfigGravada(const std::string& pasta) {
    TJanelaTeste janela;
    TDM dm(janela, pasta);
    return dm.LerConfigBD();
}

}  // namespace

class TesteInicio : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TBancoTeste> banco;

    // Stores connection settings in the folder's config.xml, as the
    // recovery does after a connection.
    static void GravarConexao(const std::string& pasta, const TConfigBD& cfg) {
        TJanelaTeste janela;
        TDM dm(janela, pasta);
        dm.GravarConfigBD(cfg);
    }

private slots:
    void initTestCase() { banco = std::make_unique<TBancoTeste>(); }
    void cleanupTestCase() { banco.reset(); }

    void configuracaoQueConectaNaoMostraODialogo() {
        TPastaTemporaria pasta;
        ConfigGravada(pasta.caminho);  // no file yet
        GravarConexao(pasta.caminho, banco->Config());
        const auto antes = pasta.LerConfig();
        const auto hora = std::filesystem::last_write_time(pasta.Config());
        QVERIFY(antes.has_value());

        TJanelaTeste janela;
        TDialogoRoteiro dialogo(TConfigBD{});
        TPrograma programa(janela, pasta.caminho);
        QVERIFY(programa.Iniciar(dialogo));
        QVERIFY(dialogo.mostrados.empty());
        QVERIFY(programa.DM()->Conectado());
        QVERIFY(programa.Principal() != nullptr);
        QVERIFY(!programa.Principal()->isVisible());
        QVERIFY(janela.caixas.empty());
        QCOMPARE(pasta.LerConfig(), antes);
        QVERIFY(std::filesystem::last_write_time(pasta.Config()) == hora);
    }

    void semConfiguracaoDialogoCanceladoTerminaEmSilencio() {
        TPastaTemporaria pasta;
        TJanelaTeste janela;
        TDialogoRoteiro dialogo(TConfigBD{});
        TPrograma programa(janela, pasta.caminho);
        QVERIFY(!programa.Iniciar(dialogo));
        QCOMPARE(dialogo.mostrados.size(), std::size_t{1});
        QVERIFY(dialogo.mostrados[0] == (TConfigBD{"", "", "sysdba", "brickmoss"}));
        QVERIFY(programa.Principal() == nullptr);
        QVERIFY(janela.caixas.empty());
        QVERIFY(!pasta.LerConfig().has_value());
    }

    void semConfiguracaoDadosConfirmadosSaoGravados() {
        TPastaTemporaria pasta;
        TJanelaTeste janela;
        // The dialog returns the server in upper case.
        TConfigBD confirmados = banco->Config();
        confirmados.Servidor = "LOCALHOST";
        TDialogoRoteiro dialogo(confirmados);
        TPrograma programa(janela, pasta.caminho);
        QVERIFY(programa.Iniciar(dialogo));
        QCOMPARE(dialogo.mostrados.size(), std::size_t{1});
        QVERIFY(programa.Principal() != nullptr);
        QVERIFY(janela.caixas.empty());
        QCOMPARE(programa.DM()->NomeBanco(), "LOCALHOST:" + banco->Caminho());
        QVERIFY(ConfigGravada(pasta.caminho) == confirmados);
    }

    void dadosQueFalhamDeNovoNaoSaoGravados() {
        TPastaTemporaria pasta;
        TConfigBD antigos{"127.0.0.1", "/tmp/quorvel-testes/antigo.fdb", "sysdba", "x"};
        GravarConexao(pasta.caminho, antigos);
        const auto antes = pasta.LerConfig();
        TJanelaTeste janela;
        TConfigBD ruins = banco->Config();
        ruins.Senha = "errada";
        TDialogoRoteiro dialogo(ruins);
        TPrograma programa(janela, pasta.caminho);
        QVERIFY(!programa.Iniciar(dialogo));
        QCOMPARE(dialogo.mostrados.size(), std::size_t{1});
        QVERIFY(dialogo.mostrados[0] == antigos);
        QVERIFY(programa.Principal() == nullptr);
        QVERIFY(janela.caixas.empty());
        QCOMPARE(pasta.LerConfig(), antes);
    }

    // Without a server the start-up opens the path alone, as the dialog's test
    // does; the status bar then names no server.
    void servidorVazioConectaComOCaminho() {
        TPastaTemporaria pasta;
        TConfigBD semServidor = banco->Config();
        semServidor.Servidor = "";
        GravarConexao(pasta.caminho, semServidor);
        TJanelaTeste janela;
        TDialogoRoteiro dialogo(TConfigBD{});
        TPrograma programa(janela, pasta.caminho);
        QVERIFY(programa.Iniciar(dialogo));
        QVERIFY(dialogo.mostrados.empty());
        QVERIFY(programa.DM()->Conectado());
        QCOMPARE(programa.DM()->NomeBanco(), ":" + banco->Caminho());
        QCOMPARE(TextoConexao(programa.DM()->NomeBanco()), QString::fromUtf8("Conectado à DB:"));
        QVERIFY(janela.caixas.empty());
    }

    // A second start in the same folder, while another process runs there:
    // one information box, nothing else; once that process is gone the start
    // goes on.
    void outraInstanciaNaMesmaPasta() {
        TPastaTemporaria pasta;
        int canal[2];
        QCOMPARE(::pipe(canal), 0);
        const pid_t outro = ::fork();
        if (outro == 0) {
            auto trava = TInstanciaUnica::Adquirir(pasta.caminho);
            const char c = trava ? '1' : '0';
            [[maybe_unused]] ssize_t n = ::write(canal[1], &c, 1);
            for (;;) ::pause();
        }
        ::close(canal[1]);
        char c = '0';
        QCOMPARE(::read(canal[0], &c, 1), ssize_t{1});
        ::close(canal[0]);
        QCOMPARE(c, '1');

        TJanelaTeste janela;
        TDialogoRoteiro dialogo(banco->Config());
        {
            TPrograma programa(janela, pasta.caminho);
            QVERIFY(!programa.Iniciar(dialogo));
            QVERIFY(programa.DM() == nullptr);
            QVERIFY(programa.Principal() == nullptr);
        }
        QVERIFY(dialogo.mostrados.empty());
        QVERIFY(!pasta.LerConfig().has_value());
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QVERIFY(janela.caixas[0].icone == TIcone::Informacao);
        QVERIFY(janela.caixas[0].botoes == TBotoes::OK);
        QCOMPARE(janela.caixas[0].texto,
                 Utf8ParaCp1252("O Quorvel CAD já está em execução nesta pasta:\r") + pasta.caminho);

        ::kill(outro, SIGKILL);
        ::waitpid(outro, nullptr, 0);
        janela.Limpar();
        TPrograma programa(janela, pasta.caminho);
        QVERIFY(programa.Iniciar(dialogo));
        QCOMPARE(dialogo.mostrados.size(), std::size_t{1});
        QVERIFY(janela.caixas.empty());
        // While this one runs, a third start in the folder is refused too.
        TPrograma terceiro(janela, pasta.caminho);
        QVERIFY(!terceiro.Iniciar(dialogo));
        QCOMPARE(janela.caixas.size(), std::size_t{1});
    }

    void pastaSemLugarParaATravaMostraOMotivo() {
        TJanelaTeste janela;
        TDialogoRoteiro dialogo(banco->Config());
        TPrograma programa(janela, "/tmp/quorvel-nao-existe-" + std::to_string(::getpid()) + "/");
        QVERIFY(!programa.Iniciar(dialogo));
        QVERIFY(dialogo.mostrados.empty());
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QVERIFY(janela.caixas[0].icone == TIcone::Erro);
        QVERIFY(janela.caixas[0].texto.find(TInstanciaUnica::kArquivo) != std::string::npos);
    }

    // A stored server that takes the connection and never answers: the
    // start-up gives up (after about 10 seconds) and the dialog follows.
    void servidorQueNaoRespondeLevaAoDialogo() {
        TServidorSilencioso mudo;
        TPastaTemporaria pasta;
        TConfigBD mudos = banco->Config();
        mudos.Servidor = mudo.Servidor();
        GravarConexao(pasta.caminho, mudos);
        TJanelaTeste janela;
        TDialogoRoteiro dialogo(banco->Config());
        TPrograma programa(janela, pasta.caminho);
        QElapsedTimer relogio;
        relogio.start();
        QVERIFY(programa.Iniciar(dialogo));
        qInfo("start-up with a silent server reached the dialog and connected after %lld ms", relogio.elapsed());
        QCOMPARE(dialogo.mostrados.size(), std::size_t{1});
        QVERIFY(dialogo.mostrados[0] == mudos);
        QVERIFY(janela.caixas.empty());
    }

    void configuracaoMalFormadaMostraOErroETermina() {
        TPastaTemporaria pasta;
        pasta.GravarConfig("<Configuration><DB servidor=\"x\"></Configuration>");
        const auto antes = pasta.LerConfig();
        TJanelaTeste janela;
        TDialogoRoteiro dialogo(banco->Config());
        TPrograma programa(janela, pasta.caminho);
        QVERIFY(!programa.Iniciar(dialogo));
        QVERIFY(dialogo.mostrados.empty());
        QVERIFY(programa.Principal() == nullptr);
        QCOMPARE(janela.caixas.size(), std::size_t{1});
        QVERIFY(janela.caixas[0].icone == TIcone::Erro);
        QVERIFY(janela.caixas[0].botoes == TBotoes::OK);
        QVERIFY(!janela.caixas[0].texto.empty());
        QCOMPARE(pasta.LerConfig(), antes);
    }
};

QTEST_MAIN(TesteInicio)
#include "inicio_test.moc"
