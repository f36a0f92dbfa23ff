#include "views/BalancePage.h"

#include "io/BalanceTable.h"
#include "views/StringGridModel.h"
#include "views/StringGridView.h"

#include <QChart>
#include <QChartView>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <set>
#include <utility>

namespace fenban {

namespace {

QChartView* NewChartView(QWidget* parent, const char* name)
{
    auto* view = new QChartView(parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(220);
    return view;
}

// The grid cells (col, row) of the counts out of bounds: the flags of each
// class row and the rank groups the report names; a band's own row below.
std::set<std::pair<int, int>> OutOfBounds(const BalanceReport& report, const OutputTable& table)
{
    const auto column = [&table](const char* header) {
        const auto at = std::find(table.header.begin(), table.header.end(), header);
        return static_cast<int>(at - table.header.begin());
    };
    std::set<std::pair<int, int>> cells;
    // Each class's grid row: after the header, in the table's order, a group's row after its classes.
    std::vector<int> rowOf(report.classes.size(), 0);
    int next = 1;
    for (const int c : BalanceTableClassOrder(report)) {
        rowOf[static_cast<std::size_t>(c)] = next++;
        for (const BalanceReport::Block& block : report.blocks)
            next += block.classes.back() == c ? 1 : 0;
    }
    for (std::size_t c = 0; c < report.classes.size(); ++c) {
        const BalanceReport::Row& row = report.classes[c];
        const int gridRow = rowOf[c];
        const auto mark = [&](bool out, const char* header) {
            if (out)
                cells.emplace(column(header), gridRow);
        };
        mark(row.deviationOut, "标准差");
        mark(row.topFivePercentOut, "前5%");
        mark(row.topTenPercentOut, "前10%");
        mark(row.bottomTenPercentOut, "后10%");
    }
    for (const BalanceReport::BandBreach& breach : report.breaches) {
        const int gridRow = rowOf[static_cast<std::size_t>(breach.classNo - 1)];
        if (breach.group.kind == RankGroup::Kind::TopN)
            cells.emplace(column("前N名"), gridRow);
        else if (breach.group.kind == RankGroup::Kind::Top2N)
            cells.emplace(column("前2N名"), gridRow);
    }
    // The rows naming a count out of bounds, below the band figure.
    for (std::size_t r = 0; r < table.rows.size(); ++r)
        if (!table.rows[r].empty() && table.rows[r][0] == OutputCell(std::string("超出范围")))
            for (int col = 1; col < static_cast<int>(table.rows[r].size()); ++col)
                cells.emplace(col, static_cast<int>(r) + 1);
    return cells;
}

// Roughly how wide a text is written: a character beyond ASCII (a Chinese
// one) counts twice.
std::size_t WrittenWidth(const std::string& utf8)
{
    std::size_t width = 0;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            width += 2;
        else if (byte >= 0xC0)
            width += 4;
    }
    return width;
}

// Each column as wide as its widest text: only the widest-looking cell of
// each column is measured (the view's own fitting lays out every cell).
void FitColumns(QTableView& view, const CellGrid& cells)
{
    const QFontMetrics metrics(view.font());
    const int margin = 2 * (view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1) + 2;
    for (int col = 1; col < cells.colCount(); ++col) {
        const std::string* widest = nullptr;
        std::size_t widestWidth = 0;
        for (int row = 1; row < cells.rowCount(); ++row) {
            const std::string& text = cells.cell(col, row);
            const std::size_t width = WrittenWidth(text);
            if (widest == nullptr || width > widestWidth) {
                widest = &text;
                widestWidth = width;
            }
        }
        int width = view.horizontalHeader()->sectionSizeHint(col - 1);
        if (widest != nullptr)
            width = std::max(width, metrics.horizontalAdvance(QString::fromStdString(*widest)) + margin);
        view.setColumnWidth(col - 1, width);
    }
}

// The view takes the chart; the one it showed is no longer its own.
void ShowChart(QChartView& view, std::unique_ptr<QChart> chart)
{
    const std::unique_ptr<QChart> previous(view.chart());
    view.setChart(chart.release());
}

} // namespace

QColor OutOfBoundsTint()
{
    return QColor(0xD0, 0x40, 0x40, 80);
}

BalancePage::BalancePage(QWidget* parent)
    : QWidget(parent)
{
    pending_ = new QLabel(QStringLiteral("计算中…"), this);
    pending_->setObjectName(QStringLiteral("lblReportPending"));
    pending_->hide();
    auto* splitter = new QSplitter(Qt::Vertical, this);
    figures_ = splitter;
    view_ = new StringGridView(splitter);
    view_->setObjectName(QStringLiteral("gdBalanceReport"));
    grid_ = new StringGridModel(1, 1, this);
    grid_->setRightAligned(true);
    view_->setGridModel(grid_);
    auto* charts = new QWidget(splitter);
    auto* chartsLayout = new QHBoxLayout(charts);
    chartsLayout->setContentsMargins(0, 0, 0, 0);
    scores_ = NewChartView(charts, "chtScores");
    gaps_ = NewChartView(charts, "chtGaps");
    chartsLayout->addWidget(scores_, 3);
    chartsLayout->addWidget(gaps_, 2);
    splitter->addWidget(view_);
    splitter->addWidget(charts);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(pending_);
    layout->addWidget(splitter);
}

void BalancePage::showReport(const BalanceReport& report, std::vector<ScoreBox> boxes,
    std::vector<std::string> subjectNames, const ClassSetup& names)
{
    const OutputTable table = BalanceTable(report, subjectNames, names);
    int cols = static_cast<int>(table.header.size());
    for (const auto& row : table.rows)
        cols = std::max(cols, static_cast<int>(row.size()));
    grid_->setColCount(cols);
    grid_->setRowCount(static_cast<int>(table.rows.size()) + 1);
    grid_->updateCells([&table](CellGrid& cells) {
        cells.clearCells();
        for (std::size_t c = 0; c < table.header.size(); ++c)
            cells.setCell(static_cast<int>(c), 0, table.header[c]);
        for (std::size_t r = 0; r < table.rows.size(); ++r)
            for (std::size_t c = 0; c < table.rows[r].size(); ++c)
                cells.setCell(static_cast<int>(c), static_cast<int>(r) + 1, CellText(table.rows[r][c]));
    });
    grid_->setBackgrounds([out = OutOfBounds(report, table)](int col, int row) {
        return out.count({col, row}) != 0 ? OutOfBoundsTint() : QColor();
    });
    FitColumns(*view_, grid_->grid());
    report_ = report;
    boxes_ = std::move(boxes);
    subjectNames_ = std::move(subjectNames);
    names_ = names;
    setPending(false);
    chartsStale_ = true;
    if (isVisible())
        drawCharts();
}

void BalancePage::clear()
{
    grid_->setColCount(1);
    grid_->setRowCount(1);
    grid_->updateCells([](CellGrid& cells) { cells.clearCells(); });
    grid_->setBackgrounds({});
    report_ = {};
    boxes_.clear();
    chartsStale_ = false;
    setPending(false);
    for (QChartView* view : {scores_, gaps_})
        ShowChart(*view, std::make_unique<QChart>());
}

void BalancePage::markPending()
{
    setPending(true);
}

bool BalancePage::pending() const
{
    return !pending_->isHidden();
}

void BalancePage::setPending(bool pending)
{
    pending_->setHidden(!pending);
    figures_->setEnabled(!pending);
}

void BalancePage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (chartsStale_)
        drawCharts();
}

void BalancePage::drawCharts()
{
    chartsStale_ = false;
    ShowChart(*scores_, ScoreBoxChart(boxes_, report_.grade.mean, names_));
    ShowChart(*gaps_, GapBarChart(report_, subjectNames_));
}

} // namespace fenban
