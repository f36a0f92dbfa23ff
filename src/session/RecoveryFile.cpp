#include "session/RecoveryFile.h"

#include "common/FileSaving.h"
#include "session/DivisionFile.h"
#include "session/SessionErrors.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonObject>
#include <QLockFile>
#include <algorithm>

namespace fenban {

namespace {

constexpr std::string_view Prefix = "recovery-";

QString QtPath(const std::filesystem::path& path)
{
    return QString::fromStdString(PathText(path));
}

std::filesystem::path LockPath(const std::filesystem::path& file)
{
    std::filesystem::path lock = file;
    lock += ".lock";
    return lock;
}

std::unique_ptr<QLockFile> TryLock(const std::filesystem::path& file)
{
    auto lock = std::make_unique<QLockFile>(QtPath(LockPath(file)));
    lock->setStaleLockTime(0); // stale only when its run has ended, however long it has been held
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

QString Key(const char* key)
{
    return QString::fromLatin1(key);
}

RecoveryInfo InfoOf(const QJsonObject& whole)
{
    const QJsonObject recovery = whole.value(Key("recovery")).toObject();
    return {recovery.value(Key("pid")).toInteger(), recovery.value(Key("written")).toString().toStdString(),
        recovery.value(Key("document")).toString().toStdString(), recovery.value(Key("step")).toString().toStdString(),
        whole};
}

} // namespace

RecoveryFile::RecoveryFile(std::filesystem::path folder)
    : RecoveryFile(std::move(folder), DiskFileSystem())
{
}

RecoveryFile::RecoveryFile(std::filesystem::path folder, std::shared_ptr<FileSystem> files)
    : folder_(std::move(folder))
    , files_(std::move(files))
{
    static int made = 0; // one a run, but each its own name
    const std::string name = std::string(Prefix) + std::to_string(QCoreApplication::applicationPid()) + "-"
        + std::to_string(QDateTime::currentMSecsSinceEpoch()) + "-" + std::to_string(++made) + "."
        + std::string(DivisionFileSuffix);
    path_ = folder_ / name;
}

RecoveryFile::~RecoveryFile() = default;

void RecoveryFile::write(
    const Snapshot& snapshot, const std::string& document, const std::string& step, const QJsonObject& members)
{
    if (!lock_) {
        std::error_code ignored; // a folder that cannot be made fails the write below
        std::filesystem::create_directories(folder_, ignored);
        lock_ = TryLock(path_);
    }
    const QJsonObject recovery {{Key("pid"), QCoreApplication::applicationPid()},
        {Key("written"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)},
        {Key("document"), QString::fromStdString(document)}, {Key("step"), QString::fromStdString(step)}};
    QJsonObject extra = members;
    extra.insert(Key("recovery"), recovery);
    WriteDivisionFile(*files_, path_, writer_.json(snapshot, extra));
}

void RecoveryFile::remove()
{
    files_->remove(path_);
    lock_.reset(); // unlocks: removes the lock file
}

LeftOverRecovery::LeftOverRecovery(
    std::filesystem::path path, std::unique_ptr<QLockFile> lock, Snapshot snapshot, RecoveryInfo info)
    : path_(std::move(path))
    , lock_(std::move(lock))
    , snapshot_(std::move(snapshot))
    , info_(std::move(info))
{
}

LeftOverRecovery::LeftOverRecovery(LeftOverRecovery&&) noexcept = default;
LeftOverRecovery& LeftOverRecovery::operator=(LeftOverRecovery&&) noexcept = default;
LeftOverRecovery::~LeftOverRecovery() = default;

void LeftOverRecovery::discard()
{
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    lock_.reset();
}

std::vector<LeftOverRecovery> ClaimLeftOverRecoveries(const std::filesystem::path& folder)
{
    std::vector<LeftOverRecovery> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::filesystem::path& path = entry.path();
        const std::string name = PathText(path.filename());
        if (!name.starts_with(Prefix) || path.extension() != "." + std::string(DivisionFileSuffix))
            continue;
        std::unique_ptr<QLockFile> lock = TryLock(path);
        if (!lock)
            continue; // its run is still going
        try {
            QJsonObject whole;
            Snapshot snapshot = ReadDivisionFile(path, &whole);
            found.emplace_back(path, std::move(lock), std::move(snapshot), InfoOf(whole));
        } catch (const NewerFileError&) {
            continue; // unlocks; the file stays
        } catch (const FileReadError&) {
            std::filesystem::remove(path, error);
        }
    }
    std::sort(found.begin(), found.end(),
        [](const LeftOverRecovery& a, const LeftOverRecovery& b) { return a.info().written > b.info().written; });
    return found;
}

} // namespace fenban
