// Dividing in public through the window, its dialogs answered from a script:
// 公开分班 gives the division `fenban divide` gives for the same table and
// seed (on 1 and 2 threads) and each opens the other's file alike; the
// record and the teachers survive save and open; 核验分班 finds one student
// moved by hand; the posted lists, read back, hold no score and mask as chosen.
#include "AuditTestKit.h"
#include "OutputReaders.h"
#include "WindowDriver.h"
#include "app/SessionActions.h"
#include "audit/PublicDivision.h"
#include "audit/PublicSeed.h"
#include "common/Version.h"
#include "engine/Division.h"
#include "roster/Gb18030.h"
#include "session/DivisionFile.h"
#include "session/Session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace fenban;
using namespace fenban::audittest;

namespace {

const QString Seed = QStringLiteral("31415926");
const QString Teachers = QStringLiteral("王芳\n李强\n司马相如\n");
constexpr int Students = 60;

// Answers 公开分班's dialog with the seed (and the teachers), and presses OK.
void AnswerPublicDivision(testkit::ScriptedDialogs& dialogs, const QString& seed, const QString& teachers)
{
    dialogs.answerDialog([seed, teachers](QDialog& dialog) {
        if (dialog.objectName() != QStringLiteral("dlgPublicDivision"))
            return int(QDialog::Rejected);
        dialog.findChild<QLineEdit*>(QStringLiteral("edtSeed"))->setText(seed);
        dialog.findChild<QPlainTextEdit*>(QStringLiteral("edtTeachers"))->setPlainText(teachers);
        return int(QDialog::Accepted);
    });
}

// The record's texts, oldest first.
QStringList RecordTexts(const Division& division)
{
    QStringList texts;
    for (const RecordEntry& entry : division.publicState().record.entries())
        texts << QString::fromStdString(entry.text);
    return texts;
}

} // namespace

class PublicWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void publicDivisionIsTheCommandLines();
    void recordAndTeachersSurviveSaveAndOpen();
    void checkFindsOneMovedStudent();
    void postedListsHoldNoScores();
    void teacherDrawRepeats();
    void dialogTakesEveryParameter();
    void changesAfterThePublicDivision();

private:
    QString path(const QString& name) const { return folder_.filePath(name); }
    // The window after 打开 of the table, 3 classes and 公开分班 with the seed and teachers.
    void divideInPublic(testkit::WindowDriver& w);

    QTemporaryDir folder_;
    TableRows table_ = Grade(Students);
    QString tableFile_;
};

void PublicWindow::initTestCase()
{
    QVERIFY(folder_.isValid());
    tableFile_ = WriteTsv(table_, path(QStringLiteral("初一.tsv")));
    QVERIFY(!tableFile_.isEmpty());
}

void PublicWindow::divideInPublic(testkit::WindowDriver& w)
{
    QVERIFY(w.trigger("actOpen", tableFile_).isEmpty());
    w.run([&] { w.control<QSpinBox>("SpinEdit1")->setValue(3); });
    AnswerPublicDivision(w.dialogs, Seed, Teachers);
    const QList<testkit::SeenBox> boxes = w.trigger("actPublicDivision");
    QCOMPARE(w.dialogs.dialogsShown().count(QStringLiteral("dlgPublicDivision")), qsizetype(1));
    QCOMPARE(boxes.size(), qsizetype(1));
    QVERIFY(boxes[0].text.startsWith(QStringLiteral("公开分班完成。")));
    QVERIFY(boxes[0].text.contains(QString::fromStdString(w.window.division().resultFingerprint())));
}

