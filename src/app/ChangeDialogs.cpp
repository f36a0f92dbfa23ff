#include "app/ChangeDialogs.h"

#include "engine/ClassSetup.h"
#include "engine/Division.h"
#include "roster/Gb18030.h"
#include "rules/RuleBuilder.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace fenban {

namespace {

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// OK and 取消 with Chinese captions; OK named `okName`.
QDialogButtonBox* Buttons(QDialog& dialog, const char* okName)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("确定"));
    ok->setObjectName(QLatin1String(okName));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    return buttons;
}

QLabel* ProblemLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: #b00020"));
    return label;
}

// The proposal's lines as the lists show them.
QString ProposalText(const ChangeStudy& study, const Proposal& proposal)
{
    QString text = Text(study.movesText(proposal));
    if (!proposal.shares.empty())
        text += QLatin1Char('\n') + Text(study.sharesText(proposal));
    return text + QLatin1Char('\n') + Text(study.figuresText(proposal));
}

// The students of a name, listed with their rows; the one at `record` chosen.
void ListMatches(QListWidget& list, const Division& division, const std::vector<int>& found, int record = -1)
{
    list.clear();
    for (const int r : found) {
        auto* item = new QListWidgetItem(Text(StudentText(division, r)), &list);
        item->setData(Qt::UserRole, r);
        if (r == record || found.size() == 1)
            list.setCurrentItem(item);
    }
}

int ChosenRecord(const QListWidget& list)
{
    const QListWidgetItem* item = list.currentItem();
    return item == nullptr ? -1 : item->data(Qt::UserRole).toInt();
}

} // namespace

// The date, who asked and why.
class ChangeMetaFields final : public QWidget {
public:
    explicit ChangeMetaFields(QWidget* parent, bool withKind = false)
        : QWidget(parent)
    {
        dteChange = new QDateEdit(QDate::currentDate(), this);
        dteChange->setObjectName(QStringLiteral("dteChange"));
        dteChange->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        dteChange->setCalendarPopup(true);
        edtChangeBy = new QLineEdit(this);
        edtChangeBy->setObjectName(QStringLiteral("edtChangeBy"));
        edtChangeBy->setPlaceholderText(QStringLiteral("家长、班主任、教务处…"));
        edtChangeReason = new QLineEdit(this);
        edtChangeReason->setObjectName(QStringLiteral("edtChangeReason"));
        auto* form = new QFormLayout(this);
        form->setContentsMargins(0, 0, 0, 0);
        form->addRow(QStringLiteral("日期："), dteChange);
        if (withKind) {
            cmbKind = new QComboBox(this);
            cmbKind->setObjectName(QStringLiteral("cmbLeaveKind"));
            cmbKind->addItems({QStringLiteral("转学"), QStringLiteral("退学"), QStringLiteral("其他")});
            form->addRow(QStringLiteral("类别："), cmbKind);
        }
        form->addRow(QStringLiteral("申请人："), edtChangeBy);
        form->addRow(QStringLiteral("原因："), edtChangeReason);
    }

    ChangeMeta meta() const
    {
        ChangeMeta meta {dteChange->date().toString(QStringLiteral("yyyy-MM-dd")).toStdString(),
            edtChangeBy->text().trimmed().toStdString(), edtChangeReason->text().trimmed().toStdString(), {}};
        if (cmbKind != nullptr)
            meta.leaveKind = cmbKind->currentText().toStdString();
        return meta;
    }
    QComboBox* kind() const { return cmbKind; }

private:
    QDateEdit* dteChange = nullptr;
    QLineEdit* edtChangeBy = nullptr;
    QLineEdit* edtChangeReason = nullptr;
    QComboBox* cmbKind = nullptr;
};

