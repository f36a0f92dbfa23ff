#include "io/PublicOutputs.h"

#include "audit/NoticeNames.h"
#include "audit/TeacherDraw.h"
#include "common/Failure.h"
#include "io/ClassListPrint.h"
#include "io/WorkbookFile.h"
#include "roster/Gb18030.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <unordered_map>
#include <xlsxwriter.h>

namespace fenban {

namespace {

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

const std::string& TeacherOf(const std::vector<std::string>& teachers, std::size_t classIndex)
{
    static const std::string none;
    return classIndex < teachers.size() ? teachers[classIndex] : none;
}

// Everything drawn or written around the tables, in order: heading, title
// (per table), footer lines, signature line.
std::vector<std::string> Around(const NoticeOptions& options)
{
    std::vector<std::string> lines {options.heading};
    for (const std::string& line : NoticeFooter(options))
        lines.push_back(line);
    if (options.signatures)
        lines.push_back(NoticeSignatureLine());
    return lines;
}

// How one class goes on its pages: in one or two blocks of rows side by side,
// its type scaled down so that a class of up to 60 fits on one A4 page.
struct NoticeLayout {
    int blocks = 1;
    double scale = 1.0;
    int rowsPerBlock = 1;
    int pages = 1;
};

class NoticePainter {
public:
    NoticePainter(QPagedPaintDevice& device, const NoticeOptions& options)
        : device_(device)
        , lines_(Around(options))
        , heading_(ClassListFont(15, true))
        , title_(ClassListFont(12, true))
        , small_(ClassListFont(9, false))
    {
    }

    void paint(std::span<const OutputTable> tables)
    {
        std::vector<NoticeLayout> layouts;
        int pageCount = 0;
        for (const OutputTable& table : tables) {
            layouts.push_back(layoutOf(table.rows.size()));
            pageCount += layouts.back().pages;
        }
        QPainter painter;
        if (!painter.begin(&device_))
            throw Failure("不能开始打印：打印机或文件不可用。");
        int page = 0;
        for (std::size_t t = 0; t < tables.size(); ++t) {
            for (int part = 0; part < layouts[t].pages; ++part) {
                if (page > 0 && !device_.newPage())
                    throw Failure("不能开始新的一页：打印机或文件不可用。");
                ++page;
                paintPage(painter, tables[t], layouts[t], part);
                painter.setFont(small_);
                painter.drawText(QRectF(0, device_.height() - footHeight(), device_.width(), footHeight()),
                    Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(pageCount));
            }
        }
        if (!painter.end())
            throw Failure("打印没有完成。");
    }

private:
    static constexpr int FittedRows = 60; // a class of this size stays on one page
    static constexpr double BodyPoints = 11;
    static constexpr double SmallestScale = 0.7;

    double height(const QFont& font, double factor) const { return QFontMetricsF(font, &device_).height() * factor; }
    QFont body(double scale) const { return ClassListFont(BodyPoints * scale, false); }
    QFont bold(double scale) const { return ClassListFont(BodyPoints * scale, true); }
    double rowHeight(double scale) const { return height(body(scale), 1.6); }
    double footHeight() const { return height(small_, 2); }
    double headHeight() const { return height(heading_, 1.8) + height(title_, 1.8); }
    double blockHeight() const { return height(small_, 1.5) * static_cast<double>(lines_.size() + 1); }
    double blockGap() const { return height(small_, 1.5); }

    int rowsPerPage(double scale) const
    {
        const double free = device_.height() - headHeight() - rowHeight(scale) - blockHeight() - footHeight();
        return std::max(1, static_cast<int>(free / rowHeight(scale)));
    }

    NoticeLayout layoutOf(std::size_t rows) const
    {
        const auto count = static_cast<int>(rows);
        NoticeLayout layout;
        layout.rowsPerBlock = rowsPerPage(1.0);
        if (count > layout.rowsPerBlock) {
            layout.blocks = 2;
            const int wanted = (std::min(count, FittedRows) + 1) / 2;
            while (rowsPerPage(layout.scale) < wanted && layout.scale > SmallestScale + 1e-9)
                layout.scale -= 0.05;
            layout.rowsPerBlock = rowsPerPage(layout.scale);
        }
        const int perPage = layout.blocks * layout.rowsPerBlock;
        layout.pages = std::max(1, (count + perPage - 1) / perPage);
        return layout;
    }

