#include "app/Unit1.h"

#include "app/AboutDialog.h"
#include "app/AsyncTask.h"
#include "app/BusyCursor.h"
#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "app/ProgressRun.h"
#include "app/Resources.h"
#include "common/Failure.h"
#include "engine/Balancing.h"
#include "engine/Division.h"
#include "engine/RuleCheck.h"
#include "engine/Statistics.h"
#include "roster/NumberText.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"
#include "roster/RosterSummary.h"
#include "rules/RuleBreaches.h"
#include "rules/RuleBuilder.h"
#include "rules/RuleMessages.h"
#include "rules/SoundAlike.h"
#include "session/RecoveryFile.h"
#include "session/Session.h"
#include "ui_Unit1.h"
#include "views/BalancePage.h"
#include "views/BalanceViews.h"
#include "views/ClassViews.h"
#include "views/StringGridModel.h"
#include "xls/GridXls.h"

#include <QAction>
#include <QClipboard>
#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>
#include <exception>
#include <optional>

using namespace fenban;

namespace {

void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    CurrentDialogs().showMessage(parent, icon, caption, text);
}

// The broken rules named in the panel's tooltip; the rest are counted.
constexpr qsizetype MostBreachesListed = 20;

// A legend label in the colour of the averages' tint.
void PaintLegend(QLabel& label, const QColor& tint)
{
    label.setStyleSheet(QStringLiteral("QLabel { background-color: rgba(%1, %2, %3, %4); padding: 1px 6px; }")
                            .arg(tint.red())
                            .arg(tint.green())
                            .arg(tint.blue())
                            .arg(tint.alpha()));
}

} // namespace

namespace fenban {

// The rules of one roster at one class count and sound-alike choice, or why
// they cannot be made (a bad 固定 value).
struct PreparedRules {
    DivisionRules rules;
    std::optional<std::string> problem;
};

} // namespace fenban

namespace {

} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::TForm1>())
{
    RegisterResources();
    ui->setupUi(this);
    ppmClass = new QMenu(this);
    ppmClass->setObjectName(QStringLiteral("ppmClass"));
    FStrGridModel = new StringGridModel(6, 5, this);
    ui->StrGrid->setGridModel(FStrGridModel);
    FAvgGridModel = new StringGridModel(5, 5, this);
    FAvgGridModel->setRightAligned(true);
    ui->gdAvg->setGridModel(FAvgGridModel);
    balanceGridModel = new StringGridModel(AverageColumns, BalanceGridRows, this);
    balanceGridModel->setRightAligned(true);
    ui->gdBalance->setGridModel(balanceGridModel);
    ui->gdBalance->setFocusPolicy(Qt::NoFocus);
    ui->gdBalance->setFixedHeight(ui->gdBalance->horizontalHeader()->sizeHint().height()
        + ui->gdBalance->verticalHeader()->defaultSectionSize() + 2 * ui->gdBalance->frameWidth());
    // Room around the caption, as the neighbouring buttons have.
    ui->btnBalanceAll->setMinimumWidth(
        ui->btnBalanceAll->fontMetrics().horizontalAdvance(ui->btnBalanceAll->text()) + 24);
    PaintLegend(*ui->lblTintAbove, DeviationTint(1, 1));
    PaintLegend(*ui->lblTintBelow, DeviationTint(-1, 1));
    setWindowTitle(ProductName());
    ConnectHandlers();
    CreateBalanceControls();
    CreateFileActions();
    FormCreate();
    ShowHelpDetails();
    CreateSessionActions();
    CreateClassSetupActions();
    CreatePublicActions();
    CreateChangeActions();
    CreateChoiceActions();
    CreateClerkActions();
    CreateAboutAction(*this);
    StartSession();
    setGeometry(270, 150, 696, 480); // the normal geometry; the window opens maximised
    setWindowState(windowState() | Qt::WindowMaximized);
}

TForm1::~TForm1()
{
    work_.close(); // the program ends by its own code: nothing to recover
}

QAction* TForm1::AddMenuAction(QMenu* menu, const char* name, const QString& text, void (TForm1::*handler)())
{
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    connect(action, &QAction::triggered, this, Guarded(this, handler));
    menu->addAction(action);
    return action;
}

