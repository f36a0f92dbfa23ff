#pragma once

#include <QTableView>

namespace fenban {

class StringGridModel;

// A table view that behaves like a string grid: one rectangular block may
// be selected, nothing edited, no section moved or resized. It reports the
// cell that becomes current in grid coordinates (column, row).
class StringGridView : public QTableView {
    Q_OBJECT

public:
    explicit StringGridView(QWidget* parent = nullptr);

    void setGridModel(StringGridModel* model);
    StringGridModel* gridModel() const { return model_; }

    // Forgets the current cell, so the next click is reported whatever cell it hits.
    void forgetCurrentCell();

signals:
    void cellSelected(int col, int row);

private:
    void onCurrentChanged(const QModelIndex& current);
    void onCurrentCellMoved(int col, int row);

    StringGridModel* model_ = nullptr;
};

} // namespace fenban
