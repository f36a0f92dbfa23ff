#include "roster/PastedTable.h"

#include <QTest>

using namespace fenban;

namespace {
QStringList toList(const std::vector<std::string_view>& parts)
{
    QStringList list;
    for (const std::string_view part : parts)
        list << QString::fromUtf8(part.data(), static_cast<qsizetype>(part.size()));
    return list;
}
} // namespace

class TestPastedText : public QObject {
    Q_OBJECT

private slots:
    void splitLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("empty text: no line") << QByteArray("") << QStringList {};
        QTest::newRow("one line") << QByteArray("a") << QStringList {"a"};
        QTest::newRow("CR LF") << QByteArray("a\r\nb") << QStringList {"a", "b"};
        QTest::newRow("LF alone") << QByteArray("a\nb") << QStringList {"a", "b"};
        QTest::newRow("CR alone") << QByteArray("a\rb") << QStringList {"a", "b"};
        QTest::newRow("LF CR is two ends") << QByteArray("a\n\rb") << QStringList {"a", "", "b"};
        QTest::newRow("trailing CR LF adds nothing") << QByteArray("a\r\nb\r\n") << QStringList {"a", "b"};
        QTest::newRow("trailing LF adds nothing") << QByteArray("a\nb\n") << QStringList {"a", "b"};
        QTest::newRow("line end alone") << QByteArray("\r\n") << QStringList {""};
        QTest::newRow("empty line inside stays") << QByteArray("a\r\n\r\nb") << QStringList {"a", "", "b"};
        QTest::newRow("two trailing ends keep one empty line") << QByteArray("a\n\n") << QStringList {"a", ""};
        QTest::newRow("tabs at the ends are kept") << QByteArray("\ta\t\r\nb") << QStringList {"\ta\t", "b"};
        QTest::newRow("text ends at NUL") << QByteArray("a\nb\0c\nd", 7) << QStringList {"a", "b"};
        QTest::newRow("quoted cell with a line break is cut")
            << QByteArray("\"x\ny\"\tz") << QStringList {"\"x", "y\"\tz"};
    }
    void splitLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, lines);
        QCOMPARE(toList(SplitLines(std::string_view(text.constData(), static_cast<std::size_t>(text.size())))), lines);
    }

    void splitFields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("no tab: one field") << QByteArray("abc") << QStringList {"abc"};
        QTest::newRow("empty line: one empty field") << QByteArray("") << QStringList {""};
        QTest::newRow("two tabs in a row") << QByteArray("a\t\tb") << QStringList {"a", "", "b"};
        QTest::newRow("tab at the end") << QByteArray("a\tb\t") << QStringList {"a", "b", ""};
        QTest::newRow("tab at the start") << QByteArray("\ta") << QStringList {"", "a"};
        QTest::newRow("spaces and quotes untouched") << QByteArray(" \"a\" \t b ") << QStringList {" \"a\" ", " b "};
    }
    void splitFields()
    {
        QFETCH(QByteArray, line);
        QFETCH(QStringList, fields);
        QCOMPARE(
            toList(SplitFields(std::string_view(line.constData(), static_cast<std::size_t>(line.size())))), fields);
    }
};

QTEST_APPLESS_MAIN(TestPastedText)
#include "tst_pastedtext.moc"
