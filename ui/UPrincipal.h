// The operator's main window: the request files of the inbox folder with
// their status, the requests and exams of the selected file, the connection
// in use, the manual and automatic processing modes with their buttons, keys
// and timer, and the application settings in force (TConfig). It owns the
// in-memory tables the grids show.
//
// Long work (a scan of the inbox folder or a processing run) hands pending
// window messages to the window while it runs. Only one such piece of work
// runs at a time: while one runs, the mode choice and the buttons of page
// "Manual" are disabled (so their keys do nothing), and a timer tick that
// meets it leaves the timer running so that the next tick tries again.
//
// In manual mode the window lists by itself the files that a scan held back
// as still being written, once they may have settled: a refresh (never an
// import, TListaArquivos::Reatualizar: only new, changed and vanished files),
// started only while the window is idle (no box open, no work under way),
// which keeps the selected file selected when it is still listed.
//
// Every event handler shows an error that escapes it in an error box (the
// error's text) and the window goes on.
//
// The first showing's work (FormShow: the settings, then the stored mode with
// its refresh or first automatic cycle) starts once the window is on screen,
// so that its boxes have the window under them.
//
// Closing the window while long work runs does not close it at once: the
// work is told to end (IJanela::Encerrando of the window's services is true),
// so the processing driver stops after the request being imported and the
// scan between files, every box on the way is still the operator's to answer,
// and the window closes (ending the program) when the work has returned.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QTimer>
#include <QWidget>

#include "base/UJanela.h"
#include "config/UConfig.h"
#include "import/UCicloAutomatico.h"
#include "import/UProcessamento.h"
#include "inbox/ULeitor.h"
#include "inbox/UListaArquivos.h"
#include "inbox/UTabelasPedido.h"
#include "inbox/UValidacao.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QStatusBar;
class QTableView;
class TDM;
class TModeloTabela;

// Panel 0's text: "Conectado à DB:" followed by the part of the database
// name before its first ":" (the server; nothing when the name begins with
// ":").
QString TextoConexao(const std::string& nomeBanco);

class TFPrincipal : public QWidget {
    Q_OBJECT

public:
    // Creates the window (FormCreate). `dm` must be connected; both must
    // outlive the window. Messages go to `janela`.
    TFPrincipal(TDM& dm, IJanela& janela, QWidget* pai = nullptr);
    ~TFPrincipal() override;

    TDM& DM() { return dm_; }
    IJanela& Janela() { return janela_; }
    TTabelasPedido& Tabelas() { return tabelas_; }
    TListaArquivos& Lista() { return *lista_; }
    TConfig Config;

    // ---- window operations offered to the core ----
    // Progress text in panel 1 of the status bar (empty clears it), then the
    // pending window messages are handled (IJanela::MostrarProgresso of the
    // window's services). The scan and the processing driver show their
    // progress through here.
    void MostrarProgresso(const std::string& texto);
    // Enables the two processing buttons exactly while the file list has rows.
    void HabilitarBotoes();
    // The inbox folder's path in lbDiretorio.
    void MostrarDiretorio(const std::string& caminho);

    // ---- event handlers ----
    void FormShow();
    void rgModoProcessamentoClick();
    void seFrequenciaChange();
    void cbDataColetaComDataPedidoClick();
    void timerTimer();
    // A key released anywhere in the window (the window sees it before the
    // focused control, and once per release whatever the command does to
    // the focus: a modal box opened and answered, a control destroyed). F5,
    // F8, F9 press their buttons while page "Manual" is shown.
    void FormKeyUp(int tecla);
    void btnAtualizarClick();
    void btnProcessarSelecionadoClick();
    void btnProcessarTodosClick();

    // ---- state ----
    // True while a scan or a processing run is under way.
    bool Ocupado() const { return ocupado_; }
    // True once the first showing's work ran (whether or not it failed).
    bool Exibida() const { return exibida_; }
    // True once the window was asked to close while work ran; it closes when
    // the work returns.
    bool Encerrando() const { return encerrando_; }
    // The caption of the page shown by nbModoProcessamento.
    QString PaginaAtual() const;
    // Shows the page with that caption (none when no page has it).
    void MostrarPagina(const QString& legenda);
    // Selected item of rgModoProcessamento: -1 none, 0 "Manual", 1 "Automático".
    int ModoSelecionado() const;
    // Selects an item as the operator's click would (the handler runs when
    // the selection changes).
    void SelecionarModo(int item);

    // The timer of automatic mode. Its tag - the period in milliseconds that
    // the next automatic cycle gives the timer - and the cycle itself (timer
    // stopped, scan, silent processing, re-arming, next check) are the
    // core's automatic cycle, shared with the unattended service.
    QTimer timer;
    TCicloAutomatico& Ciclo() { return ciclo_; }

    // Manual mode's refresh for the files held back as still being written:
    // single-shot, running while such files wait (their settling time plus a
    // second, from the scan's guard), stopped otherwise.
    QTimer timerAssentamento;

