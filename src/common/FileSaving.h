#pragma once

#include "common/ByteSink.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace fenban {

// A file being written. close() flushes; the file is complete only when it
// returns. Failures throw std::system_error.
class OutputFile : public ByteSink {
public:
    virtual void close() = 0;
};

// The file operations of a save, one call per step, so that a test can make
// any step fail. Failures throw std::system_error.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Creates a file that did not exist (std::errc::file_exists otherwise).
    virtual std::unique_ptr<OutputFile> createNew(const std::filesystem::path& file) = 0;
    // Renames from over to, replacing a file of that name in one step.
    virtual void replace(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    // Best effort: never throws.
    virtual void remove(const std::filesystem::path& file) noexcept = 0;
};

std::shared_ptr<FileSystem> DiskFileSystem();

// Writes a file through a temporary file in the same folder that is renamed
// over the target only when complete. On any failure the temporary file is
// removed and an existing target is left as it was; a file-system failure
// becomes WriteError naming the target, other exceptions pass unchanged.
void SaveFileSafely(
    FileSystem& files, const std::filesystem::path& target, const std::function<void(ByteSink&)>& writeContent);

} // namespace fenban
