#pragma once

#include "engine/DivisionState.h"
#include "roster/PastedTable.h"
#include "xls/Spreadsheet.h"

#include <QMainWindow>
#include <memory>

namespace Ui {
class TForm1;
}

class QAction;
class QMenu;
class QTreeWidgetItem;

namespace fenban {
class StringGridModel;
}

// The program's one window: the help, roster and averages tabs. It gathers
// control values, calls the roster and engine logic, and redraws.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    const fenban::DivisionState& state() const { return FState; }
    const fenban::StringGridModel& rosterGrid() const { return *FStrGridModel; }
    const fenban::StringGridModel& averagesGrid() const { return *FAvgGridModel; }

    // What the export creates its spreadsheet objects with; the built-in .xls writer by default.
    void setSpreadsheetFactory(fenban::SpreadsheetFactory factory) { FSpreadsheetFactory = std::move(factory); }

private:
    void FormCreate();
    void ConnectHandlers();

    // Roster tab
    void BitBtn1Click(); // paste
    // The table in the roster grid: the row numbers, then its fields.
    void ShowTable(const fenban::FieldRows& table);
    void BuildRoster();
    void SpinEdit1Change();
    void trvClassListChange(QTreeWidgetItem* node);
    void ShowStudents(const fenban::TStudentList& list);
    void StrGridSelectCell(int col, int row);
    void StrGridContextMenu(const QPoint& pos);

    // Division and balancing
    void BitBtn2Click(); // assign
    void Button4Click(); // balance
    void ShowAverages();
    void MoveToClassClick(QAction* item);
    void BitBtn3Click(); // copy
    void Button1Click(); // export
    void ExportGridToExcel(const fenban::StringGridModel& grid, const QString& fileName);

    std::string DecimalSeparator() const;

    std::unique_ptr<Ui::TForm1> ui;
    QMenu* ppmClass = nullptr;
    fenban::StringGridModel* FStrGridModel = nullptr;
    fenban::StringGridModel* FAvgGridModel = nullptr;
    fenban::DivisionState FState;
    fenban::SpreadsheetFactory FSpreadsheetFactory;
};
