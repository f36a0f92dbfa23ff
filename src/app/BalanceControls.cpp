// The balance report: the tab 均衡 beside 平均分, the 分数段 choice and the
// worst band figure of the balance strip, and the report in the exports.
#include "app/HandlerGuard.h"
#include "app/Unit1.h"
#include "engine/BalanceReport.h"
#include "io/BalanceTable.h"
#include "io/OutputTables.h"
#include "ui_Unit1.h"
#include "views/BalanceCharts.h"
#include "views/BalancePage.h"

#include <QComboBox>
#include <QLabel>

using namespace fenban;

namespace {

BalanceReport ReportOf(const Division& division)
{
    return MakeBalanceReport(division.state(), division.classCount(), division.settings().rankBands);
}

} // namespace

void TForm1::CreateBalanceControls()
{
    QHBoxLayout* const strip = ui->pnlBalanceLayout;
    auto* label = new QLabel(QStringLiteral("分数段："), ui->pnlBalance);
    label->setObjectName(QStringLiteral("lblBands"));
    cmbBands = new QComboBox(ui->pnlBalance);
    cmbBands->setObjectName(QStringLiteral("cmbBands"));
    cmbBands->setToolTip(QStringLiteral("一键均衡时，男女生各按总分名次分成这么多段，每段在各班的人数保持均匀"));
    for (const int bands : RankBandChoices)
        cmbBands->addItem(bands == 0 ? QStringLiteral("不分") : QString::number(bands), bands);
    label->setBuddy(cmbBands);
    const int after = strip->indexOf(ui->chkSoundAlike) + 1;
    strip->insertWidget(after, label);
    strip->insertWidget(after + 1, cmbBands);
    lblWorstBand = new QLabel(ui->pnlBalance);
    lblWorstBand->setObjectName(QStringLiteral("lblWorstBand"));
    strip->insertWidget(strip->indexOf(ui->lblBrokenRules) + 1, lblWorstBand);

    tabBalance = new BalancePage(ui->PageControl1);
    tabBalance->setObjectName(QStringLiteral("tabBalance"));
    ui->PageControl1->insertTab(ui->PageControl1->indexOf(ui->TabSheet2) + 1, tabBalance, QStringLiteral("均衡"));

    // A choice, no step: the document keeps it, the report is redrawn by its notice.
    connect(cmbBands, &QComboBox::currentIndexChanged, this,
        [this](int index) { RunGuarded(this, [&] { division_.setRankBands(cmbBands->itemData(index).toInt()); }); });
    // After every step and choice, once the window has shown what the step changed.
    division_.listen([this](const DivisionChange&) { ShowBalanceReport(); });
    ShowBalanceReport();
}

void TForm1::ShowBalanceReport()
{
    {
        const QSignalBlocker blocker(cmbBands);
        cmbBands->setCurrentIndex(cmbBands->findData(division_.settings().rankBands));
    }
    const BalanceReport report = ReportOf(division_);
    if (report.grade.size == 0) { // no student in a class list yet
        lblWorstBand->clear();
        tabBalance->clear();
        return;
    }
    lblWorstBand->setText(QString::fromStdString(WorstBandText(report)));
    tabBalance->showReport(
        report, ClassScoreBoxes(division_.state(), report.classCount), division_.settings().subjectNames);
}

std::vector<OutputTable> TForm1::WorkbookSheets() const
{
    const std::vector<std::string>& names = division_.settings().subjectNames;
    std::vector<OutputTable> sheets = WorkbookTables(MakeDivisionTables(division_.state(), names));
    sheets.push_back(BalanceTable(ReportOf(division_), names));
    return sheets;
}

std::vector<OutputTable> TForm1::PrintedPages(TablePictures& pictures) const
{
    const std::vector<std::string>& names = division_.settings().subjectNames;
    std::vector<OutputTable> pages = PrintedTables(MakeDivisionTables(division_.state(), names));
    const BalanceReport report = ReportOf(division_);
    pages.push_back(BalanceTable(report, names));
    pictures.resize(pages.size());
    pictures.back() = BalancePictures(ClassScoreBoxes(division_.state(), report.classCount), report, names);
    return pages;
}
