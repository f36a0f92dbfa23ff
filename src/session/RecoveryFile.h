#pragma once

#include "session/DivisionFile.h"
#include "session/Snapshot.h"

#include <QJsonObject>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QLockFile;

namespace fenban {

class FileSystem;

// What a recovery file says about itself.
struct RecoveryInfo {
    std::int64_t pid = 0; // of the run that wrote it
    std::string written; // UTC time of the write, ISO 8601 ("2024-06-11T08:30:15.250Z")
    std::string document; // the division file the work belongs to (UTF-8 path), empty when none
    std::string step; // name of the last step
    QJsonObject whole; // the file's whole object: the members it carries beside the snapshot (the record)
};

// This run's recovery file in a folder (the window passes
// QStandardPaths::AppDataLocation): "recovery-<pid>-<start>-<n>.fenban", a
// division file with a "recovery" member. While the run lasts, a lock file
// beside it ("….fenban.lock", QLockFile) tells other runs it is in use; a
// run that crashed or was killed leaves both, and the lock goes stale.
class RecoveryFile {
public:
    explicit RecoveryFile(std::filesystem::path folder);
    RecoveryFile(std::filesystem::path folder, std::shared_ptr<FileSystem> files);
    ~RecoveryFile(); // leaves the file: only remove() takes it away
    RecoveryFile(const RecoveryFile&) = delete;
    RecoveryFile& operator=(const RecoveryFile&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes the snapshot atomically, creating the folder. Throws WriteError.
    // `members`: further members of the file (the record), as a save writes them.
    void write(const Snapshot& snapshot, const std::string& document, const std::string& step,
        const QJsonObject& members = {});
    // Removes the file and its lock (a clean close, or nothing left unsaved).
    void remove();

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
    std::shared_ptr<FileSystem> files_;
    std::unique_ptr<QLockFile> lock_;
    DivisionJsonWriter writer_;
};

// A recovery file whose run ended without closing. Its lock is held while
// this object lives, so no other run offers it at the same time.
class LeftOverRecovery {
public:
    LeftOverRecovery(std::filesystem::path path, std::unique_ptr<QLockFile> lock, Snapshot snapshot, RecoveryInfo info);
    LeftOverRecovery(LeftOverRecovery&&) noexcept;
    LeftOverRecovery& operator=(LeftOverRecovery&&) noexcept;
    ~LeftOverRecovery();

    const std::filesystem::path& path() const { return path_; }
    const Snapshot& snapshot() const { return snapshot_; }
    const RecoveryInfo& info() const { return info_; }

    // Removes the file and its lock: after the work was taken over, or 忽略.
    void discard();

private:
    std::filesystem::path path_;
    std::unique_ptr<QLockFile> lock_;
    Snapshot snapshot_;
    RecoveryInfo info_;
};

// The recovery files in the folder that no running program holds, read and
// checked, the newest first. A damaged one is removed; one of a newer
// format is left for the program that wrote it.
std::vector<LeftOverRecovery> ClaimLeftOverRecoveries(const std::filesystem::path& folder);

} // namespace fenban
