// The balance report: the tab 均衡 beside 平均分, the 分数段 choice and the
// worst band figure under the balance strip, and the report in the exports.
#include "app/AsyncTask.h"
#include "app/BalanceOutput.h"
#include "app/HandlerGuard.h"
#include "app/Unit1.h"
#include "engine/BalanceReport.h"
#include "engine/Division.h"
#include "io/BalanceTable.h"
#include "io/OutputTables.h"
#include "ui_Unit1.h"
#include "views/BalanceCharts.h"
#include "views/BalancePage.h"

#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <algorithm>

using namespace fenban;

namespace {

// Runs `action` each time the watched widget becomes visible.
class OnShow final : public QObject {
public:
    OnShow(QWidget& watched, std::function<void()> action)
        : QObject(&watched)
        , action_(std::move(action))
    {
        watched.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show)
            action_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> action_;
};

// The report as BalanceReportOf makes it, of a copy of the division's state
// (on the worker), with the pictures' boxes.
ReportFigures MakeReportFigures(const DivisionState& state, int classCount, int bands,
    std::vector<std::string> subjectNames, const ClassGroups& groups)
{
    ReportFigures figures;
    figures.report = BalanceReportOf(state, classCount, bands, groups);
    figures.boxes = ClassScoreBoxes(state, figures.report.classCount);
    figures.subjectNames = std::move(subjectNames);
    return figures;
}

} // namespace

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
    // The report is made on a worker; its figures arrive by a queued call.
    reportTask_ = std::make_unique<AsyncTask<ReportFigures>>(
        this, [this](ReportFigures figures) { RunGuarded(this, [&] { ShowReportFigures(std::move(figures)); }); },
        [this](const std::exception_ptr& failure) { RunGuarded(this, [&] { std::rethrow_exception(failure); }); });
    // A report not wanted while nothing showed it is asked for when it shows.
    const auto whenShown = [this] {
        if (reportStale_ && BalanceReportShown())
            RequestBalanceReport();
    };
    new OnShow(*tabBalance, whenShown);
    new OnShow(*lblWorstBand, whenShown);
    // After every step and choice that changes what it counts, once the
    // window has shown what the step changed. Other choices leave it.
    work_.listen([this](const DivisionChange& change) {
        if (change.step != DivisionStep::Choice || change.choice == ChoiceKind::Bands)
            ShowBalanceReport();
    });
    ShowBalanceReport();
}

bool TForm1::BalanceReportShown() const
{
    return tabBalance->isVisible() || lblWorstBand->isVisible();
}

void TForm1::ShowBalanceReport()
{
    reportBands_ = division_.settings().rankBands;
    {
        const QSignalBlocker blocker(cmbBands);
        cmbBands->setCurrentIndex(cmbBands->findData(reportBands_));
    }
    const DivisionState& s = division_.state();
    bool listed = false; // a student in a class list: else there is nothing to report
    for (std::size_t c = 0; c < s.FClasses.size() && c < static_cast<std::size_t>(division_.classCount()); ++c)
        listed = listed || !s.FClasses[c].empty();
    reportTask_->drop(); // what was on its way counts the division as it was
    reportStale_ = listed;
    if (!listed) {
        lblWorstBand->clear();
        lblWorstBand->setToolTip(QString());
        tabBalance->clear();
        return;
    }
    // Never a figure of the division as it was: marked until the new one arrives.
    lblWorstBand->setText(QStringLiteral("计算中…"));
    lblWorstBand->setToolTip(QString());
    tabBalance->markPending();
    if (BalanceReportShown())
        RequestBalanceReport();
}

void TForm1::RequestBalanceReport()
{
    reportStale_ = false;
    // The worker reads a copy of its own: the division may change meanwhile.
    auto copy = std::make_shared<const DivisionState>(CopyOf(division_.state()));
    reportTask_->request([copy = std::move(copy), classCount = division_.classCount(), bands = reportBands_,
                             names = division_.settings().subjectNames, groups = ReportGroupsOf(division_)]() mutable {
        return MakeReportFigures(*copy, classCount, bands, std::move(names), groups);
    });
}

void TForm1::ShowReportFigures(ReportFigures figures)
{
    lblWorstBand->setText(QString::fromStdString(WorstBandText(figures.report)));
    // Each count out of bounds, named; the 均衡 tab lists them too.
    QStringList breaches;
    for (const BalanceReport::BandBreach& breach : figures.report.breaches)
        breaches << QString::fromStdString(BreachText(breach, division_.names()));
    lblWorstBand->setToolTip(breaches.join(QLatin1Char('\n')));
    tabBalance->showReport(
        figures.report, std::move(figures.boxes), std::move(figures.subjectNames), division_.names());
}

void TForm1::settleBalanceReport()
{
    if (reportStale_)
        RequestBalanceReport();
    reportTask_->settle();
}

namespace fenban {

std::vector<OutputPicture> BalanceOutputPictures(const Division& division)
{
    const BalanceReport report = BalanceReportOf(division);
    return BalancePictures(ClassScoreBoxes(division.state(), report.classCount), report,
        division.settings().subjectNames, division.names());
}

} // namespace fenban
