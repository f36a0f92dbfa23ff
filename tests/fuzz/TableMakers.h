#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fenban::testkit {

// Table files made byte by byte, valid in their containers whatever they
// hold: for the fuzz targets and the tests of damaged files.

std::string LittleEndian(std::uint64_t value, int size);

struct ZipPart {
    std::string name;
    std::string content;
};
// A zip archive of the parts, deflated or stored.
std::string Zip(const std::vector<ZipPart>& parts, bool deflate);

// A raw deflate stream, and one of `count` repeats of `chunk` made from one
// packed chunk (megabytes of input cost nothing to pack).
std::string Deflated(const std::string& content);
std::string DeflatedRepeats(
    const std::string& before, const std::string& chunk, std::uint64_t count, const std::string& after);
std::uint32_t Crc32OfRepeats(
    const std::string& before, const std::string& chunk, std::uint64_t count, const std::string& after);

// The workbook part listing sheets (r:id rId<k+1> for listing[j] = k) and
// its relationships to `count` sheets (worksheets/sheet<k+1>.xml) and
// sharedStrings.xml.
std::string WorkbookXml(const std::vector<std::size_t>& listing);
std::string WorkbookRelationshipsXml(std::size_t count);
// An .xlsx of the worksheets' XML and the shared strings' XML, each listed
// once in order.
std::string Xlsx(const std::vector<std::string>& sheets, const std::string& sharedStrings, bool deflate);

// A zip entry as written, whose declared size and CRC need not match its
// bytes; a part packed as it is.
struct ZipEntry {
    std::string name;
    std::string packed;
    bool deflated;
    std::uint32_t crc;
    std::uint32_t size;
};
ZipEntry PackedPart(const ZipPart& part, bool deflate);
std::string ZipOf(const std::vector<ZipEntry>& entries);

// A BIFF record (id, length, data), and an OLE2 compound file holding one
// Workbook stream.
std::string BiffRecord(std::uint16_t id, const std::string& data);
std::string CompoundFile(const std::string& workbookStream);

// The Workbook stream of BIFF8 sheets: a globals part of BOF, `globals`,
// one BOUNDSHEET per name (sheet k at sheets[k % sheets.size()]'s offset)
// and EOF, then each sheet's records between a BOF and an EOF of its own.
std::string BiffWorkbook(
    const std::string& globals, const std::vector<std::string>& names, const std::vector<std::string>& sheets);

} // namespace fenban::testkit