void PublicWindow::publicDivisionIsTheCommandLines()
{
    testkit::WindowDriver w;
    divideInPublic(w);
    const Division& division = w.window.division();
    const std::string input = division.inputFingerprint();
    const std::string result = division.resultFingerprint();

    QStringList cli;
    for (const int threads : {1, 2}) {
        const QString out = path(QStringLiteral("命令行-%1.fenban").arg(threads));
        const CliRun run = RunProgram(QStringLiteral(FENBAN_CLI),
            {QStringLiteral("divide"), tableFile_, QStringLiteral("--classes"), QStringLiteral("3"),
                QStringLiteral("--seed"), Seed, QStringLiteral("--threads"), QString::number(threads),
                QStringLiteral("--out"), out});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        QCOMPARE(run.out.value(0), QString::fromStdString(input));
        QCOMPARE(run.out.value(1), QString::fromStdString(result));
        cli << out;
    }
    // The recovery file, written after every step, carries the record too.
    w.window.flushRecovery();
    bool recovered = false;
    for (const QFileInfo& file : QDir(RecoveryFolder()).entryInfoList({QStringLiteral("recovery-*.fenban")})) {
        QJsonObject whole;
        ReadDivisionFile(file.filesystemFilePath(), &whole);
        recovered = recovered || ReadPublicDivision(whole) == division.publicState();
    }
    QVERIFY(recovered);
    // fenban check of the command line's file redoes it alike.
    const CliRun check = RunProgram(QStringLiteral(FENBAN_CLI), {QStringLiteral("check"), cli[1]});
    QVERIFY2(check.code == 0, qPrintable(check.err));
    // The status bar names both, short.
    const QString status = w.control<QLabel>("lblFingerprint")->text();
    QVERIFY2(status.contains(QString::fromStdString(ShortFingerprint(input))), qPrintable(status));
    QVERIFY2(status.contains(QString::fromStdString(ShortFingerprint(result))), qPrintable(status));
    const QStringList record = RecordTexts(division);
    QVERIFY(record.last().startsWith(QStringLiteral("班主任抽签：种子 31415926；1班 ")));
    QVERIFY(record[record.size() - 2].contains(QString::fromStdString(result)));

    { // The command line's file opens in the window with that division and its record.
        testkit::WindowDriver opened;
        QVERIFY(opened.trigger("actOpen", cli[0]).isEmpty());
        QCOMPARE(opened.window.division().resultFingerprint(), result);
        QVERIFY(opened.control<QLabel>("lblFingerprint")
                    ->text()
                    .contains(QString::fromStdString(ShortFingerprint(result))));
        const PublicDivision& kept = opened.window.division().publicState();
        QCOMPARE(QString::fromStdString(kept.seedText), Seed);
        QCOMPARE(kept.bands, DefaultPublicBands);
        QVERIFY(RecordTexts(opened.window.division()).join(QLatin1Char('\n')).contains(QStringLiteral("公开分班")));
    } // its scripted dialogs go with it

    // Another seed, another division of the same input; undo gives the first
    // back, and the record keeps both runs and the undo.
    AnswerPublicDivision(w.dialogs, QStringLiteral("27"), {});
    w.trigger("actPublicDivision");
    QCOMPARE(division.inputFingerprint(), input);
    QVERIFY(division.resultFingerprint() != result);
    const qsizetype entries = RecordTexts(division).size();
    QVERIFY(w.trigger("actUndo").isEmpty());
    QCOMPARE(division.resultFingerprint(), result);
    QCOMPARE(RecordTexts(division).size(), entries + 1);
    QCOMPARE(RecordTexts(division).last(), QStringLiteral("撤销 公开分班"));
}