void TForm1::ConnectHandlers()
{
    rulesTask_ = std::make_unique<AsyncTask<std::shared_ptr<const PreparedRules>>>(
        this,
        [this](std::shared_ptr<const PreparedRules> prepared) {
            if (prepared)
                rules_ = std::move(prepared);
        },
        [this](const std::exception_ptr& failure) { RunGuarded(this, [&] { std::rethrow_exception(failure); }); });
    // The pinyin of names is read through ICU, which takes long to set up:
    // set up on the worker now, before any roster needs it.
    rulesTask_->request([] {
        try {
            (void)TonelessReading("\xE5\xBC\xA0"); // 张
        } catch (const Failure&) {
            // No pinyin without ICU's data: said where the pinyin is needed.
        }
        return std::shared_ptr<const PreparedRules>();
    });
    connect(ui->BitBtn1, &QPushButton::clicked, this, Guarded(this, &TForm1::BitBtn1Click));
    connect(ui->SpinEdit1, &QSpinBox::valueChanged, this, Guarded(this, &TForm1::SpinEdit1Change));
    connect(ui->BitBtn2, &QPushButton::clicked, this, Guarded(this, &TForm1::BitBtn2Click));
    connect(ui->Button4, &QPushButton::clicked, this, Guarded(this, &TForm1::Button4Click));
    connect(ui->btnBalanceAll, &QPushButton::clicked, this, Guarded(this, &TForm1::btnBalanceAllClick));
    // Choices: the document keeps them, changing them is no step.
    connect(ui->chkSoundAlike, &QCheckBox::toggled, this,
        [this](bool on) { RunGuarded(this, [&] { work_.setSoundAlike(on); }); });
    const auto pairChanged = [this] { work_.setPair(ui->speClassA->value(), ui->speClassB->value()); };
    connect(ui->speClassA, &QSpinBox::valueChanged, this, pairChanged);
    connect(ui->speClassB, &QSpinBox::valueChanged, this, pairChanged);
    connect(ui->speSystem, &QSpinBox::valueChanged, this, [this](int value) { work_.setCoefficient(value); });
    connect(ui->chkAuto, &QCheckBox::toggled, this, [this](bool on) { work_.setManual(on); });
    connect(ui->cmbSubject, &QComboBox::currentIndexChanged, this, [this](int index) { work_.setSubject(index); });
    work_.listen([this](const DivisionChange& change) { DivisionChanged(change); });
    // The gaps stay under their subjects when the averages scroll sideways.
    connect(ui->gdAvg->horizontalScrollBar(), &QScrollBar::valueChanged, ui->gdBalance->horizontalScrollBar(),
        &QScrollBar::setValue);
    connect(ui->trvClassList, &QTreeWidget::currentItemChanged, this,
        [this](QTreeWidgetItem* node) { RunGuarded(this, [&] { trvClassListChange(node); }); });
    connect(ui->StrGrid, &StringGridView::cellSelected, this, Guarded(this, &TForm1::StrGridSelectCell));
    ui->StrGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->StrGrid, &QWidget::customContextMenuRequested, this, Guarded(this, &TForm1::StrGridContextMenu));
    connect(ui->BitBtn3, &QPushButton::clicked, this, Guarded(this, &TForm1::BitBtn3Click));
    connect(ui->Button1, &QPushButton::clicked, this, Guarded(this, &TForm1::Button1Click));
}

void TForm1::FormCreate()
{
    FStrGridModel->updateCells([](CellGrid& grid) {
        for (int row = 0; row < grid.rowCount(); ++row)
            grid.setCell(0, row, std::to_string(row + 1));
    });
    ui->PageControl1->setCurrentWidget(ui->TabSheet3);
    ui->WebBrowser1->setOpenExternalLinks(true);
    ui->WebBrowser1->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
    ui->Image1->setPixmap(QPixmap(QStringLiteral(":/help/roster-steps.png")));
    ui->Image2->setPixmap(QPixmap(QStringLiteral(":/help/averages-steps.png")));
}

std::string TForm1::DecimalSeparator() const
{
    return QLocale().decimalPoint().toStdString();
}

void TForm1::BitBtn1Click()
{
    if (!MayChangePublicResult(QStringLiteral("读入新的名单")))
        return;
    const Choices before = division_.choices(); // filling the grid moves the chosen cell
    FStrGridModel->setRowCount(2);
    const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
    if (mime == nullptr || !mime->hasText()) {
        ShowMessage(
            this, QMessageBox::Information, QStringLiteral("Information"), QStringLiteral("没有可粘帖的文本。"));
        return;
    }
    const BusyCursor busy;
    const std::string text = mime->text().toStdString();
    ShowTable(SplitTable(text));
    work_.readTable(FStrGridModel->grid(), DecimalSeparator(), before);
}

