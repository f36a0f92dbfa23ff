#include "app/ChoicePlanDialog.h"

#include "app/BusyCursor.h"
#include "app/Dialogs.h"
#include "app/Product.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace fenban {

namespace {

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// The classes a combination's students may go to: its own, its first choice
// with one more, its first choice alone (3+3: any two, any one).
std::vector<SubjectSet> TargetsOf(SubjectSet combination, ChoiceModel model)
{
    std::vector<SubjectSet> targets {combination};
    const std::vector<Elective> subjects = SubjectsOf(combination);
    for (std::size_t a = 0; a < subjects.size(); ++a)
        for (std::size_t b = a + 1; b < subjects.size(); ++b) {
            const SubjectSet pair = static_cast<SubjectSet>(Bit(subjects[a]) | Bit(subjects[b]));
            if (model == ChoiceModel::AnyThree || SubjectCountOf(pair & FirstChoiceSubjects) == 1)
                targets.push_back(pair);
        }
    for (const Elective subject : subjects)
        if (model == ChoiceModel::AnyThree || (Bit(subject) & FirstChoiceSubjects) != 0)
            targets.push_back(Bit(subject));
    return targets;
}

} // namespace

ChoicePlanDialog::ChoicePlanDialog(
    QWidget* parent, std::function<StudentChoices(std::optional<ChoiceModel>)> readChoices)
    : QDialog(parent)
    , readChoices_(std::move(readChoices))
{
    setObjectName(QStringLiteral("dlgChoicePlan"));
    setWindowTitle(QStringLiteral("选科分班"));
    speChoiceLimit = new QSpinBox(this);
    speChoiceLimit->setObjectName(QStringLiteral("speChoiceLimit"));
    speChoiceLimit->setRange(1, 1000);
    speChoiceLimit->setValue(50);
    speChoiceRooms = new QSpinBox(this);
    speChoiceRooms->setObjectName(QStringLiteral("speChoiceRooms"));
    speChoiceRooms->setRange(0, 100);
    speChoiceRooms->setSpecialValueText(QStringLiteral("最少"));
    cmbChoiceModel = new QComboBox(this);
    cmbChoiceModel->setObjectName(QStringLiteral("cmbChoiceModel"));
    cmbChoiceModel->addItems({QStringLiteral("按选科判断"), QStringLiteral("3+1+2"), QStringLiteral("3+3")});
    auto* make = Button(this, "btnMakePlan", QStringLiteral("排方案"));
    auto* inputs = new QFormLayout;
    inputs->addRow(QStringLiteral("每班最多人数："), speChoiceLimit);
    inputs->addRow(QStringLiteral("教室（班）数："), speChoiceRooms);
    inputs->addRow(QStringLiteral("选科模式："), cmbChoiceModel);
    inputs->addRow(make);

    tblChoicePlan = new QTableWidget(0, 7, this);
    tblChoicePlan->setObjectName(QStringLiteral("tblChoicePlan"));
    tblChoicePlan->setHorizontalHeaderLabels({QStringLiteral("组合"), QStringLiteral("类型"), QStringLiteral("人数"),
        QStringLiteral("班数"), QStringLiteral("每班人数"), QStringLiteral("走班学科"), QStringLiteral("走班人次")});
    tblChoicePlan->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblChoicePlan->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblChoicePlan->setSelectionMode(QAbstractItemView::SingleSelection);
    tblChoicePlan->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    lblChoiceFigures = new QLabel(this);
    lblChoiceFigures->setObjectName(QStringLiteral("lblChoiceFigures"));
    lblChoiceFigures->setWordWrap(true);
    lblChoiceInvalid = new QLabel(this);
    lblChoiceInvalid->setObjectName(QStringLiteral("lblChoiceInvalid"));
    lblChoiceInvalid->setWordWrap(true);
    lblChoiceInvalid->setTextInteractionFlags(Qt::TextSelectableByMouse);

    speGroupClasses = new QSpinBox(this);
    speGroupClasses->setObjectName(QStringLiteral("speGroupClasses"));
    speGroupClasses->setRange(1, 100);
    auto* setClassesButton = Button(this, "btnSetClasses", QStringLiteral("改班数"));
    cmbMoveCombination = new QComboBox(this);
    cmbMoveCombination->setObjectName(QStringLiteral("cmbMoveCombination"));
    speMoveCount = new QSpinBox(this);
    speMoveCount->setObjectName(QStringLiteral("speMoveCount"));
    speMoveCount->setRange(1, 10000);
    cmbMoveTarget = new QComboBox(this);
    cmbMoveTarget->setObjectName(QStringLiteral("cmbMoveTarget"));
    auto* moveButton = Button(this, "btnMoveStudents", QStringLiteral("移过去"));
    auto* edit = new QHBoxLayout;
    edit->addWidget(new QLabel(QStringLiteral("选中一行："), this));
    edit->addWidget(speGroupClasses);
    edit->addWidget(setClassesButton);
    edit->addSpacing(16);
    edit->addWidget(cmbMoveCombination);
    edit->addWidget(speMoveCount);
    edit->addWidget(new QLabel(QStringLiteral("人到"), this));
    edit->addWidget(cmbMoveTarget);
    edit->addWidget(moveButton);
    edit->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    okButton_ = buttons->button(QDialogButtonBox::Ok);
    okButton_->setText(QStringLiteral("确定"));
    okButton_->setEnabled(false);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(make, &QPushButton::clicked, this, [this] { makePlan(); });
    connect(tblChoicePlan, &QTableWidget::itemSelectionChanged, this, [this] { showMoveChoices(); });
    connect(cmbMoveCombination, &QComboBox::currentIndexChanged, this, [this] { showTargets(); });
    connect(setClassesButton, &QPushButton::clicked, this,
        [this] { setClasses(tblChoicePlan->currentRow(), speGroupClasses->value()); });
    connect(moveButton, &QPushButton::clicked, this, [this] {
        moveStudents(tblChoicePlan->currentRow(), static_cast<SubjectSet>(cmbMoveCombination->currentData().toInt()),
            static_cast<SubjectSet>(cmbMoveTarget->currentData().toInt()), speMoveCount->value());
    });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(inputs);
    layout->addWidget(tblChoicePlan, 1);
    layout->addLayout(edit);
    layout->addWidget(lblChoiceFigures);
    layout->addWidget(lblChoiceInvalid);
    layout->addWidget(buttons);
    resize(760, 520);
}