AddStudentsDialog::AddStudentsDialog(QWidget* parent, const Division& division)
    : QDialog(parent)
    , division_(division)
    , columns_(ArrivalColumns(division))
{
    setObjectName(QStringLiteral("dlgAddStudents"));
    setWindowTitle(QStringLiteral("新增学生"));
    tblNewStudents = new QTableWidget(3, static_cast<int>(columns_.size()), this);
    tblNewStudents->setObjectName(QStringLiteral("tblNewStudents"));
    QStringList headers;
    for (const ChangeColumn& column : columns_)
        headers << Text(column.header).trimmed();
    tblNewStudents->setHorizontalHeaderLabels(headers);
    auto* pasteKey = new QShortcut(QKeySequence::Paste, tblNewStudents);
    connect(pasteKey, &QShortcut::activated, this, &AddStudentsDialog::paste);
    auto* addRow = new QPushButton(QStringLiteral("添加一行"), this);
    addRow->setObjectName(QStringLiteral("btnAddStudentRow"));
    connect(addRow, &QPushButton::clicked, this, [this] { tblNewStudents->insertRow(tblNewStudents->rowCount()); });
    auto* fromFile = new QPushButton(QStringLiteral("从文件读入…"), this);
    fromFile->setObjectName(QStringLiteral("btnAddStudentsFile"));
    connect(fromFile, &QPushButton::clicked, this, &AddStudentsDialog::fileWanted);
    auto* weighButton = new QPushButton(QStringLiteral("提出建议"), this);
    weighButton->setObjectName(QStringLiteral("btnProposeArrivals"));
    connect(weighButton, &QPushButton::clicked, this, &AddStudentsDialog::weigh);
    chkAllowSwap = new QCheckBox(QStringLiteral("允许一次交换（另两个班之间换一对同性别、同分数段的学生）"), this);
    chkAllowSwap->setObjectName(QStringLiteral("chkAllowSwap"));
    lstArrivalChoices = new QListWidget(this);
    lstArrivalChoices->setObjectName(QStringLiteral("lstArrivalChoices"));
    lstArrivalChoices->setWordWrap(true);
    connect(lstArrivalChoices, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const QVariantList at = item->data(Qt::UserRole).toList();
        if (at.size() == 2)
            chosen_[at[0].toULongLong()] = at[1].toULongLong();
        showChoices();
    });
    lblAddProblem = ProblemLabel(this, "lblAddProblem");
    meta_ = new ChangeMetaFields(this);

    auto* rowButtons = new QHBoxLayout;
    rowButtons->addWidget(addRow);
    rowButtons->addWidget(fromFile);
    rowButtons->addStretch();
    rowButtons->addWidget(chkAllowSwap);
    rowButtons->addWidget(weighButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("新学生（可从表格复制后按 Ctrl+V 粘贴）："), this));
    layout->addWidget(tblNewStudents, 2);
    layout->addLayout(rowButtons);
    layout->addWidget(new QLabel(QStringLiteral("建议（每人最好的三个班，点选可改）："), this));
    layout->addWidget(lstArrivalChoices, 3);
    layout->addWidget(meta_);
    layout->addWidget(lblAddProblem);
    layout->addWidget(Buttons(*this, "btnAddStudentsOk"));
    resize(900, 620);
}

AddStudentsDialog::~AddStudentsDialog() = default;

std::vector<std::vector<std::string>> AddStudentsDialog::typedRows() const
{
    std::vector<std::vector<std::string>> rows;
    for (int r = 0; r < tblNewStudents->rowCount(); ++r) {
        std::vector<std::string>& row = rows.emplace_back();
        for (int c = 0; c < tblNewStudents->columnCount(); ++c) {
            const QTableWidgetItem* item = tblNewStudents->item(r, c);
            row.push_back(item == nullptr ? std::string() : item->text().toStdString());
        }
    }
    return rows;
}

void AddStudentsDialog::setRows(const std::vector<std::vector<std::string>>& rows)
{
    tblNewStudents->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size() && c < columns_.size(); ++c)
            tblNewStudents->setItem(static_cast<int>(r), static_cast<int>(c), new QTableWidgetItem(Text(rows[r][c])));
}

void AddStudentsDialog::paste()
{
    const QString text = QApplication::clipboard()->text();
    if (text.isEmpty())
        return;
    const int top = std::max(0, tblNewStudents->currentRow());
    const int left = std::max(0, tblNewStudents->currentColumn());
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")), Qt::SkipEmptyParts);
    if (top + lines.size() > tblNewStudents->rowCount())
        tblNewStudents->setRowCount(top + static_cast<int>(lines.size()));
    for (int r = 0; r < lines.size(); ++r) {
        const QStringList fields = lines[r].split(QLatin1Char('\t'));
        for (int c = 0; c < fields.size() && left + c < tblNewStudents->columnCount(); ++c)
            tblNewStudents->setItem(top + r, left + c, new QTableWidgetItem(fields[c].trimmed()));
    }
}

