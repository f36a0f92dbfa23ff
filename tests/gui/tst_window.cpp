#include "GradeText.h"
#include "WindowDriver.h"
#include "app/HandlerGuard.h"
#include "roster/Gb18030.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QTabWidget>
#include <QTextBrowser>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

class TestWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void opensOnTheHelpTabWithEveryControl()
    {
        {
            const TForm1 unshown; // the offscreen platform forgets the normal geometry once shown
            QVERIFY(unshown.windowState() & Qt::WindowMaximized);
            QCOMPARE(unshown.normalGeometry(), QRect(270, 150, 696, 480));
        }
        WindowDriver w;
        QCOMPARE(w.window.windowTitle(), QStringLiteral("均衡分班"));
        auto* pages = w.control<QTabWidget>("PageControl1");
        QCOMPARE(pages->count(), 4);
        QCOMPARE(pages->widget(0), w.control<QWidget>("TabSheet3"));
        QCOMPARE(pages->widget(1), w.control<QWidget>("TabSheet1"));
        QCOMPARE(pages->widget(2), w.control<QWidget>("TabSheet2"));
        QCOMPARE(pages->tabText(0), QStringLiteral("帮助"));
        QCOMPARE(pages->tabText(1), QStringLiteral("名单"));
        QCOMPARE(pages->tabText(2), QStringLiteral("平均分"));
        QCOMPARE(pages->widget(3), w.control<QWidget>("tabBalance"));
        QCOMPARE(pages->tabText(3), QStringLiteral("均衡"));
        QCOMPARE(pages->currentIndex(), 0);

        const QList<std::pair<const char*, QString>> captions {{"BitBtn1", u"读入数据"_s}, {"BitBtn2", u"编班"_s},
            {"BitBtn3", u"拷贝"_s}, {"Button1", u"导出EXCEL"_s}, {"Button4", u"调整"_s}};
        for (const auto& [name, caption] : captions)
            QCOMPARE(w.control<QPushButton>(name)->text(), caption);
        QCOMPARE(w.control<QCheckBox>("chkAuto")->text(), QStringLiteral("手动调班"));
        QVERIFY(!w.control<QCheckBox>("chkAuto")->isChecked());
        QCOMPARE(w.control<QLabel>("Label3")->text(), QStringLiteral("分班数："));
        QCOMPARE(w.control<QLabel>("Label4")->text(), QStringLiteral("互换班级："));
        QCOMPARE(w.control<QLabel>("Label1")->text(), QStringLiteral("<-->"));
        QCOMPARE(w.control<QLabel>("Label6")->text(), QStringLiteral("调整科目："));
        QCOMPARE(w.control<QLabel>("Label2")->text(), QStringLiteral("较正系数："));
        for (const char* name : {"Panel1", "Panel2", "Panel3", "Panel4", "GroupBox1", "ScrollBox1", "Image1", "Image2"})
            QVERIFY(w.control<QWidget>(name));
        QVERIFY(w.control<QTextBrowser>("WebBrowser1"));
        QVERIFY(!w.control<QLineEdit>("Edit1")->text().size());

        struct Spin {
            const char* name;
            int value, min, max;
        };
        for (const Spin& s :
            {Spin {"SpinEdit1", 1, 1, 100}, Spin {"speClassA", 1, 1, 100}, Spin {"speClassB", 2, 1, 100},
                Spin {"speSystem", 1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}}) {
            auto* spin = w.control<QSpinBox>(s.name);
            QCOMPARE(spin->value(), s.value);
            QCOMPARE(spin->minimum(), s.min);
            QCOMPARE(spin->maximum(), s.max);
        }
        QCOMPARE(w.control<QComboBox>("cmbSubject")->count(), 0);
        QCOMPARE(w.control<QTreeWidget>("trvClassList")->topLevelItemCount(), 0);
        QVERIFY(w.control<QMenu>("ppmClass")->actions().isEmpty());
        QVERIFY(w.window.state().FClasses.empty());
    }

    void tabOrderFollowsTheLayout()
    {
        WindowDriver w;
        const QStringList order {u"BitBtn1"_s, u"SpinEdit1"_s, u"BitBtn2"_s, u"trvClassList"_s, u"BitBtn3"_s,
            u"Button1"_s, u"StrGrid"_s, u"Button4"_s, u"Edit1"_s, u"chkAuto"_s, u"speClassA"_s, u"speClassB"_s,
            u"cmbSubject"_s, u"speSystem"_s, u"btnBalanceAll"_s, u"chkSoundAlike"_s, u"cmbBands"_s, u"gdAvg"_s};
        for (qsizetype i = 0; i + 1 < order.size(); ++i) {
            QWidget* next = w.control<QWidget>(qPrintable(order[i]))->nextInFocusChain();
            while (!order.contains(next->objectName()))
                next = next->nextInFocusChain();
            QCOMPARE(next->objectName(), order[i + 1]);
        }
    }

    void rosterGridStartsNumbered()
    {
        WindowDriver w;
        QCOMPARE(w.cols("StrGrid"), 6);
        QCOMPARE(w.rows("StrGrid"), 5);
        QCOMPARE(QString::fromStdString(w.window.rosterGrid().grid().cell(0, 0)), QStringLiteral("1"));
        for (int row = 1; row < 5; ++row)
            QCOMPARE(w.cell("StrGrid", 0, row), QString::number(row + 1));
        QCOMPARE(w.cell("StrGrid", 3, 0), QString()); // an empty header, not Qt's section number
        QCOMPARE(w.cols("gdAvg"), 5);
        QCOMPARE(w.rows("gdAvg"), 5);
    }

    void pasteFillsGridRosterAndChooser()
    {
        WindowDriver w;
        const QList<SeenBox> boxes = w.paste(
            Table({u"张三\t男\t\t600\t95.5"_s, u"李四\t女\t\t580\t\t88"_s}, u"姓名\t性别\t班级\t总分\t语文\t\t英语"_s));
        QVERIFY(boxes.isEmpty());
        QCOMPARE(w.rows("StrGrid"), 3);
        QCOMPARE(w.cols("StrGrid"), 15);
        QCOMPARE(QString::fromStdString(w.window.rosterGrid().grid().cell(0, 0)), QStringLiteral("0"));
        QCOMPARE(w.cell("StrGrid", 0, 1), QStringLiteral("1"));
        QCOMPARE(w.cell("StrGrid", 0, 2), QStringLiteral("2"));
        QCOMPARE(w.cell("StrGrid", 1, 0), QStringLiteral("姓名"));
        QCOMPARE(w.cell("StrGrid", 1, 2), QStringLiteral("李四"));
        QCOMPARE(w.cell("StrGrid", 5, 1), QStringLiteral("95.5"));

        const DivisionState& state = w.window.state();
        QCOMPARE(state.FStudents.size(), std::size_t(2));
        QCOMPARE(QString::fromStdString(Gb18030ToUtf8(state.FStudents[1]->Name)), QStringLiteral("李四"));
        QCOMPARE(double(state.FStudents[1]->Scores[2]), 88.0);
        QCOMPARE(w.window.view().FShownClass, -1);
        QCOMPARE(w.window.view().FSelRow, -1);

        auto* chooser = w.control<QComboBox>("cmbSubject");
        QCOMPARE(chooser->count(), 11);
        QCOMPARE(chooser->itemText(0), QStringLiteral("总分"));
        QCOMPARE(chooser->itemText(2), QStringLiteral("  "));
        QCOMPARE(chooser->itemText(3), QStringLiteral("英语"));
        QCOMPARE(chooser->itemText(10), QStringLiteral("  "));
        QCOMPARE(chooser->currentIndex(), -1);
        // One class proposed, the same as shown: nothing is rebuilt.
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 1);
        QCOMPARE(w.control<QTreeWidget>("trvClassList")->topLevelItemCount(), 0);
    }

    void proposedClassCountRebuildsTreeAndMenu()
    {
        WindowDriver w;
        w.paste(Table(Students(100)));
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 3);
        auto* tree = w.control<QTreeWidget>("trvClassList");
        QCOMPARE(tree->topLevelItemCount(), 1);
        const QTreeWidgetItem* root = tree->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("全部"));
        QCOMPARE(root->childCount(), 3);
        QVERIFY(root->isExpanded());
        QCOMPARE(root->child(2)->text(0), QStringLiteral("3"));
        const QList<QAction*> items = w.control<QMenu>("ppmClass")->actions();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[2]->text(), QStringLiteral("-->转到 3 班级"));
        QCOMPARE(items[2]->data().toInt(), 3);
        QCOMPARE(w.window.state().FClasses.size(), std::size_t(3));

        w.paste(Table(Students(49)));
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 1);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
        QCOMPARE(w.window.state().FClasses.size(), std::size_t(1));
    }

    void pastedShapes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<int>("students");
        QTest::newRow("header alone") << "姓名\t性别" << 2 << 15 << 1;
        QTest::newRow("empty text") << "" << 2 << 15 << 1;
        QTest::newRow("LF line ends, trailing end") << "h\na\t男\nb\t女\n" << 3 << 15 << 2;
        QTest::newRow("empty line inside") << "h\r\n\r\nb" << 3 << 15 << 2;
        QTest::newRow("twenty fields") << u"h\r\n"_s + u"x\t"_s.repeated(19) + u"x"_s << 2 << 21 << 1;
    }
    void pastedShapes()
    {
        QFETCH(QString, text);
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(int, students);
        WindowDriver w;
        w.paste(Table(Students(8))); // an earlier, larger table
        const QList<SeenBox> boxes = w.paste(text.replace(u"x"_s, u"1"_s));
        QVERIFY2(boxes.isEmpty(), boxes.isEmpty() ? "" : qPrintable(boxes[0].text));
        QCOMPARE(w.rows("StrGrid"), rows);
        QCOMPARE(w.cols("StrGrid"), cols);
        QCOMPARE(w.window.state().FStudents.size(), std::size_t(students));
        // Nothing of the earlier table is left in the grid.
        for (int row = 0; row < w.rows("StrGrid"); ++row)
            for (int col = 1; col < w.cols("StrGrid"); ++col)
                QVERIFY(!w.cell("StrGrid", col, row).startsWith(QStringLiteral("学生")));
    }

    void noTextOnTheClipboard()
    {
        WindowDriver w;
        w.paste(Table(Students(8)));
        w.clickCell("StrGrid", 5, 6);
        QCOMPARE(w.window.view().FSelRow, 6);

        auto* imageOnly = new QMimeData;
        imageOnly->setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
        QGuiApplication::clipboard()->setMimeData(imageOnly);
        const QList<SeenBox> boxes = w.click("BitBtn1");
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("没有可粘帖的文本。"));
        QCOMPARE(boxes[0].title, QStringLiteral("Information"));
        QCOMPARE(boxes[0].icon, QMessageBox::Information);
        // The grid was cut to two rows first, and the current cell moved with it.
        QCOMPARE(w.rows("StrGrid"), 2);
        QCOMPARE(w.window.view().FSelRow, 1);
        QCOMPARE(w.window.view().FSelCol, 5);
        QCOMPARE(w.window.state().FStudents.size(), std::size_t(8));
        QCOMPARE(w.control<QComboBox>("cmbSubject")->count(), 11);
    }

    void badCellIsNamedAndNoRosterIsLeft()
    {
        WindowDriver w;
        w.paste(Table(Students(60)));
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 2);
        QStringList students = Students(120);
        students[70] = QStringLiteral("学生71\t男\t\t缺考\t90");
        const QList<SeenBox> boxes = w.paste(Table(students, u"a\tb\tc\td"_s));
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, QStringLiteral("均衡分班"));
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(boxes[0].text, QStringLiteral("'缺考' is not a valid floating point value."));

        const DivisionState& state = w.window.state();
        QVERIFY(state.FStudents.empty());
        QVERIFY(state.Records.empty());
        QCOMPARE(state.FClasses.size(), std::size_t(2)); // emptied, not dropped
        for (const TStudentList& list : state.FClasses)
            QVERIFY(list.empty());
        QCOMPARE(w.rows("StrGrid"), 121); // the pasted text stays
        QCOMPARE(w.cell("StrGrid", 4, 71), QStringLiteral("缺考"));
        QCOMPARE(w.control<QComboBox>("cmbSubject")->itemText(0), QStringLiteral("总分")); // not updated
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 2);
    }

    void decimalSeparatorOfTheLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        WindowDriver w;
        QVERIFY(w.paste(Table({u"a\t男\t\t87,5"_s})).isEmpty());
        QCOMPARE(double(w.window.state().FStudents[0]->Scores[0]), 87.5);
        const QList<SeenBox> boxes = w.paste(Table({u"a\t男\t\t87.5"_s}));
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("'87.5' is not a valid floating point value."));
    }

    void classCountChangesOnlyOnCommittedValues()
    {
        WindowDriver w;
        auto* spin = w.control<QSpinBox>("SpinEdit1");
        auto* tree = w.control<QTreeWidget>("trvClassList");
        spin->setFocus();
        spin->selectAll();
        QTest::keyClick(spin, Qt::Key_Backspace);
        QTest::keyClicks(spin, u"12"_s);
        QCOMPARE(tree->topLevelItemCount(), 0); // typing alone changes nothing
        QTest::keyClick(spin, Qt::Key_Return);
        QCOMPARE(tree->topLevelItem(0)->childCount(), 12);
        QCOMPARE(w.window.state().FClasses.size(), std::size_t(12));
        QTest::keyClick(spin, Qt::Key_Up);
        QCOMPARE(w.window.state().FClasses.size(), std::size_t(13));
        spin->setValue(500); // brought within the bounds
        QCOMPARE(spin->value(), 100);
        QCOMPARE(w.window.state().FClasses.size(), std::size_t(100));
    }

    void fullStopRule_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "abc"
                                << "abc.";
        QTest::newRow("full stop already") << "abc."
                                           << "abc.";
        QTest::newRow("below the full stop") << "abc-"
                                             << "abc-";
        QTest::newRow("space") << "abc "
                               << "abc ";
        QTest::newRow("slash is above") << "a/"
                                        << "a/.";
        QTest::newRow("Chinese") << "不能输出"
                                 << "不能输出.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fullStopRule()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(WithFullStop(message), shown);
    }
};

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
