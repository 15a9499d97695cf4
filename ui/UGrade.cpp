#include "ui/UGrade.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

QColor CorTextoArquivo(const TVariante& status, bool selecionada, bool gradeComFoco, const QColor& corTexto) {
    QColor cor = corTexto;
    if (const auto* valor = std::get_if<std::int32_t>(&status); valor && *valor == -1) cor = QColor(255, 0, 0);
    if (selecionada && gradeComFoco) cor = QColor(255, 255, 255);
    return cor;
}

TDelegadoGrade::TDelegadoGrade(std::function<TVariante(int)> status, QObject* pai)
    : QStyledItemDelegate(pai), status_(std::move(status)) {}

void TDelegadoGrade::paint(QPainter* pintor, const QStyleOptionViewItem& opcao, const QModelIndex& indice) const {
    QStyleOptionViewItem o = opcao;
    initStyleOption(&o, indice);
    const QWidget* grade = o.widget;
    const bool comFoco = grade && grade->hasFocus();
    const bool selecionada = (o.state & QStyle::State_Selected) != 0;
    if (!comFoco) o.state &= ~QStyle::State_Selected;
    o.state &= ~QStyle::State_HasFocus;

    const QColor normal = o.palette.color(QPalette::Active, QPalette::Text);
    QColor cor = selecionada && comFoco ? o.palette.color(QPalette::Active, QPalette::HighlightedText) : normal;
    if (status_) cor = CorTextoArquivo(status_(indice.row()), selecionada, comFoco, normal);
    o.palette.setColor(QPalette::Text, cor);
    o.palette.setColor(QPalette::HighlightedText, cor);
    // The focused grid's selection in the active colours, also while another
    // window (a message box) is active.
    o.palette.setColor(QPalette::Highlight, o.palette.color(QPalette::Active, QPalette::Highlight));

    // The view has painted the row's panel already, highlighted when selected.
    if (selecionada && !comFoco) pintor->fillRect(o.rect, o.palette.brush(QPalette::Active, QPalette::Base));

    QStyle* estilo = grade ? grade->style() : QApplication::style();
    estilo->drawControl(QStyle::CE_ItemViewItem, &o, pintor, grade);
}
