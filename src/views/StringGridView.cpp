#include "views/StringGridView.h"

#include "views/StringGridModel.h"

#include <QHeaderView>

namespace fenban {

StringGridView::StringGridView(QWidget* parent)
    : QTableView(parent)
{
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setSectionsMovable(false);
        header->setSectionsClickable(false);
        header->setHighlightSections(false);
    }
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setDefaultSectionSize(64);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(24);
    verticalHeader()->setMinimumWidth(20);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
}

void StringGridView::setGridModel(StringGridModel* model)
{
    model_ = model;
    setModel(model);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
        [this](const QModelIndex& current) { onCurrentChanged(current); });
    connect(model, &StringGridModel::currentCellMoved, this, &StringGridView::onCurrentCellMoved);
}

void StringGridView::forgetCurrentCell()
{
    if (!model_)
        return;
    QSignalBlocker blocker(selectionModel());
    selectionModel()->clear();
    model_->clearCurrent();
    viewport()->update();
}

void StringGridView::onCurrentChanged(const QModelIndex& current)
{
    if (!current.isValid())
        return; // the grid reports its own move when rows or columns go
    const int col = current.column() + 1;
    const int row = current.row() + 1;
    model_->setCurrent(col, row);
    emit cellSelected(col, row);
}

void StringGridView::onCurrentCellMoved(int col, int row)
{
    if (row >= 1 && col >= 1) {
        const QModelIndex target = model_->index(row - 1, col - 1);
        if (currentIndex() != target) {
            // Reported once, here.
            QSignalBlocker blocker(selectionModel());
            selectionModel()->setCurrentIndex(target, QItemSelectionModel::ClearAndSelect);
            viewport()->update();
        }
    }
    emit cellSelected(col, row);
}

} // namespace fenban
