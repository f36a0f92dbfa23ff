#include "io/XlsxTable.h"

#include "io/CellText.h"
#include "io/SheetBuilder.h"
#include "io/StringPool.h"
#include "io/TableProblem.h"
#include "io/ZipArchive.h"

#include <QIODevice>
#include <QStringList>
#include <QXmlStreamReader>
#include <charconv>
#include <cmath>
#include <exception>
#include <map>
#include <memory>
#include <set>

namespace fenban {

namespace {

using Reason = TableReadError::Reason;

[[noreturn]] void ThrowNotAWorkbook()
{
    throw TableProblem(Reason::NotATable, "不是Excel工作簿（.xlsx）");
}

// The bytes of a zip entry as a device that QXmlStreamReader pulls from, a
// piece at a time. A failure of the entry (corrupt, too large) ends the
// device's data and is kept to be thrown once the XML reader has stopped.
class EntryDevice final : public QIODevice {
public:
    explicit EntryDevice(std::unique_ptr<ZipArchive::Reader> reader)
        : reader_(std::move(reader))
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    // Throws what the entry failed with, if it did.
    void checkFailure() const
    {
        if (failure_)
            std::rethrow_exception(failure_);
    }
    // Reads what the XML reader left, so that the length and CRC are checked.
    void drain()
    {
        char rest[4096];
        while (readData(rest, sizeof rest) > 0) { }
        checkFailure();
    }

protected:
    qint64 readData(char* data, qint64 size) override
    {
        if (failure_)
            return -1;
        try {
            return static_cast<qint64>(reader_->read(data, static_cast<std::size_t>(size)));
        } catch (...) {
            failure_ = std::current_exception();
            return -1;
        }
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::unique_ptr<ZipArchive::Reader> reader_;
    std::exception_ptr failure_;
};

// One part (file) of the package, read as XML as it unpacks.
class Part {
public:
    Part(const ZipArchive& zip, const QString& name)
    {
        if (auto reader = zip.open(name.toStdString())) {
            device_ = std::make_unique<EntryDevice>(std::move(reader));
            xml_.setDevice(device_.get());
        }
    }
    bool found() const { return device_ != nullptr; }
    QXmlStreamReader& xml() { return xml_; }
    // Throws when the entry failed, the XML broke off or does not parse.
    void finish()
    {
        device_->checkFailure();
        if (xml_.hasError())
            ThrowCorrupt();
        device_->drain();
    }

private:
    std::unique_ptr<EntryDevice> device_;
    QXmlStreamReader xml_;
};

QString ResolveTarget(const QString& folder, const QString& target)
{
    QStringList parts = target.startsWith(u'/') ? QStringList() : folder.split(u'/', Qt::SkipEmptyParts);
    for (const QString& piece : target.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == QStringLiteral(".."))
            parts.isEmpty() ? void() : parts.removeLast();
        else if (piece != QStringLiteral("."))
            parts.append(piece);
    }
    return parts.join(u'/');
}

QString FolderOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash);
}

struct Relationship {
    QString type;
    QString target; // resolved to a part name
};

bool HasType(const QString& type, QStringView kind)
{
    return type.endsWith(QStringLiteral("/") + kind.toString());
}

bool HasType(const Relationship& relationship, QStringView kind)
{
    return HasType(relationship.type, kind);
}

// The kinds of parts the reader follows.
bool UsedType(const QString& type)
{
    return HasType(type, u"officeDocument") || HasType(type, u"worksheet") || HasType(type, u"sharedStrings");
}

