// 班级设置: the menu item, its dialog and what the window shows of the set-up.
#include "app/ClassSetupDialog.h"
#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "app/Unit1.h"
#include "document/AfterChanges.h"
#include "roster/Gb18030.h"
#include "ui_Unit1.h"

#include <QBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

using namespace fenban;

namespace {

// How many students out of their group the label names before "等".
constexpr std::size_t OutOfGroupNamed = 3;

} // namespace

void TForm1::CreateClassSetupActions()
{
    QMenu* const menu = menuBar()->addMenu(QStringLiteral("分班(&D)"));
    menu->setObjectName(QStringLiteral("mnuDivision"));
    AddMenuAction(menu, "actClassSetup", QStringLiteral("班级设置…"), &TForm1::actClassSetupExecute);

    // Beside the broken-rules figure of the balance strip.
    lblClassSetupState = new QLabel(this);
    lblClassSetupState->setObjectName(QStringLiteral("lblClassSetupState"));
    lblClassSetupState->setStyleSheet(QStringLiteral("QLabel { color: #a04a00; }"));
    lblClassSetupState->hide();
    QWidget* const strip = ui->lblBrokenRules->parentWidget();
    auto* const layout = strip != nullptr ? qobject_cast<QBoxLayout*>(strip->layout()) : nullptr;
    const int at = layout != nullptr ? layout->indexOf(ui->lblBrokenRules) : -1;
    if (at >= 0)
        layout->insertWidget(at + 1, lblClassSetupState);
    else
        statusBar()->addWidget(lblClassSetupState);
}

void TForm1::actClassSetupExecute()
{
    std::vector<std::string> columns;
    const DivisionState& state = division_.state();
    for (const std::string& header : state.ExtraTexts.headers)
        columns.push_back(header);
    for (const RuleColumn& column : state.RuleTexts.columns)
        columns.push_back(column.header);
    ClassSetupDialog dialog(this, division_.settings().setup, division_.classCount(), columns);
    if (CurrentDialogs().runDialog(dialog) != QDialog::Accepted)
        return;
    work_.setClassSetup(dialog.setup());
    if (const std::string pause = division_.setupPause(); !pause.empty())
        CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(), QString::fromStdString(pause));
}

void TForm1::ShowClassSetupState()
{
    if (lblClassSetupState == nullptr)
        return;
    QString text;
    QString details;
    if (const std::string pause = division_.setupPause(); !pause.empty()) {
        text = QStringLiteral("班级设置暂不使用");
        details = QString::fromStdString(pause);
    } else if (!division_.activeSetup().empty() && division_.hasRoster()) {
        const DivisionState& state = division_.state();
        try {
            // The groups 编班 dealt, late students' by their column (as changes keep them).
            const ChangeGroups groups = SetupGroupsOf(division_);
            const std::vector<int> classes = ClassesOfRecords(state);
            std::vector<int> out;
            for (std::size_t i = 0; i < classes.size() && i < groups.groupOfRecord.size(); ++i)
                if (classes[i] > 0 && groups.groupOfRecord[i] >= 0
                    && groups.groupOfClass[static_cast<std::size_t>(classes[i] - 1)] != groups.groupOfRecord[i])
                    out.push_back(static_cast<int>(i));
            if (!out.empty()) {
                QStringList names;
                QStringList lines;
                for (const int i : out) {
                    const auto at = static_cast<std::size_t>(i);
                    const QString name = QString::fromStdString(Gb18030ToUtf8(state.Records[at]->Name));
                    if (static_cast<std::size_t>(names.size()) < OutOfGroupNamed)
                        names << name;
                    const auto group = static_cast<std::size_t>(groups.groupOfRecord[at]);
                    lines << QStringLiteral("第 %1 行 %2：属%3，在%4")
                                 .arg(i + 2)
                                 .arg(name, QString::fromStdString(groups.names[group]),
                                     QString::fromStdString(
                                         division_.className(classes[at], std::to_string(classes[at]) + "班")));
                }
                text = QStringLiteral("不在本类班级：%1%2")
                           .arg(names.join(QStringLiteral("、")),
                               out.size() > OutOfGroupNamed ? QStringLiteral(" 等 %1 人").arg(out.size()) : QString());
                details = lines.join(QLatin1Char('\n'));
            }
        } catch (const ClassSetupError& problem) { // sizes the grade does not fit: told at 编班
            text = QStringLiteral("班级设置有误");
            details = QString::fromUtf8(problem.what());
        }
    }
    lblClassSetupState->setText(text);
    lblClassSetupState->setToolTip(details);
    lblClassSetupState->setVisible(!text.isEmpty());
}
