#pragma once

#include "engine/DivisionState.h"
#include "engine/Optimiser.h"
#include "roster/PastedTable.h"
#include "xls/FileSaving.h"

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

    // Where the exports write their files; the disk by default.
    void setFileSystem(std::shared_ptr<fenban::FileSystem> files) { files_ = std::move(files); }

signals:
    // A progress report of 一键均衡 has reached the window (fraction done,
    // 0..1); its progress dialog "dlgBalanceProgress" is open meanwhile.
    void balanceProgressed(double fraction);

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
    void BitBtn2Click(); // assign; a bad 固定 value is a warning
    void Button4Click(); // balance
    void btnBalanceAllClick(); // the best-balanced division within the rules, in one press
    // OptimiseDivision on a worker thread under a modal progress dialog; returns when it has ended.
    fenban::OptimiseResult RunOptimiser(const fenban::DivisionRules& rules, int classCount);
    void ShowAverages(); // the averages table, its tint and the balance figures
    // The broken-rules figure of the balance panel, from the class lists as they stand.
    void ShowBrokenRules();
    // The roster listing again, when it lists the whole grade or a class.
    void RedrawListing();
    void MoveToClassClick(QAction* item);
    void BitBtn3Click(); // copy
    void Button1Click(); // export
    void ExportGridToExcel(const fenban::StringGridModel& grid, const QString& fileName);

    std::string DecimalSeparator() const;

    // 文件 menu and toolbar (FileActions.cpp)
    void CreateFileActions();
    void actOpenExecute();
    void OpenFile(const QString& fileName);
    void OpenTableFile(const QString& fileName);
    void actExportWorkbookExecute();
    void actExportPdfExecute();
    void actPrintExecute();
    QString ExportFileName(const QString& caption, const QString& filter, const QString& suffix,
        const QString& objectName, const QString& proposedName);

    std::unique_ptr<Ui::TForm1> ui;
    QMenu* ppmClass = nullptr;
    fenban::StringGridModel* FStrGridModel = nullptr;
    fenban::StringGridModel* FAvgGridModel = nullptr;
    fenban::StringGridModel* balanceGridModel = nullptr; // gdBalance: the largest gap per subject
    bool listingShown = false; // StrGrid lists students (not the pasted table)
    fenban::DivisionState FState;
    std::shared_ptr<fenban::FileSystem> files_ = fenban::DiskFileSystem();
    QString lastFolder_; // of the file opened or exported last
};
