#pragma once

#include "audit/Fingerprint.h"
#include "audit/PublicDivision.h"
#include "choice/PlanDivision.h"
#include "engine/Balancing.h"
#include "engine/DivisionState.h"
#include "engine/Optimiser.h"
#include "session/Snapshot.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fenban {

class CellGrid;

// What a step of the division is; the views redraw by it (the listing is
// redrawn after a hand move and 一键均衡, not after 编班 or 调整).
enum class DivisionStep {
    ReadTable, // 读入数据 or a table file opened
    ClassCount, // 分班数
    Assign, // 编班
    Press, // 调整
    Optimise, // 一键均衡's result applied
    Move, // a hand move
    Restore, // undo, redo, a division file or a recovery opened
    Change, // a late student, a leaver or a requested move (the views redraw as after Restore)
    Choice, // a setting that is no step (pair, subject, coefficient, check boxes, listing)
};

// Which choice a Choice notice tells of.
enum class ChoiceKind {
    None,
    Pair, // the 手动调班 pair
    Subject, // 调整's subject
    Coefficient, // 较正系数
    Manual, // 手动调班 ticked
    SoundAlike, // 同音姓名分班
    Bands, // 分数段
    Listing, // the listing shown (a tree node)
    Cell, // the grid cell chosen
};

// What changed in one notification.
struct DivisionChange {
    DivisionStep step = DivisionStep::Choice;
    ChoiceKind choice = ChoiceKind::None; // with DivisionStep::Choice
    bool roster = false; // another roster: records, rule texts, subject names
    bool classCount = false; // the class count (and with it the number of class lists)
    bool lists = false; // class membership or list orders
    bool statistics = false; // the statistics tables
    bool shown = false; // the published figures: the averages tab and the total
};

// 一键均衡's input: a private copy of the division, the rules and the class
// count, so that the search runs on another thread while nothing it reads
// can change.
struct OptimiseInput {
    std::shared_ptr<const DivisionState> state;
    DivisionRules rules;
    int classCount = 0;
    RankBalance balance; // the settings' score bands
    ClassGroups groups; // with a 班级设置: each group balanced on its own (OptimiseInGroups); empty: the whole grade
};

// 一键均衡's answer: the class of each record (by index), the class lists
// (record indices), the statistics of that division and the search's figures.
struct OptimisedDivision {
    std::vector<std::int32_t> classNos;
    std::vector<IndexList> classes;
    StatisticsTables statistics;
    OptimiseResult result;
};

// The leavers as the result fingerprint names them; null without changes.
std::unique_ptr<std::vector<LeftInResult>> LeftInResultOf(const AfterDivision* after);

// Runs OptimiseDivision on a working copy of the input's division (on any
// thread: the input is never changed) and returns its answer; the input's
// balance takes the place of the control's.
OptimisedDivision Optimise(const OptimiseInput& input, const OptimiseControl& control);

// What the window shows of the division: the listing and the grid cell last
// reported as selected. Kept by the document for the hand move and for undo.
struct ViewState {
    int FSelCol = -1; // -1: none
    int FSelRow = -1;
    int FShownClass = -1; // -1: the whole roster is listed, else a class index
    // The roster grid shows the table as read (after 读入数据 and 打开), not
    // a listing (after choosing a tree node or a hand move).
    bool tableShown = true;
};

// The division being worked on: the roster and the table it was read from,
// the class membership and list orders the presses read, the settings, the
// statistics and the figures last published to the averages tab. Every
// step is an operation here; the window shows it and sends it commands.
// Listeners hear of every change after it is complete.
//
// Room for what comes: balance options join Settings (and the file's
// "settings"); the extra columns (ExtraTexts) are kept in RosterSource.
class Division {
public:
    Division();

    using Listener = std::function<void(const DivisionChange&)>;
    void listen(Listener listener) { listeners_.push_back(std::move(listener)); }

    const DivisionState& state() const { return state_; }
    const ViewState& view() const { return view_; }
    const RosterSource& source() const { return source_; }
    const Settings& settings() const { return settings_; }
    const ShownFigures& shown() const { return *shown_; }
    int classCount() const { return settings_.classCount; }
    bool hasRoster() const { return source_.built; }

