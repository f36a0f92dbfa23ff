#pragma once

#include "engine/DivisionState.h"

#include <QWidget>
#include <functional>
#include <string>

class QAction;
class QLabel;
class QLineEdit;

namespace fenban {

// The find bar over the listing: typing part of a name, or its pinyin
// initials, finds the next matching student (the one found stays while it
// still matches); Enter, F3 and the ▼ button go on to the next, Esc closes
// the bar. The label says 第 k 班 of the student found, 未分班 before a
// division, 找不到 when no name matches.
class FindBar : public QWidget {
    Q_OBJECT

public:
    explicit FindBar(QWidget* parent = nullptr);

    // The roster searched; it must live while the bar searches it.
    void setState(const DivisionState* state);
    // The name of a class (1-based) the answer gives beside its number; empty: the number alone.
    void setClassNames(std::function<std::string(int)> nameOf) { nameOf_ = std::move(nameOf); }
    // F3 over the whole window (the window adds it to itself): the next match.
    QAction* findNextAction() const { return findNext_; }
    // Shows the bar with the typed text selected, ready for a new query.
    void open();

    QLineEdit* edit() const { return edit_; }
    const TStudent* found() const { return found_; }

public slots:
    void findNext();

signals:
    // A student was found: the window lists its class and selects its row.
    void studentFound(const fenban::TStudent* student, int classNo);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search(bool withFound);

    QLineEdit* edit_;
    QLabel* label_;
    QAction* findNext_;
    const DivisionState* state_ = nullptr;
    std::function<std::string(int)> nameOf_;
    const TStudent* found_ = nullptr; // only compared: the roster may have changed since
};

} // namespace fenban
