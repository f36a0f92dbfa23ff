// Dividing in public: 公开分班 with a seed drawn in public, the posted lists,
// checking a division file, the record (操作记录), the class teachers' draw,
// and the fingerprints in the status bar.
#include "app/ActionHelpers.h"
#include "app/PublicDialogs.h"
#include "app/SessionActions.h"
#include "app/Unit1.h"
#include "audit/PublicSeed.h"
#include "audit/TeacherDraw.h"
#include "choice/DivideWithinPlan.h"
#include "document/PublicRun.h"
#include "document/Workbench.h"
#include "io/PublicOutputs.h"
#include "roster/Gb18030.h"
#include "rules/RuleBuilder.h"
#include "session/DivisionFile.h"
#include "session/Session.h"

#include <QCheckBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

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

// 班主任抽签…: the teachers one a line, drawn with the seed or set in list order.
class TeacherDrawDialog final : public QDialog {
public:
    TeacherDrawDialog(
        QWidget* parent, const std::vector<std::string>& teachers, const std::string& seedText, int classCount)
        : QDialog(parent)
    {
        setObjectName(QStringLiteral("dlgTeacherDraw"));
        setWindowTitle(QStringLiteral("班主任抽签"));
        QString listed;
        for (const std::string& teacher : teachers)
            listed += Text(teacher) + QLatin1Char('\n');
        edtTeacherList = new QPlainTextEdit(listed, this);
        edtTeacherList->setObjectName(QStringLiteral("edtTeacherList"));
        edtTeacherList->setPlaceholderText(QStringLiteral("一行一位，共 %1 位；可从表格粘贴").arg(classCount));
        edtTeacherSeed = new QLineEdit(Text(seedText), this);
        edtTeacherSeed->setObjectName(QStringLiteral("edtTeacherSeed"));
        edtTeacherSeed->setPlaceholderText(QStringLiteral("当众抽取的数字"));
        chkTeachersByHand = new QCheckBox(QStringLiteral("不抽签，按名单顺序依次为 1 班、2 班……"), this);
        chkTeachersByHand->setObjectName(QStringLiteral("chkTeachersByHand"));
        auto* form = new QFormLayout;
        form->addRow(QStringLiteral("班主任："), edtTeacherList);
        form->addRow(QStringLiteral("种子："), edtTeacherSeed);
        form->addRow(chkTeachersByHand);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
        buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addWidget(buttons);
    }

    std::string listText() const { return edtTeacherList->toPlainText().toStdString(); }
    std::string seedText() const { return edtTeacherSeed->text().toStdString(); }
    bool byHand() const { return chkTeachersByHand->isChecked(); }

private:
    QPlainTextEdit* edtTeacherList = nullptr;
    QLineEdit* edtTeacherSeed = nullptr;
    QCheckBox* chkTeachersByHand = nullptr;
};

} // namespace

void TForm1::CreatePublicActions()
{
    QMenu* const menu = menuBar()->addMenu(QStringLiteral("公开分班(&G)"));
    menu->setObjectName(QStringLiteral("mnuPublic"));
    const auto add = [this, menu](const char* name, const QString& text, void (TForm1::*handler)()) {
        AddMenuAction(menu, name, text, handler);
    };
    add("actPublicDivision", QStringLiteral("公开分班…"), &TForm1::actPublicDivisionExecute);
    add("actTeacherDraw", QStringLiteral("班主任抽签…"), &TForm1::actTeacherDrawExecute);
    menu->addSeparator();
    add("actExportNotice", QStringLiteral("导出公示名单…"), &TForm1::actExportNoticeExecute);
    add("actCheckDivision", QStringLiteral("核验分班…"), &TForm1::actCheckDivisionExecute);
    add("actRecord", QStringLiteral("操作记录…"), &TForm1::actRecordExecute);

    auto* fingerprint = new QLabel(statusBar());
    fingerprint->setObjectName(QStringLiteral("lblFingerprint"));
    fingerprint->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addPermanentWidget(fingerprint);
}

