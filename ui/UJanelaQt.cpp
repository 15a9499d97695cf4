#include "ui/UJanelaQt.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "base/UTexto.h"

QString TituloPrograma() { return QStringLiteral("Quorvel CAD"); }

QString TextoParaQt(const std::string& cp1252) {
    QString texto = QString::fromStdString(Cp1252ParaUtf8(cp1252));
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return texto;
}

std::string TextoDoQt(const QString& texto) { return Utf8ParaCp1252(texto.toStdString()); }

namespace {

QString Legenda(TIcone icone) {
    switch (icone) {
        case TIcone::Atencao: return QStringLiteral("Atenção");
        case TIcone::Erro: return QStringLiteral("Erro");
        case TIcone::Informacao: return QStringLiteral("Informação");
        case TIcone::Confirmacao: return QStringLiteral("Confirme");
        case TIcone::Nenhum: break;
    }
    return TituloPrograma();
}

QMessageBox::Icon IconeQt(TIcone icone) {
    switch (icone) {
        case TIcone::Atencao: return QMessageBox::Warning;
        case TIcone::Erro: return QMessageBox::Critical;
        case TIcone::Informacao: return QMessageBox::Information;
        case TIcone::Confirmacao: return QMessageBox::Question;
        case TIcone::Nenhum: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

TResposta TJanelaQt::Mensagem(const std::string& texto, TIcone icone, TBotoes botoes) {
    QMessageBox caixa(IconeQt(icone), Legenda(icone), TextoParaQt(texto), QMessageBox::NoButton,
                      QApplication::activeWindow());
    caixa.setTextFormat(Qt::PlainText);
    QAbstractButton* primeiro = nullptr;
    QAbstractButton* segundo = nullptr;
    switch (botoes) {
        case TBotoes::OK:
            primeiro = caixa.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            caixa.setEscapeButton(primeiro);
            break;
        case TBotoes::SimNao:
            primeiro = caixa.addButton(QStringLiteral("&Sim"), QMessageBox::YesRole);
            segundo = caixa.addButton(QStringLiteral("&Não"), QMessageBox::NoRole);
            caixa.setEscapeButton(segundo);
            break;
        case TBotoes::OKCancela:
            primeiro = caixa.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            segundo = caixa.addButton(QStringLiteral("Cancela"), QMessageBox::RejectRole);
            caixa.setEscapeButton(segundo);
            break;
    }
    caixa.setDefaultButton(qobject_cast<QPushButton*>(primeiro));
    if (RespostaAutomatica) {
        QTimer::singleShot(0, &caixa, [&caixa] { caixa.escapeButton()->click(); });
    }
    caixa.exec();

    const bool primeiroEscolhido = caixa.clickedButton() == primeiro;
    switch (botoes) {
        case TBotoes::OK: return TResposta::OK;
        case TBotoes::SimNao: return primeiroEscolhido ? TResposta::Sim : TResposta::Nao;
        case TBotoes::OKCancela: return primeiroEscolhido ? TResposta::OK : TResposta::Cancela;
    }
    return TResposta::OK;
}

void TJanelaQt::MostrarProgresso(const std::string& texto) {
    if (AoMostrarProgresso) AoMostrarProgresso(TextoParaQt(texto));
    ProcessarMensagens();
}

void TJanelaQt::ProcessarMensagens() { QCoreApplication::processEvents(QEventLoop::AllEvents); }