    std::vector<double> widths(const OutputTable& table, double scale, double span) const
    {
        const QFontMetricsF bodyMetrics(body(scale), &device_);
        const QFontMetricsF boldMetrics(bold(scale), &device_);
        const double padding = bodyMetrics.height() * 1.2;
        std::vector<double> widths(table.header.size(), 0);
        for (std::size_t c = 0; c < table.header.size(); ++c)
            widths[c] = boldMetrics.horizontalAdvance(Text(table.header[c])) + padding;
        for (const auto& row : table.rows) {
            for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c)
                widths[c] = std::max(widths[c], bodyMetrics.horizontalAdvance(Text(CellText(row[c]))) + padding);
        }
        double total = 0;
        for (const double w : widths)
            total += w;
        for (double& w : widths)
            w *= span / std::max(total, 1.0); // the block spans its share of the page
        return widths;
    }

    // One block of rows [first, end) at left, header first; returns its bottom.
    double paintBlock(QPainter& painter, const OutputTable& table, const std::vector<double>& columns, double scale,
        double left, double top, std::size_t first, std::size_t end) const
    {
        const double row = rowHeight(scale);
        double span = 0;
        for (const double w : columns)
            span += w;
        double y = top;
        painter.setPen(Qt::black);
        painter.fillRect(QRectF(left, y, span, row), QColor(0xE8, 0xE8, 0xE8));
        painter.setFont(bold(scale));
        double x = left;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            painter.drawText(QRectF(x, y, columns[c], row), Qt::AlignCenter, Text(table.header[c]));
            x += columns[c];
        }
        y += row;
        painter.setFont(body(scale));
        for (std::size_t r = first; r < end; ++r) {
            x = left;
            for (std::size_t c = 0; c < columns.size() && c < table.rows[r].size(); ++c) {
                DrawCopyableText(
                    painter, QRectF(x, y, columns[c], row), Qt::AlignCenter, Text(CellText(table.rows[r][c])));
                x += columns[c];
            }
            y += row;
        }
        painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 0));
        for (double lineY = top; lineY <= y + 0.5; lineY += row)
            painter.drawLine(QPointF(left, lineY), QPointF(left + span, lineY));
        x = left;
        painter.drawLine(QPointF(left, top), QPointF(left, y));
        for (const double w : columns) {
            x += w;
            painter.drawLine(QPointF(x, top), QPointF(x, y));
        }
        return y;
    }

    void paintPage(QPainter& painter, const OutputTable& table, const NoticeLayout& layout, int part) const
    {
        const double width = device_.width();
        double y = 0;
        painter.setPen(Qt::black);
        painter.setFont(heading_);
        painter.drawText(QRectF(0, y, width, height(heading_, 1.8)), Qt::AlignCenter, Text(lines_.front()));
        y += height(heading_, 1.8);
        painter.setFont(title_);
        QString title = Text(table.title);
        if (part > 0)
            title += QStringLiteral("（续）");
        painter.drawText(QRectF(0, y, width, height(title_, 1.8)), Qt::AlignLeft | Qt::AlignVCenter, title);
        y += height(title_, 1.8);

        const double blockWidth = (width - blockGap() * (layout.blocks - 1)) / layout.blocks;
        const std::vector<double> columns = widths(table, layout.scale, blockWidth);
        const auto perBlock = static_cast<std::size_t>(layout.rowsPerBlock);
        const std::size_t pageFirst
            = static_cast<std::size_t>(part) * perBlock * static_cast<std::size_t>(layout.blocks);
        const std::size_t pageEnd
            = std::min(table.rows.size(), pageFirst + perBlock * static_cast<std::size_t>(layout.blocks));
        // The rows of the page shared evenly between its blocks, the left one taking the odd row.
        const std::size_t leftRows = layout.blocks == 1 ? pageEnd - pageFirst : (pageEnd - pageFirst + 1) / 2;
        double bottom = paintBlock(painter, table, columns, layout.scale, 0, y, pageFirst, pageFirst + leftRows);
        if (layout.blocks == 2 && pageFirst + leftRows < pageEnd)
            paintBlock(
                painter, table, columns, layout.scale, blockWidth + blockGap(), y, pageFirst + leftRows, pageEnd);
        if (part + 1 < layout.pages)
            return;
        painter.setPen(Qt::black);
        painter.setFont(small_);
        bottom += height(small_, 1.5);
        for (std::size_t k = 1; k < lines_.size(); ++k) {
            DrawCopyableText(painter, QRectF(0, bottom, width, height(small_, 1.5)), Qt::AlignLeft | Qt::AlignVCenter,
                Text(lines_[k]));
            bottom += height(small_, 1.5);
        }
    }

    QPagedPaintDevice& device_;
    std::vector<std::string> lines_; // the heading, then the lines under a class's table
    QFont heading_;
    QFont title_;
    QFont small_;
};

} // namespace

