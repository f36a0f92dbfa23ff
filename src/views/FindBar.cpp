#include "views/FindBar.h"

#include "common/Failure.h"
#include "rules/StudentFinder.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace fenban {

FindBar::FindBar(QWidget* parent)
    : QWidget(parent)
    , edit_(new QLineEdit(this))
    , label_(new QLabel(this))
    , findNext_(new QAction(QStringLiteral("查找下一个"), this))
{
    setObjectName(QStringLiteral("pnlFind"));
    edit_->setObjectName(QStringLiteral("edtFind"));
    edit_->setPlaceholderText(QStringLiteral("姓名或拼音首字母"));
    edit_->setClearButtonEnabled(true);
    edit_->installEventFilter(this);
    label_->setObjectName(QStringLiteral("lblFindClass"));
    findNext_->setObjectName(QStringLiteral("actFindNext"));
    findNext_->setShortcut(QKeySequence(Qt::Key_F3));
    findNext_->setToolTip(QStringLiteral("查找下一个 (F3)"));

    auto* next = new QToolButton(this);
    next->setObjectName(QStringLiteral("btnFindNext"));
    next->setDefaultAction(findNext_);
    next->setText(QStringLiteral("下一个"));
    auto* close = new QToolButton(this);
    close->setObjectName(QStringLiteral("btnFindClose"));
    close->setText(QStringLiteral("关闭"));
    close->setToolTip(QStringLiteral("关闭查找 (Esc)"));

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(new QLabel(QStringLiteral("查找："), this));
    layout->addWidget(edit_, 1);
    layout->addWidget(next);
    layout->addWidget(label_);
    layout->addWidget(close);

    connect(edit_, &QLineEdit::textEdited, this, [this] { search(true); });
    connect(edit_, &QLineEdit::returnPressed, this, &FindBar::findNext);
    connect(findNext_, &QAction::triggered, this, &FindBar::findNext);
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
}

void FindBar::setState(const DivisionState* state)
{
    state_ = state;
}

void FindBar::open()
{
    show();
    edit_->setFocus(Qt::ShortcutFocusReason);
    edit_->selectAll();
}

void FindBar::findNext()
{
    search(false);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_F3) {
            findNext();
            return true;
        }
        if (key == Qt::Key_Escape) {
            hide();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FindBar::search(bool withFound)
{
    const std::string query = edit_->text().toStdString();
    if (state_ == nullptr || edit_->text().trimmed().isEmpty()) {
        label_->clear();
        return;
    }
    std::optional<FoundStudent> found;
    try {
        found = FindNextStudent(*state_, query, found_, withFound);
    } catch (const Failure& failure) { // no pinyin without ICU's data: say so where the answer goes
        label_->setText(QString::fromStdString(failure.what()));
        return;
    }
    if (!found) {
        label_->setText(QStringLiteral("找不到"));
        return;
    }
    found_ = found->student;
    const std::string name = nameOf_ && found->classNo > 0 ? nameOf_(found->classNo) : std::string();
    label_->setText(found->classNo <= 0 ? QStringLiteral("未分班")
            : name.empty()              ? QStringLiteral("第 %1 班").arg(found->classNo)
                           : QStringLiteral("%1（第 %2 班）").arg(QString::fromStdString(name)).arg(found->classNo));
    emit studentFound(found->student, found->classNo);
}

} // namespace fenban
