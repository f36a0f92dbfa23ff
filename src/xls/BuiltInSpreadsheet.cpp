#include "xls/BuiltInSpreadsheet.h"

#include "xls/Biff8Workbook.h"
#include "xls/CompoundFile.h"
#include "xls/SheetCells.h"
#include "xls/XlsErrors.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace fenban {

namespace {

class Workbook final : public SpreadsheetWorkbook {
public:
    explicit Workbook(std::shared_ptr<FileSystem> files)
        : files_(std::move(files))
    {
    }

    bool isOpen() const { return open_; }

    void putCell(int row, int column, std::string_view utf8)
    {
        requireOpen();
        cells_.put(row, column, utf8);
    }

    void saveAs(const std::filesystem::path& file) override
    {
        requireOpen();
        // Built, and so checked against the format's limits, before the file is touched.
        const Bytes stream = BuildWorkbookStream(cells_);
        SaveFileSafely(*files_, file, [&stream](ByteSink& out) { WriteCompoundFile(out, u"Workbook", stream); });
    }

    void close() override
    {
        requireOpen();
        open_ = false;
        cells_.clear();
    }

private:
    void requireOpen() const
    {
        if (!open_)
            throw SpreadsheetError("工作簿已关闭，不能再使用。");
    }

    const std::shared_ptr<FileSystem> files_;
    SheetCells cells_;
    bool open_ = true;
};

class Workbooks final : public SpreadsheetWorkbooks {
public:
    explicit Workbooks(std::shared_ptr<FileSystem> files)
        : files_(std::move(files))
    {
    }

    SpreadsheetWorkbook& add() override
    {
        books_.push_back(std::make_unique<Workbook>(files_));
        return *books_.back();
    }

    // The latest added workbook that is still open.
    Workbook* active() const
    {
        const auto open = std::find_if(books_.rbegin(), books_.rend(), [](const auto& book) { return book->isOpen(); });
        return open == books_.rend() ? nullptr : open->get();
    }

    void closeAll()
    {
        for (const auto& book : books_) {
            if (book->isOpen())
                book->close();
        }
    }

private:
    const std::shared_ptr<FileSystem> files_;
    std::vector<std::unique_ptr<Workbook>> books_;
};

class Application final : public SpreadsheetApplication {
public:
    explicit Application(std::shared_ptr<FileSystem> files)
        : workbooks_(std::move(files))
    {
    }

    SpreadsheetWorkbooks& workbooks() override
    {
        requireRunning();
        return workbooks_;
    }

    void putCell(int row, int column, std::string_view utf8) override
    {
        requireRunning();
        Workbook* const book = workbooks_.active();
        if (book == nullptr)
            throw SpreadsheetError("没有打开的工作簿，不能写入单元格。");
        book->putCell(row, column, utf8);
    }

    // Ends the application; open workbooks are closed without saving.
    void quit() override
    {
        requireRunning();
        workbooks_.closeAll();
        running_ = false;
    }

private:
    void requireRunning() const
    {
        if (!running_)
            throw SpreadsheetError("电子表格程序已退出。");
    }

    Workbooks workbooks_;
    bool running_ = true;
};

class SheetObject final : public SpreadsheetAutomationObject { };

bool SameClassName(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

SpreadsheetFactory BuiltInSpreadsheetFactory(std::shared_ptr<FileSystem> files)
{
    return [files = std::move(files)](std::string_view className) -> std::unique_ptr<SpreadsheetAutomationObject> {
        if (SameClassName(className, "excel.application"))
            return std::make_unique<Application>(files);
        if (SameClassName(className, "excel.sheet"))
            return std::make_unique<SheetObject>();
        return nullptr;
    };
}

} // namespace fenban