    // ---- controls ----
    QLabel* Label3 = nullptr;
    QGroupBox* rgModoProcessamento = nullptr;
    QRadioButton* rbManual = nullptr;
    QRadioButton* rbAutomatico = nullptr;
    QStackedWidget* nbModoProcessamento = nullptr;
    QWidget* pgManual = nullptr;
    QWidget* pgAutomatico = nullptr;
    QPushButton* btnAtualizar = nullptr;
    QPushButton* btnProcessarSelecionado = nullptr;
    QPushButton* btnProcessarTodos = nullptr;
    QLabel* Label4 = nullptr;
    QSpinBox* seFrequencia = nullptr;
    QLabel* lbProximaVerificacao = nullptr;
    QCheckBox* cbDataColetaComDataPedido = nullptr;
    QLabel* lbTituloArquivos = nullptr;
    QLabel* lbDiretorio = nullptr;
    QTableView* grideArquivos = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QTableView* DBGrid1 = nullptr;
    QLabel* Label7 = nullptr;
    QTableView* DBGrid2 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* Painel0 = nullptr;
    QLabel* Painel1 = nullptr;

protected:
    // The long work the handlers start: the inbox scan
    // (TListaArquivos::AtualizarLista), processing all pending files
    // (TProcessamento::ProcessarTodos) and the selected file
    // (TProcessamento::btnProcessarSelecionadoClick). Virtual so that tests
    // can watch them; always started through the one-at-a-time guard.
    virtual void AtualizarLista();
    virtual void ProcessarTodos(bool silencioso);
    virtual void ProcessarSelecionado();

    void showEvent(QShowEvent* evento) override;
    void closeEvent(QCloseEvent* evento) override;
    bool eventFilter(QObject* alvo, QEvent* evento) override;

signals:
    // The first showing's work has run (emitted once).
    void PrimeiraExibicaoConcluida();

private:
    // The window's services as the scan and the processing driver see them:
    // the progress goes to this window's status bar.
    class TJanelaPrincipal : public IJanela {
    public:
        explicit TJanelaPrincipal(TFPrincipal& principal) : principal_(principal) {}
        TResposta Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) override {
            ++principal_.caixasAbertas_;
            struct TFechada {
                int& abertas;
                ~TFechada() { --abertas; }
            } fechada{principal_.caixasAbertas_};
            return principal_.janela_.Mensagem(texto, icone, botoes);
        }
        void MostrarProgresso(const std::string& texto) override { principal_.MostrarProgresso(texto); }
        void ProcessarMensagens() override { principal_.janela_.ProcessarMensagens(); }
        bool Encerrando() const override { return principal_.encerrando_ || principal_.janela_.Encerrando(); }

    private:
        TFPrincipal& principal_;
    };

    // The timer of automatic mode as the core's cycle drives it.
    class TTemporizadorJanela : public ITemporizador {
    public:
        explicit TTemporizadorJanela(QTimer& timer) : timer_(timer) {}
        void Parar() override { timer_.stop(); }
        void Iniciar(std::int64_t intervaloMs) override {
            timer_.setInterval(static_cast<int>(intervaloMs));
            timer_.start();
        }

    private:
        QTimer& timer_;
    };

    void FormCreate();
    // The first showing's work, once the window is exposed.
    void PrimeiraExibicao();
    void CriarControles();
    void CriarGrades();
    // Runs `trabalho` as the one piece of long work; false (nothing run) when
    // another is under way.
    bool ExecutarTrabalho(const std::function<void()>& trabalho);
    // Arms timerAssentamento for the files the last scan held back, in
    // manual mode; stops it when there are none.
    void ArmarReatualizacao();
    // timerAssentamento's event: the refresh once the window is idle, else
    // a second later.
    void ReatualizarSeOcioso();
    // One automatic cycle of the core (scan and silent processing as the one
    // piece of long work; an error shown before the timer is re-armed), then
    // the next check announced in lbProximaVerificacao.
    void CicloAutomatico();
    // The window's default error display around an event handler.
    void Protegido(const std::function<void()>& acao);
    void MostrarErro(const std::exception& erro);

    TDM& dm_;
    IJanela& janela_;
    TTabelasPedido tabelas_;
    TJanelaPrincipal servicos_{*this};
    std::unique_ptr<TLeitorPedidos> leitor_;
    std::unique_ptr<TValidacao> validacao_;
    std::unique_ptr<TListaArquivos> lista_;
    std::unique_ptr<TProcessamento> processamento_;
    TTemporizadorJanela temporizador_{timer};
    TCicloAutomatico ciclo_{temporizador_, servicos_, [this] {
                                ExecutarTrabalho([this] {
                                    AtualizarLista();
                                    ProcessarTodos(true);
                                });
                            }};
    TModeloTabela* modeloArquivos_ = nullptr;
    TModeloTabela* modeloPedidos_ = nullptr;
    TModeloTabela* modeloExames_ = nullptr;
    QButtonGroup* grupoModo_ = nullptr;
    bool ocupado_ = false;
    // The refresh under way is ReatualizarSeOcioso's (AtualizarLista keeps
    // the current file and asks nothing).
    bool reatualizacao_ = false;
    // Boxes of this window open now (the operator has not answered yet).
    int caixasAbertas_ = 0;
    bool mostrada_ = false;
    bool exibicaoAgendada_ = false;
    bool exibida_ = false;
    bool encerrando_ = false;
    int modoAnterior_ = -1;
    // The key release that the key preview is handing to its first receiver
    // (eventFilter); none outside that delivery.
    QEvent* liberacaoEntregue_ = nullptr;
};
