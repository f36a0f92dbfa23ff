#pragma once

#include "common/Failure.h"

namespace fenban {

// A snapshot that does not describe a possible state: an index outside the
// roster, a student listed twice, counts that disagree. The message is the
// reason alone, for example "第 3 班的名单中有一个学生出现了两次".
class SnapshotError : public Failure {
public:
    using Failure::Failure;
};

// A division file that could not be read; the message names the file.
class FileReadError : public Failure {
public:
    using Failure::Failure;
};

// Not a division file, or one whose content is damaged.
class DamagedFileError : public FileReadError {
public:
    using FileReadError::FileReadError;
};

// A division file written by a later version of the program.
class NewerFileError : public FileReadError {
public:
    using FileReadError::FileReadError;
};

// A recorded change that cannot be made again: it names a student who is not
// in the roster or a class that does not exist.
class ChangeReplayError : public Failure {
public:
    using Failure::Failure;
};

} // namespace fenban
