// The extra columns of an opened table (学号, 备注) travel with each student
// into the listing, the division's tables, the workbook (read back by
// openpyxl) and the PDF (pdftotext); without them everything is as before.
#include "OutputReaders.h"
#include "engine/Assignment.h"
#include "io/ClassListPrint.h"
#include "io/TableLayout.h"
#include "io/WorkbookFile.h"
#include "roster/Gb18030.h"
#include "roster/PastedTable.h"
#include "views/ClassViews.h"
#include "views/StringGridModel.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <map>
#include <random>

using namespace fenban;

namespace {

// A school's table: title row, 序号 first, 学号 and 备注 among the scores.
TableRows SchoolTable(int students, unsigned seed)
{
    std::mt19937 random(seed);
    TableRows rows {{"2026级新生名单"}, {"序号", "姓名", "学号", "性别", "语文", "数学", "备注", "英语"}};
    for (int i = 1; i <= students; ++i)
        rows.push_back({std::to_string(i), "学生" + std::to_string(i), "2026" + std::to_string(10000 + i),
            random() % 2 ? "男" : "女", std::to_string(random() % 150), std::to_string(random() % 150),
            i % 5 == 0 ? "住校" : "", std::to_string(random() % 150)});
    return rows;
}

void Divide(DivisionState& state, const ImportedTable& table, int classes)
{
    FieldRows fields;
    for (const auto& row : table.rows)
        fields.emplace_back(row.begin(), row.end());
    const TableGridSize size = GridSizeForTable(fields);
    CellGrid grid(size.cols, size.rows);
    FillGridWithTable(grid, fields);
    BuiltRoster built = BuildRosterFromGrid(grid, ".");
    state.Records = std::move(built.students);
    state.RuleTexts = std::move(built.rules);
    for (const auto& record : state.Records)
        state.FStudents.push_back(record.get());
    state.ExtraTexts = table.extras;
    state.FClasses.resize(static_cast<std::size_t>(classes));
    QVERIFY(AssignClasses(state, classes));
}

std::string Name(const TStudent* student)
{
    return Gb18030ToUtf8(student->Name);
}

// 学号 and 备注 of every student by name, from the table.
std::map<std::string, std::pair<std::string, std::string>> ExtrasByName(const TableRows& rows)
{
    std::map<std::string, std::pair<std::string, std::string>> extras;
    for (std::size_t r = 2; r < rows.size(); ++r)
        extras[rows[r][1]] = {rows[r][2], rows[r][6]};
    return extras;
}

std::vector<std::string> Texts(const std::vector<OutputCell>& cells)
{
    std::vector<std::string> texts;
    for (const OutputCell& cell : cells)
        texts.push_back(CellText(cell));
    return texts;
}

} // namespace

class TestExtraColumns : public QObject {
    Q_OBJECT

private slots:
    void listingShowsThemAfterTheRuleColumns()
    {
        const TableRows rows = SchoolTable(30, 1);
        const std::vector<TableSheet> sheets {{"名单", rows}};
        ImportedTable table = ImportTable(sheets, ProposeImport(sheets, ".").choice, ".");
        table.rows[0].push_back("同班");
        for (std::size_t r = 1; r < table.rows.size(); ++r) {
            table.rows[r].resize(7);
            table.rows[r].push_back(r % 3 == 0 ? "A" : "");
        }
        DivisionState state;
        Divide(state, table, 3);
        const std::vector<std::string> headers {"序号", "学号", "备注"};
        QVERIFY(state.ExtraTexts.headers == headers);
        const auto extras = ExtrasByName(rows);
        for (const TStudentList& members : state.FClasses) {
            StringGridModel grid(15, 2);
            ListStudents(grid, members, ".", state);
            const CellGrid& cells = grid.grid();
            QCOMPARE(cells.colCount(), 15 + 1 + 3);
            QCOMPARE(cells.cell(15, 0), std::string("同班"));
            QCOMPARE(cells.cell(17, 0), std::string("学号"));
            for (std::size_t k = 0; k < members.size(); ++k) {
                const int row = static_cast<int>(k) + 1;
                const auto& [number, note] = extras.at(Name(members[k]));
                QCOMPARE(cells.cell(1, row), Name(members[k]));
                QCOMPARE(cells.cell(17, row), number);
                QCOMPARE(cells.cell(18, row), note);
            }
        }
    }

