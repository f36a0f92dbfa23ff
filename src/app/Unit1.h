#pragma once

#include "common/FileSaving.h"
#include "document/Division.h"
#include "document/Workbench.h"
#include "engine/DivisionState.h"
#include "io/OutputTables.h"
#include "roster/PastedTable.h"
#include "session/Snapshot.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TForm1;
}

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QTreeWidgetItem;

namespace fenban {
template <class T> class AsyncTask;
struct ReportFigures;
struct PreparedRules;
class FindBar;
class BalancePage;
class LeftOverRecovery;
class Session;
class StringGridModel;
struct ImportedTable;
struct RosterSummary;
struct TableSheet;
} // namespace fenban

// The program's one window: the help, roster and averages tabs. A view of
// its Division: the controls send it commands and show what it holds.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    const fenban::DivisionState& state() const { return division_.state(); }
    const fenban::ViewState& view() const { return division_.view(); }
    const fenban::Division& division() const { return division_; }
    const fenban::StringGridModel& rosterGrid() const { return *FStrGridModel; }
    const fenban::StringGridModel& averagesGrid() const { return *FAvgGridModel; }

    // Where the exports write their files; the disk by default.
    void setFileSystem(std::shared_ptr<fenban::FileSystem> files) { files_ = std::move(files); }

    // The work: every step is run by the Workbench, which keeps the history,
    // the record and the recovery file.
    const fenban::Session& session() const { return work_.session(); }
    // Returns when the recovery file follows the last step (it is written in the background).
    void flushRecovery() { work_.flushRecovery(); }
    // A file named on the command line (or opened from the file manager), opened as 打开 opens it.
    void openNamedFile(const QString& fileName);
    // Returns when the balance figures (the 均衡 tab, lblWorstBand) are those
    // of the division as it stands: the report on its way has arrived, or one
    // that nothing showed yet has been made.
    void settleBalanceReport();