    // The table before any roster: the roster grid of the start.
    void setStartTable(const CellGrid& table) { source_.table = PackedGrid::Pack(table); }
    // 读入数据: the roster from the table's cells (row 0 the header, column 0
    // the row numbers), its subject names and the proposed class count (set
    // as the class count when it differs). The division of the old roster
    // ends. Throws the roster's ConversionError when a cell does not convert:
    // the table is then kept without a roster. `extras`: the opened table's
    // extra columns, entry i for the student of table row i + 1. With
    // `ownWork` (a table file opened) the work starts afresh: no figures
    // published, the default score bands; a paste keeps them.
    void readTable(
        const CellGrid& table, const std::string& decimalSeparator, RosterExtraTexts extras = {}, bool ownWork = false);
    // 分班数: the class count and the number of class lists.
    void setClassCount(int classCount);
    // 班级设置: the set-up (empty: none) and, with one, its class count.
    void setClassSetup(ClassSetup setup);
    // The set-up as followed by 编班, 调整, 一键均衡 and the input fingerprint:
    // the settings' set-up unless setupPause() names a reason; empty otherwise.
    const ClassSetup& activeSetup() const;
    // Why the settings' set-up is kept but not followed (SetupPauseReason); empty when followed or none.
    std::string setupPause() const;
    // The names the classes bear: the home classes' while a 选科分班 stands,
    // else the settings' set-up when it has as many classes, else none.
    const ClassSetup& names() const;
    // The name of class `classNo` (1-based): the set-up's, else `otherwise`.
    std::string className(int classNo, std::string otherwise) const
    {
        return ClassNameOr(names(), classNo, std::move(otherwise));
    }
    // 编班; false when there was nothing to divide. Throws RuleValueError (nothing changes).
    bool assign();
    // 调整 with the settings' pair, subject, coefficient and mode.
    BalanceOutcome press();
    // The hand move: the student at `position` of the listing (the whole
    // roster, or the class of setListing) to class index `target`.
    bool move(int position, int target);
    // 一键均衡: the input for the search (PrepareBalance with options()), and
    // its answer applied as one step.
    OptimiseInput optimiseInput() const;
    void apply(const OptimisedDivision& answer);
    // 公开分班: a division made afresh from the roster as read (the records
    // rebuilt from source().table, divided and balanced) takes the place of
    // this one as one step, the step of 一键均衡.
    void applyDivided(DivisionState divided);
    // Late students, leavers and requested moves since the division; null when none.
    const AfterDivision* after() const { return after_.get(); }
    // One change after the division (ApplyChange) with the result
    // fingerprints before and after it filled in; the averages and the total
    // are published. Throws ChangeReplayError (nothing changes).
    void applyChange(ChangeEntry entry);

    // 选科分班: a division within a plan (`divided`, its home classes the class
    // lists) takes the place of this one as one step; the plan, each record's
    // combination and the teaching classes are kept with it until a step changes
    // the classes or the roster. The fingerprints then cover them.
    void applyChoiceDivision(DivisionState divided, PlanDivision plan);
    const PlanDivision* choiceDivision() const { return choice_.get(); }
    // The plan a division file keeps with its classes, taken back after it is opened.
    void keepChoiceDivision(PlanDivision plan);
    // What a division made in public keeps beside the steps: the seed and
    // score bands of the last 一键均衡, the class teachers and the record
    // (操作记录). Not part of a snapshot: undo and redo leave it, since the
    // record is a log of what was done (the undo is itself an entry).
    const PublicDivision& publicState() const { return public_; }
    void setPublicState(PublicDivision kept) { public_ = std::move(kept); }
    void note(RecordKind kind, std::string text) { public_.record.add(kind, std::move(text)); }
    // The seed of the last 一键均衡, with the settings' score bands.
    void setBalanceSeed(std::string seedText);
    // The teachers of the classes, drawn (or set by hand) from `list` as entered.
    void setTeachers(std::vector<std::string> list, std::vector<std::string> teachers, bool drawn);
    // The class count, sound-alike choice and score bands of the settings.
    DivisionOptions options() const;
    // Of the roster as read with options() (cached: a step rarely changes it); empty without a roster.
    std::string inputFingerprint() const;
    // The same with other options (公开分班's dialog reads it out as they change), the set-up added by withSetup.
    std::string inputFingerprint(const DivisionOptions& chosen) const;
    // The options with the settings' set-up when it can be followed at their class count (公开分班 follows it).
    DivisionOptions withSetup(DivisionOptions chosen) const;
    // The public result stands: the division is the last 公开分班's, unchanged.
    bool showsPublicResult() const;
    void setPublicResult(std::string resultFingerprint) { public_.publicResult = std::move(resultFingerprint); }
    std::string resultFingerprint() const; // kept until the next change

    // Choices (no steps).
    void setPair(int classA, int classB);
    void setSubject(int subject);
    void setCoefficient(std::int32_t coefficient);
    void setManual(bool manual);
    void setSoundAlike(bool soundAlike);
    // 分数段: the score bands 一键均衡 keeps even (one of RankBandChoices).
    void setRankBands(int bands);
    // The listing shown (a listing from now on, once there are class lists) and the grid cell chosen: the
    // window's, kept with the division for the hand move and for undo.
    void setListing(int shownClass);
    void setSelectedCell(int col, int row);
    // Every choice tells a Choice of its kind.
    Choices choices() const;

    // The document as data, and back (CheckSnapshot first: nothing changes when it throws).
    Snapshot capture() const;
    void restore(const Snapshot& snapshot);

private:
    void publishAverages(bool withTotal); // the averages tab's figures; withTotal: the total too
    // A division made afresh takes this one's place, with the plan it was made in (or none).
    void replaceDivided(DivisionState divided, std::shared_ptr<const PlanDivision> choice);
    void notify(const DivisionChange& change) const;
    void notifyChoice(ChoiceKind kind) const;

    DivisionState state_;
    ViewState view_;
    RosterSource source_;
    Settings settings_;
    std::shared_ptr<const ShownFigures> shown_;
    PublicDivision public_;
    std::shared_ptr<const PlanDivision> choice_; // the plan of the last 选科分班, while its classes stand
    // The home classes' names as a set-up, and the plan they were taken from (held, so never another's).
    mutable ClassSetup choiceNames_;
    mutable std::shared_ptr<const PlanDivision> choiceNamesOf_;
    struct InputPrint {
        std::shared_ptr<const PackedGrid> table;
        std::string options;
        ClassSetup setup;
        std::string fingerprint;
    };
    mutable InputPrint inputPrint_;
    mutable std::optional<std::string> resultPrint_; // dropped by every notification
    std::shared_ptr<const AfterDivision> after_;
    std::vector<Listener> listeners_;
};

} // namespace fenban
