#include "io/TableFile.h"

#include "io/CellText.h"
#include "io/CompoundFileReader.h"
#include "io/TableProblem.h"
#include "io/TextTable.h"
#include "io/XlsTable.h"
#include "io/XlsxTable.h"
#include "io/ZipArchive.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <system_error>

namespace fenban {

namespace {

using Reason = TableReadError::Reason;

// Text files are read whole; a table of the largest size takes far less.
constexpr std::uintmax_t MaxTextFileSize = 256u << 20;
constexpr std::uintmax_t MaxWorkbookFileSize = 512u << 20;

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
        [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return text;
}

[[noreturn]] void ThrowUnreadable(int error)
{
    const std::error_code code(error, std::generic_category());
    if (code == std::errc::permission_denied || code == std::errc::operation_not_permitted)
        throw TableProblem(Reason::Unreadable, "没有读取权限");
    if (code == std::errc::no_such_file_or_directory)
        throw TableProblem(Reason::Missing, "文件不存在");
    throw TableProblem(Reason::Unreadable, "读取时出错（" + code.message() + "）");
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The file's first bytes, up to count of them (all when the file is
// shorter); a file longer than limit throws TooLarge.
std::string ReadBytes(const std::filesystem::path& file, std::uintmax_t limit, std::size_t count = SIZE_MAX)
{
#ifdef _WIN32
    const std::unique_ptr<std::FILE, FileCloser> handle(_wfopen(file.c_str(), L"rb"));
#else
    const std::unique_ptr<std::FILE, FileCloser> handle(std::fopen(file.c_str(), "rb"));
#endif
    if (!handle)
        ThrowUnreadable(errno);
    std::string bytes;
    char buffer[1 << 16];
    for (;;) {
        const std::size_t want = std::min(sizeof buffer, count - bytes.size());
        const std::size_t got = std::fread(buffer, 1, want, handle.get());
        bytes.append(buffer, got);
        if (bytes.size() > limit)
            throw TableProblem(Reason::TooLarge, "文件太大");
        if (bytes.size() == count)
            return bytes;
        if (got < want) {
            if (std::ferror(handle.get()))
                ThrowUnreadable(errno);
            return bytes;
        }
    }
}

TableRows ReadTextTable(std::string_view bytes, const std::string& extension)
{
    const std::string text = DecodeTableText(bytes);
    if (text.find('\0') != std::string::npos)
        throw TableProblem(Reason::NotATable, "不是文本表格");
    TableRows rows = SplitDelimited(text, extension == ".tsv" ? '\t' : GuessSeparator(text));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            if (!rows[r][c].empty())
                CheckTablePosition(static_cast<long long>(r), static_cast<long long>(c));
        }
    }
    TrimTable(rows);
    if (rows.empty())
        throw TableProblem(Reason::Empty, "表格里没有数据");
    return rows;
}

TableRows Read(const std::filesystem::path& file)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found)
        throw TableProblem(Reason::Missing, "文件不存在");
    if (status.type() == std::filesystem::file_type::directory)
        throw TableProblem(Reason::NotATable, "这是一个文件夹");
    if (error)
        ThrowUnreadable(error.value());

    const std::string extension = Lower(Utf8(file.extension()));
    const bool textName = extension == ".csv" || extension == ".tsv" || extension == ".txt";
    const bool workbookName = extension == ".xlsx" || extension == ".xls";
    // What the first bytes are decides over the name.
    const std::string head = ReadBytes(file, SIZE_MAX, 8);
    if (head.empty())
        throw TableProblem(Reason::Empty, "文件是空的");
    if (head.starts_with(ZipMagic))
        return ReadXlsxTable(ReadBytes(file, MaxWorkbookFileSize));
    if (head.starts_with(CompoundFileMagic))
        return ReadXlsTable(file, ReadBytes(file, MaxWorkbookFileSize));
    if (textName)
        return ReadTextTable(ReadBytes(file, MaxTextFileSize), extension);
    if (workbookName)
        throw TableProblem(Reason::NotATable, "不是Excel工作簿，或者文件已损坏");
    throw TableProblem(Reason::NotATable, "不是表格文件（可以打开 .xlsx、.xls、.csv、.tsv、.txt 文件）");
}

} // namespace

TableRows ReadTableFile(const std::filesystem::path& file)
{
    try {
        return Read(file);
    } catch (const TableProblem& problem) {
        throw TableReadError(problem.reason(), "不能打开文件“" + Utf8(file) + "”：" + problem.what() + "。");
    } catch (const std::out_of_range&) {
        throw TableReadError(Reason::Corrupt, "不能打开文件“" + Utf8(file) + "”：文件已损坏或不完整。");
    } catch (const std::bad_alloc&) {
        throw TableReadError(Reason::TooLarge, "不能打开文件“" + Utf8(file) + "”：文件太大，内存不够。");
    }
}

} // namespace fenban
