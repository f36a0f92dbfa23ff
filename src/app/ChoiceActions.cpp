// 选科分班: the plan of classes by elective subjects (dlgChoicePlan) and the
// division within it, run off the GUI thread under the progress dialog.
#include "app/ActionHelpers.h"
#include "app/ChoicePlanDialog.h"
#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "app/Unit1.h"
#include "audit/PublicSeed.h"
#include "choice/DivideWithinPlan.h"
#include "document/Workbench.h"
#include "rules/RuleBuilder.h"

#include <QMenuBar>

using namespace fenban;

void TForm1::CreateChoiceActions()
{
    QMenu* const menu = menuBar()->addMenu(QStringLiteral("选科(&X)"));
    menu->setObjectName(QStringLiteral("mnuChoice"));
    AddMenuAction(menu, "actChoicePlan", QStringLiteral("选科分班…"), &TForm1::actChoicePlanExecute);
}

void TForm1::actChoicePlanExecute()
{
    if (!division_.hasRoster()) {
        CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(), QStringLiteral("请先读入数据。"));
        return;
    }
    // The spreadsheet's rows when the table came from one sheet; else as the table stands.
    const std::vector<int> rows
        = importRows_.size() == division_.state().Records.size() ? importRows_ : std::vector<int>();
    try {
        work_.readChoices(std::nullopt, rows); // a table without choices is told before the dialog
    } catch (const ChoiceInputError& problem) {
        CurrentDialogs().showMessage(this, QMessageBox::Warning, ProductName(), QString::fromUtf8(problem.what()));
        return;
    }
    ChoicePlanDialog dialog(
        this, [this, rows](std::optional<ChoiceModel> model) { return work_.readChoices(model, rows); });
    dialog.makePlan(); // the proposal at the defaults, shown at once
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted || !dialog.hasPlan())
        return;
    work_.acceptChoicePlan(dialog.plan(), dialog.edits());
    ChoiceDivisionRequest request;
    DividedByChoice divided;
    bool ended = false;
    if (!TookInput(this,
            [&] {
                request = work_.prepareChoiceDivision(dialog.choices(), dialog.plan(), std::string(DefaultSeedText));
                ended = RunWithProgress(
                    [&](const OptimiseControl& control) { divided = RunChoiceDivision(request, control); });
            })
        || !ended || divided.cancelled)
        return; // stopped: nothing changes
    work_.finishChoiceDivision(request, std::move(divided.state), std::move(divided.division));
    const PlanDivision& kept = *division_.choiceDivision();
    QString text = QStringLiteral("选科分班完成：%1 个班，%2 个教学班，走班 %3 人次。")
                       .arg(kept.plan.classCount())
                       .arg(kept.teaching.size())
                       .arg(kept.plan.walkingPairs());
    if (!dialog.choices().invalid.empty())
        text += QStringLiteral("\n%1 名学生的选科有误，未分班（见“选科分班…”中的名单）。")
                    .arg(dialog.choices().invalid.size());
    CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(), text);
}
