#include "GradeText.h"
#include "WindowDriver.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QTabWidget>

using namespace fenban::testkit;

// The window at common sizes and font sizes: panels as laid out, nothing
// squeezed below what it needs or cut off at the panel's edge.
class TestLayout : public QObject {
    Q_OBJECT

    static void Show(WindowDriver& w, QSize size, const char* tab)
    {
        w.window.setWindowState(Qt::WindowNoState);
        w.window.resize(size);
        auto* pages = w.control<QTabWidget>("PageControl1");
        pages->setCurrentWidget(w.control<QWidget>(tab));
        Settle(w.window);
    }

    // Lays the window out completely before anything is measured, however
    // busy the machine: every posted event is handled, the item views lay
    // out now rather than on their timers, and every layout is activated,
    // until no geometry changes.
    static void Settle(QWidget& window)
    {
        for (int round = 0; round < 10; ++round) {
            QCoreApplication::sendPostedEvents();
            for (QAbstractItemView* view : window.findChildren<QAbstractItemView*>())
                view->doItemsLayout();
            QList<QRect> before;
            const QList<QWidget*> widgets = window.findChildren<QWidget*>();
            for (const QWidget* widget : widgets)
                before << widget->geometry();
            if (window.layout() != nullptr)
                window.layout()->activate();
            for (QWidget* widget : widgets)
                if (widget->layout() != nullptr)
                    widget->layout()->activate();
            QCoreApplication::sendPostedEvents();
            bool moved = false;
            for (qsizetype i = 0; i < widgets.size(); ++i)
                moved = moved || widgets[i]->geometry() != before[i];
            if (!moved)
                return;
        }
    }

    // The width a control needs to show its text whole. Push buttons, labels
    // and the coefficient are measured by their text, not by the style's
    // minimum or the widest number the spin box could hold.
    static int NeededWidth(const QWidget* control)
    {
        const QFontMetrics metrics = control->fontMetrics();
        if (const auto* label = qobject_cast<const QLabel*>(control))
            return metrics.boundingRect(label->text()).right() + 1; // ink, so a full-width colon's blank may go
        if (const auto* button = qobject_cast<const QPushButton*>(control))
            return metrics.horizontalAdvance(button->text()) + 8;
        if (const auto* combo = qobject_cast<const QComboBox*>(control)) {
            int widest = 0;
            for (int i = 0; i < combo->count(); ++i)
                widest = std::max(widest, metrics.horizontalAdvance(combo->itemText(i)));
            return widest + 36; // frame, padding and the arrow
        }
        if (control->objectName() == QLatin1String("speSystem"))
            return metrics.horizontalAdvance(QStringLiteral("-100")) + 28; // frame and arrows
        return control->minimumSizeHint().width();
    }

    // Every control lies whole inside its panel and is wide enough for its text.
    static void CheckWhole(WindowDriver& w, const char* panelName, std::initializer_list<const char*> controls)
    {
        const QWidget* panel = w.control<QWidget>(panelName);
        for (const char* name : controls) {
            const QWidget* control = w.control<QWidget>(name);
            const QRect inPanel(control->mapTo(panel, QPoint(0, 0)), control->size());
            QVERIFY2(panel->rect().contains(inPanel), name);
            QVERIFY2(control->width() >= NeededWidth(control),
                qPrintable(QStringLiteral("%1: %2 < %3")
                               .arg(QLatin1String(name))
                               .arg(control->width())
                               .arg(NeededWidth(control))));
        }
    }

    static void UseFont(int points)
    {
        QFont font = QApplication::font();
        font.setPointSize(points);
        QApplication::setFont(font);
    }

    QFont startFont;

private slots:
    void initTestCase() { startFont = QApplication::font(); }
    void cleanup() { QApplication::setFont(startFont); }