// The relationships of a part, by id: _rels/<name>.rels beside it.
std::map<QString, Relationship> ReadRelationships(const ZipArchive& zip, const QString& part)
{
    const QString folder = FolderOf(part);
    const QString name = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    const QString prefix = folder.isEmpty() ? QString() : folder + QStringLiteral("/");
    Part rels(zip, prefix + QStringLiteral("_rels/") + name + QStringLiteral(".rels"));
    std::map<QString, Relationship> relationships;
    if (!rels.found())
        return relationships;
    QXmlStreamReader& xml = rels.xml();
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QStringLiteral("Relationship"))
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.value(QStringLiteral("TargetMode")) == QStringLiteral("External"))
            continue;
        const QString type = attributes.value(QStringLiteral("Type")).toString();
        if (!UsedType(type))
            continue;
        relationships[attributes.value(QStringLiteral("Id")).toString()]
            = {type, ResolveTarget(folder, attributes.value(QStringLiteral("Target")).toString())};
        // Besides the sheets a workbook has one shared-string part.
        if (relationships.size() > std::size_t {MaxWorkbookSheets} + 2)
            CheckSheetCount(relationships.size());
    }
    rels.finish();
    return relationships;
}

// The text of the <t> elements inside the current element (an <si> or <is>),
// phonetic runs (<rPh>) left out.
std::string InlineText(QXmlStreamReader& xml)
{
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QStringLiteral("t"))
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (xml.name() == QStringLiteral("rPh") || xml.name() == QStringLiteral("phoneticPr"))
                xml.skipCurrentElement();
            else
                ++depth;
        } else if (xml.isEndElement()) {
            --depth;
        }
    }
    return DecodeOoxmlEscapes(text.toStdString());
}

StringPool ReadSharedStrings(const ZipArchive& zip, const QString& name)
{
    StringPool strings;
    Part part(zip, name);
    if (!part.found())
        return strings;
    QXmlStreamReader& xml = part.xml();
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QStringLiteral("si"))
            strings.add(InlineText(xml));
    }
    part.finish();
    return strings;
}

// "BC12" as 0-based column and row; false when it is no cell reference.
bool ParseReference(QStringView reference, long long& column, long long& row)
{
    qsizetype i = 0;
    long long col = 0;
    while (i < reference.size() && reference[i] >= u'A' && reference[i] <= u'Z' && col <= 16384)
        col = col * 26 + (reference[i++].unicode() - u'A' + 1);
    long long number = 0;
    const qsizetype digits = i;
    while (i < reference.size() && reference[i] >= u'0' && reference[i] <= u'9' && number <= 1'048'576)
        number = number * 10 + (reference[i++].unicode() - u'0');
    if (col == 0 || i != reference.size() || (i > digits && number == 0))
        return false;
    column = col - 1;
    if (i > digits)
        row = number - 1;
    return true;
}

std::string NumberCellText(const std::string& value)
{
    double number = 0;
    const char* const end = value.data() + value.size();
    const auto [ptr, error] = std::from_chars(value.data(), end, number);
    if (error != std::errc() || ptr != end || !std::isfinite(number))
        return value;
    return GeneralNumberText(number);
}

std::string CellText(
    const QString& type, const std::string& value, const std::string& inlineText, const StringPool& shared)
{
    if (type == QStringLiteral("s")) {
        std::size_t index = 0;
        const auto [ptr, error] = std::from_chars(value.data(), value.data() + value.size(), index);
        if (error != std::errc() || ptr != value.data() + value.size() || index >= shared.size())
            ThrowCorrupt();
        return std::string(shared[index]);
    }
    if (type == QStringLiteral("inlineStr"))
        return inlineText;
    if (type == QStringLiteral("b"))
        return value == "1" ? "TRUE" : value == "0" ? "FALSE" : value;
    if (type == QStringLiteral("str"))
        return DecodeOoxmlEscapes(value);
    if (type == QStringLiteral("e") || type == QStringLiteral("d"))
        return value;
    return value.empty() ? value : NumberCellText(value);
}

// A row number as written (1-based) to 0-based; false when it is none.
bool ParseRowNumber(QStringView text, long long& row)
{
    long long number = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9' || number > 1'048'576)
            return false;
        number = number * 10 + (c.unicode() - u'0');
    }
    if (number < 1 || number > 1'048'576)
        return false;
    row = number - 1;
    return true;
}

