#pragma once

#include "audit/OperationRecord.h"
#include "document/Division.h"
#include "document/PublicRun.h"
#include "io/TableLayout.h"
#include "session/RecoveryFile.h"
#include "session/Snapshot.h"

#include <QJsonObject>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fenban {

class CellGrid;
class Session;

// Every step the work knows. A new one gets a row in StepInfoOf's table and
// an operation of the Workbench that runs it through perform().
enum class StepKind {
    Read, // 读入数据: a pasted table
    OpenTable, // 打开 a table file
    OpenDivision, // 打开 a division file
    Recover, // 恢复: work a run left unsaved taken over
    ClassCount, // 分班数
    Assign, // 编班
    Press, // 调整
    BalanceAll, // 一键均衡
    PublicDivision, // 公开分班
    Move, // 调班 by hand
    Undo, // 撤销
    Redo, // 重做
    Save, // 保存
    TeacherDraw, // 班主任抽签
    ClassSetup, // 班级设置
    AddStudents, // 新增学生: late students placed
    RemoveStudent, // 学生转出
    RequestMove, // 调班申请
    ChoicePlan, // 选科方案 accepted (an entry of the record only)
    ChoiceDivision, // 选科分班: the division within the plan
};

struct StepInfo {
    StepKind kind;
    std::string_view name; // the history's name ("撤销 调整") and the recovery file's last step
    bool undoable; // a step of the undo history; otherwise only an entry of the record
    RecordKind record; // the kind of its entry in the record (操作记录)
};

const StepInfo& StepInfoOf(StepKind kind);

// Told after every step and every save: what the session shows (title, undo
// and redo, the modified mark, the fingerprints) may have changed.
struct StepNotice {
    StepKind kind = StepKind::Read;
    bool recorded = false; // the step changed the work and joined the history
};

// 公开分班's input: the roster as read, the options and seed, the teachers to
// draw. Immutable: the division runs on a worker while the window waits.
struct PublicRequest {
    RosterSource source;
    DivisionOptions options;
    std::string seedText;
    std::vector<std::string> teachers; // to draw with the seed; none: no draw
};

// The division made from a PublicRequest (DivideInPublic), on any thread.
DivisionState RunPublicDivision(const PublicRequest& request, const OptimiseControl& control);

// 选科分班's input: a copy of the roster as it stands, each record's
// combination, the plan and the options (sound-alike, bands), the seed.
// Immutable: the division runs on a worker (RunChoiceDivision, src/choice).
struct ChoiceDivisionRequest {
    std::shared_ptr<const DivisionState> grade;
    std::vector<SubjectSet> combinations;
    ChoicePlan plan;
    DivisionOptions options;
    std::string seedText;
};

// The work being done: the Division document, its Session (undo history,
// modified mark, division file, recovery file) and its public state and
// record. Every step is an operation here and runs through one bracket,
// perform(): the document changes and tells its listeners, the history
// keeps the step, the record gets its entry, the recovery file its snapshot,
// and the step's listeners hear a StepNotice. The window and the command
// line only gather input, ask, show and write files.
//
// Long work comes in three parts: prepare… (the immutable input, or the
// failure that stops it), the run on a worker with a cancel flag, and
// finish… (its answer applied as one step).
class Workbench {
public:
    Workbench();
    ~Workbench();
    Workbench(const Workbench&) = delete;
    Workbench& operator=(const Workbench&) = delete;

    // The history starts at the document as it stands, with `startTable` as
    // the table before any roster; the recovery file (may be null) follows
    // every step, on a thread of its own with `inBackground`.
    void start(const CellGrid& startTable, std::unique_ptr<RecoveryFile> recovery, bool inBackground);

    const Division& division() const { return division_; }
    const Session& session() const { return *session_; }
    void listen(Division::Listener listener) { division_.listen(std::move(listener)); }
    void listenToSteps(std::function<void(const StepNotice&)> listener);

    // 读入数据 and 打开 of a table file: the roster of a table grid (row 0 the
    // header, column 0 the row numbers); new work with a record of its own.
    // Throw the roster's ConversionError for a cell that does not convert
    // (the table is kept without a roster, which is the step). `before`: the
    // choices as they stood when the step began, when filling the grid that
    // holds the table changed the chosen cell (undo gives them back).
    void readTable(
        const CellGrid& table, const std::string& decimalSeparator, std::optional<Choices> before = std::nullopt);
    // `importNote`: how 导入设置 read it ("表头在第 3 行"), for the record.
    void openTable(const CellGrid& table, const std::string& decimalSeparator, RosterExtraTexts extras,
        const std::string& fileName, const std::string& importNote = {}, std::optional<Choices> before = std::nullopt);
    // 打开 a division file; throws what ReadDivisionFile throws, changing nothing.
    void openDivision(const std::filesystem::path& file);
    // Work a run left unsaved: its snapshot, the file's members (its record)
    // and the division file it belonged to.
    void recover(const Snapshot& recovered, const QJsonObject& whole, const std::filesystem::path& document);

