#include "views/BalanceCharts.h"

#include "io/BalanceTable.h"
#include "io/ClassListPrint.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBoxPlotSeries>
#include <QBoxSet>
#include <QChart>
#include <QGraphicsScene>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <array>

namespace fenban {

namespace {

// The value at share p (0..1) of the sorted values, linear between neighbours.
double At(const std::vector<double>& sorted, double p)
{
    const double position = p * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (position - static_cast<double>(below));
}

// Charts in the fonts of the printed lists, without animation or margins to spare.
std::unique_ptr<QChart> NewChart()
{
    auto chart = std::make_unique<QChart>();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setFont(ClassListFont(9, false));
    chart->setTitleFont(ClassListFont(10, true));
    chart->legend()->setFont(ClassListFont(9, false));
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setBackgroundRoundness(0);
    return chart;
}

QValueAxis* ValueAxis(QChart& chart, double low, double high)
{
    auto* axis = new QValueAxis(&chart);
    axis->setLabelsFont(ClassListFont(8, false));
    axis->setRange(low, high);
    axis->applyNiceNumbers();
    chart.addAxis(axis, Qt::AlignLeft);
    return axis;
}

QBarCategoryAxis* CategoryAxis(QChart& chart, const QStringList& categories)
{
    auto* axis = new QBarCategoryAxis(&chart);
    axis->setLabelsFont(ClassListFont(8, false));
    axis->append(categories);
    chart.addAxis(axis, Qt::AlignBottom);
    return axis;
}

} // namespace

std::vector<ScoreBox> ClassScoreBoxes(const DivisionState& state, int classCount)
{
    std::vector<ScoreBox> boxes;
    for (int c = 0; c < classCount && static_cast<std::size_t>(c) < state.FClasses.size(); ++c) {
        std::vector<double> scores;
        for (const TStudent* s : state.FClasses[static_cast<std::size_t>(c)])
            scores.push_back(static_cast<double>(s->Scores[0]));
        ScoreBox& box = boxes.emplace_back();
        if (scores.empty())
            continue;
        std::sort(scores.begin(), scores.end());
        box = {scores.front(), At(scores, 0.25), At(scores, 0.5), At(scores, 0.75), scores.back()};
    }
    return boxes;
}

std::unique_ptr<QChart> ScoreBoxChart(const std::vector<ScoreBox>& boxes, double gradeMean, const ClassSetup& names)
{
    std::unique_ptr<QChart> chart = NewChart();
    auto* series = new QBoxPlotSeries(chart.get());
    series->setName(QStringLiteral("各班总分"));
    QStringList classes;
    bool wide = false;
    double low = gradeMean, high = gradeMean;
    for (std::size_t c = 0; c < boxes.size(); ++c) {
        const ScoreBox& b = boxes[c];
        const int classNo = static_cast<int>(c) + 1;
        const std::string plain = std::to_string(classNo) + "班";
        classes << QString::fromStdString(ClassNameOr(names, classNo, plain));
        wide = wide || (classes.back().toStdString() != plain && classes.back().size() > 3);
        series->append(new QBoxSet(b.low, b.lowerQuartile, b.median, b.upperQuartile, b.high, classes.back()));
        low = std::min(low, b.low);
        high = std::max(high, b.high);
    }
    auto* mean = new QLineSeries(chart.get());
    mean->setName(QStringLiteral("年级平均 %1").arg(gradeMean, 0, 'f', 2));
    mean->append(-0.5, gradeMean);
    mean->append(static_cast<double>(boxes.size()) - 0.5, gradeMean);
    mean->setPen(QPen(QColor(0xC0, 0x30, 0x30), 2, Qt::DashLine));
    chart->addSeries(series);
    chart->addSeries(mean);
    QBarCategoryAxis* x = CategoryAxis(*chart, classes);
    // Set-up names such as 高一(10)班 are wider than a box: upright, they stay whole.
    if (wide)
        x->setLabelsAngle(-90);
    QValueAxis* y = ValueAxis(*chart, low, high);
    series->attachAxis(x);
    series->attachAxis(y);
    mean->attachAxis(x);
    mean->attachAxis(y);
    chart->legend()->setAlignment(Qt::AlignTop);
    return chart;
}

std::unique_ptr<QChart> GapBarChart(const BalanceReport& report, const std::vector<std::string>& subjectNames)
{
    std::unique_ptr<QChart> chart = NewChart();
    // With a class set-up the classes of one kind are compared among themselves:
    // the largest gap within a kind.
    std::array<double, 11> columnGap = report.columnGap;
    if (!report.blocks.empty()) {
        columnGap.fill(0);
        for (const BalanceReport::Block& block : report.blocks)
            for (std::size_t k = 0; k < columnGap.size(); ++k)
                columnGap[k] = std::max(columnGap[k], block.columnGap[k]);
    }
    auto* gaps = new QBarSet(report.blocks.empty() ? QStringLiteral("最高与最低班级平均分之差")
                                                   : QStringLiteral("同类班级中最高与最低平均分之差"));
    QStringList subjects;
    double high = 0;
    for (int k = 0; k < static_cast<int>(report.columnUsed.size()); ++k) {
        if (!report.columnUsed[static_cast<std::size_t>(k)])
            continue;
        subjects << QString::fromStdString(SubjectName(subjectNames, k));
        *gaps << columnGap[static_cast<std::size_t>(k)];
        high = std::max(high, columnGap[static_cast<std::size_t>(k)]);
    }
    gaps->setColor(QColor(0x2F, 0x7F, 0xD0));
    auto* series = new QBarSeries(chart.get());
    series->append(gaps);
    chart->addSeries(series);
    QBarCategoryAxis* x = CategoryAxis(*chart, subjects);
    QValueAxis* y = ValueAxis(*chart, 0, high > 0 ? high : 1);
    series->attachAxis(x);
    series->attachAxis(y);
    chart->legend()->setAlignment(Qt::AlignTop);
    return chart;
}

void PaintChart(QChart& chart, QPainter& painter, const QRectF& box)
{
    // The scene owns what it holds: the chart is taken out again before it ends.
    QGraphicsScene scene;
    const QSizeF size(900, 900 * box.height() / box.width());
    scene.addItem(&chart);
    chart.setGeometry(QRectF(QPointF(0, 0), size));
    scene.setSceneRect(chart.geometry());
    scene.render(&painter, box, scene.sceneRect());
    scene.removeItem(&chart);
}

std::vector<OutputPicture> BalancePictures(std::vector<ScoreBox> boxes, const BalanceReport& report,
    const std::vector<std::string>& subjectNames, const ClassSetup& names)
{
    std::vector<OutputPicture> pictures;
    pictures.push_back({"各班总分分布（箱线图，虚线为年级平均）", 0.34,
        [boxes = std::move(boxes), mean = report.grade.mean, names](
            QPainter& painter, const QRectF& box) { PaintChart(*ScoreBoxChart(boxes, mean, names), painter, box); }});
    pictures.push_back({"各科班级平均分最大差", 0.26, [report, subjectNames](QPainter& painter, const QRectF& box) {
                            PaintChart(*GapBarChart(report, subjectNames), painter, box);
                        }});
    return pictures;
}

} // namespace fenban
