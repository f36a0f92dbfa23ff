#include "EngineTestKit.h"
#include "RulesTestKit.h"
#include "common/Failure.h"
#include "engine/Assignment.h"
#include "engine/BalanceReport.h"
#include "engine/Optimiser.h"
#include "roster/Gb18030.h"
#include "roster/RosterBuilder.h"
#include "roster/ScoreParser.h"
#include "rules/RuleBreaches.h"
#include "rules/RuleBuilder.h"
#include "rules/RuleMessages.h"
#include "rules/SoundAlike.h"
#include "views/ClassViews.h"
#include "views/StringGridModel.h"

#include <QTest>
#include <random>
#include <set>

using namespace fenban;
using namespace fenban::rulestest;
using namespace Qt::StringLiterals;

namespace {

std::vector<std::string> Fields(const QStringList& list)
{
    std::vector<std::string> fields;
    for (const QString& text : list)
        fields.push_back(text.toStdString());
    return fields;
}

// The roster build as it was before rule columns: eleven scores from column 4 on.
struct ReferenceRoster {
    std::vector<TStudent> students;
    std::array<std::string, SubjectCount> subjectNames;
    int proposedClassCount;
};
ReferenceRoster ReferenceBuild(const CellGrid& grid)
{
    ReferenceRoster roster;
    for (int row = 1; row < grid.rowCount(); ++row) {
        TStudent student;
        student.Name = Gb18030Prefix(grid.cell(1, row), std::string::npos);
        student.Gender = ShortString<2>(Gb18030Prefix(grid.cell(2, row), 2));
        student.ClassNo = ParseClassNo(grid.cell(3, row), ".");
        for (int s = 0; s < SubjectCount; ++s)
            student.Scores[static_cast<std::size_t>(s)] = ParseScore(grid.cell(4 + s, row), ".");
        roster.students.push_back(student);
    }
    for (int s = 0; s < SubjectCount; ++s) {
        const std::string& header = grid.cell(4 + s, 0);
        roster.subjectNames[static_cast<std::size_t>(s)] = header.empty() ? "  " : header;
    }
    roster.proposedClassCount = ProposeClassCount(grid.rowCount() - 1);
    return roster;
}

// A small grade with every kind of rule column; names do not sound alike.
Table RuleTable()
{
    return {
        {"姓名", "性别", "班级", "总分", "同班", "不同班", "均衡生源", "固定"},
        {"张三", "男", "", "1", "A", "x", "实验", ""}, // row 1
        {"李四", "女", "", "2", "A ", "", "实验", ""}, // row 2
        {"王五", "男", "", "3", " ", "x", "城关", "2"}, // row 3
        {"赵六", "女", "", "4", "B", "y", "实验", ""}, // row 4
        {"钱七", "男", "", "5", "C", "", "城关", "1"}, // row 5
        {"孙八", "女", "", "6", "B", "", "", ""}, // row 6
    };
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

class TestRules : public QObject {
    Q_OBJECT

private slots:
    void ruleColumnsEndTheScores_data()
    {
        QTest::addColumn<QStringList>("header");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QList<int>>("ruleColumns"); // grid columns
        QTest::addColumn<QStringList>("ruleTexts"); // the row's texts in them
        QTest::addColumn<QList<double>>("scores");
        QTest::addColumn<QStringList>("subjects");
        const QStringList nine {
            u"语文"_s, u"数学"_s, u"英语"_s, u"物理"_s, u"化学"_s, u"生物"_s, u"政治"_s, u"历史"_s, u"地理"_s};
        const QStringList nineScores {u"91"_s, u"92"_s, u"93"_s, u"94"_s, u"95"_s, u"96"_s, u"97"_s, u"98"_s, u"99"_s};
        const QStringList base {u"姓名"_s, u"性别"_s, u"班级"_s, u"总分"_s};
        const QStringList person {u"张三"_s, u"男"_s, u""_s, u"800"_s};
        QTest::newRow("after nine subjects")
            << base + nine + QStringList {u"同班"_s, u"不同班"_s} << person + nineScores + QStringList {u"1"_s, u"甲"_s}
            << QList<int> {14, 15} << QStringList {u"1"_s, u"甲"_s}
            << QList<double> {800, 91, 92, 93, 94, 95, 96, 97, 98, 99, 0}
            << QStringList {u"总分"_s} + nine + QStringList {u"  "_s};
        QTest::newRow("right after the total, later subject not read")
            << base + QStringList {u"固定"_s, u"语文"_s} << person + QStringList {u" 3 "_s, u"缺考"_s} << QList<int> {5}
            << QStringList {u" 3 "_s} << QList<double> {800, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}
            << QStringList {
                   u"总分"_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s};
        QTest::newRow("two subjects, a rule, a subject, a rule")
            << base + QStringList {u"语文"_s, u"数学"_s, u"均衡生源"_s, u"英语"_s, u"同班"_s}
            << person + QStringList {u"90"_s, u""_s, u"实验小学"_s, u"80"_s, u""_s} << QList<int> {7, 9}
            << QStringList {u"实验小学"_s, u""_s} << QList<double> {800, 90, 0, 0, 0, 0, 0, 0, 0, 0, 0}
            << QStringList {u"总分"_s, u"语文"_s, u"数学"_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s,
                   u"  "_s, u"  "_s};
        QTest::newRow("rule word over the total is a score")
            << QStringList {u"姓名"_s, u"性别"_s, u"班级"_s, u"同班"_s, u"语文"_s}
            << QStringList {u"a"_s, u"男"_s, u""_s, u"77"_s, u"88"_s} << QList<int> {} << QStringList {}
            << QList<double> {77, 88, 0, 0, 0, 0, 0, 0, 0, 0, 0}
            << QStringList {u"同班"_s, u"语文"_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s,
                   u"  "_s, u"  "_s};
        QTest::newRow("beyond eleven scores, after another column")
            << base + nine + QStringList {u"音乐"_s, u"备注"_s, u"均衡住校"_s}
            << person + nineScores + QStringList {u"100"_s, u"转学"_s, u"住校"_s} << QList<int> {16}
            << QStringList {u"住校"_s} << QList<double> {800, 91, 92, 93, 94, 95, 96, 97, 98, 99, 100}
            << QStringList {u"总分"_s} + nine + QStringList {u"音乐"_s};
        QTest::newRow("blanks around the header words")
            << base + QStringList {u" 不同班 "_s, u"固定\u3000"_s, u"均衡"_s}
            << person + QStringList {u"x"_s, u"2"_s, u"y"_s} << QList<int> {5, 6, 7}
            << QStringList {u"x"_s, u"2"_s, u"y"_s} << QList<double> {800, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}
            << QStringList {
                   u"总分"_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s, u"  "_s};
        QTest::newRow("near misses are subjects")
            << base + QStringList {u"同班级"_s, u"不同"_s, u"平均"_s, u"固定班"_s, u"同 班"_s, u"衡均"_s}
            << person + QStringList {u"1"_s, u"2"_s, u"3"_s, u"4"_s, u"5"_s, u"6"_s} << QList<int> {} << QStringList {}
            << QList<double> {800, 1, 2, 3, 4, 5, 6, 0, 0, 0, 0}
            << QStringList {u"总分"_s, u"同班级"_s, u"不同"_s, u"平均"_s, u"固定班"_s, u"同 班"_s, u"衡均"_s, u"  "_s,
                   u"  "_s, u"  "_s, u"  "_s};
    }
    void ruleColumnsEndTheScores()
    {
        QFETCH(QStringList, header);
        QFETCH(QStringList, cells);
        QFETCH(QList<int>, ruleColumns);
        QFETCH(QStringList, ruleTexts);
        QFETCH(QList<double>, scores);
        QFETCH(QStringList, subjects);
        const BuiltRoster roster = BuildRosterFromGrid(GridOf({Fields(header), Fields(cells)}), ".");
        QCOMPARE(roster.students.size(), std::size_t(1));
        QCOMPARE(roster.rules.columns.size(), static_cast<std::size_t>(ruleColumns.size()));
        QCOMPARE(roster.rules.cells.size(), ruleColumns.isEmpty() ? std::size_t(0) : std::size_t(1));
        for (qsizetype c = 0; c < ruleColumns.size(); ++c) {
            const RuleColumn& column = roster.rules.columns[static_cast<std::size_t>(c)];
            QCOMPARE(column.gridColumn, ruleColumns[c]);
            QCOMPARE(Q(column.header), header[ruleColumns[c] - 1]);
            QCOMPARE(Q(std::string(roster.rules.text(0, static_cast<int>(c)))), ruleTexts[c]);
        }
        for (int s = 0; s < SubjectCount; ++s) {
            QCOMPARE(static_cast<double>(roster.students[0]->Scores[static_cast<std::size_t>(s)]), scores[s]);
            QCOMPARE(Q(roster.subjectNames[static_cast<std::size_t>(s)]), subjects[s]);
        }
    }

    void headerKinds()
    {
        QCOMPARE(RuleColumnKindOfHeader("同班"), std::optional(RuleColumnKind::Together));
        QCOMPARE(RuleColumnKindOfHeader("\xC2\xA0不同班\t"), std::optional(RuleColumnKind::Apart));
        QCOMPARE(RuleColumnKindOfHeader("固定"), std::optional(RuleColumnKind::Fixed));
        QCOMPARE(RuleColumnKindOfHeader("均衡特长"), std::optional(RuleColumnKind::Spread));
        QVERIFY(!RuleColumnKindOfHeader("不均衡"));
        QVERIFY(!RuleColumnKindOfHeader(""));
        QCOMPARE(TrimRuleText("\u3000 A B\xC2\xA0\r"), std::string_view("A B"));
        QCOMPARE(TrimRuleText(" \u3000 "), std::string_view());
    }

    // Tables without rule headers build exactly as before, whatever their shape.
    void tablesWithoutRuleHeadersBuildAsBefore()
    {
        std::mt19937 rng(11);
        const std::vector<std::string> headers {
            "", "语文", "同班级", "不同", "平均", "固定班", "同 班", "衡均", "备注", "均 衡", "班级"};
        const std::vector<std::string> values {"", "0", "87.5", " 90 ", "1e2", "-3", "12"};
        for (int round = 0; round < 300; ++round) {
            const int columns = 2 + static_cast<int>(rng() % 18);
            const int rows = 1 + static_cast<int>(rng() % 8);
            Table table(static_cast<std::size_t>(rows) + 1);
            for (int c = 0; c < columns; ++c)
                table[0].push_back(c == 3 && rng() % 3 == 0 ? "同班" : headers[rng() % headers.size()]);
            for (int r = 1; r <= rows; ++r) {
                table[static_cast<std::size_t>(r)] = {"学生" + std::to_string(r), rng() % 2 ? "男" : "女"};
                for (int c = 2; c < columns; ++c)
                    table[static_cast<std::size_t>(r)].push_back(values[rng() % values.size()]);
            }
            const CellGrid grid = GridOf(table);
            const BuiltRoster built = BuildRosterFromGrid(grid, ".");
            const ReferenceRoster reference = ReferenceBuild(grid);
            QVERIFY(built.rules.empty());
            QVERIFY(built.rules.cells.empty());
            QCOMPARE(built.proposedClassCount, reference.proposedClassCount);
            QCOMPARE(built.subjectNames, reference.subjectNames);
            QCOMPARE(built.students.size(), reference.students.size());
            for (std::size_t k = 0; k < built.students.size(); ++k) {
                const TStudent& a = *built.students[k];
                const TStudent& b = reference.students[k];
                QVERIFY(a.Name == b.Name && a.Gender == b.Gender && a.Mark == b.Mark);
                QCOMPARE(a.ClassNo, b.ClassNo);
                for (int s = 0; s < SubjectCount; ++s)
                    QVERIFY(testkit::SameBits(
                        a.Scores[static_cast<std::size_t>(s)], b.Scores[static_cast<std::size_t>(s)]));
            }
        }
    }

    void groupsFromEqualTexts()
    {
        const DivisionState state = StateOf(RuleTable());
        const DivisionRules rules = BuildDivisionRules(state, 3, false);
        // "A" and "A " are one text; a blank cell and a group of one make no rule.
        QCOMPARE(rules.together, (std::vector<std::vector<int>> {{0, 1}, {3, 5}}));
        QCOMPARE(rules.apart, (std::vector<std::vector<int>> {{0, 2}}));
        QCOMPARE(rules.spread, (std::vector<std::vector<int>> {{0, 1, 3}, {2, 4}}));
        QCOMPARE(rules.fixed, (std::vector<std::pair<int, int>> {{2, 2}, {4, 1}}));
        QVERIFY(BuildDivisionRules(StateOf({{"姓名", "性别", "班级", "总分"}, {"a", "男"}}), 3, true).empty());
    }

    void fixedTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("classNo"); // 0: the text gives no whole number
        QTest::newRow("plain") << u"3"_s << 3;
        QTest::newRow("blanks") << u" 3\u3000"_s << 3;
        QTest::newRow("full-width") << u"１２"_s << 12;
        QTest::newRow("第3班") << u"第3班"_s << 3;
        QTest::newRow("3班") << u"3班"_s << 3;
        QTest::newRow("zeros after the point") << u"3.00"_s << 3;
        QTest::newRow("leading zero") << u"03"_s << 3;
        QTest::newRow("sign") << u"+4"_s << 4;
        QTest::newRow("negative") << u"-1"_s << -1;
        QTest::newRow("half") << u"3.5"_s << 0;
        QTest::newRow("exponent") << u"1e1"_s << 0;
        QTest::newRow("Chinese numeral") << u"三"_s << 0;
        QTest::newRow("point alone") << u"."_s << 0;
        QTest::newRow("班 alone") << u"班"_s << 0;
        QTest::newRow("two numbers") << u"3 4"_s << 0;
    }
    void fixedTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, classNo);
        const std::optional<long long> number = FixedClassNumber(text.toStdString());
        QCOMPARE(number.has_value(), classNo != 0);
        if (number)
            QCOMPARE(*number, static_cast<long long>(classNo));
    }

    void badFixedValuesNameRowNameAndValue_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("classCount");
        QTest::addColumn<QString>("message"); // empty: accepted
        const QString head = u"固定班级有误，请在表格中改正后重新粘贴：\n李四（第3行）的固定班级"_s;
        QTest::newRow("in range") << u"12"_s << 12 << u""_s;
        QTest::newRow("not whole") << u"3.5"_s << 12 << head + u"「3.5」不是整数。"_s;
        QTest::newRow("word") << u" 三班 "_s << 12 << head + u"「三班」不是整数。"_s;
        QTest::newRow("above the class count") << u"13"_s << 12 << head + u"「13」不在 1 到 12 之间。"_s;
        QTest::newRow("zero") << u"0"_s << 12 << head + u"「0」不在 1 到 12 之间。"_s;
        QTest::newRow("huge") << u"99999999999999999999"_s << 5
                              << head + u"「99999999999999999999」不在 1 到 5 之间。"_s;
        QTest::newRow("long word cut") << QString(25, u'班') << 5
                                       << head + u"「"_s + QString(20, u'班') + u"…」不是整数。"_s;
        QTest::newRow("long number cut") << u"123456789012345678901"_s << 5
                                         << head + u"「12345678901234567890…」不在 1 到 5 之间。"_s;
        QTest::newRow("cut between characters")
            << u"𠀀"_s.repeated(21) << 5 << head + u"「"_s + u"𠀀"_s.repeated(20) + u"…」不是整数。"_s;
    }
    void badFixedValuesNameRowNameAndValue()
    {
        QFETCH(QString, text);
        QFETCH(int, classCount);
        QFETCH(QString, message);
        const DivisionState state = StateOf({{"姓名", "性别", "班级", "总分", "固定"}, {"张三", "男", "", "1", ""},
            {"李四", "女", "", "2", text.toStdString()}, {"王五", "男", "", "3", "1"}});
        try {
            const std::vector<std::pair<int, int>> fixed = ReadFixedClasses(state, classCount);
            QVERIFY2(message.isEmpty(), "no failure");
            QCOMPARE(fixed, (std::vector<std::pair<int, int>> {{1, 12}, {2, 1}}));
        } catch (const RuleValueError& failure) {
            QCOMPARE(QString::fromUtf8(failure.what()), message);
        }
    }

    void manyBadValuesInOneMessage()
    {
        Table table {{"姓名", "性别", "班级", "总分", "固定", "固定"}};
        for (int k = 0; k < 12; ++k)
            table.push_back({"", "男", "", "1", "x" + std::to_string(k)});
        table.push_back({"周九", "女", "", "1", "2", "3"});
        try {
            BuildDivisionRules(StateOf(table), 4, false);
            QFAIL("no failure");
        } catch (const RuleValueError& failure) {
            const QStringList lines = QString::fromUtf8(failure.what()).split(u'\n');
            QCOMPARE(lines.size(), 12); // heading, ten students, the rest counted
            QCOMPARE(lines[1], u"第2行的学生的固定班级「x0」不是整数。"_s);
            QCOMPARE(lines[11], u"……另有 3 处。"_s);
        }
        table.resize(1);
        table.push_back({"周九", "女", "", "1", "2", "第3班"});
        table.push_back({"吴十", "女", "", "1", "2", "2.0"});
        try {
            ReadFixedClasses(StateOf(table), 4);
            QFAIL("no failure");
        } catch (const RuleValueError& failure) {
            QVERIFY(QString::fromUtf8(failure.what()).endsWith(u"\n周九（第2行）的固定班级「2」与「第3班」不一致。"_s));
        }
    }

    void tonelessReadings_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reading");
        QTest::newRow("two syllables") << u"张伟"_s << u"zhang wei"_s;
        QTest::newRow("ü as v") << u"吕明"_s << u"lv ming"_s;
        QTest::newRow("blank inside") << u" 张 伟 "_s << u"zhang wei"_s;
        QTest::newRow("Latin name") << u"Anna Lee"_s << u"anna lee"_s;
        QTest::newRow("dot inside") << u"阿依·买买提"_s << u"a yi mai mai ti"_s;
        QTest::newRow("nothing to read") << u" ·"_s << u""_s;
    }
    void tonelessReadings()
    {
        QFETCH(QString, name);
        QFETCH(QString, reading);
        QCOMPARE(Q(TonelessReading(name.toStdString())), reading);
    }

    void soundAlikeNames()
    {
        const std::vector<std::string> names {
            "张伟", "王芳", "章伟", "刘洋", "李芳", "张玮", "柳阳", "吕明", "卢明", "", "李明", "李明", "张伟强"};
        QCOMPARE(SoundAlikeGroups(names), (std::vector<std::vector<int>> {{0, 2, 5}, {3, 6}, {10, 11}}));
        QVERIFY(SoundAlikeGroups({}).empty());
    }

    // Sound-alike twins that must stay together count once; a group larger than the classes is spread.
    void soundAlikeRulesKeepTogetherAndClassCount()
    {
        const Table table {
            {"姓名", "性别", "班级", "总分", "同班"},
            {"张子涵", "男", "", "1", "1"},
            {"章子晗", "女", "", "1", "1"},
            {"张紫涵", "女", "", "1", ""},
            {"刘洋", "男", "", "1", ""},
            {"柳阳", "男", "", "1", ""},
            {"刘阳", "女", "", "1", ""},
            {"王芳", "女", "", "1", ""},
        };
        const DivisionState state = StateOf(table);
        const DivisionRules three = BuildDivisionRules(state, 3, true);
        QCOMPARE(three.together, (std::vector<std::vector<int>> {{0, 1}}));
        QCOMPARE(three.apart, (std::vector<std::vector<int>> {{0, 2}, {3, 4, 5}}));
        QVERIFY(three.spread.empty());
        const DivisionRules two = BuildDivisionRules(state, 2, true);
        QCOMPARE(two.apart, (std::vector<std::vector<int>> {{0, 2}}));
        QCOMPARE(two.spread, (std::vector<std::vector<int>> {{3, 4, 5}}));
        QVERIFY(BuildDivisionRules(state, 3, false).apart.empty());
    }

    void brokenRulesOfHandMadeDivisions_data()
    {
        // together {0,1} {3,5}; apart {0,2}; spread 实验 {0,1,3}, 城关 {2,4}; fixed 王五 (2) in 2, 钱七 (4) in 1.
        QTest::addColumn<QList<int>>("classOf");
        QTest::addColumn<QStringList>("broken");
        QTest::newRow("all kept") << QList<int> {1, 1, 2, 2, 1, 2} << QStringList {};
        QTest::newRow("unplaced students are left out") << QList<int> {1, 0, 2, 2, 1, 0} << QStringList {};
        QTest::newRow("together, apart and fixed broken")
            << QList<int> {1, 2, 1, 1, 2, 2}
            << QStringList {u"同班「A」：张三（第2行）在第1班，李四（第3行）在第2班。"_s,
                   u"同班「B」：赵六（第5行）在第1班，孙八（第7行）在第2班。"_s,
                   u"不同班「x」：张三（第2行）、王五（第4行）同在第1班。"_s,
                   u"固定：王五（第4行）应在第2班，现在第1班。"_s, u"固定：钱七（第6行）应在第1班，现在第2班。"_s};
        QTest::newRow("spread broken") << QList<int> {
            1, 1, 2, 1, 1, 1} << QStringList {u"均衡生源「实验」：共 3 人，每班应有 1 或 2 人，第1班有 3 人。"_s};
    }
    void brokenRulesOfHandMadeDivisions()
    {
        QFETCH(QList<int>, classOf);
        QFETCH(QStringList, broken);
        const DivisionState state = StateOf(RuleTable());
        const DivisionRules rules = BuildDivisionRules(state, 2, false);
        const std::vector<int> classes(classOf.begin(), classOf.end());
        QStringList texts;
        for (const RuleBreach& rule : FindRuleBreaches(rules, classes, 2))
            texts << Q(DescribeRuleBreach(rule, rules, state, classes, 2));
        QCOMPARE(texts, broken);
    }

    // The checker agrees with the rules stated pair by pair on random divisions.
    void checkerAgreesWithPairwiseRules()
    {
        std::mt19937 rng(5);
        auto randomGroups = [&rng](int students, int count) {
            std::vector<std::vector<int>> groups(static_cast<std::size_t>(count));
            for (auto& group : groups)
                for (int s = 0; s < students; ++s)
                    if (rng() % 3 == 0)
                        group.push_back(s);
            return groups;
        };
        for (int round = 0; round < 2000; ++round) {
            const int students = 1 + static_cast<int>(rng() % 9);
            const int classCount = 1 + static_cast<int>(rng() % 4);
            DivisionRules rules;
            rules.together = randomGroups(students, static_cast<int>(rng() % 3));
            rules.apart = randomGroups(students, static_cast<int>(rng() % 3));
            rules.spread = randomGroups(students, static_cast<int>(rng() % 3));
            for (int s = 0; s < students; ++s)
                if (rng() % 4 == 0)
                    rules.fixed.emplace_back(s, 1 + static_cast<int>(rng() % classCount));
            std::vector<int> classOf;
            for (int s = 0; s < students; ++s)
                classOf.push_back(static_cast<int>(rng() % (classCount + 1))); // 0: no class

            std::set<std::pair<int, int>> expected; // kind, group
            auto pairs = [&](const std::vector<int>& group, auto broken) {
                for (const int a : group)
                    for (const int b : group)
                        if (a < b && classOf[a] != 0 && classOf[b] != 0 && broken(classOf[a], classOf[b]))
                            return true;
                return false;
            };
            for (std::size_t g = 0; g < rules.together.size(); ++g)
                if (pairs(rules.together[g], [](int a, int b) { return a != b; }))
                    expected.emplace(0, static_cast<int>(g));
            for (std::size_t g = 0; g < rules.apart.size(); ++g)
                if (pairs(rules.apart[g], [](int a, int b) { return a == b; }))
                    expected.emplace(1, static_cast<int>(g));
            for (std::size_t g = 0; g < rules.spread.size(); ++g) {
                std::vector<int> counts(static_cast<std::size_t>(classCount) + 1, 0);
                for (const int member : rules.spread[g])
                    ++counts[static_cast<std::size_t>(classOf[member])];
                const auto [least, most] = std::minmax_element(counts.begin() + 1, counts.end());
                if (*most - *least > 1) // floor and ceiling differ by one at most
                    expected.emplace(2, static_cast<int>(g));
            }
            for (std::size_t f = 0; f < rules.fixed.size(); ++f) {
                const int actual = classOf[rules.fixed[f].first];
                if (actual != 0 && actual != rules.fixed[f].second)
                    expected.emplace(3, static_cast<int>(f));
            }
            std::set<std::pair<int, int>> found;
            for (const RuleBreach& broken : FindRuleBreaches(rules, classOf, classCount))
                QVERIFY(found.emplace(static_cast<int>(broken.kind), broken.group).second);
            QCOMPARE(found, expected);
        }
    }

    void conflictMessages()
    {
        Table table = RuleTable();
        table.push_back({"周九", "男", "", "7", "A", "x", "城关", ""}); // row 7
        DivisionState state = StateOf(table);
        const DivisionRules rules = BuildDivisionRules(state, 3, false);
        for (const int handPlaced : {0, 3, 6}) {
            state.Records[static_cast<std::size_t>(handPlaced)]->ClassNo = 2;
            state.Records[static_cast<std::size_t>(handPlaced)]->Mark = ShortString<3>(HandPlacedMark);
        }
        using Kind = RuleConflict::Kind;
        const std::vector<RuleConflict> conflicts {
            {Kind::ApartExceedsClasses, {0, 2, 6}, 2},
            {Kind::TogetherPinnedApart, {4, 3}},
            {Kind::TogetherAndApart, {0, 6}},
            {Kind::PinnedApart, {0, 2}, 2},
            {Kind::TogetherTooLarge, {0, 1, 6}},
            {Kind::TogetherExceedsSpread, {0, 1}, 0},
            {Kind::SpreadPinned, {2, 6}, 1},
        };
        const QStringList expected {
            u"不同班「x」有 3 人，多于班级数 2：张三（第2行）、王五（第4行）、周九（第8行）。"_s,
            u"同班的钱七（第6行）固定在第1班，赵六（第5行）已手动放在第2班，无法同班。"_s,
            u"张三（第2行）和周九（第8行）既在同班「A」，又在不同班「x」。"_s,
            u"不同班「x」的张三（第2行）已手动放在第2班，王五（第4行）固定在第2班，无法分开。"_s,
            u"同班「A」的 3 人（男 2 人、女 1 人）没有一个班容得下：张三（第2行）、李四（第3行）、周九（第8行）。"_s,
            u"同班「A」的 2 人都属均衡生源「实验」，而它每班至多 1 人：张三（第2行）、李四（第3行）。"_s,
            u"均衡生源「城关」共 3 人，每班至多 1 人，但王五（第4行）、周九（第8行）都已定在第2班。"_s,
        };
        for (std::size_t k = 0; k < conflicts.size(); ++k)
            QCOMPARE(Q(DescribeConflict(conflicts[k], rules, state, 3)), expected[static_cast<qsizetype>(k)]);

        const QStringList lines = Q(ConflictMessage(conflicts, rules, state, 3)).split(u'\n');
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines[0], u"这些规则不能同时满足，没有移动任何学生："_s);
        QCOMPARE(lines[3], u"3. "_s + expected[2]);
        // Kinds of the optimiser's own checks.
        DivisionRules twice = rules;
        twice.fixed.emplace_back(2, 3);
        QCOMPARE(Q(DescribeConflict({Kind::FixedTwice, {2}}, twice, state, 3)),
            u"王五（第4行）固定在第2班，又固定在第3班。"_s);
        DivisionRules byHand = rules;
        byHand.fixed.emplace_back(3, 3);
        QCOMPARE(Q(DescribeConflict({Kind::FixedTwice, {3}}, byHand, state, 3)),
            u"赵六（第5行）已手动放在第2班，又固定在第3班。"_s);
        QCOMPARE(Q(DescribeConflict({Kind::Unresolved, {1, 5}}, rules, state, 3)),
            u"没有找到能同时满足全部规则的分班，仍未满足的规则涉及李四（第3行）、孙八（第7行）。"_s);
        QCOMPARE(Q(DescribeConflict({Kind::FixedOutOfRange, {4}, 5}, rules, state, 3)),
            u"钱七（第6行）的固定班级 5 不在 1 到 3 之间。"_s);
        state.FClasses = {{}, {state.Records[0].get(), state.Records[1].get(), state.Records[6].get()}};
        QCOMPARE(Q(DescribeConflict({Kind::FixedOverfull, {0, 2, 4}, 2}, rules, state, 3)),
            u"第2班有男生 2 人，却有 3 名男生定在这个班：张三（第2行）、王五（第4行）、钱七（第6行）。"_s);
        const std::vector<RuleConflict> many(15, conflicts[2]);
        const QStringList cut = Q(ConflictMessage(many, rules, state, 3)).split(u'\n');
        QCOMPARE(cut.size(), 14);
        QCOMPARE(cut.last(), u"……另有 3 处。"_s);
        QCOMPARE(Q(StudentLabels(state, {0, 1, 2, 3}, 2)), u"张三（第2行）、李四（第3行）等 4 人"_s);
    }

    void assignPlacesFixedStudents()
    {
        Table table {{"姓名", "性别", "班级", "总分", "固定"}};
        for (int k = 0; k < 30; ++k)
            table.push_back({"学生" + std::to_string(k), k % 3 ? "男" : "女", "", std::to_string(500 - k),
                k == 0        ? "3"
                    : k == 1  ? "第3班"
                    : k == 17 ? " 1 "
                              : ""});
        DivisionState state = StateOf(table);
        QVERIFY(AssignClassesWithRules(state, 3));
        const std::vector<int> classOf = ClassesOfRecords(state);
        QCOMPARE(classOf[0], 3);
        QCOMPARE(classOf[1], 3);
        QCOMPARE(classOf[17], 1);
        QVERIFY(state.Records[0]->IsHandPlaced() && state.Records[17]->IsHandPlaced());
        QVERIFY(!state.Records[2]->IsHandPlaced());
        std::size_t listed = 0;
        for (std::size_t c = 0; c < state.FClasses.size(); ++c)
            for (const TStudent* student : state.FClasses[c]) {
                QCOMPARE(student->ClassNo, static_cast<int>(c) + 1);
                ++listed;
            }
        QCOMPARE(listed, state.Records.size());
        QVERIFY(FindRuleBreaches(BuildDivisionRules(state, 3, false), classOf, 3).empty());

        // A value outside the new class count: the message, and nothing changes.
        const DivisionState before = testkit::Clone(state);
        QVERIFY_THROWS_EXCEPTION(RuleValueError, AssignClassesWithRules(state, 2));
        QCOMPARE(Q(testkit::FirstDifference(before, state)), QString());
        // Too few students or classes: nothing happens, not even the check.
        DivisionState two = StateOf({{"姓名", "性别", "班级", "总分", "固定"}, {"a", "男", "", "1", "x"}, {"b"}});
        QVERIFY(!AssignClassesWithRules(two, 3));
        QVERIFY(!AssignClassesWithRules(state, 0));
    }

    // Classes end within one of each other's size around the 固定 students; a
    // class its 固定 students fill takes no one else.
    void fixedStudentsLeaveEvenClasses()
    {
        std::mt19937_64 rng(8);
        for (int round = 0; round < 40; ++round) {
            const int classCount = 2 + static_cast<int>(rng() % 8);
            const int students = 3 * classCount + static_cast<int>(rng() % 120);
            Table table {{"姓名", "性别", "班级", "总分", "固定"}};
            for (int k = 0; k < students; ++k) {
                const bool fixed = rng() % 4 == 0;
                // Often many in class 1, which then may hold more than its share.
                const int classNo = rng() % 2 ? 1 : 1 + static_cast<int>(rng() % classCount);
                table.push_back({"学生" + std::to_string(k), rng() % 2 ? "男" : "女", "", std::to_string(rng() % 700),
                    fixed ? std::to_string(classNo) : ""});
            }
            DivisionState state = StateOf(table);
            QVERIFY(AssignClassesWithRules(state, classCount));
            int dealtMost = 0;
            for (const TStudentList& list : state.FClasses)
                if (std::any_of(list.begin(), list.end(), [](const TStudent* s) { return !s->IsHandPlaced(); }))
                    dealtMost = std::max(dealtMost, static_cast<int>(list.size()));
            for (const TStudentList& list : state.FClasses) {
                const int size = static_cast<int>(list.size());
                QVERIFY2(size >= dealtMost - 1, qPrintable(QStringLiteral("round %1").arg(round)));
                if (size > dealtMost)
                    QVERIFY(std::all_of(list.begin(), list.end(), [](const TStudent* s) { return s->IsHandPlaced(); }));
            }
        }
    }

    void assignWithoutRulesIsTheAssignment()
    {
        std::mt19937_64 rng(3);
        for (int round = 0; round < 20; ++round) {
            DivisionState a;
            testkit::FillRandomRoster(a, rng, 3 + static_cast<int>(rng() % 80), testkit::ScoreKind::Mixed);
            const int classCount = 1 + static_cast<int>(rng() % 7);
            a.FClasses.resize(static_cast<std::size_t>(classCount));
            DivisionState b = testkit::Clone(a);
            QCOMPARE(AssignClassesWithRules(a, classCount), AssignClasses(b, classCount));
            QCOMPARE(Q(testkit::FirstDifference(a, b)), QString());
        }
    }

    void listingCarriesRuleColumns()
    {
        Table table = RuleTable();
        table[0].insert(table[0].begin() + 4, "语文");
        for (std::size_t r = 1; r < table.size(); ++r)
            table[r].insert(table[r].begin() + 4, std::to_string(80 + r));
        const CellGrid pasted = GridOf(table);
        DivisionState state = StateOf(table);
        StringGridModel grid(pasted.colCount(), pasted.rowCount());
        grid.updateCells([&](CellGrid& cells) {
            for (int r = 0; r < pasted.rowCount(); ++r)
                for (int c = 0; c < pasted.colCount(); ++c)
                    cells.setCell(c, r, pasted.cell(c, r));
        });
        const TStudentList shown {state.Records[4].get(), state.Records[1].get()};
        ListStudents(grid, shown, ".", state);
        const CellGrid& cells = grid.grid();
        QCOMPARE(cells.colCount(), 19);
        QCOMPARE(cells.rowCount(), 3);
        const QStringList headers {u"总分"_s, u"语文"_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s,
            u"同班"_s, u"不同班"_s, u"均衡生源"_s, u"固定"_s};
        const QStringList first {u"5"_s, u"85"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s,
            u"0"_s, u"C"_s, u""_s, u"城关"_s, u"1"_s};
        const QStringList second {u"2"_s, u"82"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s, u"0"_s,
            u"0"_s, u"A "_s, u""_s, u"实验"_s, u""_s};
        for (int c = 4; c < 19; ++c) {
            QCOMPARE(Q(cells.cell(c, 0)), headers[c - 4]);
            QCOMPARE(Q(cells.cell(c, 1)), first[c - 4]);
            QCOMPARE(Q(cells.cell(c, 2)), second[c - 4]);
        }
        QCOMPARE(Q(cells.cell(1, 1)), u"钱七"_s);
        QCOMPARE(Q(cells.cell(0, 2)), u"2"_s);

        // Without rule columns: the listing of old, cell for cell.
        DivisionState plain = StateOf({{"姓名", "性别", "班级", "总分", "备注"}, {"a", "男", "", "1", "12"}, {"b"}});
        StringGridModel one(20, 4);
        StringGridModel other(20, 4);
        one.setCell(17, 0, "旧");
        other.setCell(17, 0, "旧");
        ListStudents(one, plain.FStudents, ".", plain);
        ListStudents(other, plain.FStudents, ".");
        QCOMPARE(one.grid().colCount(), 15);
        QCOMPARE(one.grid().rowCount(), other.grid().rowCount());
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 15; ++c)
                QCOMPARE(one.grid().cell(c, r), other.grid().cell(c, r));
    }

    // The sample grade with its own rule columns, balanced as the window does
    // it (its seed, 10 bands): every rule holds, and every rank count out of
    // bounds is forced by a rule, which the report names.
    void sampleRulesLeaveNoUnforcedRankCount()
    {
        const Table table = TableOfFile(FENBAN_SAMPLE_RULES);
        QCOMPARE(table.size(), std::size_t {601});
        constexpr int Classes = 12;
        DivisionState state = StateOf(table);
        ResizeClassLists(state, Classes);
        QVERIFY(AssignClassesWithRules(state, Classes));
        const DivisionRules rules = BuildDivisionRules(state, Classes, true);
        QVERIFY(!rules.together.empty() && !rules.fixed.empty() && !rules.spread.empty());
        OptimiseControl control;
        control.balance.bands = 10;
        const OptimiseResult result = OptimiseDivision(state, Classes, rules, control);
        QCOMPARE(result.outcome, OptimiseOutcome::Improved);
        QVERIFY(FindRuleBreaches(rules, ClassesOfRecords(state), Classes).empty());
        BalanceReport report = MakeBalanceReport(state, Classes, 10);
        MarkForcedBreaches(report, state, rules);
        for (const BalanceReport::BandBreach& b : report.breaches) {
            QVERIFY2(b.forced, ("class " + std::to_string(b.classNo)).c_str());
            QVERIFY(!b.cause.empty());
        }
    }
};

QTEST_MAIN(TestRules)
#include "tst_rules.moc"