    // The tables of a roster with extra columns are those without, each row
    // and header followed by the extra texts.
    void tablesAddTheirColumnsAndNothingElse()
    {
        const TableRows rows = SchoolTable(120, 2);
        const std::vector<TableSheet> sheets {{"名单", rows}};
        DivisionState state;
        Divide(state, ImportTable(sheets, ProposeImport(sheets, ".").choice, "."), 4);
        const std::vector<std::string> names {"总分", "语文", "数学", "英语"};
        const DivisionTables with = MakeDivisionTables(state, names);
        RosterExtraTexts extras = std::move(state.ExtraTexts);
        state.ExtraTexts = {};
        const DivisionTables without = MakeDivisionTables(state, names);
        state.ExtraTexts = std::move(extras);

        const auto byName = ExtrasByName(rows);
        std::vector<std::pair<const OutputTable*, const OutputTable*>> pairs {{&with.grade, &without.grade}};
        for (std::size_t k = 0; k < with.classes.size(); ++k)
            pairs.emplace_back(&with.classes[k], &without.classes[k]);
        for (const auto& [a, b] : pairs) {
            std::vector<std::string> header = b->header;
            header.insert(header.end(), {"序号", "学号", "备注"});
            QVERIFY(a->header == header);
            QCOMPARE(a->rows.size(), b->rows.size());
            for (std::size_t r = 0; r < a->rows.size(); ++r) {
                std::vector<std::string> expected = Texts(b->rows[r]);
                const auto& [number, note] = byName.at(expected[1]);
                const std::string place = std::to_string(std::stoi(expected[1].substr(std::string("学生").size())));
                expected.insert(expected.end(), {place, number, note});
                QVERIFY(Texts(a->rows[r]) == expected);
            }
        }
        QVERIFY(Texts(with.averages.rows.front()) == Texts(without.averages.rows.front()));
        QVERIFY(with.averages.header == without.averages.header);

        // Read back from the workbook: 学号 is text, beside its student.
        QTemporaryDir folder;
        const std::filesystem::path file = std::filesystem::path(folder.path().toStdString()) / "分班.xlsx";
        ExportDivisionWorkbook(file, with);
        QString error;
        const QJsonArray sheetsRead = testkit::ReadWithOpenpyxl(QString::fromStdString(file.string()), error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        int seen = 0;
        for (qsizetype k = 0; k + 1 < sheetsRead.size(); ++k) {
            const QJsonArray table = sheetsRead[k][QStringLiteral("rows")].toArray();
            const qsizetype column = qsizetype(with.grade.header.size()) - 2;
            QCOMPARE(table[0].toArray()[column][QStringLiteral("value")].toString(), QStringLiteral("学号"));
            for (qsizetype r = 1; r < table.size(); ++r) {
                const QJsonArray row = table[r].toArray();
                const auto& [number, note] = byName.at(row[1][QStringLiteral("value")].toString().toStdString());
                QCOMPARE(row[column][QStringLiteral("type")].toString(), QStringLiteral("str"));
                QCOMPARE(row[column][QStringLiteral("value")].toString().toStdString(), number);
                ++seen;
            }
        }
        QCOMPARE(seen, 240);

        // The PDF names every student's 学号 once (class lists only).
        const std::filesystem::path pdf = std::filesystem::path(folder.path().toStdString()) / "名单.pdf";
        ExportClassListsPdf(pdf, with);
        const QString text = testkit::PdfText(QString::fromStdString(pdf.string()));
        QVERIFY(text.contains(QStringLiteral("学号")));
        for (const auto& [name, texts] : byName)
            QVERIFY2(text.count(QString::fromStdString(texts.first)) == 1, texts.first.c_str());
    }
};

QTEST_MAIN(TestExtraColumns)
#include "tst_extracolumns.moc"
