#include "session/History.h"

#include <unordered_set>

namespace fenban {

namespace {

const std::string noName;

// A choice of `live` stays unless the step changed it.
template <class T> void Keep(T& target, const T& from, const T& to, const T& live)
{
    if (from == to)
        target = live;
}

} // namespace

Snapshot KeepChoices(const Snapshot& target, const Snapshot& from, const Snapshot& to, const Snapshot& live)
{
    Snapshot result = target;
    Controls& c = result.controls;
    const Controls &f = from.controls, &t = to.controls, &l = live.controls;
    Keep(c.classA, f.classA, t.classA, l.classA);
    Keep(c.classB, f.classB, t.classB, l.classB);
    Keep(c.subject, f.subject, t.subject, l.subject);
    Keep(c.coefficient, f.coefficient, t.coefficient, l.coefficient);
    Keep(c.manual, f.manual, t.manual, l.manual);
    Keep(c.soundAlike, f.soundAlike, t.soundAlike, l.soundAlike);
    Keep(c.tableShown, f.tableShown, t.tableShown, l.tableShown);
    Keep(result.shownClass, from.shownClass, to.shownClass, live.shownClass);
    Keep(result.selCol, from.selCol, to.selCol, live.selCol);
    Keep(result.selRow, from.selRow, to.selRow, live.selRow);
    return result;
}

History::History(Snapshot start, HistoryLimits limits)
    : limits_(limits)
{
    entries_.push_back({{}, std::move(start)});
}

const std::string& History::undoName() const
{
    return canUndo() ? entries_[position_].name : noName;
}

const std::string& History::redoName() const
{
    return canRedo() ? entries_[position_ + 1].name : noName;
}

void History::record(std::string name, Snapshot after)
{
    entries_.resize(position_ + 1);
    if (saved_ != Nowhere && saved_ > position_)
        saved_ = Nowhere; // the saved state was undone and is gone now
    ShareUnchanged(after, entries_.back().after);
    entries_.push_back({std::move(name), std::move(after)});
    ++position_;
    while (entries_.size() > 2 && (entries_.size() - 1 > limits_.steps || heldBytes() > limits_.bytes))
        dropOldest();
}

void History::dropOldest()
{
    entries_.erase(entries_.begin());
    --position_;
    saved_ = saved_ == 0 || saved_ == Nowhere ? Nowhere : saved_ - 1;
}

Snapshot History::undo(const Snapshot& live)
{
    if (!canUndo())
        return live;
    const Snapshot& from = entries_[position_ - 1].after;
    const Snapshot& to = entries_[position_].after;
    --position_;
    return KeepChoices(from, from, to, live);
}

Snapshot History::redo(const Snapshot& live)
{
    if (!canRedo())
        return live;
    const Snapshot& from = entries_[position_].after;
    const Snapshot& to = entries_[position_ + 1].after;
    ++position_;
    return KeepChoices(to, from, to, live);
}

std::size_t History::heldBytes() const
{
    std::unordered_set<const void*> counted;
    std::size_t bytes = sizeof(*this) + entries_.capacity() * sizeof(Entry);
    for (const Entry& entry : entries_) {
        if (entry.name.capacity() > 15)
            bytes += entry.name.capacity() + 1;
        CountHeldBytes(entry.after, counted, bytes);
    }
    return bytes;
}

} // namespace fenban
