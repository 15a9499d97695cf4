#include "ui/UNovaConexao.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QScreen>
#include <QToolButton>

#include "ui/UJanelaQt.h"
#include "base/UTexto.h"
#include "ui/UFiguras.h"
#include "ui/UFonte.h"

namespace {

constexpr int kLargura = 395;
constexpr int kAltura = 190;
constexpr int kAlturaTitulo = 39;
constexpr int kLarguraBotoes = 102;
constexpr int kAlturaEdit = 21;

// Every character of the password shows as the same filled circle.
class TEstiloSenha : public QProxyStyle {
public:
    int styleHint(StyleHint dica, const QStyleOption* opcao, const QWidget* widget,
                  QStyleHintReturn* retorno) const override {
        if (dica == SH_LineEdit_PasswordCharacter) return 0x25CF;  // ●
        return QProxyStyle::styleHint(dica, opcao, widget, retorno);
    }
};

QFrame* LinhaAfundada(QWidget* pai, QFrame::Shape forma, const QRect& onde) {
    auto* linha = new QFrame(pai);
    linha->setFrameShape(forma);
    linha->setFrameShadow(QFrame::Sunken);
    linha->setLineWidth(1);
    linha->setGeometry(onde);
    return linha;
}

QLabel* Rotulo(QWidget* pai, const QString& texto, int x, int y) {
    auto* rotulo = new QLabel(texto, pai);
    rotulo->move(x, y);
    rotulo->adjustSize();
    return rotulo;
}

QLineEdit* Edit(QWidget* pai, const char* nome, int x, int y, int largura) {
    auto* edit = new QLineEdit(pai);
    edit->setObjectName(QString::fromLatin1(nome));
    edit->setGeometry(x, y, largura, kAlturaEdit);
    return edit;
}

QToolButton* BotaoFigura(QWidget* pai, const char* nome, const QString& legenda, const QPixmap& figura,
                         int x, int y) {
    auto* botao = new QToolButton(pai);
    botao->setObjectName(QString::fromLatin1(nome));
    botao->setText(legenda);
    botao->setIcon(QIcon(figura));
    botao->setIconSize(QSize(24, 24));
    botao->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    botao->setAutoRaise(true);
    botao->setFocusPolicy(Qt::NoFocus);
    botao->setGeometry(x, y, 94, 35);
    return botao;
}

}  // namespace

