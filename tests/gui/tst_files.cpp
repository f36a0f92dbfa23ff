// The 文件 menu through the window: a table file opens as a paste of the same
// table; a broken one changes nothing; the workbook, the PDF and the printed
// class lists of a division read back by independent readers; Ctrl+C in the
// roster grid copies as 拷贝.
#include "FaultyFileSystem.h"
#include "GradeText.h"
#include "OutputReaders.h"
#include "WindowDriver.h"
#include "roster/Gb18030.h"

#include <QComboBox>
#include <QFile>
#include <QJsonObject>
#include <QLineEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <map>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

const QString DataFolder = QStringLiteral(FENBAN_TEST_DATA);

QByteArray FileBytes(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// What a paste or an opened file leaves in the window.
struct Look {
    QStringList grid; // every cell of the roster grid, row by row
    QStringList subjects;
    int classCount = 0;
    QStringList roster; // name, gender and scores of each student
    QList<int> classSizes;
};

Look LookAt(const WindowDriver& w)
{
    Look look;
    for (int r = 0; r < w.rows("StrGrid"); ++r)
        look.grid << w.row("StrGrid", r, 0, w.cols("StrGrid") - 1).join(u'|');
    const auto* subjects = w.control<QComboBox>("cmbSubject");
    for (int s = 0; s < subjects->count(); ++s)
        look.subjects << subjects->itemText(s);
    look.classCount = w.control<QSpinBox>("SpinEdit1")->value();
    const DivisionState& state = w.window.state();
    for (const TStudent* student : state.FStudents) {
        QString line = NameOf(student) + u'|' + QString::fromStdString(Gb18030ToUtf8(student->Gender.view()));
        for (const long double score : student->Scores)
            line += u'|' + QString::number(static_cast<double>(score), 'g', 17);
        look.roster << line;
    }
    for (const TStudentList& list : state.FClasses)
        look.classSizes << int(list.size());
    return look;
}

void CompareLooks(const Look& seen, const Look& expected)
{
    QCOMPARE(seen.grid, expected.grid);
    QCOMPARE(seen.subjects, expected.subjects);
    QCOMPARE(seen.classCount, expected.classCount);
    QCOMPARE(seen.roster, expected.roster);
    QCOMPARE(seen.classSizes, expected.classSizes);
}

// A divided grade of 120 students in three classes.
void Divide(WindowDriver& w)
{
    QVERIFY(w.paste(GradeText(120, Points::Half)).isEmpty());
    w.control<QSpinBox>("SpinEdit1")->setValue(3);
    QVERIFY(w.click("BitBtn2").isEmpty());
}

QStringList StudentNames(int n)
{
    QStringList names;
    for (int k = 1; k <= n; ++k)
        names << QStringLiteral("学生%1").arg(k);
    return names;
}

// The 学生k names in a PDF's text, each as often as it occurs.
std::map<QString, int> NamesInPdf(const QString& file)
{
    std::map<QString, int> names;
    const QString text = PdfText(file);
    QRegularExpressionMatchIterator match = QRegularExpression(QStringLiteral("学生\\d+")).globalMatch(text);
    while (match.hasNext())
        ++names[match.next().captured()];
    return names;
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT

private slots:
    void fileMenuAndToolbar()
    {
        WindowDriver w;
        const QList<QAction*> menu = w.window.findChild<QMenu*>(u"mnuFile"_s)->actions();
        const QList<QAction*> tools = w.window.findChild<QToolBar*>(u"tbrMain"_s)->actions();
        const std::pair<const char*, QString> expected[] = {{"actOpen", u"打开…"_s},
            {"actExportWorkbook", u"导出工作簿…"_s}, {"actExportPdf", u"导出PDF…"_s}, {"actPrint", u"打印…"_s}};
        for (const auto& [name, text] : expected) {
            QAction* action = FindAction(w.window, name);
            QCOMPARE(action->text(), text);
            QVERIFY(menu.contains(action));
            QVERIFY(tools.contains(action));
        }
        QCOMPARE(FindAction(w.window, "actOpen")->shortcut(), QKeySequence(u"Ctrl+O"_s));
        QCOMPARE(FindAction(w.window, "actPrint")->shortcut(), QKeySequence(u"Ctrl+P"_s));
        // The page control sits below the menu and the toolbar.
        const QWidget* pages = w.control("PageControl1");
        QVERIFY(pages->mapTo(&w.window, QPoint(0, 0)).y() >= w.window.findChild<QToolBar*>(u"tbrMain"_s)->height());
    }

    void opensAsAPaste_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("xlsx") << u"roster-table.xlsx"_s;
        QTest::newRow("xls") << u"roster-table.xls"_s;
        QTest::newRow("csv utf-8") << u"roster-table-utf8.csv"_s;
        QTest::newRow("csv gb18030") << u"roster-table-gb18030.csv"_s;
        QTest::newRow("tab-separated") << u"roster-table.txt"_s;
    }
    void opensAsAPaste()
    {
        QFETCH(QString, file);
        // A paste keeps the empty row between students as a student without a
        // name; an opened file leaves it out, as the import does.
        const QString text = QString::fromUtf8(FileBytes(DataFolder + u"/roster-table.txt"_s));
        WindowDriver withEmptyRow;
        QVERIFY(withEmptyRow.paste(text).isEmpty());
        QCOMPARE(LookAt(withEmptyRow).roster.size(), 6);
        QStringList lines = text.split(u'\n');
        QCOMPARE(lines.removeAll(u"\t"_s.repeated(17)), qsizetype(1));
        WindowDriver pasted;
        Divide(pasted);
        QVERIFY(pasted.paste(lines.join(u'\n')).isEmpty());
        const Look expected = LookAt(pasted);
        QCOMPARE(expected.roster.size(), 5); // the sample table's students

        WindowDriver w;
        Divide(w); // ended by the new table, as by a paste
        w.dialogs.answerQuestion(QMessageBox::Discard); // the unsaved division, asked about first
        QCOMPARE(w.trigger("actOpen", DataFolder + u'/' + file).size(), 1);
        CompareLooks(LookAt(w), expected);
        QCOMPARE(w.control<QTabWidget>("PageControl1")->currentWidget(), w.control("TabSheet1"));
        const SeenFileRequest& asked = w.dialogs.fileRequests().constLast();
        QVERIFY(!asked.save);
        QCOMPARE(asked.request.caption, u"打开"_s);
        QVERIFY(asked.request.filter.split(u";;"_s).contains(u"表格文件 (*.xlsx *.xls *.csv *.tsv *.txt)"_s));
        QVERIFY(asked.request.filter.split(u";;"_s).contains(u"分班文件 (*.fenban)"_s));
        QCOMPARE(asked.request.objectName, u"OpenDialog"_s);
    }

    // An opened table is work of its own: none of the last work's averages,
    // total or 分数段; a paste keeps them as it always has.
    void openedTableStartsItsOwnWork()
    {
        WindowDriver pasted;
        WindowDriver opened;
        for (WindowDriver* w : {&pasted, &opened}) {
            Divide(*w);
            w->click("Button4");
            w->run([w] {
                auto* bands = w->control<QComboBox>("cmbBands");
                bands->setCurrentIndex(bands->findData(5));
            });
            QVERIFY(!w->cell("gdAvg", 0, 1).isEmpty());
        }
        const QString total = pasted.control<QLineEdit>("Edit1")->text();
        QVERIFY(pasted.paste(QString::fromUtf8(FileBytes(DataFolder + u"/roster-table.txt"_s))).isEmpty());
        opened.dialogs.answerQuestion(QMessageBox::Discard); // the divided work is not saved
        QCOMPARE(opened.trigger("actOpen", DataFolder + u"/roster-table.txt"_s).size(), qsizetype(1));
        QVERIFY(!pasted.cell("gdAvg", 0, 1).isEmpty());
        QCOMPARE(pasted.control<QLineEdit>("Edit1")->text(), total);
        QCOMPARE(pasted.window.division().settings().rankBands, 5);
        QVERIFY(opened.cell("gdAvg", 0, 1).isEmpty());
        QVERIFY(opened.control<QLineEdit>("Edit1")->text().isEmpty());
        QCOMPARE(opened.control<QComboBox>("cmbBands")->currentData().toInt(), DefaultRankBands);
        QCOMPARE(opened.window.division().settings().rankBands, DefaultRankBands);
    }

    // Quoted fields with separators, quotes and a line end stay one cell
    // each. (The third column holds remarks, not class numbers: 导入设置
    // takes it as the students' 备注, listed beside each.)
    void quotedCellsOpenWhole_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("csv gb18030") << u"quoted-cells-gb18030.csv"_s;
        QTest::newRow("xlsx") << u"quoted-cells.xlsx"_s;
    }
    void quotedCellsOpenWhole()
    {
        QFETCH(QString, file);
        WindowDriver w;
        w.dialogs.answerDialog([](QDialog& dialog) {
            dialog.findChild<QPushButton*>(u"btnImportOk"_s)->click();
            return dialog.result();
        });
        QVERIFY(w.trigger("actOpen", DataFolder + u'/' + file).isEmpty());
        QCOMPARE(w.dialogs.dialogsShown(), QStringList {u"dlgImport"_s});
        w.control<QSpinBox>("SpinEdit1")->setValue(2); // the tree's nodes
        w.chooseNode(u"全部"_s);
        QCOMPARE(w.rows("StrGrid"), 4);
        const int remarks = w.cols("StrGrid") - 1;
        QCOMPARE(w.cell("StrGrid", remarks, 0), u"备注"_s);
        const auto row = [&w, remarks](int r) {
            return QStringList {w.cell("StrGrid", 1, r), w.cell("StrGrid", 2, r), w.cell("StrGrid", remarks, r),
                w.cell("StrGrid", 4, r)};
        };
        QCOMPARE(row(1), (QStringList {u"欧阳,娜娜"_s, u"女"_s, u"外号“小\"\"燕子”"_s, u"612.5"_s}));
        QCOMPARE(row(2), (QStringList {u"\"陈\""_s, u"男"_s, u"第一行\n第二行"_s, u"598"_s}));
        QCOMPARE(row(3), (QStringList {QString(), u"男"_s, u"  前后有空格  "_s, u"0.25"_s}));
    }

    // A file that cannot be read: one warning naming the file, nothing changed.
    void brokenFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("corrupt workbook") << QByteArray("PK\x03\x04 not really a zip", 22) << u"文件已损坏或不完整"_s;
        QTest::newRow("empty") << QByteArray() << u"文件是空的"_s;
        QTest::newRow("missing") << QByteArray("(none)") << u"文件不存在"_s;
    }
    void brokenFileChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        const QString file = folder.filePath(u"成绩表.xlsx"_s);
        if (bytes != "(none)") {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(bytes);
        }
        WindowDriver w;
        Divide(w);
        const Look before = LookAt(w);
        w.dialogs.answerQuestion(QMessageBox::Discard); // the unsaved division, asked about first
        QList<SeenBox> boxes = w.trigger("actOpen", file);
        QCOMPARE(boxes.size(), 2);
        boxes.removeFirst();
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].title, u"均衡分班"_s);
        QVERIFY2(boxes[0].text.startsWith(u"不能打开文件“"_s + file + u"”："_s), qPrintable(boxes[0].text));
        QVERIFY2(boxes[0].text.contains(reason), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].text.endsWith(u"。"_s)); // as written, no full stop added
        CompareLooks(LookAt(w), before);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);

        // Cancelling the dialog changes nothing either.
        w.dialogs.answerQuestion(QMessageBox::Discard);
        QCOMPARE(w.trigger("actOpen").size(), 1);
        CompareLooks(LookAt(w), before);
    }

    void workbookReadsBack()
    {
        QTemporaryDir folder;
        WindowDriver w;
        QList<SeenBox> boxes = w.trigger("actExportWorkbook"); // before any division
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, u"请先编班。"_s);
        QVERIFY(w.dialogs.fileRequests().isEmpty());

        Divide(w);
        QVERIFY(w.trigger("actExportWorkbook", folder.filePath(u"分班"_s)).isEmpty());
        const SeenFileRequest& asked = w.dialogs.fileRequests().constLast();
        QVERIFY(asked.save);
        QCOMPARE(asked.request.filter, u"Excel 工作簿 (*.xlsx)"_s);
        QCOMPARE(asked.request.defaultSuffix, u"xlsx"_s);
        QVERIFY(asked.request.confirmOverwrite);

        QString error;
        const QJsonArray sheets = ReadWithOpenpyxl(folder.filePath(u"分班.xlsx"_s), error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QStringList sheetNames;
        for (const QJsonValue sheet : sheets)
            sheetNames << sheet[u"name"_s].toString();
        QCOMPARE(sheetNames, (QStringList {u"全部"_s, u"1班"_s, u"2班"_s, u"3班"_s, u"平均分"_s, u"均衡"_s}));

        std::map<QString, int> inGrade;
        std::map<QString, int> inClass;
        for (qsizetype k = 0; k < 4; ++k) {
            const QJsonArray rows = sheets[k][u"rows"_s].toArray();
            QCOMPARE(rows[0].toArray()[1][u"value"_s].toString(), u"姓名"_s);
            QCOMPARE(rows[0].toArray()[4][u"value"_s].toString(), u"总分"_s);
            for (qsizetype r = 1; r < rows.size(); ++r) {
                const QJsonArray row = rows[r].toArray();
                const QString name = row[1][u"value"_s].toString();
                for (const int numeric : {0, 3, 4, 5, 14})
                    QVERIFY2(QStringList({u"int"_s, u"float"_s}).contains(row[numeric][u"type"_s].toString()),
                        qPrintable(name));
                ++(k == 0 ? inGrade : inClass)[name];
                const int classNo = row[3][u"value"_s].toInt();
                if (k > 0)
                    QCOMPARE(classNo, int(k));
                const TStudentList& members = w.window.state().FClasses[std::size_t(classNo - 1)];
                QVERIFY2(Names(members).contains(name), qPrintable(name));
            }
        }
        for (const QString& name : StudentNames(120)) {
            QCOMPARE(inGrade[name], 1);
            QCOMPARE(inClass[name], 1);
        }
        QCOMPARE(inGrade.size(), std::size_t {120});
        QCOMPARE(inClass.size(), std::size_t {120});
    }

    void workbookNotWritten()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(u"分班.xlsx"_s);
        WindowDriver w;
        Divide(w);
        w.window.setFileSystem(std::make_shared<FaultyFileSystem>(1));
        const QList<SeenBox> boxes = w.trigger("actExportWorkbook", file);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QVERIFY2(boxes[0].text.startsWith(u"不能保存文件“"_s + file + u"”："_s), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].text.endsWith(u"。"_s));
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    void pdfAndPrintHoldEveryName()
    {
        QTemporaryDir folder;
        WindowDriver w;
        Divide(w);
        const QString pdf = folder.filePath(u"名单.pdf"_s);
        QVERIFY(w.trigger("actExportPdf", pdf).isEmpty());
        QCOMPARE(w.dialogs.fileRequests().constLast().request.filter, u"PDF 文件 (*.pdf)"_s);
        const std::map<QString, int> names = NamesInPdf(pdf);
        QCOMPARE(names.size(), std::size_t {120});
        for (const QString& name : StudentNames(120))
            QVERIFY2(names.count(name) == 1 && names.at(name) == 1, qPrintable(name));

        // Printing paints the same pages on the printer the dialog chose.
        QVERIFY(w.trigger("actPrint").isEmpty()); // cancelled
        const QString printed = folder.filePath(u"printed.pdf"_s);
        QVERIFY(!QFile::exists(printed));
        w.dialogs.answerPrint(printed);
        QVERIFY(w.trigger("actPrint").isEmpty());
        QCOMPARE(w.dialogs.printRequests().size(), 2);
        const SeenPrintRequest& asked = w.dialogs.printRequests().constLast();
        QCOMPARE(asked.documentName, u"班级名单"_s);
        QCOMPARE(asked.layout.pageSize().id(), QPageSize::A4);
        QCOMPARE(asked.layout.orientation(), QPageLayout::Portrait);
        QVERIFY(PdfPages(pdf) >= 4); // three classes and the averages
        QCOMPARE(PdfPages(printed), PdfPages(pdf));
    }

    void copyKeyCopiesAsTheButton()
    {
        WindowDriver w;
        Divide(w);
        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        w.selectBlock("StrGrid", 1, 2, 5, 6);
        QTableView* grid = w.view("StrGrid");
        grid->setFocus();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        const QString byKey = QGuiApplication::clipboard()->text();
        QGuiApplication::clipboard()->clear();
        QVERIFY(w.click("BitBtn3").isEmpty());
        QCOMPARE(byKey, QGuiApplication::clipboard()->text());
        QCOMPARE(byKey.split(u"\r\n"_s).size(), 5);
        QVERIFY(byKey.startsWith(w.cell("StrGrid", 1, 2) + u'\t'));
    }
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
