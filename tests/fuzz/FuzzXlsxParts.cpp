// An .xlsx built from fuzzed parts: the bytes, cut at each "#PART#", are the
// first sheet, the shared strings, the workbook, the workbook's
// relationships and a second sheet (the workbook and its relationships
// standing in when missing). Each goes into a valid zip, deflated or stored,
// so the XML readers are reached.
#include "FuzzReaders.h"
#include "TableMakers.h"

#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> pieces;
    for (std::size_t at = 0;;) {
        const std::size_t cut = input.find("#PART#", at);
        pieces.push_back(input.substr(at, cut == std::string::npos ? std::string::npos : cut - at));
        if (cut == std::string::npos)
            break;
        at = cut + 6;
    }
    pieces.resize(std::max<std::size_t>(pieces.size(), 5));
    const std::vector<fenban::testkit::ZipPart> parts {
        {"xl/worksheets/sheet1.xml", pieces[0]},
        {"xl/sharedStrings.xml", pieces[1]},
        {"xl/workbook.xml", pieces[2].empty() ? fenban::testkit::WorkbookXml({0, 1}) : pieces[2]},
        {"xl/_rels/workbook.xml.rels", pieces[3].empty() ? fenban::testkit::WorkbookRelationshipsXml(2) : pieces[3]},
        {"xl/worksheets/sheet2.xml", pieces[4]},
    };
    fenban::FuzzTableBytes(fenban::testkit::Zip(parts, size % 2 == 0), "fuzz.xlsx");
    return 0;
}
