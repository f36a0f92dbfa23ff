#pragma once

#include "session/Snapshot.h"

#include <cstddef>
#include <string>
#include <vector>

namespace fenban {

// The oldest steps are dropped beyond these.
struct HistoryLimits {
    std::size_t steps = 200;
    std::size_t bytes = std::size_t {150} << 20;
};

// Undo and redo over named steps. Each step keeps the choices just before
// it and the snapshot after it; neighbouring snapshots share the parts a
// step left alone, so a step costs about what it changed.
//
// Choices (the 手动调班 pair, subject, 较正系数, the check boxes, the listing
// shown and the cell chosen) stay as the user has left them when a step is
// undone or redone, unless the step itself changed them: undoing a paste
// brings back the listing of before it; undoing 调整 keeps the coefficient
// typed since.
class History {
public:
    explicit History(Snapshot start, HistoryLimits limits = {});

    // A step done, with the choices just before it (ChoicesOf the state and
    // controls before the handler changed them). Drops the steps undone before.
    void record(std::string name, const Choices& before, Snapshot after);

    bool canUndo() const { return position_ > 0; }
    bool canRedo() const { return position_ + 1 < entries_.size(); }
    // The step that undo (redo) takes back (does again); empty when none.
    const std::string& undoName() const;
    const std::string& redoName() const;

    // The state to restore: the one before the last step done (after the next
    // step undone), with the choices of `live` where the step did not change them.
    Snapshot undo(const Snapshot& live);
    Snapshot redo(const Snapshot& live);

    // The snapshot after the last step done (the start when none).
    const Snapshot& current() const { return entries_[position_].after; }
    std::size_t stepsDone() const { return position_; }
    std::size_t stepsUndone() const { return entries_.size() - 1 - position_; }

    // Changes since markSaved(): false only at the step the file was saved at.
    void markSaved() { saved_ = position_; }
    // The work changed outside the steps (the class teachers drawn): unsaved at every step.
    void markChanged() { saved_ = Nowhere; }
    bool modified() const { return saved_ != position_; }

    // Memory held by the snapshots, every shared part counted once.
    std::size_t heldBytes() const;

private:
    struct Entry {
        std::string name; // of the step that led here; empty for the start
        Choices before;
        Snapshot after;
    };
    static constexpr std::size_t Nowhere = static_cast<std::size_t>(-1);

    void dropOldest();

    std::vector<Entry> entries_; // entries_[0]: the oldest state kept
    std::size_t position_ = 0;
    std::size_t saved_ = 0;
    HistoryLimits limits_;
};

} // namespace fenban
