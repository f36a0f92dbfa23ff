#pragma once

#include "choice/ChoicePlan.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace fenban {

// 选科分班… (dlgChoicePlan): the class size limit, the rooms and the model;
// 排方案 proposes the plan (MakeChoicePlan); the table shows its groups with
// their figures, and the office edits it — a group's class count, some of a
// combination's students moved to other classes — seeing the figures follow.
// OK takes the plan as it stands, when it holds.
class ChoicePlanDialog final : public QDialog {
public:
    // `readChoices` reads the roster's choices under a model (none: found from them).
    ChoicePlanDialog(QWidget* parent, std::function<StudentChoices(std::optional<ChoiceModel>)> readChoices);

    const StudentChoices& choices() const { return choices_; }
    const ChoicePlan& plan() const { return plan_; }
    bool hasPlan() const { return !plan_.groups.empty(); }
    // The edits made to the proposal, in words for the record.
    const std::vector<std::string>& edits() const { return edits_; }

    // The dialog's actions, as its buttons run them (false and a message shown when refused).
    bool makePlan();
    bool setClasses(int group, int classes);
    bool moveStudents(int group, SubjectSet combination, SubjectSet toFixed, int count);

private:
    void showPlan();
    void showMoveChoices();
    void showTargets();
    void tell(const QString& text);

    std::function<StudentChoices(std::optional<ChoiceModel>)> readChoices_;
    StudentChoices choices_;
    ChoicePlan plan_;
    std::vector<std::string> edits_;
    QSpinBox* speChoiceLimit = nullptr;
    QSpinBox* speChoiceRooms = nullptr;
    QComboBox* cmbChoiceModel = nullptr;
    QTableWidget* tblChoicePlan = nullptr;
    QLabel* lblChoiceFigures = nullptr;
    QLabel* lblChoiceInvalid = nullptr;
    QSpinBox* speGroupClasses = nullptr;
    QComboBox* cmbMoveCombination = nullptr;
    QComboBox* cmbMoveTarget = nullptr;
    QSpinBox* speMoveCount = nullptr;
    QPushButton* okButton_ = nullptr;
};

} // namespace fenban
