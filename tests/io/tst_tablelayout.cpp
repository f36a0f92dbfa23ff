// Reading the layout of a school's table: header row, columns by header,
// missing totals, score words, several sheets. The roster a rearranged table
// gives is compared with the roster of the same students in the program's
// own layout, read by the paste's own path.
#include "engine/Assignment.h"
#include "io/TableLayout.h"
#include "roster/CellGrid.h"
#include "roster/Gb18030.h"
#include "roster/NumberText.h"
#include "roster/PastedTable.h"
#include "roster/RosterBuilder.h"
#include "roster/ScoreParser.h"

#include <QTest>
#include <algorithm>
#include <random>

using namespace fenban;
using namespace Qt::StringLiterals;

namespace {

BuiltRoster RosterOf(const TableRows& rows)
{
    FieldRows fields;
    for (const auto& row : rows)
        fields.emplace_back(row.begin(), row.end());
    const TableGridSize size = GridSizeForTable(fields);
    CellGrid grid(size.cols, size.rows);
    FillGridWithTable(grid, fields);
    return BuildRosterFromGrid(grid, ".");
}

// Differences between two rosters, empty when they are the same.
QString RosterDifference(const BuiltRoster& a, const BuiltRoster& b)
{
    if (a.students.size() != b.students.size())
        return QStringLiteral("%1 students, not %2").arg(a.students.size()).arg(b.students.size());
    if (a.subjectNames != b.subjectNames)
        return QStringLiteral("subject names differ");
    for (std::size_t i = 0; i < a.students.size(); ++i) {
        const TStudent& x = *a.students[i];
        const TStudent& y = *b.students[i];
        if (x.Name != y.Name || x.Gender != y.Gender || x.ClassNo != y.ClassNo || x.Scores != y.Scores)
            return QStringLiteral("student %1 differs").arg(i);
    }
    if (a.rules.columns.size() != b.rules.columns.size())
        return QStringLiteral("rule columns differ");
    for (std::size_t c = 0; c < a.rules.columns.size(); ++c) {
        if (a.rules.columns[c].header != b.rules.columns[c].header
            || a.rules.columns[c].kind != b.rules.columns[c].kind)
            return QStringLiteral("rule column %1 differs").arg(c);
        for (std::size_t i = 0; i < a.students.size(); ++i)
            if (a.rules.text(i, static_cast<int>(c)) != b.rules.text(i, static_cast<int>(c)))
                return QStringLiteral("rule text of student %1 differs").arg(i);
    }
    return {};
}

const std::vector<std::string> Subjects
    = {"语文", "数学", "英语", "物理", "化学", "生物", "政治", "历史", "地理", "科学", "体育"};

// A random table in the program's own layout: whole and half scores, so the
// total column holds the exact sum; some empty classes and scores; rule
// columns after the subjects and sometimes a column nobody reads.
TableRows RandomOwnTable(std::mt19937& random, int subjects, bool rules)
{
    std::uniform_int_distribution<int> score(0, 300);
    TableRows rows {{"姓名", "性别", "班级", "总分"}};
    for (int s = 0; s < subjects; ++s)
        rows[0].push_back(Subjects[static_cast<std::size_t>(s)]);
    if (rules) {
        rows[0].push_back("同班");
        rows[0].push_back("均衡特长");
    }
    const int students = 1 + static_cast<int>(random() % 40);
    for (int i = 0; i < students; ++i) {
        std::vector<std::string> row {"学生" + std::to_string(i) + (random() % 3 == 0 ? " 甲" : ""),
            random() % 2 ? "男" : "女", random() % 3 == 0 ? std::to_string(1 + random() % 9) : ""};
        long double sum = 0;
        std::vector<std::string> scores;
        for (int s = 0; s < subjects; ++s) {
            const long double value = score(random) / 2.0L;
            const bool empty = random() % 10 == 0;
            sum += empty ? 0 : value;
            scores.push_back(empty ? std::string() : FormatNumber(value, "."));
        }
        row.push_back(FormatNumber(sum, "."));
        row.insert(row.end(), scores.begin(), scores.end());
        if (rules) {
            row.push_back(random() % 4 == 0 ? "A" + std::to_string(random() % 3) : "");
            row.push_back(random() % 2 ? "篮球" : "");
        }
        while (!row.empty() && row.back().empty())
            row.pop_back();
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<TableSheet> OneSheet(TableRows rows)
{
    return {{"Sheet1", std::move(rows)}};
}

// The columns of a table in a new order, cells of short rows filled in.
TableRows Reordered(const TableRows& rows, const std::vector<std::size_t>& order)
{
    TableRows out;
    for (const auto& row : rows) {
        std::vector<std::string> cells;
        for (const std::size_t c : order)
            cells.push_back(c < row.size() ? row[c] : std::string());
        out.push_back(std::move(cells));
    }
    return out;
}

const std::filesystem::path DataFolder = FENBAN_TEST_DATA;

// The class lists, as names, of a division of the roster into three classes.
std::vector<std::vector<std::string>> DivisionOf(const TableRows& rows)
{
    DivisionState state;
    state.Records = RosterOf(rows).students;
    for (const auto& record : state.Records)
        state.FStudents.push_back(record.get());
    state.FClasses.resize(3);
    std::vector<std::vector<std::string>> lists;
    if (!AssignClasses(state, 3))
        return lists;
    for (const TStudentList& members : state.FClasses) {
        lists.emplace_back();
        for (const TStudent* student : members)
            lists.back().push_back(Gb18030ToUtf8(student->Name));
    }
    return lists;
}

ImportedTable Imported(const std::vector<TableSheet>& sheets)
{
    const ImportProposal proposal = ProposeImport(sheets, ".");
    return ImportTable(sheets, proposal.choice, ".");
}

} // namespace

class TestTableLayout : public QObject {
    Q_OBJECT

private slots:
    // A table in the own layout comes out unchanged, no question asked.
    void ownLayoutIsTakenAsItIs()
    {
        std::mt19937 random(19);
        for (int round = 0; round < 300; ++round) {
            const TableRows rows = RandomOwnTable(random, static_cast<int>(random() % 11), random() % 2);
            const ImportProposal proposal = ProposeImport(OneSheet(rows), ".");
            QVERIFY(!proposal.askUser);
            QVERIFY(proposal.choice.asIs);
            const ImportedTable table = ImportTable(OneSheet(rows), proposal.choice, ".");
            QVERIFY(table.rows == rows);
            QVERIFY(table.extras.headers.empty() && table.warnings.empty());

            // A title row, a score word or a text among the scores: no longer the own layout.
            TableRows titled = rows;
            titled.insert(titled.begin(), {"2026级新生名单"});
            QVERIFY(ProposeImport(OneSheet(titled), ".").askUser);
            TableRows words = rows;
            words.back().resize(std::max<std::size_t>(words.back().size(), 4));
            words.back()[3] = random() % 2 ? "缺考" : "住校";
            QVERIFY(ProposeImport(OneSheet(words), ".").askUser);
        }
        // Columns after the ten subjects are the paste's to ignore: still the own layout.
        TableRows wide = RandomOwnTable(random, 10, false);
        wide[0].resize(15);
        wide[0][14] = "备注";
        wide[1].resize(15);
        wide[1][14] = "住校";
        QVERIFY(!ProposeImport(OneSheet(wide), ".").askUser);
    }

    // Title rows, 序号 and 学号, shuffled columns and no total give the roster
    // of the own layout; the extra columns keep every student's texts.
    void schoolTablesGiveTheSameRoster()
    {
        std::mt19937 random(2026);
        for (int round = 0; round < 200; ++round) {
            const int subjects = 1 + static_cast<int>(random() % 10);
            const bool rules = random() % 2;
            const TableRows own = RandomOwnTable(random, subjects, rules);
            const std::size_t width = 4 + subjects + (rules ? 2 : 0);
            TableRows school = own;
            school[0].resize(width);
            for (std::size_t r = 0; r < school.size(); ++r) {
                school[r].resize(width);
                school[r].push_back(r == 0 ? "学号" : "2026" + std::to_string(1000 + r));
                school[r].insert(school[r].begin(), r == 0 ? "序号" : std::to_string(r));
            }
            std::vector<std::size_t> order(width + 2);
            for (std::size_t c = 0; c < order.size(); ++c)
                order[c] = c;
            std::shuffle(order.begin(), order.end(), random);
            const bool dropTotal = random() % 2;
            if (dropTotal)
                order.erase(std::find(order.begin(), order.end(), 4));
            // The rule columns keep their order, as their texts are compared by position.
            if (rules) {
                const auto a = std::find(order.begin(), order.end(), width - 1);
                const auto b = std::find(order.begin(), order.end(), width);
                if (a > b)
                    std::iter_swap(a, b);
            }
            // The subjects keep their order too: the roster lists them as read.
            std::vector<std::size_t> subjectPlaces;
            for (std::size_t k = 0; k < order.size(); ++k)
                if (order[k] >= 5 && order[k] < 5 + static_cast<std::size_t>(subjects))
                    subjectPlaces.push_back(k);
            for (std::size_t k = 0; k < subjectPlaces.size(); ++k)
                order[subjectPlaces[k]] = 5 + k;
            TableRows shuffled = Reordered(school, order);
            const int titles = static_cast<int>(random() % 3);
            for (int t = 0; t < titles; ++t)
                shuffled.insert(shuffled.begin(), {t == 0 ? "2026级新生名单" : "", "", t == 1 ? "制表：教务处" : ""});

            const std::vector<TableSheet> sheets = OneSheet(shuffled);
            const ImportProposal proposal = ProposeImport(sheets, ".");
            QVERIFY(proposal.askUser);
            QCOMPARE(proposal.choice.headerRow, titles);
            const ImportedTable table = ImportTable(sheets, proposal.choice, ".");
            const QString difference = RosterDifference(RosterOf(table.rows), RosterOf(own));
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
            QCOMPARE(table.extras.headers.size(), std::size_t(2));
            const bool numberFirst = table.extras.headers[0] == "序号";
            QCOMPARE(table.extras.headers[numberFirst ? 1 : 0], std::string("学号"));
            QCOMPARE(table.extras.cells.size(), own.size() - 1);
            for (std::size_t i = 0; i < table.extras.cells.size(); ++i) {
                QCOMPARE(table.extras.cells[i][numberFirst ? 0 : 1], std::to_string(i + 1));
                QCOMPARE(table.extras.cells[i][numberFirst ? 1 : 0], "2026" + std::to_string(1001 + i));
            }
            QCOMPARE(table.warnings.size(), std::size_t(dropTotal ? 1 : 0));
        }
    }

    // Without a total column the total is the extended sum in column order,
    // written so that the roster reads exactly that sum back.
    void summedTotalIsExact()
    {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> digits(0, 99999);
        for (int round = 0; round < 500; ++round) {
            const int subjects = 1 + static_cast<int>(random() % 10);
            TableRows rows {{"姓名", "性别"}};
            std::vector<std::string> row {"甲", "男"};
            long double sum = 0;
            for (int s = 0; s < subjects; ++s) {
                rows[0].push_back(Subjects[static_cast<std::size_t>(s)]);
                const std::string text = std::to_string(digits(random) % 150) + "." + std::to_string(digits(random));
                row.push_back(text);
                sum += ParseScore(text, ".");
            }
            rows.push_back(row);
            const BuiltRoster roster = RosterOf(Imported(OneSheet(rows)).rows);
            QCOMPARE(roster.students.size(), std::size_t(1));
            QVERIFY(roster.students[0]->Scores[0] == sum);
        }
    }

    // Whatever the cells, the reading either fails with its Chinese message or
    // gives a table the roster reads without a conversion error, an extra
    // row per student.
    void anyTableReadsOrIsTold()
    {
        const std::vector<std::string> alphabet {"姓名", "性 别", "班级", "总分", "语文", "数学", "学号", "同班", "",
            "", "85", "-3.5", "1e3", "缺考", "/", "良好", "3班", "男", "女", " ", "2026级"};
        std::mt19937 random(11);
        int read = 0;
        for (int round = 0; round < 3000; ++round) {
            std::vector<TableSheet> sheets;
            const int sheetCount = 1 + static_cast<int>(random() % 3);
            for (int k = 0; k < sheetCount; ++k) {
                TableRows rows(random() % 6);
                for (auto& row : rows) {
                    row.resize(random() % 8);
                    for (std::string& cell : row)
                        cell = alphabet[random() % alphabet.size()];
                }
                sheets.push_back({"表" + std::to_string(k), std::move(rows)});
            }
            try {
                const ImportProposal proposal = ProposeImport(sheets, ".");
                const ImportedTable table = ImportTable(sheets, proposal.choice, ".");
                const BuiltRoster roster = RosterOf(table.rows);
                if (!proposal.choice.asIs)
                    QCOMPARE(table.extras.cells.size(), table.rows.size() - 1);
                QVERIFY(roster.students.size() >= table.rows.size() - 1);
                ++read;
            } catch (const ImportError& error) {
                QVERIFY(!std::string(error.what()).empty());
            }
        }
        QVERIFY(read > 100);
    }

    void headerWordsIgnoreBlanks()
    {
        QCOMPARE(HeaderWord(" 性 别\xE3\x80\x80"), std::string("性别"));
        QCOMPARE(HeaderWord("姓\xC2\xA0名"), std::string("姓名"));
        const TableRows rows {
            {"2026级新生名单"}, {"序号", "姓 名", "性\xE3\x80\x80别", "语文"}, {"1", "甲", "女", "90"}};
        QCOMPARE(FindHeaderRow(rows), 1);
        const BuiltRoster roster = RosterOf(Imported(OneSheet(rows)).rows);
        QCOMPARE(roster.students[0]->Scores[0], 90.0L);
        QCOMPARE(roster.students[0]->Scores[1], 90.0L);
        QCOMPARE(roster.subjectNames[1], std::string("语文"));
    }

    // Score words are empty scores, each named with the row the spreadsheet shows.
    void scoreWordsAreEmptyScores()
    {
        const TableRows rows {{"初一新生"}, {"姓名", "性别", "数学", "语文"}, {"甲", "男", "缺考", "80"},
            {"乙", "女", "90", " 免考 "}, {"丙", "女", "—", "/"}};
        const ImportedTable table = Imported(OneSheet(rows));
        const std::vector<std::string> expected {"没有总分列：总分是各科成绩按列的顺序相加之和", "第 3 行 数学：缺考",
            "第 4 行 语文：免考", "第 5 行 数学：—", "第 5 行 语文：/"};
        QVERIFY(table.warnings == expected);
        const BuiltRoster roster = RosterOf(table.rows);
        QCOMPARE(roster.students[0]->Scores[0], 80.0L);
        QCOMPARE(roster.students[0]->Scores[1], 0.0L);
        QCOMPARE(roster.students[2]->Scores[0], 0.0L);
    }

    void otherWordsAreTold_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("score") << 3 << QStringLiteral("良好")
                               << QStringLiteral("不能读入表格：工作表“成绩”第 4 行第 D 列（数学）的“良好”不是分数。");
        QTest::newRow("total") << 4 << QStringLiteral("x")
                               << QStringLiteral("不能读入表格：工作表“成绩”第 4 行第 E 列（总分）的“x”不是分数。");
        QTest::newRow("class") << 2 << QStringLiteral("一班")
                               << QStringLiteral(
                                      "不能读入表格：工作表“成绩”第 4 行第 C 列（班级）的“一班”不是班级号。");
    }

    void otherWordsAreTold()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, message);
        TableRows rows {{"名单"}, {"姓名", "性别", "班级", "数学", "总分"}, {"甲", "男", "3班", "70", "70"},
            {"乙", "女", "", "80", "80"}};
        rows[3][static_cast<std::size_t>(column)] = text.toStdString();
        const std::vector<TableSheet> sheets {{"成绩", rows}};
        const ImportProposal proposal = ProposeImport(sheets, ".");
        try {
            ImportTable(sheets, proposal.choice, ".");
            QFAIL("no failure");
        } catch (const ImportError& error) {
            QCOMPARE(QString::fromStdString(error.what()), message);
        }
    }

    // "3班" is class 3; the class a roster reads is the same.
    void classNamedWithItsWord()
    {
        const TableRows rows {{"姓名", "性别", "班别"}, {"甲", "男", "3班"}};
        QCOMPARE(RosterOf(Imported(OneSheet(rows)).rows).students[0]->ClassNo, 3);
    }

    // Several own-layout sheets lose no row: under one header they are read
    // whole and unasked, rows without text left out; sheets that differ are
    // asked about; the program's own workbook reads its 全部 alone.
    void ownLayoutSheetsLoseNoRow()
    {
        std::mt19937 random(5);
        for (int round = 0; round < 50; ++round) {
            const int subjects = static_cast<int>(random() % 11);
            const bool rules = random() % 2;
            std::vector<TableSheet> sheets {{"空", {}}};
            TableRows whole;
            std::vector<std::pair<std::string, int>> counts;
            for (int k = 1; k <= 2 + static_cast<int>(random() % 3); ++k) {
                TableRows rows = RandomOwnTable(random, subjects, rules);
                whole.insert(whole.end(), rows.begin() + (whole.empty() ? 0 : 1), rows.end());
                counts.emplace_back(std::to_string(k) + "班", static_cast<int>(rows.size()) - 1);
                if (rows.size() > 2)
                    rows.insert(rows.begin() + 2,
                        random() % 2 ? std::vector<std::string>() : std::vector<std::string> {"", " "});
                sheets.push_back({counts.back().first, std::move(rows)});
            }
            ImportProposal proposal = ProposeImport(sheets, ".");
            QVERIFY(!proposal.askUser && proposal.choice.asIs);
            QCOMPARE(proposal.choice.sheet, ImportChoice::MergeSheets);
            const ImportedTable table = ImportTable(sheets, proposal.choice, ".");
            QVERIFY(table.rows == whole);
            QVERIFY(table.sheetsRead == counts);

            // One sheet alone: the row without text is gone, the others keep their numbers.
            const ImportedTable one
                = ImportTable(OneSheet(sheets[1].rows), ProposeImport(OneSheet(sheets[1].rows), ".").choice, ".");
            QCOMPARE(one.rows.size() + (sheets[1].rows.size() > 3 ? 1 : 0), sheets[1].rows.size());
            if (sheets[1].rows.size() > 3)
                QCOMPARE(one.rowNumbers.back(), static_cast<int>(sheets[1].rows.size()));

            // The program's workbook: 全部 holds the class sheets' students.
            std::vector<TableSheet> book {{"全部", whole}};
            book.insert(book.end(), sheets.begin() + 1, sheets.end());
            book.push_back({"平均分", {{"班级", "男", "女", "人数"}, {"1", "3", "4", "7"}}});
            proposal = ProposeImport(book, ".");
            QVERIFY(!proposal.askUser && proposal.choice.asIs);
            QCOMPARE(proposal.choice.sheet, 0);

            // Another header on one sheet: asked, the doubts saying which sheet is read.
            sheets.back().rows[0].push_back(rules ? "不同班" : "备注");
            proposal = ProposeImport(sheets, ".");
            QVERIFY(proposal.askUser);
            QCOMPARE(proposal.choice.sheet, 1);
            QVERIFY(!proposal.doubts.empty() && proposal.doubts[0].find("只读工作表“1班”") != std::string::npos);
        }
    }

    // One sheet per former class, the same header: merged one after another.
    void sheetsWithOneHeaderAreMerged()
    {
        std::mt19937 random(3);
        const TableRows own = RandomOwnTable(random, 5, false);
        std::vector<TableSheet> sheets {{"空", {}}};
        for (std::size_t start = 1, k = 1; start < own.size(); ++k) {
            const std::size_t end = std::min(own.size(), start + 1 + random() % 7);
            TableRows rows {{"原" + std::to_string(k) + "班"}, own[0]};
            rows[1][1] = "性 别";
            rows.insert(rows.end(), own.begin() + static_cast<std::ptrdiff_t>(start),
                own.begin() + static_cast<std::ptrdiff_t>(end));
            sheets.push_back({std::to_string(k) + "班", std::move(rows)});
            start = end;
        }
        QVERIFY(sheets.size() > 2);
        QVERIFY(SheetsShareHeader(sheets));
        const ImportProposal proposal = ProposeImport(sheets, ".");
        QCOMPARE(proposal.choice.sheet, ImportChoice::MergeSheets);
        QVERIFY(proposal.askUser);
        const ImportedTable table = ImportTable(sheets, proposal.choice, ".");
        const QString difference = RosterDifference(RosterOf(table.rows), RosterOf(own));
        QVERIFY2(difference.isEmpty(), qPrintable(difference));

        // A sheet with another header is not merged.
        sheets.push_back({"统计", {{"班级", "人数"}, {"1", "40"}}});
        QVERIFY(!SheetsShareHeader(sheets));
        QCOMPARE(ProposeImport(sheets, ".").choice.sheet, 1);
        try {
            ImportTable(sheets, proposal.choice, ".");
            QFAIL("no failure");
        } catch (const ImportError& error) {
            QCOMPARE(
                QString::fromStdString(error.what()), QStringLiteral("不能合并：工作表“统计”没有与“1班”相同的表头。"));
        }
    }

    // Files saved by LibreOffice: each school table gives the roster and the
    // division of the plain one, 学号 beside every student.
    void schoolFiles_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("warnings");
        const QStringList none;
        QTest::newRow("title rows, .xlsx") << QStringList {u"school-title.xlsx"_s} << none;
        QTest::newRow("title rows, .xls") << QStringList {u"school-title.xls"_s} << none;
        QTest::newRow("shuffled columns") << QStringList {u"school-shuffled.xlsx"_s} << none;
        const QStringList words {u"没有总分列：总分是各科成绩按列的顺序相加之和"_s, u"第 4 行 数学：缺考"_s,
            u"第 7 行 语文：缺"_s, u"第 9 行 物理：免考"_s, u"第 12 行 数学：—"_s, u"第 13 行 化学：/"_s};
        QTest::newRow("no total, score words, .xlsx") << QStringList {u"school-nototal.xlsx"_s} << words;
        QTest::newRow("no total, score words, .csv") << QStringList {u"school-nototal.csv"_s} << words;
        QTest::newRow("one sheet per class")
            << QStringList {u"school-classes-1.csv"_s, u"school-classes-2.csv"_s, u"school-classes-3.csv"_s} << none;
    }

    void schoolFiles()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, warnings);
        const TableRows plain = ReadTableFile(DataFolder / "school-plain.xlsx");
        const ImportProposal own = ProposeImport(OneSheet(plain), ".");
        QVERIFY(own.choice.asIs && !own.askUser);
        const BuiltRoster roster = RosterOf(ImportTable(OneSheet(plain), own.choice, ".").rows);
        QCOMPARE(roster.students.size(), std::size_t(12));

        std::vector<TableSheet> sheets;
        for (const QString& file : files)
            sheets.push_back({file.toStdString(), ReadTableFile(DataFolder / file.toStdString())});
        const ImportProposal proposal = ProposeImport(sheets, ".");
        QVERIFY(proposal.askUser);
        QCOMPARE(proposal.choice.sheet, files.size() > 1 ? ImportChoice::MergeSheets : 0);
        const ImportedTable table = ImportTable(sheets, proposal.choice, ".");
        const QString difference = RosterDifference(RosterOf(table.rows), roster);
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
        QVERIFY(DivisionOf(table.rows) == DivisionOf(plain));
        QVERIFY(!DivisionOf(plain).empty());

        const auto number = std::find(table.extras.headers.begin(), table.extras.headers.end(), "学号");
        QVERIFY(number != table.extras.headers.end());
        for (std::size_t i = 0; i < 12; ++i)
            QCOMPARE(table.extras.text(i, static_cast<std::size_t>(number - table.extras.headers.begin())),
                std::to_string(2026001 + i));
        QStringList told;
        for (const std::string& warning : table.warnings)
            told << QString::fromStdString(warning);
        QCOMPARE(told, warnings);
    }

    // The workbook of one sheet per class holds what its text files hold.
    void classWorkbookHoldsItsSheets()
    {
        for (const char* workbook : {"school-classes.xlsx", "school-classes.xls"})
            QVERIFY(ReadTableFile(DataFolder / workbook) == ReadTableFile(DataFolder / "school-classes-1.csv"));
    }

    void rolesAreProposedByHeader()
    {
        const TableRows rows {
            {"序号", "学号", "姓名", "性别", "音乐", "总成绩", "身份证号", "不同班", "备注", "", "道德与法治"},
            {"1", "20260001", "甲", "男", "90", "170", "110101200001011234", "A", "", "5", "80"}};
        std::vector<std::string> doubts;
        const std::vector<ColumnRole> roles = ProposeRoles(rows, 0, ".", doubts);
        const std::vector<ColumnRole> expected {ColumnRole::Extra, ColumnRole::Extra, ColumnRole::Name,
            ColumnRole::Gender, ColumnRole::Subject, ColumnRole::Total, ColumnRole::Extra, ColumnRole::Rule,
            ColumnRole::Extra, ColumnRole::Unused, ColumnRole::Subject};
        QVERIFY(roles == expected);
        const std::vector<std::string> expectedDoubts {"第 E 列“音乐”都是数字，当作科目", "第 J 列没有标题，不用"};
        QVERIFY(doubts == expectedDoubts);
    }

    void choicesAreChecked()
    {
        const std::vector<TableSheet> sheets = OneSheet({{"姓名", "性别", "数学"}, {"甲", "男", "1"}});
        ImportChoice choice {0, 0, {ColumnRole::Name, ColumnRole::Unused, ColumnRole::Subject}, false};
        QVERIFY_THROWS_EXCEPTION(ImportError, ImportTable(sheets, choice, "."));
        choice.roles = {ColumnRole::Name, ColumnRole::Name, ColumnRole::Gender};
        QVERIFY_THROWS_EXCEPTION(ImportError, ImportTable(sheets, choice, "."));
        // A sum beyond the extended type is told, not written as "inf".
        const std::vector<TableSheet> huge
            = OneSheet({{"姓名", "性别", "数学", "语文"}, {"甲", "男", "1e4932", "1e4932"}});
        QVERIFY_THROWS_EXCEPTION(ImportError, Imported(huge));
        QCOMPARE(ColumnLetters(0), std::string("A"));
        QCOMPARE(ColumnLetters(25), std::string("Z"));
        QCOMPARE(ColumnLetters(26), std::string("AA"));
        QCOMPARE(ColumnLetters(701), std::string("ZZ"));
        QCOMPARE(ColumnLetters(702), std::string("AAA"));
    }
};

QTEST_APPLESS_MAIN(TestTableLayout)
#include "tst_tablelayout.moc"
