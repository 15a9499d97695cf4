#include "ui/UPrincipal.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <optional>
#include <utility>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableView>
#include <QWindow>

#include "base/UErro.h"
#include "ui/UJanelaQt.h"
#include "base/UTexto.h"
#include "db/UDM.h"
#include "inbox/UBS.h"
#include "ui/UFonte.h"
#include "ui/UGrade.h"
#include "ui/UModeloTabela.h"

namespace {

constexpr int kLargura = 733;
constexpr int kAltura = 485;
const char* const kSecao = "aplicacao";

QLabel* Rotulo(QWidget* pai, const char* nome, const QString& texto, int x, int y, int largura = -1,
               int altura = -1) {
    auto* rotulo = new QLabel(texto, pai);
    rotulo->setObjectName(QString::fromLatin1(nome));
    rotulo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    rotulo->move(x, y);
    if (largura < 0) {
        rotulo->adjustSize();
    } else {
        rotulo->resize(largura, altura);
    }
    return rotulo;
}

void Fundo(QLabel* rotulo, const QColor& cor) {
    rotulo->setAutoFillBackground(true);
    QPalette paleta = rotulo->palette();
    paleta.setColor(QPalette::Window, cor);
    rotulo->setPalette(paleta);
}

QPushButton* Botao(QWidget* pai, const char* nome, const QString& legenda, int x, int y, int largura) {
    auto* botao = new QPushButton(legenda, pai);
    botao->setObjectName(QString::fromLatin1(nome));
    botao->setGeometry(x, y, largura, 29);
    botao->setAutoDefault(false);
    return botao;
}

QTableView* Grade(QWidget* pai, const char* nome, int x, int y, int largura, int altura) {
    auto* grade = new QTableView(pai);
    grade->setObjectName(QString::fromLatin1(nome));
    grade->setGeometry(x, y, largura, altura);
    grade->setShowGrid(true);
    grade->setWordWrap(false);
    grade->setTextElideMode(Qt::ElideNone);  // a long text is cut at the cell's edge
    grade->setCornerButtonEnabled(false);
    grade->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    QHeaderView* titulos = grade->horizontalHeader();
    titulos->setHighlightSections(false);
    titulos->setMinimumSectionSize(8);
    titulos->setFixedHeight(18);
    titulos->setStretchLastSection(false);
    QHeaderView* indicador = grade->verticalHeader();
    indicador->setSectionResizeMode(QHeaderView::Fixed);
    indicador->setMinimumSectionSize(16);
    indicador->setDefaultSectionSize(17);
    indicador->setFixedWidth(12);
    indicador->setHighlightSections(false);
    return grade;
}

}  // namespace

QString TextoConexao(const std::string& nomeBanco) {
    return QStringLiteral("Conectado à DB:") + TextoParaQt(nomeBanco.substr(0, nomeBanco.find(':')));
}

TFPrincipal::TFPrincipal(TDM& dm, IJanela& janela, QWidget* pai)
    : QWidget(pai, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                       Qt::MSWindowsFixedSizeDialogHint),
      dm_(dm),
      janela_(janela) {
    setObjectName(QStringLiteral("FPrincipal"));
    setWindowTitle(QStringLiteral("Quorvel CAD - Cadastro Automático de Dados"));
    setFont(FonteJanela(8));
    setFixedSize(kLargura, kAltura);
    CriarControles();
    CriarGrades();

    timer.setInterval(60000);
    timer.setSingleShot(false);
    connect(&timer, &QTimer::timeout, this, [this] { Protegido([this] { timerTimer(); }); });
    timerAssentamento.setSingleShot(true);
    connect(&timerAssentamento, &QTimer::timeout, this, [this] { Protegido([this] { ReatualizarSeOcioso(); }); });
    qApp->installEventFilter(this);
    FormCreate();
}

TFPrincipal::~TFPrincipal() {
    timer.stop();
    timerAssentamento.stop();
    qApp->removeEventFilter(this);
    // The models hand the tables back before the tables go.
    delete modeloArquivos_;
    delete modeloPedidos_;
    delete modeloExames_;
}