void PublicWindow::recordAndTeachersSurviveSaveAndOpen()
{
    testkit::WindowDriver w;
    divideInPublic(w);
    const QString saved = path(QStringLiteral("公开.fenban"));
    QVERIFY(w.trigger("actSaveAs", saved).isEmpty());
    const PublicDivision before = w.window.division().publicState();
    QCOMPARE(before.record.entries().back().kind, RecordKind::Save);
    QCOMPARE(before.teachers.size(), std::size_t(3));

    testkit::WindowDriver again;
    QVERIFY(again.trigger("actOpen", saved).isEmpty());
    const PublicDivision after = again.window.division().publicState();
    QCOMPARE(after.teachers, before.teachers);
    QCOMPARE(after.seedText, before.seedText);
    // The file's record, then the open.
    QCOMPARE(after.record.entries().size(), before.record.entries().size() + 1);
    QVERIFY(std::equal(before.record.entries().begin(), before.record.entries().end(), after.record.entries().begin()));
    QCOMPARE(after.record.entries().back().kind, RecordKind::Open);
    QCOMPARE(again.window.division().resultFingerprint(), w.window.division().resultFingerprint());

    // The record dialog lists every entry; the printed lists end with it and name the teachers.
    again.dialogs.answerDialog([&](QDialog& dialog) {
        const auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tblRecord"));
        return table != nullptr && table->rowCount() == int(after.record.entries().size()) ? int(QDialog::Accepted)
                                                                                           : int(QDialog::Rejected);
    });
    again.trigger("actRecord");
    QCOMPARE(again.dialogs.dialogsShown().last(), QStringLiteral("dlgRecord"));
    // Teachers set by hand: in list order, recorded, and the work asks to be saved.
    QVERIFY(!again.window.session().modified());
    again.dialogs.answerDialog([](QDialog& dialog) {
        dialog.findChild<QPlainTextEdit*>(QStringLiteral("edtTeacherList"))->setPlainText(QStringLiteral("甲\n乙\n丙"));
        dialog.findChild<QCheckBox*>(QStringLiteral("chkTeachersByHand"))->setChecked(true);
        return int(QDialog::Accepted);
    });
    QVERIFY(again.trigger("actTeacherDraw").isEmpty());
    QCOMPARE(again.window.division().publicState().teachers, (std::vector<std::string> {"甲", "乙", "丙"}));
    QCOMPARE(RecordTexts(again.window.division()).last(), QStringLiteral("班主任（指定）：1班 甲，2班 乙，3班 丙"));
    QVERIFY(again.window.session().modified());
    const QString pdf = path(QStringLiteral("名单.pdf"));
    QVERIFY(again.trigger("actExportPdf", pdf).isEmpty());
    const QString text = testkit::PdfText(pdf);
    for (const QString& teacher : {QStringLiteral("甲"), QStringLiteral("乙"), QStringLiteral("丙")})
        QVERIFY(text.contains(QStringLiteral("班主任：") + teacher));
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QVERIFY(pages.last().contains(QStringLiteral("操作记录")) || pages.last().contains(QStringLiteral("公开分班")));
}

// Every draw starts from the list as entered: the dialog shows it so, the
// same seed gives the same teachers however often it is drawn, and a draw
// after a draw is recorded as one; the list goes into the file.
void PublicWindow::teacherDrawRepeats()
{
    testkit::WindowDriver w;
    divideInPublic(w);
    const std::vector<std::string> first = w.window.division().publicState().teachers;
    QStringList listsShown;
    for (int draw = 0; draw < 3; ++draw) {
        w.dialogs.answerDialog([&listsShown](QDialog& dialog) {
            listsShown << dialog.findChild<QPlainTextEdit*>(QStringLiteral("edtTeacherList"))->toPlainText();
            dialog.findChild<QLineEdit*>(QStringLiteral("edtTeacherSeed"))->setText(Seed);
            return int(QDialog::Accepted);
        });
        QVERIFY(w.trigger("actTeacherDraw").isEmpty());
        QCOMPARE(w.window.division().publicState().teachers, first);
        QVERIFY(RecordTexts(w.window.division()).last().startsWith(QStringLiteral("班主任重新抽签：种子 ") + Seed));
    }
    for (const QString& shown : listsShown)
        QCOMPARE(shown, Teachers);
    const QString saved = path(QStringLiteral("抽签.fenban"));
    QVERIFY(w.trigger("actSaveAs", saved).isEmpty());
    testkit::WindowDriver again;
    QVERIFY(again.trigger("actOpen", saved).isEmpty());
    QCOMPARE(
        again.window.division().publicState().teacherList, (std::vector<std::string> {"王芳", "李强", "司马相如"}));
}

