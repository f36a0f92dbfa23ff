#pragma once

#include "common/FileSaving.h"
#include "document/Division.h"
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
class QJsonObject;
class QLabel;
class QMenu;
class QTreeWidgetItem;

namespace fenban {
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

    // Keeping the work (SessionActions.cpp). runStep runs `work` as one step
    // named `name` (读入数据, 编班, 一键均衡…): when it changed the division,
    // the step can be undone and the recovery file follows. A step inside
    // another is part of it. recordStep does the same for work already done,
    // given currentChoices() from just before it.
    void runStep(const std::string& name, const std::function<void()>& work);
    fenban::Choices currentChoices() const;
    void recordStep(const std::string& name, const fenban::Choices& before);
    const fenban::Session& session() const { return *FSession; }
    // Returns when the recovery file follows the last step (it is written in the background).
    void flushRecovery();
    // A file named on the command line (or opened from the file manager), opened as 打开 opens it.
    void openNamedFile(const QString& fileName);

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
    // The roster from the cells of the table just shown, with an opened
    // table's extra columns; the work is untitled from here on.
    void BuildRoster(fenban::RosterExtraTexts extras = {});
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
    // The search on a worker thread, on the input's copy, under a modal
    // progress dialog; returns when it has ended. 取消 and Esc stop it alike.
    fenban::OptimisedDivision RunOptimiser(const fenban::OptimiseInput& input);
    // The same for any long work given the control (cancel flag, progress):
    // false when it was cancelled.
    bool RunWithProgress(const std::function<void(const fenban::OptimiseControl&)>& work);
    void ShowAverages(); // the averages table, its tint and the balance figures
    // The broken-rules figure of the balance panel, from the class lists as they stand.
    void ShowBrokenRules();
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
    bool ImportSheets(const std::vector<fenban::TableSheet>& sheets, fenban::ImportedTable& imported);
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
    void ShowBalanceReport(); // of the division as it stands, after every step and choice

    // Keeping the work (SessionActions.cpp)
    void CreateSessionActions(); // the 文件 and 编辑 menus' items, the toolbar, status bar and recovery bar
    void StartSession(); // the undo history, the recovery file, left-over work of a run that ended
    fenban::Snapshot LiveSnapshot() const;
    void ShowSnapshot(const fenban::Snapshot& snapshot);
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
    void CreatePublicActions();
    void actPublicDivisionExecute();
    void actExportNoticeExecute();
    void actCheckDivisionExecute();
    void actRecordExecute();
    void actTeacherDrawExecute();
    // The record's entry of a step just kept by the history (`previous` the state before it).
    void NoteStep(const std::string& name, const fenban::Snapshot& previous, const fenban::Snapshot& after);
    void NoteOpenedDivision(const QString& fileName);
    // 撤销 or 重做 of the step the menu named ("撤销 调整").
    void NoteHistoryStep(fenban::RecordKind kind, const std::string& menuText);
    // The record, seed and teachers handed to the session for the recovery file.
    void KeepRecordInSession();
    // Those of a recovery file taken over; none when it has none (or they are damaged).
    void RecoverRecord(const QJsonObject& whole);
    // Saves the work with its record, seed and teachers; the save is the record's last entry.
    void SaveDivisionFile(const QString& fileName);
    void ShowFingerprints(); // lblFingerprint: the input's and the result's, short
    int DivisionBands() const; // the score bands of 公开分班 and of the input fingerprint
    QString openedFile_; // the table file being opened, for the record

    std::unique_ptr<Ui::TForm1> ui;
    QMenu* ppmClass = nullptr;
    fenban::StringGridModel* FStrGridModel = nullptr;
    fenban::StringGridModel* FAvgGridModel = nullptr;
    fenban::StringGridModel* balanceGridModel = nullptr; // gdBalance: the largest gap per subject
    fenban::Division division_;
    std::shared_ptr<fenban::FileSystem> files_ = fenban::DiskFileSystem();
    QString lastFolder_; // of the file opened or exported last
    std::unique_ptr<fenban::Session> FSession;
    bool tableShown_ = true; // StrGrid shows the pasted table, no listing
    bool newWork_ = false; // the step read a table: the work belongs to no file
    int FStepDepth = 0;
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
    std::string importSheets_; // the sheets read, when several were
    fenban::BalancePage* tabBalance = nullptr;
    QComboBox* cmbBands = nullptr;
    QLabel* lblWorstBand = nullptr;
};
