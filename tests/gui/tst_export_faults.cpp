// The export through the window when the disk fails at any one step of the
// save (create, each write, close, rename): one clear message naming the
// file, no partial or temporary file, and a file of that name left intact.
#include "FaultyFileSystem.h"
#include "GradeText.h"
#include "WindowDriver.h"
#include "xls/BuiltInSpreadsheet.h"

#include <QDir>
#include <QTemporaryDir>
#include <system_error>

using namespace fenban;
using namespace fenban::testkit;

namespace {

QByteArray Content(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("(missing)");
}

} // namespace

class TestExportFaults : public QObject {
    Q_OBJECT

private slots:
    void everyStepFails_data()
    {
        QTest::addColumn<bool>("fileThere");
        QTest::newRow("over an older file") << true;
        QTest::newRow("new file") << false;
    }
    void everyStepFails()
    {
        QFETCH(bool, fileThere);
        QTemporaryDir folder;
        const QString file = folder.filePath(QStringLiteral("班级名单.xls"));
        const QByteArray older("an older file");
        if (fileThere) {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(older);
        }
        const QStringList before = QDir(folder.path()).entryList(QDir::Files);

        WindowDriver w;
        w.paste(Table(Students(300))); // a listing of several write steps
        int failAt = 1;
        for (;; ++failAt) {
            const auto disk = std::make_shared<FaultyFileSystem>(failAt);
            w.window.setSpreadsheetFactory(BuiltInSpreadsheetFactory(disk));
            const QList<SeenBox> boxes = w.click("Button1", file);
            if (disk->steps() < failAt) { // every step passed: the save is complete
                QVERIFY(boxes.isEmpty());
                break;
            }
            QCOMPARE(boxes.size(), 1);
            QCOMPARE(boxes[0].icon, QMessageBox::Critical);
            QVERIFY2(boxes[0].text.contains(QStringLiteral("班级名单.xls")), qPrintable(boxes[0].text));
            QCOMPARE(QDir(folder.path()).entryList(QDir::Files), before);
            if (fileThere)
                QCOMPARE(Content(file), older);
        }
        QVERIFY(failAt > 5); // create, writes, close, rename
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList {QStringLiteral("班级名单.xls")});
        QVERIFY(Content(file).startsWith(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)));
    }
};

QTEST_MAIN(TestExportFaults)
#include "tst_export_faults.moc"
