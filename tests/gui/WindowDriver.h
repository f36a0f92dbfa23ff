#pragma once

#include "ModalCatcher.h"
#include "app/Unit1.h"
#include "views/StringGridModel.h"

#include <QAbstractItemModelTester>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <memory>

// The real window, shown offscreen, with its grids under the model tester.
class WindowDriver {
public:
    WindowDriver()
    {
        window.show();
        for (const char* name : {"StrGrid", "gdAvg"})
            testers.push_back(std::make_unique<QAbstractItemModelTester>(
                view(name)->model(), QAbstractItemModelTester::FailureReportingMode::QtTest));
    }

    template <class T = QWidget> T* control(const char* name) const
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr)
            qFatal("no control %s", name);
        return found;
    }
    QTableView* view(const char* name) const { return control<QTableView>(name); }

    // Puts text on the clipboard and presses 读入数据; returns the boxes shown.
    QList<SeenBox> paste(const QString& text)
    {
        QGuiApplication::clipboard()->setText(text);
        return click("BitBtn1");
    }
    QList<SeenBox> click(const char* button, const QString& saveAs = {}, QList<QFileDialog*>* dialogs = nullptr)
    {
        return RunClosingBoxes([&] { control<QPushButton>(button)->click(); }, saveAs, dialogs);
    }

    // Cell (col, row) of a grid as the user sees it: headers for the fixed row and column.
    QString cell(const char* gridName, int col, int row) const
    {
        const QAbstractItemModel* model = view(gridName)->model();
        if (row == 0)
            return col == 0 ? QString() : model->headerData(col - 1, Qt::Horizontal).toString();
        if (col == 0)
            return model->headerData(row - 1, Qt::Vertical).toString();
        return model->index(row - 1, col - 1).data().toString();
    }
    int rows(const char* gridName) const { return view(gridName)->model()->rowCount() + 1; }
    int cols(const char* gridName) const { return view(gridName)->model()->columnCount() + 1; }

    void clickCell(const char* gridName, int col, int row)
    {
        QTableView* grid = view(gridName);
        const QModelIndex index = grid->model()->index(row - 1, col - 1);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }

    TForm1 window;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
};

// A table as a spreadsheet copies it: header line, then one line per student.
inline QString Table(const QStringList& students,
    const QString& header
    = QStringLiteral("姓名\t性别\t班级\t总分\t语文\t数学\t英语\t物理\t化学\t生物\t政治\t历史\t地理"))
{
    return header + QStringLiteral("\r\n") + students.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

// n students "学生k", alternating 男/女, total 500 + k.
inline QStringList Students(int n)
{
    QStringList lines;
    for (int k = 1; k <= n; ++k)
        lines << QStringLiteral("学生%1\t%2\t\t%3\t90\t80.5").arg(k).arg(k % 2 ? "男" : "女").arg(500 + k);
    return lines;
}