    void setClassCount(int classCount);
    // 班级设置: the set-up (empty: none); the class count becomes its count.
    void setClassSetup(ClassSetup setup);
    bool assign(); // 编班; throws RuleValueError (nothing changes)
    BalanceOutcome press(); // 调整
    bool move(int position, int target); // 调班 by hand

    // 一键均衡: the input (throws RuleValueError, or DivisionInputError naming
    // the conflicting rules), and the search's answer applied as one step
    // (throws DivisionInputError naming rules no search could keep).
    OptimiseInput prepareBalance() const;
    void finishBalance(const OptimiseInput& input, const OptimisedDivision& answer);

    // 公开分班: the request with its options (DivisionInputError for more
    // classes than students, Failure for teachers that do not fit), and the division made from it taking the place
    // of this one, its options becoming the settings.
    PublicRequest preparePublic(
        const DivisionOptions& options, std::string seedText, std::vector<std::string> teachers) const;
    void finishPublic(const PublicRequest& request, DivisionState divided);

    // 新增学生, 学生转出, 调班申请: a change weighed on a ChangeStudy
    // (src/document/AfterChanges.h), as one step with its entry in the
    // record. Throws ChangeReplayError (nothing changes).
    void applyChange(StepKind kind, const ChangeEntry& entry);
    // 选科分班: the roster's choices (ChoiceInputError without a choice column;
    // rows named by `rowNumbers`, else as the table numbers them); a plan
    // accepted, with the edits made to it, as entries of the record; the
    // division's input (DivisionInputError for a plan whose rooms the students
    // do not fill); and the division made from it applied as one step.
    StudentChoices readChoices(std::optional<ChoiceModel> model, const std::vector<int>& rowNumbers = {}) const;
    void acceptChoicePlan(const ChoicePlan& plan, const std::vector<std::string>& edits);
    ChoiceDivisionRequest prepareChoiceDivision(
        const StudentChoices& choices, const ChoicePlan& plan, std::string seedText) const;
    void finishChoiceDivision(const ChoiceDivisionRequest& request, DivisionState divided, PlanDivision plan);

    void undo();
    void redo();
    // Writes the work with its record to the division file (WriteError when
    // that fails; nothing changes then); the save is the record's last entry.
    void save(const std::filesystem::path& file);
    // 班主任抽签: the list as entered and the teachers drawn from it with
    // `seedText`, or set by hand when it is empty; a second draw is recorded as one.
    void setTeachers(std::vector<std::string> list, std::vector<std::string> teachers, const std::string& seedText);

    // Choices: no steps; the document tells a Choice.
    void setPair(int classA, int classB) { division_.setPair(classA, classB); }
    void setSubject(int subject) { division_.setSubject(subject); }
    void setCoefficient(std::int32_t coefficient) { division_.setCoefficient(coefficient); }
    void setManual(bool manual) { division_.setManual(manual); }
    void setSoundAlike(bool soundAlike) { division_.setSoundAlike(soundAlike); }
    void setRankBands(int bands) { division_.setRankBands(bands); }
    void setListing(int shownClass) { division_.setListing(shownClass); }
    void setSelectedCell(int col, int row) { division_.setSelectedCell(col, row); }

    // A clean end: the recovery file goes.
    void close();
    // Returns when the recovery file follows the last step.
    void flushRecovery();

private:
    // Runs `work` as one step of `kind`: a step inside another is part of it.
    // The file an opening step's entry names, and how 导入设置 read it.
    struct OpenedFile {
        std::string name;
        std::string importNote;
    };
    void perform(StepKind kind, const std::function<void()>& work, const OpenedFile& opened = {},
        std::optional<Choices> before = std::nullopt);
    // A snapshot taking the place of the work (a file opened, a recovery).
    void performOpened(StepKind kind, const Snapshot& snapshot, PublicDivision kept,
        const std::filesystem::path& document, bool saved, const OpenedFile& opened,
        std::optional<PlanDivision> plan = std::nullopt);
    void note(StepKind kind, const Snapshot& previous, const Snapshot& after, const OpenedFile& opened);
    void keepRecord(); // the record travels with the recovery file
    void travel(StepKind kind); // undo or redo, with its entry
    void tell(StepKind kind, bool recorded) const;

    Division division_;
    std::unique_ptr<Session> session_;
    int depth_ = 0;
    bool newWork_ = false; // the step read a table: the work belongs to no file
    std::vector<std::function<void(const StepNotice&)>> stepListeners_;
};

// What a division file holds beside the snapshot: the public state and the
// record, and the plan while the classes are a 选科分班's (`choice`).
QJsonObject WorkFileMembers(const Division& division);

// `fenban divide`: a table file's rows as 打开 reads them (ImportAsProposed,
// `taken` for the record) opened, and divided in public (公开分班) with the
// options as the window does, synchronously. Throws the
// roster's ConversionError, DivisionInputError (more classes than students,
// conflicting rules), RuleValueError, and Failure for a teacher list that
// does not fit the classes.
void DivideTableInPublic(Workbench& work, const ProposedImport& imported, const std::string& fileName,
    const std::string& decimalSeparator, const DivisionOptions& options, const std::string& seedText,
    std::vector<std::string> teachers, const OptimiseControl& control);

} // namespace fenban
