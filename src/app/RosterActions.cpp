// A school's own table opened through 导入设置, 查找 over the listing, and
// the keys of 编班 and 一键均衡.
#include "app/BusyCursor.h"
#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "app/Unit1.h"
#include "io/TableLayout.h"
#include "roster/RosterSummary.h"
#include "ui_Unit1.h"
#include "views/FindBar.h"
#include "views/ImportDialog.h"
#include "views/StringGridModel.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

using namespace fenban;

bool TForm1::ImportSheets(const std::vector<TableSheet>& sheets, ImportedTable& imported, std::string& note)
{
    const std::string separator = DecimalSeparator();
    std::optional<QString> problem;
    ImportChoice choice;
    try {
        const ImportProposal proposal = ProposeImport(sheets, separator);
        choice = proposal.choice;
        if (proposal.askUser) {
            ImportDialog dialog(sheets, proposal, separator, this);
            if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
                return false;
            choice = dialog.choice();
        }
        const BusyCursor busy;
        imported = ImportTable(sheets, choice, separator);
        const std::string taken = ImportChoiceText(sheets, choice);
        note = taken.empty() ? std::string() : "按导入设置读入：" + taken;
    } catch (const ImportError& error) {
        problem = QString::fromUtf8(error.what());
    }
    // A cell that is no score names its place; the window stays as it was.
    if (problem)
        CurrentDialogs().showMessage(this, QMessageBox::Warning, ProductName(), ShortenedForBox(*problem));
    return !problem;
}

void TForm1::CreateClerkActions()
{
    // 编班 and 一键均衡 on keys, from every tab.
    const auto key = [this](const char* name, QPushButton* button, const QKeySequence& keys, const QString& tip) {
        auto* action = new QAction(button->text(), this);
        action->setObjectName(QLatin1String(name));
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, button, &QPushButton::click);
        addAction(action);
        button->setToolTip(tip.arg(keys.toString(QKeySequence::NativeText)));
    };
    key("actAssign", ui->BitBtn2, QKeySequence(Qt::Key_F5), QStringLiteral("编班 (%1)"));
    key("actBalanceAll", ui->btnBalanceAll, QKeySequence(Qt::Key_F6),
        QStringLiteral("一键均衡 (%1)：") + ui->btnBalanceAll->toolTip());

    // The find bar has its own place below the roster grid, hidden until Ctrl+F: no row lies under it.
    findBar_ = new FindBar(ui->TabSheet1);
    findBar_->hide();
    findBar_->setState(&division_.state());
    findBar_->setClassNames([this](int classNo) { return division_.className(classNo, {}); });
    auto* gridColumn = new QVBoxLayout;
    gridColumn->setContentsMargins(0, 0, 0, 0);
    gridColumn->setSpacing(0);
    QBoxLayout* holder = ui->rosterLayout; // or the row a bar above the page moved the grid into
    for (QBoxLayout* box : ui->TabSheet1->findChildren<QBoxLayout*>())
        if (box->indexOf(ui->StrGrid) >= 0)
            holder = box;
    const int at = holder->indexOf(ui->StrGrid);
    const int stretch = holder->stretch(at);
    holder->removeWidget(ui->StrGrid);
    gridColumn->addWidget(ui->StrGrid, 1);
    gridColumn->addWidget(findBar_);
    holder->insertLayout(at, gridColumn, stretch);
    addAction(findBar_->findNextAction());
    connect(findBar_, &FindBar::studentFound, this, [this](const TStudent* student, int classNo) {
        RunGuarded(this, [&] { ShowFoundStudent(student, classNo); });
    });

    auto* find = new QAction(QStringLiteral("查找…"), this);
    find->setObjectName(QStringLiteral("actFind"));
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    connect(find, &QAction::triggered, this, Guarded(this, &TForm1::actFindExecute));
    addAction(find);
    if (auto* edit = menuBar()->findChild<QMenu*>(QStringLiteral("menuEdit"), Qt::FindDirectChildrenOnly)) {
        edit->addSeparator();
        edit->addAction(find);
    }
}