std::vector<std::string> AddStudentsDialog::sameNames() const
{
    std::vector<std::string> names;
    for (const std::vector<std::string>& row : weighedRows_)
        if (!row.empty() && !StudentsNamed(division_, row.front()).empty())
            names.push_back(row.front());
    return names;
}

void AddStudentsDialog::weigh()
{
    lblAddProblem->clear();
    lstArrivalChoices->clear();
    plan_.reset();
    study_.reset();
    try {
        const ArrivalRows rows = ReadArrivalRows(division_, typedRows());
        study_ = ChangeStudy::ofArrivals(division_, rows);
        plan_ = study_->weigher().placeArrivals(chkAllowSwap->isChecked());
        weighedRows_ = rows.rows;
        weighedSwap_ = chkAllowSwap->isChecked();
    } catch (const Failure& problem) {
        lblAddProblem->setText(Text(problem.what()));
        study_.reset();
        return;
    }
    chosen_.assign(plan_->choices.size(), 0);
    showChoices();
}

void AddStudentsDialog::showChoices()
{
    lstArrivalChoices->clear();
    if (!plan_)
        return;
    for (std::size_t i = 0; i < plan_->choices.size(); ++i) {
        auto* heading = new QListWidgetItem(
            QStringLiteral("%1：").arg(Text(study_->nameOf(study_->newcomers()[i]))), lstArrivalChoices);
        heading->setFlags(Qt::ItemIsEnabled);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
        for (std::size_t k = 0; k < plan_->choices[i].size(); ++k) {
            const Proposal& choice = plan_->choices[i][k];
            const ClassShare& share = choice.shares[i];
            auto* item
                = new QListWidgetItem(QStringLiteral("%1 %2　%3\n%4")
                                          .arg(chosen_[i] == k ? QStringLiteral("●") : QStringLiteral("○"),
                                              Text(study_->classText(share.classNo)),
                                              Text(study_->sharesText({choice.moves, {share}, {}, {}, true, -1, -1})),
                                              Text(study_->figuresText(choice))),
                    lstArrivalChoices);
            item->setData(Qt::UserRole, QVariantList {QVariant::fromValue(i), QVariant::fromValue(k)});
        }
    }
    if (plan_->best.exchangeFirst >= 0) {
        auto* exchange = new QListWidgetItem(
            QStringLiteral("允许一次交换：%1").arg(Text(study_->movesText(plan_->best))), lstArrivalChoices);
        exchange->setFlags(Qt::ItemIsEnabled);
    }
}

Proposal AddStudentsDialog::chosenProposal() const
{
    if (std::all_of(chosen_.begin(), chosen_.end(), [](std::size_t k) { return k == 0; }))
        return plan_->best;
    Proposal proposal;
    proposal.before = plan_->best.before;
    for (std::size_t i = 0; i < plan_->choices.size(); ++i)
        proposal.moves.push_back(plan_->choices[i][chosen_[i]].moves[i]);
    proposal.after = study_->weigher().figuresAfter(proposal.moves);
    return proposal;
}

void AddStudentsDialog::accept()
{
    bool stale = !plan_ || chkAllowSwap->isChecked() != weighedSwap_;
    if (!stale) {
        try {
            stale = ReadArrivalRows(division_, typedRows()).rows != weighedRows_; // edited since weighed
        } catch (const Failure&) {
            stale = true;
        }
    }
    if (stale)
        weigh();
    if (!plan_)
        return; // the problem is shown
    const Proposal proposal = chosenProposal();
    entry_ = study_->entry(&proposal, meta_->meta());
    QDialog::accept();
}

