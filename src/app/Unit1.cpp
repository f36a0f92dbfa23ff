#include "app/Unit1.h"

#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "app/Resources.h"
#include "common/Failure.h"
#include "engine/Assignment.h"
#include "engine/Balancing.h"
#include "engine/Division.h"
#include "engine/Statistics.h"
#include "roster/NumberText.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"
#include "roster/RosterSummary.h"
#include "session/RecoveryFile.h"
#include "session/Session.h"
#include "ui_Unit1.h"
#include "views/ClassViews.h"
#include "views/StringGridModel.h"
#include "xls/BuiltInSpreadsheet.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmap>
#include <QUrl>
#include <algorithm>

using namespace fenban;

namespace {

void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption, const QString& text)
{
    CurrentDialogs().showMessage(parent, icon, caption, text);
}

// The wait cursor while a handler works: a paste, division or balancing
// press of a large grade, or a copy of a huge grid, takes longer than half a
// second. Gone before any box.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

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
    , FSpreadsheetFactory(BuiltInSpreadsheetFactory())
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
    setWindowTitle(ProductName());
    ConnectHandlers();
    FormCreate();
    CreateSessionActions();
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
    FTableShown = true;
}

void TForm1::BuildRoster()
{
    FState.FSelCol = -1;
    FState.FSelRow = -1;
    FState.FShownClass = -1;
    ui->StrGrid->forgetCurrentCell();
    EndDivision(FState);

    FSource = {PackedGrid::Pack(FStrGridModel->grid()), DecimalSeparator(), false};
    BuiltRoster built = BuildRosterFromGrid(FStrGridModel->grid(), DecimalSeparator());
    FState.Records = std::move(built.students);
    FState.FStudents.reserve(FState.Records.size());
    for (const auto& record : FState.Records)
        FState.FStudents.push_back(record.get());
    FSource.built = true;

    ui->cmbSubject->clear();
    for (const std::string& name : built.subjectNames)
        ui->cmbSubject->addItem(QString::fromStdString(name));
    ui->cmbSubject->setCurrentIndex(-1);
    ui->SpinEdit1->setValue(built.proposedClassCount);
}

void TForm1::SpinEdit1Change()
{
    const int classCount = ui->SpinEdit1->value();
    BuildClassTree(classCount);
    ResizeClassLists(FState, classCount);
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
    if (node->parent() == nullptr) {
        ShowStudents(FState.FStudents);
        FState.FShownClass = -1;
        return;
    }
    const QString text = node->text(0);
    bool isNumber = false;
    const int classNo = text.toInt(&isNumber);
    if (!isNumber)
        throw Failure("'" + text.toStdString() + "' is not a valid integer value");
    if (classNo < 1 || classNo > static_cast<int>(FState.FClasses.size()))
        return; // names no class of the current count
    FState.FShownClass = classNo - 1;
    ShowStudents(FState.FClasses[static_cast<std::size_t>(classNo - 1)]);
}

void TForm1::ShowStudents(const TStudentList& list)
{
    ListStudents(*FStrGridModel, list, DecimalSeparator());
    FTableShown = false;
}

void TForm1::BitBtn2Click()
{
    const BusyCursor busy;
    if (AssignClasses(FState, ui->SpinEdit1->value()))
        ShowAverages();
}

void TForm1::Button4Click()
{
    const BalanceRequest request {ui->chkAuto->isChecked(), ui->speClassA->value(), ui->speClassB->value(),
        ui->cmbSubject->currentIndex(), ui->speSystem->value(), ui->SpinEdit1->value()};
    BalanceOutcome outcome;
    {
        const BusyCursor busy;
        outcome = Balance(FState, request);
        if (outcome == BalanceOutcome::Swapped) {
            ui->Edit1->setText(
                QString::fromStdString(FormatNumber(TotalDeviation(FState.FDevSum), DecimalSeparator())));
            ShowAverages();
        }
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

void TForm1::ShowAverages()
{
    QStringList subjectNames;
    for (int s = 0; s < ui->cmbSubject->count(); ++s)
        subjectNames << ui->cmbSubject->itemText(s);
    ShowClassAverages(*FAvgGridModel, FState, subjectNames, DecimalSeparator());
}

void TForm1::StrGridSelectCell(int col, int row)
{
    FState.FSelCol = col;
    FState.FSelRow = row;
}

void TForm1::StrGridContextMenu(const QPoint& pos)
{
    if (!ppmClass->isEmpty())
        ppmClass->popup(ui->StrGrid->viewport()->mapToGlobal(pos));
}

void TForm1::MoveToClassClick(QAction* item)
{
    if (FState.FSelCol < 1 || FState.FSelRow < 1)
        return; // no student row chosen since the roster was built
    bool isNumber = false;
    const int rowNumber = QString::fromStdString(FStrGridModel->grid().cell(0, FState.FSelRow)).toInt(&isNumber);
    if (!isNumber)
        return;
    if (!MoveStudentToClass(FState, rowNumber - 1, item->data().toInt() - 1))
        return;
    ShowStudents(
        FState.FShownClass == -1 ? FState.FStudents : FState.FClasses[static_cast<std::size_t>(FState.FShownClass)]);
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
    const ExportResult result = ExportCells(
        FSpreadsheetFactory, cells.rowCount(), cells.colCount(),
        [&cells](int col, int row) -> const std::string& { return cells.cell(col, row); },
        std::filesystem::path(fileName.toStdU16String()));
    if (result == ExportResult::NoSpreadsheetApplication)
        ShowMessage(this, QMessageBox::NoIcon, ProductName(), QStringLiteral("您的机器没有安装EXCEL！不能输出！"));
}
