// The cell drawing of the main window's grids.
#pragma once

#include <functional>

#include <QColor>
#include <QStyledItemDelegate>

#include "base/UTipos.h"

// Text colour of a file-list cell: the window-text colour; pure red for a
// file with errors (status -1); white on the selected row of the focused
// grid, whatever the status.
QColor CorTextoArquivo(const TVariante& status, bool selecionada, bool gradeComFoco, const QColor& corTexto);

// Draws a grid's cells as the window's grids do: the selected row is
// highlighted only while the grid has the focus. With a status column given
// (file list) the text colour follows CorTextoArquivo; otherwise the grid's
// normal colours.
class TDelegadoGrade : public QStyledItemDelegate {
    Q_OBJECT

public:
    // `status`: the row's status for a grid row, or nullptr for the grids
    // without the red rule.
    explicit TDelegadoGrade(std::function<TVariante(int linha)> status, QObject* pai = nullptr);

    void paint(QPainter* pintor, const QStyleOptionViewItem& opcao, const QModelIndex& indice) const override;

private:
    std::function<TVariante(int)> status_;
};