void TForm1::ShowFingerprints()
{
    auto* label = findChild<QLabel*>(QStringLiteral("lblFingerprint"));
    if (label == nullptr)
        return;
    QStringList shown;
    QStringList whole;
    if (division_.hasRoster()) {
        const std::string input = division_.inputFingerprint();
        shown << QStringLiteral("输入指纹 %1").arg(Text(ShortFingerprint(input)));
        whole << QStringLiteral("输入指纹：%1").arg(Text(input));
        if (HasDivision(division_.state())) {
            const std::string result = division_.resultFingerprint();
            shown << QStringLiteral("结果指纹 %1").arg(Text(ShortFingerprint(result)));
            whole << QStringLiteral("结果指纹：%1").arg(Text(result));
        }
    }
    label->setText(shown.join(QStringLiteral("　")));
    label->setToolTip(whole.join(QLatin1Char('\n')));
}

bool TForm1::MayChangePublicResult(const QString& step)
{
    if (!division_.showsPublicResult())
        return true;
    Question question;
    question.icon = QMessageBox::Warning;
    question.title = ProductName();
    question.text
        = QStringLiteral("现在的分班是公开分班的结果（结果指纹 %1）。%2会改动它，改动后须重新公示。要继续吗？")
              .arg(Text(ShortFingerprint(division_.resultFingerprint())), step);
    question.buttons = QMessageBox::Yes | QMessageBox::Cancel;
    question.buttonTexts = {{QMessageBox::Yes, QStringLiteral("继续")}, {QMessageBox::Cancel, QStringLiteral("取消")}};
    question.defaultButton = QMessageBox::Cancel;
    question.escapeButton = QMessageBox::Cancel;
    return CurrentDialogs().ask(this, question) == QMessageBox::Yes;
}

void TForm1::actPublicDivisionExecute()
{
    if (!division_.hasRoster()) {
        CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(), QStringLiteral("请先读入数据。"));
        return;
    }
    PublicDivisionDialog dialog(this, division_.options(),
        [this](const DivisionOptions& chosen) { return division_.inputFingerprint(chosen); });
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    DivisionState divided;
    PublicRequest request;
    bool ended = false;
    if (!TookInput(this,
            [&] {
                request
                    = work_.preparePublic(dialog.options(), dialog.seedText(), ParseTeacherList(dialog.teacherText()));
                ended = RunWithProgress(
                    [&](const OptimiseControl& control) { divided = RunPublicDivision(request, control); });
            })
        || !ended)
        return; // stopped: a division in public runs to its end, or nothing changes
    work_.finishPublic(request, std::move(divided));
    const std::string result = division_.resultFingerprint();
    CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(),
        QStringLiteral("公开分班完成。\n种子：%1\n结果指纹：%2\n%3")
            .arg(Text(request.seedText), Text(ShortFingerprint(result)), Text(result)));
}

void TForm1::actTeacherDrawExecute()
{
    if (!division_.hasRoster()) {
        CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(), QStringLiteral("请先读入数据。"));
        return;
    }
    const int classCount = division_.classCount();
    const PublicDivision& kept = division_.publicState();
    // Every draw starts from the list as entered (older files kept only the teachers as drawn).
    TeacherDrawDialog dialog(
        this, kept.teacherList.empty() ? kept.teachers : kept.teacherList, kept.seedText, classCount);
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    std::vector<std::string> listed;
    std::vector<std::string> teachers;
    std::string seedText;
    try {
        listed = ParseTeacherList(dialog.listText());
        if (dialog.byHand()) {
            teachers = SetTeachers(listed, classCount);
        } else {
            seedText = NormalSeedText(dialog.seedText());
            teachers = DrawTeachers(listed, classCount, SeedOfText(seedText));
        }
    } catch (const Failure& problem) {
        CurrentDialogs().showMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(problem.what()));
        return;
    }
    work_.setTeachers(std::move(listed), std::move(teachers), seedText);
}

