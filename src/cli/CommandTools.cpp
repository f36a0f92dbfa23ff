#include "cli/CommandTools.h"

#include "io/TableFile.h"

#include <QLocale>
#include <QString>
#include <cstdio>

namespace fenban {

std::filesystem::path PathOf(const char* argument)
{
    return std::filesystem::path(QString::fromLocal8Bit(argument).toStdU16String());
}

std::string Local(const char* argument)
{
    return QString::fromLocal8Bit(argument).toStdString();
}

std::string Suffix(const std::filesystem::path& file)
{
    return QString::fromStdU16String(file.extension().u16string()).toLower().toStdString();
}

std::string FileNameText(const std::filesystem::path& file)
{
    return QString::fromStdU16String(file.filename().u16string()).toStdString();
}

void Tell(const std::string& text)
{
    std::fputs((text + "\n").c_str(), stderr);
    std::fflush(stderr);
}

void Print(const std::string& text)
{
    std::fputs((text + "\n").c_str(), stdout);
    std::fflush(stdout);
}

std::string DecimalSeparator()
{
    return QLocale().decimalPoint().toStdString(); // as the window reads numbers
}

ProposedImport ReadLikeOpen(const std::filesystem::path& file)
{
    ProposedImport imported = ImportAsProposed(ReadSheetsToOpen(file), DecimalSeparator());
    if (!imported.taken.empty())
        Tell(imported.taken + "。");
    for (const std::string& warning : imported.table.warnings)
        Tell(warning);
    return imported;
}

std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace fenban