void TForm1::ShowTable(const FieldRows& table)
{
    SizeGridForTable(*FStrGridModel, table);
    FStrGridModel->updateCells([&table](CellGrid& grid) { FillGridWithTable(grid, table); });
    ui->StrGrid->forgetCurrentCell();
}

void TForm1::SpinEdit1Change()
{
    work_.setClassCount(ui->SpinEdit1->value());
}

void TForm1::ShowSubjects()
{
    const QSignalBlocker blocker(ui->cmbSubject);
    ui->cmbSubject->clear();
    for (const std::string& name : division_.settings().subjectNames)
        ui->cmbSubject->addItem(QString::fromStdString(name));
    ui->cmbSubject->setCurrentIndex(division_.settings().subject);
}

void TForm1::DivisionChanged(const DivisionChange& change)
{
    // The rules read the records' names and rule texts and the class count.
    if (change.roster || change.classCount || change.step == DivisionStep::Optimise)
        PrepareRules();
    const auto showTotal = [this] {
        const ShownFigures& shown = division_.shown();
        ui->Edit1->setText(
            shown.hasTotal ? QString::fromStdString(FormatNumber(shown.total, DecimalSeparator())) : QString());
    };
    switch (change.step) {
    case DivisionStep::ReadTable:
        if (change.shown) { // an opened table: its own work, none of the last one's figures, as at the start
            showTotal();
            ShowClassAverages(*FAvgGridModel, division_.shown(), DecimalSeparator());
            TintClassAverages(*FAvgGridModel, division_.state());
            balanceGridModel->updateCells([](CellGrid& cells) { cells.clearCells(); });
            ui->lblTotalDeviation->clear();
        }
        if (!division_.hasRoster())
            return; // a cell that does not convert: the table stays, nothing else is shown
        if (importPending_)
            importTable_ = division_.source().table; // the opened table's warnings are this roster's
        ShowSubjects();
        if (change.classCount) {
            const QSignalBlocker blocker(ui->SpinEdit1);
            ui->SpinEdit1->setValue(division_.classCount());
            BuildClassTree(division_.classCount());
        }
        ShowBrokenRules();
        return;
    case DivisionStep::ClassCount:
        if (ui->SpinEdit1->value() != division_.classCount()) { // a class set-up brought its own count
            const QSignalBlocker blocker(ui->SpinEdit1);
            ui->SpinEdit1->setValue(division_.classCount());
        }
        BuildClassTree(division_.classCount());
        ShowBrokenRules();
        return;
    case DivisionStep::Assign:
        ShowAverages();
        return;
    case DivisionStep::Press:
        showTotal();
        ShowAverages();
        return;
    case DivisionStep::Optimise:
        if (change.classCount) { // 公开分班 with another class count
            const QSignalBlocker blocker(ui->SpinEdit1);
            ui->SpinEdit1->setValue(division_.classCount());
            BuildClassTree(division_.classCount());
        }
        showTotal();
        ShowAverages();
        RedrawListing();
        return;
    case DivisionStep::Move: {
        const DivisionState& s = division_.state();
        const int shown = division_.view().FShownClass;
        ShowStudents(shown == -1 ? s.FStudents : s.FClasses[static_cast<std::size_t>(shown)]);
        ShowBrokenRules(); // the class lists changed; the statistics stay as they were
        return;
    }
    case DivisionStep::Restore:
    case DivisionStep::Change:
        ShowRestored();
        return;
    case DivisionStep::Choice:
        if (change.choice == ChoiceKind::SoundAlike) {
            const QSignalBlocker blocker(ui->chkSoundAlike); // 公开分班 may set it
            ui->chkSoundAlike->setChecked(division_.settings().soundAlike);
            PrepareRules();
            ShowBrokenRules();
        }
        return;
    }
}

