#pragma once

#include "common/FileSaving.h"

#include <memory>
#include <system_error>

namespace fenban::testkit {

// The real disk, failing at step `failAt` (1-based) of a save: create, each
// write, close, rename. A write that fails has written half of its bytes
// (disk full); a close that fails has closed the file.
class FaultyFileSystem final : public fenban::FileSystem {
public:
    explicit FaultyFileSystem(int failAt)
        : failAt_(failAt)
    {
    }
    int steps() const { return steps_; }

    std::unique_ptr<fenban::OutputFile> createNew(const std::filesystem::path& file) override
    {
        failHere(std::errc::permission_denied);
        return std::make_unique<File>(*this, disk_->createNew(file));
    }
    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        failHere(std::errc::permission_denied);
        disk_->replace(from, to);
    }
    void remove(const std::filesystem::path& file) noexcept override { disk_->remove(file); }

private:
    class File final : public fenban::OutputFile {
    public:
        File(FaultyFileSystem& owner, std::unique_ptr<fenban::OutputFile> real)
            : owner_(owner)
            , real_(std::move(real))
        {
        }
        void write(std::span<const std::uint8_t> bytes) override
        {
            if (owner_.failsNow()) {
                real_->write(bytes.first(bytes.size() / 2));
                throw std::system_error(std::make_error_code(std::errc::no_space_on_device));
            }
            real_->write(bytes);
        }
        void close() override
        {
            const bool fail = owner_.failsNow();
            real_->close();
            if (fail)
                throw std::system_error(std::make_error_code(std::errc::io_error));
        }

    private:
        FaultyFileSystem& owner_;
        std::unique_ptr<fenban::OutputFile> real_;
    };

    bool failsNow() { return ++steps_ == failAt_; }
    void failHere(std::errc code)
    {
        if (failsNow())
            throw std::system_error(std::make_error_code(code));
    }

    const std::shared_ptr<fenban::FileSystem> disk_ = fenban::DiskFileSystem();
    const int failAt_;
    int steps_ = 0;
};

} // namespace fenban::testkit