void ChoicePlanDialog::tell(const QString& text)
{
    CurrentDialogs().showMessage(this, QMessageBox::Warning, ProductName(), text);
}

bool ChoicePlanDialog::makePlan()
{
    const int model = cmbChoiceModel->currentIndex();
    try {
        const BusyCursor busy;
        choices_ = readChoices_(
            model == 0 ? std::nullopt : std::optional(model == 1 ? ChoiceModel::FirstThenTwo : ChoiceModel::AnyThree));
        plan_ = MakeChoicePlan(PlanRequest {
            choices_.model, CountCombinations(choices_), speChoiceLimit->value(), speChoiceRooms->value()});
    } catch (const Failure& problem) {
        plan_ = {};
        showPlan();
        tell(Text(problem.what()));
        return false;
    }
    edits_.clear();
    lblChoiceInvalid->setText(Text(InvalidChoicesMessage(choices_)));
    showPlan();
    return true;
}

bool ChoicePlanDialog::setClasses(int group, int classes)
{
    if (group < 0 || static_cast<std::size_t>(group) >= plan_.groups.size())
        return false;
    try {
        const std::string name = plan_.groups[static_cast<std::size_t>(group)].name();
        SetGroupClasses(plan_, static_cast<std::size_t>(group), classes);
        edits_.push_back(name + "班改为 " + std::to_string(classes) + " 个班");
    } catch (const Failure& problem) {
        tell(Text(problem.what()));
        return false;
    }
    showPlan();
    tblChoicePlan->selectRow(group);
    return true;
}

