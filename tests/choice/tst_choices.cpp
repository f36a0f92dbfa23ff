#include "choice/Choices.h"

#include <QTest>

using namespace fenban;

namespace {

SubjectSet Set(std::initializer_list<Elective> subjects)
{
    SubjectSet set = 0;
    for (const Elective s : subjects)
        set |= Bit(s);
    return set;
}

RosterExtraTexts OneColumn(const std::string& header, const std::vector<std::string>& cells)
{
    RosterExtraTexts extras;
    extras.headers = {"学号", header};
    for (std::size_t i = 0; i < cells.size(); ++i)
        extras.cells.push_back({std::to_string(1000 + i), cells[i]});
    return extras;
}

std::vector<std::string> NamesFor(std::size_t n)
{
    std::vector<std::string> names;
    for (std::size_t i = 0; i < n; ++i)
        names.push_back("学生" + std::to_string(i + 1));
    return names;
}

} // namespace

class TestChoices : public QObject {
    Q_OBJECT

private slots:
    void readsEveryForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("set");
        const int physChemBio = Set({Elective::Physics, Elective::Chemistry, Elective::Biology});
        const int histPolGeo = Set({Elective::History, Elective::Politics, Elective::Geography});
        QTest::newRow("short") << QStringLiteral("物化生") << physChemBio;
        QTest::newRow("plus") << QStringLiteral("物理+化学+生物") << physChemBio;
        QTest::newRow("spaces") << QStringLiteral(" 物理 化学　生物 ") << physChemBio;
        QTest::newRow("slashes") << QStringLiteral("物/化/生") << physChemBio;
        QTest::newRow("history") << QStringLiteral("史政地") << histPolGeo;
        QTest::newRow("long names glued") << QStringLiteral("历史思想政治地理") << histPolGeo;
        QTest::newRow("commas") << QStringLiteral("历史，政治、地理") << histPolGeo;
        QTest::newRow("technology") << QStringLiteral("物理 化学 通用技术")
                                    << int(Set({Elective::Physics, Elective::Chemistry, Elective::Technology}));
    }
    void readsEveryForm()
    {
        QFETCH(QString, text);
        QFETCH(int, set);
        const ParsedChoice parsed = ParseChoiceText(text.toStdString());
        QCOMPARE(QString::fromStdString(parsed.problem), QString());
        QCOMPARE(int(parsed.set), set);
    }

    void namesWhatIsWrong_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("problem");
        QTest::newRow("empty") << QStringLiteral("  ") << QStringLiteral("没有选科");
        QTest::newRow("unknown") << QStringLiteral("物化音") << QStringLiteral("选科“物化音”中有不认识的科目“音”");
        QTest::newRow("repeated") << QStringLiteral("物化化") << QStringLiteral("选科“物化化”重复了科目“化学”");
        QTest::newRow("four") << QStringLiteral("物化生地") << QStringLiteral("选科“物化生地”有 4 个科目，应为 3 个");
        QTest::newRow("two") << QStringLiteral("物理+化学") << QStringLiteral("选科“物理+化学”有 2 个科目，应为 3 个");
    }
    void namesWhatIsWrong()
    {
        QFETCH(QString, text);
        QFETCH(QString, problem);
        QCOMPARE(QString::fromStdString(ParseChoiceText(text.toStdString()).problem), problem);
    }

    // Every set of three subjects has one name, and reading the name gives the set back.
    void namesReadBack()
    {
        int threes = 0;
        for (unsigned set = 0; set < (1u << ElectiveCount); ++set) {
            if (SubjectCountOf(static_cast<SubjectSet>(set)) != 3)
                continue;
            ++threes;
            const std::string name = CombinationName(static_cast<SubjectSet>(set));
            QCOMPARE(int(ParseChoiceText(name).set), int(set));
            QCOMPARE(int(ParseChoiceText(SubjectListText(static_cast<SubjectSet>(set))).set), int(set));
            const bool firstThenTwo = FitsModel(static_cast<SubjectSet>(set), ChoiceModel::FirstThenTwo);
            QCOMPARE(
                firstThenTwo, SubjectCountOf(set & FirstChoiceSubjects) == 1 && (set & Bit(Elective::Technology)) == 0);
            if (firstThenTwo)
                QVERIFY(name.starts_with("物") || name.starts_with("史"));
        }
        QCOMPARE(threes, 35);
    }

    void findsTheColumns()
    {
        QCOMPARE(FindChoiceColumns({"学号", "选 科"}).columns, std::vector<std::size_t>({1}));
        QCOMPARE(FindChoiceColumns({"再选2", "首选", "备注", "再选1"}).columns, std::vector<std::size_t>({1, 3, 0}));
        QCOMPARE(FindChoiceColumns({"选科1", "选科2", "选科3"}).columns, std::vector<std::size_t>({0, 1, 2}));
        QVERIFY(!FindChoiceColumns({"选科1", "选科2"}).found());
        QVERIFY(!FindChoiceColumns({"学号", "备注"}).found());
        QVERIFY_THROWS_EXCEPTION(ChoiceInputError, ReadChoices(OneColumn("备注", {"物化生"}), NamesFor(1), {}, {}));
    }

    // Rows left out are named by the spreadsheet's row; the model is 3+1+2
    // unless set, and 3+3 when most choices fit it only.
    void listsInvalidRowsAndFindsTheModel()
    {
        const std::vector<std::string> cells
            = {"物化生", "史政地", "物化化", "化生地", "物史地", "", "物化技", "物生地", "史化政"};
        const RosterExtraTexts extras = OneColumn("选科", cells);
        const StudentChoices firstThenTwo
            = ReadChoices(extras, NamesFor(cells.size()), {5, 6, 7, 8, 9, 10, 12, 13, 14}, {});
        QCOMPARE(firstThenTwo.model, ChoiceModel::FirstThenTwo);
        QCOMPARE(firstThenTwo.validCount(), std::size_t(4));
        QCOMPARE(firstThenTwo.invalid.size(), std::size_t(5));
        QCOMPARE(QString::fromStdString(firstThenTwo.invalid[0]),
            QStringLiteral("第 7 行 学生3：选科“物化化”重复了科目“化学”"));
        QCOMPARE(QString::fromStdString(firstThenTwo.invalid[1]),
            QStringLiteral("第 8 行 学生4：选科“化生地”没有首选科目（物理或历史），不合 3+1+2"));
        QCOMPARE(QString::fromStdString(firstThenTwo.invalid[2]),
            QStringLiteral("第 9 行 学生5：选科“物史地”物理和历史都选了，不合 3+1+2"));
        QCOMPARE(QString::fromStdString(firstThenTwo.invalid[3]), QStringLiteral("第 10 行 学生6：没有选科"));
        QCOMPARE(QString::fromStdString(firstThenTwo.invalid[4]),
            QStringLiteral("第 12 行 学生7：选科“物化技”有技术，不合 3+1+2"));
        QVERIFY(InvalidChoicesMessage(firstThenTwo).find("5 名学生") != std::string::npos);

        const StudentChoices anyThree = ReadChoices(extras, NamesFor(cells.size()), {}, ChoiceModel::AnyThree);
        QCOMPARE(anyThree.validCount(), std::size_t(7));
        QCOMPARE(
            QString::fromStdString(anyThree.invalid[0]), QStringLiteral("第 4 行 学生3：选科“物化化”重复了科目“化学”"));

        // Three of five readable choices fit 3+3 only: the model found is 3+3.
        const StudentChoices found
            = ReadChoices(OneColumn("选科", {"物化生", "化生地", "物史地", "生政技", "史政地"}), NamesFor(5), {}, {});
        QCOMPARE(found.model, ChoiceModel::AnyThree);
        QVERIFY(found.invalid.empty());
        // Two of five: it stays 3+1+2 and the two are listed.
        const StudentChoices kept
            = ReadChoices(OneColumn("选科", {"物化生", "化生地", "物政地", "生政技", "史政地"}), NamesFor(5), {}, {});
        QCOMPARE(kept.model, ChoiceModel::FirstThenTwo);
        QCOMPARE(kept.invalid.size(), std::size_t(2));
    }

    void readsThreeColumns()
    {
        RosterExtraTexts extras;
        extras.headers = {"首选", "再选1", "再选2"};
        extras.cells = {{"物理", "化学", "生物"}, {"历史", "政治", "地理"}, {"物理", "化学"}};
        const StudentChoices choices = ReadChoices(extras, NamesFor(3), {}, {});
        QCOMPARE(int(choices.of[0]), int(Set({Elective::Physics, Elective::Chemistry, Elective::Biology})));
        QCOMPARE(int(choices.of[1]), int(Set({Elective::History, Elective::Politics, Elective::Geography})));
        QCOMPARE(int(choices.of[2]), 0);
        QCOMPARE(choices.invalid.size(), std::size_t(1));
    }
};

QTEST_APPLESS_MAIN(TestChoices)
#include "tst_choices.moc"
