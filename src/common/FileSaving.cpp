#include "common/FileSaving.h"

#include "common/Failure.h"

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <system_error>

namespace fenban {

namespace {

std::system_error LastError(const char* what)
{
    return std::system_error(errno, std::generic_category(), what);
}

class DiskFile final : public OutputFile {
public:
    explicit DiskFile(std::FILE* file)
        : file_(file)
    {
    }
    ~DiskFile() override
    {
        if (file_ != nullptr)
            std::fclose(file_);
    }
    DiskFile(const DiskFile&) = delete;
    DiskFile& operator=(const DiskFile&) = delete;

    void write(std::span<const std::uint8_t> bytes) override
    {
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
            throw LastError("write");
    }

    void close() override
    {
        std::FILE* const file = file_;
        file_ = nullptr;
        const bool flushed = std::fflush(file) == 0;
        const int flushError = errno;
        if (std::fclose(file) != 0 || !flushed)
            throw std::system_error(flushed ? errno : flushError, std::generic_category(), "close");
    }

private:
    std::FILE* file_;
};

class Disk final : public FileSystem {
public:
    std::unique_ptr<OutputFile> createNew(const std::filesystem::path& file) override
    {
        // "x": exclusive creation (C11), so another file is never overwritten.
#ifdef _WIN32
        std::FILE* const handle = _wfopen(file.c_str(), L"wbx");
#else
        std::FILE* const handle = std::fopen(file.c_str(), "wbx");
#endif
        if (handle == nullptr)
            throw LastError("create");
        return std::make_unique<DiskFile>(handle);
    }

    void replace(const std::filesystem::path& from, const std::filesystem::path& to) override
    {
        std::filesystem::rename(from, to);
    }

    void remove(const std::filesystem::path& file) noexcept override
    {
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
    }
};

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string Reason(const std::error_code& code)
{
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted)
        return "没有写入权限";
    if (code == std::errc::no_space_on_device)
        return "磁盘空间不足";
    if (code == std::errc::read_only_file_system)
        return "磁盘是只读的";
    if (code == std::errc::no_such_file_or_directory || code == std::errc::not_a_directory)
        return "文件夹不存在";
    if (code == std::errc::is_a_directory || code == std::errc::directory_not_empty)
        return "已有同名的文件夹";
    if (code == std::errc::filename_too_long)
        return "文件名太长";
    if (code == std::errc::invalid_argument)
        return "文件名无效";
    return "系统错误：" + code.message();
}

std::filesystem::path TemporaryName(const std::filesystem::path& folder)
{
    static std::mt19937 random {std::random_device {}()};
    constexpr char digits[] = "0123456789abcdef";
    std::string name = ".~fenban-";
    for (int i = 0; i < 8; ++i)
        name += digits[random() % 16];
    return folder / (name + ".tmp");
}

} // namespace

std::shared_ptr<FileSystem> DiskFileSystem()
{
    return std::make_shared<Disk>();
}

void SaveFileSafely(
    FileSystem& files, const std::filesystem::path& target, const std::function<void(ByteSink&)>& writeContent)
{
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::filesystem::path temporary;
    std::unique_ptr<OutputFile> out;
    try {
        for (int attempt = 0; !out; ++attempt) {
            try {
                temporary = TemporaryName(folder);
                out = files.createNew(temporary);
            } catch (const std::system_error& e) {
                temporary.clear(); // not ours: never removed
                if (e.code() != std::errc::file_exists || attempt == 20)
                    throw;
            }
        }
        writeContent(*out);
        out->close();
        out.reset();
        files.replace(temporary, target);
    } catch (const std::system_error& e) {
        out.reset();
        if (!temporary.empty())
            files.remove(temporary);
        throw WriteError("不能保存文件“" + Utf8(target) + "”：" + Reason(e.code()) + "。");
    } catch (...) {
        out.reset();
        if (!temporary.empty())
            files.remove(temporary);
        throw;
    }
}

} // namespace fenban
