#pragma once

namespace fenban {

// The program's version: project(VERSION) of the top CMakeLists.txt, the one
// `fenban --version`, 关于, the record of a division and the package show.
const char* ProgramVersion();

// The day the build was configured (YYYY-MM-DD, UTC; SOURCE_DATE_EPOCH when set).
const char* BuildDate();

} // namespace fenban
