// Keeping the work: the 文件 and 编辑 menus' division file and undo items,
// the steps, the close question, what a paste read, and the recovery bar.
#include "app/SessionActions.h"

#include "app/Dialogs.h"
#include "app/HandlerGuard.h"
#include "app/Product.h"
#include "app/Unit1.h"
#include "roster/NumberText.h"
#include "roster/RosterSummary.h"
#include "session/DivisionFile.h"
#include "session/RecoveryFile.h"
#include "session/Session.h"
#include "ui_Unit1.h"
#include "views/ClassViews.h"
#include "views/StringGridModel.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <exception>

using namespace fenban;

namespace fenban {

namespace {

QString ChosenRecoveryFolder;

} // namespace

QString RecoveryFolder()
{
    if (!ChosenRecoveryFolder.isEmpty())
        return ChosenRecoveryFolder;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

void SetRecoveryFolder(const QString& folder)
{
    ChosenRecoveryFolder = folder;
}

QString DivisionFileFilter()
{
    return QStringLiteral("分班文件 (*.fenban)");
}

} // namespace fenban

namespace {

std::filesystem::path PathOf(const QString& fileName)
{
    return std::filesystem::path(fileName.toStdU16String());
}

QString FileNameOf(const std::filesystem::path& path)
{
    return QString::fromStdU16String(path.u16string());
}

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// The menu of that objectName in the bar, made when there is none yet.
QMenu* MenuNamed(QMenuBar* bar, const QString& name, const QString& title)
{
    if (auto* menu = bar->findChild<QMenu*>(name, Qt::FindDirectChildrenOnly))
        return menu;
    QMenu* menu = bar->addMenu(title);
    menu->setObjectName(name);
    return menu;
}

QToolBar* ToolBarNamed(QMainWindow* window, const QString& name, const QString& title)
{
    if (auto* bar = window->findChild<QToolBar*>(name, Qt::FindDirectChildrenOnly))
        return bar;
    QToolBar* bar = window->addToolBar(title);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return bar;
}

QAction* MakeAction(QMainWindow* window, const char* name, const QString& text, const QString& themeIcon,
    QStyle::StandardPixmap fallback, const QList<QKeySequence>& keys)
{
    auto* action = new QAction(QIcon::fromTheme(themeIcon, window->style()->standardIcon(fallback)), text, window);
    action->setObjectName(QLatin1String(name));
    action->setShortcuts(keys);
    return action;
}

// Draws the packed cells into a grid: its counts, every text.
void ShowPacked(StringGridModel& grid, const PackedGrid& packed)
{
    grid.setColCount(packed.colCount());
    grid.setRowCount(packed.rowCount());
    grid.updateCells([&packed](CellGrid& cells) {
        cells.clearCells();
        packed.forEachRow([&cells](int row, const std::vector<std::string_view>& texts) {
            for (std::size_t col = 0; col < texts.size(); ++col)
                if (!texts[col].empty())
                    cells.setCell(static_cast<int>(col), row, std::string(texts[col]));
        });
    });
}

// Puts the bar above what the tab's box layout holds.
void PutOnTop(QWidget* tab, QWidget* bar)
{
    auto* box = qobject_cast<QBoxLayout*>(tab->layout());
    auto row = std::make_unique<QBoxLayout>(box->direction());
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(box->spacing());
    while (box->count() > 0) {
        const int stretch = box->stretch(0);
        row->addItem(box->takeAt(0));
        row->setStretch(row->count() - 1, stretch);
    }
    box->setDirection(QBoxLayout::TopToBottom);
    box->addWidget(bar);
    box->addLayout(row.release(), 1);
}

// Where the file dialogs start before the work belongs to a file.
QString DocumentsFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents).exists() ? documents : QDir::homePath();
}

// "6月11日 16:30", local time, of a recovery file's UTC time stamp.
QString WrittenText(const std::string& written)
{
    const QDateTime time = QDateTime::fromString(Text(written), Qt::ISODateWithMs);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("M月d日 HH:mm")) : QString();
}

} // namespace