void TForm1::actExportNoticeExecute()
{
    if (!HasDivision(division_.state())) {
        TellNoDivision(this);
        return;
    }
    NoticeOptions initial;
    initial.resultFingerprint = division_.resultFingerprint();
    initial.seedText = division_.publicState().seedText;
    initial.date = QDate::currentDate();
    initial.extraColumns = DefaultPostedColumns(division_.state().ExtraTexts);
    NoticeDialog dialog(this, initial, division_.state().ExtraTexts.headers);
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    const NoticeOptions options = dialog.options();
    const QString fileName
        = ExportFileName(QStringLiteral("导出公示名单"), QStringLiteral("PDF 文件 (*.pdf);;Excel 工作簿 (*.xlsx)"),
            QStringLiteral("pdf"), QStringLiteral("NoticeDialog"), QStringLiteral("公示名单.pdf"));
    if (fileName.isEmpty())
        return;
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix != QLatin1String("pdf") && suffix != QLatin1String("xlsx")) {
        CurrentDialogs().showMessage(
            this, QMessageBox::Warning, ProductName(), QStringLiteral("公示名单只能导出为 .pdf 或 .xlsx 文件。"));
        return;
    }
    ToldFailure(this, [&] {
        const std::vector<OutputTable> tables
            = NoticeTables(division_.state(), division_.publicState().teachers, options, division_.names());
        if (suffix == QLatin1String("pdf"))
            WriteNoticePdf(*files_, FilePath(fileName), tables, options);
        else
            WriteNoticeWorkbook(*files_, FilePath(fileName), tables, options);
    });
}

void TForm1::actCheckDivisionExecute()
{
    FileRequest request;
    request.caption = QStringLiteral("核验分班");
    request.filter = DivisionFileFilter();
    request.objectName = QStringLiteral("CheckDivisionDialog");
    request.start = lastFolder_;
    const QString fileName = CurrentDialogs().openFileName(this, request);
    if (fileName.isEmpty())
        return;
    DivisionState recorded;
    DivisionState redone;
    DivisionCheck check;
    std::optional<PlanDivision> plan; // a 选科分班's file is redone within its plan
    if (ToldFailure(this, [&] {
            check = ReadDivisionFileCheck(FilePath(fileName), recorded, redone);
            plan = ReadChoiceCheck(FilePath(fileName), recorded, redone, check);
        }))
        return;
    bool ended = false;
    if (!TookInput(this,
            [&] {
                ended = RunWithProgress([&](const OptimiseControl& control) {
                    if (plan)
                        RedoChoiceDivision(redone, check, *plan, control, &recorded);
                    else
                        RedoDivision(redone, check, control, &recorded);
                });
            })
        || !ended)
        return;
    const QString file = QFileInfo(fileName).fileName();
    // Said first when the file's input fingerprint was taken by another version.
    const QString version = check.otherVersion.empty() ? QString() : Text(check.otherVersion) + QStringLiteral("\n\n");
    const QString replayed = check.after == nullptr
        ? QString()
        : QStringLiteral("并按记录依次重演 %1 条变更（插班、转出、调班申请），").arg(check.replayed);
    if (check.matches()) {
        CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(),
            version
                + QStringLiteral("核验一致：按“%1”中的名单、分班数、选项和种子 %2 重做，%3结果相同。\n结果指纹：%4")
                      .arg(file, Text(check.seedText), replayed, Text(check.redone)));
        return;
    }
    if (!check.changeFailure.empty()) {
        CurrentDialogs().showMessage(this, QMessageBox::Warning, ProductName(),
            version
                + QStringLiteral("核验不一致：按“%1”中的种子 %2 重做了分班，但%3。")
                      .arg(file, Text(check.seedText), Text(check.changeFailure)));
        return;
    }
    QString text = version
        + QStringLiteral("核验不一致：按“%1”中的名单、分班数、选项和种子 %2 重做，结果不同。\n"
                         "重做的结果指纹：%3\n文件中的结果指纹：%4")
              .arg(file, Text(check.seedText), Text(check.redone), Text(check.expected));
    if (!check.differences.empty()) {
        text += QStringLiteral("\n\n%1。\n最先不同的学生：").arg(Text(DifferenceSummary(check)));
        for (const std::string& line : check.differences)
            text += QLatin1Char('\n') + Text(line);
    }
    CurrentDialogs().showMessage(this, QMessageBox::Warning, ProductName(), text);
}

void TForm1::actRecordExecute()
{
    RecordDialog dialog(this, division_.publicState().record);
    CurrentDialogs().runDialog(dialog);
}
