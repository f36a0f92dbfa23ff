// A school's own tables through the window: files saved by LibreOffice with
// title rows, shuffled columns, no 总分 or one sheet per class open through
// 导入设置 into the roster and the division of the plain table; a score that
// is no number names its place and changes nothing; 学号 travels into the
// listing, the division file, the workbook and a one-class PDF; 查找, F3 and
// the keys of 编班 and 一键均衡.
#include "GradeText.h"
#include "OutputReaders.h"
#include "WindowDriver.h"
#include "roster/Gb18030.h"

#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

const QString DataFolder = QStringLiteral(FENBAN_TEST_DATA "/");

// 导入设置 answered with what it proposes, pressing 确定 as the user does;
// `change` may first set a column's use.
void AcceptImport(WindowDriver& w, int column = -1, const QString& role = {})
{
    w.dialogs.answerDialog([column, role](QDialog& dialog) {
        if (dialog.objectName() != u"dlgImport"_s)
            return int(QDialog::Rejected);
        if (column >= 0) {
            auto* box = dialog.findChild<QComboBox*>(u"cmbImportRole%1"_s.arg(column));
            box->setCurrentIndex(box->findText(role));
        }
        dialog.findChild<QPushButton*>(u"btnImportOk"_s)->click();
        return dialog.result();
    });
}

// Every text of the roster grid's columns after the scores fits its column.
void CheckColumnsAfterScoresFit(const WindowDriver& w)
{
    const QTableView* grid = w.view("StrGrid");
    for (int c = 15; c < w.cols("StrGrid"); ++c)
        for (int row = 0; row < w.rows("StrGrid"); ++row) {
            const QFontMetrics metrics(row == 0 ? grid->horizontalHeader()->font() : grid->font());
            QVERIFY2(metrics.horizontalAdvance(w.cell("StrGrid", c, row)) < grid->columnWidth(c - 1),
                qPrintable(w.cell("StrGrid", c, row)));
        }
}

// Each student as name, gender and scores, in the table's order; each class as its names.
QStringList Roster(const WindowDriver& w)
{
    QStringList roster;
    for (const auto& record : w.window.state().Records) {
        const TStudent* student = record.get();
        QString line = NameOf(student) + u'|' + QString::fromStdString(Gb18030ToUtf8(student->Gender.view()));
        for (const long double score : student->Scores)
            line += u'|' + QString::number(static_cast<double>(score), 'g', 21);
        roster << line;
    }
    return roster;
}

QList<QStringList> Classes(const WindowDriver& w)
{
    QList<QStringList> classes;
    for (const TStudentList& list : w.window.state().FClasses)
        classes << Names(list);
    return classes;
}

void Divide(WindowDriver& w, int classes)
{
    w.control<QSpinBox>("SpinEdit1")->setValue(classes);
    QVERIFY(w.click("BitBtn2").isEmpty());
}

// The column of the listing headed `header`; -1 when none is.
int ColumnHeaded(const WindowDriver& w, const QString& header)
{
    for (int c = 0; c < w.cols("StrGrid"); ++c)
        if (w.cell("StrGrid", c, 0) == header)
            return c;
    return -1;
}

} // namespace

