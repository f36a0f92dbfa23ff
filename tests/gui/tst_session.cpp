#include "DivisionText.h"
#include "EngineTestKit.h"
#include "GradeText.h"
#include "SessionTestKit.h"
#include "app/SessionActions.h"
#include "app/Translations.h"
#include "session/Session.h"

#include <QCheckBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <random>

using namespace fenban;
using namespace fenban::testkit;
using namespace Qt::StringLiterals;

namespace {

// The window as a step left it, but for the choices (listing, cell).
struct Seen {
    DivisionState state;
    QStringList averages;
    QString edit1;
    int classCount = 0;
    QStringList subjects;
};

QStringList AllCells(const WindowDriver& w, const char* grid)
{
    QStringList cells;
    for (int r = 0; r < w.rows(grid); ++r)
        cells << w.row(grid, r, 0, w.cols(grid) - 1);
    return cells;
}

Seen Look(const WindowDriver& w)
{
    Seen seen {Clone(w.window.state()), AllCells(w, "gdAvg"), w.control<QLineEdit>("Edit1")->text(),
        w.control<QSpinBox>("SpinEdit1")->value(), {}};
    const auto* subjects = w.control<QComboBox>("cmbSubject");
    for (int i = 0; i < subjects->count(); ++i)
        seen.subjects << subjects->itemText(i);
    return seen;
}

// Empty when the window shows what was seen; the choices are the window's.
QString Difference(const WindowDriver& w, const Seen& seen)
{
    if (const std::string difference = sessiontest::StateDifference(seen.state, w.window.state()); !difference.empty())
        return QString::fromStdString(difference);
    const Seen now = Look(w);
    if (now.averages != seen.averages || now.edit1 != seen.edit1 || now.classCount != seen.classCount
        || now.subjects != seen.subjects)
        return u"averages, Edit1, class count or subjects"_s;
    const auto* tree = w.control<QTreeWidget>("trvClassList");
    const int nodes = tree->topLevelItemCount() == 0 ? 0 : tree->topLevelItem(0)->childCount();
    if (nodes != static_cast<int>(seen.state.FClasses.size()))
        return u"tree nodes"_s;
    return {};
}

// Empty when a listing drawn anew (after an undo or an open) is that of the
// tree's current node: the roster or the class.
QString ListingDifference(const WindowDriver& w)
{
    const QTreeWidgetItem* node = w.control<QTreeWidget>("trvClassList")->currentItem();
    if (node == nullptr)
        return {}; // the table is shown
    const DivisionState& s = w.window.state();
    const int shown = node->parent() == nullptr ? -1 : node->text(0).toInt() - 1;
    if (shown != w.window.view().FShownClass)
        return u"tree node and listing"_s;
    const TStudentList none;
    const auto index = static_cast<std::size_t>(shown);
    const TStudentList& list = shown == -1 ? s.FStudents : index < s.FClasses.size() ? s.FClasses[index] : none;
    if (w.column("StrGrid", 1) != Names(list) && !(list.empty() && w.rows("StrGrid") == 1))
        return u"listing"_s;
    return {};
}

std::size_t StepsDone(const WindowDriver& w)
{
    return w.window.session().history().stepsDone();
}

// One random action through the window, as a user would do it. Returns the
// name of the step it is when it changes the division; empty for a choice
// or a copy, which are no steps.
QString RandomAction(WindowDriver& w, std::mt19937_64& rng)
{
    const auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const int roll = pick(100);
    if (roll < 4) {
        w.paste(PasteText(sessiontest::RandomTable(rng, 3 + pick(40), pick(3))));
        return u"读入数据"_s;
    }
    if (roll < 9) {
        w.control<QSpinBox>("SpinEdit1")->setValue(1 + pick(6));
        return u"分班数"_s;
    }
    if (roll < 23) {
        w.click("BitBtn2");
        return u"编班"_s;
    }
    if (roll < 55) {
        w.control<QCheckBox>("chkAuto")->setChecked(pick(4) == 0);
        const int classCount = w.control<QSpinBox>("SpinEdit1")->value();
        w.control<QSpinBox>("speClassA")->setValue(1 + pick(classCount));
        w.control<QSpinBox>("speClassB")->setValue(1 + pick(classCount));
        auto* subject = w.control<QComboBox>("cmbSubject");
        subject->setCurrentIndex(pick(subject->count() + 1) - 1);
        w.control<QSpinBox>("speSystem")->setValue(1 + pick(3));
        w.click("Button4");
        return u"调整"_s;
    }
    if (w.control<QTreeWidget>("trvClassList")->topLevelItemCount() == 0)
        return {}; // no class count set yet: no tree, no menu
    const int classCount = w.control<QTreeWidget>("trvClassList")->topLevelItem(0)->childCount();
    const int node = pick(classCount + 1);
    w.chooseNode(node == 0 ? u"全部"_s : QString::number(node));
    if (roll < 85) {
        if (w.rows("StrGrid") > 1) {
            w.clickCell("StrGrid", 1 + pick(3), 1 + pick(w.rows("StrGrid") - 1));
            w.moveToClass(1 + pick(classCount));
        }
        return u"调班"_s;
    }
    if (roll < 92) {
        w.selectBlock("StrGrid", 1, 0, 2, w.rows("StrGrid") - 1);
        w.click("BitBtn3");
    }
    return {};
}

// A table whose rows the summary warns about: an empty row, a gender "M",
// a name twice.
QString TableWithWarnings()
{
    return Table({u"张三\t男\t\t90"_s, u"李四\t女\t\t85"_s, u"\t\t\t"_s, u"王五\tM\t\t70"_s, u"张三\t女\t\t60"_s},
        u"姓名\t性别\t班级\t总分"_s);
}

// A window with a division, hand moves and balancing presses.
void DivideAndBalance(WindowDriver& w, std::mt19937_64& rng, int students)
{
    w.paste(PasteText(sessiontest::RandomTable(rng, students, 2)));
    w.control<QSpinBox>("SpinEdit1")->setValue(4);
    w.click("BitBtn2");
    w.control<QComboBox>("cmbSubject")->setCurrentIndex(1);
    for (int press = 0; press < 5; ++press)
        w.click("Button4");
    for (int move = 0; move < 3; ++move) {
        w.chooseNode(QString::number(1 + move));
        w.clickCell("StrGrid", 1, 1 + static_cast<int>(rng() % static_cast<unsigned>(w.rows("StrGrid") - 1)));
        w.moveToClass(4 - move);
    }
    w.control<QCheckBox>("chkAuto")->setChecked(true);
    w.control<QSpinBox>("speClassA")->setValue(2);
    w.control<QSpinBox>("speClassB")->setValue(3);
    w.chooseNode(u"2"_s);
    w.clickCell("StrGrid", 2, 3);
}

QStringList FilesIn(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT

private slots:
    void init() { SetRecoveryFolder(recoveryDir_.path()); }
    void cleanup() { SetRecoveryFolder({}); }

    void saveAndOpenCarryOnExactly()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"初一"_s); // the dialog adds the suffix
        std::mt19937_64 rng(11);
        WindowDriver first;
        DivideAndBalance(first, rng, 80);
        QCOMPARE(first.window.windowTitle(), u"均衡分班"_s);
        QVERIFY(first.trigger("actSave", file).isEmpty()); // no file yet: asks for one
        const SeenFileRequest request = first.dialogs.fileRequests().constLast();
        QVERIFY(request.save);
        QCOMPARE(request.request.filter, u"分班文件 (*.fenban)"_s);
        QCOMPARE(request.request.defaultSuffix, u"fenban"_s);
        QCOMPARE(first.window.windowTitle(), u"初一.fenban — 均衡分班"_s);
        const QStringList grid = AllCells(first, "StrGrid");

