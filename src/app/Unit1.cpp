#include "app/Unit1.h"

#include "app/AboutDialog.h"
#include "app/BusyCursor.h"
#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
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
#include "session/RecoveryFile.h"
#include "session/Session.h"
#include "ui_Unit1.h"
#include "views/BalanceViews.h"
#include "views/ClassViews.h"
#include "views/StringGridModel.h"
#include "xls/GridXls.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QProgressDialog>
#include <QScrollBar>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

using namespace fenban;

namespace {

void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    CurrentDialogs().showMessage(parent, icon, caption, text);
}

// The progress bar of 一键均衡 counts in thousandths.
constexpr int ProgressSteps = 1000;
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

// The handler as a guarded slot that is one named step of the work.
template <class... Args> auto Step(TForm1* window, const char* name, void (TForm1::*handler)(Args...))
{
    return [window, name, handler](Args... args) {
        RunGuarded(window, [&] { window->runStep(name, [&] { (window->*handler)(args...); }); });
    };
}

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
    CreatePublicActions();
    CreateClerkActions();
    CreateAboutAction(*this);
    StartSession();
    setGeometry(270, 150, 696, 480); // the normal geometry; the window opens maximised
    setWindowState(windowState() | Qt::WindowMaximized);
}

TForm1::~TForm1()
{
    FSession->close(); // the program ends by its own code: nothing to recover
}

void TForm1::ConnectHandlers()
{
    connect(ui->BitBtn1, &QPushButton::clicked, this, Step(this, "读入数据", &TForm1::BitBtn1Click));
    connect(ui->SpinEdit1, &QSpinBox::valueChanged, this, Step(this, "分班数", &TForm1::SpinEdit1Change));
    connect(ui->BitBtn2, &QPushButton::clicked, this, Step(this, "编班", &TForm1::BitBtn2Click));
    connect(ui->Button4, &QPushButton::clicked, this, Step(this, "调整", &TForm1::Button4Click));
    connect(ui->btnBalanceAll, &QPushButton::clicked, this, Step(this, "一键均衡", &TForm1::btnBalanceAllClick));
    // Choices: the document keeps them, changing them is no step.
    connect(ui->chkSoundAlike, &QCheckBox::toggled, this, [this](bool on) {
        division_.setSoundAlike(on);
        RunGuarded(this, [this] { ShowBrokenRules(); });
    });
    const auto pairChanged = [this] { division_.setPair(ui->speClassA->value(), ui->speClassB->value()); };
    connect(ui->speClassA, &QSpinBox::valueChanged, this, pairChanged);
    connect(ui->speClassB, &QSpinBox::valueChanged, this, pairChanged);
    connect(ui->speSystem, &QSpinBox::valueChanged, this, [this](int value) { division_.setCoefficient(value); });
    connect(ui->chkAuto, &QCheckBox::toggled, this, [this](bool on) { division_.setManual(on); });
    connect(ui->cmbSubject, &QComboBox::currentIndexChanged, this, [this](int index) { division_.setSubject(index); });
    division_.listen([this](const DivisionChange& change) { DivisionChanged(change); });
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
    BuildRoster();
}

void TForm1::ShowTable(const FieldRows& table)
{
    SizeGridForTable(*FStrGridModel, table);
    FStrGridModel->updateCells([&table](CellGrid& grid) { FillGridWithTable(grid, table); });
    tableShown_ = true;
}

void TForm1::BuildRoster(RosterExtraTexts extras)
{
    ui->StrGrid->forgetCurrentCell();
    newWork_ = true;
    division_.readTable(FStrGridModel->grid(), DecimalSeparator(), std::move(extras));
}

void TForm1::SpinEdit1Change()
{
    division_.setClassCount(ui->SpinEdit1->value());
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
    const auto showTotal = [this] {
        const ShownFigures& shown = division_.shown();
        ui->Edit1->setText(
            shown.hasTotal ? QString::fromStdString(FormatNumber(shown.total, DecimalSeparator())) : QString());
    };
    switch (change.step) {
    case DivisionStep::ReadTable:
        if (!division_.hasRoster())
            return; // a cell that does not convert: the table stays, nothing else is shown
        ShowSubjects();
        if (change.classCount) {
            const QSignalBlocker blocker(ui->SpinEdit1);
            ui->SpinEdit1->setValue(division_.classCount());
            BuildClassTree(division_.classCount());
        }
        ShowBrokenRules();
        return;
    case DivisionStep::ClassCount:
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
    case DivisionStep::Restore: // shown with the snapshot's listing by ShowSnapshot
    case DivisionStep::Choice:
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
        QAction* item = ppmClass->addAction(QStringLiteral("-->转到 %1 班级").arg(k));
        item->setData(k);
        connect(item, &QAction::triggered, this,
            [this, item] { RunGuarded(this, [&] { runStep("调班", [&] { MoveToClassClick(item); }); }); });
    }
    ui->trvClassList->expandAll();
}

void TForm1::trvClassListChange(QTreeWidgetItem* node)
{
    if (node == nullptr)
        return;
    const DivisionState& s = division_.state();
    if (node->parent() == nullptr) {
        ShowStudents(s.FStudents);
        division_.setListing(-1);
        return;
    }
    const QString text = node->text(0);
    bool isNumber = false;
    const int classNo = text.toInt(&isNumber);
    if (!isNumber)
        throw Failure("'" + text.toStdString() + "' is not a valid integer value");
    if (classNo < 1 || classNo > static_cast<int>(s.FClasses.size()))
        return; // names no class of the current count
    division_.setListing(classNo - 1);
    ShowStudents(s.FClasses[static_cast<std::size_t>(classNo - 1)]);
}