void TFPrincipal::CriarControles() {
    Label3 = Rotulo(this, "Label3", QStringLiteral("  Opções"), 9, 9, 715, 17);
    Fundo(Label3, QColor(172, 172, 172));

    rgModoProcessamento = new QGroupBox(QStringLiteral("Modo de processamento"), this);
    rgModoProcessamento->setObjectName(QStringLiteral("rgModoProcessamento"));
    rgModoProcessamento->setGeometry(8, 32, 185, 40);
    rbManual = new QRadioButton(QStringLiteral("Manual"), rgModoProcessamento);
    rbManual->setObjectName(QStringLiteral("rbManual"));
    rbManual->setGeometry(8, 17, 84, 17);
    rbAutomatico = new QRadioButton(QStringLiteral("Automático"), rgModoProcessamento);
    rbAutomatico->setObjectName(QStringLiteral("rbAutomatico"));
    rbAutomatico->setGeometry(96, 17, 84, 17);
    grupoModo_ = new QButtonGroup(this);
    grupoModo_->addButton(rbManual, 0);
    grupoModo_->addButton(rbAutomatico, 1);
    connect(grupoModo_, &QButtonGroup::idToggled, this, [this](int, bool marcado) {
        if (marcado) Protegido([this] { rgModoProcessamentoClick(); });
    });

    nbModoProcessamento = new QStackedWidget(this);
    nbModoProcessamento->setObjectName(QStringLiteral("nbModoProcessamento"));
    nbModoProcessamento->setGeometry(200, 32, 524, 45);

    pgManual = new QWidget(nbModoProcessamento);  // the window's font from the start
    pgManual->setObjectName(QStringLiteral("pgManual"));
    pgManual->setProperty("legenda", QStringLiteral("Manual"));
    btnAtualizar = Botao(pgManual, "btnAtualizar", QStringLiteral("Atualizar (F5)"), 12, 8, 100);
    btnProcessarSelecionado = Botao(pgManual, "btnProcessarSelecionado",
                                    QStringLiteral("Processar somente selecionado (F8)"), 118, 8, 185);
    btnProcessarTodos = Botao(pgManual, "btnProcessarTodos", QStringLiteral("Processar todos (F9)"), 308, 8, 130);
    connect(btnAtualizar, &QPushButton::clicked, this, [this] { Protegido([this] { btnAtualizarClick(); }); });
    connect(btnProcessarSelecionado, &QPushButton::clicked, this,
            [this] { Protegido([this] { btnProcessarSelecionadoClick(); }); });
    connect(btnProcessarTodos, &QPushButton::clicked, this,
            [this] { Protegido([this] { btnProcessarTodosClick(); }); });
    nbModoProcessamento->addWidget(pgManual);

    pgAutomatico = new QWidget(nbModoProcessamento);
    pgAutomatico->setObjectName(QStringLiteral("pgAutomatico"));
    pgAutomatico->setProperty("legenda", QStringLiteral("Automático"));
    Label4 = Rotulo(pgAutomatico, "Label4", QStringLiteral("A cada               minutos"), 8, 18);
    seFrequencia = new QSpinBox(pgAutomatico);
    seFrequencia->setObjectName(QStringLiteral("seFrequencia"));
    seFrequencia->setGeometry(43, 15, 42, 21);
    seFrequencia->setRange(1, 60);
    seFrequencia->setValue(1);
    seFrequencia->setAlignment(Qt::AlignCenter);
    connect(seFrequencia, &QSpinBox::valueChanged, this, [this] { Protegido([this] { seFrequenciaChange(); }); });
    // At 128, or further right when this font draws "minutos" past it: two
    // blanks' width always parts the two texts.
    const int aposMinutos = Label4->x() + Label4->width() + QFontMetrics(Label4->font()).horizontalAdvance(
                                                                 QStringLiteral("  "));
    const int xProxima = std::max(128, aposMinutos);
    lbProximaVerificacao =
        Rotulo(pgAutomatico, "lbProximaVerificacao", QStringLiteral("_"), xProxima, 18, 516 - xProxima, 15);
    lbProximaVerificacao->setFont(FonteJanela(8, false, true));
    QPalette azul = lbProximaVerificacao->palette();
    azul.setColor(QPalette::WindowText, QColor(128, 128, 255));
    lbProximaVerificacao->setPalette(azul);
    nbModoProcessamento->addWidget(pgAutomatico);
    nbModoProcessamento->setCurrentWidget(pgManual);

    cbDataColetaComDataPedido =
        new QCheckBox(QStringLiteral("Usar data do pedido para data de coleta quando não informada"), this);
    cbDataColetaComDataPedido->setObjectName(QStringLiteral("cbDataColetaComDataPedido"));
    cbDataColetaComDataPedido->setGeometry(8, 80, 336, 17);
    connect(cbDataColetaComDataPedido, &QCheckBox::toggled, this,
            [this] { Protegido([this] { cbDataColetaComDataPedidoClick(); }); });

    lbTituloArquivos = Rotulo(this, "lbTituloArquivos", QStringLiteral("  Arquivos em"), 9, 102, 715, 17);
    Fundo(lbTituloArquivos, QColor(115, 215, 253));
    lbDiretorio = Rotulo(this, "lbDiretorio", QStringLiteral("[____]"), 79, 103, 634, 13);
    lbDiretorio->setAttribute(Qt::WA_TranslucentBackground);

    grideArquivos = Grade(this, "grideArquivos", 8, 125, 715, 76);
    Label2 = Rotulo(this, "Label2", QStringLiteral("  Detalhes do arquivo selecionado"), 9, 214, 715, 17);
    Label2->setFont(FonteJanela(8, true));
    Fundo(Label2, QColor(203, 240, 254));
    Label1 = Rotulo(this, "Label1", QStringLiteral("Solicitações"), 9, 234);
    Label1->setFont(FonteJanela(8, true));
    Label1->adjustSize();
    DBGrid1 = Grade(this, "DBGrid1", 9, 250, 715, 76);
    Label7 = Rotulo(this, "Label7", QStringLiteral("Exames"), 9, 332);
    Label7->setFont(FonteJanela(8, true));
    Label7->adjustSize();
    DBGrid2 = Grade(this, "DBGrid2", 9, 348, 715, 108);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 466, 733, 19);
    StatusBar1->setContentsMargins(0, 0, 0, 0);
    Painel0 = new QLabel(StatusBar1);
    Painel0->setObjectName(QStringLiteral("Painel0"));
    Painel0->setFixedWidth(200);
    Painel1 = new QLabel(StatusBar1);
    Painel1->setObjectName(QStringLiteral("Painel1"));
    for (QLabel* painel : {Painel0, Painel1}) {
        painel->setFrameShape(QFrame::Panel);
        painel->setFrameShadow(QFrame::Sunken);
        painel->setIndent(2);
    }
    // Placed by hand: the status bar's own layout keeps margins that would
    // leave the 19-pixel bar too low for the text (underscores cut off).
    Painel0->setGeometry(0, 0, 200, 19);
    Painel1->setGeometry(202, 0, kLargura - 202, 19);

    // Focus order: the grids, the mode, the page's buttons, the check box.
    setTabOrder(grideArquivos, DBGrid1);
    setTabOrder(DBGrid1, DBGrid2);
    setTabOrder(DBGrid2, rbManual);
    setTabOrder(rbManual, rbAutomatico);
    setTabOrder(rbAutomatico, btnAtualizar);
    setTabOrder(btnAtualizar, btnProcessarTodos);
    setTabOrder(btnProcessarTodos, btnProcessarSelecionado);
    setTabOrder(btnProcessarSelecionado, seFrequencia);
    setTabOrder(seFrequencia, cbDataColetaComDataPedido);
}

