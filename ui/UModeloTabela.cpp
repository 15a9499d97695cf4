#include "ui/UModeloTabela.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include "ui/UJanelaQt.h"

TModeloTabela::TModeloTabela(TTabela& tabela, std::vector<TColunaGrade> colunas, QObject* pai)
    : QAbstractTableModel(pai), tabela_(tabela), colunas_(std::move(colunas)), linhas_(tabela.Contar()) {
    tabela_.AoAlterar = [this](TTabela&) { Atualizar(); };
}

TModeloTabela::~TModeloTabela() { tabela_.AoAlterar = nullptr; }

int TModeloTabela::rowCount(const QModelIndex& pai) const { return pai.isValid() ? 0 : linhas_; }

int TModeloTabela::columnCount(const QModelIndex& pai) const {
    return pai.isValid() ? 0 : static_cast<int>(colunas_.size());
}

QVariant TModeloTabela::data(const QModelIndex& indice, int papel) const {
    if (!indice.isValid() || indice.column() >= static_cast<int>(colunas_.size())) return {};
    const TColunaGrade& coluna = colunas_[static_cast<std::size_t>(indice.column())];
    switch (papel) {
        case Qt::DisplayRole:
            // The grid may paint while the table changes under it (pending
            // messages handled in the middle of long work), before the model
            // heard of the change: rows that are gone read as empty.
            if (indice.row() >= tabela_.Contar()) return QString();
            try {
                return TextoParaQt(tabela_.TextoExibicaoEm(indice.row(), coluna.Campo));
            } catch (const std::exception&) {
                return QString();
            }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (coluna.Centralizada ? Qt::AlignHCenter : Qt::AlignLeft));
        default: return {};
    }
}

QVariant TModeloTabela::headerData(int secao, Qt::Orientation orientacao, int papel) const {
    if (orientacao == Qt::Vertical) {
        // The row indicator: a marker on the current row.
        if (papel == Qt::DisplayRole) return secao == tabela_.IndiceAtual() ? QStringLiteral("▸") : QString();
        if (papel == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignCenter);
        return {};
    }
    if (secao < 0 || secao >= static_cast<int>(colunas_.size())) return {};
    const TColunaGrade& coluna = colunas_[static_cast<std::size_t>(secao)];
    switch (papel) {
        case Qt::DisplayRole: {
            if (!coluna.Titulo.empty()) return TextoParaQt(coluna.Titulo);
            const int i = tabela_.IndiceColuna(coluna.Campo);
            const std::string titulo = i >= 0 ? tabela_.Colunas()[static_cast<std::size_t>(i)].Titulo : "";
            return TextoParaQt(titulo.empty() ? coluna.Campo : titulo);
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (coluna.Centralizada ? Qt::AlignHCenter : Qt::AlignLeft));
        default: return {};
    }
}

Qt::ItemFlags TModeloTabela::flags(const QModelIndex& indice) const {
    if (!indice.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void TModeloTabela::Ligar(QTableView* grade, std::function<void(const std::exception&)> aoFalhar) {
    grade_ = grade;
    aoFalhar_ = std::move(aoFalhar);
    grade->setModel(this);
    grade->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grade->setSelectionBehavior(QAbstractItemView::SelectRows);
    grade->setSelectionMode(QAbstractItemView::SingleSelection);
    grade->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    for (std::size_t i = 0; i < colunas_.size(); ++i) {
        if (colunas_[i].Largura >= 0) grade->setColumnWidth(static_cast<int>(i), colunas_[i].Largura);
    }
    connect(grade->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& atual, const QModelIndex&) { AoMudarLinhaGrade(atual); });
    SincronizarAtual();
}

void TModeloTabela::Atualizar() {
    const int linhas = tabela_.Contar();
    if (linhas != linhas_) {
        beginResetModel();
        linhas_ = linhas;
        endResetModel();
    } else if (linhas_ > 0) {
        emit dataChanged(index(0, 0), index(linhas_ - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, 0, linhas_ - 1);
    }
    SincronizarAtual();
}

void TModeloTabela::SincronizarAtual() {
    if (!grade_ || sincronizando_) return;
    sincronizando_ = true;
    QItemSelectionModel* selecao = grade_->selectionModel();
    const int atual = tabela_.IndiceAtual();
    if (atual < 0 || atual >= linhas_) {
        selecao->clear();
    } else if (selecao->currentIndex().row() != atual || !selecao->isRowSelected(atual)) {
        const int coluna = std::max(0, selecao->currentIndex().column());
        selecao->setCurrentIndex(index(atual, coluna),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    sincronizando_ = false;
}

void TModeloTabela::AoMudarLinhaGrade(const QModelIndex& atual) {
    if (sincronizando_ || !atual.isValid()) return;
    if (atual.row() == tabela_.IndiceAtual()) return;
    if (bloqueada_ || atual.row() >= tabela_.Contar()) {
        // Back to the table's row, once the view is done with this change.
        QMetaObject::invokeMethod(this, [this] { SincronizarAtual(); }, Qt::QueuedConnection);
        return;
    }
    sincronizando_ = true;
    try {
        tabela_.MoverPara(atual.row());
    } catch (const std::exception& erro) {
        sincronizando_ = false;
        SincronizarAtual();
        if (aoFalhar_) aoFalhar_(erro);
        return;
    }
    sincronizando_ = false;
    SincronizarAtual();
}