bool ChoicePlanDialog::moveStudents(int group, SubjectSet combination, SubjectSet toFixed, int count)
{
    if (group < 0 || static_cast<std::size_t>(group) >= plan_.groups.size())
        return false;
    try {
        const std::string from = plan_.groups[static_cast<std::size_t>(group)].name();
        MoveCombination(plan_, static_cast<std::size_t>(group), toFixed, combination, count);
        edits_.push_back(from + "班的" + CombinationName(combination) + " " + std::to_string(count) + " 人移到"
            + CombinationName(toFixed) + "班");
    } catch (const Failure& problem) {
        tell(Text(problem.what()));
        return false;
    }
    showPlan();
    return true;
}

void ChoicePlanDialog::showPlan()
{
    tblChoicePlan->setRowCount(static_cast<int>(plan_.groups.size()));
    for (std::size_t g = 0; g < plan_.groups.size(); ++g) {
        const PlanGroup& group = plan_.groups[g];
        QString members;
        for (const auto& [combination, count] : group.members)
            members += (members.isEmpty() ? QString() : QStringLiteral("、")) + Text(CombinationName(combination))
                + QStringLiteral(" %1").arg(count);
        const SubjectSet walking = group.walkingSubjects();
        const QString sizes = group.largestClass() == group.smallestClass()
            ? QString::number(group.largestClass())
            : QStringLiteral("%1–%2").arg(group.smallestClass()).arg(group.largestClass());
        const QStringList cells {members, Text(group.kindName()), QString::number(group.size()),
            QString::number(group.classes), sizes, walking == 0 ? QStringLiteral("—") : Text(SubjectListText(walking)),
            QString::number(group.walkingPairs())};
        for (int c = 0; c < cells.size(); ++c)
            tblChoicePlan->setItem(static_cast<int>(g), c, new QTableWidgetItem(cells[c]));
    }
    QString figures;
    if (!plan_.groups.empty()) {
        figures = QStringLiteral("共 %1 个班（教室 %2 间，每班最多 %3 人），班级人数相差 %4，走班 %5 人次")
                      .arg(plan_.classCount())
                      .arg(plan_.request.rooms)
                      .arg(plan_.request.limit)
                      .arg(plan_.sizeSpread())
                      .arg(plan_.walkingPairs());
        for (const WalkingSubject& subject : WalkingSubjects(plan_))
            figures += QStringLiteral("；%1 %2 人 %3 个教学班")
                           .arg(Text(std::string(ElectiveName(subject.subject))))
                           .arg(subject.students)
                           .arg(subject.teachingClasses);
        figures += QStringLiteral("。");
        if (!plan_.note.empty())
            figures += Text(plan_.note);
        const std::vector<std::string> problems = PlanProblems(plan_);
        for (const std::string& problem : problems)
            figures += QStringLiteral("\n不能用：") + Text(problem) + QStringLiteral("。");
        okButton_->setEnabled(problems.empty());
    } else {
        okButton_->setEnabled(false);
    }
    lblChoiceFigures->setText(figures);
    showMoveChoices();
}

void ChoicePlanDialog::showMoveChoices()
{
    const int row = tblChoicePlan->currentRow();
    cmbMoveCombination->clear();
    cmbMoveTarget->clear();
    if (row < 0 || static_cast<std::size_t>(row) >= plan_.groups.size())
        return;
    const PlanGroup& group = plan_.groups[static_cast<std::size_t>(row)];
    speGroupClasses->setValue(group.classes);
    for (const auto& [combination, count] : group.members)
        cmbMoveCombination->addItem(
            Text(CombinationName(combination)) + QStringLiteral("（%1 人）").arg(count), combination);
    showTargets();
}

void ChoicePlanDialog::showTargets()
{
    cmbMoveTarget->clear();
    const int row = tblChoicePlan->currentRow();
    const int member = cmbMoveCombination->currentIndex();
    if (row < 0 || static_cast<std::size_t>(row) >= plan_.groups.size() || member < 0)
        return;
    const PlanGroup& group = plan_.groups[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(member) >= group.members.size())
        return;
    const auto& [combination, count] = group.members[static_cast<std::size_t>(member)];
    for (const SubjectSet target : TargetsOf(combination, plan_.request.model))
        if (target != group.fixed)
            cmbMoveTarget->addItem(Text(CombinationName(target)) + QStringLiteral("班"), target);
    speMoveCount->setValue(count);
}

} // namespace fenban