// The dialog's class count, 分数段 and 同音姓名分班 make the division and its
// input fingerprint; the record's entry names them all and both
// fingerprints; 编班 over the public result asks, and 取消 leaves it.
void PublicWindow::dialogTakesEveryParameter()
{
    testkit::WindowDriver w;
    QVERIFY(w.trigger("actOpen", tableFile_).isEmpty());
    QString shown;
    w.dialogs.answerDialog([&shown](QDialog& dialog) {
        dialog.findChild<QSpinBox*>(QStringLiteral("speDivisionClasses"))->setValue(3);
        auto* bands = dialog.findChild<QComboBox*>(QStringLiteral("cmbDivisionBands"));
        bands->setCurrentIndex(bands->findData(5));
        dialog.findChild<QCheckBox*>(QStringLiteral("chkDivisionSoundAlike"))->setChecked(false);
        dialog.findChild<QLineEdit*>(QStringLiteral("edtSeed"))->setText(Seed);
        shown = dialog.findChild<QLabel*>(QStringLiteral("lblInputFingerprint"))->text();
        return int(QDialog::Accepted);
    });
    const QList<testkit::SeenBox> done = w.trigger("actPublicDivision");
    QVERIFY2(done.size() == 1 && done[0].text.startsWith(QStringLiteral("公开分班完成")),
        qPrintable(done.isEmpty() ? QString() : done[0].text));
    const Division& division = w.window.division();
    QCOMPARE(int(division.state().FClasses.size()), 3);
    QCOMPARE(division.settings().rankBands, 5);
    QVERIFY(!division.settings().soundAlike);
    // The window shows what the division took: its class count, tree, 分数段 and 同音 box.
    QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 3);
    QCOMPARE(w.control<QTreeWidget>("trvClassList")->topLevelItem(0)->childCount(), 3);
    QCOMPARE(w.control<QComboBox>("cmbBands")->currentData().toInt(), 5);
    QVERIFY(!w.control<QCheckBox>("chkSoundAlike")->isChecked());
    const std::string input = division.inputFingerprint();
    QCOMPARE(input, InputFingerprint(division.state(), {3, false, 5}));
    QVERIFY(shown.contains(QString::fromStdString(input))); // read out as the division takes it
    const QString entry = RecordTexts(division).last();
    for (const QString& part :
        {QStringLiteral("分 3 个班"), QStringLiteral("分数段 5"), QStringLiteral("同音姓名不必分班"),
            QStringLiteral("种子 ") + Seed, QStringLiteral("输入指纹 ") + QString::fromStdString(input),
            QStringLiteral("结果指纹 ") + QString::fromStdString(division.resultFingerprint())})
        QVERIFY2(entry.contains(part), qPrintable(entry));

    const std::string result = division.resultFingerprint();
    const QList<testkit::SeenBox> asked = w.click("BitBtn2");
    QCOMPARE(asked.size(), qsizetype(1));
    QVERIFY(asked[0].text.contains(QStringLiteral("编班会改动它")));
    QCOMPARE(division.resultFingerprint(), result);
    w.dialogs.answerQuestion(QMessageBox::Yes);
    QVERIFY(w.click("BitBtn2").size() == 1);
    QVERIFY(division.resultFingerprint() != result);
    QVERIFY(w.click("BitBtn2").isEmpty()); // no longer the public result: no question
}

void PublicWindow::checkFindsOneMovedStudent()
{
    testkit::WindowDriver w;
    divideInPublic(w);
    const QString same = path(QStringLiteral("核验.fenban"));
    QVERIFY(w.trigger("actSaveAs", same).isEmpty());
    // One student of class 2 to class 3 by hand.
    w.chooseNode(QStringLiteral("2"));
    w.clickCell("StrGrid", 1, 3);
    const std::vector<int> before = ClassesOfRecords(w.window.state());
    const QList<testkit::SeenBox> asked = w.moveToClass(3); // the public result stands: 取消 leaves it
    QVERIFY(ClassesOfRecords(w.window.state()) == before);
    QVERIFY(asked.size() == 1 && asked[0].text.contains(QStringLiteral("现在的分班是公开分班的结果")));
    w.dialogs.answerQuestion(QMessageBox::Yes);
    w.moveToClass(3);
    const std::vector<int> after = ClassesOfRecords(w.window.state());
    std::size_t moved = before.size();
    for (std::size_t i = 0; i < before.size(); ++i)
        if (before[i] != after[i])
            moved = i;
    QVERIFY(moved < before.size());
    const QString name = QString::fromStdString(Gb18030ToUtf8(w.window.state().Records[moved]->Name));
    QVERIFY(RecordTexts(w.window.division()).last().startsWith(QStringLiteral("调班：") + name));
    const QString changed = path(QStringLiteral("改过.fenban"));
    QVERIFY(w.trigger("actSaveAs", changed).isEmpty());

    const QList<testkit::SeenBox> match = w.trigger("actCheckDivision", same);
    QCOMPARE(match.size(), qsizetype(1));
    QVERIFY2(match[0].text.startsWith(QStringLiteral("核验一致")), qPrintable(match[0].text));
    const QList<testkit::SeenBox> differs = w.trigger("actCheckDivision", changed);
    QCOMPARE(differs.size(), qsizetype(1));
    QVERIFY2(differs[0].text.startsWith(QStringLiteral("核验不一致")), qPrintable(differs[0].text));
    const QString line = QStringLiteral("第 %1 行 %2：记录为 3 班，重做为 2 班").arg(moved + 2).arg(name);
    QVERIFY2(differs[0].text.contains(line), qPrintable(differs[0].text));
    QCOMPARE(differs[0].text.count(QStringLiteral(" 行 ")), qsizetype(1)); // that student alone
    // Said in plain words first: how many, and the version of the recorded search.
    QVERIFY2(differs[0].text.contains(QStringLiteral("文件中的分班与重做结果不同（1 名学生）：文件在分班后被改动过，"
                                                     "或由另一版本生成（记录中的版本 %1")
                                          .arg(QString::fromLatin1(ProgramVersion()))),
        qPrintable(differs[0].text));
    QVERIFY(differs[0].text.indexOf(QStringLiteral("文件中的分班")) < differs[0].text.indexOf(line));
}