void TFPrincipal::CriarGrades() {
    auto aoFalhar = [this](const std::exception& erro) { MostrarErro(erro); };

    const int larguraData = QFontMetrics(font()).horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) + 14;
    modeloArquivos_ = new TModeloTabela(tabelas_.cdsArquivos,
                                        {{"data_horario", larguraData, false, ""},
                                         {"nome_arquivo", 504, false, ""},
                                         {"status", 65, true, "status"}});
    modeloArquivos_->Ligar(grideArquivos, aoFalhar);
    grideArquivos->setItemDelegate(new TDelegadoGrade(
        [this](int linha) -> TVariante {
            if (linha >= tabelas_.cdsArquivos.Contar()) return TNulo{};
            return tabelas_.cdsArquivos.ValorEm(linha, "status");
        },
        grideArquivos));

    modeloPedidos_ = new TModeloTabela(tabelas_.cdsPedidos, {{"data_horario", 92, false, ""},
                                                            {"protocolo", 68, false, ""},
                                                            {"nome_paciente", 171, false, ""},
                                                            {"nome_medico", 176, false, ""},
                                                            {"convenio_nome", 170, false, ""}});
    modeloPedidos_->Ligar(DBGrid1, aoFalhar);
    DBGrid1->setItemDelegate(new TDelegadoGrade(nullptr, DBGrid1));

    modeloExames_ = new TModeloTabela(tabelas_.cdsExames, {{"codigo", 95, false, ""},
                                                          {"nome", 233, false, ""},
                                                          {"material", 200, false, ""},
                                                          {"coleta_data_horario", 148, false, ""}});
    modeloExames_->Ligar(DBGrid2, aoFalhar);
    DBGrid2->setItemDelegate(new TDelegadoGrade(nullptr, DBGrid2));

    grideArquivos->setFocus();
}

