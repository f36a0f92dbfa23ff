#pragma once

#include "session/History.h"
#include "session/RecoveryFile.h"

#include <QJsonObject>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace fenban {

// The window's work as a document: the undo history, the division file it
// belongs to, whether it changed since it was saved, and the recovery file
// that follows every step while something is unsaved.
//
// The document belongs to the steps since the last open: undoing an open
// gives the work back to the file it belonged to before, so that saving it
// never writes over the file that was opened. A save names the document of
// the steps since that open.
class Session {
public:
    // `recovery` may be null: no recovery file is kept. With `inBackground`
    // the recovery file is written on a thread of its own (the snapshot's
    // parts are never changed, so it reads them safely), the latest state
    // replacing one not written yet; flushRecovery() waits for it.
    explicit Session(Snapshot start, std::unique_ptr<RecoveryFile> recovery = nullptr, HistoryLimits limits = {},
        bool inBackground = false);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // A step done (读入数据, 分班数, 编班, 调整, 一键均衡, 调班): the snapshot after it.
    void record(std::string name, const Choices& before, Snapshot after);
    // A division file opened (or a recovery taken over) as a step: the work
    // now belongs to `document`, unchanged when `saved`.
    void recordOpened(
        std::string name, const Choices& before, Snapshot opened, std::filesystem::path document, bool saved);

    // The state to restore; see History.
    Snapshot undo(const Snapshot& live);
    Snapshot redo(const Snapshot& live);

    // Writes `live` to the file (WriteError naming it when that fails; nothing
    // else changes then); the work then belongs to it and is unchanged.
    // `extra`: further members of the file (DivisionJson's).
    void save(const std::filesystem::path& file, const Snapshot& live, const QJsonObject& extra = {});

    // The members the division file carries beside the snapshot (the record):
    // the recovery file written from now on carries them too.
    void setFileMembers(QJsonObject members) { members_ = std::move(members); }

    // What the file keeps beside the steps changed (the class teachers): the work is unsaved.
    void markChanged() { history_.markChanged(); }

    // A clean close: the recovery file goes.
    void close();
    // Returns when the recovery file follows the last step.
    void flushRecovery();

    const History& history() const { return history_; }
    bool modified() const { return history_.modified(); }
    // The division file of the current step; empty when none.
    const std::filesystem::path& document() const;

    // "撤销 调整", "重做 编班"; "撤销", "重做" when there is no such step.
    std::string undoText() const;
    std::string redoText() const;
    // "初一.fenban*": the file name and a mark while changed; empty before any file.
    std::string documentTitle() const;

    // Why the recovery file could not be written at the last step written; empty when it was.
    std::string recoveryProblem() const;

private:
    // What the recovery file is to become: a snapshot to write, or none (removed).
    struct RecoveryJob {
        std::optional<Snapshot> snapshot;
        std::string document;
        std::string step;
        QJsonObject members;
    };
    void followWithRecovery(const Snapshot& now);
    void runRecovery(const RecoveryJob& job); // on the writer's thread, or the caller's
    void writerLoop();

    History history_;
    std::unique_ptr<RecoveryFile> recovery_;
    std::size_t step_ = 0; // steps done since the start, undone ones not counted
    std::map<std::size_t, std::filesystem::path> documents_; // from this step on, up to the next entry
    QJsonObject members_;

    mutable std::mutex mutex_; // guards what follows
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<RecoveryJob> pending_;
    bool busy_ = false;
    bool stopping_ = false;
    std::string recoveryProblem_;
    std::thread writer_; // last: started when all else is ready
};

// "初一.fenban* — 均衡分班", or the product alone before any file.
std::string WindowTitle(const std::string& documentTitle, std::string_view product);

} // namespace fenban