RemoveStudentDialog::RemoveStudentDialog(QWidget* parent, const Division& division, int record)
    : QDialog(parent)
    , division_(division)
{
    setObjectName(QStringLiteral("dlgRemoveStudent"));
    setWindowTitle(QStringLiteral("学生转出"));
    edtLeaverName = new QLineEdit(this);
    edtLeaverName->setObjectName(QStringLiteral("edtLeaverName"));
    lstLeaverMatches = new QListWidget(this);
    lstLeaverMatches->setObjectName(QStringLiteral("lstLeaverMatches"));
    connect(edtLeaverName, &QLineEdit::textChanged, this, &RemoveStudentDialog::find);
    connect(lstLeaverMatches, &QListWidget::currentRowChanged, this, &RemoveStudentDialog::weigh);
    meta_ = new ChangeMetaFields(this, true);
    chkEvenSizes = new QCheckBox(QStringLiteral("同时调整班级人数"), this);
    chkEvenSizes->setObjectName(QStringLiteral("chkEvenSizes"));
    chkEvenSizes->setChecked(true);
    chkEvenSizes->setVisible(false);
    lblEvenSizes = new QLabel(this);
    lblEvenSizes->setObjectName(QStringLiteral("lblEvenSizes"));
    lblEvenSizes->setWordWrap(true);
    lblRemoveProblem = ProblemLabel(this, "lblRemoveProblem");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("姓名："), edtLeaverName);
    layout->addLayout(form);
    layout->addWidget(lstLeaverMatches, 1);
    layout->addWidget(meta_);
    layout->addWidget(new QLabel(QStringLiteral("转出的学生留在名册中（标为已转出），不再计入各班人数和统计。"), this));
    layout->addWidget(chkEvenSizes);
    layout->addWidget(lblEvenSizes);
    layout->addWidget(lblRemoveProblem);
    layout->addWidget(Buttons(*this, "btnRemoveStudentOk"));
    if (record >= 0) {
        edtLeaverName->setText(
            QString::fromStdString(Gb18030ToUtf8(division.state().Records[static_cast<std::size_t>(record)]->Name)));
        ListMatches(
            *lstLeaverMatches, division_, StudentsNamed(division_, edtLeaverName->text().toStdString()), record);
    }
    resize(640, 480);
}

RemoveStudentDialog::~RemoveStudentDialog() = default;

void RemoveStudentDialog::find()
{
    ListMatches(*lstLeaverMatches, division_, StudentsNamed(division_, edtLeaverName->text().toStdString()));
    weigh();
}

void RemoveStudentDialog::weigh()
{
    lblRemoveProblem->clear();
    lblEvenSizes->clear();
    chkEvenSizes->setVisible(false);
    even_.clear();
    study_.reset();
    const int record = ChosenRecord(*lstLeaverMatches);
    if (record < 0)
        return;
    try {
        study_ = ChangeStudy::ofLeaver(division_, record);
        even_ = study_->weigher().evenSizes();
    } catch (const Failure& problem) {
        lblRemoveProblem->setText(Text(problem.what()));
        study_.reset();
        return;
    }
    if (!even_.empty()) {
        chkEvenSizes->setVisible(true);
        lblEvenSizes->setText(
            (study_->groups().empty() ? QStringLiteral("转出后有两个班人数相差 2 人以上。建议：%1")
                                      : QStringLiteral("转出后有两个同类班级与设定人数的差相差 2 人以上。建议：%1"))
                .arg(ProposalText(*study_, even_.front())));
    }
}

void RemoveStudentDialog::accept()
{
    if (!study_) {
        lblRemoveProblem->setText(
            lblRemoveProblem->text().isEmpty() ? QStringLiteral("请先选定转出的学生。") : lblRemoveProblem->text());
        return;
    }
    const bool evened = !even_.empty() && chkEvenSizes->isChecked();
    entry_ = study_->entry(evened ? &even_.front() : nullptr, meta_->meta());
    QDialog::accept();
}