TableSheet ReadSheet(
    std::string sheetName, const ZipArchive& zip, const QString& name, const StringPool& shared, CellBudget& budget)
{
    Part part(zip, name);
    if (!part.found())
        ThrowCorrupt();
    QXmlStreamReader& xml = part.xml();
    SheetBuilder sheet(budget);
    long long row = -1;
    long long column = -1;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QStringLiteral("row")) {
            const QStringView r = xml.attributes().value(QStringLiteral("r"));
            if (r.isEmpty())
                ++row;
            else if (!ParseRowNumber(r, row))
                ThrowCorrupt();
            column = -1;
        } else if (xml.name() == QStringLiteral("c")) {
            const QXmlStreamAttributes attributes = xml.attributes();
            const QStringView reference = attributes.value(QStringLiteral("r"));
            ++column;
            if (!reference.isEmpty() && !ParseReference(reference, column, row))
                ThrowCorrupt();
            if (row < 0)
                row = 0;
            const QString type = attributes.value(QStringLiteral("t")).toString();
            std::string value;
            std::string inlineText;
            while (xml.readNextStartElement()) {
                if (xml.name() == QStringLiteral("v"))
                    value = xml.readElementText().toStdString();
                else if (xml.name() == QStringLiteral("is"))
                    inlineText = InlineText(xml);
                else
                    xml.skipCurrentElement();
            }
            sheet.put(row, column, CellText(type, value, inlineText, shared));
        }
    }
    part.finish();
    return sheet.sheet(std::move(sheetName));
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string DecodeOoxmlEscapes(std::string text)
{
    std::size_t at = text.find("_x");
    if (at == std::string::npos)
        return text;
    std::string out = text.substr(0, at);
    while (at < text.size()) {
        if (text.compare(at, 2, "_x") == 0 && at + 7 <= text.size() && text[at + 6] == '_') {
            int code = 0;
            bool hex = true;
            for (std::size_t k = at + 2; k < at + 6; ++k) {
                const int digit = HexDigit(text[k]);
                hex = hex && digit >= 0;
                code = code * 16 + digit;
            }
            if (hex) {
                out += QString(QChar(static_cast<char16_t>(code))).toStdString();
                at += 7;
                continue;
            }
        }
        out += text[at++];
    }
    return out;
}

std::vector<TableSheet> ReadXlsxSheets(std::string_view bytes, SheetsWanted wanted)
{
    const ZipArchive zip(bytes);

    QString workbook = QStringLiteral("xl/workbook.xml");
    for (const auto& [id, relationship] : ReadRelationships(zip, QString())) {
        if (HasType(relationship, u"officeDocument"))
            workbook = relationship.target;
    }
    const std::map<QString, Relationship> relationships = ReadRelationships(zip, workbook);

    struct Listed {
        QString name;
        QString part;
    };
    std::vector<Listed> listed;
    {
        Part part(zip, workbook);
        if (!part.found())
            ThrowNotAWorkbook();
        QXmlStreamReader& xml = part.xml();
        std::set<QString> parts; // a sheet listed twice is read once
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement() || xml.name() != QStringLiteral("sheet"))
                continue;
            // r:id, whatever prefix the relationships namespace has.
            for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                if (attribute.name() != QStringLiteral("id") || attribute.namespaceUri().isEmpty())
                    continue;
                const auto found = relationships.find(attribute.value().toString());
                if (found == relationships.end() || !HasType(found->second, u"worksheet")
                    || !parts.insert(found->second.target).second)
                    continue;
                listed.push_back({xml.attributes().value(QStringLiteral("name")).toString(), found->second.target});
                CheckSheetCount(listed.size());
            }
        }
        part.finish();
    }
    if (listed.empty())
        ThrowNotAWorkbook();

    StringPool shared;
    for (const auto& [id, relationship] : relationships) {
        if (HasType(relationship, u"sharedStrings")) {
            shared = ReadSharedStrings(zip, relationship.target);
            break;
        }
    }
    CellBudget budget;
    std::vector<TableSheet> sheets;
    for (const Listed& sheet : listed) {
        sheets.push_back(ReadSheet(sheet.name.toStdString(), zip, sheet.part, shared, budget));
        if (wanted == SheetsWanted::FirstWithData && !sheets.back().rows.empty())
            break;
    }
    return sheets;
}

} // namespace fenban
