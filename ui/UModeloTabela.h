// A read-only Qt table model over one in-memory table (TTabela): one grid row
// per row of the table's visible set, one grid column per listed field, the
// cells showing the fields' display texts. The table stays the owner of its
// rows and of the current row: the model follows the table's changes
// (TTabela::AoAlterar, which the model takes over) and the grid moves the
// table's cursor when the operator selects a row.
#pragma once

#include <string>
#include <vector>

#include <QAbstractTableModel>
#include <QPointer>

#include "inbox/UTabela.h"

class QTableView;

struct TColunaGrade {
    std::string Campo;   // column of the table
    int Largura = -1;    // pixels; -1 = the grid's default width
    bool Centralizada = false;  // title and cells centred
    std::string Titulo;  // empty = the column's caption, else its name
};

class TModeloTabela : public QAbstractTableModel {
    Q_OBJECT

public:
    // The table must outlive the model. Sets tabela.AoAlterar.
    TModeloTabela(TTabela& tabela, std::vector<TColunaGrade> colunas, QObject* pai = nullptr);
    ~TModeloTabela() override;

    TTabela& Tabela() { return tabela_; }
    const std::vector<TColunaGrade>& ColunasGrade() const { return colunas_; }

    int rowCount(const QModelIndex& pai = QModelIndex()) const override;
    int columnCount(const QModelIndex& pai = QModelIndex()) const override;
    QVariant data(const QModelIndex& indice, int papel = Qt::DisplayRole) const override;
    QVariant headerData(int secao, Qt::Orientation orientacao, int papel = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& indice) const override;

    // Binds a grid: widths, whole-row single selection, no editing, the
    // current row of the table shown as the grid's current row, and the
    // operator's choice of row moved into the table (TTabela::MoverPara; an
    // error of that move goes to `aoFalhar`).
    void Ligar(QTableView* grade, std::function<void(const std::exception&)> aoFalhar);

    // Brings the grid up to date with the table (rows, values, current row).
    void Atualizar();

    // While blocked, the operator's choice of another row is undone at once
    // and the table's cursor stays where the running work put it.
    void Bloquear(bool bloquear) { bloqueada_ = bloquear; }
    bool Bloqueada() const { return bloqueada_; }

private:
    void SincronizarAtual();
    void AoMudarLinhaGrade(const QModelIndex& atual);

    TTabela& tabela_;
    std::vector<TColunaGrade> colunas_;
    int linhas_ = 0;
    QPointer<QTableView> grade_;
    std::function<void(const std::exception&)> aoFalhar_;
    bool sincronizando_ = false;
    bool bloqueada_ = false;
};