void TForm1::CreateSessionActions()
{
    // The 文件 menu and the toolbar are made with the open and export actions.
    QMenu* fileMenu = MenuNamed(menuBar(), QStringLiteral("mnuFile"), QStringLiteral("文件(&F)"));
    QMenu* editMenu = MenuNamed(menuBar(), QStringLiteral("menuEdit"), QStringLiteral("编辑(&E)"));
    QToolBar* toolBar = ToolBarNamed(this, QStringLiteral("tbrMain"), QStringLiteral("常用"));

    QAction* actSave = MakeAction(this, "actSave", QStringLiteral("保存分班"), QStringLiteral("document-save"),
        QStyle::SP_DialogSaveButton, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    QAction* actSaveAs = MakeAction(this, "actSaveAs", QStringLiteral("另存为…"), QStringLiteral("document-save-as"),
        QStyle::SP_DialogSaveButton, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)});
    actUndo = MakeAction(this, "actUndo", QStringLiteral("撤销"), QStringLiteral("edit-undo"), QStyle::SP_ArrowBack,
        {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    actRedo = MakeAction(this, "actRedo", QStringLiteral("重做"), QStringLiteral("edit-redo"), QStyle::SP_ArrowForward,
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    // Saving stands right after 打开 in the menu and on the toolbar.
    const auto afterOpen = [](QWidget* holder) -> QAction* {
        const QList<QAction*> actions = holder->actions();
        for (qsizetype i = 0; i + 1 < actions.size(); ++i)
            if (actions[i]->objectName() == QLatin1String("actOpen"))
                return actions[i + 1];
        return nullptr;
    };
    QAction* const menuNext = afterOpen(fileMenu);
    fileMenu->insertAction(menuNext, actSave);
    fileMenu->insertAction(menuNext, actSaveAs);
    QAction* const toolNext = afterOpen(toolBar);
    toolBar->insertAction(toolNext, actSave);
    editMenu->addAction(actUndo);
    editMenu->addAction(actRedo);
    toolBar->addSeparator();
    toolBar->addAction(actUndo);
    toolBar->addAction(actRedo);
    connect(actSave, &QAction::triggered, this, Guarded(this, &TForm1::actSaveClick));
    connect(actSaveAs, &QAction::triggered, this, Guarded(this, &TForm1::actSaveAsClick));
    connect(actUndo, &QAction::triggered, this, Guarded(this, &TForm1::actUndoClick));
    connect(actRedo, &QAction::triggered, this, Guarded(this, &TForm1::actRedoClick));

    // What the last paste or open read, and its warnings: a click lists the rows.
    auto* summary = new QLabel(statusBar());
    summary->setObjectName(QStringLiteral("lblReadSummary"));
    statusBar()->addWidget(summary);
    auto* warnings = new QPushButton(style()->standardIcon(QStyle::SP_MessageBoxWarning), QString(), statusBar());
    warnings->setObjectName(QStringLiteral("btnReadWarnings"));
    warnings->setFlat(true);
    warnings->setCursor(Qt::PointingHandCursor);
    warnings->setToolTip(QStringLiteral("点击查看是哪几行"));
    warnings->hide();
    statusBar()->addWidget(warnings);
    connect(warnings, &QPushButton::clicked, this, Guarded(this, &TForm1::btnReadWarningsClick));

    // Work a run left unsaved when it ended without closing.
    auto* bar = new QFrame(ui->TabSheet1);
    bar->setObjectName(QStringLiteral("barRecovery"));
    bar->setFrameShape(QFrame::StyledPanel);
    bar->setAutoFillBackground(true);
    QPalette palette = bar->palette();
    palette.setColor(QPalette::Window, QColor(0xFF, 0xF4, 0xCE));
    palette.setColor(QPalette::WindowText, QColor(0x3B, 0x2F, 0x00));
    bar->setPalette(palette);
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->setContentsMargins(8, 4, 8, 4);
    auto* barText = new QLabel(bar);
    barText->setObjectName(QStringLiteral("lblRecovery"));
    barText->setWordWrap(true);
    auto* recover = new QPushButton(QStringLiteral("恢复上次未保存的分班"), bar);
    recover->setObjectName(QStringLiteral("btnRecover"));
    auto* ignore = new QPushButton(QStringLiteral("忽略"), bar);
    ignore->setObjectName(QStringLiteral("btnIgnoreRecovery"));
    barLayout->addWidget(barText, 1);
    barLayout->addWidget(recover);
    barLayout->addWidget(ignore);
    bar->hide();
    PutOnTop(ui->TabSheet1, bar);
    connect(recover, &QPushButton::clicked, this, Guarded(this, &TForm1::btnRecoverClick));
    connect(ignore, &QPushButton::clicked, this, Guarded(this, &TForm1::btnIgnoreRecoveryClick));
}

void TForm1::StartSession()
{
    const QString folder = RecoveryFolder();
    std::unique_ptr<RecoveryFile> recovery;
    if (!folder.isEmpty()) {
        recovery = std::make_unique<RecoveryFile>(PathOf(folder));
        FLeftOvers = ClaimLeftOverRecoveries(PathOf(folder));
    }
    work_.listenToSteps([this](const StepNotice&) { ShowSessionState(); });
    // The grid of the start, numbers only, is the table before any roster.
    // The recovery file is written on a thread of its own: a step returns without waiting for the disk.
    work_.start(FStrGridModel->grid(), std::move(recovery), true);
    if (!FLeftOvers.empty())
        ui->PageControl1->setCurrentWidget(ui->TabSheet1); // where the bar is
    ShowLeftOverRecovery();
}

// Shows the document as restored (undo, redo, a file opened, a recovery),
// with its listing and cell.
void TForm1::ShowRestored()
{
    const Settings& c = division_.settings();
    const ViewState& v = division_.view();
    const QSignalBlocker blockers[]
        = {QSignalBlocker(ui->SpinEdit1), QSignalBlocker(ui->speClassA), QSignalBlocker(ui->speClassB),
            QSignalBlocker(ui->speSystem), QSignalBlocker(ui->chkAuto), QSignalBlocker(ui->cmbSubject),
            QSignalBlocker(ui->trvClassList), QSignalBlocker(ui->StrGrid), QSignalBlocker(ui->chkSoundAlike)};
    ui->SpinEdit1->setValue(c.classCount);
    ui->speClassA->setValue(c.classA);
    ui->speClassB->setValue(c.classB);
    ui->speSystem->setValue(c.coefficient);
    ui->chkAuto->setChecked(c.manual);
    ui->chkSoundAlike->setChecked(c.soundAlike);
    ShowSubjects();
    const ShownFigures& shown = division_.shown();
    ui->Edit1->setText(
        shown.hasTotal ? QString::fromStdString(FormatNumber(shown.total, DecimalSeparator())) : QString());
    ShowAverages();
    const DivisionState& state = division_.state();
    if (state.FClasses.empty()) { // no class count set since the start: no tree, no menu
        ui->trvClassList->clear();
        ppmClass->clear();
    } else {
        BuildClassTree(static_cast<int>(state.FClasses.size()));
    }

    // The grid as it was: the table, or the listing drawn over it.
    ui->StrGrid->forgetCurrentCell();
    ShowPacked(*FStrGridModel, *division_.source().table);
    QTreeWidgetItem* root = ui->trvClassList->topLevelItem(0);
    if (!v.tableShown && root != nullptr) {
        const TStudentList none; // a listing of a class the count has dropped
        const auto listed = static_cast<std::size_t>(v.FShownClass);
        ShowStudents(v.FShownClass == -1         ? state.FStudents
                : listed < state.FClasses.size() ? state.FClasses[listed]
                                                 : none);
        ui->trvClassList->setCurrentItem(v.FShownClass == -1 ? root : root->child(v.FShownClass));
    }
    if (v.FSelCol >= 1 && v.FSelRow >= 1 && FStrGridModel->grid().contains(v.FSelCol, v.FSelRow))
        ui->StrGrid->selectionModel()->setCurrentIndex(
            FStrGridModel->index(v.FSelRow - 1, v.FSelCol - 1), QItemSelectionModel::ClearAndSelect);
}

void TForm1::ShowSessionState()
{
    const Session& kept = work_.session();
    setWindowTitle(Text(WindowTitle(kept.documentTitle(), ProductName().toStdString())));
    actUndo->setText(Text(kept.undoText()));
    actUndo->setEnabled(kept.history().canUndo());
    actRedo->setText(Text(kept.redoText()));
    actRedo->setEnabled(kept.history().canRedo());
    ShowRosterSummary();
    ShowFingerprints();
    if (!kept.recoveryProblem().empty())
        statusBar()->showMessage(QStringLiteral("恢复文件没有写成：%1").arg(Text(kept.recoveryProblem())), 10000);
}

void TForm1::ShowRosterSummary()
{
    auto* summary = findChild<QLabel*>(QStringLiteral("lblReadSummary"));
    auto* warnings = findChild<QPushButton*>(QStringLiteral("btnReadWarnings"));
    if (!division_.hasRoster()) {
        FSummary.reset();
        FSummaryTable.reset();
        summary->clear();
        warnings->hide();
        return;
    }
    const std::shared_ptr<const PackedGrid>& table = division_.source().table;
    if (FSummaryTable != table) {
        FSummary = std::make_unique<RosterSummary>(
            SummarizeRoster(table->Unpack(), division_.state().Records, division_.classCount()));
        FSummaryTable = table;
    }
    FSummary->classes = division_.classCount();
    const bool sheets = importTable_ == table && !importSheets_.empty();
    summary->setText(Text(SummaryStatusText(*FSummary) + (sheets ? "；" + importSheets_ : std::string())));
    const QString warningText = ReadWarningText();
    warnings->setText(warningText);
    warnings->setVisible(!warningText.isEmpty());
}

void TForm1::btnReadWarningsClick()
{
    if (!FSummary)
        return;
    CurrentDialogs().showMessage(this, QMessageBox::Information, ProductName(), ReadWarningDetails());
}

void TForm1::OpenDivisionFile(const QString& fileName)
{
    work_.openDivision(PathOf(fileName)); // a damaged file changes nothing
}

void TForm1::actSaveClick()
{
    SaveWork();
}

void TForm1::actSaveAsClick()
{
    SaveWorkAs();
}

bool TForm1::SaveWork()
{
    if (work_.session().document().empty())
        return SaveWorkAs();
    work_.save(work_.session().document());
    return true;
}

bool TForm1::SaveWorkAs()
{
    FileRequest request;
    request.caption = QStringLiteral("保存分班");
    request.filter = DivisionFileFilter();
    request.defaultSuffix = QLatin1String(DivisionFileSuffix.data());
    request.objectName = QStringLiteral("SaveDivisionDialog");
    const std::filesystem::path& document = work_.session().document();
    request.start
        = document.empty() ? QDir(DocumentsFolder()).filePath(QStringLiteral("分班.fenban")) : FileNameOf(document);
    request.confirmOverwrite = true;
    const QString fileName = CurrentDialogs().saveFileName(this, request);
    if (fileName.isEmpty())
        return false;
    work_.save(PathOf(fileName));
    return true;
}

void TForm1::actUndoClick()
{
    work_.undo();
}

void TForm1::actRedoClick()
{
    work_.redo();
}

bool TForm1::MayEndWork()
{
    const Session& kept = work_.session();
    if (!kept.modified())
        return true;
    Question question;
    question.icon = QMessageBox::Warning;
    question.title = ProductName();
    question.text = kept.document().empty()
        ? QStringLiteral("分班还没有保存。要保存吗？")
        : QStringLiteral("对“%1”的修改还没有保存。要保存吗？").arg(FileNameOf(kept.document().filename()));
    question.buttons = QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    question.buttonTexts = {{QMessageBox::Save, QStringLiteral("保存")},
        {QMessageBox::Discard, QStringLiteral("不保存")}, {QMessageBox::Cancel, QStringLiteral("取消")}};
    question.defaultButton = QMessageBox::Save;
    question.escapeButton = QMessageBox::Cancel;
    switch (CurrentDialogs().ask(this, question)) {
    case QMessageBox::Save:
        return SaveWork();
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    event->ignore(); // stays open unless the work may end (a failed save keeps it)
    RunGuarded(this, [&] {
        if (!MayEndWork())
            return;
        work_.close();
        event->accept();
    });
}

void TForm1::ShowLeftOverRecovery()
{
    auto* bar = findChild<QFrame*>(QStringLiteral("barRecovery"));
    if (FLeftOvers.empty()) {
        bar->hide();
        return;
    }
    const RecoveryInfo& info = FLeftOvers.front().info();
    QString text = info.document.empty()
        ? QStringLiteral("上次的分班还没有保存，程序就结束了。")
        : QStringLiteral("上次对“%1”的修改还没有保存，程序就结束了。").arg(QFileInfo(Text(info.document)).fileName());
    QStringList details;
    if (const QString written = WrittenText(info.written); !written.isEmpty())
        details << QStringLiteral("记于 %1").arg(written);
    if (!info.step.empty())
        details << QStringLiteral("最后一步：%1").arg(Text(info.step));
    if (!details.isEmpty())
        text += QStringLiteral("（%1）").arg(details.join(QStringLiteral("，")));
    findChild<QLabel*>(QStringLiteral("lblRecovery"))->setText(text);
    bar->show();
}

void TForm1::btnRecoverClick()
{
    if (FLeftOvers.empty())
        return;
    LeftOverRecovery& left = FLeftOvers.front();
    work_.recover(left.snapshot(), left.info().whole, PathOf(Text(left.info().document)));
    left.discard(); // this run's recovery file holds the work now
    FLeftOvers.erase(FLeftOvers.begin());
    ShowLeftOverRecovery();
}

void TForm1::btnIgnoreRecoveryClick()
{
    if (FLeftOvers.empty())
        return;
    FLeftOvers.front().discard();
    FLeftOvers.erase(FLeftOvers.begin());
    ShowLeftOverRecovery();
}