void PublicWindow::postedListsHoldNoScores()
{
    testkit::WindowDriver w;
    divideInPublic(w);
    const std::string result = w.window.division().resultFingerprint();
    // Every score text of the table, and the whole long names.
    QStringList scores;
    for (std::size_t r = 1; r < table_.size(); ++r)
        for (std::size_t c = 3; c <= 5; ++c)
            scores << QString::fromStdString(table_[r][c]).trimmed();
    const auto answerNotice = [&](bool mask, bool byName) {
        w.dialogs.answerDialog([mask, byName](QDialog& dialog) {
            dialog.findChild<QCheckBox*>(QStringLiteral("chkMaskNames"))->setChecked(mask);
            dialog.findChild<QComboBox*>(QStringLiteral("cmbNoticeOrder"))->setCurrentIndex(byName ? 1 : 0);
            return int(QDialog::Accepted);
        });
    };
    const QString pdf = path(QStringLiteral("公示.pdf"));
    answerNotice(true, false);
    QVERIFY(w.trigger("actExportNotice", pdf).isEmpty());
    const QString text = testkit::PdfText(pdf);
    QVERIFY(text.contains(QStringLiteral("迪***·**扎")));
    QVERIFY(!text.contains(QStringLiteral("迪丽热巴")));
    QVERIFY(text.contains(QString::fromStdString(result)));
    QVERIFY(text.contains(QStringLiteral("王芳")));
    const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const QString& score : scores)
        QVERIFY2(!words.contains(score), qPrintable(score));

    const QString book = path(QStringLiteral("公示.xlsx"));
    answerNotice(false, true);
    QVERIFY(w.trigger("actExportNotice", book).isEmpty());
    QString error;
    const QJsonArray sheets = testkit::ReadWithOpenpyxl(book, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(sheets.size(), qsizetype(3));
    QStringList cells;
    for (const QJsonValue sheet : sheets)
        for (const QJsonValue row : sheet[QStringLiteral("rows")].toArray())
            for (const QJsonValue cell : row.toArray())
                cells << cell[QStringLiteral("value")].toVariant().toString().trimmed();
    QCOMPARE(cells.count(QStringLiteral("巴特尔·努尔")), qsizetype(2)); // whole names, as chosen
    QVERIFY(cells.contains(QStringLiteral("迪丽热巴·热依扎")));
    for (const QString& score : scores)
        QVERIFY2(!cells.contains(score), qPrintable(score));
}

