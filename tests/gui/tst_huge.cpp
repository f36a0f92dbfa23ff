// Pastes nobody planned for, through the real window: each ends in a correct
// grid and roster or in one clear message, and the window goes on working.
#include "GradeText.h"
#include "WindowDriver.h"
#include "app/HandlerGuard.h"

#include <QCheckBox>
#include <QLocale>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

const QString Header = QStringLiteral("姓名\t性别\t班级\t总分\r\n");

// The window still divides a small grade after the hostile paste.
void StillDivides(WindowDriver& w)
{
    QVERIFY(w.paste(Table(Students(6))).isEmpty());
    w.control<QSpinBox>("SpinEdit1")->setValue(2);
    QVERIFY(w.click("BitBtn2").isEmpty());
    QCOMPARE(w.window.state().FClasses[0].size() + w.window.state().FClasses[1].size(), std::size_t(6));
}

// The cursor shapes seen while a grid model changes and while a box shows;
// -1 for the normal cursor.
class CursorWatch final : public QObject {
public:
    explicit CursorWatch(WindowDriver& w)
    {
        for (const char* grid : {"StrGrid", "gdAvg"})
            connect(w.view(grid)->model(), &QAbstractItemModel::dataChanged, this, [this] { whileWorking << Shape(); });
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { whileCopying << Shape(); });
        w.dialogs.setOnBox([this](const SeenBox&) { underBoxes << Shape(); });
    }
    static int Shape()
    {
        const QCursor* cursor = QGuiApplication::overrideCursor();
        return cursor == nullptr ? -1 : cursor->shape();
    }
    QList<int> whileWorking, whileCopying, underBoxes;
};

} // namespace