void TForm1::ShowStudents(const TStudentList& list)
{
    tableShown_ = false;
    ListStudents(*FStrGridModel, list, DecimalSeparator(), division_.state());
}

void TForm1::RedrawListing()
{
    if (tableShown_)
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
    try {
        const BusyCursor busy;
        division_.assign();
    } catch (const RuleValueError& problem) {
        // Chinese sentences with their own full stops: shown as written, not
        // as the error box would end them. Nothing has changed.
        ShowMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(problem.what()));
    }
}

void TForm1::Button4Click()
{
    BalanceOutcome outcome;
    {
        const BusyCursor busy;
        outcome = division_.press();
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
    const DivisionState& s = division_.state();
    const int classCount = division_.classCount();
    if (!HasDivision(s, classCount)) {
        ShowMessage(this, QMessageBox::Information, ProductName(), QStringLiteral("请先编班。"));
        return;
    }
    DivisionRules rules;
    try {
        rules = BuildDivisionRules(s, classCount, division_.settings().soundAlike);
    } catch (const RuleValueError& problem) {
        // As for 编班: sentences of their own, shown as written; nothing has changed.
        ShowMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(problem.what()));
        return;
    }
    std::vector<RuleConflict> conflicts = FindRuleConflicts(s, classCount, rules);
    OptimisedDivision answer;
    if (conflicts.empty()) {
        answer = RunOptimiser(division_.optimiseInput(rules));
        conflicts = answer.result.conflicts; // rules no search could keep; nothing has moved then
    }
    if (!conflicts.empty()) {
        ShowMessage(this, QMessageBox::Warning, ProductName(),
            QString::fromStdString(ConflictMessage(conflicts, rules, s, classCount)));
        return;
    }
    division_.apply(answer); // the step "一键均衡", shown by DivisionChanged
}

OptimisedDivision TForm1::RunOptimiser(const OptimiseInput& input)
{
    OptimisedDivision answer;
    RunWithProgress([&](const OptimiseControl& control) { answer = Optimise(input, control); });
    return answer;
}

bool TForm1::RunWithProgress(const std::function<void(const OptimiseControl&)>& work)
{
    QProgressDialog progress(QStringLiteral("正在均衡分班…"), QStringLiteral("取消"), 0, ProgressSteps, this);
    progress.setObjectName(QStringLiteral("dlgBalanceProgress"));
    progress.setWindowTitle(ProductName());
    progress.setWindowModality(Qt::WindowModal);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    // Shown at once: it blocks the window from the start of the run.
    progress.show();
    std::atomic<bool> cancel {false};
    QEventLoop loop;
    // 取消, Esc and closing the dialog all stop the run; the window waits for
    // its end without taking input (the search stops within milliseconds).
    const auto stop = [&cancel, &loop] {
        cancel = true;
        loop.quit();
    };
    connect(&progress, &QProgressDialog::canceled, &loop, stop);
    connect(&progress, &QDialog::rejected, &loop, stop);

    OptimiseControl control;
    control.cancel = &cancel;
    // Called on the worker: the dialog hears of it through its own event queue.
    control.progress = [this, &progress, &cancel](double fraction) {
        QMetaObject::invokeMethod(
            &progress,
            [this, &progress, &cancel, fraction] {
                if (cancel)
                    return; // stopped: no more reports
                progress.setValue(static_cast<int>(fraction * ProgressSteps));
                emit balanceProgressed(fraction);
            },
            Qt::QueuedConnection);
    };
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work(control);
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    progress.hide();
    if (failure)
        std::rethrow_exception(failure);
    return !cancel;
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
    TintClassAverages(*FAvgGridModel, s);
    ShowAverageGaps(*balanceGridModel, s, subjectNames, DecimalSeparator());
    // The labels of both grids share one width, so the gaps stand under their subjects.
    ui->gdBalance->verticalHeader()->setMinimumWidth(
        std::max(ui->gdAvg->verticalHeader()->sizeHint().width(), ui->gdAvg->verticalHeader()->minimumWidth()));
    ui->lblTotalDeviation->setText(QStringLiteral("总偏差：")
        + QString::fromStdString(FormatNumber(TotalDeviation(s.FDevSum), DecimalSeparator())));
    ShowBrokenRules();
}

void TForm1::ShowBrokenRules()
{
    QLabel* const label = ui->lblBrokenRules;
    label->clear();
    label->setToolTip(QString());
    label->setStyleSheet(QString());
    const DivisionState& s = division_.state();
    const int classCount = division_.classCount();
    if (!HasDivision(s, classCount))
        return;
    try {
        const DivisionRules rules = BuildDivisionRules(s, classCount, division_.settings().soundAlike);
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
    } catch (const RuleValueError& problem) {
        label->setText(QStringLiteral("固定值有误"));
        label->setToolTip(QString::fromUtf8(problem.what()));
    }
    label->setStyleSheet(QStringLiteral("QLabel { color: #a04a00; }"));
}

void TForm1::StrGridSelectCell(int col, int row)
{
    division_.setSelectedCell(col, row);
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
    if (!isNumber)
        return;
    division_.move(rowNumber - 1, item->data().toInt() - 1); // shown by DivisionChanged
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
    if (!tableShown_ && left == 1 && top == 1 && bottom == cells.rowCount() - 1)
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