void TForm1::BuildClassTree(int classCount)
{
    ui->trvClassList->clear();
    ppmClass->clear();
    auto* root = new QTreeWidgetItem(ui->trvClassList, {QStringLiteral("全部")});
    root->setFlags(root->flags() | Qt::ItemIsEditable);
    for (int k = 1; k <= classCount; ++k) {
        auto* node = new QTreeWidgetItem(root, {QString::number(k)});
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        if (const std::string name = division_.className(k, {}); !name.empty())
            node->setToolTip(0, QString::fromStdString(name)); // the node keeps the number, as the 班级 column
        QAction* item = ppmClass->addAction(QStringLiteral("-->转到 %1 班级").arg(k));
        item->setData(k);
        connect(item, &QAction::triggered, this, [this, item] { RunGuarded(this, [&] { MoveToClassClick(item); }); });
    }
    ui->trvClassList->expandAll();
}

void TForm1::trvClassListChange(QTreeWidgetItem* node)
{
    if (node == nullptr)
        return;
    const DivisionState& s = division_.state();
    if (node->parent() == nullptr) {
        work_.setListing(-1);
        ShowStudents(s.FStudents);
        return;
    }
    const QString text = node->text(0);
    bool isNumber = false;
    const int classNo = text.toInt(&isNumber);
    if (!isNumber)
        throw Failure("'" + text.toStdString() + "' is not a valid integer value");
    if (classNo < 1 || classNo > static_cast<int>(s.FClasses.size()))
        return; // names no class of the current count
    work_.setListing(classNo - 1);
    ShowStudents(s.FClasses[static_cast<std::size_t>(classNo - 1)]);
}

void TForm1::ShowStudents(const TStudentList& list)
{
    ListStudents(*FStrGridModel, list, DecimalSeparator(), division_.state());
    // The rule and extra columns (学号…) after the fifteen listed ones: as wide as their texts.
    constexpr int FirstColumnAfterScores = 14; // the number column is the grid's row header
    const QFontMetrics metrics(ui->StrGrid->font());
    const QFontMetrics headerMetrics(ui->StrGrid->horizontalHeader()->font());
    const int padding = metrics.averageCharWidth() * 2;
    for (int c = FirstColumnAfterScores; c < FStrGridModel->columnCount(); ++c) {
        int width = std::max(ui->StrGrid->horizontalHeader()->defaultSectionSize(),
            headerMetrics.horizontalAdvance(FStrGridModel->headerData(c, Qt::Horizontal).toString()) + padding);
        for (int r = 0; r < FStrGridModel->rowCount(); ++r)
            width = std::max(width, metrics.horizontalAdvance(FStrGridModel->index(r, c).data().toString()) + padding);
        ui->StrGrid->setColumnWidth(c, width);
    }
}

void TForm1::RedrawListing()
{
    if (division_.view().tableShown)
        return;
    const DivisionState& s = division_.state();
    const int shown = division_.view().FShownClass;
    if (shown == -1)
        ShowStudents(s.FStudents);
    else if (static_cast<std::size_t>(shown) < s.FClasses.size())
        ShowStudents(s.FClasses[static_cast<std::size_t>(shown)]);
}

void TForm1::BitBtn2Click()
{
    if (!MayChangePublicResult(QStringLiteral("编班")))
        return;
    try {
        const BusyCursor busy;
        work_.assign();
    } catch (const RuleValueError& problem) {
        // Chinese sentences with their own full stops: shown as written, not
        // as the error box would end them. Nothing has changed.
        ShowMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(problem.what()));
    } catch (const ClassSetupError& problem) { // sizes the grade does not fit: nothing has changed
        ShowMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(problem.what()));
    }
}

void TForm1::Button4Click()
{
    if (!MayChangePublicResult(QStringLiteral("调整")))
        return;
    BalanceOutcome outcome;
    try {
        const BusyCursor busy;
        outcome = work_.press();
    } catch (const ClassSetupError& problem) { // a pair of two kinds of class: nothing has changed
        ShowMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(problem.what()));
        return;
    }
    switch (outcome) {
    case BalanceOutcome::NoSubject:
        return;
    case BalanceOutcome::NeedsDivision:
        ShowMessage(this, QMessageBox::Information, ProductName(), QStringLiteral("请先编班。"));
        return;
    case BalanceOutcome::ClassOutOfRange:
        ShowMessage(this, QMessageBox::Information, ProductName(), QStringLiteral("班级号超出分班数。"));
        return;
    case BalanceOutcome::SameClass:
    case BalanceOutcome::NoCandidate:
        ShowMessage(this, QMessageBox::NoIcon, QStringLiteral("提示"), QStringLiteral("调整完成"));
        return;
    case BalanceOutcome::Swapped:
        return;
    }
}

