#include "views/StringGridModel.h"

namespace fenban {

StringGridModel::StringGridModel(int colCount, int rowCount, QObject* parent)
    : QAbstractTableModel(parent)
    , grid_(colCount, rowCount)
{
}

void StringGridModel::setRowCount(int rows)
{
    rows = std::max(rows, 1);
    const int oldRows = grid_.rowCount();
    bool moved = false;
    if (rows > oldRows) {
        beginInsertRows({}, oldRows - 1, rows - 2);
        moved = grid_.setRowCount(rows);
        endInsertRows();
    } else if (rows < oldRows) {
        beginRemoveRows({}, rows - 1, oldRows - 2);
        moved = grid_.setRowCount(rows);
        endRemoveRows();
    }
    if (moved)
        emit currentCellMoved(grid_.currentCol(), grid_.currentRow());
}

void StringGridModel::setColCount(int cols)
{
    cols = std::max(cols, 1);
    const int oldCols = grid_.colCount();
    bool moved = false;
    if (cols > oldCols) {
        beginInsertColumns({}, oldCols - 1, cols - 2);
        moved = grid_.setColCount(cols);
        endInsertColumns();
    } else if (cols < oldCols) {
        beginRemoveColumns({}, cols - 1, oldCols - 2);
        moved = grid_.setColCount(cols);
        endRemoveColumns();
    }
    if (moved)
        emit currentCellMoved(grid_.currentCol(), grid_.currentRow());
}

void StringGridModel::setCell(int col, int row, const std::string& text)
{
    if (!grid_.contains(col, row))
        return;
    grid_.setCell(col, row, text);
    if (row == 0 && col > 0)
        emit headerDataChanged(Qt::Horizontal, col - 1, col - 1);
    else if (col == 0 && row > 0)
        emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
    else if (row > 0 && col > 0)
        emit dataChanged(index(row - 1, col - 1), index(row - 1, col - 1), {Qt::DisplayRole});
}

void StringGridModel::updateCells(const std::function<void(CellGrid&)>& write)
{
    const int cols = grid_.colCount();
    const int rows = grid_.rowCount();
    write(grid_);
    if (grid_.colCount() != cols || grid_.rowCount() != rows) {
        // The counts are not to be changed here; keep the views consistent anyway.
        beginResetModel();
        endResetModel();
        return;
    }
    if (cols > 1)
        emit headerDataChanged(Qt::Horizontal, 0, cols - 2);
    if (rows > 1)
        emit headerDataChanged(Qt::Vertical, 0, rows - 2);
    if (cols > 1 && rows > 1)
        emit dataChanged(index(0, 0), index(rows - 2, cols - 2), {Qt::DisplayRole});
}

void StringGridModel::setBackgrounds(Backgrounds backgrounds)
{
    backgrounds_ = std::move(backgrounds);
    if (rowCount() > 0 && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::BackgroundRole});
}

int StringGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.rowCount() - 1;
}

int StringGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : grid_.colCount() - 1;
}

QVariant StringGridModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(grid_.cell(index.column() + 1, index.row() + 1));
    case Qt::BackgroundRole:
        if (backgrounds_) {
            const QColor colour = backgrounds_(index.column() + 1, index.row() + 1);
            if (colour.isValid())
                return colour;
        }
        return {};
    case Qt::TextAlignmentRole:
        if (rightAligned_)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

QVariant StringGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || section < 0)
        return {};
    if (orientation == Qt::Horizontal)
        return section < columnCount() ? QString::fromStdString(grid_.cell(section + 1, 0)) : QVariant();
    return section < rowCount() ? QString::fromStdString(grid_.cell(0, section + 1)) : QVariant();
}

Qt::ItemFlags StringGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

} // namespace fenban
