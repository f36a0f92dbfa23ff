// The 文件 menu and the toolbar: open a table file, export the division as a
// workbook or PDF, print the class lists; Ctrl+C in the roster grid.
#include "app/ActionHelpers.h"
#include "app/BalanceOutput.h"
#include "app/BusyCursor.h"
#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "app/SessionActions.h"
#include "app/Unit1.h"
#include "choice/ChoiceOutputs.h"
#include "common/Failure.h"
#include "io/ClassListPrint.h"
#include "io/OutputTables.h"
#include "io/PublicOutputs.h"
#include "io/TableFile.h"
#include "io/TableLayout.h"
#include "io/WorkbookFile.h"
#include "session/DivisionFile.h"
#include "ui_Unit1.h"
#include "views/StringGridModel.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPrinter>
#include <QScopeGuard>
#include <QToolBar>
#include <algorithm>
#include <functional>
#include <optional>

using namespace fenban;

namespace {

std::filesystem::path FilePath(const QString& fileName)
{
    return std::filesystem::path(fileName.toStdU16String());
}

// The copy key (Ctrl+C) in a grid does what `copy` does, in place of the
// view's own copy of the current cell. Owned by the grid.
class CopyKey final : public QObject {
public:
    CopyKey(QWidget& grid, std::function<void()> copy)
        : QObject(&grid)
        , copy_(std::move(copy))
    {
        grid.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool isCopy = (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
            && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy);
        if (!isCopy)
            return QObject::eventFilter(watched, event);
        if (event->type() == QEvent::ShortcutOverride)
            event->accept(); // the key comes to the grid, whatever shortcut the window has
        else
            copy_();
        return true;
    }

private:
    std::function<void()> copy_;
};

} // namespace

void TForm1::CreateFileActions()
{
    QMenu* const menu = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    menu->setObjectName(QStringLiteral("mnuFile"));
    QToolBar* const tools = addToolBar(QStringLiteral("常用"));
    tools->setObjectName(QStringLiteral("tbrMain"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);

    const auto add = [this, menu, tools](const char* name, const QString& text, const QString& buttonText,
                         const QKeySequence& keys, void (TForm1::*handler)()) {
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        action->setIconText(buttonText);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, Guarded(this, handler));
        menu->addAction(action);
        tools->addAction(action);
    };
    add("actOpen", QStringLiteral("打开…"), QStringLiteral("打开"), QKeySequence::Open, &TForm1::actOpenExecute);
    menu->addSeparator();
    tools->addSeparator();
    add("actExportWorkbook", QStringLiteral("导出工作簿…"), QStringLiteral("导出工作簿"), {},
        &TForm1::actExportWorkbookExecute);
    add("actExportPdf", QStringLiteral("导出PDF…"), QStringLiteral("导出PDF"), {}, &TForm1::actExportPdfExecute);
    menu->addSeparator();
    tools->addSeparator();
    add("actPrint", QStringLiteral("打印…"), QStringLiteral("打印"), QKeySequence::Print, &TForm1::actPrintExecute);

    new CopyKey(*ui->StrGrid, [this] { RunGuarded(this, [this] { BitBtn3Click(); }); });
}

void TForm1::actOpenExecute()
{
    if (!MayEndWork()) // unsaved work is asked about first, as on closing
        return;
    FileRequest request;
    request.caption = QStringLiteral("打开");
    request.filter = QStringLiteral("分班文件和表格文件 (*.fenban *.xlsx *.xls *.csv *.tsv *.txt);;")
        + DivisionFileFilter() + QStringLiteral(";;表格文件 (*.xlsx *.xls *.csv *.tsv *.txt)");
    request.objectName = QStringLiteral("OpenDialog");
    request.start = lastFolder_;
    const QString fileName = CurrentDialogs().openFileName(this, request);
    if (fileName.isEmpty())
        return;
    lastFolder_ = QFileInfo(fileName).absolutePath();
    OpenFile(fileName);
}

void TForm1::openNamedFile(const QString& fileName)
{
    RunGuarded(this, [&] {
        lastFolder_ = QFileInfo(fileName).absolutePath();
        OpenFile(fileName);
    });
}

// Every kind of file the window opens comes here; the name's suffix chooses.
void TForm1::OpenFile(const QString& fileName)
{
    if (!MayChangePublicResult(QStringLiteral("打开另一个文件")))
        return;
    if (QFileInfo(fileName).suffix().compare(QLatin1String(DivisionFileSuffix.data()), Qt::CaseInsensitive) == 0)
        ToldFailure(this, [&] { OpenDivisionFile(fileName); }); // its own full stop
    else
        OpenTableFile(fileName);
}

