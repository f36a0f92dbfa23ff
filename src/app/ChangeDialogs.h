#pragma once

#include "document/AfterChanges.h"

#include <QDialog>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class QTableWidget;

namespace fenban {

// Who asked, when and why, as each change dialog gathers it.
class ChangeMetaFields;

// 新增学生… ("dlgAddStudents"): late students typed or pasted in the roster's
// columns (or read from a file), the proposal for each with its three best
// classes, the date, who asked and why. OK ("btnAddStudentsOk") weighs the
// rows first when they were not weighed yet; it accepts only a change that
// can be made (a problem is told in the dialog).
class AddStudentsDialog final : public QDialog {
    Q_OBJECT

public:
    AddStudentsDialog(QWidget* parent, const Division& division);
    ~AddStudentsDialog() override;
    // Rows read from a table file, in the dialog's columns.
    void setRows(const std::vector<std::vector<std::string>>& rows);
    // The change accepted; valid after OK.
    const ChangeEntry& entry() const { return *entry_; }
    // Names of the late students already in the grade (asked before OK accepts).
    std::vector<std::string> sameNames() const;

    void accept() override;

signals:
    void fileWanted();

private:
    void weigh();
    void paste();
    void showChoices();
    Proposal chosenProposal() const;
    std::vector<std::vector<std::string>> typedRows() const;

    const Division& division_;
    std::vector<ChangeColumn> columns_;
    QTableWidget* tblNewStudents = nullptr;
    QCheckBox* chkAllowSwap = nullptr;
    QListWidget* lstArrivalChoices = nullptr; // per late student his best classes; choosing one places him there
    std::vector<std::size_t> chosen_; // per late student the choice taken, 0 = the proposal's
    QLabel* lblAddProblem = nullptr;
    ChangeMetaFields* meta_ = nullptr;
    std::unique_ptr<ChangeStudy> study_;
    std::optional<ArrivalPlan> plan_;
    std::vector<std::vector<std::string>> weighedRows_;
    bool weighedSwap_ = false;
    std::optional<ChangeEntry> entry_;
};

// 学生转出… ("dlgRemoveStudent"): the student (found by name; several of one
// name listed with their rows), the date, 转学/退学/其他 and the reason; when
// two classes then differ by two or more, the move that evens them is offered.
class RemoveStudentDialog final : public QDialog {
    Q_OBJECT

public:
    RemoveStudentDialog(QWidget* parent, const Division& division, int record = -1);
    ~RemoveStudentDialog() override;
    const ChangeEntry& entry() const { return *entry_; }
    void accept() override;

private:
    void find();
    void weigh();

    const Division& division_;
    QLineEdit* edtLeaverName = nullptr;
    QListWidget* lstLeaverMatches = nullptr;
    QComboBox* cmbLeaveKind = nullptr;
    QCheckBox* chkEvenSizes = nullptr;
    QLabel* lblEvenSizes = nullptr;
    QLabel* lblRemoveProblem = nullptr;
    ChangeMetaFields* meta_ = nullptr;
    std::unique_ptr<ChangeStudy> study_;
    std::vector<Proposal> even_;
    std::optional<ChangeEntry> entry_;
};

// 调班申请… ("dlgRequestMove"): the student, the class asked for, who asked and
// why; the partners who would move back (at most five, with their figures)
// or the move alone when sizes stay within one, or why none is possible.
class RequestMoveDialog final : public QDialog {
    Q_OBJECT

public:
    RequestMoveDialog(QWidget* parent, const Division& division, int record = -1);
    ~RequestMoveDialog() override;
    const ChangeEntry& entry() const { return *entry_; }
    void accept() override;

private:
    void find();
    void weigh();

    const Division& division_;
    QLineEdit* edtMoveName = nullptr;
    QListWidget* lstMoveMatches = nullptr;
    QSpinBox* speRequestTarget = nullptr;
    QListWidget* lstMovePartners = nullptr;
    QLabel* lblMoveProblem = nullptr;
    ChangeMetaFields* meta_ = nullptr;
    std::unique_ptr<ChangeStudy> study_;
    std::optional<MovePlan> plan_;
    std::optional<ChangeEntry> entry_;
};

} // namespace fenban
