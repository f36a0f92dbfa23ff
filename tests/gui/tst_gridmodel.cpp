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
};

QTEST_MAIN(TestGridModel)
#include "tst_gridmodel.moc"
