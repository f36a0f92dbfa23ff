#pragma once

#include "engine/DivisionState.h"
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
    void ShowAverages();
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
    fenban::DivisionState FState;
    std::shared_ptr<fenban::FileSystem> files_ = fenban::DiskFileSystem();
    QString lastFolder_; // of the file opened or exported last
};
