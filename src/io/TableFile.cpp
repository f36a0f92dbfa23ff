#include "io/TableFile.h"

#include "io/CellText.h"
#include "io/CompoundFileReader.h"
#include "io/SheetBuilder.h"
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

[[noreturn]] void ThrowTooLargeFile()
{
    throw TableProblem(Reason::TooLarge,
        "文件太大（超过 " + std::to_string(MaxTableFileSize >> 20) + " MB），请只把名单所在的表格另存为一个文件再打开");
}

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

// The file's bytes; a file longer than MaxTableFileSize (it may have grown
// since its size was asked) throws TooLarge.
std::string ReadBytes(const std::filesystem::path& file)
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
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, handle.get());
        bytes.append(buffer, got);
        if (bytes.size() > MaxTableFileSize)
            ThrowTooLargeFile();
        if (got < sizeof buffer) {
            if (std::ferror(handle.get()))
                ThrowUnreadable(errno);
            return bytes;
        }
    }
}

std::vector<TableSheet> ReadTextSheets(std::string_view bytes, const std::filesystem::path& name)
{
    const std::string text = DecodeTableText(bytes);
    if (text.find('\0') != std::string::npos)
        throw TableProblem(Reason::NotATable, "不是文本表格");
    const bool tabs = Lower(Utf8(name.extension())) == ".tsv";
    CellBudget budget;
    SheetBuilder sheet(budget);
    SplitDelimited(text, tabs ? '\t' : GuessSeparator(text), sheet);
    std::vector<TableSheet> sheets;
    sheets.push_back(sheet.sheet(Utf8(name.stem())));
    return sheets;
}

std::vector<TableSheet> Read(const std::filesystem::path& file, SheetsWanted wanted)
{
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    if (status.type() == std::filesystem::file_type::not_found)
        throw TableProblem(Reason::Missing, "文件不存在");
    if (status.type() == std::filesystem::file_type::directory)
        throw TableProblem(Reason::NotATable, "这是一个文件夹");
    if (error)
        ThrowUnreadable(error.value());
    // Refused by its size before a byte is read.
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size > MaxTableFileSize)
        ThrowTooLargeFile();
    return ReadTableBytes(ReadBytes(file), file, wanted);
}

template <typename Work> auto Guarded(const std::filesystem::path& file, Work work)
{
    try {
        return work();
    } catch (const TableProblem& problem) {
        throw TableReadError(problem.reason(), "不能打开文件“" + Utf8(file) + "”：" + problem.what() + "。");
    } catch (const std::out_of_range&) {
        throw TableReadError(Reason::Corrupt, "不能打开文件“" + Utf8(file) + "”：文件已损坏或不完整。");
    } catch (const std::length_error&) {
        throw TableReadError(Reason::Corrupt, "不能打开文件“" + Utf8(file) + "”：文件已损坏或不完整。");
    } catch (const std::bad_alloc&) {
        throw TableReadError(Reason::TooLarge, "不能打开文件“" + Utf8(file) + "”：文件太大，内存不够。");
    }
}

} // namespace

void CheckSheetCount(std::size_t count)
{
    if (count > std::size_t {MaxWorkbookSheets})
        throw TableProblem(
            Reason::TooLarge, "工作簿超过 " + std::to_string(MaxWorkbookSheets) + " 个工作表，请只留下名单所在的表格");
}

std::vector<TableSheet> ReadTableBytes(std::string_view bytes, const std::filesystem::path& name, SheetsWanted wanted)
{
    const std::string extension = Lower(Utf8(name.extension()));
    const bool textName = extension == ".csv" || extension == ".tsv" || extension == ".txt";
    const bool workbookName = extension == ".xlsx" || extension == ".xls";
    if (bytes.size() > MaxTableFileSize)
        ThrowTooLargeFile();
    // What the first bytes are decides over the name.
    if (bytes.empty())
        throw TableProblem(Reason::Empty, "文件是空的");
    if (bytes.starts_with(ZipMagic))
        return ReadXlsxSheets(bytes, wanted);
    if (bytes.starts_with(CompoundFileMagic))
        return ReadXlsSheets(bytes, wanted);
    if (textName)
        return ReadTextSheets(bytes, name);
    if (workbookName)
        throw TableProblem(Reason::NotATable, "不是Excel工作簿，或者文件已损坏");
    throw TableProblem(Reason::NotATable, "不是表格文件（可以打开 .xlsx、.xls、.csv、.tsv、.txt 文件）");
}

TableRows ReadTableFile(const std::filesystem::path& file)
{
    return Guarded(file, [&] {
        for (TableSheet& sheet : Read(file, SheetsWanted::FirstWithData)) {
            if (!sheet.rows.empty())
                return std::move(sheet.rows);
        }
        throw TableProblem(Reason::Empty, "表格里没有数据");
    });
}

std::vector<TableSheet> ReadTableSheets(const std::filesystem::path& file)
{
    return Guarded(file, [&] { return Read(file, SheetsWanted::All); });
}

std::vector<TableSheet> ReadSheetsToOpen(const std::filesystem::path& file)
{
    std::vector<TableSheet> sheets = ReadTableSheets(file);
    if (std::all_of(sheets.begin(), sheets.end(), [](const TableSheet& sheet) { return sheet.rows.empty(); }))
        ReadTableFile(file); // tells that the file holds no table
    return sheets;
}

} // namespace fenban
