#include "io/ClassListPrint.h"

#include "common/Failure.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageRanges>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <algorithm>
#include <map>

namespace fenban {

namespace {

QFont ListFont(double points, bool bold)
{
    QFont font;
    // The first Chinese font the system has; Qt falls back further by itself.
    font.setFamilies(
        {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"), QStringLiteral("Microsoft YaHei"),
            QStringLiteral("PingFang SC"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// Where a picture lies: its page of the table and its top, in device units.
struct PicturePlace {
    int part = 0;
    double top = 0;
    double height = 0; // of the picture, its title line above it
};

// Where everything of one table lies, in device units before scaling.
struct TableLayout {
    std::vector<double> widths;
    double scale = 1; // applied to the painter when the columns are too wide
    int rowsPerPage = 1;
    int rowPages = 1; // pages with rows; the pictures may need more
    int pages = 1;
    std::vector<PicturePlace> pictures;
};

class Painter {
public:
    explicit Painter(QPagedPaintDevice& device)
        : device_(device)
        , body_(ListFont(10, false))
        , bold_(ListFont(10, true))
        , title_(ListFont(13, true))
        , foot_(ListFont(8, false))
    {
    }

    TableLayout layout(const OutputTable& table, const std::vector<OutputPicture>& pictures) const
    {
        TableLayout layout;
        const QFontMetricsF body(body_, &device_);
        const QFontMetricsF bold(bold_, &device_);
        const double padding = body.height() * 0.6;
        const auto widen = [&](std::size_t column, double width) {
            if (layout.widths.size() <= column)
                layout.widths.resize(column + 1, 0);
            layout.widths[column] = std::max(layout.widths[column], width + padding);
        };
        for (std::size_t c = 0; c < table.header.size(); ++c)
            widen(c, bold.horizontalAdvance(Text(table.header[c])));
        for (const auto& row : table.rows) {
            for (std::size_t c = 0; c < row.size(); ++c)
                widen(c, body.horizontalAdvance(Text(CellText(row[c]))));
        }
        double total = 0;
        for (const double width : layout.widths)
            total += width;
        layout.scale = total > device_.width() ? device_.width() / total : 1.0;
        const double height = device_.height() / layout.scale;
        const double free = height - titleHeight() - rowHeight() - footHeight();
        layout.rowsPerPage = std::max(1, static_cast<int>(free / rowHeight()));
        const auto rows = static_cast<int>(table.rows.size());
        layout.rowPages = layout.pages = std::max(1, (rows + layout.rowsPerPage - 1) / layout.rowsPerPage);
        // The pictures follow the rows, each on the page where it fits whole.
        const int lastRows = rows - (layout.rowPages - 1) * layout.rowsPerPage;
        double top = (titleHeight() + rowHeight() * (2 + lastRows)) * layout.scale;
        const double bottom = device_.height() - footHeight();
        for (const OutputPicture& picture : pictures) {
            const double tall = titleHeight() + std::min(device_.width() * picture.aspect, bottom - titleHeight() * 2);
            if (top + tall > bottom) {
                ++layout.pages;
                top = titleHeight();
            }
            layout.pictures.push_back({layout.pages - 1, top, tall});
            top += tall;
        }
        return layout;
    }

    int paint(std::span<const OutputTable> tables, const TablePictures& pictures)
    {
        const std::vector<OutputPicture> none;
        const auto picturesOf = [&](std::size_t t) -> const std::vector<OutputPicture>& {
            return t < pictures.size() ? pictures[t] : none;
        };
        std::vector<TableLayout> layouts;
        int pageCount = 0;
        for (std::size_t t = 0; t < tables.size(); ++t) {
            layouts.push_back(layout(tables[t], picturesOf(t)));
            pageCount += layouts.back().pages;
        }
        const QPageRanges ranges = device_.pageRanges();
        QPainter painter;
        bool begun = false;
        int page = 0;
        for (std::size_t t = 0; t < tables.size(); ++t) {
            for (int part = 0; part < layouts[t].pages; ++part) {
                ++page;
                if (!ranges.isEmpty() && !ranges.contains(page))
                    continue;
                if (!begun) {
                    if (!painter.begin(&device_))
                        throw Failure("不能开始打印：打印机或文件不可用。");
                    begun = true;
                } else if (!device_.newPage()) {
                    throw Failure("不能开始新的一页：打印机或文件不可用。");
                }
                paintPage(painter, tables[t], picturesOf(t), layouts[t], part, page, pageCount);
            }
        }
        if (begun && !painter.end())
            throw Failure("打印没有完成。");
        return pageCount;
    }

private:
    double rowHeight() const { return QFontMetricsF(body_, &device_).height() * 1.5; }
    double titleHeight() const { return QFontMetricsF(title_, &device_).height() * 1.8; }
    double footHeight() const { return QFontMetricsF(foot_, &device_).height() * 2; }

    void paintPage(QPainter& painter, const OutputTable& table, const std::vector<OutputPicture>& pictures,
        const TableLayout& layout, int part, int page, int pageCount) const
    {
        if (part < layout.rowPages)
            paintRows(painter, table, layout, part);
        else
            paintTitle(painter, table, device_.width(), true);
        for (std::size_t p = 0; p < pictures.size(); ++p) {
            const PicturePlace& place = layout.pictures[p];
            if (place.part != part)
                continue;
            const OutputPicture& picture = pictures[p];
            painter.save();
            painter.setFont(bold_);
            painter.drawText(QRectF(0, place.top, device_.width(), titleHeight()), Qt::AlignLeft | Qt::AlignVCenter,
                Text(picture.title));
            const QRectF box(0, place.top + titleHeight(), device_.width(), place.height - titleHeight());
            painter.setClipRect(box);
            picture.paint(painter, box);
            painter.restore();
        }
        painter.save();
        painter.setPen(Qt::black);
        painter.setFont(foot_);
        painter.drawText(QRectF(0, device_.height() - footHeight(), device_.width(), footHeight()),
            Qt::AlignHCenter | Qt::AlignBottom, QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(pageCount));
        painter.restore();
    }

    void paintTitle(QPainter& painter, const OutputTable& table, double width, bool continued) const
    {
        painter.setFont(title_);
        QString title = Text(table.title.empty() ? table.name : table.title);
        if (continued)
            title += QStringLiteral("（续）");
        painter.drawText(QRectF(0, 0, width, titleHeight()), Qt::AlignLeft | Qt::AlignVCenter, title);
    }

    void paintRows(QPainter& painter, const OutputTable& table, const TableLayout& layout, int part) const
    {
        painter.save();
        painter.scale(layout.scale, layout.scale);
        const double width = device_.width() / layout.scale;
        double tableWidth = 0;
        for (const double w : layout.widths)
            tableWidth += w;

        paintTitle(painter, table, width, part > 0);

        const double row = rowHeight();
        const double pad = QFontMetricsF(body_, &device_).height() * 0.3;
        double y = titleHeight();
        const QPen thin(QColor(0x80, 0x80, 0x80), 0);
        painter.fillRect(QRectF(0, y, tableWidth, row), QColor(0xE8, 0xE8, 0xE8));
        painter.setFont(bold_);
        double x = 0;
        for (std::size_t c = 0; c < layout.widths.size(); ++c) {
            const QString text = c < table.header.size() ? Text(table.header[c]) : QString();
            painter.drawText(QRectF(x, y, layout.widths[c], row), Qt::AlignCenter, text);
            x += layout.widths[c];
        }
        y += row;
        painter.setFont(body_);
        const std::size_t first = static_cast<std::size_t>(part) * static_cast<std::size_t>(layout.rowsPerPage);
        const std::size_t last = std::min(table.rows.size(), first + static_cast<std::size_t>(layout.rowsPerPage));
        for (std::size_t r = first; r < last; ++r) {
            x = 0;
            for (std::size_t c = 0; c < layout.widths.size(); ++c) {
                if (c < table.rows[r].size()) {
                    const OutputCell& cell = table.rows[r][c];
                    const bool number = std::holds_alternative<double>(cell);
                    DrawCopyableText(painter, QRectF(x + pad, y, layout.widths[c] - 2 * pad, row),
                        (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, Text(CellText(cell)));
                }
                x += layout.widths[c];
            }
            y += row;
        }
        // The grid: a line under every row, one between every two columns.
        painter.setPen(thin);
        const double top = titleHeight();
        for (double lineY = top; lineY <= y + 0.5; lineY += row)
            painter.drawLine(QPointF(0, lineY), QPointF(tableWidth, lineY));
        x = 0;
        painter.drawLine(QPointF(0, top), QPointF(0, y));
        for (const double w : layout.widths) {
            x += w;
            painter.drawLine(QPointF(x, top), QPointF(x, y));
        }
        painter.restore();
    }

    QPagedPaintDevice& device_;
    QFont body_;
    QFont bold_;
    QFont title_;
    QFont foot_;
};

// Qt's PDF writer maps every glyph to the lowest code point that shows it,
// and CJK fonts show a radical (U+2E80..U+2FDF) with the glyph of the
// character it comes from: 女 would be copied as ⼥ (KANGXI RADICAL WOMAN),
// 黄 as ⻩. The characters the tables use put such entries of the PDF's
// ToUnicode maps right; both are four hex digits, so no offset moves.
void MapRadicalsToTheirCharacters(QByteArray& pdf, std::span<const OutputTable> tables)
{
    QString drawn = QStringLiteral("（续）第页共");
    for (const OutputTable& table : tables) {
        drawn += Text(table.title) + Text(table.name);
        for (const std::string& text : table.header)
            drawn += Text(text);
        for (const auto& row : table.rows) {
            for (const OutputCell& cell : row) {
                if (const auto* text = std::get_if<std::string>(&cell))
                    drawn += Text(*text);
            }
        }
    }
    std::map<char16_t, char16_t> replacement;
    for (const bool bold : {false, true}) {
        const QRawFont font = QRawFont::fromFont(ListFont(10, bold));
        std::map<quint32, char16_t> radicals; // glyph -> radical
        for (char16_t u = 0x2E80; u <= 0x2FDF; ++u) {
            const QList<quint32> glyph = font.glyphIndexesForString(QString(QChar(u)));
            if (glyph.size() == 1 && glyph[0] != 0)
                radicals.emplace(glyph[0], u);
        }
        for (const QChar c : std::as_const(drawn)) {
            if (c.unicode() < 0x3000 || c.isSurrogate())
                continue;
            const QList<quint32> glyph = font.glyphIndexesForString(QString(c));
            const auto found = glyph.size() == 1 ? radicals.find(glyph[0]) : radicals.end();
            if (found != radicals.end() && !drawn.contains(QChar(found->second)))
                replacement.emplace(found->second, c.unicode());
        }
    }
    if (replacement.empty())
        return;
    const QByteArray start = QByteArrayLiteral("/CMapName /Adobe-Identity-UCS");
    for (qsizetype at = pdf.indexOf(start); at >= 0; at = pdf.indexOf(start, at)) {
        const qsizetype end = pdf.indexOf(QByteArrayLiteral("endstream"), at);
        if (end < 0)
            break;
        for (qsizetype k = at; k + 6 <= end; ++k) {
            if (pdf[k] != '<' || pdf[k + 5] != '>')
                continue;
            bool hex = false;
            const auto code = static_cast<char16_t>(pdf.mid(k + 1, 4).toUInt(&hex, 16));
            const auto found = hex ? replacement.find(code) : replacement.end();
            if (found != replacement.end())
                pdf.replace(k + 1, 4, QByteArray::number(found->second, 16).toUpper().rightJustified(4, '0'));
        }
        at = end;
    }
}

std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace

QPageLayout ClassListPageLayout()
{
    return QPageLayout(
        QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
}

int PaintTables(QPagedPaintDevice& device, std::span<const OutputTable> tables, const TablePictures& pictures)
{
    return Painter(device).paint(tables, pictures);
}

void WriteTablesPdf(FileSystem& files, const std::filesystem::path& file, std::span<const OutputTable> tables,
    const TablePictures& pictures)
{
    // The pictures' titles are drawn text too: one more table of them, for the PDF's text maps.
    std::vector<OutputTable> drawn(tables.begin(), tables.end());
    OutputTable& titles = drawn.emplace_back();
    for (const std::vector<OutputPicture>& below : pictures)
        for (const OutputPicture& picture : below)
            titles.header.push_back(picture.title);
    WritePaintedPdf(
        files, file, QStringLiteral("班级名单"), [&](QPagedPaintDevice& pdf) { PaintTables(pdf, tables, pictures); },
        drawn);
}

void ExportClassListsPdf(const std::filesystem::path& file, const DivisionTables& tables)
{
    const std::vector<OutputTable> printed = PrintedTables(tables);
    WriteTablesPdf(*DiskFileSystem(), file, printed);
}

void DrawCopyableText(QPainter& painter, const QRectF& box, int flags, const QString& text)
{
    const bool mixed = std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); })
        && std::any_of(text.begin(), text.end(), [](QChar c) { return !c.isDigit(); });
    if (!mixed) {
        painter.drawText(box, flags, text);
        return;
    }
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double width = metrics.horizontalAdvance(text);
    double x = (flags & Qt::AlignRight) != 0 ? box.right() - width
        : (flags & Qt::AlignHCenter) != 0    ? box.left() + (box.width() - width) / 2
                                             : box.left();
    const int vertical = flags & Qt::AlignVertical_Mask;
    for (qsizetype at = 0; at < text.size();) {
        const bool digits = text[at].isDigit();
        qsizetype end = at;
        while (end < text.size() && text[end].isDigit() == digits)
            ++end;
        const QString part = text.mid(at, end - at);
        const double advance = metrics.horizontalAdvance(part);
        // Any letter spacing turns ligatures off: "ff" in a fingerprint must
        // copy out of the PDF as two letters, not as one ligature character.
        const QFont font = painter.font();
        QFont unligated = font;
        unligated.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
        painter.setFont(unligated);
        painter.drawText(
            QRectF(x, box.top(), advance + metrics.averageCharWidth(), box.height()), Qt::AlignLeft | vertical, part);
        painter.setFont(font);
        x += advance;
        at = end;
    }
}

QFont ClassListFont(double points, bool bold)
{
    return ListFont(points, bold);
}

void WritePaintedPdf(FileSystem& files, const std::filesystem::path& file, const QString& title,
    const std::function<void(QPagedPaintDevice&)>& paint, std::span<const OutputTable> drawn)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPageLayout(ClassListPageLayout());
        pdf.setResolution(600);
        pdf.setTitle(title);
        pdf.setCreator(QStringLiteral("均衡分班"));
        try {
            paint(pdf);
        } catch (const Failure&) {
            throw WriteError("不能保存文件“" + Utf8(file) + "”：不能生成PDF。");
        }
    }
    QByteArray bytes = buffer.data();
    MapRadicalsToTheirCharacters(bytes, drawn);
    SaveFileSafely(files, file, [&bytes](ByteSink& out) {
        out.write(std::span(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
    });
}

} // namespace fenban
