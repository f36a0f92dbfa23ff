#include "common/Failure.h"
#include "roster/NumberText.h"
#include "roster/ScoreParser.h"

#include <QTest>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace fenban;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(long double)

namespace {
bool sameBits(long double a, long double b)
{
    return std::memcmp(&a, &b, 10) == 0; // the 80 value bits, not the padding
}
} // namespace

class TestNumbers : public QObject {
    Q_OBJECT

private slots:
    void parseScore_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<long double>("expected");
        QTest::newRow("empty") << ""
                               << "." << 0.0L;
        QTest::newRow("spaces only") << "   "
                                     << "." << 0.0L;
        QTest::newRow("control characters only") << "\t\r\n \x01"
                                                 << "." << 0.0L;
        QTest::newRow("whole") << "90"
                               << "." << 90.0L;
        QTest::newRow("decimal") << "87.5"
                                 << "." << 87.5L;
        QTest::newRow("spaces around") << "  87.3  "
                                       << "." << 87.3L;
        QTest::newRow("plus sign") << "+5"
                                   << "." << 5.0L;
        QTest::newRow("minus sign") << "-0.25"
                                    << "." << -0.25L;
        QTest::newRow("exponent") << "1e3"
                                  << "." << 1000.0L;
        QTest::newRow("exponent with sign") << "2.5E-1"
                                            << "." << 0.25L;
        QTest::newRow("exponent plus") << "1E+2"
                                       << "." << 100.0L;
        QTest::newRow("no integer digits") << ".5"
                                           << "." << 0.5L;
        QTest::newRow("no fraction digits") << "5."
                                            << "." << 5.0L;
        QTest::newRow("leading zeros") << "007.50"
                                       << "." << 7.5L;
        QTest::newRow("correctly rounded one tenth") << "0.1"
                                                     << "." << 0.1L;
        QTest::newRow("64-bit integer exact") << "123456789012345678"
                                              << "." << 123456789012345678.0L;
        QTest::newRow("long fraction") << "0.333333333333333333333333333"
                                       << "." << 0.333333333333333333333333333L;
        QTest::newRow("comma locale") << "87,5"
                                      << "," << 87.5L;
        QTest::newRow("near the top of the range") << "1e4932"
                                                   << "." << 1e4932L;
        QTest::newRow("below the range is zero") << "1e-5000"
                                                 << "." << 0.0L;
        QTest::newRow("zero with a huge exponent") << "0e999999999999"
                                                   << "." << 0.0L;
    }
    void parseScore()
    {
        QFETCH(QString, text);
        QFETCH(QString, separator);
        QFETCH(long double, expected);
        const long double value = ParseScore(text.toStdString(), separator.toStdString());
        QVERIFY2(sameBits(value, expected) || (value == 0 && expected == 0), qPrintable(text));
    }

    void parseScoreRefuses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("separator");
        for (const char* text :
            {"abc", "\t5", "5\t", "\r\n5", "0x10", "inf", "nan", "1,5", "1e", "e5", ".", "+", "-", "1 000", "--5",
                "+-5", "5e3.2", "1.5.2", "1e99999", "1.2e4932", "5 x", "\xe4\xb8\x83\xe5\x8d\x81", "\xef\xbc\x95"})
            QTest::newRow(text) << QString::fromUtf8(text) << ".";
        QTest::newRow("point in a comma locale") << "1.5"
                                                 << ",";
    }
    void parseScoreRefuses()
    {
        QFETCH(QString, text);
        QFETCH(QString, separator);
        try {
            ParseScore(text.toStdString(), separator.toStdString());
            QFAIL("no failure");
        } catch (const ConversionError& failure) {
            QCOMPARE(QString::fromUtf8(failure.what()), u"'"_s + text + u"' is not a valid floating point value"_s);
        }
    }

    void parseClassNo_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("failure");
        QTest::newRow("empty") << "" << 0 << "";
        QTest::newRow("truncated") << "2.7" << 2 << "";
        QTest::newRow("toward zero") << "-0.5" << 0 << "";
        QTest::newRow("negative") << "-3.9" << -3 << "";
        QTest::newRow("largest") << "2147483647.9" << 2147483647 << "";
        QTest::newRow("smallest") << "-2147483648" << int(-2147483648LL) << "";
        QTest::newRow("above") << "2147483648" << 0 << "'2147483648' is not a valid integer value";
        QTest::newRow("below") << "-2147483649" << 0 << "'-2147483649' is not a valid integer value";
        QTest::newRow("exponent above") << "3e9" << 0 << "'3e9' is not a valid integer value";
        QTest::newRow("no number") << "一班" << 0 << "'一班' is not a valid floating point value";
    }
    void parseClassNo()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        QFETCH(QString, failure);
        try {
            QCOMPARE(ParseClassNo(text.toStdString(), "."), expected);
            QVERIFY(failure.isEmpty());
        } catch (const ConversionError& error) {
            QCOMPARE(QString::fromUtf8(error.what()), failure);
        }
    }

    void formatNumber_data()
    {
        QTest::addColumn<long double>("value");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0L << "."
                              << "0";
        QTest::newRow("negative zero") << -0.0L << "."
                                       << "0";
        QTest::newRow("whole") << 90.0L << "."
                               << "90";
        QTest::newRow("half") << 87.5L << "."
                              << "87.5";
        QTest::newRow("two-decimal double") << static_cast<long double>(87.12) << "."
                                            << "87.12";
        QTest::newRow("extended one tenth") << 87.3L << "."
                                            << "87.3";
        QTest::newRow("negative") << -6.25L << "."
                                  << "-6.25";
        QTest::newRow("third") << 1.0L / 3 << "."
                               << "0.333333333333333";
        QTest::newRow("rounds at 15 digits") << 2.0L / 3 << "."
                                             << "0.666666666666667";
        QTest::newRow("carry to a whole") << 9.9999999999999999L << "."
                                          << "10";
        QTest::newRow("15 digits plain") << 999999999999999.0L << "."
                                         << "999999999999999";
        QTest::newRow("1E15 is scientific") << 1e15L << "."
                                            << "1E15";
        QTest::newRow("rounds up into scientific") << 999999999999999.9L << "."
                                                   << "1E15";
        QTest::newRow("1E14 plain") << 1e14L << "."
                                    << "100000000000000";
        QTest::newRow("more than 15 digits") << 123456789012345678.0L << "."
                                             << "1.23456789012346E17";
        QTest::newRow("small plain") << 0.0001L << "."
                                     << "0.0001";
        QTest::newRow("small plain digits") << 0.000123456L << "."
                                            << "0.000123456";
        QTest::newRow("smaller is scientific") << 0.00001L << "."
                                               << "1E-5";
        QTest::newRow("negative scientific") << -1.5e-10L << "."
                                             << "-1.5E-10";
        QTest::newRow("large") << 1e20L << "."
                               << "1E20";
        QTest::newRow("comma locale") << 87.5L << ","
                                      << "87,5";
        QTest::newRow("just below a hundredth") << 0.00999999999999999999L << "."
                                                << "0.01";
        QTest::newRow("one thousandth") << 0.001L << "."
                                        << "0.001";
    }

    // The quick digits must equal the C library's correctly rounded ones.
    void formatNumberAgreesWithPrintf()
    {
        std::uint64_t seed = 12345;
        auto next = [&seed] { return seed = seed * 6364136223846793005ULL + 1442695040888963407ULL; };
        for (int i = 0; i < 200000; ++i) {
            const int scale = static_cast<int>(next() >> 60); // 0..15
            long double value = static_cast<long double>(next() >> 11) / 9007199254740992.0L;
            for (int k = 0; k < scale; ++k)
                value *= 10;
            if (i % 3 == 0)
                value = std::round(value * 100) / 100; // two decimals, like scores
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.14Le", value);
            const long double reread = std::strtold(buffer, nullptr);
            const long double shown = std::strtold(FormatNumber(value, ".").c_str(), nullptr);
            if (shown != reread)
                QFAIL(qPrintable(QStringLiteral("%1 shows %2")
                                     .arg(QLatin1String(buffer))
                                     .arg(QString::fromStdString(FormatNumber(value, ".")))));
        }
    }
    void formatNumber()
    {
        QFETCH(long double, value);
        QFETCH(QString, separator);
        QFETCH(QString, text);
        QCOMPARE(QString::fromStdString(FormatNumber(value, separator.toStdString())), text);
    }
};

QTEST_APPLESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
