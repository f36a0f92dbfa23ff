#pragma once

#include "engine/BalanceReport.h"
#include "engine/ClassSetup.h"
#include "views/BalanceCharts.h"

#include <QWidget>
#include <string>
#include <vector>

class QChartView;
class QLabel;

namespace fenban {

class StringGridModel;
class StringGridView;

// What the balance tab and the band figure show, made together off the GUI
// thread from an unchanging copy of the division.
struct ReportFigures {
    BalanceReport report;
    std::vector<ScoreBox> boxes;
    std::vector<std::string> subjectNames; // UTF-8, the total first
};

// The balance tab (均衡): the report as the workbook's sheet 均衡 has it in
// the grid gdBalanceReport, counts out of bounds tinted; beside it a box plot
// of 总分 per class (chtScores) and the gap per subject (chtGaps). The
// pictures are drawn when the page is shown.
class BalancePage final : public QWidget {
    Q_OBJECT

public:
    explicit BalancePage(QWidget* parent = nullptr);

    // The division's report; subjectNames UTF-8, the total first.
    void showReport(const BalanceReport& report, std::vector<ScoreBox> boxes, std::vector<std::string> subjectNames,
        const ClassSetup& names = {});
    // No division: an empty page.
    void clear();
    // The figures shown are no longer those of the division: 计算中… over
    // them, greyed, until the next showReport or clear.
    void markPending();
    bool pending() const;

    const StringGridModel& grid() const { return *grid_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void drawCharts();
    void setPending(bool pending);

    QLabel* pending_ = nullptr;
    QWidget* figures_ = nullptr;
    StringGridModel* grid_ = nullptr;
    StringGridView* view_ = nullptr;
    QChartView* scores_ = nullptr;
    QChartView* gaps_ = nullptr;
    BalanceReport report_;
    std::vector<ScoreBox> boxes_;
    std::vector<std::string> subjectNames_;
    ClassSetup names_; // the class set-up naming the boxes
    bool chartsStale_ = false;
};

// The tint of a report cell out of bounds.
QColor OutOfBoundsTint();

} // namespace fenban