        // Another grade in another window, then the file.
        WindowDriver second;
        second.paste(GradeText(30));
        second.click("BitBtn2");
        second.dialogs.answerQuestion(QMessageBox::Discard); // its unsaved work, asked about first
        const QList<SeenBox> asked = second.trigger("actOpen", dir.filePath(u"初一.fenban"_s));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0].text, u"分班还没有保存。要保存吗？"_s);
        QVERIFY(second.dialogs.fileRequests().constLast().request.filter.contains(u"*.fenban"_s));
        QCOMPARE(second.window.windowTitle(), u"初一.fenban — 均衡分班"_s);
        QCOMPARE(second.action("actUndo")->text(), u"撤销 打开"_s);
        QVERIFY2(Difference(second, Look(first)).isEmpty(), qPrintable(Difference(second, Look(first))));
        QCOMPARE(ListingDifference(second), QString());
        QCOMPARE(sessiontest::StateDifference(first.window.state(), second.window.state()), std::string());
        QCOMPARE(second.window.view().FShownClass, first.window.view().FShownClass); // a file keeps the listing
        QCOMPARE(AllCells(second, "StrGrid"), grid);
        // The same file named on the command line, as the file manager opens it.
        WindowDriver third;
        third.window.openNamedFile(dir.filePath(u"初一.fenban"_s));
        QCOMPARE(third.window.windowTitle(), u"初一.fenban — 均衡分班"_s);
        QCOMPARE(AllCells(third, "StrGrid"), grid);
        for (const char* box : {"chkAuto"})
            QCOMPARE(second.control<QCheckBox>(box)->isChecked(), first.control<QCheckBox>(box)->isChecked());
        for (const char* spin : {"speClassA", "speClassB", "speSystem", "SpinEdit1"})
            QCOMPARE(second.control<QSpinBox>(spin)->value(), first.control<QSpinBox>(spin)->value());
        QCOMPARE(second.control<QComboBox>("cmbSubject")->currentIndex(), 1);

        // Both carry on alike: the same exchanges, the same hand move.
        for (int press = 0; press < 4; ++press) {
            QCOMPARE(second.click("Button4").size(), first.click("Button4").size());
            QVERIFY2(Difference(second, Look(first)).isEmpty(), qPrintable(Difference(second, Look(first))));
        }
        // The file keeps no chosen cell: the row is chosen again.
        QCOMPARE(second.window.view().FSelRow, -1);
        first.clickCell("StrGrid", 1, 3);
        second.clickCell("StrGrid", 1, 3);
        first.moveToClass(1);
        second.moveToClass(1);
        QCOMPARE(DivisionText(second), DivisionText(first));
        QCOMPARE(AllCells(second, "StrGrid"), AllCells(first, "StrGrid"));
        QCOMPARE(second.window.windowTitle(), u"初一.fenban* — 均衡分班"_s);

        // Undoing the open gives back the grade before it, and the work no longer belongs to the file.
        while (second.action("actUndo")->text() != u"撤销 打开"_s)
            second.trigger("actUndo");
        second.trigger("actUndo");
        QCOMPARE(Names(second.window.state().FStudents).constFirst(), u"学生1"_s);
        QCOMPARE(second.window.windowTitle(), u"均衡分班"_s);
    }

    // The rule columns come back with the roster of an opened file: the
    // listing carries them and the balance panel counts the rules.
    void rulesComeBackWithTheFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"规则.fenban"_s);
        QStringList listing;
        QString broken;
        {
            WindowDriver w;
            w.trigger("actOpen", QStringLiteral(FENBAN_SAMPLE_DATA "/sample-grade-rules.tsv"));
            w.click("BitBtn2");
            w.trigger("actSaveAs", file);
            w.chooseNode(u"全部"_s);
            listing = AllCells(w, "StrGrid");
            broken = w.control<QLabel>("lblBrokenRules")->text();
        }
        QVERIFY(broken.startsWith(u"规则全部满足"_s) || broken.startsWith(u"未满足的规则"_s));
        WindowDriver w;
        w.trigger("actOpen", file);
        QCOMPARE(w.control<QLabel>("lblBrokenRules")->text(), broken);
        w.chooseNode(u"全部"_s);
        QCOMPARE(AllCells(w, "StrGrid"), listing);
    }

    // A table read (pasted or opened) is new work: 保存 asks for a file and
    // never writes over the file the earlier work belonged to.
    void newTableIsUntitledWork()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"初一.fenban"_s);
        WindowDriver w;
        w.paste(GradeText(30));
        w.click("BitBtn2");
        w.trigger("actSaveAs", file);
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        saved.close();
        for (const bool paste : {true, false}) {
            QCOMPARE(w.window.windowTitle(), u"初一.fenban — 均衡分班"_s);
            if (paste)
                w.paste(GradeText(40));
            else
                w.trigger("actOpen", QStringLiteral(FENBAN_SAMPLE_DATA "/sample-grade.tsv"));
            QCOMPARE(w.window.windowTitle(), u"均衡分班"_s);
            w.click("BitBtn2");
            const qsizetype asked = w.dialogs.fileRequests().size();
            w.trigger("actSave"); // asks for a file; none given
            QCOMPARE(w.dialogs.fileRequests().size(), asked + 1);
            QVERIFY(saved.open(QIODevice::ReadOnly));
            QCOMPARE(saved.readAll(), bytes);
            saved.close();
            // Undone, the work belongs to the file again.
            w.trigger("actUndo");
            w.trigger("actUndo");
            QCOMPARE(w.window.windowTitle(), u"初一.fenban — 均衡分班"_s);
        }
    }

    void undoAndRedoWalkTheStatesSeen()
    {
        std::mt19937_64 rng(23);
        std::size_t stepsWalked = 0;
        for (int round = 0; round < 4; ++round) {
            WindowDriver w;
            std::vector<Seen> seen;
            seen.push_back(Look(w));
            QVERIFY(!w.action("actUndo")->isEnabled());
            for (int action = 0; action < 60; ++action) {
                const std::size_t before = StepsDone(w);
                QString step;
                if (action == 0) {
                    w.paste(GradeText(20 + round * 7, Points::Half));
                    step = u"读入数据"_s;
                } else if (action == 1) {
                    w.control<QSpinBox>("SpinEdit1")->setValue(3 + round % 2);
                    step = u"分班数"_s;
                } else {
                    step = RandomAction(w, rng);
                }
                if (StepsDone(w) == before)
                    continue;
                QCOMPARE(StepsDone(w), before + 1);
                QCOMPARE(w.action("actUndo")->text(), u"撤销 "_s + step);
                seen.push_back(Look(w));
            }
            stepsWalked += seen.size() - 1;
            for (std::size_t k = seen.size() - 1; k > 0; --k) {
                const QString name = w.action("actUndo")->text().mid(3);
                w.trigger("actUndo");
                QVERIFY2(Difference(w, seen[k - 1]).isEmpty(), qPrintable(Difference(w, seen[k - 1])));
                QCOMPARE(ListingDifference(w), QString());
                QCOMPARE(w.action("actRedo")->text(), u"重做 "_s + name);
            }
            QVERIFY(!w.action("actUndo")->isEnabled());
            QCOMPARE(w.action("actUndo")->text(), u"撤销"_s);
            QCOMPARE(w.window.windowTitle(), u"均衡分班"_s);
            for (std::size_t k = 1; k < seen.size(); ++k) {
                w.trigger("actRedo");
                QVERIFY2(Difference(w, seen[k]).isEmpty(), qPrintable(Difference(w, seen[k])));
                QCOMPARE(ListingDifference(w), QString());
            }
            QVERIFY(!w.action("actRedo")->isEnabled());
            for (const SeenBox& box : w.dialogs.boxes())
                QVERIFY2(box.icon != QMessageBox::Critical, qPrintable(box.text)); // no failure on the way
        }
        QVERIFY(stepsWalked > 80);
    }

    void choosingAndCopyingAreNoSteps()
    {
        WindowDriver w;
        w.paste(SixStudents());
        w.control<QSpinBox>("SpinEdit1")->setValue(2);
        w.click("BitBtn2");
        QCOMPARE(w.action("actUndo")->text(), u"撤销 编班"_s);
        const std::size_t steps = StepsDone(w);
        w.chooseNode(u"2"_s);
        w.clickCell("StrGrid", 1, 2);
        w.selectBlock("StrGrid", 1, 1, 3, 2);
        w.click("BitBtn3");
        w.control<QCheckBox>("chkAuto")->setChecked(true);
        QCOMPARE(StepsDone(w), steps);
        w.click("BitBtn2"); // divides alike: nothing changed
        QCOMPARE(StepsDone(w), steps);

        // The paste's class count is part of the paste: one undo takes both back.
        w.paste(GradeText(40));
        QCOMPARE(StepsDone(w), steps + 1);
        QCOMPARE(w.action("actUndo")->text(), u"撤销 读入数据"_s);
        w.trigger("actUndo");
        QCOMPARE(w.control<QSpinBox>("SpinEdit1")->value(), 2);
        QCOMPARE(w.window.state().Records.size(), std::size_t {6});
        QCOMPARE(w.control<QTreeWidget>("trvClassList")->topLevelItem(0)->childCount(), 2);
    }

    void damagedFileChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("says");
        QTest::newRow("not a division file") << QByteArray("PK\3\4 a workbook") << u"不是均衡分班的分班文件"_s;
        QTest::newRow("cut short") << QByteArray() << u"不是均衡分班的分班文件"_s; // half of a real file, below
        QTest::newRow("newer version") << QByteArray("4") << u"较新版本"_s;
        QTest::newRow("student twice") << QByteArray("twice") << u"已经损坏"_s;
    }

    void damagedFileChangesNothing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, says);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"坏.fenban"_s);
        std::mt19937_64 rng(31);
        WindowDriver w;
        DivideAndBalance(w, rng, 40);
        w.trigger("actSaveAs", file);
        QFile saved(file);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QByteArray json = saved.readAll();
        saved.close();
        QJsonObject root = QJsonDocument::fromJson(json).object();
        QVERIFY(root.value(u"version"_s).toInt() == 2);
        if (bytes.isEmpty()) {
            bytes = json.left(json.size() / 2);
        } else if (bytes == "4") {
            root[u"version"_s] = 4;
            bytes = QJsonDocument(root).toJson();
        } else if (bytes == "twice") {
            QJsonArray order = root.value(u"rosterOrder"_s).toArray();
            order[1] = order[0];
            root[u"rosterOrder"_s] = order;
            bytes = QJsonDocument(root).toJson();
        }
        QVERIFY(saved.open(QIODevice::WriteOnly | QIODevice::Truncate));
        saved.write(bytes);
        saved.close();

        w.paste(GradeText(20));
        const Seen before = Look(w);
        const QString title = w.window.windowTitle();
        const std::size_t steps = StepsDone(w);
        w.dialogs.answerQuestion(QMessageBox::Discard); // the unsaved paste
        QList<SeenBox> boxes = w.trigger("actOpen", file);
        QCOMPARE(boxes.size(), 2);
        boxes.removeFirst();
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QVERIFY2(boxes[0].text.contains(u"坏.fenban"_s) && boxes[0].text.contains(says), qPrintable(boxes[0].text));
        QVERIFY2(!boxes[0].text.endsWith(u"。."_s), qPrintable(boxes[0].text));
        QVERIFY(Difference(w, before).isEmpty());
        QCOMPARE(StepsDone(w), steps);
        QCOMPARE(w.window.windowTitle(), title);
    }

    void killedRunIsOfferedAtTheNextStart()
    {
        QTemporaryDir folder;
        SetRecoveryFolder(folder.path());
        for (const bool recover : {true, false}) {
            QProcess child;
            child.start(QStringLiteral(WINDOW_CHILD), {folder.path(), QString::number(recover ? 5 : 6)});
            QByteArray printed;
            while (!printed.endsWith("ready\n") && child.waitForReadyRead(60000))
                printed += child.readAllStandardOutput();
            QVERIFY2(printed.endsWith("ready\n"), printed.constData());
            child.kill(); // no destructor runs, nothing is closed
            QVERIFY(child.waitForFinished());
            QStringList lines = QString::fromUtf8(printed).split(u'\n');
            lines.removeLast(); // after "ready"
            lines.removeLast(); // "ready"
            const QString undo = lines.takeLast();
            const QString division = lines.join(u'\n');

            WindowDriver w;
            auto* bar = w.control<QFrame>("barRecovery");
            QVERIFY(bar->isVisible());
            QVERIFY(w.dialogs.boxes().isEmpty()); // never a box at start
            QCOMPARE(w.window.findChild<QTabWidget*>(u"PageControl1"_s)->currentWidget()->objectName(), u"TabSheet1"_s);
            const QString text = w.control<QLabel>("lblRecovery")->text();
            QVERIFY2(text.contains(u"最后一步："_s + undo.mid(3)), qPrintable(text));
            if (recover) {
                w.click("btnRecover");
                QCOMPARE(DivisionText(w), division);
                QCOMPARE(w.action("actUndo")->text(), u"撤销 恢复"_s);
                QVERIFY(w.window.session().modified());
                w.trigger("actUndo");
                QCOMPARE(w.window.state().Records.size(), std::size_t {0});
                w.trigger("actRedo");
                QCOMPARE(DivisionText(w), division);
            } else {
                const QString empty = DivisionText(w);
                w.click("btnIgnoreRecovery");
                QCOMPARE(DivisionText(w), empty);
                QVERIFY(!w.action("actUndo")->isEnabled());
                QVERIFY(FilesIn(folder).isEmpty()); // the left-over and its lock are gone
            }
            QVERIFY(!bar->isVisible());
            // Only this run's file is left while the work is unsaved: no other run offers it.
            QCOMPARE(FilesIn(folder).size(), recover ? 2 : 0);
            QVERIFY(ClaimLeftOverRecoveries(folder.path().toStdString()).empty());
        }
        WindowDriver next;
        QVERIFY(!next.control<QFrame>("barRecovery")->isVisible());
    }

    void closingAsksWhileSomethingIsUnsaved()
    {
        QTemporaryDir dir;
        {
            WindowDriver w;
            w.window.close(); // nothing done: no question
            QVERIFY(w.dialogs.boxes().isEmpty());
            QVERIFY(!w.window.isVisible());
        }
        WindowDriver w;
        w.paste(SixStudents());
        QCOMPARE(FilesIn(recoveryDir_).size(), 2); // the recovery file and its lock
        w.dialogs.answerQuestion(QMessageBox::Cancel);
        w.window.close();
        QCOMPARE(w.dialogs.boxes().size(), 1);
        const SeenBox question = w.dialogs.boxes().constLast();
        QCOMPARE(question.text, u"分班还没有保存。要保存吗？"_s);
        QCOMPARE(question.buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        QVERIFY(w.window.isVisible());

        w.dialogs.answerQuestion(QMessageBox::Save); // then the save dialog, cancelled
        w.window.close();
        QCOMPARE(w.dialogs.fileRequests().size(), 1);
        QVERIFY(w.window.isVisible());

        w.dialogs.answerQuestion(QMessageBox::Save);
        w.dialogs.answerFile(dir.filePath(u"初一.fenban"_s));
        w.window.close();
        QVERIFY(!w.window.isVisible());
        QVERIFY(QFile::exists(dir.filePath(u"初一.fenban"_s)));
        QVERIFY(FilesIn(recoveryDir_).isEmpty()); // a clean close

        w.window.show(); // a change since the save: the question names the file
        w.control<QSpinBox>("SpinEdit1")->setValue(3);
        w.dialogs.answerQuestion(QMessageBox::Discard);
        w.window.close();
        QCOMPARE(w.dialogs.boxes().constLast().text, u"对“初一.fenban”的修改还没有保存。要保存吗？"_s);
        QVERIFY(!w.window.isVisible());
        QVERIFY(FilesIn(recoveryDir_).isEmpty());
    }

    // Opening another file over unsaved work asks first, as closing does.
    void openingAsksWhileSomethingIsUnsaved()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"初一.fenban"_s);
        WindowDriver w;
        w.paste(SixStudents());
        w.trigger("actSaveAs", file);
        w.paste(GradeText(20));
        const std::size_t students = w.window.state().Records.size();
        w.dialogs.answerQuestion(QMessageBox::Cancel);
        QList<SeenBox> boxes = w.trigger("actOpen"); // no file dialog after 取消
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, u"分班还没有保存。要保存吗？"_s);
        QCOMPARE(boxes[0].buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
        QCOMPARE(w.window.state().Records.size(), students); // nothing opened
        QVERIFY(w.dialogs.fileRequests().size() == 1); // the save's alone

        w.dialogs.answerQuestion(QMessageBox::Discard);
        boxes = w.trigger("actOpen", file);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(w.window.state().Records.size(), std::size_t {6});
        QVERIFY(w.trigger("actOpen", file).isEmpty()); // nothing unsaved now: no question
    }

    void failedSaveNamesTheFileAndKeepsTheWindow()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"没有的文件夹/初一.fenban"_s);
        WindowDriver w;
        w.paste(SixStudents());
        const QList<SeenBox> boxes = w.trigger("actSaveAs", file);
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].icon, QMessageBox::Critical);
        QVERIFY2(boxes[0].text.contains(file), qPrintable(boxes[0].text));
        QCOMPARE(w.window.windowTitle(), u"均衡分班"_s);
        QVERIFY(w.window.session().modified());

        w.dialogs.answerQuestion(QMessageBox::Save); // closing: the save fails, the window stays
        w.dialogs.answerFile(file);
        w.window.close();
        QCOMPARE(w.dialogs.boxes().constLast().icon, QMessageBox::Critical);
        QVERIFY(w.window.isVisible());
        QCOMPARE(FilesIn(recoveryDir_).size(), 2); // the work is still kept
    }

    void windowEndedWithoutCloseAsksNothing()
    {
        const ScriptedDialogs dialogs;
        {
            TForm1 window;
            Paste(window, SixStudents());
        }
        QCOMPARE(dialogs.boxes().size(), 0);
        QVERIFY(FilesIn(recoveryDir_).isEmpty());
    }

    void statusBarSaysWhatWasRead()
    {
        WindowDriver w;
        auto* warnings = w.control<QPushButton>("btnReadWarnings");
        w.paste(SixStudents());
        QCOMPARE(w.control<QLabel>("lblReadSummary")->text(), u"读入 6 人：男 3，女 3；0 科；分 1 个班"_s);
        QVERIFY(!warnings->isVisible());

        w.paste(TableWithWarnings());
        QVERIFY(w.dialogs.boxes().isEmpty()); // no box for warnings
        QVERIFY(warnings->isVisible());
        QVERIFY2(warnings->text().contains(u"1 个空行"_s), qPrintable(warnings->text()));
        const QList<SeenBox> boxes = w.click("btnReadWarnings");
        QCOMPARE(boxes.size(), 1);
        for (const QString& part : {u"第 4 行"_s, u"“M”"_s, u"“张三”：第 2、6 行"_s})
            QVERIFY2(boxes[0].text.contains(part), qPrintable(boxes[0].text));

        w.control<QSpinBox>("SpinEdit1")->setValue(4);
        QVERIFY(w.control<QLabel>("lblReadSummary")->text().endsWith(u"分 4 个班"_s));
        w.trigger("actUndo");
        w.trigger("actUndo"); // the paste with warnings
        QCOMPARE(w.control<QLabel>("lblReadSummary")->text(), u"读入 6 人：男 3，女 3；0 科；分 1 个班"_s);
        QVERIFY(!warnings->isVisible());
    }

    void qtSpeaksChinese()
    {
        QVERIFY(InstallQtTranslations(*QCoreApplication::instance()));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"取消"_s);
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), u"查找范围："_s);
    }

private:
    QTemporaryDir recoveryDir_;
};

QTEST_MAIN(TestSession)
#include "tst_session.moc"