class TestSchoolTables : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(settings_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_.path());
    }

    void openLikeThePlainTable_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("warning");
        QTest::newRow("title rows, 序号 first, .xlsx") << u"school-title.xlsx"_s << QString();
        QTest::newRow("title rows, .xls") << u"school-title.xls"_s << QString();
        QTest::newRow("shuffled columns") << u"school-shuffled.xlsx"_s << QString();
        QTest::newRow("no 总分, 缺考") << u"school-nototal.xlsx"_s
                                       << u"请注意：5 个成绩不是分数，记作空分；没有总分列，总分是各科之和。"_s;
        QTest::newRow("one sheet per class") << u"school-classes.xlsx"_s << QString();
        QTest::newRow("one sheet per class, .xls") << u"school-classes.xls"_s << QString();
    }
    void openLikeThePlainTable()
    {
        QFETCH(QString, file);
        QFETCH(QString, warning);
        WindowDriver plain;
        QVERIFY(plain.trigger("actOpen", DataFolder + u"school-plain.xlsx"_s).isEmpty());
        QVERIFY(plain.dialogs.dialogsShown().isEmpty()); // the own layout: no question
        Divide(plain, 3);

        WindowDriver w;
        AcceptImport(w);
        QVERIFY(w.trigger("actOpen", DataFolder + file).isEmpty());
        QCOMPARE(w.dialogs.dialogsShown(), QStringList {u"dlgImport"_s});
        QCOMPARE(Roster(w), Roster(plain));
        QCOMPARE(Roster(w).size(), 12);
        Divide(w, 3);
        QCOMPARE(Classes(w), Classes(plain));

        const auto* warnings = w.control<QPushButton>("btnReadWarnings");
        QCOMPARE(warnings->isVisible(), !warning.isEmpty());
        if (!warning.isEmpty()) {
            QCOMPARE(warnings->text(), warning);
            const QList<SeenBox> boxes = w.click("btnReadWarnings");
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes[0].text.contains(u"\n第 4 行 数学：缺考\n第 7 行 语文：缺\n"_s), qPrintable(boxes[0].text));
        }
        // 学号 is listed after the scores, beside each student.
        w.chooseNode(u"全部"_s);
        const int number = ColumnHeaded(w, u"学号"_s);
        QVERIFY(number > 14);
        QStringList inFile; // the plain table's order is the order of 学号
        for (const auto& record : plain.window.state().Records)
            inFile << NameOf(record.get());
        for (int row = 1; row < w.rows("StrGrid"); ++row) {
            const qsizetype k = inFile.indexOf(w.cell("StrGrid", 1, row));
            QVERIFY(k >= 0);
            QCOMPARE(w.cell("StrGrid", number, row), QString::number(2026001 + k));
        }
        CheckColumnsAfterScoresFit(w);
    }

    // 身份证号 and a long 备注 are listed whole, their columns as wide as they are.
    void longExtraTextsFit()
    {
        QTemporaryDir dir;
        QFile table(dir.filePath(u"身份证.csv"_s));
        QVERIFY(table.open(QIODevice::WriteOnly));
        QByteArray text = "姓名,性别,班级,总分,语文,身份证号,备注\n";
        for (int k = 0; k < 8; ++k)
            text += QStringLiteral("学生%1,%2,,%3,%4,11010520100101%5,转入，住校生，需照顾饮食\n")
                        .arg(k)
                        .arg(k % 2 ? u"男"_s : u"女"_s)
                        .arg(500 - k)
                        .arg(90 - k)
                        .arg(1000 + k)
                        .toUtf8();
        table.write(text);
        table.close();
        WindowDriver w;
        AcceptImport(w);
        w.trigger("actOpen", table.fileName());
        w.dialogs.clearAnswers();
        Divide(w, 2);
        w.chooseNode(u"全部"_s);
        QVERIFY(ColumnHeaded(w, u"身份证号"_s) > 14);
        CheckColumnsAfterScoresFit(w);
    }

    // One own-layout sheet per former class opens whole, unasked, each sheet
    // named with its rows; the program's own workbook of that division reads
    // its 全部 alone, so nobody is listed twice.
    void ownLayoutSheetsOpenWhole()
    {
        WindowDriver plain;
        QVERIFY(plain.trigger("actOpen", DataFolder + u"school-plain.xlsx"_s).isEmpty());
        WindowDriver w;
        QVERIFY(w.trigger("actOpen", DataFolder + u"own-classes.xlsx"_s).isEmpty());
        QVERIFY(w.dialogs.dialogsShown().isEmpty());
        QCOMPARE(Roster(w), Roster(plain));
        QCOMPARE(w.control<QLabel>("lblReadSummary")->text(),
            u"读入 12 人：男 6，女 6；5 科；分 1 个班；读了 3 个工作表：1班 4 行，2班 4 行，3班 4 行"_s);
        Divide(w, 3);

        QTemporaryDir folder;
        const QString book = folder.filePath(u"分班.xlsx"_s);
        QVERIFY(w.trigger("actExportWorkbook", book).isEmpty());
        WindowDriver again;
        AcceptImport(again);
        QVERIFY(again.trigger("actOpen", book).isEmpty());
        QCOMPARE(again.dialogs.dialogsShown(), QStringList {u"dlgImport"_s});
        QStringList names = Names(again.window.state().FStudents);
        QStringList expected = Names(plain.window.state().FStudents);
        names.sort();
        expected.sort();
        QCOMPARE(names, expected);
    }

    // Rows and columns named as the sheet names them, below two empty rows
    // and right of an empty column: a bad cell stops the reading.
    void badCellNamesItsPlaceAndChangesNothing()
    {
        WindowDriver w;
        w.paste(GradeText(30, Points::Half));
        Divide(w, 2);
        const QStringList roster = Roster(w);
        const QList<QStringList> classes = Classes(w);
        const QString title = w.window.windowTitle();
        const QString listing = w.cell("StrGrid", 1, 1);

        // 确定 tells it in the dialog, which stays open; the user cancels.
        QString told;
        QStringList shown; // the header row, the first column's letters, the doubts, as the sheet names them
        w.dialogs.answerDialog([&told, &shown](QDialog& dialog) {
            const auto* preview = dialog.findChild<QTableWidget*>(u"grdImportPreview"_s);
            shown << QString::number(dialog.findChild<QSpinBox*>(u"speImportHeaderRow"_s)->value())
                  << preview->horizontalHeaderItem(0)->text() << preview->verticalHeaderItem(2)->text()
                  << dialog.findChild<QLabel*>(u"lblImportDoubts"_s)->text();
            dialog.findChild<QPushButton*>(u"btnImportOk"_s)->click();
            told = dialog.findChild<QLabel*>(u"lblImportError"_s)->text();
            return dialog.result();
        });
        w.dialogs.answerQuestion(QMessageBox::Discard); // the paste above, asked about first
        QCOMPARE(w.trigger("actOpen", DataFolder + u"school-offset.xlsx"_s).size(), 1);
        QCOMPARE(told, u"不能读入表格：工作表“成绩”第 8 行第 F 列（数学）的“良好”不是分数。"_s);
        QCOMPARE(shown.mid(0, 3), (QStringList {u"4"_s, u"B"_s, u"4"_s}));
        QVERIFY2(shown[3].contains(u"表头在第 4 行"_s), qPrintable(shown[3]));
        // Accepted as it stands, the window tells it.
        w.dialogs.answerDialog([](QDialog&) { return int(QDialog::Accepted); });
        w.dialogs.answerQuestion(QMessageBox::Discard);
        const QList<SeenBox> boxes = w.trigger("actOpen", DataFolder + u"school-offset.xlsx"_s);
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes[1].icon, QMessageBox::Warning);
        QCOMPARE(boxes[1].text, told);
        QCOMPARE(Roster(w), roster);
        QCOMPARE(Classes(w), classes);
        QCOMPARE(w.window.windowTitle(), title);
        QCOMPARE(w.cell("StrGrid", 1, 1), listing);

        // Without that column the table reads, 缺考 on the sheet's row 6.
        AcceptImport(w, 4, u"不用"_s); // 数学
        w.dialogs.answerQuestion(QMessageBox::Discard);
        QCOMPARE(w.trigger("actOpen", DataFolder + u"school-offset.xlsx"_s).size(), 1);
        QCOMPARE(
            Names(w.window.state().FStudents), (QStringList {u"张伟"_s, u"李娜"_s, u"王芳"_s, u"刘洋"_s, u"陈静"_s}));
        const QList<SeenBox> listed = w.click("btnReadWarnings");
        QCOMPARE(listed.size(), 1);
        QVERIFY2(listed[0].text.contains(u"第 6 行 语文：缺考"_s), qPrintable(listed[0].text));
        // The roster's own warnings name the sheet's rows too.
        QVERIFY2(listed[0].text.contains(u"性别写作“F”，不是“男”或“女”：第 9 行"_s), qPrintable(listed[0].text));
        QCOMPARE(w.control<QPushButton>("btnReadWarnings")->text(),
            u"请注意：1 人的性别不是“男”或“女”；1 个成绩不是分数，记作空分；没有总分列，总分是各科之和。"_s);
        // Cancelling 导入设置 changes nothing.
        const QStringList opened = Roster(w);
        w.dialogs.answerQuestion(QMessageBox::Discard);
        QCOMPARE(w.trigger("actOpen", DataFolder + u"school-title.xlsx"_s).size(), 1);
        QCOMPARE(Roster(w), opened);
    }

    // 学号 survives saving and opening, and is in the workbook and a one-class PDF.
    void numbersTravel()
    {
        QTemporaryDir folder;
        WindowDriver w;
        AcceptImport(w);
        QVERIFY(w.trigger("actOpen", DataFolder + u"school-title.xlsx"_s).isEmpty());
        Divide(w, 3);
        const QString saved = folder.filePath(u"初一.fenban"_s);
        QVERIFY(w.trigger("actSaveAs", saved).isEmpty());

        // Another table has none; undo brings them back.
        w.paste(GradeText(20, Points::Whole));
        QVERIFY(w.window.state().ExtraTexts.empty());
        QVERIFY(w.trigger("actUndo").isEmpty());
        w.chooseNode(u"全部"_s);
        QVERIFY(ColumnHeaded(w, u"学号"_s) > 14);

        WindowDriver again;
        QVERIFY(again.trigger("actOpen", saved).isEmpty());
        again.chooseNode(u"2"_s);
        const int number = ColumnHeaded(again, u"学号"_s);
        QVERIFY(number > 0);
        const QStringList classTwo = Names(again.window.state().FClasses[1]);
        QVERIFY(!classTwo.isEmpty());
        QStringList numbers;
        for (int row = 1; row < again.rows("StrGrid"); ++row)
            numbers << again.cell("StrGrid", number, row);
        QVERIFY(!numbers.contains(QString()));

        const QString book = folder.filePath(u"分班.xlsx"_s);
        QVERIFY(again.trigger("actExportWorkbook", book).isEmpty());
        QString error;
        const QJsonArray sheets = ReadWithOpenpyxl(book, error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(sheets[2][u"name"_s].toString(), u"2班"_s);
        const QJsonArray rows = sheets[2][u"rows"_s].toArray();
        const QJsonArray header = rows[0].toArray();
        qsizetype at = -1;
        for (qsizetype c = 0; c < header.size(); ++c)
            if (header[c][u"value"_s].toString() == u"学号"_s)
                at = c;
        QVERIFY(at > 4);
        QStringList inBook;
        for (qsizetype r = 1; r < rows.size(); ++r)
            inBook << rows[r].toArray()[at][u"value"_s].toVariant().toString();
        QCOMPARE(inBook, numbers);

        // 当前班级 puts out the class listed, its numbers with it.
        const QString pdf = folder.filePath(u"2班.pdf"_s);
        again.dialogs.answerQuestion(QMessageBox::Yes);
        const QList<SeenBox> asked = again.trigger("actExportPdf", pdf);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].buttons,
            QMessageBox::YesToAll | QMessageBox::Yes | QMessageBox::Cancel); // 全部班级, 当前班级, 取消
        const QString text = PdfText(pdf);
        for (const QString& name : Names(again.window.state().FStudents))
            QCOMPARE(text.contains(name), classTwo.contains(name));
        for (const QString& n : numbers)
            QVERIFY2(text.contains(n), qPrintable(n));
        QVERIFY(!text.contains(u"平均分"_s));
    }

    void findAndKeys()
    {
        WindowDriver w;
        w.paste(GradeText(90, Points::Half));
        w.control<QSpinBox>("SpinEdit1")->setValue(3);
        QCOMPARE(w.control<QPushButton>("BitBtn2")->toolTip(), u"编班 (F5)"_s);
        QVERIFY(w.control<QPushButton>("btnBalanceAll")->toolTip().startsWith(u"一键均衡 (F6)："_s));
        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QTest::keyClick(&w.window, Qt::Key_F5);
        QCOMPARE(w.dialogs.boxes().size(), 0);
        QVERIFY(!w.window.state().FClasses[0].empty());

        QVERIFY(!w.control("pnlFind")->isVisible());
        const QAbstractItemView* grid = w.view("StrGrid");
        QTest::keyClick(&w.window, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(w.control("pnlFind")->isVisible());
        // The bar has a strip of its own below the cells: it covers no row.
        QCoreApplication::sendPostedEvents(); // the page's layout makes room
        const auto onScreen
            = [](const QWidget* widget) { return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size()); };
        QVERIFY(!onScreen(w.control("pnlFind")).intersects(onScreen(grid->viewport())));
        QVERIFY(onScreen(w.control("pnlFind")).top() > onScreen(grid->viewport()).bottom());
        const int gridHeight = grid->height();
        const auto wholeRowShown
            = [grid] { return grid->viewport()->rect().contains(grid->visualRect(grid->currentIndex())); };
        auto* edit = w.control<QLineEdit>("edtFind");
        for (const QChar c : u"学生7"_s) // typed as an input method gives it
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        const auto shown = [&w] {
            const QModelIndex current = w.view("StrGrid")->currentIndex();
            return w.cell("StrGrid", 1, current.row() + 1);
        };
        const auto classOf = [&w](const QString& name) {
            for (const TStudent* s : w.window.state().FStudents)
                if (NameOf(s) == name)
                    return s->ClassNo;
            return 0;
        };
        // Its class is listed, its row chosen.
        QVERIFY2(shown().startsWith(u"学生7"_s), qPrintable(shown()));
        QCOMPARE(w.control<QLabel>("lblFindClass")->text(), u"第 %1 班"_s.arg(classOf(shown())));
        QCOMPARE(w.window.view().FShownClass, classOf(shown()) - 1);
        QStringList found {shown()};
        for (int next = 0; next < 11; ++next) {
            QTest::keyClick(edit, Qt::Key_F3);
            found << shown();
            QVERIFY(wholeRowShown());
            QCOMPARE(w.control<QLabel>("lblFindClass")->text(), u"第 %1 班"_s.arg(classOf(found.last())));
        }
        // Every 学生7… once, then round again.
        QCOMPARE(found.mid(0, 11).size(), QSet<QString>(found.begin(), found.begin() + 11).size());
        for (const QString& name : found)
            QVERIFY(name == u"学生7"_s || (name.startsWith(u"学生7"_s) && name.size() == 4));
        QCOMPARE(found[11], found[0]);
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!w.control("pnlFind")->isVisible());
        QCoreApplication::sendPostedEvents();
        QVERIFY(grid->height() > gridHeight); // its place given back

        QTest::keyClick(&w.window, Qt::Key_F6);
        QVERIFY(!w.control<QLineEdit>("Edit1")->text().isEmpty()); // 一键均衡 published its total
    }

    void wholeClassCopiesItsHeader()
    {
        WindowDriver w;
        w.paste(GradeText(12, Points::Whole));
        Divide(w, 2);
        w.chooseNode(u"1"_s);
        const int last = w.rows("StrGrid") - 1;
        w.selectBlock("StrGrid", 1, 1, 4, last);
        QVERIFY(w.click("BitBtn3").isEmpty());
        const QStringList lines = QGuiApplication::clipboard()->text().split(u"\r\n"_s);
        QCOMPARE(lines.size(), last + 1);
        QCOMPARE(lines[0], (QStringList {u"姓名"_s, u"性别"_s, u"班级"_s, u"总分"_s}).join(u'\t'));
        w.selectBlock("StrGrid", 2, 1, 4, last); // not from the first column: as before
        w.click("BitBtn3");
        QCOMPARE(QGuiApplication::clipboard()->text().split(u"\r\n"_s).size(), last);
    }

    // The help's details below the pictures, whole at their height; no English.
    void helpDetailsReadWhole()
    {
        WindowDriver w;
        w.window.resize(1366, 740);
        w.control<QTabWidget>("PageControl1")->setCurrentIndex(0);
        QCoreApplication::sendPostedEvents(); // the page laid out at the window's width
        auto* details = w.control<QTextBrowser>("txtHelpDetails");
        // The text uses the window's width, wider than the pictures above it.
        QVERIFY(details->width() > w.control("Image2")->width() + 300);
        const QString text = details->document()->toPlainText();
        for (const char* word : {"导入设置", "附加", "合并所有工作表", "缺考", "当前班级", "Ctrl+F", "F5", "F6", "撤销",
                 "恢复上次未保存的分班"})
            QVERIFY2(text.contains(QString::fromUtf8(word)), word);
        QVERIFY(!text.contains(u"is not a valid"_s));
        QCOMPARE(details->verticalScrollBar()->maximum(), 0);
        QVERIFY(w.control("ScrollBox1Contents")->rect().contains(details->geometry()));
        QVERIFY(details->geometry().top() > w.control("Image2")->geometry().bottom());
    }

private:
    QTemporaryDir settings_;
};

QTEST_MAIN(TestSchoolTables)
#include "tst_schooltables.moc"
