// The balance report: the tab 均衡 beside 平均分, the 分数段 choice and the
// worst band figure under the balance strip, and the report in the exports.
#include "app/BalanceOutput.h"
#include "app/HandlerGuard.h"
#include "app/Unit1.h"
#include "engine/BalanceReport.h"
#include "io/BalanceTable.h"
#include "io/OutputTables.h"
#include "ui_Unit1.h"
#include "views/BalanceCharts.h"
#include "views/BalancePage.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

using namespace fenban;

void TForm1::CreateBalanceControls()
{
    // A second line of the balance strip, right under it: the strip is full
    // at the window's normal size.
    auto* strip = new QFrame(ui->TabSheet2);
    strip->setObjectName(QStringLiteral("pnlBands"));
    strip->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(ui->pnlBalanceLayout->contentsMargins());
    row->setSpacing(ui->pnlBalanceLayout->spacing());
    auto* label = new QLabel(QStringLiteral("分数段："), strip);
    label->setObjectName(QStringLiteral("lblBands"));
    cmbBands = new QComboBox(strip);
    cmbBands->setObjectName(QStringLiteral("cmbBands"));
    cmbBands->setToolTip(QStringLiteral("一键均衡时，男女生各按总分名次分成这么多段，每段在各班的人数保持均匀"));
    for (const int bands : RankBandChoices)
        cmbBands->addItem(bands == 0 ? QStringLiteral("不分") : QString::number(bands), bands);
    int widest = 0; // room for the widest choice beside the arrow, in any font
    for (int i = 0; i < cmbBands->count(); ++i)
        widest = std::max(widest, cmbBands->fontMetrics().horizontalAdvance(cmbBands->itemText(i)));
    cmbBands->setMinimumWidth(widest + 40);
    label->setBuddy(cmbBands);
    lblWorstBand = new QLabel(strip);
    lblWorstBand->setObjectName(QStringLiteral("lblWorstBand"));
    row->addWidget(label);
    row->addWidget(cmbBands);
    // The rest of the line: a long figure (with counts out of bounds) must not widen the window.
    lblWorstBand->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(lblWorstBand, 1);
    ui->averagesLayout->insertWidget(ui->averagesLayout->indexOf(ui->pnlBalance) + 1, strip);
    setTabOrder(ui->chkSoundAlike, cmbBands); // the keyboard reaches it after the strip's controls

    tabBalance = new BalancePage(ui->PageControl1);
    tabBalance->setObjectName(QStringLiteral("tabBalance"));
    ui->PageControl1->insertTab(ui->PageControl1->indexOf(ui->TabSheet2) + 1, tabBalance, QStringLiteral("均衡"));

    // A choice, no step: the document keeps it, the report is redrawn by its
    // notice; the input fingerprint names the bands.
    connect(cmbBands, &QComboBox::currentIndexChanged, this, [this](int index) {
        RunGuarded(this, [&] {
            work_.setRankBands(cmbBands->itemData(index).toInt());
            ShowFingerprints();
        });
    });
    // After every step and the choice of bands, once the window has shown what the step changed.
    work_.listen([this](const DivisionChange& change) {
        if (change.step != DivisionStep::Choice || change.choice == ChoiceKind::Bands)
            ShowBalanceReport();
    });
    ShowBalanceReport();
}

void TForm1::ShowBalanceReport()
{
    {
        const QSignalBlocker blocker(cmbBands);
        cmbBands->setCurrentIndex(cmbBands->findData(division_.settings().rankBands));
    }
    const BalanceReport report = BalanceReportOf(division_);
    if (report.grade.size == 0) { // no student in a class list yet
        lblWorstBand->clear();
        tabBalance->clear();
        return;
    }
    lblWorstBand->setText(QString::fromStdString(WorstBandText(report)));
    // Each count out of bounds, named; the 均衡 tab lists them too.
    QStringList breaches;
    for (const BalanceReport::BandBreach& breach : report.breaches)
        breaches << QString::fromStdString(BreachText(breach));
    lblWorstBand->setToolTip(breaches.join(QLatin1Char('\n')));
    tabBalance->showReport(
        report, ClassScoreBoxes(division_.state(), report.classCount), division_.settings().subjectNames);
}

namespace fenban {

std::vector<OutputPicture> BalanceOutputPictures(const Division& division)
{
    const BalanceReport report = BalanceReportOf(division);
    return BalancePictures(
        ClassScoreBoxes(division.state(), report.classCount), report, division.settings().subjectNames);
}

} // namespace fenban
