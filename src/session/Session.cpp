#include "session/Session.h"

#include "common/Failure.h"
#include "common/FileSaving.h"
#include "session/DivisionFile.h"

#include <iterator>

namespace fenban {

Session::Session(Snapshot start, std::unique_ptr<RecoveryFile> recovery, HistoryLimits limits, bool inBackground)
    : history_(std::move(start), limits)
    , recovery_(std::move(recovery))
    , documents_ {{0, {}}}
{
    if (inBackground && recovery_)
        writer_ = std::thread([this] { writerLoop(); });
}

Session::~Session()
{
    if (!writer_.joinable())
        return;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    writer_.join(); // writes what was pending first
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

void Session::save(const std::filesystem::path& file, const Snapshot& live, const QJsonObject& extra)
{
    WriteDivisionFile(*DiskFileSystem(), file, DivisionJson(live, extra));
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
    if (!recovery_)
        return;
    flushRecovery();
    recovery_->remove();
}

void Session::flushRecovery()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !pending_ && !busy_; });
}

std::string Session::recoveryProblem() const
{
    const std::lock_guard lock(mutex_);
    return recoveryProblem_;
}

void Session::followWithRecovery(const Snapshot& now)
{
    if (!recovery_)
        return;
    RecoveryJob job;
    if (history_.modified()) { // else nothing unsaved to recover: the file goes
        job.snapshot = now;
        job.document = PathText(document());
        job.step = history_.canUndo() ? history_.undoName() : std::string();
        job.members = members_;
    }
    if (!writer_.joinable()) {
        runRecovery(job);
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        pending_ = std::move(job); // a write not begun yet is of an older state
    }
    wake_.notify_all();
}

void Session::runRecovery(const RecoveryJob& job)
{
    std::string problem;
    if (!job.snapshot) {
        recovery_->remove();
    } else {
        try {
            recovery_->write(*job.snapshot, job.document, job.step, job.members);
        } catch (const Failure& e) {
            problem = e.what();
        }
    }
    const std::lock_guard lock(mutex_);
    recoveryProblem_ = std::move(problem);
}

void Session::writerLoop()
{
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return pending_ || stopping_; });
        if (!pending_)
            return; // stopping, nothing left
        const RecoveryJob job = std::move(*pending_);
        pending_.reset();
        busy_ = true;
        lock.unlock();
        runRecovery(job);
        lock.lock();
        busy_ = false;
        idle_.notify_all();
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
