#include "io/WorkbookFile.h"

#include "common/Failure.h"

#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <xlsxwriter.h>

namespace fenban {

namespace {

constexpr std::uint8_t PaperA4 = 9;

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Page-header text: & starts a code there, && is one &.
std::string HeaderText(const std::string& title)
{
    std::string text = "&C";
    for (const char c : title)
        text += c == '&' ? std::string("&&") : std::string(1, c);
    return text;
}

// A sheet name without the characters a workbook forbids, at most 31 long.
std::string SheetName(const std::string& name, std::size_t index)
{
    std::string clean;
    for (const char c : name)
        clean += std::string_view("[]:*?/\\").find(c) == std::string_view::npos ? c : '_';
    if (clean.empty() || clean.size() > 31)
        return "Sheet" + std::to_string(index + 1);
    return clean;
}

class Workbook {
public:
    explicit Workbook(const std::string& path, const std::string& tmpdir)
    {
        lxw_workbook_options options {};
        options.tmpdir = const_cast<char*>(tmpdir.c_str());
        workbook_ = workbook_new_opt(path.c_str(), &options);
        if (workbook_ == nullptr)
            throw std::bad_alloc();
    }
    ~Workbook()
    {
        if (workbook_ != nullptr)
            workbook_close(workbook_); // only after a failure: frees it
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    lxw_workbook* get() const { return workbook_; }
    lxw_error close()
    {
        lxw_workbook* const workbook = workbook_;
        workbook_ = nullptr;
        return workbook_close(workbook);
    }

private:
    lxw_workbook* workbook_ = nullptr;
};

void Check(lxw_error error, const std::filesystem::path& file)
{
    if (error != LXW_NO_ERROR)
        throw WriteError("不能保存文件“" + Utf8(file) + "”：生成工作簿时出错（" + lxw_strerror(error) + "）。");
}

void WriteSheet(lxw_worksheet* sheet, lxw_format* bold, const OutputTable& table, const std::filesystem::path& file)
{
    std::vector<int> widths(table.header.size(), 0);
    const auto widen = [&](std::size_t column, const std::string& text) {
        if (widths.size() <= column)
            widths.resize(column + 1, 0);
        widths[column] = std::max(widths[column], DisplayWidth(text));
    };
    for (std::size_t c = 0; c < table.header.size(); ++c) {
        Check(worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), table.header[c].c_str(), bold), file);
        widen(c, table.header[c]);
    }
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const auto row = static_cast<lxw_row_t>(r + 1);
        for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
            const OutputCell& cell = table.rows[r][c];
            const auto column = static_cast<lxw_col_t>(c);
            if (const auto* text = std::get_if<std::string>(&cell)) {
                if (!text->empty())
                    Check(worksheet_write_string(sheet, row, column, text->c_str(), nullptr), file);
            } else {
                Check(worksheet_write_number(sheet, row, column, std::get<double>(cell), nullptr), file);
            }
            widen(c, CellText(cell));
        }
    }
    for (std::size_t c = 0; c < widths.size(); ++c) {
        const auto column = static_cast<lxw_col_t>(c);
        Check(worksheet_set_column(sheet, column, column, widths[c] + 2.0, nullptr), file);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    Check(worksheet_repeat_rows(sheet, 0, 0), file);
    worksheet_set_paper(sheet, PaperA4);
    worksheet_set_portrait(sheet);
    worksheet_fit_to_pages(sheet, 1, 0);
    if (!table.title.empty())
        Check(worksheet_set_header(sheet, HeaderText(table.title).c_str()), file);
}

std::string FileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (!in && !in.eof())
        throw std::system_error(std::make_error_code(std::errc::io_error));
    return bytes;
}

} // namespace

void WriteXlsxWith(FileSystem& files, const std::filesystem::path& file, const std::function<void(lxw_workbook*)>& fill)
{
    // libxlsxwriter writes to a path of its own: a private folder, from which
    // the finished bytes go through the safe save.
    const QTemporaryDir scratch;
    if (!scratch.isValid())
        throw WriteError("不能保存文件“" + Utf8(file) + "”：不能建立临时文件夹。");
    const std::filesystem::path folder(scratch.path().toStdU16String());
    const std::filesystem::path book = folder / "book.xlsx";
    {
        Workbook workbook(book.string(), folder.string());
        fill(workbook.get());
        Check(workbook.close(), file);
    }
    std::string bytes;
    try {
        bytes = FileBytes(book);
    } catch (const std::system_error&) {
        throw WriteError("不能保存文件“" + Utf8(file) + "”：读不回临时文件。");
    }
    SaveFileSafely(files, file, [&bytes](ByteSink& out) {
        out.write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    });
}

void WriteWorkbook(FileSystem& files, const std::filesystem::path& file, std::span<const OutputTable> tables)
{
    WriteXlsxWith(files, file, [&](lxw_workbook* workbook) {
        lxw_format* const bold = workbook_add_format(workbook);
        format_set_bold(bold);
        for (std::size_t k = 0; k < tables.size(); ++k) {
            lxw_worksheet* const sheet = workbook_add_worksheet(workbook, SheetName(tables[k].name, k).c_str());
            if (sheet == nullptr)
                Check(LXW_ERROR_SHEETNAME_ALREADY_USED, file);
            WriteSheet(sheet, bold, tables[k], file);
        }
    });
}

void ExportDivisionWorkbook(const std::filesystem::path& file, const DivisionTables& tables)
{
    const std::vector<OutputTable> sheets = WorkbookTables(tables);
    WriteWorkbook(*DiskFileSystem(), file, sheets);
}

void CheckXlsxError(int error, const std::filesystem::path& file)
{
    Check(static_cast<lxw_error>(error), file);
}

} // namespace fenban