// ---- creation and first showing ----

void TFPrincipal::FormCreate() {
    Config.Diretorio = dm_.Pasta() + "arquivos/";
    leitor_ = std::make_unique<TLeitorPedidos>(tabelas_);
    validacao_ = std::make_unique<TValidacao>(tabelas_, dm_, servicos_);
    lista_ = std::make_unique<TListaArquivos>(tabelas_, *leitor_, *validacao_, servicos_, Config.Diretorio);
    ciclo_.DefinirEsperaAntecipada(TCicloAutomatico::AteAssentarem(*lista_));
    lista_->AoMostrarDiretorio = [this](const std::string& caminho) { MostrarDiretorio(caminho); };
    lista_->AoHabilitarBotoes = [this](bool habilitar) {
        btnProcessarSelecionado->setEnabled(habilitar);
        btnProcessarTodos->setEnabled(habilitar);
    };
    processamento_ = std::make_unique<TProcessamento>(dm_, tabelas_, Config, servicos_, *lista_);
}

void TFPrincipal::showEvent(QShowEvent* evento) {
    QWidget::showEvent(evento);
    if (mostrada_) return;
    mostrada_ = true;
    if (const QScreen* tela = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect area = frameGeometry();
        area.moveCenter(tela->availableGeometry().center());
        move(area.topLeft());
    }
    grideArquivos->setFocus();
    // FormShow waits for the window to be on screen (eventFilter).
}

void TFPrincipal::PrimeiraExibicao() {
    // Closed before it ever came to the screen: nothing to start.
    if (isVisible() && !encerrando_) Protegido([this] { FormShow(); });
    exibida_ = true;
    emit PrimeiraExibicaoConcluida();
}

void TFPrincipal::closeEvent(QCloseEvent* evento) {
    timer.stop();
    timerAssentamento.stop();
    if (ocupado_) {
        // The work under way ends at its next step and then closes the window
        // (ExecutarTrabalho); until then the window and its boxes stay.
        encerrando_ = true;
        evento->ignore();
        return;
    }
    QWidget::closeEvent(evento);
}

void TFPrincipal::FormShow() {
    Painel0->setText(TextoConexao(dm_.NomeBanco()));

    LerConfigAplicacao(dm_, Config);  // as the unattended service reads them
    lista_->Gravacao().DefinirSegundos(Config.SegundosArquivoEstavel);
    {
        const QSignalBlocker semAviso(cbDataColetaComDataPedido);
        cbDataColetaComDataPedido->setChecked(Config.DataColetaComDataPedido);
    }
    const std::int32_t frequencia = TCicloAutomatico::ConverterFrequencia(Config.Frequencia);
    {
        const QSignalBlocker semAviso(seFrequencia);
        seFrequencia->setValue(std::clamp(frequencia, 1, 60));
    }
    ciclo_.DefinirFrequencia(frequencia);

    if (Config.ModoProcessamento == "manual") {
        SelecionarModo(0);
    } else if (Config.ModoProcessamento == "automatico") {
        SelecionarModo(1);
    }
}

// ---- window operations ----

void TFPrincipal::MostrarProgresso(const std::string& texto) {
    Painel1->setText(TextoParaQt(texto));
    Painel1->repaint();
    janela_.MostrarProgresso(texto);
}

void TFPrincipal::HabilitarBotoes() { lista_->HabilitarBotoes(); }

void TFPrincipal::MostrarDiretorio(const std::string& caminho) { lbDiretorio->setText(TextoParaQt(caminho)); }

QString TFPrincipal::PaginaAtual() const {
    const QWidget* pagina = nbModoProcessamento->currentWidget();
    return pagina ? pagina->property("legenda").toString() : QString();
}

void TFPrincipal::MostrarPagina(const QString& legenda) {
    for (int i = 0; i < nbModoProcessamento->count(); ++i) {
        if (nbModoProcessamento->widget(i)->property("legenda").toString() == legenda) {
            nbModoProcessamento->setCurrentIndex(i);
            return;
        }
    }
}

int TFPrincipal::ModoSelecionado() const { return grupoModo_->checkedId(); }

