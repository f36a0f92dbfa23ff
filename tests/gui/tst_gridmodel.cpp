#include "views/BalanceViews.h"
#include "views/StringGridModel.h"
#include "views/StringGridView.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace fenban;

class TestGridModel : public QObject {
    Q_OBJECT

private slots:
    void fixedRowAndColumnAreTheHeaders()
    {
        StringGridModel model(4, 3);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setCell(2, 0, "语文");
        model.setCell(0, 2, "7");
        model.setCell(3, 2, "x");
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("语文"));
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString());
        QCOMPARE(model.headerData(0, Qt::Horizontal).userType(), QMetaType::QString);
        QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("7"));
        QCOMPARE(model.index(1, 2).data().toString(), QStringLiteral("x"));
        QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
    }

    void resizingKeepsTheViewsConsistent()
    {
        StringGridModel model(15, 2);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRowCount(5001);
        model.updateCells([](CellGrid& grid) {
            for (int row = 0; row < grid.rowCount(); ++row)
                grid.setCell(0, row, std::to_string(row));
        });
        QCOMPARE(model.headerData(4999, Qt::Vertical).toString(), QStringLiteral("5000"));
        model.setColCount(21);
        model.setRowCount(1);
        QCOMPARE(model.rowCount(), 0);
        model.setColCount(1);
        QCOMPARE(model.columnCount(), 0);
        model.setColCount(15);
        model.setRowCount(31);
        QCOMPARE(model.rowCount(), 30);
    }

    void viewReportsTheCurrentCellAndItsMoves()
    {
        StringGridModel model(15, 201);
        StringGridView view;
        view.setGridModel(&model);
        view.show();
        QSignalSpy selected(&view, &StringGridView::cellSelected);
        view.setCurrentIndex(model.index(149, 4));
        QCOMPARE(selected.last(), QVariantList({5, 150}));
        model.setRowCount(31); // a shorter listing
        QCOMPARE(selected.last(), QVariantList({5, 30}));
        QCOMPARE(view.currentIndex(), model.index(29, 4));
        model.setColCount(3);
        QCOMPARE(selected.last(), QVariantList({2, 30}));
        model.setRowCount(1); // header row alone
        QCOMPARE(selected.last(), QVariantList({2, 0}));
        const qsizetype reports = selected.size();
        view.forgetCurrentCell();
        model.setRowCount(10);
        QCOMPARE(selected.size(), reports);
    }

    // Backgrounds by grid coordinates, announced to the views; texts stay.
    void backgroundsColourDataCellsOnly()
    {
        StringGridModel model(4, 3);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setCell(2, 1, "8.5");
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.setBackgrounds([](int col, int row) { return col == 2 && row == 1 ? QColor(Qt::red) : QColor(); });
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.last().at(2).value<QList<int>>(), QList<int>({Qt::BackgroundRole}));
        QCOMPARE(model.index(0, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::red));
        QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("8.5"));
        QVERIFY(!model.index(1, 1).data(Qt::BackgroundRole).isValid());
        model.setBackgrounds({});
        QVERIFY(!model.index(0, 1).data(Qt::BackgroundRole).isValid());
    }

    void deviationTint_data()
    {
        QTest::addColumn<double>("deviation");
        QTest::addColumn<double>("gradeAverage");
        QTest::addColumn<int>("alpha"); // 0: no tint
        QTest::addColumn<bool>("warm");
        QTest::newRow("on the average") << 0.0 << 80.0 << 0 << false;
        QTest::newRow("no grade average") << 1.5 << 0.0 << 0 << false;
        QTest::newRow("negative grade average") << -1.5 << -3.0 << 0 << false;
        QTest::newRow("a hair above") << 0.001 << 80.0 << 0 << false; // rounds to nothing
        QTest::newRow("half the full share above") << 0.4 << 80.0 << 55 << true;
        QTest::newRow("the full share below") << -0.8 << 80.0 << 110 << false;
        QTest::newRow("far below") << -30.0 << 80.0 << 110 << false;
        QTest::newRow("total column, a quarter above") << 1.75 << 700.0 << 28 << true;
    }
    void deviationTint()
    {
        QFETCH(double, deviation);
        QFETCH(double, gradeAverage);
        QFETCH(int, alpha);
        QFETCH(bool, warm);
        const QColor tint = DeviationTint(deviation, gradeAverage);
        QCOMPARE(tint.isValid(), alpha > 0);
        if (tint.isValid()) {
            QCOMPARE(tint.alpha(), alpha);
            QCOMPARE(tint.red() > tint.blue(), warm);
        }
    }
};

QTEST_MAIN(TestGridModel)
#include "tst_gridmodel.moc"