signals:
    // A progress report of 一键均衡 has reached the window (fraction done,
    // 0..1); its progress dialog "dlgBalanceProgress" is open meanwhile.
    void balanceProgressed(double fraction);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void ShowHelpDetails(); // the help text in full below the pictures (HelpDetails.cpp)
    void ConnectHandlers();

    // Roster tab
    void BitBtn1Click(); // paste
    // The table in the roster grid: the row numbers, then its fields.
    void ShowTable(const fenban::FieldRows& table);
    // What a step changed, shown (the document's listener).
    void DivisionChanged(const fenban::DivisionChange& change);
    void ShowSubjects();
    void SpinEdit1Change();
    void BuildClassTree(int classCount); // the tree's nodes and the grid menu's items
    void trvClassListChange(QTreeWidgetItem* node);
    void ShowStudents(const fenban::TStudentList& list);
    void StrGridSelectCell(int col, int row);
    void StrGridContextMenu(const QPoint& pos);

    // Division and balancing
    void BitBtn2Click(); // assign; a bad 固定 value is a warning
    void Button4Click(); // balance
    void btnBalanceAllClick(); // the best-balanced division within the rules, in one press
    // Long work on a worker under the progress dialog (ProgressRun.h), its
    // reports told by balanceProgressed: false when it was cancelled.
    bool RunWithProgress(const std::function<void(const fenban::OptimiseControl&)>& work);
    void ShowAverages(); // the averages table, its tint and the balance figures
    // The broken-rules figure of the balance panel, from the class lists as they stand.
    void ShowBrokenRules();
    // The rules of the roster at the class count and sound-alike choice: made
    // on a worker when one of those changes (the pinyin of every name is
    // read), waited for only when asked for before they arrived.
    void PrepareRules();
    const fenban::PreparedRules& CurrentRules();
    // The roster listing again, when it lists the whole grade or a class.
    void RedrawListing();
    void ShowBalancePanel(); // gaps, tint, total and broken rules of the statistics as they stand
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
    // The sheets read as the user chooses (RosterActions.cpp): a table in the
    // program's own layout as it stands, another through 导入设置. False:
    // cancelled, or told why it cannot be read; nothing has changed then.
    // `note` says for the record how they were read ("按导入设置读入：表头在第 3 行"); empty as they stand.
    bool ImportSheets(
        const std::vector<fenban::TableSheet>& sheets, fenban::ImportedTable& imported, std::string& note);
    // 全部班级 or 当前班级 for 打印 and 导出PDF: the class tables to put out;
    // false when cancelled.
    bool ChoosePrintedTables(std::vector<fenban::OutputTable>& tables, fenban::TablePictures& pictures);
    void actExportWorkbookExecute();
    void actExportPdfExecute();
    void actPrintExecute();
    QString ExportFileName(const QString& caption, const QString& filter, const QString& suffix,
        const QString& objectName, const QString& proposedName);

    // 查找 and the keys of 编班 and 一键均衡 (RosterActions.cpp)
    void CreateClerkActions();
    void actFindExecute();
    void ShowFoundStudent(const fenban::TStudent* student, int classNo);
    // The balance report (BalanceControls.cpp): the tab 均衡, the 分数段 choice
    // and the worst band figure under the balance strip.
    void CreateBalanceControls();
    // Of the division as it stands, after every step and choice: the figures
    // are marked 计算中… and the report is asked for when something shows it.
    void ShowBalanceReport();
    bool BalanceReportShown() const; // the 均衡 tab or the band figure is visible
    void RequestBalanceReport(); // made on the worker from a copy of the division
    void ShowReportFigures(fenban::ReportFigures figures); // the report arrived

    // Keeping the work (SessionActions.cpp)
    void CreateSessionActions(); // the 文件 and 编辑 menus' items, the toolbar, status bar and recovery bar
    void StartSession(); // the undo history, the recovery file, left-over work of a run that ended
    void ShowRestored(); // the document as restored, with its listing and cell
    void ShowSessionState(); // title, undo and redo texts, what was read
    void OpenDivisionFile(const QString& fileName);
    void actSaveClick();
    void actSaveAsClick();
    bool SaveWork(); // false: not saved (cancelled)
    bool SaveWorkAs();
    void actUndoClick();
    void actRedoClick();
    bool MayEndWork(); // asks 保存 / 不保存 / 取消 when something is unsaved
    void ShowRosterSummary();
    // The read warnings of the roster, those of opening its table first (RosterActions.cpp).
    QString ReadWarningText() const;
    QString ReadWarningDetails() const;
    void btnReadWarningsClick();
    void ShowLeftOverRecovery();
    void btnRecoverClick();
    void btnIgnoreRecoveryClick();

    // Dividing in public (PublicActions.cpp): 公开分班, 公示名单, 核验, 操作记录, 班主任抽签.
    // A menu's action under `name` whose handler runs guarded.
    QAction* AddMenuAction(QMenu* menu, const char* name, const QString& text, void (TForm1::*handler)());
    // 班级设置 (ClassSetupActions.cpp)
    void CreateClassSetupActions();
    void actClassSetupExecute();
    void ShowClassSetupState(); // lblClassSetupState: the set-up not followed, students out of their group
    void CreatePublicActions();
    void actPublicDivisionExecute();
    void actExportNoticeExecute();
    void actCheckDivisionExecute();
    void actRecordExecute();
    void actTeacherDrawExecute();
    void ShowFingerprints(); // lblFingerprint: the input's and the result's, short
    // 选科分班 (ChoiceActions.cpp): the plan by elective subjects and the division within it.
    void CreateChoiceActions();
    void actChoicePlanExecute();
    // While the division is the last 公开分班's, `step` (编班, 调整…) asks
    // before it changes it; false: leave it.
    bool MayChangePublicResult(const QString& step);

    // After the division (ChangeActions.cpp): 新增学生, 学生转出, 调班申请, 变更公示.
    void CreateChangeActions();
    void actAddStudentsExecute();
    void actRemoveStudentExecute();
    void actRequestMoveExecute();
    void actExportChangesExecute();

    std::unique_ptr<Ui::TForm1> ui;
    QMenu* ppmClass = nullptr;
    fenban::StringGridModel* FStrGridModel = nullptr;
    fenban::StringGridModel* FAvgGridModel = nullptr;
    fenban::StringGridModel* balanceGridModel = nullptr; // gdBalance: the largest gap per subject
    fenban::Workbench work_; // owns the document and every step
    const fenban::Division& division_ = work_.division(); // what the views show
    std::shared_ptr<fenban::FileSystem> files_ = fenban::DiskFileSystem();
    QString lastFolder_; // of the file opened or exported last
    std::vector<fenban::LeftOverRecovery> FLeftOvers; // offered by the recovery bar, the first now
    std::unique_ptr<fenban::RosterSummary> FSummary;
    std::shared_ptr<const fenban::PackedGrid> FSummaryTable; // the table FSummary was made of
    QAction* actUndo = nullptr;
    QAction* actRedo = nullptr;
    fenban::FindBar* findBar_ = nullptr;
    // What opening the table `importTable_` had to say (缺考 read as empty, the summed total).
    std::shared_ptr<const fenban::PackedGrid> importTable_;
    std::vector<std::string> importWarnings_;
    std::vector<int> importRows_; // the sheet's row of each of its students (none: as the table stands)
    bool importPending_ = false; // a table file is being opened: its roster takes the import's warnings
    std::string importSheets_; // the sheets read, when several were
    fenban::BalancePage* tabBalance = nullptr;
    QComboBox* cmbBands = nullptr;
    QLabel* lblWorstBand = nullptr;
    QLabel* lblClassSetupState = nullptr; // with a 班级设置: why it is not followed, or who is outside his group
    std::unique_ptr<fenban::AsyncTask<fenban::ReportFigures>> reportTask_;
    std::unique_ptr<fenban::AsyncTask<std::shared_ptr<const fenban::PreparedRules>>> rulesTask_;
    std::shared_ptr<const fenban::PreparedRules>
        rules_; // of the roster, count and choice as they stand; none: on their way
    // What rules_ (or the rules on their way) were made of: the roster's table
    // (a step that keeps the roster keeps it), the class count, the choice.
    std::shared_ptr<const fenban::PackedGrid> rulesTable_;
    int rulesClassCount_ = 0;
    bool rulesSoundAlike_ = false;
    bool reportStale_ = false; // the figures shown are marked 计算中… and no report is on its way
    int reportBands_ = -1; // the score bands of the figures shown or on their way
};