void TFPrincipal::SelecionarModo(int item) {
    if (item == 0) rbManual->setChecked(true);
    if (item == 1) rbAutomatico->setChecked(true);
}

// ---- long work ----

bool TFPrincipal::ExecutarTrabalho(const std::function<void()>& trabalho) {
    if (ocupado_) return false;
    // The grids keep their rows: the operator's choice of another file or
    // request would change the tables under the running work.
    const auto travar = [this](bool travado) {
        ocupado_ = travado;
        rgModoProcessamento->setEnabled(!travado);
        pgManual->setEnabled(!travado);
        for (TModeloTabela* modelo : {modeloArquivos_, modeloPedidos_, modeloExames_}) modelo->Bloquear(travado);
    };
    travar(true);
    struct TLiberar {
        TFPrincipal& janela;
        std::function<void(bool)> travar;
        ~TLiberar() {
            travar(false);
            // A close asked for during the work: now it closes, once the
            // handler that started the work has returned.
            if (janela.encerrando_) {
                QMetaObject::invokeMethod(&janela, &QWidget::close, Qt::QueuedConnection);
                return;
            }
            janela.ArmarReatualizacao();
        }
    } liberar{*this, travar};
    trabalho();
    return true;
}

void TFPrincipal::AtualizarLista() {
    if (!reatualizacao_) {
        lista_->AtualizarLista();
        return;
    }
    const TTabela& arquivos = tabelas_.cdsArquivos;
    lista_->Reatualizar(arquivos.Vazia() ? std::string() : arquivos.Texto("nome_arquivo"));
}

void TFPrincipal::ArmarReatualizacao() {
    const std::optional<std::chrono::milliseconds> espera = lista_->Gravacao().EsperaAteAssentar();
    if (encerrando_ || PaginaAtual() != QStringLiteral("Manual") || lista_->EmGravacao() <= 0 || !espera) {
        timerAssentamento.stop();
        return;
    }
    // A second after the first of them may have settled.
    timerAssentamento.start(static_cast<int>(std::min<std::int64_t>(espera->count() + 1000, INT_MAX)));
}

void TFPrincipal::ReatualizarSeOcioso() {
    // Automatic mode checks again by itself (the cycle's earlier check).
    if (encerrando_ || !isVisible() || PaginaAtual() != QStringLiteral("Manual") || lista_->EmGravacao() <= 0)
        return;
    if (ocupado_ || caixasAbertas_ > 0 || QApplication::activeModalWidget()) {
        timerAssentamento.start(1000);
        return;
    }
    // The operator's place is kept: the selected file (AtualizarLista) and
    // the control with the focus, which the work's lock may have moved.
    const QPointer<QWidget> foco = QApplication::focusWidget();
    reatualizacao_ = true;
    struct TFim {
        bool& reatualizacao;
        ~TFim() { reatualizacao = false; }
    } fim{reatualizacao_};
    ExecutarTrabalho([this] { AtualizarLista(); });
    if (foco && foco->isEnabled() && foco->isVisible() && foco->window() == this) foco->setFocus();
}

void TFPrincipal::ProcessarTodos(bool silencioso) { processamento_->ProcessarTodos(silencioso); }

void TFPrincipal::ProcessarSelecionado() { processamento_->btnProcessarSelecionadoClick(); }

// ---- handlers ----

void TFPrincipal::btnAtualizarClick() {
    ExecutarTrabalho([this] { AtualizarLista(); });
}

void TFPrincipal::btnProcessarSelecionadoClick() {
    ExecutarTrabalho([this] { ProcessarSelecionado(); });
}

void TFPrincipal::btnProcessarTodosClick() {
    ExecutarTrabalho([this] { ProcessarTodos(false); });
}

void TFPrincipal::rgModoProcessamentoClick() {
    const int item = ModoSelecionado();
    if (ocupado_) {
        // No change of mode in the middle of a scan or a run.
        const QSignalBlocker semAviso(grupoModo_);
        if (modoAnterior_ == 0) {
            rbManual->setChecked(true);
        } else if (modoAnterior_ == 1) {
            rbAutomatico->setChecked(true);
        } else {
            grupoModo_->setExclusive(false);
            rbManual->setChecked(false);
            rbAutomatico->setChecked(false);
            grupoModo_->setExclusive(true);
        }
        return;
    }
    modoAnterior_ = item;
    MostrarPagina(item == 0 ? rbManual->text() : rbAutomatico->text());
    // The chosen mode is the one in force also when it cannot be stored
    // (config.xml read-only): the error is shown, then the mode's work runs.
    try {
        dm_.GravarConfigXML(kSecao, "modo_processamento", item == 0 ? "manual" : "automatico");
    } catch (const std::exception& erro) {
        MostrarErro(erro);
    }
    if (item == 0) {
        timer.stop();
        ExecutarTrabalho([this] { AtualizarLista(); });
    } else {
        timerAssentamento.stop();
        CicloAutomatico();
    }
}

