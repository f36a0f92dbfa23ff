#include "WindowDriver.h"
#include "XlsReaders.h"
#include "roster/Gb18030.h"
#include "xls/BuiltInSpreadsheet.h"
#include "xls/FileSaving.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <algorithm>
#include <system_error>

using namespace fenban;

namespace {

QString SixStudents()
{
    return Table({"A\t男\t\t90", "B\t女\t\t85", "C\t男\t\t70", "D\t女\t\t95", "E\t男\t\t80", "F\t女\t\t60"},
        "姓名\t性别\t班级\t总分");
}

QString NameOf(const TStudent* student)
{
    return QString::fromStdString(Gb18030ToUtf8(student->Name.view()));
}

QStringList Names(const TStudentList& list)
{
    QStringList names;
    for (const TStudent* student : list)
        names << NameOf(student);
    return names;
}

void ChooseNode(WindowDriver& w, const QString& text)
{
    auto* tree = w.control<QTreeWidget>("trvClassList");
    const auto found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY(!found.isEmpty());
    tree->setCurrentItem(found.first());
}

// Triggers the popup menu's item for class k, as a click on it does.
void MoveTo(WindowDriver& w, int classNo)
{
    for (QAction* item : w.control<QMenu>("ppmClass")->actions())
        if (item->data().toInt() == classNo)
            return item->trigger();
    QFAIL("no such menu item");
}

void RightClickCell(WindowDriver& w, int col, int row)
{
    QTableView* grid = w.view("StrGrid");
    const QModelIndex index = grid->model()->index(row - 1, col - 1);
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, grid->visualRect(index).center());
}

void SelectBlock(WindowDriver& w, int left, int top, int right, int bottom)
{
    QTableView* grid = w.view("StrGrid");
    const QAbstractItemModel* model = grid->model();
    grid->selectionModel()->setCurrentIndex(model->index(top - 1, left - 1), QItemSelectionModel::NoUpdate);
    grid->selectionModel()->select(QItemSelection(model->index(top - 1, left - 1), model->index(bottom - 1, right - 1)),
        QItemSelectionModel::ClearAndSelect);
}

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
        ChooseNode(w, "2");
        w.clickCell("StrGrid", 2, 3); // B
        MoveTo(w, 1);
        const DivisionState& state = w.window.state();
        QCOMPARE(Names(state.FClasses[1]), QStringList({"C", "E", "F"}));
        QCOMPARE(Names(state.FClasses[0]), QStringList({"A", "D", "B"}));
        const TStudent* moved = state.FClasses[0].back();
        QCOMPARE(moved->ClassNo, 1);
        QVERIFY(moved->IsHandPlaced());
        QCOMPARE(w.rows("StrGrid"), 4); // class 2 redrawn one row shorter
        QCOMPARE(w.cell("StrGrid", 1, 3), QStringLiteral("F"));
        QCOMPARE(w.cell("gdAvg", 1, 1), averagesBefore); // the averages wait for the next division
        QCOMPARE(w.cell("gdAvg", 0, 1), QStringLiteral("1 (1/2)"));

        w.clickCell("StrGrid", 1, 1);
        MoveTo(w, 2); // the class listed: nothing happens
        QCOMPARE(Names(state.FClasses[1]), QStringList({"C", "E", "F"}));
    }

    void moveFromTheWholeRoster()
    {
        WindowDriver w;
        w.paste(Table(Students(120)));
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 3);
        w.click("BitBtn2");
        ChooseNode(w, "全部");
        const DivisionState& state = w.window.state();
        const TStudent* student = state.FStudents[39];
        const int from = student->ClassNo;
        const int to = from == 1 ? 2 : 1;
        std::vector<TStudentList> before = state.FClasses;
        RightClickCell(w, 1, 40); // a right-click chooses the row it points at
        QCOMPARE(state.FSelRow, 40);
        MoveTo(w, to);
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
        MoveTo(w, 1); // nothing chosen since the paste: nothing happens
        QVERIFY(w.window.state().FClasses[0].empty());
        w.clickCell("StrGrid", 2, 7);
        MoveTo(w, 2);
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
        SelectBlock(w, 1, 2, 2, 4);
        w.click("BitBtn3");
        QCOMPARE(Clipboard(), QStringLiteral("B\t女\r\nC\t男\r\nD\t女"));
        SelectBlock(w, 2, 5, 4, 6); // the class column is empty before the division
        w.click("BitBtn3");
        QCOMPARE(Clipboard(), QStringLiteral("男\t\t80\r\n女\t\t60"));
        SelectBlock(w, 3, 1, 3, 1);
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
        ChooseNode(w, "1");
        SelectBlock(w, 1, 1, 14, 2);
        w.click("BitBtn3");
        const QStringList lines = Clipboard().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].split('\t').size(), 14);
        QCOMPARE(lines[0].split('\t').mid(0, 4), QStringList({"A", "男", "1", "90"}));
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
        ChooseNode(w, "1");
        QCOMPARE(w.rows("StrGrid"), 31);
        w.clickCell("StrGrid", 2, 2); // the selection does not limit the export
        QList<QFileDialog*> dialogs;
        QVERIFY(w.click("Button1", file, &dialogs).isEmpty());
        QCOMPARE(dialogs.size(), 1);

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
        int created = 0;
        w.window.setSpreadsheetFactory([&created](std::string_view) {
            ++created;
            return std::unique_ptr<SpreadsheetAutomationObject>();
        });
        QList<QFileDialog*> dialogs;
        QList<SeenBox> boxes;
        bool checked = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("导出EXCEL的文件"));
            QCOMPARE(dialog->nameFilters(), QStringList({"EXCEL文件(*.xls)"}));
            QCOMPARE(dialog->defaultSuffix(), QStringLiteral("xls"));
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            checked = true;
        });
        boxes = w.click("Button1", {}, &dialogs); // cancelled
        QVERIFY(checked);
        QCOMPARE(dialogs.size(), 1);
        QVERIFY(boxes.isEmpty());
        QCOMPARE(created, 0);
        QVERIFY(QDir(folder.path()).isEmpty());
    }

    void missingSpreadsheetAndRefusedSave()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("x.xls"));
        WindowDriver w;
        w.paste(SixStudents());
        w.window.setSpreadsheetFactory([](std::string_view className) -> std::unique_ptr<SpreadsheetAutomationObject> {
            if (className == "excel.sheet")
                throw std::runtime_error("not registered");
            return BuiltInSpreadsheetFactory()(className);
        });
        QList<SeenBox> boxes = w.click("Button1", file);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("您的机器没有安装EXCEL！不能输出！"));
        QCOMPARE(boxes[0].title, QStringLiteral("均衡分班"));
        QCOMPARE(boxes[0].icon, QMessageBox::NoIcon);
        QVERIFY(!QFile::exists(file));

        w.window.setSpreadsheetFactory(BuiltInSpreadsheetFactory(std::make_shared<RefusingFiles>()));
        boxes = w.click("Button1", file);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QVERIFY2(boxes[0].text.contains(QStringLiteral("x.xls")), qPrintable(boxes[0].text));
        QVERIFY(boxes[0].text.endsWith('.'));
        QVERIFY(!QFile::exists(file));
    }
};

QTEST_MAIN(TestOutput)
#include "tst_output.moc"