void TForm1::btnBalanceAllClick()
{
    if (!HasDivision(division_.state(), division_.classCount())) {
        ShowMessage(this, QMessageBox::Information, ProductName(), QStringLiteral("请先编班。"));
        return;
    }
    if (!MayChangePublicResult(QStringLiteral("一键均衡")))
        return;
    try {
        const OptimiseInput input = work_.prepareBalance();
        OptimisedDivision answer;
        RunWithProgress([&](const OptimiseControl& control) { answer = Optimise(input, control); });
        work_.finishBalance(input, answer); // the step "一键均衡", shown by DivisionChanged
    } catch (const RuleValueError& problem) {
        // As for 编班: sentences of their own, shown as written; nothing has changed.
        ShowMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(problem.what()));
    } catch (const DivisionInputError& problem) {
        // Rules that cannot all hold, before the search or found by it: nothing has moved.
        ShowMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(problem.what()));
    }
}

bool TForm1::RunWithProgress(const std::function<void(const OptimiseControl&)>& work)
{
    return RunInBackground(this, work, [this](double fraction) { emit balanceProgressed(fraction); });
}

void TForm1::ShowAverages()
{
    ShowClassAverages(*FAvgGridModel, division_.shown(), DecimalSeparator());
    ShowBalancePanel();
}

void TForm1::ShowBalancePanel()
{
    const DivisionState& s = division_.state();
    QStringList subjectNames;
    for (const std::string& name : division_.settings().subjectNames)
        subjectNames << QString::fromStdString(name);
    // With the set-up followed, each group against its own averages, shown below the grade's.
    const ClassGroups groups = division_.activeSetup().empty() || !division_.shown().averagesDrawn
        ? ClassGroups {}
        : GroupsOf(division_.activeSetup());
    ShowGroupAverages(*FAvgGridModel, s, groups, DecimalSeparator());
    TintClassAverages(*FAvgGridModel, s, groups);
    ShowAverageGaps(*balanceGridModel, s, subjectNames, DecimalSeparator(), groups);
    // The labels of both grids share one width, so the gaps stand under their subjects.
    ui->gdBalance->verticalHeader()->setMinimumWidth(
        std::max(ui->gdAvg->verticalHeader()->sizeHint().width(), ui->gdAvg->verticalHeader()->minimumWidth()));
    ui->lblTotalDeviation->setText(QStringLiteral("总偏差：")
        + QString::fromStdString(FormatNumber(TotalDeviation(s.FDevSum), DecimalSeparator())));
    ShowBrokenRules();
}

void TForm1::ShowBrokenRules()
{
    ShowClassSetupState();
    QLabel* const label = ui->lblBrokenRules;
    label->clear();
    label->setToolTip(QString());
    label->setStyleSheet(QString());
    const DivisionState& s = division_.state();
    const int classCount = division_.classCount();
    if (!HasDivision(s, classCount))
        return;
    const PreparedRules& prepared = CurrentRules();
    if (prepared.problem) {
        label->setText(QStringLiteral("固定值有误"));
        label->setToolTip(QString::fromStdString(*prepared.problem));
    } else {
        const DivisionRules& rules = prepared.rules;
        if (rules.empty())
            return;
        const std::vector<int> classOf = ClassesOfRecords(s);
        const std::vector<RuleBreach> broken = FindRuleBreaches(rules, classOf, classCount);
        if (broken.empty()) {
            label->setText(QStringLiteral("规则全部满足"));
            return;
        }
        QStringList lines;
        for (const RuleBreach& breach : broken) {
            if (lines.size() == MostBreachesListed)
                break;
            lines << QString::fromStdString(DescribeRuleBreach(breach, rules, s, classOf, classCount));
        }
        const auto listed = static_cast<qsizetype>(lines.size());
        if (static_cast<qsizetype>(broken.size()) > listed)
            lines << QStringLiteral("……另有 %1 条。").arg(static_cast<qsizetype>(broken.size()) - listed);
        label->setText(QStringLiteral("未满足的规则：%1 条").arg(broken.size()));
        label->setToolTip(lines.join(QLatin1Char('\n')));
    }
    label->setStyleSheet(QStringLiteral("QLabel { color: #a04a00; }"));
}