void TFPrincipal::timerTimer() {
    // A tick that meets a running scan or run leaves the timer running: the
    // next tick tries again.
    if (ocupado_) return;
    CicloAutomatico();
}

void TFPrincipal::CicloAutomatico() {
    // An error of the cycle is shown before the timer is re-armed, so that
    // automatic mode goes on after the operator answered it; a window that
    // is closing gets no next cycle (the core's cycle asks servicos_).
    ciclo_.Executar([this](const std::exception& erro) { MostrarErro(erro); });
    if (encerrando_) return;
    lbProximaVerificacao->setText(TextoParaQt(ciclo_.TextoProximaVerificacao()));
    // The processing after the scan cleared the progress text: the files
    // still being written are told again.
    Painel1->setText(TextoParaQt(TextoArquivosEmGravacao(lista_->EmGravacao())));
}

void TFPrincipal::seFrequenciaChange() {
    const int minutos = seFrequencia->value();
    // The period follows the spin edit also when it cannot be stored.
    ciclo_.DefinirFrequencia(minutos);
    dm_.GravarConfigXML(kSecao, "frequencia", std::to_string(minutos));
}

void TFPrincipal::cbDataColetaComDataPedidoClick() {
    dm_.GravarConfigXML(kSecao, "data_coleta_com_data_pedido",
                        cbDataColetaComDataPedido->isChecked() ? "sim" : "nao");
}

void TFPrincipal::FormKeyUp(int tecla) {
    if (PaginaAtual() != QStringLiteral("Manual")) return;
    QPushButton* botao = nullptr;
    switch (tecla) {
        case Qt::Key_F5: botao = btnAtualizar; break;
        case Qt::Key_F8: botao = btnProcessarSelecionado; break;
        case Qt::Key_F9: botao = btnProcessarTodos; break;
        default: return;
    }
    if (botao->isEnabled()) botao->click();
}

bool TFPrincipal::eventFilter(QObject* alvo, QEvent* evento) {
    // The window on screen for the first time: its first showing's work
    // starts after this exposure has been painted.
    if (evento->type() == QEvent::Expose && mostrada_ && !exibicaoAgendada_ && alvo == windowHandle() &&
        windowHandle()->isExposed()) {
        exibicaoAgendada_ = true;
        QMetaObject::invokeMethod(this, [this] { PrimeiraExibicao(); }, Qt::QueuedConnection);
    }
    // Key preview: a key released in any control of this window reaches the
    // window first, at the release's first receiver (the focused control, or
    // the window itself). The command runs there, and then the window hands
    // the release to that receiver itself, as one delivery that travels on
    // to its parents as usual, and ends the travel that brought it here.
    // Deciding at each step of that travel would count the window as a
    // first receiver too once the command's modal box had taken the focus
    // and gone (the desktop gives the focus back later), and the command
    // would run again.
    if (evento->type() == QEvent::KeyRelease && evento != liberacaoEntregue_ && alvo->isWidgetType() &&
        static_cast<QWidget*>(alvo)->window() == this) {
        auto* tecla = static_cast<QKeyEvent*>(evento);
        const QPointer<QWidget> receptor(static_cast<QWidget*>(alvo));
        if (!tecla->isAutoRepeat()) Protegido([this, codigo = tecla->key()] { FormKeyUp(codigo); });
        // A receiver destroyed by the command gets nothing.
        if (receptor) {
            QEvent* anterior = std::exchange(liberacaoEntregue_, evento);
            QCoreApplication::instance()->notify(receptor, tecla);
            liberacaoEntregue_ = anterior;
        }
        tecla->accept();
        return true;
    }
    return QWidget::eventFilter(alvo, evento);
}

// ---- default error display ----

void TFPrincipal::MostrarErro(const std::exception& erro) {
    servicos_.Mensagem(erro.what(), TIcone::Erro, TBotoes::OK);
}

void TFPrincipal::Protegido(const std::function<void()>& acao) {
    try {
        acao();
    } catch (const std::exception& erro) {
        MostrarErro(erro);
    }
}