// After 公开分班: a parent's request, a late student and a leaver through
// their dialogs, each one step of the record; the file saved is replayed by
// the command line's check to the window's fingerprint, and the change list
// posted reads back from the workbook and the PDF.
void PublicWindow::changesAfterThePublicDivision()
{
    testkit::WindowDriver w;
    divideInPublic(w);
    const Division& division = w.window.division();
    const std::string published = division.resultFingerprint();
    const auto classOf = [&](const QString& name) {
        const std::vector<int> classes = ClassesOfRecords(division.state());
        for (std::size_t r = 0; r < classes.size(); ++r)
            if (QString::fromStdString(Gb18030ToUtf8(division.state().Records[r]->Name)) == name)
                return classes[r];
        return 0;
    };
    const auto okOf = [](QDialog& dialog, const char* name) {
        dialog.findChild<QPushButton*>(QLatin1String(name))->click();
        return dialog.result();
    };

    const int from = classOf(QStringLiteral("学生20"));
    w.dialogs.answerDialog([&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("edtMoveName"))->setText(QStringLiteral("学生20"));
        dialog.findChild<QSpinBox*>(QStringLiteral("speRequestTarget"))->setValue(from % 3 + 1);
        dialog.findChild<QLineEdit*>(QStringLiteral("edtChangeBy"))->setText(QStringLiteral("家长"));
        return dialog.findChild<QListWidget*>(QStringLiteral("lstMovePartners"))->count() > 0
            ? okOf(dialog, "btnRequestMoveOk")
            : int(QDialog::Rejected);
    });
    QVERIFY(w.trigger("actRequestMove").isEmpty());
    QCOMPARE(classOf(QStringLiteral("学生20")), from % 3 + 1);

    w.dialogs.answerDialog([&](QDialog& dialog) {
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("tblNewStudents"));
        const QStringList cells {QStringLiteral("插班生甲"), QStringLiteral("男"), QStringLiteral("560"),
            QStringLiteral("87.5"), QStringLiteral("60")};
        for (int c = 0; c < cells.size(); ++c)
            table->setItem(0, c, new QTableWidgetItem(cells[c]));
        return okOf(dialog, "btnAddStudentsOk");
    });
    QVERIFY(w.trigger("actAddStudents").isEmpty());
    QVERIFY(classOf(QStringLiteral("插班生甲")) > 0);

    w.dialogs.answerDialog([&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("edtLeaverName"))->setText(QStringLiteral("学生30"));
        dialog.findChild<QLineEdit*>(QStringLiteral("edtChangeReason"))->setText(QStringLiteral("随父母迁居"));
        return okOf(dialog, "btnRemoveStudentOk");
    });
    QVERIFY(w.trigger("actRemoveStudent").isEmpty());
    QCOMPARE(classOf(QStringLiteral("学生30")), 0);
    QCOMPARE(division.state().Records.size(), std::size_t(Students));
    const std::vector<RecordEntry>& entries = division.publicState().record.entries();
    QCOMPARE(entries[entries.size() - 3].kind, RecordKind::Request);
    QCOMPARE(entries[entries.size() - 2].kind, RecordKind::Arrival);
    QCOMPARE(entries.back().kind, RecordKind::Leave);
    QVERIFY(QString::fromStdString(entries.back().text).contains(QStringLiteral("随父母迁居")));

    const QString saved = path(QStringLiteral("变更.fenban"));
    QVERIFY(w.trigger("actSaveAs", saved).isEmpty());
    const CliRun check = RunProgram(QStringLiteral(FENBAN_CLI), {QStringLiteral("check"), saved});
    QVERIFY2(check.code == 0, qPrintable(check.err));
    QCOMPARE(check.out.last(), QString::fromStdString(division.resultFingerprint()));

    for (const QString& suffix : {QStringLiteral("xlsx"), QStringLiteral("pdf")}) {
        w.dialogs.answerDialog([](QDialog& dialog) {
            dialog.findChild<QCheckBox*>(QStringLiteral("chkMaskNames"))->setChecked(true);
            return int(QDialog::Accepted);
        });
        const QString posted = path(QStringLiteral("变更公示.") + suffix);
        QVERIFY(w.trigger("actExportChanges", posted).isEmpty());
        QString text;
        if (suffix == QStringLiteral("pdf")) {
            text = testkit::PdfText(posted);
        } else {
            QString error;
            const QJsonArray sheets = testkit::ReadWithOpenpyxl(posted, error);
            QVERIFY2(!sheets.isEmpty(), qPrintable(error));
            text = QString::fromUtf8(QJsonDocument(sheets).toJson());
        }
        for (const QString& shown : {QStringLiteral("调班申请"), QStringLiteral("插班"), QStringLiteral("转学"),
                 QStringLiteral("学*"), QString::fromStdString(published)})
            QVERIFY2(text.contains(shown), qPrintable(shown + QStringLiteral(" in ") + posted));
        QVERIFY(!text.contains(QStringLiteral("学生20")) && !text.contains(QStringLiteral("560")));
    }
    const QString book = path(QStringLiteral("变更后.xlsx"));
    QVERIFY(w.trigger("actExportWorkbook", book).isEmpty());
    QString error;
    const QJsonArray sheets = testkit::ReadWithOpenpyxl(book, error);
    QVERIFY(!sheets.isEmpty());
    QCOMPARE(sheets.last().toObject().value(QStringLiteral("name")).toString(), QStringLiteral("转出"));
    QVERIFY(QJsonDocument(sheets.last().toObject()).toJson().contains("随父母迁居"));
}

QTEST_MAIN(PublicWindow)
#include "tst_public_window.moc"
