// The export sequence against a recording fake, the built-in component's
// refusals, UTF-8 conversion, and saving that never leaves a partial file.
#include "FaultyFileSystem.h"
#include "xls/BuiltInSpreadsheet.h"
#include "xls/Utf16.h"
#include "xls/XlsErrors.h"

#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <sstream>

using namespace fenban;
using namespace fenban::testkit;
namespace fs = std::filesystem;

namespace {

// ---- A spreadsheet application that writes down every call.

struct Recorder {
    std::vector<std::string> calls;
    std::string failingCall; // a call starting with this throws
    void call(const std::string& what)
    {
        calls.push_back(what);
        if (!failingCall.empty() && what.rfind(failingCall, 0) == 0)
            throw Failure("拒绝：" + what);
    }
};

class FakeWorkbook final : public SpreadsheetWorkbook {
public:
    explicit FakeWorkbook(Recorder& log)
        : log_(log)
    {
    }
    void saveAs(const fs::path& file) override { log_.call("saveas " + file.string()); }
    void close() override { log_.call("close"); }

private:
    Recorder& log_;
};

class FakeWorkbooks final : public SpreadsheetWorkbooks {
public:
    explicit FakeWorkbooks(Recorder& log)
        : log_(log)
        , book_(log)
    {
    }
    SpreadsheetWorkbook& add() override
    {
        log_.call("add");
        return book_;
    }

private:
    Recorder& log_;
    FakeWorkbook book_;
};

class FakeApplication final : public SpreadsheetApplication {
public:
    explicit FakeApplication(Recorder& log)
        : log_(log)
        , books_(log)
    {
    }
    ~FakeApplication() override { log_.calls.push_back("release application"); }
    SpreadsheetWorkbooks& workbooks() override
    {
        log_.call("workbooks");
        return books_;
    }
    void putCell(int row, int column, std::string_view text) override
    {
        log_.call("cells " + std::to_string(row) + " " + std::to_string(column) + " " + std::string(text));
    }
    void quit() override { log_.call("quit"); }

private:
    Recorder& log_;
    FakeWorkbooks books_;
};

class FakeSheet final : public SpreadsheetAutomationObject {
public:
    explicit FakeSheet(Recorder& log)
        : log_(log)
    {
    }
    ~FakeSheet() override { log_.calls.push_back("release sheet"); }

private:
    Recorder& log_;
};

enum class Missing { None, Application, Sheet };

SpreadsheetFactory RecordingFactory(Recorder& log, Missing missing = Missing::None, bool throwWhenMissing = false)
{
    return [&log, missing, throwWhenMissing](std::string_view name) -> std::unique_ptr<SpreadsheetAutomationObject> {
        log.calls.push_back("create " + std::string(name));
        const bool absent = (missing == Missing::Application && name == "excel.application")
            || (missing == Missing::Sheet && name == "excel.sheet");
        if (absent && throwWhenMissing)
            throw std::runtime_error("class not registered");
        if (absent)
            return nullptr;
        if (name == "excel.application")
            return std::make_unique<FakeApplication>(log);
        return std::make_unique<FakeSheet>(log);
    };
}

// Texts "r<row>c<column>", and an empty one at (1, 0).
const std::string& GridText(int column, int row)
{
    static std::map<std::pair<int, int>, std::string> texts;
    std::string& text = texts[{column, row}];
    if (text.empty() && !(column == 1 && row == 0))
        text = "r" + std::to_string(row) + "c" + std::to_string(column);
    return text;
}

const std::string& NoText(int, int)
{
    static const std::string empty;
    return empty;
}

std::string ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> Listing(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

class XlsExportTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    fs::path folder() const { return fs::path(dir_->path().toStdString()); }

private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    void exportMakesTheCallsInOrder()
    {
        Recorder log;
        QCOMPARE(ExportCells(RecordingFactory(log), 2, 3, GridText, "out.xls"), ExportResult::Done);
        const std::vector<std::string> expected {"create excel.application", "create excel.sheet", "workbooks", "add",
            "cells 1 1 r0c0", "cells 1 2 ", "cells 1 3 r0c2", "cells 2 1 r1c0", "cells 2 2 r1c1", "cells 2 3 r1c2",
            "saveas out.xls", "close", "quit", "release sheet", "release application"};
        QCOMPARE(log.calls, expected);
    }

    void missingApplicationMakesNothing_data()
    {
        QTest::addColumn<int>("missing");
        QTest::addColumn<bool>("throws");
        QTest::addColumn<std::vector<std::string>>("expected");
        const std::vector<std::string> noApplication {"create excel.application"};
        const std::vector<std::string> noSheet {
            "create excel.application", "create excel.sheet", "release application"};
        QTest::newRow("no application") << int(Missing::Application) << false << noApplication;
        QTest::newRow("application throws") << int(Missing::Application) << true << noApplication;
        QTest::newRow("no sheet") << int(Missing::Sheet) << false << noSheet;
        QTest::newRow("sheet throws") << int(Missing::Sheet) << true << noSheet;
    }
    void missingApplicationMakesNothing()
    {
        QFETCH(int, missing);
        QFETCH(bool, throws);
        QFETCH(std::vector<std::string>, expected);
        Recorder log;
        const fs::path file = folder() / "out.xls";
        QCOMPARE(ExportCells(RecordingFactory(log, Missing(missing), throws), 2, 2, GridText, file),
            ExportResult::NoSpreadsheetApplication);
        QCOMPARE(log.calls, expected);
        QVERIFY(!fs::exists(file));
    }

    void failingCallEndsTheExport_data()
    {
        QTest::addColumn<std::string>("failing");
        for (const char* call : {"workbooks", "add", "cells 2 1", "saveas", "close", "quit"})
            QTest::newRow(call) << std::string(call);
    }
    void failingCallEndsTheExport()
    {
        QFETCH(std::string, failing);
        Recorder log;
        log.failingCall = failing;
        QVERIFY_THROWS_EXCEPTION(Failure, ExportCells(RecordingFactory(log), 2, 3, GridText, "out.xls"));
        const auto at = std::find_if(
            log.calls.begin(), log.calls.end(), [&](const std::string& call) { return call.rfind(failing, 0) == 0; });
        QVERIFY(at != log.calls.end());
        const std::vector<std::string> after(at + 1, log.calls.end());
        QCOMPARE(after, (std::vector<std::string> {"release sheet", "release application"}));
    }

    void builtInFactoryKnowsTwoClassNames()
    {
        const SpreadsheetFactory factory = BuiltInSpreadsheetFactory();
        QVERIFY(dynamic_cast<SpreadsheetApplication*>(factory("Excel.Application").get()) != nullptr);
        const auto sheet = factory("EXCEL.SHEET");
        QVERIFY(sheet != nullptr && dynamic_cast<SpreadsheetApplication*>(sheet.get()) == nullptr);
        QVERIFY(factory("excel.chart") == nullptr);
        QVERIFY(factory("excel.applicationx") == nullptr);
    }

    void builtInRefusesCallsOutOfTurn()
    {
        auto object = BuiltInSpreadsheetFactory()("excel.application");
        auto& excel = dynamic_cast<SpreadsheetApplication&>(*object);
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, excel.putCell(1, 1, "x")); // no workbook yet
        SpreadsheetWorkbook& book = excel.workbooks().add();
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, excel.putCell(0, 1, "x"));
        book.close();
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, book.saveAs(folder() / "closed.xls"));
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, excel.putCell(1, 1, "x"));
        excel.quit();
        QVERIFY_THROWS_EXCEPTION(SpreadsheetError, excel.workbooks());
        QVERIFY(fs::is_empty(folder()));
    }

    // Past the format's limits: a clear message and no file.
    void gridBeyondTheFormatIsRefused_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QString>("message");
        QTest::newRow("columns") << 2 << 300 << "表格有 300 列，超出 .xls 文件最多 256 列的限制，不能输出。";
        QTest::newRow("rows") << 65537 << 1 << "表格有 65537 行，超出 .xls 文件最多 65536 行的限制，不能输出。";
    }
    void gridBeyondTheFormatIsRefused()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(QString, message);
        const fs::path file = folder() / "too big.xls";
        try {
            ExportCells(BuiltInSpreadsheetFactory(), rows, columns, NoText, file);
            QFAIL("no failure");
        } catch (const SpreadsheetLimitError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), message);
        }
        QVERIFY(fs::is_empty(folder()));
    }

    // The limit counts UTF-16 units: 16384 characters beyond the BMP are 32768.
    void textTooLongForACellIsRefused()
    {
        std::string text;
        for (int i = 0; i < 16384; ++i)
            text += "😀";
        const auto cell = [&text](int, int) -> const std::string& { return text; };
        try {
            ExportCells(BuiltInSpreadsheetFactory(), 1, 1, cell, folder() / "long.xls");
            QFAIL("no failure");
        } catch (const SpreadsheetLimitError& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                QStringLiteral(
                    "第 1 行第 1 列的文字有 32768 个字符，超出 .xls 文件每格最多 32767 个字符的限制，不能输出。"));
        }
        QVERIFY(fs::is_empty(folder()));
    }

    void utf8BecomesUtf16_data()
    {
        QTest::addColumn<std::string>("utf8");
        QTest::addColumn<std::u16string>("utf16");
        QTest::newRow("ascii and Chinese") << std::string("a张三") << std::u16string(u"a张三");
        QTest::newRow("two-byte") << std::string("é") << std::u16string(u"é");
        QTest::newRow("beyond the BMP") << std::string("😀𠀀") << std::u16string(u"😀𠀀");
        QTest::newRow("highest") << std::string("\xF4\x8F\xBF\xBF") << std::u16string(u"\U0010FFFF");
        QTest::newRow("stray continuation") << std::string("a\x80z") << std::u16string(u"a\uFFFDz");
        QTest::newRow("cut short at the end") << std::string("a\xE5\xBC") << std::u16string(u"a\uFFFD");
        QTest::newRow("cut short mid-text") << std::string("\xE5\xBCz") << std::u16string(u"\uFFFDz");
        QTest::newRow("overlong") << std::string("\xC0\xAF\xE0\x80\xAF") << std::u16string(5, u'\uFFFD');
        QTest::newRow("encoded surrogate") << std::string("\xED\xA0\x80") << std::u16string(3, u'\uFFFD');
        QTest::newRow("past U+10FFFF") << std::string("\xF4\x90\x80\x80") << std::u16string(4, u'\uFFFD');
    }
    void utf8BecomesUtf16()
    {
        QFETCH(std::string, utf8);
        QFETCH(std::u16string, utf16);
        QVERIFY(Utf8ToUtf16(utf8) == utf16);
    }

    // A failure at each step of saving in turn (create, every write, close,
    // rename): WriteError naming the file, no temporary file left, the file
    // that was there untouched. Then the step after the last one succeeds.
    void failedSaveLeavesNothingBehind()
    {
        const fs::path target = folder() / "班级名单.xls";
        const std::string before = "an older file";
        std::ofstream(target, std::ios::binary) << before;
        int failAt = 1;
        for (;; ++failAt) {
            const auto files = std::make_shared<FaultyFileSystem>(failAt);
            try {
                ExportCells(BuiltInSpreadsheetFactory(files), 3, 3, GridText, target);
                QCOMPARE(files->steps(), failAt - 1);
                break;
            } catch (const WriteError& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains(QStringLiteral("班级名单.xls")), e.what());
            }
            QCOMPARE(Listing(folder()), std::vector<std::string> {"班级名单.xls"});
            QCOMPARE(ReadAll(target), before);
        }
        QVERIFY(failAt >= 7); // create, several writes, close, rename
        QCOMPARE(Listing(folder()), std::vector<std::string> {"班级名单.xls"});
        QCOMPARE(ReadAll(target).substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"));
    }

    void diskFullIsNamed()
    {
        const fs::path target = folder() / "a.xls";
        try {
            ExportCells(BuiltInSpreadsheetFactory(std::make_shared<FaultyFileSystem>(3)), 1, 1, GridText, target);
            QFAIL("no failure");
        } catch (const WriteError& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                QStringLiteral("不能保存文件“%1”：磁盘空间不足。").arg(QString::fromStdString(target.string())));
        }
    }

    // Real refusals by the file system.
    void refusedNameLeavesNothingBehind_data()
    {
        QTest::addColumn<std::string>("name");
        QTest::newRow("missing folder") << std::string("no such folder/a.xls");
        QTest::newRow("a folder of that name") << std::string("folder.xls");
        QTest::newRow("name too long") << std::string(300, 'n') + ".xls";
    }
    void refusedNameLeavesNothingBehind()
    {
        QFETCH(std::string, name);
        fs::create_directory(folder() / "folder.xls");
        fs::path target = folder() / name;
        QVERIFY_THROWS_EXCEPTION(WriteError, ExportCells(BuiltInSpreadsheetFactory(), 2, 2, GridText, target));
        QCOMPARE(Listing(folder()), std::vector<std::string> {"folder.xls"});
        QVERIFY(fs::is_empty(folder() / "folder.xls"));
    }

    void contentFailureIsPassedOn()
    {
        struct Boom { };
        const auto files = DiskFileSystem();
        QVERIFY_THROWS_EXCEPTION(Boom, SaveFileSafely(*files, folder() / "x.xls", [](ByteSink& out) {
            out.write(std::vector<std::uint8_t>(100, 1));
            throw Boom {};
        }));
        QVERIFY(fs::is_empty(folder()));
    }
};

QTEST_GUILESS_MAIN(XlsExportTest)
#include "tst_xls_export.moc"