// The file's table goes the way of a pasted text once it is cut into fields:
// grid, roster, subjects and class count as a paste of the same table gives;
// the 名单 page shows it. A file that cannot be read changes nothing.
void TForm1::OpenTableFile(const QString& fileName)
{
    std::vector<TableSheet> sheets;
    const auto read = [&] { sheets = ReadSheetsToOpen(FilePath(fileName)); };
    ImportedTable imported;
    std::string note;
    if (ToldFailure(this, read) || !ImportSheets(sheets, imported, note))
        return;
    const BusyCursor busy;
    FieldRows table;
    table.reserve(imported.rows.size());
    for (const std::vector<std::string>& row : imported.rows)
        table.emplace_back(row.begin(), row.end());
    const Choices before = division_.choices(); // filling the grid moves the chosen cell
    FStrGridModel->setRowCount(2);
    ShowTable(table);
    // What opening it had to say goes with the roster it reads (DivisionChanged).
    importWarnings_ = std::move(imported.warnings);
    importRows_ = std::move(imported.rowNumbers);
    importSheets_ = SheetsReadText(imported);
    importPending_ = true;
    const auto done = qScopeGuard([this] { importPending_ = false; });
    work_.openTable(FStrGridModel->grid(), DecimalSeparator(), std::move(imported.extras),
        QFileInfo(fileName).fileName().toStdString(), note, before);
    ui->PageControl1->setCurrentWidget(ui->TabSheet1); // the table, wherever the menu was used
}

QString TForm1::ExportFileName(const QString& caption, const QString& filter, const QString& suffix,
    const QString& objectName, const QString& proposedName)
{
    FileRequest request;
    request.caption = caption;
    request.filter = filter;
    request.defaultSuffix = suffix;
    request.objectName = objectName;
    request.start = lastFolder_.isEmpty() ? proposedName : QDir(lastFolder_).filePath(proposedName);
    request.confirmOverwrite = true;
    const QString fileName = CurrentDialogs().saveFileName(this, request);
    if (!fileName.isEmpty())
        lastFolder_ = QFileInfo(fileName).absolutePath();
    return fileName;
}

void TForm1::actExportWorkbookExecute()
{
    if (!HasDivision(division_.state())) {
        TellNoDivision(this);
        return;
    }
    const QString fileName = ExportFileName(QStringLiteral("导出工作簿"), QStringLiteral("Excel 工作簿 (*.xlsx)"),
        QStringLiteral("xlsx"), QStringLiteral("WorkbookDialog"), QStringLiteral("分班名单.xlsx"));
    if (fileName.isEmpty())
        return;
    ToldFailure(this, [&] {
        // A division within a plan: the plan, the home classes and the teaching classes.
        WriteWorkbook(*files_, FilePath(fileName),
            division_.choiceDivision() ? ChoiceWorkbookTables(MakeChoiceTables(division_)) : WorkbookOutput(division_));
    });
}

void TForm1::actExportPdfExecute()
{
    if (!HasDivision(division_.state())) {
        TellNoDivision(this);
        return;
    }
    std::vector<OutputTable> tables;
    TablePictures pictures;
    if (!ChoosePrintedTables(tables, pictures))
        return;
    const QString proposed = tables.size() == 1 ? QString::fromStdString(tables[0].name) + QStringLiteral("名单.pdf")
                                                : QStringLiteral("班级名单.pdf");
    const QString fileName = ExportFileName(QStringLiteral("导出PDF"), QStringLiteral("PDF 文件 (*.pdf)"),
        QStringLiteral("pdf"), QStringLiteral("PdfDialog"), proposed);
    if (fileName.isEmpty())
        return;
    ToldFailure(this, [&] { WriteTablesPdf(*files_, FilePath(fileName), tables, pictures); });
}

void TForm1::actPrintExecute()
{
    if (!HasDivision(division_.state())) {
        TellNoDivision(this);
        return;
    }
    std::vector<OutputTable> tables;
    TablePictures pictures;
    if (!ChoosePrintedTables(tables, pictures))
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(ClassListPageLayout());
    printer.setDocName(QStringLiteral("班级名单"));
    if (!CurrentDialogs().choosePrinter(this, printer))
        return;
    ToldFailure(this, [&] { PaintTables(printer, tables, pictures); });
}

// With a class listed, 打印 and 导出PDF ask whether all classes or that one
// go out; otherwise all of them (the averages, the balance report with its
// pictures, the record) do.
bool TForm1::ChoosePrintedTables(std::vector<OutputTable>& tables, TablePictures& pictures)
{
    if (division_.choiceDivision() != nullptr) { // the plan, the home classes and the teaching classes
        tables = ChoicePrintedTables(MakeChoiceTables(division_));
        pictures.clear();
        return true;
    }
    const int shown = division_.view().FShownClass;
    if (division_.view().tableShown || shown < 0
        || static_cast<std::size_t>(shown) >= division_.state().FClasses.size()) {
        tables = PrintedOutput(division_, BalanceOutputPictures(division_), pictures);
        return true;
    }
    Question question;
    question.title = ProductName();
    question.text = QStringLiteral("要全部班级的名单，还是只要当前列出的第 %1 班？").arg(shown + 1);
    question.buttons = QMessageBox::YesToAll | QMessageBox::Yes | QMessageBox::Cancel;
    question.buttonTexts = {{QMessageBox::YesToAll, QStringLiteral("全部班级")},
        {QMessageBox::Yes, QStringLiteral("当前班级")}, {QMessageBox::Cancel, QStringLiteral("取消")}};
    question.defaultButton = QMessageBox::YesToAll;
    question.escapeButton = QMessageBox::Cancel;
    switch (CurrentDialogs().ask(this, question)) {
    case QMessageBox::YesToAll:
        tables = PrintedOutput(division_, BalanceOutputPictures(division_), pictures);
        return true;
    case QMessageBox::Yes:
        tables = {std::move(DivisionOutput(division_).classes[static_cast<std::size_t>(shown)])};
        return true;
    default:
        return false;
    }
}
