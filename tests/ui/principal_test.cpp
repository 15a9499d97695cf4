// The main window on a connected data module: layout, first showing with and
// without stored settings, modes, frequency, timer, keys, the one-at-a-time
// rule for long work, the check box, the error display and the colours of the
// file list.
#include <filesystem>
#include <fstream>

#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

#include "base/UTexto.h"
#include "db/UDM.h"
#include "log/ULog.h"
#include "tests/support/UBancoTeste.h"
#include "ui/UGrade.h"
#include "ui/UPrincipal.h"

namespace {

// The window with its long work watched: each scan and run is counted, and a
// test may act in the middle of one (as the operator or the timer would
// while pending messages are handled).
class TFPrincipalTeste : public TFPrincipal {
public:
    using TFPrincipal::TFPrincipal;

    int atualizacoes = 0;
    std::vector<bool> processamentos;  // the Silencioso argument of each run
    int selecionados = 0;
    std::function<void()> durante;  // runs inside each piece of work
    bool deVerdade = false;          // also run the real work

protected:
    void AtualizarLista() override {
        ++atualizacoes;
        Meio();
        if (deVerdade) TFPrincipal::AtualizarLista();
    }
    void ProcessarTodos(bool silencioso) override {
        processamentos.push_back(silencioso);
        Meio();
        if (deVerdade) TFPrincipal::ProcessarTodos(silencioso);
    }
    void ProcessarSelecionado() override {
        ++selecionados;
        Meio();
        if (deVerdade) TFPrincipal::ProcessarSelecionado();
    }

private:
    void Meio() {
        if (!durante) return;
        // The work hands pending messages to the window; the scripted window
        // runs the test's action there.
        auto acao = std::exchange(durante, nullptr);
        Janela().MostrarProgresso("Lendo arquivo a.xml");
        acao();
        durante = std::move(acao);
    }
};

const std::string kSemValor = "<sem valor>";

std::string Lido(TDM& dm, const char* chave) { return dm.LerConfigXML("aplicacao", chave, kSemValor); }

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// The label's announced time, or an empty text when the label does not read
// "(próxima verificação às hh:nn)".
QString HoraAnunciada(const QLabel* rotulo) {
    static const QRegularExpression formato(Q("^\\(próxima verificação às (\\d\\d:\\d\\d)\\)$"));
    const auto achado = formato.match(rotulo->text());
    return achado.hasMatch() ? achado.captured(1) : QString();
}

// Shows the window and waits for its first showing's work, which starts once
// the window is on screen.
void Mostrar(TFPrincipal& f) {
    f.show();
    QTRY_VERIFY(f.Exibida());
}

// A last write of today that is old enough for the scan: files written in
// the last seconds (segundos_arquivo_estavel, 5 by default) wait as still
// being written.
std::filesystem::file_time_type EscritoHaPouco() {
    return std::filesystem::file_time_type::clock::now() - std::chrono::seconds(10);
}

bool HoraEntre(const QString& hora, const QDateTime& de, const QDateTime& ate) {
    return hora == de.toString("hh:mm") || hora == ate.toString("hh:mm");
}

}  // namespace

Q_DECLARE_METATYPE(TVariante)

class TestePrincipal : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TDMTeste> base;

    TDM& dm() { return *base->dm; }
    TJanelaTeste& janela() { return base->janela; }
    std::unique_ptr<TFPrincipalTeste> NovaJanela() { return std::make_unique<TFPrincipalTeste>(dm(), janela()); }
    std::string ArquivoConfig() const { return base->pasta + "config.xml"; }

