#include "HelpPictures.h"

#include "Callouts.h"
#include "SampleSession.h"
#include "SampleSheet.h"
#include "app/Unit1.h"
#include "roster/RosterBuilder.h"
#include "roster/RuleColumns.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableView>
#include <QTreeWidget>
#include <cstdio>

namespace fenban::shots {

namespace {

constexpr int SheetBandHeight = 150; // the spreadsheet above the roster tab
constexpr int CoveredRows = 4; // on the help tab the second picture covers the first one's last rows
constexpr int StudentRow = 9; // the row whose popup menu is shown
constexpr int ClickedColumn = 6; // where the right click lands in that row

// The rectangle of a control in the coordinates of an ancestor.
QRect RectIn(const QWidget* control, const QWidget* ancestor, QPoint offset = {})
{
    return QRect(control->mapTo(ancestor, QPoint(0, 0)) + offset, control->size());
}

QPoint RightMiddle(const QRect& r)
{
    return {r.right(), r.center().y()};
}

// A thin frame sets a picture apart from the window around it.
void Frame(QPainter& painter, const QRect& picture)
{
    painter.setClipping(false);
    painter.setPen(QColor(0xB0, 0xB0, 0xB0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(picture.adjusted(0, 0, -1, -1));
}

void Settle()
{
    QApplication::processEvents();
    QApplication::sendPostedEvents();
}

// Sizes the window so that its page control (below the menu and the
// toolbar) is `width` by `height`.
void ResizePages(QWidget& window, QTabWidget& pages, int width, int height)
{
    Settle();
    window.resize(width, height + window.height() - pages.height());
}

// The roster tab after dividing, with the everyone listing, one student's
// row chosen and the grid's popup menu open on it; above it, the sample in a
// spreadsheet.
QImage RosterPicture(SampleSession& session, const QString& sample)
{
    QWidget& window = session.window();
    auto* pages = session.control<QTabWidget>("PageControl1");
    ResizePages(window, *pages, PictureWidth, RosterPictureHeight - SheetBandHeight - CoveredRows);
    session.showTab("TabSheet1");
    Settle();

    auto* grid = session.control<QTableView>("StrGrid");
    const QModelIndex clicked = grid->model()->index(StudentRow - 1, ClickedColumn - 1);
    grid->setCurrentIndex(clicked);
    Settle();
    const QPoint viewport = grid->viewport()->mapTo(pages, QPoint(0, 0));
    const QRect cell = grid->visualRect(clicked).translated(viewport);
    const QRect row(viewport.x(), cell.top(), grid->viewport()->width(), cell.height());

    QImage picture(PictureWidth, RosterPictureHeight, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QPainter painter(&picture);

    const SheetLayout sheet = DrawSampleSheet(painter, QRect(8, 6, 340, SheetBandHeight - 12), sample);
    DrawCallout(painter,
        {1, QStringLiteral("把列排成：姓名、性别、班级、总分、各科。“班级”先插入一个空列。"), QRect(380, 14, 356, 0),
            sheet.classLetter.center()});
    DrawCallout(painter,
        {2, QStringLiteral("全选表格（Ctrl+A），复制（Ctrl+C）。"), QRect(380, 84, 356, 0),
            QPoint(sheet.table.right(), sheet.table.center().y())});

    painter.setClipRect(0, 0, PictureWidth, RosterPictureHeight - CoveredRows);
    const QPoint page(0, SheetBandHeight);
    painter.drawPixmap(page, pages->grab());
    DrawRing(painter, row.translated(page).adjusted(2, 0, -3, 0));
    auto* menu = session.control<QMenu>("ppmClass");
    menu->resize(menu->sizeHint());
    const QPoint menuAt = cell.center() + page;
    painter.drawPixmap(menuAt, menu->grab());

    const QRect paste = RectIn(session.control("BitBtn1"), pages, page);
    const QRect count = RectIn(session.control("SpinEdit1"), pages, page);
    const QRect divide = RectIn(session.control("BitBtn2"), pages, page);
    auto* tree = session.control<QTreeWidget>("trvClassList");
    const QRect root
        = tree->visualItemRect(tree->topLevelItem(0)).translated(tree->viewport()->mapTo(pages, QPoint(0, 0)) + page);
    const QRect output = RectIn(session.control("Panel4"), pages, page);
    const int left = 160;
    const int width = 320;

    DrawCallout(painter,
        {3, QStringLiteral("按“读入数据”：表格出现在右边。"), QRect(left, paste.top() + 6, width, 0),
            RightMiddle(paste)});
    DrawCallout(painter,
        {4, QStringLiteral("“分班数”按每班约 50 人给出，可以改。"), QRect(left, count.top() + 8, width, 0),
            RightMiddle(count)});
    DrawCallout(painter,
        {5, QStringLiteral("按“编班”：每个学生分到一个班。"), QRect(left, divide.top() + 14, width, 0),
            RightMiddle(divide)});
    DrawCallout(painter,
        {6, QStringLiteral("要调动个别学生：在他那一行点右键，选“-->转到 k 班级”。"),
            QRect(left, row.bottom() + page.y() + 22, 260, 0), menuAt + QPoint(2, 12)});
    DrawCallout(painter,
        {7, QStringLiteral("点左边的“全部”列出全年级，点班号只列出这个班。"), QRect(left, root.top() + 34, width, 0),
            QPoint(root.left() + 60, root.center().y())});
    DrawCallout(painter,
        {8, QStringLiteral("用鼠标拖选要的格子按“拷贝”，再到电子表格里粘贴；或按“导出EXCEL”存成文件。"),
            QRect(left, output.top() - 4, 270, 0), RightMiddle(output) - QPoint(8, 0)});
    Frame(painter, QRect(0, 0, PictureWidth, RosterPictureHeight - CoveredRows));
    return picture;
}

// The averages tab after dividing and balancing.
QImage AveragesPicture(SampleSession& session)
{
    QWidget& window = session.window();
    auto* pages = session.control<QTabWidget>("PageControl1");
    ResizePages(window, *pages, PictureWidth, AveragesPictureHeight);
    session.showTab("TabSheet2");
    Settle();

    QImage picture(PictureWidth, AveragesPictureHeight, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, pages->grab());

    auto* grid = session.control<QTableView>("gdAvg");
    const QRect body = RectIn(grid->viewport(), pages);
    Pale(painter, body);

    const QRect balanceAll = RectIn(session.control("btnBalanceAll"), pages);
    const QRect balance = RectIn(session.control("Button4"), pages).united(RectIn(session.control("Edit1"), pages));
    const QRect manual = RectIn(session.control("GroupBox1"), pages);
    const QRect coefficient
        = RectIn(session.control("Label2"), pages).united(RectIn(session.control("speSystem"), pages));
    DrawRing(painter, balanceAll);
    DrawRing(painter, balance);
    DrawRing(painter, manual);
    DrawRing(painter, coefficient);

    const QHeaderView* rows = grid->verticalHeader();
    const int third = 2; // class 3
    const QRect header = RectIn(rows, pages);
    const QRect label(
        header.left(), header.top() + rows->sectionViewportPosition(third), rows->width(), rows->sectionSize(third));
    const QString labelText = grid->model()->headerData(third, Qt::Vertical).toString();
    DrawRing(painter, label.adjusted(2, 1, -2, -1));
    auto* gaps = session.control<QTableView>("gdBalance");
    const QRect gapRow = RectIn(gaps->verticalHeader(), pages);

    const int top = body.top() + 8;
    DrawCallout(painter,
        {1, QStringLiteral("按“一键均衡”：各班人数、男女不变，各科平均分一次拉平。"),
            QRect(header.right() + 14, top, 215, 0), QPoint(balanceAll.center().x(), balanceAll.bottom() + 2)});
    DrawCallout(painter,
        {2, QStringLiteral("也可反复按“调整”；或勾选“手动调班”，选两个班和一个科目再按。"),
            QRect(header.right() + 245, top, 240, 0), QPoint(manual.center().x(), manual.bottom() + 2)});
    DrawCallout(painter,
        {3, QStringLiteral("“较正系数”配合“调整”使用。"), QRect(PictureWidth - 185, top, 175, 0),
            QPoint(coefficient.center().x(), coefficient.bottom() + 2)});
    const QString boys = labelText.section(QLatin1Char('('), 1).section(QLatin1Char('/'), 0, 0);
    const QString size = labelText.section(QLatin1Char('/'), 1).section(QLatin1Char(')'), 0, 0);
    DrawCallout(painter,
        {4, QStringLiteral("“%1”：3 班，男生 %2 人，全班 %3 人。").arg(labelText, boys, size),
            QRect(header.right() + 30, label.bottom() + 40, 320, 0), RightMiddle(label)});
    DrawCallout(painter,
        {5, QStringLiteral("底色：橙色高于年级平均，蓝色低于。最下一行是各科班级平均分的最大差。"),
            QRect(header.right() + 370, label.bottom() + 40, 290, 0), QPoint(gapRow.right() - 4, gapRow.center().y())});
    Frame(painter, picture.rect());
    return picture;
}

// The records of the first group of a rule column of that kind (equal
// texts), or of every student with a text in it for 固定.
std::vector<std::size_t> FirstGroup(const DivisionState& state, RuleColumnKind kind)
{
    const RosterRuleTexts& texts = state.RuleTexts;
    for (std::size_t c = 0; c < texts.columns.size(); ++c) {
        if (texts.columns[c].kind != kind)
            continue;
        const int column = static_cast<int>(c);
        std::string first;
        std::vector<std::size_t> group;
        for (std::size_t r = 0; r < state.Records.size(); ++r) {
            const std::string_view text = TrimRuleText(texts.text(r, column));
            if (text.empty() || (!first.empty() && kind != RuleColumnKind::Fixed && text != first))
                continue;
            first = std::string(text);
            group.push_back(r);
        }
        return group;
    }
    return {};
}

// The sample grade with rule columns after 编班 and 一键均衡, listed whole:
// name, gender, class, total and the rule columns of a few students (a
// together group, an apart group, the fixed students and two others).
QImage RulesPicture(const QString& rulesGrade)
{
    TForm1 window;
    window.setWindowState(Qt::WindowNoState);
    window.resize(PictureWidth, 600);
    window.show();
    SampleSession session(window);
    session.paste(ReadSampleGrade(rulesGrade));
    session.divide();
    session.balanceAll();
    session.listEveryone();
    session.showTab("TabSheet1");
    Settle();

    const DivisionState& state = window.state();
    std::vector<std::size_t> shown;
    for (const RuleColumnKind kind : {RuleColumnKind::Together, RuleColumnKind::Apart, RuleColumnKind::Fixed})
        for (const std::size_t r : FirstGroup(state, kind))
            shown.push_back(r);
    for (std::size_t r = 0, plain = 0; r < state.Records.size() && plain < 2; ++r)
        if (std::find(shown.begin(), shown.end(), r) == shown.end() && state.RuleTexts.cells[r].size() <= 2) {
            shown.push_back(r);
            ++plain;
        }

    auto* grid = session.control<QTableView>("StrGrid");
    for (int col = FirstRuleColumn; col < RosterColumns; ++col)
        grid->setColumnHidden(col - 1, true); // the subjects
    int height = grid->horizontalHeader()->height();
    for (std::size_t k = 0; k < state.FStudents.size(); ++k) {
        const auto record
            = static_cast<std::size_t>(std::find_if(state.Records.begin(), state.Records.end(), [&](const auto& owned) {
                  return owned.get() == state.FStudents[k];
              }) - state.Records.begin());
        const bool keep = std::find(shown.begin(), shown.end(), record) != shown.end();
        grid->setRowHidden(static_cast<int>(k), !keep);
        height += keep ? grid->rowHeight(static_cast<int>(k)) : 0;
    }
    Settle();
    int width = grid->verticalHeader()->width();
    for (int col = 0; col < grid->model()->columnCount(); ++col)
        width += grid->isColumnHidden(col) ? 0 : grid->columnWidth(col);
    QImage picture(width + 1, height + 1, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, grid->grab(QRect(0, 0, width, height)));
    Frame(painter, picture.rect());
    return picture;
}

bool Save(const QImage& picture, const QString& file)
{
    if (!picture.save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    std::printf("%s\n", qPrintable(file));
    return true;
}

} // namespace

int MakeHelpPictures(const QString& sampleGrade, const QString& rulesGrade, const QString& dir)
{
    // The same look on every machine: Fusion, and the CJK font the help uses.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setFont(CalloutFont(12));

    TForm1 window;
    window.setWindowState(Qt::WindowNoState);
    window.show();
    SampleSession session(window);
    const QString sample = ReadSampleGrade(sampleGrade);
    session.paste(sample);
    session.divide();
    session.listEveryone();

    const QImage roster = RosterPicture(session, sample);
    session.balanceAll();
    const QImage averages = AveragesPicture(session);
    QDir().mkpath(dir);
    const bool saved = Save(roster, QDir(dir).filePath(QStringLiteral("roster-steps.png")))
        && Save(averages, QDir(dir).filePath(QStringLiteral("averages-steps.png")))
        && Save(RulesPicture(rulesGrade), QDir(dir).filePath(QStringLiteral("rules-table.png")));
    return saved ? 0 : 1;
}

} // namespace fenban::shots