RequestMoveDialog::RequestMoveDialog(QWidget* parent, const Division& division, int record)
    : QDialog(parent)
    , division_(division)
{
    setObjectName(QStringLiteral("dlgRequestMove"));
    setWindowTitle(QStringLiteral("调班申请"));
    edtMoveName = new QLineEdit(this);
    edtMoveName->setObjectName(QStringLiteral("edtMoveName"));
    lstMoveMatches = new QListWidget(this);
    lstMoveMatches->setObjectName(QStringLiteral("lstMoveMatches"));
    speRequestTarget = new QSpinBox(this);
    speRequestTarget->setObjectName(QStringLiteral("speRequestTarget"));
    speRequestTarget->setRange(1, std::max(1, division.classCount()));
    speRequestTarget->setSuffix(QStringLiteral(" 班"));
    lstMovePartners = new QListWidget(this);
    lstMovePartners->setObjectName(QStringLiteral("lstMovePartners"));
    lstMovePartners->setWordWrap(true);
    lblMoveProblem = ProblemLabel(this, "lblMoveProblem");
    meta_ = new ChangeMetaFields(this);
    connect(edtMoveName, &QLineEdit::textChanged, this, &RequestMoveDialog::find);
    connect(lstMoveMatches, &QListWidget::currentRowChanged, this, &RequestMoveDialog::weigh);
    connect(speRequestTarget, &QSpinBox::valueChanged, this, &RequestMoveDialog::weigh);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("姓名："), edtMoveName);
    form->addRow(QString(), lstMoveMatches);
    // The class's name beside its number where a class set-up names it.
    auto* targetName = new QLabel(this);
    targetName->setObjectName(QStringLiteral("lblRequestTargetName"));
    const auto showName = [this, targetName] {
        targetName->setText(Text(ClassNameOr(division_.names(), speRequestTarget->value(), {})));
    };
    showName();
    connect(speRequestTarget, &QSpinBox::valueChanged, targetName, showName);
    auto* target = new QHBoxLayout;
    target->addWidget(speRequestTarget);
    target->addWidget(targetName, 1);
    form->addRow(QStringLiteral("调入："), target);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("换回的学生（同性别、分数段最近、规则允许，按总偏差排列）："), this));
    layout->addWidget(lstMovePartners, 1);
    layout->addWidget(meta_);
    layout->addWidget(lblMoveProblem);
    layout->addWidget(Buttons(*this, "btnRequestMoveOk"));
    if (record >= 0) {
        edtMoveName->setText(
            QString::fromStdString(Gb18030ToUtf8(division.state().Records[static_cast<std::size_t>(record)]->Name)));
        ListMatches(*lstMoveMatches, division_, StudentsNamed(division_, edtMoveName->text().toStdString()), record);
    }
    resize(700, 560);
}

RequestMoveDialog::~RequestMoveDialog() = default;

void RequestMoveDialog::find()
{
    ListMatches(*lstMoveMatches, division_, StudentsNamed(division_, edtMoveName->text().toStdString()));
    weigh();
}

void RequestMoveDialog::weigh()
{
    lblMoveProblem->clear();
    lstMovePartners->clear();
    plan_.reset();
    const int record = ChosenRecord(*lstMoveMatches);
    if (record < 0)
        return;
    try {
        if (!study_)
            study_ = ChangeStudy::ofRequest(division_);
        plan_ = study_->weigher().requestMove(record, speRequestTarget->value());
    } catch (const Failure& problem) {
        lblMoveProblem->setText(Text(problem.what()));
        return;
    }
    if (!plan_->refusal.empty()) {
        lblMoveProblem->setText(Text(plan_->refusal));
        return;
    }
    for (std::size_t k = 0; k < plan_->partners.size(); ++k) {
        auto* item = new QListWidgetItem(ProposalText(*study_, plan_->partners[k]), lstMovePartners);
        item->setData(Qt::UserRole, static_cast<int>(k));
    }
    if (plan_->aloneAllowed) {
        auto* item = new QListWidgetItem(
            QStringLiteral("单独调入，不换回：%1").arg(ProposalText(*study_, plan_->alone)), lstMovePartners);
        item->setData(Qt::UserRole, -1);
    }
    lstMovePartners->setCurrentRow(0);
}

void RequestMoveDialog::accept()
{
    if (!plan_ || !plan_->refusal.empty() || lstMovePartners->currentItem() == nullptr) {
        if (lblMoveProblem->text().isEmpty())
            lblMoveProblem->setText(QStringLiteral("请先选定学生和要调入的班。"));
        return;
    }
    const int k = lstMovePartners->currentItem()->data(Qt::UserRole).toInt();
    const Proposal& chosen = k < 0 ? plan_->alone : plan_->partners[static_cast<std::size_t>(k)];
    entry_ = study_->entry(&chosen, meta_->meta());
    QDialog::accept();
}

} // namespace fenban