private slots:
    void initTestCase() {
        base = std::make_unique<TDMTeste>();
        Log::DefinirArquivo(base->pasta + "log.txt");
    }
    void cleanupTestCase() { base.reset(); }
    void init() {
        std::error_code ec;
        std::filesystem::remove(ArquivoConfig(), ec);
        janela().Limpar();
        janela().AoProcessarMensagens = nullptr;
        janela().ResponderSempre(TResposta::OK);
    }

    void layout() {
        auto f = NovaJanela();
        QCOMPARE(f->windowTitle(), Q("Quorvel CAD - Cadastro Automático de Dados"));
        QCOMPARE(f->size(), QSize(733, 485));
        QCOMPARE(f->minimumSize(), f->maximumSize());
        QVERIFY(!(f->windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(f->Label3->text(), Q("  Opções"));
        QCOMPARE(f->Label3->palette().color(QPalette::Window), QColor(172, 172, 172));
        QCOMPARE(f->lbTituloArquivos->palette().color(QPalette::Window), QColor(115, 215, 253));
        QCOMPARE(f->Label2->palette().color(QPalette::Window), QColor(203, 240, 254));
        QVERIFY(f->Label2->font().bold());
        QVERIFY(f->Label1->font().bold());
        QVERIFY(f->Label7->font().bold());
        QVERIFY(f->lbProximaVerificacao->font().italic());
        QCOMPARE(f->lbProximaVerificacao->palette().color(QPalette::WindowText), QColor(128, 128, 255));
        QCOMPARE(f->lbProximaVerificacao->text(), Q("_"));
        QCOMPARE(f->lbDiretorio->text(), Q("[____]"));
        QCOMPARE(f->rgModoProcessamento->geometry(), QRect(8, 32, 185, 40));
        QCOMPARE(f->nbModoProcessamento->geometry(), QRect(200, 32, 524, 45));
        QCOMPARE(f->grideArquivos->geometry(), QRect(8, 125, 715, 76));
        QCOMPARE(f->DBGrid1->geometry(), QRect(9, 250, 715, 76));
        QCOMPARE(f->DBGrid2->geometry(), QRect(9, 348, 715, 108));
        QCOMPARE(f->StatusBar1->geometry(), QRect(0, 466, 733, 19));
        QCOMPARE(f->btnAtualizar->geometry(), QRect(12, 8, 100, 29));
        QCOMPARE(f->btnProcessarSelecionado->geometry(), QRect(118, 8, 185, 29));
        QCOMPARE(f->btnProcessarTodos->geometry(), QRect(308, 8, 130, 29));
        QCOMPARE(f->seFrequencia->geometry(), QRect(43, 15, 42, 21));
        QCOMPARE(f->seFrequencia->minimum(), 1);
        QCOMPARE(f->seFrequencia->maximum(), 60);
        QCOMPARE(f->seFrequencia->value(), 1);
        QCOMPARE(f->Painel0->width(), 200);
        QCOMPARE(f->ModoSelecionado(), -1);
        QCOMPARE(f->PaginaAtual(), Q("Manual"));
        QVERIFY(!f->timer.isActive());
        QCOMPARE(f->timer.interval(), 60000);
        QVERIFY(f->btnProcessarSelecionado->isEnabled() && f->btnProcessarTodos->isEnabled());

        const auto titulos = [](QTableView* g) {
            QStringList t;
            for (int i = 0; i < g->model()->columnCount(); ++i) t << g->model()->headerData(i, Qt::Horizontal).toString();
            return t;
        };
        QCOMPARE(titulos(f->grideArquivos), (QStringList{"Criado em", "Arquivo", "status"}));
        QCOMPARE(titulos(f->DBGrid1), (QStringList{"Pedido em", "Protocolo", "Paciente", "Medico", Q("Convênio")}));
        QCOMPARE(titulos(f->DBGrid2), (QStringList{Q("Código"), Q("Descrição"), "Material", "Coletado em"}));
        QCOMPARE(f->grideArquivos->columnWidth(1), 504);
        QCOMPARE(f->grideArquivos->columnWidth(2), 65);
        QCOMPARE(f->DBGrid1->columnWidth(0), 92);
        QCOMPARE(f->DBGrid2->columnWidth(3), 148);
        QCOMPARE(f->grideArquivos->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(f->grideArquivos->editTriggers(), QAbstractItemView::NoEditTriggers);
        const auto alinhamento = f->grideArquivos->model()->headerData(2, Qt::Horizontal, Qt::TextAlignmentRole);
        QVERIFY(alinhamento.value<Qt::Alignment>() & Qt::AlignHCenter);
    }

    void formCreateDefineADiretorio() {
        auto f = NovaJanela();
        QCOMPARE(f->Config.Diretorio, base->pasta + "arquivos/");
    }

    void textoDaConexao_data() {
        QTest::addColumn<QString>("nome");
        QTest::addColumn<QString>("texto");
        QTest::newRow("servidor") << "SERVIDOR:/dados/lab.fdb" << Q("Conectado à DB:SERVIDOR");
        QTest::newRow("sem servidor") << ":/dados/lab.fdb" << Q("Conectado à DB:");
        QTest::newRow("windows") << "SRV:d:\\dados\\lab.fdb" << Q("Conectado à DB:SRV");
    }

    void textoDaConexao() {
        QFETCH(QString, nome);
        QFETCH(QString, texto);
        QCOMPARE(TextoConexao(nome.toStdString()), texto);
    }

    void formShowSemSecaoAplicacao() {
        auto f = NovaJanela();
        Mostrar(*f);
        QCOMPARE(f->Painel0->text(), TextoConexao(dm().NomeBanco()));
        QCOMPARE(f->seFrequencia->value(), 1);
        QVERIFY(f->cbDataColetaComDataPedido->isChecked());
        QCOMPARE(f->Ciclo().Periodo(), std::int64_t{60000});
        QCOMPARE(f->Config.ModoProcessamento, std::string("manual"));
        QCOMPARE(f->Config.Frequencia, std::string("1"));
        QVERIFY(f->Config.DataColetaComDataPedido);
        QCOMPARE(f->ModoSelecionado(), 0);
        QCOMPARE(f->PaginaAtual(), Q("Manual"));
        QCOMPARE(Lido(dm(), "modo_processamento"), std::string("manual"));
        QCOMPARE(Lido(dm(), "frequencia"), kSemValor);  // showing stores nothing else
        QCOMPARE(Lido(dm(), "data_coleta_com_data_pedido"), kSemValor);
        QCOMPARE(f->atualizacoes, 1);
        QVERIFY(f->processamentos.empty());
        QVERIFY(!f->timer.isActive());
        QVERIFY(janela().caixas.empty());
    }

    void formShowComValoresGravados() {
        dm().GravarConfigXML("aplicacao", "modo_processamento", "automatico");
        dm().GravarConfigXML("aplicacao", "frequencia", "5");
        dm().GravarConfigXML("aplicacao", "data_coleta_com_data_pedido", "nao");
        auto f = NovaJanela();
        const QDateTime antes = QDateTime::currentDateTime().addSecs(300);
        Mostrar(*f);
        const QDateTime depois = QDateTime::currentDateTime().addSecs(300);
        QVERIFY(!f->cbDataColetaComDataPedido->isChecked());
        QVERIFY(!f->Config.DataColetaComDataPedido);
        QCOMPARE(f->seFrequencia->value(), 5);
        QCOMPARE(f->Ciclo().Periodo(), std::int64_t{300000});
        QCOMPARE(f->ModoSelecionado(), 1);
        QCOMPARE(f->PaginaAtual(), Q("Automático"));
        QCOMPARE(f->atualizacoes, 1);
        QCOMPARE(f->processamentos, std::vector<bool>{true});
        QVERIFY(f->timer.isActive());
        QCOMPARE(f->timer.interval(), 300000);
        QVERIFY2(HoraEntre(HoraAnunciada(f->lbProximaVerificacao), antes, depois),
                 qPrintable(f->lbProximaVerificacao->text()));
        QCOMPARE(Lido(dm(), "data_coleta_com_data_pedido"), std::string("nao"));
        QVERIFY(janela().caixas.empty());
    }

    void frequenciaQueNaoEhNumeroDeixaSemModo() {
        dm().GravarConfigXML("aplicacao", "frequencia", "abc");
        auto f = NovaJanela();
        Mostrar(*f);
        QCOMPARE(janela().caixas.size(), std::size_t{1});
        QVERIFY(janela().caixas[0].icone == TIcone::Erro);
        QVERIFY(janela().caixas[0].texto.find("'abc'") != std::string::npos);
        QCOMPARE(f->ModoSelecionado(), -1);
        QCOMPARE(f->PaginaAtual(), Q("Manual"));
        QCOMPARE(f->atualizacoes, 0);
        QCOMPARE(f->Ciclo().Periodo(), std::int64_t{60000});
        QCOMPARE(Lido(dm(), "modo_processamento"), kSemValor);
        // The window goes on: the buttons and keys of page "Manual" work.
        f->btnAtualizar->click();
        QCOMPARE(f->atualizacoes, 1);
    }

    void frequenciaForaDaFaixa() {
        dm().GravarConfigXML("aplicacao", "frequencia", "90");
        dm().GravarConfigXML("aplicacao", "modo_processamento", "automatico");
        auto f = NovaJanela();
        Mostrar(*f);
        QCOMPARE(f->seFrequencia->value(), 60);
        QCOMPARE(f->Ciclo().Periodo(), std::int64_t{90} * 60000);
        QCOMPARE(f->timer.interval(), 90 * 60000);
        QCOMPARE(Lido(dm(), "frequencia"), std::string("90"));
    }

    void trocaDeModo() {
        auto f = NovaJanela();
        Mostrar(*f);
        QCOMPARE(f->atualizacoes, 1);

        const QDateTime antes = QDateTime::currentDateTime().addSecs(60);
        QTest::mouseClick(f->rbAutomatico, Qt::LeftButton);
        const QDateTime depois = QDateTime::currentDateTime().addSecs(60);
        QCOMPARE(f->PaginaAtual(), Q("Automático"));
        QCOMPARE(Lido(dm(), "modo_processamento"), std::string("automatico"));
        QCOMPARE(f->atualizacoes, 2);
        QCOMPARE(f->processamentos, std::vector<bool>{true});
        QVERIFY(f->timer.isActive());
        QCOMPARE(f->timer.interval(), 60000);
        QVERIFY(HoraEntre(HoraAnunciada(f->lbProximaVerificacao), antes, depois));

        // Choosing the item already chosen does nothing.
        QTest::mouseClick(f->rbAutomatico, Qt::LeftButton);
        QCOMPARE(f->atualizacoes, 2);

        QTest::mouseClick(f->rbManual, Qt::LeftButton);
        QCOMPARE(f->PaginaAtual(), Q("Manual"));
        QCOMPARE(Lido(dm(), "modo_processamento"), std::string("manual"));
        QVERIFY(!f->timer.isActive());
        QCOMPARE(f->atualizacoes, 3);
        QCOMPARE(f->processamentos.size(), std::size_t{1});
        QVERIFY(janela().caixas.empty());
    }

    void frequenciaValeAPartirDoProximoCiclo() {
        dm().GravarConfigXML("aplicacao", "modo_processamento", "automatico");
        dm().GravarConfigXML("aplicacao", "frequencia", "5");
        auto f = NovaJanela();
        Mostrar(*f);
        const QString anunciada = f->lbProximaVerificacao->text();
        QCOMPARE(f->timer.interval(), 300000);

        f->seFrequencia->setValue(1);
        QCOMPARE(Lido(dm(), "frequencia"), std::string("1"));
        QCOMPARE(f->Ciclo().Periodo(), std::int64_t{60000});
        QVERIFY(f->timer.isActive());
        QCOMPARE(f->timer.interval(), 300000);
        QCOMPARE(f->lbProximaVerificacao->text(), anunciada);

        f->timerTimer();
        QCOMPARE(f->atualizacoes, 2);
        QCOMPARE(f->processamentos, (std::vector<bool>{true, true}));
        QVERIFY(f->timer.isActive());
        QCOMPARE(f->timer.interval(), 60000);
    }

    void teclasSoNaPaginaManual() {
        auto f = NovaJanela();
        Mostrar(*f);
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
        f->grideArquivos->setFocus();
        QCOMPARE(f->atualizacoes, 1);

        // The window sees the key released in its grid.
        QTest::keyRelease(f->grideArquivos, Qt::Key_F5);
        QCOMPARE(f->atualizacoes, 2);
        QTest::keyRelease(f->grideArquivos, Qt::Key_F9);
        QCOMPARE(f->processamentos, std::vector<bool>{false});
        QTest::keyRelease(f->grideArquivos, Qt::Key_F8);
        QCOMPARE(f->selecionados, 1);
        QTest::keyRelease(f->grideArquivos, Qt::Key_F6);
        QCOMPARE(f->atualizacoes, 2);

        // An empty file list disables the processing buttons and their keys.
        f->HabilitarBotoes();
        QVERIFY(!f->btnProcessarSelecionado->isEnabled());
        QVERIFY(!f->btnProcessarTodos->isEnabled());
        QTest::keyRelease(f->grideArquivos, Qt::Key_F8);
        QTest::keyRelease(f->grideArquivos, Qt::Key_F9);
        QCOMPARE(f->selecionados, 1);
        QCOMPARE(f->processamentos.size(), std::size_t{1});

        // Page "Automático": F5 does nothing.
        QTest::mouseClick(f->rbAutomatico, Qt::LeftButton);
        const int atualizacoes = f->atualizacoes;
        f->grideArquivos->setFocus();
        QTest::keyRelease(f->grideArquivos, Qt::Key_F5);
        QCOMPARE(f->atualizacoes, atualizacoes);
    }

    void umTrabalhoDeCadaVez() {
        auto f = NovaJanela();
        Mostrar(*f);
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
        f->grideArquivos->setFocus();
        QCOMPARE(f->atualizacoes, 1);

        // In the middle of a scan: every way to start work is refused.
        bool desabilitados = false;
        f->durante = [&] {
            desabilitados = !f->rgModoProcessamento->isEnabled() && !f->btnAtualizar->isEnabled() &&
                            !f->btnProcessarTodos->isEnabled();
            QVERIFY(f->Ocupado());
            QTest::mouseClick(f->btnAtualizar, Qt::LeftButton);
            f->btnAtualizarClick();
            f->btnProcessarTodosClick();
            f->btnProcessarSelecionadoClick();
            QTest::keyRelease(f->grideArquivos, Qt::Key_F5);
            QTest::keyRelease(f->grideArquivos, Qt::Key_F9);
            f->SelecionarModo(1);
            f->seFrequencia->setValue(7);
            f->timer.start(60000);
            f->timerTimer();
        };
        f->btnAtualizar->click();
        f->durante = nullptr;
        QVERIFY(desabilitados);
        QCOMPARE(f->atualizacoes, 2);
        QVERIFY(f->processamentos.empty());
        QCOMPARE(f->selecionados, 0);
        QCOMPARE(f->ModoSelecionado(), 0);
        QCOMPARE(f->PaginaAtual(), Q("Manual"));
        QCOMPARE(Lido(dm(), "modo_processamento"), std::string("manual"));
        // The tick that met the scan left the timer running for the next one.
        QVERIFY(f->timer.isActive());
        QVERIFY(!f->Ocupado());
        QVERIFY(f->rgModoProcessamento->isEnabled() && f->btnAtualizar->isEnabled());

        // Once the scan is over the next tick runs its cycle.
        f->timerTimer();
        QCOMPARE(f->atualizacoes, 3);
        QCOMPARE(f->processamentos, std::vector<bool>{true});
        QVERIFY(janela().caixas.empty());
    }

    void cicloAutomaticoNaoComecaDentroDeOutro() {
        dm().GravarConfigXML("aplicacao", "modo_processamento", "automatico");
        auto f = NovaJanela();
        int dentro = 0;
        f->durante = [&] {
            ++dentro;
            QVERIFY(!f->timer.isActive());  // stopped for the whole cycle
            f->timerTimer();
            QTest::mouseClick(f->rbManual, Qt::LeftButton);
        };
        Mostrar(*f);
        f->durante = nullptr;
        QCOMPARE(dentro, 2);  // once in the scan, once in the run
        QCOMPARE(f->atualizacoes, 1);
        QCOMPARE(f->processamentos, std::vector<bool>{true});
        QCOMPARE(f->ModoSelecionado(), 1);
        QVERIFY(f->timer.isActive());
    }

    // The first showing's work runs with the window on screen, after the
    // connection text and the settings, never inside show().
    void primeiraExibicaoComAJanelaNaTela() {
        dm().GravarConfigXML("aplicacao", "modo_processamento", "automatico");
        auto f = NovaJanela();
        QSignalSpy concluida(f.get(), &TFPrincipal::PrimeiraExibicaoConcluida);
        bool naTela = false;
        QString conexao;
        f->durante = [&] {
            naTela = f->isVisible() && f->windowHandle() && f->windowHandle()->isExposed();
            conexao = f->Painel0->text();
        };
        f->show();
        QCOMPARE(f->atualizacoes, 0);
        QVERIFY(f->processamentos.empty());
        QVERIFY(!f->Exibida());
        QTRY_VERIFY(f->Exibida());
        f->durante = nullptr;
        QVERIFY(naTela);
        QCOMPARE(conexao, TextoConexao(dm().NomeBanco()));
        QCOMPARE(f->atualizacoes, 1);
        QCOMPARE(f->processamentos, std::vector<bool>{true});
        QCOMPARE(concluida.count(), 1);
        // Later showings start nothing.
        f->hide();
        f->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.get()));
        QCoreApplication::processEvents();
        QCOMPARE(f->atualizacoes, 1);
        QCOMPARE(concluida.count(), 1);
    }

    // Closing while work runs: the window stays until the work returns (its
    // boxes still the operator's), the work is told to end, no next cycle is
    // armed, and then the window closes.
    void fecharDuranteUmTrabalho_data() {
        QTest::addColumn<QString>("modo");
        QTest::newRow("manual, F9") << Q("manual");
        QTest::newRow("automatic cycle") << Q("automatico");
    }
    void fecharDuranteUmTrabalho() {
        QFETCH(QString, modo);
        dm().GravarConfigXML("aplicacao", "modo_processamento", modo.toStdString());
        auto f = NovaJanela();
        Mostrar(*f);
        bool visivelDentro = false, encerrandoDentro = false;
        f->durante = [&] {
            f->close();  // the operator's close button
            visivelDentro = f->isVisible();
            encerrandoDentro = f->Encerrando();
        };
        if (modo == Q("manual")) {
            f->btnProcessarTodos->click();
        } else {
            f->timerTimer();
        }
        QVERIFY(visivelDentro);
        QVERIFY(encerrandoDentro);
        QVERIFY(!f->timer.isActive());
        QTRY_VERIFY(!f->isVisible());
        QVERIFY(!f->Ocupado());
    }

    // The real scan and driver see the close: the run stops before the next
    // file, nothing is imported or moved, no question is asked.
    void fecharDuranteUmaExecucaoReal() {
        const std::string caixa = base->pasta + "arquivos/";
        std::filesystem::remove_all(caixa);
        std::filesystem::create_directories(caixa);
        for (const char* nome : {"a.xml", "b.xml"}) {
            std::filesystem::copy_file(std::string(QUORVEL_DADOS_TESTE) + "/lista/valido.xml", caixa + nome);
            std::filesystem::last_write_time(caixa + nome, EscritoHaPouco());
        }
        const std::string pedidos = base->banco.Valor("select count(*) from ped_pedidos");
        auto f = NovaJanela();
        f->deVerdade = true;
        Mostrar(*f);
        QCOMPARE(f->grideArquivos->model()->rowCount(), 2);
        janela().Limpar();
        f->durante = [&] { f->close(); };
        f->btnProcessarTodos->click();
        f->durante = nullptr;
        QVERIFY(janela().caixas.empty());
        QCOMPARE(base->banco.Valor("select count(*) from ped_pedidos"), pedidos);
        QVERIFY(std::filesystem::exists(caixa + "a.xml") && std::filesystem::exists(caixa + "b.xml"));
        QCOMPARE(f->Tabelas().cdsArquivos.TextoExibicaoEm(0, "status"), std::string("Pendente"));
        QTRY_VERIFY(!f->isVisible());
        std::filesystem::remove_all(caixa);
    }

    // With no work under way the close is immediate.
    void fecharSemTrabalhoFechaNaHora() {
        auto f = NovaJanela();
        Mostrar(*f);
        QVERIFY(f->close());
        QVERIFY(!f->isVisible());
        QVERIFY(!f->Encerrando());
    }

    // config.xml that cannot be written: the error is shown and the chosen
    // mode (and frequency) is the one in force all the same.
    void trocaDeModoSemPoderGravar() {
        auto f = NovaJanela();
        Mostrar(*f);
        QCOMPARE(Lido(dm(), "modo_processamento"), std::string("manual"));
        std::filesystem::permissions(ArquivoConfig(), std::filesystem::perms::owner_read |
                                                          std::filesystem::perms::group_read |
                                                          std::filesystem::perms::others_read);
        janela().Limpar();

        QTest::mouseClick(f->rbAutomatico, Qt::LeftButton);
        QCOMPARE(janela().caixas.size(), std::size_t{1});
        QVERIFY(janela().caixas[0].icone == TIcone::Erro);
        QCOMPARE(f->PaginaAtual(), Q("Automático"));
        QCOMPARE(f->processamentos, std::vector<bool>{true});
        QVERIFY(f->timer.isActive());
        QVERIFY(!HoraAnunciada(f->lbProximaVerificacao).isEmpty());

        f->seFrequencia->setValue(7);
        QCOMPARE(janela().caixas.size(), std::size_t{2});
        QCOMPARE(f->Ciclo().Periodo(), std::int64_t{7} * 60000);

        // Back to manual, with "automatico" in the file meanwhile: the write
        // fails again, and manual mode is the one in force.
        std::filesystem::permissions(ArquivoConfig(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        dm().GravarConfigXML("aplicacao", "modo_processamento", "automatico");
        std::filesystem::permissions(ArquivoConfig(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
        const int atualizacoes = f->atualizacoes;
        QTest::mouseClick(f->rbManual, Qt::LeftButton);
        QCOMPARE(janela().caixas.size(), std::size_t{3});
        QVERIFY(janela().caixas[2].icone == TIcone::Erro);
        QCOMPARE(f->PaginaAtual(), Q("Manual"));
        QVERIFY(!f->timer.isActive());
        QCOMPARE(f->atualizacoes, atualizacoes + 1);
        QCOMPARE(Lido(dm(), "modo_processamento"), std::string("automatico"));  // the file as it was

        std::filesystem::permissions(ArquivoConfig(), std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
    }

    // Page "Automático": "minutos" and the next-check text never touch, and
    // the spin edit sits in the gap of "A cada ... minutos".
    void paginaAutomaticoSemTextosColados() {
        auto f = NovaJanela();
        const QFontMetrics medida(f->Label4->font());
        const int fimMinutos = f->Label4->x() + medida.horizontalAdvance(f->Label4->text());
        QVERIFY2(f->lbProximaVerificacao->x() >= fimMinutos + medida.horizontalAdvance(Q(" ")),
                 qPrintable(QString("%1 %2").arg(f->lbProximaVerificacao->x()).arg(fimMinutos)));
        QVERIFY(f->lbProximaVerificacao->x() >= 128);
        QVERIFY(f->lbProximaVerificacao->geometry().right() < f->nbModoProcessamento->width());
    }

    void caixaDeMarcacaoGravaSemMudarAConfiguracao() {
        auto f = NovaJanela();
        Mostrar(*f);
        QTest::mouseClick(f->cbDataColetaComDataPedido, Qt::LeftButton);
        QVERIFY(!f->cbDataColetaComDataPedido->isChecked());
        QCOMPARE(Lido(dm(), "data_coleta_com_data_pedido"), std::string("nao"));
        QVERIFY(f->Config.DataColetaComDataPedido);
        QTest::mouseClick(f->cbDataColetaComDataPedido, Qt::LeftButton);
        QCOMPARE(Lido(dm(), "data_coleta_com_data_pedido"), std::string("sim"));
    }

    void erroDeUmEventoEhMostradoEAJanelaContinua() {
        auto f = NovaJanela();
        Mostrar(*f);
        std::ofstream(ArquivoConfig(), std::ios::trunc) << "<Configuration><aplicacao>";
        QTest::mouseClick(f->cbDataColetaComDataPedido, Qt::LeftButton);
        QCOMPARE(janela().caixas.size(), std::size_t{1});
        QVERIFY(janela().caixas[0].icone == TIcone::Erro);
        QVERIFY(janela().caixas[0].botoes == TBotoes::OK);
        QVERIFY(!janela().caixas[0].texto.empty());
        f->btnAtualizar->click();
        QCOMPARE(f->atualizacoes, 2);
    }

    void mostrarProgresso() {
        auto f = NovaJanela();
        const int antes = janela().mensagensProcessadas;
        f->MostrarProgresso(Utf8ParaCp1252("Lendo arquivo ção.xml"));
        QCOMPARE(f->Painel1->text(), Q("Lendo arquivo ção.xml"));
        QCOMPARE(janela().mensagensProcessadas, antes + 1);
        f->MostrarProgresso("");
        QCOMPARE(f->Painel1->text(), QString());
    }

    // Three rows in the file list, without reading their (missing) files.
    static void TresArquivos(TFPrincipal& f) {
        TTabela& arquivos = f.Tabelas().cdsArquivos;
        arquivos.AposRolar = nullptr;
        const auto adicionar = [&](const char* nome, int status) {
            arquivos.Inserir();
            arquivos.Definir("nome_arquivo", std::string(nome));
            arquivos.Definir("status", status);
            arquivos.Definir("data_horario", TDataHora::De(2024, 3, 5, 14, 7, 59));
            arquivos.Gravar();
        };
        adicionar("/caixa/b.xml", 0);
        adicionar("/caixa/a.xml", -1);
        adicionar("/caixa/c.xml", 1);
        arquivos.Primeiro();
    }

    void gradeDeArquivosSegueATabela() {
        auto f = NovaJanela();
        TTabela& arquivos = f->Tabelas().cdsArquivos;
        TresArquivos(*f);
        QAbstractItemModel* m = f->grideArquivos->model();
        QCOMPARE(m->rowCount(), 3);
        QCOMPARE(m->index(0, 1).data().toString(), Q("/caixa/c.xml"));
        QCOMPARE(m->index(0, 2).data().toString(), Q("Finalizado"));
        QCOMPARE(m->index(1, 2).data().toString(), Q("Pendente"));
        QCOMPARE(m->index(2, 2).data().toString(), Q("Com erro"));
        QCOMPARE(m->index(0, 0).data().toString(), Q("05/03/2024 14:07:59"));
        QVERIFY(m->index(2, 2).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHCenter);
        QCOMPARE(f->grideArquivos->currentIndex().row(), 0);

        // The operator's choice of row moves the table's cursor.
        f->grideArquivos->selectRow(2);
        QCOMPARE(arquivos.IndiceAtual(), 2);
        QCOMPARE(arquivos.Texto("nome_arquivo"), std::string("/caixa/a.xml"));
        // And the table's moves show in the grid.
        arquivos.Primeiro();
        QCOMPARE(f->grideArquivos->currentIndex().row(), 0);

        arquivos.Esvaziar();
        QCOMPARE(m->rowCount(), 0);
        f->HabilitarBotoes();
        QVERIFY(!f->btnProcessarTodos->isEnabled());
    }

    void gradesNaoMudamDeLinhaDuranteUmTrabalho() {
        auto f = NovaJanela();
        TresArquivos(*f);
        TTabela& arquivos = f->Tabelas().cdsArquivos;
        f->durante = [&] {
            f->grideArquivos->selectRow(2);
            QCoreApplication::processEvents();
            QCOMPARE(arquivos.IndiceAtual(), 0);
            QCOMPARE(f->grideArquivos->currentIndex().row(), 0);
        };
        f->btnProcessarTodos->click();
        f->durante = nullptr;
        QCOMPARE(f->processamentos, std::vector<bool>{false});
        QCOMPARE(arquivos.IndiceAtual(), 0);
        // Afterwards the operator chooses rows again.
        f->grideArquivos->selectRow(2);
        QCOMPARE(arquivos.IndiceAtual(), 2);
    }

    void varreduraDaPastaDeEntrada() {
        const std::string caixa = base->pasta + "arquivos/";
        std::filesystem::create_directories(caixa);
        for (const char* nome : {"valido.xml", "sem_sexo.xml"}) {
            std::filesystem::copy_file(std::string(QUORVEL_DADOS_TESTE) + "/lista/" + nome, caixa + nome,
                                       std::filesystem::copy_options::overwrite_existing);
            std::filesystem::last_write_time(caixa + nome, EscritoHaPouco());
        }
        auto f = NovaJanela();
        f->deVerdade = true;
        Mostrar(*f);
        QVERIFY(janela().caixas.empty());
        QCOMPARE(f->lbDiretorio->text(), QString::fromStdString(caixa));
        QAbstractItemModel* arquivos = f->grideArquivos->model();
        QCOMPARE(arquivos->rowCount(), 2);
        QCOMPARE(arquivos->index(0, 1).data().toString(), QString::fromStdString(caixa + "valido.xml"));
        QCOMPARE(arquivos->index(0, 2).data().toString(), Q("Pendente"));
        QCOMPARE(arquivos->index(1, 2).data().toString(), Q("Com erro"));
        QCOMPARE(f->grideArquivos->currentIndex().row(), 0);
        // The requests and exams of the selected file.
        QCOMPARE(f->DBGrid1->model()->rowCount(), 1);
        QCOMPARE(f->DBGrid1->model()->index(0, 1).data().toString(), Q("V1"));
        QCOMPARE(f->DBGrid2->model()->index(0, 0).data().toString(), Q("HEM"));
        QVERIFY(f->btnProcessarSelecionado->isEnabled() && f->btnProcessarTodos->isEnabled());
        // The scan's progress went through the status bar, which ends empty.
        QVERIFY(std::find(janela().progressos.begin(), janela().progressos.end(), "Lendo arquivo valido.xml") !=
                janela().progressos.end());
        QCOMPARE(f->Painel1->text(), QString());

        // The operator selects the file with errors: its requests are shown.
        f->grideArquivos->selectRow(1);
        QCOMPARE(f->Tabelas().cdsArquivos.Texto("nome_arquivo"), caixa + "sem_sexo.xml");
        QVERIFY(janela().caixas.empty());

        std::filesystem::remove_all(caixa);
        QTest::keyRelease(f->grideArquivos, Qt::Key_F5);
        QCOMPARE(arquivos->rowCount(), 0);
        QCOMPARE(f->DBGrid1->model()->rowCount(), 0);
        QVERIFY(!f->btnProcessarSelecionado->isEnabled() && !f->btnProcessarTodos->isEnabled());
    }

    void desenhoDaGradeDeArquivos() {
        auto f = NovaJanela();
        Mostrar(*f);
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
        TresArquivos(*f);
        f->Tabelas().cdsArquivos.MoverPara(2);  // the file with errors
        QAbstractItemModel* m = f->grideArquivos->model();
        const QColor destaque = f->grideArquivos->palette().color(QPalette::Active, QPalette::Highlight);
        // Counts the pixels of a row's "Arquivo" cell that match.
        const auto contar = [&](int linha, const std::function<bool(const QColor&)>& combina) {
            const QImage imagem = f->grideArquivos->viewport()->grab().toImage();
            const QRect celula = f->grideArquivos->visualRect(m->index(linha, 1));
            int n = 0;
            for (int y = celula.top(); y <= celula.bottom(); ++y) {
                for (int x = celula.left(); x <= celula.right(); ++x) n += combina(imagem.pixelColor(x, y));
            }
            return n;
        };
        const auto vermelho = [](const QColor& c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; };
        const auto branco = [](const QColor& c) { return c.red() > 240 && c.green() > 240 && c.blue() > 240; };
        const auto realce = [&](const QColor& c) { return c == destaque; };

        f->DBGrid1->setFocus();
        QVERIFY(contar(2, vermelho) > 0);
        QCOMPARE(contar(2, realce), 0);  // no highlight without the focus
        QCOMPARE(contar(1, vermelho), 0);

        f->grideArquivos->setFocus();
        QVERIFY(contar(2, realce) > 0);
        QVERIFY(contar(2, branco) > 0);
        QCOMPARE(contar(2, vermelho), 0);
        QCOMPARE(contar(1, vermelho), 0);
    }

    void processarTodosPelaTecla() {
        const std::string caixa = base->pasta + "arquivos/";
        std::filesystem::remove_all(caixa);
        std::filesystem::create_directories(caixa);
        std::filesystem::copy_file(std::string(QUORVEL_DADOS_TESTE) + "/lista/valido.xml", caixa + "valido.xml");
        std::filesystem::last_write_time(caixa + "valido.xml", EscritoHaPouco());
        auto f = NovaJanela();
        f->deVerdade = true;
        Mostrar(*f);
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
        f->grideArquivos->setFocus();
        QCOMPARE(f->grideArquivos->model()->rowCount(), 1);

        janela().Limpar();
        janela().Responder(TResposta::Sim);  // remove the finished files
        QTest::keyRelease(f->grideArquivos, Qt::Key_F9);
        QVERIFY(!janela().caixas.empty());
        QCOMPARE(janela().caixas.back().texto,
                 Utf8ParaCp1252("Processo finalizado.\rDeseja remover arquivos processados com sucesso da lista de "
                                "arquivos?"));
        QVERIFY(std::filesystem::exists(caixa + "processados/valido.xml"));
        QVERIFY(!std::filesystem::exists(caixa + "valido.xml"));
        QCOMPARE(f->grideArquivos->model()->rowCount(), 0);
        QVERIFY(!f->btnProcessarTodos->isEnabled());
        QCOMPARE(base->banco.Valor("select count(*) from ped_pedidos"), std::string("1"));
        std::filesystem::remove_all(caixa);
    }

    void coresDaGradeDeArquivos_data() {
        QTest::addColumn<TVariante>("status");
        QTest::addColumn<bool>("selecionada");
        QTest::addColumn<bool>("foco");
        QTest::addColumn<QColor>("cor");
        const QColor texto(10, 20, 30);
        const QColor vermelho(255, 0, 0);
        const QColor branco(255, 255, 255);
        QTest::newRow("erro") << TVariante{std::int32_t{-1}} << false << true << vermelho;
        QTest::newRow("erro selecionada com foco") << TVariante{std::int32_t{-1}} << true << true << branco;
        QTest::newRow("erro selecionada sem foco") << TVariante{std::int32_t{-1}} << true << false << vermelho;
        QTest::newRow("pendente") << TVariante{std::int32_t{0}} << false << true << texto;
        QTest::newRow("finalizado") << TVariante{std::int32_t{1}} << false << false << texto;
        QTest::newRow("pendente selecionada com foco") << TVariante{std::int32_t{0}} << true << true << branco;
        QTest::newRow("pendente selecionada sem foco") << TVariante{std::int32_t{0}} << true << false << texto;
        QTest::newRow("nulo") << TVariante{TNulo{}} << false << true << texto;
    }

    void coresDaGradeDeArquivos() {
        QFETCH(TVariante, status);
        QFETCH(bool, selecionada);
        QFETCH(bool, foco);
        QFETCH(QColor, cor);
        QCOMPARE(CorTextoArquivo(status, selecionada, foco, QColor(10, 20, 30)), cor);
    }
};

QTEST_MAIN(TestePrincipal)
#include "principal_test.moc"
