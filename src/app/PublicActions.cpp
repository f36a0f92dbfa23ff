// Dividing in public: 公开分班 with a seed drawn in public, the posted lists,
// checking a division file, the record (操作记录), the class teachers' draw,
// and the fingerprints in the status bar.
#include "app/ActionHelpers.h"
#include "app/PublicDialogs.h"
#include "app/SessionActions.h"
#include "app/Unit1.h"
#include "audit/PublicSeed.h"
#include "audit/TeacherDraw.h"
#include "cli/PublicRun.h"
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

std::string FileNameText(const QString& fileName)
{
    return QFileInfo(fileName).fileName().toStdString();
}

// The class (1..N, 0 none) of each record as the snapshot's lists hold it.
std::vector<int> ClassesOf(const Snapshot& snapshot)
{
    std::vector<int> classes(snapshot.studentCount(), 0);
    for (std::size_t c = 0; c < snapshot.classes.size(); ++c)
        for (const std::uint32_t i : *snapshot.classes[c])
            if (i < classes.size())
                classes[i] = static_cast<int>(c) + 1;
    return classes;
}

// The two classes a press exchanged students between (0, 0 when not two).
std::pair<int, int> ExchangedClasses(const std::vector<int>& before, const std::vector<int>& after)
{
    std::vector<int> classes;
    for (std::size_t i = 0; i < before.size() && i < after.size(); ++i)
        if (before[i] != after[i])
            for (const int c : {before[i], after[i]})
                if (std::find(classes.begin(), classes.end(), c) == classes.end())
                    classes.push_back(c);
    std::sort(classes.begin(), classes.end());
    return classes.size() == 2 ? std::pair(classes[0], classes[1]) : std::pair(0, 0);
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
        auto* action = new QAction(text, this);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, Guarded(this, handler));
        menu->addAction(action);
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

int TForm1::DivisionBands() const
{
    return division_.settings().rankBands; // 分数段, which 一键均衡 keeps too
}

void TForm1::ShowFingerprints()
{
    auto* label = findChild<QLabel*>(QStringLiteral("lblFingerprint"));
    if (label == nullptr)
        return;
    QStringList shown;
    QStringList whole;
    if (division_.hasRoster()) {
        const std::string input = division_.inputFingerprint(DivisionBands());
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

void TForm1::NoteStep(const std::string& name, const Snapshot& previous, const Snapshot& after)
{
    const int classCount = division_.classCount();
    const int students = static_cast<int>(division_.state().Records.size());
    const auto result = [this] { return division_.resultFingerprint(); };
    const std::optional<RecordKind> kind = RecordKindOfStep(name);
    if (!kind)
        return;
    switch (*kind) {
    case RecordKind::Read:
    case RecordKind::Open:
        if (!division_.hasRoster())
            return; // a cell that does not convert: no roster to record
        division_.setPublicState({}); // new work: its own record, no seed, no teachers
        division_.note(*kind,
            *kind == RecordKind::Read
                ? ReadRecordText(students, classCount, division_.inputFingerprint(DivisionBands()))
                : OpenRecordText(
                    FileNameText(openedFile_), students, classCount, division_.inputFingerprint(DivisionBands())));
        return;
    case RecordKind::ClassCount:
        division_.note(*kind, ClassCountRecordText(classCount));
        return;
    case RecordKind::Assign:
        division_.note(*kind, AssignRecordText(classCount, result()));
        return;
    case RecordKind::Adjust: {
        const auto [classA, classB] = ExchangedClasses(ClassesOf(previous), ClassesOf(after));
        const Settings& settings = division_.settings();
        const std::string subject
            = settings.subject >= 0 && static_cast<std::size_t>(settings.subject) < settings.subjectNames.size()
            ? settings.subjectNames[static_cast<std::size_t>(settings.subject)]
            : std::string();
        division_.note(*kind, AdjustRecordText(classA, classB, subject, result()));
        return;
    }
    case RecordKind::BalanceAll:
        // The button's 一键均衡: the default seed, the bands of 分数段.
        division_.setBalanceSeed(std::string(DefaultSeedText), division_.settings().rankBands);
        division_.note(*kind, BalanceAllRecordText(DefaultSeedText, division_.settings().rankBands, result()));
        return;
    case RecordKind::Move: {
        const std::vector<int> before = ClassesOf(previous);
        const std::vector<int> now = ClassesOf(after);
        for (std::size_t i = 0; i < before.size() && i < now.size(); ++i)
            if (before[i] != now[i])
                division_.note(
                    *kind, MoveRecordText(Gb18030ToUtf8(division_.state().Records[i]->Name), before[i], now[i]));
        return;
    }
    default:
        return;
    }
}

void TForm1::NoteOpenedDivision(const QString& fileName)
{
    division_.note(RecordKind::Open,
        OpenRecordText(FileNameText(fileName), static_cast<int>(division_.state().Records.size()),
            division_.classCount(), division_.inputFingerprint(DivisionBands())));
}

void TForm1::NoteHistoryStep(RecordKind kind, const std::string& menuText)
{
    const std::string verb = kind == RecordKind::Undo ? "撤销 " : "重做 ";
    const std::string step = menuText.starts_with(verb) ? menuText.substr(verb.size()) : std::string();
    division_.note(kind, kind == RecordKind::Undo ? UndoRecordText(step) : RedoRecordText(step));
}

void TForm1::KeepRecordInSession()
{
    FSession->setFileMembers(PublicDivisionJson(division_.publicState()));
}

void TForm1::RecoverRecord(const QJsonObject& whole)
{
    try {
        division_.setPublicState(ReadPublicDivision(whole));
    } catch (const Failure&) {
        division_.setPublicState({}); // the work is what matters; its record was damaged
    }
    KeepRecordInSession();
}

void TForm1::SaveDivisionFile(const QString& fileName)
{
    // The file holds its own save as the record's last entry; the document
    // takes that record once the file is written.
    PublicDivision kept = division_.publicState();
    kept.record.add(RecordKind::Save, SaveRecordText(FileNameText(fileName), division_.resultFingerprint()));
    const QJsonObject members = PublicDivisionJson(kept);
    FSession->save(FilePath(fileName), LiveSnapshot(), members);
    division_.setPublicState(std::move(kept));
    FSession->setFileMembers(members);
}

void TForm1::actPublicDivisionExecute()
{
    if (!division_.hasRoster()) {
        CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(), QStringLiteral("请先读入数据。"));
        return;
    }
    const int classCount = division_.classCount();
    PublicDivisionDialog dialog(this, division_.inputFingerprint(DivisionBands()), classCount);
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    const std::string seedText = dialog.seedText();
    const std::vector<std::string> listed = ParseTeacherList(dialog.teacherText());
    const DivisionOptions options = division_.options(DivisionBands());
    bool divided = false;
    runStep("公开分班", [&] {
        const RosterSource source = division_.source();
        DivisionState state;
        std::optional<QString> problem;
        bool ended = false;
        try {
            ended = RunWithProgress([&](const OptimiseControl& control) {
                OptimiseControl seeded = control;
                seeded.seed = SeedOfText(seedText);
                state = DivideInPublic(source, options, seeded);
            });
        } catch (const DivisionInputError& error) {
            problem = QString::fromUtf8(error.what());
        } catch (const RuleValueError& error) {
            problem = QString::fromUtf8(error.what());
        }
        if (problem) {
            CurrentDialogs().showMessage(this, QMessageBox::Warning, ProductName(), *problem);
            return;
        }
        if (!ended)
            return; // stopped: a division in public runs to its end, or nothing changes
        division_.applyDivided(std::move(state));
        division_.setBalanceSeed(seedText, options.bands);
        // Recorded even when the division is the one already there (no step to undo then).
        division_.note(
            RecordKind::BalanceAll, PublicDivisionRecordText(seedText, options.bands, division_.resultFingerprint()));
        if (!listed.empty()) {
            const std::vector<std::string> drawn = DrawTeachers(listed, classCount, SeedOfText(seedText));
            division_.setTeachers(drawn, true);
            division_.note(RecordKind::TeacherDraw, TeacherRecordText(drawn, seedText));
        }
        divided = true;
    });
    if (!divided)
        return;
    KeepRecordInSession(); // when the division was the one already there
    const std::string result = division_.resultFingerprint();
    ShowSessionState();
    CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(),
        QStringLiteral("公开分班完成。\n种子：%1\n结果指纹：%2\n%3")
            .arg(Text(seedText), Text(ShortFingerprint(result)), Text(result)));
}

