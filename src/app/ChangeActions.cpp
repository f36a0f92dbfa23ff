#include "app/ActionHelpers.h"
#include "app/ChangeDialogs.h"
#include "app/PublicDialogs.h"
#include "app/SessionActions.h"
#include "app/Unit1.h"
#include "document/AfterChanges.h"
#include "document/Workbench.h"
#include "io/PublicOutputs.h"
#include "io/TableFile.h"
#include "io/TableLayout.h"
#include "outputs/DivisionOutputs.h"

#include <QDate>
#include <QFileInfo>
#include <QLocale>
#include <QMenuBar>

using namespace fenban;

namespace {

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

std::filesystem::path FilePath(const QString& fileName)
{
    return std::filesystem::path(fileName.toStdU16String());
}

} // namespace

void TForm1::CreateChangeActions()
{
    QMenu* const menu = menuBar()->addMenu(QStringLiteral("变更(&C)"));
    menu->setObjectName(QStringLiteral("mnuChanges"));
    const auto add = [this, menu](const char* name, const QString& text, void (TForm1::*handler)()) {
        AddMenuAction(menu, name, text, handler);
    };
    add("actAddStudents", QStringLiteral("新增学生…"), &TForm1::actAddStudentsExecute);
    add("actRemoveStudent", QStringLiteral("学生转出…"), &TForm1::actRemoveStudentExecute);
    add("actRequestMove", QStringLiteral("调班申请…"), &TForm1::actRequestMoveExecute);
    menu->addSeparator();
    add("actExportChanges", QStringLiteral("变更公示…"), &TForm1::actExportChangesExecute);
}

void TForm1::actAddStudentsExecute()
{
    if (!HasDivision(division_.state())) {
        TellNoDivision(this);
        return;
    }
    AddStudentsDialog dialog(this, division_);
    connect(&dialog, &AddStudentsDialog::fileWanted, this, [this, &dialog] {
        FileRequest request;
        request.caption = QStringLiteral("读入新学生");
        request.filter = QStringLiteral("表格文件 (*.xlsx *.xls *.csv *.tsv *.txt)");
        request.objectName = QStringLiteral("AddStudentsFileDialog");
        request.start = lastFolder_;
        const QString fileName = CurrentDialogs().openFileName(&dialog, request);
        if (fileName.isEmpty())
            return;
        ToldFailure(&dialog, [&] {
            const std::string separator = QLocale().decimalPoint().toStdString();
            const ProposedImport imported
                = ImportAsProposed(ReadSheetsToOpen(std::filesystem::path(fileName.toStdU16String())), separator);
            dialog.setRows(TypedRowsOf(division_, imported.table));
        });
    });
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    if (const std::vector<std::string> same = dialog.sameNames(); !same.empty()) {
        QStringList names;
        for (const std::string& name : same)
            names << Text(name);
        Question question;
        question.icon = QMessageBox::Question;
        question.title = ProductName();
        question.text = QStringLiteral("年级中已有同名学生：%1。\n仍作为不同的学生加入吗？")
                            .arg(names.join(QStringLiteral("、")));
        question.buttons = QMessageBox::Yes | QMessageBox::Cancel;
        question.buttonTexts
            = {{QMessageBox::Yes, QStringLiteral("加入")}, {QMessageBox::Cancel, QStringLiteral("取消")}};
        question.defaultButton = QMessageBox::Yes;
        question.escapeButton = QMessageBox::Cancel;
        if (CurrentDialogs().ask(this, question) != QMessageBox::Yes)
            return;
    }
    work_.applyChange(StepKind::AddStudents, dialog.entry());
}

void TForm1::actRemoveStudentExecute()
{
    if (!HasDivision(division_.state())) {
        TellNoDivision(this);
        return;
    }
    RemoveStudentDialog dialog(this, division_);
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    work_.applyChange(StepKind::RemoveStudent, dialog.entry());
}

void TForm1::actRequestMoveExecute()
{
    if (!HasDivision(division_.state())) {
        TellNoDivision(this);
        return;
    }
    RequestMoveDialog dialog(this, division_);
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    work_.applyChange(StepKind::RequestMove, dialog.entry());
}

void TForm1::actExportChangesExecute()
{
    if (division_.after() == nullptr || division_.after()->changes.empty()) {
        CurrentDialogs().showMessage(
            this, QMessageBox::Information, ProductName(), QStringLiteral("分班后还没有插班、转出或调班申请。"));
        return;
    }
    NoticeOptions initial;
    initial.heading = "分班变更公示";
    initial.date = QDate::currentDate();
    NoticeDialog dialog(this, initial);
    dialog.setWindowTitle(QStringLiteral("变更公示"));
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    NoticeOptions options = dialog.options();
    const QString fileName
        = ExportFileName(QStringLiteral("导出变更公示"), QStringLiteral("PDF 文件 (*.pdf);;Excel 工作簿 (*.xlsx)"),
            QStringLiteral("pdf"), QStringLiteral("ChangesDialog"), QStringLiteral("变更公示.pdf"));
    if (fileName.isEmpty())
        return;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix != QLatin1String("pdf") && suffix != QLatin1String("xlsx")) {
        CurrentDialogs().showMessage(
            this, QMessageBox::Warning, ProductName(), QStringLiteral("变更公示只能导出为 .pdf 或 .xlsx 文件。"));
        return;
    }
    ToldFailure(this, [&] {
        const std::vector<OutputTable> tables {ChangeNoticeOutput(division_, options)};
        if (suffix == QLatin1String("pdf"))
            WriteNoticePdf(*files_, FilePath(fileName), tables, options);
        else
            WriteNoticeWorkbook(*files_, FilePath(fileName), tables, options);
    });
}
