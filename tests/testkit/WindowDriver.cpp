#include "WindowDriver.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

namespace fenban::testkit {

QWidget* FindWidget(const QWidget& window, const char* name)
{
    auto* found = window.findChild<QWidget*>(QString::fromLatin1(name));
    if (found == nullptr)
        qFatal("no control %s", name);
    return found;
}

QAction* FindAction(const QWidget& window, const char* name)
{
    auto* found = window.findChild<QAction*>(QString::fromLatin1(name));
    if (found == nullptr)
        qFatal("no action %s", name);
    return found;
}

void Press(const QWidget& window, const char* button)
{
    FindControl<QPushButton>(window, button)->click();
}

void Paste(const QWidget& window, const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
    Press(window, "BitBtn1");
}

WindowDriver::TestPaths::TestPaths()
{
    QStandardPaths::setTestModeEnabled(true);
}

WindowDriver::WindowDriver(Mode mode)
{
    if (mode == Mode::Plain)
        return;
    window.show();
    for (const char* name : {"StrGrid", "gdAvg", "gdBalanceReport"})
        testers_.push_back(std::make_unique<QAbstractItemModelTester>(
            view(name)->model(), QAbstractItemModelTester::FailureReportingMode::QtTest));
}

WindowDriver::~WindowDriver() = default;

QTableView* WindowDriver::view(const char* gridName) const
{
    return control<QTableView>(gridName);
}

QList<SeenBox> WindowDriver::run(const std::function<void()>& action)
{
    const qsizetype before = dialogs.boxes().size();
    action();
    window.flushRecovery(); // what a test reads of the recovery file follows the action
    return dialogs.boxes().mid(before);
}

QList<SeenBox> WindowDriver::paste(const QString& text)
{
    return run([&] { Paste(window, text); });
}

QList<SeenBox> WindowDriver::click(const char* button)
{
    return run([&] { Press(window, button); });
}

QList<SeenBox> WindowDriver::click(const char* button, const QString& fileName)
{
    return withFile(fileName, [&] { Press(window, button); });
}

QList<SeenBox> WindowDriver::trigger(const char* action)
{
    return run([&] { FindAction(window, action)->trigger(); });
}

QList<SeenBox> WindowDriver::trigger(const char* action, const QString& fileName)
{
    return withFile(fileName, [&] { FindAction(window, action)->trigger(); });
}

QList<SeenBox> WindowDriver::withFile(const QString& fileName, const std::function<void()>& action)
{
    const qsizetype requests = dialogs.fileRequests().size();
    dialogs.answerFile(fileName);
    QList<SeenBox> boxes = run(action);
    if (dialogs.fileRequests().size() == requests) {
        dialogs.clearAnswers();
        QTest::qFail("no file was asked for", __FILE__, __LINE__);
    }
    return boxes;
}

QList<SeenBox> WindowDriver::chooseNode(const QString& text)
{
    auto* tree = control<QTreeWidget>("trvClassList");
    const QList<QTreeWidgetItem*> found = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    if (found.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("no tree node %1").arg(text)), __FILE__, __LINE__);
        return {};
    }
    return run([&] { tree->setCurrentItem(found.first()); });
}

QList<SeenBox> WindowDriver::moveToClass(int classNo)
{
    for (QAction* item : control<QMenu>("ppmClass")->actions())
        if (item->data().toInt() == classNo)
            return run([item] { item->trigger(); });
    QTest::qFail(qPrintable(QStringLiteral("no menu item for class %1").arg(classNo)), __FILE__, __LINE__);
    return {};
}

QList<SeenBox> WindowDriver::balanceAll(bool cancelAtFirstReport, bool byEscape)
{
    bool cancelled = false;
    reportsAfterStop_ = 0;
    const QMetaObject::Connection hook = QObject::connect(
        &window, &TForm1::balanceProgressed, &window, [this, cancelAtFirstReport, byEscape, &cancelled] {
            if (cancelled)
                ++reportsAfterStop_;
            if (!cancelAtFirstReport || cancelled)
                return;
            auto* dialog = window.findChild<QProgressDialog*>(QStringLiteral("dlgBalanceProgress"));
            if (dialog != nullptr && byEscape) {
                QTest::keyClick(dialog, Qt::Key_Escape);
                cancelled = true;
            } else if (auto* cancel = dialog ? dialog->findChild<QPushButton*>() : nullptr) {
                cancel->click();
                cancelled = true;
            }
        });
    QList<SeenBox> boxes = click("btnBalanceAll");
    QObject::disconnect(hook);
    if (cancelAtFirstReport && !cancelled)
        QTest::qFail("no progress report to cancel at", __FILE__, __LINE__);
    return boxes;
}

QString WindowDriver::cell(const char* gridName, int col, int row) const
{
    const QAbstractItemModel* model = view(gridName)->model();
    if (row == 0)
        return col == 0 ? QString() : model->headerData(col - 1, Qt::Horizontal).toString();
    if (col == 0)
        return model->headerData(row - 1, Qt::Vertical).toString();
    return model->index(row - 1, col - 1).data().toString();
}

int WindowDriver::rows(const char* gridName) const
{
    return view(gridName)->model()->rowCount() + 1;
}

int WindowDriver::cols(const char* gridName) const
{
    return view(gridName)->model()->columnCount() + 1;
}

QStringList WindowDriver::column(const char* gridName, int col) const
{
    QStringList texts;
    for (int r = 1; r < rows(gridName); ++r)
        texts << cell(gridName, col, r);
    return texts;
}

QStringList WindowDriver::row(const char* gridName, int row, int firstCol, int lastCol) const
{
    QStringList texts;
    for (int col = firstCol; col <= lastCol; ++col)
        texts << cell(gridName, col, row);
    return texts;
}

void WindowDriver::clickCell(const char* gridName, int col, int row)
{
    QTableView* grid = view(gridName);
    const QModelIndex index = grid->model()->index(row - 1, col - 1);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

void WindowDriver::rightClickCell(const char* gridName, int col, int row)
{
    QTableView* grid = view(gridName);
    const QModelIndex index = grid->model()->index(row - 1, col - 1);
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, grid->visualRect(index).center());
}

void WindowDriver::selectBlock(const char* gridName, int left, int top, int right, int bottom)
{
    QTableView* grid = view(gridName);
    const QAbstractItemModel* model = grid->model();
    grid->selectionModel()->setCurrentIndex(model->index(top - 1, left - 1), QItemSelectionModel::NoUpdate);
    grid->selectionModel()->select(QItemSelection(model->index(top - 1, left - 1), model->index(bottom - 1, right - 1)),
        QItemSelectionModel::ClearAndSelect);
}

} // namespace fenban::testkit
