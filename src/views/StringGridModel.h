#pragma once

#include "roster/CellGrid.h"

#include <QAbstractTableModel>
#include <QColor>
#include <functional>

namespace fenban {

// A string grid shown through a table view: the fixed row 0 is the
// horizontal header, the fixed column 0 the vertical header, and model
// index (r - 1, c - 1) shows cell (c, r). Read-only for the user.
class StringGridModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    StringGridModel(int colCount, int rowCount, QObject* parent = nullptr);

    const CellGrid& grid() const { return grid_; }

    void setRowCount(int rows);
    void setColCount(int cols);
    void setCell(int col, int row, const std::string& text);
    // Many writes, one redraw: `write` changes cell texts only, not the counts.
    void updateCells(const std::function<void(CellGrid&)>& write);
    // Right-aligns the texts of the data cells (numbers).
    void setRightAligned(bool on) { rightAligned_ = on; }
    // The background of each data cell (col, row); an invalid colour leaves
    // the view's own. Empty: none. Texts are untouched.
    using Backgrounds = std::function<QColor(int col, int row)>;
    void setBackgrounds(Backgrounds backgrounds);

    // The current cell as the view reports it; a cell outside is ignored.
    void setCurrent(int col, int row) { grid_.setCurrent(col, row); }
    void clearCurrent() { grid_.clearCurrent(); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    // A smaller count left the current cell outside: it moved to (col, row),
    // row 0 when no data row is left.
    void currentCellMoved(int col, int row);

private:
    CellGrid grid_;
    bool rightAligned_ = false;
    Backgrounds backgrounds_;
};

} // namespace fenban