void TForm1::actFindExecute()
{
    ui->PageControl1->setCurrentWidget(ui->TabSheet1);
    findBar_->open();
}

// Lists the student found, in the listing shown when it holds the student,
// else in its class (or the whole grade when it is in none), and chooses its row.
void TForm1::ShowFoundStudent(const TStudent* student, int classNo)
{
    const DivisionState& s = division_.state();
    int listing = division_.view().FShownClass;
    const auto holds = [&s, student](int shown) {
        const TStudentList& list = shown == -1 ? s.FStudents : s.FClasses[static_cast<std::size_t>(shown)];
        return std::find(list.begin(), list.end(), student) != list.end();
    };
    if (division_.view().tableShown || listing >= static_cast<int>(s.FClasses.size()) || !holds(listing)) {
        listing = classNo > 0 && classNo <= static_cast<int>(s.FClasses.size()) ? classNo - 1 : -1;
        QTreeWidgetItem* root = ui->trvClassList->topLevelItem(0);
        {
            const QSignalBlocker blocker(ui->trvClassList);
            if (root != nullptr)
                ui->trvClassList->setCurrentItem(
                    listing == -1 || listing >= root->childCount() ? root : root->child(listing));
        }
        work_.setListing(listing);
        ShowStudents(listing == -1 ? s.FStudents : s.FClasses[static_cast<std::size_t>(listing)]);
    }
    const TStudentList& list = listing == -1 ? s.FStudents : s.FClasses[static_cast<std::size_t>(listing)];
    const auto at = std::find(list.begin(), list.end(), student);
    if (at == list.end())
        return;
    const int row = static_cast<int>(at - list.begin()) + 1;
    // The name cell becomes current, so the grid menu's hand move takes this student.
    const QModelIndex cell = FStrGridModel->index(row - 1, 0);
    ui->StrGrid->selectionModel()->setCurrentIndex(
        cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ui->StrGrid->scrollTo(cell, QAbstractItemView::PositionAtCenter);
    findBar_->edit()->setFocus();
}

namespace {

// What opening the table said, for the status bar: "2 个成绩不是分数，记作空分；没有总分列，总分是各科之和".
QString ImportWarningLine(const std::vector<std::string>& warnings)
{
    const auto summed = std::count_if(
        warnings.begin(), warnings.end(), [](const std::string& w) { return w.starts_with("没有总分列"); });
    const auto absent = static_cast<qsizetype>(warnings.size()) - summed;
    QStringList parts;
    if (absent > 0)
        parts << QStringLiteral("%1 个成绩不是分数，记作空分").arg(absent);
    if (summed > 0)
        parts << QStringLiteral("没有总分列，总分是各科之和");
    return parts.join(QStringLiteral("；"));
}

} // namespace

QString TForm1::ReadWarningText() const
{
    QString text = QString::fromStdString(SummaryWarningText(*FSummary));
    if (importTable_ != division_.source().table || importWarnings_.empty())
        return text;
    const QString opened = ImportWarningLine(importWarnings_);
    if (text.isEmpty())
        return QStringLiteral("请注意：") + opened + QStringLiteral("。");
    text.chop(1); // its full stop
    return text + QStringLiteral("；") + opened + QStringLiteral("。");
}

QString TForm1::ReadWarningDetails() const
{
    QStringList lines;
    RosterSummary summary = *FSummary;
    if (importTable_ == division_.source().table) {
        for (const std::string& warning : importWarnings_)
            lines << QString::fromStdString(warning);
        // Rows as the opened sheet numbers them (the summary counts the header as row 1).
        for (ReadWarning& warning : summary.warnings)
            for (int& row : warning.rows)
                if (row >= 2 && static_cast<std::size_t>(row - 2) < importRows_.size())
                    row = importRows_[static_cast<std::size_t>(row - 2)];
    }
    if (const std::string details = SummaryWarningDetails(summary); !details.empty())
        lines << QString::fromStdString(details);
    return ReadWarningText() + QStringLiteral("\n\n") + lines.join(u'\n');
}