void TForm1::actTeacherDrawExecute()
{
    if (!division_.hasRoster()) {
        CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(), QStringLiteral("请先读入数据。"));
        return;
    }
    const int classCount = division_.classCount();
    const PublicDivision& kept = division_.publicState();
    TeacherDrawDialog dialog(this, kept.teachers, kept.seedText, classCount);
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    std::vector<std::string> teachers;
    std::string seedText;
    try {
        const std::vector<std::string> listed = ParseTeacherList(dialog.listText());
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
    division_.setTeachers(teachers, !dialog.byHand());
    division_.note(RecordKind::TeacherDraw, TeacherRecordText(teachers, seedText));
    FSession->markChanged(); // the teachers go into the file, which asks to be saved now
    KeepRecordInSession();
    ShowSessionState();
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
            = NoticeTables(division_.state(), division_.publicState().teachers, options);
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
    if (ToldFailure(this, [&] { check = ReadDivisionFileCheck(FilePath(fileName), recorded, redone); }))
        return;
    bool ended = false;
    try {
        ended
            = RunWithProgress([&](const OptimiseControl& control) { RedoDivision(redone, check, control, &recorded); });
    } catch (const DivisionInputError& error) {
        CurrentDialogs().showMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(error.what()));
        return;
    } catch (const RuleValueError& error) {
        CurrentDialogs().showMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(error.what()));
        return;
    }
    if (!ended)
        return;
    const QString file = QFileInfo(fileName).fileName();
    if (check.matches()) {
        CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(),
            QStringLiteral("核验一致：按“%1”中的名单、分班数、选项和种子 %2 重做，结果相同。\n结果指纹：%3")
                .arg(file, Text(check.seedText), Text(check.redone)));
        return;
    }
    QString text = QStringLiteral("核验不一致：按“%1”中的名单、分班数、选项和种子 %2 重做，结果不同。\n"
                                  "重做的结果指纹：%3\n文件中的结果指纹：%4")
                       .arg(file, Text(check.seedText), Text(check.redone), Text(check.expected));
    if (!check.differences.empty()) {
        text += QStringLiteral("\n\n最先不同的学生：");
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