    void averagesPanelShowsEveryControl_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<QSize>("window");
        QTest::newRow("normal window, 9 pt") << 9 << QSize(696, 480);
        QTest::newRow("1024 x 768, 11 pt") << 11 << QSize(1024, 740);
        QTest::newRow("1366 x 768, 12 pt") << 12 << QSize(1366, 740);
    }
    void averagesPanelShowsEveryControl()
    {
        QFETCH(int, points);
        QFETCH(QSize, window);
        UseFont(points);
        WindowDriver w;
        QVERIFY(w.paste(Table(Students(60))).isEmpty()); // fills the subject chooser
        Show(w, window, "TabSheet2");
        QCOMPARE(w.window.width(), window.width()); // the layout does not force a wider window
        CheckWhole(w, "Panel1", {"Button4", "Edit1", "GroupBox1", "Label2", "speSystem"});
        CheckWhole(w, "GroupBox1", {"chkAuto", "Label4", "speClassA", "Label1", "speClassB", "Label6", "cmbSubject"});
        QCOMPARE(w.control("Panel1")->height(), 49);
        QCOMPARE(w.control("Edit1")->width(), 57);

        // The balance strip and the gaps under the table, with figures in them.
        QFile rules(QStringLiteral(FENBAN_SAMPLE_GRADE_RULES));
        QVERIFY(rules.open(QIODevice::ReadOnly));
        QVERIFY(w.paste(QString::fromUtf8(rules.readAll())).isEmpty());
        QVERIFY(w.click("BitBtn2").isEmpty());
        Show(w, window, "TabSheet2");
        w.settleReports(); // the band figure itself must fit, not 计算中…
        QCOMPARE(w.window.width(), window.width());
        QVERIFY(!w.control<QLabel>("lblBrokenRules")->text().isEmpty());
        CheckWhole(w, "Panel1", {"Button4", "Edit1", "GroupBox1", "Label2", "speSystem"});
        CheckWhole(w, "pnlBalance",
            {"btnBalanceAll", "chkSoundAlike", "lblTotalDeviation", "lblBrokenRules", "lblTintAbove", "lblTintBelow"});
        QVERIFY(w.control<QLabel>("lblWorstBand")->text().startsWith(QStringLiteral("分数段最大差")));
        CheckWhole(w, "pnlBands", {"lblBands", "cmbBands", "lblWorstBand"});
        // 一键均衡 stands under 调整; the gaps' columns under the averages'.
        QCOMPARE(w.control("btnBalanceAll")->mapTo(&w.window, QPoint(0, 0)).x(),
            w.control("Button4")->mapTo(&w.window, QPoint(0, 0)).x());
        const auto* averages = w.control<QTableView>("gdAvg");
        const auto* gaps = w.control<QTableView>("gdBalance");
        QCOMPARE(gaps->verticalHeader()->width(), averages->verticalHeader()->width());
        QCOMPARE(gaps->columnViewportPosition(3), averages->columnViewportPosition(3));
        QVERIFY(averages->height() > gaps->height());
    }

    void coefficientStaysNarrowOnWideScreens()
    {
        WindowDriver w;
        Show(w, QSize(1920, 1050), "TabSheet2");
        QVERIFY(w.control("speSystem")->width() <= 80);
        // The controls keep together at the left; the room left over stays empty at the right.
        QVERIFY(w.control("speSystem")->geometry().right() < 900);
    }

    void rosterPanelsKeepTheirSizes_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<QSize>("window");
        QTest::newRow("normal window, 9 pt") << 9 << QSize(696, 480);
        QTest::newRow("1366 x 768, 10 pt") << 10 << QSize(1366, 740);
        QTest::newRow("1920 x 1080, 9 pt") << 9 << QSize(1920, 1050);
    }
    void rosterPanelsKeepTheirSizes()
    {
        QFETCH(int, points);
        QFETCH(QSize, window);
        UseFont(points);
        WindowDriver w;
        QVERIFY(w.paste(Table(Students(60))).isEmpty());
        Show(w, window, "TabSheet1");
        QCOMPARE(w.control("Panel2")->width(), 129);
        QCOMPARE(w.control("Panel3")->height(), 113);
        QCOMPARE(w.control("Panel4")->height(), 81);
        CheckWhole(w, "Panel3", {"BitBtn1", "Label3", "SpinEdit1", "BitBtn2"});
        CheckWhole(w, "Panel4", {"BitBtn3", "Button1"});
        // The grid takes the rest of the page.
        const QWidget* grid = w.control("StrGrid");
        QCOMPARE(grid->geometry().right(), w.control("TabSheet1")->width() - 1);
        QVERIFY(grid->height() > window.height() / 2);
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
