#pragma once

#include "ScriptedDialogs.h"
#include "app/Unit1.h"
#include "views/StringGridModel.h"

// What a window test reaches for: the controls' classes and Qt Test.
#include <QAbstractItemModelTester>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <vector>

namespace fenban::testkit {

// The control of that objectName below `window`; stops the program when
// there is none (a renamed control is a broken contract, not a failed check).
QWidget* FindWidget(const QWidget& window, const char* name);
template <class T = QWidget> T* FindControl(const QWidget& window, const char* name)
{
    T* found = qobject_cast<T*>(FindWidget(window, name));
    if (found == nullptr)
        qFatal("control %s is not a %s", name, T::staticMetaObject.className());
    return found;
}

// The window's action of that objectName (a menu or toolbar item); stops the
// program when there is none.
QAction* FindAction(const QWidget& window, const char* name);

// Presses the button of that objectName, as a click on it does.
void Press(const QWidget& window, const char* button);
// Puts the text on the clipboard and presses 读入数据.
void Paste(const QWidget& window, const QString& text);

// The real window with dialogs answered from a script. Tested: shown
// offscreen, its grids (StrGrid, gdAvg, gdBalanceReport) under
// QAbstractItemModelTester. Plain: neither (a benchmark's or a huge grid's
// window; show it when it should draw).
class WindowDriver {
    // First of all: the window's recovery files go to Qt's test folders
    // (QStandardPaths test mode), never to the user's data folder.
    struct TestPaths {
        TestPaths();
    } testPaths_;

public:
    enum class Mode { Tested, Plain };
    explicit WindowDriver(Mode mode = Mode::Tested);
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    template <class T = QWidget> T* control(const char* name) const { return FindControl<T>(window, name); }
    QTableView* view(const char* gridName) const;

    // Each returns the boxes shown while it ran.
    QList<SeenBox> run(const std::function<void()>& action);
    QList<SeenBox> paste(const QString& text);
    QList<SeenBox> click(const char* button);
    // Clicks a button that asks for a file and answers with `fileName`; a
    // check fails when no file was asked for.
    QList<SeenBox> click(const char* button, const QString& fileName);
    // Triggers the action of that objectName (打开, 保存分班, 撤销…); with a
    // file name, as click does.
    QList<SeenBox> trigger(const char* action);
    QList<SeenBox> trigger(const char* action, const QString& fileName);
    QAction* action(const char* name) const { return FindAction(window, name); }
    // Makes the tree node of that text current (全部 or a class number).
    QList<SeenBox> chooseNode(const QString& text);
    // Triggers the grid menu's item "-->转到 k 班级" for the row chosen last:
    // the student goes to class k by hand.
    QList<SeenBox> moveToClass(int classNo);
    // Presses 一键均衡 and returns when its work has ended. With
    // cancelAtFirstReport, presses 取消 in its progress dialog
    // ("dlgBalanceProgress") as the first progress report arrives (byEscape:
    // the Esc key instead); a check fails when there was none.
    QList<SeenBox> balanceAll(bool cancelAtFirstReport = false, bool byEscape = false);
    // Returns when the balance report's figures (the 均衡 tab, lblWorstBand)
    // are those of the division as it stands: after a click they may still be
    // on their way from the worker (shown as 计算中…).
    void settleReports() { window.settleBalanceReport(); }
    // Progress reports that reached the window after the last balanceAll stopped its run.
    int reportsAfterStop() const { return reportsAfterStop_; }

    // Cell (col, row) of a grid as the user sees it: headers for the fixed
    // row and column. Counts include the fixed row and column.
    QString cell(const char* gridName, int col, int row) const;
    int rows(const char* gridName) const;
    int cols(const char* gridName) const;
    // Rows 1.. of one column; columns firstCol..lastCol of one row.
    QStringList column(const char* gridName, int col) const;
    QStringList row(const char* gridName, int row, int firstCol, int lastCol) const;

    void clickCell(const char* gridName, int col, int row);
    void rightClickCell(const char* gridName, int col, int row);
    // Selects the block of cells, the top left one current.
    void selectBlock(const char* gridName, int left, int top, int right, int bottom);

    ScriptedDialogs dialogs; // installed before the window exists
    TForm1 window;

private:
    QList<SeenBox> withFile(const QString& fileName, const std::function<void()>& action);

    std::vector<std::unique_ptr<QAbstractItemModelTester>> testers_;
    int reportsAfterStop_ = 0;
};

} // namespace fenban::testkit
