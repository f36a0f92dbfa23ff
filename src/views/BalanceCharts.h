#pragma once

#include "engine/BalanceReport.h"
#include "engine/ClassSetup.h"
#include "io/OutputTables.h"

#include <memory>
#include <string>
#include <vector>

class QChart;
class QPainter;
class QRectF;

namespace fenban {

// The spread of one class's 总分: lowest, quartiles (linear between ranks), median, highest.
struct ScoreBox {
    double low = 0, lowerQuartile = 0, median = 0, upperQuartile = 0, high = 0;
};

// One box per class list 1..classCount (a class without students: all 0).
std::vector<ScoreBox> ClassScoreBoxes(const DivisionState& state, int classCount);

// Per class a box of 总分, named by the class set-up ("1班" … "N班" without
// one), the grade's mean as a line across.
std::unique_ptr<QChart> ScoreBoxChart(
    const std::vector<ScoreBox>& boxes, double gradeMean, const ClassSetup& names = {});

// Per score column in use the gap between the highest and the lowest class
// average (BalanceReport::columnGap), as bars named by the subjects.
std::unique_ptr<QChart> GapBarChart(const BalanceReport& report, const std::vector<std::string>& subjectNames);

// Paints the chart into a box of the painter, off-screen: no view needs to be
// shown. Laid out at a screen's size and scaled into the box.
void PaintChart(QChart& chart, QPainter& painter, const QRectF& box);

// Both charts as pictures printed below the balance report's table.
std::vector<OutputPicture> BalancePictures(std::vector<ScoreBox> boxes, const BalanceReport& report,
    const std::vector<std::string>& subjectNames, const ClassSetup& names = {});

} // namespace fenban