TFNovaConexao::TFNovaConexao(IJanela& janela, QWidget* pai)
    : QDialog(pai, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      janela_(janela) {
    setObjectName(QStringLiteral("FNovaConexao"));
    setFont(FonteJanela(8));
    setFixedSize(kLargura, kAltura);
    setModal(true);

    // Title band.
    auto* faixa = new QWidget(this);
    faixa->setObjectName(QStringLiteral("pnlTitulo"));
    faixa->setGeometry(0, 0, kLargura, kAlturaTitulo);
    faixa->setAutoFillBackground(true);
    QPalette branco = faixa->palette();
    branco.setColor(QPalette::Window, Qt::white);
    faixa->setPalette(branco);
    Titulo = new QLabel(QStringLiteral("Dados para registro do banco de dados"), faixa);
    Titulo->setObjectName(QStringLiteral("Titulo"));
    Titulo->setFont(FonteJanela(9, true));
    Titulo->move(8, 19);
    Titulo->adjustSize();
    imgFerramentas = new QLabel(faixa);
    imgFerramentas->setObjectName(QStringLiteral("imgFerramentas"));
    imgFerramentas->setGeometry(359, 2, 35, 33);
    imgFerramentas->setAlignment(Qt::AlignCenter);
    imgFerramentas->setPixmap(FiguraFerramentas());
    LinhaAfundada(this, QFrame::HLine, QRect(0, kAlturaTitulo - 2, kLargura, 2));

    // Button band along the right edge.
    auto* banda = new QWidget(this);
    banda->setObjectName(QStringLiteral("pnlBotoes"));
    banda->setGeometry(kLargura - kLarguraBotoes, kAlturaTitulo, kLarguraBotoes, kAltura - kAlturaTitulo);
    LinhaAfundada(banda, QFrame::VLine, QRect(0, 0, 2, kAltura - kAlturaTitulo));
    btnConfirmar = BotaoFigura(banda, "btnConfirmar", QStringLiteral("&Confirmar"), FiguraConfirmar(), 6, 12);
    btnCancelar = BotaoFigura(banda, "btnCancelar", QStringLiteral("Ca&ncelar"), FiguraCancelar(), 6, 47);
    btnConfirmar->setEnabled(false);

    // The four fields, in tab order.
    Rotulo(this, QStringLiteral("Nome do servidor"), 10, 48);
    Servidor = Edit(this, "Servidor", 10, 65, 278);
    Rotulo(this, QStringLiteral("Caminho do banco de dados"), 10, 96);
    Caminho = Edit(this, "Caminho", 10, 112, 278);
    Rotulo(this, QStringLiteral("Usuário"), 10, 142);
    Usuario = Edit(this, "Usuario", 10, 159, 121);
    Rotulo(this, QStringLiteral("Senha"), 138, 142);
    Senha = Edit(this, "Senha", 136, 159, 121);
    Senha->setEchoMode(QLineEdit::Password);
    auto* estilo = new TEstiloSenha;
    estilo->setParent(Senha);
    Senha->setStyle(estilo);
    setTabOrder(Servidor, Caminho);
    setTabOrder(Caminho, Usuario);
    setTabOrder(Usuario, Senha);

    for (QLineEdit* edit : {Servidor, Caminho, Usuario, Senha}) {
        connect(edit, &QLineEdit::textChanged, this, [this] { CaminhoChange(); });
    }
    connect(btnConfirmar, &QToolButton::clicked, this, [this] { btnConfirmarClick(); });
    connect(btnCancelar, &QToolButton::clicked, this, &QDialog::reject);
    Servidor->setFocus();
}

TConfigBD TFNovaConexao::Executar(IJanela& janela, const TConfigBD& atual) {
    TFNovaConexao dialogo(janela);
    dialogo.Preencher(atual);
    if (dialogo.exec() != QDialog::Accepted) return TConfigBD{};
    return dialogo.Resultado();
}

void TFNovaConexao::Preencher(const TConfigBD& cfg) {
    Servidor->setText(TextoParaQt(cfg.Servidor));
    Caminho->setText(TextoParaQt(cfg.Banco));
    Usuario->setText(TextoParaQt(cfg.Usuario));
    Senha->setText(TextoParaQt(cfg.Senha));
    CaminhoChange();
}

TConfigBD TFNovaConexao::Resultado() const {
    TConfigBD cfg;
    cfg.Servidor = Maiusculas(TextoDoQt(Servidor->text()));
    cfg.Banco = TextoDoQt(Caminho->text());
    cfg.Usuario = TextoDoQt(Usuario->text());
    cfg.Senha = TextoDoQt(Senha->text());
    return cfg;
}

void TFNovaConexao::CaminhoChange() {
    btnConfirmar->setEnabled(!Caminho->text().isEmpty() && !Usuario->text().isEmpty() &&
                             !Senha->text().isEmpty());
}

void TFNovaConexao::btnConfirmarClick() {
    if (Validar()) accept();
}

bool TFNovaConexao::Validar() {
    if (Servidor->text().isEmpty() &&
        janela_.Mensagem(Utf8ParaCp1252("Você não especificou o servidor.\r\nDeseja continuar assim mesmo?"),
                         TIcone::Confirmacao, TBotoes::SimNao) != TResposta::Sim) {
        return false;
    }
    if (Caminho->text().isEmpty()) {
        janela_.Mensagem(Utf8ParaCp1252("Você deve informar o caminho do banco de dados."), TIcone::Erro,
                         TBotoes::OK);
        Caminho->setFocus();
        return false;
    }
    if (Usuario->text().isEmpty()) {
        janela_.Mensagem(Utf8ParaCp1252("Você deve informar o nome do usuario."), TIcone::Erro, TBotoes::OK);
        Usuario->setFocus();
        return false;
    }
    return TestarConexao();
}

bool TFNovaConexao::TestarConexao() {
    const std::string servidor = TextoDoQt(Servidor->text());
    const std::string caminho = TextoDoQt(Caminho->text());
    const std::string nome = servidor.empty() ? caminho : servidor + ":" + caminho;
    // An unreachable server takes up to about 10 seconds to give up.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool conectou = TDM::TestarConexao(nome, TextoDoQt(Usuario->text()), TextoDoQt(Senha->text()));
    QApplication::restoreOverrideCursor();
    if (conectou) return true;
    janela_.Mensagem(Utf8ParaCp1252("Não foi possível conectar no banco de dados com os dados informados!"),
                     TIcone::Confirmacao, TBotoes::OK);
    return false;
}

void TFNovaConexao::FormShow() { setWindowTitle(Titulo->text()); }

void TFNovaConexao::showEvent(QShowEvent* evento) {
    FormShow();
    if (const QScreen* tela = screen() ? screen() : QGuiApplication::primaryScreen()) {
        QRect area = frameGeometry();
        area.moveCenter(tela->availableGeometry().center());
        move(area.topLeft());
    }
    QDialog::showEvent(evento);
}

void TFNovaConexao::keyPressEvent(QKeyEvent* evento) {
    // Enter and Escape have no action of their own in this dialog.
    switch (evento->key()) {
        case Qt::Key_Escape:
        case Qt::Key_Enter:
        case Qt::Key_Return: evento->accept(); return;
        default: QDialog::keyPressEvent(evento);
    }
}

TConfigBD TDialogoConexaoQt::Executar(const TConfigBD& atual) { return TFNovaConexao::Executar(janela_, atual); }
