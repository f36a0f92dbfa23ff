#include "FaultyFileSystem.h"
#include "GradeText.h"
#include "WindowDriver.h"
#include "XlsReaders.h"
#include "common/FileSaving.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <algorithm>
#include <system_error>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

QString Clipboard()
{
    return QGuiApplication::clipboard()->text();
}

// Writing fails at the first step, like a folder that takes no new file.
class RefusingFiles final : public FileSystem {
public:
    std::unique_ptr<OutputFile> createNew(const std::filesystem::path&) override
    {
        throw std::system_error(std::make_error_code(std::errc::permission_denied));
    }
    void replace(const std::filesystem::path&, const std::filesystem::path&) override { }
    void remove(const std::filesystem::path&) noexcept override { }
};

} // namespace

class TestOutput : public QObject {
    Q_OBJECT

private slots:
    void moveFromAClassListing()
    {
        WindowDriver w;
        w.paste(SixStudents());
        w.control<QSpinBox>("SpinEdit1")->setValue(2);
        w.click("BitBtn2");
        const QString averagesBefore = w.cell("gdAvg", 1, 1);
        w.chooseNode(u"2"_s);
        w.clickCell("StrGrid", 2, 3); // B
        w.moveToClass(1);
        const DivisionState& state = w.window.state();
        QCOMPARE(Names(state.FClasses[1]), QStringList({u"C"_s, u"E"_s, u"F"_s}));
        QCOMPARE(Names(state.FClasses[0]), QStringList({u"A"_s, u"D"_s, u"B"_s}));
        const TStudent* moved = state.FClasses[0].back();
        QCOMPARE(moved->ClassNo, 1);
        QVERIFY(moved->IsHandPlaced());
        QCOMPARE(w.rows("StrGrid"), 4); // class 2 redrawn one row shorter
        QCOMPARE(w.cell("StrGrid", 1, 3), QStringLiteral("F"));
        QCOMPARE(w.cell("gdAvg", 1, 1), averagesBefore); // the averages wait for the next division
        QCOMPARE(w.cell("gdAvg", 0, 1), QStringLiteral("1 (1/2)"));

        w.clickCell("StrGrid", 1, 1);
        w.moveToClass(2); // the class listed: nothing happens
        QCOMPARE(Names(state.FClasses[1]), QStringList({u"C"_s, u"E"_s, u"F"_s}));
    }

