// Finding a student by part of the name or its pinyin initials, and the find
// bar that does it from the keyboard.
#include "roster/Gb18030.h"
#include "rules/StudentFinder.h"
#include "views/FindBar.h"

#include <QAction>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <random>

using namespace fenban;

namespace {

const std::vector<std::string> Names = {"张伟", "李娜", "王芳", "李明", "章伟", "欧阳娜娜", "吕小明", "李", "赵六"};

// A roster of the names above (and more in the random case) divided into
// classes by hand; the last `unplaced` students are in no class list.
void MakeState(DivisionState& state, const std::vector<std::string>& names, int classes, int unplaced, unsigned seed)
{
    std::mt19937 random(seed);
    state.FClasses.assign(static_cast<std::size_t>(classes), {});
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto student = std::make_unique<TStudent>();
        student->Name = Gb18030Prefix(names[i], std::string::npos);
        state.FStudents.push_back(student.get());
        if (i + static_cast<std::size_t>(unplaced) < names.size())
            state.FClasses[random() % static_cast<unsigned>(classes)].push_back(student.get());
        state.Records.push_back(std::move(student));
    }
}

// Chinese comes through the input method, as a committed string.
void Type(QLineEdit* edit, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(edit, &event);
}

std::string Name(const TStudent* student)
{
    return Gb18030ToUtf8(student->Name);
}

} // namespace

class TestFindBar : public QObject {
    Q_OBJECT

private slots:
    void namesMatch_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("matches");
        QTest::newRow("part") << QStringLiteral("欧阳娜娜") << QStringLiteral("阳娜") << true;
        QTest::newRow("other part") << QStringLiteral("欧阳娜娜") << QStringLiteral("娜欧") << false;
        QTest::newRow("initials") << QStringLiteral("张伟") << QStringLiteral("zw") << true;
        QTest::newRow("capitals") << QStringLiteral("张伟") << QStringLiteral("ZW") << true;
        QTest::newRow("part of initials") << QStringLiteral("欧阳娜娜") << QStringLiteral("yn") << true;
        QTest::newRow("pinyin") << QStringLiteral("张伟") << QStringLiteral("zhangw") << true;
        QTest::newRow("ü as v") << QStringLiteral("吕小明") << QStringLiteral("lvx") << true;
        QTest::newRow("wrong order") << QStringLiteral("张伟") << QStringLiteral("wz") << false;
        QTest::newRow("blank") << QStringLiteral("张伟") << QStringLiteral("  ") << false;
        QTest::newRow("latin name") << QStringLiteral("Tom 李") << QStringLiteral("tl") << true;
    }

    void namesMatch()
    {
        QFETCH(QString, name);
        QFETCH(QString, query);
        QFETCH(bool, matches);
        QCOMPARE(NameMatches(name.toStdString(), query.toStdString()), matches);
    }

    // Next after next visits every matching student once, in class order,
    // then the unplaced ones, and wraps round: checked against a filter.
    void nextVisitsEveryMatchInOrder()
    {
        std::mt19937 random(5);
        const std::vector<std::string> parts {"李", "娜", "伟", "明", "小", "王"};
        for (int round = 0; round < 50; ++round) {
            std::vector<std::string> names;
            const int count = 1 + static_cast<int>(random() % 60);
            for (int i = 0; i < count; ++i)
                names.push_back(parts[random() % parts.size()] + parts[random() % parts.size()]);
            DivisionState state;
            MakeState(state, names, 1 + static_cast<int>(random() % 5), static_cast<int>(random() % 4), random());
            const std::string query = parts[random() % parts.size()];

            std::vector<std::pair<const TStudent*, int>> expected;
            for (std::size_t c = 0; c < state.FClasses.size(); ++c)
                for (const TStudent* student : state.FClasses[c])
                    if (Name(student).find(query) != std::string::npos)
                        expected.emplace_back(student, static_cast<int>(c) + 1);
            for (const TStudent* student : state.FStudents) {
                bool listed = false;
                for (const TStudentList& list : state.FClasses)
                    listed = listed || std::find(list.begin(), list.end(), student) != list.end();
                if (!listed && Name(student).find(query) != std::string::npos)
                    expected.emplace_back(student, 0);
            }

            const TStudent* after = nullptr;
            for (std::size_t k = 0; k < 2 * expected.size() + 1; ++k) {
                const std::optional<FoundStudent> found = FindNextStudent(state, query, after);
                if (expected.empty()) {
                    QVERIFY(!found);
                    break;
                }
                QVERIFY(found);
                QCOMPARE(found->student, expected[k % expected.size()].first);
                QCOMPARE(found->classNo, expected[k % expected.size()].second);
                // Searching with the one found included finds it again.
                QCOMPARE(FindNextStudent(state, query, found->student, true)->student, found->student);
                after = found->student;
            }
        }
    }

    void barFindsFromTheKeyboard()
    {
        DivisionState state;
        MakeState(state, Names, 3, 2, 11);
        FindBar bar;
        bar.setState(&state);
        bar.show();
        QSignalSpy spy(&bar, &FindBar::studentFound);
        auto* label = bar.findChild<QLabel*>(QStringLiteral("lblFindClass"));
        auto* edit = bar.findChild<QLineEdit*>(QStringLiteral("edtFind"));
        QVERIFY(label && edit && edit == bar.edit());

        // The students named with 李 or read with initials l…, in search order.
        std::vector<const TStudent*> li;
        const TStudent* after = nullptr;
        for (;;) {
            const std::optional<FoundStudent> found = FindNextStudent(state, "l", after);
            if (!found || (!li.empty() && found->student == li.front()))
                break;
            li.push_back(found->student);
            after = found->student;
        }
        QCOMPARE(li.size(), std::size_t(5)); // 李娜, 李明, 吕小明, 李 and zhao liu

        QTest::keyClicks(edit, QStringLiteral("l"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(bar.found(), li[0]);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(bar.found(), li[1]);
        // Typing again keeps the student found while it still matches.
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(label->text(), QString());
        QTest::keyClicks(edit, QStringLiteral("L"));
        QCOMPARE(bar.found(), li[1]);
        QTest::keyClick(edit, Qt::Key_F3);
        QCOMPARE(bar.found(), li[2]);
        bar.findNextAction()->trigger();
        QCOMPARE(bar.found(), li[3]);
        QTest::keyClick(edit, Qt::Key_F3);
        QCOMPARE(bar.found(), li[4]);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(bar.found(), li[0]); // round again

        const std::optional<FoundStudent> shown = FindNextStudent(state, "l", li[0], true);
        QCOMPARE(label->text(),
            shown->classNo > 0 ? QStringLiteral("第 %1 班").arg(shown->classNo) : QStringLiteral("未分班"));
        const QList<QVariant> last = spy.last();
        QCOMPARE(last.at(0).value<const TStudent*>(), li[0]);
        QCOMPARE(last.at(1).toInt(), shown->classNo);

        edit->clear();
        Type(edit, QStringLiteral("赵六"));
        QCOMPARE(Name(bar.found()), std::string("赵六"));
        QCOMPARE(label->text(), QStringLiteral("未分班")); // the last two are in no class
        Type(edit, QStringLiteral("七"));
        QCOMPARE(label->text(), QStringLiteral("找不到"));

        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!bar.isVisible());
        bar.open();
        QVERIFY(bar.isVisible());
        QCOMPARE(edit->selectedText(), edit->text());
    }
};

QTEST_MAIN(TestFindBar)
#include "tst_findbar.moc"