OutputTable RecordTable(const OperationRecord& record)
{
    OutputTable table {"操作记录", "操作记录", {"序号", "时间", "操作", "内容"}, {}};
    for (const RecordEntry& entry : record.entries()) {
        table.rows.push_back({static_cast<double>(table.rows.size() + 1), RecordTimeText(entry.time),
            std::string(RecordKindName(entry.kind)), entry.text});
    }
    return table;
}

std::vector<OutputTable> PrintedTablesWithRecord(const DivisionTables& tables, const OperationRecord& record)
{
    std::vector<OutputTable> printed = PrintedTables(tables);
    if (!record.empty())
        printed.push_back(RecordTable(record));
    return printed;
}

void AddTeachersToTitles(DivisionTables& tables, const std::vector<std::string>& teachers)
{
    for (std::size_t k = 0; k < tables.classes.size(); ++k) {
        const std::string& teacher = TeacherOf(teachers, k);
        if (!teacher.empty())
            tables.classes[k].title += "　班主任：" + teacher;
    }
}

std::vector<OutputTable> NoticeTables(const DivisionState& state, const std::vector<std::string>& teachers,
    const NoticeOptions& options, const ClassSetup& classNames)
{
    std::vector<std::size_t> posted;
    for (const std::size_t c : options.extraColumns)
        if (c < state.ExtraTexts.headers.size())
            posted.push_back(c);
    std::unordered_map<const TStudent*, std::size_t> recordOf;
    if (!posted.empty())
        for (std::size_t r = 0; r < state.Records.size(); ++r)
            recordOf.emplace(state.Records[r].get(), r);
    std::vector<OutputTable> tables;
    for (std::size_t k = 0; k < state.FClasses.size(); ++k) {
        const TStudentList& members = state.FClasses[k];
        const std::string& teacher = TeacherOf(teachers, k);
        const int classNo = static_cast<int>(k) + 1;
        const std::string name = ClassNameOr(classNames, classNo, {});
        OutputTable table {name.empty() ? std::to_string(classNo) + "班" : name,
            (name.empty() ? std::string() : name + "　") + ClassTitleWithTeacher(classNo, teacher) + "　共 "
                + std::to_string(members.size()) + " 人",
            {"序号", "姓名", "性别"}, {}};
        for (const std::size_t c : posted)
            table.header.push_back(state.ExtraTexts.headers[c]); // the teacher stands once, in the title
        std::vector<std::string> names;
        for (const TStudent* student : members)
            names.push_back(Gb18030ToUtf8(student->Name));
        std::vector<std::size_t> order(members.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        if (options.order == NoticeOrder::Name)
            order = OrderByName(names);
        for (const std::size_t i : order) {
            std::vector<OutputCell> row {static_cast<double>(table.rows.size() + 1),
                options.maskNames ? MaskName(names[i]) : names[i], Gb18030ToUtf8(members[i]->Gender.view())};
            for (const std::size_t c : posted)
                row.emplace_back(std::string(state.ExtraTexts.text(recordOf.at(members[i]), c)));
            table.rows.push_back(std::move(row));
        }
        tables.push_back(std::move(table));
    }
    return tables;
}

bool PostedByDefault(std::string_view header)
{
    static constexpr std::string_view Private[]
        = {"序号", "身份证", "证件", "电话", "手机", "住址", "地址", "家长", "监护人", "备注"};
    return std::none_of(std::begin(Private), std::end(Private),
        [header](std::string_view word) { return header.find(word) != std::string_view::npos; });
}

std::vector<std::size_t> DefaultPostedColumns(const RosterExtraTexts& extras)
{
    std::vector<std::size_t> columns;
    for (std::size_t c = 0; c < extras.headers.size(); ++c)
        if (PostedByDefault(extras.headers[c]))
            columns.push_back(c);
    return columns;
}

std::vector<std::string> NoticeFooter(const NoticeOptions& options)
{
    std::vector<std::string> lines;
    if (!options.earlierFingerprint.empty())
        lines.push_back("变更前结果指纹（SHA-256）：" + options.earlierFingerprint);
    if (!options.resultFingerprint.empty())
        lines.push_back((options.earlierFingerprint.empty() ? "结果指纹（SHA-256）：" : "变更后结果指纹（SHA-256）：")
            + options.resultFingerprint);
    if (!options.seedText.empty())
        lines.push_back("种子：" + options.seedText);
    if (options.date.isValid())
        lines.push_back("日期：" + NoticeDateText(options.date));
    return lines;
}

std::string NoticeDateText(const QDate& date)
{
    return std::to_string(date.year()) + "年" + std::to_string(date.month()) + "月" + std::to_string(date.day()) + "日";
}

std::string NoticeSignatureLine()
{
    return "监督人：＿＿＿＿＿＿　　经办人：＿＿＿＿＿＿　　日期：＿＿＿＿＿＿";
}

void WriteNoticePdf(FileSystem& files, const std::filesystem::path& file, std::span<const OutputTable> tables,
    const NoticeOptions& options)
{
    std::vector<OutputTable> drawn(tables.begin(), tables.end());
    drawn.push_back({"", "", Around(options), {}});
    WritePaintedPdf(
        files, file, QStringLiteral("公示名单"),
        [&](QPagedPaintDevice& device) { NoticePainter(device, options).paint(tables); }, drawn);
}

void WriteNoticeWorkbook(FileSystem& files, const std::filesystem::path& file, std::span<const OutputTable> tables,
    const NoticeOptions& options)
{
    const std::vector<std::string> lines = Around(options);
    WriteXlsxWith(files, file, [&](lxw_workbook* workbook) {
        const auto check = [&file](lxw_error error) { CheckXlsxError(error, file); };
        lxw_format* const bold = workbook_add_format(workbook);
        format_set_bold(bold);
        lxw_format* const heading = workbook_add_format(workbook);
        format_set_bold(heading);
        format_set_font_size(heading, 14);
        for (std::size_t k = 0; k < tables.size(); ++k) {
            const OutputTable& table = tables[k];
            lxw_worksheet* const sheet = workbook_add_worksheet(workbook, table.name.c_str());
            if (sheet == nullptr)
                check(LXW_ERROR_SHEETNAME_ALREADY_USED);
            check(worksheet_write_string(sheet, 0, 0, lines.front().c_str(), heading));
            check(worksheet_write_string(sheet, 1, 0, table.title.c_str(), bold));
            std::vector<int> widths(table.header.size(), 0);
            for (std::size_t c = 0; c < table.header.size(); ++c) {
                check(worksheet_write_string(sheet, 2, static_cast<lxw_col_t>(c), table.header[c].c_str(), bold));
                widths[c] = DisplayWidth(table.header[c]);
            }
            lxw_row_t row = 3;
            for (const auto& cells : table.rows) {
                for (std::size_t c = 0; c < cells.size() && c < widths.size(); ++c) {
                    const auto column = static_cast<lxw_col_t>(c);
                    if (const auto* text = std::get_if<std::string>(&cells[c]))
                        check(worksheet_write_string(sheet, row, column, text->c_str(), nullptr));
                    else
                        check(worksheet_write_number(sheet, row, column, std::get<double>(cells[c]), nullptr));
                    widths[c] = std::max(widths[c], DisplayWidth(CellText(cells[c])));
                }
                ++row;
            }
            ++row;
            for (std::size_t k2 = 1; k2 < lines.size(); ++k2)
                check(worksheet_write_string(sheet, row++, 0, lines[k2].c_str(), nullptr));
            for (std::size_t c = 0; c < widths.size(); ++c) {
                const auto column = static_cast<lxw_col_t>(c);
                check(worksheet_set_column(sheet, column, column, widths[c] + 4.0, nullptr));
            }
            check(worksheet_repeat_rows(sheet, 2, 2));
            worksheet_set_paper(sheet, 9); // A4
            worksheet_set_portrait(sheet);
            worksheet_fit_to_pages(sheet, 1, 0);
        }
    });
}

} // namespace fenban
