#include "session/History.h"

#include <unordered_set>

namespace fenban {

namespace {

const std::string noName;

// A choice the step changed takes its value on the step's far side; the
// others keep the user's current ones.
Snapshot WithChoices(
    Snapshot target, const Choices& before, const Choices& after, const Choices& farSide, const Choices& live)
{
    Choices c = live;
    const auto take = [&](auto member) {
        if (!(before.*member == after.*member))
            c.*member = farSide.*member;
    };
    take(&Choices::classA);
    take(&Choices::classB);
    take(&Choices::subject);
    take(&Choices::coefficient);
    take(&Choices::manual);
    take(&Choices::soundAlike);
    take(&Choices::tableShown);
    take(&Choices::shownClass);
    take(&Choices::selCol);
    take(&Choices::selRow);
    take(&Choices::rankBands);
    if (c.subject >= static_cast<int>(target.settings.subjectNames.size()))
        c.subject = farSide.subject; // the user's subject is not one of the target's (before the first paste)
    SetChoices(target, c);
    return target;
}

} // namespace

History::History(Snapshot start, HistoryLimits limits)
    : limits_(limits)
{
    const Choices choices = ChoicesOf(start);
    entries_.push_back({{}, choices, std::move(start)});
}

const std::string& History::undoName() const
{
    return canUndo() ? entries_[position_].name : noName;
}

const std::string& History::redoName() const
{
    return canRedo() ? entries_[position_ + 1].name : noName;
}

void History::record(std::string name, const Choices& before, Snapshot after)
{
    entries_.resize(position_ + 1);
    if (saved_ != Nowhere && saved_ > position_)
        saved_ = Nowhere; // the saved state was undone and is gone now
    ShareUnchanged(after, entries_.back().after);
    entries_.push_back({std::move(name), before, std::move(after)});
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
    const Entry& step = entries_[position_];
    --position_;
    const Choices after = ChoicesOf(step.after);
    return WithChoices(entries_[position_].after, step.before, after, step.before, ChoicesOf(live));
}

Snapshot History::redo(const Snapshot& live)
{
    if (!canRedo())
        return live;
    ++position_;
    const Entry& step = entries_[position_];
    const Choices after = ChoicesOf(step.after);
    return WithChoices(step.after, step.before, after, after, ChoicesOf(live));
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
