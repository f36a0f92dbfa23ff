#include "HelpPictures.h"
#include "WindowDriver.h"
#include "app/AboutDialog.h"
#include "app/ProgramIcon.h"
#include "common/Version.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
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
                 "手动调班", "较正系数", "空列", "3 (24/49)", "男生 24 人", "全班 49 人", "文件 → 打开",
                 "文件 → 导出工作簿", "文件 → 导出PDF", "文件 → 打印", "Ctrl+C", "一键均衡", "取消", "最大差",
                 "未满足的规则", "同音姓名分班", "同班", "不同班", "固定", "均衡生源"})
            QVERIFY2(text.contains(QString::fromUtf8(word)), word);
        // The picture of a table with rule columns comes with the page.
        const QVariant picture
            = browser->loadResource(QTextDocument::ImageResource, QUrl(QStringLiteral("rules-table.png")));
        QVERIFY(!picture.value<QByteArray>().isEmpty() || !picture.value<QImage>().isNull());
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
        QCOMPARE(fenban::shots::MakeHelpPictures(
                     QStringLiteral(FENBAN_SAMPLE_GRADE), QStringLiteral(FENBAN_SAMPLE_GRADE_RULES), dir.path()),
            0);
        const QImage roster(dir.filePath(QStringLiteral("roster-steps.png")));
        const QImage averages(dir.filePath(QStringLiteral("averages-steps.png")));
        QCOMPARE(roster.size(), QSize(745, 628));
        QCOMPARE(averages.size(), QSize(745, 405));
        const QImage rules(dir.filePath(QStringLiteral("rules-table.png")));
        QVERIFY(!rules.isNull());
        QVERIFY(rules.width() <= 745);
    }

    // 帮助 → 关于, the menu bar's last menu: the version, the build date and
    // every library with its version and licence, through the dialog seam.
    void aboutNamesVersionAndLibraries()
    {
        WindowDriver w;
        const QList<QAction*> menus = w.window.menuBar()->actions();
        QVERIFY(!menus.isEmpty());
        QMenu* help = menus.last()->menu();
        QVERIFY(help != nullptr);
        QCOMPARE(help->objectName(), QStringLiteral("mnuHelp"));
        QVERIFY(help->actions().contains(FindAction(w.window, "actAbout")));

        const QList<SeenBox> boxes = w.trigger("actAbout");
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].title, QStringLiteral("关于均衡分班"));
        QCOMPARE(boxes[0].icon, QMessageBox::Information);
        const QStringList lines = boxes[0].text.split(QLatin1Char('\n'));
        QCOMPARE(lines.value(0), QStringLiteral("均衡分班 ") + QString::fromLatin1(fenban::ProgramVersion()));
        QVERIFY(QRegularExpression(QStringLiteral("^构建日期：[0-9]{4}-[0-9]{2}-[0-9]{2}$"))
                    .match(lines.value(1))
                    .hasMatch());
        QStringList names;
        for (const fenban::LibraryNotice& library : fenban::UsedLibraries()) {
            names << library.name;
            QVERIFY2(QRegularExpression(QStringLiteral("^[0-9]+(\\.[0-9]+)+$")).match(library.version).hasMatch(),
                qPrintable(library.name + u' ' + library.version));
            QVERIFY(!library.licence.isEmpty());
            QVERIFY(lines.contains(
                library.name + u' ' + library.version + QStringLiteral("（") + library.licence + QStringLiteral("）")));
        }
        QCOMPARE(names,
            (QStringList {QStringLiteral("Qt"), QStringLiteral("Qt Charts"), QStringLiteral("libxlsxwriter"),
                QStringLiteral("zlib"), QStringLiteral("ICU")}));
        QCOMPARE(fenban::UsedLibraries()[0].version, QString::fromLatin1(qVersion()));
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
