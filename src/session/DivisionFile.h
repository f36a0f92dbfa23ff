#pragma once

#include "session/Snapshot.h"

#include <QByteArray>
#include <QJsonObject>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace fenban {

class FileSystem;

// A division file (suffix .fenban) is one JSON object; see docs/file-format.md.
inline constexpr std::string_view DivisionFormatName = "fenban-division";
// 3: a division with changes after it (late students, leavers, requested moves); others are written as 2.
inline constexpr int DivisionFormatVersion = 3;
inline constexpr std::string_view DivisionFileSuffix = "fenban";

// The shortest decimal text that reads back as the same extended value:
// "85.5", "0.1", "-0", "inf". Every finite value reads back bit for bit.
std::string ExtendedText(long double value);

// The value of such a text (any decimal number, "inf", "-inf", "nan"); no
// value when the text is anything else or has characters after the number.
std::optional<long double> ParseExtendedText(std::string_view text);

// The file's content: the format's name and version, the snapshot, and any
// further members of `extra` (a recovery file's description of itself).
QByteArray DivisionJson(const Snapshot& snapshot, const QJsonObject& extra = {});

// DivisionJson, keeping the JSON text of the last table written: the table
// is most of the file and changes only with a paste, so the recovery file
// written after every step costs little.
class DivisionJsonWriter {
public:
    QByteArray json(const Snapshot& snapshot, const QJsonObject& extra = {});

private:
    std::shared_ptr<const PackedGrid> table_;
    QByteArray tableJson_;
};

// The snapshot of a file's content, checked fully: the structure, every
// count and index (CheckSnapshot) and that the table builds into a roster of
// that many students. `whole`, if given, receives the whole object. Throws
// DamagedFileError or NewerFileError, their message naming `fileName`.
Snapshot ParseDivisionJson(const QByteArray& bytes, const std::string& fileName, QJsonObject* whole = nullptr);

// Writes the file atomically (a temporary file in the same folder, renamed
// over the target when complete). Throws WriteError naming the file.
void WriteDivisionFile(const std::filesystem::path& file, const Snapshot& snapshot);
void WriteDivisionFile(FileSystem& files, const std::filesystem::path& file, const Snapshot& snapshot);
// Content made by DivisionJson or a DivisionJsonWriter.
void WriteDivisionFile(FileSystem& files, const std::filesystem::path& file, const QByteArray& json);

// Reads and checks a division file; nothing else changes. Throws
// FileReadError when it cannot be read, DamagedFileError, NewerFileError.
Snapshot ReadDivisionFile(const std::filesystem::path& file, QJsonObject* whole = nullptr);

// The path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& path);

} // namespace fenban
