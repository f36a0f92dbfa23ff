#include "session/Session.h"

#include "common/Failure.h"
#include "session/DivisionFile.h"

#include <iterator>

namespace fenban {

Session::Session(Snapshot start, std::unique_ptr<RecoveryFile> recovery, HistoryLimits limits)
    : history_(std::move(start), limits)
    , recovery_(std::move(recovery))
    , documents_ {{0, {}}}
{
}

void Session::record(std::string name, const Choices& before, Snapshot after)
{
    history_.record(std::move(name), before, std::move(after));
    ++step_;
    documents_.erase(documents_.lower_bound(step_), documents_.end()); // of the steps undone
    followWithRecovery(history_.current());
}

void Session::recordOpened(
    std::string name, const Choices& before, Snapshot opened, std::filesystem::path document, bool saved)
{
    history_.record(std::move(name), before, std::move(opened));
    ++step_;
    documents_.erase(documents_.lower_bound(step_), documents_.end());
    documents_.emplace(step_, std::move(document));
    if (saved)
        history_.markSaved();
    followWithRecovery(history_.current());
}

Snapshot Session::undo(const Snapshot& live)
{
    if (history_.canUndo())
        --step_;
    Snapshot target = history_.undo(live);
    followWithRecovery(target);
    return target;
}

Snapshot Session::redo(const Snapshot& live)
{
    if (history_.canRedo())
        ++step_;
    Snapshot target = history_.redo(live);
    followWithRecovery(target);
    return target;
}

void Session::save(const std::filesystem::path& file, const Snapshot& live)
{
    WriteDivisionFile(file, live);
    std::prev(documents_.upper_bound(step_))->second = file;
    history_.markSaved();
    followWithRecovery(live);
}

const std::filesystem::path& Session::document() const
{
    return std::prev(documents_.upper_bound(step_))->second;
}

void Session::close()
{
    if (recovery_)
        recovery_->remove();
}

void Session::followWithRecovery(const Snapshot& now)
{
    if (!recovery_)
        return;
    if (!history_.modified()) {
        recovery_->remove(); // nothing unsaved to recover
        recoveryProblem_.clear();
        return;
    }
    try {
        const std::string step = history_.canUndo() ? history_.undoName() : std::string();
        recovery_->write(now, PathText(document()), step);
        recoveryProblem_.clear();
    } catch (const Failure& e) {
        recoveryProblem_ = e.what();
    }
}

std::string Session::undoText() const
{
    return history_.canUndo() ? "撤销 " + history_.undoName() : "撤销";
}

std::string Session::redoText() const
{
    return history_.canRedo() ? "重做 " + history_.redoName() : "重做";
}

std::string Session::documentTitle() const
{
    if (document().empty())
        return {};
    return PathText(document().filename()) + (modified() ? "*" : "");
}

std::string WindowTitle(const std::string& documentTitle, std::string_view product)
{
    if (documentTitle.empty())
        return std::string(product);
    return documentTitle + " — " + std::string(product);
}

} // namespace fenban