class TestHuge : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void hundredThousandLines()
    {
        WindowDriver w;
        QStringList lines = Students(99999);
        QVERIFY(w.paste(Table(lines)).isEmpty());
        const DivisionState& state = w.window.state();
        QCOMPARE(state.FStudents.size(), std::size_t(99999));
        QCOMPARE(w.rows("StrGrid"), 100000);
        QCOMPARE(w.cell("StrGrid", 1, 99999), QStringLiteral("学生99999"));
        QCOMPARE(NameOf(state.FStudents.back()), QStringLiteral("学生99999"));
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 100); // the largest class count

        QVERIFY(w.click("BitBtn2").isEmpty());
        std::size_t placed = 0;
        for (const TStudentList& list : state.FClasses) {
            QVERIFY(list.size() == 999 || list.size() == 1000);
            placed += list.size();
        }
        QCOMPARE(placed, std::size_t(99999));
    }

    void lineOfTenThousandFields()
    {
        WindowDriver w;
        QStringList fields {QStringLiteral("甲"), QStringLiteral("男"), QString()};
        for (int k = 3; k < 10000; ++k)
            fields << QString::number(k);
        QVERIFY(w.paste(Header + fields.join(QLatin1Char('\t'))).isEmpty());
        QCOMPARE(w.cols("StrGrid"), 10001);
        QCOMPARE(w.cell("StrGrid", 10000, 1), QStringLiteral("9999"));
        const TStudent* student = w.window.state().FStudents.at(0);
        QCOMPARE(student->Scores[0], 3.0L); // the total, column 4
        QCOMPARE(student->Scores[10], 13.0L); // the last subject, column 14
        StillDivides(w);
        QCOMPARE(w.cols("StrGrid"), 15);
    }

    // A wide line among many: a grid of 100,000 rows by 10,001 columns, read
    // whole (it used to need a billion cells and ran out of memory). Without
    // the model tester, which would visit every one of those cells.
    void manyLinesAndOneWide()
    {
        WindowDriver w(WindowDriver::Mode::Plain);
        w.window.show();
        QStringList lines = Students(99999);
        lines[4] = QStringList(10000, QStringLiteral("1")).join(QLatin1Char('\t'));
        const QList<SeenBox> boxes = w.paste(Table(lines));
        QVERIFY(boxes.isEmpty());
        const CellGrid& cells = w.window.rosterGrid().grid();
        QCOMPARE(cells.rowCount(), 100000);
        QCOMPARE(cells.colCount(), 10001);
        QCOMPARE(cells.cell(10000, 5), std::string("1"));
        QCOMPARE(cells.cell(10000, 6), std::string());
        QCOMPARE(QString::fromStdString(cells.cell(1, 99999)), QStringLiteral("学生99999"));
        const DivisionState& state = w.window.state();
        QCOMPARE(state.FStudents.size(), std::size_t(99999));
        QCOMPARE(state.FStudents[4]->Scores[10], 1.0L);
        QCOMPARE(NameOf(state.FStudents[5]), QStringLiteral("学生6"));
    }

    void megabyteNameIsKeptWhole()
    {
        WindowDriver w;
        const QString name(1 << 20, QChar(0x5B66)); // 学
        QVERIFY(w.paste(Header + name + QStringLiteral("\t女\t\t1")).isEmpty());
        QCOMPARE(w.cell("StrGrid", 1, 1), name); // the grid keeps the cell whole
        QCOMPARE(NameOf(w.window.state().FStudents.at(0)), name);
    }

    void megabyteScoreGivesAShortMessage()
    {
        WindowDriver w;
        const QString cell = QString(1 << 20, QLatin1Char('9')) + QStringLiteral("x");
        const QList<SeenBox> boxes = w.paste(Header + QStringLiteral("A\t男\t\t") + cell);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QVERIFY(boxes[0].text.size() <= LongestBoxText);
        QVERIFY(boxes[0].text.startsWith(QStringLiteral("'999")));
        QVERIFY(boxes[0].text.endsWith(QStringLiteral("9x' is not a valid floating point value.")));
        QVERIFY(w.window.state().FStudents.empty());
        StillDivides(w);
    }

    void binaryGarbage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names"); // the roster read
        QTest::addColumn<QString>("message"); // or the one failure shown

        const QString nul(QChar(0));
        QTest::newRow("NUL ends the text") << Header + u"A\t男\t\t1\r\nB"_s + nul + u"\t女\t\tgarbage\r\nC\t男\t\t3"_s
                                           << QStringList {u"A"_s, u"B"_s} << QString();
        QTest::newRow("NUL first") << nul + Header + u"A\t男\t\tx"_s << QStringList {QString()}
                                   << QString(); // one blank row
        const QByteArray invalidUtf8("\xff\xfe\xc0\xaf\t\xed\xa0\x80\t\t1\r\n", 14);
        QTest::newRow("invalid UTF-8") << Header + QString::fromUtf8(invalidUtf8)
                                       << QStringList {QString(4, QChar(0xFFFD))} << QString();
        const QString highAlone(QChar(0xD800)), lowAlone(QChar(0xDC00));
        QTest::newRow("lone surrogates in texts")
            << Header + highAlone + u"A\t"_s + lowAlone + u"\t\t2"_s << QStringList {QStringLiteral("?A")} << QString();
        QTest::newRow("lone surrogate in a score")
            << Header + u"A\t男\t\t1"_s + highAlone << QStringList {} << u"'1?' is not a valid floating point value."_s;
        QTest::newRow("control characters as blanks")
            << Header + u"\x01\x02\t\x1b\t\x1f\t \x0b\r\nB\t女\t\t1\r\nC\t男\t\t2"_s
            << QStringList {u"\x01\x02"_s, u"B"_s, u"C"_s} << QString();
        QTest::newRow("DEL is no number")
            << Header + u"A\t男\t\t\x7f"_s << QStringList {} << u"'\x7f' is not a valid floating point value."_s;
    }
    void binaryGarbage()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        QFETCH(QString, message);
        WindowDriver w;
        const QList<SeenBox> boxes = w.paste(text);
        if (message.isEmpty()) {
            QCOMPARE(boxes.size(), 0);
        } else {
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes[0].text.startsWith(message), qPrintable(boxes[0].text));
        }
        QStringList read;
        for (const TStudent* student : w.window.state().FStudents)
            read << NameOf(student);
        QCOMPARE(read, names);
        StillDivides(w);
    }

    // Long work shows the wait cursor; no box and no later moment keeps it.
    void waitCursorWhileWorking()
    {
        WindowDriver w;
        CursorWatch watch(w);
        QStringList lines;
        for (int k = 1; k <= 60; ++k)
            lines << QStringLiteral("S%1\t%2\t\t%3\t%4")
                         .arg(k)
                         .arg(k % 2 ? u"男"_s : u"女"_s)
                         .arg(k * 37 % 101)
                         .arg(k * 53 % 97);
        w.paste(Table(lines));
        w.control<QSpinBox>("SpinEdit1")->setValue(3);
        w.click("BitBtn2");
        QVERIFY(!watch.whileWorking.isEmpty());
        QVERIFY(watch.whileWorking.count(Qt::WaitCursor) == watch.whileWorking.size());
        watch.whileWorking.clear();
        QVERIFY(w.click("Button4").isEmpty()); // a swap redraws the averages
        QVERIFY(!watch.whileWorking.isEmpty());
        QVERIFY(watch.whileWorking.count(Qt::WaitCursor) == watch.whileWorking.size());
        QCOMPARE(CursorWatch::Shape(), -1);
        watch.whileCopying.clear();
        w.view("StrGrid")->selectAll();
        w.click("BitBtn3");
        QCOMPARE(watch.whileCopying, QList<int>({Qt::WaitCursor}));
        QCOMPARE(CursorWatch::Shape(), -1);

        w.control<QCheckBox>("chkAuto")->setChecked(true);
        w.control<QComboBox>("cmbSubject")->setCurrentIndex(0);
        w.control<QSpinBox>("speClassB")->setValue(1);
        QCOMPARE(w.click("Button4").size(), 1); // 调整完成
        QCOMPARE(w.paste(Table({u"A\t男\t\tx"_s})).size(), 1); // a cell that does not convert
        QCOMPARE(watch.underBoxes, QList<int>({-1, -1}));
        QCOMPARE(CursorWatch::Shape(), -1);
    }

    void longMessagesAreShortened_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        const QString fits(LongestBoxText, QLatin1Char('a'));
        QTest::newRow("fits") << fits << fits;
        const QString head(199, QLatin1Char('h')), middle(500, QLatin1Char('m')), tail(100, QLatin1Char('t'));
        QTest::newRow("too long") << head + middle + tail << head + QChar(0x2026) + tail;
        const QString pair = QStringLiteral("😀"); // two UTF-16 units
        QTest::newRow("pair at the cut") << QString(198, QLatin1Char('h')) + pair + middle + pair + QString(99, u't')
                                         << QString(198, QLatin1Char('h')) + QChar(0x2026) + QString(99, u't');
    }
    void longMessagesAreShortened()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ShortenedForBox(message), shown);
    }
};

QTEST_MAIN(TestHuge)
#include "tst_huge.moc"