void TForm1::PrepareRules()
{
    const std::shared_ptr<const PackedGrid>& table = division_.source().table;
    if (division_.hasRoster() && table && table == rulesTable_ && division_.classCount() == rulesClassCount_
        && division_.settings().soundAlike == rulesSoundAlike_ && (rules_ || rulesTask_->pending()))
        return; // the same roster (undo of a press, a hand move): the same rules
    rules_.reset();
    rulesTable_.reset();
    if (!division_.hasRoster()) {
        rulesTask_->drop();
        return;
    }
    rulesTable_ = table;
    rulesClassCount_ = division_.classCount();
    rulesSoundAlike_ = division_.settings().soundAlike;
    auto copy = std::make_shared<const DivisionState>(CopyOf(division_.state()));
    rulesTask_->request(
        [copy = std::move(copy), classCount = division_.classCount(), soundAlike = division_.settings().soundAlike] {
            auto prepared = std::make_shared<PreparedRules>();
            try {
                prepared->rules = BuildDivisionRules(*copy, classCount, soundAlike);
            } catch (const RuleValueError& problem) {
                prepared->problem = problem.what();
            }
            return std::shared_ptr<const PreparedRules>(std::move(prepared));
        });
}

const PreparedRules& TForm1::CurrentRules()
{
    if (!rules_) {
        rulesTask_->settle();
        if (!rules_) { // nothing on its way for this roster
            PrepareRules();
            rulesTask_->settle();
        }
    }
    return *rules_;
}

void TForm1::StrGridSelectCell(int col, int row)
{
    work_.setSelectedCell(col, row);
}

void TForm1::StrGridContextMenu(const QPoint& pos)
{
    if (!ppmClass->isEmpty())
        ppmClass->popup(ui->StrGrid->viewport()->mapToGlobal(pos));
}

void TForm1::MoveToClassClick(QAction* item)
{
    const ViewState& s = division_.view();
    if (s.FSelCol < 1 || s.FSelRow < 1)
        return; // no student row chosen since the roster was built
    // The student of the chosen row, by the number the listing wrote in column 0.
    bool isNumber = false;
    const int rowNumber = QString::fromStdString(FStrGridModel->grid().cell(0, s.FSelRow)).toInt(&isNumber);
    if (!isNumber || !MayChangePublicResult(QStringLiteral("调班")))
        return;
    work_.move(rowNumber - 1, item->data().toInt() - 1); // shown by DivisionChanged
}

void TForm1::BitBtn3Click()
{
    const CellGrid& cells = FStrGridModel->grid();
    int left = cells.currentCol();
    int right = left;
    int top = cells.currentRow();
    int bottom = top;
    const QItemSelection selection = ui->StrGrid->selectionModel()->selection();
    if (!selection.isEmpty()) {
        left = top = std::numeric_limits<int>::max();
        right = bottom = std::numeric_limits<int>::min();
        for (const QItemSelectionRange& range : selection) {
            left = std::min(left, range.left() + 1);
            right = std::max(right, range.right() + 1);
            top = std::min(top, range.top() + 1);
            bottom = std::max(bottom, range.bottom() + 1);
        }
    }
    if (left < 0 || top < 0)
        return; // no cell chosen
    // A whole listing copied from its first column carries its header row.
    if (!division_.view().tableShown && left == 1 && top == 1 && bottom == cells.rowCount() - 1)
        top = 0;
    const BusyCursor busy; // the whole of a hostile paste's grid takes seconds
    QGuiApplication::clipboard()->setText(QString::fromStdString(BlockText(cells, left, top, right, bottom)));
}

void TForm1::Button1Click()
{
    FileRequest request;
    request.caption = QStringLiteral("导出EXCEL的文件");
    request.filter = QStringLiteral("EXCEL文件(*.xls)");
    request.defaultSuffix = QStringLiteral("xls");
    request.objectName = QStringLiteral("SaveDialog1");
    const QString fileName = CurrentDialogs().saveFileName(this, request);
    if (fileName.isEmpty())
        return;
    ExportGridToExcel(*FStrGridModel, fileName);
}

void TForm1::ExportGridToExcel(const StringGridModel& grid, const QString& fileName)
{
    const CellGrid& cells = grid.grid();
    WriteGridXls(*files_, std::filesystem::path(fileName.toStdU16String()), cells.rowCount(), cells.colCount(),
        [&cells](int col, int row) -> const std::string& { return cells.cell(col, row); });
}
