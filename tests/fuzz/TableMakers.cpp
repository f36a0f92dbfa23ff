#include "TableMakers.h"

#include "common/ByteSink.h"
#include "xls/CompoundFile.h"

#include <span>
#include <zlib.h>

namespace fenban::testkit {

namespace {

class StringSink final : public ByteSink {
public:
    void write(std::span<const std::uint8_t> bytes) override { text.append(bytes.begin(), bytes.end()); }
    std::string text;
};

// Packs content on a fresh stream: the blocks refer to nothing before them,
// so packed pieces can be put one after another.
std::string Pack(const std::string& content, int flush)
{
    z_stream stream {};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(content.size())) + 16, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data()));
    stream.avail_in = static_cast<uInt>(content.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, flush);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::uint32_t Crc(const std::string& text)
{
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
}

} // namespace

std::string LittleEndian(std::uint64_t value, int size)
{
    std::string bytes;
    for (int k = 0; k < size; ++k)
        bytes += static_cast<char>((value >> (8 * k)) & 0xFF);
    return bytes;
}

std::string Deflated(const std::string& content)
{
    return Pack(content, Z_FINISH);
}

std::string DeflatedRepeats(
    const std::string& before, const std::string& chunk, std::uint64_t count, const std::string& after)
{
    std::string out = Pack(before, Z_FULL_FLUSH);
    const std::string packed = Pack(chunk, Z_FULL_FLUSH);
    out.reserve(out.size() + packed.size() * count + 64);
    for (std::uint64_t k = 0; k < count; ++k)
        out += packed;
    return out + Pack(after, Z_FINISH);
}

std::uint32_t Crc32OfRepeats(
    const std::string& before, const std::string& chunk, std::uint64_t count, const std::string& after)
{
    uLong crc = Crc(before);
    const uLong one = Crc(chunk);
    for (std::uint64_t k = 0; k < count; ++k)
        crc = crc32_combine(crc, one, static_cast<z_off_t>(chunk.size()));
    return static_cast<std::uint32_t>(crc32_combine(crc, Crc(after), static_cast<z_off_t>(after.size())));
}

ZipEntry PackedPart(const ZipPart& part, bool deflate)
{
    return {part.name, deflate ? Deflated(part.content) : part.content, deflate, Crc(part.content),
        static_cast<std::uint32_t>(part.content.size())};
}

std::string ZipOf(const std::vector<ZipEntry>& entries)
{
    std::string local;
    std::string central;
    for (const ZipEntry& entry : entries) {
        const std::string fields = LittleEndian(entry.deflated ? 8 : 0, 2) + LittleEndian(0, 4)
            + LittleEndian(entry.crc, 4) + LittleEndian(entry.packed.size(), 4) + LittleEndian(entry.size, 4)
            + LittleEndian(entry.name.size(), 2) + LittleEndian(0, 2);
        central += "PK\x01\x02" + LittleEndian(20, 2) + LittleEndian(20, 2) + LittleEndian(0, 2) + fields
            + LittleEndian(0, 2) + LittleEndian(0, 2) + LittleEndian(0, 2) + LittleEndian(0, 4)
            + LittleEndian(local.size(), 4) + entry.name;
        local += "PK\x03\x04" + LittleEndian(20, 2) + LittleEndian(0, 2) + fields + entry.name + entry.packed;
    }
    return local + central + "PK\x05\x06" + LittleEndian(0, 4) + LittleEndian(entries.size(), 2)
        + LittleEndian(entries.size(), 2) + LittleEndian(central.size(), 4) + LittleEndian(local.size(), 4)
        + LittleEndian(0, 2);
}

std::string Zip(const std::vector<ZipPart>& parts, bool deflate)
{
    std::vector<ZipEntry> entries;
    for (const ZipPart& part : parts)
        entries.push_back(PackedPart(part, deflate));
    return ZipOf(entries);
}

std::string WorkbookXml(const std::vector<std::size_t>& listing)
{
    std::string xml = R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
                      R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>)";
    for (std::size_t j = 0; j < listing.size(); ++j) {
        xml += "<sheet name=\"S" + std::to_string(j + 1) + "\" sheetId=\"" + std::to_string(j + 1) + "\" r:id=\"rId"
            + std::to_string(listing[j] + 1) + "\"/>";
    }
    return xml + "</sheets></workbook>";
}

std::string WorkbookRelationshipsXml(std::size_t count)
{
    const std::string type = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::string xml = R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    for (std::size_t k = 0; k < count; ++k) {
        xml += "<Relationship Id=\"rId" + std::to_string(k + 1) + "\" Type=\"" + type
            + "worksheet\" Target=\"worksheets/sheet" + std::to_string(k + 1) + ".xml\"/>";
    }
    return xml + "<Relationship Id=\"rIdS\" Type=\"" + type + "sharedStrings\" Target=\"sharedStrings.xml\"/>"
        + "</Relationships>";
}

std::string Xlsx(const std::vector<std::string>& sheets, const std::string& sharedStrings, bool deflate)
{
    std::vector<std::size_t> listing;
    std::vector<ZipPart> parts {{"xl/workbook.xml", ""}, {"xl/_rels/workbook.xml.rels", ""}};
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        listing.push_back(k);
        parts.push_back({"xl/worksheets/sheet" + std::to_string(k + 1) + ".xml", sheets[k]});
    }
    parts[0].content = WorkbookXml(listing);
    parts[1].content = WorkbookRelationshipsXml(sheets.size());
    parts.push_back({"xl/sharedStrings.xml", sharedStrings});
    return Zip(parts, deflate);
}

std::string BiffRecord(std::uint16_t id, const std::string& data)
{
    return LittleEndian(id, 2) + LittleEndian(data.size(), 2) + data;
}

std::string CompoundFile(const std::string& workbookStream)
{
    StringSink sink;
    WriteCompoundFile(sink, u"Workbook",
        std::span(reinterpret_cast<const std::uint8_t*>(workbookStream.data()), workbookStream.size()));
    return sink.text;
}

std::string BiffWorkbook(
    const std::string& globals, const std::vector<std::string>& names, const std::vector<std::string>& sheets)
{
    const auto bof = [](unsigned kind) {
        return BiffRecord(0x0809, LittleEndian(0x0600, 2) + LittleEndian(kind, 2) + std::string(12, '\0'));
    };
    const std::string eof = BiffRecord(0x000A, "");
    std::size_t globalsSize = bof(5).size() + globals.size() + eof.size();
    for (const std::string& name : names)
        globalsSize += 4 + 8 + name.size();
    std::vector<std::size_t> offsets;
    std::string sheetBytes;
    for (const std::string& sheet : sheets) {
        offsets.push_back(globalsSize + sheetBytes.size());
        sheetBytes += bof(0x10) + sheet + eof;
    }
    std::string out = bof(5) + globals;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const std::size_t offset = offsets.empty() ? 0 : offsets[k % offsets.size()];
        out += BiffRecord(0x0085,
            LittleEndian(offset, 4) + LittleEndian(0, 2) + LittleEndian(names[k].size(), 1) + std::string(1, '\0')
                + names[k]);
    }
    return out + eof + sheetBytes;
}

} // namespace fenban::testkit
