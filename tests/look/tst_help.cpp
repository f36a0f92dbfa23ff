#include "HelpPictures.h"
#include "WindowDriver.h"
#include "app/ProgramIcon.h"

#include <QLabel>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>

using namespace fenban::testkit;

class TestHelp : public QObject {
    Q_OBJECT

private slots:
    void opensOnTheHelpTab()
    {
        WindowDriver w;
        auto* pages = w.control<QTabWidget>("PageControl1");
        QCOMPARE(pages->currentWidget(), w.control<QWidget>("TabSheet3"));
        QCOMPARE(pages->indexOf(w.control<QWidget>("TabSheet3")), 0);
        QVERIFY(w.control<QTextBrowser>("WebBrowser1")->isVisible());
        QVERIFY(w.control<QLabel>("Image1")->isVisible());
    }

    void helpPageLoadsAndTeachesTheWorkflow()
    {
        WindowDriver w;
        auto* browser = w.control<QTextBrowser>("WebBrowser1");
        QCOMPARE(browser->source(), QUrl(QStringLiteral("qrc:/help/index.html")));
        const QString text = browser->document()->toPlainText();
        QVERIFY(!browser->document()->isEmpty());
        // Every control and menu item the workflow names, and the reading of a class label.
        for (const char* word : {"读入数据", "分班数", "编班", "-->转到 k 班级", "全部", "拷贝", "导出EXCEL", "调整",
                 "手动调班", "较正系数", "空列", "3 (24/49)", "男生 24 人", "全班 49 人"})
            QVERIFY2(text.contains(QString::fromUtf8(word)), word);
    }

    void workflowSummaryIsVisibleWithoutScrolling()
    {
        WindowDriver w;
        auto* browser = w.control<QTextBrowser>("WebBrowser1");
        QCOMPARE(browser->size(), QSize(745, 109));
        const int visible = browser->viewport()->height();
        // The one-line summary runs from the spreadsheet to the export.
        for (const char* word : {"读入数据", "编班", "调整", "导出EXCEL"}) {
            const QTextCursor found = browser->document()->find(QString::fromUtf8(word));
            QVERIFY2(!found.isNull(), word);
            QVERIFY2(browser->cursorRect(found).bottom() < visible, word);
        }
        QVERIFY(browser->verticalScrollBar()->maximum() > 0); // the details lie further down
    }

    void picturesLoadAtTheirFullSize_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QSize>("size");
        QTest::newRow("roster steps") << "Image1" << QSize(745, 628);
        QTest::newRow("averages steps") << "Image2" << QSize(745, 405);
    }
    void picturesLoadAtTheirFullSize()
    {
        QFETCH(QString, label);
        QFETCH(QSize, size);
        WindowDriver w;
        const auto* image = w.control<QLabel>(qPrintable(label));
        const QPixmap picture = image->pixmap();
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.size(), size);
        QCOMPARE(image->size(), size); // shown whole, neither cut nor scaled
    }

    void picturesLoseNothingInTheScrollBox()
    {
        WindowDriver w;
        const QRect browser = w.control<QWidget>("WebBrowser1")->geometry();
        const auto* image1 = w.control<QLabel>("Image1");
        const QRect first = image1->geometry();
        const QRect second = w.control<QWidget>("Image2")->geometry();
        QVERIFY(browser.bottom() < first.top());
        QVERIFY(w.control<QWidget>("ScrollBox1Contents")->rect().contains(second));
        // Image2 lies over the last rows of Image1: those rows must be blank.
        const QImage picture = image1->pixmap().toImage();
        const QRgb blank = picture.pixel(0, picture.height() - 1);
        for (int y = second.top() - first.top(); y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                QVERIFY2(picture.pixel(x, y) == blank, qPrintable(QStringLiteral("%1, %2").arg(x).arg(y)));
    }

    void programIconHasEverySize()
    {
        const QIcon icon = fenban::ProgramIcon();
        QVERIFY(!icon.isNull());
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
            QVERIFY2(icon.availableSizes().contains(QSize(size, size)), qPrintable(QString::number(size)));
            QCOMPARE(icon.pixmap(size).size(), QSize(size, size));
        }
    }

    // The tool that draws the pictures still finds every control it drives.
    void helpPicturesAreRedrawnFromTheWindow()
    {
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QCOMPARE(fenban::shots::MakeHelpPictures(QStringLiteral(FENBAN_SAMPLE_GRADE), dir.path()), 0);
        const QImage roster(dir.filePath(QStringLiteral("roster-steps.png")));
        const QImage averages(dir.filePath(QStringLiteral("averages-steps.png")));
        QCOMPARE(roster.size(), QSize(745, 628));
        QCOMPARE(averages.size(), QSize(745, 405));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