    void moveFromTheWholeRoster()
    {
        WindowDriver w;
        w.paste(Table(Students(120)));
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 3);
        w.click("BitBtn2");
        w.chooseNode(u"全部"_s);
        const DivisionState& state = w.window.state();
        const TStudent* student = state.FStudents[39];
        const int from = student->ClassNo;
        const int to = from == 1 ? 2 : 1;
        std::vector<TStudentList> before = state.FClasses;
        w.rightClickCell("StrGrid", 1, 40); // a right-click chooses the row it points at
        QCOMPARE(w.window.view().FSelRow, 40);
        w.moveToClass(to);
        QCOMPARE(state.FClasses[from - 1].size(), before[from - 1].size() - 1);
        std::erase(before[from - 1], student);
        QCOMPARE(state.FClasses[from - 1], before[from - 1]); // exactly that student left
        QCOMPARE(state.FClasses[to - 1].back(), student);
        QCOMPARE(state.FStudents[39], student); // it keeps its row
        QCOMPARE(w.cell("StrGrid", 1, 40), NameOf(student));
        QCOMPARE(w.cell("StrGrid", 3, 40), QString::number(to));
    }

    void handPlacedBeforeTheDivisionStaysThrough()
    {
        WindowDriver w;
        w.paste(Table(Students(60)));
        w.moveToClass(1); // nothing chosen since the paste: nothing happens
        QVERIFY(w.window.state().FClasses[0].empty());
        w.clickCell("StrGrid", 2, 7);
        w.moveToClass(2);
        const DivisionState& state = w.window.state();
        const TStudent* placed = state.FStudents[6];
        QCOMPARE(state.FClasses[1], TStudentList({const_cast<TStudent*>(placed)}));
        QCOMPARE(w.cell("StrGrid", 3, 7), QStringLiteral("2"));

        w.click("BitBtn2");
        for (int press = 0; press < 15; ++press) {
            std::size_t members = 0;
            for (const TStudentList& list : state.FClasses)
                members += list.size();
            QCOMPARE(members, state.FStudents.size()); // each student in one list
            QCOMPARE(placed->ClassNo, 2);
            QVERIFY(std::count(state.FClasses[1].begin(), state.FClasses[1].end(), placed) == 1);
            w.click("Button4");
        }
    }

    void copiesTheSelectedBlock()
    {
        WindowDriver w;
        w.paste(SixStudents());
        w.clickCell("StrGrid", 1, 2);
        QVERIFY(w.click("BitBtn3").isEmpty());
        QCOMPARE(Clipboard(), QStringLiteral("B"));
        w.selectBlock("StrGrid", 1, 2, 2, 4);
        w.click("BitBtn3");
        QCOMPARE(Clipboard(), QStringLiteral("B\t女\r\nC\t男\r\nD\t女"));
        w.selectBlock("StrGrid", 2, 5, 4, 6); // the class column is empty before the division
        w.click("BitBtn3");
        QCOMPARE(Clipboard(), QStringLiteral("男\t\t80\r\n女\t\t60"));
        w.selectBlock("StrGrid", 3, 1, 3, 1);
        w.click("BitBtn3");
        QCOMPARE(Clipboard(), QString());
    }

    void copyReplacesEveryFormat()
    {
        WindowDriver w;
        w.paste(SixStudents());
        auto* earlier = new QMimeData;
        earlier->setText(QStringLiteral("old"));
        earlier->setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
        QGuiApplication::clipboard()->setMimeData(earlier);
        w.clickCell("StrGrid", 4, 1);
        w.click("BitBtn3");
        const QMimeData* now = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(now->text(), QStringLiteral("90"));
        QVERIFY(!now->hasFormat(QStringLiteral("image/png")));
    }

    void copiesAClassListing()
    {
        WindowDriver w;
        w.paste(SixStudents());
        w.control<QSpinBox>("SpinEdit1")->setValue(2);
        w.click("BitBtn2");
        w.chooseNode(u"1"_s);
        w.selectBlock("StrGrid", 1, 1, 14, 2);
        w.click("BitBtn3");
        // The whole class from its first column: its header row comes first.
        const QStringList lines = Clipboard().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0].split(u'\t').mid(0, 4), QStringList({u"姓名"_s, u"性别"_s, u"班级"_s, u"总分"_s}));
        QCOMPARE(lines[1].split(u'\t').size(), 14);
        QCOMPARE(lines[1].split(u'\t').mid(0, 4), QStringList({u"A"_s, u"男"_s, u"1"_s, u"90"_s}));
    }

    void exportsTheWholeListing()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("一班"));
        WindowDriver w;
        QStringList students = Students(60);
        students[2].replace(
            QStringLiteral("学生3\t"), QStringLiteral("欧阳明月\t")); // first of class 1 in roster order
        w.paste(Table(students));
        w.control<QSpinBox>("SpinEdit1")->setValue(2);
        w.click("BitBtn2");
        w.chooseNode(u"1"_s);
        QCOMPARE(w.rows("StrGrid"), 31);
        w.clickCell("StrGrid", 2, 2); // the selection does not limit the export
        QVERIFY(w.click("Button1", file).isEmpty());
        QCOMPARE(w.dialogs.fileRequests().size(), 1);
        QCOMPARE(w.dialogs.fileRequests()[0].answer, file + u".xls"_s);

        const SheetReadBack sheet = ReadWithXlrd(file + QStringLiteral(".xls")); // the default suffix
        QVERIFY2(sheet.error.isEmpty(), qPrintable(sheet.error));
        QCOMPARE(sheet.rows, 31);
        QCOMPARE(sheet.columns, 15);
        for (int row = 0; row < 31; ++row)
            for (int col = 0; col < 15; ++col) {
                const QString expected = row == 0 && col == 0
                    ? QString::fromStdString(w.window.rosterGrid().grid().cell(0, 0))
                    : w.cell("StrGrid", col, row);
                const auto& got = sheet.cells[std::size_t(row)][std::size_t(col)];
                QCOMPARE(got ? QString::fromStdString(*got) : QString(), expected);
            }
        QCOMPARE(QString::fromStdString(*sheet.cells[1][1]), QStringLiteral("欧阳明月"));
        QCOMPARE(QString::fromStdString(*sheet.cells[0][0]), QStringLiteral("0"));
    }

    void saveDialogAndCancel()
    {
        QTemporaryDir folder;
        WindowDriver w;
        w.paste(SixStudents());
        const auto disk = std::make_shared<FaultyFileSystem>(0);
        w.window.setFileSystem(disk);
        const QList<SeenBox> boxes = w.click("Button1"); // cancelled
        QCOMPARE(w.dialogs.fileRequests().size(), 1);
        const SeenFileRequest& asked = w.dialogs.fileRequests()[0];
        QVERIFY(asked.save);
        QCOMPARE(asked.request.caption, QStringLiteral("导出EXCEL的文件"));
        QCOMPARE(asked.request.filter, QStringLiteral("EXCEL文件(*.xls)"));
        QCOMPARE(asked.request.defaultSuffix, QStringLiteral("xls"));
        QCOMPARE(asked.request.objectName, QStringLiteral("SaveDialog1"));
        QVERIFY(!asked.request.confirmOverwrite);
        QVERIFY(asked.answer.isEmpty());
        QVERIFY(boxes.isEmpty());
        QCOMPARE(disk->steps(), 0); // nothing written
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    void refusedSave()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("x.xls"));
        WindowDriver w;
        w.paste(SixStudents());
        w.window.setFileSystem(std::make_shared<RefusingFiles>());
        const QList<SeenBox> boxes = w.click("Button1", file);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QVERIFY2(boxes[0].text.contains(QStringLiteral("x.xls")), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].text.endsWith(u'.'));
        QVERIFY(!QFile::exists(file));
    }
};

QTEST_MAIN(TestOutput)
#include "tst_output.moc"
